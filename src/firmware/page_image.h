#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "firmware/hex_page_image.h"

// The page image "Hex.tmp" in the program directory: the HEX file converted for the boot
// loader, alive for one update attempt. Plain file work; the main dialog shows the problems.

enum class PageImageProblem {
  kNone,
  kCannotCreate,       // "Hex.tmp" cannot be created or written
  kCannotOpenHexFile,  // the HEX file cannot be opened
  kInvalidHexFile,     // the conversion refused it (see hexProblem)
  kTooLarge,           // more pages than the boot loader can count
};

struct PageImageBuild {
  PageImageProblem problem = PageImageProblem::kNone;
  // The image written to the file; empty after a problem.
  std::vector<uint8_t> image;
  // Where and why the conversion stopped, for kInvalidHexFile.
  HexProblem hexProblem;
  bool Built() const { return problem == PageImageProblem::kNone; }
  std::size_t PageCount() const { return image.size() / kPageSize; }
};

// The program directory followed by "Hex.tmp".
std::string PageImagePath(const std::string& programDirectory);

// Converts the HEX file at `hexPath` into a page image in memory: kCannotOpenHexFile,
// kInvalidHexFile or kTooLarge when that is not possible.
PageImageBuild ConvertHexFileToPages(const std::string& hexPath);

// Whether an image of `bytes` bytes is one the boot loader can take: a whole number of pages,
// 1 to kMaxPageImagePages of them.
bool IsTransferablePageCount(std::size_t bytes);

// Converts the HEX file at `hexPath` into the page image file at `imagePath`. After any
// problem but kCannotCreate the file created is deleted again; a file that cannot be created
// was never there.
PageImageBuild WritePageImageFile(const std::string& hexPath, const std::string& imagePath);

// Removes the page image if it is there; failures are ignored.
void DeletePageImageFile(const std::string& imagePath);

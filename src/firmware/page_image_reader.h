#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "firmware/firmware_files.h"

// The page image as the transfer reads it, page by page, open until the reader goes.
class PageImageReader {
 public:
  // False when the file cannot be opened for reading and writing, or is no image the boot
  // loader can take: not a whole number of pages, or not 1 to 255 of them.
  bool Open(const std::string& path);
  std::size_t PageCount() const { return pages_; }
  // Page `page` into `data` (kPageSize bytes); false when it cannot be read whole.
  bool ReadPage(std::size_t page, uint8_t* data);

 private:
  FileHandle file_;
  std::size_t pages_ = 0;
};

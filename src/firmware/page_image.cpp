#include "firmware/page_image.h"

#include <utility>

#include "firmware/firmware_files.h"
#include "firmware/firmware_texts.h"

namespace {
bool WriteAll(std::FILE* file, const std::vector<uint8_t>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
}

// Closes the page image begun and deletes it again.
PageImageBuild Refused(PageImageProblem problem, FileHandle& image, const std::string& imagePath) {
  image.reset();
  DeletePageImageFile(imagePath);
  PageImageBuild build;
  build.problem = problem;
  return build;
}
}  // namespace

std::string PageImagePath(const std::string& programDirectory) {
  return programDirectory + firmware_texts::kPageImageFileName;
}

PageImageBuild ConvertHexFileToPages(const std::string& hexPath) {
  PageImageBuild build;
  const FileHandle hex = OpenFileForReading(hexPath);
  if (!hex) {
    build.problem = PageImageProblem::kCannotOpenHexFile;
    return build;
  }
  PageImageResult converted = ConvertHexFileToPageImage(hex.get());
  // A read error ends the records early, so such a file is invalid as well.
  if (!converted.valid || std::ferror(hex.get()) != 0) {
    build.problem = PageImageProblem::kInvalidHexFile;
    build.hexProblem = converted.problem;
    return build;
  }
  // Page numbers travel in one byte: a bigger image would wrap the count mid-transfer.
  if (converted.PageCount() > kMaxPageImagePages) {
    build.problem = PageImageProblem::kTooLarge;
    return build;
  }
  build.image = std::move(converted.image);
  return build;
}

bool IsTransferablePageCount(std::size_t bytes) {
  return bytes >= kPageSize && bytes % kPageSize == 0 && bytes / kPageSize <= kMaxPageImagePages;
}

PageImageBuild WritePageImageFile(const std::string& hexPath, const std::string& imagePath) {
  // Created first, as the image used to be built in place; the file is written once below.
  FileHandle image = OpenFile(imagePath, "w+b");
  if (!image) {
    PageImageBuild build;
    build.problem = PageImageProblem::kCannotCreate;
    return build;
  }
  PageImageBuild build = ConvertHexFileToPages(hexPath);
  if (!build.Built()) {
    image.reset();
    DeletePageImageFile(imagePath);
    return build;
  }
  const bool written = WriteAll(image.get(), build.image);
  // Closed here, where a failure to close can still be told.
  const bool closed = std::fclose(image.release()) == 0;
  if (!written || !closed)
    return Refused(PageImageProblem::kCannotCreate, image, imagePath);
  return build;
}

void DeletePageImageFile(const std::string& imagePath) {
  RemoveFileIfPresent(imagePath);
}

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

PageImageBuild WritePageImageFile(const std::string& hexPath, const std::string& imagePath) {
  // Created first, as the image used to be built in place; the file is written once below.
  FileHandle image = OpenFile(imagePath, "w+b");
  if (!image) {
    PageImageBuild build;
    build.problem = PageImageProblem::kCannotCreate;
    return build;
  }
  const FileHandle hex = OpenFileForReading(hexPath);
  if (!hex) {
    return Refused(PageImageProblem::kCannotOpenHexFile, image, imagePath);
  }
  PageImageResult converted = ConvertHexFileToPageImage(hex.get());
  // A read error ends the records early, so such a file is invalid as well.
  if (!converted.valid || std::ferror(hex.get()) != 0) {
    PageImageBuild build = Refused(PageImageProblem::kInvalidHexFile, image, imagePath);
    build.hexProblem = converted.problem;
    return build;
  }
  // Page numbers travel in one byte: a bigger image would wrap the count mid-transfer.
  if (converted.PageCount() > kMaxPageImagePages) {
    return Refused(PageImageProblem::kTooLarge, image, imagePath);
  }
  const bool written = WriteAll(image.get(), converted.image);
  // Closed here, where a failure to close can still be told.
  const bool closed = std::fclose(image.release()) == 0;
  if (!written || !closed)
    return Refused(PageImageProblem::kCannotCreate, image, imagePath);
  PageImageBuild build;
  build.image = std::move(converted.image);
  return build;
}

void DeletePageImageFile(const std::string& imagePath) {
  RemoveFileIfPresent(imagePath);
}

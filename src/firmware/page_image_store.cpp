#include "firmware/page_image_store.h"

#include <cstring>

PageImageBuild PageImageFile::Build(const std::string& hexPath) {
  reader_ = PageImageReader();
  return WritePageImageFile(hexPath, path_);
}

bool PageImageFile::OpenForTransfer() {
  return reader_.Open(path_);
}

void PageImageFile::Discard() {
  reader_ = PageImageReader();
  DeletePageImageFile(path_);
}

PageImageBuild PageImageInMemory::Build(const std::string& hexPath) {
  PageImageBuild build = ConvertHexFileToPages(hexPath);
  image_ = build.image;
  return build;
}

bool PageImageInMemory::OpenForTransfer() {
  return IsTransferablePageCount(image_.size());
}

bool PageImageInMemory::ReadPage(std::size_t page, uint8_t* data) {
  if (page >= PageCount())
    return false;
  std::memcpy(data, image_.data() + page * kPageSize, kPageSize);
  return true;
}

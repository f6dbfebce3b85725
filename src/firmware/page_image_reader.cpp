#include "firmware/page_image_reader.h"

#include "firmware/hex_page_image.h"
#include "firmware/page_image.h"

bool PageImageReader::Open(const std::string& path) {
  // Read and write, as the transfer has always opened it.
  file_ = OpenFile(path, "r+b");
  if (!file_ || std::fseek(file_.get(), 0, SEEK_END) != 0)
    return false;
  const long length = std::ftell(file_.get());
  if (length < 0 || !IsTransferablePageCount(static_cast<std::size_t>(length)))
    return false;
  pages_ = static_cast<std::size_t>(length) / kPageSize;
  return true;
}

bool PageImageReader::ReadPage(std::size_t page, uint8_t* data) {
  return file_ && std::fseek(file_.get(), static_cast<long>(page * kPageSize), SEEK_SET) == 0 &&
         std::fread(data, 1, kPageSize, file_.get()) == kPageSize;
}

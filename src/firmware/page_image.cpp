// The page image "Hex.tmp": the HEX file converted for the boot loader, alive for one attempt.
#include <cstdio>
#include <string>

#include "core/message_box.h"
#include "firmware/firmware_files.h"
#include "firmware/firmware_texts.h"
#include "firmware/hex_page_image.h"
#include "ui/firmware_update_dlg.h"

namespace {
bool WriteAll(std::FILE* file, const std::vector<uint8_t>& bytes) {
  return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
}
}  // namespace

bool CFirmwareUpdateDlg::BuildPageImage() {
  const std::string hexPath = FirmwareFilePath();
  const std::string imagePath = PageImagePath();
  auto fail = [this](const char* text) {
    m_controls.MessageBox(text, firmware_texts::kPageImageCaption, mb::kOk);
    return false;
  };

  // Created first, as the image used to be built in place; the file is written once below.
  std::FILE* image = std::fopen(imagePath.c_str(), "w+b");
  if (image == nullptr)
    return fail(firmware_texts::kCannotCreatePageImage);

  std::FILE* hex = OpenFileForReading(hexPath);
  if (hex == nullptr) {
    std::fclose(image);
    DeletePageImage();
    return fail(firmware_texts::kCannotOpenHexFile);
  }
  const PageImageResult converted = ConvertHexFileToPageImage(hex);
  // A read error ends the records early, so such a file is invalid as well.
  const bool readFailed = std::ferror(hex) != 0;
  std::fclose(hex);

  if (!converted.valid || readFailed) {
    std::fclose(image);
    DeletePageImage();
    return fail(firmware_texts::kInvalidHexFile);
  }
  // Page numbers travel in one byte: a bigger image would wrap the count mid-transfer.
  if (converted.PageCount() > kMaxPageImagePages) {
    std::fclose(image);
    DeletePageImage();
    return fail(firmware_texts::kPageImageTooLarge);
  }
  const bool written = WriteAll(image, converted.image);
  const bool closed = std::fclose(image) == 0;
  if (!written || !closed) {
    DeletePageImage();
    return fail(firmware_texts::kCannotCreatePageImage);
  }
  return true;
}

void CFirmwareUpdateDlg::DeletePageImage() {
  RemoveFileIfPresent(PageImagePath());
}

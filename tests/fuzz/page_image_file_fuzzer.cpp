// Any bytes as the firmware HEX file on disk: BuildPageImage must write exactly the image the
// converter gives, or refuse with one of its messages and leave no "Hex.tmp" behind.
#include <cstdint>
#include <set>
#include <string>

#include "core/message_box.h"
#include "dialog_fixture.h"
#include "firmware/firmware_texts.h"
#include "firmware/hex_page_image.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static DialogFixture fixture;
  static const bool described = [] {
    fixture.WriteFirmware(":00000001FF\n");
    fixture.dlg->ReadFirmwareDescription();
    return !fixture.dlg->FirmwareFileName().empty();
  }();
  FUZZ_CHECK(described, "the firmware description names the HEX file");
  const std::string hex(reinterpret_cast<const char*>(data), size);
  fixture.dir.Write(fixture.dlg->FirmwareFileName(), hex);
  fixture.controls.messageBoxes.clear();

  const bool built = fixture.dlg->BuildPageImage();
  const PageImageResult converted = ConvertHexTextToPageImage(hex);
  const bool fits = converted.valid && converted.PageCount() <= kMaxPageImagePages;
  FUZZ_CHECK(built == fits, "built exactly when the file is valid and fits the boot loader");
  if (built) {
    FUZZ_CHECK(fixture.controls.messageBoxes.empty(), "a good build shows nothing");
    const std::string image = fixture.dir.Read("Hex.tmp");
    FUZZ_CHECK(image == std::string(converted.image.begin(), converted.image.end()),
               "the page image on disk is the converted image");
    fixture.dlg->DeletePageImage();
  } else {
    FUZZ_CHECK(fixture.controls.messageBoxes.size() == 1, "a refused build shows one box");
    const RecordedMessageBox& box = fixture.controls.messageBoxes.front();
    const std::set<std::string> texts = {firmware_texts::kInvalidHexFile,
                                         firmware_texts::kPageImageTooLarge};
    FUZZ_CHECK(texts.count(box.text) == 1, "the refusal says why");
    FUZZ_CHECK(box.title == "Firmware Update Error" && box.flags == mb::kOk,
               "page image problems: plain box, error title");
  }
  FUZZ_CHECK(!fixture.dir.Exists("Hex.tmp"), "no page image is left behind");
  return 0;
}

// The page image against an independent converter: srec_cat (Debian's srecord) turns each
// generated HEX file into a binary filled with 0xFF, and every byte must agree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dialog_fixture.h"
#include "firmware/hex_page_image.h"
#include "hex_records.h"

namespace {
constexpr uint64_t kFirstSeed = 1;
constexpr int kFiles = 250;

bool HaveSrecCat() {
  return std::system("srec_cat -version >/dev/null 2>&1") == 0;
}

// The image length the generator's data calls for: page 0 always, up to the page holding the
// highest address written.
std::size_t ExpectedLength(const GeneratedHexFile& file) {
  return file.highestAddress < 0 ? 256
                                 : (static_cast<std::size_t>(file.highestAddress) / 256 + 1) * 256;
}

// srec_cat's binary of the file: later records win (-multiple), holes 0xFF up to `length`.
bool SrecCatImage(const TempDirectory& dir, const std::string& hexName, std::size_t length,
                  std::string& image) {
  const std::string command = "srec_cat -multiple '" + dir.File(hexName) +
                              "' -Intel -fill 0xFF 0 " + std::to_string(length) + " -o '" +
                              dir.File("reference.bin") + "' -Binary 2>/dev/null";
  if (std::system(command.c_str()) != 0)
    return false;
  image = dir.Read("reference.bin");
  return true;
}

std::size_t FirstDifference(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (a[i] != b[i])
      return i;
  }
  return n;
}
}  // namespace

TEST(HexReference, CorpusIsReproducibleAndCoversTheCases) {
  EXPECT_EQ(GenerateHexFile(7).text, GenerateHexFile(7).text);
  EXPECT_NE(GenerateHexFile(7).text, GenerateHexFile(8).text);
  int reachingEnd = 0, lowerCase = 0, upperCase = 0, crlf = 0, gaps = 0, many = 0;
  for (uint64_t seed = kFirstSeed; seed < kFirstSeed + kFiles; ++seed) {
    const GeneratedHexFile file = GenerateHexFile(seed);
    reachingEnd += file.highestAddress == 0xFFFF;
    lowerCase += file.text.find_first_of("abcdef") != std::string::npos;
    upperCase += file.text.find_first_of("ABCDEF") != std::string::npos;
    crlf += file.text.find("\r\n") != std::string::npos;
    const PageImageResult image = ConvertHexTextToPageImage(file.text);
    gaps += image.image.size() > 4096;
    many += image.PageCount() > 100;
  }
  EXPECT_GT(reachingEnd, 20);
  EXPECT_GT(lowerCase, 50);
  EXPECT_GT(upperCase, 50);
  EXPECT_GT(crlf, 50);
  EXPECT_GT(gaps, 50);
  EXPECT_GT(many, 20);
}

TEST(HexReference, EveryByteAgreesWithSrecCat) {
  ASSERT_TRUE(HaveSrecCat()) << "srec_cat is missing: install Debian's srecord package";
  int compared = 0;
  int builtThroughTheDialog = 0;
  std::size_t bytes = 0;
  for (uint64_t seed = kFirstSeed; seed < kFirstSeed + kFiles; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const GeneratedHexFile file = GenerateHexFile(seed);
    DialogFixture f;
    f.WriteFirmware(file.text);

    std::string reference;
    ASSERT_TRUE(SrecCatImage(f.dir, "app.hex", ExpectedLength(file), reference));

    const PageImageResult converted = ConvertHexTextToPageImage(file.text);
    ASSERT_TRUE(converted.valid);
    const std::string image(converted.image.begin(), converted.image.end());
    ASSERT_EQ(image.size(), reference.size());
    ASSERT_EQ(image, reference) << "first difference at offset "
                                << FirstDifference(image, reference);

    // The same through the dialog, from the file to "Hex.tmp", where the boot loader can take
    // the image at all.
    if (converted.PageCount() <= kMaxPageImagePages) {
      f.dlg->ReadFirmwareDescription();
      ASSERT_TRUE(f.dlg->BuildPageImage());
      ASSERT_TRUE(f.dir.Read("Hex.tmp") == reference);
      ++builtThroughTheDialog;
    }
    ++compared;
    bytes += reference.size();
  }
  EXPECT_EQ(compared, kFiles);
  EXPECT_GT(builtThroughTheDialog, kFiles / 2);
  std::printf(
      "compared %d files with srec_cat (%zu bytes, %d also through Hex.tmp): 0 differences\n",
      compared, bytes, builtThroughTheDialog);
}

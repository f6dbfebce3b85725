// BuildPageImage and DeletePageImage: "Hex.tmp" in the program directory, its message boxes,
// and what is left behind on every path.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/message_box.h"
#include "dialog_fixture.h"
#include "hex_records.h"

namespace {
const char kTitle[] = "Firmware Update Error";
const char kCannotCreate[] = "Unable to create the temporary firmware file.               ";
const char kCannotOpen[] = "Unable to open the firmware file.               ";
const char kInvalid[] = "Invalid firmware hex file.                           ";
const char kTooLarge[] =
    "The firmware hex file is too large for the module's boot loader: it fills more than 255 "
    "pages of 256 bytes.";

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string AsText(const std::vector<uint8_t>& bytes) {
  return {bytes.begin(), bytes.end()};
}

class BuildPageImageTest : public ::testing::Test {
 protected:
  // The description file names app.hex; the firmware file check has passed.
  void Prepare(const std::string& hexText) {
    f.WriteFirmware(hexText);
    f.dlg->ReadFirmwareDescription();
    ASSERT_TRUE(f.controls.messageBoxes.empty());
  }

  void ExpectOneBox(const std::string& text) {
    ASSERT_EQ(f.controls.messageBoxes.size(), 1u);
    EXPECT_EQ(f.controls.messageBoxes[0].text, text);
    EXPECT_EQ(f.controls.messageBoxes[0].title, kTitle);
    EXPECT_EQ(f.controls.messageBoxes[0].flags, mb::kOk);
  }

  void ExpectInvalid(const std::string& hexText) {
    SCOPED_TRACE(hexText.substr(0, 80));
    Prepare(hexText);
    EXPECT_FALSE(f.dlg->BuildPageImage());
    ExpectOneBox(kInvalid);
    EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
  }

  DialogFixture f;
};

TEST_F(BuildPageImageTest, EndOfFileRecordOnly) {
  Prepare(Lines({HexEndOfFile()}));
  ASSERT_TRUE(f.dlg->BuildPageImage());
  EXPECT_TRUE(f.controls.messageBoxes.empty());
  EXPECT_EQ(f.dir.Read("Hex.tmp"), std::string(256, '\xFF'));
}

TEST_F(BuildPageImageTest, ImageIsWrittenByteForByte) {
  Prepare(Lines({HexRecord(0x0100, {0x10, 0x11, 0x12}), HexRecord(0x0000, {0x00, 0x01}),
                 HexRecord(0x0101, {0xEE}), HexEndOfFile()}));
  ASSERT_TRUE(f.dlg->BuildPageImage());
  std::string expected(512, '\xFF');
  expected[0] = 0x00;
  expected[1] = 0x01;
  expected[0x100] = 0x10;
  expected[0x101] = '\xEE';
  expected[0x102] = 0x12;
  EXPECT_EQ(f.dir.Read("Hex.tmp"), expected);
}

TEST_F(BuildPageImageTest, PageZeroIsThereWhenDataStartsHigher) {
  Prepare(Lines({HexRecord(0x1000, {0xAA}), HexEndOfFile()}));
  ASSERT_TRUE(f.dlg->BuildPageImage());
  const std::string image = f.dir.Read("Hex.tmp");
  ASSERT_EQ(image.size(), 0x1100u);
  EXPECT_EQ(image.substr(0, 0x1000), std::string(0x1000, '\xFF'));
  EXPECT_EQ(image[0x1000], '\xAA');
}

TEST_F(BuildPageImageTest, LeftoverPageImageIsTruncatedAndRebuilt) {
  Prepare(Lines({HexEndOfFile()}));
  f.dir.Write("Hex.tmp", std::string(100000, 'x'));
  ASSERT_TRUE(f.dlg->BuildPageImage());
  EXPECT_EQ(f.dir.Read("Hex.tmp"), std::string(256, '\xFF'));
}

TEST_F(BuildPageImageTest, LargestImageTheBootLoaderTakes) {
  Prepare(Lines({HexRecord(0xFEFF, {0x77}), HexEndOfFile()}));
  ASSERT_TRUE(f.dlg->BuildPageImage());
  const std::string image = f.dir.Read("Hex.tmp");
  EXPECT_EQ(image.size(), 255u * 256);
  EXPECT_EQ(image.back(), 0x77);
}

// --- Failures, each with its box and what is left ----------------------------------------

TEST_F(BuildPageImageTest, PageImageCannotBeCreated) {
  Prepare(Lines({HexEndOfFile()}));
  // A folder in the way: the file cannot be created, and nothing may be deleted.
  std::filesystem::create_directory(f.dir.Path() / "Hex.tmp");
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kCannotCreate);
  EXPECT_TRUE(std::filesystem::is_directory(f.dir.Path() / "Hex.tmp"));
}

TEST_F(BuildPageImageTest, ProgramDirectoryGone) {
  Prepare(Lines({HexEndOfFile()}));
  f.dlg->SetProgramDirectory(f.dir.WithSeparator() + "gone/");
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kCannotCreate);
}

TEST_F(BuildPageImageTest, PageImageThatCannotBeWrittenIsDeleted) {
  if (!std::filesystem::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full here";
  Prepare(Lines({HexRecord(0x2000, {1, 2, 3}), HexEndOfFile()}));
  // Opens fine, then every write fails for want of space.
  std::filesystem::create_symlink("/dev/full", f.dir.Path() / "Hex.tmp");
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kCannotCreate);
  EXPECT_FALSE(std::filesystem::is_symlink(f.dir.Path() / "Hex.tmp"));
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}

TEST_F(BuildPageImageTest, HexFileCannotBeOpened) {
  Prepare(Lines({HexEndOfFile()}));
  std::filesystem::remove(f.dir.File("app.hex"));
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kCannotOpen);
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
}

TEST_F(BuildPageImageTest, HexFileThatIsAFolderCannotBeOpened) {
  Prepare(Lines({HexEndOfFile()}));
  std::filesystem::remove(f.dir.File("app.hex"));
  std::filesystem::create_directory(f.dir.Path() / "app.hex");
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kCannotOpen);
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
}

TEST_F(BuildPageImageTest, FirstCharacterNotAColon) {
  ExpectInvalid(Lines({" " + HexRecord(0, {1}), HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, BlankLineBeforeTheEnd) {
  ExpectInvalid(Lines({HexRecord(0, {1}), "", HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, ExtendedAddressRecords) {
  ExpectInvalid(Lines({HexRecord(0, {0x00, 0x01}, 2), HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, ExtendedLinearAddressRecord) {
  ExpectInvalid(Lines({HexRecord(0, {0x00, 0x01}, 4), HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, ChecksumMismatch) {
  std::string line = HexRecord(0x40, {1, 2, 3, 4});
  line.back() = line.back() == 'F' ? 'E' : 'F';
  ExpectInvalid(Lines({line, HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, EmptyHexFile) {
  ExpectInvalid("");
}

TEST_F(BuildPageImageTest, LastRecordIsData) {
  ExpectInvalid(Lines({HexRecord(0, {1, 2})}));
}

TEST_F(BuildPageImageTest, LineTooLong) {
  ExpectInvalid(Lines({HexRecord(0, std::vector<uint8_t>(94, 0x33)), HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, LineCutShortInsideAField) {
  ExpectInvalid(Lines({":10010000AB", HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, NonHexadecimalCharacters) {
  ExpectInvalid(Lines({":0200000012ZZ00", HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, ByteCountPastTheLineEnd) {
  ExpectInvalid(Lines({":FF00000001", HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, NulBytes) {
  std::string record = HexRecord(0, {0x11, 0x22});
  record[3] = '\0';
  ExpectInvalid(Lines({record, HexEndOfFile()}));
}

TEST_F(BuildPageImageTest, TenMegabytesOfGarbage) {
  CorpusRandom random(1);
  std::string garbage(10 * 1024 * 1024, '\0');
  for (auto& c : garbage) c = static_cast<char>(random.Next() >> 56);
  garbage[0] = ':';
  ExpectInvalid(garbage);
}

TEST_F(BuildPageImageTest, ImageOf256PagesIsRefusedBeforeAnyTransfer) {
  Prepare(Lines({HexRecord(0xFFFF, {0x01}), HexEndOfFile()}));
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kTooLarge);
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
  EXPECT_EQ(f.scripted.openAttempts, 0);
}

TEST_F(BuildPageImageTest, ImageRunningPastTheLastAddressIsRefused) {
  Prepare(Lines({HexRecord(0xFFF0, std::vector<uint8_t>(32, 0x22)), HexEndOfFile()}));
  EXPECT_FALSE(f.dlg->BuildPageImage());
  ExpectOneBox(kTooLarge);
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
}

TEST_F(BuildPageImageTest, InvalidFileReplacesALeftoverImageAndDeletesIt) {
  Prepare(Lines({HexRecord(0, {1})}));
  f.dir.Write("Hex.tmp", "left over");
  EXPECT_FALSE(f.dlg->BuildPageImage());
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
}

// --- Deleting -----------------------------------------------------------------------------

TEST_F(BuildPageImageTest, DeleteRemovesThePageImage) {
  f.dir.Write("Hex.tmp", AsText({1, 2, 3}));
  f.dlg->DeletePageImage();
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
  EXPECT_TRUE(f.controls.messageBoxes.empty());
}

TEST_F(BuildPageImageTest, DeleteWithoutPageImageDoesNothing) {
  f.dlg->DeletePageImage();
  EXPECT_TRUE(f.controls.messageBoxes.empty());
  f.dlg->SetProgramDirectory(f.dir.WithSeparator() + "gone/");
  f.dlg->DeletePageImage();
  EXPECT_TRUE(f.controls.messageBoxes.empty());
}

TEST_F(BuildPageImageTest, BeginUpdateDeletesThePageImageAfterwards) {
  Prepare(Lines({HexEndOfFile()}));
  ASSERT_TRUE(f.dlg->BuildPageImage());
  f.dlg->OnBeginUpdate();
  EXPECT_FALSE(f.dir.Exists("Hex.tmp"));
}

}  // namespace

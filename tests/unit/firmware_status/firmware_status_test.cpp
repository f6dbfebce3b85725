// The firmware description file, the firmware file check and the firmware status lines.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "dialog_fixture.h"
#include "firmware/firmware_files.h"

namespace {
const char kUsage[] =
    "Use to update Korvane Quorvanta Mobile Module firmware via a wireless connection.";
const char kCaption[] = "Korvane Quorvanta Module Update";
const char kDescriptionName[] = "Korvane_Quorvanta_Mobile_Module.txt";
const char kHex[] = ":00000001FF\n";

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return t;
}

void SetLocalModificationTime(const std::string& path, std::tm local) {
  const std::time_t seconds = std::mktime(&local);
  const auto system = std::chrono::system_clock::from_time_t(seconds);
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(system));
}

std::string HexMessage(const std::string& name) {
  return "Unable to open the firmware hex file:     \n     " + name + "     ";
}

class FirmwareStatusTest : public ::testing::Test {
 protected:
  FirmwareStatusTest() {
    // What the dialog resource gives the status lines before the program touches them.
    f.controls.texts[ids::kFirmwareFile] = "Firmware file  =";
  }
  DialogFixture f;
  RecordingControls& controls = f.controls;
  CFirmwareUpdateDlg& dlg = *f.dlg;
};
}  // namespace

// --- The date and time after the file name -----------------------------------------------

TEST(FirmwareDateSuffix, AfternoonHourShownOnTwelveHourClock) {
  EXPECT_EQ(FormatFirmwareDateSuffix(LocalTime(2008, 2, 8, 14, 5, 9)),
            "     (2-8-2008,  2:05:09 PM)");
}

TEST(FirmwareDateSuffix, HourAfterMidnightShowsAsZero) {
  EXPECT_EQ(FormatFirmwareDateSuffix(LocalTime(2008, 2, 8, 0, 30, 7)),
            "     (2-8-2008,  0:30:07 AM)");
}

TEST(FirmwareDateSuffix, OneDigitMorningHourKeepsItsBlank) {
  EXPECT_EQ(FormatFirmwareDateSuffix(LocalTime(2008, 2, 8, 9, 5, 3)),
            "     (2-8-2008,  9:05:03 AM)");
}

TEST(FirmwareDateSuffix, NoonIsTwelvePm) {
  EXPECT_EQ(FormatFirmwareDateSuffix(LocalTime(2008, 2, 8, 12, 0, 0)),
            "     (2-8-2008, 12:00:00 PM)");
}

TEST(FirmwareDateSuffix, TwoDigitFieldsAreNotPadded) {
  EXPECT_EQ(FormatFirmwareDateSuffix(LocalTime(1999, 12, 31, 23, 59, 58)),
            "     (12-31-1999, 11:59:58 PM)");
  EXPECT_EQ(FormatFirmwareDateSuffix(LocalTime(2010, 10, 10, 11, 10, 0)),
            "     (10-10-2010, 11:10:00 AM)");
}

// --- Reading the description file ---------------------------------------------------------

TEST_F(FirmwareStatusTest, DescriptionAndHexFilePresent) {
  f.WriteFirmware(kHex, "2.11", "app.hex");
  SetLocalModificationTime(f.dir.File("app.hex"), LocalTime(2008, 2, 8, 14, 5, 9));
  dlg.ReadFirmwareDescription();

  EXPECT_TRUE(controls.messageBoxes.empty());
  EXPECT_EQ(dlg.FirmwareVersion(), "2.11");
  EXPECT_EQ(dlg.FirmwareFileName(), "app.hex");
  EXPECT_EQ(controls.texts[ids::kUsageLine], kUsage);
  EXPECT_EQ(controls.texts[ids::kFirmwareFile],
            "Firmware file  =  app.hex     (2-8-2008,  2:05:09 PM)");
  EXPECT_TRUE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, InitialisationShowsVersionFileAndEnablesUpdateWithAPort) {
  f.WriteFirmware(kHex, "2.11", "app.hex");
  SetLocalModificationTime(f.dir.File("app.hex"), LocalTime(2008, 2, 8, 0, 30, 7));
  f.ports.SetPorts({"COM3"});
  controls.Enable(ids::kBeginUpdate, false);  // only the refresh can enable it again
  dlg.OnInitDialog();

  EXPECT_TRUE(controls.messageBoxes.empty());
  EXPECT_EQ(controls.texts[ids::kFirmwareVersion], "Firmware version  =  2.11");
  EXPECT_EQ(controls.texts[ids::kFirmwareFile],
            "Firmware file  =  app.hex     (2-8-2008,  0:30:07 AM)");
  EXPECT_EQ(controls.texts[ids::kUsageLine], kUsage);
  EXPECT_TRUE(controls.IsChecked(2003));
  EXPECT_TRUE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, LinesEndedByLineFeedAloneWork) {
  f.dir.Write(kDescriptionName, "3.0\nfw.hex\n");
  f.dir.Write("fw.hex", kHex);
  dlg.ReadFirmwareDescription();
  EXPECT_EQ(dlg.FirmwareVersion(), "3.0");
  EXPECT_EQ(dlg.FirmwareFileName(), "fw.hex");
  EXPECT_TRUE(controls.messageBoxes.empty());
}

TEST_F(FirmwareStatusTest, LastLineWithoutLineEndCounts) {
  f.dir.Write(kDescriptionName, "3.0\r\nfw.hex");
  f.dir.Write("fw.hex", kHex);
  dlg.ReadFirmwareDescription();
  EXPECT_EQ(dlg.FirmwareFileName(), "fw.hex");
  EXPECT_TRUE(controls.messageBoxes.empty());
}

TEST_F(FirmwareStatusTest, LinesAreTakenUntrimmed) {
  f.dir.Write(kDescriptionName, "  v 2.11 \t\r\n fw.hex\r\n");
  f.dir.Write(" fw.hex", kHex);
  dlg.ReadFirmwareDescription();
  EXPECT_EQ(dlg.FirmwareVersion(), "  v 2.11 \t");
  EXPECT_EQ(dlg.FirmwareFileName(), " fw.hex");
  EXPECT_TRUE(controls.messageBoxes.empty());
}

TEST_F(FirmwareStatusTest, CarriageReturnInsideALineStays) {
  f.dir.Write(kDescriptionName, "2.\r11\r\napp.hex\r\n");
  f.dir.Write("app.hex", kHex);
  dlg.ReadFirmwareDescription();
  EXPECT_EQ(dlg.FirmwareVersion(), "2.\r11");
}

TEST_F(FirmwareStatusTest, FurtherLinesChangeNothing) {
  f.dir.Write(kDescriptionName, "2.11\r\napp.hex\r\nother.hex\r\nmore\r\n");
  f.dir.Write("app.hex", kHex);
  dlg.ReadFirmwareDescription();
  EXPECT_EQ(dlg.FirmwareVersion(), "2.11");
  EXPECT_EQ(dlg.FirmwareFileName(), "app.hex");
  EXPECT_TRUE(controls.messageBoxes.empty());
  EXPECT_TRUE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, FileNameMayHoldASubdirectory) {
  std::filesystem::create_directory(f.dir.Path() / "fw");
  f.dir.Write(kDescriptionName, "2.11\nfw/app.hex\n");
  f.dir.Write("fw/app.hex", kHex);
  dlg.ReadFirmwareDescription();
  EXPECT_TRUE(controls.messageBoxes.empty());
  EXPECT_EQ(dlg.FirmwareFileName(), "fw/app.hex");
}

TEST_F(FirmwareStatusTest, MissingDescriptionFile) {
  dlg.OnInitDialog();
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  const std::string path = f.dir.WithSeparator() + kDescriptionName;
  EXPECT_EQ(controls.messageBoxes[0].text,
            "Unable to open the firmware description file:     \n"
            "     " +
                path +
                "     \n\n"
                "Firmware update wil be disabled.");
  EXPECT_EQ(controls.messageBoxes[0].title, kCaption);
  EXPECT_EQ(controls.messageBoxes[0].flags, mb::kOk | mb::kIconExclamation);
  EXPECT_EQ(controls.texts[ids::kFirmwareFile], "Firmware file  =");  // never checked
  EXPECT_EQ(controls.texts[ids::kFirmwareVersion], "Firmware version  =  ");
  EXPECT_EQ(controls.texts[ids::kUsageLine], kUsage);
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
  EXPECT_EQ(dlg.FirmwareVersion(), "");
  EXPECT_EQ(dlg.FirmwareFileName(), "");
}

TEST_F(FirmwareStatusTest, MissingDescriptionFileKeepsUpdateDisabledWithPorts) {
  f.ports.SetPorts({"COM1", "COM2"});
  dlg.OnInitDialog();
  EXPECT_TRUE(controls.IsChecked(2001));
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, DescriptionWithOneLineChecksAnEmptyFileName) {
  f.dir.Write(kDescriptionName, "2.11\n");
  dlg.ReadFirmwareDescription();
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(controls.messageBoxes[0].text, HexMessage(""));
  EXPECT_EQ(controls.messageBoxes[0].title, kCaption);
  EXPECT_EQ(controls.messageBoxes[0].flags, mb::kOk | mb::kIconExclamation);
  EXPECT_EQ(controls.texts[ids::kFirmwareFile], "Firmware file  =  ");
  EXPECT_EQ(dlg.FirmwareVersion(), "");
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, EmptyDescriptionFile) {
  f.dir.Write(kDescriptionName, "");
  dlg.ReadFirmwareDescription();
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(controls.messageBoxes[0].text, HexMessage(""));
  EXPECT_EQ(dlg.FirmwareVersion(), "");
  EXPECT_EQ(dlg.FirmwareFileName(), "");
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, MissingHexFile) {
  f.dir.Write(kDescriptionName, "2.11\r\napp.hex\r\n");
  f.ports.SetPorts({"COM3"});
  dlg.OnInitDialog();
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(controls.messageBoxes[0].text, HexMessage("app.hex"));
  EXPECT_EQ(controls.messageBoxes[0].title, kCaption);
  EXPECT_EQ(controls.messageBoxes[0].flags, mb::kOk | mb::kIconExclamation);
  EXPECT_EQ(controls.texts[ids::kFirmwareFile], "Firmware file  =  app.hex");
  EXPECT_EQ(controls.texts[ids::kFirmwareVersion], "Firmware version  =  ");
  EXPECT_EQ(dlg.FirmwareVersion(), "");
  EXPECT_EQ(dlg.FirmwareFileName(), "");
  // A port is checked, but without a firmware file name the update stays disabled.
  EXPECT_TRUE(controls.IsChecked(2003));
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, HexFileThatIsADirectoryCannotBeOpened) {
  f.dir.Write(kDescriptionName, "2.11\r\nfw\r\n");
  std::filesystem::create_directory(f.dir.Path() / "fw");
  dlg.ReadFirmwareDescription();
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(controls.messageBoxes[0].text, HexMessage("fw"));
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, HexFileDeletedAfterStartUp) {
  f.WriteFirmware(kHex);
  f.ports.SetPorts({"COM3"});
  dlg.OnInitDialog();
  ASSERT_TRUE(controls.IsEnabled(ids::kBeginUpdate));
  std::filesystem::remove(f.dir.File("app.hex"));

  EXPECT_FALSE(dlg.CheckFirmwareFile());
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(controls.messageBoxes[0].text, HexMessage("app.hex"));
  EXPECT_EQ(controls.texts[ids::kFirmwareFile], "Firmware file  =  app.hex");
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
  // The name is kept, so a refresh of the ports enables the update again.
  EXPECT_EQ(dlg.FirmwareFileName(), "app.hex");
  dlg.RefreshSerialPorts();
  EXPECT_TRUE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(FirmwareStatusTest, EveryCheckRefreshesTheFileLine) {
  f.WriteFirmware(kHex);
  SetLocalModificationTime(f.dir.File("app.hex"), LocalTime(2008, 2, 8, 9, 5, 3));
  dlg.ReadFirmwareDescription();
  SetLocalModificationTime(f.dir.File("app.hex"), LocalTime(2009, 11, 30, 12, 0, 0));
  EXPECT_TRUE(dlg.CheckFirmwareFile());
  EXPECT_EQ(controls.History(ids::kFirmwareFile),
            (std::vector<std::string>{"Firmware file  =  app.hex     (2-8-2008,  9:05:03 AM)",
                                      "Firmware file  =  app.hex     (11-30-2009, 12:00:00 PM)"}));
  EXPECT_TRUE(controls.messageBoxes.empty());
}

// With an empty program directory both files are looked up in the current directory.
class CurrentDirectoryTest : public FirmwareStatusTest {
 protected:
  CurrentDirectoryTest() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(f.dir.Path());
    dlg.SetProgramDirectory("");
  }
  ~CurrentDirectoryTest() override { std::filesystem::current_path(previous_); }

 private:
  std::filesystem::path previous_;
};

TEST_F(CurrentDirectoryTest, EmptyProgramDirectoryUsesTheCurrentDirectory) {
  f.WriteFirmware(kHex, "2.11", "app.hex");
  dlg.ReadFirmwareDescription();
  EXPECT_TRUE(controls.messageBoxes.empty());
  EXPECT_EQ(dlg.FirmwareFileName(), "app.hex");
  EXPECT_TRUE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(CurrentDirectoryTest, EmptyFileNameAndEmptyDirectoryShowNoHexMessage) {
  f.dir.Write(kDescriptionName, "2.11\r\n\r\n");
  dlg.ReadFirmwareDescription();
  EXPECT_TRUE(controls.messageBoxes.empty());
  EXPECT_EQ(controls.texts[ids::kFirmwareFile], "Firmware file  =");
  EXPECT_EQ(dlg.FirmwareVersion(), "");
  EXPECT_FALSE(controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(CurrentDirectoryTest, MissingDescriptionNamesItsRelativePath) {
  dlg.ReadFirmwareDescription();
  ASSERT_EQ(controls.messageBoxes.size(), 1u);
  EXPECT_EQ(controls.messageBoxes[0].text,
            std::string("Unable to open the firmware description file:     \n     ") +
                kDescriptionName + "     \n\nFirmware update wil be disabled.");
}

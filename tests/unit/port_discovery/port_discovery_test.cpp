// Which COM port buttons are enabled, which one is checked, and when Begin Update is enabled.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "dialog_fixture.h"

namespace {
const char kNoPorts[] = "There are no serial ports installed on this computer.     ";

class PortDiscoveryTest : public ::testing::Test {
 protected:
  // A valid firmware file, so that the update can be enabled.
  void WithFirmware() {
    f.WriteFirmware(":00000001FF\n");
    f.dlg->ReadFirmwareDescription();
    ASSERT_EQ(f.dlg->FirmwareFileName(), "app.hex");
  }
  void SaveChoice(int port) { f.profile.values[{"Settings", "ComPort"}] = port; }

  std::vector<int> EnabledPorts() {
    std::vector<int> ports;
    for (int n = 1; n <= 21; ++n) {
      if (f.controls.IsEnabled(2000 + n))
        ports.push_back(n);
    }
    return ports;
  }
  std::vector<int> CheckedPorts() {
    std::vector<int> ports;
    for (int n = 1; n <= 21; ++n) {
      if (f.controls.IsChecked(2000 + n))
        ports.push_back(n);
    }
    return ports;
  }
  std::vector<int> Table() { return std::vector<int>(f.dlg->PortTable(), f.dlg->PortTable() + 21); }

  DialogFixture f;
};
}  // namespace

TEST_F(PortDiscoveryTest, OnlyExistingPortsAreEnabledAndTheLowestIsChecked) {
  WithFirmware();
  f.ports.SetPorts({"COM5", "COM3"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{3, 5}));
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{3}));
  EXPECT_TRUE(f.controls.IsEnabled(ids::kBeginUpdate));
  EXPECT_TRUE(f.controls.messageBoxes.empty());
  EXPECT_EQ(f.controls.GetCheckedRadioButton(ids::kFirstPortButton, ids::kLastPortButton), 2003);
}

TEST_F(PortDiscoveryTest, PortTableMarksEachExistingPort) {
  f.ports.SetPorts({"COM1", "COM21", "COM10"});
  f.dlg->FindSerialPorts();
  std::vector<int> expected(21, 0);
  expected[0] = expected[9] = expected[20] = 1;
  EXPECT_EQ(Table(), expected);
}

TEST_F(PortDiscoveryTest, SavedChoiceIsChecked) {
  WithFirmware();
  SaveChoice(5);
  f.ports.SetPorts({"COM3", "COM5"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{5}));
}

TEST_F(PortDiscoveryTest, SavedPortUnpluggedFallsBackToTheLowestAndKeepsTheSetting) {
  WithFirmware();
  SaveChoice(5);
  f.ports.SetPorts({"COM4", "COM3"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{3}));
  EXPECT_EQ(f.profile.writes, 0);
  EXPECT_EQ(f.profile.GetInt("Settings", "ComPort", -1), 5);
}

TEST_F(PortDiscoveryTest, SavedChoiceOutsideTheRangeIsNoChoice) {
  for (int saved : {-1, 0, 22, 2003, -2000}) {
    SaveChoice(saved);
    f.ports.SetPorts({"COM7", "COM9"});
    f.dlg->RefreshSerialPorts();
    EXPECT_EQ(CheckedPorts(), (std::vector<int>{7})) << saved;
  }
}

TEST_F(PortDiscoveryTest, NamesAreComparedWithoutRegardToCase) {
  f.ports.SetPorts({"com7", "Com8", "cOM9"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{7, 8, 9}));
}

TEST_F(PortDiscoveryTest, NamesOutsideComOneToTwentyOneAreIgnored) {
  f.ports.SetPorts({"COM25", "COM22", "COM0", "COM03", "COM3 ", " COM3", "COM", "LPT1",
                    "/dev/ttyS0", "COM-1", "COM4x", ""});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), std::vector<int>{});
  EXPECT_EQ(CheckedPorts(), std::vector<int>{});
  EXPECT_TRUE(f.controls.messageBoxes.empty());
}

TEST_F(PortDiscoveryTest, DataIsComparedAsTextUpToItsTerminatingNul) {
  // Registry strings are stored with their NUL.
  f.ports.values = {{"\\Device\\Serial0", std::string("COM3\0", 5)},
                    {"\\Device\\Serial1", std::string("COM4\0junk", 9)}};
  f.dlg->FindSerialPorts();
  EXPECT_EQ(Table()[2], 1);
  EXPECT_EQ(Table()[3], 1);
}

TEST_F(PortDiscoveryTest, DataLongerThanFiftyOneBytesEndsTheEnumeration) {
  f.ports.values = {{"a", "COM1"},
                    {"b", std::string(51, 'x')},  // fits exactly
                    {"c", "COM2"},
                    {"d", std::string(52, 'x')},  // does not fit: nothing after it counts
                    {"e", "COM3"}};
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{1, 2}));
}

TEST_F(PortDiscoveryTest, PortNameWithDataOfFiftyOneBytesCounts) {
  f.ports.values = {{"a", std::string("COM6\0", 5) + std::string(46, ' ')}};
  ASSERT_EQ(f.ports.values[0].data.size(), 51u);
  f.dlg->FindSerialPorts();
  EXPECT_EQ(Table()[5], 1);
}

TEST_F(PortDiscoveryTest, ValueNameLongerThanFiveHundredCharactersEndsTheEnumeration) {
  f.ports.values = {{std::string(500, 'n'), "COM1"},  // fits with its NUL
                    {std::string(501, 'n'), "COM2"},
                    {"short", "COM3"}};
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{1}));
}

TEST_F(PortDiscoveryTest, UnreadableListShowsTheMessageOncePerRefresh) {
  WithFirmware();
  f.ports.SetPorts({"COM3"});
  f.dlg->RefreshSerialPorts();
  ASSERT_EQ(CheckedPorts(), (std::vector<int>{3}));

  f.ports.readable = false;
  f.dlg->RefreshSerialPorts();
  ASSERT_EQ(f.controls.messageBoxes.size(), 1u);
  EXPECT_EQ(f.controls.messageBoxes[0].text, kNoPorts);
  EXPECT_EQ(f.controls.messageBoxes[0].title, "KorvaneQuorvantaUpdate");  // application name
  EXPECT_EQ(f.controls.messageBoxes[0].flags, mb::kOk | mb::kIconExclamation);
  EXPECT_EQ(EnabledPorts(), std::vector<int>{});
  EXPECT_EQ(CheckedPorts(), std::vector<int>{});
  EXPECT_EQ(Table(), std::vector<int>(21, 0));
  // Never disabled here.
  EXPECT_TRUE(f.controls.IsEnabled(ids::kBeginUpdate));

  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(f.controls.messageBoxes.size(), 2u);
}

TEST_F(PortDiscoveryTest, NoPortAtAllLeavesBeginUpdateAsItWas) {
  WithFirmware();
  f.dlg->RefreshSerialPorts();
  EXPECT_TRUE(f.controls.messageBoxes.empty());
  EXPECT_EQ(CheckedPorts(), std::vector<int>{});
  EXPECT_TRUE(f.controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(PortDiscoveryTest, BeginUpdateStaysDisabledWithoutAFirmwareFileName) {
  f.controls.Enable(ids::kBeginUpdate, false);
  f.ports.SetPorts({"COM2"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{2}));
  EXPECT_FALSE(f.controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(PortDiscoveryTest, BeginUpdateIsEnabledAgainWhenAPortAndAFileNameAreThere) {
  WithFirmware();
  f.controls.Enable(ids::kBeginUpdate, false);
  f.ports.SetPorts({"COM2"});
  f.dlg->RefreshSerialPorts();
  EXPECT_TRUE(f.controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(PortDiscoveryTest, RefreshPicksUpPluggedAndUnpluggedAdapters) {
  f.ports.SetPorts({"COM1"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{1}));

  f.ports.SetPorts({"COM1", "COM12"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{1, 12}));

  f.ports.SetPorts({"COM12"});
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{12}));
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{12}));
}

TEST_F(PortDiscoveryTest, RefreshReplacesTheUsersUnsavedClick) {
  f.ports.SetPorts({"COM1", "COM2"});
  f.dlg->RefreshSerialPorts();
  f.controls.CheckRadioButton(ids::kFirstPortButton, ids::kLastPortButton, 2002);  // user's click
  f.dlg->RefreshSerialPorts();
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{1}));
}

TEST_F(PortDiscoveryTest, EveryButtonFollowsThePortTable) {
  f.ports.SetPorts({"COM2", "COM4", "COM6"});
  f.dlg->FindSerialPorts();
  for (int n = 1; n <= 21; ++n) f.controls.Enable(2000 + n, n % 2 == 1);
  f.dlg->EnablePortButtons();
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{2, 4, 6}));
}

TEST_F(PortDiscoveryTest, RefreshButtonRunsTheDiscovery) {
  f.ports.SetPorts({"COM8"});
  EXPECT_TRUE(f.dlg->OnCommand(ids::kRefreshSerialPorts));
  EXPECT_EQ(f.ports.enumerations, 1);
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{8}));
}

TEST_F(PortDiscoveryTest, StartUpShowsFirmwareAndPorts) {
  f.WriteFirmware(":00000001FF\n");
  SaveChoice(4);
  f.ports.SetPorts({"COM3", "COM4"});
  f.dlg->OnInitDialog();
  EXPECT_TRUE(f.controls.messageBoxes.empty());
  EXPECT_EQ(f.controls.texts[ids::kFirmwareVersion], "Firmware version  =  2.11");
  EXPECT_EQ(f.controls.texts[ids::kFirmwareFile].rfind("Firmware file  =  app.hex     (", 0), 0u);
  EXPECT_EQ(EnabledPorts(), (std::vector<int>{3, 4}));
  EXPECT_EQ(CheckedPorts(), (std::vector<int>{4}));
  EXPECT_TRUE(f.controls.IsEnabled(ids::kBeginUpdate));
}

TEST_F(PortDiscoveryTest, StartUpWithoutFirmwareOrPorts) {
  f.ports.readable = false;
  f.dlg->OnInitDialog();
  ASSERT_EQ(f.controls.messageBoxes.size(), 2u);  // the description file, then the ports
  EXPECT_EQ(f.controls.messageBoxes[0].title, "Korvane Quorvanta Module Update");
  EXPECT_EQ(f.controls.messageBoxes[1].text, kNoPorts);
  EXPECT_FALSE(f.controls.IsEnabled(ids::kBeginUpdate));
  EXPECT_EQ(EnabledPorts(), std::vector<int>{});
}

#include "ui/module_id_dlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "headless_dialog_host.h"
#include "scripted_serial.h"
#include "update/setup_report_texts.h"

namespace {

const std::string kModuleLine = "  Module ID.............  123456\r";
const std::string kSerialLine = "  Network S/N...........  00112233 44556677\r";
const std::string kPanLine = "  PAN ID................  3332\r";
const std::string kChannelLine = "  RF Channel............  15\r";
const std::string kReport = kModuleLine + kSerialLine + kPanLine + kChannelLine;

// Bytes fed to a Setup report reader as they would arrive, with no channel behind it.
void Feed(SetupReport& report, const std::string& bytes) {
  for (char ch : bytes) report.TakeByte(static_cast<uint8_t>(ch));
}

struct ModuleIdDialogTest : ::testing::Test {
  ModuleIdDialogTest()
      : device(clock),
        port(device, clock),
        host(clock),
        report(&port, clock, nullptr),
        dialog(clock, report) {
    EXPECT_EQ(port.Open(3, 9600, 'N', 8, 1), 1);
  }
  // Runs the dialog; the user presses `button` once `pressAfterMs` have passed.
  int Run(int button, uint32_t pressAfterMs) {
    host.user = [&](ModalDialog& d, RecordingControls& c, uint32_t elapsed) {
      if (elapsed >= pressAfterMs && c.IsEnabled(button))
        d.OnCommand(button);
    };
    return host.RunModal(dialog);
  }
  VirtualClock clock;
  ScriptedSerial device;
  CSerialPort port;
  HeadlessDialogHost host;
  SetupReport report;
  CMobile_Module_ID_Dlg dialog;
};

TEST_F(ModuleIdDialogTest, OpensWithInstructionsAndWaitsForTheReport) {
  EXPECT_EQ(Run(mb::kIdCancel, 0), mb::kIdCancel);
  RecordingControls& c = *host.last;
  EXPECT_EQ(c.GetText(ids::kModuleInstructions), setup_report_texts::kInstructions);
  EXPECT_FALSE(c.IsEnabled(ids::kStartUpdate));
  EXPECT_TRUE(c.timers.empty());  // stopped when the window went
}

TEST_F(ModuleIdDialogTest, FourValuesEnableStartUpdateAndAreConverted) {
  device.Arrive(kReport, 2000, 1);
  EXPECT_EQ(Run(ids::kStartUpdate, 0), mb::kIdOk);
  RecordingControls& c = *host.last;
  EXPECT_EQ(c.GetText(ids::kModuleIdValue), "123456");
  EXPECT_EQ(c.GetText(ids::kNetworkSerialValue), "00112233 44556677");
  EXPECT_EQ(c.GetText(ids::kPanIdValue), "3332");
  EXPECT_EQ(c.GetText(ids::kRfChannelValue), "15");
  EXPECT_EQ(c.GetText(ids::kSetupPrompt), "");
  const ModuleParameters& module = dialog.Parameters();
  EXPECT_STREQ(module.moduleIdField, "123456");
  EXPECT_EQ(std::vector<uint8_t>(module.serialHigh, module.serialHigh + 4),
            (std::vector<uint8_t>{0x00, 0x11, 0x22, 0x33}));
  EXPECT_EQ(std::vector<uint8_t>(module.serialLow, module.serialLow + 4),
            (std::vector<uint8_t>{0x44, 0x55, 0x66, 0x77}));
  EXPECT_EQ(module.panId[0], 0x33);
  EXPECT_EQ(module.panId[1], 0x32);
  EXPECT_EQ(module.channel, 15);
}

TEST_F(ModuleIdDialogTest, LinesThatCarryNoUsableValueAreDropped) {
  const struct {
    const char* name;
    std::string line;
  } cases[] = {
      {"module ID too long", "  Module ID.............  1234567\r"},
      {"empty value", "  Module ID.............  \r"},
      {"unknown label", "  Battery...............  3.6 V\r"},
      {"label shorter than 26", "  Module ID......  123456\r"},
      {"line longer than 99 characters", std::string(120, 'x') + "\r"},
  };
  for (const auto& c : cases) {
    SetupReport r(nullptr, clock, nullptr);
    Feed(r, c.line);
    EXPECT_EQ(r.Received(), 0) << c.name;
    EXPECT_STREQ(r.Value(SetupReport::Parameter::kModuleId), "") << c.name;
  }
}

TEST_F(ModuleIdDialogTest, CarriageReturnLineFeedSpoilsTheNextLine) {
  device.Arrive("  Module ID.............  123456\r\n  PAN ID................  3332\r");
  Run(mb::kIdCancel, 200);
  EXPECT_EQ(report.Received(), 1);
  EXPECT_EQ(host.last->GetText(ids::kPanIdValue), "");
}

TEST_F(ModuleIdDialogTest, TooLongValueKeepsTheEarlierOne) {
  device.Arrive(kModuleLine + "  Module ID.............  7654321\r" + kSerialLine + kPanLine);
  Run(mb::kIdCancel, 3000);
  RecordingControls& c = *host.last;
  EXPECT_EQ(c.GetText(ids::kModuleIdValue), "123456");
  EXPECT_FALSE(c.IsEnabled(ids::kStartUpdate));  // three of four
  EXPECT_EQ(c.GetText(ids::kSetupPrompt), setup_report_texts::kPrompt);
}

TEST_F(ModuleIdDialogTest, HundredCharactersWithoutReturnAreDroppedAndCollectingStartsAgain) {
  device.Arrive(std::string(100, '#') + kReport);
  EXPECT_EQ(Run(ids::kStartUpdate, 0), mb::kIdOk);
  EXPECT_EQ(report.Received(), SetupReport::kAllReceived);
}

TEST_F(ModuleIdDialogTest, ChannelIsReadAsDecimalAndTruncatedToEightBits) {
  const struct {
    const char* text;
    uint8_t channel;
  } cases[] = {{"15", 15}, {"0E", 0}, {"0F", 0}, {" 9", 9}, {"-1", 255}, {"C", 0}};
  for (const auto& c : cases) {
    SetupReport r(nullptr, clock, nullptr);
    Feed(r, std::string("  RF Channel............  ") + c.text + "\r");
    EXPECT_EQ(r.Parameters().channel, c.channel) << c.text;
    EXPECT_STREQ(r.Value(SetupReport::Parameter::kRfChannel), c.text);
  }
}

TEST_F(ModuleIdDialogTest, PromptFlashesOnForOneAndAHalfSecondsOffForAQuarter) {
  Run(mb::kIdCancel, 5000);
  const auto& history = host.last->History(ids::kSetupPrompt);
  ASSERT_GE(history.size(), 5u);
  EXPECT_EQ(history[0], setup_report_texts::kPrompt);  // at the first tick
  for (std::size_t i = 0; i < history.size(); ++i) {
    EXPECT_EQ(history[i], i % 2 == 0 ? setup_report_texts::kPrompt : "") << i;
  }
  // One cycle is a little over 1750 ms: in 5 s the prompt changes five or six times.
  EXPECT_LE(history.size(), 6u);
}

TEST_F(ModuleIdDialogTest, EnterDoesNothingEscapeCancels) {
  host.user = [](ModalDialog& d, RecordingControls& c, uint32_t elapsed) {
    d.OnCommand(mb::kIdOk);
    EXPECT_FALSE(c.ended);
    if (elapsed >= 1000)
      d.OnCommand(mb::kIdCancel);
  };
  EXPECT_EQ(host.RunModal(dialog), mb::kIdCancel);
}

TEST(ModuleIdNumbers, HexadecimalReadingIsLenient) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {{"00112233", 0x00112233},
               {" 0x1f", 0x1F},
               {"0X1F", 0x1F},
               {"3332", 0x3332},
               {"zz", 0},
               {"", 0},
               {"-1", 0xFFFFFFFF},
               {"12 34", 0x12},
               {"FFFFFFFFF", 0xFFFFFFFF},
               {"+a", 0xA},
               {"0x", 0}};
  for (const auto& c : cases) EXPECT_EQ(ReadHexNumber(c.text), c.value) << c.text;
}

TEST(ModuleIdNumbers, StartUpdateConvertsShortAndOddTexts) {
  VirtualClock clock;
  SetupReport r(nullptr, clock, nullptr);
  CMobile_Module_ID_Dlg d(clock, r);
  RecordingControls controls;
  d.OnInitDialog(controls);
  Feed(r, std::string("  Module ID.............  A\r") + "  Network S/N...........  1A\r" +
              "  PAN ID................  fFfF\r" + "  RF Channel............  7\r");
  d.OnCommand(ids::kStartUpdate);
  const ModuleParameters& module = d.Parameters();
  EXPECT_EQ(std::vector<uint8_t>(module.serialHigh, module.serialHigh + 4),
            (std::vector<uint8_t>{0, 0, 0, 0x1A}));
  EXPECT_EQ(std::vector<uint8_t>(module.serialLow, module.serialLow + 4),
            (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(module.panId[0], 0xFF);
  EXPECT_EQ(module.panId[1], 0xFF);
  EXPECT_EQ(controls.endResult, mb::kIdOk);
}

}  // namespace

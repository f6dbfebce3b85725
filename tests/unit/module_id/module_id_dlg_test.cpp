#include "update/module_id_dlg.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/message_box.h"
#include "headless_dialog_host.h"
#include "scripted_serial.h"
#include "update/module_id_texts.h"

namespace {

const std::string kModuleLine = "  Module ID.............  123456\r";
const std::string kSerialLine = "  Network S/N...........  00112233 44556677\r";
const std::string kPanLine = "  PAN ID................  3332\r";
const std::string kChannelLine = "  RF Channel............  15\r";
const std::string kReport = kModuleLine + kSerialLine + kPanLine + kChannelLine;

struct ModuleIdDialogTest : ::testing::Test {
  ModuleIdDialogTest() : device(clock), port(device, clock), host(clock), dialog(clock) {
    EXPECT_EQ(port.Open(3, 9600, 'N', 8, 1), 1);
    dialog.SetPort(&port);
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
  CMobile_Module_ID_Dlg dialog;
};

TEST_F(ModuleIdDialogTest, OpensWithInstructionsAndAsksForTheReport) {
  EXPECT_EQ(Run(mb::kIdCancel, 0), mb::kIdCancel);
  RecordingControls& c = *host.last;
  EXPECT_EQ(c.GetText(ids::kModuleInstructions), module_id_texts::kInstructions);
  EXPECT_EQ(device.written, "<RS");
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
  EXPECT_STREQ(dialog.ModuleId(), "123456");
  const std::vector<uint8_t> serial(dialog.NetworkSerial(), dialog.NetworkSerial() + 8);
  EXPECT_EQ(serial, (std::vector<uint8_t>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}));
  EXPECT_EQ(dialog.PanId()[0], 0x33);
  EXPECT_EQ(dialog.PanId()[1], 0x32);
  EXPECT_EQ(dialog.ChannelNumber(), 15);
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
    CMobile_Module_ID_Dlg d(clock);
    RecordingControls controls;
    d.OnInitDialog(controls);
    for (char ch : c.line) d.TakeReportByte(static_cast<uint8_t>(ch));
    EXPECT_EQ(d.Received(), 0) << c.name;
    EXPECT_EQ(controls.GetText(ids::kModuleIdValue), "") << c.name;
  }
}

TEST_F(ModuleIdDialogTest, CarriageReturnLineFeedSpoilsTheNextLine) {
  device.Arrive("  Module ID.............  123456\r\n  PAN ID................  3332\r");
  Run(mb::kIdCancel, 200);
  EXPECT_EQ(dialog.Received(), 1);
  EXPECT_EQ(host.last->GetText(ids::kPanIdValue), "");
}

TEST_F(ModuleIdDialogTest, TooLongValueKeepsTheEarlierOne) {
  device.Arrive(kModuleLine + "  Module ID.............  7654321\r" + kSerialLine + kPanLine);
  Run(mb::kIdCancel, 3000);
  RecordingControls& c = *host.last;
  EXPECT_EQ(c.GetText(ids::kModuleIdValue), "123456");
  EXPECT_FALSE(c.IsEnabled(ids::kStartUpdate));  // three of four
  EXPECT_EQ(c.GetText(ids::kSetupPrompt), module_id_texts::kPrompt);
}

TEST_F(ModuleIdDialogTest, HundredCharactersWithoutReturnAreDroppedAndCollectingStartsAgain) {
  device.Arrive(std::string(100, '#') + kReport);
  EXPECT_EQ(Run(ids::kStartUpdate, 0), mb::kIdOk);
  EXPECT_EQ(dialog.Received(), CMobile_Module_ID_Dlg::kAllReceived);
}

TEST_F(ModuleIdDialogTest, ChannelIsReadAsDecimalAndTruncatedToEightBits) {
  const struct {
    const char* text;
    uint8_t channel;
  } cases[] = {{"15", 15}, {"0E", 0}, {"0F", 0}, {" 9", 9}, {"-1", 255}, {"C", 0}};
  for (const auto& c : cases) {
    CMobile_Module_ID_Dlg d(clock);
    RecordingControls controls;
    d.OnInitDialog(controls);
    for (char ch : std::string("  RF Channel............  ") + c.text + "\r") {
      d.TakeReportByte(static_cast<uint8_t>(ch));
    }
    EXPECT_EQ(d.ChannelNumber(), c.channel) << c.text;
    EXPECT_EQ(controls.GetText(ids::kRfChannelValue), c.text);
  }
}

TEST_F(ModuleIdDialogTest, PromptFlashesOnForOneAndAHalfSecondsOffForAQuarter) {
  Run(mb::kIdCancel, 5000);
  const auto& history = host.last->History(ids::kSetupPrompt);
  ASSERT_GE(history.size(), 5u);
  EXPECT_EQ(history[0], module_id_texts::kPrompt);  // at the first tick
  for (std::size_t i = 0; i < history.size(); ++i) {
    EXPECT_EQ(history[i], i % 2 == 0 ? module_id_texts::kPrompt : "") << i;
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
  CMobile_Module_ID_Dlg d(clock);
  RecordingControls controls;
  d.OnInitDialog(controls);
  const std::string lines = std::string("  Module ID.............  A\r") +
                            "  Network S/N...........  1A\r" + "  PAN ID................  fFfF\r" +
                            "  RF Channel............  7\r";
  for (char ch : lines) d.TakeReportByte(static_cast<uint8_t>(ch));
  d.OnCommand(ids::kStartUpdate);
  const std::vector<uint8_t> serial(d.NetworkSerial(), d.NetworkSerial() + 8);
  EXPECT_EQ(serial, (std::vector<uint8_t>{0, 0, 0, 0x1A, 0, 0, 0, 0}));
  EXPECT_EQ(d.PanId()[0], 0xFF);
  EXPECT_EQ(d.PanId()[1], 0xFF);
  EXPECT_EQ(controls.endResult, mb::kIdOk);
}

}  // namespace

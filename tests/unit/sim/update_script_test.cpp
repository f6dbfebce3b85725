// A whole update driven by the PC's bytes, against the simulated devices, checked answer by
// answer.
#include <gtest/gtest.h>

#include "pc_script.h"

namespace simtest {
namespace {

struct Configuration {
  const char* name;
  uint32_t baud;
  bool wireTime;
  int32_t autoPressMs;  // -1: the script presses the Setup button itself
  int pages;
};

class WholeUpdate : public testing::TestWithParam<Configuration> {};

TEST_P(WholeUpdate, EveryAnswerIsWhatTheUpdateExpects) {
  const Configuration& c = GetParam();
  sim::Options options;
  options.baseBaud = c.baud;
  options.emulateWireTime = c.wireTime;
  options.pressSetupAfterReportModeMs = c.autoPressMs;
  Bench bench({}, options);
  const std::vector<uint8_t> image = SampleImage(c.pages);
  UpdateRun run;
  run.pressSetupButton = c.autoPressMs < 0;

  const UpdateResult result = RunUpdate(bench, image, run);

  ASSERT_EQ(result.stage, "done") << result.reason;
  EXPECT_EQ(result.baud, static_cast<int>(c.baud));
  EXPECT_FALSE(result.bootLoaderWaiting);
  EXPECT_EQ(result.report.at("Module ID"), "123456");
  EXPECT_EQ(result.report.at("Network S/N"), "00A2B3C4 41526374");
  EXPECT_EQ(result.report.at("PAN ID"), "3332");
  EXPECT_EQ(result.report.at("RF Channel"), "15");

  // The base station's frames come with the identifiers it chose, one per command.
  EXPECT_EQ(result.rowReplies.at(1), ResponseFrame(1, "CH", 0));
  EXPECT_EQ(result.rowReplies.at(2), ResponseFrame(2, "ID", 0));
  EXPECT_EQ(result.rowReplies.at(3), "123456");
  EXPECT_EQ(result.rowReplies.at(4), ResponseFrame(3, "SH", 0, std::string("\x00\xA2\xB3\xC4", 4)));
  EXPECT_EQ(result.rowReplies.at(5), ResponseFrame(4, "SL", 0, "\x40\x11\x22\x33"));
  EXPECT_EQ(result.rowReplies.at(6), ResponseFrame(1, "DH", 0));  // relayed from the module
  EXPECT_EQ(result.rowReplies.at(7), ResponseFrame(2, "DL", 0));
  EXPECT_EQ(result.rowReplies.at(8), ResponseFrame(5, "DH", 0));
  EXPECT_EQ(result.rowReplies.at(9), ResponseFrame(6, "DL", 0));
  EXPECT_EQ(result.identification, "QMM-2.11-644");
  EXPECT_EQ(result.frameSends, c.pages);

  const sim::Devices& d = bench.devices;
  EXPECT_TRUE(d.UpdateComplete());
  EXPECT_EQ(d.FirmwareImage(), image);
  ASSERT_EQ(d.PageFrames().size(), static_cast<size_t>(c.pages));
  for (int page = 0; page < c.pages; ++page) {
    const auto& frame = d.PageFrames()[static_cast<size_t>(page)];
    ASSERT_EQ(frame.size(), 259u);
    EXPECT_EQ(frame[0] << 8 | frame[1], page);
  }

  const std::vector<std::string> expected = {"<V",
                                             "<RP",
                                             "ESC",
                                             "<RS",
                                             "<RS",
                                             "<@:S CH=\\x0F",
                                             "<@:S ID=32",
                                             "<@:P 123456 I",
                                             "<@:I SH",
                                             "<@:I SL",
                                             "<@:P 123456 #:C06DH\\x00\\xA2\\xB3\\xC4",
                                             "<@:P 123456 #:C06DL@\\x11\"3",
                                             "<@:S DH=\\x00\\xA2\\xB3\\xC4",
                                             "<@:S DL=ARct",
                                             "<@:P 123456 #:Z",
                                             "<RP",
                                             "ESC",
                                             "<W"};
  EXPECT_EQ(d.CommandLog(), expected);

  // As the update leaves them: the base station's radio relays to the module on the boot
  // loader network, and the module runs its new firmware on its own network again.
  EXPECT_EQ(d.BaseRadio().panId, 0xD1D3);
  EXPECT_EQ(d.BaseRadio().channel, 0x0E);
  EXPECT_EQ(d.BaseRadio().frameMode, 0);
  EXPECT_EQ(d.BaseRadio().Destination(), 0x00A2B3C441526374u);
  EXPECT_EQ(d.GetModuleState(), sim::ModuleState::kApplication);
  EXPECT_EQ(d.ModuleRadio().Destination(), 0x00A2B3C440112233u);
  EXPECT_EQ(d.ModuleRadio().panId, 0x3332);
  EXPECT_FALSE(d.BaseRelaying());
  EXPECT_FALSE(bench.serial.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Configurations, WholeUpdate,
                         testing::Values(Configuration{"Instant9600", 9600, false, -1, 3},
                                         Configuration{"Wire9600", 9600, true, -1, 4},
                                         Configuration{"Wire38400AutoPress", 38400, true, 800, 2},
                                         Configuration{"Wire14400", 14400, true, -1, 1},
                                         Configuration{"Instant115200", 115200, false, 0, 9}),
                         [](const testing::TestParamInfo<Configuration>& info) {
                           return info.param.name;
                         });

// What the PC receives at each step of the opening exchange, byte for byte.
TEST(OpeningExchange, IdentificationRelayPollAndCommandMode) {
  Bench b;
  ASSERT_EQ(b.port.Open(3, 9600, 'N', 8, 1), 1);
  b.Wait(500);
  b.Send(Esc6() + "<V");
  EXPECT_EQ(b.Collect(50), "\rKV-TSLK-00,2.07\r\n");

  // The stored frames reach the radio as commands; its answers come back through the relay.
  b.Send("<RP" + StoredFrames());
  EXPECT_EQ(b.Collect(50), ResponseFrame(0x52, "ID", 0) + ResponseFrame(0x52, "CH", 0) +
                               ResponseFrame(0x52, "AP", 0));
  EXPECT_EQ(b.devices.BaseRadio().panId, 0xD1D3);
  EXPECT_EQ(b.devices.BaseRadio().frameMode, 0);

  b.Wait(450);
  b.Send("\xC0");
  EXPECT_EQ(b.Collect(500), "");  // no boot loader yet: the module is in Setup mode

  b.Wait(1000);
  b.Send("+++");
  EXPECT_EQ(b.Collect(900), "");
  EXPECT_EQ(b.Collect(200), "OK\r");  // once the guard time after "+++" has passed
  b.Wait(400);
  b.Send("ATAP2\r");
  b.Wait(100);
  b.Send("ATCH0e\r");
  b.Wait(100);
  EXPECT_EQ(b.devices.BaseRadio().frameMode, 0);  // applied only when command mode ends
  b.Send("ATCN\r");
  EXPECT_EQ(b.Collect(500), "OK\rOK\rOK\r");
  EXPECT_EQ(b.devices.BaseRadio().frameMode, 2);
  EXPECT_FALSE(b.devices.BaseRadio().commandMode);
  b.Send(Esc6());
  EXPECT_EQ(b.Collect(10), "");
  EXPECT_FALSE(b.devices.BaseRelaying());

  // Report lines arrive only once the base station is asked to forward them.
  b.devices.PressSetupButton(b.clock.Now());
  EXPECT_EQ(b.Collect(200), "");
  b.Send("<RS");
  b.devices.PressSetupButton(b.clock.Now());
  std::string expected;
  for (const auto& line : b.devices.SetupReportLines()) expected += line;
  EXPECT_EQ(b.Collect(200), expected);
  EXPECT_NE(expected.find("\r  Network S/N...........  00A2B3C4 41526374\r"), std::string::npos);
}

}  // namespace
}  // namespace simtest

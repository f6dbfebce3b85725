// The devices' own rules: what a wrong sequence, a wrong rate or a damaged frame does.
#include <gtest/gtest.h>

#include "pc_script.h"
#include "sim/api_frame.h"

namespace simtest {
namespace {

// Opens at 9600, sends "<RP" and the stored frames: the relay runs to a transparent radio on
// the boot loader network.
void OpenRelay(Bench& b) {
  ASSERT_EQ(b.port.Open(3, 9600, 'N', 8, 1), 1);
  b.Send("<RP" + StoredFrames());
  b.Wait(500);
  b.port.PurgeInput();
}

struct GuardCase {
  const char* name;
  uint32_t before, after;  // silence around "+++"
  const char* between;     // sent between the pluses, if anything
  bool entered;
};

TEST(RadioCommandMode, NeedsOneSecondOfSilenceOnEitherSide) {
  const GuardCase cases[] = {
      {"the update's 1500 ms", 1500, 1500, "", true},
      {"exactly the guard time", 1000, 1000, "", true},
      {"too soon after data", 500, 1500, "", false},
      {"data follows too soon", 1500, 500, "", false},
      {"broken up by data", 1500, 1500, "x", false},
  };
  for (const GuardCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    OpenRelay(b);
    b.Send("x");  // data for the air
    b.Wait(c.before);
    b.Send(std::string("+") + c.between + "++");
    b.Wait(c.after);
    b.Send("ATAP2\r");
    b.Wait(100);
    b.Send("ATCN\r");
    const std::string answers = b.Collect(100);
    EXPECT_EQ(answers, c.entered ? "OK\rOK\rOK\r" : "");
    EXPECT_EQ(b.devices.BaseRadio().frameMode, c.entered ? 2 : 0);
  }
}

TEST(RadioCommandMode, ChangesWithoutLeavingAreDroppedWhenItTimesOut) {
  Bench b;
  OpenRelay(b);
  b.Wait(1500);
  b.Send("+++");
  b.Wait(1500);
  b.Send("ATAP2\rATCH1A\rATCH\rATSL\rATXX\rATCH05\r");
  EXPECT_EQ(b.Collect(50), "OK\rOK\rOK\rE\r40112233\rERROR\rERROR\r");
  EXPECT_TRUE(b.devices.BaseRadio().commandMode);
  b.Wait(10000);
  b.port.BytesWaiting();
  EXPECT_FALSE(b.devices.BaseRadio().commandMode);
  EXPECT_EQ(b.devices.BaseRadio().frameMode, 0);
  EXPECT_EQ(b.devices.BaseRadio().channel, 0x0E);
}

TEST(RadioFrames, OnlyGoodFramesInFrameModeAreObeyed) {
  Bench b;
  ASSERT_EQ(b.port.Open(3, 9600, 'N', 8, 1), 1);
  const std::string badChecksum = "\x7E\x00\x06\x08\x52\x49\x44\xD1\xD3\x75";
  b.Send("<RP" + badChecksum);
  b.Wait(50);
  EXPECT_EQ(b.devices.BaseRadio().panId, 0x4B56);  // unchanged
  // A frame with identifier 0 is obeyed silently; one that leaves frame mode is the last.
  b.Send(std::string("\x7E\x00\x05\x08\x00\x41\x50\x00", 8) + "\x66");
  EXPECT_EQ(b.Collect(50), "");
  EXPECT_EQ(b.devices.BaseRadio().frameMode, 0);
  b.Send(StoredFrames());  // now plain data for the air
  b.Wait(50);
  EXPECT_EQ(b.devices.BaseRadio().panId, 0x4B56);
  EXPECT_EQ(b.devices.BaseRadio().channel, 0x0C);
}

TEST(RadioFrames, EscapedBytesInFrameModeTwo) {
  // 0x7E 0x7D 0x11 0x13 travel escaped; the response value 0x13 comes back escaped too.
  const std::vector<uint8_t> data{0x08, 0x01, 'I', 'D', 0x7D, 0x13};
  const std::vector<uint8_t> encoded = sim::EncodeFrame(data, true);
  const std::vector<uint8_t> expected{0x7E, 0x00, 0x06, 0x08, 0x01, 'I',
                                      'D',  0x7D, 0x5D, 0x7D, 0x33, 0xD9};
  EXPECT_EQ(encoded, expected);
  sim::FrameDecoder decoder(true);
  std::optional<std::vector<uint8_t>> decoded;
  for (uint8_t byte : encoded) decoded = decoder.Feed(byte);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, data);
}

TEST(BaseStationCommands, RadioCommandsNeedFrameModeAndTheModulesNetwork) {
  Bench b;
  OpenRelay(b);  // the radio is transparent now
  b.Send(Esc6());
  b.Send("<@:S03CH\x0F");
  EXPECT_EQ(b.ReadBytes(9, 3000), "");  // the frame went out over the air as data
  EXPECT_EQ(b.devices.BaseRadio().channel, 0x0E);

  Bench order;  // frame mode again, but the module is asked before the radio is tuned to it
  ASSERT_EQ(order.port.Open(3, 9600, 'N', 8, 1), 1);
  order.Send(std::string("<@:P123456") + "01I");
  char line[16];
  EXPECT_EQ(order.port.ReadLine(line, 15, 500, '\r'), 0);
  order.Send("<@:S03CH\x0F" + std::string("<@:S04ID\x33\x32"));
  EXPECT_EQ(order.Collect(50), ResponseFrame(1, "CH", 0) + ResponseFrame(2, "ID", 0));
  order.Send(std::string("<@:P123456") + "01I");
  EXPECT_EQ(order.port.ReadLine(line, 15, 500, '\r'), 6);
  EXPECT_STREQ(line, "123456");
  // A shorter module ID is padded with NUL bytes; another module's ID reaches nobody.
  order.Send(
      std::string("<@:P12345\0"
                  "01I",
                  13));
  EXPECT_EQ(order.Collect(100), "");
}

TEST(BaseStationCommands, RejectedValuesAndUnknownParameters) {
  Bench b;
  ASSERT_EQ(b.port.Open(3, 9600, 'N', 8, 1), 1);
  b.Send(std::string("<@:S03CH\x05", 9));               // outside the band
  b.Send(std::string("<@:S04AP\x00\x03", 10));          // value too long
  b.Send("<@:ISX");                                     // no such parameter
  b.Send(std::string("<@:S06SH\x01\x02\x03\x04", 12));  // read-only
  EXPECT_EQ(b.Collect(50), ResponseFrame(1, "CH", 3) + ResponseFrame(2, "AP", 3) +
                               ResponseFrame(3, "SX", 2) + ResponseFrame(4, "SH", 1));
  EXPECT_EQ(b.devices.BaseRadio().channel, 0x0C);
}

TEST(BaseStationRelay, EscBytesInsideDataDoNotEndIt) {
  sim::Scenario scenario;
  scenario.bootLoaderRunning = true;
  Bench b(scenario);
  OpenRelay(b);
  b.Send("#$%-QMM-2.11-644");
  EXPECT_EQ(b.Collect(100), "QMM-2.11-644\r!");
  std::string frame(2, '\0');
  frame += std::string(256, '\x1b');
  frame += static_cast<char>(0x1B * 256 % 256);
  b.Send(frame);
  EXPECT_EQ(b.Collect(100), "!");
  EXPECT_TRUE(b.devices.BaseRelaying());
  // Five ESC bytes after a pause are held back and then passed on; six end the relay.
  b.Send(std::string(5, '\x1b'));
  b.Wait(200);
  b.port.BytesWaiting();
  EXPECT_TRUE(b.devices.BaseRelaying());
  b.Send(Esc6());
  b.port.BytesWaiting();
  EXPECT_FALSE(b.devices.BaseRelaying());
}

struct FrameCase {
  uint16_t page;
  uint8_t sumOffset;  // added to the right checksum
  char reply;
};

TEST(BootLoaderPages, ChecksPageNumberAndChecksum) {
  const FrameCase cases[] = {
      {0, 0, '!'}, {0, 0, '!'},  // the page just written, again: its "!" may have been lost
      {2, 0, '@'},               // a page skipped
      {1, 1, '@'},               // damaged
      {1, 0, '!'}, {2, 0, '!'}, {0, 0, '@'},
  };
  sim::Scenario scenario;
  scenario.bootLoaderRunning = true;
  Bench b(scenario);
  OpenRelay(b);
  b.Send("#$%-QMM-2.11-644");
  ASSERT_EQ(b.Collect(100), "QMM-2.11-644\r!");
  const std::vector<uint8_t> image = SampleImage(3);
  for (const FrameCase& c : cases) {
    std::string frame{static_cast<char>(c.page >> 8), static_cast<char>(c.page)};
    uint8_t sum = c.sumOffset;
    for (int i = 0; i < 256; ++i) {
      frame += static_cast<char>(image[c.page * 256u + static_cast<unsigned>(i)]);
      sum = static_cast<uint8_t>(sum + frame.back());
    }
    frame += static_cast<char>(sum);
    b.Send(frame);
    EXPECT_EQ(b.Collect(100), std::string(1, c.reply)) << "page " << c.page;
  }
  b.Send("\xFF\xFF");
  b.Collect(50);
  EXPECT_TRUE(b.devices.UpdateComplete());
  EXPECT_EQ(b.devices.FirmwareImage(), image);
  EXPECT_EQ(b.devices.PageFrames().size(), std::size(cases));
}

TEST(BootLoaderPages, ALonePollAfterAnAbandonedTransferRestartsIt) {
  sim::Scenario scenario;
  scenario.bootLoaderRunning = true;
  Bench b(scenario);
  OpenRelay(b);
  b.Send("#$%-QMM-2.11-644");
  b.Send(std::string(100, '\0'));  // a frame cut short
  b.Collect(500);
  b.Send("\xC0");
  EXPECT_EQ(b.ReadBytes(1, 500), "\xD0");
  b.Send("#$%-QMM-2.11-644");
  EXPECT_EQ(b.Collect(100), "QMM-2.11-644\r!");
}

TEST(SerialLine, WireTimeAtTheBaudRate) {
  sim::Options options;
  options.emulateWireTime = true;
  options.hopLatencyMs = 0;
  options.pageWriteMs = 0;
  options.turnaroundMs = 0;
  sim::Scenario scenario;
  scenario.bootLoaderRunning = true;
  Bench b(scenario, options);
  OpenRelay(b);
  b.Send("#$%-QMM-2.11-644");
  b.Collect(200);
  // 259 bytes out and one back, 10 bits each at 9600 baud: 271 ms.
  std::string frame(258, '\0');
  frame += '\0';
  const uint32_t sent = b.clock.Now();
  b.Send(frame);
  EXPECT_EQ(b.ReadBytes(1, 1000), "!");
  const uint32_t took = b.clock.Now() - sent;
  EXPECT_GE(took, 271u);
  EXPECT_LE(took, 290u);  // plus the radio's pause before it sends
}

TEST(SerialLine, SessionsAndTimeThroughTheCounterWrap) {
  Bench b({}, {}, {}, 0xFFFFFF00u);
  ASSERT_EQ(b.port.Open(3, 19200, 'N', 8, 1), 1);
  b.Send("<V");
  EXPECT_EQ(b.Collect(100), "");
  ASSERT_EQ(b.port.Open(3, 9600, 'E', 8, 1), 1);  // right rate, wrong parity
  b.Send("<V");
  EXPECT_EQ(b.Collect(100), "");
  ASSERT_EQ(b.port.Open(3, 9600, 'N', 8, 1), 1);
  b.Wait(300);  // across the wrap of the tick counter
  b.Send("<V");
  EXPECT_EQ(b.ReadBytes(18, 100).size(), 18u);
  b.port.Close();
  EXPECT_EQ(b.devices.Sessions().size(), 3u);
  EXPECT_EQ(Text(b.devices.BaseReceived()), "<V");
  const auto& counters = b.serial.GetCounters();
  EXPECT_EQ(counters.opens, 3);
  EXPECT_EQ(counters.closes, 3);
  EXPECT_EQ(counters.dtrDrops, 3);
  EXPECT_EQ(counters.rtsDrops, 3);
  EXPECT_EQ(b.port.Open(4, 9600, 'N', 8, 1), 0);  // only its own port
  EXPECT_EQ(counters.refusedOpens, 1);
}

struct ParseCase {
  const char* text;
  bool ok;
};

TEST(ScenarioText, AcceptsTheNamedFaultsOnly) {
  const ParseCase cases[] = {
      {"", true},
      {"nak-page=3:4,drop-after-page=7", true},
      {"bad-status=module:dl:2,ready=0x3f,baud=38400", true},
      {"silent-base=1", false},
      {"nak-page=3", false},
      {"nak-page=3:0", false},
      {"bad-status=radio:CH", false},
      {"bad-status=base:CHX", false},
      {"ready=100", false},
      {"baud=fast", false},
      {"no-such-fault", false},
  };
  for (const ParseCase& c : cases) {
    sim::Scenario scenario;
    std::string error;
    EXPECT_EQ(sim::ParseScenario(c.text, scenario, error), c.ok) << c.text;
    EXPECT_EQ(error.empty(), c.ok) << c.text;
  }
  sim::Scenario scenario;
  std::string error;
  ASSERT_TRUE(
      sim::ParseScenario("bad-status=module:dl:2,nak-page=3:4,ready=0x3f", scenario, error));
  EXPECT_EQ((scenario.badStatus.at({sim::Side::kModule, "DL"})), 2);
  EXPECT_EQ(scenario.nakPage.at(3), 4);
  EXPECT_EQ(scenario.readyByte, 0x3F);
}

}  // namespace
}  // namespace simtest

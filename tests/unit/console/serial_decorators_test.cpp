#include <gtest/gtest.h>

#include <sstream>

#include "console_fakes.h"
#include "link_cut.h"
#include "scripted_serial.h"
#include "serial/serial_port.h"
#include "serial_trace.h"

namespace {
TEST(SerialTrace, LineShowsTimeDirectionHexAndText) {
  const uint8_t bytes[] = {0x1B, '<', 'V', 0x0D, 0x7F, 0xFF};
  EXPECT_EQ(FormatTraceLine(1234, true, bytes, sizeof bytes),
            "[    1234 ms] -> 1B 3C 56 0D 7F FF" + std::string(30, ' ') + "  |.<V...|");
  EXPECT_EQ(FormatTraceLine(7, false, bytes + 1, 2),
            "[       7 ms] <- 3C 56" + std::string(42, ' ') + "  |<V|");
}

TEST(SerialTrace, BurstsAreSplitByDirectionByGapAndAtSixteenBytes) {
  VirtualClock clock(0x10000, 0);  // time moves only when the test says so
  ScriptedSerial device(clock);
  std::ostringstream out;
  {
    TracingSerial trace(device, clock, out);
    ASSERT_TRUE(trace.Open(3, LineSettings{}));
    const std::string command = "\x1b\x1b\x1b\x1b\x1b\x1b<V";
    trace.Write(reinterpret_cast<const uint8_t*>(command.data()), 6);
    clock.Advance(5);  // close enough: the same burst
    trace.Write(reinterpret_cast<const uint8_t*>(command.data()) + 6, 2);
    device.Arrive("\rKV-TSLK-00,2.07\r\n");
    uint8_t byte;
    while (trace.BytesWaiting() != 0 && trace.Read(&byte, 1) == 1) {
    }
    clock.Advance(100);
    trace.Write(reinterpret_cast<const uint8_t*>("<RP"), 3);
    clock.Advance(100);
    trace.Write(reinterpret_cast<const uint8_t*>("+++"), 3);
    trace.PurgeInput();
    trace.Close();
  }
  const std::vector<std::string> lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 9u) << out.str();
  EXPECT_EQ(lines[1], "[       0 ms] open COM3 at 9600 baud, 8N1: opened");
  EXPECT_EQ(lines[2].substr(0, 42), "[       0 ms] -> 1B 1B 1B 1B 1B 1B 3C 56  ");
  EXPECT_EQ(lines[3].substr(0, 19), "[       5 ms] <- 0D");
  EXPECT_NE(lines[3].find("|.KV-TSLK-00,2.07|"), std::string::npos);
  EXPECT_NE(lines[4].find("<- 0D 0A "), std::string::npos) << "the 17th byte starts a line";
  EXPECT_EQ(lines[5].substr(0, 25), "[     105 ms] -> 3C 52 50");
  EXPECT_EQ(lines[6].substr(0, 25), "[     205 ms] -> 2B 2B 2B");
  EXPECT_EQ(lines[7], "[     205 ms] purge receive queue");
  EXPECT_EQ(lines[8], "[     205 ms] close");
}

TEST(SerialTrace, FailedOpenAndWriteAreNotedNotShownAsSent) {
  VirtualClock clock(0x10000, 0);
  ScriptedSerial device(clock);
  CuttableSerial cuttable(device, [] { return true; });
  std::ostringstream out;
  TracingSerial trace(cuttable, clock, out);
  EXPECT_FALSE(trace.Open(3, LineSettings{}));
  EXPECT_FALSE(trace.Write(reinterpret_cast<const uint8_t*>("<W"), 2));
  trace.Flush();
  EXPECT_NE(out.str().find("open COM3 at 9600 baud, 8N1: failed"), std::string::npos);
  EXPECT_NE(out.str().find("write of 2 bytes failed"), std::string::npos);
  EXPECT_EQ(out.str().find("->"), out.str().find("-> sent")) << "no byte line";
}

TEST(LinkCut, ACutLinkPassesNothingButStillCloses) {
  VirtualClock clock;
  ScriptedSerial device(clock);
  bool cut = false;
  CuttableSerial link(device, [&cut] { return cut; });
  CSerialPort port(link, clock);
  ASSERT_EQ(port.Open(3, 9600, 'N', 8, 1), 1);
  device.Arrive("abc");
  EXPECT_EQ(port.BytesWaiting(), 3u);
  EXPECT_EQ(port.WriteString("<V"), 1);

  cut = true;
  EXPECT_EQ(port.BytesWaiting(), 0u);
  char buffer[8] = {};
  EXPECT_EQ(port.Read(buffer, 3), 0u);
  EXPECT_EQ(port.WriteString("<W"), 0);
  EXPECT_EQ(device.written, "<V");
  port.Close();
  EXPECT_FALSE(device.isOpen) << "the port is closed for real";
  EXPECT_EQ(port.Open(3, 9600, 'N', 8, 1), 0);
  EXPECT_EQ(device.opens, 1);
}

TEST(LinkCut, OnceCutEveryWaitEndsAtOnce) {
  VirtualClock real(0x10000, 0);
  bool cut = false;
  HurryingClock clock(real, [&cut] { return cut; });
  const uint32_t before = clock.TickCount();
  clock.Sleep(500);
  EXPECT_EQ(clock.TickCount() - before, 500u);

  cut = true;
  clock.Sleep(60000);
  EXPECT_EQ(real.SleptMilliseconds(), 500u);
  // A 3000 ms time-out on this clock runs out within a handful of readings.
  const uint32_t start = clock.TickCount();
  int readings = 1;
  while (!Elapsed(clock.TickCount(), start, 3000)) ++readings;
  EXPECT_LE(readings, 4);
  // Still a clock: it never runs backwards.
  uint32_t last = clock.TickCount();
  for (int i = 0; i < 100; ++i) {
    const uint32_t now = clock.TickCount();
    EXPECT_GT(static_cast<int32_t>(now - last), 0);
    last = now;
  }
}
}  // namespace

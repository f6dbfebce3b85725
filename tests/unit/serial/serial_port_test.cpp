#include "serial/serial_port.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "scripted_serial.h"
#include "virtual_clock.h"

namespace {

struct Channel {
  explicit Channel(uint32_t start = 0x10000) : clock(start), device(clock), port(device, clock) {}
  VirtualClock clock;
  ScriptedSerial device;
  CSerialPort port;
};

struct SettingsCase {
  int baud;
  char parity;
  int stopBits;
  uint32_t expectedBaud;
  Parity expectedParity;
  StopBits expectedStopBits;
};

TEST(SerialPortOpen, MapsLineSettings) {
  const SettingsCase cases[] = {
      {9600, 'N', 1, 9600, Parity::kNone, StopBits::kOne},
      {14400, 'E', 2, 14400, Parity::kEven, StopBits::kTwo},
      {115200, 'O', 0, 115200, Parity::kOdd, StopBits::kOne},
      {300, 'M', 1, 300, Parity::kMark, StopBits::kOne},
      {57600, 'S', 3, 57600, Parity::kSpace, StopBits::kOne},
      {12345, 'e', 1, 9600, Parity::kNone, StopBits::kOne},  // unknown rate, lower-case letter
      {0, 'X', 2, 9600, Parity::kNone, StopBits::kTwo},
      {-9600, 'N', 1, 9600, Parity::kNone, StopBits::kOne},
  };
  for (const auto& c : cases) {
    Channel ch;
    ASSERT_EQ(ch.port.Open(3, c.baud, c.parity, 8, c.stopBits), 1);
    EXPECT_EQ(ch.device.lastSettings.baud, c.expectedBaud) << c.baud;
    EXPECT_EQ(ch.device.lastSettings.parity, c.expectedParity) << c.parity;
    EXPECT_EQ(ch.device.lastSettings.stopBits, c.expectedStopBits) << c.stopBits;
    EXPECT_EQ(ch.device.lastSettings.dataBits, 8);
  }
}

TEST(SerialPortOpen, FailedOpenKeepsNumberButReportsClosed) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(7, 9600, 'N', 8, 1), 0);
  EXPECT_EQ(ch.port.PortNumber(), -1);
  EXPECT_EQ(ch.port.StoredPortNumber(), 7);
  EXPECT_FALSE(ch.port.IsOpen());
  EXPECT_EQ(ch.device.closes, 0);
}

TEST(SerialPortOpen, ReopenClosesFirstAndCloseIsIdempotent) {
  Channel ch;
  ASSERT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  EXPECT_EQ(ch.port.PortNumber(), 3);
  ASSERT_EQ(ch.port.Open(3, 57600, 'N', 8, 1), 1);
  EXPECT_EQ(ch.device.closes, 1);
  EXPECT_EQ(ch.device.lastSettings.baud, 57600u);
  ch.port.Close();
  ch.port.Close();
  EXPECT_EQ(ch.device.closes, 2);
  EXPECT_EQ(ch.port.PortNumber(), -1);
}

TEST(SerialPortClosed, EveryOperationReportsNothingDone) {
  Channel ch;
  ch.device.Arrive("XYZ");
  char line[16] = "garbage";
  uint8_t bytes[4];
  const uint32_t start = ch.clock.Now();
  EXPECT_EQ(ch.port.ReadLine(line, 15, 200, '\r'), 0);
  EXPECT_STREQ(line, "");
  EXPECT_GE(ch.clock.Now() - start, 200u);
  EXPECT_EQ(ch.port.ReadBytes(bytes, 4, 100), 0);
  EXPECT_EQ(ch.port.BytesWaiting(), 0u);
  EXPECT_EQ(ch.port.Read(bytes, 4), 0u);
  EXPECT_EQ(ch.port.WriteByte(1), 0);
  EXPECT_EQ(ch.port.Write("ab", 2), 0);
  EXPECT_EQ(ch.port.WriteString("ab"), 0);
  EXPECT_EQ(ch.port.PurgeInput(), 0);
  EXPECT_TRUE(ch.device.written.empty());
}

struct ReadLineCase {
  const char* name;
  std::string incoming;
  int max;
  int expectedLength;
  std::string expectedText;
  uint32_t leftInQueue;
};

TEST(SerialPortReadLine, CollectsUpToTerminatorOrMax) {
  const ReadLineCase cases[] = {
      {"terminated", "AB\r", 15, 2, "AB", 0},
      {"silence", "", 15, 0, "", 0},
      {"max reached drops one byte", "ABCDE\r", 3, 3, "ABC", 2},
      {"terminator only", "\r", 15, 0, "", 0},
      {"no terminator", "ABC", 15, 3, "ABC", 0},
      {"exactly max then terminator", "ABC\r", 3, 3, "ABC", 0},
  };
  for (const auto& c : cases) {
    Channel ch;
    EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
    ch.device.Arrive(c.incoming);
    char buffer[32];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(ch.port.ReadLine(buffer, c.max, 500, '\r'), c.expectedLength) << c.name;
    EXPECT_EQ(std::string(buffer), c.expectedText) << c.name;
    EXPECT_EQ(ch.port.BytesWaiting(), c.leftInQueue) << c.name;
  }
}

TEST(SerialPortReadLine, TimeOutRestartsWithEveryByte) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  ch.device.Arrive("ABCD\r", 400, 400);
  char buffer[16];
  const uint32_t start = ch.clock.Now();
  EXPECT_EQ(ch.port.ReadLine(buffer, 15, 500, '\r'), 4);
  EXPECT_STREQ(buffer, "ABCD");
  EXPECT_GE(ch.clock.Now() - start, 2000u);
}

TEST(SerialPortReadLine, GivesUpAfterTimeOutWithoutFurtherBytes) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  ch.device.Arrive("AB", 0, 0);
  ch.device.Arrive("C", 700);
  char buffer[16];
  EXPECT_EQ(ch.port.ReadLine(buffer, 15, 500, '\r'), 2);
  EXPECT_STREQ(buffer, "AB");
}

TEST(SerialPortReadBytes, ReturnsWhatCameWithinTheInterByteTimeOut) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  ch.device.Arrive("12345", 100, 400);
  uint8_t buffer[9];
  const uint32_t start = ch.clock.Now();
  EXPECT_EQ(ch.port.ReadBytes(buffer, 9, 500), 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), "12345");
  const uint32_t lastByte = 100 + 4 * 400;
  EXPECT_GE(ch.clock.Now() - start, lastByte + 500);
  EXPECT_LT(ch.clock.Now() - start, lastByte + 600);
}

TEST(SerialPortReadBytes, StopsAtCountLeavingTheRest) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  ch.device.Arrive("ABCDEF");
  uint8_t buffer[4];
  EXPECT_EQ(ch.port.ReadBytes(buffer, 4, 500), 4);
  EXPECT_EQ(ch.port.BytesWaiting(), 2u);
  EXPECT_EQ(ch.port.ReadBytes(buffer, 0, 500), 0);
}

TEST(SerialPortTime, TimeOutsSurviveTickCounterWrapAround) {
  Channel ch(0xFFFFFF00u);
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  char buffer[16];
  const uint32_t start = ch.clock.Now();
  EXPECT_EQ(ch.port.ReadLine(buffer, 15, 500, '\r'), 0);
  const uint32_t elapsed = ch.clock.Now() - start;
  EXPECT_GE(elapsed, 500u);
  EXPECT_LT(elapsed, 600u);
  uint8_t bytes[2];
  ch.device.Arrive("Z", 300);
  EXPECT_EQ(ch.port.ReadBytes(bytes, 2, 500), 1);
}

TEST(SerialPortTime, AWaitEndsTheMomentItsTimeHasPassed) {
  // The clock moves 1 ms per reading and the first reading starts the wait.
  for (bool line : {false, true}) {
    Channel ch;
    EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
    const uint32_t firstReading = ch.clock.Now() + 1;
    char buffer[16];
    EXPECT_EQ(line ? ch.port.ReadLine(buffer, 15, 500, '\r') : ch.port.ReadBytes(buffer, 4, 500),
              0);
    EXPECT_EQ(ch.clock.Now() - firstReading, 500u) << (line ? "ReadLine" : "ReadBytes");
  }
}

TEST(SerialPortRead, TakesAtMostMaxAndNeverWaits) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  ch.device.Arrive("0123456789");
  uint8_t buffer[10];
  EXPECT_EQ(ch.port.Read(buffer, 0), 0u);
  EXPECT_EQ(ch.port.Read(buffer, 4), 4u);
  EXPECT_EQ(ch.port.BytesWaiting(), 6u);
  EXPECT_EQ(ch.port.Read(buffer, 10), 6u);
  const uint32_t before = ch.clock.Now();
  EXPECT_EQ(ch.port.Read(buffer, 10), 0u);
  EXPECT_EQ(ch.clock.Now(), before);
}

TEST(SerialPortWrite, SendsExactlyWhatItIsGiven) {
  Channel ch;
  EXPECT_EQ(ch.port.Open(3, 9600, 'N', 8, 1), 1);
  EXPECT_EQ(ch.port.Write("abc", -5), -5);
  EXPECT_EQ(ch.device.writeCalls, 0);
  EXPECT_EQ(ch.port.WriteString(""), 1);
  EXPECT_EQ(ch.device.writeCalls, 1);
  EXPECT_EQ(ch.port.WriteString("<V"), 1);
  EXPECT_EQ(ch.port.WriteByte(0xC0), 1);
  EXPECT_EQ(ch.port.Write("\0\1", 2), 1);
  EXPECT_EQ(ch.device.written, std::string("<V\xC0\0\1", 5));
  ch.device.Arrive("junk");
  EXPECT_EQ(ch.port.PurgeInput(), 1);
  EXPECT_EQ(ch.port.BytesWaiting(), 0u);
}

}  // namespace

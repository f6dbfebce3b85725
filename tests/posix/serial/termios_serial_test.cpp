#include "termios_serial.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "../common/wait_until.h"
#include "posix_clock.h"
#include "serial/serial_port.h"

unsigned PtySpeed(int fd);

namespace {

// A pseudo-terminal pair: the program opens the slave as COM5, the test plays the device on
// the master.
struct PtyPair {
  PtyPair() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    grantpt(master);
    unlockpt(master);
    slave = ptsname(master);
  }
  ~PtyPair() {
    if (master >= 0)
      close(master);
  }
  std::string ReadMaster(std::size_t want) {
    std::string got;
    posixtest::WaitUntil(
        [&] {
          char buffer[512];
          const ssize_t n = read(master, buffer, sizeof buffer);
          if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
          return got.size() >= want;
        },
        std::chrono::seconds(10));
    return got;
  }
  int master = -1;
  std::string slave;
};

struct TermiosSerialTest : ::testing::Test {
  TermiosSerialTest()
      : backend([this](int com) { return com == 5 ? pty.slave : std::string(); }),
        port(backend, clock) {}
  PtyPair pty;
  MonotonicClock clock;
  TermiosSerial backend;
  CSerialPort port;
};

TEST_F(TermiosSerialTest, AppliesTheBaudRateTheDeviceSees) {
  for (int baud : {9600, 57600, 14400, 19200, 38400, 115200}) {
    ASSERT_EQ(port.Open(5, baud, 'N', 8, 1), 1) << baud;
    EXPECT_EQ(PtySpeed(pty.master), static_cast<unsigned>(baud));
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    port.Close();
  }
}

TEST_F(TermiosSerialTest, BytesTravelUnchangedBothWays) {
  ASSERT_EQ(port.Open(5, 9600, 'N', 8, 1), 1);
  const std::string binary("\x1b\x1b<V\r\n\x00\xff\x11\x13\x7e", 12);
  ASSERT_EQ(port.Write(binary.data(), static_cast<int>(binary.size())), 1);
  EXPECT_EQ(pty.ReadMaster(binary.size()), binary);

  ASSERT_EQ(write(pty.master, binary.data(), binary.size()), static_cast<ssize_t>(binary.size()));
  char received[32];
  EXPECT_EQ(port.ReadBytes(received, static_cast<int>(binary.size()), 10000),
            static_cast<int>(binary.size()));
  EXPECT_EQ(std::string(received, binary.size()), binary);
}

TEST_F(TermiosSerialTest, PurgeDiscardsWhatHasArrived) {
  ASSERT_EQ(port.Open(5, 9600, 'N', 8, 1), 1);
  ASSERT_EQ(write(pty.master, "junk", 4), 4);
  // The terminal hands bytes on to the reading side a moment later.
  posixtest::WaitUntil([&] { return port.BytesWaiting() >= 4; }, std::chrono::seconds(10));
  EXPECT_EQ(port.BytesWaiting(), 4u);
  EXPECT_EQ(port.PurgeInput(), 1);
  EXPECT_EQ(port.BytesWaiting(), 0u);
}

TEST_F(TermiosSerialTest, OpenIsExclusiveAndFailsCleanly) {
  ASSERT_EQ(port.Open(5, 9600, 'N', 8, 1), 1);
  TermiosSerial second([this](int) { return pty.slave; });
  EXPECT_FALSE(second.Open(5, LineSettings{}));
  EXPECT_EQ(port.Open(6, 9600, 'N', 8, 1), 0);  // unmapped: the first is closed by Open
  EXPECT_EQ(port.PortNumber(), -1);
  TermiosSerial missing([](int) { return std::string("/dev/no-such-serial-device"); });
  EXPECT_FALSE(missing.Open(1, LineSettings{}));
  EXPECT_TRUE(second.Open(5, LineSettings{}));
  second.Close();
}

// Another process that opens `path` and holds it until the holder goes out of scope.
struct OtherHolder {
  explicit OtherHolder(const std::string& path) {
    int ready[2];
    if (pipe(ready) != 0)
      return;
    pid = fork();
    if (pid == 0) {
      const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
      const char opened = fd >= 0 ? 'y' : 'n';
      (void)!write(ready[1], &opened, 1);
      pause();
      _exit(0);
    }
    char opened = 'n';
    if (pid > 0)
      (void)!read(ready[0], &opened, 1);
    held = opened == 'y';
    close(ready[0]);
    close(ready[1]);
  }
  ~OtherHolder() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  pid_t pid = -1;
  bool held = false;
};

// A port reopened for the next module looks for other programs only when somebody opened the
// device meanwhile: one that did is found at every try while it holds the device, and once it
// has let go the port opens again.
TEST_F(TermiosSerialTest, AProgramThatOpenedThePortBetweenTwoOpeningsIsFound) {
  ASSERT_TRUE(backend.Open(5, LineSettings{}));
  backend.Close();
  ASSERT_TRUE(backend.Open(5, LineSettings{})) << "nobody meanwhile";
  backend.Close();
  {
    const OtherHolder other(pty.slave);
    ASSERT_TRUE(other.held);
    for (int attempt = 1; attempt <= 2; ++attempt) {
      EXPECT_FALSE(backend.Open(5, LineSettings{})) << "attempt " << attempt;
      EXPECT_NE(backend.OpenFailure().find("it is open in"), std::string::npos)
          << backend.OpenFailure();
    }
  }
  EXPECT_TRUE(backend.Open(5, LineSettings{}));
  backend.Close();
}

TEST_F(TermiosSerialTest, VanishedDeviceFailsInsteadOfHanging) {
  ASSERT_EQ(port.Open(5, 9600, 'N', 8, 1), 1);
  close(pty.master);
  pty.master = -1;
  char buffer[4];
  const uint32_t start = clock.TickCount();
  EXPECT_EQ(port.ReadBytes(buffer, 4, 300), 0);
  EXPECT_LT(clock.TickCount() - start, 2000u);
  EXPECT_EQ(port.WriteString("<W"), 0);
  port.Close();
  EXPECT_EQ(port.PortNumber(), -1);
}

}  // namespace

#pragma once
// The PC's end of tessalink-sim's terminal, for tests that play the update program by hand.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "../common/sim_program.h"
#include "termios_serial.h"  // SetCustomBaudRate: any rate, 14400 included

namespace posixtest {

// The simulator's latest view of the terminal is an opening at `baud`. (A quick reopening at
// the same rate may go unnoticed: then the session simply goes on.)
inline bool SeesOpenAt(const std::string& log, unsigned baud) {
  const std::string opens = "PC opens the port at " + std::to_string(baud) + " baud";
  const size_t opened = log.rfind("PC opens the port at ");
  return opened != std::string::npos && log.compare(opened, opens.size(), opens) == 0 &&
         log.find("PC closes the port", opened) == std::string::npos;
}

// The terminal opened like a serial port, raw, 8N1, at `baud`; -1 when it will not open.
inline int OpenRaw(const std::string& path, unsigned baud) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0)
    return -1;
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tcsetattr(fd, TCSANOW, &tio);
  SetCustomBaudRate(fd, baud);
  return fd;
}

// The PC's end: the terminal opened raw at `baud`. Returns once the simulator hears the terminal
// at that rate.
inline int OpenTerminal(const SimProgram& sim, const std::string& path, unsigned baud) {
  const int fd = OpenRaw(path, baud);
  if (fd < 0)
    return -1;
  EXPECT_TRUE(WaitUntil([&] { return SeesOpenAt(sim.Log(), baud); }, std::chrono::seconds(10)));
  return fd;
}

inline void Send(int fd, const std::string& bytes) {
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `count` bytes came or `ms` passed.
inline std::string Receive(int fd, size_t count, int ms) {
  std::string data;
  WaitUntil(
      [&] {
        char buffer[512];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0)
          data.append(buffer, static_cast<size_t>(n));
        return data.size() >= count;
      },
      std::chrono::milliseconds(ms));
  return data;
}

inline const std::string kEsc6(6, '\x1b');
inline const std::string kIdentification = "\rKV-TSLK-00,2.07\r\n";
inline const std::string kStoredFrames(
    "\x7E\x00\x06\x08\x52\x49\x44\xD1\xD3\x74\x7E\x00\x05\x08\x52\x43\x48\x0E\x0C"
    "\x7E\x00\x05\x08\x52\x41\x50\x00\x14",
    28);

}  // namespace posixtest

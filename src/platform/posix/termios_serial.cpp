#include "termios_serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "port_holders.h"

namespace {
speed_t StandardSpeed(uint32_t baud) {
  switch (baud) {
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return 0;
  }
}

bool ApplySettings(int fd, const LineSettings& settings) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0)
    return false;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CRTSCTS | CSTOPB | PARENB | PARODD | CMSPAR | CSIZE);
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  switch (settings.dataBits) {
    case 5:
      tio.c_cflag |= CS5;
      break;
    case 6:
      tio.c_cflag |= CS6;
      break;
    case 7:
      tio.c_cflag |= CS7;
      break;
    default:
      tio.c_cflag |= CS8;
  }
  switch (settings.parity) {
    case Parity::kEven:
      tio.c_cflag |= PARENB;
      break;
    case Parity::kOdd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case Parity::kMark:
      tio.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case Parity::kSpace:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    case Parity::kNone:
      break;
  }
  if (settings.stopBits == StopBits::kTwo)
    tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  const speed_t speed = StandardSpeed(settings.baud);
  cfsetispeed(&tio, speed ? speed : B9600);
  cfsetospeed(&tio, speed ? speed : B9600);
  if (tcsetattr(fd, TCSANOW, &tio) != 0)
    return false;
  return speed != 0 || SetCustomBaudRate(fd, settings.baud);
}
}  // namespace

TermiosSerial::TermiosSerial(std::function<std::string(int)> devicePath)
    : devicePath_(std::move(devicePath)) {}

TermiosSerial::~TermiosSerial() {
  if (fd_ >= 0)
    Close();
}

bool TermiosSerial::Open(int port, const LineSettings& settings) {
  openFailure_.clear();
  const std::string path = devicePath_ ? devicePath_(port) : std::string();
  if (path.empty()) {
    openFailure_ = "COM" + std::to_string(port) + " has no device on this computer.";
    return false;
  }
  // Asked before this opening, which the watch sees as well.
  const bool untouched = openings_.Untouched(path);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return Refuse(-1, path, port, OpenStep::kOpen, errno);
  // Exclusive use, as the Windows port is opened without sharing: an advisory lock against
  // other programs that honour it, and TIOCEXCL against further opens of the tty. A program
  // that opened it before, without either, would still read the base station's answers.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    return Refuse(fd, path, port, OpenStep::kLocked, errno);
  if (!isatty(fd) || ioctl(fd, TIOCEXCL) != 0)
    return Refuse(fd, path, port, OpenStep::kNotTerminal, errno);
  if (!untouched && !ProcessesWithDeviceOpen(path).empty())
    return Refuse(fd, path, port, OpenStep::kHeldOpen, 0);
  openings_.Watch(path);
  // Line settings are applied as the Windows channel does: their failure is not fatal.
  ApplySettings(fd, settings);
  // A port opens empty, as a Windows port does: what the device sent while nobody listened,
  // and what an earlier opening left unread, is not this opening's to read.
  tcflush(fd, TCIOFLUSH);
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &lines);
  fd_ = fd;
  path_ = path;
  gone_ = false;
  return true;
}

bool TermiosSerial::Refuse(int fd, const std::string& path, int port, OpenStep step, int error) {
  openFailure_ = OpenFailureText(path, port, step, error);
  // Exclusive use is the tty's, not the descriptor's: given up only where this program took it.
  if (step == OpenStep::kHeldOpen)
    ioctl(fd, TIOCNXCL);
  if (fd >= 0)
    ::close(fd);
  return false;
}

void TermiosSerial::Close() {
  if (fd_ < 0)
    return;
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd_, TIOCMBIC, &lines);
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  fd_ = -1;
  path_.clear();
}

void TermiosSerial::MarkGone() {
  gone_ = true;
}

uint32_t TermiosSerial::BytesWaiting() {
  if (fd_ < 0 || gone_)
    return 0;
  int count = 0;
  if (ioctl(fd_, FIONREAD, &count) != 0) {
    if (errno == EIO || errno == ENODEV || errno == ENXIO)
      MarkGone();
    return 0;
  }
  if (count == 0) {
    // A hung-up device reports nothing waiting forever; notice it so writes fail too.
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
      MarkGone();
  }
  return count > 0 ? static_cast<uint32_t>(count) : 0;
}

uint32_t TermiosSerial::Read(uint8_t* buffer, uint32_t max) {
  if (fd_ < 0 || gone_ || max == 0)
    return 0;
  const ssize_t n = ::read(fd_, buffer, max);
  if (n > 0)
    return static_cast<uint32_t>(n);
  if (n == 0 || (errno != EAGAIN && errno != EINTR))
    MarkGone();
  return 0;
}

bool TermiosSerial::Write(const uint8_t* data, uint32_t length) {
  if (fd_ < 0 || gone_)
    return false;
  uint32_t done = 0;
  while (done < length) {
    const ssize_t n = ::write(fd_, data + done, length - done);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && errno != EAGAIN) {
      MarkGone();
      return false;
    }
    // The driver's queue is full: wait for room, but never for ever on a dead device.
    pollfd p{fd_, POLLOUT, 0};
    const int ready = poll(&p, 1, 5000);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      MarkGone();
      return false;
    }
  }
  return true;
}

bool TermiosSerial::PurgeInput() {
  return fd_ >= 0 && !gone_ && tcflush(fd_, TCIFLUSH) == 0;
}

void TermiosSerial::WaitForInput(uint32_t milliseconds) {
  if (fd_ < 0 || gone_)
    return;
  pollfd p{fd_, POLLIN, 0};
  // A signal ends the wait early; the caller looks at the clock and waits again.
  if (poll(&p, 1, static_cast<int>(milliseconds)) > 0 &&
      (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
    MarkGone();
  }
}

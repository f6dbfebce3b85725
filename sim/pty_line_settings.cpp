// Kept apart: the kernel's termios2 definitions clash with the C library's <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include "sim/pty_link.h"

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace sim {

namespace {
uint32_t StandardRate(unsigned code) {
  switch (code) {
    case B300:
      return 300;
    case B600:
      return 600;
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}
}  // namespace

bool ReadPtyLineSettings(int masterFd, LineSettings& settings) {
  struct termios2 tio {};
  if (ioctl(masterFd, TCGETS2, &tio) != 0)
    return false;
  const unsigned code = tio.c_cflag & CBAUD;
  settings.baud = code == BOTHER ? tio.c_ospeed : StandardRate(code);
  switch (tio.c_cflag & CSIZE) {
    case CS5:
      settings.dataBits = 5;
      break;
    case CS6:
      settings.dataBits = 6;
      break;
    case CS7:
      settings.dataBits = 7;
      break;
    default:
      settings.dataBits = 8;
  }
  if (!(tio.c_cflag & PARENB)) {
    settings.parity = Parity::kNone;
  } else if (tio.c_cflag & CMSPAR) {
    settings.parity = (tio.c_cflag & PARODD) ? Parity::kMark : Parity::kSpace;
  } else {
    settings.parity = (tio.c_cflag & PARODD) ? Parity::kOdd : Parity::kEven;
  }
  settings.stopBits = (tio.c_cflag & CSTOPB) ? StopBits::kTwo : StopBits::kOne;
  return true;
}

}  // namespace sim

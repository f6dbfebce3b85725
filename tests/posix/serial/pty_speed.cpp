// Reads the speed a pseudo-terminal's other side applied, including rates without a
// B constant. Kept apart: the kernel's termios2 clashes with the C library's <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

unsigned PtySpeed(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0)
    return 0;
  return tio.c_ospeed;
}

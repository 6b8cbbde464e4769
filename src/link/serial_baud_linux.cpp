#include "link/serial_baud_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace ln40 {

bool SetArbitraryBaudRate(int fd, int rate) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~CBAUD;
  settings.c_cflag |= BOTHER;
  settings.c_ispeed = static_cast<speed_t>(rate);
  settings.c_ospeed = static_cast<speed_t>(rate);
  return ioctl(fd, TCSETS2, &settings) == 0;
}

}  // namespace ln40

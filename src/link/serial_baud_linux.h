#pragma once
// Sets any baud rate on a serial device with the kernel's termios2 interface, for rates
// that have no B-constant (14400, 56000, 128000, 256000, custom). Kept apart because its
// kernel header clashes with <termios.h>.
namespace ln40 {

// False (errno set) when the device refuses the rate.
bool SetArbitraryBaudRate(int fd, int rate);

}  // namespace ln40

#pragma once
// The exact speed of a terminal line in bit/s, also for speeds without a
// Bxxx code (14400, 28800, ...). Kept in a file of its own because on Linux
// it needs the kernel's termios2 record, whose header clashes with
// <termios.h>.

namespace sim {

// 0 when the system cannot tell the speed as a number.
int ExactLineSpeed(int fd);

} // namespace sim

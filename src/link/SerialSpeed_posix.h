#pragma once
// Exact line speeds on an open terminal device, for speeds that have no
// standard Bxxx code (14400, 28800, 56000, ...). Kept apart from the termios
// back end because on Linux it needs the kernel's own termios2 record, whose
// header cannot be included together with <termios.h>.
#include <cstdint>

namespace serial_speed {

// Sets input and output speed of `fd` to exactly `baud` bit/s, leaving every
// other line setting as it is. False when the system or the driver refuses.
bool SetExact(int fd, std::uint32_t baud);

// The output and input speeds the driver reports for `fd`, in bit/s.
// False when the system cannot tell them as numbers.
bool Read(int fd, std::uint32_t& output_baud, std::uint32_t& input_baud);

} // namespace serial_speed

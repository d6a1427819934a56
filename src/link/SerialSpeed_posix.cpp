#include "SerialSpeed_posix.h"

#if defined(__linux__)
// The kernel's termios2 carries the speed as a number (BOTHER); glibc's
// <termios.h> only knows the Bxxx codes, so this file talks to the kernel
// directly and never includes <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace serial_speed {

bool SetExact(int fd, std::uint32_t baud)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    // Output speed as a number; the input speed field cleared so that it
    // follows the output speed.
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER;
    t.c_ospeed = baud;
    t.c_ispeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool Read(int fd, std::uint32_t& output_baud, std::uint32_t& input_baud)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    output_baud = t.c_ospeed;
    input_baud = t.c_ispeed;
    return true;
}

} // namespace serial_speed

#else
// BSD and macOS: speed_t is the speed in bit/s, so any number can be handed
// to the driver through the ordinary calls.
#include <termios.h>

namespace serial_speed {

bool SetExact(int fd, std::uint32_t baud)
{
    struct termios t {};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    if (cfsetispeed(&t, static_cast<speed_t>(baud)) != 0 || cfsetospeed(&t, static_cast<speed_t>(baud)) != 0) {
        return false;
    }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool Read(int fd, std::uint32_t& output_baud, std::uint32_t& input_baud)
{
    struct termios t {};
    if (tcgetattr(fd, &t) != 0) {
        return false;
    }
    output_baud = static_cast<std::uint32_t>(cfgetospeed(&t));
    input_baud = static_cast<std::uint32_t>(cfgetispeed(&t));
    return true;
}

} // namespace serial_speed
#endif

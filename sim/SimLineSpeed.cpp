#include "SimLineSpeed.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace sim {

int ExactLineSpeed(int fd)
{
#if defined(__linux__) && defined(TCGETS2)
    // On a pty master this reports the slave's settings: the program's.
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return static_cast<int>(t.c_ospeed);
#else
    (void)fd;
    return 0;
#endif
}

} // namespace sim

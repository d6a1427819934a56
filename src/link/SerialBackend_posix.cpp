// Serial port on POSIX systems through termios.
//
// "COM n" is the link <config>/OrbKX52/COMn when it exists (made by the user
// or by the simulated instrument, pointing at /dev/ttyUSB0, a pty, ...),
// otherwise /dev/ttyS<n-1>.
//
// The port is opened non-blocking and every read is a poll() loop that ends
// like a Windows COM read: the wanted number of bytes, a silence longer than
// the interval time-out after a received byte, or the total time-out.
//
// Abort on error: parity and framing errors are marked in the input stream
// (PARMRK) and, where the driver counts them, also seen in its error counters
// (TIOCGICOUNT, which also counts overruns). The first one latches the
// opening as failed; every later read and write fails until the port is
// closed. A device that goes away (a pulled USB adapter, a pty whose other
// side closed) latches the same way, so callers get one failure per call and
// no call spins.
#include "SerialBackend.h"

#include "ComLinkPath.h"
#include "LineMarks_posix.h"
#include "SerialSpeed_posix.h"
#include "SpeedCodes_posix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/sysmacros.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

#ifndef CMSPAR
#define CMSPAR 0
#endif

// Bits of the request that a device without parity (a pseudo-terminal)
// silently drops. Losing only these is accepted, so virtual ports work.
constexpr tcflag_t kParityCflags = PARENB | PARODD | CMSPAR;

// Character-size, stop-bit and receiver bits whose loss means the line
// format was refused.
constexpr tcflag_t kFormatCflags = CSIZE | CSTOPB | CREAD | CLOCAL;

class PosixSerialBackend final : public SerialBackend {
public:
    ~PosixSerialBackend() override { Close(); }

    bool Open(const std::string& device_path) override
    {
        Close();
        if (device_path.empty()) {
            return false;
        }
        // O_NONBLOCK also keeps the open from waiting for a carrier.
        const int fd = ::open(device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        // Another program (or another opening of ours) holding the port.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        // Keeps other non-root programs out while we hold the port; root
        // openers are not stopped by it, the flock above covers cooperating ones.
        if (::isatty(fd)) {
            (void)::ioctl(fd, TIOCEXCL);
        }
        fd_ = fd;
        pseudo_terminal_ = IsPseudoTerminal(fd);
        failed_ = false;
        marks_.Reset();
        TakeErrorCountBaseline();
        return true;
    }

    bool IsOpen() const override { return fd_ >= 0; }

    void Close() override
    {
        if (fd_ < 0) {
            return;
        }
        // On a pty the exclusive flag outlives the close and would make the
        // next opening fail with EBUSY for a non-root user.
        if (::isatty(fd_)) {
            (void)::ioctl(fd_, TIOCNXCL);
        }
        ::close(fd_);
        fd_ = -1;
        failed_ = false;
        marks_.Reset();
        counters_ok_ = false;
    }

    bool SetQueues(std::uint32_t, std::uint32_t) override
    {
        // The terminal layer sizes its own buffers; the call only refuses a
        // device that is no serial line at all.
        return fd_ >= 0 && ::isatty(fd_) == 1;
    }

    bool SetTimeouts(std::uint32_t interval_ms, std::uint32_t per_byte_ms, std::uint32_t constant_ms) override
    {
        if (fd_ < 0) {
            return false;
        }
        interval_ms_ = interval_ms;
        per_byte_ms_ = per_byte_ms;
        constant_ms_ = constant_ms;
        return true;
    }

    bool ReadLineState() override
    {
        if (fd_ < 0) {
            return false;
        }
        termios current{};
        if (::tcgetattr(fd_, &current) != 0) {
            return false;
        }
        state_ = current;
        have_state_ = true;
        return true;
    }

    void SetLineFormat(std::uint32_t baud_rate) override
    {
        speed_ = baud_rate;
        // Binary mode: no line editing, echo, signals or output processing.
        state_.c_iflag &= ~static_cast<tcflag_t>(ISTRIP | INLCR | IGNCR | ICRNL | IMAXBEL);
#ifdef IUCLC
        state_.c_iflag &= ~static_cast<tcflag_t>(IUCLC);
#endif
        // Software flow control off in both directions: frames are binary
        // and carry 0x11 and 0x13, which XON/XOFF handling would swallow
        // (and a received 0x13 would stop our output for good). The
        // hardware handshake stays as the driver reported it.
        state_.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        state_.c_iflag |= INPCK;
        state_.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        state_.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN);
        // 8 data bits, even parity, one stop bit, receiver on, no modem
        // control lines needed.
        state_.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARODD | CMSPAR);
        state_.c_cflag |= static_cast<tcflag_t>(CS8 | PARENB | CREAD | CLOCAL);
        // Reads never wait in the driver; the poll() loop keeps the time.
        state_.c_cc[VMIN] = 0;
        state_.c_cc[VTIME] = 0;
    }

    void SetSpeed(std::uint32_t baud_rate) override
    {
        speed_ = baud_rate;
    }

    bool ApplyLineState() override
    {
        if (fd_ < 0 || !have_state_) {
            return false;
        }
        // Speed 0 tells a terminal to hang up, and anything beyond INT_MAX
        // is a negative speed wrapped round; neither is a line speed.
        if (speed_ == 0 || speed_ > static_cast<std::uint32_t>(INT_MAX)) {
            return false;
        }
        // Abort on error: line errors are marked in the input (\377 \0 c)
        // instead of being dropped or passed as data, and a break counts as
        // one; a data byte \377 then arrives doubled.
        state_.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | IGNBRK | BRKINT);
        state_.c_iflag |= PARMRK;

        termios wanted = state_;
        speed_t code = 0;
        const bool standard = StandardSpeedCode(speed_, code);
        if (standard) {
            ::cfsetispeed(&wanted, code);
            ::cfsetospeed(&wanted, code);
        }
        if (::tcsetattr(fd_, TCSANOW, &wanted) != 0) {
            // EINVAL: Linux reports a request of which nothing could be
            // applied; a pty that already dropped the parity says so for a
            // repeated even-parity request. The read-back below decides.
            if (errno != EINVAL) {
                return false;
            }
        }
        if (!standard) {
            (void)serial_speed::SetExact(fd_, speed_);
        }
        if (!LineStateTaken(wanted)) {
            return false;
        }
        marks_.Reset();
        TakeErrorCountBaseline();
        return true;
    }

    void PurgeRx() override
    {
        if (fd_ < 0) {
            return;
        }
        ::tcflush(fd_, TCIFLUSH);
        marks_.Reset();
    }

    void PurgeTx() override
    {
        // Every write has drained before it returned, so a serial line has
        // nothing left to discard. A pseudo-terminal has no line: its output
        // queue is the other side's input that the kernel has not passed on
        // yet, and discarding it could lose the end of a frame already written.
        if (fd_ < 0 || pseudo_terminal_) {
            return;
        }
        ::tcflush(fd_, TCOFLUSH);
    }

    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        received = 0;
        if (fd_ < 0 || failed_ || (buffer == nullptr && wanted > 0)) {
            return false;
        }
        if (LineErrorCounted()) {
            return Fail();
        }
        if (wanted == 0) {
            return true;
        }
        const auto total_deadline =
            Clock::now() + std::chrono::milliseconds(static_cast<std::uint64_t>(per_byte_ms_) * wanted + constant_ms_);
        auto deadline = total_deadline;
        while (received < wanted) {
            const auto now = Clock::now();
            if (now >= deadline) {
                break;
            }
            // Rounded up, so a fraction of a millisecond left never turns
            // into a zero time-out that returns at once.
            const auto left_us = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now).count();
            const int timeout_ms = static_cast<int>(std::min<long long>((left_us + 999) / 1000, INT_MAX));
            pollfd pfd{fd_, POLLIN, 0};
            const int ready = ::poll(&pfd, 1, timeout_ms);
            if (ready < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return Fail();
            }
            if (ready == 0) {
                continue; // the deadline check above ends the read
            }
            if ((pfd.revents & POLLIN) == 0) {
                // POLLHUP, POLLERR, POLLNVAL with nothing left to read: the
                // device is gone.
                return Fail();
            }
            std::uint8_t raw[256];
            const std::size_t room = std::min(wanted - received, sizeof raw);
            const ssize_t got = ::read(fd_, raw, room);
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                    continue;
                }
                return Fail(); // EIO, ENXIO: adapter pulled, pty closed
            }
            if (got == 0) {
                return Fail(); // end of file after poll() saw input: hung up
            }
            if (!marks_.Decode(raw, static_cast<std::size_t>(got), buffer, received)) {
                return Fail();
            }
            const auto last_byte = Clock::now();
            deadline = std::min(total_deadline, last_byte + std::chrono::milliseconds(interval_ms_));
        }
        if (LineErrorCounted()) {
            return Fail();
        }
        return true;
    }

    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        written = 0;
        if (fd_ < 0 || failed_ || (buffer == nullptr && count > 0)) {
            return false;
        }
        if (LineErrorCounted()) {
            return Fail();
        }
        while (written < count) {
            const ssize_t put = ::write(fd_, buffer + written, count - written);
            if (put > 0) {
                written += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                // The output queue is full: wait for room. There is no write
                // time-out; a device that goes away ends the wait.
                pollfd pfd{fd_, POLLOUT, 0};
                const int ready = ::poll(&pfd, 1, -1);
                if (ready < 0 && errno != EINTR) {
                    return Fail();
                }
                if (ready > 0 && (pfd.revents & POLLOUT) == 0) {
                    return Fail();
                }
                continue;
            }
            return Fail();
        }
        // The write is done when the bytes are on the line, so that the
        // answer's time-out starts after the request has left.
        while (::tcdrain(fd_) != 0) {
            if (errno != EINTR) {
                return Fail();
            }
        }
        return true;
    }

private:
    static bool IsPseudoTerminal(int fd)
    {
#if defined(__linux__)
        // The slave ends of Unix 98 pseudo-terminals have majors 136..143.
        struct stat info {};
        return ::fstat(fd, &info) == 0 && S_ISCHR(info.st_mode) && major(info.st_rdev) >= 136 &&
               major(info.st_rdev) <= 143;
#else
        (void)fd;
        return false;
#endif
    }

    bool Fail()
    {
        failed_ = true;
        return false;
    }

    // Whether the device took the requested line state: everything as asked,
    // except that a device without parity may have dropped the parity bits.
    bool LineStateTaken(const termios& wanted) const
    {
        termios now{};
        if (::tcgetattr(fd_, &now) != 0) {
            return false;
        }
        if ((now.c_cflag & kFormatCflags) != (wanted.c_cflag & kFormatCflags)) {
            return false;
        }
        const tcflag_t parity_now = now.c_cflag & kParityCflags;
        if (parity_now != (wanted.c_cflag & kParityCflags) && parity_now != 0) {
            return false; // a parity other than the one asked for
        }
        const tcflag_t iflags = INPCK | PARMRK | IGNPAR | ISTRIP | IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR;
        if ((now.c_iflag & iflags) != (wanted.c_iflag & iflags)) {
            return false;
        }
        const tcflag_t lflags = ICANON | ECHO | ISIG | IEXTEN;
        if ((now.c_lflag & lflags) != (wanted.c_lflag & lflags) || (now.c_oflag & OPOST) != (wanted.c_oflag & OPOST)) {
            return false;
        }
        if (now.c_cc[VMIN] != wanted.c_cc[VMIN] || now.c_cc[VTIME] != wanted.c_cc[VTIME]) {
            return false;
        }
        std::uint32_t out_baud = 0;
        std::uint32_t in_baud = 0;
        if (serial_speed::Read(fd_, out_baud, in_baud)) {
            return SpeedClose(out_baud, speed_) && (in_baud == 0 || SpeedClose(in_baud, speed_));
        }
        speed_t code = 0;
        return StandardSpeedCode(speed_, code) && ::cfgetospeed(&now) == code;
    }

#if defined(__linux__) && defined(TIOCGICOUNT)
    static bool ReadErrorCount(int fd, std::uint64_t& count)
    {
        serial_icounter_struct counters{};
        if (::ioctl(fd, TIOCGICOUNT, &counters) != 0) {
            return false;
        }
        count = static_cast<std::uint64_t>(counters.frame) + static_cast<std::uint64_t>(counters.parity) +
                static_cast<std::uint64_t>(counters.overrun) + static_cast<std::uint64_t>(counters.buf_overrun) +
                static_cast<std::uint64_t>(counters.brk);
        return true;
    }
#else
    static bool ReadErrorCount(int, std::uint64_t&)
    {
        return false;
    }
#endif

    // Real UARTs and most USB adapters count line errors, overruns
    // included; pseudo-terminals do not, and then only the marks count.
    void TakeErrorCountBaseline()
    {
        counters_ok_ = fd_ >= 0 && ReadErrorCount(fd_, error_count_);
    }

    bool LineErrorCounted()
    {
        if (!counters_ok_) {
            return false;
        }
        std::uint64_t count = 0;
        if (!ReadErrorCount(fd_, count)) {
            return false;
        }
        return count != error_count_;
    }

    int fd_ = -1;
    bool pseudo_terminal_ = false;
    termios state_{};
    bool have_state_ = false;
    std::uint32_t speed_ = 9600;
    std::uint32_t interval_ms_ = 100;
    std::uint32_t per_byte_ms_ = 2;
    std::uint32_t constant_ms_ = 500;
    bool failed_ = false;   // line error or lost device: latched until Close
    LineMarkDecoder marks_; // undoes the error marking of the input
    bool counters_ok_ = false;
    std::uint64_t error_count_ = 0;
};

} // namespace

std::unique_ptr<SerialBackend> MakeSerialBackend()
{
    return std::make_unique<PosixSerialBackend>();
}

std::string DevicePathForCom(int n)
{
    // COM0 ("no port") stands for no device at all.
    if (n <= 0) {
        return std::string();
    }
    const std::string link = ComLinkPath(n);
    // lstat: a link whose adapter is unplugged still names this port, so the
    // opening fails instead of falling back to some other device.
    struct stat info {};
    if (::lstat(link.c_str(), &info) == 0) {
        return link;
    }
    return "/dev/ttyS" + std::to_string(n - 1);
}

// Serial port on Windows through the communication functions of the system,
// used blocking and non-overlapped. "COM n" is the device \\.\COMn, which
// also reaches COM10 and above.
//
// Abort on error is on: after a line error (parity, framing, overrun) every
// later read and write of the opening fails. Nothing clears that state; it
// ends when the port is closed.
#include "SerialBackend.h"

#include "ConfigDir.h"

#include <windows.h>

#include <limits>

namespace {

class WinSerialBackend final : public SerialBackend {
public:
    ~WinSerialBackend() override { Close(); }

    bool Open(const std::string& device_path) override
    {
        Close();
        if (device_path.empty()) {
            return false;
        }
        // Read and write, no sharing (a port held by another program is
        // refused), only if it exists, plain blocking input and output.
        handle_ =
            ::CreateFileA(device_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }

    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    void Close() override
    {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return;
        }
        ::CloseHandle(handle_);
        // Cleared, so that a second closing cannot close a handle that the
        // system has since given to something else.
        handle_ = INVALID_HANDLE_VALUE;
    }

    bool SetQueues(std::uint32_t input_size, std::uint32_t output_size) override
    {
        return IsOpen() && ::SetupComm(handle_, input_size, output_size) != FALSE;
    }

    bool SetTimeouts(std::uint32_t interval_ms, std::uint32_t per_byte_ms, std::uint32_t constant_ms) override
    {
        if (!IsOpen()) {
            return false;
        }
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = interval_ms;
        timeouts.ReadTotalTimeoutMultiplier = per_byte_ms;
        timeouts.ReadTotalTimeoutConstant = constant_ms;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 0;
        return ::SetCommTimeouts(handle_, &timeouts) != FALSE;
    }

    bool ReadLineState() override
    {
        if (!IsOpen()) {
            return false;
        }
        DCB current{};
        current.DCBlength = sizeof(DCB);
        if (::GetCommState(handle_, &current) == FALSE) {
            return false;
        }
        dcb_ = current;
        have_state_ = true;
        return true;
    }

    void SetLineFormat(std::uint32_t baud_rate) override
    {
        dcb_.DCBlength = sizeof(DCB);
        dcb_.BaudRate = baud_rate;
        dcb_.ByteSize = 8;
        dcb_.Parity = EVENPARITY;
        dcb_.StopBits = ONESTOPBIT;
        dcb_.fBinary = TRUE;
        dcb_.fParity = TRUE;
        // Software flow control off in both directions: frames are binary
        // and carry 0x11 and 0x13, which XON/XOFF handling would swallow,
        // and a received 0x13 would hold our output for good. The hardware
        // handshake stays as the driver reported it.
        dcb_.fOutX = FALSE;
        dcb_.fInX = FALSE;
        dcb_.fTXContinueOnXoff = TRUE;
    }

    void SetSpeed(std::uint32_t baud_rate) override { dcb_.BaudRate = baud_rate; }

    bool ApplyLineState() override
    {
        if (!IsOpen() || !have_state_ || dcb_.BaudRate == 0) {
            return false;
        }
        dcb_.fAbortOnError = TRUE;
        return ::SetCommState(handle_, &dcb_) != FALSE;
    }

    void PurgeRx() override
    {
        if (IsOpen()) {
            ::PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
        }
    }

    void PurgeTx() override
    {
        if (IsOpen()) {
            ::PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR);
        }
    }

    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        received = 0;
        if (!IsOpen() || (buffer == nullptr && wanted > 0) || wanted > std::numeric_limits<DWORD>::max()) {
            return false;
        }
        DWORD got = 0;
        const BOOL ok = ::ReadFile(handle_, buffer, static_cast<DWORD>(wanted), &got, nullptr);
        received = got;
        return ok != FALSE;
    }

    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        written = 0;
        if (!IsOpen() || (buffer == nullptr && count > 0) || count > std::numeric_limits<DWORD>::max()) {
            return false;
        }
        DWORD put = 0;
        const BOOL ok = ::WriteFile(handle_, buffer, static_cast<DWORD>(count), &put, nullptr);
        written = put;
        return ok != FALSE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    bool have_state_ = false;
};

} // namespace

std::unique_ptr<SerialBackend> MakeSerialBackend()
{
    return std::make_unique<WinSerialBackend>();
}

std::string DevicePathForCom(int n)
{
    // COM0 ("no port") never exists.
    return "\\\\.\\COM" + std::to_string(n);
}

#pragma once
// Operating-system side of the serial port: open a named port exclusively,
// queue sizes, read time-outs, the line-settings record, purge, blocking read
// and write, close. One implementation per platform (termios on POSIX, the
// Win32 communication functions on Windows), chosen by MakeSerialBackend.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class SerialBackend {
public:
    virtual ~SerialBackend() = default;

    // Opens the device for reading and writing, exclusively, only if it
    // exists. False when it cannot be opened (missing, held by another program).
    virtual bool Open(const std::string& device_path) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;

    // Driver queue sizes (advisory where the system has none).
    virtual bool SetQueues(std::uint32_t input_size, std::uint32_t output_size) = 0;
    // Read time-outs: at most `interval_ms` between two received bytes, and
    // `per_byte_ms` * wanted + `constant_ms` for the whole read. No write time-out.
    virtual bool SetTimeouts(std::uint32_t interval_ms, std::uint32_t per_byte_ms, std::uint32_t constant_ms) = 0;

    // Reads the port's current line-settings record into the kept line state.
    virtual bool ReadLineState() = 0;
    // Puts speed, 8 data bits, even parity with parity checking, one stop bit
    // and binary mode into the kept line state (applied by ApplyLineState).
    virtual void SetLineFormat(std::uint32_t baud_rate) = 0;
    // Changes only the speed in the kept line state.
    virtual void SetSpeed(std::uint32_t baud_rate) = 0;
    // Turns abort-on-error on and applies the whole kept line state.
    virtual bool ApplyLineState() = 0;

    virtual void PurgeRx() = 0;
    virtual void PurgeTx() = 0;
    // One blocking read of at most `wanted` bytes ended by the time-outs.
    virtual bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) = 0;
    virtual bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) = 0;
};

std::unique_ptr<SerialBackend> MakeSerialBackend();

// Device that "COM n" stands for on this system.
std::string DevicePathForCom(int n);

#pragma once
// The four port operations the link protocol uses. The program's port
// (ComPort) implements them over the real serial line; tests implement them
// in memory.
#include <cstdint>

class LinkPort {
public:
    virtual ~LinkPort() = default;
    // One blocking read of at most `wanted` bytes, ended by the read time-outs.
    // Returns 1 when the read call succeeded (also with fewer or no bytes),
    // 0 when it failed; `received` tells how many bytes arrived.
    virtual std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) = 0;
    // Discards pending input and output, then writes all bytes in one call.
    // Returns 1 when the write call succeeded, 0 when it failed.
    virtual std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) = 0;
    virtual void PurgeRx() = 0;
    virtual void PurgeTx() = 0;
};

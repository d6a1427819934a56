#pragma once
// The text lines between a line peer under wine and kx52-line-peer on the
// Linux side: one command a line, one answer a line, bytes as hex pairs.
//
//   (peer greets)  com N          the COM number of this connection's line
//   line                  ok      a fresh line with the test on the far side
//   spoil                 ok      software flow control and line editing on
//   write HEX             ok
//   spaced GAP HEX        ok      bytes GAP ms apart, in the background
//   stop                  ok
//   read QUIET            HEX     (may be empty)
//   sim ADDRESS           ok      the simulated instrument on a fresh line
//   inject NAME COUNT PARAM  ok
//   reads T / writes T    N
//   requests              HEX HEX ...
// A failure is answered "error TEXT".
#include "line_peer.h"

#include <string>

inline std::string ToHex(const Bytes& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

inline Bytes FromHex(const std::string& text)
{
    const auto nibble = [](char c) { return static_cast<std::uint8_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10); };
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(nibble(text[i]) << 4 | nibble(text[i + 1])));
    return bytes;
}

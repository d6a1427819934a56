#pragma once
// Wire trace for the field: a serial back end that passes every call on to
// the real one and appends what went over the line to a text file, one line
// per frame sent or read, in the simulated instrument's log format:
//
//   2026-12-07 09:05:01.004 -- open /home/op/.config/OrbKX52/COM1
//   2026-12-07 09:05:01.005 -- 9600 bit/s, 8 data bits, even parity, 1 stop bit
//   2026-12-07 09:05:01.005 TX 68 05 05 68 00 00 6C 01 00 6D 16
//   2026-12-07 09:05:01.031 RX 68 0B 0B 68 00 00 08 ...
//   2026-12-07 09:05:01.032 -- close
//
// TX is what the program sent, RX what it read; "--" lines are notes. A read
// that got fewer bytes than it wanted says so after the bytes ("(3 of 17
// bytes)"), or alone when nothing came. Each request frame begins a group of
// lines, and groups are parted by an empty line. The time stamps are the
// wall-clock time at which the trace began plus the time elapsed on the
// monotonic clock, so they never step backwards and still line up with the
// simulator's log.
#include "SerialBackend.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

// The file side of the trace: stamps, directions, hex, groups.
class WireTraceLog {
public:
    // Takes ownership of `file` (opened for appending) and writes `first_note`
    // as the first line of this run.
    WireTraceLog(std::FILE* file, const std::string& first_note);
    ~WireTraceLog();
    WireTraceLog(const WireTraceLog&) = delete;
    WireTraceLog& operator=(const WireTraceLog&) = delete;

    void Sent(const std::uint8_t* bytes, std::size_t count, std::size_t written, bool ok);
    void Received(const std::uint8_t* bytes, std::size_t wanted, std::size_t received, bool ok);
    void Note(const std::string& text);
    // Ends the current group with an empty line.
    void EndGroup();

private:
    std::string Stamp() const;
    void Line(const char* tag, const std::string& text);

    std::FILE* file_;
    std::chrono::system_clock::time_point wall_start_;
    std::chrono::steady_clock::time_point steady_start_;
    bool in_exchange_ = false;
};

// Space-separated upper-case hex ("68 05 05 68").
std::string TraceHex(const std::uint8_t* bytes, std::size_t count);

// Gives `backend` wrapped in a trace appended to `trace_path`, whose first line
// is `first_note`. An empty path gives `backend` unchanged. When the file
// cannot be opened, `error` tells why and `backend` comes back unchanged.
std::unique_ptr<SerialBackend> WithWireTrace(std::unique_ptr<SerialBackend> backend, const std::string& trace_path,
                                             const std::string& first_note, std::string& error);

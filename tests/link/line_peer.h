#pragma once
// The far end of a serial line for the port tests: a pseudo-terminal that the
// port under test opens as "COM n", with either the test itself or the
// simulated instrument on the other side.
//
// On Linux the pty lives in the test process. Under wine the port is wine's
// COM n, which must be a Linux device, so a peer program on the Linux side
// (kx52-line-peer, reached at KX52_LINE_PEER=host:port) serves the pty and
// this interface speaks to it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

class LinePeer {
public:
    virtual ~LinePeer() = default;

    // The COM number that reaches this peer's line.
    virtual int Com() const = 0;

    // A fresh line with the test on the far side. False with `error` set.
    virtual bool OpenLine(std::string& error) = 0;
    // As if another program had left the line with software flow control and
    // line editing on.
    virtual void SpoilLineSettings() = 0;
    virtual void Write(const Bytes& bytes) = 0;
    // Sends the bytes one at a time, `gap_ms` apart, in the background;
    // returns at once. StopWriting (or the end of the peer) cuts it short.
    virtual void WriteSpaced(const Bytes& bytes, int gap_ms) = 0;
    virtual void StopWriting() = 0;
    // What the port sent, collected until `quiet_ms` pass without a byte.
    virtual Bytes ReadAll(int quiet_ms) = 0;

    // The simulated instrument at `address` on a fresh line, measuring 12 mA,
    // in place of the test. False with `error` set.
    virtual bool StartSimulator(std::uint8_t address, std::string& error) = 0;
    // A fault by the simulator's name for it ("no-answer", ...) for `count`
    // answers (-1: all), with its parameter (-1: its default).
    virtual bool Inject(const std::string& fault, int count, int param) = 0;
    // Requests the simulator received: table reads and writes, and all of
    // them byte for byte.
    virtual std::size_t ReadsOf(int table) = 0;
    virtual std::size_t WritesOf(int table) = 0;
    virtual std::vector<Bytes> Requests() = 0;
};

// The peer of this platform: in-process on Linux, the Linux-side peer under
// wine. Null with `error` set when there is none.
std::unique_ptr<LinePeer> MakeLinePeer(std::string& error);

// The in-process peer on Linux for line `com` below `config_dir`, as the
// Linux-side peer program uses it; MakeLinePeer gives one of its own folder.
// With `reassert_line_ms` > 0 its ptys set their line settings again that
// often, so that wine can open the line more than once (SimPty).
std::unique_ptr<LinePeer> MakeLocalLinePeer(int com, const std::string& config_dir, int reassert_line_ms = 0);

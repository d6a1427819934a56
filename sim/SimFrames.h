#pragma once
// Frames as the simulated instrument sees them on its line: the long frame
// (0x68 LE LE 0x68 DA SA FC data FCS 0x16) and the short frame
// (0x10 DA SA FC FCS 0x16), with the check sum as the byte sum of the address,
// function and data bytes. Written independently of the program's link code,
// so that each side checks the other.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kStartShort = 0x10;
inline constexpr std::uint8_t kStartLong = 0x68;
inline constexpr std::uint8_t kEnd = 0x16;
inline constexpr std::uint8_t kBroadcast = 127;
// The longest long frame: LE at most 249 keeps a frame within 255 bytes.
inline constexpr std::size_t kMaxLe = 249;
inline constexpr std::size_t kMaxFrame = kMaxLe + 6;

std::uint8_t FrameSum(std::span<const std::uint8_t> bytes);

Bytes MakeLongFrame(std::uint8_t da, std::uint8_t sa, std::uint8_t fc, std::span<const std::uint8_t> data);
Bytes MakeShortFrame(std::uint8_t da, std::uint8_t sa, std::uint8_t fc);

// Recomputes the check sum of a complete frame after one of its bytes was
// changed (used to alter answers for fault injection).
void RefreshSum(Bytes& frame);

struct Frame {
    bool is_long = false;
    std::uint8_t da = 0;
    std::uint8_t sa = 0;
    std::uint8_t fc = 0;
    Bytes data; // long frames only: the bytes between FC and FCS
    Bytes raw;  // the whole frame as received
};

enum class ScanResult { Valid, Incomplete, Invalid };

// Looks at the bytes from `p` on: a complete valid frame (its length in
// `length`), the beginning of one that may still become valid, or bytes that
// can never start a valid frame.
ScanResult ScanFrame(const std::uint8_t* p, std::size_t n, std::size_t& length);

// Splits the received byte stream into frames. Bytes that cannot belong to a
// valid frame are discarded (and reported), so the parser finds the next
// request after garbage. A partial frame that stays unfinished while the line
// is idle for longer than `idle_gap` seconds is discarded when the next bytes
// arrive.
class FrameParser {
public:
    struct Event {
        bool is_frame = false;
        Frame frame;     // when is_frame
        Bytes discarded; // otherwise
    };

    explicit FrameParser(double idle_gap = 0.05) : idle_gap_(idle_gap) {}

    std::vector<Event> Feed(std::span<const std::uint8_t> bytes, double now);
    std::size_t Pending() const { return buffer_.size(); }
    void Clear() { buffer_.clear(); }

private:
    void DiscardFront(std::size_t count, std::vector<Event>& events);

    Bytes buffer_;
    double last_rx_ = 0.0;
    double idle_gap_;
};

} // namespace sim

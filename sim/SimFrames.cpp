#include "SimFrames.h"

#include <algorithm>

namespace sim {

std::uint8_t FrameSum(std::span<const std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (const std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

Bytes MakeLongFrame(std::uint8_t da, std::uint8_t sa, std::uint8_t fc, std::span<const std::uint8_t> data)
{
    const std::size_t n = std::min(data.size(), kMaxLe - 3);
    const auto le = static_cast<std::uint8_t>(n + 3);
    Bytes f;
    f.reserve(n + 9);
    f.insert(f.end(), {kStartLong, le, le, kStartLong, da, sa, fc});
    f.insert(f.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
    f.push_back(FrameSum(std::span(f).subspan(4)));
    f.push_back(kEnd);
    return f;
}

Bytes MakeShortFrame(std::uint8_t da, std::uint8_t sa, std::uint8_t fc)
{
    const std::uint8_t addr_fc[3] = {da, sa, fc};
    return {kStartShort, da, sa, fc, FrameSum(addr_fc), kEnd};
}

void RefreshSum(Bytes& frame)
{
    if (frame.size() == 6 && frame[0] == kStartShort) {
        frame[4] = FrameSum(std::span(frame).subspan(1, 3));
    } else if (frame.size() >= 9 && frame[0] == kStartLong) {
        const std::size_t le = frame[1];
        if (frame.size() == le + 6)
            frame[4 + le] = FrameSum(std::span(frame).subspan(4, le));
    }
}

ScanResult ScanFrame(const std::uint8_t* p, std::size_t n, std::size_t& length)
{
    length = 0;
    if (n == 0)
        return ScanResult::Incomplete;
    if (p[0] == kStartShort) {
        if (n < 6)
            return ScanResult::Incomplete;
        const unsigned sum = static_cast<unsigned>(p[1]) + p[2] + p[3];
        if (p[5] != kEnd || p[4] != static_cast<std::uint8_t>(sum & 0xFFu))
            return ScanResult::Invalid;
        length = 6;
        return ScanResult::Valid;
    }
    if (p[0] != kStartLong)
        return ScanResult::Invalid;
    if (n >= 2 && (p[1] < 3 || p[1] > kMaxLe))
        return ScanResult::Invalid;
    if (n >= 3 && p[2] != p[1])
        return ScanResult::Invalid;
    if (n >= 4 && p[3] != kStartLong)
        return ScanResult::Invalid;
    if (n < 4)
        return ScanResult::Incomplete;
    const std::size_t le = p[1];
    const std::size_t total = le + 6;
    if (n < total)
        return ScanResult::Incomplete;
    if (p[total - 1] != kEnd || p[4 + le] != FrameSum(std::span(p + 4, le)))
        return ScanResult::Invalid;
    length = total;
    return ScanResult::Valid;
}

void FrameParser::DiscardFront(std::size_t count, std::vector<Event>& events)
{
    if (count == 0)
        return;
    Event e;
    e.discarded.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    events.push_back(std::move(e));
}

std::vector<FrameParser::Event> FrameParser::Feed(std::span<const std::uint8_t> bytes, double now)
{
    std::vector<Event> events;
    if (bytes.empty())
        return events;
    // A frame is sent without pauses: what was left unfinished before a
    // silence can only be the rest of a broken transmission.
    if (!buffer_.empty() && now - last_rx_ > idle_gap_)
        DiscardFront(buffer_.size(), events);
    last_rx_ = now;
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());

    for (;;) {
        // The earliest complete valid frame wins; whatever precedes it is
        // garbage. Without one, bytes that can never start a valid frame are
        // dropped and the rest waits for more input.
        std::size_t first_incomplete = buffer_.size();
        bool found = false;
        for (std::size_t i = 0; i < buffer_.size(); ++i) {
            std::size_t length = 0;
            const ScanResult r = ScanFrame(buffer_.data() + i, buffer_.size() - i, length);
            if (r == ScanResult::Valid) {
                DiscardFront(i, events);
                Event e;
                e.is_frame = true;
                Frame& f = e.frame;
                f.raw.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
                f.is_long = f.raw[0] == kStartLong;
                if (f.is_long) {
                    f.da = f.raw[4];
                    f.sa = f.raw[5];
                    f.fc = f.raw[6];
                    f.data.assign(f.raw.begin() + 7, f.raw.end() - 2);
                } else {
                    f.da = f.raw[1];
                    f.sa = f.raw[2];
                    f.fc = f.raw[3];
                }
                buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
                events.push_back(std::move(e));
                found = true;
                break;
            }
            if (r == ScanResult::Incomplete && first_incomplete == buffer_.size())
                first_incomplete = i;
        }
        if (!found) {
            DiscardFront(first_incomplete, events);
            return events;
        }
    }
}

} // namespace sim

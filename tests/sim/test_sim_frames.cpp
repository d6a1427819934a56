// The simulator's own frame code: building, checking and finding frames in
// a byte stream, checked against hand-written byte arrays.
#include "SimFrames.h"

#include <gtest/gtest.h>

using sim::Bytes;
using sim::FrameParser;
using sim::ScanResult;

namespace {

// Every frame the parser delivers, and everything it threw away, in order.
struct Fed {
    std::vector<Bytes> frames;
    std::vector<Bytes> discarded;
};

Fed Feed(FrameParser& p, const Bytes& bytes, double now)
{
    Fed out;
    for (auto& e : p.Feed(bytes, now)) {
        if (e.is_frame)
            out.frames.push_back(e.frame.raw);
        else
            out.discarded.push_back(e.discarded);
    }
    return out;
}

const Bytes kReadTable0 = {0x68, 0x05, 0x05, 0x68, 0x05, 0x00, 0x6C, 0x01, 0x00, 0x72, 0x16};
const Bytes kZeroSum = {0x68, 0x06, 0x06, 0x68, 0x01, 0x00, 0x63, 0x02, 0x04, 0x5A, 0xC4, 0x16};
const Bytes kProbe = {0x10, 0x03, 0x00, 0x69, 0x6C, 0x16};

} // namespace

TEST(SimFrames, BuildsFramesByteForByte)
{
    const std::uint8_t read0[] = {0x01, 0x00};
    EXPECT_EQ(sim::MakeLongFrame(5, 0, 0x6C, read0), kReadTable0);
    const std::uint8_t zero[] = {0x02, 0x04, 0x5A};
    EXPECT_EQ(sim::MakeLongFrame(1, 0, 0x63, zero), kZeroSum);
    EXPECT_EQ(sim::MakeShortFrame(3, 0, 0x69), kProbe);
    EXPECT_EQ(sim::MakeShortFrame(0, 3, 0x00), (Bytes{0x10, 0x00, 0x03, 0x00, 0x03, 0x16}));
    // A table 0 answer: 12.5 and 100.0, sum wrapping past 255.
    const std::uint8_t data[] = {0x00, 0x00, 0x48, 0x41, 0x00, 0x00, 0xC8, 0x42};
    EXPECT_EQ(sim::MakeLongFrame(0, 1, 0x08, data), (Bytes{0x68, 0x0B, 0x0B, 0x68, 0x00, 0x01, 0x08, 0x00, 0x00, 0x48,
                                                           0x41, 0x00, 0x00, 0xC8, 0x42, 0x9C, 0x16}));
}

TEST(SimFrames, RefreshSumFollowsAChangedByte)
{
    Bytes f = kReadTable0;
    f[5] = 0x07;
    sim::RefreshSum(f);
    EXPECT_EQ(f[9], 0x79);
    Bytes s = kProbe;
    s[3] = 0x00;
    sim::RefreshSum(s);
    EXPECT_EQ(s[4], 0x03);
}

TEST(SimFrames, ScanTellsValidIncompleteAndInvalid)
{
    std::size_t len = 0;
    EXPECT_EQ(sim::ScanFrame(kReadTable0.data(), kReadTable0.size(), len), ScanResult::Valid);
    EXPECT_EQ(len, 11u);
    EXPECT_EQ(sim::ScanFrame(kProbe.data(), kProbe.size(), len), ScanResult::Valid);
    EXPECT_EQ(len, 6u);
    // Every proper prefix may still become the frame.
    for (std::size_t n = 1; n < kReadTable0.size(); ++n)
        EXPECT_EQ(sim::ScanFrame(kReadTable0.data(), n, len), ScanResult::Incomplete) << n;

    auto invalid = [](Bytes f) {
        std::size_t l = 0;
        return sim::ScanFrame(f.data(), f.size(), l) == ScanResult::Invalid;
    };
    Bytes f = kReadTable0;
    f[9] ^= 1; // check sum
    EXPECT_TRUE(invalid(f));
    f = kReadTable0;
    f[10] = 0x17; // end delimiter
    EXPECT_TRUE(invalid(f));
    f = kReadTable0;
    f[2] = 0x06; // LE repeated differently
    EXPECT_TRUE(invalid(f));
    f = kReadTable0;
    f[3] = 0x10; // second start delimiter
    EXPECT_TRUE(invalid(f));
    EXPECT_TRUE(invalid({0x68, 0x02})); // LE too small for addresses and FC
    EXPECT_TRUE(invalid({0x68, 0xFA})); // LE beyond the longest frame
    EXPECT_TRUE(invalid({0x10, 0x03, 0x00, 0x69, 0x6D, 0x16}));
    EXPECT_TRUE(invalid({0x55}));
}

TEST(SimParser, DeliversWholeFramesAndSplitsBackToBackOnes)
{
    FrameParser p;
    Bytes both = kReadTable0;
    both.insert(both.end(), kProbe.begin(), kProbe.end());
    const Fed r = Feed(p, both, 0.0);
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0], kReadTable0);
    EXPECT_EQ(r.frames[1], kProbe);
    EXPECT_TRUE(r.discarded.empty());
    EXPECT_EQ(p.Pending(), 0u);

    // A frame arriving in pieces close together is assembled.
    const Bytes head(kZeroSum.begin(), kZeroSum.begin() + 5);
    const Bytes tail(kZeroSum.begin() + 5, kZeroSum.end());
    EXPECT_TRUE(Feed(p, head, 1.0).frames.empty());
    const Fed r2 = Feed(p, tail, 1.01);
    ASSERT_EQ(r2.frames.size(), 1u);
    EXPECT_EQ(r2.frames[0], kZeroSum);
}

TEST(SimParser, FieldsOfAParsedRequest)
{
    FrameParser p;
    auto events = p.Feed(kZeroSum, 0.0);
    ASSERT_EQ(events.size(), 1u);
    const sim::Frame& f = events[0].frame;
    EXPECT_TRUE(f.is_long);
    EXPECT_EQ(f.da, 1);
    EXPECT_EQ(f.sa, 0);
    EXPECT_EQ(f.fc, 0x63);
    EXPECT_EQ(f.data, (Bytes{0x02, 0x04, 0x5A}));
    events = p.Feed(kProbe, 0.0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].frame.is_long);
    EXPECT_EQ(events[0].frame.da, 3);
    EXPECT_EQ(events[0].frame.fc, 0x69);
}

TEST(SimParser, ResynchronisesAfterGarbage)
{
    FrameParser p;
    // Stray bytes, including false start delimiters, before a request.
    Bytes stream = {0xFF, 0x68, 0x00, 0x10, 0x10, 0x16, 0x68, 0x05, 0x06};
    stream.insert(stream.end(), kReadTable0.begin(), kReadTable0.end());
    const Fed r = Feed(p, stream, 0.0);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0], kReadTable0);
    std::size_t dropped = 0;
    for (const Bytes& d : r.discarded)
        dropped += d.size();
    EXPECT_EQ(dropped, 9u);
    EXPECT_EQ(p.Pending(), 0u);

    // A corrupted request is never delivered; the good one after it is.
    Bytes bad = kReadTable0;
    bad[9] ^= 0x40;
    bad.insert(bad.end(), kProbe.begin(), kProbe.end());
    const Fed r2 = Feed(p, bad, 0.0);
    ASSERT_EQ(r2.frames.size(), 1u);
    EXPECT_EQ(r2.frames[0], kProbe);
}

TEST(SimParser, FalseHeaderClaimingALongFrameDoesNotHideTheNextRequest)
{
    FrameParser p;
    // 68 F0 F0 68 announces 246 more bytes; the real request follows at once.
    Bytes stream = {0x68, 0xF0, 0xF0, 0x68};
    stream.insert(stream.end(), kProbe.begin(), kProbe.end());
    const Fed r = Feed(p, stream, 0.0);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0], kProbe);
}

TEST(SimParser, UnfinishedFrameIsDroppedAfterSilence)
{
    FrameParser p(0.05);
    const Bytes head(kReadTable0.begin(), kReadTable0.begin() + 6);
    EXPECT_TRUE(Feed(p, head, 0.0).frames.empty());
    EXPECT_EQ(p.Pending(), 6u);
    // The rest of a request after a pause: the stale beginning is discarded,
    // and the complete request that follows is taken.
    const Fed r = Feed(p, kReadTable0, 0.2);
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(r.frames[0], kReadTable0);
    ASSERT_FALSE(r.discarded.empty());
    EXPECT_EQ(r.discarded[0], head);

    // The tail of a request alone, after silence, is never a frame.
    EXPECT_TRUE(Feed(p, head, 1.0).frames.empty());
    const Bytes tail(kReadTable0.begin() + 6, kReadTable0.end());
    EXPECT_TRUE(Feed(p, tail, 2.0).frames.empty());
    EXPECT_EQ(p.Pending(), 0u);
}

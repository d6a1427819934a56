// The answer checks as properties: prefixes, single flipped bits and random
// bytes, judged against a reference written here from the frame layout.
//
// The checks are run two ways. Directly, over a heap block of exactly the
// received size, so that the address sanitizer stops any read past it. And
// through the operations, with the port filling the rest of the receive
// buffer with the bytes that would complete a sound frame: a check that read
// beyond what arrived would then accept, and the result would differ from
// the reference.
#include "link_test_base.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>

namespace {

bool reference_data_valid(const Bytes& b)
{
    if (b.size() < 9)
        return false;
    const std::size_t L = b[1];
    if (b[0] != 0x68 || b[2] != b[1] || L < 3 || b.size() < L + 6)
        return false;
    if (b[6] != 0x08 || b[L + 5] != 0x16)
        return false;
    const unsigned sum = std::accumulate(b.begin() + 4, b.begin() + 4 + static_cast<std::ptrdiff_t>(L), 0u);
    return (sum & 0xFFu) == b[L + 4];
}

bool reference_ack_positive(const Bytes& b)
{
    return b.size() >= 6 && b[0] == 0x10 && b[3] == 0x00 && b[5] == 0x16 && b[4] == ((b[1] + b[2] + b[3]) & 0xFF);
}

using Check = bool (*)(const std::uint8_t*, std::uint32_t);

// The bytes at the very end of a heap block of their own size.
bool run_exact(Check check, const Bytes& b)
{
    auto block = std::make_unique<std::uint8_t[]>(b.size());
    std::copy(b.begin(), b.end(), block.get());
    return check(block.get(), static_cast<std::uint32_t>(b.size()));
}

// Fills buffer[received .. wanted) so that, together with what arrived, it
// reads as a sound data answer wherever the arrived bytes allow one.
void complete_as_frame(std::uint8_t* buffer, std::uint32_t received, std::uint32_t wanted)
{
    auto put = [&](std::uint32_t i, std::uint8_t v) {
        if (i >= received && i < wanted)
            buffer[i] = v;
    };
    put(0, 0x68);
    put(1, 12);
    if (wanted < 3)
        return;
    put(2, buffer[1]);
    put(3, 0x68);
    const std::uint32_t L = buffer[1];
    for (std::uint32_t i = 4; i <= L + 3; ++i)
        put(i, 0x41);
    put(6, 0x08);
    if (L + 4 >= wanted)
        return;
    std::uint8_t sum = 0;
    for (std::uint32_t i = 4; i <= L + 3; ++i)
        sum = static_cast<std::uint8_t>(sum + buffer[i]);
    put(L + 4, sum);
    put(L + 5, 0x16);
}

Bytes random_text_answer(std::mt19937& rng)
{
    std::uniform_int_distribution<int> len(0, 246);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes text(static_cast<std::size_t>(len(rng)));
    for (auto& c : text)
        c = static_cast<std::uint8_t>(byte(rng));
    return data_answer(static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)), text);
}

// Mostly near-misses of sound frames, which are what can tempt a check into
// reading too far; some plain noise.
Bytes random_answer(std::mt19937& rng)
{
    std::uniform_int_distribution<int> mode(0, 4);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes b;
    switch (mode(rng)) {
    case 0: {
        b.resize(std::uniform_int_distribution<std::size_t>(0, 255)(rng));
        for (auto& c : b)
            c = static_cast<std::uint8_t>(byte(rng));
        if (!b.empty() && byte(rng) < 128)
            b[0] = 0x68;
        break;
    }
    case 1: // truncated
        b = random_text_answer(rng);
        b.resize(std::uniform_int_distribution<std::size_t>(0, b.size())(rng));
        break;
    case 2: { // one byte changed
        b = random_text_answer(rng);
        const auto at = std::uniform_int_distribution<std::size_t>(0, b.size() - 1)(rng);
        b[at] = static_cast<std::uint8_t>(byte(rng));
        break;
    }
    case 3: { // length bytes changed together
        b = random_text_answer(rng);
        b[1] = b[2] = static_cast<std::uint8_t>(byte(rng));
        break;
    }
    default: { // sound, perhaps with stray bytes after it
        b = random_text_answer(rng);
        const auto extra = std::uniform_int_distribution<std::size_t>(0, 255 - b.size())(rng);
        for (std::size_t i = 0; i < extra && byte(rng) < 64; ++i)
            b.push_back(static_cast<std::uint8_t>(byte(rng)));
        break;
    }
    }
    return b;
}

const Bytes kTable0Answer = hex("68 0B 0B 68 00 01 08 00 00 48 41 00 00 C8 42 9C 16");
const Bytes kAckPositive = hex("10 00 03 00 03 16");

} // namespace

class AnswerCheckTest : public LinkTestBase {};

TEST_F(AnswerCheckTest, ReferenceAgreesOnTheExamples)
{
    // Guards the reference itself, so the properties below mean something.
    EXPECT_TRUE(reference_data_valid(kTable0Answer));
    EXPECT_TRUE(reference_ack_positive(kAckPositive));
    EXPECT_FALSE(reference_ack_positive(hex("10 00 03 01 04 16")));
    EXPECT_TRUE(run_exact(&data_answer_valid, kTable0Answer));
    EXPECT_TRUE(run_exact(&short_ack_positive, kAckPositive));
    EXPECT_FALSE(run_exact(&short_ack_positive, hex("10 00 03 01 04 16")));
}

TEST_F(AnswerCheckTest, LengthsTooSmallForAFrameAreRejected)
{
    // Frames whose length byte leaves no room for DA, SA and FC, yet whose
    // other checked bytes sit where a sound frame has them. Taken as sound,
    // they would give a negative text length.
    const Bytes frames[] = {
        hex("68 00 00 68 00 16 08"),
        hex("68 02 02 68 04 04 08 16"),
        hex("68 02 02 68 04 04 08 16 00 00 00"),
    };
    for (const auto& f : frames) {
        EXPECT_FALSE(reference_data_valid(f));
        EXPECT_FALSE(run_exact(&data_answer_valid, f)) << ::testing::PrintToString(f);
        port.answers.clear();
        port.answer(f);
        port.answer(f);
        EXPECT_EQ(read_device_type(), 0) << ::testing::PrintToString(f);
    }
}

TEST_F(AnswerCheckTest, EveryProperPrefixIsRejected)
{
    std::mt19937 rng(52);
    std::vector<Bytes> frames = {kTable0Answer, data_answer(0, 0, {}), data_answer(1, 2, Bytes(246, 'x'))};
    for (int i = 0; i < 5; ++i)
        frames.push_back(random_text_answer(rng));

    port.poison = &complete_as_frame;
    for (const auto& frame : frames) {
        ASSERT_TRUE(run_exact(&data_answer_valid, frame));
        for (std::size_t k = 0; k < frame.size(); ++k) {
            const Bytes prefix(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(k));
            EXPECT_FALSE(run_exact(&data_answer_valid, prefix)) << k << " of " << frame.size();

            port.answers.clear();
            port.answer(prefix);
            port.answer(prefix);
            EXPECT_EQ(read_device_type(), 0) << k << " of " << frame.size();
        }
    }
    for (std::size_t k = 0; k < kAckPositive.size(); ++k)
        EXPECT_FALSE(run_exact(&short_ack_positive,
                               Bytes(kAckPositive.begin(), kAckPositive.begin() + static_cast<std::ptrdiff_t>(k))));
}

TEST_F(AnswerCheckTest, SingleFlippedBitsAreRejectedUnlessStillSound)
{
    int rejected = 0;
    int total = 0;
    for (std::size_t i = 0; i < kTable0Answer.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes f = kTable0Answer;
            f[i] ^= static_cast<std::uint8_t>(1u << bit);
            const bool expected = reference_data_valid(f);
            EXPECT_EQ(run_exact(&data_answer_valid, f), expected) << i << ':' << bit;

            // Through read_table: the answer must also carry table 0's length.
            meas_value = -1.0f;
            sum_value = -2.0f;
            port.answers.clear();
            port.answer(f);
            const bool taken = read_table(0) == 1;
            EXPECT_EQ(taken, expected && f[1] == 0x0B) << i << ':' << bit;
            if (!taken) {
                EXPECT_FLOAT_EQ(meas_value, -1.0f);
                EXPECT_FLOAT_EQ(sum_value, -2.0f);
            }
            ++total;
            rejected += taken ? 0 : 1;
        }
    }
    // Only flips in the unexamined second start byte leave the frame sound;
    // flips in the station addresses break the check sum.
    EXPECT_EQ(rejected, total - 8);

    for (std::size_t i = 0; i < kAckPositive.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes f = kAckPositive;
            f[i] ^= static_cast<std::uint8_t>(1u << bit);
            EXPECT_EQ(run_exact(&short_ack_positive, f), reference_ack_positive(f)) << i << ':' << bit;
            port.answers.clear();
            port.answer(f);
            EXPECT_EQ(probe_address() == 1, reference_ack_positive(f)) << i << ':' << bit;
        }
    }
}

TEST_F(AnswerCheckTest, RandomBytesAreJudgedOnlyByWhatArrived)
{
    std::mt19937 rng(5200);
    port.poison = &complete_as_frame;
    int accepted = 0;
    for (int n = 0; n < 4000; ++n) {
        const Bytes b = random_answer(rng);
        const bool expected = reference_data_valid(b);
        ASSERT_EQ(run_exact(&data_answer_valid, b), expected) << ::testing::PrintToString(b);
        accepted += expected ? 1 : 0;

        // The same bytes for both reads, whether or not a repeat happens.
        port.answers.clear();
        port.answer(b);
        port.answer(b);
        ASSERT_EQ(read_device_version() == 1, expected) << ::testing::PrintToString(b);
        if (expected) {
            const std::size_t L = b[1];
            ASSERT_EQ(std::memcmp(device_version_area(), b.data() + 7, L - 3), 0);
            ASSERT_EQ(device_version_area()[L - 3], 0);
        }

        // Short acknowledgements from the same source of bytes.
        const Bytes ack(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(b.size(), 6)));
        ASSERT_EQ(run_exact(&short_ack_positive, ack), reference_ack_positive(ack));
    }
    // The mix must hold both outcomes, or it proves little.
    EXPECT_GT(accepted, 400);
    EXPECT_LT(accepted, 2000);
}

TEST_F(AnswerCheckTest, RandomTable0AnswersNeverReachPastTheRead)
{
    std::mt19937 rng(17);
    port.poison = &complete_as_frame;
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 3000; ++n) {
        Bytes data(8);
        for (auto& c : data)
            c = static_cast<std::uint8_t>(byte(rng));
        Bytes b = data_answer(0, 1, data);
        const auto cut = std::uniform_int_distribution<std::size_t>(0, 17)(rng);
        if (byte(rng) < 128)
            b.resize(cut);
        else
            b[cut % 17] = static_cast<std::uint8_t>(byte(rng));

        const bool expected = b.size() == 17 && reference_data_valid(b) && b[1] == 0x0B;
        port.answers.clear();
        port.answer(b);
        meas_value = 0.25f;
        ASSERT_EQ(read_table(0) == 1, expected) << ::testing::PrintToString(b);
        if (!expected) {
            ASSERT_FLOAT_EQ(meas_value, 0.25f);
        }
    }
}

TEST_F(AnswerCheckTest, ForeignIdentificationCopiesOnlyWhatArrived)
{
    std::mt19937 rng(99);
    port.poison = [](std::uint8_t* buffer, std::uint32_t received, std::uint32_t wanted) {
        std::fill(buffer + received, buffer + wanted, std::uint8_t{0xEE});
    };
    std::uniform_int_distribution<int> byte(0, 255);
    for (int n = 0; n < 2000; ++n) {
        Bytes b(std::uniform_int_distribution<std::size_t>(0, 254)(rng));
        for (auto& c : b)
            c = static_cast<std::uint8_t>(byte(rng) | 1); // never zero
        if (b.size() >= 2 && byte(rng) < 200)
            b[1] = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(5, 127)(rng));

        port.answers.clear();
        port.answer(b);
        const bool expected = b.size() >= 2 && b[1] >= 5 && b[1] <= 127;
        ASSERT_EQ(read_foreign_ident() == 1, expected);
        if (!expected)
            continue;
        const std::size_t L = b[1];
        const std::size_t count = std::min(L - 4, b.size() > 8 ? b.size() - 8 : 0);
        const char* area = foreign_ident_area();
        if (count > 0) {
            ASSERT_EQ(std::memcmp(area, b.data() + 8, count), 0);
        }
        for (std::size_t i = count; i < kIdentAreaSize; ++i)
            ASSERT_EQ(area[i], 0) << i << " of " << ::testing::PrintToString(b);
    }
}

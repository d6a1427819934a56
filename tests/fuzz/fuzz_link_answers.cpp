// The link's answer checks and the unpacking of every table and
// identification answer, fed through a port that answers each read with what
// the fuzzer says: the bytes, the count it reports and whether the call
// succeeded. What lies in the receive buffer beyond the reported bytes is set
// to complete a sound frame, so a check that looked past what arrived would
// accept and differ from the reference below, which sees only what arrived.
//
// Input: operation, destination address, source address, a mask of failing
// writes, then one script per read: flags, count, bytes.
#include "DeviceTables.h"
#include "FuzzInput.h"
#include "Protokol_spol.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The frame rules, written from the frame layout and independent of the link.
bool ReferenceDataValid(const Bytes& b)
{
    if (b.size() < 9 || b[0] != 0x68 || b[1] != b[2] || b[1] < 3 || b[6] != 0x08)
        return false;
    const std::size_t le = b[1];
    if (b.size() < le + 6 || b[le + 5] != 0x16)
        return false;
    unsigned sum = 0;
    for (std::size_t i = 4; i < 4 + le; ++i)
        sum += b[i];
    return static_cast<std::uint8_t>(sum) == b[le + 4];
}

bool ReferenceAckPositive(const Bytes& b)
{
    return b.size() >= 6 && b[0] == 0x10 && b[3] == 0x00 && b[5] == 0x16 &&
           b[4] == static_cast<std::uint8_t>(b[1] + b[2] + b[3]);
}

// Completes buffer[from .. wanted) as a sound data answer (or, for six
// bytes, a positive acknowledgement) around what arrived.
void CompleteAsFrame(std::uint8_t* buffer, std::uint32_t from, std::uint32_t wanted)
{
    auto put = [&](std::uint32_t i, std::uint8_t v) {
        if (i >= from && i < wanted)
            buffer[i] = v;
    };
    for (std::uint32_t i = from; i < wanted; ++i)
        buffer[i] = 0;
    if (wanted == 6) {
        put(0, 0x10);
        put(3, 0x00);
        put(4, static_cast<std::uint8_t>(buffer[1] + buffer[2] + buffer[3]));
        put(5, 0x16);
        return;
    }
    put(0, 0x68);
    put(1, static_cast<std::uint8_t>(wanted >= 9 ? std::min<std::uint32_t>(wanted - 6, 249) : 3));
    if (wanted < 3)
        return;
    put(2, buffer[1]);
    put(3, 0x68);
    put(6, 0x08);
    const std::uint32_t le = buffer[1];
    if (le + 5 >= wanted)
        return;
    unsigned sum = 0;
    for (std::uint32_t i = 4; i < 4 + le; ++i)
        sum += buffer[i];
    put(le + 4, static_cast<std::uint8_t>(sum));
    put(le + 5, 0x16);
}

struct Read {
    std::uint32_t wanted = 0;
    Bytes arrived; // what the reference may look at
    bool call_ok = true;
};

class ScriptedPort : public LinkPort {
public:
    explicit ScriptedPort(FuzzInput& in, std::uint8_t write_failures) : in_(in), write_failures_(write_failures) {}

    std::vector<Read> reads;
    int writes = 0;
    int purges = 0;

    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override
    {
        const std::uint8_t flags = in_.Byte();
        const Bytes bytes = in_.Bytes(in_.Byte());
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(bytes.size(), wanted));
        if (n > 0)
            std::memcpy(buffer, bytes.data(), n);
        CompleteAsFrame(buffer, n, wanted);
        Read r;
        r.wanted = wanted;
        r.call_ok = (flags & 0x80) == 0;
        // A port may claim more than it was asked for; the link must not
        // believe it beyond what it asked for, and what lies in the buffer up
        // to that count is what arrived.
        received = (flags & 0x40) != 0 ? n + flags : n;
        if (r.call_ok)
            r.arrived.assign(buffer, buffer + std::min(received, wanted));
        reads.push_back(r);
        return r.call_ok ? 1 : 0;
    }

    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        FUZZ_CHECK(count >= 6 && count <= 255);
        FUZZ_CHECK(buffer[0] == 0x68 || buffer[0] == 0x10);
        const bool ok = ((write_failures_ >> (writes & 7)) & 1) == 0;
        ++writes;
        written = ok ? count : 0;
        return ok ? 1 : 0;
    }

    void PurgeRx() override { ++purges; }
    void PurgeTx() override { ++purges; }

private:
    FuzzInput& in_;
    std::uint8_t write_failures_;
};

struct Variables {
    std::uint8_t bytes[4][12] = {};
};

Variables Snapshot()
{
    Variables v;
    for (std::uint8_t t = 0; t < 4; ++t)
        pack_table(t, v.bytes[t]);
    return v;
}

bool SameTable(const Variables& a, const Variables& b, int t)
{
    return std::memcmp(a.bytes[t], b.bytes[t], table_lengths[t]) == 0;
}

void CheckArea(const char* area, const Bytes& answer)
{
    // Cleared and filled with the answer's data, always ending with a zero.
    const std::size_t n = answer[1] - 3u;
    FUZZ_CHECK(n <= 246);
    FUZZ_CHECK(std::memcmp(area, answer.data() + 7, n) == 0);
    for (std::size_t i = n; i < kIdentAreaSize; ++i)
        FUZZ_CHECK(area[i] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t op = in.Byte() % 12;
    const std::uint8_t da_byte = in.Byte();
    set_dest_address((da_byte & 0x80) != 0 ? 127 : (da_byte & 0x7F));
    set_source_address(in.Byte());
    const std::uint8_t write_mask = in.Byte();
    ScriptedPort port(in, write_mask);
    link_set_port(&port);
    link_set_sleep_hook([](int) {});
    link_set_message_handler([](const char*, const char*) {});

    // The checks alone, over a heap block of exactly the bytes given, so the
    // address sanitizer stops any read beyond them.
    if (op == 11) {
        const Bytes b = in.Rest();
        auto block = std::make_unique<std::uint8_t[]>(b.size() + 1);
        std::copy(b.begin(), b.end(), block.get());
        const auto n = static_cast<std::uint32_t>(b.size());
        FUZZ_CHECK(data_answer_valid(block.get(), n) == ReferenceDataValid(b));
        FUZZ_CHECK(short_ack_positive(block.get(), n) == ReferenceAckPositive(b));
        link_set_port(nullptr);
        return 0;
    }

    const Variables before = Snapshot();
    const bool broadcast = get_dest_address() == 127;
    if (op <= 3) {
        const std::uint8_t t = op;
        const std::uint8_t result = read_table(t);
        const Variables after = Snapshot();
        for (int other = 0; other < 4; ++other)
            if (other != t)
                FUZZ_CHECK(SameTable(before, after, other));
        if (broadcast) {
            FUZZ_CHECK(result == ((write_mask & 1) == 0 ? 1 : 0));
            FUZZ_CHECK(port.reads.empty());
            FUZZ_CHECK(SameTable(before, after, t));
        } else {
            FUZZ_CHECK(port.reads.size() == 1);
            const Read& r = port.reads[0];
            FUZZ_CHECK(r.wanted == table_lengths[t] + 9u);
            const bool expect = r.call_ok && r.arrived.size() == r.wanted && ReferenceDataValid(r.arrived) &&
                                r.arrived[1] == table_lengths[t] + 3;
            FUZZ_CHECK(result == (expect ? 1 : 0));
            if (expect)
                FUZZ_CHECK(std::memcmp(after.bytes[t], r.arrived.data() + 7, table_lengths[t]) == 0);
            else
                FUZZ_CHECK(SameTable(before, after, t));
            FUZZ_CHECK(port.purges == (expect ? 0 : 2));
        }
    } else if (op <= 7) {
        // Writes of tables 1..3 and the sum reset: at most two reads, at most
        // three sends, success only on a positive acknowledgement.
        const std::uint8_t result = op <= 6 ? write_table(static_cast<std::uint8_t>(op - 3)) : zero_sum();
        FUZZ_CHECK(port.reads.size() >= 1 && port.reads.size() <= 2);
        FUZZ_CHECK(port.writes >= 1 && port.writes <= 3);
        const Read& last = port.reads.back();
        const bool positive = last.arrived.size() == 6 && ReferenceAckPositive(last.arrived);
        FUZZ_CHECK(result == (positive ? 1 : 0));
        const Variables after = Snapshot();
        for (int t = 0; t < 4; ++t)
            FUZZ_CHECK(SameTable(before, after, t));
    } else if (op <= 8) {
        const bool version = (in.Byte() & 1) != 0;
        char area_before[kIdentAreaSize];
        std::memcpy(area_before, version ? device_version_area() : device_type_area(), kIdentAreaSize);
        const std::uint8_t result = version ? read_device_version() : read_device_type();
        FUZZ_CHECK(port.reads.size() >= 1 && port.reads.size() <= 2);
        const Read& last = port.reads.back();
        const bool expect = last.call_ok && ReferenceDataValid(last.arrived);
        FUZZ_CHECK(result == (expect ? 1 : 0));
        const char* area = version ? device_version_area() : device_type_area();
        if (expect)
            CheckArea(area, last.arrived);
        else
            FUZZ_CHECK(std::memcmp(area, area_before, kIdentAreaSize) == 0);
    } else if (op == 10) {
        const std::uint8_t result = probe_address();
        FUZZ_CHECK(port.writes == 1);
        const bool sent = (write_mask & 1) == 0;
        FUZZ_CHECK(port.reads.size() == (sent ? 1u : 0u));
        const bool expect = sent && port.reads[0].arrived.size() == 6 && ReferenceAckPositive(port.reads[0].arrived);
        FUZZ_CHECK(result == (expect ? 1 : 0));
    } else if (op == 9) {
        const std::uint8_t result = read_foreign_ident();
        FUZZ_CHECK(port.reads.size() == 1);
        const Read& r = port.reads[0];
        const bool expect = r.call_ok && r.arrived.size() >= 2 && r.arrived[1] >= 5 && r.arrived[1] <= 127;
        FUZZ_CHECK(result == (expect ? 1 : 0));
        // Whatever came, the area keeps a terminating zero.
        FUZZ_CHECK(foreign_ident_area()[kIdentAreaSize - 1] == 0);
        if (expect) {
            const std::size_t count =
                std::min<std::size_t>(r.arrived[1] - 4u, r.arrived.size() > 8 ? r.arrived.size() - 8 : 0);
            FUZZ_CHECK(std::memcmp(foreign_ident_area(), r.arrived.data() + 8, count) == 0);
        }
    }
    FUZZ_CHECK(device_type_area()[kIdentAreaSize - 1] == 0);
    FUZZ_CHECK(device_version_area()[kIdentAreaSize - 1] == 0);
    link_set_port(nullptr);
    return 0;
}

// The program's link against the simulated instrument, in memory: random
// table contents and identification texts packed by the simulator must be
// accepted and unpacked bit for bit by the link, and the link's requests,
// with random variables in its writes, must reach the simulator as the same
// table numbers, addresses and bytes.
#include "DeviceTables.h"
#include "FuzzInput.h"
#include "Protokol_spol.h"
#include "SimFrames.h"
#include "SimStation.h"

#include <cstring>
#include <deque>
#include <optional>

namespace {

// The link's port wired to the simulator's parser and station: every frame
// the link writes is parsed and answered at once, and the answer waits for
// the link's next read.
class SimWire : public LinkPort {
public:
    explicit SimWire(sim::SimStation& station) : station_(station) {}

    std::optional<sim::Plan> last_plan;
    std::optional<sim::Frame> last_frame;
    // Replaces the station's answer to the next table-0 read.
    std::optional<sim::Bytes> table0_data;

    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override
    {
        received = 0;
        while (received < wanted && !pending_.empty()) {
            buffer[received++] = pending_.front();
            pending_.pop_front();
        }
        return 1;
    }

    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        pending_.clear();
        written = count;
        now_ += 1.0;
        for (const auto& e : parser_.Feed(std::span(buffer, count), now_)) {
            FUZZ_CHECK(e.is_frame); // the link sends nothing the instrument must discard
            sim::Plan plan = station_.Handle(e.frame, now_);
            if (plan.kind == sim::RequestKind::ReadTable && plan.table == 0 && table0_data)
                plan.answer = sim::MakeLongFrame(e.frame.sa, station_.Instrument().Address(), 0x08, *table0_data);
            pending_.insert(pending_.end(), plan.answer.begin(), plan.answer.end());
            last_plan = plan;
            last_frame = e.frame;
        }
        FUZZ_CHECK(parser_.Pending() == 0);
        return 1;
    }
    void PurgeRx() override { pending_.clear(); }
    void PurgeTx() override {}

private:
    sim::SimStation& station_;
    sim::FrameParser parser_;
    std::deque<std::uint8_t> pending_;
    double now_ = 0.0;
};

void CheckRequest(const SimWire& wire, sim::RequestKind kind, int table, std::uint8_t da, std::uint8_t sa)
{
    FUZZ_CHECK(wire.last_plan && wire.last_frame);
    FUZZ_CHECK(wire.last_plan->for_us);
    FUZZ_CHECK(wire.last_plan->kind == kind);
    FUZZ_CHECK(wire.last_plan->table == table);
    FUZZ_CHECK(wire.last_frame->da == da);
    FUZZ_CHECK(wire.last_frame->sa == sa);
}

void Packed(std::uint8_t table, std::uint8_t* out)
{
    pack_table(table, out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const auto address = static_cast<std::uint8_t>(in.Byte() % 127);
    const std::uint8_t source = in.Byte();
    sim::SimStation station(address);
    SimWire wire(station);
    link_set_port(&wire);
    link_set_sleep_hook([](int) {});
    link_set_message_handler([](const char*, const char*) {});
    set_dest_address(address);
    set_source_address(source);

    // Instrument to program: tables 0..3 and both identification texts.
    const sim::Bytes t0 = in.Bytes(8);
    const sim::Bytes t1 = in.Bytes(12);
    const sim::Bytes t2 = in.Bytes(8);
    if (t0.size() == 8)
        wire.table0_data = t0;
    if (t1.size() == 12)
        FUZZ_CHECK(station.Instrument().WriteTable(1, t1) == sim::WriteResult::Accepted);
    if (t2.size() == 8)
        FUZZ_CHECK(station.Instrument().WriteTable(2, t2) == sim::WriteResult::Accepted);
    for (std::uint8_t t = 0; t < 4; ++t) {
        FUZZ_CHECK(read_table(t) == 1);
        CheckRequest(wire, sim::RequestKind::ReadTable, t, address, source);
        std::uint8_t unpacked[12];
        Packed(t, unpacked);
        sim::Bytes expected = station.Instrument().ReadTable(t);
        if (t == 0 && wire.table0_data)
            expected = *wire.table0_data;
        FUZZ_CHECK(expected.size() == table_lengths[t]);
        FUZZ_CHECK(std::memcmp(unpacked, expected.data(), expected.size()) == 0);
    }
    const sim::Bytes type_text = in.Chunk();
    const sim::Bytes version_text = in.Chunk();
    station.Instrument().SetTypeText(std::string(type_text.begin(), type_text.end()));
    station.Instrument().SetVersionText(std::string(version_text.begin(), version_text.end()));
    FUZZ_CHECK(read_device_type() == 1);
    CheckRequest(wire, sim::RequestKind::IdentType, -1, address, source);
    FUZZ_CHECK(read_device_version() == 1);
    CheckRequest(wire, sim::RequestKind::IdentVersion, -1, address, source);
    for (const auto& [area, text] : {std::pair{device_type_area(), station.Instrument().TypeText()},
                                     std::pair{device_version_area(), station.Instrument().VersionText()}}) {
        FUZZ_CHECK(std::memcmp(area, text.data(), text.size()) == 0);
        for (std::size_t i = text.size(); i < kIdentAreaSize; ++i)
            FUZZ_CHECK(area[i] == 0);
    }

    // Program to instrument: random variables written as tables 1 and 2, the
    // sum reset, and an address change.
    const sim::Bytes v1 = in.Bytes(12);
    const sim::Bytes v2 = in.Bytes(8);
    if (v1.size() == 12 && v2.size() == 8) {
        unpack_table(1, v1.data());
        unpack_table(2, v2.data());
        FUZZ_CHECK(write_table(1) == 1);
        CheckRequest(wire, sim::RequestKind::WriteTable, 1, address, source);
        FUZZ_CHECK(write_table(2) == 1);
        CheckRequest(wire, sim::RequestKind::WriteTable, 2, address, source);
        FUZZ_CHECK(station.Instrument().ReadTable(1) == v1);
        FUZZ_CHECK(station.Instrument().ReadTable(2) == v2);
    }
    FUZZ_CHECK(zero_sum() == 1);
    CheckRequest(wire, sim::RequestKind::WriteTable, 4, address, source);
    FUZZ_CHECK(station.Instrument().Sum() == 0.0);

    const std::uint8_t new_address = in.Byte();
    dev_address = new_address;
    const std::uint8_t written = write_table(3);
    if (new_address <= 126) {
        FUZZ_CHECK(written == 1);
        FUZZ_CHECK(station.Instrument().Address() == new_address);
    } else {
        // The instrument refuses the broadcast address and above.
        FUZZ_CHECK(written == 0);
        FUZZ_CHECK(station.Instrument().Address() == address);
    }
    link_set_port(nullptr);
    return 0;
}

// The link end to end: every operation through the real ComPort ("COM 3",
// found through XDG_CONFIG_HOME) over a pseudo-terminal to the simulated
// instrument, which has frame code of its own. Faults are injected into the
// simulator; a spy between the protocol and the port records every write,
// read and purge, and the simulator counts what reached it.
#include "ComPort.h"
#include "DeviceTables.h"
#include "Orbena52Sim.h"
#include "Protokol_spol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::Fault;
using SimBytes = std::vector<std::uint8_t>;

namespace {

// Passes every operation on to the real port and records it.
class SpyPort : public LinkPort {
public:
    enum class Op { Write, Read, PurgeRx, PurgeTx };
    struct Event {
        Op op;
        SimBytes bytes;           // written, or received
        std::uint32_t wanted = 0; // reads
    };

    explicit SpyPort(LinkPort& inner) : inner_(inner) {}

    std::uint8_t ReadBytes(std::uint8_t* buffer, std::uint32_t wanted, std::uint32_t& received) override
    {
        const std::uint8_t r = inner_.ReadBytes(buffer, wanted, received);
        events.push_back({Op::Read, SimBytes(buffer, buffer + std::min(received, wanted)), wanted});
        return r;
    }
    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        events.push_back({Op::Write, SimBytes(buffer, buffer + count), 0});
        return inner_.WriteBytes(buffer, count, written);
    }
    void PurgeRx() override
    {
        events.push_back({Op::PurgeRx, {}, 0});
        inner_.PurgeRx();
    }
    void PurgeTx() override
    {
        events.push_back({Op::PurgeTx, {}, 0});
        inner_.PurgeTx();
    }

    std::size_t Count(Op op) const
    {
        std::size_t n = 0;
        for (const Event& e : events)
            n += e.op == op ? 1 : 0;
        return n;
    }
    std::vector<Op> Ops() const
    {
        std::vector<Op> v;
        for (const Event& e : events)
            v.push_back(e.op);
        return v;
    }
    // Whether the last two operations were PurgeTx then PurgeRx.
    bool EndsWithPurge() const
    {
        const std::size_t n = events.size();
        return n >= 2 && events[n - 2].op == Op::PurgeTx && events[n - 1].op == Op::PurgeRx;
    }

    std::vector<Event> events;

private:
    LinkPort& inner_;
};

using Op = SpyPort::Op;

std::vector<int> g_pauses;
void SleepAndRecord(int ms)
{
    g_pauses.push_back(ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

constexpr int kCom = 3;
constexpr std::uint8_t kAddress = 5;

class LinkSimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/kx52-linksim-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        const char* old = std::getenv("XDG_CONFIG_HOME");
        had_xdg_ = old != nullptr;
        old_xdg_ = old != nullptr ? old : "";
        ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);

        sim::SimConfig c;
        c.com = kCom;
        c.address = kAddress;
        c.config_dir = dir_;
        c.log = nullptr;
        sim_ = std::make_unique<sim::Orbena52Sim>(c);
        std::string error;
        ASSERT_TRUE(sim_->Open(error)) << error;
        sim_->WithStation([](sim::SimStation& st) { st.Instrument().SetFixedInput(12.0); });
        sim_->Start();

        port_ = std::make_unique<ComPort>();
        port_->com_index = kCom;
        port_->baud_rate = 115200;
        ASSERT_EQ(port_->OpenPort(kCom), 0);
        spy_ = std::make_unique<SpyPort>(*port_);

        reset_table_variables();
        g_pauses.clear();
        link_set_port(spy_.get());
        link_set_sleep_hook(&SleepAndRecord);
        link_set_message_handler(nullptr);
        set_dest_address(kAddress);
        set_source_address(0);
    }

    void TearDown() override
    {
        link_set_port(nullptr);
        link_set_sleep_hook(nullptr);
        if (port_)
            port_->ClosePort();
        sim_.reset();
        if (had_xdg_)
            ::setenv("XDG_CONFIG_HOME", old_xdg_.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        const std::string cmd = "rm -rf '" + dir_ + "'";
        [[maybe_unused]] const int rc = std::system(cmd.c_str());
    }

    // Reopens the port at another speed (the simulator paces to it).
    void ReopenAt(std::int32_t baud)
    {
        port_->ClosePort();
        port_->baud_rate = baud;
        ASSERT_EQ(port_->OpenPort(kCom), 0);
    }

    // Requests the simulator received, in order, with their arrival times.
    std::vector<std::pair<Clock::time_point, SimBytes>> ReceivedRequests()
    {
        std::vector<std::pair<Clock::time_point, SimBytes>> out;
        for (const sim::SimRecord& r : sim_->History()) {
            if (r.dir == sim::SimRecord::Dir::Rx)
                out.emplace_back(r.time, r.bytes);
        }
        return out;
    }

    // Lets a request the program sent just before purging arrive (or not)
    // before the simulator's counts are read.
    void Settle() { std::this_thread::sleep_for(60ms); }

    std::string dir_;
    bool had_xdg_ = false;
    std::string old_xdg_;
    std::unique_ptr<sim::Orbena52Sim> sim_;
    std::unique_ptr<ComPort> port_;
    std::unique_ptr<SpyPort> spy_;
};

} // namespace

TEST_F(LinkSimTest, ReadsEveryTableFromTheInstrument)
{
    ASSERT_EQ(read_table(0), 1);
    EXPECT_FLOAT_EQ(meas_value, 60.0f); // 12 mA of 0..20 mA at scale 100
    EXPECT_GE(sum_value, 0.0f);
    ASSERT_EQ(read_table(1), 1);
    EXPECT_FLOAT_EQ(SCALE, 100.0f);
    EXPECT_FLOAT_EQ(SP_ALA, 80.0f);
    EXPECT_FLOAT_EQ(HYSTER, 2.0f);
    ASSERT_EQ(read_table(2), 1);
    EXPECT_FLOAT_EQ(SP_SUM, 1000.0f);
    EXPECT_EQ(DP, 1);
    EXPECT_EQ(CONFIG, 0);
    EXPECT_EQ(FILTR, 0);
    ASSERT_EQ(read_table(3), 1);
    EXPECT_EQ(dev_address, kAddress);

    // One request each, byte for byte as the instrument expects, no purge.
    Settle();
    const auto reqs = ReceivedRequests();
    ASSERT_EQ(reqs.size(), 4u);
    EXPECT_EQ(reqs[0].second, (SimBytes{0x68, 0x05, 0x05, 0x68, 0x05, 0x00, 0x6C, 0x01, 0x00, 0x72, 0x16}));
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(sim_->ReadsOf(t), 1u) << t;
    EXPECT_EQ(spy_->Count(Op::Write), 4u);
    EXPECT_EQ(spy_->Count(Op::PurgeTx), 0u);

    // The sum keeps growing between readings.
    std::this_thread::sleep_for(300ms);
    const float before = sum_value;
    ASSERT_EQ(read_table(0), 1);
    EXPECT_GT(sum_value, before);
}

TEST_F(LinkSimTest, PortOpenedAndClosedForEachReading)
{
    // As the measurement cycle does it, once a second (here without the wait).
    for (int i = 0; i < 10; ++i) {
        port_->ClosePort();
        ASSERT_EQ(port_->OpenPort(kCom), 0) << i;
        ASSERT_EQ(read_table(0), 1) << i;
    }
    EXPECT_EQ(sim_->ReadsOf(0), 10u);
}

TEST_F(LinkSimTest, TableReadAt9600TakesTheWireTimeAndLittleMore)
{
    ReopenAt(9600);
    const double wire_ms = 28.0 * 11.0 * 1000.0 / 9600.0;
    const auto t0 = Clock::now();
    ASSERT_EQ(read_table(0), 1);
    const double took = MsSince(t0);
    EXPECT_GE(took, wire_ms - 1.0);
    EXPECT_LT(took, wire_ms + 100.0);
    EXPECT_EQ(sim_->LastLineSpeed(), 9600);
}

TEST_F(LinkSimTest, SpeedWithoutAStandardCodeIsPacedExactly)
{
    // 14400 bit/s has no Bxxx code; the program sets it as a number.
    ReopenAt(14400);
    const double wire_ms = 28.0 * 11.0 * 1000.0 / 14400.0;
    const auto t0 = Clock::now();
    ASSERT_EQ(read_table(0), 1);
    const double took = MsSince(t0);
    EXPECT_EQ(sim_->LastLineSpeed(), 14400);
    EXPECT_GE(took, wire_ms - 1.0);
    EXPECT_LT(took, wire_ms + 100.0);
}

TEST_F(LinkSimTest, WrittenTablesReachTheInstrumentAndReadBack)
{
    SCALE = 250.0f;
    SP_ALA = 42.5f;
    // 0x3FFFFFFF: bytes the line must carry unchanged both ways (0xFF is
    // the escape byte of the port's error marking).
    const std::uint32_t ff_bits = 0x3FFFFFFFu;
    std::memcpy(&HYSTER, &ff_bits, sizeof HYSTER);
    const float hyster = HYSTER;
    ASSERT_EQ(write_table(1), 1);
    SP_SUM = 100.0f;
    DP = 1;
    CONFIG = 0x05;
    FILTR = 1;
    ASSERT_EQ(write_table(2), 1);
    Settle();
    const auto reqs = ReceivedRequests();
    ASSERT_EQ(reqs.size(), 2u);
    // The table 2 request of the parameters dialog, as the instrument got it.
    EXPECT_EQ(reqs[1].second, (SimBytes{0x68, 0x0D, 0x0D, 0x68, 0x05, 0x00, 0x63, 0x02, 0x02, 0x00, 0x00, 0xC8, 0x42,
                                        0x01, 0x05, 0x01, 0x00, 0x7D, 0x16}));
    sim_->WithStation([](sim::SimStation& st) {
        EXPECT_FLOAT_EQ(st.Instrument().Scale(), 250.0f);
        EXPECT_EQ(st.Instrument().Config(), 0x05);
    });

    reset_table_variables();
    ASSERT_EQ(read_table(1), 1);
    ASSERT_EQ(read_table(2), 1);
    EXPECT_FLOAT_EQ(SCALE, 250.0f);
    EXPECT_FLOAT_EQ(SP_ALA, 42.5f);
    EXPECT_EQ(std::memcmp(&HYSTER, &hyster, sizeof hyster), 0);
    EXPECT_FLOAT_EQ(SP_SUM, 100.0f);
    EXPECT_EQ(DP, 1);
    EXPECT_EQ(CONFIG, 0x05);
    EXPECT_EQ(FILTR, 1);
    // The instrument measures with what was written: scale 250 at 12 mA.
    ASSERT_EQ(read_table(0), 1);
    EXPECT_FLOAT_EQ(meas_value, 150.0f);
    EXPECT_EQ(spy_->Count(Op::Write), 5u);
}

TEST_F(LinkSimTest, ZeroSumClearsTheInstrumentsSum)
{
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(read_table(0), 1);
    ASSERT_GT(sum_value, 0.0f);
    ASSERT_EQ(zero_sum(), 1);
    EXPECT_EQ(sim_->WritesOf(4), 1u);
    ASSERT_EQ(read_table(0), 1);
    EXPECT_LT(sum_value, 0.05f); // what accrued in the few ms since the reset
}

TEST_F(LinkSimTest, AddressChangeThenRequestsToTheNewAddress)
{
    dev_address = 9;
    const auto t0 = Clock::now();
    ASSERT_EQ(write_table(3), 1); // acknowledged from the old address
    EXPECT_LT(MsSince(t0), 200.0);
    set_dest_address(9);
    dev_address = 0;
    ASSERT_EQ(read_table(3), 1);
    EXPECT_EQ(dev_address, 9);
    ASSERT_EQ(read_table(0), 1);
    EXPECT_EQ(probe_address(), 1);

    // The old address is silent now.
    set_dest_address(kAddress);
    EXPECT_EQ(probe_address(), 0);
    EXPECT_EQ(read_table(0), 0);
    EXPECT_TRUE(spy_->EndsWithPurge());
}

TEST_F(LinkSimTest, ProbeFindsOnlyTheInstrumentsAddress)
{
    EXPECT_EQ(probe_address(), 1);
    set_dest_address(6);
    const auto t0 = Clock::now();
    EXPECT_EQ(probe_address(), 0);
    const double took = MsSince(t0);
    EXPECT_GE(took, 500.0); // the whole read time-out for 6 bytes
    EXPECT_LT(took, 900.0);
    EXPECT_EQ(spy_->Count(Op::PurgeRx), 0u); // a probe never purges
    Settle();
    EXPECT_EQ(sim_->Requests(sim::RequestKind::Probe), 1u);
}

TEST_F(LinkSimTest, BroadcastReadIsSentButNeverAnswered)
{
    meas_value = 7.0f;
    set_dest_address(127);
    const auto t0 = Clock::now();
    EXPECT_EQ(read_table(0), 1);
    EXPECT_LT(MsSince(t0), 100.0); // nothing is awaited
    EXPECT_EQ(meas_value, 7.0f);
    EXPECT_EQ(spy_->Count(Op::Read), 0u);
    Settle();
    EXPECT_EQ(sim_->Requests(), 0u);
    const auto reqs = ReceivedRequests();
    ASSERT_EQ(reqs.size(), 1u); // it did reach the line
    EXPECT_EQ(reqs[0].second[4], 127);
}

TEST_F(LinkSimTest, IdentificationTexts)
{
    ASSERT_EQ(read_device_type(), 1);
    ASSERT_EQ(read_device_version(), 1);
    std::string type;
    std::string version;
    sim_->WithStation([&](sim::SimStation& st) {
        type = st.Instrument().TypeText();
        version = st.Instrument().VersionText();
    });
    EXPECT_EQ(std::string(device_type_area()), type);
    EXPECT_EQ(std::string(device_version_area()), version);
    EXPECT_EQ(spy_->Count(Op::Write), 2u);
    EXPECT_TRUE(g_pauses.empty()); // a whole answer is not asked again

    // The longest text fills its answer and still ends in zeros.
    const std::string longest(246, 'W');
    sim_->WithStation([&](sim::SimStation& st) { st.Instrument().SetTypeText(longest); });
    ASSERT_EQ(read_device_type(), 1);
    EXPECT_EQ(std::string(device_type_area()), longest);
    for (int i = 246; i < kIdentAreaSize; ++i)
        EXPECT_EQ(device_type_area()[i], '\0');
}

// A fault on a table read: the result, how long it took, and what followed.
struct ReadFaultCase {
    const char* name;
    Fault fault;
    int param;
    int expected;
    double min_ms;
    double max_ms;
};

class LinkSimReadFaults : public LinkSimTest, public ::testing::WithParamInterface<ReadFaultCase> {};

TEST_P(LinkSimReadFaults, TableReadUnderFault)
{
    const ReadFaultCase& c = GetParam();
    ASSERT_EQ(read_table(1), 1); // fill the variables with known values
    const float scale_before = SCALE;
    SCALE = -1.0f; // a failed read must leave this alone

    sim_->Inject(c.fault, 1, c.param);
    const auto t0 = Clock::now();
    const std::uint8_t r = read_table(1);
    const double took = MsSince(t0);
    EXPECT_EQ(r, c.expected) << c.name;
    EXPECT_GE(took, c.min_ms) << c.name;
    EXPECT_LE(took, c.max_ms) << c.name;
    EXPECT_EQ(spy_->Count(Op::Write), 2u) << c.name; // never a retry
    if (c.expected == 1) {
        EXPECT_FLOAT_EQ(SCALE, scale_before);
        EXPECT_FALSE(spy_->EndsWithPurge());
    } else {
        EXPECT_EQ(SCALE, -1.0f) << c.name;
        EXPECT_TRUE(spy_->EndsWithPurge()) << c.name;
    }
    // Once the rest of a late or broken answer is over, the next reading is
    // clean.
    const bool late = c.fault == Fault::Delay || c.fault == Fault::Pause;
    std::this_thread::sleep_for(late ? 400ms : 50ms);
    EXPECT_EQ(read_table(1), 1) << c.name;
    EXPECT_FLOAT_EQ(SCALE, scale_before);
    Settle();
    EXPECT_EQ(sim_->ReadsOf(1), 3u) << c.name;
}

// Read time-out of 21 bytes: 2 ms a byte + 500 ms = 542 ms.
INSTANTIATE_TEST_SUITE_P(Faults, LinkSimReadFaults,
                         ::testing::Values(ReadFaultCase{"NoAnswer", Fault::NoAnswer, 0, 0, 530.0, 900.0},
                                           ReadFaultCase{"BadFcs", Fault::BadFcs, 0, 0, 0.0, 300.0},
                                           ReadFaultCase{"WrongFc", Fault::WrongFc, 0, 0, 0.0, 300.0},
                                           // One byte missing: the read waits for the silence.
                                           ReadFaultCase{"Cut", Fault::Cut, 1, 0, 95.0, 400.0},
                                           ReadFaultCase{"Garbage", Fault::Garbage, 3, 0, 0.0, 300.0},
                                           ReadFaultCase{"LongDelay", Fault::Delay, 700, 0, 530.0, 900.0},
                                           ReadFaultCase{"ShortDelay", Fault::Delay, 200, 1, 195.0, 500.0},
                                           // A pause over 100 ms ends the read after half an answer.
                                           ReadFaultCase{"Pause", Fault::Pause, 250, 0, 95.0, 400.0},
                                           ReadFaultCase{"ShortPause", Fault::Pause, 40, 1, 35.0, 300.0},
                                           ReadFaultCase{"OtherSource", Fault::OtherSource, 44, 1, 0.0, 300.0}),
                         [](const ::testing::TestParamInfo<ReadFaultCase>& p) { return std::string(p.param.name); });

TEST_F(LinkSimTest, WriteWithoutAcknowledgementIsSentThreeTimes)
{
    sim_->Inject(Fault::NoAnswer);
    SCALE = 11.0f;
    const auto t0 = Clock::now();
    EXPECT_EQ(write_table(1), 0);
    const double took = MsSince(t0);
    // Two reads of 6 bytes, each ended by the 512 ms time-out.
    EXPECT_GE(took, 1010.0);
    EXPECT_LT(took, 1600.0);
    EXPECT_EQ(spy_->Ops(),
              (std::vector<Op>{Op::Write, Op::Read, Op::Write, Op::Read, Op::Write, Op::PurgeTx, Op::PurgeRx}));
    for (const auto& e : spy_->events) {
        if (e.op == Op::Write) {
            EXPECT_EQ(e.bytes, spy_->events[0].bytes); // the same frame each time
        }
    }
    Settle();
    // The third copy goes out just before the purge; the line may drop it.
    const std::size_t arrived = sim_->WritesOf(1);
    EXPECT_GE(arrived, 2u);
    EXPECT_LE(arrived, 3u);
}

TEST_F(LinkSimTest, RefusedWriteIsReadOnceMoreWithoutResending)
{
    sim_->Inject(Fault::RefuseWrites, 1);
    SCALE = 12.0f;
    const auto t0 = Clock::now();
    EXPECT_EQ(write_table(1), 0);
    const double took = MsSince(t0);
    // The refusal comes at once; the second read waits out its time-out.
    EXPECT_GE(took, 500.0);
    EXPECT_LT(took, 900.0);
    ASSERT_EQ(spy_->Ops(), (std::vector<Op>{Op::Write, Op::Read, Op::Read, Op::Write, Op::PurgeTx, Op::PurgeRx}));
    EXPECT_EQ(spy_->events[1].bytes,
              (SimBytes{0x10, 0x00, kAddress, 0x02, static_cast<std::uint8_t>(kAddress + 2), 0x16}));
    EXPECT_TRUE(spy_->events[2].bytes.empty());
    Settle();
    EXPECT_GE(sim_->WritesOf(1), 1u);
    EXPECT_LE(sim_->WritesOf(1), 2u);
}

TEST_F(LinkSimTest, ShortAcknowledgementSendsTheWriteAgain)
{
    sim_->Inject(Fault::Cut, 1, 2);
    const auto t0 = Clock::now();
    EXPECT_EQ(zero_sum(), 1);
    const double took = MsSince(t0);
    EXPECT_GE(took, 95.0); // the short read ends after 100 ms of silence
    EXPECT_LT(took, 500.0);
    EXPECT_EQ(spy_->Ops(), (std::vector<Op>{Op::Write, Op::Read, Op::Write, Op::Read}));
    EXPECT_EQ(sim_->WritesOf(4), 2u);
}

TEST_F(LinkSimTest, AcknowledgementFaults)
{
    // A corrupted acknowledgement counts as a refusal: read once more, then
    // the unawaited repetition and the purge.
    sim_->Inject(Fault::BadFcs, 1);
    EXPECT_EQ(zero_sum(), 0);
    EXPECT_EQ(spy_->Ops(), (std::vector<Op>{Op::Write, Op::Read, Op::Read, Op::Write, Op::PurgeTx, Op::PurgeRx}));
    Settle();

    // From another station it is still taken.
    spy_->events.clear();
    sim_->Inject(Fault::OtherSource, 1, 30);
    EXPECT_EQ(zero_sum(), 1);
    EXPECT_EQ(spy_->Ops(), (std::vector<Op>{Op::Write, Op::Read}));

    // An acknowledgement later than the 512 ms time-out: the request goes
    // again, and the late acknowledgement of the first is taken by the
    // second attempt.
    spy_->events.clear();
    sim_->ResetCounts();
    sim_->Inject(Fault::Delay, 1, 600);
    const auto t0 = Clock::now();
    EXPECT_EQ(zero_sum(), 1);
    const double took = MsSince(t0);
    EXPECT_GE(took, 595.0);
    EXPECT_LT(took, 1100.0);
    EXPECT_EQ(spy_->Ops(), (std::vector<Op>{Op::Write, Op::Read, Op::Write, Op::Read}));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sim_->WritesOf(4), 2u);
}

TEST_F(LinkSimTest, GarbageBeforeTheAcknowledgementFailsTheWrite)
{
    // Stray bytes shift the acknowledgement: the first 6 bytes are no
    // acknowledgement, the next read gets only its rest.
    sim_->Inject(Fault::Garbage, 1, 3);
    EXPECT_EQ(zero_sum(), 0);
    EXPECT_EQ(spy_->Ops(), (std::vector<Op>{Op::Write, Op::Read, Op::Read, Op::Write, Op::PurgeTx, Op::PurgeRx}));
    // Once the unawaited repetition is answered (or dropped), the line is
    // usable again.
    Settle();
    EXPECT_EQ(read_table(0), 1);
}

TEST_F(LinkSimTest, ShortIdentificationIsRequestedAgainAfter100ms)
{
    sim_->Inject(Fault::Cut, 1, 2);
    EXPECT_EQ(read_device_version(), 1);
    EXPECT_EQ(g_pauses, (std::vector<int>{100}));
    EXPECT_EQ(spy_->Count(Op::Write), 2u);
    const auto reqs = ReceivedRequests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].second, reqs[1].second);
    // The silence that ends the short read, then the pause.
    EXPECT_GE(reqs[1].first - reqs[0].first, 195ms);
    EXPECT_EQ(sim_->Requests(sim::RequestKind::IdentVersion), 2u);
}

TEST_F(LinkSimTest, IdentificationFaults)
{
    ASSERT_EQ(read_device_type(), 1);
    const std::string known = device_type_area();

    // A wrong check sum or function code arrives whole: not asked again, and
    // the area keeps its text.
    for (Fault f : {Fault::BadFcs, Fault::WrongFc}) {
        spy_->events.clear();
        sim_->Inject(f, 1);
        EXPECT_EQ(read_device_type(), 0) << sim::FaultName(f);
        EXPECT_EQ(spy_->Count(Op::Write), 1u) << sim::FaultName(f);
        EXPECT_EQ(std::string(device_type_area()), known);
    }

    // Silence: two reads of up to 255 bytes, each ended by its time-out.
    spy_->events.clear();
    g_pauses.clear();
    sim_->Inject(Fault::NoAnswer);
    const auto t0 = Clock::now();
    EXPECT_EQ(read_device_type(), 0);
    const double took = MsSince(t0);
    EXPECT_GE(took, 2 * 1010.0 + 100.0);
    EXPECT_LT(took, 2800.0);
    EXPECT_EQ(spy_->Count(Op::Write), 2u);
    EXPECT_EQ(spy_->Count(Op::PurgeRx), 0u); // nothing purged
    EXPECT_EQ(std::string(device_type_area()), known);

    // Nothing arrives for the foreign request either, whatever the buffer
    // still holds from before.
    EXPECT_EQ(read_foreign_ident(), 0);
}

TEST_F(LinkSimTest, InstrumentOfAnotherFamily)
{
    sim_->WithStation([](sim::SimStation& st) { st.SetForeignFields("JINY REGULATOR", "SERIE 9", "V 2.01"); });
    sim_->Inject(Fault::ForeignIdent);
    EXPECT_EQ(read_device_type(), 0);
    EXPECT_EQ(read_device_version(), 0);
    EXPECT_TRUE(g_pauses.empty()); // its answers are whole, just not ours
    EXPECT_EQ(read_foreign_ident(), 1);
    const std::string area = foreign_ident_area();
    ASSERT_EQ(area.size(), 96u);
    EXPECT_EQ(area.substr(0, 32), "JINY REGULATOR" + std::string(18, ' '));
    EXPECT_EQ(area.substr(32, 32), "SERIE 9" + std::string(25, ' '));
    EXPECT_EQ(area.substr(64, 32), "V 2.01" + std::string(26, ' '));
    EXPECT_EQ(spy_->Count(Op::Write), 3u);
}

TEST_F(LinkSimTest, ProbeFaults)
{
    sim_->Inject(Fault::BadFcs, 1);
    EXPECT_EQ(probe_address(), 0);
    sim_->Inject(Fault::Cut, 1, 1);
    EXPECT_EQ(probe_address(), 0);
    sim_->Inject(Fault::OtherSource, 1, 17);
    EXPECT_EQ(probe_address(), 1); // the addresses of the answer are not examined
    EXPECT_EQ(probe_address(), 1);
    EXPECT_EQ(spy_->Count(Op::Write), 4u);
    EXPECT_EQ(spy_->Count(Op::PurgeRx), 0u);
}

TEST_F(LinkSimTest, VanishedPortFailsEveryCallAndCannotBeOpenedAgain)
{
    sim_->Inject(Fault::Vanish, 1);
    ASSERT_EQ(read_table(0), 1);
    for (int i = 0; i < 100 && !sim_->Vanished(); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(sim_->Vanished());
    const auto t0 = Clock::now();
    EXPECT_EQ(read_table(0), 0);
    EXPECT_EQ(write_table(1), 0);
    EXPECT_EQ(probe_address(), 0);
    EXPECT_EQ(read_device_type(), 0);
    EXPECT_LT(MsSince(t0), 400.0); // failures, not time-outs
    port_->ClosePort();
    EXPECT_EQ(port_->OpenPort(kCom), 1);
    EXPECT_EQ(port_->port_name, "COM3");
}

// The simulator as the README starts it: a program of its own, reporting
// "ready" once its COM link exists; the link then talks to it.
TEST(LinkSimProgram, LinkTalksToTheSimulatorProgram)
{
    char tmpl[] = "/tmp/kx52-linksimexe-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    // Everything the child needs is made before fork(): between fork and exec
    // it only calls what is safe in a copy of a threaded process.
    std::vector<std::string> env_text{"XDG_CONFIG_HOME=" + dir};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
            env_text.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = KX52_SIM_EXE;
    std::string log = dir + "/sim.log";
    std::string a1 = "--com", a2 = "7", a3 = "--address", a4 = "12", a5 = "--log";
    char* argv[] = {exe.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data(), log.data(), nullptr};
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        ::execve(exe.c_str(), argv, envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    std::string line;
    char c = 0;
    while (line.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1)
        line += c;
    EXPECT_EQ(line.rfind("ready " + dir + "/OrbKX52/COM7", 0), 0u) << line;

    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string old_xdg = old != nullptr ? old : "";
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    {
        ComPort port;
        port.baud_rate = 19200;
        ASSERT_EQ(port.OpenPort(7), 0);
        link_set_port(&port);
        link_set_sleep_hook(nullptr);
        set_dest_address(12);
        set_source_address(0);
        reset_table_variables();
        EXPECT_EQ(read_table(3), 1);
        EXPECT_EQ(dev_address, 12);
        EXPECT_EQ(read_table(0), 1);
        EXPECT_GT(meas_value, 0.0f); // the free-running input, 24..96 % of scale
        EXPECT_LT(meas_value, 100.0f);
        EXPECT_EQ(read_device_type(), 1);
        EXPECT_EQ(std::string(device_type_area()), "ORBENA 52");
        link_set_port(nullptr);
        port.ClosePort();
    }
    if (old != nullptr)
        ::setenv("XDG_CONFIG_HOME", old_xdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string cmd = "rm -rf '" + dir + "'";
    [[maybe_unused]] const int rc = std::system(cmd.c_str());
}

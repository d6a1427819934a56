// The link end to end under faults injected into the simulated instrument:
// what each operation gives, how long it takes and what follows.
#include "LinkSimFixture_posix.h"

// Its own suite name: the fixture class is one of this file's own.
class LinkSimFaultTest : public LinkSimTest {};

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

TEST_F(LinkSimFaultTest, WriteWithoutAcknowledgementIsSentThreeTimes)
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

TEST_F(LinkSimFaultTest, RefusedWriteIsReadOnceMoreWithoutResending)
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

TEST_F(LinkSimFaultTest, ShortAcknowledgementSendsTheWriteAgain)
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

TEST_F(LinkSimFaultTest, AcknowledgementFaults)
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

TEST_F(LinkSimFaultTest, EveryCopyOfAnUnansweredWriteReachesTheLine)
{
    // The zero-sum command to a silent instrument sends its frame three
    // times; the last copy is not awaited and is followed at once by the
    // output purge and the closing of the port, as the main window does.
    // Each copy must have left the port before either.
    sim_->Inject(Fault::NoAnswer);
    for (const std::int32_t baud : {9600, 115200}) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            SCOPED_TRACE(std::to_string(baud) + " bit/s, attempt " + std::to_string(attempt));
            ReopenAt(baud);
            sim_->ResetCounts();
            spy_->events.clear();
            EXPECT_EQ(zero_sum(), 0);
            port_->ClosePort();
            ASSERT_EQ(spy_->Ops(),
                      (std::vector<Op>{Op::Write, Op::Read, Op::Write, Op::Read, Op::Write, Op::PurgeTx, Op::PurgeRx}));
            Settle();
            EXPECT_EQ(sim_->WritesOf(4), 3u);
        }
    }
}

TEST_F(LinkSimFaultTest, GarbageBeforeTheAcknowledgementFailsTheWrite)
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

TEST_F(LinkSimFaultTest, ShortIdentificationIsRequestedAgainAfter100ms)
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

TEST_F(LinkSimFaultTest, IdentificationFaults)
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

TEST_F(LinkSimFaultTest, InstrumentOfAnotherFamily)
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

TEST_F(LinkSimFaultTest, ProbeFaults)
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

TEST_F(LinkSimFaultTest, VanishedPortFailsEveryCallAndCannotBeOpenedAgain)
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

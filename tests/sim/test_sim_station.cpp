// The simulated instrument's answers and model, driven with hand-written
// request frames and a controlled clock.
#include "SimFrames.h"
#include "SimStation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using sim::Bytes;
using sim::Fault;
using sim::Plan;
using sim::RequestKind;
using sim::SimStation;

namespace {

sim::Frame ParseOne(const Bytes& raw)
{
    sim::FrameParser p;
    auto events = p.Feed(raw, 0.0);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(!events.empty() && events[0].is_frame);
    return events.empty() ? sim::Frame{} : events[0].frame;
}

Plan Send(SimStation& st, const Bytes& raw, double now = 0.0)
{
    return st.Handle(ParseOne(raw), now);
}

Bytes ReadReq(std::uint8_t da, std::uint8_t sa, std::uint8_t table)
{
    const std::uint8_t d[] = {0x01, table};
    return sim::MakeLongFrame(da, sa, 0x6C, d);
}

Bytes IdentReq(std::uint8_t da, std::uint8_t service)
{
    const std::uint8_t d[] = {service};
    return sim::MakeLongFrame(da, 0, 0x6C, d);
}

Bytes WriteReq(std::uint8_t da, std::uint8_t table, const Bytes& data)
{
    Bytes d = {0x02, table};
    d.insert(d.end(), data.begin(), data.end());
    return sim::MakeLongFrame(da, 0, 0x63, d);
}

float F32(const Bytes& b, std::size_t at)
{
    return sim::GetFloatLe(b.data() + at);
}

const Bytes kAckFrom1 = {0x10, 0x00, 0x01, 0x00, 0x01, 0x16};

} // namespace

TEST(SimStation, AnswersTableReadsWithTheTableBytes)
{
    SimStation st(5);
    st.Instrument().SetFixedInput(12.0);
    const Plan p = Send(st, {0x68, 0x05, 0x05, 0x68, 0x05, 0x00, 0x6C, 0x01, 0x00, 0x72, 0x16});
    ASSERT_TRUE(p.for_us);
    EXPECT_EQ(p.kind, RequestKind::ReadTable);
    ASSERT_EQ(p.answer.size(), 17u);
    // 68 0B 0B 68, to the master (0) from 5, FC 08, eight data bytes, FCS, 16.
    EXPECT_EQ(Bytes(p.answer.begin(), p.answer.begin() + 7), (Bytes{0x68, 0x0B, 0x0B, 0x68, 0x00, 0x05, 0x08}));
    EXPECT_EQ(p.answer[16], 0x16);
    std::size_t len = 0;
    EXPECT_EQ(sim::ScanFrame(p.answer.data(), p.answer.size(), len), sim::ScanResult::Valid);
    EXPECT_FLOAT_EQ(F32(p.answer, 7), 60.0f); // 12 mA of 0..20 mA, scale 100
    EXPECT_FLOAT_EQ(F32(p.answer, 11), 0.0f);

    const std::size_t sizes[] = {17, 21, 17, 10};
    for (std::uint8_t t = 0; t < 4; ++t)
        EXPECT_EQ(Send(st, ReadReq(5, 0, t)).answer.size(), sizes[t]) << int(t);
    EXPECT_EQ(st.ReadsOf(0), 2u);
    EXPECT_EQ(st.ReadsOf(3), 1u);
    EXPECT_EQ(st.Requests(), 5u);
}

TEST(SimStation, IgnoresBroadcastOtherStationsAndUnknownRequests)
{
    SimStation st(3);
    for (std::uint8_t da : {std::uint8_t{127}, std::uint8_t{4}, std::uint8_t{0}}) {
        const Plan p = Send(st, ReadReq(da, 0, 0));
        EXPECT_FALSE(p.for_us);
        EXPECT_TRUE(p.answer.empty());
    }
    EXPECT_EQ(st.Requests(), 0u);
    // Addressed but not understood: no table 4 read, no unknown service.
    EXPECT_TRUE(Send(st, ReadReq(3, 0, 4)).answer.empty());
    EXPECT_TRUE(Send(st, IdentReq(3, 0x07)).answer.empty());
    EXPECT_EQ(st.Ignored(), 2u);
}

TEST(SimStation, WrittenParametersReadBackUnchanged)
{
    SimStation st(1);
    // SP_SUM 100.0, DP 1, CONFIG 0x05, FILTR 1.
    const Bytes req = {0x68, 0x0D, 0x0D, 0x68, 0x01, 0x00, 0x63, 0x02, 0x02, 0x00,
                       0x00, 0xC8, 0x42, 0x01, 0x05, 0x01, 0x00, 0x79, 0x16};
    const Plan w = Send(st, req);
    EXPECT_EQ(w.kind, RequestKind::WriteTable);
    EXPECT_EQ(w.answer, kAckFrom1);
    const Plan r = Send(st, ReadReq(1, 0, 2));
    EXPECT_EQ(Bytes(r.answer.begin() + 7, r.answer.end() - 2), (Bytes{0x00, 0x00, 0xC8, 0x42, 0x01, 0x05, 0x01, 0x00}));

    // Table 1 with bit patterns no arithmetic would keep (a NaN, -0).
    const Bytes t1 = {0x01, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x20, 0x41};
    EXPECT_EQ(Send(st, WriteReq(1, 1, t1)).answer, kAckFrom1);
    const Plan r1 = Send(st, ReadReq(1, 0, 1));
    EXPECT_EQ(Bytes(r1.answer.begin() + 7, r1.answer.end() - 2), t1);
    EXPECT_EQ(st.WritesOf(1), 1u);
    EXPECT_EQ(st.WritesOf(2), 1u);
}

TEST(SimStation, RefusesWritesThatDoNotFitAndKeepsTheOldContent)
{
    SimStation st(1);
    const Bytes before = Send(st, ReadReq(1, 0, 1)).answer;
    const Bytes nack = {0x10, 0x00, 0x01, 0x01, 0x02, 0x16};
    EXPECT_EQ(Send(st, WriteReq(1, 1, Bytes(11, 0))).answer, nack); // too short
    EXPECT_EQ(Send(st, WriteReq(1, 0, Bytes(8, 0))).answer, nack);  // read-only
    EXPECT_EQ(Send(st, WriteReq(1, 5, Bytes(1, 0))).answer, nack);  // no such table
    EXPECT_EQ(Send(st, WriteReq(1, 3, {127})).answer, nack);        // broadcast address
    EXPECT_EQ(Send(st, WriteReq(1, 4, {0x00})).answer, nack);       // not the reset byte
    EXPECT_EQ(Send(st, ReadReq(1, 0, 1)).answer, before);
    EXPECT_EQ(st.Instrument().Address(), 1);
}

TEST(SimStation, AddressChangeIsAcknowledgedFromTheOldAddress)
{
    SimStation st(1);
    // 68 06 06 68 01 00 63 02 03 07 70 16: address 7.
    const Plan w = Send(st, {0x68, 0x06, 0x06, 0x68, 0x01, 0x00, 0x63, 0x02, 0x03, 0x07, 0x70, 0x16});
    EXPECT_EQ(w.answer, kAckFrom1);
    EXPECT_EQ(st.Instrument().Address(), 7);
    EXPECT_FALSE(Send(st, ReadReq(1, 0, 3)).for_us);
    const Plan r = Send(st, ReadReq(7, 0, 3));
    ASSERT_EQ(r.answer.size(), 10u);
    EXPECT_EQ(r.answer[5], 7); // answered from the new address
    EXPECT_EQ(r.answer[7], 7); // and the table holds it
}

TEST(SimStation, ProbeIdentificationAndMasterAddress)
{
    SimStation st(3);
    EXPECT_EQ(Send(st, {0x10, 0x03, 0x00, 0x69, 0x6C, 0x16}).answer, (Bytes{0x10, 0x00, 0x03, 0x00, 0x03, 0x16}));
    // The answer goes to whichever master asked.
    const Plan r = Send(st, ReadReq(3, 9, 3));
    EXPECT_EQ(r.answer[4], 9);

    st.Instrument().SetTypeText("TYP X");
    const Plan t = Send(st, IdentReq(3, 0x00));
    EXPECT_EQ(t.kind, RequestKind::IdentType);
    EXPECT_EQ(t.answer[1], 8); // L = 5 text bytes + 3
    EXPECT_EQ(std::string(t.answer.begin() + 7, t.answer.end() - 2), "TYP X");
    const Plan v = Send(st, IdentReq(3, 0x04));
    EXPECT_EQ(v.kind, RequestKind::IdentVersion);
    EXPECT_EQ(std::string(v.answer.begin() + 7, v.answer.end() - 2), st.Instrument().VersionText());

    // The longest text fills a 255-byte answer; longer ones are cut.
    st.Instrument().SetTypeText(std::string(300, 'A'));
    const Plan longest = Send(st, IdentReq(3, 0x00));
    EXPECT_EQ(longest.answer.size(), 255u);
    EXPECT_EQ(longest.answer[1], 249);
}

TEST(SimStation, SumResetAndIntegrationOnAControlledClock)
{
    SimStation st(0);
    sim::SimInstrument& in = st.Instrument();
    in.SetFixedInput(12.0); // 60 % of 0..20 mA: value 60
    in.AdvanceTo(30.0);
    EXPECT_NEAR(in.Sum(), 30.0, 1e-6); // 60 per minute for half a minute
    const Plan r = Send(st, ReadReq(0, 0, 0), 60.0);
    EXPECT_NEAR(F32(r.answer, 11), 60.0f, 1e-3);
    // Time never runs backwards.
    in.AdvanceTo(50.0);
    EXPECT_NEAR(in.Sum(), 60.0, 1e-6);

    EXPECT_EQ(Send(st, {0x68, 0x06, 0x06, 0x68, 0x00, 0x00, 0x63, 0x02, 0x04, 0x5A, 0xC3, 0x16}, 60.0).answer,
              (Bytes{0x10, 0x00, 0x00, 0x00, 0x00, 0x16}));
    EXPECT_EQ(in.Sum(), 0.0);
    EXPECT_EQ(st.WritesOf(4), 1u);

    // Per hour (bit 3): an hour at 60 adds 60.
    Bytes t2 = st.Instrument().ReadTable(2);
    t2[5] = sim::kConfigPerHour;
    ASSERT_EQ(in.WriteTable(2, t2), sim::WriteResult::Accepted);
    in.AdvanceTo(60.0 + 3600.0);
    EXPECT_NEAR(in.Sum(), 60.0, 1e-6);
}

TEST(SimStation, InputRangeFunctionAndScaleShapeTheMeasuredValue)
{
    sim::SimInstrument in(0);
    auto set_config = [&in](std::uint8_t cfg, float scale) {
        Bytes t2 = in.ReadTable(2);
        t2[5] = cfg;
        in.WriteTable(2, t2);
        Bytes t1 = in.ReadTable(1);
        sim::PutFloatLe(t1.data(), scale);
        in.WriteTable(1, t1);
    };
    in.SetFixedInput(12.0);
    set_config(0, 100.0f);
    EXPECT_FLOAT_EQ(in.MeasuredValue(), 60.0f);
    set_config(sim::kConfig4to20, 100.0f);
    EXPECT_FLOAT_EQ(in.MeasuredValue(), 50.0f);
    set_config(sim::kConfigSqrt, 100.0f);
    EXPECT_NEAR(in.MeasuredValue(), 100.0 * std::sqrt(0.6), 1e-4);
    set_config(sim::kConfig4to20 | sim::kConfigSqrt, 250.0f);
    EXPECT_NEAR(in.MeasuredValue(), 250.0 * std::sqrt(0.5), 1e-4);
    // A broken 4..20 mA loop reads zero, not a negative or NaN root.
    in.SetFixedInput(1.0);
    EXPECT_EQ(in.MeasuredValue(), 0.0f);
    in.SetFixedInput(25.0);
    EXPECT_FLOAT_EQ(in.MeasuredValue(), 250.0f);
}

TEST(SimStation, FreeRunningSignalIsSlowAndStaysInRange)
{
    sim::SimInstrument in(0);
    double lo = 1e9;
    double hi = -1e9;
    double prev = in.InputMa();
    double biggest_step = 0.0;
    for (int s = 1; s <= 480; ++s) {
        in.AdvanceTo(s);
        const double ma = in.InputMa();
        lo = std::min(lo, ma);
        hi = std::max(hi, ma);
        biggest_step = std::max(biggest_step, std::abs(ma - prev));
        prev = ma;
    }
    EXPECT_GT(lo, 4.0);
    EXPECT_LT(hi, 20.0);
    EXPECT_GT(hi - lo, 10.0);      // it does move over its period
    EXPECT_LT(biggest_step, 0.25); // and smoothly from second to second
    // The sum is the integral of the value: over whole periods the mean 60.
    EXPECT_NEAR(in.Sum(), 60.0 * 8.0, 0.5);
}

TEST(SimStationFaults, EachFaultAltersTheAnswerAsNamed)
{
    SimStation st(2);
    const Bytes req = ReadReq(2, 0, 0);
    const Bytes good = Send(st, req).answer;
    std::size_t len = 0;
    auto valid = [&len](const Bytes& b) {
        return sim::ScanFrame(b.data(), b.size(), len) == sim::ScanResult::Valid && len == b.size();
    };

    st.Faults().Set(Fault::NoAnswer, 1);
    EXPECT_TRUE(Send(st, req).answer.empty());

    st.Faults().Set(Fault::BadFcs, 1);
    Bytes a = Send(st, req).answer;
    EXPECT_FALSE(valid(a));
    EXPECT_NE(a[15], good[15]);

    st.Faults().Set(Fault::WrongFc, 1);
    a = Send(st, req).answer;
    EXPECT_TRUE(valid(a));
    EXPECT_EQ(a[6], 0x09);

    st.Faults().Set(Fault::Cut, 1, 4);
    EXPECT_EQ(Send(st, req).answer.size(), 13u);

    st.Faults().Set(Fault::Garbage, 1, 3);
    a = Send(st, req).answer;
    ASSERT_EQ(a.size(), 20u);
    EXPECT_TRUE(valid(Bytes(a.begin() + 3, a.end())));
    EXPECT_NE(a[0], 0x68);

    st.Faults().Set(Fault::OtherSource, 1, 44);
    a = Send(st, req).answer;
    EXPECT_TRUE(valid(a));
    EXPECT_EQ(a[5], 44);

    st.Faults().Set(Fault::Delay, 1, 300);
    st.Faults().Set(Fault::Pause, 1, 150);
    const Plan p = Send(st, req);
    EXPECT_EQ(p.delay_ms, 300);
    EXPECT_EQ(p.pause_ms, 150);
    EXPECT_EQ(p.pause_at, 8u);

    // All used up: the next answer is the plain one again.
    const Plan plain = Send(st, req);
    EXPECT_TRUE(valid(plain.answer));
    EXPECT_EQ(plain.answer[6], 0x08);
    EXPECT_EQ(plain.delay_ms, 0);
    EXPECT_EQ(plain.pause_ms, 0);
}

TEST(SimStationFaults, FaultsApplyOnlyToTheirKindOfAnswerAndCountDown)
{
    SimStation st(2);
    // FC 0x09 concerns data answers: a probe's acknowledgement stays positive
    // and does not use the fault up.
    st.Faults().Set(Fault::WrongFc, 2);
    EXPECT_EQ(Send(st, {0x10, 0x02, 0x00, 0x69, 0x6B, 0x16}).answer[3], 0x00);
    EXPECT_EQ(st.Faults().Remaining(Fault::WrongFc), 2);
    EXPECT_EQ(Send(st, ReadReq(2, 0, 0)).answer[6], 0x09);
    EXPECT_EQ(Send(st, ReadReq(2, 0, 0)).answer[6], 0x09);
    EXPECT_EQ(Send(st, ReadReq(2, 0, 0)).answer[6], 0x08);

    // Always: stays until cleared.
    st.Faults().Set(Fault::NoAnswer);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(Send(st, ReadReq(2, 0, 1)).answer.empty());
    st.Faults().Clear(Fault::NoAnswer);
    EXPECT_FALSE(Send(st, ReadReq(2, 0, 1)).answer.empty());
}

TEST(SimStationFaults, RefusedWriteChangesNothing)
{
    SimStation st(1);
    st.Faults().Set(Fault::RefuseWrites, 1);
    // A read is not a write: the fault waits for one.
    EXPECT_EQ(Send(st, ReadReq(1, 0, 3)).answer[6], 0x08);
    const Plan w = Send(st, WriteReq(1, 3, {9}));
    EXPECT_EQ(w.answer, (Bytes{0x10, 0x00, 0x01, 0x02, 0x03, 0x16}));
    EXPECT_EQ(st.Instrument().Address(), 1);
    st.Instrument().SetFixedInput(10.0);
    st.Instrument().AdvanceTo(60.0);
    st.Faults().Set(Fault::RefuseWrites, 1);
    Send(st, WriteReq(1, 4, {0x5A}), 60.0);
    EXPECT_GT(st.Instrument().Sum(), 0.0);
    // The next write goes through.
    EXPECT_EQ(Send(st, WriteReq(1, 3, {9}), 60.0).answer, kAckFrom1);
    EXPECT_EQ(st.Instrument().Address(), 9);
}

TEST(SimStationFaults, ForeignIdentificationIsRejectedByTheNormalCheckButCarriesThreeFields)
{
    SimStation st(0);
    st.SetForeignFields("FIELD ONE", "FIELD TWO", std::string(40, 'x'));
    st.Faults().Set(Fault::ForeignIdent);
    // Table reads are unaffected.
    EXPECT_EQ(Send(st, ReadReq(0, 0, 0)).answer[6], 0x08);
    for (std::uint8_t service : {std::uint8_t{0x00}, std::uint8_t{0x04}}) {
        const Bytes a = Send(st, IdentReq(0, service)).answer;
        ASSERT_EQ(a.size(), 106u);
        const std::size_t L = a[1];
        EXPECT_EQ(L, 100u);
        EXPECT_NE(a[6], 0x08); // not a data answer of this family
        // From byte 8 on: three space-filled 32-character fields.
        const std::string text(a.begin() + 8, a.begin() + 8 + static_cast<std::ptrdiff_t>(L - 4));
        EXPECT_EQ(text.substr(0, 32), "FIELD ONE" + std::string(23, ' '));
        EXPECT_EQ(text.substr(32, 32), "FIELD TWO" + std::string(23, ' '));
        EXPECT_EQ(text.substr(64, 32), std::string(32, 'x'));
    }
}

TEST(SimStationFaults, AForeignTextIsSentAsItIsAndCutToWhatAFrameHolds)
{
    SimStation st(0);
    st.Faults().Set(Fault::ForeignIdent);
    struct Case {
        std::string text;
        std::size_t sent;
    };
    for (const Case& c : {Case{"RX7", 3}, Case{std::string(100, 'q'), 100}, Case{std::string(300, 'q'), 245}}) {
        st.SetForeignText(c.text);
        const Bytes a = Send(st, IdentReq(0, 0x00)).answer;
        ASSERT_EQ(a.size(), c.sent + 10);
        EXPECT_EQ(a[1], c.sent + 4); // header byte and text after DA, SA, FC
        EXPECT_EQ(std::string(a.begin() + 8, a.end() - 2), c.text.substr(0, c.sent));
    }
}

TEST(SimStationFaults, VanishAfterKExchanges)
{
    SimStation st(0);
    st.Faults().Set(Fault::Vanish, 3);
    EXPECT_FALSE(Send(st, ReadReq(0, 0, 0)).vanish);
    EXPECT_FALSE(Send(st, ReadReq(5, 0, 0)).vanish); // not an exchange with us
    EXPECT_FALSE(Send(st, ReadReq(0, 0, 1)).vanish);
    const Plan last = Send(st, ReadReq(0, 0, 2));
    EXPECT_TRUE(last.vanish);
    EXPECT_FALSE(last.answer.empty()); // the third exchange is still answered
}

TEST(SimStationFaults, UnplugCutsTheAnswerAfterKExchangesAndE5AcknowledgesWrites)
{
    SimStation st(0);
    st.Faults().Set(Fault::Unplug, 2);
    EXPECT_FALSE(Send(st, ReadReq(0, 0, 0)).vanish);
    const Plan pulled = Send(st, ReadReq(0, 0, 0));
    EXPECT_TRUE(pulled.vanish);
    EXPECT_EQ(pulled.unplug_at, pulled.answer.size() / 2) << "half the answer goes out";

    SimStation e5(1);
    e5.Faults().Set(Fault::E5Ack, 1);
    const Plan ack = Send(e5, WriteReq(1, 3, {9}));
    EXPECT_EQ(ack.answer, Bytes{0xE5});
    EXPECT_EQ(e5.Instrument().Address(), 9) << "the write is applied";
    EXPECT_EQ(Send(e5, WriteReq(9, 4, {0x5A})).answer.size(), 6u) << "one answer only";
}

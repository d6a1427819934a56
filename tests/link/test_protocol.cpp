// The link operations against a scripted in-memory port: the exact requests,
// how answers are judged, and the order of reads, re-sends and purges.
#include "link_test_base.h"

#include <cstring>
#include <string>

using Op = FakeLinkPort::Op;

namespace {

const Bytes kTable0Answer = hex("68 0B 0B 68 00 01 08 00 00 48 41 00 00 C8 42 9C 16");
const Bytes kAckPositive = hex("10 00 03 00 03 16");
const Bytes kAckRefused = hex("10 00 03 01 04 16");

// Text answer to an identification request.
Bytes text_answer(const std::string& text)
{
    return data_answer(0, 1, Bytes(text.begin(), text.end()));
}

} // namespace

class ProtocolTest : public LinkTestBase {};

// ---- read_table ----------------------------------------------------------

TEST_F(ProtocolTest, ReadTable0SendsTheRequestAndUnpacksTheAnswer)
{
    set_dest_address(5);
    port.answer(kTable0Answer); // from station 0 to 1: any station is taken

    EXPECT_EQ(read_table(0), 1);

    EXPECT_EQ(port.sequence(), "W R");
    EXPECT_EQ(port.writes().at(0), hex("68 05 05 68 05 00 6C 01 00 72 16"));
    EXPECT_EQ(port.read_sizes().at(0), 17u);
    EXPECT_FLOAT_EQ(meas_value, 12.5f);
    EXPECT_FLOAT_EQ(sum_value, 100.0f);
    EXPECT_EQ(link_fc(), 0x6C);
    EXPECT_EQ(link_le(), 5);
}

TEST_F(ProtocolTest, ReadTableAsksForEachTablesLength)
{
    set_dest_address(9);
    set_source_address(2);
    const std::uint32_t expected_reads[4] = {17, 21, 17, 10};
    for (std::uint8_t t = 0; t < 4; ++t) {
        port.events.clear();
        port.silence();
        EXPECT_EQ(read_table(t), 0);
        const auto sum = static_cast<std::uint8_t>(9 + 2 + 0x6C + 0x01 + t);
        EXPECT_EQ(port.writes().at(0), (Bytes{0x68, 5, 5, 0x68, 9, 2, 0x6C, 0x01, t, sum, 0x16})) << int(t);
        EXPECT_EQ(port.read_sizes().at(0), expected_reads[t]) << int(t);
    }
}

TEST_F(ProtocolTest, ReadTable2ChangesAllItsVariablesTogether)
{
    SCALE = 3.0f;
    port.answer(data_answer(1, 0, hex("00 00 C8 42 03 2A FE FF")));

    EXPECT_EQ(read_table(2), 1);

    EXPECT_FLOAT_EQ(SP_SUM, 100.0f);
    EXPECT_EQ(DP, 3);
    EXPECT_EQ(CONFIG, 0x2A);
    EXPECT_EQ(FILTR, -2);
    EXPECT_FLOAT_EQ(SCALE, 3.0f); // another table's variable stays
}

TEST_F(ProtocolTest, RejectedAnswersLeaveTheVariablesAndPurge)
{
    struct Case {
        const char* what;
        Bytes answer;
        std::uint8_t read_result = 1;
    };
    Bytes wrong_fc = kTable0Answer;
    wrong_fc[6] = 0x09;
    wrong_fc[15] = static_cast<std::uint8_t>(wrong_fc[15] + 1); // FCS still right
    Bytes wrong_fcs = kTable0Answer;
    wrong_fcs[15] ^= 0x01;
    Bytes lengths_differ = kTable0Answer;
    lengths_differ[2] = 0x0C;
    Bytes no_end = kTable0Answer;
    no_end[16] = 0x00;
    Bytes wrong_start = kTable0Answer;
    wrong_start[0] = 0x10;
    Bytes one_short(kTable0Answer.begin(), kTable0Answer.end() - 1);
    // A complete 3-byte-long frame followed by eight more bytes: the frame is
    // sound but carries none of the table's bytes.
    Bytes empty_frame_and_filler = data_answer(0, 1, {});
    empty_frame_and_filler.resize(17, 0x41);
    const Case cases[] = {
        {"FC 0x09", wrong_fc},
        {"wrong FCS", wrong_fcs},
        {"bytes 1 and 2 differ", lengths_differ},
        {"end byte missing", no_end},
        {"wrong start byte", wrong_start},
        {"16 of 17 bytes", one_short},
        {"nothing", {}},
        {"failed read call", kTable0Answer, 0},
        {"frame without the table's bytes", empty_frame_and_filler},
    };
    for (const auto& c : cases) {
        port.events.clear();
        meas_value = 7.0f;
        sum_value = 8.0f;
        port.answer(c.answer, c.read_result);

        EXPECT_EQ(read_table(0), 0) << c.what;

        EXPECT_EQ(port.sequence(), "W R Tx Rx") << c.what;
        EXPECT_FLOAT_EQ(meas_value, 7.0f) << c.what;
        EXPECT_FLOAT_EQ(sum_value, 8.0f) << c.what;
    }
}

TEST_F(ProtocolTest, ReadTableIgnoresAFailedWriteWhenAnAnswerCame)
{
    port.write_results.push_back(0);
    port.answer(kTable0Answer);
    EXPECT_EQ(read_table(0), 1);
    EXPECT_EQ(port.sequence(), "W R");
}

TEST_F(ProtocolTest, BroadcastReadSendsOnlyAndUnpacksNothing)
{
    set_dest_address(127);
    meas_value = 1.5f;
    port.answer(kTable0Answer); // must not be read

    EXPECT_EQ(read_table(0), 1);
    EXPECT_EQ(port.sequence(), "W");
    EXPECT_EQ(port.writes().at(0)[4], 127);
    EXPECT_FLOAT_EQ(meas_value, 1.5f);
    EXPECT_FLOAT_EQ(sum_value, 0.0f);

    port.events.clear();
    port.write_results.push_back(0);
    EXPECT_EQ(read_table(0), 0);
    EXPECT_EQ(port.sequence(), "W Tx Rx");
}

TEST_F(ProtocolTest, UnknownTableNumbersSendNothingAndTellTheUser)
{
    EXPECT_EQ(read_table(4), 0);
    EXPECT_EQ(read_table(255), 0);
    EXPECT_EQ(write_table(0), 0);
    EXPECT_EQ(write_table(4), 0);

    EXPECT_TRUE(port.events.empty());
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[0].first, "Chyba, číslo tabulky mimo rozsah.");
    EXPECT_EQ(messages[0].second, "Sériový Port");
    EXPECT_EQ(messages[1], messages[0]);
    EXPECT_EQ(messages[2].first, "Nepředvídaná chyba, špatně zadaná tabulka");
    EXPECT_EQ(messages[2].second, "DATA");
    EXPECT_EQ(messages[3], messages[2]);
}

TEST_F(ProtocolTest, WithoutAPortEveryOperationFails)
{
    link_set_port(nullptr);
    EXPECT_EQ(read_table(0), 0);
    EXPECT_EQ(write_table(1), 0);
    EXPECT_EQ(zero_sum(), 0);
    EXPECT_EQ(read_device_type(), 0);
    EXPECT_EQ(read_foreign_ident(), 0);
    EXPECT_EQ(probe_address(), 0);
}

// ---- writes --------------------------------------------------------------

TEST_F(ProtocolTest, WriteRequestsAreByteExact)
{
    SP_SUM = 100.0f;
    DP = 1;
    CONFIG = 0x05;
    FILTR = 1;
    dev_address = 7;
    SCALE = 1.0f;
    SP_ALA = -2.5f;
    HYSTER = 2.0f;
    for (int i = 0; i < 4; ++i)
        port.answer(kAckPositive);

    EXPECT_EQ(write_table(2), 1);
    EXPECT_EQ(write_table(3), 1);
    EXPECT_EQ(write_table(1), 1);
    EXPECT_EQ(zero_sum(), 1);

    ASSERT_EQ(port.sequence(), "W R W R W R W R");
    const auto w = port.writes();
    EXPECT_EQ(w[0], hex("68 0D 0D 68 01 00 63 02 02 00 00 C8 42 01 05 01 00 79 16"));
    EXPECT_EQ(w[1], hex("68 06 06 68 01 00 63 02 03 07 70 16"));
    EXPECT_EQ(w[2], hex("68 11 11 68 01 00 63 02 01 00 00 80 3F 00 00 20 C0 00 00 00 40 46 16"));
    EXPECT_EQ(w[3], hex("68 06 06 68 01 00 63 02 04 5A C4 16"));
    for (auto n : port.read_sizes())
        EXPECT_EQ(n, 6u);
}

TEST_F(ProtocolTest, WriteSendsConfigAsHeld)
{
    // The parameters dialog clears bits 6 and 7; packing does not alter them.
    CONFIG = 0xC5;
    port.answer(kAckPositive);
    EXPECT_EQ(write_table(2), 1);
    EXPECT_EQ(port.writes().at(0)[14], 0xC5);
    EXPECT_EQ(CONFIG, 0xC5);
}

TEST_F(ProtocolTest, UnansweredWriteIsSentThreeTimes)
{
    set_dest_address(3);
    EXPECT_EQ(zero_sum(), 0);

    EXPECT_EQ(port.sequence(), "W R W R W Tx Rx");
    const auto w = port.writes();
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0], hex("68 06 06 68 03 00 63 02 04 5A C6 16"));
    EXPECT_EQ(w[1], w[0]);
    EXPECT_EQ(w[2], w[0]);
}

TEST_F(ProtocolTest, RefusedWriteIsReadAgainWithoutSending)
{
    port.answer(kAckRefused);
    port.answer(hex("10")); // short: sent again, not awaited
    EXPECT_EQ(write_table(3), 0);
    EXPECT_EQ(port.sequence(), "W R R W Tx Rx");
    EXPECT_EQ(port.writes().at(1), port.writes().at(0));

    port.events.clear();
    port.answer(kAckRefused);
    port.answer(kAckRefused);
    EXPECT_EQ(write_table(3), 0);
    EXPECT_EQ(port.sequence(), "W R R Tx Rx");

    port.events.clear();
    port.answer(kAckRefused);
    port.answer(kAckPositive);
    EXPECT_EQ(write_table(3), 1);
    EXPECT_EQ(port.sequence(), "W R R");
}

TEST_F(ProtocolTest, ShortAcknowledgementIsFollowedByAResend)
{
    port.answer(hex("10 00 03 00 03")); // five of six bytes
    port.answer(kAckPositive);
    EXPECT_EQ(write_table_byte(4, 0x5A), 1);
    EXPECT_EQ(port.sequence(), "W R W R");

    port.events.clear();
    port.answer(kAckPositive, 0); // the read call failed
    port.answer(kAckPositive);
    EXPECT_EQ(write_table_byte(4, 0x5A), 1);
    EXPECT_EQ(port.sequence(), "W R W R");
}

TEST_F(ProtocolTest, OnlyASoundPositiveAcknowledgementCounts)
{
    const char* negatives[] = {
        "10 00 03 00 04 16", // FCS wrong
        "10 00 03 00 03 17", // end byte wrong
        "68 00 03 00 03 16", // start byte wrong
        "10 00 03 01 04 16", // refusal
    };
    for (const char* a : negatives) {
        port.events.clear();
        port.answer(hex(a));
        port.answer(hex(a));
        EXPECT_EQ(write_table(3), 0) << a;
        EXPECT_EQ(port.sequence(), "W R R Tx Rx") << a;
    }
    // Bytes 1 and 2 are not examined.
    port.events.clear();
    port.answer(hex("10 7F 55 00 D4 16"));
    EXPECT_EQ(write_table(3), 1);
}

// ---- probe_address -------------------------------------------------------

TEST_F(ProtocolTest, ProbeAddress)
{
    set_dest_address(3);
    port.answer(kAckPositive);
    EXPECT_EQ(probe_address(), 1);
    EXPECT_EQ(port.writes().at(0), hex("10 03 00 69 6C 16"));
    EXPECT_EQ(port.read_sizes().at(0), 6u);
    EXPECT_EQ(link_fc(), 0x69);

    port.answer(kAckRefused);
    EXPECT_EQ(probe_address(), 0);
    port.answer(hex("10 00 03 00 03"));
    EXPECT_EQ(probe_address(), 0);
    port.silence();
    EXPECT_EQ(probe_address(), 0);
    // No retry and no purge in any of these.
    EXPECT_EQ(port.sequence(), "W R W R W R W R");
}

TEST_F(ProtocolTest, ProbeWithAFailedWriteReadsNothing)
{
    port.write_results.push_back(0);
    port.answer(kAckPositive);
    EXPECT_EQ(probe_address(), 0);
    EXPECT_EQ(port.sequence(), "W");
}

// ---- identification ------------------------------------------------------

TEST_F(ProtocolTest, IdentificationRequests)
{
    set_dest_address(5);
    set_source_address(2);
    port.answer(text_answer("ORBENA 52"));
    port.answer(text_answer("v1.07"));

    EXPECT_EQ(read_device_type(), 1);
    EXPECT_EQ(read_device_version(), 1);

    EXPECT_EQ(port.sequence(), "W R W R");
    EXPECT_EQ(port.writes().at(0), hex("68 04 04 68 05 02 6C 00 73 16"));
    EXPECT_EQ(port.writes().at(1), hex("68 04 04 68 05 02 6C 04 77 16"));
    EXPECT_EQ(port.read_sizes(), (std::vector<std::uint32_t>{255, 255}));
    EXPECT_STREQ(device_type_area(), "ORBENA 52");
    EXPECT_STREQ(device_version_area(), "v1.07");
    EXPECT_TRUE(pauses.empty());
}

TEST_F(ProtocolTest, ShortIdentificationAnswerIsAskedForAgainAfter100Ms)
{
    const Bytes full = text_answer("ORBENA 52 typ B");
    port.answer(Bytes(full.begin(), full.begin() + 10));
    port.answer(full);

    EXPECT_EQ(read_device_type(), 1);

    EXPECT_EQ(port.sequence(), "W R W R");
    EXPECT_EQ(port.writes().at(1), port.writes().at(0));
    EXPECT_EQ(pauses, std::vector<int>{100});
    EXPECT_STREQ(device_type_area(), "ORBENA 52 typ B");

    // Nothing at all on the first read is asked for again as well.
    port.events.clear();
    pauses.clear();
    port.silence();
    port.answer(text_answer("A1"));
    EXPECT_EQ(read_device_version(), 1);
    EXPECT_EQ(port.sequence(), "W R W R");
    EXPECT_EQ(pauses, std::vector<int>{100});
    EXPECT_STREQ(device_version_area(), "A1");
}

TEST_F(ProtocolTest, IdentificationJudgesOnlyTheLastRead)
{
    port.answer(text_answer("OLD"));
    ASSERT_EQ(read_device_type(), 1);

    // The first read gets a sound frame plus a stray byte, the second gets
    // nothing. The receive buffer still holds a sound frame, which must not
    // count.
    port.events.clear();
    Bytes with_tail = text_answer("NEW");
    with_tail.push_back(0x16);
    port.answer(with_tail);
    port.silence();

    EXPECT_EQ(read_device_type(), 0);
    EXPECT_EQ(port.sequence(), "W R W R"); // nothing purged
    EXPECT_STREQ(device_type_area(), "OLD");
}

TEST_F(ProtocolTest, FailedIdentificationKeepsTheArea)
{
    port.answer(text_answer("KEEP"));
    ASSERT_EQ(read_device_version(), 1);

    Bytes bad_fcs = text_answer("LOSE");
    bad_fcs[bad_fcs.size() - 2] ^= 0x80;
    port.answer(bad_fcs);
    port.answer(bad_fcs);
    EXPECT_EQ(read_device_version(), 0);
    EXPECT_STREQ(device_version_area(), "KEEP");
}

TEST_F(ProtocolTest, LongestIdentificationTextKeepsItsTerminatingZeros)
{
    // 246 text bytes: L = 249, a 255-byte answer that fills the read.
    const std::string text(246, 'X');
    const Bytes answer = text_answer(text);
    ASSERT_EQ(answer.size(), 255u);

    port.answer(answer);
    ASSERT_EQ(read_device_type(), 1);

    const char* area = device_type_area();
    EXPECT_EQ(std::string(area, 246), text);
    for (int i = 246; i < kIdentAreaSize; ++i)
        EXPECT_EQ(area[i], 0) << i;

    // A shorter text after it leaves nothing of the longer one behind.
    port.answer(text_answer("short"));
    ASSERT_EQ(read_device_type(), 1);
    for (int i = 5; i < kIdentAreaSize; ++i)
        ASSERT_EQ(area[i], 0) << i;
}

TEST_F(ProtocolTest, ForeignIdentificationLengthLimits)
{
    struct Case {
        Bytes answer;
        std::uint8_t read_result;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {hex("68 04 04 68 00 00 08 00 0C 16"), 1, 0}, // L 4
        {hex("68 05"), 1, 1},                         // L 5, just the length
        {hex("68 7F"), 1, 1},                         // L 127
        {hex("68 80"), 1, 0},                         // L 128
        {hex("68"), 1, 0},                            // no length byte
        {{}, 1, 0},
        {hex("68 05 05 68 00 00 08 00 41 4E 16"), 0, 0}, // failed read call
    };
    set_dest_address(4);
    for (const auto& c : cases) {
        port.events.clear();
        port.answer(c.answer, c.read_result);
        EXPECT_EQ(read_foreign_ident(), c.expected) << ::testing::PrintToString(c.answer);
        ASSERT_EQ(port.sequence(), "W R");
        EXPECT_EQ(port.writes().at(0), hex("68 04 04 68 04 00 6C 00 70 16"));
        EXPECT_EQ(port.read_sizes().at(0), 254u);
    }
}

TEST_F(ProtocolTest, ForeignIdentificationNeverCopiesStaleBytes)
{
    // An earlier exchange leaves a long text in the receive buffer.
    port.answer(text_answer(std::string(200, 'S')));
    ASSERT_EQ(read_device_type(), 1);

    // Another family's answer claims L = 120 but only 12 bytes arrive.
    port.answer(hex("68 78 78 68 00 00 08 00 46 4F 52 45"));
    EXPECT_EQ(read_foreign_ident(), 1);
    const char* area = foreign_ident_area();
    EXPECT_EQ(std::string(area), "FORE");
    for (int i = 4; i < kIdentAreaSize; ++i)
        ASSERT_EQ(area[i], 0) << i;

    // Fewer than 9 bytes: success by the length byte, yet an empty area.
    port.answer(hex("68 78 78 68 00 00 08 00"));
    EXPECT_EQ(read_foreign_ident(), 1);
    for (int i = 0; i < kIdentAreaSize; ++i)
        ASSERT_EQ(area[i], 0) << i;
}

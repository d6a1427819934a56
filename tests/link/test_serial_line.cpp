// The serial port of this platform (termios on Linux, the Win32 back end
// under wine) over a pseudo-terminal, with the test or the simulated
// instrument on the far side: read time-outs, purging, binary transparency,
// the open error of a port that does not exist, and whole exchanges of the
// link. The same tests on both platforms: the time-outs and messages are the
// same there.
//
// What the Win32 back end does that wine cannot show, and so is not tested
// here: exclusive opening (wine opens a COM port a second time although the
// first opening shares nothing), even parity and the line errors that abort
// later calls (a pty has no parity and no line errors), and the driver's queue
// sizes (wine accepts any). The termios twin's exclusive opening and line
// settings are checked in test_serial_posix.cpp.
#include "ComPort.h"
#include "DeviceTables.h"
#include "KxError.h"
#include "Protokol_spol.h"
#include "line_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Prints a measured time, so a run shows the platform's real figures.
void Report(const char* what, double ms)
{
    std::printf("[ measured ] %s: %.1f ms\n", what, ms);
}

std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const KxError& error) {
        return error.what();
    }
    return "(nothing raised)";
}

class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        peer_ = MakeLinePeer(error);
        if (!peer_)
            GTEST_SKIP() << error;
        ASSERT_TRUE(peer_->OpenLine(error)) << error;
        port_.com_index = peer_->Com();
        ASSERT_EQ(port_.OpenPort(peer_->Com()), 0);
    }

    void TearDown() override
    {
        port_.ClosePort();
        peer_.reset();
    }

    std::unique_ptr<LinePeer> peer_;
    ComPort port_;
};

TEST_F(SerialLineTest, ReadWithNoAnswerEndsAfterTheTotalTimeoutWithNothing)
{
    for (const std::uint32_t wanted : {6u, 64u}) {
        std::uint8_t buffer[64];
        std::uint32_t received = 99;
        const auto start = Clock::now();
        EXPECT_EQ(port_.ReadBytes(buffer, wanted, received), 1);
        const double elapsed = MsSince(start);
        Report(wanted == 6 ? "read of 6 bytes, no data" : "read of 64 bytes, no data", elapsed);
        EXPECT_EQ(received, 0u);
        // 2 ms per wanted byte + 500 ms
        EXPECT_GE(elapsed, 2.0 * wanted + 500.0 - 15.0) << wanted;
        EXPECT_LT(elapsed, 2.0 * wanted + 500.0 + 600.0) << wanted;
    }
}

TEST_F(SerialLineTest, ReadEndsWhenTheWantedBytesArrive)
{
    peer_->Write({1, 2, 3, 4, 5, 6, 7, 8});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    std::uint8_t buffer[16] = {};
    std::uint32_t received = 0;
    auto start = Clock::now();
    EXPECT_EQ(port_.ReadBytes(buffer, 5, received), 1);
    EXPECT_EQ(received, 5u);
    EXPECT_LT(MsSince(start), 300); // far from the 510 ms total time-out
    EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{1, 2, 3, 4, 5}));

    // The rest stays for the next read, which then waits for the silence.
    start = Clock::now();
    EXPECT_EQ(port_.ReadBytes(buffer, 16, received), 1);
    const double elapsed = MsSince(start);
    Report("read of 16 with 3 bytes waiting", elapsed);
    EXPECT_EQ(received, 3u);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{6, 7, 8}));
    EXPECT_GE(elapsed, 90);
    EXPECT_LT(elapsed, 450);
}

TEST_F(SerialLineTest, SilenceAfterTheLastByteEndsALongRead)
{
    // Five bytes 40 ms apart: each one restarts the 100 ms silence.
    peer_->WriteSpaced({1, 2, 3, 4, 5}, 40);
    std::uint8_t buffer[200];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port_.ReadBytes(buffer, 200, received), 1); // total would be 900 ms
    const double elapsed = MsSince(start);
    Report("read of 200, 5 bytes 40 ms apart", elapsed);
    EXPECT_EQ(Bytes(buffer, buffer + received), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_GE(elapsed, 250); // 4 gaps of 40 ms, then 100 ms of silence
    EXPECT_LT(elapsed, 750);
}

TEST_F(SerialLineTest, TrickleOfBytesIsCutOffByTheTotalTimeout)
{
    peer_->WriteSpaced(Bytes(60, 0x55), 50);
    std::uint8_t buffer[20];
    std::uint32_t received = 0;
    const auto start = Clock::now();
    EXPECT_EQ(port_.ReadBytes(buffer, 20, received), 1); // 2 ms x 20 + 500 ms
    const double elapsed = MsSince(start);
    peer_->StopWriting();
    Report("read of 20, a byte every 50 ms", elapsed);
    EXPECT_GE(received, 3u);
    EXPECT_LT(received, 20u);
    EXPECT_GE(elapsed, 520);
    EXPECT_LT(elapsed, 1100);
}

TEST_F(SerialLineTest, PurgeAndWriteDropStaleInput)
{
    std::uint8_t buffer[8];
    std::uint32_t count = 0;

    peer_->Write({0xE5, 0xE5, 0xE5});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port_.PurgeRx();
    EXPECT_EQ(port_.ReadBytes(buffer, 3, count), 1);
    EXPECT_EQ(count, 0u);

    // An answer left over from an earlier exchange is gone once the next
    // request is written; only the new answer is read.
    peer_->Write({0x68, 0x99, 0x99});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint8_t request[] = {0x10, 0x05, 0x01, 0x49, 0x4F, 0x16};
    EXPECT_EQ(port_.WriteBytes(request, 6, count), 1);
    EXPECT_EQ(count, 6u);
    EXPECT_EQ(peer_->ReadAll(200), Bytes(request, request + 6));
    peer_->Write({0xE5});
    EXPECT_EQ(port_.ReadBytes(buffer, 8, count), 1);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(buffer[0], 0xE5);
}

TEST_F(SerialLineTest, EveryByteValuePassesUnchangedBothWays)
{
    // Another program left the line with software flow control and line
    // editing; opening must undo both.
    port_.ClosePort();
    peer_->SpoilLineSettings();
    ASSERT_EQ(port_.OpenPort(peer_->Com()), 0);

    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = static_cast<std::uint8_t>(i);
    peer_->Write(all);
    Bytes got(256);
    std::uint32_t count = 0;
    EXPECT_EQ(port_.ReadBytes(got.data(), 256, count), 1);
    EXPECT_EQ(count, 256u);
    EXPECT_EQ(got, all);

    EXPECT_EQ(port_.WriteBytes(all.data(), 256, count), 1);
    EXPECT_EQ(peer_->ReadAll(200), all);

    // A received XOFF must not stop our output.
    peer_->Write({0x13});
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint8_t frame[] = {0x68, 0x11, 0x13, 0x16};
    auto writing = std::async(std::launch::async, [&] {
        std::uint32_t written = 0;
        return port_.WriteBytes(frame, 4, written);
    });
    if (writing.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        ADD_FAILURE() << "write blocked after a received XOFF";
        peer_->Write({0x11}); // XON lets the blocked write go on
    }
    EXPECT_EQ(writing.get(), 1);
    EXPECT_EQ(peer_->ReadAll(200), Bytes(frame, frame + 4));
}

// A COM number nothing stands for: no link (Linux), no wine device, and
// COM0, which never exists. The selection falls back to "žádný port".
TEST(SerialOpenError, PortThatDoesNotExistGivesTheOpenErrorNamingIt)
{
    for (const int n : {42, 0}) {
        ComPort port;
        port.com_index = n;
        EXPECT_EQ(port.OpenPort(n), 1) << n;
        EXPECT_EQ(port.com_index, 0);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(ErrorOf([&] { port.RaiseOpenError(); }), "Sériový port COM" + std::to_string(n) + " nelze otevřít");
        std::uint8_t byte = 0;
        std::uint32_t count = 7;
        EXPECT_EQ(port.ReadBytes(&byte, 1, count), 0);
        EXPECT_EQ(count, 0u);
    }
}

// Whole exchanges of the link through the real port to the simulated
// instrument: a table-0 reading, and a write that loses its acknowledgement.
class SerialSimulatorTest : public SerialLineTest {
protected:
    static constexpr std::uint8_t kAddress = 5;

    void SetUp() override
    {
        std::string error;
        peer_ = MakeLinePeer(error);
        if (!peer_)
            GTEST_SKIP() << error;
        ASSERT_TRUE(peer_->StartSimulator(kAddress, error)) << error;
        port_.com_index = peer_->Com();
        port_.baud_rate = 19200;
        ASSERT_EQ(port_.OpenPort(peer_->Com()), 0);
        reset_table_variables();
        link_set_port(&port_);
        link_set_sleep_hook(nullptr);
        link_set_message_handler(nullptr);
        set_dest_address(kAddress);
        set_source_address(0);
    }
    void TearDown() override
    {
        link_set_port(nullptr);
        SerialLineTest::TearDown();
    }
};

TEST_F(SerialSimulatorTest, TableZeroIsReadInOneExchange)
{
    const auto start = Clock::now();
    ASSERT_EQ(read_table(0), 1);
    Report("table 0 at 19200 bit/s", MsSince(start));
    EXPECT_FLOAT_EQ(meas_value, 60.0f); // 12 mA of 0..20 mA at scale 100
    EXPECT_GE(sum_value, 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(peer_->Requests(),
              (std::vector<Bytes>{{0x68, 0x05, 0x05, 0x68, 0x05, 0x00, 0x6C, 0x01, 0x00, 0x72, 0x16}}));
    EXPECT_EQ(peer_->ReadsOf(0), 1u);
}

// The program opens the port anew for every reading: each opening of the same
// line must configure it and read (under wine the peer's ptys need their line
// settings set again between openings for that).
TEST_F(SerialSimulatorTest, EveryOpeningOfTheSameLineReads)
{
    constexpr int kOpenings = 5;
    for (int opening = 0; opening < kOpenings; ++opening) {
        SCOPED_TRACE(opening);
        if (opening > 0) {
            port_.ClosePort();
            // About the program's pause between two readings, shortened.
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            ASSERT_EQ(port_.OpenPort(peer_->Com()), 0);
        }
        meas_value = 0.0f;
        ASSERT_EQ(read_table(0), 1);
        EXPECT_FLOAT_EQ(meas_value, 60.0f);
    }
    EXPECT_EQ(peer_->ReadsOf(0), static_cast<std::size_t>(kOpenings));
}

TEST_F(SerialSimulatorTest, WriteIsSentAgainWhileItsAcknowledgementIsMissing)
{
    struct Case {
        int lost;                // acknowledgements withheld (-1: all)
        std::uint8_t result;     // of write_table
        std::size_t min_arrived; // copies of the request the instrument got
        std::size_t max_arrived;
        double min_ms;
        double max_ms;
    };
    // Each lost acknowledgement costs a 6-byte read ended by its 512 ms
    // time-out; the third copy goes out unread and the line may drop it.
    const Case cases[] = {
        {1, 1, 2, 2, 500.0, 1000.0},
        {-1, 0, 2, 3, 1010.0, 1700.0},
    };
    for (const Case& c : cases) {
        std::string error;
        ASSERT_TRUE(peer_->StartSimulator(kAddress, error)) << error;
        ASSERT_TRUE(peer_->Inject("no-answer", c.lost, -1));
        ASSERT_EQ(port_.OpenPort(peer_->Com()), 0);
        SCALE = 11.0f;
        const auto start = Clock::now();
        EXPECT_EQ(write_table(1), c.result) << c.lost;
        const double elapsed = MsSince(start);
        Report(c.lost < 0 ? "write, no acknowledgement" : "write, first acknowledgement lost", elapsed);
        EXPECT_GE(elapsed, c.min_ms) << c.lost;
        EXPECT_LT(elapsed, c.max_ms) << c.lost;
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_GE(peer_->WritesOf(1), c.min_arrived) << c.lost;
        EXPECT_LE(peer_->WritesOf(1), c.max_arrived) << c.lost;
    }
}

} // namespace

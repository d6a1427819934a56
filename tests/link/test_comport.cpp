// The port operations over a scripted back end: the order of the calls, the
// exact message and clean-up of every failing step, and the behaviour of a
// closed port.
#include "ComPort.h"
#include "KxError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the fake back end was asked to do, and which step it refuses.
struct BackendScript {
    std::vector<std::string> calls;
    bool open = false;
    bool refuse_open = false;
    bool refuse_queues = false;
    bool refuse_timeouts = false;
    bool refuse_line_state = false;
    bool refuse_apply = false;
    bool read_ok = true;
    std::vector<std::uint8_t> input; // handed out by the next Read
    bool write_ok = true;
    std::size_t write_limit = 1000;
    std::vector<std::uint8_t> output;
    // When the last write, output purge and closing were asked for.
    std::chrono::steady_clock::time_point wrote_at, purged_tx_at, closed_at;
};

class ScriptedBackend final : public SerialBackend {
public:
    explicit ScriptedBackend(std::shared_ptr<BackendScript> script) : s_(std::move(script)) {}

    bool Open(const std::string& device_path) override
    {
        s_->calls.push_back("Open " + device_path);
        s_->open = !s_->refuse_open;
        return s_->open;
    }
    bool IsOpen() const override { return s_->open; }
    void Close() override
    {
        s_->calls.push_back("Close");
        s_->closed_at = std::chrono::steady_clock::now();
        s_->open = false;
    }
    bool SetQueues(std::uint32_t in, std::uint32_t out) override
    {
        s_->calls.push_back("SetQueues " + std::to_string(in) + " " + std::to_string(out));
        return !s_->refuse_queues;
    }
    bool SetTimeouts(std::uint32_t interval, std::uint32_t per_byte, std::uint32_t constant) override
    {
        s_->calls.push_back("SetTimeouts " + std::to_string(interval) + " " + std::to_string(per_byte) + " " +
                            std::to_string(constant));
        return !s_->refuse_timeouts;
    }
    bool ReadLineState() override
    {
        s_->calls.push_back("ReadLineState");
        return !s_->refuse_line_state;
    }
    void SetLineFormat(std::uint32_t baud) override { s_->calls.push_back("SetLineFormat " + std::to_string(baud)); }
    void SetSpeed(std::uint32_t baud) override { s_->calls.push_back("SetSpeed " + std::to_string(baud)); }
    bool ApplyLineState() override
    {
        s_->calls.push_back("ApplyLineState");
        return s_->open && !s_->refuse_apply;
    }
    void PurgeRx() override { s_->calls.push_back("PurgeRx"); }
    void PurgeTx() override
    {
        s_->calls.push_back("PurgeTx");
        s_->purged_tx_at = std::chrono::steady_clock::now();
    }
    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        s_->calls.push_back("Read " + std::to_string(wanted));
        received = 0;
        while (received < wanted && received < s_->input.size()) {
            buffer[received] = s_->input[received];
            ++received;
        }
        return s_->read_ok;
    }
    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        s_->calls.push_back("Write " + std::to_string(count));
        s_->wrote_at = std::chrono::steady_clock::now();
        written = count < s_->write_limit ? count : s_->write_limit;
        s_->output.assign(buffer, buffer + written);
        return s_->write_ok;
    }

private:
    std::shared_ptr<BackendScript> s_;
};

// The port as the settings form owns it: counts the fall-backs to
// "žádný port".
class CountingPort : public ComPort {
public:
    explicit CountingPort(std::unique_ptr<SerialBackend> backend) : ComPort(std::move(backend)) {}
    int resets = 0;

protected:
    void OnPortSelectionReset() override { ++resets; }
};

class ComPortTest : public ::testing::Test {
protected:
    std::shared_ptr<BackendScript> script = std::make_shared<BackendScript>();
    CountingPort port{std::make_unique<ScriptedBackend>(script)};

    // Runs OpenPort(n), which must raise; gives the message.
    std::string OpenPortError(std::int32_t n)
    {
        try {
            port.OpenPort(n);
        } catch (const KxError& error) {
            return error.what();
        }
        ADD_FAILURE() << "OpenPort(" << n << ") raised nothing";
        return {};
    }

    std::string RaiseError()
    {
        try {
            port.RaiseOpenError();
        } catch (const KxError& error) {
            return error.what();
        }
        return "(returned)";
    }

    std::vector<std::string> ConfigurationCalls(std::int32_t n, std::int32_t baud)
    {
        return {"Open " + DevicePathForCom(n),           "SetQueues 256 256", "SetTimeouts 100 2 500", "ReadLineState",
                "SetLineFormat " + std::to_string(baud), "ApplyLineState"};
    }
};

TEST_F(ComPortTest, OpeningConfiguresInOrderAndPurgesOutputBeforeInput)
{
    port.com_index = 3;
    port.baud_rate = 19200;
    EXPECT_EQ(port.OpenPort(3), 0);

    std::vector<std::string> expected = ConfigurationCalls(3, 19200);
    expected.push_back("PurgeTx");
    expected.push_back("PurgeRx");
    EXPECT_EQ(script->calls, expected);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.com_index, 3);
    EXPECT_EQ(port.resets, 0);
}

TEST_F(ComPortTest, SpeedOutsideTheDialogListIsStillApplied)
{
    port.baud_rate = 14400;
    ASSERT_EQ(port.OpenPort(1), 0);
    EXPECT_EQ(script->calls[4], "SetLineFormat 14400");

    // A negative stored speed must not wrap round to a huge one.
    port.ClosePort();
    script->calls.clear();
    port.baud_rate = -9600;
    script->refuse_apply = true;
    EXPECT_EQ(OpenPortError(1), "Nepodařila se reinicializace portu COM1");
    EXPECT_EQ(script->calls[4], "SetLineFormat 0");
}

TEST_F(ComPortTest, PortThatCannotBeOpenedResetsTheSelectionWithoutRaising)
{
    script->refuse_open = true;
    port.com_index = 2;
    EXPECT_EQ(port.OpenPort(2), 1);
    EXPECT_EQ(script->calls, std::vector<std::string>{"Open " + DevicePathForCom(2)});
    EXPECT_EQ(port.com_index, 0);
    EXPECT_EQ(port.resets, 1);
    EXPECT_EQ(port.port_name, "COM2");
    EXPECT_FALSE(port.IsOpen());

    EXPECT_EQ(RaiseError(), "Sériový port COM2 nelze otevřít");

    // "žádný port": COM0 never opens and the error names it.
    EXPECT_EQ(port.OpenPort(0), 1);
    EXPECT_EQ(RaiseError(), "Sériový port COM0 nelze otevřít");
    EXPECT_EQ(port.resets, 2);
}

// Each configuration step that fails after the port was opened: its message,
// the closing of the port, and the selection falling back to "žádný port".
struct StepFailure {
    const char* step;
    bool BackendScript::*refuse;
    std::size_t calls_before_close; // configuration calls made, the failing one included
    const char* message;
};

class ComPortStepFailure : public ComPortTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(ComPortStepFailure, ClosesResetsSelectionAndRaisesItsMessage)
{
    const StepFailure& failure = GetParam();
    (*script).*failure.refuse = true;
    port.com_index = 5;
    port.baud_rate = 9600;

    EXPECT_EQ(OpenPortError(5), failure.message);

    std::vector<std::string> expected = ConfigurationCalls(5, 9600);
    expected.resize(failure.calls_before_close);
    expected.push_back("Close");
    EXPECT_EQ(script->calls, expected);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.com_index, 0);
    EXPECT_EQ(port.resets, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ComPortStepFailure,
    ::testing::Values(StepFailure{"Queues", &BackendScript::refuse_queues, 2,
                                  "Na COM5 nelze otevřít vyrovnávací buffer"},
                      StepFailure{"Timeouts", &BackendScript::refuse_timeouts, 3, "Na COM5 nelze nastavit Timeout"},
                      StepFailure{"LineState", &BackendScript::refuse_line_state, 4,
                                  "Nelze získat konfiguraci na sériovém portu COM5"},
                      StepFailure{"Apply", &BackendScript::refuse_apply, 6, "Nepodařila se reinicializace portu COM5"}),
    [](const ::testing::TestParamInfo<StepFailure>& param_info) { return std::string(param_info.param.step); });

TEST_F(ComPortTest, ReinitialisationErrorNamesTheSelectedPortNotTheOpenedOne)
{
    // The message is formed from com_index when the settings are applied.
    script->refuse_apply = true;
    port.com_index = 4;
    EXPECT_EQ(OpenPortError(2), "Nepodařila se reinicializace portu COM4");
    EXPECT_EQ(port.com_index, 0);
}

TEST_F(ComPortTest, RefusedSpeedChangeClosesThePortAndResetsTheSelection)
{
    port.com_index = 1;
    ASSERT_EQ(port.OpenPort(1), 0);
    script->calls.clear();

    port.SetLineSpeed(115200);
    EXPECT_EQ(port.baud_rate, 115200);
    port.ApplyLineSettings();
    EXPECT_EQ(script->calls, (std::vector<std::string>{"SetSpeed 115200", "ApplyLineState"}));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.resets, 0);

    script->refuse_apply = true;
    port.SetLineSpeed(123);
    try {
        port.ApplyLineSettings();
        FAIL() << "a refused speed raised nothing";
    } catch (const KxError& error) {
        EXPECT_STREQ(error.what(), "Nepodařila se reinicializace portu COM1");
    }
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.com_index, 0);
    EXPECT_EQ(port.resets, 1);

    // With the port gone, applying again names COM0.
    script->refuse_apply = false;
    try {
        port.ApplyLineSettings();
        FAIL() << "applying to a closed port raised nothing";
    } catch (const KxError& error) {
        EXPECT_STREQ(error.what(), "Nepodařila se reinicializace portu COM0");
    }
}

TEST_F(ComPortTest, WriteDiscardsPendingInputAndOutputFirst)
{
    ASSERT_EQ(port.OpenPort(1), 0);
    script->calls.clear();
    const std::uint8_t frame[] = {0x10, 0x11, 0x13, 0x16};
    std::uint32_t written = 99;
    EXPECT_EQ(port.WriteBytes(frame, 4, written), 1);
    EXPECT_EQ(written, 4u);
    EXPECT_EQ(script->calls, (std::vector<std::string>{"PurgeRx", "PurgeTx", "Write 4"}));
    EXPECT_EQ(script->output, std::vector<std::uint8_t>(frame, frame + 4));

    // A failed or short write comes back as result 0 and the count.
    script->write_ok = false;
    script->write_limit = 2;
    EXPECT_EQ(port.WriteBytes(frame, 4, written), 0);
    EXPECT_EQ(written, 2u);
}

TEST_F(ComPortTest, TheOutputIsPurgedOrThePortClosedOnlyOnceTheLastFrameIsOnTheLine)
{
    // The back end's write returns at once, as on a pseudo-terminal. 12
    // bytes at 1200 bit/s, 11 bits a byte, take 110 ms on the line.
    using namespace std::chrono_literals;
    const std::uint8_t frame[12] = {0x68, 0x06, 0x06, 0x68, 0x01, 0x00, 0x63, 0x02, 0x04, 0x5A, 0xC4, 0x16};
    std::uint32_t written = 0;
    struct Case {
        const char* name;
        std::function<void()> then;
        std::chrono::steady_clock::time_point BackendScript::*at;
    };
    const Case cases[] = {
        {"output purge", [&] { port.PurgeTx(); }, &BackendScript::purged_tx_at},
        {"the next write's purge", [&] { port.WriteBytes(frame, 12, written); }, &BackendScript::purged_tx_at},
        {"closing", [&] { port.ClosePort(); }, &BackendScript::closed_at},
        {"opening again", [&] { port.OpenPort(1); }, &BackendScript::closed_at},
    };
    port.baud_rate = 1200;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(port.OpenPort(1), 0);
        ASSERT_EQ(port.WriteBytes(frame, 12, written), 1);
        const auto sent = script->wrote_at;
        c.then();
        EXPECT_GE((*script).*c.at - sent, 109ms);
        port.ClosePort();
    }
}

TEST_F(ComPortTest, ReadPassesCountAndResultThrough)
{
    ASSERT_EQ(port.OpenPort(1), 0);
    script->calls.clear();
    std::uint8_t buffer[8] = {};
    std::uint32_t received = 99;

    // A time-out with nothing received is still a successful read.
    EXPECT_EQ(port.ReadBytes(buffer, 6, received), 1);
    EXPECT_EQ(received, 0u);

    script->input = {0x68, 0x05, 0x05};
    EXPECT_EQ(port.ReadBytes(buffer, 6, received), 1);
    EXPECT_EQ(received, 3u);
    EXPECT_EQ(buffer[2], 0x05);

    script->read_ok = false;
    EXPECT_EQ(port.ReadBytes(buffer, 6, received), 0);
    EXPECT_EQ(script->calls, (std::vector<std::string>{"Read 6", "Read 6", "Read 6"}));
}

TEST_F(ComPortTest, ClosedPortFailsEveryCallWithoutTouchingTheBackend)
{
    std::uint8_t buffer[4] = {1, 2, 3, 4};
    std::uint32_t count = 77;
    EXPECT_EQ(port.ReadBytes(buffer, 4, count), 0);
    EXPECT_EQ(count, 0u);
    count = 77;
    EXPECT_EQ(port.WriteBytes(buffer, 4, count), 0);
    EXPECT_EQ(count, 0u);
    port.PurgeRx();
    port.PurgeTx();
    port.ClosePort();
    EXPECT_TRUE(script->calls.empty());

    // After an opening and a closing, the same.
    ASSERT_EQ(port.OpenPort(1), 0);
    port.ClosePort();
    port.ClosePort();
    script->calls.clear();
    EXPECT_EQ(port.ReadBytes(buffer, 4, count), 0);
    EXPECT_EQ(port.WriteBytes(buffer, 4, count), 0);
    EXPECT_TRUE(script->calls.empty());

    // An open port refuses a missing buffer without passing it on.
    ASSERT_EQ(port.OpenPort(1), 0);
    script->calls.clear();
    EXPECT_EQ(port.ReadBytes(nullptr, 4, count), 0);
    EXPECT_EQ(port.WriteBytes(nullptr, 4, count), 0);
    EXPECT_TRUE(script->calls.empty());
}

TEST_F(ComPortTest, OpeningAgainClosesThePreviousOpeningFirst)
{
    ASSERT_EQ(port.OpenPort(1), 0);
    script->calls.clear();
    ASSERT_EQ(port.OpenPort(2), 0);
    ASSERT_GE(script->calls.size(), 2u);
    EXPECT_EQ(script->calls[0], "Close");
    EXPECT_EQ(script->calls[1], "Open " + DevicePathForCom(2));
}

} // namespace

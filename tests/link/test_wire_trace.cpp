// The wire trace: what the file holds for the program's own port and link
// operations, line by line, with the time stamps checked for form and order.
#include "ComPort.h"
#include "DeviceTables.h"
#include "Protokol_spol.h"
#include "WireTrace.h"
#include "fake_link_port.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace {

// A line that answers each read with the next scripted chunk.
struct Script {
    bool open = false;
    std::deque<Bytes> answers;
    bool read_ok = true;
};

class ScriptedLine final : public SerialBackend {
public:
    explicit ScriptedLine(std::shared_ptr<Script> s) : s_(std::move(s)) {}
    // "žádný port" never opens, whatever name the platform gives it.
    bool Open(const std::string& path) override { return s_->open = !path.empty() && path != DevicePathForCom(0); }
    bool IsOpen() const override { return s_->open; }
    void Close() override { s_->open = false; }
    bool SetQueues(std::uint32_t, std::uint32_t) override { return true; }
    bool SetTimeouts(std::uint32_t, std::uint32_t, std::uint32_t) override { return true; }
    bool ReadLineState() override { return true; }
    void SetLineFormat(std::uint32_t) override {}
    void SetSpeed(std::uint32_t) override {}
    bool ApplyLineState() override { return true; }
    void PurgeRx() override {}
    void PurgeTx() override {}
    bool Read(std::uint8_t* buffer, std::size_t wanted, std::size_t& received) override
    {
        received = 0;
        if (!s_->answers.empty()) {
            const Bytes chunk = s_->answers.front();
            s_->answers.pop_front();
            for (; received < wanted && received < chunk.size(); ++received)
                buffer[received] = chunk[received];
        }
        return s_->read_ok;
    }
    bool Write(const std::uint8_t*, std::size_t count, std::size_t& written) override
    {
        written = count;
        return true;
    }

private:
    std::shared_ptr<Script> s_;
};

const Bytes kTable0Answer = hex("68 0B 0B 68 00 01 08 00 00 48 41 00 00 C8 42 9C 16");
const std::string kRead0 = "68 05 05 68 05 00 6C 01 00 72 16";

class WireTraceTest : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "kx52-wire-trace-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    std::shared_ptr<Script> script = std::make_shared<Script>();

    void SetUp() override
    {
        std::remove(path.c_str());
        reset_table_variables();
        set_dest_address(5);
        set_source_address(0);
        link_set_sleep_hook([](int) {});
    }
    void TearDown() override
    {
        link_set_port(nullptr);
        link_set_sleep_hook(nullptr);
        std::remove(path.c_str());
    }
    std::unique_ptr<ComPort> TracedPort()
    {
        std::string error;
        auto port = std::make_unique<ComPort>(
            WithWireTrace(std::make_unique<ScriptedLine>(script), path, "trace started", error));
        EXPECT_EQ(error, "");
        port->baud_rate = 19200;
        return port;
    }
    // The file's lines with their time stamps checked and cut off; empty
    // lines stay, as they part the groups.
    std::vector<std::string> TraceLines() const
    {
        static const std::regex stamped(R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) ((TX|RX|--) .*)$)");
        std::ifstream in(path);
        std::vector<std::string> lines;
        std::string previous_stamp;
        for (std::string line; std::getline(in, line);) {
            std::smatch m;
            if (line.empty()) {
                lines.push_back(line);
                continue;
            }
            if (!std::regex_match(line, m, stamped)) {
                ADD_FAILURE() << "not a trace line: " << line;
                continue;
            }
            EXPECT_LE(previous_stamp, m[1].str()) << "time stamps go backwards";
            previous_stamp = m[1].str();
            lines.push_back(m[2].str());
        }
        return lines;
    }
};

} // namespace

TEST_F(WireTraceTest, GoodAndFailedReadingsOfOneOpening)
{
    auto port = TracedPort();
    link_set_port(port.get());
    ASSERT_EQ(port->OpenPort(1), 0);
    script->answers = {kTable0Answer, {}, hex("68 0B 0B"), {}};
    EXPECT_EQ(read_table(0), 1);
    EXPECT_EQ(read_table(0), 0); // nothing answers
    EXPECT_EQ(read_table(0), 0); // the answer breaks off
    script->read_ok = false;
    EXPECT_EQ(read_table(0), 0); // the read call itself fails
    port->ClosePort();

    const std::vector<std::string> expected = {
        "-- trace started",
        "-- open " + DevicePathForCom(1),
        "-- 19200 bit/s, 8 data bits, even parity, 1 stop bit",
        "TX " + kRead0,
        "RX 68 0B 0B 68 00 01 08 00 00 48 41 00 00 C8 42 9C 16",
        "",
        "TX " + kRead0,
        "RX nothing received  (0 of 17 bytes)",
        "",
        "TX " + kRead0,
        "RX 68 0B 0B  (3 of 17 bytes)",
        "",
        "TX " + kRead0,
        "RX nothing received  (read failed, 0 of 17 bytes)",
        "-- close",
        "",
    };
    EXPECT_EQ(TraceLines(), expected);
}

TEST_F(WireTraceTest, RepeatedWriteStartsAGroupOfItsOwnAndRunsAreAppended)
{
    {
        auto port = TracedPort();
        link_set_port(port.get());
        ASSERT_EQ(port->OpenPort(1), 0);
        script->answers = {{}, {}}; // two silent attempts: the request goes out three times
        EXPECT_EQ(write_table_byte(4, 0x5A), 0);
        port->ClosePort();
        link_set_port(nullptr);
    }
    {
        auto port = TracedPort();
        EXPECT_EQ(port->OpenPort(0), 1); // "žádný port"
    }
    const std::string zero = "TX 68 06 06 68 05 00 63 02 04 5A C8 16";
    const std::vector<std::string> expected = {
        "-- trace started",
        "-- open " + DevicePathForCom(1),
        "-- 19200 bit/s, 8 data bits, even parity, 1 stop bit",
        zero,
        "RX nothing received  (0 of 6 bytes)",
        "",
        zero,
        "RX nothing received  (0 of 6 bytes)",
        "",
        zero,
        "-- close",
        "",
        "-- trace started",
        // Linux has no device for "žádný port"; Windows names \\.\COM0, which never exists.
        "-- open " + (DevicePathForCom(0).empty() ? std::string("(no port)") : DevicePathForCom(0)) + " failed",
        "",
    };
    EXPECT_EQ(TraceLines(), expected);
}

TEST_F(WireTraceTest, NoPathNoTraceAndAnUnwritablePathIsReported)
{
    SerialBackend* line = nullptr;
    std::string error;
    auto plain = std::make_unique<ScriptedLine>(script);
    line = plain.get();
    auto result = WithWireTrace(std::move(plain), "", "x", error);
    EXPECT_EQ(result.get(), line) << "an empty path leaves the line as it is";
    EXPECT_EQ(error, "");

    result = WithWireTrace(std::move(result), "/nonexistent-folder/kx52.trace", "x", error);
    EXPECT_EQ(result.get(), line) << "a trace that cannot be written leaves the line as it is";
    EXPECT_NE(error.find("/nonexistent-folder/kx52.trace"), std::string::npos) << error;
}

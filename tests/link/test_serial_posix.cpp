// The termios back end on real pseudo-terminals, reached as "COM n" through
// links under a temporary configuration folder: the COM links, the line
// settings, exclusive use, repeated openings (also by a non-root user), a
// device that goes away mid-read and speeds. Time-outs, purging and binary
// transparency, the same on every platform, are in test_serial_line.cpp.
#include "ComPort.h"
#include "ConfigDir.h"
#include "KxError.h"
#include "LineMarks_posix.h"
#include "SerialBackend.h"
#include "SerialSpeed_posix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

long long MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// CPU time (user and system) the process has used so far, in ms.
long long CpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name)
    {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// A pseudo-terminal pair: the test plays the instrument on the master side,
// the port under test opens the slave through a COM link.
class SerialPtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir_template[] = "/tmp/kx52-serial-XXXXXX";
        ASSERT_NE(mkdtemp(dir_template), nullptr);
        config_dir_ = dir_template;
        env_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", config_dir_);
        ASSERT_EQ(mkdir((config_dir_ + "/OrbKX52").c_str(), 0755), 0);

        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        char name[128] = {};
        ASSERT_EQ(ptsname_r(master_, name, sizeof name), 0);
        slave_path_ = name;
    }

    void TearDown() override
    {
        CloseMaster();
        env_.reset();
        std::error_code ignored;
        std::filesystem::remove_all(config_dir_, ignored);
    }

    // Makes "COM n" stand for the pty (or for `target`).
    void LinkCom(int n, const std::string& target = {})
    {
        const std::string link = config_dir_ + "/OrbKX52/COM" + std::to_string(n);
        ASSERT_EQ(symlink((target.empty() ? slave_path_ : target).c_str(), link.c_str()), 0);
    }

    void CloseMaster()
    {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }

    // What the port sent, collected until `quiet_ms` pass without a byte.
    Bytes MasterReadAll(int quiet_ms = 200) const
    {
        Bytes got;
        for (;;) {
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, quiet_ms) <= 0) {
                return got;
            }
            std::uint8_t chunk[512];
            const ssize_t n = read(master_, chunk, sizeof chunk);
            if (n <= 0) {
                return got;
            }
            got.insert(got.end(), chunk, chunk + n);
        }
    }

    // The line settings the pty keeps, read through a second opening.
    termios SlaveSettings() const
    {
        termios t{};
        const int fd = open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            EXPECT_EQ(tcgetattr(fd, &t), 0);
            close(fd);
        }
        return t;
    }

    std::uint32_t SlaveSpeed() const
    {
        std::uint32_t out = 0;
        std::uint32_t in = 0;
        const int fd = open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            EXPECT_TRUE(serial_speed::Read(fd, out, in));
            close(fd);
        }
        return out;
    }

    static std::string ErrorOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const KxError& error) {
            return error.what();
        }
        return "(nothing raised)";
    }

    std::string config_dir_;
    std::unique_ptr<ScopedEnv> env_;
    int master_ = -1;
    std::string slave_path_;
};

TEST_F(SerialPtyTest, ComNumbersMapToConfigLinksElseToTtyS)
{
    EXPECT_EQ(UserConfigDir(), config_dir_);
    LinkCom(3);
    LinkCom(6, config_dir_ + "/unplugged-adapter");
    EXPECT_EQ(DevicePathForCom(3), config_dir_ + "/OrbKX52/COM3");
    EXPECT_EQ(DevicePathForCom(4), "/dev/ttyS3");
    EXPECT_EQ(DevicePathForCom(1), "/dev/ttyS0");
    // A link whose device is gone still names this port, never another one.
    EXPECT_EQ(DevicePathForCom(6), config_dir_ + "/OrbKX52/COM6");

    ComPort port;
    port.com_index = 6;
    EXPECT_EQ(port.OpenPort(6), 1);
    EXPECT_EQ(port.com_index, 0);
    EXPECT_EQ(ErrorOf([&] { port.RaiseOpenError(); }), "Sériový port COM6 nelze otevřít");

    // COM0 ("žádný port") opens nothing, even with a link of that name.
    LinkCom(0);
    EXPECT_EQ(port.OpenPort(0), 1);
    EXPECT_EQ(ErrorOf([&] { port.RaiseOpenError(); }), "Sériový port COM0 nelze otevřít");
}

TEST(ConfigDir, RelativeXdgIsIgnoredForHomeConfig)
{
    ScopedEnv home("HOME", "/home/operator");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/dir");
        EXPECT_EQ(UserConfigDir(), "/home/operator/.config");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(UserConfigDir(), "/home/operator/.config");
}

TEST_F(SerialPtyTest, LineIsSetToBinaryEightBitsWithoutSoftwareFlowControl)
{
    LinkCom(1);
    ComPort port;
    ASSERT_EQ(port.OpenPort(1), 0);
    port.ClosePort();
    const termios t = SlaveSettings();
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_NE(t.c_iflag & INPCK, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(SlaveSpeed(), 9600u);
}

TEST_F(SerialPtyTest, HeldPortGivesTheOpenErrorNamingIt)
{
    LinkCom(2);
    ComPort holder;
    ASSERT_EQ(holder.OpenPort(2), 0);

    ComPort second;
    second.com_index = 2;
    EXPECT_EQ(second.OpenPort(2), 1);
    EXPECT_EQ(second.com_index, 0);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(ErrorOf([&] { second.RaiseOpenError(); }), "Sériový port COM2 nelze otevřít");

    // The holder is undisturbed, and once it lets go the port opens.
    std::uint8_t byte = 0x42;
    std::uint32_t count = 0;
    EXPECT_EQ(holder.WriteBytes(&byte, 1, count), 1);
    EXPECT_EQ(MasterReadAll(), Bytes{0x42});
    holder.ClosePort();
    EXPECT_EQ(second.OpenPort(2), 0);
}

// Opens and closes "COM 3" `times` times; gives the number of the first
// opening that failed, 0 when all succeeded.
int OpenRepeatedly(int times)
{
    for (int i = 1; i <= times; ++i) {
        ComPort port;
        port.com_index = 3;
        try {
            if (port.OpenPort(3) != 0) {
                return i;
            }
            // Changing the speed re-applies the whole line state once more.
            port.SetLineSpeed(i % 2 ? 19200 : 9600);
            port.ApplyLineSettings();
        } catch (const KxError&) {
            return i;
        }
        std::uint8_t byte = 0x10;
        std::uint32_t count = 0;
        if (port.WriteBytes(&byte, 1, count) != 1) {
            return i;
        }
        port.ClosePort();
    }
    return 0;
}

TEST_F(SerialPtyTest, SamePtyOpensManyTimesInARow)
{
    LinkCom(3);
    EXPECT_EQ(OpenRepeatedly(60), 0);
}

TEST_F(SerialPtyTest, SamePtyOpensManyTimesInARowAsNonRootUser)
{
    LinkCom(3);
    if (geteuid() != 0) {
        EXPECT_EQ(OpenRepeatedly(60), 0);
        return;
    }
    // As root: a child that has become "nobody" does the openings, so the
    // exclusive flag (which root ignores) is really in force.
    constexpr uid_t kNobody = 65534;
    ASSERT_EQ(chmod(config_dir_.c_str(), 0755), 0);
    if (chown(slave_path_.c_str(), kNobody, static_cast<gid_t>(-1)) != 0) {
        GTEST_SKIP() << "this root cannot hand the pty to nobody";
    }
    ASSERT_EQ(chmod(slave_path_.c_str(), 0600), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0 || geteuid() != kNobody) {
            _exit(200);
        }
        const int failed = OpenRepeatedly(60);
        if (failed != 0) {
            _exit(failed);
        }
        // While one opening holds the port, a second one is refused.
        ComPort holder;
        ComPort second;
        if (holder.OpenPort(3) != 0) {
            _exit(201);
        }
        _exit(second.OpenPort(3) == 1 ? 0 : 202);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 200) {
        GTEST_SKIP() << "this root cannot become nobody";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0) << "201/202: exclusive hold, else the number of the failed opening";
}

TEST_F(SerialPtyTest, DeviceGoneMidReadEndsTheReadAndLaterCallsFailWithoutSpinning)
{
    LinkCom(1);
    ComPort port;
    ASSERT_EQ(port.OpenPort(1), 0);

    const long long cpu_start = CpuMs();
    const auto start = Clock::now();
    std::thread pull([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        CloseMaster();
    });
    std::uint8_t buffer[200];
    std::uint32_t count = 0;
    // 2 ms x 200 + 500 ms total, but the device goes away after 60 ms.
    const std::uint8_t result = port.ReadBytes(buffer, 200, count);
    const long long read_ms = MsSince(start);
    pull.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(count, 0u);
    EXPECT_LT(read_ms, 600);

    // Later calls of this opening fail at once, one failure each.
    const auto later = Clock::now();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(port.ReadBytes(buffer, 6, count), 0);
        EXPECT_EQ(count, 0u);
        const std::uint8_t frame[] = {0x10, 0x16};
        EXPECT_EQ(port.WriteBytes(frame, 2, count), 0);
        port.PurgeRx();
        port.PurgeTx();
    }
    EXPECT_LT(MsSince(later), 400);
    EXPECT_LT(CpuMs() - cpu_start, 300) << "the port spun instead of waiting";
    port.ClosePort();
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialPtyTest, SpeedsOutsideTheStandardCodesAreSetAndSpeedZeroIsRefused)
{
    LinkCom(1);
    ComPort port;
    port.com_index = 1;
    port.baud_rate = 14400;
    ASSERT_EQ(port.OpenPort(1), 0);
    port.ClosePort();
    EXPECT_EQ(SlaveSpeed(), 14400u);

    ASSERT_EQ(port.OpenPort(1), 0);
    port.SetLineSpeed(19200);
    port.ApplyLineSettings();
    port.SetLineSpeed(56000);
    port.ApplyLineSettings();
    EXPECT_TRUE(port.IsOpen());
    port.ClosePort();
    EXPECT_EQ(SlaveSpeed(), 56000u);

    // A speed no line can run at is refused, naming the selected port.
    ASSERT_EQ(port.OpenPort(1), 0);
    port.SetLineSpeed(0);
    EXPECT_EQ(ErrorOf([&] { port.ApplyLineSettings(); }), "Nepodařila se reinicializace portu COM1");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.com_index, 0);
}

// Input of a line that marks its errors: \377 \377 is a data byte, also
// when split over two reads; \377 \0 is a line error; a purge forgets a
// kept \377.
TEST(LineMarkDecoder, DoubledFfIsDataAndErrorMarkFails)
{
    LineMarkDecoder decoder;
    std::uint8_t out[8] = {};
    std::size_t received = 0;
    const std::uint8_t first[] = {0x68, 0xFF, 0xFF, 0x01, 0xFF};
    const std::uint8_t second[] = {0xFF, 0x16};
    EXPECT_TRUE(decoder.Decode(first, 5, out, received));
    EXPECT_EQ(received, 3u);
    EXPECT_TRUE(decoder.Decode(second, 2, out, received));
    EXPECT_EQ(Bytes(out, out + received), (Bytes{0x68, 0xFF, 0x01, 0xFF, 0x16}));

    const std::uint8_t lone[] = {0xFF};
    const std::uint8_t mark[] = {0x00, 0x41};
    received = 0;
    EXPECT_TRUE(decoder.Decode(lone, 1, out, received));
    EXPECT_FALSE(decoder.Decode(mark, 2, out, received));

    decoder.Reset();
    EXPECT_TRUE(decoder.Decode(lone, 1, out, received));
    decoder.Reset();
    received = 0;
    EXPECT_TRUE(decoder.Decode(mark, 2, out, received));
    EXPECT_EQ(Bytes(out, out + received), (Bytes{0x00, 0x41}));
}

} // namespace

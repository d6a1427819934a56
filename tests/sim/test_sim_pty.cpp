// The simulator on a real pseudo-terminal: in a thread of the test, and as
// the orbena52-sim program. The test plays the master with raw bytes.
#include "Orbena52Sim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace std::chrono_literals;
using sim::Bytes;
using Clock = std::chrono::steady_clock;

namespace {

std::string MakeTempDir()
{
    char tmpl[] = "/tmp/kx52-simtest-XXXXXX";
    const char* d = ::mkdtemp(tmpl);
    return d != nullptr ? d : "/tmp";
}

void RemoveTree(const std::string& dir)
{
    const std::string cmd = "rm -rf '" + dir + "'";
    [[maybe_unused]] const int rc = std::system(cmd.c_str());
}

// The master's end, opened through the link as the program does.
class Line {
public:
    explicit Line(const std::string& path, speed_t speed = B9600)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0)
            return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, speed);
        ::cfsetospeed(&t, speed);
        ::tcsetattr(fd_, TCSANOW, &t);
        ::tcflush(fd_, TCIOFLUSH);
    }
    ~Line()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    void Send(const Bytes& b) const { ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size())); }
    // Reads until `wanted` bytes arrived or nothing came for `silence`;
    // `arrivals` gets the time of each chunk.
    Bytes Receive(std::size_t wanted, std::chrono::milliseconds silence = 400ms,
                  std::vector<std::pair<Clock::time_point, std::size_t>>* arrivals = nullptr) const
    {
        Bytes out;
        while (out.size() < wanted) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(silence.count())) <= 0)
                break;
            std::uint8_t buf[300];
            const ssize_t n = ::read(fd_, buf, std::min(sizeof buf, wanted - out.size()));
            if (n <= 0)
                break;
            out.insert(out.end(), buf, buf + n);
            if (arrivals != nullptr)
                arrivals->emplace_back(Clock::now(), out.size());
        }
        return out;
    }
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

const Bytes kRead0 = {0x68, 0x05, 0x05, 0x68, 0x00, 0x00, 0x6C, 0x01, 0x00, 0x6D, 0x16};

bool ValidFrame(const Bytes& b)
{
    std::size_t len = 0;
    return sim::ScanFrame(b.data(), b.size(), len) == sim::ScanResult::Valid && len == b.size();
}

class SimPtyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = MakeTempDir();
        sim::SimConfig c;
        c.com = 2;
        c.config_dir = dir_;
        c.log = nullptr;
        sim_ = std::make_unique<sim::Orbena52Sim>(c);
        std::string error;
        ASSERT_TRUE(sim_->Open(error)) << error;
        sim_->Start();
    }
    void TearDown() override
    {
        sim_.reset();
        RemoveTree(dir_);
    }
    std::string Link() const { return dir_ + "/OrbKX52/COM2"; }

    std::string dir_;
    std::unique_ptr<sim::Orbena52Sim> sim_;
};

} // namespace

TEST_F(SimPtyTest, LinkLeadsToThePtyAndRequestsAreAnswered)
{
    char target[256] = {};
    ASSERT_GT(::readlink(Link().c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), sim_->SlavePath());
    EXPECT_EQ(sim_->LinkPath(), Link());

    Line line(Link());
    ASSERT_TRUE(line.Ok());
    line.Send(kRead0);
    const Bytes a = line.Receive(17);
    ASSERT_EQ(a.size(), 17u);
    EXPECT_TRUE(ValidFrame(a));
    EXPECT_EQ(a[6], 0x08);
    EXPECT_EQ(sim_->Requests(), 1u);
    EXPECT_EQ(sim_->ReadsOf(0), 1u);

    // The history holds the request and the answer as they went.
    std::this_thread::sleep_for(50ms);
    const auto h = sim_->History();
    bool rx = false;
    bool tx = false;
    for (const auto& r : h) {
        rx = rx || (r.dir == sim::SimRecord::Dir::Rx && r.bytes == kRead0);
        tx = tx || (r.dir == sim::SimRecord::Dir::Tx && r.bytes == a);
    }
    EXPECT_TRUE(rx);
    EXPECT_TRUE(tx);
}

TEST_F(SimPtyTest, StaysUsableWhileThePortIsOpenedAndClosedAgain)
{
    for (int i = 0; i < 15; ++i) {
        Line line(Link());
        ASSERT_TRUE(line.Ok()) << i;
        line.Send(kRead0);
        ASSERT_EQ(line.Receive(17).size(), 17u) << i;
    }
    EXPECT_EQ(sim_->Requests(), 15u);
}

// For wine: with the option the pty's side sets two stop bits again soon
// after each opening cleared them, and the answers keep flowing; without it
// the line settings stay as the opening left them.
TEST(SimPtyReassert, StopBitsComeBackBetweenOpeningsOnlyWithTheOption)
{
    for (const int period_ms : {0, 20}) {
        SCOPED_TRACE(period_ms);
        const std::string dir = MakeTempDir();
        sim::SimConfig c;
        c.com = 3;
        c.config_dir = dir;
        c.log = nullptr;
        c.reassert_line_ms = period_ms;
        auto simulator = std::make_unique<sim::Orbena52Sim>(c);
        std::string error;
        ASSERT_TRUE(simulator->Open(error)) << error;
        simulator->Start();
        for (int opening = 0; opening < 3; ++opening) {
            Line line(dir + "/OrbKX52/COM3");
            ASSERT_TRUE(line.Ok());
            termios t{};
            ASSERT_EQ(::tcgetattr(line.Fd(), &t), 0);
            t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
            ASSERT_EQ(::tcsetattr(line.Fd(), TCSANOW, &t), 0);
            line.Send(kRead0);
            EXPECT_EQ(line.Receive(17).size(), 17u) << opening;
            std::this_thread::sleep_for(120ms);
            ASSERT_EQ(::tcgetattr(line.Fd(), &t), 0);
            EXPECT_EQ((t.c_cflag & CSTOPB) != 0, period_ms > 0) << opening;
        }
        EXPECT_EQ(simulator->ReadsOf(0), 3u);
        simulator.reset();
        RemoveTree(dir);
    }
}

TEST_F(SimPtyTest, AnswersArePacedAtTheSpeedTheMasterSet)
{
    {
        // 1200 bit/s: 11 bits a character, 28 characters for request and answer.
        Line line(Link(), B1200);
        std::vector<std::pair<Clock::time_point, std::size_t>> arrivals;
        const auto t0 = Clock::now();
        line.Send(kRead0);
        const Bytes a = line.Receive(17, 400ms, &arrivals);
        ASSERT_EQ(a.size(), 17u);
        const double ms_first = std::chrono::duration<double, std::milli>(arrivals.front().first - t0).count();
        const double ms_all = std::chrono::duration<double, std::milli>(arrivals.back().first - t0).count();
        const double char_ms = 11.0 * 1000.0 / 1200.0;
        EXPECT_GE(ms_first, 11.0 * char_ms); // not before the request is on the line
        EXPECT_GE(ms_all, 27.5 * char_ms);
        EXPECT_LT(ms_all, 28.0 * char_ms + 150.0);
        EXPECT_GT(arrivals.size(), 5u); // byte by byte, not in one lump
        EXPECT_EQ(sim_->LastLineSpeed(), 1200);
    }
    {
        Line line(Link(), B115200);
        const auto t0 = Clock::now();
        line.Send(kRead0);
        ASSERT_EQ(line.Receive(17).size(), 17u);
        EXPECT_LT(Clock::now() - t0, 100ms);
        EXPECT_EQ(sim_->LastLineSpeed(), 115200);
    }
}

TEST_F(SimPtyTest, GarbageAndUnfinishedRequestsAreNotAnswered)
{
    Line line(Link());
    line.Send({0x00, 0x68, 0x05, 0x05, 0x68, 0x00}); // a request broken off
    EXPECT_TRUE(line.Receive(1, 300ms).empty());
    Bytes noisy = {0xFF, 0x10, 0x33};
    noisy.insert(noisy.end(), kRead0.begin(), kRead0.end());
    line.Send(noisy);
    const Bytes a = line.Receive(17);
    EXPECT_EQ(a.size(), 17u);
    EXPECT_TRUE(ValidFrame(a));
    EXPECT_EQ(line.Receive(1, 200ms).size(), 0u); // and nothing more
    EXPECT_EQ(sim_->Requests(), 1u);
}

TEST_F(SimPtyTest, FaultsInjectedWhileRunningShapeTheTiming)
{
    Line line(Link(), B115200);
    sim_->Inject(sim::Fault::Delay, 1, 250);
    auto t0 = Clock::now();
    line.Send(kRead0);
    ASSERT_EQ(line.Receive(17).size(), 17u);
    EXPECT_GE(Clock::now() - t0, 250ms);
    EXPECT_EQ(sim_->FaultRemaining(sim::Fault::Delay), 0);

    sim_->Inject(sim::Fault::Pause, 1, 200);
    std::vector<std::pair<Clock::time_point, std::size_t>> arrivals;
    line.Send(kRead0);
    ASSERT_EQ(line.Receive(17, 400ms, &arrivals).size(), 17u);
    // Half the answer, then silence, then the rest.
    auto biggest_gap = Clock::duration::zero();
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        biggest_gap = std::max(biggest_gap, arrivals[i].first - arrivals[i - 1].first);
    EXPECT_GE(biggest_gap, 190ms);

    t0 = Clock::now();
    line.Send(kRead0);
    ASSERT_EQ(line.Receive(17).size(), 17u);
    EXPECT_LT(Clock::now() - t0, 100ms);
}

TEST_F(SimPtyTest, VanishingPortHangsUpAndLeavesADeadLink)
{
    Line line(Link());
    sim_->Inject(sim::Fault::Vanish, 2);
    line.Send(kRead0);
    ASSERT_EQ(line.Receive(17).size(), 17u);
    EXPECT_FALSE(sim_->Vanished());
    line.Send(kRead0);
    ASSERT_EQ(line.Receive(17).size(), 17u);
    for (int i = 0; i < 100 && !sim_->Vanished(); ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(sim_->Vanished());
    // The name stays but leads nowhere, so the port cannot be opened again.
    struct stat st {};
    ASSERT_EQ(::lstat(Link().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_LT(::open(Link().c_str(), O_RDWR | O_NOCTTY), 0);
    // The open port now fails instead of waiting for answers.
    std::uint8_t b = 0;
    EXPECT_LE(::read(line.Fd(), &b, 1), 0);
}

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1; // its standard output
};

Child SpawnSim(const std::vector<std::string>& args, const std::string& config_home)
{
    // Arguments and environment are made before fork(): the child of a
    // threaded process only calls exec and the like.
    std::string exe = KX52_SIM_EXE;
    std::vector<std::string> copy = args;
    std::vector<char*> argv{exe.data()};
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env_text{"XDG_CONFIG_HOME=" + config_home};
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "XDG_CONFIG_HOME=", 16) != 0)
            env_text.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env_text)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int pipefd[2];
    if (::pipe(pipefd) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipefd[1], 1);
        ::close(pipefd[0]);
        ::close(pipefd[1]);
        ::execve(exe.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(pipefd[1]);
    return {pid, pipefd[0]};
}

// Everything the child writes to stdout until it closes it or `limit` passes.
std::string ReadLine(int fd, std::chrono::milliseconds limit)
{
    std::string s;
    const auto end = Clock::now() + limit;
    while (Clock::now() < end && s.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        s.append(buf, static_cast<std::size_t>(n));
    }
    return s;
}

int WaitExit(pid_t pid)
{
    int status = 0;
    for (int i = 0; i < 300; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

} // namespace

TEST(SimProgram, HelpAndBadOptions)
{
    const std::string dir = MakeTempDir();
    Child help = SpawnSim({"--help"}, dir);
    ASSERT_GT(help.pid, 0);
    std::string text;
    for (std::string part; !(part = ReadLine(help.out, 2s)).empty();)
        text += part;
    EXPECT_EQ(WaitExit(help.pid), 0);
    ::close(help.out);
    EXPECT_NE(text.find("--vanish-after"), std::string::npos);
    EXPECT_NE(text.find("--foreign-ident"), std::string::npos);

    Child version = SpawnSim({"--version"}, dir);
    ASSERT_GT(version.pid, 0);
    EXPECT_EQ(ReadLine(version.out, 2s), "orbena52-sim " KX52_VERSION "\n");
    EXPECT_EQ(WaitExit(version.pid), 0);
    ::close(version.out);

    Child bad = SpawnSim({"--address", "200"}, dir);
    EXPECT_EQ(WaitExit(bad.pid), 2);
    ::close(bad.out);
    struct stat st {};
    EXPECT_NE(::lstat((dir + "/OrbKX52").c_str(), &st), 0); // nothing was made
    RemoveTree(dir);
}

TEST(SimProgram, ReportsReadyServesLogsAndCleansUpOnTerm)
{
    const std::string dir = MakeTempDir();
    const std::string log = dir + "/sim.log";
    Child c = SpawnSim({"--com", "4", "--address", "0", "--log", log, "--no-pacing"}, dir);
    ASSERT_GT(c.pid, 0);
    const std::string line = ReadLine(c.out, 5s);
    const std::string link = dir + "/OrbKX52/COM4";
    ASSERT_EQ(line.rfind("ready " + link + " -> /dev/pts/", 0), 0u) << line;
    {
        Line port(link);
        ASSERT_TRUE(port.Ok());
        port.Send(kRead0);
        EXPECT_EQ(port.Receive(17).size(), 17u);
    }
    ::kill(c.pid, SIGTERM);
    EXPECT_EQ(WaitExit(c.pid), 0);
    ::close(c.out);
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);

    std::ifstream in(log);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    EXPECT_NE(text.find(" RX 68 05 05 68 00 00 6C 01 00 6D 16"), std::string::npos) << text;
    EXPECT_NE(text.find(" TX 68 0B 0B 68 00 00 08"), std::string::npos) << text;
    RemoveTree(dir);
}

TEST(SimProgram, FaultOptionsTakeEffect)
{
    const std::string dir = MakeTempDir();
    Child c = SpawnSim({"--com", "5", "--no-answer=1", "--fc09", "--log", dir + "/l"}, dir);
    ASSERT_GT(c.pid, 0);
    ASSERT_EQ(ReadLine(c.out, 5s).rfind("ready", 0), 0u);
    {
        Line port(dir + "/OrbKX52/COM5");
        port.Send(kRead0);
        EXPECT_TRUE(port.Receive(1, 300ms).empty());
        port.Send(kRead0);
        const Bytes a = port.Receive(17);
        ASSERT_EQ(a.size(), 17u);
        EXPECT_EQ(a[6], 0x09);
    }
    ::kill(c.pid, SIGTERM);
    EXPECT_EQ(WaitExit(c.pid), 0);
    ::close(c.out);
    RemoveTree(dir);
}

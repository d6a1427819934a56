// kx52ctl against the simulated instrument on a pseudo-terminal: every
// command in-process through the real port, the failures the instrument and
// the port can cause, and a few runs of the real binary.
#include "DeviceTables.h"
#include "FixedFormat.h"
#include "Orbena52Sim.h"
#include "TempConfigHome_posix.h"
#include "ctl_test_util.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;
using sim::Fault;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

std::unique_ptr<sim::Orbena52Sim> StartSim(const std::string& dir, int com, std::uint8_t address)
{
    sim::SimConfig c;
    c.com = com;
    c.address = address;
    c.config_dir = dir;
    c.log = nullptr;
    auto s = std::make_unique<sim::Orbena52Sim>(c);
    std::string error;
    EXPECT_TRUE(s->Open(error)) << error;
    s->WithStation([](sim::SimStation& st) { st.Instrument().SetFixedInput(12.0); });
    s->Start();
    return s;
}

class CtlSimTest : public ::testing::Test {
protected:
    static constexpr int kCom = 3;
    static constexpr std::uint8_t kAddress = 5;

    void SetUp() override
    {
        home_ = std::make_unique<TempConfigHome>("kx52-ctl");
        dir_ = home_->Path();
        sim_ = StartSim(dir_, kCom, kAddress);
    }

    void TearDown() override
    {
        sim_.reset();
        home_.reset();
    }

    // The command with the simulator's port and address in front.
    CtlResult Run(std::vector<std::string> args, const volatile std::sig_atomic_t* stop = nullptr)
    {
        args.insert(args.begin(), {"--port", "COM3", "--address", "5", "--baud", "115200"});
        return RunCtlWith(args, clock_, stop);
    }

    sim::SimInstrument Instrument()
    {
        sim::SimInstrument copy;
        sim_->WithStation([&](sim::SimStation& st) { copy = st.Instrument(); });
        return copy;
    }

    std::unique_ptr<TempConfigHome> home_;
    std::string dir_;
    std::unique_ptr<sim::Orbena52Sim> sim_;
    FakeClock clock_;
};

// Table 1 and 2 bytes of a set of parameters, as the instrument keeps them.
void SetParams(sim::Orbena52Sim& s, float scale, float sp_ala, float hyster, float sp_sum, std::uint8_t dp,
               std::uint8_t config, std::int16_t filtr)
{
    std::uint8_t t1[12];
    std::uint8_t t2[8];
    sim::PutFloatLe(t1, scale);
    sim::PutFloatLe(t1 + 4, sp_ala);
    sim::PutFloatLe(t1 + 8, hyster);
    sim::PutFloatLe(t2, sp_sum);
    t2[4] = dp;
    t2[5] = config;
    std::memcpy(t2 + 6, &filtr, 2);
    s.WithStation([&](sim::SimStation& st) {
        ASSERT_EQ(st.Instrument().WriteTable(1, t1), sim::WriteResult::Accepted);
        ASSERT_EQ(st.Instrument().WriteTable(2, t2), sim::WriteResult::Accepted);
    });
}

} // namespace

TEST_F(CtlSimTest, ReadPrintsValueAndSumInTheFixedFormat)
{
    const CtlResult r = Run({"read"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex(R"(60\.000 \d+\.\d{5}\n)"))) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(CtlSimTest, LinkSettingsNotGivenComeFromTheUsersStore)
{
    std::ofstream(dir_ + "/OrbKX52.ini") << "[PORT]\nCOM=3\nBAUDRATE=19200\n[ADRESA]\nDA=5\nSA=9\n";
    const CtlResult r = RunCtlWith({"read"}, clock_, nullptr, true);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(sim_->LastLineSpeed(), 19200);
    // The request carried the stored source address.
    bool seen = false;
    for (const sim::SimRecord& rec : sim_->History()) {
        if (rec.dir == sim::SimRecord::Dir::Rx && rec.bytes.size() == 11)
            seen = seen || (rec.bytes[4] == 5 && rec.bytes[5] == 9);
    }
    EXPECT_TRUE(seen);
    // Nothing was written to the store.
    EXPECT_EQ(ReadFile(dir_ + "/OrbKX52.ini"), "[PORT]\nCOM=3\nBAUDRATE=19200\n[ADRESA]\nDA=5\nSA=9\n");
}

TEST_F(CtlSimTest, RepeatedCsvReadingsAppendOneHeaderAndKeepGoingPastAFailure)
{
    const std::string csv = dir_ + "/log.csv";
    sim_->Inject(Fault::NoAnswer, 1);
    const CtlResult first = Run({"read", "--every", "2", "--count", "3", "--csv", "--output", csv});
    ASSERT_EQ(first.status, kExitOk) << first.err;
    EXPECT_EQ(first.out, "");
    EXPECT_NE(first.err.find("čtení měření (tabulka 0) se nezdařilo"), std::string::npos) << first.err;
    // The schedule ran on the test's clock: starts 2 s apart.
    ASSERT_EQ(clock_.sleeps.size(), 2u);
    EXPECT_EQ(clock_.sleeps[1] - clock_.sleeps[0], 2s);

    const CtlResult second = Run({"read", "--every", "1", "--count", "1", "--csv", "--output", csv});
    ASSERT_EQ(second.status, kExitOk) << second.err;
    const std::vector<std::string> lines = Lines(ReadFile(csv));
    ASSERT_EQ(lines.size(), 5u) << ReadFile(csv);
    EXPECT_EQ(lines[0], "time,value,sum");
    const std::string stamp = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)";
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + ",,"))) << lines[1];
    for (std::size_t i = 2; i < lines.size(); ++i)
        EXPECT_TRUE(std::regex_match(lines[i], std::regex(stamp + R"(,60\.000,\d+\.\d{5})"))) << lines[i];
}

TEST_F(CtlSimTest, SavedParametersLoadIntoASecondInstrumentBitForBit)
{
    SetParams(*sim_, 0.1f, -0.0f, 1e-40f, 123456.789f, 5, 0x2B, 1);
    const std::string file = dir_ + "/params.txt";
    const CtlResult save = Run({"params", "save", file});
    ASSERT_EQ(save.status, kExitOk) << save.err;

    auto other = StartSim(dir_, 4, 9);
    SetParams(*other, 7.0f, 8.0f, 9.0f, 10.0f, 0, 0x00, 0);
    const CtlResult dry = RunCtlWith({"--port", "COM4", "--address", "9", "params", "load", file, "--dry-run"}, clock_);
    ASSERT_EQ(dry.status, kExitOk) << dry.err;
    EXPECT_NE(dry.out.find("DP = 5\n"), std::string::npos) << dry.out;
    EXPECT_EQ(other->WritesOf(1) + other->WritesOf(2), 0u);

    const CtlResult load = RunCtlWith({"--port", "COM4", "--address", "9", "params", "load", file}, clock_);
    ASSERT_EQ(load.status, kExitOk) << load.err;
    sim::Bytes a1, a2, b1, b2;
    sim_->WithStation([&](sim::SimStation& st) {
        a1 = st.Instrument().ReadTable(1);
        a2 = st.Instrument().ReadTable(2);
    });
    other->WithStation([&](sim::SimStation& st) {
        b1 = st.Instrument().ReadTable(1);
        b2 = st.Instrument().ReadTable(2);
    });
    EXPECT_EQ(a1, b1);
    EXPECT_EQ(a2, b2);

    const CtlResult show = RunCtlWith({"--port", "COM4", "--address", "9", "params", "show"}, clock_);
    ASSERT_EQ(show.status, kExitOk) << show.err;
    EXPECT_EQ(show.out, "SCALE = 0.1\nDP = 5\nFILTR = 1\nSP_ALA = -0\nHYSTER = 9.99995e-41\nSP_SUM = 123456.79\n"
                        "AIN = 4-20mA\nIN_FUNKCE = linearni\nINTEGRACE = hodina\nOUT1 = prekroceni\nOUT2 = casove\n"
                        "AOUT = 4-20mA\n");
}

TEST_F(CtlSimTest, AFileWithAFaultWritesNothing)
{
    const std::string file = dir_ + "/bad.txt";
    std::ofstream(file) << "kx52-params 1\nSCALE = 1\nDP = 9\n";
    const CtlResult r = Run({"params", "load", file});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find(file + ":3: DP musí být"), std::string::npos) << r.err;
    EXPECT_EQ(sim_->Requests(), 0u);
}

TEST_F(CtlSimTest, AddressChangeIsConfirmedFromTheNewAddress)
{
    const CtlResult r = Run({"address", "21"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(Instrument().Address(), 21);
    EXPECT_EQ(sim_->ReadsOf(3), 1u);
    EXPECT_EQ(RunCtlWith({"--port", "COM3", "--address", "21", "read"}, clock_).status, kExitOk);
}

TEST_F(CtlSimTest, SearchPrintsTheAnsweringAddressesOnly)
{
    const CtlResult r =
        RunCtlWith({"--port", "COM3", "--baud", "115200", "search", "--from", "3", "--to", "7"}, clock_);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "5\n");
    EXPECT_EQ(r.err, ""); // no progress where stderr is no terminal
    const CtlResult none = RunCtlWith({"--port", "COM3", "search", "--from", "6", "--to", "6"}, clock_);
    EXPECT_EQ(none.status, kExitNoAnswer);
    EXPECT_NE(none.err.find("neodpověděl žádný přístroj"), std::string::npos);
}

TEST_F(CtlSimTest, IdentPrintsTheTextsInUtf8OrTheOtherFamilysText)
{
    const CtlResult ours = Run({"ident"});
    ASSERT_EQ(ours.status, kExitOk) << ours.err;
    EXPECT_EQ(ours.out, "Typ zařízení: ORBENA 52\nVerze zařízení: verze 1.00, simulovaný měřič\n");

    sim_->Inject(Fault::ForeignIdent);
    const CtlResult foreign = Run({"ident"});
    ASSERT_EQ(foreign.status, kExitOk) << foreign.err;
    EXPECT_EQ(foreign.out.rfind("Identifikováno zařízení pro které je nutné použít jiný software\n", 0), 0u)
        << foreign.out;
    EXPECT_GT(Lines(foreign.out).size(), 1u);
}

TEST_F(CtlSimTest, ZeroSumZeroesTheInstrumentsSum)
{
    std::this_thread::sleep_for(300ms);
    sim_->WithStation([](sim::SimStation& st) { st.Instrument().AdvanceTo(st.Instrument().Now() + 600.0); });
    ASSERT_GT(Instrument().Sum(), 1.0);
    const CtlResult r = Run({"zero-sum", "--yes"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_LT(Instrument().Sum(), 1.0);
    EXPECT_EQ(sim_->WritesOf(4), 1u);
}

TEST_F(CtlSimTest, SilentOrRefusingInstrumentGivesStatusOneNamingTheExchange)
{
    const std::string file = dir_ + "/params.txt";
    ASSERT_EQ(Run({"params", "save", file}).status, kExitOk);
    struct Case {
        Fault fault;
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {Fault::NoAnswer, {"read"}, "čtení měření (tabulka 0) se nezdařilo: přístroj na adrese 5 (port COM3)"},
        {Fault::NoAnswer, {"params", "show"}, "čtení parametrů (tabulka 1)"},
        {Fault::NoAnswer, {"ident"}, "identifikace se nezdařilo"},
        {Fault::RefuseWrites, {"params", "load", file}, "zápis parametrů (tabulka 1 a 2)"},
        {Fault::RefuseWrites, {"address", "9"}, "zápis adresy (tabulka 3)"},
        {Fault::RefuseWrites, {"zero-sum", "--yes"}, "nulování sumy se nezdařilo"},
    };
    for (const Case& c : cases) {
        sim_->ClearFaults();
        sim_->Inject(c.fault, sim::kAlways, c.fault == Fault::RefuseWrites ? std::optional<int>(1) : std::nullopt);
        const CtlResult r = Run(c.args);
        EXPECT_EQ(r.status, kExitNoAnswer) << c.args[0];
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.args[0] << ": " << r.err;
    }
    sim_->ClearFaults();
    EXPECT_EQ(Instrument().Address(), kAddress);
}

TEST_F(CtlSimTest, PortThatCannotBeOpenedGivesStatusThreeWithTheSystemsReason)
{
    const CtlResult missing = RunCtlWith({"--port", dir_ + "/no-such-tty", "read"}, clock_);
    EXPECT_EQ(missing.status, kExitPort);
    EXPECT_NE(missing.err.find("Sériový port " + dir_ + "/no-such-tty nelze otevřít"), std::string::npos)
        << missing.err;
    EXPECT_NE(missing.err.find(std::strerror(ENOENT)), std::string::npos) << missing.err;

    // Held by another program.
    const int fd = ::open(sim_->SlavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    const CtlResult held = Run({"read"});
    ::close(fd);
    EXPECT_EQ(held.status, kExitPort);
    EXPECT_NE(held.err.find("Sériový port COM3 nelze otevřít"), std::string::npos) << held.err;
    EXPECT_NE(held.err.find("používá jiný program"), std::string::npos) << held.err;
    EXPECT_EQ(sim_->Requests(), 0u);
}

// --- the real binary --------------------------------------------------------

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
    int err = -1;
};

Child Spawn(const std::vector<std::string>& args)
{
    int out[2];
    int err[2];
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    Child c;
    c.pid = ::fork();
    if (c.pid == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        std::vector<char*> argv;
        std::string exe = KX52CTL_EXE;
        argv.push_back(exe.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    c.out = out[0];
    c.err = err[0];
    return c;
}

std::string Drain(int fd)
{
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

int Wait(const Child& c)
{
    int status = 0;
    ::waitpid(c.pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST_F(CtlSimTest, BinaryEndsRepeatedReadingsOnSigtermWithStatusZero)
{
    for (int signal : {SIGTERM, SIGINT}) {
        Child c = Spawn({"--port", "COM3", "--address", "5", "read", "--every", "0.3"});
        std::this_thread::sleep_for(1200ms);
        ::kill(c.pid, signal);
        const std::string out = Drain(c.out);
        const std::string err = Drain(c.err);
        EXPECT_EQ(Wait(c), 0) << err;
        const std::vector<std::string> lines = Lines(out);
        EXPECT_GE(lines.size(), 2u) << out;
        for (const std::string& l : lines)
            EXPECT_TRUE(std::regex_match(l, std::regex(R"(60\.000 \d+\.\d{5})"))) << l;
    }
}

TEST(CtlBinary, UsageFaultIsOneLineOnStderrWithStatusTwo)
{
    Child c = Spawn({"read", "--count"});
    const std::string out = Drain(c.out);
    const std::string err = Drain(c.err);
    EXPECT_EQ(Wait(c), kExitUsage);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "kx52ctl: volbě --count chybí hodnota\n");
}

// The link end to end against the simulated instrument: every operation as
// it goes right, and the simulator as a program of its own.
#include "LinkSimFixture_posix.h"

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

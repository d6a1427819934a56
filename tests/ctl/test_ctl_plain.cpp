// kx52ctl without an instrument: the backup file, the reading schedule, the
// time stamps, the stored settings and the command line's usage errors.
#include "ParamFile.h"
#include "ReadSchedule.h"
#include "UserLinkSettings.h"
#include "ctl_test_util.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>

using namespace std::chrono_literals;

namespace {

std::uint32_t Bits(float v)
{
    std::uint32_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

const char* const kGoodBody = "SCALE = 1.5\nDP = 2\nFILTR = 1\nSP_ALA = 80\nHYSTER = 0.5\nSP_SUM = 1000\n"
                              "AIN = 4-20mA\nIN_FUNKCE = linearni\nINTEGRACE = hodina\nOUT1 = prekroceni\n"
                              "OUT2 = casove\nAOUT = 0-20mA\n";

} // namespace

TEST(ParamFile, SaveThenLoadGivesBackEveryBitOfEveryParameter)
{
    const float denormal = std::numeric_limits<float>::denorm_min();
    const DeviceParams cases[] = {
        {0.1f, -0.0f, 1e-30f, FLT_MAX, 0, 0x00, 0},
        {123456.789f, -FLT_MAX, denormal, 16777217.0f, 5, 0x3F, 1},
        {-3.14159274f, 1.0f / 3.0f, 100.0f, 2.5e-38f, 3, 0x2A, 0},
    };
    for (const DeviceParams& p : cases) {
        DeviceParams back;
        int line = -1;
        std::string error;
        ASSERT_TRUE(ParseParamFile(FormatParamFile(p), back, line, error)) << error << " on line " << line;
        EXPECT_TRUE(SameParams(p, back)) << FormatParamLines(p) << "--\n" << FormatParamLines(back);
        EXPECT_EQ(Bits(back.sp_ala), Bits(p.sp_ala)); // -0 stays -0
    }
    // What a check after loading reports when the instrument kept other values.
    DeviceParams held = cases[0];
    held.sp_ala = 0.0f;
    held.config = 0x41;
    EXPECT_EQ(DescribeParamDifferences(cases[0], held),
              "SP_ALA: -0 -> 0\nCONFIG bity 6 a 7: 0 -> 1\nAOUT: 0-20mA -> 4-20mA\n");
    // The shortest text that reads back: no nine-digit noise for simple values.
    EXPECT_EQ(FloatText(0.1f), "0.1");
    EXPECT_EQ(FloatText(1000.0f), "1000");
    EXPECT_EQ(FloatText(16777216.0f), "16777216");
}

TEST(ParamFile, HandEditedFileIsReadWithCommentsBlanksAndCrLf)
{
    std::string text =
        std::string("\xEF\xBB\xBF") + "kx52-params 1\r\n# note\r\n\r\n   # indented note\r\n" + kGoodBody;
    DeviceParams p;
    int line = 0;
    std::string error;
    ASSERT_TRUE(ParseParamFile(text, p, line, error)) << error;
    EXPECT_EQ(p.scale, 1.5f);
    EXPECT_EQ(p.dp, 2);
    EXPECT_EQ(p.filtr, 1);
    EXPECT_EQ(p.config, 0x20 | 0x08 | 0x02);
}

TEST(ParamFile, EveryFaultIsNamedWithItsLineAndNothingIsTaken)
{
    struct Case {
        std::string text;
        int line;
        const char* says;
    };
    const std::string head = "kx52-params 1\n";
    const Case cases[] = {
        {"", 0, "prázdný"},
        {"kx52-params 2\n" + std::string(kGoodBody), 1, "kx52-params 1"},
        {"SCALE = 1\n", 1, "nezačíná"},
        {head + "SCALE = 1\nSCALE = 2\n", 3, "podruhé (poprvé na řádku 2)"},
        {head + "SCAL = 1\n", 2, "neznámý parametr \"SCAL\""},
        {head + "SCALE 1\n", 2, "NÁZEV = hodnota"},
        {head + "SCALE = 1,5\n", 2, "SCALE musí být číslo"},
        {head + "SCALE = 1e39\n", 2, "SCALE musí být číslo"},
        {head + "SP_SUM = nan\n", 2, "SP_SUM musí být číslo"},
        {head + "DP = 6\n", 2, "DP musí být celé číslo 0..5"},
        {head + "FILTR = -1\n", 2, "FILTR musí být 0 nebo 1"},
        {head + "OUT2 = 1\n", 2, "OUT2 musí být trvale nebo casove"},
        {head + "SCALE = 1\n", 0,
         "chybí DP, FILTR, SP_ALA, HYSTER, SP_SUM, AIN, IN_FUNKCE, INTEGRACE, OUT1, OUT2, AOUT"},
    };
    for (const Case& c : cases) {
        DeviceParams p{7.0f, 7.0f, 7.0f, 7.0f, 1, 1, 1};
        int line = -1;
        std::string error;
        EXPECT_FALSE(ParseParamFile(c.text, p, line, error)) << c.text;
        EXPECT_EQ(line, c.line) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " -> " << error;
        EXPECT_EQ(p.scale, 7.0f) << c.text;
    }
}

TEST(ReadSchedule, StartsStayOnTheGridOverManyPeriodsAndOverrunsSkipStarts)
{
    FakeClock clock;
    clock.now = CtlClock::TimePoint{} + 12345ms;
    const CtlClock::TimePoint first = clock.now;
    std::vector<CtlClock::TimePoint> starts;
    long calls = 0;
    // Each call takes a varying time; every 1000th takes 2.5 periods.
    const long made = RunSchedule(clock, 1000ms, 20000, nullptr, [&] {
        starts.push_back(clock.now);
        ++calls;
        clock.now += calls % 1000 == 0 ? 2500ms : std::chrono::milliseconds(calls % 7 * 130);
    });
    EXPECT_EQ(made, 20000);
    ASSERT_EQ(starts.size(), 20000u);
    long long slot = 0;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const auto offset = starts[i] - first;
        ASSERT_EQ(offset % 1000ms, 0ms) << "start " << i << " is off the grid";
        const long long s = offset / 1000ms;
        // After an overrun of 2.5 periods the next start is the third slot on.
        const long long expected = i == 0 ? 0 : (i % 1000 == 0 ? slot + 3 : slot + 1);
        ASSERT_EQ(s, expected) << "start " << i;
        slot = s;
    }
}

TEST(ReadSchedule, StopSignalEndsTheScheduleBeforeTheNextCall)
{
    FakeClock clock;
    volatile std::sig_atomic_t stop = 0;
    clock.stop_flag = &stop;
    clock.stop_after_sleeps = 3;
    long calls = 0;
    EXPECT_EQ(RunSchedule(clock, 500ms, 0, &stop, [&] { ++calls; }), 3);
    EXPECT_EQ(calls, 3);
}

TEST(IsoTime, OffsetIsWrittenWithSignHoursAndMinutes)
{
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_hour = 10;
    t.tm_min = 15;
    t.tm_sec = 2;
    EXPECT_EQ(FormatIsoTime(t, 3600), "2026-12-09T10:15:02+01:00");
    EXPECT_EQ(FormatIsoTime(t, 0), "2026-12-09T10:15:02+00:00");
    EXPECT_EQ(FormatIsoTime(t, -(3 * 3600 + 30 * 60)), "2026-12-09T10:15:02-03:30");
    EXPECT_EQ(FormatIsoTime(t, 5 * 3600 + 45 * 60), "2026-12-09T10:15:02+05:45");
}

TEST(UserLinkSettings, StoredValuesAreTakenAndUnreadableOnesKeepTheirDefaults)
{
    const UserLinkSettings none = LinkSettingsFromIni("");
    EXPECT_EQ(none.com, 1);
    EXPECT_EQ(none.baud, 9600);
    EXPECT_EQ(none.dest, 0);
    EXPECT_EQ(none.source, 0);

    const UserLinkSettings all = LinkSettingsFromIni("[port]\ncom = 3\nBAUDRATE=\"19200\"\n[ADRESA]\nDA=+21\nSA= 4 \n");
    EXPECT_EQ(all.com, 3);
    EXPECT_EQ(all.baud, 19200);
    EXPECT_EQ(all.dest, 21);
    EXPECT_EQ(all.source, 4);

    const UserLinkSettings bad = LinkSettingsFromIni("[PORT]\nCOM=three\nBAUDRATE=1, 2\n[ADRESA]\nDA=99999999999\n");
    EXPECT_EQ(bad.com, 1);
    EXPECT_EQ(bad.baud, 9600);
    EXPECT_EQ(bad.dest, 0);
}

TEST(CtlCommandLine, UsageFaultsGiveOneLineAndStatusTwoWithoutTouchingAPort)
{
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{}, "chybí příkaz"},
        {{"frobnicate"}, "neznámý příkaz \"frobnicate\""},
        {{"read", "--bogus"}, "neznámá volba --bogus"},
        {{"read", "--port"}, "volbě --port chybí hodnota"},
        {{"read", "--port", "COM0"}, "--port: COM1..COM255"},
        {{"read", "--address", "127"}, "--address: očekává se adresa přístroje 0..126, ne \"127\""},
        {{"read", "--source=-1"}, "--source: očekává se adresa počítače 0..126"},
        {{"read", "--baud", "0"}, "--baud: očekává se rychlost v bit/s 1..4000000"},
        {{"read", "--every", "0.05"}, "--every: očekávají se sekundy 0.1..86400"},
        {{"read", "--every", "1.2345"}, "--every"},
        {{"read", "--count", "5"}, "--count patří k --every"},
        {{"read", "--csv=1"}, "volba --csv nemá hodnotu"},
        {{"ident", "--every", "1"}, "volba --every patří jen k příkazu read"},
        {{"read", "--port", "COM1", "--port", "COM2"}, "zadána dvakrát"},
        {{"params"}, "params: očekává se show, save SOUBOR nebo load SOUBOR"},
        {{"params", "save"}, "chybí jméno souboru"},
        {{"params", "show", "--dry-run"}, "--dry-run patří k params load"},
        {{"address"}, "chybí nová adresa"},
        {{"address", "127"}, "address: očekává se nová adresa 0..126, ne \"127\""},
        {{"search", "--from", "9", "--to", "3"}, "--from 9 leží za --to 3"},
        {{"search", "--to", "128"}, "--to: očekává se adresa 0..127"},
        {{"zero-sum"}, "potvrďte to volbou --yes"},
        {{"ident", "now"}, "nadbytečný argument \"now\""},
        {{"params", "load", "/nonexistent-kx52/params.txt"}, "nelze číst"},
    };
    FakeClock clock;
    for (const Case& c : cases) {
        const CtlResult r = RunCtlWith(c.args, clock);
        std::string line;
        for (const std::string& a : c.args)
            line += a + " ";
        EXPECT_EQ(r.status, kExitUsage) << line;
        EXPECT_EQ(r.out, "") << line;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << line << "-> " << r.err;
        EXPECT_EQ(r.err.rfind("kx52ctl: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
}

TEST(CtlCommandLine, HelpAndVersionAnswerWithoutAnInstrument)
{
    FakeClock clock;
    const CtlResult help = RunCtlWith({"--help"}, clock);
    EXPECT_EQ(help.status, kExitOk);
    for (const char* word :
         {"read",    "params show",    "params save", "params load", "--dry-run", "address",  "search",
          "ident",   "zero-sum --yes", "--port",      "--baud",      "--address", "--source", "--every",
          "--count", "--csv",          "--output",    "--from",      "--to",      "--version"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    const CtlResult version = RunCtlWith({"--version"}, clock);
    EXPECT_EQ(version.status, kExitOk);
    EXPECT_EQ(version.out.rfind("kx52ctl ", 0), 0u);
}

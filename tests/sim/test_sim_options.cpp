// The simulator's command line.
#include "SimOptions.h"

#include <gtest/gtest.h>

using sim::Fault;
using sim::SimOptions;

namespace {

SimOptions ParseOk(const std::vector<std::string>& args)
{
    SimOptions o;
    std::string error;
    EXPECT_TRUE(sim::ParseSimOptions(args, o, error)) << error;
    return o;
}

std::string ParseError(const std::vector<std::string>& args)
{
    SimOptions o;
    std::string error;
    EXPECT_FALSE(sim::ParseSimOptions(args, o, error));
    return error;
}

} // namespace

TEST(SimOptions, DefaultsAndLineOptions)
{
    const SimOptions d = ParseOk({});
    EXPECT_EQ(d.com, 1);
    EXPECT_EQ(d.address, 0);
    EXPECT_TRUE(d.pacing);
    EXPECT_TRUE(d.log_path.empty());
    EXPECT_TRUE(d.faults.empty());
    EXPECT_EQ(d.reassert_line_ms, 0);

    const SimOptions o = ParseOk({"--com", "3", "--address=17", "--log", "x.log", "--no-pacing"});
    EXPECT_EQ(o.com, 3);
    EXPECT_EQ(o.address, 17);
    EXPECT_EQ(o.log_path, "x.log");
    EXPECT_FALSE(o.pacing);
    EXPECT_EQ(ParseOk({"--reassert-line", "30"}).reassert_line_ms, 30);
    EXPECT_EQ(ParseOk({"--reassert-line=1"}).reassert_line_ms, 1);
}

TEST(SimOptions, FaultsWithValuesAndCounts)
{
    const SimOptions o =
        ParseOk({"--no-answer", "--bad-fcs=2", "--cut", "3", "--delay=700,4", "--pause", "200,1", "--garbage=5",
                 "--other-source", "9,2", "--refuse-writes=1", "--foreign-ident", "--fc09", "--vanish-after", "6"});
    ASSERT_EQ(o.faults.size(), 11u);
    auto at = [&o](std::size_t i) { return o.faults[i]; };
    EXPECT_EQ(at(0).fault, Fault::NoAnswer);
    EXPECT_EQ(at(0).count, sim::kAlways);
    EXPECT_EQ(at(1).fault, Fault::BadFcs);
    EXPECT_EQ(at(1).count, 2);
    EXPECT_EQ(at(2).fault, Fault::Cut);
    EXPECT_EQ(at(2).param, 3);
    EXPECT_EQ(at(2).count, sim::kAlways);
    EXPECT_EQ(at(3).fault, Fault::Delay);
    EXPECT_EQ(at(3).param, 700);
    EXPECT_EQ(at(3).count, 4);
    EXPECT_EQ(at(4).param, 200);
    EXPECT_EQ(at(4).count, 1);
    EXPECT_EQ(at(5).param, 5);
    EXPECT_EQ(at(6).fault, Fault::OtherSource);
    EXPECT_EQ(at(6).param, 9);
    EXPECT_EQ(at(6).count, 2);
    EXPECT_EQ(at(7).fault, Fault::RefuseWrites);
    EXPECT_EQ(at(7).count, 1);
    EXPECT_EQ(at(8).fault, Fault::ForeignIdent);
    EXPECT_EQ(at(9).fault, Fault::WrongFc);
    EXPECT_EQ(at(10).fault, Fault::Vanish);
    EXPECT_EQ(at(10).count, 6);
}

TEST(SimOptions, RejectsBadInput)
{
    EXPECT_NE(ParseError({"--com", "0"}).find("--com"), std::string::npos);
    ParseError({"--com", "x"});
    ParseError({"--com"});
    EXPECT_NE(ParseError({"--address", "127"}).find("0..126"), std::string::npos);
    ParseError({"--address", "-1"});
    ParseError({"--cut"});
    ParseError({"--cut", "0"});
    ParseError({"--delay", "100,"});
    ParseError({"--delay", "100,0"});
    ParseError({"--no-answer=0"});
    ParseError({"--no-answer="});
    ParseError({"--bad-fcs=two"});
    ParseError({"--vanish-after", "0"});
    ParseError({"--no-pacing=1"});
    ParseError({"--log", ""});
    EXPECT_NE(ParseError({"--reassert-line", "0"}).find("1..10000"), std::string::npos);
    ParseError({"--reassert-line"});
    EXPECT_NE(ParseError({"--frobnicate"}).find("--frobnicate"), std::string::npos);
}

TEST(SimOptions, HelpDocumentsEveryOption)
{
    EXPECT_TRUE(ParseOk({"--help"}).help);
    EXPECT_TRUE(ParseOk({"-h"}).help);
    EXPECT_TRUE(ParseOk({"--version"}).version);
    const std::string usage = sim::SimUsage();
    for (const char* opt :
         {"--com",          "--address",      "--log",           "--no-pacing",    "--help",    "--no-answer",
          "--bad-fcs",      "--fc09",         "--cut",           "--delay",        "--pause",   "--refuse-writes",
          "--garbage",      "--other-source", "--foreign-ident", "--vanish-after", "--version", "--e5-ack",
          "--unplug-after", "--back-after",   "--reassert-line", "ready"})
        EXPECT_NE(usage.find(opt), std::string::npos) << opt;
    // Every option the help names is accepted.
    ParseOk({"--com",
             "1",
             "--address",
             "0",
             "--log",
             "f",
             "--no-pacing",
             "--no-answer",
             "--bad-fcs",
             "--fc09",
             "--cut",
             "1",
             "--delay",
             "1",
             "--pause",
             "1",
             "--refuse-writes",
             "--garbage",
             "1",
             "--other-source",
             "1",
             "--foreign-ident",
             "--vanish-after",
             "1",
             "--e5-ack",
             "--unplug-after",
             "0",
             "--back-after",
             "500",
             "--reassert-line",
             "30"});
}

TEST(SimOptions, UnplugAndComingBack)
{
    const SimOptions o = ParseOk({"--unplug-after", "2", "--back-after", "1500", "--e5-ack=3"});
    ASSERT_EQ(o.faults.size(), 2u);
    EXPECT_EQ(o.faults[0].fault, Fault::Unplug);
    EXPECT_EQ(o.faults[0].count, 3) << "two exchanges answered, the third cut";
    EXPECT_EQ(o.faults[1].fault, Fault::E5Ack);
    EXPECT_EQ(o.faults[1].count, 3);
    EXPECT_EQ(o.back_after_ms, 1500);
    EXPECT_EQ(ParseOk({}).back_after_ms, -1);
    ParseError({"--back-after", "-1"});
    ParseError({"--unplug-after", "x"});
}

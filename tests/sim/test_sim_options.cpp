// The simulator's command line.
#include "SimOptions.h"

#include <gtest/gtest.h>

using sim::Fault;
using sim::SimOptions;

namespace {

SimOptions parse_ok(const std::vector<std::string>& args)
{
    SimOptions o;
    std::string error;
    EXPECT_TRUE(sim::parse_sim_options(args, o, error)) << error;
    return o;
}

std::string parse_error(const std::vector<std::string>& args)
{
    SimOptions o;
    std::string error;
    EXPECT_FALSE(sim::parse_sim_options(args, o, error));
    return error;
}

} // namespace

TEST(SimOptions, DefaultsAndLineOptions)
{
    const SimOptions d = parse_ok({});
    EXPECT_EQ(d.com, 1);
    EXPECT_EQ(d.address, 0);
    EXPECT_TRUE(d.pacing);
    EXPECT_TRUE(d.log_path.empty());
    EXPECT_TRUE(d.faults.empty());

    const SimOptions o = parse_ok({"--com", "3", "--address=17", "--log", "x.log", "--no-pacing"});
    EXPECT_EQ(o.com, 3);
    EXPECT_EQ(o.address, 17);
    EXPECT_EQ(o.log_path, "x.log");
    EXPECT_FALSE(o.pacing);
}

TEST(SimOptions, FaultsWithValuesAndCounts)
{
    const SimOptions o = parse_ok({"--no-answer", "--bad-fcs=2", "--cut", "3", "--delay=700,4", "--pause", "200,1",
                                   "--garbage=5", "--other-source", "9,2", "--refuse-writes=1", "--foreign-ident",
                                   "--fc09", "--vanish-after", "6"});
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
    EXPECT_NE(parse_error({"--com", "0"}).find("--com"), std::string::npos);
    parse_error({"--com", "x"});
    parse_error({"--com"});
    EXPECT_NE(parse_error({"--address", "127"}).find("0..126"), std::string::npos);
    parse_error({"--address", "-1"});
    parse_error({"--cut"});
    parse_error({"--cut", "0"});
    parse_error({"--delay", "100,"});
    parse_error({"--delay", "100,0"});
    parse_error({"--no-answer=0"});
    parse_error({"--no-answer="});
    parse_error({"--bad-fcs=two"});
    parse_error({"--vanish-after", "0"});
    parse_error({"--no-pacing=1"});
    parse_error({"--log", ""});
    EXPECT_NE(parse_error({"--frobnicate"}).find("--frobnicate"), std::string::npos);
}

TEST(SimOptions, HelpDocumentsEveryOption)
{
    EXPECT_TRUE(parse_ok({"--help"}).help);
    EXPECT_TRUE(parse_ok({"-h"}).help);
    EXPECT_TRUE(parse_ok({"--version"}).version);
    const std::string usage = sim::sim_usage();
    for (const char* opt : {"--com", "--address", "--log", "--no-pacing", "--help", "--no-answer", "--bad-fcs",
                            "--fc09", "--cut", "--delay", "--pause", "--refuse-writes", "--garbage",
                            "--other-source", "--foreign-ident", "--vanish-after", "--version", "--e5-ack",
                            "--unplug-after", "--back-after", "ready"})
        EXPECT_NE(usage.find(opt), std::string::npos) << opt;
    // Every option the help names is accepted.
    parse_ok({"--com", "1", "--address", "0", "--log", "f", "--no-pacing", "--no-answer", "--bad-fcs", "--fc09",
              "--cut", "1", "--delay", "1", "--pause", "1", "--refuse-writes", "--garbage", "1", "--other-source",
              "1", "--foreign-ident", "--vanish-after", "1", "--e5-ack", "--unplug-after", "0", "--back-after",
              "500"});
}

TEST(SimOptions, UnplugAndComingBack)
{
    const SimOptions o = parse_ok({"--unplug-after", "2", "--back-after", "1500", "--e5-ack=3"});
    ASSERT_EQ(o.faults.size(), 2u);
    EXPECT_EQ(o.faults[0].fault, Fault::Unplug);
    EXPECT_EQ(o.faults[0].count, 3) << "two exchanges answered, the third cut";
    EXPECT_EQ(o.faults[1].fault, Fault::E5Ack);
    EXPECT_EQ(o.faults[1].count, 3);
    EXPECT_EQ(o.back_after_ms, 1500);
    EXPECT_EQ(parse_ok({}).back_after_ms, -1);
    parse_error({"--back-after", "-1"});
    parse_error({"--unplug-after", "x"});
}

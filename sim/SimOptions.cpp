#include "SimOptions.h"

#include <charconv>

namespace sim {

namespace {

bool ParseInt(const std::string& text, int lo, int hi, int& out)
{
    int v = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, v);
    if (ec != std::errc() || ptr != last || text.empty() || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

struct FaultOptionDef {
    const char* name;
    Fault fault;
    bool takes_value; // VALUE[,K]; otherwise only [=K]
    int lo;
    int hi;
};

constexpr FaultOptionDef kFaultOptionDefs[] = {
    {"--no-answer", Fault::NoAnswer, false, 0, 0},
    {"--bad-fcs", Fault::BadFcs, false, 0, 0},
    {"--fc09", Fault::WrongFc, false, 0, 0},
    {"--cut", Fault::Cut, true, 1, 255},
    {"--delay", Fault::Delay, true, 0, 60000},
    {"--pause", Fault::Pause, true, 0, 60000},
    {"--refuse-writes", Fault::RefuseWrites, false, 0, 0},
    {"--garbage", Fault::Garbage, true, 1, 255},
    {"--other-source", Fault::OtherSource, true, 0, 126},
    {"--foreign-ident", Fault::ForeignIdent, false, 0, 0},
    {"--e5-ack", Fault::E5Ack, false, 0, 0},
};

constexpr int kMaxCount = 1000000;

} // namespace

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& out, std::string& error)
{
    out = SimOptions{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inline_value;
        if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inline_value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        // The value of an option that needs one: after '=' or as the next word.
        auto value = [&](std::string& v) {
            if (inline_value) {
                v = *inline_value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            v = args[++i];
            return true;
        };
        std::string v;
        // The option's value as a whole number lo..hi into `field`;
        // otherwise "<option>: <what> expected, not '<value>'".
        auto number = [&](int lo, int hi, int& field, const char* what) {
            if (!value(v))
                return false;
            if (!ParseInt(v, lo, hi, field)) {
                error = arg + ": " + what + " expected, not '" + v + "'";
                return false;
            }
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--version") {
            out.version = true;
        } else if (arg == "--com") {
            if (!number(1, 99, out.com, "a port number 1..99"))
                return false;
        } else if (arg == "--address") {
            if (!number(0, 126, out.address, "a bus address 0..126"))
                return false;
        } else if (arg == "--log") {
            if (!value(v))
                return false;
            if (v.empty()) {
                error = "--log: a file name expected";
                return false;
            }
            out.log_path = v;
        } else if (arg == "--no-pacing") {
            if (inline_value) {
                error = "--no-pacing takes no value";
                return false;
            }
            out.pacing = false;
        } else if (arg == "--reassert-line") {
            if (!number(1, 10000, out.reassert_line_ms, "milliseconds (1..10000)"))
                return false;
        } else if (arg == "--unplug-after") {
            int after = 0;
            if (!number(0, kMaxCount - 1, after, "a number of exchanges (0 or more)"))
                return false;
            out.faults.push_back(FaultOption{Fault::Unplug, after + 1, std::nullopt});
        } else if (arg == "--back-after") {
            if (!number(0, 3600000, out.back_after_ms, "milliseconds (0..3600000)"))
                return false;
        } else if (arg == "--vanish-after") {
            FaultOption f{Fault::Vanish, 0, std::nullopt};
            if (!number(1, kMaxCount, f.count, "a number of exchanges (1 or more)"))
                return false;
            out.faults.push_back(f);
        } else {
            const FaultOptionDef* def = nullptr;
            for (const FaultOptionDef& s : kFaultOptionDefs) {
                if (arg == s.name)
                    def = &s;
            }
            if (def == nullptr) {
                error = "unknown option '" + args[i] + "' (see --help)";
                return false;
            }
            FaultOption f{def->fault, kAlways, std::nullopt};
            std::string count_text;
            if (def->takes_value) {
                if (!value(v))
                    return false;
                const auto comma = v.find(',');
                const std::string first = v.substr(0, comma);
                int p = 0;
                if (!ParseInt(first, def->lo, def->hi, p)) {
                    error = arg + ": a value " + std::to_string(def->lo) + ".." + std::to_string(def->hi) +
                            " expected, not '" + first + "'";
                    return false;
                }
                f.param = p;
                if (comma != std::string::npos)
                    count_text = v.substr(comma + 1);
                if (comma != std::string::npos && count_text.empty()) {
                    error = arg + ": a count expected after ','";
                    return false;
                }
            } else if (inline_value) {
                count_text = *inline_value;
                if (count_text.empty()) {
                    error = arg + ": a count expected after '='";
                    return false;
                }
            }
            if (!count_text.empty() && !ParseInt(count_text, 1, kMaxCount, f.count)) {
                error = arg + ": a count of answers (1 or more) expected, not '" + count_text + "'";
                return false;
            }
            out.faults.push_back(f);
        }
    }
    return true;
}

std::string SimUsage()
{
    return R"(Usage: orbena52-sim [OPTION]...
Simulated ORBENA 52 instrument on a pseudo-terminal. The program reaches it as
"COM n" through the link <config>/OrbKX52/COMn, where <config> is
$XDG_CONFIG_HOME or ~/.config. Once the link exists, one line
"ready <link> -> <pty>" is printed on standard output; nothing else goes there.
The simulator runs until it is interrupted (SIGINT, SIGTERM) and then removes
the link.

The instrument: its input swings slowly (a 4-minute sine, 4.8..19.2 mA); the
measured value is that input over the range chosen in CONFIG (0..20 or
4..20 mA, linear or square-rooted) times SCALE (100 at start, so percent),
and the sum adds it up per minute or per hour. Written parameters read back
as written; the sum-reset command and the address change work as on the
real instrument. Nothing is kept between runs.

Line and station:
  --com N             make the link COMN (1..99, default 1)
  --address A         answer at bus address A (0..126, default 0)
  --log FILE          append the traffic log to FILE (default: standard error);
                      every request and answer in hex with a time stamp
  --no-pacing         answer at once instead of at the line's speed (by default
                      each character takes 11 bits at the speed the program set)
  --reassert-line MS  every MS milliseconds (1..10000) set two stop bits on the
                      pty's side again; for wine, which opens a COM port on a
                      pty only when that changes the pty's line settings, and
                      so fails from the second opening on without this
  -h, --help          show this text and exit
      --version       show the version and exit

Fault injection. K is the number of answers the fault applies to; without K it
applies to every answer. Faults may be combined.
  --no-answer[=K]     send no answer
  --bad-fcs[=K]       send the answer with a wrong check sum
  --fc09[=K]          send data answers with function code 0x09 instead of 0x08
  --cut N[,K]         cut the last N bytes (1..255) off the answer
  --delay MS[,K]      wait MS milliseconds (0..60000) before the answer
  --pause MS[,K]      stop for MS milliseconds in the middle of the answer
  --refuse-writes[=K] refuse table writes: nothing is written and the
                      acknowledgement carries function code 0x02
  --garbage N[,K]     send N stray bytes (1..255) before the answer
  --other-source A[,K]
                      answer from source address A (0..126)
  --foreign-ident[=K] answer identification requests in the format of an
                      instrument of another family (function code 0x0A, a
                      header byte, three 32-character text fields)
  --e5-ack[=K]        acknowledge table writes with the single character 0xE5
                      (the write is applied)
  --vanish-after K    close the pty after K exchanges, as if the adapter were
                      pulled: the link stays but leads nowhere, so opening
                      the port fails; the simulator then exits
  --unplug-after K    answer K exchanges, then pull the adapter in the middle
                      of the next answer: half of it goes out, then the pty
                      closes as with --vanish-after
  --back-after MS     after the port vanished, plug it in again MS
                      milliseconds later (a new pty behind the same link)
                      and go on answering, instead of exiting

Example:
  orbena52-sim --com 1 --log sim.log > sim.ready &
  until grep -q '^ready' sim.ready; do sleep 0.1; done
)";
}

std::string SimVersion()
{
    return "orbena52-sim " KX52_VERSION "\n";
}

} // namespace sim

#include "CtlCommandLine.h"

#include "CtlCommands.h"

#include <charconv>
#include <optional>

namespace {

constexpr OptionDef kOptionDefs[] = {
    {"--port", true, nullptr},   {"--baud", true, nullptr},     {"--address", true, nullptr},
    {"--source", true, nullptr}, {"--every", true, "read"},     {"--count", true, "read"},
    {"--csv", false, "read"},    {"--output", true, "read"},    {"--dry-run", false, "params"},
    {"--from", true, "search"},  {"--to", true, "search"},      {"--yes", false, "zero-sum"},
    {"--help", false, nullptr},  {"--version", false, nullptr},
};

} // namespace

std::span<const OptionDef> OptionDefs()
{
    return kOptionDefs;
}

bool ParseWhole(std::string_view text, long long lo, long long hi, long long& value)
{
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
        return false;
    value = v;
    return true;
}

bool ParseSeconds(std::string_view text, long long& ms)
{
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (dot != std::string_view::npos && (fraction.empty() || fraction.size() > 3))
        return false;
    long long seconds = 0;
    long long thousandths = 0;
    if (!ParseWhole(whole, 0, 86400, seconds))
        return false;
    if (!fraction.empty()) {
        std::string padded(fraction);
        padded.resize(3, '0');
        if (!ParseWhole(padded, 0, 999, thousandths))
            return false;
    }
    ms = seconds * 1000 + thousandths;
    return true;
}

long long CommandLine::Number(const std::string& name, long long lo, long long hi, const std::string& what) const
{
    long long v = 0;
    if (!ParseWhole(Value(name), lo, hi, v))
        throw UsageError{name + ": očekává se " + what + " " + std::to_string(lo) + ".." + std::to_string(hi) +
                         ", ne \"" + Value(name) + "\""};
    return v;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    CommandLine cl;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "-h")
            arg = "--help";
        if (arg.size() < 2 || arg[0] != '-') {
            cl.words.push_back(arg);
            continue;
        }
        std::optional<std::string> inline_value;
        if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
            inline_value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const OptionDef* def = nullptr;
        for (const OptionDef& d : kOptionDefs) {
            if (arg == d.name)
                def = &d;
        }
        if (def == nullptr)
            throw UsageError{"neznámá volba " + arg + " (kx52ctl --help vypíše všechny)"};
        if (cl.Has(arg))
            throw UsageError{"volba " + arg + " je zadána dvakrát"};
        if (!def->takes_value) {
            if (inline_value)
                throw UsageError{"volba " + arg + " nemá hodnotu"};
            cl.options[arg] = "";
        } else if (inline_value) {
            cl.options[arg] = *inline_value;
        } else if (i + 1 < args.size()) {
            cl.options[arg] = args[++i];
        } else {
            throw UsageError{"volbě " + arg + " chybí hodnota"};
        }
    }
    return cl;
}

int ComNumberOf(const std::string& port)
{
    if (port.size() < 4 || (port[0] != 'C' && port[0] != 'c') || (port[1] != 'O' && port[1] != 'o') ||
        (port[2] != 'M' && port[2] != 'm'))
        return 0;
    long long n = 0;
    if (!ParseWhole(std::string_view(port).substr(3), 1, 255, n))
        throw UsageError{"--port: COM1..COM255 nebo cesta k zařízení, ne \"" + port + "\""};
    return static_cast<int>(n);
}

std::string CtlHelpText()
{
    return R"(Použití: kx52ctl [VOLBY] PŘÍKAZ [ARGUMENTY]
Práce s přístrojem ORBENA 52 bez okna: čtení, parametry, adresa, hledání,
identifikace, nulování sumy.

Příkazy:
  read                        jedno čtení: naměřená hodnota a suma
  read --every S [--count N] [--csv] [--output SOUBOR]
                              čtení každých S sekund (0.1..86400), N krát nebo
                              do SIGINT/SIGTERM; --csv: "time,value,sum";
                              --output: připojit do SOUBORU (i bez --every)
  params show                 vypíše parametry přístroje (tabulky 1 a 2)
  params save SOUBOR          uloží parametry do textového souboru
  params load SOUBOR [--dry-run]
                              zkontroluje soubor, zapíše parametry, přečte je
                              zpět a porovná; --dry-run jen zkontroluje a vypíše
  address NOVÁ                nastaví přístroji adresu 0..126 a ověří ji
  search [--from A] [--to B]  hledá přístroje na adresách A..B (0..127)
  ident                       typ a verze přístroje
  zero-sum --yes              vynuluje sumu přístroje

Volby (co chybí, se vezme z nastavení KX-52, jinak COM1, 9600, 0, 0):
  --port PORT      COMn, nebo cesta k zařízení (/dev/ttyUSB0)
  --baud N         rychlost v bit/s
  --address DA     adresa přístroje 0..126
  --source SA      adresa počítače 0..126
  -h, --help       tento text
  --version        verze programu

Návratový kód: 0 v pořádku, 1 přístroj neodpověděl nebo odmítl, 2 chybné
volby nebo soubor, 3 port nelze otevřít.
Proměnná KX52_TRACE=SOUBOR zapisuje komunikaci na lince do SOUBORU.
Viz kx52ctl(1).
)";
}

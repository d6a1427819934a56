#include "CtlCommands.h"

#include "ComPort.h"
#include "Cp1250.h"
#include "CtlCommandLine.h"
#include "DeviceTables.h"
#include "FixedFormat.h"
#include "KxError.h"
#include "NotingBackend.h"
#include "ParamFile.h"
#include "Protokol_spol.h"
#include "WireTrace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#ifndef KX52_VERSION
#define KX52_VERSION "0"
#endif

namespace {

// The pauses the window's dialogs make between table transfers: the
// instrument gets the same time to take a write in and to be read again.
constexpr int kPauseAfterRead = 20;
constexpr int kPauseAfterWrite = 100;
constexpr int kPauseAfterAddressChange = 100;
constexpr int kPauseBetweenIdentReads = 50;
// One address probe every 100 ms at most, as in the window's bus search.
constexpr std::chrono::milliseconds kProbePeriod{100};

// --- the commands -------------------------------------------------------------

class Ctl {
public:
    Ctl(const CtlEnv& env, CommandLine cl) : env_(env), cl_(std::move(cl)) {}
    ~Ctl()
    {
        link_set_port(nullptr);
        if (port_)
            port_->ClosePort();
    }
    Ctl(const Ctl&) = delete;
    Ctl& operator=(const Ctl&) = delete;

    int Run();

private:
    int Fail(int status, const std::string& message)
    {
        *env_.err << "kx52ctl: " << message << '\n' << std::flush;
        return status;
    }
    // The part of a failure message that says who did not answer.
    std::string NoAnswer(const std::string& exchange) const
    {
        return exchange + " se nezdařilo: přístroj na adrese " + std::to_string(get_dest_address()) + " (port " +
               port_label_ + ") neodpověděl nebo požadavek odmítl";
    }

    void TakeLinkSettings();
    int OpenLink();
    bool ReopenForReading();
    bool ReadParams(DeviceParams& params, std::string& failed);

    int CmdRead();
    int CmdParams();
    int CmdAddress();
    int CmdSearch();
    int CmdIdent();
    int CmdZeroSum();

    const CtlEnv& env_;
    CommandLine cl_;
    int com_ = 1; // 0 when a device path was given
    std::string device_path_;
    std::string port_label_; // "COM3" or the device path, for messages
    std::int32_t baud_ = 9600;
    std::uint8_t dest_ = 0;
    std::uint8_t source_ = 0;
    bool dest_from_settings_ = true;
    std::unique_ptr<ComPort> port_;
    NotingBackend* backend_ = nullptr;
};

void Ctl::TakeLinkSettings()
{
    const UserLinkSettings stored = env_.settings ? env_.settings() : UserLinkSettings{};
    com_ = stored.com;
    baud_ = stored.baud;
    // As the window hands them to the link: as bytes.
    dest_ = static_cast<std::uint8_t>(stored.dest);
    source_ = static_cast<std::uint8_t>(stored.source);
    if (cl_.Has("--port")) {
        const std::string& port = cl_.Value("--port");
        if (port.empty())
            throw UsageError{"--port: COM1..COM255 nebo cesta k zařízení"};
        com_ = ComNumberOf(port);
        if (com_ == 0)
            device_path_ = port;
    }
    if (cl_.Has("--baud"))
        baud_ = static_cast<std::int32_t>(cl_.Number("--baud", 1, 4000000, "rychlost v bit/s"));
    if (cl_.Has("--address")) {
        dest_ = static_cast<std::uint8_t>(cl_.Number("--address", 0, 126, "adresa přístroje"));
        dest_from_settings_ = false;
    }
    if (cl_.Has("--source"))
        source_ = static_cast<std::uint8_t>(cl_.Number("--source", 0, 126, "adresa počítače"));
    port_label_ = device_path_.empty() ? "COM" + std::to_string(com_) : device_path_;
}

int Ctl::OpenLink()
{
    std::unique_ptr<SerialBackend> backend = MakeSerialBackend();
    // KX52_TRACE names a file for a trace of the traffic, as for the window.
    if (const char* trace = std::getenv("KX52_TRACE"); trace != nullptr && trace[0] != '\0') {
        std::string error;
        backend = WithWireTrace(std::move(backend), trace, "kx52ctl " KX52_VERSION, error);
        if (!error.empty())
            *env_.err << "kx52ctl: " << error << '\n';
    }
    auto noting = std::make_unique<NotingBackend>(std::move(backend), device_path_);
    backend_ = noting.get();
    port_ = std::make_unique<ComPort>(std::move(noting));
    link_set_port(port_.get());
    set_dest_address(dest_);
    set_source_address(source_);
    if (!ReopenForReading())
        return kExitPort;
    return kExitOk;
}

// Opens the port (again); reports on err when it cannot.
bool Ctl::ReopenForReading()
{
    port_->com_index = com_;
    port_->baud_rate = baud_;
    try {
        if (port_->OpenPort(com_) == 0)
            return true;
        std::string message = "Sériový port " + port_label_ + " nelze otevřít";
        if (!backend_->tried_path.empty() && !backend_->reason.empty())
            message += " (" + backend_->tried_path + ": " + backend_->reason + ")";
        Fail(kExitPort, message);
    } catch (const KxError& e) {
        // The port's own messages name the port "COM n"; a device path is
        // named as the user gave it.
        std::string message = e.what();
        if (!device_path_.empty()) {
            if (const std::size_t at = message.find("COM0"); at != std::string::npos)
                message.replace(at, 4, device_path_);
        }
        Fail(kExitPort, message);
    }
    return false;
}

bool Ctl::ReadParams(DeviceParams& params, std::string& failed)
{
    for (std::uint8_t table : {std::uint8_t{1}, std::uint8_t{2}}) {
        if (read_table(table) != 1) {
            failed = NoAnswer("čtení parametrů (tabulka " + std::to_string(table) + ")");
            return false;
        }
        link_pause(kPauseAfterRead);
    }
    params = ParamsFromTables();
    return true;
}

int Ctl::CmdRead()
{
    if (cl_.words.size() > 1)
        throw UsageError{"read: nadbytečný argument \"" + cl_.words[1] + "\""};
    long long every_ms = 0;
    if (cl_.Has("--every") && (!ParseSeconds(cl_.Value("--every"), every_ms) || every_ms < 100))
        throw UsageError{"--every: očekávají se sekundy 0.1..86400 (nejvýš tři desetinná místa), ne \"" +
                         cl_.Value("--every") + "\""};
    long long count = 0;
    if (cl_.Has("--count")) {
        if (!cl_.Has("--every"))
            throw UsageError{"--count patří k --every"};
        count = cl_.Number("--count", 1, 2147483647, "počet čtení");
    }
    const bool csv = cl_.Has("--csv");

    // The output file is appended to; the header goes only into a new or empty file.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    bool header = csv;
    if (cl_.Has("--output")) {
        const std::string& path = cl_.Value("--output");
        file.reset(std::fopen(path.c_str(), "ab"));
        if (!file)
            return Fail(kExitUsage, "soubor " + path + " nelze otevřít pro zápis: " + std::strerror(errno));
        std::fseek(file.get(), 0, SEEK_END);
        header = csv && std::ftell(file.get()) == 0;
    }
    auto emit = [&](const std::string& line) {
        if (file) {
            std::fputs((line + "\n").c_str(), file.get());
            std::fflush(file.get());
        } else {
            *env_.out << line << '\n' << std::flush;
        }
    };

    if (const int status = OpenLink(); status != kExitOk)
        return status;
    if (header)
        emit("time,value,sum");

    bool last_ok = false;
    auto reading = [&] {
        const std::string stamp = csv ? IsoLocalTime(env_.clock->WallNow()) : std::string();
        std::string value;
        std::string sum;
        last_ok = port_->IsOpen() || ReopenForReading();
        if (last_ok) {
            last_ok = read_table(0) == 1;
            if (last_ok) {
                value = FormatFixed(meas_value, 7, 3, ".");
                sum = FormatFixed(sum_value, 10, 5, ".");
            } else {
                Fail(kExitNoAnswer, NoAnswer("čtení měření (tabulka 0)"));
                // The next reading opens the port anew: an adapter that was
                // pulled out and put back is found again.
                port_->ClosePort();
            }
        }
        if (csv)
            emit(stamp + "," + value + "," + sum);
        else if (last_ok)
            emit(value + " " + sum);
    };

    if (every_ms == 0) {
        reading();
        return last_ok ? kExitOk : kExitNoAnswer;
    }
    RunSchedule(*env_.clock, std::chrono::milliseconds(every_ms), static_cast<long>(count), env_.stop, reading);
    return kExitOk;
}

int Ctl::CmdParams()
{
    const std::string sub = cl_.words.size() > 1 ? cl_.words[1] : std::string();
    const std::size_t wanted = sub == "show" ? 2 : 3;
    if (sub != "show" && sub != "save" && sub != "load")
        throw UsageError{"params: očekává se show, save SOUBOR nebo load SOUBOR"};
    if (cl_.words.size() < wanted)
        throw UsageError{"params " + sub + ": chybí jméno souboru"};
    if (cl_.words.size() > wanted)
        throw UsageError{"params " + sub + ": nadbytečný argument \"" + cl_.words[wanted] + "\""};
    if (cl_.Has("--dry-run") && sub != "load")
        throw UsageError{"--dry-run patří k params load"};

    if (sub == "load") {
        const std::string& path = cl_.words[2];
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return Fail(kExitUsage, "soubor " + path + " nelze číst: " + std::strerror(errno));
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        DeviceParams wanted_params;
        int line = 0;
        std::string error;
        if (!ParseParamFile(text, wanted_params, line, error))
            return Fail(kExitUsage, path + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + error +
                                        "; nic se nezapsalo");
        if (cl_.Has("--dry-run")) {
            *env_.out << FormatParamLines(wanted_params) << std::flush;
            return kExitOk;
        }
        if (const int status = OpenLink(); status != kExitOk)
            return status;
        ParamsToTables(wanted_params);
        std::string failed_tables;
        for (std::uint8_t table : {std::uint8_t{1}, std::uint8_t{2}}) {
            if (write_table(table) != 1)
                failed_tables += (failed_tables.empty() ? "" : " a ") + std::to_string(table);
            link_pause(kPauseAfterWrite);
        }
        if (!failed_tables.empty())
            return Fail(kExitNoAnswer, NoAnswer("zápis parametrů (tabulka " + failed_tables + ")"));
        DeviceParams held;
        std::string failed;
        if (!ReadParams(held, failed))
            return Fail(kExitNoAnswer, failed);
        if (!SameParams(held, wanted_params))
            return Fail(kExitNoAnswer, "přístroj po zápisu drží jiné hodnoty, než jsou v souboru " + path +
                                           " (soubor -> přístroj):\n" + DescribeParamDifferences(wanted_params, held));
        return kExitOk;
    }

    if (const int status = OpenLink(); status != kExitOk)
        return status;
    DeviceParams params;
    std::string failed;
    if (!ReadParams(params, failed))
        return Fail(kExitNoAnswer, failed);
    if (sub == "show") {
        *env_.out << FormatParamLines(params) << std::flush;
        return kExitOk;
    }
    const std::string& path = cl_.words[2];
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << FormatParamFile(params);
    out.close();
    if (!out)
        return Fail(kExitUsage, "soubor " + path + " nelze zapsat: " + std::strerror(errno));
    return kExitOk;
}

int Ctl::CmdAddress()
{
    if (cl_.words.size() != 2)
        throw UsageError{cl_.words.size() < 2 ? "address: chybí nová adresa (0..126)"
                                              : "address: nadbytečný argument \"" + cl_.words[2] + "\""};
    long long next = 0;
    if (!ParseWhole(cl_.words[1], 0, 126, next))
        throw UsageError{"address: očekává se nová adresa 0..126, ne \"" + cl_.words[1] + "\""};
    if (const int status = OpenLink(); status != kExitOk)
        return status;
    const std::uint8_t old_address = get_dest_address();
    dev_address = static_cast<std::uint8_t>(next);
    if (write_table(3) != 1)
        return Fail(kExitNoAnswer, NoAnswer("zápis adresy (tabulka 3)"));
    set_dest_address(static_cast<std::uint8_t>(next));
    link_pause(kPauseAfterAddressChange);
    if (read_table(3) != 1)
        return Fail(kExitNoAnswer, "adresa " + std::to_string(next) + " byla zapsána, ale " +
                                       NoAnswer("čtení adresy (tabulka 3) z nové adresy"));
    if (dev_address != next)
        return Fail(kExitNoAnswer,
                    "přístroj na adrese " + std::to_string(next) + " hlásí adresu " + std::to_string(dev_address));
    if (dest_from_settings_)
        *env_.err << "kx52ctl: přístroj má adresu " << next << "; nastavení KX-52 (Nastavení / Komunikace) dál uvádí "
                  << static_cast<int>(old_address) << '\n';
    return kExitOk;
}

int Ctl::CmdSearch()
{
    if (cl_.words.size() > 1)
        throw UsageError{"search: nadbytečný argument \"" + cl_.words[1] + "\""};
    const long long from = cl_.Has("--from") ? cl_.Number("--from", 0, 127, "adresa") : 0;
    const long long to = cl_.Has("--to") ? cl_.Number("--to", 0, 127, "adresa") : 127;
    if (from > to)
        throw UsageError{"--from " + std::to_string(from) + " leží za --to " + std::to_string(to)};
    if (const int status = OpenLink(); status != kExitOk)
        return status;
    long long address = from;
    int found = 0;
    RunSchedule(*env_.clock, kProbePeriod, static_cast<long>(to - from + 1), env_.stop, [&] {
        if (env_.progress)
            *env_.err << "\rhledám: adresa " << address << " z " << from << ".." << to << "   " << std::flush;
        set_dest_address(static_cast<std::uint8_t>(address));
        if (probe_address() == 1) {
            if (env_.progress)
                *env_.err << '\r' << std::string(40, ' ') << '\r' << std::flush;
            *env_.out << address << '\n' << std::flush;
            ++found;
        }
        ++address;
    });
    if (env_.progress)
        *env_.err << '\r' << std::string(40, ' ') << '\r' << std::flush;
    set_dest_address(dest_);
    if (found == 0)
        return Fail(kExitNoAnswer, "na adresách " + std::to_string(from) + ".." + std::to_string(to) + " (port " +
                                       port_label_ + ") neodpověděl žádný přístroj");
    return kExitOk;
}

int Ctl::CmdIdent()
{
    if (cl_.words.size() > 1)
        throw UsageError{"ident: nadbytečný argument \"" + cl_.words[1] + "\""};
    if (const int status = OpenLink(); status != kExitOk)
        return status;
    const bool type = read_device_type() == 1;
    link_pause(kPauseBetweenIdentReads);
    const bool version = read_device_version() == 1;
    if (type || version) {
        *env_.out << "Typ zařízení: " << (type ? Cp1250ToUtf8(device_type_area()) : "neidentifikováno") << '\n'
                  << "Verze zařízení: " << (version ? Cp1250ToUtf8(device_version_area()) : "neidentifikováno") << '\n'
                  << std::flush;
        return kExitOk;
    }
    link_pause(kPauseBetweenIdentReads);
    if (read_foreign_ident() != 1)
        return Fail(kExitNoAnswer, NoAnswer("identifikace"));
    // The other family's text: three fields of 32 bytes.
    const std::string text(foreign_ident_area(), ::strnlen(foreign_ident_area(), 96));
    *env_.out << "Identifikováno zařízení pro které je nutné použít jiný software\n";
    for (std::size_t at = 0; at < text.size(); at += 32)
        *env_.out << Cp1250ToUtf8(text.substr(at, 32)) << '\n';
    *env_.out << std::flush;
    return kExitOk;
}

int Ctl::CmdZeroSum()
{
    if (cl_.words.size() > 1)
        throw UsageError{"zero-sum: nadbytečný argument \"" + cl_.words[1] + "\""};
    if (!cl_.Has("--yes"))
        throw UsageError{"zero-sum vynuluje sumu přístroje; potvrďte to volbou --yes"};
    if (const int status = OpenLink(); status != kExitOk)
        return status;
    if (zero_sum() != 1)
        return Fail(kExitNoAnswer, NoAnswer("nulování sumy"));
    return kExitOk;
}

int Ctl::Run()
{
    if (cl_.Has("--help")) {
        *env_.out << CtlHelpText() << std::flush;
        return kExitOk;
    }
    if (cl_.Has("--version")) {
        *env_.out << "kx52ctl " KX52_VERSION "\n" << std::flush;
        return kExitOk;
    }
    if (cl_.words.empty())
        throw UsageError{"chybí příkaz (kx52ctl --help vypíše všechny)"};
    const std::string& command = cl_.words[0];
    for (const OptionDef& d : OptionDefs()) {
        if (d.command != nullptr && command != d.command && cl_.Has(d.name))
            throw UsageError{std::string("volba ") + d.name + " patří jen k příkazu " + d.command};
    }
    const std::map<std::string, int (Ctl::*)()> commands = {
        {"read", &Ctl::CmdRead},     {"params", &Ctl::CmdParams}, {"address", &Ctl::CmdAddress},
        {"search", &Ctl::CmdSearch}, {"ident", &Ctl::CmdIdent},   {"zero-sum", &Ctl::CmdZeroSum},
    };
    const auto it = commands.find(command);
    if (it == commands.end())
        throw UsageError{"neznámý příkaz \"" + command + "\" (kx52ctl --help vypíše všechny)"};
    TakeLinkSettings();
    return (this->*(it->second))();
}

} // namespace

int RunCtl(const std::vector<std::string>& args, const CtlEnv& env)
{
    // Every run starts from the program's zero state of the link, as the
    // window program does at its start.
    reset_table_variables();
    try {
        Ctl ctl(env, ParseCommandLine(args));
        return ctl.Run();
    } catch (const UsageError& e) {
        *env.err << "kx52ctl: " << e.text << '\n' << std::flush;
        return kExitUsage;
    }
}

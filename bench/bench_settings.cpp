// Reading and writing the settings file when it holds many values the program
// does not know (left there by hand, by a script, or by another program). For
// each size: the parse of the file's text alone, the reads of one program
// start (the main window's 11 values, the communication settings' 4 and the
// recording period), and the 10 writes of the main window's closing, each
// through the settings store on a file in a temporary folder. The time should
// grow in proportion to the file's size: 100,000 values are meant to be read
// in well under a second.
//
//   bench_settings [--help] [values ...]   (default: 10000 40000 100000 160000)
#include "IniText.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The program's own values, and `unknown` values of other names in the
// section "GRAF" among them.
std::string FileWith(int unknown)
{
    std::string text = "[DESKTOP]\nLeft=300\nTop=200\nHeight=500\nWidth=700\n[GRAF]\nPERO=65280\nMRIZ=255\n";
    for (int i = 0; i < unknown; ++i)
        text += "Extra" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    text += "POZADI=16777215\nG3D=0\nR3D=60\nPOCET=500\n[ZAZNAM]\nSOUBOR=5\n"
            "[ADRESA]\nSA=3\nDA=4\n[PORT]\nCOM=2\nBAUDRATE=19200\n";
    return text;
}

struct Read {
    const char* section;
    const char* name;
    std::int32_t stored; // reads: as FileWith writes it; writes: the value written
};
constexpr Read kStartReads[] = {
    {"DESKTOP", "Left", 300}, {"DESKTOP", "Top", 200}, {"DESKTOP", "Height", 500},   {"DESKTOP", "Width", 700},
    {"GRAF", "PERO", 65280},  {"GRAF", "MRIZ", 255},   {"GRAF", "POZADI", 16777215}, {"GRAF", "G3D", 0},
    {"GRAF", "R3D", 60},      {"GRAF", "POCET", 500},  {"ZAZNAM", "SOUBOR", 5},      {"ADRESA", "SA", 3},
    {"ADRESA", "DA", 4},      {"PORT", "COM", 2},      {"PORT", "BAUDRATE", 19200},  {"ZAZNAM", "SOUBOR", 5},
};
constexpr Read kCloseWrites[] = {
    {"DESKTOP", "Top", 1}, {"DESKTOP", "Left", 1}, {"DESKTOP", "Height", 1}, {"DESKTOP", "Width", 1},
    {"GRAF", "PERO", 1},   {"GRAF", "MRIZ", 1},    {"GRAF", "POZADI", 1},    {"GRAF", "G3D", 1},
    {"GRAF", "R3D", 1},    {"GRAF", "POCET", 1},
};

void PrintHelp()
{
    std::printf("usage: bench_settings [--help] [values ...]\n"
                "\n"
                "Times the settings file holding the given numbers of unknown values\n"
                "(default 10000 40000 100000 160000): the parse of its text, the 16 reads\n"
                "of a program start and the 10 writes of the main window's closing.\n"
                "Each should grow in proportion to the file's size; 100000 values are\n"
                "meant to be read in well under a second.\n");
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return 0;
        }
        const int n = std::atoi(argv[i]);
        if (n < 0 || std::to_string(n) != argv[i]) {
            std::fprintf(stderr, "bench_settings: not a number of values: %s (see --help)\n", argv[i]);
            return 2;
        }
        sizes.push_back(n);
    }
    if (sizes.empty())
        sizes = {10000, 40000, 100000, 160000};

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_settings: no temporary folder\n");
        return 1;
    }
    const std::string folder = dir.path().toStdString();

    std::printf("%9s %10s %9s %14s %14s %12s\n", "values", "file KiB", "parse ms", "start reads ms", "close writes ms",
                "ms/1000 val");
    int status = 0;
    for (const int n : sizes) {
        const std::string text = FileWith(n);
        auto t0 = Clock::now();
        const IniDocument doc = ParseIni(text);
        const double parse_ms = MsSince(t0);
        if (doc.Find("PORT", "BAUDRATE") == nullptr) {
            std::fprintf(stderr, "bench_settings: the parse lost a value\n");
            return 1;
        }

        QFile file(QDir(dir.path()).filePath(QStringLiteral("OrbKX52.ini")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
            std::fprintf(stderr, "bench_settings: cannot write the file\n");
            return 1;
        }
        file.close();

        SettingsStore store("OrbKX52", folder);
        t0 = Clock::now();
        int wrong = 0;
        for (const Read& r : kStartReads)
            wrong += store.LoadInt(r.section, r.name, -1) != r.stored ? 1 : 0;
        const double read_ms = MsSince(t0);
        if (wrong != 0) {
            std::fprintf(stderr, "bench_settings: %d reads gave the wrong value\n", wrong);
            status = 1;
        }
        t0 = Clock::now();
        for (const Read& w : kCloseWrites)
            store.StoreInt(w.section, w.name, w.stored);
        const double write_ms = MsSince(t0);

        std::printf("%9d %10.0f %9.1f %14.1f %14.1f %12.2f\n", n, static_cast<double>(text.size()) / 1024.0, parse_ms,
                    read_ms, write_ms, n > 0 ? read_ms * 1000.0 / n : 0.0);
    }
    return status;
}

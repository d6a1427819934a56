// A day of recording in minutes: measurement cycles through the program's own
// cycle (main window, port, link, chart, table, recording file) against the
// simulated instrument on a pseudo-terminal at 115200 bit/s, recording
// period 1, with the window's clock stepped one second per cycle.
//
//   bench_soak [cycles, default 86400] [chart points kept, default 200]
//
// Prints the cycles run, the records, the file's lines and how many are
// missing, whether the lines carry distinct seconds in time order, the
// resident memory at the start, every 10,000 cycles and at the end, the open
// descriptors and the time taken.
#include "Hl_modul.h"
#include "Kx52Application.h"
#include "LiveChart.h"
#include "MessageBoxes.h"
#include "Orbena52Sim.h"
#include "ProgramWindows.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <unistd.h>

namespace {

long ResidentKb()
{
    long pages = 0;
    long resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

int OpenDescriptors()
{
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d))
            n += e->d_name[0] != '.';
        ::closedir(d);
    }
    return n - 1; // the listing's own
}

constexpr char kUsage[] = "usage: bench_soak [CYCLES [POINTS]]\n"
                          "Runs CYCLES measurement cycles (default 86400, a day) of the program against the\n"
                          "simulated instrument at 115200 bit/s, keeping POINTS chart points (default 200, at\n"
                          "least 10), and prints the records, the file's lines, memory and descriptors.\n";

// The whole decimal number `text`, or -1 when it is not one.
int Count(const char* text)
{
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 100000000)
        return -1;
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc > 3 || (argc > 1 && Count(argv[1]) < 0) || (argc > 2 && Count(argv[2]) < 0)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const int cycles = argc > 1 ? std::max(1, Count(argv[1])) : 86400;
    const int points = argc > 2 ? std::max(10, Count(argv[2])) : 200;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit().constData(), 1);
    int app_argc = 1;
    Kx52Application app(app_argc, argv);
    SetMessageBoxHook([](const MessageBoxRequest& box) {
        std::fprintf(stderr, "box: %s\n", box.text.toUtf8().constData());
        return int{QMessageBox::Ok};
    });
    {
        QFile ini(dir.filePath(QStringLiteral("OrbKX52.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return 1;
        ini.write(QStringLiteral("[GRAF]\nPOCET=%1\n[ZAZNAM]\nSOUBOR=1\n[PORT]\nCOM=1\nBAUDRATE=115200\n")
                      .arg(points)
                      .toLatin1());
    }

    sim::SimConfig config;
    config.com = 1;
    config.config_dir = dir.path().toStdString();
    config.log = nullptr;
    sim::Orbena52Sim instrument(config);
    std::string error;
    if (!instrument.Open(error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    instrument.Start();

    CreateProgramWindows(dir.path().toStdString());
    QDateTime now(QDate(2026, 12, 7), QTime(0, 0, 0));
    const QDateTime start_time = now;
    orbena52->SetClock([&now] { return now; });
    const QString file = dir.filePath(QStringLiteral("Orbena52.txt"));
    orbena52->SetSaveDialog([&file](QWidget*, const QString&) { return file; });
    // Ticking the box chooses the file and starts the timer; the cycles are
    // then driven here, one per stepped second, instead of by the timer.
    orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run"))->setChecked(true);
    orbena52->Timer()->stop();

    const long rss_start = ResidentKb();
    const int fds_start = OpenDescriptors();
    long rss_full = 0;
    std::printf("start: RSS %ld kB, %d descriptors, %d chart points kept\n", rss_start, fds_start, points);
    QElapsedTimer clock;
    clock.start();
    for (int i = 1; i <= cycles; ++i) {
        now = now.addSecs(1);
        orbena52->Timer1Timer();
        QCoreApplication::processEvents();
        // The simulator runs in this process and keeps a traffic log for
        // tests (up to 20,000 entries); emptied here, so that the figures
        // are the program's own.
        if (i % 100 == 0)
            instrument.ClearHistory();
        if (rss_full == 0 && orbena52->Chart()->Count() > points)
            rss_full = ResidentKb();
        if (i % 10000 == 0)
            std::printf("%6d cycles: RSS %ld kB, %d descriptors, %.0f s\n", i, ResidentKb(), OpenDescriptors(),
                        static_cast<double>(clock.elapsed()) / 1000.0);
        std::fflush(stdout);
    }
    const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    const long rss_end = ResidentKb();
    const int fds_end = OpenDescriptors();

    // The file: one line per cycle, each with its own second, in order.
    QFile f(file);
    QList<QByteArray> lines;
    if (f.open(QIODevice::ReadOnly))
        lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    int in_order = 0;
    int whole = 0;
    QDateTime expected = start_time;
    for (const QByteArray& line : lines) {
        expected = expected.addSecs(1);
        const QList<QByteArray> fields = line.split(';');
        whole += fields.size() == 5 && line.endsWith("; \r");
        in_order += fields.size() == 5 && fields[2].trimmed() == RecordDateText(expected.date()).toLocal8Bit() &&
                    fields[3].trimmed() == RecordTimeText(expected.time()).toLocal8Bit();
    }
    const int reads = static_cast<int>(instrument.ReadsOf(0));
    std::printf("cycles %d, table-0 reads answered %zu, records in the table %d (of %d rows kept), "
                "last row %s\n",
                cycles, instrument.ReadsOf(0), GridMeas->next_row - 1, TGridMeas::kRowCount - 1,
                GridMeas->Cell(3, GridMeas->next_row - 1).toUtf8().constData());
    std::printf("file lines %lld, whole lines %d, lines missing %lld, lines with the cycle's own second in order %d\n",
                static_cast<long long>(lines.size()), whole, static_cast<long long>(cycles - lines.size()), in_order);
    std::printf("chart points %d\n", orbena52->Chart()->Count());
    std::printf("RSS start %ld kB, when the chart was full %ld kB, end %ld kB: growth after full %ld kB\n", rss_start,
                rss_full, rss_end, rss_full > 0 ? rss_end - rss_full : -1);
    std::printf("descriptors start %d, end %d\n", fds_start, fds_end);
    std::printf("time %.1f s (%.2f ms a cycle), reads %d\n", seconds, seconds * 1000.0 / cycles, reads);

    DestroyProgramWindows();
    instrument.Stop();
    const bool ok = lines.size() == cycles && in_order == cycles && whole == cycles &&
                    (rss_full == 0 || rss_end - rss_full < 1024) && fds_end <= fds_start;
    std::printf("%s\n", ok ? "targets met" : "TARGETS MISSED");
    return ok ? 0 : 1;
}

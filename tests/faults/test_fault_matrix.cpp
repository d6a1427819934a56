// The fault matrix: the real program's measurement cycle (the window, its
// timer, the serial port, the link) against the simulated instrument on a
// pseudo-terminal, once per line fault the simulator can inject. For each it
// checks what the operator sees (panels, status, error box), what went over
// the wire, what reached the chart, the table and the file, how long the
// window was held up and how much processor time a cycle took; and writes
// the outcomes as a table into the build tree (KX52_RELIABILITY_TABLE), from
// where scripts/refresh-reliability.sh copies it to docs/reliability.md.
#include "ProgramFixture.h"

#include "Hl_modul.h"
#include "InstrumentOnCom1.h"
#include "LiveChart.h"
#include "Orbena52Sim.h"
#include "Unitport.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <sys/resource.h>

namespace {

using sim::Fault;

// Processor time of the calling (window) thread; the simulator's thread is
// not counted.
double ThreadCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    const long long us = (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
    return static_cast<double>(us) / 1e3;
}

enum class Panels { Value, Zero };
enum class Command { None, ZeroSum, PortBack };

struct Row {
    const char* fault;  // as the operator would name it
    const char* option; // the simulator's option
    std::function<void(sim::Orbena52Sim&)> inject;
    Command command = Command::None;
    // What the program is designed to do.
    Panels panels = Panels::Value;
    const char* status = "ČTENÍ";
    const char* box = nullptr;
    // Requests a zero-sum command puts on the wire. The repetition sent after
    // the last attempt has its time on the line before the port's output is
    // purged, so it always reaches the instrument.
    int zero_sum_min = 0;
    int zero_sum_max = 0;
    // "Obnovit čtení po výpadku" ticked.
    bool resume = false;
};

const char* const kOpenError = "Sériový port COM1 nelze otevřít.";

std::vector<Row> Rows()
{
    auto fault = [](Fault f, std::optional<int> param = std::nullopt) {
        return [f, param](sim::Orbena52Sim& s) { s.Inject(f, sim::kAlways, param); };
    };
    return {
        {"none", "-", [](sim::Orbena52Sim&) {}},
        {"no answer", "--no-answer", fault(Fault::NoAnswer), Command::None, Panels::Zero},
        {"wrong check sum", "--bad-fcs", fault(Fault::BadFcs), Command::None, Panels::Zero},
        {"wrong FC (0x09)", "--fc09", fault(Fault::WrongFc), Command::None, Panels::Zero},
        {"short answer (1 byte missing)", "--cut 1", fault(Fault::Cut, 1), Command::None, Panels::Zero},
        {"answer 300 ms late (under the time-out)", "--delay 300", fault(Fault::Delay, 300)},
        {"answer 700 ms late (over the time-out)", "--delay 700", fault(Fault::Delay, 700), Command::None,
         Panels::Zero},
        {"50 ms gap inside the answer", "--pause 50", fault(Fault::Pause, 50)},
        {"150 ms gap inside the answer", "--pause 150", fault(Fault::Pause, 150), Command::None, Panels::Zero},
        {"3 garbage bytes before the answer", "--garbage 3", fault(Fault::Garbage, 3), Command::None, Panels::Zero},
        {"answer from another station", "--other-source 9", fault(Fault::OtherSource, 9)},
        {"refused writes (zero sum)", "--refuse-writes", fault(Fault::RefuseWrites), Command::ZeroSum, Panels::Value,
         "ČTENÍ", nullptr, 2, 2},
        {"single-byte E5 acknowledgement (zero sum)", "--e5-ack", fault(Fault::E5Ack), Command::ZeroSum, Panels::Value,
         "ČTENÍ", nullptr, 3, 3},
        {"port vanishes and comes back", "--vanish-after 1 --back-after", fault(Fault::Vanish, 1), Command::PortBack,
         Panels::Value, "ERROR", kOpenError},
        {"adapter unplugged mid-read", "--unplug-after 0 --back-after", fault(Fault::Unplug), Command::PortBack,
         Panels::Value, "ERROR", kOpenError},
        {"port vanishes and comes back, with resume", "--vanish-after 1 --back-after", fault(Fault::Vanish, 1),
         Command::PortBack, Panels::Zero, "VÝPADEK", nullptr, 0, 0, true},
        {"adapter unplugged mid-read, with resume", "--unplug-after 0 --back-after", fault(Fault::Unplug),
         Command::PortBack, Panels::Zero, "VÝPADEK", nullptr, 0, 0, true},
    };
}

struct Outcome {
    QString panels, status, box = QStringLiteral("-");
    int cycles = 0;
    double requests_per_s = 0;
    int chart = 0, table = 0, lines = 0;
    int longest_stall_ms = 0;
    double cpu_ms_per_cycle = 0;
    double cpu_share = 0; // of the wall time
    // Records whose value is not the one the instrument sends, and whether a
    // record waits for the next good reading at the end of the fault.
    int records_not_sent = 0;
    bool waiting = false;
    QString command = QStringLiteral("-");
    QString after = QStringLiteral("-");
    bool as_designed = true;
};

class FaultMatrix : public ProgramFixture {
protected:
    std::unique_ptr<sim::Orbena52Sim> instrument;
    QString file;
    std::vector<std::string> report;

    QCheckBox* RunBox() const { return orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run")); }

    QList<QByteArray> FileLines() const { return RecordFileLines(file); }
    int Lines() const { return static_cast<int>(FileLines().size()); }
    // Lines from `first` on whose value is not `good`, the value the
    // instrument sends at its fixed input.
    int LinesNotSent(int first, const QString& good) const
    {
        const QList<QByteArray> lines = FileLines();
        int wrong = 0;
        for (qsizetype i = first; i < lines.size(); ++i)
            wrong += lines[i].startsWith(good.toLocal8Bit() + "; ") ? 0 : 1;
        return wrong;
    }

    // Waits (running the event loop) until `done` or `ms` passed.
    static bool WaitFor(const std::function<bool()>& done, int ms)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms)
            QTest::qWait(20);
        return done();
    }

    Outcome Run(const Row& row);
};

Outcome FaultMatrix::Run(const Row& row)
{
    Outcome out;
    instrument = StartInstrumentOnCom1(dir.path(), 0, 12.0);
    if (instrument == nullptr)
        return out;
    Start();
    file = dir.filePath(QStringLiteral("Orbena52.txt"));
    orbena52->SetSaveDialog([this](QWidget*, const QString&) { return file; });
    file_sampling->sampling_period = 1;
    box_answer = QMessageBox::Yes;
    // The option is stored: a later row starts with it as the last one left it.
    auto* resume = orbena52->findChild<QAction*>(QStringLiteral("mn_obnova"));
    if (resume->isChecked() != row.resume)
        resume->trigger();

    // A sound reading first, so that the panels have something to keep.
    RunBox()->setChecked(true);
    EXPECT_TRUE(WaitFor([this] { return orbena52->StatusText(0) == QStringLiteral("ČTENÍ"); }, 3000));
    const QString good = orbena52->MeasText();
    row.inject(*instrument);
    instrument->ResetCounts();
    const int chart0 = orbena52->Chart()->Count();
    const int table0 = GridMeas->next_row;
    const int lines0 = Lines();

    // Five seconds under the fault, with a probe of the window's event loop.
    QElapsedTimer probe_clock;
    probe_clock.start();
    qint64 last_probe = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probe_clock.elapsed();
        longest = std::max(longest, now - last_probe);
        last_probe = now;
    });
    probe.start();
    const double cpu0 = ThreadCpuMs();
    QElapsedTimer phase;
    phase.start();
    QTest::qWait(5000);
    const double seconds = static_cast<double>(phase.elapsed()) / 1000.0;
    const double cpu = ThreadCpuMs() - cpu0;
    probe.stop();

    out.cycles = orbena52->Chart()->Count() - chart0;
    out.requests_per_s = static_cast<double>(instrument->Requests()) / seconds;
    out.chart = out.cycles;
    out.table = GridMeas->next_row - table0;
    out.lines = Lines() - lines0;
    out.records_not_sent = LinesNotSent(lines0, good);
    out.waiting = GridMeas->RecordWaiting();
    out.longest_stall_ms = static_cast<int>(longest);
    out.cpu_ms_per_cycle = cpu / std::max(1, out.cycles);
    out.cpu_share = cpu / (seconds * 1000.0);
    out.panels = orbena52->MeasText() == QStringLiteral("0") ? QStringLiteral("0") : orbena52->MeasText();
    out.status = orbena52->StatusText(0);
    if (!boxes.empty())
        out.box = boxes.front().text;

    // Expectations.
    auto check = [&out](bool ok, const std::string& what) {
        EXPECT_TRUE(ok) << what;
        out.as_designed = out.as_designed && ok;
    };
    check(out.status == QString::fromUtf8(row.status), "status " + out.status.toStdString());
    check(row.box ? out.box == QString::fromUtf8(row.box) : boxes.empty(), "box " + out.box.toStdString());
    check(boxes.size() <= 1, "at most one box");
    if (row.command != Command::PortBack) {
        check(out.cycles >= 3 && out.cycles <= 6, "cycles " + std::to_string(out.cycles));
        check(out.requests_per_s > 0.5 && out.requests_per_s < 1.3, "one request a second");
        // A reading that fails makes no record: the record due waits for the
        // next good reading.
        const int records = row.panels == Panels::Zero ? 0 : out.cycles;
        check(out.table == records && out.lines == records, "records in table and file");
        check(out.waiting == (row.panels == Panels::Zero), "a record waits");
        check(row.panels == Panels::Zero ? out.panels == QStringLiteral("0") : out.panels == good,
              "panels " + out.panels.toStdString());
    } else if (row.resume) {
        // The port went; reading goes on trying, the choice stays.
        check(RunBox()->isChecked(), "automatic reading stays on");
        check(port->SelectedPort() == 1, "port choice kept");
        check(out.table <= 1 && out.lines == out.table, "no record while the port is gone");
    } else {
        // The port went: one cycle at most, then "aut. čtení" is off.
        check(!RunBox()->isChecked(), "automatic reading switched off");
        check(out.cycles <= 2 && out.table <= 1, "cycles " + std::to_string(out.cycles));
        check(out.lines == out.table, "the file holds what the table holds");
        check(port->SelectedPort() == 0, "port choice set back to none");
    }
    check(out.longest_stall_ms < 1200, "window held up " + std::to_string(out.longest_stall_ms) + " ms");
    check(out.cpu_share < 0.5, "the window thread does not spin");
    check(out.records_not_sent == 0, "every record holds a value the instrument sent");

    if (row.command == Command::ZeroSum) {
        instrument->ResetCounts();
        const std::size_t boxes_before = boxes.size();
        orbena52->NulovnSUMY1Click();
        // A repetition that is not awaited reaches the instrument afterwards.
        QTest::qWait(300);
        const std::size_t writes = instrument->WritesOf(4);
        bool reset = false;
        // The sum grows by one a second at the fixed input; it was well above.
        instrument->WithStation([&](sim::SimStation& s) { reset = s.Instrument().Sum() < 1.0; });
        out.command = QStringLiteral("zero sum: %1 requests, sum %2, no message")
                          .arg(row.zero_sum_min == row.zero_sum_max
                                   ? QString::number(row.zero_sum_min)
                                   : QStringLiteral("%1 or %2").arg(row.zero_sum_min).arg(row.zero_sum_max))
                          .arg(reset ? QStringLiteral("reset") : QStringLiteral("kept"));
        check(static_cast<int>(writes) >= row.zero_sum_min && static_cast<int>(writes) <= row.zero_sum_max,
              "zero-sum requests " + std::to_string(writes));
        check(boxes.size() == boxes_before + 1 && boxes.back().caption == QStringLiteral("Dotaz"),
              "only the question, no message about the result");
    }
    if (row.command == Command::PortBack) {
        // The adapter is plugged in again; the operator chooses the port
        // once more and ticks "aut. čtení".
        EXPECT_TRUE(WaitFor([this] { return instrument->Vanished(); }, 2000));
        instrument->Stop();
        std::string error;
        EXPECT_TRUE(instrument->Reappear(error)) << error;
        instrument->Start();
        const int lines_before = Lines();
        if (!row.resume) {
            port->cb_com->setCurrentIndex(1);
            RunBox()->setChecked(true);
        }
        const bool back = WaitFor([] { return orbena52->StatusText(0) == QStringLiteral("ČTENÍ"); }, 4000);
        RunBox()->setChecked(false);
        out.after = !back        ? QStringLiteral("no readings")
                    : row.resume ? QStringLiteral("readings and records resume by themselves")
                                 : QStringLiteral("port chosen again: readings resume");
        check(back, "readings resume");
        check(Lines() > lines_before && LinesNotSent(lines_before, good) == 0, "records resume");
    }
    RunBox()->setChecked(false);
    instrument->Stop();
    DestroyProgramWindows();
    instrument.reset();
    boxes.clear();
    return out;
}

std::string Cell(const QString& s)
{
    return s.toStdString();
}

TEST_F(FaultMatrix, EveryLineFaultHasItsDesignedOutcome)
{
    std::ostringstream md;
    md << "# Reliability: the measurement cycle under line faults\n\n"
          "Copied here by `scripts/refresh-reliability.sh`. An ordinary test run does not touch this file: it\n"
          "writes the same table to `tests/faults/reliability.md` in the build folder.\n\n"
          "Generated by the fault-matrix test (`tests/faults/test_fault_matrix.cpp`): the program's own\n"
          "measurement cycle (main window, its 200 ms timer, the serial port, the link) against the\n"
          "simulated instrument on a pseudo-terminal at 9600 bit/s, recording period 1 s. After one sound\n"
          "reading the fault is injected for every answer and the cycle runs for five seconds.\n\n"
          "Columns: the panel of the measured value at the end (a value, or \"0\" after four failed\n"
          "readings in a row), status panel 0, the error box, requests on the wire per second, cycles\n"
          "with what reached the chart / table / file, the longest time the window did not handle events,\n"
          "the window thread's processor time per cycle and as a share of the wall time (the probe of\n"
          "the event loop included), records whose value the instrument did not send (always 0: a record\n"
          "that falls due after a failed reading waits for the next good reading, shown as \"yes\" under\n"
          "\"waiting\"), and whether every check matched the design. Rows \"with resume\" have \"Obnovit\n"
          "čtení po výpadku\" ticked: the program keeps trying the port once a second. A zero-sum command\n"
          "whose acknowledgement does not come sends its request once more after the last attempt; the\n"
          "port lets every frame have its time on the line before it purges the output, so that\n"
          "repetition always reaches the instrument.\n\n"
          "| fault | simulator option | panel | status | error box | requests/s | cycles: chart / table / file | "
          "records of values not sent | waiting | longest hold-up | CPU a cycle (share of the time) | "
          "command or recovery | as designed |\n"
          "|---|---|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.fault);
        const Outcome o = Run(row);
        char rate[16];
        std::snprintf(rate, sizeof rate, "%.1f", o.requests_per_s);
        // Figures that vary from run to run are given in coarse steps.
        const int stall_step = o.longest_stall_ms < 100 ? 100 : (o.longest_stall_ms + 99) / 100 * 100;
        auto step = [](double v, std::initializer_list<double> steps, const char* unit) {
            for (const double s : steps)
                if (v < s)
                    return "< " + QString::number(s) + unit;
            return "≥ " + QString::number(*(steps.end() - 1)) + unit;
        };
        const QString cpu = step(o.cpu_ms_per_cycle, {5, 10, 20, 50}, " ms") + " (" +
                            step(o.cpu_share * 100, {1, 2, 5, 10, 20}, " %") + ")";
        md << "| " << row.fault << " | `" << row.option << "` | " << Cell(o.panels) << " | " << Cell(o.status) << " | "
           << Cell(o.box) << " | " << rate << " | " << o.cycles << ": " << o.chart << " / " << o.table << " / "
           << o.lines << " | " << o.records_not_sent << " | " << (o.waiting ? "yes" : "no") << " | ≤ " << stall_step
           << " ms | " << Cell(cpu) << " | " << Cell(o.command == QStringLiteral("-") ? o.after : o.command) << " | "
           << (o.as_designed ? "yes" : "**no**") << " |\n";
    }
#ifdef KX52_RELIABILITY_TABLE
    std::ofstream(KX52_RELIABILITY_TABLE) << md.str();
#endif
    std::printf("%s", md.str().c_str());
}

} // namespace

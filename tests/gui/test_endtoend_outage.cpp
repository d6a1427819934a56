// Readings that fail, against the simulated instrument over a real
// pseudo-terminal, with the wall clock stepped by the test: what the table,
// the recording file and the status bar show, which port the readings use
// after a failure, and reading that resumes by itself after an outage.
#ifdef KX52_SIM_EXE
#include "ProgramFixture.h"

#include "ComTargetRow.h"
#include "FixedFormatQt.h"
#include "Hl_modul.h"
#include "InstrumentOnCom1.h"
#include "KxError.h"
#include "Orbena52Sim.h"
#include "Unitport.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace {

class OutageTest : public ProgramFixture {
protected:
    std::unique_ptr<sim::Orbena52Sim> instrument;
    QDateTime now{QDate(2026, 12, 9), QTime(22, 0, 1)};
    QString file;

    void SetUp() override
    {
        ProgramFixture::SetUp();
        instrument = StartInstrumentOnCom1(dir.path(), 0, 4.0);
        ASSERT_NE(instrument, nullptr);
        Start();
        orbena52->SetClock([this] { return now; });
        file = dir.filePath(QStringLiteral("Orbena52.txt"));
        orbena52->SetSaveDialog([this](QWidget*, const QString&) { return file; });
    }
    void TearDown() override
    {
        ProgramFixture::TearDown();
        if (instrument)
            instrument->Stop();
    }
    QCheckBox* RunBox() const { return orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run")); }
    QString Panel(int n) const
    {
        auto* label = orbena52->findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(n));
        return label != nullptr && label->isVisibleTo(orbena52) ? label->text() : QString();
    }
    // One measurement cycle: the next wall-clock second and the timer's tick.
    void Cycle()
    {
        now = now.addSecs(1);
        orbena52->Timer1Timer();
    }
    // The value the instrument gives for a loop current, as the panel shows it.
    QString ShownFor(double ma)
    {
        float value = 0.0f;
        instrument->WithStation([&](sim::SimStation& s) {
            s.Instrument().SetFixedInput(ma);
            value = s.Instrument().MeasuredValue();
        });
        return FormatFixedLocale(value, 7, 3);
    }
    QList<QByteArray> FileLines() const { return RecordFileLines(file); }
};

// A night's script: each character one cycle, 'o' the instrument answers,
// 'x' it stays silent. Records fall due every `period` cycles (the first at
// the first cycle: the file was just chosen); `records` lists the cycles
// (1-based) whose reading each record must carry.
struct Night {
    const char* name;
    int period;
    const char* script;
    std::vector<int> records;
};

const Night kNights[] = {
    {"every reading answered", 2, "ooooo", {1, 3, 5}},
    {"a record due in a failed cycle waits for the next answer", 3, "oooxoooo", {1, 5, 7}},
    {"a long outage leaves one waiting record, not a pile", 2, "oxxxxxxoo", {1, 8, 9}},
    {"waiting and due in the same cycle make one record", 2, "ooxxoo", {1, 5}},
    {"no answer at all: nothing recorded", 1, "xxxxx", {}},
    {"the fourth failure's zeros are never recorded", 1, "oxxxxo", {1, 6}},
};

TEST_F(OutageTest, RecordsCarryOnlyReadingsTheInstrumentGaveAtTheirOwnTime)
{
    for (const Night& night : kNights) {
        SCOPED_TRACE(night.name);
        DestroyProgramWindows();
        QFile::remove(file);
        Start();
        orbena52->SetClock([this] { return now; });
        orbena52->SetSaveDialog([this](QWidget*, const QString&) { return file; });
        file_sampling->sampling_period = night.period;
        RunBox()->setChecked(true);

        std::vector<QString> shown;
        std::vector<QDateTime> times;
        int failed_in_row = 0;
        for (const char* c = night.script; *c != '\0'; ++c) {
            const bool answers = *c == 'o';
            shown.push_back(ShownFor(4.0 + 0.5 * static_cast<double>(shown.size())));
            if (answers)
                instrument->ClearFaults();
            else
                instrument->Inject(sim::Fault::NoAnswer);
            Cycle();
            times.push_back(now);
            failed_in_row = answers ? 0 : failed_in_row + 1;
            // The failure panel counts failed readings in a row and is gone
            // after an answer.
            EXPECT_EQ(Panel(3), failed_in_row > 0 ? QStringLiteral("bez odpovědi: %1").arg(failed_in_row) : QString())
                << "cycle " << shown.size();
        }
        RunBox()->setChecked(false);

        const QList<QByteArray> lines = FileLines();
        ASSERT_EQ(lines.size(), static_cast<qsizetype>(night.records.size()));
        ASSERT_EQ(GridMeas->next_row - 1, static_cast<int>(night.records.size()));
        for (std::size_t i = 0; i < night.records.size(); ++i) {
            const std::size_t cycle = static_cast<std::size_t>(night.records[i]) - 1;
            const QByteArray line = lines[static_cast<qsizetype>(i)];
            EXPECT_TRUE(line.startsWith(shown[cycle].toLocal8Bit() + "; ")) << line.constData();
            EXPECT_TRUE(line.endsWith(RecordTimeText(times[cycle].time()).toLocal8Bit() + "; \r")) << line.constData();
            EXPECT_EQ(GridMeas->Cell(0, static_cast<int>(i) + 1), shown[cycle]);
        }
    }
}

TEST_F(OutageTest, TheRecordingPanelSaysWhileARecordWaits)
{
    file_sampling->sampling_period = 1;
    RunBox()->setChecked(true);
    Cycle();
    EXPECT_EQ(Panel(1), QStringLiteral("záznam: 60 s"));
    instrument->Inject(sim::Fault::NoAnswer);
    Cycle();
    EXPECT_EQ(Panel(1), QStringLiteral("záznam: 60 s, čeká na čtení"));
    EXPECT_TRUE(GridMeas->RecordWaiting());
    instrument->ClearFaults();
    Cycle();
    EXPECT_EQ(Panel(1), QStringLiteral("záznam: 60 s"));
    EXPECT_FALSE(GridMeas->RecordWaiting());
    EXPECT_EQ(GridMeas->next_row, 3);
}

// After a failed opening the list shows "žádný port"; closing the settings
// stores COM 1, and from then on the list and every reading use COM 1.
TEST_F(OutageTest, AfterAFailedPortTheListTheStoredPortAndTheReadingsAgreeOnCom1)
{
    int shown_after_failure = -1;
    QTimer::singleShot(0, [&] {
        // The user chooses COM 2, which leads nowhere: the error box, and the
        // list falls back to "žádný port" as designed.
        port->cb_com->setCurrentIndex(2);
        Q_EMIT port->cb_com->activated(2);
        shown_after_failure = port->cb_com->currentIndex();
        port->tl_ok->click();
    });
    orbena52->mn_portClick();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes.front().text.startsWith(QStringLiteral("Sériový port COM2 nelze otevřít")));
    EXPECT_EQ(shown_after_failure, 0);
    EXPECT_TRUE(ReadIni().contains("COM=1"));
    EXPECT_EQ(port->cb_com->currentText(), QStringLiteral("COM 1"));
    EXPECT_EQ(port->SelectedPort(), 1);

    boxes.clear();
    instrument->ResetCounts();
    orbena52->file_chosen = true; // no file dialog
    RunBox()->setChecked(true);
    Cycle();
    RunBox()->setChecked(false);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes.front().text.toStdString());
    EXPECT_EQ(instrument->ReadsOf(0), 1u) << "the reading went to COM 1";
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP"));
}

TEST_F(OutageTest, AssigningIsOffWhileTheBusIsSearched)
{
    if (port->com_target == nullptr)
        GTEST_SKIP() << "COM names are the system's own here";
    QPushButton* assign = port->com_target->tl_prirad;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(assign->isEnabled());
        port->tl_najit->click();
        EXPECT_FALSE(assign->isEnabled()) << "searching";
        port->Timer1Timer(); // a probe that fails resets nothing here
        EXPECT_FALSE(assign->isEnabled());
        port->tl_prerusit->click();
        EXPECT_TRUE(assign->isEnabled()) << "after \"Přerušit\"";
        port->tl_ok->click();
    });
    orbena52->mn_portClick();
}

// The adapter drops out after one reading and comes back three seconds later.
struct ResumeCase {
    const char* name;
    bool resume;
    bool reading_goes_on;
    const char* status_during;
    int boxes;
};

TEST_F(OutageTest, APortThatGoesAwayStopsReadingOrIsRetriedOncePerSecond)
{
    const ResumeCase cases[] = {
        {"as designed", false, false, "ERROR", 1},
        {"Obnovit čtení po výpadku", true, true, "VÝPADEK", 0},
    };
    for (const ResumeCase& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyProgramWindows();
        if (instrument->Vanished()) {
            instrument->Stop();
            std::string error;
            ASSERT_TRUE(instrument->Reappear(error)) << error;
            instrument->Start();
        }
        instrument->ClearFaults();
        Start();
        orbena52->SetClock([this] { return now; });
        orbena52->file_chosen = true;
        file_sampling->sampling_period = 1;
        auto* resume = orbena52->findChild<QAction*>(QStringLiteral("mn_obnova"));
        ASSERT_NE(resume, nullptr);
        EXPECT_FALSE(resume->isChecked()) << "off unless turned on";
        if (c.resume)
            resume->trigger();
        EXPECT_EQ(ReadIni().contains("OBNOVA=1"), c.resume) << "stored at once";
        boxes.clear();

        RunBox()->setChecked(true);
        instrument->Inject(sim::Fault::Vanish, 1);
        Cycle();
        ASSERT_TRUE(instrument->Vanished() || [&] {
            for (int i = 0; i < 100 && !instrument->Vanished(); ++i)
                QTest::qWait(20);
            return instrument->Vanished();
        }());
        const int rows_before = GridMeas->next_row;
        for (int i = 0; i < 3; ++i) {
            if (!RunBox()->isChecked())
                break;
            try {
                Cycle();
            } catch (const KxError&) {
                boxes.push_back({});
            }
        }
        EXPECT_EQ(orbena52->StatusText(0), QString::fromUtf8(c.status_during));
        EXPECT_EQ(static_cast<int>(boxes.size()), c.boxes);
        EXPECT_EQ(RunBox()->isChecked(), c.reading_goes_on);
        EXPECT_EQ(port->cb_com->currentIndex(), c.resume ? 1 : 0) << "the port choice";
        EXPECT_EQ(GridMeas->next_row, rows_before) << "nothing recorded during the outage";
        EXPECT_EQ(Panel(3), c.resume ? QStringLiteral("bez odpovědi: 3") : QString());

        instrument->Stop();
        std::string error;
        ASSERT_TRUE(instrument->Reappear(error)) << error;
        instrument->Start();
        instrument->ResetCounts();
        if (RunBox()->isChecked()) {
            Cycle();
            Cycle();
        }
        EXPECT_EQ(instrument->ReadsOf(0), c.reading_goes_on ? 2u : 0u);
        EXPECT_EQ(orbena52->StatusText(0), QString::fromUtf8(c.reading_goes_on ? "ČTENÍ" : "ERROR"));
        EXPECT_EQ(GridMeas->next_row, rows_before + (c.reading_goes_on ? 2 : 0)) << "recording goes on";
        EXPECT_EQ(Panel(3), QString());
        RunBox()->setChecked(false);
    }
}

} // namespace
#endif

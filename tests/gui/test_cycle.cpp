// The measurement cycle with the wall clock stepped by the test.
#include "FakeSerial.h"
#include "ProgramFixture.h"

#include "DeviceTables.h"
#include "Hl_modul.h"
#include "KxError.h"
#include "LiveChart.h"
#include "Unitport.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>

namespace {

class CycleTest : public ProgramFixture {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    QDateTime now{QDate(2026, 12, 7), QTime(9, 5, 1)};
    int save_dialogs = 0;
    QString save_answer;

    void SetUp() override
    {
        ProgramFixture::SetUp();
        reset_table_variables();
        CreateProgramWindows(dir.path().toStdString(), std::make_unique<FakeSerial>(line));
        orbena52->SetClock([this] { return now; });
        orbena52->SetSaveDialog([this](QWidget*, const QString&) {
            ++save_dialogs;
            return save_answer;
        });
    }
    QCheckBox* RunBox() const { return orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run")); }
    void Tick() { orbena52->Timer1Timer(); }
    void NextSecond()
    {
        now = now.addSecs(1);
        Tick();
    }
    int Reads() const
    {
        int n = 0;
        for (const auto& frame : line->written)
            n += frame.size() == 11 && frame[6] == 0x6C ? 1 : 0;
        return n;
    }
    static QString Dec(const char* text)
    {
        return QString::fromLatin1(text).replace(QLatin1Char(','), QLocale::system().decimalPoint());
    }
};

TEST_F(CycleTest, OneCyclePerWallClockSecondAndNoneWithoutTheBox)
{
    Tick();
    EXPECT_EQ(Reads(), 0) << "automatic reading is off";
    RunBox()->setChecked(true);
    Tick(); // same second as the tick above: already counted
    EXPECT_EQ(Reads(), 0);
    NextSecond();
    EXPECT_EQ(Reads(), 1);
    Tick();
    Tick();
    EXPECT_EQ(Reads(), 1) << "a second gets at most one cycle";
    NextSecond();
    EXPECT_EQ(Reads(), 2);
    EXPECT_EQ(line->opens, 2);
    EXPECT_EQ(line->closes, 2) << "the port is closed after every reading";
    EXPECT_FALSE(line->open);
    now = now.addSecs(5); // a long reading: skipped seconds are not caught up
    Tick();
    EXPECT_EQ(Reads(), 3);

    RunBox()->setChecked(false);
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP"));
    EXPECT_FALSE(orbena52->Timer()->isActive());
    NextSecond();
    EXPECT_EQ(Reads(), 3);
}

TEST_F(CycleTest, AFirstTickInSecondZeroWaitsForTheNextSecond)
{
    now = QDateTime(QDate(2026, 12, 7), QTime(9, 6, 0));
    RunBox()->setChecked(true);
    Tick();
    EXPECT_EQ(Reads(), 0);
    NextSecond();
    EXPECT_EQ(Reads(), 1);
}

TEST_F(CycleTest, AReadingShowsBothValuesInTheFixedFormatAndRepeatsThemOnTheChart)
{
    line->meas = 12.5f;
    line->sum = 0.5f;
    RunBox()->setChecked(true);
    NextSecond();
    EXPECT_EQ(orbena52->MeasText(), Dec("12,500"));
    EXPECT_EQ(orbena52->SumText(), Dec("0,50000"));
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("ČTENÍ"));
    ASSERT_EQ(orbena52->Chart()->Count(), 1);
    EXPECT_DOUBLE_EQ(orbena52->Chart()->YAt(0), 12.5);
    EXPECT_EQ(orbena52->Chart()->ColorAt(0), 255u);
    EXPECT_DOUBLE_EQ(orbena52->Chart()->XAt(0), ToDateTimeNumber(now));
}

TEST_F(CycleTest, ThreeFailuresKeepTheValuesTheFourthShowsZeros)
{
    line->meas = 1.25f;
    line->sum = 2.0f;
    RunBox()->setChecked(true);
    NextSecond();
    line->answering = false;
    for (int i = 0; i < 3; ++i) {
        NextSecond();
        EXPECT_EQ(orbena52->MeasText(), Dec("1,250")) << "failure " << i + 1;
        EXPECT_EQ(orbena52->SumText(), Dec("2,00000"));
    }
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("ČTENÍ")) << "the status stays as it was";
    NextSecond();
    EXPECT_EQ(orbena52->MeasText(), QStringLiteral("0"));
    EXPECT_EQ(orbena52->SumText(), QStringLiteral("0"));
    EXPECT_EQ(orbena52->fail_count, 0);
    // Every attempt still charted the last value received.
    ASSERT_EQ(orbena52->Chart()->Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_DOUBLE_EQ(orbena52->Chart()->YAt(i), 1.25);

    // Three failures and then a success show the new values.
    for (int i = 0; i < 3; ++i)
        NextSecond();
    line->answering = true;
    line->meas = -0.25f;
    NextSecond();
    EXPECT_EQ(orbena52->MeasText(), Dec("-0,250"));
    EXPECT_EQ(orbena52->fail_count, 0);
}

TEST_F(CycleTest, TheFileDialogComesOnTheFirstTickingOnlyUntilAFileIsChosen)
{
    RunBox()->setChecked(true);
    EXPECT_EQ(save_dialogs, 1);
    EXPECT_TRUE(orbena52->Timer()->isActive()) << "reading runs without a file after Storno";
    RunBox()->setChecked(false);
    RunBox()->setChecked(true);
    EXPECT_EQ(save_dialogs, 2) << "asked again while no file was chosen";
    RunBox()->setChecked(false);
    save_answer = dir.filePath(QStringLiteral("zaznam.txt"));
    RunBox()->setChecked(true);
    EXPECT_EQ(save_dialogs, 3);
    EXPECT_TRUE(orbena52->file_chosen);
    EXPECT_EQ(orbena52->StatusText(2), QDir::toNativeSeparators(save_answer));
    RunBox()->setChecked(false);
    RunBox()->setChecked(true);
    EXPECT_EQ(save_dialogs, 3);
}

TEST_F(CycleTest, APortThatCannotBeOpenedEndsTheCycleWithoutPointOrRecord)
{
    RunBox()->setChecked(true);
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP")) << "ticking leaves the previous text";
    NextSecond();
    port->cb_com->setCurrentIndex(0); // "žádný port": a device name that never exists
    now = now.addSecs(1);
    try {
        Tick();
        FAIL() << "no error raised";
    } catch (const KxError& e) {
        EXPECT_STREQ(e.what(), "Sériový port COM0 nelze otevřít");
    }
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("ERROR"));
    EXPECT_FALSE(RunBox()->isChecked());
    EXPECT_FALSE(orbena52->Timer()->isActive());
    EXPECT_EQ(orbena52->Chart()->Count(), 1);
}

TEST_F(CycleTest, TheChartKeepsPointsKeptPlusOneAndTheLegendFollowsTheNewest)
{
    RunBox()->setChecked(true);
    for (int i = 0; i < 250; ++i) {
        line->meas = static_cast<float>(i);
        NextSecond();
    }
    LiveChart* chart = orbena52->Chart();
    ASSERT_EQ(chart->Count(), 201);
    EXPECT_DOUBLE_EQ(chart->YAt(0), 49.0) << "the newest 201 readings";
    EXPECT_DOUBLE_EQ(chart->YAt(200), 249.0);

    // Raising the bound lets the series grow; lowering it does not shrink it.
    orbena52->chart.points_kept = 1000;
    for (int i = 0; i < 900; ++i)
        NextSecond();
    EXPECT_EQ(chart->Count(), 1001);
    orbena52->chart.points_kept = 10;
    NextSecond();
    EXPECT_EQ(chart->Count(), 1001);
}

TEST_F(CycleTest, APointIsAddedAfterSettingTheLegendToTheNewestRows)
{
    LiveChart* chart = orbena52->Chart();
    chart->resize(657, 312);
    for (int i = 0; i < 25; ++i)
        chart->AddPoint(ToDateTimeNumber(now) - 1.0 + i / 86400.0, i, 255u);
    chart->grab(); // lays the legend out
    const int rows = chart->LegendRowsShown();
    ASSERT_GT(rows, 0);
    ASSERT_LT(rows, 25);
    orbena52->AddChartPoint(99.0f);
    EXPECT_EQ(chart->LegendFirst(), 25 - rows);
    EXPECT_EQ(chart->Count(), 26);
    EXPECT_DOUBLE_EQ(chart->YAt(25), 99.0);
}

} // namespace

// With the real timer and the real clock: a box raised inside a cycle (here a
// recording file whose folder does not exist) leaves the timer running, so the
// next seconds' cycles, rows and boxes come inside the box's message loop.
TEST_F(CycleTest, CyclesGoOnWhileABoxRaisedInACycleIsOpen)
{
    orbena52->SetClock(SystemNow);
    file_sampling->sampling_period = 1;
    save_answer = dir.filePath(QStringLiteral("missing/zaznam.txt"));
    int reads_in_box = -1;
    int rows_in_box = -1;
    SetMessageBoxHook([&](const MessageBoxRequest& r) {
        boxes.push_back(r);
        if (boxes.size() == 1) {
            // The user leaves the first box open for 2.5 s.
            const int reads_before = Reads();
            const int rows_before = GridMeas->next_row;
            QEventLoop open_box;
            QTimer::singleShot(2500, &open_box, &QEventLoop::quit);
            open_box.exec();
            reads_in_box = Reads() - reads_before;
            rows_in_box = GridMeas->next_row - rows_before;
        }
        return int(QMessageBox::Ok);
    });
    RunBox()->setChecked(true);
    QElapsedTimer waited;
    waited.start();
    while (reads_in_box < 0 && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    RunBox()->setChecked(false);
    ASSERT_GE(reads_in_box, 0) << "no box came up";
    EXPECT_EQ(boxes.front().text, QStringLiteral("Nemůže otevřít výstupní soubor"));
    EXPECT_GE(reads_in_box, 2) << "the timer stood still while the box was open";
    EXPECT_GE(rows_in_box, 2) << "no records were made while the box was open";
}

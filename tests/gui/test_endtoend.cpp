// The whole road of a reading against the simulated instrument over a real
// pseudo-terminal: the timer, the port, the link, the panels, the chart, the
// table and the recording file.
#ifdef KX52_SIM_EXE
#include "ProgramFixture.h"

#include "About_ident.h"
#include "DeviceTables.h"
#include "FixedFormatQt.h"
#include "Hl_modul.h"
#include "InstrumentOnCom1.h"
#include "LiveChart.h"
#include "Menu_mod.h"
#include "Orbena52Sim.h"
#include "Unitport.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"
#include "Zmena_adresy.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class EndToEndTest : public ProgramFixture {
protected:
    std::unique_ptr<sim::Orbena52Sim> instrument;

    void SetUp() override
    {
        ProgramFixture::SetUp();
        instrument = StartInstrumentOnCom1(dir.path(), 0, 12.0);
        ASSERT_NE(instrument, nullptr);
        Start();
    }
    void TearDown() override
    {
        ProgramFixture::TearDown();
        if (instrument)
            instrument->Stop();
    }
};

TEST_F(EndToEndTest, TickingTheBoxReadsOncePerSecondAndRecordsTheInstrumentsValues)
{
    // The real timer drives the cycles; the wall clock is the test's, so a
    // busy machine cannot squeeze an extra second into the run.
    QDateTime now(QDate(2026, 12, 9), QTime(10, 15, 1));
    orbena52->SetClock([&now] { return now; });
    const QString file = dir.filePath(QStringLiteral("Orbena52.txt"));
    orbena52->SetSaveDialog([&](QWidget*, const QString&) { return file; });
    file_sampling->sampling_period = 1;
    ASSERT_EQ(port->SelectedPort(), 1);

    auto* run = orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run"));
    run->setChecked(true);
    constexpr std::size_t kSeconds = 4;
    for (std::size_t second = 1; second <= kSeconds; ++second) {
        // A cycle starts at the first tick after the second changes ...
        QTRY_COMPARE_WITH_TIMEOUT(instrument->ReadsOf(0), second, 5000);
        // ... and the ticks after it within the same second start none.
        QTest::qWait(3 * orbena52->Timer()->interval());
        ASSERT_EQ(instrument->ReadsOf(0), second) << "a second gets one cycle";
        now = now.addSecs(1);
    }
    run->setChecked(false);

    const std::size_t reads = instrument->ReadsOf(0);
    EXPECT_EQ(reads, kSeconds);
    EXPECT_EQ(instrument->Requests(), reads) << "nothing but table-0 reads on the wire";

    float expected = 0.0f;
    instrument->WithStation([&](sim::SimStation& s) { expected = s.Instrument().MeasuredValue(); });
    const QString shown = FormatFixedLocale(expected, 7, 3);
    EXPECT_EQ(orbena52->MeasText(), shown);
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP"));
    EXPECT_EQ(orbena52->Chart()->Count(), static_cast<int>(reads));

    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(reads + 1)) << "one line per reading with period 1";
    EXPECT_TRUE(lines.back().isEmpty());
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        EXPECT_TRUE(line.startsWith(shown.toLocal8Bit() + "; ")) << line.constData();
        EXPECT_TRUE(line.endsWith("; \r")) << line.constData();
        EXPECT_EQ(line.count("; "), 4);
        EXPECT_EQ(GridMeas->Cell(0, static_cast<int>(i) + 1), shown);
    }
}

TEST_F(EndToEndTest, AnAddressChangeTo126MakesEveryLaterRequestGoTo126)
{
    // As a user would: "Změna adresy", type 126, "Zápis", "Zpět".
    QTimer::singleShot(0, [] {
        ZmenaAdresy->ed_adr->setText(QStringLiteral("126"));
        ZmenaAdresy->tl_write->click();
        ZmenaAdresy->tl_cancel->click();
    });
    orbena52->mn_zmena_adrClick();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(instrument->WritesOf(3), 1u);
    int address = -1;
    instrument->WithStation([&](sim::SimStation& s) { address = s.Instrument().Address(); });
    EXPECT_EQ(address, 126);

    instrument->ClearHistory();
    instrument->ResetCounts();
    orbena52->tl_readClick();
    EXPECT_EQ(instrument->ReadsOf(0), 1u) << "the reading reached the instrument at 126";
    std::size_t requests = 0;
    for (const sim::SimRecord& r : instrument->History())
        if (r.dir == sim::SimRecord::Dir::Rx) {
            ++requests;
            ASSERT_GE(r.bytes.size(), 5u);
            EXPECT_EQ(r.bytes[4], 126) << "destination address";
        }
    EXPECT_EQ(requests, 1u);
    float expected = 0.0f;
    instrument->WithStation([&](sim::SimStation& s) { expected = s.Instrument().MeasuredValue(); });
    EXPECT_EQ(orbena52->MeasText(), FormatFixedLocale(expected, 7, 3));

    // The address reaches the settings only through the communication
    // settings, which take the link's address when they are next shown.
    EXPECT_FALSE(ReadIni().contains("DA=126"));
    QTimer::singleShot(0, [] { port->tl_ok->click(); });
    orbena52->mn_portClick();
    EXPECT_EQ(port->cb_da->currentIndex(), 126);
    EXPECT_TRUE(ReadIni().contains("DA=126"));
}

TEST_F(EndToEndTest, IdentificationShowsTheInstrumentsTexts)
{
    const QString design = about_ident->lb_verze->text();
    QElapsedTimer shown;
    QTimer watch;
    watch.setInterval(50);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (about_ident->lb_verze->text() != design || shown.elapsed() > 6000)
            about_ident->accept();
    });
    shown.start();
    watch.start();
    orbena52->mn_identClick();
    watch.stop();

    EXPECT_GE(shown.elapsed(), 1000) << "identified one second after showing";
    EXPECT_EQ(about_ident->lb_zarizeni->text(), QStringLiteral("ORBENA 52"));
    EXPECT_EQ(about_ident->lb_verze->text(), QStringLiteral("verze 1.00, simulovaný měřič"));
    EXPECT_EQ(instrument->Requests(sim::RequestKind::IdentType), 1u);
    EXPECT_EQ(instrument->Requests(sim::RequestKind::IdentVersion), 1u);
    EXPECT_EQ(instrument->Requests(), 2u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(EndToEndTest, AScaleWrittenWithZapisReadsBackAfterReopeningTheParameters)
{
    auto* menu_item = orbena52->findChild<QAction*>(QStringLiteral("mn_menu"));
    ASSERT_NE(menu_item, nullptr);
    auto tables = [this] {
        sim::Bytes b;
        instrument->WithStation([&](sim::SimStation& s) {
            b = s.Instrument().ReadTable(1);
            const sim::Bytes t2 = s.Instrument().ReadTable(2);
            b.insert(b.end(), t2.begin(), t2.end());
        });
        return b;
    };
    sim::Bytes expected = tables();
    sim::PutFloatLe(expected.data(), 250.5f);

    // The dialog is modal: each step runs in its loop after the showing's
    // reading. The timer belongs to the test, so it never fires later.
    QTimer step;
    step.setSingleShot(true);
    QString shown_first;
    QString shown_again;
    auto connection = QObject::connect(&step, &QTimer::timeout, [&] {
        shown_first = Form_menu->ed_scale->text();
        Form_menu->ed_scale->setText(FormatFixedLocale(250.5f, 10, 6).prepend(QLatin1Char(' ')));
        QTest::mouseClick(Form_menu->tl_write, Qt::LeftButton);
        QTest::mouseClick(Form_menu->tl_exit, Qt::LeftButton);
    });
    step.start(0);
    menu_item->trigger();
    EXPECT_EQ(shown_first, FormatFixedLocale(100.0f, 10, 6)) << "the instrument's factory scale";
    EXPECT_EQ(tables(), expected) << "the new scale, everything else as it was";
    EXPECT_EQ(instrument->WritesOf(1) + instrument->WritesOf(2), 2u);

    SCALE = 0.0f;
    QObject::disconnect(connection);
    QObject::connect(&step, &QTimer::timeout, [&] {
        shown_again = Form_menu->ed_scale->text();
        QTest::keyClick(Form_menu->ed_scale, Qt::Key_Return);
    });
    step.start(0);
    menu_item->trigger();
    EXPECT_EQ(shown_again, FormatFixedLocale(250.5f, 10, 6));
    EXPECT_EQ(instrument->ReadsOf(1) + instrument->ReadsOf(2), 4u);
    EXPECT_EQ(instrument->WritesOf(1), 1u) << "Enter closes without writing";
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(Form_menu->isVisible());
}

} // namespace
#endif

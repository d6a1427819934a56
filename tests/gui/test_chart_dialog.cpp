// The chart settings dialog "GRAF 3D" and the main window's sequence around
// it: live changes, their undo, the commit on OK and what is stored.
#include "FakeSerial.h"
#include "ProgramFixture.h"

#include "ColorSwatch.h"
#include "DeviceTables.h"
#include "Hl_modul.h"
#include "LiveChart.h"
#include "Rotace_3d.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

namespace {

const QString kNumberText = QStringLiteral("Chyba při zadání číselného textu");
const QString kRangeText = QStringLiteral("Je nutné zadávat pouze čísla v rozsahu 10 až 100000");
const QColor kGreen(0, 200, 0), kBlue(0, 0, 200), kYellow(250, 250, 0);

class ChartDialogTest : public ProgramFixture {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    QDateTime now{QDate(2026, 12, 7), QTime(9, 5, 1)};
    std::deque<std::optional<QColor>> picks; // the picker's answers, in turn
    std::vector<QColor> picker_starts;       // the colour it opened on, each time
    Trotace3D* dlg = nullptr;
    LiveChart* chart = nullptr;

    void Open(const QByteArray& ini = {})
    {
        if (!ini.isEmpty())
            WriteIni(ini);
        reset_table_variables();
        CreateProgramWindows(Folder(), std::make_unique<FakeSerial>(line));
        orbena52->SetClock([this] { return now; });
        orbena52->SetSaveDialog([](QWidget*, const QString&) { return QString(); });
        dlg = rotace3D;
        chart = orbena52->Chart();
        dlg->SetColorPicker([this](QWidget*, const QColor& start) {
            picker_starts.push_back(start);
            EXPECT_FALSE(picks.empty()) << "picker opened unexpectedly";
            const std::optional<QColor> answer = picks.empty() ? std::nullopt : picks.front();
            if (!picks.empty())
                picks.pop_front();
            return answer;
        });
    }
    void ShowDialog()
    {
        dlg->show();
        QApplication::setActiveWindow(dlg);
    }
    // Runs the menu command; `while_open` acts inside the modal dialog and
    // must end it.
    void RunSequence(const std::function<void()>& while_open)
    {
        QTimer::singleShot(0, dlg, [this, while_open] {
            while_open();
            if (dlg->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dlg->reject();
            }
        });
        orbena52->mn_nast_grafClick();
    }
    void NextSecond()
    {
        now = now.addSecs(1);
        orbena52->Timer1Timer();
    }
};

TEST_F(ChartDialogTest, EveryControlSitsAtItsPlaceWithItsTextHintTabStopAndName)
{
    Open();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("GRAF 3D"));
    EXPECT_EQ(dlg->size(), QSize(192, 285));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    EXPECT_EQ(dlg->pos(), QPoint(628, 297));
    struct Row {
        QWidget* w;
        QRect bounds; // empty: a label, only its top left counts
        const char* text;
        const char* hint;
    };
    const Row rows[] = {
        {dlg->Label4, {16, 8, 0, 0}, "Rozměr", ""},
        {dlg->check_3D, {16, 24, 65, 17}, "3D", "Nastaví zobrazení 3D"},
        {dlg->Label1, {16, 48, 0, 0}, "Procento natočení", ""},
        {dlg->bar_3D, {16, 64, 161, 17}, "", "Nastaví natočení 3D grafu"},
        {dlg->Label2, {16, 96, 0, 0}, "Nastavení barvy", ""},
        {dlg->pa_barva_mriz, {16, 112, 28, 28}, "", ""},
        {dlg->tl_barva_mriz, {72, 112, 75, 25}, "Mrižka", "Nastaví barvu pozadí mřížky"},
        {dlg->pa_barva_okraj, {16, 152, 28, 28}, "", ""},
        {dlg->tl_barva_okraj, {72, 152, 75, 25}, "Okraj", "Nastaví barvu okraje grafu"},
        {dlg->pa_barva_pera, {16, 192, 28, 28}, "", ""},
        {dlg->tl_barva_pera, {72, 192, 75, 25}, "Barva pera", ""},
        {dlg->Label3, {112, 8, 0, 0}, "Počet měření", ""},
        {dlg->ed_poc_mer, {112, 23, 73, 21}, "200", "Počet zobrazených měření v grafu (10 až 100.0000)"},
        {dlg->tl_ok, {16, 240, 75, 25}, "OK", ""},
        {dlg->tl_cancel, {104, 240, 75, 25}, "Storno", ""},
    };
    for (const Row& r : rows) {
        const QString name = r.w->objectName();
        const QRect placed = r.bounds.isEmpty() ? QRect(r.w->pos(), QSize(0, 0)) : r.w->geometry();
        EXPECT_EQ(placed, r.bounds) << name.toStdString();
        EXPECT_TRUE(dlg->rect().contains(r.w->geometry())) << name.toStdString() << " is clipped";
        EXPECT_EQ(r.w->property("text").toString(), QString::fromUtf8(r.text)) << name.toStdString();
        EXPECT_EQ(r.w->toolTip(), QString::fromUtf8(r.hint)) << name.toStdString();
        const bool named = qobject_cast<QLabel*>(r.w) != nullptr || !r.w->accessibleName().isEmpty();
        EXPECT_TRUE(named) << name.toStdString() << " has no accessible name";
    }
    EXPECT_TRUE(dlg->check_3D->isChecked());
    EXPECT_EQ(dlg->bar_3D->minimum(), 1);
    EXPECT_EQ(dlg->bar_3D->maximum(), 100);

    ShowDialog();
    dlg->check_3D->setFocus();
    QStringList order;
    for (int i = 0; i < 9; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order.join(QLatin1Char(' ')), QStringLiteral("check_3D tl_ok bar_3D tl_cancel tl_barva_mriz "
                                                           "tl_barva_okraj ed_poc_mer tl_barva_pera check_3D"));
    // The slider takes the arrow keys.
    dlg->bar_3D->setFocus();
    dlg->bar_3D->setValue(50);
    QTest::keyClick(dlg->bar_3D, Qt::Key_Right);
    EXPECT_EQ(chart->Depth3D(), 51) << "Right deepens";
    QTest::keyClick(dlg->bar_3D, Qt::Key_Left);
    QTest::keyClick(dlg->bar_3D, Qt::Key_Left);
    EXPECT_EQ(chart->Depth3D(), 49);
    dlg->hide();
}

TEST_F(ChartDialogTest, ThePointCountIsCheckedOnOkAndOnEnterAndOnlyOkCloses)
{
    Open();
    enum Key { kOk, kEnter, kOkTwice };
    struct Row {
        const char* entry;
        Key key;
        const char* boxes; // captions of the boxes shown, in turn
        const char* after; // the edit's text afterwards
        QWidget* focus;    // null: the dialog closed with OK
    };
    const Row rows[] = {
        {"9", kOk, "EDIT", "9", dlg->ed_poc_mer},
        {"100001", kOk, "EDIT", "100001", dlg->ed_poc_mer},
        {"abc", kOk, "CHYBA", "0", dlg->ed_poc_mer},
        {"abc", kOkTwice, "CHYBA EDIT", "0", dlg->ed_poc_mer},
        {"10", kOk, "", "10", nullptr},
        {"100000", kOk, "", "100000", nullptr},
        {"500", kEnter, "", "500", dlg->tl_ok},
        {"100001", kEnter, "EDIT", "100001", dlg->ed_poc_mer},
        {"x1", kEnter, "CHYBA", "0", dlg->ed_poc_mer},
    };
    for (const Row& r : rows) {
        const std::string where = std::string(r.entry) + (r.key == kEnter ? " + Enter" : " + OK");
        ShowDialog();
        dlg->setResult(0);
        boxes.clear();
        dlg->ed_poc_mer->setText(QString::fromUtf8(r.entry));
        dlg->check_3D->setFocus();
        if (r.key == kEnter)
            QTest::keyClick(dlg->ed_poc_mer, Qt::Key_Return);
        else
            for (int i = 0; i < (r.key == kOkTwice ? 2 : 1); ++i)
                QTest::mouseClick(dlg->tl_ok, Qt::LeftButton);
        QStringList captions;
        for (const MessageBoxRequest& box : boxes) {
            captions << box.caption;
            const bool number = box.caption == QStringLiteral("CHYBA");
            EXPECT_EQ(box.text, number ? kNumberText : kRangeText) << where;
            EXPECT_EQ(box.icon, number ? QMessageBox::Warning : QMessageBox::Critical) << where;
            EXPECT_EQ(box.owner, number ? static_cast<QWidget*>(dlg) : nullptr) << where;
            EXPECT_EQ(box.buttons, QMessageBox::Ok) << where;
        }
        EXPECT_EQ(captions.join(QLatin1Char(' ')), QString::fromUtf8(r.boxes)) << where;
        EXPECT_EQ(dlg->ed_poc_mer->text(), QString::fromUtf8(r.after)) << where;
        EXPECT_EQ(dlg->isVisible(), r.focus != nullptr) << where;
        EXPECT_EQ(r.focus != nullptr ? QApplication::focusWidget() : nullptr, r.focus) << where;
        EXPECT_EQ(dlg->result(), r.focus != nullptr ? 0 : int{QDialog::Accepted}) << where;
    }
    // Enter on the 3D box does not close the dialog either.
    ShowDialog();
    dlg->check_3D->setFocus();
    QTest::keyClick(dlg->check_3D, Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
    dlg->hide();
}

TEST_F(ChartDialogTest, StornoEscAndTheCloseBoxUndoEveryLiveChange)
{
    Open();
    const ChartSettings before = orbena52->chart;
    const std::function<void()> closers[] = {
        [this] { QTest::mouseClick(dlg->tl_cancel, Qt::LeftButton); },
        [this] { QTest::keyClick(dlg->ed_poc_mer, Qt::Key_Escape); },
        [this] { dlg->close(); },
    };
    for (int i = 0; i < 3; ++i) {
        picks = {kGreen, kBlue, kYellow};
        RunSequence([&, i] {
            dlg->check_3D->click();
            dlg->bar_3D->setValue(80);
            dlg->tl_barva_mriz->click();
            dlg->tl_barva_okraj->click();
            dlg->tl_barva_pera->click();
            dlg->ed_poc_mer->setText(QStringLiteral("500"));
            // At once on the chart; the pen only in its swatch.
            EXPECT_FALSE(chart->View3D());
            EXPECT_EQ(chart->Depth3D(), 80);
            EXPECT_EQ(chart->BackWallColor(), ColorValueOf(kGreen));
            EXPECT_EQ(chart->SurfaceColor(), ColorValueOf(kBlue));
            EXPECT_EQ(dlg->pa_barva_pera->ColorValue(), ColorValueOf(kYellow));
            EXPECT_EQ(orbena52->chart.pen_color, before.pen_color);
            closers[i]();
        });
        EXPECT_EQ(dlg->result(), QDialog::Rejected) << "closer " << i;
        EXPECT_TRUE(chart->View3D()) << "closer " << i;
        EXPECT_EQ(chart->Depth3D(), 35) << "closer " << i;
        EXPECT_EQ(chart->BackWallColor(), kColorButtonFace) << "closer " << i;
        EXPECT_EQ(chart->SurfaceColor(), kColorButtonFace) << "closer " << i;
        const ChartSettings& c = orbena52->chart;
        EXPECT_EQ(std::tie(c.pen_color, c.grid_color, c.border_color, c.view_3d, c.depth_3d, c.points_kept),
                  std::tie(before.pen_color, before.grid_color, before.border_color, before.view_3d, before.depth_3d,
                           before.points_kept))
            << "closer " << i;
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ChartDialogTest, ThePickerOpensOnWhatItReturnedLastAndACancelChangesNothing)
{
    Open();
    dlg->pa_barva_pera->SetColorValue(255); // a red pen: never the picker's start
    picks = {kGreen, std::nullopt, std::nullopt, kBlue};
    dlg->tl_barva_pera->click();
    EXPECT_EQ(dlg->pa_barva_pera->ColorValue(), ColorValueOf(kGreen));
    EXPECT_EQ(chart->BackWallColor(), kColorButtonFace) << "the pen leaves the chart alone";
    dlg->tl_barva_mriz->click(); // cancelled
    dlg->tl_barva_pera->click(); // cancelled
    EXPECT_EQ(dlg->pa_barva_mriz->ColorValue(), kColorButtonFace);
    EXPECT_EQ(dlg->pa_barva_pera->ColorValue(), ColorValueOf(kGreen));
    EXPECT_EQ(chart->BackWallColor(), kColorButtonFace);
    dlg->tl_barva_okraj->click();
    EXPECT_EQ(dlg->pa_barva_okraj->ColorValue(), ColorValueOf(kBlue));
    ASSERT_EQ(picker_starts.size(), 4u);
    EXPECT_EQ(picker_starts, (std::vector<QColor>{Qt::black, kGreen, kGreen, kGreen}));
    EXPECT_EQ(dlg->PickerColor(), kBlue);
}

TEST_F(ChartDialogTest, OkCommitsTheSixValuesWhichAreStoredOnlyWhenTheMainWindowCloses)
{
    // A pen in system colour 8 (window text), which OK must keep as such.
    Open("[GRAF]\nPERO=-2147483640\n");
    EXPECT_EQ(dlg->pa_barva_mriz->ShownColor(), dlg->palette().color(QPalette::Button));
    picks = {kGreen};
    RunSequence([this] {
        EXPECT_EQ(dlg->pa_barva_pera->ColorValue(), 0x80000008u);
        EXPECT_EQ(dlg->ed_poc_mer->text(), QStringLiteral("200"));
        EXPECT_EQ(dlg->bar_3D->value(), 35);
        dlg->check_3D->click();
        dlg->bar_3D->setValue(80);
        dlg->tl_barva_mriz->click();
        dlg->ed_poc_mer->setText(QStringLiteral("500"));
        QTest::mouseClick(dlg->tl_ok, Qt::LeftButton);
    });
    const ChartSettings& c = orbena52->chart;
    EXPECT_EQ(c.pen_color, 0x80000008u);
    EXPECT_EQ(c.grid_color, ColorValueOf(kGreen));
    EXPECT_EQ(c.border_color, kColorButtonFace);
    EXPECT_FALSE(c.view_3d);
    EXPECT_EQ(c.depth_3d, 80);
    EXPECT_EQ(c.points_kept, 500);
    EXPECT_FALSE(ReadIni().contains("POCET")) << "nothing is stored before the main window closes";
    orbena52->close();
    const QByteArray ini = ReadIni();
    for (const QByteArray& want :
         {QByteArray("PERO=-2147483640"), "MRIZ=" + QByteArray::number(ColorValueOf(kGreen)),
          QByteArray("POZADI=-2147483633"), QByteArray("G3D=0"), QByteArray("R3D=80"), QByteArray("POCET=500")})
        EXPECT_TRUE(ini.contains(want)) << want.constData() << " missing from\n" << ini.constData();
}

TEST_F(ChartDialogTest, PointsArrivingWhileTheDialogIsOpenKeepThePenAndBoundOfBefore)
{
    Open("[GRAF]\nPOCET=10\n");
    orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run"))->setChecked(true);
    for (int i = 0; i < 11; ++i)
        NextSecond();
    ASSERT_EQ(chart->Count(), 11);
    picks = {kGreen};
    RunSequence([this] {
        dlg->tl_barva_pera->click();
        dlg->ed_poc_mer->setText(QStringLiteral("20"));
        dlg->check_3D->click();
        // The real timer keeps ticking inside the dialog's modal loop.
        for (int i = 0; i < 3; ++i) {
            now = now.addSecs(1);
            const double newest = ToDateTimeNumber(now);
            EXPECT_TRUE(QTest::qWaitFor([&] { return chart->XAt(chart->Count() - 1) == newest; }, 3000));
        }
        QTest::mouseClick(dlg->tl_ok, Qt::LeftButton);
    });
    ASSERT_EQ(chart->Count(), 11) << "the bound of before the dialog";
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(chart->ColorAt(i), 255u) << "point " << i;
    EXPECT_FALSE(chart->View3D());
    NextSecond();
    NextSecond();
    EXPECT_EQ(chart->Count(), 13) << "the committed bound";
    EXPECT_EQ(chart->ColorAt(12), ColorValueOf(kGreen));
}

} // namespace

// Start-up, shutdown and the menu commands of the main window.
#include "ProgramFixture.h"

#include "ErrorBoundary.h"
#include "Hl_modul.h"
#include "KxError.h"
#include "LiveChart.h"
#include "SettingsStore.h"
#include "Unitport.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QScreen>
#include <QTimer>

namespace {

using Writes = std::vector<std::string>;

class MainWindowTest : public ProgramFixture {
protected:
    QCheckBox* RunBox() const { return orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run")); }
};

TEST_F(MainWindowTest, FirstStartWithAnEmptyStoreShowsTheDesignWindowIdle)
{
    Start();
    EXPECT_EQ(orbena52->windowTitle(), QStringLiteral("ORBENA 52"));
    EXPECT_EQ(orbena52->pos(), QPoint(192, 107));
    EXPECT_EQ(orbena52->MeasText(), QStringLiteral("0"));
    EXPECT_EQ(orbena52->SumText(), QStringLiteral("0"));
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP"));
    EXPECT_EQ(orbena52->StatusText(1), QStringLiteral("záznam: 60 s"));
    EXPECT_EQ(orbena52->StatusText(2), QStringLiteral("c:"));
    EXPECT_FALSE(RunBox()->isChecked());
    EXPECT_EQ(RunBox()->text(), QStringLiteral("aut. čtení"));
    EXPECT_FALSE(orbena52->Timer()->isActive());
    EXPECT_EQ(orbena52->Timer()->interval(), 200);
    EXPECT_FALSE(orbena52->file_chosen);

    const ChartSettings& c = orbena52->chart;
    EXPECT_EQ(c.pen_color, 255u);
    EXPECT_EQ(c.grid_color, 0x8000000Fu);
    EXPECT_EQ(c.border_color, 0x8000000Fu);
    EXPECT_TRUE(c.view_3d);
    EXPECT_EQ(c.depth_3d, 35);
    EXPECT_EQ(c.points_kept, 200);
    EXPECT_TRUE(orbena52->Chart()->View3D());
    EXPECT_EQ(orbena52->Chart()->Depth3D(), 35);
    EXPECT_EQ(orbena52->Chart()->BackWallColor(), 0x8000000Fu);
    EXPECT_TRUE(orbena52->Chart()->BackWallOpaque());
    EXPECT_EQ(orbena52->Chart()->SurfaceColor(), 0x8000000Fu);
    EXPECT_EQ(orbena52->Chart()->Count(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainWindowTest, TheMenuItemsCarryTheirGlyphs)
{
    Start();
    for (const char* name :
         {"mn_save", "mn_port", "mn_menu", "mn_nast_graf", "mn_sampling", "mn_meas", "mn_about", "mn_ident"}) {
        auto* action = orbena52->findChild<QAction*>(QString::fromLatin1(name));
        ASSERT_NE(action, nullptr) << name;
        const QList<QSize> sizes = action->icon().availableSizes();
        ASSERT_FALSE(sizes.isEmpty()) << name << " has no glyph";
        EXPECT_EQ(sizes.front(), std::string(name) == "mn_sampling" ? QSize(15, 15) : QSize(16, 16)) << name;
    }
    for (const char* name : {"mn_exit", "mn_zmena_adr", "NulovnSUMY1"})
        EXPECT_TRUE(orbena52->findChild<QAction*>(QString::fromLatin1(name))->icon().isNull()) << name;
    EXPECT_FALSE(QApplication::windowIcon().isNull());
}

TEST_F(MainWindowTest, ClosingWritesBoundsAndChartSettingsInOrderAsText)
{
    Start();
    Writes writes;
    orbena52->Settings().on_store = [&](const std::string& s, const std::string& n, std::int32_t v) {
        writes.push_back(s + "/" + n + "=" + std::to_string(v));
    };
    orbena52->close();
    EXPECT_EQ(writes, (Writes{"DESKTOP/Top=107", "DESKTOP/Left=192", "DESKTOP/Height=465", "DESKTOP/Width=667",
                              "GRAF/PERO=255", "GRAF/MRIZ=-2147483633", "GRAF/POZADI=-2147483633", "GRAF/G3D=1",
                              "GRAF/R3D=35", "GRAF/POCET=200"}));
    const QByteArray ini = ReadIni();
    for (const char* line : {"Top=107", "Left=192", "Height=465", "Width=667", "PERO=255", "MRIZ=-2147483633",
                             "POZADI=-2147483633", "G3D=1", "R3D=35", "POCET=200"})
        EXPECT_TRUE(ini.contains(line)) << line << " missing from\n" << ini.constData();
    EXPECT_FALSE(ini.contains("ADRESA")) << "only the main window's values are written when it closes";
    EXPECT_FALSE(ini.contains("ZAZNAM"));
}

TEST_F(MainWindowTest, StoredValuesAreAppliedAndWrittenBackNormalised)
{
    WriteIni("[DESKTOP]\nLeft=300\nTop=200\nHeight=500\nWidth=700\n"
             "[GRAF]\nPERO=65280\nMRIZ=16777215\nPOZADI=0\nG3D=7\nR3D=60\nPOCET=1000\n"
             "[ZAZNAM]\nSOUBOR=5\n");
    Start();
    EXPECT_EQ(orbena52->pos(), QPoint(300, 200));
    EXPECT_EQ(orbena52->StatusText(1), QStringLiteral("záznam: 5 s"));
    EXPECT_TRUE(orbena52->Chart()->View3D());
    EXPECT_EQ(orbena52->Chart()->Depth3D(), 60);
    EXPECT_EQ(orbena52->Chart()->BackWallColor(), 16777215u);
    EXPECT_EQ(orbena52->chart.points_kept, 1000);
    orbena52->close();
    const QByteArray ini = ReadIni();
    EXPECT_TRUE(ini.contains("G3D=1")) << "any non-zero reads as on and is written back as 1";
    EXPECT_TRUE(ini.contains("Height=500"));
    EXPECT_TRUE(ini.contains("Width=700"));
    EXPECT_TRUE(ini.contains("PERO=65280"));
}

TEST_F(MainWindowTest, ANonNumberGivesTheDefaultAndAWrongTypeTheDefaultWithTheErrorBox)
{
    WriteIni("[DESKTOP]\nLeft=abc\nTop=150\n");
    Start();
    EXPECT_EQ(orbena52->pos(), QPoint(192, 150));
    EXPECT_TRUE(boxes.empty());
    DestroyProgramWindows();

    WriteIni("[DESKTOP]\nLeft=1, 2\nTop=150\n[ZAZNAM]\nSOUBOR=5\n");
    Start();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].text, QStringLiteral("Invalid data type for 'Left'"));
    EXPECT_EQ(boxes[0].caption, QStringLiteral("KX-52"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    // The rest of FormCreate ran.
    EXPECT_EQ(orbena52->pos(), QPoint(192, 150));
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP"));
    EXPECT_EQ(orbena52->StatusText(1), QStringLiteral("záznam: 5 s"));
}

TEST_F(MainWindowTest, BoundsOffEveryScreenAreBroughtBackOntoOne)
{
    WriteIni("[DESKTOP]\nLeft=-30000\nTop=40000\nHeight=465\nWidth=667\n");
    Start();
    const QRect frame(orbena52->pos(), orbena52->size());
    bool visible = false;
    for (QScreen* s : QGuiApplication::screens())
        visible = visible || s->availableGeometry().intersects(frame);
    EXPECT_TRUE(visible) << frame.x() << "," << frame.y();
}

TEST_F(MainWindowTest, AStoreThatCannotBeWrittenStillLetsTheWindowClose)
{
    Start();
    orbena52->show();
    ASSERT_TRUE(QFile::remove(IniPath()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("OrbKX52.ini")));
    EXPECT_TRUE(orbena52->close());
    EXPECT_FALSE(orbena52->isVisible());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Failed to set data for 'Top'; nothing was saved."));
}

TEST(ErrorBox, AppendsAFullStopOnlyAfterACharacterThatSortsAfterIt)
{
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Sériový port COM2 nelze otevřít")),
              QStringLiteral("Sériový port COM2 nelze otevřít."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Invalid data type for 'Left'")),
              QStringLiteral("Invalid data type for 'Left'"));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Konec.")), QStringLiteral("Konec."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Na COM1 nelze nastavit Timeout")),
              QStringLiteral("Na COM1 nelze nastavit Timeout."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("-")), QStringLiteral("-"));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("x/")), QStringLiteral("x/."));
    EXPECT_EQ(ErrorBoxText(QString()), QString());
}

// An object whose event handler raises the program's error halfway, inside
// the error boundary every handler of the program runs in.
class Raiser : public QObject {
public:
    bool after_raise = false;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            RunGuarded([this] {
                throw KxError("Sériový port COM3 nelze otevřít");
                after_raise = true; // never reached
            });
            return true;
        }
        return QObject::event(e);
    }
};

TEST_F(MainWindowTest, AnErrorInAHandlerIsShownInTheErrorBoxAndTheProgramGoesOn)
{
    Raiser raiser;
    QEvent event(QEvent::User);
    QApplication::sendEvent(&raiser, &event);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("KX-52"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Sériový port COM3 nelze otevřít."));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    EXPECT_FALSE(raiser.after_raise);
    // Events keep being delivered afterwards.
    QEvent again(QEvent::User);
    QApplication::sendEvent(&raiser, &again);
    EXPECT_EQ(boxes.size(), 2u);
}

class PortCommandTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        Start();
        orbena52->SetSaveDialog([](QWidget*, const QString&) { return QString(); });
        // "žádný port": a device name that never exists.
        port->cb_com->setCurrentIndex(0);
        port->com_index = 0;
    }
    void ExpectOpenError(const std::function<void()>& command)
    {
        try {
            command();
            FAIL() << "no error raised";
        } catch (const KxError& e) {
            EXPECT_STREQ(e.what(), "Sériový port COM0 nelze otevřít");
        }
    }
};

TEST_F(PortCommandTest, AGuardedCommandWhosePortCannotBeOpenedGivesTheTimerBackAndShowsNoDialog)
{
    RunBox()->setChecked(true);
    ASSERT_TRUE(orbena52->Timer()->isActive());
    ExpectOpenError([] { orbena52->mn_identClick(); });
    EXPECT_TRUE(orbena52->Timer()->isActive()) << "automatic reading must not stay paused";
    ExpectOpenError([] { orbena52->mn_menuClick(); });
    ExpectOpenError([] { orbena52->mn_zmena_adrClick(); });
    EXPECT_TRUE(orbena52->Timer()->isActive());
    EXPECT_TRUE(RunBox()->isChecked());
}

TEST_F(PortCommandTest, TheZeroSumQuestionAnsweredNoTouchesNoPort)
{
    box_answer = QMessageBox::No;
    orbena52->NulovnSUMY1Click(); // would raise the open error if it tried the port
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Dotaz"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Vznikl požadavek na nulování SUMY.\nOpravdu chceš vynulovat SUMU?"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Question);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
    box_answer = QMessageBox::Yes;
    ExpectOpenError([] { orbena52->NulovnSUMY1Click(); });
}

} // namespace

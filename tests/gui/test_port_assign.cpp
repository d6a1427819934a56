// The communication settings show where the chosen "COM n" leads, and
// "Přiřadit…" makes another device that port (Linux).
#ifndef _WIN32
// On Windows the COM names are the system's own: the dialog has neither.
#include "FakeSerial.h"
#include "ProgramFixture.h"

#include "ComDevices.h"
#include "ComLinkPath.h"
#include "ComTargetRow.h"
#include "PortAssign.h"
#include "Unitport.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace {

class PortAssignTest : public ProgramFixture {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();

    void SetUp() override
    {
        ProgramFixture::SetUp();
        CreateProgramWindows(Folder(), std::make_unique<FakeSerial>(line));
        ASSERT_NE(port->com_target, nullptr) << "COM names are links here";
    }
    QString Device(const char* name)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path;
    }
    QString Shown() const { return port->com_target->lb_target->text(); }
};

TEST_F(PortAssignTest, TheLineTellsWhereThePortLeadsAndWhatIsWrongWithIt)
{
    const QString usb = Device("ttyUSB0");
    std::filesystem::create_directories(dir.filePath(QStringLiteral("OrbKX52")).toStdString());
    std::filesystem::create_symlink(usb.toStdString(), ComLinkPath(2));
    std::filesystem::create_symlink(dir.filePath(QStringLiteral("gone")).toStdString(), ComLinkPath(3));
    struct Case {
        int n;
        QString text;
    } const cases[] = {
        {0, QStringLiteral("Není zvolen žádný port.")},
        {2, QStringLiteral("COM 2 → %1").arg(usb)},
        {3, QStringLiteral("COM 3 → %1 (odpojeno)").arg(dir.filePath(QStringLiteral("gone")))},
    };
    for (const Case& c : cases) {
        port->cb_com->setCurrentIndex(c.n);
        port->cb_comChange();
        EXPECT_EQ(Shown(), c.text) << "COM" << c.n;
        EXPECT_EQ(port->com_target->lb_target->accessibleName(), c.text);
        EXPECT_EQ(port->com_target->tl_prirad->isEnabled(), c.n > 0);
    }
    // No link: the fallback device, said to be unassigned, and whether it is there.
    ComTarget fallback;
    fallback.device = "/dev/ttyS6";
    EXPECT_EQ(ComTargetRow::TargetText(7, fallback), QStringLiteral("COM 7 → /dev/ttyS6 (neexistuje), nepřiřazen"));
    fallback.exists = true;
    EXPECT_EQ(ComTargetRow::TargetText(7, fallback), QStringLiteral("COM 7 → /dev/ttyS6 (bez přístupu), nepřiřazen"));
    SerialDevice locked;
    locked.path = "/dev/ttyUSB1";
    locked.group = "dialout";
    EXPECT_TRUE(TPortAssign::AccessAdvice(locked).contains(QStringLiteral("sudo usermod -aG dialout $USER")));
}

TEST_F(PortAssignTest, AssigningATypedDeviceLinksItReopensThePortAndShowsIt)
{
    const QString pty = Device("pts-of-the-simulator");
    port->cb_com->setCurrentIndex(2);
    port->cb_comChange();
    const int opens_before = line->opens;
    TPortAssign* dialog = port->com_target->assign;
    QString missing_box;
    // The user first types a path that is not there, then the right one.
    QTimer::singleShot(0, dialog, [&] {
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Přiřazení portu COM 2"));
        dialog->ed_path->setText(dir.filePath(QStringLiteral("nothing")));
        dialog->tl_assign->click();
        EXPECT_TRUE(dialog->isVisible()) << "a missing device is not assigned";
        missing_box = boxes.empty() ? QString() : boxes.back().text;
        dialog->ed_path->setText(pty);
        dialog->tl_assign->click();
    });
    port->com_target->tl_prirad->click();
    EXPECT_TRUE(missing_box.startsWith(QStringLiteral("Zařízení „"))) << missing_box.toStdString();
    EXPECT_EQ(std::filesystem::read_symlink(ComLinkPath(2)).string(), pty.toStdString());
    EXPECT_EQ(Shown(), QStringLiteral("COM 2 → %1").arg(pty));
    EXPECT_EQ(line->opens, opens_before + 1) << "the port is opened again on its new device";

    // Storno leaves the link as it is.
    QTimer::singleShot(0, dialog, [&] {
        dialog->ed_path->setText(dir.filePath(QStringLiteral("other")));
        dialog->tl_cancel->click();
    });
    port->com_target->tl_prirad->click();
    EXPECT_EQ(std::filesystem::read_symlink(ComLinkPath(2)).string(), pty.toStdString());
}

TEST_F(PortAssignTest, APortThatDoesNotOpenCanStillBeAssignedFromTheDialog)
{
    // COM 2 has no link yet and its fallback device does not open: the list
    // falls back to "žádný port", as after every failed opening.
    line->missing = {DevicePathForCom(2)};
    port->cb_com->setCurrentIndex(2);
    Q_EMIT port->cb_com->activated(2);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().text, QStringLiteral("Sériový port COM2 nelze otevřít."));
    EXPECT_EQ(port->cb_com->currentIndex(), 0);
    EXPECT_EQ(port->com_index, 0);
    // The row still names COM 2 and where it went, and offers to mend it.
    EXPECT_TRUE(Shown().startsWith(QStringLiteral("COM 2 → %1").arg(QString::fromStdString(DevicePathForCom(2)))))
        << Shown().toStdString();
    ASSERT_TRUE(port->com_target->tl_prirad->isEnabled());

    const QString pty = Device("pts-of-the-simulator");
    TPortAssign* dialog = port->com_target->assign;
    QTimer::singleShot(0, dialog, [&] {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Přiřazení portu COM 2"));
        // The line under the list speaks of the typed path, not of the
        // device the list offered first.
        dialog->ed_path->selectAll();
        QTest::keyClicks(dialog->ed_path, pty);
        EXPECT_EQ(dialog->lb_info->text(), QStringLiteral("COM 2 bude otevírat %1.").arg(pty));
        EXPECT_EQ(dialog->lv_devices->currentRow(), -1);
        dialog->tl_assign->click();
    });
    const int opens_before = line->opens;
    port->com_target->tl_prirad->click();
    EXPECT_EQ(std::filesystem::read_symlink(ComLinkPath(2)).string(), pty.toStdString());
    EXPECT_EQ(port->cb_com->currentIndex(), 2) << "the assigned port is chosen again";
    EXPECT_EQ(port->com_index, 2);
    EXPECT_EQ(line->opens, opens_before + 1);
    EXPECT_EQ(Shown(), QStringLiteral("COM 2 → %1").arg(pty));
    // Opened again, the dialog offers the device COM 2 has now, so that
    // Enter keeps it.
    QString offered;
    QTimer::singleShot(0, dialog, [&] {
        offered = dialog->ed_path->text() + u'|' + dialog->lb_info->text();
        dialog->tl_cancel->click();
    });
    port->com_target->tl_prirad->click();
    EXPECT_EQ(offered, QStringLiteral("%1|COM 2 bude otevírat %1.").arg(pty));

    // Choosing "žádný port" on purpose leaves nothing to assign.
    port->cb_com->setCurrentIndex(0);
    Q_EMIT port->cb_com->activated(0);
    EXPECT_EQ(Shown(), QStringLiteral("Není zvolen žádný port."));
    EXPECT_FALSE(port->com_target->tl_prirad->isEnabled());
}

} // namespace
#endif

// About_ident: Tabout_ident, the identification dialog (the instrument's type and version).
#include "About_ident.h"

#include "Cp1250.h"
#include "DialogLook.h"
#include "ErrorBoundary.h"
#include "Maker.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

#include <cstring>
#include <string>

namespace {

constexpr int kIdentifyDelay = 1000;
constexpr int kPauseBetweenRequests = 50;
constexpr std::size_t kForeignField = 32;

// The text of an identification area from `offset` on: at most `limit`
// bytes, ending at the first zero byte, decoded from the instrument's code
// page.
QString AreaText(const char* area, std::size_t offset = 0, std::size_t limit = kIdentAreaSize)
{
    const char* begin = area + offset;
    return QString::fromStdString(Cp1250ToUtf8(std::string(begin, strnlen(begin, limit))));
}

// The message about another family's device, built from the 250-byte
// foreign-identification area: the first line, then the area's first 96
// bytes in three lines of 32, each line begun by a carriage return; the text
// ends at the area's first zero byte.
QString ForeignMessage(const char* area)
{
    std::string lines;
    for (std::size_t field = 0; field < 3; ++field) {
        lines += '\r';
        lines.append(area + field * kForeignField, kForeignField);
    }
    lines.resize(std::strlen(lines.c_str()));
    return QStringLiteral("Identifikováno zařízení pro které je nutné použít jiný software") +
           QString::fromStdString(Cp1250ToUtf8(lines));
}

} // namespace

Tabout_ident::Tabout_ident(PauseFunction pause, QWidget* parent)
    : QDialog(parent, kSystemMenuOnly), pause_(std::move(pause))
{
    setObjectName(QStringLiteral("about_ident"));
    setWindowTitle(QStringLiteral("Identifikace"));
    setFont(DialogFont(11));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(8, 8, 385, 129);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(10, 32, 128, 64);
    Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/panel.png")));
    Image1->setScaledContents(true);
    Image1->setAccessibleName(QStringLiteral("Přední panel přístroje ORBENA 52"));

    constexpr int kLeft = 150;
    const QLabel* maker = AddDialogLabel(Panel1, QStringLiteral("Výrobce:"), kLeft, 10, false);
    AddDialogLabel(Panel1, QString::fromUtf8(kMakerName), kLeft + maker->width() + 4, 10, true);
    lb_internet = AddDialogLabel(Panel1, QString::fromUtf8(kMakerWebScheme), kLeft, 28, false);
    lb_internet->setObjectName(QStringLiteral("lb_internet"));
    AddDialogLabel(Panel1, QString::fromUtf8(kMakerWeb), kLeft + lb_internet->width(), 28, true);
    AddDialogLabel(Panel1, QStringLiteral("Načtené parametry z regulátoru:"), kLeft, 54, true);

    // The instrument's texts may be long: they wrap within the panel.
    auto reading = [this](const char* name, const QString& text, int y) {
        auto* label = new QLabel(text, Panel1);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(kLeft, y, 385 - kLeft - 8, 28);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        return label;
    };
    lb_zarizeni = reading("lb_zarizeni", QStringLiteral("Typ zařízení - neidentifikováno"), 72);
    lb_verze = reading("lb_verze", QStringLiteral("Verze zařízení - neidentifikováno"), 98);

    tl_ok = new QPushButton(QStringLiteral("OK"), this);
    tl_ok->setObjectName(QStringLiteral("tl_ok"));
    tl_ok->setFont(DialogFont(11, true));
    tl_ok->setGeometry(163, 148, 75, 25);
    tl_ok->setDefault(true);
    connect(tl_ok, &QPushButton::clicked, this, &QDialog::accept);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kIdentifyDelay);
    connect(Timer1, &QTimer::timeout, this, Guarded(this, &Tabout_ident::Timer1Timer));

    setFixedSize(401, 183);
}

Tabout_ident::~Tabout_ident() = default;

void Tabout_ident::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        RunGuarded([this] { FormShow(); });
}

void Tabout_ident::hideEvent(QHideEvent* event)
{
    // The caller closes the port as soon as the dialog is gone: an
    // identification still waiting for its second would only meet a closed
    // port, so it is dropped.
    Timer1->stop();
    QDialog::hideEvent(event);
}

void Tabout_ident::FormShow()
{
    Timer1->start();
}

void Tabout_ident::Timer1Timer()
{
    Timer1->stop();
    Identify();
}

void Tabout_ident::Identify()
{
    int answers = 0;
    if (read_device_type() == 1) {
        lb_zarizeni->setText(AreaText(device_type_area()));
        answers = 1;
    }
    pause_(kPauseBetweenRequests);
    if (read_device_version() == 1) {
        lb_verze->setText(AreaText(device_version_area()));
        ++answers;
    }
    if (answers != 0)
        return;

    pause_(kPauseBetweenRequests);
    if (read_foreign_ident() != 1)
        return;
    // A device of another family: its third field stands as its version.
    const char* area = foreign_ident_area();
    lb_zarizeni->setText(QStringLiteral("jiné zařízení"));
    lb_verze->setText(AreaText(area, 2 * kForeignField, kForeignField));
    ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("ERROR"), ForeignMessage(area));
}

// Zmena_adresy: TZmenaAdresy, the dialog that changes the instrument's bus address.
#include "Zmena_adresy.h"

#include "DecimalParse.h"
#include "DeviceTables.h"
#include "DialogLook.h"
#include "ErrorBoundary.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr std::uint8_t kAddressTable = 3;
constexpr std::int32_t kHighestAddress = 126; // 127 is the broadcast address
constexpr int kPauseAfterChange = 100;
const QString kCaption = QStringLiteral("CHYBA");

} // namespace

TZmenaAdresy::TZmenaAdresy(PauseFunction pause, QWidget* parent) : QDialog(parent), pause_(std::move(pause))
{
    setObjectName(QStringLiteral("ZmenaAdresy"));
    setWindowTitle(QStringLiteral("Dialog změna adresy"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(DialogFont(11));
    const QFont bold = DialogFont(11, true);

    Label1 = new QLabel(QStringLiteral("Adresa přístroje"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(bold);
    Label1->move(16, 16);
    Label1->adjustSize();

    ed_adr = new QLineEdit(QStringLiteral("0"), this);
    ed_adr->setObjectName(QStringLiteral("ed_adr"));
    ed_adr->setFont(bold);
    ed_adr->setGeometry(16, 34, 121, 22);
    ed_adr->setAccessibleName(Label1->text());
    Label1->setBuddy(ed_adr);
    ed_adr->installEventFilter(this);

    auto button = [this, &bold](const char* name, const QString& text, int x) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(bold);
        b->setGeometry(x, 80, 75, 25);
        return b;
    };
    tl_write = button("tl_write", QStringLiteral("Zápis"), 16);
    tl_read = button("tl_read", QStringLiteral("Čtení"), 109);
    tl_cancel = button("tl_cancel", QStringLiteral("Zpět"), 202);
    connect(tl_write, &QPushButton::clicked, this, Guarded(this, &TZmenaAdresy::tl_writeClick));
    connect(tl_read, &QPushButton::clicked, this, Guarded(this, &TZmenaAdresy::tl_readClick));
    connect(tl_cancel, &QPushButton::clicked, this, Guarded(this, &TZmenaAdresy::tl_cancelClick));

    setTabOrder(ed_adr, tl_read);
    setTabOrder(tl_read, tl_write);
    setTabOrder(tl_write, tl_cancel);
    setFixedSize(293, 125);
}

TZmenaAdresy::~TZmenaAdresy() = default;

bool TZmenaAdresy::eventFilter(QObject* watched, QEvent* event)
{
    // There is no default button: Enter in the edit does nothing (a dialog
    // would otherwise press the next button in the keyboard order). Enter on a
    // button that has the focus presses it.
    if (watched == ed_adr && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TZmenaAdresy::tl_readClick()
{
    if (read_table(kAddressTable) == 1)
        ed_adr->setText(QString::number(dev_address));
    else
        ShowMessageBox(this, QMessageBox::Warning, kCaption, QStringLiteral("Chyba při čtení"));
}

void TZmenaAdresy::tl_writeClick()
{
    std::uint8_t address = 0;
    if (CheckAddress(address, ed_adr) == -1)
        return;
    dev_address = address;
    // The request goes to the present address and carries the new one.
    if (write_table(kAddressTable) == 1) {
        set_dest_address(address);
        pause_(kPauseAfterChange);
    } else {
        ShowMessageBox(this, QMessageBox::Warning, kCaption, QStringLiteral("Chyba při zápisu"));
    }
}

void TZmenaAdresy::tl_cancelClick()
{
    reject();
}

int TZmenaAdresy::CheckAddress(std::uint8_t& target, QLineEdit* edit)
{
    std::int32_t entered = 0;
    if (ParseInt32(edit->text().toStdString(), entered) && entered >= 0 && entered <= kHighestAddress) {
        target = static_cast<std::uint8_t>(entered);
        return 0;
    }
    ShowMessageBox(this, QMessageBox::Warning, kCaption, QStringLiteral("Je nutné zadávat pouze čísla"));
    ShowMessageBox(this, QMessageBox::NoIcon, kCaption,
                   edit->text() + QStringLiteral(" není správně zapsané číslo. Číslo musí být .xx.. "));
    target = 0;
    edit->setText(QStringLiteral("0"));
    edit->setFocus();
    return -1;
}

#include "Unitport.h"

#include "ErrorBoundary.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"
#include "SettingsStore.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

namespace {
const char* const kBaudRates[] = {"110",   "300",   "600",    "1200",   "2400",   "4800",   "9600",
                                  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
} // namespace

Tport::Tport(SettingsStore& store, std::unique_ptr<SerialBackend> backend, QWidget* parent)
    : QDialog(parent), ComPort(std::move(backend)), store_(store)
{
    setWindowTitle(QStringLiteral("Komunikační port"));
    setFixedSize(537, 321);
    auto label = [this](const QString& text, int x, int y) {
        auto* l = new QLabel(text, this);
        l->move(x, y);
        return l;
    };
    label(QStringLiteral("Sériová linka:"), 16, 16);
    cb_com = new QComboBox(this);
    cb_com->setGeometry(16, 32, 105, 21);
    cb_com->setToolTip(QStringLiteral("Nastaví komunikační linku"));
    cb_com->addItem(QStringLiteral("žádný port"));
    for (int i = 1; i <= 8; ++i)
        cb_com->addItem(QStringLiteral("COM %1").arg(i));

    label(QStringLiteral("Přenosová rychlost"), 16, 64);
    cb_baudrate = new QComboBox(this);
    cb_baudrate->setGeometry(16, 80, 105, 21);

    label(QStringLiteral("Adresa přístroje:"), 16, 112);
    cb_da = new QComboBox(this);
    cb_da->setGeometry(16, 128, 105, 21);
    cb_da->setToolTip(QStringLiteral("Nastaví adresu přístroje"));
    label(QStringLiteral("Adresa počítače: "), 16, 160);
    cb_sa = new QComboBox(this);
    cb_sa->setGeometry(16, 176, 105, 21);
    cb_sa->setToolTip(QStringLiteral("Nastaví adresu počítače"));
    for (int a = 0; a <= 126; ++a) {
        cb_da->addItem(QString::number(a));
        cb_sa->addItem(QString::number(a));
    }

    tl_ok = new QPushButton(QStringLiteral("OK"), this);
    tl_ok->setGeometry(16, 280, 75, 25);
    tl_ok->setToolTip(QStringLiteral("Návrat a potvrzení změn"));
    tl_ok->setDefault(true);
    tl_cancel = new QPushButton(QStringLiteral("Storno"), this);
    tl_cancel->setGeometry(104, 280, 75, 25);
    tl_cancel->setToolTip(QStringLiteral("Storno"));

    connect(tl_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(tl_cancel, &QPushButton::clicked, this, Guarded(this, &Tport::tl_cancelClick));
    connect(cb_com, &QComboBox::activated, this, Guarded(this, &Tport::cb_comChange));
    connect(cb_baudrate, &QComboBox::activated, this, Guarded(this, &Tport::cb_baudrateChange));
    connect(cb_da, &QComboBox::activated, this, Guarded(this, &Tport::cb_daChange));
    connect(cb_sa, &QComboBox::activated, this, Guarded(this, &Tport::cb_saChange));

    // An error while the settings are read is shown and start-up goes on.
    RunGuarded([this] { FormCreate(); });
}

int Tport::SelectedPort() const
{
    return cb_com->currentIndex();
}

void Tport::FormCreate()
{
    source_address = store_.LoadInt("ADRESA", "SA", 0);
    dest_address = store_.LoadInt("ADRESA", "DA", 0);
    com_index = store_.LoadInt("PORT", "COM", 1);
    baud_rate = store_.LoadInt("PORT", "BAUDRATE", 9600);

    const QSignalBlocker block_sa(cb_sa);
    const QSignalBlocker block_da(cb_da);
    cb_sa->setCurrentIndex(source_address);
    set_source_address(static_cast<std::uint8_t>(source_address));
    cb_da->setCurrentIndex(dest_address);
    set_dest_address(static_cast<std::uint8_t>(dest_address));

    const QSignalBlocker block_baud(cb_baudrate);
    cb_baudrate->clear();
    for (const char* rate : kBaudRates)
        cb_baudrate->addItem(QString::fromLatin1(rate));
    // A stored speed outside the list selects nothing and is still used.
    cb_baudrate->setCurrentIndex(cb_baudrate->findText(QString::number(baud_rate)));

    const QSignalBlocker block_com(cb_com);
    cb_com->setCurrentIndex(com_index);
    TakeSnapshot();
}

void Tport::TakeSnapshot()
{
    snapshot_ = {baud_rate, dest_address, source_address, com_index};
}

void Tport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void Tport::FormShow()
{
    if (OpenPort(com_index) == 1)
        RaiseOpenError();
    dest_address = get_dest_address();
    const QSignalBlocker block(cb_da);
    cb_da->setCurrentIndex(dest_address);
    TakeSnapshot();
}

void Tport::done(int result)
{
    QDialog::done(result);
    RunGuarded([this] { FormClose(); });
}

void Tport::FormClose()
{
    store_.StoreInt("ADRESA", "SA", source_address);
    store_.StoreInt("ADRESA", "DA", dest_address);
    store_.StoreInt("PORT", "BAUDRATE", baud_rate);
    // "žádný port" is never stored: the next start offers COM 1.
    store_.StoreInt("PORT", "COM", com_index == 0 ? 1 : com_index);
}

void Tport::cb_comChange()
{
    com_index = cb_com->currentIndex();
    if (com_index != 0) {
        ClosePort();
        if (OpenPort(com_index) == 1)
            RaiseOpenError();
    }
}

void Tport::cb_baudrateChange()
{
    baud_rate = cb_baudrate->currentText().toInt();
    SetLineSpeed(baud_rate);
    ApplyLineSettings();
}

void Tport::cb_daChange()
{
    dest_address = cb_da->currentIndex();
    set_dest_address(static_cast<std::uint8_t>(dest_address));
}

void Tport::cb_saChange()
{
    source_address = cb_sa->currentIndex();
    set_source_address(static_cast<std::uint8_t>(source_address));
}

void Tport::tl_cancelClick()
{
    // Back to the settings the dialog was opened with.
    baud_rate = snapshot_.baud_rate;
    dest_address = snapshot_.dest_address;
    source_address = snapshot_.source_address;
    com_index = snapshot_.com_index;
    set_dest_address(static_cast<std::uint8_t>(dest_address));
    set_source_address(static_cast<std::uint8_t>(source_address));
    const QSignalBlocker b1(cb_com), b2(cb_da), b3(cb_sa), b4(cb_baudrate);
    cb_com->setCurrentIndex(com_index);
    cb_da->setCurrentIndex(dest_address);
    cb_sa->setCurrentIndex(source_address);
    cb_baudrate->setCurrentIndex(cb_baudrate->findText(QString::number(baud_rate)));
    reject();
}

void Tport::OnPortSelectionReset()
{
    const QSignalBlocker block(cb_com);
    cb_com->setCurrentIndex(0);
}

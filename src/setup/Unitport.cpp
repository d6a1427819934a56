// Unitport: Tport, the communication settings window and owner of the serial port.
#include "Unitport.h"

#include "ComDevices.h"
#include "ComTargetRow.h"
#include "ErrorBoundary.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"
#include "SettingsReader.h"
#include "SettingsStore.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>

namespace {

const char* const kBaudRates[] = {"110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
                                  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};

// The address table: 16 columns x 8 rows of 28 x 20 pixels, plus the header
// row and column of the same size.
constexpr int kColumns = 16;
constexpr int kRows = 8;
constexpr int kCellWidth = 28;
constexpr int kCellHeight = 20;

// Top row of lists, the table under it, the buttons at the bottom.
constexpr int kLeft = 28;
constexpr int kListStep = 125;
constexpr int kListWidth = 106;

const QString kQuestion =
    QStringLiteral("Byly provedeny změny v nastavení.\nOpravdu se chceš vrátit k původnímu nastavení?");

QComboBox* MakeList(QWidget* parent, QLabel* label, int x, const QString& hint)
{
    auto* list = new QComboBox(parent);
    list->setGeometry(x, 30, kListWidth, 24);
    list->setToolTip(hint);
    label->setBuddy(list);
    // Screen readers name the list after its label, without the colon.
    QString name = label->text().trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    list->setAccessibleName(name);
    return list;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int x, const QString& hint)
{
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(x, 284, 90, 26);
    button->setToolTip(hint);
    return button;
}

// The address table: 28 x 20 pixel cells in bold Arial of 13 pixels.
QTableWidget* MakeAddressTable(QWidget* parent)
{
    auto* table = new QTableWidget(kRows, kColumns, parent);
    table->setObjectName(QStringLiteral("str_tab"));
    table->setAccessibleName(QStringLiteral("Tabulka adres"));
    QFont grid_font(QStringLiteral("Arial"));
    grid_font.setPixelSize(13);
    grid_font.setBold(true);
    table->setFont(grid_font);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setTextElideMode(Qt::ElideNone);
    table->setWordWrap(false);
    for (QHeaderView* header : {table->horizontalHeader(), table->verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(false);
        header->setFont(grid_font);
    }
    table->horizontalHeader()->setDefaultSectionSize(kCellWidth);
    table->horizontalHeader()->setFixedHeight(kCellHeight);
    table->verticalHeader()->setDefaultSectionSize(kCellHeight);
    table->verticalHeader()->setFixedWidth(kCellWidth);
    const int frame = 2 * table->frameWidth();
    table->setGeometry(kLeft, 86, (kColumns + 1) * kCellWidth + frame, (kRows + 1) * kCellHeight + frame);
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem();
            // Selectable, so that the probed address shows as the current
            // cell; the user cannot select anything in the disabled table.
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setTextAlignment(Qt::AlignCenter);
            table->setItem(row, column, item);
        }
    }
    // The table only shows: it takes neither focus nor clicks, and its texts
    // keep their normal colours instead of the greyed ones of a disabled
    // control.
    QPalette palette = table->palette();
    for (QPalette::ColorRole role :
         {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Base, QPalette::Button,
          QPalette::Window, QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
    table->setPalette(palette);
    table->setFocusPolicy(Qt::NoFocus);
    table->setEnabled(false);
    return table;
}

} // namespace

Tport::Tport(SettingsStore& store, std::unique_ptr<SerialBackend> backend, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ComPort(std::move(backend)),
      store_(store)
{
    setWindowTitle(QStringLiteral("Komunikační port"));
    setFixedSize(537, 321);
    auto label = [this](const QString& text, int x, int y) {
        auto* l = new QLabel(text, this);
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    cb_com = MakeList(this, label(QStringLiteral("Sériová linka:"), kLeft, 12), kLeft,
                      QStringLiteral("Nastaví komunikační linku"));
    cb_com->addItem(QStringLiteral("žádný port"));
    for (int i = 1; i <= 8; ++i)
        cb_com->addItem(QStringLiteral("COM %1").arg(i));
    cb_baudrate = MakeList(this, label(QStringLiteral("Přenosová rychlost"), kLeft + kListStep, 12), kLeft + kListStep,
                           QString());
    cb_da = MakeList(this, label(QStringLiteral("Adresa přístroje:"), kLeft + 2 * kListStep, 12), kLeft + 2 * kListStep,
                     QStringLiteral("Nastaví adresu přístroje"));
    cb_sa = MakeList(this, label(QStringLiteral("Adresa počítače: "), kLeft + 3 * kListStep, 12), kLeft + 3 * kListStep,
                     QStringLiteral("Nastaví adresu počítače"));
    for (int a = 0; a <= 126; ++a) {
        cb_da->addItem(QString::number(a));
        cb_sa->addItem(QString::number(a));
    }

    QLabel* table_label = label(QStringLiteral("Tabulka adres:"), kLeft, 68);
    str_tab = MakeAddressTable(this);
    table_label->setBuddy(str_tab);

    tl_ok = MakeButton(this, QStringLiteral("OK"), kLeft, QStringLiteral("Návrat a potvrzení změn"));
    tl_ok->setDefault(true);
    tl_cancel = MakeButton(this, QStringLiteral("Storno"), kLeft + 98, QStringLiteral("Storno"));
    tl_najit =
        MakeButton(this, QStringLiteral("Najít adresy"), kLeft + 293, QStringLiteral("Spustí vyhledávání adres"));
    tl_prerusit =
        MakeButton(this, QStringLiteral("Přerušit"), kLeft + 391, QStringLiteral("Přeruší vyhledávání adres"));
    tl_prerusit->setEnabled(false);

    Timer1 = new QTimer(this);
    Timer1->setInterval(kSearchIntervalMs);

    // Where COM names are links the user makes, a row under the lists shows
    // where the chosen port leads and offers to assign a device to it; the
    // table and the buttons move down to make room.
    if (ComNamesAreLinks()) {
        constexpr int kRowHeight = 30;
        com_target = new ComTargetRow(this, kLeft, 62, kColumns * kCellWidth + kCellWidth + 2);
        for (QWidget* below :
             {static_cast<QWidget*>(table_label), static_cast<QWidget*>(str_tab), static_cast<QWidget*>(tl_ok),
              static_cast<QWidget*>(tl_cancel), static_cast<QWidget*>(tl_najit), static_cast<QWidget*>(tl_prerusit)})
            below->move(below->x(), below->y() + kRowHeight);
        setFixedSize(537, 321 + kRowHeight);
        // The port just assigned becomes the chosen one and is opened on
        // its new device.
        com_target->on_assigned = [this](int n) {
            cb_com->setCurrentIndex(n);
            ChangePort(n);
        };
    }

    setTabOrder(cb_com, com_target != nullptr ? static_cast<QWidget*>(com_target->tl_prirad) : cb_baudrate);
    if (com_target != nullptr)
        setTabOrder(com_target->tl_prirad, cb_baudrate);
    setTabOrder(cb_baudrate, cb_da);
    setTabOrder(cb_da, cb_sa);
    setTabOrder(cb_sa, tl_ok);
    setTabOrder(tl_ok, tl_cancel);
    setTabOrder(tl_cancel, tl_najit);
    setTabOrder(tl_najit, tl_prerusit);

    connect(tl_ok, &QPushButton::clicked, this, &QDialog::accept);
    // "Storno" closes the dialog after its handler, also when the handler
    // ended with an error.
    connect(tl_cancel, &QPushButton::clicked, this, Guarded(this, &Tport::tl_cancelClick));
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(tl_najit, &QPushButton::clicked, this, Guarded(this, &Tport::tl_najitClick));
    connect(tl_prerusit, &QPushButton::clicked, this, Guarded(this, &Tport::tl_prerusitClick));
    connect(Timer1, &QTimer::timeout, this, Guarded(this, &Tport::Timer1Timer));
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
    SettingsReader s(store_);
    source_address = s.Load("ADRESA", "SA", 0);
    dest_address = s.Load("ADRESA", "DA", 0);
    com_index = s.Load("PORT", "COM", 1);
    baud_rate = s.Load("PORT", "BAUDRATE", 9600);
    s.Finish();

    // An address of 127 or more has no item and is still given to the link.
    cb_sa->setCurrentIndex(source_address);
    set_source_address(static_cast<std::uint8_t>(source_address));
    cb_da->setCurrentIndex(dest_address);
    set_dest_address(static_cast<std::uint8_t>(dest_address));

    cb_baudrate->clear();
    for (const char* rate : kBaudRates)
        cb_baudrate->addItem(QString::fromLatin1(rate));
    // A stored speed outside the list selects nothing and is still used.
    cb_baudrate->setCurrentIndex(cb_baudrate->findText(QString::number(baud_rate)));

    cb_com->setCurrentIndex(com_index);
    chosen_com_ = com_index;
    FillGridHeaders();
    TakeSnapshot();
}

void Tport::FillGridHeaders()
{
    // "x" and the low hexadecimal digit over the columns, the high digit and
    // "x" beside the rows.
    for (int column = 0; column < kColumns; ++column)
        str_tab->setHorizontalHeaderItem(
            column, new QTableWidgetItem(QLatin1Char('x') + QString::number(column, 16).toUpper()));
    for (int row = 0; row < kRows; ++row)
        str_tab->setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(row) + QLatin1Char('x')));
}

void Tport::TakeSnapshot()
{
    snapshot_ = {baud_rate, dest_address, source_address, com_index};
}

bool Tport::SettingsChanged() const
{
    return baud_rate != snapshot_.baud_rate || dest_address != snapshot_.dest_address ||
           source_address != snapshot_.source_address || com_index != snapshot_.com_index;
}

void Tport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void Tport::FormShow()
{
    ShowComTarget();
    // A port that cannot be opened is reported; the dialog still opens.
    OpenPortOrRaise(com_index);
    // The address change dialog may have moved the instrument meanwhile.
    dest_address = get_dest_address();
    cb_da->setCurrentIndex(dest_address);
    TakeSnapshot();
}

void Tport::done(int result)
{
    // A search never outlives the dialog: the port is closed right after it.
    if (Searching())
        tl_prerusitClick();
    QDialog::done(result);
    RunGuarded([this] { FormClose(); });
}

void Tport::keyPressEvent(QKeyEvent* event)
{
    // Escape is "Storno": it runs its handler, and does nothing while
    // "Storno" is disabled (during a search).
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        if (tl_cancel->isEnabled())
            tl_cancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tport::FormClose()
{
    store_.StoreInt("ADRESA", "SA", source_address);
    store_.StoreInt("ADRESA", "DA", dest_address);
    store_.StoreInt("PORT", "BAUDRATE", baud_rate);
    // "žádný port" is never stored: the next start offers COM 1. The list
    // shows COM 1 too from now on, since every action opens the port the
    // list shows: a list left at "žádný port" would make every reading fail
    // on COM0 while the settings say COM 1.
    if (com_index == 0) {
        com_index = 1;
        chosen_com_ = 1;
        const QSignalBlocker block(cb_com);
        cb_com->setCurrentIndex(1);
        ShowComTarget();
    }
    store_.StoreInt("PORT", "COM", com_index);
}

void Tport::cb_comChange()
{
    ChangePort(cb_com->currentIndex());
}

void Tport::cb_baudrateChange()
{
    ChangeSpeed(cb_baudrate->currentText().toInt());
}

void Tport::cb_daChange()
{
    ChangeDestAddress(cb_da->currentIndex());
}

void Tport::cb_saChange()
{
    ChangeSourceAddress(cb_sa->currentIndex());
}

void Tport::ChangePort(std::int32_t index)
{
    com_index = index;
    chosen_com_ = index;
    ShowComTarget();
    // "žádný port" leaves the port opened before open until the dialog closes.
    if (com_index != 0) {
        ClosePort();
        OpenPortOrRaise(com_index);
    }
}

void Tport::ChangeSpeed(std::int32_t baud)
{
    SetLineSpeed(baud);
    ApplyLineSettings();
}

void Tport::ChangeDestAddress(std::int32_t address)
{
    dest_address = address;
    set_dest_address(static_cast<std::uint8_t>(dest_address));
}

void Tport::ChangeSourceAddress(std::int32_t address)
{
    source_address = address;
    set_source_address(static_cast<std::uint8_t>(source_address));
}

void Tport::tl_cancelClick()
{
    if (!SettingsChanged())
        return;
    if (ShowMessageBox(this, QMessageBox::Question, QStringLiteral("Dotaz"), kQuestion,
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        // The changes stay and become the settings to go back to.
        TakeSnapshot();
        return;
    }
    // Back to the snapshot, each setting through its own change handling, so
    // the port is opened again and the speed applied to it.
    const Snapshot back = snapshot_;
    if (com_index != back.com_index) {
        cb_com->setCurrentIndex(back.com_index);
        ChangePort(back.com_index);
    }
    if (baud_rate != back.baud_rate) {
        cb_baudrate->setCurrentIndex(cb_baudrate->findText(QString::number(back.baud_rate)));
        ChangeSpeed(back.baud_rate);
    }
    if (dest_address != back.dest_address) {
        cb_da->setCurrentIndex(back.dest_address);
        ChangeDestAddress(back.dest_address);
    }
    if (source_address != back.source_address) {
        cb_sa->setCurrentIndex(back.source_address);
        ChangeSourceAddress(back.source_address);
    }
}

bool Tport::Searching() const
{
    return Timer1->isActive();
}

void Tport::SetSearchState(bool searching)
{
    tl_prerusit->setEnabled(searching);
    for (QWidget* control :
         {static_cast<QWidget*>(tl_ok), static_cast<QWidget*>(tl_cancel), static_cast<QWidget*>(cb_sa),
          static_cast<QWidget*>(cb_da), static_cast<QWidget*>(cb_com), static_cast<QWidget*>(cb_baudrate)})
        control->setEnabled(!searching);
    if (com_target != nullptr)
        com_target->SetLocked(searching);
    if (searching)
        Timer1->start();
    else
        Timer1->stop();
}

void Tport::tl_najitClick()
{
    // Also during a search: the table is cleared and the search starts again
    // at address 0.
    for (int address = 0; address < kSearchEnd; ++address)
        SetAddressCell(address, QStringLiteral(" "));
    search_address = 0;
    SetSearchState(true);
}

void Tport::tl_prerusitClick()
{
    // The table keeps what it shows.
    SetSearchState(false);
}

void Tport::Timer1Timer()
{
    if (search_address >= kSearchEnd) {
        SetSearchState(false);
        return;
    }
    // The probe borrows the link's destination; the chosen instrument
    // address is never changed by the search.
    const std::uint8_t remembered = get_dest_address();
    // "*" marks the last address probed without an answer.
    if (search_address == 0)
        SetAddressCell(0, QStringLiteral("*"));
    else if (AddressCellText(search_address - 1) == QLatin1String("*"))
        SetAddressCell(search_address - 1, QStringLiteral(" "));
    str_tab->setCurrentItem(AddressCell(search_address));

    set_dest_address(static_cast<std::uint8_t>(search_address));
    const bool answered = probe_address() == 1;
    SetAddressCell(search_address, answered ? QString::number(search_address) : QStringLiteral("*"));
    ++search_address;
    if (search_address >= kSearchEnd)
        SetSearchState(false);
    set_dest_address(remembered);
}

QTableWidgetItem* Tport::AddressCell(int address) const
{
    return str_tab->item(address / kColumns, address % kColumns);
}

void Tport::SetAddressCell(int address, const QString& text)
{
    AddressCell(address)->setText(text);
}

QString Tport::AddressCellText(int address) const
{
    return AddressCell(address)->text();
}

void Tport::OnPortSelectionReset()
{
    const QSignalBlocker block(cb_com);
    cb_com->setCurrentIndex(0);
    ShowComTarget();
}

void Tport::ShowComTarget()
{
    // After a failed opening the list shows "žádný port"; the row goes on
    // showing the port that failed, where it leads and why.
    if (com_target != nullptr)
        com_target->Show(com_index != 0 ? com_index : chosen_com_);
}

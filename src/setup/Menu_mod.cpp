// Menu_mod: TForm_menu, the dialog of the instrument's parameters (tables 1 and 2).
#include "Menu_mod.h"

#include "DeviceTables.h"
#include "DialogFont.h"
#include "ErrorBoundary.h"
#include "FixedFormatQt.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"
#include "RadioGroup.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace {

constexpr std::uint8_t kLimitsTable = 1;
constexpr std::uint8_t kConfigTable = 2;
constexpr int kReadPauseMs = 20;
constexpr int kWritePauseMs = 100;
constexpr int kBarStart = 30;
constexpr int kBarStep = 35;
constexpr int kConfigBits = 6;
// The four numbers: 10 significant digits, 6 decimals.
constexpr int kSignificant = 10;
constexpr int kDecimals = 6;

// Left column: a bold tag, the description above the control beside it.
constexpr int kTagLeft = 16;
constexpr int kControlLeft = 88;
constexpr int kControlWidth = 161;
constexpr int kRowTop = 16;
constexpr int kRowPitch = 56;

QString NumberText(float value)
{
    return FormatFixedLocale(value, kSignificant, kDecimals);
}

} // namespace

TForm_menu::TForm_menu(PauseFunction pause, QWidget* parent) : QDialog(parent), pause_(std::move(pause))
{
    setObjectName(QStringLiteral("Form_menu"));
    setWindowTitle(QStringLiteral("Parametry ORBENA 52"));
    // Fixed dialog border with the system menu as its only title button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(DialogFont(11));

    ed_scale = AddNumberRow(0, "ed_scale", QStringLiteral("SCALE"), QStringLiteral("koeficient stupnice"), lb_scale);
    cb_dp = AddChoiceRow(1, "cb_dp", QStringLiteral("DP"), QStringLiteral("desetinná tečka"),
                         {QStringLiteral("000000."), QStringLiteral("00000.0"), QStringLiteral("0000.00"),
                          QStringLiteral("000.000"), QStringLiteral("00.0000"), QStringLiteral("0.00000")},
                         lb_dp);
    cb_filtr = AddChoiceRow(2, "cb_filtr", QStringLiteral("FILTR"), QStringLiteral("vstupní filtr"),
                            {QStringLiteral("bez filtru"), QStringLiteral("s filtrem")}, lb_filtr);
    ed_sp_ala =
        AddNumberRow(3, "ed_sp_ala", QStringLiteral("SP_ALA"), QStringLiteral("limita alarmu OUT 1"), lb_sp_ala);
    ed_hyster =
        AddNumberRow(4, "ed_hyster", QStringLiteral("HYSTER"), QStringLiteral("hystereze limity OUT 1"), lb_hyster);
    ed_sp_suma =
        AddNumberRow(5, "ed_sp_suma", QStringLiteral("SP_SUM"), QStringLiteral("limita alarmu OUT 2"), lb_sp_suma);
    BuildConfigPanel();
    BuildButtons();

    // Keyboard order: the left column top to bottom, the radio groups, the
    // buttons.
    QList<QWidget*> order = {ed_scale, cb_dp, cb_filtr, ed_sp_ala, ed_hyster, ed_sp_suma};
    for (RadioGroup* group : {rg_ain, rg_in_funkce, rg_integrace, rg_out1, rg_out2, rg_aout})
        for (int i = 0; i < group->Count(); ++i)
            order.append(group->Item(i));
    order.append({tl_read, tl_write, tl_exit});
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    setFixedSize(586, 499);
}

TForm_menu::~TForm_menu() = default;

void TForm_menu::AddRow(int row, QWidget* control, const char* name, const QString& tag, const QString& description,
                        QLabel*& tag_label)
{
    const int top = kRowTop + row * kRowPitch;
    auto* about = new QLabel(description, this);
    about->setGeometry(kControlLeft, top, kControlWidth + 40, 15);
    tag_label = new QLabel(tag, this);
    QFont bold = font();
    bold.setBold(true);
    tag_label->setFont(bold);
    tag_label->setGeometry(kTagLeft, top + 18, kControlLeft - kTagLeft - 4, 17);
    tag_label->setBuddy(control);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(kControlLeft, top + 16, kControlWidth, 21);
    control->setAccessibleName(tag + QStringLiteral(": ") + description);
}

QLineEdit* TForm_menu::AddNumberRow(int row, const char* name, const QString& tag, const QString& description,
                                    QLabel*& tag_label)
{
    auto* edit = new QLineEdit(this);
    AddRow(row, edit, name, tag, description, tag_label);
    return edit;
}

QComboBox* TForm_menu::AddChoiceRow(int row, const char* name, const QString& tag, const QString& description,
                                    const QStringList& items, QLabel*& tag_label)
{
    auto* box = new QComboBox(this);
    box->addItems(items);
    AddRow(row, box, name, tag, description, tag_label);
    return box;
}

void TForm_menu::BuildConfigPanel()
{
    QFont bold = font();
    bold.setBold(true);
    lb_config = new QLabel(QStringLiteral("CONFIG"), this);
    lb_config->setFont(bold);
    lb_config->setGeometry(272, 12, 120, 17);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setGeometry(272, 32, 298, 448);
    Panel1->setAccessibleName(QStringLiteral("CONFIG"));

    // The three blanks after the two dots belong to the texts.
    const QStringList ma_range = {QStringLiteral("0..   20 mA"), QStringLiteral("4..   20 mA")};
    struct Group {
        RadioGroup*& group;
        const char* name;
        QString caption;
        QStringList items;
    };
    const Group groups[] = {
        {rg_ain, "rg_ain", QStringLiteral("Vstupní signál"), ma_range},
        {rg_in_funkce,
         "rg_in_funkce",
         QStringLiteral("Vstupní signál"),
         {QStringLiteral("Lineární vstupní signál"), QStringLiteral("Odmocněný vstupní signál")}},
        {rg_integrace,
         "rg_integrace",
         QStringLiteral("Integrované množství"),
         {QStringLiteral("za 1 minutu"), QStringLiteral("za 1 hodinu")}},
        {rg_out1,
         "rg_out1",
         QStringLiteral("Výstup OUT 1"),
         {QStringLiteral("Sepnutý při překročení"), QStringLiteral("Sepnutý při nedosažení")}},
        {rg_out2,
         "rg_out2",
         QStringLiteral("Výstup OUT 2"),
         {QStringLiteral("Trvalé sepnutí při překročení"), QStringLiteral("Časově omezené sepnutí")}},
        {rg_aout, "rg_aout", QStringLiteral("Analogový výstup"), ma_range},
    };
    // The items in plain type under the bold caption; the weight is set
    // explicitly, or the items would take the caption's.
    QFont plain = font();
    plain.setBold(false);
    int top = 8;
    for (const Group& g : groups) {
        g.group = new RadioGroup(g.caption, g.items, Panel1);
        g.group->setObjectName(QString::fromLatin1(g.name));
        g.group->setFont(bold);
        for (int i = 0; i < g.group->Count(); ++i)
            g.group->Item(i)->setFont(plain);
        g.group->setGeometry(8, top, 282, 66);
        top += 72;
    }
}

void TForm_menu::BuildButtons()
{
    bar_load = new QProgressBar(this);
    bar_load->setObjectName(QStringLiteral("bar_load"));
    bar_load->setRange(0, 100);
    bar_load->setValue(0);
    bar_load->setTextVisible(false);
    bar_load->setGeometry(kTagLeft, 424, kControlLeft + kControlWidth - kTagLeft, 17);
    bar_load->setAccessibleName(QStringLiteral("průběh přenosu"));
    bar_load->setVisible(false);

    QFont bold = font();
    bold.setBold(true);
    auto button = [&](QPushButton*& b, const char* name, const QString& text, int left) {
        b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setFont(bold);
        b->setGeometry(left, 455, 75, 25);
    };
    button(tl_read, "tl_read", QStringLiteral("Čtení"), kTagLeft);
    button(tl_write, "tl_write", QStringLiteral("Zápis"), kTagLeft + 80);
    button(tl_exit, "tl_exit", QStringLiteral("Zpět"), kTagLeft + 160);
    // Enter in any control but another button closes through "Zpět".
    tl_exit->setDefault(true);

    connect(tl_read, &QPushButton::clicked, this, Guarded(this, &TForm_menu::tl_readClick));
    connect(tl_write, &QPushButton::clicked, this, Guarded(this, &TForm_menu::tl_writeClick));
    connect(tl_exit, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm_menu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Each showing reads both tables before the user can act.
    if (!event->spontaneous())
        RunGuarded([this] { tl_readClick(); });
}

void TForm_menu::TransferTables(std::uint8_t (*exchange)(std::uint8_t table), int pause_ms, const QString& failure)
{
    bar_load->setValue(kBarStart);
    bar_load->setVisible(true);
    bar_load->repaint();
    // Both tables always: a failure of the first does not stop the second.
    int failures = 0;
    for (const std::uint8_t table : {kLimitsTable, kConfigTable}) {
        if (exchange(table) == 0)
            ++failures;
        bar_load->setValue(bar_load->value() + kBarStep);
        bar_load->repaint();
        pause_(pause_ms);
    }
    if (failures > 0)
        ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("Komunikace"), failure);
}

void TForm_menu::EndTransfer()
{
    bar_load->setVisible(false);
    bar_load->setValue(0);
}

void TForm_menu::tl_readClick()
{
    TransferTables(&read_table, kReadPauseMs, QStringLiteral("Chyba při čtení"));
    // A table that was not read shows the values it had.
    ShowParams();
    EndTransfer();
}

void TForm_menu::tl_writeClick()
{
    if (TakeParams() != 0)
        return;
    TransferTables(&write_table, kWritePauseMs, QStringLiteral("Chyba při zápisu"));
    EndTransfer();
}

void TForm_menu::ShowParams()
{
    // A value without an item (DP above 5, FILTR other than 0 or 1) leaves
    // its box without a selection.
    cb_dp->setCurrentIndex(DP < cb_dp->count() ? DP : -1);
    cb_filtr->setCurrentIndex(FILTR >= 0 && FILTR < cb_filtr->count() ? FILTR : -1);
    ShowConfig();
    ed_scale->setText(NumberText(SCALE));
    ed_sp_ala->setText(NumberText(SP_ALA));
    ed_hyster->setText(NumberText(HYSTER));
    ed_sp_suma->setText(NumberText(SP_SUM));
}

int TForm_menu::TakeParams()
{
    // No selection (index -1) is sent as it comes: DP 255, FILTR -1.
    DP = static_cast<std::uint8_t>(cb_dp->currentIndex() & 0xFF);
    FILTR = static_cast<std::int16_t>(cb_filtr->currentIndex());
    CONFIG = TakeConfig();
    const std::pair<float*, QLineEdit*> numbers[] = {
        {&SCALE, ed_scale}, {&SP_ALA, ed_sp_ala}, {&HYSTER, ed_hyster}, {&SP_SUM, ed_sp_suma}};
    // Every edit is checked, so each bad one reports on its own; each takes
    // the focus in turn, so it ends on the last bad one.
    bool all_valid = true;
    for (const auto& [target, edit] : numbers)
        if (CheckFloat(*target, edit) != 0)
            all_valid = false;
    return all_valid ? 0 : -1;
}

int TForm_menu::CheckFloat(float& target, QLineEdit* edit)
{
    float value = 0.0f;
    if (ParseFloatLocale(edit->text(), value)) {
        target = value;
        return 0;
    }
    ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("CHYBA"),
                   QStringLiteral("Je nutné zadávat pouze čísla nebo desetinnou čárku"));
    target = 0.0f;
    edit->setText(QStringLiteral("1"));
    edit->setFocus();
    return -1;
}

RadioGroup* TForm_menu::ConfigGroup(int bit) const
{
    RadioGroup* const by_bit[kConfigBits] = {rg_aout, rg_out2, rg_out1, rg_integrace, rg_in_funkce, rg_ain};
    return by_bit[bit];
}

void TForm_menu::ShowConfig()
{
    for (int bit = 0; bit < kConfigBits; ++bit)
        ConfigGroup(bit)->SetItemIndex((CONFIG >> bit) & 1);
}

std::uint8_t TForm_menu::TakeConfig() const
{
    // Bits 6 and 7 are never sent set.
    std::uint8_t config = 0;
    for (int bit = 0; bit < kConfigBits; ++bit)
        if (ConfigGroup(bit)->ItemIndex() != 0)
            config = static_cast<std::uint8_t>(config | (1u << bit));
    return config;
}

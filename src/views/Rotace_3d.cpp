// Rotace_3d: Trotace3D, the chart settings dialog.
#include "Rotace_3d.h"

#include "ChartSettings.h"
#include "ColorSwatch.h"
#include "DecimalParse.h"
#include "DialogFont.h"
#include "ErrorBoundary.h"
#include "LiveChart.h"
#include "MessageBoxes.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace {

constexpr std::int32_t kFewestPoints = 10;
constexpr std::int32_t kMostPoints = 100000;

std::optional<QColor> RunColorDialog(QWidget* parent, const QColor& initial)
{
    QColorDialog dialog(initial, parent);
    dialog.setWindowTitle(QStringLiteral("Barva"));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedColor();
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(x, y);
    label->adjustSize();
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QRect& bounds)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(bounds);
    button->setAccessibleName(text);
    return button;
}

ColorSwatch* MakeSwatch(QWidget* parent, const char* name, const QString& accessible_name, int x, int y)
{
    auto* swatch = new ColorSwatch(parent);
    swatch->setObjectName(QString::fromLatin1(name));
    swatch->setGeometry(x, y, 28, 28);
    swatch->SetColorValue(kColorButtonFace);
    swatch->setAccessibleName(accessible_name);
    return swatch;
}

} // namespace

Trotace3D::Trotace3D(LiveChart& chart, QWidget* parent) : QDialog(parent), chart_(chart), picker_(RunColorDialog)
{
    setObjectName(QStringLiteral("rotace3D"));
    setWindowTitle(QStringLiteral("GRAF 3D"));
    // A fixed single border with the close box only.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont(11));

    Label4 = MakeLabel(this, "Label4", QStringLiteral("Rozměr"), 16, 8);

    check_3D = new QCheckBox(QStringLiteral("3D"), this);
    check_3D->setObjectName(QStringLiteral("check_3D"));
    check_3D->setGeometry(16, 24, 65, 17);
    check_3D->setChecked(true);
    check_3D->setToolTip(QStringLiteral("Nastaví zobrazení 3D"));
    check_3D->setAccessibleName(QStringLiteral("3D"));
    connect(check_3D, &QCheckBox::toggled, this, Guarded(this, &Trotace3D::check_3DClick));

    Label1 = MakeLabel(this, "Label1", QStringLiteral("Procento natočení"), 16, 48);

    bar_3D = new QScrollBar(Qt::Horizontal, this);
    bar_3D->setObjectName(QStringLiteral("bar_3D"));
    bar_3D->setGeometry(16, 64, 161, 17);
    bar_3D->setRange(1, 100);
    bar_3D->setSingleStep(1);
    bar_3D->setPageStep(1);
    bar_3D->setValue(1);
    bar_3D->setFocusPolicy(Qt::StrongFocus);
    // A scroll bar inverts its keys by default (Right would lower the depth).
    bar_3D->setInvertedControls(false);
    bar_3D->setToolTip(QStringLiteral("Nastaví natočení 3D grafu"));
    bar_3D->setAccessibleName(Label1->text());
    Label1->setBuddy(bar_3D);
    connect(bar_3D, &QScrollBar::valueChanged, this, Guarded(this, &Trotace3D::bar_3DChange));

    Label2 = MakeLabel(this, "Label2", QStringLiteral("Nastavení barvy"), 16, 96);

    pa_barva_mriz = MakeSwatch(this, "pa_barva_mriz", QStringLiteral("Barva mřížky"), 16, 112);
    tl_barva_mriz = MakeButton(this, "tl_barva_mriz", QStringLiteral("Mrižka"), QRect(72, 112, 75, 25));
    tl_barva_mriz->setToolTip(QStringLiteral("Nastaví barvu pozadí mřížky"));
    connect(tl_barva_mriz, &QPushButton::clicked, this, Guarded(this, &Trotace3D::tl_barva_mrizClick));

    pa_barva_okraj = MakeSwatch(this, "pa_barva_okraj", QStringLiteral("Barva okraje"), 16, 152);
    tl_barva_okraj = MakeButton(this, "tl_barva_okraj", QStringLiteral("Okraj"), QRect(72, 152, 75, 25));
    tl_barva_okraj->setToolTip(QStringLiteral("Nastaví barvu okraje grafu"));
    connect(tl_barva_okraj, &QPushButton::clicked, this, Guarded(this, &Trotace3D::tl_barva_okrajClick));

    pa_barva_pera = MakeSwatch(this, "pa_barva_pera", QStringLiteral("Barva pera"), 16, 192);
    tl_barva_pera = MakeButton(this, "tl_barva_pera", QStringLiteral("Barva pera"), QRect(72, 192, 75, 25));
    connect(tl_barva_pera, &QPushButton::clicked, this, Guarded(this, &Trotace3D::tl_barva_peraClick));

    Label3 = MakeLabel(this, "Label3", QStringLiteral("Počet měření"), 112, 8);

    ed_poc_mer = new QLineEdit(QStringLiteral("200"), this);
    ed_poc_mer->setObjectName(QStringLiteral("ed_poc_mer"));
    ed_poc_mer->setGeometry(112, 23, 73, 21);
    ed_poc_mer->setToolTip(QStringLiteral("Počet zobrazených měření v grafu (10 až 100.0000)"));
    ed_poc_mer->setAccessibleName(Label3->text());
    Label3->setBuddy(ed_poc_mer);
    ed_poc_mer->installEventFilter(this);

    tl_ok = MakeButton(this, "tl_ok", QStringLiteral("OK"), QRect(16, 240, 75, 25));
    connect(tl_ok, &QPushButton::clicked, this, Guarded(this, &Trotace3D::tl_okClick));
    tl_cancel = MakeButton(this, "tl_cancel", QStringLiteral("Storno"), QRect(104, 240, 75, 25));
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject); // Esc and the close box reject as well

    setTabOrder(check_3D, tl_ok);
    setTabOrder(tl_ok, bar_3D);
    setTabOrder(bar_3D, tl_cancel);
    setTabOrder(tl_cancel, tl_barva_mriz);
    setTabOrder(tl_barva_mriz, tl_barva_okraj);
    setTabOrder(tl_barva_okraj, ed_poc_mer);
    setTabOrder(ed_poc_mer, tl_barva_pera);

    setFixedSize(192, 285);
    move(628, 297);
}

Trotace3D::~Trotace3D() = default;

void Trotace3D::check_3DClick()
{
    chart_.SetView3D(check_3D->isChecked());
}

void Trotace3D::bar_3DChange()
{
    chart_.SetDepth3D(bar_3D->value());
}

std::optional<std::uint32_t> Trotace3D::PickColor()
{
    const std::optional<QColor> picked = picker_(this, picker_color_);
    if (!picked || !picked->isValid())
        return std::nullopt;
    picker_color_ = *picked;
    return ColorValueOf(*picked);
}

void Trotace3D::tl_barva_mrizClick()
{
    if (const auto color = PickColor()) {
        chart_.SetBackWallColor(*color);
        pa_barva_mriz->SetColorValue(*color);
    }
}

void Trotace3D::tl_barva_okrajClick()
{
    if (const auto color = PickColor()) {
        chart_.SetSurfaceColor(*color);
        pa_barva_okraj->SetColorValue(*color);
    }
}

void Trotace3D::tl_barva_peraClick()
{
    if (const auto color = PickColor())
        pa_barva_pera->SetColorValue(*color);
}

int Trotace3D::CheckNumber(QLineEdit* edit, std::int32_t& value)
{
    if (ParseInt32(edit->text().toStdString(), value))
        return 0;
    // Owned by the dialog, the application's active window.
    ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("CHYBA"),
                   QStringLiteral("Chyba při zadání číselného textu"));
    value = 0;
    edit->setText(QStringLiteral("0"));
    edit->setFocus();
    return -1;
}

int Trotace3D::CheckRange(std::int32_t lower, std::int32_t upper, QLineEdit* edit)
{
    std::int32_t value = 0;
    if (ParseInt32(edit->text().toStdString(), value) && value >= lower && value <= upper)
        return 0;
    // The text names the dialog's own bounds whatever is passed.
    ShowMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("EDIT"),
                   QStringLiteral("Je nutné zadávat pouze čísla v rozsahu 10 až 100000"));
    return -1;
}

void Trotace3D::tl_okClick()
{
    std::int32_t value = 0;
    if (CheckNumber(ed_poc_mer, value) != 0)
        return;
    if (CheckRange(kFewestPoints, kMostPoints, ed_poc_mer) != 0) {
        ed_poc_mer->setFocus();
        return;
    }
    accept();
}

bool Trotace3D::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ed_poc_mer && event->type() == QEvent::KeyPress)
        return ed_poc_merKeyPress(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool Trotace3D::ed_poc_merKeyPress(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    RunGuarded([this] {
        std::int32_t value = 0;
        if (CheckNumber(ed_poc_mer, value) != 0)
            return;
        if (CheckRange(kFewestPoints, kMostPoints, ed_poc_mer) != 0)
            ed_poc_mer->setFocus();
        else
            tl_ok->setFocus();
    });
    return true;
}

void Trotace3D::keyPressEvent(QKeyEvent* event)
{
    // No button is the default: Enter on the box or the slider does nothing
    // (a focused button still takes it). Esc goes on to Storno.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

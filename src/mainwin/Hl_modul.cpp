// Hl_modul: Torbena52, the main window (value panels, automatic reading, live chart, status bar, menu).
#include "Hl_modul.h"
#include "ui_orbena52.h"

#include "DecimalParse.h"
#include "ErrorBoundary.h"
#include "KxError.h"
#include "LiveChart.h"
#include "ProgramWindows.h"
#include "SettingsReader.h"
#include "SettingsStore.h"

#include "AboutBox.h"
#include "About_ident.h"
#include "ColorSwatch.h"
#include "Menu_mod.h"
#include "Rotace_3d.h"
#include "Unitport.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"
#include "Zmena_adresy.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace {

// The stored width and height are the window's outer size; the frame and
// title bar take this much beyond the client area.
constexpr int kFrameWidth = 10;
constexpr int kFrameHeight = 27;
// The smallest client area that still shows every control of the value
// panel and a strip of the chart.
constexpr int kMinClientWidth = 560;
constexpr int kMinClientHeight = 200;
// Stored positions beyond this are as good as lost; keeping them within it
// keeps the window's geometry arithmetic far from overflowing.
constexpr int kFarCoordinate = 1000000;
int ClampCoordinate(std::int32_t stored)
{
    return std::clamp(stored, -kFarCoordinate, kFarCoordinate);
}

// A stored outer size as the client size, within what a widget can take.
int ClientExtent(std::int32_t stored, int frame)
{
    return static_cast<int>(std::clamp<qint64>(qint64{stored} - frame, 0, QWIDGETSIZE_MAX));
}

// Keeps the value panel and the chart on the window's edges as it is resized.
class AnchorFilter : public QObject {
public:
    AnchorFilter(QWidget* panel, QWidget* chart, QObject* parent) : QObject(parent), panel_(panel), chart_(chart) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize) {
            auto* area = static_cast<QWidget*>(watched);
            panel_->setGeometry(0, 0, area->width(), panel_->height());
            chart_->setGeometry(0, 88, area->width(), std::max(0, area->height() - 88));
        }
        return false;
    }

private:
    QWidget* panel_;
    QWidget* chart_;
};

// Restores the timer's state when a command that paused it ends, also when
// it ends with an error.
class TimerPause {
public:
    explicit TimerPause(QTimer* timer) : timer_(timer), was_active_(timer->isActive()) { timer_->stop(); }
    ~TimerPause()
    {
        if (was_active_)
            timer_->start();
    }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

private:
    QTimer* timer_;
    bool was_active_;
};

QString RunSaveDialog(QWidget* parent, const QString& start_name)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("TXT"));
    // The filter's name already shows its pattern: Qt must not add it again.
    dialog.setNameFilter(QStringLiteral("Textový soubor [*.txt] (*.txt)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    dialog.selectFile(start_name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

Torbena52::Torbena52(const std::string& settings_folder, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::orbena52>())
{
    ui->setupUi(this);
    Chart1 = ui->Chart1;
    ui->centralwidget->installEventFilter(new AnchorFilter(ui->Panel1, Chart1, this));
    ui->tl_read->setVisible(false);

    const int widths[3] = {70, kRecordingPanelWidth, 50};
    const char* const design_texts[3] = {"ERROR", "1 min.", "c:"};
    for (int i = 0; i < 3; ++i) {
        status_[i] = new QLabel(QString::fromUtf8(design_texts[i]), this);
        status_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        status_[i]->setFrameShape(QFrame::Panel);
        status_[i]->setFrameShadow(QFrame::Sunken);
        if (i < 2)
            status_[i]->setFixedWidth(widths[i]);
        else
            status_[i]->setMinimumWidth(widths[i]);
        ui->StatusBar1->addWidget(status_[i], i == 2 ? 1 : 0);
    }
    status_[0]->setAlignment(Qt::AlignCenter);
    // Failed readings in a row, shown only while readings fail.
    status_[3] = new QLabel(this);
    status_[3]->setObjectName(QStringLiteral("StatusPanel3"));
    status_[3]->setFrameShape(QFrame::Panel);
    status_[3]->setFrameShadow(QFrame::Sunken);
    status_[3]->setAlignment(Qt::AlignCenter);
    ui->StatusBar1->addPermanentWidget(status_[3]);
    status_[3]->hide();
    ui->StatusBar1->setFixedHeight(19 + 4);

    Timer1 = new QTimer(this);
    Timer1->setInterval(200);
    // Queued: the cycle runs after the timer's own event has been handled, so
    // a message box raised inside a cycle does not hold the timer back; the
    // next seconds' cycles run inside the box's message loop.
    connect(Timer1, &QTimer::timeout, this, Guarded(this, &Torbena52::Timer1Timer), Qt::QueuedConnection);

    connect(ui->cb_run, &QCheckBox::toggled, this, Guarded(this, &Torbena52::cb_runClick));
    connect(ui->tl_read, &QPushButton::clicked, this, Guarded(this, &Torbena52::tl_readClick));
    connect(ui->mn_save, &QAction::triggered, this, Guarded(this, &Torbena52::mn_saveClick));
    connect(ui->mn_exit, &QAction::triggered, this, Guarded(this, &Torbena52::mn_exitClick));
    connect(ui->mn_port, &QAction::triggered, this, Guarded(this, &Torbena52::mn_portClick));
    connect(ui->mn_menu, &QAction::triggered, this, Guarded(this, &Torbena52::mn_menuClick));
    connect(ui->mn_zmena_adr, &QAction::triggered, this, Guarded(this, &Torbena52::mn_zmena_adrClick));
    connect(ui->mn_nast_graf, &QAction::triggered, this, Guarded(this, &Torbena52::mn_nast_grafClick));
    connect(ui->mn_sampling, &QAction::triggered, this, Guarded(this, &Torbena52::mn_samplingClick));
    connect(ui->NulovnSUMY1, &QAction::triggered, this, Guarded(this, &Torbena52::NulovnSUMY1Click));
    connect(ui->mn_meas, &QAction::triggered, this, Guarded(this, &Torbena52::mn_measClick));
    connect(ui->mn_about, &QAction::triggered, this, Guarded(this, &Torbena52::mn_aboutClick));
    connect(ui->mn_ident, &QAction::triggered, this, Guarded(this, &Torbena52::mn_identClick));
    mn_obnova = ui->mn_obnova;
    connect(mn_obnova, &QAction::triggered, this, Guarded(this, &Torbena52::mn_obnovaClick));

    // The design size is the client area of a 667 x 465 window.
    setMinimumSize(kMinClientWidth, kMinClientHeight);
    resize(667 - kFrameWidth, 465 - kFrameHeight);
    move(192, 107);

    store_ = std::make_unique<SettingsStore>("OrbKX52", settings_folder);
    // A value that cannot be read is shown and takes its default; the other
    // values are still read, and start-up goes on.
    RunGuarded([this] { FormCreate(); });
    // Off unless the user turned it on; read on its own, so that a damaged
    // value here costs nothing else.
    RunGuarded([this] {
        SettingsReader s(*store_);
        mn_obnova->setChecked(s.Load("PORT", "OBNOVA", 0) != 0);
        s.Finish();
    });
}

Torbena52::~Torbena52() = default;

QString Torbena52::MeasText() const
{
    return ui->pa_meas->text();
}

QString Torbena52::SumText() const
{
    return ui->pa_suma->text();
}

QString Torbena52::StatusText(int panel) const
{
    return status_[panel]->text();
}

void Torbena52::SetStatus(int panel, const QString& text)
{
    if (panel == 1) {
        recording_text_ = text;
        ShowRecordingPanel();
        return;
    }
    status_[panel]->setText(text);
}

void Torbena52::FormCreate()
{
    SettingsReader s(*store_);
    move(ClampCoordinate(s.Load("DESKTOP", "Left", x())), y());
    move(x(), ClampCoordinate(s.Load("DESKTOP", "Top", y())));
    resize(width(), ClientExtent(s.Load("DESKTOP", "Height", height() + kFrameHeight), kFrameHeight));
    resize(ClientExtent(s.Load("DESKTOP", "Width", width() + kFrameWidth), kFrameWidth), height());
    KeepOnScreen();

    const ChartSettings& d = kDefaultChartSettings;
    chart.pen_color = static_cast<std::uint32_t>(s.Load("GRAF", "PERO", static_cast<std::int32_t>(d.pen_color)));
    chart.grid_color = static_cast<std::uint32_t>(s.Load("GRAF", "MRIZ", static_cast<std::int32_t>(d.grid_color)));
    chart.border_color =
        static_cast<std::uint32_t>(s.Load("GRAF", "POZADI", static_cast<std::int32_t>(d.border_color)));
    chart.view_3d = s.Load("GRAF", "G3D", d.view_3d ? 1 : 0) != 0;
    chart.depth_3d = s.Load("GRAF", "R3D", d.depth_3d);
    chart.points_kept = s.Load("GRAF", "POCET", d.points_kept);
    ApplyChartSettings();

    file_chosen = false;
    SetStatus(1, QStringLiteral("záznam: %1 s").arg(s.Load("ZAZNAM", "SOUBOR", 60)));
    SetStatus(0, QStringLiteral("STOP"));
    s.Finish();
}

void Torbena52::KeepOnScreen()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return;
    // The stored size is kept within the available area of the window's
    // screen and above the window's minimum size: a huge size would cost
    // hundreds of megabytes and grow at every close, a negative one would
    // leave the controls out of reach.
    QScreen* home = QGuiApplication::screenAt(pos());
    if (home == nullptr)
        home = QGuiApplication::primaryScreen();
    const QRect home_area = home->availableGeometry();
    resize(std::max(minimumWidth(), std::min(width(), home_area.width() - kFrameWidth)),
           std::max(minimumHeight(), std::min(height(), home_area.height() - kFrameHeight)));

    // Bounds stored on a screen that is gone would put the window where
    // nobody can see it: bring it back onto the screen nearest its position.
    const QRect wanted(x(), y(), width() + kFrameWidth, height() + kFrameHeight);
    for (QScreen* screen : screens) {
        const QRect visible = screen->availableGeometry().intersected(wanted);
        // The title bar must be reachable: at least 50 x 20 pixels of the
        // window's top on some screen.
        if (visible.width() >= 50 && visible.top() <= wanted.top() + 5 && visible.height() >= 20)
            return;
    }
    QScreen* target = QGuiApplication::screenAt(wanted.center());
    if (target == nullptr)
        target = QGuiApplication::primaryScreen();
    const QRect area = target->availableGeometry();
    const int w = std::min(width(), area.width() - kFrameWidth);
    const int h = std::min(height(), area.height() - kFrameHeight);
    resize(std::max(w, minimumWidth()), std::max(h, minimumHeight()));
    const int nx = std::clamp(wanted.x(), area.left(), std::max(area.left(), area.right() - width() - kFrameWidth));
    const int ny = std::clamp(wanted.y(), area.top(), std::max(area.top(), area.bottom() - height() - kFrameHeight));
    move(nx, ny);
}

void Torbena52::ApplyChartSettings()
{
    Chart1->SetSurfaceColor(chart.border_color);
    Chart1->SetBackWallColor(chart.grid_color);
    Chart1->SetDepth3D(chart.depth_3d);
    Chart1->SetView3D(chart.view_3d);
}

void Torbena52::closeEvent(QCloseEvent* event)
{
    if (!closing_) {
        closing_ = true;
        // A store that cannot be written must not keep the program from
        // ending: the error is shown and the window closes all the same.
        RunGuarded([this] { FormClose(); });
    }
    Timer1->stop();
    event->accept();
}

void Torbena52::FormClose()
{
    // Every value is tried; a store that cannot be written is reported once,
    // saying which values were not saved.
    SettingsWriter s(*store_);
    s.Store("DESKTOP", "Top", y());
    s.Store("DESKTOP", "Left", x());
    s.Store("DESKTOP", "Height", height() + kFrameHeight);
    s.Store("DESKTOP", "Width", width() + kFrameWidth);
    s.Store("GRAF", "PERO", static_cast<std::int32_t>(chart.pen_color));
    s.Store("GRAF", "MRIZ", static_cast<std::int32_t>(chart.grid_color));
    s.Store("GRAF", "POZADI", static_cast<std::int32_t>(chart.border_color));
    s.Store("GRAF", "G3D", chart.view_3d ? 1 : 0);
    s.Store("GRAF", "R3D", chart.depth_3d);
    s.Store("GRAF", "POCET", chart.points_kept);
    s.Finish();
}

void Torbena52::mn_exitClick()
{
    close();
}

template <class Dialog> void Torbena52::RunPortGuarded(Dialog* dialog)
{
    const TimerPause pause(Timer1);
    port->OpenPortOrRaise(port->SelectedPort());
    dialog->exec();
    port->ClosePort();
}

void Torbena52::mn_portClick()
{
    const TimerPause pause(Timer1);
    port->exec();
    port->ClosePort();
}

void Torbena52::mn_menuClick()
{
    RunPortGuarded(Form_menu);
}

void Torbena52::mn_zmena_adrClick()
{
    RunPortGuarded(ZmenaAdresy);
}

void Torbena52::mn_identClick()
{
    RunPortGuarded(about_ident);
}

void Torbena52::mn_aboutClick()
{
    AboutBox->exec();
}

void Torbena52::mn_measClick()
{
    GridMeas->exec();
}

void Torbena52::mn_nast_grafClick()
{
    // The measurement timer keeps running: points added meanwhile take the
    // pen colour and the bound of the record, which changes only on OK.
    rotace3D->check_3D->setChecked(chart.view_3d);
    rotace3D->pa_barva_mriz->SetColorValue(chart.grid_color);
    rotace3D->pa_barva_okraj->SetColorValue(chart.border_color);
    rotace3D->bar_3D->setValue(chart.depth_3d);
    rotace3D->ed_poc_mer->setText(QString::number(chart.points_kept));
    rotace3D->pa_barva_pera->SetColorValue(chart.pen_color);

    if (rotace3D->exec() != QDialog::Accepted) {
        // Undo the dialog's live changes from the unchanged record.
        Chart1->SetDepth3D(chart.depth_3d);
        Chart1->SetView3D(chart.view_3d);
        Chart1->SetBackWallColor(chart.grid_color);
        Chart1->SetSurfaceColor(chart.border_color);
        return;
    }
    chart.pen_color = rotace3D->pa_barva_pera->ColorValue();
    chart.border_color = Chart1->SurfaceColor();
    chart.grid_color = Chart1->BackWallColor();
    chart.depth_3d = Chart1->Depth3D();
    chart.view_3d = Chart1->View3D();
    // OK closes only on a whole number within range.
    std::int32_t points = 0;
    if (ParseInt32(rotace3D->ed_poc_mer->text().toStdString(), points))
        chart.points_kept = points;
}

void Torbena52::mn_samplingClick()
{
    file_sampling->exec();
    SetStatus(1, QStringLiteral("záznam: %1 s").arg(file_sampling->sampling_period));
}

void Torbena52::mn_saveClick()
{
    const QString chosen = save_dialog_ ? save_dialog_(this, save_file_name_) : RunSaveDialog(this, save_file_name_);
    if (chosen.isEmpty())
        return;
    save_file_name_ = QFileInfo(chosen).absoluteFilePath();
    file_chosen = true;
    GridMeas->ArmRecording();
    SetStatus(2, QDir::toNativeSeparators(save_file_name_));
}

void Torbena52::RecordingFileState(std::size_t waiting, std::size_t dropped)
{
    // While records wait for the recording file the file panel says so, in
    // red, until a write succeeds again; then it names the file as before.
    QString text = QDir::toNativeSeparators(save_file_name_);
    if (waiting > 0) {
        QString state = QStringLiteral("čeká na zápis: %1").arg(waiting);
        if (dropped > 0)
            state += QStringLiteral(", ztraceno: %1").arg(dropped);
        text = state + QStringLiteral(" | ") + text;
    }
    status_[2]->setStyleSheet(waiting > 0 ? QStringLiteral("color: #b00000; font-weight: bold;") : QString());
    SetStatus(2, text);
}

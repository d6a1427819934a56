// The main window's measurement cycle: the once-a-second reading, what a
// failed reading shows, the record step's turn, reading that resumes after
// an outage, and the zeroing of the instrument's sum.
#include "Hl_modul.h"
#include "ui_orbena52.h"

#include "DeviceTables.h"
#include "FixedFormatQt.h"
#include "LiveChart.h"
#include "MessageBoxes.h"
#include "ProgramWindows.h"
#include "Protokol_spol.h"
#include "SettingsStore.h"
#include "Unitport.h"
#include "Zaznam_mereni.h"

#include <QCheckBox>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace {

// Nobody answers a request to the broadcast address.
constexpr std::uint8_t kBroadcastAddress = 127;

} // namespace

void Torbena52::AddChartPoint(float value)
{
    int n = Chart1->Count();
    if (n > chart.points_kept)
        Chart1->DeleteFirst();
    n = Chart1->Count();
    const int rows = Chart1->LegendRowsShown();
    if (n > rows)
        Chart1->SetLegendFirst(n - rows);
    Chart1->AddPoint(ToDateTimeNumber(clock_()), static_cast<double>(value), chart.pen_color);
}

void Torbena52::cb_runClick()
{
    if (!file_chosen && ui->cb_run->isChecked())
        mn_saveClick();
    if (ui->cb_run->isChecked())
        Timer1->start();
    else
        Timer1->stop();
    if (!Timer1->isActive())
        SetStatus(0, QStringLiteral("STOP"));
}

void Torbena52::Timer1Timer()
{
    const auto second = static_cast<std::uint16_t>(clock_().time().second());
    if (second == last_second)
        return;
    last_second = second;
    if (!ui->cb_run->isChecked())
        return;
    tl_readClick();
    GridMeas->RecordTick(reading_taken_);
}

void Torbena52::tl_readClick()
{
    reading_taken_ = false;
    if (mn_obnova->isChecked()) {
        // Reading that resumes by itself: a port that cannot be opened (an
        // adapter pulled out) is an outage like a silent instrument. The
        // port choice stays, no box interrupts the night, and the next
        // second tries again.
        std::string error;
        if (!port->TryOpenPort(port->SelectedPort(), error)) {
            SetStatus(0, QStringLiteral("VÝPADEK"));
            status_[0]->setToolTip(QString::fromStdString(error));
            ReadingFailed();
            AddChartPoint(meas_value);
            return;
        }
    } else {
        port->OpenPortOrRaise(port->SelectedPort(), [this] {
            Timer1->stop();
            ui->cb_run->setChecked(false);
            SetStatus(0, QStringLiteral("ERROR"));
        });
    }
    if (read_table(0) == 1) {
        fail_count = 0;
        ui->pa_meas->setText(FormatFixedLocale(meas_value, 7, 3));
        ui->pa_suma->setText(FormatFixedLocale(sum_value, 10, 5));
        SetStatus(0, QStringLiteral("ČTENÍ"));
        status_[0]->setToolTip({});
        // To the broadcast address nobody answers: the values are the old
        // ones, not a reading.
        reading_taken_ = get_dest_address() != kBroadcastAddress;
        ShowFailures(0);
    } else {
        ReadingFailed();
    }
    AddChartPoint(meas_value);
    port->ClosePort();
}

void Torbena52::ReadingFailed()
{
    ++fail_count;
    if (fail_count > 3) {
        ui->pa_meas->setText(QStringLiteral("0"));
        ui->pa_suma->setText(QStringLiteral("0"));
        fail_count = 0;
    }
    ShowFailures(failed_in_row_ + 1);
}

void Torbena52::ShowFailures(int failed_in_row)
{
    failed_in_row_ = failed_in_row;
    status_[3]->setVisible(failed_in_row_ > 0);
    status_[3]->setText(failed_in_row_ > 0 ? QStringLiteral("bez odpovědi: %1").arg(failed_in_row_) : QString());
}

void Torbena52::RecordWaiting(bool waiting)
{
    record_waiting_ = waiting;
    ShowRecordingPanel();
}

void Torbena52::ShowRecordingPanel()
{
    QLabel* panel = status_[1];
    panel->setText(record_waiting_ ? recording_text_ + QStringLiteral(", čeká na čtení") : recording_text_);
    // The panel keeps its design width and grows only while its text needs
    // more.
    const int needed = panel->fontMetrics().horizontalAdvance(panel->text()) + 2 * panel->frameWidth() + 6;
    panel->setFixedWidth(std::max(kRecordingPanelWidth, needed));
}

void Torbena52::mn_obnovaClick()
{
    store_->StoreInt("PORT", "OBNOVA", mn_obnova->isChecked() ? 1 : 0);
}

void Torbena52::NulovnSUMY1Click()
{
    const int answer =
        ShowMessageBox(this, QMessageBox::Question, QStringLiteral("Dotaz"),
                       QStringLiteral("Vznikl požadavek na nulování SUMY.\nOpravdu chceš vynulovat SUMU?"),
                       QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    port->OpenPortOrRaise(port->SelectedPort());
    zero_sum();
    port->ClosePort();
}

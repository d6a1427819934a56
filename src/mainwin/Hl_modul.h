// Hl_modul: Torbena52, the main window (value panels, automatic reading, live chart, status bar, menu).
#pragma once
// The main window "ORBENA 52": value panels, automatic reading, live chart,
// status bar and the menu from which every dialog is reached.
#include "ChartSettings.h"
#include "Clock.h"
#include "RecordSource.h"

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QTimer;
class LiveChart;
class SettingsStore;
namespace Ui {
class orbena52;
}

class Torbena52 : public QMainWindow, public RecordSource {
    Q_OBJECT
public:
    // Builds the controls, opens the settings store (in `settings_folder`,
    // empty for the user's own), then runs FormCreate.
    explicit Torbena52(const std::string& settings_folder = {}, QWidget* parent = nullptr);
    ~Torbena52() override;

    SettingsStore& Settings() { return *store_; }

    // What the recording step and the dialogs read from the main window.
    QString MeasText() const override;
    QString SumText() const override;
    QString StatusText(int panel) const;
    bool FileChosen() const override { return file_chosen; }
    QString RecordingFileName() const override { return save_file_name_; }
    QDateTime Now() const override { return clock_(); }
    void RecordingFileState(std::size_t waiting, std::size_t dropped) override;
    void RecordWaiting(bool waiting) override;
    LiveChart* Chart() const { return Chart1; }
    QTimer* Timer() const { return Timer1; }

    // Test seams: the wall clock, and the file-save dialog (returns the chosen
    // path, or an empty text when cancelled).
    void SetClock(ClockFunction clock) { clock_ = std::move(clock); }
    using SaveDialogFunction = std::function<QString(QWidget* parent, const QString& start_name)>;
    void SetSaveDialog(SaveDialogFunction dialog) { save_dialog_ = std::move(dialog); }

    // Applies chart settings to the chart (start-up order: surface, plot
    // area, depth, 3D view).
    void ApplyChartSettings();
    void AddChartPoint(float value);

    // Defaults until read: a value that cannot be read keeps its default.
    ChartSettings chart = kDefaultChartSettings;
    std::uint16_t last_second = 0;
    std::int32_t fail_count = 0;
    bool file_chosen = false;
    // "Obnovit čtení po výpadku" (checkable, off unless the user turns it on).
    QAction* mn_obnova = nullptr;

public Q_SLOTS:
    void FormCreate();
    void mn_exitClick();
    void mn_portClick();
    void mn_aboutClick();
    void mn_identClick();
    void mn_menuClick();
    void tl_readClick();
    void NulovnSUMY1Click();
    void mn_zmena_adrClick();
    void cb_runClick();
    void mn_nast_grafClick();
    void Timer1Timer();
    void mn_measClick();
    void mn_saveClick();
    void mn_samplingClick();
    // "Obnovit čtení po výpadku": stored at once as "PORT" "OBNOVA".
    void mn_obnovaClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void FormClose();

private:
    template <class Dialog> void RunPortGuarded(Dialog* dialog);
    void SetStatus(int panel, const QString& text);
    void KeepOnScreen();
    // A reading that brought nothing: the value panels' count of failures,
    // and the failure panel.
    void ReadingFailed();
    void ShowFailures(int failed_in_row);
    void ShowRecordingPanel();

    // The recording panel's design width.
    static constexpr int kRecordingPanelWidth = 100;

    std::unique_ptr<Ui::orbena52> ui;
    std::unique_ptr<SettingsStore> store_;
    LiveChart* Chart1 = nullptr;
    QTimer* Timer1 = nullptr;
    // Panels 0..2 of the design, and 3: failed readings in a row.
    QLabel* status_[4] = {nullptr, nullptr, nullptr, nullptr};
    int failed_in_row_ = 0;
    // Whether the last cycle's reading brought the instrument's values.
    bool reading_taken_ = false;
    bool record_waiting_ = false;
    // The recording panel's text without the note of a waiting record.
    QString recording_text_;
    QString save_file_name_ = QStringLiteral("Orbena52.txt");
    ClockFunction clock_ = SystemNow;
    SaveDialogFunction save_dialog_;
    bool closing_ = false;
};

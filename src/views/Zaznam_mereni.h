// Zaznam_mereni: TGridMeas, the table of measured values and the recording step.
#pragma once
// "Naměřené hodnoty": the table of sampled readings (measured value, sum,
// date, time), and the recording step that fills it every `sampling_period`
// measurement cycles and appends the same record to the recording file.
#include "RecordFile.h"
#include "RecordSource.h"

#include <QDialog>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <functional>

class QAction;
class QDate;
class QMenu;
class QMenuBar;
class QShowEvent;
class QTableWidget;
class QTime;

// The record's date: the locale's short date format (order and separators)
// with the year always in four digits, so that no record is ambiguous.
QString RecordDateText(const QDate& date, const QLocale& locale = QLocale::system());
// A date format whose year (y, yy, yyyy outside quotes) is written in full.
QString DateFormatWithFullYear(const QString& format);
// The record's time: the locale's long time format without its time-zone part.
QString RecordTimeText(const QTime& time);
// A time format with the time-zone tokens (t, tt, ttt, tttt outside quotes)
// and the blanks that separated them removed.
QString TimeFormatWithoutZone(const QString& format);

class TGridMeas : public QDialog {
    Q_OBJECT
public:
    // Row 0 is the header row; rows 1..399 hold samples.
    static constexpr int kRowCount = 400;
    static constexpr int kColumnCount = 4;

    // The recording period in measurement cycles, as the recording settings
    // hold it at the moment of asking.
    using PeriodFunction = std::function<std::int32_t()>;

    // Records are made of what `source` (which outlives the window) supplies,
    // every `sampling_period`() cycles.
    TGridMeas(RecordSource& source, PeriodFunction sampling_period, QWidget* parent = nullptr);
    ~TGridMeas() override;

    // The text of a cell by column and row, row 0 being the header.
    QString Cell(int column, int row) const;

    // Fills the newest row with the main window's value and sum texts, the
    // date and the time; gives its index (1..399). When every row is taken,
    // the samples move up one row, the oldest is dropped and row 399 is used.
    int AddTableRow();
    // The next RecordTick makes a record (after a recording file is chosen).
    void ArmRecording();
    // One recording step per measurement cycle. `reading_taken` tells whether
    // the cycle's reading brought values from the instrument. A record that
    // falls due after a failed reading waits for the next reading that
    // succeeds and is made then, with that reading's values and time; the
    // period goes on counting meanwhile, and one reading makes at most one
    // record.
    void RecordTick(bool reading_taken = true);
    bool RecordWaiting() const { return record_waiting_; }
    // Appends the record in `row` to the recording file as one line, after
    // any records still waiting for the file. The first failure of a run
    // shows the "CHYBA" box; the main window's file panel tells of the
    // waiting records until a write succeeds again.
    void AppendRecord(int row);
    std::size_t RecordsWaiting() const { return file_.Waiting(); }

    QMenuBar* MainMenu1 = nullptr;
    QMenu* Soubor1 = nullptr;
    QAction* Konec1 = nullptr;
    QTableWidget* Grid = nullptr;

    std::int32_t next_row = 1;
    std::int32_t record_counter = 0;

public Q_SLOTS:
    void Konec1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetCell(int column, int row, const QString& text);
    void SetRecordWaiting(bool waiting);
    RecordSource& source_;
    PeriodFunction sampling_period_;
    RecordFile file_;
    bool file_failing_ = false;
    bool record_waiting_ = false;
    bool sized_ = false;
};

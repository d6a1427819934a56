// Zaznam_mereni: TGridMeas, the table of measured values and the recording step.
#include "Zaznam_mereni.h"

#include "ErrorBoundary.h"
#include "MessageBoxes.h"
#include "TableCopy.h"

#include <QAction>
#include <QDate>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QShowEvent>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

#include <limits>

namespace {

constexpr int kLeft = 247;
constexpr int kTop = 131;
constexpr int kOuterWidth = 371;
constexpr int kOuterHeight = 480;
constexpr int kColumnWidth = 80;
constexpr int kRowHeight = 24;

} // namespace

QString TimeFormatWithoutZone(const QString& format)
{
    QString result;
    bool quoted = false;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar ch = format[i];
        if (ch == u'\'') {
            quoted = !quoted;
            result += ch;
            ++i;
        } else if (!quoted && ch == u't') {
            while (i < format.size() && format[i] == u't')
                ++i;
            while (i < format.size() && format[i].isSpace())
                ++i;
            if (i == format.size()) {
                while (!result.isEmpty() && result.back().isSpace())
                    result.chop(1);
            }
        } else {
            result += ch;
            ++i;
        }
    }
    return result;
}

QString DateFormatWithFullYear(const QString& format)
{
    QString result;
    bool quoted = false;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar ch = format[i];
        if (ch == u'\'') {
            quoted = !quoted;
        } else if (!quoted && ch == u'y') {
            while (i < format.size() && format[i] == u'y')
                ++i;
            result += QStringLiteral("yyyy");
            continue;
        }
        result += ch;
        ++i;
    }
    return result;
}

QString RecordDateText(const QDate& date, const QLocale& locale)
{
    return locale.toString(date, DateFormatWithFullYear(locale.dateFormat(QLocale::ShortFormat)));
}

QString RecordTimeText(const QTime& time)
{
    const QLocale locale = QLocale::system();
    return locale.toString(time, TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

TGridMeas::TGridMeas(RecordSource& source, PeriodFunction sampling_period, QWidget* parent)
    : QDialog(parent), source_(source), sampling_period_(std::move(sampling_period))
{
    setObjectName(QStringLiteral("GridMeas"));
    setWindowTitle(QStringLiteral("Naměřené hodnoty"));
    setSizeGripEnabled(true);

    MainMenu1 = new QMenuBar(this);
    Soubor1 = MainMenu1->addMenu(QStringLiteral("&Soubor"));
    Konec1 = Soubor1->addAction(QStringLiteral("&Konec"));
    Konec1->setObjectName(QStringLiteral("Konec1"));
    connect(Konec1, &QAction::triggered, this, Guarded(this, &TGridMeas::Konec1Click));

    // Row 0 is the header row: the grid's horizontal header, so it stays in
    // view while the samples scroll. Table row i - 1 holds sample row i.
    Grid = new QTableWidget(kRowCount - 1, kColumnCount, this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setHorizontalHeaderLabels(
        {QStringLiteral("Naměřená"), QStringLiteral("SUMA"), QStringLiteral("datum"), QStringLiteral("čas")});
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
    Grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    Grid->horizontalHeader()->setFixedHeight(kRowHeight);
    Grid->horizontalHeader()->setSectionsClickable(false);
    Grid->horizontalHeader()->setHighlightSections(false);
    Grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    for (int row = 0; row < kRowCount - 1; ++row)
        for (int column = 0; column < kColumnCount; ++column) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            Grid->setItem(row, column, item);
        }
    // Ctrl+C and the context menu copy the selected readings as text.
    AddCopyAction(Grid);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(MainMenu1);
    layout->addWidget(Grid);

    resize(kOuterWidth, kOuterHeight);
    move(kLeft, kTop);
}

TGridMeas::~TGridMeas() = default;

void TGridMeas::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The window's size is given with its frame; once the frame is known,
    // take it off the client size.
    if (!sized_) {
        sized_ = true;
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.width() > 0 || frame.height() > 0)
            resize(kOuterWidth - frame.width(), kOuterHeight - frame.height());
    }
}

QString TGridMeas::Cell(int column, int row) const
{
    if (column < 0 || column >= kColumnCount || row < 0 || row >= kRowCount)
        return {};
    if (row == 0)
        return Grid->horizontalHeaderItem(column)->text();
    return Grid->item(row - 1, column)->text();
}

void TGridMeas::SetCell(int column, int row, const QString& text)
{
    Grid->item(row - 1, column)->setText(text);
}

int TGridMeas::AddTableRow()
{
    int row = 0;
    if (next_row <= kRowCount - 1) {
        row = next_row;
        ++next_row;
    } else {
        for (int i = 1; i <= kRowCount - 2; ++i)
            for (int column = 0; column < kColumnCount; ++column)
                SetCell(column, i, Cell(column, i + 1));
        row = kRowCount - 1;
    }
    SetCell(0, row, source_.MeasText());
    SetCell(1, row, source_.SumText());
    const QDateTime now = source_.Now();
    SetCell(2, row, RecordDateText(now.date()));
    SetCell(3, row, RecordTimeText(now.time()));
    return row;
}

void TGridMeas::ArmRecording()
{
    record_counter = sampling_period_();
}

void TGridMeas::RecordTick(bool reading_taken)
{
    // Saturates rather than overflowing: after arming with the largest period
    // the next cycle must still record.
    if (record_counter < std::numeric_limits<std::int32_t>::max())
        ++record_counter;
    bool due = record_waiting_;
    if (record_counter >= sampling_period_()) {
        record_counter = 0;
        due = true;
    }
    if (!due)
        return;
    // The panels show old values or "0" after a failed reading: such a record
    // would carry a value the instrument never sent at that time.
    if (!reading_taken) {
        SetRecordWaiting(true);
        return;
    }
    SetRecordWaiting(false);
    const int row = AddTableRow();
    if (source_.FileChosen())
        AppendRecord(row);
}

void TGridMeas::SetRecordWaiting(bool waiting)
{
    if (waiting == record_waiting_)
        return;
    record_waiting_ = waiting;
    source_.RecordWaiting(waiting);
}

void TGridMeas::AppendRecord(int row)
{
    QString text;
    for (int column = 0; column < kColumnCount; ++column)
        text += Cell(column, row) + QStringLiteral("; ");
    // CR LF on every platform.
    const RecordFile::Result result =
        file_.Append(source_.RecordingFileName(), text.toLocal8Bit() + QByteArrayLiteral("\r\n"));
    if (result == RecordFile::Result::Written) {
        if (file_failing_) {
            file_failing_ = false;
            source_.RecordingFileState(0, file_.Dropped());
        }
        return;
    }
    source_.RecordingFileState(file_.Waiting(), file_.Dropped());
    // One box per run of failures: the measurement timer keeps running while
    // it is open, and the cycles inside its message loop only add to the
    // waiting records. The state is settled before the box opens.
    if (file_failing_)
        return;
    file_failing_ = true;
    ShowMessageBox(nullptr, QMessageBox::Warning, QStringLiteral("CHYBA"),
                   result == RecordFile::Result::OpenFailed ? QStringLiteral("Nemůže otevřít výstupní soubor")
                                                            : QStringLiteral("Nemůže zapsat do výstupního souboru"));
}

void TGridMeas::Konec1Click()
{
    accept();
}

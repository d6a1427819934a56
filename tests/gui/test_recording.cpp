// The table of measured values and the recording step: rows and their
// scrolling, period counting, and the recording file's bytes and failures.
#include "Hl_modul.h"
#include "MessageBoxes.h"
#include "ProgramWindows.h"
#include "SerialBackend.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

struct Warning {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

const QString kOpenFailed = QStringLiteral("Nemůže otevřít výstupní soubor");
const QString kWriteFailed = QStringLiteral("Nemůže zapsat do výstupního souboru");

class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        CreateProgramWindows(dir_.filePath(QStringLiteral("settings")).toStdString());
        ASSERT_NE(orbena52, nullptr);
        ASSERT_NE(GridMeas, nullptr);
        ASSERT_NE(file_sampling, nullptr);
        orbena52->SetClock([this] { return now_; });
        SetMessageBoxHook([this](const MessageBoxRequest& box) {
            warnings_.push_back({box.text, box.caption, box.icon});
            return int{QMessageBox::Ok};
        });
        SetPanels(QStringLiteral("12,500"), QStringLiteral("0,00000"));
    }

    void TearDown() override
    {
        DestroyProgramWindows();
        SetMessageBoxHook({});
    }

    // The value panels' captions, as the measurement cycle would set them.
    void SetPanels(const QString& meas, const QString& sum)
    {
        for (const auto& [name, text] : {std::pair{"pa_meas", meas}, std::pair{"pa_suma", sum}}) {
            QObject* panel = orbena52->findChild<QObject*>(QString::fromLatin1(name));
            ASSERT_NE(panel, nullptr) << name;
            panel->setProperty("text", text);
        }
        ASSERT_EQ(orbena52->MeasText(), meas);
        ASSERT_EQ(orbena52->SumText(), sum);
    }

    // Chooses the recording file as the user would in the file-save dialog.
    void ChooseFile(const QString& path)
    {
        orbena52->SetSaveDialog([path](QWidget*, const QString&) { return path; });
        orbena52->mn_saveClick();
        ASSERT_TRUE(orbena52->file_chosen);
        ASSERT_EQ(QDir::cleanPath(orbena52->RecordingFileName()), QDir::cleanPath(path));
    }

    QByteArray ExpectedLine(const QString& meas, const QString& sum) const
    {
        return (meas + "; " + sum + "; " + RecordDateText(now_.date()) + "; " + RecordTimeText(now_.time()) + "; ")
                   .toLocal8Bit() +
               "\r\n";
    }

    static QByteArray ReadAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    int Rows() const { return GridMeas->next_row - 1; }

    QTemporaryDir dir_;
    QDateTime now_{QDate(2026, 12, 7), QTime(9, 5, 3)};
    std::vector<Warning> warnings_;
};

TEST_F(RecordingTest, TableStartsWithHeaderRowAndFillsRowOne)
{
    EXPECT_EQ(GridMeas->windowTitle(), QStringLiteral("Naměřené hodnoty"));
    EXPECT_EQ(GridMeas->Cell(0, 0), QStringLiteral("Naměřená"));
    EXPECT_EQ(GridMeas->Cell(1, 0), QStringLiteral("SUMA"));
    EXPECT_EQ(GridMeas->Cell(2, 0), QStringLiteral("datum"));
    EXPECT_EQ(GridMeas->Cell(3, 0), QStringLiteral("čas"));
    EXPECT_EQ(GridMeas->next_row, 1);
    EXPECT_EQ(GridMeas->record_counter, 0);

    EXPECT_EQ(GridMeas->AddTableRow(), 1);
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("12,500")); // copied exactly, decimal comma kept
    EXPECT_EQ(GridMeas->Cell(1, 1), QStringLiteral("0,00000"));
    EXPECT_EQ(GridMeas->Cell(2, 1), RecordDateText(QDate(2026, 12, 7)));
    EXPECT_EQ(GridMeas->Cell(3, 1), RecordTimeText(QTime(9, 5, 3)));
    EXPECT_EQ(GridMeas->next_row, 2);
}

TEST_F(RecordingTest, FullTableMovesSamplesUpAndKeepsUsingLastRow)
{
    for (int sample = 1; sample <= 399; ++sample) {
        SetPanels(QString::number(sample), QStringLiteral("s%1").arg(sample));
        ASSERT_EQ(GridMeas->AddTableRow(), sample);
    }
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("1"));
    EXPECT_EQ(GridMeas->Cell(0, 399), QStringLiteral("399"));
    EXPECT_EQ(GridMeas->next_row, 400);

    SetPanels(QStringLiteral("400"), QStringLiteral("s400"));
    EXPECT_EQ(GridMeas->AddTableRow(), 399);
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("2"));
    EXPECT_EQ(GridMeas->Cell(1, 1), QStringLiteral("s2"));
    EXPECT_EQ(GridMeas->Cell(0, 398), QStringLiteral("399"));
    EXPECT_EQ(GridMeas->Cell(1, 398), QStringLiteral("s399"));
    EXPECT_EQ(GridMeas->Cell(0, 399), QStringLiteral("400"));
    EXPECT_EQ(GridMeas->next_row, 400);

    SetPanels(QStringLiteral("401"), QStringLiteral("s401"));
    EXPECT_EQ(GridMeas->AddTableRow(), 399);
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("3"));
    EXPECT_EQ(GridMeas->Cell(0, 399), QStringLiteral("401"));
    EXPECT_EQ(GridMeas->Cell(0, 0), QStringLiteral("Naměřená")); // the header never moves
}

TEST_F(RecordingTest, RecordsEveryPeriodOfCycles)
{
    file_sampling->sampling_period = 1;
    for (int i = 0; i < 3; ++i)
        GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 3);

    file_sampling->sampling_period = 3;
    GridMeas->RecordTick();
    GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 3);
    GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 4);

    // A new period counts from the cycles already counted.
    file_sampling->sampling_period = 5;
    for (int i = 0; i < 3; ++i)
        GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 4);
    file_sampling->sampling_period = 2;
    GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 5);

    // A stored period of 0 or below records every cycle.
    for (const std::int32_t period : {0, -5}) {
        file_sampling->sampling_period = period;
        const int before = Rows();
        GridMeas->RecordTick();
        GridMeas->RecordTick();
        EXPECT_EQ(Rows(), before + 2) << period;
    }
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(RecordingTest, ChoosingFileArmsTheNextCycleThenEveryPeriod)
{
    file_sampling->sampling_period = 60;
    for (int i = 0; i < 10; ++i)
        GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 0);

    const QString path = dir_.filePath(QStringLiteral("Orbena52.txt"));
    ChooseFile(path);
    EXPECT_FALSE(QFile::exists(path)); // nothing is written until a record is made

    GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(ReadAll(path), ExpectedLine(QStringLiteral("12,500"), QStringLiteral("0,00000")));

    SetPanels(QStringLiteral("13,000"), QStringLiteral("1,00000"));
    for (int i = 0; i < 59; ++i)
        GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 1);
    GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(ReadAll(path), ExpectedLine(QStringLiteral("12,500"), QStringLiteral("0,00000")) +
                                 ExpectedLine(QStringLiteral("13,000"), QStringLiteral("1,00000")));
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(RecordingTest, ArmingWithTheLargestPeriodStillRecordsNextCycle)
{
    file_sampling->sampling_period = std::numeric_limits<std::int32_t>::max();
    GridMeas->ArmRecording();
    GridMeas->RecordTick();
    EXPECT_EQ(Rows(), 1);
    EXPECT_EQ(GridMeas->record_counter, 0);
}

TEST_F(RecordingTest, AppendsToExistingFileAndRecreatesDeletedOne)
{
    const QString path = dir_.filePath(QStringLiteral("existing.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old line; \r\n");
    }
    file_sampling->sampling_period = 1;
    ChooseFile(path);
    GridMeas->RecordTick();
    const QByteArray line = ExpectedLine(QStringLiteral("12,500"), QStringLiteral("0,00000"));
    EXPECT_EQ(ReadAll(path), "old line; \r\n" + line);

    ASSERT_TRUE(QFile::remove(path));
    SetPanels(QStringLiteral("7,000"), QStringLiteral("2,00000"));
    GridMeas->RecordTick();
    EXPECT_EQ(ReadAll(path), ExpectedLine(QStringLiteral("7,000"), QStringLiteral("2,00000")));
    EXPECT_TRUE(warnings_.empty());
}

TEST_F(RecordingTest, FileThatCannotBeOpenedIsReportedAndRetriedNextRecord)
{
    const QString folder = dir_.filePath(QStringLiteral("later"));
    const QString path = folder + QStringLiteral("/records.txt");
    file_sampling->sampling_period = 1;
    ChooseFile(path);

    GridMeas->RecordTick();
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0].text, kOpenFailed);
    EXPECT_EQ(warnings_[0].caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(warnings_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(Rows(), 1); // the record stays in the table
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("12,500"));

    ASSERT_TRUE(QDir().mkpath(folder));
    SetPanels(QStringLiteral("8,000"), QStringLiteral("3,00000"));
    GridMeas->RecordTick();
    EXPECT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(Rows(), 2);
    // The record that could not be written goes first, so none is missing.
    EXPECT_EQ(ReadAll(path), ExpectedLine(QStringLiteral("12,500"), QStringLiteral("0,00000")) +
                                 ExpectedLine(QStringLiteral("8,000"), QStringLiteral("3,00000")));
}

#ifndef _WIN32
// A device that refuses every write: /dev/full, which Linux has and Windows not.
TEST_F(RecordingTest, FailedWriteIsReportedAndRecordKept)
{
    file_sampling->sampling_period = 1;
    ChooseFile(QStringLiteral("/dev/full"));

    GridMeas->RecordTick();
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(warnings_[0].text, kWriteFailed);
    EXPECT_EQ(warnings_[0].caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(warnings_[0].icon, QMessageBox::Warning);
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("12,500"));

    GridMeas->RecordTick(); // the next record tries again, without a second box
    EXPECT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(Rows(), 2);
    EXPECT_EQ(GridMeas->RecordsWaiting(), 2u);
}
#endif

TEST_F(RecordingTest, KonecClosesTableWithOkAndRowsSurvive)
{
    GridMeas->AddTableRow();
    GridMeas->show();
    ASSERT_TRUE(GridMeas->isVisible());
    GridMeas->Konec1->trigger();
    EXPECT_FALSE(GridMeas->isVisible());
    EXPECT_EQ(GridMeas->result(), QDialog::Accepted);
    GridMeas->AddTableRow();
    GridMeas->show();
    EXPECT_EQ(GridMeas->Cell(0, 1), QStringLiteral("12,500"));
    EXPECT_EQ(GridMeas->Cell(0, 2), QStringLiteral("12,500"));
    GridMeas->hide();
}

TEST_F(RecordingTest, TheFileDialogShowsItsFilterAsTextAndRecordsIntoTheChosenFile)
{
    QStringList filters;
    QTimer::singleShot(0, [&] {
        QFileDialog* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d != nullptr && d->isVisible())
                dialog = d;
        ASSERT_NE(dialog, nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        if (types != nullptr)
            for (int i = 0; i < types->count(); ++i)
                filters << types->itemText(i);
        dialog->setDirectory(dir_.path());
        dialog->selectFile(QStringLiteral("zaznam.txt"));
        QMetaObject::invokeMethod(dialog, &QDialog::accept);
    });
    orbena52->mn_saveClick();
    EXPECT_EQ(filters, QStringList{QStringLiteral("Textový soubor [*.txt]")});
    EXPECT_TRUE(orbena52->FileChosen());
    EXPECT_EQ(orbena52->RecordingFileName(), QDir(dir_.path()).absoluteFilePath(QStringLiteral("zaznam.txt")));
}

TEST(RecordDate, KeepsTheLocalesOrderAndSeparatorsWithAFourDigitYear)
{
    const struct {
        QLocale locale;
        const char* text;
    } locales[] = {
        {QLocale(QLocale::Czech, QLocale::Czechia), "07.12.2026"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "12/7/2026"},
        {QLocale(QLocale::German, QLocale::Germany), "07.12.2026"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), "2026-12-07"},
    };
    for (const auto& l : locales)
        EXPECT_EQ(RecordDateText(QDate(2026, 12, 7), l.locale), QLatin1String(l.text)) << l.locale.name().toStdString();
    EXPECT_EQ(RecordDateText(QDate(1999, 1, 2), QLocale(QLocale::Czech, QLocale::Czechia)),
              QStringLiteral("02.01.1999"));

    const struct {
        const char* format;
        const char* full;
    } formats[] = {
        {"dd.MM.yy", "dd.MM.yyyy"},           {"M/d/yy", "M/d/yyyy"},
        {"d. M. yyyy", "d. M. yyyy"},         {"y-MM-dd", "yyyy-MM-dd"},
        {"dd 'yy' MM yy", "dd 'yy' MM yyyy"}, {"dd.MM.", "dd.MM."},
    };
    for (const auto& f : formats)
        EXPECT_EQ(DateFormatWithFullYear(QLatin1String(f.format)), QLatin1String(f.full)) << f.format;
}

TEST(RecordTimeFormat, ZonePartIsRemoved)
{
    EXPECT_EQ(TimeFormatWithoutZone(QStringLiteral("HH:mm:ss t")), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(TimeFormatWithoutZone(QStringLiteral("h:mm:ss AP t")), QStringLiteral("h:mm:ss AP"));
    EXPECT_EQ(TimeFormatWithoutZone(QStringLiteral("t HH:mm:ss")), QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(TimeFormatWithoutZone(QStringLiteral("HH:mm:ss t 'Uhr'")), QStringLiteral("HH:mm:ss 'Uhr'"));
    EXPECT_EQ(TimeFormatWithoutZone(QStringLiteral("H 'time' mm")), QStringLiteral("H 'time' mm"));

    // The record's time has seconds and reads back with the locale's format.
    const QLocale locale = QLocale::system();
    const QString text = RecordTimeText(QTime(9, 5, 3));
    EXPECT_EQ(locale.toTime(text, TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat))), QTime(9, 5, 3));
    const QString zone = QDateTime(QDate(2026, 12, 7), QTime(9, 5, 3)).timeZoneAbbreviation();
    if (!zone.isEmpty()) {
        EXPECT_FALSE(text.contains(zone)) << text.toStdString();
    }
}

} // namespace

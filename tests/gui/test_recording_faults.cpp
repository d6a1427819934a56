// What a night of recording meets: a file system made read-only, a full disk,
// a folder that goes away and comes back, a file renamed by a log rotator.
// Every record ends up in the file as one whole line, in order; the box is
// shown once per run of failures and the file panel tells of the waiting
// records until a write succeeds.
#ifndef _WIN32
// The faults are made with a tmpfs of their own, a Linux mount.
#include "Hl_modul.h"
#include "MessageBoxes.h"
#include "ProgramWindows.h"
#include "RecordFile.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <vector>

namespace {

const QString kOpenFailed = QStringLiteral("Nemůže otevřít výstupní soubor");
const QString kWriteFailed = QStringLiteral("Nemůže zapsat do výstupního souboru");

// A small tmpfs of its own (needs root); unmounted when the test ends.
class Tmpfs {
public:
    bool Mount(const QString& where, const char* size)
    {
        path_ = where.toStdString();
        const std::string options = std::string("size=") + size + ",mode=0777";
        mounted_ = QDir().mkpath(where) && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
        return mounted_;
    }
    bool SetReadOnly(bool read_only)
    {
        const unsigned long flags = MS_REMOUNT | (read_only ? MS_RDONLY : 0);
        return ::mount("tmpfs", path_.c_str(), "tmpfs", flags, nullptr) == 0;
    }
    ~Tmpfs()
    {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
    }

private:
    std::string path_;
    bool mounted_ = false;
};

class RecordingFaultTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::vector<QString> boxes;
    QDateTime now{QDate(2026, 12, 7), QTime(23, 59, 0)};
    int record = 0;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        CreateProgramWindows(dir.filePath(QStringLiteral("settings")).toStdString());
        orbena52->SetClock([this] { return now; });
        SetMessageBoxHook([this](const MessageBoxRequest& box) {
            boxes.push_back(box.text);
            return int{QMessageBox::Ok};
        });
        file_sampling->sampling_period = 1;
    }
    void TearDown() override
    {
        DestroyProgramWindows();
        SetMessageBoxHook({});
    }

    void Choose(const QString& path)
    {
        orbena52->SetSaveDialog([path](QWidget*, const QString&) { return path; });
        orbena52->mn_saveClick();
    }
    // One cycle's record, its measured value numbering the record.
    QByteArray Record()
    {
        ++record;
        now = now.addSecs(1);
        orbena52->findChild<QObject*>(QStringLiteral("pa_meas"))->setProperty("text", QString::number(record));
        GridMeas->RecordTick();
        return (QString::number(record) + "; " + orbena52->SumText() + "; " + RecordDateText(now.date()) + "; " +
                RecordTimeText(now.time()) + "; ")
                   .toLocal8Bit() +
               "\r\n";
    }
    static QByteArray ReadAll(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct FileFault {
    const char* name;
    const char* expected_box; // nullptr: the fault does not stop the writes
    // Sets up the folder (false: cannot be done here, the case is skipped),
    // breaks the file, mends it. `folder` is where the recording file lives.
    std::function<bool(Tmpfs&, const QString& folder)> prepare;
    std::function<void(Tmpfs&, const QString& folder)> do_break;
    std::function<void(Tmpfs&, const QString& folder)> mend;
};

const QString kFile = QStringLiteral("Orbena52.txt");

const FileFault kFileFaults[] = {
    {"read-only file system", "open", [](Tmpfs& fs, const QString& folder) { return fs.Mount(folder, "64k"); },
     [](Tmpfs& fs, const QString&) { ASSERT_TRUE(fs.SetReadOnly(true)); },
     [](Tmpfs& fs, const QString&) { ASSERT_TRUE(fs.SetReadOnly(false)); }},
    {"full disk", "write", [](Tmpfs& fs, const QString& folder) { return fs.Mount(folder, "64k"); },
     [](Tmpfs&, const QString& folder) {
         // The recording file ends a few bytes before its last page is full
         // and a filler takes the rest of the disk: the next line can start
         // but not finish.
         QFile f(folder + "/" + kFile);
         ASSERT_TRUE(f.open(QIODevice::Append));
         qint64 pad = 4096 - f.size() % 4096 - 6;
         if (pad < 2)
             pad += 4096;
         f.write(QByteArray(pad - 2, 'x') + "\r\n");
         f.close();
         QFile filler(folder + "/filler");
         ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
         while (filler.write(QByteArray(512, '\0')) == 512) {
         }
     },
     [](Tmpfs&, const QString& folder) { ASSERT_TRUE(QFile::remove(folder + "/filler")); }},
    {"folder gone and back", "open", [](Tmpfs&, const QString& folder) { return QDir().mkpath(folder); },
     [](Tmpfs&, const QString& folder) { ASSERT_TRUE(QDir().rename(folder, folder + ".away")); },
     [](Tmpfs&, const QString& folder) { ASSERT_TRUE(QDir().rename(folder + ".away", folder)); }},
    {"file deleted", nullptr, [](Tmpfs&, const QString& folder) { return QDir().mkpath(folder); },
     [](Tmpfs&, const QString& folder) { ASSERT_TRUE(QFile::remove(folder + "/" + kFile)); },
     [](Tmpfs&, const QString&) {}},
};

TEST_F(RecordingFaultTest, EveryRecordReachesTheFileAsAWholeLineInOrder)
{
    for (const FileFault& fault : kFileFaults) {
        SCOPED_TRACE(fault.name);
        const QString folder = dir.filePath(QString::fromLatin1(fault.name).replace(' ', '_'));
        Tmpfs fs;
        if (!fault.prepare(fs, folder)) {
            std::printf("[ SKIPPED  ] %s: needs a tmpfs (root)\n", fault.name);
            continue;
        }
        const QString path = folder + "/" + kFile;
        Choose(path);
        boxes.clear();
        QByteArray expected = Record();
        expected += Record();
        ASSERT_EQ(ReadAll(path), expected);

        fault.do_break(fs, folder);
        // What the fault left in place: the full disk's padding, nothing for a
        // deleted file; a folder that went away takes its file along and
        // brings it back.
        if (QFile::exists(path) || fault.name == std::string("file deleted"))
            expected = ReadAll(path);
        const qint64 size_when_broken = QFileInfo(path).size();
        for (int i = 0; i < 3; ++i)
            expected += Record();
        if (fault.expected_box != nullptr) {
            ASSERT_EQ(boxes.size(), 1u) << "one box for the whole run of failures";
            EXPECT_EQ(boxes[0], fault.expected_box == std::string("open") ? kOpenFailed : kWriteFailed);
            EXPECT_EQ(GridMeas->RecordsWaiting(), 3u);
            EXPECT_TRUE(orbena52->StatusText(2).startsWith(QStringLiteral("čeká na zápis: 3 | ")))
                << orbena52->StatusText(2).toStdString();
            // A failed append leaves no torn line behind.
            EXPECT_EQ(QFileInfo(path).size(), size_when_broken);
        } else {
            EXPECT_TRUE(boxes.empty());
        }

        fault.mend(fs, folder);
        expected += Record();
        EXPECT_EQ(ReadAll(path), expected);
        EXPECT_EQ(GridMeas->RecordsWaiting(), 0u);
        EXPECT_EQ(orbena52->StatusText(2), QDir::toNativeSeparators(path));

        // A later failure is a new run with a box of its own.
        const std::size_t before = boxes.size();
        if (fault.expected_box != nullptr) {
            fault.do_break(fs, folder);
            Record();
            EXPECT_EQ(boxes.size(), before + 1);
            fault.mend(fs, folder);
            Record();
            EXPECT_EQ(GridMeas->RecordsWaiting(), 0u);
        }
    }
}

TEST_F(RecordingFaultTest, RenamedFileKeepsItsLinesAndANewFileTakesTheRest)
{
    const QString path = dir.filePath(kFile);
    Choose(path);
    QByteArray first = Record();
    first += Record();
    ASSERT_TRUE(QFile::rename(path, path + ".1"));
    const QByteArray rest = Record();
    EXPECT_EQ(ReadAll(path + ".1"), first);
    EXPECT_EQ(ReadAll(path), rest);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RecordingFaultTest, CyclesInsideTheOpenBoxAddNoFurtherBox)
{
    const QString path = dir.filePath(QStringLiteral("missing/") + kFile);
    Choose(path);
    // The box's message loop runs the next seconds' cycles.
    SetMessageBoxHook([this](const MessageBoxRequest& box) {
        boxes.push_back(box.text);
        if (boxes.size() == 1)
            for (int i = 0; i < 5; ++i)
                Record();
        return int{QMessageBox::Ok};
    });
    Record();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(GridMeas->RecordsWaiting(), 6u);
    EXPECT_EQ(GridMeas->next_row - 1, 6) << "every record is in the table";
}

TEST(RecordFileBound, KeepsTheNewestDayOfRecordsInOrderAndCountsWhatWasDropped)
{
    QTemporaryDir dir;
    RecordFile file;
    const QString nowhere = dir.filePath(QStringLiteral("missing/records.txt"));
    const std::size_t total = RecordFile::kMaxWaiting + 3;
    ASSERT_GE(RecordFile::kMaxWaiting, 86400u) << "a day at one record a second";
    for (std::size_t i = 1; i <= total; ++i)
        ASSERT_EQ(file.Append(nowhere, QByteArray::number(static_cast<qulonglong>(i)) + "\r\n"),
                  RecordFile::Result::OpenFailed);
    EXPECT_EQ(file.Waiting(), RecordFile::kMaxWaiting);
    EXPECT_EQ(file.Dropped(), 3u);

    const QString path = dir.filePath(QStringLiteral("records.txt"));
    ASSERT_EQ(file.Append(path, "last\r\n"), RecordFile::Result::Written);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    ASSERT_EQ(lines.size(), static_cast<qsizetype>(RecordFile::kMaxWaiting + 1)); // and the empty tail
    EXPECT_EQ(lines.front(), "5\r") << "the oldest were dropped (the 'last' line too took a place)";
    EXPECT_EQ(lines[lines.size() - 2], "last\r");
    for (qsizetype i = 1; i + 2 < lines.size(); ++i)
        ASSERT_EQ(lines[i].chopped(1).toULongLong(), lines[i - 1].chopped(1).toULongLong() + 1) << i;
}

} // namespace
#endif

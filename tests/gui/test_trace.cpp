// The wire trace of the running program, switched on by KX52_TRACE.
#include "FakeSerial.h"
#include "ProgramFixture.h"

#include "DeviceTables.h"
#include "Hl_modul.h"

#include <QCheckBox>
#include <QDir>
#include <QRegularExpression>

namespace {

class TraceTest : public ProgramFixture {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    QDateTime now{QDate(2026, 12, 7), QTime(9, 5, 1)};

    void TearDown() override
    {
        ProgramFixture::TearDown();
        qunsetenv("KX52_TRACE");
    }
    void StartWithLine()
    {
        reset_table_variables();
        CreateProgramWindows(Folder(), std::make_unique<FakeSerial>(line));
        orbena52->SetClock([this] { return now; });
        orbena52->SetSaveDialog([](QWidget*, const QString&) { return QString(); });
        orbena52->findChild<QCheckBox*>(QStringLiteral("cb_run"))->setChecked(true);
    }
    void NextCycle()
    {
        now = now.addSecs(1);
        orbena52->Timer1Timer();
    }
    QStringList FilesInFolder() const { return QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot); }
};

TEST_F(TraceTest, EveryFrameOfAGoodAndAFailedReadingGoesToTheTraceFile)
{
    const QString trace = dir.filePath(QStringLiteral("kx52.trace"));
    qputenv("KX52_TRACE", trace.toLocal8Bit());
    StartWithLine();
    line->meas = 12.5f;
    NextCycle();
    line->answering = false;
    NextCycle();
    DestroyProgramWindows();

    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines;
    for (const QByteArray& l : file.readAll().split('\n'))
        lines << QString::fromUtf8(l.mid(24)).remove(u'\r'); // without the time stamp and CR
    const QString read0 = QStringLiteral("TX 68 05 05 68 00 00 6C 01 00 6D 16");
    EXPECT_EQ(lines.value(0), QStringLiteral("-- KX-52 " KX52_VERSION ", wire trace started"));
    EXPECT_EQ(lines.count(read0), 2) << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^RX 68 0B 0B 68 00 00 08 00 00 48 41 .* 16$"))).size(), 1)
        << lines.join(u'\n').toStdString();
    EXPECT_EQ(lines.count(QStringLiteral("RX nothing received  (0 of 17 bytes)")), 1);
    EXPECT_EQ(lines.count(QStringLiteral("-- close")), 2) << "one opening per reading";
}

TEST_F(TraceTest, WithoutTheVariableNothingIsWritten)
{
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
        if (value != nullptr)
            qputenv("KX52_TRACE", value);
        const QString cwd = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
        const QStringList before = FilesInFolder();
        StartWithLine();
        NextCycle();
        DestroyProgramWindows();
        const QStringList after = FilesInFolder();
        QDir::setCurrent(cwd);
        EXPECT_EQ(line->written.size(), value == nullptr ? 1u : 2u) << "the reading went out";
        // The settings file is the only newcomer (Windows keeps the settings
        // in the registry and writes none).
        QStringList added = after;
        for (const QString& name : before)
            added.removeOne(name);
        added.removeOne(QStringLiteral("OrbKX52.ini"));
        EXPECT_EQ(added, QStringList{}) << (value ? "empty" : "unset");
        QFile::remove(dir.filePath(QStringLiteral("OrbKX52.ini")));
    }
}

} // namespace

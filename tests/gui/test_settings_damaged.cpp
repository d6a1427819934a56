// Settings files as users leave them after editing by hand, and stores that
// cannot be written. Whatever could be read is read and kept; a damaged file
// is rewritten whole in plain form; a store that cannot be written says so,
// naming what was not saved.
#ifndef _WIN32
// They read and write the INI file of the settings store, which Windows does
// not use (it keeps the registry).
#include "ProgramFixture.h"

#include "Hl_modul.h"
#include "KxError.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <sys/mount.h>

namespace {

constexpr std::int32_t kDef = -1;
// A value's expected reading: a number (kDef: the default), or nullopt when
// reading it raises the data type error.
using Expected = std::map<std::string, std::optional<std::int32_t>>;

struct DamagedFile {
    const char* name;
    QByteArray text;
    Expected values; // "SECTION/Name" -> reading
};

const DamagedFile kDamagedFiles[] = {
    {"UTF-8 byte-order mark", "\xEF\xBB\xBF[DESKTOP]\nLeft=10\nTop=20\n", {{"DESKTOP/Left", 10}, {"DESKTOP/Top", 20}}},
    {"line without =", "[DESKTOP]\nLeft=10\nthis line has none\nTop=20\n", {{"DESKTOP/Left", 10}, {"DESKTOP/Top", 20}}},
    {"garbage bytes",
     QByteArray("[GRAF]\nPERO=65280\n\x00\xff\xfe\x80 \x01\n[ZAZNAM]\nSOUBOR=5\n", 43),
     {{"GRAF/PERO", 65280}, {"ZAZNAM/SOUBOR", 5}}},
    {"CRLF line ends",
     "[DESKTOP]\r\nLeft=10\r\nTop=20\r\n\r\n[GRAF]\r\nR3D=50\r\n",
     {{"DESKTOP/Left", 10}, {"DESKTOP/Top", 20}, {"GRAF/R3D", 50}}},
    {"duplicate keys and sections",
     "[DESKTOP]\nTop=1\nTop=2\n[GRAF]\nG3D=0\n[DESKTOP]\nLeft=3\n",
     {{"DESKTOP/Top", 2}, {"DESKTOP/Left", 3}, {"GRAF/G3D", 0}}},
    {"numbers beyond 32 bits",
     "[DESKTOP]\nWidth=99999999999\nHeight=-2147483649\nLeft=-2147483648\n",
     {{"DESKTOP/Width", kDef}, {"DESKTOP/Height", kDef}, {"DESKTOP/Left", INT32_MIN}}},
    {"a list where a number belongs",
     "[GRAF]\nPERO=65280\nPOCET=1, 2\n",
     {{"GRAF/PERO", 65280}, {"GRAF/POCET", std::nullopt}}},
    {"names in another case, blanks, quotes",
     "[desktop]\n  left =  10 \nTOP=\"20\"\n",
     {{"DESKTOP/Left", 10}, {"DESKTOP/Top", 20}}},
    {"a section header broken off", "[DESKTOP\nLeft=10\n[GRAF]\nR3D=40\n", {{"GRAF/R3D", 40}}},
};

std::optional<std::int32_t> Read(SettingsStore& store, const std::string& key)
{
    const auto slash = key.find('/');
    try {
        return store.LoadInt(key.substr(0, slash), key.substr(slash + 1), kDef);
    } catch (const KxError&) {
        return std::nullopt;
    }
}

class DamagedSettingsTest : public ::testing::Test, public TempSettings {};

TEST_F(DamagedSettingsTest, WhatCanBeReadIsReadAndAWriteRewritesTheFileKeepingIt)
{
    for (const DamagedFile& c : kDamagedFiles) {
        SCOPED_TRACE(c.name);
        WriteIni(c.text);
        SettingsStore store("OrbKX52", Folder());
        for (const auto& [key, expected] : c.values)
            EXPECT_EQ(Read(store, key), expected) << key;

        ASSERT_NO_THROW(store.StoreInt("ADRESA", "DA", 7));
        const QByteArray rewritten = ReadIni();
        EXPECT_FALSE(rewritten.startsWith("\xEF\xBB\xBF"));
        EXPECT_FALSE(rewritten.contains('\r'));
        EXPECT_FALSE(rewritten.contains("this line has none"));
        EXPECT_FALSE(rewritten.contains('\xff'));
        SettingsStore fresh("OrbKX52", Folder());
        EXPECT_EQ(Read(fresh, "ADRESA/DA"), 7);
        for (const auto& [key, expected] : c.values)
            EXPECT_EQ(Read(fresh, key), expected) << key << " after the rewrite:\n" << rewritten.constData();
    }
}

// A tmpfs of its own (needs root) that can be made read-only.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const QString& where) : path_(where.toStdString())
    {
        mounted_ = QDir().mkpath(where) && ::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=64k") == 0;
    }
    ~ReadOnlyFolder()
    {
        if (mounted_)
            ::umount2(path_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    bool MakeReadOnly() { return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0; }

private:
    std::string path_;
    bool mounted_ = false;
};

TEST_F(DamagedSettingsTest, AStoreThatCannotBeWrittenRaisesAndLeavesTheFileAsItWas)
{
    // (A folder in place of the settings file: test_settings.cpp.)
    // A missing folder is made again.
    {
        const QString sub = dir.filePath(QStringLiteral("sub"));
        SettingsStore store("OrbKX52", sub.toStdString());
        ASSERT_TRUE(QDir(sub).removeRecursively());
        ASSERT_NO_THROW(store.StoreInt("DESKTOP", "Top", 1));
        EXPECT_EQ(store.LoadInt("DESKTOP", "Top", 107), 1);
    }
    // A read-only file system.
    const QString ro = dir.filePath(QStringLiteral("ro"));
    ReadOnlyFolder folder(ro);
    if (!folder.Mounted())
        GTEST_SKIP() << "a read-only tmpfs needs root";
    {
        QFile f(ro + QStringLiteral("/OrbKX52.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[DESKTOP]\nTop=5\n");
    }
    ASSERT_TRUE(folder.MakeReadOnly());
    SettingsStore store("OrbKX52", ro.toStdString());
    EXPECT_EQ(store.LoadInt("DESKTOP", "Top", 107), 5);
    try {
        store.StoreInt("DESKTOP", "Top", 1);
        FAIL() << "no error raised";
    } catch (const KxError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Top'");
    }
    EXPECT_EQ(store.LoadInt("DESKTOP", "Top", 107), 5);
}

class DamagedSettingsWindowTest : public ProgramFixture {};

TEST_F(DamagedSettingsWindowTest, AValueOfTheWrongTypeNeverLeavesZerosToBeWrittenBack)
{
    WriteIni("[DESKTOP]\nLeft=100\nTop=100\n[GRAF]\nPERO=65280\nMRIZ=255\nG3D=0\nR3D=60\nPOCET=1, 2\n");
    Start();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Invalid data type for 'POCET'"));
    const ChartSettings& c = orbena52->chart;
    EXPECT_EQ(c.pen_color, 65280u);
    EXPECT_EQ(c.depth_3d, 60);
    EXPECT_EQ(c.points_kept, 200) << "the value not read keeps its default, not 0";
    orbena52->close();
    const QByteArray ini = ReadIni();
    for (const char* line : {"PERO=65280", "MRIZ=255", "POZADI=-2147483633", "G3D=0", "R3D=60", "POCET=200"})
        EXPECT_TRUE(ini.contains(line)) << line << " missing from\n" << ini.constData();

    // The same error on the first value read: every chart value is at its
    // default when the window closes.
    DestroyProgramWindows();
    boxes.clear();
    WriteIni("[DESKTOP]\nLeft=1, 2\n");
    Start();
    ASSERT_EQ(boxes.size(), 1u);
    orbena52->close();
    const QByteArray after = ReadIni();
    for (const char* line : {"PERO=255", "MRIZ=-2147483633", "G3D=1", "R3D=35", "POCET=200"})
        EXPECT_TRUE(after.contains(line)) << line << " missing from\n" << after.constData();
}

TEST_F(DamagedSettingsWindowTest, StoredBoundsAreKeptWithinTheScreenAndTheMinimumSize)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    for (const char* bounds :
         {"Left=0\nTop=0\nWidth=2147483647\nHeight=2147483647\n", "Left=0\nTop=0\nWidth=-500\nHeight=-2147483648\n",
          "Left=2147483647\nTop=-2147483648\nWidth=667\nHeight=465\n"}) {
        SCOPED_TRACE(bounds);
        WriteIni(QByteArray("[DESKTOP]\n") + bounds);
        Start();
        const QSize size = orbena52->size();
        EXPECT_GE(size.width(), orbena52->minimumWidth());
        EXPECT_GE(size.height(), orbena52->minimumHeight());
        EXPECT_GE(orbena52->minimumWidth(), 500) << "the value panel's controls stay reachable";
        EXPECT_LE(size.width(), std::max(area.width(), orbena52->minimumWidth()));
        EXPECT_LE(size.height(), std::max(area.height(), orbena52->minimumHeight()));
        EXPECT_TRUE(area.intersects(QRect(orbena52->pos(), size)));
        orbena52->close();
        // What is written back is what was shown, not larger.
        SettingsStore store("OrbKX52", Folder());
        EXPECT_LE(store.LoadInt("DESKTOP", "Width", 0), size.width() + 10);
        EXPECT_LE(store.LoadInt("DESKTOP", "Height", 0), size.height() + 27);
        DestroyProgramWindows();
    }
    EXPECT_TRUE(boxes.empty());
}

} // namespace
#endif

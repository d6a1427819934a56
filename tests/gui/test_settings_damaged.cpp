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
#include "Unitport.h"
#include "Zaznam_vzorkovani.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <sys/mount.h>
#include <vector>

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
    {"CR line ends (old editors)",
     "[DESKTOP]\rLeft=10\rTop=20\r\r[GRAF]\rR3D=50\r[PORT]\rCOM=3",
     {{"DESKTOP/Left", 10}, {"DESKTOP/Top", 20}, {"GRAF/R3D", 50}, {"PORT/COM", 3}}},
    {"CR, LF and CR LF mixed",
     "[GRAF]\rPERO=4\nMRIZ=5\r\n[ZAZNAM]\n\rSOUBOR=7\r",
     {{"GRAF/PERO", 4}, {"GRAF/MRIZ", 5}, {"ZAZNAM/SOUBOR", 7}}},
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

// Every setting the program reads at start, valid, with the value each
// takes when its stored text is of the wrong type.
struct StartSetting {
    const char* key; // "SECTION/Name"
    const char* text;
    std::int32_t value_if_damaged;
};
const StartSetting kStartSettings[] = {
    {"DESKTOP/Left", "300", 192},
    {"DESKTOP/Top", "200", 107},
    {"DESKTOP/Height", "500", 465},
    {"DESKTOP/Width", "700", 667},
    {"GRAF/PERO", "65280", 255},
    {"GRAF/MRIZ", "255", -2147483633},
    {"GRAF/POZADI", "16777215", -2147483633},
    {"GRAF/G3D", "0", 1},
    {"GRAF/R3D", "60", 35},
    {"GRAF/POCET", "500", 200},
    {"ZAZNAM/SOUBOR", "5", 60},
    {"ADRESA/SA", "3", 0},
    {"ADRESA/DA", "4", 0},
    {"PORT/COM", "2", 1},
    {"PORT/BAUDRATE", "19200", 9600},
};

TEST_F(DamagedSettingsWindowTest, AValueOfTheWrongTypeTakesItsDefaultAndEveryOtherValueIsStillRead)
{
    struct Case {
        std::vector<std::string> damaged; // in the order the windows read them
    };
    const Case cases[] = {
        {{"DESKTOP/Left"}},
        {{"GRAF/PERO"}},
        {{"GRAF/POCET"}},
        // Read by the main window and by the recording settings: one box.
        {{"ZAZNAM/SOUBOR"}},
        {{"ADRESA/SA"}},
        {{"DESKTOP/Width", "GRAF/G3D", "ZAZNAM/SOUBOR", "PORT/BAUDRATE"}},
    };
    for (const Case& c : cases) {
        std::string name;
        QByteArray ini;
        QByteArray section;
        for (const StartSetting& v : kStartSettings) {
            const std::string key = v.key;
            const QByteArray sec = QByteArray::fromStdString(key.substr(0, key.find('/')));
            if (sec != section)
                ini += "[" + sec + "]\n";
            section = sec;
            const bool damaged = std::find(c.damaged.begin(), c.damaged.end(), key) != c.damaged.end();
            ini += QByteArray::fromStdString(key.substr(key.find('/') + 1)) + "=" + (damaged ? "1, 2" : v.text) + "\n";
        }
        for (const std::string& d : c.damaged)
            name += d + " ";
        SCOPED_TRACE(name);
        WriteIni(ini);
        boxes.clear();
        Start();

        std::vector<QString> texts;
        for (const MessageBoxRequest& b : boxes)
            texts.push_back(b.text);
        std::vector<QString> wanted;
        for (const std::string& d : c.damaged)
            wanted.push_back(
                QStringLiteral("Invalid data type for '%1'").arg(QString::fromStdString(d.substr(d.find('/') + 1))));
        EXPECT_EQ(texts, wanted);

        // What the windows hold now, and what the main window writes back as
        // it closes.
        std::map<std::string, std::int32_t> got = {
            {"ZAZNAM/SOUBOR", file_sampling->sampling_period},
            {"ADRESA/SA", port->source_address},
            {"ADRESA/DA", port->dest_address},
            {"PORT/COM", port->com_index},
            {"PORT/BAUDRATE", port->baud_rate},
        };
        EXPECT_EQ(orbena52->StatusText(1), QStringLiteral("záznam: %1 s").arg(got["ZAZNAM/SOUBOR"]));
        EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("STOP"));
        orbena52->close();
        SettingsStore after("OrbKX52", Folder());
        for (const StartSetting& v : kStartSettings) {
            const std::string key = v.key;
            if (got.count(key) == 0)
                got[key] = after.LoadInt(key.substr(0, key.find('/')), key.substr(key.find('/') + 1), kDef);
        }
        for (const StartSetting& v : kStartSettings) {
            const bool damaged = std::find(c.damaged.begin(), c.damaged.end(), v.key) != c.damaged.end();
            EXPECT_EQ(got[v.key], damaged ? v.value_if_damaged : std::stoi(v.text)) << v.key;
        }
        DestroyProgramWindows();
    }
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

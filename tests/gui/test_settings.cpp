// The settings store: defaults, text values, errors, write-through.
#include "KxError.h"
#include "SettingsStore.h"
#include "TempSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsStoreTest : public ::testing::Test, public TempSettings {};

TEST_F(SettingsStoreTest, OpeningCreatesAnEmptyStoreAndMissingValuesGiveDefaults)
{
    SettingsStore store("OrbKX52", Folder());
    EXPECT_TRUE(QFile::exists(IniPath()));
    EXPECT_TRUE(ReadIni().isEmpty());
    EXPECT_EQ(store.LoadInt("DESKTOP", "Left", 192), 192);
    WriteIni("[DESKTOP]\nTop=5\n");
    EXPECT_EQ(store.LoadInt("DESKTOP", "Left", 192), 192) << "missing value in an existing section";
    EXPECT_EQ(store.LoadInt("GRAF", "PERO", 255), 255) << "missing section";
}

TEST_F(SettingsStoreTest, TextThatIsNotADecimalIntegerGivesTheDefault)
{
    WriteIni("[DESKTOP]\nLeft=abc\nTop=\nHeight=12x\nWidth=99999999999\nA=-2147483648\nB=+17\nC= 42 \n");
    SettingsStore store("OrbKX52", Folder());
    EXPECT_EQ(store.LoadInt("DESKTOP", "Left", 192), 192);
    EXPECT_EQ(store.LoadInt("DESKTOP", "Top", 107), 107);
    EXPECT_EQ(store.LoadInt("DESKTOP", "Height", 465), 465);
    EXPECT_EQ(store.LoadInt("DESKTOP", "Width", 667), 667) << "out of the 32-bit range";
    EXPECT_EQ(store.LoadInt("DESKTOP", "A", 0), INT32_MIN);
    EXPECT_EQ(store.LoadInt("DESKTOP", "B", 0), 17);
    EXPECT_EQ(store.LoadInt("DESKTOP", "C", 0), 42);
}

TEST_F(SettingsStoreTest, AValueThatIsNotPlainTextRaisesTheDataTypeError)
{
    WriteIni("[DESKTOP]\nLeft=1, 2\n");
    SettingsStore store("OrbKX52", Folder());
    try {
        store.LoadInt("DESKTOP", "Left", 192);
        FAIL() << "no error raised";
    } catch (const KxError& e) {
        EXPECT_STREQ(e.what(), "Invalid data type for 'Left'");
    }
}

TEST_F(SettingsStoreTest, EveryStoreIsOnDiskAsDecimalTextWhenItReturns)
{
    SettingsStore store("OrbKX52", Folder());
    store.StoreInt("GRAF", "MRIZ", static_cast<std::int32_t>(0x8000000Fu));
    store.StoreInt("GRAF", "PERO", 255);
    const QByteArray ini = ReadIni();
    EXPECT_TRUE(ini.contains("[GRAF]"));
    EXPECT_TRUE(ini.contains("MRIZ=-2147483633"));
    EXPECT_TRUE(ini.contains("PERO=255"));
    // A second store (another running copy) sees it, and the colour code
    // comes back unchanged.
    SettingsStore other("OrbKX52", Folder());
    EXPECT_EQ(static_cast<std::uint32_t>(other.LoadInt("GRAF", "MRIZ", 0)), 0x8000000Fu);
    // And the first store sees what the other wrote later.
    other.StoreInt("GRAF", "PERO", 65280);
    EXPECT_EQ(store.LoadInt("GRAF", "PERO", 0), 65280);
}

TEST_F(SettingsStoreTest, AWriteThatCannotReachTheDiskRaisesTheSetDataError)
{
    SettingsStore store("OrbKX52", Folder());
    // A folder where the file should be: not writable even for root.
    ASSERT_TRUE(QFile::remove(IniPath()));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("OrbKX52.ini")));
    EXPECT_EQ(store.LoadInt("DESKTOP", "Top", 107), 107);
    try {
        store.StoreInt("DESKTOP", "Top", 1);
        FAIL() << "no error raised";
    } catch (const KxError& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Top'");
    }
    EXPECT_TRUE(QFileInfo(IniPath()).isDir()) << "the folder is left as it was";
}

} // namespace

// The recording period dialog "Záznam": loading, checking and storing the
// period.
#include "Hl_modul.h"
#include "MessageBoxes.h"
#include "ProgramWindows.h"
#include "SerialBackend.h"
#include "SettingsStore.h"
#include "Zaznam_vzorkovani.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

const QString kBadPeriod = QStringLiteral("Je nutné zadávat pouze celá čísla větší než 0");

class SamplingDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        SetMessageBoxHook([this](const MessageBoxRequest& box) {
            EXPECT_EQ(box.icon, QMessageBox::Warning);
            warnings_.push_back(box.text + QStringLiteral(" | ") + box.caption);
            return int{QMessageBox::Ok};
        });
    }

    void TearDown() override
    {
        if (file_sampling != nullptr)
            file_sampling->hide();
        DestroyProgramWindows();
        SetMessageBoxHook({});
    }

    std::string Folder() const { return dir_.filePath(QStringLiteral("settings")).toStdString(); }

    void Create(std::optional<std::int32_t> stored = std::nullopt)
    {
        if (stored) {
            SettingsStore store("OrbKX52", Folder());
            store.StoreInt("ZAZNAM", "SOUBOR", *stored);
        }
        CreateProgramWindows(Folder());
        ASSERT_NE(file_sampling, nullptr);
    }

    // What a fresh store on the same folder reads: what is on disk.
    std::int32_t StoredPeriod() const
    {
        SettingsStore store("OrbKX52", Folder());
        return store.LoadInt("ZAZNAM", "SOUBOR", -12345);
    }

    void Show()
    {
        file_sampling->setResult(0);
        file_sampling->show();
        QApplication::setActiveWindow(file_sampling);
        ASSERT_TRUE(file_sampling->isVisible());
    }

    QTemporaryDir dir_;
    std::vector<QString> warnings_;
};

TEST_F(SamplingDialogTest, WindowAndDefaultPeriod)
{
    Create();
    EXPECT_EQ(file_sampling->sampling_period, 60);
    EXPECT_EQ(file_sampling->windowTitle(), QStringLiteral("Záznam"));
    EXPECT_EQ(file_sampling->size(), QSize(249, 121));
    EXPECT_EQ(file_sampling->minimumSize(), file_sampling->maximumSize());
    Show();
    EXPECT_EQ(file_sampling->ed_zaznam->text(), QStringLiteral("60"));
    EXPECT_TRUE(file_sampling->ed_zaznam->hasFocus());
}

TEST_F(SamplingDialogTest, BadEntriesAreRejectedOnceAndResetTo60)
{
    Create(15);
    EXPECT_EQ(file_sampling->sampling_period, 15);
    Show();
    EXPECT_EQ(file_sampling->ed_zaznam->text(), QStringLiteral("15"));
    const QString bad[] = {QStringLiteral("0"), QStringLiteral("-5"),         QStringLiteral("abc"),
                           QString(),           QStringLiteral("2147483648"), QStringLiteral("1.5")};
    for (const bool by_enter : {false, true}) {
        for (const QString& entry : bad) {
            warnings_.clear();
            file_sampling->ed_zaznam->setText(entry);
            file_sampling->tl_ok->setFocus();
            if (by_enter)
                QTest::keyClick(file_sampling->ed_zaznam, Qt::Key_Return);
            else
                QTest::mouseClick(file_sampling->tl_ok, Qt::LeftButton);
            const auto where = entry.toStdString() + (by_enter ? " + Enter" : " + OK");
            ASSERT_EQ(warnings_.size(), 1u) << where;
            EXPECT_EQ(warnings_[0], kBadPeriod + QStringLiteral(" | CHYBA")) << where;
            EXPECT_EQ(file_sampling->ed_zaznam->text(), QStringLiteral("60")) << where;
            EXPECT_TRUE(file_sampling->ed_zaznam->hasFocus()) << where;
            EXPECT_TRUE(file_sampling->isVisible()) << where;
            EXPECT_EQ(file_sampling->sampling_period, 15) << where;
            EXPECT_EQ(StoredPeriod(), 15) << where;
        }
    }
}

TEST_F(SamplingDialogTest, EnterWithValidPeriodStoresAtOnceAndCloses)
{
    Create();
    Show();
    file_sampling->ed_zaznam->setText(QStringLiteral("1"));
    QTest::keyClick(file_sampling->ed_zaznam, Qt::Key_Enter);
    EXPECT_TRUE(warnings_.empty());
    EXPECT_FALSE(file_sampling->isVisible());
    EXPECT_EQ(file_sampling->result(), QDialog::Accepted);
    EXPECT_EQ(file_sampling->sampling_period, 1);
    EXPECT_EQ(StoredPeriod(), 1);

    // The largest whole number is accepted; the edit shows it next time.
    Show();
    EXPECT_EQ(file_sampling->ed_zaznam->text(), QStringLiteral("1"));
    file_sampling->ed_zaznam->setText(QStringLiteral("2147483647"));
    QTest::mouseClick(file_sampling->tl_ok, Qt::LeftButton);
    EXPECT_FALSE(file_sampling->isVisible());
    EXPECT_EQ(file_sampling->sampling_period, 2147483647);
    EXPECT_EQ(StoredPeriod(), 2147483647);
}

TEST_F(SamplingDialogTest, StornoAndEscLeavePeriodAndStore)
{
    Create(30);
    Show();
    file_sampling->ed_zaznam->setText(QStringLiteral("120"));
    QTest::mouseClick(file_sampling->tl_cancel, Qt::LeftButton);
    EXPECT_FALSE(file_sampling->isVisible());
    EXPECT_EQ(file_sampling->result(), QDialog::Rejected);
    EXPECT_EQ(file_sampling->sampling_period, 30);
    EXPECT_EQ(StoredPeriod(), 30);

    Show();
    EXPECT_EQ(file_sampling->ed_zaznam->text(), QStringLiteral("30")); // the abandoned entry is gone
    file_sampling->ed_zaznam->setText(QStringLiteral("7"));
    QTest::keyClick(file_sampling->ed_zaznam, Qt::Key_Escape);
    EXPECT_FALSE(file_sampling->isVisible());
    EXPECT_EQ(file_sampling->result(), QDialog::Rejected);
    EXPECT_EQ(file_sampling->sampling_period, 30);
    EXPECT_EQ(StoredPeriod(), 30);
    EXPECT_TRUE(warnings_.empty());
}

} // namespace

// "Dialog změna adresy": reading the address table, writing a new address and
// following it, and the entry check.
#ifdef KX52_SIM_EXE
#include "DeviceTables.h"
#include "DialogChecks.h"
#include "MessageBoxes.h"
#include "StationPort.h"
#include "Zmena_adresy.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

const QString kOnlyNumbers = QStringLiteral("Je nutné zadávat pouze čísla");
const QString kNotANumber = QStringLiteral(" není správně zapsané číslo. Číslo musí být .xx.. ");

class AddressDialogTest : public ::testing::Test {
protected:
    StationLink link{5};
    std::vector<int> pauses;
    std::vector<MessageBoxRequest> boxes;
    TZmenaAdresy dialog{[this](int ms) { pauses.push_back(ms); }};

    void SetUp() override
    {
        reset_table_variables();
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            boxes.push_back(r);
            return int{QMessageBox::Ok};
        });
    }
    void TearDown() override
    {
        dialog.hide();
        SetMessageBoxHook({});
    }
    void ExpectOneBox(const QString& text)
    {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("CHYBA"));
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    }
};

TEST_F(AddressDialogTest, LayoutTextsAndKeyboardOrder)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Dialog změna adresy"));
    EXPECT_EQ(dialog.size(), QSize(293, 125));
    EXPECT_EQ(dialog.Label1->text(), QStringLiteral("Adresa přístroje"));
    EXPECT_EQ(dialog.ed_adr->text(), QStringLiteral("0"));
    EXPECT_EQ(dialog.ed_adr->accessibleName(), QStringLiteral("Adresa přístroje"));
    // Left to right: Zápis, Čtení, Zpět; none of them is the default button.
    const std::vector<std::pair<QPushButton*, QString>> buttons = {{dialog.tl_write, QStringLiteral("Zápis")},
                                                                   {dialog.tl_read, QStringLiteral("Čtení")},
                                                                   {dialog.tl_cancel, QStringLiteral("Zpět")}};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i].first->text(), buttons[i].second);
        EXPECT_FALSE(buttons[i].first->isDefault());
        EXPECT_TRUE(buttons[i].first->font().bold());
        if (i > 0) {
            EXPECT_LT(buttons[i - 1].first->x(), buttons[i].first->x());
        }
    }
    EXPECT_EQ(dialog.ed_adr->nextInFocusChain(), dialog.tl_read);
    EXPECT_EQ(dialog.tl_read->nextInFocusChain(), dialog.tl_write);
    EXPECT_EQ(dialog.tl_write->nextInFocusChain(), dialog.tl_cancel);
    ExpectReadableLayout(dialog);
}

TEST_F(AddressDialogTest, AChangeTo126IsWrittenToThePresentAddressAndLaterRequestsFollowIt)
{
    dialog.ed_adr->setText(QStringLiteral("126"));
    dialog.tl_write->click();
    EXPECT_TRUE(boxes.empty());
    // 68 06 06 68 DA=05 SA=00 63 02 03 7E FCS 16 to the old address.
    ASSERT_EQ(link.port.written.size(), 1u);
    EXPECT_EQ(link.port.written[0],
              (sim::Bytes{0x68, 0x06, 0x06, 0x68, 0x05, 0x00, 0x63, 0x02, 0x03, 0x7E, 0xEB, 0x16}));
    EXPECT_EQ(link.port.station.Instrument().Address(), 126);
    EXPECT_EQ(get_dest_address(), 126);
    EXPECT_EQ(dev_address, 126);
    EXPECT_EQ(pauses, std::vector<int>{100});

    // "Čtení" now asks the instrument at its new address, which answers.
    dialog.ed_adr->setText(QStringLiteral("9"));
    dialog.tl_read->click();
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(dialog.ed_adr->text(), QStringLiteral("126"));
    EXPECT_EQ(link.port.Destinations(), (std::vector<int>{5, 126}));
    EXPECT_EQ(link.port.station.ReadsOf(3), 1u);
}

TEST_F(AddressDialogTest, AWriteThatIsNotAcknowledgedKeepsTheOldAddress)
{
    // Refused: read once more, then sent again unawaited. Silent: sent three
    // times; the instrument took the address, only its acknowledgement was
    // lost, and the program keeps to the address it knows.
    struct Case {
        const char* name;
        sim::Fault fault;
        std::size_t frames_sent;
        int instrument_address;
    };
    for (const Case& c :
         {Case{"refused", sim::Fault::RefuseWrites, 2, 5}, Case{"silent", sim::Fault::NoAnswer, 3, 7}}) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        link.port.written.clear();
        link.port.station.Faults().Set(c.fault);
        dialog.ed_adr->setText(QStringLiteral("7"));
        dialog.tl_write->click();
        ExpectOneBox(QStringLiteral("Chyba při zápisu"));
        EXPECT_EQ(link.port.written.size(), c.frames_sent);
        EXPECT_EQ(get_dest_address(), 5);
        EXPECT_EQ(link.port.station.Instrument().Address(), c.instrument_address);
        EXPECT_EQ(dev_address, 7) << "the entered value stays in the variable";
        EXPECT_TRUE(pauses.empty());
        EXPECT_EQ(dialog.ed_adr->text(), QStringLiteral("7"));
        link.port.station.Faults().ClearAll();
        link.port.station.Instrument().SetAddress(5);
    }
}

TEST_F(AddressDialogTest, AReadWithoutAnswerLeavesTheEdit)
{
    link.port.station.Faults().Set(sim::Fault::NoAnswer);
    dialog.ed_adr->setText(QStringLiteral("33"));
    dialog.tl_read->click();
    ExpectOneBox(QStringLiteral("Chyba při čtení"));
    EXPECT_EQ(dialog.ed_adr->text(), QStringLiteral("33"));
}

TEST_F(AddressDialogTest, EntriesOutsideZeroTo126BringBothMessagesAndSendNothing)
{
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    struct Case {
        const char* typed;
        int accepted; // the address written, or -1
    };
    const Case cases[] = {{"127", -1}, {"200", -1}, {"-1", -1},   {"12a", -1},  {"abc", -1}, {"", -1},
                          {"1.5", -1}, {"0", 0},    {"126", 126}, {" 42 ", 42}, {"+3", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        boxes.clear();
        link.port.written.clear();
        set_dest_address(5);
        link.port.station.Instrument().SetAddress(5);
        dialog.tl_cancel->setFocus();
        dialog.ed_adr->setText(QString::fromUtf8(c.typed));
        dialog.tl_write->click();
        if (c.accepted >= 0) {
            EXPECT_TRUE(boxes.empty());
            ASSERT_EQ(link.port.written.size(), 1u);
            EXPECT_EQ(link.port.written[0][9], c.accepted);
            EXPECT_EQ(get_dest_address(), c.accepted);
            continue;
        }
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].text, kOnlyNumbers);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(boxes[1].text, QString::fromUtf8(c.typed) + kNotANumber);
        EXPECT_EQ(boxes[1].icon, QMessageBox::NoIcon);
        for (const MessageBoxRequest& box : boxes)
            EXPECT_EQ(box.caption, QStringLiteral("CHYBA"));
        EXPECT_TRUE(link.port.written.empty());
        EXPECT_EQ(get_dest_address(), 5);
        EXPECT_EQ(dialog.ed_adr->text(), QStringLiteral("0"));
        EXPECT_TRUE(dialog.ed_adr->hasFocus());
    }
}

TEST_F(AddressDialogTest, WorksByKeyboardAloneAndEnterInTheEditDoesNothing)
{
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.ed_adr->setFocus();
    dialog.ed_adr->selectAll();
    QTest::keyClicks(dialog.ed_adr, QStringLiteral("12"));
    QTest::keyClick(dialog.ed_adr, Qt::Key_Return);
    EXPECT_TRUE(link.port.written.empty()) << "no default button";
    EXPECT_TRUE(dialog.isVisible());

    // Tab to "Zápis" (past "Čtení") and press it with the space bar.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.tl_write);
    QTest::keyClick(dialog.tl_write, Qt::Key_Space);
    EXPECT_EQ(link.port.station.Instrument().Address(), 12);
    EXPECT_EQ(get_dest_address(), 12);

    // On to "Zpět", which Enter presses as it has the focus: the dialog
    // closes without a word on the line.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), dialog.tl_cancel);
    QTest::keyClick(dialog.tl_cancel, Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(link.port.written.size(), 1u);
}

} // namespace
#endif

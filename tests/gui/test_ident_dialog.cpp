// "Identifikace": the identification one second after showing, the texts of
// this family's instrument, another family's device, and the instrument's
// code page.
#ifdef KX52_SIM_EXE
#include "About_ident.h"
#include "Cp1250.h"
#include "DialogChecks.h"
#include "MessageBoxes.h"
#include "StationPort.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStringDecoder>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const QString kDesignType = QStringLiteral("Typ zařízení - neidentifikováno");
const QString kDesignVersion = QStringLiteral("Verze zařízení - neidentifikováno");
const QString kOtherFamily = QStringLiteral("Identifikováno zařízení pro které je nutné použít jiný software");

// Bytes 'A', 'B', ... 'Z', 'A', ... : every position tells where it came from.
std::string Letters(std::size_t count)
{
    std::string s;
    for (std::size_t i = 0; i < count; ++i)
        s += static_cast<char>('A' + i % 26);
    return s;
}

QString Latin(const std::string& s)
{
    return QString::fromLatin1(s.c_str());
}

class IdentDialogTest : public ::testing::Test {
protected:
    std::unique_ptr<StationLink> link = std::make_unique<StationLink>(0);
    std::vector<int> pauses;
    std::vector<MessageBoxRequest> boxes;
    std::unique_ptr<Tabout_ident> dialog = MakeDialog();

    std::unique_ptr<Tabout_ident> MakeDialog()
    {
        return std::make_unique<Tabout_ident>([this](int ms) { pauses.push_back(ms); });
    }
    void SetUp() override
    {
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            boxes.push_back(r);
            return int{QMessageBox::Ok};
        });
    }
    void TearDown() override
    {
        dialog->hide();
        SetMessageBoxHook({});
    }
    sim::SimStation& Station() { return link->port.station; }
};

TEST_F(IdentDialogTest, LayoutAndTexts)
{
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Identifikace"));
    EXPECT_EQ(dialog->size(), QSize(401, 183));
    EXPECT_EQ(dialog->lb_zarizeni->text(), kDesignType);
    EXPECT_EQ(dialog->lb_verze->text(), kDesignVersion);
    EXPECT_EQ(dialog->tl_ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog->tl_ok->isDefault());
    EXPECT_FALSE(dialog->Image1->pixmap().isNull()) << "the front panel picture is in the resources";
    std::vector<QString> texts;
    for (const QLabel* l : dialog->Panel1->findChildren<QLabel*>())
        texts.push_back(l->text());
    for (const QString& t :
         {QStringLiteral("Výrobce:"), QStringLiteral("http://"), QStringLiteral("Načtené parametry z regulátoru:")})
        EXPECT_NE(std::find(texts.begin(), texts.end(), t), texts.end()) << t.toStdString();
    EXPECT_FALSE(dialog->Timer1->isActive());
    EXPECT_TRUE(dialog->Timer1->isSingleShot());
    EXPECT_EQ(dialog->Timer1->interval(), 1000);
    ExpectReadableLayout(*dialog);
}

TEST_F(IdentDialogTest, WhatTheInstrumentAnswersDecidesTheLabelsAndTheMessage)
{
    const std::string hundred = Letters(100);
    struct Case {
        const char* name;
        std::function<void(sim::SimStation&)> setup;
        QString type_label;
        QString version_label;
        QString message; // empty: no message box
        std::vector<int> pauses;
        std::size_t frames;
    };
    const std::vector<Case> cases = {
        {"this family, texts in Windows-1250",
         [](sim::SimStation& s) {
             s.Instrument().SetTypeText("ORBENA 52 \x8A"
                                        "ab\x9A"
                                        "\xE1"
                                        "lov\xFD");
             s.Instrument().SetVersionText("verze 1.00, m\xEC\xF8i\xE8");
         },
         QStringLiteral("ORBENA 52 Šabšálový"),
         QStringLiteral("verze 1.00, měřič"),
         {},
         {50},
         2},
        {"only the version answers",
         [](sim::SimStation& s) { s.Faults().Set(sim::Fault::NoAnswer, 2); },
         kDesignType,
         QStringLiteral("verze 1.00, simulovaný měřič"),
         {},
         {50},
         3},
        {"nobody answers",
         [](sim::SimStation& s) { s.Faults().Set(sim::Fault::NoAnswer); },
         kDesignType,
         kDesignVersion,
         {},
         {50, 50},
         5},
        {"another family, 3 characters",
         [](sim::SimStation& s) {
             s.SetForeignText("RX7");
             s.Faults().Set(sim::Fault::ForeignIdent);
         },
         QStringLiteral("jiné zařízení"),
         QString(),
         kOtherFamily + QStringLiteral("\rRX7"),
         {50, 50},
         3},
        {"another family, 100 characters",
         [&hundred](sim::SimStation& s) {
             s.SetForeignText(hundred);
             s.Faults().Set(sim::Fault::ForeignIdent);
         },
         QStringLiteral("jiné zařízení"),
         Latin(hundred.substr(64, 32)),
         kOtherFamily + QStringLiteral("\r") + Latin(hundred.substr(0, 32)) + QStringLiteral("\r") +
             Latin(hundred.substr(32, 32)) + QStringLiteral("\r") + Latin(hundred.substr(64, 32)),
         {50, 50},
         3},
        {"another family, 39 characters in Windows-1250",
         [](sim::SimStation& s) {
             s.SetForeignText("Regul\xE1tor pr\xF9toku " + std::string(19, '-') +
                              "\xC8"
                              "R");
             s.Faults().Set(sim::Fault::ForeignIdent);
         },
         QStringLiteral("jiné zařízení"),
         QString(),
         kOtherFamily + QStringLiteral("\rRegulátor průtoku ") + QString(14, QLatin1Char('-')) + QStringLiteral("\r") +
             QString(5, QLatin1Char('-')) + QStringLiteral("ČR"),
         {50, 50},
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.reset(); // before the next one takes the link
        link = std::make_unique<StationLink>(0);
        c.setup(Station());
        dialog = MakeDialog();
        pauses.clear();
        boxes.clear();

        dialog->Identify();

        EXPECT_EQ(dialog->lb_zarizeni->text(), c.type_label);
        EXPECT_EQ(dialog->lb_verze->text(), c.version_label);
        EXPECT_EQ(pauses, c.pauses);
        EXPECT_EQ(link->port.written.size(), c.frames);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("ERROR"));
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    }
}

TEST_F(IdentDialogTest, ASecondShowingWithoutAnswerKeepsTheFirstTexts)
{
    dialog->Identify();
    const QString type = dialog->lb_zarizeni->text();
    const QString version = dialog->lb_verze->text();
    ASSERT_EQ(type, QStringLiteral("ORBENA 52"));
    ASSERT_EQ(version, QStringLiteral("verze 1.00, simulovaný měřič"));

    // Switched off: whatever the last exchange left in the receive buffer
    // never counts as an answer, nor as another family's.
    Station().Faults().Set(sim::Fault::NoAnswer);
    dialog->Identify();
    EXPECT_EQ(dialog->lb_zarizeni->text(), type);
    EXPECT_EQ(dialog->lb_verze->text(), version);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(IdentDialogTest, IdentifiesOneSecondAfterShowingAndNotWhenClosedBefore)
{
    dialog->show();
    EXPECT_TRUE(dialog->Timer1->isActive());
    QTest::qWait(300);
    EXPECT_TRUE(link->port.written.empty()) << "nothing in the first second";
    dialog->reject();
    QTest::qWait(1000);
    EXPECT_TRUE(link->port.written.empty()) << "closed within its first second: no identification";
    EXPECT_FALSE(dialog->Timer1->isActive());
    EXPECT_EQ(dialog->lb_zarizeni->text(), kDesignType);

    dialog->show();
    QTest::qWait(700);
    EXPECT_TRUE(link->port.written.empty()) << "each showing starts its own second";
    QElapsedTimer waited;
    waited.start();
    while (link->port.written.size() < 2 && waited.elapsed() < 1500)
        QTest::qWait(20);
    EXPECT_EQ(link->port.written.size(), 2u);
    EXPECT_FALSE(dialog->Timer1->isActive());
    EXPECT_EQ(dialog->lb_zarizeni->text(), QStringLiteral("ORBENA 52"));
    QTest::qWait(1200);
    EXPECT_EQ(link->port.written.size(), 2u) << "once per showing";
}

TEST(Cp1250, DecodesTheInstrumentsCodePage)
{
    EXPECT_EQ(Cp1250ToUtf8("m\xEC\xF8i\xE8"), "měřič");
    EXPECT_EQ(Cp1250ToUtf8("\xC8\xCC\xD8\xCF\x8D\xD2\xD9\xDA\xDD\x8E\x8A\xC1\xC9\xCD\xD3"), "ČĚŘĎŤŇŮÚÝŽŠÁÉÍÓ");
    EXPECT_EQ(Cp1250ToUtf8("\x80\x84\x93\x96"), "€„“–");
    EXPECT_EQ(Cp1250ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));

    // Every assigned byte as the system's own Windows-1250 decoder reads it.
    QStringDecoder system("windows-1250");
    if (!system.isValid())
        GTEST_SKIP() << "no Windows-1250 decoder in this Qt";
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const QString ours = QString::fromStdString(Cp1250ToUtf8(std::string(1, byte)));
        ASSERT_EQ(ours.size(), 1) << b;
        if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) {
            EXPECT_EQ(ours[0].unicode(), b) << "unassigned bytes stay as the control of the same number";
            continue;
        }
        EXPECT_EQ(ours, system.decode(QByteArrayView(&byte, 1))) << b;
    }
}

} // namespace
#endif

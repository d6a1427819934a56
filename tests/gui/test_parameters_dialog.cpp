// The parameters dialog "Parametry ORBENA 52" over the real link against a
// scripted port: the frames on the wire in order with the pauses and the
// progress bar between them, the controls filled from the tables, the entry
// checks, and keyboard use.
#include "../link/fake_link_port.h"

#include "DeviceTables.h"
#include "FixedFormatQt.h"
#include "Menu_mod.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"
#include "RadioGroup.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string HexText(const Bytes& bytes)
{
    std::string s;
    char part[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(part, sizeof part, "%02X ", b);
        s += part;
    }
    if (!s.empty())
        s.pop_back();
    return s;
}

// A number typed with the system's decimal separator ("2,5" -> "2.5" where
// that is the separator).
QString Typed(const char* text)
{
    return QString::fromLatin1(text).replace(QLatin1Char(','), QLocale::system().decimalPoint());
}

Bytes FloatBytes(float value)
{
    Bytes b(4);
    std::memcpy(b.data(), &value, 4);
    return b;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kAck = hex("10 00 01 00 01 16");
const Bytes kRefusal = hex("10 00 01 01 02 16");
// Requests to the instrument at 1 from the program at 0.
const char* const kReadLimits = "68 05 05 68 01 00 6C 01 01 6F 16";
const char* const kReadConfig = "68 05 05 68 01 00 6C 01 02 70 16";
const QString kNotANumber = QStringLiteral("Je nutné zadávat pouze čísla nebo desetinnou čárku");

// Writes are traced with the state of the progress bar at that moment.
class TracingPort : public FakeLinkPort {
public:
    std::vector<std::string>* trace = nullptr;
    const QProgressBar* bar = nullptr;

    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        std::string bar_state = bar->isHidden() ? "hidden" : std::to_string(bar->value());
        trace->push_back(HexText(Bytes(buffer, buffer + count)) + " | bar " + bar_state);
        return FakeLinkPort::WriteBytes(buffer, count, written);
    }
};

class ParametersDialogTest : public ::testing::Test {
protected:
    std::vector<std::string> trace;
    std::vector<MessageBoxRequest> boxes;
    TracingPort line;
    std::unique_ptr<TForm_menu> dialog;

    void SetUp() override
    {
        reset_table_variables();
        link_set_port(&line);
        set_dest_address(1);
        set_source_address(0);
        SetMessageBoxHook([this](const MessageBoxRequest& box) {
            boxes.push_back(box);
            trace.push_back("box " + box.caption.toStdString() + ": " + box.text.toStdString());
            return int{QMessageBox::Ok};
        });
        dialog = std::make_unique<TForm_menu>([this](int ms) { trace.push_back("pause " + std::to_string(ms)); });
        line.trace = &trace;
        line.bar = dialog->bar_load;
    }
    void TearDown() override
    {
        dialog.reset();
        link_set_port(nullptr);
        SetMessageBoxHook({});
    }

    // Scripts the answers to both table reads (empty: no answer).
    void AnswerReads(const Bytes& limits, const Bytes& config)
    {
        line.answer(limits.empty() ? Bytes{} : data_answer(0, 1, limits));
        line.answer(config.empty() ? Bytes{} : data_answer(0, 1, config));
    }
    void Show()
    {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
    }
    void ClearTrace()
    {
        trace.clear();
        boxes.clear();
        line.events.clear();
    }
    int Writes() const { return static_cast<int>(line.writes().size()); }
    QString Edit(QLineEdit* edit) const { return edit->text(); }
    static QString Shown(float value) { return FormatFixedLocale(value, 10, 6); }
    int ConfigShown() const
    {
        const RadioGroup* by_bit[] = {dialog->rg_aout,      dialog->rg_out2,      dialog->rg_out1,
                                      dialog->rg_integrace, dialog->rg_in_funkce, dialog->rg_ain};
        int config = 0;
        for (int bit = 0; bit < 6; ++bit)
            config |= by_bit[bit]->ItemIndex() == 1 ? 1 << bit : 0;
        return config;
    }
};

TEST_F(ParametersDialogTest, LayoutTextsAndAccessibleNames)
{
    Show(); // lays the radio groups out
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Parametry ORBENA 52"));
    EXPECT_EQ(dialog->size(), QSize(586, 499));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_FALSE(dialog->windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint));

    // Left column: tag, description above the control, control beside the tag.
    struct Row {
        QLabel* tag;
        const char* tag_text;
        const char* description;
        QWidget* control;
    };
    const Row rows[] = {
        {dialog->lb_scale, "SCALE", "koeficient stupnice", dialog->ed_scale},
        {dialog->lb_dp, "DP", "desetinná tečka", dialog->cb_dp},
        {dialog->lb_filtr, "FILTR", "vstupní filtr", dialog->cb_filtr},
        {dialog->lb_sp_ala, "SP_ALA", "limita alarmu OUT 1", dialog->ed_sp_ala},
        {dialog->lb_hyster, "HYSTER", "hystereze limity OUT 1", dialog->ed_hyster},
        {dialog->lb_sp_suma, "SP_SUM", "limita alarmu OUT 2", dialog->ed_sp_suma},
    };
    int previous_top = -1;
    for (const Row& r : rows) {
        EXPECT_EQ(r.tag->text(), QString::fromUtf8(r.tag_text));
        EXPECT_TRUE(r.tag->font().bold());
        EXPECT_LT(r.tag->geometry().right(), r.control->x());
        EXPECT_GT(r.control->y(), previous_top);
        previous_top = r.control->y();
        const QString description = QString::fromUtf8(r.description);
        bool found = false;
        for (const QLabel* l : dialog->findChildren<QLabel*>())
            found |= l->text() == description && l->geometry().bottom() <= r.control->y() && l->x() == r.control->x() &&
                     !l->font().bold();
        EXPECT_TRUE(found) << r.description;
        // Screen readers get the tag and the description with the control,
        // and the tag as its label.
        EXPECT_EQ(r.control->accessibleName(), QString::fromUtf8(r.tag_text) + QStringLiteral(": ") + description);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(r.control);
        ASSERT_NE(a, nullptr);
        bool labelled = false;
        for (const auto& [other, relation] : a->relations(QAccessible::Label))
            labelled |= other->object() == r.tag;
        EXPECT_TRUE(labelled) << r.tag_text;
    }
    QStringList dp_items;
    for (int i = 0; i < dialog->cb_dp->count(); ++i)
        dp_items << dialog->cb_dp->itemText(i);
    EXPECT_EQ(dp_items.join(u'|'), QStringLiteral("000000.|00000.0|0000.00|000.000|00.0000|0.00000"));
    ASSERT_EQ(dialog->cb_filtr->count(), 2);
    EXPECT_EQ(dialog->cb_filtr->itemText(0), QStringLiteral("bez filtru"));
    EXPECT_EQ(dialog->cb_filtr->itemText(1), QStringLiteral("s filtrem"));

    // The six radio groups in Panel1, top to bottom, with bold captions.
    EXPECT_EQ(dialog->lb_config->text(), QStringLiteral("CONFIG"));
    const char* const groups[][3] = {
        {"Vstupní signál", "0..   20 mA", "4..   20 mA"},
        {"Vstupní signál", "Lineární vstupní signál", "Odmocněný vstupní signál"},
        {"Integrované množství", "za 1 minutu", "za 1 hodinu"},
        {"Výstup OUT 1", "Sepnutý při překročení", "Sepnutý při nedosažení"},
        {"Výstup OUT 2", "Trvalé sepnutí při překročení", "Časově omezené sepnutí"},
        {"Analogový výstup", "0..   20 mA", "4..   20 mA"},
    };
    const RadioGroup* in_order[] = {dialog->rg_ain,  dialog->rg_in_funkce, dialog->rg_integrace,
                                    dialog->rg_out1, dialog->rg_out2,      dialog->rg_aout};
    previous_top = -1;
    for (int g = 0; g < 6; ++g) {
        const RadioGroup* group = in_order[g];
        EXPECT_EQ(group->parentWidget(), dialog->Panel1);
        EXPECT_GT(group->y(), previous_top);
        previous_top = group->y();
        EXPECT_EQ(group->title(), QString::fromUtf8(groups[g][0]));
        EXPECT_TRUE(group->font().bold());
        ASSERT_EQ(group->Count(), 2);
        EXPECT_EQ(group->Item(0)->text(), QString::fromUtf8(groups[g][1]));
        EXPECT_EQ(group->Item(1)->text(), QString::fromUtf8(groups[g][2]));
        EXPECT_FALSE(group->Item(0)->font().bold()) << "items in plain type";
    }

    EXPECT_EQ(dialog->tl_read->text(), QStringLiteral("Čtení"));
    EXPECT_EQ(dialog->tl_write->text(), QStringLiteral("Zápis"));
    EXPECT_EQ(dialog->tl_exit->text(), QStringLiteral("Zpět"));
    EXPECT_TRUE(dialog->tl_exit->isDefault());
    EXPECT_TRUE(dialog->tl_read->font().bold());
    EXPECT_EQ(dialog->bar_load->minimum(), 0);
    EXPECT_EQ(dialog->bar_load->maximum(), 100);
    EXPECT_TRUE(dialog->bar_load->isHidden());
    EXPECT_LT(dialog->ed_sp_suma->geometry().bottom(), dialog->bar_load->y());
    EXPECT_LT(dialog->bar_load->geometry().bottom(), dialog->tl_read->y());

    // Nothing is cut off: every text fits its control, every control the
    // dialog.
    const QRect client(QPoint(0, 0), dialog->size());
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        // The dialog's own controls, not the parts Qt builds inside them.
        QWidget* parent = w->parentWidget();
        if (parent != dialog.get() && parent != dialog->Panel1 && !qobject_cast<RadioGroup*>(parent))
            continue;
        const QRect on_dialog(w->mapTo(dialog.get(), QPoint(0, 0)), w->size());
        EXPECT_TRUE(client.contains(on_dialog)) << w->metaObject()->className();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        }
        if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            EXPECT_LE(radio->sizeHint().width(), radio->width()) << radio->text().toStdString();
        }
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 8, button->width())
                << button->text().toStdString();
        }
        if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(group->minimumSizeHint().height(), group->height()) << group->title().toStdString();
            EXPECT_LE(group->minimumSizeHint().width(), group->width()) << group->title().toStdString();
        }
    }
}

TEST_F(ParametersDialogTest, EachShowingReadsBothTablesBeforeTheUserCanAct)
{
    // SCALE 250.5, SP_ALA -12.25, HYSTER 0.1; SP_SUM 2^40, DP 3, CONFIG 0x2A, FILTR 1.
    AnswerReads(Concat({FloatBytes(250.5f), FloatBytes(-12.25f), FloatBytes(0.1f)}),
                Concat({FloatBytes(1099511627776.0f), hex("03 2A 01 00")}));
    Show();
    const std::vector<std::string> expected = {std::string(kReadLimits) + " | bar 30", "pause 20",
                                               std::string(kReadConfig) + " | bar 65", "pause 20"};
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(dialog->bar_load->isHidden());
    EXPECT_EQ(dialog->bar_load->value(), 0);
    EXPECT_EQ(Edit(dialog->ed_scale), Typed("250,500000"));
    EXPECT_EQ(Edit(dialog->ed_sp_ala), Typed("-12,250000"));
    EXPECT_EQ(Edit(dialog->ed_hyster), Typed("0,100000"));
    EXPECT_EQ(Edit(dialog->ed_sp_suma), Typed("1,099511628E12"));
    EXPECT_EQ(dialog->cb_dp->currentText(), QStringLiteral("000.000"));
    EXPECT_EQ(dialog->cb_filtr->currentText(), QStringLiteral("s filtrem"));
    EXPECT_EQ(ConfigShown(), 0x2A);
    EXPECT_EQ(dialog->rg_out2->ItemIndex(), 1);
    EXPECT_EQ(dialog->rg_aout->ItemIndex(), 0);

    // "Čtení" reads again; a second showing too.
    ClearTrace();
    AnswerReads(Concat({FloatBytes(2.0f), FloatBytes(80.0f), FloatBytes(0.5f)}),
                Concat({FloatBytes(100.0f), hex("00 00 00 00")}));
    QTest::mouseClick(dialog->tl_read, Qt::LeftButton);
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(Edit(dialog->ed_scale), Typed("2,000000"));
    EXPECT_EQ(ConfigShown(), 0);
    dialog->hide();
    ClearTrace();
    AnswerReads(Concat({FloatBytes(3.0f), FloatBytes(80.0f), FloatBytes(0.5f)}),
                Concat({FloatBytes(100.0f), hex("00 00 00 00")}));
    Show();
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(Edit(dialog->ed_scale), Typed("3,000000"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ParametersDialogTest, AFailedReadIsReportedOnceAndTheControlsShowWhatTheVariablesHold)
{
    struct Case {
        const char* name;
        bool limits_answer, config_answer;
    };
    const Case cases[] = {
        {"limits table lost", false, true}, {"configuration table lost", true, false}, {"both lost", false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // What an earlier reading left.
        SCALE = 5.0f;
        SP_ALA = 6.0f;
        HYSTER = 7.0f;
        SP_SUM = 8.0f;
        DP = 2;
        CONFIG = 0x01;
        FILTR = 0;
        ClearTrace();
        AnswerReads(c.limits_answer ? Concat({FloatBytes(1.5f), FloatBytes(2.5f), FloatBytes(3.5f)}) : Bytes{},
                    c.config_answer ? Concat({FloatBytes(4.5f), hex("05 10 01 00")}) : Bytes{});
        QTest::mouseClick(dialog->tl_read, Qt::LeftButton);

        // Both tables are requested, then one box, then the controls.
        std::vector<std::string> requests;
        for (const std::string& t : trace)
            if (t.rfind("68 ", 0) == 0)
                requests.push_back(t.substr(0, t.find(" |")));
        EXPECT_EQ(requests, (std::vector<std::string>{kReadLimits, kReadConfig}));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(trace.back(), "box Komunikace: Chyba při čtení");
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes[0].owner, dialog.get());
        EXPECT_TRUE(dialog->bar_load->isHidden());

        EXPECT_EQ(Edit(dialog->ed_scale), Shown(c.limits_answer ? 1.5f : 5.0f));
        EXPECT_EQ(Edit(dialog->ed_hyster), Shown(c.limits_answer ? 3.5f : 7.0f));
        EXPECT_EQ(Edit(dialog->ed_sp_suma), Shown(c.config_answer ? 4.5f : 8.0f));
        EXPECT_EQ(dialog->cb_dp->currentIndex(), c.config_answer ? 5 : 2);
        EXPECT_EQ(dialog->cb_filtr->currentIndex(), c.config_answer ? 1 : 0);
        EXPECT_EQ(ConfigShown(), c.config_answer ? 0x10 : 0x01);
    }

    // At program start with no instrument: zeros everywhere, first items.
    reset_table_variables();
    ClearTrace();
    Show();
    EXPECT_EQ(boxes.size(), 1u);
    for (QLineEdit* e : {dialog->ed_scale, dialog->ed_sp_ala, dialog->ed_hyster, dialog->ed_sp_suma})
        EXPECT_EQ(Edit(e), Typed("0,000000"));
    EXPECT_EQ(dialog->cb_dp->currentText(), QStringLiteral("000000."));
    EXPECT_EQ(dialog->cb_filtr->currentText(), QStringLiteral("bez filtru"));
    EXPECT_EQ(ConfigShown(), 0);
    EXPECT_EQ(dialog->rg_ain->ItemIndex(), 0);
}

TEST_F(ParametersDialogTest, ZapisWritesBothTablesByteExactWithPauses)
{
    Show();
    ClearTrace();
    dialog->ed_scale->setText(Typed("2"));
    dialog->ed_sp_ala->setText(Typed(" 8E1 "));
    dialog->ed_hyster->setText(Typed("0,5"));
    dialog->ed_sp_suma->setText(Typed("1,0e+2"));
    dialog->cb_dp->setCurrentIndex(1);
    dialog->cb_filtr->setCurrentIndex(1);
    dialog->rg_aout->SetItemIndex(1);
    dialog->rg_out1->SetItemIndex(1);
    line.answer(kAck);
    line.answer(kAck);
    QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
    const std::vector<std::string> expected = {
        "68 11 11 68 01 00 63 02 01 00 00 00 40 00 00 A0 42 00 00 00 3F C8 16 | bar 30", "pause 100",
        "68 0D 0D 68 01 00 63 02 02 00 00 C8 42 01 05 01 00 79 16 | bar 65", "pause 100"};
    EXPECT_EQ(trace, expected);
    EXPECT_TRUE(dialog->bar_load->isHidden());
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
    EXPECT_EQ(Edit(dialog->ed_sp_ala), Typed(" 8E1 ")) << "nothing is read back";
}

TEST_F(ParametersDialogTest, NoSelectionAndHighConfigBitsAreSentAsTheyAreTaken)
{
    // DP 7 and FILTR 3 have no item; CONFIG comes with bits 6 and 7 set.
    AnswerReads(Concat({FloatBytes(1.0f), FloatBytes(1.0f), FloatBytes(1.0f)}),
                Concat({FloatBytes(1.0f), hex("07 FF 03 00")}));
    Show();
    EXPECT_EQ(dialog->cb_dp->currentIndex(), -1);
    EXPECT_EQ(dialog->cb_filtr->currentIndex(), -1);
    EXPECT_EQ(ConfigShown(), 0x3F);
    ClearTrace();
    line.answer(kAck);
    line.answer(kAck);
    QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
    ASSERT_EQ(line.writes().size(), 2u);
    // SP_SUM 1.0, DP 255, CONFIG 0x3F, FILTR -1.
    EXPECT_EQ(HexText(line.writes()[1]), "68 0D 0D 68 01 00 63 02 02 00 00 80 3F FF 3F FF FF 63 16");
    EXPECT_EQ(DP, 255);
    EXPECT_EQ(FILTR, -1);

    // A negative FILTR from the instrument has no item either.
    AnswerReads(Concat({FloatBytes(1.0f), FloatBytes(1.0f), FloatBytes(1.0f)}),
                Concat({FloatBytes(1.0f), hex("00 00 FE FF")}));
    QTest::mouseClick(dialog->tl_read, Qt::LeftButton);
    EXPECT_EQ(dialog->cb_filtr->currentIndex(), -1);
    EXPECT_EQ(dialog->cb_dp->currentIndex(), 0);
}

TEST_F(ParametersDialogTest, AFailedWriteIsReportedOnceAndTheOtherTableIsStillWritten)
{
    struct Case {
        const char* name;
        bool limits_acked, config_acked;
    };
    const Case cases[] = {
        {"limits refused", false, true}, {"configuration refused", true, false}, {"both refused", false, false}};
    Show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClearTrace();
        // A refusal is read twice without sending again.
        for (const bool acked : {c.limits_acked, c.config_acked}) {
            line.answer(acked ? kAck : kRefusal);
            if (!acked)
                line.answer(kRefusal);
        }
        QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
        ASSERT_EQ(line.writes().size(), 2u);
        EXPECT_EQ(line.writes()[0][8], 1);
        EXPECT_EQ(line.writes()[1][8], 2);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(trace.back(), "box Komunikace: Chyba při zápisu");
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(dialog->bar_load->isHidden());
        EXPECT_TRUE(dialog->isVisible());
    }
}

TEST_F(ParametersDialogTest, ABadNumberIsReportedResetAndNothingIsSent)
{
    const char* const bad[] = {"", "abc", "1e39", "-1e39", "1 000", "INF", "1e", "0x10"};
    Show();
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        ClearTrace();
        HYSTER = 9.0f;
        dialog->ed_hyster->setText(QString::fromLatin1(text));
        dialog->tl_write->setFocus();
        QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
        EXPECT_EQ(Writes(), 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, QStringLiteral("CHYBA"));
        EXPECT_EQ(boxes[0].text, kNotANumber);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(Edit(dialog->ed_hyster), QStringLiteral("1"));
        EXPECT_TRUE(dialog->ed_hyster->hasFocus());
        EXPECT_EQ(HYSTER, 0.0f);
        EXPECT_TRUE(dialog->bar_load->isHidden());
    }
    // The separator of the other notation is refused too.
    ClearTrace();
    const bool comma = QLocale::system().decimalPoint() == QStringLiteral(",");
    dialog->ed_hyster->setText(comma ? QStringLiteral("2.5") : QStringLiteral("2,5"));
    QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Writes(), 0);
}

TEST_F(ParametersDialogTest, TwoBadNumbersAreReportedInOrderAndTheFirstKeepsTheFocus)
{
    Show();
    ClearTrace();
    dialog->ed_scale->setText(Typed("3,25"));
    dialog->ed_sp_ala->setText(QStringLiteral("abc"));
    dialog->ed_hyster->setText(Typed("-0,5"));
    dialog->ed_sp_suma->setText(QStringLiteral("1e39"));
    dialog->cb_dp->setCurrentIndex(4);
    dialog->cb_filtr->setCurrentIndex(1);
    dialog->rg_ain->SetItemIndex(1);
    SP_ALA = 11.0f;
    SP_SUM = 12.0f;
    EXPECT_EQ(dialog->TakeParams(), -1);
    const std::vector<std::string> expected = {"box CHYBA: " + kNotANumber.toStdString(),
                                               "box CHYBA: " + kNotANumber.toStdString()};
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(Edit(dialog->ed_sp_ala), QStringLiteral("1"));
    EXPECT_EQ(Edit(dialog->ed_sp_suma), QStringLiteral("1"));
    EXPECT_EQ(Edit(dialog->ed_scale), Typed("3,25"));
    EXPECT_TRUE(dialog->ed_sp_ala->hasFocus());
    // Everything is taken, the bad numbers as 0.
    EXPECT_EQ(SCALE, 3.25f);
    EXPECT_EQ(SP_ALA, 0.0f);
    EXPECT_EQ(HYSTER, -0.5f);
    EXPECT_EQ(SP_SUM, 0.0f);
    EXPECT_EQ(DP, 4);
    EXPECT_EQ(FILTR, 1);
    EXPECT_EQ(CONFIG, 0x20);

    // A later failed reading shows the 0 a bad entry left.
    ClearTrace();
    QTest::mouseClick(dialog->tl_read, Qt::LeftButton);
    EXPECT_EQ(Edit(dialog->ed_sp_ala), Typed("0,000000"));
    EXPECT_EQ(Edit(dialog->ed_scale), Typed("3,250000"));
}

TEST_F(ParametersDialogTest, EnterInAnyControlClosesThroughZpetWithoutWriting)
{
    std::vector<QWidget*> controls = {dialog->ed_scale,  dialog->cb_dp,      dialog->cb_filtr, dialog->ed_sp_ala,
                                      dialog->ed_hyster, dialog->ed_sp_suma, dialog->tl_exit};
    for (const RadioGroup* g : dialog->findChildren<RadioGroup*>())
        for (int i = 0; i < g->Count(); ++i)
            controls.push_back(g->Item(i));
    ASSERT_EQ(controls.size(), 19u);
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->objectName().toStdString() + " " + control->metaObject()->className());
        Show();
        dialog->setResult(0);
        ClearTrace();
        control->setFocus();
        ASSERT_TRUE(control->hasFocus());
        QTest::keyClick(control, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_EQ(Writes(), 0);
    }
}

TEST_F(ParametersDialogTest, TheKeyboardAloneReachesEveryControlInOrder)
{
    Show();
    ClearTrace();
    dialog->ed_scale->setFocus();
    std::vector<QWidget*> visited = {QApplication::focusWidget()};
    for (int i = 0; i < 13; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    // Each radio group is one stop (its chosen item); arrows move within it.
    const std::vector<QWidget*> expected = {dialog->ed_scale,
                                            dialog->cb_dp,
                                            dialog->cb_filtr,
                                            dialog->ed_sp_ala,
                                            dialog->ed_hyster,
                                            dialog->ed_sp_suma,
                                            dialog->rg_ain->Item(0),
                                            dialog->rg_in_funkce->Item(0),
                                            dialog->rg_integrace->Item(0),
                                            dialog->rg_out1->Item(0),
                                            dialog->rg_out2->Item(0),
                                            dialog->rg_aout->Item(0),
                                            dialog->tl_read,
                                            dialog->tl_write};
    EXPECT_EQ(visited, expected);

    // Space on "Zápis" writes; an arrow key changes a radio group's choice.
    dialog->rg_out2->Item(0)->setFocus();
    QTest::keyClick(dialog->rg_out2->Item(0), Qt::Key_Down);
    EXPECT_EQ(dialog->rg_out2->ItemIndex(), 1);
    line.answer(kAck);
    line.answer(kAck);
    dialog->tl_write->setFocus();
    QTest::keyClick(dialog->tl_write, Qt::Key_Space);
    ASSERT_EQ(line.writes().size(), 2u);
    EXPECT_EQ(line.writes()[1][14], 0x02) << "CONFIG with the OUT 2 bit";
    EXPECT_TRUE(dialog->isVisible());
}

} // namespace

// The parameters dialog over the real link against a scripted port: frames in
// order with the pauses and the progress bar between them, the controls, the
// entry checks, Enter.
#include "../link/fake_link_port.h"

#include "DeviceTables.h"
#include "FixedFormatQt.h"
#include "Menu_mod.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"
#include "RadioGroup.h"

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
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string HexText(const std::uint8_t* bytes, std::size_t count)
{
    std::string s;
    char part[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : " %02X", bytes[i]);
        s += part;
    }
    return s;
}

// "2,5" with the system's decimal separator.
QString Typed(const char* text)
{
    return QString::fromLatin1(text).replace(QLatin1Char(','), QLocale::system().decimalPoint());
}

Bytes Table(std::initializer_list<float> numbers, const char* tail = "")
{
    Bytes b;
    for (float f : numbers) {
        std::uint8_t raw[4];
        std::memcpy(raw, &f, 4);
        b.insert(b.end(), raw, raw + 4);
    }
    for (std::uint8_t x : hex(tail))
        b.push_back(x);
    return b;
}

const Bytes kAck = hex("10 00 01 00 01 16");
const Bytes kRefusal = hex("10 00 01 01 02 16");
const std::string kReadLimits = "68 05 05 68 01 00 6C 01 01 6F 16"; // to 1 from 0
const std::string kReadConfig = "68 05 05 68 01 00 6C 01 02 70 16";
const std::string kNotANumber = "box CHYBA: Je nutné zadávat pouze čísla nebo desetinnou čárku";

// Every write is traced with the progress bar's state at that moment.
class TracingPort : public FakeLinkPort {
public:
    std::vector<std::string>* trace = nullptr;
    const QProgressBar* bar = nullptr;
    std::uint8_t WriteBytes(const std::uint8_t* buffer, std::uint32_t count, std::uint32_t& written) override
    {
        trace->push_back(HexText(buffer, count) + " | bar " +
                         (bar->isHidden() ? std::string("hidden") : std::to_string(bar->value())));
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
    void Show()
    {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        Clear();
    }
    void Clear()
    {
        trace.clear();
        boxes.clear();
        line.events.clear();
    }
    static QString Shown(float value) { return FormatFixedLocale(value, 10, 6); }
    std::vector<RadioGroup*> GroupsByBit() const
    {
        return {dialog->rg_aout,      dialog->rg_out2,      dialog->rg_out1,
                dialog->rg_integrace, dialog->rg_in_funkce, dialog->rg_ain};
    }
    int ConfigShown() const
    {
        int config = 0;
        for (int bit = 0; bit < 6; ++bit)
            config |= GroupsByBit()[static_cast<std::size_t>(bit)]->ItemIndex() == 1 ? 1 << bit : 0;
        return config;
    }
};

TEST_F(ParametersDialogTest, CaptionsAndTextsInTheirOrder)
{
    Show(); // lays the radio groups out
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Parametry ORBENA 52"));
    EXPECT_EQ(dialog->size(), QSize(586, 499));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_TRUE(dialog->tl_exit->isDefault());
    auto bold = [](const QWidget* w) { return w->font().bold() ? QStringLiteral("*") : QString(); };
    QStringList texts; // "*" marks bold type
    for (const QLabel* l : dialog->findChildren<QLabel*>())
        texts << bold(l) + l->text();
    for (const RadioGroup* g : {dialog->rg_ain, dialog->rg_in_funkce, dialog->rg_integrace, dialog->rg_out1,
                                dialog->rg_out2, dialog->rg_aout})
        texts << QStringLiteral("[%1%2 %3%4|%5%6]")
                     .arg(bold(g), g->title(), bold(g->Item(0)), g->Item(0)->text(), bold(g->Item(1)),
                          g->Item(1)->text());
    for (const QComboBox* c : {dialog->cb_dp, dialog->cb_filtr})
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    texts << dialog->tl_read->text() << dialog->tl_write->text() << dialog->tl_exit->text();
    EXPECT_EQ(texts.join(u'/').toStdString(),
              "koeficient stupnice/*SCALE/desetinná tečka/*DP/vstupní filtr/*FILTR/limita alarmu OUT 1/*SP_ALA/"
              "hystereze limity OUT 1/*HYSTER/limita alarmu OUT 2/*SP_SUM/*CONFIG/"
              "[*Vstupní signál 0..   20 mA|4..   20 mA]/"
              "[*Vstupní signál Lineární vstupní signál|Odmocněný vstupní signál]/"
              "[*Integrované množství za 1 minutu|za 1 hodinu]/"
              "[*Výstup OUT 1 Sepnutý při překročení|Sepnutý při nedosažení]/"
              "[*Výstup OUT 2 Trvalé sepnutí při překročení|Časově omezené sepnutí]/"
              "[*Analogový výstup 0..   20 mA|4..   20 mA]/"
              "000000./00000.0/0000.00/000.000/00.0000/0.00000/bez filtru/s filtrem/Čtení/Zápis/Zpět");
}

TEST_F(ParametersDialogTest, ReadingAsksForBothTablesAndShowsWhatTheVariablesHold)
{
    const std::vector<std::string> reads = {kReadLimits + " | bar 30", "pause 20", kReadConfig + " | bar 65",
                                            "pause 20"};
    const Bytes limits = Table({250.5f, -12.25f, 0.1f});
    const Bytes config = Table({1099511627776.0f}, "03 2A 01 00"); // 2^40, DP 3, CONFIG 0x2A, FILTR 1
    struct Case {
        const char* name;
        bool limits_answered, config_answered;
    };
    const Case cases[] = {{"no instrument at start, on showing", false, false},
                          {"both", true, true},
                          {"limits lost", false, true},
                          {"configuration lost", true, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line.answer(c.limits_answered ? data_answer(0, 1, limits) : Bytes{});
        line.answer(c.config_answered ? data_answer(0, 1, config) : Bytes{});
        Clear();
        if (&c == cases)
            dialog->show(); // every showing reads
        else
            QTest::mouseClick(dialog->tl_read, Qt::LeftButton);
        std::vector<std::string> expected = reads;
        if (!c.limits_answered || !c.config_answered)
            expected.push_back("box Komunikace: Chyba při čtení");
        EXPECT_EQ(trace, expected);
        for (const MessageBoxRequest& box : boxes)
            EXPECT_EQ(box.icon, QMessageBox::Critical);
        EXPECT_TRUE(dialog->bar_load->isHidden());
        EXPECT_EQ(dialog->bar_load->value(), 0);

        const bool fresh = &c == cases;
        EXPECT_EQ(dialog->ed_scale->text(), c.limits_answered ? Typed("250,500000") : Shown(fresh ? 0.0f : 5.0f));
        EXPECT_EQ(dialog->ed_sp_ala->text(), c.limits_answered ? Typed("-12,250000") : Shown(fresh ? 0.0f : 6.0f));
        EXPECT_EQ(dialog->ed_hyster->text(), c.limits_answered ? Typed("0,100000") : Shown(fresh ? 0.0f : 7.0f));
        EXPECT_EQ(dialog->ed_sp_suma->text(), c.config_answered ? Typed("1,099511628E12") : Shown(fresh ? 0.0f : 8.0f));
        EXPECT_EQ(dialog->cb_dp->currentText(), c.config_answered ? "000.000" : fresh ? "000000." : "0.00000");
        EXPECT_EQ(dialog->cb_filtr->currentText(), c.config_answered ? "s filtrem" : "bez filtru");
        EXPECT_EQ(ConfigShown(), c.config_answered ? 0x2A : fresh ? 0 : 0x10);
        // What an earlier reading left, for the next case.
        SCALE = 5.0f, SP_ALA = 6.0f, HYSTER = 7.0f, SP_SUM = 8.0f, DP = 5, CONFIG = 0x10, FILTR = 0;
    }
}

TEST_F(ParametersDialogTest, WritingSendsBothTablesAsTakenAndReportsAFailureOnce)
{
    const std::string limits = "68 11 11 68 01 00 63 02 01 00 00 00 40 00 00 A0 42 00 00 00 3F C8 16";
    struct Case {
        const char* name;
        std::function<void(TForm_menu&)> enter;
        std::vector<Bytes> answers;
        std::string config_frame;
        bool fails;
    };
    auto typed = [this](TForm_menu& d) {
        d.ed_scale->setText(Typed("2"));
        d.ed_sp_ala->setText(Typed(" 8E1 "));
        d.ed_hyster->setText(Typed("0,5"));
        d.ed_sp_suma->setText(Typed("1,0e+2"));
        d.cb_dp->setCurrentIndex(1);
        d.cb_filtr->setCurrentIndex(1);
        for (int bit = 0; bit < 6; ++bit) // CONFIG 0x05
            GroupsByBit()[static_cast<std::size_t>(bit)]->SetItemIndex((0x05 >> bit) & 1);
    };
    // DP 7 and FILTR 3 have no item: no selection, sent as 255 and -1; CONFIG
    // bits 6 and 7 from the instrument are not sent.
    auto out_of_range = [&](TForm_menu& d) {
        typed(d);
        SP_SUM = 1.0f, DP = 7, FILTR = 3, CONFIG = 0xFF;
        d.ShowParams();
    };
    const std::string typed_config = "68 0D 0D 68 01 00 63 02 02 00 00 C8 42 01 05 01 00 79 16";
    const Case cases[] = {
        {"typed values", typed, {kAck, kAck}, typed_config, false},
        {"no selection, high bits",
         out_of_range,
         {kAck, kAck},
         "68 0D 0D 68 01 00 63 02 02 00 00 80 3F FF 3F FF FF 63 16",
         false},
        // A refusal is read a second time without sending again.
        {"limits refused", typed, {kRefusal, kRefusal, kAck}, typed_config, true},
        {"configuration refused", typed, {kAck, kRefusal, kRefusal}, typed_config, true},
    };
    Show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.enter(*dialog);
        Clear();
        for (const Bytes& a : c.answers)
            line.answer(a);
        QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
        std::vector<std::string> expected = {limits + " | bar 30", "pause 100", c.config_frame + " | bar 65",
                                             "pause 100"};
        if (c.fails)
            expected.push_back("box Komunikace: Chyba při zápisu");
        EXPECT_EQ(trace, expected);
        EXPECT_TRUE(dialog->bar_load->isHidden());
        EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
        EXPECT_EQ(line.read_sizes().size(), c.answers.size()) << "nothing is read back";
    }
}

TEST_F(ParametersDialogTest, EachBadNumberIsReportedInOrderAndNothingIsSent)
{
    Show();
    const char* const bad[] = {"", "abc", "1e39", "-1e39", "1 000", "INF", "0x10"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        Clear();
        HYSTER = 9.0f;
        dialog->ed_hyster->setText(QString::fromLatin1(text));
        QTest::mouseClick(dialog->tl_write, Qt::LeftButton);
        EXPECT_EQ(trace, std::vector<std::string>{kNotANumber});
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(dialog->ed_hyster->text(), QStringLiteral("1"));
        EXPECT_TRUE(dialog->ed_hyster->hasFocus());
        EXPECT_EQ(HYSTER, 0.0f);
    }

    // Two bad edits: two boxes, both reset, the focus ends on the later one;
    // the rest is taken all the same.
    Clear();
    dialog->ed_scale->setText(Typed("3,25"));
    dialog->ed_sp_ala->setText(QLocale::system().decimalPoint() == u',' ? "2.5" : "2,5");
    dialog->ed_hyster->setText(Typed("-0,5"));
    dialog->ed_sp_suma->setText(QStringLiteral("1e39"));
    dialog->cb_dp->setCurrentIndex(4);
    dialog->rg_ain->SetItemIndex(1);
    SP_SUM = 12.0f;
    dialog->tl_write->setFocus();
    QTest::keyClick(dialog->tl_write, Qt::Key_Space);
    EXPECT_EQ(trace, (std::vector<std::string>{kNotANumber, kNotANumber}));
    EXPECT_EQ(dialog->ed_sp_ala->text() + dialog->ed_sp_suma->text(), QStringLiteral("11"));
    EXPECT_TRUE(dialog->ed_sp_suma->hasFocus());
    EXPECT_EQ(SCALE, 3.25f);
    EXPECT_EQ(SP_ALA, 0.0f);
    EXPECT_EQ(HYSTER, -0.5f);
    EXPECT_EQ(SP_SUM, 0.0f);
    EXPECT_EQ(DP, 4);
    EXPECT_EQ(CONFIG, 0x20);
    // A later failed reading shows the 0 a bad entry left.
    QTest::mouseClick(dialog->tl_read, Qt::LeftButton);
    EXPECT_EQ(dialog->ed_sp_ala->text(), Typed("0,000000"));
}

TEST_F(ParametersDialogTest, EnterInAnyControlClosesThroughZpetWithoutWriting)
{
    std::vector<QWidget*> controls = {dialog->ed_scale,  dialog->cb_dp,      dialog->cb_filtr, dialog->ed_sp_ala,
                                      dialog->ed_hyster, dialog->ed_sp_suma, dialog->tl_exit};
    for (const RadioGroup* g : GroupsByBit())
        controls.insert(controls.end(), {g->Item(0), g->Item(1)});
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->metaObject()->className());
        Show();
        dialog->setResult(0);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), QDialog::Accepted);
        EXPECT_TRUE(line.writes().empty());
    }
}

} // namespace

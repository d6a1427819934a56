// The communication settings window: the bus search driven tick by tick and
// by its real timer, Storno with and without changes, Escape, and closing.
#include "FakeSerial.h"
#include "ProgramFixture.h"

#include "Protokol_spol.h"
#include "Unitport.h"

#include <QAccessible>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <set>

namespace {

// A bus with stations that acknowledge the status probe at their addresses,
// and a log of what is done to the port.
struct Bus {
    std::set<int> stations;
    std::set<std::string> refused_paths;
    std::vector<std::string> log;
};

class BusSerial : public FakeSerial {
public:
    BusSerial(std::shared_ptr<FakeLine> line, std::shared_ptr<Bus> bus)
        : FakeSerial(line), line_(std::move(line)), bus_(std::move(bus))
    {}
    bool Open(const std::string& path) override
    {
        if (bus_->refused_paths.count(path) != 0)
            return false;
        const bool ok = FakeSerial::Open(path);
        if (ok)
            bus_->log.push_back("open " + path);
        return ok;
    }
    void Close() override
    {
        bus_->log.push_back("close");
        FakeSerial::Close();
    }
    void SetLineFormat(std::uint32_t baud) override { bus_->log.push_back("format " + std::to_string(baud)); }
    void SetSpeed(std::uint32_t baud) override { bus_->log.push_back("speed " + std::to_string(baud)); }
    bool ApplyLineState() override
    {
        bus_->log.push_back("apply");
        return true;
    }
    bool Write(const std::uint8_t* buffer, std::size_t count, std::size_t& written) override
    {
        const bool ok = FakeSerial::Write(buffer, count, written);
        // 10 DA SA 69 FCS 16 to a station: 10 SA DA 00 FCS 16.
        if (ok && count == 6 && buffer[0] == 0x10 && buffer[3] == 0x69 && bus_->stations.count(buffer[1]) != 0) {
            const std::uint8_t fcs = static_cast<std::uint8_t>(buffer[2] + buffer[1]);
            line_->pending.insert(line_->pending.end(), {0x10, buffer[2], buffer[1], 0x00, fcs, 0x16});
        }
        return ok;
    }

private:
    std::shared_ptr<FakeLine> line_;
    std::shared_ptr<Bus> bus_;
};

std::vector<std::uint8_t> ProbeFrame(int da, int sa)
{
    const auto fcs = static_cast<std::uint8_t>(da + sa + 0x69);
    return {0x10, static_cast<std::uint8_t>(da), static_cast<std::uint8_t>(sa), 0x69, fcs, 0x16};
}

class PortDialogTest : public ProgramFixture {
protected:
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    std::shared_ptr<Bus> bus = std::make_shared<Bus>();

    void StartWith(const QByteArray& ini = {})
    {
        if (!ini.isEmpty())
            WriteIni(ini);
        CreateProgramWindows(Folder(), std::make_unique<BusSerial>(line, bus));
    }
    void SetUp() override
    {
        ProgramFixture::SetUp();
        StartWith("[ADRESA]\nDA=0\nSA=0\n[PORT]\nCOM=1\nBAUDRATE=9600\n");
    }
    void TearDown() override
    {
        if (port != nullptr)
            port->Timer1->stop();
        ProgramFixture::TearDown();
    }
    // A choice in a list as the user makes it (the list's activation).
    static void Choose(QComboBox* list, const QString& text)
    {
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        list->setCurrentIndex(index);
        Q_EMIT list->activated(index);
    }
    // The address cell found through the table's own headers.
    static QString Cell(const QString& row_header, const QString& column_header)
    {
        int row = -1;
        int column = -1;
        for (int r = 0; r < port->str_tab->rowCount(); ++r)
            if (port->str_tab->verticalHeaderItem(r)->text() == row_header)
                row = r;
        for (int c = 0; c < port->str_tab->columnCount(); ++c)
            if (port->str_tab->horizontalHeaderItem(c)->text() == column_header)
                column = c;
        if (row < 0 || column < 0)
            return QStringLiteral("<no such cell>");
        return port->str_tab->item(row, column)->text();
    }
    std::vector<std::vector<std::uint8_t>> Probes() const
    {
        std::vector<std::vector<std::uint8_t>> probes;
        for (const auto& frame : line->written)
            if (frame.size() == 6 && frame[3] == 0x69)
                probes.push_back(frame);
        return probes;
    }
    // Enabled state of OK, Storno, the four lists, "Najít adresy", "Přerušit".
    static std::vector<bool> Controls()
    {
        return {port->tl_ok->isEnabled(),       port->tl_cancel->isEnabled(),  port->cb_com->isEnabled(),
                port->cb_baudrate->isEnabled(), port->cb_da->isEnabled(),      port->cb_sa->isEnabled(),
                port->tl_najit->isEnabled(),    port->tl_prerusit->isEnabled()};
    }
    const std::vector<bool> kIdle = {true, true, true, true, true, true, true, false};
    const std::vector<bool> kSearching = {false, false, false, false, false, false, true, true};
};

TEST_F(PortDialogTest, TheSearchProbesEveryAddressOnceAndShowsWhoAnswered)
{
    struct Case {
        const char* name;
        std::set<int> stations;
        int da, sa;
    };
    const Case cases[] = {
        {"one instrument at 5", {5}, 0, 0},
        {"instruments at 0 and 126, other addresses chosen", {0, 126}, 9, 3},
        {"the chosen instrument answers too", {9, 64}, 9, 126},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bus->stations = c.stations;
        port->show();
        Choose(port->cb_da, QString::number(c.da));
        Choose(port->cb_sa, QString::number(c.sa));
        line->written.clear();

        port->tl_najit->click();
        EXPECT_EQ(Controls(), kSearching);
        for (int a = 0; a < Tport::kSearchEnd; ++a) {
            port->Timer1Timer();
            ASSERT_EQ(line->written.size(), static_cast<std::size_t>(a + 1));
            EXPECT_EQ(line->written.back(), ProbeFrame(a, c.sa)) << "probe " << a;
            EXPECT_EQ(get_dest_address(), c.da) << "destination after probe " << a;
            EXPECT_EQ(port->str_tab->currentItem()->text(), port->AddressCellText(a));
            const bool answered = c.stations.count(a) != 0;
            EXPECT_EQ(port->AddressCellText(a), answered ? QString::number(a) : QStringLiteral("*")) << a;
            if (a > 0 && c.stations.count(a - 1) == 0) {
                EXPECT_EQ(port->AddressCellText(a - 1), QStringLiteral(" ")) << "the '*' moves on from " << a - 1;
            }
        }
        EXPECT_FALSE(port->Searching()) << "the search ends by itself after address 127";
        EXPECT_EQ(Controls(), kIdle);
        EXPECT_EQ(port->cb_da->currentText(), QString::number(c.da));
        EXPECT_EQ(port->dest_address, c.da);
        for (int a = 0; a < 127; ++a)
            EXPECT_EQ(port->AddressCellText(a), c.stations.count(a) != 0 ? QString::number(a) : QStringLiteral(" "))
                << a;
        EXPECT_EQ(Cell(QStringLiteral("7x"), QStringLiteral("xF")), QStringLiteral("*"));
        port->accept();
    }
    // Read through the headers, as the user reads the table.
    EXPECT_EQ(Cell(QStringLiteral("0x"), QStringLiteral("x9")), QStringLiteral("9"));
    EXPECT_EQ(Cell(QStringLiteral("4x"), QStringLiteral("x0")), QStringLiteral("64"));
    EXPECT_EQ(Cell(QStringLiteral("0x"), QStringLiteral("x5")), QStringLiteral(" "));

    // A screen reader gets the same: the cell's text and its two headers.
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(port->str_tab);
    ASSERT_TRUE(table != nullptr && table->tableInterface() != nullptr);
    QAccessibleInterface* cell = table->tableInterface()->cellAt(4, 0);
    ASSERT_TRUE(cell != nullptr && cell->tableCellInterface() != nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), QStringLiteral("64"));
    const auto columns = cell->tableCellInterface()->columnHeaderCells();
    const auto rows = cell->tableCellInterface()->rowHeaderCells();
    ASSERT_TRUE(columns.size() == 1 && rows.size() == 1);
    EXPECT_EQ(columns[0]->text(QAccessible::Name) + rows[0]->text(QAccessible::Name), QStringLiteral("x04x"));
}

TEST_F(PortDialogTest, NajitDuringASearchClearsTheTableAndStartsAgainAtZero)
{
    bus->stations = {2};
    port->show();
    port->tl_najit->click();
    for (int a = 0; a < 10; ++a)
        port->Timer1Timer();
    EXPECT_EQ(port->AddressCellText(2), QStringLiteral("2"));
    port->tl_najit->click();
    EXPECT_EQ(Controls(), kSearching);
    for (int a = 0; a < Tport::kSearchEnd; ++a)
        EXPECT_EQ(port->AddressCellText(a), QStringLiteral(" ")) << a;
    line->written.clear();
    port->Timer1Timer();
    EXPECT_EQ(line->written, std::vector<std::vector<std::uint8_t>>{ProbeFrame(0, 0)});

    // "Přerušit": idle again, the table keeps what it shows.
    port->Timer1Timer();
    port->Timer1Timer();
    port->Timer1Timer();
    port->tl_prerusit->click();
    EXPECT_FALSE(port->Searching());
    EXPECT_EQ(Controls(), kIdle);
    EXPECT_EQ(port->AddressCellText(2), QStringLiteral("2"));
    EXPECT_EQ(port->AddressCellText(3), QStringLiteral("*"));
    EXPECT_EQ(port->AddressCellText(4), QStringLiteral(" "));
}

TEST_F(PortDialogTest, TheTimerProbesOncePerTickAndEveryWayOfClosingStopsTheSearch)
{
    struct Case {
        const char* name;
        std::function<void()> close;
    };
    const Case cases[] = {
        {"close box", [] { port->close(); }},
        {"closed by the program", [] { port->reject(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line->written.clear();
        port->show();
        EXPECT_EQ(port->Timer1->interval(), 100);
        port->tl_najit->click();
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(1000);
        const auto probes = Probes();
        const auto elapsed = clock.elapsed();
        ASSERT_FALSE(probes.empty());
        EXPECT_LE(probes.size(), static_cast<std::size_t>(elapsed / 100 + 1)) << "one probe per 100 ms tick";
        for (std::size_t i = 0; i < probes.size(); ++i)
            EXPECT_EQ(probes[i], ProbeFrame(static_cast<int>(i), 0));

        c.close();
        EXPECT_FALSE(port->isVisible());
        EXPECT_FALSE(port->Searching());
        EXPECT_EQ(Controls(), kIdle) << "the dialog opens idle next time";
        const std::size_t after_close = Probes().size();
        QTest::qWait(300);
        EXPECT_EQ(Probes().size(), after_close) << "no probe after the dialog closed";
        EXPECT_TRUE(ReadIni().contains("BAUDRATE=9600")) << "the settings are stored on every closing";
    }
}

TEST_F(PortDialogTest, EscapeDoesNothingDuringASearchAndIsStornoOtherwise)
{
    port->show();
    Choose(port->cb_baudrate, QStringLiteral("19200"));
    port->tl_najit->click();
    QTest::keyClick(port->tl_najit, Qt::Key_Escape);
    QTest::keyClick(port, Qt::Key_Escape);
    EXPECT_TRUE(port->isVisible());
    EXPECT_TRUE(port->Searching());
    EXPECT_TRUE(boxes.empty()) << "Storno's question is not asked during a search";

    port->tl_prerusit->click();
    box_answer = QMessageBox::Yes;
    QTest::keyClick(port->cb_com, Qt::Key_Escape);
    EXPECT_FALSE(port->isVisible());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, QStringLiteral("Dotaz"));
    EXPECT_EQ(port->baud_rate, 9600) << "Escape ran Storno's revert";
    EXPECT_EQ(port->result(), QDialog::Rejected);
}

TEST_F(PortDialogTest, StornoAsksOnlyAfterChangesAndGoesBackThroughEachChangeHandler)
{
    using Log = std::vector<std::string>;
    const std::string com1 = DevicePathForCom(1);
    struct Case {
        const char* name;
        int stored_baud; // the speed at start
        std::function<void()> change;
        int answer;
        bool asks;
        Log revert;             // what is done to the port after the question
        int com, baud, da, sa;  // the settings after closing
        const char* speed_item; // the speed list afterwards
    };
    const auto to_19200 = [] { Choose(port->cb_baudrate, QStringLiteral("19200")); };
    const Case cases[] = {
        {"no change", 9600, [] {}, QMessageBox::Yes, false, {}, 1, 9600, 0, 0, "9600"},
        {"speed, answered Yes", 9600, to_19200, QMessageBox::Yes, true, {"speed 9600", "apply"}, 1, 9600, 0, 0, "9600"},
        {"speed, answered No", 9600, to_19200, QMessageBox::No, true, {}, 1, 19200, 0, 0, "19200"},
        {"all four, answered Yes: port, speed, instrument, computer in this order",
         9600,
         [] {
             Choose(port->cb_sa, QStringLiteral("3"));
             Choose(port->cb_da, QStringLiteral("5"));
             Choose(port->cb_baudrate, QStringLiteral("19200"));
             Choose(port->cb_com, QStringLiteral("COM 2"));
         },
         QMessageBox::Yes,
         true,
         {"close", "open " + com1, "format 19200", "apply", "speed 9600", "apply"},
         1,
         9600,
         0,
         0,
         "9600"},
        {"addresses only, answered No",
         9600,
         [] {
             Choose(port->cb_sa, QStringLiteral("3"));
             Choose(port->cb_da, QStringLiteral("5"));
         },
         QMessageBox::No,
         true,
         {},
         1,
         9600,
         5,
         3,
         "9600"},
        {"a stored speed outside the list comes back as it was",
         14400,
         to_19200,
         QMessageBox::Yes,
         true,
         {"speed 14400", "apply"},
         1,
         14400,
         0,
         0,
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyProgramWindows();
        boxes.clear();
        StartWith("[ADRESA]\nDA=0\nSA=0\n[PORT]\nCOM=1\nBAUDRATE=" + QByteArray::number(c.stored_baud) + "\n");
        port->show();
        c.change();
        bus->log.clear();
        box_answer = c.answer;
        port->tl_cancel->click();

        EXPECT_FALSE(port->isVisible());
        EXPECT_EQ(port->result(), QDialog::Rejected);
        ASSERT_EQ(boxes.size(), c.asks ? 1u : 0u);
        if (c.asks) {
            EXPECT_EQ(boxes[0].caption, QStringLiteral("Dotaz"));
            EXPECT_EQ(boxes[0].text, QStringLiteral("Byly provedeny změny v nastavení.\nOpravdu se chceš vrátit k "
                                                    "původnímu nastavení?"));
            EXPECT_EQ(boxes[0].icon, QMessageBox::Question);
            EXPECT_EQ(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        }
        EXPECT_EQ(bus->log, c.revert);
        EXPECT_EQ(port->SelectedPort(), c.com);
        EXPECT_EQ(port->baud_rate, c.baud);
        EXPECT_EQ(port->cb_baudrate->currentText(), QString::fromLatin1(c.speed_item));
        EXPECT_EQ(port->cb_da->currentIndex(), c.da);
        EXPECT_EQ(port->cb_sa->currentIndex(), c.sa);
        const QByteArray ini = ReadIni();
        for (const QByteArray& value : {"COM=" + QByteArray::number(c.com), "BAUDRATE=" + QByteArray::number(c.baud),
                                        "DA=" + QByteArray::number(c.da), "SA=" + QByteArray::number(c.sa)})
            EXPECT_TRUE(ini.contains(value)) << value.constData() << " in " << ini.constData();

        // The link talks with the reverted (or kept) addresses.
        line->written.clear();
        probe_address();
        ASSERT_EQ(line->written.size(), 1u);
        EXPECT_EQ(line->written[0], ProbeFrame(c.da, c.sa));
        // What stays after the answer is what a second Storno goes back to.
        port->tl_cancelClick();
        EXPECT_EQ(boxes.size(), c.asks ? 1u : 0u);
    }
}

TEST_F(PortDialogTest, ShowingOpensThePortAndTakesTheLinksAddressUnlessThePortFails)
{
    for (const bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "port cannot be opened" : "port opens");
        boxes.clear();
        line->written.clear();
        bus->stations = {7};
        bus->refused_paths.clear();
        if (refused)
            bus->refused_paths.insert(DevicePathForCom(1));
        port->com_index = 1;
        port->cb_com->setCurrentIndex(1);
        set_dest_address(7); // as the address change dialog leaves it
        port->show();
        EXPECT_TRUE(port->isVisible());
        if (refused) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, QStringLiteral("Sériový port COM1 nelze otevřít."));
            EXPECT_EQ(port->cb_com->currentText(), QStringLiteral("žádný port"));
            EXPECT_EQ(port->dest_address, 0) << "the steps after the open error are skipped";
        } else {
            EXPECT_TRUE(boxes.empty());
            EXPECT_TRUE(line->open);
            EXPECT_EQ(port->dest_address, 7);
            EXPECT_EQ(port->cb_da->currentText(), QStringLiteral("7"));
        }
        port->tl_najit->click();
        for (int a = 0; a < Tport::kSearchEnd; ++a)
            port->Timer1Timer();
        EXPECT_EQ(Probes().size(), refused ? 0u : 128u);
        EXPECT_EQ(port->AddressCellText(7), refused ? QStringLiteral(" ") : QStringLiteral("7"));
        EXPECT_EQ(port->AddressCellText(127), QStringLiteral("*"));
        // The search leaves the chosen address alone, also with an error.
        EXPECT_EQ(get_dest_address(), 7);
        port->accept();
        port->ClosePort();
        set_dest_address(0);
        port->cb_da->setCurrentIndex(0);
        port->dest_address = 0;
    }
    // "žádný port" is stored as COM 1.
    EXPECT_TRUE(ReadIni().contains("COM=1"));
}

} // namespace

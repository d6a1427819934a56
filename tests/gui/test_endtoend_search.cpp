// The bus search against the simulated instrument over a real
// pseudo-terminal, as the user runs it: "Komunikace" from the menu, "Najít
// adresy", the table read, the found address chosen, OK, then a reading.
#ifdef KX52_SIM_EXE
#include "ProgramFixture.h"

#include "Hl_modul.h"
#include "InstrumentOnCom1.h"
#include "Orbena52Sim.h"
#include "Protokol_spol.h"
#include "Unitport.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr std::uint8_t kInstrumentAddress = 3;

class SearchEndToEndTest : public ProgramFixture {
protected:
    std::unique_ptr<sim::Orbena52Sim> instrument;

    void SetUp() override
    {
        ProgramFixture::SetUp();
        instrument = StartInstrumentOnCom1(dir.path(), kInstrumentAddress, std::nullopt);
        ASSERT_NE(instrument, nullptr);
        Start();
    }
    void TearDown() override
    {
        ProgramFixture::TearDown();
        if (instrument)
            instrument->Stop();
    }
};

TEST_F(SearchEndToEndTest, TheSearchShowsTheInstrumentAtItsAddressAndTheChosenAddressIsReadFrom)
{
    ASSERT_EQ(port->dest_address, 0);
    QStringList cells;
    int step = 0;
    // Runs inside the dialog's modal loop; no tick comes while a probe waits.
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (!port->isVisible())
            return;
        if (step == 0) {
            port->tl_najit->click();
            step = 1;
        } else if (step == 1 && port->search_address > kInstrumentAddress + 1) {
            port->tl_prerusit->click();
            for (int a = 0; a <= kInstrumentAddress; ++a)
                cells << port->AddressCellText(a);
            const int item = port->cb_da->findText(QString::number(kInstrumentAddress));
            port->cb_da->setCurrentIndex(item);
            Q_EMIT port->cb_da->activated(item);
            port->tl_ok->click();
            step = 2;
        }
    });
    user.start(20);
    QTimer::singleShot(30000, port, [] { port->reject(); }); // never hang the run
    orbena52->mn_portClick();
    user.stop();

    ASSERT_EQ(step, 2) << "the search did not reach the address after the instrument's";
    EXPECT_EQ(cells, (QStringList{QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" "), QStringLiteral("3")}));
    EXPECT_EQ(instrument->Requests(sim::RequestKind::Probe), 1u) << "one probe reached the instrument";
    // On the wire: 10 a 00 69 FCS 16 for a = 0, 1, 2, ... in order.
    int next = 0;
    for (const sim::SimRecord& r : instrument->History()) {
        if (r.dir != sim::SimRecord::Dir::Rx)
            continue;
        const auto fcs = static_cast<std::uint8_t>(next + 0x69);
        EXPECT_EQ(r.bytes, (sim::Bytes{0x10, static_cast<std::uint8_t>(next), 0x00, 0x69, fcs, 0x16}));
        ++next;
    }
    EXPECT_GT(next, kInstrumentAddress + 1);
    EXPECT_FALSE(port->IsOpen()) << "the main window closes the port after the dialog";
    EXPECT_TRUE(ReadIni().contains("DA=3"));

    orbena52->tl_readClick();
    EXPECT_EQ(instrument->ReadsOf(0), 1u);
    EXPECT_EQ(orbena52->StatusText(0), QStringLiteral("ČTENÍ")) << "the instrument answers at the chosen address";
}

} // namespace
#endif

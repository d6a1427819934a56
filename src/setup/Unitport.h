// Unitport: Tport, the communication settings window and owner of the serial port.
#pragma once
// "Komunikační port": the port, the speed and both bus addresses, and the
// search of the bus for answering instruments; the owner of the program's one
// serial port. It reads its settings when created, applies the addresses to
// the link at once and stores the settings each time it closes.
#include "ComPort.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class ComTargetRow;
class QComboBox;
class QKeyEvent;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTimer;
class SettingsStore;

class Tport : public QDialog, public ComPort {
    Q_OBJECT
public:
    // Bus addresses 0..127 (127 is the broadcast address) are probed.
    static constexpr int kSearchEnd = 128;
    static constexpr int kSearchIntervalMs = 100;

    explicit Tport(SettingsStore& store, std::unique_ptr<SerialBackend> backend = MakeSerialBackend(),
                   QWidget* parent = nullptr);

    // The number OpenPort is called with: the item index of the port list.
    int SelectedPort() const;
    // What the address table shows for bus address 0..127.
    QString AddressCellText(int address) const;
    bool Searching() const;

    QComboBox* cb_com = nullptr;
    QComboBox* cb_baudrate = nullptr;
    QComboBox* cb_da = nullptr;
    QComboBox* cb_sa = nullptr;
    // 16 x 8 address cells under a header row "x0".."xF" and a header column
    // "0x".."7x": the high and the low hexadecimal digit of the address.
    QTableWidget* str_tab = nullptr;
    QPushButton* tl_ok = nullptr;
    QPushButton* tl_cancel = nullptr;
    QPushButton* tl_najit = nullptr;
    QPushButton* tl_prerusit = nullptr;
    // One probe per tick while a search runs.
    QTimer* Timer1 = nullptr;
    // Where the chosen port leads, and "Přiřadit…" (Linux only, else null).
    ComTargetRow* com_target = nullptr;

    std::int32_t dest_address = 0;
    std::int32_t source_address = 0;
    // The next address the search probes, 0..128.
    std::int32_t search_address = 0;

    void FormCreate();
    void FormClose();

public Q_SLOTS:
    void cb_comChange();
    void cb_baudrateChange();
    void cb_daChange();
    void cb_saChange();
    void tl_najitClick();
    void tl_prerusitClick();
    void tl_cancelClick();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;
    void OnPortSelectionReset() override;

private:
    void FormShow();
    void TakeSnapshot();
    bool SettingsChanged() const;
    void FillGridHeaders();
    // Refreshes the row that shows where the chosen port leads.
    void ShowComTarget();
    // Idle: the timer off, "Přerušit" disabled, everything else enabled;
    // searching: the reverse, with "Najít adresy" enabled in both.
    void SetSearchState(bool searching);
    QTableWidgetItem* AddressCell(int address) const;
    void SetAddressCell(int address, const QString& text);

    // The change handling of each list for a given value. The lists call
    // them with their selected item; going back to the snapshot calls them
    // with the snapshot's value, which a list may have no item for.
    void ChangePort(std::int32_t index);
    void ChangeSpeed(std::int32_t baud);
    void ChangeDestAddress(std::int32_t address);
    void ChangeSourceAddress(std::int32_t address);

    SettingsStore& store_;
    // The port the user chose last (0: "žádný port"). It outlives the reset
    // to "žádný port" after a failed opening, so that the row under the list
    // still shows where that port leads and "Přiřadit…" can mend it.
    std::int32_t chosen_com_ = 0;
    struct Snapshot {
        std::int32_t baud_rate, dest_address, source_address, com_index;
    } snapshot_{};
};

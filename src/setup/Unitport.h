#pragma once
// "Komunikační port": the port, the speed and both bus addresses; the owner of
// the program's one serial port. It reads its settings when created, applies
// the addresses to the link at once and stores the settings when it closes.
#include "ComPort.h"

#include <QDialog>

#include <cstdint>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class SettingsStore;

class Tport : public QDialog, public ComPort {
    Q_OBJECT
public:
    explicit Tport(SettingsStore& store, std::unique_ptr<SerialBackend> backend = MakeSerialBackend(),
                   QWidget* parent = nullptr);

    // The number OpenPort is called with: the item index of the port list.
    int SelectedPort() const;

    QComboBox* cb_com = nullptr;
    QComboBox* cb_baudrate = nullptr;
    QComboBox* cb_da = nullptr;
    QComboBox* cb_sa = nullptr;
    QPushButton* tl_ok = nullptr;
    QPushButton* tl_cancel = nullptr;

    std::int32_t dest_address = 0;
    std::int32_t source_address = 0;

    void FormCreate();
    void FormClose();

public Q_SLOTS:
    void cb_comChange();
    void cb_baudrateChange();
    void cb_daChange();
    void cb_saChange();
    void tl_cancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void OnPortSelectionReset() override;

private:
    void FormShow();
    void TakeSnapshot();

    SettingsStore& store_;
    struct Snapshot {
        std::int32_t baud_rate, dest_address, source_address, com_index;
    } snapshot_{};
};

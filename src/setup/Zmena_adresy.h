// Zmena_adresy: TZmenaAdresy, the dialog that changes the instrument's bus address.
#pragma once
// "Dialog změna adresy": reads the instrument's bus address from its address
// table and writes a new one. After a successful write the link talks to the
// instrument at its new address. The address is not stored here: the
// communication settings take the link's address when they are next shown.
#include "Pause.h"

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

class TZmenaAdresy : public QDialog {
    Q_OBJECT
public:
    // `pause` makes the pause after an address change (tests record it).
    explicit TZmenaAdresy(PauseFunction pause, QWidget* parent = nullptr);
    ~TZmenaAdresy() override;

    // 0 when `edit` holds a whole number 0..126, which is put into `target`;
    // otherwise the two "CHYBA" boxes, `target` 0, "0" in the edit with the
    // focus, and -1.
    int CheckAddress(std::uint8_t& target, QLineEdit* edit);

    QLabel* Label1 = nullptr;
    QLineEdit* ed_adr = nullptr;
    QPushButton* tl_write = nullptr;
    QPushButton* tl_read = nullptr;
    QPushButton* tl_cancel = nullptr;

public Q_SLOTS:
    void tl_readClick();
    void tl_writeClick();
    void tl_cancelClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PauseFunction pause_;
};

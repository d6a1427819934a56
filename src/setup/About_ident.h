// About_ident: Tabout_ident, the identification dialog (the instrument's type and version).
#pragma once
// "Identifikace": one second after it is shown, asks the instrument on the
// line for its type and version texts and shows them; an instrument of
// another family, which needs other software, is recognised and named.
#include "Pause.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

class Tabout_ident : public QDialog {
    Q_OBJECT
public:
    // `pause` makes the pauses between the identification requests.
    explicit Tabout_ident(PauseFunction pause, QWidget* parent = nullptr);
    ~Tabout_ident() override;

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lb_internet = nullptr;
    QLabel* lb_zarizeni = nullptr;
    QLabel* lb_verze = nullptr;
    QPushButton* tl_ok = nullptr;
    QTimer* Timer1 = nullptr;

public Q_SLOTS:
    void FormShow();
    void Timer1Timer();
    void Identify();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    PauseFunction pause_;
};

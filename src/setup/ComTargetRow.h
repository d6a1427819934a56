#pragma once
// The row of the communication settings that shows where the chosen "COM n"
// leads (the device, and whether it is there and may be opened) and offers
// "Přiřadit…" to make another device that port. Only where COM names are
// links of the configuration folder (Linux).
#include <QObject>
#include <QString>

#include <functional>

class QLabel;
class QPushButton;
class QWidget;
class TPortAssign;
struct ComTarget;

class ComTargetRow : public QObject {
    Q_OBJECT
public:
    ComTargetRow(QWidget* dialog, int x, int y, int width);

    // Shows where "COM `n`" leads now (0: no port).
    void Show(int n);
    // While locked (during a bus search) "Přiřadit…" stays disabled: a port
    // switched under a running search would mix two devices' answers.
    void SetLocked(bool locked);
    // The line shown for a port and its target.
    static QString TargetText(int n, const ComTarget& target);

    QPushButton* tl_prirad = nullptr;
    QLabel* lb_target = nullptr;
    TPortAssign* assign = nullptr;
    // Told the port n after a device was made "COM n".
    std::function<void(int)> on_assigned;

public Q_SLOTS:
    void tl_priradClick();

private:
    int com_ = 0;
    bool locked_ = false;
};

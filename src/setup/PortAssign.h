#pragma once
// "Přiřazení portu": the serial devices present on this computer, from which
// the user makes one "COM n" (Linux; Windows names its ports itself). The
// communication settings open it from the button beside the port list.
#include "ComDevices.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class TPortAssign : public QDialog {
    Q_OBJECT
public:
    // Devices are looked for below `dev_root` and described from `sys_root`
    // (tests lay out their own); the link goes into `config_dir` (empty: the
    // user's configuration folder).
    explicit TPortAssign(QWidget* parent = nullptr, std::string dev_root = "/dev", std::string sys_root = "/sys",
                         std::string config_dir = {});

    // Lists the devices and shows the dialog for "COM `n`"; true when a
    // device was made "COM n".
    bool Assign(int n);

    // The advice shown for a device this user may not open.
    static QString AccessAdvice(const SerialDevice& device);

    QListWidget* lv_devices = nullptr;
    QLabel* lb_info = nullptr;
    // The device to assign: the chosen one from the list, or any path typed
    // in (a pseudo-terminal, an adapter the list does not know).
    QLineEdit* ed_path = nullptr;
    QPushButton* tl_assign = nullptr;
    QPushButton* tl_cancel = nullptr;

public Q_SLOTS:
    void tl_assignClick();
    void ed_pathChange();

private:
    // The chosen row's device goes into the edit.
    void ShowInfo();
    // The line under the list, about the path in the edit.
    void ShowPathInfo();
    // The row of the listed device `path`, or -1.
    int RowOf(const QString& path) const;

    std::string dev_root_, sys_root_, config_dir_;
    std::vector<SerialDevice> devices_;
    int com_ = 0;
};

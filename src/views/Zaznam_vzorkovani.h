// Zaznam_vzorkovani: Tfile_sampling, the recording period dialog.
#pragma once
// "Záznam": the recording period, in measurement cycles (seconds), between
// two records of the measured-values table and the recording file. Read from
// the settings when the window is created, stored at once on OK.
#include <QDialog>

#include <cstdint>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class SettingsStore;

class Tfile_sampling : public QDialog {
    Q_OBJECT
public:
    // Reads and stores the period in `store`, which outlives the window.
    explicit Tfile_sampling(SettingsStore& store, QWidget* parent = nullptr);
    ~Tfile_sampling() override;

    // 0 with the edit's value when it is a whole number of at least 1;
    // otherwise the "CHYBA" box, "60" back in the edit with the focus, and -1.
    int CheckPeriod(std::int32_t& value);

    std::int32_t sampling_period = 60;

    QLabel* Label1 = nullptr;
    QLineEdit* ed_zaznam = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* tl_ok = nullptr;
    QPushButton* tl_cancel = nullptr;

public Q_SLOTS:
    void FormCreate();
    void FormShow();
    void tl_okClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Enter in the edit does what OK does; gives true when the key was used.
    bool ed_zaznamKeyPress(QKeyEvent* event);

    SettingsStore& store_;
};

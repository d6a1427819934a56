// Menu_mod: TForm_menu, the dialog of the instrument's parameters (tables 1 and 2).
#pragma once
// "Parametry ORBENA 52": the instrument's parameters (limits table 1 and
// configuration table 2) read into the controls each time the dialog is
// shown and on "Čtení", and written from the controls on "Zápis". The
// controls show the program's parameter variables; the link reads and writes
// those variables.
#include "Pause.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class RadioGroup;

class TForm_menu : public QDialog {
    Q_OBJECT
public:
    // `pause` makes the fixed pauses between table transfers (milliseconds).
    explicit TForm_menu(PauseFunction pause, QWidget* parent = nullptr);
    ~TForm_menu() override;

    // The parameter variables into the controls: DP, FILTR, CONFIG, then the
    // four numbers.
    void ShowParams();
    // The controls into the parameter variables: 0 when all four numbers
    // were valid, -1 otherwise (each bad edit reported on its own, its
    // variable 0; the first bad edit has the focus).
    int TakeParams();
    // One edit into `target`: 0, or -1 after the "CHYBA" box with "1" put
    // back in the edit and the focus on it.
    int CheckFloat(float& target, QLineEdit* edit);
    void ShowConfig();
    std::uint8_t TakeConfig() const;

    QLabel* lb_scale = nullptr;
    QLineEdit* ed_scale = nullptr;
    QLabel* lb_dp = nullptr;
    QComboBox* cb_dp = nullptr;
    QLabel* lb_filtr = nullptr;
    QComboBox* cb_filtr = nullptr;
    QLabel* lb_sp_ala = nullptr;
    QLineEdit* ed_sp_ala = nullptr;
    QLabel* lb_hyster = nullptr;
    QLineEdit* ed_hyster = nullptr;
    QLabel* lb_sp_suma = nullptr;
    QLineEdit* ed_sp_suma = nullptr;
    QLabel* lb_config = nullptr;
    QFrame* Panel1 = nullptr;
    RadioGroup* rg_ain = nullptr;
    RadioGroup* rg_in_funkce = nullptr;
    RadioGroup* rg_integrace = nullptr;
    RadioGroup* rg_out1 = nullptr;
    RadioGroup* rg_out2 = nullptr;
    RadioGroup* rg_aout = nullptr;
    QProgressBar* bar_load = nullptr;
    QPushButton* tl_read = nullptr;
    QPushButton* tl_write = nullptr;
    QPushButton* tl_exit = nullptr;

public Q_SLOTS:
    void tl_readClick();
    void tl_writeClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The radio group of CONFIG bit n (0..5).
    RadioGroup* ConfigGroup(int bit) const;
    void AddRow(int row, QWidget* control, const char* name, const QString& tag, const QString& description,
                QLabel*& tag_label);
    QLineEdit* AddNumberRow(int row, const char* name, const QString& tag, const QString& description,
                            QLabel*& tag_label);
    QComboBox* AddChoiceRow(int row, const char* name, const QString& tag, const QString& description,
                            const QStringList& items, QLabel*& tag_label);
    void BuildConfigPanel();
    void BuildButtons();
    // Tables 1 and 2 through `exchange` (read_table or write_table) with the
    // progress bar and a pause after each; one `failure` box if either failed.
    void TransferTables(std::uint8_t (*exchange)(std::uint8_t table), int pause_ms, const QString& failure);
    void EndTransfer();

    PauseFunction pause_;
};

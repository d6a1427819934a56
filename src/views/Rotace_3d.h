// Rotace_3d: Trotace3D, the chart settings dialog.
#pragma once
// "GRAF 3D": the chart settings dialog. The 3D box, the depth slider and the
// plot-area and surface colours act on the main window's chart at once; the
// pen colour and the number of points kept only sit in their controls until
// the main window commits them after OK. The dialog keeps no settings of
// its own: the main window loads the six controls before every showing and
// either commits or undoes afterwards.
#include <QColor>
#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>

class ColorSwatch;
class LiveChart;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

class Trotace3D : public QDialog {
    Q_OBJECT
public:
    // The colour picker: opens on `initial`; gives the confirmed colour, or
    // nothing when the user cancels. Replaceable so tests can answer it.
    using ColorPicker = std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)>;

    // `chart` is the main window's chart, which outlives the dialog.
    explicit Trotace3D(LiveChart& chart, QWidget* parent = nullptr);
    ~Trotace3D() override;

    void SetColorPicker(ColorPicker picker) { picker_ = std::move(picker); }
    // The colour the picker opens on next: the one it returned last.
    QColor PickerColor() const { return picker_color_; }

    // 0 with the edit's value when its text is a whole number; otherwise the
    // "CHYBA" box, "0" in the edit with the focus, value 0, and -1.
    int CheckNumber(QLineEdit* edit, std::int32_t& value);
    // 0 when the edit's number lies from `lower` to `upper`; otherwise the
    // "EDIT" box and -1.
    int CheckRange(std::int32_t lower, std::int32_t upper, QLineEdit* edit);

    QLabel* Label4 = nullptr;
    QCheckBox* check_3D = nullptr;
    QLabel* Label1 = nullptr;
    QScrollBar* bar_3D = nullptr;
    QLabel* Label2 = nullptr;
    ColorSwatch* pa_barva_mriz = nullptr;
    QPushButton* tl_barva_mriz = nullptr;
    ColorSwatch* pa_barva_okraj = nullptr;
    QPushButton* tl_barva_okraj = nullptr;
    ColorSwatch* pa_barva_pera = nullptr;
    QPushButton* tl_barva_pera = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* ed_poc_mer = nullptr;
    QPushButton* tl_ok = nullptr;
    QPushButton* tl_cancel = nullptr;

public Q_SLOTS:
    void check_3DClick();
    void bar_3DChange();
    void tl_barva_mrizClick();
    void tl_barva_okrajClick();
    void tl_barva_peraClick();
    void tl_okClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Enter checks the number and moves the focus; gives true when the key
    // was used.
    bool ed_poc_merKeyPress(QKeyEvent* event);
    // Runs the picker on the colour it returned last; the confirmed colour
    // as a colour value, or nothing.
    std::optional<std::uint32_t> PickColor();

    LiveChart& chart_;
    ColorPicker picker_;
    QColor picker_color_ = Qt::black;
};

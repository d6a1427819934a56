#pragma once
// A colour swatch: a lowered panel filled with a colour value. It holds the
// value itself (0x00BBGGRR, or 0x80000000 + a system colour index), so a
// system colour stays a system colour until the value is replaced; it shows
// the value resolved against the current palette. It takes no focus.
#include <QFrame>

#include <cstdint>

class ColorSwatch : public QFrame {
    Q_OBJECT
public:
    explicit ColorSwatch(QWidget* parent = nullptr);

    void SetColorValue(std::uint32_t value);
    std::uint32_t ColorValue() const { return value_; }
    // The colour shown: the value resolved against the swatch's palette.
    QColor ShownColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Describe();

    std::uint32_t value_ = 0;
};

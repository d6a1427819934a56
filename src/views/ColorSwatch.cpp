#include "ColorSwatch.h"

#include "ColorValues.h"

#include <QEvent>
#include <QPainter>

ColorSwatch::ColorSwatch(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setFocusPolicy(Qt::NoFocus);
    Describe();
}

void ColorSwatch::SetColorValue(std::uint32_t value)
{
    value_ = value;
    Describe();
    update();
}

QColor ColorSwatch::ShownColor() const
{
    return ResolveColorValue(value_, palette());
}

void ColorSwatch::paintEvent(QPaintEvent* event)
{
    {
        QPainter p(this);
        p.fillRect(contentsRect(), ShownColor());
    }
    QFrame::paintEvent(event);
}

void ColorSwatch::changeEvent(QEvent* event)
{
    // A system colour follows the desktop's scheme.
    if (event->type() == QEvent::PaletteChange)
        Describe();
    QFrame::changeEvent(event);
}

void ColorSwatch::Describe()
{
    // Screen readers announce the colour the swatch shows.
    const QColor shown = ShownColor();
    setAccessibleDescription(QStringLiteral("R %1, G %2, B %3").arg(shown.red()).arg(shown.green()).arg(shown.blue()));
}

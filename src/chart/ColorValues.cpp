#include "LiveChart.h"

#include <QPalette>

QColor ResolveColorValue(std::uint32_t value, const QPalette& palette)
{
    if ((value & 0x80000000u) == 0) {
        return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                      static_cast<int>((value >> 16) & 0xFFu));
    }
    const std::uint32_t index = value & 0x7FFFFFFFu;
    switch (index) {
    case 0:
        return palette.color(QPalette::Button); // scroll bar
    case 1:
        return QColor(0, 128, 128); // desktop: no palette role
    case 2:
        return palette.color(QPalette::Active, QPalette::Highlight); // active caption
    case 3:
        return palette.color(QPalette::Inactive, QPalette::Highlight); // inactive caption
    case 4:
        return palette.color(QPalette::Window); // menu
    case 5:
        return palette.color(QPalette::Base); // window background
    case 6:
        return palette.color(QPalette::Shadow); // window frame
    case 7:
        return palette.color(QPalette::WindowText); // menu text
    case 8:
        return palette.color(QPalette::Text); // window text
    case 9:
        return palette.color(QPalette::Active, QPalette::HighlightedText); // caption text
    case 10:
        return palette.color(QPalette::Button); // active border
    case 11:
        return palette.color(QPalette::Button); // inactive border
    case 12:
        return palette.color(QPalette::Dark); // application workspace
    case 13:
        return palette.color(QPalette::Highlight);
    case 14:
        return palette.color(QPalette::HighlightedText);
    case 15:
        return palette.color(QPalette::Button); // button face
    case 16:
        return palette.color(QPalette::Dark); // button shadow
    case 17:
        return palette.color(QPalette::Disabled, QPalette::Text); // grey text
    case 18:
        return palette.color(QPalette::ButtonText);
    case 19:
        return palette.color(QPalette::Inactive, QPalette::HighlightedText); // inactive caption text
    case 20:
        return palette.color(QPalette::Light); // button highlight
    case 21:
        return palette.color(QPalette::Shadow); // 3D dark shadow
    case 22:
        return palette.color(QPalette::Midlight); // 3D light
    case 23:
        return palette.color(QPalette::ToolTipText);
    case 24:
        return palette.color(QPalette::ToolTipBase);
    case 26:
        return palette.color(QPalette::Link); // hot-tracked item
    case 27:
        return palette.color(QPalette::Active, QPalette::Highlight); // caption gradient
    case 28:
        return palette.color(QPalette::Inactive, QPalette::Highlight);
    case 29:
        return palette.color(QPalette::Highlight); // menu highlight
    case 30:
        return palette.color(QPalette::Window); // menu bar
    default:
        return QColor(0, 0, 0); // unknown index
    }
}

std::uint32_t ColorValueOf(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
           (static_cast<std::uint32_t>(rgb.blue()) << 16);
}

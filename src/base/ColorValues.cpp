#include "ColorValues.h"

#include <array>

namespace {

// Where each system colour comes from: a role of the palette (in the given
// group; Current for the widget's own state), or a fixed colour where the
// palette has no such role.
struct SystemColorSource {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
    QRgb fixed; // used when role is NoRole
};

constexpr QPalette::ColorGroup kCurrent = QPalette::Current;
constexpr QRgb kBlack = 0xFF000000u;

const std::array<SystemColorSource, kSystemColorCount> kSystemColors = {{
    {kCurrent, QPalette::Button, 0},                    // 0 scroll bar
    {kCurrent, QPalette::NoRole, 0xFF008080u},          // 1 desktop
    {QPalette::Active, QPalette::Highlight, 0},         // 2 active caption
    {QPalette::Inactive, QPalette::Highlight, 0},       // 3 inactive caption
    {kCurrent, QPalette::Window, 0},                    // 4 menu
    {kCurrent, QPalette::Base, 0},                      // 5 window background
    {kCurrent, QPalette::Shadow, 0},                    // 6 window frame
    {kCurrent, QPalette::WindowText, 0},                // 7 menu text
    {kCurrent, QPalette::Text, 0},                      // 8 window text
    {QPalette::Active, QPalette::HighlightedText, 0},   // 9 caption text
    {kCurrent, QPalette::Button, 0},                    // 10 active border
    {kCurrent, QPalette::Button, 0},                    // 11 inactive border
    {kCurrent, QPalette::Dark, 0},                      // 12 application workspace
    {kCurrent, QPalette::Highlight, 0},                 // 13 highlight
    {kCurrent, QPalette::HighlightedText, 0},           // 14 highlighted text
    {kCurrent, QPalette::Button, 0},                    // 15 button face
    {kCurrent, QPalette::Dark, 0},                      // 16 button shadow
    {QPalette::Disabled, QPalette::Text, 0},            // 17 grey text
    {kCurrent, QPalette::ButtonText, 0},                // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText, 0}, // 19 inactive caption text
    {kCurrent, QPalette::Light, 0},                     // 20 button highlight
    {kCurrent, QPalette::Shadow, 0},                    // 21 3D dark shadow
    {kCurrent, QPalette::Midlight, 0},                  // 22 3D light
    {kCurrent, QPalette::ToolTipText, 0},               // 23 tooltip text
    {kCurrent, QPalette::ToolTipBase, 0},               // 24 tooltip background
    {kCurrent, QPalette::NoRole, kBlack},               // 25 (not used)
    {kCurrent, QPalette::Link, 0},                      // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight, 0},         // 27 active caption gradient
    {QPalette::Inactive, QPalette::Highlight, 0},       // 28 inactive caption gradient
    {kCurrent, QPalette::Highlight, 0},                 // 29 menu highlight
    {kCurrent, QPalette::Window, 0},                    // 30 menu bar
}};

} // namespace

QColor SystemColor(std::uint32_t index, const QPalette& palette)
{
    if (index >= kSystemColors.size())
        return QColor(kBlack);
    const SystemColorSource& s = kSystemColors[index];
    if (s.role == QPalette::NoRole)
        return QColor(s.fixed);
    return palette.color(s.group, s.role);
}

QColor ResolveColorValue(std::uint32_t value, const QPalette& palette)
{
    if ((value & kSystemColorFlag) != 0)
        return SystemColor(value & ~kSystemColorFlag, palette);
    return QColor(static_cast<int>(value & 0xFFu), static_cast<int>((value >> 8) & 0xFFu),
                  static_cast<int>((value >> 16) & 0xFFu));
}

std::uint32_t ColorValueOf(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | (static_cast<std::uint32_t>(rgb.green()) << 8) |
           (static_cast<std::uint32_t>(rgb.blue()) << 16);
}

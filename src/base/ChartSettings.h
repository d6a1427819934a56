#pragma once
#include <cstdint>

// The six chart values the main window keeps for its live chart (section
// "GRAF" of the settings). Colour values: 0x00BBGGRR for an RGB colour, or
// 0x80000000 + a system colour index (0x8000000F is the button face).
struct ChartSettings {
    std::uint32_t pen_color = 0;
    std::uint32_t grid_color = 0;
    std::uint32_t border_color = 0;
    bool view_3d = false;
    std::int32_t depth_3d = 0;
    std::int32_t points_kept = 0;
};

inline constexpr std::uint32_t kColorButtonFace = 0x8000000Fu;
inline constexpr std::uint32_t kColorRed = 0x000000FFu;

// The values the program uses where none are stored, or where a stored one
// cannot be read.
inline constexpr ChartSettings kDefaultChartSettings{kColorRed, kColorButtonFace, kColorButtonFace, true, 35, 200};

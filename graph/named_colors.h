// The library's fixed colour tables: the default RGB value of each of the 144 named colours
// and the built-in 256-entry palette. The named colour variables themselves are public
// (graph.h); colors.cpp maps them onto the palette in use.
#pragma once

#include <array>
#include <cstdint>

namespace graph_colors {

constexpr int kNamedColorCount = 144;
constexpr int kStandardPaletteSize = 256;

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

// Default RGB value (red in the low byte) of each named colour, in table order.
extern const std::array<uint32_t, kNamedColorCount> NamedColorDefaults;

// The built-in palette: the classic 256-colour VGA palette with its 6-bit levels times 4,
// with three deliberate departures (entries 9, 65 and the shortened ninth hue wheel).
extern const std::array<uint32_t, kStandardPaletteSize> StandardPalette;

}  // namespace graph_colors

// Images built into the program. "GraphIcon", the graphics window's icon: a loudspeaker with
// two sound waves, drawn here as 16 x 16 cells and shown at 32 x 32.
#include <array>
#include <string_view>

#include "graph/graph_state.h"

namespace graph_state {

namespace {

constexpr int kCells = 16, kScale = 2, kSize = kCells * kScale;

// '.' transparent, 'o' outline, 'b' body, 'w' wave.
constexpr const char* kGraphIconCells[kCells] = {
    "................",
    "......oo........",
    ".....obo....w...",
    "....obbo..w..w..",
    "...obbbo...w..w.",
    "ooobbbbo...w..w.",
    "obbbbbbo....w..w",
    "obbbbbbo....w..w",
    "obbbbbbo....w..w",
    "obbbbbbo....w..w",
    "ooobbbbo...w..w.",
    "...obbbo...w..w.",
    "....obbo..w..w..",
    ".....obo....w...",
    "......oo........",
    "................",
};

uint32_t CellColor(char c) {
  switch (c) {
    case 'o': return 0xFF10204Au;
    case 'b': return 0xFF3A78C8u;
    case 'w': return 0xFFE8A020u;
    default: return 0x00000000u;
  }
}

std::array<uint32_t, kSize * kSize> MakeGraphIcon() {
  std::array<uint32_t, kSize * kSize> pixels{};
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) pixels[size_t(y) * kSize + x] = CellColor(kGraphIconCells[y / kScale][x / kScale]);
  return pixels;
}

const std::array<uint32_t, kSize * kSize> kGraphIconPixels = MakeGraphIcon();

}  // namespace

const IconResource* LoadIconResource(std::string_view name) {
  static const IconResource graphIcon{kSize, kSize, kGraphIconPixels.data()};
  return name == "GraphIcon" ? &graphIcon : nullptr;
}

}  // namespace graph_state

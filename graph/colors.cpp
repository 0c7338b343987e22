// Colours and palettes: what a colour value means under each driver, the drawing and
// background colours, the palette operations, and the mapping of the named colours onto the
// palette in use.
//
// In palette mode three copies of the palette are kept in step: GraphPalette (what the device
// contexts resolve palette-index colours with), PageColorTable (what a page's colour table is
// loaded from when it becomes the drawing page) and the colour table of the drawing page itself.
// A change reaches the drawing page at once; the window is then repainted from the display page
// by the window thread.
#include <algorithm>

#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"
#include "graph/named_colors.h"
#include "platform/raster/draw.h"

namespace graph_state {

uint32_t DrawColor = 0;
uint32_t BackColor = 0;
uint16_t PaletteCount = 0;

raster::ColorRef ToDeviceColor(uint32_t value) {
  if (!PaletteMode) return value;
  uint16_t index = PaletteCount ? uint16_t(value % PaletteCount) : 0;
  return raster::PaletteIndex(index);
}

uint16_t NearestPaletteIndex(uint32_t rgb) {
  if (GraphPalette.empty()) return 0;
  return uint16_t(raster::NearestTableEntry(GraphPalette, rgb & 0xFFFFFFu));
}

void MapNamedColors() {
  for (int i = 0; i < graph_colors::kNamedColorCount; ++i)
    *NamedColorTable[i] = NearestPaletteIndex(graph_colors::NamedColorDefaults[i]);
}

void ResetNamedColors() {
  for (int i = 0; i < graph_colors::kNamedColorCount; ++i)
    *NamedColorTable[i] = graph_colors::NamedColorDefaults[i];
}

}  // namespace graph_state

using namespace graph_state;

namespace {

raster::TableColor ToTableColor(uint32_t rgb) {
  return {raster::BlueOf(rgb), raster::GreenOf(rgb), raster::RedOf(rgb), 0};
}

uint32_t FromTableColor(const raster::TableColor& c) { return raster::MakeRgb(c.red, c.green, c.blue); }

// Loads PageColorTable entries [first, first + count) into the drawing page. DrawingLock held.
void LoadDrawingPageColors(size_t first, size_t count) {
  raster::Surface* page = BufferDC.SelectedSurface();
  if (!page || !page->Indexed()) return;
  auto& table = page->ColorTable();
  for (size_t i = first; i < first + count && i < table.size() && i < PageColorTable.size(); ++i)
    table[i] = PageColorTable[i];
}

void FillStartingPalette(PaletteType& palette, const uint32_t* source, uint16_t count) {
  palette.EntryCount = count;
  for (uint16_t i = 0; i < count; ++i) palette.Entries[i] = source[i];
  if (CurrentDriver == D1bit) {
    palette.Entries[0] = raster::MakeRgb(0, 0, 0);
    palette.Entries[1] = raster::MakeRgb(255, 255, 255);
  }
}

}  // namespace

void SetDrawColor(uint32_t color) {
  DrawColor = color;
  // The pen carries the colour, so it is made again with the stored line settings.
  SetPenStyle(LineSettings.LineForm, LineSettings.LinePattern, LineSettings.LineWidth);
  if (GraphError != GraphOk) return;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  WindowDC.textColor = ToDeviceColor(color);
  BufferDC.textColor = ToDeviceColor(color);
}

uint32_t GetDrawColor() { return DrawColor; }

void SetBackColor(uint32_t color) {
  if (!BeginWindowOperation()) return;
  BackColor = color;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  WindowDC.backColor = ToDeviceColor(color);
  BufferDC.backColor = ToDeviceColor(color);
}

uint32_t GetBackColor() { return BackColor; }

uint32_t GetHighestColor() {
  if (PaletteMode) return uint32_t(PaletteCount) - 1;
  // A colour value holds 24 bits of RGB, so deeper desktops answer as 24-bit ones.
  int bits = std::min<int>(BitsPerPixel, 24);
  return uint32_t((uint64_t(1) << bits) - 1);
}

uint16_t GetPaletteCount() { return PaletteMode ? PaletteCount : 0xFFFF; }

void ReadStandardPalette(PaletteType& palette) {
  uint16_t count = PaletteMode ? std::min<uint16_t>(PaletteSize, 256) : 256;
  FillStartingPalette(palette, graph_colors::StandardPalette.data(), count);
}

void ReadNamedColorPalette(PaletteType& palette) {
  uint16_t count = PaletteMode ? std::min<uint16_t>(PaletteSize, 256) : 256;
  count = std::min<uint16_t>(count, graph_colors::kNamedColorCount);
  FillStartingPalette(palette, graph_colors::NamedColorDefaults.data(), count);
}

void ReadPalette(PaletteType& palette) {
  if (!BeginWindowOperation()) return;
  if (!PaletteMode) {
    GraphError = GraphNoPalette;
    return;
  }
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  uint16_t count = std::min<uint16_t>(PaletteCount, uint16_t(GraphPalette.size()));
  palette.EntryCount = PaletteCount;
  for (uint16_t i = 0; i < count; ++i) palette.Entries[i] = FromTableColor(GraphPalette[i]);
}

void WritePalette(const PaletteType& palette) {
  if (!BeginWindowOperation()) return;
  if (!PaletteMode) {
    GraphError = GraphNoPalette;
    return;
  }
  // An empty palette would leave no entry 0 to repeat and every colour value without meaning.
  if (palette.EntryCount > PaletteSize || palette.EntryCount == 0 || palette.EntryCount > 256) {
    GraphError = GraphInvalidParameter;
    return;
  }
  uint16_t count = palette.EntryCount;
  std::vector<raster::TableColor> entries(count);
  for (uint16_t i = 0; i < count; ++i) entries[i] = ToTableColor(palette.Entries[i]);
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    PageColorTable.resize(PaletteSize);
    for (uint16_t i = 0; i < PaletteSize; ++i) PageColorTable[i] = i < count ? entries[i] : entries[0];
    GraphPalette = entries;
    LoadDrawingPageColors(0, PaletteSize);
    MapNamedColors();
  }
  RequestFullRepaint();
  PaletteCount = count;
}

void SetPaletteRGB(uint16_t entry, uint16_t red, uint16_t green, uint16_t blue) {
  if (!BeginWindowOperation()) return;
  if (!PaletteMode) {
    GraphError = GraphNoPalette;
    return;
  }
  if (entry >= PaletteCount) {
    GraphError = GraphInvalidParameter;
    return;
  }
  raster::TableColor color{uint8_t(blue), uint8_t(green), uint8_t(red), 0};
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    if (entry < PageColorTable.size()) PageColorTable[entry] = color;
    if (entry < GraphPalette.size()) GraphPalette[entry] = color;
    LoadDrawingPageColors(entry, 1);
  }
  RequestFullRepaint();
}

void SetPaletteColor(uint16_t entry, uint16_t standard) {
  GraphError = GraphOk;
  if (!PaletteMode) {
    // With the window closed PaletteMode is false too; SetPaletteRGB then tells which it is.
    if (WindowOpen) {
      GraphError = GraphNoPalette;
      return;
    }
  } else if (standard >= graph_colors::kStandardPaletteSize) {
    GraphError = GraphInvalidParameter;
    return;
  }
  uint32_t rgb = standard < graph_colors::kStandardPaletteSize ? graph_colors::StandardPalette[standard] : 0;
  SetPaletteRGB(entry, raster::RedOf(rgb), raster::GreenOf(rgb), raster::BlueOf(rgb));
}

void ReadSystemPalette(PaletteType& palette) {
  if (!BeginWindowOperation()) return;
  // The window is a true-colour surface: the system supplies no palette entries, so every
  // entry reads black.
  palette.EntryCount = PaletteMode ? std::min<uint16_t>(PaletteSize, 256) : 256;
  for (uint16_t i = 0; i < palette.EntryCount; ++i) palette.Entries[i] = 0;
  if (CurrentDriver == D1bit) {
    palette.Entries[0] = raster::MakeRgb(0, 0, 0);
    palette.Entries[1] = raster::MakeRgb(255, 255, 255);
  }
}

uint32_t ColorFromRGB(uint16_t red, uint16_t green, uint16_t blue) {
  uint32_t rgb = raster::MakeRgb(uint8_t(red), uint8_t(green), uint8_t(blue));
  if (!PaletteMode) return rgb;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  return NearestPaletteIndex(rgb);
}

void ColorToRGB(uint32_t color, uint16_t& red, uint16_t& green, uint16_t& blue) {
  uint32_t rgb = color;
  if (PaletteMode) {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    size_t index = PaletteCount ? color % PaletteCount : 0;
    rgb = index < GraphPalette.size() ? FromTableColor(GraphPalette[index]) : 0;
  }
  red = raster::RedOf(rgb);
  green = raster::GreenOf(rgb);
  blue = raster::BlueOf(rgb);
}

uint32_t ReadPixelColor(int16_t x, int16_t y) {
  if (!BeginWindowOperation()) return 0;
  raster::Pixel value = 0;
  uint32_t rgb;
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    const raster::Surface* page = BufferDC.SelectedSurface();
    // A point off the page or outside the viewport's clip has no colour.
    if (!page || !raster::ReadPixelValue(BufferDC, x, y, &value)) return 0xFFFFFFFFu;
    rgb = raster::PixelColor(*page, value);
    if (PaletteMode) return NearestPaletteIndex(rgb);
  }
  return rgb;
}

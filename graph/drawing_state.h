// The drawing state behind the colour, viewport and text operations, for the library's other
// modules (figures, images) that draw with it. Not part of the public interface.
//
// Coordinates: the viewport origin lives in both device contexts (DeviceContext::viewportOrigin),
// so every raster and text call takes viewport-relative coordinates, and the contexts' own
// current positions are viewport-relative too. Pens, brushes, colours, raster mode, clip and
// font are kept equal on WindowDC and BufferDC; ScratchDC is left alone.
//
// Everything here is touched by the application thread only, except the device-context fields,
// which are written with DrawingLock held.
#pragma once

#include <cstdint>

#include "graph/graph.h"
#include "platform/raster/draw.h"
#include "platform/raster/raster.h"

namespace graph_state {

// ---- Colours (colors.cpp) ----------------------------------------------------------------------

extern uint32_t DrawColor;     // colour value of lines, outlines, text, pixels
extern uint32_t BackColor;     // colour value behind opaque text and hatches, and of erasing
extern uint16_t PaletteCount;  // entries of the current palette; set only by WritePalette

// The colour a device context is given for a colour value: a palette-index colour (value
// modulo PaletteCount) in palette mode, the RGB value itself in direct mode.
raster::ColorRef ToDeviceColor(uint32_t value);
// Index of the entry of GraphPalette nearest to an RGB value (lowest index on a tie).
uint16_t NearestPaletteIndex(uint32_t rgb);
// Named colours := nearest GraphPalette entries of their defaults / the defaults themselves.
void MapNamedColors();
void ResetNamedColors();

// ---- Viewport, position, line and fill settings (viewport.cpp) -----------------------------

extern ViewPortType Viewport;
extern int16_t ViewWidth, ViewHeight;               // Right - Left, Bottom - Top
extern int32_t CurrentPositionX, CurrentPositionY;  // relative to the viewport
extern LineSettingsType LineSettings;
extern FillSettingsType FillSettings;
extern FillPatternType FillPattern;
extern uint32_t AspectX, AspectY;  // 10000 stands for 1
extern bool SquareAspect;          // both factors are 10000
extern raster::FloodMode FloodMode;

// The user fill pattern as drawn by DefineFillPattern: its bits and the two device colours it
// was drawn with, fixed until the next DefineFillPattern. `exists` is false until then.
struct PatternBitmapType {
  bool exists = false;
  uint8_t rows[8] = {};
  raster::ColorRef fore = 0, back = 0;
};
extern PatternBitmapType PatternBitmap;

// ---- Text (text.cpp) ---------------------------------------------------------------------------

constexpr int kFontSlotCount = 15;
extern TFontString FontSlots[kFontSlotCount];  // empty text: a free slot
extern TextSettingsType TextSettings;

}  // namespace graph_state

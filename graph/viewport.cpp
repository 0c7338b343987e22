// Viewport, current position, line and fill settings, raster mode, aspect and flood mode, and
// the operations that clear and fill; also ResetDrawingState, which InitGraph runs to give
// every new window the default colours, palette, pen, brush, font, viewport and modes.
//
// Each setting goes to both WindowDC and BufferDC, so that drawing through to the window and
// drawing on the page give the same pixels. The viewport origin is kept in the contexts
// themselves (see drawing_state.h).
#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"

namespace graph_state {

// InitGraph's entry into the public reset.
void ResetDrawingState() { ::ResetDrawingState(); }

ViewPortType Viewport;
int16_t ViewWidth = 0, ViewHeight = 0;
int32_t CurrentPositionX = 0, CurrentPositionY = 0;
LineSettingsType LineSettings{0, 0, 1};
FillSettingsType FillSettings{1, 0};
FillPatternType FillPattern{{255, 255, 255, 255, 255, 255, 255, 255}};
uint32_t AspectX = 10000, AspectY = 10000;
bool SquareAspect = true;
raster::FloodMode FloodMode = raster::FloodMode::Border;
PatternBitmapType PatternBitmap;

}  // namespace graph_state

using namespace graph_state;

namespace {

// Applies the same change to the window's and the page's device context.
template <class Change>
void ChangeBothContexts(Change change) {
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  change(WindowDC);
  change(BufferDC);
}

// Pen style of each line style; styles 5 and 6 draw nothing with the pen (the line operations
// draw style 5 themselves, pixel by pixel).
constexpr raster::PenStyle kPenStyles[7] = {
    raster::PenStyle::Solid,      raster::PenStyle::Dot,  raster::PenStyle::DashDot, raster::PenStyle::Dash,
    raster::PenStyle::DashDotDot, raster::PenStyle::Null, raster::PenStyle::Null};

// Hatch of fill styles 2 to 7.
constexpr raster::HatchStyle kHatches[6] = {
    raster::HatchStyle::Horizontal,      raster::HatchStyle::Vertical,
    raster::HatchStyle::Cross,           raster::HatchStyle::BackwardDiagonal,
    raster::HatchStyle::ForwardDiagonal, raster::HatchStyle::DiagonalCross};

// Binary raster operation of each remainder of a raster mode.
constexpr raster::Rop2 kRasterOps[16] = {
    raster::Rop2::CopyPen,     raster::Rop2::XorPen,     raster::Rop2::MergePen,    raster::Rop2::MaskPen,
    raster::Rop2::NotCopyPen,  raster::Rop2::Not,        raster::Rop2::NotXorPen,   raster::Rop2::NotMergePen,
    raster::Rop2::NotMaskPen,  raster::Rop2::MaskNotPen, raster::Rop2::MergeNotPen, raster::Rop2::MaskPenNot,
    raster::Rop2::MergePenNot, raster::Rop2::Black,      raster::Rop2::White,       raster::Rop2::Nop};

}  // namespace

void ResetDrawingState() {
  // Handles of an earlier window are gone with it: start without clip and pattern bitmap.
  PatternBitmap = PatternBitmapType{};
  ChangeBothContexts([](raster::DeviceContext& dc) {
    dc.clipEnabled = false;
    dc.viewportOrigin = {0, 0};
  });

  if (PaletteMode) {
    PaletteType palette;
    ReadStandardPalette(palette);
    WritePalette(palette);
  } else {
    ResetNamedColors();
  }
  LineSettings = LineSettingsType{0, 0, 1};
  SetDrawColor(White);
  SetBackColor(Black);
  DefineFillPattern(FillPatternType{{255, 255, 255, 255, 255, 255, 255, 255}}, White);
  SelectFill(1, White);
  SelectTextFont(0, 0, 16);
  SetTextAlignment(0, 0);
  SetTextSpacing(0, 0);
  SetViewport(0, 0, int16_t(ClientMaxX), int16_t(ClientMaxY), false);
  SetRasterMode(0);
  SetAspect(10000, 10000);
  FloodMode = raster::FloodMode::Border;
}

void SetViewport(int16_t left, int16_t top, int16_t right, int16_t bottom, bool clipping) {
  if (!BeginWindowOperation()) return;
  if (left > right || top > bottom) {
    GraphError = GraphInvalidParameter;
    return;
  }
  Viewport = ViewPortType{left, top, right, bottom, clipping};
  ViewWidth = int16_t(right - left);
  ViewHeight = int16_t(bottom - top);
  ChangeBothContexts([&](raster::DeviceContext& dc) {
    dc.viewportOrigin = {left, top};
    dc.clipEnabled = clipping;
    dc.clip = raster::Rect{left, top, right + 1, bottom + 1};
  });
  SetPosition(0, 0);
}

void ReadViewport(ViewPortType& viewport) { viewport = Viewport; }

void SetPosition(int16_t x, int16_t y) {
  if (!BeginWindowOperation()) return;
  CurrentPositionX = x;
  CurrentPositionY = y;
  ChangeBothContexts([&](raster::DeviceContext& dc) { dc.currentPosition = {x, y}; });
}

void MovePosition(int16_t dx, int16_t dy) {
  CurrentPositionX += dx;
  CurrentPositionY += dy;
  SetPosition(int16_t(CurrentPositionX), int16_t(CurrentPositionY));
}

int16_t GetPositionX() { return int16_t(CurrentPositionX); }
int16_t GetPositionY() { return int16_t(CurrentPositionY); }
int16_t GetWindowMaxX() { return int16_t(ClientMaxX); }
int16_t GetWindowMaxY() { return int16_t(ClientMaxY); }

void FillBox(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  if (!BeginWindowOperation()) return;
  if (x1 > x2 || y1 > y2) {
    GraphError = GraphInvalidParameter;
    return;
  }
  raster::Rect box{x1, y1, x2 + 1, y2 + 1};
  DrawThroughOperation([&](raster::DeviceContext& dc) {
    // A rectangle fill paints with the brush alone: the raster mode does not apply.
    raster::Rop2 kept = dc.rop2;
    dc.rop2 = raster::Rop2::CopyPen;
    raster::Rect touched = dc.FillRect(box);
    dc.rop2 = kept;
    return touched;
  });
}

void EraseViewport() {
  SetPosition(0, 0);
  if (GraphError != GraphOk) return;
  FillSettingsType kept = FillSettings;
  SelectFill(1, BackColor);
  FillBox(0, 0, ViewWidth, ViewHeight);
  int16_t result = GraphError;
  SelectFill(kept.FillStyle, kept.FillColor);
  if (result != GraphOk) GraphError = result;
}

void ClearGraphWindow() {
  ViewPortType kept = Viewport;
  SetViewport(0, 0, int16_t(ClientMaxX), int16_t(ClientMaxY), false);
  EraseViewport();
  SetViewport(kept.Left, kept.Top, kept.Right, kept.Bottom, kept.Clipping);
}

void SetPenStyle(uint16_t style, uint16_t pattern, uint16_t width) {
  if (!BeginWindowOperation()) return;
  if (style > 6) {
    GraphError = GraphInvalidParameter;
    return;
  }
  LineSettings = LineSettingsType{style, pattern, width};
  raster::Pen pen{kPenStyles[style], width, ToDeviceColor(DrawColor)};
  ChangeBothContexts([&](raster::DeviceContext& dc) { dc.pen = pen; });
}

void ReadLineSettings(LineSettingsType& settings) { settings = LineSettings; }

void SelectFill(uint16_t style, uint32_t color) {
  if (!BeginWindowOperation()) return;
  if (style > 9) {
    GraphError = GraphInvalidParameter;
    return;
  }
  if (style == 0) color = BackColor;
  raster::Brush brush;
  brush.color = ToDeviceColor(color);
  if (style <= 1) {
    brush.style = raster::BrushStyle::Solid;
  } else if (style <= 7) {
    brush.style = raster::BrushStyle::Hatched;
    brush.hatch = kHatches[style - 2];
  } else if (style == 8 && PatternBitmap.exists) {
    brush.style = raster::BrushStyle::ColorPattern;
    for (int row = 0; row < 8; ++row) brush.pattern[row] = PatternBitmap.rows[row];
    brush.color = PatternBitmap.fore;
    brush.patternBack = PatternBitmap.back;
  } else {
    brush.style = raster::BrushStyle::Null;  // style 9, or a pattern never drawn
  }
  FillSettings = FillSettingsType{style, color};
  ChangeBothContexts([&](raster::DeviceContext& dc) { dc.brush = brush; });
}

void DefineFillPattern(const FillPatternType& pattern, uint32_t color) {
  if (!BeginWindowOperation()) return;
  FillPattern = pattern;
  PatternBitmap.exists = true;
  for (int row = 0; row < 8; ++row) PatternBitmap.rows[row] = pattern.Rows[row];
  PatternBitmap.fore = ToDeviceColor(color);
  PatternBitmap.back = ToDeviceColor(BackColor);
  SelectFill(8, color);
}

void ReadFillSettings(FillSettingsType& settings) { settings = FillSettings; }
void ReadFillPattern(FillPatternType& pattern) { pattern = FillPattern; }

void SetRasterMode(int16_t mode) {
  if (!BeginWindowOperation()) return;
  int remainder = mode % 16, rest = mode - remainder;
  if (mode < 0 || (rest != 0 && rest != 16)) {
    GraphError = GraphInvalidParameter;
    return;
  }
  raster::BackgroundMode background =
      rest == 16 ? raster::BackgroundMode::Opaque : raster::BackgroundMode::Transparent;
  ChangeBothContexts([&](raster::DeviceContext& dc) {
    dc.rop2 = kRasterOps[remainder];
    dc.backgroundMode = background;
  });
}

void SetAspect(uint16_t xFactor, uint16_t yFactor) {
  AspectX = xFactor;
  AspectY = yFactor;
  SquareAspect = xFactor == 10000 && yFactor == 10000;
}

void GetAspect(uint16_t& xFactor, uint16_t& yFactor) {
  xFactor = uint16_t(AspectX);
  yFactor = uint16_t(AspectY);
}

void SetFloodMode(int16_t mode) {
  if (mode == 0)
    FloodMode = raster::FloodMode::Border;
  else if (mode == 1)
    FloodMode = raster::FloodMode::Surface;
}

// Software device contexts: the drawing model the graphics library draws with.
//
// A Surface is a block of pixels (1, 4 or 8 bits with a colour table; 16, 24 or 32 bits
// direct; rows stored bottom-up, each padded to 4 bytes). A DeviceContext holds one selected
// surface and the drawing state (pen, brush, font, colours, raster operation, background mode,
// clip rectangle, current position, text alignment) and draws on it by the pixel rules of the
// classic device-context model: right and bottom edges excluded, line end points excluded,
// binary raster operations on raw pixel values.
//
// Nothing here knows the graphics library or its window: the library owns the surfaces and
// contexts and calls these operations under its own lock. Callers on different threads must
// not use one context or surface at the same time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace fonts {
class Font;
}

namespace raster {

// A colour as drawing operations take it: red in the low byte, then green, blue; when bit 24
// is set, the low 16 bits are an index into the context's palette instead.
using ColorRef = uint32_t;
constexpr ColorRef kPaletteIndexFlag = 0x01000000u;
constexpr ColorRef MakeRgb(uint8_t r, uint8_t g, uint8_t b) { return r | (g << 8) | (uint32_t(b) << 16); }
constexpr ColorRef PaletteIndex(uint16_t index) { return kPaletteIndexFlag | index; }
constexpr uint8_t RedOf(ColorRef c) { return c & 0xFF; }
constexpr uint8_t GreenOf(ColorRef c) { return (c >> 8) & 0xFF; }
constexpr uint8_t BlueOf(ColorRef c) { return (c >> 16) & 0xFF; }

// One colour-table entry, in the byte order of bitmap files: blue, green, red, reserved.
struct TableColor {
  uint8_t blue = 0, green = 0, red = 0, reserved = 0;
  bool operator==(const TableColor&) const = default;
};

// A raw pixel value as stored in a surface: a table index for 1, 4 and 8 bits; 0x00RRGGBB for
// 24 and 32 bits; 5-6-5 for 16 bits.
using Pixel = uint32_t;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom excluded
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool Empty() const { return right <= left || bottom <= top; }
  bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  Rect Intersect(const Rect& o) const;
  Rect Union(const Rect& o) const;  // an empty side is ignored
};

struct Point {
  int x = 0, y = 0;
};

class Surface {
 public:
  // An empty (0 x 0) surface; Create gives it pixels.
  Surface() = default;
  // Allocates width x height pixels at bitsPerPixel (1, 4, 8, 16, 24, 32), all zero, with a
  // colour table of 2^bitsPerPixel zero entries when bitsPerPixel <= 8. False for a bad size
  // or depth, leaving the surface empty.
  bool Create(int width, int height, int bitsPerPixel);

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  int Stride() const { return stride_; }  // bytes per row, a multiple of 4
  bool Indexed() const { return bitsPerPixel_ <= 8 && bitsPerPixel_ > 0; }
  Rect Bounds() const { return {0, 0, width_, height_}; }

  // Row y counted from the top (the memory holds the bottom row first).
  uint8_t* Row(int y) { return bits_.data() + size_t(height_ - 1 - y) * stride_; }
  const uint8_t* Row(int y) const { return bits_.data() + size_t(height_ - 1 - y) * stride_; }
  uint8_t* Bits() { return bits_.data(); }
  const uint8_t* Bits() const { return bits_.data(); }
  size_t ByteSize() const { return bits_.size(); }

  // Unchecked: callers clip first.
  Pixel GetPixel(int x, int y) const;
  void SetPixel(int x, int y, Pixel value);

  std::vector<TableColor>& ColorTable() { return colorTable_; }
  const std::vector<TableColor>& ColorTable() const { return colorTable_; }

  // The RGB colour (red in the low byte) a raw pixel value shows.
  ColorRef PixelToRgb(Pixel value) const;
  // The raw pixel value nearest to an RGB colour: the closest table entry (smallest squared
  // distance, lowest index on a tie) on indexed surfaces, the packed value on direct ones.
  Pixel RgbToPixel(ColorRef rgb) const;

 private:
  int width_ = 0, height_ = 0, bitsPerPixel_ = 0, stride_ = 0;
  std::vector<uint8_t> bits_;
  std::vector<TableColor> colorTable_;
};

// Index of the nearest entry of a table to an RGB colour (smallest squared distance, first on a tie).
int NearestTableEntry(const std::vector<TableColor>& table, ColorRef rgb);

// The 16 binary raster operations, numbered as the device-context model numbers them.
enum class Rop2 : uint8_t {
  Black = 1, NotMergePen, MaskNotPen, NotCopyPen, MaskPenNot, Not, XorPen, NotMaskPen,
  MaskPen, NotXorPen, Nop, MergeNotPen, CopyPen, MergePenNot, MergePen, White
};
// Applies a binary raster operation to raw pixel values, keeping `mask` bits of the result.
Pixel ApplyRop2(Rop2 op, Pixel pen, Pixel dest, Pixel mask);

enum class BackgroundMode : uint8_t { Transparent = 1, Opaque = 2 };

enum class PenStyle : uint8_t { Solid = 0, Dash, Dot, DashDot, DashDotDot, Null, InsideFrame };
struct Pen {
  PenStyle style = PenStyle::Solid;
  int width = 1;  // 0 means 1 pixel
  ColorRef color = 0;
};

// ColorPattern: a colour 8 x 8 bitmap brush of two colours fixed when it was made: 1 bits of
// `pattern` paint `color`, 0 bits `patternBack` (text and background colours do not apply).
enum class BrushStyle : uint8_t { Solid, Null, Hatched, Pattern, ColorPattern };
enum class HatchStyle : uint8_t { Horizontal, Vertical, ForwardDiagonal, BackwardDiagonal, Cross, DiagonalCross };
struct Brush {
  BrushStyle style = BrushStyle::Solid;
  ColorRef color = MakeRgb(255, 255, 255);
  HatchStyle hatch = HatchStyle::Horizontal;
  // A pattern brush: 8 rows from the top, bit 0x80 the leftmost pixel; 0 bits paint in the
  // text colour, 1 bits in the background colour.
  uint8_t pattern[8] = {};
  ColorRef patternBack = 0;  // ColorPattern only
};

// Text alignment flags, combined: one horizontal, one vertical, and update-current-position.
enum TextAlign : uint16_t {
  kAlignLeft = 0, kAlignRight = 2, kAlignCenter = 6,
  kAlignTop = 0, kAlignBottom = 8, kAlignBaseline = 24,
  kAlignUpdateCP = 1,
};

// The drawing state and the surface it draws on. Every setter takes effect for the next
// operation; none of them draws.
class DeviceContext {
 public:
  void SelectSurface(Surface* surface) { surface_ = surface; }
  Surface* SelectedSurface() const { return surface_; }

  // The palette that PaletteIndex colours refer to (may be null: index colours then give entry 0
  // of the surface's own table, or black on a direct surface).
  void SelectPalette(const std::vector<TableColor>* palette) { palette_ = palette; }
  const std::vector<TableColor>* SelectedPalette() const { return palette_; }

  Pen pen;
  Brush brush;
  std::shared_ptr<const fonts::Font> font;
  ColorRef textColor = 0;
  ColorRef backColor = MakeRgb(255, 255, 255);
  BackgroundMode backgroundMode = BackgroundMode::Opaque;
  Rop2 rop2 = Rop2::CopyPen;
  uint16_t textAlign = kAlignLeft | kAlignTop;
  int charExtra = 0;                     // added to every character advance
  int breakExtra = 0, breakCount = 0;    // justification: extra pixels spread over the blanks
  Point currentPosition;
  Point viewportOrigin;                  // added to every coordinate given to drawing operations
  bool clipEnabled = false;
  Rect clip;                             // device coordinates; intersected with the surface bounds

  // The raw pixel value a colour gives on the selected surface.
  Pixel Resolve(ColorRef color) const;
  // The rectangle drawing may touch: the surface bounds, cut to the clip rectangle when enabled.
  Rect DrawableArea() const;

  // Fills a rectangle (logical coordinates, right and bottom excluded) with the brush, through
  // the raster operation, inside the clip. Returns the device rectangle touched (empty if none).
  Rect FillRect(Rect r);
  // Fills with a single colour, ignoring brush, raster operation and clip (page clears).
  Rect FillSolid(Rect deviceRect, ColorRef color);

 private:
  Surface* surface_ = nullptr;
  const std::vector<TableColor>* palette_ = nullptr;
};

// Copies a block of pixels from one surface to another, converting between formats through
// the colour tables (for indexed sources) and nearest-colour matching (for indexed
// destinations). No clip or raster operation: a plain copy, clipped to both surfaces.
void CopyPixels(Surface& dest, int dx, int dy, const Surface& src, const Rect& srcRect);

}  // namespace raster

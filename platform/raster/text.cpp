// Text output on a device context: places the glyphs of a font by the context's alignment,
// spacing and direction, fills the opaque cell, underlines, and moves the current position.
//
// The binary raster operation never applies to text. Glyph pixels go straight into the surface:
// on indexed surfaces as the text colour's raw value wherever a black-and-white glyph has ink,
// on direct surfaces blended by coverage (or solid, when asked).
#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/fonts/fonts.h"
#include "platform/raster/raster.h"

namespace fonts {
namespace {

using raster::Pixel;
using raster::Rect;
using raster::Surface;

Rect Meet(const Rect& a, const Rect& b) {
  Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.Empty()) return {};
  return r;
}

Rect Join(const Rect& a, const Rect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

// Writes pixels of one colour into a surface, with or without blending.
class PixelWriter {
 public:
  PixelWriter(Surface& surface, Pixel value) : s_(surface), value_(value) {
    rgb_ = s_.Indexed() ? 0 : s_.PixelToRgb(value);
  }

  void Put(int x, int y) {
    switch (s_.BitsPerPixel()) {
      case 8:
        s_.Row(y)[x] = uint8_t(value_);
        break;
      case 32:
        reinterpret_cast<uint32_t*>(s_.Row(y))[x] = value_;
        break;
      default:
        s_.SetPixel(x, y, value_);
        break;
    }
  }

  // Blends by coverage 0-255 (direct surfaces only).
  void Blend(int x, int y, unsigned coverage) {
    if (coverage >= 255) return Put(x, y);
    if (coverage == 0) return;
    if (s_.BitsPerPixel() == 32) {
      uint32_t& d = reinterpret_cast<uint32_t*>(s_.Row(y))[x];
      d = Mix(d, value_, coverage);
      return;
    }
    s_.SetPixel(x, y, s_.RgbToPixel(Mix(s_.PixelToRgb(s_.GetPixel(x, y)), rgb_, coverage)));
  }

  void FillSpan(int x0, int x1, int y) {
    if (s_.BitsPerPixel() == 8) {
      std::fill(s_.Row(y) + x0, s_.Row(y) + x1, uint8_t(value_));
    } else if (s_.BitsPerPixel() == 32) {
      uint32_t* row = reinterpret_cast<uint32_t*>(s_.Row(y));
      std::fill(row + x0, row + x1, value_);
    } else {
      for (int x = x0; x < x1; ++x) s_.SetPixel(x, y, value_);
    }
  }

 private:
  // Channel-wise d + (s - d) * a / 255 on 0x00RRGGBB-shaped values.
  static uint32_t Mix(uint32_t d, uint32_t s, unsigned a) {
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const int dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
      const int v = dc + ((sc - dc) * int(a) + 127) / 255;
      out |= uint32_t(v) << shift;
    }
    return out | (d & 0xFF000000u);
  }

  Surface& s_;
  Pixel value_;
  raster::ColorRef rgb_ = 0;
};

// Fills the parallelogram origin + a*d + b*n, a in [0, length), b in [b0, b1) (pixel centres
// inside). Returns the device rectangle touched.
Rect FillBand(PixelWriter& writer, const Rect& area, double ox, double oy, double dx, double dy,
              double length, double b0, double b1) {
  const double nx = -dy, ny = dx;  // the "down" side of the direction, for y growing downwards
  double xs[4], ys[4];
  const double as[2] = {0, length}, bs[2] = {b0, b1};
  for (int i = 0; i < 4; ++i) {
    xs[i] = ox + as[i & 1] * dx + bs[i >> 1] * nx;
    ys[i] = oy + as[i & 1] * dy + bs[i >> 1] * ny;
  }
  Rect box{int(std::floor(*std::min_element(xs, xs + 4))), int(std::floor(*std::min_element(ys, ys + 4))),
           int(std::ceil(*std::max_element(xs, xs + 4))) + 1,
           int(std::ceil(*std::max_element(ys, ys + 4))) + 1};
  box = Meet(box, area);
  Rect touched;
  for (int y = box.top; y < box.bottom; ++y) {
    for (int x = box.left; x < box.right; ++x) {
      const double px = x + 0.5 - ox, py = y + 0.5 - oy;
      const double a = px * dx + py * dy;
      const double b = px * nx + py * ny;
      if (a >= 0 && a < length && b >= b0 && b < b1) {
        writer.Put(x, y);
        touched = Join(touched, Rect{x, y, x + 1, y + 1});
      }
    }
  }
  return touched;
}

// Fills an axis-aligned rectangle, cut to the area.
Rect FillBox(PixelWriter& writer, const Rect& area, Rect r) {
  r = Meet(r, area);
  for (int y = r.top; y < r.bottom; ++y) writer.FillSpan(r.left, r.right, y);
  return r;
}

// Puts one glyph with its origin at device pixel (x, y) (pen on the baseline).
Rect PutGlyph(PixelWriter& writer, const Rect& area, const GlyphBitmap& g, int x, int y, bool blend) {
  if (!g.coverage) return {};
  const int left = x + g.left, top = y - g.top;
  const Rect r = Meet(Rect{left, top, left + g.width, top + g.rows}, area);
  if (r.Empty()) return {};
  for (int row = r.top; row < r.bottom; ++row) {
    const uint8_t* src = g.coverage + size_t(row - top) * g.width - left;
    for (int col = r.left; col < r.right; ++col) {
      const unsigned c = src[col];
      if (!c) continue;
      if (blend)
        writer.Blend(col, row, c);
      else
        writer.Put(col, row);
    }
  }
  return r;
}

struct SpanPainter {
  PixelWriter* writer;
  bool blend;
  Rect touched;
};

void PaintSpan(void* context, int y, int x0, int x1, unsigned coverage) {
  SpanPainter& p = *static_cast<SpanPainter*>(context);
  for (int x = x0; x < x1; ++x) {
    if (p.blend)
      p.writer->Blend(x, y, coverage);
    else
      p.writer->Put(x, y);
  }
  p.touched = Join(p.touched, Rect{x0, y, x1, y + 1});
}

// Draws one character with its pen at (x, y): from the glyph cache, or straight from the
// outline for glyphs too large to keep.
Rect DrawGlyph(PixelWriter& writer, const Rect& area, const Font& font, uint8_t byte, int x, int y,
               bool blend) {
  if (!font.Large()) return PutGlyph(writer, area, font.Glyph(byte, blend), x, y, blend);
  SpanPainter painter{&writer, blend, {}};
  font.RenderSpans(byte, x, y, area, blend, PaintSpan, &painter);
  return painter.touched;
}

}  // namespace

raster::Point GetTextExtent(const raster::DeviceContext& dc, std::string_view text) {
  std::shared_ptr<const Font> font = dc.font ? dc.font : DefaultFont();
  if (!font) return {};
  return {font->TextWidth(text, dc.charExtra, dc.breakExtra, dc.breakCount), font->Metrics().height};
}

raster::Rect DrawText(raster::DeviceContext& dc, int x, int y, std::string_view text, GlyphMode directMode) {
  const std::shared_ptr<const Font> held = dc.font ? nullptr : DefaultFont();
  const Font* font = dc.font ? dc.font.get() : held.get();
  if (!font) return {};
  const FontMetrics& m = font->Metrics();
  const int width = font->TextWidth(text, dc.charExtra, dc.breakExtra, dc.breakCount);

  const bool updateCP = (dc.textAlign & raster::kAlignUpdateCP) != 0;
  const raster::Point ref = updateCP ? dc.currentPosition : raster::Point{x, y};
  const int horizontal = dc.textAlign & 6;
  const int vertical = dc.textAlign & 24;
  // Offsets from the reference point to the baseline's start, along and across the text.
  const int along = horizontal == raster::kAlignRight    ? -width
                    : horizontal == raster::kAlignCenter ? -(width / 2)
                                                         : 0;
  const int across = vertical == raster::kAlignBaseline ? 0
                     : vertical == raster::kAlignBottom ? -m.descent
                                                        : m.ascent;

  const int escapement = font->Escapement();
  const bool rotated = escapement % 3600 != 0;
  const double angle = escapement * std::numbers::pi / 1800.0;
  const double dx = rotated ? std::cos(angle) : 1.0, dy = rotated ? -std::sin(angle) : 0.0;

  if (updateCP && horizontal != raster::kAlignCenter) {
    const int sign = horizontal == raster::kAlignRight ? -1 : 1;
    dc.currentPosition.x += sign * (rotated ? int(std::lround(width * dx)) : width);
    dc.currentPosition.y += sign * (rotated ? int(std::lround(width * dy)) : 0);
  }

  raster::Surface* surface = dc.SelectedSurface();
  if (!surface || surface->Width() <= 0 || surface->Height() <= 0) return {};
  const Rect area = dc.DrawableArea();
  if (area.Empty()) return {};

  const int refX = ref.x + dc.viewportOrigin.x, refY = ref.y + dc.viewportOrigin.y;
  Rect touched;
  PixelWriter ink(*surface, dc.Resolve(dc.textColor));
  const bool blend = !surface->Indexed() && directMode == GlyphMode::Smooth;

  if (!rotated) {
    const int startX = refX + along, baseY = refY + across;
    if (dc.backgroundMode == raster::BackgroundMode::Opaque) {
      PixelWriter back(*surface, dc.Resolve(dc.backColor));
      touched = FillBox(back, area, Rect{startX, baseY - m.ascent, startX + width, baseY + m.descent});
    }
    int penX = startX, blanks = 0;
    for (char ch : text) {
      const uint8_t b = uint8_t(ch);
      touched = Join(touched, DrawGlyph(ink, area, *font, b, penX, baseY, blend));
      penX += font->Advance(b) + dc.charExtra;
      if (b == ' ') penX += BreakExtraAt(blanks++, dc.breakExtra, dc.breakCount);
    }
    if (m.underline)
      touched = Join(touched, FillBox(ink, area,
                                      Rect{startX, baseY + m.underlinePosition, startX + width,
                                           baseY + m.underlinePosition + m.underlineThickness}));
    if (m.strikeOut)
      touched = Join(touched, FillBox(ink, area,
                                      Rect{startX, baseY - m.strikeoutPosition - m.strikeoutThickness,
                                           startX + width, baseY - m.strikeoutPosition}));
    return touched;
  }

  // Rotated: the baseline runs along (dx, dy); "across" points to the right of it.
  const double nx = -dy, ny = dx;
  const double startX = refX + along * dx + across * nx, startY = refY + along * dy + across * ny;
  if (dc.backgroundMode == raster::BackgroundMode::Opaque) {
    PixelWriter back(*surface, dc.Resolve(dc.backColor));
    touched = FillBand(back, area, startX, startY, dx, dy, width, -m.ascent, m.descent);
  }
  double pen = 0;
  int blanks = 0;
  for (char ch : text) {
    const uint8_t b = uint8_t(ch);
    const int px = int(std::lround(startX + pen * dx)), py = int(std::lround(startY + pen * dy));
    touched = Join(touched, DrawGlyph(ink, area, *font, b, px, py, blend));
    pen += font->Advance(b) + dc.charExtra;
    if (b == ' ') pen += BreakExtraAt(blanks++, dc.breakExtra, dc.breakCount);
  }
  if (m.underline)
    touched = Join(touched, FillBand(ink, area, startX, startY, dx, dy, width, m.underlinePosition,
                                     m.underlinePosition + m.underlineThickness));
  if (m.strikeOut)
    touched = Join(touched, FillBand(ink, area, startX, startY, dx, dy, width,
                                     -m.strikeoutPosition - m.strikeoutThickness, -m.strikeoutPosition));
  return touched;
}

}  // namespace fonts

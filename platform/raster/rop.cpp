// Raster operations, pens and brushes as they paint on a surface, pixel get/set, rectangle
// fills and inversion: the shared core the figures, flood fill and blits are built on.
#include <algorithm>
#include <cstring>

#include "platform/raster/draw.h"
#include "platform/raster/paint.h"

namespace raster {

using namespace detail;

Pixel ApplyRop2(Rop2 op, Pixel pen, Pixel dest, Pixel mask) {
  unsigned code = unsigned(op);
  if (code < 1 || code > 16) return dest & mask;
  return Rop2Bits(code - 1, pen, dest) & mask;
}

Pixel ApplyRop3(uint8_t rop3, Pixel p, Pixel s, Pixel d, Pixel mask) {
  Pixel r;
  switch (rop3) {
    case 0xCC:
      r = s;
      break;
    case 0xEE:
      r = s | d;
      break;
    case 0x88:
      r = s & d;
      break;
    case 0x66:
      r = s ^ d;
      break;
    case 0x44:
      r = s & ~d;
      break;
    case 0x33:
      r = ~s;
      break;
    case 0x11:
      r = ~(s | d);
      break;
    case 0xBB:
      r = ~s | d;
      break;
    case 0x55:
      r = ~d;
      break;
    case 0xF0:
      r = p;
      break;
    case 0xAA:
      r = d;
      break;
    case 0x00:
      r = 0;
      break;
    case 0xFF:
      r = ~Pixel(0);
      break;
    default: {
      // Bit i of the code is the result for P = i & 4, S = i & 2, D = i & 1.
      r = 0;
      for (int i = 0; i < 8; ++i) {
        if (!(rop3 & (1u << i))) continue;
        Pixel term = ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
        r |= term;
      }
    }
  }
  return r & mask;
}

bool CreateMonochrome(Surface& surface, int width, int height) {
  if (!surface.Create(width, height, 1)) return false;
  surface.ColorTable().clear();
  return true;
}

bool IsDeviceMonochrome(const Surface& surface) {
  return surface.BitsPerPixel() == 1 && surface.ColorTable().empty();
}

Pixel PixelMask(const Surface& surface) {
  switch (surface.BitsPerPixel()) {
    case 1:
      return 1;
    case 4:
      return 0xF;
    case 8:
      return 0xFF;
    case 16:
      return 0xFFFF;
    default:
      return 0xFFFFFF;
  }
}

Pixel ResolveColor(const DeviceContext& dc, ColorRef color) {
  const Surface* s = dc.SelectedSurface();
  if (!s || s->BitsPerPixel() == 0) return 0;
  if (IsDeviceMonochrome(*s)) {
    ColorRef rgb = color;
    if (color & kPaletteIndexFlag) {
      const std::vector<TableColor>* pal = dc.SelectedPalette();
      unsigned index = color & 0xFFFF;
      if (!pal || pal->empty()) return 0;
      const TableColor& t = index < pal->size() ? (*pal)[index] : (*pal)[0];
      rgb = MakeRgb(t.red, t.green, t.blue);
    }
    // Nearest of black and white.
    return (unsigned(RedOf(rgb)) + GreenOf(rgb) + BlueOf(rgb)) > 382 ? 1 : 0;
  }
  return dc.Resolve(color) & PixelMask(*s);
}

ColorRef PixelColor(const Surface& surface, Pixel value) {
  if (IsDeviceMonochrome(surface)) return (value & 1) ? MakeRgb(255, 255, 255) : MakeRgb(0, 0, 0);
  return surface.PixelToRgb(value);
}

namespace detail {

const uint8_t kHatchRows[6][8] = {
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00},  // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // vertical
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // forward diagonal
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // backward diagonal
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08},  // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // diagonal cross
};

BrushPaint MakeBrushPaint(const DeviceContext& dc) {
  BrushPaint b;
  const Brush& br = dc.brush;
  switch (br.style) {
    case BrushStyle::Null:
      return b;
    case BrushStyle::Solid:
      b.none = false;
      b.solid = true;
      b.fore = ResolveColor(dc, br.color);
      return b;
    case BrushStyle::Hatched: {
      unsigned h = unsigned(br.hatch);
      if (h > 5) h = 0;
      b.none = false;
      std::memcpy(b.bits, kHatchRows[h], 8);
      b.fore = ResolveColor(dc, br.color);
      b.back = ResolveColor(dc, dc.backColor);
      b.paintBack = dc.backgroundMode == BackgroundMode::Opaque;
      return b;
    }
    case BrushStyle::Pattern:
      // 1 bits take the background colour, 0 bits the text colour.
      b.none = false;
      std::memcpy(b.bits, br.pattern, 8);
      b.fore = ResolveColor(dc, dc.backColor);
      b.back = ResolveColor(dc, dc.textColor);
      b.paintBack = true;
      return b;
    case BrushStyle::ColorPattern:
      b.none = false;
      std::memcpy(b.bits, br.pattern, 8);
      b.fore = ResolveColor(dc, br.color);
      b.back = ResolveColor(dc, br.patternBack);
      b.paintBack = true;
      return b;
  }
  return b;
}

DashPattern DashFor(PenStyle style) {
  static const uint8_t kDash[] = {18, 6};
  static const uint8_t kDot[] = {3, 3};
  static const uint8_t kDashDot[] = {9, 6, 3, 6};
  static const uint8_t kDashDotDot[] = {9, 3, 3, 3, 3, 3};
  switch (style) {
    case PenStyle::Dash:
      return {kDash, 2, 24};
    case PenStyle::Dot:
      return {kDot, 2, 6};
    case PenStyle::DashDot:
      return {kDashDot, 4, 24};
    case PenStyle::DashDotDot:
      return {kDashDotDot, 6, 24};
    default:
      return {};
  }
}

Painter::Painter(DeviceContext& dc) {
  Surface* s = dc.SelectedSurface();
  if (!s || s->Width() <= 0 || s->Height() <= 0) return;
  surface_ = s;
  bpp_ = s->BitsPerPixel();
  area_ = dc.DrawableArea().Intersect(s->Bounds());
  ox_ = dc.viewportOrigin.x;
  oy_ = dc.viewportOrigin.y;
  unsigned code = unsigned(dc.rop2);
  f_ = (code >= 1 && code <= 16) ? code - 1 : 10;  // an unknown code draws nothing (nop)
  copy_ = f_ == 12;
  mask_ = PixelMask(*s);
  penNull = dc.pen.style == PenStyle::Null;
  penWidth = dc.pen.width > 1 ? dc.pen.width : 1;
  if (penWidth == 1) dash = DashFor(dc.pen.style);
  penPixel = ResolveColor(dc, dc.pen.color);
  gapPixel = ResolveColor(dc, dc.backColor);
  paintGaps = dc.backgroundMode == BackgroundMode::Opaque;
}

namespace {

template <class T>
void RopLoop(T* p, int n, unsigned f, Pixel v, Pixel mask) {
  for (int i = 0; i < n; ++i) p[i] = T(Rop2Bits(f, v, p[i]) & mask);
}

}  // namespace

void Painter::Span(int x0, int x1, int y, Pixel v) {
  if (y < area_.top || y >= area_.bottom) return;
  x0 = std::max(x0, area_.left);
  x1 = std::min(x1, area_.right);
  if (x0 >= x1) return;
  Touch(x0, y, x1, y + 1);
  uint8_t* row = surface_->Row(y);
  int n = x1 - x0;
  if (bpp_ == 32) {
    uint32_t* p = reinterpret_cast<uint32_t*>(row) + x0;
    if (copy_)
      Fill32(p, n, uint32_t(v));
    else
      RopLoop(p, n, f_, v, mask_);
    return;
  }
  if (bpp_ == 8) {
    if (copy_)
      std::memset(row + x0, int(v & 0xFF), size_t(n));
    else
      RopLoop(row + x0, n, f_, v, mask_);
    return;
  }
  if (bpp_ == 16) {
    uint16_t* p = reinterpret_cast<uint16_t*>(row) + x0;
    if (copy_)
      std::fill_n(p, n, uint16_t(v));
    else
      RopLoop(p, n, f_, v, mask_);
    return;
  }
  for (int x = x0; x < x1; ++x) {
    if (copy_)
      SetRaw(row, bpp_, x, v);
    else
      SetRaw(row, bpp_, x, Rop2Bits(f_, v, GetRaw(row, bpp_, x)) & mask_);
  }
}

void Painter::BrushSpan(int x0, int x1, int y, const BrushPaint& b) {
  if (b.none) return;
  if (b.solid) {
    Span(x0, x1, y, b.fore);
    return;
  }
  if (y < area_.top || y >= area_.bottom) return;
  x0 = std::max(x0, area_.left);
  x1 = std::min(x1, area_.right);
  if (x0 >= x1) return;
  Touch(x0, y, x1, y + 1);
  uint8_t* row = surface_->Row(y);
  unsigned bits = b.bits[y & 7];
  for (int x = x0; x < x1; ++x) {
    bool on = (bits >> (7 - (x & 7))) & 1;
    if (on ? !b.paintFore : !b.paintBack) continue;
    Pixel v = on ? b.fore : b.back;
    if (copy_)
      SetRaw(row, bpp_, x, v);
    else
      SetRaw(row, bpp_, x, Rop2Bits(f_, v, GetRaw(row, bpp_, x)) & mask_);
  }
}

void SpanSet::Add(int y, int x0, int x1) {
  if (x0 >= x1 || !Has(y)) return;
  auto& row = rows_[size_t(y - top_)];
  // Rows are built mostly in order; merge in place.
  auto it = std::lower_bound(row.begin(), row.end(), std::make_pair(x0, x0),
                             [](const auto& a, const auto& b) { return a.second < b.first; });
  // `it` is the first span that ends at or after x0.
  auto last = it;
  while (last != row.end() && last->first <= x1) {
    x0 = std::min(x0, last->first);
    x1 = std::max(x1, last->second);
    ++last;
  }
  it = row.erase(it, last);
  row.insert(it, {x0, x1});
}

void SpanSet::Subtract(const SpanSet& other) {
  for (int y = std::max(top_, other.Top()); y < std::min(Bottom(), other.Bottom()); ++y) {
    auto& row = rows_[size_t(y - top_)];
    const auto& cut = other.Row(y);
    if (row.empty() || cut.empty()) continue;
    std::vector<std::pair<int, int>> out;
    size_t j = 0;
    for (auto [a, b] : row) {
      int x = a;
      while (j < cut.size() && cut[j].second <= x) ++j;
      size_t k = j;
      while (x < b) {
        if (k >= cut.size() || cut[k].first >= b) {
          out.push_back({x, b});
          break;
        }
        if (cut[k].first > x) out.push_back({x, cut[k].first});
        x = std::max(x, cut[k].second);
        ++k;
      }
    }
    row.swap(out);
  }
}

void PaintSpans(Painter& p, const SpanSet& s, Pixel v) {
  for (int y = std::max(s.Top(), p.Area().top); y < std::min(s.Bottom(), p.Area().bottom); ++y)
    for (auto [a, b] : s.Row(y)) p.Span(a, b, y, v);
}

void PaintBrushSpans(Painter& p, const SpanSet& s, const BrushPaint& b) {
  if (b.none) return;
  for (int y = std::max(s.Top(), p.Area().top); y < std::min(s.Bottom(), p.Area().bottom); ++y)
    for (auto [a, c] : s.Row(y)) p.BrushSpan(a, c, y, b);
}

}  // namespace detail

Rect DeviceContext::FillRect(Rect r) {
  Painter p(*this);
  if (!p.Ok()) return {};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  long long l = (long long)r.left + p.OriginX(), rr = (long long)r.right + p.OriginX();
  long long t = (long long)r.top + p.OriginY(), b = (long long)r.bottom + p.OriginY();
  int y0 = int(std::max<long long>(t, p.Area().top)), y1 = int(std::min<long long>(b, p.Area().bottom));
  int x0 = int(std::max<long long>(l, p.Area().left)), x1 = int(std::min<long long>(rr, p.Area().right));
  if (x0 >= x1 || y0 >= y1) return {};
  BrushPaint bp = MakeBrushPaint(*this);
  if (bp.solid && p.Copy() && p.Bpp() == 32) {
    // The common page fill, without the per-span clipping.
    Surface* s = p.Target();
    for (int y = y0; y < y1; ++y)
      Fill32(reinterpret_cast<uint32_t*>(s->Row(y)) + x0, x1 - x0, uint32_t(bp.fore));
    return {x0, y0, x1, y1};
  }
  for (int y = y0; y < y1; ++y) p.BrushSpan(x0, x1, y, bp);
  return p.Touched();
}

Rect PaintPixel(DeviceContext& dc, int x, int y, ColorRef color) {
  Painter p(dc);
  if (!p.Ok()) return {};
  long long dx = (long long)x + p.OriginX(), dy = (long long)y + p.OriginY();
  if (!p.Area().Contains(ClampCoord(dx), ClampCoord(dy))) return {};
  p.Plot(int(dx), int(dy), ResolveColor(dc, color));
  return p.Touched();
}

Rect SetPixelColor(DeviceContext& dc, int x, int y, ColorRef color) {
  Painter p(dc);
  if (!p.Ok()) return {};
  long long dx = (long long)x + p.OriginX(), dy = (long long)y + p.OriginY();
  if (!p.Area().Contains(ClampCoord(dx), ClampCoord(dy))) return {};
  p.PlotCopy(int(dx), int(dy), ResolveColor(dc, color));
  return p.Touched();
}

bool ReadPixelValue(const DeviceContext& dc, int x, int y, Pixel* value) {
  const Surface* s = dc.SelectedSurface();
  if (!s || s->Width() <= 0) return false;
  long long dx = (long long)x + dc.viewportOrigin.x, dy = (long long)y + dc.viewportOrigin.y;
  Rect area = dc.DrawableArea().Intersect(s->Bounds());
  if (!area.Contains(ClampCoord(dx), ClampCoord(dy))) return false;
  if (value) *value = GetRaw(s->Row(int(dy)), s->BitsPerPixel(), int(dx));
  return true;
}

Rect InvertRect(DeviceContext& dc, Rect r) {
  Painter p(dc);
  if (!p.Ok()) return {};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  long long l = (long long)r.left + p.OriginX(), rr = (long long)r.right + p.OriginX();
  long long t = (long long)r.top + p.OriginY(), b = (long long)r.bottom + p.OriginY();
  int y0 = int(std::max<long long>(t, p.Area().top)), y1 = int(std::min<long long>(b, p.Area().bottom));
  int x0 = int(std::max<long long>(l, p.Area().left)), x1 = int(std::min<long long>(rr, p.Area().right));
  if (x0 >= x1 || y0 >= y1) return {};
  Pixel mask = p.Mask();
  int bpp = p.Bpp();
  for (int y = y0; y < y1; ++y) {
    uint8_t* row = p.Target()->Row(y);
    if (bpp == 32) {
      uint32_t* q = reinterpret_cast<uint32_t*>(row);
      for (int x = x0; x < x1; ++x) q[x] = ~q[x] & mask;
    } else if (bpp == 8) {
      for (int x = x0; x < x1; ++x) row[x] = uint8_t(~row[x]);
    } else {
      for (int x = x0; x < x1; ++x) SetRaw(row, bpp, x, ~GetRaw(row, bpp, x) & mask);
    }
  }
  return {x0, y0, x1, y1};
}

}  // namespace raster

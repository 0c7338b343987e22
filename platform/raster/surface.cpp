// Surfaces, colour conversion and the plain block copy: the core every other raster module
// builds on. The graphics library's pages, its window surface and the repaint of the window
// from a page all come through here.
#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/raster/paint.h"
#include "platform/raster/raster.h"

namespace raster {

Rect Rect::Intersect(const Rect& o) const {
  Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
  return r.Empty() ? Rect{} : r;
}

Rect Rect::Union(const Rect& o) const {
  if (Empty()) return o.Empty() ? Rect{} : o;
  if (o.Empty()) return *this;
  return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
}

bool Surface::Create(int width, int height, int bitsPerPixel) {
  *this = Surface();
  switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  // Pages are at most a screen in size; the limit keeps the byte count far from overflow.
  constexpr int kMaxSide = 1 << 15;
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  int stride = int((int64_t(width) * bitsPerPixel + 31) / 32 * 4);
  width_ = width;
  height_ = height;
  bitsPerPixel_ = bitsPerPixel;
  stride_ = stride;
  bits_.assign(size_t(stride) * size_t(height), 0);
  if (bitsPerPixel <= 8) colorTable_.assign(size_t(1) << bitsPerPixel, TableColor{});
  return true;
}

Pixel Surface::GetPixel(int x, int y) const { return detail::GetRaw(Row(y), bitsPerPixel_, x); }

void Surface::SetPixel(int x, int y, Pixel value) { detail::SetRaw(Row(y), bitsPerPixel_, x, value); }

ColorRef Surface::PixelToRgb(Pixel value) const {
  switch (bitsPerPixel_) {
    case 1: case 4: case 8: {
      if (value >= colorTable_.size()) return 0;
      const TableColor& c = colorTable_[value];
      return MakeRgb(c.red, c.green, c.blue);
    }
    case 16: {
      // 5-6-5, each channel widened by repeating its top bits so that full scale stays 255.
      uint8_t r5 = (value >> 11) & 0x1F, g6 = (value >> 5) & 0x3F, b5 = value & 0x1F;
      return MakeRgb(uint8_t(r5 << 3 | r5 >> 2), uint8_t(g6 << 2 | g6 >> 4), uint8_t(b5 << 3 | b5 >> 2));
    }
    case 24: case 32:
      return MakeRgb(uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value));
    default:
      return 0;
  }
}

Pixel Surface::RgbToPixel(ColorRef rgb) const {
  uint8_t r = RedOf(rgb), g = GreenOf(rgb), b = BlueOf(rgb);
  switch (bitsPerPixel_) {
    case 1: case 4: case 8: return Pixel(NearestTableEntry(colorTable_, rgb));
    case 16: return Pixel((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    case 24: case 32: return Pixel(r) << 16 | Pixel(g) << 8 | b;
    default: return 0;
  }
}

int NearestTableEntry(const std::vector<TableColor>& table, ColorRef rgb) {
  int best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  const int r = RedOf(rgb), g = GreenOf(rgb), b = BlueOf(rgb);
  for (size_t i = 0; i < table.size(); ++i) {
    int dr = table[i].red - r, dg = table[i].green - g, db = table[i].blue - b;
    int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = int(i);
      if (distance == 0) break;
    }
  }
  return best;
}

Pixel DeviceContext::Resolve(ColorRef color) const {
  if (!surface_) return 0;
  if (!(color & kPaletteIndexFlag)) return surface_->RgbToPixel(color & 0xFFFFFFu);
  if (!palette_ || palette_->empty()) return surface_->Indexed() ? 0 : surface_->RgbToPixel(0);
  size_t index = color & 0xFFFFu;
  if (index >= palette_->size()) index = 0;  // an invalid index falls back to entry 0
  const TableColor& entry = (*palette_)[index];
  if (surface_->Indexed()) {
    // A page whose table matches the palette keeps the index itself, so that entries of equal
    // colour stay apart and a later change of one entry's colour shows where it was drawn.
    const auto& table = surface_->ColorTable();
    if (index < table.size() && table[index] == entry) return Pixel(index);
  }
  return surface_->RgbToPixel(MakeRgb(entry.red, entry.green, entry.blue));
}

Rect DeviceContext::DrawableArea() const {
  if (!surface_) return {};
  Rect area = surface_->Bounds();
  return clipEnabled ? area.Intersect(clip) : area;
}

Rect DeviceContext::FillSolid(Rect deviceRect, ColorRef color) {
  if (!surface_) return {};
  Rect r = deviceRect.Intersect(surface_->Bounds());
  if (r.Empty()) return {};
  Pixel value = Resolve(color);
  const int bpp = surface_->BitsPerPixel();
  for (int y = r.top; y < r.bottom; ++y) {
    uint8_t* row = surface_->Row(y);
    if (bpp == 8) {
      std::memset(row + r.left, int(value), size_t(r.Width()));
    } else {
      for (int x = r.left; x < r.right; ++x) detail::SetRaw(row, bpp, x, value);
    }
  }
  return r;
}

void CopyPixels(Surface& dest, int dx, int dy, const Surface& src, const Rect& srcRect) {
  // Clip to the source, then to the destination, moving the other side along.
  Rect s = srcRect.Intersect(src.Bounds());
  if (s.Empty()) return;
  dx += s.left - srcRect.left;
  dy += s.top - srcRect.top;
  Rect d = Rect{dx, dy, dx + s.Width(), dy + s.Height()}.Intersect(dest.Bounds());
  if (d.Empty()) return;
  s.left += d.left - dx;
  s.top += d.top - dy;
  const int w = d.Width(), h = d.Height();
  const int sbpp = src.BitsPerPixel(), dbpp = dest.BitsPerPixel();

  const bool sameFormat =
      sbpp == dbpp && (!src.Indexed() || src.ColorTable() == dest.ColorTable());
  // Within one surface the rows and pixels must be walked away from the overlap.
  const bool overlap = &src == &dest;
  const bool upward = overlap && d.top > s.top;
  const bool leftward = overlap && d.top == s.top && d.left > s.left;

  if (sameFormat && sbpp >= 8) {
    const size_t bytesPerPixel = size_t(sbpp / 8);
    for (int i = 0; i < h; ++i) {
      int row = upward ? h - 1 - i : i;
      std::memmove(dest.Row(d.top + row) + d.left * bytesPerPixel,
                   src.Row(s.top + row) + s.left * bytesPerPixel, size_t(w) * bytesPerPixel);
    }
    return;
  }

  // Converting copies map each source value once: an indexed source through a table of its
  // entries, a direct one through a one-entry cache (pictures repeat colours in runs).
  std::vector<Pixel> map;
  if (!sameFormat && src.Indexed()) {
    map.resize(src.ColorTable().size());
    for (size_t i = 0; i < map.size(); ++i) map[i] = dest.RgbToPixel(src.PixelToRgb(Pixel(i)));
  }
  Pixel lastIn = 0, lastOut = dest.RgbToPixel(src.PixelToRgb(0));
  auto convert = [&](Pixel v) -> Pixel {
    if (sameFormat) return v;
    if (!map.empty()) return v < map.size() ? map[v] : map[0];
    if (v != lastIn) {
      lastIn = v;
      lastOut = dest.RgbToPixel(src.PixelToRgb(v));
    }
    return lastOut;
  };
  for (int i = 0; i < h; ++i) {
    int row = upward ? h - 1 - i : i;
    const uint8_t* in = src.Row(s.top + row);
    uint8_t* out = dest.Row(d.top + row);
    for (int j = 0; j < w; ++j) {
      int col = leftward ? w - 1 - j : j;
      detail::SetRaw(out, dbpp, d.left + col, convert(detail::GetRaw(in, sbpp, s.left + col)));
    }
  }
}

}  // namespace raster

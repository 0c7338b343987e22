// BMP rows: pages to and from 24-bit bottom-up rows (image capture and paste), and a checked
// decoder for BMP file images handed in by callers, which never reads past the given size.
#include <algorithm>
#include <cstring>

#include "platform/raster/draw.h"
#include "platform/raster/paint.h"

namespace raster {

using namespace detail;

namespace {

void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

Pixel RgbOnSurface(const Surface& s, ColorRef rgb) {
  if (IsDeviceMonochrome(s)) return (unsigned(RedOf(rgb)) + GreenOf(rgb) + BlueOf(rgb)) > 382 ? 1 : 0;
  return s.RgbToPixel(rgb);
}

}  // namespace

size_t BmpStride(int width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  return size_t((uint64_t(width) * uint64_t(bitsPerPixel) + 31) / 32 * 4);
}

void WriteBmpHeader24(uint8_t* out, int width, int height, uint32_t fileSize) {
  std::memset(out, 0, kBmpHeaderSize);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out + 2, fileSize);
  Put32(out + 10, kBmpHeaderSize);
  Put32(out + 14, 40);
  Put32(out + 18, uint32_t(width));
  Put32(out + 22, uint32_t(height));
  Put16(out + 26, 1);
  Put16(out + 28, 24);
}

void ReadBmpRows24(const Surface& surface, Rect r, uint8_t* rows) {
  int w = r.Width(), h = r.Height();
  if (w <= 0 || h <= 0 || !rows) return;
  size_t stride = BmpStride(w, 24);
  int bpp = surface.BitsPerPixel();
  std::vector<ColorRef> table;
  if (surface.Indexed() && !IsDeviceMonochrome(surface)) {
    table.resize(size_t(1) << bpp);
    for (size_t i = 0; i < table.size(); ++i) table[i] = surface.PixelToRgb(Pixel(i));
  }
  for (int i = 0; i < h; ++i) {
    uint8_t* out = rows + size_t(i) * stride;
    std::memset(out, 0, stride);
    long long y = (long long)r.bottom - 1 - i;
    if (y < 0 || y >= surface.Height()) continue;
    const uint8_t* in = surface.Row(int(y));
    int x0 = std::max(r.left, 0), x1 = std::min(r.right, surface.Width());
    for (int x = x0; x < x1; ++x) {
      Pixel v = GetRaw(in, bpp, x);
      ColorRef c;
      if (bpp == 32 || bpp == 24)
        c = MakeRgb(uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v));
      else if (!table.empty())
        c = v < table.size() ? table[v] : 0;
      else
        c = PixelColor(surface, v);
      uint8_t* q = out + size_t(x - r.left) * 3;
      q[0] = BlueOf(c);
      q[1] = GreenOf(c);
      q[2] = RedOf(c);
    }
  }
}

void WriteBmpRows24(Surface& surface, Rect r, const uint8_t* rows) {
  int w = r.Width(), h = r.Height();
  if (w <= 0 || h <= 0 || !rows) return;
  size_t stride = BmpStride(w, 24);
  int bpp = surface.BitsPerPixel();
  for (int i = 0; i < h; ++i) {
    const uint8_t* in = rows + size_t(i) * stride;
    long long y = (long long)r.bottom - 1 - i;
    if (y < 0 || y >= surface.Height()) continue;
    uint8_t* out = surface.Row(int(y));
    int x0 = std::max(r.left, 0), x1 = std::min(r.right, surface.Width());
    ColorRef lastRgb = 0xFFFFFFFFu;
    Pixel last = 0;
    for (int x = x0; x < x1; ++x) {
      const uint8_t* q = in + size_t(x - r.left) * 3;
      ColorRef rgb = MakeRgb(q[2], q[1], q[0]);
      if (rgb != lastRgb) {
        lastRgb = rgb;
        last = RgbOnSurface(surface, rgb);
      }
      SetRaw(out, bpp, x, last);
    }
  }
}

bool DecodeBmp(const uint8_t* data, size_t size, Surface& out) {
  if (!data || size < size_t(kBmpHeaderSize)) return false;
  if (data[0] != 'B' || data[1] != 'M') return false;
  uint32_t offBits = Get32(data + 10);
  uint32_t infoSize = Get32(data + 14);
  if (infoSize < 40 || uint64_t(infoSize) + 14 > size) return false;
  int32_t width = int32_t(Get32(data + 18));
  int32_t height = int32_t(Get32(data + 22));
  uint16_t planes = Get16(data + 26);
  uint16_t bpp = Get16(data + 28);
  uint32_t compression = Get32(data + 30);
  uint32_t clrUsed = Get32(data + 46);
  if (planes != 1 || compression != 0) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  bool topDown = height < 0;
  int32_t h = topDown ? -height : height;
  if (width > (1 << 15) || h > (1 << 15)) return false;
  uint64_t tableEntries = 0;
  if (bpp <= 8) {
    tableEntries = clrUsed ? clrUsed : (1u << bpp);
    if (tableEntries > (1u << bpp)) return false;
  }
  uint64_t tableAt = 14 + uint64_t(infoSize);
  if (tableAt + tableEntries * 4 > size) return false;
  uint64_t pixelsAt = offBits ? offBits : tableAt + tableEntries * 4;
  uint64_t stride = BmpStride(width, bpp);
  if (pixelsAt < 14 + uint64_t(infoSize) || pixelsAt + stride * uint64_t(h) > size) return false;
  Surface s;
  if (!s.Create(width, h, 32)) return false;
  const uint8_t* table = data + tableAt;
  for (int32_t i = 0; i < h; ++i) {
    const uint8_t* in = data + pixelsAt + stride * uint64_t(i);
    int y = topDown ? i : h - 1 - i;
    uint32_t* row = reinterpret_cast<uint32_t*>(s.Row(y));
    for (int32_t x = 0; x < width; ++x) {
      uint8_t r = 0, g = 0, b = 0;
      if (bpp <= 8) {
        Pixel v = GetRaw(in, bpp, x);
        if (v < tableEntries) {
          b = table[v * 4];
          g = table[v * 4 + 1];
          r = table[v * 4 + 2];
        }
      } else if (bpp == 16) {
        uint16_t v = Get16(in + size_t(x) * 2);  // 5-5-5
        r = uint8_t(((v >> 10) & 31) * 255 / 31);
        g = uint8_t(((v >> 5) & 31) * 255 / 31);
        b = uint8_t((v & 31) * 255 / 31);
      } else {
        const uint8_t* q = in + size_t(x) * (bpp / 8);
        b = q[0];
        g = q[1];
        r = q[2];
      }
      row[x] = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
    }
  }
  out = std::move(s);
  return true;
}

}  // namespace raster

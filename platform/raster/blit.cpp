// Block transfers with ternary raster operations between contexts, converting the source to
// the destination's pixel format first (through RGB, or by the colour <-> monochrome rules
// for device-monochrome surfaces, which use the contexts' text and background colours).
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/raster/draw.h"
#include "platform/raster/paint.h"

namespace raster {

using namespace detail;

namespace {

bool SameFormat(const Surface& a, const Surface& b) {
  if (a.BitsPerPixel() != b.BitsPerPixel()) return false;
  if (IsDeviceMonochrome(a) != IsDeviceMonochrome(b)) return false;
  if (a.Indexed()) return a.ColorTable() == b.ColorTable();
  return true;
}

}  // namespace

Rect BitBlt(DeviceContext& dest, int x, int y, int width, int height, const DeviceContext* src, int sx,
            int sy, uint32_t rop) {
  Painter p(dest);
  if (!p.Ok() || width <= 0 || height <= 0) return {};
  uint8_t rop3 = uint8_t((rop >> 16) & 0xFF);
  bool usesS = (((rop3 >> 2) ^ rop3) & 0x33) != 0;
  bool usesP = (((rop3 >> 4) ^ rop3) & 0x0F) != 0;
  const Surface* ss = nullptr;
  if (usesS) {
    if (!src || !src->SelectedSurface() || src->SelectedSurface()->Width() <= 0) return {};
    ss = src->SelectedSurface();
  }
  long long dl = (long long)x + p.OriginX(), dt = (long long)y + p.OriginY();
  long long l = dl, t = dt, r = dl + width, b = dt + height;
  long long offX = 0, offY = 0;  // source device = dest device + off
  if (usesS) {
    long long sl = (long long)sx + src->viewportOrigin.x, st = (long long)sy + src->viewportOrigin.y;
    offX = sl - dl;
    offY = st - dt;
    l = std::max(l, -offX);
    t = std::max(t, -offY);
    r = std::min(r, (long long)ss->Width() - offX);
    b = std::min(b, (long long)ss->Height() - offY);
  }
  const Rect& a = p.Area();
  l = std::max<long long>(l, a.left);
  t = std::max<long long>(t, a.top);
  r = std::min<long long>(r, a.right);
  b = std::min<long long>(b, a.bottom);
  if (l >= r || t >= b) return {};
  Rect out{int(l), int(t), int(r), int(b)};
  Surface& ds = *p.Target();
  int dbpp = ds.BitsPerPixel();
  Pixel mask = p.Mask();
  BrushPaint brush;
  if (usesP) brush = MakeBrushPaint(dest);

  // Source pixels, converted to the destination's format, one row at a time.
  std::vector<Pixel> srow(size_t(out.Width()));
  std::vector<uint8_t> copy;  // a copy of the source block when it overlaps the destination
  const uint8_t* sbase = nullptr;
  size_t sstride = 0;
  int sbpp = 0;
  std::vector<Pixel> map;  // for indexed sources
  Pixel monoOne = 0, monoZero = 0, srcBack = 0;
  enum class Conv { Same, ToMono, FromMono, Rgb } conv = Conv::Same;
  if (usesS) {
    sbpp = ss->BitsPerPixel();
    bool dMono = IsDeviceMonochrome(ds), sMono = IsDeviceMonochrome(*ss);
    if (SameFormat(*ss, ds))
      conv = Conv::Same;
    else if (sMono && !dMono) {
      conv = Conv::FromMono;
      monoOne = ResolveColor(dest, dest.backColor);
      monoZero = ResolveColor(dest, dest.textColor);
    } else if (dMono) {
      conv = Conv::ToMono;
      srcBack = ResolveColor(*src, src->backColor);
    } else {
      conv = Conv::Rgb;
      if (ss->Indexed()) {
        map.resize(size_t(1) << sbpp);
        for (size_t i = 0; i < map.size(); ++i) map[i] = ds.RgbToPixel(ss->PixelToRgb(Pixel(i)));
      }
    }
    int sx0 = int(out.left + offX), sy0 = int(out.top + offY);
    if (ss == &ds) {
      // Same surface: take the source block aside first so overlaps read the old pixels.
      size_t rowBytes = size_t(ss->Stride());
      copy.resize(rowBytes * size_t(out.Height()));
      for (int i = 0; i < out.Height(); ++i)
        std::memcpy(copy.data() + size_t(i) * rowBytes, ss->Row(sy0 + i), rowBytes);
      sbase = copy.data();
      sstride = rowBytes;
    }
    (void)sx0;
  }
  auto srcRow = [&](int sy) -> const uint8_t* {
    if (sbase) return sbase + size_t(sy - int(out.top + offY)) * sstride;
    return ss->Row(sy);
  };

  // The fast path: a straight copy of one format.
  if (usesS && rop3 == 0xCC && conv == Conv::Same && dbpp >= 8) {
    size_t bytes = size_t(dbpp / 8);
    for (int yy = out.top; yy < out.bottom; ++yy) {
      const uint8_t* in = srcRow(int(yy + offY)) + size_t(out.left + offX) * bytes;
      std::memmove(ds.Row(yy) + size_t(out.left) * bytes, in, size_t(out.Width()) * bytes);
    }
    p.Touch(out.left, out.top, out.right, out.bottom);
    return out;
  }

  Pixel lastIn = ~Pixel(0), lastOut = 0;
  for (int yy = out.top; yy < out.bottom; ++yy) {
    uint8_t* drow = ds.Row(yy);
    if (usesS) {
      const uint8_t* in = srcRow(int(yy + offY));
      for (int i = 0; i < out.Width(); ++i) {
        Pixel v = GetRaw(in, sbpp, int(out.left + offX) + i);
        switch (conv) {
          case Conv::Same:
            break;
          case Conv::FromMono:
            v = (v & 1) ? monoOne : monoZero;
            break;
          case Conv::ToMono:
            v = v == srcBack ? 1 : 0;
            break;
          case Conv::Rgb:
            if (!map.empty())
              v = v < map.size() ? map[v] : map[0];
            else if (v != lastIn) {
              lastIn = v;
              lastOut = ds.RgbToPixel(ss->PixelToRgb(v));
              v = lastOut;
            } else
              v = lastOut;
            break;
        }
        srow[size_t(i)] = v;
      }
    }
    unsigned bits = brush.bits[yy & 7];
    for (int i = 0; i < out.Width(); ++i) {
      int xx = out.left + i;
      Pixel pat = 0;
      if (usesP) {
        if (brush.none) continue;  // a null brush leaves the destination alone
        if (brush.solid)
          pat = brush.fore;
        else {
          bool on = (bits >> (7 - (xx & 7))) & 1;
          if (on ? !brush.paintFore : !brush.paintBack) continue;
          pat = on ? brush.fore : brush.back;
        }
      }
      Pixel d = GetRaw(drow, dbpp, xx);
      SetRaw(drow, dbpp, xx, ApplyRop3(rop3, pat, usesS ? srow[size_t(i)] : 0, d, mask));
    }
  }
  p.Touch(out.left, out.top, out.right, out.bottom);
  return out;
}

}  // namespace raster

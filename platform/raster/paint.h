// Internal to platform/raster: raw pixel access by depth and the Painter that every drawing
// operation goes through (device coordinates, clip to the drawable area, raster operation,
// pen dashes and brush patterns). Not for use outside this folder.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/raster/draw.h"
#include "platform/raster/raster.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster::detail {

// Stores n copies of a 32-bit value (16 bytes at a time where the processor allows).
inline void Fill32(uint32_t* p, int n, uint32_t v) {
  int i = 0;
#if defined(__SSE2__)
  __m128i vv = _mm_set1_epi32(int(v));
  for (; i + 8 <= n; i += 8) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), vv);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 4), vv);
  }
#endif
  for (; i < n; ++i) p[i] = v;
}

// The first index in [from, to) whose value is not v (to when none).
inline int SkipEqual32(const uint32_t* p, int from, int to, uint32_t v) {
  int i = from;
#if defined(__SSE2__)
  __m128i vv = _mm_set1_epi32(int(v));
  for (; i + 4 <= to; i += 4) {
    int m = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), vv));
    if (m != 0xFFFF) return i + (__builtin_ctz(unsigned(~m) & 0xFFFFu) >> 2);
  }
#endif
  while (i < to && p[i] == v) ++i;
  return i;
}

// The first index in [from, to) whose value is v (to when none).
inline int SkipOther32(const uint32_t* p, int from, int to, uint32_t v) {
  int i = from;
#if defined(__SSE2__)
  __m128i vv = _mm_set1_epi32(int(v));
  for (; i + 4 <= to; i += 4) {
    int m = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), vv));
    if (m != 0) return i + (__builtin_ctz(unsigned(m)) >> 2);
  }
#endif
  while (i < to && p[i] != v) ++i;
  return i;
}

inline Pixel GetRaw(const uint8_t* row, int bpp, int x) {
  switch (bpp) {
    case 32: {
      uint32_t v;
      std::memcpy(&v, row + size_t(x) * 4, 4);
      return v & 0xFFFFFFu;
    }
    case 24: {
      const uint8_t* p = row + size_t(x) * 3;
      return p[0] | (p[1] << 8) | (Pixel(p[2]) << 16);
    }
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + size_t(x) * 2, 2);
      return v;
    }
    case 8:
      return row[x];
    case 4:
      return (x & 1) ? (row[x >> 1] & 0xF) : (row[x >> 1] >> 4);
    case 1:
      return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default:
      return 0;
  }
}

inline void SetRaw(uint8_t* row, int bpp, int x, Pixel v) {
  switch (bpp) {
    case 32: {
      uint32_t w = v & 0xFFFFFFu;
      std::memcpy(row + size_t(x) * 4, &w, 4);
      break;
    }
    case 24: {
      uint8_t* p = row + size_t(x) * 3;
      p[0] = uint8_t(v);
      p[1] = uint8_t(v >> 8);
      p[2] = uint8_t(v >> 16);
      break;
    }
    case 16: {
      uint16_t w = uint16_t(v);
      std::memcpy(row + size_t(x) * 2, &w, 2);
      break;
    }
    case 8:
      row[x] = uint8_t(v);
      break;
    case 4: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? uint8_t((b & 0xF0) | (v & 0xF)) : uint8_t((b & 0x0F) | ((v & 0xF) << 4));
      break;
    }
    case 1: {
      uint8_t bit = uint8_t(0x80 >> (x & 7));
      if (v & 1)
        row[x >> 3] |= bit;
      else
        row[x >> 3] &= uint8_t(~bit);
      break;
    }
    default:
      break;
  }
}

// The binary raster operation as a truth table f(P, D): bit 3 = (1,1), 2 = (1,0), 1 = (0,1), 0 = (0,0).
inline Pixel Rop2Bits(unsigned f, Pixel p, Pixel d) {
  Pixel r = 0;
  if (f & 8) r |= p & d;
  if (f & 4) r |= p & ~d;
  if (f & 2) r |= ~p & d;
  if (f & 1) r |= ~p & ~d;
  return r;
}

// The hatch patterns, 8 rows from the top, bit 0x80 the leftmost pixel.
extern const uint8_t kHatchRows[6][8];

// What a brush paints on one surface: per device pixel (x mod 8, y mod 8) a 1 bit of `bits`
// paints `fore` (if paintFore), a 0 bit `back` (if paintBack).
struct BrushPaint {
  bool none = true;    // null brush, or nothing painted at all
  bool solid = false;  // every pixel `fore`
  Pixel fore = 0, back = 0;
  bool paintFore = true, paintBack = false;
  uint8_t bits[8] = {};
};
BrushPaint MakeBrushPaint(const DeviceContext& dc);

// The dash runs of a cosmetic pen style (on, off, on, off, ...), or null for solid.
struct DashPattern {
  const uint8_t* runs = nullptr;
  int count = 0, period = 0;
};
DashPattern DashFor(PenStyle style);

// Everything a drawing operation needs to put pixels on the selected surface.
class Painter {
 public:
  explicit Painter(DeviceContext& dc);
  bool Ok() const { return surface_ != nullptr && !area_.Empty(); }
  int OriginX() const { return ox_; }
  int OriginY() const { return oy_; }
  const Rect& Area() const { return area_; }
  Surface* Target() const { return surface_; }
  Pixel Mask() const { return mask_; }
  int Bpp() const { return bpp_; }
  bool Copy() const { return copy_; }
  // True when painting a pixel twice differs from painting it once (the result reads D).
  bool ReadsDest() const { return f_ != 0 && f_ != 3 && f_ != 12 && f_ != 15; }

  // Raw access, device coordinates, no checks.
  Pixel Get(int x, int y) const { return GetRaw(surface_->Row(y), bpp_, x); }
  void Put(int x, int y, Pixel v) { SetRaw(surface_->Row(y), bpp_, x, v); }

  // Device coordinates, clipped, through the raster operation; touched area recorded.
  void Plot(int x, int y, Pixel v) {
    if (!area_.Contains(x, y)) return;
    uint8_t* row = surface_->Row(y);
    if (copy_)
      SetRaw(row, bpp_, x, v);
    else
      SetRaw(row, bpp_, x, Rop2Bits(f_, v, GetRaw(row, bpp_, x)) & mask_);
    Touch(x, y, x + 1, y + 1);
  }
  // Paints [x0, x1) of row y with one value.
  void Span(int x0, int x1, int y, Pixel v);
  // Paints [x0, x1) of row y with the brush.
  void BrushSpan(int x0, int x1, int y, const BrushPaint& b);
  // Plot ignoring the raster operation (clip still applies).
  void PlotCopy(int x, int y, Pixel v) {
    if (!area_.Contains(x, y)) return;
    SetRaw(surface_->Row(y), bpp_, x, v);
    Touch(x, y, x + 1, y + 1);
  }

  void Touch(int l, int t, int r, int b) {
    if (touched_.Empty())
      touched_ = {l, t, r, b};
    else {
      touched_.left = std::min(touched_.left, l);
      touched_.top = std::min(touched_.top, t);
      touched_.right = std::max(touched_.right, r);
      touched_.bottom = std::max(touched_.bottom, b);
    }
  }
  Rect Touched() const { return touched_; }

  // The pen as it paints on this surface.
  Pixel penPixel = 0, gapPixel = 0;
  bool penNull = false, paintGaps = false;
  DashPattern dash;
  int penWidth = 1;  // > 1: a wide (always solid) pen

 private:
  Surface* surface_ = nullptr;
  Rect area_;
  Rect touched_;
  int ox_ = 0, oy_ = 0, bpp_ = 0;
  unsigned f_ = 12;
  bool copy_ = true;
  Pixel mask_ = 0;
};

// Walks a cosmetic pen along pixels: on-run pixels in penPixel, gaps in gapPixel when opaque.
// The dash position advances once per pixel of the path, drawn or clipped.
class PenWalker {
 public:
  explicit PenWalker(Painter& p);
  void Restart() { pos_ = 0; }
  void Skip(long long n) {
    if (period_) pos_ = int((pos_ + n % period_) % period_);
  }
  bool Dashed() const { return period_ != 0; }
  void Pixel(int x, int y) {
    if (!period_) {
      p_.Plot(x, y, p_.penPixel);
      return;
    }
    if (on_[pos_])
      p_.Plot(x, y, p_.penPixel);
    else if (p_.paintGaps)
      p_.Plot(x, y, p_.gapPixel);
    if (++pos_ == period_) pos_ = 0;
  }
  Painter& painter() { return p_; }

 private:
  Painter& p_;
  int pos_ = 0, period_ = 0;
  bool on_[24] = {};
};

// Bresenham with the octant bias of the model; calls visit(x, y) for every pixel but the end.
template <class Visit>
void BiasedLine(long long x0, long long y0, long long x1, long long y1, Visit&& visit) {
  long long dx = x1 - x0, dy = y1 - y0;
  long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  bool xMajor = adx >= ady;
  long long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
  // Octants clockwise from +x with y down; 3, 5, 6 and 8 step the minor axis on a tie.
  int bias;
  if (xMajor)
    bias = (dx > 0) ? (dy < 0 ? 1 : 0) : (dy <= 0 ? 1 : 0);  // 8 : 1, 5 : 4
  else
    bias = (dy > 0) ? (dx < 0 ? 1 : 0) : (dx <= 0 ? 1 : 0);  // 3 : 2, 6 : 7
  long long err = 2 * minor - major;
  long long x = x0, y = y0;
  for (long long i = 0; i < major; ++i) {
    visit(x, y);
    if (err + bias > 0) {
      if (xMajor)
        y += sy;
      else
        x += sx;
      err -= 2 * major;
    }
    err += 2 * minor;
    if (xMajor)
      x += sx;
    else
      y += sy;
  }
}

// Draws one cosmetic segment in device coordinates through the walker, end pixel excluded,
// skipping quickly over the parts outside the drawable area.
void CosmeticSegment(Painter& p, PenWalker& w, long long x0, long long y0, long long x1, long long y1);

// A set of pixels painted once: per device row, sorted disjoint spans [x0, x1).
class SpanSet {
 public:
  SpanSet(int top, int bottom) : top_(top), rows_(size_t(std::max(0, bottom - top))) {}
  void Add(int y, int x0, int x1);  // merged with what the row holds
  int Top() const { return top_; }
  int Bottom() const { return top_ + int(rows_.size()); }
  const std::vector<std::pair<int, int>>& Row(int y) const { return rows_[size_t(y - top_)]; }
  bool Has(int y) const { return y >= top_ && y < Bottom(); }
  // Removes the spans of `other` from this set.
  void Subtract(const SpanSet& other);

 private:
  int top_;
  std::vector<std::vector<std::pair<int, int>>> rows_;
};

// The pixels of a wide-pen stroke through device points (closed: back to the first).
void WidePenSpans(const Painter& p, const Point* pts, int count, bool closed, SpanSet& out);

struct PointD {
  double x = 0, y = 0;
};
// Polygon interior spans (device coordinates, pixel centres, top-left rule: x in
// [ceil(xl), ceil(xr)), rows whose centre lies in [ymin, ymax)) for rows [top, bottom) and
// columns [left, right): emit(y, x0, x1) once per span, spans of a row disjoint and in order.
template <class Emit>
void PolygonRows(const PointD* pts, int count, FillRule rule, int top, int bottom, int left, int right,
                 Emit&& emit) {
  if (count < 3) return;
  double minY = pts[0].y, maxY = pts[0].y;
  for (int i = 1; i < count; ++i) {
    minY = std::min(minY, pts[i].y);
    maxY = std::max(maxY, pts[i].y);
  }
  long long y0 = std::max<long long>(top, (long long)std::ceil(minY));
  long long y1 = std::min<long long>(bottom, (long long)std::ceil(maxY));
  if (y0 >= y1) return;
  // Edges by their first row; a row y meets an edge when y0 <= y < y1, i.e. for rows
  // [ceil(y0), ceil(y1)). The active list stays sorted by x from row to row.
  struct Edge {
    double x0, y0, slope;
    long long first, last;  // rows [first, last)
    int dir;
  };
  Edge edgeStore[16];
  std::vector<Edge> edgeHeap;
  Edge* edges = edgeStore;
  if (count > 16) {
    edgeHeap.resize(size_t(count));
    edges = edgeHeap.data();
  }
  int ne = 0;
  for (int i = 0; i < count; ++i) {
    const PointD& a = pts[i];
    const PointD& b = pts[(i + 1) % count];
    if (a.y == b.y) continue;
    const PointD& lo = a.y < b.y ? a : b;
    const PointD& hi = a.y < b.y ? b : a;
    long long first = std::max<long long>((long long)std::ceil(lo.y), y0),
              last = std::min<long long>((long long)std::ceil(hi.y), y1);
    if (first >= last) continue;
    edges[ne++] = {lo.x, lo.y, (hi.x - lo.x) / (hi.y - lo.y), first, last, a.y < b.y ? 1 : -1};
  }
  std::sort(edges, edges + ne, [](const Edge& a, const Edge& b) { return a.first < b.first; });
  struct Active {
    double x;
    const Edge* e;
  };
  Active actStore[16];
  std::vector<Active> actHeap;
  Active* act = actStore;
  if (ne > 16) {
    actHeap.resize(size_t(ne));
    act = actHeap.data();
  }
  int na = 0, next = 0;
  for (long long y = y0; y < y1; ++y) {
    double fy = double(y);
    int k = 0;
    for (int i = 0; i < na; ++i)
      if (act[i].e->last > y) act[k++] = act[i];
    na = k;
    while (next < ne && edges[next].first <= y) act[na++] = {0, &edges[next++]};
    if (na < 2) {
      if (na == 0 && next >= ne) break;
      continue;
    }
    for (int i = 0; i < na; ++i) act[i].x = act[i].e->x0 + (fy - act[i].e->y0) * act[i].e->slope;
    for (int i = 1; i < na; ++i) {  // insertion sort: nearly sorted from the last row
      Active v = act[i];
      int j = i;
      for (; j > 0 && act[j - 1].x > v.x; --j) act[j] = act[j - 1];
      act[j] = v;
    }
    auto add = [&](double xa, double xb) {
      // Clamp first (the values may lie far outside int), then round up.
      xa = std::clamp(xa, double(left) - 1, double(right) + 1);
      xb = std::clamp(xb, double(left) - 1, double(right) + 1);
      int ca = int(xa), cb = int(xb);
      ca += double(ca) < xa;
      cb += double(cb) < xb;
      ca = std::max(ca, left);
      cb = std::min(cb, right);
      if (ca < cb) emit(int(y), ca, cb);
    };
    if (rule == FillRule::Alternate) {
      for (int i = 0; i + 1 < na; i += 2) add(act[i].x, act[i + 1].x);
    } else {
      int wind = 0;
      double start = 0;
      for (int i = 0; i < na; ++i) {
        int before = wind;
        wind += act[i].e->dir;
        if (before == 0 && wind != 0)
          start = act[i].x;
        else if (before != 0 && wind == 0)
          add(start, act[i].x);
      }
    }
  }
}

// The same into a span set, for its rows.
void PolygonSpans(const PointD* pts, int count, FillRule rule, SpanSet& out, int left, int right);

// Rows of an axis-aligned rounded rectangle [l, r-1] x [t, b-1] whose corners are quadrants of
// an a x b pixel ellipse (a = b = 0 for square corners): for row y, the outer extent and
// the inner ends of the left and right outline runs. Interior = (innerL, innerR).
struct RoundRow {
  int outerL, innerL, innerR, outerR;
  bool Merged() const { return innerL + 1 >= innerR; }  // the row is all outline
};
class RoundRectRows {
 public:
  RoundRectRows(long long l, long long t, long long r, long long b, long long cw, long long ch);
  RoundRow At(long long y) const;
  bool Square() const { return a_ == 0; }

 private:
  long long QuadX(long long Y) const;  // doubled half-extent of the corner ellipse at doubled offset Y
  long long l_, t_, r_, b_, a_, bb_;
};

// Strokes device points with the pen (see lines.cpp); closed paths return to the start.
void StrokePath(Painter& p, const Point* pts, int count, bool closed);

// Paints a span set with a solid value / the brush.
void PaintSpans(Painter& p, const SpanSet& s, Pixel v);
void PaintBrushSpans(Painter& p, const SpanSet& s, const BrushPaint& b);

// Clamps a long long coordinate into int range without wrapping (for far-away points).
inline int ClampCoord(long long v) {
  const long long lim = 1 << 29;
  return int(v < -lim ? -lim : (v > lim ? lim : v));
}

}  // namespace raster::detail

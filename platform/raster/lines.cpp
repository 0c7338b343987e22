// Lines and polylines: cosmetic (1-pixel, dashed) pens stepped by Bresenham with the model's
// octant bias, wide pens built as one region of spans (segments as quads, round caps and
// joins) painted once, and the scan-line polygon filler shared with the figures.
#include <algorithm>
#include <cmath>

#include "platform/raster/draw.h"
#include "platform/raster/paint.h"

namespace raster {

using namespace detail;

namespace detail {

PenWalker::PenWalker(Painter& p) : p_(p) {
  const DashPattern& d = p.dash;
  if (!d.runs) return;
  period_ = d.period;
  int pos = 0;
  for (int i = 0; i < d.count; ++i)
    for (int k = 0; k < d.runs[i] && pos < 24; ++k) on_[pos++] = (i % 2) == 0;
}

namespace {

long long FloorDiv(long long a, long long b) {  // b > 0
  long long q = a / b;
  if ((a % b) != 0 && ((a < 0) != (b < 0))) --q;
  return q;
}
long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

}  // namespace

void CosmeticSegment(Painter& p, PenWalker& w, long long x0, long long y0, long long x1, long long y1) {
  long long dx = x1 - x0, dy = y1 - y0;
  long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  bool xMajor = adx >= ady;
  long long M = xMajor ? adx : ady, m = xMajor ? ady : adx;
  if (M == 0) return;
  int bias;
  if (xMajor)
    bias = (dx > 0) ? (dy < 0 ? 1 : 0) : (dy <= 0 ? 1 : 0);
  else
    bias = (dy > 0) ? (dx < 0 ? 1 : 0) : (dx <= 0 ? 1 : 0);
  const Rect& a = p.Area();
  // Pixel i: major = start + s * i, minor = start + s * k(i), k(i) = floor((2mi + M - 1 + bias) / 2M).
  long long maj0 = xMajor ? x0 : y0, min0 = xMajor ? y0 : x0;
  int smaj = xMajor ? sx : sy, smin = xMajor ? sy : sx;
  long long majLo = xMajor ? a.left : a.top, majHi = (xMajor ? a.right : a.bottom) - 1;
  long long minLo = xMajor ? a.top : a.left, minHi = (xMajor ? a.bottom : a.right) - 1;
  // i range from the major axis.
  long long iLo, iHi;  // inclusive
  if (smaj > 0) {
    iLo = majLo - maj0;
    iHi = majHi - maj0;
  } else {
    iLo = maj0 - majHi;
    iHi = maj0 - majLo;
  }
  // k range from the minor axis.
  long long kLo, kHi;
  if (smin > 0) {
    kLo = minLo - min0;
    kHi = minHi - min0;
  } else {
    kLo = min0 - minHi;
    kHi = min0 - minLo;
  }
  if (m == 0) {
    if (kLo > 0 || kHi < 0) iHi = -1;
  } else {
    // k(i) >= kLo  <=>  i >= ceil((2M kLo - M + 1 - bias) / 2m)
    iLo = std::max(iLo, CeilDiv(2 * M * kLo - M + 1 - bias, 2 * m));
    // k(i) <= kHi  <=>  2mi + M - 1 + bias < 2M (kHi + 1)  <=>  i <= ceil((2M(kHi+1) - M + 1 - bias) / 2m) -
    // 1
    iHi = std::min(iHi, CeilDiv(2 * M * (kHi + 1) - M + 1 - bias, 2 * m) - 1);
  }
  iLo = std::max(iLo, 0LL);
  iHi = std::min(iHi, M - 1);
  if (iLo > iHi) return;
  w.Skip(iLo);
  long long k = (m == 0) ? 0 : FloorDiv(2 * m * iLo + M - 1 + bias, 2 * M);
  long long err = 2 * m - M + 2 * m * iLo - 2 * M * k;
  long long maj = maj0 + smaj * iLo, mn = min0 + smin * k;
  long long n = iHi - iLo + 1;
  if (!w.Dashed() && p.Copy() && (p.Bpp() == 32 || p.Bpp() == 8)) {
    // Every pixel of [iLo, iHi] lies inside the area: store directly.
    Surface* s = p.Target();
    long long stride = s->Stride();
    // Rows are stored bottom-up: one row down is -stride bytes.
    long long dmaj, dmin;
    int bytes = p.Bpp() / 8;
    if (xMajor) {
      dmaj = smaj * bytes;
      dmin = -smin * stride;
    } else {
      dmaj = -smaj * stride;
      dmin = smin * bytes;
    }
    int x = int(xMajor ? maj : mn), y = int(xMajor ? mn : maj);
    uint8_t* q = s->Row(y) + (long long)x * bytes;
    long long mnEnd = min0 + smin * ((m == 0) ? 0 : FloorDiv(2 * m * iHi + M - 1 + bias, 2 * M));
    if (bytes == 4) {
      uint32_t v = uint32_t(p.penPixel);
      for (long long i = 0; i < n; ++i) {
        *reinterpret_cast<uint32_t*>(q) = v;
        if (err + bias > 0) {
          q += dmin;
          err -= 2 * M;
        }
        err += 2 * m;
        q += dmaj;
      }
    } else {
      uint8_t v = uint8_t(p.penPixel);
      for (long long i = 0; i < n; ++i) {
        *q = v;
        if (err + bias > 0) {
          q += dmin;
          err -= 2 * M;
        }
        err += 2 * m;
        q += dmaj;
      }
    }
    long long majEnd = maj + smaj * (n - 1);
    long long xa = xMajor ? maj : mn, ya = xMajor ? mn : maj;
    long long xb = xMajor ? majEnd : mnEnd, yb = xMajor ? mnEnd : majEnd;
    p.Touch(int(std::min(xa, xb)), int(std::min(ya, yb)), int(std::max(xa, xb)) + 1,
            int(std::max(ya, yb)) + 1);
    return;
  }
  for (long long i = 0; i < n; ++i) {
    int x = int(xMajor ? maj : mn), y = int(xMajor ? mn : maj);
    w.Pixel(x, y);
    if (err + bias > 0) {
      mn += smin;
      err -= 2 * M;
    }
    err += 2 * m;
    maj += smaj;
  }
}

}  // namespace detail
}  // namespace raster

namespace raster {
namespace detail {

void PolygonSpans(const PointD* pts, int count, FillRule rule, SpanSet& out, int left, int right) {
  PolygonRows(pts, count, rule, out.Top(), out.Bottom(), left, right,
              [&](int y, int x0, int x1) { out.Add(y, x0, x1); });
}

void WidePenSpans(const Painter& p, const Point* pts, int count, bool closed, SpanSet& out) {
  int w = p.penWidth;
  double h = w / 2.0;
  int segs = closed ? count : count - 1;
  for (int i = 0; i < segs; ++i) {
    const Point& a = pts[i];
    const Point& b = pts[(i + 1) % count];
    double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0) continue;
    double nx = -dy / len * h, ny = dx / len * h;
    PointD quad[4] = {{a.x + nx, a.y + ny}, {b.x + nx, b.y + ny}, {b.x - nx, b.y - ny}, {a.x - nx, a.y - ny}};
    // An axis-aligned segment covers exactly [c - w/2, c - w/2 + w) across its direction.
    if (dy == 0) {
      double top = a.y - w / 2, bottom = a.y - w / 2 + w;
      quad[0] = {double(std::min(a.x, b.x)), top};
      quad[1] = {double(std::max(a.x, b.x)), top};
      quad[2] = {double(std::max(a.x, b.x)), bottom};
      quad[3] = {double(std::min(a.x, b.x)), bottom};
    } else if (dx == 0) {
      double l = a.x - w / 2, r = a.x - w / 2 + w;
      quad[0] = {l, double(std::min(a.y, b.y))};
      quad[1] = {r, double(std::min(a.y, b.y))};
      quad[2] = {r, double(std::max(a.y, b.y))};
      quad[3] = {l, double(std::max(a.y, b.y))};
    }
    PolygonSpans(quad, 4, FillRule::Winding, out, p.Area().left, p.Area().right);
  }
  // Round caps and joins at every vertex.
  for (int i = 0; i < count; ++i) {
    long long l = (long long)pts[i].x - w / 2, t = (long long)pts[i].y - w / 2;
    long long r = (long long)pts[i].x + (w + 1) / 2 + 1, b = (long long)pts[i].y + (w + 1) / 2 + 1;
    RoundRectRows rows(l, t, r, b, r - l, b - t);
    for (long long y = std::max<long long>(t, out.Top()); y < std::min<long long>(b, out.Bottom()); ++y) {
      RoundRow rr = rows.At(y);
      int x0 = int(std::max<long long>(rr.outerL, p.Area().left));
      int x1 = int(std::min<long long>((long long)rr.outerR + 1, p.Area().right));
      out.Add(int(y), x0, x1);
    }
  }
}

// Strokes a path of device points with the context's pen: cosmetic pens pixel by pixel with
// the dash carried across segments, wide pens as one region. Closed paths return to the start.
void StrokePath(Painter& p, const Point* pts, int count, bool closed) {
  if (p.penNull || count < 1) return;
  if (p.penWidth > 1) {
    long long top = pts[0].y, bottom = pts[0].y;
    for (int i = 1; i < count; ++i) {
      top = std::min<long long>(top, pts[i].y);
      bottom = std::max<long long>(bottom, pts[i].y);
    }
    top = std::max<long long>(top - p.penWidth, p.Area().top);
    bottom = std::min<long long>(bottom + p.penWidth + 1, p.Area().bottom);
    if (top >= bottom) return;
    SpanSet set{int(top), int(bottom)};
    WidePenSpans(p, pts, count, closed, set);
    PaintSpans(p, set, p.penPixel);
    return;
  }
  PenWalker w(p);
  int segs = closed ? count : count - 1;
  for (int i = 0; i < segs; ++i) {
    const Point& a = pts[i];
    const Point& b = pts[(i + 1) % count];
    CosmeticSegment(p, w, a.x, a.y, b.x, b.y);
  }
}

}  // namespace detail

namespace {

Point ToDevice(const detail::Painter& p, Point q) {
  return {detail::ClampCoord((long long)q.x + p.OriginX()), detail::ClampCoord((long long)q.y + p.OriginY())};
}

}  // namespace

Rect LineTo(DeviceContext& dc, Point to) {
  Point from = dc.currentPosition;
  dc.currentPosition = to;
  detail::Painter p(dc);
  if (!p.Ok()) return {};
  Point pts[2] = {ToDevice(p, from), ToDevice(p, to)};
  if (pts[0].x == pts[1].x && pts[0].y == pts[1].y && p.penWidth == 1) return {};
  detail::StrokePath(p, pts, 2, false);
  return p.Touched();
}

Rect DrawLine(DeviceContext& dc, Point from, Point to) {
  dc.currentPosition = from;
  return LineTo(dc, to);
}

Rect DrawPolyline(DeviceContext& dc, const Point* points, int count) {
  if (!points || count < 2) return {};
  detail::Painter p(dc);
  if (!p.Ok()) return {};
  std::vector<Point> dev(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) dev[size_t(i)] = ToDevice(p, points[i]);
  detail::StrokePath(p, dev.data(), count, false);
  return p.Touched();
}

}  // namespace raster

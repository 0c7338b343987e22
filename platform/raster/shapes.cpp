// Figures with an outline and an inside: rectangles, rounded rectangles and ellipses (one
// row-by-row model: an ellipse is a rounded rectangle whose corner is the whole box), arcs,
// chords and pies on the same discrete ellipse, polygons, and Bézier curves.
//
// The discrete ellipse of an a x b pixel box works in doubled coordinates so that boxes of
// even and odd size share one formula: a pixel at doubled offset (X, Y) from the centre is
// inside when X^2 (b^2 + 2b) + Y^2 (a^2 + 2a) <= (a^2 + 2a)(b^2 + 2b), with a = width - 1 and
// b = height - 1 (for a circle that is x^2 + y^2 <= r^2 + r, the midpoint circle).
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/raster/draw.h"
#include "platform/raster/paint.h"

namespace raster {

using namespace detail;

namespace detail {

RoundRectRows::RoundRectRows(long long l, long long t, long long r, long long b, long long cw, long long ch)
    : l_(l), t_(t), r_(r), b_(b) {
  cw = std::min(std::llabs(cw), r - l);
  ch = std::min(std::llabs(ch), b - t);
  if (cw <= 2 || ch <= 2) cw = ch = 1;  // square corners
  a_ = cw - 1;
  bb_ = ch - 1;
}

long long RoundRectRows::QuadX(long long Y) const {
  if (Y <= 0 || a_ == 0) return a_;
  long long minX = a_ & 1;
  if (Y >= bb_ + 2) return -1;
  // Largest X of a's parity with X^2 B + Y^2 A <= A B, A = a^2 + 2a, B = b^2 + 2b.
  if (a_ < (1 << 13) && bb_ < (1 << 13)) {
    // Small enough for 64 bits (the products stay below 2^55).
    long long A = a_ * a_ + 2 * a_, B = bb_ * bb_ + 2 * bb_;
    long long rhs = A * B - Y * Y * A;
    if (rhs < 0) return minX;
    long long X = (long long)std::sqrt(double(rhs) / double(B)) + 2;
    if ((X - a_) & 1) ++X;
    while (X > minX && X * X * B > rhs) X -= 2;
    return std::max(X, minX);
  }
  __int128 A = (__int128)a_ * a_ + 2 * a_, B = (__int128)bb_ * bb_ + 2 * bb_;
  __int128 rhs = A * B - (__int128)Y * Y * A;
  if (rhs < 0) return minX;
  long double est = std::sqrt((long double)rhs / (long double)B);
  long long X = (long long)est + 2;
  if ((X - a_) & 1) ++X;
  while (X > minX && (__int128)X * X * B > rhs) X -= 2;
  return std::max(X, minX);
}

RoundRow RoundRectRows::At(long long y) const {
  long long Y2 = 2 * y;
  long long top = 2 * t_ + bb_, bottom = 2 * (b_ - 1) - bb_;
  long long Yoff = Y2 <= top ? top - Y2 : (Y2 >= bottom ? Y2 - bottom : -1);
  long long outer = QuadX(Yoff);
  long long xl = l_ + (a_ - outer) / 2, xr = (r_ - 1) - (a_ - outer) / 2;
  RoundRow row;
  row.outerL = int(xl);
  row.outerR = int(xr);
  if (Yoff >= bb_) {  // an extreme row is outline all along
    row.innerL = row.outerR;
    row.innerR = row.outerL;
    return row;
  }
  long long inner = outer;
  if (Yoff >= 0) inner = std::min(outer, QuadX(Yoff + 2) + 2);
  row.innerL = int(l_ + (a_ - inner) / 2);
  row.innerR = int((r_ - 1) - (a_ - inner) / 2);
  if (row.innerL + 1 >= row.innerR) {
    row.innerL = row.outerR;
    row.innerR = row.outerL;
  }
  return row;
}

}  // namespace detail

namespace {

// Figures walked as a path of pixels (arcs, dashed or wide outlines) are limited to this size.
constexpr long long kMaxPathBox = 1 << 18;

struct DevBox {
  long long l, t, r, b;
};

DevBox ToDeviceBox(const Painter& p, Rect r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return {ClampCoord((long long)r.left + p.OriginX()), ClampCoord((long long)r.top + p.OriginY()),
          ClampCoord((long long)r.right + p.OriginX()), ClampCoord((long long)r.bottom + p.OriginY())};
}

Point ToDevice(const Painter& p, Point q) {
  return {ClampCoord((long long)q.x + p.OriginX()), ClampCoord((long long)q.y + p.OriginY())};
}

// The outline pixels of a rounded box, ordered counterclockwise by angle around (cx, cy)
// (y down, so counterclockwise on screen), starting at angle 0.
std::vector<Point> OutlinePoints(const RoundRectRows& rows, const DevBox& box, double cx, double cy) {
  std::vector<Point> pts;
  for (long long y = box.t; y < box.b; ++y) {
    RoundRow rr = rows.At(y);
    if (rr.Merged()) {
      for (long long x = rr.outerL; x <= rr.outerR; ++x) pts.push_back({int(x), int(y)});
    } else {
      for (long long x = rr.outerL; x <= rr.innerL; ++x) pts.push_back({int(x), int(y)});
      for (long long x = rr.innerR; x <= rr.outerR; ++x) pts.push_back({int(x), int(y)});
    }
  }
  std::vector<std::pair<double, Point>> keyed;
  keyed.reserve(pts.size());
  for (const Point& q : pts) {
    double ang = std::atan2(-(q.y - cy), q.x - cx);
    if (ang < 0) ang += 2 * M_PI;
    keyed.push_back({ang, q});
  }
  std::stable_sort(keyed.begin(), keyed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < keyed.size(); ++i) pts[i] = keyed[i].second;
  return pts;
}

// Paints a path of pixels with the cosmetic pen, in order.
void WalkPixels(Painter& p, const std::vector<Point>& path) {
  if (p.penNull) return;
  PenWalker w(p);
  for (const Point& q : path) w.Pixel(q.x, q.y);
}

// The pen's pixels of a path (for keeping the brush off them); wide pens by their region.
void PathCoverage(const Painter& p, const std::vector<Point>& path, const std::vector<Point>& widePath,
                  bool closed, SpanSet& out) {
  if (p.penNull) return;
  if (p.penWidth > 1) {
    WidePenSpans(p, widePath.data(), int(widePath.size()), closed, out);
    return;
  }
  for (const Point& q : path) out.Add(q.y, q.x, q.x + 1);
}

void StrokeFigure(Painter& p, const std::vector<Point>& path, const std::vector<Point>& widePath,
                  bool closed) {
  if (p.penNull) return;
  if (p.penWidth > 1) {
    StrokePath(p, widePath.data(), int(widePath.size()), closed);
    return;
  }
  WalkPixels(p, path);
}

Rect RoundFigure(DeviceContext& dc, Rect r, long long cw, long long ch, bool ellipse) {
  Painter p(dc);
  if (!p.Ok()) return {};
  DevBox box = ToDeviceBox(p, r);
  if (box.r == box.l || box.b == box.t) return {};
  BrushPaint brush = MakeBrushPaint(dc);
  if (ellipse) {
    cw = box.r - box.l;
    ch = box.b - box.t;
  }
  const Rect& a = p.Area();
  long long y0 = std::max<long long>(box.t, a.top), y1 = std::min<long long>(box.b, a.bottom);
  if (p.penNull) {
    // Without a pen the inside is the figure one pixel smaller to the right and bottom.
    if (box.r - box.l < 2 || box.b - box.t < 2) return {};
    long long w = box.r - box.l - 1, h = box.b - box.t - 1;
    RoundRectRows rows(box.l, box.t, box.r - 1, box.b - 1, ellipse ? w : std::min(cw, w),
                       ellipse ? h : std::min(ch, h));
    for (long long y = y0; y < std::min<long long>(y1, box.b - 1); ++y) {
      RoundRow rr = rows.At(y);
      p.BrushSpan(rr.outerL, rr.outerR + 1, int(y), brush);
    }
    return p.Touched();
  }
  RoundRectRows rows(box.l, box.t, box.r, box.b, cw, ch);
  const int penTop = int(std::max<long long>(box.t - p.penWidth, a.top));
  const int penBottom = int(std::min<long long>(box.b + p.penWidth + 1, a.bottom));
  if (box.r - box.l > kMaxPathBox || box.b - box.t > kMaxPathBox) {
    // Too big to walk its outline as a path: a solid 1-pixel outline instead.
    p.penWidth = 1;
    p.dash = {};
  }
  if (p.penWidth == 1 && !p.dash.runs) {
    // The fast path: outline runs and inside per row, disjoint by construction.
    for (long long y = y0; y < y1; ++y) {
      RoundRow rr = rows.At(y);
      int yy = int(y);
      if (rr.Merged()) {
        p.Span(rr.outerL, rr.outerR + 1, yy, p.penPixel);
      } else {
        p.Span(rr.outerL, rr.innerL + 1, yy, p.penPixel);
        p.BrushSpan(rr.innerL + 1, rr.innerR, yy, brush);
        p.Span(rr.innerR, rr.outerR + 1, yy, p.penPixel);
      }
    }
    return p.Touched();
  }
  // Dashed or wide pens: the outline as an ordered path.
  std::vector<Point> path;
  bool square = rows.Square();
  if (square) {
    // A plain rectangle: from the top-left corner clockwise, as a closed polyline.
    int l = int(box.l), t = int(box.t), rr = int(box.r - 1), bb = int(box.b - 1);
    std::vector<Point> corners = {{l, t}, {rr, t}, {rr, bb}, {l, bb}};
    if (p.penWidth > 1) {
      SpanSet inside{int(y0), int(y1)};
      for (long long y = std::max<long long>(y0, box.t + 1); y < std::min<long long>(y1, box.b - 1); ++y)
        inside.Add(int(y), int(box.l + 1), int(box.r - 1));
      SpanSet pen{penTop, penBottom};  // a wide pen reaches outside the box
      WidePenSpans(p, corners.data(), 4, true, pen);
      inside.Subtract(pen);
      PaintBrushSpans(p, inside, brush);
      PaintSpans(p, pen, p.penPixel);
      return p.Touched();
    }
    for (long long y = std::max<long long>(y0, box.t + 1); y < std::min<long long>(y1, box.b - 1); ++y)
      p.BrushSpan(int(box.l + 1), int(box.r - 1), int(y), brush);
    PenWalker w(p);
    if (l == rr || t == bb) {
      CosmeticSegment(p, w, l, t, rr, bb);
      w.Pixel(rr, bb);
    } else {
      for (int i = 0; i < 4; ++i)
        CosmeticSegment(p, w, corners[size_t(i)].x, corners[size_t(i)].y, corners[size_t((i + 1) % 4)].x,
                        corners[size_t((i + 1) % 4)].y);
    }
    return p.Touched();
  }
  double cx = (box.l + box.r - 1) / 2.0, cy = (box.t + box.b - 1) / 2.0;
  path = OutlinePoints(rows, box, cx, cy);
  SpanSet inside{int(y0), int(y1)};
  for (long long y = y0; y < y1; ++y) {
    RoundRow rr = rows.At(y);
    if (!rr.Merged()) inside.Add(int(y), rr.innerL + 1, rr.innerR);
  }
  if (p.penWidth > 1) {
    SpanSet pen{penTop, penBottom};  // a wide pen reaches outside the box
    WidePenSpans(p, path.data(), int(path.size()), true, pen);
    inside.Subtract(pen);
    PaintBrushSpans(p, inside, brush);
    PaintSpans(p, pen, p.penPixel);
  } else {
    PaintBrushSpans(p, inside, brush);
    WalkPixels(p, path);
  }
  return p.Touched();
}

}  // namespace

Rect DrawRectangle(DeviceContext& dc, Rect r) { return RoundFigure(dc, r, 0, 0, false); }

Rect DrawRoundRect(DeviceContext& dc, Rect r, int cornerWidth, int cornerHeight) {
  return RoundFigure(dc, r, cornerWidth, cornerHeight, false);
}

Rect DrawEllipse(DeviceContext& dc, Rect r) { return RoundFigure(dc, r, 0, 0, true); }

Rect DrawArc(DeviceContext& dc, ArcKind kind, Rect boxIn, Point startRadial, Point endRadial, ArcEnds* ends) {
  Painter p(dc);
  if (!p.Ok()) return {};
  DevBox box = ToDeviceBox(p, boxIn);
  if (box.r == box.l || box.b == box.t) return {};
  long long w = box.r - box.l, h = box.b - box.t;
  if (w > kMaxPathBox || h > kMaxPathBox) return {};
  RoundRectRows rows(box.l, box.t, box.r, box.b, w, h);
  long long cxi = box.l + w / 2, cyi = box.t + h / 2;  // the centre, in integers
  std::vector<Point> ring = OutlinePoints(rows, box, double(cxi), double(cyi));
  if (ring.empty()) return {};
  size_t n = ring.size();
  auto nearest = [&](Point radial) {
    Point d = ToDevice(p, radial);
    double ang = (d.x == cxi && d.y == cyi) ? 0.0 : std::atan2(-(double(d.y) - cyi), double(d.x) - cxi);
    if (ang < 0) ang += 2 * M_PI;
    size_t best = 0;
    double bestDist = 1e9;
    for (size_t i = 0; i < n; ++i) {
      double pa = std::atan2(-(double(ring[i].y) - cyi), double(ring[i].x) - cxi);
      if (pa < 0) pa += 2 * M_PI;
      double dd = std::fabs(pa - ang);
      dd = std::min(dd, 2 * M_PI - dd);
      if (dd < bestDist) {
        bestDist = dd;
        best = i;
      }
    }
    return best;
  };
  size_t s = nearest(startRadial), e = nearest(endRadial);
  if (e <= s) e += n;
  Point startPt = ring[s], endPt = ring[e % n];
  if (ends) {
    ends->start = {startPt.x - p.OriginX(), startPt.y - p.OriginY()};
    ends->end = {endPt.x - p.OriginX(), endPt.y - p.OriginY()};
  }
  // The pen's path: the arc without its last pixel, then the closing lines.
  std::vector<Point> path, vertices;
  for (size_t i = s; i < e; ++i) path.push_back(ring[i % n]);
  for (size_t i = s; i <= e; ++i) vertices.push_back(ring[i % n]);
  auto addLine = [&](Point a, Point b) {
    BiasedLine(a.x, a.y, b.x, b.y, [&](long long x, long long y) { path.push_back({int(x), int(y)}); });
  };
  Point centre{int(cxi), int(cyi)};
  if (kind == ArcKind::Chord) {
    addLine(endPt, startPt);
  } else if (kind == ArcKind::Pie) {
    addLine(endPt, centre);
    addLine(centre, startPt);
    vertices.push_back(centre);
  }
  if (kind == ArcKind::Arc) {
    if (p.penWidth > 1) {
      StrokePath(p, vertices.data(), int(vertices.size()), false);
    } else {
      WalkPixels(p, path);
    }
    return p.Touched();
  }
  const Rect& a = p.Area();
  long long y0 = std::max<long long>(box.t, a.top), y1 = std::min<long long>(box.b, a.bottom);
  if (y0 < y1) {
    SpanSet inside{int(y0), int(y1)};
    std::vector<PointD> poly;
    for (const Point& q : vertices) poly.push_back({double(q.x), double(q.y)});
    PolygonSpans(poly.data(), int(poly.size()), FillRule::Winding, inside, a.left, a.right);
    SpanSet pen{int(y0), int(y1)};
    PathCoverage(p, path, vertices, true, pen);
    inside.Subtract(pen);
    PaintBrushSpans(p, inside, MakeBrushPaint(dc));
  }
  StrokeFigure(p, path, vertices, true);
  return p.Touched();
}

Rect DrawPolygon(DeviceContext& dc, const Point* points, int count, FillRule rule) {
  if (!points || count < 2) return {};
  Painter p(dc);
  if (!p.Ok()) return {};
  Point devStore[16];
  std::vector<Point> devHeap;
  Point* devp = devStore;
  if (count > 16) {
    devHeap.resize(static_cast<size_t>(count));
    devp = devHeap.data();
  }
  struct View {
    Point* p;
    Point& operator[](size_t i) { return p[i]; }
    Point* data() { return p; }
  } dev{devp};
  long long top = 0, bottom = 0;
  for (int i = 0; i < count; ++i) {
    dev[size_t(i)] = ToDevice(p, points[i]);
    if (i == 0 || dev[size_t(i)].y < top) top = dev[size_t(i)].y;
    if (i == 0 || dev[size_t(i)].y > bottom) bottom = dev[size_t(i)].y;
  }
  const Rect& a = p.Area();
  long long y0 = std::max<long long>(top - p.penWidth, a.top),
            y1 = std::min<long long>(bottom + p.penWidth + 1, a.bottom);
  BrushPaint brush = MakeBrushPaint(dc);
  if (y0 < y1 && !brush.none && count >= 3) {
    PointD polyStore[16];
    std::vector<PointD> polyHeap;
    PointD* poly = polyStore;
    if (count > 16) {
      polyHeap.resize(static_cast<size_t>(count));
      poly = polyHeap.data();
    }
    for (int i = 0; i < count; ++i) poly[i] = {double(dev[size_t(i)].x), double(dev[size_t(i)].y)};
    if (!p.ReadsDest() || p.penNull) {
      // Painting a pixel twice gives what painting it once does: fill straight away.
      PolygonRows(poly, count, rule, int(y0), int(y1), a.left, a.right, [&](int y, int x0, int x1) {
        if (brush.solid)
          p.Span(x0, x1, y, brush.fore);
        else
          p.BrushSpan(x0, x1, y, brush);
      });
    } else {
      SpanSet inside{int(y0), int(y1)};
      PolygonSpans(poly, count, rule, inside, a.left, a.right);
      // Keep the brush off the outline so that no pixel is combined twice.
      SpanSet pen{int(y0), int(y1)};
      if (p.penWidth > 1) {
        WidePenSpans(p, dev.data(), count, true, pen);
      } else {
        for (int i = 0; i < count; ++i) {
          const Point& s = dev[size_t(i)];
          const Point& e = dev[size_t((i + 1) % count)];
          BiasedLine(s.x, s.y, e.x, e.y, [&](long long x, long long y) {
            if (y >= y0 && y < y1) pen.Add(int(y), int(x), int(x) + 1);
          });
        }
      }
      inside.Subtract(pen);
      PaintBrushSpans(p, inside, brush);
    }
  }
  StrokePath(p, dev.data(), count, true);
  return p.Touched();
}

std::vector<Point> FlattenBezier(const Point* points, int count) {
  std::vector<Point> out;
  if (!points || count < 4) return out;
  out.push_back(points[0]);
  struct P {
    double x, y;
  };
  auto emit = [&](double x, double y) {
    Point q{int(std::lround(x)), int(std::lround(y))};
    if (q.x != out.back().x || q.y != out.back().y) out.push_back(q);
  };
  auto flat = [](const P& a, const P& b, const P& c, const P& d) {
    // Both inner control points within a quarter pixel of the chord.
    double dx = d.x - a.x, dy = d.y - a.y, len2 = dx * dx + dy * dy;
    auto dist2 = [&](const P& q) {
      double qx = q.x - a.x, qy = q.y - a.y;
      if (len2 < 1e-12) return qx * qx + qy * qy;
      double cr = dx * qy - dy * qx;
      return cr * cr / len2;
    };
    return dist2(b) <= 0.0625 && dist2(c) <= 0.0625;
  };
  auto rec = [&](auto&& self, P a, P b, P c, P d, int depth) -> void {
    if (depth >= 16 || flat(a, b, c, d)) {
      emit(d.x, d.y);
      return;
    }
    P ab{(a.x + b.x) / 2, (a.y + b.y) / 2}, bc{(b.x + c.x) / 2, (b.y + c.y) / 2},
        cd{(c.x + d.x) / 2, (c.y + d.y) / 2};
    P abc{(ab.x + bc.x) / 2, (ab.y + bc.y) / 2}, bcd{(bc.x + cd.x) / 2, (bc.y + cd.y) / 2};
    P m{(abc.x + bcd.x) / 2, (abc.y + bcd.y) / 2};
    self(self, a, ab, abc, m, depth + 1);
    self(self, m, bcd, cd, d, depth + 1);
  };
  for (int i = 0; i + 3 < count; i += 3) {
    P a{double(points[i].x), double(points[i].y)}, b{double(points[i + 1].x), double(points[i + 1].y)};
    P c{double(points[i + 2].x), double(points[i + 2].y)},
        d{double(points[i + 3].x), double(points[i + 3].y)};
    rec(rec, a, b, c, d, 0);
    // The segment ends exactly on its last control point.
    if (out.back().x != points[i + 3].x || out.back().y != points[i + 3].y) out.push_back(points[i + 3]);
  }
  return out;
}

Rect DrawBezier(DeviceContext& dc, const Point* points, int count) {
  std::vector<Point> pts = FlattenBezier(points, count);
  if (pts.size() < 2) {
    if (pts.size() == 1) {
      Point two[2] = {pts[0], pts[0]};
      return DrawPolyline(dc, two, 2);
    }
    return {};
  }
  return DrawPolyline(dc, pts.data(), int(pts.size()));
}

}  // namespace raster

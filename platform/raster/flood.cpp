// Flood fill: 4-connected span filling inside the drawable area, comparing raw pixel values.
// When painting cannot change which pixels still qualify (a solid brush copied in a colour the
// test rejects) the spans are painted as they are found; otherwise they are found first, with
// a visited map, and painted afterwards, so that the brush and raster operation never feed
// back into the search.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/raster/draw.h"
#include "platform/raster/paint.h"

namespace raster {

using namespace detail;

namespace {

struct Seed {
  int x, y;
};

// Span fill over `inside(x, y)`; `fill(x0, x1, y)` is called once per span found, and must
// make `inside` false for the span's pixels (by painting them or marking them visited).
template <class Inside, class Fill>
void SpanFill(const Rect& a, int sx, int sy, Inside&& inside, Fill&& fill) {
  std::vector<Seed> stack;
  stack.push_back({sx, sy});
  while (!stack.empty()) {
    Seed s = stack.back();
    stack.pop_back();
    if (!inside(s.x, s.y)) continue;
    int xl = s.x, xr = s.x + 1;
    while (xl > a.left && inside(xl - 1, s.y)) --xl;
    while (xr < a.right && inside(xr, s.y)) ++xr;
    fill(xl, xr, s.y);
    for (int ny : {s.y - 1, s.y + 1}) {
      if (ny < a.top || ny >= a.bottom) continue;
      int x = xl;
      while (x < xr) {
        while (x < xr && !inside(x, ny)) ++x;
        if (x >= xr) break;
        stack.push_back({x, ny});
        while (x < xr && inside(x, ny)) ++x;
      }
    }
  }
}

}  // namespace

Rect FloodFill(DeviceContext& dc, int x, int y, ColorRef color, FloodMode mode) {
  Painter p(dc);
  if (!p.Ok()) return {};
  long long dxl = (long long)x + p.OriginX(), dyl = (long long)y + p.OriginY();
  const Rect a = p.Area();
  if (!a.Contains(ClampCoord(dxl), ClampCoord(dyl))) return {};
  int dx = int(dxl), dy = int(dyl);
  Pixel c = ResolveColor(dc, color);
  Pixel start = p.Get(dx, dy);
  bool border = mode == FloodMode::Border;
  if (border ? start == c : start != c) return {};
  BrushPaint brush = MakeBrushPaint(dc);
  Surface* s = p.Target();
  int bpp = p.Bpp();

  bool inPlace = brush.solid && p.Copy() && (border ? brush.fore == c : brush.fore != c);
  if (inPlace && bpp == 32 && !border) {
    // The common case (a solid fill of one colour area) on raw rows.
    uint32_t cv = uint32_t(c), fv = uint32_t(brush.fore);
    // Each seed remembers the span it came from: that span is painted already, so the scan
    // of its row can skip it.
    struct Run {
      int x, y, parentY, parentL, parentR;
    };
    std::vector<Run> stack;
    stack.push_back({dx, dy, INT32_MIN, 0, 0});
    while (!stack.empty()) {
      Run sd = stack.back();
      stack.pop_back();
      uint32_t* row = reinterpret_cast<uint32_t*>(s->Row(sd.y));
      if (row[sd.x] != cv) continue;
      int xl = sd.x, xr = sd.x + 1;
      while (xl > a.left && row[xl - 1] == cv) --xl;
      xr = SkipEqual32(row, xr, a.right, cv);
      Fill32(row + xl, xr - xl, fv);
      p.Touch(xl, sd.y, xr, sd.y + 1);
      for (int ny : {sd.y - 1, sd.y + 1}) {
        if (ny < a.top || ny >= a.bottom) continue;
        const uint32_t* nr = reinterpret_cast<const uint32_t*>(s->Row(ny));
        auto scan = [&](int from, int to) {
          int xx = from;
          while (xx < to) {
            xx = SkipOther32(nr, xx, to, cv);
            if (xx >= to) break;
            stack.push_back({xx, ny, sd.y, xl, xr});
            xx = SkipEqual32(nr, xx, to, cv);
          }
        };
        if (ny == sd.parentY) {
          scan(xl, std::min(xr, sd.parentL));
          scan(std::max(xl, sd.parentR), xr);
        } else {
          scan(xl, xr);
        }
      }
    }
    return p.Touched();
  }
  if (inPlace) {
    auto inside = [&](int xx, int yy) {
      Pixel v = GetRaw(s->Row(yy), bpp, xx);
      return border ? v != c : v == c;
    };
    SpanFill(a, dx, dy, inside, [&](int x0, int x1, int yy) { p.Span(x0, x1, yy, brush.fore); });
    return p.Touched();
  }

  // General case: find every span first, then paint.
  int w = a.Width();
  std::vector<uint8_t> visited(size_t(w) * size_t(a.Height()), 0);
  struct Span {
    int x0, x1, y;
  };
  std::vector<Span> spans;
  auto inside = [&](int xx, int yy) {
    if (visited[size_t(yy - a.top) * size_t(w) + size_t(xx - a.left)]) return false;
    Pixel v = GetRaw(s->Row(yy), bpp, xx);
    return border ? v != c : v == c;
  };
  SpanFill(a, dx, dy, inside, [&](int x0, int x1, int yy) {
    std::fill_n(visited.begin() + ptrdiff_t(size_t(yy - a.top) * size_t(w) + size_t(x0 - a.left)), x1 - x0,
                uint8_t(1));
    spans.push_back({x0, x1, yy});
  });
  for (const Span& sp : spans) p.BrushSpan(sp.x0, sp.x1, sp.y, brush);
  if (brush.none) {
    return {};
  }
  return p.Touched();
}

}  // namespace raster

// The software rasterizer against Cairo (antialiasing off) on the same work, one run, on a
// 640 x 480 32-bit page: 10,000 lines, 10,000 filled rectangles, 2,000 filled ellipses,
// 1,000 polygons of 8 points and a flood fill of the whole page. Cairo has no flood fill, so
// its side of that row is the flood fill a Cairo program would write: a 4-way span search on
// the image surface's pixels, each span added to the path as a rectangle, one fill at the end. Each row prints ours/Cairo throughput (> 1
// means we are faster); each side is timed as the best of a few alternating rounds.
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "platform/raster/draw.h"
#include "platform/raster/raster.h"

using namespace raster;

namespace {

constexpr int kW = 640, kH = 480;

// Surface-mode flood fill on a Cairo image surface: spans of the seed's colour found on the
// pixel data, painted by Cairo as one path of one-row rectangles.
void CairoFloodFill(cairo_t* cr, cairo_surface_t* cs, int x, int y, double r, double g, double b) {
  cairo_surface_flush(cs);
  const unsigned char* data = cairo_image_surface_get_data(cs);
  const int stride = cairo_image_surface_get_stride(cs);
  auto px = [&](int px, int py) { return reinterpret_cast<const uint32_t*>(data + py * stride)[px] & 0xFFFFFF; };
  const uint32_t target = px(x, y);
  std::vector<uint8_t> seen(size_t(kW) * kH, 0);
  std::vector<Point> stack{{x, y}};
  while (!stack.empty()) {
    Point p = stack.back();
    stack.pop_back();
    if (seen[size_t(p.y) * kW + p.x] || px(p.x, p.y) != target) continue;
    int l = p.x, rgt = p.x;
    while (l > 0 && !seen[size_t(p.y) * kW + l - 1] && px(l - 1, p.y) == target) --l;
    while (rgt + 1 < kW && !seen[size_t(p.y) * kW + rgt + 1] && px(rgt + 1, p.y) == target) ++rgt;
    std::fill(seen.begin() + size_t(p.y) * kW + l, seen.begin() + size_t(p.y) * kW + rgt + 1, 1);
    cairo_rectangle(cr, l, p.y, rgt - l + 1, 1);
    for (int ny : {p.y - 1, p.y + 1}) {
      if (ny < 0 || ny >= kH) continue;
      for (int i = l; i <= rgt; ++i)
        if (!seen[size_t(ny) * kW + i] && px(i, ny) == target && (i == l || px(i - 1, ny) != target))
          stack.push_back({i, ny});
    }
  }
  cairo_set_source_rgb(cr, r, g, b);
  cairo_fill(cr);
  cairo_surface_flush(cs);
}

double Seconds(const std::function<void()>& work) {
  auto t0 = std::chrono::steady_clock::now();
  work();
  auto t1 = std::chrono::steady_clock::now();
  return std::chrono::duration<double>(t1 - t0).count();
}

struct Work {
  std::vector<Point> lines;  // pairs
  std::vector<Rect> rects;
  std::vector<Rect> ellipses;
  std::vector<Point> polys;  // 8 per polygon
};

Work MakeWork() {
  std::mt19937 rng(2024);
  auto ux = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Work w;
  for (int i = 0; i < 10000; ++i) {
    w.lines.push_back({ux(0, kW - 1), ux(0, kH - 1)});
    w.lines.push_back({ux(0, kW - 1), ux(0, kH - 1)});
  }
  for (int i = 0; i < 10000; ++i) {
    int x = ux(0, kW - 2), y = ux(0, kH - 2);
    w.rects.push_back({x, y, std::min(kW, x + ux(1, 100)), std::min(kH, y + ux(1, 100))});
  }
  for (int i = 0; i < 2000; ++i) {
    int x = ux(0, kW - 4), y = ux(0, kH - 4);
    w.ellipses.push_back({x, y, std::min(kW, x + ux(3, 100)), std::min(kH, y + ux(3, 100))});
  }
  for (int i = 0; i < 1000; ++i) {
    int x = ux(0, kW - 100), y = ux(0, kH - 100);
    for (int k = 0; k < 8; ++k) w.polys.push_back({x + ux(0, 100), y + ux(0, 100)});
  }
  return w;
}

}  // namespace

int main() {
  Work work = MakeWork();

  Surface page;
  page.Create(kW, kH, 32);
  DeviceContext dc;
  dc.SelectSurface(&page);
  dc.pen.color = MakeRgb(250, 200, 10);
  dc.brush.color = MakeRgb(250, 200, 10);

  cairo_surface_t* cs = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kW, kH);
  cairo_t* cr = cairo_create(cs);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgb(cr, 250 / 255.0, 200 / 255.0, 10 / 255.0);

  struct Row {
    const char* name;
    std::function<void()> ours, cairo;
    int rounds;
  };
  bool flip = false;
  std::vector<Row> rows = {
      {"10,000 lines",
       [&] {
         for (size_t i = 0; i < work.lines.size(); i += 2) DrawLine(dc, work.lines[i], work.lines[i + 1]);
       },
       [&] {
         for (size_t i = 0; i < work.lines.size(); i += 2) {
           cairo_move_to(cr, work.lines[i].x + 0.5, work.lines[i].y + 0.5);
           cairo_line_to(cr, work.lines[i + 1].x + 0.5, work.lines[i + 1].y + 0.5);
           cairo_stroke(cr);
         }
         cairo_surface_flush(cs);
       },
       7},
      {"10,000 filled rectangles",
       [&] {
         for (const Rect& r : work.rects) dc.FillRect(r);
       },
       [&] {
         for (const Rect& r : work.rects) {
           cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
           cairo_fill(cr);
         }
         cairo_surface_flush(cs);
       },
       7},
      {"2,000 filled ellipses",
       [&] {
         for (const Rect& r : work.ellipses) DrawEllipse(dc, r);
       },
       [&] {
         for (const Rect& r : work.ellipses) {
           cairo_save(cr);
           cairo_translate(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
           cairo_scale(cr, r.Width() / 2.0, r.Height() / 2.0);
           cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
           cairo_restore(cr);
           cairo_fill(cr);
         }
         cairo_surface_flush(cs);
       },
       7},
      {"1,000 polygons of 8 points",
       [&] {
         dc.pen.style = PenStyle::Null;
         for (size_t i = 0; i < work.polys.size(); i += 8) DrawPolygon(dc, &work.polys[i], 8);
         dc.pen.style = PenStyle::Solid;
       },
       [&] {
         cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
         for (size_t i = 0; i < work.polys.size(); i += 8) {
           cairo_move_to(cr, work.polys[i].x, work.polys[i].y);
           for (int k = 1; k < 8; ++k) cairo_line_to(cr, work.polys[i + k].x, work.polys[i + k].y);
           cairo_close_path(cr);
           cairo_fill(cr);
         }
         cairo_surface_flush(cs);
       },
       7},
      {"flood fill of the page",
       [&] {
         for (int i = 0; i < 20; ++i) {
           // The page is one colour; fill it with the other one.
           ColorRef from = flip ? MakeRgb(1, 2, 3) : MakeRgb(200, 100, 50);
           ColorRef to = flip ? MakeRgb(200, 100, 50) : MakeRgb(1, 2, 3);
           if (i == 0) dc.FillSolid(page.Bounds(), from);
           dc.brush.color = to;
           FloodFill(dc, kW / 2, kH / 2, from, FloodMode::Surface);
           flip = !flip;
         }
       },
       [&] {
         // The page is one colour, as on our side; fill it with the other one, and back.
         cairo_set_source_rgb(cr, 1 / 255.0, 2 / 255.0, 3 / 255.0);
         cairo_paint(cr);
         for (int i = 0; i < 20; ++i) {
           if (i & 1)
             CairoFloodFill(cr, cs, kW / 2, kH / 2, 1 / 255.0, 2 / 255.0, 3 / 255.0);
           else
             CairoFloodFill(cr, cs, kW / 2, kH / 2, 200 / 255.0, 100 / 255.0, 50 / 255.0);
         }
       },
       9},
  };

  std::printf("%-40s %12s %12s %8s\n", "work (640 x 480, 32 bits)", "ours ms", "cairo ms", "ratio");
  for (Row& r : rows) {
    dc.FillSolid(page.Bounds(), 0);
    // Rounds alternate between the two so that a busy machine slows both alike.
    double ours = 1e30, cairo = 1e30;
    for (int i = 0; i < r.rounds; ++i) {
      ours = std::min(ours, Seconds(r.ours));
      cairo = std::min(cairo, Seconds(r.cairo));
    }
    std::printf("%-40s %12.3f %12.3f %8.2f\n", r.name, ours * 1e3, cairo * 1e3, cairo / ours);
  }
  cairo_destroy(cr);
  cairo_surface_destroy(cs);
  return 0;
}

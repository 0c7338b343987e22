// Pixel checks of the software rasterizer on tiny surfaces: raster operations, brushes, lines
// and dashes, wide pens, figures, arcs, polygons, flood fill, blits and BMP rows, plus random
// and hostile input that must never write outside the drawable area.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/raster/draw.h"
#include "platform/raster/raster.h"

using namespace raster;

namespace {

constexpr ColorRef kRed = MakeRgb(255, 0, 0);
constexpr ColorRef kBlue = MakeRgb(0, 0, 255);
constexpr ColorRef kGreen = MakeRgb(0, 255, 0);
constexpr ColorRef kWhite = MakeRgb(255, 255, 255);
constexpr ColorRef kBlack = MakeRgb(0, 0, 0);
constexpr Pixel kRedPx = 0xFF0000, kBluePx = 0x0000FF, kGreenPx = 0x00FF00, kWhitePx = 0xFFFFFF;

using PixelSet = std::set<std::pair<int, int>>;

// A surface with a context on it: pen red, brush blue, black page.
struct Canvas {
  Surface s;
  DeviceContext dc;
  explicit Canvas(int w = 32, int h = 32, int bpp = 32) {
    EXPECT_TRUE(s.Create(w, h, bpp));
    if (s.Indexed()) {
      auto& t = s.ColorTable();
      for (size_t i = 0; i < t.size(); ++i) {
        uint8_t v = uint8_t(t.size() == 2 ? i * 255 : (t.size() == 16 ? i * 17 : i));
        t[i] = {v, v, v, 0};
      }
    }
    dc.SelectSurface(&s);
    dc.pen.color = kRed;
    dc.brush.color = kBlue;
    dc.backColor = kWhite;
    dc.textColor = kBlack;
  }
  Pixel At(int x, int y) const { return s.GetPixel(x, y); }
  PixelSet With(Pixel v) const {
    PixelSet out;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x)
        if (At(x, y) == v) out.insert({x, y});
    return out;
  }
  PixelSet NotZero() const {
    PixelSet out;
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x)
        if (At(x, y) != 0) out.insert({x, y});
    return out;
  }
  std::vector<uint8_t> Bytes() const { return {s.Bits(), s.Bits() + s.ByteSize()}; }
};

PixelSet RectSet(int l, int t, int r, int b) {
  PixelSet out;
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) out.insert({x, y});
  return out;
}

PixelSet Union(PixelSet a, const PixelSet& b) {
  a.insert(b.begin(), b.end());
  return a;
}

}  // namespace

// ---- Raster operations ---------------------------------------------------------------------

TEST(RasterRop, BinaryOperationsFollowTheirNumbering) {
  // P = 1100b, D = 1010b: the result nibble of each operation as documented.
  struct Case {
    Rop2 op;
    Pixel expected;
  } cases[] = {
      {Rop2::Black, 0x0},      {Rop2::NotMergePen, 0x1}, {Rop2::MaskNotPen, 0x2}, {Rop2::NotCopyPen, 0x3},
      {Rop2::MaskPenNot, 0x4}, {Rop2::Not, 0x5},         {Rop2::XorPen, 0x6},     {Rop2::NotMaskPen, 0x7},
      {Rop2::MaskPen, 0x8},    {Rop2::NotXorPen, 0x9},   {Rop2::Nop, 0xA},        {Rop2::MergeNotPen, 0xB},
      {Rop2::CopyPen, 0xC},    {Rop2::MergePenNot, 0xD}, {Rop2::MergePen, 0xE},   {Rop2::White, 0xF},
  };
  for (const Case& c : cases) EXPECT_EQ(ApplyRop2(c.op, 0xC, 0xA, 0xF), c.expected) << int(c.op);
  // The mask keeps results inside the pixel's bits.
  EXPECT_EQ(ApplyRop2(Rop2::Not, 0, 0x12, 0xFF), 0xEDu);
  EXPECT_EQ(ApplyRop2(Rop2::White, 0, 0, 0xFFFFFF), 0xFFFFFFu);
}

TEST(RasterRop, TernaryCodesComputeTheirTruthTable) {
  const uint32_t codes[] = {kSrcCopy,    kSrcPaint,    kSrcAnd,     kSrcInvert, kSrcErase,
                            kNotSrcCopy, kNotSrcErase, kMergePaint, kDstInvert, kPatCopy,
                            kBlackness,  kWhiteness,   0x5A0049 /* P ^ D, through the general table */};
  for (uint32_t code : codes) {
    uint8_t f = uint8_t(code >> 16);
    EXPECT_EQ(ApplyRop3(f, 0xF0, 0xCC, 0xAA, 0xFF), f) << std::hex << code;
  }
}

TEST(RasterRop, XorFillTwiceRestoresOnEveryDepth) {
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    Canvas c(20, 10, bpp);
    c.dc.brush.color = MakeRgb(200, 200, 200);
    c.dc.FillRect({0, 0, 12, 10});
    c.dc.brush.color = kWhite;
    auto before = c.Bytes();
    c.dc.rop2 = Rop2::XorPen;
    Rect touched = c.dc.FillRect({3, 2, 17, 8});
    EXPECT_EQ(touched.left, 3);
    EXPECT_EQ(touched.bottom, 8);
    EXPECT_NE(c.Bytes(), before) << bpp;
    c.dc.FillRect({3, 2, 17, 8});
    EXPECT_EQ(c.Bytes(), before) << bpp;
  }
}

TEST(RasterRop, NotUsesOnlyThePixelBits) {
  struct Case {
    int bpp;
    Pixel expected;
  } cases[] = {{1, 1}, {4, 0xF}, {8, 0xFF}, {16, 0xFFFF}, {24, 0xFFFFFF}, {32, 0xFFFFFF}};
  for (const Case& k : cases) {
    Canvas c(9, 3, k.bpp);
    c.dc.rop2 = Rop2::Not;
    c.dc.FillRect({0, 0, 9, 3});
    EXPECT_EQ(c.At(8, 2), k.expected) << k.bpp;
    EXPECT_EQ(InvertRect(c.dc, {0, 0, 9, 3}).Width(), 9);
    EXPECT_EQ(c.At(8, 2), 0u) << k.bpp;
  }
}

TEST(RasterRop, PixelsThroughTheRopOrDirectAndInsideTheClip) {
  Canvas c(8, 8);
  c.dc.viewportOrigin = {2, 1};
  c.dc.clipEnabled = true;
  c.dc.clip = {0, 0, 6, 6};
  c.s.SetPixel(3, 2, kRedPx | kBluePx);
  c.dc.rop2 = Rop2::XorPen;
  EXPECT_EQ(PaintPixel(c.dc, 1, 1, kRed).left, 3);
  EXPECT_EQ(c.At(3, 2), kBluePx);  // through XOR
  SetPixelColor(c.dc, 1, 1, kGreen);
  EXPECT_EQ(c.At(3, 2), kGreenPx);  // the raster operation does not apply
  Pixel v = 0;
  EXPECT_TRUE(ReadPixelValue(c.dc, 1, 1, &v));
  EXPECT_EQ(v, kGreenPx);
  // Outside the clip nothing is written or read.
  EXPECT_TRUE(SetPixelColor(c.dc, 4, 5, kRed).Empty());
  EXPECT_EQ(c.At(6, 6), 0u);
  EXPECT_FALSE(ReadPixelValue(c.dc, 4, 5, &v));
  EXPECT_FALSE(ReadPixelValue(c.dc, -3, 0, &v));
  // A device-monochrome surface takes light colours as 1 and dark ones as 0.
  Surface mono;
  ASSERT_TRUE(CreateMonochrome(mono, 9, 1));
  DeviceContext m;
  m.SelectSurface(&mono);
  SetPixelColor(m, 0, 0, MakeRgb(250, 240, 200));
  SetPixelColor(m, 8, 0, MakeRgb(20, 40, 90));
  EXPECT_EQ(mono.GetPixel(0, 0), 1u);
  EXPECT_EQ(mono.GetPixel(8, 0), 0u);
  EXPECT_EQ(PixelColor(mono, 1), kWhite);
}

// ---- Brushes and FillRect -----------------------------------------------------------------

TEST(RasterBrush, HatchesAreAnchoredToTheDeviceInBothBackgroundModes) {
  const uint8_t rows[6][8] = {
      {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},
      {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},
      {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08}, {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},
  };
  for (int h = 0; h < 6; ++h) {
    for (BackgroundMode mode : {BackgroundMode::Opaque, BackgroundMode::Transparent}) {
      Canvas c(24, 24);
      c.dc.FillSolid({0, 0, 24, 24}, kGreen);
      c.dc.brush.style = BrushStyle::Hatched;
      c.dc.brush.hatch = HatchStyle(h);
      c.dc.backgroundMode = mode;
      c.dc.viewportOrigin = {3, 5};  // the pattern must not follow the origin
      c.dc.FillRect({-3, -5, 21, 19});
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
          bool on = (rows[h][y % 8] >> (7 - x % 8)) & 1;
          Pixel want = on ? kBluePx : (mode == BackgroundMode::Opaque ? kWhitePx : kGreenPx);
          ASSERT_EQ(c.At(x, y), want) << "hatch " << h << " at " << x << "," << y;
        }
    }
  }
}

TEST(RasterBrush, PatternBrushesAndTheNullBrush) {
  Canvas c(16, 8);
  c.dc.brush.style = BrushStyle::Pattern;
  for (int i = 0; i < 8; ++i) c.dc.brush.pattern[i] = uint8_t(0xF0 >> (i % 2));
  c.dc.textColor = kRed;
  c.dc.backColor = kGreen;
  c.dc.FillRect({0, 0, 16, 8});
  EXPECT_EQ(c.At(0, 0), kGreenPx);  // 1 bits: background colour
  EXPECT_EQ(c.At(4, 0), kRedPx);    // 0 bits: text colour
  EXPECT_EQ(c.At(0, 1), kRedPx);
  EXPECT_EQ(c.At(8, 0), kGreenPx);

  c.dc.brush.style = BrushStyle::ColorPattern;
  c.dc.brush.color = kBlue;
  c.dc.brush.patternBack = kWhite;
  c.dc.FillRect({0, 0, 16, 8});
  EXPECT_EQ(c.At(0, 0), kBluePx);
  EXPECT_EQ(c.At(4, 0), kWhitePx);

  auto before = c.Bytes();
  c.dc.brush.style = BrushStyle::Null;
  EXPECT_TRUE(c.dc.FillRect({0, 0, 16, 8}).Empty());
  EXPECT_EQ(c.Bytes(), before);
}

TEST(RasterBrush, FillRectClipsAndOrdersCorners) {
  struct Case {
    Rect r;
    bool clip;
    Rect expected;
  } cases[] = {
      {{2, 3, 6, 7}, false, {2, 3, 6, 7}},
      {{6, 7, 2, 3}, false, {2, 3, 6, 7}},    // reversed corners
      {{5, 5, 6, 6}, false, {5, 5, 6, 6}},    // one pixel
      {{0, 0, 40, 40}, true, {4, 4, 10, 9}},  // cut to the clip
      {{-100, -100, 100, 100}, false, {0, 0, 20, 20}},
      {{3, 3, 3, 9}, false, {}},  // zero width
  };
  for (const Case& k : cases) {
    Canvas c(20, 20);
    c.dc.clipEnabled = k.clip;
    c.dc.clip = {4, 4, 10, 9};
    Rect touched = c.dc.FillRect(k.r);
    PixelSet want = k.expected.Empty()
                        ? PixelSet{}
                        : RectSet(k.expected.left, k.expected.top, k.expected.right, k.expected.bottom);
    EXPECT_EQ(c.With(kBluePx), want);
    if (!want.empty()) {
      EXPECT_EQ(touched.left, k.expected.left);
      EXPECT_EQ(touched.bottom, k.expected.bottom);
    } else {
      EXPECT_TRUE(touched.Empty());
    }
  }
}

// ---- Lines ---------------------------------------------------------------------------------

TEST(RasterLine, OctantsStartDrawnEndExcluded) {
  struct Case {
    Point a, b;
    PixelSet pixels;
  } cases[] = {
      {{0, 0}, {5, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
      {{5, 0}, {0, 0}, {{5, 0}, {4, 0}, {3, 0}, {2, 0}, {1, 0}}},
      {{2, 4}, {2, 1}, {{2, 4}, {2, 3}, {2, 2}}},
      {{0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
      // Ties: octant 1 keeps the row, octant 5 (its reverse) steps, so both cover the same pixels.
      {{0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
      {{4, 2}, {0, 0}, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
      {{0, 0}, {2, 4}, {{0, 0}, {0, 1}, {1, 2}, {1, 3}}},
      {{2, 4}, {0, 0}, {{2, 4}, {1, 3}, {1, 2}, {0, 1}}},
      {{3, 3}, {3, 3}, {}},
  };
  for (const Case& k : cases) {
    Canvas c(8, 8);
    DrawLine(c.dc, k.a, k.b);
    EXPECT_EQ(c.With(kRedPx), k.pixels) << k.a.x << "," << k.a.y << " -> " << k.b.x << "," << k.b.y;
    EXPECT_EQ(c.dc.currentPosition.x, k.b.x);
  }
}

TEST(RasterLine, ReversedLinesCoverTheSamePixels) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(0, 39);
  for (int i = 0; i < 400; ++i) {
    Point a{d(rng), d(rng)}, b{d(rng), d(rng)};
    Canvas f(40, 40), r(40, 40);
    DrawLine(f.dc, a, b);
    SetPixelColor(f.dc, b.x, b.y, kRed);
    DrawLine(r.dc, b, a);
    SetPixelColor(r.dc, a.x, a.y, kRed);
    ASSERT_EQ(f.With(kRedPx), r.With(kRedPx)) << a.x << "," << a.y << " " << b.x << "," << b.y;
  }
}

TEST(RasterLine, WalkLineHasNoBiasAndSkipsTheEnd) {
  std::vector<std::pair<int, int>> pts;
  WalkLine({4, 2}, {0, 0}, [&](int x, int y) { pts.push_back({x, y}); });
  // Unlike the drawn line, the tie at the second point keeps the row.
  std::vector<std::pair<int, int>> want = {{4, 2}, {3, 2}, {2, 1}, {1, 1}};
  EXPECT_EQ(pts, want);
  pts.clear();
  WalkLine({0, 0}, {20, 0}, [&](int x, int y) { pts.push_back({x, y}); });
  EXPECT_EQ(pts.size(), 20u);
  EXPECT_EQ(pts.back(), std::make_pair(19, 0));
  pts.clear();
  WalkLine({3, 3}, {3, 3}, [&](int x, int y) { pts.push_back({x, y}); });
  EXPECT_TRUE(pts.empty());
}

TEST(RasterLine, DashPatternsRunAndCarryAcrossSegments) {
  struct Case {
    PenStyle style;
    std::vector<int> runs;  // on, off, ...
  } cases[] = {
      {PenStyle::Dash, {18, 6}},
      {PenStyle::Dot, {3, 3}},
      {PenStyle::DashDot, {9, 6, 3, 6}},
      {PenStyle::DashDotDot, {9, 3, 3, 3, 3, 3}},
  };
  for (const Case& k : cases) {
    for (BackgroundMode mode : {BackgroundMode::Transparent, BackgroundMode::Opaque}) {
      Canvas c(60, 4);
      c.dc.pen.style = k.style;
      c.dc.backgroundMode = mode;
      // One polyline whose corner falls inside a run: the pattern must carry over it.
      Point pts[] = {{0, 1}, {25, 1}, {50, 1}};
      DrawPolyline(c.dc, pts, 3);
      std::string got, want;
      for (int x = 0; x < 50; ++x) got += c.At(x, 1) == kRedPx ? '#' : (c.At(x, 1) == kWhitePx ? '-' : '.');
      size_t run = 0;
      int left = k.runs[0];
      for (int x = 0; x < 50; ++x) {
        want += (run % 2 == 0) ? '#' : (mode == BackgroundMode::Opaque ? '-' : '.');
        if (--left == 0) {
          run = (run + 1) % k.runs.size();
          left = k.runs[run];
        }
      }
      EXPECT_EQ(got, want) << int(k.style);
      EXPECT_EQ(c.At(50, 1), 0u);  // the last point is left out
    }
  }
  // Every new LineTo restarts the pattern.
  Canvas c(40, 4);
  c.dc.pen.style = PenStyle::Dot;
  c.dc.currentPosition = {0, 0};
  LineTo(c.dc, {4, 0});
  LineTo(c.dc, {10, 0});
  std::string got;
  for (int x = 0; x < 10; ++x) got += c.At(x, 0) == kRedPx ? '#' : '.';
  EXPECT_EQ(got, "###.###...");
}

TEST(RasterLine, WidePenCoversItsRowsAndIsPaintedOnce) {
  Canvas c(40, 20);
  c.dc.pen.width = 3;
  DrawLine(c.dc, {5, 10}, {30, 10});
  // Rows y - w/2 .. y - w/2 + w - 1 along the segment.
  for (int x = 5; x < 30; ++x) {
    EXPECT_EQ(c.At(x, 8), 0u) << x;
    for (int y = 9; y <= 11; ++y) EXPECT_EQ(c.At(x, y), kRedPx) << x << "," << y;
  }
  // Round caps reach beyond both ends.
  EXPECT_EQ(c.At(4, 10), kRedPx);
  EXPECT_EQ(c.At(31, 10), kRedPx);

  // XOR strokes of a self-crossing wide polyline hit every pixel exactly once.
  Canvas x(40, 40);
  x.dc.pen.width = 5;
  x.dc.rop2 = Rop2::XorPen;
  Point pts[] = {{5, 5}, {35, 35}, {35, 5}, {5, 35}, {20, 2}};
  Rect touched = DrawPolyline(x.dc, pts, 5);
  PixelSet nonzero = x.NotZero();
  EXPECT_EQ(nonzero, x.With(kRedPx));
  EXPECT_GT(nonzero.size(), 200u);
  for (auto [px, py] : nonzero) EXPECT_TRUE(touched.Contains(px, py));
  DrawPolyline(x.dc, pts, 5);
  EXPECT_TRUE(x.NotZero().empty());
  // A wide outline is centred on the figure's edge, reaching out of its box on every side.
  for (bool ellipse : {false, true}) {
    Canvas f(30, 30);
    f.dc.pen.width = 3;
    if (ellipse)
      DrawEllipse(f.dc, {5, 5, 20, 20});
    else
      DrawRectangle(f.dc, {5, 5, 20, 20});
    EXPECT_EQ(f.At(4, 12), kRedPx) << ellipse;
    EXPECT_EQ(f.At(12, 4), kRedPx) << ellipse;
    EXPECT_EQ(f.At(20, 12), kRedPx) << ellipse;
    EXPECT_EQ(f.At(12, 20), kRedPx) << ellipse;
    EXPECT_EQ(f.At(12, 12), kBluePx) << ellipse;
  }
  // Dash styles draw solid when wide.
  Canvas d(40, 20);
  d.dc.pen.width = 2;
  d.dc.pen.style = PenStyle::Dot;
  DrawLine(d.dc, {2, 10}, {30, 10});
  for (int px = 2; px < 30; ++px) EXPECT_EQ(d.At(px, 10), kRedPx) << px;
}

TEST(RasterLine, NullPenAndViewportOrigin) {
  Canvas c(20, 20);
  c.dc.pen.style = PenStyle::Null;
  EXPECT_TRUE(DrawLine(c.dc, {0, 0}, {10, 10}).Empty());
  EXPECT_TRUE(c.NotZero().empty());
  c.dc.pen.style = PenStyle::Solid;
  c.dc.viewportOrigin = {5, 3};
  DrawLine(c.dc, {0, 0}, {3, 0});
  EXPECT_EQ(c.With(kRedPx), (PixelSet{{5, 3}, {6, 3}, {7, 3}}));
}

// ---- Figures -------------------------------------------------------------------------------

TEST(RasterFigure, RectangleOutlineAndInside) {
  struct Case {
    Rect r;
    PenStyle pen;
    PixelSet outline, inside;
  } cases[] = {
      {{5, 5, 6, 6}, PenStyle::Solid, {{5, 5}}, {}},
      {{0, 0, 10, 10},
       PenStyle::Solid,
       [] {
         PixelSet s = Union(RectSet(0, 0, 10, 1), RectSet(0, 9, 10, 10));
         return Union(s, Union(RectSet(0, 0, 1, 10), RectSet(9, 0, 10, 10)));
       }(),
       RectSet(1, 1, 9, 9)},
      {{10, 10, 0, 0}, PenStyle::Null, {}, RectSet(0, 0, 9, 9)},
      {{2, 2, 3, 8}, PenStyle::Solid, RectSet(2, 2, 3, 8), {}},
  };
  for (const Case& k : cases) {
    Canvas c(16, 16);
    c.dc.pen.style = k.pen;
    DrawRectangle(c.dc, k.r);
    EXPECT_EQ(c.With(kRedPx), k.outline);
    EXPECT_EQ(c.With(kBluePx), k.inside);
  }
}

TEST(RasterFigure, EllipsesStayInTheirBoxAndAreSymmetric) {
  struct Case {
    Rect box;
  } cases[] = {{{0, 0, 11, 11}}, {{2, 3, 30, 12}}, {{1, 1, 8, 25}},
               {{0, 0, 4, 4}},   {{5, 5, 8, 20}},  {{0, 0, 32, 31}}};
  for (const Case& k : cases) {
    Canvas c(34, 34);
    DrawEllipse(c.dc, k.box);
    PixelSet all = Union(c.With(kRedPx), c.With(kBluePx));
    ASSERT_FALSE(all.empty());
    int l = k.box.left, t = k.box.top, r = k.box.right - 1, b = k.box.bottom - 1;
    bool left = false, right = false, top = false, bottom = false;
    for (auto [x, y] : all) {
      EXPECT_TRUE(x >= l && x <= r && y >= t && y <= b);
      left |= x == l;
      right |= x == r;
      top |= y == t;
      bottom |= y == b;
      EXPECT_TRUE(all.count({l + r - x, y}) && all.count({x, t + b - y})) << x << "," << y;
    }
    EXPECT_TRUE(left && right && top && bottom);
    // Outline pixels are 8-connected to the outline on both sides: every row has one.
    for (int y = t; y <= b; ++y) {
      bool any = false;
      for (int x = l; x <= r; ++x) any |= c.At(x, y) == kRedPx;
      EXPECT_TRUE(any) << y;
    }
  }
  // The midpoint circle: radius 5 has 5 pixels on its top row.
  Canvas c(12, 12);
  DrawEllipse(c.dc, {0, 0, 11, 11});
  EXPECT_EQ(c.With(kRedPx).count({3, 0}) + c.With(kRedPx).count({7, 0}) + c.With(kRedPx).count({2, 0}), 2u);
  // Nothing for a zero width; a plain rectangle for two pixels or less.
  Canvas z(12, 12);
  EXPECT_TRUE(DrawEllipse(z.dc, {3, 3, 3, 9}).Empty());
  DrawEllipse(z.dc, {3, 3, 5, 9});
  EXPECT_EQ(z.With(kRedPx), RectSet(3, 3, 5, 9));
}

TEST(RasterFigure, XorFiguresHitEachPixelOnce) {
  // With the brush in the pen's colour, a figure drawn with XOR on black shows exactly one
  // colour: any pixel painted twice would be back to black inside the figure.
  struct Fig {
    const char* name;
    Rect (*draw)(DeviceContext&);
  } figs[] = {
      {"rect",
       [](DeviceContext& dc) {
         return DrawRectangle(dc, {3, 4, 25, 20});
       }},
      {"ellipse",
       [](DeviceContext& dc) {
         return DrawEllipse(dc, {3, 4, 28, 21});
       }},
      {"round",
       [](DeviceContext& dc) {
         return DrawRoundRect(dc, {2, 2, 30, 28}, 12, 9);
       }},
      {"pie",
       [](DeviceContext& dc) {
         return DrawArc(dc, ArcKind::Pie, {2, 2, 30, 28}, {30, 10}, {0, 25});
       }},
      {"chord",
       [](DeviceContext& dc) {
         return DrawArc(dc, ArcKind::Chord, {2, 2, 30, 28}, {30, 2}, {2, 28});
       }},
      {"polygon",
       [](DeviceContext& dc) {
         Point pts[] = {{2, 2}, {28, 5}, {15, 29}, {5, 18}};
         return DrawPolygon(dc, pts, 4);
       }},
  };
  for (const Fig& f : figs) {
    for (PenStyle pen : {PenStyle::Solid, PenStyle::Null}) {
      for (int width : {1, 3}) {
        Canvas c(32, 32);
        c.dc.brush.color = kRed;
        c.dc.pen.style = pen;
        c.dc.pen.width = width;
        c.dc.rop2 = Rop2::XorPen;
        Rect touched = f.draw(c.dc);
        PixelSet nz = c.NotZero();
        EXPECT_EQ(nz, c.With(kRedPx)) << f.name;
        for (auto [x, y] : nz) ASSERT_TRUE(touched.Contains(x, y)) << f.name;
        // A solid figure has no holes: every row is one run. (Wide round caps stick out
        // asymmetrically, which may leave notches, so only for the 1-pixel pen.)
        for (int y = 0; y < 32 && width == 1; ++y) {
          int runs = 0;
          for (int x = 0; x < 32; ++x) runs += (c.At(x, y) != 0 && (x == 0 || c.At(x - 1, y) == 0));
          EXPECT_LE(runs, 1) << f.name << " row " << y << " pen " << int(pen) << " width " << width;
        }
        f.draw(c.dc);
        EXPECT_TRUE(c.NotZero().empty()) << f.name;
      }
    }
  }
}

TEST(RasterFigure, ArcEndsAreNearestPointsCounterclockwise) {
  // The box of a 10 x 20 radius ellipse around (50, 50), as the figures build it.
  Rect box{40, 30, 61, 71};
  struct Case {
    Point start, end;
    Point wantStart, wantEnd;
  } cases[] = {
      {{60, 50}, {50, 30}, {60, 50}, {50, 30}},  // 0 to 90 degrees
      {{70, 50}, {50, 0}, {60, 50}, {50, 30}},   // radials need not lie on the curve
      {{50, 30}, {40, 50}, {50, 30}, {40, 50}},  // 90 to 180
      {{60, 50}, {60, 50}, {60, 50}, {60, 50}},  // a full turn
  };
  for (const Case& k : cases) {
    Canvas c(100, 100);
    ArcEnds ends;
    DrawArc(c.dc, ArcKind::Arc, box, k.start, k.end, &ends);
    EXPECT_EQ(ends.start.x, k.wantStart.x);
    EXPECT_EQ(ends.start.y, k.wantStart.y);
    EXPECT_EQ(ends.end.x, k.wantEnd.x);
    EXPECT_EQ(ends.end.y, k.wantEnd.y);
  }
  // 0 to 90: only the upper right quarter, its last pixel left out.
  Canvas c(100, 100);
  DrawArc(c.dc, ArcKind::Arc, box, {60, 50}, {50, 30});
  for (auto [x, y] : c.With(kRedPx)) EXPECT_TRUE(x >= 50 && y <= 50) << x << "," << y;
  EXPECT_EQ(c.At(60, 50), kRedPx);
  EXPECT_EQ(c.At(50, 30), 0u);
  // Equal radials draw the whole ellipse outline.
  Canvas full(100, 100), ell(100, 100);
  DrawArc(full.dc, ArcKind::Arc, box, {60, 50}, {60, 50});
  ell.dc.brush.style = BrushStyle::Null;
  DrawEllipse(ell.dc, box);
  EXPECT_EQ(full.With(kRedPx), ell.With(kRedPx));
  // Arcs the other way round: 90 to 0 is three quarters.
  Canvas big(100, 100);
  DrawArc(big.dc, ArcKind::Arc, box, {50, 30}, {60, 50});
  EXPECT_GT(big.With(kRedPx).size(), 2 * c.With(kRedPx).size());
  // A pie goes through the centre and is filled; a chord of the same quarter is not.
  Canvas pie(100, 100), chord(100, 100);
  DrawArc(pie.dc, ArcKind::Pie, box, {60, 50}, {50, 30});
  DrawArc(chord.dc, ArcKind::Chord, box, {60, 50}, {50, 30});
  EXPECT_EQ(pie.At(50, 50), kRedPx);
  EXPECT_EQ(pie.At(53, 45), kBluePx);
  EXPECT_EQ(chord.At(50, 50), 0u);
  EXPECT_EQ(chord.At(57, 38), kBluePx);
}

TEST(RasterFigure, PolygonFillRules) {
  // A five-pointed star: its centre is inside twice, so alternate leaves it empty.
  Point star[] = {{20, 2}, {31, 36}, {2, 14}, {38, 14}, {9, 36}};
  Canvas alt(40, 40), wind(40, 40);
  alt.dc.pen.style = wind.dc.pen.style = PenStyle::Null;
  DrawPolygon(alt.dc, star, 5, FillRule::Alternate);
  DrawPolygon(wind.dc, star, 5, FillRule::Winding);
  EXPECT_EQ(alt.At(20, 20), 0u);
  EXPECT_EQ(wind.At(20, 20), kBluePx);
  EXPECT_EQ(alt.At(20, 8), kBluePx);  // a point of the star
  // With a pen every vertex is drawn, the polygon closed back to the first.
  Canvas c(40, 40);
  c.dc.brush.style = BrushStyle::Null;
  Point tri[] = {{2, 2}, {30, 2}, {2, 30}};
  DrawPolygon(c.dc, tri, 3);
  for (const Point& p : tri) EXPECT_EQ(c.At(p.x, p.y), kRedPx);
  EXPECT_EQ(c.At(2, 16), kRedPx);  // the closing edge
  // A square polygon fills pixel centres with the top-left rule.
  Canvas sq(20, 20);
  sq.dc.pen.style = PenStyle::Null;
  Point box[] = {{2, 3}, {8, 3}, {8, 9}, {2, 9}};
  DrawPolygon(sq.dc, box, 4);
  EXPECT_EQ(sq.With(kBluePx), RectSet(2, 3, 8, 9));
  EXPECT_TRUE(DrawPolygon(sq.dc, box, 1).Empty());
}

TEST(RasterFigure, BezierPassesThroughItsEndsAndStaysInItsHull) {
  Point pts[] = {{2, 30}, {2, 2}, {30, 2}, {30, 30}, {30, 35}, {10, 35}, {5, 35}};
  std::vector<Point> flat = FlattenBezier(pts, 7);
  ASSERT_GE(flat.size(), 8u);
  EXPECT_EQ(flat.front().x, 2);
  EXPECT_EQ(flat.front().y, 30);
  EXPECT_EQ(flat.back().x, 5);
  EXPECT_EQ(flat.back().y, 35);
  bool throughJoin = false;
  for (const Point& p : flat) {
    EXPECT_TRUE(p.x >= 2 && p.x <= 30 && p.y >= 2 && p.y <= 35);
    throughJoin |= p.x == 30 && p.y == 30;
  }
  EXPECT_TRUE(throughJoin);
  EXPECT_TRUE(FlattenBezier(pts, 3).empty());
  Canvas c(40, 40);
  DrawBezier(c.dc, pts, 4);
  EXPECT_EQ(c.At(2, 30), kRedPx);
  EXPECT_EQ(c.At(30, 30), 0u);     // a polyline leaves out its last point
  EXPECT_EQ(c.At(16, 9), kRedPx);  // the curve's middle: (2 + 3*2 + 3*30 + 30)/8, (30 + 6 + 6 + 30)/8
}

// ---- Flood fill ----------------------------------------------------------------------------

TEST(RasterFlood, BorderAndSurfaceModes) {
  auto frame = [](Canvas& c) {
    c.dc.brush.style = BrushStyle::Null;
    c.dc.pen.color = kGreen;
    DrawRectangle(c.dc, {4, 4, 16, 14});
    c.dc.brush.style = BrushStyle::Solid;
  };
  {  // Border: stops at the green frame, the outside stays.
    Canvas c(20, 20);
    frame(c);
    Rect r = FloodFill(c.dc, 8, 8, kGreen, FloodMode::Border);
    EXPECT_EQ(c.With(kBluePx), RectSet(5, 5, 15, 13));
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.bottom, 13);
  }
  {  // Surface: fills the black outside, around the frame, and not its inside.
    Canvas c(20, 20);
    frame(c);
    FloodFill(c.dc, 0, 0, kBlack, FloodMode::Surface);
    EXPECT_EQ(c.At(19, 19), kBluePx);
    EXPECT_EQ(c.At(8, 8), 0u);
    EXPECT_EQ(c.With(kBluePx).size(), 400u - 120u);
  }
  {  // Nothing when the start is the border colour, not the surface colour, or outside the clip.
    Canvas c(20, 20);
    frame(c);
    auto before = c.Bytes();
    EXPECT_TRUE(FloodFill(c.dc, 4, 4, kGreen, FloodMode::Border).Empty());
    EXPECT_TRUE(FloodFill(c.dc, 8, 8, kRed, FloodMode::Surface).Empty());
    c.dc.clipEnabled = true;
    c.dc.clip = {0, 0, 10, 10};
    EXPECT_TRUE(FloodFill(c.dc, 12, 12, kGreen, FloodMode::Border).Empty());
    EXPECT_TRUE(FloodFill(c.dc, -1, 5, kGreen, FloodMode::Border).Empty());
    EXPECT_EQ(c.Bytes(), before);
    // The clip stops the fill.
    FloodFill(c.dc, 8, 8, kGreen, FloodMode::Border);
    EXPECT_EQ(c.With(kBluePx), RectSet(5, 5, 10, 10));
  }
  {  // 4-connected: a diagonal gap does not leak.
    Canvas c(10, 10);
    c.dc.FillSolid({0, 0, 10, 10}, kWhite);
    for (int i = 0; i < 10; ++i) c.s.SetPixel(i, 9 - i, 0);
    FloodFill(c.dc, 0, 0, kBlack, FloodMode::Border);
    EXPECT_EQ(c.At(9, 9), kWhitePx);
    EXPECT_EQ(c.At(8, 0), kBluePx);
  }
}

TEST(RasterFlood, BrushesThatKeepTheTestTrueStillEnd) {
  // The brush colour is what the search looks for, or leaves gaps, or XORs: spans must be
  // found before painting, or the fill would loop or feed on itself.
  struct Case {
    BrushStyle style;
    ColorRef color;
    Rop2 rop;
    FloodMode mode;
  } cases[] = {
      {BrushStyle::Solid, kBlack, Rop2::CopyPen, FloodMode::Surface},
      {BrushStyle::Solid, kBlue, Rop2::CopyPen, FloodMode::Border},
      {BrushStyle::Hatched, kBlue, Rop2::CopyPen, FloodMode::Border},
      {BrushStyle::Solid, kBlue, Rop2::XorPen, FloodMode::Surface},
  };
  for (const Case& k : cases) {
    Canvas c(24, 24);
    c.dc.brush.style = k.style;
    c.dc.brush.color = k.color;
    c.dc.brush.hatch = HatchStyle::Cross;
    c.dc.backgroundMode = BackgroundMode::Transparent;
    c.dc.rop2 = k.rop;
    FloodFill(c.dc, 3, 3, k.mode == FloodMode::Border ? kRed : kBlack, k.mode);
    if (k.style == BrushStyle::Hatched) {
      EXPECT_EQ(c.At(4, 3), kBluePx);  // the cross's horizontal line
      EXPECT_EQ(c.At(0, 0), 0u);
    } else if (k.color == kBlue) {
      EXPECT_EQ(c.With(kBluePx).size(), 24u * 24u);
    }
  }
}

TEST(RasterFlood, MatchesAFourWaySearchOnRandomPages) {
  // Random two-colour pages, filled from the middle, against a plain breadth-first search.
  std::mt19937 rng(99);
  for (int bpp : {8, 32}) {
    for (int iter = 0; iter < 30; ++iter) {
      Canvas c(40, 30, bpp);
      ColorRef on = MakeRgb(128, 128, 128);
      Pixel onPx = c.dc.Resolve(on);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
          if (rng() % 100 < 62) c.s.SetPixel(x, y, onPx);
      c.s.SetPixel(20, 15, onPx);
      c.dc.brush.color = kWhite;
      c.dc.clipEnabled = iter % 3 == 0;
      c.dc.clip = {5, 3, 33, 27};
      Rect area = c.dc.DrawableArea();
      std::vector<int> seen(40 * 30, 0);
      std::vector<std::pair<int, int>> queue = {{20, 15}};
      seen[15 * 40 + 20] = 1;
      for (size_t i = 0; i < queue.size(); ++i) {
        auto [x, y] = queue[i];
        const int d[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
        for (auto& k : d) {
          int nx = x + k[0], ny = y + k[1];
          if (!area.Contains(nx, ny) || seen[ny * 40 + nx] || c.At(nx, ny) != onPx) continue;
          seen[ny * 40 + nx] = 1;
          queue.push_back({nx, ny});
        }
      }
      Surface before = c.s;
      FloodFill(c.dc, 20, 15, on, FloodMode::Surface);
      Pixel white = c.dc.Resolve(kWhite);
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
          ASSERT_EQ(c.At(x, y), seen[y * 40 + x] ? white : before.GetPixel(x, y))
              << bpp << " iter " << iter << " at " << x << "," << y;
    }
  }
}

// ---- Blits ---------------------------------------------------------------------------------

TEST(RasterBlit, RasterOperationsOnIndexedPixels) {
  struct Case {
    uint32_t rop;
    Pixel expected;  // S = 0xCC, D = 0xAA, P = 0xF0
  } cases[] = {
      {kSrcCopy, 0xCC},    {kSrcPaint, 0xEE},    {kSrcAnd, 0x88},     {kSrcInvert, 0x66}, {kSrcErase, 0x44},
      {kNotSrcCopy, 0x33}, {kNotSrcErase, 0x11}, {kMergePaint, 0xBB}, {kDstInvert, 0x55}, {kPatCopy, 0xF0},
  };
  for (const Case& k : cases) {
    Canvas src(4, 4, 8), dst(6, 6, 8);
    src.dc.FillSolid({0, 0, 4, 4}, MakeRgb(0xCC, 0xCC, 0xCC));
    dst.dc.FillSolid({0, 0, 6, 6}, MakeRgb(0xAA, 0xAA, 0xAA));
    dst.dc.brush.color = MakeRgb(0xF0, 0xF0, 0xF0);
    Rect r = BitBlt(dst.dc, 1, 1, 4, 4, &src.dc, 0, 0, k.rop);
    EXPECT_EQ(r.Width(), 4);
    EXPECT_EQ(dst.At(2, 2), k.expected) << std::hex << k.rop;
    EXPECT_EQ(dst.At(0, 0), 0xAAu);
    EXPECT_EQ(dst.At(5, 5), 0xAAu);
  }
}

TEST(RasterBlit, ConvertsFormatsClipsAndOverlaps) {
  // 8-bit grey source to a 32-bit page through the colour table, clipped at both edges.
  Canvas src(4, 4, 8), dst(8, 8);
  src.s.SetPixel(0, 0, 0x40);
  src.s.SetPixel(3, 3, 0x80);
  dst.dc.viewportOrigin = {2, 2};
  Rect r = BitBlt(dst.dc, -1, -1, 10, 10, &src.dc, -1, -1, kSrcCopy);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.right, 6);
  EXPECT_EQ(dst.At(2, 2), 0x404040u);
  EXPECT_EQ(dst.At(5, 5), 0x808080u);
  EXPECT_EQ(dst.At(6, 6), 0u);
  // Overlapping blit within one surface moves the old pixels.
  Canvas c(10, 1, 8);
  for (int x = 0; x < 10; ++x) c.s.SetPixel(x, 0, Pixel(x));
  BitBlt(c.dc, 2, 0, 6, 1, &c.dc, 0, 0, kSrcCopy);
  for (int x = 2; x < 8; ++x) EXPECT_EQ(c.At(x, 0), Pixel(x - 2));
  BitBlt(c.dc, 0, 0, 6, 1, &c.dc, 3, 0, kSrcInvert);
  EXPECT_EQ(c.At(0, 0), Pixel(0 ^ 1));
}

TEST(RasterBlit, ColourMonochromeConversions) {
  // Colour to mono: the source's background colour becomes 1, everything else 0.
  Canvas page(4, 1);
  page.s.SetPixel(0, 0, kGreenPx);
  page.s.SetPixel(1, 0, kRedPx);
  page.s.SetPixel(2, 0, kGreenPx);
  page.dc.backColor = kGreen;
  Surface mask;
  ASSERT_TRUE(CreateMonochrome(mask, 4, 1));
  EXPECT_TRUE(IsDeviceMonochrome(mask));
  DeviceContext mdc;
  mdc.SelectSurface(&mask);
  BitBlt(mdc, 0, 0, 4, 1, &page.dc, 0, 0, kSrcCopy);
  EXPECT_EQ(mask.GetPixel(0, 0), 1u);
  EXPECT_EQ(mask.GetPixel(1, 0), 0u);
  EXPECT_EQ(mask.GetPixel(2, 0), 1u);
  EXPECT_EQ(mask.GetPixel(3, 0), 0u);
  // Mono to colour: 1 becomes the destination's background colour, 0 its text colour.
  Canvas out(4, 1);
  out.dc.backColor = kBlue;
  out.dc.textColor = kWhite;
  BitBlt(out.dc, 0, 0, 4, 1, &mdc, 0, 0, kSrcCopy);
  EXPECT_EQ(out.At(0, 0), kBluePx);
  EXPECT_EQ(out.At(1, 0), kWhitePx);
  // A one-bit surface with a colour table goes through the table instead.
  Canvas table(2, 1, 1);
  table.s.ColorTable()[1] = {0, 0, 255, 0};  // red
  table.s.SetPixel(1, 0, 1);
  Canvas out2(2, 1);
  out2.dc.backColor = kBlue;
  BitBlt(out2.dc, 0, 0, 2, 1, &table.dc, 0, 0, kSrcCopy);
  EXPECT_EQ(out2.At(1, 0), kRedPx);
  EXPECT_EQ(out2.At(0, 0), 0u);
}

TEST(RasterBlit, TransparentPutThroughMaskAndImage) {
  // The animation recipe: cut, mask by a transparent colour, zero it in the image, then
  // AND the mask expanded to white/black and OR the image.
  Canvas page(6, 1);
  Pixel pic[6] = {kRedPx, kGreenPx, kBluePx, kGreenPx, 0, 0};
  for (int x = 0; x < 6; ++x) page.s.SetPixel(x, 0, pic[x]);
  Canvas image(4, 1);
  BitBlt(image.dc, 0, 0, 4, 1, &page.dc, 0, 0, kSrcCopy);
  Surface mask;
  CreateMonochrome(mask, 4, 1);
  DeviceContext mdc;
  mdc.SelectSurface(&mask);
  image.dc.backColor = kGreen;
  image.dc.textColor = kBlack;
  BitBlt(mdc, 0, 0, 4, 1, &image.dc, 0, 0, kSrcCopy);
  BitBlt(image.dc, 0, 0, 4, 1, &mdc, 0, 0, kSrcInvert);
  InvertRect(mdc, {0, 0, 4, 1});
  EXPECT_EQ(image.At(1, 0), 0u);
  EXPECT_EQ(image.At(2, 0), kBluePx);
  Canvas dest(4, 1);
  dest.dc.FillSolid({0, 0, 4, 1}, MakeRgb(9, 9, 9));
  dest.dc.textColor = kWhite;
  dest.dc.backColor = kBlack;
  BitBlt(dest.dc, 0, 0, 4, 1, &mdc, 0, 0, kSrcAnd);
  BitBlt(dest.dc, 0, 0, 4, 1, &image.dc, 0, 0, kSrcPaint);
  EXPECT_EQ(dest.At(0, 0), kRedPx);
  EXPECT_EQ(dest.At(1, 0), 0x090909u);
  EXPECT_EQ(dest.At(2, 0), kBluePx);
  EXPECT_EQ(dest.At(3, 0), 0x090909u);
}

// ---- BMP rows ------------------------------------------------------------------------------

TEST(RasterBmp, RowsRoundTripOnEveryDepth) {
  for (int bpp : {4, 8, 16, 24, 32}) {
    Canvas c(7, 5, bpp);
    std::mt19937 rng{uint32_t(bpp)};
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) c.s.SetPixel(x, y, rng() & PixelMask(c.s));
    Rect r{1, 1, 6, 5};
    std::vector<uint8_t> file(kBmpHeaderSize + BmpStride(5, 24) * 4);
    WriteBmpHeader24(file.data(), 5, 4, uint32_t(file.size()));
    ReadBmpRows24(c.s, r, file.data() + kBmpHeaderSize);
    // Bottom-up: the first row is the rectangle's last.
    ColorRef c0 = c.s.PixelToRgb(c.At(1, 4));
    EXPECT_EQ(file[kBmpHeaderSize + 2], RedOf(c0));
    Canvas back(7, 5, bpp);
    WriteBmpRows24(back.s, r, file.data() + kBmpHeaderSize);
    for (int y = 1; y < 5; ++y)
      for (int x = 1; x < 6; ++x) ASSERT_EQ(back.At(x, y), c.At(x, y)) << bpp << " " << x << "," << y;
    Surface decoded;
    ASSERT_TRUE(DecodeBmp(file.data(), file.size(), decoded));
    EXPECT_EQ(decoded.Width(), 5);
    EXPECT_EQ(decoded.Height(), 4);
    EXPECT_EQ(decoded.PixelToRgb(decoded.GetPixel(0, 3)), c0);
  }
}

TEST(RasterBmp, DecodeRefusesBadImages) {
  std::vector<uint8_t> good(kBmpHeaderSize + BmpStride(3, 24) * 2);
  WriteBmpHeader24(good.data(), 3, 2, uint32_t(good.size()));
  Surface s;
  ASSERT_TRUE(DecodeBmp(good.data(), good.size(), s));
  auto with = [&](int offset, uint32_t value, int bytes) {
    std::vector<uint8_t> v = good;
    for (int i = 0; i < bytes; ++i) v[size_t(offset + i)] = uint8_t(value >> (8 * i));
    return v;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  } cases[] = {
      {"truncated pixels", {good.begin(), good.end() - 1}},
      {"header only", {good.begin(), good.begin() + 40}},
      {"not BM", with(0, 'X', 1)},
      {"zero width", with(18, 0, 4)},
      {"negative width", with(18, uint32_t(-3), 4)},
      {"zero height", with(22, 0, 4)},
      {"huge height", with(22, 100000, 4)},
      {"depth 7", with(28, 7, 2)},
      {"compressed", with(30, 1, 4)},
      {"pixels past the end", with(10, 0x7FFFFFF0u, 4)},
      {"table too large",
       [&] {
         auto v = with(46, 300, 4);
         v[28] = 8;
         return v;
       }()},
  };
  for (const Case& k : cases) {
    Surface out;
    EXPECT_FALSE(DecodeBmp(k.data.data(), k.data.size(), out)) << k.what;
    EXPECT_EQ(out.Width(), 0) << k.what;
  }
  // An 8-bit image with its colour table before the pixels.
  std::vector<uint8_t> pal(kBmpHeaderSize + 4 * 2 + 4);
  WriteBmpHeader24(pal.data(), 2, 1, uint32_t(pal.size()));
  pal[28] = 8;
  pal[46] = 2;  // two colours used
  pal[10] = kBmpHeaderSize + 8;
  pal[54 + 4 + 2] = 200;  // entry 1: red 200
  pal[62] = 1;
  pal[63] = 0;
  ASSERT_TRUE(DecodeBmp(pal.data(), pal.size(), s));
  EXPECT_EQ(s.GetPixel(0, 0), 0xC80000u);
  EXPECT_EQ(s.GetPixel(1, 0), 0u);
}

// ---- Random and hostile input ------------------------------------------------------------

TEST(RasterGuard, FiguresNeverWriteOutsideTheClip) {
  std::mt19937 rng(1234);
  auto coord = [&]() -> int {
    switch (rng() % 8) {
      case 0:
        return INT16_MIN + int(rng() % 3);
      case 1:
        return INT16_MAX - int(rng() % 3);
      case 2:
        return int(rng() % 2000) - 1000;
      default:
        return int(rng() % 90) - 10;
    }
  };
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    for (int iter = 0; iter < 250; ++iter) {
      Canvas c(64, 64, bpp);
      c.dc.FillSolid({0, 0, 64, 64}, MakeRgb(77, 77, 77));
      c.dc.clipEnabled = true;
      c.dc.clip = {16, 12, 48, 50};
      c.dc.viewportOrigin = {int(rng() % 20) - 10, int(rng() % 20) - 10};
      c.dc.pen.width = int(rng() % 4);
      c.dc.pen.style = PenStyle(rng() % 7);
      c.dc.brush.style = BrushStyle(rng() % 5);
      c.dc.brush.hatch = HatchStyle(rng() % 6);
      c.dc.rop2 = Rop2(1 + rng() % 16);
      c.dc.backgroundMode = (rng() & 1) ? BackgroundMode::Opaque : BackgroundMode::Transparent;
      auto before = c.Bytes();
      Surface beforeSurface = c.s;
      Rect box{coord(), coord(), coord(), coord()};
      Point pts[5] = {
          {coord(), coord()}, {coord(), coord()}, {coord(), coord()}, {coord(), coord()}, {coord(), coord()}};
      Rect touched;
      int kind = int(rng() % 12);
      switch (kind) {
        case 0:
          touched = DrawLine(c.dc, pts[0], pts[1]);
          break;
        case 1:
          touched = DrawPolyline(c.dc, pts, 5);
          break;
        case 2:
          touched = DrawRectangle(c.dc, box);
          break;
        case 3:
          touched = DrawRoundRect(c.dc, box, coord(), coord());
          break;
        case 4:
          touched = DrawEllipse(c.dc, box);
          break;
        case 5:
          touched = DrawArc(c.dc, ArcKind(rng() % 3), box, pts[0], pts[1]);
          break;
        case 6:
          touched = DrawPolygon(c.dc, pts, 2 + int(rng() % 4),
                                (rng() & 1) ? FillRule::Winding : FillRule::Alternate);
          break;
        case 7:
          touched = DrawBezier(c.dc, pts, 4);
          break;
        case 8:
          touched = FloodFill(c.dc, pts[0].x % 70, pts[0].y % 70, MakeRgb(77, 77, 77), FloodMode(rng() % 2));
          break;
        case 9:
          touched = c.dc.FillRect(box);
          break;
        case 10:
          touched = InvertRect(c.dc, box);
          break;
        case 11:
          touched =
              BitBlt(c.dc, pts[0].x, pts[0].y, box.right, box.bottom, &c.dc, pts[1].x, pts[1].y, kSrcInvert);
          break;
      }
      auto after = c.Bytes();
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
          bool changed = c.s.GetPixel(x, y) != beforeSurface.GetPixel(x, y);
          if (!changed) continue;
          ASSERT_TRUE(c.dc.clip.Contains(x, y))
              << "figure " << kind << " bpp " << bpp << " at " << x << "," << y;
          ASSERT_TRUE(touched.Contains(x, y))
              << "figure " << kind << " bpp " << bpp << " not reported at " << x << "," << y;
        }
      // Row padding bytes are never written.
      size_t rowBytes = size_t((64 * bpp + 7) / 8);
      for (int y = 0; y < 64; ++y)
        for (size_t b = rowBytes; b < size_t(c.s.Stride()); ++b)
          ASSERT_EQ(after[size_t(y) * size_t(c.s.Stride()) + b],
                    before[size_t(y) * size_t(c.s.Stride()) + b]);
    }
  }
}

TEST(RasterGuard, HostileSizesDoNotCrash) {
  Canvas c(50, 50);
  const int big = INT16_MAX, small = INT16_MIN;
  EXPECT_FALSE(DrawEllipse(c.dc, {small, small, big, big}).Empty());
  DrawRoundRect(c.dc, {small, 0, big, 40}, INT_MAX, INT_MIN);
  DrawArc(c.dc, ArcKind::Pie, {25 - 40000, 25 - 40000, 25 + 40001, 25 + 40001}, {0, 0}, {50, 50});
  DrawLine(c.dc, {small, small}, {big, big});
  c.dc.pen.width = 1000;
  DrawLine(c.dc, {small, 10}, {big, 12});
  c.dc.pen.width = 1;
  Point huge[] = {{small, small}, {big, small}, {big, big}, {small, big}};
  DrawPolygon(c.dc, huge, 4);
  c.dc.viewportOrigin = {INT_MAX - 5, INT_MIN + 5};
  DrawLine(c.dc, {100, 100}, {-100, -100});
  DrawRectangle(c.dc, {INT_MAX - 2, INT_MIN, INT_MAX, INT_MIN + 2});
  EXPECT_TRUE(BitBlt(c.dc, 0, 0, 0, 10, &c.dc, 0, 0, kSrcCopy).Empty());
  EXPECT_TRUE(BitBlt(c.dc, 0, 0, INT_MAX, INT_MAX, nullptr, 0, 0, kSrcCopy).Empty());
  DeviceContext empty;
  EXPECT_TRUE(DrawEllipse(empty, {0, 0, 10, 10}).Empty());
  EXPECT_TRUE(FloodFill(empty, 0, 0, 0, FloodMode::Border).Empty());
  EXPECT_TRUE(empty.FillRect({0, 0, 5, 5}).Empty());
}

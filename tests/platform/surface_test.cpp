// The raster core: rectangles, surfaces of every depth (bottom-up rows, colour tables),
// colour conversion, colour resolution in a device context, solid fills and the block copy.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "platform/raster/raster.h"

namespace {

using raster::ColorRef;
using raster::MakeRgb;
using raster::Rect;
using raster::Surface;
using raster::TableColor;

TableColor Entry(uint8_t r, uint8_t g, uint8_t b) { return TableColor{b, g, r, 0}; }

TEST(RasterRect, IntersectAndUnion) {
  const Rect a{0, 0, 10, 10}, b{5, 5, 20, 8}, apart{20, 20, 30, 30}, empty{3, 3, 3, 9};
  EXPECT_EQ(a.Intersect(b).left, 5);
  EXPECT_EQ(a.Intersect(b).right, 10);
  EXPECT_EQ(a.Intersect(b).bottom, 8);
  EXPECT_TRUE(a.Intersect(apart).Empty());
  EXPECT_TRUE(a.Intersect(Rect{10, 0, 20, 10}).Empty()) << "touching edges share no pixel";
  Rect u = a.Union(b);
  EXPECT_EQ(u.left, 0);
  EXPECT_EQ(u.top, 0);
  EXPECT_EQ(u.right, 20);
  EXPECT_EQ(u.bottom, 10);
  // An empty side does not stretch the union.
  u = empty.Union(apart);
  EXPECT_EQ(u.left, 20);
  EXPECT_EQ(u.right, 30);
  u = apart.Union(empty);
  EXPECT_EQ(u.left, 20);
  EXPECT_TRUE(empty.Union(Rect{}).Empty());
}

TEST(RasterSurface, CreateGivesPaddedRowsAndATableForIndexedDepths) {
  struct Case {
    int width, bits, stride;
    size_t table;
  };
  const Case cases[] = {{1, 1, 4, 2},   {33, 1, 8, 2},  {7, 4, 4, 16},   {9, 4, 8, 16},  {5, 8, 8, 256},
                        {3, 16, 8, 0},  {3, 24, 12, 0}, {5, 24, 16, 0},  {3, 32, 12, 0}};
  for (const Case& c : cases) {
    Surface s;
    ASSERT_TRUE(s.Create(c.width, 3, c.bits)) << c.bits;
    EXPECT_EQ(s.Stride(), c.stride) << c.width << "x" << c.bits;
    EXPECT_EQ(s.ByteSize(), size_t(c.stride) * 3);
    EXPECT_EQ(s.ColorTable().size(), c.table);
    EXPECT_EQ(s.Indexed(), c.table != 0);
  }
  Surface s;
  ASSERT_TRUE(s.Create(4, 4, 8));
  for (auto [w, h, bits] : {std::tuple{0, 4, 8}, {4, -1, 8}, {4, 4, 2}, {4, 4, 0}, {4, 4, 64}, {1 << 20, 4, 8}}) {
    EXPECT_FALSE(s.Create(w, h, bits)) << w << "x" << h << "x" << bits;
    EXPECT_EQ(s.Width(), 0) << "a failed Create leaves the surface empty";
    EXPECT_TRUE(s.ColorTable().empty());
  }
}

TEST(RasterSurface, PixelsOfEveryDepthAreStoredBottomUp) {
  struct Case {
    int bits;
    raster::Pixel value;
    std::vector<uint8_t> lastRowStart;  // bytes of the top row, found at the end of memory
  };
  const Case cases[] = {
      {1, 1, {0x40}},  // pixel 1 of 8: the second most significant bit
      {4, 0xA, {0x0A}},
      {8, 0xC3, {0x00, 0xC3}},
      {16, 0xF81F, {0x00, 0x00, 0x1F, 0xF8}},
      {24, 0x123456, {0, 0, 0, 0x56, 0x34, 0x12}},
      {32, 0x123456, {0, 0, 0, 0, 0x56, 0x34, 0x12, 0x00}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    Surface s;
    ASSERT_TRUE(s.Create(9, 2, c.bits));
    s.SetPixel(1, 0, c.value);
    EXPECT_EQ(s.GetPixel(1, 0), c.value);
    EXPECT_EQ(s.GetPixel(0, 0), 0u);
    EXPECT_EQ(s.GetPixel(2, 0), 0u);
    EXPECT_EQ(s.GetPixel(1, 1), 0u);
    const uint8_t* top = s.Bits() + s.Stride();  // the second of two rows in memory
    EXPECT_EQ(std::vector<uint8_t>(top, top + c.lastRowStart.size()), c.lastRowStart);
    // Neighbours keep their own bits when a pixel is rewritten.
    s.SetPixel(0, 0, c.value);
    s.SetPixel(2, 0, c.value);
    s.SetPixel(1, 0, 0);
    EXPECT_EQ(s.GetPixel(0, 0), c.value);
    EXPECT_EQ(s.GetPixel(1, 0), 0u);
    EXPECT_EQ(s.GetPixel(2, 0), c.value);
  }
}

TEST(RasterSurface, ColourConversionPerDepth) {
  Surface direct32, direct24, direct16, indexed;
  ASSERT_TRUE(direct32.Create(1, 1, 32));
  ASSERT_TRUE(direct24.Create(1, 1, 24));
  ASSERT_TRUE(direct16.Create(1, 1, 16));
  ASSERT_TRUE(indexed.Create(1, 1, 4));
  const ColorRef c = MakeRgb(0x12, 0x34, 0x56);
  EXPECT_EQ(direct32.RgbToPixel(c), 0x123456u);
  EXPECT_EQ(direct24.PixelToRgb(0x123456u), c);
  // 5-6-5 keeps the top bits and widens back to full scale.
  EXPECT_EQ(direct16.RgbToPixel(MakeRgb(255, 255, 255)), 0xFFFFu);
  EXPECT_EQ(direct16.PixelToRgb(0xFFFF), MakeRgb(255, 255, 255));
  EXPECT_EQ(direct16.PixelToRgb(direct16.RgbToPixel(MakeRgb(0x80, 0x40, 0x08))), MakeRgb(0x84, 0x41, 0x08));

  indexed.ColorTable()[3] = Entry(200, 0, 0);
  indexed.ColorTable()[5] = Entry(0, 0, 200);
  EXPECT_EQ(indexed.PixelToRgb(3), MakeRgb(200, 0, 0));
  EXPECT_EQ(indexed.RgbToPixel(MakeRgb(180, 20, 0)), 3u);
  EXPECT_EQ(indexed.RgbToPixel(MakeRgb(10, 0, 160)), 5u);
  EXPECT_EQ(indexed.RgbToPixel(MakeRgb(10, 10, 10)), 0u) << "the black entries, lowest first";
  EXPECT_EQ(indexed.PixelToRgb(200), 0u) << "a value past the table shows black";
}

TEST(RasterSurface, NearestTableEntryTakesTheLowestOfEqualDistances) {
  const std::vector<TableColor> table = {Entry(0, 0, 0), Entry(10, 0, 0), Entry(0, 10, 0), Entry(10, 0, 0)};
  EXPECT_EQ(raster::NearestTableEntry(table, MakeRgb(6, 6, 0)), 1);  // 1 and 2 equally near
  EXPECT_EQ(raster::NearestTableEntry(table, MakeRgb(10, 0, 0)), 1);  // 1 and 3 equal
  EXPECT_EQ(raster::NearestTableEntry(table, MakeRgb(1, 9, 1)), 2);
  EXPECT_EQ(raster::NearestTableEntry({}, MakeRgb(1, 2, 3)), 0);
}

TEST(RasterDeviceContext, ResolveRgbAndPaletteIndexColours) {
  std::vector<TableColor> palette(4);
  palette[1] = Entry(0, 0, 0);  // the same colour as entry 0
  palette[2] = Entry(255, 0, 0);
  Surface page, window;
  ASSERT_TRUE(page.Create(2, 2, 8));
  ASSERT_TRUE(window.Create(2, 2, 32));
  std::copy(palette.begin(), palette.end(), page.ColorTable().begin());
  raster::DeviceContext dc;
  EXPECT_EQ(dc.Resolve(MakeRgb(1, 2, 3)), 0u) << "no surface";
  dc.SelectSurface(&page);
  dc.SelectPalette(&palette);
  // A page whose table agrees with the palette keeps the index, even for equal colours.
  EXPECT_EQ(dc.Resolve(raster::PaletteIndex(1)), 1u);
  EXPECT_EQ(dc.Resolve(raster::PaletteIndex(2)), 2u);
  EXPECT_EQ(dc.Resolve(raster::PaletteIndex(9)), 0u) << "an invalid index means entry 0";
  EXPECT_EQ(dc.Resolve(MakeRgb(250, 5, 5)), 2u);
  // A page whose table differs gets the nearest of its own entries.
  page.ColorTable()[2] = Entry(0, 0, 255);
  page.ColorTable()[3] = Entry(250, 0, 0);
  EXPECT_EQ(dc.Resolve(raster::PaletteIndex(2)), 3u);
  // On a direct surface an index gives the palette entry's colour.
  dc.SelectSurface(&window);
  EXPECT_EQ(dc.Resolve(raster::PaletteIndex(2)), 0xFF0000u);
  dc.SelectPalette(nullptr);
  EXPECT_EQ(dc.Resolve(raster::PaletteIndex(2)), 0u);
  EXPECT_EQ(dc.Resolve(MakeRgb(1, 2, 3) | 0xFE000000u), 0x010203u) << "the high byte is no colour";
}

TEST(RasterDeviceContext, DrawableAreaAndFillSolid) {
  Surface s;
  ASSERT_TRUE(s.Create(10, 6, 8));
  raster::DeviceContext dc;
  EXPECT_TRUE(dc.DrawableArea().Empty());
  EXPECT_TRUE(dc.FillSolid({0, 0, 5, 5}, 0).Empty());
  dc.SelectSurface(&s);
  s.ColorTable()[7] = Entry(9, 9, 9);
  dc.clipEnabled = true;
  dc.clip = {2, 2, 20, 4};
  Rect area = dc.DrawableArea();
  EXPECT_EQ(area.left, 2);
  EXPECT_EQ(area.right, 10);
  EXPECT_EQ(area.bottom, 4);
  // FillSolid ignores the clip and stops at the surface.
  Rect touched = dc.FillSolid({-3, 4, 4, 100}, MakeRgb(9, 9, 9));
  EXPECT_EQ(touched.left, 0);
  EXPECT_EQ(touched.top, 4);
  EXPECT_EQ(touched.right, 4);
  EXPECT_EQ(touched.bottom, 6);
  int sevens = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) sevens += s.GetPixel(x, y) == 7;
  EXPECT_EQ(sevens, 8);
  EXPECT_TRUE(dc.FillSolid({4, 4, 2, 9}, 0).Empty()) << "reversed";
}

// A surface whose pixel (x, y) holds a value made from its position.
Surface Pattern(int width, int height, int bits) {
  Surface s;
  s.Create(width, height, bits);
  const raster::Pixel mask = bits >= 32 ? 0xFFFFFF : (1u << bits) - 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) s.SetPixel(x, y, raster::Pixel(x * 7 + y * 13 + 1) & mask);
  return s;
}

TEST(RasterCopy, SameFormatCopiesAreExactAndClippedOnBothSides) {
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    Surface src = Pattern(12, 9, bits), dest;
    ASSERT_TRUE(dest.Create(10, 8, bits));
    dest.ColorTable() = src.ColorTable();
    // Source rectangle partly outside the source, destination partly outside the destination.
    raster::CopyPixels(dest, -2, 3, src, Rect{-1, 2, 8, 20});
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 10; ++x) {
        // dest (x, y) comes from src (x + 1, y - 1) where that lies in the copied part.
        int sx = x + 1, sy = y - 1;
        bool copied = sx >= 0 && sx < 8 && sy >= 2 && sy < 9 && x >= 0;
        raster::Pixel expected = copied ? src.GetPixel(sx, sy) : 0;
        ASSERT_EQ(dest.GetPixel(x, y), expected) << x << "," << y;
      }
    }
  }
}

TEST(RasterCopy, ConvertingCopiesGoThroughColours) {
  Surface page;
  ASSERT_TRUE(page.Create(4, 1, 8));
  page.ColorTable()[1] = Entry(255, 0, 0);
  page.ColorTable()[2] = Entry(0, 0, 255);
  page.SetPixel(0, 0, 1);
  page.SetPixel(1, 0, 2);
  Surface window;
  ASSERT_TRUE(window.Create(4, 1, 32));
  raster::CopyPixels(window, 0, 0, page, page.Bounds());
  EXPECT_EQ(window.GetPixel(0, 0), 0xFF0000u);
  EXPECT_EQ(window.GetPixel(1, 0), 0x0000FFu);
  EXPECT_EQ(window.GetPixel(2, 0), 0u);

  // Back to a page of another table: nearest entries.
  Surface other;
  ASSERT_TRUE(other.Create(4, 1, 4));
  other.ColorTable()[9] = Entry(0, 0, 200);
  other.ColorTable()[4] = Entry(200, 30, 0);
  raster::CopyPixels(other, 0, 0, window, window.Bounds());
  EXPECT_EQ(other.GetPixel(0, 0), 4u);
  EXPECT_EQ(other.GetPixel(1, 0), 9u);
  EXPECT_EQ(other.GetPixel(2, 0), 0u);

  // Equal depth but different tables is a converting copy too.
  Surface recoloured;
  ASSERT_TRUE(recoloured.Create(4, 1, 8));
  recoloured.ColorTable()[200] = Entry(255, 0, 0);
  raster::CopyPixels(recoloured, 0, 0, page, page.Bounds());
  EXPECT_EQ(recoloured.GetPixel(0, 0), 200u);
}

TEST(RasterCopy, OverlappingCopiesWithinOneSurface) {
  struct Case {
    int dx, dy;
  };
  for (int bits : {4, 8, 32}) {
    for (Case c : {Case{2, 0}, Case{-2, 0}, Case{0, 2}, Case{0, -2}, Case{3, 1}, Case{-1, -3}}) {
      SCOPED_TRACE(::testing::Message() << bits << " bits, by " << c.dx << "," << c.dy);
      Surface s = Pattern(10, 10, bits);
      const Surface before = s;
      const Rect from{2, 2, 8, 8};
      raster::CopyPixels(s, from.left + c.dx, from.top + c.dy, s, from);
      for (int y = from.top; y < from.bottom; ++y)
        for (int x = from.left; x < from.right; ++x) {
          if (!s.Bounds().Contains(x + c.dx, y + c.dy)) continue;
          ASSERT_EQ(s.GetPixel(x + c.dx, y + c.dy), before.GetPixel(x, y)) << x << "," << y;
        }
    }
  }
}

}  // namespace

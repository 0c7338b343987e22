// Text output on software device contexts: placement by alignment, the current position,
// opaque cells, spacing, direction, underline, clipping and glyph colours.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/fonts/fonts.h"
#include "platform/raster/raster.h"

namespace {

using raster::DeviceContext;
using raster::MakeRgb;
using raster::Rect;
using raster::Surface;

constexpr raster::Pixel kPaper = 5;  // untouched page pixels
constexpr raster::Pixel kBack = 3;   // blue
constexpr raster::Pixel kInk = 4;    // yellow
const std::string kSample = "Hlasivo";

std::shared_ptr<const fonts::Font> MakeFont(const std::string& face, int height, int escapement = 0,
                                            bool underline = false) {
  fonts::FontRequest request;
  request.faceName = face;
  request.height = height;
  request.escapement = escapement;
  request.underline = underline;
  return fonts::Font::Create(request);
}

// An 8-bit page with a few distinct colours, filled with kPaper, and a context drawing yellow
// text on blue in Arial 16, transparent.
struct Page {
  Surface surface;
  DeviceContext dc;

  explicit Page(int width = 200, int height = 200, int bits = 8) {
    surface.Create(width, height, bits);
    if (bits == 8) {
      auto& table = surface.ColorTable();
      for (auto& e : table) e = {30, 20, 10, 0};
      table[0] = {0, 0, 0, 0};
      table[1] = {255, 255, 255, 0};
      table[2] = {0, 0, 255, 0};
      table[3] = {255, 0, 0, 0};
      table[4] = {0, 255, 255, 0};
      std::memset(surface.Bits(), int(kPaper), surface.ByteSize());
    }
    dc.SelectSurface(&surface);
    dc.font = MakeFont("Arial", 16);
    dc.textColor = MakeRgb(255, 255, 0);
    dc.backColor = MakeRgb(0, 0, 255);
    dc.backgroundMode = raster::BackgroundMode::Transparent;
  }

  // Bounding box of the pixels of one value.
  Rect Box(raster::Pixel value) const {
    Rect box;
    for (int y = 0; y < surface.Height(); ++y)
      for (int x = 0; x < surface.Width(); ++x)
        if (surface.GetPixel(x, y) == value) box = box.Union(Rect{x, y, x + 1, y + 1});
    return box;
  }
  int Count(raster::Pixel value, const Rect& inside) const {
    int n = 0;
    for (int y = inside.top; y < inside.bottom; ++y)
      for (int x = inside.left; x < inside.right; ++x) n += surface.GetPixel(x, y) == value;
    return n;
  }
  int Width(const std::string& text) const { return fonts::GetTextExtent(dc, text).x; }
};

bool Inside(const Rect& inner, const Rect& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

std::string Show(const Rect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(DrawText, AlignmentPlacesTheCellAndMovesThePosition) {
  struct Case {
    uint16_t horizontal, vertical;
  } cases[] = {
      {raster::kAlignLeft, raster::kAlignTop},        {raster::kAlignRight, raster::kAlignTop},
      {raster::kAlignCenter, raster::kAlignTop},      {raster::kAlignLeft, raster::kAlignBottom},
      {raster::kAlignRight, raster::kAlignBottom},    {raster::kAlignCenter, raster::kAlignBottom},
      {raster::kAlignLeft, raster::kAlignBaseline},   {raster::kAlignRight, raster::kAlignBaseline},
      {raster::kAlignCenter, raster::kAlignBaseline},
  };
  for (const Case& c : cases) {
    Page page;
    page.dc.textAlign = c.horizontal | c.vertical | raster::kAlignUpdateCP;
    page.dc.currentPosition = {100, 80};
    const fonts::FontMetrics& m = page.dc.font->Metrics();
    const int w = page.Width(kSample);
    const int left = 100 - (c.horizontal == raster::kAlignRight    ? w
                            : c.horizontal == raster::kAlignCenter ? w / 2
                                                                   : 0);
    const int top = 80 - (c.vertical == raster::kAlignBottom     ? m.height
                          : c.vertical == raster::kAlignBaseline ? m.ascent
                                                                 : 0);
    const Rect cell{left, top, left + w, top + m.height};

    const Rect touched = fonts::DrawText(page.dc, 7, 7, kSample);  // x, y ignored with update-CP
    const Rect ink = page.Box(kInk);
    SCOPED_TRACE("align " + std::to_string(c.horizontal | c.vertical) + " cell " + Show(cell) + " ink " +
                 Show(ink));
    EXPECT_TRUE(Inside(ink, cell));
    EXPECT_LE(ink.left - cell.left, 3);  // starts at the cell, not merely somewhere in it
    EXPECT_LE(cell.right - ink.right, 3);
    EXPECT_TRUE(Inside(ink, touched));
    const int expectedX = c.horizontal == raster::kAlignLeft    ? 100 + w
                          : c.horizontal == raster::kAlignRight ? 100 - w
                                                                : 100;
    EXPECT_EQ(page.dc.currentPosition.x, expectedX);
    EXPECT_EQ(page.dc.currentPosition.y, 80);
  }
}

TEST(DrawText, WithoutUpdateCpUsesThePointAndTheViewportOrigin) {
  Page page;
  page.dc.viewportOrigin = {5, 7};
  page.dc.currentPosition = {60, 60};
  fonts::DrawText(page.dc, 10, 20, kSample);
  const Rect cell{15, 27, 15 + page.Width(kSample), 27 + 16};
  const Rect ink = page.Box(kInk);
  EXPECT_TRUE(Inside(ink, cell)) << Show(ink) << " in " << Show(cell);
  EXPECT_LE(ink.left - cell.left, 3);
  EXPECT_EQ(page.dc.currentPosition.x, 60);
  EXPECT_EQ(page.dc.currentPosition.y, 60);
}

TEST(DrawText, ConsecutiveTextsFollowEachOther) {
  Page whole, split;
  for (Page* p : {&whole, &split})
    p->dc.textAlign = raster::kAlignLeft | raster::kAlignTop | raster::kAlignUpdateCP;
  whole.dc.currentPosition = split.dc.currentPosition = {10, 10};
  fonts::DrawText(whole.dc, 0, 0,
                  "Hla"
                  "sivo");
  fonts::DrawText(split.dc, 0, 0, "Hla");
  fonts::DrawText(split.dc, 0, 0, "sivo");
  EXPECT_EQ(whole.dc.currentPosition.x, split.dc.currentPosition.x);
  EXPECT_EQ(0, std::memcmp(whole.surface.Bits(), split.surface.Bits(), whole.surface.ByteSize()));
}

TEST(DrawText, BackgroundModeDecidesTheCellFill) {
  for (auto mode : {raster::BackgroundMode::Opaque, raster::BackgroundMode::Transparent}) {
    Page page;
    page.dc.backgroundMode = mode;
    const int w = page.Width(kSample);
    const Rect cell{20, 30, 20 + w, 30 + 16};
    const Rect touched = fonts::DrawText(page.dc, 20, 30, kSample);
    const int inCell = cell.Width() * cell.Height();
    const int ink = page.Count(kInk, cell);
    EXPECT_GT(ink, 0);
    if (mode == raster::BackgroundMode::Opaque) {
      EXPECT_EQ(page.Count(kBack, cell) + ink, inCell);  // every cell pixel is ink or background
      EXPECT_EQ(touched.left, cell.left);
      EXPECT_EQ(touched.right, cell.right);
    } else {
      EXPECT_EQ(page.Count(kBack, cell), 0);
      EXPECT_EQ(page.Count(kPaper, cell) + ink, inCell);  // the gaps keep what was there
    }
    // Nothing outside the cell changes.
    EXPECT_EQ(page.Count(kPaper, page.surface.Bounds()), 200 * 200 - inCell + page.Count(kPaper, cell));
  }
}

TEST(DrawText, EmptyTextDrawsNothing) {
  Page page;
  page.dc.backgroundMode = raster::BackgroundMode::Opaque;
  page.dc.textAlign = raster::kAlignUpdateCP;
  page.dc.currentPosition = {30, 30};
  EXPECT_TRUE(fonts::DrawText(page.dc, 0, 0, "").Empty());
  EXPECT_EQ(page.Count(kPaper, page.surface.Bounds()), 200 * 200);
  EXPECT_EQ(page.dc.currentPosition.x, 30);
  EXPECT_EQ(fonts::GetTextExtent(page.dc, "").x, 0);
  EXPECT_EQ(fonts::GetTextExtent(page.dc, "").y, 16);
}

TEST(DrawText, SpacingShiftsTheGlyphsAndThePosition) {
  struct Case {
    int charExtra, breakExtra, breakCount, shiftOfB, move;  // move beyond the plain width
  } cases[] = {{0, 0, 0, 0, 0}, {4, 0, 0, 8, 12}, {0, 7, 1, 7, 7}, {-1, 0, 0, -2, -3}};
  Page plain;
  fonts::DrawText(plain.dc, 10, 10, "a b");
  const Rect plainInk = plain.Box(kInk);
  const int plainWidth = plain.Width("a b");
  for (const Case& c : cases) {
    Page page;
    page.dc.charExtra = c.charExtra;
    page.dc.breakExtra = c.breakExtra;
    page.dc.breakCount = c.breakCount;
    page.dc.textAlign = raster::kAlignUpdateCP;
    page.dc.currentPosition = {10, 10};
    fonts::DrawText(page.dc, 0, 0, "a b");
    const Rect ink = page.Box(kInk);
    EXPECT_EQ(ink.left, plainInk.left) << c.charExtra << " " << c.breakExtra;
    EXPECT_EQ(ink.right, plainInk.right + c.shiftOfB) << c.charExtra << " " << c.breakExtra;
    EXPECT_EQ(page.dc.currentPosition.x, 10 + plainWidth + c.move) << c.charExtra << " " << c.breakExtra;
  }
}

TEST(DrawText, EscapementTurnsTheTextAndItsAdvance) {
  struct Case {
    int escapement, dx, dy;  // unit advance direction, y downwards
  } cases[] = {{0, 1, 0}, {900, 0, -1}, {1800, -1, 0}, {2700, 0, 1}};
  for (const Case& c : cases) {
    Page page;
    page.dc.font = MakeFont("Arial", 16, c.escapement);
    page.dc.textAlign = raster::kAlignUpdateCP;
    page.dc.backgroundMode = raster::BackgroundMode::Opaque;
    page.dc.currentPosition = {100, 100};
    const int w = page.Width(kSample);
    fonts::DrawText(page.dc, 0, 0, kSample);
    EXPECT_EQ(page.dc.currentPosition.x, 100 + c.dx * w) << c.escapement;
    EXPECT_EQ(page.dc.currentPosition.y, 100 + c.dy * w) << c.escapement;
    const Rect ink = page.Box(kInk);
    const Rect cell = ink.Union(page.Box(kBack));
    SCOPED_TRACE(std::to_string(c.escapement) + " ink " + Show(ink) + " cell " + Show(cell));
    // The cell runs along the direction over the text's width and is 16 across; the ink
    // lies inside it.
    EXPECT_NEAR(c.dx != 0 ? cell.Width() : cell.Height(), w, 1);
    EXPECT_NEAR(c.dx != 0 ? cell.Height() : cell.Width(), 16, 1);
    EXPECT_TRUE(Inside(ink, cell));
    EXPECT_GT(c.dx != 0 ? ink.Width() : ink.Height(), w - 4);
    // Top alignment: the cell's top edge, turned with the text, passes through the reference.
    const Rect expected = c.escapement == 0      ? Rect{100, 100, 100 + w, 116}
                          : c.escapement == 900  ? Rect{100, 100 - w, 116, 100}
                          : c.escapement == 1800 ? Rect{100 - w, 84, 100, 100}
                                                 : Rect{84, 100, 100, 100 + w};
    EXPECT_LE(std::abs(cell.left - expected.left) + std::abs(cell.top - expected.top) +
                  std::abs(cell.right - expected.right) + std::abs(cell.bottom - expected.bottom),
              2)
        << Show(expected);
  }
}

TEST(DrawText, ClipCutsTheTextAndNothingElseChanges) {
  Page clipped, free;
  clipped.dc.clipEnabled = true;
  const int w = clipped.Width(kSample);
  clipped.dc.clip = {0, 0, 20 + w / 2, 200};
  const Rect touched = fonts::DrawText(clipped.dc, 20, 30, kSample);
  fonts::DrawText(free.dc, 20, 30, kSample);
  EXPECT_TRUE(Inside(touched, clipped.dc.clip)) << Show(touched);
  EXPECT_TRUE(Inside(clipped.Box(kInk), clipped.dc.clip));
  EXPECT_GT(clipped.Count(kInk, clipped.surface.Bounds()), 0);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x)
      if (clipped.dc.clip.Contains(x, y)) {
        ASSERT_EQ(clipped.surface.GetPixel(x, y), free.surface.GetPixel(x, y));
      }

  Page outside;
  outside.dc.clipEnabled = true;
  outside.dc.clip = {150, 150, 160, 160};
  EXPECT_TRUE(fonts::DrawText(outside.dc, 20, 30, kSample).Empty());
  EXPECT_EQ(outside.Count(kPaper, outside.surface.Bounds()), 200 * 200);
}

TEST(DrawText, UnderlineRunsUnderTheWholeText) {
  Page page;
  page.dc.font = MakeFont("Arial", 16, 0, true);
  const fonts::FontMetrics& m = page.dc.font->Metrics();
  const std::string text = "a  a";
  const int w = page.Width(text);
  fonts::DrawText(page.dc, 10, 10, text);
  const int row = 10 + m.ascent + m.underlinePosition;
  EXPECT_LT(row, 10 + m.height);
  EXPECT_EQ(page.Count(kInk, Rect{10, row, 10 + w, row + 1}), w);
}

TEST(DrawText, GlyphColoursByDepth) {
  // Indexed page: black-and-white glyphs in exactly the text colour's entry.
  Page indexed;
  fonts::DrawText(indexed.dc, 10, 10, kSample);
  std::set<raster::Pixel> values;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x) values.insert(indexed.surface.GetPixel(x, y));
  EXPECT_EQ(values, (std::set<raster::Pixel>{kPaper, kInk}));

  // Direct page: smooth glyphs blend, solid ones do not.
  for (auto mode : {fonts::GlyphMode::Smooth, fonts::GlyphMode::Solid}) {
    Page direct(200, 60, 32);
    fonts::DrawText(direct.dc, 10, 10, kSample, mode);
    std::set<raster::Pixel> seen;
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 200; ++x) seen.insert(direct.surface.GetPixel(x, y));
    EXPECT_TRUE(seen.count(0xFFFF00u));  // full-coverage pixels are the text colour
    if (mode == fonts::GlyphMode::Smooth)
      EXPECT_GT(seen.size(), 2u);
    else
      EXPECT_EQ(seen, (std::set<raster::Pixel>{0u, 0xFFFF00u}));
  }
}

TEST(DrawText, WithoutAFontUsesTheDefault) {
  Page page;
  page.dc.font = nullptr;
  page.dc.textAlign = raster::kAlignUpdateCP;
  fonts::DrawText(page.dc, 0, 0, kSample);
  EXPECT_GT(page.Count(kInk, page.surface.Bounds()), 0);
  EXPECT_EQ(page.dc.currentPosition.x, fonts::DefaultFont()->TextWidth(kSample));
  EXPECT_EQ(fonts::GetTextExtent(page.dc, "x").y, fonts::kDefaultCellHeight);
}

TEST(DrawText, CzechTextDrawsEveryLetter) {
  // Each letter of "Žluťoučký kůň" drawn alone inks something, and its accent shows: the
  // accented letter's ink differs from the plain letter's.
  const std::string horse = fonts::Utf8ToCp1250("Žluťoučký kůň");
  for (char ch : horse) {
    if (ch == ' ') continue;
    Page one;
    fonts::DrawText(one.dc, 10, 10, std::string(1, ch));
    EXPECT_GT(one.Count(kInk, one.surface.Bounds()), 0) << int(uint8_t(ch));
  }
  Page plain, accented;
  fonts::DrawText(plain.dc, 10, 10, "Zlutoucky kun");
  fonts::DrawText(accented.dc, 10, 10, horse);
  EXPECT_LT(accented.Box(kInk).top, plain.Box(kInk).top);  // the caron of Ž rises above Z
  EXPECT_GT(accented.Count(kInk, accented.surface.Bounds()), plain.Count(kInk, plain.surface.Bounds()));
}

}  // namespace

namespace {

TEST(DrawText, HugeFontsDrawOnlyTheVisiblePart) {
  // Heights up to the largest a 16-bit size can ask: the glyphs are far larger than the page,
  // yet drawing stays inside it and paints the part that shows.
  for (int height : {300, 1000, 65535, -32768}) {
    Page page;
    page.dc.font = MakeFont("Arial", height);
    ASSERT_TRUE(page.dc.font) << height;
    EXPECT_EQ(page.dc.font->Metrics().height >= std::abs(height), true) << height;
    page.dc.textAlign = raster::kAlignBaseline;
    const Rect touched = fonts::DrawText(page.dc, 0, 150, "HH");
    EXPECT_TRUE(Inside(touched, page.surface.Bounds())) << height;
    if (height == 1000) {
      // The stem of H at this size runs from about x 70 to 160, up from the baseline.
      EXPECT_EQ(page.surface.GetPixel(110, 100), kInk);
      EXPECT_EQ(page.surface.GetPixel(110, 160), kPaper);
    }
  }
}

}  // namespace

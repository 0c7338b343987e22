// Viewport, clipping, clearing, fills, pens, raster modes: the drawing state after InitGraph,
// what FillBox and the clearing operations put on the page, and refusals of bad settings.
#include <gtest/gtest.h>

#include <vector>

#include "platform/raster/draw.h"
#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;

namespace {

std::vector<uint8_t> PageBytes() {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface* page = graph_state::BufferDC.SelectedSurface();
  return std::vector<uint8_t>(page->Bits(), page->Bits() + page->ByteSize());
}

TEST_F(DrawingTest, InitGraphSetsTheDefaultDrawingState) {
  ASSERT_TRUE(OpenWindow(D8bit, 360, 160));
  EXPECT_EQ(GetWindowMaxX(), 359);
  EXPECT_EQ(GetWindowMaxY(), 159);
  ViewPortType view;
  ReadViewport(view);
  EXPECT_EQ(view.Left, 0);
  EXPECT_EQ(view.Top, 0);
  EXPECT_EQ(view.Right, 359);
  EXPECT_EQ(view.Bottom, 159);
  EXPECT_FALSE(view.Clipping);
  EXPECT_EQ(GetPositionX(), 0);
  EXPECT_EQ(GetPositionY(), 0);
  LineSettingsType line;
  ReadLineSettings(line);
  EXPECT_EQ(line.LineForm, 0);
  EXPECT_EQ(line.LinePattern, 0);
  EXPECT_EQ(line.LineWidth, 1);
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 1);
  EXPECT_EQ(fill.FillColor, White);
  FillPatternType pattern;
  ReadFillPattern(pattern);
  EXPECT_EQ(pattern, (FillPatternType{{255, 255, 255, 255, 255, 255, 255, 255}}));
  EXPECT_EQ(GetDrawColor(), White);
  EXPECT_EQ(GetBackColor(), Black);
  uint16_t ax, ay;
  GetAspect(ax, ay);
  EXPECT_EQ(ax, 10000);
  EXPECT_EQ(ay, 10000);

  // The window's maxima do not follow the viewport.
  SetViewport(10, 10, 20, 20, true);
  EXPECT_EQ(GetWindowMaxX(), 359);
  EXPECT_EQ(GetWindowMaxY(), 159);

  // A second opening starts from the defaults again, whatever the first window changed.
  SetPenStyle(3, 0xF0F0, 2);
  SelectFill(5, Red);
  CloseGraphWindow();
  ASSERT_TRUE(OpenWindow(D8bit, 360, 160));
  ReadViewport(view);
  EXPECT_EQ(view.Right, 359);
  EXPECT_FALSE(view.Clipping);
  ReadLineSettings(line);
  EXPECT_EQ(line.LineForm, 0);
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 1);
}

TEST_F(DrawingTest, FillBoxInsideClippedAndUnclippedViewports) {
  ASSERT_TRUE(OpenWindow(D8bit));
  struct Case {
    bool clipping;
    raster::Rect filled;  // device pixels expected in the fill colour
  } cases[] = {{true, {100, 50, 200, 150}}, {false, {100, 50, 301, 240}}};
  for (const Case& c : cases) {
    SetViewport(0, 0, GetWindowMaxX(), GetWindowMaxY(), false);
    PaintPage(Black);
    SetViewport(100, 50, 199, 149, c.clipping);
    SelectFill(1, Yellow);
    FillBox(0, 0, 200, 200);
    EXPECT_EQ(TakeGraphError(), GraphOk);
    Ink ink = PageInk(Black);
    EXPECT_EQ(ink.count, c.filled.Width() * c.filled.Height()) << "clipping " << c.clipping;
    EXPECT_EQ(ink.box.left, c.filled.left);
    EXPECT_EQ(ink.box.top, c.filled.top);
    EXPECT_EQ(ink.box.right, c.filled.right);
    EXPECT_EQ(ink.box.bottom, c.filled.bottom);
    EXPECT_EQ(CountPixels(Yellow, c.filled), ink.count);
  }
}

TEST_F(DrawingTest, FillBoxCornersAreInclusiveAndReversedBoxesAreRefused) {
  ASSERT_TRUE(OpenWindow(D8bit));
  struct Case {
    int16_t x1, y1, x2, y2;
    int16_t result;
    int pixels;
  } cases[] = {
      {5, 5, 5, 5, GraphOk, 1},
      {5, 5, 7, 6, GraphOk, 6},
      {6, 5, 5, 5, GraphInvalidParameter, 0},
      {5, 6, 5, 5, GraphInvalidParameter, 0},
      {-5, -5, -1, -1, GraphOk, 0},  // wholly off the page
  };
  for (const Case& c : cases) {
    PaintPage(Black);
    SelectFill(1, Red);
    FillBox(c.x1, c.y1, c.x2, c.y2);
    EXPECT_EQ(TakeGraphError(), c.result) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    Ink ink = PageInk(Black);
    EXPECT_EQ(ink.count, c.pixels) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    if (c.pixels) {
      EXPECT_EQ(ink.box.left, c.x1);
      EXPECT_EQ(ink.box.top, c.y1);
    }
  }
}

TEST_F(DrawingTest, SetViewportChecksItsCornersAndMovesThePosition) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetViewport(30, 40, 50, 60, true);
  SetPosition(7, 8);
  SetViewport(10, 10, 5, 20, false);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  SetViewport(10, 10, 20, 5, false);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  ViewPortType view;
  ReadViewport(view);
  EXPECT_EQ(view.Left, 30);
  EXPECT_EQ(view.Bottom, 60);
  EXPECT_TRUE(view.Clipping);
  EXPECT_EQ(GetPositionX(), 7);

  // A one-pixel viewport is accepted, and clips everything to that pixel.
  SetViewport(10, 10, 10, 10, true);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(GetPositionX(), 0);
  EXPECT_EQ(GetPositionY(), 0);
  PaintPage(Black);
  SelectFill(1, White);
  FillBox(-100, -100, 100, 100);
  Ink ink = PageInk(Black);
  EXPECT_EQ(ink.count, 1);
  EXPECT_EQ(ink.box.left, 10);
  EXPECT_EQ(ink.box.top, 10);
}

TEST_F(DrawingTest, ClearGraphWindowClearsThePageAndRestoresAClippedViewport) {
  ASSERT_TRUE(OpenWindow(D8bit));
  PaintPage(Yellow);
  SelectFill(4, Yellow);
  SetBackColor(Blue);
  SetViewport(100, 50, 199, 149, true);
  SetPosition(20, 30);
  ClearGraphWindow();
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(CountPixels(Blue, {0, 0, 640, 240}), 640 * 240) << "the whole page, not only the viewport";
  ViewPortType view;
  ReadViewport(view);
  EXPECT_EQ(view.Left, 100);
  EXPECT_EQ(view.Top, 50);
  EXPECT_EQ(view.Right, 199);
  EXPECT_EQ(view.Bottom, 149);
  EXPECT_TRUE(view.Clipping);
  EXPECT_EQ(GetPositionX(), 0);
  EXPECT_EQ(GetPositionY(), 0);
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 4);
  EXPECT_EQ(fill.FillColor, Yellow);

  // The clip is in force again.
  SelectFill(1, Red);
  FillBox(-100, -50, 500, 500);
  EXPECT_EQ(CountPixels(Red, {0, 0, 640, 240}), 100 * 100);
}

TEST_F(DrawingTest, EraseViewportFillsSolidAndKeepsTheFillStyle) {
  ASSERT_TRUE(OpenWindow(D8bit));
  PaintPage(Black);
  SetBackColor(Green);
  SelectFill(3, Red);
  SetViewport(10, 20, 29, 39, false);
  SetPosition(5, 5);
  EraseViewport();
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(CountPixels(Green, {10, 20, 30, 40}), 400);
  EXPECT_EQ(PageInk(Black).count, 400);
  EXPECT_EQ(GetPositionX(), 0);
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 3);
  EXPECT_EQ(fill.FillColor, Red);
}

TEST_F(DrawingTest, FillStyleZeroTakesTheBackgroundColour) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetBackColor(Blue);
  SelectFill(0, Red);
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 0);
  EXPECT_EQ(fill.FillColor, Blue);
  FillBox(0, 0, 3, 3);
  EXPECT_EQ(PagePixel(1, 1), Blue);
}

// Each hatch is an 8 x 8 pattern anchored to the page, not to the box: a hatch pixel in the
// fill colour, a gap in the background colour when opaque and untouched when transparent.
TEST_F(DrawingTest, HatchStylesPaintTheirPatternInBothBackgroundModes) {
  ASSERT_TRUE(OpenWindow(D8bit));
  struct Hatch {
    uint16_t style;
    uint8_t rows[8];
  } hatches[] = {
      {2, {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00}},  // horizontal
      {3, {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08}},  // vertical
      {4, {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08}},  // cross
      {5, {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}},  // backward diagonal
      {6, {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}},  // forward diagonal
      {7, {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}},  // diagonal cross
  };
  for (const Hatch& h : hatches) {
    for (bool opaque : {false, true}) {
      SetViewport(0, 0, GetWindowMaxX(), GetWindowMaxY(), false);
      PaintPage(Blue);
      SetBackColor(Red);
      SetViewport(3, 2, 200, 200, false);
      SetRasterMode(opaque ? 16 : 0);
      SelectFill(h.style, Yellow);
      FillBox(0, 0, 15, 15);
      int wrong = 0;
      for (int y = 2; y < 18; ++y) {
        for (int x = 3; x < 19; ++x) {
          bool ink = h.rows[y % 8] & (0x80 >> (x % 8));
          raster::Pixel expected = ink ? Yellow : (opaque ? Red : Blue);
          wrong += PagePixel(x, y) != expected;
        }
      }
      EXPECT_EQ(wrong, 0) << "style " << h.style << (opaque ? " opaque" : " transparent");
      EXPECT_EQ(PageInk(Blue).count, PageInk(Blue, {3, 2, 19, 18}).count) << "nothing outside the box";
    }
  }
}

TEST_F(DrawingTest, UserFillPatternKeepsTheColoursItWasDrawnWith) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetBackColor(Green);
  FillPatternType pattern{{0xF0, 0x0F, 0x80, 0x01, 0xAA, 0x55, 0x00, 0xFF}};
  DefineFillPattern(pattern, Yellow);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  SetBackColor(Red);  // later changes do not reach the pattern
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 8);
  FillPatternType back;
  ReadFillPattern(back);
  EXPECT_EQ(back, pattern);
  FillBox(0, 0, 15, 7);
  int wrong = 0;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x)
      wrong += PagePixel(x, y) != ((pattern.Rows[y] & (0x80 >> (x % 8))) ? Yellow : Green);
  EXPECT_EQ(wrong, 0);

  // Erasing goes through a solid fill and comes back to the same pattern.
  EraseViewport();
  FillBox(0, 0, 7, 7);
  EXPECT_EQ(PagePixel(0, 0), Yellow);
  EXPECT_EQ(PagePixel(4, 0), Green);
}

TEST_F(DrawingTest, NullFillPaintsNothing) {
  ASSERT_TRUE(OpenWindow(D8bit));
  PaintPage(Black);
  SelectFill(9, Red);
  FillBox(0, 0, 50, 50);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageInk(Black).count, 0);
}

// The pen follows the line settings and the drawing colour on both device contexts.
TEST_F(DrawingTest, PenStylesFromTheLineSettings) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetDrawColor(Red);
  struct Case {
    uint16_t style;
    raster::PenStyle pen;
  } cases[] = {{0, raster::PenStyle::Solid},      {1, raster::PenStyle::Dot},
               {2, raster::PenStyle::DashDot},    {3, raster::PenStyle::Dash},
               {4, raster::PenStyle::DashDotDot}, {5, raster::PenStyle::Null},
               {6, raster::PenStyle::Null}};
  for (const Case& c : cases) {
    SetPenStyle(c.style, 0x1234, 3);
    ASSERT_EQ(TakeGraphError(), GraphOk);
    LineSettingsType line;
    ReadLineSettings(line);
    EXPECT_EQ(line.LineForm, c.style);
    EXPECT_EQ(line.LinePattern, 0x1234);
    EXPECT_EQ(line.LineWidth, 3);
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    for (const raster::DeviceContext* dc : {&graph_state::WindowDC, &graph_state::BufferDC}) {
      EXPECT_EQ(dc->pen.style, c.pen) << "style " << c.style;
      EXPECT_EQ(dc->pen.width, 3);
      EXPECT_EQ(dc->pen.color, raster::PaletteIndex(uint16_t(Red)));
    }
  }
  // A new colour makes the pen again with the stored settings.
  SetDrawColor(Yellow);
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  EXPECT_EQ(graph_state::BufferDC.pen.color, raster::PaletteIndex(uint16_t(Yellow)));
  EXPECT_EQ(graph_state::WindowDC.pen.style, raster::PenStyle::Null);
}

TEST_F(DrawingTest, XorRasterModeAppliedTwiceRestoresThePage) {
  ASSERT_TRUE(OpenWindow(D8bit));
  PaintPage(Blue);
  SelectFill(7, Yellow);
  FillBox(0, 0, 99, 99);  // something other than one colour underneath
  SelectFill(1, LightRed);
  SetDrawColor(Green);
  const std::vector<uint8_t> before = PageBytes();
  SetRasterMode(1);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  auto drawBox = [] {
    graph_state::DrawThroughOperation([](raster::DeviceContext& dc) {
      return raster::DrawRectangle(dc, {10, 10, 80, 60});
    });
  };
  drawBox();
  EXPECT_NE(PageBytes(), before);
  drawBox();
  EXPECT_EQ(PageBytes(), before);
}

TEST_F(DrawingTest, RasterModesSetOperationAndBackgroundOnBothContexts) {
  ASSERT_TRUE(OpenWindow(D8bit));
  struct Case {
    int16_t mode;
    int16_t result;
    raster::Rop2 rop;
    raster::BackgroundMode background;
  } cases[] = {
      {17, GraphOk, raster::Rop2::XorPen, raster::BackgroundMode::Opaque},
      {5, GraphOk, raster::Rop2::Not, raster::BackgroundMode::Transparent},
      {31, GraphOk, raster::Rop2::Nop, raster::BackgroundMode::Opaque},
      {32, GraphInvalidParameter, raster::Rop2::Nop, raster::BackgroundMode::Opaque},
      {-1, GraphInvalidParameter, raster::Rop2::Nop, raster::BackgroundMode::Opaque},
      {13, GraphOk, raster::Rop2::Black, raster::BackgroundMode::Transparent},
      {0, GraphOk, raster::Rop2::CopyPen, raster::BackgroundMode::Transparent},
  };
  for (const Case& c : cases) {
    SetRasterMode(c.mode);
    EXPECT_EQ(TakeGraphError(), c.result) << c.mode;
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    for (const raster::DeviceContext* dc : {&graph_state::WindowDC, &graph_state::BufferDC}) {
      EXPECT_EQ(dc->rop2, c.rop) << c.mode;
      EXPECT_EQ(dc->backgroundMode, c.background) << c.mode;
    }
  }
}

TEST_F(DrawingTest, FillBoxIgnoresTheRasterMode) {
  ASSERT_TRUE(OpenWindow(D8bit));
  PaintPage(Blue);
  SetRasterMode(1);
  SelectFill(1, Red);
  FillBox(0, 0, 9, 9);
  EXPECT_EQ(PagePixel(5, 5), Red);
}

TEST_F(DrawingTest, BadStylesAreRefusedAndChangeNothing) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetPenStyle(1, 7, 1);
  SelectFill(2, Red);
  SetPenStyle(7, 0, 1);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  SelectFill(10, Yellow);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  LineSettingsType line;
  ReadLineSettings(line);
  EXPECT_EQ(line.LineForm, 1);
  EXPECT_EQ(line.LinePattern, 7);
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 2);
  EXPECT_EQ(fill.FillColor, Red);
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  EXPECT_EQ(graph_state::BufferDC.brush.style, raster::BrushStyle::Hatched);
  EXPECT_EQ(graph_state::BufferDC.pen.style, raster::PenStyle::Dot);
}

TEST_F(DrawingTest, PositionAspectAndFloodMode) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetPosition(10, 10);
  MovePosition(5, -3);
  EXPECT_EQ(GetPositionX(), 15);
  EXPECT_EQ(GetPositionY(), 7);
  {
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    EXPECT_EQ(graph_state::WindowDC.currentPosition.x, 15);
    EXPECT_EQ(graph_state::BufferDC.currentPosition.y, 7);
  }
  SetAspect(5000, 10000);
  EXPECT_FALSE(graph_state::SquareAspect);
  uint16_t ax, ay;
  GetAspect(ax, ay);
  EXPECT_EQ(ax, 5000);
  EXPECT_EQ(ay, 10000);

  SetFloodMode(1);
  EXPECT_EQ(graph_state::FloodMode, raster::FloodMode::Surface);
  SetPenStyle(9, 0, 1);  // leaves -7 behind
  SetFloodMode(2);
  EXPECT_EQ(graph_state::FloodMode, raster::FloodMode::Surface);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter) << "SetFloodMode does not touch the result code";
}

TEST_F(DrawingTest, ViewportOperationsWithTheWindowClosed) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetViewport(5, 6, 70, 80, true);
  SetPosition(3, 4);
  CloseGraphWindow();

  const std::pair<const char*, void (*)()> operations[] = {
      {"SetViewport", [] { SetViewport(0, 0, 10, 10, false); }},
      {"EraseViewport", [] { EraseViewport(); }},
      {"ClearGraphWindow", [] { ClearGraphWindow(); }},
      {"FillBox", [] { FillBox(0, 0, 1, 1); }},
      {"SetPosition", [] { SetPosition(9, 9); }},
      {"SetPenStyle", [] { SetPenStyle(2, 0, 1); }},
      {"SelectFill", [] { SelectFill(3, 1); }},
      {"DefineFillPattern", [] { DefineFillPattern(FillPatternType{}, 1); }},
      {"SetRasterMode", [] { SetRasterMode(1); }},
  };
  for (const auto& [name, operation] : operations) {
    operation();
    EXPECT_EQ(TakeGraphError(), GraphNotInitialized) << name;
  }
  ViewPortType view;
  ReadViewport(view);
  EXPECT_EQ(view.Left, 5);
  EXPECT_EQ(view.Right, 70);
  EXPECT_TRUE(view.Clipping);
  EXPECT_EQ(GetPositionX(), 3);
  LineSettingsType line;
  ReadLineSettings(line);
  EXPECT_EQ(line.LineForm, 0);
  FillSettingsType fill;
  ReadFillSettings(fill);
  EXPECT_EQ(fill.FillStyle, 1);
  FillPatternType pattern;
  ReadFillPattern(pattern);
  EXPECT_EQ(pattern.Rows[0], 255);

  // The addition of MovePosition happens all the same.
  MovePosition(2, 2);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(GetPositionX(), 5);
  EXPECT_EQ(GetPositionY(), 6);
}

}  // namespace

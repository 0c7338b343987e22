// Figures on a real window's drawing page: which pixels lines, rectangles, ellipses, arcs,
// point lists, Bézier curves and flood fills cover, the arc coordinates they leave, and the
// refusals of bad input. Driver 9 (no palette) unless a case says otherwise, so page pixels
// are plain 0x00RRGGBB values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;  // raw page value of White under driver 9

// Row y of the page from x0 to x1 (inclusive): '#' for pixels that are not `background`.
std::string PageRow(int y, int x0, int x1, raster::Pixel background = 0) {
  std::string s;
  for (int x = x0; x <= x1; ++x) s += PagePixel(x, y) == background ? '.' : '#';
  return s;
}
std::string PageColumn(int x, int y0, int y1, raster::Pixel background = 0) {
  std::string s;
  for (int y = y0; y <= y1; ++y) s += PagePixel(x, y) == background ? '.' : '#';
  return s;
}

// Pixels of a page area that show a colour value (driver 9: an RGB value, red in the low byte).
int CountColor(uint32_t color, raster::Rect area) {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) n += PageRgb(x, y) == color;
  return n;
}

// A fresh black page with the default drawing state.
void StartPage() {
  SetViewport(0, 0, GetWindowMaxX(), GetWindowMaxY(), false);
  SetPenStyle(0, 0, 1);
  SetRasterMode(0);
  SetAspect(10000, 10000);
  SetFloodMode(0);
  SetDrawColor(White);
  PaintPage(Black);
  SelectFill(1, White);
  SetPosition(0, 0);
  TakeGraphError();
}

class FiguresTest : public WindowTest {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenWindow(NoPalette, 320, 200)); }
};

TEST_F(FiguresTest, LinesByStyleAndWidth) {
  struct Case {
    const char* what;
    uint16_t style, pattern, width;
    int16_t rasterMode;
    uint32_t page;       // colour the page starts with
    const char* row;     // row 5, x 0..21, after DrawLine(0, 5, 20, 5)
  } cases[] = {
      {"solid, one pixel: the end pixel is added", 0, 0, 1, 0, Black, "#####################."},
      {"width 0 draws one pixel wide but gets no end pixel", 0, 0, 0, 0, Black, "####################.."},
      {"invisible style leaves only the end pixel", 6, 0, 1, 0, Black, "....................#."},
      {"user pattern 0x00FF, point by point, end excluded", 5, 0x00FF, 1, 0, Black, "########........####.."},
      {"user pattern restarts per line, bit 0 first", 5, 0x0001, 1, 0, Black, "#...............#....."},
      {"dotted pen: 3 on, 3 off, then the end pixel", 1, 0, 1, 0, Black, "###...###...###...###."},
      {"xor line on white, end pixel set directly in the drawing colour", 0, 0, 1, 1, White,
       "####################.."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartPage();
    PaintPage(c.page);
    SetPenStyle(c.style, c.pattern, c.width);
    SetRasterMode(c.rasterMode);
    DrawLine(0, 5, 20, 5);
    EXPECT_EQ(TakeGraphError(), GraphOk);
    raster::Pixel background = c.page == White ? kWhite : 0;
    std::string expected = c.row;
    EXPECT_EQ(PageRow(5, 0, int(expected.size()) - 1, background), expected);
    EXPECT_EQ(PageRow(4, 0, 21, background), std::string(22, '.'));
    EXPECT_EQ(GetPositionX(), 20);
    EXPECT_EQ(GetPositionY(), 5);
  }
}

TEST_F(FiguresTest, WidePenCoversThreeRowsAndRelativeLinesMoveOn) {
  StartPage();
  SetPenStyle(0, 0, 3);
  DrawLine(10, 20, 40, 20);
  EXPECT_EQ(PageColumn(25, 17, 23), "..###..");
  // A vertical user-pattern line inside a viewport: page coordinates follow the origin.
  StartPage();
  SetViewport(50, 20, 200, 150, false);
  SetPenStyle(5, 0x0F0F, 1);
  SetPosition(3, 0);
  DrawLineBy(0, 12);
  EXPECT_EQ(PageColumn(53, 20, 33), "####....####..");
  EXPECT_EQ(GetPositionY(), 12);
  DrawLineTo(3, 0);  // back up: the walk starts at the current position again
  EXPECT_EQ(PageColumn(53, 20, 33), "#####...#####.");
}

TEST_F(FiguresTest, RectanglesBoxesAndInversion) {
  StartPage();
  // A one-pixel rectangle is the pixel itself, in the viewport.
  SetViewport(50, 20, 300, 190, false);
  DrawRectangle(5, 5, 5, 5);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  Ink ink = PageInk(0);
  EXPECT_EQ(ink.count, 1);
  EXPECT_EQ(PagePixel(55, 25), kWhite);

  // Outline through both corners.
  StartPage();
  DrawRectangle(0, 0, 10, 10);
  EXPECT_EQ(PageRow(0, 0, 11), "###########.");
  EXPECT_EQ(PageRow(10, 0, 11), "###########.");
  EXPECT_EQ(PageRow(5, 0, 11), "#.........#.");
  EXPECT_EQ(PageInk(0).count, 40);

  // Filled: outline with the pen, inside with the brush, right column and bottom row left out.
  StartPage();
  SelectFill(1, Red);
  DrawFilledRectangle(0, 0, 10, 10);
  ink = PageInk(0);
  EXPECT_EQ(ink.count, 100);
  EXPECT_EQ(ink.box.right, 10);
  EXPECT_EQ(ink.box.bottom, 10);
  EXPECT_EQ(PagePixel(9, 9), kWhite);
  EXPECT_EQ(PageRgb(5, 5), Red);

  // Inversion covers both corners and undoes itself.
  StartPage();
  InvertBox(2, 3, 5, 4);
  ink = PageInk(0);
  EXPECT_EQ(ink.count, 8);
  EXPECT_EQ(ink.box.left, 2);
  EXPECT_EQ(ink.box.bottom, 5);
  InvertBox(2, 3, 5, 4);
  EXPECT_EQ(PageInk(0).count, 0);

  // Rounded box: corners cut, right column and bottom row included.
  StartPage();
  DrawRoundedBox(0, 0, 20, 10, 8);
  EXPECT_EQ(PagePixel(0, 0), 0u);
  EXPECT_EQ(PagePixel(10, 0), kWhite);
  EXPECT_EQ(PagePixel(20, 5), kWhite);
  EXPECT_EQ(PagePixel(10, 10), kWhite);
  EXPECT_EQ(PagePixel(21, 5), 0u);
}

TEST_F(FiguresTest, Box3DDrawsItsDepthEdges) {
  struct Case {
    uint16_t depth;
    bool top;
    bool topEdge, sideEdge;
  } cases[] = {{5, true, true, true}, {5, false, false, true}, {0, false, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "depth " << c.depth << " top " << c.top);
    StartPage();
    SelectFill(1, Red);
    DrawBox3D(10, 20, 30, 40, c.depth, c.top);
    EXPECT_EQ(TakeGraphError(), GraphOk);
    EXPECT_EQ(PageRgb(20, 30), Red);
    EXPECT_EQ(PagePixel(25, 15) == kWhite, c.topEdge);
    EXPECT_EQ(PagePixel(35, 30) == kWhite, c.sideEdge);
  }
}

TEST_F(FiguresTest, ReversedRectanglesAreRefusedAndDrawNothing) {
  StartPage();
  using Op = void (*)();
  struct Case {
    const char* what;
    Op op;
  } cases[] = {
      {"DrawRectangle", [] { DrawRectangle(10, 0, 0, 10); }},
      {"DrawFilledRectangle", [] { DrawFilledRectangle(0, 10, 10, 0); }},
      {"DrawBox3D", [] { DrawBox3D(10, 0, 0, 10, 4, true); }},
      {"InvertBox", [] { InvertBox(10, 0, 0, 10); }},
      {"DrawRoundedBox", [] { DrawRoundedBox(0, 10, 10, 0, 4); }},
  };
  for (const Case& c : cases) {
    c.op();
    EXPECT_EQ(TakeGraphError(), GraphInvalidParameter) << c.what;
    EXPECT_EQ(PageInk(0).count, 0) << c.what;
  }
}

TEST_F(FiguresTest, ArcCoordsAfterCirclesAndArcs) {
  struct Case {
    const char* what;
    void (*draw)();
    ArcCoordsType expected;
  } cases[] = {
      {"whole circle", [] { DrawCircle(50, 50, 10); }, {50, 50, 60, 50, 60, 50}},
      {"quarter of an ellipse", [] { DrawEllipseArc(50, 50, 0, 90, 10, 20); }, {50, 50, 60, 50, 50, 30}},
      {"angles beyond 360", [] { DrawCircleArc(50, 50, 450, 540, 10); }, {50, 50, 50, 40, 40, 50}},
      {"negative viewport-relative results", [] { DrawCircleArc(0, 0, 180, 270, 7); }, {0, 0, -7, 0, 0, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StartPage();
    c.draw();
    EXPECT_EQ(TakeGraphError(), GraphOk);
    ArcCoordsType got;
    ReadArcCoords(got);
    EXPECT_EQ(got.CenterX, c.expected.CenterX);
    EXPECT_EQ(got.CenterY, c.expected.CenterY);
    EXPECT_EQ(got.StartX, c.expected.StartX);
    EXPECT_EQ(got.StartY, c.expected.StartY);
    EXPECT_EQ(got.EndX, c.expected.EndX);
    EXPECT_EQ(got.EndY, c.expected.EndY);
  }
  // The circle's outline stops short of nothing: both extreme columns and rows are drawn.
  StartPage();
  DrawCircle(50, 50, 10);
  Ink ink = PageInk(0);
  EXPECT_EQ(ink.box.left, 40);
  EXPECT_EQ(ink.box.top, 40);
  EXPECT_EQ(ink.box.right, 61);
  EXPECT_EQ(ink.box.bottom, 61);
  EXPECT_EQ(PagePixel(50, 50), 0u);  // not filled

  // The quarter arc stays in its quadrant (y up: to the right and above the centre).
  StartPage();
  DrawEllipseArc(50, 50, 0, 90, 10, 20);
  ink = PageInk(0);
  EXPECT_GE(ink.box.left, 50);
  EXPECT_LE(ink.box.right, 61);
  EXPECT_GE(ink.box.top, 30);
  EXPECT_LE(ink.box.bottom, 51);

  // Chords and pies leave the arc coordinates alone.
  DrawPie(100, 100, 10, 20, 5, 5);
  DrawChord(100, 100, 10, 20, 5, 5);
  ArcCoordsType got;
  ReadArcCoords(got);
  EXPECT_EQ(got.EndY, 30);
}

TEST_F(FiguresTest, AspectFactorsScaleEllipseRadii) {
  struct Case {
    uint16_t ax, ay;
    raster::Rect box;
  } cases[] = {
      {10000, 10000, {40, 40, 61, 61}},
      {20000, 10000, {45, 40, 56, 61}},
      {10000, 5000, {40, 30, 61, 71}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.ax << " " << c.ay);
    StartPage();
    SetAspect(c.ax, c.ay);
    DrawEllipse(50, 50, 10, 10);
    Ink ink = PageInk(0);
    EXPECT_EQ(ink.box.left, c.box.left);
    EXPECT_EQ(ink.box.top, c.box.top);
    EXPECT_EQ(ink.box.right, c.box.right);
    EXPECT_EQ(ink.box.bottom, c.box.bottom);
    EXPECT_EQ(PagePixel(50, 50), kWhite);  // filled
  }
}

TEST_F(FiguresTest, PiesAndChordsFillTheirSide) {
  StartPage();
  SelectFill(1, Red);
  DrawPie(50, 50, 0, 90, 20, 20);
  EXPECT_EQ(PageRgb(57, 43), Red);   // inside the upper right quarter
  EXPECT_EQ(PagePixel(43, 57), 0u);  // the lower left stays empty
  StartPage();
  SelectFill(1, Red);
  DrawChord(50, 50, 0, 180, 20, 20);
  EXPECT_EQ(PageRgb(50, 40), Red);
  EXPECT_EQ(PagePixel(50, 60), 0u);
  StartPage();
  SelectFill(1, Red);
  DrawCirclePie(50, 50, 90, 180, 20);
  EXPECT_EQ(PageRgb(43, 43), Red);
  EXPECT_EQ(PagePixel(57, 43), 0u);
}

TEST_F(FiguresTest, HugeRadiiAndWrappingCoordinatesStayOnThePage) {
  StartPage();
  DrawEllipse(100, 100, 65535, 65535);  // covers the whole page
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(CountPixels(kWhite, {0, 0, 320, 200}), 320 * 200);
  StartPage();
  DrawCircle(100, 100, 65535);
  DrawPie(0, 0, 0, 359, 65535, 65535);
  SetViewport(300, 180, 319, 199, false);
  DrawLine(32767, 32767, -32768, -32768);
  DrawRectangle(-32768, -32768, 32767, 32767);
  DrawCircleArc(32767, 32767, 0, 720, 40000);
  EXPECT_EQ(TakeGraphError(), GraphOk);
}

TEST_F(FiguresTest, PointListsCountsAndShapes) {
  StartPage();
  const PointType three[3] = {{0, 0}, {10, 0}, {10, 10}};
  struct Case {
    const char* what;
    void (*draw)(uint16_t, std::span<const PointType>);
    uint16_t count;
  } refused[] = {
      {"polyline of one point", DrawPolyline, 1},
      {"polygon of one point", DrawPolygon, 1},
      {"Bezier of three points", DrawBezier, 3},
      {"polyline counting more points than given", DrawPolyline, 5},
      {"polygon counting more points than given", DrawPolygon, 4},
      {"Bezier counting more points than given", DrawBezier, 7},
  };
  for (const Case& c : refused) {
    c.draw(c.count, std::span<const PointType>(three));
    EXPECT_EQ(TakeGraphError(), GraphInvalidParameter) << c.what;
    EXPECT_EQ(PageInk(0).count, 0) << c.what;
  }

  // A polyline leaves out its last point and does not move the current position.
  SetPosition(7, 7);
  DrawPolyline(3, three);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageRow(0, 0, 11), "###########.");
  EXPECT_EQ(PageColumn(10, 0, 11), "##########..");
  EXPECT_EQ(GetPositionX(), 7);

  // Polygon: closed and filled by the alternate rule, so a pentagram's centre stays empty.
  StartPage();
  SelectFill(1, Red);
  const PointType star[5] = {{100, 10}, {130, 100}, {50, 45}, {150, 45}, {70, 100}};
  DrawPolygon(5, star);
  EXPECT_EQ(PagePixel(100, 60), 0u);
  EXPECT_EQ(PageRgb(100, 30), Red);
  EXPECT_EQ(PagePixel(100, 10), kWhite);  // every vertex drawn
  EXPECT_EQ(PagePixel(70, 100), kWhite);

  // A straight cubic Bézier: a line without its last point; a count not 3n + 1 draws nothing.
  StartPage();
  const PointType bezier[5] = {{0, 3}, {10, 3}, {20, 3}, {30, 3}, {40, 3}};
  DrawBezier(5, bezier);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageInk(0).count, 0);
  DrawBezier(4, bezier);
  EXPECT_EQ(PageRow(3, 0, 31), std::string(30, '#') + "..");

  // Points far outside the 16-bit range are drawn clipped, without trouble.
  StartPage();
  const PointType far[3] = {{-2000000000, 5}, {2000000000, 5}, {2147483647, -2147483647}};
  DrawPolyline(3, far);
  DrawPolygon(3, far);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PagePixel(100, 5), kWhite);
}

TEST_F(FiguresTest, RotatedEllipseTurnsItsAxes) {
  struct Case {
    int16_t angle;
    bool wide;
  } cases[] = {{0, true}, {90, false}, {-90, false}, {180, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.angle);
    StartPage();
    DrawRotatedEllipse(100, 100, c.angle, 30, 10);
    Ink ink = PageInk(0);
    ASSERT_GT(ink.count, 0);
    int width = ink.box.Width(), height = ink.box.Height();
    EXPECT_EQ(width > height, c.wide) << width << " x " << height;
    EXPECT_NEAR((ink.box.left + ink.box.right) / 2, 100, 1);
    EXPECT_NEAR((ink.box.top + ink.box.bottom) / 2, 100, 1);
    EXPECT_EQ(PagePixel(100, 100), 0u);  // an outline only
  }
}

TEST_F(FiguresTest, FloodFillBorderAndSurfaceModes) {
  // Border mode: the brush fills up to the red outline and no further.
  StartPage();
  SetDrawColor(Red);
  SelectFill(9, Black);
  DrawFilledRectangle(10, 10, 31, 31);  // outline 10..30
  SelectFill(1, Blue);
  FillArea(20, 20, Red);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(CountColor(Blue, {11, 11, 30, 30}), 19 * 19);
  EXPECT_EQ(PageRgb(10, 20), Red);
  EXPECT_EQ(PagePixel(5, 5), 0u);
  // Starting on the border colour does nothing.
  SelectFill(1, Green);
  FillArea(10, 20, Red);
  EXPECT_EQ(CountColor(Green, {0, 0, 320, 200}), 0);

  // Surface mode: the connected area of the given colour, 4-connected.
  StartPage();
  SelectFill(1, White);
  FillBox(10, 10, 19, 19);
  FillBox(20, 20, 29, 29);  // touches the first only at a corner
  SetFloodMode(1);
  SelectFill(1, Yellow);
  FillArea(15, 15, White);
  EXPECT_EQ(CountColor(Yellow, {0, 0, 320, 200}), 100);
  EXPECT_EQ(PagePixel(25, 25), kWhite);
  // A start that does not have the surface colour does nothing.
  FillArea(100, 100, White);
  EXPECT_EQ(CountColor(Yellow, {0, 0, 320, 200}), 100);
}

TEST_F(FiguresTest, DrawPixelIgnoresTheRasterModeAndFollowsTheViewport) {
  StartPage();
  SetRasterMode(1);
  SetViewport(50, 20, 100, 100, true);
  DrawPixel(3, 4, Red);
  DrawPixel(3, 4, Red);  // xor would have cleared it again
  DrawPixel(60, 4, Red); // outside the clipped viewport
  EXPECT_EQ(PageRgb(53, 24), Red);
  EXPECT_EQ(PageInk(0).count, 1);
}

TEST(FiguresClosedWindow, EveryFigureReportsMinusOneAndKeepsItsState) {
  ASSERT_FALSE(GraphWindowOpen());
  ArcCoordsType before;
  ReadArcCoords(before);
  const PointType points[4] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
  using Op = void (*)();
  Op ops[] = {
      [] { DrawPixel(1, 1, 0); },         [] { DrawLine(0, 0, 5, 5); },
      [] { DrawLineTo(5, 5); },           [] { DrawRectangle(0, 0, 5, 5); },
      [] { InvertBox(0, 0, 5, 5); },      [] { DrawEllipse(5, 5, 2, 2); },
      [] { DrawCircle(9, 9, 3); },        [] { DrawPie(5, 5, 0, 90, 2, 2); },
      [] { FillArea(1, 1, 0); },          [] { DrawRotatedEllipse(5, 5, 30, 4, 2); },
  };
  for (Op op : ops) {
    op();
    EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  }
  DrawPolygon(4, points);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  ArcCoordsType after;
  ReadArcCoords(after);
  EXPECT_EQ(after.StartX, before.StartX);
  EXPECT_EQ(after.CenterX, before.CenterX);
}

}  // namespace

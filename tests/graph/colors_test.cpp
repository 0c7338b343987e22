// Colours and palettes: the fixed tables, the named colours under each driver, palette writes
// and their effect on the page, and the colour operations' result codes.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <thread>

#include "graph/named_colors.h"
#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;
using graph_colors::NamedColorDefaults;
using graph_colors::StandardPalette;

namespace {

TEST(StandardPaletteTable, EntriesFollowTheVgaLayoutWithItsThreeDepartures) {
  struct Case {
    int entry;
    uint32_t rgb;
  } cases[] = {
      {0, Rgb(0, 0, 0)},        {6, Rgb(168, 84, 0)},     {7, Rgb(168, 168, 168)},  {8, Rgb(84, 84, 84)},
      {9, Rgb(132, 132, 252)},  {15, Rgb(252, 252, 252)}, {16, Rgb(0, 0, 0)},       {17, Rgb(20, 20, 20)},
      {23, Rgb(96, 96, 96)},    {31, Rgb(252, 252, 252)}, {32, Rgb(0, 0, 252)},     {36, Rgb(252, 0, 252)},
      {40, Rgb(252, 0, 0)},     {44, Rgb(252, 252, 0)},   {48, Rgb(0, 252, 0)},     {52, Rgb(0, 252, 252)},
      {55, Rgb(0, 64, 252)},    {56, Rgb(124, 124, 252)}, {64, Rgb(252, 124, 124)}, {65, Rgb(252, 156, 252)},
      {66, Rgb(252, 188, 124)}, {80, Rgb(180, 180, 252)}, {104, Rgb(0, 0, 112)},    {176, Rgb(0, 0, 64)},
      {200, Rgb(32, 32, 64)},   {224, Rgb(44, 44, 64)},   {231, Rgb(64, 44, 48)},   {232, Rgb(64, 48, 44)},
      {246, Rgb(44, 48, 64)},   {247, Rgb(0, 0, 0)},      {255, Rgb(0, 0, 0)},
  };
  for (const Case& c : cases) EXPECT_EQ(StandardPalette[c.entry], c.rgb) << "entry " << c.entry;
  for (int entry = 248; entry < 256; ++entry) EXPECT_EQ(StandardPalette[entry], 0u) << entry;
}

TEST(NamedColorTable, IndexesNamesAndDefaults) {
  struct Case {
    int index;
    uint32_t* variable;
    uint32_t rgb;
  } cases[] = {
      {0, &AliceBlue, Rgb(240, 248, 255)},    {7, &Black, Rgb(0, 0, 0)},
      {18, &Cornsilk, Rgb(255, 248, 220)},    {19, &Cream, Rgb(255, 251, 240)},
      {21, &Cyan, Rgb(0, 168, 168)},          {25, &DarkGray, Rgb(84, 84, 84)},
      {45, &ForestGreen, Rgb(34, 139, 34)},   {46, &MediumGray, Rgb(128, 128, 128)},
      {47, &Gainsboro, Rgb(220, 220, 220)},   {51, &Gray, Rgb(126, 126, 126)},
      {64, &LightBlue, Rgb(132, 132, 252)},   {65, &LightBrown, Rgb(210, 180, 140)},
      {67, &LightCyan, Rgb(84, 252, 252)},    {69, &LightGray, Rgb(168, 168, 168)},
      {70, &LightGreen, Rgb(84, 252, 84)},    {71, &LightMagenta, Rgb(252, 84, 252)},
      {73, &LightRed, Rgb(252, 84, 84)},      {83, &Magenta, Rgb(168, 0, 168)},
      {97, &Moccasin, Rgb(255, 228, 181)},    {98, &MintGray, Rgb(192, 220, 192)},
      {99, &NavajoWhite, Rgb(255, 222, 173)}, {118, &Red, Rgb(255, 0, 0)},
      {134, &Teal, Rgb(0, 128, 128)},         {140, &White, Rgb(255, 255, 255)},
      {142, &Yellow, Rgb(255, 255, 0)},       {143, &YellowGreen, Rgb(154, 205, 50)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NamedColorTable[c.index], c.variable) << "index " << c.index;
    EXPECT_EQ(NamedColorDefaults[c.index], c.rgb) << "index " << c.index;
  }
  std::set<uint32_t*> distinct(std::begin(NamedColorTable), std::end(NamedColorTable));
  EXPECT_EQ(distinct.size(), 144u);
}

// Named colours and what they paint under each driver: a palette index whose entry is the
// nearest to the default (drivers 1-3), or the RGB value itself (driver 9).
TEST_P(DrawingDriverTest, NamedColorsPaintTheNearestColourOfTheDriversPalette) {
  const int16_t driver = GetParam();
  ASSERT_TRUE(OpenWindow(driver));
  struct Expect {
    uint16_t count;
    uint32_t highest;
    uint32_t white, yellow, red, lightGray;  // RGB shown on the page
  };
  Expect e{};
  switch (driver) {
    case D1bit:
      e = {2, 1, Rgb(255, 255, 255), Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(255, 255, 255)};
      break;
    case D4bit:
      e = {16, 15, Rgb(252, 252, 252), Rgb(252, 252, 84), Rgb(168, 0, 0), Rgb(168, 168, 168)};
      break;
    case D8bit:
      e = {256, 255, Rgb(252, 252, 252), Rgb(252, 252, 0), Rgb(252, 0, 0), Rgb(168, 168, 168)};
      break;
    default:
      e = {0xFFFF, 0, Rgb(255, 255, 255), Rgb(255, 255, 0), Rgb(255, 0, 0), Rgb(168, 168, 168)};
      break;
  }
  EXPECT_EQ(GetPaletteCount(), e.count);
  if (driver != NoPalette) {
    EXPECT_EQ(GetHighestColor(), e.highest);
    for (uint32_t* named : NamedColorTable) EXPECT_LT(*named, e.count);
  } else {
    EXPECT_EQ(Red, 255u);
    EXPECT_EQ(Yellow, 65535u);
    EXPECT_EQ(AliceBlue, Rgb(240, 248, 255));
  }
  struct Swatch {
    uint32_t color, rgb;
  } swatches[] = {{White, e.white}, {Yellow, e.yellow}, {Red, e.red}, {LightGray, e.lightGray}};
  int x = 0;
  for (const Swatch& s : swatches) {
    SelectFill(1, s.color);
    FillBox(int16_t(x), 0, int16_t(x + 9), 9);
    EXPECT_EQ(PageRgb(x + 5, 5), s.rgb) << "colour value " << s.color;
    uint16_t r, g, b;
    ColorToRGB(s.color, r, g, b);
    EXPECT_EQ(Rgb(r, g, b), s.rgb);
    EXPECT_EQ(ReadPixelColor(int16_t(x + 5), 5), s.color) << "read back";
    x += 10;
  }

  // Text takes the same colour as the fills.
  SetDrawColor(White);
  SelectTextFont(20, 0, 16);  // bold: full stems also where direct mode smooths the edges
  DrawTextAt(0, 20, "MW");
  int white = 0;
  for (int y = 20; y < 36; ++y)
    for (int px = 0; px < 30; ++px) white += PageRgb(px, y) == e.white;
  EXPECT_GT(white, 20) << "glyph pixels in White";
}

INSTANTIATE_TEST_SUITE_P(Drivers, DrawingDriverTest, ::testing::Values(D1bit, D4bit, D8bit, NoPalette));

TEST_F(DrawingTest, ColourValuesAreTakenModuloTheEntryCount) {
  ASSERT_TRUE(OpenWindow(D8bit));
  struct Case {
    uint32_t color;
    raster::Pixel entry;
  } cases[] = {{256, 0}, {300, 44}, {0x10000 + 7, 7}, {0xFFFFFFFFu, 255}};
  int x = 0;
  for (const Case& c : cases) {
    SelectFill(1, c.color);
    FillBox(int16_t(x), 0, int16_t(x + 3), 3);
    EXPECT_EQ(PagePixel(x + 1, 1), c.entry) << "colour value " << c.color;
    x += 4;
  }
}

TEST_F(DrawingTest, WritePaletteOfSixteenEntriesRecoloursThePageAndRemapsNamedColours) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SelectFill(1, 15);
  FillBox(0, 0, 9, 9);  // drawn before the palette changes
  PaletteType palette;
  palette.EntryCount = 16;
  for (int i = 0; i < 16; ++i) palette.Entries[i] = Rgb(i * 16, 255 - i * 16, 7);
  palette.Entries[15] = Rgb(250, 250, 250);
  WritePalette(palette);
  ASSERT_EQ(TakeGraphError(), GraphOk);

  EXPECT_EQ(GetPaletteCount(), 16);
  EXPECT_EQ(GetHighestColor(), 15u);
  {
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    ASSERT_EQ(graph_state::PageColorTable.size(), 256u);
    for (int i = 16; i < 256; ++i)
      EXPECT_EQ(graph_state::PageColorTable[i], graph_state::PageColorTable[0]) << i;
  }
  EXPECT_EQ(PageRgb(5, 5), Rgb(250, 250, 250)) << "the drawing page is recoloured at once";
  EXPECT_EQ(White, 15u);
  EXPECT_EQ(Black, 8u);  // (128, 127, 7) is the nearest to black

  SelectFill(1, 20);
  FillBox(20, 0, 29, 9);
  EXPECT_EQ(PagePixel(25, 5), 4u) << "colour value 20 draws entry 4";

  PaletteType back;
  ReadPalette(back);
  EXPECT_EQ(back.EntryCount, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(back.Entries[i], palette.Entries[i]) << i;

  // Another page gets the colours when it becomes the drawing page.
  SetDrawingPage(1);
  EXPECT_EQ(PageRgb(0, 0), Rgb(0, 255, 7));
  {
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    EXPECT_EQ(graph_state::BackBuffer[1].ColorTable(), graph_state::PageColorTable);
  }
}

TEST_F(DrawingTest, PaletteChangeRepaintsTheWindow) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SelectFill(1, 40);
  FillBox(0, 0, 19, 19);
  SetPaletteRGB(40, 10, 200, 30);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  // The window thread repaints from the page some time later.
  uint32_t shown = 0;
  for (int i = 0; i < 300; ++i) {
    {
      std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
      shown = graph_state::WindowSurface.PixelToRgb(graph_state::WindowSurface.GetPixel(10, 10));
    }
    if (shown == Rgb(10, 200, 30)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(shown, Rgb(10, 200, 30));
}

TEST_F(DrawingTest, SetPaletteRGBChangesOneEntryAndKeepsTheNamedColours) {
  ASSERT_TRUE(OpenWindow(D8bit));
  const uint32_t white = White;
  SelectFill(1, White);
  FillBox(0, 0, 9, 9);
  SetPaletteRGB(uint16_t(white), 300, 2, 3);  // only the low byte of each component counts
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(White, white);
  EXPECT_EQ(PageRgb(5, 5), Rgb(44, 2, 3));
  uint16_t r, g, b;
  ColorToRGB(White, r, g, b);
  EXPECT_EQ(Rgb(r, g, b), Rgb(44, 2, 3));

  SetPaletteColor(3, 40);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  PaletteType palette;
  ReadPalette(palette);
  EXPECT_EQ(palette.Entries[3], Rgb(252, 0, 0));
}

TEST_F(DrawingTest, PaletteOperationsRefuseBadEntriesAndChangeNothing) {
  ASSERT_TRUE(OpenWindow(D8bit));
  PaletteType small;
  ReadStandardPalette(small);
  small.EntryCount = 16;
  WritePalette(small);
  PaletteType before;
  ReadPalette(before);

  PaletteType tooMany;
  tooMany.EntryCount = 257;
  WritePalette(tooMany);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  PaletteType empty;
  WritePalette(empty);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  SetPaletteRGB(200, 1, 2, 3);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  SetPaletteRGB(16, 1, 2, 3);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  SetPaletteColor(3, 256);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);

  PaletteType after;
  ReadPalette(after);
  EXPECT_EQ(after.EntryCount, 16);
  EXPECT_EQ(GetPaletteCount(), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(after.Entries[i], before.Entries[i]) << i;
}

TEST_F(DrawingTest, DirectModeHasNoPalette) {
  ASSERT_TRUE(OpenWindow(NoPalette));
  PaletteType palette;
  ReadPalette(palette);
  EXPECT_EQ(TakeGraphError(), GraphNoPalette);
  ReadStandardPalette(palette);
  WritePalette(palette);
  EXPECT_EQ(TakeGraphError(), GraphNoPalette);
  SetPaletteRGB(0, 1, 2, 3);
  EXPECT_EQ(TakeGraphError(), GraphNoPalette);
  SetPaletteColor(0, 3);
  EXPECT_EQ(TakeGraphError(), GraphNoPalette);

  ReadSystemPalette(palette);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(palette.EntryCount, 256);
  EXPECT_EQ(GetPaletteCount(), 0xFFFF);
  ReadStandardPalette(palette);
  EXPECT_EQ(palette.EntryCount, 256);
  EXPECT_EQ(palette.Entries[9], Rgb(132, 132, 252));
  EXPECT_EQ(ColorFromRGB(1, 2, 3), Rgb(1, 2, 3));
  uint16_t r, g, b;
  ColorToRGB(AliceBlue, r, g, b);
  EXPECT_EQ(Rgb(r, g, b), Rgb(240, 248, 255));
}

TEST_F(DrawingTest, StartingPalettesOfThePaletteDrivers) {
  struct Case {
    int16_t driver;
    uint16_t count;
  } cases[] = {{D1bit, 2}, {D4bit, 16}, {D8bit, 256}};
  for (const Case& c : cases) {
    ASSERT_TRUE(OpenWindow(c.driver));
    PaletteType standard, named;
    ReadStandardPalette(standard);
    ReadNamedColorPalette(named);
    EXPECT_EQ(standard.EntryCount, c.count);
    EXPECT_EQ(named.EntryCount, std::min<uint16_t>(c.count, 144));
    if (c.driver == D1bit) {
      EXPECT_EQ(standard.Entries[1], Rgb(255, 255, 255));
      EXPECT_EQ(named.Entries[1], Rgb(255, 255, 255));
      EXPECT_EQ(named.Entries[0], 0u);
    } else {
      EXPECT_EQ(standard.Entries[9], Rgb(132, 132, 252));
      EXPECT_EQ(named.Entries[9], Rgb(0, 0, 255));
    }
    PaletteType current;
    ReadPalette(current);
    EXPECT_EQ(current.EntryCount, c.count);
    for (int i = 0; i < c.count; ++i) EXPECT_EQ(current.Entries[i], standard.Entries[i]) << i;
    CloseGraphWindow();
  }
}

TEST_F(DrawingTest, ColourOperationsWithTheWindowClosed) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetBackColor(Blue);
  const uint32_t back = GetBackColor();
  CloseGraphWindow();

  SetDrawColor(123);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(GetDrawColor(), 123u) << "the drawing colour is stored even without a window";
  SetBackColor(77);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(GetBackColor(), back);

  PaletteType palette;
  ReadStandardPalette(palette);
  palette.EntryCount = 16;
  for (auto operation :
       {+[](PaletteType& p) { WritePalette(p); }, +[](PaletteType& p) { ReadPalette(p); },
        +[](PaletteType& p) { ReadSystemPalette(p); }, +[](PaletteType&) { SetPaletteRGB(1, 1, 1, 1); },
        +[](PaletteType&) { SetPaletteColor(1, 300); }}) {
    operation(palette);
    EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  }
  EXPECT_EQ(ReadPixelColor(0, 0), 0u);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  // Without a window the colour model is the direct one.
  EXPECT_EQ(ColorFromRGB(1, 2, 3), Rgb(1, 2, 3));
  EXPECT_EQ(GetPaletteCount(), 0xFFFF);
}

TEST_F(DrawingTest, ReadPixelColorIsRelativeToTheViewport) {
  ASSERT_TRUE(OpenWindow(NoPalette));
  SelectFill(1, Rgb(1, 2, 3));
  FillBox(30, 20, 30, 20);
  SetViewport(10, 10, 100, 100, false);
  EXPECT_EQ(ReadPixelColor(20, 10), Rgb(1, 2, 3));
  EXPECT_EQ(ReadPixelColor(19, 10), Black);
}

}  // namespace

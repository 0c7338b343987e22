// Text output and fonts: where text lands and where it leaves the current position, font
// numbers and sizes, alignment, spacing, font slots, Czech letters, and text in a real window.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/fonts/fonts.h"
#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;

namespace {

std::shared_ptr<const fonts::Font> PageFont() {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  return graph_state::BufferDC.font;
}

TEST_F(DrawingTest, DrawTextAtStartsTheCellAtThePointAndMovesPastTheText) {
  ASSERT_TRUE(OpenWindow(D8bit));
  ClearGraphWindow();
  SetDrawColor(White);
  const uint16_t width = GetTextWidth("Hlasivo");
  const uint16_t height = GetTextHeight("Hlasivo");
  EXPECT_EQ(height, 16);
  EXPECT_GT(width, 7 * 5);
  DrawTextAt(10, 20, "Hlasivo");
  EXPECT_EQ(TakeGraphError(), GraphOk);
  Ink ink = PageInk(Black);
  ASSERT_GT(ink.count, 0);
  EXPECT_GE(ink.box.left, 10);
  EXPECT_LE(ink.box.left, 12) << "the first glyph starts at the cell's left edge";
  EXPECT_GE(ink.box.top, 20);
  EXPECT_LE(ink.box.right, 10 + width);
  EXPECT_LE(ink.box.bottom, 20 + height);
  EXPECT_EQ(GetPositionX(), 10 + width);
  EXPECT_EQ(GetPositionY(), 20);
  // Palette mode: solid glyphs in the drawing colour's entry, nothing in between.
  EXPECT_EQ(CountPixels(White, ink.box), ink.count);
}

TEST_F(DrawingTest, TextIsPlacedRelativeToTheViewportAndClipped) {
  ASSERT_TRUE(OpenWindow(D8bit));
  ClearGraphWindow();
  SetViewport(100, 50, 109, 300, true);
  DrawTextAt(0, 0, "WWWWWW");
  Ink ink = PageInk(Black);
  ASSERT_GT(ink.count, 0);
  EXPECT_GE(ink.box.left, 100);
  EXPECT_GE(ink.box.top, 50);
  EXPECT_LE(ink.box.right, 110);
  EXPECT_EQ(GetPositionX(), GetTextWidth("WWWWWW")) << "the position stays relative to the viewport";
}

TEST_F(DrawingTest, CellHeightFollowsTheSizeRule) {
  ASSERT_TRUE(OpenWindow(D8bit));
  struct Case {
    uint16_t size;
    int height;
  } cases[] = {{16, 16}, {1, 8}, {2, 16}, {5, 40}, {6, 6}, {24, 24}, {0, fonts::kDefaultCellHeight}};
  for (uint16_t font : {0, 20, 3}) {
    for (const Case& c : cases) {
      SelectTextFont(font, 0, c.size);
      ASSERT_EQ(TakeGraphError(), GraphOk);
      EXPECT_EQ(GetTextHeight("Ag"), c.height) << "font " << font << " size " << c.size;
      ShortText face;
      int16_t widest, height;
      bool trueType;
      ReadFontInfo(face, widest, height, trueType);
      EXPECT_EQ(height, c.height);
      TextSettingsType settings;
      ReadTextSettings(settings);
      EXPECT_EQ(settings.TextSize, c.size);
    }
  }
}

TEST_F(DrawingTest, FontNumbersPickSlotWeightUnderlineAndItalics) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetTextAlignment(1, 2);
  SelectTextFont(4, 0, 16);
  const uint16_t normal = GetTextWidth("Hlasivo pracuje");
  SelectTextFont(20, 0, 16);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_GT(GetTextWidth("Hlasivo pracuje"), normal) << "bold Arial is wider";
  TextSettingsType settings;
  ReadTextSettings(settings);
  EXPECT_EQ(settings.FontNumber, 20);
  EXPECT_EQ(settings.TextAngle, 0);
  EXPECT_EQ(settings.TextSize, 16);
  EXPECT_EQ(settings.AlignX, 1);
  EXPECT_EQ(settings.AlignY, 2);
  ShortText face;
  int16_t widest, height;
  bool trueType;
  ReadFontInfo(face, widest, height, trueType);
  EXPECT_EQ(face.View(), "Arial");
  EXPECT_EQ(height, 16);
  EXPECT_TRUE(trueType);
  EXPECT_GT(widest, 0);
  EXPECT_EQ(PageFont()->Metrics().weight, 700);

  struct Case {
    uint16_t font;
    const char* face;
    bool underline, italic;
  } cases[] = {{256, "Courier New", true, false},
               {0x1003, "Times New Roman", false, true},
               {0x0F05, "Lucida Console", true, false}};
  for (const Case& c : cases) {
    SelectTextFont(c.font, 0, 16);
    EXPECT_EQ(TakeGraphError(), GraphOk);
    ReadFontInfo(face, widest, height, trueType);
    EXPECT_EQ(face.View(), c.face);
    EXPECT_EQ(PageFont()->Metrics().underline, c.underline) << c.font;
    EXPECT_EQ(PageFont()->Metrics().italic, c.italic) << c.font;
  }
}

TEST_F(DrawingTest, InvalidFontNumbersKeepTheFontInUse) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SelectTextFont(20, 0, 16);
  const auto before = PageFont();
  for (uint16_t font : {15, 31, 6, 0xFF}) {
    SelectTextFont(font, 90, 40);
    EXPECT_EQ(TakeGraphError(), GraphInvalidFontNumber) << font;
  }
  EXPECT_EQ(PageFont(), before);
  {
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    EXPECT_EQ(graph_state::WindowDC.font, before);
  }
  TextSettingsType settings;
  ReadTextSettings(settings);
  EXPECT_EQ(settings.FontNumber, 20);
  EXPECT_EQ(settings.TextAngle, 0);
  EXPECT_EQ(settings.TextSize, 16);
}

// Every alignment: where the text's ink lies around the reference point, and where the
// position is left (left: after the text, right: before it, centre: unchanged).
TEST_F(DrawingTest, AllNineAlignments) {
  ASSERT_TRUE(OpenWindow(D8bit));
  const int x = 300, y = 100;
  for (uint16_t h = 0; h < 3; ++h) {
    for (uint16_t v = 0; v < 3; ++v) {
      ClearGraphWindow();
      SetTextAlignment(h, v);
      ASSERT_EQ(TakeGraphError(), GraphOk);
      const int w = GetTextWidth("Wide");
      DrawTextAt(x, y, "Wide");
      Ink ink = PageInk(Black);
      ASSERT_GT(ink.count, 0);
      const std::string where = "alignment " + std::to_string(h) + "," + std::to_string(v);
      switch (h) {
        case 0:
          EXPECT_GE(ink.box.left, x) << where;
          EXPECT_EQ(GetPositionX(), x + w) << where;
          break;
        case 1:
          EXPECT_NEAR((ink.box.left + ink.box.right) / 2.0, x, 3) << where;
          EXPECT_EQ(GetPositionX(), x) << where;
          break;
        case 2:
          EXPECT_LE(ink.box.right, x) << where;
          EXPECT_EQ(GetPositionX(), x - w) << where;
          break;
      }
      switch (v) {
        case 0:
          EXPECT_GE(ink.box.top, y) << where;
          break;
        case 1:
          EXPECT_LE(ink.box.bottom, y) << where;
          break;
        case 2:
          EXPECT_LT(ink.box.top, y) << where;
          EXPECT_LE(ink.box.bottom, y + 1) << where;
          break;
      }
      EXPECT_EQ(GetPositionY(), y) << where;
    }
  }
}

TEST_F(DrawingTest, BadAlignmentsAreRefused) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetTextAlignment(2, 1);
  for (auto [h, v] : {std::pair<uint16_t, uint16_t>{3, 0}, {0, 3}, {0xFFFF, 0}}) {
    SetTextAlignment(h, v);
    EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  }
  TextSettingsType settings;
  ReadTextSettings(settings);
  EXPECT_EQ(settings.AlignX, 2);
  EXPECT_EQ(settings.AlignY, 1);
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  EXPECT_EQ(graph_state::BufferDC.textAlign,
            raster::kAlignRight | raster::kAlignBottom | raster::kAlignUpdateCP);
  EXPECT_EQ(graph_state::WindowDC.textAlign, graph_state::BufferDC.textAlign);
}

TEST_F(DrawingTest, ConsecutiveTextsFollowEachOther) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SelectTextFont(4, 0, 16);
  ClearGraphWindow();
  DrawTextAt(5, 5, "Ahoj, ");
  DrawTextHere("svete");
  const std::vector<raster::Pixel> twoCalls = [] {
    std::vector<raster::Pixel> v;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 200; ++x) v.push_back(PagePixel(x, y));
    return v;
  }();
  const int16_t end = GetPositionX();
  ClearGraphWindow();
  DrawTextAt(5, 5, "Ahoj, svete");
  std::vector<raster::Pixel> oneCall;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 200; ++x) oneCall.push_back(PagePixel(x, y));
  EXPECT_EQ(twoCalls, oneCall);
  EXPECT_EQ(GetPositionX(), end);
}

TEST_F(DrawingTest, OpaqueModeFillsTheCellsAndTransparentLeavesTheGaps) {
  ASSERT_TRUE(OpenWindow(D8bit));
  for (bool opaque : {false, true}) {
    PaintPage(Blue);
    SetBackColor(Red);
    SetDrawColor(White);
    SetRasterMode(opaque ? 16 : 0);
    const int w = GetTextWidth("o o"), h = GetTextHeight("o o");
    DrawTextAt(10, 20, "o o");
    const raster::Rect cell{10, 20, 10 + w, 20 + h};
    const int white = CountPixels(White, cell);
    EXPECT_GT(white, 0);
    if (opaque) {
      EXPECT_EQ(white + CountPixels(Red, cell), w * h);
    } else {
      EXPECT_EQ(white + CountPixels(Blue, cell), w * h);
    }
    EXPECT_EQ(PageInk(Blue).count, PageInk(Blue, cell).count) << "nothing outside the cell";
  }
}

TEST_F(DrawingTest, SpacingAddsToEveryCharacterAndEveryBlank) {
  ASSERT_TRUE(OpenWindow(D8bit));
  const int plain = GetTextWidth("a b c");
  SetTextSpacing(3, 0);
  EXPECT_EQ(GetTextWidth("a b c"), plain + 5 * 3);
  SetTextSpacing(0, 4);
  EXPECT_EQ(GetTextWidth("a b c"), plain + 2 * 4);
  DrawTextAt(0, 0, "a b c");
  EXPECT_EQ(GetPositionX(), plain + 8);
  SetTextSpacing(0, 0);
  EXPECT_EQ(GetTextWidth("a b c"), plain);
  EXPECT_EQ(GetTextWidth(""), 0);
}

TEST_F(DrawingTest, CzechLettersAllHaveGlyphs) {
  ASSERT_TRUE(OpenWindow(D8bit));
  const std::string text = fonts::Utf8ToCp1250("Žluťoučký kůň");
  ASSERT_EQ(text.size(), 13u);
  for (uint16_t font : {0, 20}) {
    SelectTextFont(font, 0, 16);
    for (char c : text) {
      if (c == ' ') continue;
      EXPECT_TRUE(PageFont()->HasGlyph(uint8_t(c))) << "font " << font << " byte " << int(uint8_t(c));
      ClearGraphWindow();
      DrawTextAt(10, 10, std::string_view(&c, 1));
      EXPECT_GT(PageInk(Black).count, 4) << "font " << font << " byte " << int(uint8_t(c));
    }
    ClearGraphWindow();
    DrawTextAt(10, 10, text);
    EXPECT_EQ(GetPositionX(), 10 + GetTextWidth(text));
  }
}

TEST_F(DrawingTest, TextsAreCutAt255Bytes) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SelectTextFont(0, 0, 6);  // small enough for 255 characters to stay short of 16 bits
  const std::string longText(300, 'W');
  EXPECT_EQ(GetTextWidth(longText), GetTextWidth(longText.substr(0, 255)));
  EXPECT_GT(GetTextWidth(longText.substr(0, 255)), GetTextWidth(longText.substr(0, 254)));
  DrawTextAt(0, 0, longText);
  EXPECT_EQ(GetPositionX(), GetTextWidth(longText.substr(0, 255)));
}

TEST_F(DrawingTest, TextTakesTheDrawingColoursPaletteEntry) {
  ASSERT_TRUE(OpenWindow(D8bit));
  ClearGraphWindow();
  SetDrawColor(300);
  DrawTextAt(0, 0, "M");
  Ink ink = PageInk(Black);
  ASSERT_GT(ink.count, 0);
  EXPECT_EQ(CountPixels(44, ink.box), ink.count);
}

TEST_F(DrawingTest, DirectModeTextIsPureColour) {
  ASSERT_TRUE(OpenWindow(NoPalette));
  ClearGraphWindow();
  SetDrawColor(Red);
  SelectTextFont(20, 0, 24);
  DrawTextAt(0, 0, "IHl");
  const raster::Pixel background = PagePixel(200, 200);
  Ink ink = PageInk(background);
  ASSERT_GT(ink.count, 0);
  int pureRed = 0;
  for (int y = ink.box.top; y < ink.box.bottom; ++y)
    for (int x = ink.box.left; x < ink.box.right; ++x) pureRed += PageRgb(x, y) == Rgb(255, 0, 0);
  EXPECT_GT(pureRed, ink.count / 2) << "the stems of I, H and l are fully covered";
}

TEST_F(DrawingTest, Direction90DrawsUpwards) {
  ASSERT_TRUE(OpenWindow(D8bit));
  ClearGraphWindow();
  SelectTextFont(0, 90, 16);
  TextSettingsType settings;
  ReadTextSettings(settings);
  EXPECT_EQ(settings.TextAngle, 90);
  const int w = GetTextWidth("Hlasivo");
  DrawTextAt(100, 200, "Hlasivo");
  Ink ink = PageInk(Black);
  ASSERT_GT(ink.count, 0);
  EXPECT_GT(ink.box.Height(), 3 * ink.box.Width()) << "a column of letters, not a row";
  EXPECT_LE(ink.box.bottom, 201);
  EXPECT_GE(ink.box.top, 200 - w - 1);
  EXPECT_GE(ink.box.left, 99);
  EXPECT_LE(ink.box.right, 100 + 17);
  EXPECT_NEAR(GetPositionX(), 100, 1);
  EXPECT_NEAR(GetPositionY(), 200 - w, 1);
}

TEST_F(DrawingTest, AddTextFontFillsTheFreeSlotsThenFails) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SelectTextFont(6, 0, 16);
  EXPECT_EQ(TakeGraphError(), GraphInvalidFontNumber);
  EXPECT_EQ(AddTextFont("Hlasivo Nonexistent Sans"), -1);
  EXPECT_EQ(TakeGraphError(), GraphInvalidFont);
  EXPECT_EQ(AddTextFont(""), -1);
  EXPECT_EQ(TakeGraphError(), GraphInvalidFont);
  for (int16_t slot = 6; slot <= 14; ++slot) {
    EXPECT_EQ(AddTextFont("Arial"), slot);
    EXPECT_EQ(TakeGraphError(), GraphOk);
  }
  EXPECT_EQ(AddTextFont("Arial"), -1);
  EXPECT_EQ(TakeGraphError(), GraphInvalidFont);
  SelectTextFont(14, 0, 16);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  SelectTextFont(15, 0, 16);
  EXPECT_EQ(TakeGraphError(), GraphInvalidFontNumber);

  // The next opening installs the six standard faces only.
  CloseGraphWindow();
  ASSERT_TRUE(OpenWindow(D8bit));
  EXPECT_EQ(AddTextFont("Times New Roman"), 6);
  ShortText face;
  int16_t widest, height;
  bool trueType;
  ReadFontInfo(face, widest, height, trueType);
  EXPECT_EQ(face.View(), "Courier New");
  EXPECT_EQ(height, 16);
}

TEST_F(DrawingTest, TextOperationsWithTheWindowClosed) {
  ASSERT_TRUE(OpenWindow(D8bit));
  SetTextAlignment(1, 1);
  SetPosition(40, 50);
  CloseGraphWindow();

  DrawTextHere("abc");
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  DrawTextAt(1, 2, "abc");
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(GetPositionX(), 40);
  EXPECT_EQ(GetPositionY(), 50);
  EXPECT_EQ(GetTextWidth("abc"), 0);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(GetTextHeight("abc"), 0);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(AddTextFont("Arial"), -1);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  SelectTextFont(20, 0, 16);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  SetTextAlignment(0, 0);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  SetTextSpacing(1, 1);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  TextSettingsType settings;
  ReadTextSettings(settings);
  EXPECT_EQ(settings.FontNumber, 0);
  EXPECT_EQ(settings.AlignX, 1);
  EXPECT_EQ(settings.AlignY, 1);
}

// ---- The real window, as the X server shows it --------------------------------------------

// The window's picture as the X server has it (through ImageMagick's import), RGB bytes.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
    return Rgb(p[0], p[1], p[2]);
  }
  int Count(uint32_t color, raster::Rect r) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += At(x, y) == color;
    return n;
  }
};

bool TakeScreenshot(int width, int height, Screenshot& shot) {
  const std::string file = std::string(HLASIVO_BINARY_DIR) + "/text_test_shot.rgb";
  const std::string command = "import -window " + std::to_string(graph_state::NativeWindowId.load()) +
                              " -depth 8 rgb:" + file + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  std::ifstream in(file, std::ios::binary);
  shot.width = width;
  shot.height = height;
  shot.rgb.assign(size_t(width) * height * 3, 0);
  in.read(reinterpret_cast<char*>(shot.rgb.data()), std::streamsize(shot.rgb.size()));
  std::remove(file.c_str());
  return size_t(in.gcount()) == shot.rgb.size();
}

// Takes screenshots until `done` holds for one (the window thread presents within a few
// milliseconds, the X server a little later), or gives up after some seconds.
template <class Done>
bool ScreenshotUntil(Screenshot& shot, Done done) {
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (TakeScreenshot(640, 240, shot) && done(shot)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TEST_F(ScreenTest, YellowTextReachesTheScreenAndSurvivesAnExpose) {
  ASSERT_TRUE(OpenWindow(D8bit));
  ASSERT_NE(graph_state::NativeWindowId.load(), 0u);
  ClearGraphWindow();
  SetDrawColor(Yellow);
  const uint32_t yellow = Rgb(252, 252, 0);  // entry 44 of the standard palette
  SelectTextFont(20, 0, 16);
  DrawTextAt(20, 30, "Hlasivo");
  const raster::Rect first{20, 30, 20 + GetTextWidth("Hlasivo"), 30 + 16};
  Screenshot shot;
  EXPECT_TRUE(ScreenshotUntil(shot, [&](const Screenshot& s) { return s.Count(yellow, first) > 20; }))
      << "draw-through puts the glyphs on the screen";
  EXPECT_EQ(shot.Count(yellow, {0, 0, 640, 240}), shot.Count(yellow, first)) << "and nowhere else";

  // Drawn with the screen update off: on the page only, until the window is exposed and
  // repainted from the page.
  ScreenUpdate(UpdateOff);
  DrawTextAt(300, 150, "Hlasivo");
  const raster::Rect second{300, 150, 300 + GetTextWidth("Hlasivo"), 150 + 16};
  ASSERT_TRUE(TakeScreenshot(640, 240, shot));
  EXPECT_EQ(shot.Count(yellow, second), 0);
  const std::string id = std::to_string(graph_state::NativeWindowId.load());
  ASSERT_EQ(std::system(("timeout 10 xdotool windowunmap --sync " + id +
                         " && timeout 10 xdotool windowmap --sync " + id)
                            .c_str()),
            0);
  EXPECT_TRUE(ScreenshotUntil(shot, [&](const Screenshot& s) {
    return s.Count(yellow, second) > 20 && s.Count(yellow, first) > 20;
  })) << "the expose repaints both texts from the page";
}

}  // namespace

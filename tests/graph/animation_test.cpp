// Animation images: cutting a picture with its transparent colour, the eleven put modes, the
// restore of what a put covered, the viewport origin, and empty, freed and stale records.
#include <gtest/gtest.h>

#include <vector>

#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;

namespace {

std::vector<uint8_t> PageBytes() {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface* page = graph_state::BufferDC.SelectedSurface();
  return std::vector<uint8_t>(page->Bits(), page->Bits() + page->ByteSize());
}

// Vertical stripes of two colours over the whole page: a background that shows any mix-up.
void PaintStripes(uint32_t a, uint32_t b) {
  PaintPage(a);
  SelectFill(1, b);
  for (int16_t x = 0; x <= GetWindowMaxX(); x += 4) FillBox(x, 0, int16_t(x + 1), GetWindowMaxY());
}

// The sprite at page (200, 100): a 6 x 6 square of `transparent` with a red 2 x 2 centre.
void PaintSprite(uint32_t transparent) {
  SelectFill(1, transparent);
  FillBox(200, 100, 205, 105);
  SelectFill(1, Red);
  FillBox(202, 102, 203, 103);
}

class AnimationTest : public WindowTest {
 protected:
  void SetUp() override { ASSERT_TRUE(OpenWindow(NoPalette, 320, 200)); }
};

TEST_F(AnimationTest, TransparentPutShowsThePageAndRestoreUndoesIt) {
  PaintStripes(Green, Yellow);
  PaintSprite(Blue);
  AnimatType sprite;
  MakeAnimation(200, 100, 205, 105, Blue, sprite);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  ASSERT_NE(sprite.Image, 0u);
  std::vector<uint8_t> before = PageBytes();
  raster::Pixel under00 = PagePixel(10, 10), under11 = PagePixel(11, 11);

  PutAnimation(10, 10, sprite, 8);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageRgb(12, 12), Red);
  EXPECT_EQ(PageRgb(13, 13), Red);
  EXPECT_EQ(PagePixel(10, 10), under00);  // transparent: the stripes show through
  EXPECT_EQ(PagePixel(11, 11), under11);
  EXPECT_EQ(CountPixels(PagePixel(12, 12), {0, 0, 320, 200}), 4 + 4);  // sprite's centre and its source

  PutAnimation(10, 10, sprite, 10);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageBytes(), before);
  FreeAnimation(sprite);
}

TEST_F(AnimationTest, PutModesZeroToTen) {
  // Raw 0x00RRGGBB values of the picture's opaque pixels and of the page under them.
  const uint32_t S = 0x5A3C0F, D = 0x33CC55, M = 0xFFFFFF;
  auto ToColor = [](uint32_t raw) { return Rgb(raw >> 16, (raw >> 8) & 0xFF, raw & 0xFF); };
  struct Case {
    uint16_t mode;
    uint32_t opaque, transparent;  // expected raw values where the picture is opaque / transparent
  } cases[] = {
      {0, S, 0},                      // transparent pixels were made all-zero
      {1, S ^ D, D},
      {2, S | D, D},
      {3, S & D, 0},
      {4, ~S & M, M},
      {5, ~(S | D) & M, ~D & M},
      {6, (~S | D) & M, M},
      {7, S & ~D & M, 0},
      {8, S, D},
      {9, 0, M},                      // black silhouette on white
      {10, D, D},                     // the area the previous put saved
  };
  PaintPage(Black);
  SelectFill(1, Blue);
  FillBox(0, 0, 3, 3);
  SelectFill(1, ToColor(S));
  FillBox(0, 0, 1, 1);  // opaque top-left quarter, the rest transparent (blue)
  AnimatType sprite;
  MakeAnimation(0, 0, 3, 3, Blue, sprite);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  for (const Case& c : cases) {
    SelectFill(1, ToColor(D));
    FillBox(50, 50, 60, 60);
    if (c.mode == 10) {
      PutAnimation(52, 52, sprite, 0);  // fills the background with D, then covers it
      EXPECT_EQ(PagePixel(52, 52), S);
    }
    PutAnimation(52, 52, sprite, c.mode);
    EXPECT_EQ(TakeGraphError(), GraphOk) << "mode " << c.mode;
    EXPECT_EQ(PagePixel(52, 52), c.opaque) << "mode " << c.mode;
    EXPECT_EQ(PagePixel(55, 55), c.transparent) << "mode " << c.mode;
    EXPECT_EQ(PagePixel(56, 56), D) << "mode " << c.mode;  // outside the picture
  }
  std::vector<uint8_t> before = PageBytes();
  PutAnimation(52, 52, sprite, 11);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  EXPECT_EQ(PageBytes(), before);
  FreeAnimation(sprite);
}

TEST_F(AnimationTest, SecondPutWithoutRestoreSavesTheFirstImage) {
  PaintPage(Black);
  SelectFill(1, White);
  FillBox(0, 0, 1, 1);
  AnimatType sprite;
  MakeAnimation(0, 0, 1, 1, Black, sprite);
  PutAnimation(100, 100, sprite, 0);
  PutAnimation(101, 100, sprite, 0);  // overlaps the first by one column
  PutAnimation(101, 100, sprite, 10);
  EXPECT_EQ(PageRgb(100, 100), White);
  EXPECT_EQ(PageRgb(101, 100), White);  // the first image, saved by the second put
  EXPECT_EQ(PageRgb(102, 100), Black);
  FreeAnimation(sprite);
}

TEST_F(AnimationTest, ViewportOriginAndOnePixelCuts) {
  PaintStripes(Green, Yellow);
  SelectFill(1, Red);
  FillBox(50, 20, 50, 20);
  // (0, 0, 9, 9) in a viewport at (50, 20) is page (50, 20) to (59, 29).
  SetViewport(50, 20, 300, 190, false);
  AnimatType cut;
  MakeAnimation(0, 0, 9, 9, White, cut);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  SetViewport(0, 0, GetWindowMaxX(), GetWindowMaxY(), false);
  PutAnimation(200, 100, cut, 0);
  int mismatches = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) mismatches += PagePixel(50 + x, 20 + y) != PagePixel(200 + x, 100 + y);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(PageRgb(200, 100), Red);

  AnimatType dot;
  MakeAnimation(50, 20, 50, 20, White, dot);
  raster::Pixel right = PagePixel(11, 10), below = PagePixel(10, 11);
  PutAnimation(10, 10, dot, 0);
  EXPECT_EQ(PageRgb(10, 10), Red);
  EXPECT_EQ(PagePixel(11, 10), right);
  EXPECT_EQ(PagePixel(10, 11), below);
  FreeAnimation(cut);
  FreeAnimation(dot);
}

TEST_F(AnimationTest, EmptyFreedAndStaleRecords) {
  PaintPage(Black);
  AnimatType empty;
  PutAnimation(0, 0, empty, 0);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  MakeAnimation(5, 0, 4, 0, Black, empty);  // reversed
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  EXPECT_EQ(empty.Image, 0u);

  AnimatType a;
  MakeAnimation(0, 0, 3, 3, Black, a);
  AnimatType copy = a;
  FreeAnimation(a);
  EXPECT_EQ(a.Image, 0u);
  FreeAnimation(a);  // twice: nothing
  PutAnimation(0, 0, a, 0);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);

  // A new record may take the released bitmaps' places; the stale copy must not reach them.
  SelectFill(1, White);
  FillBox(0, 0, 3, 3);
  AnimatType b;
  MakeAnimation(0, 0, 3, 3, Black, b);
  PutAnimation(0, 0, copy, 0);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  FreeAnimation(copy);
  PutAnimation(20, 20, b, 0);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageRgb(21, 21), White);
  FreeAnimation(b);
}

TEST_F(AnimationTest, PaletteDriverTransparentPutAndRestore) {
  CloseGraphWindow();
  ASSERT_TRUE(OpenWindow(D8bit, 320, 200));
  PaintStripes(Green, Yellow);
  PaintSprite(Blue);
  AnimatType sprite;
  MakeAnimation(200, 100, 205, 105, Blue, sprite);
  std::vector<uint8_t> before = PageBytes();
  raster::Pixel under = PagePixel(30, 30);
  PutAnimation(30, 30, sprite, 8);
  EXPECT_EQ(PagePixel(32, 32), PagePixel(202, 102));
  EXPECT_EQ(PagePixel(30, 30), under);
  PutAnimation(30, 30, sprite, 10);
  EXPECT_EQ(PageBytes(), before);
  FreeAnimation(sprite);
}

TEST(AnimationClosedWindow, RefusedButFreeableAfterClose) {
  AnimatType sprite;
  MakeAnimation(0, 0, 3, 3, 0, sprite);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(sprite.Image, 0u);

  ASSERT_TRUE(OpenWindow(NoPalette, 320, 200));
  MakeAnimation(0, 0, 3, 3, 0, sprite);
  ASSERT_NE(sprite.Image, 0u);
  CloseGraphWindow();
  PutAnimation(0, 0, sprite, 0);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  FreeAnimation(sprite);
  EXPECT_EQ(sprite.Image, 0u);
  EXPECT_EQ(TakeGraphError(), GraphOk);  // FreeAnimation leaves GraphError alone
}

}  // namespace

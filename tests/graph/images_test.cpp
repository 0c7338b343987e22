// BMP images: ImageByteSize, CaptureImage's header and rows, PasteImage's raster operations,
// exact round trips under driver 9, and refusals of short buffers and malformed headers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t Le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

std::vector<uint8_t> Capture(int16_t x1, int16_t y1, int16_t x2, int16_t y2) {
  std::vector<uint8_t> image(ImageByteSize(x1, y1, x2, y2));
  CaptureImage(x1, y1, x2, y2, TImage{image.data(), uint32_t(image.size())});
  return image;
}

std::vector<uint8_t> PageBytes() {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface* page = graph_state::BufferDC.SelectedSurface();
  return std::vector<uint8_t>(page->Bits(), page->Bits() + page->ByteSize());
}

// A page of many different colours, so that a shifted or mixed-up pixel shows.
void PaintGradient() {
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) DrawPixel(int16_t(x), int16_t(y), Rgb(x * 3, y * 4, (x * y) & 0xFF));
}

class ImagesTest : public WindowTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenWindow(NoPalette, 320, 200));
    PaintPage(Black);
  }
};

TEST(ImageByteSize, FormulaRefusalsAndNoWindowNeeded) {
  ASSERT_FALSE(GraphWindowOpen());
  struct Case {
    int16_t x1, y1, x2, y2;
    uint32_t bytes;
    int16_t result;
  } cases[] = {
      {0, 0, 9, 9, 534, GraphOk},
      {0, 0, 0, 0, 78, GraphOk},
      {3, 4, 10, 4, 78, GraphOk},        // 8 wide: one group of 8 pixels
      {5, 0, 4, 0, 0, GraphInvalidParameter},
      {0, 5, 0, 4, 0, GraphInvalidParameter},
      // 65536 x 65536 needs more than 32 bits: refused rather than wrapped to a short size.
      {-32768, -32768, 32767, 32767, 0, GraphInvalidParameter},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ImageByteSize(c.x1, c.y1, c.x2, c.y2), c.bytes) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    EXPECT_EQ(TakeGraphError(), c.result);
  }
}

TEST_F(ImagesTest, CaptureWritesA24BitBottomUpBmp) {
  SetViewport(50, 20, 300, 190, false);
  DrawPixel(0, 0, Rgb(1, 2, 3));   // top left of the image
  DrawPixel(4, 2, Rgb(10, 20, 30));  // bottom right
  std::vector<uint8_t> image = Capture(0, 0, 4, 2);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  ASSERT_EQ(image.size(), 3u * 24 + 54);
  EXPECT_EQ(Le16(image, 0), 19778);  // "BM"
  EXPECT_EQ(Le32(image, 2), image.size());
  EXPECT_EQ(Le32(image, 10), 54u);
  EXPECT_EQ(Le32(image, 14), 40u);
  EXPECT_EQ(Le32(image, 18), 5u);
  EXPECT_EQ(Le32(image, 22), 3u);
  EXPECT_EQ(Le16(image, 26), 1);
  EXPECT_EQ(Le16(image, 28), 24);
  EXPECT_EQ(Le32(image, 30), 0u);
  // Rows of 5 pixels take 16 bytes; the bottom row comes first, blue-green-red.
  const size_t stride = 16;
  const uint8_t* bottom = image.data() + 54;
  const uint8_t* top = image.data() + 54 + 2 * stride;
  EXPECT_EQ(bottom[12], 30);
  EXPECT_EQ(bottom[13], 20);
  EXPECT_EQ(bottom[14], 10);
  EXPECT_EQ(top[0], 3);
  EXPECT_EQ(top[1], 2);
  EXPECT_EQ(top[2], 1);
}

TEST_F(ImagesTest, CaptureThenPasteReproducesPixelsExactly) {
  PaintGradient();
  // Odd width, so rows carry padding; the viewport origin applies to both operations.
  SetViewport(10, 5, 319, 199, false);
  std::vector<uint8_t> image = Capture(3, 2, 39, 30);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  PasteImage(150, 100, TImage{image.data(), uint32_t(image.size())}, 0);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  int mismatches = 0;
  for (int y = 0; y <= 28; ++y)
    for (int x = 0; x <= 36; ++x) mismatches += PagePixel(13 + x, 7 + y) != PagePixel(160 + x, 105 + y);
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(PagePixel(160 + 37, 105), 0u);  // nothing beyond the image
  EXPECT_EQ(PagePixel(160, 105 + 29), 0u);
}

TEST_F(ImagesTest, PasteModeOneTwiceRestoresThePage) {
  PaintGradient();
  std::vector<uint8_t> image = Capture(0, 0, 30, 20);
  std::vector<uint8_t> before = PageBytes();
  TImage view{image.data(), uint32_t(image.size())};
  PasteImage(20, 15, view, 1);
  EXPECT_NE(PageBytes(), before);
  PasteImage(20, 15, view, 1);
  EXPECT_EQ(PageBytes(), before);
}

TEST_F(ImagesTest, PasteModesPickTheirRasterOperations) {
  const uint32_t S = 0x5A3C0F, D = 0x33CC55;  // raw 0x00RRGGBB values
  struct Case {
    uint16_t mode;
    uint32_t expected;
  } cases[] = {
      {0, S},
      {1, S ^ D},
      {2, S | D},
      {3, S & D},
      {4, ~S & 0xFFFFFF},
      {5, ~(S | D) & 0xFFFFFF},
      {6, (~S | D) & 0xFFFFFF},
      {7, S & ~D & 0xFFFFFF},
  };
  auto ToColor = [](uint32_t raw) { return Rgb(raw >> 16, (raw >> 8) & 0xFF, raw & 0xFF); };
  SelectFill(1, ToColor(S));
  FillBox(0, 0, 3, 3);
  std::vector<uint8_t> image = Capture(0, 0, 3, 3);
  for (const Case& c : cases) {
    SelectFill(1, ToColor(D));
    FillBox(10, 10, 20, 20);
    PasteImage(12, 12, TImage{image.data(), uint32_t(image.size())}, c.mode);
    EXPECT_EQ(TakeGraphError(), GraphOk);
    EXPECT_EQ(PagePixel(13, 13), c.expected) << "mode " << c.mode;
    EXPECT_EQ(PagePixel(16, 16), D) << "mode " << c.mode;
  }
  PasteImage(12, 12, TImage{image.data(), uint32_t(image.size())}, 8);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
}

TEST_F(ImagesTest, ShortBuffersAndMalformedHeadersAreRefused) {
  PaintGradient();
  // Capture into memory shorter than ImageByteSize: refused, the memory untouched.
  std::vector<uint8_t> shortImage(ImageByteSize(0, 0, 9, 9) - 1, 0xAB);
  CaptureImage(0, 0, 9, 9, TImage{shortImage.data(), uint32_t(shortImage.size())});
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
  EXPECT_EQ(std::count(shortImage.begin(), shortImage.end(), 0xAB), long(shortImage.size()));
  CaptureImage(5, 0, 4, 0, TImage{shortImage.data(), uint32_t(shortImage.size())});
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);

  std::vector<uint8_t> good = Capture(0, 0, 9, 9);
  struct Case {
    const char* what;
    size_t at;        // field to spoil (byte offset), or SIZE_MAX for none
    uint32_t value;
    size_t size;      // bytes handed over
  } cases[] = {
      {"zero width", 18, 0, good.size()},
      {"negative width", 18, uint32_t(-10), good.size()},
      {"zero height", 22, 0, good.size()},
      {"unknown depth", 28, 7, good.size()},  // bits per pixel (and the low half of compression, 0)
      {"compressed", 30, 1, good.size()},
      {"rows beyond the buffer", 22, 100000, good.size()},
      {"huge width", 18, 0x7FFFFFFF, good.size()},
      {"info header too small", 14, 12, good.size()},
      {"buffer one byte shorter than the pixels", SIZE_MAX, 0, 54 + 10 * 32 - 1},
      {"buffer shorter than the header", SIZE_MAX, 0, 40},
  };
  std::vector<uint8_t> before = PageBytes();
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    if (c.at != SIZE_MAX) PutLe32(bad, c.at, c.value);
    // Exactly the bytes handed over exist, so a read beyond them is caught by the sanitizers.
    std::vector<uint8_t> exact(bad.begin(), bad.begin() + long(c.size));
    PasteImage(100, 100, TImage{exact.data(), uint32_t(exact.size())}, 0);
    EXPECT_EQ(TakeGraphError(), GraphInvalidParameter) << c.what;
    EXPECT_EQ(PageBytes(), before) << c.what;
  }
  PasteImage(0, 0, TImage{nullptr, 0}, 0);
  EXPECT_EQ(TakeGraphError(), GraphInvalidParameter);
}

TEST_F(ImagesTest, PasteAcceptsOtherBmpDepthsAndClipsAtThePageEdge) {
  // A 2 x 2 32-bit BMP made by hand: any valid BMP file image can be pasted.
  std::vector<uint8_t> bmp(54 + 16, 0);
  bmp[0] = 'B';
  bmp[1] = 'M';
  PutLe32(bmp, 2, uint32_t(bmp.size()));
  PutLe32(bmp, 10, 54);
  PutLe32(bmp, 14, 40);
  PutLe32(bmp, 18, 2);
  PutLe32(bmp, 22, 2);
  bmp[26] = 1;
  bmp[28] = 32;
  // Bottom row first: bottom-left red, top-right blue.
  const uint8_t px[16] = {0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0};
  std::memcpy(bmp.data() + 54, px, 16);
  PasteImage(5, 5, TImage{bmp.data(), uint32_t(bmp.size())}, 0);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PageRgb(5, 6), Rgb(255, 0, 0));
  EXPECT_EQ(PageRgb(6, 5), Rgb(0, 0, 255));
  // Partly off the page: the visible part only.
  PasteImage(319, 199, TImage{bmp.data(), uint32_t(bmp.size())}, 0);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  PasteImage(-1, 0, TImage{bmp.data(), uint32_t(bmp.size())}, 0);
  EXPECT_EQ(PageRgb(0, 0), Rgb(0, 0, 255));
}

TEST_F(ImagesTest, PaletteDriverCapturesColoursAndPastesThemBack) {
  CloseGraphWindow();
  ASSERT_TRUE(OpenWindow(D8bit, 320, 200));
  PaintPage(Black);
  const uint32_t colours[] = {Red, Yellow, Blue, White};
  for (int i = 0; i < 4; ++i) DrawPixel(int16_t(i), 0, colours[i]);
  std::vector<uint8_t> image = Capture(0, 0, 3, 0);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  uint16_t r, g, b;
  ColorToRGB(Yellow, r, g, b);
  EXPECT_EQ(image[54 + 3], b);
  EXPECT_EQ(image[54 + 4], g);
  EXPECT_EQ(image[54 + 5], r);
  PasteImage(10, 10, TImage{image.data(), uint32_t(image.size())}, 0);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(PageRgb(10 + i, 10), PageRgb(i, 0)) << i;
}

TEST(ImagesClosedWindow, CaptureAndPasteReportMinusOne) {
  ASSERT_FALSE(GraphWindowOpen());
  std::vector<uint8_t> image(534, 0);
  CaptureImage(0, 0, 9, 9, TImage{image.data(), uint32_t(image.size())});
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  PasteImage(0, 0, TImage{image.data(), uint32_t(image.size())}, 0);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
}

}  // namespace

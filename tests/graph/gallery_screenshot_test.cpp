// The gallery under a real X server: what the X server shows in the window, read back with
// ImageMagick's import, matches the drawing page pixel for pixel, so every figure reached the
// window through draw-through without any repaint asked for.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "examples/gallery_scene.h"
#include "tests/graph/drawing_fixture.h"

using namespace drawing_test;

namespace {

constexpr int kWidth = 640, kHeight = 480;

// The window's pixels as the X server has them, 3 bytes (red, green, blue) each; empty when
// the screenshot could not be taken.
std::vector<uint8_t> Screenshot(const std::string& title) {
  std::string file = std::string(HLASIVO_BINARY_DIR) + "/gallery_screenshot_test.rgb";
  std::remove(file.c_str());
  std::string command = "import -window \"$(xdotool search --name '^" + title + "$' | head -n 1)\" -depth 8 rgb:'" +
                        file + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Pixels whose screenshot colour equals the page's colour.
int MatchingPixels(const std::vector<uint8_t>& shot) {
  int same = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* p = shot.data() + (size_t(y) * kWidth + x) * 3;
      same += PageRgb(x, y) == Rgb(p[0], p[1], p[2]);
    }
  }
  return same;
}

TEST_F(ScreenTest, GalleryFiguresAppearInTheWindow) {
  const std::string title = "Hlasivo gallery test";
  SetGraphWindowSize(kWidth, kHeight);
  int16_t driver = NoPalette, mode = CustomMode;
  InitGraph(driver, mode, title);
  ASSERT_TRUE(GraphWindowOpen());
  EXPECT_EQ(gallery::DrawGallery(), GraphOk);

  // The page carries plenty of drawing.
  Ink ink = PageInk(0, {0, 0, kWidth, kHeight});
  EXPECT_GT(ink.count, kWidth * kHeight / 10);

  // The window thread presents within milliseconds; look again for a while before failing.
  std::vector<uint8_t> shot;
  int same = 0;
  for (int attempt = 0; attempt < 50; ++attempt) {
    shot = Screenshot(title);
    if (shot.size() == size_t(kWidth) * kHeight * 3) {
      same = MatchingPixels(shot);
      if (same == kWidth * kHeight) break;
    }
    WaitMilliseconds(100);
  }
  ASSERT_EQ(shot.size(), size_t(kWidth) * kHeight * 3) << "no screenshot of the window";
  EXPECT_EQ(same, kWidth * kHeight);
}

}  // namespace

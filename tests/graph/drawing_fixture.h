// Shared helpers of the colour, viewport and text tests: a real window per test (under Xvfb)
// and direct looks at the drawing page's pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>

#include "graph/drawing_state.h"
#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/raster/raster.h"
#include "tests/graph/x_server.h"

namespace drawing_test {

// Opens a window of a driver with a client area of width x height (mode 13).
inline ::testing::AssertionResult OpenWindow(int16_t driver, uint16_t width = 640, uint16_t height = 240) {
  SetGraphWindowSize(width, height);
  int16_t d = driver, m = CustomMode;
  InitGraph(d, m, "Hlasivo");
  int16_t result = TakeGraphError();
  // The OpenGL contexts are optional here; everything else must have worked.
  if (!GraphWindowOpen() || (result != GraphOk && result != GraphNoOpenGL))
    return ::testing::AssertionFailure() << "InitGraph(" << driver << ") gave " << result;
  return ::testing::AssertionSuccess();
}

// A test with a window that is closed again at its end, whatever happened.
class WindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (GraphWindowOpen()) CloseGraphWindow();
  }
};

// A window test that reads the screen: on the shared X server a window of a test running in
// parallel can lie over its window (and its closing exposes ours, which repaints it), so it
// gets an X server of its own. The server outlives the window, which TearDown closes.
class ScreenTest : public WindowTest {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Running()) << "Xvfb did not start"; }
  x_server::PrivateServer server_;
};

// The same, for tests run once per driver.
class DriverTest : public ::testing::TestWithParam<int16_t> {
 protected:
  void TearDown() override {
    if (GraphWindowOpen()) CloseGraphWindow();
  }
};

// The suites of the colour, viewport and text tests.
using DrawingTest = WindowTest;
using DrawingDriverTest = DriverTest;

// Raw value of a pixel of the drawing page (device coordinates): a palette index in palette
// mode, 0x00RRGGBB in direct mode.
inline raster::Pixel PagePixel(int x, int y) {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  return graph_state::BufferDC.SelectedSurface()->GetPixel(x, y);
}

// The RGB colour (red in the low byte) a pixel of the drawing page shows.
inline uint32_t PageRgb(int x, int y) {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface* page = graph_state::BufferDC.SelectedSurface();
  return page->PixelToRgb(page->GetPixel(x, y));
}

// Pixels of the drawing page inside `area` (device coordinates) whose raw value is not
// `background`: how many, and their bounding box.
struct Ink {
  int count = 0;
  raster::Rect box;
};
inline Ink PageInk(raster::Pixel background, raster::Rect area = {0, 0, 1 << 15, 1 << 15}) {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface* page = graph_state::BufferDC.SelectedSurface();
  area = area.Intersect(page->Bounds());
  Ink ink;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (page->GetPixel(x, y) == background) continue;
      if (ink.count++ == 0) ink.box = {x, y, x + 1, y + 1};
      ink.box = ink.box.Union({x, y, x + 1, y + 1});
    }
  }
  return ink;
}

// Counts the pixels of `area` (device coordinates) whose raw value is `value`.
inline int CountPixels(raster::Pixel value, raster::Rect area) {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface* page = graph_state::BufferDC.SelectedSurface();
  area = area.Intersect(page->Bounds());
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) n += page->GetPixel(x, y) == value;
  return n;
}

// Fills the whole page with one colour value through the library's own operations.
inline void PaintPage(uint32_t color) {
  SelectFill(1, color);
  FillBox(-1, -1, int16_t(GetWindowMaxX() + 1), int16_t(GetWindowMaxY() + 1));
}

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

}  // namespace drawing_test

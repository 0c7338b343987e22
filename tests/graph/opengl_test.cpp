// OpenGL contexts: InitGraph makes both, the page's context renders into the drawing page, the
// window's context reaches the window at the buffer swap, and without a window there is none.
#include <gtest/gtest.h>

#include "tests/graph/drawing_fixture.h"

#ifdef HLASIVO_HAVE_OSMESA
#include <GL/gl.h>
#endif

using namespace drawing_test;

namespace {

uint32_t WindowRgb(int x, int y) {
  std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
  const raster::Surface& s = graph_state::WindowSurface;
  return s.PixelToRgb(s.GetPixel(x, y));
}

#ifdef HLASIVO_HAVE_OSMESA
void ClearTo(float r, float g, float b) {
  glClearColor(r, g, b, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  glFinish();
}

TEST_F(WindowTest, PageContextClearsTheDrawingPage) {
  ASSERT_TRUE(OpenWindow(NoPalette, 320, 200));
  ASSERT_TRUE(OpenGLReady());
  PaintPage(Black);
  SetViewport(10, 10, 100, 100, true);
  SetPosition(5, 5);
  SelectOpenGLTarget(false);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  // Selecting a target leaves the viewport as it was and homes the position in it.
  ViewPortType view;
  ReadViewport(view);
  EXPECT_EQ(view.Left, 10);
  EXPECT_TRUE(view.Clipping);
  EXPECT_EQ(GetPositionX(), 0);

  ClearTo(1.0f, 0.0f, 1.0f);
  EXPECT_EQ(PageRgb(0, 0), Rgb(255, 0, 255));
  EXPECT_EQ(PageRgb(319, 199), Rgb(255, 0, 255));
  EXPECT_EQ(PagePixel(160, 100), 0xFF00FFu);  // no stray alpha in the page's pixel values
  // Rendering lands in the page only: the window shows it at the next repaint from the page.
  glViewport(0, 0, 320, 200);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 10, 10);  // OpenGL counts rows from the bottom
  ClearTo(0.0f, 1.0f, 0.0f);
  glDisable(GL_SCISSOR_TEST);
  EXPECT_EQ(PageRgb(0, 199), Rgb(0, 255, 0));
  EXPECT_EQ(PageRgb(0, 0), Rgb(255, 0, 255));
}

TEST_F(WindowTest, WindowContextShowsAtTheBufferSwap) {
  ASSERT_TRUE(OpenWindow(NoPalette, 320, 200));
  PaintPage(Black);
  SelectOpenGLTarget(true);
  ASSERT_EQ(TakeGraphError(), GraphOk);
  ClearTo(0.0f, 0.0f, 1.0f);
  // Drawn into the back buffer: neither the window nor the page has it yet.
  EXPECT_EQ(WindowRgb(50, 50), Rgb(0, 0, 0));
  EXPECT_EQ(PageRgb(50, 50), Rgb(0, 0, 0));
  ScreenUpdate(UpdateNow);
  EXPECT_EQ(WindowRgb(50, 50), Rgb(0, 0, 255));
  EXPECT_EQ(WindowRgb(319, 199), Rgb(0, 0, 255));
  EXPECT_EQ(PageRgb(50, 50), Rgb(0, 0, 0));
  // Back to the page, whose context keeps working after the switch and starts from the page's
  // picture; the window's picture is kept for the next time the window is the target.
  SelectFill(1, Red);
  FillBox(0, 0, 9, 9);
  SelectOpenGLTarget(false);
  glViewport(0, 0, 320, 200);
  glEnable(GL_SCISSOR_TEST);
  glScissor(100, 0, 10, 10);
  ClearTo(1.0f, 1.0f, 0.0f);
  glDisable(GL_SCISSOR_TEST);
  EXPECT_EQ(PageRgb(105, 195), Rgb(255, 255, 0));
  EXPECT_EQ(PageRgb(5, 5), Red);
  EXPECT_EQ(PageRgb(50, 50), Rgb(0, 0, 0));
  SelectOpenGLTarget(true);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 0, 10, 10);
  ClearTo(1.0f, 1.0f, 1.0f);
  glDisable(GL_SCISSOR_TEST);
  ScreenUpdate(UpdateNow);
  EXPECT_EQ(WindowRgb(5, 195), Rgb(255, 255, 255));
  EXPECT_EQ(WindowRgb(50, 50), Rgb(0, 0, 255));
}

TEST_F(WindowTest, PalettePageGetsTheColoursOpenGLDrew) {
  ASSERT_TRUE(OpenWindow(D8bit, 320, 200));
  ASSERT_TRUE(OpenGLReady());
  PaintPage(Black);
  SelectOpenGLTarget(false);
  glViewport(0, 0, 320, 200);
  glEnable(GL_SCISSOR_TEST);
  glScissor(0, 190, 20, 10);
  ClearTo(1.0f, 0.0f, 0.0f);
  glDisable(GL_SCISSOR_TEST);
  // Library drawing made meanwhile elsewhere on the page is not overwritten by the exchange.
  SelectFill(1, Yellow);
  FillBox(100, 100, 110, 110);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_EQ(PagePixel(105, 105), Yellow);
  SelectOpenGLTarget(false);
  EXPECT_EQ(PagePixel(5, 5), PagePixel(0, 0));
  uint16_t r, g, b;
  ColorToRGB(ColorFromRGB(255, 0, 0), r, g, b);
  EXPECT_EQ(PageRgb(5, 5), Rgb(r, g, b));
  EXPECT_EQ(PagePixel(105, 105), Yellow);
  EXPECT_EQ(PagePixel(50, 50), Black);
}
#endif

TEST_F(WindowTest, NoContextsWithoutAWindow) {
  ASSERT_TRUE(OpenWindow(NoPalette, 320, 200));
  CloseGraphWindow();
  EXPECT_FALSE(OpenGLReady());
  SelectOpenGLTarget(false);
  EXPECT_EQ(TakeGraphError(), GraphNoOpenGL);
  // A window opened again makes its contexts again.
  ASSERT_TRUE(OpenWindow(NoPalette, 200, 100));
#ifdef HLASIVO_HAVE_OSMESA
  EXPECT_TRUE(OpenGLReady());
  SelectOpenGLTarget(true);
  EXPECT_EQ(TakeGraphError(), GraphOk);
#endif
}

}  // namespace

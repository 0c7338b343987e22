// The window with a real X server (Xvfb): opening and closing, what the server reports about
// the window, keys typed into it, the window manager's close request, pages and screen
// updates, and the program's start and end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/window/sdl_window.h"
#include "x_server.h"

namespace {

using namespace std::chrono_literals;

// Waits (up to a generous limit, against a loaded machine) until `done` holds.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// What InitGraph gives when all went well: 0, or -9 while OpenGL contexts are not available.
int16_t ExpectedOpenResult() { return OpenGLReady() ? GraphOk : GraphNoOpenGL; }
::testing::AssertionResult Opened(int16_t result) {
  if (GraphWindowOpen() && result == ExpectedOpenResult()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "InitGraph gave " << result << " (" << window::LastOpenError() << ")";
}

int16_t Open(int16_t driver, int16_t mode, const char* caption, uint16_t width = 0, uint16_t height = 0) {
  if (width) SetGraphWindowSize(width, height);
  InitGraph(driver, mode, caption);
  return TakeGraphError();
}

uint64_t WindowId() { return graph_state::NativeWindowId; }

// Runs an X tool; the server now and then turns a connection away, so a failed start is tried
// again (the tools do nothing before they are connected).
int RunXTool(const std::string& command) {
  int status = -1;
  for (int attempt = 0; attempt < 5 && status != 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(20ms);
    status = std::system((command + " 2>/dev/null").c_str());
  }
  return status;
}

// Fills a device rectangle of the drawing page (and of the window, when drawing through).
bool Fill(raster::Rect r, raster::ColorRef color) {
  return graph_state::DrawThroughOperation([&](raster::DeviceContext& dc) { return dc.FillSolid(r, color); });
}

// The screen's pixel for an RGB colour value of the library (red in the low byte).
int64_t OnScreen(raster::ColorRef c) { return int64_t(raster::RedOf(c)) << 16 | raster::GreenOf(c) << 8 | raster::BlueOf(c); }

bool ScreenShows(int x, int y, raster::ColorRef color) {
  return WaitFor([&] { return x_server::ScreenPixel(WindowId(), x, y) == OnScreen(color); });
}

class GraphWindow : public ::testing::Test {
 protected:
  void TearDown() override {
    if (GraphWindowOpen()) CloseGraphWindow();
  }
};

// Tests that read the screen get an X server of their own.
class GraphWindowOnScreen : public GraphWindow {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Running()) << "no private X server"; }
  x_server::PrivateServer server_;
};

TEST_F(GraphWindow, TheReadersTwoWindowsOpenWithTheirSizeAndTitle) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Hlasivo", 360, 160)));
  ASSERT_TRUE(GraphWindowOpen());
  x_server::WindowFacts facts = x_server::DescribeWindow(WindowId());
  ASSERT_TRUE(facts.exists);
  EXPECT_TRUE(facts.viewable);
  EXPECT_EQ(facts.width, 360);
  EXPECT_EQ(facts.height, 160);
  EXPECT_EQ(facts.title, "Hlasivo");
  int screenWidth = 0, screenHeight = 0;
  ASSERT_TRUE(x_server::ScreenSize(screenWidth, screenHeight));
  graph_state::FrameMetrics frame = graph_state::LastFrameMetrics();
  EXPECT_EQ(facts.x, (screenWidth - 360 - frame.Width()) / 2 + frame.left) << "centred";
  EXPECT_EQ(facts.y, (screenHeight - 160 - frame.Height()) / 2 + frame.top) << "centred";
  int16_t w = 0, h = 0;
  GetScreenSize(w, h);
  EXPECT_EQ(w, screenWidth);
  EXPECT_EQ(h, screenHeight);

  EXPECT_EQ(graph_state::ClientMaxX, 359);
  EXPECT_EQ(graph_state::ClientMaxY, 159);
  EXPECT_EQ(std::string(GraphDriverName().View()), "D8bit - 256 colors");
  EXPECT_EQ(CurrentGraphMode(), 13);
  const uint64_t first = WindowId();

  CloseGraphWindow();
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_FALSE(GraphWindowOpen());
  EXPECT_FALSE(x_server::DescribeWindow(first).exists);
  // The last driver and mode are still reported after the close.
  EXPECT_EQ(std::string(GraphDriverName().View()), "D8bit - 256 colors");
  EXPECT_EQ(CurrentGraphMode(), 13);

  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Hlasivo", 640, 240)));
  facts = x_server::DescribeWindow(WindowId());
  EXPECT_EQ(facts.width, 640);
  EXPECT_EQ(facts.height, 240);
  EXPECT_EQ(facts.title, "Hlasivo");
  EXPECT_EQ(graph_state::BackBuffer[3].Width(), 640);
  EXPECT_EQ(graph_state::BackBuffer[3].Height(), 240);
}

TEST_F(GraphWindow, OpeningTwiceAndClosingTwice) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "First", 200, 100)));
  const uint64_t first = WindowId();
  EXPECT_EQ(Open(NoPalette, 1, "Second"), GraphGeneralError);
  EXPECT_TRUE(GraphWindowOpen());
  EXPECT_EQ(WindowId(), first);
  x_server::WindowFacts facts = x_server::DescribeWindow(first);
  EXPECT_EQ(facts.title, "First");
  EXPECT_EQ(facts.width, 200);
  EXPECT_EQ(std::string(GraphDriverName().View()), "D8bit - 256 colors");

  // Reopening while open is InitGraph while open.
  ReopenGraphWindow(1);
  EXPECT_EQ(TakeGraphError(), GraphGeneralError);

  CloseGraphWindow();
  EXPECT_EQ(TakeGraphError(), GraphOk);
  CloseGraphWindow();
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  LeaveGraphics();
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
}

TEST_F(GraphWindow, CaptionsAndReopening) {
  ASSERT_TRUE(Opened(Open(D4bit, CustomMode, "", 120, 80)));
  EXPECT_EQ(x_server::DescribeWindow(WindowId()).title, "Graph Window");
  CloseGraphWindow();
  ASSERT_TRUE(Opened(Open(D4bit, CustomMode, "A much longer caption")));
  CloseGraphWindow();
  ASSERT_TRUE(Opened(Open(D4bit, CustomMode, "Short")));
  EXPECT_EQ(x_server::DescribeWindow(WindowId()).title, "Short");
  CloseGraphWindow();

  // Reopening takes the last driver and caption with a new mode.
  ReopenGraphWindow(1);
  EXPECT_EQ(TakeGraphError(), ExpectedOpenResult());
  ASSERT_TRUE(GraphWindowOpen());
  x_server::WindowFacts facts = x_server::DescribeWindow(WindowId());
  EXPECT_EQ(facts.title, "Short");
  EXPECT_EQ(facts.width, 320);
  EXPECT_EQ(facts.height, 200);
  EXPECT_EQ(CurrentGraphMode(), 1);
  EXPECT_EQ(graph_state::BitsPerPixel, 4);
}

TEST_F(GraphWindow, CodePage1250CaptionReachesTheServerAsItsCharacters) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "\xC8" "te\x9A" "e", 200, 100)));  // "Čteše"
  // The server holds the title in its own encoding; the characters must have made it there.
  x_server::WindowFacts facts = x_server::DescribeWindow(WindowId());
  EXPECT_FALSE(facts.title.empty());
  EXPECT_NE(facts.title.find("te"), std::string::npos) << facts.title;
}

TEST_F(GraphWindow, PagesAndPaletteOfEachDriver) {
  struct Case {
    int16_t driver;
    int bits;  // 0: the desktop's depth
    size_t tableSize;
  };
  const Case cases[] = {{D1bit, 1, 2}, {D4bit, 4, 16}, {D8bit, 8, 256}, {NoPalette, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.driver);
    ASSERT_TRUE(Opened(Open(c.driver, CustomMode, "Pages", 100, 50)));
    EXPECT_EQ(graph_state::PaletteMode, c.tableSize != 0);
    EXPECT_EQ(graph_state::GraphPalette.size(), c.tableSize);
    EXPECT_EQ(graph_state::PageColorTable.size(), c.tableSize);
    for (const raster::Surface& page : graph_state::BackBuffer) {
      EXPECT_EQ(page.Width(), 100);
      EXPECT_EQ(page.Height(), 50);
      if (c.bits) EXPECT_EQ(page.BitsPerPixel(), c.bits);
      else EXPECT_GE(page.BitsPerPixel(), 16);
      EXPECT_EQ(page.ColorTable().size(), c.tableSize);
    }
    EXPECT_EQ(graph_state::WindowSurface.BitsPerPixel(), 32);
    EXPECT_EQ(graph_state::BufferDC.SelectedSurface(), &graph_state::BackBuffer[0]);
    CloseGraphWindow();
    // Everything the window had is released with it.
    EXPECT_FALSE(graph_state::PaletteMode);
    EXPECT_TRUE(graph_state::GraphPalette.empty());
    EXPECT_TRUE(graph_state::PageColorTable.empty());
    EXPECT_EQ(graph_state::BackBuffer[0].Width(), 0);
    EXPECT_EQ(graph_state::BufferDC.SelectedSurface(), nullptr);
  }
}

TEST_F(GraphWindow, DetectedDriverOpensASystemSizedWindowWithoutPalette) {
  int16_t driver = DetectDriver, mode = 4;
  InitGraph(driver, mode, "Detected");
  ASSERT_TRUE(Opened(TakeGraphError()));
  EXPECT_EQ(driver, 9);
  EXPECT_EQ(mode, 10);
  EXPECT_FALSE(graph_state::PaletteMode);
  x_server::WindowFacts facts = x_server::DescribeWindow(WindowId());
  EXPECT_GT(facts.width, 0);
  // The pages take the client size the window really got.
  EXPECT_EQ(graph_state::BackBuffer[0].Width(), facts.width);
  EXPECT_EQ(graph_state::BackBuffer[0].Height(), facts.height);
  EXPECT_EQ(graph_state::ClientMaxX, facts.width - 1);
}

TEST_F(GraphWindow, InvalidDriversModesAndSizesOpenNothing) {
  struct Case {
    int16_t driver, mode;
    uint16_t width, height;
    int16_t error;
  };
  const Case cases[] = {
      {5, 1, 0, 0, GraphInvalidDriver}, {-1, 1, 0, 0, GraphInvalidDriver},
      {3, 9, 0, 0, GraphInvalidMode},   {3, 0, 0, 0, GraphInvalidMode},
      {3, 14, 0, 0, GraphInvalidMode},  {5, 14, 0, 0, GraphInvalidMode},
      {3, 13, 5000, 100, GraphInvalidMode},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Open(c.driver, c.mode, "Bad", c.width, c.height), c.error) << c.driver << "/" << c.mode;
    EXPECT_FALSE(GraphWindowOpen());
    EXPECT_EQ(WindowId(), 0u);
  }
  // And the library still opens a window afterwards.
  EXPECT_TRUE(Opened(Open(D8bit, CustomMode, "Good", 100, 100)));
}

TEST_F(GraphWindow, OperationsOnAClosedWindowReportAndDoNothing) {
  ASSERT_FALSE(GraphWindowOpen());
  SetDrawingPage(1);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  SetDisplayPage(1);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  ScreenUpdate(UpdateNow);
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_FALSE(Fill({0, 0, 10, 10}, 0));
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  EXPECT_EQ(ReadKeyCode(), 0);
  SelectOpenGLTarget(true);
  EXPECT_EQ(TakeGraphError(), GraphNoOpenGL);
}

TEST_F(GraphWindow, KeysTypedIntoTheWindowArriveAsCodesInOrder) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Keys", 200, 100)));
  std::string command = "xdotool key --window " + std::to_string(WindowId()) +
                        " space Return Escape a F1 alt+d ctrl+a shift+F2 BackSpace Tab";
  ASSERT_EQ(RunXTool(command), 0);
  const std::vector<int> expected = {32, 13, 27, 'a', 0, 59, 0, 32, 1, 0, 85, 8, 9};
  std::vector<int> got;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (!WaitFor([] { return KeyWaiting(); })) break;
    got.push_back(ReadKeyCode());
  }
  EXPECT_EQ(got, expected);
  EXPECT_FALSE(KeyWaiting());
}

TEST_F(GraphWindow, TypedCharactersArriveInCodePage1250) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Chars", 200, 100)));
  // ř and € are in the code page; ≠ is not and must not be queued. xdotool types keys the
  // keyboard map lacks by mapping them for a moment: a key can overtake its own mapping and
  // arrive as nothing, so such a key is typed again until it arrives. The shift level it
  // leaves may change the case of a letter: either case is the right character here.
  const std::string window = " --window " + std::to_string(WindowId()) + " ";
  struct Typed {
    const char* keysym;
    std::vector<int> accepted;
  };
  for (const Typed& t : {Typed{"rcaron", {0xF8, 0xD8}}, Typed{"EuroSign", {0x80}}}) {
    bool arrived = false;
    for (int attempt = 0; attempt < 3 && !arrived; ++attempt) {
      ASSERT_EQ(RunXTool("xdotool key" + window + t.keysym), 0);
      arrived = WaitFor([] { return KeyWaiting(); }, 3s);
    }
    ASSERT_TRUE(arrived) << t.keysym;
    int code = ReadKeyCode();
    EXPECT_NE(std::find(t.accepted.begin(), t.accepted.end(), code), t.accepted.end()) << t.keysym << " gave " << code;
  }
  ASSERT_EQ(RunXTool("xdotool key" + window + "notequal z"), 0);
  ASSERT_TRUE(WaitFor([] { return KeyWaiting(); }));
  int code = ReadKeyCode();
  EXPECT_TRUE(code == 'z' || code == 'Z') << "nothing for the character outside the code page, got " << code;
}

TEST_F(GraphWindow, NewWindowStartsWithAnEmptyQueue) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Keys", 200, 100)));
  std::string command = "xdotool key --window " + std::to_string(WindowId()) + " x y";
  ASSERT_EQ(RunXTool(command), 0);
  ASSERT_TRUE(WaitFor([] { return KeyWaiting(); }));
  CloseGraphWindow();
  // The keys outlive the window, but ReadKeyCode no longer takes them.
  EXPECT_TRUE(KeyWaiting());
  EXPECT_EQ(ReadKeyCode(), 0);
  EXPECT_TRUE(KeyWaiting());
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Keys", 200, 100)));
  EXPECT_FALSE(KeyWaiting());
}

TEST_F(GraphWindowOnScreen, CloseRequestQueuesAltF4AndTheWindowStays) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Close me", 200, 100)));
  EXPECT_FALSE(CloseRequested());
  const uint64_t id = WindowId();
  // A ReadKeyCode already waiting returns the close as 0, then 107.
  std::thread windowManager([id] {
    std::this_thread::sleep_for(200ms);
    x_server::SendDeleteWindow(id);
  });
  EXPECT_EQ(ReadKeyCode(), 0);
  EXPECT_EQ(ReadKeyCode(), 107);
  windowManager.join();
  EXPECT_TRUE(CloseRequested());
  EXPECT_TRUE(GraphWindowOpen());
  EXPECT_TRUE(x_server::DescribeWindow(id).viewable);
  // The window keeps working.
  EXPECT_TRUE(Fill({0, 0, 20, 20}, raster::MakeRgb(0, 0, 255)));
  EXPECT_TRUE(ScreenShows(5, 5, raster::MakeRgb(0, 0, 255)));

  CloseGraphWindow();
  EXPECT_TRUE(CloseRequested()) << "until the next InitGraph";
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Again", 200, 100)));
  EXPECT_FALSE(CloseRequested());
}

TEST_F(GraphWindowOnScreen, DrawingThroughReachesTheScreen) {
  ASSERT_TRUE(Opened(Open(NoPalette, CustomMode, "Draw", 200, 100)));
  const raster::ColorRef red = raster::MakeRgb(255, 0, 0), green = raster::MakeRgb(0, 255, 0);
  EXPECT_TRUE(Fill({10, 10, 30, 30}, red));
  EXPECT_TRUE(Fill({150, 60, 200, 100}, green));
  EXPECT_TRUE(ScreenShows(10, 10, red));
  EXPECT_TRUE(ScreenShows(29, 29, red));
  EXPECT_TRUE(ScreenShows(199, 99, green));
  EXPECT_EQ(x_server::ScreenPixel(WindowId(), 30, 30), 0) << "right and bottom edges excluded";
}

TEST_F(GraphWindowOnScreen, APageDrawnOffScreenShowsOnlyWithSetDisplayPage) {
  ASSERT_TRUE(Opened(Open(NoPalette, CustomMode, "Pages", 200, 100)));
  const raster::ColorRef red = raster::MakeRgb(255, 0, 0), green = raster::MakeRgb(0, 255, 0);
  SetDrawingPage(1);
  EXPECT_FALSE(graph_state::DrawThrough);
  EXPECT_TRUE(Fill({0, 0, 100, 100}, red));
  // Drawing through on page 0 afterwards: once that is on screen, so would the red be.
  SetDrawingPage(0);
  EXPECT_TRUE(Fill({150, 0, 200, 10}, green));
  ASSERT_TRUE(ScreenShows(160, 5, green));
  EXPECT_EQ(x_server::ScreenPixel(WindowId(), 50, 50), 0);

  SetDisplayPage(1);
  EXPECT_EQ(TakeGraphError(), GraphOk);
  EXPECT_TRUE(ScreenShows(50, 50, red));
  EXPECT_TRUE(ScreenShows(160, 5, 0)) << "page 1 has no green";

  // Page numbers beyond 3 mean page 0.
  SetDisplayPage(7);
  EXPECT_EQ(graph_state::DisplayPage.load(), 0);
  EXPECT_TRUE(ScreenShows(50, 50, 0));
  SetDrawingPage(5);
  EXPECT_EQ(graph_state::DrawingPage.load(), 0);
  EXPECT_EQ(graph_state::BufferDC.SelectedSurface(), &graph_state::BackBuffer[0]);
  EXPECT_TRUE(graph_state::DrawThrough);
}

TEST_F(GraphWindowOnScreen, UpdateOffKeepsTheScreenUntilUpdateOnOrARepaint) {
  ASSERT_TRUE(Opened(Open(NoPalette, CustomMode, "Update", 200, 100)));
  const raster::ColorRef blue = raster::MakeRgb(0, 0, 255), white = raster::MakeRgb(255, 255, 255);
  ScreenUpdate(UpdateOff);
  EXPECT_FALSE(graph_state::DrawThrough);
  EXPECT_TRUE(Fill({0, 0, 50, 50}, blue));
  std::this_thread::sleep_for(100ms);  // many present intervals
  EXPECT_EQ(x_server::ScreenPixel(WindowId(), 10, 10), 0);

  // Uncovering the window repaints it from the display page, drawing since UpdateOff included.
  std::string id = std::to_string(WindowId());
  ASSERT_EQ(RunXTool("xdotool windowunmap --sync " + id + " windowmap --sync " + id), 0);
  EXPECT_TRUE(ScreenShows(10, 10, blue));

  EXPECT_TRUE(Fill({100, 0, 150, 50}, white));
  ScreenUpdate(UpdateOn);
  EXPECT_TRUE(graph_state::DrawThrough);
  EXPECT_TRUE(ScreenShows(120, 10, white));
  ScreenUpdate(UpdateOn);  // already on: nothing changes
  EXPECT_EQ(TakeGraphError(), GraphOk);
  ScreenUpdate(42);
  EXPECT_TRUE(graph_state::DrawThrough);
}

TEST_F(GraphWindowOnScreen, PalettePagesAreShownThroughTheirColourTable) {
  ASSERT_TRUE(Opened(Open(D8bit, CustomMode, "Palette", 100, 100)));
  {
    std::lock_guard<std::recursive_mutex> lock(graph_state::DrawingLock);
    graph_state::GraphPalette[7] = {0, 200, 100, 0};  // blue 0, green 200, red 100
    graph_state::PageColorTable[7] = graph_state::GraphPalette[7];
  }
  SetDrawingPage(0);  // loads the table into the page
  EXPECT_TRUE(Fill({0, 0, 100, 100}, raster::PaletteIndex(7)));
  EXPECT_EQ(graph_state::BackBuffer[0].GetPixel(50, 50), 7u);
  EXPECT_TRUE(ScreenShows(50, 50, raster::MakeRgb(100, 200, 0)));
}

TEST(ToneOutput, BeepToneWritesASineOfThatFrequency) {
  struct Case {
    uint16_t frequency, duration;
  };
  for (const Case& c : {Case{440, 250}, Case{1000, 200}}) {
    SCOPED_TRACE(c.frequency);
    std::string file = std::string(HLASIVO_BINARY_DIR) + "/beep_" + std::to_string(c.frequency) + ".raw";
    std::remove(file.c_str());
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    BeepTone(c.frequency, c.duration);
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_AUDIODRIVER");

    std::ifstream in(file, std::ios::binary);
    std::vector<int16_t> samples;
    int16_t s;
    while (in.read(reinterpret_cast<char*>(&s), sizeof s)) samples.push_back(s);
    ASSERT_FALSE(samples.empty());
    int crossings = 0, loud = 0, peak = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
      if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
      loud += std::abs(samples[i]) > 1000;
      peak = std::max(peak, std::abs(int(samples[i])));
    }
    // Two crossings per period over the tone's length (48000 samples per second).
    const double expected = 2.0 * c.frequency * c.duration / 1000.0;
    EXPECT_NEAR(crossings, expected, expected * 0.05);
    EXPECT_GT(peak, 8000);
    EXPECT_NEAR(loud / 48000.0 * 1000.0, c.duration * 0.9, c.duration * 0.1) << "milliseconds of sound";
    std::remove(file.c_str());
  }
  // Outside the range of a tone nothing is played.
  BeepTone(20, 100);
  BeepTone(440, 0);
}

// ---- The program's start and end, each in a fresh process ----

TEST(GraphProgram, StateBeforeTheFirstInitGraph) {
  EXPECT_EQ(child_process::RunChildTest("GraphProgramChild.StateBeforeTheFirstInitGraph"), 0);
}

TEST(GraphProgramChild, StateBeforeTheFirstInitGraph) {
  SKIP_UNLESS_CHILD();
  EXPECT_EQ(CurrentGraphMode(), -1);
  EXPECT_EQ(std::string(GraphDriverName().View()), "no graphics driver");
  EXPECT_FALSE(GraphWindowOpen());
  EXPECT_FALSE(CloseRequested());
  EXPECT_EQ(graph_state::KeyboardHook.load(), &graph_state::KeyboardMessageHandler);
  ReopenGraphWindow(1);
  EXPECT_EQ(TakeGraphError(), GraphGeneralError);
  EXPECT_FALSE(GraphWindowOpen());
}

TEST(GraphProgram, WithoutADisplayInitGraphFailsAndALaterOneWorks) {
  EXPECT_EQ(child_process::RunChildTest("GraphProgramChild.WithoutADisplay",
                                        {"HLASIVO_SAVED_DISPLAY=" + std::string(getenv("DISPLAY") ? getenv("DISPLAY") : "")},
                                        {"DISPLAY", "WAYLAND_DISPLAY"}, 60),
            0);
}

TEST(GraphProgramChild, WithoutADisplay) {
  SKIP_UNLESS_CHILD();
  SetGraphWindowSize(360, 160);
  int16_t driver = D8bit, mode = CustomMode;
  InitGraph(driver, mode, "Hlasivo");
  EXPECT_EQ(TakeGraphError(), GraphWindowFailed);
  EXPECT_FALSE(GraphWindowOpen());
  CloseGraphWindow();
  EXPECT_EQ(TakeGraphError(), GraphNotInitialized);
  // Bad arguments are still judged as such.
  driver = 5;
  mode = 1;
  InitGraph(driver, mode, "Hlasivo");
  EXPECT_EQ(TakeGraphError(), GraphInvalidDriver);

  const char* saved = getenv("HLASIVO_SAVED_DISPLAY");
  ASSERT_TRUE(saved && *saved);
  setenv("DISPLAY", saved, 1);
  driver = D8bit;
  mode = CustomMode;
  InitGraph(driver, mode, "Hlasivo");
  EXPECT_EQ(TakeGraphError(), ExpectedOpenResult());
  EXPECT_TRUE(GraphWindowOpen());
  CloseGraphWindow();
}

TEST(GraphProgram, AWindowStillOpenAtTheEndIsClosed) {
  EXPECT_EQ(child_process::RunChildTest("GraphProgramChild.EndsWithTheWindowOpen"), 7);
}

void FailIfStillOpen() {
  if (GraphWindowOpen()) _exit(41);
}

TEST(GraphProgramChild, EndsWithTheWindowOpen) {
  SKIP_UNLESS_CHILD();
  // Registered before the library's own handler, so it runs after it.
  std::atexit(FailIfStillOpen);
  int16_t driver = D8bit, mode = CustomMode;
  SetGraphWindowSize(200, 100);
  InitGraph(driver, mode, "Ending");
  ASSERT_TRUE(GraphWindowOpen());
  std::exit(7);  // as a failed set-up ends the program
}

}  // namespace

// The window library's fixed rules, without a window: result codes and their texts, driver
// and mode names, and the geometry and fit rules against screens of several sizes.
#include <gtest/gtest.h>

#include <string>

#include "graph/graph.h"
#include "graph/graph_state.h"

namespace {

using graph_state::ComputeWindowGeometry;
using graph_state::FrameMetrics;
using graph_state::WindowGeometry;
using graph_state::WindowStyleType;

TEST(ResultCodes, TextsOfEveryCode) {
  struct Case {
    int16_t code;
    const char* text;
  };
  const Case cases[] = {
      {0, ""},
      {-1, "Error: Graphics window not initialized. Use InitGraph"},
      {-2, "Error: Invalid graphics driver"},
      {-3, "Error: Invalid graphics mode"},
      {-4, "Error: Creation of graphics window failed"},
      {-5, "Error: Invalid font selection"},
      {-6, "Error: Invalid font number"},
      {-7, "Error: Invalid parameter value"},
      {-8, "Error: No palette available. Change graphics driver"},
      {-9, "Error: OpenGL driver not initialized"},
      {-10, "Error: General graphics error"},
      {5, "Error: Unrecognized error code"},
      {-11, "Error: Unrecognized error code"},
      {32767, "Error: Unrecognized error code"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::string(GraphErrorText(c.code).View()), c.text) << c.code;
}

TEST(ResultCodes, TakeGraphErrorReturnsTheCodeOnce) {
  graph_state::GraphError = -7;
  EXPECT_EQ(TakeGraphError(), -7);
  EXPECT_EQ(TakeGraphError(), 0);
}

TEST(ModeNames, NamedModesCarryTheSuffixAndOthersAreInvalid) {
  const char* const names[] = {nullptr,        "320 x 200",  "640 x 200",   "640 x 350",
                               "640 x 480",    "720 x 350",  "800 x 600",   "1024 x 768",
                               "1280 x 1024",  nullptr,      "Windows default", "Maximized",
                               "Full screen",  "Custom"};
  for (int16_t mode = 1; mode <= 13; ++mode) {
    std::string expected = names[mode] ? std::string(names[mode]) + " (VESA)" : "invalid graphics mode";
    EXPECT_EQ(std::string(GraphModeName(mode).View()), expected) << mode;
  }
  for (int16_t mode : {int16_t(0), int16_t(-1), int16_t(14), int16_t(-32768), int16_t(32767)})
    EXPECT_EQ(std::string(GraphModeName(mode).View()), "invalid graphics mode") << mode;
  EXPECT_EQ(HighestGraphMode(), 12);
}

TEST(DriverNames, NameFollowsTheDriverInUse) {
  const int16_t saved = graph_state::CurrentDriver;
  struct Case {
    int16_t driver;
    const char* name;
  };
  const Case cases[] = {{1, "D1bit - 2 colors"}, {2, "D4bit - 16 colors"}, {3, "D8bit - 256 colors"},
                        {9, "NoPalette - all colors"}, {-1, "no graphics driver"}, {5, "no graphics driver"}};
  for (const Case& c : cases) {
    graph_state::CurrentDriver = c.driver;
    EXPECT_EQ(std::string(GraphDriverName().View()), c.name) << c.driver;
  }
  graph_state::CurrentDriver = saved;
}

TEST(DriverNames, DetectGivesNoPaletteWithTheDefaultMode) {
  int16_t driver = 1, mode = 4;
  DetectGraphDriver(driver, mode);
  EXPECT_EQ(driver, 9);
  EXPECT_EQ(mode, 10);
}

// ---- Geometry and fit rules ----

constexpr FrameMetrics kFrame{3, 26, 3, 3};  // a typical framed window: 6 x 29 in all
constexpr FrameMetrics kNoFrame{};

struct GeometryCase {
  const char* what;
  int16_t driver, mode;
  int32_t screenWidth, screenHeight;
  FrameMetrics frame;
  int32_t customWidth, customHeight;
  // Expected:
  int16_t error;
  WindowStyleType style;
  int32_t width, height;  // outer size
};

constexpr auto F = WindowStyleType::Framed;
constexpr auto B = WindowStyleType::Borderless;

const GeometryCase kGeometryCases[] = {
    // Fixed modes on a large screen: framed, outer = client + frame.
    {"mode 1", 3, 1, 1920, 1080, kFrame, 0, 0, 0, F, 326, 229},
    {"mode 2", 3, 2, 1920, 1080, kFrame, 0, 0, 0, F, 646, 229},
    {"mode 3", 3, 3, 1920, 1080, kFrame, 0, 0, 0, F, 646, 379},
    {"mode 4", 3, 4, 1920, 1080, kFrame, 0, 0, 0, F, 646, 509},
    {"mode 5", 3, 5, 1920, 1080, kFrame, 0, 0, 0, F, 726, 379},
    {"mode 6", 3, 6, 1920, 1080, kFrame, 0, 0, 0, F, 806, 629},
    {"mode 7", 3, 7, 1920, 1080, kFrame, 0, 0, 0, F, 1030, 797},
    {"mode 8 on 1920 x 1080", 3, 8, 1920, 1080, kFrame, 0, 0, 0, F, 1286, 1053},
    {"mode 8 on 1280 x 1024: only the client area fits", 3, 8, 1280, 1024, kFrame, 0, 0, 0, B, 1280, 1024},
    {"mode 8 on 1024 x 768 does not fit", 3, 8, 1024, 768, kFrame, 0, 0, -3, F, 0, 0},
    {"mode 4 on 640 x 480: borderless", 3, 4, 640, 480, kFrame, 0, 0, 0, B, 640, 480},
    {"mode 4 on 640 x 480 without a frame: framed", 3, 4, 640, 480, kNoFrame, 0, 0, 0, F, 640, 480},
    {"mode 4 one pixel too wide for the frame", 3, 4, 645, 600, kFrame, 0, 0, 0, B, 640, 480},
    {"mode 4 exactly framed", 3, 4, 646, 509, kFrame, 0, 0, 0, F, 646, 509},
    // Screen-dependent modes.
    {"mode 10: the system sizes it", 9, 10, 1920, 1080, kFrame, 0, 0, 0, F, 0, 0},
    {"mode 11: framed, covering the screen", 3, 11, 1920, 1080, kFrame, 0, 0, 0, F, 1920, 1080},
    {"mode 11 on a small screen", 3, 11, 800, 600, kFrame, 0, 0, 0, F, 800, 600},
    {"mode 12: borderless screen size", 3, 12, 1920, 1080, kFrame, 0, 0, 0, B, 1920, 1080},
    {"mode 12 without a frame is framed", 3, 12, 1024, 768, kNoFrame, 0, 0, 0, F, 1024, 768},
    // Custom size.
    {"mode 13: 360 x 160", 3, 13, 1280, 1024, kFrame, 360, 160, 0, F, 366, 189},
    {"mode 13: 640 x 240", 3, 13, 1280, 1024, kNoFrame, 640, 240, 0, F, 640, 240},
    {"mode 13 as large as the screen", 3, 13, 1280, 1024, kFrame, 1280, 1024, 0, B, 1280, 1024},
    {"mode 13 wider than the screen", 3, 13, 1280, 1024, kFrame, 1281, 100, -3, F, 0, 0},
    {"mode 13 of 65535 x 65535", 3, 13, 1280, 1024, kFrame, 65535, 65535, -3, F, 0, 0},
    {"mode 13 before any size: an empty client area", 3, 13, 1280, 1024, kFrame, 0, 0, 0, F, 6, 29},
    // Invalid modes: -3, also with an invalid driver.
    {"mode 9", 3, 9, 1920, 1080, kFrame, 0, 0, -3, F, 0, 0},
    {"mode 0", 3, 0, 1920, 1080, kFrame, 0, 0, -3, F, 0, 0},
    {"mode 14", 3, 14, 1920, 1080, kFrame, 0, 0, -3, F, 0, 0},
    {"mode -1", 3, -1, 1920, 1080, kFrame, 0, 0, -3, F, 0, 0},
    {"mode 9 with driver 5", 5, 9, 1920, 1080, kFrame, 0, 0, -3, F, 0, 0},
    {"mode 14 with driver 0", 0, 14, 1920, 1080, kFrame, 0, 0, -3, F, 0, 0},
    // Invalid drivers with a valid mode: -2.
    {"driver 5", 5, 1, 1920, 1080, kFrame, 0, 0, -2, F, 326, 229},
    {"driver 4", 4, 1, 1920, 1080, kFrame, 0, 0, -2, F, 326, 229},
    {"driver -1", -1, 1, 1920, 1080, kFrame, 0, 0, -2, F, 326, 229},
    {"driver 0 is converted before the rules", 0, 1, 1920, 1080, kFrame, 0, 0, -2, F, 326, 229},
};

TEST(WindowGeometry, ModesAgainstScreensFramesAndDrivers) {
  for (const GeometryCase& c : kGeometryCases) {
    SCOPED_TRACE(c.what);
    WindowGeometry g = ComputeWindowGeometry(c.driver, c.mode, c.screenWidth, c.screenHeight, c.frame,
                                             c.customWidth, c.customHeight, 32);
    EXPECT_EQ(g.error, c.error);
    if (c.error == -3) continue;  // no size is decided
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.height, c.height);
    EXPECT_EQ(g.style, c.style);
  }
}

TEST(WindowGeometry, ClientSizeIsWhatTheModeAsks) {
  WindowGeometry framed = ComputeWindowGeometry(3, 13, 1280, 1024, kFrame, 360, 160, 32);
  EXPECT_EQ(framed.clientWidth, 360);
  EXPECT_EQ(framed.clientHeight, 160);
  WindowGeometry borderless = ComputeWindowGeometry(3, 12, 1280, 1024, kFrame, 0, 0, 32);
  EXPECT_EQ(borderless.clientWidth, 1280);
  EXPECT_EQ(borderless.clientHeight, 1024);
  WindowGeometry maximized = ComputeWindowGeometry(3, 11, 1280, 1024, kFrame, 0, 0, 32);
  EXPECT_EQ(maximized.clientWidth, 1274);
  EXPECT_EQ(maximized.clientHeight, 995);
}

TEST(WindowGeometry, DepthAndPaletteOfEachDriver) {
  struct Case {
    int16_t driver;
    int desktopBits;
    uint8_t bits;
    bool palette;
    uint16_t paletteSize;
  };
  const Case cases[] = {{1, 32, 1, true, 2},   {2, 32, 4, true, 16},   {3, 32, 8, true, 256},
                        {9, 32, 32, false, 0}, {9, 16, 16, false, 0}, {9, 24, 24, false, 0}};
  for (const Case& c : cases) {
    WindowGeometry g = ComputeWindowGeometry(c.driver, 1, 1280, 1024, kFrame, 0, 0, c.desktopBits);
    EXPECT_EQ(g.error, 0);
    EXPECT_EQ(g.bitsPerPixel, c.bits) << c.driver;
    EXPECT_EQ(g.paletteMode, c.palette) << c.driver;
    EXPECT_EQ(g.paletteSize, c.paletteSize) << c.driver;
  }
}

}  // namespace

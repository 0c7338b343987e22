// Window lifecycle: drivers, modes, result codes and their texts, the geometry and fit rules,
// opening and closing the window, and the small state queries. Also the home of the library's
// shared state (graph_state.h) and of its start-up and end.
//
// Everything here runs on the application thread. Opening starts the window thread
// (window_thread.cpp) and polls every 10 ms until the window exists; closing asks the thread
// to destroy the window and polls until it has ended.
#include <cstdlib>
#include <mutex>

#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/window/sdl_window.h"

namespace graph_state {

std::atomic<bool> WindowOpen{false};
std::atomic<bool> CloseRequested{false};
std::atomic<int16_t> GraphError{0};

bool PaletteMode = false;
int16_t CurrentDriver = -1;
int16_t CurrentMode = 0;
uint8_t BitsPerPixel = 0;
uint16_t PaletteSize = 0;
int32_t CustomWidth = 0, CustomHeight = 0;
ShortText WindowCaption;

std::recursive_mutex DrawingLock;
raster::DeviceContext WindowDC, BufferDC, ScratchDC;
raster::Surface WindowSurface;
raster::Surface BackBuffer[4];
std::vector<raster::TableColor> GraphPalette;
std::vector<raster::TableColor> PageColorTable;
std::atomic<uint16_t> DrawingPage{0};
std::atomic<uint16_t> DisplayPage{0};
bool AutoUpdate = true;
bool DrawThrough = false;
int32_t ClientMaxX = -1, ClientMaxY = -1;

constinit std::atomic<WindowHook> KeyboardHook{nullptr};
constinit std::atomic<WindowHook> MouseHook{nullptr};
std::atomic<uint64_t> NativeWindowId{0};

namespace {

// Outer size and kind computed by the last InitGraph (kept for the record, as the window
// thread receives them in its request).
int32_t WindowWidth = 0, WindowHeight = 0;
WindowStyleType WindowStyle = WindowStyleType::Framed;

// The screen, measured once (the first time it is needed, on a short-lived thread of its own:
// the application thread never keeps the video subsystem). A failed measurement is tried
// again next time, so a display that appears later is still found.
bool ScreenMeasured = false;
int32_t ScreenWidth = 0, ScreenHeight = 0;
int DesktopBitsPerPixel = 32;

bool MeasureScreen() {
  if (ScreenMeasured) return true;
  window::DisplayInfo info;
  if (!window::ProbeDisplay(info)) return false;
  ScreenWidth = info.width;
  ScreenHeight = info.height;
  DesktopBitsPerPixel = info.bitsPerPixel;
  ScreenMeasured = true;
  return true;
}

struct ModeEntry {
  int32_t width, height;
  const char* name;
};
// Index = mode number; modes 10 to 12 take their size from the screen, 13 from
// SetGraphWindowSize.
constexpr ModeEntry kModes[14] = {
    {0, 0, nullptr},           {320, 200, "320 x 200"},   {640, 200, "640 x 200"},
    {640, 350, "640 x 350"},   {640, 480, "640 x 480"},   {720, 350, "720 x 350"},
    {800, 600, "800 x 600"},   {1024, 768, "1024 x 768"}, {1280, 1024, "1280 x 1024"},
    {0, 0, nullptr},           {0, 0, "Windows default"}, {0, 0, "Maximized"},
    {0, 0, "Full screen"},     {0, 0, "Custom"},
};

const char* ErrorMessage(int16_t code) {
  switch (code) {
    case GraphNotInitialized: return "Graphics window not initialized. Use InitGraph";
    case GraphInvalidDriver: return "Invalid graphics driver";
    case GraphInvalidMode: return "Invalid graphics mode";
    case GraphWindowFailed: return "Creation of graphics window failed";
    case GraphInvalidFont: return "Invalid font selection";
    case GraphInvalidFontNumber: return "Invalid font number";
    case GraphInvalidParameter: return "Invalid parameter value";
    case GraphNoPalette: return "No palette available. Change graphics driver";
    case GraphNoOpenGL: return "OpenGL driver not initialized";
    case GraphGeneralError: return "General graphics error";
    default: return "Unrecognized error code";
  }
}

// A window still open when the program ends is closed, whichever way the program ends
// (a set-up failure leaves through exit()). Registered at the first opening, after every
// start-up of the program's modules, so that it runs before their state is torn down.
void CloseAtProgramEnd() {
  ProgramEnding = true;
  if (WindowOpen) CloseGraphWindow();
  EndOpenGLPreparation();
  PageColorTable.clear();
}

// Registered once a window is open, after the OpenGL set-up: the system libraries that set-up
// loads register their own clean-up on first use, and ours must run before theirs (handlers
// run in reverse order), since closing the window releases their contexts.
// A window left without the OpenGL set-up (a missing font) registers early; the first set-up
// registers again, so that one handler always comes after the libraries' own.
void RegisterProgramEnd(bool afterOpenGL) {
  static bool registered = false, registeredAfterOpenGL = false;
  if (registeredAfterOpenGL || (registered && !afterOpenGL)) return;
  std::atexit(CloseAtProgramEnd);
  registered = true;
  registeredAfterOpenGL = afterOpenGL;
}

// Start-up of the library, before any module uses it: the keyboard module hooks itself into
// the window procedure only after the library's state is set up (the state above is constant
// initialised, so it is in place before any dynamic initialisation).
struct LibraryStart {
  LibraryStart() { StartKeyboardModule(); }
} libraryStart;

}  // namespace

WindowGeometry ComputeWindowGeometry(int16_t driver, int16_t mode, int32_t screenWidth,
                                     int32_t screenHeight, const FrameMetrics& frame,
                                     int32_t customWidth, int32_t customHeight,
                                     int desktopBitsPerPixel) {
  WindowGeometry g;
  const int32_t frameWidth = frame.Width(), frameHeight = frame.Height();
  int32_t clientWidth = 65535, clientHeight = 65535;  // invalid modes never fit
  if (mode >= 1 && mode <= 8) {
    clientWidth = kModes[mode].width;
    clientHeight = kModes[mode].height;
  } else if (mode == 10) {  // the outer size becomes 0: the system chooses
    clientWidth = -frameWidth;
    clientHeight = -frameHeight;
  } else if (mode == 11) {
    clientWidth = screenWidth - frameWidth;
    clientHeight = screenHeight - frameHeight;
  } else if (mode == 12) {
    clientWidth = screenWidth;
    clientHeight = screenHeight;
  } else if (mode == 13) {
    clientWidth = customWidth;
    clientHeight = customHeight;
  }
  const int32_t outerWidth = clientWidth + frameWidth, outerHeight = clientHeight + frameHeight;
  if (outerWidth <= screenWidth && outerHeight <= screenHeight) {
    g.width = outerWidth;
    g.height = outerHeight;
    g.style = WindowStyleType::Framed;
  } else if (clientWidth <= screenWidth && clientHeight <= screenHeight) {
    g.width = clientWidth;
    g.height = clientHeight;
    g.style = WindowStyleType::Borderless;
  } else {
    g.error = GraphInvalidMode;
    return g;
  }
  g.clientWidth = clientWidth;
  g.clientHeight = clientHeight;
  switch (driver) {
    case D1bit: g.bitsPerPixel = 1; break;
    case D4bit: g.bitsPerPixel = 4; break;
    case D8bit: g.bitsPerPixel = 8; break;
    case NoPalette: g.bitsPerPixel = uint8_t(desktopBitsPerPixel); break;
    default: g.error = GraphInvalidDriver; return g;
  }
  g.paletteMode = driver != NoPalette;
  g.paletteSize = g.paletteMode ? uint16_t(1u << g.bitsPerPixel) : 0;
  return g;
}

}  // namespace graph_state

using namespace graph_state;

void InitGraph(int16_t& driver, int16_t& mode, std::string_view caption) {
  GraphError = GraphOk;
  if (WindowOpen) {
    GraphError = GraphGeneralError;
    return;
  }
  if (driver == DetectDriver) {
    CurrentDriver = NoPalette;
    CurrentMode = DefaultMode;
    driver = CurrentDriver;
    mode = CurrentMode;
  } else {
    CurrentDriver = driver;
    CurrentMode = mode;
  }

  // The OpenGL contexts are made in the background while the window opens. An opening that
  // ends before it takes them waits for that work and drops it: no helper outlives the call.
  StartPreparingOpenGL();
  struct DropUnusedContexts {
    bool taken = false;
    ~DropUnusedContexts() {
      if (!taken) EndOpenGLPreparation();
    }
  } openGLWork;

  // Without a display the driver and mode are still judged first (against a screen that
  // anything fits), so that their codes come out as they would with one.
  const bool haveDisplay = MeasureScreen();
  const int32_t screenWidth = haveDisplay ? ScreenWidth : INT32_MAX / 2;
  const int32_t screenHeight = haveDisplay ? ScreenHeight : INT32_MAX / 2;
  const FrameMetrics frame = LastFrameMetrics();
  WindowGeometry geometry = ComputeWindowGeometry(CurrentDriver, CurrentMode, screenWidth, screenHeight,
                                                  frame, CustomWidth, CustomHeight, DesktopBitsPerPixel);
  WindowWidth = geometry.width;
  WindowHeight = geometry.height;
  WindowStyle = geometry.style;
  if (geometry.error != GraphOk) {
    GraphError = geometry.error;
    return;
  }
  if (!haveDisplay) {
    GraphError = GraphWindowFailed;
    return;
  }
  BitsPerPixel = geometry.bitsPerPixel;
  PaletteMode = geometry.paletteMode;
  if (PaletteMode) PaletteSize = geometry.paletteSize;

  // There is no console window to hide on this system.
  WindowCaption = caption.empty() ? std::string_view("Graph Window") : caption;

  WindowRequest request;
  request.caption = WindowCaption;
  request.geometry = geometry;
  request.frame = frame;
  request.screenWidth = ScreenWidth;
  request.screenHeight = ScreenHeight;
  if (!StartWindowThread(request)) {
    GraphError = GraphWindowFailed;
    return;
  }
  LookUpStandardFaces();  // while the window thread makes the window
  if (!AwaitWindowCreation()) {
    EndWindowThread();  // the thread has failed and ends by itself; collect it
    GraphError = GraphWindowFailed;
    return;
  }

  DisplayPage = 0;
  AutoUpdate = true;
  SetDrawingPage(0);

  graph_state::InstallStandardFonts();
  if (GraphError != GraphOk) {  // open but not shown, as the missing font leaves it
    // The libraries the background work loaded register their clean-up first, so that the
    // program's end still closes the window before they are torn down.
    EndOpenGLPreparation();
    RegisterProgramEnd(false);
    return;
  }
  graph_state::ResetDrawingState();
  int16_t result = GraphOk;
  openGLWork.taken = true;
  if (!PrepareOpenGL()) result = GraphNoOpenGL;
  RegisterProgramEnd(true);
  ShowGraphWindow();
  graph_state::CloseRequested = false;
  GraphError = result;
}

void CloseGraphWindow() {
  GraphError = GraphOk;
  if (!WindowOpen) {
    GraphError = GraphNotInitialized;
    return;
  }
  WindowOpen = false;
  ReleaseOpenGL();
  EndWindowThread();
  GraphError = GraphOk;
}

void LeaveGraphics() { CloseGraphWindow(); }

void SetGraphWindowSize(uint16_t width, uint16_t height) {
  CustomWidth = width;
  CustomHeight = height;
}

void ReopenGraphWindow(int16_t mode) {
  if (CurrentDriver < 0) {
    GraphError = GraphGeneralError;
    return;
  }
  int16_t driver = CurrentDriver;
  ShortText caption = WindowCaption;
  InitGraph(driver, mode, caption);
}

void DetectGraphDriver(int16_t& driver, int16_t& mode) {
  driver = NoPalette;
  mode = DefaultMode;
}

ShortText GraphDriverName() {
  switch (CurrentDriver) {
    case D1bit: return "D1bit - 2 colors";
    case D4bit: return "D4bit - 16 colors";
    case D8bit: return "D8bit - 256 colors";
    case NoPalette: return "NoPalette - all colors";
    default: return "no graphics driver";
  }
}

ShortText GraphModeName(int16_t mode) {
  if (mode < 1 || mode > 13 || mode == 9) return "invalid graphics mode";
  return Join(kModes[mode].name, " (VESA)");
}

int16_t CurrentGraphMode() { return CurrentDriver < 0 ? int16_t(-1) : CurrentMode; }

int16_t HighestGraphMode() { return FullScreenMode; }

void GetScreenSize(int16_t& width, int16_t& height) {
  MeasureScreen();
  width = int16_t(ScreenWidth);
  height = int16_t(ScreenHeight);
}

int16_t TakeGraphError() { return GraphError.exchange(GraphOk); }

ShortText GraphErrorText(int16_t code) {
  if (code == GraphOk) return {};
  return Join("Error: ", ErrorMessage(code));
}

bool GraphWindowOpen() { return WindowOpen; }

bool CloseRequested() { return graph_state::CloseRequested; }

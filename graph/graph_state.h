// The graphics library's internal state, shared by its modules (not part of the public
// interface; graph.h is).
//
// One instance per process, defined in window.cpp. Two threads meet here: the application
// thread, which runs every public operation, and the window thread, which creates the window,
// repaints it and receives its keys. The rules that keep them apart:
//  - WindowOpen, CloseRequested and GraphError are atomic: one thread writes, the other polls.
//  - DrawingLock guards the device contexts, the pages, the window surface, the palette
//    objects and the page selection. The application thread takes it around every drawing
//    operation (DrawThroughOperation does), the window thread around every repaint and present.
//  - Everything else is written by the application thread while no window thread runs, or by
//    the window thread before it sets WindowOpen (creation) and after WindowOpen was cleared
//    (destruction), so the atomic WindowOpen orders those writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <vector>

#include "graph/graph.h"
#include "graph/short_string.h"
#include "platform/raster/raster.h"

namespace graph_state {

// ---- Window lifecycle ------------------------------------------------------------------------

extern std::atomic<bool> WindowOpen;      // the window exists and its creation handling is done
extern std::atomic<bool> CloseRequested;  // the user asked to close the window (close button)
extern std::atomic<int16_t> GraphError;   // result of the last library operation

extern bool PaletteMode;          // drivers 1, 2, 3 draw through GraphPalette
extern int16_t CurrentDriver;     // -1 until the first InitGraph
extern int16_t CurrentMode;
extern uint8_t BitsPerPixel;      // depth of the pages: 1, 4, 8, or the desktop's for driver 9
extern uint16_t PaletteSize;      // 2^BitsPerPixel in palette mode
extern int32_t CustomWidth, CustomHeight;  // client size of mode 13
extern ShortText WindowCaption;

// The two kinds of window the fit rules choose between.
enum class WindowStyleType : uint8_t { Framed, Borderless };

// Frame sizes of a framed window, in pixels on each side; top includes the caption.
struct FrameMetrics {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return left + right; }
  int Height() const { return top + bottom; }
};

// Outcome of the geometry and colour-depth rules for one InitGraph.
struct WindowGeometry {
  int16_t error = GraphOk;  // GraphOk, GraphInvalidMode or GraphInvalidDriver
  int32_t width = 0, height = 0;  // outer size; width 0: the system places and sizes the window
  int32_t clientWidth = 0, clientHeight = 0;  // client size asked for
  WindowStyleType style = WindowStyleType::Framed;
  uint8_t bitsPerPixel = 0;
  bool paletteMode = false;
  uint16_t paletteSize = 0;
};

// The geometry and colour-depth rules, free of any window system so they can be checked
// against any screen: mode -> client size, framed if the framed window fits the screen,
// else borderless if the client area fits, else invalid mode; then the driver's depth.
WindowGeometry ComputeWindowGeometry(int16_t driver, int16_t mode, int32_t screenWidth,
                                     int32_t screenHeight, const FrameMetrics& frame,
                                     int32_t customWidth, int32_t customHeight,
                                     int desktopBitsPerPixel);

// The window-creation record the window thread builds from the state above and creates the
// window from. kUseDefault in X, Y, Width, Height lets the system place and size the window.
constexpr int32_t kUseDefault = INT32_MIN;
struct TstrWindow {
  const char* ClassName = "GraphWindowClass";
  const char* WindowName = "";
  uint32_t Style = 0;  // a WindowStyleType
  int32_t X = kUseDefault, Y = kUseDefault, Width = kUseDefault, Height = kUseDefault;
  uint32_t Parent = 0, Menu = 0, Instance = 0;
  void* Param = nullptr;
};

// Images built into the program, found by name ("GraphIcon" is the window's icon).
struct IconResource {
  int width = 0, height = 0;
  const uint32_t* pixels = nullptr;  // 0xAARRGGBB, rows from the top
};
const IconResource* LoadIconResource(std::string_view name);  // null when there is none

// What the window thread needs to create the window (filled by InitGraph before the thread
// starts, read-only afterwards).
struct WindowRequest {
  ShortText caption;
  WindowGeometry geometry;
  FrameMetrics frame;
  int32_t screenWidth = 0, screenHeight = 0;
};

// ---- Window thread, device contexts and pages ------------------------------------------------

extern std::recursive_mutex DrawingLock;

// WindowDC draws on WindowSurface, the window's own 32-bit picture that the window thread
// presents on screen; BufferDC draws on BackBuffer[DrawingPage]; ScratchDC is free for image,
// pattern and palette work. In palette mode all three have GraphPalette selected, and every
// page carries its own colour table, loaded from PageColorTable when it becomes the drawing page.
extern raster::DeviceContext WindowDC, BufferDC, ScratchDC;
extern raster::Surface WindowSurface;
extern raster::Surface BackBuffer[4];
extern std::vector<raster::TableColor> GraphPalette;    // PaletteSize entries in palette mode
extern std::vector<raster::TableColor> PageColorTable;  // kept equal to GraphPalette's colours

extern std::atomic<uint16_t> DrawingPage;  // 0..3, the page selected into BufferDC
extern std::atomic<uint16_t> DisplayPage;  // 0..3, the page painted into the window
extern bool AutoUpdate;                    // application thread only
extern bool DrawThrough;                   // AutoUpdate && DrawingPage == DisplayPage
extern int32_t ClientMaxX, ClientMaxY;     // client size - 1, fixed for the window's life

// Marks a rectangle of WindowSurface (device coordinates) as changed, so that the window
// thread presents it within a few milliseconds. Call with DrawingLock held.
void MarkWindowDirty(const raster::Rect& rect);

// Asks the window thread to repaint a rectangle of the window (device coordinates) from the
// display page, as an uncovered part of the window is. Application thread; no lock needed.
void RequestRepaint(const raster::Rect& rect);
// The whole client area.
void RequestFullRepaint();

// The draw-through rule every drawing operation follows:
//   GraphError = 0; no window: -1 and nothing drawn; otherwise, with DrawingLock held, draw
//   on WindowDC when DrawThrough (and present what changed), then always on BufferDC.
// `draw(raster::DeviceContext&)` draws the figure and returns the device rectangle it touched
// (an empty one if none). Returns false when the window was closed.
// The entry check of every operation that needs the window: GraphError = 0, then -1 when no
// window is open. True when the operation may go on.
inline bool BeginWindowOperation() {
  GraphError = GraphOk;
  if (!WindowOpen) {
    GraphError = GraphNotInitialized;
    return false;
  }
  return true;
}

template <class Draw>
bool DrawThroughOperation(Draw draw) {
  if (!BeginWindowOperation()) return false;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  if (DrawThrough) {
    raster::Rect touched = draw(WindowDC);
    if (!touched.Empty()) MarkWindowDirty(touched);
  }
  draw(BufferDC);
  return true;
}

// The window procedure's hooks: (window, message, wParam, lParam) -> result. The message
// numbers are those of platform/window/messages.h. Filled at program start.
using WindowHandle = uint32_t;
using WindowHook = int32_t (*)(WindowHandle window, uint32_t message, uint32_t wParam, int32_t lParam);
extern std::atomic<WindowHook> KeyboardHook;
extern std::atomic<WindowHook> MouseHook;

// Starts the window thread for `request` (stored by InitGraph); returns false when the thread
// could not be started. The thread sets WindowOpen when the window exists, or GraphError -4.
bool StartWindowThread(const WindowRequest& request);
// Waits until the window thread has either made the window (true) or failed (false).
bool AwaitWindowCreation();
// Asks the window thread to show the window and waits until it has.
void ShowGraphWindow();
// Asks the window thread to destroy the window and waits until the thread has ended.
void EndWindowThread();
// X11 window id of the open window (0 when none); lets tests ask the X server about it.
extern std::atomic<uint64_t> NativeWindowId;
// The frame the window manager gave the last framed window (zero until one was shown): the
// frame metrics of the next geometry.
FrameMetrics LastFrameMetrics();

// ---- Keyboard ---------------------------------------------------------------------------------

// Installs KeyboardMessageHandler into KeyboardHook; run once at program start, after the
// library's own start-up.
void StartKeyboardModule();
// Queues the key messages of the window thread: create (empties the queue), close (0, 107),
// key down/up, character, system key down. Returns 0 for every message.
int32_t KeyboardMessageHandler(WindowHandle window, uint32_t message, uint32_t wParam, int32_t lParam);
// Takes the oldest queued byte under the key lock; false when the queue is empty. ReadKeyCode
// waits for this; exposed so the queue can be checked without a window.
bool TakeQueuedKey(uint8_t& key);

// ---- Owned by other modules, called by InitGraph ----------------------------------------------

// text.cpp: adds the standard fonts; -5 in GraphError when one is missing.
void InstallStandardFonts();
// text.cpp: asks the font system for the standard faces ahead (it remembers the answers), so
// that installing them later is quick; needs no window.
void LookUpStandardFaces();
// viewport.cpp: the default drawing state (viewport, colours, line, fill, text settings) on
// both device contexts. InitGraph runs it on every opening, after the pages exist; it also
// forgets the clip and fill-pattern state of any earlier window.
void ResetDrawingState();
// opengl.cpp: creates the window's and the back buffer's OpenGL contexts; false (and
// OpenGLReady false) when they cannot be made. ReleaseOpenGL drops them (CloseGraphWindow).
// StartPreparingOpenGL begins making them in the background (InitGraph's first step);
// EndOpenGLPreparation waits for that work and drops what it made (the program's end).
void StartPreparingOpenGL();
void EndOpenGLPreparation();
bool PrepareOpenGL();
void ReleaseOpenGL();
extern bool OpenGLAvailable;  // both contexts exist
extern bool ProgramEnding;    // the program's end is closing the window: nothing is made ahead
extern bool OpenGLOnWindow;   // the window's context is the current one
// ScreenUpdate(UpdateNow) while the OpenGL target is the window: show its back buffer.
void SwapOpenGLBuffers();

}  // namespace graph_state

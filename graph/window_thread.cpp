// The window thread: creates the window and everything drawing needs (device contexts, the
// window surface, the four pages, the palette), pumps the window's events, repaints the
// window from the display page, presents what drawing changed, turns the close button into
// CloseRequested and hands key messages to the keyboard hook; at destruction it releases all
// of it. Also the page operations of the application thread (SetDrawingPage, SetDisplayPage,
// ScreenUpdate) and the requests it sends the window thread.
//
// The application thread talks to this thread only through the shared state and through
// requests (window::PostWindowRequest): refresh, show, destroy.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/fonts/codepage1250.h"
#include "platform/window/sdl_window.h"

namespace graph_state {

namespace {

enum Request : uint32_t {
  kRequestRefresh = 1,                     // repaint and present what is pending
  kRequestShow = 2,                        // show the window (InitGraph's last step)
  kRequestDestroy = window::kMessageUser,  // destroy the window and end the thread
};

// Drawing through to the window is presented at most this often; the changes made in the
// meantime are gathered into one rectangle.
constexpr auto kPresentInterval = std::chrono::milliseconds(4);
// How long showing the window waits at most for the window system to expose it.
constexpr auto kFirstExposureWait = std::chrono::milliseconds(200);

// Owned by the application thread. A plain pointer, so that no static teardown can find a
// running thread object (the program's end closes the window first).
std::thread* WindowThread = nullptr;
std::atomic<bool> ThreadEnded{true};
std::atomic<bool> WindowShown{false};
std::atomic<uint32_t> WindowToken{0};  // 0 until the window exists
// Set by the application thread before it asks for the destruction. The window thread reads
// it before tearing anything down, which orders everything the application did with the
// window's objects before their release (the request itself travels through SDL's queue,
// which gives no such guarantee the tools can see).
std::atomic<bool> DestroyRequested{false};

// The application thread sleeps on this while it waits for the window thread to make, show or
// destroy the window; the window thread signals it after each of those steps.
// Never destroyed: a thread that ends the program (exit() from a library's fatal error handler)
// must not find them torn down under a waiter.
std::mutex& ProgressLock = *new std::mutex;
std::condition_variable& ProgressChanged = *new std::condition_variable;

// Called by the window thread after it changed WindowOpen, WindowShown, ThreadEnded or
// GraphError. Taking the lock orders the change before a waiter's next look.
void SignalProgress() {
  { std::lock_guard<std::mutex> lock(ProgressLock); }
  ProgressChanged.notify_all();
}

template <typename Done>
void AwaitProgress(Done done) {
  std::unique_lock<std::mutex> lock(ProgressLock);
  ProgressChanged.wait(lock, done);
}

// Guarded by DrawingLock.
raster::Rect PendingRepaint;  // window area to repaint from the display page
raster::Rect PendingPresent;  // window surface area that drawing through changed
bool RefreshPosted = false;   // a refresh request is on its way
FrameMetrics LearnedFrame;

// Asks the window thread for a refresh unless one is already on its way. DrawingLock held.
void PostRefresh() {
  if (RefreshPosted) return;
  uint32_t token = WindowToken;
  RefreshPosted = token != 0 && window::PostWindowRequest(token, kRequestRefresh);
}

int32_t CallHook(const std::atomic<WindowHook>& hook, uint32_t message, uint32_t wParam = 0, int32_t lParam = 0) {
  WindowHook h = hook.load();
  return h ? h(WindowToken, message, wParam, lParam) : 0;
}

// Copies a window area from the display page into the window surface. DrawingLock held.
void RepaintFromDisplayPage(const raster::Rect& area) {
  raster::Rect r = area.Intersect(WindowSurface.Bounds());
  if (r.Empty()) return;
  raster::CopyPixels(WindowSurface, r.left, r.top, BackBuffer[DisplayPage % 4], r);
}

// ---- The window procedure's handling, on the window thread ----

void OnCreate(window::NativeWindow& native) {
  WindowToken = native.Token();
  NativeWindowId = native.NativeId();
  const int width = native.ClientWidth(), height = native.ClientHeight();
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    ClientMaxX = width - 1;
    ClientMaxY = height - 1;
    WindowDC = raster::DeviceContext();
    BufferDC = raster::DeviceContext();
    ScratchDC = raster::DeviceContext();
    WindowSurface.Create(width, height, 32);
    WindowDC.SelectSurface(&WindowSurface);
    if (PaletteMode) {
      GraphPalette.assign(PaletteSize, raster::TableColor{});
      WindowDC.SelectPalette(&GraphPalette);
      BufferDC.SelectPalette(&GraphPalette);
      ScratchDC.SelectPalette(&GraphPalette);
    } else {
      GraphPalette.clear();
    }
    // A page that cannot be made stays empty; drawing on it then has no effect.
    for (raster::Surface& page : BackBuffer) page.Create(width, height, BitsPerPixel);
    PageColorTable.assign(PaletteMode ? PaletteSize : 0, raster::TableColor{});
    PendingRepaint = PendingPresent = {};
    RefreshPosted = false;
  }
  CallHook(MouseHook, window::kMessageCreate);
  CallHook(KeyboardHook, window::kMessageCreate);
  WindowOpen = true;
  SignalProgress();
}

void OnDestroy() {
  CallHook(MouseHook, window::kMessageDestroy);
  CallHook(KeyboardHook, window::kMessageDestroy);
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  WindowDC = raster::DeviceContext();
  BufferDC = raster::DeviceContext();
  ScratchDC = raster::DeviceContext();
  for (raster::Surface& page : BackBuffer) page = raster::Surface();
  WindowSurface = raster::Surface();
  PageColorTable.clear();
  if (PaletteMode) {
    GraphPalette.clear();
    PaletteMode = false;
  }
  PendingRepaint = PendingPresent = {};
  RefreshPosted = false;
}

void OnPaint(window::NativeWindow& native, const raster::Rect& area) {
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    RepaintFromDisplayPage(area);
    native.CopyToScreen(WindowSurface, area);
  }
  native.Flush();
}

void OnRefresh(window::NativeWindow& native, std::chrono::steady_clock::time_point& lastPresent) {
  auto wait = lastPresent + kPresentInterval - std::chrono::steady_clock::now();
  if (wait > wait.zero()) std::this_thread::sleep_for(wait);
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    RepaintFromDisplayPage(PendingRepaint);
    raster::Rect present = PendingPresent.Union(PendingRepaint);
    PendingRepaint = PendingPresent = {};
    RefreshPosted = false;
    native.CopyToScreen(WindowSurface, present);
  }
  native.Flush();
  lastPresent = std::chrono::steady_clock::now();
}

void OnShow(window::NativeWindow& native, WindowStyleType style) {
  native.Show();
  window::FrameSize f = native.Frame();
  if (style == WindowStyleType::Framed && (f.left | f.top | f.right | f.bottom) != 0) {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    LearnedFrame = {f.left, f.top, f.right, f.bottom};
  }
  OnPaint(native, {0, 0, ClientMaxX + 1, ClientMaxY + 1});
}

void OnKeys(const window::WindowEvent& event) {
  for (int i = 0; i < event.keyCount; ++i) {
    const window::KeyMessage& m = event.keys[i];
    switch (m.message) {
      case window::kMessageKeyDown:
      case window::kMessageKeyUp:
      case window::kMessageChar:
      case window::kMessageSysKeyDown:
        CallHook(KeyboardHook, m.message, m.wParam, m.lParam);
        break;
      default:  // system characters and system key releases go nowhere
        break;
    }
  }
}

// Builds the creation record: centred when InitGraph gave an outer size, else left to the
// system.
TstrWindow MakeCreationRecord(const WindowRequest& request) {
  TstrWindow record;
  record.WindowName = request.caption.CStr();
  record.Style = uint32_t(request.geometry.style);
  if (request.geometry.width != 0) {
    record.X = (request.screenWidth - request.geometry.width) / 2;
    record.Y = (request.screenHeight - request.geometry.height) / 2;
    record.Width = request.geometry.width;
    record.Height = request.geometry.height;
  }
  return record;
}

void GraphWindowThread(WindowRequest request) {
  // Above normal priority where the system allows it, so that keys and repaints keep up with
  // a busy application thread.
  setpriority(PRIO_PROCESS, id_t(gettid()), -2);

  const TstrWindow record = MakeCreationRecord(request);
  const FrameMetrics& frame = request.frame;
  const bool framed = record.Style == uint32_t(WindowStyleType::Framed);
  window::WindowSpec shape;
  shape.title = fonts::Cp1250ToUtf8(record.WindowName);
  shape.kind = framed ? window::WindowKind::Framed : window::WindowKind::Borderless;
  if (record.Width == kUseDefault) {
    // The system's choice: three quarters of the screen, placed by the window manager.
    shape.placedBySystem = true;
    shape.clientWidth = request.screenWidth * 3 / 4;
    shape.clientHeight = request.screenHeight * 3 / 4;
  } else {
    shape.x = record.X + (framed ? frame.left : 0);
    shape.y = record.Y + (framed ? frame.top : 0);
    shape.clientWidth = record.Width - (framed ? frame.Width() : 0);
    shape.clientHeight = record.Height - (framed ? frame.Height() : 0);
  }
  if (const IconResource* icon = LoadIconResource("GraphIcon")) {
    shape.iconPixels = icon->pixels;
    shape.iconWidth = icon->width;
    shape.iconHeight = icon->height;
  }

  window::NativeWindow native;
  if (!native.Open(shape)) {
    GraphError = GraphWindowFailed;
    ThreadEnded = true;
    SignalProgress();
    return;
  }
  OnCreate(native);

  auto lastPresent = std::chrono::steady_clock::now() - kPresentInterval;
  bool running = true;
  bool exposed = false;
  auto handle = [&](const window::WindowEvent& event) {
    switch (event.type) {
      case window::WindowEvent::Type::Repaint:
        OnPaint(native, event.rect);
        exposed = exposed || event.exposure;
        break;
      case window::WindowEvent::Type::Close:
        // The application decides: the window stays until it calls CloseGraphWindow.
        CloseRequested = true;
        CallHook(KeyboardHook, window::kMessageClose);
        break;
      case window::WindowEvent::Type::Keys:
        OnKeys(event);
        break;
      case window::WindowEvent::Type::Request:
        if (event.request == kRequestRefresh) {
          OnRefresh(native, lastPresent);
        } else if (event.request == kRequestDestroy && DestroyRequested.load(std::memory_order_acquire)) {
          OnDestroy();
          running = false;
        }
        break;
    }
  };
  for (window::WindowEvent event; running;) {
    if (!native.WaitEvent(event, 100)) continue;
    if (event.type == window::WindowEvent::Type::Request && event.request == kRequestShow) {
      OnShow(native, WindowStyleType(record.Style));
      // The window system's first exposure of the new window (which follows the showing by
      // a moment) is handled before InitGraph returns: arriving later, it would repaint the
      // window from a page the program has meanwhile drawn on with the screen update off.
      const auto giveUp = std::chrono::steady_clock::now() + kFirstExposureWait;
      while (running && !exposed) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (native.WaitEvent(event, int(left.count()))) handle(event);
      }
      WindowShown = true;
      SignalProgress();
    } else {
      handle(event);
    }
  }
  WindowToken = 0;
  NativeWindowId = 0;
  native.Close();
  GraphError = GraphOk;  // the code the message loop ends with
  ThreadEnded = true;
  SignalProgress();
}

}  // namespace

void MarkWindowDirty(const raster::Rect& rect) {
  PendingPresent = PendingPresent.Union(rect);
  PostRefresh();
}

void RequestRepaint(const raster::Rect& rect) {
  if (!WindowOpen) return;
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  PendingRepaint = PendingRepaint.Union(rect.Intersect(WindowSurface.Bounds()));
  if (!PendingRepaint.Empty()) PostRefresh();
}

void RequestFullRepaint() { RequestRepaint({0, 0, ClientMaxX + 1, ClientMaxY + 1}); }

FrameMetrics LastFrameMetrics() {
  std::lock_guard<std::recursive_mutex> lock(DrawingLock);
  return LearnedFrame;
}

bool StartWindowThread(const WindowRequest& request) {
  EndWindowThread();  // collects a thread that ended by itself
  ThreadEnded = false;
  WindowShown = false;
  WindowToken = 0;
  DestroyRequested = false;
  try {
    WindowThread = new std::thread(GraphWindowThread, request);
  } catch (const std::system_error&) {  // no thread could be started
    ThreadEnded = true;
    return false;
  }
  return true;
}

bool AwaitWindowCreation() {
  AwaitProgress([] { return WindowOpen || ThreadEnded; });
  return WindowOpen;
}

void ShowGraphWindow() {
  // Called once the window exists, so its token is known.
  if (window::PostWindowRequest(WindowToken, kRequestShow)) AwaitProgress([] { return WindowShown || ThreadEnded; });
}

void EndWindowThread() {
  if (!WindowThread) return;
  DestroyRequested.store(true, std::memory_order_release);
  // Only a window that exists can be asked; a thread that failed ends by itself.
  AwaitProgress([] { return WindowToken != 0 || ThreadEnded; });
  if (uint32_t token = WindowToken; token != 0 && !ThreadEnded) window::PostWindowRequest(token, kRequestDestroy);
  WindowThread->join();
  delete WindowThread;
  WindowThread = nullptr;
}

}  // namespace graph_state

using namespace graph_state;

void SetDrawingPage(uint16_t page) {
  GraphError = GraphOk;
  if (!WindowOpen) {
    GraphError = GraphNotInitialized;
    return;
  }
  if (page >= 4) page = 0;
  {
    std::lock_guard<std::recursive_mutex> lock(DrawingLock);
    DrawingPage = page;
    raster::Surface& surface = BackBuffer[page];
    BufferDC.SelectSurface(&surface);
    if (PaletteMode && !surface.ColorTable().empty()) {
      size_t n = std::min(PageColorTable.size(), surface.ColorTable().size());
      std::copy_n(PageColorTable.begin(), n, surface.ColorTable().begin());
    }
  }
  DrawThrough = AutoUpdate && DrawingPage == DisplayPage;
}

void SetDisplayPage(uint16_t page) {
  GraphError = GraphOk;
  if (!WindowOpen) {
    GraphError = GraphNotInitialized;
    return;
  }
  if (page >= 4) page = 0;
  DisplayPage = page;
  DrawThrough = AutoUpdate && DrawingPage == DisplayPage;
  RequestFullRepaint();
}

void ScreenUpdate(int16_t action) {
  switch (action) {
    case UpdateOff:
      if (AutoUpdate) {
        AutoUpdate = false;
        DrawThrough = false;
      }
      break;
    case UpdateOn:
      if (!AutoUpdate) {
        AutoUpdate = true;
        SetDisplayPage(DisplayPage);
      }
      break;
    case UpdateNow:
      if (OpenGLOnWindow) {
        SwapOpenGLBuffers();
      } else {
        SetDisplayPage(DisplayPage);
      }
      break;
    default:
      break;
  }
}

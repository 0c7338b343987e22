// The SDL2 window of the graphics library: display measurement, one window with its event
// pump, presenting a 32-bit surface on it, and requests from other threads.
//
// SDL's video subsystem lives only on the thread that owns the window (NativeWindow::Open
// starts it there, Close ends it), so that a later window on another thread starts afresh and
// a missing display fails cleanly. Other threads reach the window only through
// PostWindowRequest, which is safe from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "platform/raster/raster.h"
#include "platform/window/key_translation.h"
#include "platform/window/messages.h"

namespace window {

// Sizes of the frame a window manager puts around a framed window; top includes the title bar.
struct FrameSize {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct DisplayInfo {
  int width = 0, height = 0;  // the desktop in pixels
  int bitsPerPixel = 0;       // its colour depth as pixels are stored: 8, 16, 24 or 32
  FrameSize frame;            // as far as the window manager reports it before a window shows
};

// Measures the display: an X display over a short connection of its own, another through
// SDL's video on a short-lived thread (video up, read, video down), so that the calling thread
// never holds the video subsystem. False when no display can be opened.
bool ProbeDisplay(DisplayInfo& info);

enum class WindowKind : uint8_t { Framed, Borderless };

struct WindowSpec {
  std::string title;          // UTF-8
  bool placedBySystem = false;  // position chosen by the window manager; x, y unused
  int x = 0, y = 0;           // top-left corner of the client area
  int clientWidth = 1, clientHeight = 1;
  WindowKind kind = WindowKind::Framed;
  // Optional icon: iconWidth x iconHeight pixels 0xAARRGGBB, rows from the top.
  const uint32_t* iconPixels = nullptr;
  int iconWidth = 0, iconHeight = 0;
};

// What the owning thread receives from its window.
struct WindowEvent {
  enum class Type : uint8_t { Repaint, Close, Keys, Request };
  Type type = Type::Repaint;
  raster::Rect rect;                    // Repaint: the part to repaint (client coordinates)
  bool exposure = false;                // Repaint: the window system uncovered the window
  int keyCount = 0;                     // Keys
  KeyMessage keys[KeyTranslator::kMaxMessages];
  uint32_t request = 0;                 // Request: the code given to PostWindowRequest
};

class NativeWindow {
 public:
  NativeWindow() = default;
  NativeWindow(const NativeWindow&) = delete;
  NativeWindow& operator=(const NativeWindow&) = delete;
  ~NativeWindow() { Close(); }

  // Starts video on the calling thread and creates the window hidden. False when video or
  // the window cannot be made; nothing is then left open.
  bool Open(const WindowSpec& shape);
  // Maps and raises the window and waits until it is on screen.
  void Show();
  // Destroys the window and ends video on this thread.
  void Close();

  bool IsOpen() const { return window_ != nullptr; }
  int ClientWidth() const;
  int ClientHeight() const;
  // The frame around the window where the window manager reports it (zero otherwise).
  FrameSize Frame() const;
  // The X11 window id (0 on other systems).
  uint64_t NativeId() const;
  // The id PostWindowRequest addresses this window by; unique within the process.
  uint32_t Token() const { return token_; }

  // Waits up to timeoutMs for the next event of this window; false when none came.
  bool WaitEvent(WindowEvent& event, int timeoutMs);

  // Copies a rectangle of a 32-bit surface (pixels 0x00RRGGBB) into the window's frame buffer,
  // to be shown by the next Flush. The caller keeps `surface` from changing meanwhile.
  void CopyToScreen(const raster::Surface& surface, const raster::Rect& rect);
  // Shows on screen what CopyToScreen copied since the last Flush.
  void Flush();

 private:
  SDL_Window* window_ = nullptr;
  uint32_t windowId_ = 0;
  uint32_t token_ = 0;
  bool videoStarted_ = false;
  raster::Rect pending_;
  KeyTranslator translator_;
};

// SDL's explanation of the last failed NativeWindow::Open (empty when none failed).
std::string LastOpenError();

// Asks the thread of the window `token` to handle `request` (it arrives as a Request event).
// Safe from any thread while that window is open; false when it could not be queued.
bool PostWindowRequest(uint32_t token, uint32_t request);

}  // namespace window

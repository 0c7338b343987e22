// SDL2 window, display probe, presentation and cross-thread requests (see sdl_window.h).
#include "platform/window/sdl_window.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/Xrandr.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

namespace window {

namespace {

// While the window thread waits for events, an event pushed from another thread makes SDL
// send an X wake-up message to the waiting window. When that window is being destroyed at
// that moment the X server answers BadWindow, and Xlib's default handler would end the whole
// process. Such an error is harmless (the wake-up is no longer needed): it is ignored, and
// every other error goes to the handler that was there before.
//
// The handler is installed before SDL starts video, never after: SDL keeps the handler it
// finds, puts a safety net of its own in front of it, and puts the one it found back when
// video ends, before it closes its connections. The error for a wake-up often arrives only
// then, so the handler SDL found must already be this one.
XErrorHandler previousXErrorHandler = nullptr;
int IgnoreWakeupToVanishedWindow(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
  return previousXErrorHandler ? previousXErrorHandler(display, error) : 0;
}
void IgnoreWakeupsToVanishedWindows() {
  XErrorHandler current = XSetErrorHandler(IgnoreWakeupToVanishedWindow);
  if (current != IgnoreWakeupToVanishedWindow) previousXErrorHandler = current;
}

// Without a session bus, SDL's D-Bus use (input methods, screen saver) makes libdbus start one
// through dbus-launch at every video start: a process forked per window, for nothing this
// library needs, and a fork in the middle of a multi-threaded start. Where the environment
// names no bus, it names one that cannot exist, so none is looked for. Done before main, while
// the process has one thread: the environment must not change under running threads.
struct NoSessionBusLaunch {
  NoSessionBusLaunch() { setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null/no-session-bus", 0); }
} noSessionBusLaunch;

std::atomic<uint32_t> nextToken{1};
std::mutex lastErrorLock;
std::string lastError;

void RememberError() {
  std::lock_guard<std::mutex> lock(lastErrorLock);
  lastError = SDL_GetError();
}

// Hints every video start-up needs: no signal handlers of SDL's own (Ctrl+C must still end
// the program), and no screen-saver inhibition by a window that only shows text.
void StartVideo(bool& started) {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // The window shows a software picture: present it with the window system's own image
  // transfer. A renderer-backed surface would re-create the window behind our back (new id).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Only a real display will do: SDL's fallbacks (off-screen, dummy) would "open" a window
  // nobody sees. SDL_VIDEODRIVER in the environment still overrides this list.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland,KMSDRM");
  // A bare X server (no session keeping it busy) resets whenever its last client leaves, and
  // refuses connections while it does; the probe's connection, closed just before the
  // window's is made, can be that last client. A few quick further tries tell that from no
  // display at all. (Test servers run with -noreset and never get here.)
  IgnoreWakeupsToVanishedWindows();
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (attempt > 0) SDL_Delay(20);
    started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (started) return;
  }
}

int StoredBitsPerPixel(uint32_t format) {
  int bits = SDL_BITSPERPIXEL(format);
  int bytes = SDL_BYTESPERPIXEL(format);
  if (bytes == 4) return 32;  // 24-bit colour kept in 32-bit pixels
  if (bits == 15) return 16;
  return bits;
}

// The desktop as the X server describes it, asked over a connection of its own: the size of
// the monitor SDL counts as the first (the primary output, else the first one showing
// something; the whole screen when the server names none) and the depth of the default
// visual. A few milliseconds, where starting SDL's video only to ask takes tens.
bool ProbeX11Display(DisplayInfo& info) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
  int eventBase = 0, errorBase = 0;
  if (XRRQueryExtension(display, &eventBase, &errorBase)) {
    if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root)) {
      const RROutput primary = XRRGetOutputPrimary(display, root);
      bool found = false;
      for (int pass = 0; pass < 2 && !found; ++pass) {
        for (int i = 0; i < resources->noutput && !found; ++i) {
          if (pass == 0 && resources->outputs[i] != primary) continue;
          XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
          if (!output) continue;
          if (output->connection == RR_Connected && output->crtc) {
            if (XRRCrtcInfo* crtc = XRRGetCrtcInfo(display, resources, output->crtc)) {
              if (crtc->width > 0 && crtc->height > 0) {
                width = int(crtc->width);
                height = int(crtc->height);
                found = true;
              }
              XRRFreeCrtcInfo(crtc);
            }
          }
          XRRFreeOutputInfo(output);
        }
      }
      XRRFreeScreenResources(resources);
    }
  }
  const int depth = DefaultDepth(display, screen);
  XCloseDisplay(display);
  if (width <= 0 || height <= 0) return false;
  info.width = width;
  info.height = height;
  // As pixels are stored: 24-bit colour in 32-bit pixels, 15-bit in 16-bit ones.
  info.bitsPerPixel = depth == 24 ? 32 : depth == 15 ? 16 : depth;
  return true;
}

}  // namespace

bool ProbeDisplay(DisplayInfo& info) {
  // An X display answers directly; other window systems through SDL's video.
  if (ProbeX11Display(info)) return true;
  bool ok = false;
  DisplayInfo found;
  std::thread probe([&] {
    bool started = false;
    StartVideo(started);
    if (!started) return;
    SDL_DisplayMode mode;
    if (SDL_GetNumVideoDisplays() > 0 && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
      found.width = mode.w;
      found.height = mode.h;
      found.bitsPerPixel = StoredBitsPerPixel(mode.format);
      ok = found.width > 0 && found.height > 0;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  });
  probe.join();
  if (ok) info = found;
  return ok;
}

bool NativeWindow::Open(const WindowSpec& shape) {
  Close();
  StartVideo(videoStarted_);
  if (!videoStarted_) {
    RememberError();
    return false;
  }
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (shape.kind == WindowKind::Borderless) flags |= SDL_WINDOW_BORDERLESS;
  int x = shape.placedBySystem ? int(SDL_WINDOWPOS_UNDEFINED) : shape.x;
  int y = shape.placedBySystem ? int(SDL_WINDOWPOS_UNDEFINED) : shape.y;
  window_ = SDL_CreateWindow(shape.title.c_str(), x, y, shape.clientWidth > 0 ? shape.clientWidth : 1,
                             shape.clientHeight > 0 ? shape.clientHeight : 1, flags);
  if (!window_) {
    RememberError();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
    return false;
  }
  windowId_ = SDL_GetWindowID(window_);
  token_ = nextToken.fetch_add(1);
  translator_ = KeyTranslator();
  pending_ = {};
  if (shape.iconPixels && shape.iconWidth > 0 && shape.iconHeight > 0) {
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(
        const_cast<uint32_t*>(shape.iconPixels), shape.iconWidth, shape.iconHeight, 32,
        shape.iconWidth * 4, SDL_PIXELFORMAT_ARGB8888);
    if (icon) {
      SDL_SetWindowIcon(window_, icon);
      SDL_FreeSurface(icon);
    }
  }
  // The frame buffer is made now, so that the window is final before anyone asks for its id.
  SDL_GetWindowSurface(window_);
  // Characters come as text events; X11 gives them without asking, other back ends on request.
  SDL_StartTextInput();
  return true;
}

void NativeWindow::Show() {
  if (!window_) return;
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  SDL_PumpEvents();
}

void NativeWindow::Close() {
  if (window_) {
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    windowId_ = 0;
  }
  if (videoStarted_) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted_ = false;
  }
}

int NativeWindow::ClientWidth() const {
  int w = 0, h = 0;
  if (window_) SDL_GetWindowSize(window_, &w, &h);
  return w;
}

int NativeWindow::ClientHeight() const {
  int w = 0, h = 0;
  if (window_) SDL_GetWindowSize(window_, &w, &h);
  return h;
}

FrameSize NativeWindow::Frame() const {
  FrameSize f;
  if (!window_ || SDL_GetWindowBordersSize(window_, &f.top, &f.left, &f.bottom, &f.right) != 0) return {};
  return f;
}

bool NativeWindow::WaitEvent(WindowEvent& out, int timeoutMs) {
  if (!window_) return false;
  const Uint32 deadline = SDL_GetTicks() + Uint32(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    int remaining = int(deadline - SDL_GetTicks());
    SDL_Event ev;
    if (!SDL_WaitEventTimeout(&ev, remaining > 0 ? remaining : 0)) {
      if (remaining <= 0) return false;
      continue;  // woken early without an event: wait for the rest of the time
    }
    switch (ev.type) {
      case SDL_USEREVENT:
        // Requests of an earlier window of this process may still be queued: skip them.
        if (uint32_t(uintptr_t(ev.user.data1)) != token_) break;
        out.type = WindowEvent::Type::Request;
        out.request = uint32_t(ev.user.code);
        return true;
      case SDL_WINDOWEVENT:
        if (ev.window.windowID != windowId_) break;
        switch (ev.window.event) {
          case SDL_WINDOWEVENT_EXPOSED:
          case SDL_WINDOWEVENT_SHOWN:
          case SDL_WINDOWEVENT_RESTORED:
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            out.type = WindowEvent::Type::Repaint;
            out.rect = {0, 0, ClientWidth(), ClientHeight()};
            out.exposure = ev.window.event == SDL_WINDOWEVENT_EXPOSED;
            return true;
          case SDL_WINDOWEVENT_CLOSE:
            out.type = WindowEvent::Type::Close;
            return true;
          default:
            break;
        }
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
      case SDL_TEXTINPUT:
        out.keyCount = translator_.Translate(ev, out.keys);
        if (out.keyCount > 0) {
          out.type = WindowEvent::Type::Keys;
          return true;
        }
        break;
      default:
        break;
    }
    if (remaining <= 0) return false;
  }
}

void NativeWindow::CopyToScreen(const raster::Surface& surface, const raster::Rect& rect) {
  if (!window_ || surface.BitsPerPixel() != 32) return;
  SDL_Surface* screen = SDL_GetWindowSurface(window_);
  if (!screen) return;
  raster::Rect r = rect.Intersect(surface.Bounds()).Intersect({0, 0, screen->w, screen->h});
  if (r.Empty()) return;
  if (SDL_MUSTLOCK(screen)) SDL_LockSurface(screen);
  uint8_t* pixels = static_cast<uint8_t*>(screen->pixels);
  const Uint32 format = screen->format->format;
  for (int y = r.top; y < r.bottom; ++y) {
    const uint8_t* from = surface.Row(y) + size_t(r.left) * 4;
    uint8_t* to = pixels + size_t(y) * size_t(screen->pitch) + size_t(r.left) * screen->format->BytesPerPixel;
    if (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888) {
      std::memcpy(to, from, size_t(r.Width()) * 4);
    } else {
      SDL_ConvertPixels(r.Width(), 1, SDL_PIXELFORMAT_RGB888, from, r.Width() * 4, format, to, screen->pitch);
    }
  }
  if (SDL_MUSTLOCK(screen)) SDL_UnlockSurface(screen);
  pending_ = pending_.Union(r);
}

void NativeWindow::Flush() {
  if (!window_ || pending_.Empty()) return;
  SDL_Rect r{pending_.left, pending_.top, pending_.Width(), pending_.Height()};
  SDL_UpdateWindowSurfaceRects(window_, &r, 1);
  pending_ = {};
}

std::string LastOpenError() {
  std::lock_guard<std::mutex> lock(lastErrorLock);
  return lastError;
}

bool PostWindowRequest(uint32_t token, uint32_t request) {
  SDL_Event ev;
  SDL_zero(ev);
  ev.type = SDL_USEREVENT;
  ev.user.code = Sint32(request);
  ev.user.data1 = reinterpret_cast<void*>(uintptr_t(token));
  return SDL_PushEvent(&ev) == 1;
}

}  // namespace window

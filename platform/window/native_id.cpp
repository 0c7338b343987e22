// The system's own id of an SDL window. Kept apart because the window system's headers
// define short macro names (Expose, None, ...) that clash with ordinary code.
// Our headers first: the window system's come last, after every name they could clobber.
#include "platform/window/sdl_window.h"

#include <SDL2/SDL_syswm.h>

namespace window {

uint64_t NativeWindow::NativeId() const {
  if (!window_) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window_, &info)) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  if (info.subsystem == SDL_SYSWM_X11) return uint64_t(info.info.x11.window);
#endif
  return 0;
}

}  // namespace window

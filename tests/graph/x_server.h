// What the X server itself says about our window, asked over a connection of the test's own:
// its size, title and position, its pixels on screen, and the close request a window manager
// would send. libX11 is loaded at run time, so the tests need no link to it.
#pragma once

#include <cstdint>
#include <string>

namespace x_server {

struct WindowFacts {
  bool exists = false;
  bool viewable = false;
  int x = 0, y = 0;  // client area's top-left corner on the screen
  int width = 0, height = 0;
  std::string title;
};

// Facts about window `id`; exists is false when the server has no such window.
WindowFacts DescribeWindow(uint64_t id);

// The RGB colour (0xRRGGBB) the screen shows at (x, y) of the window; -1 when unreadable.
int64_t ScreenPixel(uint64_t id, int x, int y);

// Sends the window manager's close request (WM_PROTOCOLS / WM_DELETE_WINDOW).
bool SendDeleteWindow(uint64_t id);

// Screen size of the default screen.
bool ScreenSize(int& width, int& height);

// An X server of the test's own (Xvfb, 1280 x 1024 x 24) for as long as the object lives:
// DISPLAY points to it meanwhile. Tests that read the screen use one, so that windows of
// tests running in parallel cannot cover theirs.
class PrivateServer {
 public:
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;
  bool Running() const { return pid_ > 0; }

 private:
  int pid_ = -1;
  std::string savedDisplay_;
  bool hadDisplay_ = false;
};

}  // namespace x_server

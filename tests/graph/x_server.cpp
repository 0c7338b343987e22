// X server queries for the window tests (see x_server.h).
#include "x_server.h"


#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace x_server {

namespace {

struct Xlib {
  bool loaded = false;
  decltype(&XOpenDisplay) OpenDisplay = nullptr;
  decltype(&XCloseDisplay) CloseDisplay = nullptr;
  decltype(&XSetErrorHandler) SetErrorHandler = nullptr;
  decltype(&XGetWindowAttributes) GetWindowAttributes = nullptr;
  decltype(&XFetchName) FetchName = nullptr;
  decltype(&XFree) Free = nullptr;
  decltype(&XTranslateCoordinates) TranslateCoordinates = nullptr;
  decltype(&XGetImage) GetImage = nullptr;
  decltype(&XInternAtom) InternAtom = nullptr;
  decltype(&XSendEvent) SendEvent = nullptr;
  decltype(&XSync) Sync = nullptr;
};

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

const Xlib& Lib() {
  static Xlib lib;
  static std::once_flag once;
  std::call_once(once, [] {
    void* so = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!so) return;
#define LOAD(name) lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(so, "X" #name))
    LOAD(OpenDisplay);
    LOAD(CloseDisplay);
    LOAD(SetErrorHandler);
    LOAD(GetWindowAttributes);
    LOAD(FetchName);
    LOAD(Free);
    LOAD(TranslateCoordinates);
    LOAD(GetImage);
    LOAD(InternAtom);
    LOAD(SendEvent);
    LOAD(Sync);
#undef LOAD
    lib.loaded = lib.OpenDisplay && lib.CloseDisplay && lib.SetErrorHandler && lib.GetWindowAttributes &&
                 lib.FetchName && lib.Free && lib.TranslateCoordinates && lib.GetImage && lib.InternAtom &&
                 lib.SendEvent && lib.Sync;
  });
  return lib;
}

// One connection per question, closed again.
struct Connection {
  Display* display = nullptr;
  Connection() {
    if (!Lib().loaded) return;
    // A window that is gone must answer "no such window", not end the test program. Set
    // each time: the library's own video start-up and end replace the handler.
    Lib().SetErrorHandler(IgnoreErrors);
    display = Lib().OpenDisplay(nullptr);
  }
  ~Connection() {
    if (display) Lib().CloseDisplay(display);
  }
};

}  // namespace

WindowFacts DescribeWindow(uint64_t id) {
  WindowFacts facts;
  Connection c;
  if (!c.display || id == 0) return facts;
  const Xlib& x = Lib();
  XWindowAttributes attributes;
  if (!x.GetWindowAttributes(c.display, Window(id), &attributes)) return facts;
  facts.exists = true;
  facts.viewable = attributes.map_state == IsViewable;
  facts.width = attributes.width;
  facts.height = attributes.height;
  Window child;
  x.TranslateCoordinates(c.display, Window(id), attributes.root, 0, 0, &facts.x, &facts.y, &child);
  char* name = nullptr;
  if (x.FetchName(c.display, Window(id), &name) && name) {
    facts.title = name;
    x.Free(name);
  }
  return facts;
}

int64_t ScreenPixel(uint64_t id, int px, int py) {
  Connection c;
  if (!c.display || id == 0) return -1;
  XImage* image = Lib().GetImage(c.display, Window(id), px, py, 1, 1, AllPlanes, ZPixmap);
  if (!image) return -1;
  int64_t value = int64_t(image->f.get_pixel(image, 0, 0) & 0xFFFFFF);
  image->f.destroy_image(image);
  return value;
}

bool SendDeleteWindow(uint64_t id) {
  Connection c;
  if (!c.display || id == 0) return false;
  const Xlib& x = Lib();
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = Window(id);
  event.xclient.message_type = x.InternAtom(c.display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(x.InternAtom(c.display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  bool sent = x.SendEvent(c.display, Window(id), False, NoEventMask, &event) != 0;
  x.Sync(c.display, False);
  return sent;
}

bool ScreenSize(int& width, int& height) {
  Connection c;
  if (!c.display) return false;
  width = DisplayWidth(c.display, DefaultScreen(c.display));
  height = DisplayHeight(c.display, DefaultScreen(c.display));
  return true;
}

PrivateServer::PrivateServer() {
  int fds[2];
  if (pipe(fds) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The server writes to the pipe's own descriptor, which it inherits as it is.
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 0, 0);
  std::string fd = std::to_string(fds[1]);
  char xvfb[] = "Xvfb", displayfd[] = "-displayfd", screen[] = "-screen", zero[] = "0",
       size[] = "1280x1024x24", nolisten[] = "-nolisten", tcp[] = "tcp", noreset[] = "-noreset";
  // -noreset: without it the server resets each time its last client leaves (a window
  // closing can be that client), and refuses connections while it does.
  char* argv[] = {xvfb, displayfd, fd.data(), screen, zero, size, nolisten, tcp, noreset, nullptr};
  pid_t pid = -1;
  int spawned = posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (spawned != 0) {
    close(fds[0]);
    return;
  }
  pid_ = pid;
  // The server writes its display number once it accepts connections.
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  while (poll(&p, 1, 20000) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  const char* old = std::getenv("DISPLAY");
  hadDisplay_ = old != nullptr;
  if (old) savedDisplay_ = old;
  setenv("DISPLAY", (":" + number).c_str(), 1);
}

PrivateServer::~PrivateServer() {
  if (pid_ <= 0) return;
  if (hadDisplay_) setenv("DISPLAY", savedDisplay_.c_str(), 1);
  else unsetenv("DISPLAY");
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

}  // namespace x_server

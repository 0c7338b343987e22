// Running the real hlasivo under the test's X server: start it in a folder with its own voice,
// find its windows by process id, measure and photograph them, type keys with xdotool, ask a
// window to close as a window manager would, and collect the exit code, stderr and the sound
// SDL's disk driver captured.
#pragma once

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xcomposite.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

inline void WriteBytes(const fs::path& p, std::string_view bytes) {
  std::ofstream f(p, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// A 16-bit mono WAV of `ms` milliseconds at 22,050 Hz: a square tone of `hz` around `level`.
// The level tells the samples apart in the capture; the tone makes them audible.
inline void WriteTone(const fs::path& p, int ms, int level, int hz = 0) {
  const uint32_t rate = 22050, frames = rate * ms / 1000;
  std::string b = "RIFF";
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  };
  auto u16 = [&](uint16_t v) {
    b += static_cast<char>(v);
    b += static_cast<char>(v >> 8);
  };
  u32(36 + frames * 2);
  b += "WAVEfmt ";
  u32(16);
  u16(1);
  u16(1);
  u32(rate);
  u32(rate * 2);
  u16(2);
  u16(16);
  b += "data";
  u32(frames * 2);
  for (uint32_t i = 0; i < frames; ++i) {
    int wobble = hz ? ((i * 2 * hz / rate) % 2 ? 100 : -100) : 0;
    u16(static_cast<uint16_t>(level + wobble));
  }
  WriteBytes(p, b);
}

struct TTemp {
  fs::path path;
  TTemp() {
    std::string pattern = (fs::temp_directory_path() / "hlasivo-e2e-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~TTemp() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

// One run of the program.
class TProgram {
 public:
  pid_t pid = -1;
  fs::path dir, errFile, outFile, audioFile;

  // Starts hlasivo with `args` in `cwd`; SDL's disk driver captures its sound.
  bool Start(const fs::path& cwd, std::vector<std::string> args, std::vector<std::string> env = {}) {
    dir = cwd;
    errFile = cwd / "stderr.txt";
    outFile = cwd / "stdout.txt";
    audioFile = cwd / "audio.raw";
    const std::string exe = std::string(HLASIVO_BINARY_DIR) + "/hlasivo";
    pid = fork();
    if (pid == 0) {
      if (chdir(cwd.c_str()) != 0) _exit(127);
      int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(err, 2);
      dup2(out, 1);
      setenv("SDL_AUDIODRIVER", "disk", 1);
      setenv("SDL_DISKAUDIOFILE", audioFile.c_str(), 1);
      setenv("XDG_RUNTIME_DIR", cwd.c_str(), 1);
      unsetenv("HLASIVO_AUDIO");
      for (auto& e : env) putenv(strdup(e.c_str()));
      std::vector<char*> argv{const_cast<char*>(exe.c_str())};
      for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(exe.c_str(), argv.data());
      _exit(127);
    }
    return pid > 0;
  }
  // The exit code, or -1 when it did not end within `seconds` (it is then killed).
  int Wait(double seconds = 20) {
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    int status = 0;
    while (Clock::now() < end) {
      pid_t r = waitpid(pid, &status, WNOHANG);
      if (r == pid) {
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    pid = -1;
    return -1;
  }
  ~TProgram() {
    if (pid > 0) Wait(0);
  }
  // Stderr without the lines SDL's disk driver writes about itself.
  std::string Stderr() const {
    std::string all = ReadBytes(errFile), kept;
    size_t i = 0;
    while (i < all.size()) {
      size_t j = all.find('\n', i);
      j = j == std::string::npos ? all.size() : j + 1;
      std::string line = all.substr(i, j - i);
      if (line.rfind("CRITICAL: ", 0) != 0) kept += line;
      i = j;
    }
    return kept;
  }
  std::string Stdout() const { return ReadBytes(outFile); }
  // The captured sound: signed 16-bit mono frames at 22,050 Hz.
  std::vector<int16_t> Audio() const {
    std::string raw = ReadBytes(audioFile);
    std::vector<int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    return out;
  }
};

struct TImage {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;  // 0xRRGGBB
  uint32_t At(int x, int y) const { return rgb[y * width + x]; }
};

// Windows of other programs come and go while the tests look at them: a request about a window
// that is gone is not an error here.
inline int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class TDisplay {
 public:
  Display* d = (XSetErrorHandler(IgnoreXError), XOpenDisplay(nullptr));

  // Several programs' windows open at the same place at once; with every top-level window
  // redirected off screen, each keeps its own contents and a screenshot sees them all.
  TDisplay() {
    if (d) XCompositeRedirectSubwindows(d, DefaultRootWindow(d), CompositeRedirectAutomatic);
  }
  ~TDisplay() {
    if (d) XCloseDisplay(d);
  }

  // The viewable top-level window of `pid` with this size, waiting up to `seconds`; 0 if none.
  Window FindWindow(pid_t pid, int width, int height, double seconds = 40) {
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    while (Clock::now() < end) {
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; ++i) {
          Atom type;
          int format;
          unsigned long items, after;
          unsigned char* data = nullptr;
          if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                 &after, &data) == Success &&
              data && items == 1) {
            long owner = *reinterpret_cast<long*>(data);
            XFree(data);
            XWindowAttributes a;
            if (owner == pid && XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable &&
                a.width == width && a.height == height) {
              Window w = children[i];
              XFree(children);
              return w;
            }
          } else if (data) {
            XFree(data);
          }
        }
        if (children) XFree(children);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
  }

  // Every top-level window as "pid WxH viewable|unmapped", for failure messages.
  std::string DescribeWindows() {
    std::string out;
    Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) return "(no window tree)";
    for (unsigned i = 0; i < n; ++i) {
      Atom type;
      int format;
      unsigned long items, after;
      unsigned char* data = nullptr;
      long owner = -1;
      if (XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                             &data) == Success &&
          data && items == 1)
        owner = *reinterpret_cast<long*>(data);
      if (data) XFree(data);
      XWindowAttributes a;
      if (!XGetWindowAttributes(d, children[i], &a)) continue;
      out += "[pid " + std::to_string(owner) + " " + std::to_string(a.width) + "x" + std::to_string(a.height) +
             (a.map_state == IsViewable ? " viewable" : " unmapped") + "] ";
    }
    if (children) XFree(children);
    return out.empty() ? "(none)" : out;
  }

  TImage Shot(Window w) {
    TImage img;
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a)) return img;
    XImage* x = XGetImage(d, w, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!x) return img;
    img.width = a.width;
    img.height = a.height;
    img.rgb.resize(static_cast<size_t>(a.width) * a.height);
    for (int y = 0; y < a.height; ++y)
      for (int xx = 0; xx < a.width; ++xx) img.rgb[y * a.width + xx] = XGetPixel(x, xx, y) & 0xFFFFFF;
    XDestroyImage(x);
    return img;
  }

  // What a window manager sends when the close box is clicked.
  void AskToClose(Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
  }
};

// Types a key (an X keysym name such as space, Return, Escape) into the window: press and
// release.
inline bool Key(Window w, const char* name) {
  std::string cmd = "xdotool key --window " + std::to_string(w) + " " + name + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

// Presses a key that ends the program. Its window may be gone before xdotool has finished
// talking to it, so xdotool's result says nothing; the exit code tells whether the key arrived.
// The key is released again through the server itself (not through the vanished window): a key
// left held down repeats into every window focused afterwards, which would answer the next
// program's wait for a key.
inline void PressKey(Window w, const char* name) {
  std::string cmd = "xdotool keydown --window " + std::to_string(w) + " " + name + " >/dev/null 2>&1; xdotool keyup " +
                    name + " >/dev/null 2>&1";
  (void)!std::system(cmd.c_str());
}

// The colour of the text in one 8 x 16 cell: 'W' white, 'Y' yellow, 'R' red, 'G' light grey,
// '.' nothing drawn.
inline char CellColor(const TImage& img, int col, int row) {
  int counts[4] = {};
  for (int y = row * 16; y < row * 16 + 16 && y < img.height; ++y)
    for (int x = col * 8; x < col * 8 + 8 && x < img.width; ++x) {
      uint32_t p = img.At(x, y);
      int r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (std::max({r, g, b}) < 150) continue;  // background and glyph edges
      if (r > 150 && g < 90 && b < 90)
        ++counts[2];
      else if (r > 150 && g > 150 && b < 90)
        ++counts[1];
      else if (r > 235 && g > 235 && b > 235)
        ++counts[0];
      else if (std::abs(r - g) < 20 && std::abs(g - b) < 20)
        ++counts[3];
    }
  int best = -1;
  for (int i = 0; i < 4; ++i)
    if (counts[i] > 0 && (best < 0 || counts[i] > counts[best])) best = i;
  return best < 0 ? '.' : "WYRG"[best];
}

inline std::string RowColors(const TImage& img, int row, int cells) {
  std::string s;
  for (int c = 0; c < cells; ++c) s += CellColor(img, c, row);
  return s;
}

// Polls screenshots until `ok` holds for one, or `seconds` pass; returns the last.
template <typename F>
TImage ShotWhen(TDisplay& x, Window w, F ok, double seconds = 20) {
  auto end = Clock::now() + std::chrono::duration<double>(seconds);
  TImage img = x.Shot(w);
  while (!ok(img) && Clock::now() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    img = x.Shot(w);
  }
  return img;
}

}  // namespace e2e

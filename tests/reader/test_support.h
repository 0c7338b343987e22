// Shared fixtures of the reader's tests: a scripted console (records what is drawn, feeds keys
// at chosen polls or audio frames, can request the close), WAV files made on the spot, and a
// temporary folder.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "audio/audio_backend.h"
#include "reader/reader.h"

struct TDrawnText {
  int16_t x, y;
  std::string text;
  TNamedColor color;
};

class TScriptedConsole : public TConsole {
 public:
  static constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
  struct TKeyAt {
    uint64_t poll = kNever;   // after this many KeyWaiting calls
    uint64_t frame = kNever;  // or once the virtual clock reached this frame
    std::vector<uint8_t> codes;
  };

  std::vector<TDrawnText> drawn;
  std::vector<std::string> events;  // window calls in order, e.g. "InitGraph 360x160"
  int clears = 0;
  TNamedColor color = TNamedColor::White;
  int16_t maxX = 639, maxY = 239;
  std::deque<uint8_t> queue;
  std::vector<TKeyAt> script;
  uint64_t polls = 0;
  uint64_t closeAtPoll = kNever;
  uint64_t closeAtFrame = kNever;
  uint64_t pollLimit = 200'000'000;  // a runaway loop ends as a close, and the test sees it
  bool closeRequested = false;
  bool runaway = false;
  uint16_t width = 0, height = 0;
  int waitedMs = 0;
  std::function<void(TScriptedConsole&)> onPoll;  // runs at every KeyWaiting

  void KeyAtPoll(uint64_t poll, std::vector<uint8_t> codes) { script.push_back({poll, kNever, codes}); }
  void KeyAtFrame(uint64_t frame, std::vector<uint8_t> codes) { script.push_back({kNever, frame, codes}); }

  void Release() {
    uint64_t frame = VirtualAudioOpen() ? GetVirtualClockFrame() : 0;
    for (auto it = script.begin(); it != script.end();) {
      if (polls >= it->poll || (it->frame != kNever && frame >= it->frame)) {
        for (uint8_t c : it->codes) queue.push_back(c);
        it = script.erase(it);
      } else {
        ++it;
      }
    }
    if (polls >= closeAtPoll || (closeAtFrame != kNever && frame >= closeAtFrame)) closeRequested = true;
    if (polls >= pollLimit) closeRequested = runaway = true;
  }

  void SetGraphWindowSize(uint16_t w, uint16_t h) override { width = w, height = h; }
  void InitGraph(int16_t driver, int16_t mode, std::string_view caption) override {
    maxX = static_cast<int16_t>(width - 1);
    maxY = static_cast<int16_t>(height - 1);
    events.push_back("InitGraph " + std::to_string(driver) + " " + std::to_string(mode) + " " +
                     std::to_string(width) + "x" + std::to_string(height) + " " + std::string(caption));
  }
  void CloseGraphWindow() override { events.push_back("CloseGraphWindow"); }
  bool CloseRequested() override {
    Release();
    return closeRequested;
  }
  bool KeyWaiting() override {
    ++polls;
    if (onPoll) onPoll(*this);
    Release();
    return !queue.empty();
  }
  uint8_t ReadKeyCode() override {
    events.push_back("ReadKeyCode");
    Release();
    if (queue.empty()) return 0;
    uint8_t c = queue.front();
    queue.pop_front();
    return c;
  }
  void WaitMilliseconds(uint16_t ms) override { waitedMs += ms; }
  void DrawTextAt(int16_t x, int16_t y, std::string_view text) override {
    drawn.push_back({x, y, std::string(text), color});
  }
  void SetDrawColor(TNamedColor c) override { color = c; }
  void ClearGraphWindow() override {
    ++clears;
    events.push_back("ClearGraphWindow");
  }
  int16_t GetWindowMaxX() override { return maxX; }
  int16_t GetWindowMaxY() override { return maxY; }

  // Everything drawn, joined, with the colour of each character as W, Y, R or G.
  std::string Text() const {
    std::string s;
    for (auto& d : drawn) s += d.text;
    return s;
  }
  std::string Colors() const {
    std::string s;
    for (auto& d : drawn)
      for (size_t i = 0; i < d.text.size(); ++i) s += "WYRG"[static_cast<int>(d.color)];
    return s;
  }
};

// Installs a console for the life of a test.
struct TConsoleScope {
  explicit TConsoleScope(TConsole* c) { UseConsole(c); }
  ~TConsoleScope() { UseConsole(nullptr); }
};

inline std::filesystem::path MakeTempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "hlasivo-reader-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  return made ? std::filesystem::path(made) : std::filesystem::path();
}

struct TTempFolder {
  std::filesystem::path path = MakeTempFolder();
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

inline void WriteFileBytes(const std::filesystem::path& p, std::string_view bytes) {
  FILE* f = std::fopen(p.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A 16-bit mono WAV file of `frames` frames, every one `value`.
inline void WriteToneWav(const std::filesystem::path& p, uint32_t rate, uint32_t frames, int16_t value) {
  std::string b;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>(v >> (8 * i));
  };
  auto u16 = [&](uint16_t v) {
    b += static_cast<char>(v);
    b += static_cast<char>(v >> 8);
  };
  b += "RIFF";
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
  for (uint32_t i = 0; i < frames; ++i) u16(static_cast<uint16_t>(value));
  WriteFileBytes(p, b);
}

// Fills TextBuffer as the set-up leaves it.
inline void LoadText(std::string_view text) {
  for (auto& b : TextBuffer) b = ' ';
  for (size_t i = 0; i < text.size(); ++i) TextBuffer[TextStart + i] = static_cast<uint8_t>(text[i]);
  TextLength = static_cast<int32_t>(text.size());
}

// Replaces DefinitionTable with these lines of sound.def.
inline void LoadRules(std::string_view lines) {
  TDefinitionReader reader;
  reader.Feed(lines.data(), lines.size());
  reader.Finish();
}

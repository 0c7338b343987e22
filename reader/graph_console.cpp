// The reader's console on the graphics library: the real window, its keyboard queue and its
// waits. Only the program uses it (main.cpp); tests script their own console.
#include "graph/graph.h"
#include "reader/reader.h"

namespace {

class TGraphConsole final : public TConsole {
 public:
  void SetGraphWindowSize(uint16_t width, uint16_t height) override { ::SetGraphWindowSize(width, height); }
  void InitGraph(int16_t driver, int16_t mode, std::string_view caption) override {
    ::InitGraph(driver, mode, caption);
  }
  void CloseGraphWindow() override { ::CloseGraphWindow(); }
  bool CloseRequested() override { return ::CloseRequested(); }
  bool KeyWaiting() override { return ::KeyWaiting(); }
  uint8_t ReadKeyCode() override { return ::ReadKeyCode(); }
  void WaitMilliseconds(uint16_t ms) override { ::WaitMilliseconds(ms); }
  void SetTextAlignment(int16_t horizontal, int16_t vertical) override {
    ::SetTextAlignment(static_cast<uint16_t>(horizontal), static_cast<uint16_t>(vertical));
  }
  void SelectTextFont(uint16_t font, uint16_t direction, uint16_t size) override {
    ::SelectTextFont(font, direction, size);
  }
  void DrawTextAt(int16_t x, int16_t y, std::string_view text) override { ::DrawTextAt(x, y, text); }
  void SetDrawColor(TNamedColor color) override {
    // The named colours are read at each use: every InitGraph gives them new values.
    switch (color) {
      case TNamedColor::White:
        ::SetDrawColor(White);
        break;
      case TNamedColor::Yellow:
        ::SetDrawColor(Yellow);
        break;
      case TNamedColor::Red:
        ::SetDrawColor(Red);
        break;
      case TNamedColor::LightGray:
        ::SetDrawColor(LightGray);
        break;
    }
  }
  void ClearGraphWindow() override { ::ClearGraphWindow(); }
  int16_t GetWindowMaxX() override { return ::GetWindowMaxX(); }
  int16_t GetWindowMaxY() override { return ::GetWindowMaxY(); }
};

}  // namespace

TConsole* GraphConsole() {
  static TGraphConsole console;
  return &console;
}

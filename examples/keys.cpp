// Opens a window and prints each key code it reads, one per line ("0 59" for F1), until Esc
// or the window's close button.
#include <cstdio>

#include "graph/graph.h"

int main() {
  SetGraphWindowSize(360, 160);
  int16_t driver = D8bit, mode = CustomMode;
  InitGraph(driver, mode, "Keys");
  int16_t result = TakeGraphError();
  if (!GraphWindowOpen()) {
    std::fprintf(stderr, "%s\n", GraphErrorText(result).CStr());
    return 1;
  }
  std::printf("Press keys; Esc or the close button ends.\n");
  std::fflush(stdout);
  for (;;) {
    uint8_t code = ReadKeyCode();
    if (code == 0) {
      uint8_t extended = ReadKeyCode();
      std::printf("0 %u\n", extended);
      std::fflush(stdout);
      if (extended == 107 && CloseRequested()) break;
      continue;
    }
    std::printf("%u\n", code);
    std::fflush(stdout);
    if (code == 27) break;
  }
  CloseGraphWindow();
  return 0;
}

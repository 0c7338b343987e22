// Text and clearing in a real 640 x 240 window of driver 3, as the reader uses them: single
// characters drawn through to the window and the page, and whole-window clears.
// Run under a display (xvfb-run); prints calls per second and time per clear.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "graph/graph.h"

namespace {

void DrawSingleCharacters(benchmark::State& state) {
  static const char kLetters[] = "Hlasivo cte nahlas, pismeno po pismenu. ";
  int i = 0, x = 0, y = 0;
  SetDrawColor(White);
  for (auto _ : state) {
    DrawTextAt(int16_t(x), int16_t(y), std::string_view(&kLetters[i], 1));
    i = (i + 1) % (sizeof(kLetters) - 1);
    x += 9;
    if (x > 630) {
      x = 0;
      y = (y + 16) % 224;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(DrawSingleCharacters)->MinTime(2.0);

void ClearWholeWindow(benchmark::State& state) {
  for (auto _ : state) ClearGraphWindow();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ClearWholeWindow)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  SetGraphWindowSize(640, 240);
  int16_t driver = D8bit, mode = CustomMode;
  InitGraph(driver, mode, "Hlasivo");
  int16_t result = TakeGraphError();
  if (!GraphWindowOpen()) {
    std::fprintf(stderr, "InitGraph failed with %d (is a display running?)\n", result);
    return 1;
  }
  SelectTextFont(0, 0, 16);
  SetTextAlignment(0, 0);
  benchmark::RunSpecifiedBenchmarks();
  CloseGraphWindow();
  benchmark::Shutdown();
  return 0;
}

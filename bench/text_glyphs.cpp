// Text output on a bare device context, below the graphics library: one character at a time
// (the reader's echo), a whole status line, and making a font. Prints calls per second.
#include <benchmark/benchmark.h>

#include <cstring>

#include "platform/fonts/fonts.h"
#include "platform/raster/raster.h"

namespace {

struct Target {
  raster::Surface surface;
  raster::DeviceContext dc;
  explicit Target(int bits) {
    surface.Create(640, 240, bits);
    dc.SelectSurface(&surface);
    fonts::FontRequest request;
    request.faceName = "Arial";
    request.height = 16;
    request.weight = 700;
    dc.font = fonts::Font::Create(request);
    dc.textColor = raster::MakeRgb(255, 255, 0);
    dc.backgroundMode = raster::BackgroundMode::Transparent;
    dc.textAlign = raster::kAlignUpdateCP;
  }
};

void DrawOneCharacter(benchmark::State& state) {
  Target t(int(state.range(0)));
  const char text[] = "Zluty kun";
  size_t i = 0;
  for (auto _ : state) {
    if (t.dc.currentPosition.x > 600) t.dc.currentPosition = {0, (t.dc.currentPosition.y + 16) % 224};
    benchmark::DoNotOptimize(fonts::DrawText(t.dc, 0, 0, std::string_view(text + i, 1)));
    i = (i + 1) % (sizeof text - 1);
  }
  state.counters["calls/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DrawOneCharacter)->Arg(8)->Arg(32);

void DrawStatusLine(benchmark::State& state) {
  Target t(int(state.range(0)));
  const std::string line = fonts::Utf8ToCp1250("Načítám hlasové vzorky ze složky CZ ...");
  for (auto _ : state) {
    t.dc.currentPosition = {4, 100};
    benchmark::DoNotOptimize(fonts::DrawText(t.dc, 0, 0, line));
  }
  state.counters["calls/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DrawStatusLine)->Arg(8)->Arg(32);

// A font not made before: fontconfig match, face load, metrics (no glyphs yet).
void MakeNewFont(benchmark::State& state) {
  int height = 1000;
  for (auto _ : state) {
    fonts::FontRequest request;
    request.faceName = "Times New Roman";
    request.height = height++;
    benchmark::DoNotOptimize(fonts::Font::Create(request));
  }
}
BENCHMARK(MakeNewFont);

}  // namespace

BENCHMARK_MAIN();

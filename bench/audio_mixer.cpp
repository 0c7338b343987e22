// Mixer cost: nanoseconds per output frame, with two playbacks at odd rate ratios, as the share
// of one core that a 22,050 Hz output takes. Rendered in the device's 20 ms buffers.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "audio/mixer.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kBuffer = 441;

void RenderTwoVoices(benchmark::State& state) {
  const double ratioA = state.range(0) / 10000.0;
  const double ratioB = state.range(1) / 10000.0;
  std::vector<float> tone(kRate * 20);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = 0.4f * float(std::sin(i * 0.0721) + 0.3 * std::sin(i * 0.5113));
  MixSampleType sample;
  BuildMixSample(sample, tone.data(), uint32_t(tone.size()));
  static MixerType mixer;
  ResetMixer(mixer);
  auto start = [&](int voice, double ratio) {
    StartMixVoice(mixer, voice, &sample, 0, MixIncrement(uint32_t(kRate * ratio), kRate), 0.8f,
                  mixer.renderedEnd.load());
  };
  start(0, ratioA);
  start(1, ratioB);
  int16_t out[kBuffer];
  int64_t frames = 0;
  for (auto _ : state) {
    RenderMix(mixer, out, kBuffer);
    benchmark::DoNotOptimize(out);
    frames += kBuffer;
    for (int v = 0; v < 2; ++v)
      if (mixer.voice[v].state.load() != kVoiceLive) start(v, v == 0 ? ratioA : ratioB);
  }
  state.SetItemsProcessed(frames);
  state.counters["ns_per_frame"] =
      benchmark::Counter(double(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["core_pct_at_22050"] = benchmark::Counter(double(frames) / (kRate * 100.0),
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Ratios x 10,000: near the voice's own rate, slower, and faster (the decimated copies).
BENCHMARK(RenderTwoVoices)->Args({11357, 7731})->Args({9973, 12841})->Args({37001, 23333})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// Join precision: a chain of short click samples, each started by a tight polling loop the way
// the reader's sequencer does it (playing and position >= length - overlap), with mixed rates,
// play frequencies and overlaps. The output is captured (SDL's disk driver for the real device
// path; the kept frames for the virtual clock), every click's onset is found, and each join is
// compared with the ideal one: the first output frame at which the previous sample's position
// reaches the threshold (or at which it ends).
//
// Usage: bench_audio_join [joins]   (default 240; the device part plays in real time)
#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/bass.h"

namespace {

constexpr uint32_t kRate = 22050;

struct ClickType {
  std::vector<uint8_t> image;
  uint32_t rate;
  uint32_t frames;
  uint32_t bytesPerFrame;
};

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A click (one full-scale frame) followed by silence, 16-bit mono.
ClickType MakeClick(uint32_t rate, uint32_t frames) {
  std::vector<uint8_t> b;
  for (const char* t = "RIFF"; *t; ++t) b.push_back(uint8_t(*t));
  Put32(b, 36 + frames * 2);
  for (const char* t = "WAVEfmt "; *t; ++t) b.push_back(uint8_t(*t));
  Put32(b, 16);
  Put16(b, 1);
  Put16(b, 1);
  Put32(b, rate);
  Put32(b, rate * 2);
  Put16(b, 2);
  Put16(b, 16);
  for (const char* t = "data"; *t; ++t) b.push_back(uint8_t(*t));
  Put32(b, frames * 2);
  for (uint32_t i = 0; i < frames; ++i) Put16(b, i == 0 ? 29000 : 0);
  return {b, rate, frames, 2};
}

struct StepType {
  int click;
  int32_t freq;
  int32_t threshold;  // bytes of this step's sample at which the next step may start
  uint64_t increment;
  uint64_t outFrames;
};

bool Ready(HCHANNEL ch, int32_t threshold) {
  if (BASS_ChannelIsActive(ch) != 1) return true;
  return BASS_ChannelGetPosition(ch) >= uint64_t(int64_t(threshold));
}

// Output frames after a step's start at which the next step ideally starts.
uint64_t IdealGap(const StepType& s, const ClickType& c) {
  for (uint64_t k = 0;; ++k) {
    if (k >= s.outFrames) return k;
    if (((k * s.increment) >> 32) * c.bytesPerFrame >= uint64_t(int64_t(s.threshold))) return k;
  }
}

std::vector<StepType> MakeChain(const std::vector<ClickType>& clicks, int joins) {
  std::vector<StepType> steps;
  uint32_t seed = 2024;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (int i = 0; i <= joins; ++i) {
    StepType s{};
    s.click = int(next() % clicks.size());
    const ClickType& c = clicks[s.click];
    const double factor = 0.8 + (next() % 500) / 1000.0;  // 0.8 .. 1.3
    s.freq = int32_t(c.rate * factor);
    const int overlapPercent = int(next() % 81) - 40;   // -40 .. 40
    const int32_t length = int32_t(c.frames * c.bytesPerFrame);
    s.threshold = length - int32_t(std::lround(length * overlapPercent / 100.0));
    s.increment = ((uint64_t(uint32_t(s.freq)) << 32) + kRate / 2) / kRate;
    s.outFrames = ((uint64_t(c.frames) << 32) + s.increment - 1) / s.increment;
    steps.push_back(s);
  }
  return steps;
}

// Plays the chain; false when a start failed.
bool PlayChain(const std::vector<StepType>& steps, const std::vector<HSAMPLE>& handles) {
  HCHANNEL playing = 0;
  int32_t threshold = 0;
  for (const StepType& s : steps) {
    while (!Ready(playing, threshold)) {
    }
    playing = BASS_SamplePlayEx(handles[s.click], 0, s.freq, 100, -101, 0);
    if (playing == 0) return false;
    threshold = s.threshold;
  }
  while (BASS_ChannelIsActive(playing) == 1) {
  }
  return true;
}

std::vector<size_t> FindOnsets(const std::vector<int16_t>& pcm) {
  std::vector<size_t> onsets;
  for (size_t i = 0; i < pcm.size(); ++i) {
    if (std::abs(pcm[i]) < 14000) continue;
    if (onsets.empty() || i > onsets.back() + 60) onsets.push_back(i);
  }
  return onsets;
}

// Join errors in frames (onset distance minus ideal distance); empty when onsets are missing.
std::vector<double> JoinErrors(const std::vector<int16_t>& pcm, const std::vector<StepType>& steps,
                               const std::vector<ClickType>& clicks) {
  const std::vector<size_t> onsets = FindOnsets(pcm);
  std::vector<double> errors;
  if (onsets.size() != steps.size()) {
    std::printf("  found %zu onsets for %zu clicks\n", onsets.size(), steps.size());
    return errors;
  }
  for (size_t i = 1; i < steps.size(); ++i) {
    const double ideal = double(IdealGap(steps[i - 1], clicks[steps[i - 1].click]));
    errors.push_back(double(onsets[i]) - double(onsets[i - 1]) - ideal);
  }
  return errors;
}

void Report(const char* name, std::vector<double> errors) {
  if (errors.empty()) {
    std::printf("%s: no figures\n", name);
    return;
  }
  int late = 0, early = 0;
  for (double& e : errors) {
    late += e > 0;
    early += e < 0;
    e = std::fabs(e);
  }
  std::sort(errors.begin(), errors.end());
  auto at = [&](double q) { return errors[std::min(errors.size() - 1, size_t(q * (errors.size() - 1) + 0.5))]; };
  const double ms = 1000.0 / kRate;
  const size_t over2ms = size_t(std::count_if(errors.begin(), errors.end(), [&](double e) { return e * ms > 2.0; }));
  std::printf("%s: %zu joins, |error| median %.3f ms (%.1f frames), p95 %.3f ms (%.1f frames), p99 %.3f ms, "
              "max %.3f ms (%.1f frames); late %d, early %d, exact %zu, over 2 ms %zu\n",
              name, errors.size(), at(0.5) * ms, at(0.5), at(0.95) * ms, at(0.95), at(0.99) * ms, errors.back() * ms,
              errors.back(), late, early, errors.size() - late - early, over2ms);
}

std::vector<int16_t> ReadRaw(const std::string& path) {
  std::vector<int16_t> v;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return v;
  int16_t buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 2, 4096, f)) > 0) v.insert(v.end(), buffer, buffer + n);
  std::fclose(f);
  return v;
}

std::vector<HSAMPLE> LoadClicks(const std::vector<ClickType>& clicks) {
  std::vector<HSAMPLE> handles;
  for (const ClickType& c : clicks)
    handles.push_back(BASS_SampleLoad(1, c.image.data(), 0, uint32_t(c.image.size()), 2, 0x20000));
  return handles;
}

}  // namespace

int main(int argc, char** argv) {
  const int joins = argc > 1 ? std::max(10, std::atoi(argv[1])) : 240;
  // 25 to 60 ms clicks at three rates.
  const std::vector<ClickType> clicks = {MakeClick(22050, 600), MakeClick(44100, 2000), MakeClick(11025, 400),
                                         MakeClick(22050, 1300), MakeClick(16000, 700)};
  const std::vector<StepType> steps = MakeChain(clicks, joins);

  // Virtual clock: one frame per readiness test.
  SelectVirtualAudioOutput(nullptr, 1);
  if (BASS_Init(1, kRate, 2, 0, nullptr)) {
    const std::vector<HSAMPLE> handles = LoadClicks(clicks);
    if (PlayChain(steps, handles)) {
      AdvanceVirtualClock(kRate / 10);
      Report("virtual clock", JoinErrors(GetVirtualOutput(), steps, clicks));
    }
    BASS_Free();
  }

  // The real SDL2 device path, captured by the disk driver.
  const std::string raw = "/tmp/hlasivo-bench-join-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", raw.c_str(), 1);
  SelectDeviceAudioOutput();
  if (!BASS_Init(1, kRate, 2, 0, nullptr)) {
    std::printf("SDL device: cannot open (%s)\n", SDL_GetError());
    return 1;
  }
  const std::vector<HSAMPLE> handles = LoadClicks(clicks);
  const bool played = PlayChain(steps, handles);
  SDL_Delay(200);
  BASS_Free();
  if (played) Report("SDL disk device", JoinErrors(ReadRaw(raw), steps, clicks));
  std::remove(raw.c_str());
  double load[3] = {0, 0, 0};
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3) load[0] = -1;
    std::fclose(f);
  }
  std::printf("load average during the run: %.2f (1 min)\n", load[0]);
  return 0;
}

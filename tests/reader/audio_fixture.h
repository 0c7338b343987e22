// A voice of flat tones on the virtual clock: each sample is a constant level, so the mixed
// output shows which samples sound at every frame.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "audio/audio_backend.h"
#include "audio/bass.h"
#include "test_support.h"

struct VirtualVoice : ::testing::Test {
  TScriptedConsole console;
  TConsoleScope scope{&console};
  TTempFolder dir;
  std::map<std::string, int32_t> index;  // sample name -> SoundTable index

  // name -> (frames at 22,050 Hz, level)
  void OpenVoice(std::initializer_list<std::tuple<const char*, uint32_t, int16_t>> samples) {
    for (auto& [name, frames, level] : samples)
      WriteToneWav(dir.path / (std::string(name) + ".wav"), 22050, frames, level);
    SelectVirtualAudioOutput(nullptr, 1);
    ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
    LoadSamplesFrom(dir.path.string());
    ASSERT_EQ(SampleCount, static_cast<int32_t>(samples.size()));
    for (int32_t i = 0; i < SampleCount; ++i) index[std::string(SoundTable[i].Name.View())] = i;
    console.drawn.clear();  // the loading dots
    SpeedPercent = 100;
    LastSample = 0;
    LastOverlap = 0;
  }
  void Rules(std::string_view lines) {
    LoadRules(lines);
    ResolveStepSamples();
  }
  void TearDown() override {
    FreeLoadedSamples();
    SampleCount = 0;
    BASS_Free();
    SelectDefaultAudioOutput();
  }
  // The first frame at or after `from` whose output level is `level` (within 2), or -1.
  static int64_t FirstFrameAt(const std::vector<int16_t>& out, int level, size_t from = 0) {
    for (size_t i = from; i < out.size(); ++i)
      if (std::abs(out[i] - level) <= 2) return static_cast<int64_t>(i);
    return -1;
  }
  // Output as runs of levels, e.g. "1000x220 2000x220" (silence is skipped).
  static std::string Runs(const std::vector<int16_t>& out) {
    std::string s;
    size_t i = 0;
    while (i < out.size()) {
      size_t j = i;
      while (j < out.size() && std::abs(out[j] - out[i]) <= 2) ++j;
      if (out[i] != 0) s += (s.empty() ? "" : " ") + std::to_string(out[i]) + "x" + std::to_string(j - i);
      i = j;
    }
    return s;
  }
};

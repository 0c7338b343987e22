// Through the real SDL2 output path, with SDL's disk driver capturing what the device plays:
// a chain of three tones started by polling comes out in order and at the right pitch; a chain
// played while the audio thread stalls comes out whole, every frame of every sample; BASS_Free
// plays out what was mixed; and the caller's thread and the audio thread work on the mixer side
// by side without a fault.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tests/audio/audio_fixtures.h"

namespace audio_test {
namespace {

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

double PitchOf(const std::vector<int16_t>& pcm, size_t from, size_t count, double rate) {
  int crossings = 0;
  for (size_t i = from + 1; i < from + count && i < pcm.size(); ++i) crossings += (pcm[i - 1] < 0) != (pcm[i] < 0);
  return crossings / 2.0 * rate / double(count);
}

// Noise of `frames` values in +-12000, different for every seed: found in a capture only where
// that very sample was played (at its own rate and volume 100 the mixer copies it exactly).
std::vector<int16_t> Noise(uint32_t seed, size_t frames) {
  std::vector<int16_t> v(frames);
  for (int16_t& x : v) {
    seed = seed * 1664525u + 1013904223u;
    x = int16_t(int32_t(seed >> 16) % 24001 - 12000);
  }
  return v;
}

// Where `run` starts in `pcm` at or after `from`; the size of `pcm` when it is not there whole.
size_t FindRun(const std::vector<int16_t>& pcm, size_t from, const std::vector<int16_t>& run) {
  for (size_t at = from; at + run.size() <= pcm.size(); ++at)
    if (std::equal(run.begin(), run.end(), pcm.begin() + long(at))) return at;
  return pcm.size();
}

// Frames of `run` found whole from its start at or after `from`: the longest prefix present.
size_t LongestPrefixAt(const std::vector<int16_t>& pcm, size_t from, const std::vector<int16_t>& run) {
  size_t best = 0;
  for (size_t at = from; at < pcm.size(); ++at) {
    size_t n = 0;
    while (n < run.size() && at + n < pcm.size() && pcm[at + n] == run[n]) ++n;
    best = std::max(best, n);
  }
  return best;
}

class SdlDeviceTest : public ::testing::Test {
 protected:
  void OpenDisk(const std::string& file, const char* delayMs) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    if (delayMs) {
      setenv("SDL_DISKAUDIODELAY", delayMs, 1);
    } else {
      unsetenv("SDL_DISKAUDIODELAY");
    }
    SelectDeviceAudioOutput();
    ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0) << SDL_GetError();
    EXPECT_FALSE(VirtualAudioOpen());
  }
  void TearDown() override {
    BASS_Free();
    SelectDefaultAudioOutput();
    unsetenv("SDL_DISKAUDIODELAY");
  }
  ScratchDir scratch_;
};

TEST_F(SdlDeviceTest, ChainOfThreeTonesComesOutInOrderAtTheRightPitch) {
  const std::string raw = scratch_.Path("device.raw");
  OpenDisk(raw, nullptr);
  // Three encodings and rates; the third is played at twice its rate, an octave up.
  struct {
    std::vector<uint8_t> image;
    int32_t freq;
    double pitch;
    uint32_t outFrames;
  } tones[] = {
      {PcmWav(Tone(400, 22050, 2205, 0.5), 1, 22050, 16), 22050, 400, 2205},
      {PcmWav(Tone(700, 44100, 4410, 0.5), 1, 44100, 24), 44100, 700, 2205},
      {PcmWav(Tone(500, 11025, 2205, 0.5), 1, 11025, 8), 22050, 1000, 2205},
  };
  HSAMPLE samples[3];
  for (int i = 0; i < 3; ++i) {
    samples[i] = BASS_SampleLoad(0, scratch_.Write("t" + std::to_string(i) + ".wav", tones[i].image).c_str(), 0, 0,
                                 2, 0x20000);
    ASSERT_NE(samples[i], 0u);
  }
  // The reader's way: start the next when the playing one has reached its length (overlap 0).
  HCHANNEL playing = 0;
  uint32_t threshold = 0;
  for (int i = 0; i < 3; ++i) {
    while (BASS_ChannelIsActive(playing) == 1 && BASS_ChannelGetPosition(playing) < threshold) {
    }
    playing = BASS_SamplePlayEx(samples[i], 0, tones[i].freq, 100, -101, 0);
    ASSERT_NE(playing, 0u);
    BASS_SAMPLE info{};
    BASS_SampleGetInfo(samples[i], &info);
    threshold = info.length;
  }
  while (BASS_ChannelIsActive(playing) == 1) {
  }
  SDL_Delay(150);  // let the device take the last frames
  ASSERT_NE(BASS_Free(), 0);

  // Name the tone of every 20 ms window of the capture (hop 10 ms). The joins themselves are
  // measured by bench/audio_join.cpp; here a join may be late by a descheduled moment of this
  // thread, so windows that straddle a join or a gap are simply not named.
  const std::vector<int16_t> pcm = ReadRaw(raw);
  size_t first = 0, last = pcm.size();
  while (first < pcm.size() && std::abs(pcm[first]) < 300) ++first;
  while (last > first && std::abs(pcm[last - 1]) < 300) --last;
  ASSERT_GT(last - first, 3u * 2205 - 100) << "the chain was not captured whole";
  ASSERT_LT(last - first, 3u * 2205 + 22050) << "gaps of a second: the chain stalled";
  std::vector<int> named;
  std::vector<int> count(3, 0);
  for (size_t at = first; at + 441 <= last; at += 220) {
    const double hz = PitchOf(pcm, at, 441, 22050);
    for (int i = 0; i < 3; ++i) {
      if (std::fabs(hz - tones[i].pitch) > tones[i].pitch * 0.04) continue;
      ++count[i];
      if (named.empty() || named.back() != i) named.push_back(i);
    }
  }
  EXPECT_EQ(named, (std::vector<int>{0, 1, 2})) << "the tones in the order they sound";
  for (int i = 0; i < 3; ++i) EXPECT_GE(count[i], 6) << "tone " << i << " lasts about 100 ms";
  // Nothing sounds after the chain: the last tone ended and nothing was left playing.
  for (size_t f = last + 2; f < pcm.size(); ++f) ASSERT_EQ(pcm[f], 0) << "frame " << f - first;
}

TEST_F(SdlDeviceTest, StalledAudioThreadDelaysTheChainAndDropsNothing) {
  // The reader's ending right after its last threshold: free the samples, then the device. The
  // audio thread stalls (as a loaded machine or a stuck device makes it) again and again, for
  // longer than a sample lasts: the positions the caller sees must wait for the device, so each
  // sample is heard whole and in order, the last one too.
  const std::string raw = scratch_.Path("stalled.raw");
  OpenDisk(raw, nullptr);
  const size_t lengths[] = {1500, 2600, 900, 3100, 1800, 2205};
  std::vector<std::vector<int16_t>> noise;
  std::vector<HSAMPLE> samples;
  for (size_t i = 0; i < std::size(lengths); ++i) {
    noise.push_back(Noise(uint32_t(7 + i), lengths[i]));
    samples.push_back(BASS_SampleLoad(0, scratch_.Write("n" + std::to_string(i) + ".wav", Pcm16Wav(noise[i], 22050)).c_str(),
                                      0, 0, 2, 0x20000));
    ASSERT_NE(samples.back(), 0u);
  }
  HCHANNEL playing = 0;
  uint32_t threshold = 0;
  for (size_t i = 0; i < samples.size(); ++i) {
    while (BASS_ChannelIsActive(playing) == 1 && BASS_ChannelGetPosition(playing) < threshold) {
    }
    playing = BASS_SamplePlayEx(samples[i], 0, 22050, 100, -101, 0);
    ASSERT_NE(playing, 0u);
    threshold = uint32_t(lengths[i] * 2);
    StallAudioDeviceOnce(i % 2 ? 90 : 160);
  }
  while (BASS_ChannelIsActive(playing) == 1 && BASS_ChannelGetPosition(playing) < threshold) {
  }
  for (HSAMPLE s : samples) EXPECT_NE(BASS_SampleFree(s), 0);
  ASSERT_NE(BASS_Free(), 0);

  const std::vector<int16_t> pcm = ReadRaw(raw);
  size_t at = 0;
  for (size_t i = 0; i < noise.size(); ++i) {
    const size_t found = FindRun(pcm, at, noise[i]);
    ASSERT_LT(found, pcm.size()) << "sample " << i << " is not in the capture whole: its longest part there has "
                                 << LongestPrefixAt(pcm, at, noise[i]) << " of " << noise[i].size() << " frames";
    if (i > 0) RecordProperty("gap" + std::to_string(i), int(found - at));
    at = found + noise[i].size();
  }
}

TEST_F(SdlDeviceTest, BassFreePlaysOutWhatWasMixedAndWhatStillSounds) {
  // A last sample (one second) still sounding when the caller ends: freed first, it is heard up
  // to where the caller saw it (the latency is played out, not cut) and no further; left playing,
  // it is heard to its end.
  struct {
    const char* name;
    bool freeSampleFirst;
  } cases[] = {{"sample freed, then the device", true}, {"device freed with the sample playing", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string raw = scratch_.Path(std::string("tail") + (c.freeSampleFirst ? "1" : "2") + ".raw");
    OpenDisk(raw, nullptr);
    const std::vector<int16_t> noise = Noise(c.freeSampleFirst ? 31 : 32, 22050);
    const HSAMPLE s = BASS_SampleLoad(0, scratch_.Write("tail.wav", Pcm16Wav(noise, 22050)).c_str(), 0, 0, 2, 0);
    ASSERT_NE(s, 0u);
    const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
    uint64_t seen = 0;
    while (BASS_ChannelIsActive(ch) == 1 && (seen = BASS_ChannelGetPosition(ch)) < 2 * 4410) {
    }
    ASSERT_GE(seen, 2u * 4410);
    if (c.freeSampleFirst) {
      ASSERT_NE(BASS_SampleFree(s), 0);
    }
    ASSERT_NE(BASS_Free(), 0);

    const std::vector<int16_t> pcm = ReadRaw(raw);
    const size_t heard = LongestPrefixAt(pcm, 0, noise);
    EXPECT_GE(heard, seen / 2) << "frames the caller saw played but never heard; the sample starts at "
                               << FindRun(pcm, 0, std::vector<int16_t>(noise.begin(), noise.begin() + 64))
                               << ", its frame " << heard << " is at "
                               << FindRun(pcm, 0, std::vector<int16_t>(noise.begin() + long(heard), noise.begin() + long(heard) + 64))
                               << " of " << pcm.size();
    if (c.freeSampleFirst) {
      EXPECT_LT(heard, noise.size()) << "freeing a playing sample stops it";
      const size_t start = FindRun(pcm, 0, std::vector<int16_t>(noise.begin(), noise.begin() + long(heard)));
      ASSERT_LT(start, pcm.size());
      for (size_t f = start + heard; f < pcm.size(); ++f) ASSERT_EQ(pcm[f], 0) << "sound after the stop";
    } else {
      EXPECT_EQ(heard, noise.size()) << "the playback still sounding is played to its end";
    }
  }
}

TEST_F(SdlDeviceTest, CallerAndAudioThreadShareTheMixerSafely) {
  // No delay: the audio thread mixes as fast as it can while this thread starts, polls, replaces
  // and frees playbacks; every answer must stay consistent.
  OpenDisk("/dev/null", "0");
  std::vector<std::vector<uint8_t>> images = {
      Pcm16Wav(Tone16(300, 22050, 500, 0.3), 22050), PcmWav(Tone(500, 8000, 300, 0.3, 2), 2, 8000, 24),
      ImaAdpcmWav(Tone16(200, 22050, 1010, 0.3), 22050), PcmWav(Tone(900, 44100, 2000, 0.3), 1, 44100, 32, true)};
  HSAMPLE samples[4];
  uint32_t lengths[4];
  for (int i = 0; i < 4; ++i) {
    samples[i] = BASS_SampleLoad(1, images[i].data(), 0, uint32_t(images[i].size()), 2, 0);
    ASSERT_NE(samples[i], 0u);
    BASS_SAMPLE info{};
    BASS_SampleGetInfo(samples[i], &info);
    lengths[i] = info.length;
  }
  struct Started {
    HCHANNEL channel;
    int sample;
    uint64_t lastPosition;
  };
  std::vector<Started> started;
  uint32_t seed = 99;
  auto next = [&seed] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
  for (int round = 0; round < 3000; ++round) {
    const int i = int(next() % 4);
    switch (next() % 8) {
      case 0: {
        const HSAMPLE old = samples[i];
        ASSERT_NE(BASS_SampleFree(old), 0);
        for (const Started& s : started)
          if (s.sample == i) {
            ASSERT_EQ(BASS_ChannelIsActive(s.channel), 0u) << "freed sample still playing";
          }
        samples[i] = BASS_SampleLoad(1, images[i].data(), 0, uint32_t(images[i].size()), 2, 0);
        ASSERT_NE(samples[i], 0u);
        for (Started& s : started)
          if (s.sample == i) s.sample = -1;
        break;
      }
      case 1:
      case 2:
      case 3: {
        const HCHANNEL ch = BASS_SamplePlayEx(samples[i], 0, int32_t(2000 + next() % 200000), int32_t(next() % 201),
                                              -101, 0);
        ASSERT_NE(ch, 0u);
        started.push_back({ch, i, 0});
        break;
      }
      default:
        for (size_t k = started.size() > 8 ? started.size() - 8 : 0; k < started.size(); ++k) {
          Started& s = started[k];
          const uint32_t active = BASS_ChannelIsActive(s.channel);
          const uint64_t pos = BASS_ChannelGetPosition(s.channel);
          if (s.sample >= 0) {
            ASSERT_LE(pos, lengths[s.sample]);
            if (active) {
              ASSERT_GE(pos, s.lastPosition) << "position went back";
              s.lastPosition = pos;
            }
          } else {
            ASSERT_EQ(active, 0u);
          }
        }
        break;
    }
  }
  // Never more than two of one sample at once.
  for (int i = 0; i < 4; ++i) {
    int active = 0;
    for (const Started& s : started) active += s.sample == i && BASS_ChannelIsActive(s.channel) == 1;
    EXPECT_LE(active, 2);
  }
  EXPECT_NE(BASS_Free(), 0) << "with playbacks running";
}

TEST_F(SdlDeviceTest, NoOutputMeansInitFails) {
  setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
  SelectDeviceAudioOutput();
  EXPECT_EQ(BASS_Init(1, 22050, 2, 0, nullptr), 0);
  EXPECT_EQ(BASS_SampleLoad(0, "/nonexistent.wav", 0, 0, 2, 0), 0u);
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace audio_test

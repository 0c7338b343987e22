// Playback on the virtual clock: rate, volume, positions, the playback limit per sample, handles,
// chains joined by polling, freeing, and bad arguments.
#include <SDL.h>

#include <algorithm>
#include <cmath>

#include "tests/audio/audio_fixtures.h"

namespace audio_test {
namespace {

class PlaybackTest : public VirtualAudioTest {
 protected:
  // Frames of output until `ch` stops, advancing one frame at a time from now.
  uint64_t FramesUntilStopped(HCHANNEL ch, uint64_t limit) {
    const uint64_t from = GetVirtualClockFrame();
    while (BASS_ChannelIsActive(ch) == 1 && GetVirtualClockFrame() - from < limit) AdvanceVirtualClock(1);
    return GetVirtualClockFrame() - from;
  }
};

TEST_F(PlaybackTest, PlaybackLastsLengthOverRate) {
  // 22,050 frames at 22,050 Hz: one second at the sample's own rate.
  const HSAMPLE s = Load("second.wav", Pcm16Wav(std::vector<int16_t>(22050, 100), 22050));
  ASSERT_NE(s, 0u);
  struct {
    int32_t freq;
    uint64_t frames;
  } cases[] = {{22050, 22050}, {44100, 11025}, {11025, 44100}, {66150, 7350}, {1000000, 487}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.freq);
    const HCHANNEL ch = BASS_SamplePlayEx(s, 0, c.freq, 100, -101, 0);
    ASSERT_NE(ch, 0u);
    EXPECT_EQ(FramesUntilStopped(ch, 100000), c.frames);
  }
}

TEST_F(PlaybackTest, PitchFollowsTheFrequencyAtOddRatios) {
  // A 300 Hz tone recorded at 16 kHz, played at several rates: the output's pitch scales with it.
  const HSAMPLE s = Load("tone.wav", PcmWav(Tone(300, 16000, 32000, 0.5), 1, 16000, 16));
  ASSERT_NE(s, 0u);
  for (int32_t freq : {16000, 23456, 40000, 7777}) {
    SCOPED_TRACE(freq);
    const uint64_t from = GetVirtualClockFrame();
    ASSERT_NE(BASS_SamplePlayEx(s, 0, freq, 100, -101, 0), 0u);
    AdvanceVirtualClock(11025);
    const std::vector<int16_t> out = GetVirtualOutput();
    int crossings = 0;
    for (uint64_t i = from + 1; i < from + 11025; ++i) crossings += (out[i - 1] < 0) != (out[i] < 0);
    const double hz = crossings / 2.0 / 0.5;
    EXPECT_NEAR(hz, 300.0 * freq / 16000, 3.0);
    AdvanceVirtualClock(100000);
  }
}

TEST_F(PlaybackTest, FastPlaybackIsBandLimited) {
  // Played ten times faster, a 9 kHz tone lands far above the output's 11,025 Hz limit and must
  // vanish instead of folding back; a 200 Hz tone becomes 2 kHz and keeps its strength.
  struct {
    double hz;
    double minRms, maxRms;
  } cases[] = {{9000, 0, 0.01}, {200, 0.3, 0.4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hz);
    const HSAMPLE s = Load("band.wav", PcmWav(Tone(c.hz, 22050, 220500, 0.5), 1, 22050, 16));
    ASSERT_NE(s, 0u);
    const uint64_t from = GetVirtualClockFrame();
    ASSERT_NE(BASS_SamplePlayEx(s, 0, 220500, 100, -101, 0), 0u);
    AdvanceVirtualClock(20000);
    const std::vector<int16_t> out = GetVirtualOutput();
    double sum = 0;
    for (uint64_t i = from + 1000; i < from + 19000; ++i) sum += double(out[i]) * out[i];
    const double rms = std::sqrt(sum / 18000) / 32768;
    EXPECT_GE(rms, c.minRms);
    EXPECT_LE(rms, c.maxRms);
    BASS_SampleFree(s);
  }
}

TEST_F(PlaybackTest, VolumeScalesAndClipsAtTheOutput) {
  struct {
    int16_t value;
    int32_t volume;
    int16_t expected;
  } cases[] = {{10000, 100, 10000}, {10000, 50, 5000}, {10000, 200, 20000}, {20000, 200, 32767},
               {-20000, 200, -32768}, {10000, 0, 0}, {-9999, 1, -100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " at " << c.volume);
    const HSAMPLE s = Load("level.wav", Pcm16Wav(std::vector<int16_t>(200, c.value), 22050));
    const uint64_t from = GetVirtualClockFrame();
    ASSERT_NE(BASS_SamplePlayEx(s, 0, 22050, c.volume, -101, 0), 0u);
    AdvanceVirtualClock(200);
    const std::vector<int16_t> out = GetVirtualOutput();
    for (uint64_t i = from + 2; i < from + 197; ++i) ASSERT_NEAR(out[i], c.expected, 1) << "frame " << i - from;
    BASS_SampleFree(s);
  }
  // Two loud playbacks together clip instead of wrapping around.
  const HSAMPLE a = Load("a.wav", Pcm16Wav(std::vector<int16_t>(100, 30000), 22050));
  const HSAMPLE b = Load("b.wav", Pcm16Wav(std::vector<int16_t>(100, 30000), 22050));
  const uint64_t from = GetVirtualClockFrame();
  BASS_SamplePlayEx(a, 0, 22050, 100, -101, 0);
  BASS_SamplePlayEx(b, 0, 22050, 100, -101, 0);
  AdvanceVirtualClock(100);
  EXPECT_EQ(GetVirtualOutput()[from + 50], 32767);
}

TEST_F(PlaybackTest, PositionsGrowInBytesOfTheSampleFormatAndEndAtItsLength) {
  // 24-bit stereo: 6 bytes per frame; played at an odd ratio with one frame per poll.
  std::vector<double> stereo = Tone(500, 31000, 3001, 0.3, 2);
  const HSAMPLE s = Load("s24.wav", PcmWav(stereo, 2, 31000, 24));
  ASSERT_NE(s, 0u);
  const uint32_t length = Length(s);
  ASSERT_EQ(length, 3001u * 6);
  const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 27183, 100, -101, 0);
  ASSERT_NE(ch, 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u) << "nothing played before time moves";
  SetVirtualClockStep(1);
  uint64_t last = 0;
  int polls = 0;
  while (BASS_ChannelIsActive(ch) == 1) {
    const uint64_t pos = BASS_ChannelGetPosition(ch);
    ASSERT_GE(pos, last);
    ASSERT_LT(pos, length);
    ASSERT_EQ(pos % 6, 0u);
    last = pos;
    ASSERT_LT(++polls, 10000);
  }
  EXPECT_GE(last, length - 2 * 6) << "the last position seen playing is at the end";
  EXPECT_EQ(BASS_ChannelGetPosition(ch), length);
  // 3001 frames at 27183/22050 source frames per output frame.
  EXPECT_NEAR(polls, 3001.0 * 22050 / 27183, 2);
}

TEST_F(PlaybackTest, StartingPartWayThrough) {
  const HSAMPLE s = Load("ramp.wav", Pcm16Wav(std::vector<int16_t>(1000, 500), 22050));
  const HCHANNEL ch = BASS_SamplePlayEx(s, 600, 22050, 100, -101, 0);  // byte 600 = frame 300
  ASSERT_NE(ch, 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(ch), 600u);
  EXPECT_EQ(FramesUntilStopped(ch, 5000), 700u);
  EXPECT_EQ(BASS_SamplePlayEx(s, 2000, 22050, 100, -101, 0), 0u) << "start at the length";
}

TEST_F(PlaybackTest, AThirdStartReplacesThePlaybackThatHasPlayedFurthest) {
  const HSAMPLE s = Load("long.wav", Pcm16Wav(std::vector<int16_t>(50000, 10), 22050));
  const HSAMPLE other = Load("other.wav", Pcm16Wav(std::vector<int16_t>(50000, 10), 22050));
  struct {
    const char* name;
    int32_t firstFreq, secondFreq;
    int replaced;  // 0: the first started, 1: the second
  } cases[] = {{"oldest is furthest", 22050, 22050, 0}, {"faster newer one is furthest", 2000, 60000, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HCHANNEL ch[2];
    ch[0] = BASS_SamplePlayEx(s, 0, c.firstFreq, 100, -101, 0);
    AdvanceVirtualClock(300);
    ch[1] = BASS_SamplePlayEx(s, 0, c.secondFreq, 100, -101, 0);
    const HCHANNEL unrelated = BASS_SamplePlayEx(other, 0, 22050, 100, -101, 0);
    AdvanceVirtualClock(300);
    const uint64_t stoppedAt = BASS_ChannelGetPosition(ch[c.replaced]);
    const HCHANNEL third = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
    ASSERT_NE(third, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(ch[c.replaced]), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(ch[1 - c.replaced]), 1u);
    EXPECT_EQ(BASS_ChannelIsActive(third), 1u);
    EXPECT_EQ(BASS_ChannelIsActive(unrelated), 1u) << "the limit counts one sample's playbacks";
    AdvanceVirtualClock(100);
    EXPECT_EQ(BASS_ChannelIsActive(ch[c.replaced]), 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(ch[c.replaced]), stoppedAt);
    AdvanceVirtualClock(200000);
  }
}

TEST_F(PlaybackTest, HandlesAreDistinctAndStaleOnesStayDead) {
  const HSAMPLE s = Load("short.wav", Pcm16Wav(std::vector<int16_t>(50, 77), 22050));
  ASSERT_NE(s, 0u);
  const HCHANNEL first = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
  ASSERT_NE(first, 0u);
  EXPECT_NE(first, s);
  // A handle of one kind is never taken for the other.
  EXPECT_EQ(BASS_ChannelIsActive(s), 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(s), 0u);
  BASS_SAMPLE info{};
  EXPECT_EQ(BASS_SampleGetInfo(first, &info), 0);
  EXPECT_EQ(BASS_SamplePlayEx(first, 0, 22050, 100, -101, 0), 0u);
  EXPECT_EQ(BASS_SampleFree(first), 0);
  EXPECT_EQ(BASS_ChannelIsActive(0), 0u);
  EXPECT_EQ(BASS_ChannelGetPosition(0), 0u);

  AdvanceVirtualClock(60);
  EXPECT_EQ(BASS_ChannelIsActive(first), 0u);
  // Reuse every playback slot many times over: the old handle never comes back to life.
  std::vector<HCHANNEL> seen = {first};
  for (int i = 0; i < 1000; ++i) {
    const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
    ASSERT_NE(ch, 0u);
    ASSERT_EQ(BASS_ChannelIsActive(first), 0u);
    if (i % 2) AdvanceVirtualClock(60);
    if (i < 200) seen.push_back(ch);
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "a channel handle was given twice";
  EXPECT_EQ(BASS_ChannelGetPosition(first), 0u);

  // Sample handles too: a freed sample's handle stays dead when its slot is reused.
  ASSERT_NE(BASS_SampleFree(s), 0);
  for (int i = 0; i < 20; ++i) {
    const HSAMPLE again = Load("again.wav", Pcm16Wav(std::vector<int16_t>(50, 1), 22050));
    ASSERT_NE(again, 0u);
    ASSERT_NE(again, s);
    ASSERT_EQ(BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0), 0u);
    ASSERT_NE(BASS_SampleFree(again), 0);
  }
}

// The reader's readiness test: playing and position >= threshold, with the threshold widened to
// 64 bits with its sign and compared unsigned (so a negative one is never reached).
bool Ready(HCHANNEL ch, int32_t threshold) {
  if (BASS_ChannelIsActive(ch) != 1) return true;
  return BASS_ChannelGetPosition(ch) >= uint64_t(int64_t(threshold));
}

TEST_F(PlaybackTest, ChainStartedByPollingJoinsExactlyAtTheThreshold) {
  // A: 1000 frames of 1000; B: 400 frames of 300. Every frame of the output tells which sounds.
  const HSAMPLE a = Load("a.wav", Pcm16Wav(std::vector<int16_t>(1000, 1000), 22050));
  const HSAMPLE b = Load("b.wav", Pcm16Wav(std::vector<int16_t>(400, 300), 22050));
  struct {
    const char* name;
    int32_t freqA;
    int32_t thresholdBytes;  // A's length minus the overlap
    uint64_t joinFrame;      // output frames after A's start
  } cases[] = {
      {"overlap 250 frames", 22050, 2000 - 500, 750},
      {"overlap 0", 22050, 2000, 1000},
      {"negative threshold waits for the end", 22050, -4410, 1000},
      {"threshold 0 starts together", 22050, 0, 0},
      {"odd byte threshold", 22050, 1001, 501},
      // At 1.5 source frames per output frame, frame k of the output holds source frame 1.5k:
      // byte 1500 (frame 750) is first reached at output frame 500.
      {"faster A", 33075, 1500, 500},
      {"faster A to its end", 33075, 2000, 667},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetVirtualClockStep(1);
    const uint64_t startA = GetVirtualClockFrame();
    const HCHANNEL chA = BASS_SamplePlayEx(a, 0, c.freqA, 100, -101, 0);
    ASSERT_NE(chA, 0u);
    int passes = 0;
    while (!Ready(chA, c.thresholdBytes)) ASSERT_LT(++passes, 100000);
    const uint64_t startB = GetVirtualClockFrame();
    ASSERT_NE(BASS_SamplePlayEx(b, 0, 22050, 100, -101, 0), 0u);
    EXPECT_EQ(startB - startA, c.joinFrame);
    SetVirtualClockStep(0);
    AdvanceVirtualClock(3000);
    // In the output: before the join only A (or silence once A ended), from it A + B.
    const std::vector<int16_t> out = GetVirtualOutput();
    const uint64_t endA = startA + (c.freqA == 22050 ? 1000 : 667);
    auto expected = [&](uint64_t f) {
      int v = 0;
      if (f < endA) v += 1000;
      if (f >= startA + c.joinFrame && f < startA + c.joinFrame + 400) v += 300;
      return v;
    };
    for (uint64_t f = startA; f < startA + c.joinFrame + 400; ++f) {
      if (c.freqA != 22050 && f + 2 >= endA && f <= endA + 1) continue;  // interpolated edge of A
      ASSERT_NEAR(out[f], expected(f), c.freqA == 22050 ? 0 : 1) << "frame " << f - startA;
    }
  }
}

TEST_F(PlaybackTest, FreeingAPlayingSampleStopsIt) {
  const HSAMPLE s = Load("s.wav", Pcm16Wav(std::vector<int16_t>(5000, 4000), 22050));
  const HSAMPLE keep = Load("keep.wav", Pcm16Wav(std::vector<int16_t>(5000, 1000), 22050));
  const HCHANNEL ch1 = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
  AdvanceVirtualClock(10);
  const HCHANNEL ch2 = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
  const HCHANNEL other = BASS_SamplePlayEx(keep, 0, 22050, 100, -101, 0);
  AdvanceVirtualClock(100);
  const uint64_t freedAt = GetVirtualClockFrame();
  ASSERT_NE(BASS_SampleFree(s), 0);
  EXPECT_EQ(BASS_ChannelIsActive(ch1), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(ch2), 0u);
  EXPECT_EQ(BASS_ChannelIsActive(other), 1u);
  EXPECT_EQ(BASS_SampleFree(s), 0) << "freeing twice";
  EXPECT_EQ(BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0), 0u);
  BASS_SAMPLE info{};
  EXPECT_EQ(BASS_SampleGetInfo(s, &info), 0);
  AdvanceVirtualClock(1000);
  const std::vector<int16_t> out = GetVirtualOutput();
  EXPECT_EQ(out[freedAt - 1], 9000);
  for (uint64_t f = freedAt; f < freedAt + 1000; ++f) ASSERT_EQ(out[f], 1000) << "frame " << f;
}

TEST_F(PlaybackTest, AbsurdArgumentsStartNothing) {
  const HSAMPLE s = Load("s.wav", Pcm16Wav(std::vector<int16_t>(100, 1), 22050));
  struct {
    const char* name;
    int32_t freq, volume, pan, loop;
  } cases[] = {
      {"frequency 0", 0, 100, -101, 0},         {"negative frequency", -22050, 100, -101, 0},
      {"huge frequency", 2000000000, 100, -101, 0}, {"lowest int frequency", INT32_MIN, 100, -101, 0},
      {"volume -1", 22050, -1, -101, 0},         {"volume 201", 22050, 201, -101, 0},
      {"volume huge", 22050, INT32_MAX, -101, 0}, {"pan 101", 22050, 100, 101, 0},
      {"looping", 22050, 100, -101, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BASS_SamplePlayEx(s, 0, c.freq, c.volume, c.pan, c.loop), 0u);
  }
  // The edges of the accepted ranges play.
  for (int32_t freq : {1, 4000000}) {
    const HCHANNEL ch = BASS_SamplePlayEx(s, 0, freq, 200, 100, 0);
    EXPECT_NE(ch, 0u);
    EXPECT_EQ(BASS_ChannelIsActive(ch), 1u);
  }
  AdvanceVirtualClock(100);
}

TEST(AudioLifecycleTest, CallsOutsideAnOpenOutputAnswerZero) {
  ScratchDir dir;
  const std::string wav = dir.Write("x.wav", Pcm16Wav(std::vector<int16_t>(100, 1), 22050));
  BASS_SAMPLE info{};
  auto allRefuse = [&](HSAMPLE s, HCHANNEL ch) {
    EXPECT_EQ(BASS_SampleLoad(0, wav.c_str(), 0, 0, 2, 0), 0u);
    EXPECT_EQ(BASS_SampleGetInfo(s, &info), 0);
    EXPECT_EQ(BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0), 0u);
    EXPECT_EQ(BASS_ChannelIsActive(ch), 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 0u);
    EXPECT_EQ(BASS_SampleFree(s), 0);
    EXPECT_EQ(BASS_Free(), 0);
    EXPECT_FALSE(VirtualAudioOpen());
    EXPECT_EQ(GetVirtualClockFrame(), 0u);
    AdvanceVirtualClock(10);
    EXPECT_TRUE(GetVirtualOutput().empty());
  };
  allRefuse(0x40000001u, 0x80000001u);  // before any BASS_Init
  EXPECT_EQ(BASS_SetConfig(3, 125), 1u);

  SelectVirtualAudioOutput(nullptr, 0);
  EXPECT_EQ(BASS_Init(2, 22050, 2, 0, nullptr), 0) << "only the default device";
  EXPECT_EQ(BASS_Init(1, 5, 2, 0, nullptr), 0) << "absurd output rate";
  ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
  EXPECT_EQ(BASS_Init(1, 22050, 2, 0, nullptr), 0) << "already open";
  EXPECT_EQ(GetAudioOutputRate(), 22050u);
  const HSAMPLE s = BASS_SampleLoad(0, wav.c_str(), 0, 0, 2, 0);
  ASSERT_NE(s, 0u);
  const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
  ASSERT_NE(ch, 0u);
  AdvanceVirtualClock(10);
  EXPECT_EQ(BASS_ChannelIsActive(ch), 1u);
  EXPECT_NE(BASS_Free(), 0) << "with a playback running";
  allRefuse(s, ch);  // after BASS_Free

  // Open again: the handles of the earlier session stay dead, new ones work.
  ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
  EXPECT_EQ(BASS_ChannelIsActive(ch), 0u);
  EXPECT_EQ(BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0), 0u);
  const HSAMPLE s2 = BASS_SampleLoad(0, wav.c_str(), 0, 0, 2, 0);
  EXPECT_NE(s2, 0u);
  EXPECT_NE(BASS_SamplePlayEx(s2, 0, 22050, 100, -101, 0), 0u);
  EXPECT_NE(BASS_Free(), 0);
  SelectDefaultAudioOutput();
}

TEST(AudioLifecycleTest, EnvironmentChoosesTheVirtualClockAndBassFreeWritesItsWav) {
  ScratchDir dir;
  const std::string out = dir.Path("mix.wav");
  const std::string wav = dir.Write("x.wav", Pcm16Wav(std::vector<int16_t>(300, 1234), 22050));
  SelectDefaultAudioOutput();
  setenv("HLASIVO_AUDIO", ("virtual:" + out).c_str(), 1);
  ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
  unsetenv("HLASIVO_AUDIO");
  EXPECT_TRUE(VirtualAudioOpen());
  const HSAMPLE s = BASS_SampleLoad(0, wav.c_str(), 0, 0, 2, 0);
  const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
  int polls = 0;
  while (BASS_ChannelIsActive(ch) == 1 && BASS_ChannelGetPosition(ch) < 600) ++polls;
  EXPECT_EQ(polls, 300) << "one frame per readiness test, the first at the start frame";
  AdvanceVirtualClock(700);
  ASSERT_NE(BASS_Free(), 0);

  SDL_AudioSpec wavFormat;
  Uint8* data = nullptr;
  Uint32 bytes = 0;
  ASSERT_NE(SDL_LoadWAV(out.c_str(), &wavFormat, &data, &bytes), nullptr);
  EXPECT_EQ(wavFormat.freq, 22050);
  EXPECT_EQ(wavFormat.channels, 1);
  ASSERT_EQ(bytes, 2u * 1000);
  const int16_t* frames = reinterpret_cast<const int16_t*>(data);
  EXPECT_EQ(frames[0], 1234);
  EXPECT_EQ(frames[299], 1234);
  EXPECT_EQ(frames[300], 0);
  SDL_FreeWAV(data);
}

}  // namespace
}  // namespace audio_test

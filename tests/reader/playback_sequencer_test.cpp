// The sequencer on the virtual clock: when each step starts, what carries over between rules,
// missing samples, keys, and the frequency and overlap arithmetic.
#include "audio_fixture.h"

namespace {

TEST(PlaybackArithmetic, FrequencyFromRateAndSpeed) {
  struct TCase {
    int32_t frequency, rate, speed, expected;
  } cases[] = {
      {22050, 110, 100, 24255},   {22050, 100, 33, 7276}, {44100, 100, 29, 12788}, {22050, 100, 100, 22050},
      {44100, 999, 300, 1321676}, {22050, 1, 1, 2},       {8000, 150, 100, 12000}, {11025, 100, 300, 33075},
  };
  for (auto& c : cases)
    EXPECT_EQ(ScaledFrequency(c.frequency, c.rate, c.speed), c.expected)
        << c.frequency << " Hz, rate " << c.rate << ", speed " << c.speed;
}

TEST(PlaybackArithmetic, OverlapRoundsHalvesToEven) {
  EXPECT_EQ(OverlapBytes(20, 44100), 8820);
  EXPECT_EQ(OverlapBytes(-50, 44100), 22050);
  EXPECT_EQ(OverlapBytes(-60, 44100), 26460);
  EXPECT_EQ(OverlapBytes(1, 250), 2);  // 2.5 -> 2
  EXPECT_EQ(OverlapBytes(1, 350), 4);  // 3.5 -> 4
  EXPECT_EQ(OverlapBytes(1, 351), 4);
  EXPECT_EQ(OverlapBytes(99, 0), 0);
}

using PlaybackSequencer = VirtualVoice;

// A: 44,100 bytes, B: 22,050 bytes (16-bit mono at the output rate: 2 bytes a frame).
TEST_F(PlaybackSequencer, WorkedExampleStartsBAtA35280Bytes) {
  OpenVoice({{"a", 22050, 1000}, {"b", 11025, 2000}});
  Rules("x=a:20,b");
  PlayDefinition(0);
  auto out = GetVirtualOutput();
  int64_t aStart = FirstFrameAt(out, 1000);
  int64_t bStart = FirstFrameAt(out, 3000);
  ASSERT_GE(aStart, 0);
  EXPECT_EQ(bStart - aStart, 35280 / 2);
  EXPECT_EQ(LastSample, index["B"]);
  EXPECT_EQ(LastOverlap, 0);
  EXPECT_FALSE(MissingSample);
  // The call returned once B had played to its end.
  EXPECT_GE(static_cast<int64_t>(GetVirtualClockFrame()), bStart + 11025);
  EXPECT_LE(static_cast<int64_t>(GetVirtualClockFrame()), bStart + 11025 + 4);
}

TEST_F(PlaybackSequencer, NegativeOverlapsTakeTheEarlierSampleLength) {
  OpenVoice({{"a", 22050, 1000}, {"b", 11025, 2000}});
  Rules("x=a:20,b:-50\ny=a:20,b:-60\nz=a");
  // -50: threshold 0; the call returns right after starting B, and the next rule's first
  // sample starts together with B.
  PlayDefinition(0);
  EXPECT_EQ(LastOverlap, 22050);
  uint64_t bStart = GetVirtualClockFrame();
  PlayDefinition(2);
  auto out = GetVirtualOutput();
  // From B's start on, the old A's tail, B and the new A sound together.
  int64_t together = FirstFrameAt(out, 1000 + 2000 + 1000, bStart - 2);
  ASSERT_GE(together, 0);
  EXPECT_LE(std::abs(together - static_cast<int64_t>(bStart)), 2);
  AdvanceVirtualClock(30000);
  // -60: threshold -4,410 is never reached: the call returns only when B stops.
  PlayDefinition(1);
  EXPECT_EQ(LastOverlap, 26460);
  EXPECT_NE(BASS_ChannelIsActive(SoundTable[index["B"]].Channel), 1u);
}

TEST_F(PlaybackSequencer, StepsWithoutSamplesAreSkippedWithoutAGap) {
  OpenVoice({{"a", 2205, 1000}, {"b", 2205, 2000}});
  Rules("x=a,missing,b\ny=nothing,none");
  PlayDefinition(0);
  EXPECT_TRUE(MissingSample);
  auto out = GetVirtualOutput();
  int64_t aStart = FirstFrameAt(out, 1000);
  int64_t bStart = FirstFrameAt(out, 2000);
  EXPECT_NEAR(bStart - aStart, 2205, 1);  // the skipped step costs one poll of the clock
  uint64_t before = GetVirtualClockFrame();
  PlayDefinition(1);
  EXPECT_TRUE(MissingSample);
  EXPECT_EQ(LastSample, index["B"]);
  EXPECT_LE(GetVirtualClockFrame() - before, 3u);  // B was already done: one poll per step
  PlayDefinition(0);
  EXPECT_TRUE(MissingSample);
}

TEST_F(PlaybackSequencer, AWaitingKeyCutsTheRuleShort) {
  OpenVoice({{"a", 2205, 1000}, {"b", 2205, 2000}});
  Rules("x=a,b");
  console.KeyAtFrame(1000, {'k'});
  PlayDefinition(0);
  EXPECT_LT(GetVirtualClockFrame(), 1005u);
  EXPECT_EQ(SoundTable[index["B"]].Channel, 0u);  // B never started
  EXPECT_EQ(console.queue.size(), 1u);            // the key stays for the reading loop
  // With a key already waiting and the last sample still playing, nothing starts.
  PlayDefinition(0);
  EXPECT_EQ(SoundTable[index["B"]].Channel, 0u);
  // Once A is over, one step starts and the call returns.
  AdvanceVirtualClock(3000);
  PlayDefinition(0);
  EXPECT_NE(SoundTable[index["A"]].Channel, 0u);
  EXPECT_EQ(SoundTable[index["B"]].Channel, 0u);
  EXPECT_EQ(LastSample, index["A"]);
}

TEST_F(PlaybackSequencer, SpeedAndRateScaleThePlaybackAndVolumeIsPassedOn) {
  OpenVoice({{"a", 2000, 1000}});
  Rules("x=a\ny=a:1050200");  // overlap 1, volume 50, rate 200
  SpeedPercent = 200;
  uint64_t start = GetVirtualClockFrame();
  PlayDefinition(0);
  EXPECT_NEAR(static_cast<double>(GetVirtualClockFrame() - start), 1000.0, 4.0);  // twice as fast
  SpeedPercent = 100;
  AdvanceVirtualClock(100);
  start = GetVirtualClockFrame();
  PlayDefinition(1);
  AdvanceVirtualClock(2000);
  auto out = GetVirtualOutput();
  int64_t half = FirstFrameAt(out, 500, start);
  ASSERT_GE(half, 0);  // volume 50 %
  // Rate 200 at speed 100: 2,000 frames of sample in about 1,000 of output.
  int64_t sounding = 0;
  for (size_t i = start; i < out.size(); ++i) sounding += out[i] > 250;
  EXPECT_NEAR(static_cast<double>(sounding), 1000.0, 4.0);
}

}  // namespace

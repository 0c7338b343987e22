// The hand-over of a new voice between the control side and the renderer, step by step on one
// thread: a pass that begins while a start is being scheduled must neither cut the voice's
// beginning nor move its start after its position could have been read.
#include <gtest/gtest.h>

#include <vector>

#include "audio/mixer.h"

namespace {

class MixerHandOverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetMixer(mixer_);
    std::vector<float> ramp(300);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = float(i + 1) / 32768.0f;  // output i + 1 at step 1
    ASSERT_TRUE(BuildMixSample(sample_, ramp.data(), uint32_t(ramp.size())));
  }
  void Start(int64_t frame) { StartMixVoice(mixer_, 0, &sample_, 0, uint64_t(1) << 32, 1.0f, frame); }
  std::vector<int16_t> Render(uint32_t frames) {
    std::vector<int16_t> out(frames);
    RenderMix(mixer_, out.data(), frames);
    return out;
  }
  static MixerType mixer_;
  MixSampleType sample_;
};
MixerType MixerHandOverTest::mixer_;

TEST_F(MixerHandOverTest, StartAtOrAfterTheMixedFramesHolds) {
  Render(100);
  Start(100);
  EXPECT_TRUE(MixVoiceStartHolds(mixer_, 0));
  const auto out = Render(50);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[49], 50);
}

TEST_F(MixerHandOverTest, StartOvertakenByAPassIsHeldBackAndRescheduledWhole) {
  Start(0);
  // A pass began (renderedEnd moved on) before it could see the voice, and mixed without it.
  mixer_.renderedEnd.store(64);
  ASSERT_FALSE(MixVoiceStartHolds(mixer_, 0));
  // While held back the renderer leaves it alone: no sound, no retirement, start unchanged.
  const auto held = Render(64);
  EXPECT_EQ(held[0], 0);
  EXPECT_EQ(held[63], 0);
  EXPECT_EQ(mixer_.voice[0].state.load(), kVoiceLive);
  EXPECT_EQ(mixer_.voice[0].startFrame.load(), 0);
  RestartMixVoiceAt(mixer_, 0, 128);
  EXPECT_TRUE(MixVoiceStartHolds(mixer_, 0));
  const auto out = Render(300);
  EXPECT_EQ(out[0], 1) << "the voice begins with its first frame at its new start";
  EXPECT_EQ(out[299], 300);
  EXPECT_EQ(mixer_.voice[0].startFrame.load(), 128);
  EXPECT_EQ(mixer_.voice[0].state.load(), kVoiceDone);
}

TEST_F(MixerHandOverTest, VoiceTakenByTheRendererKeepsItsStart) {
  Start(0);
  const auto out = Render(32);  // the renderer saw it in time and took it
  EXPECT_EQ(out[0], 1);
  EXPECT_TRUE(MixVoiceStartHolds(mixer_, 0)) << "already sounding from its start";
  EXPECT_EQ(mixer_.voice[0].startFrame.load(), 0);
  const MixVoiceStateType state = GetMixVoiceState(mixer_.voice[0], 32);
  EXPECT_TRUE(state.active);
  EXPECT_EQ(state.phase >> 32, 32u);
}

TEST_F(MixerHandOverTest, StoppedVoiceEndsAtItsStopFrameAndKeepsItsPosition) {
  Start(0);
  Render(10);
  StopMixVoice(mixer_, 0, 20);
  const auto out = Render(30);
  EXPECT_EQ(out[9], 20);
  EXPECT_EQ(out[10], 0);
  const MixVoiceStateType state = GetMixVoiceState(mixer_.voice[0], 40);
  EXPECT_FALSE(state.active);
  EXPECT_FALSE(state.ended);
  EXPECT_EQ(state.phase >> 32, 20u);
  EXPECT_EQ(mixer_.voice[0].state.load(), kVoiceDone);
}

}  // namespace

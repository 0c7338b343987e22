// The mixer: plays samples (mono float, any rate) at any frequency and volume into signed 16-bit
// mono output. Owned by audio/bass.cpp, which starts and stops voices from the caller's thread;
// RenderMix runs on the output's thread (the SDL audio callback) or on the caller's thread (the
// virtual clock).
//
// Timing is exact by construction: a voice is scheduled to start at an absolute output frame, and
// where it stands at any frame is a pure function of its start frame and its 32.32 fixed-point
// step. So the control side answers "is it playing, where is it" from a frame number alone,
// without asking the renderer, and what is rendered agrees with that to the frame.
//
// Hand-over between the two threads, lock-free: a voice slot is Free (control side owns it),
// Live (renderer may read it; the control side only reads it or moves its stop frame), or Done
// (renderer finished with it; the control side may reuse it). The renderer never allocates and
// never waits.
//
// Resampling: 4-point cubic Hermite (Catmull-Rom). For steps above 1.5 source frames per output
// frame it reads a low-passed copy decimated by 2^L (built once when the sample is made) so that
// fast playback does not fold high frequencies back into the audible band.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/sample_memory.h"

inline constexpr int kMixLevelCount = 9;      // copies decimated by 1, 2, 4, ... 256
inline constexpr int kMixVoiceCount = 256;    // playbacks sounding at once, all samples together
inline constexpr uint32_t kMixBlockFrames = 512;  // frames mixed in one pass of the accumulator
inline constexpr int64_t kMixNever = INT64_MAX;

// A sample as the mixer reads it. Immutable once built, so the renderer may read it freely
// while it is referenced by a Live voice.
struct MixSampleType {
  uint32_t frames = 0;  // level-0 frames
  int levelCount = 0;
  const float* level[kMixLevelCount] = {};  // frame 0 of each copy; zero padding on both sides
  uint32_t levelFrames[kMixLevelCount] = {};
  SampleMemoryType storage;
};

// Builds the sample and its decimated copies from `frames` mono values in -1..1.
// False when `frames` is 0 or no memory is left.
bool BuildMixSample(MixSampleType& sample, const float* mono, uint32_t frames);

enum : uint32_t { kVoiceFree = 0, kVoiceLive = 1, kVoiceDone = 2 };

struct MixVoiceType {
  std::atomic<uint32_t> state{kVoiceFree};
  std::atomic<int64_t> startFrame{0};       // renderer may move it later if the start came late
  std::atomic<int64_t> stopFrame{kMixNever};  // first frame not rendered any more
  // Written by the control side while the slot is not Live; read by both while Live.
  const MixSampleType* sample = nullptr;
  uint64_t phase0 = 0;     // 32.32 level-0 source position at the start frame
  uint64_t increment = 0;  // 32.32 source frames per output frame
  uint64_t outFrames = 0;  // output frames from start until the source is used up
  uint32_t sourceFrames = 0;  // the sample's level-0 frames (the sample may be gone once Done)
  float gain = 1.0f;
  int level = 0;
  // Who may touch the start: 0 open (the renderer takes the voice when it first mixes it),
  // 1 taken by the renderer, 2 held by the control side while it moves the start.
  std::atomic<uint32_t> claim{0};
};

struct MixerType {
  MixVoiceType voice[kMixVoiceCount];
  // Output frames whose rendering has begun: a voice scheduled before it can no longer start
  // on time. Written by the renderer before it looks at the voices (the order that
  // MixVoiceStartHolds relies on).
  std::atomic<int64_t> renderedEnd{0};
  float accumulator[kMixBlockFrames] = {};
};

// 32.32 step for playing at `frequency` Hz into `outputRate` Hz.
uint64_t MixIncrement(uint32_t frequency, uint32_t outputRate);

// Control side: fills the Free or Done slot `index` and hands it to the renderer. `phase0` is
// the 32.32 source position to begin at (below the sample's length).
//
// A start frame chosen from renderedEnd may be overtaken by a pass that begins meanwhile and
// does not see the voice yet. So, before anyone may see the voice's position, the caller makes
// sure of its start:
//   StartMixVoice(...);
//   while (!MixVoiceStartHolds(mixer, index)) RestartMixVoiceAt(mixer, index, newFrame);
// The renderer never moves a start and never plays a voice whose start it has missed, so
// positions stay exact and never go back.
void StartMixVoice(MixerType& mixer, int index, const MixSampleType* sample, uint64_t phase0,
                   uint64_t increment, float gain, int64_t startFrame);
// True when the voice will sound from its start frame. False when a pass may have gone by its
// start without it: the voice is then held back until RestartMixVoiceAt.
bool MixVoiceStartHolds(MixerType& mixer, int index);
// Gives a held-back voice a new start frame (at or after renderedEnd) and hands it back.
void RestartMixVoiceAt(MixerType& mixer, int index, int64_t startFrame);
// Control side: the voice renders nothing from `frame` on.
void StopMixVoice(MixerType& mixer, int index, int64_t frame);

// Where a voice stands at output frame `frame`: its 32.32 source position (frozen at its stop
// frame, capped at its length) and whether it still sounds there.
struct MixVoiceStateType {
  uint64_t phase;
  bool active;
  bool ended;  // played to its end (not stopped early)
};
MixVoiceStateType GetMixVoiceState(const MixVoiceType& voice, int64_t frame);

// Renderer: mixes the next `frames` output frames into `out` and retires finished voices.
void RenderMix(MixerType& mixer, int16_t* out, uint32_t frames);

// Resets every slot to Free and the frame count to 0. Only while no renderer runs.
void ResetMixer(MixerType& mixer);

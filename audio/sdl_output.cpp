// The SDL2 output device. SDL calls back on its audio thread for a buffer at a time; the
// reader polls positions and starts samples on its main thread whenever it likes. Both sides
// share one timeline of output frames:
//
//   - The audio thread keeps a smooth clock of output frames against steady time, re-anchored
//     at every callback: a phase-locked loop that follows the device's measured rate and steers
//     the clock to stay a margin ahead of the frames already mixed. It publishes the clock
//     through a sequence lock (atomics only).
//   - The caller sees "the present": a frame that follows that clock but moves at most one
//     frame per poll, and never lags behind the frames already mixed. Positions are exact
//     functions of the present, and a playback started now is scheduled to begin exactly at it.
//     The callback renders it at that very frame, so what the reader saw and what is heard agree
//     to the frame, at a resolution of one frame (45 us) whatever the device's buffer size.
//   - Because the present may lag the clock, a caller whose thread was descheduled for a while
//     (the usual cause of a late join on a busy machine) catches up poll by poll instead of
//     jumping: it still meets its threshold at the right frame, as long as that frame has not
//     been mixed yet. The margin is that window, and the latency it adds changes no join.
//
// The device's buffer latency shifts everything by the same amount and does not disturb joins.
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "audio/audio_output.h"

namespace {

// Buffers of 20 ms: a whole number of milliseconds at the usual rates, which keeps drivers that
// pace themselves by sleeping whole milliseconds (SDL's disk driver) close to the true rate.
constexpr uint32_t kBuffersPerSecond = 50;
constexpr double kMarginSeconds = 0.050;   // clock lead over the mixed frames
constexpr int64_t kCatchUpFramesPerPoll = 1;
constexpr double kSteerSeconds = 0.1;      // time to steer a clock error away
constexpr double kMaxSteer = 0.05;         // most the clock's rate may differ from the device's
constexpr double kStallSeconds = 0.25;     // a lead this large means the device stalled: re-anchor
constexpr int kHistory = 64;               // callbacks remembered for the device's rate
constexpr int64_t kRateSpanNs = 200'000'000;

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

class SdlAudioOutputType : public AudioOutputType {
 public:
  bool Open(MixerType& mixer, uint32_t rate) override;
  void Close() override;
  int64_t PresentFrame() override;
  void NotePoll() override;

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int len);
  void Fill(int16_t* out, uint32_t frames);
  void SteerClock(int64_t now, int64_t mixedEnd);
  int64_t ClockFrame();

  MixerType* mixer_ = nullptr;
  SDL_AudioDeviceID device_ = 0;
  double nominalRate_ = 0;  // frames per ns

  // Audio thread only (set up before the device starts).
  bool anchored_ = false;
  double base_ = 0;
  int64_t baseTime_ = 0;
  double rate_ = 0;
  int64_t historyTime_[kHistory] = {};
  int64_t historyFrame_[kHistory] = {};
  int historyCount_ = 0;
  int historyNext_ = 0;

  // Published clock: present frame = clockBase + clockRate * (now - clockTime).
  std::atomic<uint32_t> sequence_{0};
  std::atomic<double> clockBase_{0};
  std::atomic<int64_t> clockTime_{0};
  std::atomic<double> clockRate_{0};

  // Caller's thread only.
  int64_t lastClock_ = 0;
  int64_t present_ = 0;
};

bool SdlAudioOutputType::Open(MixerType& mixer, uint32_t rate) {
  mixer_ = &mixer;
  nominalRate_ = rate / 1e9;
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  SDL_AudioSpec have{};
  want.freq = int(rate);
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = Uint16(std::max<uint32_t>(64, rate / kBuffersPerSecond));
  want.callback = &SdlAudioOutputType::Callback;
  want.userdata = this;
  device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device_ == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(device_, 0);
  return true;
}

void SdlAudioOutputType::Close() {
  if (device_ != 0) {
    SDL_CloseAudioDevice(device_);  // waits for the audio thread to end
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  mixer_ = nullptr;
}

void SDLCALL SdlAudioOutputType::Callback(void* self, Uint8* stream, int len) {
  static_cast<SdlAudioOutputType*>(self)->Fill(reinterpret_cast<int16_t*>(stream), uint32_t(len) / 2);
}

void SdlAudioOutputType::Fill(int16_t* out, uint32_t frames) {
  const int64_t mixed = mixer_->renderedEnd.load(std::memory_order_relaxed);
  SteerClock(NowNs(), mixed + frames);
  RenderMix(*mixer_, out, frames);
}

void SdlAudioOutputType::SteerClock(int64_t now, int64_t mixedEnd) {
  const double rateNs = nominalRate_;
  const double margin = kMarginSeconds * 1e9 * rateNs;
  const double target = double(mixedEnd) + margin;

  // The device's own pace, measured over the last callbacks.
  historyTime_[historyNext_] = now;
  historyFrame_[historyNext_] = mixedEnd;
  historyNext_ = (historyNext_ + 1) % kHistory;
  historyCount_ = std::min(historyCount_ + 1, kHistory);
  const int oldest = (historyNext_ - historyCount_ + kHistory) % kHistory;
  double deviceRate = rateNs;
  const int64_t span = now - historyTime_[oldest];
  if (span >= kRateSpanNs) {
    deviceRate = double(mixedEnd - historyFrame_[oldest]) / double(span);
    deviceRate = std::clamp(deviceRate, rateNs * 0.8, rateNs * 1.25);
  }

  if (!anchored_) {
    anchored_ = true;
    base_ = target;
    rate_ = rateNs;
  } else {
    const double predicted = base_ + rate_ * double(now - baseTime_);
    const double error = target - predicted;
    if (error > margin || error < -kStallSeconds * 1e9 * rateNs) {
      // Behind the frames being mixed (a start now would come late), or far ahead after a
      // stall: re-anchor. The main thread never lets the present frame go back.
      base_ = target;
      rate_ = deviceRate;
    } else {
      base_ = predicted;
      rate_ = deviceRate * (1.0 + std::clamp(error / (deviceRate * kSteerSeconds * 1e9), -kMaxSteer, kMaxSteer));
    }
  }
  baseTime_ = now;

  sequence_.fetch_add(1);
  clockBase_.store(base_);
  clockTime_.store(baseTime_);
  clockRate_.store(rate_);
  sequence_.fetch_add(1);
}

int64_t SdlAudioOutputType::ClockFrame() {
  if (!mixer_) return lastClock_;
  double base = 0, rate = 0;
  int64_t time = 0;
  uint32_t before = 0;
  for (int tries = 0;; ++tries) {
    before = sequence_.load();
    if (before & 1) {
      if (tries > 100000) return lastClock_;  // the audio thread was descheduled mid-update
      continue;
    }
    base = clockBase_.load();
    time = clockTime_.load();
    rate = clockRate_.load();
    if (sequence_.load() == before) break;
  }
  int64_t clock = 0;
  if (before != 0) clock = int64_t(std::floor(base + rate * double(NowNs() - time)));
  clock = std::max(clock, mixer_->renderedEnd.load());
  clock = std::max(clock, lastClock_);
  lastClock_ = clock;
  return clock;
}

void SdlAudioOutputType::NotePoll() {
  if (!mixer_) return;
  present_ = std::min(ClockFrame(), present_ + kCatchUpFramesPerPoll);
  present_ = std::max(present_, mixer_->renderedEnd.load());
}

int64_t SdlAudioOutputType::PresentFrame() {
  if (!mixer_) return present_;
  present_ = std::max(present_, mixer_->renderedEnd.load());
  return present_;
}

}  // namespace

AudioOutputType* CreateSdlAudioOutput() { return new SdlAudioOutputType; }

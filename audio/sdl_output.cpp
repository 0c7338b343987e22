// The SDL2 output device. SDL calls back on its audio thread for a buffer at a time; the
// reader polls positions and starts samples on its main thread whenever it likes. Both sides
// share one timeline of output frames, and that timeline is the device stream itself:
//
//   - Between the mixer and the device sits a ring of mixed frames. The caller's polls render
//     into it, one frame per poll, until it holds a lead of kLeadSeconds over what the device
//     has taken. The audio thread takes its buffers from the ring; only when the ring cannot
//     cover a buffer (the caller has not polled for a while) does it mix the rest itself.
//   - "The present", where positions are read and where a playback started now begins, is the
//     end of what has been mixed into that stream. Nothing the caller sees is ahead of audio
//     that really goes to the device, so a stalled device (or audio thread) stops the present
//     until the device takes frames again: a stall delays the reader, it never drops sound.
//   - A tight polling caller sees every frame of the timeline, so a chain started on
//     "position >= threshold" joins exactly at the threshold's frame, whatever the device's
//     buffer size, and even after this thread was descheduled for up to about the lead less one
//     device buffer (some 50 ms).
//   - The lead is the output latency the design adds (plus the device's buffer). BASS_Free
//     plays it out (Drain) so the end of what the caller played is heard.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/audio_output.h"

namespace {

// Buffers of 20 ms: a whole number of milliseconds at the usual rates, which keeps drivers that
// pace themselves by sleeping whole milliseconds (SDL's disk driver) close to the true rate.
constexpr uint32_t kBuffersPerSecond = 50;
constexpr double kLeadSeconds = 0.070;  // mixed frames the ring holds ahead of the device
constexpr int64_t kFramesPerPoll = 1;
// Buffers the device is given after the last drained frame, for its own buffering.
constexpr int64_t kDrainTailBuffers = 2;

std::atomic<int> gStallNextCallbackMs{0};

class SdlAudioOutputType : public AudioOutputType {
 public:
  bool Open(MixerType& mixer, uint32_t rate) override;
  void Close() override;
  int64_t PresentFrame() override;
  void NotePoll() override;
  void Drain(int64_t endFrame) override;

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int len);
  void Fill(int16_t* out, uint32_t frames);
  // Mixes up to `frames` frames into the ring (room permitting). The caller holds the token.
  void RenderIntoRing(int64_t frames);
  bool TryTakeToken() {
    bool expected = false;
    return token_.compare_exchange_strong(expected, true, std::memory_order_acquire);
  }
  void GiveToken() { token_.store(false, std::memory_order_release); }

  MixerType* mixer_ = nullptr;
  SDL_AudioDeviceID device_ = 0;
  uint32_t rate_ = 0;
  uint32_t bufferFrames_ = 0;
  int64_t lead_ = 0;

  // The ring holds the mixed frames [taken_, written_) at index frame & mask_.
  std::vector<int16_t> ring_;
  int64_t mask_ = 0;
  std::atomic<int64_t> written_{0};  // = the mixer's renderedEnd whenever the token is free
  std::atomic<int64_t> taken_{0};    // mixed frames handed to the device
  std::atomic<bool> token_{false};   // whoever holds it is the one renderer of the mixer
  std::atomic<int64_t> callbacks_{0};
};

bool SdlAudioOutputType::Open(MixerType& mixer, uint32_t rate) {
  mixer_ = &mixer;
  rate_ = rate;
  lead_ = int64_t(kLeadSeconds * rate);
  int64_t size = 1;
  while (size < lead_ + 1) size <<= 1;
  ring_.assign(size_t(size), 0);
  mask_ = size - 1;
  written_.store(0);
  taken_.store(0);
  token_.store(false);
  callbacks_.store(0);
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
  bufferFrames_ = have.samples;
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

void SdlAudioOutputType::RenderIntoRing(int64_t frames) {
  const int64_t written = written_.load(std::memory_order_relaxed);
  const int64_t room = taken_.load(std::memory_order_acquire) + lead_ - written;
  int64_t n = std::min(frames, room);
  int64_t at = written;
  while (n > 0) {
    const int64_t index = at & mask_;
    const int64_t piece = std::min<int64_t>(n, int64_t(ring_.size()) - index);
    RenderMix(*mixer_, ring_.data() + index, uint32_t(piece));
    at += piece;
    n -= piece;
  }
  written_.store(at, std::memory_order_release);
}

void SdlAudioOutputType::Fill(int16_t* out, uint32_t frames) {
  callbacks_.fetch_add(1, std::memory_order_acq_rel);
  if (const int stall = gStallNextCallbackMs.exchange(0)) SDL_Delay(Uint32(stall));
  int64_t taken = taken_.load(std::memory_order_relaxed);
  uint32_t done = 0;
  auto copyFromRing = [&](int64_t upTo) {
    while (done < frames && taken < upTo) {
      const int64_t index = taken & mask_;
      const uint32_t piece =
          uint32_t(std::min<int64_t>({int64_t(frames - done), upTo - taken, int64_t(ring_.size()) - index}));
      std::copy_n(ring_.data() + index, piece, out + done);
      done += piece;
      taken += piece;
    }
    taken_.store(taken, std::memory_order_release);
  };
  copyFromRing(written_.load(std::memory_order_acquire));
  if (done == frames) return;

  // The ring ran short: mix the rest here, once the caller is not mixing. The caller holds the
  // mixer for one frame's mix at a time, so this waits that long, or, if the caller's thread
  // was descheduled right then, until it runs again: the device is delayed, nothing is skipped.
  while (!TryTakeToken()) std::this_thread::yield();
  copyFromRing(written_.load(std::memory_order_relaxed));
  if (done < frames) {
    RenderMix(*mixer_, out + done, frames - done);
    taken += frames - done;
    written_.store(taken, std::memory_order_release);
    taken_.store(taken, std::memory_order_release);
  }
  GiveToken();
}

void SdlAudioOutputType::NotePoll() {
  if (!mixer_) return;
  // Take the mixer only when the ring has room, so that a full ring costs the device nothing.
  if (written_.load(std::memory_order_relaxed) >= taken_.load(std::memory_order_acquire) + lead_ || !TryTakeToken())
    return;
  RenderIntoRing(kFramesPerPoll);
  GiveToken();
}

int64_t SdlAudioOutputType::PresentFrame() {
  if (!mixer_) return 0;
  // The audio thread may be mixing right now; the frames whose mixing has begun count as mixed,
  // so a playback started now begins after them.
  return mixer_->renderedEnd.load(std::memory_order_seq_cst);
}

void SdlAudioOutputType::Drain(int64_t endFrame) {
  if (!mixer_ || device_ == 0) return;
  // Keep the ring full while waiting, so the device never waits for the caller, and wait until
  // the device has taken every frame up to `endFrame` and then a few buffers more (what it took
  // last is written or played only after it asks again). Bounded in real time too, so that a
  // device that stopped taking frames cannot hold the caller.
  const double seconds = double(std::max<int64_t>(0, endFrame - taken_.load())) / rate_ +
                         double(kDrainTailBuffers + 1) * bufferFrames_ / rate_;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(2 * seconds + 0.5);
  int64_t markCallback = -1;
  while (std::chrono::steady_clock::now() < deadline) {
    if (TryTakeToken()) {
      RenderIntoRing(lead_);
      GiveToken();
    }
    if (markCallback < 0 && taken_.load(std::memory_order_acquire) >= endFrame)
      markCallback = callbacks_.load(std::memory_order_acquire);
    if (markCallback >= 0 && callbacks_.load(std::memory_order_acquire) > markCallback + kDrainTailBuffers) break;
    SDL_Delay(1);
  }
}

}  // namespace

AudioOutputType* CreateSdlAudioOutput() { return new SdlAudioOutputType; }

void StallAudioDeviceOnce(int milliseconds) { gStallNextCallbackMs.store(std::max(0, milliseconds)); }

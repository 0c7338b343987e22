#include "audio/virtual_output.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint64_t kKeptSeconds = 20 * 60;

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

}  // namespace

bool WriteMonoWav(const char* path, const int16_t* frames, size_t count, uint32_t rate) {
  if (!path || !*path || count > 0x7FFFFFF0u / 2) return false;
  FILE* f = std::fopen(path, "wb");
  if (!f) return false;
  uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  const uint32_t dataBytes = uint32_t(count * 2);
  Put32(h + 4, 36 + dataBytes);
  Put32(h + 16, 16);
  Put16(h + 20, 1);  // PCM
  Put16(h + 22, 1);  // mono
  Put32(h + 24, rate);
  Put32(h + 28, rate * 2);
  Put16(h + 32, 2);
  Put16(h + 34, 16);
  h[36] = 'd', h[37] = 'a', h[38] = 't', h[39] = 'a';
  Put32(h + 40, dataBytes);
  bool ok = std::fwrite(h, 1, sizeof h, f) == sizeof h;
  for (size_t i = 0; ok && i < count; i += 4096) {
    uint8_t buffer[8192];
    const size_t n = std::min<size_t>(4096, count - i);
    for (size_t j = 0; j < n; ++j) Put16(buffer + 2 * j, uint16_t(frames[i + j]));
    ok = std::fwrite(buffer, 2, n, f) == n;
  }
  ok = std::fclose(f) == 0 && ok;
  return ok;
}

VirtualAudioOutputType::VirtualAudioOutputType(const char* wavPath, uint32_t framesPerPoll)
    : framesPerPoll_(framesPerPoll), wavPath_(wavPath ? wavPath : "") {}

bool VirtualAudioOutputType::Open(MixerType& mixer, uint32_t rate) {
  mixer_ = &mixer;
  rate_ = rate;
  kept_.clear();
  kept_.reserve(size_t(rate) * 10);
  return true;
}

void VirtualAudioOutputType::Close() {
  if (!wavPath_.empty()) WriteWav(wavPath_.c_str());
  mixer_ = nullptr;
}

int64_t VirtualAudioOutputType::PresentFrame() {
  return mixer_ ? mixer_->renderedEnd.load(std::memory_order_relaxed) : 0;
}

void VirtualAudioOutputType::Advance(uint64_t frames) {
  if (!mixer_) return;
  const uint64_t keepLimit = uint64_t(rate_) * kKeptSeconds;
  int16_t block[kMixBlockFrames];
  while (frames > 0) {
    const uint32_t n = uint32_t(std::min<uint64_t>(frames, kMixBlockFrames));
    RenderMix(*mixer_, block, n);
    const size_t room = kept_.size() < keepLimit ? size_t(keepLimit - kept_.size()) : 0;
    kept_.insert(kept_.end(), block, block + std::min<size_t>(n, room));
    frames -= n;
  }
}

bool VirtualAudioOutputType::WriteWav(const char* path) const {
  return WriteMonoWav(path, kept_.data(), kept_.size(), rate_);
}

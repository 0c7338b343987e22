#include "audio/mixer.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t kPadBefore = 4;
constexpr uint32_t kPadAfter = 8;
constexpr int kHalfBandReach = 31;  // taps on each side of the decimation filter's centre
static_assert(kHalfBandReach % 2 == 1, "the outermost taps are odd ones");
constexpr uint64_t kLevelStepLimit = (3ull << 32) / 2;  // read a coarser copy above step 1.5

// Windowed-sinc half-band low-pass for decimating by 2 (cut-off at a quarter of the input rate).
struct HalfBandType {
  float tap[2 * kHalfBandReach + 1];
  HalfBandType() {
    double sum = 0;
    for (int m = -kHalfBandReach; m <= kHalfBandReach; ++m) {
      const double x = m * 0.5;
      const double sinc = m == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x);
      const double n = (m + kHalfBandReach) / double(2 * kHalfBandReach);
      const double window = 0.35875 - 0.48829 * std::cos(2 * M_PI * n) + 0.14128 * std::cos(4 * M_PI * n) -
                            0.01168 * std::cos(6 * M_PI * n);  // Blackman-Harris
      tap[m + kHalfBandReach] = float(0.5 * sinc * window);
      sum += 0.5 * sinc * window;
    }
    for (float& t : tap) t = float(t / sum);
  }
};

const HalfBandType& HalfBand() {
  static const HalfBandType filter;
  return filter;
}

// One coarser copy: every second frame of `src` low-passed by the half-band filter, frames
// outside `src` counting as silence. The filter is symmetric and its even taps other than the
// centre are zero, so an output frame j is the centre tap times src[2j] plus, for each pair of
// odd taps k, tap times (src[2j - 2k - 1] + src[2j + 2k + 1]). Those are odd frames, which
// `odd` holds side by side with silence around them: every sum then runs over plain rows.
void DecimateByTwo(const float* src, int64_t srcCount, float* dst, uint32_t dstCount, std::vector<float>& odd) {
  constexpr int kPairs = (kHalfBandReach + 1) / 2;
  const HalfBandType& h = HalfBand();
  const int64_t oddCount = srcCount / 2;
  odd.assign(size_t(oddCount + 2 * kPairs), 0.0f);
  float* o = odd.data() + kPairs;
  for (int64_t i = 0; i < oddCount; ++i) o[i] = src[2 * i + 1];
  const float centreTap = h.tap[kHalfBandReach];
  for (uint32_t j = 0; j < dstCount; ++j) dst[j] = centreTap * src[2 * size_t(j)];
  for (int k = 0; k < kPairs; ++k) {
    const float tap = h.tap[kHalfBandReach + 2 * k + 1];
    const float* before = o - k - 1;  // src[2j - 2k - 1]
    const float* after = o + k;       // src[2j + 2k + 1]
    for (uint32_t j = 0; j < dstCount; ++j) dst[j] += tap * (before[j] + after[j]);
  }
}

inline float Hermite(const float* x, float f) {
  const float xm1 = x[-1], x0 = x[0], x1 = x[1], x2 = x[2];
  const float c1 = 0.5f * (x1 - xm1);
  const float c2 = xm1 - 2.5f * x0 + 2.0f * x1 - 0.5f * x2;
  const float c3 = 0.5f * (x2 - xm1) + 1.5f * (x0 - x1);
  return ((c3 * f + c2) * f + c1) * f + x0;
}

void MixVoiceInto(const MixVoiceType& v, float* acc, uint32_t count, uint64_t phase) {
  const int level = v.level;
  const float* x = v.sample->level[level];
  const uint64_t inc = v.increment;
  constexpr float kFraction = 1.0f / 4294967296.0f;
  const float gain = v.gain;
  for (uint32_t i = 0; i < count; ++i) {
    const uint64_t p = phase >> level;
    const uint32_t whole = uint32_t(p >> 32);
    const float f = float(uint32_t(p)) * kFraction;
    acc[i] += gain * Hermite(x + whole, f);
    phase += inc;
  }
}

}  // namespace

bool BuildMixSample(MixSampleType& s, const float* mono, uint32_t frames) {
  s = MixSampleType{};
  if (frames == 0) return false;
  uint32_t count[kMixLevelCount];
  size_t total = 0;
  int levels = 0;
  for (uint32_t n = frames; levels < kMixLevelCount; n = (n + 1) / 2) {
    count[levels++] = n;
    total += kPadBefore + n + kPadAfter;
    if (n <= 2) break;
  }
  if (!s.storage.Allocate(total)) return false;  // zeros: the padding stays silent
  s.frames = frames;
  s.levelCount = levels;
  size_t at = kPadBefore;
  std::vector<float> odd;
  for (int l = 0; l < levels; ++l) {
    float* dst = s.storage.Data() + at;
    s.level[l] = dst;
    s.levelFrames[l] = count[l];
    if (l == 0) {
      std::copy(mono, mono + frames, dst);
    } else {
      DecimateByTwo(s.level[l - 1], int64_t(count[l - 1]), dst, count[l], odd);
    }
    at += count[l] + kPadAfter + kPadBefore;
  }
  return true;
}

uint64_t MixIncrement(uint32_t frequency, uint32_t outputRate) {
  if (outputRate == 0) return 0;
  return ((uint64_t(frequency) << 32) + outputRate / 2) / outputRate;
}

void StartMixVoice(MixerType& mixer, int index, const MixSampleType* sample, uint64_t phase0, uint64_t increment,
                   float gain, int64_t startFrame) {
  MixVoiceType& v = mixer.voice[index];
  v.sample = sample;
  v.phase0 = phase0;
  v.increment = increment;
  v.sourceFrames = sample->frames;
  const uint64_t end = uint64_t(sample->frames) << 32;
  v.outFrames = phase0 >= end ? 0 : (end - phase0 + increment - 1) / increment;
  v.gain = gain;
  int level = 0;
  while (level + 1 < sample->levelCount && (increment >> level) > kLevelStepLimit) ++level;
  v.level = level;
  v.claim.store(0, std::memory_order_relaxed);
  v.startFrame.store(startFrame, std::memory_order_relaxed);
  v.stopFrame.store(kMixNever, std::memory_order_relaxed);
  v.state.store(kVoiceLive, std::memory_order_seq_cst);
}

bool MixVoiceStartHolds(MixerType& mixer, int index) {
  MixVoiceType& v = mixer.voice[index];
  // A pass that missed the voice stored its renderedEnd before looking, and the voice was
  // published before this load: so this load sees the end of every pass that missed it.
  if (mixer.renderedEnd.load(std::memory_order_seq_cst) <= v.startFrame.load(std::memory_order_seq_cst)) return true;
  uint32_t open = 0;
  return !v.claim.compare_exchange_strong(open, 2, std::memory_order_seq_cst);  // else the renderer took it
}

void RestartMixVoiceAt(MixerType& mixer, int index, int64_t startFrame) {
  MixVoiceType& v = mixer.voice[index];
  v.startFrame.store(startFrame, std::memory_order_seq_cst);
  v.claim.store(0, std::memory_order_seq_cst);
}

void StopMixVoice(MixerType& mixer, int index, int64_t frame) {
  MixVoiceType& v = mixer.voice[index];
  int64_t old = v.stopFrame.load(std::memory_order_relaxed);
  while (frame < old && !v.stopFrame.compare_exchange_weak(old, frame, std::memory_order_relaxed)) {
  }
}

MixVoiceStateType GetMixVoiceState(const MixVoiceType& v, int64_t frame) {
  const int64_t start = v.startFrame.load(std::memory_order_relaxed);
  const int64_t stop = v.stopFrame.load(std::memory_order_relaxed);
  const uint64_t end = uint64_t(v.sourceFrames) << 32;
  const int64_t natural = start + int64_t(v.outFrames);  // first frame past the source's end
  const int64_t last = std::min(natural, stop);
  const int64_t at = std::min(frame, last);
  MixVoiceStateType r;
  r.active = frame < last;
  r.ended = !r.active && natural <= stop;
  if (r.ended) {
    r.phase = end;
  } else if (at <= start) {
    r.phase = v.phase0;
  } else {
    r.phase = std::min(end, v.phase0 + uint64_t(at - start) * v.increment);
  }
  return r;
}

void RenderMix(MixerType& mixer, int16_t* out, uint32_t frames) {
  int64_t first = mixer.renderedEnd.load(std::memory_order_relaxed);
  while (frames > 0) {
    const uint32_t n = std::min(frames, kMixBlockFrames);
    const int64_t endFrame = first + n;
    mixer.renderedEnd.store(endFrame, std::memory_order_seq_cst);
    float* acc = mixer.accumulator;
    std::fill(acc, acc + n, 0.0f);
    for (MixVoiceType& v : mixer.voice) {
      if (v.state.load(std::memory_order_seq_cst) != kVoiceLive) continue;
      uint32_t claim = v.claim.load(std::memory_order_seq_cst);
      if (claim == 2) continue;  // the control side is moving its start
      int64_t start = v.startFrame.load(std::memory_order_seq_cst);
      if (claim == 0) {
        // A start already mixed past is the control side's to move (it is still inside the
        // start call); otherwise take the voice, so its start stays put from now on. Read the
        // start again once taken: it may have been moved between the two looks.
        if (start < first || !v.claim.compare_exchange_strong(claim, 1, std::memory_order_seq_cst)) continue;
        start = v.startFrame.load(std::memory_order_seq_cst);
      }
      const int64_t stop = v.stopFrame.load(std::memory_order_relaxed);
      const int64_t last = std::min<int64_t>(start + int64_t(v.outFrames), stop);
      const int64_t a = std::max(first, start);
      const int64_t b = std::min(endFrame, last);
      if (a < b) {
        MixVoiceInto(v, acc + (a - first), uint32_t(b - a), v.phase0 + uint64_t(a - start) * v.increment);
      }
      if (last <= endFrame) v.state.store(kVoiceDone, std::memory_order_release);
    }
    for (uint32_t i = 0; i < n; ++i) {
      const float y = std::nearbyint(acc[i] * 32768.0f);
      out[i] = int16_t(std::clamp(y, -32768.0f, 32767.0f));
    }
    out += n;
    frames -= n;
    first = endFrame;
  }
}

void ResetMixer(MixerType& mixer) {
  for (MixVoiceType& v : mixer.voice) {
    v.state.store(kVoiceFree, std::memory_order_relaxed);
    v.sample = nullptr;
    v.claim.store(0, std::memory_order_relaxed);
    v.startFrame.store(0, std::memory_order_relaxed);
    v.stopFrame.store(kMixNever, std::memory_order_relaxed);
  }
  mixer.renderedEnd.store(0, std::memory_order_seq_cst);
}

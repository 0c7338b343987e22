// The playback sequencer: plays one rule's samples one after another, starting each when the
// sample before it reaches its length minus the overlap, or stops. The timing state carries
// over between rules so rules join as steps do. Waiting is a tight poll of the playing channel,
// the keyboard and the close request; a key or a close cuts the rule short, and nothing that
// already sounds is stopped.
#include <cmath>
#include <cstdlib>

#include "audio/bass.h"
#include "reader/reader.h"

int32_t LastSample = 0;
int32_t LastOverlap = 0;
bool MissingSample = false;

int32_t ScaledFrequency(int32_t frequency, int32_t ratePercent, int32_t speedPercent) {
  const double factor = static_cast<double>(static_cast<int64_t>(ratePercent) * speedPercent) / 10000.0;
  const double a = static_cast<double>(frequency);
  // The product taken exactly: p is its rounding and err the remainder, so truncation sees
  // e.g. 44,100 x 0.28999999999999998 as just below 12,789.
  const double p = a * factor;
  const double err = std::fma(a, factor, -p);
  double t = std::trunc(p);
  if (t == p) {
    if (p > 0 && err < 0) t -= 1;
    if (p < 0 && err > 0) t += 1;
  }
  return static_cast<int32_t>(t);
}

int32_t OverlapBytes(int32_t percent, int32_t byteLength) {
  int64_t n = static_cast<int64_t>(std::abs(percent)) * byteLength;
  int64_t q = n / 100;
  int64_t r = n % 100;
  if (r < 0) {  // a negative length (never from a real sample): keep the floor convention
    r += 100;
    --q;
  }
  if (r > 50 || (r == 50 && (q & 1))) ++q;
  return static_cast<int32_t>(q);
}

namespace {

bool LastSampleReady() {
  const TZvuk& last = SoundTable[LastSample];
  if (BASS_ChannelIsActive(last.Channel) != 1) return true;
  const int32_t threshold = last.ByteLength - LastOverlap;
  // A negative threshold widened with its sign is never reached: wait for the sample to stop.
  const uint64_t limit = static_cast<uint64_t>(static_cast<int64_t>(threshold));
  return BASS_ChannelGetPosition(last.Channel) >= limit;
}

}  // namespace

void PlayDefinition(int32_t rule) {
  MissingSample = false;
  const TDefinice& d = DefinitionTable[rule];
  const int n = d.StepCount;
  int next = 0;
  for (;;) {
    if (LastSampleReady()) {
      if (next >= n) return;
      const TSoub& step = d.Steps[next++];
      if (step.SampleIndex < 0) {
        MissingSample = true;
        continue;
      }
      TZvuk& s = SoundTable[step.SampleIndex];
      s.Channel = BASS_SamplePlayEx(s.Handle, 0, ScaledFrequency(s.Frequency, step.RatePercent, SpeedPercent),
                                    step.VolumePercent, -101, 0);
      int32_t overlap = 0;
      if (step.OverlapPercent > 0)
        overlap = OverlapBytes(step.OverlapPercent, s.ByteLength);
      else if (step.OverlapPercent < 0)
        overlap = OverlapBytes(step.OverlapPercent, SoundTable[LastSample].ByteLength);
      LastOverlap = overlap;
      LastSample = step.SampleIndex;
    }
    if (Console->KeyWaiting() || Console->CloseRequested()) return;
  }
}

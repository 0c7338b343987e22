// Fixtures for the audio tests: WAV images written by the tests themselves (every encoding the
// loader must read), tones, a scratch directory, and a virtual-clock session.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/bass.h"

namespace audio_test {

inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void PutTag(std::vector<uint8_t>& b, const char* tag) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(tag[i]));
}

// A RIFF/WAVE image from a format chunk body and a data chunk body.
inline std::vector<uint8_t> RiffWave(const std::vector<uint8_t>& fmt, const std::vector<uint8_t>& data,
                                     const std::vector<uint8_t>& extraChunks = {}) {
  std::vector<uint8_t> b;
  PutTag(b, "RIFF");
  Put32(b, uint32_t(4 + 8 + fmt.size() + extraChunks.size() + 8 + data.size()));
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, uint32_t(fmt.size()));
  b.insert(b.end(), fmt.begin(), fmt.end());
  b.insert(b.end(), extraChunks.begin(), extraChunks.end());
  PutTag(b, "data");
  Put32(b, uint32_t(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  return b;
}

inline std::vector<uint8_t> FormatChunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                                        uint16_t blockAlign, const std::vector<uint8_t>& extra = {}) {
  std::vector<uint8_t> f;
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * blockAlign);
  Put16(f, blockAlign);
  Put16(f, bits);
  if (!extra.empty()) {
    Put16(f, uint16_t(extra.size()));
    f.insert(f.end(), extra.begin(), extra.end());
  }
  return f;
}

// Linear PCM (bits 8, 16, 24, 32) or 32-bit float (isFloat). `frames` holds channels values per
// frame, each -1..1.
inline std::vector<uint8_t> PcmWav(const std::vector<double>& values, uint16_t channels, uint32_t rate, uint16_t bits,
                                   bool isFloat = false) {
  std::vector<uint8_t> data;
  for (double v : values) {
    v = std::fmax(-1.0, std::fmin(1.0, v));
    if (isFloat) {
      float f = float(v);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      Put32(data, u);
    } else if (bits == 8) {
      data.push_back(uint8_t(std::lround(std::fmin(255.0, 128 + v * 128))));
    } else {
      const double scale = std::ldexp(1.0, bits - 1);
      const int64_t i = std::min<int64_t>(std::llround(v * scale), int64_t(scale) - 1);
      for (int k = 0; k < bits / 8; ++k) data.push_back(uint8_t(uint64_t(i) >> (8 * k)));
    }
  }
  const uint16_t block = uint16_t(channels * (bits / 8));
  return RiffWave(FormatChunk(isFloat ? 3 : 1, channels, rate, bits, block), data);
}

// 16-bit mono PCM straight from integer values (exact in the mixer's output at step 1).
inline std::vector<uint8_t> Pcm16Wav(const std::vector<int16_t>& values, uint32_t rate) {
  std::vector<uint8_t> data;
  for (int16_t v : values) Put16(data, uint16_t(v));
  return RiffWave(FormatChunk(1, 1, rate, 16, 2), data);
}

// IMA ADPCM, mono, 256-byte blocks (505 frames each).
inline std::vector<uint8_t> ImaAdpcmWav(const std::vector<int16_t>& pcm, uint32_t rate) {
  static const int step[89] = {7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
                               25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
                               88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
                               307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
                               1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
                               3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
                               12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
  static const int indexShift[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
  const size_t perBlock = 505;
  std::vector<uint8_t> data;
  int index = 0;
  for (size_t at = 0; at < pcm.size(); at += perBlock) {
    int predictor = pcm[at];
    Put16(data, uint16_t(int16_t(predictor)));
    data.push_back(uint8_t(index));
    data.push_back(0);
    uint8_t byte = 0;
    for (size_t i = 1; i < perBlock; ++i) {
      const int x = at + i < pcm.size() ? pcm[at + i] : 0;
      const int s = step[index];
      int diff = x - predictor;
      int code = 0;
      if (diff < 0) code = 8, diff = -diff;
      int delta = s >> 3;
      if (diff >= s) code |= 4, diff -= s, delta += s;
      if (diff >= s / 2) code |= 2, diff -= s / 2, delta += s / 2;
      if (diff >= s / 4) code |= 1, delta += s / 4;
      predictor += (code & 8) ? -delta : delta;
      predictor = std::max(-32768, std::min(32767, predictor));
      index = std::max(0, std::min(88, index + indexShift[code & 7]));
      if (i % 2 == 1) {
        byte = uint8_t(code);
      } else {
        data.push_back(uint8_t(byte | code << 4));
      }
    }
  }
  std::vector<uint8_t> extra;
  Put16(extra, uint16_t(perBlock));
  std::vector<uint8_t> fact;
  PutTag(fact, "fact");
  Put32(fact, 4);
  Put32(fact, uint32_t((pcm.size() + perBlock - 1) / perBlock * perBlock));
  return RiffWave(FormatChunk(0x11, 1, rate, 4, 256, extra), data, fact);
}

// Microsoft ADPCM, mono, 256-byte blocks (500 frames each), always with predictor 0, which
// predicts the previous value exactly (no rounding for encoder and decoder to disagree on).
inline std::vector<uint8_t> MsAdpcmWav(const std::vector<int16_t>& pcm, uint32_t rate) {
  static const int adapt[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
  static const int coef[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
  const size_t perBlock = 500;  // 2 in the header + 2 * (256 - 7)
  std::vector<uint8_t> data;
  for (size_t at = 0; at < pcm.size(); at += perBlock) {
    auto sampleAt = [&](size_t i) { return at + i < pcm.size() ? int(pcm[at + i]) : 0; };
    int s2 = sampleAt(0), s1 = sampleAt(1);
    int delta = 16;
    data.push_back(0);
    Put16(data, uint16_t(int16_t(delta)));
    Put16(data, uint16_t(int16_t(s1)));
    Put16(data, uint16_t(int16_t(s2)));
    uint8_t byte = 0;
    for (size_t i = 2; i < perBlock; ++i) {
      const int predicted = (s1 * coef[0][0] + s2 * coef[0][1]) / 256;
      int code = (int)std::lround(double(sampleAt(i) - predicted) / delta);
      code = std::max(-8, std::min(7, code));
      int decoded = std::max(-32768, std::min(32767, predicted + code * delta));
      s2 = s1;
      s1 = decoded;
      const int nibble = code & 15;
      delta = std::max(16, adapt[nibble] * delta / 256);
      if (i % 2 == 0) {
        byte = uint8_t(nibble << 4);
      } else {
        data.push_back(uint8_t(byte | nibble));
      }
    }
  }
  std::vector<uint8_t> extra;
  Put16(extra, uint16_t(perBlock));
  Put16(extra, 7);
  for (auto& c : coef) Put16(extra, uint16_t(int16_t(c[0]))), Put16(extra, uint16_t(int16_t(c[1])));
  return RiffWave(FormatChunk(2, 1, rate, 4, 256, extra), data);
}

inline std::vector<double> Tone(double hz, uint32_t rate, uint32_t frames, double amplitude, uint16_t channels = 1) {
  std::vector<double> v;
  for (uint32_t i = 0; i < frames; ++i)
    for (uint16_t c = 0; c < channels; ++c) v.push_back(amplitude * std::sin(2 * M_PI * hz * i / rate));
  return v;
}

inline std::vector<int16_t> Tone16(double hz, uint32_t rate, uint32_t frames, double amplitude) {
  std::vector<int16_t> v;
  for (uint32_t i = 0; i < frames; ++i) v.push_back(int16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate))));
  return v;
}

// A private scratch directory, removed with its files at the end.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/hlasivo-audio-XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
  }
  ~ScratchDir() {
    for (const std::string& f : files_) std::remove(f.c_str());
    rmdir(path_.c_str());
  }
  std::string Path(const std::string& name) {
    files_.push_back(path_ + "/" + name);
    return files_.back();
  }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string p = Path(name);
    FILE* f = std::fopen(p.c_str(), "wb");
    if (f) {
      if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return p;
  }
  const std::string& Dir() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> files_;
};

// A test on the virtual clock at 22,050 Hz. Time moves only by AdvanceVirtualClock unless a
// test sets a step.
class VirtualAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectVirtualAudioOutput(nullptr, 0);
    ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
  }
  void TearDown() override {
    BASS_Free();
    SelectDefaultAudioOutput();
  }
  HSAMPLE Load(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = scratch_.Write(name, bytes);
    return BASS_SampleLoad(0, path.c_str(), 0, 0, 2, 0x20000);
  }
  static uint32_t Length(HSAMPLE s) {
    BASS_SAMPLE info{};
    EXPECT_NE(BASS_SampleGetInfo(s, &info), 0);
    return info.length;
  }
  ScratchDir scratch_;
};

}  // namespace audio_test

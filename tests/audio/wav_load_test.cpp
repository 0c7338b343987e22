// Loading WAV samples: every encoding SDL2 decodes keeps its own rate and byte scale and sounds
// as written; anything broken is refused with handle 0.
#include <cmath>

#include "tests/audio/audio_fixtures.h"

namespace audio_test {
namespace {

struct EncodingCase {
  const char* name;
  std::vector<uint8_t> image;
  uint32_t rate;
  uint32_t channels;
  uint32_t bytesPerFrame;
  uint32_t frames;
  std::vector<double> expected;  // mono values the file should play as
  double maxRmsError;            // relative to the signal's RMS
};

std::vector<double> Mono(const std::vector<double>& v, double left, double right) {
  std::vector<double> m;
  for (size_t i = 0; i + 1 < v.size(); i += 2) m.push_back((v[i] * left + v[i + 1] * right) / 2);
  return m;
}

std::vector<double> Scaled(const std::vector<int16_t>& v) {
  std::vector<double> d;
  for (int16_t x : v) d.push_back(x / 32768.0);
  return d;
}

std::vector<EncodingCase> Encodings() {
  std::vector<EncodingCase> cases;
  const auto tone = Tone(441, 22050, 1000, 0.5);
  const auto toneHigh = Tone(441, 44100, 1000, 0.5);
  // Stereo: right channel at half the left, so the average is 0.75 of the left.
  std::vector<double> stereo;
  for (double x : tone) stereo.push_back(x), stereo.push_back(x / 2);
  const auto stereoMono = Mono(stereo, 1, 1);
  const auto tone16 = Tone16(441, 22050, 2020, 0.5);
  cases.push_back({"pcm8", PcmWav(tone, 1, 22050, 8), 22050, 1, 1, 1000, tone, 0.02});
  cases.push_back({"pcm16", PcmWav(tone, 1, 22050, 16), 22050, 1, 2, 1000, tone, 1e-3});
  cases.push_back({"pcm24_44k", PcmWav(toneHigh, 1, 44100, 24), 44100, 1, 3, 1000, toneHigh, 1e-3});
  cases.push_back({"pcm32", PcmWav(tone, 1, 11025, 32), 11025, 1, 4, 1000, tone, 1e-3});
  cases.push_back({"float32", PcmWav(tone, 1, 22050, 32, true), 22050, 1, 4, 1000, tone, 1e-3});
  cases.push_back({"pcm16_stereo", PcmWav(stereo, 2, 22050, 16), 22050, 2, 4, 1000, stereoMono, 1e-3});
  cases.push_back({"pcm24_stereo", PcmWav(stereo, 2, 8000, 24), 8000, 2, 6, 1000, stereoMono, 1e-3});
  cases.push_back({"ima_adpcm", ImaAdpcmWav(tone16, 22050), 22050, 1, 2, 2020, Scaled(tone16), 0.1});
  cases.push_back({"ms_adpcm", MsAdpcmWav(tone16, 22050), 22050, 1, 2, 2500, Scaled(tone16), 0.1});
  return cases;
}

class WavLoadTest : public VirtualAudioTest {};

TEST_F(WavLoadTest, EveryEncodingKeepsItsRateAndByteScaleAndSoundsAsWritten) {
  for (const EncodingCase& c : Encodings()) {
    SCOPED_TRACE(c.name);
    const HSAMPLE s = Load(std::string(c.name) + ".wav", c.image);
    ASSERT_NE(s, 0u);
    BASS_SAMPLE info{};
    ASSERT_NE(BASS_SampleGetInfo(s, &info), 0);
    EXPECT_EQ(info.freq, c.rate);
    EXPECT_EQ(info.chans, c.channels);
    EXPECT_EQ(info.length, c.frames * c.bytesPerFrame);

    // At the output rate the mixer steps one source frame per output frame: the output is the
    // decoded sample itself.
    const uint64_t from = GetVirtualClockFrame();
    const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
    ASSERT_NE(ch, 0u);
    AdvanceVirtualClock(c.frames + 10);
    const std::vector<int16_t> out = GetVirtualOutput();
    double err = 0, sig = 0;
    const size_t n = std::min<size_t>(c.expected.size(), c.frames);
    for (size_t i = 0; i < n; ++i) {
      const double want = c.expected[i] * 32768;
      err += (out[from + i] - want) * (out[from + i] - want);
      sig += want * want;
    }
    EXPECT_LT(std::sqrt(err / sig), c.maxRmsError);
    for (uint64_t i = from + c.frames; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "frame " << i;
    EXPECT_EQ(BASS_ChannelIsActive(ch), 0u);
    EXPECT_EQ(BASS_ChannelGetPosition(ch), info.length);
    EXPECT_NE(BASS_SampleFree(s), 0);
  }
}

TEST_F(WavLoadTest, FromMemoryAndFromAPartOfAFile) {
  const auto image = Pcm16Wav(std::vector<int16_t>(300, 1000), 16000);
  const HSAMPLE fromMemory = BASS_SampleLoad(1, image.data(), 0, uint32_t(image.size()), 2, 0);
  ASSERT_NE(fromMemory, 0u);
  EXPECT_EQ(Length(fromMemory), 600u);
  EXPECT_EQ(BASS_SampleLoad(1, image.data(), 0, 0, 2, 0), 0u) << "memory without a length";

  std::vector<uint8_t> wrapped(100, 0xEE);
  wrapped.insert(wrapped.end(), image.begin(), image.end());
  wrapped.insert(wrapped.end(), 50, 0xEE);
  const std::string path = scratch_.Write("wrapped.bin", wrapped);
  const HSAMPLE part = BASS_SampleLoad(0, path.c_str(), 100, uint32_t(image.size()), 2, 0);
  ASSERT_NE(part, 0u);
  EXPECT_EQ(Length(part), 600u);
  EXPECT_EQ(BASS_SampleLoad(0, path.c_str(), 0, 0, 2, 0), 0u) << "the image does not start at 0";
  EXPECT_EQ(BASS_SampleLoad(0, path.c_str(), 100, uint32_t(wrapped.size()), 2, 0), 0u) << "past the end";
  EXPECT_EQ(BASS_SampleLoad(0, path.c_str(), uint32_t(wrapped.size() + 1), 0, 2, 0), 0u);
}

TEST_F(WavLoadTest, BrokenOrHostileFilesAreRefused) {
  const auto good = PcmWav(Tone(441, 22050, 400, 0.5), 1, 22050, 16);
  auto truncated = good;
  truncated.resize(good.size() - 101);
  auto hugeData = good;
  hugeData[40] = 0xF0, hugeData[41] = 0xFF, hugeData[42] = 0xFF, hugeData[43] = 0xFF;  // data size
  auto hugeRiff = good;
  hugeRiff[4] = 0xFF, hugeRiff[5] = 0xFF, hugeRiff[6] = 0xFF, hugeRiff[7] = 0x7F;
  std::vector<uint8_t> headerOnly(good.begin(), good.begin() + 12);
  const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'a', 'v', '\n'};
  std::vector<uint8_t> noData(good.begin(), good.begin() + 36);  // RIFF + fmt only

  struct Case {
    const char* name;
    std::vector<uint8_t> image;
  } cases[] = {
      {"empty", {}},
      {"text", text},
      {"riff_header_only", headerOnly},
      {"no_data_chunk", noData},
      {"empty_data", RiffWave(FormatChunk(1, 1, 22050, 16, 2), {})},
      {"truncated_data", truncated},
      {"data_size_past_end", hugeData},
      {"zero_channels", RiffWave(FormatChunk(1, 0, 22050, 16, 2), std::vector<uint8_t>(100, 1))},
      {"zero_rate", RiffWave(FormatChunk(1, 1, 0, 16, 2), std::vector<uint8_t>(100, 1))},
      {"bits_12", RiffWave(FormatChunk(1, 1, 22050, 12, 2), std::vector<uint8_t>(100, 1))},
      {"bits_0", RiffWave(FormatChunk(1, 1, 22050, 0, 0), std::vector<uint8_t>(100, 1))},
      {"unknown_format_tag", RiffWave(FormatChunk(0x55, 1, 22050, 16, 2), std::vector<uint8_t>(100, 1))},
      {"short_fmt_chunk", RiffWave({1, 0}, std::vector<uint8_t>(100, 1))},
      {"adpcm_block_align_0", RiffWave(FormatChunk(0x11, 1, 22050, 4, 0, {0xF9, 0x01}), std::vector<uint8_t>(256, 7))},
      {"ms_adpcm_no_coefficients", RiffWave(FormatChunk(2, 1, 22050, 4, 256, {0xF4, 0x01, 0, 0}),
                                            std::vector<uint8_t>(256, 7))},
      {"channels_65535", RiffWave(FormatChunk(1, 65535, 22050, 16, 2), std::vector<uint8_t>(100, 1))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Load(std::string(c.name) + ".wav", c.image), 0u);
    EXPECT_EQ(BASS_SampleLoad(1, c.image.data(), 0, uint32_t(c.image.size()), 2, 0), 0u);
  }
  // A wrong overall RIFF size is common in real files and does not matter while every chunk is whole.
  EXPECT_NE(Load("riff_size_wrong.wav", hugeRiff), 0u);
  EXPECT_EQ(BASS_SampleLoad(0, (scratch_.Dir() + "/missing.wav").c_str(), 0, 0, 2, 0), 0u);
  EXPECT_EQ(BASS_SampleLoad(0, scratch_.Dir().c_str(), 0, 0, 2, 0), 0u) << "a directory";
  EXPECT_EQ(BASS_SampleLoad(0, "", 0, 0, 2, 0), 0u);
  EXPECT_EQ(BASS_SampleLoad(0, nullptr, 0, 0, 2, 0), 0u);
  EXPECT_NE(Load("still_fine.wav", good), 0u) << "refusals leave the loader working";
}

TEST_F(WavLoadTest, OverlongSoundIsRefused) {
  // One frame past the loader's limit, 8-bit mono so that the image stays small (32 MB).
  const uint32_t frames = (uint32_t(1) << 25) + 1;
  const std::vector<uint8_t> image = RiffWave(FormatChunk(1, 1, 8000, 8, 1), std::vector<uint8_t>(frames, 128));
  EXPECT_EQ(BASS_SampleLoad(1, image.data(), 0, uint32_t(image.size()), 2, 0), 0u);
}

TEST_F(WavLoadTest, RandomlyDamagedImagesNeverCrash) {
  const auto good = ImaAdpcmWav(Tone16(300, 22050, 1010, 0.4), 22050);
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  int loaded = 0;
  for (int round = 0; round < 300; ++round) {
    auto image = good;
    for (int k = 0; k < 4; ++k) image[next() % 64] = uint8_t(next() >> 24);  // headers and first block
    if (round % 3 == 0) image.resize(next() % image.size());
    const HSAMPLE s = BASS_SampleLoad(1, image.data(), 0, uint32_t(image.size()), 2, 0);
    if (s != 0) {
      ++loaded;
      EXPECT_GT(Length(s), 0u);
      const HCHANNEL ch = BASS_SamplePlayEx(s, 0, 22050, 100, -101, 0);
      AdvanceVirtualClock(64);
      (void)ch;
      EXPECT_NE(BASS_SampleFree(s), 0);
    }
  }
  SUCCEED() << loaded << " of 300 damaged images still decoded";
}

}  // namespace
}  // namespace audio_test

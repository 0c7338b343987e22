#include "audio/wav_loader.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

uint32_t Read32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;

struct WavLayoutType {
  uint16_t tag = 0;
  uint16_t channels = 0;
  uint16_t bits = 0;
  bool haveFormat = false;
  bool haveData = false;
  uint32_t dataBytes = 0;
};

// Walks the chunks. False when the image is not RIFF/WAVE or a chunk runs past its end.
bool ReadLayout(const uint8_t* data, size_t size, WavLayoutType& layout) {
  if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0) return false;
  size_t at = 12;
  for (int chunks = 0; at + 8 <= size && chunks < 10000; ++chunks) {
    const uint8_t* head = data + at;
    const uint64_t length = Read32(head + 4);
    if (at + 8 + length > size) return false;  // truncated
    if (std::memcmp(head, "fmt ", 4) == 0 && length >= 16 && !layout.haveFormat) {
      layout.tag = Read16(head + 8);
      layout.channels = Read16(head + 10);
      layout.bits = Read16(head + 22);
      if (layout.tag == kFormatExtensible && length >= 40) layout.tag = Read16(head + 8 + 24);
      layout.haveFormat = true;
    } else if (std::memcmp(head, "data", 4) == 0 && !layout.haveData) {
      layout.haveData = true;
      layout.dataBytes = uint32_t(length);
    }
    at += 8 + length + (length & 1);
  }
  return layout.haveFormat && layout.haveData;
}

}  // namespace

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (!path || !*path) return false;
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bool ok = true;
  uint8_t buffer[65536];
  for (;;) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, f);
    if (n == 0) {
      ok = !std::ferror(f);
      break;
    }
    if (bytes.size() + n > kWavMaxBytes) {
      ok = false;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  std::fclose(f);
  if (!ok) bytes.clear();
  return ok;
}

bool DecodeWav(const uint8_t* data, size_t size, WavSoundType& sound) {
  sound = WavSoundType{};
  if (!data || size > kWavMaxBytes) return false;
  WavLayoutType layout;
  if (!ReadLayout(data, size, layout) || layout.dataBytes == 0 || layout.channels == 0) return false;
  if ((layout.tag == kFormatPcm || layout.tag == kFormatFloat) && layout.bits >= 8 &&
      layout.dataBytes / (uint64_t(layout.channels) * (layout.bits / 8)) > kWavMaxFrames)
    return false;  // refused before SDL decodes it all

  SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
  if (!rw) return false;
  SDL_AudioSpec wavFormat;
  Uint8* buffer = nullptr;
  Uint32 length = 0;
  if (!SDL_LoadWAV_RW(rw, 1, &wavFormat, &buffer, &length)) return false;

  const uint32_t sdlBytes = SDL_AUDIO_BITSIZE(wavFormat.format) / 8;
  const uint32_t channels = wavFormat.channels;
  bool ok = wavFormat.freq > 0 && channels > 0 && sdlBytes > 0;
  const uint32_t frames = ok ? length / (sdlBytes * channels) : 0;
  ok = ok && frames > 0 && frames <= kWavMaxFrames;

  // Lengths count bytes of the file's own sample format; formats SDL expands (ADPCM, A-law,
  // mu-law) are counted as the 16-bit PCM they play as.
  uint32_t ownBytes = sdlBytes;
  if (layout.tag == kFormatPcm || layout.tag == kFormatFloat) ownBytes = (layout.bits + 7) / 8;
  ok = ok && ownBytes > 0 && uint64_t(frames) * channels * ownBytes <= 0x7FFFFFFFu;

  if (ok && wavFormat.format == AUDIO_S16LSB && channels == 1) {
    // The usual voice sample: 16-bit mono, converted in one plain pass.
    sound.mono.resize(frames);
    for (uint32_t i = 0; i < frames; ++i) sound.mono[i] = float(int16_t(Read16(buffer + size_t(i) * 2))) / 32768.0f;
  } else if (ok) {
    sound.mono.resize(frames);
    const float scale = 1.0f / float(channels);
    for (uint32_t i = 0; i < frames; ++i) {
      float sum = 0;
      for (uint32_t c = 0; c < channels; ++c) {
        const uint8_t* p = buffer + (size_t(i) * channels + c) * sdlBytes;
        float v = 0;
        switch (wavFormat.format) {
          case AUDIO_U8: v = (float(*p) - 128.0f) / 128.0f; break;
          case AUDIO_S8: v = float(int8_t(*p)) / 128.0f; break;
          case AUDIO_S16LSB: v = float(int16_t(Read16(p))) / 32768.0f; break;
          case AUDIO_S32LSB: v = float(int32_t(Read32(p))) / 2147483648.0f; break;
          case AUDIO_F32LSB: {
            const uint32_t bits = Read32(p);
            std::memcpy(&v, &bits, 4);
            if (!std::isfinite(v)) v = 0;
            v = v > 8.0f ? 8.0f : v < -8.0f ? -8.0f : v;
            break;
          }
          default: ok = false; break;
        }
        sum += v;
      }
      sound.mono[i] = sum * scale;
    }
  }
  SDL_FreeWAV(buffer);
  if (!ok) {
    sound = WavSoundType{};
    return false;
  }
  sound.rate = uint32_t(wavFormat.freq);
  sound.channels = channels;
  sound.bytesPerFrame = ownBytes * channels;
  sound.fileBits = layout.bits;
  return true;
}

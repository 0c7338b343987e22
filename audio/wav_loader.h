// Reads a WAV file image into mono float frames for the mixer, and tells what the file's own
// format is, because lengths and positions are counted in bytes of that format.
// Decoding is SDL2's (SDL_LoadWAV_RW: 8/16/24/32-bit PCM, 32-bit float, MS and IMA ADPCM, A-law,
// mu-law; mono, stereo or more channels, which are averaged). Before SDL sees the bytes they are
// checked here: RIFF/WAVE signature, a format chunk, a data chunk that is complete (a truncated
// file is refused rather than played short) and not empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct WavSoundType {
  std::vector<float> mono;     // one value per frame, -1..1
  uint32_t rate = 0;           // frames per second
  uint32_t channels = 0;       // in the file
  uint32_t bytesPerFrame = 0;  // in the sample's own format: all channels of one frame
  uint32_t fileBits = 0;       // bits per sample as stored in the file (4 for ADPCM)
};

// Largest WAV image and longest sound accepted (about 12 minutes at 44.1 kHz), so that a
// hostile or mistaken file cannot exhaust memory: the mixer keeps 8 bytes per frame.
inline constexpr size_t kWavMaxBytes = size_t(256) << 20;
inline constexpr uint32_t kWavMaxFrames = uint32_t(1) << 25;

// Decodes `size` bytes at `data`. False (and `sound` left empty) for anything that is not a
// complete, non-empty WAV image in a format SDL2 can decode.
bool DecodeWav(const uint8_t* data, size_t size, WavSoundType& sound);

// Reads a whole file (at most kWavMaxBytes) into `bytes`. False when it cannot be read.
bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes);

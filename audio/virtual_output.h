// The virtual clock output: no device, no thread. The mixer renders on the caller's thread only
// when time is moved (by polls or explicitly), and everything rendered is kept, so a test sees
// exactly which frame each playback began and ended at. Owned by audio/bass.cpp.
#pragma once

#include <string>
#include <vector>

#include "audio/audio_output.h"

class VirtualAudioOutputType : public AudioOutputType {
 public:
  VirtualAudioOutputType(const char* wavPath, uint32_t framesPerPoll);
  bool Open(MixerType& mixer, uint32_t rate) override;
  void Close() override;
  int64_t PresentFrame() override;
  void NotePoll() override { Advance(framesPerPoll_); }
  bool RendersByItself() const override { return false; }

  void Advance(uint64_t frames);
  void SetStep(uint32_t framesPerPoll) { framesPerPoll_ = framesPerPoll; }
  const std::vector<int16_t>& Output() const { return kept_; }
  bool WriteWav(const char* path) const;

 private:
  MixerType* mixer_ = nullptr;
  uint32_t rate_ = 0;
  uint32_t framesPerPoll_ = 1;
  std::string wavPath_;
  std::vector<int16_t> kept_;
};

// Writes signed 16-bit mono frames as a WAV file. True when written whole.
bool WriteMonoWav(const char* path, const int16_t* frames, size_t count, uint32_t rate);

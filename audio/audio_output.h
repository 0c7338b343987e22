// Where the mixer's output goes: the one small interface behind which the SDL2 device and the
// virtual clock sit (chosen by audio/audio_backend.h, used by audio/bass.cpp). Every method is
// called with bass.cpp's call lock held, from the caller's thread; only the device's own audio
// thread calls into the mixer on its own.
#pragma once

#include <cstdint>

#include "audio/mixer.h"

class AudioOutputType {
 public:
  virtual ~AudioOutputType() = default;
  // Starts output of `mixer` at `rate` Hz. False when no output can be opened.
  virtual bool Open(MixerType& mixer, uint32_t rate) = 0;
  // Stops output; once it returns the mixer is no longer rendered.
  virtual void Close() = 0;
  // The output frame at which a playback started now begins, and at which positions are read.
  // Never goes back, and never lies before a frame whose mixing has begun.
  virtual int64_t PresentFrame() = 0;
  // A poll (a state or position query that counts as one, see audio/audio_backend.h) is about
  // to be answered.
  virtual void NotePoll() {}
  // Lets the output play everything up to output frame `endFrame` (the mixer stops there), then
  // returns; bounded in real time. Called by BASS_Free before Close.
  virtual void Drain(int64_t endFrame) { (void)endFrame; }
  // True when the mixer is rendered on a thread of its own, so waiting lets playbacks progress.
  virtual bool RendersByItself() const { return true; }
};

// The SDL2 output device (audio/sdl_output.cpp).
AudioOutputType* CreateSdlAudioOutput();

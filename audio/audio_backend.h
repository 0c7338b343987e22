// Chooses where the audio calls of audio/bass.h send their sound, and drives the virtual clock.
//
// Two outputs sit behind one small interface (AudioOutputType in audio/audio_output.h):
//   - the device: an SDL2 output device (the default; SDL_AUDIODRIVER picks SDL's driver, so
//     SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=out.raw captures raw signed 16-bit mono PCM);
//   - the virtual clock: no device and no thread. Time stands still until the caller polls or
//     advances it, and every mixed frame is kept so it can be read back or written as a WAV file.
//     Tests, the sequencer's tests and offline tools use it to check timing to the frame.
//
// How to choose (the choice is read by BASS_Init, so make it before):
//   - SelectVirtualAudioOutput(path, framesPerPoll) / SelectDeviceAudioOutput() from code; or
//   - the environment variable HLASIVO_AUDIO, read by BASS_Init when no choice was made in code:
//       HLASIVO_AUDIO=device              the SDL2 device (same as unset)
//       HLASIVO_AUDIO=virtual             the virtual clock, one frame per poll, nothing written
//       HLASIVO_AUDIO=virtual:/tmp/o.wav  the same, and BASS_Free writes the mixed output there
//     A choice made in code wins over the variable. BASS_Free keeps the choice for the next
//     BASS_Init; SelectDefaultAudioOutput() forgets it (back to the variable / the device).
//
// How the virtual clock moves. Its time is the count of output frames mixed so far; a playback
// started now begins at exactly that frame, and positions are read at it. With framesPerPoll n
// (default 1):
//   - BASS_ChannelIsActive advances the clock by n frames, then answers;
//   - BASS_ChannelGetPosition advances by n frames too, except directly after a
//     BASS_ChannelIsActive of the same channel: that pair is one poll (the sequencer's readiness
//     test), so each pass of the sequencer's loop moves time by exactly n frames and a chain
//     started on "position >= length - overlap" joins exactly at that frame;
//   - the first poll after a successful BASS_SamplePlayEx does not move time: it sees the
//     playback at the frame it began (so a threshold of 0 starts the next one together with it);
//   - nothing else moves time; AdvanceVirtualClock moves it by any amount.
//   framesPerPoll 0 stops polls from moving time: only AdvanceVirtualClock does.
//
// On the device the same rules hold against the device's pace: positions are read at the end of
// what has been mixed into the device's stream, which polls move on by one frame each as long as
// that stream holds less than 70 ms beyond what the device has taken (audio/sdl_output.cpp); a
// playback started now begins exactly there. A caller that polls tightly therefore joins samples
// to the frame, even after its thread was descheduled for a while (up to about 50 ms); a device
// that stalls holds the positions back (the caller is delayed, no sound is dropped). The price
// is some 70 ms of output latency on top of the device's buffer, which BASS_Free plays out.
//
// All functions here run on the caller's thread (the reader's main thread or a test); they may be
// called at any time and answer 0 / false / empty when the virtual clock is not open.
#pragma once

#include <cstdint>
#include <vector>

// The next BASS_Init opens the SDL2 output device.
void SelectDeviceAudioOutput();
// The next BASS_Init opens the virtual clock. `wavPath` (may be null or empty) is where BASS_Free
// writes everything mixed, as a 16-bit mono WAV at the output rate. `framesPerPoll` as above.
void SelectVirtualAudioOutput(const char* wavPath, uint32_t framesPerPoll = 1);
// Forgets a choice made in code: BASS_Init then follows HLASIVO_AUDIO, else opens the device.
void SelectDefaultAudioOutput();

// True between a successful BASS_Init on the virtual clock and BASS_Free.
bool VirtualAudioOpen();
// The virtual clock's time: output frames mixed so far. The first 20 minutes of them are kept.
uint64_t GetVirtualClockFrame();
// Mixes `frames` more frames (the time moves on; playbacks progress and end).
void AdvanceVirtualClock(uint64_t frames);
// Changes how many frames a poll moves the clock (see above).
void SetVirtualClockStep(uint32_t framesPerPoll);
// Everything mixed so far, one signed 16-bit value per output frame, from frame 0.
std::vector<int16_t> GetVirtualOutput();
// Writes everything mixed so far as a 16-bit mono WAV file. True when written.
bool WriteVirtualOutputWav(const char* path);

// Test aid: the device's audio thread sleeps `milliseconds` in its next buffer request, as a
// stalled device or a descheduled audio thread would. No effect on the virtual clock.
void StallAudioDeviceOnce(int milliseconds);

// The output rate of the open output in Hz, 0 when none is open.
uint32_t GetAudioOutputRate();

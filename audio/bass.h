// The audio calls the reader makes: load WAV files as samples, play a sample at a frequency
// and volume, ask whether a playback is still going and how far it has got, free.
// They run over our own mixer (audio/mixer.h) on an SDL2 output device, or on a virtual clock
// for tests and offline rendering; audio/audio_backend.h chooses between them.
#pragma once

#include <cstdint>

using HSAMPLE = uint32_t;   // a loaded sample; 0 is none
using HCHANNEL = uint32_t;  // one playback of a sample; 0 is none

// Describes a loaded sample: 32-bit fields, in the order unsigned, unsigned, signed, five
// unsigned, two floats, five unsigned (fifteen in all, though the record is often called
// fourteen-field). The reader reads only the 1st, `freq` (default playback rate in Hz), and
// the 5th, `length` (bytes in the sample's own format, the scale of every position).
struct BASS_SAMPLE {
  uint32_t freq;     // default playback frequency in Hz (the file's rate)
  uint32_t volume;   // default volume, 0..100
  int32_t pan;       // default pan, -100..100
  uint32_t flags;    // sample flags given at load time
  uint32_t length;   // length in bytes
  uint32_t max;      // most simultaneous playbacks
  uint32_t origres;  // bits per sample in the file
  uint32_t chans;    // channels
  float mingap;      // shortest time between playbacks (seconds)
  float vam;         // unused here
  uint32_t priority;
  uint32_t mode3d;
  uint32_t reserved1;
  uint32_t reserved2;
  uint32_t reserved3;
};

// Sets a configuration option. The reader sets option 3 (the update period) to 125; the value
// is kept and has no other effect. Returns 1.
uint32_t BASS_SetConfig(uint32_t option, uint32_t value);
// Opens output device `device` (1 or -1: the default; no other) at `freq` Hz (8,000..192,000;
// 0 means 22,050), mono, signed 16-bit. Which output (the SDL2 device or the virtual clock) is
// chosen by audio/audio_backend.h. Non-zero when ready; 0 when no output can be opened, the
// arguments are refused, or it is already open.
int32_t BASS_Init(int32_t device, uint32_t freq, uint32_t flags, uint32_t window, const void* classId);
// Loads a WAV file (mem 0: `file` is a zero-terminated path; otherwise `file` points to `length`
// bytes in memory) from byte `offset`, `length` bytes (0: to the end). `max` (1..256, 0 means 1)
// is how many playbacks of it may sound at once. Non-zero sample handle; 0 when the device is not
// initialised or the file is missing, unreadable, empty, truncated or not a WAV SDL2 can decode.
HSAMPLE BASS_SampleLoad(int32_t mem, const void* file, uint32_t offset, uint32_t length, uint32_t max,
                        uint32_t flags);
// Fills `info` for a loaded sample. Non-zero on success.
int32_t BASS_SampleGetInfo(HSAMPLE sample, BASS_SAMPLE* info);
// Starts a playback at `freq` Hz (1..4,000,000) and `volume` (0..100, up to 200 amplifies) from
// byte `start`; pan -101 keeps the sample's default (-100..100 are accepted; the output is mono);
// `loop` must be 0. A sample plays at most `max` times at once (see BASS_SampleLoad): a further
// start stops the playback that has played furthest. Returns a channel handle, 0 when nothing
// started (bad handle or argument, no device).
// Timing: the playback begins exactly at the output frame at which positions are read at this
// moment, so a chain started on "position >= threshold" joins at that frame.
HCHANNEL BASS_SamplePlayEx(HSAMPLE sample, uint32_t start, int32_t freq, int32_t volume, int32_t pan, int32_t loop);
// 1 while the playback is going; 0 once it has ended, was replaced or freed, or never existed.
uint32_t BASS_ChannelIsActive(HCHANNEL channel);
// The play position in bytes of the sample's format: grows while it plays, equals the sample's
// length once it has played to the end, stays where it was stopped when replaced or freed. 0 for
// an unknown or stale channel.
uint64_t BASS_ChannelGetPosition(HCHANNEL channel);
// Stops the sample's playbacks and frees it. Non-zero on success. A playback stops at the frame
// at which positions are read now: everything before it (what the caller has seen it play) is
// already mixed and is still heard; nothing after it is.
int32_t BASS_SampleFree(HSAMPLE sample);
// Plays out, then stops everything, frees all samples and closes the device. Non-zero on
// success. Playing out: the device first plays everything already mixed (the output latency,
// about 70 ms plus the device's buffer) and the rest of every playback still sounding, at most
// one second beyond the present frame (longer playbacks are cut there); so the end of what the
// caller played, for the reader the last syllable of its text, is heard whole. The reader frees
// its samples first (which stops them where it saw them) and then calls this: what it played
// up to that moment is heard, and BASS_Free returns after about the latency. The virtual clock
// has no latency: its output already holds everything played, and nothing more is mixed.
// Bounded in real time even if the device stops taking sound.
int32_t BASS_Free();

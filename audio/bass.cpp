// The audio calls of audio/bass.h and the output choice of audio/audio_backend.h, over the mixer.
// Owns the sample table, the channel handles and the open output. Every call takes one lock for
// its whole length (the reader calls from its main thread only, so it is never contended there);
// the output's audio thread never takes it, it only renders the mixer.
//
// Handles: a sample handle is 0x40000000 | generation << 13 | slot, a channel handle is
// 0x80000000 | generation << 8 | voice. The tags keep the two kinds apart and non-zero; the
// generations (bumped on every reuse of a slot, and for all slots by BASS_Free) make a handle of a
// freed sample or of a playback that has ended, been replaced or freed stay dead for good.
#include "audio/bass.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/audio_output.h"
#include "audio/mixer.h"
#include "audio/virtual_output.h"
#include "audio/wav_loader.h"

static_assert(sizeof(BASS_SAMPLE) == 15 * 4 && offsetof(BASS_SAMPLE, freq) == 0 && offsetof(BASS_SAMPLE, length) == 16,
              "the reader reads the 1st and 5th 32-bit fields");

namespace {

constexpr uint32_t kSampleTag = 0x40000000u;
constexpr uint32_t kChannelTag = 0x80000000u;
constexpr int kSampleSlotBits = 13;
constexpr int kSampleSlots = 1 << kSampleSlotBits;
constexpr uint32_t kSampleGenerationMask = (1u << (30 - kSampleSlotBits)) - 1;
constexpr int kVoiceBits = 8;
static_assert(kMixVoiceCount == 1 << kVoiceBits);
constexpr uint32_t kVoiceGenerationMask = (1u << (31 - kVoiceBits)) - 1;
constexpr int32_t kMaxPlayFrequency = 4'000'000;
constexpr uint32_t kMinOutputRate = 8000;
constexpr uint32_t kMaxOutputRate = 192000;
constexpr uint32_t kDefaultOutputRate = 22050;
constexpr int kMaxSlotWaits = 1000;  // 200 us each

struct SampleSlotType {
  bool used = false;
  uint32_t generation = 0;
  MixSampleType* data = nullptr;
  uint32_t bytesPerFrame = 0;
  BASS_SAMPLE info{};
};

// Who a mixer voice belongs to, for the control side.
struct VoiceOwnerType {
  uint32_t generation = 0;
  bool started = false;  // a playback was started in this slot since the output opened
  int sample = -1;
  uint32_t sampleGeneration = 0;
  uint32_t bytesPerFrame = 0;
};

enum class OutputChoiceType { Default, Device, Virtual };

struct AudioStateType {
  std::mutex lock;
  bool open = false;
  uint32_t outputRate = 0;
  AudioOutputType* output = nullptr;
  VirtualAudioOutputType* virtualOutput = nullptr;
  MixerType mixer;
  SampleSlotType samples[kSampleSlots];
  VoiceOwnerType owners[kMixVoiceCount];
  int nextSample = 0;
  int nextVoice = 0;
  std::vector<MixSampleType*> graveyard;  // freed samples a Live voice may still read
  uint32_t updatePeriod = 0;
  // The poll pairing of the virtual clock: set by BASS_ChannelIsActive, cleared by every call.
  bool statePollPending = false;
  uint32_t statePollChannel = 0;
  // Set by a start: the next poll looks at the very frame the playback began at.
  bool startedSincePoll = false;
  OutputChoiceType choice = OutputChoiceType::Default;
  std::string virtualPath;
  uint32_t framesPerPoll = 1;
};

AudioStateType& State() {
  static AudioStateType* state = new AudioStateType;  // never destroyed: no teardown-order races
  return *state;
}

SampleSlotType* FindSample(AudioStateType& s, HSAMPLE handle) {
  if ((handle & 0xC0000000u) != kSampleTag) return nullptr;
  SampleSlotType& slot = s.samples[handle & (kSampleSlots - 1)];
  if (!slot.used || slot.generation != ((handle >> kSampleSlotBits) & kSampleGenerationMask)) return nullptr;
  return &slot;
}

int FindVoice(AudioStateType& s, HCHANNEL handle) {
  if (!s.open || (handle & kChannelTag) == 0) return -1;
  const int index = int(handle & (kMixVoiceCount - 1));
  const VoiceOwnerType& owner = s.owners[index];
  if (!owner.started || owner.generation != ((handle >> kVoiceBits) & kVoiceGenerationMask)) return -1;
  return index;
}

HSAMPLE SampleHandle(const AudioStateType& s, int slot) {
  return kSampleTag | s.samples[slot].generation << kSampleSlotBits | uint32_t(slot);
}

// Frees the samples of the graveyard that no Live voice reads any more.
void BuryFreedSamples(AudioStateType& s) {
  for (size_t i = 0; i < s.graveyard.size();) {
    bool read = false;
    for (const MixVoiceType& v : s.mixer.voice)
      read = read || (v.state.load(std::memory_order_acquire) == kVoiceLive && v.sample == s.graveyard[i]);
    if (read) {
      ++i;
    } else {
      delete s.graveyard[i];
      s.graveyard[i] = s.graveyard.back();
      s.graveyard.pop_back();
    }
  }
}

void ForgetAll(AudioStateType& s) {
  for (SampleSlotType& slot : s.samples) {
    if (slot.used) delete slot.data;
    slot.used = false;
    slot.data = nullptr;
    slot.generation = (slot.generation + 1) & kSampleGenerationMask;
  }
  for (MixSampleType* data : s.graveyard) delete data;
  s.graveyard.clear();
  for (VoiceOwnerType& owner : s.owners) {
    owner.started = false;
    owner.generation = (owner.generation + 1) & kVoiceGenerationMask;
  }
}

AudioOutputType* MakeOutput(AudioStateType& s) {
  OutputChoiceType choice = s.choice;
  std::string path = s.virtualPath;
  uint32_t perPoll = s.framesPerPoll;
  if (choice == OutputChoiceType::Default) {
    const char* env = std::getenv("HLASIVO_AUDIO");
    choice = OutputChoiceType::Device;
    if (env && std::strncmp(env, "virtual", 7) == 0 && (env[7] == 0 || env[7] == ':')) {
      choice = OutputChoiceType::Virtual;
      path = env[7] == ':' ? env + 8 : "";
      perPoll = 1;
    }
  }
  s.virtualOutput = nullptr;
  if (choice == OutputChoiceType::Virtual) {
    s.virtualOutput = new VirtualAudioOutputType(path.c_str(), perPoll);
    return s.virtualOutput;
  }
  return CreateSdlAudioOutput();
}

}  // namespace

uint32_t BASS_SetConfig(uint32_t option, uint32_t value) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  if (option == 3) s.updatePeriod = value;
  return 1;
}

int32_t BASS_Init(int32_t device, uint32_t freq, uint32_t flags, uint32_t window, const void* classId) {
  (void)flags, (void)window, (void)classId;
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  if (s.open || (device != 1 && device != -1)) return 0;
  const uint32_t rate = freq == 0 ? kDefaultOutputRate : freq;
  if (rate < kMinOutputRate || rate > kMaxOutputRate) return 0;
  ResetMixer(s.mixer);
  AudioOutputType* output = MakeOutput(s);
  if (!output->Open(s.mixer, rate)) {
    delete output;
    s.virtualOutput = nullptr;
    return 0;
  }
  s.output = output;
  s.outputRate = rate;
  s.open = true;
  return 1;
}

HSAMPLE BASS_SampleLoad(int32_t mem, const void* file, uint32_t offset, uint32_t length, uint32_t max,
                        uint32_t flags) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  if (!s.open || !file) return 0;
  std::vector<uint8_t> bytes;
  const uint8_t* image = nullptr;
  size_t size = 0;
  if (mem) {
    if (length == 0) return 0;
    image = static_cast<const uint8_t*>(file) + offset;
    size = length;
  } else {
    if (!ReadWholeFile(static_cast<const char*>(file), bytes) || offset > bytes.size()) return 0;
    size = bytes.size() - offset;
    if (length != 0) {
      if (length > size) return 0;
      size = length;
    }
    image = bytes.data() + offset;
  }
  WavSoundType sound;
  if (!DecodeWav(image, size, sound)) return 0;

  int slot = -1;
  for (int i = 0; i < kSampleSlots && slot < 0; ++i) {
    const int at = (s.nextSample + i) % kSampleSlots;
    if (!s.samples[at].used) slot = at;
  }
  if (slot < 0) return 0;
  MixSampleType* data = new MixSampleType;
  if (!BuildMixSample(*data, sound.mono.data(), uint32_t(sound.mono.size()))) {
    delete data;
    return 0;
  }
  s.nextSample = (slot + 1) % kSampleSlots;
  SampleSlotType& entry = s.samples[slot];
  entry.used = true;
  entry.generation = (entry.generation + 1) & kSampleGenerationMask;
  entry.data = data;
  entry.bytesPerFrame = sound.bytesPerFrame;
  entry.info = BASS_SAMPLE{};
  entry.info.freq = sound.rate;
  entry.info.volume = 100;
  entry.info.pan = 0;
  entry.info.flags = flags;
  entry.info.length = data->frames * sound.bytesPerFrame;
  entry.info.max = max == 0 ? 1 : max > uint32_t(kMixVoiceCount) ? uint32_t(kMixVoiceCount) : max;
  entry.info.origres = sound.fileBits;
  entry.info.chans = sound.channels;
  BuryFreedSamples(s);
  return SampleHandle(s, slot);
}

int32_t BASS_SampleGetInfo(HSAMPLE sample, BASS_SAMPLE* info) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  const SampleSlotType* slot = FindSample(s, sample);
  if (!slot || !info) return 0;
  *info = slot->info;
  return 1;
}

HCHANNEL BASS_SamplePlayEx(HSAMPLE sample, uint32_t start, int32_t freq, int32_t volume, int32_t pan, int32_t loop) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  if (!s.open) return 0;
  SampleSlotType* slot = FindSample(s, sample);
  if (!slot || freq <= 0 || freq > kMaxPlayFrequency || volume < 0 || volume > 200 || loop != 0) return 0;
  if (pan != -101 && (pan < -100 || pan > 100)) return 0;
  if (start >= slot->info.length) return 0;
  const int sampleIndex = int(slot - s.samples);

  // A slot is free once the renderer has retired its playback. Only a burst of starts far
  // faster than sound plays can find none; a renderer of its own then frees some within
  // a pass or two, so wait for it a little.
  int voice = -1;
  for (int waited = 0; voice < 0; ++waited) {
    for (int i = 0; i < kMixVoiceCount && voice < 0; ++i) {
      const int at = (s.nextVoice + i) % kMixVoiceCount;
      if (s.mixer.voice[at].state.load(std::memory_order_acquire) != kVoiceLive) voice = at;
    }
    if (voice >= 0) break;
    if (!s.output->RendersByItself() || waited >= kMaxSlotWaits) return 0;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }

  // At most `max` playbacks of one sample: the one that has played furthest makes room.
  const int64_t now = s.output->PresentFrame();
  // Both outputs read positions at the end of what is mixed, so the start goes exactly there.
  const int64_t startFrame = now;
  int playing = 0;
  int furthest = -1;
  uint64_t furthestPhase = 0;
  for (int i = 0; i < kMixVoiceCount; ++i) {
    const VoiceOwnerType& owner = s.owners[i];
    const MixVoiceType& v = s.mixer.voice[i];
    if (!owner.started || owner.sample != sampleIndex || owner.sampleGeneration != slot->generation ||
        v.state.load(std::memory_order_acquire) != kVoiceLive)
      continue;
    const MixVoiceStateType state = GetMixVoiceState(v, now);
    if (!state.active) continue;
    ++playing;
    if (furthest < 0 || state.phase > furthestPhase) furthest = i, furthestPhase = state.phase;
  }
  if (playing >= int(slot->info.max) && furthest >= 0) StopMixVoice(s.mixer, furthest, now);

  VoiceOwnerType& owner = s.owners[voice];
  owner.generation = (owner.generation + 1) & kVoiceGenerationMask;
  owner.started = true;
  owner.sample = sampleIndex;
  owner.sampleGeneration = slot->generation;
  owner.bytesPerFrame = slot->bytesPerFrame;
  const uint64_t phase0 = uint64_t(start / slot->bytesPerFrame) << 32;
  StartMixVoice(s.mixer, voice, slot->data, phase0, MixIncrement(uint32_t(freq), s.outputRate), volume / 100.0f, startFrame);
  while (!MixVoiceStartHolds(s.mixer, voice)) RestartMixVoiceAt(s.mixer, voice, s.output->PresentFrame());
  s.nextVoice = (voice + 1) % kMixVoiceCount;
  s.startedSincePoll = true;
  return kChannelTag | owner.generation << kVoiceBits | uint32_t(voice);
}

uint32_t BASS_ChannelIsActive(HCHANNEL channel) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.open) return 0;
  if (!s.startedSincePoll) s.output->NotePoll();
  s.startedSincePoll = false;
  s.statePollPending = true;
  s.statePollChannel = channel;
  const int voice = FindVoice(s, channel);
  if (voice < 0) return 0;
  const MixVoiceType& v = s.mixer.voice[voice];
  const MixVoiceStateType state = GetMixVoiceState(v, s.output->PresentFrame());
  return state.active ? 1 : 0;
}

uint64_t BASS_ChannelGetPosition(HCHANNEL channel) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.open) return 0;
  if (!s.startedSincePoll && !(s.statePollPending && s.statePollChannel == channel)) s.output->NotePoll();
  s.startedSincePoll = false;
  s.statePollPending = false;
  const int voice = FindVoice(s, channel);
  if (voice < 0) return 0;
  const MixVoiceType& v = s.mixer.voice[voice];
  const MixVoiceStateType state = GetMixVoiceState(v, s.output->PresentFrame());
  return (state.phase >> 32) * s.owners[voice].bytesPerFrame;
}

int32_t BASS_SampleFree(HSAMPLE sample) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  SampleSlotType* slot = FindSample(s, sample);
  if (!slot) return 0;
  const int sampleIndex = int(slot - s.samples);
  const int64_t now = s.output->PresentFrame();
  for (int i = 0; i < kMixVoiceCount; ++i) {
    const VoiceOwnerType& owner = s.owners[i];
    if (owner.started && owner.sample == sampleIndex && owner.sampleGeneration == slot->generation)
      StopMixVoice(s.mixer, i, now);
  }
  s.graveyard.push_back(slot->data);
  slot->data = nullptr;
  slot->used = false;
  slot->generation = (slot->generation + 1) & kSampleGenerationMask;
  BuryFreedSamples(s);
  return 1;
}

int32_t BASS_Free() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  if (!s.open) return 0;
  if (s.output->RendersByItself()) {
    // Play out: what is mixed already, and every playback still sounding to its end, at most a
    // second on. Stopping all at that frame keeps the mix silent beyond it.
    const int64_t now = s.output->PresentFrame();
    int64_t end = now;
    for (int i = 0; i < kMixVoiceCount; ++i) {
      const MixVoiceType& v = s.mixer.voice[i];
      if (!s.owners[i].started || v.state.load(std::memory_order_acquire) != kVoiceLive) continue;
      if (!GetMixVoiceState(v, now).active) continue;
      end = std::max(end, std::min(v.startFrame.load() + int64_t(v.outFrames), v.stopFrame.load()));
    }
    end = std::min(end, now + int64_t(s.outputRate));
    for (int i = 0; i < kMixVoiceCount; ++i) StopMixVoice(s.mixer, i, end);
    s.output->Drain(end);
  }
  s.output->Close();  // the renderer has stopped once this returns
  delete s.output;
  s.output = nullptr;
  s.virtualOutput = nullptr;
  s.open = false;
  s.outputRate = 0;
  ForgetAll(s);
  ResetMixer(s.mixer);
  return 1;
}

void SelectDeviceAudioOutput() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.choice = OutputChoiceType::Device;
}

void SelectVirtualAudioOutput(const char* wavPath, uint32_t framesPerPoll) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.choice = OutputChoiceType::Virtual;
  s.virtualPath = wavPath ? wavPath : "";
  s.framesPerPoll = framesPerPoll;
}

void SelectDefaultAudioOutput() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.choice = OutputChoiceType::Default;
  s.virtualPath.clear();
  s.framesPerPoll = 1;
}

bool VirtualAudioOpen() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.open && s.virtualOutput;
}

uint64_t GetVirtualClockFrame() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.open && s.virtualOutput ? uint64_t(s.virtualOutput->PresentFrame()) : 0;
}

void AdvanceVirtualClock(uint64_t frames) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.statePollPending = false;
  if (s.open && s.virtualOutput) s.virtualOutput->Advance(frames);
}

void SetVirtualClockStep(uint32_t framesPerPoll) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.open && s.virtualOutput) s.virtualOutput->SetStep(framesPerPoll);
}

std::vector<int16_t> GetVirtualOutput() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.open && s.virtualOutput) return s.virtualOutput->Output();
  return {};
}

bool WriteVirtualOutputWav(const char* path) {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.open && s.virtualOutput && s.virtualOutput->WriteWav(path);
}

uint32_t GetAudioOutputRate() {
  AudioStateType& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.open ? s.outputRate : 0;
}

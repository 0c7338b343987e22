// Keyboard queue and timing: the window thread's key messages become a ring of key codes
// that the application thread reads; a special key is queued as 0 and its extended code.
// Also the application's sleep and tone.
//
// The window thread writes the queue under KeyLock; the application thread takes bytes under
// it. The two indices are atomic so that KeyWaiting can compare them without the lock. The
// modifier flags belong to the window thread alone.
#include <SDL2/SDL.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/window/messages.h"

namespace graph_state {

namespace {

constexpr int32_t kQueueSlots = 32;
uint8_t KeyQueue[kQueueSlots + 1];  // slots 1..32; one always stays free
std::atomic<int32_t> KeyReadIndex{1};
std::atomic<int32_t> KeyWriteIndex{1};
std::mutex KeyLock;
bool ShiftDown = false, CtrlDown = false, AltDown = false;

int32_t NextQueueIndex(int32_t index) { return index == kQueueSlots ? 1 : index + 1; }

void ResetKeyQueue() {
  std::lock_guard<std::mutex> lock(KeyLock);
  KeyReadIndex = 1;
  KeyWriteIndex = 1;
  ShiftDown = CtrlDown = AltDown = false;
}

void QueueKey(uint8_t key) {
  std::lock_guard<std::mutex> lock(KeyLock);
  int32_t write = KeyWriteIndex;
  KeyQueue[write] = key;
  write = NextQueueIndex(write);
  KeyWriteIndex = write;
  if (write == KeyReadIndex) {
    // Full: drop the oldest key, both bytes of an extended one.
    int32_t read = KeyReadIndex;
    if (KeyQueue[read] == 0) read = NextQueueIndex(read);
    KeyReadIndex = NextQueueIndex(read);
  }
}

void QueueExtendedKey(uint8_t code) {
  QueueKey(0);
  QueueKey(code);
}

// The translation table: the extended code of a key alone and with Shift, Ctrl or Alt;
// 0 means none (a dash or an empty cell alike, since no key has the code 0).
struct KeyCodes {
  uint8_t none, shift, ctrl, alt;
};

KeyCodes LookUpKey(uint32_t vk) {
  // Alt with a letter gives the letter key's scan code.
  static constexpr uint8_t kLetterScanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                                   49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  if (vk >= 'A' && vk <= 'Z') return {0, 0, 0, kLetterScanCodes[vk - 'A']};
  if (vk >= '1' && vk <= '9') return {0, 0, 0, uint8_t(120 + (vk - '1'))};
  if (vk == '0') return {0, 0, 0, 129};
  if (vk >= window::kKeyF1 && vk < window::kKeyF1 + 10) {
    uint8_t i = uint8_t(vk - window::kKeyF1);
    return {uint8_t(59 + i), uint8_t(84 + i), uint8_t(94 + i), uint8_t(104 + i)};
  }
  switch (vk) {
    case window::kKeyF1 + 10: return {133, 135, 137, 139};  // F11
    case window::kKeyF12: return {134, 136, 138, 140};
    case window::kKeyBack: return {0, 0, 0, 14};
    case window::kKeyClear: return {76, 0, 143, 0};
    case window::kKeyReturn: return {0, 0, 0, 166};
    case window::kKeyPause: return {250, 0, 0, 0};
    case window::kKeyPrior: return {73, 0, 132, 153};
    case window::kKeyNext: return {81, 0, 118, 161};
    case window::kKeyEnd: return {79, 0, 117, 0};
    case window::kKeyHome: return {71, 0, 119, 0};
    case window::kKeyLeft: return {75, 0, 115, 155};
    case window::kKeyUp: return {72, 0, 141, 152};
    case window::kKeyRight: return {77, 0, 116, 157};
    case window::kKeyDown: return {80, 0, 145, 160};
    case window::kKeyInsert: return {82, 0, 146, 162};
    case window::kKeyDelete: return {83, 0, 147, 163};
    case window::kKeyAdd: return {0, 0, 144, 78};
    case window::kKeySubtract: return {0, 0, 142, 74};
    default: return {0, 0, 0, 0};
  }
}

void TranslateVirtualKey(uint32_t vk) {
  const KeyCodes codes = LookUpKey(vk);
  uint8_t code = codes.none;
  if (CtrlDown && codes.ctrl) code = codes.ctrl;
  else if (ShiftDown && codes.shift) code = codes.shift;
  else if (AltDown && codes.alt) code = codes.alt;
  if (code) QueueExtendedKey(code);
}

}  // namespace

int32_t KeyboardMessageHandler(WindowHandle, uint32_t message, uint32_t wParam, int32_t) {
  switch (message) {
    case window::kMessageCreate:
      ResetKeyQueue();
      break;
    case window::kMessageClose:
      QueueExtendedKey(107);  // Alt+F4
      break;
    case window::kMessageKeyDown:
      if (wParam == window::kKeyShift) ShiftDown = true;
      else if (wParam == window::kKeyControl) CtrlDown = true;
      else TranslateVirtualKey(wParam);
      break;
    case window::kMessageKeyUp:
      if (wParam == window::kKeyShift) ShiftDown = false;
      else if (wParam == window::kKeyControl) CtrlDown = false;
      break;
    case window::kMessageChar:
      QueueKey(uint8_t(wParam));
      break;
    case window::kMessageSysKeyDown:
      AltDown = true;
      TranslateVirtualKey(wParam);
      AltDown = false;
      break;
    default:  // destroy included: the queue keeps its keys
      break;
  }
  return 0;
}

bool TakeQueuedKey(uint8_t& key) {
  std::lock_guard<std::mutex> lock(KeyLock);
  int32_t read = KeyReadIndex;
  if (read == KeyWriteIndex) return false;
  key = KeyQueue[read];
  KeyReadIndex = NextQueueIndex(read);
  return true;
}

void StartKeyboardModule() { KeyboardHook = &KeyboardMessageHandler; }

}  // namespace graph_state

using namespace graph_state;

bool KeyWaiting() { return KeyReadIndex != KeyWriteIndex; }

uint8_t ReadKeyCode() {
  if (!WindowOpen) return 0;
  uint8_t key = 0;
  // Look without the lock (the window thread may be queueing); take under it.
  while (KeyReadIndex == KeyWriteIndex || !TakeQueuedKey(key)) {
    if (!WindowOpen) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return key;
}

void WaitMilliseconds(uint16_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void BeepTone(uint16_t frequency, uint16_t duration) {
  // The range a PC speaker tone takes; outside it nothing sounds and nothing waits.
  if (frequency < 37 || frequency > 32767 || duration == 0) return;
  constexpr int kRate = 48000;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(duration);

  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_AudioDeviceID device = 0;
  SDL_AudioSpec want{}, have{};
  want.freq = kRate;
  want.format = AUDIO_S16SYS;
  want.channels = 1;
  want.samples = 512;
  const bool audio = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (audio) device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device != 0) {
    // A sine wave with 5 ms ramps at both ends, so the tone starts and stops without a click.
    // Above the highest frequency the output can carry, it is silence of the same length.
    const size_t count = size_t(kRate) * duration / 1000;
    const size_t ramp = std::min<size_t>(kRate / 200, count / 2);
    std::vector<int16_t> samples(count, 0);
    if (frequency < kRate / 2) {
      const double step = 2.0 * M_PI * frequency / kRate;
      for (size_t i = 0; i < count; ++i) {
        double gain = 1.0;
        if (i < ramp) gain = double(i) / double(ramp);
        else if (count - i <= ramp) gain = double(count - i - 1) / double(ramp);
        samples[i] = int16_t(std::lround(12000.0 * gain * std::sin(step * double(i))));
      }
    }
    SDL_QueueAudio(device, samples.data(), Uint32(samples.size() * sizeof(int16_t)));
    SDL_PauseAudioDevice(device, 0);
    while (SDL_GetQueuedAudioSize(device) > 0) SDL_Delay(2);
    // The device still holds its last buffer.
    SDL_Delay(Uint32(1000 * have.samples / kRate + 1));
    SDL_CloseAudioDevice(device);
  }
  if (audio) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // Without an audio output the call still lasts as long as the tone would.
  std::this_thread::sleep_until(end);
}

// Turns SDL's keyboard and text events into the key messages of messages.h: key down and up,
// the character a key press gives (code page 1250 bytes), and system keys for Alt
// combinations. Runs on the window thread; one translator per window, because a text event
// belongs to the key press before it.
#pragma once

#include <SDL2/SDL.h>

#include "platform/window/messages.h"

namespace window {

// The virtual key of an SDL key (0 when it has none). NumLock decides the keypad's meaning.
uint32_t VirtualKeyOf(const SDL_Keysym& key);

class KeyTranslator {
 public:
  static constexpr int kMaxMessages = 32;  // an SDL text event holds at most 31 bytes

  // Writes the messages for one SDL event into `out` and returns how many (0 for events that
  // are not keyboard or text events).
  //  - Key press: key down, or system key down while Alt is held without Ctrl. Keys that
  //    SDL gives no text for still make characters: Enter 13 (Ctrl: 10), Esc 27,
  //    Backspace 8 (Ctrl: 127), Tab 9, and Ctrl with a letter, '[', '\', ']' or space the
  //    control character.
  //  - Key release: key up, or system key up while Alt is held without Ctrl.
  //  - Text: one character message per code page 1250 byte; characters outside the code
  //    page are dropped; after a system key they are system characters, and after a Ctrl
  //    key nothing (the control character was already made).
  int Translate(const SDL_Event& event, KeyMessage* out);

 private:
  enum class TextMode : uint8_t { Normal, System, Suppressed };
  TextMode textMode_ = TextMode::Normal;
};

}  // namespace window

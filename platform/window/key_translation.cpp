// SDL keyboard events -> key messages (see key_translation.h).
#include "platform/window/key_translation.h"

#include "platform/fonts/codepage1250.h"

namespace window {

namespace {

bool AltHeld(uint16_t mod) { return (mod & KMOD_ALT) && !(mod & KMOD_CTRL); }

// Keypad keys: with NumLock the digit keys, without it the navigation keys they carry.
uint32_t KeypadKey(SDL_Scancode sc, bool numLock) {
  static constexpr uint32_t kNavigation[10] = {kKeyInsert, kKeyEnd,  kKeyDown, kKeyNext, kKeyLeft,
                                               kKeyClear,  kKeyRight, kKeyHome, kKeyUp,   kKeyPrior};
  int digit = sc == SDL_SCANCODE_KP_0 ? 0 : sc - SDL_SCANCODE_KP_1 + 1;
  return numLock ? kKeyNumpad0 + digit : kNavigation[digit];
}

int32_t KeyParam(const SDL_Keysym& key) { return int32_t(1 | (uint32_t(key.scancode) & 0xFF) << 16); }

}  // namespace

uint32_t VirtualKeyOf(const SDL_Keysym& key) {
  const SDL_Scancode sc = key.scancode;
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) {
    // Letters follow the layout (Y and Z swap places on a QWERTZ keyboard).
    if (key.sym >= 'a' && key.sym <= 'z') return kKeyA + uint32_t(key.sym - 'a');
    return kKeyA + uint32_t(sc - SDL_SCANCODE_A);
  }
  // The digit row keeps its digit keys whatever the layout puts on it.
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return kKey0 + 1 + uint32_t(sc - SDL_SCANCODE_1);
  if (sc == SDL_SCANCODE_0) return kKey0;
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return kKeyF1 + uint32_t(sc - SDL_SCANCODE_F1);
  if (sc >= SDL_SCANCODE_F13 && sc <= SDL_SCANCODE_F24) return kKeyF12 + 1 + uint32_t(sc - SDL_SCANCODE_F13);
  if (sc >= SDL_SCANCODE_KP_1 && sc <= SDL_SCANCODE_KP_0) return KeypadKey(sc, key.mod & KMOD_NUM);
  switch (sc) {
    case SDL_SCANCODE_RETURN: case SDL_SCANCODE_KP_ENTER: case SDL_SCANCODE_RETURN2: return kKeyReturn;
    case SDL_SCANCODE_ESCAPE: return kKeyEscape;
    case SDL_SCANCODE_BACKSPACE: return kKeyBack;
    case SDL_SCANCODE_TAB: return kKeyTab;
    case SDL_SCANCODE_SPACE: return kKeySpace;
    case SDL_SCANCODE_PAUSE: return kKeyPause;
    case SDL_SCANCODE_CAPSLOCK: return kKeyCapital;
    case SDL_SCANCODE_NUMLOCKCLEAR: return kKeyNumLock;
    case SDL_SCANCODE_SCROLLLOCK: return kKeyScroll;
    case SDL_SCANCODE_PAGEUP: return kKeyPrior;
    case SDL_SCANCODE_PAGEDOWN: return kKeyNext;
    case SDL_SCANCODE_END: return kKeyEnd;
    case SDL_SCANCODE_HOME: return kKeyHome;
    case SDL_SCANCODE_LEFT: return kKeyLeft;
    case SDL_SCANCODE_UP: return kKeyUp;
    case SDL_SCANCODE_RIGHT: return kKeyRight;
    case SDL_SCANCODE_DOWN: return kKeyDown;
    case SDL_SCANCODE_INSERT: return kKeyInsert;
    case SDL_SCANCODE_DELETE: return kKeyDelete;
    case SDL_SCANCODE_CLEAR: return kKeyClear;
    case SDL_SCANCODE_KP_PERIOD: return (key.mod & KMOD_NUM) ? kKeyDecimal : kKeyDelete;
    case SDL_SCANCODE_KP_PLUS: return kKeyAdd;
    case SDL_SCANCODE_KP_MINUS: return kKeySubtract;
    case SDL_SCANCODE_KP_MULTIPLY: return kKeyMultiply;
    case SDL_SCANCODE_KP_DIVIDE: return kKeyDivide;
    case SDL_SCANCODE_LSHIFT: case SDL_SCANCODE_RSHIFT: return kKeyShift;
    case SDL_SCANCODE_LCTRL: case SDL_SCANCODE_RCTRL: return kKeyControl;
    case SDL_SCANCODE_LALT: case SDL_SCANCODE_RALT: return kKeyMenu;
    // The punctuation keys of a US layout.
    case SDL_SCANCODE_SEMICOLON: return 186;
    case SDL_SCANCODE_EQUALS: return 187;
    case SDL_SCANCODE_COMMA: return 188;
    case SDL_SCANCODE_MINUS: return 189;
    case SDL_SCANCODE_PERIOD: return 190;
    case SDL_SCANCODE_SLASH: return 191;
    case SDL_SCANCODE_GRAVE: return 192;
    case SDL_SCANCODE_LEFTBRACKET: return 219;
    case SDL_SCANCODE_BACKSLASH: return 220;
    case SDL_SCANCODE_RIGHTBRACKET: return 221;
    case SDL_SCANCODE_APOSTROPHE: return 222;
    case SDL_SCANCODE_NONUSBACKSLASH: return 226;
    default: return 0;
  }
}

int KeyTranslator::Translate(const SDL_Event& event, KeyMessage* out) {
  int count = 0;
  switch (event.type) {
    case SDL_KEYDOWN: {
      const SDL_Keysym& key = event.key.keysym;
      const uint32_t vk = VirtualKeyOf(key);
      const bool system = AltHeld(key.mod);
      const bool ctrl = (key.mod & KMOD_CTRL) && !(key.mod & KMOD_ALT);
      textMode_ = system ? TextMode::System : ctrl ? TextMode::Suppressed : TextMode::Normal;
      if (vk != 0) out[count++] = {system ? kMessageSysKeyDown : kMessageKeyDown, vk, KeyParam(key)};
      if (system) break;
      // Characters SDL sends no text for: control characters.
      int ch = -1;
      switch (vk) {
        case kKeyReturn: ch = ctrl ? 10 : 13; break;
        case kKeyEscape: ch = 27; break;
        case kKeyBack: ch = ctrl ? 127 : 8; break;
        case kKeyTab: ch = ctrl ? -1 : 9; break;
        default:
          if (ctrl) {
            if (vk >= kKeyA && vk < kKeyA + 26) ch = int(vk - kKeyA) + 1;
            else if (key.sym == '[') ch = 27;
            else if (key.sym == '\\') ch = 28;
            else if (key.sym == ']') ch = 29;
            else if (key.sym == ' ') ch = 32;
          }
      }
      if (ch >= 0) out[count++] = {kMessageChar, uint32_t(ch), KeyParam(key)};
      break;
    }
    case SDL_KEYUP: {
      const SDL_Keysym& key = event.key.keysym;
      const uint32_t vk = VirtualKeyOf(key);
      if (vk != 0) out[count++] = {AltHeld(key.mod) ? kMessageSysKeyUp : kMessageKeyUp, vk, KeyParam(key)};
      break;
    }
    case SDL_TEXTINPUT: {
      if (textMode_ == TextMode::Suppressed) break;
      const uint32_t message = textMode_ == TextMode::System ? kMessageSysChar : kMessageChar;
      const unsigned char* p = reinterpret_cast<const unsigned char*>(event.text.text);
      const unsigned char* end = p + SDL_strlen(event.text.text);
      while (p < end && count < kMaxMessages) {
        // One UTF-8 sequence; a malformed one is skipped byte by byte.
        char32_t cp = *p;
        int length = cp < 0x80 ? 1 : (cp >> 5) == 0x6 ? 2 : (cp >> 4) == 0xE ? 3 : (cp >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || p + length > end) {
          ++p;
          continue;
        }
        if (length > 1) {
          cp &= 0x3F >> (length - 1);
          bool valid = true;
          for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) valid = false;
            cp = cp << 6 | (p[i] & 0x3F);
          }
          if (!valid) {
            ++p;
            continue;
          }
        }
        p += length;
        uint8_t byte = 0;
        if (cp != 0 && fonts::UnicodeToCp1250(cp, &byte)) out[count++] = {message, byte, 0};
      }
      break;
    }
    default:
      break;
  }
  return count;
}

}  // namespace window

// SDL key and text events -> the key messages the graphics library's keyboard handler reads.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/window/key_translation.h"

namespace {

using window::KeyMessage;

SDL_Event Key(Uint32 type, SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
  SDL_Event e;
  SDL_zero(e);
  e.type = type;
  e.key.keysym.scancode = scancode;
  e.key.keysym.sym = sym;
  e.key.keysym.mod = mod;
  return e;
}

SDL_Event Text(const char* utf8) {
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_TEXTINPUT;
  std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
  return e;
}

struct Msg {
  uint32_t message, wParam;
  bool operator==(const Msg&) const = default;
};
void PrintTo(const Msg& m, std::ostream* os) { *os << "{" << std::hex << m.message << ", " << std::dec << m.wParam << "}"; }

std::vector<Msg> Translate(window::KeyTranslator& t, const SDL_Event& e) {
  KeyMessage out[window::KeyTranslator::kMaxMessages];
  int n = t.Translate(e, out);
  std::vector<Msg> msgs;
  for (int i = 0; i < n; ++i) msgs.push_back({out[i].message, out[i].wParam});
  return msgs;
}

constexpr uint32_t kDown = window::kMessageKeyDown, kUp = window::kMessageKeyUp, kChar = window::kMessageChar,
                   kSysDown = window::kMessageSysKeyDown, kSysUp = window::kMessageSysKeyUp,
                   kSysChar = window::kMessageSysChar;

TEST(KeyTranslation, KeyPressesGiveKeyDownAndTheControlCharacters) {
  struct Case {
    const char* what;
    SDL_Scancode scancode;
    SDL_Keycode sym;
    Uint16 mod;
    std::vector<Msg> expected;
  };
  const Case cases[] = {
      {"Enter", SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, {{kDown, 13}, {kChar, 13}}},
      {"keypad Enter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE, {{kDown, 13}, {kChar, 13}}},
      {"Ctrl+Enter", SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LCTRL, {{kDown, 13}, {kChar, 10}}},
      {"Esc", SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_NONE, {{kDown, 27}, {kChar, 27}}},
      {"Backspace", SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_NONE, {{kDown, 8}, {kChar, 8}}},
      {"Tab", SDL_SCANCODE_TAB, SDLK_TAB, KMOD_NONE, {{kDown, 9}, {kChar, 9}}},
      {"space (its character comes as text)", SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_NONE, {{kDown, 32}}},
      {"letter", SDL_SCANCODE_A, SDLK_a, KMOD_NONE, {{kDown, 'A'}}},
      {"Ctrl+A", SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL, {{kDown, 'A'}, {kChar, 1}}},
      {"Ctrl+Shift+Z", SDL_SCANCODE_Z, SDLK_z, KMOD_RCTRL | KMOD_LSHIFT, {{kDown, 'Z'}, {kChar, 26}}},
      {"Ctrl+[", SDL_SCANCODE_LEFTBRACKET, SDLK_LEFTBRACKET, KMOD_LCTRL, {{kDown, 219}, {kChar, 27}}},
      {"QWERTZ: the key at Y's place is Z", SDL_SCANCODE_Y, SDLK_z, KMOD_NONE, {{kDown, 'Z'}}},
      {"digit row whatever it prints", SDL_SCANCODE_2, 0x011B, KMOD_NONE, {{kDown, '2'}}},
      {"F1", SDL_SCANCODE_F1, SDLK_F1, KMOD_NONE, {{kDown, 112}}},
      {"F10 is an ordinary key", SDL_SCANCODE_F10, SDLK_F10, KMOD_NONE, {{kDown, 121}}},
      {"F12", SDL_SCANCODE_F12, SDLK_F12, KMOD_NONE, {{kDown, 123}}},
      {"Pause", SDL_SCANCODE_PAUSE, SDLK_PAUSE, KMOD_NONE, {{kDown, 19}}},
      {"Shift", SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, KMOD_RSHIFT, {{kDown, 16}}},
      {"Ctrl", SDL_SCANCODE_LCTRL, SDLK_LCTRL, KMOD_LCTRL, {{kDown, 17}}},
      {"keypad 8 without NumLock", SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NONE, {{kDown, 38}}},
      {"keypad 5 without NumLock", SDL_SCANCODE_KP_5, SDLK_KP_5, KMOD_NONE, {{kDown, 12}}},
      {"keypad 0 without NumLock", SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NONE, {{kDown, 45}}},
      {"keypad 8 with NumLock", SDL_SCANCODE_KP_8, SDLK_KP_8, KMOD_NUM, {{kDown, 104}}},
      {"keypad +", SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, KMOD_NONE, {{kDown, 107}}},
      {"Alt+D is a system key", SDL_SCANCODE_D, SDLK_d, KMOD_LALT, {{kSysDown, 'D'}}},
      {"Alt+Enter makes no character", SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_LALT, {{kSysDown, 13}}},
      {"Alt itself", SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT, {{kSysDown, 18}}},
      {"Ctrl+Alt (AltGr) is no system key", SDL_SCANCODE_Q, SDLK_q, KMOD_LCTRL | KMOD_LALT, {{kDown, 'Q'}}},
      {"a key SDL cannot name", SDL_SCANCODE_UNKNOWN, SDLK_UNKNOWN, KMOD_NONE, {}},
  };
  for (const Case& c : cases) {
    window::KeyTranslator t;
    EXPECT_EQ(Translate(t, Key(SDL_KEYDOWN, c.scancode, c.sym, c.mod)), c.expected) << c.what;
  }
}

TEST(KeyTranslation, ReleasesAreKeyUpOrSystemKeyUpUnderAlt) {
  window::KeyTranslator t;
  EXPECT_EQ(Translate(t, Key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT)), (std::vector<Msg>{{kUp, 16}}));
  EXPECT_EQ(Translate(t, Key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LALT)),
            (std::vector<Msg>{{kSysUp, 16}}));
}

TEST(KeyTranslation, TextBecomesCodePage1250Characters) {
  window::KeyTranslator t;
  EXPECT_EQ(Translate(t, Text("a")), (std::vector<Msg>{{kChar, 'a'}}));
  EXPECT_EQ(Translate(t, Text(" ")), (std::vector<Msg>{{kChar, 32}}));
  EXPECT_EQ(Translate(t, Text("\xC5\x99")), (std::vector<Msg>{{kChar, 0xF8}}));         // ř
  EXPECT_EQ(Translate(t, Text("\xE2\x82\xAC")), (std::vector<Msg>{{kChar, 0x80}}));     // €
  EXPECT_EQ(Translate(t, Text("\xC5\xBD")), (std::vector<Msg>{{kChar, 0x8E}}));         // Ž
  // Characters the code page lacks are not passed on; the others of the same text are.
  EXPECT_EQ(Translate(t, Text("\xE4\xB8\xAD")), std::vector<Msg>{});                    // 中
  EXPECT_EQ(Translate(t, Text("x\xE2\x89\xA0y")), (std::vector<Msg>{{kChar, 'x'}, {kChar, 'y'}}));  // x≠y
  EXPECT_EQ(Translate(t, Text("\xF0\x9F\x98\x80")), std::vector<Msg>{});                // an emoji
  // Malformed UTF-8 is skipped, not guessed at.
  EXPECT_EQ(Translate(t, Text("\xC5" "b")), (std::vector<Msg>{{kChar, 'b'}}));
}

TEST(KeyTranslation, TextFollowsTheModifiersOfItsKeyPress) {
  window::KeyTranslator t;
  // After Alt+D the text "d" is a system character, which nobody queues.
  Translate(t, Key(SDL_KEYDOWN, SDL_SCANCODE_D, SDLK_d, KMOD_LALT));
  EXPECT_EQ(Translate(t, Text("d")), (std::vector<Msg>{{kSysChar, 'd'}}));
  // After Ctrl+1 the control character rule applies and the text "1" is dropped.
  Translate(t, Key(SDL_KEYDOWN, SDL_SCANCODE_1, SDLK_1, KMOD_LCTRL));
  EXPECT_EQ(Translate(t, Text("1")), std::vector<Msg>{});
  // AltGr on a Czech layout (Ctrl+Alt) types its character.
  Translate(t, Key(SDL_KEYDOWN, SDL_SCANCODE_Q, SDLK_q, KMOD_RCTRL | KMOD_RALT));
  EXPECT_EQ(Translate(t, Text("\\")), (std::vector<Msg>{{kChar, '\\'}}));
  // A plain key again.
  Translate(t, Key(SDL_KEYDOWN, SDL_SCANCODE_D, SDLK_d));
  EXPECT_EQ(Translate(t, Text("d")), (std::vector<Msg>{{kChar, 'd'}}));
}

TEST(KeyTranslation, OtherEventsGiveNothing) {
  window::KeyTranslator t;
  SDL_Event e;
  SDL_zero(e);
  e.type = SDL_MOUSEMOTION;
  EXPECT_EQ(Translate(t, e), std::vector<Msg>{});
}

}  // namespace

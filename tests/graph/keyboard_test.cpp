// The key queue and the translation of key messages into key codes, fed straight through the
// keyboard handler as the window thread would (no window needed).
#include <gtest/gtest.h>

#include <vector>

#include "graph/graph.h"
#include "graph/graph_state.h"
#include "platform/window/messages.h"

namespace {

using Bytes = std::vector<int>;

void Send(uint32_t message, uint32_t wParam = 0) { graph_state::KeyboardMessageHandler(0, message, wParam, 0); }

Bytes Drain() {
  Bytes bytes;
  uint8_t b = 0;
  while (graph_state::TakeQueuedKey(b)) bytes.push_back(b);
  return bytes;
}

class KeyQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(GraphWindowOpen());
    Send(window::kMessageCreate);  // a new window: empty queue, modifiers off
  }
};

TEST_F(KeyQueue, ThirtyOneKeysFitAndTheThirtySecondDropsTheOldest) {
  for (int i = 1; i <= 31; ++i) Send(window::kMessageChar, uint32_t(i));
  Bytes expected;
  for (int i = 1; i <= 31; ++i) expected.push_back(i);
  EXPECT_EQ(Drain(), expected);

  for (int i = 1; i <= 32; ++i) Send(window::kMessageChar, uint32_t(i));
  expected.erase(expected.begin());
  expected.push_back(32);
  EXPECT_EQ(Drain(), expected);
}

TEST_F(KeyQueue, AFullQueueDropsAnExtendedKeyWhole) {
  Send(window::kMessageKeyDown, window::kKeyF1);  // 0, 59
  for (int i = 1; i <= 29; ++i) Send(window::kMessageChar, uint32_t('a' + i % 26));
  Send(window::kMessageChar, '!');  // the 32nd byte: drops the 0 and the 59
  Bytes got = Drain();
  ASSERT_EQ(got.size(), 30u);
  EXPECT_EQ(got.front(), 'a' + 1);
  EXPECT_EQ(got.back(), '!');
}

TEST_F(KeyQueue, TheQueueWrapsAroundItsSlots) {
  // Many more keys than slots, taken as they come: nothing lost, nothing reordered.
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < 20; ++i) Send(window::kMessageChar, uint32_t(round * 20 + i));
    Bytes expected;
    for (int i = 0; i < 20; ++i) expected.push_back(round * 20 + i);
    EXPECT_EQ(Drain(), expected) << round;
  }
}

TEST_F(KeyQueue, CharactersCloseAndWindowLifecycle) {
  Send(window::kMessageChar, 'a');
  Send(window::kMessageChar, 0xF8);           // a code page 1250 letter
  Send(window::kMessageChar, 0x1F8);          // only the low byte counts
  Send(window::kMessageClose);                // the close button: Alt+F4
  EXPECT_TRUE(KeyWaiting());
  EXPECT_EQ(Drain(), (Bytes{'a', 0xF8, 0xF8, 0, 107}));
  EXPECT_FALSE(KeyWaiting());

  // Destroying the window keeps what is queued; a new window starts empty.
  Send(window::kMessageChar, 'x');
  Send(window::kMessageDestroy);
  EXPECT_TRUE(KeyWaiting());
  Send(window::kMessageCreate);
  EXPECT_FALSE(KeyWaiting());
}

TEST_F(KeyQueue, ReadKeyCodeWithoutAWindowGivesZeroAndTakesNothing) {
  Send(window::kMessageChar, 'q');
  EXPECT_EQ(ReadKeyCode(), 0);
  EXPECT_TRUE(KeyWaiting());
  EXPECT_EQ(Drain(), Bytes{'q'});
}

enum Mods { kNone = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

struct KeyCase {
  int mods;
  uint32_t vk;
  Bytes expected;
};

// Presses the key as the window thread would pass it on: Shift and Ctrl as key messages of
// their own, Alt combinations as system keys.
Bytes Press(const KeyCase& c) {
  if (c.mods & kShift) Send(window::kMessageKeyDown, window::kKeyShift);
  if (c.mods & kCtrl) Send(window::kMessageKeyDown, window::kKeyControl);
  Send((c.mods & kAlt) ? window::kMessageSysKeyDown : window::kMessageKeyDown, c.vk);
  if (c.mods & kCtrl) Send(window::kMessageKeyUp, window::kKeyControl);
  if (c.mods & kShift) Send(window::kMessageKeyUp, window::kKeyShift);
  return Drain();
}

TEST_F(KeyQueue, TranslationTable) {
  const Bytes none;
  const KeyCase cases[] = {
      // Alone.
      {kNone, 112, {0, 59}},  {kNone, 121, {0, 68}},  {kNone, 122, {0, 133}}, {kNone, 123, {0, 134}},
      {kNone, 36, {0, 71}},   {kNone, 38, {0, 72}},   {kNone, 33, {0, 73}},   {kNone, 37, {0, 75}},
      {kNone, 12, {0, 76}},   {kNone, 39, {0, 77}},   {kNone, 35, {0, 79}},   {kNone, 40, {0, 80}},
      {kNone, 34, {0, 81}},   {kNone, 45, {0, 82}},   {kNone, 46, {0, 83}},   {kNone, 19, {0, 250}},
      {kNone, 8, none},       {kNone, 13, none},      {kNone, 65, none},      {kNone, 49, none},
      {kNone, 107, none},     {kNone, 109, none},     {kNone, 27, none},      {kNone, 200, none},
      // Shift: only the function keys have codes; other keys fall back to their own.
      {kShift, 112, {0, 84}}, {kShift, 121, {0, 93}}, {kShift, 122, {0, 135}}, {kShift, 123, {0, 136}},
      {kShift, 36, {0, 71}},  {kShift, 19, {0, 250}}, {kShift, 65, none},
      // Ctrl.
      {kCtrl, 112, {0, 94}},  {kCtrl, 121, {0, 103}}, {kCtrl, 122, {0, 137}}, {kCtrl, 123, {0, 138}},
      {kCtrl, 12, {0, 143}},  {kCtrl, 33, {0, 132}},  {kCtrl, 34, {0, 118}},  {kCtrl, 35, {0, 117}},
      {kCtrl, 36, {0, 119}},  {kCtrl, 37, {0, 115}},  {kCtrl, 38, {0, 141}},  {kCtrl, 39, {0, 116}},
      {kCtrl, 40, {0, 145}},  {kCtrl, 45, {0, 146}},  {kCtrl, 46, {0, 147}},  {kCtrl, 107, {0, 144}},
      {kCtrl, 109, {0, 142}}, {kCtrl, 19, {0, 250}},  {kCtrl, 8, none},
      // Ctrl is looked at before Shift.
      {kCtrl | kShift, 112, {0, 94}}, {kCtrl | kShift, 36, {0, 119}},
      // Alt (system keys).
      {kAlt, 112, {0, 104}},  {kAlt, 121, {0, 113}},  {kAlt, 122, {0, 139}},  {kAlt, 123, {0, 140}},
      {kAlt, 8, {0, 14}},     {kAlt, 13, {0, 166}},   {kAlt, 33, {0, 153}},   {kAlt, 34, {0, 161}},
      {kAlt, 37, {0, 155}},   {kAlt, 38, {0, 152}},   {kAlt, 39, {0, 157}},   {kAlt, 40, {0, 160}},
      {kAlt, 45, {0, 162}},   {kAlt, 46, {0, 163}},   {kAlt, 107, {0, 78}},   {kAlt, 109, {0, 74}},
      {kAlt, 48, {0, 129}},   {kAlt, 49, {0, 120}},   {kAlt, 57, {0, 128}},   {kAlt, 36, {0, 71}},
      {kAlt, 35, {0, 79}},    {kAlt, 12, {0, 76}},    {kAlt, 19, {0, 250}},   {kAlt, 18, none},
      // Shift is looked at before Alt.
      {kAlt | kShift, 112, {0, 84}}, {kAlt | kShift, 68, {0, 32}},
  };
  for (const KeyCase& c : cases) EXPECT_EQ(Press(c), c.expected) << "mods " << c.mods << " key " << c.vk;
}

TEST_F(KeyQueue, AltWithEachLetterGivesItsScanCode) {
  const uint8_t scanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                 49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};
  for (uint32_t letter = 'A'; letter <= 'Z'; ++letter)
    EXPECT_EQ(Press({kAlt, letter, {}}), (Bytes{0, scanCodes[letter - 'A']})) << char(letter);
}

TEST_F(KeyQueue, ModifierFlagsFollowKeyMessagesOnly) {
  Send(window::kMessageKeyDown, window::kKeyShift);
  Send(window::kMessageKeyDown, window::kKeyF1);
  // A release that arrives as a system key is not seen: Shift stays down.
  Send(window::kMessageSysKeyUp, window::kKeyShift);
  Send(window::kMessageKeyDown, window::kKeyF1);
  Send(window::kMessageKeyUp, window::kKeyShift);
  Send(window::kMessageKeyDown, window::kKeyF1);
  EXPECT_EQ(Drain(), (Bytes{0, 84, 0, 84, 0, 59}));

  // Alt is on only while its own system key is translated.
  Send(window::kMessageSysKeyDown, window::kKeyF1);
  Send(window::kMessageKeyDown, window::kKeyF1);
  EXPECT_EQ(Drain(), (Bytes{0, 104, 0, 59}));

  // A new window forgets a held modifier.
  Send(window::kMessageKeyDown, window::kKeyControl);
  Send(window::kMessageCreate);
  Send(window::kMessageKeyDown, window::kKeyF1);
  EXPECT_EQ(Drain(), (Bytes{0, 59}));
}

}  // namespace

// The window messages and virtual-key numbers that the graphics library's window procedure
// and keyboard handler are written against. The SDL events of a window are translated into
// these (key_translation.h), so the library's handling reads as the classic message model.
#pragma once

#include <cstdint>

namespace window {

enum Message : uint32_t {
  kMessageCreate = 0x0001,
  kMessageDestroy = 0x0002,
  kMessagePaint = 0x000F,
  kMessageClose = 0x0010,
  kMessageKeyDown = 0x0100,
  kMessageKeyUp = 0x0101,
  kMessageChar = 0x0102,
  kMessageSysKeyDown = 0x0104,
  kMessageSysKeyUp = 0x0105,
  kMessageSysChar = 0x0106,
  kMessageUser = 0x0400,  // the library's private "destroy yourself" request
};

// Virtual-key numbers: letters and digits are their upper-case ASCII codes.
enum VirtualKey : uint32_t {
  kKeyBack = 8,
  kKeyTab = 9,
  kKeyClear = 12,
  kKeyReturn = 13,
  kKeyShift = 16,
  kKeyControl = 17,
  kKeyMenu = 18,  // Alt
  kKeyPause = 19,
  kKeyCapital = 20,
  kKeyEscape = 27,
  kKeySpace = 32,
  kKeyPrior = 33,  // Page Up
  kKeyNext = 34,   // Page Down
  kKeyEnd = 35,
  kKeyHome = 36,
  kKeyLeft = 37,
  kKeyUp = 38,
  kKeyRight = 39,
  kKeyDown = 40,
  kKeyInsert = 45,
  kKeyDelete = 46,
  kKey0 = 48,
  kKeyA = 65,
  kKeyNumpad0 = 96,
  kKeyMultiply = 106,
  kKeyAdd = 107,
  kKeySubtract = 109,
  kKeyDecimal = 110,
  kKeyDivide = 111,
  kKeyF1 = 112,
  kKeyF12 = 123,
  kKeyNumLock = 144,
  kKeyScroll = 145,
};

// One translated message, as the window procedure receives it.
struct KeyMessage {
  uint32_t message = 0;
  uint32_t wParam = 0;  // virtual key, or the character byte for kMessageChar / kMessageSysChar
  int32_t lParam = 0;   // the key's scan code in bits 16..23
};

}  // namespace window

// TextToInteger: the number reader shared by the command line (speed) and sound.def (step
// parameters). Base 10 must fit a signed 32-bit value; the other bases take any 32-bit pattern.
#include <cstdint>
#include <string_view>

#include "reader/reader.h"

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 99;
}

}  // namespace

bool TextToInteger(std::string_view text, int32_t* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  } else if (i < text.size() && text[i] == '%') {
    base = 2;
    ++i;
  } else if (i < text.size() && text[i] == '&') {
    base = 8;
    ++i;
  }
  if (i >= text.size()) return false;
  uint64_t magnitude = 0;
  // Base 10 may reach 2^31 for a negative value; the others any 32-bit pattern.
  const uint64_t limit = base == 10 ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull;
  for (; i < text.size(); ++i) {
    int d = DigitValue(text[i]);
    if (d >= base) return false;
    magnitude = magnitude * base + d;
    if (magnitude > limit) return false;
  }
  uint32_t pattern = static_cast<uint32_t>(magnitude);
  if (negative) pattern = 0u - pattern;
  *value = static_cast<int32_t>(pattern);
  return true;
}

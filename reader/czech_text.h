// Built-in Czech messages are kept in code page 852, as the reader shows them through
// ToDisplayCharset. The sources stay UTF-8: Cp852Text converts a UTF-8 literal at compile
// time, and a letter outside ASCII and the 30 Czech letters stops the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace czech {

struct TLetterCodes {
  char32_t unicode;
  uint8_t cp852;
};

// The 30 letters in the order of Cp852Letters.
inline constexpr TLetterCodes kLetters[30] = {
    {U'ě', 0xD8}, {U'š', 0xE7}, {U'č', 0x9F}, {U'ř', 0xFD}, {U'ž', 0xA7}, {U'ý', 0xEC},
    {U'á', 0xA0}, {U'í', 0xA1}, {U'é', 0x82}, {U'ů', 0x85}, {U'ú', 0xA3}, {U'ó', 0xA2},
    {U'ť', 0x9C}, {U'ň', 0xE5}, {U'ď', 0xD4}, {U'Ě', 0xB7}, {U'Š', 0xE6}, {U'Č', 0xAC},
    {U'Ř', 0xFC}, {U'Ž', 0xA6}, {U'Ý', 0xED}, {U'Á', 0xB5}, {U'Í', 0xD6}, {U'É', 0x90},
    {U'Ů', 0xDE}, {U'Ú', 0xE9}, {U'Ó', 0xE0}, {U'Ť', 0x9B}, {U'Ň', 0xD5}, {U'Ď', 0xD2}};

// Called only when a message holds a letter code page 852 lacks: not constexpr, so the
// compile-time conversion fails there.
inline uint8_t LetterMissingFromCp852() { return '?'; }

template <size_t N>
struct Cp852Text {
  char bytes[N] = {};
  size_t length = 0;

  consteval Cp852Text(const char (&utf8)[N]) {
    size_t i = 0;
    while (i + 1 < N) {
      uint8_t b = static_cast<uint8_t>(utf8[i]);
      char32_t cp;
      if (b < 0x80) {
        cp = b;
        i += 1;
      } else if ((b & 0xE0) == 0xC0) {
        cp = ((b & 0x1F) << 6) | (static_cast<uint8_t>(utf8[i + 1]) & 0x3F);
        i += 2;
      } else {
        cp = 0xFFFF;  // no message needs a longer sequence
        i += 3;
      }
      uint8_t out = 0;
      if (cp < 0x80) {
        out = static_cast<uint8_t>(cp);
      } else {
        bool found = false;
        for (const auto& l : kLetters)
          if (l.unicode == cp) {
            out = l.cp852;
            found = true;
          }
        if (!found) out = LetterMissingFromCp852();
      }
      bytes[length++] = static_cast<char>(out);
    }
  }
  constexpr std::string_view View() const { return {bytes, length}; }
  constexpr operator std::string_view() const { return View(); }
};

}  // namespace czech

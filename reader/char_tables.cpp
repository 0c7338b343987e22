// The reader's character tables: the 30 Czech letters in code pages 852 and 1250 (built-in
// messages are 852, the window shows 1250), the Czech case folding used for every comparison
// of names and text, and the three character classes the rule markers test.
#include <string>
#include <string_view>

#include "reader/czech_text.h"
#include "reader/reader.h"

const uint8_t Cp852Letters[30] = {0xD8, 0xE7, 0x9F, 0xFD, 0xA7, 0xEC, 0xA0, 0xA1, 0x82, 0x85,
                                  0xA3, 0xA2, 0x9C, 0xE5, 0xD4, 0xB7, 0xE6, 0xAC, 0xFC, 0xA6,
                                  0xED, 0xB5, 0xD6, 0x90, 0xDE, 0xE9, 0xE0, 0x9B, 0xD5, 0xD2};
const uint8_t Cp1250Letters[30] = {0xEC, 0x9A, 0xE8, 0xF8, 0x9E, 0xFD, 0xE1, 0xED, 0xE9, 0xF9,
                                   0xFA, 0xF3, 0x9D, 0xF2, 0xEF, 0xCC, 0x8A, 0xC8, 0xD8, 0x8E,
                                   0xDD, 0xC1, 0xCD, 0xC9, 0xD9, 0xDA, 0xD3, 0x8D, 0xD2, 0xCF};
const uint8_t CzLowerLetters[15] = {0xEC, 0x9A, 0xE8, 0xF8, 0x9E, 0xFD, 0xE1, 0xED,
                                    0xE9, 0xFA, 0xF9, 0xF3, 0xEF, 0x9D, 0xF2};
const uint8_t CzUpperLetters[15] = {0xCC, 0x8A, 0xC8, 0xD8, 0x8E, 0xDD, 0xC1, 0xCD,
                                    0xC9, 0xDA, 0xD9, 0xD3, 0xCF, 0x8D, 0xD2};

namespace {

struct TByteMaps {
  uint8_t display[256];
  uint8_t upper[256];
};

constexpr TByteMaps MakeMaps() {
  TByteMaps m{};
  for (int b = 0; b < 256; ++b) {
    m.display[b] = static_cast<uint8_t>(b);
    m.upper[b] = static_cast<uint8_t>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
  }
  const uint8_t from852[30] = {0xD8, 0xE7, 0x9F, 0xFD, 0xA7, 0xEC, 0xA0, 0xA1, 0x82, 0x85,
                               0xA3, 0xA2, 0x9C, 0xE5, 0xD4, 0xB7, 0xE6, 0xAC, 0xFC, 0xA6,
                               0xED, 0xB5, 0xD6, 0x90, 0xDE, 0xE9, 0xE0, 0x9B, 0xD5, 0xD2};
  const uint8_t to1250[30] = {0xEC, 0x9A, 0xE8, 0xF8, 0x9E, 0xFD, 0xE1, 0xED, 0xE9, 0xF9,
                              0xFA, 0xF3, 0x9D, 0xF2, 0xEF, 0xCC, 0x8A, 0xC8, 0xD8, 0x8E,
                              0xDD, 0xC1, 0xCD, 0xC9, 0xD9, 0xDA, 0xD3, 0x8D, 0xD2, 0xCF};
  for (int i = 0; i < 30; ++i) m.display[from852[i]] = to1250[i];
  const uint8_t lower[15] = {0xEC, 0x9A, 0xE8, 0xF8, 0x9E, 0xFD, 0xE1, 0xED,
                             0xE9, 0xFA, 0xF9, 0xF3, 0xEF, 0x9D, 0xF2};
  const uint8_t upper[15] = {0xCC, 0x8A, 0xC8, 0xD8, 0x8E, 0xDD, 0xC1, 0xCD,
                             0xC9, 0xDA, 0xD9, 0xD3, 0xCF, 0x8D, 0xD2};
  for (int i = 0; i < 15; ++i) m.upper[lower[i]] = upper[i];
  return m;
}

// One look-up per byte; a byte is mapped once, so a replacement is never replaced again.
constexpr TByteMaps kMaps = MakeMaps();

void AppendUtf8(std::string* out, char32_t cp) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

ShortText ToDisplayCharset(std::string_view text) {
  ShortText out(text);
  if (!SetupPhase) return out;
  for (size_t i = 0; i < out.Length(); ++i)
    out[i] = static_cast<char>(kMaps.display[static_cast<uint8_t>(out[i])]);
  return out;
}

uint8_t UpperCaseCzByte(uint8_t c) { return kMaps.upper[c]; }

ShortText UpperCaseCz(std::string_view text) {
  ShortText out(text);
  for (size_t i = 0; i < out.Length(); ++i)
    out[i] = static_cast<char>(kMaps.upper[static_cast<uint8_t>(out[i])]);
  return out;
}

bool InPunctuationSet(uint8_t c) {
  switch (c) {
    case 0x21:
    case 0x22:
    case 0x27:
    case 0x28:
    case 0x29:
    case 0x2C:
    case 0x2E:
    case 0x3A:
    case 0x3B:
    case 0x3F:
    case 0x5B:
    case 0x5D:
      return true;
    default:
      return false;
  }
}

bool InNonZeroDigitSet(uint8_t c) { return c >= '1' && c <= '9'; }
bool InDigitSet(uint8_t c) { return c >= '0' && c <= '9'; }

std::string Cp852ToUtf8(std::string_view text) {
  std::string out;
  for (char ch : text) {
    uint8_t b = static_cast<uint8_t>(ch);
    char32_t cp = b < 0x80 ? b : U'?';
    for (const auto& l : czech::kLetters)
      if (l.cp852 == b) cp = l.unicode;
    AppendUtf8(&out, cp);
  }
  return out;
}

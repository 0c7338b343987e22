// Code page 1250 conversions: one fixed table for the upper half, its inverse sorted once.
#include "platform/fonts/codepage1250.h"

#include <algorithm>
#include <array>
#include <utility>

namespace fonts {
namespace {

// Bytes 0x80-0xFF. The undefined bytes carry their own value (C1 controls).
constexpr char16_t kUpperHalf[128] = {
    // 0x80
    0x20AC,
    0x0081,
    0x201A,
    0x0083,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x0088,
    0x2030,
    0x0160,
    0x2039,
    0x015A,
    0x0164,
    0x017D,
    0x0179,
    // 0x90
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x0098,
    0x2122,
    0x0161,
    0x203A,
    0x015B,
    0x0165,
    0x017E,
    0x017A,
    // 0xA0
    0x00A0,
    0x02C7,
    0x02D8,
    0x0141,
    0x00A4,
    0x0104,
    0x00A6,
    0x00A7,
    0x00A8,
    0x00A9,
    0x015E,
    0x00AB,
    0x00AC,
    0x00AD,
    0x00AE,
    0x017B,
    // 0xB0
    0x00B0,
    0x00B1,
    0x02DB,
    0x0142,
    0x00B4,
    0x00B5,
    0x00B6,
    0x00B7,
    0x00B8,
    0x0105,
    0x015F,
    0x00BB,
    0x013D,
    0x02DD,
    0x013E,
    0x017C,
    // 0xC0
    0x0154,
    0x00C1,
    0x00C2,
    0x0102,
    0x00C4,
    0x0139,
    0x0106,
    0x00C7,
    0x010C,
    0x00C9,
    0x0118,
    0x00CB,
    0x011A,
    0x00CD,
    0x00CE,
    0x010E,
    // 0xD0
    0x0110,
    0x0143,
    0x0147,
    0x00D3,
    0x00D4,
    0x0150,
    0x00D6,
    0x00D7,
    0x0158,
    0x016E,
    0x00DA,
    0x0170,
    0x00DC,
    0x00DD,
    0x0162,
    0x00DF,
    // 0xE0
    0x0155,
    0x00E1,
    0x00E2,
    0x0103,
    0x00E4,
    0x013A,
    0x0107,
    0x00E7,
    0x010D,
    0x00E9,
    0x0119,
    0x00EB,
    0x011B,
    0x00ED,
    0x00EE,
    0x010F,
    // 0xF0
    0x0111,
    0x0144,
    0x0148,
    0x00F3,
    0x00F4,
    0x0151,
    0x00F6,
    0x00F7,
    0x0159,
    0x016F,
    0x00FA,
    0x0171,
    0x00FC,
    0x00FD,
    0x0163,
    0x02D9,
};

using Inverse = std::array<std::pair<char16_t, uint8_t>, 128>;

const Inverse& InverseTable() {
  static const Inverse table = [] {
    Inverse t{};
    for (int i = 0; i < 128; ++i) t[i] = {kUpperHalf[i], uint8_t(0x80 + i)};
    std::sort(t.begin(), t.end());
    return t;
  }();
  return table;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

}  // namespace

char32_t Cp1250ToUnicode(uint8_t byte) {
  return byte < 0x80 ? char32_t(byte) : char32_t(kUpperHalf[byte - 0x80]);
}

bool UnicodeToCp1250(char32_t codePoint, uint8_t* byte) {
  uint8_t result = 0;
  bool found = false;
  if (codePoint < 0x80) {
    result = uint8_t(codePoint);
    found = true;
  } else if (codePoint <= 0xFFFF) {
    const Inverse& t = InverseTable();
    auto it = std::lower_bound(t.begin(), t.end(), std::pair<char16_t, uint8_t>{char16_t(codePoint), 0});
    if (it != t.end() && it->first == codePoint) {
      result = it->second;
      found = true;
    }
  }
  if (byte) *byte = result;
  return found;
}

std::string Utf8ToCp1250(std::string_view utf8, char replacement) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const uint8_t lead = uint8_t(utf8[i]);
    char32_t c = 0;
    int extra = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F;
      extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F;
      extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07;
      extra = 3;
    } else {
      out += replacement;
      ++i;
      continue;
    }
    bool ok = i + size_t(extra) < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      const uint8_t cont = uint8_t(utf8[i + k]);
      if ((cont & 0xC0) != 0x80)
        ok = false;
      else
        c = (c << 6) | (cont & 0x3F);
    }
    if (!ok) {
      out += replacement;
      ++i;
      continue;
    }
    i += 1 + extra;
    uint8_t b = 0;
    if (UnicodeToCp1250(c, &b))
      out += char(b);
    else
      out += replacement;
  }
  return out;
}

std::string Cp1250ToUtf8(std::string_view cp1250) {
  std::string out;
  out.reserve(cp1250.size() * 2);
  for (char ch : cp1250) AppendUtf8(out, Cp1250ToUnicode(uint8_t(ch)));
  return out;
}

}  // namespace fonts

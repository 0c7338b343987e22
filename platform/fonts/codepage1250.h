// Code page 1250 (Central European): the byte encoding of every text the reader and the
// graphics library handle, and its mapping to and from Unicode.
//
// Bytes 0x00-0x7F are ASCII. The five bytes the code page leaves undefined (0x81, 0x83, 0x88,
// 0x90, 0x98) map to the C1 control characters of the same value (U+0081 ...), as the
// platform's own conversion does, so that every byte has a code point and every byte round
// trips; no font has a visible glyph for them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace fonts {

// The Unicode code point of one code page 1250 byte (never fails).
char32_t Cp1250ToUnicode(uint8_t byte);

// The code page 1250 byte of a code point. False (and *byte set to 0) when the code page has
// no such character; U+0000 gives true and 0.
bool UnicodeToCp1250(char32_t codePoint, uint8_t* byte);

// UTF-8 text to code page 1250 bytes. Characters the code page lacks, and malformed UTF-8
// sequences, become `replacement`.
std::string Utf8ToCp1250(std::string_view utf8, char replacement = '?');

// Code page 1250 bytes to UTF-8 text.
std::string Cp1250ToUtf8(std::string_view cp1250);

}  // namespace fonts

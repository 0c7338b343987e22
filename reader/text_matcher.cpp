// The text matcher: at a reading position, the first rule in file order whose pattern matches,
// and how many characters it consumes. Literals up to the first class marker are consumed;
// whatever follows a class marker is right context only. The text buffer's blank margins make
// every read here (one before, fifteen after) safe.
#include "reader/reader.h"

namespace {

bool PassesClassMarker(char marker, uint8_t c) {
  switch (marker) {
    case '%':
      return !InPunctuationSet(c) && c != ' ';
    case '_':
      return InPunctuationSet(c);
    case '#':
      return InDigitSet(c);
    default:
      return InNonZeroDigitSet(c);  // '@'
  }
}

bool MatchesAt(const uint8_t* buffer, int32_t p, std::string_view pattern, int32_t* matchLength) {
  const int32_t n = static_cast<int32_t>(pattern.size());
  *matchLength = 0;
  if (n == 0) return false;
  if (n == 1) {
    if (UpperCaseCzByte(buffer[p]) != static_cast<uint8_t>(pattern[0])) return false;
    *matchLength = 1;
    return true;
  }
  int32_t shift = 0;
  bool classSeen = false;
  for (int32_t j = 1; j <= n; ++j) {
    char pc = pattern[j - 1];
    if (pc == '<') {
      if (InPunctuationSet(buffer[p - 1])) return false;
      shift = -1;
      continue;
    }
    uint8_t c = buffer[p + j - 1 + shift];
    if (pc == '%' || pc == '_' || pc == '#' || pc == '@') {
      if (!PassesClassMarker(pc, c)) return false;
      classSeen = true;
    } else {
      if (UpperCaseCzByte(c) != static_cast<uint8_t>(pc)) return false;
      if (!classSeen) *matchLength = j;
    }
  }
  if (pattern[n - 1] == '<') return false;
  if (pattern[0] == '<' && *matchLength > 1) --*matchLength;
  return true;
}

}  // namespace

TMatch MatchRuleIn(const uint8_t* buffer, int32_t position, const TDefinice* rules, int32_t count) {
  for (int32_t r = 0; r < count; ++r) {
    int32_t length = 0;
    if (MatchesAt(buffer, position, rules[r].Pattern.View(), &length)) return {r, length};
  }
  return {};
}

TMatch MatchRuleAt(int32_t position) {
  return MatchRuleIn(TextBuffer, position, DefinitionTable, DefinitionCount);
}

// The reading loop: walks the text rule by rule, plays each, echoes the consumed characters in
// white (all samples there), yellow (a sample missing) or red (no rule), and serves the keys
// between steps: space pauses, Enter switches the echo, Esc and the window's close stop.
#include "reader/reader.h"

namespace {
constexpr uint8_t kSpace = 32;
constexpr uint8_t kEnter = 13;
constexpr uint8_t kEsc = 27;
}  // namespace

void ReadAloud() {
  LastSample = 0;
  LastOverlap = 0;
  int32_t readPosition = TextStart;
  bool paused = false;
  bool echoOn = true;
  int lastKey = -1;  // none yet
  do {
    if (Console->KeyWaiting()) {
      lastKey = Console->ReadKeyCode();
      if (lastKey == 0) lastKey = Console->ReadKeyCode();
      if (lastKey == kSpace) {
        paused = !paused;
      } else if (lastKey == kEnter) {
        echoOn = !echoOn;
        if (echoOn) {
          PrintStatusLine({});
          Console->SetDrawColor(TNamedColor::White);
          PrintStatusText("...");
        }
      }
    }
    if (Console->CloseRequested()) return;
    if (!paused) {
      TMatch match = MatchRuleAt(readPosition);
      TNamedColor color = TNamedColor::Red;
      if (match.Rule >= 0) {
        PlayDefinition(match.Rule);
        color = MissingSample ? TNamedColor::Yellow : TNamedColor::White;
      }
      Console->SetDrawColor(color);
      const int32_t length = match.MatchLength == 0 ? 1 : match.MatchLength;
      if (echoOn)
        for (int32_t i = 0; i < length; ++i) {
          const char c = static_cast<char>(TextBuffer[readPosition + i]);
          PrintStatusText(std::string_view(&c, 1));
        }
      readPosition += length;
    }
    if (lastKey == kEsc) return;
  } while (readPosition - TextStart < TextLength);
}

// Hlasivo's reader: its records, its program-wide tables and every operation of the reader.
//
// The tables are filled once by the set-up (program_flow.cpp, voice_bank.cpp,
// definition_file.cpp) on the main thread and only read afterwards. The reader reaches the
// window, the keyboard and the waits through `Console` (a TConsole): the program points it at
// the graphics library's window (graph_console.cpp); tests point it at a scripted console.
// The audio calls go straight to audio/bass.h.
//
// Loading a voice without a window (for tools and tests, e.g. checking voices/CZ):
//   BASS_Init(...);                                  // any back end, see audio/
//   TVoiceLoadReport r = LoadVoiceFolder("voices/CZ");
//   // r.SampleCount, r.DefinitionCount, r.LinesSkipped, ...; tables are filled as for reading
//   FreeLoadedSamples(); BASS_Free();
// With no console set, status output is dropped and key waits return at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "graph/short_string.h"

// ---- Records -------------------------------------------------------------------------------

// One loaded sample.
struct TZvuk {
  ShortString<32> Name;    // file name up to its first '.', first 32 bytes, upper-cased
  uint32_t Handle = 0;     // sample handle; never 0 in a used entry
  uint32_t Channel = 0;    // handle of the latest playback; 0 until first played
  int32_t Frequency = 0;   // default playback frequency in Hz
  int32_t ByteLength = 0;  // length in bytes, the scale of channel positions
};

// One sound step of a rule.
struct TSoub {
  ShortString<32> Name;         // sample name, upper case
  int32_t SampleIndex = -1;     // first SoundTable entry with that name, or -1
  int32_t OverlapPercent = 0;   // -99..99
  int32_t VolumePercent = 100;  // 1..200
  int32_t RatePercent = 100;    // 1..999
};

constexpr int kMaxSteps = 16;

// One rule of sound.def.
struct TDefinice {
  ShortString<16> Pattern;  // 1..16 bytes, upper case
  uint16_t StepCount = 0;
  TSoub Steps[kMaxSteps];
};

// ---- Program-wide tables -------------------------------------------------------------------

constexpr int32_t TextStart = 16;
constexpr int32_t kMaxTextLength = 491520;
constexpr int32_t kTextBufferSize = 491552;
constexpr int32_t kSoundTableSize = 512;
constexpr int32_t kDefinitionTableSize = 4096;
constexpr int32_t kMaxDefinitions = 4095;

extern uint8_t TextBuffer[kTextBufferSize];
extern int32_t TextLength;
extern TZvuk SoundTable[kSoundTableSize];
extern int32_t SampleCount;
extern TDefinice DefinitionTable[kDefinitionTableSize];
extern int32_t DefinitionCount;
extern ShortText VoiceName;
// Argument 2 whole (or "CZ"): the folder name used for every file operation.
extern std::string VoiceArgument;
extern int32_t SpeedPercent;
extern bool SetupPhase;

// ---- The window, keyboard and waits as the reader sees them --------------------------------

enum class TNamedColor { White, Yellow, Red, LightGray };

// Every call the reader makes of the graphics library. The defaults do nothing (no window):
// texts are dropped, no key is ever waiting, ReadKeyCode gives 0, waits return at once.
class TConsole {
 public:
  virtual ~TConsole() = default;
  virtual void SetGraphWindowSize(uint16_t /*width*/, uint16_t /*height*/) {}
  virtual void InitGraph(int16_t /*driver*/, int16_t /*mode*/, std::string_view /*caption*/) {}
  virtual void CloseGraphWindow() {}
  virtual bool CloseRequested() { return false; }
  virtual bool KeyWaiting() { return false; }
  virtual uint8_t ReadKeyCode() { return 0; }
  virtual void WaitMilliseconds(uint16_t /*ms*/) {}
  virtual void SetTextAlignment(int16_t /*horizontal*/, int16_t /*vertical*/) {}
  virtual void SelectTextFont(uint16_t /*font*/, uint16_t /*direction*/, uint16_t /*size*/) {}
  virtual void DrawTextAt(int16_t /*x*/, int16_t /*y*/, std::string_view /*text*/) {}
  virtual void SetDrawColor(TNamedColor /*color*/) {}
  virtual void ClearGraphWindow() {}
  virtual int16_t GetWindowMaxX() { return 639; }
  virtual int16_t GetWindowMaxY() { return 239; }
};

// The console in use; never null (a silent one until the program or a test sets its own).
extern TConsole* Console;
// Points Console at `console`, or back at the silent one when null.
void UseConsole(TConsole* console);
// The graphics library's window (graph_console.cpp).
TConsole* GraphConsole();

// ---- Shared helpers ------------------------------------------------------------------------

// A text as a signed 32-bit number: blanks/tabs, one sign, '$' '0x' '0X' (16), '%' (2), '&' (8),
// digits and nothing after. False when it is not a number.
bool TextToInteger(std::string_view text, int32_t* value);

// ---- Character tables and conversions ------------------------------------------------------

extern const uint8_t Cp852Letters[30];
extern const uint8_t Cp1250Letters[30];
extern const uint8_t CzLowerLetters[15];
extern const uint8_t CzUpperLetters[15];

// Code page 852 letters to code page 1250 while SetupPhase is on; unchanged otherwise.
ShortText ToDisplayCharset(std::string_view text);
// a..z and the 15 Czech lower-case letters (code page 1250) to upper case; same length.
ShortText UpperCaseCz(std::string_view text);
uint8_t UpperCaseCzByte(uint8_t c);
bool InPunctuationSet(uint8_t c);
bool InNonZeroDigitSet(uint8_t c);
bool InDigitSet(uint8_t c);
// Built-in messages (code page 852; ASCII and the 30 Czech letters) as UTF-8, for stderr.
std::string Cp852ToUtf8(std::string_view text);

// ---- Status display ------------------------------------------------------------------------

struct TStatusCursor {
  int32_t x = 0;
  int32_t y = 0;
};
extern TStatusCursor StatusCursor;
extern uint16_t CellWidth;
extern uint16_t CellHeight;

void PrintStatusLine(std::string_view text);
void PrintStatusText(std::string_view text);

// ---- Voice bank ----------------------------------------------------------------------------

extern std::string StartDirectory;

// The current directory, whole.
std::string CurrentDirectory();
// A platform (UTF-8) file or folder name as code page 1250 text; other bytes stay as they are.
std::string PlatformNameToCp1250(std::string_view name);

// The voice stage of the set-up: 0, or failure 5 or 6 (the failure itself is the caller's).
int32_t LoadVoiceBank();
// Loads every *.wav of `folder` (up to 512 loadable ones) into SoundTable, a dot per sample.
// Returns how many files were found that the audio library could not load.
int32_t LoadSamplesFrom(const std::string& folder);
// Gives back SoundTable's samples 0..SampleCount-1, in order.
void FreeLoadedSamples();

// ---- Definition file -----------------------------------------------------------------------

struct TDefinitionReport {
  int32_t LinesRead = 0;        // lines seen, up to the end, Ctrl-Z or the rule cap
  int32_t LinesSkipped = 0;     // empty, no '=', '=' first, no steps
  int32_t LinesDropped = 0;     // marker test on the pattern
  int32_t StepsMalformed = 0;   // skipped steps (':' first, empty item, bad parameter)
  int32_t StepsDropped = 0;     // steps past the 16th
  bool RuleCapReached = false;  // 4,095 rules stored; the rest ignored
};

// Reads rule lines fed in chunks of any size into DefinitionTable.
class TDefinitionReader {
 public:
  // Clears DefinitionTable and DefinitionCount.
  TDefinitionReader();
  // False once no more bytes are wanted (Ctrl-Z at a line start, or 4,095 rules).
  bool Feed(const char* bytes, size_t count);
  // The last line, if the bytes did not end with a line end.
  void Finish();
  const TDefinitionReport& Report() const { return report_; }

 private:
  void EndLine();
  ShortText line_;
  bool lineStarted_ = false;
  bool afterCr_ = false;
  bool done_ = false;
  TDefinitionReport report_;
};

// One line (without its line end) into DefinitionTable[DefinitionCount]; true when stored.
bool StoreDefinitionLine(std::string_view line, TDefinitionReport* report);
// Reads a whole rule file; false when it cannot be opened (not a readable regular file).
bool ReadDefinitionFile(const std::string& path, TDefinitionReport* report);
// Ties every step of every rule to the first SoundTable entry of its name.
void ResolveStepSamples();
// The definition stage of the set-up: 0, or failure 7 or 8.
int32_t LoadDefinitions();

// Loads a voice folder without any window: samples, rules, resolution. The audio device must
// be open. Samples loaded earlier are freed first.
struct TVoiceLoadReport {
  bool FolderFound = false;
  int32_t SampleCount = 0;
  int32_t FilesNotLoaded = 0;
  bool DefinitionFileOpened = false;
  int32_t DefinitionCount = 0;
  int32_t LinesRead = 0, LinesSkipped = 0, LinesDropped = 0;
  int32_t StepsMalformed = 0, StepsDropped = 0;
  int32_t StepsWithoutSample = 0;  // steps whose name no sample has
  bool RuleCapReached = false;
};
TVoiceLoadReport LoadVoiceFolder(const std::string& folder);

// ---- Text matcher --------------------------------------------------------------------------

struct TMatch {
  int32_t Rule = -1;  // -1: none
  int32_t MatchLength = 0;
};
TMatch MatchRuleAt(int32_t position);
TMatch MatchRuleIn(const uint8_t* buffer, int32_t position, const TDefinice* rules, int32_t count);

// ---- Playback sequencer --------------------------------------------------------------------

extern int32_t LastSample;
extern int32_t LastOverlap;
extern bool MissingSample;

void PlayDefinition(int32_t rule);
// The playback frequency of `frequency` Hz at `ratePercent` and `speedPercent`.
int32_t ScaledFrequency(int32_t frequency, int32_t ratePercent, int32_t speedPercent);
// percent x length / 100, an exact half to the even neighbour.
int32_t OverlapBytes(int32_t percent, int32_t byteLength);

// ---- Reading loop --------------------------------------------------------------------------

void ReadAloud();

// ---- Program flow --------------------------------------------------------------------------

// The set-up: 0, or the failure code 1..8 after its red line, its stderr line, the release of
// what was held and the wait for a key (PrepareReading then ends the process).
int32_t SetUpReading(int argc, const char* const* argv);
void PrepareReading(int argc, const char* const* argv);
void FinishReading();
// Text loading alone: 0, or 2 (cannot open or read) or 3 (empty).
int32_t LoadTextFile(const std::string& path);
// Control bytes other than CR of the loaded text to blanks.
void ReplaceControlCharacters();
// The command-line speed: 100 unless a number; kept within 1..300.
int32_t SpeedFromArgument(std::string_view text);
// `path` made absolute against the current directory, "." and ".." resolved.
std::string FullPathOf(const std::string& path);

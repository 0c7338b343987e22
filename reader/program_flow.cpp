// Program flow: the set-up (window, command line, text, audio device, voice, rules, every
// failure with its exit code) and the shutdown. The set-up writes its progress as status lines
// into a 360 x 160 window and opens the 640 x 240 reading window when it succeeds. A failure
// shows one red line, also written to stderr in UTF-8 for a user at a terminal or without a
// display, gives back what is held, waits for a key and ends the process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "audio/bass.h"
#include "reader/czech_text.h"
#include "reader/reader.h"

uint8_t TextBuffer[kTextBufferSize];
int32_t TextLength = 0;
ShortText VoiceName;
std::string VoiceArgument;
int32_t SpeedPercent = 100;
bool SetupPhase = false;

namespace {

using czech::Cp852Text;

constexpr Cp852Text kBanner(" - čtení textu nahlas");
constexpr Cp852Text kReadingCommandLine("Zpracovávám příkazovou řádku ...");
constexpr Cp852Text kOpeningAudio("Inicializuji zvukové zařízení ...");
constexpr Cp852Text kStartingToRead("Zahajuji čtení textu ...");

constexpr Cp852Text kNoTextFile("! Nezadán žádný textový soubor ke zpracování !");
constexpr Cp852Text kFile("! Soubor ");
constexpr Cp852Text kCannotOpen(" nelze otevřít !");
constexpr Cp852Text kIsEmpty(" je prázdný !");
constexpr Cp852Text kAudioFailed("! Chyba při inicializaci zvuku !");
constexpr Cp852Text kFolder("! Adresář ");
constexpr Cp852Text kNoFolder(" se zvuky neexistuje !");
constexpr Cp852Text kNoSamples(" neobsahuje žádné použitelné zvuky !");
constexpr Cp852Text kNoDefinitionFile(" neobsahuje soubor s hlasovými definicemi !");
constexpr Cp852Text kDefinitionsIn("! Soubor definic v adresáři ");
constexpr Cp852Text kNoValidLine(" neobsahuje ani 1 platný řádek !");

constexpr int32_t kBlockSize = 32768;

std::string TextFileArgument;

// A failure line in three pieces: built-in text (code page 852), a name given by the user
// (platform bytes), built-in text.
struct TFailureLine {
  std::string_view before;
  std::string name;
  std::string_view after;
  bool hasName = false;
};

TFailureLine FailureLineFor(int32_t code) {
  switch (code) {
    case 1:
      return {kNoTextFile, {}, {}, false};
    case 2:
      return {kFile, FullPathOf(TextFileArgument), kCannotOpen, true};
    case 3:
      return {kFile, FullPathOf(TextFileArgument), kIsEmpty, true};
    case 4:
      return {kAudioFailed, {}, {}, false};
    case 5:
      return {kFolder, VoiceArgument, kNoFolder, true};
    case 6:
      return {kFolder, VoiceArgument, kNoSamples, true};
    case 7:
      return {kFolder, VoiceArgument, kNoDefinitionFile, true};
    default:
      return {kDefinitionsIn, VoiceArgument, kNoValidLine, true};
  }
}

int32_t FailSetup(int32_t code) {
  Console->SetDrawColor(TNamedColor::Red);
  TFailureLine line = FailureLineFor(code);
  ShortText shown(line.before);
  if (line.hasName) shown.Append(PlatformNameToCp1250(line.name));
  shown.Append(line.after);
  PrintStatusLine(shown);
  std::string err = Cp852ToUtf8(line.before) + line.name + Cp852ToUtf8(line.after) + "\n";
  (void)!write(STDERR_FILENO, err.data(), err.size());
  if (code >= 7) FreeLoadedSamples();
  if (code >= 5) BASS_Free();
  Console->ReadKeyCode();
  return code;
}

}  // namespace

std::string FullPathOf(const std::string& path) {
  std::filesystem::path p(path);
  if (p.is_relative()) p = std::filesystem::path(CurrentDirectory()) / p;
  return p.lexically_normal().string();
}

int32_t SpeedFromArgument(std::string_view text) {
  int32_t v = 0;
  if (!TextToInteger(text, &v)) return 100;
  return v < 1 ? 1 : v > 300 ? 300 : v;
}

void ReplaceControlCharacters() {
  for (int32_t i = TextStart; i < TextStart + TextLength; ++i)
    if (TextBuffer[i] < 32 && TextBuffer[i] != 13) TextBuffer[i] = ' ';
}

int32_t LoadTextFile(const std::string& path) {
  // Opened for reading only: the file is never written, so a read-only file is read too.
  // Only a regular file is a text: a folder cannot be read and a pipe might never end.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 2;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return 2;
  }
  if (st.st_size == 0) {
    close(fd);
    return 3;
  }
  TextLength = 0;
  std::memset(TextBuffer, ' ', sizeof TextBuffer);
  bool readError = false;
  while (TextLength < kMaxTextLength) {
    int32_t want = kMaxTextLength - TextLength < kBlockSize ? kMaxTextLength - TextLength : kBlockSize;
    ssize_t n = read(fd, TextBuffer + TextStart + TextLength, static_cast<size_t>(want));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readError = true;
    if (n <= 0) break;  // the end, or a read error: what was read is kept
    TextLength += static_cast<int32_t>(n);
  }
  close(fd);
  if (TextLength == 0) return readError ? 2 : 3;
  return 0;
}

int32_t SetUpReading(int argc, const char* const* argv) {
  StatusCursor = {0, 0};
  SetupPhase = true;
  Console->SetGraphWindowSize(360, 160);
  Console->InitGraph(3, 13, "Hlasivo");
  Console->SetTextAlignment(0, 0);
  Console->SelectTextFont(20, 0, 16);
  CellWidth = 8;
  CellHeight = 16;

  Console->SetDrawColor(TNamedColor::Yellow);
  PrintStatusText("Hlasivo");
  Console->SetDrawColor(TNamedColor::White);
  PrintStatusText(kBanner);
  Console->WaitMilliseconds(111);
  PrintStatusLine({});

  Console->SetDrawColor(TNamedColor::LightGray);
  PrintStatusLine(kReadingCommandLine);
  Console->WaitMilliseconds(100);
  if (argc < 2) return FailSetup(1);
  TextFileArgument = argv[1];
  if (int32_t code = LoadTextFile(TextFileArgument)) return FailSetup(code);
  ReplaceControlCharacters();
  VoiceArgument = argc >= 3 ? argv[2] : "CZ";
  VoiceName = VoiceArgument;
  SpeedPercent = argc >= 4 ? SpeedFromArgument(argv[3]) : 100;

  PrintStatusLine(kOpeningAudio);
  Console->WaitMilliseconds(100);
  BASS_SetConfig(3, 125);
  if (!BASS_Init(1, 22050, 2, 0, nullptr)) return FailSetup(4);

  if (int32_t code = LoadVoiceBank()) return FailSetup(code);
  if (int32_t code = LoadDefinitions()) return FailSetup(code);

  while (Console->KeyWaiting()) Console->ReadKeyCode();
  Console->WaitMilliseconds(500);
  PrintStatusLine(kStartingToRead);
  Console->WaitMilliseconds(300);

  Console->CloseGraphWindow();
  Console->SetGraphWindowSize(640, 240);
  Console->InitGraph(3, 13, "Hlasivo");
  StatusCursor = {0, 0};
  SetupPhase = false;
  return 0;
}

void PrepareReading(int argc, const char* const* argv) {
  if (int32_t code = SetUpReading(argc, argv)) std::exit(code);
}

void FinishReading() {
  FreeLoadedSamples();
  if (Console->KeyWaiting()) Console->ReadKeyCode();
  BASS_Free();
  Console->CloseGraphWindow();
}

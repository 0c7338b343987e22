// The set-up and its failures, the text loading and the command-line helpers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "audio/audio_backend.h"
#include "audio/bass.h"
#include "platform/fonts/codepage1250.h"
#include "test_support.h"

namespace {

TEST(CommandLine, Speed) {
  const std::pair<const char*, int32_t> cases[] = {
      {"abc", 100}, {"0", 1},     {"-5", 1}, {"1000", 300}, {" 80", 80}, {"80 ", 100},         {"$50", 80},
      {"300", 300}, {"301", 300}, {"1", 1},  {"", 100},     {"%11", 3},  {"99999999999", 100},
  };
  for (auto& [text, speed] : cases) EXPECT_EQ(SpeedFromArgument(text), speed) << '"' << text << '"';
}

TEST(CommandLine, FullPathIsAbsoluteAndResolved) {
  std::string cwd = CurrentDirectory();
  EXPECT_EQ(FullPathOf("/a/b/../c/./d.txt"), "/a/c/d.txt");
  EXPECT_EQ(FullPathOf("x.txt"), cwd + "/x.txt");
  EXPECT_EQ(FullPathOf("./q/../x.txt"), cwd + "/x.txt");
  std::string longName(400, 'n');  // paths are never cut
  EXPECT_EQ(FullPathOf("/" + longName), "/" + longName);
}

struct TextLoading : ::testing::Test {
  TTempFolder dir;
  std::string Path(const char* name) { return (dir.path / name).string(); }
};

TEST_F(TextLoading, BytesControlCharactersAndMargins) {
  std::string bytes = "a\nb\tc\rd\x1F\x7F\xE9";
  bytes += '\0';
  WriteFileBytes(Path("t.txt"), bytes);
  ASSERT_EQ(LoadTextFile(Path("t.txt")), 0);
  ReplaceControlCharacters();
  EXPECT_EQ(TextLength, 11);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(TextBuffer) + TextStart, 11), "a b c\rd \x7F\xE9 ");
  for (int i = 0; i < TextStart; ++i) EXPECT_EQ(TextBuffer[i], ' ');
  for (int i = TextStart + 11; i < kTextBufferSize; ++i) ASSERT_EQ(TextBuffer[i], ' ') << i;
}

TEST_F(TextLoading, LongFilesKeepTheirFirst491520Bytes) {
  for (size_t size : {size_t(491520), size_t(600000), size_t(3'000'000)}) {
    std::string bytes(size, 'x');
    bytes[491519] = 'L';
    WriteFileBytes(Path("long.txt"), bytes);
    ASSERT_EQ(LoadTextFile(Path("long.txt")), 0);
    EXPECT_EQ(TextLength, 491520);
    EXPECT_EQ(TextBuffer[TextStart + 491519], 'L');
    for (int i = TextStart + 491520; i < kTextBufferSize; ++i) ASSERT_EQ(TextBuffer[i], ' ');
  }
}

TEST_F(TextLoading, WhatCannotBeReadAndWhatIsEmpty) {
  WriteFileBytes(Path("empty.txt"), "");
  WriteFileBytes(Path("ro.txt"), "read only");
  chmod(Path("ro.txt").c_str(), 0444);
  std::filesystem::create_directory(dir.path / "folder");
  EXPECT_EQ(LoadTextFile(Path("missing.txt")), 2);
  EXPECT_EQ(LoadTextFile(Path("folder")), 2);
  EXPECT_EQ(LoadTextFile("/dev/null"), 2);  // not a regular file
  EXPECT_EQ(LoadTextFile(Path("empty.txt")), 3);
  EXPECT_EQ(LoadTextFile(Path("ro.txt")), 0);  // opened for reading only
  EXPECT_EQ(TextLength, 9);
  struct stat st;
  stat(Path("ro.txt").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
}

// The set-up in a temporary current directory with a scripted window and the virtual clock.
struct ReaderSetUp : ::testing::Test {
  TScriptedConsole console;
  TConsoleScope scope{&console};
  TTempFolder dir;
  std::string oldCwd = CurrentDirectory();

  void SetUp() override {
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    SelectVirtualAudioOutput(nullptr, 1);
    WriteFileBytes(dir.path / "text.txt", "ahoj");
    std::filesystem::create_directory(dir.path / "CZ");
  }
  void TearDown() override {
    if (VirtualAudioOpen()) {
      FreeLoadedSamples();
      BASS_Free();
    }
    SampleCount = 0;
    SelectDefaultAudioOutput();
    (void)!chdir(oldCwd.c_str());
  }
  void Voice(const char* folder, int samples, std::string_view rules) {
    std::filesystem::create_directories(dir.path / folder);
    for (int i = 0; i < samples; ++i)
      WriteToneWav(dir.path / folder / ("s" + std::to_string(i) + ".wav"), 22050, 100, 100);
    if (!rules.empty()) WriteFileBytes(dir.path / folder / "sound.def", rules);
  }
  int32_t Run(std::vector<const char*> args) {
    args.insert(args.begin(), "hlasivo");
    return SetUpReading(static_cast<int>(args.size()), args.data());
  }
};

TEST_F(ReaderSetUp, EachFailureShowsItsRedLineWritesStderrAndWaitsForAKey) {
  Voice("CZ", 2, "a=s0\n");
  Voice("noSamples", 0, "a=s0\n");
  Voice("noRules", 1, "");
  Voice("noValid", 1, "\n=x\nno equals\n#1=s0\n");
  Voice("badWavs", 0, "");
  WriteFileBytes(dir.path / "badWavs" / "x.wav", "not a wav at all");
  WriteFileBytes(dir.path / "aFile", "x");
  WriteFileBytes(dir.path / "empty.txt", "");
  std::string cwd = CurrentDirectory();
  std::string absoluteVoice = cwd + "/CZ";  // always joined to the current directory
  struct TCase {
    std::vector<const char*> args;
    int32_t code;
    std::string message;  // UTF-8
  } cases[] = {
      {{}, 1, "! Nezadán žádný textový soubor ke zpracování !"},
      {{"missing.txt"}, 2, "! Soubor " + cwd + "/missing.txt nelze otevřít !"},
      {{"./x/../missing.txt"}, 2, "! Soubor " + cwd + "/missing.txt nelze otevřít !"},
      {{"CZ"}, 2, "! Soubor " + cwd + "/CZ nelze otevřít !"},
      {{"empty.txt"}, 3, "! Soubor " + cwd + "/empty.txt je prázdný !"},
      {{"text.txt", "nothere"}, 5, "! Adresář nothere se zvuky neexistuje !"},
      {{"text.txt", "aFile"}, 5, "! Adresář aFile se zvuky neexistuje !"},
      {{"text.txt", absoluteVoice.c_str()}, 5, "! Adresář " + absoluteVoice + " se zvuky neexistuje !"},
      {{"text.txt", "noSamples"}, 6, "! Adresář noSamples neobsahuje žádné použitelné zvuky !"},
      {{"text.txt", "badWavs"}, 6, "! Adresář badWavs neobsahuje žádné použitelné zvuky !"},
      {{"text.txt", "noRules"}, 7, "! Adresář noRules neobsahuje soubor s hlasovými definicemi !"},
      {{"text.txt", "noValid"}, 8, "! Soubor definic v adresáři noValid neobsahuje ani 1 platný řádek !"},
  };
  for (auto& c : cases) {
    console.drawn.clear();
    console.events.clear();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Run(c.args), c.code) << c.message;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message + "\n");
    ASSERT_FALSE(console.drawn.empty());
    EXPECT_EQ(console.drawn.back().text, fonts::Utf8ToCp1250(c.message)) << c.message;
    EXPECT_EQ(console.drawn.back().color, TNamedColor::Red);
    EXPECT_EQ(console.events.back(), "ReadKeyCode");  // the last thing: the wait for a key
    EXPECT_FALSE(VirtualAudioOpen()) << "the audio device is given back before the wait";
  }
}

TEST_F(ReaderSetUp, AFailureLineIsCutAt255BytesOnScreenOnly) {
  std::string longName(300, 'v');
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(Run({"text.txt", longName.c_str()}), 5);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "! Adresář " + longName + " se zvuky neexistuje !\n");
  EXPECT_EQ(console.drawn.back().text.size(), 255u);
}

TEST_F(ReaderSetUp, SuccessfulSetUpOpensBothWindowsWithTheFixedWaits) {
  Voice("CZ", 2, "a=s0\nh=s1,s9\n");
  console.queue.push_back('x');  // typed during set-up: discarded
  EXPECT_EQ(Run({"text.txt"}), 0);
  EXPECT_EQ(console.waitedMs, 1311);
  std::erase(console.events, "ReadKeyCode");
  ASSERT_EQ(console.events.size(), 3u);
  EXPECT_EQ(console.events[0], "InitGraph 3 13 360x160 Hlasivo");
  EXPECT_EQ(console.events[1], "CloseGraphWindow");
  EXPECT_EQ(console.events[2], "InitGraph 3 13 640x240 Hlasivo");
  EXPECT_TRUE(console.queue.empty());
  EXPECT_FALSE(SetupPhase);
  EXPECT_EQ(StatusCursor.x, 0);
  EXPECT_EQ(StatusCursor.y, 0);
  EXPECT_EQ(VoiceName.View(), "CZ");
  EXPECT_EQ(SpeedPercent, 100);
  EXPECT_EQ(SampleCount, 2);
  EXPECT_EQ(DefinitionCount, 2);
  EXPECT_EQ(DefinitionTable[1].Steps[1].SampleIndex, -1);
  std::vector<std::string> lines;
  for (auto& d : console.drawn) lines.push_back(d.text);
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Hlasivo");
  EXPECT_EQ(console.drawn[0].color, TNamedColor::Yellow);
  EXPECT_EQ(console.drawn[1].color, TNamedColor::White);
  EXPECT_EQ(console.drawn[1].x, 56);  // right after "Hlasivo"
  EXPECT_EQ(lines[2], fonts::Utf8ToCp1250("Zpracovávám příkazovou řádku ..."));
  EXPECT_EQ(console.drawn[2].color, TNamedColor::LightGray);
  EXPECT_EQ(console.drawn[2].y, 16);
  EXPECT_EQ(lines[3], fonts::Utf8ToCp1250("Inicializuji zvukové zařízení ..."));
  EXPECT_EQ(lines[4], fonts::Utf8ToCp1250("Nahrávám zvuky pro jazyk CZ ..."));
  EXPECT_EQ(lines[5], ".");
  EXPECT_EQ(lines[6], ".");
  EXPECT_EQ(console.drawn[6].x, 8);
  EXPECT_EQ(lines[7], fonts::Utf8ToCp1250("Nahrávám hlasové definice ..."));
  EXPECT_EQ(console.drawn[7].y, 16 * 5);  // below the row of dots
  EXPECT_EQ(lines[8], " > OK; 2 definic");
  EXPECT_EQ(lines.back(), fonts::Utf8ToCp1250("Zahajuji čtení textu ..."));
  for (size_t i = 2; i < console.drawn.size(); ++i) EXPECT_EQ(console.drawn[i].color, TNamedColor::LightGray);
}

TEST_F(ReaderSetUp, VoiceAndSpeedArguments) {
  Voice("Hlas", 1, "a=s0\n");
  EXPECT_EQ(Run({"text.txt", "Hlas", "$50"}), 0);
  EXPECT_EQ(VoiceName.View(), "Hlas");
  EXPECT_EQ(SpeedPercent, 80);
  FreeLoadedSamples();
  BASS_Free();
  EXPECT_EQ(Run({"text.txt", "Hlas", "0", "extra"}), 0);
  EXPECT_EQ(SpeedPercent, 1);
}

}  // namespace

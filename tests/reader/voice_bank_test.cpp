// The voice bank: which files become samples, and their names.
#include <gtest/gtest.h>

#include <set>

#include "audio/audio_backend.h"
#include "audio/bass.h"
#include "test_support.h"

namespace {

struct VoiceBank : ::testing::Test {
  TScriptedConsole console;
  TConsoleScope scope{&console};
  TTempFolder dir;
  void SetUp() override {
    SelectVirtualAudioOutput(nullptr, 1);
    ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
  }
  void TearDown() override {
    FreeLoadedSamples();
    SampleCount = 0;
    BASS_Free();
    SelectDefaultAudioOutput();
  }
  void Wav(const std::string& name) { WriteToneWav(dir.path / name, 22050, 50, 10); }
  std::set<std::string> Names() {
    std::set<std::string> s;
    for (int32_t i = 0; i < SampleCount; ++i) s.insert(std::string(SoundTable[i].Name.View()));
    return s;
  }
};

TEST_F(VoiceBank, NamesComeFromTheFileNames) {
  Wav("a.b.wav");
  Wav("\xC5\x99"
      "1.wav");  // r-caron in UTF-8: the name is R-caron in code page 1250
  Wav(".wav");
  Wav(std::string(40, 'n') + ".wav");
  Wav("UPPER.WAV");
  Wav(".hidden.wav");
  WriteFileBytes(dir.path / "junk.wav", "RIFF????WAVEjunk");
  WriteFileBytes(dir.path / "empty.wav", "");
  Wav("other.txt");
  std::filesystem::create_directory(dir.path / "folder.wav");
  EXPECT_EQ(LoadSamplesFrom(dir.path.string()), 2);  // two files could not be loaded
  EXPECT_EQ(Names(), (std::set<std::string>{"A",
                                            "\xD8"
                                            "1",
                                            "", std::string(32, 'N'), "UPPER"}));
  EXPECT_EQ(SampleCount, 6);  // .hidden.wav has the empty name too
  std::string dots;
  for (auto& d : console.drawn) dots += d.text;
  EXPECT_EQ(dots, "......");
  for (int32_t i = 0; i < SampleCount; ++i) {
    EXPECT_NE(SoundTable[i].Handle, 0u);
    EXPECT_EQ(SoundTable[i].Frequency, 22050);
    EXPECT_EQ(SoundTable[i].ByteLength, 100);
    EXPECT_EQ(SoundTable[i].Channel, 0u);
  }
}

TEST_F(VoiceBank, StopsAt512Samples) {
  for (int i = 0; i < 520; ++i) Wav("s" + std::to_string(i) + ".wav");
  LoadSamplesFrom(dir.path.string());
  EXPECT_EQ(SampleCount, 512);
}

TEST_F(VoiceBank, LoadVoiceFolderReportsWithoutAWindow) {
  UseConsole(nullptr);
  Wav("a.wav");
  Wav("b.wav");
  WriteFileBytes(dir.path / "sound.def", "a=a,b:5\nb=b,zz\n\n#x=a\nc=:1,a\n");
  TVoiceLoadReport r = LoadVoiceFolder(dir.path.string());
  EXPECT_TRUE(r.FolderFound);
  EXPECT_EQ(r.SampleCount, 2);
  EXPECT_TRUE(r.DefinitionFileOpened);
  EXPECT_EQ(r.DefinitionCount, 3);
  EXPECT_EQ(r.LinesRead, 5);
  EXPECT_EQ(r.LinesSkipped, 1);
  EXPECT_EQ(r.LinesDropped, 1);
  EXPECT_EQ(r.StepsMalformed, 1);
  EXPECT_EQ(r.StepsWithoutSample, 1);
  EXPECT_FALSE(LoadVoiceFolder((dir.path / "sound.def").string()).FolderFound);
}

}  // namespace

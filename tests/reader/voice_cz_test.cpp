// The bundled Czech voice (voices/CZ, made by voices/build-cz) as the reader sees it: loaded by
// the reader's own loader, matched by its own matcher over Czech texts, played by its own
// sequencer on the virtual clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/bass.h"
#include "test_support.h"

namespace {

const std::string kVoice = std::string(HLASIVO_SOURCE_DIR) + "/voices/CZ";
const std::string kSample = std::string(HLASIVO_SOURCE_DIR) + "/samples/ukazka.txt";
const std::string kCorpus = std::string(HLASIVO_SOURCE_DIR) + "/tests/fixtures/czech_corpus.txt";
constexpr int kRate = 22050;

std::string ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

// UTF-8 test texts as the code page 1250 bytes a text file would hold.
std::string Cp1250(std::string_view utf8) {
  static const struct {
    const char* utf8;
    char cp;
  } kMap[] = {{"ě", '\xEC'}, {"š", '\x9A'}, {"č", '\xE8'}, {"ř", '\xF8'}, {"ž", '\x9E'}, {"ý", '\xFD'},
              {"á", '\xE1'}, {"í", '\xED'}, {"é", '\xE9'}, {"ů", '\xF9'}, {"ú", '\xFA'}, {"ó", '\xF3'},
              {"ť", '\x9D'}, {"ň", '\xF2'}, {"ď", '\xEF'}, {"Ě", '\xCC'}, {"Š", '\x8A'}, {"Č", '\xC8'},
              {"Ř", '\xD8'}, {"Ž", '\x8E'}, {"Ý", '\xDD'}, {"Á", '\xC1'}, {"Í", '\xCD'}, {"É", '\xC9'},
              {"Ů", '\xD9'}, {"Ú", '\xDA'}, {"Ó", '\xD3'}, {"Ť", '\x8D'}, {"Ň", '\xD2'}, {"Ď", '\xCF'},
              {"„", '\x84'}, {"“", '\x93'}, {"–", '\x96'}, {"…", '\x85'}};
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    bool done = false;
    for (auto& m : kMap) {
      size_t n = std::strlen(m.utf8);
      if (utf8.substr(i, n) == m.utf8) {
        out += m.cp;
        i += n;
        done = true;
        break;
      }
    }
    if (!done) out += utf8[i++];
  }
  return out;
}

struct TWav {
  int channels = 0, rate = 0, bits = 0;
  std::vector<int16_t> frames;
};

// A plain PCM WAV file: the fmt chunk and the data chunk, whatever else it holds.
TWav ReadWav(const std::filesystem::path& p) {
  TWav w;
  std::string b = ReadBytes(p.string());
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
    return v;
  };
  auto u16 = [&](size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
  };
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return w;
  for (size_t at = 12; at + 8 <= b.size();) {
    uint32_t size = u32(at + 4);
    if (b.compare(at, 4, "fmt ") == 0 && at + 24 <= b.size()) {
      w.channels = u16(at + 10);
      w.rate = static_cast<int>(u32(at + 12));
      w.bits = u16(at + 22);
    } else if (b.compare(at, 4, "data") == 0) {
      for (size_t i = at + 8; i + 1 < at + 8 + size && i + 1 < b.size(); i += 2)
        w.frames.push_back(static_cast<int16_t>(u16(i)));
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

std::vector<std::filesystem::path> VoiceWavFiles() {
  std::vector<std::filesystem::path> out;
  for (auto& e : std::filesystem::directory_iterator(kVoice))
    if (e.is_regular_file() && e.path().extension() == ".wav") out.push_back(e.path());
  return out;
}

bool IsPause(std::string_view sampleName) { return sampleName.substr(0, 2) == "P_"; }

// One step of the reading as the reading loop takes it.
struct TTaken {
  int32_t position;  // from the start of the text
  int32_t rule;      // -1: nothing matched (red)
  int32_t length;
  bool missing;  // a step of the rule has no sample (yellow)
};

// Walks the loaded text the way the reading loop does, without playing.
std::vector<TTaken> WalkText() {
  std::vector<TTaken> out;
  for (int32_t p = TextStart; p - TextStart < TextLength;) {
    TMatch m = MatchRuleAt(p);
    bool missing = false;
    if (m.Rule >= 0)
      for (int s = 0; s < DefinitionTable[m.Rule].StepCount; ++s)
        missing = missing || DefinitionTable[m.Rule].Steps[s].SampleIndex < 0;
    int32_t length = m.MatchLength > 0 ? m.MatchLength : 1;
    out.push_back({p - TextStart, m.Rule, length, missing});
    p += length;
  }
  return out;
}

// The sample names the reading would play for `text` (UTF-8 here, code page 1250 when read).
std::string SpokenAs(std::string_view utf8) {
  LoadText(Cp1250(utf8));
  ReplaceControlCharacters();
  std::string out;
  for (const TTaken& t : WalkText()) {
    if (t.rule < 0) {
      out += " ?";
      continue;
    }
    const TDefinice& d = DefinitionTable[t.rule];
    for (int s = 0; s < d.StepCount; ++s) {
      out += " ";
      int32_t i = d.Steps[s].SampleIndex;
      out += i >= 0 ? std::string(SoundTable[i].Name.View()) : "!" + std::string(d.Steps[s].Name.View());
    }
  }
  return out.empty() ? out : out.substr(1);
}

class CzechVoice : public ::testing::Test {
 protected:
  TVoiceLoadReport report;
  void SetUp() override {
    SelectVirtualAudioOutput(nullptr, 1);
    ASSERT_NE(BASS_Init(1, 22050, 2, 0, nullptr), 0);
    report = LoadVoiceFolder(kVoice);
    SpeedPercent = 100;
  }
  void TearDown() override {
    FreeLoadedSamples();
    SampleCount = 0;
    DefinitionCount = 0;
    BASS_Free();
    SelectDefaultAudioOutput();
  }
};

// Every line of sound.def, for counting what the loader should have stored.
int32_t RuleLinesInFile() {
  std::string def = ReadBytes(kVoice + "/sound.def");
  int32_t lines = 0;
  size_t start = 0;
  for (size_t i = 0; i <= def.size(); ++i)
    if (i == def.size() || def[i] == '\n' || def[i] == '\r') {
      if (i > start) ++lines;
      start = i + 1;
    }
  return lines;
}

TEST_F(CzechVoice, LoaderKeepsEveryLineAndTiesEveryStepToASample) {
  ASSERT_TRUE(report.FolderFound);
  ASSERT_TRUE(report.DefinitionFileOpened);
  size_t files = VoiceWavFiles().size();
  EXPECT_LE(files, 512u);
  EXPECT_EQ(report.SampleCount, static_cast<int32_t>(files)) << "a sample file was not loaded";
  EXPECT_EQ(report.FilesNotLoaded, 0);

  EXPECT_EQ(report.LinesRead, RuleLinesInFile());
  EXPECT_EQ(report.DefinitionCount, report.LinesRead) << "a line was skipped or dropped";
  EXPECT_EQ(report.LinesSkipped, 0);
  EXPECT_EQ(report.LinesDropped, 0);
  EXPECT_EQ(report.StepsMalformed, 0);
  EXPECT_EQ(report.StepsDropped, 0);
  EXPECT_FALSE(report.RuleCapReached);
  EXPECT_LE(report.DefinitionCount, 4095);
  EXPECT_EQ(report.StepsWithoutSample, 0);
  for (int32_t r = 0; r < DefinitionCount; ++r)
    for (int s = 0; s < DefinitionTable[r].StepCount; ++s)
      EXPECT_GE(DefinitionTable[r].Steps[s].SampleIndex, 0)
          << "rule " << DefinitionTable[r].Pattern.View() << " step "
          << DefinitionTable[r].Steps[s].Name.View();

  // Two files may not share a name: the steps would reach only the first one loaded.
  std::set<std::string> names;
  for (int32_t i = 0; i < SampleCount; ++i) {
    EXPECT_TRUE(names.insert(std::string(SoundTable[i].Name.View())).second) << SoundTable[i].Name.View();
    EXPECT_EQ(SoundTable[i].Frequency, kRate) << SoundTable[i].Name.View();
  }
}

// Every character of both texts is taken by a rule whose samples all exist, and the texts really
// hold every character class the voice must cover.
TEST_F(CzechVoice, EveryCharacterOfCzechTextsIsSpokenWithoutRedOrYellow) {
  for (const std::string& path : {kCorpus, kSample}) {
    SCOPED_TRACE(path);
    std::string bytes = ReadBytes(path);
    ASSERT_EQ(LoadTextFile(path), 0);
    ReplaceControlCharacters();
    if (path == kCorpus) {
      EXPECT_GE(TextLength, 20000);
      std::string musts = Cp1250(
          "abcdefghijklmnopqrstuvwxyzěščřžýáíéúůóďťňABCDEFGHIJKLMNOPRSTUVWXZĚŠČŘŽÝÁÍÉÚŮÓĎŤŇ"
          "0123456789 \r.,!?:;()\"'„“–-…[]");
      for (char c : musts)
        EXPECT_NE(bytes.find(c), std::string::npos) << "the corpus lacks byte " << (c & 0xFF);
    }
    int reported = 0;
    for (const TTaken& t : WalkText()) {
      if ((t.rule >= 0 && !t.missing) || ++reported > 20) continue;
      ADD_FAILURE() << (t.rule < 0 ? "red" : "yellow") << " at " << t.position << ": ..."
                    << bytes.substr(t.position > 15 ? t.position - 15 : 0, 30) << "...";
    }
    EXPECT_EQ(reported, 0);
  }
}

// What Czech spelling turns into: softening, ě, ch, diphthongs, y, final devoicing, foreign
// letters, digits, punctuation and line ends, upper case through the loader.
TEST_F(CzechVoice, CzechSpellingBecomesTheRightUnits) {
  struct {
    const char* text;
    const char* units;
  } cases[] = {
      {"dítě", "DJII TJE"},
      {"nic tu", "NJI K_C P_MEZERA TU"},
      {"dy ty ny", "DI P_MEZERA TI P_MEZERA NI"},
      {"běh", "BJE K_CH P_MEZERA"},
      {"pěna věda", "PJE NA P_MEZERA VJE DA"},
      {"město", "MNJE K_S TO"},
      {"chata", "CHA TA"},
      {"c h", "K_C P_MEZERA K_CH P_MEZERA"},
      {"mouka auto eura", "MOU KA P_MEZERA AU TO P_MEZERA EU RA"},
      {"být", "BII K_T"},
      {"led, hrad byl", "LE K_T P_CARKA K_H RA K_T P_MEZERA BI K_L"},
      {"Quido wifi xylofon", "K_K VI DO P_MEZERA VI FI P_MEZERA K_K SI LO FO K_N"},
      {"ŽLUŤOUČKÝ KŮŇ", "K_ZX LU TJOU K_CX KII P_MEZERA KUU K_NJ"},
      {"kůň úpěl ódy", "KUU K_NJ P_MEZERA UU PJE K_L P_MEZERA OO DI"},
      {"42", "CISLO4 P_KRATKA CISLO2"},
      {"3,5", "CISLO3 P_KRATKA CISLO5"},
      {"Ano? Ne! Jo", "A NO P_VETA NE P_VETA JO"},
      // The line-end rule '<,< ' also takes a comma, a quote and a blank: the quote is silent anyway.
      {"„Ahoj,“ řekl", "P_KRATKA A HO K_J P_CARKA P_MEZERA RXE K_K K_L"},
      {"Konec.\r\n\r\nDalší", "KO NE K_C P_VETA P_ODSTAVEC DA K_L SXII"},
      {"Ano,\r\nne", "A NO P_CARKA P_MEZERA NE"},
      {"kde všechno", "K_G DE P_MEZERA K_F SXE K_CH NO"},
      {"zkouška", "K_S KOU K_SX KA"},
      {"byl v lese", "BI K_L P_MEZERA K_V LE SE"},
      {"sám (jistě) ano", "SAA K_M P_MEZERA P_KRATKA JI K_S TJE P_KRATKA P_MEZERA A NO"},
      // A one-letter word right after a mark looks like a line end to '<,< ': it must be heard.
      {"ano,a ne", "A NO P_CARKA A P_MEZERA NE"},
      {"Tak.A pak", "TA K_K P_VETA A P_MEZERA PA K_K"},
      {"x,y a z", "K_K K_S P_CARKA I P_MEZERA A P_MEZERA K_Z"},
      {"(a)b c", "P_KRATKA A P_KRATKA K_P P_MEZERA K_C"},
      {"dal.\r\nA pak", "DA K_L P_VETA P_MEZERA A P_MEZERA PA K_K"},
      {"dal.\r\n\r\nV lese", "DA K_L P_VETA P_ODSTAVEC K_V LE SE"},
      {"ne.“\r\nO nic", "NE P_VETA P_MEZERA O P_MEZERA NJI K_C"},
  };
  for (auto& c : cases) EXPECT_EQ(SpokenAs(c.text), c.units) << c.text;
}

// Text positions a pattern compares with a literal, counted from the reading position.
std::vector<bool> LiterallyCompared(std::string_view pattern, int32_t length) {
  std::vector<bool> out(static_cast<size_t>(length), false);
  int32_t shift = 0;
  for (int32_t j = 1; j <= static_cast<int32_t>(pattern.size()); ++j) {
    char c = pattern[j - 1];
    if (c == '<') {
      shift = -1;
      continue;
    }
    if (c == '%' || c == '_' || c == '#' || c == '@') break;  // context only from here on
    int32_t at = j - 1 + shift;
    if (pattern.size() > 1 && at >= 0 && at < length) out[static_cast<size_t>(at)] = true;
  }
  if (pattern.size() == 1) out[0] = true;
  return out;
}

// Whether `c` read alone plays nothing but pauses (a closing quote, a bracket).
bool IsSilentAlone(uint8_t c) {
  uint8_t buffer[64];
  std::memset(buffer, ' ', sizeof buffer);
  buffer[TextStart] = c;
  TMatch m = MatchRuleIn(buffer, TextStart, DefinitionTable, DefinitionCount);
  if (m.Rule < 0) return false;
  for (int s = 0; s < DefinitionTable[m.Rule].StepCount; ++s)
    if (!IsPause(DefinitionTable[m.Rule].Steps[s].Name.View())) return false;
  return true;
}

// A rule that skips a text position (the '<' of the line-end rules) must only ever skip a
// carriage return, which no literal can match, or a mark that is only a pause: anything else
// it skips is a sound lost.
TEST_F(CzechVoice, RulesSkipOnlyCarriageReturnsAndPauses) {
  std::vector<std::string> texts = {ReadBytes(kCorpus), ReadBytes(kSample),
                                    Cp1250("Tak.A pak, ano,a ne; x,y a z (a)b c!O „Ne“a tak\r\n"
                                           "Ano.\r\nA pak,\r\n\r\nv lese.“\r\nI tak.“\r\n\r\nO nic\r\n")};
  for (const std::string& bytes : texts) {
    LoadText(bytes);
    ReplaceControlCharacters();
    int reported = 0;
    for (const TTaken& t : WalkText()) {
      if (t.rule < 0) continue;
      std::vector<bool> compared = LiterallyCompared(DefinitionTable[t.rule].Pattern.View(), t.length);
      for (int32_t i = 0; i < t.length; ++i) {
        uint8_t c = TextBuffer[TextStart + t.position + i];
        if (compared[static_cast<size_t>(i)] || c == 13 || t.position + i >= TextLength ||
            IsSilentAlone(c))
          continue;
        if (++reported <= 20)
          ADD_FAILURE() << "rule " << DefinitionTable[t.rule].Pattern.View() << " skips byte "
                        << int(c) << " at " << t.position + i << ": ..."
                        << bytes.substr(t.position > 15 ? t.position - 15 : 0, 30) << "...";
      }
    }
    EXPECT_EQ(reported, 0);
  }
}

// The samples themselves: the format the reader expects, no silence at the edges of a speech
// unit, matched loudness, and pauses that are silence.
TEST(CzechVoiceSamples, SpeechUnitsAreTrimmedAndEquallyLoud) {
  std::vector<std::filesystem::path> files = VoiceWavFiles();
  ASSERT_FALSE(files.empty());
  double quietest = 1e9, loudest = -1e9;
  std::string quietestName, loudestName;
  for (auto& f : files) {
    SCOPED_TRACE(f.filename().string());
    TWav w = ReadWav(f);
    EXPECT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, kRate);
    EXPECT_EQ(w.bits, 16);
    ASSERT_FALSE(w.frames.empty());
    std::string name = f.stem().string();
    for (auto& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    if (IsPause(name)) {
      for (int16_t v : w.frames) ASSERT_EQ(v, 0);
      continue;
    }
    constexpr int kSilence = 33;              // -60 dBFS
    constexpr size_t kMaxEdge = kRate / 100;  // 10 ms
    size_t lead = 0, trail = 0;
    while (lead < w.frames.size() && std::abs(w.frames[lead]) < kSilence) ++lead;
    while (trail < w.frames.size() && std::abs(w.frames[w.frames.size() - 1 - trail]) < kSilence) ++trail;
    EXPECT_LE(lead, kMaxEdge);
    EXPECT_LE(trail, kMaxEdge);
    // A short fade: the first and last frames are near zero, so joins do not click.
    EXPECT_LT(std::abs(w.frames.front()), 1000);
    EXPECT_LT(std::abs(w.frames.back()), 1000);
    double sum = 0;
    for (int16_t v : w.frames) sum += static_cast<double>(v) * v;
    double db = 20 * std::log10(std::sqrt(sum / w.frames.size()) / 32768.0);
    if (db < quietest) quietest = db, quietestName = name;
    if (db > loudest) loudest = db, loudestName = name;
  }
  EXPECT_LE(loudest - quietest, 2.0) << loudestName << " " << loudest << " dB, " << quietestName << " "
                                     << quietest << " dB";
}

// Speech steps overlap by a few milliseconds (about their fade out), pauses not at all.
TEST_F(CzechVoice, SpeechStepsOverlapByAFewMilliseconds) {
  for (int32_t r = 0; r < DefinitionCount; ++r)
    for (int s = 0; s < DefinitionTable[r].StepCount; ++s) {
      const TSoub& step = DefinitionTable[r].Steps[s];
      ASSERT_GE(step.SampleIndex, 0);
      const TZvuk& z = SoundTable[step.SampleIndex];
      double ms = OverlapBytes(step.OverlapPercent, z.ByteLength) / 2 * 1000.0 / kRate;
      if (IsPause(z.Name.View())) {
        EXPECT_EQ(step.OverlapPercent, 0) << DefinitionTable[r].Pattern.View();
      } else {
        EXPECT_GE(ms, 2.0) << DefinitionTable[r].Pattern.View() << " " << z.Name.View();
        EXPECT_LE(ms, 15.0) << DefinitionTable[r].Pattern.View() << " " << z.Name.View();
      }
      EXPECT_EQ(step.VolumePercent, 100);
      EXPECT_EQ(step.RatePercent, 100);
    }
}

// Played by the reading loop on the virtual clock, a run of syllables has no gap: no stretch of
// silence longer than 10 ms from its first sound to its last.
TEST_F(CzechVoice, SyllablesJoinWithoutGaps) {
  TScriptedConsole console;
  TConsoleScope scope(&console);
  std::string word = Cp1250("nejneobhospodařovávatelnějšímistrčprstskrzkrk");
  LoadText(word);
  uint64_t from = GetVirtualClockFrame();
  ReadAloud();
  AdvanceVirtualClock(kRate);  // let the last sample play out
  std::vector<int16_t> out = GetVirtualOutput();
  size_t first = from, last = out.size();
  while (first < out.size() && std::abs(out[first]) < 33) ++first;
  while (last > first && std::abs(out[last - 1]) < 33) --last;
  ASSERT_LT(first, last);
  size_t run = 0, longest = 0;
  for (size_t i = first; i < last; ++i) {
    run = std::abs(out[i]) < 33 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_LE(longest, static_cast<size_t>(kRate / 100)) << "a gap of " << longest * 1000.0 / kRate << " ms";
  EXPECT_EQ(console.Colors(), std::string(word.size(), 'W'));
}

// The bundled text read to its end by the reading loop on the virtual clock: every character
// echoed in white. How long it sounds at speed 100 is reported as the property "seconds".
TEST_F(CzechVoice, SampleTextIsReadToItsEndInWhite) {
  TScriptedConsole console;
  TConsoleScope scope(&console);
  ASSERT_EQ(LoadTextFile(kSample), 0);
  ReplaceControlCharacters();
  ReadAloud();
  uint64_t loopEnded = GetVirtualClockFrame();
  AdvanceVirtualClock(5 * kRate);  // the samples still playing play out
  std::vector<int16_t> out = GetVirtualOutput();
  size_t soundEnded = out.size();
  while (soundEnded > 0 && out[soundEnded - 1] == 0) --soundEnded;
  std::string expected;
  for (int32_t i = TextStart; i < TextStart + TextLength; ++i)
    if (TextBuffer[i] != 13) expected += static_cast<char>(TextBuffer[i]);
  std::string colors = console.Colors();
  EXPECT_EQ(colors.find_first_not_of('W'), std::string::npos) << colors;
  // Every character but the carriage returns (which start a new row) is drawn; the last rule
  // may take in some of the blanks after the text.
  std::string drawn = console.Text();
  ASSERT_GE(drawn.size(), expected.size());
  EXPECT_EQ(drawn.substr(0, expected.size()), expected);
  EXPECT_EQ(drawn.find_first_not_of(' ', expected.size()), std::string::npos);
  double seconds = static_cast<double>(loopEnded) / kRate;
  std::printf("ukazka.txt at speed 100: the reading loop ends after %.1f s, the last sound at %.1f s\n",
              seconds, static_cast<double>(soundEnded) / kRate);
  RecordProperty("seconds", std::to_string(seconds));
  EXPECT_GT(seconds, 10.0);
}

}  // namespace

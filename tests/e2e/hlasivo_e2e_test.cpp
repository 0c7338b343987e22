// The real hlasivo under the test's X server, with SDL's disk audio driver: what is heard, what
// is shown, the keys, the close box and every set-up failure.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "e2e_support.h"

namespace {

using namespace e2e;

constexpr int kRate = 22050;
constexpr int kFewMs = kRate * 3 / 1000;  // joins are checked to within 3 ms

// A voice folder "CZ" (or `voice`) in `dir` with these samples (name, ms, level) and rules.
void MakeVoice(const fs::path& dir, std::vector<std::tuple<std::string, int, int>> samples,
               std::string_view rules, const std::string& voice = "CZ") {
  fs::create_directories(dir / voice);
  for (auto& [name, ms, level] : samples) WriteTone(dir / voice / (name + ".wav"), ms, level, 441);
  WriteBytes(dir / voice / "sound.def", rules);
}

// The first frame from `from` on whose level is near `level` (the tones wobble by 100).
int64_t FirstAt(const std::vector<int16_t>& a, int level, int64_t from = 0) {
  for (int64_t i = std::max<int64_t>(from, 0); i < static_cast<int64_t>(a.size()); ++i)
    if (std::abs(a[i] - level) <= 250) return i;
  return -1;
}

// The capture as runs of levels ("2000x1764 7000x441 ..."), silence left out, for messages.
std::string Segments(const std::vector<int16_t>& a) {
  std::string s;
  size_t i = 0;
  while (i < a.size()) {
    size_t j = i;
    while (j < a.size() && std::abs(a[j] - a[i]) <= 250) ++j;
    if (std::abs(a[i]) > 250) s += std::to_string(a[i] / 100 * 100) + "x" + std::to_string(j - i) + " ";
    i = j;
  }
  return s;
}

TEST(Hlasivo, ReadsTheSamplesInRuleOrderJoinedWhereTheOverlapsSay) {
  TTemp t;
  // A then B 80 % into A; C when B ends; the last A when C is 50 % of B's length from its end.
  // A silent sample at the end keeps the program alive while a slow device (SDL's disk driver
  // on a busy machine) writes out the rest: the capture ends when the program does.
  MakeVoice(t.path, {{"a", 100, 2000}, {"b", 100, 5000}, {"c", 60, 9000}, {"q", 2000, 0}},
            "ab=a:20,b\na=a\nc=c:-50\n.=q\n");
  WriteBytes(t.path / "text.txt", "abca.");
  TProgram p;
  ASSERT_TRUE(p.Start(t.path, {"text.txt", "CZ", "100"}));
  ASSERT_EQ(p.Wait(40), 0) << "stderr: " << p.Stderr();
  EXPECT_EQ(p.Stderr(), "");
  EXPECT_EQ(p.Stdout(), "");
  auto audio = p.Audio();
  int64_t a1 = FirstAt(audio, 2000);
  ASSERT_GE(a1, 0) << "no sound captured";
  int64_t b = FirstAt(audio, 7000, a1);
  int64_t c = FirstAt(audio, 9000, b);
  int64_t a2 = FirstAt(audio, 11000, c);
  ASSERT_GE(b, 0) << Segments(audio);
  ASSERT_GE(c, 0) << Segments(audio);
  ASSERT_GE(a2, 0) << Segments(audio);
  EXPECT_NEAR(b - a1, kRate * 80 / 1000, kFewMs);
  EXPECT_NEAR(c - b, kRate * 100 / 1000, kFewMs);
  EXPECT_NEAR(a2 - c, (2646 - 2205) / 2, kFewMs);
}

TEST(Hlasivo, EchoColoursPauseEchoSwitchAndEsc) {
  TTemp t;
  MakeVoice(t.path, {{"a", 120, 3000}, {"b", 120, 6000}}, "a=a\nb=b\nx=zz\n");
  std::string text = "abxc";
  for (int i = 0; i < 150; ++i) text += "ab";
  WriteBytes(t.path / "text.txt", text);
  TProgram p;
  TDisplay x;
  ASSERT_TRUE(x.d);
  ASSERT_TRUE(p.Start(t.path, {"text.txt"}));
  ASSERT_NE(x.FindWindow(p.pid, 360, 160, 40), 0u) << "the set-up window is 360 x 160";
  Window w = x.FindWindow(p.pid, 640, 240, 40);
  ASSERT_NE(w, 0u) << "the reading window is 640 x 240";

  // Until the reading window is first painted it may still show the set-up window's pixels.
  TImage img = ShotWhen(
      x, w, [](const TImage& i) { return RowColors(i, 0, 4) == "WWYR"; }, 30);
  EXPECT_EQ(RowColors(img, 0, 4), "WWYR");  // played, played, sample missing, no rule

  auto drawnCells = [](const TImage& i) {
    int n = 0;
    for (int row = 0; row < 15; ++row)
      for (int c = 0; c < 80; ++c) n += CellColor(i, c, row) != '.';
    return n;
  };
  // Space pauses: the echo stands still.
  ASSERT_TRUE(Key(w, "space"));
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  int paused = drawnCells(x.Shot(w));
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_EQ(drawnCells(x.Shot(w)), paused);
  // Space again resumes.
  ASSERT_TRUE(Key(w, "space"));
  img = ShotWhen(x, w, [&](const TImage& i) { return drawnCells(i) >= paused + 3; });
  EXPECT_GE(drawnCells(img), paused + 3);
  // Enter hides the echo while reading goes on; Enter again brings it back on a new row with "...".
  ASSERT_TRUE(Key(w, "Return"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  int hidden = drawnCells(x.Shot(w));
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_EQ(drawnCells(x.Shot(w)), hidden);
  ASSERT_TRUE(Key(w, "Return"));
  img = ShotWhen(x, w, [](const TImage& i) { return RowColors(i, 1, 3) == "WWW"; });
  EXPECT_EQ(RowColors(img, 1, 3), "WWW");
  // The dots sit at the bottom of their cells.
  int upperPixels = 0;
  for (int y = 16; y < 24; ++y)
    for (int xx = 0; xx < 24; ++xx) upperPixels += (img.At(xx, y) & 0xFFFFFF) != 0;
  EXPECT_EQ(upperPixels, 0) << "the upper half of the \"...\" cells holds nothing but background";

  PressKey(w, "Escape");
  EXPECT_EQ(p.Wait(5), 0);
  EXPECT_EQ(p.Stderr(), "");
  // The pause is a stretch of silence of about a second between samples that otherwise join.
  auto audio = p.Audio();
  int64_t first = FirstAt(audio, 3000), longest = 0, run = 0;
  for (int64_t i = std::max<int64_t>(first, 0); i < static_cast<int64_t>(audio.size()); ++i) {
    run = audio[i] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_GE(longest, kRate * 8 / 10);
}

TEST(Hlasivo, ClosingTheWindowEndsTheReading) {
  TTemp t;
  MakeVoice(t.path, {{"a", 150, 3000}}, "a=a\n");
  WriteBytes(t.path / "text.txt", std::string(100, 'a'));  // 15 s of reading
  TProgram p;
  TDisplay x;
  ASSERT_TRUE(p.Start(t.path, {"text.txt"}));
  Window w = x.FindWindow(p.pid, 640, 240);
  ASSERT_NE(w, 0u);
  ShotWhen(x, w, [](const TImage& i) { return CellColor(i, 0, 0) == 'W'; });
  x.AskToClose(w);
  EXPECT_EQ(p.Wait(10), 0);  // long before the 15 s of text
}

TEST(Hlasivo, EachSetUpFailureShowsItsRedLineAndEndsWithItsCodeAfterAKey) {
  struct TCase {
    int code;
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string message;  // UTF-8, the path filled in below
    int row;              // of the red line
  };
  std::vector<TCase> cases = {
      {1, {}, {}, "! Nezadán žádný textový soubor ke zpracování !", 2},
      {2, {"chybí.txt"}, {}, "! Soubor @/chybí.txt nelze otevřít !", 2},
      {3, {"empty.txt"}, {}, "! Soubor @/empty.txt je prázdný !", 2},
      {4, {"text.txt"}, {"SDL_AUDIODRIVER=no-such-driver"}, "! Chyba při inicializaci zvuku !", 3},
      {5, {"text.txt", "nothere"}, {}, "! Adresář nothere se zvuky neexistuje !", 4},
      {6, {"text.txt", "bad"}, {}, "! Adresář bad neobsahuje žádné použitelné zvuky !", 5},
      {7, {"text.txt", "norules"}, {}, "! Adresář norules neobsahuje soubor s hlasovými definicemi !", 6},
      {8, {"text.txt", "junk"}, {}, "! Soubor definic v adresáři junk neobsahuje ani 1 platný řádek !", 6},
  };
  std::vector<TTemp> dirs(cases.size());
  std::vector<TProgram> runs(cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    const fs::path& d = dirs[i].path;
    WriteBytes(d / "text.txt", "ahoj");
    WriteBytes(d / "empty.txt", "");
    MakeVoice(d, {}, "", "bad");
    WriteBytes(d / "bad" / "fake.wav", "RIFF\x10\0\0\0WAVEdata");
    fs::remove(d / "bad" / "sound.def");
    MakeVoice(d, {{"a", 50, 1000}}, "", "norules");
    fs::remove(d / "norules" / "sound.def");
    MakeVoice(d, {{"a", 50, 1000}},
              "\n=a\n#x=a\n\x1A"
              "a=a\n",
              "junk");
    auto& m = cases[i].message;
    if (size_t at = m.find('@'); at != std::string::npos) m.replace(at, 1, d.string());
    ASSERT_TRUE(runs[i].Start(d, cases[i].args, cases[i].env));
  }
  TDisplay x;
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("exit code " + std::to_string(cases[i].code));
    const pid_t pid = runs[i].pid;
    Window w = x.FindWindow(pid, 360, 160, 40);
    ASSERT_NE(w, 0u) << "no set-up window of 360 x 160 of pid " << pid << "; windows: " << x.DescribeWindows()
                     << "; the program ended with " << runs[i].Wait(0) << ", stderr: " << runs[i].Stderr();
    const int row = cases[i].row;
    TImage img = ShotWhen(
        x, w,
        [&](const TImage& im) {
          std::string c = RowColors(im, row, 45);
          return std::count(c.begin(), c.end(), 'R') >= 10;
        },
        30);
    std::string colors = RowColors(img, row, 45);
    EXPECT_GE(std::count(colors.begin(), colors.end(), 'R'), 10) << colors;
    EXPECT_EQ(colors.find_first_not_of("R."), std::string::npos) << colors;
    EXPECT_EQ(RowColors(img, row + 1, 45), std::string(45, '.'));
    // It waits for a key.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(waitpid(runs[i].pid, nullptr, WNOHANG), 0) << "ended without waiting for a key";
    // The close box ends the wait as a key does.
    if (cases[i].code == 8)
      x.AskToClose(w);
    else
      PressKey(w, "x");
    EXPECT_EQ(runs[i].Wait(5), cases[i].code);
    EXPECT_EQ(runs[i].Stderr(), cases[i].message + "\n");
    EXPECT_EQ(runs[i].Stdout(), "");
  }
}

// Files the program may not touch: everything in the folder but the harness's own files.
std::map<std::string, fs::file_time_type> Snapshot(const fs::path& dir) {
  std::map<std::string, fs::file_time_type> s;
  for (auto& e : fs::recursive_directory_iterator(dir)) {
    std::string name = e.path().filename().string();
    if (name == "stderr.txt" || name == "stdout.txt" || name == "audio.raw") continue;
    s[e.path().string()] = fs::last_write_time(e.path());
  }
  return s;
}

TEST(Hlasivo, BadInputIsReadOrRefusedWithoutCrashHangOrWrite) {
  TTemp t;
  std::string rules = std::string(100000, 'q') + "=a\n";              // a very long line
  rules += std::string(40, 'n') + "=" + std::string(40, 'm') + "\n";  // 40-character names
  rules += "a=a:99999999999,a:-2147483648,a:$FFFFFFFF,,::\n===\n";
  for (int i = 0; i < 5000; ++i) rules += "z" + std::to_string(i) + "=a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r\n";
  MakeVoice(t.path,
            {{"a", 30, 2000},
             {"\xC5\x99"
              "ada",
              30, 3000}},
            rules);
  WriteTone(t.path / "CZ" / "A.1.wav", 30, 4000);  // a duplicate name
  WriteBytes(t.path / "CZ" / "not.wav", std::string(5000, '\x7F'));
  std::string binary;
  for (uint32_t i = 0; i < 700000; ++i) binary += static_cast<char>((i * 7919u) >> 3);
  WriteBytes(t.path / "binární.txt", binary);
  chmod((t.path / "binární.txt").c_str(), 0444);
  auto before = Snapshot(t.path);
  TProgram p;
  TDisplay x;
  ASSERT_TRUE(p.Start(t.path, {"binární.txt", "CZ", "99999"}));
  Window w = x.FindWindow(p.pid, 640, 240);
  ASSERT_NE(w, 0u);
  ShotWhen(x, w, [](const TImage& i) { return CellColor(i, 5, 0) != '.'; });
  PressKey(w, "Escape");
  EXPECT_EQ(p.Wait(5), 0);
  EXPECT_EQ(p.Stderr(), "");
  EXPECT_EQ(Snapshot(t.path), before);

  // A folder as the text, and a file as the voice folder.
  fs::create_directory(t.path / "folder.txt");
  WriteBytes(t.path / "voicefile", "x");
  for (auto& [args, code] : std::vector<std::pair<std::vector<std::string>, int>>{
           {{"folder.txt"}, 2}, {{"binární.txt", "voicefile"}, 5}}) {
    TProgram q;
    ASSERT_TRUE(q.Start(t.path, args));
    Window sw = x.FindWindow(q.pid, 360, 160);
    ASSERT_NE(sw, 0u);
    ShotWhen(x, sw, [](const TImage& i) {
      for (int row = 2; row < 6; ++row)
        if (CellColor(i, 3, row) == 'R') return true;
      return false;
    });
    PressKey(sw, "x");
    EXPECT_EQ(q.Wait(5), code);
  }
}

}  // namespace

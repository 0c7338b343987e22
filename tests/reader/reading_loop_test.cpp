// The reading loop with scripted keys on the virtual clock: echo colours, pause, echo switch,
// Esc, Alt+D and the window's close.
#include "audio_fixture.h"

namespace {

struct ReadingLoop : VirtualVoice {
  // Samples of 220 frames: A at level 1000, B at 2000.
  void SetUp() override {
    OpenVoice({{"a", 220, 1000}, {"b", 220, 2000}});
    Rules("a=a\nb=b\nx=zz\nab=a,b\n");
    console.maxX = 639;
    console.maxY = 239;
    StatusCursor = {0, 0};
    SetupPhase = false;
  }
  void Read(std::string_view text) {
    LoadText(text);
    ReadAloud();
    ASSERT_FALSE(console.runaway);
  }
  // Starts `codes` once the loop has been paused for `polls` polls.
  void KeysWhilePaused(uint64_t polls, std::vector<uint8_t> codes) {
    auto seen = std::make_shared<uint64_t>(0);
    auto frame = std::make_shared<uint64_t>(~0ull);
    console.onPoll = [=](TScriptedConsole& c) {
      // Paused passes move no audio time at all.
      uint64_t now = GetVirtualClockFrame();
      *seen = now == *frame ? *seen + 1 : 0;
      *frame = now;
      if (*seen == polls)
        for (uint8_t k : codes) c.queue.push_back(k);
    };
  }
};

TEST_F(ReadingLoop, EchoColoursAndPlayedOrder) {
  Read("ab\rxcab");
  // Rules are tried in file order: 'a' comes before 'ab', so rule 'ab' is never chosen.
  EXPECT_EQ(console.Text(),
            "ab"
            "xcab");
  EXPECT_EQ(console.Colors(), "WWYRWW");  // x: sample missing; c: no rule; CR: red, new row
  EXPECT_EQ(console.drawn[2].y, 16);
  EXPECT_EQ(console.drawn[2].x, 0);
  EXPECT_EQ(Runs(GetVirtualOutput()), "1000x220 2000x220 1000x220 2000x220");
}

TEST_F(ReadingLoop, SpaceWhilePlayingLosesTheRestOfTheRuleThenResumes) {
  Rules("ab=a,b\n");
  console.KeyAtFrame(50, {' '});
  KeysWhilePaused(1000, {' '});
  Read("abab");
  EXPECT_EQ(console.Text(), "abab");
  // The first rule lost its B; reading went on at the next rule.
  EXPECT_EQ(Runs(GetVirtualOutput()), "1000x440 2000x220");
}

TEST_F(ReadingLoop, EnterTwiceHidesTheEchoAndResumesOnANewRowWithDots) {
  console.KeyAtFrame(50, {13});
  console.KeyAtFrame(50 + 220 + 50, {13});
  Read("abab");
  EXPECT_EQ(console.Text(), "a...ab");
  EXPECT_EQ(console.Colors(), "WWWWWW");
  ASSERT_EQ(console.drawn.size(), 4u);
  EXPECT_EQ(console.drawn[1].text, "...");
  EXPECT_EQ(console.drawn[1].x, 0);
  EXPECT_EQ(console.drawn[1].y, 16);
  EXPECT_EQ(console.drawn[2].x, 24);
  EXPECT_EQ(Runs(GetVirtualOutput()), "1000x220 2000x220 1000x220 2000x220");  // all still played
}

TEST_F(ReadingLoop, EscWhilePlayingStillReadsOneMoreRule) {
  console.KeyAtFrame(50, {27});
  Read("abab");
  EXPECT_EQ(console.Text(), "ab");
}

TEST_F(ReadingLoop, EscWhilePausedEndsWithoutAnotherStep) {
  console.KeyAtFrame(50, {' '});
  KeysWhilePaused(100, {27});
  Read("abab");
  EXPECT_EQ(console.Text(), "a");
}

TEST_F(ReadingLoop, AltDPausesLikeSpace) {
  console.KeyAtFrame(50, {0, 32});
  KeysWhilePaused(100, {27});
  Read("abab");
  EXPECT_EQ(console.Text(), "a");
}

TEST_F(ReadingLoop, CloseWhilePlayingDrawsTheRuleAndEnds) {
  console.KeyAtFrame(50, {0, 107});
  console.closeAtFrame = 50;
  Read("abab");
  EXPECT_EQ(console.Text(), "a");
  AdvanceVirtualClock(1000);
  EXPECT_EQ(Runs(GetVirtualOutput()), "1000x220");  // A plays to its end, nothing after
}

TEST_F(ReadingLoop, ShortTextsAndBlanksPastTheEnd) {
  Read("a");
  EXPECT_EQ(console.Text(), "a");
  console.drawn.clear();
  Rules("a  =a\n");  // literal blanks: consumes past the end of the text
  Read("a");
  EXPECT_EQ(console.Text(), "a  ");
  console.drawn.clear();
  Read("q");  // no rule at all
  EXPECT_EQ(console.Text(), "q");
  EXPECT_EQ(console.Colors(), "R");
}

}  // namespace

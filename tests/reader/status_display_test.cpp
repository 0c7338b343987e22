// The status display: cursor movement by cells, wrapping, clearing at the bottom.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

struct StatusDisplay : ::testing::Test {
  TScriptedConsole console;
  TConsoleScope scope{&console};
  void SetUp() override {
    console.maxX = 359;
    console.maxY = 159;
    StatusCursor = {0, 0};
    CellWidth = 8;
    CellHeight = 16;
    SetupPhase = false;
  }
};

TEST_F(StatusDisplay, FortyFiveCellsFillARow) {
  for (int i = 0; i < 44; ++i) PrintStatusText("x");
  EXPECT_EQ(StatusCursor.x, 352);
  EXPECT_EQ(StatusCursor.y, 0);
  PrintStatusText("x");  // ends at 360, past 359
  EXPECT_EQ(StatusCursor.x, 0);
  EXPECT_EQ(StatusCursor.y, 16);
  PrintStatusText("y");
  EXPECT_EQ(console.drawn.back().x, 0);
  EXPECT_EQ(console.drawn.back().y, 16);
}

TEST_F(StatusDisplay, LongTextIsDrawnWholeAndTheNextStartsBelow) {
  StatusCursor = {320, 32};
  PrintStatusText("0123456789");
  ASSERT_EQ(console.drawn.size(), 1u);
  EXPECT_EQ(console.drawn[0].x, 320);
  EXPECT_EQ(console.drawn[0].text, "0123456789");
  EXPECT_EQ(StatusCursor.x, 0);
  EXPECT_EQ(StatusCursor.y, 48);
}

TEST_F(StatusDisplay, CarriageReturnAloneStartsARowOtherwiseIsDrawn) {
  PrintStatusText("ab");
  PrintStatusText("\r");
  EXPECT_EQ(StatusCursor.x, 0);
  EXPECT_EQ(StatusCursor.y, 16);
  PrintStatusText("a\rb");
  EXPECT_EQ(console.drawn.back().text, "a\rb");
  EXPECT_EQ(StatusCursor.x, 24);
  EXPECT_EQ(console.drawn.size(), 2u);  // the lone CR drew nothing
}

TEST_F(StatusDisplay, EmptyTextsMoveOnlyWhereTheyShould) {
  StatusCursor = {40, 16};
  PrintStatusText("");
  EXPECT_EQ(StatusCursor.x, 40);
  EXPECT_EQ(StatusCursor.y, 16);
  PrintStatusLine("");
  EXPECT_EQ(StatusCursor.x, 0);
  EXPECT_EQ(StatusCursor.y, 32);
  for (auto& d : console.drawn) EXPECT_TRUE(d.text.empty());
}

TEST_F(StatusDisplay, TenthLineClearsTheSetupWindow) {
  for (int i = 1; i <= 9; ++i) PrintStatusLine("line");
  EXPECT_EQ(console.clears, 0);
  EXPECT_EQ(StatusCursor.y, 144);
  PrintStatusLine("tenth");
  EXPECT_EQ(console.drawn.back().y, 144);
  EXPECT_EQ(console.clears, 1);
  EXPECT_EQ(StatusCursor.y, 0);
  PrintStatusLine("next");
  EXPECT_EQ(console.drawn.back().y, 0);
}

TEST_F(StatusDisplay, FifteenRowsInTheReadingWindowAndWrapClears) {
  console.maxX = 639;
  console.maxY = 239;
  for (int row = 0; row < 15; ++row)
    for (int i = 0; i < 80; ++i) PrintStatusText("x");
  EXPECT_EQ(console.clears, 1);
  EXPECT_EQ(StatusCursor.x, 0);
  EXPECT_EQ(StatusCursor.y, 0);
  EXPECT_EQ(console.drawn.back().y, 224);
}

TEST_F(StatusDisplay, TextsPassThroughTheDisplayConversion) {
  SetupPhase = true;
  PrintStatusLine("\xA0");
  PrintStatusText("\xD8");
  SetupPhase = false;
  PrintStatusText("\xD8");
  EXPECT_EQ(console.drawn[0].text, "\xE1");
  EXPECT_EQ(console.drawn[1].text, "\xEC");
  EXPECT_EQ(console.drawn[2].text, "\xD8");
}

}  // namespace

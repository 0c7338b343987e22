// sound.def: lines, steps, parameters, the marker test, the caps, and the resolution of step
// names to samples.
#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

// A rule as a compact text: PATTERN=NAME(overlap/volume/rate),...
std::string Describe(const TDefinice& d) {
  std::string s(d.Pattern.View());
  s += '=';
  for (int i = 0; i < d.StepCount; ++i) {
    const TSoub& st = d.Steps[i];
    if (i) s += ',';
    s += std::string(st.Name.View()) + "(" + std::to_string(st.OverlapPercent) + "/" +
         std::to_string(st.VolumePercent) + "/" + std::to_string(st.RatePercent) + ")";
  }
  return s;
}

std::string OneLine(std::string_view line) {
  LoadRules(line);
  if (DefinitionCount == 0) return "skipped";
  EXPECT_EQ(DefinitionCount, 1);
  return Describe(DefinitionTable[0]);
}

struct TLineCase {
  const char* line;
  const char* rule;
};

TEST(DefinitionFile, LinesAndStepsAsStored) {
  const TLineCase cases[] = {
      {"ch=c:12,h:5080120,x", "CH=C(12/100/100),H(5/80/120),X(0/100/100)"},
      {"a=", "skipped"},
      {"=a", "skipped"},
      {"====", "skipped"},
      {"no equals sign", "skipped"},
      {"", "skipped"},
      {"abcdefghijklmnopqrst=x", "ABCDEFGHIJKLMNOP=X(0/100/100)"},
      {"#1=x", "skipped"},
      {"#=x", "#=X(0/100/100)"},
      {"<%a=x", "skipped"},
      {"<<a=x", "skipped"},
      {"<a=x", "<A=X(0/100/100)"},
      {"a#=x", "A#=X(0/100/100)"},
      {"_a=x", "skipped"},
      {"ab:c=x", "AB:C=X(0/100/100)"},
      {"a=b=c", "A=B=C(0/100/100)"},
      {"a=b,c,", "A=B(0/100/100),C(0/100/100)"},
      {"a=bc:7", "A=BC(7/100/100)"},
      {"a=b:7", "A=B(7/100/100)"},
      {"a=x:150", "A=X(99/100/100)"},
      {"a=x:-150", "A=X(-99/100/100)"},
      {"a=x:-20", "A=X(-20/100/100)"},
      {"a=x:1000", "A=X(1/1/100)"},
      {"a=x:5250", "A=X(5/200/100)"},
      {"a=x:5000000", "A=X(5/1/1)"},
      {"a=x:2147483647", "A=X(99/200/647)"},
      {"a=x:$10", "A=X(16/100/100)"},
      {"a= x", "A= X(0/100/100)"},
      {"a=,b:5", "A=(0/100/100),B(5/100/100)"},  // ',' before a ':' at 3: empty plain step
      {"a=,:5,c", "A=C(0/100/100)"},
      // Malformed steps are skipped one item at a time; the rest of the line stays.
      {"a=b,,c", "A=B(0/100/100),C(0/100/100)"},
      {"a=b:,c", "A=C(0/100/100)"},
      {"a=b:x,c", "A=C(0/100/100)"},
      {"a=b:5 ,c", "A=C(0/100/100)"},
      {"a=:5,c", "A=C(0/100/100)"},
      {"a=b:", "skipped"},
      {"a=,", "skipped"},
      {"a=x\xE8:3", "A=X\xC8(3/100/100)"},  // c-caron upper-cased with the line
  };
  for (const auto& c : cases) EXPECT_EQ(OneLine(c.line), c.rule) << c.line;
}

TEST(DefinitionFile, LongNamesAndManySteps) {
  std::string name40(40, 'n');
  EXPECT_EQ(OneLine("a=" + name40 + ",b"), "A=" + std::string(32, 'N') + "(0/100/100),B(0/100/100)");
  EXPECT_EQ(OneLine("a=" + name40 + ":3"), "A=" + std::string(32, 'N') + "(3/100/100)");
  std::string many = "a=";
  for (int i = 0; i < 20; ++i) many += "s" + std::to_string(i) + ",";
  LoadRules(many);
  ASSERT_EQ(DefinitionCount, 1);
  EXPECT_EQ(DefinitionTable[0].StepCount, 16);
  EXPECT_EQ(DefinitionTable[0].Steps[15].Name.View(), "S15");
}

TEST(DefinitionFile, LineEndsLengthAndCtrlZ) {
  LoadRules("a=1\rb=2\r\nc=3\nd=4");
  ASSERT_EQ(DefinitionCount, 4);
  EXPECT_EQ(DefinitionTable[3].Pattern.View(), "D");
  // A CR LF split over two chunks is still one line end.
  {
    TDefinitionReader reader;
    reader.Feed("a=1\r", 4);
    reader.Feed("\nb=2\r", 5);
    reader.Feed("\r\n", 2);
    reader.Finish();
    EXPECT_EQ(DefinitionCount, 2);
    EXPECT_EQ(reader.Report().LinesRead, 3);
  }
  // Past 255 bytes a line is cut: the '=' at byte 300 is gone.
  LoadRules(std::string(300, 'a') + "=x\nb=y");
  ASSERT_EQ(DefinitionCount, 1);
  EXPECT_EQ(DefinitionTable[0].Pattern.View(), "B");
  // A step list reaching past 255 bytes keeps its first part.
  LoadRules("a=" + std::string(300, 'x'));
  ASSERT_EQ(DefinitionCount, 1);
  EXPECT_EQ(DefinitionTable[0].Steps[0].Name.View(), std::string(32, 'X'));
  // Ctrl-Z at a line start ends the file; elsewhere it is an ordinary byte.
  LoadRules(
      "a=1\n\x1A"
      "b=2\nc=3");
  EXPECT_EQ(DefinitionCount, 1);
  LoadRules("a=1\x1A\nc=3");
  ASSERT_EQ(DefinitionCount, 2);
  EXPECT_EQ(DefinitionTable[0].Steps[0].Name.View(), "1\x1A");
}

TEST(DefinitionFile, SkippedLinesRefillTheSameEntryAndCapAt4095) {
  LoadRules("a=x,y,z\n#1=q\nb=w");
  ASSERT_EQ(DefinitionCount, 2);
  EXPECT_EQ(Describe(DefinitionTable[1]), "B=W(0/100/100)");
  EXPECT_EQ(DefinitionTable[2].StepCount, 0);  // nothing left behind by the dropped line
  std::string file;
  for (int i = 0; i < 5000; ++i) file += "p" + std::to_string(i) + "=s\n";
  TDefinitionReader reader;
  EXPECT_FALSE(reader.Feed(file.data(), file.size()));
  reader.Finish();
  EXPECT_EQ(DefinitionCount, 4095);
  EXPECT_TRUE(reader.Report().RuleCapReached);
  EXPECT_EQ(DefinitionTable[4094].Pattern.View(), "P4094");
  EXPECT_EQ(DefinitionTable[4095].StepCount, 0);
}

TEST(DefinitionFile, StepsResolveToTheFirstSampleOfTheirName) {
  SampleCount = 4;
  const char* names[] = {"C", "H", "A", "H"};
  for (int i = 0; i < 4; ++i) SoundTable[i] = TZvuk{names[i], static_cast<uint32_t>(i + 1), 0, 22050, 100};
  LoadRules("ch=c:12,h:5080120,x\na=a,h, h");
  ResolveStepSamples();
  EXPECT_EQ(DefinitionTable[0].Steps[0].SampleIndex, 0);
  EXPECT_EQ(DefinitionTable[0].Steps[1].SampleIndex, 1);
  EXPECT_EQ(DefinitionTable[0].Steps[2].SampleIndex, -1);
  EXPECT_EQ(DefinitionTable[1].Steps[0].SampleIndex, 2);
  EXPECT_EQ(DefinitionTable[1].Steps[1].SampleIndex, 1);   // not the later H at 3
  EXPECT_EQ(DefinitionTable[1].Steps[2].SampleIndex, -1);  // " H" is another name
  SampleCount = 0;
}

TEST(DefinitionFile, FilesThatCannotBeReadAsRuleFiles) {
  TTempFolder dir;
  TDefinitionReport report;
  EXPECT_FALSE(ReadDefinitionFile((dir.path / "missing.def").string(), &report));
  std::filesystem::create_directory(dir.path / "folder.def");
  EXPECT_FALSE(ReadDefinitionFile((dir.path / "folder.def").string(), &report));
  WriteFileBytes(dir.path / "binary.def", std::string("\0\x01\xFF=\x80\0\0ab=c\x1A", 13));
  EXPECT_TRUE(ReadDefinitionFile((dir.path / "binary.def").string(), &report));
}

}  // namespace

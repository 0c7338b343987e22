// TextToInteger and the character tables.
#include <gtest/gtest.h>

#include "reader/czech_text.h"
#include "test_support.h"

namespace {

struct TNumberCase {
  const char* text;
  bool ok;
  int32_t value;
};

TEST(TextToInteger, BasesSignsBlanksAndRange) {
  const TNumberCase cases[] = {
      {"0", true, 0},
      {"80", true, 80},
      {"  \t80", true, 80},
      {"80 ", false, 0},
      {"+7", true, 7},
      {"-5", true, -5},
      {"+-5", false, 0},
      {"- 5", false, 0},
      {"$50", true, 80},
      {"0x1f", true, 31},
      {"0X1F", true, 31},
      {"-$10", true, -16},
      {"%101", true, 5},
      {"%102", false, 0},
      {"&17", true, 15},
      {"&8", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"abc", false, 0},
      {"12a", false, 0},
      {"2147483647", true, 2147483647},
      {"2147483648", false, 0},
      {"-2147483648", true, INT32_MIN},
      {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"$FFFFFFFF", true, -1},
      {"$80000000", true, INT32_MIN},
      {"$100000000", false, 0},
      {"%11111111111111111111111111111111", true, -1},
      {"&37777777777", true, -1},
      {"000000000000000000012", true, 12},
  };
  for (const auto& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(TextToInteger(c.text, &v), c.ok) << '"' << c.text << '"';
    if (c.ok) {
      EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
  }
}

TEST(CharTables, DisplayConversionOnlyDuringSetup) {
  SetupPhase = false;
  EXPECT_EQ(ToDisplayCharset("\xA0\xD8").View(), "\xA0\xD8");
  SetupPhase = true;
  EXPECT_EQ(ToDisplayCharset("\xA0\xD8").View(), "\xE1\xEC");
  // A code-1250 e-acute in a path is the code-852 U-acute; ASCII never changes.
  EXPECT_EQ(ToDisplayCharset("/tmp/\xE9.txt").View(), "/tmp/\xDA.txt");
  // Each position is mapped once: 0xD8 -> 0xEC, although 0xEC is itself a code-852 letter.
  std::string all852(reinterpret_cast<const char*>(Cp852Letters), 30);
  EXPECT_EQ(ToDisplayCharset(all852).View(), std::string(reinterpret_cast<const char*>(Cp1250Letters), 30));
  SetupPhase = false;
}

TEST(CharTables, UpperCaseCzFoldsAsciiAndCzechLowerCaseOnly) {
  EXPECT_EQ(UpperCaseCz("ch").View(), "CH");
  EXPECT_EQ(UpperCaseCz("").View(), "");
  std::string lower(reinterpret_cast<const char*>(CzLowerLetters), 15);
  std::string upper(reinterpret_cast<const char*>(CzUpperLetters), 15);
  EXPECT_EQ(UpperCaseCz(lower).View(), upper);
  EXPECT_EQ(UpperCaseCz(upper).View(), upper);  // never folds down
  // a-umlaut, o-umlaut, l-caron stay; so do digits and punctuation.
  EXPECT_EQ(UpperCaseCz("\xE4\xF6\xBE"
                        "1.{")
                .View(),
            "\xE4\xF6\xBE"
            "1.{");
  for (int b = 0; b < 256; ++b) {
    uint8_t u = UpperCaseCzByte(static_cast<uint8_t>(b));
    bool folds = (b >= 'a' && b <= 'z') || lower.find(static_cast<char>(b)) != std::string::npos;
    EXPECT_EQ(u != b, folds) << b;
  }
}

TEST(CharTables, CharacterClasses) {
  const std::string punctuation = "!\"'(),.:;?[]";
  for (int b = 0; b < 256; ++b) {
    uint8_t c = static_cast<uint8_t>(b);
    EXPECT_EQ(InPunctuationSet(c), punctuation.find(static_cast<char>(b)) != std::string::npos) << b;
    EXPECT_EQ(InDigitSet(c), b >= '0' && b <= '9') << b;
    EXPECT_EQ(InNonZeroDigitSet(c), b >= '1' && b <= '9') << b;
  }
}

TEST(CharTables, MessagesAreCp852AndComeBackAsUtf8) {
  constexpr czech::Cp852Text text("! Chyba při inicializaci zvuku !");
  EXPECT_EQ(text.View(),
            "! Chyba p\xFD"
            "i inicializaci zvuku !");
  EXPECT_EQ(Cp852ToUtf8(text), "! Chyba při inicializaci zvuku !");
  constexpr czech::Cp852Text all("ěščřžýáíéůúóťňďĚŠČŘŽÝÁÍÉŮÚÓŤŇĎ");
  EXPECT_EQ(all.View(), std::string(reinterpret_cast<const char*>(Cp852Letters), 30));
}

}  // namespace

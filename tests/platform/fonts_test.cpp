// Code page 1250, family look-up, font metrics and glyph coverage, on the real installed fonts.
#include "platform/fonts/fonts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/fonts/codepage1250.h"

namespace {

using fonts::Font;
using fonts::FontRequest;

// "Žluťoučký kůň" in code page 1250.
const std::string kYellowHorse = "\x8Elu\x9Dou\xE8k\xFD k\xF9\xF2";
const char* const kStandardFaces[] = {"Courier New",     "System", "MS Sans Serif",
                                      "Times New Roman", "Arial",  "Lucida Console"};

std::shared_ptr<const Font> MakeFont(const std::string& face, int height, int weight = 400,
                                     int escapement = 0) {
  FontRequest request;
  request.faceName = face;
  request.height = height;
  request.weight = weight;
  request.escapement = escapement;
  return Font::Create(request);
}

TEST(CodePage1250, MapsCzechAndSpecialBytes) {
  struct Case {
    uint8_t byte;
    char32_t code;
  } cases[] = {
      {'A', U'A'},       {0x80, U'\u20AC'}, {0x8A, U'Š'}, {0x8D, U'Ť'},      {0x8E, U'Ž'},      {0x9A, U'š'},
      {0x9D, U'ť'},      {0x9E, U'ž'},      {0xA0, 0xA0}, {0xC1, U'Á'},      {0xC8, U'Č'},      {0xCF, U'Ď'},
      {0xCC, U'Ě'},      {0xD2, U'Ň'},      {0xD8, U'Ř'}, {0xD9, U'Ů'},      {0xDD, U'Ý'},      {0xE8, U'č'},
      {0xEC, U'ě'},      {0xEF, U'ď'},      {0xF2, U'ň'}, {0xF8, U'ř'},      {0xF9, U'ů'},      {0xFD, U'ý'},
      {0xFF, U'\u02D9'}, {0x81, 0x81},      {0x98, 0x98}, {0x84, U'\u201E'}, {0x93, U'\u201C'},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fonts::Cp1250ToUnicode(c.byte), c.code) << int(c.byte);
    uint8_t back = 0;
    EXPECT_TRUE(fonts::UnicodeToCp1250(c.code, &back)) << int(c.byte);
    EXPECT_EQ(back, c.byte);
  }
}

TEST(CodePage1250, EveryByteRoundTripsAndCodesAreDistinct) {
  std::set<char32_t> seen;
  for (int b = 0; b < 256; ++b) {
    const char32_t code = fonts::Cp1250ToUnicode(uint8_t(b));
    EXPECT_TRUE(seen.insert(code).second) << "byte " << b << " repeats a code point";
    uint8_t back = 0;
    ASSERT_TRUE(fonts::UnicodeToCp1250(code, &back)) << b;
    EXPECT_EQ(back, b);
  }
}

TEST(CodePage1250, CharactersOutsideTheCodePageAreRefused) {
  for (char32_t code : {char32_t(0xF1) /* ñ */, char32_t(0xE5) /* å */, char32_t(0x4E00), char32_t(0x1F600),
                        char32_t(0x0400)}) {
    uint8_t byte = 0x55;
    EXPECT_FALSE(fonts::UnicodeToCp1250(code, &byte)) << uint32_t(code);
    EXPECT_EQ(byte, 0);
  }
}

TEST(CodePage1250, Utf8Conversions) {
  EXPECT_EQ(fonts::Utf8ToCp1250("Žluťoučký kůň"), kYellowHorse);
  EXPECT_EQ(fonts::Cp1250ToUtf8(kYellowHorse), "Žluťoučký kůň");
  EXPECT_EQ(fonts::Utf8ToCp1250("a\xC5"), "a?");  // cut sequence
  EXPECT_EQ(fonts::Utf8ToCp1250("\xFF"
                                "b\xC5"
                                "b"),
            "?b?b");                                             // bad lead byte, bad continuation
  EXPECT_EQ(fonts::Utf8ToCp1250("x\xE4\xB8\x80y", '_'), "x_y");  // U+4E00 not in the code page
}

TEST(Families, LookupDoesNotAcceptSubstitutes) {
  EXPECT_TRUE(fonts::HasFamily("Liberation Sans"));
  EXPECT_TRUE(fonts::HasFamily("liberation mono"));
  EXPECT_TRUE(fonts::HasFamily("DejaVu Sans Mono"));
  EXPECT_FALSE(fonts::HasFamily("Hlasivo Nonexistent Grotesk"));
  EXPECT_FALSE(fonts::HasFamily(""));
  EXPECT_FALSE(fonts::FaceAvailable("Hlasivo Nonexistent Grotesk"));
  for (const char* face : kStandardFaces) EXPECT_TRUE(fonts::FaceAvailable(face)) << face;
  EXPECT_EQ(fonts::MapFaceName("arial"), "Liberation Sans");
  EXPECT_EQ(fonts::MapFaceName("Liberation Serif"), "Liberation Serif");
}

TEST(Families, StandardFacesLoadTheirMappedFamilies) {
  struct Case {
    const char* face;
    const char* family;
  } cases[] = {{"Courier New", "Liberation Mono"},
               {"System", "DejaVu Sans"},
               {"MS Sans Serif", "DejaVu Sans Condensed"},
               {"Times New Roman", "Liberation Serif"},
               {"Arial", "Liberation Sans"},
               {"Lucida Console", "DejaVu Sans Mono"}};
  for (const Case& c : cases) {
    EXPECT_EQ(fonts::MapFaceName(c.face), c.family);
    for (int weight : {400, 700}) {
      auto font = MakeFont(c.face, 16, weight);
      ASSERT_TRUE(font);
      EXPECT_EQ(font->FaceName(), c.face);  // what the caller asked for is what it reads back
      EXPECT_EQ(fonts::MapFaceName(font->FamilyName()), c.family) << c.face << " " << weight;
    }
  }
}

TEST(Fonts, MissingFamilyStillGivesAFont) {
  auto font = MakeFont("Hlasivo Nonexistent Grotesk", 16);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->FaceName(), "Hlasivo Nonexistent Grotesk");
  EXPECT_EQ(font->Metrics().height, 16);
  EXPECT_GT(font->TextWidth("abc"), 0);
}

TEST(Fonts, PositiveHeightIsTheCellHeight) {
  for (const char* face : kStandardFaces) {
    for (int height : {6, 8, 16, 23, 40}) {
      auto font = MakeFont(face, height);
      ASSERT_TRUE(font) << face;
      const fonts::FontMetrics& m = font->Metrics();
      EXPECT_EQ(m.height, height) << face << " " << height;
      EXPECT_EQ(m.ascent + m.descent, m.height);
      EXPECT_GT(m.ascent, m.descent) << face << " " << height;
      EXPECT_GT(m.averageCharWidth, 0);
      EXPECT_GE(m.maxCharWidth, m.averageCharWidth);
      EXPECT_TRUE(m.trueType);
    }
  }
  EXPECT_EQ(MakeFont("Arial", 0)->Metrics().height, fonts::kDefaultCellHeight);
}

TEST(Fonts, NegativeHeightIsTheEmHeight) {
  auto em = MakeFont("Arial", -16);
  const fonts::FontMetrics& m = em->Metrics();
  EXPECT_GT(m.height, 16);  // the cell adds the internal leading to the em
  EXPECT_EQ(m.internalLeading, m.height - 16);
  EXPECT_LT(MakeFont("Arial", 16)->TextWidth("Hlasivo"), em->TextWidth("Hlasivo"));
}

int InkOf(const Font& font, const std::string& text) {
  int ink = 0;
  for (char ch : text) {
    const fonts::GlyphBitmap& g = font.Glyph(uint8_t(ch), false);
    for (int i = 0; i < g.width * g.rows; ++i) ink += g.coverage[i] != 0;
  }
  return ink;
}

TEST(Fonts, WeightAndPitch) {
  // Bold is wider in proportional faces, as wide in monospaced ones, and heavier in both.
  const std::string text = "Hlasivo HLASIVO";
  for (const char* face : kStandardFaces) {
    auto normal = MakeFont(face, 16, 400), bold = MakeFont(face, 16, 700), black = MakeFont(face, 16, 1000);
    if (normal->Metrics().fixedPitch) {
      EXPECT_EQ(bold->TextWidth(text), normal->TextWidth(text)) << face;
    } else {
      EXPECT_GT(bold->TextWidth(text), normal->TextWidth(text)) << face;
      EXPECT_GE(black->TextWidth(text), bold->TextWidth(text)) << face;
    }
    EXPECT_GT(InkOf(*bold, text), InkOf(*normal, text)) << face;
  }
  auto mono = MakeFont("Courier New", 16);
  EXPECT_TRUE(mono->Metrics().fixedPitch);
  EXPECT_EQ(mono->Advance('i'), mono->Advance('W'));
  EXPECT_EQ(mono->Advance('i'), mono->Advance(0xF9 /* ů */));
  auto sans = MakeFont("Arial", 16);
  EXPECT_FALSE(sans->Metrics().fixedPitch);
  EXPECT_LT(sans->Advance('i'), sans->Advance('W'));
}

// How far the ink of a glyph's upper half lies right of its lower half's, in pixels.
double Lean(const fonts::GlyphBitmap& g) {
  double sum[2] = {0, 0}, count[2] = {0, 0};
  for (int y = 0; y < g.rows; ++y)
    for (int x = 0; x < g.width; ++x)
      if (g.coverage[y * g.width + x]) {
        const int half = y < g.rows / 2 ? 0 : 1;
        sum[half] += x;
        count[half] += 1;
      }
  return sum[0] / count[0] - sum[1] / count[1];
}

TEST(Fonts, ItalicSlantsEveryStandardFace) {
  for (const char* face : kStandardFaces) {
    FontRequest request;
    request.faceName = face;
    request.height = 24;
    auto upright = Font::Create(request);
    request.italic = true;
    auto italic = Font::Create(request);
    EXPECT_TRUE(italic->Metrics().italic);
    EXPECT_GT(Lean(italic->Glyph('l', false)) - Lean(upright->Glyph('l', false)), 1.0) << face;
  }
}

TEST(Fonts, CzechLettersHaveRealGlyphsInEveryStandardFace) {
  const std::string alphabet = fonts::Utf8ToCp1250("ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž") + kYellowHorse;
  for (const char* face : kStandardFaces) {
    auto font = MakeFont(face, 16);
    for (char ch : alphabet) {
      const uint8_t b = uint8_t(ch);
      EXPECT_TRUE(font->HasGlyph(b)) << face << " byte " << int(b);
      if (b == ' ') continue;
      for (bool smooth : {false, true}) {
        const fonts::GlyphBitmap& g = font->Glyph(b, smooth);
        int ink = 0;
        for (int i = 0; i < g.width * g.rows; ++i) ink += g.coverage[i] != 0;
        EXPECT_GT(ink, 0) << face << " byte " << int(b);
      }
    }
    // The accents are drawn: a letter with a caron or ring differs from the plain letter.
    for (auto [plain, accented] :
         {std::pair<char, uint8_t>{'Z', 0x8E}, {'u', 0xF9}, {'t', 0x9D}, {'n', 0xF2}}) {
      const fonts::GlyphBitmap& a = font->Glyph(uint8_t(plain), false);
      const fonts::GlyphBitmap& b = font->Glyph(accented, false);
      EXPECT_TRUE(a.rows != b.rows || a.top != b.top || a.width != b.width) << face << " " << plain;
    }
  }
}

TEST(Fonts, ExtentAddsCharacterAndBreakExtras) {
  auto font = MakeFont("Arial", 16);
  const int plain = font->TextWidth("a b c");
  EXPECT_EQ(font->TextWidth("a b c", 2), plain + 5 * 2);
  EXPECT_EQ(font->TextWidth("a b c", 0, 4, 1), plain + 2 * 4);  // every blank gets the whole extra
  EXPECT_EQ(font->TextWidth("a b c d", 0, 5, 3), font->TextWidth("a b c d") + 5);
  EXPECT_EQ(font->TextWidth(""), 0);
  struct Case {
    int index, extra, count, expected;
  } cases[] = {{0, 5, 3, 2}, {1, 5, 3, 2},   {2, 5, 3, 1},  {0, 4, 1, 4},
               {0, 7, 0, 0}, {0, -5, 3, -2}, {2, -5, 3, -1}};
  for (const Case& c : cases)
    EXPECT_EQ(fonts::BreakExtraAt(c.index, c.extra, c.count), c.expected)
        << c.index << " " << c.extra << " " << c.count;
}

TEST(Fonts, EqualRequestsShareOneFont) {
  auto a = MakeFont("Arial", 16, 700);
  auto b = MakeFont("Arial", 16, 700);
  EXPECT_EQ(a.get(), b.get());
  EXPECT_NE(a.get(), MakeFont("Arial", 16, 400).get());
}

}  // namespace

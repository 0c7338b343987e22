// The matcher: first rule in file order, consumed length, markers and look-behind.
#include <gtest/gtest.h>

#include "test_support.h"

namespace {

struct TMatchCase {
  const char* text;
  int offset;  // from the start of the text
  int rule;    // 1-based as in the rule list, 0 for none
  int length;
};

void Expect(std::string_view rules, std::initializer_list<TMatchCase> cases) {
  LoadRules(rules);
  for (const auto& c : cases) {
    LoadText(c.text);
    TMatch m = MatchRuleAt(TextStart + c.offset);
    EXPECT_EQ(m.Rule + 1, c.rule) << '"' << c.text << "\" at " << c.offset << " with\n" << rules;
    EXPECT_EQ(m.MatchLength, c.length) << '"' << c.text << "\" at " << c.offset;
  }
}

TEST(TextMatcher, WorkedExamples) {
  Expect("CH=x\n<A%=x\nA_=x\nA=x\nT=x\n1@0=x\n", {
                                                     {"chata.", 0, 1, 2},
                                                     {"chata.", 2, 2, 1},
                                                     {"chata.", 3, 5, 1},
                                                     {"chata.", 4, 3, 1},
                                                     {"chata.", 5, 0, 0},
                                                     {"150", 0, 6, 1},
                                                     {"105", 0, 0, 0},
                                                 });
  // Order is priority: with C first, CH is never chosen.
  Expect("C=x\nCH=x\n", {{"chata", 0, 1, 1}});
}

TEST(TextMatcher, EdgesOfTheTextAndCase) {
  Expect("<X=x\nB%=x\nC_=x\nD#=x\nE@=x\nF =x\nCH=x\n\xC8=x\n",
         {
             {"x", 0, 1, 1},  // before the text: a blank, not punctuation
             {"b", 0, 0, 0},  // '%' fails on the blank after the text
             {"c", 0, 0, 0},
             {"d", 0, 0, 0},
             {"e", 0, 0, 0},
             {"f", 0, 6, 2},  // a literal blank matches past the end
             {"Ch", 0, 7, 2},
             {"cH", 0, 7, 2},
             {"\xE8", 0, 8, 1},  // c-caron matches C-caron
             {"b\r", 0, 2, 1},   // CR passes '%'
             {"(x", 1, 0, 0},    // '<' fails after punctuation
         });
}

TEST(TextMatcher, MarkersAndLookBehindAnywhere) {
  Expect("A<B=x\nAB<=x\n%=x\n<=x\n", {
                                         {"zABq", 1, 1, 3},  // three consumed though two compared
                                         {"ABq", 0, 1, 3},
                                         {"%", 0, 3, 1},  // one-character patterns are literal
                                         {"<", 0, 4, 1},
                                         {"a", 0, 0, 0},
                                     });
  Expect("AB<=x\n", {{"AB", 0, 0, 0}, {"ABC", 0, 0, 0}});  // ends in '<': never
  Expect("AB%C=x\n", {{"ABXC", 0, 1, 2}, {"AB.C", 0, 0, 0}, {"ABXD", 0, 0, 0}});
}

TEST(TextMatcher, NoRules) { Expect("", {{"abc", 0, 0, 0}}); }

}  // namespace

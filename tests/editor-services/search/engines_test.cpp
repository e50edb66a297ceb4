// The plain and the regular-expression search engines on single lines.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "editor-services/search/plain_search.h"
#include "editor-services/search/regex_search.h"
#include "platform/ansi.h"

namespace {

std::vector<int> Hits(TSrcEditSearchCustom& e, const AnsiString& line) {
  std::vector<int> r;
  int n = e.FindAll(line);
  for (int i = 0; i < n; ++i) r.push_back(e.GetResult(i));
  return r;
}

std::vector<int> PlainHits(const AnsiString& pattern, const AnsiString& line, TSrcSearchOptions o = {}) {
  TSrcEditSearch e(nullptr);
  e.SetOptions(o);
  e.SetPattern(pattern);
  return Hits(e, line);
}

// Leftmost non-overlapping occurrences, compared through the Windows-1251 lower case when
// case does not count, whole words bounded by anything but letters, digits and "_".
std::vector<int> Reference(const AnsiString& pattern, const AnsiString& line, bool matchCase, bool wholeWord) {
  AnsiString p = matchCase ? pattern : AnsiLowerCase(pattern);
  AnsiString t = matchCase ? line : AnsiLowerCase(line);
  auto word = [](char c) { return IsCharAlphaNumeric(c) || c == '_'; };
  std::vector<int> r;
  size_t from = 0;
  while (true) {
    size_t i = t.find(p, from);
    if (i == AnsiString::npos) break;
    bool ok = !wholeWord || ((i == 0 || !word(line[i - 1])) && (i + p.size() >= line.size() || !word(line[i + p.size()])));
    if (ok) {
      r.push_back(static_cast<int>(i) + 1);
      from = i + p.size();
    } else {
      from = i + 1;
    }
  }
  return r;
}

}  // namespace

TEST(PlainSearch, OccurrencesDoNotOverlapAndShortLinesHaveNone) {
  EXPECT_EQ(PlainHits("aa", "aaaa"), (std::vector<int>{1, 3}));
  EXPECT_EQ(PlainHits("abcab", "abcabcab"), (std::vector<int>{1}));
  EXPECT_EQ(PlainHits("abab", "xabababab"), (std::vector<int>{2, 6}));  // last letter earlier in it
  EXPECT_TRUE(PlainHits("abc", "ab").empty());
  EXPECT_TRUE(PlainHits("abc", "").empty());
  EXPECT_EQ(PlainHits("x", "x"), (std::vector<int>{1}));
  // Bytes that a C string cannot hold are plain characters here.
  AnsiString nul("a\0b", 3), ff("\xFF\xFF", 2);
  EXPECT_EQ(PlainHits(nul, AnsiString("xa\0ba\0b", 7)), (std::vector<int>{2, 5}));
  EXPECT_EQ(PlainHits(ff, "\xFF\xFF\xFF\xFF\xFF"), (std::vector<int>{1, 3}));
  // Blanks only.
  EXPECT_EQ(PlainHits("  ", "a     b"), (std::vector<int>{2, 4}));
}

TEST(PlainSearch, LettersOfTheCodePageMatchTheirOtherCase) {
  AnsiString word = W1251("привет");
  AnsiString line = W1251("ПРИВЕТ, Привет и привет; ёЛКА Ёлка");
  EXPECT_EQ(PlainHits(word, line), (std::vector<int>{1, 9, 18}));
  EXPECT_EQ(PlainHits(word, line, {soMatchCase}), (std::vector<int>{18}));
  EXPECT_EQ(PlainHits(W1251("ЁЛКА"), line).size(), 2u);
  EXPECT_EQ(PlainHits("Word", "word WORD"), (std::vector<int>{1, 6}));
}

TEST(PlainSearch, WholeWordsEndAtBlanksPunctuationAndLineEnds) {
  TSrcSearchOptions w{soWholeWord};
  EXPECT_EQ(PlainHits("ab", "ab", w), (std::vector<int>{1}));
  EXPECT_EQ(PlainHits("ab", "ab x,ab ab", w), (std::vector<int>{1, 6, 9}));
  EXPECT_TRUE(PlainHits("ab", "abc xab ab1 _ab ab_", w).empty());
  // A Cyrillic letter is part of a word.
  EXPECT_TRUE(PlainHits("ab", W1251("abж жab"), w).empty());
  EXPECT_EQ(PlainHits(W1251("да"), W1251("Да, дание да"), w), (std::vector<int>{1, 11}));
  // A failed whole-word window does not hide a later one that overlaps it.
  EXPECT_EQ(PlainHits("aa", "aaa aa", w), (std::vector<int>{5}));
}

TEST(PlainSearch, AgreesWithAPlainScanOnRandomLines) {
  // Small alphabets make repeats, so every shift and look-at distance is exercised; patterns
  // reach past 255 characters.
  std::mt19937 rng(7);
  const std::string alpha = "abAB \xE0\xC0_1,";
  auto gen = [&](int len) {
    std::string s;
    for (int i = 0; i < len; ++i) s += alpha[rng() % alpha.size()];
    return s;
  };
  TSrcEditSearch e(nullptr);
  for (int round = 0; round < 3000; ++round) {
    int plen = 1 + static_cast<int>(rng() % (round % 50 == 0 ? 300 : 6));
    std::string p = gen(plen), line = gen(static_cast<int>(rng() % 400));
    if (round % 3 == 0 && line.size() > p.size()) line.replace(rng() % (line.size() - p.size()), p.size(), p);
    bool mc = rng() % 2, ww = rng() % 2;
    TSrcSearchOptions o;
    if (mc) o.Include(soMatchCase);
    if (ww) o.Include(soWholeWord);
    e.SetOptions(o);
    e.SetPattern(p);
    ASSERT_EQ(Hits(e, line), Reference(p, line, mc, ww)) << "pattern [" << p << "] line [" << line << "] " << mc << ww;
    EXPECT_EQ(e.GetLength(5), plen);
  }
}

TEST(PlainSearch, EmptyPatternAndResultsOutsideTheList) {
  TSrcEditSearch e(nullptr);
  e.SetPattern("");
  EXPECT_THROW(
      {
        try {
          e.FindAll("text");
        } catch (const Exception& x) {
          EXPECT_EQ(x.Message(), "Pattern is empty");
          throw;
        }
      },
      Exception);
  e.SetPattern("t");
  EXPECT_EQ(e.FindAll("tot"), 2);
  EXPECT_EQ(e.Count(), 2);
  EXPECT_EQ(e.GetResult(2), 0);
  EXPECT_EQ(e.GetResult(-1), 0);
  EXPECT_EQ(e.Replace("t", "xyz"), "xyz");
  e.SetPattern("t");  // setting the pattern again starts the count anew
  EXPECT_EQ(e.Count(), 0);
}

TEST(RegexSearch, MatchesInOrderAndLetterCaseByOption) {
  TSrcEditRegexSearch e(nullptr);
  e.SetPattern(W1251("д[а-я]+"));
  e.SetOptions({});
  AnsiString line = W1251("ДОМ дым Дверь");
  ASSERT_EQ(e.FindAll(line), 3);
  EXPECT_EQ(e.GetResult(0), 1);
  EXPECT_EQ(e.GetLength(0), 3);
  EXPECT_EQ(e.GetResult(2), 9);
  EXPECT_EQ(e.GetLength(2), 5);
  e.SetOptions({soMatchCase, soWholeWord});  // whole words are not this engine's business
  EXPECT_EQ(e.FindAll(line), 1);
  EXPECT_EQ(e.GetResult(0), 5);
  e.SetPattern("q");
  EXPECT_EQ(e.FindAll(line), 0);
  EXPECT_EQ(e.GetResultCount(), 0);
  EXPECT_THROW(e.GetResult(0), EListError);
  EXPECT_THROW(e.GetLength(-1), EListError);
}

TEST(RegexSearch, ReplaceFillsTheTemplateFromTheFoundText) {
  TSrcEditRegexSearch e(nullptr);
  e.SetPattern("(\\w+)@(\\w+)");
  EXPECT_EQ(e.Replace("user@host", "$2 at ${1}!"), "host at user!");
  // The found text is matched once: an empty match at its end is no second hit.
  e.SetPattern("a*");
  EXPECT_EQ(e.Replace("aaa", "X"), "X");
  EXPECT_EQ(e.Replace("", "X"), "X");
  // What the expression no longer matches on its own stays as it is.
  e.SetPattern("\\Bb");
  EXPECT_EQ(e.Replace("b", "X"), "b");
  e.SetPattern("(a");
  EXPECT_THROW(e.FindAll("a"), ERegexEngine);
}

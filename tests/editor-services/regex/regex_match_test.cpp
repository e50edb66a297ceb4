// Matcher: searching, groups, repeats, loops, anchors, boundaries, substitution, replace-all.
#include "tests/editor-services/regex/regex_helpers.h"

namespace {

using Matches = std::vector<std::string>;

TEST(RegexMatch, EmptyMatchesAdvanceOneCharacter) {
  TRegexEngine re;
  EXPECT_EQ(AllMatches(re, "x*", "abc"), (Matches{"1:0", "2:0", "3:0", "4:0"}));
  ASSERT_TRUE(re.Exec("ab"));
  ASSERT_TRUE(re.ExecNext());
  ASSERT_TRUE(re.ExecNext());
  EXPECT_EQ(re.MatchPos(0), 3);
  EXPECT_FALSE(re.ExecNext());  // after the empty match at the end
  EXPECT_EQ(re.ReplaceAll("abc", "-", false), "-a-b-c-");
  EXPECT_EQ(AllMatches(re, "a*", "baac"), (Matches{"1:0", "2:2", "4:0", "5:0"}));
}

TEST(RegexMatch, ExecNextNeedsAMatch) {
  TRegexEngine re;
  try {
    re.ExecNext();
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1007);
    EXPECT_EQ(e.Message(), "TRegexEngine(exec): ExecNext Without Exec[Pos]");
  }
  re.SetExpression("q");
  EXPECT_FALSE(re.Exec("abc"));
  EXPECT_THROW(re.ExecNext(), ERegexEngine);
}

TEST(RegexMatch, OffsetSearch) {
  TRegexProbe re;
  re.SetExpression("a");
  try {
    re.ExecPrim(1);
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1005);
    EXPECT_EQ(e.Message(), "TRegexEngine(exec): No Input String Specified");
  }
  EXPECT_TRUE(re.Exec("abca"));
  EXPECT_TRUE(re.ExecPrim(2));
  EXPECT_EQ(re.MatchPos(0), 4);
  EXPECT_FALSE(re.ExecPrim(6));
  try {
    re.ExecPrim(0);
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1006);
    EXPECT_EQ(e.Message(), "TRegexEngine(exec): Offset Must Be Greater Then 0");
  }
  re.SetExpression("$");
  EXPECT_TRUE(re.Exec("abca"));
  EXPECT_TRUE(re.ExecPrim(5));  // the empty end of the input
  EXPECT_EQ(re.MatchPos(0), 5);
  EXPECT_EQ(re.MatchLen(0), 0);
}

TEST(RegexMatch, InputEndsAtFirstNul) {
  TRegexEngine re;
  std::string input("ab\0cd", 5);
  EXPECT_EQ(FirstMatch(re, "c", input), "none");
  EXPECT_EQ(FirstMatch(re, "b$", input), "2:1");
  EXPECT_EQ(FirstMatch(re, ".*", input), "1:2");
  // Searched in place the same, whatever lies after the #0.
  re.SetExpression("c|d");
  EXPECT_FALSE(re.ExecInPlace(input));
  re.SetExpression("b|$");
  ASSERT_TRUE(re.ExecInPlace(input));
  EXPECT_EQ(re.MatchPos(0), 2);
  ASSERT_TRUE(re.ExecNext());
  EXPECT_EQ(re.MatchPos(0), 3);
  EXPECT_EQ(re.MatchLen(0), 0);
  EXPECT_FALSE(re.ExecNext());
  // High bytes are ordinary characters.
  EXPECT_EQ(FirstMatch(re, "\\xFF+", "a\xFF\xFF\x80"), "2:2");
  EXPECT_EQ(FirstMatch(re, "[\\x80-\\xFF]+", "a\x80\x9F\xFFz"), "2:3");
}

TEST(RegexMatch, InputIsTheCallersOrAKeptTemporary) {
  TRegexEngine re;
  re.SetExpression("(b+)");
  // A temporary is kept: the next searches and the substitution read it after the call.
  ASSERT_TRUE(re.Exec(std::string("abba-bb")));
  EXPECT_EQ(re.Substitute("<$1>"), "<bb>");
  ASSERT_TRUE(re.ExecNext());
  EXPECT_EQ(re.MatchPos(0), 6);
  EXPECT_EQ(re.Substitute("<$1>"), "<bb>");
  // A named string is searched where it lies.
  const std::string line = "xbbb";
  ASSERT_TRUE(re.Exec(line));
  EXPECT_EQ(re.MatchPos(1), 2);
  EXPECT_EQ(re.Substitute("$1$1"), "bbbbbb");
  EXPECT_EQ(re.ReplaceAll("abcb", "[$1]", true), "a[b]c[b]");
}

TEST(RegexMatch, LeadingRepeatsAreTriedOncePerRun) {
  // After a failure at the start of a run, a leading repeat without upper bound cannot succeed
  // later in the same run; with a low match limit a search that tried every position would
  // stop with the limit error instead of finishing.
  TRegexEngine re;
  re.SetMatchLimit(1000000);
  std::string line(1 << 20, 'w');
  line[line.size() / 2] = 'x';
  EXPECT_EQ(FirstMatch(re, "(.*)x$", line), "none");
  line.back() = 'x';
  EXPECT_EQ(FirstMatch(re, "(.*)x$", line), "1:" + std::to_string(line.size()));
  EXPECT_EQ(re.MatchLen(1), static_cast<int>(line.size()) - 1);
  // Without s a leading '.' stops at line breaks, so each line is tried.
  EXPECT_EQ(AllMatches(re, "(?-s).*x$", "ax\r\nbbx\ncx"), (Matches{"9:2"}));
  EXPECT_EQ(AllMatches(re, "(?-s).+?x", "ab\nbbx\nx"), (Matches{"4:3"}));
  EXPECT_EQ(AllMatches(re, "(?-s)(.)+y", "a\raay\ny"), (Matches{"3:3"}));
  EXPECT_EQ(AllMatches(re, "[a-z]+ing", "sing, ringing bring"), (Matches{"1:4", "7:7", "15:5"}));
  EXPECT_EQ(AllMatches(re, "\\w{3,}!", "ab! abc! ab cd!"), (Matches{"5:4"}));
  // A back-reference can tell the starts apart, so every position is tried.
  EXPECT_EQ(FirstMatch(re, "(a*)b\\1$", "aaaba"), "3:3");
}

TEST(RegexMatch, GroupPositions) {
  TRegexEngine re;
  re.SetExpression("(a)(b)?");
  ASSERT_TRUE(re.Exec("ac"));
  EXPECT_EQ(re.MatchLen(0), 1);
  EXPECT_EQ(re.MatchPos(1), 1);
  EXPECT_EQ(re.MatchPos(2), -1);
  EXPECT_EQ(re.MatchLen(2), -1);
  EXPECT_EQ(re.MatchPos(15), -1);
  EXPECT_EQ(re.MatchPos(-1), -1);
  re.SetExpression("(a|b)*c");
  ASSERT_TRUE(re.Exec("xabac"));
  EXPECT_EQ(re.MatchPos(0), 2);
  EXPECT_EQ(re.MatchPos(1), 4);
  EXPECT_EQ(re.MatchLen(1), 1);
  re.SetExpression("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)");
  ASSERT_TRUE(re.Exec("abcdefghijklmn"));
  EXPECT_EQ(re.MatchPos(14), 14);
  EXPECT_EQ(re.MatchLen(14), 1);
  // A fresh Exec clears the groups of the last match.
  re.SetExpression("(x)|y");
  EXPECT_TRUE(re.Exec("x"));
  EXPECT_EQ(re.MatchPos(1), 1);
  EXPECT_TRUE(re.Exec("y"));
  EXPECT_EQ(re.MatchPos(1), -1);
}

TEST(RegexMatch, GreedyLazyAndCountedRepeats) {
  EXPECT_EQ(FirstMatch("a{2,3}", "aaaa"), "1:3");
  EXPECT_EQ(FirstMatch("a{2,3}?", "aaaa"), "1:2");
  EXPECT_EQ(FirstMatch("(ab){2}", "ababab"), "1:4");
  EXPECT_EQ(FirstMatch("(ab){2,}?", "ababab"), "1:4");
  EXPECT_EQ(FirstMatch("(ab){0,2}x", "abababx"), "3:5");
  EXPECT_EQ(FirstMatch("(ab)*?x", "ababx"), "1:5");
  EXPECT_EQ(FirstMatch("(ab)+?", "ababx"), "1:2");
  EXPECT_EQ(FirstMatch("(ab)??a", "aba"), "1:1");
  EXPECT_EQ(FirstMatch("a+?", "aaa"), "1:1");
  EXPECT_EQ(FirstMatch("a*?b", "aaab"), "1:4");
  EXPECT_EQ(FirstMatch("a??a", "aa"), "1:1");
  EXPECT_EQ(FirstMatch("<.*>", "<a><b>"), "1:6");
  EXPECT_EQ(FirstMatch("<.*?>", "<a><b>"), "1:3");
  EXPECT_EQ(FirstMatch("(a|ab)(c|bcd)(d*)", "abcd"), "1:4");
  TRegexEngine lazyAll;
  lazyAll.SetModifier(4, false);  // every quantifier lazy
  EXPECT_EQ(FirstMatch(lazyAll, "a+", "aaa"), "1:1");
  EXPECT_EQ(FirstMatch(lazyAll, "(a|b)*c", "abc"), "1:3");
  EXPECT_EQ(FirstMatch(lazyAll, "a{2,3}", "aaaa"), "1:2");
}

TEST(RegexMatch, BackReferences) {
  EXPECT_EQ(FirstMatch("(a)\\1*", "aaaa"), "1:4");
  EXPECT_EQ(FirstMatch("(ab)\\1*ab", "ababab"), "1:6");
  EXPECT_EQ(FirstMatch("(\\w+) \\1", "say hello hello"), "5:11");
  EXPECT_EQ(FirstMatch("(a)|\\1", "b"), "none");  // unset group never matches
  EXPECT_EQ(FirstMatch("(x*)\\1{3}y", "y"), "1:1");  // empty capture, repeat tried once
  EXPECT_EQ(FirstMatch("(x*)\\1{2,5}?y", "y"), "1:1");
  EXPECT_EQ(FirstMatch("(ab)\\1{2}", "abababab"), "1:6");
  TRegexEngine ci;
  ci.SetModifier(1, true);
  EXPECT_EQ(FirstMatch(ci, "(ab)\\1", "abAB"), "1:4");
  EXPECT_EQ(FirstMatch(ci, W1251("(ёж)\\1"), W1251("ёжЁЖ")), "1:4");
  EXPECT_EQ(FirstMatch(ci, "(ab)\\1+", "abAbaB"), "1:6");
}

TEST(RegexMatch, NestedCountedLoopsAreBounded) {
  std::string ten, eleven;
  for (int i = 0; i < 10; ++i) ten = "(" + ten + "a){1,2}";
  for (int i = 0; i < 11; ++i) eleven = "(" + eleven + "a){1,2}";
  EXPECT_EQ(FirstMatch(ten, std::string(10, 'a')), "1:10");
  TRegexEngine re;
  re.SetExpression(eleven);
  try {
    re.Exec(std::string(20, 'a'));
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1014);
    EXPECT_EQ(e.Message(), "TRegexEngine(exec): Loop Stack Exceeded");
  }
  // Loops one after another reuse the level.
  EXPECT_EQ(FirstMatch("(a){1,3}(b){2}(c){1,}d", "aaabbccd"), "1:8");
  EXPECT_EQ(FirstMatch("((a){2}b){2}", "aabaab"), "1:6");
}

TEST(RegexMatch, LineAnchorsAndSeparators) {
  TRegexEngine m;
  m.SetModifier(5, true);
  EXPECT_EQ(FirstMatch(m, "^b", "a\r\nb"), "4:1");
  EXPECT_EQ(FirstMatch(m, "^b", "a\nb"), "3:1");
  EXPECT_EQ(FirstMatch(m, "^b", "a\rb"), "3:1");
  EXPECT_EQ(AllMatches(m, "^", "a\r\nb"), (Matches{"1:0", "4:0"}));  // not between CR and LF
  EXPECT_EQ(FirstMatch(m, "a$", "a\r\nb"), "1:1");
  EXPECT_EQ(AllMatches(m, "$", "a\r\nb"), (Matches{"2:0", "5:0"}));
  EXPECT_EQ(AllMatches(m, "$", "a\n\nb"), (Matches{"2:0", "3:0", "5:0"}));
  TRegexEngine plain;
  EXPECT_EQ(FirstMatch(plain, "^b", "a\nb"), "none");
  EXPECT_EQ(FirstMatch(plain, "a$", "a\nb"), "none");
  EXPECT_EQ(FirstMatch(plain, "b$", "a\nb"), "3:1");
  EXPECT_EQ(FirstMatch(plain, "\\Aa", "aa"), "1:1");
  EXPECT_EQ(FirstMatch(plain, "a\\Z", "aa"), "2:1");
  // Without separators m has nothing to act on.
  TRegexEngine none;
  none.SetModifier(5, true);
  none.SetLineSeparatorChars("");
  none.SetLinePairedSeparator("");
  EXPECT_EQ(FirstMatch(none, "^b", "a\nb"), "none");
}

TEST(RegexMatch, DotWithAndWithoutS) {
  EXPECT_EQ(FirstMatch("a.b", "a\nb"), "1:3");
  EXPECT_EQ(FirstMatch("a.b", "a\rb"), "1:3");
  TRegexEngine re;
  re.SetModifier(3, false);
  EXPECT_EQ(FirstMatch(re, "a.b", "a\nb"), "none");
  EXPECT_EQ(FirstMatch(re, "a.b", "a\rb"), "none");
  EXPECT_EQ(FirstMatch(re, "a.b", "axb a\xFF" "b"), "1:3");
  EXPECT_EQ(FirstMatch(re, ".+", "ab\r\ncd"), "1:2");
  EXPECT_EQ(AllMatches(re, ".*", "ab\ncd"), (Matches{"1:2", "3:0", "4:2", "6:0"}));
}

TEST(RegexMatch, WordBoundaries) {
  EXPECT_EQ(FirstMatch("\\bcat\\b", "a cat."), "3:3");
  EXPECT_EQ(FirstMatch("\\bcat\\b", "concat"), "none");
  EXPECT_EQ(FirstMatch("\\bcat\\b", "cat"), "1:3");
  EXPECT_EQ(FirstMatch("\\Bcat", "concat"), "4:3");
  EXPECT_EQ(FirstMatch("\\B", "ab"), "2:0");
  TRegexEngine re;
  EXPECT_EQ(AllMatches(re, "\\b\\w+\\b", "one, two_2 3"), (Matches{"1:3", "6:5", "12:1"}));
}

TEST(RegexMatch, CaseFoldingUsesWindows1251Tables) {
  TRegexEngine re;
  re.SetModifier(1, true);
  EXPECT_EQ(FirstMatch(re, W1251("привет"), W1251("Скажи ПРИВЕТ")), "7:6");
  EXPECT_EQ(FirstMatch(re, W1251("ёлка"), W1251("ЁЛКА")), "1:4");
  EXPECT_EQ(FirstMatch(re, W1251("Ё"), W1251("ё")), "1:1");
  EXPECT_EQ(FirstMatch(re, W1251("[ё]"), W1251("Ё")), "1:1");
  EXPECT_EQ(FirstMatch(re, W1251("[а-в]+"), W1251("гАБВ")), "2:3");
  EXPECT_EQ(FirstMatch(re, W1251("ж+"), W1251("аЖжЖ")), "2:3");
  EXPECT_EQ(FirstMatch(re, "abc", "xAbC"), "2:3");
  EXPECT_EQ(FirstMatch(re, "\\w+", "ABC"), "1:3");
  EXPECT_EQ(re.InvertCase(0xB8), 0xA8);
  EXPECT_EQ(re.InvertCase('1'), '1');
  TRegexEngine cs;
  EXPECT_EQ(FirstMatch(cs, W1251("ёлка"), W1251("ЁЛКА")), "none");
}

TEST(RegexMatch, Substitution) {
  TRegexEngine re;
  re.SetExpression("(\\w+)@(\\w+)");
  ASSERT_TRUE(re.Exec("mail bob@host now"));
  EXPECT_EQ(re.Substitute("[$1]"), "[bob]");
  EXPECT_EQ(re.Substitute("${1}0"), "bob0");
  EXPECT_EQ(re.Substitute("$10"), "");  // group 10 took no part
  EXPECT_EQ(re.Substitute("$&"), "bob@host");
  EXPECT_EQ(re.Substitute("\\$1"), "$1");
  EXPECT_EQ(re.Substitute("$"), "$");
  EXPECT_EQ(re.Substitute("$15"), "");
  EXPECT_EQ(re.Substitute("${}"), "bob@host");
  EXPECT_EQ(re.Substitute("$0"), "bob@host");
  EXPECT_EQ(re.Substitute("${&}"), "bob@host");
  EXPECT_EQ(re.Substitute("${2"), "${2");  // unclosed: no reference
  EXPECT_EQ(re.Substitute("$x$2"), "$xhost");
  EXPECT_EQ(re.Substitute("a\\\\b\\"), "a\\b\\");
  EXPECT_EQ(re.Substitute(""), "");
  EXPECT_EQ(re.Substitute("$99999999999999999999"), "");
  TRegexEngine fresh;
  fresh.SetExpression("a");
  try {
    fresh.Substitute("x");
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1005);
  }
}

TEST(RegexMatch, ReplaceAll) {
  TRegexEngine re;
  re.SetExpression("(\\d+)-(\\d+)");
  EXPECT_EQ(re.ReplaceAll("1-2, 30-40.", "$2-$1", true), "2-1, 40-30.");
  EXPECT_EQ(re.ReplaceAll("1-2, 30-40.", "$2-$1", false), "$2-$1, $2-$1.");
  EXPECT_EQ(re.ReplaceAll("none", "x", true), "none");
  EXPECT_EQ(re.ReplaceAll("", "x", true), "");
  re.SetExpression("");
  re.SetExpression("b*");
  EXPECT_EQ(re.ReplaceAll("abba", "<$&>", true), "<>a<bb><>a<>");
  re.SetModifier(1, true);
  re.SetExpression(W1251("кот"));
  EXPECT_EQ(re.ReplaceAll(W1251("Кот и КОТ"), W1251("пёс"), false), W1251("пёс и пёс"));
  // The text after an embedded NUL is kept.
  re.SetExpression("a");
  EXPECT_EQ(re.ReplaceAll(std::string("aa\0a", 4), "b", false), std::string("bb\0a", 4));
}

}  // namespace

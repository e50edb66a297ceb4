// Bad input: malformed expressions, odd bytes and long or heavily backtracking searches end
// in the engine's error or a clean result, never a crash.
#include <random>

#include "tests/editor-services/regex_helpers.h"

namespace {

// Runs a search and reports "match", "none" or the error code.
std::string Outcome(TRegexEngine& re, const std::string& expr, const std::string& input) {
  try {
    re.SetExpression(expr);
    return re.Exec(input) ? "match" : "none";
  } catch (const ERegexEngine& e) {
    return "error " + std::to_string(e.ErrorId);
  }
}

TEST(RegexRobustness, LongInputsWithRecursingPatterns) {
  const std::string line(1 << 20, 'a');
  std::string ab = line;
  for (size_t i = 1; i < ab.size(); i += 2) ab[i] = 'b';
  TRegexEngine re;
  // Single-character repeats are counted without recursion and match whole.
  re.SetExpression("a*");
  ASSERT_TRUE(re.Exec(line));
  EXPECT_EQ(re.MatchLen(0), 1 << 20);
  re.SetExpression("[ab]+$");
  ASSERT_TRUE(re.Exec(ab));
  EXPECT_EQ(re.MatchLen(0), 1 << 20);
  // Repeated groups recurse per iteration: either the match or the recursion error.
  for (const char* expr : {"(a|b)*", "(.)*", "(a|b)*c", "(ab)*?$", "(a|b){1,}", "((a)|b)+x"}) {
    std::string r = Outcome(re, expr, ab);
    EXPECT_TRUE(r == "match" || r == "none" || r == "error 1016") << expr << ": " << r;
    if (r == "error 1016") {
      EXPECT_EQ(re.ErrorMsg(1016), "TRegexEngine(exec): Match Recursion Too Deep");
      // The object stays usable.
      re.SetExpression("b");
      EXPECT_TRUE(re.Exec(ab));
      EXPECT_EQ(re.MatchPos(0), 2);
    }
  }
  // Short inputs of the same patterns still match.
  EXPECT_EQ(Outcome(re, "(a|b)*", ab.substr(0, 1000)), "match");
  EXPECT_EQ(re.MatchLen(0), 1000);
}

TEST(RegexRobustness, HeavyBacktrackingEndsCleanly) {
  TRegexEngine re;
  // Exponential in the input length but short enough to finish.
  EXPECT_EQ(Outcome(re, "(a+)+b", std::string(18, 'a')), "none");
  EXPECT_EQ(Outcome(re, "(a|aa)*c", std::string(20, 'a')), "none");
  // A back-reference to an empty capture inside a repeated group never advances: the matcher
  // runs into its recursion bound instead of the end of the stack.
  std::string r = Outcome(re, "(x*)(\\1)+", std::string(100, 'a'));
  EXPECT_TRUE(r == "match" || r == "error 1016") << r;
  r = Outcome(re, "(x*)(\\1){1,}?y", std::string(100, 'a'));
  EXPECT_TRUE(r == "none" || r == "error 1016") << r;
}

TEST(RegexRobustness, MalformedExpressionsRaiseTheirErrors) {
  TRegexEngine re;
  EXPECT_EQ(Outcome(re, "((a)", "a"), "error 103");
  EXPECT_EQ(Outcome(re, "a))", "a"), "error 104");
  EXPECT_EQ(Outcome(re, "[a-", "a"), "error 113");
  EXPECT_EQ(Outcome(re, "[\\", "a"), "error 110");
  EXPECT_EQ(Outcome(re, "[a-\\", "a"), "error 110");
  EXPECT_EQ(Outcome(re, "a{99999999999}", "a"), "error 122");
  EXPECT_EQ(Outcome(re, "a{99999999}", "a"), "none");
  EXPECT_EQ(Outcome(re, "a|*", "a"), "error 115");
  EXPECT_EQ(Outcome(re, "||", "a"), "match");  // empty alternatives match empty
  EXPECT_EQ(Outcome(re, "(|a)", "a"), "match");
  EXPECT_EQ(Outcome(re, std::string(20, '(') + "a" + std::string(20, ')'), "a"), "error 102");
  EXPECT_EQ(Outcome(re, "\\", ""), "error 116");
  EXPECT_EQ(Outcome(re, "(?", ""), "error 127");
  EXPECT_EQ(Outcome(re, "(?#", ""), "error 125");
  EXPECT_EQ(Outcome(re, "\\x{", ""), "error 111");
  EXPECT_EQ(Outcome(re, "\\x{fffffffffff}", ""), "error 112");
}

TEST(RegexRobustness, RandomExpressionsNeverCrash) {
  // Random byte soup of the meta-characters and ordinary ones, matched against random input.
  std::mt19937 rng(12345);
  const std::string alphabet = "ab()[]{}|*+?.^$\\-,0123xdDsSwWbB#i:\x80\xFF";
  int compiled = 0;
  for (int i = 0; i < 3000; ++i) {
    std::string expr, input;
    int n = std::uniform_int_distribution<int>(0, 14)(rng);
    for (int k = 0; k < n; ++k) expr += alphabet[rng() % alphabet.size()];
    int m = std::uniform_int_distribution<int>(0, 20)(rng);
    for (int k = 0; k < m; ++k) input += static_cast<char>("ab\n\r\x80\xFF 0"[rng() % 8]);
    TRegexEngine re;
    re.SetModifier(1, rng() % 2);
    re.SetModifier(5, rng() % 2);
    re.SetModifier(6, rng() % 4 == 0);
    try {
      re.SetExpression(expr);
      if (re.Exec(input)) {
        ++compiled;
        int guard = 0;
        while (re.ExecNext() && ++guard < 100) {
          ASSERT_GE(re.MatchPos(0), 1);
          ASSERT_LE(re.MatchPos(0) + re.MatchLen(0), static_cast<int>(input.size()) + 1);
        }
        re.Substitute("$1$&\\$");
      } else {
        ++compiled;
      }
    } catch (const ERegexEngine& e) {
      ASSERT_GT(e.ErrorId, 0) << expr;
      ASSERT_FALSE(e.Message().empty());
    }
  }
  EXPECT_GT(compiled, 300);
}

}  // namespace

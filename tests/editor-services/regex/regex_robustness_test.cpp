// Bad input: malformed expressions, odd bytes and long or heavily backtracking searches end
// in a clean result or the engine's error, never a crash or a hang.
#include <pthread.h>

#include <functional>
#include <random>

#include "tests/editor-services/regex/regex_helpers.h"

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

// Runs `body` on a thread with a stack of `stackBytes`.
void OnSmallStack(size_t stackBytes, const std::function<void()>& body) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, stackBytes);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

TEST(RegexRobustness, MegabyteLinesMatchWholeOnASmallStack) {
  const size_t n = 1 << 20;
  std::string ab(n, 'a');
  for (size_t i = 1; i < n; i += 2) ab[i] = 'b';
  const std::string abc = ab + "c";
  const std::string tag = "<" + ab.substr(n / 2) + "\n" + ab.substr(n / 2) + ">";
  struct Case {
    const char* expr;
    const std::string* input;
    size_t len;
  };
  const Case cases[] = {{"(a|b)*", &ab, n},          {"(.)*", &ab, n},
                        {"(a|b)*c", &abc, n + 1},    {"(ab)*?$", &ab, n},
                        {"(a|b){1,}", &ab, n},       {"((a)|b)+c", &abc, n + 1},
                        {"<(.|\n)*?>", &tag, n + 3}, {"(?-s)(.)+", &ab, n}};
  // Matching keeps its choices on the heap: a 256 KB thread stack is plenty however long the
  // line is.
  OnSmallStack(256 << 10, [&] {
    TRegexEngine re;
    for (const Case& c : cases) {
      EXPECT_EQ(Outcome(re, c.expr, *c.input), "match") << c.expr;
      EXPECT_EQ(re.MatchPos(0), 1) << c.expr;
      EXPECT_EQ(re.MatchLen(0), static_cast<int>(c.len)) << c.expr;
    }
    // The last iteration's capture, and the object serves a short search after a long one.
    re.SetExpression("(a|b)*");
    ASSERT_TRUE(re.Exec(ab));
    EXPECT_EQ(re.MatchPos(1), static_cast<int>(n));
    EXPECT_EQ(FirstMatch(re, "b(a)", "xxba"), "3:2");
  });
}

TEST(RegexRobustness, MatchLimitStopsRunawaySearches) {
  TRegexEngine re;
  EXPECT_EQ(re.GetMatchLimit(), kRegexDefaultMatchLimit);
  // Exponential but short enough to finish inside the bound.
  EXPECT_EQ(Outcome(re, "(a+)+b", std::string(16, 'a') + "cb"), "none");
  EXPECT_EQ(Outcome(re, "(a|aa)*c", std::string(20, 'a') + "c"), "match");
  // Exponential in the number of letters before the "!".
  std::string words;
  while (words.size() < 1000) words += "stone river ";
  words += "!";
  try {
    re.SetExpression("(\\w+\\s*)*$");
    re.Exec(words);
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 2001);
    EXPECT_EQ(e.Message(), "TRegexEngine(exec): Match Limit Exceeded");
  }
  EXPECT_EQ(re.LastError(), 2001);
  EXPECT_EQ(re.MatchPos(0), -1);
  EXPECT_THROW(re.ExecNext(), ERegexEngine);
  // The object stays usable, and the limit is a setting.
  EXPECT_EQ(FirstMatch(re, "r(i)", words), "7:2");
  re.SetMatchLimit(100000);
  EXPECT_EQ(Outcome(re, "(a+)+b", std::string(40, 'a') + "cb"), "error 2001");
  // Scanning counts too: each start below rescans the rest of the line.
  EXPECT_EQ(Outcome(re, "\\d\\w+\\s", std::string(1 << 20, '7')), "error 2001");
  // A long match that never backtracks costs an eighth of a step per choice.
  EXPECT_EQ(Outcome(re, "(a|b)*c", std::string(400000, 'a') + "c"), "match");
  re.SetMatchLimit(0);  // no bound
  EXPECT_EQ(Outcome(re, "(a+)+b", std::string(18, 'a') + "cb"), "none");
}

TEST(RegexRobustness, RepeatsThatCanGoRoundEmptyEnd) {
  // A back-reference to an empty capture matches empty: a repeat of it would go round for
  // ever. An iteration that ends where the previous one did is a dead end instead.
  TRegexEngine re;
  re.SetExpression("(x*)(\\1)+");
  ASSERT_TRUE(re.Exec(std::string(100, 'a')));
  EXPECT_EQ(re.MatchLen(0), 0);
  EXPECT_EQ(re.MatchPos(2), 1);
  EXPECT_EQ(FirstMatch(re, "(x*)(\\1){1,}?y", "aaay"), "4:1");
  EXPECT_EQ(FirstMatch(re, "(x*)(\\1){3}a", "aaay"), "1:1");
  EXPECT_EQ(FirstMatch(re, "(a*)(b\\1)*c", "bbabaac"), "5:3");
  EXPECT_EQ(FirstMatch(re, "(a*)(b|\\1)*c", "ab bbc"), "4:3");
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

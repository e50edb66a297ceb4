// Searches that once ran for seconds or without end (found by the fuzz target,
// fuzz/regex_fuzz.cpp, or tried by hand on long lines): replayed under the match limit the fuzz
// target uses, each must end with its result or the match-limit error.
#include "tests/editor-services/regex/regex_helpers.h"

namespace {

struct SlowCase {
  uint8_t modifiers;  // bit n-1 switches modifier n, as the fuzz target's first byte
  std::string expr;
  std::string input;
  const char* outcome;
};

std::string Words(size_t size, const char* tail) {
  std::string s;
  while (s.size() < size) s += "stone river ";
  return s + tail;
}

TEST(RegexSlowCases, EndWithTheirResultOrTheLimitError) {
  constexpr uint8_t kDefault = 0x0E;  // r, s and g
  std::string half = Words(50000, "x");
  const SlowCase cases[] = {
      {0x01, "(\\w+\\s*)*\xff\xff\xfd", ", a99999999999999999999999gain", "error 2001"},
      {kDefault, "(w+)+!", std::string(22, 'w') + "x!", "error 2001"},
      {kDefault, [] {
         std::string e;
         for (int i = 0; i < 30; ++i) e += "a?";
         return e + std::string(30, 'a');
       }(), std::string(30, 'a'), "error 2001"},
      {kDefault, "(.*)x$", half + Words(50000, ""), "none"},
      {kDefault, "(\\w+\\s*)*$", Words(1000, "!"), "error 2001"},
      {kDefault, "(\\w+\\s*)*$", Words(1000, ""), "match"},
      {kDefault, "\\d\\w+\\s", std::string(100000, '7'), "error 2001"},
      {kDefault, "(?-s)(.*)x$", Words(300000, "x\r\n"), "none"},
      {kDefault, "(?-s)e.+\\r", Words(100000, "x\n"), "none"},
  };
  for (const SlowCase& c : cases) {
    TRegexEngine re;
    re.SetMatchLimit(kRegexDefaultMatchLimit / 100);
    std::string outcome;
    try {
      for (int n = 1; n <= 6; ++n) re.SetModifier(n, (c.modifiers >> (n - 1)) & 1);
      re.SetExpression(c.expr);
      outcome = re.Exec(c.input) ? "match" : "none";
    } catch (const ERegexEngine& e) {
      outcome = "error " + std::to_string(e.ErrorId);
    }
    EXPECT_EQ(outcome, c.outcome) << c.expr;
  }
}

}  // namespace

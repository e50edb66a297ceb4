// Compiler: syntax, program shape, start hints and every numbered compile error.
#include "tests/editor-services/regex/regex_helpers.h"

namespace {

struct ErrorCase {
  const char* expr;
  int code;
  const char* message;
};

TEST(RegexCompile, EveryCompileErrorWithItsMessage) {
  const std::string many(15, '(');
  const ErrorCase cases[] = {
      {"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)(o)", 102, "TRegexEngine(comp): ParseReg Too Many ()"},
      {"(", 103, "TRegexEngine(comp): ParseReg Unmatched ()"},
      {"(ab", 103, "TRegexEngine(comp): ParseReg Unmatched ()"},
      {")", 104, "TRegexEngine(comp): ParseReg Unmatched ()"},
      {"a)b", 104, "TRegexEngine(comp): ParseReg Unmatched ()"},
      {"(a|)*", 106, "TRegexEngine(comp): *+ Operand Could Be Empty"},
      {"(a{0,3})*", 106, "TRegexEngine(comp): *+ Operand Could Be Empty"},
      {"(\\b){2}", 106, "TRegexEngine(comp): *+ Operand Could Be Empty"},
      {"a**", 107, "TRegexEngine(comp): Nested *?+"},
      {"a{2}+", 107, "TRegexEngine(comp): Nested *?+"},
      {"a*??", 107, "TRegexEngine(comp): Nested *?+"},
      {"\\xG1", 108, "TRegexEngine(comp): Bad Hex Digit"},
      {"\\x{4q}", 108, "TRegexEngine(comp): Bad Hex Digit"},
      {"[z-a]", 109, "TRegexEngine(comp): Invalid [] Range"},
      {"[ab\\", 110, "TRegexEngine(comp): Parse Atom Trailing \\"},
      {"\\x4", 111, "TRegexEngine(comp): No Hex Code After \\x"},
      {"\\x", 111, "TRegexEngine(comp): No Hex Code After \\x"},
      {"\\x{41", 111, "TRegexEngine(comp): No Hex Code After \\x"},
      {"\\x{100}", 112, "TRegexEngine(comp): Hex Code After \\x Is Too Big"},
      {"[abc", 113, "TRegexEngine(comp): Unmatched []"},
      {"[", 113, "TRegexEngine(comp): Unmatched []"},
      {"[^", 113, "TRegexEngine(comp): Unmatched []"},
      {"*a", 115, "TRegexEngine(comp): ?+*{ Follows Nothing"},
      {"a|+", 115, "TRegexEngine(comp): ?+*{ Follows Nothing"},
      {"(?b", 127, "TRegexEngine(comp): Urecognized Modifier"},
      {"abc\\", 116, "TRegexEngine(comp): Trailing \\"},
      {"a{123456789}", 122, "TRegexEngine(comp): BRACES Argument Too Big"},
      {"a{1,123456789}", 122, "TRegexEngine(comp): BRACES Argument Too Big"},
      {"a{3,1}", 124, "TRegexEngine(comp): BRACE Min Param Greater then Max"},
      {"(?#note", 125, "TRegexEngine(comp): Unclosed (?#Comment)"},
      {"(?q)", 127, "TRegexEngine(comp): Urecognized Modifier"},
      {"(?i", 127, "TRegexEngine(comp): Urecognized Modifier"},
  };
  for (const auto& c : cases) {
    int pos = -1;
    std::string msg;
    EXPECT_EQ(CompileError(c.expr, &pos, &msg), c.code) << c.expr;
    EXPECT_EQ(msg, std::string(c.message) + " (pos " + std::to_string(pos) + ")") << c.expr;
  }
  // 14 groups are allowed.
  EXPECT_EQ(CompileError("(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)(m)(n)"), 0);
  EXPECT_EQ(CompileError(many + std::string(15, ')')), 102);
}

TEST(RegexCompile, ErrorPositions) {
  int pos = 0;
  EXPECT_EQ(CompileError("a{3,1}", &pos), 124);
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(CompileError("*a", &pos), 115);
  EXPECT_EQ(pos, 1);
  EXPECT_EQ(CompileError("abc\\", &pos), 116);
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(CompileError("xy)", &pos), 104);
  EXPECT_EQ(pos, 2);
}

TEST(RegexCompile, ErrorLeavesObjectUncompiledAndExecRaises) {
  TRegexEngine re;
  re.SetExpression("[abc");
  try {
    re.Exec("abc");
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 113);
    EXPECT_EQ(re.LastError(), 113);
  }
  EXPECT_FALSE(re.Compiled());
  // A later valid expression works again; errors outside compilation have position 0.
  re.SetExpression("b");
  EXPECT_TRUE(re.Exec("abc"));
  EXPECT_EQ(re.MatchPos(0), 2);
}

TEST(RegexCompile, MiscellaneousErrorsAndMessages) {
  TRegexEngine re;
  try {
    re.SetModifier(7, true);
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1013);
    EXPECT_EQ(e.Message(), "Unknown error");
    EXPECT_EQ(e.ErrorPos, 0);
  }
  EXPECT_THROW(re.GetModifier(0), ERegexEngine);
  try {
    re.Compile();
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1003);
    EXPECT_EQ(e.Message(), "TRegexEngine(exec): Not Assigned Expression Property");
  }
  EXPECT_EQ(re.ErrorMsg(0), "No errors");
  EXPECT_EQ(re.ErrorMsg(100), "TRegexEngine(comp): Null Argument");
  EXPECT_EQ(re.ErrorMsg(101), "TRegexEngine(comp): Regexp Too Big");
  EXPECT_EQ(re.ErrorMsg(105), "TRegexEngine(comp): ParseReg Junk On End");
  EXPECT_EQ(re.ErrorMsg(114), "TRegexEngine(comp): Internal Urp");
  EXPECT_EQ(re.ErrorMsg(119), "TRegexEngine(comp): RarseAtom Internal Disaster");
  EXPECT_EQ(re.ErrorMsg(1000), "TRegexEngine(exec): RegRepeat Called Inappropriately");
  EXPECT_EQ(re.ErrorMsg(1001), "TRegexEngine(exec): MatchPrim Memory Corruption");
  EXPECT_EQ(re.ErrorMsg(1002), "TRegexEngine(exec): MatchPrim Corrupted Pointers");
  EXPECT_EQ(re.ErrorMsg(1008), "TRegexEngine(exec): GetInputString Without InputString");
  EXPECT_EQ(re.ErrorMsg(1011), "TRegexEngine(dump): Corrupted Opcode");
  EXPECT_EQ(re.ErrorMsg(1015), "TRegexEngine(exec): Loop Without LoopEntry !");
  EXPECT_EQ(re.ErrorMsg(2000), "TRegexEngine(misc): Bad p-code imported");
  EXPECT_EQ(re.ErrorMsg(1013), "Unknown error");
  EXPECT_EQ(re.ErrorMsg(4711), "Unknown error");
}

TEST(RegexCompile, LinePairedSeparatorSetting) {
  TRegexEngine re;
  EXPECT_EQ(re.GetLinePairedSeparator(), "\r\n");
  for (const char* bad : {"aa", "a", "abc"}) {
    try {
      re.SetLinePairedSeparator(bad);
      FAIL() << bad;
    } catch (const ERegexEngine& e) {
      EXPECT_EQ(e.ErrorId, 128);
      EXPECT_EQ(e.Message(),
                "TRegexEngine(comp): LinePairedSeparator must countain two different chars or no "
                "chars at all (pos 0)");
    }
  }
  re.SetLinePairedSeparator("");
  EXPECT_EQ(re.GetLinePairedSeparator(), "");
  re.SetLinePairedSeparator("ab");
  EXPECT_EQ(re.GetLinePairedSeparator(), "ab");
}

TEST(RegexCompile, ModifiersDefaultsAndSwitching) {
  TRegexEngine re;
  EXPECT_FALSE(re.GetModifier(1));
  EXPECT_TRUE(re.GetModifier(2));
  EXPECT_TRUE(re.GetModifier(3));
  EXPECT_TRUE(re.GetModifier(4));
  EXPECT_FALSE(re.GetModifier(5));
  EXPECT_FALSE(re.GetModifier(6));
  re.SetExpression("abc");
  EXPECT_FALSE(re.Exec("ABC"));
  re.SetModifier(1, true);  // the next match recompiles
  EXPECT_TRUE(re.Exec("ABC"));
  re.SetModifier(1, false);
  EXPECT_FALSE(re.Exec("ABC"));
}

TEST(RegexCompile, BracesThatAreNoQuantifier) {
  EXPECT_EQ(FirstMatch("a{2,x", "xa{2,x"), "2:5");
  EXPECT_EQ(FirstMatch("a{,3}", "a{,3}"), "1:5");
  EXPECT_EQ(FirstMatch("a{2}", "aaa"), "1:2");
  EXPECT_EQ(FirstMatch("a{2}", "a"), "none");
  EXPECT_EQ(FirstMatch("{2}", "x{2}"), "2:3");
  EXPECT_EQ(FirstMatch("a{2,}", "aaaaab"), "1:5");
  EXPECT_EQ(FirstMatch("a{ 2}", "a{ 2}"), "1:5");
  EXPECT_EQ(FirstMatch("x{}", "x{}"), "1:3");
}

TEST(RegexCompile, QuantifierBindsLastCharacterOfRun) {
  EXPECT_EQ(FirstMatch("abc*", "abccc"), "1:5");
  EXPECT_EQ(FirstMatch("abc*", "ab"), "1:2");
  EXPECT_EQ(FirstMatch("ab{2}", "abbab"), "1:3");
  EXPECT_EQ(FirstMatch("ab{2}", "abab"), "none");
  EXPECT_EQ(FirstMatch("(a{1,3})*b", "aaaab"), "1:5");
}

TEST(RegexCompile, ClassMembers) {
  EXPECT_EQ(FirstMatch("[]a]+", "x]a]"), "2:3");
  EXPECT_EQ(FirstMatch("[a-]+", "x-a-"), "2:3");
  EXPECT_EQ(FirstMatch("[-a]+", "x-a-"), "2:3");
  EXPECT_EQ(FirstMatch("[a-\\d]+", "xa-5b"), "2:3");
  EXPECT_EQ(FirstMatch("[^]x]+", "]x?y]"), "3:2");
  EXPECT_EQ(FirstMatch("[\\d-z]+", "-1z"), "1:3");
  EXPECT_EQ(FirstMatch("[\\D]", "1D"), "2:1");  // \D in a class is the letter
  EXPECT_EQ(FirstMatch("[\\x41-\\x43]+", "zABCD"), "2:3");
  EXPECT_EQ(FirstMatch("[\\n\\t]", "a\tb"), "2:1");
  EXPECT_EQ(FirstMatch("[\\w.]+", "  a.b_9 "), "3:5");
  EXPECT_EQ(FirstMatch("[\\s]+", "a \t\r\nb"), "2:4");
}

TEST(RegexCompile, ClassNodeShapes) {
  TRegexProbe re;
  re.SetExpression("[abc]");
  re.Compile();
  // signature, branch (5), then the set node: opcode, next, 3 members.
  EXPECT_EQ(re.Program()[6], rxSet3);
  EXPECT_EQ(re.Program()[11], 'a');
  EXPECT_EQ(re.Program()[13], 'c');
  re.SetExpression("[abcd]");
  re.Compile();
  EXPECT_EQ(re.Program()[6], rxSet256);
  re.SetExpression("[^ba]");
  re.Compile();
  EXPECT_EQ(re.Program()[6], rxNotSet3);
  EXPECT_EQ(re.Program()[11], 'a');
  EXPECT_EQ(re.Program()[12], 'b');
  EXPECT_EQ(re.Program()[13], 'b');  // padded with the highest member
  re.SetModifier(1, true);
  re.SetExpression("[a]");
  re.Compile();
  EXPECT_EQ(re.Program()[6], rxSet3);
  EXPECT_EQ(re.Program()[11], 'A');
  EXPECT_EQ(re.Program()[12], 'a');
}

TEST(RegexCompile, ProgramSizeMatchesBothPasses) {
  for (const char* e : {"a", "abc*d", "(a|b)*c", "(ab)+?", "x(y){2,5}z", "[a-z]{3}", "^(a|bc|)$",
                        "(?i)\\bw\\w+\\b", "a.b\\d\\D\\s\\S\\w\\W", "(a)\\1*"}) {
    TRegexProbe re;
    re.SetExpression(e);
    re.Compile();
    ASSERT_GT(re.ProgramSize(), 6) << e;
    EXPECT_EQ(re.Program()[0], 216) << e;
    // The top-level chain ends with an rxEnd that lies inside the block.
    const uint8_t* p = re.Program();
    EXPECT_EQ(p[re.ProgramSize() - 5], rxEnd) << e;
  }
}

TEST(RegexCompile, StartHints) {
  TRegexProbe re;
  re.SetExpression("abc");
  re.Compile();
  EXPECT_EQ(re.FirstLiteral(), 'a');
  EXPECT_FALSE(re.Anchored());
  re.SetExpression("^abc");
  re.Compile();
  EXPECT_TRUE(re.Anchored());
  EXPECT_EQ(re.FirstLiteral(), 0);
  re.SetExpression("a|b");
  re.Compile();
  EXPECT_EQ(re.FirstLiteral(), 0);
  EXPECT_TRUE(re.InFirstCharSet('a'));
  EXPECT_TRUE(re.InFirstCharSet('b'));
  EXPECT_FALSE(re.InFirstCharSet('c'));
  // A leading repeat asks for the longest literal of the chain; a later one wins a tie.
  re.SetExpression("x*abc\\d+def");
  re.Compile();
  EXPECT_EQ(re.RequiredLiteral(), "def");
  re.SetExpression("x*abcd\\d+def");
  re.Compile();
  EXPECT_EQ(re.RequiredLiteral(), "abcd");
  re.SetExpression("\\d*");
  re.Compile();
  EXPECT_EQ(re.RequiredLiteral(), "");
  EXPECT_TRUE(re.InFirstCharSet('z'));  // may match empty anywhere
  re.SetExpression("[0-9]+x");
  re.Compile();
  EXPECT_TRUE(re.InFirstCharSet('5'));
  EXPECT_FALSE(re.InFirstCharSet('x'));
  EXPECT_EQ(re.RequiredLiteral(), "x");
}

TEST(RegexCompile, RepeatsTheNextItemCannotShareBecomePossessive) {
  // The repeat node follows the signature and the branch, at offset 6.
  auto possessive = [](const char* expr, bool ci = false) {
    TRegexProbe re;
    re.SetModifier(rmI, ci);
    re.SetExpression(expr);
    re.Compile();
    return re.PossessiveAt(6);
  };
  EXPECT_TRUE(possessive("\\w+\\s"));
  EXPECT_TRUE(possessive("a*b"));
  EXPECT_TRUE(possessive("\\d{2,}(x)"));     // through the group opening
  EXPECT_FALSE(possessive("[a-z]+i"));         // i is one of the letters
  EXPECT_FALSE(possessive("a*A", true));       // both stand for a and A
  EXPECT_TRUE(possessive("a*B", true));
  EXPECT_FALSE(possessive("\\w+$"));          // nothing to compare with
  EXPECT_FALSE(possessive("\\w+(x|y)"));      // a choice follows
  // Possessive or not, the results are those of trying every count.
  EXPECT_EQ(FirstMatch("\\w+\\s", "ab cd "), "1:3");
  EXPECT_EQ(FirstMatch("[a-z]+ing", "sing singing"), "1:4");
  EXPECT_EQ(FirstMatch("[a-z]+?ing", "xx singing"), "4:4");
  EXPECT_EQ(FirstMatch("a{2,3}b", "aaaab"), "2:4");
}

TEST(RegexCompile, InlineModifiers) {
  EXPECT_EQ(FirstMatch("(?i)abc", "xABC"), "2:3");
  EXPECT_EQ(FirstMatch("(a(?i)b)c", "aBc"), "1:3");
  EXPECT_EQ(FirstMatch("(a(?i)b)c", "aBC"), "none");
  EXPECT_EQ(FirstMatch("(a(?i)b)c", "ABc"), "none");
  EXPECT_EQ(FirstMatch("(?i)a(?-i)b", "Ab"), "1:2");
  EXPECT_EQ(FirstMatch("(?i)a(?-i)b", "AB"), "none");
  EXPECT_EQ(FirstMatch("(?-s)a.b", "a\nb"), "none");
  EXPECT_EQ(FirstMatch("(?-g)a+", "aaa"), "1:1");
  EXPECT_EQ(FirstMatch("(?m)^b", "a\nb"), "3:1");
  EXPECT_EQ(FirstMatch("a(?#note)b", "ab"), "1:2");
  // Under (?m) the end of a line is a start candidate too.
  EXPECT_EQ(FirstMatch("(?m)$", "ab\ncd"), "3:0");
  EXPECT_EQ(FirstMatch("(?x)a b # note", "ab"), "1:2");
}

TEST(RegexCompile, ExtendedLayout) {
  TRegexEngine re;
  re.SetModifier(6, true);
  EXPECT_EQ(FirstMatch(re, "a b # note", "xab"), "2:2");
  EXPECT_EQ(FirstMatch(re, "a b # note\r\nc", "abc"), "1:3");
  EXPECT_EQ(FirstMatch(re, "ab c*", "abccc"), "1:5");
  EXPECT_EQ(FirstMatch(re, "a\\ b", "a b"), "1:3");
  EXPECT_EQ(FirstMatch(re, "[ ]", "a b"), "2:1");
}

TEST(RegexCompile, HexAndOtherEscapes) {
  EXPECT_EQ(FirstMatch("\\x41", "zA"), "2:1");
  EXPECT_EQ(FirstMatch("\\x{41}", "zA"), "2:1");
  EXPECT_EQ(FirstMatch("\\x{0041}", "zA"), "2:1");
  EXPECT_EQ(FirstMatch("\\t\\n\\r\\f\\a\\e", "x\t\n\r\f\a\x1b"), "2:6");
  EXPECT_EQ(FirstMatch("\\.\\\\\\0", "a.\\0"), "2:3");
  EXPECT_EQ(FirstMatch("\\xE0", W1251("ба")), "2:1");
}

TEST(RegexCompile, RussianRanges) {
  const std::string yo = W1251("ё"), YO = W1251("Ё");
  EXPECT_EQ(FirstMatch(W1251("[а-я]"), yo), "1:1");
  EXPECT_EQ(FirstMatch(W1251("[А-Я]"), YO), "1:1");
  EXPECT_EQ(FirstMatch(W1251("[а-я]"), YO), "none");
  EXPECT_EQ(FirstMatch(W1251("[а-Я]+"), W1251("xЁёАяЯ")), "2:5");
  TRegexEngine re;
  re.SetModifier(2, false);
  EXPECT_EQ(FirstMatch(re, W1251("[а-я]"), yo), "none");
  EXPECT_EQ(FirstMatch(re, W1251("[а-я]"), W1251("ж")), "1:1");
  re.SetExpression(W1251("[а-Я]"));
  try {
    re.Exec("x");
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 109);
  }
}

TEST(RegexCompile, NulInExpressionNeverMatches) {
  // The input ends at its first NUL, so a NUL member or literal can never match.
  EXPECT_EQ(FirstMatch("\\x00", "a"), "none");
  EXPECT_EQ(FirstMatch("[\\x00]", "a"), "none");
  EXPECT_EQ(FirstMatch("a\\x{}", "ab"), "none");
  EXPECT_EQ(FirstMatch("[^\\x00]", "a"), "1:1");
  EXPECT_EQ(FirstMatch("[\\x00a]", "ba"), "2:1");
}

TEST(RegexCompile, ExpressionProperty) {
  TRegexEngine re;
  EXPECT_EQ(re.GetExpression(), "");
  re.SetExpression("ab");
  EXPECT_EQ(re.GetExpression(), "ab");
  EXPECT_TRUE(re.Exec("xab"));
  EXPECT_TRUE(re.Compiled());
  re.SetExpression("ab");  // same text: nothing changes
  EXPECT_TRUE(re.Compiled());
  re.SetExpression("");
  EXPECT_EQ(re.GetExpression(), "");
  EXPECT_FALSE(re.Compiled());
  try {
    re.Exec("ab");
    FAIL();
  } catch (const ERegexEngine& e) {
    EXPECT_EQ(e.ErrorId, 1003);
  }
}

}  // namespace

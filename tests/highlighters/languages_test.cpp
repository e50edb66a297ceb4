// The Pascal, JavaScript, Java and style-sheet highlighters: their samples and the cases where
// a token, a keyword or the state across lines is easy to get wrong.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>

#include "highlighters/css.h"
#include "highlighters/html.h"
#include "highlighters/java.h"
#include "highlighters/jscript.h"
#include "highlighters/pascal.h"
#include "highlighters/uri.h"
#include "highlighters/standard.h"
#include "platform/registry.h"
#include "scan_util.h"

namespace {

// The tokens of one line as "kind:text" joined by " | ", and the range at its end.
std::string Tokens(TSrcCustomHighlighter& h, const std::string& line, uintptr_t range, uintptr_t* end = nullptr) {
  std::ostringstream out;
  for (const Tok& t : ScanLine(h, line, range, end)) out << (out.tellp() ? " | " : "") << t.kind << ':' << t.text;
  return out.str();
}

// Tokens of a text scanned from its first line, one string per line.
std::vector<std::string> Lines(TSrcCustomHighlighter& h, const std::string& text) {
  std::vector<std::string> out;
  h.ResetRange();
  uintptr_t range = U(h.GetRange());
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t eol = text.find("\r\n", pos);
    std::string line = text.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    out.push_back(Tokens(h, line, range, &range));
    if (eol == std::string::npos) break;
    pos = eol + 2;
  }
  return out;
}

std::vector<std::string> AttributeNames(const TSrcCustomHighlighter& h) {
  std::vector<std::string> names;
  for (int i = 0; i < h.GetAttribCount(); ++i) names.push_back(h.GetAttribute(i)->Name());
  return names;
}

TEST(JScriptHighlighter, SampleAndOperators) {
  TSrcJScriptSrc h(nullptr);
  auto lines = Lines(h, h.GetSampleSource());
  ASSERT_EQ(lines.size(), 15u);
  EXPECT_EQ(lines[0], "0:// Syntax highlighting");
  EXPECT_EQ(lines[5], "5:   | 9:document | 7:. | 9:write | 7:( | 6:\"The number is \" | 5:  | 7:+ | 5:  | 1:number | 7:) | 7:;");
  EXPECT_EQ(lines[6], "5:   | 2:for | 5:  | 7:( | 2:var | 5:  | 1:i | 5:  | 7:= | 5:  | 4:0 | 7:; | 5:  | 1:i | 5:  | 7:< | "
                      "7:= | 5:  | 1:number | 7:; | 5:  | 1:i | 7:++ | 7:)");
  EXPECT_EQ(lines[10], "5:     | 1:x | 5:  | 7:+= | 5:  | 4:1.0 | 7:;");
  EXPECT_EQ(lines[12], "5:   | 1:i | 5:  | 7:+= | 5:  | 8:@ | 7:; | 5:  | 0:// illegal character");
  EXPECT_EQ(lines[14], "9:body | 7:. | 10:onLoad | 5:  | 7:= | 5:  | 1:printNumber | 7:;");
  EXPECT_EQ(Tokens(h, "a...b a..b i-->0 p->q ==", jsrNormal),
            "1:a | 7:... | 1:b | 5:  | 1:a | 7:. | 7:. | 1:b | 5:  | 1:i | 7:-- | 7:> | 4:0 | 5:  | 1:p | 7:-> | 1:q | "
            "5:  | 7:= | 7:=");
  EXPECT_EQ(Tokens(h, "0x1F 1.0 1e5 0xg 0x", jsrNormal),
            "4:0x1F | 5:  | 4:1.0 | 5:  | 4:1 | 1:e5 | 5:  | 4:0 | 1:xg | 5:  | 4:0 | 1:x");
  EXPECT_EQ(Tokens(h, "'it''s' '''x' \"a\\\"b\" \"abc", jsrNormal),
            "6:'it' | 6:'s' | 5:  | 6:'''x' | 5:  | 6:\"a\\\"b\" | 5:  | 6:\"abc");
  EXPECT_EQ(h.GetRange(), R(jsrNormal));
  EXPECT_EQ(h.GetTokenAttribute(), nullptr);
  EXPECT_EQ(Tokens(h, "@#", jsrNormal), "8:@ | 8:#");
  AnsiString at = "@";
  h.SetLine(at, 0);
  EXPECT_EQ(h.GetTokenAttribute(), h.IdentifierAttri());
}

TEST(JScriptHighlighter, KeywordsAreCaseSensitiveAndHashed) {
  TSrcJScriptSrc h(nullptr);
  EXPECT_EQ(Tokens(h, "If NULL onclick NaN start onClick Math PI zIndex MAX_VALUE", jsrNormal),
            "1:If | 5:  | 1:NULL | 5:  | 1:onclick | 5:  | 2:NaN | 5:  | 2:start | 5:  | 10:onClick | 5:  | 9:Math | "
            "5:  | 9:PI | 5:  | 9:zIndex | 5:  | 9:MAX_VALUE");
  // Every listed word is found with its kind, and one letter more or less is not a keyword.
  for (const char* w : {"synchronized", "instanceof", "onMouseOver", "getUTCMilliseconds", "POSITIVE_INFINITY", "SQRT1_2"}) {
    AnsiString word = w;
    h.SetLine(word, 0);
    EXPECT_NE(h.GetTokenKind(), jsIdentifier) << w;
    AnsiString longer = AnsiString(w) + "x", shorter = AnsiString(w).substr(1);
    h.SetLine(longer, 0);
    EXPECT_EQ(h.GetTokenKind(), jsIdentifier) << w;
    h.SetLine(shorter, 0);
    EXPECT_EQ(h.GetTokenKind(), jsIdentifier) << w;
  }
  AnsiString big(40, 'Z');  // a hash far past the keyword table
  h.SetLine(big, 0);
  EXPECT_EQ(h.GetTokenKind(), jsIdentifier);
  EXPECT_EQ(h.GetToken(), big);
}

TEST(JScriptHighlighter, CommentsAcrossLines) {
  TSrcJScriptSrc h(nullptr);
  uintptr_t end = 99;
  EXPECT_EQ(Tokens(h, "/**/x", jsrNormal, &end), "0:/**/ | 1:x");
  EXPECT_EQ(end, jsrNormal);
  EXPECT_EQ(Tokens(h, "/*/ a", jsrNormal, &end), "0:/*/ a");
  EXPECT_EQ(end, jsrBlockComment);
  EXPECT_EQ(Tokens(h, "", jsrBlockComment, &end), "");
  EXPECT_EQ(end, jsrBlockComment);
  EXPECT_EQ(Tokens(h, "b */ c", jsrBlockComment, &end), "0:b */ | 5:  | 1:c");
  EXPECT_EQ(end, jsrNormal);
  EXPECT_EQ(Tokens(h, "*/", jsrBlockComment, &end), "0:*/");
  EXPECT_EQ(end, jsrNormal);
  EXPECT_EQ(Tokens(h, "x /= 2 // c */", 0x300, &end), "1:x | 5:  | 7:/= | 5:  | 4:2 | 5:  | 0:// c */");
  EXPECT_EQ(end, jsrNormal);
}

TEST(JavaHighlighter, SampleOperatorsAndNumbers) {
  TSrcJavaSrc h(nullptr);
  auto lines = Lines(h, h.GetSampleSource());
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "0:/* Java syntax highlighting */");
  EXPECT_EQ(lines[1], "4:import | 7:  | 2:java | 9:. | 2:util | 9:. | 9:* | 9:;");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "1:/** Example class */");
  EXPECT_EQ(lines[8], "7:       | 2:System | 9:. | 2:out | 9:. | 2:println | 9:( | 8:\"Hello world\" | 9:) | 9:;");
  EXPECT_EQ(Tokens(h, "a>>>=b i<<=2 x->y a.b .5 0x1FL 1..2 1.5e-3", jvrNormal),
            "2:a | 9:>>>= | 2:b | 7:  | 2:i | 9:<<= | 6:2 | 7:  | 2:x | 9:- | 9:> | 2:y | 7:  | 2:a | 9:. | 2:b | 7:  | "
            "6:.5 | 7:  | 6:0x1FL | 7:  | 6:1 | 9:. | 6:.2 | 7:  | 6:1.5e-3");
  EXPECT_EQ(Tokens(h, "'\\'' \"a\\\"b\" \"\\\\\" x \"open", jvrNormal),
            "8:'\\'' | 7:  | 8:\"a\\\"b\" | 7:  | 8:\"\\\\\" | 7:  | 2:x | 7:  | 8:\"open");
  EXPECT_EQ(Tokens(h, "String True NULL assert strictfp goto $x _y # @ \\ `", jvrNormal),
            "2:String | 7:  | 2:True | 7:  | 2:NULL | 7:  | 4:assert | 7:  | 4:strictfp | 7:  | 4:goto | 7:  | 2:$x | 7:  | "
            "2:_y | 7:  | 3:# | 7:  | 3:@ | 7:  | 10:\\ | 7:  | 10:`");
  AnsiString backslash = "\\";
  h.SetLine(backslash, 0);
  EXPECT_EQ(h.GetTokenAttribute(), h.InvalidAttri());
  EXPECT_EQ(h.SpaceAttri()->ForegroundDefault(), clWindow);
}

TEST(JavaHighlighter, CommentsAcrossLines) {
  TSrcJavaSrc h(nullptr);
  uintptr_t end = 0;
  EXPECT_EQ(Tokens(h, "/**/ /*/", jvrNormal, &end), "1:/**/ | 7:  | 0:/*/");
  EXPECT_EQ(end, jvrComment);
  EXPECT_EQ(Tokens(h, "/** doc", jvrNormal, &end), "1:/** doc");
  EXPECT_EQ(end, jvrDocument);
  EXPECT_EQ(Tokens(h, "", jvrDocument, &end), "");
  EXPECT_EQ(end, jvrDocument);
  EXPECT_EQ(Tokens(h, "end */ x", jvrDocument, &end), "1:end */ | 7:  | 2:x");
  EXPECT_EQ(end, jvrNormal);
  EXPECT_EQ(Tokens(h, "*/x", jvrComment, &end), "0:*/ | 2:x");
  // Any other state is code.
  EXPECT_EQ(Tokens(h, "a // b", 0x207, &end), "2:a | 7:  | 0:// b");
  EXPECT_EQ(end, jvrNormal);
}

TEST(PascalHighlighter, CommentsDirectivesNumbers) {
  TSrcPasSrc h(nullptr);
  uintptr_t end = 0;
  EXPECT_EQ(Tokens(h, "{$R+} { note } (* x *) // y", prUnknown, &end),
            "12:{$R+} | 6:  | 1:{ note } | 6:  | 1:(* x *) | 6:  | 1:// y");
  EXPECT_EQ(Tokens(h, "x { open", prUnknown, &end), "2:x | 6:  | 1:{ open");
  EXPECT_EQ(end, prBor);
  EXPECT_EQ(Tokens(h, "still } y", prBor, &end), "1:still } | 6:  | 2:y");
  EXPECT_EQ(end, prUnknown);
  EXPECT_EQ(Tokens(h, "(*) a", prUnknown, &end), "1:(*) a");
  EXPECT_EQ(end, prAnsi);
  EXPECT_EQ(Tokens(h, "1..2 1.5e-3 3-4 $1F #13#$0A 'it''s' 'open", prUnknown),
            "5:1 | 8:.. | 5:2 | 6:  | 10:1.5e-3 | 6:  | 5:3 | 8:- | 5:4 | 6:  | 11:$1F | 6:  | 13:#13 | 13:#$0A | 6:  | "
            "7:'it''s' | 6:  | 7:'open");
  EXPECT_EQ(Tokens(h, ":= <> <= >= (. .) @@ | \xE0", prUnknown),
            "8::= | 6:  | 8:<> | 6:  | 8:<= | 6:  | 8:>= | 6:  | 8:(. | 6:  | 8:.) | 6:  | 8:@@ | 6:  | 9:| | 6:  | 9:\xE0");
  h.SetPascalVersion(pvVersion1);
  EXPECT_EQ(Tokens(h, "// stdcall", prUnknown), "8:/ | 8:/ | 6:  | 2:stdcall");
}

TEST(PascalHighlighter, KeywordsByDialectAndContext) {
  TSrcPasSrc h(nullptr);
  uintptr_t end = 0;
  EXPECT_EQ(Tokens(h, "BEGIN Begin begin1 begin_ read", prUnknown), "3:BEGIN | 6:  | 3:Begin | 6:  | 2:begin1 | 6:  | 2:begin_ | 6:  | 2:read");
  EXPECT_EQ(Tokens(h, "property X: Integer read FX write SetX; read", prUnknown, &end),
            "3:property | 6:  | 2:X | 8:: | 6:  | 2:Integer | 6:  | 3:read | 6:  | 2:FX | 6:  | 3:write | 6:  | 2:SetX | 8:; | "
            "6:  | 2:read");
  EXPECT_EQ(end, prUnknown);
  EXPECT_EQ(Tokens(h, "exports F index 1 name 'f';", prUnknown),
            "3:exports | 6:  | 2:F | 6:  | 3:index | 6:  | 5:1 | 6:  | 3:name | 6:  | 7:'f' | 8:;");
  EXPECT_EQ(Tokens(h, "name index readonly implements", prProperty), "2:name | 6:  | 3:index | 6:  | 3:readonly | 6:  | 3:implements");
  EXPECT_EQ(Tokens(h, "platform package stdcall", prUnknown), "3:platform | 6:  | 3:package | 6:  | 3:stdcall");

  struct Senders {
    std::vector<TObject*> seen;
    void On(TObject* Sender) { seen.push_back(Sender); }
  } changes;
  TNotifyEvent hook(&changes, &Senders::On);
  h.AddChangeHook(hook);
  h.SetPascalVersion(pvVersion2);  // below the package level: package sources go off
  EXPECT_FALSE(h.PackageSource());
  EXPECT_EQ(Tokens(h, "platform package stdcall readonly", prProperty),
            "2:platform | 6:  | 2:package | 6:  | 3:stdcall | 6:  | 2:readonly");
  h.SetPackageSource(true);  // raises the dialect level to the package level
  EXPECT_EQ(h.PascalVersion(), pvVersion3);
  h.SetPackageSource(true);
  // Each effective change asks the editors for a full rescan (the highlighter is the sender).
  EXPECT_EQ(changes.seen, (std::vector<TObject*>{&h, &h}));
  h.RemoveChangeHook(hook);
}

TEST(PascalHighlighter, AssemblerBlocks) {
  TSrcPasSrc h(nullptr);
  uintptr_t end = 0;
  EXPECT_EQ(Tokens(h, "asm MOV AX,1 { c }", prUnknown, &end), "3:asm | 6:  | 0:MOV | 6:  | 0:AX | 0:, | 0:1 | 6:  | 1:{ c }");
  EXPECT_EQ(end, prAsm);
  EXPECT_EQ(Tokens(h, "  (* x", prAsm, &end), "6:   | 1:(* x");
  EXPECT_EQ(end, prAnsiAsm);
  EXPECT_EQ(Tokens(h, "*) PUSH 'a'; end;", prAnsiAsm, &end), "1:*) | 6:  | 0:PUSH | 6:  | 0:'a' | 0:; | 6:  | 3:end | 8:;");
  EXPECT_EQ(end, prUnknown);
  EXPECT_EQ(Tokens(h, "{ open", prAsm, &end), "1:{ open");
  EXPECT_EQ(end, prBorAsm);
  h.SetRange(R(prAsm));
  AnsiString line = "NOP";
  h.SetLine(line, 0);
  EXPECT_EQ(h.GetTokenAttribute(), h.AsmAttri());

  // The sample: the asm block's lines are assembler, its keyword and its end are keywords.
  auto lines = Lines(h, h.GetSampleSource());
  ASSERT_EQ(lines.size(), 21u);
  EXPECT_EQ(lines[0], "1:{ Syntax highlighting }");
  EXPECT_EQ(lines[12], "6:     | 2:R | 6:  | 8::= | 6:  | 2:X | 6:  | 8:+ | 6:  | 10:1.0 | 6:  | 8:+ | 6:  | 11:$FF | 8:;");
  EXPECT_EQ(lines[13], "6:     | 12:{$R+}");
  EXPECT_EQ(lines[15], "6:     | 3:asm");
  EXPECT_EQ(lines[16], "6:       | 0:MOV | 6:  | 0:AX | 0:, | 0:1234 | 0:H");
  EXPECT_EQ(lines[18], "6:     | 3:end | 8:;");
}

TEST(PascalHighlighter, ColoursOfAnotherTool) {
  std::string dir = testing::TempDir() + "vt-pascal-settings";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  setenv("VANTRY_TARN_CONFIG_DIR", dir.c_str(), 1);
  TSrcPasSrc h(nullptr);
  TStringList versions;
  versions.Add("kept");
  h.EnumUserSettings(&versions);
  EXPECT_EQ(versions.Count(), 1);  // no such tool: the list stays
  EXPECT_FALSE(h.UseUserSettings(0));
  {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    // The program's own keys, never another product's.
    ASSERT_TRUE(reg.OpenKey("\\Software\\Vantry Tarn\\Pascal Colours\\3.0", true));
    ASSERT_TRUE(reg.OpenKey("\\Software\\Vantry Tarn\\Pascal Colours\\7.0", true));
    reg.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey("\\Software\\Vantry Tarn\\Pascal Colours\\3.0\\Highlight", true));
    for (const char* set : {"Assembler", "Comment", "Identifier", "Reserved_word", "Number", "Whitespace", "String", "Symbol"})
      reg.WriteString(set, "0,0,B,0,1,12,0");  // bold, foreground palette 12 (blue), window background
    ASSERT_TRUE(reg.OpenKey("\\Software\\Vantry Tarn\\Pascal Colours\\7.0\\Editor\\Highlight\\Comment", true));
  }
  h.EnumUserSettings(&versions);
  ASSERT_EQ(versions.Count(), 2);
  EXPECT_TRUE(h.UseUserSettings(0));
  EXPECT_EQ(h.HexAttri()->Foreground(), clBlue);
  EXPECT_EQ(h.CharAttri()->Background(), clWindow);
  EXPECT_TRUE(h.DirectiveAttri()->Style().Contains(fsBold));
  // The other version has only one incomplete set: nothing changes.
  h.HexAttri()->SetForeground(clRed);
  EXPECT_FALSE(h.UseUserSettings(1));
  EXPECT_FALSE(h.UseUserSettings(2));
  EXPECT_EQ(h.HexAttri()->Foreground(), clRed);
  std::filesystem::remove_all(dir);
}

TEST(CssHighlighter, SampleDeclarationsAndComments) {
  TSrcCssSrc h(nullptr);
  auto lines = Lines(h, h.GetSampleSource());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "0:/* Syntax Highlighting */");
  EXPECT_EQ(lines[1], "2:body  | 6:{ | 4:  | 1:font-family | 6:: | 4:  | 9:Tahoma | 6:, | 4:  | 9:Verdana | 6:, | 4:  | 9:Arial | "
                      "6:, | 4:  | 9:Helvetica | 6:, | 4:  | 9:sans-serif | 6:; | 4:  | 1:font-size | 6:: | 4:  | 11:8 | 9:pt  | 6:}");
  EXPECT_EQ(lines[2], "2:H1  | 6:{ | 4:  | 1:font-size | 6:: | 4:  | 11:18 | 9:pt | 6:; | 4:  | 1:color | 6:: | 4:  | 10:#000099 | 6:; | "
                      "4:  | 8:made-up-property | 6:: | 4:  | 11:1 | 4:  | 6:}");
  uintptr_t end = 0;
  EXPECT_EQ(Tokens(h, "h1, h2 {COLOR:x;Color:y;colour:z;'a':b}", csrSelector, &end),
            "2:h1, h2  | 6:{ | 1:COLOR | 6:: | 9:x | 6:; | 1:Color | 6:: | 9:y | 6:; | 8:colour | 6:: | 9:z | 6:; | "
            "8:'a' | 6:: | 9:b | 6:}");
  EXPECT_EQ(end, csrSelector);
  EXPECT_EQ(Tokens(h, "color: /* x */ red", csrBlock, &end), "1:color | 6:: | 4:  | 0:/* x */ | 4:  | 9:red");
  EXPECT_EQ(Tokens(h, "p /* a", csrSelector, &end), "2:p  | 0:/* a");
  EXPECT_EQ(Tokens(h, "", end), "");
  // The comment's end goes back to the state it opened in, also on another instance.
  TSrcCssSrc other(nullptr);
  EXPECT_EQ(Tokens(other, "b */ c", end, &end), "0:b */ | 2: c");
  EXPECT_EQ(Tokens(h, "x: /* a", csrBlock, &end), "8:x | 6:: | 4:  | 0:/* a");
  EXPECT_EQ(Tokens(other, "*/red", end), "0:*/ | 9:red");
  EXPECT_EQ(Tokens(other, "*/red", csrComment), "0:*/ | 2:red");
  EXPECT_EQ(Tokens(h, "top:\t\t\"s\" #fff 1..2", csrBlock), "1:top | 6:: | 4:\t | 4:\t | 5:\"s\" | 4:  | 10:#fff | 4:  | 11:1 | 11:..2");
  EXPECT_EQ(h.GetDefaultAttribute(1), nullptr);
  EXPECT_FALSE(h.IsFilterStored());
}

TEST(CssHashList, ChainsEnumerationAndDuplicates) {
  TSrcCssSrc h(nullptr);
  int entries = 0;
  for (int i = 0; i < h.Keywords().Count(); ++i)
    for (const TSrcHashEntry* e = h.Keywords().Get(i); e; e = e->NextEntry()) {
      ++entries;
      if (e->NextEntry()) {
        EXPECT_LE(e->KeywordLength(), e->NextEntry()->KeywordLength());
      }
    }
  EXPECT_EQ(entries, 122);
  EXPECT_EQ(std::strlen(CssPropertyNames), 1473u);
  EXPECT_EQ(h.Keywords().Get(-1), nullptr);
  EXPECT_EQ(h.Keywords().Get(h.Keywords().Count()), nullptr);

  TSrcHashEntryList list;
  list.Put(5, new TSrcHashEntry("color", 1));
  list.Put(5, new TSrcHashEntry("ab", 2));
  list.Put(5, new TSrcHashEntry("cd", 3));
  try {
    list.Put(5, new TSrcHashEntry("Color", 4));
    FAIL() << "a duplicate went in";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Keyword \"color\" already in list");
  }
  std::vector<std::string> chain;
  for (const TSrcHashEntry* e = list.Get(5); e; e = e->NextEntry()) chain.push_back(e->Keyword());
  EXPECT_EQ(chain, (std::vector<std::string>{"ab", "cd", "color"}));
  EXPECT_EQ(list.Count(), 6);

  std::vector<std::string> words;
  EnumerateKeywords(7, ", ,a b,", TSysCharSet::Range('a', 'z'), [&](const AnsiString& k, int kind) {
    EXPECT_EQ(kind, 7);
    words.push_back(k);
  });
  EXPECT_EQ(words, (std::vector<std::string>{"a", "b"}));
  EnumerateKeywords(7, ", ,", TSysCharSet::Range('a', 'z'), [&](const AnsiString&, int) { FAIL(); });
}

TEST(LanguageHighlighters, LooksNamesAndRegistration) {
  TSrcPasSrc pas(nullptr);
  TSrcJScriptSrc js(nullptr);
  TSrcJavaSrc java(nullptr);
  TSrcCssSrc css(nullptr);
  // Attribute lists enumerate in name order.
  EXPECT_EQ(AttributeNames(js), (std::vector<std::string>{"Comment", "Event", "Identifier", "Non-reserved Keyword", "Number",
                                                          "Reserved Word", "Space", "String", "Symbol"}));
  EXPECT_EQ(pas.GetAttribCount(), 12);
  EXPECT_EQ(java.GetAttribCount(), 9);
  EXPECT_EQ(css.GetAttribCount(), 11);
  EXPECT_EQ(css.KeyAttri()->Foreground(), TColor(0x00FF0080));
  EXPECT_EQ(css.ValueAttri()->ForegroundDefault(), TColor(0x00FF8000));
  EXPECT_EQ(pas.GetLanguageName(), "Object Pascal");
  EXPECT_TRUE(pas.GetCapabilities().Contains(hcUserSettingSets));
  EXPECT_EQ(js.GetDefaultFilter(), "Javascript Files (*.js)|*.js");
  EXPECT_EQ(css.GetLanguageName(), "Cascading Style Sheet");
  EXPECT_FALSE(pas.IsFilterStored());
  pas.SetDefaultFilter("x");
  EXPECT_TRUE(pas.IsFilterStored());
  EXPECT_TRUE(java.GetIdentChars().Contains('$'));
  // Ч is a letter of the editor's words, not of the scanner's names.
  EXPECT_TRUE(java.GetIdentChars().Contains(static_cast<unsigned char>(0xD7)));
  EXPECT_FALSE(JavaIdentTable[0xD7]);

  RegisterStandardHighlighters();
  RegisterStandardHighlighters();
  TSrcHighlighterList& list = HighlighterClassList();
  for (auto c : {&TSrcHTMLSrc::ClassInfo, &TSrcPasSrc::ClassInfo, &TSrcJScriptSrc::ClassInfo, &TSrcJavaSrc::ClassInfo,
                 &TSrcCssSrc::ClassInfo, &TSrcURISrc::ClassInfo}) {
    ASSERT_GE(list.IndexOf(c), 0) << c->ClassName;
    std::unique_ptr<TSrcCustomHighlighter> made(c->Create(nullptr));
    EXPECT_EQ(made->ClassType(), c);
  }
  EXPECT_EQ(list.Count(), 6);
}

}  // namespace

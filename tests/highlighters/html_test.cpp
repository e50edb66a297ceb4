#include <gtest/gtest.h>

#include <cstring>

#include "highlighters/html.h"
#include "scan_util.h"

namespace {

class HtmlScan : public ::testing::Test {
protected:
  // Scans Line from Range and checks the tokens and the range at the end of the line.
  void Expect(const std::string& line, uintptr_t range, const std::vector<Tok>& tokens, uintptr_t endRange) {
    uintptr_t end = 0;
    EXPECT_EQ(ScanLine(h, line, range, &end), tokens) << "line: " << line;
    EXPECT_EQ(end, endRange) << "line: " << line;
  }
  TSrcHTMLSrc h{nullptr};
};

TEST_F(HtmlScan, CommentsOpenCloseAndSpanLines) {
  Expect("<!-->abc", hrText, {{"<!--", htComment, 0}, {">", htComment, 4}, {"abc", htText, 5}}, hrText);
  // Dashes at the end of a line do not close with a '>' at the start of the next one.
  Expect("x<!-- a --", hrText, {{"x", htText, 0}, {"<!--", htComment, 1}, {" a --", htComment, 5}}, hrComment);
  Expect(">x -->y", hrComment, {{">x -->", htComment, 0}, {"y", htText, 6}}, hrText);
  Expect("still -- > inside", hrComment, {{"still -- > inside", htComment, 0}}, hrComment);
  // Inside a comment, line breaks are white space and the comment goes on after them.
  Expect("a\r\nb-->", hrComment, {{"a", htComment, 0}, {"\r\n", htSpace, 1}, {"b-->", htComment, 3}}, hrText);
  Expect("<!-", hrText, {{"<", htSymbol, 0}, {"!", htUndefKey, 1}, {"-", htIdentifier, 2}}, hrParam);
}

TEST_F(HtmlScan, XmlDeclarationAndTagNameKinds) {
  Expect("<?xml version=1.0?>", hrText,
         {{"<", htSymbol, 0}, {"", htUndefKey, 1}, {"?xml", htIdentifier, 1}, {" ", htSpace, 5},
          {"version", htIdentifier, 6}, {"=", htSymbol, 13}, {"1.0?", htValue, 14}, {">", htSymbol, 18}},
         hrText);
  Expect("<P><p></Table>", hrText,
         {{"<", htSymbol, 0}, {"P", htKey, 1}, {">", htSymbol, 2}, {"<", htSymbol, 3}, {"p", htKey, 4},
          {">", htSymbol, 5}, {"<", htSymbol, 6}, {"/Table", htKey, 7}, {">", htSymbol, 13}},
         hrText);
  Expect("<foo><h7>", hrText,
         {{"<", htSymbol, 0}, {"foo", htUndefKey, 1}, {">", htSymbol, 4}, {"<", htSymbol, 5},
          {"h7", htUndefKey, 6}, {">", htSymbol, 8}},
         hrText);
  Expect("<h1x>", hrText, {{"<", htSymbol, 0}, {"h1", htKey, 1}, {"x", htIdentifier, 3}, {">", htSymbol, 4}}, hrText);
  Expect("</noscriptx>", hrText, {{"<", htSymbol, 0}, {"/noscriptx", htIdentifier, 1}, {">", htSymbol, 11}}, hrText);
  Expect("<!DOCTYPE html>", hrText,
         {{"<", htSymbol, 0}, {"!DOCTYPE", htKey, 1}, {" ", htSpace, 9}, {"html", htIdentifier, 10}, {">", htSymbol, 14}},
         hrText);
  // White space after '<' keeps the tag-name state; "<&" is text.
  Expect("< b>", hrText, {{"<", htSymbol, 0}, {" ", htSpace, 1}, {"b", htKey, 2}, {">", htSymbol, 3}}, hrText);
  Expect("<&b", hrText, {{"<", htSymbol, 0}, {"&", htText, 1}, {"b", htText, 2}}, hrText);
  Expect("<1>", hrText, {{"<", htSymbol, 0}, {"1", htUndefKey, 1}, {">", htSymbol, 2}}, hrText);
}

TEST_F(HtmlScan, EveryKnownTagNameIsAKeyInAnyCase) {
  for (const char* name : HtmlTagNames) {
    std::string upper = name, lower = AnsiLowerCase(name);
    for (const std::string& n : {upper, lower}) {
      auto toks = ScanLine(h, "<" + n + ">", hrText);
      ASSERT_EQ(toks.size(), 3u) << n;
      EXPECT_EQ(toks[1], (Tok{n, htKey, 1}));
    }
  }
  // A closing form that the table lacks, and a name one letter off, are unknown.
  EXPECT_EQ(ScanLine(h, "</br>", hrText)[1].kind, htUndefKey);
  EXPECT_EQ(ScanLine(h, "<tablf>", hrText)[1].kind, htUndefKey);
}

TEST_F(HtmlScan, TagNameHashes) {
  struct {
    const char* name;
    int hash;
    size_t len;
  } cases[] = {{"H1", 9, 2},        {"I", 9, 1},           {"DL", 16, 2},        {"P", 16, 1},
               {"!DOCTYPE", 211, 8}, {"/BLOCKQUOTE", 243, 11}, {"/OPTGROUP", 250, 9}, {"foo", 36, 3},
               {"/noscriptx", 260, 10}, {"1", 1, 1},        {"h1x", 9, 2},        {"?", 0, 0}};
  for (const auto& c : cases) {
    AnsiString line = c.name;
    h.SetLine(line, 0);
    EXPECT_EQ(h.KeyHash(0), c.hash) << c.name;
    EXPECT_EQ(h.TagNameLength(), c.len) << c.name;
  }
  AnsiString shortLine = "ab";
  h.SetLine(shortLine, 0);
  EXPECT_EQ(h.KeyHash(100), 0);
  EXPECT_EQ(h.TagNameLength(), 0u);
}

TEST_F(HtmlScan, AttributesAndValues) {
  Expect("<p a=b>", hrText,
         {{"<", htSymbol, 0}, {"p", htKey, 1}, {" ", htSpace, 2}, {"a", htIdentifier, 3}, {"=", htSymbol, 4},
          {"b", htValue, 5}, {">", htSymbol, 6}},
         hrText);
  Expect("<p a=", hrText, {{"<", htSymbol, 0}, {"p", htKey, 1}, {" ", htSpace, 2}, {"a", htIdentifier, 3}, {"=", htSymbol, 4}},
         hrValue);
  Expect("word x>", hrValue, {{"word", htValue, 0}, {" ", htSpace, 4}, {"x", htIdentifier, 5}, {">", htSymbol, 6}}, hrText);
  // Quoted values take everything up to their own closing quote, and go on across lines.
  Expect("<a t=\"x'>y\" u='v\"w'>", hrText,
         {{"<", htSymbol, 0}, {"a", htKey, 1}, {" ", htSpace, 2}, {"t", htIdentifier, 3}, {"=", htSymbol, 4},
          {"\"x'>y\"", htValue, 5}, {" ", htSpace, 11}, {"u", htIdentifier, 12}, {"=", htSymbol, 13},
          {"'v\"w'", htValue, 14}, {">", htSymbol, 19}},
         hrText);
  Expect("<a t=\"one", hrText,
         {{"<", htSymbol, 0}, {"a", htKey, 1}, {" ", htSpace, 2}, {"t", htIdentifier, 3}, {"=", htSymbol, 4},
          {"\"one", htValue, 5}},
         hrDoubleQuoteValue);
  Expect("two", hrDoubleQuoteValue, {{"two", htValue, 0}}, hrDoubleQuoteValue);
  Expect("\"", hrDoubleQuoteValue, {{"\"", htValue, 0}}, hrParam);
  Expect("x\ry'", hrQuoteValue, {{"x", htValue, 0}, {"\r", htSpace, 1}, {"y'", htValue, 2}}, hrParam);
  // A quote that does not follow '=' is part of an attribute name; entities are not looked for
  // inside tags.
  Expect("<a \"b\"=&amp;>", hrText,
         {{"<", htSymbol, 0}, {"a", htKey, 1}, {" ", htSpace, 2}, {"\"b", htIdentifier, 3}, {"\"", htIdentifier, 5},
          {"=", htSymbol, 6}, {"&amp;", htValue, 7}, {">", htSymbol, 12}},
         hrText);
  // '<', '>' and '=' act the same in every state inside a tag.
  Expect("=<b", hrParam, {{"=", htSymbol, 0}, {"<", htSymbol, 1}, {"b", htKey, 2}}, hrParam);
  Expect(">", hrValue, {{">", htSymbol, 0}}, hrText);
  Expect("a>b=c", hrText, {{"a>b=c", htText, 0}}, hrText);
}

TEST_F(HtmlScan, WhiteSpace) {
  Expect("<p  \t  x>", hrText,
         {{"<", htSymbol, 0}, {"p", htKey, 1}, {"  ", htSpace, 2}, {"\t  ", htSpace, 4}, {"x", htIdentifier, 7},
          {">", htSymbol, 8}},
         hrText);
  // In text blanks are text; control characters are white space.
  Expect("a b\t\x01 c\r\nd\n", hrText,
         {{"a b", htText, 0}, {"\t\x01 ", htSpace, 3}, {"c", htText, 6}, {"\r\n", htSpace, 7}, {"d", htText, 9},
          {"\n", htSpace, 10}},
         hrText);
}

TEST_F(HtmlScan, EntitiesAndReferences) {
  Expect("<b>&amp;", hrText,
         {{"<", htSymbol, 0}, {"b", htKey, 1}, {">", htSymbol, 2}, {"", htText, 3}, {"&amp;", htAmpersand, 3}}, hrText);
  Expect("&amp; &copy; &AMP; &COPY;", hrText,
         {{"", htText, 0}, {"&amp;", htAmpersand, 0}, {" ", htText, 5}, {"&copy;", htAmpersand, 6},
          {" &AMP; &COPY;", htText, 12}},
         hrText);
  Expect("x&#169;y&#x2F;z&#X2f;&#;", hrText,
         {{"x", htText, 0}, {"&#169;", htAmpersand, 1}, {"y", htText, 7}, {"&#x2F;", htAmpersand, 8},
          {"z", htText, 14}, {"&#X2f;", htAmpersand, 15}, {"", htText, 21}, {"&#;", htAmpersand, 21}},
         hrText);
  // Without the ';' a reference stays text, cut after its digits.
  Expect("a&#169b &#x1fz", hrText, {{"a&#169", htText, 0}, {"b &#x1f", htText, 6}, {"z", htText, 13}},
         hrText);
  Expect("&amp", hrText, {{"&amp", htText, 0}}, hrText);
  Expect("&#12", hrText, {{"&#12", htText, 0}}, hrText);
  Expect("a & b", hrText, {{"a & b", htText, 0}}, hrText);
}

TEST_F(HtmlScan, EveryEntityOfTheTable) {
  for (const char* e : HtmlEntityTable) {
    std::string ent = e;
    EXPECT_EQ(ScanLine(h, "x" + ent + "y", hrText),
              (std::vector<Tok>{{"x", htText, 0}, {ent, htAmpersand, 1}, {"y", htText, 1 + int(ent.size())}}));
  }
}

TEST_F(HtmlScan, EmptyLineKeepsEveryState) {
  for (uintptr_t r : {0, 1, 2, 3, 4, 6, 7, 8}) Expect("", r, {}, r);
}

TEST_F(HtmlScan, SampleSource) {
  struct Line {
    std::vector<Tok> tokens;
    uintptr_t end;
  };
  const std::vector<Line> expected = {
      {{{"<!--", htComment, 0}, {" Syntax highlighting -->", htComment, 4}}, hrText},
      {{}, hrText},
      {{{"<", htSymbol, 0}, {"html", htKey, 1}, {">", htSymbol, 5}}, hrText},
      {{{"<", htSymbol, 0}, {"body", htKey, 1}, {" ", htSpace, 5}, {"bgcolor", htIdentifier, 6}, {"=", htSymbol, 13},
        {"\"red\"", htValue, 14}, {">", htSymbol, 19}},
       hrText},
      {{{"  ", htText, 0}, {"<", htSymbol, 2}, {"form", htKey, 3}, {" ", htSpace, 7}, {"name", htIdentifier, 8},
        {"=", htSymbol, 12}, {"\"frmLogin\"", htValue, 13}, {" ", htSpace, 23}, {"action", htIdentifier, 24},
        {"=", htSymbol, 30}, {"\"doSomething.asp\"", htValue, 31}, {">", htSymbol, 48}},
       hrText},
      {{{"    ", htText, 0}, {"<", htSymbol, 4}, {"input", htKey, 5}, {" ", htSpace, 10}, {"name", htIdentifier, 11},
        {"=", htSymbol, 15}, {"\"user\"", htValue, 16}, {" ", htSpace, 22}, {"value", htIdentifier, 23},
        {"=", htSymbol, 28}, {"'any", htValue, 29}},
       hrQuoteValue},
      {{{"      value'", htValue, 0}, {">", htSymbol, 12}}, hrText},
      {{{"  ", htText, 0}, {"<", htSymbol, 2}, {"/form", htKey, 3}, {">", htSymbol, 8}}, hrText},
      {{{"  ", htText, 0}, {"<", htSymbol, 2}, {"invalid", htUndefKey, 3}, {">", htSymbol, 10},
        {"Sample HTML code ", htText, 11}, {"&copy;", htAmpersand, 28}, {" 2001", htText, 34}, {"<", htSymbol, 39},
        {"/invalid", htUndefKey, 40}, {">", htSymbol, 48}},
       hrText},
      {{{"<", htSymbol, 0}, {"/body", htKey, 1}, {">", htSymbol, 6}}, hrText},
      {{{"<", htSymbol, 0}, {"/html", htKey, 1}, {">", htSymbol, 6}}, hrText},
  };
  AnsiString sample = h.GetSampleSource();
  EXPECT_EQ(sample.size(), 241u);
  EXPECT_NE(sample.back(), '\n');
  std::vector<std::string> lines;
  for (size_t start = 0;;) {
    size_t crlf = sample.find("\r\n", start);
    lines.push_back(sample.substr(start, crlf == std::string::npos ? std::string::npos : crlf - start));
    if (crlf == std::string::npos) break;
    start = crlf + 2;
  }
  ASSERT_EQ(lines.size(), expected.size());
  h.ResetRange();
  uintptr_t range = U(h.GetRange());
  for (size_t i = 0; i < lines.size(); ++i) {
    uintptr_t end = 0;
    EXPECT_EQ(ScanLine(h, lines[i], range, &end), expected[i].tokens) << "sample line " << i + 1;
    EXPECT_EQ(end, expected[i].end) << "sample line " << i + 1;
    range = end;
  }
}

TEST(HtmlHighlighter, AttributesLooksAndTexts) {
  TSrcHTMLSrc h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 9);
  // Name order, not the order of creation.
  const char* names[] = {"Comment", "Escape Ampersand", "Identifier", "Reserved Word", "Space",
                         "Symbol",  "Text",             "Unknown Word", "Value"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(h.GetAttribute(i)->Name(), names[i]);
  EXPECT_EQ(h.GetAttribute(-1), nullptr);
  EXPECT_EQ(h.GetAttribute(9), nullptr);
  EXPECT_EQ(h.KeyAttri()->Foreground(), 0x00FF0080);
  EXPECT_EQ(h.KeyAttri()->Style(), TFontStyles({fsBold}));
  EXPECT_EQ(h.UndefKeyAttri()->Foreground(), clRed);
  EXPECT_EQ(h.ValueAttri()->Foreground(), 0x00FF8000);
  EXPECT_TRUE(h.ValueAttri()->Style().Empty());
  EXPECT_EQ(h.AndAttri()->Foreground(), clLime);
  EXPECT_EQ(h.CommentAttri()->Foreground(), clNone);
  EXPECT_TRUE(h.CommentAttri()->Style().Empty());
  for (int i = 0; i < 9; ++i) {
    auto* a = h.GetAttribute(i);
    EXPECT_EQ(a->Background(), clNone);
    // Defaults are the built-in look: nothing is stored in a form description.
    EXPECT_FALSE(a->IsForegroundStored() || a->IsBackgroundStored() || a->IsStyleStored());
  }
  EXPECT_EQ(h.GetDefaultAttribute(0), h.CommentAttri());
  EXPECT_EQ(h.GetDefaultAttribute(1), h.IdentifierAttri());
  EXPECT_EQ(h.GetDefaultAttribute(2), h.KeyAttri());
  EXPECT_EQ(h.GetDefaultAttribute(3), nullptr);
  EXPECT_EQ(h.GetDefaultAttribute(4), h.SpaceAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), h.SymbolAttri());
  EXPECT_EQ(h.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "HTML");
  EXPECT_EQ(h.GetDefaultFilter(), "HTML Documents (*.htm;*.html)|*.htm;*.html");
  EXPECT_TRUE(h.GetCapabilities().Contains(hcRegistryStorage));
  EXPECT_FALSE(h.GetCapabilities().Contains(hcUserSettingSets));
  TSysCharSet ident = h.GetIdentChars();
  EXPECT_TRUE(ident.Contains('_') && ident.Contains('z') && ident.Contains('0') && ident.Contains(uint8_t(0xC0)) &&
              ident.Contains(uint8_t(0xFF)));
  // Every Cyrillic letter: Ч, ч, Ё, ё and the other alphabets' letters too.
  EXPECT_TRUE(ident.Contains(uint8_t(0xD7)) && ident.Contains(uint8_t(0xF7)) && ident.Contains(uint8_t(0xA8)) &&
              ident.Contains(uint8_t(0xB8)) && ident.Contains(uint8_t(0xBF)));
  EXPECT_FALSE(ident.Contains('-') || ident.Contains(uint8_t(0xBB)) || ident.Contains(uint8_t(0xB5)));
  EXPECT_EQ(ident.Size(), 10u + 26 + 1 + 26 + 64 + 30);
}

TEST(HtmlHighlighter, TokenAttributesFollowTheKind) {
  TSrcHTMLSrc h(nullptr);
  AnsiString line = "<!--c--><p a=\"v\">t&amp;<x>";
  h.ResetRange();
  h.SetLine(line, 0);
  for (; !h.GetEol(); h.Next()) {
    TSrcHighlighterAttributes* want = nullptr;
    switch (h.GetTokenID()) {
      case htAmpersand: want = h.AndAttri(); break;
      case htComment: want = h.CommentAttri(); break;
      case htIdentifier: want = h.IdentifierAttri(); break;
      case htKey: want = h.KeyAttri(); break;
      case htSpace: want = h.SpaceAttri(); break;
      case htSymbol: want = h.SymbolAttri(); break;
      case htText: want = h.TextAttri(); break;
      case htUndefKey: want = h.UndefKeyAttri(); break;
      case htValue: want = h.ValueAttri(); break;
      default: break;
    }
    EXPECT_EQ(h.GetTokenAttribute(), want) << h.GetToken();
  }
  EXPECT_EQ(h.GetTokenAttribute(), nullptr);
  EXPECT_EQ(h.GetTokenKind(), htNull);
}

}  // namespace

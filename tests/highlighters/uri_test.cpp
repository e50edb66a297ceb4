// The URI highlighter: links, bare web and mail addresses, and what ends them.
#include "highlighters/uri.h"

#include "highlighters/standard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The tokens of a line as "text/kind" pieces joined by "|".
std::string Tokens(TSrcURISrc& h, const std::string& line) {
  h.SetLine(line, 0);
  std::string out;
  int expected = 0;
  while (!h.GetEol()) {
    EXPECT_EQ(h.GetTokenPos(), expected) << line;  // no gaps, no overlaps
    expected += static_cast<int>(h.GetToken().size());
    out += (out.empty() ? "" : "|") + h.GetToken() + "/" + std::to_string(h.GetTokenKind());
    h.Next();
  }
  EXPECT_EQ(expected, static_cast<int>(line.size())) << line;
  return out;
}

TEST(UriHighlighter, LinksOfEverySchemeAndBareAddresses) {
  TSrcURISrc h(nullptr);
  EXPECT_EQ(Tokens(h, "http://example.org/a?b=1"), "http://example.org/a?b=1/4");
  EXPECT_EQ(Tokens(h, "see https://x.ru/p/../q, ftp://f.ru/a.zip"),
            "see/13| /1|https://x.ru/p/../q/5|,/13| /1|ftp://f.ru/a.zip/2");
  EXPECT_EQ(Tokens(h, "MAILTO:me@x.ru news:comp.lang wais://w nntp://n telnet://t gopher://g prospero://p"),
            "MAILTO:me@x.ru/6| /1|news:comp.lang/7| /1|wais://w/11| /1|nntp://n/8| /1|telnet://t/10| /1|"
            "gopher://g/3| /1|prospero://p/9");
  // Letters of one hash group stand for each other: "tux" is read as "www".
  EXPECT_EQ(Tokens(h, "www.a.ru tux.b.com www.single"), "www.a.ru/12| /1|tux.b.com/12| /1|www.single/13");
  EXPECT_EQ(Tokens(h, "Mail a@b.ru."), "Mail/13| /1|a@b.ru/6|./13");
  EXPECT_EQ(Tokens(h, "x@.ru x@y.ru"), "x/13|@/13|./13|ru/13| /1|x@y.ru/6");
}

TEST(UriHighlighter, WhatEndsALink) {
  TSrcURISrc h(nullptr);
  // Closing punctuation, two dots, a blank, a Cyrillic letter and the line end.
  EXPECT_EQ(Tokens(h, "(http://a.ru/x)."), "(/13|http://a.ru/x/4|)/13|./13");
  EXPECT_EQ(Tokens(h, "http://a..b"), "http://a/4|./13|./13|b/13");
  EXPECT_EQ(Tokens(h, "http://a.ru/\xEF\xF3\xF2\xFC"), "http://a.ru//4|\xEF/13|\xF3/13|\xF2/13|\xFC/13");
  EXPECT_EQ(Tokens(h, "http:// x"), "http:///13| /1|x/13");
  EXPECT_EQ(Tokens(h, "http://"), "http:///13");
  EXPECT_EQ(Tokens(h, std::string("a\0b", 3)), std::string("a/13|") + '\0' + "/14|b/13");
  EXPECT_EQ(Tokens(h, "\t \r\n"), "\t /1|\r\n/1");
}

TEST(UriHighlighter, AttributesAndTheVisitedTest) {
  TSrcURISrc h(nullptr);
  EXPECT_EQ(h.GetAttribCount(), 2);
  EXPECT_EQ(h.GetDefaultAttribute(6), h.URIAttri());
  EXPECT_EQ(h.GetDefaultAttribute(7), h.VisitedURIAttri());
  EXPECT_NE(h.GetDefaultAttribute(4), nullptr);
  EXPECT_EQ(h.URIAttri()->Foreground(), clBlue);
  EXPECT_EQ(h.VisitedURIAttri()->Foreground(), clPurple);
  struct Seen {
    bool Is(const AnsiString& s) { return s == "www.a.ru"; }
  } seen;
  h.SetVisitedURICallback(TSrcIsVisitedURI(&seen, &Seen::Is));
  const AnsiString line = "www.a.ru www.b.ru x", one = "www.a.ru";
  h.SetLine(line, 0);
  EXPECT_EQ(h.GetTokenAttribute(), h.VisitedURIAttri());
  h.Next();
  EXPECT_EQ(h.GetTokenAttribute(), h.GetDefaultAttribute(4));
  h.Next();
  EXPECT_EQ(h.GetTokenAttribute(), h.URIAttri());
  h.SetVisitedURICallback(TSrcIsVisitedURI());
  h.SetLine(one, 0);
  EXPECT_EQ(h.GetTokenAttribute(), h.URIAttri());
  RegisterStandardHighlighters();
  EXPECT_GE(HighlighterClassList().IndexOf(&TSrcURISrc::ClassInfo), 0);
}

TEST(UriHighlighter, LongRunsOfLinkCharactersScanInLinearTime) {
  // Every letter of a long run without a blank would measure the whole run again.
  TSrcURISrc h(nullptr);
  std::string run;
  for (int i = 0; i < 200000; ++i) run += "a,";
  h.SetLine(run, 0);
  int tokens = 0;
  while (!h.GetEol()) {
    ++tokens;
    h.Next();
  }
  EXPECT_EQ(tokens, 400000);
}

}  // namespace

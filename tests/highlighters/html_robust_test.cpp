// Properties of the HTML scanner over generated and hostile lines.
#include <gtest/gtest.h>

#include <random>

#include "highlighters/html.h"
#include "scan_util.h"

namespace {

const uintptr_t kStates[] = {hrAmpersand, hrComment, hrKey, hrParam, hrText, hrValue, hrQuoteValue, hrDoubleQuoteValue};

std::string RandomLine(std::mt19937& rng, bool anyBytes) {
  static const char* const pieces[] = {"<",    ">",     "=",      "\"",    "'",      "&",   "&amp;", "&copy;",
                                       "&#",   "&#12;", "&#x1F;", "&#x",   "<!--",   "-->", "--",    "-",
                                       "!",    "/",     "<p",     "</b",   "table",  "h1",  "x9",    " ",
                                       "\t",   "\r",    "\n",     "\r\n",  "text",   "?",   ";",     "\xC0\xFF",
                                       "&AMP;", "<&",   "a=b",    "='v'",  "=\"w\"", "#"};
  std::uniform_int_distribution<int> count(0, 24), piece(0, int(std::size(pieces)) - 1), byte(0, 255), coin(0, 9);
  std::string s;
  for (int n = count(rng); n > 0; --n) {
    if (anyBytes && coin(rng) == 0) s += static_cast<char>(byte(rng));
    else s += pieces[piece(rng)];
  }
  return s;
}

// What the callers rely on: tokens follow each other from 0 without gaps up to the end of the
// line, each is the text between its start and the next one, and the scan ends.
void CheckCoverage(TSrcHTMLSrc& h, const std::string& line, uintptr_t range) {
  h.SetRange(R(range));
  h.SetLine(line, 7);
  size_t pos = 0, steps = 0;
  while (!h.GetEol()) {
    ASSERT_EQ(size_t(h.GetTokenPos()), pos) << "line of " << line.size() << " bytes, range " << range;
    std::string tok = h.GetToken();
    ASSERT_EQ(tok, line.substr(pos, tok.size()));
    pos += tok.size();
    // Empty tokens only change the state; two in a row would mean the scan is stuck.
    ASSERT_LE(++steps, 2 * line.size() + 2);
    h.Next();
  }
  EXPECT_EQ(pos, line.size());
  EXPECT_EQ(size_t(h.GetTokenPos()), line.size());
  EXPECT_EQ(h.GetToken(), "");
  h.Next();  // past the end the scanner stays there
  EXPECT_TRUE(h.GetEol());
}

TEST(HtmlProperties, ResumingAtAnyTokenBoundaryGivesTheSameTokens) {
  std::mt19937 rng(20011);
  TSrcHTMLSrc h(nullptr), resumed(nullptr);
  int checked = 0;
  for (int iter = 0; iter < 3000; ++iter) {
    std::string line = RandomLine(rng, iter % 3 == 0);
    uintptr_t start = kStates[iter % std::size(kStates)];
    // Tokens with the range after each of them.
    std::vector<Tok> all;
    std::vector<uintptr_t> after;
    h.SetRange(R(start));
    h.SetLine(line, 0);
    while (!h.GetEol()) {
      all.push_back({h.GetToken(), h.GetTokenKind(), h.GetTokenPos()});
      after.push_back(U(h.GetRange()));
      h.Next();
    }
    uintptr_t endRange = U(h.GetRange());
    for (size_t k = 0; k < all.size(); ++k) {
      size_t cut = size_t(all[k].pos) + all[k].text.size();
      // A comment may close with a '>' whose dashes are those of "<!--" just before it: the
      // only look back across a token boundary, and one never made across a line end.
      if (after[k] == hrComment && cut >= 2 && line.compare(cut - 2, 2, "--") == 0) continue;
      std::string rest = line.substr(cut);
      uintptr_t end = 0;
      std::vector<Tok> got = ScanLine(resumed, rest, after[k], &end);
      std::vector<Tok> want;
      for (size_t j = k + 1; j < all.size(); ++j) want.push_back({all[j].text, all[j].kind, all[j].pos - int(cut)});
      ASSERT_EQ(got, want) << "line \"" << line << "\" resumed at " << cut << " in state " << after[k];
      ASSERT_EQ(end, endRange);
      ++checked;
    }
  }
  EXPECT_GT(checked, 10000);
}

// The range-only scan the editor runs over whole documents gives, line after line, the range the
// token loop gives, from every state a range can hold, and leaves the scanner at the line's end.
TEST(HtmlProperties, RangeOnlyScanEndsInTheTokenLoopsRange) {
  static const std::string pieces[] = {
      "<", ">", "=", "\"", "'", "&", "&amp;", "&nbsp;", "&#169;", "&#x;", "&#12", "&copy", "<!--", "<!-->", "-->",
      "--->", "- ->", "--", "-", "!", "<!", "<!-", "<! --", "/", "<p", "<P class", "</b>", "<td", "<h1>", "<a1x<",
      "<1", "<&", "<\"", "<'", "<\xCF", "<script>", "</script>", "<style>", "</style>", "<?xml", "<!DOCTYPE html>",
      "href", "a=b", "a=", "=x>", "='v'", "=\"w\"", "=\"", "='", "=&amp;", "x\"y", "a'b", "a<b", "a&b", "v>", " ",
      "  ", "\t", "\r", "\n", "\r\n", "\v", std::string(1, '\0'), std::string("\0>", 2), std::string("-\0->", 4),
      "\xCF\xF0\xE8\xE2\xE5\xF2", "\xC0\xFF", "\xAB\xBB", "\x98", "text of the page; ", "if (a < b && c > d)",
      "1+2=3", std::string(300, 'w'), "<!-- " + std::string(200, 'c') + " -->", "\"" + std::string(100, 'q')};
  std::mt19937 rng(2026);
  std::uniform_int_distribution<int> count(0, 30), piece(0, int(std::size(pieces)) - 1), byte(0, 255), coin(0, 11);
  TSrcHTMLSrc fast(nullptr), tokens(nullptr);
  int changed = 0;
  for (int doc = 0; doc < 150; ++doc) {
    // A document: the range of each line is the start of the next, from the first line's reset.
    fast.ResetRange();
    tokens.ResetRange();
    for (int index = 0; index < 60; ++index) {
      std::string line;
      for (int n = count(rng); n > 0; --n) {
        if (doc % 3 == 0 && coin(rng) == 0) line += static_cast<char>(byte(rng));
        else line += pieces[piece(rng)];
      }
      const uintptr_t start = U(tokens.GetRange());
      const uintptr_t want = U(tokens.TSrcCustomHighlighter::ScanLineRange(line, index));
      ASSERT_EQ(U(fast.ScanLineRange(line, index)), want)
          << "line " << index << " \"" << line << "\" from state " << start;
      ASSERT_EQ(U(fast.GetRange()), want);
      ASSERT_TRUE(fast.GetEol());
      ASSERT_EQ(size_t(fast.GetTokenPos()), line.size());
      changed += start != want;
      // Every other state, odd ones included, on the same line.
      for (uintptr_t other = 0; other < 256; other += doc % 25 ? 1 + other / 9 * 30 : 1) {
        fast.SetRange(R(other));
        tokens.SetRange(R(other));
        ASSERT_EQ(U(fast.ScanLineRange(line, index)), U(tokens.TSrcCustomHighlighter::ScanLineRange(line, index)))
            << "line \"" << line << "\" from state " << other;
      }
      fast.SetRange(R(want));
      tokens.SetRange(R(want));
    }
  }
  EXPECT_GT(changed, 1500);  // the lines really move between the states
}

TEST(HtmlProperties, LineEndRangesAreEqualForEqualStates) {
  // Scanning the same line from the same state twice, on two instances, gives the same range.
  std::mt19937 rng(7);
  TSrcHTMLSrc a(nullptr), b(nullptr);
  for (int iter = 0; iter < 500; ++iter) {
    std::string line = RandomLine(rng, true);
    uintptr_t ra = 0, rb = 0;
    ScanLine(a, "&amp;<p x=\"" + line, hrText, &ra);  // leaves scanner state behind in a
    ScanLine(a, line, hrText, &ra);
    ScanLine(b, line, hrText, &rb);
    ASSERT_EQ(ra, rb);
  }
}

TEST(HtmlBadInput, EveryByteValueInEveryState) {
  TSrcHTMLSrc h(nullptr);
  for (int c = 0; c < 256; ++c)
    for (uintptr_t r = 0; r < 256; ++r) {
      std::string one(1, static_cast<char>(c));
      CheckCoverage(h, one, r);
      CheckCoverage(h, "<" + one + "&" + one + "\"", r);
    }
}

TEST(HtmlBadInput, RandomBytesAndRangesNoLineProduced) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> byte(0, 255), len(0, 64);
  TSrcHTMLSrc h(nullptr);
  for (int iter = 0; iter < 5000; ++iter) {
    std::string line;
    for (int n = len(rng); n > 0; --n) line += static_cast<char>(byte(rng));
    // Any pointer-sized value: only its low byte counts.
    uintptr_t range = (uintptr_t(rng()) << 8) | uintptr_t(byte(rng));
    CheckCoverage(h, line, range);
    CheckCoverage(h, RandomLine(rng, true), range);
  }
}

TEST(HtmlBadInput, NulInsideTheLineIsWhiteSpaceAndTheScanGoesOn) {
  TSrcHTMLSrc h(nullptr);
  const std::string nul(1, '\0');
  std::string line("ab\0cd<p\0x='\0'>", 14);
  EXPECT_EQ(ScanLine(h, line, hrText),
            (std::vector<Tok>{{"ab", htText, 0}, {nul, htSpace, 2}, {"cd", htText, 3}, {"<", htSymbol, 5},
                              {"p", htKey, 6}, {nul, htSpace, 7}, {"x", htIdentifier, 8}, {"=", htSymbol, 9},
                              {"'", htValue, 10}, {nul, htSpace, 11}, {"'", htValue, 12}, {">", htSymbol, 13}}));
  EXPECT_EQ(ScanLine(h, "a" + nul + "b-->", hrComment),
            (std::vector<Tok>{{"a", htComment, 0}, {nul, htSpace, 1}, {"b-->", htComment, 2}}));
}

TEST(HtmlBadInput, StaleStateFromAnAbandonedLine) {
  // A scan stopped just before an entity, then a shorter line scanned in the entity state: the
  // scanner looks at what is really there and stays inside the line.
  TSrcHTMLSrc h(nullptr);
  AnsiString first = "x&thetasym;";
  h.ResetRange();
  h.SetLine(first, 0);
  ASSERT_EQ(h.GetToken(), "x");
  uintptr_t mid = U(h.GetRange());
  ASSERT_EQ(mid, hrAmpersand);
  AnsiString second = "&";
  h.SetRange(R(mid));
  h.SetLine(second, 1);
  EXPECT_EQ(h.GetToken(), "&");
  EXPECT_EQ(h.GetTokenKind(), htAmpersand);
  h.Next();
  EXPECT_TRUE(h.GetEol());
  EXPECT_EQ(ScanLine(h, "&#x41;&lt;&", hrAmpersand),
            (std::vector<Tok>{{"&#x41;", htAmpersand, 0}, {"", htText, 6}, {"&lt;", htAmpersand, 6}, {"&", htText, 10}}));
}

TEST(HtmlBadInput, TenMegabyteLines) {
  const size_t n = 10 * 1024 * 1024;
  TSrcHTMLSrc h(nullptr);
  struct Case {
    std::string line;
    uintptr_t range;
    size_t maxTokens;
  };
  std::vector<Case> cases;
  cases.push_back({"<" + std::string(n, 'a'), hrText, 2});        // one tag name
  cases.push_back({"<" + std::string(n, '!') + "9>", hrText, 3});  // a name hash far past the table
  cases.push_back({"<!--" + std::string(n, '-'), hrText, 2});      // an unterminated comment
  cases.push_back({"<a b='" + std::string(n, 'v'), hrText, 6});    // an unterminated quote
  cases.push_back({std::string(n, 'x'), hrText, 1});               // text
  cases.push_back({std::string(n, ' '), hrKey, 1});               // white space
  std::string amps;
  for (size_t i = 0; amps.size() < n; ++i) amps += i % 2 ? "&am" : "&#1";
  cases.push_back({amps, hrText, n});
  for (const auto& c : cases) {
    h.SetRange(R(c.range));
    h.SetLine(c.line, 0);
    size_t tokens = 0, covered = 0;
    while (!h.GetEol()) {
      ASSERT_EQ(size_t(h.GetTokenPos()), covered);
      ++tokens;
      h.Next();
      covered = size_t(h.GetTokenPos());
    }
    EXPECT_EQ(covered, c.line.size());
    EXPECT_LE(tokens, c.maxTokens);
  }
}

}  // namespace

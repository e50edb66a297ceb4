// Properties of the Pascal, JavaScript, Java and style-sheet scanners over generated and
// hostile lines: tokens cover every byte exactly once, the range is the whole state that
// crosses a token boundary, and no line makes a scan stall or read past its end.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>

#include "highlighters/css.h"
#include "highlighters/java.h"
#include "highlighters/jscript.h"
#include "highlighters/pascal.h"
#include "scan_util.h"

namespace {

struct Language {
  const char* name;
  std::function<TSrcCustomHighlighter*()> make;
  std::vector<uintptr_t> states;
  std::vector<const char*> pieces;
};

const std::vector<Language>& Languages() {
  static const std::vector<Language> all = {
      {"Pascal", [] { return new TSrcPasSrc(nullptr); }, {1, 2, 3, 4, 5, 6, 7, 8},
       {"{", "}", "{$", "(*", "*)", "(", ")", "//", "/", "'", "''", "#", "$", "1", ".", "..", "e", "E", "+", "-", "asm",
        "end", "property", "read", "exports", "name", "index", ";", ":", "=", "<", ">", "@", "|", " ", "\t", "\r",
        "\n", "_", "x9", "\xE0\xFF", "begin"}},
      {"JavaScript", [] { return new TSrcJScriptSrc(nullptr); }, {0, 1},
       {"/*", "*/", "//", "/", "*", "\"", "'", "\\", "0x", "1", ".", "..", "...", "&", "|", "+", "-", ">", "=", "e",
        "var", "onClick", "Math", " ", "\t", "\r", "\n", "#", "@", "\x81\xFF", "_"}},
      {"Java", [] { return new TSrcJavaSrc(nullptr); }, {1, 2, 3},
       {"/*", "/**", "*/", "//", "/", "*", "\"", "'", "\\", "0x", "1", ".", "..", "L", "-", ">", ">>>", "<<", "=",
        "!", "class", "$", "#", "@", " ", "\t", "\r", "\n", "\xC0\xD7\x90"}},
      {"CSS", [] { return new TSrcCssSrc(nullptr); }, {0, 2, 3, 4, 5, 0x200, 0x500},
       {"/*", "*/", "/", "{", "}", ":", ";", ",", "\"", "#", "fff", "1", ".", "..", "color", "font-size", "x-y9", "'",
        " ", "\t", "\r", "\n", "h1", "\xE9"}},
  };
  return all;
}

std::string RandomLine(std::mt19937& rng, const Language& lang, bool anyBytes) {
  std::uniform_int_distribution<int> count(0, 24), piece(0, int(lang.pieces.size()) - 1), byte(0, 255), coin(0, 9);
  std::string s;
  for (int n = count(rng); n > 0; --n) {
    if (anyBytes && coin(rng) == 0) s += static_cast<char>(byte(rng));
    else s += lang.pieces[piece(rng)];
  }
  return s;
}

// Tokens follow each other from 0 without gaps to the end of the line, and the scan ends.
void CheckCoverage(TSrcCustomHighlighter& h, const std::string& line, uintptr_t range) {
  h.SetRange(R(range));
  h.SetLine(line, 0);
  size_t pos = 0, steps = 0;
  while (!h.GetEol()) {
    ASSERT_EQ(size_t(h.GetTokenPos()), pos) << "range " << range;
    std::string tok = h.GetToken();
    ASSERT_FALSE(tok.empty()) << "an empty token at " << pos;
    ASSERT_EQ(tok, line.substr(pos, tok.size()));
    pos += tok.size();
    ASSERT_LE(++steps, line.size());
    h.Next();
  }
  EXPECT_EQ(pos, line.size());
  h.Next();  // past the end the scanner stays there
  EXPECT_TRUE(h.GetEol());
}

TEST(LanguageScanners, TokensCoverEveryByteOnce) {
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> byte(0, 255), len(0, 48);
  for (const Language& lang : Languages()) {
    SCOPED_TRACE(lang.name);
    std::unique_ptr<TSrcCustomHighlighter> h(lang.make());
    for (int c = 0; c < 256; ++c)
      for (uintptr_t r = 0; r < 256; r += 3) CheckCoverage(*h, std::string(1, char(c)) + "/*\"" + char(c), r);
    for (int iter = 0; iter < 2000; ++iter) {
      std::string bytes;
      for (int n = len(rng); n > 0; --n) bytes += static_cast<char>(byte(rng));
      uintptr_t range = (uintptr_t(rng()) << 16) | uintptr_t(byte(rng));
      CheckCoverage(*h, bytes, range);
      CheckCoverage(*h, RandomLine(rng, lang, true), lang.states[iter % lang.states.size()]);
    }
  }
}

TEST(LanguageScanners, RangeIsTheWholeStateAtEveryTokenBoundary) {
  // Scanning the rest of a line from the range after any token, on another instance with the
  // leftovers of other lines, gives the same tokens and the same end range as scanning the line
  // in one go.
  std::mt19937 rng(77);
  for (const Language& lang : Languages()) {
    SCOPED_TRACE(lang.name);
    std::unique_ptr<TSrcCustomHighlighter> h(lang.make()), resumed(lang.make());
    int checked = 0;
    for (int iter = 0; iter < 1000; ++iter) {
      std::string line = RandomLine(rng, lang, iter % 4 == 0);
      uintptr_t start = lang.states[iter % lang.states.size()];
      std::vector<Tok> all;
      std::vector<uintptr_t> after;
      h->SetRange(R(start));
      h->SetLine(line, 0);
      while (!h->GetEol()) {
        all.push_back({h->GetToken(), h->GetTokenKind(), h->GetTokenPos()});
        after.push_back(U(h->GetRange()));
        h->Next();
      }
      const uintptr_t endRange = U(h->GetRange());
      for (size_t k = 0; k < all.size(); ++k) {
        const size_t cut = size_t(all[k].pos) + all[k].text.size();
        uintptr_t end = 0;
        std::vector<Tok> got = ScanLine(*resumed, line.substr(cut), after[k], &end);
        std::vector<Tok> want;
        for (size_t j = k + 1; j < all.size(); ++j) want.push_back({all[j].text, all[j].kind, all[j].pos - int(cut)});
        ASSERT_EQ(got, want) << "line \"" << line << "\" resumed at " << cut << " in state " << after[k];
        ASSERT_EQ(end, endRange);
        ++checked;
      }
    }
    EXPECT_GT(checked, 3000);
  }
}

// A batch of tokens handed over at once (NextTokens, which the painter uses) is the same token by
// token as the scanning protocol gives, whatever the batch size, and leaves the same range; so
// does asking for the range at the line's end alone (ScanLineRange, which range scans use).
TEST(LanguageScanners, TokenBatchesAreTheTokensOneByOne) {
  std::vector<Language> languages = Languages();
  languages.push_back({"HTML", [] { return new TSrcHTMLSrc(nullptr); }, {1, 2, 3, 4, 6, 7, 8},
                       {"<", ">", "<!--", "-->", "=", "\"", "'", "&amp;", "&#12;", "&#x", "&", ";", "a", "href",
                        "td", "/", " ", "\t", "\r", "\n", "\xE0", "x"}});
  std::mt19937 rng(77);
  for (const Language& lang : languages) {
    SCOPED_TRACE(lang.name);
    std::unique_ptr<TSrcCustomHighlighter> h(lang.make());
    for (int i = 0; i < 400; ++i) {
      std::string line = RandomLine(rng, lang, i % 4 == 0);
      for (uintptr_t range : lang.states) {
        std::vector<TSrcTokenSpan> one;
        h->SetRange(R(range));
        h->SetLine(line, 0);
        for (; !h->GetEol(); h->Next())
          one.push_back({h->GetTokenPos(), int(h->GetToken().size()), h->GetTokenAttribute()});
        uintptr_t end = U(h->GetRange());
        h->SetRange(R(range));
        ASSERT_EQ(U(h->ScanLineRange(line, 0)), end) << "range only, \"" << line << "\" from " << range;
        ASSERT_TRUE(h->GetEol());
        for (int batch : {1, 3, 64}) {
          std::vector<TSrcTokenSpan> got(static_cast<size_t>(batch));
          size_t at = 0;
          h->SetRange(R(range));
          h->SetLine(line, 0);
          for (int n; (n = h->NextTokens(got.data(), batch)) > 0;)
            for (int k = 0; k < n; ++k, ++at) {
              ASSERT_LT(at, one.size()) << batch;
              EXPECT_EQ(got[size_t(k)].Pos, one[at].Pos);
              EXPECT_EQ(got[size_t(k)].Len, one[at].Len);
              ASSERT_EQ(got[size_t(k)].Attr, one[at].Attr) << "token " << at << " of \"" << line << "\"";
            }
          EXPECT_EQ(at, one.size());
          EXPECT_TRUE(h->GetEol());
          EXPECT_EQ(U(h->GetRange()), end);
        }
      }
    }
  }
}

TEST(LanguageScanners, MegabyteLinesOfOneConstruct) {
  const size_t n = 1 << 20;
  for (const Language& lang : Languages()) {
    SCOPED_TRACE(lang.name);
    std::unique_ptr<TSrcCustomHighlighter> h(lang.make());
    for (const std::string& line :
         {"/*" + std::string(n, 'c'), "{" + std::string(n, 'c'), "\"" + std::string(n, 's'), std::string(n, 'Z'),
          std::string(n, '7'), std::string(n, '\t'), std::string(n, '\0'), std::string(n, '\xF0')})
      for (uintptr_t r : {lang.states.front(), lang.states.back()}) {
        h->SetRange(R(r));
        h->SetLine(line, 0);
        size_t tokens = 0;
        while (!h->GetEol() && tokens <= n) {
          ++tokens;
          h->Next();
        }
        ASSERT_EQ(size_t(h->GetTokenPos()), line.size());
      }
  }
}

}  // namespace

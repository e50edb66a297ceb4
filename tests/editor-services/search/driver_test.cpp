// The editor's search-and-replace driver with the real engines: scopes in the three selection
// modes, prompt answers, undo, clean-up on errors, and replace-all on a large text compared
// with straightforward references.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "editor-services/search/plain_search.h"
#include "editor-services/search/regex_search.h"
#include "editor/src_edit.h"
#include "platform/graphics.h"

static std::ostream& operator<<(std::ostream& os, const TBufferCoord& p) {
  return os << "(" << p.Char << "," << p.Line << ")";
}

namespace {

struct Prompt {
  int Line, Column;
  bool operator==(const Prompt&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Prompt& p) { return os << p.Line << ":" << p.Column; }

class SearchDriver : public ::testing::Test, public TObject {
protected:
  std::unique_ptr<TSrcEdit> ed;
  std::unique_ptr<TSrcEditSearch> plain;
  std::unique_ptr<TSrcEditRegexSearch> regex;
  std::vector<TSrcReplaceAction> answers;
  std::vector<Prompt> prompts;
  std::vector<AnsiString> seenTexts;  // the text as each prompt saw it

  void SetUp() override {
    EnsureGuiApplication();
    ed = std::make_unique<TSrcEdit>(nullptr);
    plain = std::make_unique<TSrcEditSearch>(nullptr);
    regex = std::make_unique<TSrcEditRegexSearch>(nullptr);
    ed->SetSearchEngine(plain.get());
  }
  void Text(const AnsiString& s) {
    ed->Lines()->SetText(s);
    ed->ClearUndo();
    ed->SetCaretXY(BufferCoord(1, 1));
  }
  void Answer(TObject*, const AnsiString&, const AnsiString&, int Line, int Column, TSrcReplaceAction& Action) {
    prompts.push_back({Line, Column});
    seenTexts.push_back(ed->Lines()->Text());
    Action = answers.empty() ? raReplace : answers.front();
    if (!answers.empty()) answers.erase(answers.begin());
  }
  void Ask() { ed->OnReplaceText = TReplaceTextEvent(this, &SearchDriver::Answer); }
  void Select(TBufferCoord a, TBufferCoord b) { ed->PlaceCaretAndSelection(b, a, b); }
  int Run(const AnsiString& s, const AnsiString& r, TSrcSearchOptions o) { return ed->SearchReplace(s, r, o); }
  // Every line with the break the tests write.
  AnsiString All() const {
    AnsiString s;
    for (int i = 0; i < ed->Lines()->Count(); ++i) s += ed->Lines()->Get(i) + "\r\n";
    return s;
  }
};

const TSrcSearchOptions kAll{soReplace, soReplaceAll, soEntireScope};

}  // namespace

TEST_F(SearchDriver, NoEngineEmptyTextAndFreedEngine) {
  ed->SetSearchEngine(nullptr);
  EXPECT_THROW(
      {
        try {
          Run("", "", {});
        } catch (const ESrcEditError& e) {
          EXPECT_EQ(e.Message(), "No search engine has been assigned");
          throw;
        }
      },
      ESrcEditError);
  ed->SetSearchEngine(plain.get());
  EXPECT_EQ(Run("", "x", kAll), 0);
  // A freed engine is forgotten.
  auto other = std::make_unique<TSrcEditSearch>(nullptr);
  ed->SetSearchEngine(other.get());
  other.reset();
  EXPECT_EQ(ed->SearchEngine(), nullptr);
}

TEST_F(SearchDriver, FindsFromTheCaretInBothDirections) {
  Text("ab ab\r\nab");
  ed->SetCaretXY(BufferCoord(4, 1));
  EXPECT_EQ(Run("ab", "", {}), 1);  // a hit that starts at the caret
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(4, 1));
  EXPECT_EQ(ed->BlockEnd(), BufferCoord(6, 1));
  EXPECT_EQ(ed->CaretXY(), BufferCoord(6, 1));
  EXPECT_EQ(Run("ab", "", {}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(1, 2));
  EXPECT_EQ(Run("ab", "", {}), 0);  // nothing after the last: caret and selection stay
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(1, 2));
  EXPECT_EQ(ed->CaretXY(), BufferCoord(3, 2));
  // Backwards a hit must end at or before the caret; the caret goes to the hit's start.
  ed->SetCaretXY(BufferCoord(5, 1));
  EXPECT_EQ(Run("ab", "", {soBackwards}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(1, 1));
  EXPECT_EQ(ed->CaretXY(), BufferCoord(1, 1));
  EXPECT_EQ(Run("ab", "", {soBackwards}), 0);
  EXPECT_EQ(Run("ab", "", {soBackwards, soEntireScope}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(1, 2));
  // Selected-only without a selection is the whole scope.
  ed->SetCaretXY(BufferCoord(3, 2));
  EXPECT_EQ(Run("ab", "", {soSelectedOnly, soEntireScope}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(1, 1));

  // Empty hits: the one at the caret, where the last search left it, is passed over, so that
  // every search moves on, forwards and backwards, until none is left.
  ed->SetSearchEngine(regex.get());
  // Each search's selection, until a search finds nothing.
  auto walk = [&](const AnsiString& pattern, TBufferCoord from, TSrcSearchOptions o) {
    std::ostringstream hits;
    ed->SetCaretXY(from);
    for (int i = 0; i < 20 && Run(pattern, "", o) == 1; ++i) hits << ed->BlockBegin() << "-" << ed->BlockEnd() << " ";
    return hits.str();
  };
  // (Forwards the empty hit after "xx" lies at the caret that "xx" left.)
  Text("axxb\r\nx");
  EXPECT_EQ(walk("x*", BufferCoord(1, 1), {}), "(2,1)-(4,1) (5,1)-(5,1) (1,2)-(2,2) ");
  EXPECT_EQ(walk("x*", BufferCoord(2, 2), {soBackwards}), "(1,2)-(2,2) (5,1)-(5,1) (4,1)-(4,1) (2,1)-(4,1) (1,1)-(1,1) ");
  Text("ab\r\n\r\ncd");
  EXPECT_EQ(walk("^", BufferCoord(1, 1), {}), "(1,2)-(1,2) (1,3)-(1,3) ");
  EXPECT_EQ(walk("$", BufferCoord(3, 3), {soBackwards}), "(1,2)-(1,2) (3,1)-(3,1) ");
  // The whole text from its start still finds the hit at (1,1).
  ed->SetCaretXY(BufferCoord(1, 1));
  EXPECT_EQ(Run("^", "", {soEntireScope}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(1, 1));
  // A replace-all from the caret replaces the empty hit there too.
  ed->SetCaretXY(BufferCoord(1, 1));
  EXPECT_EQ(Run("^", "> ", {soReplace, soReplaceAll}), 3);
  EXPECT_EQ(All(), "> ab\r\n>\r\n> cd\r\n");
  // The plain engine has no empty hits: its searches walk every hit once.
  ed->SetSearchEngine(plain.get());
  Text("aa a\r\na");
  EXPECT_EQ(walk("a", BufferCoord(1, 1), {}), "(1,1)-(2,1) (2,1)-(3,1) (4,1)-(5,1) (1,2)-(2,2) ");
  EXPECT_EQ(walk("a", BufferCoord(2, 2), {soBackwards}), "(1,2)-(2,2) (4,1)-(5,1) (2,1)-(3,1) (1,1)-(2,1) ");
}

TEST_F(SearchDriver, ReplaceAllKeepsLaterHitsAndTheSelectedScopeInStep) {
  Text("a.a.a.a\r\nxa");
  Select(BufferCoord(3, 1), BufferCoord(6, 1));
  EXPECT_EQ(Run("a", "long", {soReplace, soReplaceAll, soSelectedOnly}), 2);
  EXPECT_EQ(All(), "a.long.long.a\r\nxa\r\n");
  EXPECT_EQ(ed->BlockEnd(), BufferCoord(12, 1));
  ed->Undo();
  EXPECT_EQ(All(), "a.a.a.a\r\nxa\r\n");
  // Shorter ones: it shrinks, also to nothing (the blank left is trimmed).
  Text("abab abab");
  Select(BufferCoord(1, 1), BufferCoord(10, 1));
  EXPECT_EQ(Run("ab", "", {soReplace, soReplaceAll, soSelectedOnly}), 4);
  EXPECT_EQ(All(), "\r\n");
  // Empty hits replaced by nothing change nothing: the line keeps its trailing blanks, and
  // there is nothing to undo.
  ed->SetSearchEngine(regex.get());
  Text("b \t");
  Run("a*", "", kAll);
  EXPECT_EQ(All(), "b \t\r\n");
  EXPECT_FALSE(ed->CanUndo());
  ed->SetSearchEngine(plain.get());
  // A replacement that holds the search text is not searched again.
  Text("aXa");
  EXPECT_EQ(Run("a", "aa", kAll), 2);
  EXPECT_EQ(All(), "aaXaa\r\n");
  // Replacements with line breaks: the rest of the line follows them.
  Text("a-a-a\r\na");
  EXPECT_EQ(Run("a", "b\r\nc", kAll), 4);
  EXPECT_EQ(All(), "b\r\nc-b\r\nc-b\r\nc\r\nb\r\nc\r\n");
  // Backwards: each line from its last hit to its first.
  Text("aa a\r\na");
  Ask();
  EXPECT_EQ(Run("a", "bb", {soReplace, soReplaceAll, soEntireScope, soBackwards, soPrompt}), 4);
  EXPECT_EQ(prompts, (std::vector<Prompt>{{2, 1}, {1, 4}, {1, 2}, {1, 1}}));
  EXPECT_EQ(All(), "bbbb bb\r\nbb\r\n");
}

TEST_F(SearchDriver, PromptAnswers) {
  Ask();
  const TSrcSearchOptions asked{soReplace, soReplaceAll, soEntireScope, soPrompt};
  // Skip leaves a hit and counts it; all replaces the rest without asking, in one undo step.
  Text("a a a a");
  answers = {raSkip, raReplace, raReplaceAll};
  EXPECT_EQ(Run("a", "b", asked), 4);
  EXPECT_EQ(prompts.size(), 3u);
  EXPECT_EQ(All(), "a b b b\r\n");
  ed->Undo();
  EXPECT_EQ(All(), "a b a a\r\n");
  ed->Undo();
  EXPECT_EQ(All(), "a a a a\r\n");
  // Cancel stops at once; the cancelled hit counts.
  Text("a a a");
  prompts.clear();
  answers = {raReplace, raCancel};
  EXPECT_EQ(Run("a", "b", asked), 2);
  EXPECT_EQ(All(), "b a a\r\n");
  EXPECT_EQ(ed->PaintLock(), 0);
  // Without a handler every hit is replaced; replace without replace-all does one.
  ed->OnReplaceText = nullptr;
  Text("a a");
  EXPECT_EQ(Run("a", "c", asked), 2);
  EXPECT_EQ(All(), "c c\r\n");
  Text("a a");
  EXPECT_EQ(Run("a", "c", {soReplace, soEntireScope}), 1);
  EXPECT_EQ(All(), "c a\r\n");
}

TEST_F(SearchDriver, RegexReplaceFillsTheTemplateFromTheMatchAsFoundInItsLine) {
  // Assertions about the text around a hit hold in its line, not at the edges of the hit alone.
  ed->SetSearchEngine(regex.get());
  struct Case {
    const char *pattern, *replacement, *before, *after;
    int hits;
  } cases[] = {
      {"\\Bcat", "dog", "concat cat", "condog cat", 1},
      {"x\\B", "Z", "xy x", "Zy x", 1},
      {"(c)at\\B", "[$1$&]", "cats cat", "[ccat]s cat", 1},
      {"\\b(\\w)(\\w*)\\B", "$2$1", "ab cde", "ab dce", 2},
      {"^(a)|(a)$", "<$1|$2>", "aaa", "<a|>a<|a>", 2},
      {"(o)\\1\\B", "0", "foot zoo", "f0t zoo", 1},
  };
  for (const Case& c : cases) {
    for (TSrcSearchOptions o : {kAll, TSrcSearchOptions{soReplace, soReplaceAll, soEntireScope, soBackwards}}) {
      SCOPED_TRACE(std::string(c.pattern) + (o.Contains(soBackwards) ? " backwards" : ""));
      Text(c.before);
      EXPECT_EQ(Run(c.pattern, c.replacement, o), c.hits);
      EXPECT_EQ(ed->Lines()->Get(0), c.after);
    }
  }
  // One replace at a time, as the prompt's "Да" does.
  Text("concat");
  EXPECT_EQ(Run("\\Bcat", "dog", {soReplace, soEntireScope}), 1);
  EXPECT_EQ(ed->Lines()->Get(0), "condog");
}

TEST_F(SearchDriver, ScopesFollowTheSelectionMode) {
  // Column mode: only hits between the columns, on the selected lines.
  Text("abab\r\nabab\r\nabab");
  ed->SetSelectionMode(smColumn);
  Select(BufferCoord(2, 1), BufferCoord(5, 2));
  EXPECT_EQ(Run("ab", "X", {soReplace, soReplaceAll, soSelectedOnly}), 2);
  EXPECT_EQ(All(), "abX\r\nabX\r\nabab\r\n");
  // Outside the selection the mode has no columns: from the caret every later hit is found,
  // also beyond the length of the last line, and replace-all takes every hit of the page.
  Text("ab\r\nxab\r\nxxxxab\r\nab");
  ed->SetCaretXY(BufferCoord(2, 1));
  EXPECT_EQ(Run("ab", "", {}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(2, 2));
  EXPECT_EQ(Run("ab", "", {}), 1);
  EXPECT_EQ(ed->BlockBegin(), BufferCoord(5, 3));
  EXPECT_EQ(Run("ab", "", {}), 1);
  EXPECT_EQ(Run("ab", "", {}), 0);
  Text("ab ab ab\r\nxxxxab ab\r\nab");
  Select(BufferCoord(1, 1), BufferCoord(3, 1));
  EXPECT_EQ(Run("ab", "X", {soReplace, soReplaceAll, soEntireScope}), 6);
  EXPECT_EQ(All(), "X X X\r\nxxxxX X\r\nX\r\n");
  ed->SetSelectionMode(smNormal);
  // Line mode: the selected lines whole; a replacement takes the hit, not its line.
  ed->SetSelectionMode(smLine);
  Text("one ab\r\nab two\r\nab");
  Select(BufferCoord(5, 1), BufferCoord(2, 2));
  EXPECT_EQ(Run("ab", "X", {soReplace, soReplaceAll, soSelectedOnly}), 2);
  EXPECT_EQ(All(), "one X\r\nX two\r\nab\r\n");
  EXPECT_EQ(ed->SelectionMode(), smLine);
  // The expression engine makes each replacement from the hit, not from its line.
  ed->SetSearchEngine(regex.get());
  Text("one ab\r\nab two\r\nab");
  Select(BufferCoord(5, 1), BufferCoord(2, 2));
  EXPECT_EQ(Run("a(b)", "[$1]", {soReplace, soReplaceAll, soSelectedOnly}), 2);
  EXPECT_EQ(All(), "one [b]\r\n[b] two\r\nab\r\n");
  ed->SetSearchEngine(plain.get());
  // Find next in line mode moves on along the line.
  Text("ab ab");
  EXPECT_EQ(Run("ab", "", {}), 1);
  EXPECT_EQ(Run("ab", "", {}), 1);
  EXPECT_EQ(ed->CaretXY(), BufferCoord(6, 1));
  EXPECT_EQ(Run("ab", "", {}), 0);
}

// Generated pages have lines of thousands of characters: a hit far beyond the scroll width is
// selected where it is, replaced there, and its replacement undone and redone exactly.
TEST_F(SearchDriver, HitsBeyondTheScrollWidthAreSelectedReplacedAndUndone) {
  AnsiString longLine = "<p>" + AnsiString(1996, 'x') + "WORD" + AnsiString(993, 'y') + "</p>";
  AnsiString text = "<html>\r\n" + longLine + "\r\n" + longLine + "WORD\r\n";
  AnsiString replaced = text;
  for (size_t at; (at = replaced.find("WORD")) != AnsiString::npos;) replaced.replace(at, 4, "XY");
  for (bool wrap : {false, true}) {
    SCOPED_TRACE(wrap ? "word wrap" : "no word wrap");
    ed->SetWordWrap(wrap);
    Text(text);
    EXPECT_EQ(Run("WORD", "", {}), 1);
    EXPECT_EQ(ed->BlockBegin(), BufferCoord(2000, 2));
    EXPECT_EQ(ed->SelText(), "WORD");
    EXPECT_EQ(Run("WORD", "XY", kAll), 3);
    EXPECT_EQ(All(), replaced);
    ed->Undo();
    EXPECT_EQ(All(), text);
    ed->Redo();
    EXPECT_EQ(All(), replaced);
  }
}

TEST_F(SearchDriver, ErrorsAndReadOnlyLeaveEverythingBalanced) {
  // A malformed expression: nothing changes, locks and undo blocks are balanced.
  Text("abc abc");
  ed->SetCaretXY(BufferCoord(2, 1));
  ed->SetSearchEngine(regex.get());
  EXPECT_THROW(Run("(b", "x", kAll), ERegexEngine);
  EXPECT_EQ(ed->PaintLock(), 0);
  EXPECT_EQ(ed->UndoList()->BlockCount(), 0);
  EXPECT_EQ(ed->UndoList()->ItemCount(), 0);
  EXPECT_EQ(ed->CaretXY(), BufferCoord(2, 1));
  // The plain engine's empty pattern can only come from a caller that skips the driver's test.
  // A read-only text: the first hit is found, nothing is replaced or recorded.
  ed->SetSearchEngine(plain.get());
  ed->SetReadOnly(true);
  Ask();
  EXPECT_EQ(Run("abc", "x", {soReplace, soReplaceAll, soPrompt, soEntireScope}), 1);
  EXPECT_TRUE(prompts.empty());
  EXPECT_EQ(All(), "abc abc\r\n");
  EXPECT_EQ(ed->UndoList()->ItemCount(), 0);
  EXPECT_EQ(ed->PaintLock(), 0);
  // A handler that throws ends the run the same way; what was replaced stays.
  ed->SetReadOnly(false);
  struct Thrower : TObject {
    int n = 0;
    void Answer(TObject*, const AnsiString&, const AnsiString&, int, int, TSrcReplaceAction& A) {
      if (++n == 2) throw Exception("stop");
      A = raReplace;
    }
  } thrower;
  ed->OnReplaceText = TReplaceTextEvent(&thrower, &Thrower::Answer);
  Text("a a\r\na");
  EXPECT_THROW(Run("a", "b", {soReplace, soReplaceAll, soPrompt, soEntireScope}), Exception);
  EXPECT_EQ(All(), "b a\r\na\r\n");
  EXPECT_EQ(ed->PaintLock(), 0);
  EXPECT_EQ(ed->UndoList()->BlockCount(), 0);
}

namespace {

AnsiString LargeLine(int i) {
  static const char* words[] = {"Привет", "привет", "ПРИВЕТ", "приветствие", "мир", "при", "_привет"};
  AnsiString s = "<td class=\"c" + std::to_string(i % 7) + "\">";
  for (int k = 0; k < 4; ++k) s += W1251(words[(i * 3 + k * 5) % 7]) + (k % 2 ? ", " : " ");
  return s + "</td>";
}

// The plain reference: every line, leftmost occurrences without overlap, replaced.
AnsiString ReferenceReplace(const std::vector<AnsiString>& lines, const AnsiString& pat, const AnsiString& rep,
                            bool wholeWord) {
  AnsiString out, p = AnsiLowerCase(pat);
  auto word = [](char c) { return IsCharAlphaNumeric(c) || c == '_'; };
  for (const AnsiString& line : lines) {
    AnsiString low = AnsiLowerCase(line), r;
    size_t from = 0, copied = 0;
    while ((from = low.find(p, from)) != AnsiString::npos) {
      size_t e = from + p.size();
      if (wholeWord && ((from > 0 && word(line[from - 1])) || (e < line.size() && word(line[e])))) {
        ++from;
        continue;
      }
      r += line.substr(copied, from - copied) + rep;
      copied = from = e;
    }
    out += r + line.substr(copied) + "\r\n";
  }
  return out;
}

AnsiString PcreReplace(const std::vector<AnsiString>& lines, const std::string& pat, const std::string& tmpl) {
  int err = 0;
  PCRE2_SIZE off = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pat.c_str()), pat.size(), 0, &err, &off, nullptr);
  EXPECT_NE(code, nullptr);
  AnsiString out;
  std::vector<PCRE2_UCHAR> buf(1 << 16);
  for (const AnsiString& line : lines) {
    PCRE2_SIZE len = buf.size();
    int rc = pcre2_substitute(code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(), 0,
                              PCRE2_SUBSTITUTE_GLOBAL, nullptr, nullptr, reinterpret_cast<PCRE2_SPTR>(tmpl.data()),
                              tmpl.size(), buf.data(), &len);
    EXPECT_GE(rc, 0);
    out.append(reinterpret_cast<const char*>(buf.data()), len);
    out += "\r\n";
  }
  pcre2_code_free(code);
  return out;
}

}  // namespace

TEST_F(SearchDriver, LargeReplaceAllMatchesReferencesAndUndoesExactly) {
  const int kLines = 100000;
  std::vector<AnsiString> lines;
  AnsiString doc;
  for (int i = 0; i < kLines; ++i) {
    lines.push_back(LargeLine(i));
    doc += lines.back() + "\r\n";
  }
  Text(doc);
  ASSERT_EQ(All(), doc);

  // Plain, case-insensitive whole words in Cyrillic, a longer replacement.
  AnsiString rep = W1251("здравствуй");
  AnsiString expected = ReferenceReplace(lines, W1251("привет"), rep, true);
  int hits = Run(W1251("привет"), rep, {soReplace, soReplaceAll, soEntireScope, soWholeWord});
  EXPECT_GT(hits, kLines);
  EXPECT_TRUE(All() == expected);
  EXPECT_EQ(ed->PaintLock(), 0);
  ed->Undo();
  {
    AnsiString now = All();
    size_t i = 0;
    while (i < now.size() && i < doc.size() && now[i] == doc[i]) ++i;
    EXPECT_TRUE(now == doc) << i << " [" << now.substr(i > 100 ? i - 100 : 0, 200) << "]\n[" << doc.substr(i > 100 ? i - 100 : 0, 200) << "]";
  }
  ed->Redo();
  EXPECT_TRUE(All() == expected);
  ed->Undo();
  ASSERT_TRUE(All() == doc);

  // Regular expression against PCRE2 on the syntax both share: groups in the template.
  ed->SetSearchEngine(regex.get());
  Run("<td class=\"c([0-9])\">", "<th id=\"$1\">", {soReplace, soReplaceAll, soEntireScope, soMatchCase});
  AnsiString afterTd = PcreReplace(lines, "<td class=\"c([0-9])\">", "<th id=\"$1\">");
  EXPECT_TRUE(All() == afterTd);
  std::vector<AnsiString> stage;
  for (int i = 0; i < kLines; ++i) stage.push_back(ed->Lines()->Get(i));
  Run("(c|t)(d|h)>", "${2}x$1>", {soReplace, soReplaceAll, soEntireScope, soMatchCase});
  EXPECT_TRUE(All() == PcreReplace(stage, "(c|t)(d|h)>", "${2}x$1>"));
  ed->Undo();
  EXPECT_TRUE(All() == afterTd);
  // Each replace-all is one undo step however many records it holds: both are kept whole.
  ed->Undo();
  EXPECT_TRUE(All() == doc);
  EXPECT_FALSE(ed->CanUndo());
}

namespace {

// One line as a replace-all leaves it: every occurrence, found left to right without
// overlapping, replaced, and the trailing blanks and tabs of a changed line trimmed.
AnsiString ModelReplace(const AnsiString& line, const AnsiString& find, const AnsiString& with) {
  AnsiString out;
  size_t at = 0;
  bool changed = false;
  for (size_t hit; (hit = line.find(find, at)) != AnsiString::npos; at = hit + find.size()) {
    out += line.substr(at, hit - at) + with;
    changed = true;
  }
  out += line.substr(at);
  if (changed)
    while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  return out;
}

}  // namespace

// Replace-alls over short lines of letters, blanks and tabs, with trimming on: the text after
// the run follows the model, and undoing and redoing step by step passes back and forth through
// exactly the texts the run went through, blanks and tabs in their places.
TEST_F(SearchDriver, RandomReplaceAllsUndoAndRedoExactly) {
  std::mt19937 rng(2718);
  const char alphabet[] = "ab \t";
  auto word = [&](int minLen, int maxLen) {
    AnsiString s;
    int n = minLen + int(rng() % unsigned(maxLen - minLen + 1));
    for (int i = 0; i < n; ++i) s += alphabet[rng() % 4];
    return s;
  };
  Ask();
  for (int run = 0; run < 1500; ++run) {
    std::vector<AnsiString> lines;
    int count = 1 + int(rng() % 3);
    AnsiString doc;
    for (int i = 0; i < count; ++i) {
      lines.push_back(word(0, 7));
      doc += lines.back() + (i + 1 < count ? "\r\n" : "");
    }
    AnsiString find = word(1, 2), with = word(0, 2);
    ed->Lines()->SetText(doc);
    ed->ClearUndo();
    lines.clear();
    for (int i = 0; i < ed->Lines()->Count(); ++i) lines.push_back(ed->Lines()->Get(i));
    count = ed->Lines()->Count();
    TSrcSearchOptions o{soReplace, soReplaceAll, soEntireScope, soMatchCase};
    int kind = run % 3;
    if (kind == 1) o.Include(soBackwards);
    answers.clear();
    prompts.clear();
    if (kind == 2) {
      // Some hits replaced or skipped one by one, then "all" for the rest.
      o.Include(soPrompt);
      for (int i = int(rng() % 3); i > 0; --i) answers.push_back(rng() % 2 ? raReplace : raSkip);
      answers.push_back(raReplaceAll);
    }
    ed->SetCaretXY(o.Contains(soBackwards) ? BufferCoord(1, count) : BufferCoord(1, 1));
    std::vector<AnsiString> states{ed->Lines()->Text()};
    seenTexts.clear();
    Run(find, with, o);
    for (const AnsiString& s : seenTexts)
      if (s != states.back()) states.push_back(s);
    AnsiString after = ed->Lines()->Text();
    SCOPED_TRACE(testing::Message() << "run " << run << " text [" << doc << "] find [" << find << "] with [" << with
                                    << "] kind " << kind);
    if (kind != 2) {
      AnsiString model;
      for (const AnsiString& l : lines) model += ModelReplace(l, find, with) + "\r\n";
      ASSERT_EQ(All(), model);
    }
    if (after != states.back()) states.push_back(after);
    // Back to the start through the recorded states (grouped undo may pass over some), then
    // forward again to the end, then back once more.
    for (int pass = 0; pass < 3; ++pass) {
      bool undoing = pass != 1;
      size_t at = undoing ? states.size() - 1 : 0;
      while (undoing ? ed->CanUndo() : ed->RedoList()->CanUndo()) {
        undoing ? ed->Undo() : ed->Redo();
        AnsiString now = ed->Lines()->Text();
        if (undoing) {
          while (at > 0 && states[at] != now) --at;
        } else {
          while (at + 1 < states.size() && states[at] != now) ++at;
        }
        ASSERT_EQ(now, states[at]) << (undoing ? "undo" : "redo");
      }
      ASSERT_EQ(ed->Lines()->Text(), undoing ? states.front() : states.back()) << "pass " << pass;
    }
  }
}

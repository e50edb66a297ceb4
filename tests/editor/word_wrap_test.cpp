#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "editor/word_wrap.h"

namespace {

// A host that keeps the plugin in step with its line store, as the control does.
class Host : public TSrcWordWrapHost {
public:
  explicit Host(int chars) : chars_(chars) {
    lines.OnInserted = TStringListChangeEvent(this, &Host::Inserted);
    lines.OnDeleted = TStringListChangeEvent(this, &Host::Deleted);
    lines.OnPutted = TStringListChangeEvent(this, &Host::Putted);
  }
  int WrapCharsInWindow() const override { return chars_; }
  TSrcEditStringList* WrapLines() const override { return const_cast<TSrcEditStringList*>(&lines); }
  int WrapTabWidth() const override { return lines.TabWidth(); }
  bool WrapIdentChars(TSysCharSet& c) const override {
    if (!ident) return false;
    c = *ident;
    return true;
  }
  void SetChars(int c) { chars_ = c; }

  TSrcEditStringList lines;
  TSrcWordWrapPlugin* plugin = nullptr;
  const TSysCharSet* ident = nullptr;

private:
  void Inserted(TObject*, int i, int n) {
    if (plugin) plugin->LinesInserted(i, n);
  }
  void Deleted(TObject*, int i, int n) {
    if (plugin) plugin->LinesDeleted(i, n);
  }
  void Putted(TObject*, int i, int n) {
    if (plugin) plugin->LinesPutted(i, n);
  }
  int chars_;
};

std::vector<int> Rows(TSrcWordWrapPlugin& p) {
  std::vector<int> r;
  for (int i = 1; i <= p.RowCount(); ++i) r.push_back(p.GetRowLength(i));
  return r;
}

TEST(WordWrap, BreaksAfterWordsOrHardAtTheWidth) {
  Host h(80);
  TSysCharSet idents = TSysCharSet::Range('a', 'z') + TSysCharSet::Range('0', '9');
  h.ident = &idents;  // as a highlighter gives them: '-' breaks a row
  h.lines.Add(std::string(200, 'x'));
  TSrcWordWrapPlugin p(&h);
  h.plugin = &p;
  EXPECT_EQ(p.MinRowLength(), 54);
  EXPECT_EQ(Rows(p), (std::vector<int>{80, 80, 40}));
  // A break character at offset 60 ends the row after it; one at offset 40 is too early.
  std::string s(200, 'x');
  s[60] = '-';
  s[61 + 40] = '-';
  h.lines.Put(0, s);
  EXPECT_EQ(Rows(p)[0], 61);
  EXPECT_EQ(Rows(p)[1], 80);
  // Blanks at a break stay on the upper row, which may grow past the width.
  h.lines.Put(0, std::string(79, 'a') + "    b");
  EXPECT_EQ(Rows(p), (std::vector<int>{83, 1}));
  h.lines.Put(0, std::string(78, 'a') + "     ");
  EXPECT_EQ(Rows(p), (std::vector<int>{83, 0}));  // trailing blanks past the width: an empty row
  h.lines.Put(0, "");
  EXPECT_EQ(Rows(p), (std::vector<int>{0}));
}

TEST(WordWrap, RowsFillAWindowWiderThan255Columns) {
  Host h(306);
  h.lines.Add("short");
  TSrcWordWrapPlugin p(&h);
  h.plugin = &p;
  EXPECT_EQ(p.MaxRowLength(), 306);
  EXPECT_EQ(p.RowLengthBytes(), 1);  // short rows take a byte each
  h.lines.Add(std::string(1000, 'y'));
  EXPECT_EQ(Rows(p), (std::vector<int>{5, 306, 306, 306, 82}));
  EXPECT_EQ(p.RowLengthBytes(), 2);
  EXPECT_EQ(p.BufferToDisplayPos({400, 2}), (TDisplayCoord{94, 3}));
  EXPECT_EQ(p.DisplayToBufferPos({94, 3}), (TBufferCoord{400, 2}));
  // Blanks at a break take a row up to the window's width, no further.
  h.lines.Put(1, std::string(300, 'a') + std::string(20, ' ') + "b");
  EXPECT_EQ(Rows(p), (std::vector<int>{5, 306, 15}));
}

TEST(WordWrap, NarrowWindowLeavesNoRowsAndTabsExpand) {
  Host h(0);
  h.lines.Add("abc");
  TSrcWordWrapPlugin p(&h);
  EXPECT_EQ(p.RowCount(), 0);
  EXPECT_EQ(p.LinesInserted(0, 1), 0);
  EXPECT_THROW(p.GetRowLength(1), EListError);
  h.SetChars(10);
  h.lines.SetTabWidth(4);
  h.lines.Put(0, "\t\t\tabc");  // 12 tab cells + 3
  p.Reset();
  EXPECT_EQ(Rows(p), (std::vector<int>{12, 3}));  // the tab cells at the break stay above
  // A tab wider than the longest row is cut where the row ends, as any other line would be.
  h.SetChars(80);
  h.lines.SetTabWidth(256);
  h.plugin = &p;
  p.Reset();
  h.lines.Put(0, "\tx");
  EXPECT_EQ(Rows(p), (std::vector<int>{255, 2}));
}

TEST(WordWrap, DoubleByteCharactersAreNeverSplit) {
  SetLeadBytes(TSysCharSet::Range(0x81, 0x9F));
  Host h(10);
  h.lines.Add("abcdefghi\x81\x40zz");
  TSrcWordWrapPlugin p(&h);
  EXPECT_EQ(Rows(p), (std::vector<int>{9, 4}));
  SetLeadBytes(TSysCharSet());
}

// The rows of one expanded line as the wrapping rules give them, read plainly: every break looks
// at the whole run of blanks there.
std::vector<int> PlainRows(const std::string& s, int width, int tabWidth, const TSysCharSet& breaks) {
  const int n = static_cast<int>(s.size()), shortest = std::max(width - width / 3, 1);
  const int longest = std::max(width, 255);
  auto blank = [&](int i) { return s[static_cast<size_t>(i)] == ' ' || s[static_cast<size_t>(i)] == '\t'; };
  std::vector<bool> trail(s.size(), false);  // the second byte of a double-byte character
  for (size_t i = 1; i < s.size(); ++i) trail[i] = !trail[i - 1] && IsLeadByte(s[i - 1]);
  std::vector<int> rows;
  int start = 0;
  while (n - start > width) {
    int end = start + width, p = end;
    if (blank(end)) {
      while (p < n && blank(p)) ++p;
    } else {
      for (int b = end - 1; b >= start + shortest + 1; --b)
        if (breaks.Contains(s[static_cast<size_t>(b)])) {
          p = b + 1;
          break;
        }
    }
    if (p - start > longest) {
      p = start + longest;
      int stop = start + longest - longest % tabWidth;
      if (stop > start)
        while (p > stop && s[static_cast<size_t>(p)] == '\t') --p;
    }
    if (p < n && trail[static_cast<size_t>(p)]) p = p - 1 > start ? p - 1 : p + 1;
    rows.push_back(p - start);
    start = p;
  }
  rows.push_back(n - start);
  return rows;
}

TEST(WordWrap, LongRunsOfBlanksAndTabsWrapInWorkLinearInTheLine) {
  // A run of blanks far longer than a row is read once, whatever rows it fills.
  for (int tabWidth : {8, 256}) {
    Host h(80);
    h.lines.SetTabWidth(tabWidth);
    const int n = 1000000;
    h.lines.Add("x" + std::string(n, ' ') + "y");
    h.lines.Add(std::string(n / tabWidth, '\t') + "z");
    h.lines.Add(std::string(n / 2, ' ') + std::string(n / 2 / tabWidth, '\t') + "w");
    TSrcWordWrapPlugin p(&h);
    EXPECT_GT(p.RowCount(), n / 100);
    EXPECT_LT(p.WrapSteps(), 4LL * 3 * n) << "tab width " << tabWidth;
  }
  // Double-byte characters are walked once too, not from the line's start at every row.
  SetLeadBytes(TSysCharSet::Range(0x81, 0x9F));
  {
    Host h(80);
    std::string s;
    while (s.size() < 1000000) s += "\x81\x40 abc\x82\x41\x83\x42       \x84\x43z";
    h.lines.Add(s);
    TSrcWordWrapPlugin p(&h);
    EXPECT_LT(p.WrapSteps(), 4LL * static_cast<long long>(s.size()));
    EXPECT_EQ(Rows(p), PlainRows(s, 80, h.lines.TabWidth(), TSysCharSet::Range(0, 32)));
  }
  // The rows are the ones that reading every run whole gives: blank runs and tabs of every
  // length at every offset, words, break characters and double-byte characters mixed.
  std::mt19937 rng(4242);
  const TSysCharSet idents = TSysCharSet::Range('a', 'z');
  for (int width : {1, 7, 80, 300}) {
    for (int tabWidth : {1, 4, 256}) {
      Host h(width);
      h.ident = &idents;
      h.lines.SetTabWidth(tabWidth);
      for (int line = 0; line < 12; ++line) {
        std::string s;
        while (s.size() < 2000) {
          switch (rng() % 6) {
            case 0: s += std::string(rng() % 700, ' '); break;
            case 1: s += std::string(rng() % 5, '\t'); break;
            case 2: s += std::string(rng() % 90, 'a' + static_cast<char>(rng() % 3)); break;
            case 3: s += "-."; break;
            case 4: s += "\x81\x40\x82"; break;
            default: s += std::string(rng() % 3, ' ') + "\t" + std::string(rng() % 300, ' '); break;
          }
        }
        h.lines.Add(s);
      }
      TSrcWordWrapPlugin p(&h);
      TSysCharSet breaks = TSysCharSet::Range(0, 255) - idents;
      std::vector<int> expected;
      for (int i = 0; i < h.lines.Count(); ++i) {
        std::vector<int> rows = PlainRows(h.lines.ExpandedStrings(i), width, tabWidth, breaks);
        expected.insert(expected.end(), rows.begin(), rows.end());
      }
      EXPECT_EQ(Rows(p), expected) << "width " << width << ", tab width " << tabWidth;
    }
  }
  SetLeadBytes(TSysCharSet());
}

TEST(WordWrap, DeletingLinesReturnsTheirRows) {
  Host h(10);
  for (const char* s : {"a", "0123456789012345", "0123456789012345678901", "b", "0123456789abc"}) h.lines.Add(s);
  TSrcWordWrapPlugin p(&h);
  int before = p.LineOffset(4);
  EXPECT_EQ(p.LinesDeleted(1, 3), 6);  // rows of lines 1..3: 2 + 3 + 1
  EXPECT_EQ(p.LineOffset(1), before - 6);
  EXPECT_EQ(p.LineCount(), 2);
}

TEST(WordWrap, PasteOfManyLinesMovesTheRowMapAFewTimesOnly) {
  // A paste as the control makes it, into the middle of a page as long: empty lines inserted,
  // then stored one after the other; a third of the lines wrap into several rows.
  Host h(10);
  for (int i = 0; i < 4000; ++i) h.lines.Add(i % 3 ? "line" : "a line that wraps into rows");
  TSrcWordWrapPlugin p(&h);
  h.plugin = &p;
  long long before = p.ShiftedEntries();
  h.lines.InsertLines(2000, 4000);
  for (int i = 0; i < 4000; ++i) h.lines.Put(2000 + i, i % 3 ? "pasted" : "a pasted line that wraps into rows");
  int entries = h.lines.Count() + p.RowCount();
  EXPECT_LT(p.ShiftedEntries() - before, 4LL * entries);
  Host fresh(10);
  for (int i = 0; i < h.lines.Count(); ++i) fresh.lines.Add(h.lines.Get(i));
  TSrcWordWrapPlugin rebuilt(&fresh);
  EXPECT_EQ(Rows(p), Rows(rebuilt));
  for (int i = 0; i < h.lines.Count(); ++i) ASSERT_EQ(p.LineOffset(i), rebuilt.LineOffset(i)) << i;
}

TEST(WordWrap, CoordinatesMapBothWays) {
  Host h(10);
  h.lines.Add("0123456789abcde");  // rows of 10 and 5
  h.lines.Add("xy");
  TSrcWordWrapPlugin p(&h);
  EXPECT_EQ(p.BufferToDisplayPos({10, 1}), (TDisplayCoord{10, 1}));
  EXPECT_EQ(p.BufferToDisplayPos({11, 1}), (TDisplayCoord{1, 2}));
  EXPECT_EQ(p.BufferToDisplayPos({30, 1}), (TDisplayCoord{20, 2}));  // past the end: last row
  EXPECT_EQ(p.BufferToDisplayPos({1, 5}), (TDisplayCoord{1, 6}));    // beyond the store
  EXPECT_EQ(p.DisplayToBufferPos({11, 1}), (TBufferCoord{11, 1}));   // end of row 1 = start of row 2
  EXPECT_EQ(p.DisplayToBufferPos({1, 2}), (TBufferCoord{11, 1}));
  EXPECT_EQ(p.DisplayToBufferPos({50, 1}), (TBufferCoord{11, 1}));   // held at the row's end
  EXPECT_EQ(p.DisplayToBufferPos({50, 3}), (TBufferCoord{11, 2}));   // the last row: up to the width
  EXPECT_EQ(p.DisplayToBufferPos({2, 9}), (TBufferCoord{2, 8}));
  EXPECT_THROW(p.BufferToDisplayPos({0, 1}), EAssertionFailed);
  for (int line = 1; line <= 2; ++line) {
    int len = static_cast<int>(h.lines.Get(line - 1).size());
    for (int c = 1; c <= len; ++c) {
      TDisplayCoord d = p.BufferToDisplayPos({c, line});
      EXPECT_EQ(p.DisplayToBufferPos(d), (TBufferCoord{c, line})) << c << "," << line;
    }
  }
  EXPECT_THROW(TSrcWordWrapPlugin(nullptr), Exception);
}

TEST(WordWrap, RowMapFollowsRandomEditsAsARebuildWould) {
  std::mt19937 rng(1234);
  Host h(12);
  h.lines.SetTabWidth(4);
  TSrcWordWrapPlugin p(&h);
  h.plugin = &p;
  auto randomLine = [&] {
    static const char alphabet[] = "abc de\tf-g.h  ij";
    std::string s(rng() % 40, ' ');
    for (char& c : s) c = alphabet[rng() % (sizeof(alphabet) - 1)];
    return s;
  };
  for (int i = 0; i < 5; ++i) h.lines.Add(randomLine());
  for (int step = 0; step < 400; ++step) {
    int n = h.lines.Count();
    switch (rng() % 5) {
      case 0: h.lines.Insert(static_cast<int>(rng() % (n + 1)), randomLine()); break;
      case 1: if (n) h.lines.Delete(static_cast<int>(rng() % n)); break;
      case 2: if (n) h.lines.Put(static_cast<int>(rng() % n), randomLine()); break;
      case 3: if (n) h.lines.DeleteLines(static_cast<int>(rng() % n), static_cast<int>(rng() % 3)); break;
      case 4: h.lines.InsertLines(static_cast<int>(rng() % (n + 1)), static_cast<int>(rng() % 3)); break;
    }
    if (h.lines.Count() == 0) h.lines.Add("seed");
    Host fresh(12);
    fresh.lines.SetTabWidth(4);
    for (int i = 0; i < h.lines.Count(); ++i) fresh.lines.Add(h.lines.Get(i));
    TSrcWordWrapPlugin rebuilt(&fresh);
    ASSERT_EQ(Rows(p), Rows(rebuilt)) << "step " << step;
    for (int i = 0; i < h.lines.Count(); ++i) ASSERT_EQ(p.LineOffset(i), rebuilt.LineOffset(i));
  }
}

}  // namespace

#include <gtest/gtest.h>

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

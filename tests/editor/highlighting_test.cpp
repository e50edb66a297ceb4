// The control with a highlighter: range rescans, bracket matching, token and word queries;
// hooked commands, dispatchers and the reaction to the line store.
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/input_simulation.h"

namespace {

// Counts the lines the editor hands to the scanner.
class CountingHtml : public TSrcHTMLSrc {
public:
  using TSrcHTMLSrc::TSrcHTMLSrc;
  void SetLineText(std::string_view NewValue, int LineNumber) override {
    ++lines;
    TSrcHTMLSrc::SetLineText(NewValue, LineNumber);
  }
  TSrcRange ScanLineRange(std::string_view Line, int LineNumber) override {
    ++lines;
    return TSrcHTMLSrc::ScanLineRange(Line, LineNumber);
  }
  int lines = 0;
};

AnsiString Lines(int n, const char* each) {
  AnsiString s;
  for (int i = 0; i < n; ++i) {
    s += each;
    if (i + 1 < n) s += "\r\n";
  }
  return s;
}

// Ranges as a fresh scan from the top gives them.
std::vector<intptr_t> FreshRanges(TSrcCustomHighlighter* h, TSrcEditStringList* l) {
  std::vector<intptr_t> r;
  h->ResetRange();
  for (int i = 0; i < l->Count(); ++i) {
    AnsiString s = l->Get(i);
    h->SetLine(s, i);
    h->SkipToLineEnd();
    r.push_back(reinterpret_cast<intptr_t>(h->GetRange()));
  }
  return r;
}

std::vector<intptr_t> StoredRanges(TSrcEditStringList* l) {
  std::vector<intptr_t> r;
  for (int i = 0; i < l->Count(); ++i) r.push_back(l->GetRange(i));
  return r;
}

}  // namespace

TEST(SrcEditRanges, TypingInsideALineRescansOneLine) {
  TSrcEdit e(nullptr);
  CountingHtml html(nullptr);
  e.Lines()->SetText(Lines(1000, "<p class=\"a\">text</p>"));
  e.SetHighlighter(&html);
  EXPECT_EQ(StoredRanges(e.Lines()), FreshRanges(&html, e.Lines()));
  html.lines = 0;
  e.SetCaretXY(BufferCoord(15, 500));
  e.CommandProcessor(ecChar, 'x', nullptr);
  e.Lines()->GetRange(999);  // out of sight: brought up to date when read
  EXPECT_EQ(html.lines, 1);
  // Opening a comment changes every following range; closing it again stops the scan
  // at the first line whose range is back to what it was.
  e.SetCaretXY(BufferCoord(1, 10));
  e.SetSelText("<!--");
  EXPECT_EQ(StoredRanges(e.Lines()), FreshRanges(&html, e.Lines()));
  e.SetCaretXY(BufferCoord(1, 20));
  e.SetSelText("-->");
  EXPECT_EQ(StoredRanges(e.Lines()), FreshRanges(&html, e.Lines()));
  // A comment opened and closed on one line leaves its end-of-line range as it was.
  e.SetCaretXY(BufferCoord(1, 30));
  html.lines = 0;
  e.SetSelText("<!-- c -->");
  e.Lines()->GetRange(999);
  EXPECT_EQ(html.lines, 1);
  // Inserting and deleting lines keeps the stored ranges equal to a fresh scan.
  e.SetCaretXY(BufferCoord(3, 15));
  e.SetSelText("a\r\n<!-- b\r\nc");
  EXPECT_EQ(StoredRanges(e.Lines()), FreshRanges(&html, e.Lines()));
  e.PlaceCaretAndSelection(BufferCoord(1, 16), BufferCoord(1, 16), BufferCoord(1, 30));
  e.SetSelText("");
  EXPECT_EQ(StoredRanges(e.Lines()), FreshRanges(&html, e.Lines()));
  e.Undo();
  e.Undo();
  EXPECT_EQ(StoredRanges(e.Lines()), FreshRanges(&html, e.Lines()));
}

TEST(SrcEditRanges, OnlyTheVisibleLinesAreScannedAtOnceAndIdleTimeFinishesTheRest) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  CountingHtml html(nullptr);
  e->Lines()->SetText(Lines(20000, "<p class=\"a\">text</p>"));
  e->SetHighlighter(&html);
  ShowForTest(e.get(), 400, 200);
  e->Lines()->GetRange(19999);
  // Opening a comment near the top changes every following range, but the keystroke scans
  // only as far as the window shows.
  e->SetTopLine(95);
  e->SetCaretXY(BufferCoord(1, 101));
  html.lines = 0;
  for (char c : std::string("<!--")) e->CommandProcessor(ecChar, c, nullptr);
  EXPECT_LT(html.lines, 4 * (e->LinesInWindow() + 3));
  EXPECT_LT(e->Lines()->RangesStaleFrom(), 20000);
  // Idle time brings the rest up to date, to the ranges a full scan gives.
  for (int i = 0; i < 5000 && e->Lines()->RangesStaleFrom() < e->Lines()->Count(); ++i) {
    ProcessMessages();
    usleep(1000);
  }
  EXPECT_EQ(e->Lines()->RangesStaleFrom(), TSrcEditStringList::kNoStaleRange);
  std::vector<intptr_t> stored;
  for (int i = 0; i < e->Lines()->Count(); ++i) stored.push_back(e->Lines()->RawRange(i));
  EXPECT_EQ(stored, FreshRanges(&html, e->Lines()));

  // Random edits anywhere, with reads, scrolling and idle slices between them, always read
  // back what a full scan gives.
  unsigned seed = 12345;
  auto rnd = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<unsigned>(n));
  };
  const char* pieces[] = {"<!--", "-->", "<script>", "</script>", "\r\n", "<a href=\"", "\"", "x", "\r\n<!-- a\r\nb -->"};
  for (int step = 0; step < 300; ++step) {
    int count = e->Lines()->Count();
    int line = 1 + rnd(count);
    e->SetCaretXY(BufferCoord(1 + rnd(20), line));
    switch (rnd(5)) {
      case 0:
        e->SetBlockBegin(BufferCoord(1, line));
        e->SetBlockEnd(BufferCoord(1, std::min(count, line + rnd(50))));
        e->SetSelText("");
        break;
      case 1: e->SetTopLine(1 + rnd(count)); break;
      case 2: ProcessMessages(); break;
      default: e->SetSelText(pieces[rnd(9)]); break;
    }
    if (step % 25 == 0) {
      int at = rnd(e->Lines()->Count());
      std::vector<intptr_t> fresh = FreshRanges(&html, e->Lines());
      ASSERT_EQ(e->Lines()->GetRange(at), fresh[static_cast<size_t>(at)]) << step;
    }
  }
  EXPECT_EQ(StoredRanges(e->Lines()), FreshRanges(&html, e->Lines()));
  e->SetHighlighter(nullptr);
}

// A file opened with the highlighter attached: each line is scanned as it arrives, and reads
// only its own text, the last one too.
TEST(SrcEditRanges, LinesLoadedWithTheHighlighterAttachedScanAsAFullScan) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  CountingHtml html(nullptr);
  e->SetHighlighter(&html);
  ShowForTest(e.get(), 400, 200);
  TStringStream loaded("<a href=\"x\r\n<!-- c\r\n-->\r<b>t</b>\n\n<p class");
  e->Lines()->LoadFromStream(&loaded);
  ASSERT_EQ(e->Lines()->Count(), 6);
  EXPECT_EQ(StoredRanges(e->Lines()), FreshRanges(&html, e->Lines()));
  e->SetHighlighter(nullptr);
}

TEST(SrcEditRanges, DestroyedHighlighterIsDropped) {
  TSrcEdit e(nullptr);
  e.Lines()->SetText("<b>x</b>");
  auto html = std::make_unique<TSrcHTMLSrc>(nullptr);
  e.SetHighlighter(html.get());
  EXPECT_EQ(e.Highlighter(), html.get());
  html.reset();
  EXPECT_EQ(e.Highlighter(), nullptr);
  e.SetCaretXY(BufferCoord(2, 1));
  e.CommandProcessor(ecChar, 'i', nullptr);
  EXPECT_EQ(e.Lines()->Text(), "<ib>x</b>");
}

TEST(SrcEditBrackets, MatchAcrossLinesSkippingCommentsAndStrings) {
  TSrcEdit e(nullptr);
  TSrcHTMLSrc html(nullptr);
  e.Lines()->SetText(
      "x\r\n"
      "f( a\r\n"
      "<!-- ) ( -->\r\n"
      "( b )\r\n"
      "<a href=\"x\">\r\n"
      "q\r\nq\r\nq\r\nq\r\n"
      "end)");
  e.SetHighlighter(&html);
  EXPECT_EQ(e.GetMatchingBracketEx(BufferCoord(4, 10)), BufferCoord(2, 2));
  EXPECT_EQ(e.GetMatchingBracketEx(BufferCoord(2, 2)), BufferCoord(4, 10));
  EXPECT_EQ(e.GetMatchingBracketEx(BufferCoord(1, 5)), BufferCoord(12, 5));
  EXPECT_EQ(e.GetMatchingBracketEx(BufferCoord(12, 5)), BufferCoord(1, 5));
  EXPECT_EQ(e.GetMatchingBracketEx(BufferCoord(1, 1)), BufferCoord(0, 0));
  EXPECT_EQ(e.GetMatchingBracketEx(BufferCoord(99, 99)), BufferCoord(0, 0));
  e.SetCaretXY(BufferCoord(4, 10));
  e.CommandProcessor(ecMatchBracket, 0, nullptr);
  EXPECT_EQ(e.CaretXY(), BufferCoord(2, 2));
  // Unbalanced: no partner, the caret goes to the text start.
  e.Lines()->SetText("((");
  e.SetCaretXY(BufferCoord(2, 1));
  e.FindMatchingBracket();
  EXPECT_EQ(e.CaretXY(), BufferCoord(1, 1));
}

TEST(SrcEditTokens, TokenInfoAndWordQueries) {
  TSrcEdit e(nullptr);
  TSrcHTMLSrc html(nullptr);
  e.Lines()->SetText("<table border=1>\r\nplain words_here");
  AnsiString token;
  TSrcHighlighterAttributes* attr = nullptr;
  EXPECT_FALSE(e.GetTokenAttributeAt(BufferCoord(2, 1), token, attr));
  e.SetHighlighter(&html);
  int kind = -1, start = 0;
  ASSERT_TRUE(e.GetTokenInfoAt(BufferCoord(3, 1), token, kind, start, attr));
  EXPECT_EQ(token, "table");
  EXPECT_EQ(start, 2);
  EXPECT_EQ(attr, html.KeyAttri());
  EXPECT_FALSE(e.GetTokenInfoAt(BufferCoord(17, 1), token, kind, start, attr));
  EXPECT_EQ(token, "");
  EXPECT_EQ(attr, nullptr);
  EXPECT_FALSE(e.GetTokenInfoAt(BufferCoord(0, 1), token, kind, start, attr));
  EXPECT_FALSE(e.GetTokenInfoAt(BufferCoord(1, 3), token, kind, start, attr));
  e.SetHighlighter(nullptr);
  EXPECT_EQ(e.GetWordAtRowCol(BufferCoord(17, 2)), "words_here");  // right after the word
  EXPECT_EQ(e.GetWordAtRowCol(BufferCoord(8, 2)), "words_here");
  EXPECT_EQ(e.GetWordAtRowCol(BufferCoord(6, 2)), "plain");
  EXPECT_EQ(e.GetWordAtRowCol(BufferCoord(18, 2)), "");
  EXPECT_EQ(e.GetWordAtRowCol(BufferCoord(1, 0)), "");
  e.SetCaretXY(BufferCoord(3, 2));
  EXPECT_EQ(e.WordAtCursor(), "plain");
}

TEST(SrcEditHooks, HookedHandlersSeeEveryCommandBeforeAndAfter) {
  TSrcEdit e(nullptr);
  struct Hook {
    std::vector<std::pair<bool, TSrcEditorCommand>> seen;
    bool swallow = false;
    void* data = nullptr;
    void On(TObject*, bool After, bool& Handled, TSrcEditorCommand& Command, char&, void*, void* HandlerData) {
      seen.emplace_back(After, Command);
      data = HandlerData;
      if (swallow && Command == ecChar) Handled = true;
    }
    int processed = 0;
    TSrcEditorCommand last = 0;
    void Processed(TObject*, TSrcEditorCommand& Command, char&, void*) {
      ++processed;
      last = Command;
    }
  } a, b;
  int tag1 = 1, tag2 = 2;
  e.RegisterCommandHandler(THookedCommandEvent(&a, &Hook::On), &tag1);
  e.RegisterCommandHandler(THookedCommandEvent(&a, &Hook::On), &tag2);
  e.RegisterCommandHandler(THookedCommandEvent(&b, &Hook::On), nullptr);
  e.RegisterCommandHandler(THookedCommandEvent(), nullptr);
  EXPECT_EQ(e.HookedCommandHandlerCount(), 2);
  e.OnCommandProcessed = TProcessCommandEvent(&a, &Hook::Processed);
  e.CommandProcessor(ecChar, 'k', nullptr);
  EXPECT_EQ(e.Lines()->Text(), "k");
  ASSERT_EQ(a.seen.size(), 2u);
  EXPECT_FALSE(a.seen[0].first);
  EXPECT_TRUE(a.seen[1].first);
  EXPECT_EQ(a.data, &tag1);
  // A handler that swallows the command: the next handler still runs, nothing executes.
  a.swallow = true;
  b.seen.clear();
  e.CommandProcessor(ecChar, 'm', nullptr);
  EXPECT_EQ(e.Lines()->Text(), "k");
  EXPECT_EQ(b.seen.size(), 1u);
  EXPECT_EQ(a.last, ecNone);
  e.UnregisterCommandHandler(THookedCommandEvent(&a, &Hook::On));
  EXPECT_EQ(e.FindHookedCommandHandler(THookedCommandEvent(&a, &Hook::On)), -1);
  e.CommandProcessor(ecChar, 'm', nullptr);
  EXPECT_EQ(e.Lines()->Text(), "km");
  // User commands go to their own event and never to the executor.
  struct User {
    TSrcEditorCommand got = 0;
    void On(TObject*, TSrcEditorCommand& Command, char&, void*) { got = Command; }
  } user;
  e.OnProcessUserCommand = TProcessCommandEvent(&user, &User::On);
  e.CommandProcessor(ecUserFirst + 5, 0, nullptr);
  EXPECT_EQ(user.got, ecUserFirst + 5);
}

TEST(SrcEditHooks, FocusCommandsReachOnlyTheEventsAndHooks) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->Lines()->SetText("abc");
  ShowForTest(e.get(), 300, 200);
  struct Spy {
    std::vector<TSrcEditorCommand> cmds;
    void On(TObject*, TSrcEditorCommand& Command, char&, void*) { cmds.push_back(Command); }
  } spy;
  e->OnProcessCommand = TProcessCommandEvent(&spy, &Spy::On);
  TMessage m;
  m.Msg = WM_SETFOCUS;
  e->WndProc(m);
  m.Msg = WM_KILLFOCUS;
  e->WndProc(m);
  ASSERT_EQ(spy.cmds.size(), 2u);
  EXPECT_EQ(spy.cmds[0], ecFocusGained);
  EXPECT_EQ(spy.cmds[1], ecFocusLost);
  EXPECT_EQ(e->Lines()->Text(), "abc");
  e->OnProcessCommand = nullptr;
}

TEST(SrcEditDispatch, AnswersArePresetAndStatusStaysPendingWithoutAHandler) {
  TSrcEdit e(nullptr);
  TColor fg = clBlack, bg = clWhite;
  EXPECT_FALSE(e.DoOnSpecialLineColors(1, fg, bg));
  EXPECT_EQ(e.DoOnReplaceText("a", "b", 1, 1), raCancel);
  e.SetReadOnly(true);
  EXPECT_TRUE(e.PendingStatusChanges() & scReadOnly);
  struct Sink {
    TSrcStatusChanges got = 0;
    void On(TObject*, TSrcStatusChanges c) { got = c; }
  } sink;
  e.OnStatusChange = TStatusChangeEvent(&sink, &Sink::On);
  e.SetInsertMode(false);
  EXPECT_EQ(sink.got, scReadOnly | scInsertMode);
  EXPECT_EQ(e.PendingStatusChanges(), 0);
  e.Lines()->SetText("a\r\nb");
  e.Lines()->Clear();
  e.SetReadOnly(false);
  EXPECT_TRUE(sink.got & scAll);
}

TEST(SrcEditLines, ClearingResetsViewCaretAndUndo) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->Lines()->SetText(Lines(300, "text"));
  ShowForTest(e.get(), 300, 200);
  e->SetCaretXY(BufferCoord(3, 250));
  e->SetSelText("x");
  EXPECT_GT(e->TopLine(), 1);
  e->ClearAll();
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  EXPECT_EQ(e->TopLine(), 1);
  EXPECT_EQ(e->LeftChar(), 1);
  EXPECT_FALSE(e->UndoList()->CanUndo());
  EXPECT_FALSE(e->Modified());
  // Invalidation while the store changes is gathered and released once.
  e->Lines()->SetText(Lines(50, "abc"));
  e->Lines()->BeginUpdate();
  e->Lines()->Put(3, "changed");
  EXPECT_TRUE(e->StateFlags() & sfLinesChanging);
  EXPECT_FALSE(e->PendingInvalidRect().IsEmpty());
  e->Lines()->EndUpdate();
  EXPECT_FALSE(e->StateFlags() & sfLinesChanging);
  EXPECT_TRUE(e->PendingInvalidRect().IsEmpty());
}

TEST(SrcEditMarks, MarksFollowInsertedAndDeletedLines) {
  TSrcEdit e(nullptr);
  e.Lines()->SetText(Lines(10, "m"));
  auto* m = new TSrcEditMark(&e);
  m->SetLine(6);
  e.Marks()->Add(m);
  e.SetCaretXY(BufferCoord(1, 3));
  e.SetSelText("a\r\nb\r\n");
  EXPECT_EQ(m->Line(), 8);
  e.PlaceCaretAndSelection(BufferCoord(1, 2), BufferCoord(1, 2), BufferCoord(1, 5));
  e.SetSelText("");
  EXPECT_EQ(m->Line(), 5);
  // Joining a line to the one above keeps marks above and on the joined-to line.
  auto* top = new TSrcEditMark(&e);
  top->SetLine(4);
  e.Marks()->Add(top);
  e.SetCaretXY(BufferCoord(1, 5));
  e.CommandProcessor(ecDeleteLastChar, 0, nullptr);
  EXPECT_EQ(top->Line(), 4);
  EXPECT_EQ(m->Line(), 4);
  e.SetCaretXY(BufferCoord(1, 1));
  e.CommandProcessor(ecLineBreak, 0, nullptr);
  EXPECT_EQ(top->Line(), 5);
}

TEST(SrcEditPaint, BackgroundAndTextArePainted) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->SetColor(clYellow);
  e->Lines()->SetText("MMMMMMMMMM");
  ShowForTest(e.get(), 300, 200);
  EXPECT_EQ(ClientPixel(e.get(), 250, 150), clYellow);
  int dark = 0;
  for (int x = e->TextOffset(); x < e->TextOffset() + 10 * e->CharWidth(); ++x)
    for (int y = 0; y < e->LineHeight(); ++y)
      if (ClientPixel(e.get(), x, y) != clYellow) ++dark;
  EXPECT_GT(dark, 20);
}

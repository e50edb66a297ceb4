// The control's input side driven through the events a user produces: clicks, selections by
// the mouse, double clicks, auto-scroll, dragging text, the wheel, scroll bars and the hint,
// the input method, dropped files, keys and the window messages.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "editor/src_edit.h"
#include "tests/editor/shown_editor.h"
#include "platform/drag.h"
#include "platform/input_simulation.h"
#include "platform/sysutils.h"
#include "platform/system_metrics.h"

namespace {

// A point inside the cell of a character (the left edge of its cell, one pixel in).
TPoint At(TSrcEdit* e, int ch, int line) {
  TPoint p = e->RowColumnToPixels(e->BufferToDisplayPos(BufferCoord(ch, line)));
  return TPoint{p.X + 1, p.Y + e->LineHeight() / 2};
}

void Click(TSrcEdit* e, TPoint p, TShiftState s = {}) {
  SimulateMouse(e, smPress, mbLeft, p.X, p.Y, s);
  SimulateMouse(e, smRelease, mbLeft, p.X, p.Y, s);
}

void DoubleClick(TSrcEdit* e, TPoint p) {
  Click(e, p);
  SimulateMouse(e, smDoubleClick, mbLeft, p.X, p.Y);
  SimulateMouse(e, smRelease, mbLeft, p.X, p.Y);
}

void MoveHeld(TWinControl* c, TPoint p, TShiftState s = {}) {
  s.Include(ssLeft);
  SimulateMouse(c, smMove, mbLeft, p.X, p.Y, s);
}

template <class F>
bool WaitFor(F done, int ms = 120000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ProcessMessages();
  }
  return true;
}

// Records every command the editor processes (before it runs).
struct CommandLog {
  std::vector<TSrcEditorCommand> commands;
  std::vector<AnsiString> imeTexts;
  void Hook(TObject*, bool after, bool&, TSrcEditorCommand& cmd, char&, void* data, void*) {
    if (after) return;
    commands.push_back(cmd);
    if (cmd == ecImeStr && data) imeTexts.push_back(static_cast<const char*>(data));
  }
  int Count(TSrcEditorCommand c) const { return static_cast<int>(std::count(commands.begin(), commands.end(), c)); }
  void Attach(TSrcEdit* e) { e->RegisterCommandHandler(THookedCommandEvent(this, &CommandLog::Hook), nullptr); }
};

}  // namespace

// ---------------------------------------------------------------------------- clicks and selection

TEST(SrcEditMouse, ClickPlacesCaretAndShiftClickExtendsFromTheAnchor) {
  auto e = Shown("alpha beta gamma\r\nsecond line");
  TSrcEdit* ed = e.get();
  Click(ed, At(ed, 3, 1));
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 1));
  EXPECT_FALSE(e->SelAvail());
  EXPECT_TRUE(e->Focused());
  Click(ed, At(ed, 8, 1), TShiftState{ssShift});
  EXPECT_EQ(e->BlockBegin(), BufferCoord(3, 1));
  EXPECT_EQ(e->BlockEnd(), BufferCoord(8, 1));
  Click(ed, At(ed, 4, 2), TShiftState{ssShift});
  EXPECT_EQ(e->BlockBegin(), BufferCoord(3, 1));
  EXPECT_EQ(e->BlockEnd(), BufferCoord(4, 2));
  // A selection made backwards keeps its anchor at its end: Shift+click extends from there,
  // not from the caret.
  Click(ed, At(ed, 12, 1));
  Click(ed, At(ed, 2, 1), TShiftState{ssShift});
  EXPECT_EQ(e->CaretXY(), BufferCoord(2, 1));
  Click(ed, At(ed, 15, 1), TShiftState{ssShift});
  EXPECT_EQ(e->SelText(), "gam");
  // A plain click collapses the selection at the click.
  Click(ed, At(ed, 5, 2));
  EXPECT_FALSE(e->SelAvail());
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 2));
}

TEST(SrcEditMouse, AltClickSetsColumnModeAndRightButtonRules) {
  auto e = Shown("0123456789\r\n0123456789\r\n0123456789");
  TSrcEdit* ed = e.get();
  e->SetOptions(e->Options().With(eoAltSetsColumnMode));
  Click(ed, At(ed, 2, 1), TShiftState{ssAlt});
  EXPECT_EQ(e->SelectionMode(), smColumn);
  Click(ed, At(ed, 2, 1));
  EXPECT_EQ(e->SelectionMode(), smNormal);

  // Without eoRightMouseMovesCursor a right click changes nothing.
  e->SetCaretXY(BufferCoord(1, 1));
  SimulateMouse(ed, smPress, mbRight, At(ed, 6, 2).X, At(ed, 6, 2).Y);
  SimulateMouse(ed, smRelease, mbRight, At(ed, 6, 2).X, At(ed, 6, 2).Y);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  e->SetOptions(e->Options().With(eoRightMouseMovesCursor));
  e->SetCaretXY(BufferCoord(8, 1));
  e->SetBlockBegin(BufferCoord(2, 1));
  e->SetBlockEnd(BufferCoord(8, 1));
  // Inside the selection: nothing moves.
  SimulateMouse(ed, smPress, mbRight, At(ed, 4, 1).X, At(ed, 4, 1).Y);
  SimulateMouse(ed, smRelease, mbRight, At(ed, 4, 1).X, At(ed, 4, 1).Y);
  EXPECT_EQ(e->CaretXY(), BufferCoord(8, 1));
  EXPECT_EQ(e->SelText(), "123456");
  // Outside: the caret moves there and the selection goes.
  SimulateMouse(ed, smPress, mbRight, At(ed, 3, 3).X, At(ed, 3, 3).Y);
  SimulateMouse(ed, smRelease, mbRight, At(ed, 3, 3).X, At(ed, 3, 3).Y);
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 3));
  EXPECT_FALSE(e->SelAvail());
}

TEST(SrcEditMouse, DraggingSelectsAndPastTheEdgeScrollsByTheTimer) {
  auto e = Shown(NumberedLines(300), 400, 200);
  TSrcEdit* ed = e.get();
  TPoint p = At(ed, 2, 1);
  SimulateMouse(ed, smPress, mbLeft, p.X, p.Y);
  MoveHeld(ed, At(ed, 5, 3));
  EXPECT_EQ(e->BlockBegin(), BufferCoord(2, 1));
  EXPECT_EQ(e->BlockEnd(), BufferCoord(5, 3));
  EXPECT_FALSE(e->ScrollTimer()->Enabled());
  // Below the window: the timer scrolls down, the selection follows the bottom row.
  MoveHeld(ed, TPoint{p.X, e->ClientHeight() + 3 * e->LineHeight()});
  EXPECT_GT(e->ScrollDeltaY(), 0);
  EXPECT_TRUE(e->ScrollTimer()->Enabled());
  ASSERT_TRUE(WaitFor([&] { return e->TopLine() > 5; }));
  EXPECT_EQ(e->BlockBegin(), BufferCoord(2, 1));
  EXPECT_GE(e->BlockEnd().Line, e->TopLine() + e->LinesInWindow() - 2);
  // Back inside: the timer stops; the release ends the gesture.
  MoveHeld(ed, At(ed, 3, e->TopLine() + 1));
  EXPECT_FALSE(e->ScrollTimer()->Enabled());
  int top = e->TopLine();
  SimulateMouse(ed, smRelease, mbLeft, 10, 10);
  EXPECT_FALSE(e->MouseCapture());
  ProcessMessages();
  EXPECT_EQ(e->TopLine(), top);
  // The timer also stops when the capture goes elsewhere.
  e->SetCaretXY(BufferCoord(1, 1));
  SimulateMouse(ed, smPress, mbLeft, p.X, p.Y);
  MoveHeld(ed, TPoint{p.X, -40});
  EXPECT_TRUE(e->ScrollTimer()->Enabled());
  e->Perform(WM_CAPTURECHANGED, 0, 0);
  EXPECT_FALSE(e->ScrollTimer()->Enabled());
  SimulateMouse(ed, smRelease, mbLeft, p.X, p.Y);
}

TEST(SrcEditMouse, EventsOutsideTheClientAreaKeepTheCaretInTheText) {
  auto e = Shown("short\r\nlines");
  TSrcEdit* ed = e.get();
  for (TPoint p : {TPoint{-500, -500}, TPoint{30000, 30000}, TPoint{-1, 100000}, TPoint{32767, -32768}}) {
    SimulateMouse(ed, smPress, mbLeft, p.X, p.Y);
    MoveHeld(ed, TPoint{-p.X, -p.Y});
    SimulateMouse(ed, smDoubleClick, mbLeft, p.X, p.Y);
    SimulateMouse(ed, smRelease, mbLeft, p.X, p.Y);
    SimulateMouse(ed, smPress, mbMiddle, p.X, p.Y);
    SimulateMouse(ed, smRelease, mbMiddle, p.X, p.Y);
    EXPECT_GE(e->CaretY(), 1);
    EXPECT_LE(e->CaretY(), 2);
    EXPECT_GE(e->CaretX(), 1);
  }
  EXPECT_EQ(e->Lines()->Text(), "short\r\nlines");
  EXPECT_FALSE(e->ScrollTimer()->Enabled());
}

// ---------------------------------------------------------------------------- double click and words

TEST(SrcEditMouse, DoubleClickSelectsTheWord) {
  auto e = Shown(W1251("foo_bar, baz.qux\r\nпривет, мир!\r\n\tx\r\nabcабв"));
  TSrcEdit* ed = e.get();
  DoubleClick(ed, At(ed, 3, 1));
  EXPECT_EQ(e->SelText(), "foo_bar");
  EXPECT_EQ(e->CaretXY(), BufferCoord(8, 1));
  DoubleClick(ed, At(ed, 15, 1));
  EXPECT_EQ(e->SelText(), "qux");
  DoubleClick(ed, At(ed, 3, 2));
  EXPECT_EQ(e->SelText(), W1251("привет"));
  DoubleClick(ed, At(ed, 10, 2));
  EXPECT_EQ(e->SelText(), W1251("мир"));
  // The release of a double click keeps the word selected.
  EXPECT_FALSE(e->MouseCapture());
  // A double click in the gutter selects nothing.
  e->SetCaretXY(BufferCoord(1, 1));
  DoubleClick(ed, TPoint{2, At(ed, 1, 1).Y});
  EXPECT_FALSE(e->SelAvail());

  // Straight calls: punctuation and blanks end words, the word before a boundary is taken.
  e->SelectWordAt(BufferCoord(8, 1));  // on the comma
  EXPECT_EQ(e->SelText(), "foo_bar");
  e->SelectWordAt(BufferCoord(13, 1));  // on the dot
  EXPECT_EQ(e->SelText(), "baz");
  e->SelectWordAt(BufferCoord(1, 3));  // on the tab, which ends words as a blank does
  EXPECT_FALSE(e->SelAvail());
  e->SelectWordAt(BufferCoord(3, 3));  // after the word behind the tab
  EXPECT_EQ(e->SelText(), "x");
  e->SelectWordAt(BufferCoord(5, 4));  // Cyrillic after Latin letters
  EXPECT_EQ(e->SelText(), W1251("abcабв"));
  e->SelectWordAt(BufferCoord(2, 4));  // Latin before Cyrillic letters
  EXPECT_EQ(e->SelText(), "abc");
  // Beyond the line: the caret goes to its end, nothing is selected.
  e->SelectWordAt(BufferCoord(40, 4));
  EXPECT_FALSE(e->SelAvail());
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 4));
  // Positions outside the text are clamped.
  e->SelectWordAt(BufferCoord(-5, 99));
  EXPECT_EQ(e->SelText(), "abc");
  e->Lines()->Clear();
  e->SelectWordAt(BufferCoord(1, 1));
  EXPECT_FALSE(e->SelAvail());
}

TEST(SrcEditMouse, PressInsideTheSelectionAndReleaseCollapsesIt) {
  auto e = Shown("one two three four");
  TSrcEdit* ed = e.get();
  e->SetBlockBegin(BufferCoord(5, 1));
  e->SetBlockEnd(BufferCoord(14, 1));
  TPoint p = At(ed, 9, 1);
  SimulateMouse(ed, smPress, mbLeft, p.X, p.Y);
  EXPECT_TRUE(e->StateFlags() & sfWaitingForDrag);
  EXPECT_EQ(e->SelText(), "two three");  // kept until the release
  MoveHeld(ed, TPoint{p.X + 1, p.Y});   // less than the drag distance
  EXPECT_FALSE(DragSourceControl());
  SimulateMouse(ed, smRelease, mbLeft, p.X + 1, p.Y);
  EXPECT_FALSE(e->SelAvail());
  EXPECT_EQ(e->CaretXY(), BufferCoord(9, 1));
  EXPECT_FALSE(e->StateFlags() & sfWaitingForDrag);
  // Without drag-and-drop editing the press collapses at once.
  e->SetOptions(e->Options().Without(eoDragDropEditing));
  e->SetBlockBegin(BufferCoord(5, 1));
  e->SetBlockEnd(BufferCoord(14, 1));
  SimulateMouse(ed, smPress, mbLeft, p.X, p.Y);
  EXPECT_FALSE(e->SelAvail());
  SimulateMouse(ed, smRelease, mbLeft, p.X, p.Y);
}

TEST(SrcEditMouse, CursorOverTheSelectionAndTheGutter) {
  auto e = Shown("one two three");
  TSrcEdit* ed = e.get();
  struct Spy {
    std::vector<TCursor> seen;
    TBufferCoord at;
    void Cursor(TObject*, const TBufferCoord& p, TCursor& c) {
      seen.push_back(c);
      at = p;
    }
  } spy;
  e->OnMouseCursor = TMouseCursorEvent(&spy, &Spy::Cursor);
  e->SetBlockBegin(BufferCoord(5, 1));
  e->SetBlockEnd(BufferCoord(8, 1));
  SimulateMouse(ed, smMove, mbLeft, At(ed, 6, 1).X, At(ed, 6, 1).Y);
  SimulateMouse(ed, smMove, mbLeft, At(ed, 10, 1).X, At(ed, 10, 1).Y);
  SimulateMouse(ed, smMove, mbLeft, 3, 3);  // gutter: its own cursor, no event
  ASSERT_EQ(spy.seen.size(), 2u);
  EXPECT_EQ(spy.seen[0], crArrow);
  EXPECT_EQ(spy.seen[1], crIBeam);
  EXPECT_EQ(spy.at, BufferCoord(10, 1));
}

TEST(SrcEditMouse, GutterClickReportsTheLineAndTheMark) {
  auto e = Shown(NumberedLines(10));
  TSrcEdit* ed = e.get();
  auto* mark = new TSrcEditMark(ed);
  mark->SetLine(3);
  mark->SetVisible(true);
  e->Marks()->Add(mark);
  struct Spy {
    int calls = 0, line = 0;
    TSrcEditMark* mark = nullptr;
    TMouseButton button = mbMiddle;
    void Click(TObject*, TMouseButton b, int, int, int l, TSrcEditMark* m) {
      ++calls;
      button = b;
      line = l;
      mark = m;
    }
  } spy;
  e->OnGutterClick = TGutterClickEvent(&spy, &Spy::Click);
  int y3 = At(ed, 1, 3).Y;
  Click(ed, TPoint{2, y3});
  EXPECT_EQ(spy.calls, 1);
  EXPECT_EQ(spy.line, 3);
  EXPECT_EQ(spy.mark, mark);
  Click(ed, TPoint{e->BookMarkOptions()->Xoffset() + 1, y3});
  EXPECT_EQ(spy.mark, nullptr);
  // The right button reports at the press.
  e->SetOptions(e->Options().With(eoRightMouseMovesCursor));
  SimulateMouse(ed, smPress, mbRight, 2, At(ed, 1, 5).Y);
  EXPECT_EQ(spy.calls, 3);
  EXPECT_EQ(spy.button, mbRight);
  EXPECT_EQ(spy.line, 5);
  SimulateMouse(ed, smRelease, mbRight, 2, At(ed, 1, 5).Y);
  EXPECT_EQ(spy.calls, 3);
  // Below the last line nothing is reported.
  e->SetBounds(0, 0, 400, 600);
  ProcessMessages();
  Click(ed, TPoint{2, e->LineHeight() * 20});
  EXPECT_EQ(spy.calls, 3);
  // With word wrap the row under the point belongs to a line: that line is reported.
  e->Lines()->SetText(AnsiString(200, 'w') + "\r\nsecond");
  e->SetWordWrap(true);
  int row = e->LineToRow(2);
  ASSERT_GT(row, 2);
  Click(ed, TPoint{2, (row - 1) * e->LineHeight() + 1});
  EXPECT_EQ(spy.calls, 4);
  EXPECT_EQ(spy.line, 2);
}

// ---------------------------------------------------------------------------- dragging text

namespace {
// Drags from one point of a control to a point given in that control's coordinates, as the
// window system reports the moves of a held button to the window where it was pressed.
void DragText(TSrcEdit* from, TPoint press, TPoint to, TShiftState keys = {}) {
  SimulateMouse(from, smPress, mbLeft, press.X, press.Y);
  int d = GetSystemMetrics(SM_CXDRAG) + 2;
  MoveHeld(from, TPoint{press.X + d, press.Y}, keys);        // starts the drag of the control
  MoveHeld(from, TPoint{press.X + 3 * d, press.Y + 1}, keys);  // past its threshold
  MoveHeld(from, to, keys);
  SimulateMouse(from, smRelease, mbLeft, to.X, to.Y, keys);
}
}  // namespace

TEST(SrcEditDrag, MovingTextWithinTheEditorIsOneUndoStep) {
  auto e = Shown("alpha beta gamma delta");
  TSrcEdit* ed = e.get();
  e->SetBlockBegin(BufferCoord(7, 1));
  e->SetBlockEnd(BufferCoord(12, 1));  // "beta "
  DragText(ed, At(ed, 8, 1), At(ed, 18, 1));  // before "delta"
  EXPECT_FALSE(DragSourceControl());
  // Lands at the visual drop point although the removal shifted the line.
  EXPECT_EQ(e->Lines()->Text(), "alpha gamma beta delta");
  EXPECT_EQ(e->SelText(), "beta ");
  EXPECT_EQ(e->CaretXY(), BufferCoord(13, 1));
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "alpha beta gamma delta");
  EXPECT_FALSE(e->CanUndo());
  // Dropping inside the dragged selection changes nothing.
  e->SetBlockBegin(BufferCoord(7, 1));
  e->SetBlockEnd(BufferCoord(17, 1));
  DragText(ed, At(ed, 8, 1), At(ed, 14, 1));
  EXPECT_EQ(e->Lines()->Text(), "alpha beta gamma delta");
  EXPECT_FALSE(e->CanUndo());
  // Moved away from behind a tab, the text leaves the tab at the line end, where trimming
  // takes it: undo gives it back as a tab, redo takes it again.
  e->Lines()->SetText("ab\tcdefghij\r\nxy");
  e->SetBlockBegin(BufferCoord(4, 1));
  e->SetBlockEnd(BufferCoord(12, 1));
  DragText(ed, At(ed, 5, 1), At(ed, 1, 2));
  EXPECT_EQ(e->Lines()->Text(), "ab\r\ncdefghijxy");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "ab\tcdefghij\r\nxy");
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "ab\r\ncdefghijxy");
  // Dropped past the end of a line, the text lands at the drop column after blanks that
  // reach it: one undo step takes the blanks away with the text, redo brings both back.
  e->ClearUndo();
  e->Lines()->SetText("alpha beta\r\nxy");
  e->SetBlockBegin(BufferCoord(7, 1));
  e->SetBlockEnd(BufferCoord(11, 1));  // "beta"
  DragText(ed, At(ed, 8, 1), At(ed, 7, 2));
  EXPECT_EQ(e->Lines()->Text(), "alpha\r\nxy    beta");
  EXPECT_EQ(e->SelText(), "beta");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "alpha beta\r\nxy");
  EXPECT_FALSE(e->CanUndo());
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "alpha\r\nxy    beta");
  EXPECT_FALSE(e->CanRedo());
  // The same with Ctrl: the copy is one step too.
  e->SetBlockBegin(BufferCoord(1, 1));
  e->SetBlockEnd(BufferCoord(6, 1));  // "alpha"
  DragText(ed, At(ed, 2, 1), At(ed, 10, 1), TShiftState{ssCtrl});
  EXPECT_EQ(e->Lines()->Text(), "alpha    alpha\r\nxy    beta");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "alpha\r\nxy    beta");
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "alpha    alpha\r\nxy    beta");
}

TEST(SrcEditDrag, CtrlCopiesAndAMultiLineMoveLandsAtTheDropPoint) {
  auto e = Shown("0123456789\r\nabcdefghij\r\nKLMNOPQRST");
  TSrcEdit* ed = e.get();
  e->SetBlockBegin(BufferCoord(3, 1));
  e->SetBlockEnd(BufferCoord(5, 1));  // "23"
  DragText(ed, At(ed, 4, 1), At(ed, 9, 1), TShiftState{ssCtrl});
  EXPECT_EQ(e->Lines()->Get(0), "012345672389");
  // Undone and redone, a drop stays a step of its own: the next drop is undone alone.
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "0123456789");
  e->Redo();
  e->SetBlockBegin(BufferCoord(1, 1));
  e->SetBlockEnd(BufferCoord(2, 1));  // "0"
  DragText(ed, At(ed, 1, 1), At(ed, 4, 1), TShiftState{ssCtrl});
  EXPECT_EQ(e->Lines()->Get(0), "0120345672389");
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "012345672389");
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "0123456789");
  // A block from the middle of line 1 to the middle of line 2, dropped after it on line 2:
  // the text after the block joins line 1 at the block's start.
  e->SetBlockBegin(BufferCoord(5, 1));
  e->SetBlockEnd(BufferCoord(3, 2));  // "456789\r\nab"
  DragText(ed, At(ed, 5, 1), At(ed, 8, 2));  // before "h"
  EXPECT_EQ(e->Lines()->Text(), "0123cdefg456789\r\nabhij\r\nKLMNOPQRST");
  EXPECT_EQ(e->SelText(), "456789\r\nab");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "0123456789\r\nabcdefghij\r\nKLMNOPQRST");
}

TEST(SrcEditDrag, BetweenTwoEditorsCopiesShiftMovesEscapeCancels) {
  auto a = Shown("source text here", 300, 200);
  auto b = Shown("target", 300, 200);
  b->SetBounds(400, 0, 300, 200);
  b->Host();
  ProcessMessages();
  TPoint offset = b->ScreenToClient(a->ClientToScreen(TPoint{0, 0}));
  auto inB = [&](int ch, int line) {  // a point of b in a's coordinates
    TPoint p = At(b.get(), ch, line);
    return TPoint{p.X - offset.X, p.Y - offset.Y};
  };
  a->SetBlockBegin(BufferCoord(8, 1));
  a->SetBlockEnd(BufferCoord(12, 1));  // "text"
  DragText(a.get(), At(a.get(), 9, 1), inB(4, 1));
  EXPECT_EQ(b->Lines()->Text(), "tartextget");
  EXPECT_EQ(b->SelText(), "text");
  EXPECT_EQ(a->Lines()->Text(), "source text here");
  b->Undo();
  EXPECT_EQ(b->Lines()->Text(), "target");
  // With Shift the text moves: each editor undoes its own part.
  a->SetBlockBegin(BufferCoord(8, 1));
  a->SetBlockEnd(BufferCoord(12, 1));
  DragText(a.get(), At(a.get(), 9, 1), inB(7, 1), TShiftState{ssShift});
  EXPECT_EQ(b->Lines()->Text(), "targettext");
  EXPECT_EQ(a->Lines()->Text(), "source  here");
  a->Undo();
  EXPECT_EQ(a->Lines()->Text(), "source text here");
  // Into an empty editor at a column to the right: the blanks before the text go with it.
  b->Lines()->Clear();
  b->ClearUndo();
  a->SetBlockBegin(BufferCoord(8, 1));
  a->SetBlockEnd(BufferCoord(12, 1));
  DragText(a.get(), At(a.get(), 9, 1), inB(5, 1));
  EXPECT_EQ(b->Lines()->Text(), "    text");
  b->Undo();
  EXPECT_EQ(b->Lines()->Text(), "");
  EXPECT_FALSE(b->CanUndo());
  b->Redo();
  EXPECT_EQ(b->Lines()->Text(), "    text");
  b->Lines()->SetText("targettext");
  // A read-only target refuses.
  b->SetReadOnly(true);
  a->SetBlockBegin(BufferCoord(1, 1));
  a->SetBlockEnd(BufferCoord(7, 1));
  DragText(a.get(), At(a.get(), 2, 1), inB(1, 1));
  EXPECT_EQ(b->Lines()->Text(), "targettext");
  b->SetReadOnly(false);
  // Escape ends a running drag without a drop; the source stops its timer.
  SimulateMouse(a.get(), smPress, mbLeft, At(a.get(), 2, 1).X, At(a.get(), 2, 1).Y);
  int d = GetSystemMetrics(SM_CXDRAG) + 2;
  MoveHeld(a.get(), TPoint{At(a.get(), 2, 1).X + d, At(a.get(), 2, 1).Y});
  MoveHeld(a.get(), inB(2, 1));
  ASSERT_TRUE(DragStarted());
  EXPECT_EQ(DragTargetControl(), b.get());
  EXPECT_EQ(DragCursorShown(), crDrag);
  SimulateKeyStroke(a.get(), VK_ESCAPE);
  EXPECT_FALSE(DragSourceControl());
  SimulateMouse(a.get(), smRelease, mbLeft, inB(2, 1).X, inB(2, 1).Y);
  EXPECT_EQ(b->Lines()->Text(), "targettext");
  EXPECT_FALSE(a->ScrollTimer()->Enabled());
  EXPECT_FALSE(a->DragRunning());
  // The source going away in the middle of a drag ends it; the target is left as it was.
  TPoint over = inB(3, 1);
  SimulateMouse(a.get(), smPress, mbLeft, At(a.get(), 2, 1).X, At(a.get(), 2, 1).Y);
  MoveHeld(a.get(), TPoint{At(a.get(), 2, 1).X + d, At(a.get(), 2, 1).Y});
  MoveHeld(a.get(), over);
  ASSERT_TRUE(DragStarted());
  a.reset();
  MoveHeld(b.get(), At(b.get(), 2, 1));
  SimulateMouse(b.get(), smRelease, mbLeft, 5, 5);
  EXPECT_FALSE(DragSourceControl());
  EXPECT_EQ(b->Lines()->Text(), "targettext");
}

// ---------------------------------------------------------------------------- wheel and scroll bars

TEST(SrcEditScrolling, WheelNotchesHalfNotchesAndPages) {
  auto e = Shown(NumberedLines(1000), 400, 300);
  int L = e->LinesInWindow();
  int rows = WheelScrollLines();
  struct Spy {
    int vertical = 0;
    void Scroll(TObject*, TScrollBarKind k) { vertical += k == sbVertical; }
  } spy;
  e->OnScroll = TScrollEvent(&spy, &Spy::Scroll);
  e->SetTopLine(500);
  SimulateWheel(e.get(), -120);
  EXPECT_EQ(e->TopLine(), 500 + rows);
  SimulateWheel(e.get(), 60);
  EXPECT_EQ(e->TopLine(), 500 + rows);
  EXPECT_EQ(e->WheelAccumulator(), 60);
  SimulateWheel(e.get(), 60);
  EXPECT_EQ(e->TopLine(), 500);
  EXPECT_EQ(e->WheelAccumulator(), 0);
  SimulateWheel(e.get(), 240, TShiftState{ssCtrl});
  EXPECT_EQ(e->TopLine(), 500 - 2 * L);
  e->SetOptions(e->Options().With(eoHalfPageScroll));
  SimulateWheel(e.get(), -120, TShiftState{ssCtrl});
  EXPECT_EQ(e->TopLine(), 500 - 2 * L + L / 2);
  EXPECT_EQ(spy.vertical, 5);
  // Far past either end the view stops at the text.
  SimulateWheel(e.get(), 32000, TShiftState{ssCtrl});
  EXPECT_EQ(e->TopLine(), 1);
}

TEST(SrcEditScrolling, ScrollBarMessagesAndTheThumbScaling) {
  auto e = Shown(NumberedLines(200) + "\r\n" + AnsiString(300, 'x'), 400, 300);
  int L = e->LinesInWindow(), C = e->CharsInWindow();
  auto v = [&](unsigned code, int pos = 0) { e->Perform(WM_VSCROLL, code | (static_cast<uintptr_t>(pos) << 16), 0); };
  auto h = [&](unsigned code, int pos = 0) { e->Perform(WM_HSCROLL, code | (static_cast<uintptr_t>(pos) << 16), 0); };
  v(SB_LINEDOWN);
  EXPECT_EQ(e->TopLine(), 2);
  v(SB_PAGEDOWN);
  EXPECT_EQ(e->TopLine(), 2 + L);
  v(SB_PAGEUP);
  v(SB_LINEUP);
  EXPECT_EQ(e->TopLine(), 1);
  v(SB_BOTTOM);
  EXPECT_EQ(e->TopLine(), 201 - L + 1);
  v(SB_TOP);
  e->SetOptions(e->Options().With(eoScrollByOneLess));
  v(SB_PAGEDOWN);
  EXPECT_EQ(e->TopLine(), L);
  v(SB_THUMBTRACK, 77);
  EXPECT_TRUE(e->IsScrolling());
  EXPECT_EQ(e->TopLine(), 77);
  v(SB_ENDSCROLL);
  EXPECT_FALSE(e->IsScrolling());

  h(SB_LINEDOWN);
  EXPECT_EQ(e->LeftChar(), 2);
  h(SB_PAGEDOWN);
  EXPECT_EQ(e->LeftChar(), 2 + C - 1);
  h(SB_TOP);
  EXPECT_EQ(e->LeftChar(), 1);
  h(SB_BOTTOM);  // with eoScrollPastEol: to the scroll width
  EXPECT_EQ(e->LeftChar(), e->MaxScrollWidth() - C + 1);
  h(SB_THUMBPOSITION, 40);
  EXPECT_EQ(e->LeftChar(), 40);
  e->SetOptions(e->Options().Without(eoScrollPastEol));
  h(SB_BOTTOM);
  EXPECT_EQ(e->LeftChar(), 300 - C + 1);

  // 100 000 rows: the 16-bit thumb position is scaled to the rows.
  e->Lines()->SetText(NumberedLines(100000));
  v(SB_THUMBTRACK, 16384);
  EXPECT_EQ(e->TopLine(), MulDiv(100000 + L - 1, 16384, 32767));
  EXPECT_NEAR(e->TopLine(), 50000 + L / 2, 2);
  v(SB_THUMBTRACK, 32767);
  EXPECT_EQ(e->TopLine(), 100000 - L + 1);
  v(SB_ENDSCROLL);
}

// A generated page whose last line runs to 3,000 characters, far beyond the scroll width (1,024
// by default, with past-end scrolling): every column of that line is reached by the caret, the
// keys, the mouse, a selection in each mode, Select All and the view, with word wrap off and on;
// the caret still stops at the scroll width past the end of a short line, and typing at a
// line's end is not stopped there.
TEST(SrcEditScrolling, EveryColumnOfALineLongerThanTheScrollWidthIsReached) {
  AnsiString longLine = "<p>" + AnsiString(1996, 'x') + "WORD" + AnsiString(993, 'y') + "</p>";
  ASSERT_EQ(longLine.size(), 3000u);
  AnsiString text = "<html>\r\n" + longLine;
  auto e = Shown(text, 400, 300);
  TSrcEdit* ed = e.get();
  ASSERT_EQ(e->MaxScrollWidth(), 1024);
  int C = e->CharsInWindow();
  auto shownAt = [&](int col) { return e->LeftChar() <= col && col < e->LeftChar() + C; };

  e->SetCaretXY(BufferCoord(2001, 2));
  EXPECT_EQ(e->CaretXY(), BufferCoord(2001, 2));
  EXPECT_TRUE(shownAt(2001)) << e->LeftChar();
  e->SetBlockBegin(BufferCoord(2000, 2));
  e->SetBlockEnd(BufferCoord(2004, 2));
  EXPECT_EQ(e->SelText(), "WORD");
  SimulateKeyStroke(ed, VK_END);
  EXPECT_EQ(e->CaretXY(), BufferCoord(3001, 2));
  SimulateKeyStroke(ed, VK_RIGHT);
  EXPECT_EQ(e->CaretXY(), BufferCoord(3001, 2));
  e->SetCaretXY(BufferCoord(1000, 2));
  for (int i = 0; i < 50; ++i) SimulateKeyStroke(ed, VK_RIGHT);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1050, 2));
  // A short line keeps its limit past the end.
  e->SetCaretXY(BufferCoord(5000, 1));
  EXPECT_EQ(e->CaretXY(), BufferCoord(1025, 1));

  // The view and its scroll bar reach the line's end.
  e->Perform(WM_HSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(e->LeftChar(), 3000 - C + 1);
  EXPECT_EQ(e->GetScrollInfo(SB_HORZ).nMax, 3000);
  e->SetLeftChar(1990);
  EXPECT_EQ(e->LeftChar(), 1990);
  // The mouse: a click and a Shift+click select the word by its columns.
  Click(ed, At(ed, 2000, 2));
  EXPECT_EQ(e->CaretXY(), BufferCoord(2000, 2));
  Click(ed, At(ed, 2004, 2), TShiftState{ssShift});
  EXPECT_EQ(e->SelText(), "WORD");
  DoubleClick(ed, At(ed, 2010, 2));
  EXPECT_EQ(e->BlockEnd(), BufferCoord(2997, 2));
  // Typing within the long line beyond the scroll width, and its undo.
  e->SetCaretXY(BufferCoord(2001, 2));
  SimulateTyping(ed, "z");
  EXPECT_EQ(e->Lines()->Get(1).substr(1999, 5), "WzORD");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), text);
  e->SelectAll();
  EXPECT_EQ(e->SelText(), text);
  EXPECT_EQ(e->CaretXY(), BufferCoord(3001, 2));
  // A column selection beyond the scroll width.
  e->SetSelectionMode(smColumn);
  e->SetBlockBegin(BufferCoord(2000, 1));
  e->SetBlockEnd(BufferCoord(2004, 2));
  EXPECT_EQ(e->BlockBegin(), BufferCoord(2000, 1));
  EXPECT_EQ(e->SelText(), "\r\nWORD");  // the short line gives nothing, trimmed
  e->SetSelectionMode(smNormal);

  // With word wrap on, and after it is turned off again, the same positions hold.
  e->SetWordWrap(true);
  e->SetCaretXY(BufferCoord(2001, 2));
  e->SetBlockBegin(BufferCoord(2000, 2));
  e->SetBlockEnd(BufferCoord(2004, 2));
  EXPECT_EQ(e->SelText(), "WORD");
  e->SetWordWrap(false);
  EXPECT_EQ(e->SelText(), "WORD");
  EXPECT_TRUE(shownAt(2001)) << e->LeftChar();

  // Typing at the end of a short line runs on past the scroll width: no character is lost
  // where the line reaches 1,024 characters, and the line grows to several thousand.
  e->SetCaretXY(BufferCoord(7, 1));
  SimulateTyping(ed, std::string(3000, 'a'));
  EXPECT_EQ(e->Lines()->Get(0), "<html>" + AnsiString(3000, 'a'));
  EXPECT_EQ(e->CaretXY(), BufferCoord(3007, 1));
}

TEST(SrcEditScrolling, ScrollHintShowsTheLinesAndFollowsTheThumb) {
  auto e = Shown(NumberedLines(500), 400, 300);
  int L = e->LinesInWindow();
  e->SetFocus();
  ProcessMessages();
  e->Perform(WM_VSCROLL, SB_THUMBTRACK | (40u << 16), 0);
  THintWindow* hint = TCustomSrcEdit::ScrollHint();
  EXPECT_TRUE(hint->Showing());
  ProcessMessages();
  EXPECT_TRUE(e->Focused());  // the hint takes no focus
  EXPECT_EQ(hint->Caption(), "Top Line: 40");
  EXPECT_EQ(hint->Color(), clInfoBk);
  TPoint topRight = e->ClientToScreen(TPoint{e->ClientWidth(), 10});
  EXPECT_EQ(hint->BoundsRect().Right, topRight.X - 4);
  EXPECT_EQ(hint->BoundsRect().Top, topRight.Y);
  e->Perform(WM_VSCROLL, SB_ENDSCROLL, 0);
  EXPECT_FALSE(hint->Showing());

  e->SetScrollHintFormat(shfTopToBottom);
  e->SetScrollHintColor(clYellow);
  e->SetOptions(e->Options().With(eoScrollHintFollows));
  e->Perform(WM_VSCROLL, SB_THUMBTRACK | (100u << 16), 0);
  EXPECT_EQ(hint->Caption(), Format("%d - %d", {100, 100 + L}));
  EXPECT_EQ(hint->Color(), clYellow);
  int low = hint->BoundsRect().Top;
  e->Perform(WM_VSCROLL, SB_THUMBTRACK | (450u << 16), 0);
  EXPECT_GT(hint->BoundsRect().Top, low);
  // At the end the second number stops at the last row.
  e->Perform(WM_VSCROLL, SB_THUMBTRACK | (500u << 16), 0);
  EXPECT_EQ(hint->Caption(), Format("%d - %d", {500 - L + 1, 500}));
  e->Perform(WM_VSCROLL, SB_ENDSCROLL, 0);
  EXPECT_FALSE(hint->Showing());
  // Without the option no hint appears.
  e->SetOptions(e->Options().Without(eoShowScrollHint));
  e->Perform(WM_VSCROLL, SB_THUMBTRACK | (10u << 16), 0);
  EXPECT_FALSE(hint->Showing());
}

// ---------------------------------------------------------------------------- input method, files

TEST(SrcEditInputMethod, ResultInsertedOnceAndItsCharactersDropped) {
  auto e = Shown("");
  CommandLog log;
  log.Attach(e.get());
  SimulateInputMethodCommit(e.get(), "привет");
  ASSERT_EQ(log.imeTexts.size(), 1u);
  EXPECT_EQ(log.imeTexts[0], W1251("привет"));
  // The six character messages that follow the composition are dropped.
  EXPECT_EQ(log.Count(ecChar), 0);
  EXPECT_EQ(e->ImeSkipCount(), 0);
  SimulateTyping(e.get(), "z");
  EXPECT_EQ(log.Count(ecChar), 1);
  // Characters the code page cannot hold are dropped, not replaced.
  SimulateInputMethodCommit(e.get(), "a中b😀");
  ASSERT_EQ(log.imeTexts.size(), 2u);
  EXPECT_EQ(log.imeTexts[1], "ab");
  EXPECT_EQ(log.Count(ecChar), 1);
  // Nothing left: no command, a selection stays, the next key is typed.
  e->SetText("keep");
  e->SelectAll();
  SimulateInputMethodCommit(e.get(), "中文");
  EXPECT_EQ(log.imeTexts.size(), 2u);
  EXPECT_EQ(e->SelText(), "keep");
  SimulateTyping(e.get(), "q");
  EXPECT_EQ(log.Count(ecChar), 2);
}

TEST(SrcEditFiles, DroppedFilesReachTheEventWithThePoint) {
  namespace fs = std::filesystem;
  fs::path dir = fs::temp_directory_path() / ("vt_input_drop_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "a.html") << "x";
  std::ofstream(dir / "locked.txt") << "y";
  fs::permissions(dir / "locked.txt", fs::perms::none);
  auto e = Shown("");
  struct Spy {
    std::vector<AnsiString> names;
    int x = -1, y = -1, calls = 0;
    void Drop(TObject*, int X, int Y, TStrings* files) {
      ++calls;
      x = X;
      y = Y;
      for (int i = 0; i < files->Count(); ++i) names.push_back(files->Get(i));
    }
  } spy;
  e->OnDropFiles = TDropFilesEvent(&spy, &Spy::Drop);
  std::vector<std::string> paths = {(dir / "a.html").string(), (dir / "locked.txt").string(),
                                    (dir / "missing file.htm").string(), (dir / "файл.htm").string()};
  // The window takes files only with eoDropFiles.
  SimulateFileDrop(e.get(), paths, 30, 40);
  EXPECT_EQ(spy.calls, 0);
  e->SetOptions(e->Options().With(eoDropFiles));
  SimulateFileDrop(e.get(), paths, 30, 40);
  ASSERT_EQ(spy.calls, 1);
  EXPECT_EQ(spy.x, 30);
  EXPECT_EQ(spy.y, 40);
  ASSERT_EQ(spy.names.size(), 4u);
  EXPECT_EQ(spy.names[1], Utf8ToAnsi(paths[1]));
  EXPECT_EQ(spy.names[3], Utf8ToAnsi(paths[3]));
  // Unassigned: the drop is taken and nothing happens.
  e->OnDropFiles = nullptr;
  SimulateFileDrop(e.get(), paths, 1, 1);
  EXPECT_EQ(spy.calls, 1);
  EXPECT_EQ(e->Lines()->Text(), "");
  fs::permissions(dir / "locked.txt", fs::perms::owner_all);
  fs::remove_all(dir);
}

// ---------------------------------------------------------------------------- keys

TEST(SrcEditKeys, TwoKeyBindingAndAltBackspace) {
  auto e = Shown("");
  e->SetOptions(e->Options().Without(eoGroupUndo));
  CommandLog log;
  log.Attach(e.get());
  TSrcEditKeyStroke* k = e->Keystrokes()->Add();
  k->SetCommand(ecSelectAll);
  k->SetKey('K');
  k->SetShift(TShiftState{ssCtrl});
  k->SetKey2('B');
  SimulateTyping(e.get(), "ab");
  SimulateKeyStroke(e.get(), 'K', TShiftState{ssCtrl});
  SimulateKeyStroke(e.get(), 'B', {}, "b");
  EXPECT_EQ(log.Count(ecSelectAll), 1);
  EXPECT_EQ(e->SelText(), "ab");  // the second key's character is not typed
  // F1 has a binding of its own: it does not start a sequence.
  e->SetCaretXY(BufferCoord(3, 1));
  SimulateKeyStroke(e.get(), VK_F1);
  SimulateKeyStroke(e.get(), 'B', {}, "b");
  EXPECT_EQ(e->Lines()->Text(), "abb");

  // Alt+Backspace undoes; its character never reaches the editor as a character.
  int chars = log.Count(ecChar);
  SimulateKeyStroke(e.get(), VK_BACK, TShiftState{ssAlt});
  EXPECT_EQ(e->Lines()->Text(), "ab");
  int i = e->Keystrokes()->FindKeycode(VK_BACK, TShiftState{ssAlt});
  ASSERT_GE(i, 0);
  e->Keystrokes()->Delete(i);
  SimulateKeyStroke(e.get(), VK_BACK, TShiftState{ssAlt});
  EXPECT_EQ(e->Lines()->Text(), "ab");
  EXPECT_EQ(log.Count(ecChar), chars);
  EXPECT_EQ(e->Perform(WM_SYSCHAR, 8, 1 | KF_ALTDOWN_BIT), 0);
  EXPECT_EQ(log.Count(ecChar), chars);
}

TEST(SrcEditKeys, UnknownKeysAndEveryModifierCombination) {
  auto e = Shown("text");
  e->SetReadOnly(true);
  for (uint8_t m = 0; m < 8; ++m) {
    TShiftState s = TShiftState::FromByte(m);
    for (Word vk : {Word('A'), Word('Z'), Word(VK_F5), Word(VK_RETURN), Word(VK_TAB), Word(VK_OEM_3),
                    Word(VK_NUMPAD5), Word(0xE8), Word(0xFF)})
      SimulateKeyStroke(e.get(), vk, s, "", (m & 1) != 0);
    for (Word vk : {Word(0), Word(0xFFFF), Word(0x1234)}) {
      e->Perform(WM_KEYDOWN, vk, 1);
      e->Perform(WM_KEYUP, vk, 1);
    }
  }
  EXPECT_EQ(e->Lines()->Text(), "text");
  e->SetReadOnly(false);
  SimulateTyping(e.get(), "!");
  EXPECT_EQ(e->Lines()->Count(), 1);
}

// ---------------------------------------------------------------------------- window messages

TEST(SrcEditMessages, TextClipboardAndOtherMessages) {
  auto e = Shown("first\r\nsecond");
  char buf[64];
  EXPECT_EQ(e->Perform(WM_GETTEXTLENGTH, 0, 0), 13);
  EXPECT_EQ(e->Perform(WM_GETTEXT, sizeof buf, reinterpret_cast<intptr_t>(buf)), 13);
  EXPECT_STREQ(buf, "first\r\nsecond");
  EXPECT_EQ(e->Perform(WM_GETTEXT, 4, reinterpret_cast<intptr_t>(buf)), 3);
  EXPECT_STREQ(buf, "fir");
  EXPECT_EQ(e->Perform(WM_GETTEXT, 0, reinterpret_cast<intptr_t>(buf)), 0);
  EXPECT_EQ(e->Perform(WM_GETTEXT, 10, 0), 0);
  EXPECT_EQ(e->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>("new\ntext")), -1);
  EXPECT_EQ(e->Lines()->Count(), 2);
  EXPECT_EQ(e->Lines()->Get(1), "text");
  EXPECT_EQ(e->Perform(WM_SETTEXT, 0, 0), -1);
  EXPECT_EQ(e->Lines()->Text(), "");

  e->Perform(WM_SETTEXT, 0, reinterpret_cast<intptr_t>("copy me"));
  e->SetBlockBegin(BufferCoord(1, 1));
  e->SetBlockEnd(BufferCoord(5, 1));
  EXPECT_EQ(e->Perform(WM_COPY, 0, 0), 1);
  EXPECT_EQ(Clipboard()->AsText(), "copy");
  e->SetReadOnly(true);
  EXPECT_EQ(e->Perform(WM_CUT, 0, 0), 1);
  EXPECT_EQ(e->Perform(WM_PASTE, 0, 0), 1);
  e->Perform(WM_CLEAR, 0, 0);
  EXPECT_EQ(e->Lines()->Text(), "copy me");
  e->SetReadOnly(false);
  e->Perform(WM_CUT, 0, 0);
  EXPECT_EQ(e->Lines()->Text(), " me");
  e->SetCaretXY(BufferCoord(4, 1));
  e->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(e->Lines()->Text(), " mecopy");
  e->SetBlockBegin(BufferCoord(1, 1));
  e->SetBlockEnd(BufferCoord(4, 1));
  e->Perform(WM_CLEAR, 0, 0);
  EXPECT_EQ(e->Lines()->Text(), "copy");
  e->Perform(WM_UNDO, 0, 0);
  EXPECT_EQ(e->Lines()->Text(), " mecopy");

  EXPECT_EQ(e->Perform(WM_ERASEBKGND, 0, 0), 1);
  EXPECT_EQ(e->Perform(WM_CANCELMODE, 0, 0), 0);
  unsigned code = static_cast<unsigned>(e->Perform(WM_GETDLGCODE, 0, 0));
  EXPECT_EQ(code, DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS);
  e->SetWantTabs(true);
  e->SetWantReturns(false);
  code = static_cast<unsigned>(e->Perform(WM_GETDLGCODE, 0, 0));
  EXPECT_EQ(code, DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB);
}

// ---------------------------------------------------------------------------- picture

TEST(SrcEditMouse, ScreenshotOfAMouseSelection) {
  auto e = Shown(W1251("<html>\r\n<body>\r\n<p>Выделено мышью: a selection\r\nmade by dragging the mouse</p>\r\n"
                            "</body>\r\n</html>"),
                 420, 160);
  TSrcEdit* ed = e.get();
  e->Gutter()->SetShowLineNumbers(true);
  ProcessMessages();
  TPoint from = At(ed, 4, 3), to = At(ed, 16, 4);
  SimulateMouse(ed, smPress, mbLeft, from.X, from.Y);
  MoveHeld(ed, At(ed, 10, 3));
  MoveHeld(ed, to);
  SimulateMouse(ed, smRelease, mbLeft, to.X, to.Y);
  EXPECT_EQ(e->SelText(), W1251("Выделено мышью: a selection\r\nmade by draggin"));
  e->Update();
  std::string dir = VT_TEST_OUTPUT_DIR;
  ForceDirectories(dir);
  EXPECT_TRUE(SaveClientImage(ed, dir + "/editor_mouse_selection.png"));
}

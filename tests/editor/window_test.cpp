// The control with a real (offscreen) window: metrics, scroll bars, the clipboard and keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

#include "editor/src_edit.h"
#include "tests/editor/shown_editor.h"
#include "platform/forms.h"
#include "platform/input_simulation.h"
#include "platform/stdctrls.h"

namespace {

}  // namespace

TEST(SrcEditWindow, MetricsFollowTheClientSize) {
  auto e = Shown("abc", 400, 300);
  ASSERT_TRUE(e->HandleAllocated());
  EXPECT_EQ(e->CharsInWindow(), (e->ClientWidth() - e->GutterWidth() - 2) / e->CharWidth());
  EXPECT_EQ(e->LinesInWindow(), e->ClientHeight() / e->LineHeight());
  int before = e->LinesInWindow();
  e->SetBounds(0, 0, 400, 600);
  ProcessMessages();
  EXPECT_GT(e->LinesInWindow(), before);
  e->SetExtraLineSpacing(4);
  EXPECT_EQ(e->LinesInWindow(), e->ClientHeight() / e->LineHeight());
}

TEST(SrcEditWindow, WindowRecreatedWithStateKept) {
  auto e = Shown(NumberedLines(200), 400, 300);
  e->SetCaretXY(BufferCoord(3, 150));
  e->SetTopLine(120);
  e->SetSelText("zz");
  int top = e->TopLine();
  e->DestroyHandle();
  EXPECT_FALSE(e->HandleAllocated());
  // Without a window the control keeps working and only records what is pending.
  e->SetSelText("y");
  e->HandleNeeded();
  ProcessMessages();
  EXPECT_TRUE(e->HandleAllocated());
  EXPECT_EQ(e->Lines()->Get(149), "lizzyne 150");
  EXPECT_EQ(e->CaretXY(), BufferCoord(6, 150));
  EXPECT_EQ(e->TopLine(), top);
  EXPECT_TRUE(e->ScrollBarVisible(SB_VERT));
  // A border change recreates the window too.
  e->SetEditBorderStyle(bsNone);
  ProcessMessages();
  EXPECT_TRUE(e->HandleAllocated());
  EXPECT_EQ(e->Lines()->Count(), 200);
  e->Undo();
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(149), "line 150");
}

TEST(SrcEditScroll, VerticalRangeUnscaledAndScaled) {
  auto e = Shown(NumberedLines(100), 400, 300);
  TScrollInfo si = e->GetScrollInfo(SB_VERT);
  EXPECT_EQ(si.nMin, 1);
  EXPECT_EQ(si.nMax, 100);
  EXPECT_EQ(static_cast<int>(si.nPage), e->LinesInWindow());
  e->Lines()->SetText(NumberedLines(40000));
  int L = e->LinesInWindow();
  si = e->GetScrollInfo(SB_VERT);
  EXPECT_EQ(si.nMin, 0);
  EXPECT_EQ(si.nMax, 32767);
  EXPECT_EQ(static_cast<int>(si.nPage), MulDiv(32767, L, 40000));
  e->SetTopLine(20000);
  si = e->GetScrollInfo(SB_VERT);
  EXPECT_EQ(si.nPos, MulDiv(32767, 20000, 40000));
  EXPECT_EQ(MulDiv(32767, 30, 40000), 25);
  // Horizontal: the scroll width with past-end scrolling, scaled above 0x7FFF too.
  e->SetMaxScrollWidth(100000);
  si = e->GetScrollInfo(SB_HORZ);
  EXPECT_EQ(si.nMax, 32767);
  EXPECT_EQ(static_cast<int>(si.nPage), MulDiv(32767, e->CharsInWindow(), 100000));
}

TEST(SrcEditScroll, HideShowOrDisable) {
  auto e = Shown("short", 400, 300);
  e->SetOptions(e->Options().Without(eoScrollPastEol));
  EXPECT_TRUE(e->ScrollBarVisible(SB_VERT));
  EXPECT_FALSE(e->ScrollBarEnabled(SB_VERT));
  e->SetOptions(e->Options().With(eoHideShowScrollbars));
  EXPECT_FALSE(e->ScrollBarVisible(SB_VERT));
  EXPECT_FALSE(e->ScrollBarVisible(SB_HORZ));
  e->Lines()->SetText(NumberedLines(500));
  EXPECT_TRUE(e->ScrollBarVisible(SB_VERT));
  e->SetScrollBars(ssHorizontal);
  EXPECT_FALSE(e->ScrollBarVisible(SB_VERT));
  e->SetScrollBars(ssNone);
  EXPECT_FALSE(e->ScrollBarVisible(SB_HORZ));
}

TEST(SrcEditScroll, LeftCharAndTopLineAreClamped) {
  auto e = Shown(NumberedLines(100), 400, 300);
  int cw = e->CharsInWindow();
  e->SetLeftChar(2000);
  EXPECT_EQ(e->LeftChar(), 1024 - cw + 1);
  e->SetLeftChar(-7);
  EXPECT_EQ(e->LeftChar(), 1);
  e->SetTopLine(1000);
  EXPECT_EQ(e->TopLine(), 100 - e->LinesInWindow() + 1);
  e->SetOptions(e->Options().With(eoScrollPastEof));
  e->SetTopLine(1000);
  EXPECT_EQ(e->TopLine(), 100);
  e->SetTopLine(0);
  EXPECT_EQ(e->TopLine(), 1);
  // Leaving the past-end options re-clamps under the old set first, then the new.
  e->SetLeftChar(500);
  e->SetOptions(e->Options().Without(eoScrollPastEol));
  e->SetLeftChar(e->LeftChar());
  EXPECT_EQ(e->LeftChar(), 1);
  e->SetTabWidth(0);
  EXPECT_EQ(e->TabWidth(), 1);
  e->SetTabWidth(300);
  EXPECT_EQ(e->TabWidth(), 256);
}

TEST(SrcEditScroll, EnsureCaretVisibleCentresOnRequest) {
  auto e = Shown(NumberedLines(1000), 400, 300);
  int L = e->LinesInWindow();
  e->SetTopLine(500);
  e->InternalSetCaretXY(BufferCoord(1, 100));
  e->SetTopLine(500);
  e->EnsureCursorPosVisibleEx(true);
  EXPECT_EQ(e->TopLine(), 100 - L / 2 + 1);
  // Inside the window nothing moves; on the last row the view scrolls.
  int top = e->TopLine();
  e->InternalSetCaretXY(BufferCoord(1, top + L - 2));
  e->SetTopLine(top);
  e->EnsureCursorPosVisibleEx(true);
  EXPECT_EQ(e->TopLine(), top);
  e->InternalSetCaretXY(BufferCoord(1, top + L - 1));
  e->SetTopLine(top);
  e->EnsureCursorPosVisibleEx(true);
  EXPECT_NE(e->TopLine(), top);
  // The plain form keeps the caret row just inside.
  e->SetCaretXY(BufferCoord(1, 900));
  EXPECT_EQ(e->TopLine(), 900 - L + 1);
}

TEST(SrcEditScroll, PixelConversionsRoundTrip) {
  auto e = Shown(NumberedLines(50), 400, 300);
  e->SetTopLine(5);
  TPoint p = e->RowColumnToPixels(DisplayCoord(7, 9));
  EXPECT_EQ(e->PixelsToRowColumn(p.X, p.Y), DisplayCoord(7, 9));
  EXPECT_EQ(e->PixelsToRowColumn(p.X + e->CharWidth() - 1, p.Y + e->LineHeight() - 1), DisplayCoord(7, 9));
  EXPECT_EQ(e->PixelsToNearestRowColumn(p.X + e->CharWidth() * 3 / 4, p.Y), DisplayCoord(8, 9));
  EXPECT_EQ(e->PixelsToRowColumn(-500, -500), DisplayCoord(1, 1));
  // A click places the caret at the nearest character boundary.
  SimulateMouse(e.get(), smPress, mbLeft, p.X + 1, p.Y + 1);
  SimulateMouse(e.get(), smRelease, mbLeft, p.X + 1, p.Y + 1);
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 9));

  // A line whose columns reach past the largest int in pixels: tabs at the widest tab width,
  // the caret at the line's end and the view scrolled there, painted and clicked. A large font
  // takes fewer columns there.
  e->Font()->SetSize(40);
  e->SetTabWidth(256);
  const int64_t columns = (int64_t{1} << 31) / e->CharWidth() + 100000;
  const int tabs = static_cast<int>(std::min<int64_t>(columns / 256 + 1, 8388607));
  e->Lines()->Add(AnsiString(static_cast<size_t>(tabs), '\t'));
  const int line = e->Lines()->Count();
  const int endColumn = tabs * 256 + 1;
  ASSERT_GT(static_cast<int64_t>(endColumn) * e->CharWidth(), int64_t{INT_MAX});
  e->SetOptions(e->Options().Without(eoScrollPastEol));
  e->SetCaretXY(BufferCoord(tabs + 1, line));
  EXPECT_EQ(e->DisplayXY(), DisplayCoord(endColumn, line));
  EXPECT_GE(e->LeftChar(), endColumn - e->CharsInWindow());
  e->Invalidate();
  ProcessMessages();
  TPoint end = e->RowColumnToPixels(e->DisplayXY());
  EXPECT_GT(end.X, e->GutterWidth());
  EXPECT_LE(end.X, e->ClientWidth());
  EXPECT_EQ(e->PixelsToRowColumn(end.X, end.Y), e->DisplayXY());
  // Far columns and points far outside the window are held, not wrapped round.
  EXPECT_EQ(e->RowColumnToPixels(DisplayCoord(1, line)).X, -TCustomSrcEdit::kFarPixel);
  EXPECT_EQ(e->PixelsToNearestRowColumn(INT_MIN, INT_MIN).Row, e->TopLine());
  SimulateMouse(e.get(), smPress, mbLeft, end.X - 5 * e->CharWidth(), end.Y + 1);
  SimulateMouse(e.get(), smRelease, mbLeft, end.X - 5 * e->CharWidth(), end.Y + 1);
  EXPECT_EQ(e->CaretXY(), BufferCoord(tabs, line));
  e->SetBlockBegin(BufferCoord(tabs - 3, line));
  e->SetBlockEnd(BufferCoord(tabs + 1, line));
  e->Invalidate();
  ProcessMessages();
  // Past the line's end, where the view may scroll to the largest column.
  e->SetOptions(e->Options().With(eoScrollPastEol).With(eoAutoSizeMaxScrollWidth));
  e->SetLeftChar(INT_MAX);
  EXPECT_EQ(e->LeftChar(), INT_MAX - e->CharsInWindow());
  EXPECT_EQ(e->PixelsToRowColumn(INT_MAX, 0).Column, INT_MAX);
  e->SetCaretXY(BufferCoord(INT_MAX - 1, 1));
  e->Invalidate();
  ProcessMessages();
  SimulateMouse(e.get(), smPress, mbLeft, e->ClientWidth() - 1, 1);
  SimulateMouse(e.get(), smRelease, mbLeft, e->ClientWidth() - 1, 1);
  EXPECT_GE(e->DisplayX(), e->LeftChar());
}

TEST(SrcEditClipboard, ColumnBlockRoundTripThroughTheDesktopClipboard) {
  auto src = Shown("0123456789\r\nabc\r\n0123456789");
  src->SetSelectionMode(smColumn);
  src->PlaceCaretAndSelection(BufferCoord(8, 3), BufferCoord(5, 1), BufferCoord(8, 3));
  ASSERT_TRUE(src->Options().Contains(eoTrimTrailingSpaces));
  src->CopyToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "456\r\n   \r\n456");
  std::string block = Clipboard()->GetBuffer(SrcEditClipboardFormat());
  ASSERT_EQ(block.size(), 1 + 13 + 1u);
  EXPECT_EQ(block[0], char(smColumn));
  EXPECT_EQ(block.back(), '\0');

  auto dst = Shown("xxxx\r\nyyyy\r\nzzzz");
  EXPECT_TRUE(dst->CanPaste());
  dst->SetCaretXY(BufferCoord(3, 1));
  dst->PasteFromClipboard();
  EXPECT_EQ(dst->Lines()->Text(), "xx456xx\r\nyy   yy\r\nzz456zz");
  dst->Undo();
  EXPECT_EQ(dst->Lines()->Text(), "xxxx\r\nyyyy\r\nzzzz");
  EXPECT_FALSE(dst->UndoList()->CanUndo());
  // The brackets of the paste never reach the redo list.
  for (int i = 0; i < dst->RedoList()->ItemCount(); ++i) {
    EXPECT_NE(dst->RedoList()->Items(i)->fChangeReason, rcPasteBegin);
    EXPECT_NE(dst->RedoList()->Items(i)->fChangeReason, rcPasteEnd);
  }
  dst->Redo();
  EXPECT_EQ(dst->Lines()->Text(), "xx456xx\r\nyy   yy\r\nzz456zz");
}

TEST(SrcEditClipboard, LineBlockPastesAsWholeLinesAndCutRecordsOneDelete) {
  auto e = Shown("one\r\ntwo\r\nthree\r\nfour");
  e->SetSelectionMode(smLine);
  e->PlaceCaretAndSelection(BufferCoord(2, 3), BufferCoord(1, 2), BufferCoord(2, 3));
  e->CopyToClipboard();
  e->SetSelectionMode(smNormal);
  e->SetCaretXY(BufferCoord(3, 4));
  e->PasteFromClipboard();
  EXPECT_EQ(e->Lines()->Text(), "one\r\ntwo\r\nthree\r\ntwo\r\nthree\r\nfour");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "one\r\ntwo\r\nthree\r\nfour");
  // Cutting a backward selection records its raw ends.
  e->ClearUndo();
  e->PlaceCaretAndSelection(BufferCoord(3, 1), BufferCoord(5, 3), BufferCoord(3, 1));
  e->CutToClipboard();
  EXPECT_EQ(e->Lines()->Text(), "one\r\nfour");
  ASSERT_EQ(e->UndoList()->ItemCount(), 2);  // the deletion and the break after it
  EXPECT_EQ(e->UndoList()->Items(0)->fChangeStartPos, BufferCoord(5, 3));
  EXPECT_EQ(e->UndoList()->Items(0)->fChangeEndPos, BufferCoord(3, 1));
  EXPECT_EQ(Clipboard()->AsText(), "e\r\ntwo\r\nthre");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "one\r\ntwo\r\nthree\r\nfour");
  // Plain text of another program, with LF line ends, pasted into column mode.
  Clipboard()->SetAsText("A\nB");
  e->SetSelectionMode(smColumn);
  e->SetCaretXY(BufferCoord(2, 1));
  e->PasteFromClipboard();
  EXPECT_EQ(e->Lines()->Text(), "oAne\r\ntBwo\r\nthree\r\nfour");
  // A middle click pastes the desktop's primary selection where it clicks, converted as the
  // clipboard's text is, as one undo step. The offscreen desktop has none: the click pastes
  // nothing there; another program's selection stands in for an X desktop's.
  e->SetSelectionMode(smNormal);
  const AnsiString before = e->Lines()->Text();
  TPoint at = e->RowColumnToPixels(DisplayCoord(2, 3));
  auto middleClick = [&](TSimulatedMouse kind = smPress) {
    SimulateMouse(e.get(), kind, mbMiddle, at.X + 1, at.Y + 1);
    SimulateMouse(e.get(), smRelease, mbMiddle, at.X + 1, at.Y + 1);
  };
  ASSERT_EQ(PrimarySelection(), nullptr);
  middleClick();
  EXPECT_EQ(e->Lines()->Text(), before);
  struct Simulated {
    Simulated() { SimulatePrimarySelection("PRIM-Жук\nz"); }
    ~Simulated() { EndSimulatedPrimarySelection(); }
  } primary;
  ASSERT_NE(PrimarySelection(), nullptr);
  e->PlaceCaretAndSelection(BufferCoord(3, 1), BufferCoord(1, 1), BufferCoord(3, 1));
  middleClick();
  EXPECT_EQ(e->Lines()->Text(), "oAne\r\ntBwo\r\nt" + W1251("PRIM-Жук") + "\r\nzhree\r\nfour");
  EXPECT_EQ(e->CaretXY(), BufferCoord(2, 4));
  EXPECT_FALSE(e->SelAvail());
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), before);
  // A read-only editor takes nothing, and the second press of a double click selects no word.
  e->SetReadOnly(true);
  middleClick();
  middleClick(smDoubleClick);
  EXPECT_EQ(e->Lines()->Text(), before);
  EXPECT_FALSE(e->SelAvail());
}

TEST(SrcEditClipboard, ForeignOrBrokenContentChangesNothing) {
  auto e = Shown("keep");
  TClipboardFormat other = RegisterClipboardFormat("Some Other Program Format");
  auto check = [&](const char* what) {
    SCOPED_TRACE(what);
    e->PasteFromClipboard();
    EXPECT_EQ(e->Lines()->Text(), "keep");
    EXPECT_FALSE(e->UndoList()->CanUndo());
    EXPECT_FALSE(e->Modified());
  };
  Clipboard()->Clear();
  EXPECT_FALSE(e->CanPaste());
  check("empty");
  Clipboard()->SetBuffer(other, "data");
  EXPECT_FALSE(e->CanPaste());
  check("foreign");
  Clipboard()->SetBuffer(SrcEditClipboardFormat(), std::string("\x02", 1));
  check("truncated");
  Clipboard()->SetBuffer(SrcEditClipboardFormat(), std::string("\x02xyz", 4));
  check("no terminator");
  Clipboard()->SetBuffer(SrcEditClipboardFormat(), std::string("\x09xyz\0", 5));
  check("unknown mode");
  Clipboard()->SetAsText("");
  check("no text");
  // A block announced without its data is a failed paste, reported and recorded nowhere.
  Clipboard()->SetBuffer(SrcEditClipboardFormat(), std::string());
  try {
    e->PasteFromClipboard();
    ADD_FAILURE() << "no error";
  } catch (const ESrcEditError& err) {
    EXPECT_EQ(err.Message(), "Clipboard paste operation failed.");
  }
  EXPECT_EQ(e->Lines()->Text(), "keep");
  EXPECT_FALSE(e->UndoList()->CanUndo());
  // The undo block was ended: a later paste is one step of its own.
  Clipboard()->SetAsText("x");
  e->PasteFromClipboard();
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "keep");
  Clipboard()->Clear();
  // Nothing selected: nothing copied, the clipboard keeps what it had.
  Clipboard()->SetAsText("before");
  e->CopyToClipboard();
  e->CutToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "before");
}

TEST(SrcEditKeys, TypingThroughSimulatedKeys) {
  auto e = Shown("");
  SimulateTyping(e.get(), "ab\ncd");
  EXPECT_EQ(e->Lines()->Text(), "ab\r\ncd");
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 2));
  SimulateKeyStroke(e.get(), VK_BACK);
  EXPECT_EQ(e->Lines()->Text(), "ab\r\nc");
  SimulateKeyStroke(e.get(), VK_LEFT);
  SimulateKeyStroke(e.get(), VK_DELETE);
  EXPECT_EQ(e->Lines()->Text(), "ab\r\n");
  SimulateTyping(e.get(), "\xD0\xAF");  // Cyrillic capital Ya
  EXPECT_EQ(e->Lines()->Get(1), W1251("Я"));
}

TEST(SrcEditKeys, CtrlZUndoesUnderTheRussianLayout) {
  auto e = Shown("");
  e->SetOptions(e->Options().Without(eoGroupUndo));
  SimulateTyping(e.get(), "xy");
  SimulateKeyStroke(e.get(), 'Z', TShiftState{ssCtrl}, "", true);
  EXPECT_EQ(e->Lines()->Text(), "x");
  SimulateKeyStroke(e.get(), 'Z', TShiftState{ssCtrl, ssShift}, "", true);
  EXPECT_EQ(e->Lines()->Text(), "xy");
}

// A key typed with Alt is the system's character: bound Alt keys still work, nothing is typed.
TEST(SrcEditKeys, AltLettersAreNeverTyped) {
  auto e = Shown("");
  e->SetOptions(e->Options().Without(eoGroupUndo));
  SimulateTyping(e.get(), "xy");
  SimulateKeyStroke(e.get(), 'Y', TShiftState{ssAlt}, "y");
  SimulateKeyStroke(e.get(), 'S', TShiftState{ssAlt, ssShift}, "S");
  SimulateKeyStroke(e.get(), 'F', TShiftState{ssAlt}, "\xD0\xB0", true);
  EXPECT_EQ(e->Lines()->Text(), "xy");
  SimulateKeyStroke(e.get(), VK_BACK, TShiftState{ssAlt});  // bound: undo
  EXPECT_EQ(e->Lines()->Text(), "x");
}

// In a dialog Tab moves the focus on unless the editor wants tabs; Enter stays in an editor
// that wants returns instead of pressing the default button.
TEST(SrcEditKeys, DialogKeysFollowWantTabsAndWantReturns) {
  TForm f(nullptr);
  f.SetFormBorderStyle(bsDialog);
  f.SetBounds(0, 0, 400, 300);
  auto* a = new TSrcEdit(&f);
  a->SetParent(&f);
  a->SetBounds(0, 0, 400, 100);
  auto* b = new TSrcEdit(&f);
  b->SetParent(&f);
  b->SetBounds(0, 100, 400, 100);
  f.Show();
  a->SetFocus();
  ProcessMessages();
  ASSERT_TRUE(a->Focused());
  SimulateKeyStroke(a, VK_TAB);
  EXPECT_EQ(a->CaretX(), 1);
  EXPECT_TRUE(b->Focused());
  a->SetWantTabs(true);
  a->SetFocus();
  ProcessMessages();
  SimulateKeyStroke(a, VK_TAB);
  EXPECT_TRUE(a->Focused());
  EXPECT_GT(a->CaretX(), 1);
  struct Clicks {
    int n = 0;
    void Click(TObject*) { ++n; }
  } clicks;
  auto* ok = new TButton(&f);
  ok->SetParent(&f);
  ok->SetBounds(0, 250, 80, 25);
  ok->SetDefault(true);
  ok->OnClick = TNotifyEvent(&clicks, &Clicks::Click);
  SimulateKeyStroke(a, VK_RETURN);
  EXPECT_EQ(a->Lines()->Count(), 2);
  EXPECT_EQ(clicks.n, 0);
  a->SetWantReturns(false);
  SimulateKeyStroke(a, VK_RETURN);
  EXPECT_EQ(a->Lines()->Count(), 2);
  EXPECT_EQ(clicks.n, 1);
}

TEST(SrcEditKeys, KeyDownChainRunsBeforeTheBindings) {
  auto e = Shown("");
  struct Spy {
    int seen = 0;
    void Down(TObject*, Word& Key, TShiftState) {
      ++seen;
      if (Key == 'Q') Key = 0;
    }
  } spy;
  e->AddKeyDownHandler(TKeyEvent(&spy, &Spy::Down));
  SimulateKeyStroke(e.get(), VK_RETURN);
  EXPECT_EQ(e->Lines()->Count(), 2);
  EXPECT_EQ(spy.seen, 1);
  e->RemoveKeyDownHandler(TKeyEvent(&spy, &Spy::Down));
  SimulateKeyStroke(e.get(), VK_RETURN);
  EXPECT_EQ(spy.seen, 1);
}

TEST(SrcEditCaretShape, SizesAndOffsetsByShape) {
  auto e = Shown("abc");
  e->SetFocus();
  ProcessMessages();
  int lh = e->LineHeight();
  e->SetInsertCaret(ctHorizontalLine);
  EXPECT_EQ(e->CaretOffset(), (TPoint{0, lh - 2}));
  e->SetInsertCaret(ctHalfBlock);
  EXPECT_EQ(e->CaretOffset(), (TPoint{0, (lh - 2) / 2}));
  e->SetInsertCaret(ctVerticalLine);
  EXPECT_EQ(e->CaretOffset(), (TPoint{-1, 0}));
  e->SetInsertMode(false);
  EXPECT_EQ(e->CaretOffset(), (TPoint{0, 0}));
  // The system caret stands at the caret's cell, offset by the shape.
  ASSERT_TRUE(e->Focused());
  {
    e->SetInsertMode(true);
    e->SetCaretXY(BufferCoord(3, 1));
    TPoint cell = e->RowColumnToPixels(e->DisplayXY());
    EXPECT_EQ(GetCaretPos(), (TPoint{cell.X - 1, cell.Y + 1}));
  }
}

TEST(SrcEditFont, ProportionalFontsBecomeFixedPitch) {
  TSrcEdit e(nullptr);
  TFont f;
  f.SetName("Arial");
  f.SetSize(14);
  f.SetStyle(TFontStyles{fsItalic});
  f.SetColor(clRed);
  e.SetFont(&f);
  EXPECT_EQ(e.Font()->Name(), "Arial");
  EXPECT_EQ(e.Font()->Size(), 14);
  EXPECT_EQ(e.Font()->Color(), clRed);
  EXPECT_EQ(e.Font()->Pitch(), fpFixed);
  TFont mono;
  mono.SetName("Courier New");
  mono.SetSize(12);
  int before = e.LineHeight();
  e.SetFont(&mono);
  EXPECT_EQ(e.Font()->Size(), 12);
  EXPECT_NE(e.LineHeight(), 0);
  (void)before;
  e.SetExtraLineSpacing(3);
  int h = e.LineHeight();
  e.SetExtraLineSpacing(0);
  EXPECT_EQ(e.LineHeight(), h - 3);
}

TEST(SrcEditWindow, EditedBeforeItsWindowExistsOpensAtTheTop) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->Lines()->SetText(NumberedLines(100));
  e->SetCaretXY(BufferCoord(8, 3));
  e->SetSelText("abc");
  EXPECT_EQ(e->LeftChar(), 1);
  EXPECT_EQ(e->TopLine(), 1);
  ShowForTest(e.get(), 400, 300);
  EXPECT_EQ(e->LeftChar(), 1);
  EXPECT_EQ(e->TopLine(), 1);
  EXPECT_EQ(e->Lines()->Get(2), "line 3 abc");
}

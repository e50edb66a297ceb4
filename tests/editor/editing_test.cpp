// Caret, selection and editing of the control without a window.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>

#include "editor/src_edit.h"
#include "platform/ansi.h"

namespace {

std::unique_ptr<TSrcEdit> MakeEdit(const AnsiString& text) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->Lines()->SetText(text);
  return e;
}

void Select(TCustomSrcEdit* e, TBufferCoord anchor, TBufferCoord end) {
  e->PlaceCaretAndSelection(end, anchor, end);
}

struct Snapshot {
  AnsiString text;
  TBufferCoord caret, anchor, end;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(TCustomSrcEdit* e) {
  return Snapshot{e->Lines()->Text(), e->CaretXY(), e->RawBlockBegin(), e->RawBlockEnd()};
}

std::ostream& operator<<(std::ostream& os, const TBufferCoord& p) { return os << "(" << p.Char << "," << p.Line << ")"; }
std::ostream& operator<<(std::ostream& os, const Snapshot& s) {
  return os << "text=[" << s.text << "] caret=" << s.caret << " anchor=" << s.anchor << " end=" << s.end;
}

// A device that reports Size bytes and reads them without writing one: the loader's buffer
// keeps what fresh memory holds, which has no line break, so a one-line text of gigabytes is
// loaded without the memory it would fill.
class UntouchedStream : public TStream {
public:
  explicit UntouchedStream(int64_t Size) : size_(Size) {}
  int64_t Read(void*, int64_t Count) override {
    Count = std::min(Count, size_ - pos_);
    pos_ += Count;
    return Count;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    pos_ = (Origin == soBeginning ? 0 : Origin == soCurrent ? pos_ : size_) + Offset;
    return pos_;
  }
  int64_t Size() override { return size_; }

private:
  int64_t size_, pos_ = 0;
};

}  // namespace

TEST(SrcEditDefaults, PublishedDefaultsAfterConstruction) {
  TSrcEdit e(nullptr);
  EXPECT_EQ(e.Options().Bits(), SRCEDIT_DEFAULT_OPTIONS);
  EXPECT_EQ(e.ActiveLineColor(), clNone);
  EXPECT_EQ(e.RightEdge(), 80);
  EXPECT_EQ(e.RightEdgeColor(), clSilver);
  EXPECT_EQ(e.MaxScrollWidth(), 1024);
  EXPECT_EQ(e.MaxUndo(), 1024);
  EXPECT_EQ(e.TabWidth(), 8);
  EXPECT_TRUE(e.InsertMode());
  EXPECT_EQ(e.InsertCaret(), ctVerticalLine);
  EXPECT_EQ(e.OverwriteCaret(), ctBlock);
  EXPECT_EQ(e.ScrollBars(), ssBoth);
  EXPECT_EQ(e.SelectionMode(), smNormal);
  EXPECT_TRUE(e.WantReturns());
  EXPECT_FALSE(e.WantTabs());
  EXPECT_EQ(e.Font()->Name(), "Courier New");
  EXPECT_EQ(e.Font()->Size(), 10);
  EXPECT_EQ(e.Width(), 200);
  EXPECT_EQ(e.Height(), 150);
  EXPECT_EQ(e.CaretXY(), BufferCoord(1, 1));
  EXPECT_GT(e.CharWidth(), 0);
  EXPECT_GT(e.LineHeight(), 0);
  EXPECT_FALSE(e.WordWrap());
}

TEST(SrcEditCaret, ClampedToTheText) {
  auto e = MakeEdit("0123456789\r\nab");
  TSrcEditorOptions o = e->Options();
  o.Exclude(eoScrollPastEol);
  e->SetOptions(o);
  e->SetCaretX(1000);
  EXPECT_EQ(e->CaretXY(), BufferCoord(11, 1));
  e->SetCaretXY(BufferCoord(-5, 99));
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 2));
  e->SetCaretXY(BufferCoord(50, 2));
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 2));
  // Past the line end up to the scroll width when that is allowed.
  e->SetOptions(o.With(eoScrollPastEol));
  e->SetCaretXY(BufferCoord(5000, 1));
  EXPECT_EQ(e->CaretXY(), BufferCoord(1025, 1));
  e->SetCaretXY(BufferCoord(0, 0));
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
}

TEST(SrcEditSelection, BlockEndsAreClampedAndOrdered) {
  auto e = MakeEdit("abc\r\ndefgh");
  e->SetBlockBegin(BufferCoord(99, 7));
  EXPECT_EQ(e->RawBlockBegin(), BufferCoord(6, 2));
  e->SetBlockEnd(BufferCoord(-3, -3));
  EXPECT_EQ(e->BlockBegin(), BufferCoord(1, 1));
  EXPECT_EQ(e->BlockEnd(), BufferCoord(6, 2));
  EXPECT_TRUE(e->SelAvail());
  TSrcEditorOptions o = e->Options();
  e->SetOptions(o.With(eoNoSelection));
  TBufferCoord end = e->RawBlockEnd();
  e->SetBlockEnd(BufferCoord(2, 1));
  EXPECT_EQ(e->RawBlockEnd(), end);
}

TEST(SrcEditSelection, SelTextInAllThreeModesWithTabs) {
  auto e = MakeEdit("a\tbcdefgh\r\nxy\r\n\tlong line here\r\nlast");
  Select(e.get(), BufferCoord(2, 1), BufferCoord(3, 3));
  EXPECT_EQ(e->SelText(), "\tbcdefgh\r\nxy\r\n\tl");
  // Backward selection gives the same text.
  Select(e.get(), BufferCoord(3, 3), BufferCoord(2, 1));
  EXPECT_EQ(e->SelText(), "\tbcdefgh\r\nxy\r\n\tl");
  e->SetSelectionMode(smLine);
  EXPECT_EQ(e->SelText(), "a\tbcdefgh\r\nxy\r\n\tlong line here\r\n");
  Select(e.get(), BufferCoord(1, 3), BufferCoord(1, 4));
  EXPECT_EQ(e->SelText(), "\tlong line here\r\nlast");
  e->SetSelectionMode(smColumn);
  TSrcEditorOptions o = e->Options();
  o.Exclude(eoTrimTrailingSpaces);
  e->SetOptions(o);
  Select(e.get(), BufferCoord(2, 1), BufferCoord(5, 3));
  EXPECT_EQ(e->SelText(), "\tbc\r\ny  \r\nlon");
  e->SetOptions(o.With(eoTrimTrailingSpaces));
  EXPECT_EQ(e->SelText(), "\tbc\r\ny\r\nlon");
  // Column ends in either order.
  Select(e.get(), BufferCoord(5, 3), BufferCoord(2, 1));
  EXPECT_EQ(e->SelText(), "\tbc\r\ny\r\nlon");
}

TEST(SrcEditSelection, IsPointInSelectionByMode) {
  auto e = MakeEdit("0123456789\r\n0123456789\r\n0123456789");
  Select(e.get(), BufferCoord(3, 1), BufferCoord(5, 3));
  EXPECT_FALSE(e->IsPointInSelection(BufferCoord(2, 1)));
  EXPECT_TRUE(e->IsPointInSelection(BufferCoord(3, 1)));
  EXPECT_TRUE(e->IsPointInSelection(BufferCoord(1, 2)));
  EXPECT_FALSE(e->IsPointInSelection(BufferCoord(5, 3)));
  e->SetSelectionMode(smColumn);
  EXPECT_FALSE(e->IsPointInSelection(BufferCoord(1, 2)));
  EXPECT_TRUE(e->IsPointInSelection(BufferCoord(4, 2)));
  e->SetSelectionMode(smLine);
  EXPECT_TRUE(e->IsPointInSelection(BufferCoord(10, 3)));
  EXPECT_FALSE(e->IsPointInSelection(BufferCoord(1, 4)));
}

TEST(SrcEditReplace, SetSelTextRecordsDeleteAndInsertInOneBlock) {
  auto e = MakeEdit("hello world\r\nsecond");
  Select(e.get(), BufferCoord(5, 2), BufferCoord(3, 1));
  e->SetSelText("XY\r\nZ");
  EXPECT_EQ(e->Lines()->Text(), "heXY\r\nZnd");
  EXPECT_EQ(e->CaretXY(), BufferCoord(2, 2));
  EXPECT_FALSE(e->SelAvail());
  // Both in one step, parted from what comes next.
  ASSERT_EQ(e->UndoList()->ItemCount(), 3);
  EXPECT_EQ(e->UndoList()->Items(2)->fChangeReason, rcGroupBreak);
  TSrcEditUndoItem* del = e->UndoList()->Items(0);
  EXPECT_EQ(del->fChangeReason, rcDelete);
  EXPECT_EQ(del->fChangeStartPos, BufferCoord(5, 2));
  EXPECT_EQ(del->fChangeEndPos, BufferCoord(3, 1));
  EXPECT_EQ(del->fChangeStr, "llo world\r\nseco");
  EXPECT_EQ(e->UndoList()->Items(1)->fChangeReason, rcInsert);
  EXPECT_EQ(e->UndoList()->Items(1)->fChangeNumber, del->fChangeNumber);
}

// Every replacement is undone and redone to the exact text, caret and selection.
TEST(SrcEditReplace, UndoRedoRestoresTextCaretAndSelectionInEveryMode) {
  struct Case {
    TSrcSelectionMode mode;
    TBufferCoord anchor, end;
    AnsiString insert;
  };
  const Case cases[] = {
      {smNormal, BufferCoord(3, 1), BufferCoord(4, 3), "new\r\ntext"},
      {smNormal, BufferCoord(4, 3), BufferCoord(3, 1), ""},
      {smNormal, BufferCoord(2, 2), BufferCoord(2, 2), "ins\r\n"},
      {smLine, BufferCoord(2, 2), BufferCoord(1, 3), "whole\r\n"},
      {smLine, BufferCoord(1, 3), BufferCoord(2, 4), "x"},
      {smColumn, BufferCoord(2, 1), BufferCoord(5, 3), "AB\r\nCD\r\nEF"},
      {smColumn, BufferCoord(5, 3), BufferCoord(2, 1), "Q"},
      {smColumn, BufferCoord(6, 4), BufferCoord(6, 4), "1\r\n2\r\n3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " insert [" << c.insert << "]");
    auto e = MakeEdit("first line\r\n\tsecond\r\nthird line\r\nfour");
    TSrcEditorOptions o = e->Options();
    o.Exclude(eoTrimTrailingSpaces);
    e->SetOptions(o);
    e->SetSelectionMode(c.mode);
    Select(e.get(), c.anchor, c.end);
    Snapshot before = Take(e.get());
    e->SetSelText(c.insert);
    Snapshot after = Take(e.get());
    e->Undo();
    EXPECT_EQ(Take(e.get()), before);
    EXPECT_FALSE(e->UndoList()->CanUndo());
    e->Redo();
    EXPECT_EQ(Take(e.get()).text, after.text);
    EXPECT_EQ(e->CaretXY(), after.caret);
    e->Undo();
    EXPECT_EQ(Take(e.get()), before);
    EXPECT_EQ(e->SelectionMode(), c.mode);
  }
  // Far beyond the widest scrolling column, within a long line's text.
  auto e = MakeEdit(AnsiString(3000, 'a') + "\r\n" + AnsiString(3000, 'b'));
  Select(e.get(), BufferCoord(1500, 1), BufferCoord(2500, 2));
  Snapshot before = Take(e.get());
  e->SetSelText("new");
  const AnsiString after = e->Lines()->Text();
  e->Undo();
  EXPECT_EQ(Take(e.get()), before);
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), after);
}

TEST(SrcEditReplace, ColumnInsertBeyondTheLastLineAddsLines) {
  auto e = MakeEdit("ab\r\ncd");
  e->SetCaretXY(BufferCoord(3, 2));
  e->SetSelectionMode(smColumn);
  e->SetSelText("1\n2\n3");
  EXPECT_EQ(e->Lines()->Text(), "ab\r\ncd1\r\n  2\r\n  3");
  EXPECT_EQ(e->CaretXY(), BufferCoord(4, 4));
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "ab\r\ncd");
}

TEST(SrcEditReplace, LineModeInsertKeepsTheCaretLineBelow) {
  auto e = MakeEdit("one\r\ntwo\r\nthree");
  e->SetCaretXY(BufferCoord(2, 2));
  e->ReplaceSelection(smLine, "A\r\nB\r\n", true);
  EXPECT_EQ(e->Lines()->Text(), "one\r\nA\r\nB\r\ntwo\r\nthree");
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 4));
}

TEST(SrcEditReplace, InsertBlockPutsColumnsAtTheGivenCharacter) {
  auto e = MakeEdit("aaaa\r\nbbbb\r\ncccc");
  e->InsertBlock(BufferCoord(1, 1), BufferCoord(1, 3), "  \r\n  \r\n  ");
  EXPECT_EQ(e->Lines()->Text(), "  aaaa\r\n  bbbb\r\n  cccc");
  EXPECT_EQ(e->SelectionMode(), smColumn);
}

TEST(SrcEditReplace, TrimmingKeepsTheCaretWhereTheUserTyped) {
  auto e = MakeEdit("abc");
  e->SetCaretXY(BufferCoord(4, 1));
  e->SetSelText("   ");
  EXPECT_EQ(e->Lines()->Text(), "abc");
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 1));
}

TEST(SrcEditReplace, CaretAfterATrimmedInsertWithTabsStaysInTheLine) {
  auto e = MakeEdit("ab");
  e->SetCaretXY(BufferCoord(3, 1));
  e->SetSelText("\tx");
  EXPECT_EQ(e->Lines()->Text(), "ab\tx");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 1));
}

TEST(SrcEditReplace, OutOfRangeSelectionsAreClampedNotRejected) {
  auto e = MakeEdit("");
  e->PlaceCaretAndSelection(BufferCoord(50, 50), BufferCoord(-1, -1), BufferCoord(99, 99));
  EXPECT_FALSE(e->SelAvail());
  EXPECT_EQ(e->SelText(), "");
  EXPECT_EQ(e->CaretXY(), BufferCoord(50, 1));
  e->SetSelText("x");
  EXPECT_EQ(e->Lines()->Text(), AnsiString(49, ' ') + "x");
  e->SetSelectionMode(smLine);
  e->SelectAll();
  e->SetSelText("");
  EXPECT_EQ(e->Lines()->Text(), "");
  e->SetSelectionMode(smColumn);
  e->PlaceCaretAndSelection(BufferCoord(1, 9), BufferCoord(5, 9), BufferCoord(9, 9));
  e->SetSelText("z");
  EXPECT_EQ(e->Lines()->Count(), 1);
}

TEST(SrcEditUndo, ModifiedFollowsTheSavePoint) {
  auto e = MakeEdit("text");
  EXPECT_FALSE(e->Modified());
  e->SetCaretXY(BufferCoord(5, 1));
  e->SetSelText("1");
  EXPECT_TRUE(e->Modified());
  e->SetModified(false);
  e->SetSelText("2");
  EXPECT_TRUE(e->Modified());
  e->Undo();
  EXPECT_FALSE(e->Modified());
  e->Undo();
  EXPECT_TRUE(e->Modified());
  e->Redo();
  EXPECT_FALSE(e->Modified());
  e->Redo();
  EXPECT_TRUE(e->Modified());
  EXPECT_EQ(e->Lines()->Text(), "text12");
  // Without grouping the save point is the plain top record.
  TSrcEditorOptions o = e->Options();
  e->SetOptions(o.Without(eoGroupUndo));
  e->SetModified(false);
  e->Undo();
  EXPECT_TRUE(e->Modified());
  e->Redo();
  EXPECT_FALSE(e->Modified());
}

TEST(SrcEditUndo, GroupingOfTypedCharacters) {
  for (bool group : {false, true}) {
    auto e = MakeEdit("");
    TSrcEditorOptions o = e->Options();
    e->SetOptions(group ? o.With(eoGroupUndo) : o.Without(eoGroupUndo));
    e->CommandProcessor(ecChar, 'a', nullptr);
    e->CommandProcessor(ecChar, 'b', nullptr);
    e->CommandProcessor(ecChar, 'c', nullptr);
    EXPECT_EQ(e->Lines()->Text(), "abc");
    EXPECT_EQ(e->UndoList()->ItemCount(), 3);
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), group ? "" : "ab");
    e->Redo();
    EXPECT_EQ(e->Lines()->Text(), "abc");
    EXPECT_EQ(e->CaretXY(), BufferCoord(4, 1));
  }
}

TEST(SrcEditUndo, OldestRecordDropsBeyondTheLimit) {
  auto e = MakeEdit("");
  e->SetOptions(e->Options().Without(eoGroupUndo));
  for (int i = 0; i < 1025; ++i) e->SetSelText("x");
  EXPECT_EQ(e->UndoList()->ItemCount(), 1024);
  EXPECT_TRUE(e->UndoList()->FullUndoImpossible());
  e->SetMaxUndo(-5);
  EXPECT_EQ(e->MaxUndo(), 1024);
  e->SetMaxUndo(10);
  EXPECT_EQ(e->UndoList()->ItemCount(), 10);
  EXPECT_EQ(e->RedoList()->MaxUndoActions(), 10);
}

TEST(SrcEditUndo, ReadOnlyChangesNothing) {
  auto e = MakeEdit("abc");
  e->SetCaretXY(BufferCoord(4, 1));
  e->CommandProcessor(ecChar, 'd', nullptr);
  e->SetReadOnly(true);
  e->CommandProcessor(ecChar, 'e', nullptr);
  e->CommandProcessor(ecDeleteLastChar, 0, nullptr);
  e->CommandProcessor(ecLineBreak, 0, nullptr);
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "abcd");
  EXPECT_FALSE(e->CanUndo());
  e->SetReadOnly(false);
  EXPECT_TRUE(e->CanUndo());
}

TEST(SrcEditCommands, LineBreakBackspaceAndDeleteUndoAndRedo) {
  auto e = MakeEdit("    indented text\r\nnext");
  e->SetCaretXY(BufferCoord(13, 1));
  e->CommandProcessor(ecLineBreak, 0, nullptr);
  EXPECT_EQ(e->Lines()->Text(), "    indented\r\n     text\r\nnext");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 2));
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "    indented text\r\nnext");
  EXPECT_EQ(e->CaretXY(), BufferCoord(13, 1));
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "    indented\r\n     text\r\nnext");
  e->Undo();
  // Backspace at the start of a line joins it to the one above; one undo splits it again.
  e->SetCaretXY(BufferCoord(1, 2));
  e->CommandProcessor(ecDeleteLastChar, 0, nullptr);
  EXPECT_EQ(e->Lines()->Text(), "    indented textnext");
  EXPECT_EQ(e->CaretXY(), BufferCoord(18, 1));
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "    indented text\r\nnext");
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 2));
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "    indented textnext");
  e->Undo();
  // Delete at a line end joins the next line.
  e->SetCaretXY(BufferCoord(18, 1));
  e->CommandProcessor(ecDeleteChar, 0, nullptr);
  EXPECT_EQ(e->Lines()->Text(), "    indented textnext");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "    indented text\r\nnext");
  EXPECT_EQ(e->CaretXY(), BufferCoord(18, 1));
  e->SetCaretXY(BufferCoord(2, 2));
  e->CommandProcessor(ecDeleteChar, 0, nullptr);
  EXPECT_EQ(e->Lines()->Get(1), "nxt");
  e->Undo();
  e->Redo();
  EXPECT_EQ(e->Lines()->Get(1), "nxt");
}

TEST(SrcEditCommands, TypingBeyondTheLineEndPadsAndUndoesInOneStep) {
  auto e = MakeEdit("abc");
  e->SetCaretXY(BufferCoord(6, 1));
  e->CommandProcessor(ecChar, 'x', nullptr);
  EXPECT_EQ(e->Lines()->Text(), "abc  x");
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 1));
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "abc");
  EXPECT_EQ(e->CaretXY(), BufferCoord(6, 1));
  EXPECT_TRUE(e->RedoList()->CanUndo());
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "abc  x");
  // Overwrite mode at the end of a line adds no stray blank.
  auto o = MakeEdit("abc");
  o->SetOptions(o->Options().Without(eoGroupUndo));
  o->SetInsertMode(false);
  o->SetCaretXY(BufferCoord(4, 1));
  o->CommandProcessor(ecChar, 'x', nullptr);
  EXPECT_EQ(o->Lines()->Text(), "abcx");
  o->SetCaretXY(BufferCoord(2, 1));
  o->CommandProcessor(ecChar, 'Y', nullptr);
  EXPECT_EQ(o->Lines()->Text(), "aYcx");
  o->Undo();
  EXPECT_EQ(o->Lines()->Text(), "abcx");
  // Control characters are not typed; characters from 128 up are.
  o->CommandProcessor(ecChar, '\t', nullptr);
  o->CommandProcessor(ecChar, '\x7F', nullptr);
  o->CommandProcessor(ecChar, '\xA0', nullptr);
  EXPECT_EQ(o->Lines()->Text(), "a\xA0" "cx");
}

TEST(SrcEditStatus, TenEditsInsideAnUpdateGiveOneEvent) {
  auto e = MakeEdit("0123456789");
  struct Sink {
    int calls = 0;
    TSrcStatusChanges all = 0;
    void On(TObject*, TSrcStatusChanges c) {
      ++calls;
      all |= c;
    }
  } sink;
  e->OnStatusChange = TStatusChangeEvent(&sink, &Sink::On);
  e->BeginUpdate();
  for (int i = 0; i < 10; ++i) {
    e->SetCaretXY(BufferCoord(i + 1, 1));
    e->SetSelText("x");
  }
  e->SetInsertMode(false);
  EXPECT_EQ(sink.calls, 0);
  e->EndUpdate();
  EXPECT_EQ(sink.calls, 1);
  EXPECT_TRUE(sink.all & scCaretX);
  EXPECT_TRUE(sink.all & scModified);
  EXPECT_TRUE(sink.all & scInsertMode);
  EXPECT_TRUE(sink.all & scSelection);
  EXPECT_EQ(e->PendingStatusChanges(), 0);
}

// Records as the indent, case, drag-and-drop and delete-all code will push them: each is
// undone and redone to the exact text, caret and selection.
TEST(SrcEditUndo, EveryReasonUndoesAndRedoes) {
  {
    SCOPED_TRACE("unindent");
    auto e = MakeEdit("    a\r\n    b");
    Snapshot before = Take(e.get());
    e->Lines()->Put(0, "  a");
    e->Lines()->Put(1, "  b");
    e->UndoList()->AddChange(rcUnindent, BufferCoord(3, 1), BufferCoord(3, 2), "  \r\n  ", smNormal);
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), before.text);
    e->Redo();
    EXPECT_EQ(e->Lines()->Text(), "  a\r\n  b");
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), before.text);
  }
  {
    SCOPED_TRACE("caret and selection");
    auto e = MakeEdit("some text\r\nmore");
    e->SetCaretXY(BufferCoord(5, 1));
    e->BeginUndoBlock();
    e->UndoList()->AddChange(rcCaret, e->CaretXY(), e->CaretXY(), "", smNormal);
    e->UndoList()->AddChange(rcSelection, BufferCoord(2, 1), BufferCoord(3, 2), "", smNormal);
    e->EndUndoBlock();
    e->PlaceCaretAndSelection(BufferCoord(1, 2), BufferCoord(1, 2), BufferCoord(1, 2));
    e->Undo();
    EXPECT_EQ(e->CaretXY(), BufferCoord(5, 1));
    EXPECT_EQ(e->BlockBegin(), BufferCoord(2, 1));
    EXPECT_EQ(e->BlockEnd(), BufferCoord(3, 2));
    e->Redo();
    EXPECT_EQ(e->CaretXY(), BufferCoord(1, 2));
    EXPECT_FALSE(e->SelAvail());
  }
  {
    SCOPED_TRACE("drop insert");
    auto e = MakeEdit("drop here");
    e->SetCaretXY(BufferCoord(6, 1));
    e->ReplaceSelection(smNormal, "it ", false);
    e->UndoList()->AddChange(rcDropInsert, BufferCoord(6, 1), BufferCoord(9, 1), "", smNormal);
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), "drop here");
    e->Redo();
    EXPECT_EQ(e->Lines()->Text(), "drop it here");
    EXPECT_EQ(e->SelText(), "it ");
  }
  {
    SCOPED_TRACE("delete all");
    auto e = MakeEdit("all\r\nof it");
    e->SelectAll();
    AnsiString text = e->SelText();
    e->ReplaceSelection(smNormal, "", false);
    e->UndoList()->AddChange(rcDeleteAll, BufferCoord(1, 1), BufferCoord(6, 2), text, smNormal);
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), "all\r\nof it");
    EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  }
  {
    SCOPED_TRACE("backward selection deleted by backspace");
    auto e = MakeEdit("abcdef\r\nghijkl");
    Select(e.get(), BufferCoord(3, 2), BufferCoord(2, 1));
    Snapshot before = Take(e.get());
    e->CommandProcessor(ecDeleteLastChar, 0, nullptr);
    EXPECT_EQ(e->Lines()->Text(), "aijkl");
    ASSERT_EQ(e->UndoList()->ItemCount(), 1);
    EXPECT_EQ(e->UndoList()->Items(0)->fChangeReason, rcDeleteBackward);
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), before.text);
    EXPECT_EQ(e->BlockBegin(), BufferCoord(2, 1));
    EXPECT_EQ(e->BlockEnd(), BufferCoord(3, 2));
    e->Redo();
    EXPECT_EQ(e->Lines()->Text(), "aijkl");
    EXPECT_EQ(e->CaretXY(), BufferCoord(2, 1));
  }
  {
    SCOPED_TRACE("line break at the start of a line and on an empty line");
    auto e = MakeEdit("abc\r\n\r\nxyz");
    e->SetCaretXY(BufferCoord(1, 1));
    e->CommandProcessor(ecLineBreak, 0, nullptr);
    e->SetCaretXY(BufferCoord(1, 3));
    e->CommandProcessor(ecLineBreak, 0, nullptr);
    e->SetCaretXY(BufferCoord(9, 5));
    e->CommandProcessor(ecLineBreak, 0, nullptr);
    EXPECT_EQ(e->Lines()->Text(), "\r\nabc\r\n\r\n\r\nxyz\r\n");
    e->SetOptions(e->Options().Without(eoGroupUndo));
    e->Undo();
    e->Undo();
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), "abc\r\n\r\nxyz");
    e->Redo();
    e->Redo();
    e->Redo();
    EXPECT_EQ(e->Lines()->Text(), "\r\nabc\r\n\r\n\r\nxyz\r\n");
  }
}

TEST(SrcEditUndo, PasteBracketsUndoAsOneStep) {
  auto e = MakeEdit("abc");
  e->SetCaretXY(BufferCoord(2, 1));
  e->BeginUndoBlock();
  e->UndoList()->AddChange(rcPasteBegin, e->BlockBegin(), e->BlockEnd(), "", smNormal);
  e->ReplaceSelection(smNormal, "XY", false);
  e->UndoList()->AddChange(rcPaste, BufferCoord(2, 1), BufferCoord(4, 1), "", smNormal);
  e->UndoList()->AddChange(rcPasteEnd, e->BlockBegin(), e->BlockEnd(), "", smNormal);
  e->EndUndoBlock();
  e->SetSelText("Z");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "aXYbc");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "abc");
  EXPECT_FALSE(e->UndoList()->CanUndo());
  // The insert of Z and the paste, no brackets (beside the breaks that parted the steps).
  int records = 0;
  for (int i = 0; i < e->RedoList()->ItemCount(); ++i) records += e->RedoList()->Items(i)->fChangeReason != rcGroupBreak;
  EXPECT_EQ(records, 2);
}

// What trimming takes from a line end is recorded right after the change that left the blanks,
// also when a paint lock and an undo block are held around several changes (as a replace-all or
// a completion holds them): undo gives back tabs and blanks exactly where they were.
TEST(SrcEditUndo, TrimmedBlanksAreRecordedWithTheirChangeUnderAnOuterLock) {
  auto e = MakeEdit("bab  \t");
  e->BeginUpdate();
  e->BeginUndoBlock();
  Select(e.get(), BufferCoord(3, 1), BufferCoord(4, 1));
  e->SetSelText("");
  Select(e.get(), BufferCoord(1, 1), BufferCoord(2, 1));
  e->SetSelText("");
  e->EndUndoBlock();
  e->EndUpdate();
  EXPECT_EQ(e->Lines()->Text(), "a");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "bab  \t");
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "a");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "bab  \t");

  // Typed characters record before they store the line.
  e = MakeEdit("a \t");
  e->BeginUpdate();
  e->BeginUndoBlock();
  e->CommandProcessor(ecChar, 'x', nullptr);
  e->CommandProcessor(ecChar, 'y', nullptr);
  e->EndUndoBlock();
  e->EndUpdate();
  EXPECT_EQ(e->Lines()->Text(), "xya");
  e->Undo();
  EXPECT_EQ(e->Lines()->Text(), "a \t");
  e->Redo();
  EXPECT_EQ(e->Lines()->Text(), "xya");
}

// A line of 2^31 bytes or more, or more lines than an int counts, is never taken in: a file with
// such a line is refused with a message before the text changes, and so is any edit that would
// make one; the longest line the editor holds is opened, reached to its end, and kept as it is.
// So is a line as wide in columns, its tabs expanded: the widest is measured without a wrong
// sign, and a file, an edit or a tab width that would make one wider is refused.
TEST(SrcEditLimits, LinesBeyondWhatTheEditorHoldsAreRefusedBeforeAnythingChanges) {
  constexpr int64_t kLongest = TSrcEditStringList::kMaxLineLength;
  ASSERT_EQ(kLongest, 2147483646);
  auto e = MakeEdit("kept");
  UntouchedStream tooLong(int64_t(1) << 31);
  try {
    e->Lines()->LoadFromStream(&tooLong);
    ADD_FAILURE() << "a line of 2^31 bytes was loaded";
  } catch (const ESrcEditStringList& x) {
    EXPECT_NE(x.Message().find(W1251("Строка 1 длиннее 2 147 483 646 байт")), AnsiString::npos) << x.Message();
  }
  EXPECT_EQ(e->Lines()->Text(), "kept");
  EXPECT_THROW(e->Lines()->InsertLines(0, INT_MAX), ESrcEditStringList);
  EXPECT_EQ(e->Lines()->Text(), "kept");

  UntouchedStream longest(kLongest);
  e->Lines()->LoadFromStream(&longest);
  e->ClearUndo();
  ASSERT_EQ(e->Lines()->Count(), 1);
  ASSERT_EQ(static_cast<int64_t>(e->Lines()->Line(0).size()), kLongest);
  e->SetCaretXY(BufferCoord(INT_MAX, 1));
  EXPECT_EQ(e->CaretXY(), BufferCoord(INT_MAX, 1));
  EXPECT_THROW(e->CommandProcessor(ecChar, 'a', nullptr), ESrcEditStringList);
  EXPECT_THROW(e->SetSelText("ab"), ESrcEditStringList);
  Select(e.get(), BufferCoord(1, 1), BufferCoord(2, 1));
  EXPECT_THROW(e->SetSelText("abc"), ESrcEditStringList);
  EXPECT_THROW(e->Lines()->InsertText(0, 0, "a"), ESrcEditStringList);
  EXPECT_THROW(e->Lines()->PutText(0, std::string_view(e->Lines()->Line(0).data(), kLongest + 1)), ESrcEditStringList);
  EXPECT_EQ(static_cast<int64_t>(e->Lines()->Line(0).size()), kLongest);
  EXPECT_EQ(e->Lines()->Count(), 1);
  EXPECT_FALSE(e->CanUndo());

  // At tab width 128, 2^24 tabs are 2^31 columns; one tab fewer is 2^31 - 128.
  e = MakeEdit("kept");
  e->SetTabWidth(128);
  TStringStream tooWide(AnsiString(size_t(1) << 24, '\t'));
  try {
    e->Lines()->LoadFromStream(&tooWide);
    ADD_FAILURE() << "a line of 2^31 columns was loaded";
  } catch (const ESrcEditStringList& x) {
    EXPECT_NE(x.Message().find(W1251("Строка 1 длиннее 2 147 483 646 байт или шире 2 147 483 646 столбцов")),
              AnsiString::npos) << x.Message();
  }
  EXPECT_TRUE(e->Lines()->Text() == "kept");  // (not printed: a failure would show 16 MB)
  // Given as the whole text, it is refused before the lines change too.
  EXPECT_THROW(e->Lines()->SetText("a\r\n" + tooWide.DataString()), ESrcEditStringList);
  EXPECT_TRUE(e->Lines()->Text() == "kept");
  const int64_t tabs = (int64_t(1) << 24) - 1;
  TStringStream widest(AnsiString(static_cast<size_t>(tabs), '\t') + "\r\nab");
  e->Lines()->LoadFromStream(&widest);
  e->ClearUndo();
  EXPECT_EQ(e->Lines()->ExpandedStringLengths(0), INT_MAX - 127);
  EXPECT_EQ(e->Lines()->LengthOfLongestLine(), INT_MAX - 127);
  e->SetCaretXY(BufferCoord(static_cast<int>(tabs) + 1, 1));
  EXPECT_EQ(e->DisplayX(), INT_MAX - 126);
  // 126 characters more fill it to the widest line; one more, a tab, or a piece of a paste is
  // refused, and so is a tab width at which it would be wider.
  e->SetSelText(AnsiString(126, 'a'));
  EXPECT_EQ(e->Lines()->LengthOfLongestLine(), kLongest);
  EXPECT_EQ(e->DisplayX(), INT_MAX);
  e->ClearUndo();
  EXPECT_THROW(e->CommandProcessor(ecChar, 'b', nullptr), ESrcEditStringList);
  EXPECT_THROW(e->SetSelText("b\r\nc"), ESrcEditStringList);
  e->SetCaretXY(BufferCoord(1, 1));
  EXPECT_THROW(e->CommandProcessor(ecTab, 0, nullptr), ESrcEditStringList);
  EXPECT_THROW(e->Lines()->InsertText(0, 0, "\t"), ESrcEditStringList);
  EXPECT_THROW(e->Lines()->Add(e->Lines()->Get(0) + "b"), ESrcEditStringList);
  EXPECT_THROW(e->SetTabWidth(256), ESrcEditStringList);
  EXPECT_EQ(e->TabWidth(), 128);
  EXPECT_EQ(e->Lines()->Count(), 2);
  EXPECT_EQ(e->Lines()->Line(0).size(), static_cast<size_t>(tabs) + 126);
  EXPECT_EQ(e->Lines()->LengthOfLongestLine(), kLongest);
  EXPECT_FALSE(e->CanUndo());
}

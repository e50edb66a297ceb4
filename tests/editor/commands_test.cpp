// The command executor and the caret, tab, indentation, case and bookmark operations, driven
// through the command processor of a control without a window.
#include <gtest/gtest.h>

#include <memory>

#include "editor/src_edit.h"
#include "highlighters/css.h"
#include "highlighters/html.h"
#include "highlighters/java.h"
#include "highlighters/jscript.h"
#include "highlighters/pascal.h"
#include "highlighters/uri.h"

// Positions print as (char,line) in failure messages.
static std::ostream& operator<<(std::ostream& os, const TBufferCoord& p) {
  return os << "(" << p.Char << "," << p.Line << ")";
}

namespace {

TSrcEditorOptions Opts(std::initializer_list<TSrcEditorOption> o) { return TSrcEditorOptions(o); }

std::unique_ptr<TSrcEdit> MakeEdit(const AnsiString& text, TSrcEditorOptions options, int tabWidth = 8) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->SetOptions(options);
  e->SetTabWidth(tabWidth);
  e->Lines()->SetText(text);
  return e;
}

void Cmd(TCustomSrcEdit* e, TSrcEditorCommand c, char ch = 0, void* data = nullptr) { e->CommandProcessor(c, ch, data); }

void Type(TCustomSrcEdit* e, const char* s) {
  for (; *s; ++s) Cmd(e, ecChar, *s);
}

void UndoAll(TCustomSrcEdit* e) {
  for (int i = 0; i < 10000 && e->CanUndo(); ++i) e->Undo();
}

}  // namespace

TEST(SrcEditTyping, InsertPadsAndOneUndoTakesBothRecords) {
  auto e = MakeEdit("abc", Opts({eoScrollPastEol}));
  e->SetCaretXY(BufferCoord(6, 1));
  Cmd(e.get(), ecChar, 'x');
  EXPECT_EQ(e->Lines()->Get(0), "abc  x");
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 1));
  EXPECT_EQ(e->UndoList()->ItemCount(), 2);
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "abc");
  EXPECT_FALSE(e->CanUndo());
  e->Redo();
  EXPECT_EQ(e->Lines()->Get(0), "abc  x");
}

TEST(SrcEditTyping, OverwriteReplacesAndAppendsWithoutStrayBlank) {
  auto e = MakeEdit("abc", Opts({eoScrollPastEol}));
  Cmd(e.get(), ecOverwriteMode);
  e->SetCaretXY(BufferCoord(4, 1));
  Cmd(e.get(), ecChar, 'x');
  EXPECT_EQ(e->Lines()->Get(0), "abcx");
  e->SetCaretXY(BufferCoord(2, 1));
  Cmd(e.get(), ecChar, 'Y');
  EXPECT_EQ(e->Lines()->Get(0), "aYcx");
  e->SetCaretXY(BufferCoord(7, 1));
  Cmd(e.get(), ecChar, 'z');
  EXPECT_EQ(e->Lines()->Get(0), "aYcx  z");
  UndoAll(e.get());
  EXPECT_EQ(e->Lines()->Get(0), "abc");
  while (e->CanRedo()) e->Redo();
  EXPECT_EQ(e->Lines()->Get(0), "aYcx  z");
  Cmd(e.get(), ecToggleMode);
  EXPECT_TRUE(e->InsertMode());
}

TEST(SrcEditTyping, GroupUndoBreaksAtACaretMove) {
  auto e = MakeEdit("", Opts({eoGroupUndo}));
  Type(e.get(), "ab");
  Cmd(e.get(), ecLeft);
  Type(e.get(), "c");
  EXPECT_EQ(e->Lines()->Get(0), "acb");
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "ab");
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "");
  EXPECT_FALSE(e->CanUndo());
  // Whatever moves the caret ends the run: the caret placed as a click places it, a bookmark
  // jump.
  auto m = MakeEdit("one\r\ntwo\r\nthree\r\nfour", Opts({eoGroupUndo}));
  Cmd(m.get(), ecSetMarker1);
  m->SetCaretXY(BufferCoord(4, 2));
  Type(m.get(), "CC");
  m->SetCaretXY(BufferCoord(5, 4));
  Type(m.get(), "DD");
  Cmd(m.get(), ecGotoMarker1);
  Type(m.get(), "EE");
  EXPECT_EQ(m->Text(), "EEone\r\ntwoCC\r\nthree\r\nfourDD");
  m->Undo();
  EXPECT_EQ(m->Text(), "one\r\ntwoCC\r\nthree\r\nfourDD");
  m->Undo();
  EXPECT_EQ(m->Text(), "one\r\ntwoCC\r\nthree\r\nfour");
  m->Undo();
  EXPECT_EQ(m->Text(), "one\r\ntwo\r\nthree\r\nfour");
}

TEST(SrcEditTyping, EmptyLinePaddingIsIndentationAndTrimmedBlankKeepsColumn) {
  auto e = MakeEdit("a\r\n\r\nb", Opts({eoScrollPastEol}), 4);
  e->SetCaretXY(BufferCoord(10, 2));
  Cmd(e.get(), ecChar, 'x');
  EXPECT_EQ(e->Lines()->Get(1), "\t\t x");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 2));
  EXPECT_EQ(e->DisplayX(), 11);
  e->Undo();
  EXPECT_EQ(e->Text(), "a\r\n\r\nb");

  auto t = MakeEdit("a\r\n\r\nb", Opts({eoScrollPastEol, eoTrimTrailingSpaces}), 4);
  t->SetCaretXY(BufferCoord(10, 2));
  Cmd(t.get(), ecChar, ' ');
  EXPECT_EQ(t->Lines()->Get(1), "");
  EXPECT_EQ(t->CaretXY(), BufferCoord(11, 2));

  // Words typed after a trimmed blank: the padding that brings the line out to the caret is
  // undone with the character it was made for, so every Undo changes what is seen.
  auto w = MakeEdit("", Opts({eoScrollPastEol, eoTrimTrailingSpaces, eoGroupUndo}));
  Type(w.get(), "ab cd");
  EXPECT_EQ(w->Text(), "ab cd");
  w->Undo();
  EXPECT_EQ(w->Text(), "ab");
  w->Undo();
  EXPECT_EQ(w->Text(), "");
  EXPECT_FALSE(w->CanUndo());
  while (w->CanRedo()) w->Redo();
  EXPECT_EQ(w->Text(), "ab cd");
}

TEST(SrcEditTyping, ControlCharactersAreNotTypedHighOnesAre) {
  auto e = MakeEdit("ab", Opts({}));
  for (int c : {0, 8, 9, 13, 27, 31, 127}) Cmd(e.get(), ecChar, static_cast<char>(c));
  EXPECT_EQ(e->Lines()->Get(0), "ab");
  EXPECT_FALSE(e->CanUndo());
  Cmd(e.get(), ecChar, static_cast<char>(160));
  Cmd(e.get(), ecChar, static_cast<char>(0xE9));
  EXPECT_EQ(e->Lines()->Get(0), "\xA0\xE9" "ab");
}

TEST(SrcEditIme, StringInsertedOverwrittenAndUndone) {
  auto e = MakeEdit("abcdef", Opts({eoScrollPastEol}));
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecImeStr, 0, const_cast<char*>("XY"));
  EXPECT_EQ(e->Lines()->Get(0), "abXYcdef");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 1));
  Cmd(e.get(), ecOverwriteMode);
  Cmd(e.get(), ecImeStr, 0, const_cast<char*>("12345"));
  EXPECT_EQ(e->Lines()->Get(0), "abXY12345");
  e->SetCaretXY(BufferCoord(12, 1));
  Cmd(e.get(), ecImeStr, 0, const_cast<char*>("Z"));
  EXPECT_EQ(e->Lines()->Get(0), "abXY12345  Z");
  e->PlaceCaretAndSelection(BufferCoord(3, 1), BufferCoord(1, 1), BufferCoord(3, 1));
  Cmd(e.get(), ecImeStr, 0, const_cast<char*>("q"));
  EXPECT_EQ(e->Lines()->Get(0), "qXY12345  Z");
  Cmd(e.get(), ecImeStr, 0, nullptr);  // no string: nothing
  UndoAll(e.get());
  EXPECT_EQ(e->Lines()->Get(0), "abcdef");
  while (e->CanRedo()) e->Redo();
  EXPECT_EQ(e->Lines()->Get(0), "qXY12345  Z");
}

TEST(SrcEditLineBreak, AutoIndentInsideBeyondAndOnEmptyLines) {
  auto e = MakeEdit("    abcdef", Opts({eoAutoIndent, eoTabsToSpaces, eoScrollPastEol}));
  e->SetCaretXY(BufferCoord(7, 1));
  Cmd(e.get(), ecLineBreak);
  EXPECT_EQ(e->Text(), "    ab\r\n    cdef");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 2));
  e->Undo();
  EXPECT_EQ(e->Text(), "    abcdef");
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 1));

  // Tabs rebuild the indentation when blanks are not asked for.
  auto t = MakeEdit("\t\tab", Opts({eoAutoIndent}), 4);
  t->SetCaretXY(BufferCoord(4, 1));
  Cmd(t.get(), ecLineBreak);
  EXPECT_EQ(t->Lines()->Get(1), "\t\tb");
  // Beyond the end the leading characters of the line are copied.
  auto b = MakeEdit(" \tx", Opts({eoAutoIndent, eoScrollPastEol}), 4);
  b->SetCaretXY(BufferCoord(9, 1));
  Cmd(b.get(), ecLineBreak);
  EXPECT_EQ(b->Lines()->Get(1), " \t");
  EXPECT_EQ(b->CaretXY(), BufferCoord(3, 2));
  // On an empty line the caret goes to the indentation of the line above, no blanks added.
  auto m = MakeEdit("  x\r\n\r\ny", Opts({eoAutoIndent, eoScrollPastEol}));
  m->SetCaretXY(BufferCoord(1, 2));
  Cmd(m.get(), ecLineBreak);
  EXPECT_EQ(m->Text(), "  x\r\n\r\n\r\ny");
  EXPECT_EQ(m->CaretXY(), BufferCoord(3, 3));
  // At the first character the line moves down whole; Insert line keeps the caret.
  auto s = MakeEdit("abc", Opts({eoAutoIndent}));
  Cmd(s.get(), ecLineBreak);
  EXPECT_EQ(s->Text(), "\r\nabc");
  EXPECT_EQ(s->CaretXY(), BufferCoord(1, 2));
  s->SetCaretXY(BufferCoord(2, 2));
  Cmd(s.get(), ecInsertLine);
  EXPECT_EQ(s->Text(), "\r\na\r\nbc");
  EXPECT_EQ(s->CaretXY(), BufferCoord(2, 2));
  UndoAll(s.get());
  EXPECT_EQ(s->Text(), "abc");
  // Insert line past the end gives the new line the indentation too, so that its redo (which
  // replays a line break) brings back the same text.
  auto p = MakeEdit("  x", Opts({eoAutoIndent, eoScrollPastEol}));
  p->SetCaretXY(BufferCoord(6, 1));
  Cmd(p.get(), ecInsertLine);
  EXPECT_EQ(p->Text(), "  x\r\n  ");
  EXPECT_EQ(p->CaretXY(), BufferCoord(6, 1));
  p->Undo();
  EXPECT_EQ(p->Text(), "  x");
  p->Redo();
  EXPECT_EQ(p->Text(), "  x\r\n  ");
}

TEST(SrcEditBackspace, SmartTabDeleteAndTabStops) {
  auto e = MakeEdit("  a\r\n      b", Opts({eoSmartTabDelete, eoAutoIndent}));
  e->SetCaretXY(BufferCoord(7, 2));
  Cmd(e.get(), ecDeleteLastChar);
  EXPECT_EQ(e->Lines()->Get(1), "  b");
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 2));
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(1), "      b");
  // An empty line above is the nearest line indented less: all the indentation goes.
  auto g = MakeEdit("  a\r\n\r\n      b", Opts({eoSmartTabDelete, eoAutoIndent}));
  g->SetCaretXY(BufferCoord(7, 3));
  Cmd(g.get(), ecDeleteLastChar);
  EXPECT_EQ(g->Lines()->Get(2), "b");
  EXPECT_EQ(g->CaretXY(), BufferCoord(1, 3));

  auto t = MakeEdit("      b", Opts({}), 4);
  t->SetCaretXY(BufferCoord(7, 1));
  Cmd(t.get(), ecDeleteLastChar);
  EXPECT_EQ(t->Lines()->Get(0), "    b");
  Cmd(t.get(), ecDeleteLastChar);
  EXPECT_EQ(t->Lines()->Get(0), "b");
  // A tab met on the way ends the step.
  auto tab = MakeEdit("\t  b", Opts({}), 4);
  tab->SetCaretXY(BufferCoord(4, 1));
  Cmd(tab.get(), ecDeleteLastChar);
  EXPECT_EQ(tab->Lines()->Get(0), "\tb");

  // Beyond the end of an empty line the caret goes back to the indentation above.
  auto v = MakeEdit("    x\r\n\r\ny", Opts({eoSmartTabDelete, eoAutoIndent, eoScrollPastEol}));
  v->SetCaretXY(BufferCoord(12, 2));
  Cmd(v.get(), ecDeleteLastChar);
  EXPECT_EQ(v->CaretXY(), BufferCoord(5, 2));
  EXPECT_FALSE(v->CanUndo());
}

TEST(SrcEditBackspace, JoinsLinesAndUndoSplitsThem) {
  auto e = MakeEdit("one\r\ntwo\r\nthree", Opts({}));
  e->SetCaretXY(BufferCoord(1, 3));
  Cmd(e.get(), ecDeleteLastChar);
  EXPECT_EQ(e->Text(), "one\r\ntwothree");
  EXPECT_EQ(e->CaretXY(), BufferCoord(4, 2));
  e->Undo();
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree");
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 3));
}

TEST(SrcEditBackspace, TrimmedTabsComeBackWithUndo) {
  auto e = MakeEdit("a\t  b", Opts({eoTrimTrailingSpaces}), 4);
  e->SetCaretXY(BufferCoord(6, 1));
  Cmd(e.get(), ecDeleteLastChar);
  EXPECT_EQ(e->Lines()->Get(0), "a");
  EXPECT_EQ(e->DisplayX(), 7);  // where the b stood
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "a\t  b");
  e->Redo();
  EXPECT_EQ(e->Lines()->Get(0), "a");
}

// A loaded line may end in blanks and tabs; a character deleted before text that stays lets
// trimming take them: undo gives back the character in its place and the blanks behind the
// text, whichever key deleted it.
TEST(SrcEditDelete, TrimmedTailBehindTextThatStaysComesBackWithUndo) {
  for (TSrcEditorCommand c : {ecDeleteChar, ecDeleteLastChar}) {
    auto e = MakeEdit("x ab \t\r\nnext", Opts({eoTrimTrailingSpaces}), 4);
    e->SetCaretXY(BufferCoord(c == ecDeleteChar ? 3 : 4, 1));
    Cmd(e.get(), c);
    EXPECT_EQ(e->Lines()->Get(0), "x b");
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), "x ab \t\r\nnext");
    EXPECT_FALSE(e->CanUndo());
    e->Redo();
    EXPECT_EQ(e->Lines()->Text(), "x b\r\nnext");
    e->Undo();
    EXPECT_EQ(e->Lines()->Text(), "x ab \t\r\nnext");
  }
}

TEST(SrcEditDelete, WordLineAndLineEnds) {
  auto e = MakeEdit("alpha  beta.gamma\r\nnext", Opts({eoScrollPastEol}));
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecDeleteWord);
  EXPECT_EQ(e->Lines()->Get(0), "albeta.gamma");
  Cmd(e.get(), ecDeleteWord);
  EXPECT_EQ(e->Lines()->Get(0), "al.gamma");
  Cmd(e.get(), ecDeleteWord);  // at the word end: the break character goes
  EXPECT_EQ(e->Lines()->Get(0), "algamma");
  e->SetCaretXY(BufferCoord(8, 1));
  Cmd(e.get(), ecDeleteWord);  // at the line end: joins the next line
  EXPECT_EQ(e->Text(), "algammanext");
  e->SetCaretXY(BufferCoord(6, 1));
  Cmd(e.get(), ecDeleteLastWord);
  EXPECT_EQ(e->Lines()->Get(0), "manext");
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecDeleteEOL);
  EXPECT_EQ(e->Lines()->Get(0), "ma");
  Cmd(e.get(), ecDeleteBOL);
  EXPECT_EQ(e->Lines()->Get(0), "");
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "alpha  beta.gamma\r\nnext");
  while (e->CanRedo()) e->Redo();
  EXPECT_EQ(e->Text(), "");

  // Deleting a word from beyond the end pads up to the caret; undo takes the blanks back.
  auto p = MakeEdit("ab\r\ncd", Opts({eoScrollPastEol}));
  p->SetCaretXY(BufferCoord(5, 1));
  Cmd(p.get(), ecDeleteWord);
  EXPECT_EQ(p->Text(), "ab  cd");
  p->Undo();
  EXPECT_EQ(p->Text(), "ab\r\ncd");
}

TEST(SrcEditDelete, DeleteLineFirstMiddleLastAndOnly) {
  auto e = MakeEdit("one\r\ntwo\r\nthree", Opts({}));
  e->SetCaretXY(BufferCoord(2, 2));
  Cmd(e.get(), ecDeleteLine);
  EXPECT_EQ(e->Text(), "one\r\nthree");
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 2));
  Cmd(e.get(), ecDeleteLine);
  EXPECT_EQ(e->Text(), "one");
  Cmd(e.get(), ecDeleteLine);
  EXPECT_EQ(e->Lines()->Count(), 1);
  EXPECT_EQ(e->Lines()->Get(0), "");
  int records = e->UndoList()->ItemCount();
  Cmd(e.get(), ecDeleteLine);  // one empty line: nothing
  EXPECT_EQ(e->UndoList()->ItemCount(), records);
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree");
  while (e->CanRedo()) e->Redo();
  EXPECT_EQ(e->Lines()->Count(), 1);
  EXPECT_EQ(e->Lines()->Get(0), "");
}

TEST(SrcEditTab, SpacesToTheNextStopAndShiftTabTakesThemBack) {
  auto e = MakeEdit("abcd", Opts({eoTabsToSpaces}), 4);
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecTab);
  EXPECT_EQ(e->Lines()->Get(0), "ab  cd");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 1));
  Cmd(e.get(), ecShiftTab);
  EXPECT_EQ(e->Lines()->Get(0), "abcd");
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 1));
  // Plain tab character; Shift+Tab after a tab removes it; it never removes text.
  auto t = MakeEdit("abcd", Opts({}), 4);
  t->SetCaretXY(BufferCoord(3, 1));
  Cmd(t.get(), ecTab);
  EXPECT_EQ(t->Lines()->Get(0), "ab\tcd");
  Cmd(t.get(), ecShiftTab);
  EXPECT_EQ(t->Lines()->Get(0), "abcd");
  Cmd(t.get(), ecShiftTab);
  EXPECT_EQ(t->Lines()->Get(0), "abcd");
  UndoAll(t.get());
  EXPECT_EQ(t->Lines()->Get(0), "abcd");
}

TEST(SrcEditTab, SmartTabJumpsToTheNextWordAbove) {
  auto e = MakeEdit("word  second\r\nab", Opts({eoSmartTabs, eoTabsToSpaces}), 4);
  e->SetCaretXY(BufferCoord(3, 2));
  Cmd(e.get(), ecTab);
  EXPECT_EQ(e->Lines()->Get(1), "ab    ");
  EXPECT_EQ(e->CaretXY(), BufferCoord(7, 2));
  // With only blanks before the caret the gap is filled with tabs and blanks.
  auto t = MakeEdit("word  second\r\n\r\nz", Opts({eoSmartTabs, eoScrollPastEol}), 4);
  t->SetCaretXY(BufferCoord(1, 2));
  Cmd(t.get(), ecTab);
  EXPECT_EQ(t->Lines()->Get(1), "\t  ");
  EXPECT_EQ(t->DisplayX(), 7);
  // Text before the caret: a single tab.
  auto x = MakeEdit("word  second\r\nab", Opts({eoSmartTabs}), 4);
  x->SetCaretXY(BufferCoord(3, 2));
  Cmd(x.get(), ecTab);
  EXPECT_EQ(x->Lines()->Get(1), "ab\t");
  // Shift+Tab goes back to the start of the word above.
  auto s = MakeEdit("ab  cdef\r\n        x", Opts({eoSmartTabs}), 4);
  s->SetCaretXY(BufferCoord(8, 2));
  Cmd(s.get(), ecShiftTab);
  EXPECT_EQ(s->Lines()->Get(1), "     x");
  EXPECT_EQ(s->CaretXY(), BufferCoord(5, 2));
}

TEST(SrcEditTab, TrimmedLineEndOnlyAdvancesTheCaret) {
  auto e = MakeEdit("ab", Opts({eoTrimTrailingSpaces}), 4);
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecTab);
  EXPECT_EQ(e->Lines()->Get(0), "ab");
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 1));
}

TEST(SrcEditIndent, BlockIndentAndUnindentKeepTheLinesSelected) {
  auto e = MakeEdit("one\r\ntwo\r\nthree\r\nfour", Opts({eoTabsToSpaces, eoTabIndent}), 2);
  e->PlaceCaretAndSelection(BufferCoord(1, 4), BufferCoord(1, 1), BufferCoord(1, 4));
  Cmd(e.get(), ecBlockIndent);
  EXPECT_EQ(e->Text(), "  one\r\n  two\r\n  three\r\nfour");
  EXPECT_TRUE(e->SelAvail());
  EXPECT_EQ(e->SelectionMode(), smNormal);
  EXPECT_EQ(e->BlockEnd(), BufferCoord(1, 4));
  // Tab on the block indents again, Shift+Tab unindents.
  Cmd(e.get(), ecTab);
  EXPECT_EQ(e->Text(), "    one\r\n    two\r\n    three\r\nfour");
  Cmd(e.get(), ecShiftTab);
  Cmd(e.get(), ecBlockUnindent);
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree\r\nfour");
  int records = e->UndoList()->ItemCount();
  e->PlaceCaretAndSelection(BufferCoord(1, 4), BufferCoord(1, 1), BufferCoord(1, 4));
  Cmd(e.get(), ecBlockUnindent);  // text at the line starts: nothing to take
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree\r\nfour");
  EXPECT_EQ(e->UndoList()->ItemCount(), records);
  e->Undo();
  EXPECT_EQ(e->Text(), "  one\r\n  two\r\n  three\r\nfour");
  e->Undo();
  e->Undo();
  e->Undo();
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree\r\nfour");
  while (e->CanRedo()) e->Redo();
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree\r\nfour");
}

TEST(SrcEditIndent, TabCharactersAndMixedUnindent) {
  auto e = MakeEdit("a\r\n\tb\r\n  \tc\r\n     d", Opts({}), 4);
  e->PlaceCaretAndSelection(BufferCoord(3, 4), BufferCoord(1, 1), BufferCoord(3, 4));
  Cmd(e.get(), ecBlockIndent);
  EXPECT_EQ(e->Text(), "\ta\r\n\t\tb\r\n\t  \tc\r\n\t     d");
  EXPECT_EQ(e->CaretXY(), BufferCoord(4, 4));
  Cmd(e.get(), ecBlockUnindent);
  Cmd(e.get(), ecBlockUnindent);
  EXPECT_EQ(e->Text(), "a\r\nb\r\nc\r\n d");
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "a\r\n\tb\r\n  \tc\r\n     d");
}

TEST(SrcEditCase, WordAndBlockCommands) {
  auto e = MakeEdit("hELLo wOrld", Opts({}));
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecTitleCase);
  EXPECT_EQ(e->Lines()->Get(0), "Hello wOrld");
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 1));
  e->SetCaretXY(BufferCoord(12, 1));  // after the last word
  Cmd(e.get(), ecToggleCase);
  EXPECT_EQ(e->Lines()->Get(0), "Hello WoRLD");
  Cmd(e.get(), ecLowerCase);
  EXPECT_EQ(e->Lines()->Get(0), "Hello world");
  e->SetCaretXY(BufferCoord(1, 1));
  Cmd(e.get(), ecUpperCase);
  EXPECT_EQ(e->Lines()->Get(0), "HELLO world");
  // Block commands without a selection walk one character at a time.
  e->SetCaretXY(BufferCoord(7, 1));
  Cmd(e.get(), ecUpperCaseBlock);
  Cmd(e.get(), ecUpperCaseBlock);
  EXPECT_EQ(e->Lines()->Get(0), "HELLO WOrld");
  EXPECT_EQ(e->CaretXY(), BufferCoord(9, 1));
  // With a selection the block and the caret stay.
  e->PlaceCaretAndSelection(BufferCoord(1, 1), BufferCoord(11, 1), BufferCoord(1, 1));
  Cmd(e.get(), ecToggleCaseBlock);
  EXPECT_EQ(e->Lines()->Get(0), "hello woRLd");
  EXPECT_EQ(e->RawBlockBegin(), BufferCoord(11, 1));
  EXPECT_EQ(e->RawBlockEnd(), BufferCoord(1, 1));
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  Cmd(e.get(), ecLowerCaseBlock);
  EXPECT_EQ(e->Lines()->Get(0), "hello world");
  e->Undo();
  EXPECT_EQ(e->Lines()->Get(0), "hello woRLd");
  UndoAll(e.get());
  EXPECT_EQ(e->Lines()->Get(0), "hELLo wOrld");
  // Cyrillic letters change case too.
  auto r = MakeEdit(W1251("привет"), Opts({}));
  Cmd(r.get(), ecUpperCase);
  EXPECT_EQ(r->Lines()->Get(0), W1251("ПРИВЕТ"));
  EXPECT_EQ(TCustomSrcEdit::SwapCase(W1251("ПрИвЕт Ab1")), W1251("пРиВеТ aB1"));
}

TEST(SrcEditCase, OtherNumbersAreAnAssertion) {
  auto e = MakeEdit("abc", Opts({}));
  EXPECT_THROW(e->ChangeCase(619), EAssertionFailed);
  EXPECT_THROW(e->ChangeCase(628), EAssertionFailed);
  EXPECT_THROW(e->ChangeCase(ecChar), EAssertionFailed);
  EXPECT_NO_THROW(e->ChangeCase(624));
  EXPECT_EQ(e->Lines()->Get(0), "abc");
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
}

namespace {
struct BookmarkSpy {
  int placed = 0, cleared = 0;
  bool refuse = false;
};
void OnPlace(void* data, TObject*, TSrcEditMark*& mark) {
  auto* spy = static_cast<BookmarkSpy*>(data);
  ++spy->placed;
  if (spy->refuse) mark = nullptr;
}
void OnClear(void* data, TObject*, TSrcEditMark*&) { ++static_cast<BookmarkSpy*>(data)->cleared; }
}  // namespace

TEST(SrcEditBookmarks, ToggleMoveRefuseAndJump) {
  auto e = MakeEdit("one\r\ntwo\r\nthree\r\nfour", Opts({}));
  BookmarkSpy spy;
  e->OnPlaceBookmark = TPlaceMarkEvent(&OnPlace, &spy);
  e->OnClearBookmark = TPlaceMarkEvent(&OnClear, &spy);
  e->SetCaretXY(BufferCoord(2, 2));
  Cmd(e.get(), ecSetMarker3);
  ASSERT_TRUE(e->IsBookmark(3));
  EXPECT_EQ(e->Bookmark(3)->Line(), 2);
  EXPECT_EQ(e->Bookmark(3)->ImageIndex(), 3);
  EXPECT_TRUE(e->Bookmark(3)->InternalImage());
  EXPECT_EQ(e->Marks()->Count(), 1);
  Cmd(e.get(), ecSetMarker3);  // same line: cleared
  EXPECT_FALSE(e->IsBookmark(3));
  EXPECT_EQ(e->Marks()->Count(), 0);
  EXPECT_EQ(spy.cleared, 1);
  Cmd(e.get(), ecSetMarker3);
  TBufferCoord at{3, 4};
  Cmd(e.get(), ecSetMarker3, 0, &at);  // another line: moved
  ASSERT_TRUE(e->IsBookmark(3));
  EXPECT_EQ(e->Bookmark(3)->Line(), 4);
  EXPECT_EQ(e->Marks()->Count(), 1);
  // Refused: the old one stays.
  spy.refuse = true;
  e->SetCaretXY(BufferCoord(1, 1));
  Cmd(e.get(), ecSetMarker3);
  ASSERT_TRUE(e->IsBookmark(3));
  EXPECT_EQ(e->Bookmark(3)->Line(), 4);
  Cmd(e.get(), ecSetMarker5);
  EXPECT_FALSE(e->IsBookmark(5));
  spy.refuse = false;
  // Jump: caret to the mark, selection collapsed.
  e->PlaceCaretAndSelection(BufferCoord(3, 1), BufferCoord(1, 1), BufferCoord(3, 1));
  Cmd(e.get(), ecGotoMarker3);
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 4));
  EXPECT_FALSE(e->SelAvail());
  int x = 0, y = 0;
  EXPECT_TRUE(e->GetBookMark(3, x, y));
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 4);
  // Keys switched off: nothing.
  e->BookMarkOptions()->SetEnableKeys(false);
  Cmd(e.get(), ecSetMarker3);
  EXPECT_TRUE(e->IsBookmark(3));
  e->SetCaretXY(BufferCoord(1, 1));
  Cmd(e.get(), ecGotoMarker3);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  // Numbers outside 0..9 and lines outside the text are ignored.
  e->PutBookmark(10, 1, 1);
  e->PutBookmark(-1, 1, 1);
  e->PutBookmark(2, 1, 99);
  e->JumpToBookmark(42);
  e->RemoveBookmark(-3);
  EXPECT_FALSE(e->GetBookMark(10, x, y));
  EXPECT_EQ(e->Marks()->Count(), 1);
  // A line deleted above moves the bookmark with its line.
  e->SetCaretXY(BufferCoord(1, 1));
  Cmd(e.get(), ecDeleteLine);
  EXPECT_EQ(e->Bookmark(3)->Line(), 3);
  Cmd(e.get(), ecClearAll);
  EXPECT_FALSE(e->IsBookmark(3));
}

TEST(SrcEditCaret, HomeTogglesBetweenTextAndLineStart) {
  auto e = MakeEdit("    abc", Opts({eoEnhanceHomeKey}));
  e->SetCaretXY(BufferCoord(7, 1));
  Cmd(e.get(), ecLineStart);
  EXPECT_EQ(e->CaretX(), 5);
  Cmd(e.get(), ecLineStart);
  EXPECT_EQ(e->CaretX(), 1);
  Cmd(e.get(), ecLineStart);
  EXPECT_EQ(e->CaretX(), 5);
  e->SetCaretX(3);
  Cmd(e.get(), ecSelLineStart);
  EXPECT_EQ(e->CaretX(), 1);
  EXPECT_EQ(e->SelText(), "  ");
  auto p = MakeEdit("    abc", Opts({}));
  p->SetCaretXY(BufferCoord(7, 1));
  Cmd(p.get(), ecLineStart);
  EXPECT_EQ(p->CaretX(), 1);
}

TEST(SrcEditCaret, WordPositions) {
  auto e = MakeEdit("alpha beta_1 (gamma)\r\n  next", Opts({}));
  std::vector<int> right;
  for (int i = 0; i < 5; ++i) {
    Cmd(e.get(), ecWordRight);
    right.push_back(e->CaretX() + 100 * e->CaretY());
  }
  EXPECT_EQ(right, (std::vector<int>{107, 115, 121, 203, 207}));
  std::vector<int> left;
  for (int i = 0; i < 5; ++i) {
    Cmd(e.get(), ecWordLeft);
    left.push_back(e->CaretX() + 100 * e->CaretY());
  }
  EXPECT_EQ(left, (std::vector<int>{203, 121, 115, 107, 101}));
  e->SetCaretXY(BufferCoord(9, 1));
  EXPECT_EQ(e->WordStart(), BufferCoord(7, 1));
  EXPECT_EQ(e->WordEnd(), BufferCoord(13, 1));
  EXPECT_EQ(e->WordStartEx(BufferCoord(99, 1)), BufferCoord(21, 1));
  EXPECT_EQ(e->NextWordPosEx(BufferCoord(1, 9)), BufferCoord(1, 9));
  EXPECT_EQ(e->PrevWordPosEx(BufferCoord(0, 0)), BufferCoord(0, 0));
  EXPECT_EQ(e->NextWordPosEx(BufferCoord(-5, 1)), BufferCoord(7, 1));
  Cmd(e.get(), ecSelWordRight);
  EXPECT_EQ(e->SelText(), "ta_1 (");

  // From a line's last character a word move ends that line before it goes on to the next,
  // and on the last line it reaches the end, so the last letter can be selected.
  auto l = MakeEdit("abc d\r\nnext line\r\nlast x", Opts({}));
  l->SetCaretXY(BufferCoord(5, 1));
  Cmd(l.get(), ecWordRight);
  EXPECT_EQ(l->CaretXY(), BufferCoord(6, 1));
  Cmd(l.get(), ecWordRight);
  EXPECT_EQ(l->CaretXY(), BufferCoord(1, 2));
  l->SetCaretXY(BufferCoord(6, 3));
  Cmd(l.get(), ecSelWordRight);
  EXPECT_EQ(l->CaretXY(), BufferCoord(7, 3));
  EXPECT_EQ(l->SelText(), "x");
  EXPECT_EQ(l->WordEndEx(BufferCoord(6, 3)), BufferCoord(7, 3));
}

// Russian text, with each highlighter and without one: «ч», «Ч» and «ё» are letters of their
// words like every other Cyrillic letter, for the word moves, the word delete and the word at a
// position.
TEST(SrcEditCaret, CyrillicWordsAreWholeWords) {
  const AnsiString text = W1251("<p>Число чаща учёба кавычки");
  std::vector<std::unique_ptr<TSrcCustomHighlighter>> highlighters;
  highlighters.emplace_back(nullptr);
  highlighters.emplace_back(std::make_unique<TSrcHTMLSrc>(nullptr));
  highlighters.emplace_back(std::make_unique<TSrcURISrc>(nullptr));
  highlighters.emplace_back(std::make_unique<TSrcPasSrc>(nullptr));
  highlighters.emplace_back(std::make_unique<TSrcJScriptSrc>(nullptr));
  highlighters.emplace_back(std::make_unique<TSrcJavaSrc>(nullptr));
  highlighters.emplace_back(std::make_unique<TSrcCssSrc>(nullptr));
  for (auto& h : highlighters) {
    SCOPED_TRACE(h ? h->GetLanguageName() : AnsiString("no highlighter"));
    auto e = MakeEdit(text, Opts({}));
    e->SetHighlighter(h.get());
    std::vector<int> right, left;
    for (int i = 0; i < 6; ++i) {
      Cmd(e.get(), ecWordRight);
      right.push_back(e->CaretX());
    }
    EXPECT_EQ(right, (std::vector<int>{2, 4, 10, 15, 21, 28}));
    for (int i = 0; i < 6; ++i) {
      Cmd(e.get(), ecWordLeft);
      left.push_back(e->CaretX());
    }
    EXPECT_EQ(left, (std::vector<int>{21, 15, 10, 4, 2, 1}));
    EXPECT_EQ(e->GetWordAtRowCol(BufferCoord(17, 1)), W1251("учёба"));
    e->SetCaretXY(BufferCoord(17, 1));
    EXPECT_EQ(e->WordEnd(), BufferCoord(20, 1));
    e->SetCaretXY(BufferCoord(28, 1));
    Cmd(e.get(), ecDeleteLastWord);
    EXPECT_EQ(e->Lines()->Get(0), W1251("<p>Число чаща учёба "));
    e->SetHighlighter(nullptr);
  }
}

TEST(SrcEditCaret, LeftWrapsToThePreviousLineOnlyWithoutPastEnd) {
  auto e = MakeEdit("1\r\n2\r\n3\r\nfour\r\nfive", Opts({}));
  e->SetCaretXY(BufferCoord(1, 5));
  Cmd(e.get(), ecLeft);
  EXPECT_EQ(e->CaretXY(), BufferCoord(5, 4));
  Cmd(e.get(), ecRight);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 5));
  e->SetOptions(Opts({eoScrollPastEol}));
  Cmd(e.get(), ecLeft);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 5));
  e->SetCaretXY(BufferCoord(4, 4));
  Cmd(e.get(), ecRight);
  Cmd(e.get(), ecRight);
  EXPECT_EQ(e->CaretXY(), BufferCoord(6, 4));
}

TEST(SrcEditCaret, UpAndDownKeepTheColumn) {
  auto e = MakeEdit("0123456789\r\nab\r\n0123456789", Opts({eoKeepCaretX}));
  e->SetCaretXY(BufferCoord(8, 1));
  Cmd(e.get(), ecDown);
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 2));
  Cmd(e.get(), ecDown);
  EXPECT_EQ(e->CaretXY(), BufferCoord(8, 3));
  Cmd(e.get(), ecSelUp);
  Cmd(e.get(), ecSelUp);
  EXPECT_EQ(e->CaretXY(), BufferCoord(8, 1));
  EXPECT_EQ(e->SelText(), "789\r\nab\r\n0123456");
  Cmd(e.get(), ecUp);
  EXPECT_EQ(e->CaretXY(), BufferCoord(8, 1));
  Cmd(e.get(), ecEditorBottom);
  EXPECT_EQ(e->CaretXY(), BufferCoord(11, 3));
  Cmd(e.get(), ecSelEditorTop);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  EXPECT_EQ(e->SelText(), e->Text());
}

TEST(SrcEditCaret, ColumnSelectionIsNeverEmpty) {
  auto e = MakeEdit("abc\r\ndef\r\nghi", Opts({}));
  Cmd(e.get(), ecColumnSelect);
  e->SetCaretXY(BufferCoord(2, 1));
  Cmd(e.get(), ecSelDown);
  EXPECT_TRUE(e->SelAvail());
  EXPECT_EQ(e->SelText(), "b\r\ne");
  Cmd(e.get(), ecLineSelect);
  EXPECT_EQ(e->SelectionMode(), smLine);
  Cmd(e.get(), ecNormalSelect);
  EXPECT_EQ(e->SelectionMode(), smNormal);
}

TEST(SrcEditCommands, ReadOnlyChangesNothingAndRecordsNothing) {
  const AnsiString text = "  one two\r\n  three";
  auto e = MakeEdit(text, Opts({eoTabIndent, eoScrollPastEol}));
  e->SetCaretXY(BufferCoord(3, 1));
  Type(e.get(), "x");
  e->SetReadOnly(true);
  int records = e->UndoList()->ItemCount();
  AnsiString before = e->Text();
  e->PlaceCaretAndSelection(BufferCoord(5, 2), BufferCoord(2, 1), BufferCoord(5, 2));
  for (TSrcEditorCommand c : {ecDeleteLastChar, ecDeleteChar, ecDeleteWord, ecDeleteLastWord, ecDeleteBOL,
                              ecDeleteEOL, ecDeleteLine, ecClearAll, ecLineBreak, ecInsertLine, ecChar, ecUndo,
                              ecRedo, ecCut, ecPaste, ecBlockIndent, ecBlockUnindent, ecTab, ecShiftTab,
                              ecUpperCase, ecLowerCase, ecToggleCase, ecTitleCase, ecUpperCaseBlock,
                              ecLowerCaseBlock, ecToggleCaseBlock}) {
    Cmd(e.get(), c, 'q');
  }
  Cmd(e.get(), ecImeStr, 0, const_cast<char*>("ime"));
  EXPECT_EQ(e->Text(), before);
  EXPECT_EQ(e->UndoList()->ItemCount(), records);
  EXPECT_EQ(e->RedoList()->ItemCount(), 0);
  // Moves still work.
  Cmd(e.get(), ecEditorTop);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
}

TEST(SrcEditCommands, BadInputDoesNothing) {
  auto e = MakeEdit("abc\r\ndef", Opts({}));
  e->SetCaretXY(BufferCoord(2, 2));
  for (int c : {0, 18, 100, 118, 198, 200, 215, 240, 251, 300, 311, 350, 361, 489, 512, 549, 551, 600, 605, 614,
                624, 630, 650, 999, 1000})
    Cmd(e.get(), static_cast<TSrcEditorCommand>(c), 'z');
  Cmd(e.get(), ecGotoXY);
  Cmd(e.get(), ecSelGotoXY);
  EXPECT_EQ(e->Text(), "abc\r\ndef");
  EXPECT_EQ(e->CaretXY(), BufferCoord(2, 2));
  EXPECT_FALSE(e->CanUndo());
  TBufferCoord far{500, -7};
  Cmd(e.get(), ecGotoXY, 0, &far);
  EXPECT_EQ(e->CaretXY(), BufferCoord(1, 1));
  TBufferCoord past{500, 2};
  Cmd(e.get(), ecGotoXY, 0, &past);
  EXPECT_EQ(e->CaretXY(), BufferCoord(4, 2));
}

TEST(SrcEditCommands, ReplacedLastWordKeepsTheTabBeforeIt) {
  auto e = MakeEdit("a\tword", TSrcEditorOptions::FromBits(SRCEDIT_DEFAULT_OPTIONS));
  e->PlaceCaretAndSelection(BufferCoord(7, 1), BufferCoord(3, 1), BufferCoord(7, 1));
  Cmd(e.get(), ecChar, 'x');
  EXPECT_EQ(e->Lines()->Get(0), "a\tx");
  // The case commands replace the word the same way.
  Cmd(e.get(), ecUpperCase);
  EXPECT_EQ(e->Lines()->Get(0), "a\tX");
  UndoAll(e.get());
  EXPECT_EQ(e->Lines()->Get(0), "a\tword");
}

TEST(SrcEditCommands, EmptyTextTakesPaddingAndLinesBackOnUndo) {
  auto e = MakeEdit("", Opts({eoScrollPastEol}));
  Cmd(e.get(), ecClearAll);
  ASSERT_EQ(e->Lines()->Count(), 0);
  e->SetCaretXY(BufferCoord(6, 1));
  e->SetSelText("ab\r\ncd");
  EXPECT_EQ(e->Text(), "     ab\r\ncd");
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "");
  // Lines pasted in line mode into an empty text.
  Cmd(e.get(), ecClearAll);
  e->SetSelectionMode(smLine);
  e->SetCaretXY(BufferCoord(9, 1));
  e->SetSelText("one\r\ntwo\r\n");
  EXPECT_EQ(e->Lines()->Get(0), "one");
  EXPECT_EQ(e->Lines()->Get(1), "two");
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "");
}

TEST(SrcEditCommands, NormalModeBringsBlockEndsBackIntoTheirLines) {
  auto e = MakeEdit("ab\r\ncd", Opts({eoScrollPastEol}));
  Cmd(e.get(), ecColumnSelect);
  e->PlaceCaretAndSelection(BufferCoord(9, 1), BufferCoord(12, 1), BufferCoord(9, 1));
  Cmd(e.get(), ecNormalSelect);
  EXPECT_EQ(e->RawBlockBegin(), BufferCoord(3, 1));
  EXPECT_EQ(e->RawBlockEnd(), BufferCoord(3, 1));
  Cmd(e.get(), ecDeleteChar);  // joins the lines at the caret beyond the end, recorded
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "ab\r\ncd");
}

TEST(SrcEditCommands, BlockPastedOverWholeLinesStartsTheNextLine) {
  auto e = MakeEdit("one\r\ntwo\r\nthree\r\nfour", Opts({eoScrollPastEol}));
  e->PlaceCaretAndSelection(BufferCoord(3, 1), BufferCoord(1, 1), BufferCoord(3, 1));
  e->CopyToClipboard();  // "on", a normal block
  Cmd(e.get(), ecLineSelect);
  e->PlaceCaretAndSelection(BufferCoord(2, 2), BufferCoord(4, 3), BufferCoord(2, 2));
  Cmd(e.get(), ecPaste);
  EXPECT_EQ(e->Text(), "one\r\nonfour");
  UndoAll(e.get());
  EXPECT_EQ(e->Text(), "one\r\ntwo\r\nthree\r\nfour");
  while (e->CanRedo()) e->Redo();
  EXPECT_EQ(e->Text(), "one\r\nonfour");
}

TEST(SrcEditLineBreak, TrimmedTabComesBackOnUndoAndGoesAgainOnRedo) {
  auto e = MakeEdit("a\tb", TSrcEditorOptions::FromBits(SRCEDIT_DEFAULT_OPTIONS), 4);
  e->SetCaretXY(BufferCoord(3, 1));
  Cmd(e.get(), ecLineBreak);
  EXPECT_EQ(e->Text(), "a\r\nb");
  e->Undo();
  EXPECT_EQ(e->Text(), "a\tb");
  EXPECT_EQ(e->CaretXY(), BufferCoord(3, 1));
  e->Redo();
  EXPECT_EQ(e->Text(), "a\r\nb");
  e->Undo();
  EXPECT_EQ(e->Text(), "a\tb");
}

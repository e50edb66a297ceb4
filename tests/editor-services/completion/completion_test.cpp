// The completion list opened by its shortcut in a shown editor and driven by keys and the mouse.
#include "editor-services/completion/completion_proposal.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/forms.h"
#include "platform/input_simulation.h"
#include "platform/system_metrics.h"

namespace {

struct Completion : ::testing::Test {
  void SetUp() override {
    editor = std::make_unique<TSrcEdit>(nullptr);
    editor->SetOptions(editor->Options().Without(eoTrimTrailingSpaces));
    ShowForTest(editor.get(), 400, 200);
    inns = std::make_unique<TSrcCompletionProposal>(nullptr);
    inns->SetShortCut(::ShortCut('J', {ssCtrl}));
    inns->SetEndOfTokenChr("()[]. ,<>");
    inns->SetEditor(editor.get());
    Items({"table", "tag", "td"});
  }
  void Items(std::initializer_list<const char*> items) {
    TStringList l;
    for (const char* i : items) l.Add(W1251(i));
    inns->SetItemList(&l);
  }
  void Start(const char* text, int caretX) {
    editor->Lines()->SetText(W1251(text));
    editor->SetCaretXY(BufferCoord(caretX, 1));
    editor->ClearUndo();
    Key('J', {ssCtrl});
  }
  void Key(Word vk, TShiftState shift = {}) { SimulateKeyStroke(editor.get(), vk, shift); }
  void Type(const char* utf8) { SimulateTyping(editor.get(), utf8); }
  TSrcBaseCompletionProposalForm* Form() const { return inns->Form(); }
  bool Open() const { return Form()->Visible(); }
  AnsiString Shown() const {
    AnsiString s;
    for (int i = 0; i < Form()->VisibleList()->Count(); ++i) s += (i ? "|" : "") + Form()->VisibleList()->Get(i);
    return s;
  }
  AnsiString Line() const { return editor->Lines()->Get(editor->CaretY() - 1); }

  std::unique_ptr<TSrcEdit> editor;
  std::unique_ptr<TSrcCompletionProposal> inns;
};

TEST_F(Completion, EnterReplacesTheTypedWordAsOneUndoStep) {
  Start("<ta", 4);
  ASSERT_TRUE(Open());
  EXPECT_EQ(Shown(), "table|tag");
  EXPECT_EQ(Form()->SelectedIndex(), 0);
  EXPECT_EQ(Line(), "<ta");  // the shortcut's character is not typed
  EXPECT_TRUE(editor->Focused());  // the list takes no focus
  Key(VK_RETURN);
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "<table");
  EXPECT_EQ(editor->CaretXY(), BufferCoord(7, 1));
  editor->Undo();
  EXPECT_EQ(Line(), "<ta");
}

TEST_F(Completion, KeysCompletingTheWordOrOnlyItsTypedPart) {
  Start("tabxyz", 4);
  Key(VK_RETURN);
  EXPECT_EQ(Line(), "table");  // up to the word's end
  Start("tabxyz", 4);
  Type("(");
  EXPECT_EQ(Line(), "table(xyz");  // only the typed part, then the character
  Start("x t", 4);
  Key(VK_TAB);
  EXPECT_EQ(Line(), "x table");
}

TEST_F(Completion, ThePrefixStopsAtBlanksAndEndCharactersAndBeyondTheLineIsEmpty) {
  Start("a.b<t", 6);
  EXPECT_EQ(Form()->TypedPrefix(), "t");
  EXPECT_EQ(inns->TokenStart(), 5);
  Key(VK_ESCAPE);
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "a.b<t");
  Start("ab", 9);  // beyond the end of the last line
  ASSERT_TRUE(Open());
  EXPECT_EQ(Form()->TypedPrefix(), "");
  EXPECT_EQ(Shown(), "table|tag|td");
  Key(VK_RETURN);
  EXPECT_EQ(Line(), "ab      table");
  Start("", 1);  // an empty document
  EXPECT_TRUE(Open());
}

TEST_F(Completion, NothingOpensWithoutItemsOrInAReadOnlyEditor) {
  Items({});
  Start("ta", 3);
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "ta");
  Items({"table"});
  editor->SetReadOnly(true);
  Start("ta", 3);
  EXPECT_FALSE(Open());
}

TEST_F(Completion, TypingNarrowsAndBackspaceWidensAgain) {
  Items({"alpha", "Beta", "beta2"});
  Start("", 1);
  Type("b");
  EXPECT_EQ(Shown(), "Beta|beta2");
  Type("e");
  EXPECT_EQ(Shown(), "Beta|beta2");
  Type("t");
  Type("a");
  Type("2");
  EXPECT_EQ(Line(), "beta2");
  EXPECT_EQ(Shown(), "beta2");
  Key(VK_BACK);
  Key(VK_BACK);
  Key(VK_BACK);
  Key(VK_BACK);
  EXPECT_EQ(Shown(), "Beta|beta2");
  EXPECT_EQ(Line(), "b");
  Key(VK_BACK);
  Key(VK_BACK);  // with nothing typed, Backspace closes the list
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "");
}

TEST_F(Completion, MovingTheSelectionByKeys) {
  Items({"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10", "a11"});
  Start("", 1);
  ASSERT_EQ(Form()->LinesInWindow(), 8);
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(Form()->SelectedIndex(), 2);
  Key(VK_NEXT);
  EXPECT_EQ(Form()->SelectedIndex(), 10);
  EXPECT_EQ(Form()->ScrollPosition(), 3);
  Key(VK_NEXT);
  EXPECT_EQ(Form()->SelectedIndex(), 11);
  Key(VK_PRIOR);
  EXPECT_EQ(Form()->SelectedIndex(), 3);
  Key(VK_UP, {ssCtrl});
  EXPECT_EQ(Form()->SelectedIndex(), 0);
  Key(VK_END);
  EXPECT_EQ(Form()->SelectedIndex(), 11);
  Key(VK_HOME);
  Key(VK_UP);
  EXPECT_EQ(Form()->SelectedIndex(), 0);
  Key(VK_DOWN, {ssCtrl});
  Key(VK_RETURN);
  EXPECT_EQ(Line(), "a11");
}

TEST_F(Completion, TheThumbReachesEveryItemOfALongList) {
  TStringList l;
  for (int i = 0; i < 70000; ++i) l.Add("item" + IntToStr(i));
  inns->SetItemList(&l);
  Start("", 1);
  const int last = 70000 - Form()->LinesInWindow();
  // The thumb dragged as the scroll bar reports it: its position in the message's 16 bits.
  auto drag = [&](int barPos) {
    Form()->Perform(WM_VSCROLL, SB_THUMBTRACK | (static_cast<uintptr_t>(barPos & 0xFFFF) << 16), 0);
  };
  drag(Form()->GetScrollInfo(SB_VERT).nMax);
  EXPECT_EQ(Form()->ScrollPosition(), last);
  EXPECT_EQ(Form()->SelectedIndex(), last);
  drag(Form()->GetScrollInfo(SB_VERT).nMax / 2);
  EXPECT_NEAR(Form()->ScrollPosition(), last / 2, 3);
  Key(VK_END);
  EXPECT_EQ(Form()->GetScrollInfo(SB_VERT).nPos, Form()->GetScrollInfo(SB_VERT).nMax);
}

TEST_F(Completion, RightLeftAndCharactersOutsideTheListClose) {
  Start("ta", 3);
  Key(VK_RIGHT);  // a blank is read beyond the line's end
  EXPECT_FALSE(Open());
  Start("tab", 2);
  Key(VK_RIGHT);
  EXPECT_EQ(Form()->TypedPrefix(), "ta");
  Key(VK_LEFT);
  Key(VK_LEFT);
  EXPECT_TRUE(Open());
  Key(VK_LEFT);
  EXPECT_FALSE(Open());
  EXPECT_EQ(editor->CaretXY(), BufferCoord(1, 1));
  Start("ta", 3);
  Type("ж");  // a Cyrillic letter is typed into the editor and closes the list
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), W1251("taж"));
}

TEST_F(Completion, AnEndCharacterThatTriggersOpensTheListAgain) {
  inns->SetTriggerChars(".");
  Items({"table", "tag", "td"});
  Start("t", 2);
  Type("d.");
  EXPECT_EQ(Line(), "td.");
  EXPECT_TRUE(Open());
  EXPECT_EQ(Form()->TypedPrefix(), "");
}

TEST_F(Completion, TheMouseSelectsAndADoubleClickCompletes) {
  Start("t", 2);
  ASSERT_TRUE(Open());
  const int y = Form()->TitleHeight() + 2 * Form()->RowHeight() + 1;
  SimulateMouse(Form(), smPress, mbLeft, 10, y);
  SimulateMouse(Form(), smRelease, mbLeft, 10, y);
  EXPECT_EQ(Form()->SelectedIndex(), 2);
  SimulateWheel(Form(), 3 * WHEEL_DELTA);  // never above the first row
  EXPECT_EQ(Form()->SelectedIndex(), 0);
  const int second = Form()->TitleHeight() + Form()->RowHeight() + 1;
  SimulateMouse(Form(), smPress, mbLeft, 10, second);
  SimulateMouse(Form(), smRelease, mbLeft, 10, second);
  SimulateMouse(Form(), smDoubleClick, mbLeft, 10, second);
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "tag");
}

TEST_F(Completion, AClickInTheEditorClosesTheList) {
  Start("t", 2);
  ASSERT_TRUE(Open());
  SimulateMouse(editor.get(), smPress, mbLeft, 100, 50);
  SimulateMouse(editor.get(), smRelease, mbLeft, 100, 50);
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "t");
}

TEST_F(Completion, AnEditorDestroyedWhileTheListIsOpenClosesIt) {
  Start("t", 2);
  ASSERT_TRUE(Open());
  editor.reset();
  EXPECT_FALSE(Open());
  EXPECT_EQ(inns->EditorCount(), 0);
  EXPECT_EQ(inns->Editor(), nullptr);
}

TEST_F(Completion, DraggingTheEdgeResizesByWholeRowsAndTheSizeIsKept) {
  Start("t", 2);
  const int rows = Form()->LinesInWindow(), h = Form()->Height(), w = Form()->Width();
  const int y = Form()->ClientHeight() - 1;
  SimulateMouse(Form(), smPress, mbLeft, 20, y);
  SimulateMouse(Form(), smMove, mbLeft, 20 + 30, y + 2 * Form()->RowHeight() + 3, {ssLeft});
  SimulateMouse(Form(), smRelease, mbLeft, 20 + 30, y + 2 * Form()->RowHeight() + 3);
  EXPECT_EQ(Form()->LinesInWindow(), rows + 2);
  EXPECT_EQ(Form()->Height(), h + 2 * Form()->RowHeight());
  EXPECT_EQ(Form()->Width(), w + 30);
  Key(VK_ESCAPE);
  EXPECT_EQ(inns->NbLinesInWindow(), rows + 2);
  Start("t", 2);
  EXPECT_EQ(Form()->LinesInWindow(), rows + 2);
  EXPECT_EQ(Form()->Width(), w + 30);
}

TEST_F(Completion, AHintShowsItsItemsAndAnyCommandClosesIt) {
  inns->SetDefaultType(ctHint);
  Items({"first hint line", "\\style{+B}second\\style{-B} line"});
  editor->SetCaretXY(BufferCoord(1, 1));
  inns->ExecuteEx(editor.get());
  ASSERT_TRUE(Open());
  EXPECT_EQ(Form()->ShownKind, ctHint);
  EXPECT_EQ(Form()->Height(), 2 * Form()->RowHeight() + 2 + 2 * Form()->Margin() + 2);
  Type("x");  // typed into the editor, which closes the hint
  EXPECT_FALSE(Open());
  EXPECT_EQ(Line(), "x");
  // An item wider than any screen: the hint is as wide as the screen, and on it.
  Items({"\\hspace{2147483647}a"});
  inns->ExecuteEx(editor.get());
  ASSERT_TRUE(Open());
  EXPECT_EQ(Form()->Left(), 0);
  EXPECT_EQ(Form()->Width(), Screen->Width());
}

TEST_F(Completion, ThePopupOpensUnderTheCaretAndStaysOnTheScreen) {
  Start("t", 2);
  TPoint caret = editor->ClientToScreen(editor->RowColumnToPixels(editor->DisplayXY()));
  EXPECT_EQ(Form()->Left(), caret.X);
  EXPECT_EQ(Form()->Top(), caret.Y + editor->LineHeight());
  Key(VK_ESCAPE);
  inns->Execute("", Screen->Width() - 10, Screen->Height() - 10, ctCode);
  EXPECT_EQ(Form()->Left(), Screen->Width() - Form()->Width() - 5);
  EXPECT_LT(Form()->Top() + Form()->Height(), Screen->Height());
}

}  // namespace

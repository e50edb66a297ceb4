// Autocorrect in a shown editor, driven through the keyboard as a user types.
#include "editor-services/autocorrect/auto_correct.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/input_simulation.h"

namespace {

struct Typing : ::testing::Test {
  void SetUp() override {
    editor = std::make_unique<TSrcEdit>(nullptr);
    editor->SetWantTabs(true);
    editor->SetOptions(editor->Options().Without(eoTrimTrailingSpaces).Without(eoTabsToSpaces));
    ShowForTest(editor.get(), 400, 200);
    ac = std::make_unique<TSrcAutoCorrect>(nullptr);
    ac->SetItemSepChar('=');
    ac->Items()->SetText(W1251("тоесть=то есть\r\nвообщем=в общем\r\nteh=the\r\na=b=c\r\nlonely\r\n"));
    ac->SetEditor(editor.get());
    ac->OnCorrected = TNotifyEvent(this, &Typing::Corrected);
  }
  void Corrected(TObject*) { ++corrected; }
  // The lines joined by "|".
  AnsiString Text() const {
    AnsiString s;
    for (int i = 0; i < editor->Lines()->Count(); ++i) s += (i ? "|" : "") + editor->Lines()->Get(i);
    return s;
  }
  void Type(const char* utf8) { SimulateTyping(editor.get(), utf8); }

  std::unique_ptr<TSrcEdit> editor;
  std::unique_ptr<TSrcAutoCorrect> ac;
  int corrected = 0;
};

TEST_F(Typing, EveryWordEndCorrectsTheWordBeforeTheCaret) {
  // The word reaches back to the last blank: "общем,teh" is no item.
  Type("тоесть вообщем,teh teh");
  SimulateKeyStroke(editor.get(), VK_TAB);
  Type("teh");
  SimulateKeyStroke(editor.get(), VK_RETURN);
  Type("teh.");
  EXPECT_EQ(Text(), W1251("то есть в общем,teh the\tthe|the."));
  EXPECT_EQ(editor->CaretXY(), BufferCoord(5, 2));
  EXPECT_EQ(corrected, 6);
}

TEST_F(Typing, DigitsLongerWordsAndDisabledOrReadOnlyEditorsCorrectNothing) {
  Type("teh5 tehx ");
  EXPECT_EQ(Text(), "teh5 tehx ");
  ac->SetEnabled(false);
  Type("teh ");
  ac->SetEnabled(true);
  editor->SetReadOnly(true);
  Type(" teh ");
  editor->SetReadOnly(false);
  EXPECT_EQ(Text(), "teh5 tehx teh ");
}

TEST_F(Typing, LetterCaseIsKeptForLatinAndCyrillicWords) {
  Type("TEH Teh tEh ТОЕСТЬ Вообщем воОбщем ");
  EXPECT_EQ(Text(), W1251("THE The the ТО ЕСТЬ В общем в общем "));
  ac->SetOptions({});  // case matters and the correction is used as given
  Type("Teh teh ");
  EXPECT_EQ(Text(), W1251("THE The the ТО ЕСТЬ В общем в общем Teh the "));
}

TEST_F(Typing, UndoTakesTheCorrectionBack) {
  // Without grouping each change is one step (grouped, typing and correction go together).
  editor->SetOptions(editor->Options().Without(eoGroupUndo));
  Type("тоесть ");
  ASSERT_EQ(Text(), W1251("то есть "));
  editor->Undo();
  EXPECT_EQ(Text(), W1251("то есть"));
  editor->Undo();
  EXPECT_EQ(Text(), W1251("тоесть"));
}

TEST_F(Typing, ItemsSplitAtTheLastSeparatorAndAWordWithoutOneIsRemoved) {
  Type("a=b lonely ");
  EXPECT_EQ(Text(), "c  ");
}

TEST_F(Typing, OnlyAWordEndWithAWordFiresTheEvent) {
  Type(" ");
  SimulateKeyStroke(editor.get(), VK_RETURN);
  EXPECT_EQ(corrected, 0);
  Type("x ");
  EXPECT_EQ(corrected, 1);
}

TEST_F(Typing, AnAbortedItemLeavesTheWordToTheNextItemOfTheSameOriginal) {
  // The lookup by index must decide as walking the list in order does.
  ac->Items()->Insert(0, "TEH=first");
  ac->Items()->Add("teh=last");
  int calls = 0;
  struct Veto {
    int* calls;
    void On(TObject*, const AnsiString&, const AnsiString& c, int, int, TAutoCorrectAction& a) {
      ++*calls;
      if (c == "first") a = aaAbort;
    }
  } veto{&calls};
  ac->OnAutoCorrect = TAutoCorrectEvent(&veto, &Veto::On);
  Type("teh ");
  EXPECT_EQ(Text(), "the ");
  EXPECT_EQ(calls, 2);
  ac->Items()->Clear();
  ac->Items()->Add("teh=changed");
  Type("teh ");
  EXPECT_EQ(Text(), "the changed ");
}

TEST_F(Typing, LineAndColumnSelectionModesReplaceOnlyTheWord) {
  for (TSrcSelectionMode mode : {smLine, smColumn}) {
    editor->Lines()->SetText("keep this");
    editor->SetCaretXY(BufferCoord(10, 1));
    editor->SetSelectionMode(mode);
    Type(" teh ");
    EXPECT_EQ(Text(), "keep this the ");
    EXPECT_EQ(editor->SelectionMode(), mode);
  }
}

TEST_F(Typing, AClickCorrectsThePreviousLineOnceAndUndoRestoresIt) {
  ac->SetOptions({ascoCorrectOnMouseDown, ascoIgnoreCase, ascoMaintainCase});
  ac->Items()->SetText("teh=teh the\r\nfoo=bar");
  ac->SetEnabled(false);
  Type("teh x teh foo");
  ac->SetEnabled(true);
  SimulateKeyStroke(editor.get(), VK_END);  // records the caret line
  SimulateMouse(editor.get(), smPress, mbLeft, 60, 5);
  SimulateMouse(editor.get(), smRelease, mbLeft, 60, 5);
  // The first item that corrects ends the walk; its correction holds its original.
  EXPECT_EQ(Text(), "teh the x teh the foo");
  editor->Undo();
  EXPECT_EQ(Text(), "teh x teh foo");
}

TEST(AutoCorrectFindWord, WholeWordsAndCase) {
  EXPECT_EQ(TSrcAutoCorrect::FindWord("ab abc  abc", "ABC", true, false, 0), 3);
  EXPECT_EQ(TSrcAutoCorrect::FindWord("ab abc  abc", "ABC", true, true, 0), -1);
  EXPECT_EQ(TSrcAutoCorrect::FindWord("ab abc  abc", "abc", true, true, 4), 8);
  EXPECT_EQ(TSrcAutoCorrect::FindWord("xabc", "abc", false, true, 0), 1);
  EXPECT_EQ(TSrcAutoCorrect::FindWord("xabc", "abc", true, true, 0), -1);
  EXPECT_EQ(TSrcAutoCorrect::FindWord("a ", "", true, true, 0), -1);
  EXPECT_EQ(TSrcAutoCorrect::FindWord(W1251("Из-за того что"), W1251("из-за ТОГО что"), true, false, 0), 0);
}

TEST(AutoCorrectLists, BadListsAreHarmless) {
  TSrcEdit editor(nullptr);
  TSrcAutoCorrect ac(nullptr);
  ac.SetItemSepChar('=');
  ac.SetEditor(&editor);
  AnsiString binary;
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 37) % 256);
  AnsiString big;
  for (int i = 0; i < 100000; ++i) big += "w" + std::to_string(i) + "=r" + std::to_string(i) + "\r\n";
  for (const AnsiString& list : {AnsiString(), binary, AnsiString(1 << 20, 'q'), big}) {
    ac.Items()->SetText(list);
    editor.Lines()->SetText("w99999");
    editor.SetCaretXY(BufferCoord(7, 1));
    editor.CommandProcessor(ecChar, ' ', nullptr);
    EXPECT_EQ(editor.Lines()->Get(0), list.size() == big.size() ? "r99999" : "w99999") << list.size();
  }
}

}  // namespace

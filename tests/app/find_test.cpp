// Find and replace from the main window: the dialogs driven through their controls, the
// search memory, the confirmation dialog's answers and placement, and bad input.
#include "tests/app/app_fixture.h"

#include "app/find/confirm_replace_dialog.h"
#include "app/find/search_dialogs.h"
#include "app/find/search_memory.h"
#include "platform/graphics.h"
#include "platform/icons.h"
#include "platform/input_simulation.h"

namespace {

class FindTest : public AppTest {
protected:
  // Plays the user in every modal form shown; message boxes are recorded and answered OK.
  std::function<void(TCustomForm*)> onForm;
  std::vector<AnsiString> messages;

  void SetUp() override {
    AppTest::SetUp();
    SearchMemory() = TSearchMemory{};
    Create();
    SetDialogHook([this](const TDialogRequest& r) -> std::optional<TDialogAnswer> {
      TDialogAnswer a;
      if (r.Kind == dkModalForm) {
        if (onForm) onForm(r.Form);
        a.Result = mrCancel;
        return a;
      }
      if (r.Kind == dkMessageBox) messages.push_back(r.Text);
      a.Result = IDOK;
      return a;
    });
    Ed()->SetText("one two one\r\nTwo ONE\r\none");
    Ed()->SetCaretXY(BufferCoord(1, 1));
  }
  void TearDown() override {
    SetDialogHook(nullptr);
    AppTest::TearDown();
  }
  // Fills the find or replace dialog as a user does: types, ticks, presses OK.
  void FillDialog(TCustomForm* f, const std::string& search, std::initializer_list<TCheckBox* TTextSearchDialog::*> ticks,
                  const std::string& replace = "", const char* shot = nullptr) {
    auto* d = dynamic_cast<TTextSearchDialog*>(f);
    ASSERT_NE(d, nullptr);
    d->cbSearchText->SetText("");
    SimulateTyping(d->cbSearchText, search);
    if (auto* r = dynamic_cast<TTextReplaceDialog*>(f)) {
      r->cbReplaceText->SetText("");
      SimulateTyping(r->cbReplaceText, replace);
    }
    for (auto t : ticks) SimulateKeyStroke(d->*t, VK_SPACE, {}, " ");
    if (shot) {
      EXPECT_TRUE(Shot(d, shot));
    }
    SimulateKeyStroke(d->cbSearchText, VK_RETURN, {}, "\r");
  }
  // The window as it looks now, once it has painted.
  bool Shot(TWinControl* w, const std::string& name) {
    fs::create_directories(VT_TEST_OUTPUT_DIR);
    ProcessMessages();
    return SaveWindowImage(w, std::string(VT_TEST_OUTPUT_DIR) + "/" + name);
  }
};

}  // namespace

TEST_F(FindTest, FindDialogSearchesRemembersAndFindNextContinues) {
  bool shot = false;
  onForm = [&](TCustomForm* f) {
    auto* d = dynamic_cast<TTextSearchDialog*>(f);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Caption(), W1251("Поиск текста"));
    EXPECT_EQ(d->rgSearchDirection->ItemIndex(), 0);
    FillDialog(f, "one", {&TTextSearchDialog::cbSearchCaseSensitive, &TTextSearchDialog::cbSearchWholeWords}, "",
               "find_dialog.png");
    shot = true;
  };
  Run("EditRpls");
  EXPECT_TRUE(shot);
  EXPECT_EQ(Ed()->SelText(), "one");
  EXPECT_EQ(Ed()->BlockBegin(), BufferCoord(1, 1));
  const TSearchMemory& m = SearchMemory();
  EXPECT_EQ(m.SearchText, "one");
  EXPECT_TRUE(m.MatchCase);
  EXPECT_TRUE(m.WholeWords);
  EXPECT_EQ(m.SearchTextHistory, "one");
  // Find next goes on from the caret; case counts, so "ONE" is passed over.
  Run("NaitiDalee");
  EXPECT_EQ(Ed()->BlockBegin(), BufferCoord(9, 1));
  Run("NaitiDalee");
  EXPECT_EQ(Ed()->BlockBegin(), BufferCoord(1, 3));
  // Nothing further: a beep, the caret at the end of the former selection.
  int beeps = MessageBeepCount();
  Run("NaitiDalee");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_FALSE(Ed()->SelAvail());
  EXPECT_EQ(Ed()->CaretXY(), BufferCoord(4, 3));
  Run("Action16");
  EXPECT_EQ(Ed()->BlockBegin(), BufferCoord(1, 3));
  Run("Action16");
  EXPECT_EQ(Ed()->BlockBegin(), BufferCoord(9, 1));
  // Cancel changes nothing.
  onForm = [&](TCustomForm* f) {
    auto* d = dynamic_cast<TTextSearchDialog*>(f);
    SimulateTyping(d->cbSearchText, "zzz");
    d->btnCancel->Click();
  };
  Run("EditRpls");
  EXPECT_EQ(SearchMemory().SearchText, "one");
}

TEST_F(FindTest, HistoryKeepsTenNewestFirstAndTheExpressionOptionIsNotKept) {
  for (int i = 1; i <= 12; ++i) {
    onForm = [&](TCustomForm* f) { FillDialog(f, "w" + std::to_string(i), {}); };
    Run("EditRpls");
  }
  EXPECT_EQ(SearchMemory().SearchTextHistory, "w12\r\nw11\r\nw10\r\nw9\r\nw8\r\nw7\r\nw6\r\nw5\r\nw4\r\nw3");
  onForm = [&](TCustomForm* f) { FillDialog(f, "w8", {}); };
  Run("EditRpls");
  EXPECT_EQ(SearchMemory().SearchTextHistory, "w8\r\nw12\r\nw11\r\nw10\r\nw9\r\nw7\r\nw6\r\nw5\r\nw4\r\nw3");
  // The expression box starts unticked each time; find next keeps the last choice.
  onForm = [&](TCustomForm* f) { FillDialog(f, "t[wW]o", {&TTextSearchDialog::cbRegularExpression}); };
  Ed()->SetCaretXY(BufferCoord(1, 1));
  Run("EditRpls");
  EXPECT_EQ(Ed()->SelText(), "two");
  bool unticked = false;
  onForm = [&](TCustomForm* f) {
    unticked = !dynamic_cast<TTextSearchDialog*>(f)->SearchRegularExpression();
    dynamic_cast<TTextSearchDialog*>(f)->btnCancel->Click();
  };
  Run("EditRpls");
  EXPECT_TRUE(unticked);
  Run("NaitiDalee");
  EXPECT_EQ(Ed()->SelText(), "Two");
}

TEST_F(FindTest, ReplaceAsksBesideEachHitAndFreesTheQuestion) {
  EXPECT_EQ(ConfirmReplaceDialog, nullptr);
  std::vector<int> answers{mrNo, mrYes, mrReplaceAll};
  std::vector<AnsiString> labels;
  int asked = 0;
  onForm = [&](TCustomForm* f) {
    if (auto* c = dynamic_cast<TConfirmReplaceDialog*>(f)) {
      EXPECT_EQ(c->Caption(), W1251("Поиск и замена"));
      labels.push_back(c->lblConfirmation->Caption());
      if (asked == 0) Shot(c, "confirm_replace_dialog.png");
      int a = answers[static_cast<size_t>(asked++)];
      TButton* b = a == mrYes ? c->btnReplace : a == mrNo ? c->btnSkip : c->btnReplaceAll;
      b->Click();
      return;
    }
    FillDialog(f, "one", {}, "1", "replace_dialog.png");
  };
  Run("Action21");
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(labels, std::vector<AnsiString>(3, "one"));
  EXPECT_EQ(Ed()->Text(), "one two 1\r\nTwo 1\r\n1");
  EXPECT_EQ(ConfirmReplaceDialog, nullptr);
  EXPECT_EQ(SearchMemory().ReplaceText, "1");
  EXPECT_EQ(SearchMemory().ReplaceTextHistory, "1");
  // The all answer made one undo step of the rest.
  Ed()->Undo();
  EXPECT_EQ(Ed()->Text(), "one two 1\r\nTwo ONE\r\none");
  // Cancel in the question ends the run; replacing a text by itself asks nothing.
  answers = {mrCancel};
  asked = 0;
  Run("Action21");
  EXPECT_EQ(asked, 1);
  onForm = [&](TCustomForm* f) {
    if (dynamic_cast<TConfirmReplaceDialog*>(f)) ++asked;
    else FillDialog(f, "one", {}, "one");
  };
  asked = 0;
  int hitsBefore = Ed()->UndoList()->ItemCount();
  Run("Action21");
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(Ed()->UndoList()->ItemCount(), hitsBefore);
}

// A replace-all of more hits than the undo list once held records for stays one undo step when
// the caret moves on, and undoing it gives back the saved text.
TEST_F(FindTest, ReplaceAllOfManyHitsIsOneUndoStepAfterTheCaretMoves) {
  AnsiString page;
  for (int i = 0; i < 600; ++i) page += "one two\r\n";
  Ed()->SetText(page);
  Ed()->SetModified(false);
  const AnsiString saved = Ed()->Text();
  Ed()->SetCaretXY(BufferCoord(1, 1));
  onForm = [&](TCustomForm* f) {
    if (auto* c = dynamic_cast<TConfirmReplaceDialog*>(f))
      c->btnReplaceAll->Click();
    else
      FillDialog(f, "one", {}, "1");
  };
  Run("Action21");
  ASSERT_EQ(Ed()->Lines()->Get(599), "1 two");
  SimulateKeyStroke(Ed(), VK_DOWN);
  SimulateKeyStroke(Ed(), 'Z', TShiftState{ssCtrl});
  EXPECT_EQ(Ed()->Text(), saved);
  EXPECT_FALSE(Ed()->Modified());
}

// A page another program wrote, whose second line runs past the editor's scroll width: Replace
// with the question answered «Все» replaces the hit where it stands, and Save writes exactly that.
TEST_F(FindTest, ReplaceAllOnALineLongerThanTheScrollWidthSavesTheHitReplaced) {
  fs::path page = root / "generated.htm";
  const std::string head = "<html><body>\r\n<p>" + std::string(1100, 'x');
  WriteFile(page, head + "<br>tail</p>\r\n</body></html>\r\n");
  Destroy();
  Create({page.string()});
  int asked = 0;
  onForm = [&](TCustomForm* f) {
    if (auto* c = dynamic_cast<TConfirmReplaceDialog*>(f)) {
      ++asked;
      c->btnReplaceAll->Click();
      return;
    }
    FillDialog(f, "<br>", {}, "<br />");
  };
  Run("Action21");
  EXPECT_EQ(asked, 1);
  Run("FileSave");
  EXPECT_EQ(ReadFile(page), head + "<br />tail</p>\r\n</body></html>\r\n");
  Ed()->Undo();
  EXPECT_EQ(Ed()->Lines()->Get(1), "<p>" + std::string(1100, 'x') + "<br>tail</p>");
}

// What the user types is what is searched for and put in: a remembered text that differs only
// in case never takes its place, whether the box is left with Tab or the dialog with Enter. Tab
// goes from the search text straight to the replacement. A text box that the dialog gives the
// focus (on opening, by Tab) has its text selected: typing replaces it.
TEST_F(FindTest, TypedTextsStayAsTypedBesideRememberedOnesOfAnotherCase) {
  SearchMemory().SearchText = SearchMemory().SearchTextHistory = "hello";
  SearchMemory().ReplaceText = SearchMemory().ReplaceTextHistory = "world";
  Ed()->SetText("hello HELLO");
  bool filled = false;
  onForm = [&](TCustomForm* f) {
    if (auto* c = dynamic_cast<TConfirmReplaceDialog*>(f)) {
      c->btnReplaceAll->Click();
      return;
    }
    auto* d = dynamic_cast<TTextReplaceDialog*>(f);
    ASSERT_NE(d, nullptr);
    ProcessMessages();
    EXPECT_TRUE(d->cbSearchText->Focused());
    EXPECT_EQ(d->cbSearchText->Text(), "hello");
    SimulateTyping(d->cbSearchText, "HELLO");
    SimulateKeyStroke(d->cbSearchText, VK_TAB);
    EXPECT_TRUE(d->cbReplaceText->Focused());
    EXPECT_EQ(d->cbSearchText->Text(), "HELLO");
    EXPECT_EQ(d->cbReplaceText->Text(), "world");
    SimulateTyping(d->cbReplaceText, "WORLD");
    SimulateKeyStroke(d->cbSearchCaseSensitive, VK_SPACE, {}, " ");
    SimulateKeyStroke(d->cbReplaceText, VK_RETURN, {}, "\r");
    filled = true;
  };
  Run("Action21");
  EXPECT_TRUE(filled);
  EXPECT_EQ(SearchMemory().SearchText, "HELLO");
  EXPECT_EQ(SearchMemory().ReplaceText, "WORLD");
  EXPECT_EQ(Ed()->Text(), "hello WORLD");
}

TEST_F(FindTest, QuestionIsPlacedBesideTheHit) {
  TConfirmReplaceDialog d(nullptr);
  int w = d.Width(), h = d.Height();
  TRect area{100, 100, 900, 700};
  // Near the top: below the hit's line; near the bottom third: above it, 4 pixels away.
  d.PrepareShow(area, 300, "a&b", 140, 126);
  EXPECT_EQ(d.Left(), 300);
  EXPECT_EQ(d.Top(), 144);
  EXPECT_EQ(StripHotkeyText(d.lblConfirmation->Caption()), "a&b");
  d.PrepareShow(area, 300, "x", 550, 536);
  EXPECT_EQ(d.Top(), 536 - h - 4);
  // A hit near the right edge: the question ends at the edge.
  d.PrepareShow(area, 890, "x", 140, 126);
  EXPECT_EQ(d.Left(), 900 - w);
  // A window narrower than the question: centred over it.
  TRect narrow{100, 100, 100 + w - 40, 700};
  d.PrepareShow(narrow, 120, "x", 140, 126);
  EXPECT_EQ(d.Left(), 100 - 20);
}

// The dialog is made at the program's start; its question picture is made when it first shows.
TEST_F(FindTest, TheQuestionPictureShowsWithTheDialog) {
  SetThemeIconsEnabled(false);  // the drawn picture: the desktop's themes differ between machines
  {
    TConfirmReplaceDialog d(nullptr);
    auto* image = dynamic_cast<TWinControl*>(d.imgQuestion);
    ASSERT_NE(image, nullptr);
    ShowForTest(&d, d.Width(), d.Height());
    int coloured = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) coloured += ClientPixel(image, x, y) != clWhite;
    EXPECT_GT(coloured, 200);
  }
  SetThemeIconsEnabled(true);
}

TEST_F(FindTest, MalformedExpressionShowsTheErrorAndTouchesNothing) {
  Ed()->SetCaretXY(BufferCoord(3, 2));
  onForm = [&](TCustomForm* f) { FillDialog(f, "(one", {&TTextSearchDialog::cbRegularExpression}, "x"); };
  try {
    Run("Action21");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    Application->HandleException(main, &e);
  }
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("Unmatched"), AnsiString::npos) << messages[0];
  EXPECT_NE(messages[0].find("pos 4"), AnsiString::npos) << messages[0];
  EXPECT_NE(messages[0].find("103"), AnsiString::npos) << messages[0];
  EXPECT_EQ(Ed()->Text(), "one two one\r\nTwo ONE\r\none");
  EXPECT_EQ(Ed()->CaretXY(), BufferCoord(3, 2));
  EXPECT_FALSE(Ed()->CanUndo());
  EXPECT_EQ(ConfirmReplaceDialog, nullptr);
}

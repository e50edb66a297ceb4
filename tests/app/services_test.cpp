// The editor services of the main window: the autocorrect and completion lists of the program
// folder, switched and reloaded by the settings.
#include "app_fixture.h"
#include "platform/input_simulation.h"

namespace {

TEST_F(AppTest, AutocorrectFollowsTheSettingAndItsListFile) {
  Create();
  main->Show();
  Ed()->Lines()->SetText("");
  SimulateTyping(Ed(), "незнаю ");
  EXPECT_EQ(Ed()->Lines()->Get(0), W1251("не знаю"));  // trailing blanks are trimmed
  WriteIni("[General]\nMyPath=" + program.string() + "\n[Orfo]\nAutoReplace=0\n");
  main->ReStyle();
  SimulateTyping(Ed(), "незнаю ");
  EXPECT_EQ(Ed()->Lines()->Get(0), W1251("не знаю незнаю"));
}

TEST_F(AppTest, CtrlJOpensTheInsertListAndTheChosenItemReplacesTheWord) {
  WriteFile(program / "insert.lst", "<table></table>\r\n<td></td>\r\n<b></b>\r\n");
  Create();
  main->Show();
  // '<' ends the word before the caret, so the list opens on a blank with every entry.
  Ed()->Lines()->SetText("x ");
  Ed()->SetCaretXY(BufferCoord(3, 1));
  SimulateKeyStroke(Ed(), 'J', {ssCtrl});
  ASSERT_TRUE(main->Inns->Form()->Visible());
  EXPECT_EQ(main->Inns->Form()->VisibleList()->Count(), 3);
  EXPECT_EQ(main->Inns->Title(), W1251("Список вставки"));
  SimulateKeyStroke(Ed(), VK_DOWN);
  SimulateKeyStroke(Ed(), VK_RETURN);
  EXPECT_EQ(Ed()->Lines()->Get(0), "x <td></td>");
  EXPECT_EQ(main->SrcURIOpener1->URIHighlighter(), main->SrcURISrc1);
  EXPECT_EQ(main->SrcURIOpener1->Editor(), nullptr);
}

TEST_F(AppTest, MissingOrBadListFilesAreReportedOrHarmless) {
  for (const char* list : {"autoreplace.lst", "insert.lst"}) {
    fs::rename(program / list, program / "kept");
    Create();
    const TDialogRequest* e = dialogs.Last(dkMessageBox);
    ASSERT_NE(e, nullptr);
    EXPECT_NE(e->Text.find(list), AnsiString::npos);
    // The remaining start-up steps are skipped, and the window still opens, untitled.
    EXPECT_EQ(main->DocumentName(), W1251("Новый"));
    main->Show();
    EXPECT_TRUE(main->Visible());
    Destroy();
    fs::rename(program / "kept", program / list);
  }

  std::string binary;
  for (int i = 0; i < 2048; ++i) binary += static_cast<char>(i * 31);
  for (const std::string& list : {std::string(), binary, std::string(1 << 20, 'x') + "=y"}) {
    WriteFile(program / "autoreplace.lst", list);
    WriteFile(program / "insert.lst", list);
    dialogs.asked.clear();
    Create();
    EXPECT_EQ(dialogs.Count(dkMessageBox), 0);
    EXPECT_EQ(main->DocumentName(), UntitledName());
    Destroy();
  }
}

}  // namespace

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

TEST_F(AppTest, MissingOrBadListFilesAreReportedOrHarmless) {
  fs::remove(program / "autoreplace.lst");
  Create();
  const TDialogRequest* e = dialogs.Last(dkMessageBox);
  ASSERT_NE(e, nullptr);
  EXPECT_NE(e->Text.find("autoreplace.lst"), AnsiString::npos);
  // The remaining start-up steps are skipped, and the window still opens.
  EXPECT_EQ(main->DocumentName(), "");
  main->Show();
  EXPECT_TRUE(main->Visible());
  Destroy();

  std::string binary;
  for (int i = 0; i < 2048; ++i) binary += static_cast<char>(i * 31);
  for (const std::string& list : {std::string(), binary, std::string(1 << 20, 'x') + "=y"}) {
    WriteFile(program / "autoreplace.lst", list);
    dialogs.asked.clear();
    Create();
    EXPECT_EQ(dialogs.Count(dkMessageBox), 0);
    EXPECT_EQ(main->DocumentName(), UntitledName());
    Destroy();
  }
}

}  // namespace

// The new-page wizard's skeleton and the about box.
#include "tests/app/app_fixture.h"

#include "app/dialogs/about_box.h"
#include "app/dialogs/new_file_wizard.h"
#include "app/dialogs/tag_dialog.h"
#include "platform/input_simulation.h"

namespace {

class WizardAboutTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    Create();
    main->Show();
  }
  std::string Line(int i) const { return AnsiToUtf8(Ed()->Lines()->Get(i)); }
  void Shot(TWinControl* form, const char* name) {
    fs::create_directories(VT_TEST_OUTPUT_DIR);
    EXPECT_TRUE(SaveWindowImage(form, std::string(VT_TEST_OUTPUT_DIR) + "/dialog_" + name + ".png"));
  }
};

const char* const kEmptySkeleton[] = {
    "<HTML>",
    "<HEAD>",
    " <TITLE></TITLE>",
    " <META http-equiv=\"Content-Language\" content=\"ru\">",
    " <META http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">",
    " <META name=\"GENERATOR\" content=\"Vantry Tarn\">",
    " <META name=\"author\" content=\" \">",
    " <META name=\"keywords\" Content=\"\">",
    " <META name=\"description\" Content=\"\">",
    "</HEAD>",
    "<BODY>",
    " <TABLE border=0 width=100%>",
    "  <TR><TD bgcolor=\"#FFDC80\"><H1></H1></TD></TR>",
    "  <TR><TD bgcolor=\"#FFF0CA\"></TD></TR>",
    "  <TR>",
    "   <TD>",
    "    <!--Текст страницы пишите здесь-->",
    "   </TD>",
    "  </TR>",
    "  <TR><TD><FONT size=1 color=\"#808080\">Copyright by <A href=\"mailto:\"><FONT size=1 "
    "color=\"#808080\"></FONT></A>. All rights reserved.</FONT></TD></TR>",
    " </TABLE>",
    "</BODY>",
    "</HTML>",
};

TEST_F(WizardAboutTest, WizardWithNoFieldFilledWritesTheWholeSkeletonAndAsksWhereToSave) {
  Run("FileNewFileWizard");
  TFileNewWizard* w = FileNewWizard;
  ASSERT_NE(w, nullptr);
  EXPECT_FALSE(main->Enabled());
  EXPECT_EQ(w->PageControl1->PageCount(), 3);
  for (int i = 0; i < 3; ++i) {
    w->PageControl1->SetActivePageIndex(i);
    Shot(w, ("wizard_" + std::to_string(i + 1)).c_str());
  }
  w->OkButton->Click();
  EXPECT_FALSE(w->Visible());
  EXPECT_TRUE(main->Enabled());
  ASSERT_EQ(Ed()->Lines()->Count(), 23);
  for (int i = 0; i < 23; ++i) EXPECT_EQ(Line(i), kEmptySkeleton[i]) << "line " << i + 1;
  EXPECT_EQ(Ed()->CaretY(), 17);
  EXPECT_TRUE(Ed()->Modified());
  EXPECT_EQ(main->DocumentName(), UntitledName());
  EXPECT_EQ(dialogs.Count(dkSaveFile), 1);  // File Save of an untitled page is Save As
  EXPECT_FALSE(Ed()->CanUndo());
}

TEST_F(WizardAboutTest, WizardFieldsAndTicksGoIntoTheirLines) {
  Run("FileNewFileWizard");
  TFileNewWizard* w = FileNewWizard;
  w->MetaPageTitle->SetText(W1251("Моя страница"));
  w->MetaAutorPageAutor->SetText(W1251("Иван"));
  w->MetaAutorMailAutor->SetText("ivan@example.com");
  w->MetaPageKeys->SetText("a, b");
  w->Descr->SetText("d");
  w->TextClr->SetChecked(true);
  w->LnkCol->SetChecked(true);
  dialogs.Answer(IDOK, "", clYellow);
  w->ColorButtons[2]->Click();
  w->BckImg->SetChecked(true);
  w->Edit1->SetText("H");
  w->Edit2->SetText("S");
  dialogs.Answer(IDOK, "", RGB(1, 2, 3));
  w->ColorButtons[3]->Click();  // always enabled
  std::string saved = (root / "page.html").string();
  dialogs.Answer(IDOK, saved);
  w->OkButton->Click();
  EXPECT_EQ(Line(2), " <TITLE>Моя страница</TITLE>");
  EXPECT_EQ(Line(6), " <META name=\"author\" content=\"Иван ivan@example.com\">");
  EXPECT_EQ(Line(7), " <META name=\"keywords\" Content=\"a, b\">");
  EXPECT_EQ(Line(8), " <META name=\"description\" Content=\"d\">");
  EXPECT_EQ(Line(10), "<BODY text=\"#000000\" link=\"#FFFF00\" background=\"images/fon.gif\">");
  EXPECT_EQ(Line(12), "  <TR><TD bgcolor=\"#010203\"><H1>H</H1></TD></TR>");
  EXPECT_EQ(Line(13), "  <TR><TD bgcolor=\"#FFF0CA\">S</TD></TR>");
  EXPECT_EQ(Line(19),
            "  <TR><TD><FONT size=1 color=\"#808080\">Copyright by <A href=\"mailto:ivan@example.com\"><FONT size=1 "
            "color=\"#808080\">Иван</FONT></A>. All rights reserved.</FONT></TD></TR>");
  // Saved under the chosen name.
  EXPECT_EQ(main->DocumentName(), saved);
  EXPECT_FALSE(Ed()->Modified());
  EXPECT_EQ(ReadFile(saved).substr(0, 14), "<HTML>\r\n<HEAD>");
}

TEST_F(WizardAboutTest, CancellingTheSavePromptLeavesTheOldDocument) {
  Ed()->SetText("old text");
  Ed()->SetModified(true);
  Run("FileNewFileWizard");
  FileNewWizard->MetaPageTitle->SetText("T");
  dialogs.Answer(IDCANCEL);  // "save changes?"
  try {
    FileNewWizard->OkButton->Click();
  } catch (const EAbort&) {
  }
  EXPECT_FALSE(FileNewWizard->Visible());
  EXPECT_TRUE(main->Enabled());
  EXPECT_EQ(Ed()->Lines()->Count(), 1);
  EXPECT_EQ(Line(0), "old text");
  EXPECT_TRUE(Ed()->Modified());
}

TEST_F(WizardAboutTest, AboutBoxShowsTheProgramWithoutCaptionAndOpensTheMakersPages) {
  Run("HelpAboutProgram");
  TAboutBox* a = AboutBox;
  ASSERT_NE(a, nullptr);
  Shot(a, "about");
  EXPECT_EQ(a->Caption(), W1251("О программе"));
  EXPECT_EQ(a->FormBorderStyle(), fbsNone);
  EXPECT_EQ(a->ShownAbove(), main);  // the window system keeps it with the main window
  EXPECT_FALSE(main->Enabled());
  EXPECT_EQ(a->ProductName->Caption(), "Vantry Tarn");
  EXPECT_EQ(a->Version->Caption(), W1251("Версия 1.2"));
  EXPECT_EQ(a->Version->Hint(), W1251("Обновить Вашу версию"));
  EXPECT_EQ(a->Version->Cursor(), crHandPoint);
  EXPECT_EQ(a->Comments->Caption(),
            W1251("Vantry Tarn - Это простой, быстрый и удобный HTML-редактор. С его помощью Вы сможете быстро и "
                  "легко создать сайт с очень компактными страницами"));
  SimulateMouse(a->Version, smPress, mbLeft, 3, 3);
  SimulateMouse(a->Version, smRelease, mbLeft, 3, 3);
  ASSERT_EQ(shellOpened.size(), 1u);
  EXPECT_EQ(shellOpened[0], (fs::path(Application->ExeName()).parent_path() / "help" / "update.htm").string());
  SimulateMouse(a->MailLabel, smPress, mbLeft, 3, 3);
  SimulateMouse(a->MailLabel, smRelease, mbLeft, 3, 3);
  SimulateMouse(a->WebLabel, smPress, mbLeft, 3, 3);
  SimulateMouse(a->WebLabel, smRelease, mbLeft, 3, 3);
  ASSERT_EQ(shellOpened.size(), 3u);
  EXPECT_EQ(shellOpened[1], TAboutBox::MailLink());
  EXPECT_NE(shellOpened[1].find("?Subject=Vantry%20Tarn"), std::string::npos);
  EXPECT_EQ(shellOpened[2], TAboutBox::WebAddress());
  a->OKButton->Click();
  EXPECT_FALSE(a->Visible());
  EXPECT_TRUE(main->Enabled());
  // Each opening makes a new box (one without the mark put on the first, wherever it lies).
  a->SetTag(1);
  Run("HelpAboutProgram");
  EXPECT_EQ(AboutBox->Tag(), 0);
  AboutBox->OKButton->Click();
}

}  // namespace

// The tag dialogs driven through their controls: what OK inserts, where the caret lands, undo,
// Cancel, the main window switched off while a dialog shows, and a screenshot of each.
#include "tests/app/app_fixture.h"

#include "app/dialogs/font_name.h"
#include "app/dialogs/font_size.h"
#include "app/dialogs/ins_link.h"
#include "app/dialogs/ins_pict.h"
#include "app/dialogs/insert_list.h"
#include "app/dialogs/table.h"
#include "platform/graphics.h"
#include "app/dialogs/tag_header.h"
#include "platform/input_simulation.h"

namespace {

bool Alive(TCustomForm* f) {
  for (int i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i) == f) return true;
  return false;
}

class DialogsTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    Create();
    main->Show();
  }
  // One line "ab Title cd" with "Title" selected.
  void SelectTitle() {
    Ed()->SetText("ab Title cd");
    Ed()->PlaceCaretAndSelection(BufferCoord(9, 1), BufferCoord(4, 1), BufferCoord(9, 1));
    Ed()->ClearUndo();
  }
  std::string Line(int i) const { return AnsiToUtf8(Ed()->Lines()->Get(i)); }
  // Opens a dialog by its action: the main window goes off while it shows.
  template <class T>
  T* Open(const char* action, T*& reference) {
    Run(action);
    // Each window opened is marked: a window made anew has no mark, wherever it lies in memory.
    EXPECT_EQ(reference->Tag(), 0) << "a new window each time";
    reference->SetTag(1);
    EXPECT_TRUE(reference->Visible());
    EXPECT_FALSE(main->Enabled());
    return reference;
  }
  void Shot(TWinControl* form, const char* name) {
    fs::create_directories(VT_TEST_OUTPUT_DIR);
    EXPECT_TRUE(SaveWindowImage(form, std::string(VT_TEST_OUTPUT_DIR) + "/dialog_" + name + ".png"));
  }
  void Type(TEdit* e, const std::string& utf8) {
    e->SetText("");
    e->SetFocus();
    SimulateTyping(e, utf8);
  }
  void Ok(TTagDialog* d) {
    d->OkButton->Click();
    EXPECT_FALSE(d->Visible());
    EXPECT_TRUE(main->Enabled());
  }
};

TEST_F(DialogsTest, HeadingTakesTheSelectionLevelAndAlignment) {
  SelectTitle();
  TTagHeader* d = Open("TagH1", TagHeader);
  Shot(d, "heading");
  EXPECT_EQ(d->Caption(), W1251("Текст как заголовок"));
  EXPECT_EQ(d->TXT->Text(), "Title");
  EXPECT_TRUE(d->h1->Checked());
  EXPECT_TRUE(d->AlignCent->Checked());
  EXPECT_FALSE(d->AlignBox->Enabled());
  SimulateMouse(d->h2, smPress, mbLeft, 5, 5);
  SimulateMouse(d->h2, smRelease, mbLeft, 5, 5);
  EXPECT_TRUE(d->h2->Checked());
  d->AlignEnbl->SetChecked(true);
  EXPECT_TRUE(d->AlignBox->Enabled());
  Ok(d);
  EXPECT_EQ(Line(0), "ab <H2 align=\"center\">Title</H2> cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + int(std::string("<H2 align=\"center\">Title").size()));
  Ed()->Undo();
  EXPECT_EQ(Line(0), "ab Title cd");

  // Without alignment, another level, typed text; the dialog frees itself once closed.
  SelectTitle();
  d = Open("TagH1", TagHeader);
  d->h6->SetChecked(true);
  Type(d->TXT, "Заголовок");
  Ok(d);
  EXPECT_EQ(Line(0), "ab <H6>Заголовок</H6> cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + 4 + 9);
  ProcessMessages();
  EXPECT_FALSE(Alive(d));
}

// The heading dialog from the keyboard alone: its text field has the focus, with the selection
// in it selected; Tab goes on to the chosen level (not to the group around it), the arrows choose
// another level, Enter inserts; the editor then has the keys again. The same after Escape.
TEST_F(DialogsTest, HeadingFromTheKeyboardGivesTheKeysBackToTheEditor) {
  SelectTitle();
  ProcessMessages();
  ASSERT_TRUE(Ed()->Focused());
  TTagHeader* d = Open("TagH1", TagHeader);
  ProcessMessages();
  EXPECT_TRUE(d->TXT->Focused());
  SimulateTyping(d->TXT, "abc");
  EXPECT_EQ(d->TXT->Text(), "abc");
  SimulateKeyStroke(d->TXT, VK_TAB);
  EXPECT_TRUE(d->h1->Focused());
  SimulateKeyStroke(d->h1, VK_DOWN);
  EXPECT_TRUE(d->h2->Focused());
  EXPECT_TRUE(d->h2->Checked());
  SimulateKeyStroke(d->h2, VK_TAB);
  EXPECT_TRUE(d->AlignEnbl->Focused());
  SimulateKeyStroke(d->AlignEnbl, VK_TAB);
  EXPECT_TRUE(d->OkButton->Focused());
  SimulateKeyStroke(d->OkButton, VK_TAB, {ssShift});
  SimulateKeyStroke(d->AlignEnbl, VK_RETURN, {}, "\r");
  EXPECT_FALSE(d->Visible());
  EXPECT_EQ(Line(0), "ab <H2>abc</H2> cd");
  ProcessMessages();
  EXPECT_TRUE(main->Active());
  EXPECT_TRUE(Ed()->Focused());
  SimulateTyping(Ed(), "x");
  EXPECT_EQ(Line(0), "ab <H2>abcx</H2> cd");

  d = Open("TagH1", TagHeader);
  ProcessMessages();
  SimulateKeyStroke(d->TXT, VK_ESCAPE);
  EXPECT_FALSE(d->Visible());
  ProcessMessages();
  EXPECT_TRUE(Ed()->Focused());
}

TEST_F(DialogsTest, FontSizeAndFontFace) {
  SelectTitle();
  TFontSize* fs = Open("RazMer", FontSize);
  Shot(fs, "font_size");
  EXPECT_EQ(fs->Edit1->Text(), "Title");
  EXPECT_EQ(fs->ComboBox1->Text(), "3");
  EXPECT_EQ(fs->ComboBox1->Items()->Count(), 15);
  fs->ComboBox1->SetItemIndex(fs->ComboBox1->Items()->IndexOf("+2"));
  Ok(fs);
  EXPECT_EQ(Line(0), "ab <FONT size=\"+2\">Title</FONT> cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + int(std::string("<FONT size=\"+2\">Title").size()));
  ProcessMessages();
  EXPECT_FALSE(Alive(fs));
  // Cancel changes nothing and frees the dialog too.
  SelectTitle();
  fs = Open("RazMer", FontSize);
  fs->CancelButton->Click();
  EXPECT_EQ(Line(0), "ab Title cd");
  EXPECT_TRUE(main->Enabled());
  ProcessMessages();
  EXPECT_FALSE(Alive(fs));

  SelectTitle();
  TInsTagFontName* fn = Open("FontName", InsTagFontName);
  Shot(fn, "font_name");
  fn->ComboBox1->SetItemIndex(2);
  Ok(fn);
  EXPECT_EQ(Line(0), "ab <FONT face=\"Courier New\">Title</FONT> cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + int(std::string("<FONT face=\"Courier New\">Title").size()));
  // A face typed in, and Enter for OK; the hidden dialog stays for the program's run.
  SelectTitle();
  fn = Open("FontName", InsTagFontName);
  fn->ComboBox1->SetText("");
  fn->ComboBox1->SetFocus();
  SimulateTyping(fn->ComboBox1, "Liberation Sans");
  SimulateKeyStroke(fn->ComboBox1, VK_RETURN, {}, "\r");
  EXPECT_FALSE(fn->Visible());
  EXPECT_EQ(Line(0), "ab <FONT face=\"Liberation Sans\">Title</FONT> cd");
  ProcessMessages();
  EXPECT_TRUE(Alive(fn));
}

TEST_F(DialogsTest, LinkWithProtocolFrameAndTitle) {
  SelectTitle();
  TInsLink* d = Open("Action12", InsLink);
  Shot(d, "link");
  EXPECT_EQ(d->Text->Text(), "Title");
  EXPECT_FALSE(d->ComboBox1->Enabled());
  EXPECT_FALSE(d->hint->Enabled());
  Type(d->URL, "example.com/a.htm");
  SimulateMouse(d->CheckBox2, smPress, mbLeft, 5, 8);
  SimulateMouse(d->CheckBox2, smRelease, mbLeft, 5, 8);
  EXPECT_TRUE(d->CheckBox2->Checked());
  EXPECT_TRUE(d->ComboBox1->Enabled());
  EXPECT_EQ(d->ComboBox1->Text(), "http://");
  d->CheckBox1->SetChecked(true);
  d->ComboBox2->SetItemIndex(1);
  d->CheckBox3->SetChecked(true);
  EXPECT_TRUE(d->hint->Focused());
  Type(d->hint, "Пример");
  Ok(d);
  std::string inserted = "<A href=\"http://example.com/a.htm\" target=\"_blank\" title=\"Пример\">Title</A>";
  EXPECT_EQ(Line(0), "ab " + inserted + " cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + int(W1251(inserted).size()) - 4);
  // Ticks taken back leave their fields out; empty fields give empty values.
  SelectTitle();
  d = Open("Action12", InsLink);
  d->CheckBox2->SetChecked(true);
  d->CheckBox2->SetChecked(false);
  EXPECT_FALSE(d->ComboBox1->Enabled());
  Ok(d);
  EXPECT_EQ(Line(0), "ab <A href=\"\">Title</A> cd");
}

TEST_F(DialogsTest, PictureOptions) {
  SelectTitle();
  TInsPict* d = Open("Action13", InsPict);
  Shot(d, "picture");
  Type(d->URl, "a.gif");
  Ok(d);
  EXPECT_EQ(Line(0), "ab <IMG src=\"a.gif\" border=\"0\">Title cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + int(std::string("<IMG src=\"a.gif\" border=\"0\">Title").size()));
  Ed()->Undo();
  EXPECT_EQ(Line(0), "ab Title cd");

  SelectTitle();
  d = Open("Action13", InsPict);
  Type(d->URl, "b.png");
  d->UpDown1->Step(true);
  d->UpDown1->Step(true);
  d->CheckBox1->SetChecked(true);
  Type(d->Edit1, "кот");
  d->CheckBox2->SetChecked(true);
  EXPECT_TRUE(d->Edit3->Enabled());
  Type(d->Edit2, "10");
  Type(d->Edit3, "20");
  d->CheckBox3->SetChecked(true);
  d->ComboBox1->SetItemIndex(4);
  Ok(d);
  EXPECT_EQ(Line(0), "ab <IMG src=\"b.png\" border=\"2\" alt=\"кот\" width=10 height=20 align=\"middle\">Title cd");
}

TEST_F(DialogsTest, TableRowAndCellWithTheirAttributesAndColour) {
  SelectTitle();
  TTable* d = Open("AddRow", Table);
  Shot(d, "table");
  EXPECT_TRUE(d->AddStroky->Checked());
  d->CheckBox1->SetChecked(true);  // a border is for tables only
  d->CustW->SetChecked(true);
  Type(d->Width, "50");
  Ok(d);
  EXPECT_EQ(Line(0), "ab <TR width=\"50\">Title</TR> cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + int(std::string("<TR width=\"50\">Title").size()));

  Ed()->SetText("");
  d = Open("AddCell", Table);
  EXPECT_TRUE(d->AddCell->Checked());
  Ok(d);
  EXPECT_EQ(Line(0), "<TD></TD>");
  EXPECT_EQ(Ed()->CaretX(), 5);

  Ed()->SetText("");
  d = Open("AddTable", Table);
  EXPECT_TRUE(d->AddTable->Checked());
  EXPECT_FALSE(d->ColorButton->Enabled());
  for (TCheckBox* b : {d->CheckBox1, d->CustW, d->CustH, d->kletki, d->Color, d->Pict}) b->SetChecked(true);
  Type(d->Border, "1");
  // An arrow steps from what is typed, whatever its size.
  Type(d->Width, "600");
  for (int i = 0; i < d->Width->Parent()->ControlCount(); ++i)
    if (auto* arrows = dynamic_cast<TUpDown*>(d->Width->Parent()->Controls(i)); arrows && arrows->Associate() == d->Width) {
      SimulateMouse(arrows, smPress, mbLeft, 4, 2);
      SimulateMouse(arrows, smRelease, mbLeft, 4, 2);
    }
  dialogs.Answer(IDOK, "", clRed);
  d->ColorButton->Click();
  EXPECT_EQ(d->ColorBox->Text(), "#FF0000");
  dialogs.Answer(IDCANCEL);
  d->ColorButton->Click();
  EXPECT_EQ(d->ColorBox->Text(), "#FF0000");
  // A system colour is written as the colour it stands for.
  dialogs.Answer(IDOK, "", clBtnFace);
  d->ColorButton->Click();
  AnsiString face = d->ColorBox->Text();
  EXPECT_EQ(face, "#" + ColorDigits(ColorToRGB(clBtnFace)));
  EXPECT_NE(face, "#0F0000");
  Ok(d);
  std::string open = "<TABLE border=\"1\" width=\"601\" height=\"0\" cellspacing=\"0\" bgcolor=\"" + face +
                     "\" background=\"images/fon.gif\">";
  EXPECT_EQ(Line(0), open + "</TABLE>");
  EXPECT_EQ(Ed()->CaretX(), 1 + int(open.size()));
}

TEST_F(DialogsTest, ListsOneItemPerMemoLine) {
  Ed()->SetText("x");
  Ed()->PlaceCaretAndSelection(BufferCoord(2, 1), BufferCoord(1, 1), BufferCoord(2, 1));
  Ed()->ClearUndo();
  TInsertList* d = Open("addlist", InsertList);
  Shot(d, "list");
  EXPECT_EQ(d->Punktes->Lines()->Count(), 1);
  EXPECT_EQ(d->Punktes->Lines()->Get(0), "x");
  EXPECT_TRUE(d->numfa->Checked());
  d->Numtr->SetChecked(true);
  d->Punktes->Lines()->SetText("one\r\ntwo\r\nthree");
  Ok(d);
  ASSERT_EQ(Ed()->Lines()->Count(), 5);
  const char* expected[] = {"<OL>", "<LI>one", "<LI>two", "<LI>three", "</OL>"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Line(i), expected[i]);
  EXPECT_EQ(Ed()->CaretXY(), BufferCoord(1, 5));
  // The selection's deletion and every line go back in one undo.
  Ed()->Undo();
  EXPECT_EQ(Ed()->Lines()->Count(), 1);
  EXPECT_EQ(Line(0), "x");

  Ed()->SetText("");
  d = Open("addlist", InsertList);
  EXPECT_EQ(d->Punktes->Lines()->Count(), 0);
  Ok(d);
  ASSERT_EQ(Ed()->Lines()->Count(), 2);
  EXPECT_EQ(Line(0), "<UL>");
  EXPECT_EQ(Line(1), "</UL>");
}

}  // namespace

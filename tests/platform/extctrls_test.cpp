#include <gtest/gtest.h>

#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/input_simulation.h"

namespace {

struct Clicks : TObject {
  int n = 0;
  void Click(TObject*) { ++n; }
};

TEST(DialogControls, RadioButtonsGroupsListsAndPages) {
  TForm f(nullptr);
  f.SetCaption(W1251("Поиск текста"));
  f.SetBounds(0, 0, 360, 300);
  auto* pages = new TPageControl(&f);
  pages->SetParent(&f);
  pages->SetAlign(alClient);
  auto* p1 = new TTabSheet(&f);
  p1->SetCaption(W1251("Общие"));
  p1->SetPageControl(pages);
  auto* p2 = new TTabSheet(&f);
  p2->SetCaption(W1251("Список вставки"));
  p2->SetPageControl(pages);

  auto* box = new TGroupBox(&f);
  box->SetCaption(W1251("Стиль"));
  box->SetParent(p1);
  box->SetBounds(8, 8, 200, 70);
  auto* std = new TRadioButton(&f);
  std->SetCaption(W1251("Обычный"));
  std->SetParent(box);
  std->SetBounds(8, 18, 150, 20);
  auto* xp = new TRadioButton(&f);
  xp->SetCaption("Office XP");
  xp->SetParent(box);
  xp->SetBounds(8, 40, 150, 20);
  auto* dir = new TRadioGroup(&f);
  dir->SetCaption(W1251("Направление"));
  dir->SetParent(p1);
  dir->SetBounds(8, 90, 200, 70);
  dir->Items()->Add(W1251("Вперёд"));
  dir->Items()->Add(W1251("Назад"));
  dir->SetItemIndex(0);
  auto* list = new TListBox(&f);
  list->SetParent(p2);
  list->SetBounds(8, 8, 200, 100);
  list->Items()->Add("<B>");
  list->Items()->Add("<I>");
  f.Show();
  ProcessMessages();

  Clicks c;
  xp->OnClick = TNotifyEvent(&c, &Clicks::Click);
  std->SetChecked(true);
  xp->SetChecked(true);
  EXPECT_TRUE(xp->Checked());
  EXPECT_FALSE(std->Checked());
  EXPECT_EQ(c.n, 1);

  ASSERT_EQ(dir->ButtonCount(), 2);
  EXPECT_TRUE(dir->Buttons(0)->Checked());
  Clicks g;
  dir->OnClick = TNotifyEvent(&g, &Clicks::Click);
  dir->Buttons(1)->SetChecked(true);
  EXPECT_EQ(dir->ItemIndex(), 1);
  EXPECT_FALSE(dir->Buttons(0)->Checked());
  EXPECT_EQ(g.n, 1);

  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetItemIndex(1);
  EXPECT_EQ(list->ItemIndex(), 1);
  list->Items()->Delete(1);
  EXPECT_EQ(list->ItemIndex(), -1);

  std::string out = VT_TEST_OUTPUT_DIR;
  ForceDirectories(out);
  EXPECT_TRUE(SaveWindowImage(&f, out + "/dialog_controls.png"));

  // Pages switch by a click on their tab; only the active sheet shows.
  EXPECT_EQ(pages->ActivePage(), p1);
  EXPECT_TRUE(p1->Visible());
  EXPECT_FALSE(p2->Visible());
  Clicks changed;
  pages->OnChange = TNotifyEvent(&changed, &Clicks::Click);
  int x = -1;
  for (int i = 0; i < 300 && x < 0; ++i)
    if (pages->TabAt(i, 10) == 1) x = i;
  ASSERT_GE(x, 0);
  SimulateMouse(pages, smPress, mbLeft, x + 2, 10);
  SimulateMouse(pages, smRelease, mbLeft, x + 2, 10);
  EXPECT_EQ(pages->ActivePageIndex(), 1);
  EXPECT_TRUE(p2->Visible());
  EXPECT_FALSE(p1->Visible());
  EXPECT_EQ(changed.n, 1);
  delete p1;
  EXPECT_EQ(pages->PageCount(), 1);
  EXPECT_EQ(pages->ActivePage(), p2);
}

// A dialog from the keyboard: the first field has the focus at opening; Tab passes over labels,
// group boxes, hidden and disabled controls and stops once in a group of radio buttons, at the
// checked one; the arrows choose within the group.
TEST(DialogControls, KeyboardVisitsTheTabStopsAndArrowsChooseInAGroup) {
  TForm f(nullptr);
  f.SetFormBorderStyle(bsDialog);
  f.SetBounds(0, 0, 360, 300);
  auto add = [&f](auto* c, TWinControl* parent, int top) {
    c->SetParent(parent);
    c->SetBounds(8, top, 150, 22);
    return c;
  };
  add(new TLabel(&f), &f, 4)->SetCaption(W1251("Текст:"));
  TEdit* text = add(new TEdit(&f), &f, 24);
  TEdit* hidden = add(new TEdit(&f), &f, 50);
  hidden->SetVisible(false);
  TGroupBox* box = add(new TGroupBox(&f), &f, 76);
  box->SetBounds(8, 76, 200, 100);
  TRadioButton* r[3];
  for (int i = 0; i < 3; ++i) r[i] = add(new TRadioButton(&f), box, 18 + 24 * i);
  r[1]->SetChecked(true);
  TEdit* off = add(new TEdit(&f), &f, 180);
  off->SetEnabled(false);
  TCheckBox* check = add(new TCheckBox(&f), &f, 206);
  TMemo* memo = add(new TMemo(&f), &f, 230);
  TButton* ok = add(new TButton(&f), &f, 256);
  ok->SetTabOrder(0);  // made first, but the last stop of Tab
  ok->SetTabOrder(99);
  EXPECT_EQ(ok->TabOrder(), f.ControlCount() - 1);
  f.Show();
  ProcessMessages();
  EXPECT_TRUE(text->Focused());

  auto tab = [](TWinControl* from, bool back = false) {
    SimulateKeyStroke(from, VK_TAB, back ? TShiftState{ssShift} : TShiftState{});
  };
  tab(text);
  EXPECT_TRUE(r[1]->Focused());
  // Down chooses the next button; past the last one it goes round to the first.
  SimulateKeyStroke(r[1], VK_DOWN);
  EXPECT_TRUE(r[2]->Focused());
  EXPECT_TRUE(r[2]->Checked());
  EXPECT_FALSE(r[1]->Checked());
  SimulateKeyStroke(r[2], VK_RIGHT);
  EXPECT_TRUE(r[0]->Focused());
  EXPECT_TRUE(r[0]->Checked());
  SimulateKeyStroke(r[0], VK_UP);
  EXPECT_TRUE(r[2]->Checked());
  tab(r[2]);
  EXPECT_TRUE(check->Focused());
  tab(check);
  EXPECT_TRUE(memo->Focused());
  tab(memo);  // a memo of a dialog types a tab only with Ctrl
  EXPECT_EQ(memo->Text(), "");
  memo->SetFocus();
  SimulateKeyStroke(memo, VK_TAB, {ssCtrl});
  EXPECT_EQ(memo->Text(), "\t\r\n");
  tab(memo);
  EXPECT_TRUE(ok->Focused());
  tab(ok);
  EXPECT_TRUE(text->Focused());
  tab(text, true);
  EXPECT_TRUE(ok->Focused());
  tab(ok, true);
  EXPECT_TRUE(memo->Focused());
  tab(memo, true);
  tab(check, true);
  EXPECT_TRUE(r[2]->Focused());
  // A disabled group is passed over as a whole.
  box->SetEnabled(false);
  text->SetFocus();
  tab(text);
  EXPECT_TRUE(check->Focused());
}

TEST(DialogControls, UpDownStepsItsEdit) {
  TForm f(nullptr);
  auto* edit = new TEdit(&f);
  edit->SetParent(&f);
  edit->SetBounds(10, 10, 60, 21);
  auto* ud = new TUpDown(&f);
  ud->SetParent(&f);
  ud->SetMin(1);
  ud->SetMax(3);
  ud->SetPosition(1);
  ud->SetAssociate(edit);
  EXPECT_EQ(ud->Left(), 70);
  EXPECT_EQ(edit->Text(), "1");
  f.Show();
  SimulateMouse(ud, smPress, mbLeft, 4, 2);
  SimulateMouse(ud, smRelease, mbLeft, 4, 2);
  EXPECT_EQ(edit->Text(), "2");
  ud->Step(true);
  ud->Step(true);
  EXPECT_EQ(edit->Text(), "3");  // held at the maximum
  edit->SetText("abc");
  ud->Step(false);
  EXPECT_EQ(edit->Text(), "2");  // steps from the last position when the text is no number
  delete edit;
  EXPECT_EQ(ud->Associate(), nullptr);
  ud->Step(false);
  EXPECT_EQ(ud->Position(), 1);
}

}  // namespace

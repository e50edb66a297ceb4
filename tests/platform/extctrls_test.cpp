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

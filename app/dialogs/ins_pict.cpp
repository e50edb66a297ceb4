#include "app/dialogs/ins_pict.h"

#include "app/main_window.h"

TInsPict* InsPict = nullptr;

TInsPict::TInsPict(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Вставить картинку"), W1251("Добавление картинки"),
                 W1251("Сделайте ваши странички красивее путём добавления на них рисунков!"), "IMG", 420, 226) {
  int y = Top0() + 10;
  AddLabel(this, "Адрес:", 12, y, 100);
  URl = AddEdit(this, 120, y, 288);
  CheckBox1 = AddCheck(this, "Подсказка:", 12, y + 30, 104);
  Edit1 = AddEdit(this, 120, y + 30, 288);
  Governs(CheckBox1, {Edit1});
  TGroupBox* g = AddGroup(this, "Расположение и граница", 12, y + 62, 396, 112);
  AddLabel(g, "Толщина границы:", 12, 20, 140);
  Edit4 = AddEdit(g, 156, 20, 50, "0");
  UpDown1 = AddUpDown(g, Edit4);
  CheckBox2 = AddCheck(g, "Размер:", 12, 50, 140);
  Edit2 = AddEdit(g, 156, 50, 60, "0");
  AddLabel(g, "X", 222, 50, 12);
  Edit3 = AddEdit(g, 238, 50, 60, "0");
  Governs(CheckBox2, {Edit2, Edit3});
  CheckBox3 = AddCheck(g, "Расположение:", 12, 80, 140);
  ComboBox1 = AddCombo(g, 156, 80, 142, {"left", "right", "top", "bottom", "middle"}, "left");
  Governs(CheckBox3, {ComboBox1});
}

AnsiString TInsPict::TagText() const {
  AnsiString t = "<IMG src=\"" + URl->Text() + "\" border=\"" + Edit4->Text() + "\"";
  if (CheckBox1->Checked()) t += " alt=\"" + Edit1->Text() + "\"";
  if (CheckBox2->Checked()) t += " width=" + Edit2->Text() + " height=" + Edit3->Text();
  if (CheckBox3->Checked()) t += " align=\"" + ComboBox1->Text() + "\"";
  return t + ">";
}

// The tag goes before the selected text, which stays after it.
void TInsPict::OkClick() { Main->instag(TagText(), AnsiString(), 0); }

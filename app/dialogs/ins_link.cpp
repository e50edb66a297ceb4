#include "app/dialogs/ins_link.h"

#include "app/main_window.h"

TInsLink* InsLink = nullptr;

TInsLink::TInsLink(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Вставить ссылку"), W1251("Добавление гиперссылки"),
                 W1251("Ссылки предназначены для перехода к другим документам"), "<A>", 420, 270) {
  int y = Top0() + 8;
  TGroupBox* link = AddGroup(this, "Ссылка", 12, y, 396, 78);
  CheckBox2 = AddCheck(link, "Протокол:", 12, 20, 110);
  ComboBox1 = AddCombo(link, 126, 20, 130, {"http://", "ftp://", "mailto:", "news:", "telnet://"}, "http://");
  Governs(CheckBox2, {ComboBox1});
  AddLabel(link, "Адрес:", 12, 48, 110);
  URL = AddEdit(link, 126, 48, 258);
  TGroupBox* open = AddGroup(this, "Открыть в", 12, y + 84, 396, 50);
  CheckBox1 = AddCheck(open, "Фрейм:", 12, 20, 110);
  ComboBox2 = AddCombo(open, 126, 20, 130, {"_self", "_blank", "_parent", "_search", "main"}, "_self");
  Governs(CheckBox1, {ComboBox2});
  TGroupBox* text = AddGroup(this, "Текст", 12, y + 140, 396, 78);
  AddLabel(text, "Текст ссылки:", 12, 20, 110);
  Text = AddEdit(text, 126, 20, 258);
  CheckBox3 = AddCheck(text, "Подсказка:", 12, 48, 110);
  hint = AddEdit(text, 126, 48, 258);
  Governs(CheckBox3, {hint});
}

void TInsLink::Prefill() { Text->SetText(Main->SrcEdit1->SelText()); }

void TInsLink::OkClick() {
  AnsiString t = "<A href=\"";
  if (CheckBox2->Checked()) t += ComboBox1->Text();
  t += URL->Text() + "\"";
  if (CheckBox1->Checked()) t += " target=\"" + ComboBox2->Text() + "\"";
  if (CheckBox3->Checked()) t += " title=\"" + hint->Text() + "\"";
  t += ">";
  TSrcEdit* ed = Main->SrcEdit1;
  PaintLockScope lock(ed);
  ed->SetSelText(t + Text->Text() + "</A>");
  ed->SetCaretX(ed->CaretX() - 4);
}

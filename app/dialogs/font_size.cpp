#include "app/dialogs/font_size.h"

#include "app/main_window.h"

TFontSize* FontSize = nullptr;

TFontSize::TFontSize(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Размер шрифта"), W1251("Размер шрифта"), W1251("Можно изменить размер шрифта"), "Aa",
                 360, 150) {
  FreeOnClose = true;
  int y = Top0() + 10;
  AddLabel(this, "Выберите размер шрифта:", 12, y, 190);
  ComboBox1 = AddCombo(this, 206, y, 70,
                       {"0", "1", "2", "3", "4", "5", "6", "7", "8", "+3", "+2", "+1", "-1", "-2", "-3"}, "3");
  AddLabel(this, "Текст", 12, y + 34, 190);
  Edit1 = AddEdit(this, 12, y + 56, 336);
}

void TFontSize::Prefill() { Edit1->SetText(Main->SrcEdit1->SelText()); }

void TFontSize::OkClick() {
  TSrcEdit* ed = Main->SrcEdit1;
  PaintLockScope lock(ed);
  ed->SetSelText("<FONT size=\"" + ComboBox1->Text() + "\">" + Edit1->Text() + "</FONT>");
  ed->SetCaretX(ed->CaretX() - 7);
}

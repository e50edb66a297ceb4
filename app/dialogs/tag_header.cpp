#include "app/dialogs/tag_header.h"

#include "app/main_window.h"

TTagHeader* TagHeader = nullptr;

TTagHeader::TTagHeader(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Текст как заголовок"), W1251("Вставить заголовок"),
                 W1251("Можно добавить заголовок в текст"), "H", 380, 250) {
  FreeOnClose = true;
  int y = Top0() + 10;
  AddLabel(this, "Текст:", 12, y, 50);
  TXT = AddEdit(this, 64, y, 304);
  TGroupBox* style = AddGroup(this, "Стиль", 12, y + 34, 170, 166);
  TRadioButton** levels[] = {&h1, &h2, &h3, &h4, &h5, &h6};
  for (int i = 0; i < 6; ++i) {
    std::string caption = "Заголовок #" + std::to_string(i + 1);
    *levels[i] = AddRadio(style, caption.c_str(), 12, 20 + i * 23, 150);
  }
  h1->SetChecked(true);
  AlignEnbl = AddCheck(this, "", 196, y + 34, 18);
  AlignEnbl->SetHint(W1251("Включить положение на странице"));
  AlignBox = AddGroup(this, "Расположение", 216, y + 34, 152, 96);
  LeftAlign = AddRadio(AlignBox, "Слева", 12, 20, 130);
  AlignCent = AddRadio(AlignBox, "По центру", 12, 43, 130);
  RightAlign = AddRadio(AlignBox, "Справа", 12, 66, 130);
  AlignCent->SetChecked(true);
  Governs(AlignEnbl, {AlignBox});
}

int TTagHeader::Level() const {
  const TRadioButton* levels[] = {h1, h2, h3, h4, h5, h6};
  for (int i = 0; i < 6; ++i)
    if (levels[i]->Checked()) return i + 1;
  return 1;
}

void TTagHeader::Prefill() {
  TXT->SetText(AnsiString());
  TXT->SetText(Main->SrcEdit1->SelText());
}

void TTagHeader::OkClick() {
  AnsiString n = IntToStr(Level());
  AnsiString text = "<H" + n;
  if (AlignEnbl->Checked())
    text += AnsiString(" align=\"") + (AlignCent->Checked() ? "center\"" : LeftAlign->Checked() ? "left\"" : "right\"");
  text += ">" + TXT->Text() + "</H" + n + ">";
  // The pieces go in one after another at the caret, the first in place of the selection: one
  // insertion, one step to undo.
  TSrcEdit* ed = Main->SrcEdit1;
  PaintLockScope lock(ed);
  ed->SetSelText(text);
  ed->SetCaretX(ed->CaretX() - 5);
}

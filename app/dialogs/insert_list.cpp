#include "app/dialogs/insert_list.h"

#include "app/main_window.h"

TInsertList* InsertList = nullptr;

TInsertList::TInsertList(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Добавить список"), W1251("Добавление списка"),
                 W1251("Это облегчает жизнь пользователю"), "UL", 360, 250) {
  int y = Top0() + 8;
  TGroupBox* style = AddGroup(this, "Стиль", 12, y, 336, 48);
  Numtr = AddRadio(style, "Нумерованный", 12, 20, 150);
  numfa = AddRadio(style, "Ненумерованный", 170, 20, 156);
  numfa->SetChecked(true);
  TGroupBox* items = AddGroup(this, "Пункты", 12, y + 54, 336, 146);
  Punktes = new TMemo(this);
  Punktes->SetScrollBars(ssVertical);
  Punktes->SetWordWrap(false);
  Punktes->SetBounds(10, 20, 316, 116);
  Punktes->SetParent(items);
}

void TInsertList::Prefill() {
  AnsiString sel = Main->SrcEdit1->SelText();
  if (sel.empty()) return;
  // A selection over several lines gives the memo as many lines, as the memo shows it.
  TStringList lines;
  lines.SetText(sel);
  Punktes->Lines()->AddStrings(&lines);
}

void TInsertList::OkClick() {
  TSrcEdit* ed = Main->SrcEdit1;
  // One list is one step to undo, painted once.
  PaintLockScope lock(ed);
  ed->BeginUndoBlock();
  try {
    if (ed->SelAvail()) ed->SetSelText(AnsiString());
    if (Numtr->Checked()) Main->instag("<OL>\n", "</OL>", 5);
    else Main->instag("<UL>\n", "</UL>", 5);
    TStrings* lines = Punktes->Lines();
    for (int i = 0; i < lines->Count(); ++i) Main->instag("<LI>" + lines->Get(i), "\n", 0);
  } catch (...) {
    ed->EndUndoBlock();
    throw;
  }
  ed->EndUndoBlock();
}

#include "app/dialogs/table.h"

#include "app/main_window.h"

TTable* Table = nullptr;

TTable::TTable(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Таблица"), W1251("Добавить таблицу, строку или ячейку"),
                 W1251("Таблицы придают странице профессиональный вид"), "TD", 440, 290) {
  int y = Top0() + 8;
  TGroupBox* add = AddGroup(this, "Добавить", 12, y, 416, 48);
  AddTable = AddRadio(add, "Таблицу", 12, 20, 120);
  AddStroky = AddRadio(add, "Строку", 144, 20, 120);
  AddCell = AddRadio(add, "Ячейку", 276, 20, 120);
  TGroupBox* sizes = AddGroup(this, "Размеры", 12, y + 56, 416, 80);
  CheckBox1 = AddCheck(sizes, "Граница:", 12, 20, 90);
  Border = AddEdit(sizes, 104, 20, 50, "0");
  AddUpDown(sizes, Border);
  CustW = AddCheck(sizes, "Ширина:", 12, 50, 90);
  TTable::Width = AddEdit(sizes, 104, 50, 50, "0");
  AddUpDown(sizes, TTable::Width);
  CustH = AddCheck(sizes, "Высота:", 186, 20, 90);
  TTable::Height = AddEdit(sizes, 350, 20, 46, "0");
  AddUpDown(sizes, TTable::Height);
  kletki = AddCheck(sizes, "Межклеточное расст.:", 186, 50, 160);
  Edit1 = AddEdit(sizes, 350, 50, 46, "0");
  AddUpDown(sizes, Edit1);
  TGroupBox* looks = AddGroup(this, "Цвета и рисунки", 12, y + 142, 416, 80);
  Color = AddCheck(looks, "Цвет фона", 12, 20, 130);
  ColorBox = AddEdit(looks, 146, 20, 100, "#FFFFFF");
  ColorButton = AddColorButton(looks, ColorBox);
  Pict = AddCheck(looks, "Рисунок фона", 12, 50, 130);
  PictAddr = AddEdit(looks, 146, 50, 258, "images/fon.gif");
  Governs(CheckBox1, {Border});
  Governs(CustW, {TTable::Width});
  Governs(CustH, {TTable::Height});
  Governs(kletki, {Edit1});
  Governs(Color, {ColorBox, ColorButton});
  Governs(Pict, {PictAddr});
}

void TTable::TagParts(AnsiString& Open, AnsiString& Close, int& Back) const {
  const char* tag = AddStroky->Checked() ? "TR" : AddCell->Checked() ? "TD" : "TABLE";
  Open = AnsiString("<") + tag;
  // The border belongs to a table only; the other attributes go on whatever is added.
  if (AddTable->Checked() && CheckBox1->Checked()) Open += " border=\"" + Border->Text() + "\"";
  if (CustW->Checked()) Open += " width=\"" + TTable::Width->Text() + "\"";
  if (CustH->Checked()) Open += " height=\"" + TTable::Height->Text() + "\"";
  if (kletki->Checked()) Open += " cellspacing=\"" + Edit1->Text() + "\"";
  if (Color->Checked()) Open += " bgcolor=\"" + ColorBox->Text() + "\"";
  if (Pict->Checked()) Open += " background=\"" + PictAddr->Text() + "\"";
  Open += ">";
  Close = AnsiString("</") + tag + ">";
  Back = AddStroky->Checked() || AddCell->Checked() ? 5 : 8;
}

void TTable::OkClick() {
  AnsiString open, close;
  int back = 0;
  TagParts(open, close, back);
  Main->instag(open, close, back);
}

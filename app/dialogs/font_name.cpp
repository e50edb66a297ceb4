#include "app/dialogs/font_name.h"

#include "app/main_window.h"

TInsTagFontName* InsTagFontName = nullptr;

TInsTagFontName::TInsTagFontName(TComponent* AOwner)
    : TTagDialog(AOwner, W1251("Шрифт..."), W1251("Выбор шрифта"),
                 W1251("Можно использовать различные шрифты для текста (н-р: Arial)"), "Ab", 380, 104) {
  int y = Top0() + 10;
  AddLabel(this, "Выберите из списка или введите имя шрифта", 12, y, 356);
  ComboBox1 = AddCombo(this, 12, y + 24, 356,
                       {"Arial, Verdana, Tahoma", "Times New Roman", "Courier New", "Comic Sans MS"},
                       "Arial, Verdana, Tahoma");
}

void TInsTagFontName::OkClick() { Main->instag("<FONT face=\"" + ComboBox1->Text() + "\">", "</FONT>", 7); }

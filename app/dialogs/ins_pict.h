#pragma once
// The picture dialog: an IMG tag with address, border, and optional hint, size and alignment.
#include "app/dialogs/tag_dialog.h"

class TInsPict : public TTagDialog {
public:
  explicit TInsPict(TComponent* AOwner);
  AnsiString ClassName() const override { return "TInsPict"; }

  TEdit* URl = nullptr;
  TCheckBox* CheckBox1 = nullptr;  // "Подсказка:"
  TEdit* Edit1 = nullptr;
  TEdit* Edit4 = nullptr;  // border
  TUpDown* UpDown1 = nullptr;
  TCheckBox* CheckBox2 = nullptr;  // "Размер:"
  TEdit* Edit2 = nullptr;          // width
  TEdit* Edit3 = nullptr;          // height
  TCheckBox* CheckBox3 = nullptr;  // "Расположение:"
  TComboBox* ComboBox1 = nullptr;

  // The tag OK inserts.
  AnsiString TagText() const;
  void OkClick() override;
};

extern TInsPict* InsPict;

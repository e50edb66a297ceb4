#pragma once
// The link dialog: an A tag with address and optional protocol, target frame and title.
#include "app/dialogs/tag_dialog.h"

class TInsLink : public TTagDialog {
public:
  explicit TInsLink(TComponent* AOwner);
  AnsiString ClassName() const override { return "TInsLink"; }

  TCheckBox* CheckBox2 = nullptr;  // "Протокол:"
  TComboBox* ComboBox1 = nullptr;
  TEdit* URL = nullptr;
  TCheckBox* CheckBox1 = nullptr;  // "Фрейм:"
  TComboBox* ComboBox2 = nullptr;
  TEdit* Text = nullptr;
  TCheckBox* CheckBox3 = nullptr;  // "Подсказка:"
  TEdit* hint = nullptr;

  void OkClick() override;

protected:
  void Prefill() override;
};

extern TInsLink* InsLink;

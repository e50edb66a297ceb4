#pragma once
// The font-size dialog: the text in a FONT tag with the chosen size.
#include "app/dialogs/tag_dialog.h"

class TFontSize : public TTagDialog {
public:
  explicit TFontSize(TComponent* AOwner);
  AnsiString ClassName() const override { return "TFontSize"; }

  TComboBox* ComboBox1 = nullptr;
  TEdit* Edit1 = nullptr;

  void OkClick() override;

protected:
  void Prefill() override;
};

extern TFontSize* FontSize;

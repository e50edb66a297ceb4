#pragma once
// The font-face dialog: the selection in a FONT tag with the chosen face.
#include "app/dialogs/tag_dialog.h"

class TInsTagFontName : public TTagDialog {
public:
  explicit TInsTagFontName(TComponent* AOwner);
  AnsiString ClassName() const override { return "TInsTagFontName"; }

  TComboBox* ComboBox1 = nullptr;

  void OkClick() override;
};

extern TInsTagFontName* InsTagFontName;

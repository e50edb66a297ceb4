#pragma once
// The heading dialog: the text as a heading of level 1 to 6, optionally aligned.
#include "app/dialogs/tag_dialog.h"

class TTagHeader : public TTagDialog {
public:
  explicit TTagHeader(TComponent* AOwner);
  AnsiString ClassName() const override { return "TTagHeader"; }

  TEdit* TXT = nullptr;
  TRadioButton* h1 = nullptr;
  TRadioButton* h2 = nullptr;
  TRadioButton* h3 = nullptr;
  TRadioButton* h4 = nullptr;
  TRadioButton* h5 = nullptr;
  TRadioButton* h6 = nullptr;
  TCheckBox* AlignEnbl = nullptr;
  TGroupBox* AlignBox = nullptr;
  TRadioButton* LeftAlign = nullptr;
  TRadioButton* AlignCent = nullptr;
  TRadioButton* RightAlign = nullptr;

  // The chosen level, 1 to 6.
  int Level() const;
  void OkClick() override;

protected:
  void Prefill() override;
};

extern TTagHeader* TagHeader;

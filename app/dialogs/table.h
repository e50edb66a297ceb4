#pragma once
// The table dialog: a TABLE, TR or TD tag with the chosen attributes.
#include "app/dialogs/tag_dialog.h"

class TTable : public TTagDialog {
public:
  explicit TTable(TComponent* AOwner);
  AnsiString ClassName() const override { return "TTable"; }

  TRadioButton* AddTable = nullptr;
  TRadioButton* AddStroky = nullptr;
  TRadioButton* AddCell = nullptr;
  TCheckBox* CheckBox1 = nullptr;  // "Граница:"
  TEdit* Border = nullptr;
  TCheckBox* CustW = nullptr;
  TEdit* Width = nullptr;
  TCheckBox* CustH = nullptr;
  TEdit* Height = nullptr;
  TCheckBox* kletki = nullptr;
  TEdit* Edit1 = nullptr;
  TCheckBox* Color = nullptr;
  TEdit* ColorBox = nullptr;
  TButton* ColorButton = nullptr;
  TCheckBox* Pict = nullptr;
  TEdit* PictAddr = nullptr;

  // The opening tag, closing tag and back count OK hands to the insertion.
  void TagParts(AnsiString& Open, AnsiString& Close, int& Back) const;
  void OkClick() override;
};

extern TTable* Table;

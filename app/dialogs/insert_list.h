#pragma once
// The list dialog: a numbered or bulleted list with one item per memo line.
#include "app/dialogs/tag_dialog.h"

class TInsertList : public TTagDialog {
public:
  explicit TInsertList(TComponent* AOwner);
  AnsiString ClassName() const override { return "TInsertList"; }

  TRadioButton* Numtr = nullptr;
  TRadioButton* numfa = nullptr;
  TMemo* Punktes = nullptr;

  void OkClick() override;

protected:
  void Prefill() override;
};

extern TInsertList* InsertList;

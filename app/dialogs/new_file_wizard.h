#pragma once
// The new-page wizard: author, page, colours, pictures and headings on three pages; OK writes a
// whole page skeleton into a new document and asks where to save it.
#include <vector>

#include "app/dialogs/tag_dialog.h"

class TFileNewWizard : public TTagDialog {
public:
  explicit TFileNewWizard(TComponent* AOwner);
  AnsiString ClassName() const override { return "TFileNewWizard"; }

  TPageControl* PageControl1 = nullptr;
  // "Информация"
  TEdit* MetaAutorPageAutor = nullptr;
  TEdit* MetaAutorMailAutor = nullptr;
  TEdit* MetaPageTitle = nullptr;
  TEdit* MetaPageKeys = nullptr;
  TEdit* Descr = nullptr;
  // "Цвета и рисунки"
  TCheckBox* TextClr = nullptr;
  TEdit* txtclred = nullptr;
  TCheckBox* BckClr = nullptr;
  TEdit* BckClrEd = nullptr;
  TCheckBox* LnkCol = nullptr;
  TEdit* LnkColEd = nullptr;
  TCheckBox* BckImg = nullptr;
  TEdit* BckImgEd = nullptr;
  // "Содержание страницы"
  TEdit* Edit1 = nullptr;
  TEdit* Edit2 = nullptr;
  TEdit* Edit5 = nullptr;
  TEdit* Edit3 = nullptr;
  // The colour buttons, in the order of their fields above.
  std::vector<TButton*> ColorButtons;

  // The page's lines from the fields.
  std::vector<AnsiString> Skeleton() const;
  void OkClick() override;
};

extern TFileNewWizard* FileNewWizard;

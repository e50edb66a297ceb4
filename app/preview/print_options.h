#pragma once
// The print options: copies, colours, syntax, line numbers and selection only, the printer's
// set-up, and printing of the main window's source.
#include "editor-services/print/src_edit_print.h"
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"

class TPrntOpt : public TForm {
public:
  explicit TPrntOpt(TComponent* AOwner);
  ~TPrntOpt() override;
  AnsiString ClassName() const override { return "TPrntOpt"; }

  TPanel* Panel1 = nullptr;
  TLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr;
  TEdit* Copies = nullptr;
  TUpDown* UpDown1 = nullptr;
  TCheckBox *Colors = nullptr, *PrntSynt = nullptr, *Numb = nullptr, *OnlySel = nullptr;
  TButton *PrntSet = nullptr, *OkBut = nullptr, *CancelBut = nullptr;
  TSrcEditPrint* SrcEditPrint1 = nullptr;

  void FormShow(TObject* Sender);
  void FormHide(TObject* Sender);
  void PrntSetClick(TObject* Sender);
  void OkButClick(TObject* Sender);
  void CancelButClick(TObject* Sender);

private:
  bool closingToPrint_ = false;
};

extern TPrntOpt* PrntOpt;

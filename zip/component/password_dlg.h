#pragma once
// The password dialog of the zip component: a prompt, a masked edit and up to four buttons in a
// row (OK, Cancel, cancel-all, Abort), built in code.
#include "platform/forms.h"
#include "platform/stdctrls.h"

class TPasswordDlg : public TForm {
public:
  enum : unsigned { pbOk = 1, pbCancel = 2, pbCancelAll = 4, pbAbort = 8 };
  // The cancel-all button's modal result.
  static constexpr int mrCancelAll = 9;

  TPasswordDlg(TComponent* AOwner, unsigned Buttons);
  AnsiString ClassName() const override { return "TPasswordDlg"; }
  // Shows the dialog modally; the typed password when it closed with OK, else empty.
  AnsiString ShowForm(const AnsiString& Caption, const AnsiString& Prompt);

  TLabel* Prompt = nullptr;
  TEdit* PwdEdit = nullptr;
  TButton* OkButton = nullptr;
  TButton* CancelButton = nullptr;
  TButton* CancelAllButton = nullptr;
  TButton* AbortButton = nullptr;
};

#include "zip/component/password_dlg.h"

#include "platform/extctrls.h"
#include "zip/component/zip_keeper.h"

TPasswordDlg::TPasswordDlg(TComponent* AOwner, unsigned Buttons) : TForm(AOwner) {
  SetFormBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  auto* keeper = dynamic_cast<TZipKeeper*>(AOwner);
  auto text = [keeper](int id, const char* fallback) {
    AnsiString s = keeper ? keeper->ZipLoadStr(id) : AnsiString();
    return s.empty() ? Utf8ToAnsi(fallback) : s;
  };
  struct TSpec {
    unsigned Bit;
    int Id;
    const char* Caption;
    int Result;
    TButton** Field;
  };
  const TSpec specs[] = {
      {pbOk, 10152, "OK", mrOk, &OkButton},
      {pbCancel, 10153, "Отмена", mrCancel, &CancelButton},
      {pbCancelAll, 10157, "Отменить все", mrCancelAll, &CancelAllButton},
      {pbAbort, 10158, "Прервать", mrAbort, &AbortButton},
  };
  Buttons |= pbOk;
  int n = 0;
  for (auto& s : specs) n += (Buttons & s.Bit) ? 1 : 0;
  SetBounds(0, 0, n * 124 + 35, 137);
  // The dialog's face behind its controls.
  auto* face = new TPanel(this);
  face->SetParent(this);
  face->SetBevelOuter(bvNone);
  face->SetAlign(alClient);
  Prompt = new TLabel(this);
  Prompt->SetParent(face);
  Prompt->SetBounds(20, 8, 297, 18);
  PwdEdit = new TEdit(this);
  PwdEdit->SetParent(face);
  PwdEdit->SetBounds(20, 40, n * 124 - 10, 21);
  PwdEdit->SetPasswordChar('*');
  PwdEdit->SetMaxLength(80);
  int index = 0;
  for (auto& s : specs) {
    if (!(Buttons & s.Bit)) continue;
    auto* b = new TButton(this);
    b->SetParent(face);
    b->SetBounds(20 + 124 * index++, 72, 114, 28);
    b->SetCaption(text(s.Id, s.Caption));
    b->SetModalResult(s.Result);
    if (s.Bit == pbOk) b->SetDefault(true);
    if (s.Bit == pbCancel) b->SetCancel(true);
    *s.Field = b;
  }
  // The form's font, Arial bold of 12 pixels, on every control.
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* t = dynamic_cast<TTextControl*>(Components(i))) {
      t->Font()->SetName("Arial");
      t->Font()->SetHeight(-12);
      t->Font()->SetStyle(TFontStyles{fsBold});
    }
}

AnsiString TPasswordDlg::ShowForm(const AnsiString& Caption, const AnsiString& PromptText) {
  SetCaption(Caption);
  Prompt->SetCaption(PromptText);
  PwdEdit->SetText(AnsiString());
  ShowModal();
  return ModalResult() == mrOk ? PwdEdit->Text() : AnsiString();
}

#include "app/find/confirm_replace_dialog.h"

#include "app/find/search_dialogs.h"

#include "editor/src_edit.h"
#include "platform/graphics.h"
#include "platform/icons.h"
#include "platform/sysutils.h"

TConfirmReplaceDialog* ConfirmReplaceDialog = nullptr;

namespace {

// The question picture of the header: the theme's icon, or a drawn one. It is made when the
// dialog first shows: the dialog is made at the program's start, and looking the icon up reads
// the desktop's icon themes, which the main window's first paint has no need of.
class TQuestionImage : public TCustomControl {
public:
  explicit TQuestionImage(TComponent* AOwner) : TCustomControl(AOwner) {
    SetTabStop(false);
    SetColor(clWhite);
  }

protected:
  void Paint(TCanvas* Canvas, const TRect&) override {
    if (!made_) {
      made_ = true;
      if (!LoadThemeIcon("dialog-question", 32, picture_))
        DrawIcon(32, picture_, [](TIconCanvas& c) {
          c.SetPen(clNavy, 1);
          c.SetFill(static_cast<TColor>(0x00F0C060));
          c.Ellipse(1.5, 1.5, 13, 13);
          c.SetPen(clWhite, 1);
          c.Text(1.5, 1.5, 13, 13, "?", 10, {fsBold});
        });
    }
    Canvas->Brush()->SetColor(clWhite);
    Canvas->FillRect(TRect{0, 0, Width(), Height()});
    Canvas->Draw(0, 0, &picture_);
  }

private:
  TBitmap picture_;
  bool made_ = false;
};

}  // namespace

TConfirmReplaceDialog::TConfirmReplaceDialog(TComponent* AOwner) : TForm(AOwner) {
  SetName("ConfirmReplaceDialog");
  SetCaption(W1251("Поиск и замена"));
  SetFormBorderStyle(bsDialog);
  SetPosition(poDesigned);

  pnlHeader = NewDialogPanel(this, "pnlHeader", alTop, clWhite, 64);
  auto* image = new TQuestionImage(this);
  image->SetName("imgQuestion");
  image->SetBounds(12, 16, 32, 32);
  image->SetParent(pnlHeader);
  imgQuestion = image;
  lblQuestion = new TLabel(this);
  lblQuestion->SetName("lblQuestion");
  lblQuestion->Font()->SetStyle({fsBold});
  lblQuestion->SetCaption(W1251("Заменить этот текст?"));
  lblQuestion->SetBounds(56, 14, 270, 16);
  lblQuestion->SetColor(clWhite);
  lblQuestion->SetParent(pnlHeader);
  lblConfirmation = new TLabel(this);
  lblConfirmation->SetName("lblConfirmation");
  lblConfirmation->SetBounds(56, 36, 270, 16);
  lblConfirmation->SetColor(clWhite);
  lblConfirmation->SetParent(pnlHeader);

  struct Def {
    TButton** Field;
    const char* Name;
    const char* Caption;
    int Result;
  };
  const Def buttons[] = {
      {&btnReplace, "btnReplace", "&Да", mrYes},
      {&btnSkip, "btnSkip", "&Нет", mrNo},
      {&btnCancel, "btnCancel", "&Отмена", mrCancel},
      {&btnReplaceAll, "btnReplaceAll", "&Все", mrReplaceAll},
  };
  pnlBody = NewDialogPanel(this, "pnlBody", alClient, clBtnFace);
  int x = 8;
  for (const Def& d : buttons) {
    auto* b = new TButton(this);
    b->SetName(d.Name);
    b->SetCaption(W1251(d.Caption));
    b->SetModalResult(d.Result);
    b->SetBounds(x, 10, 75, 25);
    b->SetParent(pnlBody);
    *d.Field = b;
    x += 81;
  }
  btnReplace->SetDefault(true);
  btnCancel->SetCancel(true);
  SetClientSize(x + 2, 110);
}

TConfirmReplaceDialog::~TConfirmReplaceDialog() {
  if (ConfirmReplaceDialog == this) ConfirmReplaceDialog = nullptr;
}

void TConfirmReplaceDialog::PrepareShow(const TRect& AArea, int AX, const AnsiString& AText, int AY, int AY2) {
  // The text as it is: an ampersand of it is no access key.
  AnsiString shown;
  for (char c : AText) {
    shown += c;
    if (c == '&') shown += '&';
  }
  lblConfirmation->SetCaption(Format("%s", {shown}));
  int w = Width(), h = Height();
  int areaWidth = AArea.Width(), areaHeight = AArea.Height();
  int left;
  if (w >= areaWidth)
    left = AArea.Left - (w - areaWidth) / 2;
  else if (AX + w > AArea.Right)
    left = AArea.Right - w;
  else
    left = AX;
  int top;
  if (AY > AArea.Top + MulDiv(areaHeight, 2, 3))
    top = AY2 - h - 4;
  else
    top = AY + 4;
  SetBounds(left, top, w, h);
}

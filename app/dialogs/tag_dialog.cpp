#include "app/dialogs/tag_dialog.h"

#include <cstdio>
#include <limits>

#include "app/main_window.h"
#include "platform/graphics.h"
#include "platform/icons.h"

void EnableMainWindow(bool Enabled) {
  if (Main) Main->SetEnabled(Enabled);
}

// ------------------------------------------------------------------------------ header band

TDialogHeader::TDialogHeader(TComponent* AOwner, const AnsiString& Title, const AnsiString& Text,
                             const AnsiString& Picture)
    : TCustomControl(AOwner), title_(Title), text_(Text), picture_(Picture) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
  SetColor(clWhite);
  SetAlign(alTop);
  SetHeight(kHeight);
}

namespace {

// Words of Text in lines no wider than Width.
std::vector<AnsiString> WrapText(TCanvas* c, const AnsiString& Text, int Width) {
  std::vector<AnsiString> lines;
  AnsiString line;
  size_t i = 0;
  while (i < Text.size()) {
    size_t j = Text.find(' ', i);
    if (j == AnsiString::npos) j = Text.size();
    AnsiString word = Text.substr(i, j - i);
    AnsiString tryLine = line.empty() ? word : line + " " + word;
    if (!line.empty() && c->TextWidth(tryLine) > Width) {
      lines.push_back(line);
      line = word;
    } else {
      line = tryLine;
    }
    i = j + 1;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

}  // namespace

void TDialogHeader::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(clWhite);
  c->FillRect(r);
  // A sheet with the dialog's sign on it.
  TBitmap pic;
  AnsiString sign = picture_;
  DrawIcon(40, pic, [&sign](TIconCanvas& ic) {
    ic.SetPen(RGB(0x40, 0x60, 0x90), 1);
    ic.SetFill(RGB(0xF4, 0xF8, 0xFF));
    ic.Polygon({2.5, 1.5, 10.5, 1.5, 13.5, 4.5, 13.5, 14.5, 2.5, 14.5});
    ic.Polyline({10.5, 1.5, 10.5, 4.5, 13.5, 4.5});
    ic.SetPen(RGB(0xC0, 0x30, 0x20), 1);
    // Smaller letters for longer signs, so that the sign stays on the sheet.
    double height = sign.size() <= 2 ? 6.5 : sign.size() == 3 ? 4.2 : 12.0 / static_cast<double>(sign.size());
    ic.Text(3, 5, 10, 8, sign, height, {fsBold});
  });
  c->Draw(10, (r.Height() - pic.Height()) / 2, &pic);
  int x = 62;
  c->Brush()->SetStyle(bsClear);
  TFont font;
  c->Font()->Assign(&font);
  c->Font()->SetStyle({fsBold});
  c->TextOut(x, 10, title_);
  c->Font()->SetStyle({});
  int y = 10 + c->TextHeight("Wy") + 4;
  // The explanation keeps a margin from the dialog's right edge, as wide as the one on the left.
  for (const AnsiString& l : WrapText(c, text_, r.Width() - x - 8 - 10)) {
    c->TextOut(x + 8, y, l);
    y += c->TextHeight("Wy");
  }
  c->Brush()->SetStyle(bsSolid);
  // The line under the band.
  c->Brush()->SetColor(clBtnShadow);
  c->FillRect(TRect{0, r.Bottom - 1, r.Right, r.Bottom});
}

// ------------------------------------------------------------------------------ TWrapLabel

TWrapLabel::TWrapLabel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetBorderStyle(bsNone);
  SetTabStop(false);
}

void TWrapLabel::SetCaption(const AnsiString& v) {
  caption_ = v;
  Invalidate();
}

void TWrapLabel::Paint(TCanvas* c, const TRect&) {
  TRect r = ClientRect();
  c->Brush()->SetColor(Parent() ? Parent()->Color() : Color());
  c->FillRect(r);
  c->Font()->Assign(&font_);
  c->Brush()->SetStyle(bsClear);
  int y = 0, h = c->TextHeight("Wy");
  for (const AnsiString& l : WrapText(c, caption_, r.Width())) {
    c->TextOut(0, y, l);
    y += h;
  }
  c->Brush()->SetStyle(bsSolid);
}

// ------------------------------------------------------------------------------ colours

AnsiString ColorDigits(TColor Color) {
  TColor c = ColorToRGB(Color);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", static_cast<unsigned>(c & 0xFF),
                static_cast<unsigned>((c >> 8) & 0xFF), static_cast<unsigned>((c >> 16) & 0xFF));
  return buf;
}

bool PickFieldColor(TColorDialog* Dialog, TEdit* Field) {
  if (!Dialog->Execute()) return false;
  Field->SetText("#" + ColorDigits(Dialog->Color));
  return true;
}

// ------------------------------------------------------------------------------ TTagDialog

TTagDialog::TTagDialog(TComponent* AOwner, const AnsiString& Caption, const AnsiString& Title,
                       const AnsiString& Text, const AnsiString& Picture, int ClientW, int ClientH)
    : TForm(AOwner) {
  SetCaption(Caption);
  SetFormBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  Header = new TDialogHeader(this, Title, Text, Picture);
  Header->SetParent(this);
  SetClientSize(ClientW, Top0() + ClientH);
  int by = Top0() + ClientH - 33;
  OkButton = new TButton(this);
  OkButton->SetCaption("Ok");
  OkButton->SetDefault(true);
  OkButton->SetBounds(ClientW - 170, by, 75, 25);
  OkButton->OnClick = TNotifyEvent(this, &TTagDialog::OkButtonClick);
  OkButton->SetParent(this);
  CancelButton = new TButton(this);
  CancelButton->SetCaption(W1251("Отмена"));
  CancelButton->SetCancel(true);
  CancelButton->SetBounds(ClientW - 87, by, 75, 25);
  CancelButton->OnClick = TNotifyEvent(this, &TTagDialog::CancelButtonClick);
  CancelButton->SetParent(this);
  ColorDialog1 = new TColorDialog(this);
}

TTagDialog::~TTagDialog() {
  // A dialog freed while it shows gives the main window back.
  if (Visible()) EnableMainWindow(true);
}

void TTagDialog::DoShow() {
  // Tab goes through the fields first, then to "Ok" and "Отмена"; the first field has the focus.
  OkButton->SetTabOrder(ControlCount());
  CancelButton->SetTabOrder(ControlCount());
  TForm::DoShow();
  Prefill();
  EnableMainWindow(false);
}

void TTagDialog::DoHide() {
  EnableMainWindow(true);
  TForm::DoHide();
}

void TTagDialog::DoClose(TCloseAction& Action) {
  TForm::DoClose(Action);
  if (FreeOnClose && Action == caHide) {
    Action = caFree;
    EnableMainWindow(true);
  }
}

void TTagDialog::Paint(TCanvas* c, const TRect&) {
  c->Brush()->SetColor(Color());
  c->FillRect(ClientRect());
}

void TTagDialog::OkButtonClick(TObject*) {
  OkClick();
  Close();
}

void TTagDialog::CancelButtonClick(TObject*) { Close(); }

TLabel* TTagDialog::AddLabel(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W) {
  auto* l = new TLabel(this);
  l->SetCaption(W1251(CaptionUtf8));
  l->SetBounds(X, Y + 3, W > 0 ? W : 8 + 7 * static_cast<int>(AnsiString(W1251(CaptionUtf8)).size()), 17);
  l->SetParent(Parent);
  return l;
}

TEdit* TTagDialog::AddEdit(TWinControl* Parent, int X, int Y, int W, const AnsiString& Text) {
  auto* e = new TEdit(this);
  e->SetBounds(X, Y, W, 22);
  e->SetText(Text);
  e->SetParent(Parent);
  return e;
}

TCheckBox* TTagDialog::AddCheck(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W) {
  auto* b = new TCheckBox(this);
  b->SetCaption(W1251(CaptionUtf8));
  b->SetBounds(X, Y + 1, W, 20);
  b->SetParent(Parent);
  return b;
}

TRadioButton* TTagDialog::AddRadio(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W) {
  auto* b = new TRadioButton(this);
  b->SetCaption(W1251(CaptionUtf8));
  b->SetBounds(X, Y, W, 20);
  b->SetParent(Parent);
  return b;
}

TGroupBox* TTagDialog::AddGroup(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W, int H) {
  auto* g = new TGroupBox(this);
  g->SetCaption(W1251(CaptionUtf8));
  g->SetBounds(X, Y, W, H);
  g->SetParent(Parent);
  return g;
}

TComboBox* TTagDialog::AddCombo(TWinControl* Parent, int X, int Y, int W, std::initializer_list<const char*> Items,
                                const char* TextUtf8) {
  auto* c = new TComboBox(this);
  c->SetBounds(X, Y, W, 22);
  for (const char* i : Items) c->Items()->Add(W1251(i));
  c->SetText(W1251(TextUtf8));
  c->SetParent(Parent);
  return c;
}

TUpDown* TTagDialog::AddUpDown(TWinControl* Parent, TEdit* Edit) {
  auto* u = new TUpDown(this);
  // The fields take any number: the arrows step from any of them.
  u->SetMin(0);
  u->SetMax(std::numeric_limits<int>::max());
  u->SetBounds(0, 0, 17, Edit->Height());
  u->SetParent(Parent);
  u->SetAssociate(Edit);
  return u;
}

TButton* TTagDialog::AddColorButton(TWinControl* Parent, TEdit* Field) {
  auto* b = new TButton(this);
  b->SetCaption("...");
  b->SetBounds(Field->Left() + Field->Width() + 4, Field->Top(), 26, Field->Height());
  b->OnClick = TNotifyEvent(this, &TTagDialog::ColorButtonClick);
  b->SetParent(Parent);
  colorButtons_.push_back({b, Field});
  return b;
}

void TTagDialog::ColorButtonClick(TObject* Sender) {
  for (auto& [button, field] : colorButtons_)
    if (button == Sender) PickFieldColor(ColorDialog1, field);
}

void TTagDialog::Governs(TCheckBox* Box, std::initializer_list<TControl*> Controls) {
  governed_.push_back({Box, std::vector<TControl*>(Controls)});
  for (TControl* c : Controls) c->SetEnabled(Box->Checked());
  Box->OnClick = TNotifyEvent(this, &TTagDialog::CheckClick);
}

void TTagDialog::CheckClick(TObject* Sender) {
  for (TGoverned& g : governed_) {
    if (g.Box != Sender) continue;
    bool on = g.Box->Checked();
    for (TControl* c : g.Controls) c->SetEnabled(on);
    // Ticking moves on to the next control, the first field the box governs.
    if (on && !g.Controls.empty())
      if (auto* w = dynamic_cast<TWinControl*>(g.Controls.front()); w && w->CanFocus()) w->SetFocus();
  }
}

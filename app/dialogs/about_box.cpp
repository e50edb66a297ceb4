#include "app/dialogs/about_box.h"

#include "app/data_folder.h"
#include "app/dialogs/tag_dialog.h"
#include "app/main_window.h"
#include "platform/icons.h"
#include "platform/system_metrics.h"

TAboutBox* AboutBox = nullptr;

namespace {
constexpr const char* kWebAddress = "https://vantry-tarn.example/";
constexpr const char* kSupportAddress = "support@vantry-tarn.example";
constexpr const char* kMessenger = "ICQ: 000-000-000";
}  // namespace

// A picture the about box draws: the program's sign or the band under its name.
class TAboutPicture : public TCustomControl {
public:
  TAboutPicture(TComponent* AOwner, bool Band) : TCustomControl(AOwner), band_(Band) {
    SetBorderStyle(bsNone);
    SetTabStop(false);
  }

protected:
  void Paint(TCanvas* c, const TRect&) override {
    TRect r = ClientRect();
    c->Brush()->SetColor(Parent() ? Parent()->Color() : clBtnFace);
    c->FillRect(r);
    if (band_) {
      // Blue fading to the face colour.
      for (int x = 0; x < r.Width(); ++x) {
        int k = 255 * x / std::max(1, r.Width());
        c->Brush()->SetColor(RGB(0x20 + (0xD4 - 0x20) * k / 255, 0x50 + (0xD0 - 0x50) * k / 255, 0xA0 + (0xC8 - 0xA0) * k / 255));
        c->FillRect(TRect{x, 0, x + 1, r.Height()});
      }
      return;
    }
    TBitmap pic;
    DrawIcon(std::min(r.Width(), r.Height()), pic, [](TIconCanvas& ic) {
      ic.SetPen(RGB(0x20, 0x40, 0x80), 1);
      ic.SetFill(RGB(0x30, 0x70, 0xC0));
      ic.Rect(1.5, 1.5, 13, 13, 2);
      ic.SetPen(clWhite, 1);
      ic.Text(1.5, 3, 13, 10, "VT", 7, {fsBold});
    });
    c->Draw(0, 0, &pic);
  }

private:
  bool band_;
};

AnsiString TAboutBox::WebAddress() { return kWebAddress; }
AnsiString TAboutBox::MailLink() { return AnsiString("mailto:") + kSupportAddress + "?Subject=Vantry%20Tarn"; }

TAboutBox::TAboutBox(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(W1251("О программе"));
  SetFormBorderStyle(bsDialog);
  SetPosition(poMainFormCenter);
  SetClientSize(380, 300);
  Panel1 = new TPanel(this);
  Panel1->SetBevelOuter(bvRaised);
  Panel1->SetCaption(AnsiString());
  Panel1->SetAlign(alClient);
  Panel1->SetParent(this);
  auto label = [this](const AnsiString& caption, int x, int y, int w) {
    auto* l = new TLabel(this);
    l->SetCaption(caption);
    l->SetBounds(x, y, w, 17);
    l->SetParent(Panel1);
    return l;
  };
  Image1 = new TAboutPicture(this, false);
  Image1->SetBounds(16, 16, 48, 48);
  Image1->SetParent(Panel1);
  ProductName = label("Vantry Tarn", 80, 18, 280);
  ProductName->Font()->SetHeight(-19);
  ProductName->Font()->SetStyle({fsBold});
  ProductName->SetHeight(26);
  Image2 = new TAboutPicture(this, true);
  Image2->SetBounds(80, 46, 284, 4);
  Image2->SetParent(Panel1);
  Version = label(W1251("Версия 1.2"), 80, 56, 120);
  Version->SetCursor(crHandPoint);
  Version->SetHint(W1251("Обновить Вашу версию"));
  Version->Font()->SetColor(clNavy);
  Version->Font()->SetStyle({fsUnderline});
  Version->OnClick = TNotifyEvent(this, &TAboutBox::VersionClick);
  Alpha = label("Alpha", 300, 56, 64);
  Alpha->SetAlignment(taRightJustify);
  Comments = new TWrapLabel(this);
  Comments->SetCaption(W1251("Vantry Tarn - Это простой, быстрый и удобный HTML-редактор. С его помощью Вы сможете "
                             "быстро и легко создать сайт с очень компактными страницами"));
  Comments->SetBounds(16, 90, 350, 66);
  Comments->SetParent(Panel1);
  WebLabel = label(kWebAddress, 16, 166, 352);
  MailLabel = label(kSupportAddress, 16, 186, 352);
  for (TLabel* l : {WebLabel, MailLabel}) {
    l->SetCursor(crHandPoint);
    l->Font()->SetColor(clNavy);
    l->Font()->SetStyle({fsUnderline});
  }
  WebLabel->OnClick = TNotifyEvent(this, &TAboutBox::WebClick);
  MailLabel->OnClick = TNotifyEvent(this, &TAboutBox::MailClick);
  Messenger = label(kMessenger, 16, 206, 352);
  OKButton = new TButton(this);
  OKButton->SetCaption("OK");
  OKButton->SetDefault(true);
  OKButton->SetCancel(true);
  OKButton->SetBounds(152, 236, 75, 25);
  OKButton->OnClick = TNotifyEvent(this, &TAboutBox::OKButtonClick);
  OKButton->SetParent(Panel1);
}

TAboutBox::~TAboutBox() {
  if (Visible()) EnableMainWindow(true);
}

void TAboutBox::DoShow() {
  TForm::DoShow();
  // The box shows without a caption bar, framed by its panel's thin raised edge, and the window
  // loses the caption's height.
  if (!captionRemoved_ && FormBorderStyle() != fbsNone) {
    captionRemoved_ = true;
    SetFormBorderStyle(fbsNone);
    SetBounds(Left(), Top(), Width(), Height() - GetSystemMetrics(SM_CYCAPTION));
    Invalidate();
  }
  EnableMainWindow(false);
}

void TAboutBox::DoHide() {
  EnableMainWindow(true);
  TForm::DoHide();
}

void TAboutBox::VersionClick(TObject*) {
  ShellOpen(InstalledFile("help/update.htm"));
}
void TAboutBox::WebClick(TObject*) { ShellOpen(kWebAddress); }
void TAboutBox::MailClick(TObject*) { ShellOpen(MailLink()); }
void TAboutBox::OKButtonClick(TObject*) { Close(); }

#pragma once
// The about box: the program's name, version and description, and the maker's addresses.
#include "platform/forms.h"
#include "platform/stdctrls.h"

class TAboutPicture;
class TWrapLabel;

class TAboutBox : public TForm {
public:
  explicit TAboutBox(TComponent* AOwner);
  ~TAboutBox() override;
  AnsiString ClassName() const override { return "TAboutBox"; }

  TPanel* Panel1 = nullptr;
  TAboutPicture* Image1 = nullptr;  // the program's picture
  TAboutPicture* Image2 = nullptr;  // the band under the name
  TLabel* ProductName = nullptr;
  TLabel* Version = nullptr;
  TWrapLabel* Comments = nullptr;
  TLabel* Alpha = nullptr;
  TLabel* WebLabel = nullptr;
  TLabel* MailLabel = nullptr;
  TLabel* Messenger = nullptr;
  TButton* OKButton = nullptr;

  // What the maker's labels open.
  static AnsiString WebAddress();
  static AnsiString MailLink();

protected:
  void DoShow() override;
  void DoHide() override;

private:
  void VersionClick(TObject*);
  void WebClick(TObject*);
  void MailClick(TObject*);
  void OKButtonClick(TObject*);
  bool captionRemoved_ = false;
};

extern TAboutBox* AboutBox;

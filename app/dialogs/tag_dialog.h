#pragma once
// What the tag dialogs, the new-page wizard and the about box share: a white header band with a
// picture, a bold title and a line of explanation; the "Ok" and "Отмена" buttons; the main
// window disabled while the dialog shows; check boxes that switch the fields they govern; colour
// buttons that write "#RRGGBB".
#include <initializer_list>
#include <vector>

#include "platform/dialogs.h"
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"

// The band across the top of a dialog.
class TDialogHeader : public TCustomControl {
public:
  // Picture: a short text drawn on the band's page picture ("H", "<A>"...).
  TDialogHeader(TComponent* AOwner, const AnsiString& Title, const AnsiString& Text, const AnsiString& Picture);
  const AnsiString& Title() const { return title_; }
  const AnsiString& Text() const { return text_; }
  static constexpr int kHeight = 62;

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;

private:
  AnsiString title_, text_, picture_;
};

// Text wrapped at word boundaries to the control's width.
class TWrapLabel : public TCustomControl {
public:
  explicit TWrapLabel(TComponent* AOwner);
  const AnsiString& Caption() const { return caption_; }
  void SetCaption(const AnsiString& v);
  TFont* Font() { return &font_; }

protected:
  void Paint(TCanvas* Canvas, const TRect& Clip) override;

private:
  AnsiString caption_;
  TFont font_;
};

// The colour's red, green and blue bytes as "RRGGBB" (system colours resolved).
AnsiString ColorDigits(TColor Color);
// Runs the colour dialog; on OK the field gets "#RRGGBB" of the chosen colour, on Cancel it stays.
bool PickFieldColor(TColorDialog* Dialog, TEdit* Field);

class TTagDialog : public TForm {
public:
  // A dialog of ClientWidth x ClientHeight pixels below the header band, buttons included.
  TTagDialog(TComponent* AOwner, const AnsiString& Caption, const AnsiString& Title, const AnsiString& Text,
             const AnsiString& Picture, int ClientW, int ClientH);
  ~TTagDialog() override;

  TDialogHeader* Header = nullptr;
  TButton* OkButton = nullptr;      // "Ok", default
  TButton* CancelButton = nullptr;  // "Отмена", cancel
  TColorDialog* ColorDialog1 = nullptr;

  // What OK does before the dialog closes.
  virtual void OkClick() {}

protected:
  // What the dialog takes from the editor as it shows.
  virtual void Prefill() {}
  void DoShow() override;
  void DoHide() override;
  void DoClose(TCloseAction& Action) override;
  void Paint(TCanvas* Canvas, const TRect& Clip) override;
  // Builders for the controls below the header; coordinates are inside Parent's client area
  // (the form's area starts below the header).
  TLabel* AddLabel(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W = 0);
  TEdit* AddEdit(TWinControl* Parent, int X, int Y, int W, const AnsiString& Text = AnsiString());
  TCheckBox* AddCheck(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W);
  TRadioButton* AddRadio(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W);
  TGroupBox* AddGroup(TWinControl* Parent, const char* CaptionUtf8, int X, int Y, int W, int H);
  TComboBox* AddCombo(TWinControl* Parent, int X, int Y, int W, std::initializer_list<const char*> Items,
                      const char* TextUtf8);
  TUpDown* AddUpDown(TWinControl* Parent, TEdit* Edit);
  TButton* AddColorButton(TWinControl* Parent, TEdit* Field);
  // The check box switches the controls on when ticked and off when not, and moves the focus
  // to the next control when ticked; they start switched off.
  void Governs(TCheckBox* Box, std::initializer_list<TControl*> Controls);
  // The offset of the area below the header.
  int Top0() const { return TDialogHeader::kHeight; }
  // Frees the dialog once it has closed (the heading and font-size dialogs).
  bool FreeOnClose = false;

private:
  void OkButtonClick(TObject*);
  void CancelButtonClick(TObject*);
  void CheckClick(TObject* Sender);
  struct TGoverned {
    TCheckBox* Box;
    std::vector<TControl*> Controls;
  };
  std::vector<TGoverned> governed_;
  std::vector<std::pair<TButton*, TEdit*>> colorButtons_;
  void ColorButtonClick(TObject* Sender);
};

// The main window is switched off while a dialog shows and on again when it hides.
void EnableMainWindow(bool Enabled);

#pragma once
// The find and replace dialogs: the search text with its history, the options and the
// direction; the replace dialog adds the replacement text with its history.
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"

// A plain panel of a find dialog: the white header (alTop) or the body that paints the
// dialog's face (alClient).
TPanel* NewDialogPanel(TForm* Form, const char* Name, TAlign Align, TColor Color, int Height = 0);

class TTextSearchDialog : public TForm {
public:
  explicit TTextSearchDialog(TComponent* AOwner);
  AnsiString ClassName() const override { return "TTextSearchDialog"; }

  TPanel* pnlHeader = nullptr;
  TLabel* lblHeader = nullptr;
  TLabel* lblHint = nullptr;
  TPanel* pnlBody = nullptr;
  TLabel* lblSearch = nullptr;
  TComboBox* cbSearchText = nullptr;
  TGroupBox* gbSearchOptions = nullptr;
  TCheckBox* cbSearchCaseSensitive = nullptr;
  TCheckBox* cbSearchWholeWords = nullptr;
  TCheckBox* cbSearchFromCursor = nullptr;
  TCheckBox* cbSearchSelectedOnly = nullptr;
  TCheckBox* cbRegularExpression = nullptr;
  TRadioGroup* rgSearchDirection = nullptr;
  TButton* btnOK = nullptr;
  TButton* btnCancel = nullptr;

  bool SearchBackwards() const { return rgSearchDirection->ItemIndex() == 1; }
  void SetSearchBackwards(bool Value) { rgSearchDirection->SetItemIndex(Value ? 1 : 0); }
  bool SearchCaseSensitive() const { return cbSearchCaseSensitive->Checked(); }
  void SetSearchCaseSensitive(bool Value) { cbSearchCaseSensitive->SetChecked(Value); }
  bool SearchFromCursor() const { return cbSearchFromCursor->Checked(); }
  void SetSearchFromCursor(bool Value) { cbSearchFromCursor->SetChecked(Value); }
  bool SearchSelectedOnly() const { return cbSearchSelectedOnly->Checked(); }
  void SetSearchSelectedOnly(bool Value) { cbSearchSelectedOnly->SetChecked(Value); }
  bool SearchWholeWords() const { return cbSearchWholeWords->Checked(); }
  void SetSearchWholeWords(bool Value) { cbSearchWholeWords->SetChecked(Value); }
  // Unticked in every new dialog: it can be read, not preset.
  bool SearchRegularExpression() const { return cbRegularExpression->Checked(); }
  AnsiString SearchText() const { return cbSearchText->Text(); }
  void SetSearchText(const AnsiString& Value) { cbSearchText->SetText(Value); }
  // The first ten items joined by CR LF; written as CR LF separated text.
  AnsiString SearchTextHistory() const { return HistoryOf(cbSearchText); }
  void SetSearchTextHistory(const AnsiString& Value) { cbSearchText->Items()->SetText(Value); }

protected:
  // The replace dialog's constructor: one more row (the replacement) below the search text.
  TTextSearchDialog(TComponent* AOwner, bool WithReplace);
  static AnsiString HistoryOf(TComboBox* Box);
  // The entered text (when not empty) goes to the top of the box's history.
  static void RememberText(TComboBox* Box);
  // Before an OK closes the dialog, the histories take the entered texts.
  virtual void FormCloseQuery(TObject* Sender, bool& CanClose);
  // The search text takes the keyboard first.
  void FormShow(TObject* Sender);

  TLabel* replaceLabel_ = nullptr;
  TComboBox* replaceBox_ = nullptr;

private:
  void Build(bool WithReplace);
};

class TTextReplaceDialog : public TTextSearchDialog {
public:
  explicit TTextReplaceDialog(TComponent* AOwner);
  AnsiString ClassName() const override { return "TTextReplaceDialog"; }

  TLabel* lblReplace = nullptr;
  TComboBox* cbReplaceText = nullptr;

  AnsiString ReplaceText() const { return cbReplaceText->Text(); }
  void SetReplaceText(const AnsiString& Value) { cbReplaceText->SetText(Value); }
  AnsiString ReplaceTextHistory() const { return HistoryOf(cbReplaceText); }
  void SetReplaceTextHistory(const AnsiString& Value) { cbReplaceText->Items()->SetText(Value); }

protected:
  void FormCloseQuery(TObject* Sender, bool& CanClose) override;
};

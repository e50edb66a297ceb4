#include "app/find/search_dialogs.h"

namespace {

constexpr int kHistoryMax = 10;
constexpr int kWidth = 380;

}  // namespace

TPanel* NewDialogPanel(TForm* Form, const char* Name, TAlign Align, TColor Color, int Height) {
  auto* p = new TPanel(Form);
  p->SetName(Name);
  p->SetAlign(Align);
  if (Height > 0) p->SetHeight(Height);
  p->SetBevelOuter(bvNone);
  p->SetColor(Color);
  p->SetCaption(AnsiString());
  p->SetParent(Form);
  return p;
}

TTextSearchDialog::TTextSearchDialog(TComponent* AOwner) : TTextSearchDialog(AOwner, false) {}

TTextSearchDialog::TTextSearchDialog(TComponent* AOwner, bool WithReplace) : TForm(AOwner) {
  Build(WithReplace);
  OnCloseQuery = TCloseQueryEvent(this, &TTextSearchDialog::FormCloseQuery);
  OnShow = TNotifyEvent(this, &TTextSearchDialog::FormShow);
}

void TTextSearchDialog::FormShow(TObject*) { cbSearchText->SetFocus(); }

void TTextSearchDialog::Build(bool WithReplace) {
  SetName(WithReplace ? "TextReplaceDialog" : "TextSearchDialog");
  SetCaption(W1251("Поиск текста"));
  SetFormBorderStyle(bsDialog);
  SetPosition(poScreenCenter);

  pnlHeader = NewDialogPanel(this, "pnlHeader", alTop, clWhite, 48);
  lblHeader = new TLabel(this);
  lblHeader->SetName("lblHeader");
  lblHeader->Font()->SetStyle({fsBold});
  lblHeader->SetCaption(W1251("Поиск текста"));
  lblHeader->SetBounds(12, 7, kWidth - 24, 16);
  lblHeader->SetColor(clWhite);
  lblHeader->SetParent(pnlHeader);
  lblHint = new TLabel(this);
  lblHint->SetName("lblHint");
  lblHint->SetCaption(W1251("Выберите параметры, и вперёд!"));
  lblHint->SetBounds(24, 26, kWidth - 36, 16);
  lblHint->SetColor(clWhite);
  lblHint->SetParent(pnlHeader);

  // The controls lie on a body panel that paints the dialog's face.
  pnlBody = NewDialogPanel(this, "pnlBody", alClient, clBtnFace);

  lblSearch = new TLabel(this);
  lblSearch->SetName("lblSearch");
  lblSearch->SetCaption(W1251("&Искать:"));
  lblSearch->SetBounds(8, 10, 120, 16);
  lblSearch->SetParent(pnlBody);
  cbSearchText = new TComboBox(this);
  cbSearchText->SetName("cbSearchText");
  cbSearchText->SetBounds(8, 28, kWidth - 16, 24);
  cbSearchText->SetParent(pnlBody);

  // The replace dialog's row comes next, so that Tab goes from one text to the other.
  int top = 62;
  if (WithReplace) {
    replaceLabel_ = new TLabel(this);
    replaceLabel_->SetName("lblReplace");
    replaceLabel_->SetCaption(W1251("Заменить на"));
    replaceLabel_->SetBounds(8, 58, 120, 16);
    replaceLabel_->SetParent(pnlBody);
    replaceBox_ = new TComboBox(this);
    replaceBox_->SetName("cbReplaceText");
    replaceBox_->SetBounds(8, 76, kWidth - 16, 24);
    replaceBox_->SetParent(pnlBody);
    top = 110;
  }

  gbSearchOptions = new TGroupBox(this);
  gbSearchOptions->SetName("gbSearchOptions");
  gbSearchOptions->SetCaption(W1251("Параметры"));
  // The options end left of the buttons, which sit beside their lower part.
  gbSearchOptions->SetBounds(8, top, 202, 134);
  gbSearchOptions->SetParent(pnlBody);
  struct Box {
    TCheckBox** Field;
    const char* Name;
    const char* Caption;
  };
  const Box boxes[] = {
      {&cbSearchCaseSensitive, "cbSearchCaseSensitive", "Соблюдать регистр"},
      {&cbSearchWholeWords, "cbSearchWholeWords", "Только слова"},
      {&cbSearchFromCursor, "cbSearchFromCursor", "Только с курсора"},
      {&cbSearchSelectedOnly, "cbSearchSelectedOnly", "Искать в выделенном"},
      {&cbRegularExpression, "cbRegularExpression", "Регулярное выражение"},
  };
  int y = 20;
  for (const Box& b : boxes) {
    TCheckBox* c = new TCheckBox(this);
    c->SetName(b.Name);
    c->SetCaption(W1251(b.Caption));
    c->SetBounds(8, y, 186, 20);
    c->SetParent(gbSearchOptions);
    *b.Field = c;
    y += 22;
  }

  rgSearchDirection = new TRadioGroup(this);
  rgSearchDirection->SetName("rgSearchDirection");
  rgSearchDirection->SetCaption(W1251("Направление"));
  rgSearchDirection->SetBounds(226, top, kWidth - 234, 70);
  rgSearchDirection->SetParent(pnlBody);
  rgSearchDirection->Items()->Add(W1251("Вперёд"));
  rgSearchDirection->Items()->Add(W1251("Назад"));
  rgSearchDirection->SetItemIndex(0);

  btnOK = new TButton(this);
  btnOK->SetName("btnOK");
  btnOK->SetCaption("OK");
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);
  btnOK->SetBounds(kWidth - 164, top + 109, 75, 25);
  btnOK->SetParent(pnlBody);
  btnCancel = new TButton(this);
  btnCancel->SetName("btnCancel");
  btnCancel->SetCaption(W1251("Отмена"));
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  btnCancel->SetBounds(kWidth - 83, top + 109, 75, 25);
  btnCancel->SetParent(pnlBody);

  SetClientSize(kWidth, 48 + top + 144);
}

AnsiString TTextSearchDialog::HistoryOf(TComboBox* Box) {
  AnsiString s;
  TStrings* items = Box->Items();
  for (int i = 0; i < items->Count() && i < kHistoryMax; ++i) {
    if (i > 0) s += "\r\n";
    s += items->Get(i);
  }
  return s;
}

void TTextSearchDialog::RememberText(TComboBox* Box) {
  AnsiString s = Box->Text();
  if (s.empty()) return;
  TStrings* items = Box->Items();
  int i = items->IndexOf(s);
  if (i >= 0) items->Delete(i);
  items->Insert(0, s);
  Box->SetText(s);
}

void TTextSearchDialog::FormCloseQuery(TObject*, bool&) {
  if (ModalResult() == mrOk) RememberText(cbSearchText);
}

TTextReplaceDialog::TTextReplaceDialog(TComponent* AOwner) : TTextSearchDialog(AOwner, true) {
  SetCaption(W1251("Замена текста"));
  lblHeader->SetCaption(W1251("Замена текста"));
  lblHint->SetCaption(W1251("Позволяет эффективнее работать с документом"));
  lblReplace = replaceLabel_;
  cbReplaceText = replaceBox_;
}

void TTextReplaceDialog::FormCloseQuery(TObject* Sender, bool& CanClose) {
  TTextSearchDialog::FormCloseQuery(Sender, CanClose);
  if (ModalResult() == mrOk) RememberText(cbReplaceText);
}

#include "app/preview/print_options.h"

#include <limits>

#include "app/main_window.h"
#include "platform/dialogs.h"
#include "platform/printer/printer.h"
#include "platform/sysutils.h"

TPrntOpt* PrntOpt = nullptr;

namespace {

template <class T>
T* Place(TPrntOpt* form, TWinControl* parent, const char* name, const char* caption, int left,
         int top, int width, int height) {
  T* c = new T(form);
  c->SetName(name);
  if (caption) c->SetCaption(W1251(caption));
  c->SetBounds(left, top, width, height);
  c->SetParent(parent);
  return c;
}

}  // namespace

TPrntOpt::TPrntOpt(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(W1251("Настройка печати"));
  SetFormBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetClientSize(330, 262);

  Panel1 = Place<TPanel>(this, this, "Panel1", "", 0, 0, 330, 52);
  Panel1->SetAlign(alTop);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetColor(clWindow);
  Label1 = Place<TLabel>(this, Panel1, "Label1", "Печать документа", 12, 8, 300, 18);
  Label1->Font()->SetStyle({fsBold});
  Label2 = Place<TLabel>(this, Panel1, "Label2", "Вы можете распечатать код своей страницы", 24, 28, 300, 18);

  Label3 = Place<TLabel>(this, this, "Label3", "Печатать", 16, 70, 64, 18);
  Copies = Place<TEdit>(this, this, "Copies", nullptr, 84, 66, 44, 24);
  Copies->SetText("1");
  UpDown1 = Place<TUpDown>(this, this, "UpDown1", nullptr, 128, 66, 17, 24);
  UpDown1->SetMin(1);
  // Any count of one or more is printed: the arrows step from any of them.
  UpDown1->SetMax(std::numeric_limits<int>::max());
  UpDown1->SetAssociate(Copies);
  UpDown1->SetPosition(1);
  Label4 = Place<TLabel>(this, this, "Label4", "копий", 152, 70, 60, 18);

  Colors = Place<TCheckBox>(this, this, "Colors", "Цветная печать", 16, 100, 300, 20);
  PrntSynt = Place<TCheckBox>(this, this, "PrntSynt", "Печать синтаксиса", 16, 124, 300, 20);
  PrntSynt->SetChecked(true);
  Numb = Place<TCheckBox>(this, this, "Numb", "Печатать нумерацию строк", 16, 148, 300, 20);
  Numb->SetChecked(true);
  OnlySel = Place<TCheckBox>(this, this, "OnlySel", "Печатать только выделенное", 16, 172, 300, 20);

  PrntSet = Place<TButton>(this, this, "PrntSet", "Принтер...", 12, 220, 90, 28);
  PrntSet->OnClick = TNotifyEvent(this, &TPrntOpt::PrntSetClick);
  OkBut = Place<TButton>(this, this, "OkBut", "Печать", 138, 220, 86, 28);
  OkBut->SetDefault(true);
  OkBut->OnClick = TNotifyEvent(this, &TPrntOpt::OkButClick);
  CancelBut = Place<TButton>(this, this, "CancelBut", "Отмена", 232, 220, 86, 28);
  CancelBut->SetCancel(true);
  CancelBut->OnClick = TNotifyEvent(this, &TPrntOpt::CancelButClick);

  SrcEditPrint1 = new TSrcEditPrint(this);
  SrcEditPrint1->SetName("SrcEditPrint1");
  SrcEditPrint1->SetCopies(1);
  SrcEditPrint1->Header()->DefaultFont()->SetName("Arial");
  SrcEditPrint1->Footer()->DefaultFont()->SetName("Arial");
  SrcEditPrint1->Font()->SetName("MS Sans Serif");
  SrcEditPrint1->SetTabWidth(8);
  SrcEditPrint1->SetHighlighter(Main->SrcHTML);
  TSrcEditPrintMargins* m = SrcEditPrint1->Margins();
  m->SetLeft(25);
  m->SetRight(15);
  m->SetTop(25);
  m->SetBottom(25);
  m->SetHeader(15);
  m->SetFooter(15);
  m->SetLeftHFTextIndent(2);
  m->SetRightHFTextIndent(2);
  m->SetHFInternalMargin(0.5);
  m->SetMirrorMargins(false);

  OnShow = TNotifyEvent(this, &TPrntOpt::FormShow);
  OnHide = TNotifyEvent(this, &TPrntOpt::FormHide);
}

TPrntOpt::~TPrntOpt() {
  if (PrntOpt == this) PrntOpt = nullptr;
}

void TPrntOpt::FormShow(TObject*) {
  Main->SetEnabled(false);
  OnlySel->SetChecked(false);
  OnlySel->SetEnabled(Main->SrcEdit1->SelAvail());
}

void TPrntOpt::FormHide(TObject*) {
  Main->SetEnabled(true);
  // A file chosen with "Принтер..." is for this window's job: closed without printing, the
  // window takes it away, so that no later job writes it unasked.
  if (!closingToPrint_) Printer()->SetOutputFileName(AnsiString());
}

void TPrntOpt::PrntSetClick(TObject*) { Printer()->ExecuteSetupDialog(); }

void TPrntOpt::OkButClick(TObject*) {
  SrcEditPrint1->SetDocTitle(Main->Caption());
  SrcEditPrint1->SetSrcEdit(Main->SrcEdit1);
  const int copies = StrToInt(Trim(Copies->Text()));
  // Refused while the window is open, so that the number can be put right.
  if (copies < 1) throw EConvertError(W1251("Число копий должно быть не меньше 1."));
  SrcEditPrint1->SetCopies(copies);
  SrcEditPrint1->SetColors(Colors->Checked());
  SrcEditPrint1->SetHighlight(PrntSynt->Checked());
  SrcEditPrint1->SetLineNumbers(Numb->Checked());
  SrcEditPrint1->SetSelectedOnly(OnlySel->Checked());
  closingToPrint_ = true;
  Close();
  closingToPrint_ = false;
  // With no printer (none installed, or a print server that does not answer) and no file named
  // by the user, the job goes to a PDF file of its own choosing: the user is told why and where.
  SrcEditPrint1->Print();
  if (SrcEditPrint1->PagesPrinted() > 0)
    if (AnsiString notice = Printer()->UnnamedFileNotice(); !notice.empty()) MessageDlg(notice, mtInformation, mbOK);
}

void TPrntOpt::CancelButClick(TObject*) { Close(); }

#include "app/preview/main_preview.h"

#include "app/main_window.h"
#include "platform/application.h"
#include "platform/safe_file.h"
#include "platform/shortcuts.h"
#include "platform/sysutils.h"

TMainPreview* MainPreview = nullptr;

AnsiString PreviewFileName(const AnsiString& DocumentName, const AnsiString& UntitledFolder) {
  if (DocumentName == UntitledName()) return UntitledFolder + PathDelim + W1251("Новый-preview.htm");
  // Beside the document; a long name is cut so that the file's name fits where the document's does.
  return FittedFileName(ExtractFileDir(DocumentName), ExtractFileName(DocumentName), "-preview.htm");
}

AnsiString TMainPreview::FileName() { return PreviewFileName(Main->DocumentName(), Main->ProgramFolder()); }

TMainPreview::TMainPreview(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(W1251("Предварительный просмотр"));
  SetBounds(0, 0, 640, 480);

  ActionManager1 = new TActionManager(this);
  ActionManager1->SetName("ActionManager1");
  struct Row {
    TAction*& action;
    const char* name;
    const char* caption;
    TShortCut shortCut;
    const char* hint;
    void (TMainPreview::*handler)(TObject*);
  };
  const Row rows[] = {
      {BrvBack, "BrvBack", "Назад", TShortCut(scAlt | VK_LEFT), "На предыдущую страницу", &TMainPreview::BrvBackExecute},
      {BrvNext, "BrvNext", "Вперёд", TShortCut(scAlt | VK_RIGHT), "На следующую страницу", &TMainPreview::BrvNextExecute},
      {BrvHome, "BrvHome", "Домой", 0, "На редактируемую страницу", &TMainPreview::FormShow},
      {BrvReload, "BrvReload", "Перезагрузить", VK_F5, "Обновить страницу", &TMainPreview::BrvReloadExecute},
      {BrvStop, "BrvStop", "Остановить", 0, "Остановить загрузку страницы", &TMainPreview::BrvStopExecute},
      {Action1, "Action1", "Печать", TShortCut(scCtrl | 'P'), "Распечатать страницу на принтере", &TMainPreview::Action1Execute},
      {BrvExit, "BrvExit", "Выход", VK_ESCAPE, "", &TMainPreview::BrvExitExecute},
  };
  for (const Row& r : rows) {
    r.action = ActionManager1->NewAction(r.name, AnsiString(), W1251(r.caption), r.shortCut);
    r.action->SetHint(W1251(r.hint));
    r.action->OnExecute = TNotifyEvent(this, r.handler);
  }

  ActionToolBar1 = new TActionToolBar(this);
  ActionToolBar1->SetName("ActionToolBar1");
  ActionToolBar1->SetAlign(alTop);
  ActionToolBar1->SetParent(this);
  TActionClientItem* items = ActionManager1->AddActionBar(ActionToolBar1);
  for (const Row& r : rows) items->AddAction(r.action);
  ActionToolBar1->RecreateControls();

  StatusBar1 = new TStatusBar(this);
  StatusBar1->SetName("StatusBar1");
  StatusBar1->SetAlign(alBottom);
  StatusBar1->SetHeight(19);
  StatusBar1->Panels()->Add()->SetWidth(50);
  StatusBar1->SetParent(this);

  WebBrowser1 = new TWebBrowser(this);
  WebBrowser1->SetName("WebBrowser1");
  WebBrowser1->SetAlign(alClient);
  WebBrowser1->SetParent(this);
  WebBrowser1->OnDocumentComplete = TDocumentCompleteEvent(this, &TMainPreview::WebBrowser1DocumentComplete);

  OnShow = TNotifyEvent(this, &TMainPreview::FormShow);
  OnHide = TNotifyEvent(this, &TMainPreview::FormHide);
  RestoreFormPosition(this, kSettingsFileName);
}

TMainPreview::~TMainPreview() {
  if (MainPreview == this) MainPreview = nullptr;
}

void TMainPreview::FormShow(TObject*) {
  if (Main->Settings()->ReadString("General", "Style", "XP") == "Standard")
    ActionManager1->SetStyle(StandardStyle());
  else
    ActionManager1->SetStyle(XPStyle());
  Main->SetEnabled(false);
  shownFile_ = FileName();
  WebBrowser1->Navigate(shownFile_);
}

void TMainPreview::FormHide(TObject*) {
  SaveFormPosition(this, kSettingsFileName);
  Main->SetEnabled(true);
  // A file already gone is simply not there to delete.
  if (FileExists(shownFile_)) DeleteFile(shownFile_);
}

void TMainPreview::WebBrowser1DocumentComplete(TObject*, const AnsiString& URL) {
  StatusBar1->Panels()->Items(0)->SetText(URL);
}

void TMainPreview::BrvBackExecute(TObject*) { WebBrowser1->GoBack(); }
void TMainPreview::BrvNextExecute(TObject*) { WebBrowser1->GoForward(); }
void TMainPreview::BrvReloadExecute(TObject*) { WebBrowser1->Refresh(); }
void TMainPreview::BrvStopExecute(TObject*) { WebBrowser1->Stop(); }
void TMainPreview::Action1Execute(TObject*) { WebBrowser1->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER); }
void TMainPreview::BrvExitExecute(TObject*) { Close(); }

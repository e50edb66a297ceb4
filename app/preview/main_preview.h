#pragma once
// The preview window: the page being edited, saved beside the document, shown in an embedded
// browser with back, forward, home, reload, stop, print and exit; the file goes when the
// window hides.
#include "platform/actions.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "platform/webview/web_browser.h"

// The file a preview of a document shows: the document name + "-preview.htm"; the untitled
// document's lies in UntitledFolder.
AnsiString PreviewFileName(const AnsiString& DocumentName, const AnsiString& UntitledFolder);

class TMainPreview : public TForm {
public:
  explicit TMainPreview(TComponent* AOwner);
  ~TMainPreview() override;
  AnsiString ClassName() const override { return "TMainPreview"; }

  TWebBrowser* WebBrowser1 = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TActionManager* ActionManager1 = nullptr;
  TActionToolBar* ActionToolBar1 = nullptr;
  TAction *BrvBack = nullptr, *BrvNext = nullptr, *BrvHome = nullptr, *BrvReload = nullptr,
          *BrvStop = nullptr, *Action1 = nullptr, *BrvExit = nullptr;

  // The preview file of the main window's document.
  static AnsiString FileName();

  void FormShow(TObject* Sender);
  void FormHide(TObject* Sender);
  void WebBrowser1DocumentComplete(TObject* Sender, const AnsiString& URL);
  void BrvBackExecute(TObject* Sender);
  void BrvNextExecute(TObject* Sender);
  void BrvReloadExecute(TObject* Sender);
  void BrvStopExecute(TObject* Sender);
  void Action1Execute(TObject* Sender);
  void BrvExitExecute(TObject* Sender);

private:
  AnsiString shownFile_;  // the preview file the window shows and deletes when it hides
};

extern TMainPreview* MainPreview;

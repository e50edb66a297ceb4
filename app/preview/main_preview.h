#pragma once
// The preview window: the page being edited, saved beside the document, shown in an embedded
// browser with back, forward, home, reload, stop, print and exit; the file goes when the
// window hides.
#include "platform/actions.h"
#include "platform/forms.h"
#include "platform/stdctrls.h"
#include "platform/webview/web_browser.h"

// The name of the file a preview of a document shows: the document name + "-preview.htm"; the
// untitled document's lies in UntitledFolder.
AnsiString PreviewFileName(const AnsiString& DocumentName, const AnsiString& UntitledFolder);
// Writes the lines as the preview of the document and returns the file written: the one named
// by PreviewFileName when nothing bears that name or it holds a preview the program wrote that
// nobody changed since; else the first such name of "<name>-preview (2).htm", "(3)" and on, in
// the same folder, so that the page's relative links still resolve and a file of the user's
// is left alone. The file stream's error when it cannot be written.
AnsiString WritePreviewFile(TStrings* Lines, const AnsiString& DocumentName, const AnsiString& UntitledFolder);
// Deletes a preview file the program wrote, unless another file has taken its place since.
void DeletePreviewFile(const AnsiString& FileName);

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

  // The preview file the window shows, and deletes when it hides.
  const AnsiString& FileName() const { return file_; }
  void SetFileName(const AnsiString& Name) { file_ = Name; }

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
  AnsiString file_;
};

extern TMainPreview* MainPreview;

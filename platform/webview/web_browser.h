#pragma once
// The embeddable web browser: a control that shows pages, with the history, reload and stop
// of a browser, an event when a document has loaded, and the browser's own print command.
// Only the program's preview uses it (its own library target, as the browser engine is large).
#include <memory>

#include "platform/controls.h"

class TBitmap;

// (Sender, URL): the browser has finished loading a document.
using TDocumentCompleteEvent = TMethod<void(TObject* Sender, const AnsiString& URL)>;

// Commands of ExecWB and how they run.
enum : int { OLECMDID_PRINT = 6 };
enum : int { OLECMDEXECOPT_DODEFAULT = 0, OLECMDEXECOPT_PROMPTUSER = 1,
             OLECMDEXECOPT_DONTPROMPTUSER = 2 };

class TWebBrowser : public TWinControl {
public:
  explicit TWebBrowser(TComponent* AOwner);
  ~TWebBrowser() override;

  // Loads a URL or a file (program text; a name without a scheme is a local file).
  void Navigate(const AnsiString& URL);
  void GoBack();
  void GoForward();
  void Refresh();
  void Stop();
  // OLECMDID_PRINT prints the page: with OLECMDEXECOPT_PROMPTUSER through the desktop's print
  // dialog (the dialog hook is asked first, and a file it names gets the page as PDF).
  void ExecWB(int CmdID, int CmdExecOpt);
  // The address and the title of the document shown.
  AnsiString LocationURL() const;
  AnsiString LocationName() const;
  // Whether a document is loading.
  bool Busy() const;
  // The page as painted now.
  void PaintTo(TBitmap* Bitmap);
  TDocumentCompleteEvent OnDocumentComplete;

protected:
  void CreateWnd() override;
  void DestroyWnd() override;

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

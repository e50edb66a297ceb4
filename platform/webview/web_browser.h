#pragma once
// The embeddable web browser: a control that shows pages, with the history, reload and stop
// of a browser, an event when a document has loaded, and the browser's own print command.
// The browser engine is large: it lives in the web view module, which the first browser control
// to get its window opens (and which stays open), so a start that shows no page loads none of it.
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
  // OLECMDID_PRINT prints the page as the engine lays it out for paper (text stays text, the
  // page breaks into pages). With OLECMDEXECOPT_PROMPTUSER the desktop's print dialog (the
  // dialog hook is asked first) chooses a PDF file or a printer; otherwise the page goes where
  // the program's print jobs go (the printer's output file; with no printer installed, the page
  // title + ".pdf" in the documents folder; else the chosen printer).
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

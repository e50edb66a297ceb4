// The main window's print, preview and view-in-browser actions.
#include "app/main_window.h"
#include "app/preview/main_preview.h"
#include "app/preview/print_options.h"
#include "platform/application.h"
#include "platform/sysutils.h"

void TMain::FilePrintExecute(TObject*) {
  Application->CreateForm(PrntOpt);
  PrntOpt->Show();
}

void TMain::FilePreViewExecute(TObject*) {
  // A file that cannot be written stops here, before any window.
  const AnsiString file = WritePreviewFile(SrcEdit1->Lines(), docName_, myPath_);
  Application->CreateForm(MainPreview);
  MainPreview->SetFileName(file);
  MainPreview->Show();
}

void TMain::Action1Execute(TObject*) { ShellOpen(WritePreviewFile(SrcEdit1->Lines(), docName_, myPath_)); }

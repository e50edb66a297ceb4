// The browser control: the engine's view comes from the web view module, opened when the first
// browser gets its window; history, printing and the page's picture go through it.
#include "platform/webview/web_browser.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPageLayout>
#include <QUrl>
#include <QWidget>

#include "platform/dialogs.h"
#include "platform/kernel.h"
#include "platform/printer/printer.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/web_engine_view.h"
#include "platform/qt/widgets_qt.h"
#include "platform/shell.h"
#include "platform/sysutils.h"

namespace {

// The module's entry, opened once and kept: the engine cannot be unloaded from a process.
TNewWebEngineView EngineModule() {
  static TNewWebEngineView make = nullptr;
  if (make) return make;
  HMODULE module = LoadLibrary(kWebEngineModuleName);
  if (!module)
    throw Exception(Format(W1251("Не удалось загрузить модуль браузера %s: %s"),
                           {AnsiString(kWebEngineModuleName), LastLibraryError()}));
  make = reinterpret_cast<TNewWebEngineView>(GetProcAddress(module, kNewWebEngineViewName));
  if (!make)
    throw Exception(Format(W1251("Модуль браузера %s повреждён: в нём нет %s"),
                           {GetModuleFileName(module), AnsiString(kNewWebEngineViewName)}));
  return make;
}

// The page as a print job lays it out: the job's paper, with the edges a printer cannot print on.
QPageLayout JobLayout(TPrinter& job) {
  const double mm = 25.4 / job.GetDeviceCaps(LOGPIXELSX);
  const int width = job.GetDeviceCaps(PHYSICALWIDTH), height = job.GetDeviceCaps(PHYSICALHEIGHT);
  const int left = job.GetDeviceCaps(PHYSICALOFFSETX), top = job.GetDeviceCaps(PHYSICALOFFSETY);
  const int right = width - left - job.GetDeviceCaps(HORZRES), bottom = height - top - job.GetDeviceCaps(VERTRES);
  return QPageLayout(QPageSize(QSizeF(width * mm, height * mm), QPageSize::Millimeter), QPageLayout::Portrait,
                     QMarginsF(left * mm, top * mm, right * mm, bottom * mm), QPageLayout::Millimeter);
}

}  // namespace

struct TWebBrowser::Impl {
  std::unique_ptr<TWebEngineView> view;
  bool loading = false;
  bool writingPdf = false;  // a PDF of the page is being written
  // The print job the engine writes its PDF for; it goes where the job's printer object sends it
  // when the PDF is whole.
  std::unique_ptr<TPrinter> job;

  void PdfWritten(bool ok);

  // Lets the engine finish the PDF it is writing: it fails when the view goes meanwhile, and
  // writes one PDF at a time.
  void WaitForPdf() {
    QDeadlineTimer deadline(30000);
    while (writingPdf && view && view->Widget() && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  void DeleteView() {
    if (!view) return;
    WaitForPdf();
    view.reset();
    writingPdf = false;
    job.reset();
  }
};

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner), impl_(std::make_unique<Impl>()) {
  SetBounds(0, 0, 300, 150);
}

TWebBrowser::~TWebBrowser() {
  impl_->DeleteView();
}

void TWebBrowser::CreateWnd() {
  TNewWebEngineView make = EngineModule();
  TWinControl::CreateWnd();
  TWebEngineView::Events events;
  events.LoadStarted = [this] { impl_->loading = true; };
  events.LoadFinished = [this](bool) {
    impl_->loading = false;
    GuardedCall(this, [this] { CallEvent(OnDocumentComplete, this, LocationURL()); });
  };
  events.PdfWritten = [this](const QString&, bool ok) {
    GuardedCall(this, [&] { impl_->PdfWritten(ok); });
  };
  // The program's documents are Windows-1251 text: a page that names no charset is read as
  // such when the engine cannot tell its encoding.
  impl_->view.reset(make(Host()->Frame(), events, "windows-1251"));
  Host()->SetNative(impl_->view->Widget());
}

void TWebBrowser::DestroyWnd() {
  impl_->DeleteView();
  TWinControl::DestroyWnd();
}

void TWebBrowser::Navigate(const AnsiString& URL) {
  HandleNeeded();
  impl_->loading = true;
  impl_->view->Load(QUrl::fromEncoded(QByteArray::fromStdString(ShellTargetUrl(URL))));
}

void TWebBrowser::GoBack() {
  if (impl_->view) impl_->view->Back();
}

void TWebBrowser::GoForward() {
  if (impl_->view) impl_->view->Forward();
}

void TWebBrowser::Refresh() {
  if (impl_->view) impl_->view->Reload();
}

void TWebBrowser::Stop() {
  if (impl_->view) impl_->view->Stop();
}

void TWebBrowser::ExecWB(int CmdID, int CmdExecOpt) {
  if (CmdID != OLECMDID_PRINT || !impl_->view || !impl_->view->Widget()) return;
  impl_->WaitForPdf();
  if (impl_->writingPdf) return;
  // A job of its own, starting where and as the program's print jobs go (the file asked for,
  // else the chosen or the desktop's default printer, else with no printer the default file; the
  // printer's copies); the print dialog changes it for this page alone.
  auto job = std::make_unique<TPrinter>();
  job->SetTitle(LocationName());
  job->SetOutputFileName(Printer()->OutputFileName());
  job->SetPrinterName(Printer()->PrinterName());
  job->SetCopies(Printer()->Copies());
  if (CmdExecOpt == OLECMDEXECOPT_PROMPTUSER && !job->ExecuteSetupDialog()) return;
  const AnsiString file = job->BeginPdfDoc();
  const QPageLayout layout = JobLayout(*job);
  impl_->job = std::move(job);
  impl_->writingPdf = true;
  impl_->view->PrintToPdf(QString::fromStdString(AnsiToSystemName(file)), layout);
}

void TWebBrowser::Impl::PdfWritten(bool ok) {
  writingPdf = false;
  std::unique_ptr<TPrinter> done = std::move(job);
  if (!done) return;
  if (!ok) {
    done->Abort();
    if (!done->FileOfJob().empty())
      throw EPrinter(Format(W1251("Не удалось записать файл \"%s\""), {done->FileOfJob()}));
    throw EPrinter(W1251("Страница не напечатана: браузер не подготовил её к печати."));
  }
  // A printer's job is sent now, with the print server's checks and answers.
  done->EndDoc();
  if (AnsiString notice = done->UnnamedFileNotice(); !notice.empty()) MessageDlg(notice, mtInformation, mbOK);
}

AnsiString TWebBrowser::LocationURL() const {
  if (!impl_->view) return AnsiString();
  return FromQStr(impl_->view->Url().toString());
}

AnsiString TWebBrowser::LocationName() const {
  if (!impl_->view) return AnsiString();
  return FromQStr(impl_->view->Title());
}

bool TWebBrowser::Busy() const { return impl_->loading; }

void TWebBrowser::PaintTo(TBitmap* Bitmap) {
  if (!impl_->view || !impl_->view->Widget() || !Bitmap) return;
  QImage img = impl_->view->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  Bitmap->SetSize(img.width(), img.height());
  BitmapImage(Bitmap) = img;
  Bitmap->Modified();
}

// The browser control: the engine's view comes from the web view module, opened when the first
// browser gets its window; history, printing and the page's picture go through it.
#include "platform/webview/web_browser.h"

#include <optional>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>
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

// A PDF file of the engine's handed to a CUPS printer, through the print library the desktop's
// printing uses (opened at run time, as Qt's own printing does). Empty when the job is queued,
// otherwise why it is not.
AnsiString SendToPrinter(const QString& printer, const QString& file, const QString& title, int copies) {
  struct Option {
    char* name;
    char* value;
  };
  using PrintFile = int (*)(const char*, const char*, const char*, int, Option*);
  using LastError = const char* (*)();
  static HMODULE cups = LoadLibrary("libcups.so.2");
  if (!cups) return W1251("нет библиотеки печати CUPS (libcups.so.2)");
  auto printFile = reinterpret_cast<PrintFile>(GetProcAddress(cups, "cupsPrintFile"));
  auto lastError = reinterpret_cast<LastError>(GetProcAddress(cups, "cupsLastErrorString"));
  if (!printFile) return W1251("в библиотеке печати CUPS нет cupsPrintFile");
  std::string copiesText = std::to_string(copies < 1 ? 1 : copies);
  Option option{const_cast<char*>("copies"), copiesText.data()};
  if (printFile(printer.toUtf8().constData(), file.toLocal8Bit().constData(), title.toUtf8().constData(),
                copies > 1 ? 1 : 0, &option) != 0)
    return AnsiString();
  const char* why = lastError ? lastError() : nullptr;
  return Utf8ToAnsiDropping(why && *why ? why : "CUPS");
}

}  // namespace

struct TWebBrowser::Impl {
  std::unique_ptr<TWebEngineView> view;
  bool loading = false;
  bool writingPdf = false;  // a PDF of the page is being written
  // A job for a printer: the engine's PDF goes to this temporary file, then to the printer.
  QString printerName, jobTitle, partFile;
  int copies = 1;

  // Has the engine print the page as the job describes: into the job's PDF file, or for a
  // printer into a file that goes to the printer when it is whole.
  void Print(const QPrinter& job);
  void PdfWritten(const QString& file, bool ok);

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
  events.PdfWritten = [this](const QString& file, bool ok) {
    GuardedCall(this, [&] { impl_->PdfWritten(file, ok); });
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
  // The job as a printer describes it: its page layout, and a PDF file or a printer.
  QPrinter job(QPrinter::HighResolution);
  AnsiString title = LocationName();
  job.setDocName(QStr(title));
  // Where the program's print jobs go unless the user chooses: the file asked for, or with no
  // printer installed the default file; otherwise the chosen (or the desktop's default) printer.
  TPrinter* programPrinter = Printer();
  auto toFile = [&](const AnsiString& name) {
    TPrinter named;
    named.SetTitle(title);
    job.setOutputFormat(QPrinter::PdfFormat);
    job.setOutputFileName(QString::fromStdString(AnsiToSystemName(name.empty() ? named.DefaultOutputFileName() : name)));
  };
  auto toPrinter = [&](int index) {
    job.setOutputFormat(QPrinter::NativeFormat);
    if (index >= 0) job.setPrinterName(QStr(programPrinter->Printers()->Get(index)));
  };
  auto toWhereJobsGo = [&](const AnsiString& file) {
    if (!file.empty() || programPrinter->Printers()->Count() == 0) toFile(file);
    else toPrinter(programPrinter->PrinterIndex());
  };
  if (CmdExecOpt == OLECMDEXECOPT_PROMPTUSER) {
    const TDialogHook& hook = DialogHook();
    std::optional<TDialogAnswer> answer;
    if (hook) {
      TDialogRequest r;
      r.Kind = dkPrinterSetup;
      r.FileName = programPrinter->OutputFileName();
      answer = hook(r);
    }
    if (answer) {
      if (answer->Result != IDOK) return;
      toWhereJobsGo(answer->FileName);
    } else {
      if (!DialogsCanShow()) return;
      toWhereJobsGo(programPrinter->OutputFileName());
      QPrintDialog dlg(&job, impl_->view->Widget()->window());
      dlg.setOption(QAbstractPrintDialog::PrintToFile, true);
      dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
      if (dlg.exec() != QDialog::Accepted) return;
    }
  } else {
    toWhereJobsGo(programPrinter->OutputFileName());
  }
  impl_->Print(job);
}

void TWebBrowser::Impl::Print(const QPrinter& job) {
  QString file;
  printerName.clear();
  if (job.outputFormat() == QPrinter::PdfFormat && !job.outputFileName().isEmpty()) {
    file = QFileInfo(job.outputFileName()).absoluteFilePath();
  } else {
    // For a printer the engine writes its PDF aside; the printer gets it when it is whole.
    QTemporaryFile part(QDir::tempPath() + "/vantry-tarn-print-XXXXXX.pdf");
    part.setAutoRemove(false);
    if (!part.open()) throw Exception(W1251("Не удалось создать временный файл для печати"));
    file = part.fileName();
    partFile = file;
    printerName = job.printerName();
    jobTitle = job.docName();
    copies = job.copyCount();
  }
  writingPdf = true;
  view->PrintToPdf(file, job.pageLayout());
}

void TWebBrowser::Impl::PdfWritten(const QString& file, bool ok) {
  writingPdf = false;
  QString part = partFile;
  partFile.clear();
  if (!part.isEmpty()) {
    AnsiString why = ok ? SendToPrinter(printerName, part, jobTitle, copies)
                        : W1251("браузер не подготовил страницу к печати");
    QFile::remove(part);
    if (!why.empty())
      throw EPrinter(Format(W1251("Страница не напечатана на принтере «%s»: %s"), {FromQStr(printerName), why}));
    return;
  }
  if (!ok) throw EPrinter(Format(W1251("Не удалось записать файл \"%s\""), {SystemNameToAnsi(file.toStdString())}));
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

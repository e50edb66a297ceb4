// The browser control over Qt WebEngine: the only place of the program that uses the engine.
#include "platform/webview/web_browser.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"
#include "platform/shell.h"
#include "platform/sysutils.h"

namespace {

// The engine reckons the charset of a page that names none with its user language as a hint;
// under another desktop language a short Cyrillic text is taken for Chinese. The program's
// language is Russian. The engine reads its flags once, when the first page starts it; the
// flags are put back after that so that programs started from here do not inherit them.
class ProgramLanguageInEngine {
public:
  ProgramLanguageInEngine() : had_(qEnvironmentVariableIsSet(kFlags)), flags_(qgetenv(kFlags)) {
    if (!flags_.contains("--lang=")) qputenv(kFlags, (flags_ + " --lang=ru").trimmed());
  }
  ~ProgramLanguageInEngine() {
    if (had_) qputenv(kFlags, flags_);
    else qunsetenv(kFlags);
  }

private:
  static constexpr const char* kFlags = "QTWEBENGINE_CHROMIUM_FLAGS";
  bool had_;
  QByteArray flags_;
};

// The engine refuses to start its sandbox for the superuser and then ends the whole program,
// unsaved document included; run as root, the program starts it without the sandbox.
void AllowEngineAsRoot() {
  if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

}  // namespace

struct TWebBrowser::Impl {
  QPointer<QWebEngineView> view;
  bool loading = false;
  std::unique_ptr<QPrinter> printer;  // alive while the page prints on it
  bool writingPdf = false;            // a PDF of the page is being written

  // The engine fails when the view goes while it still writes a PDF of the page: the view waits.
  void DeleteView() {
    if (!view) return;
    QDeadlineTimer deadline(30000);
    while (writingPdf && view && !deadline.hasExpired())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    delete view.data();
  }
};

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner), impl_(std::make_unique<Impl>()) {
  SetBounds(0, 0, 300, 150);
}

TWebBrowser::~TWebBrowser() {
  impl_->DeleteView();
}

void TWebBrowser::CreateWnd() {
  TWinControl::CreateWnd();
  AllowEngineAsRoot();
  auto* v = new QWebEngineView(Host()->Frame());
  impl_->view = v;
  {
    ProgramLanguageInEngine language;
    // The program's documents are Windows-1251 text: a page that names no charset is read as
    // such when the engine cannot tell its encoding.
    v->settings()->setDefaultTextEncoding(QStringLiteral("windows-1251"));
  }
  QObject::connect(v, &QWebEngineView::loadStarted, v, [this] { impl_->loading = true; });
  QObject::connect(v, &QWebEngineView::loadFinished, v, [this](bool) {
    impl_->loading = false;
    GuardedCall(this, [this] { CallEvent(OnDocumentComplete, this, LocationURL()); });
  });
  QObject::connect(v, &QWebEngineView::printFinished, v, [this](bool) { impl_->printer.reset(); });
  QObject::connect(v, &QWebEngineView::pdfPrintingFinished, v, [this] { impl_->writingPdf = false; });
  Host()->SetNative(v);
}

void TWebBrowser::DestroyWnd() {
  impl_->DeleteView();
  TWinControl::DestroyWnd();
}

void TWebBrowser::Navigate(const AnsiString& URL) {
  HandleNeeded();
  impl_->loading = true;
  impl_->view->setUrl(QUrl::fromEncoded(QByteArray::fromStdString(ShellTargetUrl(URL))));
}

void TWebBrowser::GoBack() {
  if (impl_->view) impl_->view->back();
}

void TWebBrowser::GoForward() {
  if (impl_->view) impl_->view->forward();
}

void TWebBrowser::Refresh() {
  if (impl_->view) impl_->view->reload();
}

void TWebBrowser::Stop() {
  if (impl_->view) impl_->view->stop();
}

void TWebBrowser::ExecWB(int CmdID, int CmdExecOpt) {
  if (CmdID != OLECMDID_PRINT || !impl_->view || impl_->printer) return;
  QWebEngineView* v = impl_->view;
  if (CmdExecOpt == OLECMDEXECOPT_PROMPTUSER) {
    if (const TDialogHook& hook = DialogHook()) {
      TDialogRequest r;
      r.Kind = dkPrinterSetup;
      if (auto a = hook(r)) {
        if (a->Result == IDOK && !a->FileName.empty()) {
          impl_->writingPdf = true;
          v->printToPdf(QString::fromStdString(AnsiToSystemName(a->FileName)));
        }
        return;
      }
    }
    if (!DialogsCanShow()) return;
  }
  impl_->printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  if (CmdExecOpt == OLECMDEXECOPT_PROMPTUSER) {
    QPrintDialog dlg(impl_->printer.get(), v->window());
    if (dlg.exec() != QDialog::Accepted) {
      impl_->printer.reset();
      return;
    }
  }
  v->print(impl_->printer.get());
}

AnsiString TWebBrowser::LocationURL() const {
  if (!impl_->view) return AnsiString();
  return FromQStr(impl_->view->url().toString());
}

AnsiString TWebBrowser::LocationName() const {
  if (!impl_->view) return AnsiString();
  return FromQStr(impl_->view->title());
}

bool TWebBrowser::Busy() const { return impl_->loading; }

void TWebBrowser::PaintTo(TBitmap* Bitmap) {
  if (!impl_->view || !Bitmap) return;
  QImage img = impl_->view->grab().toImage().convertToFormat(QImage::Format_RGB32);
  Bitmap->SetSize(img.width(), img.height());
  BitmapImage(Bitmap) = img;
  Bitmap->Modified();
}

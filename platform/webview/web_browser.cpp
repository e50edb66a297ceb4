// The browser control over Qt WebEngine: the only place of the program that uses the engine.
#include "platform/webview/web_browser.h"

#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "platform/dialogs.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"
#include "platform/shell.h"
#include "platform/sysutils.h"

struct TWebBrowser::Impl {
  QPointer<QWebEngineView> view;
  bool loading = false;
  std::unique_ptr<QPrinter> printer;  // alive while the page prints on it
};

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner), impl_(std::make_unique<Impl>()) {
  SetBounds(0, 0, 300, 150);
}

TWebBrowser::~TWebBrowser() {
  if (impl_->view) delete impl_->view.data();
}

void TWebBrowser::CreateWnd() {
  TWinControl::CreateWnd();
  auto* v = new QWebEngineView(Host()->Frame());
  impl_->view = v;
  QObject::connect(v, &QWebEngineView::loadStarted, v, [this] { impl_->loading = true; });
  QObject::connect(v, &QWebEngineView::loadFinished, v, [this](bool) {
    impl_->loading = false;
    GuardedCall(this, [this] { CallEvent(OnDocumentComplete, this, LocationURL()); });
  });
  QObject::connect(v, &QWebEngineView::printFinished, v, [this](bool) { impl_->printer.reset(); });
  Host()->SetNative(v);
}

void TWebBrowser::DestroyWnd() {
  if (impl_->view) delete impl_->view.data();
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
        if (a->Result == IDOK && !a->FileName.empty())
          v->page()->printToPdf(QString::fromStdString(AnsiToSystemName(a->FileName)));
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

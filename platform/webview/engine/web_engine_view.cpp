// The web view module: the browser engine's view (Qt WebEngine) behind the plain interface the
// browser control drives. The only code of the program that links the engine; the program opens
// this library when the first page is shown.
#include <QPageLayout>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>

#include "platform/qt/web_engine_view.h"

// The engine's own set-up, which it runs before the application object is made when a program
// links it at start: the OpenGL context its pages share with the toolkit's windows. Loaded
// later, as this module is, the engine needs it run before its first page.
namespace QtWebEngineCore {
void initialize();
}

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

class EngineView final : public TWebEngineView {
public:
  EngineView(QWidget* parent, const Events& events, const char* encoding) : events_(events) {
    AllowEngineAsRoot();
    view_ = new QWebEngineView(parent);
    {
      ProgramLanguageInEngine language;
      view_->settings()->setDefaultTextEncoding(QString::fromLatin1(encoding));
    }
    QObject::connect(view_, &QWebEngineView::loadStarted, view_, [this] {
      if (events_.LoadStarted) events_.LoadStarted();
    });
    QObject::connect(view_, &QWebEngineView::loadFinished, view_, [this](bool ok) {
      if (events_.LoadFinished) events_.LoadFinished(ok);
    });
    QObject::connect(view_->page(), &QWebEnginePage::pdfPrintingFinished, view_,
                     [this](const QString& file, bool ok) {
                       if (events_.PdfWritten) events_.PdfWritten(file, ok);
                     });
  }
  // The widget goes with the view, unless its parent has deleted it already.
  ~EngineView() override { delete view_.data(); }

  QWidget* Widget() override { return view_; }
  void Load(const QUrl& url) override {
    if (view_) view_->setUrl(url);
  }
  void Back() override {
    if (view_) view_->back();
  }
  void Forward() override {
    if (view_) view_->forward();
  }
  void Reload() override {
    if (view_) view_->reload();
  }
  void Stop() override {
    if (view_) view_->stop();
  }
  QUrl Url() const override { return view_ ? view_->url() : QUrl(); }
  QString Title() const override { return view_ ? view_->title() : QString(); }
  void PrintToPdf(const QString& file, const QPageLayout& layout) override {
    if (view_) view_->page()->printToPdf(file, layout);
  }

private:
  Events events_;
  QPointer<QWebEngineView> view_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) TWebEngineView* VtNewWebEngineView(
    QWidget* parent, const TWebEngineView::Events& events, const char* encoding) {
  static bool engineSetUp = false;
  if (!engineSetUp) {
    engineSetUp = true;
    QtWebEngineCore::initialize();
  }
  return new EngineView(parent, events, encoding);
}

#pragma once
// Platform-internal: the browser engine's view as the web view module makes it. The module is a
// shared library of its own, opened when the first browser control gets its window, so that a
// start that shows no page loads none of the engine. The browser control drives the view through
// this interface alone; the module knows nothing else of the platform.
#include <QString>
#include <QUrl>

#include <functional>

class QPageLayout;
class QWidget;

class TWebEngineView {
public:
  // Called from the engine's signals; the browser control guards them itself.
  struct Events {
    std::function<void()> LoadStarted;
    std::function<void(bool Ok)> LoadFinished;
    // A PDF asked for with PrintToPdf is written (Ok) or could not be.
    std::function<void(const QString& File, bool Ok)> PdfWritten;
  };
  virtual ~TWebEngineView() = default;

  // The view's widget, a child of the parent the module was given.
  virtual QWidget* Widget() = 0;
  virtual void Load(const QUrl& Url) = 0;
  virtual void Back() = 0;
  virtual void Forward() = 0;
  virtual void Reload() = 0;
  virtual void Stop() = 0;
  virtual QUrl Url() const = 0;
  virtual QString Title() const = 0;
  // The page as the engine prints it, into a PDF file: text stays text, the page breaks into
  // pages of the layout. Events.PdfWritten tells when it is done.
  virtual void PrintToPdf(const QString& File, const QPageLayout& Layout) = 0;
};

// The one function the module exports (by this name): a new view in Parent whose signals go to
// Events. Pages that name no charset are read as DefaultEncoding.
using TNewWebEngineView = TWebEngineView* (*)(QWidget* Parent, const TWebEngineView::Events& Events,
                                              const char* DefaultEncoding);
inline constexpr char kNewWebEngineViewName[] = "VtNewWebEngineView";
// The module's file, looked for in the program's folder first.
inline constexpr char kWebEngineModuleName[] = "libwebview.so";

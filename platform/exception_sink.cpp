#include <QCoreApplication>
#include <cstdio>
#include <functional>

#include "platform/controls.h"

namespace {
std::function<void(TObject*, const Exception*)>& ExceptionSink() {
  static std::function<void(TObject*, const Exception*)> sink;
  return sink;
}
}  // namespace

void HandleException(TObject* Sender) {
  try {
    throw;
  } catch (const EAbort&) {
    // The silent abort shows nothing.
  } catch (const Exception& e) {
    if (ExceptionSink()) ExceptionSink()(Sender, &e);
    else fprintf(stderr, "%s\n", AnsiToUtf8(e.Message()).c_str());
  } catch (const std::exception& e) {
    Exception wrapped(Utf8ToAnsi(e.what()));
    if (ExceptionSink()) ExceptionSink()(Sender, &wrapped);
    else fprintf(stderr, "%s\n", e.what());
  } catch (...) {
    Exception unknown(W1251("Неизвестная ошибка."));
    if (ExceptionSink()) ExceptionSink()(Sender, &unknown);
  }
}

void SetExceptionSink(std::function<void(TObject*, const Exception*)> sink) { ExceptionSink() = std::move(sink); }

void ProcessMessages() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

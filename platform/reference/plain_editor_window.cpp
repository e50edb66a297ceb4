// The start-up benchmark's reference window (bench/app_startup.sh), not part of the program: it
// sits under platform/ only because it is written against the toolkit directly. The smallest
// editor window the toolkit offers, a plain-text edit control in a fixed-pitch font holding a
// small page, shown at the same size as the program's window. Prints the wall-clock time of its
// first paint in the format of app_startup, so that the script measures both from the moment it
// starts them.
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {
struct PaintWatch : QObject {
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};
}  // namespace

int main(int argc, char** argv) {
  auto inMain = std::chrono::steady_clock::now();
  QApplication app(argc, argv);
  QPlainTextEdit edit;
  edit.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  if (argc > 1) {
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (f.open(QIODevice::ReadOnly)) edit.setPlainText(QString::fromLatin1(f.readAll()));
  }
  edit.resize(800, 600);
  PaintWatch watch;
  edit.viewport()->installEventFilter(&watch);
  edit.show();
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!watch.painted && std::chrono::steady_clock::now() < limit) app.processEvents();
  auto now = std::chrono::system_clock::now();
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - inMain).count();
  std::printf("painted_at_ns %lld\nin_main_ms %.1f\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         now.time_since_epoch()).count()),
              ms);
  std::fflush(stdout);
  _exit(watch.painted ? 0 : 1);
}

// System metrics from Qt: the style's scroll-bar extent and the application's drag distance and
// wheel scroll lines.
#include <QApplication>
#include <QCursor>
#include <QStyle>

#include "platform/qt/control_host.h"
#include "platform/system_metrics.h"

int GetSystemMetrics(int Index) {
  if (!QApplication::instance()) return 0;
  switch (Index) {
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
      return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    case SM_CYCAPTION:
      return QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    case SM_CXDRAG: case SM_CYDRAG:
      return QApplication::startDragDistance();
    default:
      return 0;
  }
}

int WheelScrollLines() { return QApplication::instance() ? QApplication::wheelScrollLines() : 3; }

namespace {
bool gPointerSeen = false;
QPoint gPointer;
}  // namespace

void NotePointerPosition(const QPoint& global) {
  gPointerSeen = true;
  gPointer = global;
}

// Where the latest mouse event put the pointer: the window system reports every move to the
// window under the pointer, or to the one holding the pressed button, and offscreen there is no
// other pointer to ask. Before any event: the desktop's pointer.
TPoint GetCursorPos() {
  QPoint p = gPointerSeen ? gPointer : QCursor::pos();
  return TPoint{p.x(), p.y()};
}

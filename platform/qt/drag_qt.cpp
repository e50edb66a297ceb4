// Dragging of controls: the drag manager follows the pointer through an application-wide event
// filter while the button is held, asks the control under the pointer whether it takes the
// drop, shows the answer as the cursor and hands the drop to it at the release.
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/drag.h"
#include "platform/qt/control_host.h"
#include "platform/system_metrics.h"

namespace {

class TDragFilter;

struct DragState {
  TControl* source = nullptr;
  QPointer<QWidget> sourceWidget;  // the source's window: the drag ends when it goes
  bool started = false;
  QPoint start;
  int threshold = 0;
  TControl* target = nullptr;
  QPointer<QWidget> targetWidget;
  bool accepted = false;
  TCursor cursor = crDefault;
  QPoint last;
  bool overrideCursor = false;
  std::unique_ptr<TDragFilter> filter;
};

DragState& Drag() {
  static DragState d;
  return d;
}

bool Alive(const QPointer<QWidget>& w) { return !w.isNull(); }

TWinControl* ControlAtPoint(const QPoint& global) {
  QWidget* w = QApplication::widgetAt(global);
  if (TWinControl* c = ControlOfWidget(w)) return c;
  // Window systems without a hit test of their own (offscreen): the topmost visible client
  // area holding the point, children before their parents.
  TWinControl* found = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (!top->isVisible()) continue;
    QPoint local = top->mapFromGlobal(global);
    if (!top->rect().contains(local)) continue;
    QWidget* child = top->childAt(local);
    if (TWinControl* c = ControlOfWidget(child ? child : top)) found = c;
  }
  return found;
}

void ShowCursor(TCursor c);

void Finish(bool drop);

void Leave() {
  DragState& d = Drag();
  if (d.target && Alive(d.targetWidget)) {
    TControl* t = d.target;
    TPoint p = static_cast<TWinControl*>(t)->ScreenToClient(TPoint{d.last.x(), d.last.y()});
    bool acc = false;
    GuardedCall(t, [&] { t->DragOver(d.source, p.X, p.Y, dsDragLeave, acc); });
  }
  d.target = nullptr;
  d.targetWidget = nullptr;
  d.accepted = false;
}

void DragTo(const QPoint& global) {
  DragState& d = Drag();
  d.last = global;
  TWinControl* t = ControlAtPoint(global);
  if (t != d.target) {
    Leave();
    if (!d.source) return;  // a handler ended the drag
    d.target = t;
    d.targetWidget = t ? t->Host()->Frame() : nullptr;
    if (t) {
      TPoint p = t->ScreenToClient(TPoint{global.x(), global.y()});
      bool acc = false;
      GuardedCall(t, [&] { t->DragOver(d.source, p.X, p.Y, dsDragEnter, acc); });
      d.accepted = acc;
    }
  } else if (t) {
    TPoint p = t->ScreenToClient(TPoint{global.x(), global.y()});
    bool acc = false;
    GuardedCall(t, [&] { t->DragOver(d.source, p.X, p.Y, dsDragMove, acc); });
    d.accepted = acc;
  }
  if (!d.source) return;
  ShowCursor(d.target && d.accepted ? d.target->DragCursor() : crNoDrop);
}

Qt::CursorShape ShapeOf(TCursor c) {
  switch (c) {
    case crDrag: return Qt::DragMoveCursor;
    case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop: case crNo: return Qt::ForbiddenCursor;
    case crArrow: return Qt::ArrowCursor;
    case crIBeam: return Qt::IBeamCursor;
    default: return Qt::ArrowCursor;
  }
}

void ShowCursor(TCursor c) {
  DragState& d = Drag();
  d.cursor = c;
  if (!QGuiApplication::instance()) return;
  if (d.overrideCursor) {
    QApplication::changeOverrideCursor(QCursor(ShapeOf(c)));
  } else {
    QApplication::setOverrideCursor(QCursor(ShapeOf(c)));
    d.overrideCursor = true;
  }
}

class TDragFilter : public QObject {
public:
  bool eventFilter(QObject* obj, QEvent* e) override {
    DragState& d = Drag();
    if (!d.source) return false;
    if (!Alive(d.sourceWidget)) {
      Finish(false);
      return false;
    }
    if (e->type() == QEvent::MouseMove || e->type() == QEvent::MouseButtonRelease)
      NotePointerPosition(static_cast<QMouseEvent*>(e)->globalPosition().toPoint());
    switch (e->type()) {
      case QEvent::MouseMove: {
        if (!obj->isWidgetType()) return false;
        QPoint g = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
        if (!(static_cast<QMouseEvent*>(e)->buttons() & Qt::LeftButton)) {
          // The button went up where this program did not see it: the drag is over.
          Finish(false);
          return true;
        }
        if (!d.started) {
          QPoint m = g - d.start;
          if (std::abs(m.x()) < d.threshold && std::abs(m.y()) < d.threshold) return true;
          d.started = true;
        }
        DragTo(g);
        return true;
      }
      case QEvent::MouseButtonRelease: {
        if (!obj->isWidgetType()) return false;
        QPoint g = static_cast<QMouseEvent*>(e)->globalPosition().toPoint();
        if (d.started && static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) {
          DragTo(g);
          Finish(d.source && d.target && d.accepted);
        } else {
          Finish(false);
        }
        return true;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        return obj->isWidgetType();
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Escape) {
          if (e->type() == QEvent::KeyPress) Finish(false);
          return true;
        }
        // A modifier changes what a drop would do (copy or move): ask the target again.
        if (d.started && (k->key() == Qt::Key_Control || k->key() == Qt::Key_Shift)) DragTo(d.last);
        return true;
      }
      default:
        return false;
    }
  }
};

void Finish(bool drop) {
  DragState& d = Drag();
  if (!d.source) return;
  bool targetAlive = Alive(d.targetWidget), sourceAlive = Alive(d.sourceWidget);
  // A source that went away during the drag is no source any more.
  TControl* source = sourceAlive ? d.source : nullptr;
  TControl* target = d.target;
  QPoint at = d.last;
  // The filter may be running: it is deleted later, not here.
  if (d.filter) {
    QApplication::instance()->removeEventFilter(d.filter.get());
    d.filter.release()->deleteLater();
  }
  if (d.overrideCursor) {
    QApplication::restoreOverrideCursor();
    d.overrideCursor = false;
  }
  d.source = nullptr;
  d.target = nullptr;
  d.started = false;
  d.accepted = false;
  if (drop && source && target && targetAlive) {
    TPoint p = static_cast<TWinControl*>(target)->ScreenToClient(TPoint{at.x(), at.y()});
    GuardedCall(target, [&] { target->DragDrop(source, p.X, p.Y); });
  } else {
    if (target && targetAlive) {
      TPoint p = static_cast<TWinControl*>(target)->ScreenToClient(TPoint{at.x(), at.y()});
      bool acc = false;
      GuardedCall(target, [&] { target->DragOver(source, p.X, p.Y, dsDragLeave, acc); });
    }
    if (sourceAlive) GuardedCall(source, [&] { source->DragCanceled(); });
  }
}

}  // namespace

void TControl::BeginDrag(bool Immediate, int Threshold) {
  DragState& d = Drag();
  auto* w = dynamic_cast<TWinControl*>(this);
  if (d.source || !w || !w->HandleAllocated()) return;
  d.source = this;
  d.sourceWidget = w->Host()->Frame();
  TPoint at = GetCursorPos();
  d.start = QPoint(at.X, at.Y);
  d.last = d.start;
  d.threshold = Threshold >= 0 ? Threshold : std::max(GetSystemMetrics(SM_CXDRAG), 1);
  d.started = false;
  d.target = nullptr;
  d.accepted = false;
  d.filter = std::make_unique<TDragFilter>();
  QApplication::instance()->installEventFilter(d.filter.get());
  // The drag takes the pointer over from whoever had it.
  w->SetMouseCapture(false);
  if (Immediate && d.source == this) {
    d.started = true;
    DragTo(d.start);
  }
}

bool TControl::Dragging() const { return Drag().source == this; }

void TControl::EndDrag(bool Drop) {
  if (Dragging()) Finish(Drop && Drag().target && Drag().accepted);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  Accept = OnDragOver.Assigned();
  if (Accept) OnDragOver(this, Source, X, Y, State, Accept);
}

void TControl::DragDrop(TObject* Source, int X, int Y) { CallEvent(OnDragDrop, this, Source, X, Y); }

TControl* DragSourceControl() { return Drag().source; }
bool DragStarted() { return Drag().source && Drag().started; }
TControl* DragTargetControl() { return Drag().target; }
TCursor DragCursorShown() { return Drag().cursor; }
void CancelDrag() { Finish(false); }

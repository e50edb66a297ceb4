#pragma once
// Platform-internal: the Qt widgets behind a windowed control. The frame holds the client
// widget (painting, mouse, keys) and the two scroll bars; Qt events become window messages.
#include <QRegion>
#include <QScrollBar>
#include <QKeyEvent>
#include <QWidget>

#include "platform/controls.h"

class TClientWidget;

class TControlHost {
public:
  TControlHost(TWinControl* control, const TCreateParams& params, QWidget* parent);
  ~TControlHost();

  QWidget* Frame() const { return frame_; }
  TClientWidget* Client() const { return client_; }
  QScrollBar* Bar(int bar) const { return bar == SB_HORZ ? hbar_ : vbar_; }
  TWinControl* Control() const { return control_; }

  void Layout();
  // A native widget of a standard control, shown in place of the painted client area.
  void SetNative(QWidget* w);
  QWidget* Native() const { return native_; }
  void AddDirty(const QRect& r) { dirty_ += r; }
  QRegion TakeDirty() {
    QRegion d = dirty_;
    dirty_ = QRegion();
    return d;
  }
  // Scroll information as the control last set it; the bars never move on their own.
  TScrollInfo info[2];
  bool barShown[2] = {false, false};
  bool barEnabled[2] = {true, true};
  void ApplyBar(int bar);
  void ScrollAction(int bar, int action);
  void SliderMoved(int bar, int pos);
  void SliderReleased(int bar);
  AnsiString lastComposition;

private:
  TWinControl* control_;
  QWidget* frame_;
  TClientWidget* client_;
  QScrollBar* hbar_;
  QScrollBar* vbar_;
  QWidget* native_ = nullptr;
  QRegion dirty_;
  bool border_;
};

// Delivers a message to a control, handing an escaping exception to the application's handler.
void DeliverMessage(TWinControl* control, TMessage& m);
// The control whose client area holds a widget (the widget or one of its parents); nullptr
// when none does.
TWinControl* ControlOfWidget(QWidget* w);
// Records where the pointer was at the latest mouse event (GetCursorPos answers it).
void NotePointerPosition(const QPoint& global);
// Records the modifier keys of the latest input event (GetKeyState answers them where the
// window system has no keyboard of its own).
void NoteInputModifiers(Qt::KeyboardModifiers m);
// The virtual-key code of a Qt key event (the physical key, whatever the layout).
Word VirtualKeyOfEvent(const QKeyEvent* e);
// Runs code called from Qt, handing an escaping exception to the application's handler.
template <class F>
void GuardedCall(TObject* sender, F&& f) {
  try {
    f();
  } catch (...) {
    HandleException(sender);
  }
}

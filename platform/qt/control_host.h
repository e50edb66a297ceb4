#pragma once
// Platform-internal: the Qt widgets behind a windowed control. The frame holds the client
// widget (painting, mouse, keys) and the two scroll bars; Qt events become window messages.
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScrollBar>
#include <QKeyEvent>
#include <QWidget>

#include <memory>

#include "platform/controls.h"

class TControlHost {
public:
  TControlHost(TWinControl* control, const TCreateParams& params, QWidget* parent);
  ~TControlHost();

  QWidget* Frame() const { return frame_; }
  QWidget* Client() const { return client_; }
  QScrollBar* Bar(int bar) const { return bar == SB_HORZ ? hbar_ : vbar_; }
  TWinControl* Control() const { return control_; }

  void Layout();
  // A native widget of a standard control, shown in place of the painted client area.
  void SetNative(QWidget* w);
  QWidget* Native() const { return native_; }
  // The parts the control invalidated and has not painted yet.
  void AddDirty(const QRegion& r) { dirty_ += r; }
  const QRegion& Dirty() const { return dirty_; }
  void Painted(const QRegion& r) { dirty_ -= r; }

  // The client area's pixels, as a window system keeps a window's, for a control that keeps
  // them (TWinControl::KeepsPixels: made once its first paint is shown) or that a canvas drew on
  // outside a paint; any other window keeps no copy: its paint events have the control paint
  // straight into it. Once made, a paint
  // event shows them, asking the control to paint only the parts it invalidated and the parts
  // never painted (after a resize, all of them), and a canvas on the control outside a paint
  // draws here.
  QImage surface;
  QRegion valid;  // the parts of the surface the control has painted
  bool Retained() const { return !surface.isNull(); }
  // Fits the surface to the client area (content kept, new parts invalid), making it when
  // there is none.
  void FitSurface();
  // Has the control paint the region on the painter, which has its own state back after.
  void PaintControl(QPainter& painter, const QRegion& region);
  // Makes the copy of the pixels, the control painting all of them into it, unless it is made.
  void MakeSurface();
  // Makes it once the events waiting now are handled (after the first paint is shown).
  void KeepPixelsSoon();
  // The painter of a control canvas, open until the next paint or EndSurfacePaint.
  QPainter* BeginSurfacePaint();
  void EndSurfacePaint();
  // Moves the kept pixels of area by dx, dy as ScrollWindow does (the window's own pixels are
  // moved by the caller); the uncovered strip becomes invalid and what was still to be painted
  // moves with the pixels.
  void ScrollSurface(int dx, int dy, const QRect& area);
  // Scroll information as the control last set it; the bars never move on their own.
  TScrollInfo info[2];
  bool barShown[2] = {false, false};
  bool barEnabled[2] = {true, true};
  QRect corner;  // between the two scroll bars when both show
  bool HasBorder() const { return border_; }
  void ApplyBar(int bar);
  void ScrollAction(int bar, int action);
  void SliderMoved(int bar, int pos);
  void SliderReleased(int bar);
  AnsiString lastComposition;
  // The widget that had the focus when the control went off, and where the focus went then.
  QPointer<QWidget> focusBeforeDisabled;
  QPointer<QWidget> focusWhileDisabled;

private:
  TWinControl* control_;
  QWidget* frame_;
  QWidget* client_;
  QScrollBar* hbar_;
  QScrollBar* vbar_;
  QWidget* native_ = nullptr;
  QRegion dirty_;
  std::unique_ptr<QPainter> surfacePainter_;
  bool surfaceDue_ = false;
  bool border_;
};

// Delivers a message to a control, handing an escaping exception to the application's handler.
void DeliverMessage(TWinControl* control, TMessage& m);
// The control whose client area holds a widget (the widget or one of its parents); nullptr
// when none does.
TWinControl* ControlOfWidget(QWidget* w);
// Records where the pointer was at the latest mouse event (GetCursorPos answers it).
void NotePointerPosition(const QPoint& global);
// Records the modifier keys of an input event as it is dispatched: GetKeyState answers them while
// it is handled, and after it until the next one.
void NoteInputEvent(const QEvent* e);
// Puts a keyboard holding the given modifiers in place of the window system's, for what the key
// state asks the keyboard itself (On false gives the window system's back).
void SimulateKeyboardModifiers(bool On, Qt::KeyboardModifiers Held);
// The virtual-key code of a Qt key event (the physical key, whatever the layout).
Word VirtualKeyOfEvent(const QKeyEvent* e);
// Whether a control takes a key that a dialog uses itself (Tab moves the focus, Enter and Esc
// press the default and the cancel button), as the control answers WM_GETDLGCODE.
bool ControlWantsDialogKey(TWinControl* control, Word vk);
// Whether the control sits in a dialog (a form shown modally or with a dialog's frame), where
// the dialog keys move the focus and press buttons.
bool DialogManagesKeys(TWinControl* control);
// The window a dialog of the desktop belongs to and stays above: the owner's, else the active
// window, else the modal one, else the main form's (nullptr when none shows). A dialog without
// one could go behind the program's windows.
QWidget* DialogOwnerWidget(TWinControl* owner);
// The shape Qt shows for a cursor of the controls.
Qt::CursorShape CursorShapeOf(TCursor c);
// Runs code called from Qt, handing an escaping exception to the application's handler.
template <class F>
void GuardedCall(TObject* sender, F&& f) {
  try {
    f();
  } catch (...) {
    HandleException(sender);
  }
}

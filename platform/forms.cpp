#include "platform/forms.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>

#include "platform/actions.h"
#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/graphics.h"
#include "platform/stdctrls.h"
#include "platform/qt/control_host.h"
#include "platform/qt/widgets_qt.h"

namespace {

// Never freed, like the application object (forms may go during static destruction).
TScreen& gScreen = *new TScreen;

// The newest form showing above owner that takes the keys, or the one above that when it is
// switched off for another in turn; nullptr when none shows.
TCustomForm* ShownOwnedForm(TCustomForm* owner) {
  for (int i = Screen->FormCount() - 1; i >= 0; --i) {
    TCustomForm* f = Screen->Forms(i);
    if (f == owner || f->OwnerForm() != owner || !f->HandleAllocated() || !f->Host()->Frame()->isVisible()) continue;
    if (f->Host()->Frame()->windowFlags() & Qt::WindowDoesNotAcceptFocus) continue;
    if (f->Enabled()) return f;
    if (TCustomForm* above = ShownOwnedForm(f)) return above;
  }
  return nullptr;
}

// Watches the form's top-level frame: closing, moving, resizing and state changes.
class TFormWatcher : public QObject {
public:
  TFormWatcher(TCustomForm* form, QWidget* frame) : QObject(frame), form_(form) {
    frame->installEventFilter(this);
  }
  // The widget that had the focus in the window when the form was switched off.
  QPointer<QWidget> keptFocus;

protected:
  bool eventFilter(QObject*, QEvent* e) override {
    switch (e->type()) {
      case QEvent::Close:
        e->ignore();
        GuardedCall(form_, [this] { form_->FrameCloseRequested(); });
        return true;
      case QEvent::Move:
      case QEvent::Resize:
        form_->FrameGeometryChanged();
        break;
      case QEvent::WindowStateChange:
        form_->FrameStateChanged();
        break;
      case QEvent::WindowActivate:
        // A window switched off for an owned one (a dialog) hands the activation on to that
        // one, as a click on it would otherwise leave the keys with a window that takes none.
        if (!form_->Enabled())
          if (TCustomForm* owned = ShownOwnedForm(form_)) {
            owned->BringToFront();
            break;
          }
        GuardedCall(form_, [this] { CallEvent(form_->OnActivate, form_); });
        break;
      case QEvent::WindowDeactivate:
        GuardedCall(form_, [this] { CallEvent(form_->OnDeactivate, form_); });
        break;
      default:
        break;
    }
    return false;
  }

private:
  TCustomForm* form_;
};

TCustomForm* FormOfWidget(QWidget* w) {
  if (!w) return nullptr;
  QWidget* top = w->window();
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (f->HandleAllocated() && f->Host()->Frame() == top) return f;
  }
  return nullptr;
}

// Routes keys of every form: key preview, the shortcuts of the form's actions and the menu
// keys, before the focused control sees them.
class TFormKeyRouter : public QObject {
protected:
  // Sees the keys of every object, also of Qt's internal windows (the browser engine's), whose
  // type information is not exported: the sanitizer cannot check the type of those.
  __attribute__((no_sanitize("vptr"))) bool eventFilter(QObject* obj, QEvent* e) override {
    // A mouse button pressed while Alt is held makes Alt part of that click or drag: letting go
    // of Alt then is no tap for the menu.
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
      altAlone_ = false;
      return false;
    }
    if (e->type() != QEvent::KeyPress && e->type() != QEvent::KeyRelease) return false;
    if (!obj->isWidgetType()) return false;
    auto* w = static_cast<QWidget*>(obj);
    // A key ignored by a widget travels on to its parents: route it once.
    if (e == last_ && lastReceiver_ && lastReceiver_->parentWidget() == w) {
      lastReceiver_ = w;
      return false;
    }
    last_ = e;
    lastReceiver_ = w;
    auto* k = static_cast<QKeyEvent*>(e);
    TCustomForm* form = FormOfWidget(w);
    if (!form) return false;
    Word vk = VirtualKeyOfEvent(k);
    if (e->type() == QEvent::KeyRelease) {
      // Alt pressed and released alone marks the main menu, or leaves it. Where the toolkit's
      // menu bar does that itself (the keys moved to or from it meanwhile), it is done.
      bool lone = vk == VK_MENU && altAlone_;
      altAlone_ = false;
      bool taken = QApplication::focusWidget() != focusAtAlt_.data();
      if (lone && !taken && !k->isAutoRepeat()) {
        bool used = false;
        GuardedCall(form, [&] { used = form->HandleMenuKey(); });
        return used;
      }
      return false;
    }
    altAlone_ = vk == VK_MENU;
    if (altAlone_) focusAtAlt_ = QApplication::focusWidget();
    if (!vk || vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) return false;
    TShiftState shift;
    if (k->modifiers() & Qt::ShiftModifier) shift.Include(ssShift);
    if (k->modifiers() & Qt::ControlModifier) shift.Include(ssCtrl);
    if (k->modifiers() & Qt::AltModifier) shift.Include(ssAlt);
    // A key whose command failed was used all the same: the failure is shown, and the key goes
    // no further (the browser engine would hand it back and the command would run again).
    bool used = true;
    GuardedCall(form, [&] { used = form->HandleFormKey(vk, shift, k->text().toStdString()); });
    return used;
  }

private:
  QEvent* last_ = nullptr;
  QPointer<QWidget> lastReceiver_;
  bool altAlone_ = false;
  QPointer<QWidget> focusAtAlt_;
};

}  // namespace

TScreen* const Screen = &gScreen;

void InstallFormKeyRouter() {
  static TFormKeyRouter* router = nullptr;
  if (router) return;
  EnsureGuiApplication();
  router = new TFormKeyRouter;
  qApp->installEventFilter(router);
}

int TScreen::Width() const {
  EnsureGuiApplication();
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().width() : 1024;
}

int TScreen::Height() const {
  EnsureGuiApplication();
  QScreen* s = QGuiApplication::primaryScreen();
  return s ? s->geometry().height() : 768;
}

TCustomForm* TScreen::ActiveForm() const {
  if (!QCoreApplication::instance()) return nullptr;
  return FormOfWidget(QApplication::activeWindow());
}

TCustomForm* GetParentForm(TControl* Control) {
  for (TControl* c = Control; c; c = c->Parent())
    if (auto* f = dynamic_cast<TCustomForm*>(c)) return f;
  return nullptr;
}

bool DialogManagesKeys(TWinControl* control) {
  TCustomForm* f = GetParentForm(control);
  return f && (f->Modal() || f->FormBorderStyle() == bsDialog);
}

// ------------------------------------------------------------------------------ TCustomForm

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  Application->Initialize();
  visible_ = false;
  SetBorderStyle(bsNone);
  SetTabStop(false);  // the focus goes to its controls
  SetColor(clBtnFace);
  bounds_ = TRect{0, 0, 400, 300};
  normal_ = bounds_;
  gScreen.forms_.push_back(this);
}

TCustomForm::~TCustomForm() {
  if (!destroyed_) {
    destroyed_ = true;
    try {
      CallEvent(OnDestroy, this);
    } catch (...) {
      ::HandleException(this);
    }
  }
  // Owned components go while the form is still a form (their windows live in it).
  DestroyComponents();
  gScreen.forms_.erase(std::remove(gScreen.forms_.begin(), gScreen.forms_.end(), this), gScreen.forms_.end());
  if (Application->MainForm() == this) Application->SetMainForm(nullptr);
}

void TCustomForm::DoCreate() {
  if (created_) return;
  created_ = true;
  CallEvent(OnCreate, this);
}

void TCustomForm::DoDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  CallEvent(OnDestroy, this);
}

namespace {
// A frame the user cannot resize: the window manager learns that the size is fixed, so it draws
// no resize handle along the bottom edge and offers no maximise button. Other frames are free.
void FixSizeOfUnresizableFrame(QWidget* f, int border) {
  if (border == fbsSingle || border == bsDialog || border == bsToolWindow) {
    f->setFixedSize(f->size());
  } else {
    f->setMinimumSize(0, 0);
    f->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  }
}
}  // namespace

void TCustomForm::CreateWnd() {
  TWinControl::CreateWnd();
  QWidget* f = Host()->Frame();
  f->setWindowTitle(QStr(caption_));
  watcher_ = new TFormWatcher(this, f);
  SetFormBorderStyle(formBorder_);
  ApplyGeometry();
}

void TCustomForm::DestroyWnd() {
  watcher_ = nullptr;  // a child of the frame: goes with it
  TWinControl::DestroyWnd();
}

void TCustomForm::SetActiveControl(TWinControl* c) {
  if (activeControl_ == c) return;
  if (activeControl_) activeControl_->RemoveFreeNotification(this);
  activeControl_ = c;
  if (!c) return;
  c->FreeNotification(this);
  if (HandleAllocated() && Host()->Frame()->isVisible() && c->CanFocus()) c->SetFocus();
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == activeControl_) activeControl_ = nullptr;
}

void TCustomForm::SetCaption(const AnsiString& v) {
  caption_ = v;
  if (HandleAllocated()) Host()->Frame()->setWindowTitle(QStr(v));
}

void TCustomForm::SetFormBorderStyle(int s) {
  formBorder_ = s;
  if (!HandleAllocated()) return;
  QWidget* f = Host()->Frame();
  bool shown = f->isVisible();
  Qt::WindowFlags flags = Qt::Window;
  switch (s) {
    // An owned window without a frame is still the owner's: the window system keeps (and
    // minimises) only a dialog's window with its owner.
    case fbsNone: flags = (OwnerForm() ? Qt::Dialog : Qt::Window) | Qt::FramelessWindowHint; break;
    // A dialog's frame offers closing only, neither minimising nor maximising.
    case bsDialog:
      flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
      break;
    case bsToolWindow: case bsSizeToolWin: flags = Qt::Tool; break;
    default: break;
  }
  // A window that never takes the focus or activation (popup lists): a frameless window on top
  // that the window manager leaves alone, as tool tips are, whose one-pixel border (WS_BORDER)
  // is drawn dark.
  const bool noActivate = Params().ExStyle & WS_EX_NOACTIVATE;
  if (noActivate) {
    flags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
    f->setAttribute(Qt::WA_ShowWithoutActivating);
    f->setFocusPolicy(Qt::NoFocus);
    if (f->focusProxy()) f->focusProxy()->setFocusPolicy(Qt::NoFocus);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, QColor(0x40, 0x40, 0x40));
    f->setPalette(p);
    f->setAutoFillBackground(true);
    for (int bar : {SB_HORZ, SB_VERT}) Host()->Bar(bar)->setPalette(QApplication::palette());
  }
  if (f->windowFlags() != flags) {
    f->setWindowFlags(flags);
    if (shown) f->show();
  }
  FixSizeOfUnresizableFrame(f, s);
}

TWindowState TCustomForm::WindowState() const {
  if (HandleAllocated() && Host()->Frame()->isVisible()) {
    Qt::WindowStates s = Host()->Frame()->windowState();
    if (s & Qt::WindowMinimized) return wsMinimized;
    if (s & Qt::WindowMaximized) return wsMaximized;
    return wsNormal;
  }
  return state_;
}

void TCustomForm::SetWindowState(TWindowState s) {
  state_ = s;
  if (!HandleAllocated() || !Host()->Frame()->isVisible()) return;
  QWidget* f = Host()->Frame();
  applying_ = true;
  switch (s) {
    case wsMaximized: f->showMaximized(); break;
    case wsMinimized: f->showMinimized(); break;
    case wsNormal:
      f->showNormal();
      applying_ = false;
      ApplyGeometry();
      break;
  }
  applying_ = false;
  FrameGeometryChanged();
}

void TCustomForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // A window stays on the screens whatever placement is asked (a stored one may be anything):
  // no larger than their available area, its top edge on it and some of its width too.
  EnsureGuiApplication();
  QScreen* screen = QGuiApplication::primaryScreen();
  QRect a = screen ? screen->availableVirtualGeometry() : QRect(0, 0, 1024, 768);
  int w = std::clamp(AWidth, 0, a.width()), h = std::clamp(AHeight, 0, a.height());
  int across = std::min(w, 100), down = std::min(h, 30);
  int left = int(std::clamp<long long>(ALeft, (long long)a.left() - w + across, (long long)a.right() + 1 - across));
  int top = int(std::clamp<long long>(ATop, a.top(), (long long)a.bottom() + 1 - down));
  TRect r{left, top, left + w, top + h};
  if (w != normal_.Width() || h != normal_.Height()) clientSized_ = false;  // a move keeps it
  normal_ = r;
  if (WindowState() != wsNormal) return;  // kept for the normal state
  bounds_ = r;
  ApplyGeometry();
}

void TCustomForm::SetClientSize(int w, int h) {
  TWinControl::SetClientSize(w, h);
  QWidget* f = HandleAllocated() ? Host()->Frame() : nullptr;
  clientSized_ = !(f && f->isVisible() && f->frameGeometry() != f->geometry());
}

void TCustomForm::ApplyGeometry() {
  if (!HandleAllocated() || applying_) return;
  QWidget* f = Host()->Frame();
  if (f->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) return;
  applying_ = true;
  // Frame geometry: the decorations are taken out of the client size.
  QRect fg = f->frameGeometry(), g = f->geometry();
  int dw = f->isVisible() ? fg.width() - g.width() : 0;
  int dh = f->isVisible() ? fg.height() - g.height() : 0;
  if (clientSized_ && (dw || dh)) {
    clientSized_ = false;
    normal_.Right += dw;
    normal_.Bottom += dh;
  }
  f->move(normal_.Left, normal_.Top);
  FixSizeOfUnresizableFrame(f, bsSizeable);
  f->resize(std::max(1, normal_.Width() - dw), std::max(1, normal_.Height() - dh));
  FixSizeOfUnresizableFrame(f, formBorder_);
  Host()->Layout();
  applying_ = false;
  Realign();
}

void TCustomForm::FrameGeometryChanged() {
  if (!HandleAllocated()) return;
  QWidget* f = Host()->Frame();
  QRect fg = f->frameGeometry();
  if (frameFitPending_ && !applying_ && fg.size() != f->geometry().size()) {
    frameFitPending_ = false;
    if (!(f->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))) {
      ApplyGeometry();
      fg = f->frameGeometry();
    }
  }
  if (restoreFitPending_) {
    FitRestoredFrame();
    fg = f->frameGeometry();
  }
  bounds_ = TRect{fg.left(), fg.top(), fg.left() + fg.width(), fg.top() + fg.height()};
  if (!applying_ && !frameFitPending_ && !restoreFitPending_ &&
      !(f->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)) && f->isVisible())
    normal_ = bounds_;
  Host()->Layout();
}

void TCustomForm::FitRestoredFrame() {
  if (!restoreFitPending_ || applying_ || !HandleAllocated()) return;
  QWidget* f = Host()->Frame();
  if (!f->isVisible() || (f->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))) return;
  // Until the window has the size it was mapped with (the placement's as a client size) and the
  // decorations are told, the geometries are the window system's way there.
  const QSize mapped(mappedWidth_, mappedHeight_);
  if (f->geometry().size() != mapped || f->frameGeometry().size() == mapped) return;
  restoreFitPending_ = false;
  ApplyGeometry();
}

void SimulateWindowManagerState(TCustomForm* Form, TWindowState State) {
  if (!Form->HandleAllocated()) return;
  QWindow* w = Form->Host()->Frame()->windowHandle();
  if (!w || !w->isVisible()) return;
  w->setWindowStates(State == wsMaximized   ? Qt::WindowMaximized
                     : State == wsMinimized ? Qt::WindowMinimized
                                            : Qt::WindowNoState);
}

void TCustomForm::FrameStateChanged() {
  if (!HandleAllocated()) return;
  QWidget* f = Host()->Frame();
  Qt::WindowStates s = f->windowState();
  state_ = (s & Qt::WindowMinimized) ? wsMinimized : (s & Qt::WindowMaximized) ? wsMaximized : wsNormal;
  // Back in the normal state for the first time: the window manager gives the window the size it
  // had when it was mapped, which was the placement's as a client size. The frame takes the
  // placement once that size and the decorations of the normal state are told (in an order of
  // the window system's), within two seconds.
  if (restoreFitPending_ && state_ == wsNormal) {
    if (!restoreFitTimed_) {
      restoreFitTimed_ = true;
      QTimer::singleShot(2000, f, [this] { restoreFitPending_ = false; });
    }
    FitRestoredFrame();
  }
}

void TCustomForm::ApplyPosition() {
  if (positioned_) return;
  positioned_ = true;
  int w = normal_.Width(), h = normal_.Height();
  TCustomForm* main = Application->MainForm();
  switch (position_) {
    case poScreenCenter:
    case poDesktopCenter:
      normal_ = Bounds(Screen->Width() / 2 - w / 2, Screen->Height() / 2 - h / 2, w, h);
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      auto* owner = dynamic_cast<TCustomForm*>(Owner());
      TCustomForm* c = position_ == poOwnerFormCenter && owner ? owner : main;
      if (c && c != this)
        normal_ = Bounds(c->Left() + c->Width() / 2 - w / 2, c->Top() + c->Height() / 2 - h / 2, w, h);
      else
        normal_ = Bounds(Screen->Width() / 2 - w / 2, Screen->Height() / 2 - h / 2, w, h);
      break;
    }
    default:
      break;
  }
  if (state_ == wsNormal) bounds_ = normal_;
}

void TCustomForm::SetVisible(bool v) {
  if (v) {
    HandleNeeded();
    QWidget* f = Host()->Frame();
    bool was = f->isVisible();
    visible_ = true;
    if (!was) {
      ApplyPosition();
      // A failing OnShow is reported and the form shows all the same: it has switched other
      // windows off already, and only it can switch them on again.
      try {
        DoShow();
      } catch (...) {
        ::HandleException(this);
      }
      ApplyGeometry();
      // The owner's window becomes the transient parent, so the window system keeps this one
      // above it (a click on the owner, switched off meanwhile, cannot hide the dialog behind it).
      TCustomForm* owner = OwnerForm();
      if (owner && owner->HandleAllocated() && owner->Host()->Frame()->isVisible()) {
        f->winId();
        QWindow* ownerWindow = owner->Host()->Frame()->windowHandle();
        if (f->windowHandle() && ownerWindow && f->windowHandle()->transientParent() != ownerWindow)
          f->windowHandle()->setTransientParent(ownerWindow);
      }
      mappedWidth_ = f->width();
      mappedHeight_ = f->height();
      applying_ = true;
      switch (state_) {
        case wsMaximized: f->showMaximized(); break;
        case wsMinimized: f->showMinimized(); break;
        default: f->show(); break;
      }
      applying_ = false;
      // Shown maximised or minimised, the window was given the placement without its decorations,
      // which the window system tells only once it shows: it keeps that size as the client size of
      // the normal state, and the frame would grow by the decorations at every restore (and every
      // start after a maximised one). The placement is given again once the window is restored.
      restoreFitPending_ = state_ != wsNormal && formBorder_ != fbsNone;
      restoreFitTimed_ = false;
      // The decorations are known once the window shows: the frame gets the placement asked for.
      if (state_ == wsNormal) ApplyGeometry();
      // A window manager tells the frame's size only after mapping the window: the placement is
      // applied again when it does, so the frame, not the client area, gets the stored size (a
      // stored size would grow by the frame at every start otherwise). Moves and resizes meanwhile
      // are the window system's own.
      if (state_ == wsNormal && f->frameGeometry() == f->geometry() && formBorder_ != fbsNone &&
          QGuiApplication::platformName() == QLatin1String("xcb")) {
        frameFitPending_ = true;
        QTimer::singleShot(2000, f, [this] { frameFitPending_ = false; });
      }
      FrameGeometryChanged();
      Realign();
    }
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) f->raise();
    const bool activates = !(Params().ExStyle & WS_EX_NOACTIVATE);
    if (activates) f->activateWindow();
    if (!was && activates) {
      // The active control, else the control that had the focus when the form last showed, else
      // the first control of the tab order.
      QWidget* kept = f->focusWidget();
      if (activeControl_ && activeControl_->CanFocus()) activeControl_->SetFocus();
      else if (!kept || !kept->isVisible() || !kept->isEnabled() || kept->focusPolicy() == Qt::NoFocus) SelectFirst();
    }
  } else {
    bool was = HandleAllocated() && Host()->Frame()->isVisible();
    if (was) state_ = WindowState();
    visible_ = false;
    if (was) HideFrame(true);
  }
}

void TCustomForm::HideFrame(bool NotifyHide) {
  QWidget* f = Host()->Frame();
  bool active = f->isActiveWindow();
  f->hide();
  if (NotifyHide) {
    try {
      DoHide();
    } catch (...) {
      ::HandleException(this);
    }
  }
  // As the window system does with an owned window, the owner becomes the active window (unless
  // another one took over), where its control that had the focus takes the keys again.
  TCustomForm* owner = OwnerForm();
  QWidget* now = QApplication::activeWindow();
  if (active && (!now || now == f) && owner && owner->HandleAllocated() && owner->Host()->Frame()->isVisible() &&
      owner->Enabled())
    owner->Host()->Frame()->activateWindow();
}

TCustomForm* TCustomForm::OwnerForm() const {
  for (TComponent* o = Owner(); o; o = o->Owner())
    if (auto* f = dynamic_cast<TCustomForm*>(o)) return f != this ? f : nullptr;
  TCustomForm* main = Application->MainForm();
  return main != this ? main : nullptr;
}

TCustomForm* TCustomForm::ShownAbove() const {
  if (!HandleAllocated() || !Host()->Frame()->windowHandle()) return nullptr;
  QWindow* parent = Host()->Frame()->windowHandle()->transientParent();
  if (!parent) return nullptr;
  for (TCustomForm* f : gScreen.forms_)
    if (f->HandleAllocated() && f->Host()->Frame()->windowHandle() == parent) return f;
  return nullptr;
}

void TCustomForm::SetEnabled(bool v) {
  auto* watcher = static_cast<TFormWatcher*>(watcher_);
  // Switching the window off takes the focus from its controls: the control that had it is
  // remembered and gets it back when the window is switched on again.
  if (!v && Enabled() && watcher) {
    QWidget* f = Host()->Frame()->focusWidget();
    watcher->keptFocus = f && f != Host()->Frame() ? f : nullptr;
  }
  TWinControl::SetEnabled(v);
  if (v && watcher && watcher->keptFocus) {
    QWidget* kept = watcher->keptFocus;
    watcher->keptFocus = nullptr;
    // In a window that is not active, this makes it the control that takes the focus once the
    // window is activated.
    if (kept->isVisible() && kept->isEnabled() && !Host()->Frame()->focusWidget()) kept->setFocus(Qt::OtherFocusReason);
  }
}

void TCustomForm::Paint(TCanvas* Canvas, const TRect& Clip) {
  Canvas->Brush()->SetColor(Color());
  Canvas->Brush()->SetStyle(bsSolid);
  Canvas->FillRect(Clip);
}

void TCustomForm::DoShow() { CallEvent(OnShow, this); }
void TCustomForm::DoHide() { CallEvent(OnHide, this); }
void TCustomForm::DoClose(TCloseAction& Action) { CallEvent(OnClose, this, Action); }

bool TCustomForm::CloseQuery() {
  bool can = true;
  CallEvent(OnCloseQuery, this, can);
  return can;
}

void TCustomForm::SetModalResult(TModalResult r) {
  modalResult_ = r;
  if (modal_ && r != mrNone && watcher_) {
    // Wakes the modal loop.
    QTimer::singleShot(0, Host()->Frame(), [] {});
  }
}

void TCustomForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    DoClose(action);
  }
  switch (action) {
    case caNone: modalResult_ = mrNone; break;
    case caFree: Release(); break;
    default: break;
  }
}

int TCustomForm::ShowModal() {
  if (modal_ || Visible()) throw EInvalidOperation(W1251("Видимое окно нельзя сделать модальным."));
  modalResult_ = mrNone;
  HandleNeeded();
  QWidget* f = Host()->Frame();
  f->setWindowModality(Qt::ApplicationModal);
  modal_ = true;
  QPointer<QWidget> guard(f);
  try {
    Show();
    const TDialogHook& hook = DialogHook();
    if (hook || !DialogsCanShow()) {
      // Answered without a user: the hook plays the user once per round; when it gives no
      // answer (or there is no hook) the form is cancelled without asking its close query.
      for (int round = 0; round < 100 && modalResult_ == mrNone; ++round) {
        std::optional<TDialogAnswer> a;
        if (hook) {
          TDialogRequest req;
          req.Kind = dkModalForm;
          req.Caption = caption_;
          req.Form = this;
          a = hook(req);
        }
        if (modalResult_ == mrNone && a && a->Result != mrNone) modalResult_ = a->Result;
        if (modalResult_ == mrNone) {
          modalResult_ = mrCancel;
          break;
        }
        CloseModal();
      }
      if (modalResult_ == mrNone) modalResult_ = mrCancel;
    } else {
      QEventLoop loop;
      while (true) {
        if (Application->Terminated()) {
          modalResult_ = mrCancel;
          break;
        }
        if (modalResult_ != mrNone) {
          CloseModal();
          if (modalResult_ != mrNone) break;
        }
        loop.processEvents(QEventLoop::WaitForMoreEvents);
      }
    }
  } catch (...) {
    modal_ = false;
    if (guard) {
      guard->setWindowModality(Qt::NonModal);
      Hide();
    }
    throw;
  }
  modal_ = false;
  if (guard) {
    Hide();
    guard->setWindowModality(Qt::NonModal);
  }
  return modalResult_;
}

void TCustomForm::Close() {
  if (modal_) {
    SetModalResult(mrCancel);
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Hide();
    Application->Terminate();
    return;
  }
  switch (action) {
    case caHide: Hide(); break;
    case caMinimize: SetWindowState(wsMinimized); break;
    case caFree: Release(); break;
    default: break;
  }
}

void TCustomForm::FrameCloseRequested() { Close(); }

void TCustomForm::Release() {
  bool shown = HandleAllocated() && Host()->Frame()->isVisible();
  visible_ = false;
  if (shown) HideFrame(false);  // OnDestroy follows, not OnHide
  // Freed after the message in progress; a form the application frees meanwhile is skipped.
  struct Pending : QObject {
    TCustomForm* form;
  };
  auto* p = new Pending;
  p->form = this;
  QTimer::singleShot(0, p, [p] {
    TCustomForm* f = p->form;
    bool alive = std::find(Screen->forms_.begin(), Screen->forms_.end(), f) != Screen->forms_.end();
    p->deleteLater();
    if (!alive) return;
    GuardedCall(f, [f] { f->DoDestroy(); });
    delete f;
  });
}

bool TCustomForm::Active() const {
  return HandleAllocated() && Host()->Frame()->isActiveWindow();
}

void TCustomForm::BringToFront() {
  if (!HandleAllocated()) return;
  Host()->Frame()->raise();
  Host()->Frame()->activateWindow();
}

namespace {
void CollectActionLists(TComponent* c, std::vector<TCustomActionList*>& out) {
  for (int i = 0; i < c->ComponentCount(); ++i) {
    TComponent* x = c->Components(i);
    if (auto* l = dynamic_cast<TCustomActionList*>(x)) out.push_back(l);
  }
}

// The enabled, visible button of a form that Enter (Default) or Esc (Cancel) presses.
TButton* DialogButton(TWinControl* parent, bool cancel) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (!c->Visible() || !c->Enabled()) continue;
    if (auto* b = dynamic_cast<TButton*>(c))
      if (cancel ? b->Cancel() : b->Default()) return b;
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (TButton* b = DialogButton(w, cancel)) return b;
  }
  return nullptr;
}

TActionMainMenuBar* MenuEventsBar(TWinControl* parent) {
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* c = parent->Controls(i);
    if (auto* b = dynamic_cast<TActionMainMenuBar*>(c))
      if (b->MenuEvents() && b->Visible()) return b;
    if (auto* w = dynamic_cast<TWinControl*>(c))
      if (TActionMainMenuBar* b = MenuEventsBar(w)) return b;
  }
  return nullptr;
}
}  // namespace

bool TCustomForm::IsShortCut(TShortCut sc) {
  if (!sc) return false;
  std::vector<TCustomActionList*> lists;
  CollectActionLists(this, lists);
  for (TCustomActionList* l : lists)
    if (l->IsShortCut(sc)) return true;
  return false;
}

bool TCustomForm::HandleMenuKey() {
  TActionMainMenuBar* bar = MenuEventsBar(this);
  if (!bar || bar->ItemCount() == 0) return false;
  bar->ToggleMenuMode();
  return true;
}

bool TCustomForm::HandleFormKey(Word vk, TShiftState shift, const std::string& textUtf8) {
  if (!Enabled()) return false;
  if (keyPreview_) {
    Word key = vk;
    KeyDown(key, shift);
    if (key == 0) return true;
  }
  if (IsShortCut(ShortCut(vk, shift))) return true;
  // Enter and Esc press the default and the cancel button (Enter stays in a memo).
  if ((vk == VK_RETURN || vk == VK_ESCAPE) && shift.Empty()) {
    bool cancel = vk == VK_ESCAPE;
    QWidget* focus = QApplication::focusWidget();
    if (!cancel && qobject_cast<QPlainTextEdit*>(focus)) return false;
    // A grid's open cell editor takes them: Enter ends the edit, Esc gives it up.
    for (QWidget* w = focus ? focus->parentWidget() : nullptr; w; w = w->parentWidget())
      if (qobject_cast<QAbstractItemView*>(w)) return false;
    TWinControl* focused = ControlOfWidget(focus);
    if (focused && !focused->Host()->Native() && ControlWantsDialogKey(focused, vk)) return false;
    if (TButton* b = DialogButton(this, cancel)) {
      b->Click();
      return true;
    }
  }
  // The menu keys reach only the bar with menu events.
  if (vk == VK_F10 && shift.Empty()) return HandleMenuKey();
  if (shift == TShiftState{ssAlt}) {
    if (TActionMainMenuBar* bar = MenuEventsBar(this)) {
      std::string t = textUtf8;
      if (t.empty() && vk >= 'A' && vk <= 'Z') t = std::string(1, static_cast<char>(vk));
      if (bar->OpenByAccessKey(t)) return true;
    }
  }
  return false;
}

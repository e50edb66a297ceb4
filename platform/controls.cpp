#include "platform/controls.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <algorithm>
#include <climits>

#include "platform/graphics.h"
#include "platform/menus.h"
#include "platform/qt/caret_qt.h"
#include "platform/qt/control_host.h"
#include "platform/qt/widgets_qt.h"
#include "platform/qt/graphics_qt.h"

namespace {
TControl* gCapture = nullptr;
}  // namespace

TControl* GetCaptureControl() { return gCapture; }

// ------------------------------------------------------------------------------ TControl

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() {
  if (gCapture == this) gCapture = nullptr;
  if (parent_) {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    parent_ = nullptr;
  }
}

void TControl::SetParent(TWinControl* AParent) {
  if (AParent == parent_) return;
  if (parent_) {
    auto& list = parent_->controls_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (align_ != alNone) parent_->Realign();
  }
  parent_ = AParent;
  if (parent_) {
    parent_->controls_.push_back(this);
    if (align_ != alNone) parent_->Realign();
  }
}

void TControl::SetAlign(TAlign a) {
  if (a == align_) return;
  align_ = a;
  if (parent_) parent_->Realign();
}

void TControl::SetPopupMenu(TPopupMenu* m) {
  if (popupMenu_ == m) return;
  if (popupMenu_) popupMenu_->RemoveFreeNotification(this);
  popupMenu_ = m;
  if (m) m->FreeNotification(this);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popupMenu_) popupMenu_ = nullptr;
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  // Sizes that would take the far edge past the coordinate range end at its end.
  auto far = [](int from, int size) { return int(std::min<long long>(INT_MAX, (long long)from + std::max(size, 0))); };
  bounds_ = TRect{ALeft, ATop, far(ALeft, AWidth), far(ATop, AHeight)};
  if (align_ != alNone && parent_ && !parent_->realigning_) parent_->Realign();
}

void TControl::SetVisible(bool v) {
  bool changed = v != visible_;
  visible_ = v;
  if (changed && align_ != alNone && parent_) parent_->Realign();
}
void TControl::SetEnabled(bool v) { enabled_ = v; }
void TControl::SetCursor(TCursor c) { cursor_ = c; }

void TControl::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  Invalidate();
}

void TControl::WndProc(TMessage&) {}

intptr_t TControl::Perform(unsigned Msg, uintptr_t WParam, intptr_t LParam) {
  TMessage m{Msg, WParam, LParam, 0};
  WndProc(m);
  return m.Result;
}

// ------------------------------------------------------------------------------ TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) { bounds_ = TRect{0, 0, 185, 89}; }

TWinControl::~TWinControl() {
  if (parent_) {
    auto& tabs = parent_->tabList_;
    tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
  }
  // The window goes without calling back into a half-destroyed control; the children keep
  // their own windows' lifetime and lose their parent.
  destroyingHandle_ = true;
  DestroyChildHandles();
  for (TControl* c : controls_) c->parent_ = nullptr;
  controls_.clear();
  tabList_.clear();
  host_.reset();
}

void TWinControl::DestroyChildHandles() {
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
}

void TWinControl::Realign() {
  if (realigning_) return;
  realigning_ = true;
  TRect r = ClientRect();
  // In the order the controls were given this parent: the first top-aligned one is topmost,
  // the first bottom-aligned one is lowest, and so on.
  auto aligned = [&](TAlign a) {
    std::vector<TControl*> v;
    for (TControl* c : controls_)
      if (c->Align() == a && c->Visible()) v.push_back(c);
    return v;
  };
  try {
    for (TControl* c : aligned(alTop)) {
      c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
      r.Top += c->Height();
    }
    for (TControl* c : aligned(alBottom)) {
      c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
      r.Bottom -= c->Height();
    }
    for (TControl* c : aligned(alLeft)) {
      c->SetBounds(r.Left, r.Top, c->Width(), std::max(0, r.Height()));
      r.Left += c->Width();
    }
    for (TControl* c : aligned(alRight)) {
      c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), std::max(0, r.Height()));
      r.Right -= c->Width();
    }
    for (TControl* c : aligned(alClient))
      c->SetBounds(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height()));
  } catch (...) {
    realigning_ = false;
    throw;
  }
  realigning_ = false;
}

void TWinControl::CreateParams(TCreateParams& Params) {
  Params = TCreateParams{};
  Params.Style = WS_TABSTOP | WS_CLIPCHILDREN;
}

void TWinControl::HandleNeeded() {
  if (!host_) CreateWnd();
}

void TWinControl::CreateWnd() {
  CreateParams(params_);
  QWidget* parentWidget = parent_ && parent_->HandleAllocated() ? parent_->Host()->Frame() : nullptr;
  host_ = std::make_unique<TControlHost>(this, params_, parentWidget);
  QWidget* f = host_->Frame();
  f->setGeometry(Left(), Top(), Width(), Height());
  host_->Layout();
  host_->Client()->setCursor(CursorShapeOf(cursor_));
  if (!tabStop_) host_->Client()->setFocusPolicy(Qt::NoFocus);
  if (params_.ExStyle & WS_EX_ACCEPTFILES) acceptFiles_ = true;
  // Every client area takes drags: a window without the files style hands them to its parent.
  host_->Client()->setAcceptDrops(true);
  f->setEnabled(enabled_);
  if (!hint_.empty()) f->setToolTip(PlainToolTip(hint_));
  // Explicitly hidden when invisible: Qt would show a child created under a parent not yet shown
  // together with that parent.
  if (parentWidget) f->setVisible(visible_);
  // Windowed children get their windows inside this one.
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
  Realign();
}

void TWinControl::DestroyWnd() {
  if (gCapture == this) gCapture = nullptr;
  DestroyChildHandles();
  host_.reset();
}

void TWinControl::DestroyHandle() {
  if (!host_ || destroyingHandle_) return;
  destroyingHandle_ = true;
  try {
    DestroyWnd();
  } catch (...) {
    destroyingHandle_ = false;
    throw;
  }
  destroyingHandle_ = false;
}

void TWinControl::RecreateWnd() {
  if (!host_) return;
  bool shown = host_->Frame()->isVisible();
  DestroyHandle();
  CreateWnd();
  if (shown) host_->Frame()->show();
}

void TWinControl::SetParent(TWinControl* AParent) {
  if (AParent != parent_) {
    if (parent_) {
      auto& tabs = parent_->tabList_;
      tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
    }
    if (AParent) AParent->tabList_.push_back(this);
  }
  TControl::SetParent(AParent);
  if (host_) {
    host_->Frame()->setParent(AParent && AParent->HandleAllocated() ? AParent->Host()->Frame() : nullptr);
    host_->Frame()->setGeometry(Left(), Top(), Width(), Height());
    if (visible_) host_->Frame()->show();
  } else if (AParent && AParent->HandleAllocated()) {
    HandleNeeded();
  }
}

void TWinControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (host_) {
    host_->Frame()->setGeometry(Left(), Top(), Width(), Height());
    host_->Layout();
  }
}

void TWinControl::SetVisible(bool v) {
  TControl::SetVisible(v);
  if (host_) host_->Frame()->setVisible(v);
}

void TWinControl::SetEnabled(bool v) {
  TControl::SetEnabled(v);
  if (!host_) return;
  QWidget* frame = host_->Frame();
  QWidget* window = frame->window();
  // The toolkit takes the focus from a window that goes off, the window system leaves it there:
  // a control that had the focus gets it back when it comes on again (a conversion switches the
  // editor off while it runs), unless the focus went elsewhere meanwhile.
  if (!v) {
    QWidget* focus = window->focusWidget();
    bool inside = focus && (focus == frame || frame->isAncestorOf(focus));
    frame->setEnabled(false);
    host_->focusBeforeDisabled = inside ? focus : nullptr;
    host_->focusWhileDisabled = window->focusWidget();
    return;
  }
  frame->setEnabled(true);
  QPointer<QWidget> back = host_->focusBeforeDisabled;
  host_->focusBeforeDisabled = nullptr;
  if (back && back->isEnabled() && window->focusWidget() == host_->focusWhileDisabled.data())
    back->setFocus(Qt::OtherFocusReason);
}

void TWinControl::SetHint(const AnsiString& v) {
  hint_ = v;
  if (host_) host_->Frame()->setToolTip(PlainToolTip(v));
}

void TWinControl::SetCursor(TCursor c) {
  TControl::SetCursor(c);
  if (host_) host_->Client()->setCursor(CursorShapeOf(c));
}

int TWinControl::ClientWidth() const {
  if (host_) return host_->Client()->width();
  return std::max(0, Width() - (borderStyle_ == bsSingle ? 2 : 0));
}

int TWinControl::ClientHeight() const {
  if (host_) return host_->Client()->height();
  return std::max(0, Height() - (borderStyle_ == bsSingle ? 2 : 0));
}

TPoint TWinControl::ClientToScreen(TPoint p) const {
  if (!host_) return p;
  QPoint g = host_->Client()->mapToGlobal(QPoint(p.X, p.Y));
  return TPoint{g.x(), g.y()};
}

TPoint TWinControl::ScreenToClient(TPoint p) const {
  if (!host_) return p;
  QPoint c = host_->Client()->mapFromGlobal(QPoint(p.X, p.Y));
  return TPoint{c.x(), c.y()};
}

void TWinControl::SetClientSize(int w, int h) {
  SetBounds(Left(), Top(), w + Width() - ClientWidth(), h + Height() - ClientHeight());
}

void TWinControl::Invalidate() {
  if (!host_) return;
  host_->AddDirty(QRegion(host_->Client()->rect()));
  host_->Client()->update();
}

void TWinControl::InvalidateRect(const TRect& r) {
  if (!host_ || r.IsEmpty()) return;
  QRect q(r.Left, r.Top, r.Width(), r.Height());
  host_->AddDirty(QRegion(q));
  host_->Client()->update(q);
}

void TWinControl::Update() {
  if (!host_) return;
  QRegion dirty = host_->Dirty();
  if (!dirty.isEmpty()) host_->Client()->repaint(dirty);
}

void TWinControl::ScrollWindow(int dx, int dy, const TRect* rect) {
  if (!host_) return;
  QWidget* client = host_->Client();
  QRect area = rect ? QRect(rect->Left, rect->Top, rect->Width(), rect->Height()) : client->rect();
  // Scrolls that come before the next paint of the area (a replace-all walking through a long
  // text scrolls once per hit) repaint the area once instead of moving its pixels every time.
  if (host_->Dirty().intersects(area)) {
    host_->valid -= QRegion(area);
    host_->AddDirty(QRegion(area));
    client->update(area);
    return;
  }
  host_->ScrollSurface(dx, dy, area);
  if (rect) client->scroll(dx, dy, area);
  else client->scroll(dx, dy);
  if (!host_->Dirty().isEmpty()) client->update(host_->Dirty());
  // The caret is not part of the surface: where the window system moved its pixels, the surface
  // is shown again.
  const CaretState& c = Caret();
  if (c.client == client && !c.shown.isEmpty()) client->update(c.shown.translated(dx, dy) & area);
}

std::unique_ptr<TCanvas> CreateControlCanvas(TWinControl* Control) {
  if (!Control || !Control->HandleAllocated() || Control->Host()->Native())
    return std::make_unique<TCanvas>(GetDC(nullptr), true);
  TControlHost* host = Control->Host();
  QPointer<QWidget> client = host->Client();
  // What the canvas drew shows once it goes, and until the control repaints those parts.
  HDC dc = CreateDCOnSurface(
      [host, client]() -> QPainter* { return client ? host->BeginSurfacePaint() : nullptr; },
      [client] { return client ? client->rect() : QRect(); },
      [host, client] {
        if (!client) return;
        host->EndSurfacePaint();
        client->update();
      });
  return std::make_unique<TCanvas>(dc, true);
}

namespace {
// A single-line text field (an edit or a combo box's) that the program or the keyboard moves the
// focus to has all of its text selected, so that typing replaces it; a click places the caret.
void ShowFocusIn(QWidget* target) {
  // The control given the focus shows it (its focus frame), as a dialog's controls do once the
  // keyboard is in use; the toolkit would show it only after a Tab.
  target->window()->setAttribute(Qt::WA_KeyboardFocusChange);
  target->update();
  QLineEdit* edit = qobject_cast<QLineEdit*>(target);
  if (auto* combo = qobject_cast<QComboBox*>(target)) edit = combo->lineEdit();
  if (edit) edit->selectAll();
}
}  // namespace

void TWinControl::SetFocus() {
  HandleNeeded();
  bool had = Focused();
  QWidget* target = host_->Native() ? host_->Native() : host_->Client();
  target->setFocus(Qt::OtherFocusReason);
  if (!had) ShowFocusIn(target);
}

bool TWinControl::Focused() const {
  if (!host_) return false;
  if (QWidget* n = host_->Native()) {
    QWidget* f = QApplication::focusWidget();
    return f && (f == n || n->isAncestorOf(f));
  }
  return host_->Client()->hasFocus();
}

bool TWinControl::CanFocus() const { return visible_ && enabled_; }

void TWinControl::SetTabStop(bool v) {
  tabStop_ = v;
  if (host_) host_->Client()->setFocusPolicy(v ? Qt::StrongFocus : Qt::NoFocus);
}

int TWinControl::TabOrder() const {
  if (!parent_) return -1;
  auto& tabs = parent_->tabList_;
  auto it = std::find(tabs.begin(), tabs.end(), this);
  return it == tabs.end() ? -1 : static_cast<int>(it - tabs.begin());
}

void TWinControl::SetTabOrder(int Value) {
  if (!parent_) return;
  auto& tabs = parent_->tabList_;
  tabs.erase(std::remove(tabs.begin(), tabs.end(), this), tabs.end());
  size_t at = static_cast<size_t>(std::clamp(Value, 0, static_cast<int>(tabs.size())));
  tabs.insert(tabs.begin() + static_cast<std::ptrdiff_t>(at), this);
}

TWinControl* TWinControl::FindNextControl(TWinControl* Current, bool GoForward) const {
  // Every windowed control inside this one, each followed by those inside it, in tab order.
  std::vector<TWinControl*> all;
  auto collect = [&all](const TWinControl* p, auto& self) -> void {
    for (TWinControl* c : p->tabList_) {
      all.push_back(c);
      self(c, self);
    }
  };
  collect(this, collect);
  auto reachable = [this](TWinControl* c) {
    if (!c->IsTabStopNow()) return false;
    for (TWinControl* x = c; x && x != this; x = x->Parent())
      if (!x->Visible() || !x->Enabled()) return false;
    return true;
  };
  const int n = static_cast<int>(all.size());
  int at = static_cast<int>(std::find(all.begin(), all.end(), Current) - all.begin());
  if (at == n) at = GoForward ? -1 : n;
  for (int k = 1; k <= n; ++k) {
    int i = ((at + (GoForward ? k : -k)) % n + n) % n;
    if (reachable(all[static_cast<size_t>(i)])) return all[static_cast<size_t>(i)];
  }
  return nullptr;
}

bool TWinControl::SelectNext(TWinControl* Current, bool GoForward) {
  TWinControl* next = FindNextControl(Current, GoForward);
  if (!next) return false;
  next->FocusByKeyboard(!GoForward);
  return true;
}

void TWinControl::FocusByKeyboard(bool Backwards) {
  HandleNeeded();
  // The keyboard's reasons make an edit select its text, as entering a dialog's field does.
  Qt::FocusReason reason = Backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason;
  QWidget* target = host_->Native() ? host_->Native() : host_->Client();
  target->setFocus(reason);
  // Also in a window that becomes active only later (a dialog opening), whose focus arrives for
  // another reason.
  ShowFocusIn(target);
}

void TWinControl::SetMouseCapture(bool capture) {
  if (capture) {
    if (gCapture && gCapture != this) {
      TControl* old = gCapture;
      gCapture = this;
      old->Perform(WM_CAPTURECHANGED, 0, 0);
    }
    gCapture = this;
  } else if (gCapture == this) {
    gCapture = nullptr;
    Perform(WM_CAPTURECHANGED, 0, 0);
  }
}

bool TWinControl::MouseCapture() const { return gCapture == this; }

void TWinControl::SetBorderStyle(TBorderStyle b) {
  if (b == borderStyle_) return;
  borderStyle_ = b;
  RecreateWnd();
}

void TWinControl::DragAcceptFiles(bool accept) {
  acceptFiles_ = accept;
}

void TWinControl::SetScrollInfo(int Bar, const TScrollInfo& Info, bool) {
  if (!host_ || (Bar != SB_HORZ && Bar != SB_VERT)) return;
  TScrollInfo& i = host_->info[Bar];
  if (Info.fMask & SIF_RANGE) {
    i.nMin = Info.nMin;
    i.nMax = Info.nMax;
  }
  if (Info.fMask & SIF_PAGE) i.nPage = Info.nPage;
  if (Info.fMask & SIF_POS) i.nPos = Info.nPos;
  // Windows keeps the position inside the range the page allows.
  int maxPos = i.nPage > 0 ? i.nMax - static_cast<int>(i.nPage) + 1 : i.nMax;
  i.nPos = std::clamp(i.nPos, i.nMin, std::max(i.nMin, maxPos));
  i.fMask = Info.fMask;
  host_->ApplyBar(Bar);
}

TScrollInfo TWinControl::GetScrollInfo(int Bar) const {
  if (!host_ || (Bar != SB_HORZ && Bar != SB_VERT)) return TScrollInfo{};
  TScrollInfo i = host_->info[Bar];
  i.nTrackPos = host_->Bar(Bar)->sliderPosition();
  return i;
}

void TWinControl::ShowScrollBar(int Bar, bool Show) {
  if (!host_) return;
  bool changed = false;
  for (int b : {SB_HORZ, SB_VERT}) {
    if (Bar == b || Bar == SB_BOTH) {
      changed |= host_->barShown[b] != Show;
      host_->barShown[b] = Show;
    }
  }
  if (changed) host_->Layout();
}

bool TWinControl::ScrollBarVisible(int Bar) const {
  return host_ && (Bar == SB_HORZ || Bar == SB_VERT) && host_->barShown[Bar];
}

void TWinControl::EnableScrollBar(int Bar, unsigned Arrows) {
  if (!host_) return;
  // Qt cannot disable one arrow: the bar is disabled only when both are.
  for (int b : {SB_HORZ, SB_VERT}) {
    if (Bar == b || Bar == SB_BOTH) {
      host_->barEnabled[b] = Arrows != ESB_DISABLE_BOTH;
      host_->ApplyBar(b);
    }
  }
}

bool TWinControl::ScrollBarEnabled(int Bar) const {
  return host_ && (Bar == SB_HORZ || Bar == SB_VERT) && host_->Bar(Bar)->isEnabled();
}

void TWinControl::PaintWindow(TCanvas* Canvas, const TRect& ClipRect) { Paint(Canvas, ClipRect); }

// A window that draws nothing of its own shows its colour, as its class's background brush does.
void TWinControl::Paint(TCanvas* Canvas, const TRect& ClipRect) {
  Canvas->Brush()->SetColor(Color());
  Canvas->FillRect(ClipRect);
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      Word key = static_cast<Word>(m.WParam);
      KeyDown(key, KeyboardShiftState());
      break;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      Word key = static_cast<Word>(m.WParam);
      KeyUp(key, KeyboardShiftState());
      break;
    }
    case WM_CHAR: {
      char c = static_cast<char>(m.WParam);
      KeyPress(c);
      break;
    }
    // A character typed with Alt is the system's (menus, access keys): nothing types it.
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MBUTTONDBLCLK: {
      bool dbl = m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK || m.Msg == WM_MBUTTONDBLCLK;
      TMouseButton b = (m.Msg == WM_RBUTTONDOWN || m.Msg == WM_RBUTTONDBLCLK) ? mbRight
                       : (m.Msg == WM_MBUTTONDOWN || m.Msg == WM_MBUTTONDBLCLK) ? mbMiddle : mbLeft;
      TShiftState s = MouseKeysToShiftState(m.WParam);
      if (dbl) {
        s.Include(ssDouble);
        // A double click is the left button's; the others' second press is only a press.
        if (b == mbLeft) DblClick();
      }
      MouseDown(b, s, LoWordSigned(m.LParam), HiWordSigned(m.LParam));
      break;
    }
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
      TMouseButton b = m.Msg == WM_RBUTTONUP ? mbRight : m.Msg == WM_MBUTTONUP ? mbMiddle : mbLeft;
      MouseUp(b, MouseKeysToShiftState(m.WParam), LoWordSigned(m.LParam), HiWordSigned(m.LParam));
      if (b == mbRight && PopupMenu()) {
        TPoint p = ClientToScreen(TPoint{LoWordSigned(m.LParam), HiWordSigned(m.LParam)});
        PopupMenu()->SetPopupComponent(this);
        PopupMenu()->Popup(p.X, p.Y);
      }
      break;
    }
    case WM_MOUSEMOVE:
      MouseMove(MouseKeysToShiftState(m.WParam), LoWordSigned(m.LParam), HiWordSigned(m.LParam));
      break;
    case WM_SIZE:
      Realign();
      Resize();
      break;
    case WM_SETFOCUS:
      DoEnter();
      break;
    case WM_KILLFOCUS:
      DoExit();
      break;
    case WM_IME_COMPOSITION:
      // The composed text reaches a window that does not take it itself as characters.
      if (static_cast<uintptr_t>(m.LParam) & GCS_RESULTSTR)
        for (char c : ImmGetCompositionResult(this)) Perform(WM_CHAR, static_cast<unsigned char>(c), 1);
      break;
    default:
      TControl::WndProc(m);
  }
}

void TWinControl::KeyDown(Word& Key, TShiftState Shift) { CallEvent(OnKeyDown, this, Key, Shift); }
void TWinControl::KeyUp(Word& Key, TShiftState Shift) { CallEvent(OnKeyUp, this, Key, Shift); }
void TWinControl::KeyPress(char& Key) { CallEvent(OnKeyPress, this, Key); }
void TWinControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  CallEvent(OnMouseDown, this, Button, Shift, X, Y);
}
void TWinControl::MouseMove(TShiftState Shift, int X, int Y) { CallEvent(OnMouseMove, this, Shift, X, Y); }
void TWinControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  CallEvent(OnMouseUp, this, Button, Shift, X, Y);
}
void TWinControl::DblClick() { CallEvent(OnDblClick, this); }
void TWinControl::Resize() { CallEvent(OnResize, this); }
void TWinControl::DoEnter() { CallEvent(OnEnter, this); }
void TWinControl::DoExit() { CallEvent(OnExit, this); }

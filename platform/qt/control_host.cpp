#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>

#include "platform/graphics.h"
#include "platform/qt/caret_qt.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"

namespace {

uintptr_t MouseKeys(Qt::MouseButtons b, Qt::KeyboardModifiers m) {
  uintptr_t k = 0;
  if (b & Qt::LeftButton) k |= MK_LBUTTON;
  if (b & Qt::RightButton) k |= MK_RBUTTON;
  if (b & Qt::MiddleButton) k |= MK_MBUTTON;
  if (m & Qt::ShiftModifier) k |= MK_SHIFT;
  if (m & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

// Keeps the files of one drop alive while the message is handled.
std::vector<AnsiString>* gDropped = nullptr;
TPoint gDropPoint{0, 0};

}  // namespace

Qt::CursorShape CursorShapeOf(TCursor c) {
  switch (c) {
    case crIBeam: return Qt::IBeamCursor;
    case crCross: return Qt::CrossCursor;
    case crSizeNESW: return Qt::SizeBDiagCursor;
    case crSizeNS: return Qt::SizeVerCursor;
    case crSizeNWSE: return Qt::SizeFDiagCursor;
    case crSizeWE: return Qt::SizeHorCursor;
    case crUpArrow: return Qt::UpArrowCursor;
    case crHourGlass: case crSQLWait: return Qt::WaitCursor;
    case crDrag: case crMultiDrag: return Qt::DragCopyCursor;
    case crNoDrop: case crNo: return Qt::ForbiddenCursor;
    case crHSplit: return Qt::SplitHCursor;
    case crVSplit: return Qt::SplitVCursor;
    case crAppStart: return Qt::BusyCursor;
    case crHelp: return Qt::WhatsThisCursor;
    case crHandPoint: return Qt::PointingHandCursor;
    case crSizeAll: return Qt::SizeAllCursor;
    case crNone: return Qt::BlankCursor;
    default: return Qt::ArrowCursor;
  }
}

// Keeps the files of one drop alive while the message is handled.

bool ControlWantsDialogKey(TWinControl* control, Word vk) {
  unsigned mask = 0;
  switch (vk) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN: case VK_ESCAPE: mask = DLGC_WANTALLKEYS; break;
    default: return true;
  }
  return control->Perform(WM_GETDLGCODE, vk, 0) & mask;
}

void DeliverMessage(TWinControl* control, TMessage& m) {
  try {
    control->WndProc(m);
  } catch (...) {
    HandleException(control);
  }
}
// ------------------------------------------------------------------------------ client widget

class TClientWidget : public QWidget {
public:
  TClientWidget(TControlHost* host, QWidget* parent) : QWidget(parent), host_(host) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
  }

  void Send(unsigned msg, uintptr_t w, intptr_t l) {
    TMessage m{msg, w, l, 0};
    DeliverMessage(host_->Control(), m);
  }

protected:
  void paintEvent(QPaintEvent* e) override {
    TControlHost* h = host_;
    QRegion shown = e->region();
    h->EndSurfacePaint();
    if (!h->Retained()) {
      // The control paints straight into the window; one that keeps its pixels makes its copy
      // once this paint is shown.
      h->Painted(shown);
      {
        QPainter p(this);
        p.setClipRegion(shown);
        h->PaintControl(p, shown);
        PaintCaret(this, p, shown);
      }
      if (h->Control()->KeepsPixels()) h->KeepPixelsSoon();
      return;
    }
    h->FitSurface();
    QRegion fresh = shown & (h->Dirty() + (QRegion(rect()) - h->valid));
    h->Painted(shown);
    if (!fresh.isEmpty()) {
      QPainter painter(&h->surface);
      painter.setClipRegion(fresh);
      h->PaintControl(painter, fresh);
      h->valid += fresh;
    }
    QPainter p(this);
    qreal dpr = h->surface.devicePixelRatio();
    for (const QRect& r : shown)
      p.drawImage(QRectF(r), h->surface, QRectF(r.x() * dpr, r.y() * dpr, r.width() * dpr, r.height() * dpr));
    PaintCaret(this, p, shown);
  }
  void resizeEvent(QResizeEvent*) override {
    // A new size repaints the whole client area, as the window classes of the controls ask.
    host_->valid = QRegion();
    Send(WM_SIZE, 0, MakeLParam(width(), height()));
  }
  void focusInEvent(QFocusEvent*) override { Send(WM_SETFOCUS, 0, 0); }
  void focusOutEvent(QFocusEvent*) override { Send(WM_KILLFOCUS, 0, 0); }
  // Tab moves the focus only in a dialog, and only when the control does not take it.
  bool focusNextPrevChild(bool next) override {
    TWinControl* c = host_->Control();
    if (!DialogManagesKeys(c) || ControlWantsDialogKey(c, VK_TAB)) return false;
    return QWidget::focusNextPrevChild(next);
  }

  void keyPressEvent(QKeyEvent* e) override {
    Word vk = VirtualKeyOfEvent(e);
    // AltGr (the group switch) types the characters of its layout as plain ones.
    bool alt = (e->modifiers() & Qt::AltModifier) && !(e->modifiers() & Qt::GroupSwitchModifier);
    bool ctrl = e->modifiers() & Qt::ControlModifier;
    intptr_t keyData = alt ? (1 | KF_ALTDOWN_BIT) : 1;
    if (vk) Send(alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, keyData);
    // The typed character, as the byte of the code page.
    AnsiString chars;
    if (ctrl && !alt && vk >= 'A' && vk <= 'Z') {
      chars = AnsiString(1, static_cast<char>(vk - 'A' + 1));
    } else if (vk == VK_BACK || vk == VK_RETURN || vk == VK_ESCAPE || (vk == VK_TAB && !ctrl)) {
      chars = AnsiString(1, static_cast<char>(vk == VK_ESCAPE ? 27 : vk));
    } else if (!e->text().isEmpty() && !(ctrl && !alt)) {
      chars = Utf8ToAnsiDropping(e->text().toStdString());
    }
    for (char c : chars) Send(alt ? WM_SYSCHAR : WM_CHAR, static_cast<unsigned char>(c), keyData);
    e->accept();
  }
  void keyReleaseEvent(QKeyEvent* e) override {
    Word vk = VirtualKeyOfEvent(e);
    bool alt = e->modifiers() & Qt::AltModifier;
    if (vk) Send(alt ? WM_SYSKEYUP : WM_KEYUP, vk, alt ? (1 | KF_ALTDOWN_BIT) : 1);
  }
  void inputMethodEvent(QInputMethodEvent* e) override {
    if (!e->commitString().isEmpty()) {
      host_->lastComposition = Utf8ToAnsiDropping(e->commitString().toStdString());
      Send(WM_IME_STARTCOMPOSITION, 0, 0);
      Send(WM_IME_COMPOSITION, 0, static_cast<intptr_t>(GCS_RESULTSTR));
      Send(WM_IME_ENDCOMPOSITION, 0, 0);
    }
    e->accept();
  }
  QVariant inputMethodQuery(Qt::InputMethodQuery q) const override {
    if (q == Qt::ImCursorRectangle) {
      TPoint p = GetCaretPos();
      return QRect(p.X, p.Y, 1, 16);
    }
    return QWidget::inputMethodQuery(q);
  }

  void mousePressEvent(QMouseEvent* e) override { MouseButtonMessage(e, false); }
  void mouseDoubleClickEvent(QMouseEvent* e) override { MouseButtonMessage(e, true); }
  void mouseReleaseEvent(QMouseEvent* e) override {
    NotePointerPosition(e->globalPosition().toPoint());
    unsigned msg = e->button() == Qt::RightButton ? WM_RBUTTONUP
                   : e->button() == Qt::MiddleButton ? WM_MBUTTONUP : WM_LBUTTONUP;
    QPoint p = e->position().toPoint();
    Send(msg, MouseKeys(e->buttons(), e->modifiers()), MakeLParam(p.x(), p.y()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    NotePointerPosition(e->globalPosition().toPoint());
    QPoint p = e->position().toPoint();
    // As the window system does, the window under a pointer that nobody captured is asked for
    // its cursor before it hears of the move.
    if (!GetCaptureControl())
      Send(WM_SETCURSOR, reinterpret_cast<uintptr_t>(host_->Control()), MakeLParam(HTCLIENT, WM_MOUSEMOVE));
    Send(WM_MOUSEMOVE, MouseKeys(e->buttons(), e->modifiers()), MakeLParam(p.x(), p.y()));
  }
  void wheelEvent(QWheelEvent* e) override {
    int delta = e->angleDelta().y();
    QPoint g = e->globalPosition().toPoint();
    NotePointerPosition(g);
    uintptr_t w = (MouseKeys(e->buttons(), e->modifiers()) & 0xFFFF) |
                  (static_cast<uintptr_t>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16);
    Send(WM_MOUSEWHEEL, w, MakeLParam(g.x(), g.y()));
    e->accept();
  }

  // Files dropped on a window that does not take them go to the nearest parent that does.
  static TWinControl* DropTarget(TWinControl* c) {
    for (; c; c = c->Parent())
      if (c->AcceptsDroppedFiles()) return c;
    return nullptr;
  }
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (DropTarget(host_->Control()) && e->mimeData()->hasUrls()) e->acceptProposedAction();
  }
  void dropEvent(QDropEvent* e) override {
    std::vector<AnsiString> files;
    for (const QUrl& u : e->mimeData()->urls())
      if (u.isLocalFile()) files.push_back(Utf8ToAnsi(u.toLocalFile().toStdString()));
    if (files.empty()) return;
    TWinControl* target = DropTarget(host_->Control());
    if (!target) return;
    e->acceptProposedAction();
    gDropped = &files;
    QPoint g = mapToGlobal(e->position().toPoint());
    gDropPoint = target->ScreenToClient(TPoint{g.x(), g.y()});
    TMessage m{WM_DROPFILES, reinterpret_cast<uintptr_t>(&files), 0, 0};
    DeliverMessage(target, m);
    gDropped = nullptr;
  }

public:
  TControlHost* Host() const { return host_; }

private:
  void MouseButtonMessage(QMouseEvent* e, bool dbl) {
    unsigned msg;
    if (e->button() == Qt::RightButton) msg = dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN;
    else if (e->button() == Qt::MiddleButton) msg = dbl ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN;
    else msg = dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN;
    NotePointerPosition(e->globalPosition().toPoint());
    QPoint p = e->position().toPoint();
    Send(msg, MouseKeys(e->buttons(), e->modifiers()), MakeLParam(p.x(), p.y()));
  }

  TControlHost* host_;
};

std::vector<AnsiString> DragQueryFiles(uintptr_t Drop) {
  auto* v = reinterpret_cast<std::vector<AnsiString>*>(Drop);
  return v && v == gDropped ? *v : std::vector<AnsiString>();
}

TPoint DragQueryPoint(uintptr_t Drop) {
  auto* v = reinterpret_cast<std::vector<AnsiString>*>(Drop);
  return v && v == gDropped ? gDropPoint : TPoint{0, 0};
}

void SetShownCursor(TWinControl* Control, TCursor Cursor) {
  if (Control && Control->HandleAllocated()) Control->Host()->Client()->setCursor(CursorShapeOf(Cursor));
}

TCursor ShownCursor(TWinControl* Control) {
  if (!Control || !Control->HandleAllocated()) return crDefault;
  Qt::CursorShape shape = Control->Host()->Client()->cursor().shape();
  for (TCursor c = crDefault; c >= crSizeAll; --c)
    if (CursorShapeOf(c) == shape) return c;
  return crDefault;
}

TWinControl* ControlOfWidget(QWidget* w) {
  for (; w; w = w->parentWidget())
    if (auto* c = dynamic_cast<TClientWidget*>(w)) return c->Host()->Control();
  return nullptr;
}

AnsiString ImmGetCompositionResult(TWinControl* Control) {
  return Control && Control->HandleAllocated() ? Control->Host()->lastComposition : AnsiString();
}

// ------------------------------------------------------------------------------ host

namespace {
TWinControl* ControlOfFocusWidget(QWidget* w);
}  // namespace

// The window around a client area paints what the control does not: its border and the corner
// between two shown scroll bars.
class TFrameWidget : public QWidget {
public:
  TFrameWidget(TControlHost* host, QWidget* parent) : QWidget(parent), host_(host) {}
  TControlHost* Host() const { return host_; }

protected:
  // Tab and Shift+Tab inside a window go through the controls in their tab order, stopping only
  // at tab stops that show and are enabled.
  bool focusNextPrevChild(bool next) override {
    if (!isWindow()) return QWidget::focusNextPrevChild(next);
    TWinControl* form = host_->Control();
    bool moved = false;
    GuardedCall(form, [&] { moved = form->SelectNext(ControlOfFocusWidget(focusWidget()), next); });
    return moved;
  }
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (!host_->corner.isEmpty()) p.fillRect(host_->corner, palette().color(QPalette::Button));
    if (host_->HasBorder()) {
      p.setPen(palette().color(QPalette::Dark));
      p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
  }

private:
  TControlHost* host_;
};


namespace {
// The control whose window holds a widget: its painted client area, its native widget or a part
// of that (the text field of a combo box).
TWinControl* ControlOfFocusWidget(QWidget* w) {
  for (; w; w = w->parentWidget()) {
    if (auto* c = dynamic_cast<TClientWidget*>(w)) return c->Host()->Control();
    if (auto* f = dynamic_cast<TFrameWidget*>(w)) return f->Host()->Control();
  }
  return nullptr;
}
}  // namespace

TControlHost::TControlHost(TWinControl* control, const TCreateParams& params, QWidget* parent)
    : control_(control) {
  EnsureGuiApplication();
  frame_ = new TFrameWidget(this, parent);
  border_ = (params.Style & WS_BORDER) || (params.ExStyle & WS_EX_CLIENTEDGE);
  client_ = new TClientWidget(this, frame_);
  hbar_ = new QScrollBar(Qt::Horizontal, frame_);
  vbar_ = new QScrollBar(Qt::Vertical, frame_);
  hbar_->hide();
  vbar_->hide();
  frame_->setFocusProxy(client_);
  for (int bar : {SB_HORZ, SB_VERT}) {
    QScrollBar* b = Bar(bar);
    b->setFocusPolicy(Qt::NoFocus);
    QObject::connect(b, &QScrollBar::actionTriggered, b, [this, bar](int a) { ScrollAction(bar, a); });
    QObject::connect(b, &QScrollBar::sliderMoved, b, [this, bar](int pos) { SliderMoved(bar, pos); });
    QObject::connect(b, &QScrollBar::sliderReleased, b, [this, bar] { SliderReleased(bar); });
  }
  if (border_) frame_->setStyleSheet(QString());
}

TControlHost::~TControlHost() {
  EndSurfacePaint();
  if (Caret().owner == control_) DestroyCaret();
  delete frame_;
}

void TControlHost::FitSurface() {
  qreal dpr = client_->devicePixelRatioF();
  QSize size = client_->size() * dpr;
  if (surface.size() == size && surface.devicePixelRatio() == dpr) return;
  EndSurfacePaint();
  QImage next(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  next.setDevicePixelRatio(dpr);
  next.fill(Qt::white);
  if (!surface.isNull() && surface.devicePixelRatio() == dpr) {
    QPainter p(&next);
    p.drawImage(0, 0, surface);
  } else {
    valid = QRegion();
  }
  surface = next;
  valid &= client_->rect();
}

void TControlHost::PaintControl(QPainter& painter, const QRegion& region) {
  QRect br = region.boundingRect();
  auto canvas = CreateCanvasOnPainter(&painter, br);
  TRect clip{br.left(), br.top(), br.right() + 1, br.bottom() + 1};
  QWidget* outer = std::exchange(gPaintingClient, client_);
  try {
    control_->PaintWindow(canvas.get(), clip);
  } catch (...) {
    HandleException(control_);
  }
  gPaintingClient = outer;
}

void TControlHost::MakeSurface() {
  if (Retained()) return;
  // The copy holds what the window shows; parts the control invalidated are still painted at
  // the next paint.
  FitSurface();
  QRegion all(client_->rect());
  QPainter painter(&surface);
  painter.setClipRegion(all);
  PaintControl(painter, all);
  valid = all;
}

void TControlHost::KeepPixelsSoon() {
  if (surfaceDue_) return;
  surfaceDue_ = true;
  QTimer::singleShot(0, client_, [this] { MakeSurface(); });
}

QPainter* TControlHost::BeginSurfacePaint() {
  if (!surfacePainter_) {
    // What the canvas draws stays until the control paints those parts again.
    MakeSurface();
    FitSurface();
    surfacePainter_ = std::make_unique<QPainter>(&surface);
  }
  return surfacePainter_.get();
}

void TControlHost::EndSurfacePaint() {
  if (surfacePainter_) ReleasePainter(surfacePainter_.get());
  surfacePainter_.reset();
}

void TControlHost::ScrollSurface(int dx, int dy, const QRect& area) {
  EndSurfacePaint();
  if (Retained()) FitSurface();
  QRect r = area & client_->rect();
  if (r.isEmpty()) return;
  QRect from = r & r.translated(-dx, -dy);
  if (Retained() && !from.isEmpty()) {
    qreal dpr = surface.devicePixelRatio();
    QImage moved = surface.copy(QRect((from.topLeft() * dpr), from.size() * dpr));
    moved.setDevicePixelRatio(dpr);
    QPainter p(&surface);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(from.topLeft() + QPoint(dx, dy), moved);
  }
  // What was valid moves with the pixels; what the control still has to paint is kept and
  // moved too.
  QRegion inside = valid & r;
  valid = (valid - r) + (inside.translated(dx, dy) & from.translated(dx, dy));
  AddDirty((dirty_ & r).translated(dx, dy) & r);
}

void TControlHost::SetNative(QWidget* w) {
  native_ = w;
  if (w) {
    frame_->setFocusProxy(w);
    client_->hide();
    w->show();
  } else {
    frame_->setFocusProxy(client_);
    client_->show();
  }
  Layout();
}

void TControlHost::Layout() {
  int b = border_ ? 1 : 0;
  int w = frame_->width() - 2 * b, h = frame_->height() - 2 * b;
  int vw = barShown[SB_VERT] ? vbar_->sizeHint().width() : 0;
  int hh = barShown[SB_HORZ] ? hbar_->sizeHint().height() : 0;
  client_->setGeometry(b, b, std::max(0, w - vw), std::max(0, h - hh));
  if (native_) native_->setGeometry(0, 0, frame_->width(), frame_->height());
  vbar_->setGeometry(b + w - vw, b, vw, std::max(0, h - hh));
  hbar_->setGeometry(b, b + h - hh, std::max(0, w - vw), hh);
  QRect corner = vw > 0 && hh > 0 ? QRect(b + w - vw, b + h - hh, vw, hh) : QRect();
  if (corner != this->corner) {
    this->corner = corner;
    frame_->update();
  }
  vbar_->setVisible(barShown[SB_VERT]);
  hbar_->setVisible(barShown[SB_HORZ]);
}

void TControlHost::ApplyBar(int bar) {
  QScrollBar* b = Bar(bar);
  const TScrollInfo& i = info[bar];
  QSignalBlocker block(b);
  int page = static_cast<int>(i.nPage);
  int maxPos = page > 0 ? i.nMax - page + 1 : i.nMax;
  b->setRange(i.nMin, std::max(i.nMin, maxPos));
  b->setPageStep(std::max(page, 1));
  b->setSingleStep(1);
  b->setValue(i.nPos);
  b->setSliderPosition(i.nPos);
  bool scrolls = maxPos > i.nMin;
  b->setEnabled(barEnabled[bar] && scrolls);
}

void TControlHost::ScrollAction(int bar, int action) {
  unsigned code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    default: return;  // thumb moves arrive through sliderMoved
  }
  TMessage m{bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, code, 0, 0};
  DeliverMessage(control_, m);
  TMessage end{m.Msg, SB_ENDSCROLL, 0, 0};
  DeliverMessage(control_, end);
  // The control decides the position: undo Qt's own step.
  Bar(bar)->setSliderPosition(info[bar].nPos);
}

void TControlHost::SliderMoved(int bar, int pos) {
  info[bar].nTrackPos = pos;
  TMessage m{bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL,
             SB_THUMBTRACK | (static_cast<uintptr_t>(pos & 0xFFFF) << 16), 0, 0};
  DeliverMessage(control_, m);
}

void TControlHost::SliderReleased(int bar) {
  int pos = Bar(bar)->sliderPosition();
  TMessage m{bar == SB_HORZ ? WM_HSCROLL : WM_VSCROLL,
             SB_THUMBPOSITION | (static_cast<uintptr_t>(pos & 0xFFFF) << 16), 0, 0};
  DeliverMessage(control_, m);
  TMessage end{m.Msg, SB_ENDSCROLL, 0, 0};
  DeliverMessage(control_, end);
  ApplyBar(bar);
}

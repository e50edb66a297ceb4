#include "platform/controls.h"

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>
#include <climits>
#include <dlfcn.h>
#include <map>

#include "platform/graphics.h"
#include "platform/menus.h"
#include "platform/qt/control_host.h"
#include "platform/qt/widgets_qt.h"
#include "platform/qt/graphics_qt.h"

// ------------------------------------------------------------------------------ helpers

namespace {

TControl* gCapture = nullptr;

// Virtual-key code of a physical key: from the X11 key code where the window system gives one,
// else from the Qt key; letters typed under another layout (Cyrillic) map back to the Latin
// letter of the same key, so shortcuts work under any layout.
Word VirtualKeyOf(const QKeyEvent* e) {
  int k = e->key();
  bool keypad = e->modifiers() & Qt::KeypadModifier;
  if (keypad) {
    if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<Word>(VK_NUMPAD0 + (k - Qt::Key_0));
    switch (k) {
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Period: case Qt::Key_Comma: return VK_DECIMAL;
      case Qt::Key_Slash: return VK_DIVIDE;
      default: break;
    }
  }
  switch (k) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab: case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return: case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: case Qt::Key_AltGr: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    default: break;
  }
  if (k >= Qt::Key_F1 && k <= Qt::Key_F24) return static_cast<Word>(VK_F1 + (k - Qt::Key_F1));
  // X11 key codes of the main block (evdev code + 8), the same under every layout.
  static const std::map<quint32, Word> kX11 = {
      {10, '1'}, {11, '2'}, {12, '3'}, {13, '4'}, {14, '5'}, {15, '6'}, {16, '7'}, {17, '8'},
      {18, '9'}, {19, '0'}, {20, VK_OEM_MINUS}, {21, VK_OEM_PLUS}, {24, 'Q'}, {25, 'W'},
      {26, 'E'}, {27, 'R'}, {28, 'T'}, {29, 'Y'}, {30, 'U'}, {31, 'I'}, {32, 'O'}, {33, 'P'},
      {34, VK_OEM_4}, {35, VK_OEM_6}, {38, 'A'}, {39, 'S'}, {40, 'D'}, {41, 'F'}, {42, 'G'},
      {43, 'H'}, {44, 'J'}, {45, 'K'}, {46, 'L'}, {47, VK_OEM_1}, {48, VK_OEM_7}, {49, VK_OEM_3},
      {51, VK_OEM_5}, {52, 'Z'}, {53, 'X'}, {54, 'C'}, {55, 'V'}, {56, 'B'}, {57, 'N'},
      {58, 'M'}, {59, VK_OEM_COMMA}, {60, VK_OEM_PERIOD}, {61, VK_OEM_2}};
  if (quint32 sc = e->nativeScanCode()) {
    auto it = kX11.find(sc);
    if (it != kX11.end()) return it->second;
  }
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<Word>('A' + (k - Qt::Key_A));
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<Word>('0' + (k - Qt::Key_0));
  // Russian layout (ЙЦУКЕН) letters to the keys that carry them.
  static const char16_t kRu[] = u"ЙЦУКЕНГШЩЗХЪФЫВАПРОЛДЖЭЯЧСМИТЬБЮЁ";
  static const Word kRuVk[] = {'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', VK_OEM_4,
                               VK_OEM_6, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1,
                               VK_OEM_7, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA,
                               VK_OEM_PERIOD, VK_OEM_3};
  QChar up = QChar(k).toUpper();
  for (size_t i = 0; i < sizeof(kRuVk) / sizeof(kRuVk[0]); ++i)
    if (up.unicode() == kRu[i]) return kRuVk[i];
  switch (k) {
    case Qt::Key_Minus: return VK_OEM_MINUS;
    case Qt::Key_Equal: case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_BracketLeft: return VK_OEM_4;
    case Qt::Key_BracketRight: return VK_OEM_6;
    case Qt::Key_Semicolon: return VK_OEM_1;
    case Qt::Key_Apostrophe: return VK_OEM_7;
    case Qt::Key_QuoteLeft: return VK_OEM_3;
    case Qt::Key_Backslash: return VK_OEM_5;
    case Qt::Key_Comma: return VK_OEM_COMMA;
    case Qt::Key_Period: return VK_OEM_PERIOD;
    case Qt::Key_Slash: return VK_OEM_2;
    default: return 0;
  }
}

uintptr_t MouseKeys(Qt::MouseButtons b, Qt::KeyboardModifiers m) {
  uintptr_t k = 0;
  if (b & Qt::LeftButton) k |= MK_LBUTTON;
  if (b & Qt::RightButton) k |= MK_RBUTTON;
  if (b & Qt::MiddleButton) k |= MK_MBUTTON;
  if (m & Qt::ShiftModifier) k |= MK_SHIFT;
  if (m & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

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
std::vector<AnsiString>* gDropped = nullptr;
TPoint gDropPoint{0, 0};

}  // namespace

Word VirtualKeyOfEvent(const QKeyEvent* e) { return VirtualKeyOf(e); }

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

// ------------------------------------------------------------------------------ caret

// The caret is drawn by the client widget of its owner over the painted surface, so that
// showing, hiding and blinking it only shows the few pixels it covers again; the control is
// never asked to repaint for it.
namespace {

struct CaretState {
  QPointer<QWidget> client;  // the owner's client widget
  QPointer<QTimer> timer;    // the blink
  TWinControl* owner = nullptr;
  int width = 0, height = 0, x = 0, y = 0;
  int hideCount = 1;  // a new caret is hidden
  bool on = true;     // the blink phase
  QRect shown;        // where the screen shows it (empty: nowhere)
};

CaretState& Caret() {
  static CaretState c;
  return c;
}

// The client widget whose paint event is running: caret changes meanwhile are drawn at its end.
QWidget* gPaintingClient = nullptr;

QRect WantedCaretRect() {
  const CaretState& c = Caret();
  if (!c.client || c.hideCount > 0 || !c.on) return QRect();
  return QRect(c.x, c.y, std::max(c.width, 1), std::max(c.height, 1));
}

// Shows the caret where it is now wanted: the old and the new place are shown again.
void RefreshCaret() {
  CaretState& c = Caret();
  if (!c.client || c.client == gPaintingClient) return;
  QRect want = WantedCaretRect();
  if (want == c.shown) return;
  QRegion r = QRegion(c.shown) + QRegion(want);
  c.shown = want;
  c.client->update(r);
}

void SyncCaret() {
  CaretState& c = Caret();
  if (!c.client) return;
  if (c.hideCount <= 0) {
    // A caret that moves or shows starts its blink shown.
    c.on = true;
    if (c.timer) c.timer->start();
  } else if (c.timer) {
    c.timer->stop();
  }
  RefreshCaret();
}

// Draws the caret over a client widget's paint; a change it missed is shown after it.
void PaintCaret(QWidget* client, QPainter& p, const QRegion& painted) {
  CaretState& c = Caret();
  if (c.client != client) return;
  QRect want = WantedCaretRect();
  if (!want.isEmpty()) {
    p.save();
    p.setClipRegion(painted);
    p.setCompositionMode(QPainter::CompositionMode_Difference);
    p.fillRect(want, Qt::white);
    p.restore();
  }
  if (want != c.shown) {
    QRegion rest = (QRegion(c.shown) + QRegion(want)) - painted;
    c.shown = want;
    if (!rest.isEmpty()) client->update(rest);
  }
}

}  // namespace

void CreateCaret(TWinControl* Owner, int Width, int Height) {
  DestroyCaret();
  if (!Owner || !Owner->HandleAllocated()) return;
  CaretState& c = Caret();
  c.owner = Owner;
  c.width = Width;
  c.height = Height;
  c.hideCount = 1;
  c.on = true;
  c.shown = QRect();
  QWidget* client = reinterpret_cast<QWidget*>(Owner->Host()->Client());
  c.client = client;
  auto* timer = new QTimer(client);
  timer->setInterval(CaretBlinkTime());
  QObject::connect(timer, &QTimer::timeout, timer, [] {
    Caret().on = !Caret().on;
    RefreshCaret();
  });
  c.timer = timer;
  SyncCaret();
}

void DestroyCaret() {
  CaretState& c = Caret();
  delete c.timer.data();
  if (c.client && !c.shown.isEmpty()) c.client->update(c.shown);
  c = CaretState();
}

void SetCaretPos(int X, int Y) {
  CaretState& c = Caret();
  c.x = X;
  c.y = Y;
  SyncCaret();
}

TPoint GetCaretPos() { return TPoint{Caret().x, Caret().y}; }

void ShowSystemCaret(TWinControl* Owner) {
  CaretState& c = Caret();
  if (c.owner != Owner || !c.client) return;
  if (c.hideCount > 0) --c.hideCount;
  SyncCaret();
}

void HideSystemCaret(TWinControl* Owner) {
  CaretState& c = Caret();
  if (c.owner != Owner || !c.client) return;
  ++c.hideCount;
  SyncCaret();
}

bool CaretVisible() { return Caret().client && Caret().hideCount <= 0; }

int CaretBlinkTime() {
  int t = QApplication::cursorFlashTime();
  return t > 0 ? t / 2 : 530;
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
    NoteInputModifiers(e->modifiers());
    Word vk = VirtualKeyOf(e);
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
    NoteInputModifiers(e->modifiers());
    Word vk = VirtualKeyOf(e);
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
    NoteInputModifiers(e->modifiers());
    unsigned msg = e->button() == Qt::RightButton ? WM_RBUTTONUP
                   : e->button() == Qt::MiddleButton ? WM_MBUTTONUP : WM_LBUTTONUP;
    QPoint p = e->position().toPoint();
    Send(msg, MouseKeys(e->buttons(), e->modifiers()), MakeLParam(p.x(), p.y()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    NotePointerPosition(e->globalPosition().toPoint());
    NoteInputModifiers(e->modifiers());
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
    NoteInputModifiers(e->modifiers());
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
    NoteInputModifiers(e->modifiers());
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
  if (!hint_.empty()) f->setToolTip(QStr(hint_));
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
  if (host_) host_->Frame()->setEnabled(v);
}

void TWinControl::SetHint(const AnsiString& v) {
  hint_ = v;
  if (host_) host_->Frame()->setToolTip(QStr(v));
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
  QPointer<QWidget> client = reinterpret_cast<QWidget*>(host->Client());
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

void TWinControl::SetFocus() {
  HandleNeeded();
  if (host_->Native()) host_->Native()->setFocus(Qt::OtherFocusReason);
  else host_->Client()->setFocus(Qt::OtherFocusReason);
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
  QLineEdit* edit = qobject_cast<QLineEdit*>(target);
  if (auto* combo = qobject_cast<QComboBox*>(target)) edit = combo->lineEdit();
  if (edit) edit->selectAll();
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
        DblClick();
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

// ------------------------------------------------------------------------------ key state

TShiftState MouseKeysToShiftState(uintptr_t Keys) {
  TShiftState s;
  if (Keys & MK_SHIFT) s.Include(ssShift);
  if (Keys & MK_CONTROL) s.Include(ssCtrl);
  if (Keys & MK_LBUTTON) s.Include(ssLeft);
  if (Keys & MK_RBUTTON) s.Include(ssRight);
  if (Keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState KeyboardShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

namespace {
bool gEventModifiersSeen = false;
Qt::KeyboardModifiers gEventModifiers;
}  // namespace

void NoteInputModifiers(Qt::KeyboardModifiers m) {
  gEventModifiersSeen = true;
  gEventModifiers = m;
}

int16_t GetKeyState(int VirtualKey) {
  if (!QCoreApplication::instance()) return 0;
  Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
  // Without a keyboard of its own (offscreen) the window system knows the modifier keys only
  // from the input events it delivered: the latest one tells what is held.
  static const bool ownKeyboard = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                                  QGuiApplication::platformName() != QLatin1String("minimal");
  if (!ownKeyboard && gEventModifiersSeen) m = gEventModifiers;
  Qt::MouseButtons b = QGuiApplication::mouseButtons();
  bool down = false;
  switch (VirtualKey) {
    case VK_SHIFT: case VK_LSHIFT: case VK_RSHIFT: down = m & Qt::ShiftModifier; break;
    case VK_CONTROL: case VK_LCONTROL: case VK_RCONTROL: down = m & Qt::ControlModifier; break;
    case VK_MENU: case VK_LMENU: case VK_RMENU: down = m & Qt::AltModifier; break;
    case VK_LBUTTON: down = b & Qt::LeftButton; break;
    case VK_RBUTTON: down = b & Qt::RightButton; break;
    case VK_MBUTTON: down = b & Qt::MiddleButton; break;
    case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
      return LockKeyToggled(VirtualKey) ? 1 : 0;
    default: return 0;
  }
  return down ? static_cast<int16_t>(0x8000) : 0;
}

// Lock-key indicators of the X server's keyboard (Caps Lock bit 0, Num Lock bit 1, Scroll Lock
// bit 2), read through the X library loaded at run time. Other window systems (offscreen,
// Wayland) offer nothing: the keys read as off there.
bool LockKeyToggled(int VirtualKey) {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  using OpenDisplay = void* (*)(const char*);
  using GetIndicatorState = int (*)(void*, unsigned, unsigned*);
  static void* display = nullptr;
  static GetIndicatorState getState = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL)) {
      auto open = reinterpret_cast<OpenDisplay>(dlsym(lib, "XOpenDisplay"));
      getState = reinterpret_cast<GetIndicatorState>(dlsym(lib, "XkbGetIndicatorState"));
      if (open && getState) display = open(nullptr);
    }
  }
  if (!display || !getState) return false;
  unsigned state = 0;
  constexpr unsigned kUseCoreKeyboard = 0x100;
  if (getState(display, kUseCoreKeyboard, &state) != 0) return false;
  unsigned bit = VirtualKey == VK_CAPITAL ? 1u : VirtualKey == VK_NUMLOCK ? 2u : 4u;
  return state & bit;
}

TControl* GetCaptureControl() { return gCapture; }

// ------------------------------------------------------------------------------ TTimer

struct TTimer::Impl {
  QTimer timer;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), impl_(std::make_unique<Impl>()) {
  EnsureGuiApplication();
  QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
    try {
      CallEvent(OnTimer, this);
    } catch (...) {
      HandleException(this);
    }
  });
  Restart();
}

TTimer::~TTimer() { impl_->timer.stop(); }

void TTimer::Restart() {
  impl_->timer.stop();
  if (enabled_ && interval_ > 0) impl_->timer.start(static_cast<int>(interval_));
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Restart();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}

// ------------------------------------------------------------------------------ application

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

#include "platform/input_simulation.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QDropEvent>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWheelEvent>

#include "platform/dialogs.h"
#include "platform/graphics.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"

namespace {

QWidget* ClientOf(TWinControl* c) {
  c->HandleNeeded();
  return reinterpret_cast<QWidget*>(c->Host()->Client());
}

// Where a user's keys and clicks land: the native widget of a standard control (an edit, a check
// box, a button), else the painted client area.
QWidget* InputTargetOf(TWinControl* c) {
  c->HandleNeeded();
  if (QWidget* n = c->Host()->Native()) return n;
  return reinterpret_cast<QWidget*>(c->Host()->Client());
}

// Keys land there too, except that an editable combo box types into its text field; without a
// control they go where the keyboard's are going now (an open menu, the focused widget).
QWidget* KeyTargetOf(TWinControl* c) {
  if (!c) return QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
  QWidget* w = InputTargetOf(c);
  if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit()) return combo->lineEdit();
  return w;
}

Qt::KeyboardModifiers Modifiers(TShiftState s) {
  Qt::KeyboardModifiers m;
  if (s.Contains(ssShift)) m |= Qt::ShiftModifier;
  if (s.Contains(ssCtrl)) m |= Qt::ControlModifier;
  if (s.Contains(ssAlt)) m |= Qt::AltModifier;
  return m;
}

int QtKeyOf(Word vk, bool& keypad) {
  keypad = false;
  if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
  if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
  if (vk >= VK_F1 && vk <= VK_F24) return Qt::Key_F1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
    keypad = true;
    return Qt::Key_0 + (vk - VK_NUMPAD0);
  }
  switch (vk) {
    case VK_BACK: return Qt::Key_Backspace;
    case VK_TAB: return Qt::Key_Tab;
    case VK_RETURN: return Qt::Key_Return;
    case VK_SHIFT: return Qt::Key_Shift;
    case VK_CONTROL: return Qt::Key_Control;
    case VK_MENU: return Qt::Key_Alt;
    case VK_ESCAPE: return Qt::Key_Escape;
    case VK_SPACE: return Qt::Key_Space;
    case VK_PRIOR: return Qt::Key_PageUp;
    case VK_NEXT: return Qt::Key_PageDown;
    case VK_END: return Qt::Key_End;
    case VK_HOME: return Qt::Key_Home;
    case VK_LEFT: return Qt::Key_Left;
    case VK_UP: return Qt::Key_Up;
    case VK_RIGHT: return Qt::Key_Right;
    case VK_DOWN: return Qt::Key_Down;
    case VK_INSERT: return Qt::Key_Insert;
    case VK_DELETE: return Qt::Key_Delete;
    case VK_APPS: return Qt::Key_Menu;
    case VK_OEM_MINUS: return Qt::Key_Minus;
    case VK_OEM_PLUS: return Qt::Key_Equal;
    case VK_OEM_4: return Qt::Key_BracketLeft;
    case VK_OEM_6: return Qt::Key_BracketRight;
    case VK_OEM_1: return Qt::Key_Semicolon;
    case VK_OEM_7: return Qt::Key_Apostrophe;
    case VK_OEM_3: return Qt::Key_QuoteLeft;
    case VK_OEM_5: return Qt::Key_Backslash;
    case VK_OEM_COMMA: return Qt::Key_Comma;
    case VK_OEM_PERIOD: return Qt::Key_Period;
    case VK_OEM_2: return Qt::Key_Slash;
    case VK_MULTIPLY: keypad = true; return Qt::Key_Asterisk;
    case VK_ADD: keypad = true; return Qt::Key_Plus;
    case VK_SUBTRACT: keypad = true; return Qt::Key_Minus;
    case VK_DIVIDE: keypad = true; return Qt::Key_Slash;
    case VK_DECIMAL: keypad = true; return Qt::Key_Period;
    default: return 0;
  }
}

int RussianLetterOf(Word vk) {
  static const char kLatin[] = "QWERTYUIOPASDFGHJKLZXCVBNM";
  static const char16_t kRu[] = u"ЙЦУКЕНГШЩЗФЫВАПРОЛДЯЧСМИТЬ";
  for (int i = 0; kLatin[i]; ++i)
    if (kLatin[i] == vk) return kRu[i];
  return 0;
}

}  // namespace

namespace {
void SendKey(TWinControl* control, QEvent::Type type, Word vk, TShiftState shift, const std::string& text,
             bool russianLayout) {
  QWidget* w = KeyTargetOf(control);
  if (!w) return;
  bool keypad;
  int key = QtKeyOf(vk, keypad);
  if (russianLayout)
    if (int ru = RussianLetterOf(vk)) key = ru;
  Qt::KeyboardModifiers m = Modifiers(shift);
  if (keypad) m |= Qt::KeypadModifier;
  QKeyEvent e(type, key, m, QString::fromStdString(text));
  QApplication::sendEvent(w, &e);
}
}  // namespace

void SimulateKeyStroke(TWinControl* control, Word vk, TShiftState shift, const std::string& text,
                       bool russianLayout) {
  SendKey(control, QEvent::KeyPress, vk, shift, text, russianLayout);
  SendKey(control, QEvent::KeyRelease, vk, shift, text, russianLayout);
}

void SimulateKeyPress(TWinControl* control, Word vk, TShiftState shift) {
  SendKey(control, QEvent::KeyPress, vk, shift, std::string(), false);
}

void SimulateKeyRelease(TWinControl* control, Word vk, TShiftState shift) {
  SendKey(control, QEvent::KeyRelease, vk, shift, std::string(), false);
}

void SimulateTyping(TWinControl* control, const std::string& utf8) {
  QWidget* w = KeyTargetOf(control);
  for (QChar ch : QString::fromStdString(utf8)) {
    QString t(ch);
    int key = ch.toUpper().unicode();
    if (ch == '\n') key = Qt::Key_Return, t = "\r";
    QKeyEvent press(QEvent::KeyPress, key, ch.isUpper() ? Qt::ShiftModifier : Qt::NoModifier, t);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, t);
    QApplication::sendEvent(w, &release);
  }
}

void SimulateMouse(TWinControl* control, TSimulatedMouse kind, TMouseButton button, int x, int y,
                   TShiftState shift) {
  QWidget* w = InputTargetOf(control);
  Qt::MouseButton b = button == mbRight ? Qt::RightButton : button == mbMiddle ? Qt::MiddleButton : Qt::LeftButton;
  QEvent::Type type = kind == smPress ? QEvent::MouseButtonPress
                      : kind == smRelease ? QEvent::MouseButtonRelease
                      : kind == smMove ? QEvent::MouseMove : QEvent::MouseButtonDblClick;
  Qt::MouseButtons held;
  if (shift.Contains(ssLeft)) held |= Qt::LeftButton;
  if (shift.Contains(ssRight)) held |= Qt::RightButton;
  if (kind == smPress || kind == smDoubleClick) held |= b;
  QPointF local(x, y);
  QMouseEvent e(type, local, w->mapToGlobal(local), kind == smMove ? Qt::NoButton : b, held, Modifiers(shift));
  QApplication::sendEvent(w, &e);
}

void SimulateWheel(TWinControl* control, int delta, TShiftState shift) {
  QWidget* w = InputTargetOf(control);
  QPointF local(1, 1);
  QWheelEvent e(local, w->mapToGlobal(local), QPoint(), QPoint(0, delta), Qt::NoButton, Modifiers(shift),
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(w, &e);
}

void SimulateInputMethodCommit(TWinControl* control, const std::string& utf8) {
  QWidget* w = InputTargetOf(control);
  QInputMethodEvent e;
  e.setCommitString(QString::fromStdString(utf8));
  QApplication::sendEvent(w, &e);
}

void SimulateFileDrop(TWinControl* control, const std::vector<std::string>& paths, int x, int y) {
  QWidget* w = ClientOf(control);
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(x, y), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enter);
  if (!enter.isAccepted()) return;
  QDropEvent drop(QPointF(x, y), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drop);
}

void SimulateKeyboardHolding(TShiftState held) {
  SimulateKeyboardModifiers(true, Modifiers(held));
}

void EndSimulatedKeyboard() {
  SimulateKeyboardModifiers(false, Qt::NoModifier);
}

void ShowForTest(TWinControl* control, int width, int height) {
  control->SetBounds(0, 0, width, height);
  control->HandleNeeded();
  QWidget* f = control->Host()->Frame();
  f->resize(width, height);
  control->Host()->Layout();
  f->show();
  QApplication::processEvents();
}

namespace {
QImage Grab(TWinControl* control) {
  QWidget* w = ClientOf(control);
  return w->grab().toImage();
}
}  // namespace

bool SaveClientImage(TWinControl* control, const std::string& path) { return Grab(control).save(QString::fromStdString(path)); }

TColor ClientPixel(TWinControl* control, int x, int y) {
  QImage img = Grab(control);
  if (x < 0 || y < 0 || x >= img.width() || y >= img.height()) return clNone;
  QRgb p = img.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

namespace {
QImage WindowImage(TWinControl* control) {
  QApplication::processEvents();
  return control->Host()->Frame()->grab().toImage();
}

QImage PopupImage() {
  QApplication::processEvents();
  QWidget* popup = QApplication::activePopupWidget();
  return popup ? popup->grab().toImage() : QImage();
}
}  // namespace

bool HoldsPixelCopy(TWinControl* control) {
  return control->HandleAllocated() && control->Host()->Retained();
}

bool SaveWindowImage(TWinControl* control, const std::string& path) {
  if (!control->HandleAllocated()) return false;
  return WindowImage(control).save(QString::fromStdString(path), "PNG");
}

bool SavePopupImage(const std::string& path) {
  QImage image = PopupImage();
  return !image.isNull() && image.save(QString::fromStdString(path), "PNG");
}

bool GrabWindowImage(TWinControl* control, TBitmap& image) {
  if (!control->HandleAllocated()) return false;
  BitmapImage(&image) = WindowImage(control).convertToFormat(QImage::Format_RGB32);
  return true;
}

bool GrabPopupImage(TBitmap& image) {
  QImage popup = PopupImage();
  if (popup.isNull()) return false;
  BitmapImage(&image) = popup.convertToFormat(QImage::Format_RGB32);
  return true;
}

std::string ShownMessageText(const AnsiString& Text) {
  EnsureGuiApplication();
  QMessageBox box;
  FillMessageBox(box, Text, AnsiString(), MB_OK);
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (!label) return std::string();
  QString shown = label->text();
  bool rich = label->textFormat() == Qt::RichText ||
              (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(shown));
  if (rich) {
    QTextDocument d;
    d.setHtml(shown);
    shown = d.toPlainText();
  }
  return shown.toStdString();
}

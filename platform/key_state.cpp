#include <QGuiApplication>
#include <QKeyEvent>
#include <QSocketNotifier>
#include <dlfcn.h>
#include <functional>
#include <map>

#include "platform/controls.h"
#include "platform/qt/control_host.h"

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
bool gInputSeen = false;
Qt::KeyboardModifiers gInputModifiers;
bool gKeyboardSimulated = false;
Qt::KeyboardModifiers gSimulatedKeyboard;

// What the keyboard holds at this moment, as the window system tells it.
Qt::KeyboardModifiers KeyboardNow() {
  return gKeyboardSimulated ? gSimulatedKeyboard : QGuiApplication::queryKeyboardModifiers();
}
}  // namespace

void NoteInputEvent(const QEvent* e) {
  if (!e->isInputEvent()) return;
  gInputSeen = true;
  // A key event tells the modifiers as they are after it (a modifier key's own press holds it).
  bool key = e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease ||
             e->type() == QEvent::ShortcutOverride;
  gInputModifiers = key ? static_cast<const QKeyEvent*>(e)->modifiers()
                        : static_cast<const QInputEvent*>(e)->modifiers();
}

void SimulateKeyboardModifiers(bool On, Qt::KeyboardModifiers Held) {
  gKeyboardSimulated = On;
  gSimulatedKeyboard = Held;
}

// The modifier keys as of the input event being handled, else of the latest one: a key that
// waited in the queue while the program was busy is taken with the modifiers it was pressed
// with, though they were let go since. Before any input event: what the keyboard holds now.
int16_t GetKeyState(int VirtualKey) {
  if (!QCoreApplication::instance()) return 0;
  Qt::KeyboardModifiers m = gInputSeen ? gInputModifiers : KeyboardNow();
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
// bit 2), through a connection of our own with the X library loaded at run time. They are read
// once; after that the server tells of every change (in any window) as an event on the
// connection, which the event loop sees arrive: no request goes to the server while nothing
// changes. Other window systems (offscreen, Wayland) offer nothing: the keys read as off there.
namespace {

// The X library's event of a changed indicator state, as it lays it out.
struct TXkbIndicatorEvent {
  int type;
  unsigned long serial;
  int sendEvent;
  void* display;
  unsigned long time;
  int xkbType;
  int device;
  unsigned changed;
  unsigned state;
};
union TXEvent {
  int type;
  TXkbIndicatorEvent indicator;
  long room[24];
};

class TLockKeys {
public:
  static TLockKeys& Get() {
    static TLockKeys* keys = new TLockKeys;  // never freed: its connection lives as the program
    return *keys;
  }
  bool Toggled(int VirtualKey) {
    if (!Open()) return false;
    unsigned bit = VirtualKey == VK_CAPITAL ? 1u : VirtualKey == VK_NUMLOCK ? 2u : 4u;
    return state_ & bit;
  }
  int Watch(std::function<void()> changed) {
    Open();
    watchers_[next_] = std::move(changed);
    return next_++;
  }
  void Stop(int watch) { watchers_.erase(watch); }

private:
  using OpenDisplay = void* (*)(const char*);
  using QueryExtension = int (*)(void*, int*, int*, int*, int*, int*);
  using SelectEvents = int (*)(void*, unsigned, unsigned long, unsigned long);
  using GetIndicatorState = int (*)(void*, unsigned, unsigned*);
  using ConnectionNumber = int (*)(void*);
  using Pending = int (*)(void*);
  using NextEvent = int (*)(void*, TXEvent*);
  using Flush = int (*)(void*);
  static constexpr unsigned kUseCoreKeyboard = 0x100;
  static constexpr unsigned long kIndicatorStateNotifyMask = 1ul << 4;
  static constexpr int kIndicatorStateNotify = 4;

  bool Open() {
    if (tried_) return display_ != nullptr;
    tried_ = true;
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
    void* lib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return false;
    auto open = reinterpret_cast<OpenDisplay>(dlsym(lib, "XOpenDisplay"));
    auto query = reinterpret_cast<QueryExtension>(dlsym(lib, "XkbQueryExtension"));
    auto select = reinterpret_cast<SelectEvents>(dlsym(lib, "XkbSelectEvents"));
    auto getState = reinterpret_cast<GetIndicatorState>(dlsym(lib, "XkbGetIndicatorState"));
    auto connection = reinterpret_cast<ConnectionNumber>(dlsym(lib, "XConnectionNumber"));
    auto flush = reinterpret_cast<Flush>(dlsym(lib, "XFlush"));
    pending_ = reinterpret_cast<Pending>(dlsym(lib, "XPending"));
    next_event_ = reinterpret_cast<NextEvent>(dlsym(lib, "XNextEvent"));
    if (!open || !query || !select || !getState || !connection || !flush || !pending_ || !next_event_) return false;
    void* display = open(nullptr);
    if (!display) return false;
    int opcode = 0, error = 0, major = 1, minor = 0;
    if (!query(display, &opcode, &eventBase_, &error, &major, &minor) ||
        !select(display, kUseCoreKeyboard, kIndicatorStateNotifyMask, kIndicatorStateNotifyMask) ||
        getState(display, kUseCoreKeyboard, &state_) != 0)
      return false;
    flush(display);
    display_ = display;
    notifier_ = new QSocketNotifier(connection(display), QSocketNotifier::Read);
    QObject::connect(notifier_, &QSocketNotifier::activated, notifier_, [this] { Drain(); });
    Drain();  // events read while waiting for the state
    return true;
  }
  // Takes the events the server sent; the watchers hear of a changed state once.
  void Drain() {
    unsigned before = state_;
    while (pending_(display_) > 0) {
      TXEvent e;
      next_event_(display_, &e);
      if (e.type == eventBase_ && e.indicator.xkbType == kIndicatorStateNotify) state_ = e.indicator.state;
    }
    if (state_ == before) return;
    auto watchers = watchers_;
    for (auto& [id, changed] : watchers)
      if (changed) changed();
  }

  bool tried_ = false;
  void* display_ = nullptr;
  int eventBase_ = -1;
  unsigned state_ = 0;
  Pending pending_ = nullptr;
  NextEvent next_event_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  std::map<int, std::function<void()>> watchers_;
  int next_ = 1;
};

}  // namespace

bool LockKeyToggled(int VirtualKey) { return TLockKeys::Get().Toggled(VirtualKey); }

int WatchLockKeys(std::function<void()> Changed) { return TLockKeys::Get().Watch(std::move(Changed)); }

void StopWatchingLockKeys(int Watch) { TLockKeys::Get().Stop(Watch); }

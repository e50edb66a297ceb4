#include <QGuiApplication>
#include <dlfcn.h>

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

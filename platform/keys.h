#pragma once
// Keyboard and mouse basics shared by controls and key bindings: virtual-key codes, the shift
// state set, mouse buttons, cursor numbers and the key and mouse event shapes.
#include <cstdint>
#include <initializer_list>

#include "platform/cursors.h"
#include "platform/events.h"

using Word = uint16_t;

// Virtual-key codes (the physical key, independent of the keyboard layout).
enum : Word {
  VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_CANCEL = 0x03, VK_MBUTTON = 0x04,
  VK_BACK = 0x08, VK_TAB = 0x09, VK_CLEAR = 0x0C, VK_RETURN = 0x0D,
  VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12, VK_PAUSE = 0x13, VK_CAPITAL = 0x14,
  VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21, VK_NEXT = 0x22, VK_END = 0x23,
  VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27, VK_DOWN = 0x28,
  VK_SELECT = 0x29, VK_PRINT = 0x2A, VK_EXECUTE = 0x2B, VK_SNAPSHOT = 0x2C,
  VK_INSERT = 0x2D, VK_DELETE = 0x2E, VK_HELP = 0x2F,
  // '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A.
  VK_LWIN = 0x5B, VK_RWIN = 0x5C, VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60, VK_NUMPAD1, VK_NUMPAD2, VK_NUMPAD3, VK_NUMPAD4, VK_NUMPAD5, VK_NUMPAD6,
  VK_NUMPAD7, VK_NUMPAD8, VK_NUMPAD9,
  VK_MULTIPLY = 0x6A, VK_ADD = 0x6B, VK_SEPARATOR = 0x6C, VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E, VK_DIVIDE = 0x6F,
  VK_F1 = 0x70, VK_F2, VK_F3, VK_F4, VK_F5, VK_F6, VK_F7, VK_F8, VK_F9, VK_F10, VK_F11, VK_F12,
  VK_F13, VK_F14, VK_F15, VK_F16, VK_F17, VK_F18, VK_F19, VK_F20, VK_F21, VK_F22, VK_F23, VK_F24,
  VK_NUMLOCK = 0x90, VK_SCROLL = 0x91,
  VK_LSHIFT = 0xA0, VK_RSHIFT = 0xA1, VK_LCONTROL = 0xA2, VK_RCONTROL = 0xA3,
  VK_LMENU = 0xA4, VK_RMENU = 0xA5,
  VK_OEM_1 = 0xBA, VK_OEM_PLUS = 0xBB, VK_OEM_COMMA = 0xBC, VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE, VK_OEM_2 = 0xBF, VK_OEM_3 = 0xC0, VK_OEM_4 = 0xDB, VK_OEM_5 = 0xDC,
  VK_OEM_6 = 0xDD, VK_OEM_7 = 0xDE, VK_PROCESSKEY = 0xE5,
};

// Members of the shift state; the numbering gives Shift 1, Alt 2, Ctrl 4 as the one-byte set.
enum TShiftStateFlag : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };

// A set of TShiftStateFlag, stored as one byte (bit n for member n).
class TShiftState {
public:
  constexpr TShiftState() = default;
  constexpr TShiftState(std::initializer_list<TShiftStateFlag> flags) {
    for (auto f : flags) bits_ = static_cast<uint8_t>(bits_ | (1u << f));
  }
  static constexpr TShiftState FromByte(uint8_t b) { TShiftState s; s.bits_ = b; return s; }
  constexpr uint8_t Byte() const { return bits_; }
  constexpr bool Contains(TShiftStateFlag f) const { return bits_ & (1u << f); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr void Include(TShiftStateFlag f) { bits_ = static_cast<uint8_t>(bits_ | (1u << f)); }
  constexpr void Exclude(TShiftStateFlag f) { bits_ = static_cast<uint8_t>(bits_ & ~(1u << f)); }
  constexpr TShiftState operator+(TShiftState o) const { return FromByte(bits_ | o.bits_); }
  constexpr TShiftState operator-(TShiftState o) const { return FromByte(bits_ & ~o.bits_); }
  constexpr TShiftState operator*(TShiftState o) const { return FromByte(bits_ & o.bits_); }
  constexpr bool operator==(const TShiftState&) const = default;

private:
  uint8_t bits_ = 0;
};

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Event shapes of key and mouse handling.
using TKeyEvent = TMethod<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = TMethod<void(TObject* Sender, char& Key)>;
using TMouseEvent = TMethod<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;

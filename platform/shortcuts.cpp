#include "platform/shortcuts.h"

#include <array>
#include <string>

#include "platform/sysutils.h"

namespace {

// Names of the keys that are not letters or digits.
AnsiString KeyName(Word key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return AnsiString(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F24) return "F" + IntToStr(key - VK_F1 + 1);
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return "Num " + IntToStr(key - VK_NUMPAD0);
  switch (key) {
    case VK_BACK: return "BkSp";
    case VK_TAB: return "Tab";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Esc";
    case VK_SPACE: return "Space";
    case VK_PRIOR: return "PgUp";
    case VK_NEXT: return "PgDn";
    case VK_END: return "End";
    case VK_HOME: return "Home";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
    case VK_INSERT: return "Ins";
    case VK_DELETE: return "Del";
    case VK_PAUSE: return "Pause";
    case VK_APPS: return "Menu";
    case VK_MULTIPLY: return "Num *";
    case VK_ADD: return "Num +";
    case VK_SUBTRACT: return "Num -";
    case VK_DECIMAL: return "Num Del";
    case VK_DIVIDE: return "Num /";
    case VK_OEM_1: return ";";
    case VK_OEM_PLUS: return "=";
    case VK_OEM_COMMA: return ",";
    case VK_OEM_MINUS: return "-";
    case VK_OEM_PERIOD: return ".";
    case VK_OEM_2: return "/";
    case VK_OEM_3: return "`";
    case VK_OEM_4: return "[";
    case VK_OEM_5: return "\\";
    case VK_OEM_6: return "]";
    case VK_OEM_7: return "'";
    default: return AnsiString();
  }
}

struct Modifier {
  const char* prefix;
  TShortCut bit;
};
constexpr std::array<Modifier, 3> kModifiers{{{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}}};

bool StartsWithText(const AnsiString& s, size_t at, const char* prefix) {
  AnsiString p(prefix);
  if (s.size() - at < p.size()) return false;
  return AnsiCompareText(s.substr(at, p.size()), p) == 0;
}

}  // namespace

TShortCut ShortCut(Word Key, TShiftState Shift) {
  if (Key & 0xFF00) return 0;
  TShortCut r = Key;
  if (Shift.Contains(ssShift)) r |= scShift;
  if (Shift.Contains(ssCtrl)) r |= scCtrl;
  if (Shift.Contains(ssAlt)) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut SC, Word& Key, TShiftState& Shift) {
  Key = SC & 0xFF;
  Shift = TShiftState();
  if (SC & scShift) Shift.Include(ssShift);
  if (SC & scCtrl) Shift.Include(ssCtrl);
  if (SC & scAlt) Shift.Include(ssAlt);
}

AnsiString ShortCutToText(TShortCut SC) {
  AnsiString name = KeyName(SC & 0xFF);
  if (name.empty()) return AnsiString();
  AnsiString r;
  for (const auto& m : kModifiers)
    if (SC & m.bit) r += m.prefix;
  return r + name;
}

TShortCut TextToShortCut(const AnsiString& Text) {
  TShortCut mods = 0;
  size_t at = 0;
  // Take modifier prefixes while what follows is still more than a bare key (so "Num +" and
  // a lone "+" are not read as a modifier).
  for (bool more = true; more;) {
    more = false;
    for (const auto& m : kModifiers) {
      if (StartsWithText(Text, at, m.prefix) && Text.size() > at + std::char_traits<char>::length(m.prefix)) {
        if (mods & m.bit) return 0;  // the same modifier twice
        mods |= m.bit;
        at += std::char_traits<char>::length(m.prefix);
        more = true;
      }
    }
  }
  AnsiString rest = Text.substr(at);
  if (rest.empty()) return 0;
  for (int key = 1; key < 256; ++key) {
    AnsiString name = KeyName(static_cast<Word>(key));
    if (!name.empty() && AnsiCompareText(name, rest) == 0) return static_cast<TShortCut>(mods | key);
  }
  return 0;
}

#include "platform/constants_registry.h"

#include <map>

#include "platform/sysutils.h"

namespace {

struct Entry {
  TIdentToInt toInt;
  TIntToIdent toIdent;
};

// Function-local so that registrations made while static objects are built find it ready.
std::map<AnsiString, Entry>& Registry() {
  static std::map<AnsiString, Entry> r;
  return r;
}

}  // namespace

void RegisterIntegerConsts(const AnsiString& TypeName, TIdentToInt IdentToIntFn, TIntToIdent IntToIdentFn) {
  Registry()[TypeName] = Entry{std::move(IdentToIntFn), std::move(IntToIdentFn)};
}

void UnregisterIntegerConsts(const AnsiString& TypeName) { Registry().erase(TypeName); }

TIdentToInt FindIdentToInt(const AnsiString& TypeName) {
  auto it = Registry().find(TypeName);
  return it == Registry().end() ? TIdentToInt() : it->second.toInt;
}

TIntToIdent FindIntToIdent(const AnsiString& TypeName) {
  auto it = Registry().find(TypeName);
  return it == Registry().end() ? TIntToIdent() : it->second.toIdent;
}

bool IdentToInt(const AnsiString& Ident, int& Int, std::span<const TIdentMapEntry> Map) {
  for (const auto& e : Map)
    if (AnsiCompareText(Ident, e.Name) == 0) {
      Int = e.Value;
      return true;
    }
  return false;
}

bool IntToIdent(int Int, AnsiString& Ident, std::span<const TIdentMapEntry> Map) {
  for (const auto& e : Map)
    if (e.Value == Int) {
      Ident = e.Name;
      return true;
    }
  return false;
}

AnsiString IntegerConstToText(const AnsiString& TypeName, int Value) {
  AnsiString ident;
  if (auto fn = FindIntToIdent(TypeName); fn && fn(Value, ident)) return ident;
  return IntToStr(Value);
}

bool TextToIntegerConst(const AnsiString& TypeName, const AnsiString& Text, int& Value) {
  if (auto fn = FindIdentToInt(TypeName); fn && fn(Text, Value)) return true;
  return TryStrToInt(Text, Value);
}

#pragma once
// Integer-constant registry: integer types whose values have identifiers, so that form
// descriptions show and accept the identifiers. A number without identifier is shown as its
// decimal digits.
#include <functional>
#include <span>

#include "platform/ansi.h"

struct TIdentMapEntry {
  int Value;
  const char* Name;
};

using TIdentToInt = std::function<bool(const AnsiString& Ident, int& Int)>;
using TIntToIdent = std::function<bool(int Int, AnsiString& Ident)>;

// Registers the two conversions for the integer type named TypeName (a later registration of
// the same name replaces the earlier one).
void RegisterIntegerConsts(const AnsiString& TypeName, TIdentToInt IdentToIntFn, TIntToIdent IntToIdentFn);
void UnregisterIntegerConsts(const AnsiString& TypeName);
// The registered conversions, empty functions when the type is not registered.
TIdentToInt FindIdentToInt(const AnsiString& TypeName);
TIntToIdent FindIntToIdent(const AnsiString& TypeName);

// Lookups in a map of identifiers; identifiers compare case-insensitively.
bool IdentToInt(const AnsiString& Ident, int& Int, std::span<const TIdentMapEntry> Map);
bool IntToIdent(int Int, AnsiString& Ident, std::span<const TIdentMapEntry> Map);

// Text of a value of a registered type: its identifier, else its decimal digits.
AnsiString IntegerConstToText(const AnsiString& TypeName, int Value);
// Value of a text: an identifier of the type or a decimal number; false when it is neither.
bool TextToIntegerConst(const AnsiString& TypeName, const AnsiString& Text, int& Value);

#pragma once
// Shortcut values: a key and its modifier keys packed into 16 bits (virtual-key code in the low
// byte, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt), with their text form ("Ctrl+Z", "Shift+Ins").
#include <cstdint>

#include "platform/ansi.h"
#include "platform/keys.h"

using TShortCut = uint16_t;

constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

// Packs a key and the Shift, Ctrl and Alt members of Shift; 0 when the key does not fit a byte.
TShortCut ShortCut(Word Key, TShiftState Shift);
// Unpacks a shortcut into its key code and a shift state of Shift, Ctrl and Alt.
void ShortCutToKey(TShortCut ShortCut, Word& Key, TShiftState& Shift);

// Text of a shortcut: modifier prefixes "Shift+", "Ctrl+", "Alt+" and the key's name. A key
// without a name gives an empty text.
AnsiString ShortCutToText(TShortCut ShortCut);
// Parses the text form back (case-insensitive, modifiers in any order); 0 for an empty or
// malformed text.
TShortCut TextToShortCut(const AnsiString& Text);

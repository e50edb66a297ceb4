#pragma once
// Conversions of a piece of text the main window applies to the selection: Russian letters
// spelled in Latin ones, words begun with capitals, Arabic numbers as Roman numerals and numbers
// written out in Russian words.
#include "platform/ansi.h"

// Each Russian letter replaced by its Latin spelling ("Щука" -> "Shchuka"); other characters
// copied.
AnsiString TranslitRus2Lat(const AnsiString& Text);
// Latin letters lower-cased, then the first Latin letter of every word raised; a word starts
// after any character but a Latin letter or the apostrophe ("o'neil" -> "O'neil").
AnsiString proper(const AnsiString& Text);
// The Roman numeral of Number: empty for 0 and for negative numbers.
AnsiString IntToRoman(int Number);
// The number that a string of at most 12 digits spells, in Russian words ("2001" -> "две тысячи
// один"); "Ноль" for zeros only, empty for an empty string.
AnsiString NumberToWords(const AnsiString& Digits);
// Whether NumberToWords takes the text: empty, or at most 12 characters that are all digits.
bool IsNumberWordsInput(const AnsiString& Text);

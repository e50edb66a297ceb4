#pragma once
// Text routines of printing: where a long line breaks, and page numbers in Roman numerals.
#include <vector>

#include "platform/ansi.h"

// A 1-based character position after which a printed line is broken.
struct TWrapPos {
  int Index;
};

// Adds to List the positions where Line breaks into rows of at most MaxCol characters, each
// row ending at a character of BreakChars. True when the line fits or breaks so; false when
// some stretch of MaxCol characters holds no break character (List is then left as it was).
bool WrapTextEx(const AnsiString& Line, const TSysCharSet& BreakChars, int MaxCol,
                std::vector<TWrapPos>& List);

// N in Roman numerals; empty for zero and negative numbers.
AnsiString PrintIntToRoman(int N);

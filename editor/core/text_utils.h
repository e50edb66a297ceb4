#pragma once
// Text utility routines of the editor family: tab expansion, positions, multi-byte scans and
// the character-type class used for word boundaries in double-byte text.
#include <cstdint>
#include <string_view>

#include "editor/core/types.h"
#include "platform/ansi.h"

int ClampValue(int Value, int Min, int Max);
void SwapInt(int& A, int& B);
TBufferCoord MinPoint(const TBufferCoord& P1, const TBufferCoord& P2);
TBufferCoord MaxPoint(const TBufferCoord& P1, const TBufferCoord& P2);

// Whether S holds a tab; CharsBefore = characters before the first tab (the whole length when
// none); false with 0 for an empty string.
bool GetHasTabs(std::string_view S, int& CharsBefore);

using TConvertTabsProc = AnsiString (*)(const AnsiString& Line, int TabWidth);
using TConvertTabsProcEx = AnsiString (*)(const AnsiString& Line, int TabWidth, bool& HasTabs);

// The three converters: width 1 turns each tab into a blank; the others put a tab code into
// every cell a tab covers, the power-of-two one finding the next stop by masking.
AnsiString ConvertTabs1Ex(const AnsiString& Line, int TabWidth, bool& HasTabs);
AnsiString ConvertTabsPow2Ex(const AnsiString& Line, int TabWidth, bool& HasTabs);
AnsiString ConvertTabsGeneralEx(const AnsiString& Line, int TabWidth, bool& HasTabs);
AnsiString ConvertTabs1(const AnsiString& Line, int TabWidth);
AnsiString ConvertTabsPow2(const AnsiString& Line, int TabWidth);
AnsiString ConvertTabsGeneral(const AnsiString& Line, int TabWidth);
TConvertTabsProc PickTabConverter(int TabWidth);
TConvertTabsProcEx PickTabConverterEx(int TabWidth);

// The column (0-based) after S when S starts at Column: every tab advances to the next multiple
// of TabWidth (a width below 1 counts as 1), every other character by one. Counted in 64 bits, so
// that no line overflows it whatever its length and the tab width.
int64_t ExpandedWidth(std::string_view S, int TabWidth, int64_t Column = 0);
int64_t ExpandedLength(std::string_view S, int TabWidth);
// The column of an index beyond what an int holds (far past the end of a wide line) is INT_MAX.
int CharIndexToColumn(int Index, int TabWidth, std::string_view S);

int ScanForCharInSet(std::string_view S, int Start, const TSysCharSet& CharSet);
int ReverseScanForCharInSet(std::string_view S, int Start, const TSysCharSet& CharSet);
int ScanForLeadByte(std::string_view S, int Start);
int ReverseScanForLeadByte(std::string_view S, int Start);
// First position holding NUL, LF or CR in a zero-terminated text; nullptr for nullptr.
const char* FindLineEnd(const char* P);
int CharTypeClass(uint16_t Flags);

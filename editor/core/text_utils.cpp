#include "editor/core/text_utils.h"

#include <algorithm>
#include <climits>
#include <cstring>

int ClampValue(int Value, int Min, int Max) {
  int v = Value < Max ? Value : Max;
  return v > Min ? v : Min;
}

void SwapInt(int& A, int& B) {
  int t = A;
  A = B;
  B = t;
}

TBufferCoord MinPoint(const TBufferCoord& P1, const TBufferCoord& P2) {
  if (P2.Line < P1.Line || (P2.Line == P1.Line && P2.Char < P1.Char)) return P2;
  return P1;
}

TBufferCoord MaxPoint(const TBufferCoord& P1, const TBufferCoord& P2) {
  if (P2.Line > P1.Line || (P2.Line == P1.Line && P2.Char > P1.Char)) return P2;
  return P1;
}

bool GetHasTabs(std::string_view S, int& CharsBefore) {
  CharsBefore = 0;
  if (S.empty()) return false;
  const void* p = std::memchr(S.data(), '\t', S.size());
  if (!p) {
    CharsBefore = static_cast<int>(S.size());
    return false;
  }
  CharsBefore = static_cast<int>(static_cast<const char*>(p) - S.data());
  return true;
}

namespace {

// Expands tabs into tab codes; `pow2` picks masking over division for the next stop.
template <bool pow2>
AnsiString ExpandWithTabCodes(const AnsiString& Line, int TabWidth, bool& HasTabs) {
  int before;
  HasTabs = GetHasTabs(Line, before);
  if (!HasTabs) return Line;
  // Size first: every tab reaches the next stop.
  size_t col = before;
  for (size_t i = before; i < Line.size(); ++i) {
    if (Line[i] == '\t') col += pow2 ? TabWidth - (col & (TabWidth - 1)) : TabWidth - (col % TabWidth);
    else ++col;
  }
  AnsiString r(col, '\t');
  std::memcpy(r.data(), Line.data(), before);
  size_t out = before;
  for (size_t i = before; i < Line.size(); ++i) {
    if (Line[i] == '\t') out += pow2 ? TabWidth - (out & (TabWidth - 1)) : TabWidth - (out % TabWidth);
    else r[out++] = Line[i];
  }
  return r;
}

bool IsPow2(int w) { return w >= 2 && w <= 65536 && (w & (w - 1)) == 0; }

}  // namespace

AnsiString ConvertTabs1Ex(const AnsiString& Line, int, bool& HasTabs) {
  int before;
  HasTabs = GetHasTabs(Line, before);
  if (!HasTabs) return Line;
  AnsiString r = Line;
  for (size_t i = before; i < r.size(); ++i)
    if (r[i] == '\t') r[i] = ' ';
  return r;
}

AnsiString ConvertTabsPow2Ex(const AnsiString& Line, int TabWidth, bool& HasTabs) {
  return ExpandWithTabCodes<true>(Line, TabWidth, HasTabs);
}

AnsiString ConvertTabsGeneralEx(const AnsiString& Line, int TabWidth, bool& HasTabs) {
  return ExpandWithTabCodes<false>(Line, TabWidth, HasTabs);
}

AnsiString ConvertTabs1(const AnsiString& Line, int TabWidth) {
  bool h;
  return ConvertTabs1Ex(Line, TabWidth, h);
}

AnsiString ConvertTabsPow2(const AnsiString& Line, int TabWidth) {
  bool h;
  return ConvertTabsPow2Ex(Line, TabWidth, h);
}

AnsiString ConvertTabsGeneral(const AnsiString& Line, int TabWidth) {
  bool h;
  return ConvertTabsGeneralEx(Line, TabWidth, h);
}

TConvertTabsProc PickTabConverter(int TabWidth) {
  if (TabWidth <= 1) return &ConvertTabs1;
  return IsPow2(TabWidth) ? &ConvertTabsPow2 : &ConvertTabsGeneral;
}

TConvertTabsProcEx PickTabConverterEx(int TabWidth) {
  if (TabWidth <= 1) return &ConvertTabs1Ex;
  return IsPow2(TabWidth) ? &ConvertTabsPow2Ex : &ConvertTabsGeneralEx;
}

int64_t ExpandedWidth(std::string_view S, int TabWidth, int64_t Column) {
  const int64_t tw = std::max(TabWidth, 1);
  const char* p = S.data();
  const char* end = p + S.size();
  while (p < end) {
    const auto* tab = static_cast<const char*>(std::memchr(p, '\t', static_cast<size_t>(end - p)));
    if (!tab) return Column + (end - p);
    Column += tab - p;
    // A run of tabs: the first reaches the next stop, each further one a whole tab width.
    p = tab + 1;
    while (p < end && *p == '\t') ++p;
    Column += tw - Column % tw + (p - tab - 1) * tw;
  }
  return Column;
}

int64_t ExpandedLength(std::string_view S, int TabWidth) { return ExpandedWidth(S, TabWidth); }

int CharIndexToColumn(int Index, int TabWidth, std::string_view S) {
  if (Index < 2) return 1;
  // Only a tab before Index moves the column: the rest of a long line is not looked at.
  const size_t before = std::min(S.size(), static_cast<size_t>(Index - 1));
  if (TabWidth <= 1 || !std::memchr(S.data(), '\t', before)) return Index;
  // The columns of the characters before Index, then one for every index beyond the end.
  int64_t col = ExpandedWidth(S.substr(0, before), TabWidth) + (static_cast<int64_t>(Index - 1) - static_cast<int64_t>(before));
  return static_cast<int>(std::min<int64_t>(col + 1, INT_MAX));
}

int ScanForCharInSet(std::string_view S, int Start, const TSysCharSet& CharSet) {
  int len = static_cast<int>(S.size());
  if (Start < 1 || Start > len) return 0;
  int i = Start;
  if (MultiByteSupport()) {
    if (ByteType(S, i - 1) == mbTrailByte) ++i;
    while (i <= len) {
      unsigned char c = static_cast<unsigned char>(S[i - 1]);
      if (IsLeadByte(c)) i += 2;
      else if (CharSet.Contains(c)) return i;
      else ++i;
    }
    return 0;
  }
  for (; i <= len; ++i)
    if (CharSet.Contains(S[i - 1])) return i;
  return 0;
}

int ReverseScanForCharInSet(std::string_view S, int Start, const TSysCharSet& CharSet) {
  int len = static_cast<int>(S.size());
  if (Start < 1 || Start > len) return 0;
  if (!MultiByteSupport()) {
    for (int i = Start; i >= 1; --i)
      if (CharSet.Contains(S[i - 1])) return i;
    return 0;
  }
  int result = 0;
  int i = 1;
  while (i <= Start) {
    unsigned char c = static_cast<unsigned char>(S[i - 1]);
    if (IsLeadByte(c)) {
      i += 2;
    } else {
      if (CharSet.Contains(c)) result = i;
      ++i;
    }
  }
  return result;
}

int ScanForLeadByte(std::string_view S, int Start) {
  int len = static_cast<int>(S.size());
  if (!MultiByteSupport() || Start < 1 || Start > len) return 0;
  int i = Start;
  if (ByteType(S, i - 1) == mbTrailByte) ++i;
  for (; i <= len; ++i)
    if (IsLeadByte(S[i - 1])) return i;
  return 0;
}

int ReverseScanForLeadByte(std::string_view S, int Start) {
  int len = static_cast<int>(S.size());
  if (!MultiByteSupport() || Start < 1 || Start > len) return 0;
  int result = 0;
  int i = 1;
  while (i <= Start) {
    if (IsLeadByte(S[i - 1])) {
      result = i;
      i += 2;
    } else {
      ++i;
    }
  }
  return result;
}

const char* FindLineEnd(const char* P) {
  if (!P) return nullptr;
  while (*P != '\0' && *P != '\n' && *P != '\r') ++P;
  return P;
}

int CharTypeClass(uint16_t Flags) {
  if (Flags == C3_SYMBOL) return 9;
  if (Flags & C3_HALFWIDTH) {
    if (Flags == C3_HALFWIDTH || Flags == (C3_HALFWIDTH | C3_ALPHA)) return 1;
    if (Flags & (C3_SYMBOL | C3_LEXICAL)) return 2;
    if (Flags & C3_KATAKANA) return 3;
    return 0;
  }
  if (Flags == C3_FULLWIDTH || Flags == (C3_FULLWIDTH | C3_ALPHA)) return 4;
  if (Flags & (C3_SYMBOL | C3_LEXICAL)) return 5;
  if (Flags & C3_KATAKANA) return 6;
  if (Flags & C3_HIRAGANA) return 7;
  if (Flags & C3_IDEOGRAPH) return 8;
  return 0;
}

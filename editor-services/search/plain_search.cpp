#include "editor-services/search/plain_search.h"

#include "platform/ansi.h"
#include "platform/sysutils.h"

TSrcEditSearch::TSrcEditSearch(TComponent* AOwner) : TSrcEditSearchCustom(AOwner) {
  MakeCaseTable(false);
  MakeDelimiterTable();
}

void TSrcEditSearch::SetPattern(const AnsiString& Value) {
  if (Value != fPattern) {
    fPattern = Value;
    fShiftValid = false;
  }
  fCount = 0;
}

int TSrcEditSearch::GetLength(int) const { return static_cast<int>(fPattern.size()); }

int TSrcEditSearch::GetResult(int aIndex) const {
  if (aIndex < 0 || aIndex >= static_cast<int>(fResults.size())) return 0;
  return fResults[static_cast<size_t>(aIndex)];
}

void TSrcEditSearch::SetOptions(TSrcSearchOptions Value) {
  SetCaseSensitive(Value.Contains(soMatchCase));
  fWhole = Value.Contains(soWholeWord);
}

AnsiString TSrcEditSearch::Replace(const AnsiString&, const AnsiString& aReplacement) { return aReplacement; }

void TSrcEditSearch::SetCaseSensitive(bool Value) {
  if (fSensitive == Value) return;
  fSensitive = Value;
  MakeCaseTable(Value);
  fShiftValid = false;
}

void TSrcEditSearch::MakeCaseTable(bool Sensitive) {
  if (Sensitive == fTableSensitive) return;
  fTableSensitive = Sensitive;
  char table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<char>(i);
  if (!Sensitive) CharLowerBuff(table, sizeof table);
  for (int i = 0; i < 256; ++i) fCompare[i] = static_cast<unsigned char>(table[i]);
}

void TSrcEditSearch::MakeDelimiterTable() {
  for (int c = 0; c < 256; ++c)
    fDelimiter[c] = !IsCharAlphaNumeric(static_cast<unsigned char>(c)) && c != '_';
}

void TSrcEditSearch::InitShiftTable() {
  int n = static_cast<int>(fPattern.size());
  if (n == 0) throw Exception("Pattern is empty");
  fPatLen = n;
  fMapped.resize(static_cast<size_t>(n));
  for (int j = 0; j < n; ++j)
    fMapped[static_cast<size_t>(j)] = static_cast<char>(fCompare[static_cast<unsigned char>(fPattern[static_cast<size_t>(j)])]);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(fMapped.data());
  for (int& s : fShift) s = n + 1;
  for (int j = 0; j < n; ++j) fShift[p[j]] = n - j;  // n + 1 - (j + 1)
  // From the last pattern character back to its nearest earlier occurrence, or n.
  fLookAt = 1;
  while (fLookAt < n && p[n - 1 - fLookAt] != p[n - 1]) ++fLookAt;
  fShiftValid = true;
}

int TSrcEditSearch::FindAll(std::string_view NewText) {
  fResults.clear();
  for (int found = FindFirst(NewText); found != 0; found = FindNext()) fResults.push_back(found);
  return static_cast<int>(fResults.size());
}

int TSrcEditSearch::FindFirst(std::string_view NewText) {
  if (!fShiftValid) InitShiftTable();
  fText = reinterpret_cast<const unsigned char*>(NewText.data());
  fTextLen = static_cast<ptrdiff_t>(NewText.size());
  if (fTextLen < fPatLen) {
    fText = nullptr;
    return 0;
  }
  fRun = -1;
  return FindNext();
}

int TSrcEditSearch::FindNext() {
  if (!fText) return 0;
  // Case-sensitive compares the bytes themselves: the same scan without the table lookups.
  return fSensitive ? Scan<false>() : Scan<true>();
}

bool TSrcEditSearch::IsWholeWord(ptrdiff_t First) const {
  if (First > 0 && !fDelimiter[fText[First - 1]]) return false;
  return fDelimiter[fText[First + fPatLen]];  // the line's terminating NUL ends a word too
}

template <bool Mapped>
int TSrcEditSearch::Scan() {
  const unsigned char* s = fText;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(fMapped.data());
  const ptrdiff_t n = fPatLen, end = fTextLen;
  auto T = [this](unsigned char c) { return Mapped ? fCompare[c] : c; };
  const unsigned char lastChar = p[n - 1];
  ptrdiff_t cur = fRun + n;
  while (cur < end) {
    if (T(s[cur]) != lastChar) {
      cur += fShift[T(s[cur + 1])];  // s[end] is the terminating NUL
      continue;
    }
    ptrdiff_t first = cur - n + 1;
    ptrdiff_t i = 0;
    while (i < n && p[i] == T(s[first + i])) ++i;
    if (i == n && (!fWhole || IsWholeWord(first))) {
      ++fCount;
      fRun = cur;
      return static_cast<int>(first + 1);
    }
    cur += fLookAt;
    if (cur >= end) break;
    cur += fShift[T(s[cur])] - 1;
  }
  fRun = cur;
  fText = nullptr;  // the line is done: FindNext gives 0 until the next FindFirst
  return 0;
}

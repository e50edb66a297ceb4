#pragma once
// The plain search engine: a literal pattern found in one line by a quick-search scan that
// compares the window's last character first, optionally ignoring letter case (Windows-1251)
// and optionally only as a whole word.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/src_edit_search.h"

class TSrcEditSearch : public TSrcEditSearchCustom {
public:
  explicit TSrcEditSearch(TComponent* AOwner);

  AnsiString GetPattern() const override { return fPattern; }
  void SetPattern(const AnsiString& Value) override;
  // The pattern length, whatever the index.
  int GetLength(int aIndex) const override;
  // Result aIndex, 0 outside the results.
  int GetResult(int aIndex) const override;
  int GetResultCount() const override { return static_cast<int>(fResults.size()); }
  void SetOptions(TSrcSearchOptions Value) override;
  int FindAll(std::string_view NewText) override;
  // The replacement, unchanged.
  AnsiString Replace(const AnsiString& aOccurrence, const AnsiString& aReplacement) override;

  // Occurrences found since the pattern was last set.
  int Count() const { return fCount; }
  bool CaseSensitive() const { return fSensitive; }
  void SetCaseSensitive(bool Value);
  bool WholeWord() const { return fWhole; }
  void SetWholeWord(bool Value) { fWhole = Value; }
  // The first occurrence in a line and the ones after it, 1-based; 0 when there is none.
  int FindFirst(std::string_view NewText);
  int FindNext();

private:
  void MakeCaseTable(bool Sensitive);
  void MakeDelimiterTable();
  void InitShiftTable();
  bool IsWholeWord(ptrdiff_t First) const;
  template <bool Mapped>
  int Scan();

  AnsiString fPattern;
  AnsiString fMapped;   // the pattern through the compare table
  int fPatLen = 0;
  int fLookAt = 0;
  unsigned char fCompare[256];
  bool fDelimiter[256];
  int fShift[256];
  bool fSensitive = false;
  bool fTableSensitive = true;  // what the compare table was built for
  bool fWhole = false;
  bool fShiftValid = false;
  int fCount = 0;
  std::vector<int> fResults;
  // The line being scanned: its bytes (zero-terminated), length and the current position,
  // the index of the last character of the window in hand.
  const unsigned char* fText = nullptr;
  ptrdiff_t fTextLen = 0;
  ptrdiff_t fRun = 0;
};

#pragma once
// The regular-expression search engine: every match of an expression in one line, and the
// replacement of a found text through a template that names the match's groups.
#include <memory>
#include <vector>

#include "editor-services/regex/regex_engine.h"
#include "editor/src_edit_search.h"

class TSrcEditRegexSearch : public TSrcEditSearchCustom {
public:
  explicit TSrcEditRegexSearch(TComponent* AOwner);
  ~TSrcEditRegexSearch() override;

  // The expression; it is compiled by the first search.
  AnsiString GetPattern() const override;
  void SetPattern(const AnsiString& Value) override;
  // Entries of the last FindAll; an index outside them raises EListError.
  int GetLength(int aIndex) const override;
  int GetResult(int aIndex) const override;
  int GetResultCount() const override { return static_cast<int>(fPositions.size()); }
  // Only letter case counts: soMatchCase off makes the expression case-insensitive.
  void SetOptions(TSrcSearchOptions Value) override;
  int FindAll(std::string_view NewText) override;
  // The template with its group references ($1, ${1}, $&) substituted. For the hit of the last
  // FindAll whose position GetResult gave last, when aOccurrence is its text, the groups are
  // those of the match as found in its line; any other text is matched on its own and its
  // first match is replaced.
  AnsiString Replace(const AnsiString& aOccurrence, const AnsiString& aReplacement) override;

  TRegexEngine* Engine() const { return fRegex.get(); }

private:
  std::unique_ptr<TRegexEngine> fRegex;
  std::vector<int> fPositions, fLengths;
  // Per match of the last FindAll, for each group its 0-based start in fLine (-1 when it took
  // no part) and its length; fLine is a copy of the line, kept only when it had matches.
  std::vector<int> fGroups;
  AnsiString fLine;
  // The hit whose position GetResult returned last: a read that Replace relies on (see the
  // interface), hence set by the const getter.
  mutable int fCurrent = -1;
};

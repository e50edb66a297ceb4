#include "editor-services/search/regex_search.h"

#include "platform/sysutils.h"

namespace {
[[noreturn]] void ListIndexError(int Index) {
  throw EListError(Format("List index out of bounds (%d)", {Index}));
}
}  // namespace

TSrcEditRegexSearch::TSrcEditRegexSearch(TComponent* AOwner)
    : TSrcEditSearchCustom(AOwner), fRegex(std::make_unique<TRegexEngine>()) {}

TSrcEditRegexSearch::~TSrcEditRegexSearch() = default;

AnsiString TSrcEditRegexSearch::GetPattern() const { return fRegex->GetExpression(); }

void TSrcEditRegexSearch::SetPattern(const AnsiString& Value) { fRegex->SetExpression(Value); }

int TSrcEditRegexSearch::GetLength(int aIndex) const {
  if (aIndex < 0 || aIndex >= static_cast<int>(fLengths.size())) ListIndexError(aIndex);
  return fLengths[static_cast<size_t>(aIndex)];
}

int TSrcEditRegexSearch::GetResult(int aIndex) const {
  if (aIndex < 0 || aIndex >= static_cast<int>(fPositions.size())) ListIndexError(aIndex);
  return fPositions[static_cast<size_t>(aIndex)];
}

void TSrcEditRegexSearch::SetOptions(TSrcSearchOptions Value) { fRegex->SetModifier(rmI, !Value.Contains(soMatchCase)); }

int TSrcEditRegexSearch::FindAll(std::string_view NewText) {
  fPositions.clear();
  fLengths.clear();
  if (!fRegex->Exec(AnsiString(NewText))) return 0;
  do {
    fPositions.push_back(fRegex->MatchPos(0));
    fLengths.push_back(fRegex->MatchLen(0));
  } while (fRegex->ExecNext());
  return static_cast<int>(fPositions.size());
}

AnsiString TSrcEditRegexSearch::Replace(const AnsiString& aOccurrence, const AnsiString& aReplacement) {
  // The found text is matched again on its own. Only its first match is replaced: a second
  // one (an empty match at its end, for an expression such as "a*") is an echo of the same
  // hit, and replacing it too would put the template in twice.
  if (!fRegex->Exec(aOccurrence)) return aOccurrence;
  size_t pos = static_cast<size_t>(fRegex->MatchPos(0) - 1);
  size_t len = static_cast<size_t>(fRegex->MatchLen(0));
  return aOccurrence.substr(0, pos) + fRegex->Substitute(aReplacement) + aOccurrence.substr(pos + len);
}

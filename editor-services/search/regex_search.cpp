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
  fCurrent = aIndex;
  return fPositions[static_cast<size_t>(aIndex)];
}

void TSrcEditRegexSearch::SetOptions(TSrcSearchOptions Value) { fRegex->SetModifier(rmI, !Value.Contains(soMatchCase)); }

int TSrcEditRegexSearch::FindAll(std::string_view NewText) {
  fPositions.clear();
  fLengths.clear();
  fGroups.clear();
  fCurrent = -1;
  // The line is searched where it lies; it is copied only when it holds a match.
  if (!fRegex->ExecInPlace(NewText)) return 0;
  do {
    fPositions.push_back(fRegex->MatchPos(0));
    fLengths.push_back(fRegex->MatchLen(0));
    // The groups of each match, kept for Replace: later replacements change the line.
    for (int n = 0; n < kRegexSubExprs; ++n) {
      fGroups.push_back(fRegex->MatchPos(n) - 1);
      fGroups.push_back(fRegex->MatchLen(n));
    }
  } while (fRegex->ExecNext());
  fLine.assign(NewText);
  return static_cast<int>(fPositions.size());
}

AnsiString TSrcEditRegexSearch::Replace(const AnsiString& aOccurrence, const AnsiString& aReplacement) {
  // A hit of the last FindAll is substituted from its match as it was found in its line, so
  // that what the expression asked of the text around it (\b, \B, ^, $) still holds.
  if (fCurrent >= 0 && fCurrent < static_cast<int>(fPositions.size())) {
    const int* g = fGroups.data() + static_cast<size_t>(fCurrent) * 2 * kRegexSubExprs;
    auto group = [&](int n) {
      return g[2 * n] < 0 ? std::string_view()
                          : std::string_view(fLine).substr(static_cast<size_t>(g[2 * n]),
                                                           static_cast<size_t>(g[2 * n + 1]));
    };
    if (group(0) == aOccurrence) {
      std::string_view groups[kRegexSubExprs];
      for (int n = 0; n < kRegexSubExprs; ++n) groups[n] = group(n);
      return TRegexEngine::ExpandTemplate(aReplacement, groups);
    }
  }
  // Other text is matched on its own. Only its first match is replaced: a second one (an empty
  // match at its end, for an expression such as "a*") is an echo of the same hit, and
  // replacing it too would put the template in twice.
  if (!fRegex->Exec(aOccurrence)) return aOccurrence;
  size_t pos = static_cast<size_t>(fRegex->MatchPos(0) - 1);
  size_t len = static_cast<size_t>(fRegex->MatchLen(0));
  return aOccurrence.substr(0, pos) + fRegex->Substitute(aReplacement) + aOccurrence.substr(pos + len);
}

#include "highlighters/token_scanner.h"

#include <algorithm>
#include <cstring>
#include <iterator>

TSrcTokenScanner::TSrcTokenScanner(TComponent* AOwner, int NullKind, int SpaceKind, uint8_t InitialRange)
    : TSrcCustomHighlighter(AOwner),
      tokenKind_(NullKind),
      range_(InitialRange),
      nullKind_(NullKind),
      spaceKind_(SpaceKind),
      initialRange_(InitialRange) {}

TSrcHighlighterAttributes* TSrcTokenScanner::NewAttribute(const char* Name, TFontStyles Style, TColor Foreground) {
  auto* attr = new TSrcHighlighterAttributes(Name);
  AddAttribute(attr);
  attr->SetStyle(Style);
  attr->SetForeground(Foreground);
  return attr;
}

void TSrcTokenScanner::FinishAttributes(std::initializer_list<TSrcHighlighterAttributes*> ByKind,
                                        std::initializer_list<TSrcHighlighterAttributes*> Defaults) {
  BindAttributeChanges(TNotifyEvent(static_cast<TSrcCustomHighlighter*>(this), &TSrcCustomHighlighter::AttributeChanged));
  byKind_.assign(ByKind);
  size_t i = 0;
  for (auto* a : Defaults)
    if (i < std::size(defaults_)) defaults_[i++] = a;
}

TSrcHighlighterAttributes* TSrcTokenScanner::GetTokenAttribute() const { return AttributeOfKind(GetTokenKind()); }

TSrcHighlighterAttributes* TSrcTokenScanner::GetDefaultAttribute(int Index) const {
  return Index >= 0 && static_cast<size_t>(Index) < std::size(defaults_) ? defaults_[Index] : nullptr;
}

void TSrcTokenScanner::InitSteps(TStep Other, bool TabsJoin) {
  for (int c = 0; c < 256; ++c) steps_[c] = Other;
  for (int c = 1; c <= 32; ++c) steps_[c] = TabsJoin ? &TSrcTokenScanner::BlankRunStep : &TSrcTokenScanner::BlankNoTabStep;
  steps_[0] = &TSrcTokenScanner::NullStep;
  steps_[10] = &TSrcTokenScanner::LineFeedStep;
  steps_[13] = &TSrcTokenScanner::CarriageReturnStep;
}

void TSrcTokenScanner::SetLineText(std::string_view NewValue, int LineNumber) {
  // The caller guarantees the #0 after the last character that every scan stops at.
  line_ = NewValue.data();
  lineLen_ = NewValue.size();
  run_ = 0;
  lineNumber_ = LineNumber;
  Next();
}

void TSrcTokenScanner::NullStep() {
  if (run_ < lineLen_) {
    BlankStep();
    return;
  }
  tokenKind_ = nullKind_;
}

void TSrcTokenScanner::LineFeedStep() {
  tokenKind_ = spaceKind_;
  ++run_;
}

void TSrcTokenScanner::CarriageReturnStep() {
  tokenKind_ = spaceKind_;
  ++run_;
  if (Ch(run_) == 10) ++run_;
}

namespace {
// Blank and control characters that continue a run of blanks: #0 (inside the line only), #1 to
// #32 but line feed and carriage return; the second table without the tab.
constexpr TSrcCharFlags MakeBlanks(bool tab) {
  TSrcCharFlags t{};
  for (int c = 0; c <= 32; ++c) t[c] = c != 10 && c != 13 && (tab || c != 9);
  return t;
}
constexpr TSrcCharFlags kBlanks = MakeBlanks(true), kBlanksNoTab = MakeBlanks(false);
}  // namespace

void TSrcTokenScanner::BlankStep(bool TabsJoin) {
  tokenKind_ = spaceKind_;
  ++run_;
  const TSrcCharFlags& blanks = TabsJoin ? kBlanks : kBlanksNoTab;
  while (blanks[Ch(run_)] && run_ < lineLen_) ++run_;
}

void TSrcTokenScanner::RestOfLineStep(int Kind) {
  tokenKind_ = Kind;
  while (!AtBreak(run_)) ++run_;
}

void TSrcTokenScanner::CharStep(int Kind) {
  tokenKind_ = Kind;
  if (IsLeadByte(Ch(run_)) && run_ + 1 < lineLen_) ++run_;
  ++run_;
}

void TSrcTokenScanner::PairStep(int Kind, const char* Seconds) {
  tokenKind_ = Kind;
  const char next = line_[run_ + 1];
  ++run_;
  for (; *Seconds; ++Seconds)
    if (next == *Seconds) {
      ++run_;
      return;
    }
}

int TSrcTokenScanner::NameStep(const TSrcCharFlags& Ident, const TSrcCharHashes& Hashes,
                               const TSrcKeywordBuckets& Keywords, int Otherwise) {
  const char* name = line_ + run_;
  int hash = 0;
  size_t p = run_;
  for (; Ident[Ch(p)]; ++p) hash += Hashes[Ch(p)];
  const size_t len = p - run_;
  run_ = p;
  const auto* e = Keywords.Find(hash, len, [&](const char* k) { return std::memcmp(k, name, len) == 0; });
  return e ? e->Kind : Otherwise;
}

bool TSrcTokenScanner::ScanToCloser(char Close1, char Close2) {
  for (;;) {
    if (AtBreak(run_)) return false;
    if (line_[run_] == Close1 && line_[run_ + 1] == Close2) {
      run_ += 2;
      return true;
    }
    ++run_;
  }
}

uint32_t TSrcKeywordBuckets::Length(const char* s) { return static_cast<uint32_t>(std::strlen(s)); }

void TSrcKeywordBuckets::Build() {
  std::stable_sort(pending_.begin(), pending_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::fill(start_.begin(), start_.end(), 0);
  entries_.clear();
  for (const auto& [hash, entry] : pending_) {
    if (hash < 0 || hash >= Buckets()) continue;  // such a name can never be looked up
    ++start_[hash + 1];
    entries_.push_back(entry);
  }
  for (size_t i = 1; i < start_.size(); ++i) start_[i] += start_[i - 1];
  pending_.clear();
  pending_.shrink_to_fit();
}

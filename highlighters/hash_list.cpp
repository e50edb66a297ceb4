#include "highlighters/hash_list.h"

#include <memory>

#include "platform/sysutils.h"

namespace {
bool SameTextAscii(const AnsiString& a, const AnsiString& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}
}  // namespace

TSrcHashEntry::TSrcHashEntry(const AnsiString& AKeyword, int AKind)
    : keywordLength_(static_cast<int>(AKeyword.size())), keyword_(AKeyword), kind_(AKind) {}

TSrcHashEntry::~TSrcHashEntry() {
  // Iteratively, so a long chain cannot exhaust the stack.
  TSrcHashEntry* e = next_;
  next_ = nullptr;
  while (e) {
    TSrcHashEntry* after = e->next_;
    e->next_ = nullptr;
    delete e;
    e = after;
  }
}

TSrcHashEntry* TSrcHashEntry::AddEntry(TSrcHashEntry* NewEntry) {
  if (!NewEntry) return this;
  // Every entry not longer than the new one is passed before it goes in, so the duplicate test
  // sees every entry it could equal.
  TSrcHashEntry* before = nullptr;
  TSrcHashEntry* e = this;
  for (; e && e->keywordLength_ <= NewEntry->keywordLength_; before = e, e = e->next_)
    if (SameTextAscii(e->keyword_, NewEntry->keyword_))
      throw Exception(Format("Keyword \"%s\" already in list", {e->keyword_}));
  NewEntry->next_ = e;
  if (!before) return NewEntry;
  before->next_ = NewEntry;
  return this;
}

TSrcHashEntry* TSrcHashEntryList::Get(int HashValue) const {
  if (HashValue < 0 || HashValue >= Count()) return nullptr;
  return static_cast<TSrcHashEntry*>(TList::Get(HashValue));
}

void TSrcHashEntryList::Put(int HashValue, TSrcHashEntry* Entry) {
  std::unique_ptr<TSrcHashEntry> owned(Entry);
  if (HashValue < 0) return;
  while (Count() <= HashValue) Add(nullptr);
  TSrcHashEntry* head = Get(HashValue);
  TSrcHashEntry* newHead = head ? head->AddEntry(Entry) : Entry;
  owned.release();
  TList::Put(HashValue, newHead);
}

void TSrcHashEntryList::Clear() {
  for (int i = 0; i < Count(); ++i) delete Get(i);
  TList::Clear();
}

void EnumerateKeywords(int AKind, const AnsiString& KeywordList, const TSysCharSet& Identifiers,
                       const TSrcKeywordProc& AKeywordProc) {
  if (!AKeywordProc || KeywordList.empty()) return;
  size_t i = 0;
  const size_t n = KeywordList.size();
  while (i < n) {
    while (i < n && !Identifiers.Contains(KeywordList[i])) ++i;
    size_t start = i;
    while (i < n && Identifiers.Contains(KeywordList[i])) ++i;
    if (i > start) AKeywordProc(KeywordList.substr(start, i - start), AKind);
  }
}

#pragma once
// A keyword hash list: keywords with a kind each, in chains by hash value, each chain ordered
// by keyword length; and the splitting of a keyword text into its words.
#include <functional>

#include "platform/ansi.h"
#include "platform/classes.h"

// One keyword of a chain. Destroying an entry destroys the rest of its chain.
class TSrcHashEntry : public TObject {
public:
  TSrcHashEntry(const AnsiString& AKeyword, int AKind);
  ~TSrcHashEntry() override;
  TSrcHashEntry(const TSrcHashEntry&) = delete;
  TSrcHashEntry& operator=(const TSrcHashEntry&) = delete;

  // Inserts NewEntry into the chain that starts here, shorter keywords first and keywords of
  // one length in the order they came, and answers the chain's new head. A keyword already in
  // the chain (letter case ignored) raises Exception "Keyword "%s" already in list" and leaves
  // the chain as it was.
  virtual TSrcHashEntry* AddEntry(TSrcHashEntry* NewEntry);

  TSrcHashEntry* NextEntry() const { return next_; }
  int KeywordLength() const { return keywordLength_; }
  const AnsiString& Keyword() const { return keyword_; }
  int EntryKind() const { return kind_; }

private:
  TSrcHashEntry* next_ = nullptr;
  int keywordLength_;
  AnsiString keyword_;
  int kind_;
};

// The chains by hash value; the list owns them.
class TSrcHashEntryList : public TList {
public:
  TSrcHashEntryList() = default;
  ~TSrcHashEntryList() override { Clear(); }
  TSrcHashEntryList(const TSrcHashEntryList&) = delete;
  TSrcHashEntryList& operator=(const TSrcHashEntryList&) = delete;

  // The head of the chain of HashValue; nil outside the list.
  TSrcHashEntry* Get(int HashValue) const;
  // Adds Entry to the chain of HashValue, growing the list as needed; the list owns it from
  // then on, also when the keyword is refused as a duplicate.
  void Put(int HashValue, TSrcHashEntry* Entry);
  // Destroys every chain and empties the list.
  void Clear();
};

using TSrcKeywordProc = std::function<void(const AnsiString& AKeyword, int AKind)>;

// Calls AKeywordProc for every maximal run of Identifiers characters in KeywordList, in order;
// every other character only separates.
void EnumerateKeywords(int AKind, const AnsiString& KeywordList, const TSysCharSet& Identifiers,
                       const TSrcKeywordProc& AKeywordProc);

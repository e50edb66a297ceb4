#pragma once
// What the editor's search-and-replace driver drives: the options of a run and the abstract
// search engine, which finds every occurrence of a pattern in one line and may rewrite a found
// occurrence before it is put in.
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "platform/classes.h"

enum TSrcSearchOption : uint8_t {
  soMatchCase,     // engine: letters compare case-sensitively
  soWholeWord,     // engine: an occurrence must be a whole word
  soBackwards,     // driver: walk from the end of the scope towards its start
  soEntireScope,   // driver: the whole text, not only from the caret
  soSelectedOnly,  // driver: the scope is the selection
  soReplace,       // driver: replace the hit
  soReplaceAll,    // driver: replace every hit in the scope
  soPrompt,        // driver: ask before each replacement
};

// A set of search options in one byte, one bit per option (soMatchCase is bit value 1).
class TSrcSearchOptions {
public:
  constexpr TSrcSearchOptions() = default;
  constexpr TSrcSearchOptions(std::initializer_list<TSrcSearchOption> s) {
    for (auto o : s) bits_ = static_cast<uint8_t>(bits_ | (1u << o));
  }
  static constexpr TSrcSearchOptions FromBits(uint8_t b) { TSrcSearchOptions o; o.bits_ = b; return o; }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool Contains(TSrcSearchOption o) const { return bits_ & (1u << o); }
  constexpr void Include(TSrcSearchOption o) { bits_ = static_cast<uint8_t>(bits_ | (1u << o)); }
  constexpr void Exclude(TSrcSearchOption o) { bits_ = static_cast<uint8_t>(bits_ & ~(1u << o)); }
  constexpr bool operator==(const TSrcSearchOptions&) const = default;

private:
  uint8_t bits_ = 0;
};
static_assert(sizeof(TSrcSearchOptions) == 1);

// The search-engine interface: a pattern, options, all occurrences in one line (ordered by
// position, 1-based) with their lengths, and the text that replaces a found occurrence.
class TSrcEditSearchCustom : public TComponent {
public:
  using TComponent::TComponent;

  virtual AnsiString GetPattern() const = 0;
  virtual void SetPattern(const AnsiString& Value) = 0;
  // Length of occurrence aIndex (0-based) of the last FindAll.
  virtual int GetLength(int aIndex) const = 0;
  // 1-based character position of occurrence aIndex (0-based) in the line.
  virtual int GetResult(int aIndex) const = 0;
  virtual int GetResultCount() const = 0;
  virtual void SetOptions(TSrcSearchOptions Value) = 0;
  // Finds every occurrence in one line of text, which is followed by a #0 (as an AnsiString's
  // text and the line store's views are); returns how many.
  virtual int FindAll(std::string_view NewText) = 0;
  // The text to put in place of a found occurrence. An engine may fill the template from the
  // occurrence whose position GetResult returned last (of the last FindAll) when aOccurrence
  // is that occurrence's text: a caller replaces an occurrence right after reading its
  // position, with no other GetResult in between.
  virtual AnsiString Replace(const AnsiString& aOccurrence, const AnsiString& aReplacement) = 0;

  AnsiString Pattern() const { return GetPattern(); }
  int ResultCount() const { return GetResultCount(); }
  int Results(int aIndex) const { return GetResult(aIndex); }
  int Lengths(int aIndex) const { return GetLength(aIndex); }
};

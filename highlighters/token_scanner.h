#pragma once
// What the table-driven highlighters of programming languages share: the current line, the scan
// position, the current token's start and kind, the scanning steps their character procedures
// have in common (blanks, line breaks, comments to the line end, block comments, single
// characters that may be the lead byte of a double-byte character) and the keyword buckets
// that their identifier tests look names up in.
//
// The line's own end is the only #0 that ends a line: a #0 inside the line is a control
// character like any other, so tokens always cover every character of the line.
#include <cstddef>
#include <array>
#include <cstdint>
#include <vector>

#include "highlighters/highlighter.h"

// Per-character tables of the scanners, built before the program runs.
using TSrcCharFlags = std::array<bool, 256>;
using TSrcCharHashes = std::array<int32_t, 256>;

class TSrcKeywordBuckets;

class TSrcTokenScanner : public TSrcCustomHighlighter {
public:
  bool GetEol() const override { return tokenKind_ == nullKind_; }
  AnsiString GetToken() const override { return AnsiString(line_ + tokenPos_, run_ - tokenPos_); }
  int GetTokenKind() const override { return tokenKind_; }
  int GetTokenPos() const override { return static_cast<int>(tokenPos_); }
  // The attribute of the kind GetTokenKind answers; none at the end of the line.
  TSrcHighlighterAttributes* GetTokenAttribute() const override;
  // The current token's length and attribute, without a virtual call (a scanner whose
  // GetTokenKind is its own has its own TokenAttribute).
  int TokenLength() const { return static_cast<int>(run_ - tokenPos_); }
  TSrcHighlighterAttributes* TokenAttribute() const { return AttributeOfKind(tokenKind_); }
  // The attribute of a token kind; none for the end of the line.
  TSrcHighlighterAttributes* AttributeOfKind(int Kind) const {
    return Kind >= 0 && static_cast<size_t>(Kind) < byKind_.size() ? byKind_[static_cast<size_t>(Kind)] : nullptr;
  }
  TSrcHighlighterAttributes* GetDefaultAttribute(int Index) const override;
  // The state at the end of the scanned part of the line: one byte.
  TSrcRange GetRange() const override { return ByteRange(range_); }
  void SetRange(TSrcRange Value) override { range_ = RangeByte(Value); }
  void ResetRange() override { range_ = initialRange_; }
  // Takes the line (the text must stay alive and unchanged meanwhile) and scans its first token.
  void SetLineText(std::string_view NewValue, int LineNumber) override;

protected:
  // NullKind is the kind of the end of the line, SpaceKind that of blanks and line breaks;
  // InitialRange the state of a new scanner and of the first line.
  TSrcTokenScanner(TComponent* AOwner, int NullKind, int SpaceKind, uint8_t InitialRange);

  // Creates an attribute with its built-in look and adds it to the highlighter.
  TSrcHighlighterAttributes* NewAttribute(const char* Name, TFontStyles Style, TColor Foreground = clNone);
  // After the last attribute: remembers the built-in looks and routes attribute changes; then
  // the attributes by token kind and those that GetDefaultAttribute answers, by index.
  void FinishAttributes(std::initializer_list<TSrcHighlighterAttributes*> ByKind,
                        std::initializer_list<TSrcHighlighterAttributes*> Defaults);

  // The range value of a one-byte state, and the state of a range value.
  static TSrcRange ByteRange(uintptr_t State) { return reinterpret_cast<TSrcRange>(State); }
  static uint8_t RangeByte(TSrcRange Value) { return static_cast<uint8_t>(reinterpret_cast<uintptr_t>(Value) & 0xFF); }

  // The per-character procedures that start a token. InitSteps fills the rows every language
  // shares (#0, LF, CR, blanks and control characters) and gives Other to every other
  // character; a scanner then sets its own rows.
  using TStep = void (TSrcTokenScanner::*)();
  template <class T>
  void InitSteps(void (T::*Other)(), bool TabsJoin = true) {
    InitSteps(static_cast<TStep>(Other), TabsJoin);
  }
  template <class T>
  void SetSteps(const char* Chars, void (T::*Step)()) {
    for (; *Chars; ++Chars) steps_[static_cast<unsigned char>(*Chars)] = static_cast<TStep>(Step);
  }
  template <class T>
  void SetStepRange(int First, int Last, void (T::*Step)()) {
    for (int c = First; c <= Last; ++c) steps_[c] = static_cast<TStep>(Step);
  }
  void Dispatch() { (this->*steps_[Ch(run_)])(); }

  unsigned char Ch(size_t i) const { return static_cast<unsigned char>(line_[i]); }
  // The end of the line, a line feed or a carriage return: where comments and strings stop.
  bool AtBreak(size_t i) const {
    unsigned char c = Ch(i);
    return c == 10 || c == 13 || (c == 0 && i >= lineLen_);
  }

  // #0: the end of the line (no advance), or inside the line a blank.
  void NullStep();
  void LineFeedStep();
  // A carriage return, with the line feed after it.
  void CarriageReturnStep();
  // A blank or control character and those that follow it; with TabsJoin false a tab ends the
  // run, so every tab starts a token of its own.
  void BlankStep(bool TabsJoin = true);
  void BlankRunStep() { BlankStep(true); }
  void BlankNoTabStep() { BlankStep(false); }
  // The token of Kind up to the line's end, its first line feed or carriage return.
  void RestOfLineStep(int Kind);
  // One character of Kind; two when it is a lead byte and the line goes on after it.
  void CharStep(int Kind);
  // Symbol of Kind: the character at run_, with the next one when it is one of Seconds.
  void PairStep(int Kind, const char* Seconds);
  // Scans from run_ to the end of a block comment closed by Close1 Close2: true past the closer,
  // false at the line break when the comment goes on.
  bool ScanToCloser(char Close1, char Close2);
  // Moves run_ over the characters for which Table is true.
  void SkipWhile(const TSrcCharFlags& Table) {
    while (Table[Ch(run_)] && run_ < lineLen_) ++run_;
  }
  // A name at run_: the sum of Hashes over its Ident characters and its length; Keywords then
  // tells the kind of the first keyword of that hash that is the same text, case included, or
  // Otherwise. run_ moves past the name.
  int NameStep(const TSrcCharFlags& Ident, const TSrcCharHashes& Hashes, const TSrcKeywordBuckets& Keywords,
               int Otherwise);

  // The current line; the character after its last one reads as #0.
  const char* line_ = "";
  size_t lineLen_ = 0;
  size_t run_ = 0;
  size_t tokenPos_ = 0;
  int tokenKind_;
  int lineNumber_ = 0;
  // The scanner's state between tokens, in the terms of its own range type.
  uint8_t range_;

private:
  void InitSteps(TStep Other, bool TabsJoin);

  const int nullKind_;
  const int spaceKind_;
  const uint8_t initialRange_;
  TStep steps_[256];
  std::vector<TSrcHighlighterAttributes*> byKind_;
  TSrcHighlighterAttributes* defaults_[6] = {};
};

// Keywords grouped by the hash of their name, for the identifier tests of the scanners: a name
// is looked up only among the keywords of its own hash, comparing lengths first.
class TSrcKeywordBuckets {
public:
  struct TEntry {
    const char* Name;
    uint32_t Length;
    int Kind;
  };
  // Hash values run from 0 to Buckets - 1; a name of a larger hash is never a keyword.
  explicit TSrcKeywordBuckets(int Buckets) : start_(static_cast<size_t>(Buckets) + 1, 0) {}
  int Buckets() const { return static_cast<int>(start_.size()) - 1; }
  // Adds the keywords of one kind with their hashes (given by the scanner's own hash function),
  // before the first lookup.
  template <class HashFn>
  void Add(const char* const* Names, size_t Count, int Kind, HashFn Hash) {
    for (size_t i = 0; i < Count; ++i) pending_.push_back({Hash(Names[i]), {Names[i], Length(Names[i]), Kind}});
  }
  // Sorts what Add collected into its buckets.
  void Build();
  // The keyword of the bucket Hash that Same tells equal to the name, or nullptr.
  template <class SameFn>
  const TEntry* Find(int Hash, size_t Length, SameFn Same) const {
    if (Hash < 0 || Hash >= Buckets()) return nullptr;
    for (uint32_t i = start_[Hash]; i < start_[Hash + 1]; ++i) {
      const TEntry& e = entries_[i];
      if (e.Length == Length && Same(e.Name)) return &e;
    }
    return nullptr;
  }

private:
  static uint32_t Length(const char* s);
  std::vector<uint32_t> start_;
  std::vector<TEntry> entries_;
  std::vector<std::pair<int, TEntry>> pending_;
};

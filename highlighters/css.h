#pragma once
// The style-sheet highlighter: selector text outside rule blocks, property names (known or
// not), values, numbers, colour values, strings, comments and the punctuation of rule blocks.
// The known property names live in a keyword hash list built at construction.
#include <cstdint>
#include <memory>

#include "highlighters/hash_list.h"
#include "highlighters/token_scanner.h"

enum TSrcCssTokenKind : uint8_t {
  csComment,
  csProperty,
  csKey,
  csNull,
  csSpace,
  csString,
  csSymbol,
  csText,
  csUndefProperty,
  csValue,
  csColour,
  csNumber,
};

// The state between tokens (one byte).
enum TSrcCssRangeState : uint8_t {
  csrComment = 0,         // inside a "/*" comment
  csrBlock = 2,           // inside a rule block, a property name expected
  csrSelector = 3,        // outside rule blocks
  csrAfterSemicolon = 4,  // after ';', as csrBlock
  csrValue = 5,           // after ':' or ','
};

// The letter hash of property names: 'A'/'a' 1 up to 'Z'/'z' 26, '!' 123, '/' 122, else 0.
extern const TSrcCharHashes CssHashTable;
// The known property names, one text.
extern const char CssPropertyNames[];

class TSrcCssSrc : public TSrcTokenScanner {
public:
  explicit TSrcCssSrc(TComponent* AOwner);
  ~TSrcCssSrc() override;

  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  static AnsiString ClassLanguageName() { return "Cascading Style Sheet"; }

  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;
  bool IsFilterStored() const override;
  // Inside a comment the range also holds the state that the comment's end goes back to, so
  // that a scan restarted in a comment resumes exactly where it left off.
  TSrcRange GetRange() const override;
  void Next() override;
  int NextTokens(TSrcTokenSpan* Out, int Max) override;
  TSrcRange ScanLineRange(std::string_view Line, int LineNumber) override;
  void SetRange(TSrcRange Value) override;
  TSrcCssTokenKind GetTokenID() const { return static_cast<TSrcCssTokenKind>(tokenKind_); }

  TSrcHighlighterAttributes* CommentAttri() const { return commentAttri_; }
  TSrcHighlighterAttributes* PropertyAttri() const { return propertyAttri_; }
  TSrcHighlighterAttributes* ColourAttri() const { return colourAttri_; }
  TSrcHighlighterAttributes* NumberAttri() const { return numberAttri_; }
  TSrcHighlighterAttributes* KeyAttri() const { return keyAttri_; }
  TSrcHighlighterAttributes* SpaceAttri() const { return spaceAttri_; }
  TSrcHighlighterAttributes* StringAttri() const { return stringAttri_; }
  TSrcHighlighterAttributes* SymbolAttri() const { return symbolAttri_; }
  TSrcHighlighterAttributes* TextAttri() const { return textAttri_; }
  TSrcHighlighterAttributes* ValueAttri() const { return valueAttri_; }
  TSrcHighlighterAttributes* UndefPropertyAttri() const { return undefPropertyAttri_; }

  const TSrcHashEntryList& Keywords() const { return *keywords_; }

private:
  void MakeMethodTables();
  // The hash of the name at Pos (letters and '-', then digits), with KeyLen its length.
  int KeyHash(const char* Pos);
  bool KeyComp(const AnsiString& Keyword) const;
  void DoAddKeyword(const AnsiString& AKeyword, int AKind);
  TSrcCssTokenKind IdentKind(size_t Pos);

  void StringProc();
  void ColourProc();
  void NumberProc();
  void SlashProc();
  void BraceOpenProc() { SymbolStep(csrBlock); }
  void BraceCloseProc() { SymbolStep(csrSelector); }
  void ColonOrCommaProc() { SymbolStep(csrValue); }
  void SemicolonProc() { SymbolStep(csrAfterSemicolon); }
  void NameOrValueProc();
  void SymbolStep(TSrcCssRangeState NewRange);
  void SelectorScan();
  void ContinueComment();

  TSrcHighlighterAttributes* commentAttri_;
  TSrcHighlighterAttributes* propertyAttri_;
  TSrcHighlighterAttributes* keyAttri_;
  TSrcHighlighterAttributes* undefPropertyAttri_;
  TSrcHighlighterAttributes* spaceAttri_;
  TSrcHighlighterAttributes* colourAttri_;
  TSrcHighlighterAttributes* numberAttri_;
  TSrcHighlighterAttributes* stringAttri_;
  TSrcHighlighterAttributes* symbolAttri_;
  TSrcHighlighterAttributes* textAttri_;
  TSrcHighlighterAttributes* valueAttri_;

  TSrcCssRangeState rangeBeforeComment_ = csrComment;
  const char* keyStart_ = "";
  size_t keyLen_ = 0;
  std::unique_ptr<TSrcHashEntryList> keywords_;
};

#pragma once
// The HTML highlighter: tag delimiters, tag names (known or not), attribute names and values
// (bare or quoted, also across lines), comments (also across lines), text between tags and
// character entities and numeric character references in the text.
#include <cstddef>
#include <cstdint>

#include "highlighters/highlighter.h"

enum TSrcHtmlTokenKind : uint8_t {
  htAmpersand,   // a character entity or a complete numeric character reference in text
  htComment,     // "<!--" and the comment up to and including its closing '>'
  htIdentifier,  // an attribute name; a tag name whose hash is 251 or more
  htKey,         // a known tag name, opening or closing
  htNull,        // the end of the line
  htSpace,       // white space and control characters
  htSymbol,      // '<' that does not open a comment; '>' and '=' inside a tag
  htText,        // text between tags
  htUndefKey,    // a tag name that is not known
  htValue,       // an attribute value, bare or quoted
};

// The state between tokens, carried from one line to the next as the range (one byte).
enum TSrcHtmlRangeState : uint8_t {
  hrAmpersand = 0,  // an entity or reference follows (never the state at a line end)
  hrComment = 1,
  hrKey = 2,  // after '<': the tag name follows
  hrParam = 3,
  hrText = 4,
  hrValue = 6,  // after '='
  hrQuoteValue = 7,
  hrDoubleQuoteValue = 8,
};

// Character classes of tag names: letters 1 to 26 regardless of case, '!' 123, '/' 122,
// everything else 0. Built before the program runs, so it exists before any highlighter.
struct THtmlCharClassTable {
  int32_t v[256];
  constexpr int32_t operator[](unsigned char c) const { return v[c]; }
};
inline constexpr THtmlCharClassTable HtmlCharClassTable = [] {
  THtmlCharClassTable t{};
  for (unsigned c = 'A'; c <= 'Z'; ++c) t.v[c] = int32_t(c - 'A' + 1);
  for (unsigned c = 'a'; c <= 'z'; ++c) t.v[c] = int32_t(c - 'a' + 1);
  t.v[static_cast<unsigned char>('!')] = 123;
  t.v[static_cast<unsigned char>('/')] = 122;
  return t;
}();

// The character entities recognised in text, each with its '&' and ';'.
constexpr int HtmlEntityCount = 249;
extern const char* const HtmlEntityTable[HtmlEntityCount];

// The tag names known to the highlighter (closing names with their '/').
constexpr int HtmlTagNameCount = 202;
extern const char* const HtmlTagNames[HtmlTagNameCount];
constexpr int HtmlTagSlotCount = 251;

class TSrcHTMLSrc : public TSrcCustomHighlighter {
public:
  explicit TSrcHTMLSrc(TComponent* AOwner);

  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  static AnsiString ClassLanguageName() { return "HTML"; }

  TSrcHighlighterAttributes* GetDefaultAttribute(int Index) const override;
  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;

  bool GetEol() const override { return tokenID_ == htNull; }
  TSrcRange GetRange() const override;
  AnsiString GetToken() const override;
  TSrcHighlighterAttributes* GetTokenAttribute() const override;
  int GetTokenKind() const override { return tokenID_; }
  TSrcHtmlTokenKind GetTokenID() const { return tokenID_; }
  int GetTokenPos() const override { return static_cast<int>(tokenPos_); }
  void Next() override;
  int NextTokens(TSrcTokenSpan* Out, int Max) override;
  TSrcRange ScanLineRange(std::string_view Line, int LineNumber) override;
  // The current token's length and attribute, without a virtual call.
  int TokenLength() const { return static_cast<int>(run_ - tokenPos_); }
  TSrcHighlighterAttributes* TokenAttribute() const;
  void SetLineText(std::string_view NewValue, int LineNumber) override;
  void SetRange(TSrcRange Value) override;
  void ResetRange() override;

  TSrcHighlighterAttributes* AndAttri() const { return andAttri_; }
  TSrcHighlighterAttributes* CommentAttri() const { return commentAttri_; }
  TSrcHighlighterAttributes* IdentifierAttri() const { return identifierAttri_; }
  TSrcHighlighterAttributes* KeyAttri() const { return keyAttri_; }
  TSrcHighlighterAttributes* SpaceAttri() const { return spaceAttri_; }
  TSrcHighlighterAttributes* SymbolAttri() const { return symbolAttri_; }
  TSrcHighlighterAttributes* TextAttri() const { return textAttri_; }
  TSrcHighlighterAttributes* UndefKeyAttri() const { return undefKeyAttri_; }
  TSrcHighlighterAttributes* ValueAttri() const { return valueAttri_; }

  // The tag name that starts at Pos of the current line: KeyHash scans it (recording its start
  // and length) and answers its hash; IdentKind answers its kind, after which
  // TagNameLength() is the number of characters the name covers (possibly 0); KeyComp tells
  // whether the scanned name is Name.
  int KeyHash(size_t Pos);
  TSrcHtmlTokenKind IdentKind(size_t Pos);
  bool KeyComp(const char* Name) const;
  size_t TagNameLength() const { return stringLen_; }

private:
  using TProc = void (TSrcHTMLSrc::*)();
  // The names that hash to one slot of the tag-name table.
  struct TTagSlot {
    uint8_t count = 0;
    const char* names[4] = {};
  };

  void MakeMethodTables();
  void InitIdent();
  unsigned char Ch(size_t i) const { return static_cast<unsigned char>(line_[i]); }
  void Dispatch(unsigned char c) {
    TProc p = procTable_[c];
    (this->*p)();
  }

  void NullProc();
  void LFProc();
  void CRProc();
  void SpaceProc();
  void StringProc();
  void AmpersandProc();
  void BraceOpenProc();
  void EqualProc();
  void BraceCloseProc();
  void IdentProc();
  void TextScan();
  void CommentScan();
  void QuotedValueScan();
  // The entity of the table that the text at Pos begins with, -1 when none.
  int FindEntity(size_t Pos) const;
  // The end of a numeric reference whose "&#" is at Pos: past its digits (and not past the
  // ';'); Complete tells whether the ';' follows them.
  size_t ScanNumericReference(size_t Pos, bool& Complete) const;

  TSrcHighlighterAttributes* andAttri_;
  TSrcHighlighterAttributes* commentAttri_;
  TSrcHighlighterAttributes* identifierAttri_;
  TSrcHighlighterAttributes* keyAttri_;
  TSrcHighlighterAttributes* spaceAttri_;
  TSrcHighlighterAttributes* symbolAttri_;
  TSrcHighlighterAttributes* textAttri_;
  TSrcHighlighterAttributes* undefKeyAttri_;
  TSrcHighlighterAttributes* valueAttri_;

  // The current line; the character after its last one reads as #0.
  const char* line_ = "";
  size_t lineLen_ = 0;
  size_t run_ = 0;
  size_t tokenPos_ = 0;
  TSrcHtmlTokenKind tokenID_ = htNull;
  TSrcHtmlRangeState range_ = hrText;
  int entityIndex_ = -1;
  int lineNumber_ = 0;
  size_t stringStart_ = 0;
  size_t stringLen_ = 0;
  TProc procTable_[256];
  TTagSlot identFuncTable_[HtmlTagSlotCount];
};

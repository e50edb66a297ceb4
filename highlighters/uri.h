#pragma once
// The URI highlighter: links of eleven schemes, bare web addresses that begin with "www" and
// bare mail addresses in plain text. A visited-link test, when set, picks the colours of links
// already opened. It keeps no state across lines.
#include <cstddef>
#include <cstdint>

#include "highlighters/highlighter.h"

enum TSrcUriTokenKind : int {
  utNull = 0,          // the end of the line
  utSpace = 1,         // white space, CR, LF
  utFtpLink = 2,
  utGopherLink = 3,
  utHttpLink = 4,
  utHttpsLink = 5,
  utMailtoLink = 6,    // a mailto link or a bare mail address
  utNewsLink = 7,
  utNntpLink = 8,
  utProsperoLink = 9,
  utTelnetLink = 10,
  utWaisLink = 11,
  utWebLink = 12,      // a web address beginning with "www"
  utUnknown = 13,      // words that are no link, digits, punctuation
  utNullChar = 14,     // a #0 inside the line
};

// Per character: letters by groups of five (A-D 5, E-I 6, J-N 7, O-S 8, T-X 9, Y-Z 10), ':'
// 11, '/' 12, everything else 0. A scheme's hash is the sum over its characters.
struct TUriSchemeHashTable {
  int32_t v[256];
  constexpr int32_t operator[](unsigned char c) const { return v[c]; }
};
inline constexpr TUriSchemeHashTable UriSchemeHashTable = [] {
  TUriSchemeHashTable t{};
  for (int c = 'A'; c <= 'Z'; ++c) t.v[c] = t.v[c + 32] = (c * c - 64) / 771;
  t.v[static_cast<unsigned char>(':')] = 11;
  t.v[static_cast<unsigned char>('/')] = 12;
  return t;
}();

using TSrcIsVisitedURI = TMethod<bool(const AnsiString& URI)>;

class TSrcURISrc : public TSrcCustomHighlighter {
public:
  explicit TSrcURISrc(TComponent* AOwner);
  ~TSrcURISrc() override;

  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  static AnsiString ClassLanguageName() { return "URI"; }

  // 1 identifier, 4 white space, 6 link, 7 visited link; nil for any other index.
  TSrcHighlighterAttributes* GetDefaultAttribute(int Index) const override;
  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;

  bool GetEol() const override { return tokenKind_ == utNull; }
  AnsiString GetToken() const override;
  TSrcHighlighterAttributes* GetTokenAttribute() const override;
  int GetTokenKind() const override { return tokenKind_; }
  int GetTokenPos() const override { return static_cast<int>(tokenPos_); }
  void Next() override;
  void SetLineText(std::string_view NewValue, int LineNumber) override;

  TSrcHighlighterAttributes* URIAttri() const { return uriAttri_; }
  void SetURIAttri(TSrcHighlighterAttributes* Value) { uriAttri_->Assign(Value); }
  TSrcHighlighterAttributes* VisitedURIAttri() const { return visitedAttri_; }
  void SetVisitedURIAttri(TSrcHighlighterAttributes* Value) { visitedAttri_->Assign(Value); }
  // The test that tells whether a link was opened already; an empty one removes it.
  void SetVisitedURICallback(const TSrcIsVisitedURI& Value) { visited_ = Value; }

private:
  using TProc = void (TSrcURISrc::*)();
  // One scheme the scanner knows: its text and the token kind of its links.
  struct TScheme {
    const char* text = nullptr;
    int kind = utUnknown;
  };

  // The character at i (up to the line's length, where the terminating #0 stands): every scan
  // stops at a #0, so none reads further.
  unsigned char Ch(size_t i) const { return static_cast<unsigned char>(line_.data()[i]); }
  void NullProc();
  void LFProc();
  void CRProc();
  void SpaceProc();
  void SymbolProc();
  void LetterProc();
  bool MailAddress();
  // The end of the link characters from Pos, where two dots in a row stop unless they stand
  // between two slashes ("/../"); the end-set characters are then dropped (not before Pos).
  size_t LinkEnd(size_t Pos) const;

  TSrcHighlighterAttributes* spaceAttri_;
  TSrcHighlighterAttributes* identifierAttri_;
  TSrcHighlighterAttributes* uriAttri_;
  TSrcHighlighterAttributes* visitedAttri_;
  TSrcIsVisitedURI visited_;

  AnsiString line_;
  size_t lineLen_ = 0;
  size_t run_ = 0;
  size_t tokenPos_ = 0;
  int tokenKind_ = utNull;
  // The run of link characters the last mail test measured (every letter of one run shares
  // it, so a long run is measured once): its extent, last '@' and trimmed end.
  size_t mailRunStart_ = 0, mailRunEnd_ = 0, mailTrimmed_ = 0, mailLastAt_ = 0, mailLastDot_ = 0;
  bool mailHasAt_ = false, mailHasDot_ = false;
  bool mailRunValid_ = false;
  TProc procTable_[256];
  TScheme schemes_[98];
};

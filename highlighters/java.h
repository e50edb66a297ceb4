#pragma once
// The Java highlighter: comments and documentation comments (also across lines), reserved
// words, identifiers, numbers, string and character literals, operators and separators, and
// characters the language does not use.
#include <cstdint>

#include "highlighters/token_scanner.h"

enum TSrcJavaTokenKind : uint8_t {
  jvComment,
  jvDocument,
  jvIdentifier,
  jvInvalid,
  jvKey,
  jvNull,
  jvNumber,
  jvSpace,
  jvString,
  jvSymbol,
  jvIllegalChar,
};

// The state carried from one line to the next as the range (one byte).
enum TSrcJavaRangeState : uint8_t { jvrComment = 1, jvrDocument = 2, jvrNormal = 3 };

// Identifier characters ('$', digits, ASCII letters, '_' and the Windows-1251 letters) and the
// case-sensitive hash of the keyword lookup.
extern const TSrcCharFlags JavaIdentTable;
extern const TSrcCharHashes JavaHashTable;

class TSrcJavaSrc : public TSrcTokenScanner {
public:
  explicit TSrcJavaSrc(TComponent* AOwner);

  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  static AnsiString ClassLanguageName() { return "Java"; }

  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;
  void Next() override;
  int NextTokens(TSrcTokenSpan* Out, int Max) override;
  TSrcRange ScanLineRange(std::string_view Line, int LineNumber) override;
  TSrcJavaTokenKind GetTokenID() const { return static_cast<TSrcJavaTokenKind>(tokenKind_); }

  TSrcHighlighterAttributes* CommentAttri() const { return commentAttri_; }
  TSrcHighlighterAttributes* DocumentAttri() const { return documentAttri_; }
  TSrcHighlighterAttributes* IdentifierAttri() const { return identifierAttri_; }
  TSrcHighlighterAttributes* InvalidAttri() const { return invalidAttri_; }
  TSrcHighlighterAttributes* KeyAttri() const { return keyAttri_; }
  TSrcHighlighterAttributes* NumberAttri() const { return numberAttri_; }
  TSrcHighlighterAttributes* SpaceAttri() const { return spaceAttri_; }
  TSrcHighlighterAttributes* StringAttri() const { return stringAttri_; }
  TSrcHighlighterAttributes* SymbolAttri() const { return symbolAttri_; }

private:
  void MakeMethodTables();

  void StringProc();
  void NumberProc();
  void PointProc();
  void IdentProc();
  void SlashProc();
  void InvalidProc() { CharStep(jvInvalid); }
  void IllegalProc() { CharStep(jvIllegalChar); }
  void SymbolProc() { CharStep(jvSymbol); }
  void OperatorProc();
  void ContinueComment();

  TSrcHighlighterAttributes* commentAttri_;
  TSrcHighlighterAttributes* documentAttri_;
  TSrcHighlighterAttributes* identifierAttri_;
  TSrcHighlighterAttributes* invalidAttri_;
  TSrcHighlighterAttributes* keyAttri_;
  TSrcHighlighterAttributes* numberAttri_;
  TSrcHighlighterAttributes* spaceAttri_;
  TSrcHighlighterAttributes* stringAttri_;
  TSrcHighlighterAttributes* symbolAttri_;

};

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

  TSrcHighlighterAttributes* GetDefaultAttribute(int Index) const override;
  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;
  TSrcRange GetRange() const override;
  TSrcHighlighterAttributes* GetTokenAttribute() const override;
  void Next() override;
  void SetRange(TSrcRange Value) override;
  void ResetRange() override { range_ = jvrNormal; }
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

  // The hash of the name at Pos; KeyLen() is then its length.
  int KeyHash(size_t Pos);
  size_t KeyLen() const { return keyLen_; }

private:
  using TProc = void (TSrcJavaSrc::*)();
  void MakeMethodTables();
  void Dispatch() { (this->*procTable_[Ch(run_)])(); }

  void NullProc() { NullStep(); }
  void LFProc() { LineFeedStep(); }
  void CRProc() { CarriageReturnStep(); }
  void SpaceProc() { BlankStep(); }
  void StringProc();
  void NumberProc();
  void PointProc();
  void IdentProc();
  void SlashProc();
  void InvalidProc();
  void IllegalProc() { CharStep(jvIllegalChar); }
  void SymbolProc();
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

  TSrcJavaRangeState range_ = jvrNormal;
  size_t keyStart_ = 0;
  size_t keyLen_ = 0;
  TProc procTable_[256];
};

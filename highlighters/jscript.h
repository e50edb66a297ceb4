#pragma once
// The JavaScript highlighter: comments (block comments also across lines), reserved words,
// predefined names of the browser and the language runtime, event-handler names, numbers,
// strings, operators and characters the language does not use.
#include <cstdint>

#include "highlighters/token_scanner.h"

enum TSrcJScriptTokenKind : uint8_t {
  jsComment,
  jsIdentifier,
  jsKey,
  jsNull,
  jsNumber,
  jsSpace,
  jsString,
  jsSymbol,
  jsIllegalChar,
  jsNonReservedKey,
  jsEvent,
};

// The state carried from one line to the next as the range (one byte).
enum TSrcJScriptRangeState : uint8_t { jsrNormal = 0, jsrBlockComment = 1 };

// Word characters ('0'..'9', 'A'..'Z', '_', 'a'..'z') and the case-blind letter hash of the
// keyword lookup ('A'/'a' 1 up to 'Z'/'z' 26, '_' 31, everything else 0).
extern const TSrcCharFlags JScriptIdentTable;
extern const TSrcCharHashes JScriptHashTable;

class TSrcJScriptSrc : public TSrcTokenScanner {
public:
  explicit TSrcJScriptSrc(TComponent* AOwner);

  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  static AnsiString ClassLanguageName() { return "JavaScript"; }

  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;
  void Next() override;
  int NextTokens(TSrcTokenSpan* Out, int Max) override;
  TSrcRange ScanLineRange(std::string_view Line, int LineNumber) override;
  TSrcJScriptTokenKind GetTokenID() const { return static_cast<TSrcJScriptTokenKind>(tokenKind_); }

  TSrcHighlighterAttributes* CommentAttri() const { return commentAttri_; }
  TSrcHighlighterAttributes* IdentifierAttri() const { return identifierAttri_; }
  TSrcHighlighterAttributes* KeyAttri() const { return keyAttri_; }
  TSrcHighlighterAttributes* NonReservedKeyAttri() const { return nonReservedKeyAttri_; }
  TSrcHighlighterAttributes* EventAttri() const { return eventAttri_; }
  TSrcHighlighterAttributes* NumberAttri() const { return numberAttri_; }
  TSrcHighlighterAttributes* SpaceAttri() const { return spaceAttri_; }
  TSrcHighlighterAttributes* StringAttri() const { return stringAttri_; }
  TSrcHighlighterAttributes* SymbolAttri() const { return symbolAttri_; }

private:
  void MakeMethodTables();

  void StringProc();
  void NumberProc();
  void IdentProc();
  void SlashProc();
  void OperatorProc();
  void PointProc();
  void SymbolProc() { CharStep(jsSymbol); }
  void IllegalProc() { CharStep(jsIllegalChar); }
  void ContinueComment();

  TSrcHighlighterAttributes* commentAttri_;
  TSrcHighlighterAttributes* identifierAttri_;
  TSrcHighlighterAttributes* keyAttri_;
  TSrcHighlighterAttributes* nonReservedKeyAttri_;
  TSrcHighlighterAttributes* eventAttri_;
  TSrcHighlighterAttributes* numberAttri_;
  TSrcHighlighterAttributes* spaceAttri_;
  TSrcHighlighterAttributes* stringAttri_;
  TSrcHighlighterAttributes* symbolAttri_;

};

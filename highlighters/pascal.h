#pragma once
// The Object Pascal highlighter: comments in three forms, compiler directives, keywords that
// depend on the dialect level and on the context, numbers, strings, character codes, symbols
// and inline assembler blocks. It can take its colours from another programming tool's stored
// editor settings.
#include <cstdint>

#include "highlighters/token_scanner.h"

enum TSrcPasTokenKind : uint8_t {
  ptAsm,
  ptComment,
  ptIdentifier,
  ptKey,
  ptNull,
  ptNumber,
  ptSpace,
  ptString,
  ptSymbol,
  ptUnknown,
  ptFloat,
  ptHex,
  ptDirective,
  ptChar,
};

// The state carried from one line to the next as the range (one byte).
enum TSrcPasRangeState : uint8_t {
  prAnsi = 1,        // inside a (* *) comment
  prAnsiAsm = 2,     // inside a (* *) comment within an assembler block
  prAsm = 3,         // inside an assembler block
  prBor = 4,         // inside a { } comment
  prBorAsm = 5,      // inside a { } comment within an assembler block
  prProperty = 6,    // after the keyword property, up to the next ';'
  prExports = 7,     // after the keyword exports, up to the next ';'
  prUnknown = 8,     // ordinary code
};

// The dialect levels, each with the keywords of the ones before it.
enum TPascalVersion : uint8_t { pvVersion1, pvVersion2, pvVersion3, pvVersion4, pvVersion5, pvVersion6 };

// Identifier characters (digits, ASCII letters, '_') and the case-blind letter hash of the
// keyword lookup ('A'/'a' 1 up to 'Z'/'z' 26, '_' 31, everything else 0).
extern const TSrcCharFlags PasIdentTable;
extern const TSrcCharHashes PasHashTable;

class TSrcPasSrc : public TSrcTokenScanner {
public:
  explicit TSrcPasSrc(TComponent* AOwner);

  static const TSrcHighlighterClassInfo ClassInfo;
  TSrcCustomHighlighterClass ClassType() const override { return &ClassInfo; }
  static AnsiString ClassLanguageName() { return "Object Pascal"; }
  static TSrcHighlighterCapabilities ClassCapabilities() { return {hcUserSettingSets, hcRegistryStorage}; }

  TSysCharSet GetIdentChars() const override;
  AnsiString GetSampleSource() const override;
  bool IsFilterStored() const override;
  // Inside an assembler block every token but comments, blanks and the block's own opening
  // keyword is assembler.
  int GetTokenKind() const override;
  void Next() override;
  int NextTokens(TSrcTokenSpan* Out, int Max) override;
  TSrcRange ScanLineRange(std::string_view Line, int LineNumber) override;
  TSrcHighlighterAttributes* TokenAttribute() const { return AttributeOfKind(TSrcPasSrc::GetTokenKind()); }

  // The installed versions of the other programming tool whose colours can be used.
  void EnumUserSettings(TStrings* Settings) override;
  // Takes the colours of the version at Index in that list: true only when all eight colour
  // sets were found.
  bool UseUserSettings(int SettingIndex) override;

  TPascalVersion PascalVersion() const { return pascalVersion_; }
  void SetPascalVersion(TPascalVersion Value);
  bool PackageSource() const { return packageSource_; }
  void SetPackageSource(bool Value);

  TSrcHighlighterAttributes* AsmAttri() const { return asmAttri_; }
  TSrcHighlighterAttributes* CommentAttri() const { return commentAttri_; }
  TSrcHighlighterAttributes* DirectiveAttri() const { return directiveAttri_; }
  TSrcHighlighterAttributes* IdentifierAttri() const { return identifierAttri_; }
  TSrcHighlighterAttributes* KeyAttri() const { return keyAttri_; }
  TSrcHighlighterAttributes* NumberAttri() const { return numberAttri_; }
  TSrcHighlighterAttributes* FloatAttri() const { return floatAttri_; }
  TSrcHighlighterAttributes* HexAttri() const { return hexAttri_; }
  TSrcHighlighterAttributes* SpaceAttri() const { return spaceAttri_; }
  TSrcHighlighterAttributes* StringAttri() const { return stringAttri_; }
  TSrcHighlighterAttributes* CharAttri() const { return charAttri_; }
  TSrcHighlighterAttributes* SymbolAttri() const { return symbolAttri_; }

  // Registry keys of the stored colour sets: the machine-wide key whose sub-keys name the sets
  // (one per version of the settings' layout), and the per-user key below which each set keeps
  // its colours. Both lie under "\Software\Vantry Tarn".
  static const char* const UserSettingsMachineKey;
  static const char* const UserSettingsUserKey;

private:
  void MakeMethodTables();
  // The kind of the name at run_ (keywords as the dialect level and the context allow), with
  // the range changes of the keywords that open and close blocks.
  TSrcPasTokenKind IdentKind();
  bool KeywordAllowed(int Condition) const;

  void AsciiCharProc();
  void HexProc();
  void StringProc();
  void RoundOpenProc();
  void PointProc() { PairStep(ptSymbol, ")."); }
  void SlashProc();
  void NumberProc();
  void ColonOrGreaterProc() { PairStep(ptSymbol, "="); }
  void SemicolonProc();
  void LowerProc() { PairStep(ptSymbol, "=>"); }
  void AddressOpProc() { PairStep(ptSymbol, "@"); }
  void IdentProc();
  void BraceOpenProc();
  void UnknownProc() { CharStep(ptUnknown); }
  void SymbolProc() { CharStep(ptSymbol); }
  void AnsiScan();
  void BorScan();

  TSrcHighlighterAttributes* asmAttri_;
  TSrcHighlighterAttributes* commentAttri_;
  TSrcHighlighterAttributes* directiveAttri_;
  TSrcHighlighterAttributes* identifierAttri_;
  TSrcHighlighterAttributes* keyAttri_;
  TSrcHighlighterAttributes* numberAttri_;
  TSrcHighlighterAttributes* floatAttri_;
  TSrcHighlighterAttributes* hexAttri_;
  TSrcHighlighterAttributes* spaceAttri_;
  TSrcHighlighterAttributes* stringAttri_;
  TSrcHighlighterAttributes* charAttri_;
  TSrcHighlighterAttributes* symbolAttri_;

  TPascalVersion pascalVersion_ = pvVersion6;
  bool packageSource_ = true;
  bool asmStart_ = false;
};

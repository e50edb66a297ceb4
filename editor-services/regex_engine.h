#pragma once
// The regular-expression engine for single-byte (Windows-1251) text: an expression compiled
// into a byte program, a backtracking matcher over a private copy of the input, substitution
// templates and replace-all.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ansi.h"
#include "platform/classes.h"
#include "platform/sysutils.h"

// The one exception of the engine: the message, the error code and, for compile errors, the
// position in the expression.
class ERegexEngine : public Exception {
public:
  ERegexEngine(AnsiString message, int32_t errorId, int32_t errorPos)
      : Exception(std::move(message)), ErrorId(errorId), ErrorPos(errorPos) {}
  const char* ClassName() const override { return "ERegexEngine"; }
  int32_t ErrorId;
  int32_t ErrorPos;
};

// Error codes.
enum : int32_t {
  reeOk = 0,
  reeCompNullArgument = 100,
  reeCompRegexpTooBig = 101,
  reeCompParseRegTooManyBrackets = 102,
  reeCompParseRegUnmatchedBrackets = 103,
  reeCompParseRegUnmatchedBrackets2 = 104,
  reeCompParseRegJunkOnEnd = 105,
  reePlusStarOperandCouldBeEmpty = 106,
  reeNestedSQP = 107,
  reeBadHexDigit = 108,
  reeInvalidRange = 109,
  reeParseAtomTrailingBackSlash = 110,
  reeNoHexCodeAfterBSlashX = 111,
  reeHexCodeAfterBSlashXTooBig = 112,
  reeUnmatchedSqBrackets = 113,
  reeInternalUrp = 114,
  reeQPSBFollowsNothing = 115,
  reeTrailingBackSlash = 116,
  reeRarseAtomInternalDisaster = 119,
  reeBRACESArgTooBig = 122,
  reeBracesMinParamGreaterMax = 124,
  reeUnclosedComment = 125,
  reeComplexBracesNotImplemented = 126,
  reeUrecognizedModifier = 127,
  reeBadLinePairedSeparator = 128,
  reeRegRepeatCalledInappropriately = 1000,
  reeMatchPrimMemoryCorruption = 1001,
  reeMatchPrimCorruptedPointers = 1002,
  reeNoExpression = 1003,
  reeCorruptedProgram = 1004,
  reeNoInputStringSpecified = 1005,
  reeOffsetMustBeGreaterThen0 = 1006,
  reeExecNextWithoutExec = 1007,
  reeGetInputStringWithoutInputString = 1008,
  reeDumpCorruptedOpcode = 1011,
  reeModifierUnsupported = 1013,
  reeLoopStackExceeded = 1014,
  reeLoopWithoutEntry = 1015,
  // The matcher's recursion reached the end of the stack it may use.
  reeMatchRecursionTooDeep = 1016,
  reeBadPCodeImported = 2000,
};

// Opcodes of the byte program.
enum : uint8_t {
  rxEnd = 0,
  rxInputStart = 1,
  rxInputEnd = 2,
  rxAnyChar = 3,
  rxBranch = 6,
  rxJumpBack = 7,
  rxLiteral = 8,
  rxNothing = 9,
  rxStar = 10,
  rxPlus = 11,
  rxDigit = 12,
  rxNonDigit = 13,
  rxBraces = 18,
  rxComment = 19,
  rxLiteralCI = 20,
  rxLoopEntry = 23,
  rxLoop = 24,
  rxSet3 = 25,
  rxNotSet3 = 26,
  rxSet256 = 27,
  rxBackRef = 28,
  rxBackRefCI = 29,
  rxStarLazy = 30,
  rxPlusLazy = 31,
  rxBracesLazy = 32,
  rxLoopLazy = 33,
  rxLineStart = 34,
  rxLineEnd = 35,
  rxAnyButSeparator = 36,
  rxWordBoundary = 37,
  rxNotWordBoundary = 38,
  rxOpen = 39,   // rxOpen + n, n = 1..14
  rxClose = 54,  // rxClose + n, n = 1..14
};

constexpr uint8_t kRegexSignature = 216;
constexpr int kRegexSubExprs = 15;   // group 0 (the whole match) and groups 1 to 14
constexpr int kRegexLoopMax = 10;    // nested counted loops active at once

// Modifier numbers for GetModifier/SetModifier.
enum : int {
  rmI = 1,  // case-insensitive
  rmR = 2,  // Russian letter ranges
  rmS = 3,  // '.' matches line separators
  rmG = 4,  // greedy quantifiers
  rmM = 5,  // multi-line '^' and '$'
  rmX = 6,  // extended layout
};

using TRegexCaseInverter = std::function<unsigned char(unsigned char)>;

class TRegexEngine : public TObject {
public:
  TRegexEngine();
  ~TRegexEngine() override;

  AnsiString GetExpression() const;
  void SetExpression(const AnsiString& value);

  bool GetModifier(int n);
  void SetModifier(int n, bool on);

  const AnsiString& GetWhitespaceChars() const { return WhitespaceChars_; }
  void SetWhitespaceChars(const AnsiString& value);
  const AnsiString& GetWordCharacters() const { return WordCharacters_; }
  void SetWordCharacters(const AnsiString& value);
  const AnsiString& GetLineSeparatorChars() const { return LineSeparatorChars_; }
  void SetLineSeparatorChars(const AnsiString& value);
  AnsiString GetLinePairedSeparator() const;
  void SetLinePairedSeparator(const AnsiString& value);
  void SetCaseInverter(TRegexCaseInverter inverter);
  unsigned char InvertCase(unsigned char c) const { return invert_[c]; }

  void Compile();

  bool Exec(const AnsiString& input);
  bool ExecNext();
  int MatchPos(int n) const;
  int MatchLen(int n) const;
  AnsiString Substitute(const AnsiString& templ);
  AnsiString ReplaceAll(const AnsiString& input, const AnsiString& templ, bool useSubstitution);

  int32_t LastError() const { return lastError_; }
  // Whether a compiled program is present (for the owner's diagnostics and the tests).
  bool Compiled() const { return compiled_ && program_ != nullptr; }

  [[noreturn]] virtual void Error(int32_t code);
  virtual AnsiString ErrorMsg(int32_t code);

protected:
  // Searches from a 1-based offset of the stored input.
  bool ExecPrim(int offset);
  // Read-only view of the compiled program and its start hints (for tests of the compiler).
  const uint8_t* Program() const { return program_.get(); }
  int32_t ProgramSize() const { return programSize_; }
  unsigned char FirstLiteral() const { return firstLiteral_; }
  bool Anchored() const { return anchored_ != 0; }
  AnsiString RequiredLiteral() const;
  bool InFirstCharSet(unsigned char c) const { return firstCharSet_[c] != 0; }

private:
  using Node = uint8_t*;

  // Compilation.
  void DiscardProgram();
  // Raises through the virtual Error; never returns even when an override does.
  [[noreturn]] void RaiseError(int32_t code);
  bool Sizing() const { return emit_ == &sizingSentinel_; }
  Node ParseReg(bool paren, int& flags);
  Node ParseBranch(int& flags);
  Node ParsePiece(int& flags);
  Node ParseAtom(int& flags);
  Node ParseClass();
  Node EmitLiteral(const char* chars, int len);
  unsigned char UnEscape(bool inClass);
  Node EmitNode(uint8_t op);
  void EmitC(uint8_t b);
  void EmitInt(int32_t v);
  void InsertOp(uint8_t op, Node opnd, int size);
  void Tail(Node p, Node val);
  void OpTail(Node p, Node val);
  void FillFirstCharSet(const uint8_t* scan, int depth);
  int32_t ErrorPosNow() const;

  // Matching.
  void PrepareProgram();
  bool MatchPrim(const uint8_t* prog);
  bool MatchLoop(const uint8_t* scan);
  bool MatchRepeat(const uint8_t* scan);
  int32_t RegRepeat(const uint8_t* p, int32_t max);
  bool IsWordChar(const char* p) const;
  void StoreInput(const AnsiString& input);
  void ClearGroups();

  // Groups of the last match, as pointers into the input copy.
  const char* startp_[kRegexSubExprs];
  const char* endp_[kRegexSubExprs];
  int32_t loopStack_[kRegexLoopMax + 1];
  int32_t loopStackIdx_ = 0;
  unsigned char firstLiteral_ = 0;
  uint8_t anchored_ = 0;
  const char* regMust_ = nullptr;
  int32_t regMustLen_ = 0;
  uint8_t firstCharSet_[256];
  int firstCharCount_ = 0;  // members of the first-character set
  char firstChars_[2] = {0, 0};  // the first two of them
  std::vector<bool> walked_;  // nodes visited while the first-character set is built

  const char* regInput_ = nullptr;
  const char* inputStart_ = nullptr;
  const char* inputEnd_ = nullptr;

  const char* regParse_ = nullptr;
  int32_t regNPar_ = 1;
  uint8_t sizingSentinel_ = 0;
  uint8_t* emit_ = nullptr;
  int32_t programSize_ = 0;
  const char* exprStart_ = nullptr;
  bool compiled_ = false;
  std::unique_ptr<uint8_t[]> program_;
  std::unique_ptr<char[]> expression_;
  std::unique_ptr<char[]> input_;
  size_t inputCapacity_ = 0;  // length the input buffer was allocated for (without the NUL)
  size_t inputLength_ = 0;    // characters before the first NUL
  int32_t lastError_ = 0;
  uint32_t modifiers_ = 0;
  uint32_t compModifiers_ = 0;
  uint32_t progModifiers_ = 0;

  AnsiString WhitespaceChars_;
  AnsiString WordCharacters_;
  TRegexCaseInverter CaseInverter_;
  AnsiString LineSeparatorChars_;
  bool linePairedAssigned_ = false;
  char linePairedHead_ = 0;
  char linePairedTail_ = 0;
  uint8_t lineSepSet_[256];
  AnsiString lineSepSetFor_;
  bool lineSepSetBuilt_ = false;

  // Lookup tables derived from the settings above.
  uint8_t invert_[256];
  uint8_t wordSet_[256];
  uint8_t spaceSet_[256];

  // Stack bound of the matcher.
  const char* stackLimit_ = nullptr;
};

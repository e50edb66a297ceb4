#pragma once
// The regular-expression engine for single-byte (Windows-1251) text: an expression compiled
// into a byte program (regex_compiler.cpp) with hints drawn from it (regex_hints.cpp), a
// backtracking matcher that keeps its choice points on the heap (regex_matcher.cpp), the search
// over an input (regex_engine.cpp), substitution templates and replace-all
// (regex_substitute.cpp).
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
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
  // The matcher's backtracking stack reached its memory bound (kRegexStackBytesMax).
  reeMatchRecursionTooDeep = 1016,
  reeBadPCodeImported = 2000,
  // One search took more backtracking steps than the match limit allows.
  reeMatchLimitExceeded = 2001,
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
// Backtracking steps one search may take by default (a fraction of a second of work).
constexpr int64_t kRegexDefaultMatchLimit = 10'000'000;
// Memory the matcher's backtracking stack may use before a search stops with error 1016.
constexpr size_t kRegexStackBytesMax = size_t{512} << 20;

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

  // Backtracking steps one search (Exec, ExecNext, each match of ReplaceAll) may take before it
  // stops with error 2001; 0 or less means no bound.
  int64_t GetMatchLimit() const { return matchLimit_; }
  void SetMatchLimit(int64_t steps) { matchLimit_ = steps; }

  void Compile();

  // The input is not copied: a string passed by reference must stay alive and unchanged while
  // ExecNext and Substitute use the match. A temporary is moved into the engine and kept.
  bool Exec(const AnsiString& input);
  bool Exec(AnsiString&& input);
  // Searches text where it lies, without a copy: the byte after it must be a #0 (as after an
  // AnsiString's text or a line of the editor's line store), and it must stay alive and
  // unchanged while ExecNext and Substitute use the match. The input ends at its first #0, as
  // for Exec.
  bool ExecInPlace(std::string_view input);
  bool ExecNext();
  int MatchPos(int n) const;
  int MatchLen(int n) const;
  AnsiString Substitute(const AnsiString& templ);
  // The template with its group references filled from the texts given, group n in groups[n]
  // (empty for a group that took no part): what Substitute does with the last match's groups.
  static AnsiString ExpandTemplate(const AnsiString& templ,
                                   const std::string_view (&groups)[kRegexSubExprs]);
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
  // Whether the repeat node at a program offset tries only its longest count (for the tests).
  bool PossessiveAt(int32_t offset) const;

private:
  using Node = uint8_t*;

  // What the compiler learns about a single-character repeat for the matcher: the characters
  // the rest of the program can start with right after the repeat, and whether they exclude
  // every character the repeat takes (then only the longest count can lead to a match).
  struct TRepeatHint {
    bool possessive = false;
    uint8_t follow[256] = {};
  };
  // A leading repeat of one character class: a search that fails at a position inside a run of
  // the class also fails at every later position of the run.
  struct TLeadRun {
    const uint8_t* node = nullptr;  // the single-character node that is repeated
    int32_t min = 0;
    bool unbounded = false;
  };

  // Compilation (regex_compiler.cpp).
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
  Node EmitSet(const uint8_t* set, bool negated);
  unsigned char UnEscape(bool inClass);
  Node EmitNode(uint8_t op);
  void EmitC(uint8_t b);
  void EmitInt(int32_t v);
  void InsertOp(uint8_t op, Node opnd, int size);
  void Tail(Node p, Node val);
  void OpTail(Node p, Node val);
  void FillFirstCharSet(const uint8_t* scan, int depth);
  void ComputeStartHints();
  void ComputeMatchHints();
  bool NodeCharSet(const uint8_t* node, uint8_t* set) const;
  int32_t ErrorPosNow() const;

  // Matching (regex_matcher.cpp).
  // The program is compiled for the present modifiers and the separator set is built: a
  // search needs nothing prepared.
  bool ProgramCurrent() const { return program_ && modifiers_ == progModifiers_ && lineSepSetBuilt_; }
  void PrepareProgram();
  bool MatchAt(const char* at);
  [[noreturn]] void MatchFailure(int32_t code);
  void Push(uint32_t word, uint32_t value);
  uint64_t Pop();
  bool StackEmpty() const { return top_ == chunkBegin_ && chunkIndex_ == 0; }
  void ClearStack();
  void NextChunk();
  void TrimStack();
  void Step(int64_t eighths);
  bool EmptyIteration(const uint8_t* node, const char* cur);
  bool TakeAlternative(const uint8_t*& scan, const char* cur);
  bool StartDotLoop(const uint8_t*& scan, const char*& cur);
  bool TakeRepeatCount(const uint8_t* node, const char* from, int32_t k, int32_t count,
                       const uint8_t*& scan, const char*& cur);
  int32_t RegRepeat(const uint8_t* p, const char* from, int32_t max);
  int32_t RunLength(const uint8_t* node, const char* from, int32_t cap);
  bool IsWordChar(const char* p) const;
  uint32_t Offset(const char* p) const { return static_cast<uint32_t>(p - inputBase_); }
  const char* PosOf(uint32_t offset) const { return inputBase_ + offset; }

  // The search (regex_engine.cpp).
  void UseInput(const char* data, size_t size);
  void BoundInput();
  bool TwoFirstChars() const {
    return (firstCharCount_ == 1 || firstCharCount_ == 2) && !firstCharSet_[0];
  }
  const char* FirstStart(const char* s, const char* end, const char*& nextA,
                         const char*& nextB) const;
  void ClearGroups();
  const char* SkipToFirstChar(const char* p, const char* end) const;
  bool FindRequiredLiteral(const char* from, const char* end);
  void ChooseRareByte();

  // Groups of the last match, as pointers into the input.
  const char* startp_[kRegexSubExprs];
  const char* endp_[kRegexSubExprs];
  bool groupsTouched_ = false;  // an attempt ran since the groups were last cleared
  int32_t loopStack_[kRegexLoopMax + 1];
  int32_t loopStackIdx_ = 0;
  unsigned char firstLiteral_ = 0;
  uint8_t anchored_ = 0;
  const char* regMust_ = nullptr;
  int32_t regMustLen_ = 0;
  int32_t regMustRare_ = 0;  // index of the required literal's byte looked for first
  uint8_t firstCharSet_[256];
  int firstCharCount_ = 0;  // members of the first-character set
  char firstChars_[2] = {0, 0};  // the first two of them
  const char* firstLiteralText_ = nullptr;  // the whole leading literal behind firstLiteral_
  int32_t firstLiteralLen_ = 0;
  std::vector<bool> walked_;  // nodes visited while the first-character set is built
  std::vector<int32_t> hintOf_;  // per program offset: index into repeatHints_, -1 for none
  std::vector<TRepeatHint> repeatHints_;
  // Loops whose body holds a back-reference may go round without consuming anything (the
  // captured text can be empty). Per program offset of their jump-back or loop node: an index
  // into iterMark_, the input offset at which the current path last reached that node; -1 for
  // other nodes. An iteration that ends where the previous one ended is a dead end.
  std::vector<int32_t> markOf_;
  std::vector<uint32_t> iterMark_;
  // Greedy loops over '.' without s (a choice per character in the program) run as counted
  // repeats: per program offset of the loop's first node, an index into dotLoops_, else -1.
  struct TDotLoop {
    int32_t min;
    const uint8_t* exit;  // where the program goes on after the loop
  };
  static TDotLoop DotLoopAt(const uint8_t* p);
  std::vector<int32_t> dotLoopOf_;
  std::vector<TDotLoop> dotLoops_;
  TLeadRun leadRun_;

  // Input and search state.
  const char* regInput_ = nullptr;
  const char* inputStart_ = nullptr;
  const char* inputEnd_ = nullptr;
  const char* inputBase_ = nullptr;  // the caller's buffer (or ownedInput_), none before Exec
  AnsiString ownedInput_;             // a temporary handed to Exec, kept while it is the input
  size_t inputSize_ = 0;              // the length the input was given with
  size_t inputLength_ = 0;            // characters before the first NUL, once inputBounded_
  bool inputBounded_ = false;
  const char* mustFoundAt_ = nullptr;  // where the required literal was last found in the input

  // The backtracking stack: 8-byte entries, each a kind with a node offset or slot, and an
  // input offset or old value. Choice points and the undo records of groups and loop counters
  // share it, so a failure unwinds both in one walk.
  // Chunks of 64K entries; chunks_[chunkIndex_] is the one being filled, top_ its next free
  // entry.
  std::vector<std::unique_ptr<uint64_t[]>> chunks_;
  size_t chunkIndex_ = 0;
  uint64_t* top_ = nullptr;
  uint64_t* chunkBegin_ = nullptr;
  uint64_t* chunkEnd_ = nullptr;
  int64_t steps_ = 0;      // work of the current search, in eighths of a step
  int64_t stepBound_ = 0;  // the match limit in the same unit
  int64_t matchLimit_ = kRegexDefaultMatchLimit;

  const char* regParse_ = nullptr;
  int32_t regNPar_ = 1;
  uint8_t sizingSentinel_ = 0;
  uint8_t* emit_ = nullptr;
  int32_t programSize_ = 0;
  const char* exprStart_ = nullptr;
  bool compiled_ = false;
  bool hasBackRefs_ = false;
  std::unique_ptr<uint8_t[]> program_;
  std::unique_ptr<char[]> expression_;
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
};

#include "editor-services/regex_engine.h"

#include <pthread.h>

#include <algorithm>
#include <cstring>

namespace {

// Modifier bits.
constexpr uint32_t MaskModI = 1, MaskModR = 2, MaskModS = 4, MaskModG = 8, MaskModM = 16,
                   MaskModX = 32;
constexpr uint32_t kDefaultModifiers = MaskModR | MaskModS | MaskModG;

// Parse flags of a piece.
constexpr int FlagWorst = 0;       // nothing known
constexpr int FlagHasWidth = 1;    // never matches the empty string
constexpr int FlagSimple = 2;      // matches exactly one character
constexpr int FlagSpStart = 4;     // starts with a repeat

constexpr int kOpSz = 1;           // opcode byte
constexpr int kNextSz = 4;         // next offset
constexpr int kNodeSz = kOpSz + kNextSz;
constexpr int kIntSz = 4;
constexpr int32_t kBracesMax = 2147483646;  // "no upper bound" of a counted repeat
constexpr int32_t kRepeatMax = 2147483647;  // star and plus of one character

// Characters that end a literal run.
constexpr const char* kMetaChars = "^$.[()|?+*\\{";

// Stack kept free below the matcher for exception unwinding and the sanitizer's own use.
constexpr size_t kStackReserve = 512 * 1024;
// The matcher never uses more than this much stack, however large the thread's stack is.
constexpr size_t kStackBudgetMax = 64u * 1024 * 1024;

inline int32_t RdInt(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
inline void WrInt(uint8_t* p, int32_t v) { std::memcpy(p, &v, sizeof v); }
inline const uint8_t* Operand(const uint8_t* p) { return p + kNodeSz; }
inline const uint8_t* NextNode(const uint8_t* p) {
  int32_t off = RdInt(p + kOpSz);
  return off == 0 ? nullptr : p + off;
}
inline uint8_t* NextNode(uint8_t* p) {
  int32_t off = RdInt(p + kOpSz);
  return off == 0 ? nullptr : p + off;
}

bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

unsigned char DefaultCaseInverter(unsigned char c) {
  unsigned char u = AnsiUpperChar(c);
  return u != c ? u : AnsiLowerChar(c);
}

// The lowest address of the calling thread's stack that the matcher may reach.
const char* ThreadStackLimit() {
  thread_local const char* limit = nullptr;
  if (limit) return limit;
  const char* here = static_cast<const char*>(__builtin_frame_address(0));
  const char* low = here - std::min<size_t>(kStackBudgetMax, 1024 * 1024);
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) == 0) {
    void* addr = nullptr;
    size_t size = 0;
    if (pthread_attr_getstack(&attr, &addr, &size) == 0 && addr && size > 2 * kStackReserve) {
      const char* base = static_cast<const char*>(addr);
      low = base + kStackReserve;
      if (here > low && static_cast<size_t>(here - low) > kStackBudgetMax) low = here - kStackBudgetMax;
    }
    pthread_attr_destroy(&attr);
  }
  limit = low;
  return limit;
}

// The 33 Russian letters of each case in Windows-1251: а..я with ё, А..Я with Ё.
constexpr unsigned char kLowerYo = 0xB8, kUpperYo = 0xA8;

}  // namespace

TRegexEngine::TRegexEngine() {
  ClearGroups();
  std::memset(loopStack_, 0, sizeof loopStack_);
  std::memset(firstCharSet_, 0, sizeof firstCharSet_);
  std::memset(lineSepSet_, 0, sizeof lineSepSet_);
  modifiers_ = kDefaultModifiers;
  SetWhitespaceChars(AnsiString(" \t\n\r\f"));
  SetWordCharacters("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_");
  SetCaseInverter(DefaultCaseInverter);
  LineSeparatorChars_ = "\r\n";
  linePairedAssigned_ = true;
  linePairedHead_ = '\r';
  linePairedTail_ = '\n';
}

TRegexEngine::~TRegexEngine() = default;

// ---------------------------------------------------------------------------------------------
// Settings

AnsiString TRegexEngine::GetExpression() const {
  return expression_ ? AnsiString(expression_.get()) : AnsiString();
}

void TRegexEngine::SetExpression(const AnsiString& value) {
  const char* stored = expression_ ? expression_.get() : "";
  // The stored copy ends at the first NUL, so compare the text up to there.
  AnsiString text(value.c_str());
  if (text == stored && compiled_) return;
  compiled_ = false;
  expression_.reset();
  if (!text.empty()) {
    expression_ = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(expression_.get(), text.c_str(), text.size() + 1);
  }
  // The program of the old text is stale either way; an empty text leaves no program, so the
  // next match reports the missing expression instead of running the old one.
  DiscardProgram();
}

bool TRegexEngine::GetModifier(int n) {
  if (n < 1 || n > 6) RaiseError(reeModifierUnsupported);
  return (modifiers_ & (1u << (n - 1))) != 0;
}

void TRegexEngine::SetModifier(int n, bool on) {
  if (n < 1 || n > 6) RaiseError(reeModifierUnsupported);
  uint32_t mask = 1u << (n - 1);
  if (on)
    modifiers_ |= mask;
  else
    modifiers_ &= ~mask;
}

void TRegexEngine::SetWhitespaceChars(const AnsiString& value) {
  WhitespaceChars_ = value;
  std::memset(spaceSet_, 0, sizeof spaceSet_);
  for (unsigned char c : value) spaceSet_[c] = 1;
  DiscardProgram();
}

void TRegexEngine::SetWordCharacters(const AnsiString& value) {
  WordCharacters_ = value;
  std::memset(wordSet_, 0, sizeof wordSet_);
  for (unsigned char c : value) wordSet_[c] = 1;
  DiscardProgram();
}

void TRegexEngine::SetLineSeparatorChars(const AnsiString& value) {
  if (value == LineSeparatorChars_) return;
  LineSeparatorChars_ = value;
  DiscardProgram();
}

AnsiString TRegexEngine::GetLinePairedSeparator() const {
  if (!linePairedAssigned_) return AnsiString();
  return AnsiString{linePairedHead_, linePairedTail_};
}

void TRegexEngine::SetLinePairedSeparator(const AnsiString& value) {
  if (value.empty()) {
    if (!linePairedAssigned_) return;
    linePairedAssigned_ = false;
  } else if (value.size() == 2 && value[0] != value[1]) {
    if (linePairedAssigned_ && linePairedHead_ == value[0] && linePairedTail_ == value[1]) return;
    linePairedAssigned_ = true;
    linePairedHead_ = value[0];
    linePairedTail_ = value[1];
  } else {
    RaiseError(reeBadLinePairedSeparator);
  }
  DiscardProgram();
}

void TRegexEngine::SetCaseInverter(TRegexCaseInverter inverter) {
  CaseInverter_ = inverter ? std::move(inverter) : TRegexCaseInverter(DefaultCaseInverter);
  for (int c = 0; c < 256; ++c) invert_[c] = CaseInverter_(static_cast<unsigned char>(c));
  DiscardProgram();
}

AnsiString TRegexEngine::RequiredLiteral() const {
  return regMust_ ? AnsiString(regMust_, regMustLen_) : AnsiString();
}

// ---------------------------------------------------------------------------------------------
// Errors

int32_t TRegexEngine::ErrorPosNow() const {
  if (exprStart_ && regParse_) return static_cast<int32_t>(regParse_ - exprStart_);
  return 0;
}

void TRegexEngine::Error(int32_t code) {
  lastError_ = code;
  int32_t pos = ErrorPosNow();
  AnsiString msg = ErrorMsg(code);
  if (code < 1000) msg += " (pos " + IntToStr(pos) + ")";
  throw ERegexEngine(msg, code, pos);
}

void TRegexEngine::RaiseError(int32_t code) {
  Error(code);
  throw ERegexEngine(ErrorMsg(code), code, ErrorPosNow());
}

AnsiString TRegexEngine::ErrorMsg(int32_t code) {
  switch (code) {
    case reeOk: return "No errors";
    case reeCompNullArgument: return "TRegexEngine(comp): Null Argument";
    case reeCompRegexpTooBig: return "TRegexEngine(comp): Regexp Too Big";
    case reeCompParseRegTooManyBrackets: return "TRegexEngine(comp): ParseReg Too Many ()";
    case reeCompParseRegUnmatchedBrackets: return "TRegexEngine(comp): ParseReg Unmatched ()";
    case reeCompParseRegUnmatchedBrackets2: return "TRegexEngine(comp): ParseReg Unmatched ()";
    case reeCompParseRegJunkOnEnd: return "TRegexEngine(comp): ParseReg Junk On End";
    case reePlusStarOperandCouldBeEmpty: return "TRegexEngine(comp): *+ Operand Could Be Empty";
    case reeNestedSQP: return "TRegexEngine(comp): Nested *?+";
    case reeBadHexDigit: return "TRegexEngine(comp): Bad Hex Digit";
    case reeInvalidRange: return "TRegexEngine(comp): Invalid [] Range";
    case reeParseAtomTrailingBackSlash: return "TRegexEngine(comp): Parse Atom Trailing \\";
    case reeNoHexCodeAfterBSlashX: return "TRegexEngine(comp): No Hex Code After \\x";
    case reeHexCodeAfterBSlashXTooBig: return "TRegexEngine(comp): Hex Code After \\x Is Too Big";
    case reeUnmatchedSqBrackets: return "TRegexEngine(comp): Unmatched []";
    case reeInternalUrp: return "TRegexEngine(comp): Internal Urp";
    case reeQPSBFollowsNothing: return "TRegexEngine(comp): ?+*{ Follows Nothing";
    case reeTrailingBackSlash: return "TRegexEngine(comp): Trailing \\";
    case reeRarseAtomInternalDisaster: return "TRegexEngine(comp): RarseAtom Internal Disaster";
    case reeBRACESArgTooBig: return "TRegexEngine(comp): BRACES Argument Too Big";
    case reeBracesMinParamGreaterMax:
      return "TRegexEngine(comp): BRACE Min Param Greater then Max";
    case reeUnclosedComment: return "TRegexEngine(comp): Unclosed (?#Comment)";
    case reeUrecognizedModifier: return "TRegexEngine(comp): Urecognized Modifier";
    case reeBadLinePairedSeparator:
      return "TRegexEngine(comp): LinePairedSeparator must countain two different chars or no "
             "chars at all";
    case reeRegRepeatCalledInappropriately:
      return "TRegexEngine(exec): RegRepeat Called Inappropriately";
    case reeMatchPrimMemoryCorruption: return "TRegexEngine(exec): MatchPrim Memory Corruption";
    case reeMatchPrimCorruptedPointers: return "TRegexEngine(exec): MatchPrim Corrupted Pointers";
    case reeNoExpression: return "TRegexEngine(exec): Not Assigned Expression Property";
    case reeCorruptedProgram: return "TRegexEngine(exec): Corrupted Program";
    case reeNoInputStringSpecified: return "TRegexEngine(exec): No Input String Specified";
    case reeOffsetMustBeGreaterThen0: return "TRegexEngine(exec): Offset Must Be Greater Then 0";
    case reeExecNextWithoutExec: return "TRegexEngine(exec): ExecNext Without Exec[Pos]";
    case reeGetInputStringWithoutInputString:
      return "TRegexEngine(exec): GetInputString Without InputString";
    case reeDumpCorruptedOpcode: return "TRegexEngine(dump): Corrupted Opcode";
    case reeLoopStackExceeded: return "TRegexEngine(exec): Loop Stack Exceeded";
    case reeLoopWithoutEntry: return "TRegexEngine(exec): Loop Without LoopEntry !";
    case reeMatchRecursionTooDeep: return "TRegexEngine(exec): Match Recursion Too Deep";
    case reeBadPCodeImported: return "TRegexEngine(misc): Bad p-code imported";
    default: return "Unknown error";
  }
}

// ---------------------------------------------------------------------------------------------
// Emitting the program

void TRegexEngine::DiscardProgram() {
  program_.reset();
  programSize_ = 0;
  regMust_ = nullptr;
  regMustLen_ = 0;
  compiled_ = false;
}

TRegexEngine::Node TRegexEngine::EmitNode(uint8_t op) {
  Node ret = emit_;
  if (Sizing()) {
    programSize_ += kNodeSz;
  } else {
    *emit_++ = op;
    WrInt(emit_, 0);
    emit_ += kNextSz;
  }
  return ret;
}

void TRegexEngine::EmitC(uint8_t b) {
  if (Sizing())
    ++programSize_;
  else
    *emit_++ = b;
}

void TRegexEngine::EmitInt(int32_t v) {
  if (Sizing()) {
    programSize_ += kIntSz;
  } else {
    WrInt(emit_, v);
    emit_ += kIntSz;
  }
}

// Moves the bytes from `opnd` up by `size` and writes a node header of that size in the gap.
void TRegexEngine::InsertOp(uint8_t op, Node opnd, int size) {
  if (Sizing()) {
    programSize_ += size;
    return;
  }
  std::memmove(opnd + size, opnd, static_cast<size_t>(emit_ - opnd));
  emit_ += size;
  std::memset(opnd, 0, static_cast<size_t>(size));
  opnd[0] = op;
}

// Sets the next offset of the last node of p's chain to lead to val.
void TRegexEngine::Tail(Node p, Node val) {
  if (Sizing()) return;
  Node scan = p;
  for (Node n = NextNode(scan); n; n = NextNode(scan)) scan = n;
  WrInt(scan + kOpSz, static_cast<int32_t>(val - scan));
}

// Tail on the operand of a branch; nothing for other nodes.
void TRegexEngine::OpTail(Node p, Node val) {
  if (Sizing() || p == nullptr || *p != rxBranch) return;
  Tail(p + kNodeSz, val);
}

// ---------------------------------------------------------------------------------------------
// Compilation

void TRegexEngine::Compile() {
  if (!expression_) RaiseError(reeNoExpression);
  DiscardProgram();
  progModifiers_ = modifiers_;
  compModifiers_ = modifiers_;
  const char* text = expression_.get();
  try {
    exprStart_ = text;
    regParse_ = text;
    regNPar_ = 1;
    // First pass: size the program.
    programSize_ = 0;
    emit_ = &sizingSentinel_;
    int flags = 0;
    EmitC(kRegexSignature);
    ParseReg(false, flags);

    // Second pass: write it.
    program_ = std::make_unique<uint8_t[]>(static_cast<size_t>(programSize_));
    compModifiers_ = modifiers_;
    regParse_ = text;
    regNPar_ = 1;
    emit_ = program_.get();
    EmitC(kRegexSignature);
    ParseReg(false, flags);

    std::memset(firstCharSet_, 0, sizeof firstCharSet_);
    walked_.assign(static_cast<size_t>(programSize_), false);
    FillFirstCharSet(program_.get() + 1, 0);
    walked_.clear();
    firstCharCount_ = 0;
    for (int c = 0; c < 256; ++c)
      if (firstCharSet_[c]) {
        if (firstCharCount_ < 2) firstChars_[firstCharCount_] = static_cast<char>(c);
        ++firstCharCount_;
      }

    firstLiteral_ = 0;
    anchored_ = 0;
    regMust_ = nullptr;
    regMustLen_ = 0;
    const uint8_t* scan = program_.get() + 1;  // the first branch
    if (*NextNode(scan) == rxEnd) {
      scan = Operand(scan);
      if (*scan == rxLiteral)
        firstLiteral_ = *Operand(scan);
      else if (*scan == rxInputStart)
        ++anchored_;
      if (flags & FlagSpStart) {
        const char* longest = nullptr;
        int32_t len = 0;
        for (; scan; scan = NextNode(scan)) {
          if (*scan == rxLiteral) {
            const char* lit = reinterpret_cast<const char*>(Operand(scan));
            int32_t l = static_cast<int32_t>(std::strlen(lit));
            if (l >= len) {
              longest = lit;
              len = l;
            }
          }
        }
        regMust_ = longest;
        regMustLen_ = len;
      }
    }
  } catch (...) {
    DiscardProgram();
    exprStart_ = nullptr;
    emit_ = nullptr;
    throw;
  }
  exprStart_ = nullptr;
  emit_ = nullptr;
  compiled_ = true;
}

TRegexEngine::Node TRegexEngine::ParseReg(bool paren, int& flags) {
  uint32_t savedModifiers = compModifiers_;
  flags = FlagHasWidth;
  Node ret = nullptr;
  int parno = 0;
  if (paren) {
    if (regNPar_ >= kRegexSubExprs) RaiseError(reeCompParseRegTooManyBrackets);
    parno = regNPar_++;
    ret = EmitNode(static_cast<uint8_t>(rxOpen + parno));
  }

  int branchFlags = 0;
  Node br = ParseBranch(branchFlags);
  if (ret)
    Tail(ret, br);
  else
    ret = br;
  if (!(branchFlags & FlagHasWidth)) flags &= ~FlagHasWidth;
  flags |= branchFlags & FlagSpStart;
  while (*regParse_ == '|') {
    ++regParse_;
    br = ParseBranch(branchFlags);
    Tail(ret, br);
    if (!(branchFlags & FlagHasWidth)) flags &= ~FlagHasWidth;
    flags |= branchFlags & FlagSpStart;
  }

  Node ender = EmitNode(paren ? static_cast<uint8_t>(rxClose + parno) : static_cast<uint8_t>(rxEnd));
  Tail(ret, ender);
  if (!Sizing())
    for (Node b = ret; b; b = NextNode(b)) OpTail(b, ender);

  if (paren) {
    if (*regParse_ != ')') RaiseError(reeCompParseRegUnmatchedBrackets);
    ++regParse_;
  } else if (*regParse_ != '\0') {
    if (*regParse_ == ')') RaiseError(reeCompParseRegUnmatchedBrackets2);
    RaiseError(reeCompParseRegJunkOnEnd);
  }
  compModifiers_ = savedModifiers;
  return ret;
}

TRegexEngine::Node TRegexEngine::ParseBranch(int& flags) {
  flags = FlagWorst;
  Node ret = EmitNode(rxBranch);
  Node chain = nullptr;
  while (*regParse_ != '\0' && *regParse_ != '|' && *regParse_ != ')') {
    int pieceFlags = 0;
    Node latest = ParsePiece(pieceFlags);
    flags |= pieceFlags & FlagHasWidth;
    if (chain == nullptr)
      flags |= pieceFlags & FlagSpStart;
    else
      Tail(chain, latest);
    chain = latest;
  }
  if (chain == nullptr) EmitNode(rxNothing);
  return ret;
}

TRegexEngine::Node TRegexEngine::ParsePiece(int& flags) {
  int atomFlags = 0;
  Node ret = ParseAtom(atomFlags);
  char op = *regParse_;
  if (!IsQuantifier(op)) {
    flags = atomFlags;
    return ret;
  }

  int32_t minCount = 0, maxCount = 0;
  if (op == '{') {
    // A brace is a quantifier only as {n}, {n,} or {n,m}; otherwise it is left for the next atom.
    const char* p = regParse_ + 1;
    const char* digits = p;
    while (*p >= '0' && *p <= '9') ++p;
    if (p == digits || (*p != '}' && *p != ',')) {
      flags = atomFlags;
      return ret;
    }
    const char* minEnd = p;
    const char* maxStart = nullptr;
    const char* maxEnd = nullptr;
    if (*p == ',') {
      ++p;
      maxStart = p;
      while (*p >= '0' && *p <= '9') ++p;
      maxEnd = p;
      if (*p != '}') {
        flags = atomFlags;
        return ret;
      }
    }
    if (!(atomFlags & FlagHasWidth)) {
      regParse_ = p;
      RaiseError(reePlusStarOperandCouldBeEmpty);
    }
    auto number = [this](const char* from, const char* to) {
      if (to - from > 8) {
        regParse_ = to;
        RaiseError(reeBRACESArgTooBig);
      }
      int32_t v = 0;
      for (; from < to; ++from) v = v * 10 + (*from - '0');
      return v;
    };
    minCount = number(digits, minEnd);
    if (maxStart == nullptr)
      maxCount = minCount;
    else if (maxEnd == maxStart)
      maxCount = kBracesMax;
    else
      maxCount = number(maxStart, maxEnd);
    regParse_ = p;  // at the closing brace
    if (maxCount < minCount) RaiseError(reeBracesMinParamGreaterMax);
    ++regParse_;
  } else {
    ++regParse_;
    if (op != '?' && !(atomFlags & FlagHasWidth)) RaiseError(reePlusStarOperandCouldBeEmpty);
    if (op == '*') {
      minCount = 0;
      maxCount = kBracesMax;
    } else if (op == '+') {
      minCount = 1;
      maxCount = kBracesMax;
    } else {
      minCount = 0;
      maxCount = 1;
    }
  }

  bool lazy = !(compModifiers_ & MaskModG);
  if (*regParse_ == '?') {
    lazy = true;
    ++regParse_;
  }
  bool simple = (atomFlags & FlagSimple) != 0;

  auto countedLoop = [&](int32_t lo, int32_t hi, bool lazyLoop) {
    InsertOp(rxLoopEntry, ret, kNodeSz);
    Node loop = EmitNode(lazyLoop ? rxLoopLazy : rxLoop);
    EmitInt(lo);
    EmitInt(hi);
    if (Sizing()) {
      EmitInt(0);
    } else {
      EmitInt(static_cast<int32_t>((ret + kNodeSz) - loop));
      Tail(ret, loop);
      Tail(ret + kNodeSz, loop);
    }
  };
  auto bracesHeader = [&](uint8_t code, int32_t lo, int32_t hi) {
    InsertOp(code, ret, kNodeSz + 2 * kIntSz);
    if (!Sizing()) {
      WrInt(ret + kNodeSz, lo);
      WrInt(ret + kNodeSz + kIntSz, hi);
    }
  };
  auto choiceC = [&]() {
    InsertOp(rxBranch, ret, kNodeSz);
    Tail(ret, EmitNode(rxBranch));
    Node nothing = EmitNode(rxNothing);
    Tail(ret, nothing);
    OpTail(ret, nothing);
  };

  if (op == '*') {
    flags = FlagSpStart;
    if (simple) {
      InsertOp(lazy ? rxStarLazy : rxStar, ret, kNodeSz);
    } else if (lazy) {
      countedLoop(0, kBracesMax, true);
    } else {
      // Either x and back to the choice, or nothing.
      InsertOp(rxBranch, ret, kNodeSz);
      OpTail(ret, EmitNode(rxJumpBack));
      OpTail(ret, ret);
      Tail(ret, EmitNode(rxBranch));
      Tail(ret, EmitNode(rxNothing));
    }
  } else if (op == '+') {
    flags = FlagHasWidth | FlagSpStart;
    if (simple) {
      InsertOp(lazy ? rxPlusLazy : rxPlus, ret, kNodeSz);
    } else if (lazy) {
      countedLoop(1, kBracesMax, true);
    } else {
      // x, then either back to x or nothing.
      Node next = EmitNode(rxBranch);
      Tail(ret, next);
      Tail(EmitNode(rxJumpBack), ret);
      Tail(next, EmitNode(rxBranch));
      Tail(ret, EmitNode(rxNothing));
    }
  } else if (op == '?') {
    flags = FlagWorst;
    if (!lazy)
      choiceC();
    else if (simple)
      bracesHeader(rxBracesLazy, 0, 1);
    else
      countedLoop(0, 1, true);
  } else {
    flags = minCount > 0 ? (FlagHasWidth | FlagSpStart) : FlagSpStart;
    if (simple)
      bracesHeader(lazy ? rxBracesLazy : rxBraces, minCount, maxCount);
    else
      countedLoop(minCount, maxCount, lazy);
  }

  if (IsQuantifier(*regParse_)) {
    ++regParse_;
    RaiseError(reeNestedSQP);
  }
  return ret;
}

// Reads the escaped character at the parse cursor (just past the backslash) and moves past it.
unsigned char TRegexEngine::UnEscape(bool inClass) {
  char c = *regParse_;
  if (c == '\0') {
    Error(inClass ? reeParseAtomTrailingBackSlash : reeTrailingBackSlash);
  }
  switch (c) {
    case 'a': ++regParse_; return 7;
    case 'e': ++regParse_; return 27;
    case 'f': ++regParse_; return 12;
    case 'n': ++regParse_; return 10;
    case 'r': ++regParse_; return 13;
    case 't': ++regParse_; return 9;
    case 'x': {
      ++regParse_;
      if (*regParse_ == '\0') RaiseError(reeNoHexCodeAfterBSlashX);
      if (*regParse_ == '{') {
        ++regParse_;
        int value = 0;
        for (;;) {
          char h = *regParse_;
          if (h == '\0') RaiseError(reeNoHexCodeAfterBSlashX);
          if (h == '}') break;
          int d = HexValue(h);
          ++regParse_;
          if (d < 0) RaiseError(reeBadHexDigit);
          value = value * 16 + d;
          if (value > 255) RaiseError(reeHexCodeAfterBSlashXTooBig);
        }
        ++regParse_;
        return static_cast<unsigned char>(value);
      }
      int value = 0;
      for (int i = 0; i < 2; ++i) {
        char h = *regParse_;
        if (h == '\0') RaiseError(reeNoHexCodeAfterBSlashX);
        ++regParse_;
        int d = HexValue(h);
        if (d < 0) RaiseError(reeBadHexDigit);
        value = value * 16 + d;
      }
      return static_cast<unsigned char>(value);
    }
    default:
      ++regParse_;
      return static_cast<unsigned char>(c);
  }
}

// A literal node of `len` characters. The input ends at its first NUL, so a NUL in a literal
// can never match; such a literal becomes a one-character set of NUL, which never matches.
TRegexEngine::Node TRegexEngine::EmitLiteral(const char* chars, int len) {
  bool ci = (compModifiers_ & MaskModI) != 0;
  if (std::memchr(chars, 0, static_cast<size_t>(len)) != nullptr) {
    Node ret = EmitNode(rxSet3);
    EmitC(0);
    EmitC(0);
    EmitC(0);
    return ret;
  }
  Node ret = EmitNode(ci ? rxLiteralCI : rxLiteral);
  for (int i = 0; i < len; ++i) EmitC(static_cast<uint8_t>(chars[i]));
  EmitC(0);
  return ret;
}

TRegexEngine::Node TRegexEngine::ParseAtom(int& flags) {
  flags = FlagWorst;
  const uint32_t mods = compModifiers_;
  char first = *regParse_;

  if (mods & MaskModX) {
    if (first == ' ' || first == '\t' || first == '\n' || first == '\r') {
      while (*regParse_ == ' ' || *regParse_ == '\t' || *regParse_ == '\n' || *regParse_ == '\r')
        ++regParse_;
      return EmitNode(rxComment);
    }
    if (first == '#') {
      while (*regParse_ != '\0' && *regParse_ != '\r' && *regParse_ != '\n') ++regParse_;
      while (*regParse_ == '\r' || *regParse_ == '\n') ++regParse_;
      return EmitNode(rxComment);
    }
  }

  ++regParse_;
  switch (first) {
    case '^':
      if ((mods & MaskModM) && (!LineSeparatorChars_.empty() || linePairedAssigned_))
        return EmitNode(rxLineStart);
      return EmitNode(rxInputStart);
    case '$':
      if ((mods & MaskModM) && (!LineSeparatorChars_.empty() || linePairedAssigned_))
        return EmitNode(rxLineEnd);
      return EmitNode(rxInputEnd);
    case '.':
      if (mods & MaskModS) {
        flags = FlagHasWidth | FlagSimple;
        return EmitNode(rxAnyChar);
      }
      flags = FlagHasWidth;
      return EmitNode(rxAnyButSeparator);
    case '[':
      flags = FlagHasWidth | FlagSimple;
      return ParseClass();
    case '(': {
      if (*regParse_ == '?') {
        if (regParse_[1] == '#') {
          regParse_ += 2;
          while (*regParse_ != '\0' && *regParse_ != ')') ++regParse_;
          if (*regParse_ != ')') RaiseError(reeUnclosedComment);
          ++regParse_;
          return EmitNode(rxComment);
        }
        ++regParse_;
        bool off = false;
        for (;;) {
          char c = *regParse_;
          if (c == '\0') RaiseError(reeUrecognizedModifier);
          ++regParse_;
          if (c == ')') break;
          uint32_t bit = 0;
          switch (c) {
            case '-': off = true; continue;
            case 'i': case 'I': bit = MaskModI; break;
            case 'r': case 'R': bit = MaskModR; break;
            case 's': case 'S': bit = MaskModS; break;
            case 'g': case 'G': bit = MaskModG; break;
            case 'm': case 'M': bit = MaskModM; break;
            case 'x': case 'X': bit = MaskModX; break;
            default: RaiseError(reeUrecognizedModifier);
          }
          if (off)
            compModifiers_ &= ~bit;
          else
            compModifiers_ |= bit;
        }
        return EmitNode(rxComment);
      }
      int groupFlags = 0;
      Node ret = ParseReg(true, groupFlags);
      flags = groupFlags & (FlagHasWidth | FlagSpStart);
      return ret;
    }
    case '\0':
    case '|':
    case ')':
      RaiseError(reeInternalUrp);
    case '*':
    case '+':
    case '?':
      RaiseError(reeQPSBFollowsNothing);
    case '\\': {
      char c = *regParse_;
      if (c == '\0') RaiseError(reeTrailingBackSlash);
      Node ret = nullptr;
      switch (c) {
        case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
          ++regParse_;
          flags = FlagHasWidth | FlagSimple;
          ret = EmitNode((mods & MaskModI) ? rxBackRefCI : rxBackRef);
          EmitC(static_cast<uint8_t>(c - '0'));
          return ret;
        case 'A': ++regParse_; return EmitNode(rxInputStart);
        case 'Z': ++regParse_; return EmitNode(rxInputEnd);
        case 'b': ++regParse_; return EmitNode(rxWordBoundary);
        case 'B': ++regParse_; return EmitNode(rxNotWordBoundary);
        case 'd':
          ++regParse_;
          flags = FlagHasWidth | FlagSimple;
          return EmitNode(rxDigit);
        case 'D':
          ++regParse_;
          flags = FlagHasWidth | FlagSimple;
          return EmitNode(rxNonDigit);
        case 's': case 'S': case 'w': case 'W': {
          // Built as the class of the characters (or its negation).
          ++regParse_;
          flags = FlagHasWidth | FlagSimple;
          uint8_t set[256] = {};
          const uint8_t* src = (c == 's' || c == 'S') ? spaceSet_ : wordSet_;
          bool ci = (mods & MaskModI) != 0;
          for (int i = 0; i < 256; ++i)
            if (src[i]) {
              set[i] = 1;
              if (ci) set[invert_[i]] = 1;
            }
          bool negated = (c == 'S' || c == 'W');
          int count = 0;
          for (int i = 0; i < 256; ++i) count += set[i];
          if (count > 3 || count == 0) {
            ret = EmitNode(rxSet256);
            for (int b = 0; b < 32; ++b) {
              uint8_t byte = 0;
              for (int k = 0; k < 8; ++k)
                if (set[b * 8 + k] != negated) byte |= static_cast<uint8_t>(1u << k);
              EmitC(byte);
            }
          } else {
            ret = EmitNode(negated ? rxNotSet3 : rxSet3);
            uint8_t m[3];
            int n = 0;
            for (int i = 0; i < 256; ++i)
              if (set[i]) m[n++] = static_cast<uint8_t>(i);
            for (int i = n; i < 3; ++i) m[i] = m[n - 1];
            EmitC(m[0]);
            EmitC(m[1]);
            EmitC(m[2]);
          }
          return ret;
        }
        default: {
          char ch = static_cast<char>(UnEscape(false));
          flags = FlagHasWidth | FlagSimple;
          return EmitLiteral(&ch, 1);
        }
      }
    }
    default: {
      --regParse_;
      const bool extended = (mods & MaskModX) != 0;
      const char* p = regParse_;
      if (*p == '{') ++p;
      while (*p != '\0' && std::strchr(kMetaChars, *p) == nullptr && !(extended && *p == '#')) ++p;
      const char* runEnd = p;
      if (runEnd == regParse_) RaiseError(reeRarseAtomInternalDisaster);
      // Collect the run; under x blanks are dropped.
      char local[64];
      std::unique_ptr<char[]> heap;
      char* buf = local;
      size_t cap = static_cast<size_t>(runEnd - regParse_);
      if (cap > sizeof local) {
        heap = std::make_unique<char[]>(cap);
        buf = heap.get();
      }
      int len = 0;
      const char* lastPos = nullptr;
      for (const char* q = regParse_; q < runEnd; ++q) {
        if (extended && (*q == ' ' || *q == '\t' || *q == '\n' || *q == '\r')) continue;
        buf[len++] = *q;
        lastPos = q;
      }
      if (len > 1 && IsQuantifier(*runEnd)) {
        // The quantifier belongs to the last character alone.
        --len;
        regParse_ = lastPos;
      } else {
        regParse_ = runEnd;
      }
      flags = FlagHasWidth | (len == 1 ? FlagSimple : 0);
      return EmitLiteral(buf, len);
    }
  }
}

TRegexEngine::Node TRegexEngine::ParseClass() {
  const uint32_t mods = compModifiers_;
  const bool ci = (mods & MaskModI) != 0;
  bool negated = false;
  if (*regParse_ == '^') {
    negated = true;
    ++regParse_;
  }
  uint8_t set[256] = {};
  auto add = [&](unsigned char c) {
    set[c] = 1;
    if (ci) set[invert_[c]] = 1;
  };
  auto addTable = [&](const uint8_t* table) {
    for (int i = 0; i < 256; ++i)
      if (table[i]) add(static_cast<unsigned char>(i));
  };
  bool hasMembers = false;
  bool canStartRange = false;  // the previous item was a single character
  unsigned char rangeStart = 0;
  if (*regParse_ == ']') {
    add(']');
    ++regParse_;
    hasMembers = true;
    canStartRange = true;
    rangeStart = ']';
  }
  while (*regParse_ != '\0' && *regParse_ != ']') {
    if (*regParse_ == '-' && hasMembers && canStartRange && regParse_[1] != ']' &&
        regParse_[1] != '\0') {
      const char* dash = regParse_;
      ++regParse_;
      if (*regParse_ == '\\' && std::strchr("dDsSwW", regParse_[1]) != nullptr &&
          regParse_[1] != '\0') {
        // "a-\d": the dash is a member of its own.
        regParse_ = dash + 1;
        add('-');
        canStartRange = false;
        continue;
      }
      unsigned char rangeEnd;
      if (*regParse_ == '\\') {
        ++regParse_;
        rangeEnd = UnEscape(true);
      } else {
        rangeEnd = static_cast<unsigned char>(*regParse_++);
      }
      const bool russian = (mods & MaskModR) != 0;
      if (russian && rangeStart == 0xE0 && rangeEnd == 0xFF) {
        for (int c = 0xE0; c <= 0xFF; ++c) add(static_cast<unsigned char>(c));
        add(kLowerYo);
      } else if (russian && rangeStart == 0xC0 && rangeEnd == 0xDF) {
        for (int c = 0xC0; c <= 0xDF; ++c) add(static_cast<unsigned char>(c));
        add(kUpperYo);
      } else if (russian && rangeStart == 0xE0 && rangeEnd == 0xDF) {
        for (int c = 0xC0; c <= 0xFF; ++c) add(static_cast<unsigned char>(c));
        add(kLowerYo);
        add(kUpperYo);
      } else {
        if (rangeEnd < rangeStart) RaiseError(reeInvalidRange);
        for (int c = rangeStart; c <= rangeEnd; ++c) add(static_cast<unsigned char>(c));
      }
      canStartRange = false;
      continue;
    }
    if (*regParse_ == '\\') {
      ++regParse_;
      char e = *regParse_;
      if (e == '\0') RaiseError(reeParseAtomTrailingBackSlash);
      if (e == 'd') {
        ++regParse_;
        for (int c = '0'; c <= '9'; ++c) add(static_cast<unsigned char>(c));
        canStartRange = false;
      } else if (e == 's') {
        ++regParse_;
        addTable(spaceSet_);
        canStartRange = false;
      } else if (e == 'w') {
        ++regParse_;
        addTable(wordSet_);
        canStartRange = false;
      } else {
        rangeStart = UnEscape(true);
        add(rangeStart);
        canStartRange = true;
      }
    } else {
      rangeStart = static_cast<unsigned char>(*regParse_++);
      add(rangeStart);
      canStartRange = true;
    }
    hasMembers = true;
  }
  if (*regParse_ != ']') RaiseError(reeUnmatchedSqBrackets);
  ++regParse_;

  int count = 0;
  for (int i = 0; i < 256; ++i) count += set[i];
  Node ret;
  if (count > 3) {
    ret = EmitNode(rxSet256);
    for (int b = 0; b < 32; ++b) {
      uint8_t byte = 0;
      for (int k = 0; k < 8; ++k)
        if ((set[b * 8 + k] != 0) != negated) byte |= static_cast<uint8_t>(1u << k);
      EmitC(byte);
    }
  } else {
    ret = EmitNode(negated ? rxNotSet3 : rxSet3);
    uint8_t m[3] = {0, 0, 0};
    int n = 0;
    for (int i = 0; i < 256; ++i)
      if (set[i]) m[n++] = static_cast<uint8_t>(i);
    for (int i = n; i < 3 && n > 0; ++i) m[i] = m[n - 1];
    EmitC(m[0]);
    EmitC(m[1]);
    EmitC(m[2]);
  }
  return ret;
}

// The characters at which a match can begin, from a walk of the program.
// A walk from a node always adds the same characters, so every node is walked from once; this
// also ends walks that come round a loop back to where they started.
void TRegexEngine::FillFirstCharSet(const uint8_t* scan, int depth) {
  if (depth > 10000) {
    std::memset(firstCharSet_, 1, sizeof firstCharSet_);
    return;
  }
  while (scan) {
    const size_t at = static_cast<size_t>(scan - program_.get());
    if (at < walked_.size()) {
      if (walked_[at]) return;
      walked_[at] = true;
    }
    const uint8_t op = *scan;
    const uint8_t* next = NextNode(scan);
    const uint8_t* opnd = Operand(scan);
    switch (op) {
      case rxEnd:
      case rxAnyChar:
      case rxAnyButSeparator:
      case rxBackRef:
      case rxBackRefCI:
        std::memset(firstCharSet_, 1, sizeof firstCharSet_);
        return;
      case rxInputEnd:
        firstCharSet_[0] = 1;
        if (progModifiers_ & MaskModM)
          for (unsigned char c : LineSeparatorChars_) firstCharSet_[c] = 1;
        return;
      case rxLineEnd:
        // Only compiled where m was on, perhaps through an inline modifier.
        firstCharSet_[0] = 1;
        for (unsigned char c : LineSeparatorChars_) firstCharSet_[c] = 1;
        if (linePairedAssigned_) firstCharSet_[static_cast<unsigned char>(linePairedHead_)] = 1;
        return;
      case rxLiteral:
        firstCharSet_[opnd[0]] = 1;
        return;
      case rxLiteralCI:
        firstCharSet_[opnd[0]] = 1;
        firstCharSet_[invert_[opnd[0]]] = 1;
        return;
      case rxDigit:
        for (int c = '0'; c <= '9'; ++c) firstCharSet_[c] = 1;
        return;
      case rxNonDigit:
        for (int c = 0; c < 256; ++c)
          if (c < '0' || c > '9') firstCharSet_[c] = 1;
        return;
      case rxSet3:
        firstCharSet_[opnd[0]] = firstCharSet_[opnd[1]] = firstCharSet_[opnd[2]] = 1;
        return;
      case rxNotSet3:
        for (int c = 0; c < 256; ++c)
          if (c != opnd[0] && c != opnd[1] && c != opnd[2]) firstCharSet_[c] = 1;
        return;
      case rxSet256:
        for (int c = 0; c < 256; ++c)
          if (opnd[c >> 3] & (1u << (c & 7))) firstCharSet_[c] = 1;
        return;
      case rxInputStart:
      case rxLineStart:
      case rxWordBoundary:
      case rxNotWordBoundary:
      case rxNothing:
      case rxComment:
      case rxJumpBack:
        scan = next;
        break;
      case rxLoopEntry:
        scan = next;
        break;
      case rxBranch:
        if (next == nullptr || *next != rxBranch) {
          scan = opnd;
        } else {
          for (const uint8_t* b = scan; b && *b == rxBranch; b = NextNode(b))
            FillFirstCharSet(Operand(b), depth + 1);
          return;
        }
        break;
      case rxStar:
      case rxStarLazy:
        FillFirstCharSet(opnd, depth + 1);
        scan = next;
        break;
      case rxPlus:
      case rxPlusLazy:
        FillFirstCharSet(opnd, depth + 1);
        return;
      case rxBraces:
      case rxBracesLazy:
        FillFirstCharSet(opnd + 2 * kIntSz, depth + 1);
        if (RdInt(opnd) > 0) return;
        scan = next;
        break;
      case rxLoop:
      case rxLoopLazy:
        FillFirstCharSet(scan + RdInt(opnd + 2 * kIntSz), depth + 1);
        if (RdInt(opnd) == 0) FillFirstCharSet(next, depth + 1);
        return;
      default:
        if (op > rxOpen && op < rxOpen + kRegexSubExprs) {
          scan = next;
          break;
        }
        if (op > rxClose && op < rxClose + kRegexSubExprs) {
          scan = next;
          break;
        }
        RaiseError(reeMatchPrimMemoryCorruption);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Matching

void TRegexEngine::ClearGroups() {
  for (int i = 0; i < kRegexSubExprs; ++i) {
    startp_[i] = nullptr;
    endp_[i] = nullptr;
  }
}

bool TRegexEngine::IsWordChar(const char* p) const {
  return p >= inputStart_ && p < inputEnd_ && wordSet_[static_cast<unsigned char>(*p)];
}

int32_t TRegexEngine::RegRepeat(const uint8_t* p, int32_t max) {
  const char* scan = regInput_;
  const uint8_t* opnd = Operand(p);
  ptrdiff_t left = inputEnd_ - scan;
  int32_t limit = left < max ? static_cast<int32_t>(left) : max;
  int32_t count = 0;
  auto uc = [](char c) { return static_cast<unsigned char>(c); };
  switch (*p) {
    case rxAnyChar:
      count = limit;
      break;
    case rxLiteral: {
      const char c = static_cast<char>(opnd[0]);
      while (count < limit && scan[count] == c) ++count;
      break;
    }
    case rxLiteralCI: {
      const char c = static_cast<char>(opnd[0]);
      const char c2 = static_cast<char>(invert_[opnd[0]]);
      while (count < limit && (scan[count] == c || scan[count] == c2)) ++count;
      break;
    }
    case rxDigit:
      while (count < limit && scan[count] >= '0' && scan[count] <= '9') ++count;
      break;
    case rxNonDigit:
      while (count < limit && !(scan[count] >= '0' && scan[count] <= '9')) ++count;
      break;
    case rxSet3:
      while (count < limit && (uc(scan[count]) == opnd[0] || uc(scan[count]) == opnd[1] ||
                               uc(scan[count]) == opnd[2]))
        ++count;
      break;
    case rxNotSet3:
      while (count < limit && uc(scan[count]) != opnd[0] && uc(scan[count]) != opnd[1] &&
             uc(scan[count]) != opnd[2])
        ++count;
      break;
    case rxSet256:
      while (count < limit && (opnd[uc(scan[count]) >> 3] & (1u << (uc(scan[count]) & 7))))
        ++count;
      break;
    case rxBackRef:
    case rxBackRefCI: {
      int n = opnd[0];
      if (!startp_[n] || !endp_[n]) return 0;
      ptrdiff_t glen = endp_[n] - startp_[n];
      if (glen <= 0) return 0;  // handled by the caller
      const bool ci = *p == rxBackRefCI;
      while (count < max && inputEnd_ - scan >= glen) {
        bool same = true;
        for (ptrdiff_t k = 0; k < glen; ++k) {
          char a = scan[k], b = startp_[n][k];
          if (a != b && !(ci && uc(a) == invert_[uc(b)])) {
            same = false;
            break;
          }
        }
        if (!same) break;
        scan += glen;
        ++count;
      }
      regInput_ = scan;
      return count;
    }
    default:
      RaiseError(reeRegRepeatCalledInappropriately);
  }
  regInput_ = scan + count;
  return count;
}

bool TRegexEngine::MatchPrim(const uint8_t* prog) {
  // The matcher recurses for choices, groups and loop iterations; stop before the stack ends.
  if (static_cast<const char*>(__builtin_frame_address(0)) < stackLimit_)
    RaiseError(reeMatchRecursionTooDeep);

  auto uc = [](char c) { return static_cast<unsigned char>(c); };
  const uint8_t* scan = prog;
  while (scan) {
    const uint8_t op = *scan;
    const uint8_t* next = NextNode(scan);
    const uint8_t* opnd = Operand(scan);
    const char* const c = regInput_;
    switch (op) {
      case rxEnd:
        return true;
      case rxWordBoundary:
      case rxNotWordBoundary: {
        bool before = IsWordChar(c - 1);
        bool after = IsWordChar(c);
        if ((before != after) != (op == rxWordBoundary)) return false;
        break;
      }
      case rxInputStart:
        if (c != inputStart_) return false;
        break;
      case rxLineStart: {
        if (c == inputStart_) break;
        const char prev = c[-1];
        if (linePairedAssigned_) {
          if (prev == linePairedTail_ && c - 1 > inputStart_ && c[-2] == linePairedHead_) break;
          if (prev == linePairedHead_ && c < inputEnd_ && *c == linePairedTail_) return false;
        }
        if (!lineSepSet_[uc(prev)]) return false;
        break;
      }
      case rxInputEnd:
        if (c != inputEnd_) return false;
        break;
      case rxLineEnd: {
        if (c == inputEnd_) break;
        if (linePairedAssigned_) {
          if (*c == linePairedHead_ && c + 1 < inputEnd_ && c[1] == linePairedTail_) break;
          if (*c == linePairedTail_ && c > inputStart_ && c[-1] == linePairedHead_) return false;
        }
        if (!lineSepSet_[uc(*c)]) return false;
        break;
      }
      case rxAnyChar:
        if (c >= inputEnd_) return false;
        ++regInput_;
        break;
      case rxAnyButSeparator:
        if (c >= inputEnd_) return false;
        if (linePairedAssigned_ && *c == linePairedHead_ && c + 1 < inputEnd_ &&
            c[1] == linePairedTail_)
          return false;
        if (lineSepSet_[uc(*c)]) return false;
        ++regInput_;
        break;
      case rxLiteral: {
        const char* s = reinterpret_cast<const char*>(opnd);
        if (c >= inputEnd_ || *s != *c) return false;
        size_t len = std::strlen(s);
        if (len > 1) {
          if (static_cast<size_t>(inputEnd_ - c) < len) return false;
          if (std::memcmp(s + 1, c + 1, len - 1) != 0) return false;
        }
        regInput_ += len;
        break;
      }
      case rxLiteralCI: {
        const uint8_t* s = opnd;
        const char* q = c;
        for (; *s; ++s, ++q) {
          if (q >= inputEnd_) return false;
          if (uc(*q) != *s && uc(*q) != invert_[*s]) return false;
        }
        regInput_ = q;
        break;
      }
      case rxDigit:
        if (c >= inputEnd_ || *c < '0' || *c > '9') return false;
        ++regInput_;
        break;
      case rxNonDigit:
        if (c >= inputEnd_ || (*c >= '0' && *c <= '9')) return false;
        ++regInput_;
        break;
      case rxSet3:
        if (c >= inputEnd_ || (uc(*c) != opnd[0] && uc(*c) != opnd[1] && uc(*c) != opnd[2]))
          return false;
        ++regInput_;
        break;
      case rxNotSet3:
        if (c >= inputEnd_ || uc(*c) == opnd[0] || uc(*c) == opnd[1] || uc(*c) == opnd[2])
          return false;
        ++regInput_;
        break;
      case rxSet256:
        if (c >= inputEnd_ || !(opnd[uc(*c) >> 3] & (1u << (uc(*c) & 7)))) return false;
        ++regInput_;
        break;
      case rxBackRef:
      case rxBackRefCI: {
        int n = opnd[0];
        if (!startp_[n] || !endp_[n]) return false;
        ptrdiff_t glen = endp_[n] - startp_[n];
        if (glen < 0 || inputEnd_ - c < glen) return false;
        for (ptrdiff_t k = 0; k < glen; ++k) {
          char a = c[k], b = startp_[n][k];
          if (a != b && !(op == rxBackRefCI && uc(a) == invert_[uc(b)])) return false;
        }
        regInput_ += glen;
        break;
      }
      case rxNothing:
      case rxComment:
      case rxJumpBack:
        break;
      case rxBranch:
        if (next == nullptr || *next != rxBranch) {
          next = opnd;  // no choice
        } else {
          do {
            // An alternative that starts with a literal cannot match at another character.
            const uint8_t* alt = Operand(scan);
            if (*alt == rxLiteral && (regInput_ >= inputEnd_ || *Operand(alt) != uc(*regInput_))) {
              scan = NextNode(scan);
              continue;
            }
            const char* save = regInput_;
            if (MatchPrim(alt)) return true;
            regInput_ = save;
            scan = NextNode(scan);
          } while (scan && *scan == rxBranch);
          return false;
        }
        break;
      case rxLoopEntry: {
        const int32_t savedDepth = loopStackIdx_;
        ++loopStackIdx_;
        if (loopStackIdx_ > kRegexLoopMax) {
          loopStackIdx_ = savedDepth;
          RaiseError(reeLoopStackExceeded);
        }
        const char* save = regInput_;
        loopStack_[loopStackIdx_] = 0;
        bool ok = MatchPrim(next);
        loopStackIdx_ = savedDepth;
        if (!ok) regInput_ = save;
        return ok;
      }
      case rxLoop:
      case rxLoopLazy:
        return MatchLoop(scan);
      case rxStar:
      case rxPlus:
      case rxBraces:
      case rxStarLazy:
      case rxPlusLazy:
      case rxBracesLazy:
        return MatchRepeat(scan);
      default:
        if (op > rxOpen && op < rxOpen + kRegexSubExprs) {
          const int n = op - rxOpen;
          const char* old = startp_[n];
          startp_[n] = regInput_;
          if (MatchPrim(next)) return true;
          startp_[n] = old;
          return false;
        }
        if (op > rxClose && op < rxClose + kRegexSubExprs) {
          const int n = op - rxClose;
          const char* old = endp_[n];
          endp_[n] = regInput_;
          if (MatchPrim(next)) return true;
          endp_[n] = old;
          return false;
        }
        RaiseError(reeMatchPrimMemoryCorruption);
    }
    if (next == nullptr) RaiseError(reeMatchPrimCorruptedPointers);
    scan = next;
  }
  RaiseError(reeMatchPrimCorruptedPointers);
}

// The end of one iteration of a counted loop. Kept out of MatchPrim so that the recursion's
// frames stay small.
__attribute__((noinline)) bool TRegexEngine::MatchLoop(const uint8_t* scan) {
  const uint8_t op = *scan;
  const uint8_t* next = NextNode(scan);
  const uint8_t* opnd = Operand(scan);
  if (loopStackIdx_ <= 0) RaiseError(reeLoopWithoutEntry);
  const int32_t d = loopStackIdx_;
  const int32_t lo = RdInt(opnd);
  const int32_t hi = RdInt(opnd + kIntSz);
  const uint8_t* body = scan + RdInt(opnd + 2 * kIntSz);
  const char* save = regInput_;
  auto tryBody = [&]() {
    ++loopStack_[d];
    if (MatchPrim(body)) return true;
    loopStackIdx_ = d;
    --loopStack_[d];
    regInput_ = save;
    return false;
  };
  auto tryNext = [&]() {
    const int32_t count = loopStack_[d];
    loopStackIdx_ = d - 1;
    if (MatchPrim(next)) return true;
    loopStackIdx_ = d;
    loopStack_[d] = count;
    regInput_ = save;
    return false;
  };
  if (loopStack_[d] < lo) return tryBody();
  if (op == rxLoop) {
    if (loopStack_[d] < hi && tryBody()) return true;
    return tryNext();
  }
  if (tryNext()) return true;
  if (loopStack_[d] < hi && tryBody()) return true;
  return false;
}

// A repeat of a single-character node: counted in one pass, then tried count by count.
__attribute__((noinline)) bool TRegexEngine::MatchRepeat(const uint8_t* scan) {
  const uint8_t op = *scan;
  const uint8_t* next = NextNode(scan);
  const uint8_t* opnd = Operand(scan);
  const char nextch = (next && *next == rxLiteral) ? static_cast<char>(*Operand(next)) : '\0';
  int32_t lo, hi;
  const uint8_t* repeated;
  if (op == rxStar || op == rxStarLazy) {
    lo = 0;
    hi = kRepeatMax;
    repeated = opnd;
  } else if (op == rxPlus || op == rxPlusLazy) {
    lo = 1;
    hi = kRepeatMax;
    repeated = opnd;
  } else {
    lo = RdInt(opnd);
    hi = RdInt(opnd + kIntSz);
    repeated = opnd + 2 * kIntSz;
  }
  const char* save = regInput_;
  int32_t count;
  ptrdiff_t unit = 1;
  if (*repeated == rxBackRef || *repeated == rxBackRefCI) {
    int n = Operand(repeated)[0];
    if (startp_[n] && endp_[n] && endp_[n] == startp_[n]) {
      // An empty capture matches empty at every count: only the minimum can differ.
      count = lo <= hi ? lo : 0;
      unit = 0;
    } else {
      count = RegRepeat(repeated, hi);
      unit = (startp_[n] && endp_[n]) ? endp_[n] - startp_[n] : 0;
    }
  } else {
    count = RegRepeat(repeated, hi);
  }
  if (count < lo) return false;
  int32_t savedStack[kRegexLoopMax + 1];
  const int32_t savedIdx = loopStackIdx_;
  std::memcpy(savedStack, loopStack_, sizeof savedStack);
  auto attempt = [&](int32_t k) {
    regInput_ = save + unit * k;
    if (nextch != '\0' && (regInput_ >= inputEnd_ || *regInput_ != nextch)) return false;
    if (MatchPrim(next)) return true;
    std::memcpy(loopStack_, savedStack, sizeof savedStack);
    loopStackIdx_ = savedIdx;
    return false;
  };
  const bool lazy = op == rxStarLazy || op == rxPlusLazy || op == rxBracesLazy;
  if (lazy) {
    for (int32_t k = lo; k <= count; ++k)
      if (attempt(k)) return true;
  } else {
    for (int32_t k = count; k >= lo; --k)
      if (attempt(k)) return true;
  }
  return false;
}

void TRegexEngine::PrepareProgram() {
  if (program_ && modifiers_ != progModifiers_) DiscardProgram();
  // The separator set follows LineSeparatorChars; it is rebuilt whenever that text changed.
  if (lineSepSetFor_ != LineSeparatorChars_ || !lineSepSetBuilt_) {
    std::memset(lineSepSet_, 0, sizeof lineSepSet_);
    for (unsigned char ch : LineSeparatorChars_) lineSepSet_[ch] = 1;
    lineSepSetFor_ = LineSeparatorChars_;
    lineSepSetBuilt_ = true;
  }
  if (!program_) Compile();
  if (program_[0] != kRegexSignature) RaiseError(reeCorruptedProgram);
}

void TRegexEngine::StoreInput(const AnsiString& input) {
  ClearGroups();
  if (!input_ || input.size() != inputCapacity_) {
    input_.reset(new char[input.size() + 1]);  // filled below, so left uninitialised
    inputCapacity_ = input.size();
  }
  std::memcpy(input_.get(), input.data(), input.size());
  input_[input.size()] = '\0';
  const void* nul = std::memchr(input_.get(), 0, input.size());
  inputLength_ = nul ? static_cast<size_t>(static_cast<const char*>(nul) - input_.get())
                     : input.size();
}

bool TRegexEngine::ExecPrim(int offset) {
  ClearGroups();
  PrepareProgram();
  if (!input_) RaiseError(reeNoInputStringSpecified);
  if (offset < 1) RaiseError(reeOffsetMustBeGreaterThen0);
  if (static_cast<size_t>(offset) > inputLength_ + 1) return false;

  const char* input = input_.get();
  const char* end = input + inputLength_;
  const char* s = input + offset - 1;

  if (regMust_) {
    const char* p = s;
    bool found = false;
    const char first = regMust_[0];
    while (p < end) {
      const char* hit = static_cast<const char*>(std::memchr(p, first, static_cast<size_t>(end - p)));
      if (!hit) break;
      if (end - hit >= regMustLen_ && std::memcmp(hit, regMust_, static_cast<size_t>(regMustLen_)) == 0) {
        found = true;
        break;
      }
      p = hit + 1;
    }
    if (!found) return false;
  }

  inputStart_ = input;
  inputEnd_ = end;
  loopStackIdx_ = 0;
  stackLimit_ = ThreadStackLimit();
  const uint8_t* start = program_.get() + 1;

  auto attempt = [&](const char* at) {
    regInput_ = at;
    if (MatchPrim(start)) {
      startp_[0] = at;
      endp_[0] = regInput_;
      return true;
    }
    // A failed attempt has put every group it touched back, so the groups are clear again.
    loopStackIdx_ = 0;
    return false;
  };

  if (anchored_) return attempt(s);
  if (firstLiteral_ != 0) {
    const char* p = s;
    while (p < end) {
      const char* hit =
          static_cast<const char*>(std::memchr(p, firstLiteral_, static_cast<size_t>(end - p)));
      if (!hit) return false;
      if (attempt(hit)) return true;
      p = hit + 1;
    }
    return false;
  }
  if ((firstCharCount_ == 1 || firstCharCount_ == 2) && !firstCharSet_[0]) {
    // One or two starting characters (a letter in both cases, say): find them with memchr,
    // keeping the next hit of each until the scan has passed it.
    const char a = firstChars_[0];
    const char b = firstCharCount_ == 2 ? firstChars_[1] : a;
    auto find = [end](const char* from, char ch) {
      const void* hit = std::memchr(from, ch, static_cast<size_t>(end - from));
      return hit ? static_cast<const char*>(hit) : end;
    };
    const char* nextA = find(s, a);
    const char* nextB = b == a ? end : find(s, b);
    for (;;) {
      const char* p = std::min(nextA, nextB);
      if (p >= end) return false;
      if (attempt(p)) return true;
      if (p == nextA) nextA = find(p + 1, a);
      if (p == nextB) nextB = find(p + 1, b);
    }
  }
  // When every match begins with a repeat of one character class needing at least lo
  // characters, a run shorter than lo fails at each of its positions: skip the whole run.
  const uint8_t* lead = Operand(start);
  int32_t leadMin = 0, leadMax = 0;
  const uint8_t* leadNode = nullptr;
  if (*NextNode(start) == rxEnd) {
    if (*lead == rxPlus || *lead == rxPlusLazy) {
      leadMin = 1;
      leadMax = kRepeatMax;
      leadNode = Operand(lead);
    } else if (*lead == rxBraces || *lead == rxBracesLazy) {
      leadMin = RdInt(Operand(lead));
      leadMax = RdInt(Operand(lead) + kIntSz);
      leadNode = Operand(lead) + 2 * kIntSz;
    }
    if (leadNode && (leadMin < 2 || *leadNode == rxBackRef || *leadNode == rxBackRefCI))
      leadNode = nullptr;
  }
  for (const char* p = s;; ++p) {
    if (leadNode && p < end && firstCharSet_[static_cast<unsigned char>(*p)]) {
      regInput_ = p;
      const int32_t run = RegRepeat(leadNode, leadMax);
      if (run < leadMin) {
        p += run;  // the loop steps past the character that ended the run
        if (p >= end) return false;
        continue;
      }
    }
    if (firstCharSet_[static_cast<unsigned char>(*p)] && attempt(p)) return true;
    if (p >= end) return false;
  }
}

bool TRegexEngine::Exec(const AnsiString& input) {
  StoreInput(input);
  return ExecPrim(1);
}

bool TRegexEngine::ExecNext() {
  if (!startp_[0] || !endp_[0]) RaiseError(reeExecNextWithoutExec);
  int offset = static_cast<int>(endp_[0] - input_.get()) + 1;
  if (startp_[0] == endp_[0]) ++offset;
  return ExecPrim(offset);
}

int TRegexEngine::MatchPos(int n) const {
  if (n < 0 || n >= kRegexSubExprs || !input_ || !startp_[n] || !endp_[n]) return -1;
  return static_cast<int>(startp_[n] - input_.get()) + 1;
}

int TRegexEngine::MatchLen(int n) const {
  if (n < 0 || n >= kRegexSubExprs || !input_ || !startp_[n] || !endp_[n]) return -1;
  return static_cast<int>(endp_[n] - startp_[n]);
}

// ---------------------------------------------------------------------------------------------
// Substitution and replace

AnsiString TRegexEngine::Substitute(const AnsiString& templ) {
  PrepareProgram();
  if (!input_) RaiseError(reeNoInputStringSpecified);
  if (templ.empty()) return AnsiString();

  // Runs over the template, either summing the length (out == nullptr) or writing.
  auto expand = [&](char* out) -> size_t {
    size_t len = 0;
    auto put = [&](const char* p, size_t n) {
      if (out) std::memcpy(out + len, p, n);
      len += n;
    };
    const char* t = templ.data();
    const char* tend = t + templ.size();
    while (t < tend) {
      char ch = *t++;
      if (ch == '$') {
        const char* p = t;
        bool brace = false;
        if (p < tend && *p == '{') {
          brace = true;
          ++p;
        }
        long n = -1;
        bool taken = brace;
        if (p < tend && *p == '&') {
          n = 0;
          ++p;
          taken = true;
        } else {
          n = 0;
          while (p < tend && *p >= '0' && *p <= '9') {
            if (n < 1000) n = n * 10 + (*p - '0');
            ++p;
            taken = true;
          }
        }
        bool cancelled = false;
        if (brace) {
          if (p < tend && *p == '}')
            ++p;
          else
            cancelled = true;
        }
        if (!taken || cancelled) {
          put(&ch, 1);
          continue;
        }
        t = p;
        if (n >= 0 && n < kRegexSubExprs && startp_[n] && endp_[n] && endp_[n] >= startp_[n])
          put(startp_[n], static_cast<size_t>(endp_[n] - startp_[n]));
        continue;
      }
      if (ch == '\\' && t < tend) {
        put(t, 1);
        ++t;
        continue;
      }
      put(&ch, 1);
    }
    return len;
  };

  AnsiString result(expand(nullptr), '\0');
  expand(result.data());
  return result;
}

AnsiString TRegexEngine::ReplaceAll(const AnsiString& input, const AnsiString& templ,
                                    bool useSubstitution) {
  AnsiString result;
  size_t copyPos = 1;
  if (Exec(input)) {
    do {
      const size_t pos = static_cast<size_t>(MatchPos(0));
      result.append(input, copyPos - 1, pos - copyPos);
      if (useSubstitution)
        result += Substitute(templ);
      else
        result += templ;
      copyPos = pos + static_cast<size_t>(MatchLen(0));
    } while (ExecNext());
  }
  if (copyPos - 1 < input.size()) result.append(input, copyPos - 1, AnsiString::npos);
  return result;
}

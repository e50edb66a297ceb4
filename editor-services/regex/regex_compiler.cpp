#include "editor-services/regex/regex_engine.h"

#include <cstring>

#include "editor-services/regex/regex_program.h"

namespace {

using namespace regex_program;

// Characters that end a literal run.
constexpr const char* kMetaChars = "^$.[()|?+*\\{";

bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The 33 Russian letters of each case in Windows-1251: а..я with ё, А..Я with Ё.
constexpr unsigned char kLowerYo = 0xB8, kUpperYo = 0xA8;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Emitting the program

void TRegexEngine::DiscardProgram() {
  program_.reset();
  programSize_ = 0;
  regMust_ = nullptr;
  regMustLen_ = 0;
  regMustRare_ = 0;
  firstLiteralText_ = nullptr;
  firstLiteralLen_ = 0;
  hintOf_.clear();
  repeatHints_.clear();
  markOf_.clear();
  iterMark_.clear();
  dotLoopOf_.clear();
  dotLoops_.clear();
  leadRun_ = TLeadRun{};
  hasBackRefs_ = false;
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
    // The matcher's stack entries hold program offsets in 28 bits.
    if (programSize_ >= (1 << 28)) RaiseError(reeCompRegexpTooBig);

    // Second pass: write it.
    program_ = std::make_unique<uint8_t[]>(static_cast<size_t>(programSize_));
    compModifiers_ = modifiers_;
    regParse_ = text;
    regNPar_ = 1;
    emit_ = program_.get();
    EmitC(kRegexSignature);
    ParseReg(false, flags);

    ComputeMatchHints();
    ComputeStartHints();
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
          return EmitSet(set, c == 'S' || c == 'W');
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

  return EmitSet(set, negated);
}

// A set node of the characters flagged in `set` (complemented when negated): up to three
// members as a 3-character node, padded with the highest member, more (or none) as a bit set.
TRegexEngine::Node TRegexEngine::EmitSet(const uint8_t* set, bool negated) {
  int count = 0;
  for (int i = 0; i < 256; ++i) count += set[i];
  Node ret;
  if (count > 3 || count == 0) {
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
    for (int i = n; i < 3; ++i) m[i] = m[n - 1];
    EmitC(m[0]);
    EmitC(m[1]);
    EmitC(m[2]);
  }
  return ret;
}

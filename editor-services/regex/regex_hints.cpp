// What the search and the matcher learn from a compiled program: the first-character set, the
// first and the required literal, the anchored flag, the leading run of one character class,
// and per repeat the characters that may follow it.
#include <cstring>

#include "editor-services/regex/regex_engine.h"
#include "editor-services/regex/regex_program.h"

using namespace regex_program;

namespace {

// How often a byte turns up in the pages this editor holds (HTML and text, Latin or Cyrillic in
// Windows-1251), on a rough scale: the byte of a literal with the lowest figure is the one
// worth looking for first.
int ByteCommonness(unsigned char c) {
  auto in = [c](const char* set) { return c != 0 && std::strchr(set, c) != nullptr; };
  if (c == ' ') return 10;
  if (in("etaoinsrhl")) return 9;
  if (in("<>/=\"")) return 8;
  if (c >= 'a' && c <= 'z') return in("qzxjkv") ? 5 : 7;
  if (c >= 0xC0) return 7;  // Cyrillic letters
  if (c >= '0' && c <= '9') return 6;
  if (in(".,;:&-_'()#\t")) return 6;
  if (c >= 'A' && c <= 'Z') return in("QZXJKV") ? 2 : 4;
  return 1;
}

}  // namespace

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


namespace {

// Bytes of a node with its operand; a repeat's repeated node and a branch's alternative follow
// as nodes of their own, so the whole program is a sequence of nodes.
int32_t NodeSize(const uint8_t* p) {
  switch (*p) {
    case rxLiteral:
    case rxLiteralCI:
      return kNodeSz + static_cast<int32_t>(std::strlen(reinterpret_cast<const char*>(Operand(p)))) + 1;
    case rxSet3:
    case rxNotSet3: return kNodeSz + 3;
    case rxSet256: return kNodeSz + 32;
    case rxBackRef:
    case rxBackRefCI: return kNodeSz + 1;
    case rxBraces:
    case rxBracesLazy: return kNodeSz + 2 * kIntSz;
    case rxLoop:
    case rxLoopLazy: return kNodeSz + 3 * kIntSz;
    default: return kNodeSz;
  }
}

bool IsGroupMark(uint8_t op) {
  return (op > rxOpen && op < rxOpen + kRegexSubExprs) ||
         (op > rxClose && op < rxClose + kRegexSubExprs);
}

// The first node from p on that does more than record a group position: comments, empty
// nodes and the single alternative of a group are passed through.
const uint8_t* SkipMarks(const uint8_t* p) {
  for (;;) {
    if (p && (IsGroupMark(*p) || *p == rxComment || *p == rxNothing)) {
      p = NextNode(p);
    } else if (p && *p == rxBranch && NextNode(p) && *NextNode(p) != rxBranch) {
      p = Operand(p);
    } else {
      return p;
    }
  }
}

}  // namespace

// The characters a consuming node can match at a position (never NUL, which ends the input);
// false for nodes that consume no character or whose first character is not fixed.
bool TRegexEngine::NodeCharSet(const uint8_t* node, uint8_t* set) const {
  const uint8_t* opnd = Operand(node);
  std::memset(set, 0, 256);
  switch (*node) {
    case rxAnyChar: std::memset(set, 1, 256); break;
    case rxLiteral: set[opnd[0]] = 1; break;
    case rxLiteralCI:
      set[opnd[0]] = 1;
      set[invert_[opnd[0]]] = 1;
      break;
    case rxDigit: std::memset(&set[uint8_t{'0'}], 1, 10); break;
    case rxNonDigit:
      std::memset(set, 1, 256);
      std::memset(&set[uint8_t{'0'}], 0, 10);
      break;
    case rxSet3: set[opnd[0]] = set[opnd[1]] = set[opnd[2]] = 1; break;
    case rxNotSet3:
      std::memset(set, 1, 256);
      set[opnd[0]] = set[opnd[1]] = set[opnd[2]] = 0;
      break;
    case rxSet256:
      for (int c = 0; c < 256; ++c) set[c] = (opnd[c >> 3] >> (c & 7)) & 1;
      break;
    default: return false;
  }
  set[0] = 0;
  return true;
}

// The loop that '.' without s forms under a greedy star or plus, starting at p: its minimum and
// the node after it; min -1 when p starts no such loop.
TRegexEngine::TDotLoop TRegexEngine::DotLoopAt(const uint8_t* p) {
  auto emptyBranch = [](const uint8_t* b) {
    return b && *b == rxBranch && *Operand(b) == rxNothing;
  };
  if (*p == rxBranch && *Operand(p) == rxAnyButSeparator) {
    // star: the choice, '.', and a jump back to the choice; or the empty way on
    const uint8_t* jump = NextNode(Operand(p));
    const uint8_t* other = NextNode(p);
    if (jump && *jump == rxJumpBack && NextNode(jump) == p && emptyBranch(other))
      return {0, Operand(other)};
  } else if (*p == rxAnyButSeparator) {
    // plus: '.', then the choice of jumping back to it or going on
    const uint8_t* again = NextNode(p);
    if (again && *again == rxBranch && *Operand(again) == rxJumpBack &&
        NextNode(Operand(again)) == p && emptyBranch(NextNode(again)))
      return {1, Operand(NextNode(again))};
  }
  return {-1, nullptr};
}

// For every single-character repeat (and loop over '.' without s): the characters the rest of the program must start with
// right after it, when the next consuming node is a single-character test. A count that leaves
// the cursor on another character cannot lead to a match, so the matcher skips it; when the two
// sets are disjoint only the longest count can.
void TRegexEngine::ComputeMatchHints() {
  hintOf_.assign(static_cast<size_t>(programSize_), -1);
  repeatHints_.clear();
  markOf_.clear();
  iterMark_.clear();
  dotLoopOf_.clear();
  dotLoops_.clear();
  hasBackRefs_ = false;
  const uint8_t* const prog = program_.get();
  std::vector<const uint8_t*> backRefs, loopEnds;
  for (const uint8_t* p = prog + 1; p < prog + programSize_; p += NodeSize(p)) {
    const uint8_t op = *p;
    if (op == rxBackRef || op == rxBackRefCI) {
      hasBackRefs_ = true;
      backRefs.push_back(p);
    }
    if (op == rxJumpBack || op == rxLoop || op == rxLoopLazy) loopEnds.push_back(p);
    uint8_t repeated[256];
    const uint8_t* after;
    if (IsSingleCharRepeat(op)) {
      if (!NodeCharSet(ShapeOf(p).repeated, repeated)) continue;
      after = NextNode(p);
    } else if (const TDotLoop loop = DotLoopAt(p); loop.min >= 0) {
      if (dotLoopOf_.empty()) dotLoopOf_.assign(static_cast<size_t>(programSize_), -1);
      dotLoopOf_[static_cast<size_t>(p - prog)] = static_cast<int32_t>(dotLoops_.size());
      dotLoops_.push_back(loop);
      // '.' without s takes every character but the line separators (a pair's head only
      // before its tail, so counting the head in is on the safe side).
      std::memset(repeated, 1, sizeof repeated);
      repeated[0] = 0;
      for (unsigned char c : LineSeparatorChars_) repeated[c] = 0;
      after = loop.exit;
    } else {
      continue;
    }
    const uint8_t* f = SkipMarks(after);
    TRepeatHint hint;
    if (!f || !NodeCharSet(f, hint.follow)) continue;
    hint.possessive = true;
    for (int c = 0; c < 256; ++c)
      if (repeated[c] && hint.follow[c]) hint.possessive = false;
    hintOf_[static_cast<size_t>(p - prog)] = static_cast<int32_t>(repeatHints_.size());
    repeatHints_.push_back(hint);
  }
  // A loop's body lies between the node its end leads back to and the end itself.
  for (const uint8_t* end : loopEnds) {
    const uint8_t* start =
        *end == rxJumpBack ? NextNode(end) : end + RdInt(Operand(end) + 2 * kIntSz);
    for (const uint8_t* ref : backRefs) {
      if (ref >= start && ref < end) {
        if (markOf_.empty()) markOf_.assign(static_cast<size_t>(programSize_), -1);
        markOf_[static_cast<size_t>(end - prog)] = static_cast<int32_t>(iterMark_.size());
        iterMark_.push_back(0);
        break;
      }
    }
  }
}

bool TRegexEngine::PossessiveAt(int32_t offset) const {
  if (offset < 0 || static_cast<size_t>(offset) >= hintOf_.size() || hintOf_[offset] < 0)
    return false;
  return repeatHints_[static_cast<size_t>(hintOf_[offset])].possessive;
}

// The first-character set, the first literal, the anchored flag, the required literal and the
// leading run of one character class.
// The byte of the required literal that the search looks for first: the least common one.
void TRegexEngine::ChooseRareByte() {
  regMustRare_ = 0;
  for (int32_t i = 1; i < regMustLen_; ++i)
    if (ByteCommonness(static_cast<unsigned char>(regMust_[i])) <
        ByteCommonness(static_cast<unsigned char>(regMust_[regMustRare_])))
      regMustRare_ = i;
}

void TRegexEngine::ComputeStartHints() {
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
  firstLiteralText_ = nullptr;
  firstLiteralLen_ = 0;
  anchored_ = 0;
  regMust_ = nullptr;
  regMustLen_ = 0;
  regMustRare_ = 0;
  leadRun_ = TLeadRun{};
  const uint8_t* scan = program_.get() + 1;  // the first branch
  if (*NextNode(scan) != rxEnd) return;
  scan = Operand(scan);
  if (*scan == rxLiteral) {
    firstLiteral_ = *Operand(scan);
    firstLiteralText_ = reinterpret_cast<const char*>(Operand(scan));
    firstLiteralLen_ = static_cast<int32_t>(std::strlen(firstLiteralText_));
  } else if (*scan == rxInputStart) {
    ++anchored_;
  }
  {
    // Every match holds each literal of the top-level chain; the longest one (a later one
    // winning a tie) is looked for before any attempt, unless it is the leading literal, which
    // the search looks for anyway.
    const char* longest = nullptr;
    int32_t len = 0;
    for (const uint8_t* p = scan; p; p = NextNode(p)) {
      if (*p == rxLiteral) {
        const char* lit = reinterpret_cast<const char*>(Operand(p));
        int32_t l = static_cast<int32_t>(std::strlen(lit));
        if (l >= len) {
          longest = lit;
          len = l;
        }
      }
    }
    if (longest != firstLiteralText_) {
      regMust_ = longest;
      regMustLen_ = len;
      ChooseRareByte();
    }
  }

  // A match that begins with a repeat of one character class (after group openings, which
  // only record the position) reaches, from a later position of the same run, only states it
  // reached from the run's earlier position; without back-references the recorded positions
  // cannot change the outcome.
  if (hasBackRefs_) return;
  const uint8_t* p = SkipMarks(scan);
  if (!p) return;
  if (IsSingleCharRepeat(*p)) {
    const RepeatShape shape = ShapeOf(p);
    if (*shape.repeated == rxBackRef || *shape.repeated == rxBackRefCI) return;
    leadRun_ = {shape.repeated, shape.min, shape.max >= kBracesMax};
  } else if (const TDotLoop loop = DotLoopAt(p); loop.min >= 0) {
    // '.' without s under a greedy star or plus
    leadRun_ = {*p == rxBranch ? Operand(p) : p, loop.min, true};
  } else if (*p == rxLoopEntry) {
    // The same under a lazy quantifier: a counted loop whose body is the one node.
    const uint8_t* loop = NextNode(p);
    const uint8_t* body = Operand(p);
    if (loop && (*loop == rxLoop || *loop == rxLoopLazy) && *body == rxAnyButSeparator &&
        NextNode(body) == loop && loop + RdInt(Operand(loop) + 2 * kIntSz) == body)
      leadRun_ = {body, RdInt(Operand(loop)), RdInt(Operand(loop) + kIntSz) >= kBracesMax};
  }
}

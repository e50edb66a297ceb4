// The matcher: walks the program from one start position with an explicit backtracking stack
// on the heap, so the depth of a match is bounded by memory, not by the thread's stack.
//
// The stack holds two sorts of 8-byte entries. A choice point records where to resume after a
// failure (the next alternative of a choice, the next count of a repeat, the other way out of a
// counted loop) and the cursor to resume with. An undo record holds the old value of a group
// position, a loop counter or the loop depth that was changed after the choice point below it.
// A failure pops entries, restoring what the undo records hold, until it reaches a choice point
// and resumes there; the state is then exactly what it was when the choice was made.
#include <cstring>
#include <memory>

#include "editor-services/regex/regex_engine.h"
#include "editor-services/regex/regex_program.h"

using namespace regex_program;

namespace {

// Kinds of stack entries (the low 4 bits of the first word).
enum : uint32_t {
  kAlt = 0,         // next alternative of a choice: branch node, cursor
  kRepeat = 1,      // next count of a repeat: repeat node, start; the entry below holds k, count
  kLoopBody = 2,    // lazy loop: one more iteration: loop node, cursor
  kLoopNext = 3,    // greedy loop: leave the loop: loop node, cursor
  kUndoStart = 4,   // group start n: old position
  kUndoEnd = 5,     // group end n: old position
  kUndoCounter = 6, // loop counter of a level: old value
  kUndoDepth = 7,   // loop depth: old value
  kUndoMark = 8,    // where a loop that may go round empty last ended: old position
};
constexpr uint32_t kNoPos = 0xFFFFFFFFu;
constexpr int64_t kResumeCost = 8, kPushCost = 1;
constexpr size_t kChunkEntries = size_t{1} << 16;
constexpr size_t kChunksMax = kRegexStackBytesMax / sizeof(uint64_t) / kChunkEntries;
constexpr size_t kChunksKept = 8;

inline uint32_t Word(uint32_t kind, uint32_t slot) { return (slot << 4) | kind; }

inline unsigned char UC(char c) { return static_cast<unsigned char>(c); }

}  // namespace

bool TRegexEngine::IsWordChar(const char* p) const {
  return p >= inputStart_ && p < inputEnd_ && wordSet_[UC(*p)];
}

void TRegexEngine::MatchFailure(int32_t code) {
  ClearStack();
  ClearGroups();
  loopStackIdx_ = 0;
  RaiseError(code);
}

void TRegexEngine::ClearStack() {
  if (chunks_.empty()) NextChunk();
  chunkIndex_ = 0;
  chunkBegin_ = chunks_[0].get();
  chunkEnd_ = chunkBegin_ + kChunkEntries;
  top_ = chunkBegin_;
}

// Moves to the next chunk, allocating it when needed; the chunks stay in place, so growing the
// stack never copies it.
void TRegexEngine::NextChunk() {
  const size_t next = chunks_.empty() ? 0 : chunkIndex_ + 1;
  if (next >= kChunksMax) MatchFailure(reeMatchRecursionTooDeep);
  if (next == chunks_.size()) chunks_.push_back(std::make_unique_for_overwrite<uint64_t[]>(kChunkEntries));
  chunkIndex_ = next;
  chunkBegin_ = chunks_[next].get();
  chunkEnd_ = chunkBegin_ + kChunkEntries;
  top_ = chunkBegin_;
}

// Gives back the memory of a stack that grew large; a few chunks are kept for the next search.
void TRegexEngine::TrimStack() {
  if (chunks_.size() > kChunksKept) chunks_.resize(kChunksKept);
  chunkIndex_ = 0;
  chunkBegin_ = chunks_.empty() ? nullptr : chunks_[0].get();
  chunkEnd_ = chunkBegin_ ? chunkBegin_ + kChunkEntries : nullptr;
  top_ = chunkBegin_;
}

inline void TRegexEngine::Push(uint32_t word, uint32_t value) {
  if (top_ == chunkEnd_) [[unlikely]]
    NextChunk();
  *top_++ = (static_cast<uint64_t>(value) << 32) | word;
}

inline uint64_t TRegexEngine::Pop() {
  if (top_ == chunkBegin_) [[unlikely]] {
    --chunkIndex_;
    chunkBegin_ = chunks_[chunkIndex_].get();
    chunkEnd_ = chunkBegin_ + kChunkEntries;
    top_ = chunkEnd_;
  }
  return *--top_;
}

// Work is counted in eighths of a backtracking step: resuming a choice point is a step, making
// one costs an eighth, and so does each character a repeat scans or skips.
inline void TRegexEngine::Step(int64_t eighths) {
  steps_ += eighths;
  if (steps_ > stepBound_) [[unlikely]]
    MatchFailure(reeMatchLimitExceeded);
}

// How many times the single-character node p matches from `from` on, at most max times (for a
// back-reference: whole copies of the captured text).
int32_t TRegexEngine::RegRepeat(const uint8_t* p, const char* from, int32_t max) {
  const char* scan = from;
  const uint8_t* opnd = Operand(p);
  ptrdiff_t left = inputEnd_ - scan;
  int32_t limit = left < max ? static_cast<int32_t>(left) : max;
  int32_t count = 0;
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
      while (count < limit && (UC(scan[count]) == opnd[0] || UC(scan[count]) == opnd[1] ||
                               UC(scan[count]) == opnd[2]))
        ++count;
      break;
    case rxNotSet3:
      while (count < limit && UC(scan[count]) != opnd[0] && UC(scan[count]) != opnd[1] &&
             UC(scan[count]) != opnd[2])
        ++count;
      break;
    case rxSet256:
      while (count < limit && (opnd[UC(scan[count]) >> 3] & (1u << (UC(scan[count]) & 7))))
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
          if (a != b && !(ci && UC(a) == invert_[UC(b)])) {
            same = false;
            break;
          }
        }
        if (!same) break;
        scan += glen;
        ++count;
      }
      return count;
    }
    default:
      MatchFailure(reeRegRepeatCalledInappropriately);
  }
  return count;
}

// Characters from `from` on matched one by one by a single-character node, at most cap.
int32_t TRegexEngine::RunLength(const uint8_t* node, const char* from, int32_t cap) {
  if (*node != rxAnyButSeparator) return RegRepeat(node, from, cap);
  const ptrdiff_t left = inputEnd_ - from;
  const int32_t limit = left < cap ? static_cast<int32_t>(left) : cap;
  int32_t n = 0;
  for (; n < limit; ++n) {
    const char c = from[n];
    if (lineSepSet_[UC(c)]) break;
    if (linePairedAssigned_ && c == linePairedHead_ && n + 1 < left && from[n + 1] == linePairedTail_)
      break;
  }
  return n;
}

// Whether the loop iteration ending at `node` ended where the previous one on this path did;
// otherwise records where it ended.
bool TRegexEngine::EmptyIteration(const uint8_t* node, const char* cur) {
  const int32_t mark = markOf_[static_cast<size_t>(node - program_.get())];
  if (mark < 0) return false;
  uint32_t& last = iterMark_[static_cast<size_t>(mark)];
  if (last == Offset(cur)) return true;
  Push(Word(kUndoMark, static_cast<uint32_t>(mark)), last);
  last = Offset(cur);
  return false;
}

// Picks the first alternative from branch b on that can begin at the cursor, leaves a choice
// point for the next such alternative, and continues with the picked one. An alternative that
// begins with a literal cannot match where its first character is not.
bool TRegexEngine::TakeAlternative(const uint8_t*& scan, const char* cur) {
  auto canStart = [cur](const uint8_t* branch) {
    const uint8_t* alt = Operand(branch);
    return *alt != rxLiteral || Operand(alt)[0] == UC(*cur);
  };
  const uint8_t* b = scan;
  while (b && *b == rxBranch && !canStart(b)) b = NextNode(b);
  if (!b || *b != rxBranch) return false;
  const uint8_t* n = NextNode(b);
  while (n && *n == rxBranch && !canStart(n)) n = NextNode(n);
  if (n && *n == rxBranch) {
    Step(kPushCost);
    Push(Word(kAlt, static_cast<uint32_t>(n - program_.get())), Offset(cur));
  }
  scan = Operand(b);
  return true;
}

// Moves the cursor to the k-th count of a repeat that started at `from` and matched `count`
// times, or to the next count after k in the repeat's order that can lead to a match; leaves a
// choice point for the counts after it. False when no count is left.
bool TRegexEngine::TakeRepeatCount(const uint8_t* node, const char* from, int32_t k,
                                   int32_t count, const uint8_t*& scan, const char*& cur) {
  const int32_t offset = static_cast<int32_t>(node - program_.get());
  const int32_t dotLoop = dotLoopOf_.empty() ? -1 : dotLoopOf_[static_cast<size_t>(offset)];
  RepeatShape shape;
  const uint8_t* after;
  if (dotLoop >= 0) {
    const TDotLoop& loop = dotLoops_[static_cast<size_t>(dotLoop)];
    shape = {loop.min, kRepeatMax, node, false};
    after = loop.exit;
  } else {
    shape = ShapeOf(node);
    after = NextNode(node);
  }
  ptrdiff_t unit = 1;
  if (*shape.repeated == rxBackRef || *shape.repeated == rxBackRefCI) {
    const int n = Operand(shape.repeated)[0];
    unit = (startp_[n] && endp_[n]) ? endp_[n] - startp_[n] : 0;
  }
  const int32_t hintIndex = hintOf_[static_cast<size_t>(offset)];
  const int32_t first = k;
  if (hintIndex >= 0) {
    const TRepeatHint& hint = repeatHints_[static_cast<size_t>(hintIndex)];
    if (hint.possessive) {
      // Every shorter count leaves the cursor on a character the rest cannot start with.
      if (k != (shape.lazy ? shape.min : count)) return false;
      k = count;
      if (!hint.follow[UC(from[k])]) return false;
      cur = from + k;
      scan = after;
      return true;
    }
    if (shape.lazy) {
      while (k <= count && !hint.follow[UC(from[k])]) ++k;
      if (k > count) return false;
    } else {
      while (k >= shape.min && !hint.follow[UC(from[k])]) --k;
      if (k < shape.min) return false;
    }
    Step(shape.lazy ? k - first : first - k);
  }
  const int32_t following = shape.lazy ? k + 1 : k - 1;
  if (shape.lazy ? following <= count : following >= shape.min) {
    Step(kPushCost);
    Push(static_cast<uint32_t>(following), static_cast<uint32_t>(count));
    Push(Word(kRepeat, static_cast<uint32_t>(offset)), Offset(from));
  }
  cur = from + unit * k;
  scan = after;
  return true;
}

// A greedy loop over '.' without s: the characters up to the next line separator are counted
// at once and tried from the most, as a repeat of one character.
bool TRegexEngine::StartDotLoop(const uint8_t*& scan, const char*& cur) {
  const TDotLoop& loop =
      dotLoops_[static_cast<size_t>(dotLoopOf_[static_cast<size_t>(scan - program_.get())])];
  const int32_t count = RunLength(*scan == rxBranch ? Operand(scan) : scan, cur, kRepeatMax);
  Step(count);
  if (count < loop.min) return false;
  return TakeRepeatCount(scan, cur, count, count, scan, cur);
}

// One attempt at `at`: true with regInput_ at the end of the match, false when every way of
// matching has failed (the groups and loop counters are then as they were).
bool TRegexEngine::MatchAt(const char* at) {
  const uint8_t* const prog = program_.get();
  const char* const end = inputEnd_;
  const char* cur = at;
  const uint8_t* scan = prog + 1;
  ClearStack();
  for (uint32_t& mark : iterMark_) mark = kNoPos;

  for (;;) {
    // Forward: follow the chain of nodes until the end of the program or a failure.
    for (;;) {
      const uint8_t op = *scan;
      const uint8_t* next = NextNode(scan);
      const uint8_t* opnd = Operand(scan);
      switch (op) {
        case rxEnd:
          regInput_ = cur;
          return true;
        case rxWordBoundary:
        case rxNotWordBoundary: {
          const bool before = IsWordChar(cur - 1);
          const bool after = IsWordChar(cur);
          if ((before != after) != (op == rxWordBoundary)) goto fail;
          break;
        }
        case rxInputStart:
          if (cur != inputStart_) goto fail;
          break;
        case rxLineStart: {
          if (cur == inputStart_) break;
          const char prev = cur[-1];
          if (linePairedAssigned_) {
            if (prev == linePairedTail_ && cur - 1 > inputStart_ && cur[-2] == linePairedHead_)
              break;
            if (prev == linePairedHead_ && cur < end && *cur == linePairedTail_) goto fail;
          }
          if (!lineSepSet_[UC(prev)]) goto fail;
          break;
        }
        case rxInputEnd:
          if (cur != end) goto fail;
          break;
        case rxLineEnd: {
          if (cur == end) break;
          if (linePairedAssigned_) {
            if (*cur == linePairedHead_ && cur + 1 < end && cur[1] == linePairedTail_) break;
            if (*cur == linePairedTail_ && cur > inputStart_ && cur[-1] == linePairedHead_)
              goto fail;
          }
          if (!lineSepSet_[UC(*cur)]) goto fail;
          break;
        }
        case rxAnyChar:
          if (cur >= end) goto fail;
          ++cur;
          break;
        case rxAnyButSeparator:
          if (!dotLoopOf_.empty() && dotLoopOf_[static_cast<size_t>(scan - prog)] >= 0) {
            if (!StartDotLoop(scan, cur)) goto fail;
            continue;
          }
          if (cur >= end) goto fail;
          if (linePairedAssigned_ && *cur == linePairedHead_ && cur + 1 < end &&
              cur[1] == linePairedTail_)
            goto fail;
          if (lineSepSet_[UC(*cur)]) goto fail;
          ++cur;
          break;
        case rxLiteral: {
          // The input ends with a NUL that no literal holds, so the first test is safe at the end.
          const char* s = reinterpret_cast<const char*>(opnd);
          if (*s != *cur) goto fail;
          if (s[1] != '\0') {
            const size_t len = std::strlen(s);
            if (static_cast<size_t>(end - cur) < len) goto fail;
            if (std::memcmp(s + 1, cur + 1, len - 1) != 0) goto fail;
            cur += len;
          } else {
            ++cur;
          }
          break;
        }
        case rxLiteralCI: {
          const char* q = cur;
          for (const uint8_t* s = opnd; *s; ++s, ++q) {
            if (q >= end) goto fail;
            if (UC(*q) != *s && UC(*q) != invert_[*s]) goto fail;
          }
          cur = q;
          break;
        }
        case rxDigit:
          if (cur >= end || *cur < '0' || *cur > '9') goto fail;
          ++cur;
          break;
        case rxNonDigit:
          if (cur >= end || (*cur >= '0' && *cur <= '9')) goto fail;
          ++cur;
          break;
        case rxSet3:
          if (cur >= end || (UC(*cur) != opnd[0] && UC(*cur) != opnd[1] && UC(*cur) != opnd[2]))
            goto fail;
          ++cur;
          break;
        case rxNotSet3:
          if (cur >= end || UC(*cur) == opnd[0] || UC(*cur) == opnd[1] || UC(*cur) == opnd[2])
            goto fail;
          ++cur;
          break;
        case rxSet256:
          if (cur >= end || !(opnd[UC(*cur) >> 3] & (1u << (UC(*cur) & 7)))) goto fail;
          ++cur;
          break;
        case rxBackRef:
        case rxBackRefCI: {
          const int n = opnd[0];
          if (!startp_[n] || !endp_[n]) goto fail;
          const ptrdiff_t glen = endp_[n] - startp_[n];
          if (glen < 0 || end - cur < glen) goto fail;
          for (ptrdiff_t k = 0; k < glen; ++k) {
            const char a = cur[k], b = startp_[n][k];
            if (a != b && !(op == rxBackRefCI && UC(a) == invert_[UC(b)])) goto fail;
          }
          cur += glen;
          break;
        }
        case rxNothing:
        case rxComment:
          break;
        case rxJumpBack:
          if (!markOf_.empty() && EmptyIteration(scan, cur)) goto fail;
          break;
        case rxBranch:
          if (next == nullptr || *next != rxBranch) {
            next = opnd;  // no choice
            break;
          }
          if (!dotLoopOf_.empty() && dotLoopOf_[static_cast<size_t>(scan - prog)] >= 0) {
            if (!StartDotLoop(scan, cur)) goto fail;
            continue;
          }
          if (!TakeAlternative(scan, cur)) goto fail;
          continue;
        case rxLoopEntry: {
          if (loopStackIdx_ >= kRegexLoopMax) MatchFailure(reeLoopStackExceeded);
          Push(Word(kUndoDepth, 0), static_cast<uint32_t>(loopStackIdx_));
          const int32_t level = ++loopStackIdx_;
          if (loopStack_[level] != 0) {
            Push(Word(kUndoCounter, static_cast<uint32_t>(level)),
                 static_cast<uint32_t>(loopStack_[level]));
            loopStack_[level] = 0;
          }
          break;
        }
        case rxLoop:
        case rxLoopLazy: {
          if (loopStackIdx_ <= 0) MatchFailure(reeLoopWithoutEntry);
          const int32_t d = loopStackIdx_;
          const int32_t lo = RdInt(opnd);
          const int32_t hi = RdInt(opnd + kIntSz);
          const uint8_t* body = scan + RdInt(opnd + 2 * kIntSz);
          const uint32_t self = static_cast<uint32_t>(scan - prog);
          // Going round again after an empty iteration past the minimum only repeats states
          // already reached.
          if (!markOf_.empty() && loopStack_[d] > lo && EmptyIteration(scan, cur)) goto fail;
          bool again = loopStack_[d] < lo;
          if (!again && loopStack_[d] < hi) {
            // Greedy: another iteration first, leaving the loop is the way back; lazy: the
            // other way round.
            Step(kPushCost);
            Push(Word(op == rxLoop ? kLoopNext : kLoopBody, self), Offset(cur));
            again = op == rxLoop;
          }
          if (again) {
            Push(Word(kUndoCounter, static_cast<uint32_t>(d)),
                 static_cast<uint32_t>(loopStack_[d]));
            ++loopStack_[d];
            next = body;
          } else {
            Push(Word(kUndoDepth, 0), static_cast<uint32_t>(d));
            loopStackIdx_ = d - 1;
          }
          break;
        }
        case rxStar:
        case rxPlus:
        case rxBraces:
        case rxStarLazy:
        case rxPlusLazy:
        case rxBracesLazy: {
          const RepeatShape shape = ShapeOf(scan);
          int32_t count;
          if (*shape.repeated == rxBackRef || *shape.repeated == rxBackRefCI) {
            const int n = Operand(shape.repeated)[0];
            if (startp_[n] && endp_[n] && endp_[n] == startp_[n])
              // An empty capture matches empty at every count: only the minimum can differ.
              count = shape.min <= shape.max ? shape.min : 0;
            else
              count = RegRepeat(shape.repeated, cur, shape.max);
          } else {
            count = RegRepeat(shape.repeated, cur, shape.max);
          }
          Step(count);
          if (count < shape.min) goto fail;
          if (!TakeRepeatCount(scan, cur, shape.lazy ? shape.min : count, count, scan, cur))
            goto fail;
          continue;
        }
        default:
          if (op > rxOpen && op < rxOpen + kRegexSubExprs) {
            const int n = op - rxOpen;
            if (startp_[n] != cur) {
              Push(Word(kUndoStart, static_cast<uint32_t>(n)),
                   startp_[n] ? Offset(startp_[n]) : kNoPos);
              startp_[n] = cur;
            }
            break;
          }
          if (op > rxClose && op < rxClose + kRegexSubExprs) {
            const int n = op - rxClose;
            if (endp_[n] != cur) {
              Push(Word(kUndoEnd, static_cast<uint32_t>(n)),
                   endp_[n] ? Offset(endp_[n]) : kNoPos);
              endp_[n] = cur;
            }
            break;
          }
          MatchFailure(reeMatchPrimMemoryCorruption);
      }
      if (next == nullptr) MatchFailure(reeMatchPrimCorruptedPointers);
      scan = next;
    }

  fail:
    // Backward: undo changes down to the latest choice point and resume there.
    for (;;) {
      if (StackEmpty()) return false;
      const uint64_t e = Pop();
      const uint32_t word = static_cast<uint32_t>(e);
      const uint32_t value = static_cast<uint32_t>(e >> 32);
      const uint32_t slot = word >> 4;
      if ((word & 15u) < kUndoStart) Step(kResumeCost);
      switch (word & 15u) {
        case kUndoStart:
          startp_[slot] = value == kNoPos ? nullptr : PosOf(value);
          continue;
        case kUndoEnd:
          endp_[slot] = value == kNoPos ? nullptr : PosOf(value);
          continue;
        case kUndoCounter:
          loopStack_[slot] = static_cast<int32_t>(value);
          continue;
        case kUndoDepth:
          loopStackIdx_ = static_cast<int32_t>(value);
          continue;
        case kUndoMark:
          iterMark_[slot] = value;
          continue;
        case kAlt:
          cur = PosOf(value);
          scan = prog + slot;
          if (!TakeAlternative(scan, cur)) continue;
          break;
        case kRepeat: {
          const uint64_t data = Pop();
          const int32_t k = static_cast<int32_t>(static_cast<uint32_t>(data));
          const int32_t count = static_cast<int32_t>(data >> 32);
          if (!TakeRepeatCount(prog + slot, PosOf(value), k, count, scan, cur)) continue;
          break;
        }
        case kLoopBody: {
          cur = PosOf(value);
          const uint8_t* loop = prog + slot;
          const int32_t d = loopStackIdx_;
          Push(Word(kUndoCounter, static_cast<uint32_t>(d)),
               static_cast<uint32_t>(loopStack_[d]));
          ++loopStack_[d];
          scan = loop + RdInt(Operand(loop) + 2 * kIntSz);
          break;
        }
        case kLoopNext: {
          cur = PosOf(value);
          const uint8_t* loop = prog + slot;
          const int32_t d = loopStackIdx_;
          Push(Word(kUndoDepth, 0), static_cast<uint32_t>(d));
          loopStackIdx_ = d - 1;
          scan = NextNode(loop);
          if (scan == nullptr) MatchFailure(reeMatchPrimCorruptedPointers);
          break;
        }
        default:
          MatchFailure(reeMatchPrimMemoryCorruption);
      }
      break;
    }
  }
}

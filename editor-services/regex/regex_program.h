#pragma once
// Layout of the byte program shared by the compiler, the matcher and the search (not part of the
// engine's public interface).
#include <cstdint>
#include <cstring>

#include "editor-services/regex/regex_engine.h"

namespace regex_program {

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

inline bool IsSingleCharRepeat(uint8_t op) {
  return op == rxStar || op == rxPlus || op == rxBraces || op == rxStarLazy || op == rxPlusLazy ||
         op == rxBracesLazy;
}

// Minimum, maximum and repeated node of a single-character repeat node.
struct RepeatShape {
  int32_t min;
  int32_t max;
  const uint8_t* repeated;
  bool lazy;
};
inline RepeatShape ShapeOf(const uint8_t* node) {
  const uint8_t op = *node;
  const uint8_t* opnd = Operand(node);
  switch (op) {
    case rxStar: return {0, kRepeatMax, opnd, false};
    case rxStarLazy: return {0, kRepeatMax, opnd, true};
    case rxPlus: return {1, kRepeatMax, opnd, false};
    case rxPlusLazy: return {1, kRepeatMax, opnd, true};
    default:  // braces
      return {RdInt(opnd), RdInt(opnd + kIntSz), opnd + 2 * kIntSz, op == rxBracesLazy};
  }
}

}  // namespace regex_program

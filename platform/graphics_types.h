#pragma once
// Plain geometry records: points, sizes and rectangles in pixels. A rectangle's right and
// bottom edges are exclusive.
#include <algorithm>

struct TPoint {
  int X = 0, Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

struct TSize {
  int cx = 0, cy = 0;
  constexpr bool operator==(const TSize&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  constexpr int Width() const { return Right - Left; }
  constexpr int Height() const { return Bottom - Top; }
  constexpr bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  constexpr bool Contains(TPoint p) const {
    return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom;
  }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TPoint Point(int x, int y) { return TPoint{x, y}; }
constexpr TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
constexpr TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }

// The common part of two rectangles; false (and an empty result) when they do not meet.
inline bool IntersectRect(TRect& out, const TRect& a, const TRect& b) {
  out = TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom)};
  if (out.IsEmpty()) {
    out = TRect{};
    return false;
  }
  return true;
}

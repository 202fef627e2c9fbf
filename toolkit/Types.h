#pragma once
// Geometry of the toolkit. A TRect is exclusive on its right and bottom, as the toolkit's
// controls and device contexts use it.
#include <algorithm>

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TSize {
  int cx = 0, cy = 0;
  bool operator==(const TSize&) const = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
  bool operator==(const TRect&) const = default;
};

inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

// The common part of two rectangles; an empty rectangle when they do not meet.
inline TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.IsEmpty()) return {};
  return r;
}

inline bool RectsMeet(const TRect& a, const TRect& b) { return !IntersectRect(a, b).IsEmpty(); }

#include "toolkit/ClipRegion.h"

#include <algorithm>
#include <atomic>

namespace {

int64_t Area(const TRect& r) { return int64_t{r.Width()} * r.Height(); }

TRect Bounding(const TRect& a, const TRect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

// Appends what is left of p once r is taken out: up to four rectangles, bands above and below r
// over p's whole width and the pieces beside r between them.
void AppendDifference(const TRect& p, const TRect& r, std::vector<TRect>& out) {
  const TRect cut = IntersectRect(p, r);
  if (cut.IsEmpty()) {
    out.push_back(p);
    return;
  }
  if (p.Top < cut.Top) out.push_back({p.Left, p.Top, p.Right, cut.Top});
  if (p.Left < cut.Left) out.push_back({p.Left, cut.Top, cut.Left, cut.Bottom});
  if (cut.Right < p.Right) out.push_back({cut.Right, cut.Top, p.Right, cut.Bottom});
  if (cut.Bottom < p.Bottom) out.push_back({p.Left, cut.Bottom, p.Right, p.Bottom});
}

// Every clip change anywhere gets a number of its own, so that a device that compares the number
// with the one it applied never mistakes another state for its own.
std::atomic<uint64_t> gNextClipId{1};

}  // namespace

TClipRegion TClipRegion::FromRects(const std::vector<TRect>& rects) {
  TClipRegion region;
  std::vector<TRect> parts;
  for (const TRect& r : rects) {
    if (r.IsEmpty()) continue;
    // Only what no earlier rectangle covers is added, so the parts stay disjoint.
    std::vector<TRect> pieces{r};
    for (const TRect& have : parts) {
      std::vector<TRect> rest;
      for (const TRect& piece : pieces) AppendDifference(piece, have, rest);
      pieces = std::move(rest);
    }
    parts.insert(parts.end(), pieces.begin(), pieces.end());
  }
  region.FParts = std::move(parts);
  region.Normalize();
  return region;
}

int TClipRegion::Kind() const {
  if (IsEmpty()) return NULLREGION;
  return FParts.empty() ? SIMPLEREGION : COMPLEXREGION;
}

bool TClipRegion::Meets(const TRect& r) const {
  if (r.IsEmpty() || !RectsMeet(FBox, r)) return false;
  if (FParts.empty()) return true;
  return std::any_of(FParts.begin(), FParts.end(), [&](const TRect& p) { return RectsMeet(p, r); });
}

bool TClipRegion::Contains(int x, int y) const {
  if (!FBox.Contains({x, y})) return false;
  if (FParts.empty()) return true;
  return std::any_of(FParts.begin(), FParts.end(), [&](const TRect& p) { return p.Contains({x, y}); });
}

void TClipRegion::Intersect(const TRect& r) {
  if (FParts.empty()) {
    FBox = IntersectRect(FBox, r);
    return;
  }
  std::vector<TRect> kept;
  kept.reserve(FParts.size());
  for (const TRect& p : FParts) {
    const TRect cut = IntersectRect(p, r);
    if (!cut.IsEmpty()) kept.push_back(cut);
  }
  FParts = std::move(kept);
  Normalize();
}

void TClipRegion::Subtract(const TRect& r) {
  if (!RectsMeet(FBox, r)) return;
  std::vector<TRect> rest;
  if (FParts.empty()) AppendDifference(FBox, r, rest);
  else
    for (const TRect& p : FParts) AppendDifference(p, r, rest);
  FParts = std::move(rest);
  Normalize();
}

void TClipRegion::Normalize() {
  if (FParts.empty()) {
    FBox = {};
    return;
  }
  TRect box = FParts.front();
  int64_t area = 0;
  for (const TRect& p : FParts) {
    box = Bounding(box, p);
    area += Area(p);
  }
  FBox = box;
  // Disjoint parts fill their bounds exactly when their areas add up to it.
  if (area == Area(box)) FParts.clear();
}

// ---------------------------------------------------------------------------------------------

TClippedDeviceContext::TClippedDeviceContext(TClipRegion initialClip) {
  FState.Clip = std::move(initialClip);
  ClipChanged();
}

void TClippedDeviceContext::ClipChanged() { FState.ClipId = gNextClipId.fetch_add(1, std::memory_order_relaxed); }

int TClippedDeviceContext::SaveDC() {
  FSaved.push_back(FState);
  return static_cast<int>(FSaved.size());
}

bool TClippedDeviceContext::RestoreDC(int level) {
  const int count = static_cast<int>(FSaved.size());
  if (level < 0) level = count + 1 + level;
  if (level < 1 || level > count) return false;
  FState = std::move(FSaved[static_cast<size_t>(level - 1)]);
  FSaved.resize(static_cast<size_t>(level - 1));
  return true;
}

int TClippedDeviceContext::IntersectClipRect(const TRect& r) {
  const bool wasRect = FState.Clip.IsRect();
  const TRect before = FState.Clip.Box();
  FState.Clip.Intersect(ToDevice(r));
  // Narrowing a rectangle to one that holds it already is common (a child inside the paint) and
  // leaves nothing for the device to apply anew.
  if (!wasRect || FState.Clip.Box() != before) ClipChanged();
  return FState.Clip.Kind();
}

int TClippedDeviceContext::ExcludeClipRect(const TRect& r) {
  const TRect device = ToDevice(r);
  if (FState.Clip.Meets(device)) {
    FState.Clip.Subtract(device);
    ClipChanged();
  }
  return FState.Clip.Kind();
}

int TClippedDeviceContext::GetClipBox(TRect& box) const {
  if (FState.Clip.IsEmpty()) box = {};
  else box = FState.Clip.Box().Offset(-FState.Origin.X, -FState.Origin.Y);
  return FState.Clip.Kind();
}

bool TClippedDeviceContext::RectVisible(const TRect& r) const { return FState.Clip.Meets(ToDevice(r)); }

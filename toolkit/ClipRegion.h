#pragma once
// The origin and clip region of a device context, for devices whose system keeps no such state
// itself (a Qt painter, a picture in memory): the state, its stack of saved levels and the clip
// operations are written once here. A device built on the system's own device context (GDI) has
// them from the system instead.
#include <cstdint>
#include <vector>

#include "toolkit/Graphics.h"

// A region of device pixels: a rectangle as long as it is one, which costs no allocation to
// narrow, and disjoint parts only once an exclusion made it more than a rectangle.
class TClipRegion {
public:
  TClipRegion() = default;
  explicit TClipRegion(const TRect& r) : FBox(r.IsEmpty() ? TRect{} : r) {}
  // Any rectangles, overlapping or not.
  static TClipRegion FromRects(const std::vector<TRect>& rects);

  bool IsEmpty() const { return FBox.IsEmpty(); }
  bool IsRect() const { return FParts.empty(); }
  const TRect& Box() const { return FBox; }
  // NULLREGION, SIMPLEREGION or COMPLEXREGION, as the system names them.
  int Kind() const;
  bool Meets(const TRect& r) const;
  bool Contains(int x, int y) const;
  // Calls f with each disjoint rectangle of the region.
  template <typename F> void ForEachRect(F&& f) const {
    if (FParts.empty()) {
      if (!FBox.IsEmpty()) f(FBox);
      return;
    }
    for (const TRect& part : FParts) f(part);
  }

  void Intersect(const TRect& r);
  void Subtract(const TRect& r);
  bool operator==(const TClipRegion&) const = default;

private:
  // Collapses parts that together fill their bounding box into that box.
  void Normalize();

  TRect FBox;                  // bounds of the region; the region itself while FParts is empty
  std::vector<TRect> FParts;   // two or more disjoint, non-empty rectangles, or none
};

// A device context that keeps its origin and clip itself. Devices draw through Origin() and Clip()
// (device coordinates) and may compare ClipId() with the one they last applied: it changes with
// every change of the clip and comes back with the saved level that held it.
class TClippedDeviceContext : public TDeviceContext {
public:
  int SaveDC() override;
  bool RestoreDC(int level) override;
  TPoint ViewportOrg() const override { return FState.Origin; }
  void SetViewportOrg(TPoint org) override { FState.Origin = org; }
  int IntersectClipRect(const TRect& r) override;
  int ExcludeClipRect(const TRect& r) override;
  int GetClipBox(TRect& box) const override;
  bool RectVisible(const TRect& r) const override;

protected:
  explicit TClippedDeviceContext(TClipRegion initialClip);
  TPoint Origin() const { return FState.Origin; }
  const TClipRegion& Clip() const { return FState.Clip; }
  uint64_t ClipId() const { return FState.ClipId; }
  // A logical rectangle in device coordinates.
  TRect ToDevice(const TRect& r) const { return r.Offset(FState.Origin.X, FState.Origin.Y); }

private:
  struct TState {
    TPoint Origin;
    TClipRegion Clip;
    uint64_t ClipId = 0;
  };
  void ClipChanged();

  TState FState;
  std::vector<TState> FSaved;
};

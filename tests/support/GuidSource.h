#pragma once
// Puts a fixed (or refusing) random source behind the GUIDs for the lifetime of the scope, and the
// previous one back afterwards.
#include <utility>

#include "platform/Guid.h"

class TGuidSourceScope {
public:
  explicit TGuidSourceScope(platform::TRandomSource source) : FPrevious(platform::SetGuidRandomSource(std::move(source))) {}
  ~TGuidSourceScope() { platform::SetGuidRandomSource(std::move(FPrevious)); }

private:
  platform::TRandomSource FPrevious;
};

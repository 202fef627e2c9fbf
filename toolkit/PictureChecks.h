#pragma once
// What a bitmap's or an icon's headers claim must be possible with the bytes the file has. The
// checks run before any byte reaches the system's decoder, so that a damaged file fails with the
// loader's own text and a claim of a huge picture allocates nothing. Plain byte work, no system
// calls: every backend's decoders use the same checks.
#include <cstdint>
#include <span>

// Uncompressed rows must all be there, and no picture may claim more pixels than the file could
// justify (JustifiedPixels) or a side beyond 65535.
bool BitmapHeaderPlausible(std::span<const uint8_t> bytes);

// An icon directory (reserved 0, type 1, at least one entry) whose every entry lies inside the
// file and holds a picture (a PNG or a device-independent bitmap with its colour table and
// colour rows) within the same pixel budget.
bool IconHeaderPlausible(std::span<const uint8_t> bytes);

#pragma once
// The compression layer of a surface's Data block. A compressed block is "DIBCMP", the 16-byte
// identifier of the compressor that wrote it, the raw block's length (signed 32-bit), then the
// compressor's output; anything else is a raw block. The program installs no compressor and
// registers none, so it writes raw blocks and refuses compressed ones; the hooks stay for builds
// that add one.
#include <array>
#include <cstdint>
#include <memory>

#include "toolkit/Streams.h"
#include "toolkit/SysUtils.h"

QV_EXCEPTION(EDIBCompressError, Exception)

using TDIBCompressorID = std::array<uint8_t, 16>;

class TDIBCompressor : public TObject {
public:
  QV_CLASS(TDIBCompressor)
  virtual void GetCompressorID(TDIBCompressorID& ID) = 0;
  virtual bool CanDecompress(const TDIBCompressorID& ID) = 0;
  // Compresses Count bytes into Target (room for Count bytes); answers the bytes written, or 0
  // when the data does not get smaller.
  virtual int32_t Compress(const void* Source, void* Target, int32_t Count) = 0;
  // Expands SourceCount bytes into exactly TargetCount bytes. Damaged input must fail with an
  // exception, never write past TargetCount.
  virtual void Decompress(const TDIBCompressorID& ID, const void* Source, void* Target, int32_t SourceCount,
                          int32_t TargetCount) = 0;
};

// The compressor CompressStream uses (none by default). Not owned: register it too if the
// registry should free it.
void SetActiveCompressor(TDIBCompressor* Compressor);
TDIBCompressor* ActiveCompressor();
// Decompressors are asked from the last registered to the first; the registry owns them.
TDIBCompressor* RegisterDecompressor(std::unique_ptr<TDIBCompressor> Compressor);
void UnregisterDecompressor(TDIBCompressor* Compressor);  // frees it

// Source from its position to its end, compressed when the active compressor makes it smaller.
void CompressStream(TStream& Source, TStream& Target);
// The raw content of a block (the whole of Source when it is not compressed).
// "Could not find a suitable decompressor." when no registered decompressor takes the block.
void DecompressStream(TStream& Source, TStream& Target);

// How much larger than its compressed bytes a block may claim to expand; a claim beyond it is a
// damaged block (and would otherwise make a few bytes allocate gigabytes).
constexpr int64_t kMaxExpansion = 1024;

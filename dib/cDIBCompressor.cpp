#include "dib/cDIBCompressor.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr char kSignature[6] = {'D', 'I', 'B', 'C', 'M', 'P'};
constexpr int64_t kHeaderSize = 26;

struct TRegistry {
  TDIBCompressor* Active = nullptr;
  std::vector<std::unique_ptr<TDIBCompressor>> Decompressors;
};

TRegistry& Registry() {
  static TRegistry registry;  // freed, with every registered object, at shut-down
  return registry;
}

}  // namespace

void SetActiveCompressor(TDIBCompressor* Compressor) { Registry().Active = Compressor; }
TDIBCompressor* ActiveCompressor() { return Registry().Active; }

TDIBCompressor* RegisterDecompressor(std::unique_ptr<TDIBCompressor> Compressor) {
  TDIBCompressor* raw = Compressor.get();
  if (raw) Registry().Decompressors.push_back(std::move(Compressor));
  return raw;
}

void UnregisterDecompressor(TDIBCompressor* Compressor) {
  auto& r = Registry();
  if (r.Active == Compressor) r.Active = nullptr;
  std::erase_if(r.Decompressors, [&](const auto& p) { return p.get() == Compressor; });
}

void CompressStream(TStream& Source, TStream& Target) {
  TDIBCompressor* compressor = Registry().Active;
  if (!compressor) {
    Target.CopyFrom(Source, Source.Remaining());
    return;
  }
  // The compressor works on memory: take Source's bytes as they are, or copy them.
  const int64_t start = Source.Position();
  const int64_t n = Source.Size() - start;
  std::vector<uint8_t> copy;
  const uint8_t* bytes;
  if (auto* memory = dynamic_cast<TMemoryStream*>(&Source)) {
    bytes = memory->Memory() + start;
  } else {
    copy.resize(static_cast<size_t>(n));
    Source.ReadBuffer(copy.data(), n);
    Source.SetPosition(start);
    bytes = copy.data();
  }
  int32_t r = 0;
  std::vector<uint8_t> output;
  if (n > 0 && n <= INT32_MAX) {
    output.resize(static_cast<size_t>(n));
    r = compressor->Compress(bytes, output.data(), static_cast<int32_t>(n));
  }
  if (r <= 0 || r > n) {
    Source.SetPosition(start);
    Target.CopyFrom(Source, n);
    return;
  }
  TDIBCompressorID id{};
  compressor->GetCompressorID(id);
  Target.WriteBuffer(kSignature, sizeof kSignature);
  Target.WriteBuffer(id.data(), static_cast<int64_t>(id.size()));
  Target.WriteLE<int32_t>(static_cast<int32_t>(std::min<int64_t>(Source.Size(), INT32_MAX)));
  Target.WriteBuffer(output.data(), r);
  Source.SetPosition(Source.Size());
}

void DecompressStream(TStream& Source, TStream& Target) {
  const int64_t start = Source.Position();
  TDIBCompressorID id{};
  int32_t rawLength = 0;
  bool compressed = false;
  if (Source.Size() >= kHeaderSize) {
    char signature[6];
    Source.ReadBuffer(signature, sizeof signature);
    if (std::memcmp(signature, kSignature, sizeof signature) == 0) {
      Source.ReadBuffer(id.data(), static_cast<int64_t>(id.size()));
      rawLength = Source.ReadLE<int32_t>();
      compressed = true;
    } else {
      Source.SetPosition(start);
    }
  }
  if (!compressed) {
    Target.CopyFrom(Source, 0);
    return;
  }
  TDIBCompressor* decompressor = nullptr;
  auto& list = Registry().Decompressors;
  for (auto it = list.rbegin(); it != list.rend() && !decompressor; ++it)
    if ((*it)->CanDecompress(id)) decompressor = it->get();
  if (!decompressor) throw EDIBCompressError("Could not find a suitable decompressor.");

  const int64_t count = Source.Remaining();
  if (rawLength < 0 || count > INT32_MAX || rawLength > count * kMaxExpansion + 65536)
    throw EReadError("Compressed block is damaged");
  std::vector<uint8_t> input(static_cast<size_t>(count));
  Source.ReadBuffer(input.data(), count);
  std::vector<uint8_t> output(static_cast<size_t>(rawLength));
  decompressor->Decompress(id, input.data(), output.data(), static_cast<int32_t>(count), rawLength);
  Target.WriteBuffer(output.data(), rawLength);
}

// Speed of the surface hot paths: the seven blend routines at each processor level, rotation and
// scaling, and the palette table build, next to a memcpy of the same bytes and pixman's
// compositing of the same pictures, all in one interleaved run.
//
//   build-dib/bench/DIBBench                      # all, interleaved, 5 repetitions, summary table
//   build-dib/bench/DIBBench --benchmark_filter=blend/Opacity
//   QV_DIB_SIMD=sse2 build-dib/bench/DIBBench     # caps the level of the default ("active") path
//
// Figures are Mpixels/s of destination pixels (items_per_second / 1e6); the summary divides each
// blend figure by the memcpy and by pixman's OVER with a solid mask of the same size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "dib/cDIB.h"
#include "dib/cDIBPalette.h"

#ifdef QV_HAVE_PIXMAN
#include <pixman.h>
#endif

namespace {

struct TSize2 {
  int W, H;
};
constexpr TSize2 kSizes[] = {{700, 473}, {2000, 2000}};

std::string SizeName(TSize2 s) { return std::to_string(s.W) + "x" + std::to_string(s.H); }

void FillRandom(TAbstractSuperDIB& s, uint32_t seed) {
  std::mt19937 rng(seed);
  for (size_t i = 0; i < size_t{s.Width()} * s.Height(); ++i) s.Pixels()[i] = rng();
}

// One pair of pictures per size, shared by every benchmark so each measures the same memory.
struct TPictures {
  TMemoryDIB Src, Dst;
  explicit TPictures(TSize2 s) : Src(static_cast<uint16_t>(s.W), static_cast<uint16_t>(s.H)),
                                 Dst(static_cast<uint16_t>(s.W), static_cast<uint16_t>(s.H)) {
    FillRandom(Src, 1);
    FillRandom(Dst, 2);
  }
};

TPictures& Pictures(TSize2 s) {
  static std::map<int, std::unique_ptr<TPictures>> cache;
  auto& p = cache[s.W * 100000 + s.H];
  if (!p) p = std::make_unique<TPictures>(s);
  return *p;
}

void SetPixelRate(benchmark::State& state, TSize2 s) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * s.W * s.H);
}

void BenchMemcpy(benchmark::State& state, TSize2 s) {
  TPictures& p = Pictures(s);
  const size_t bytes = size_t{static_cast<size_t>(s.W)} * s.H * 4;
  for (auto _ : state) {
    std::memcpy(p.Dst.Pixels(), p.Src.Pixels(), bytes);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, s);
}

struct TBlendSetup {
  const char* Name;
  uint8_t Opacity;
  bool Masked, Transparent;
  int KeyShare;  // percent of source pixels that carry the key colour
};

constexpr TBlendSetup kBlends[] = {
    {"Copy", 255, false, false, 0},          {"Opacity", 128, false, false, 0},
    {"Alpha", 255, true, false, 0},          {"AlphaOpacity", 200, true, false, 0},
    {"Key/keys0", 255, false, true, 0},      {"Key/keys50", 255, false, true, 50},
    {"Key/keys100", 255, false, true, 100},  {"KeyOpacity/keys50", 128, false, true, 50},
    {"AlphaCopy", 255, false, false, 0},
};

void BenchBlend(benchmark::State& state, TSize2 s, TBlendSetup b, dib::TSimdLevel level) {
  TPictures& p = Pictures(s);
  TMemoryDIB src(static_cast<uint16_t>(s.W), static_cast<uint16_t>(s.H));
  src.CopyFrom(&p.Src);
  std::mt19937 rng(3);
  const dib::TPixel key = 0x00123456;
  for (size_t i = 0; i < size_t{static_cast<size_t>(s.W)} * s.H; ++i)
    if (static_cast<int>(rng() % 100) < b.KeyShare) src.Pixels()[i] = key | (rng() & 0xFF000000u);
  src.SetTransparentMode(TTransparentMode::tmFixed);
  src.SetTransparentColor(0x00563412);
  src.SetOpacity(b.Opacity);
  src.SetMasked(b.Masked);
  src.SetTransparent(b.Transparent);
  dib::SetActiveSimdLevel(level);
  const bool alphaCopy = std::strcmp(b.Name, "AlphaCopy") == 0;
  for (auto _ : state) {
    if (alphaCopy) src.DrawAlpha(0, 0, s.W, s.H, &p.Dst);
    else src.Draw(0, 0, s.W, s.H, &p.Dst);
    benchmark::ClobberMemory();
  }
  dib::SetActiveSimdLevel(dib::BestSimdLevel());
  SetPixelRate(state, s);
}

void BenchRenderTransformed(benchmark::State& state, TSize2 s) {
  TPictures& p = Pictures(s);
  TMemoryDIB src(static_cast<uint16_t>(s.W), static_cast<uint16_t>(s.H));
  src.CopyFrom(&p.Src);
  src.SetAngle(30);
  src.SetScale(150);
  for (auto _ : state) {
    src.RenderTransformed(&p.Dst);
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, s);
}

#ifdef QV_HAVE_PIXMAN
pixman_image_t* Wrap(TAbstractSuperDIB& d) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, d.Width(), d.Height(), d.Pixels(), d.Width() * 4);
}

void BenchPixmanOver(benchmark::State& state, TSize2 s) {
  TPictures& p = Pictures(s);
  pixman_image_t* src = Wrap(p.Src);
  pixman_image_t* dst = Wrap(p.Dst);
  const pixman_color_t half = {0, 0, 0, 0x8080};
  pixman_image_t* mask = pixman_image_create_solid_fill(&half);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, s.W, s.H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(mask);
  pixman_image_unref(dst);
  pixman_image_unref(src);
  SetPixelRate(state, s);
}

// The same turn and enlargement as BenchRenderTransformed, nearest-neighbour, about the centre.
void BenchPixmanNearest(benchmark::State& state, TSize2 s) {
  TPictures& p = Pictures(s);
  pixman_image_t* src = Wrap(p.Src);
  pixman_image_t* dst = Wrap(p.Dst);
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(-s.W / 2), pixman_int_to_fixed(-s.H / 2));
  pixman_transform_rotate(&t, nullptr, pixman_double_to_fixed(std::cos(std::numbers::pi / 6)),
                          pixman_double_to_fixed(std::sin(std::numbers::pi / 6)));
  pixman_transform_scale(&t, nullptr, pixman_double_to_fixed(1 / 1.5), pixman_double_to_fixed(1 / 1.5));
  pixman_transform_translate(&t, nullptr, pixman_int_to_fixed(s.W / 2), pixman_int_to_fixed(s.H / 2));
  pixman_image_set_transform(src, &t);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, s.W, s.H);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(dst);
  pixman_image_unref(src);
  SetPixelRate(state, s);
}
#endif

void BenchPaletteTable(benchmark::State& state, bool grey, dib::TSimdLevel level) {
  std::vector<TPaletteHandle::Entry> entries(kDIBPaletteEntries);
  std::mt19937 rng(11);
  for (int i = 0; i < kDIBPaletteEntries; ++i) {
    const auto v = static_cast<uint8_t>(255 - i);
    entries[i] = grey ? TPaletteHandle::Entry{v, v, v, 0}
                      : TPaletteHandle::Entry{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), 0};
  }
  std::vector<uint8_t> table(kDIBPaletteTableSize);
  for (auto _ : state) {
    BuildDIBPaletteTable(entries.data(), table.data(), level);
    benchmark::DoNotOptimize(table.data());
  }
}

// The pixel benchmarks in the order they were registered: the summary follows it, whatever order
// the interleaved repetitions ran in.
std::vector<std::string>& RegisteredOrder() {
  static std::vector<std::string> order;
  return order;
}

template <class... Args>
benchmark::internal::Benchmark* RegisterPixels(const std::string& name, Args&&... args) {
  RegisteredOrder().push_back(name);
  return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)->UseRealTime();
}

void RegisterAll() {
  using dib::TSimdLevel;
  std::vector<TSimdLevel> levels{TSimdLevel::Scalar};
  if (dib::BestSimdLevel() >= TSimdLevel::SSE2) levels.push_back(TSimdLevel::SSE2);
  if (dib::BestSimdLevel() >= TSimdLevel::AVX2) levels.push_back(TSimdLevel::AVX2);
  for (TSize2 s : kSizes) {
    const std::string size = SizeName(s);
    RegisterPixels("memcpy/" + size, BenchMemcpy, s);
#ifdef QV_HAVE_PIXMAN
    RegisterPixels("pixman/over_solid_mask/" + size, BenchPixmanOver, s);
    RegisterPixels("pixman/nearest_transform/" + size, BenchPixmanNearest, s);
#endif
    RegisterPixels("rotate_scale/" + size, BenchRenderTransformed, s);
    for (const TBlendSetup& b : kBlends)
      for (TSimdLevel level : levels)
        RegisterPixels("blend/" + std::string(b.Name) + "/" + dib::SimdLevelName(level) + "/" + size, BenchBlend,
                       s, b, level);
  }
  for (TSimdLevel level : levels)
    benchmark::RegisterBenchmark((std::string("palette_table/colour/") + dib::SimdLevelName(level)).c_str(),
                                 BenchPaletteTable, false, level)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  benchmark::RegisterBenchmark("palette_table/grey", BenchPaletteTable, true, dib::BestSimdLevel())
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
}

// Prints, after the usual table, each pixel figure in Mpixels/s with its ratio to the memcpy and
// to pixman's OVER of the same size (medians when repeated).
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs) {
      if (r.error_occurred) continue;
      const bool aggregate = r.run_type == Run::RT_Aggregate;
      if (aggregate && r.aggregate_name != "median") continue;
      auto it = r.counters.find("items_per_second");
      if (it == r.counters.end()) continue;
      std::string name = r.run_name.str();
      if (name.size() > 10 && name.compare(name.size() - 10, 10, "/real_time") == 0) name.resize(name.size() - 10);
      FRates[name] = it->second.value / 1e6;
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-44s %12s %10s %10s\n", "pixels (median)", "Mpixels/s", "/memcpy", "/pixman");
    for (const std::string& name : RegisteredOrder()) {
      if (!FRates.count(name)) continue;
      const std::string size = name.substr(name.rfind('/') + 1);
      const double rate = FRates[name];
      const double mem = FRates.count("memcpy/" + size) ? FRates["memcpy/" + size] : 0;
      const std::string pixmanName =
          name.rfind("rotate_scale", 0) == 0 ? "pixman/nearest_transform/" + size : "pixman/over_solid_mask/" + size;
      const double px = FRates.count(pixmanName) ? FRates[pixmanName] : 0;
      std::printf("%-44s %12.0f %9.0f%% %9.2fx\n", name.c_str(), rate, mem > 0 ? 100 * rate / mem : 0,
                  px > 0 ? rate / px : 0);
    }
  }

private:
  std::map<std::string, double> FRates;
};

}  // namespace

int main(int argc, char** argv) {
  // Interleaved repetitions by default, so every figure sees the same machine load; flags given
  // on the command line come later and win.
  std::vector<char*> args{argv[0]};
  std::string defaults[] = {"--benchmark_enable_random_interleaving=true", "--benchmark_repetitions=5",
                            "--benchmark_report_aggregates_only=true", "--benchmark_min_time=0.05"};
  for (std::string& d : defaults) args.push_back(d.data());
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  RegisterAll();
  TSummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

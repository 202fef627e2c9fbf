// Start-up on the demo disc as far as files go: every INI read the launcher makes while opening
// the configuration and running each feature's definition files, and every existence test of a
// path the disc names. Run from anywhere; it works in the demo disc's folder:
//   build/bench/bench_disc_paths
// It uses only the reader's and the path test's public entry points, so the same file builds
// against older versions of the platform layer for a before-and-after comparison.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/Profile.h"

#ifndef QV_DEMO_DISC
#define QV_DEMO_DISC "examples/demo-disc"
#endif

namespace {

struct TRead {
  const char* File;
  const char* Section;
  const char* Key;
};

std::vector<TRead> StartupReads() {
  std::vector<TRead> reads;
  for (const char* section : {"Front Cover", "Inside Cover", "Back Cover"})
    for (const char* key : {"PictureFile", "Opacity", "Mode"}) reads.push_back({"quorvane.ini", section, key});
  for (const char* section : {"Item1", "Item2", "Item3", "Item4", "Item5", "Item6"})
    for (const char* key : {"MainFile", "Caption", "MainFile", "InformationFile", "CodecNeededDefinitionFile",
                            "OpenWithDefinitionFile"})
      reads.push_back({"quorvane.ini", section, key});
  for (const char* file : {"Definitions/democodec.ini", "Definitions/demoplayer.ini", "Definitions/yourplayer.ini"}) {
    reads.push_back({file, "Main", "Description"});
    for (const char* section : {"Version Checking", "Install", "Main"})
      for (const char* key : {"Path", "File", "Parameters"}) reads.push_back({file, section, key});
    reads.push_back({file, "Version Checking", "MinVersionRequired"});
  }
  return reads;
}

const char* const kPaths[] = {
    "Covers\\front.bmp",       "Covers\\inside.jpg",          "Covers\\back.bmp",
    "Video\\feature.avi",      "Video\\making-of.avi",        "Video\\trailer with spaces.avi",
    "Info\\feature.rtf",       "Info\\making-of.txt",         "Info\\trailer.txt",
    "Info\\your-player.txt",   "Players\\demoplayer.dll",     "Players\\demoplayer.sh",
    "Installers\\install-democodec.sh", "\\usr\\bin\\xdg-open",
};

void InDemoDisc() {
  static const bool moved = [] {
    std::error_code ec;
    std::filesystem::current_path(QV_DEMO_DISC, ec);
    return !ec;
  }();
  (void)moved;
}

void BM_StartupIniReads(benchmark::State& state) {
  InDemoDisc();
  const std::vector<TRead> reads = StartupReads();
  for (auto _ : state)
    for (const TRead& r : reads) benchmark::DoNotOptimize(platform::GetPrivateProfileString(r.Section, r.Key, "", r.File));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(reads.size()));
}
BENCHMARK(BM_StartupIniReads);

void BM_ResolveEveryPath(benchmark::State& state) {
  InDemoDisc();
  for (auto _ : state)
    for (const char* path : kPaths) benchmark::DoNotOptimize(platform::FileExists(path));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::size(kPaths)));
}
BENCHMARK(BM_ResolveEveryPath);

// The demo codec is not on the disc: a missing path is where the lookup without regard to case
// has work to do.
void BM_ResolveMissingPath(benchmark::State& state) {
  InDemoDisc();
  for (auto _ : state) benchmark::DoNotOptimize(platform::FileExists("Codecs\\democodec.ax"));
}
BENCHMARK(BM_ResolveMissingPath);

}  // namespace

BENCHMARK_MAIN();

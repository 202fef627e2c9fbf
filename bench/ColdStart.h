#pragma once
// What the cold-start benchmarks of both systems share: the disc they start the launcher on,
// libjpeg's own decode that the goal allows for, and the summary that says whether the goals hold.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/LibjpegDecode.h"

namespace cold_start {

using bench::DecodeWithLibjpeg;

constexpr int kSide = 1400;

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A copy of the demo disc at `dir` whose three covers are 1400 x 1400 JPEG files.
inline void MakeDisc(const std::filesystem::path& dir) {
  namespace fs = std::filesystem;
  fs::remove_all(dir);
  fs::copy(QV_DEMO_DISC, dir, fs::copy_options::recursive);
  fs::copy_file(dir / "Covers" / "front.jpg", dir / "Covers" / "inside.jpg");
  std::ifstream in(dir / "quorvane.ini");
  std::stringstream text;
  text << in.rdbuf();
  std::string ini = text.str();
  const std::string from = "Covers\\inside.bmp";
  ini.replace(ini.find(from), from.size(), "Covers\\inside.jpg");
  std::ofstream(dir / "quorvane.ini", std::ios::trunc) << ini;
}

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The starts of "bare" and "launcher", the medians and the two goals: launcher <= bare + the
// three decodes + 20 ms; launcher's memory <= the bare window's + the covers' pixels + 15 MB.
inline void PrintSummary(const char* bareName, const char* memoryName, std::map<std::string, std::vector<double>>& ms,
                         std::map<std::string, std::vector<double>>& memoryMiB) {
  const double bare = Median(ms["bare"]), launcher = Median(ms["launcher"]), decodes = Median(ms["decodes"]);
  const double pixelsMiB = 3.0 * kSide * kSide * 4 / (1024.0 * 1024.0);
  const double bareMemory = Median(memoryMiB["bare"]), launcherMemory = Median(memoryMiB["launcher"]);
  for (const char* name : {"bare", "launcher"}) {
    std::printf("\n%s starts (ms):", name);
    for (double value : ms[name]) std::printf(" %.1f", value);
  }
  std::printf("\n\nmedians: launcher %.1f ms, %s %.1f ms, three decodes %.1f ms\n", launcher, bareName, bare, decodes);
  std::printf("start-up goal: %.1f <= %.1f + %.1f + 20 = %.1f ms: %s\n", launcher, bare, decodes, bare + decodes + 20,
              launcher <= bare + decodes + 20 ? "met" : "NOT met");
  std::printf("memory goal (%s): %.1f <= %.1f + %.1f (pixels) + 15 = %.1f MiB: %s\n", memoryName, launcherMemory,
              bareMemory, pixelsMiB, bareMemory + pixelsMiB + 15,
              launcherMemory <= bareMemory + pixelsMiB + 15 ? "met" : "NOT met");
}

}  // namespace cold_start

// JPEG decoding into a surface through LoadFromFile, next to libjpeg-turbo's own decode of the
// same file to B, G, R, A in the same run. LoadFromFile adds the canvas draw onto the zeroed
// intermediate, one copy with Draw and one alpha pass.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "bench/LibjpegDecode.h"
#include "dib/cDIBFormat.h"
#include "toolkit/Pictures.h"
#include "toolkit/qt/QtBackend.h"

namespace {

using bench::DecodeWithLibjpeg;

constexpr int kSide = 2000;

// A 2000 x 2000 photo-like picture (smooth gradients with fine detail), written once.
const std::string& SampleFile() {
  static const std::string path = [] {
    std::string p = "/tmp/qv_bench_2000.jpg";
    std::vector<uint8_t> rgb(static_cast<size_t>(kSide) * kSide * 3);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) {
        uint8_t* px = &rgb[(static_cast<size_t>(y) * kSide + x) * 3];
        px[0] = static_cast<uint8_t>(x / 8 + ((x * y) & 15));
        px[1] = static_cast<uint8_t>(y / 8 + ((x ^ y) & 7));
        px[2] = static_cast<uint8_t>((x + y) / 16);
      }
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    FILE* f = std::fopen(p.c_str(), "wb");
    jpeg_stdio_dest(&c, f);
    c.image_width = kSide;
    c.image_height = kSide;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
      JSAMPROW row = &rgb[static_cast<size_t>(c.next_scanline) * kSide * 3];
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
    return p;
  }();
  return path;
}

void LibjpegTurboToBgra(benchmark::State& state) {
  const std::vector<uint8_t> bytes = ReadFileBytes(SampleFile());
  for (auto _ : state) DecodeWithLibjpeg(bytes);
}
BENCHMARK(LibjpegTurboToBgra)->Unit(benchmark::kMillisecond)->UseRealTime();

void LoadFromFileJpeg(benchmark::State& state) {
  const std::string& file = SampleFile();
  // One surface loaded again and again, as an image list item is reloaded: its buffer stays.
  TMemoryDIB dib;
  for (auto _ : state) {
    LoadDIBFromFile(dib, file);
    benchmark::DoNotOptimize(dib.Pixels());
  }
}
BENCHMARK(LoadFromFileJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// Both in turn within every iteration, so that a busy or throttled machine slows both alike; the
// counters give each one's mean and the ratio the goal is stated in.
void InterleavedRatio(benchmark::State& state) {
  const std::string& file = SampleFile();
  const std::vector<uint8_t> bytes = ReadFileBytes(file);
  TMemoryDIB dib;
  double library = 0, load = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    DecodeWithLibjpeg(bytes);
    const auto t1 = std::chrono::steady_clock::now();
    LoadDIBFromFile(dib, file);
    const auto t2 = std::chrono::steady_clock::now();
    library += std::chrono::duration<double, std::milli>(t1 - t0).count();
    load += std::chrono::duration<double, std::milli>(t2 - t1).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["libjpeg_ms"] = library / n;
  state.counters["LoadFromFile_ms"] = load / n;
  state.counters["ratio"] = load / library;
}
BENCHMARK(InterleavedRatio)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TQtBackendScope backend(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

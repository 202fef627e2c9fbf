#pragma once
// The yardstick of the JPEG figures: libjpeg's own decode, as a program that uses it directly does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace bench {

// libjpeg's own decode of the bytes to B, G, R, A in a fresh buffer.
inline void DecodeWithLibjpeg(const std::vector<uint8_t>& bytes) {
  jpeg_decompress_struct d;
  jpeg_error_mgr err;
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&d, TRUE);
  d.out_color_space = JCS_EXT_BGRA;
  jpeg_start_decompress(&d);
  const size_t stride = static_cast<size_t>(d.output_width) * 4;
  std::unique_ptr<uint8_t, decltype(&std::free)> out(static_cast<uint8_t*>(std::malloc(stride * d.output_height)),
                                                      &std::free);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out.get() + stride * d.output_scanline;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  benchmark::DoNotOptimize(out.get());
}

}  // namespace bench

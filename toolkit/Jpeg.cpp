#include "toolkit/Jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "platform/PixelMemory.h"

namespace {

struct TErrorManager {
  jpeg_error_mgr Base;
  std::jmp_buf Jump;
  int Code;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
  err->Code = err->Base.msg_code;
  std::longjmp(err->Jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<TErrorManager*>(cinfo->err);
  // The data ran out before the picture did, or the coded data itself is broken: the library
  // would go on filling rows with grey (for as many rows as the header claims), so these are
  // damaged data, not mere oddities.
  if (level < 0) switch (err->Base.msg_code) {
      case JWRN_JPEG_EOF:
      case JWRN_HIT_MARKER:
      case JWRN_HUFF_BAD_CODE:
      case JWRN_MUST_RESYNC:
        ErrorExit(cinfo);
      default:
        break;
    }
  if (level < 0) ++err->Base.num_warnings;
}

void OutputMessage(j_common_ptr) {}

// The decoded picture, held in plain memory so that a jump out of the library leaks nothing:
// the caller frees Pixels on every path.
struct TDecode {
  uint8_t* Pixels = nullptr;
  size_t Capacity = 0;  // bytes
  int Width = 0, Height = 0;
  bool Grayscale = false, Progressive = false;
  bool BottomUp = false;
};

// Converts one row of C, M, Y, K samples to B, G, R, A in place (4 bytes a pixel either way).
// Files with the Adobe marker (what every common encoder writes) hold the inks inverted.
void CmykRowToBgra(uint8_t* row, int width, bool inverted) {
  for (int x = 0; x < width; ++x, row += 4) {
    int c = row[0], m = row[1], y = row[2], k = row[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    row[0] = static_cast<uint8_t>((y * k + 127) / 255);
    row[1] = static_cast<uint8_t>((m * k + 127) / 255);
    row[2] = static_cast<uint8_t>((c * k + 127) / 255);
    row[3] = 255;
  }
}

// Answers 0 on success, else the library's message code. No C++ object with a destructor lives
// in this frame, so the library's long jump skips nothing that needed cleaning up.
int Decode(const uint8_t* data, size_t size, TDecode& out) {
  jpeg_decompress_struct cinfo;
  TErrorManager err;
  cinfo.err = jpeg_std_error(&err.Base);
  err.Base.error_exit = ErrorExit;
  err.Base.emit_message = EmitMessage;
  err.Base.output_message = OutputMessage;
  err.Code = 0;
  if (setjmp(err.Jump)) {
    jpeg_destroy_decompress(&cinfo);
    return err.Code ? err.Code : JERR_UNKNOWN_MARKER;
  }
  jpeg_create_decompress(&cinfo);
  // Whole-image buffers (progressive files) must fit what the file can justify; beyond that the
  // library asks for backing store, which this build lacks, and fails cleanly.
  cinfo.mem->max_memory_to_use = static_cast<long>(std::min<size_t>(JustifiedPixels(size) * 4, 1ul << 30));
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  out.Grayscale = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  out.Progressive = cinfo.progressive_mode;
  jpeg_start_decompress(&cinfo);

  const size_t width = cinfo.output_width, height = cinfo.output_height;
  const size_t stride = width * 4, total = stride * height;
  out.Width = static_cast<int>(width);
  out.Height = static_cast<int>(height);
  // Pictures the file can justify get their buffer at once; a header claiming more gets it
  // row by row as the data proves it.
  size_t capacity = std::min(total, JustifiedPixels(size) * 4);
  // Arithmetic coding can describe a huge flat picture in a handful of bytes; such a claim is
  // not worth gigabytes.
  if (cinfo.arith_code && capacity < total) ERREXIT1(&cinfo, JERR_IMAGE_TOO_BIG, 65500);
  out.Pixels = static_cast<uint8_t*>(platform::AllocatePixelMemory(capacity));
  if (!out.Pixels) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
  out.Capacity = capacity;
  // With the whole buffer at hand the rows go bottom-up, the order of the picture surfaces, which
  // can then take the buffer as it is; a buffer that grows with the data fills top-down.
  out.BottomUp = capacity == total;

  JSAMPROW rows[4];
  while (cinfo.output_scanline < cinfo.output_height) {
    const size_t first = cinfo.output_scanline;
    const size_t want = std::min<size_t>(4, height - first);
    if ((first + want) * stride > out.Capacity) {
      const size_t grown = std::min(total, std::max(out.Capacity * 2, (first + want) * stride));
      auto* p = static_cast<uint8_t*>(platform::ReallocatePixelMemory(out.Pixels, grown));
      if (!p) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 0);
      out.Pixels = p;
      out.Capacity = grown;
    }
    for (size_t i = 0; i < want; ++i)
      rows[i] = out.Pixels + (out.BottomUp ? height - 1 - (first + i) : first + i) * stride;
    const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(want));
    if (cmyk)
      for (JDIMENSION i = 0; i < got; ++i) CmykRowToBgra(rows[i], static_cast<int>(width), cinfo.saw_Adobe_marker);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return 0;
}

}  // namespace

void TJPEGImage::LoadFromBytes(std::span<const uint8_t> bytes) {
  TDecode decode;
  const int code = Decode(bytes.data(), bytes.size(), decode);
  TBuffer pixels(decode.Pixels);
  if (code != 0) throw EJPEG(Format("JPEG error #%d", code));
  // Both the library's B, G, R, A output and the ink conversion write 255 into every alpha byte.
  SetPixels(std::move(pixels), decode.Width, decode.Height, false, true, decode.BottomUp);
  FGrayscale = decode.Grayscale;
  FProgressive = decode.Progressive;
}

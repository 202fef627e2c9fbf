#include "toolkit/win32/Win32Metafiles.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/win32/Win32DeviceContext.h"

#include "platform/win32/Win32Api.h"

namespace {

constexpr char kInvalid[] = "Metafile is not valid";

// GDI plays every record once, in order, so a player's work is bounded by the records it gets;
// this bounds their number beyond what the file's size already does.
constexpr uint64_t kMaxRecords = uint64_t{1} << 20;

[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalid); }

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int32_t SignedLe32(const uint8_t* p) { return static_cast<int32_t>(Le32(p)); }
int16_t SignedLe16(const uint8_t* p) { return static_cast<int16_t>(Le16(p)); }
void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, static_cast<uint16_t>(v));
  PutLe16(p + 2, static_cast<uint16_t>(v >> 16));
}

// a * b / c rounded to the nearest, for positive numbers, without overflow for the sizes here.
int64_t ScaleRounded(int64_t a, int64_t b, int64_t c) { return (a * b + c / 2) / c; }

// The picture's size, refused beyond what the surfaces hold and what the file could justify.
void CheckSize(int64_t width, int64_t height, size_t fileBytes) {
  if (width < 1 || height < 1 || width > 65535 || height > 65535 ||
      static_cast<uint64_t>(width * height) > JustifiedPixels(fileBytes))
    Invalid();
}

// The screen's pixels per inch, across and down: the resolution a metafile measured in real
// units is shown at.
struct TScreenResolution {
  int X = 96, Y = 96;
  TScreenResolution() {
    if (const HDC screen = ::GetDC(nullptr)) {
      X = std::max(1, ::GetDeviceCaps(screen, LOGPIXELSX));
      Y = std::max(1, ::GetDeviceCaps(screen, LOGPIXELSY));
      ::ReleaseDC(nullptr, screen);
    }
  }
};

// ---- Enhanced metafiles ------------------------------------------------------------------------

constexpr uint32_t kEmrHeader = 1, kEmrEof = 14;
constexpr uint32_t kEnhSignature = 0x464D4520;  // " EMF"
constexpr size_t kEnhHeaderBytes = 88;

struct TEnhancedPlan {
  size_t Bytes = 0;  // the metafile's own length, from the start of the file
  int64_t Width = 0, Height = 0;
};

TEnhancedPlan CheckEnhanced(std::span<const uint8_t> b) {
  if (b.size() < kEnhHeaderBytes) Invalid();
  const uint8_t* h = b.data();
  const uint32_t headerSize = Le32(h + 4), bytes = Le32(h + 48), records = Le32(h + 52);
  const uint32_t descriptionChars = Le32(h + 60), descriptionAt = Le32(h + 64);
  if (Le32(h) != kEmrHeader || Le32(h + 40) != kEnhSignature) Invalid();
  if (headerSize < kEnhHeaderBytes || headerSize % 4 || headerSize > bytes || bytes > b.size() || bytes % 4) Invalid();
  if (records < 2 || records > kMaxRecords || records > bytes / 8) Invalid();
  if (descriptionChars && (descriptionAt < kEnhHeaderBytes || descriptionAt > headerSize ||
                           uint64_t{descriptionChars} * 2 > headerSize - descriptionAt))
    Invalid();
  // Every record lies inside the metafile, and the last, the end record, closes it exactly where
  // the header says: the player walks by these sizes, and a record of size 0 would hold it on
  // the spot for ever.
  size_t at = 0;
  uint32_t seen = 0;
  bool ended = false;
  while (at < bytes && !ended) {
    if (bytes - at < 8 || ++seen > records) Invalid();
    const uint32_t type = Le32(h + at), size = Le32(h + at + 4);
    if (size < 8 || size % 4 || size > bytes - at) Invalid();
    if ((at == 0) != (type == kEmrHeader)) Invalid();
    ended = type == kEmrEof;
    at += size;
  }
  if (!ended || at != bytes || seen != records) Invalid();
  // The frame is in hundredths of a millimetre; the reference device's pixels per millimetre turn
  // it into the pixels the picture has at its own size.
  const int64_t frameWidth = int64_t{SignedLe32(h + 32)} - SignedLe32(h + 24);
  const int64_t frameHeight = int64_t{SignedLe32(h + 36)} - SignedLe32(h + 28);
  const int64_t devicePixelsX = SignedLe32(h + 72), devicePixelsY = SignedLe32(h + 76);
  const int64_t deviceMmX = SignedLe32(h + 80), deviceMmY = SignedLe32(h + 84);
  if (frameWidth <= 0 || frameHeight <= 0 || devicePixelsX <= 0 || devicePixelsY <= 0 || deviceMmX <= 0 ||
      deviceMmY <= 0 || devicePixelsX > 1000000 || devicePixelsY > 1000000)
    Invalid();
  TEnhancedPlan plan;
  plan.Bytes = bytes;
  // A frame thinner than a pixel still shows as one.
  plan.Width = std::max<int64_t>(1, ScaleRounded(frameWidth, devicePixelsX, deviceMmX * 100));
  plan.Height = std::max<int64_t>(1, ScaleRounded(frameHeight, devicePixelsY, deviceMmY * 100));
  CheckSize(plan.Width, plan.Height, b.size());
  return plan;
}

// ---- Windows metafiles -------------------------------------------------------------------------

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableBytes = 22, kWinHeaderBytes = 18;
constexpr uint16_t kMetaEof = 0x0000, kMetaSetWindowOrg = 0x020B, kMetaSetWindowExt = 0x020C;

struct TWindowsPlan {
  std::vector<uint8_t> Metafile;  // header and records as GDI takes them
  int64_t Width = 0, Height = 0;
};

// A record of two 16-bit parameters, written as the format has them: y first, then x.
void AppendPointRecord(std::vector<uint8_t>& out, uint16_t function, int16_t x, int16_t y) {
  uint8_t record[10];
  PutLe32(record, 5);
  PutLe16(record + 4, function);
  PutLe16(record + 6, static_cast<uint16_t>(y));
  PutLe16(record + 8, static_cast<uint16_t>(x));
  out.insert(out.end(), record, record + sizeof record);
}

TWindowsPlan CheckWindows(std::span<const uint8_t> b, const TScreenResolution& screen) {
  const bool placeable = b.size() >= kPlaceableBytes && Le32(b.data()) == kPlaceableKey;
  const size_t start = placeable ? kPlaceableBytes : 0;
  if (b.size() - start < kWinHeaderBytes) Invalid();
  const uint8_t* h = b.data() + start;
  const uint16_t type = Le16(h), headerWords = Le16(h + 2), version = Le16(h + 4);
  const uint64_t totalBytes = uint64_t{Le32(h + 6)} * 2;
  if ((type != 1 && type != 2) || headerWords != kWinHeaderBytes / 2 || (version != 0x0100 && version != 0x0300))
    Invalid();
  if (totalBytes < kWinHeaderBytes + 6 || totalBytes > b.size() - start) Invalid();
  // The records, up to the end record, each inside the metafile: a record's size is the only way
  // to the next one, and a size below the record's own header would hold the player for ever.
  size_t at = kWinHeaderBytes;
  uint64_t seen = 0;
  uint32_t largest = 3;
  bool ended = false, windowSet = false;
  int16_t windowX = 0, windowY = 0;
  while (!ended) {
    if (totalBytes - at < 6 || ++seen > kMaxRecords) Invalid();
    const uint32_t words = Le32(h + at);
    const uint16_t function = Le16(h + at + 4);
    if (words < 3 || uint64_t{words} * 2 > totalBytes - at) Invalid();
    if (function == kMetaSetWindowExt && words >= 5 && !windowSet) {
      windowSet = true;
      windowY = SignedLe16(h + at + 6);
      windowX = SignedLe16(h + at + 8);
    }
    largest = std::max(largest, words);
    ended = function == kMetaEof;
    at += size_t{words} * 2;
  }
  TWindowsPlan plan;
  int16_t left = 0, top = 0, right = 0, bottom = 0;
  if (placeable) {
    // The bounding box in logical units and how many of them make an inch give the size; the
    // header's checksum is not checked, as GDI never sees it and writers often get it wrong.
    const uint8_t* p = b.data();
    left = SignedLe16(p + 6);
    top = SignedLe16(p + 8);
    right = SignedLe16(p + 10);
    bottom = SignedLe16(p + 12);
    const int64_t inch = Le16(p + 14);
    const int64_t width = int64_t{right} - left, height = int64_t{bottom} - top;
    if (inch == 0 || width <= 0 || height <= 0 || width > 32767 || height > 32767) Invalid();
    plan.Width = std::max<int64_t>(1, ScaleRounded(width, screen.X, inch));
    plan.Height = std::max<int64_t>(1, ScaleRounded(height, screen.Y, inch));
  } else {
    // A plain metafile states no size of its own. Its first window extent is taken as the
    // picture's size in pixels, as a metafile written for the screen has it; one without any is
    // refused.
    if (!windowSet || windowX == 0 || windowY == 0) Invalid();
    plan.Width = std::abs(int64_t{windowX});
    plan.Height = std::abs(int64_t{windowY});
  }
  CheckSize(plan.Width, plan.Height, b.size());
  // GDI gets a copy with the header made to agree with the records walked: nothing past the end
  // record, the total and the largest record as they are.
  std::vector<uint8_t>& out = plan.Metafile;
  out.reserve(at + 20);
  out.assign(h, h + kWinHeaderBytes);
  if (placeable) {
    // The bounding box is the picture's window, as every reader of placeable metafiles takes it;
    // a metafile that sets its own window later overrides it.
    AppendPointRecord(out, kMetaSetWindowOrg, left, top);
    AppendPointRecord(out, kMetaSetWindowExt, static_cast<int16_t>(right - left), static_cast<int16_t>(bottom - top));
    largest = std::max<uint32_t>(largest, 5);
  }
  out.insert(out.end(), h + kWinHeaderBytes, h + at);
  PutLe16(out.data(), 1);  // in memory
  PutLe32(out.data() + 6, static_cast<uint32_t>(out.size() / 2));
  PutLe32(out.data() + 12, largest);
  return plan;
}

// ---- Playing ----------------------------------------------------------------------------------

// What one playback holds, released on every way out.
struct TPlayback {
  HENHMETAFILE Metafile = nullptr;
  HDC Screen = nullptr;
  HDC Memory = nullptr;
  HBITMAP Section = nullptr;
  HGDIOBJ Previous = nullptr;
  TPlayback() = default;
  TPlayback(const TPlayback&) = delete;
  TPlayback& operator=(const TPlayback&) = delete;
  ~TPlayback() {
    if (Previous) ::SelectObject(Memory, Previous);
    if (Section) ::DeleteObject(Section);
    if (Memory) ::DeleteDC(Memory);
    if (Screen) ::ReleaseDC(nullptr, Screen);
    if (Metafile) ::DeleteEnhMetaFile(Metafile);
  }
};

}  // namespace

void TWin32Metafile::LoadFromBytes(std::span<const uint8_t> bytes) {
  TPlayback play;
  int64_t width = 0, height = 0;
  play.Screen = ::GetDC(nullptr);
  if (FKind == TKind::Enhanced) {
    const TEnhancedPlan plan = CheckEnhanced(bytes);
    width = plan.Width;
    height = plan.Height;
    play.Metafile = ::SetEnhMetaFileBits(static_cast<UINT>(plan.Bytes), bytes.data());
  } else {
    const TScreenResolution screen;
    const TWindowsPlan plan = CheckWindows(bytes, screen);
    width = plan.Width;
    height = plan.Height;
    // The picture's size in hundredths of a millimetre; the metafile's window is stretched over
    // it.
    METAFILEPICT picture{};
    picture.mm = MM_ANISOTROPIC;
    picture.xExt = static_cast<LONG>(ScaleRounded(width, 2540, screen.X));
    picture.yExt = static_cast<LONG>(ScaleRounded(height, 2540, screen.Y));
    play.Metafile = ::SetWinMetaFileBits(static_cast<UINT>(plan.Metafile.size()), plan.Metafile.data(), play.Screen,
                                         &picture);
  }
  if (!play.Metafile) Invalid();

  void* bits = nullptr;
  play.Memory = ::CreateCompatibleDC(play.Screen);
  // A positive height: rows bottom-up.
  if (play.Memory) play.Section = CreateDIBSection32(static_cast<int>(width), static_cast<int>(height), &bits);
  if (!play.Section || !bits) throw EOutOfResources("Out of memory while decoding a picture");
  play.Previous = ::SelectObject(play.Memory, play.Section);
  const RECT frame{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
  // A record GDI cannot play is left out, as the system's viewers do: the picture shows what the
  // rest drew.
  ::PlayEnhMetaFile(play.Memory, play.Metafile, &frame);
  ::GdiFlush();
  const size_t total = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  TBuffer pixels = AllocBuffer(total);
  std::memcpy(pixels.get(), bits, total);
  SetPixels(std::move(pixels), static_cast<int>(width), static_cast<int>(height), false, false, true);
}

#include "toolkit/Pictures.h"

#include <algorithm>
#include <cstdlib>
#include <future>
#include <mutex>

#include "platform/PixelMemory.h"
#include "toolkit/Jpeg.h"

void TGraphic::LoadFromStream(TStream& stream) {
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(stream.Remaining(), 0)));
  stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  LoadFromBytes(bytes);
}

void TGraphic::LoadFromFile(const std::string& fileName) { LoadFromBytes(ReadFileBytes(fileName)); }

void TPixelGraphic::TFree::operator()(uint8_t* p) const { platform::FreePixelMemory(p); }

TPixelGraphic::TBuffer TPixelGraphic::AllocBuffer(size_t bytes) {
  auto* p = static_cast<uint8_t*>(platform::AllocatePixelMemory(bytes));
  if (!p) throw EOutOfResources("Out of memory while decoding a picture");
  return TBuffer(p);
}

void TPixelGraphic::SetPixels(TBuffer pixels, int width, int height, bool hasAlpha, bool alphaIsOpaque,
                              bool bottomUp) {
  FPixels = std::move(pixels);
  FWidth = width;
  FHeight = height;
  FHasAlpha = hasAlpha;
  FAlphaIsOpaque = alphaIsOpaque;
  FBottomUp = bottomUp;
}

TPixelView TPixelGraphic::View() const {
  const intptr_t stride = static_cast<intptr_t>(FWidth) * 4;
  if (FBottomUp && FPixels && FHeight > 0)
    return TPixelView{FPixels.get() + (FHeight - 1) * stride, FWidth, FHeight, -stride, FHasAlpha};
  return TPixelView{FPixels.get(), FWidth, FHeight, stride, FHasAlpha};
}

uint8_t* TPixelGraphic::ReleasePixels() {
  FWidth = FHeight = 0;
  FAlphaIsOpaque = FBottomUp = false;
  return FPixels.release();
}

void TPixelGraphic::Draw(TCanvas& canvas, int x, int y) const {
  if (!Empty()) canvas.Draw(x, y, View());
}

size_t JustifiedPixels(size_t inputBytes) {
  constexpr size_t kFloor = size_t{16} << 20;  // any picture up to 16 megapixels
  return std::max(kFloor, inputBytes * 256);
}

namespace {

struct TFileFormat {
  std::string Extension;  // lower case
  std::string Description;
  TGraphicFactory Factory;
};

std::mutex& FormatsLock() {
  static std::mutex m;
  return m;
}

std::vector<TFileFormat>& Formats() {
  // JPEG is the toolkit's own; bitmaps and icons come from the GUI backend when it starts.
  static std::vector<TFileFormat> formats = [] {
    std::vector<TFileFormat> f;
    f.push_back({"jpeg", "JPEG Image File", [] { return std::make_unique<TJPEGImage>(); }});
    f.push_back({"jpg", "JPEG Image File", [] { return std::make_unique<TJPEGImage>(); }});
    return f;
  }();
  return formats;
}

const TFileFormat* FindFormat(const std::string& extension) {
  const std::string ext = LowerCaseAscii(extension);
  auto& formats = Formats();
  for (auto it = formats.rbegin(); it != formats.rend(); ++it)
    if (it->Extension == ext) return &*it;
  return nullptr;
}

std::string ExtensionOf(const std::string& fileName) {
  const size_t slash = fileName.find_last_of("/\\:");
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return fileName.substr(dot + 1);
}

}  // namespace

void RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicFactory factory) {
  std::lock_guard lock(FormatsLock());
  Formats().push_back({LowerCaseAscii(extension), description, std::move(factory)});
}

void UnregisterFileFormat(const std::string& extension) {
  std::lock_guard lock(FormatsLock());
  const std::string ext = LowerCaseAscii(extension);
  auto& f = Formats();
  std::erase_if(f, [&](const TFileFormat& x) { return x.Extension == ext; });
}

std::string FileFormatDescription(const std::string& extension) {
  std::lock_guard lock(FormatsLock());
  const TFileFormat* format = FindFormat(extension);
  return format ? format->Description : std::string();
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

namespace {

struct TPrefetch {
  std::string FileName;
  std::future<std::unique_ptr<TGraphic>> Graphic;
};

std::mutex& PrefetchLock() {
  static std::mutex lock;
  return lock;
}

std::vector<TPrefetch>& Prefetches() {
  static std::vector<TPrefetch> prefetches;
  return prefetches;
}

// The threads decoding prefetched files, each working through its files one after another.
std::vector<std::future<void>>& PrefetchWorkers() {
  static std::vector<std::future<void>> workers;
  return workers;
}

TGraphicFactory FactoryFor(const std::string& fileName) {
  const std::string ext = LowerCaseAscii(ExtensionOf(fileName));
  std::lock_guard lock(FormatsLock());
  const TFileFormat* format = FindFormat(ext);
  if (!format) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext.c_str()));
  return format->Factory;
}

// The decoded picture of an earlier prefetch of the file, once; nullptr when there was none or it
// failed, so that loading again gives the failure exactly as it would have come.
std::unique_ptr<TGraphic> TakePrefetched(const std::string& fileName) {
  std::future<std::unique_ptr<TGraphic>> graphic;
  {
    std::lock_guard lock(PrefetchLock());
    auto& prefetches = Prefetches();
    const auto it = std::find_if(prefetches.begin(), prefetches.end(),
                                 [&](const TPrefetch& p) { return p.FileName == fileName; });
    if (it == prefetches.end()) return nullptr;
    graphic = std::move(it->Graphic);
    prefetches.erase(it);
  }
  try {
    return graphic.get();
  } catch (...) {
    return nullptr;
  }
}

}  // namespace

void PrefetchPictureFiles(const std::vector<std::string>& fileNames) {
  struct TJob {
    TGraphicFactory Factory;
    std::string FileName;
    std::promise<std::unique_ptr<TGraphic>> Result;
  };
  auto jobs = std::make_shared<std::vector<TJob>>();
  std::lock_guard lock(PrefetchLock());
  for (const std::string& fileName : fileNames) {
    TGraphicFactory factory;
    try {
      factory = FactoryFor(fileName);
    } catch (const EInvalidGraphic&) {
      continue;
    }
    jobs->push_back({std::move(factory), fileName, {}});
    Prefetches().push_back({fileName, jobs->back().Result.get_future()});
  }
  if (jobs->empty()) return;
  // One thread, so that the program's own start-up keeps a core to itself on a two-core machine.
  PrefetchWorkers().push_back(std::async(std::launch::async, [jobs] {
    for (TJob& job : *jobs) {
      try {
        std::unique_ptr<TGraphic> graphic = job.Factory();
        graphic->LoadFromFile(job.FileName);
        job.Result.set_value(std::move(graphic));
      } catch (...) {
        job.Result.set_exception(std::current_exception());
      }
    }
  }));
}

void EndPicturePrefetch() {
  std::vector<TPrefetch> left;
  std::vector<std::future<void>> workers;
  {
    std::lock_guard lock(PrefetchLock());
    left.swap(Prefetches());
    workers.swap(PrefetchWorkers());
  }
  for (std::future<void>& worker : workers) worker.wait();
}

void TPicture::LoadFromFile(const std::string& fileName) {
  TGraphicFactory factory = FactoryFor(fileName);
  if (std::unique_ptr<TGraphic> ready = TakePrefetched(fileName)) {
    FGraphic = std::move(ready);
    return;
  }
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromFile(fileName);
  FGraphic = std::move(graphic);
}

// The inside cover of the main window composed by the DIB container: a 1400 x 1400 picture
// stretched to 336 x 469 at opacity 128, eight transparent labels of 18-point text and a rich-edit
// child clipped out. Beside each figure, in the same run, the same scene as a plain Qt program
// draws it with one QPainter. The "allocs" counter is the heap allocations per paint once the first
// paint has sized the surfaces; "ratio" is ours over the plain Qt drawing, timed in the same run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <QFont>
#include <QImage>
#include <QPainter>

#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/qt/QtBackend.h"

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kWidth = 338, kHeight = 471, kSide = 1400, kLabels = 8;
const TRect kImage = Bounds(1, 1, 336, 469);

TRect LabelRect(int i) { return Bounds(9, 16 + i * 38, 320, 32); }
std::string LabelText(int i) { return "Feature number " + std::to_string(i + 1); }

// A photo-like opaque picture: smooth gradients with fine detail, as 0xAARRGGBB.
uint32_t PicturePixel(int x, int y) {
  const uint32_t r = static_cast<uint32_t>(x / 8 + ((x * y) & 15)) & 0xFF;
  const uint32_t g = static_cast<uint32_t>(y / 8 + ((x ^ y) & 7)) & 0xFF;
  const uint32_t b = static_cast<uint32_t>((x + y) / 16) & 0xFF;
  return 0xFF000000u | r << 16 | g << 8 | b;
}

struct TCover {
  std::unique_ptr<TForm> Form = std::make_unique<TForm>(nullptr);
  TDIBImageList* List = new TDIBImageList(Form.get());
  TDIBImageContainer* Container = new TDIBImageContainer(Form.get());
  std::vector<TLabel*> Labels;

  TCover() {
    Container->SetParent(Form.get());
    Container->SetBounds(0, 0, kWidth, kHeight);
    Container->SetColor(clBlack);
    TDIBImagesItem* item = List->DIBImages()->Add();
    TMemoryDIB* dib = item->DIB();
    dib->SetSize(kSide, kSide);
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) *dib->ScanPixel(x, y) = PicturePixel(x, y);
    auto* image = new TDIBImage(Form.get());
    image->SetParent(Container);
    image->SetDIBImageList(List);
    image->IndexMain()->SetDIBIndex(item->Index());
    image->SetBounds(kImage.Left, kImage.Top, kImage.Width(), kImage.Height());
    image->SetStretch(true);
    image->SetOpacity(128);
    for (int i = 0; i < kLabels; ++i) {
      auto* label = new TLabel(Form.get());
      label->SetParent(Container);
      label->SetAutoSize(false);
      label->SetTransparent(true);
      label->SetAlignment(TAlignment::taCenter);
      label->Font()->SetSize(18);
      label->Font()->SetColor(clWhite);
      const TRect r = LabelRect(i);
      label->SetBounds(r.Left, r.Top, r.Width(), r.Height());
      label->SetCaption(LabelText(i));
      Labels.push_back(label);
    }
    auto* notes = new TRichEdit(Form.get());
    notes->SetParent(Container);
    notes->SetBounds(6, 325, 326, 138);
  }
};

// The device context of a window whose clip box is r.
std::unique_ptr<IDIBSection> Window(const TRect& r) {
  auto window = Backend().CreateDIBSection(kWidth, kHeight);
  window->DC().IntersectClipRect(r);
  return window;
}

void Paint(TCover& cover, IDIBSection& window) {
  cover.Container->Perform(WM_PAINT, reinterpret_cast<uintptr_t>(&window.DC()));
}

void ReportAllocations(benchmark::State& state, long before) {
  state.counters["allocs"] = static_cast<double>(gAllocations.load() - before) / static_cast<double>(state.iterations());
}

// The plain Qt program's drawing of the same scene.
struct TQtCover {
  QImage Target{kWidth, kHeight, QImage::Format_ARGB32_Premultiplied};
  QImage Picture{kSide, kSide, QImage::Format_ARGB32_Premultiplied};
  QFont Font;
  std::vector<QString> Texts;

  TQtCover() {
    for (int y = 0; y < kSide; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(Picture.scanLine(y));
      for (int x = 0; x < kSide; ++x) row[x] = PicturePixel(x, y);
    }
    Font.setPointSize(18);
    for (int i = 0; i < kLabels; ++i) Texts.push_back(QString::fromStdString(LabelText(i)));
  }
  void Draw(const TRect* clip, const QColor& colour) {
    QPainter p(&Target);
    if (clip) p.setClipRect(QRect(clip->Left, clip->Top, clip->Width(), clip->Height()));
    p.fillRect(0, 0, kWidth, kHeight, Qt::black);
    p.setOpacity(0.5);
    p.drawImage(QRect(kImage.Left, kImage.Top, kImage.Width(), kImage.Height()), Picture);
    p.setOpacity(1);
    p.setFont(Font);
    for (int i = 0; i < kLabels; ++i) {
      const TRect r = LabelRect(i);
      p.setPen(i == 3 ? colour : QColor(Qt::white));
      p.drawText(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::AlignCenter, Texts[static_cast<size_t>(i)]);
    }
  }
};

using TClock = std::chrono::steady_clock;

double Since(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// Ours against the plain Qt drawing, timed right after ours in the same process: seconds per
// paint of ours divided by those of as many Qt paints.
void ReportRatio(benchmark::State& state, double ours, TQtCover& qt, const TRect* clip) {
  const auto n = static_cast<long>(state.iterations());
  const TClock::time_point start = TClock::now();
  for (long i = 0; i < n; ++i) qt.Draw(clip, (i & 1) ? QColor(0xFF, 0xC0, 0x80) : QColor(Qt::white));
  state.counters["ratio"] = ours / Since(start);
}

void BM_ComposeFull(benchmark::State& state) {
  TCover cover;
  auto window = Window({0, 0, kWidth, kHeight});
  Paint(cover, *window);
  const long before = gAllocations.load();
  const TClock::time_point start = TClock::now();
  for (auto _ : state) Paint(cover, *window);
  const double ours = Since(start);
  ReportAllocations(state, before);
  TQtCover qt;
  qt.Draw(nullptr, Qt::white);
  ReportRatio(state, ours, qt, nullptr);
}

void BM_ComposeLabelAfterColourChange(benchmark::State& state) {
  TCover cover;
  TLabel* label = cover.Labels[3];
  auto window = Window(label->BoundsRect());
  Paint(cover, *window);
  bool flip = false;
  const long before = gAllocations.load();
  const TClock::time_point start = TClock::now();
  for (auto _ : state) {
    flip = !flip;
    label->Font()->SetColor(flip ? TColor(0x80C0FF) : clWhite);
    Paint(cover, *window);
  }
  const double ours = Since(start);
  ReportAllocations(state, before);
  TQtCover qt;
  const TRect clip = LabelRect(3);
  qt.Draw(&clip, Qt::white);
  ReportRatio(state, ours, qt, &clip);
}

void BM_PlainQtFull(benchmark::State& state) {
  TQtCover cover;
  cover.Draw(nullptr, Qt::white);
  const long before = gAllocations.load();
  for (auto _ : state) cover.Draw(nullptr, Qt::white);
  ReportAllocations(state, before);
}

void BM_PlainQtLabel(benchmark::State& state) {
  TQtCover cover;
  const TRect clip = LabelRect(3);
  cover.Draw(&clip, Qt::white);
  bool flip = false;
  const long before = gAllocations.load();
  for (auto _ : state) {
    flip = !flip;
    cover.Draw(&clip, flip ? QColor(0xFF, 0xC0, 0x80) : QColor(Qt::white));
  }
  ReportAllocations(state, before);
}

// Side by side so that the ratios come from one run.
BENCHMARK(BM_ComposeFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainQtFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeLabelAfterColourChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainQtLabel)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  TQtBackendScope backend(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

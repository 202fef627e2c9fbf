// The inside cover of the main window composed by the DIB container: a 1400 x 1400 picture
// stretched to 336 x 469 at opacity 128, eight transparent labels of 18-point text and a rich-edit
// child clipped out. Beside each figure, in the same run, the same scene as a plain program of the
// backend's GUI system draws it (CompositionYardstick.h). The "allocs" counter is the heap
// allocations per paint once the first paint has sized the surfaces; "ratio" is ours over the
// plain drawing, timed in the same run.
//
//   BUILD/bench/bench_composition                 # the Qt backend
//   source scripts/wine-env.sh BUILD; wine BUILD/bench/bench_composition.exe   # the Win32 backend
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "bench/CompositionYardstick.h"
#include "dibcontrols/cDIBImage.h"
#include "dibcontrols/cDIBPanel.h"
#include "toolkit/Backend.h"
#include "toolkit/ComCtrls.h"
#include "toolkit/Forms.h"
#include "toolkit/StdCtrls.h"

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

// Every one kept out of line: inlined, the compiler sees malloc() and free() meet the operators
// and warns of a mismatched pair.
[[gnu::noinline]] void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t size) { return operator new(size); }
[[gnu::noinline]] void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size ? size : 1);
}
[[gnu::noinline]] void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace composition;

constexpr TColor kChangedColour = 0x80C0FF;

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
    image->SetOpacity(kOpacity);
    for (int i = 0; i < kLabels; ++i) {
      auto* label = new TLabel(Form.get());
      label->SetParent(Container);
      label->SetAutoSize(false);
      label->SetTransparent(true);
      label->SetAlignment(TAlignment::taCenter);
      label->Font()->SetSize(kPoints);
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
  const TFontData& LabelFont() const { return Labels[0]->Font()->Data(); }
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

using TClock = std::chrono::steady_clock;

double Since(TClock::time_point start) { return std::chrono::duration<double>(TClock::now() - start).count(); }

// Ours against the plain drawing, timed right after ours in the same process: seconds per paint
// of ours divided by those of as many plain paints.
void ReportRatio(benchmark::State& state, double ours, TYardstick& plain, const TRect* clip) {
  const auto n = static_cast<long>(state.iterations());
  const TClock::time_point start = TClock::now();
  for (long i = 0; i < n; ++i) plain.Draw(clip, (i & 1) ? kChangedColour : clWhite);
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
  TYardstick plain(cover.LabelFont());
  plain.Draw(nullptr, clWhite);
  ReportRatio(state, ours, plain, nullptr);
}

void BM_ComposeLabelAfterColourChange(benchmark::State& state) {
  TCover cover;
  TLabel* label = cover.Labels[kChangingLabel];
  auto window = Window(label->BoundsRect());
  Paint(cover, *window);
  bool flip = false;
  const long before = gAllocations.load();
  const TClock::time_point start = TClock::now();
  for (auto _ : state) {
    flip = !flip;
    label->Font()->SetColor(flip ? kChangedColour : clWhite);
    Paint(cover, *window);
  }
  const double ours = Since(start);
  ReportAllocations(state, before);
  TYardstick plain(cover.LabelFont());
  const TRect clip = LabelRect(kChangingLabel);
  plain.Draw(&clip, clWhite);
  ReportRatio(state, ours, plain, &clip);
}

void BM_PlainFull(benchmark::State& state) {
  TYardstick plain(TCover().LabelFont());
  plain.Draw(nullptr, clWhite);
  const long before = gAllocations.load();
  for (auto _ : state) plain.Draw(nullptr, clWhite);
  ReportAllocations(state, before);
}

void BM_PlainLabel(benchmark::State& state) {
  TYardstick plain(TCover().LabelFont());
  const TRect clip = LabelRect(kChangingLabel);
  plain.Draw(&clip, clWhite);
  bool flip = false;
  const long before = gAllocations.load();
  for (auto _ : state) {
    flip = !flip;
    plain.Draw(&clip, flip ? kChangedColour : clWhite);
  }
  ReportAllocations(state, before);
}

// Side by side so that the ratios come from one run.
BENCHMARK(BM_ComposeFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ComposeLabelAfterColourChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainLabel)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TBackendRun backend(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Fixed-cell text output: a screenful of rows (40 rows of 100 characters) written with the
// text drawer into an image, beside the reference of filling the same row rectangles alone.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/quick.h"

#include "editor/core/text_drawer.h"

namespace {

constexpr int kRows = 40, kCols = 100;

struct Screen {
  TFont font;
  std::unique_ptr<TheTextDrawer> drawer;
  std::unique_ptr<TBitmap> image;
  AnsiString line;
  Screen() {
    font.SetName("Courier New");
    font.SetSize(10);
    drawer = std::make_unique<TheTextDrawer>(TFontStyles{fsBold}, &font);
    image = std::make_unique<TBitmap>(kCols * drawer->CellWidth(), kRows * drawer->CellHeight());
    for (int i = 0; i < kCols; ++i) line += char('!' + (i * 7) % 90);
  }
};

void BM_TextOutCells(benchmark::State& state) {
  Screen s;
  HDC dc = s.image->Canvas()->Handle();
  const int cw = s.drawer->CellWidth(), ch = s.drawer->CellHeight();
  for (auto _ : state) {
    s.drawer->BeginDraw(dc);
    for (int row = 0; row < kRows; ++row) {
      s.drawer->SelectStyle(row % 3 == 0 ? TFontStyles{fsBold} : TFontStyles{});
      TRect r = Rect(0, row * ch, kCols * cw, (row + 1) * ch);
      s.drawer->TextOutCells(0, row * ch, ETO_OPAQUE | ETO_CLIPPED, &r, s.line.data(), kCols);
    }
    s.drawer->EndDraw();
  }
  state.SetItemsProcessed(state.iterations() * kRows * kCols);
}
BENCHMARK(BM_TextOutCells)->Unit(benchmark::kMillisecond);

void BM_ReferenceFillRowsOnly(benchmark::State& state) {
  Screen s;
  TCanvas* c = s.image->Canvas();
  const int cw = s.drawer->CellWidth(), ch = s.drawer->CellHeight();
  for (auto _ : state) {
    for (int row = 0; row < kRows; ++row) {
      c->Brush()->SetColor(row % 2 ? clWhite : clYellow);
      c->FillRect(Rect(0, row * ch, kCols * cw, (row + 1) * ch));
    }
  }
  state.SetItemsProcessed(state.iterations() * kRows * kCols);
}
BENCHMARK(BM_ReferenceFillRowsOnly)->Unit(benchmark::kMillisecond);

}  // namespace

// In quick mode each benchmark runs for a hundredth of a second.
int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  std::string quick = "--benchmark_min_time=0.01";
  if (bench_quick::On()) args.push_back(quick.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

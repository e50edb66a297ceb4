// Painting a full window of highlighted HTML (a dense and a sparse page) into an offscreen
// image, and rewrapping a document of a million lines after a width change and after an edit
// inside one line.
#include <chrono>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/load_average.h"
#include "bench/quick.h"
#include "editor/core/text_drawer.h"
#include "editor/src_edit.h"
#include "editor/word_wrap.h"
#include "highlighters/html.h"
#include "platform/dc.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {
struct PaintableEdit : TSrcEdit {
  using TSrcEdit::TSrcEdit;
  void PaintInto(TCanvas* c, const TRect& r) { Paint(c, r); }
};
double Ms(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count();
}

// A sparse page: short lines of plain text and empty lines, few tokens.
AnsiString SparsePage(int lines) {
  AnsiString page;
  for (int i = 0; i < lines; ++i) page += i % 3 == 2 ? "\r\n" : "Some plain text of a paragraph\r\n";
  return page;
}

struct PaintFigures {
  std::vector<double> paint, unbatched, plain, rows, fill;
  int tokens = 0;
};

// The time of one call of f, in ms: the mean of a batch of calls after one more to warm up.
template <class F>
double BatchMs(int calls, F&& f) {
  f();
  auto t = std::chrono::steady_clock::now();
  for (int i = 0; i < calls; ++i) f();
  return Ms(t) / calls;
}

constexpr int kRounds = 9;

// The editor's full paint of its client rectangle into an offscreen image, beside references
// measured in the same run on the same image: the same paint with text batching off, the same
// page painted without a highlighter, each visible row drawn as one cell run by the control's
// own text drawer, and a fill of the image. Each round measures a batch of each in turn, so
// that a busy machine disturbs them alike; the rounds give the minimum and the median.
PaintFigures MeasurePage(PaintableEdit& e, TSrcCustomHighlighter& hl, const AnsiString& page, int reps) {
  PaintFigures f{};
  e.Lines()->SetText(page);
  e.SetHighlighter(&hl);
  e.SetBlockBegin(BufferCoord(5, 10));
  e.SetBlockEnd(BufferCoord(20, 12));
  const int w = e.ClientWidth(), h = e.ClientHeight();
  TBitmap bmp(w, h);
  TRect all{0, 0, w, h};
  // Tokens of the visible part of the page, for the report.
  for (int line = e.TopLine(); line < e.TopLine() + e.LinesInWindow() && line <= e.Lines()->Count(); ++line) {
    if (line == 1) hl.ResetRange();
    else hl.SetRange(reinterpret_cast<TSrcRange>(e.Lines()->GetRange(line - 2)));
    AnsiString s = e.Lines()->ExpandedStrings(line - 1);
    hl.SetLine(s, line - 1);
    for (; !hl.GetEol() && hl.GetTokenPos() < e.CharsInWindow(); hl.Next()) ++f.tokens;
  }
  auto paint = [&] { e.PaintInto(bmp.Canvas(), all); };
  TheTextDrawer drawer(TFontStyles{}, e.Font());
  const int lh = e.LineHeight(), x0 = e.GutterWidth() + 2;
  std::vector<AnsiString> rows;
  for (int i = 0; i < e.LinesInWindow() + 1; ++i)
    rows.push_back(i < e.Lines()->Count() ? e.Lines()->ExpandedStrings(i) : AnsiString());
  auto cellRows = [&] {
    drawer.BeginDraw(bmp.Canvas()->Handle());
    for (size_t i = 0; i < rows.size(); ++i) {
      TRect r{x0, int(i) * lh, w, int(i + 1) * lh};
      drawer.TextOutCells(x0, r.Top, ETO_OPAQUE | ETO_CLIPPED, &r, rows[i].data(),
                          std::min<int>(int(rows[i].size()), e.CharsInWindow() + 1));
    }
    drawer.EndDraw();
  };
  auto fill = [&] {
    bmp.Canvas()->Brush()->SetColor(clWindow);
    bmp.Canvas()->FillRect(all);
  };
  const int calls = std::max(1, reps / kRounds);
  for (int round = 0; round < kRounds; ++round) {
    e.SetHighlighter(&hl);
    f.paint.push_back(BatchMs(calls, paint));
    GdiSetBatchLimit(1);
    f.unbatched.push_back(BatchMs(calls, paint));
    GdiSetBatchLimit(0);
    e.SetHighlighter(nullptr);
    f.plain.push_back(BatchMs(calls, paint));
    f.rows.push_back(BatchMs(calls, cellRows));
    f.fill.push_back(BatchMs(calls, fill));
  }
  return f;
}

}  // namespace

// With the argument "paint" only the paints are measured (for a profile of them).
int main(int argc, char** argv) {
  EnsureGuiApplication();
  const bool paintOnly = argc > 1 && std::string(argv[1]) == "paint";
  TSrcHTMLSrc hl(nullptr);
  PaintableEdit e(nullptr);
  e.Gutter()->SetShowLineNumbers(true);
  ShowForTest(&e, 100, 100);
  // A window of 143 x 58 cells.
  int w = e.GutterWidth() + 2 + 143 * e.CharWidth(), h = 58 * e.LineHeight();
  e.SetBounds(0, 0, w + (e.Width() - e.ClientWidth()), h + (e.Height() - e.ClientHeight()));
  ProcessMessages();
  const int reps = paintOnly ? 2000 : bench_quick::Pick(200, 9);
  using bench_doc::Median;
  using bench_doc::Min;
  for (int round = 0; round < 2; ++round) {
    const char* name = round == 0 ? "dense" : "sparse";
    const std::string loadBefore = bench_load::LoadAverage();
    PaintFigures f = MeasurePage(e, hl, round == 0 ? bench_doc::DensePage(400) : SparsePage(400), reps);
    std::printf(
        "full paint, %s page, %d x %d cells (%d x %d px, %d tokens visible): min %.3f ms, median %.3f ms\n"
        "  (%d rounds of %d paints, %s before, %s after)\n"
        "  same rounds, min / median: text batching off %.3f / %.3f ms; same page without highlighter %.3f / %.3f "
        "ms;\n  one cell run per row %.3f / %.3f ms; fill of the image %.3f / %.3f ms\n",
        name, e.CharsInWindow(), e.LinesInWindow(), e.ClientWidth(), e.ClientHeight(), f.tokens, Min(f.paint),
        Median(f.paint), kRounds, std::max(1, reps / kRounds), loadBefore.c_str(), bench_load::LoadAverage().c_str(), Min(f.unbatched),
        Median(f.unbatched), Min(f.plain), Median(f.plain), Min(f.rows), Median(f.rows), Min(f.fill), Median(f.fill));
  }
  if (paintOnly) return 0;

  const int lines = bench_quick::Pick(1000000, 20000);
  AnsiString doc;
  doc.reserve(60u * static_cast<size_t>(lines));
  for (int i = 0; i < lines; ++i) doc += "<li>item " + std::to_string(i) + " of a long list of things to wrap</li>\r\n";
  e.Gutter()->SetShowLineNumbers(false);
  e.Lines()->SetText(doc);
  e.SetWordWrap(true);
  auto* plugin = static_cast<TSrcWordWrapPlugin*>(e.WordWrapPlugin());
  long long before = plugin->WrappedLines();
  auto t = std::chrono::steady_clock::now();
  e.SetBounds(0, 0, e.GutterWidth() + 2 + 30 * e.CharWidth(), h);
  ProcessMessages();
  double rewrap = Ms(t);
  long long full = plugin->WrappedLines() - before;
  std::printf("rewrap of %d lines after a width change: %.1f ms, %lld lines wrapped, %d rows\n",
              e.Lines()->Count(), rewrap, full, e.DisplayLineCount());
  bench_quick::Check(full >= e.Lines()->Count(), "every line rewrapped after the width change");
  before = plugin->WrappedLines();
  e.SetCaretXY(BufferCoord(10, lines / 2));
  t = std::chrono::steady_clock::now();
  e.SetSelText("more text typed inside one wrapped line");
  double edit = Ms(t);
  std::printf("edit inside one wrapped line: %.3f ms, %lld line(s) rewrapped\n", edit,
              plugin->WrappedLines() - before);
  return bench_quick::Status();
}

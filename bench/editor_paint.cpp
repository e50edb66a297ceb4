// Painting a full window of highlighted HTML (a dense and a sparse page) into an offscreen
// image, and rewrapping a document of a million lines after a width change and after an edit
// inside one line.
#include <chrono>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

// A page of dense mark-up: every line is wider than the window and holds ~40 tokens of many
// kinds (tags, attribute names and values, entities, text, comments).
AnsiString DensePage(int lines) {
  AnsiString page;
  for (int i = 0; i < lines; ++i)
    page += "<tr><td class=\"c" + std::to_string(i % 7) + "\" id=r" + std::to_string(i) +
            "><a href=\"p.html#" + std::to_string(i) +
            "\">&lt;x&gt;</a> <b>bold</b> <i>it</i> &amp; <span style=\"color:red\">red</span> <!-- n" +
            std::to_string(i) + " --> <em>end</em> <img src=a.png alt=\"\"></td></tr>\r\n";
  return page;
}

// A sparse page: short lines of plain text and empty lines, few tokens.
AnsiString SparsePage(int lines) {
  AnsiString page;
  for (int i = 0; i < lines; ++i) page += i % 3 == 2 ? "\r\n" : "Some plain text of a paragraph\r\n";
  return page;
}

struct PaintFigures {
  double paint, unbatched, plain, rows, fill;
  int tokens;
};

// The time of one call of f: the best of ten batches of reps / 10 calls, so that a machine
// busy with other work disturbs the figure less.
template <class F>
double BestMs(int reps, F&& f) {
  f();
  double best = 1e300;
  for (int batch = 0; batch < 10; ++batch) {
    auto t = std::chrono::steady_clock::now();
    for (int i = 0; i < reps / 10; ++i) f();
    best = std::min(best, Ms(t) / (reps / 10));
  }
  return best;
}

// The editor's full paint of its client rectangle into an offscreen image, beside references
// measured in the same run on the same image: the same paint with text batching off, the same
// page painted without a highlighter, each visible row drawn as one cell run by the control's
// own text drawer, and a fill of the image.
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
  f.paint = BestMs(reps, paint);
  GdiSetBatchLimit(1);
  f.unbatched = BestMs(reps, paint);
  GdiSetBatchLimit(0);
  e.SetHighlighter(nullptr);
  f.plain = BestMs(reps, paint);

  TheTextDrawer drawer(TFontStyles{}, e.Font());
  const int lh = e.LineHeight(), x0 = e.GutterWidth() + 2;
  std::vector<AnsiString> rows;
  for (int i = 0; i < e.LinesInWindow() + 1; ++i)
    rows.push_back(i < e.Lines()->Count() ? e.Lines()->ExpandedStrings(i) : AnsiString());
  f.rows = BestMs(reps, [&] {
    drawer.BeginDraw(bmp.Canvas()->Handle());
    for (size_t i = 0; i < rows.size(); ++i) {
      TRect r{x0, int(i) * lh, w, int(i + 1) * lh};
      drawer.TextOutCells(x0, r.Top, ETO_OPAQUE | ETO_CLIPPED, &r, rows[i].data(),
                          std::min<int>(int(rows[i].size()), e.CharsInWindow() + 1));
    }
    drawer.EndDraw();
  });
  f.fill = BestMs(reps, [&] {
    bmp.Canvas()->Brush()->SetColor(clWindow);
    bmp.Canvas()->FillRect(all);
  });
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
  const int reps = paintOnly ? 2000 : 200;
  for (int round = 0; round < 2; ++round) {
    const char* name = round == 0 ? "dense" : "sparse";
    PaintFigures f = MeasurePage(e, hl, round == 0 ? DensePage(400) : SparsePage(400), reps);
    std::printf(
        "full paint, %s page, %d x %d cells (%d x %d px, %d tokens visible): %.3f ms\n"
        "  same run: text batching off %.3f ms; same page without highlighter %.3f ms; one cell run per row "
        "%.3f ms; fill of the image %.3f ms\n",
        name, e.CharsInWindow(), e.LinesInWindow(), e.ClientWidth(), e.ClientHeight(), f.tokens, f.paint,
        f.unbatched, f.plain, f.rows, f.fill);
  }
  if (paintOnly) return 0;

  AnsiString doc;
  doc.reserve(60u * 1000000u);
  for (int i = 0; i < 1000000; ++i) doc += "<li>item " + std::to_string(i) + " of a long list of things to wrap</li>\r\n";
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
  before = plugin->WrappedLines();
  e.SetCaretXY(BufferCoord(10, 500000));
  t = std::chrono::steady_clock::now();
  e.SetSelText("more text typed inside one wrapped line");
  double edit = Ms(t);
  std::printf("edit inside one wrapped line: %.3f ms, %lld line(s) rewrapped\n", edit,
              plugin->WrappedLines() - before);
  return 0;
}

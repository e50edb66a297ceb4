// Painting a full window of highlighted HTML into an offscreen image, and rewrapping a
// document of a million lines after a width change and after an edit inside one line.
#include <chrono>
#include <cstdio>
#include <string>

#include "editor/src_edit.h"
#include "editor/word_wrap.h"
#include "highlighters/html.h"
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
}  // namespace

int main() {
  EnsureGuiApplication();
  TSrcHTMLSrc hl(nullptr);
  AnsiString page;
  for (int i = 0; i < 400; ++i)
    page += "<p class=\"item\" id=\"p" + std::to_string(i) +
            "\">Some <b>bold</b> text &amp; a <a href=\"x.html\">link</a> <!-- note --> end of the line</p>\r\n";
  PaintableEdit e(nullptr);
  e.Lines()->SetText(page);
  e.SetHighlighter(&hl);
  e.Gutter()->SetShowLineNumbers(true);
  ShowForTest(&e, 100, 100);
  int w = e.GutterWidth() + 2 + 120 * e.CharWidth(), h = 50 * e.LineHeight();
  e.SetBounds(0, 0, w, h);
  ProcessMessages();
  w = e.ClientWidth();
  h = e.ClientHeight();
  e.SetBlockBegin(BufferCoord(5, 10));
  e.SetBlockEnd(BufferCoord(20, 12));
  TBitmap bmp(w, h);
  const int reps = 50;
  e.PaintInto(bmp.Canvas(), TRect{0, 0, w, h});
  auto t = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) e.PaintInto(bmp.Canvas(), TRect{0, 0, w, h});
  double paint = Ms(t) / reps;
  // Reference: filling the same image once per paint.
  t = std::chrono::steady_clock::now();
  for (int i = 0; i < reps; ++i) {
    bmp.Canvas()->Brush()->SetColor(clWindow);
    bmp.Canvas()->FillRect(TRect{0, 0, w, h});
  }
  double fill = Ms(t) / reps;
  std::printf("full paint %d x %d cells (%d x %d px): %.2f ms (reference fill of the image: %.3f ms)\n",
              e.CharsInWindow(), e.LinesInWindow(), w, h, paint, fill);
  e.SetHighlighter(nullptr);

  AnsiString doc;
  doc.reserve(60u * 1000000u);
  for (int i = 0; i < 1000000; ++i) doc += "<li>item " + std::to_string(i) + " of a long list of things to wrap</li>\r\n";
  e.Gutter()->SetShowLineNumbers(false);
  e.Lines()->SetText(doc);
  e.SetWordWrap(true);
  auto* plugin = static_cast<TSrcWordWrapPlugin*>(e.WordWrapPlugin());
  long long before = plugin->WrappedLines();
  t = std::chrono::steady_clock::now();
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

// Editing a 1 M-line HTML document in the control with the HTML highlighter attached, in a
// shown (offscreen) window: one typed character in the middle (replace the selection, rescan,
// invalidate), a comment opened near the top and in the middle of the comment-free document
// (every later range changes), and one paste of 1,000 lines, beside the bare line-store change
// of the same line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/quick.h"
#include "bench/load_average.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::MakeDocument;
using bench_doc::MakeLine;
using bench_doc::Median;
using bench_doc::Now;

double Ms(double seconds) { return seconds * 1e3; }

// "<!--" typed at the start of a line: from its last character on, every later line's range
// changes and every row below the caret shows a comment. Each keystroke is timed to the
// invalidated rectangle, and with the paint that follows (the invalidated part of the window
// painted at once, as the next paint message would); the worst of both are printed beside a
// full repaint of the same window measured in the same run. Several rounds, interleaved with
// the reference; min and median of the rounds. The later ranges are left for idle time.
void TypeCommentOpeners(TSrcEdit& edit, const char* what, std::initializer_list<int> lines) {
  const std::string keys = "<!--";
  for (int at : lines) {
    std::vector<double> worstKey, worstWithPaint, fullPaint;
    std::vector<int> worstChar;
    double rest = 0;
    for (int round = 0; round < bench_quick::Pick(7, 2); ++round) {
      edit.Lines()->GetRange(edit.Lines()->Count() - 1);
      edit.SetTopLine(at - 5);
      edit.SetCaretXY(BufferCoord(1, at));
      edit.Invalidate();
      edit.Update();
      double a = Now();
      edit.Invalidate();
      edit.Update();
      fullPaint.push_back(Now() - a);
      double key = 0, withPaint = 0;
      int which = 0;
      for (size_t k = 0; k < keys.size(); ++k) {
        a = Now();
        edit.CommandProcessor(ecChar, keys[k], nullptr);
        double b = Now();
        edit.Update();
        double c = Now();
        key = std::max(key, b - a);
        if (c - a > withPaint) {
          withPaint = c - a;
          which = int(k);
        }
      }
      worstKey.push_back(key);
      worstWithPaint.push_back(withPaint);
      worstChar.push_back(which);
      a = Now();
      edit.Lines()->GetRange(edit.Lines()->Count() - 1);
      rest = Now() - a;
      for (size_t k = 0; k < keys.size(); ++k) edit.Undo();
      edit.Update();
    }
    std::printf(
        "\"<!--\" typed at line %6d, %s (%d rounds, %s):\n"
        "  worst keystroke to the invalidated rectangle  min %7.3f ms, median %7.3f ms\n"
        "  worst keystroke with the paint that follows   min %7.3f ms, median %7.3f ms (character %d of 4)\n"
        "  reference, full repaint of the window          min %7.3f ms, median %7.3f ms\n"
        "  the later ranges then take %.0f ms\n",
        at, what, int(worstKey.size()), bench_load::LoadAverage().c_str(), Ms(bench_doc::Min(worstKey)), Ms(Median(worstKey)), Ms(bench_doc::Min(worstWithPaint)), Ms(Median(worstWithPaint)),
        worstChar[worstChar.size() / 2] + 1, Ms(bench_doc::Min(fullPaint)), Ms(Median(fullPaint)), Ms(rest));
  }
}

}  // namespace

int main() {
  EnsureGuiApplication();
  const int kLines = bench_quick::Pick(1000000, 20000);
  TSrcEdit edit(nullptr);
  TSrcHTMLSrc html(nullptr);
  double t0 = Now();
  edit.Lines()->SetText(MakeDocument(kLines));
  double tLoad = Now() - t0;
  t0 = Now();
  edit.SetHighlighter(&html);
  double tAttach = Now() - t0;
  edit.Lines()->GetRange(edit.Lines()->Count() - 1);  // every range up to date
  double tScan = Now() - t0;
  ShowForTest(&edit, 800, 600);
  std::printf("document: %d lines; load %.0f ms, highlighter attached %.1f ms, every range scanned %.0f ms\n",
              edit.Lines()->Count(), tLoad * 1e3, tAttach * 1e3, tScan * 1e3);

  TypeCommentOpeners(edit, "generated document, 800 x 600 px", {101, kLines / 2});
  {
    // The dense page of the paint benchmark, in its window of 143 x 58 cells with line numbers.
    TSrcEdit dense(nullptr);
    TSrcHTMLSrc denseHtml(nullptr);
    const int denseLines = bench_quick::Pick(100000, 2000);
    dense.Lines()->SetText(bench_doc::DensePage(denseLines));
    dense.SetHighlighter(&denseHtml);
    dense.Gutter()->SetShowLineNumbers(true);
    ShowForTest(&dense, 100, 100);
    int w = dense.GutterWidth() + 2 + 143 * dense.CharWidth(), h = 58 * dense.LineHeight();
    dense.SetBounds(0, 0, w + (dense.Width() - dense.ClientWidth()), h + (dense.Height() - dense.ClientHeight()));
    ProcessMessages();
    TypeCommentOpeners(dense, "dense page, 143 x 58 cells", {101, denseLines / 2});
    dense.SetHighlighter(nullptr);
  }

  // One typed character in the middle, through the command processor.
  const int kReps = bench_quick::Pick(2000, 200);
  std::vector<double> typed, replaced, reference;
  int mid = kLines / 2;
  for (int i = 0; i < kReps; ++i) {
    // 100 characters on a line, then the next line: the editor refuses typing past its maximum
    // scroll width, which would make later samples measure nothing.
    if (i % 100 == 0) edit.SetCaretXY(BufferCoord(20, mid + i / 100));
    double a = Now();
    edit.CommandProcessor(ecChar, 'x', nullptr);
    typed.push_back(Now() - a);
  }
  // The same through the selection replacement, a selected character replaced by another.
  for (int i = 0; i < kReps; ++i) {
    edit.PlaceCaretAndSelection(BufferCoord(21, mid + 1), BufferCoord(20, mid + 1), BufferCoord(21, mid + 1));
    double a = Now();
    edit.SetSelText("y");
    replaced.push_back(Now() - a);
  }
  ProcessMessages();
  // Reference: the bare line-store change of one line, no editor attached.
  TSrcEditStringList bare;
  bare.SetText(MakeDocument(kLines));
  for (int i = 0; i < kReps; ++i) {
    AnsiString s = bare.Get(mid);
    s.insert(19, 1, 'x');
    double a = Now();
    bare.Put(mid, s);
    reference.push_back(Now() - a);
  }
  std::printf("typed character (ecChar):          median %9.2f us/op\n", Median(typed) * 1e6);
  std::printf("replaced selection (SelText):      median %9.2f us/op\n", Median(replaced) * 1e6);
  std::printf("reference, line-store Put alone:   median %9.2f us/op\n", Median(reference) * 1e6);

  // Paste of 1,000 lines in the middle, then its undo.
  AnsiString block;
  for (int i = 0; i < 1000; ++i) block += MakeLine(i) + "\r\n";
  Clipboard()->SetAsText(block);
  std::vector<double> paste, undo, bareInsert;
  const int pastes = bench_quick::Pick(10, 2);
  for (int i = 0; i < pastes; ++i) {
    edit.SetCaretXY(BufferCoord(1, mid + 10));
    double a = Now();
    edit.PasteFromClipboard();
    paste.push_back(Now() - a);
    a = Now();
    edit.Undo();
    undo.push_back(Now() - a);
  }
  for (int i = 0; i < pastes; ++i) {
    double a = Now();
    bare.InsertLines(mid + 10, 1000);
    for (int k = 0; k < 1000; ++k) bare.Put(mid + 10 + k, MakeLine(k));
    bareInsert.push_back(Now() - a);
    bare.DeleteLines(mid + 10, 1000);
  }
  ProcessMessages();
  std::printf("paste of 1,000 lines:              median %9.2f us/op\n", Median(paste) * 1e6);
  std::printf("undo of that paste:                median %9.2f us/op\n", Median(undo) * 1e6);
  std::printf("reference, line-store insert+put:  median %9.2f us/op\n", Median(bareInsert) * 1e6);
  std::printf("lines after the runs: %d\n", edit.Lines()->Count());
  bench_quick::Check(edit.Lines()->Count() == kLines, "every paste undone");
  edit.SetHighlighter(nullptr);
  return bench_quick::Status();
}

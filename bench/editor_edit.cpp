// Editing a 1 M-line HTML document in the control with the HTML highlighter attached, in a
// shown (offscreen) window: one typed character in the middle (replace the selection, rescan,
// invalidate) and one paste of 1,000 lines, beside the bare line-store change of the same line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::MakeDocument;
using bench_doc::MakeLine;
using bench_doc::Median;
using bench_doc::Now;

}  // namespace

int main() {
  EnsureGuiApplication();
  const int kLines = 1000000;
  TSrcEdit edit(nullptr);
  TSrcHTMLSrc html(nullptr);
  double t0 = Now();
  edit.Lines()->SetText(MakeDocument(kLines));
  double tLoad = Now() - t0;
  t0 = Now();
  edit.SetHighlighter(&html);
  double tScan = Now() - t0;
  ShowForTest(&edit, 800, 600);
  std::printf("document: %d lines; load %.0f ms, full range scan %.0f ms\n", edit.Lines()->Count(), tLoad * 1e3,
              tScan * 1e3);

  // One typed character in the middle, through the command processor.
  const int kReps = 2000;
  std::vector<double> typed, replaced, reference;
  int mid = kLines / 2;
  edit.SetCaretXY(BufferCoord(20, mid));
  for (int i = 0; i < kReps; ++i) {
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
  for (int i = 0; i < 10; ++i) {
    edit.SetCaretXY(BufferCoord(1, mid + 10));
    double a = Now();
    edit.PasteFromClipboard();
    paste.push_back(Now() - a);
    a = Now();
    edit.Undo();
    undo.push_back(Now() - a);
  }
  for (int i = 0; i < 10; ++i) {
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
  edit.SetHighlighter(nullptr);
  return 0;
}

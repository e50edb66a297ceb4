// Editing a 1 M-line HTML document in the control with the HTML highlighter attached, in a
// shown (offscreen) window: one typed character in the middle (replace the selection, rescan,
// invalidate), a comment opened near the top and in the middle of the comment-free document
// (every later range changes), and one paste of 1,000 lines, beside the bare line-store change
// of the same line.
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
  double tAttach = Now() - t0;
  edit.Lines()->GetRange(edit.Lines()->Count() - 1);  // every range up to date
  double tScan = Now() - t0;
  ShowForTest(&edit, 800, 600);
  std::printf("document: %d lines; load %.0f ms, highlighter attached %.1f ms, every range scanned %.0f ms\n",
              edit.Lines()->Count(), tLoad * 1e3, tAttach * 1e3, tScan * 1e3);

  // "<!--" typed at the start of a line: from its second character on, every later line's range
  // changes. Worst keystroke, to the invalidated rectangle; the rest is left for idle time.
  for (int at : {101, 500000}) {
    edit.Lines()->GetRange(edit.Lines()->Count() - 1);
    edit.SetTopLine(at - 5);
    edit.SetCaretXY(BufferCoord(1, at));
    double worst = 0;
    for (char c : std::string("<!--")) {
      double a = Now();
      edit.CommandProcessor(ecChar, c, nullptr);
      worst = std::max(worst, Now() - a);
    }
    double a = Now();
    edit.Lines()->GetRange(edit.Lines()->Count() - 1);
    double rest = Now() - a;
    std::printf("\"<!--\" typed at line %6d: worst keystroke %8.3f ms; the later ranges then take %.0f ms\n", at,
                worst * 1e3, rest * 1e3);
    for (int k = 0; k < 4; ++k) edit.Undo();
  }

  // One typed character in the middle, through the command processor.
  const int kReps = 2000;
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

// Editor commands in a 1 M-line HTML document with the HTML highlighter attached, in a shown
// (offscreen) window and without painting: typed characters, word and line caret moves, a
// select-all with block indent, and undoing all of it, beside the bare line-store changes of
// the same lines measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/quick.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::MakeDocument;
using bench_doc::MakeLine;
using bench_doc::Median;
using bench_doc::Now;

double Mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / static_cast<double>(v.size());
}

void Report(const char* what, const std::vector<double>& v) {
  std::printf("%-44s median %9.2f us/op, mean %9.2f us/op, max %9.2f us\n", what, Median(v) * 1e6, Mean(v) * 1e6,
              *std::max_element(v.begin(), v.end()) * 1e6);
}

}  // namespace

int main() {
  EnsureGuiApplication();
  const int kLines = bench_quick::Pick(1000000, 20000);
  const int kOps = bench_quick::Pick(10000, 400);
  const AnsiString document = MakeDocument(kLines);
  TSrcEdit edit(nullptr);
  TSrcHTMLSrc html(nullptr);
  edit.Lines()->SetText(document);
  edit.SetHighlighter(&html);
  edit.SetMaxUndo(3 * kLines);
  ShowForTest(&edit, 800, 600);
  std::printf("document: %d lines, HTML highlighter, window %dx%d characters\n", edit.Lines()->Count(),
              edit.CharsInWindow(), edit.LinesInWindow());

  // Typed characters in the middle of the document, a line of text at a time.
  int mid = kLines / 2;
  std::vector<double> typed;
  typed.reserve(kOps);
  const char* sample = "<b class=\"x\">typed text</b> ";
  for (int i = 0; i < kOps; ++i) {
    if (i % 40 == 0) edit.SetCaretXY(BufferCoord(3, mid + i / 40));
    double a = Now();
    edit.CommandProcessor(ecChar, sample[i % 28], nullptr);
    typed.push_back(Now() - a);
  }
  // Reference: the line store's Put of the same change, no editor attached.
  TSrcEditStringList bare;
  bare.SetText(document);
  std::vector<double> put;
  put.reserve(kOps);
  for (int i = 0; i < kOps; ++i) {
    int line = mid + i / 40 - 1;
    AnsiString s = bare.Get(line);
    s.insert(static_cast<size_t>(2 + i % 40), 1, sample[i % 28]);
    double a = Now();
    bare.Put(line, s);
    put.push_back(Now() - a);
  }

  // Caret moves: word right and left, line down and up.
  std::vector<double> wordMoves, lineMoves;
  edit.SetCaretXY(BufferCoord(1, mid - 2000));
  for (int i = 0; i < kOps / 2; ++i) {
    double a = Now();
    edit.CommandProcessor(i % 8 < 6 ? ecWordRight : ecWordLeft, 0, nullptr);
    wordMoves.push_back(Now() - a);
  }
  for (int i = 0; i < kOps / 2; ++i) {
    double a = Now();
    edit.CommandProcessor(i % 4 < 3 ? ecDown : ecUp, 0, nullptr);
    lineMoves.push_back(Now() - a);
  }

  // Select all and indent the whole document.
  double a = Now();
  edit.CommandProcessor(ecSelectAll, 0, nullptr);
  edit.CommandProcessor(ecBlockIndent, 0, nullptr);
  double indent = Now() - a;
  a = Now();
  for (int i = 0; i < kLines; ++i) {
    AnsiString s = bare.Get(i);
    bare.Put(i, "\t" + s);
  }
  double bareIndent = Now() - a;

  // Undo of everything: the indent, then the typing.
  int steps = 0;
  a = Now();
  edit.CommandProcessor(ecUndo, 0, nullptr);
  double undoIndent = Now() - a;
  ++steps;
  a = Now();
  while (edit.CanUndo()) {
    edit.CommandProcessor(ecUndo, 0, nullptr);
    ++steps;
  }
  double undoTyping = Now() - a;
  // The control's text leaves out the last line break of the document.
  bool restored = edit.Lines()->Count() == kLines && edit.Text() + "\r\n" == document;

  Report("typed character (ecChar, end to end):", typed);
  Report("reference, line-store Put of that line:", put);
  Report("word move (ecWordRight/ecWordLeft):", wordMoves);
  Report("line move (ecDown/ecUp):", lineMoves);
  std::printf("%-44s %9.1f ms for %d lines (%.2f us/line)\n", "select all + block indent:", indent * 1e3, kLines,
              indent * 1e6 / kLines);
  std::printf("%-44s %9.1f ms for %d lines (%.2f us/line)\n", "reference, line-store Put of every line:",
              bareIndent * 1e3, kLines, bareIndent * 1e6 / kLines);
  std::printf("%-44s %9.1f ms\n", "undo of the block indent:", undoIndent * 1e3);
  std::printf("%-44s %9.1f ms in %d steps\n", "undo of the typing:", undoTyping * 1e3, steps - 1);
  std::printf("text restored by undo: %s; typed character target 1000 us: %s\n", restored ? "yes" : "NO",
              Median(typed) <= 1e-3 ? "met" : "MISSED");
  bench_quick::Check(restored, "text restored by undo");
  edit.SetHighlighter(nullptr);
  return bench_quick::Status();
}

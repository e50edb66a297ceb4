// Pasting many lines with word wrap on, beside the same paste with word wrap off in the same
// run: all of a page cut and pasted back, and a page pasted into the middle of a page as long.
// Two pages: short lines that fit the window (one row each) and dense lines that wrap into
// several rows. Sizes double so that the growth shows; the first argument sets the largest
// size (100,000 lines by default), a small one makes a quick run.
// Then word wrap switched on over one long line: a run of blanks, a run of tabs at tab width
// 256, beside a line of words as long, and last the widest line of tabs the editor takes
// (8,388,607 tabs, 2,147,483,392 columns). The second argument sets the longest run in columns
// (3,200,000 by default); 0 leaves the widest line out.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/load_average.h"
#include "bench/quick.h"
#include "editor/src_edit.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::Now;

struct Figures {
  double cutAndPaste = 0, pasteMiddle = 0;
  int rows = 0;
};

// The best of a few rounds: the paste alone, after the selection has been cut.
Figures Measure(TSrcEdit& edit, const AnsiString& page, bool wrap) {
  Figures f;
  f.cutAndPaste = f.pasteMiddle = 1e30;
  edit.SetWordWrap(wrap);
  for (int round = 0; round < bench_quick::Pick(3, 1); ++round) {
    edit.Lines()->SetText(page);
    edit.SelectAll();
    edit.CutToClipboard();
    double a = Now();
    edit.PasteFromClipboard();
    f.cutAndPaste = std::min(f.cutAndPaste, Now() - a);
    f.rows = edit.DisplayLineCount();
    // The same lines again, into the middle of the page.
    edit.SetCaretXY(BufferCoord(1, edit.Lines()->Count() / 2));
    a = Now();
    edit.PasteFromClipboard();
    f.pasteMiddle = std::min(f.pasteMiddle, Now() - a);
    ProcessMessages();
  }
  edit.Lines()->Clear();
  return f;
}

// Switching word wrap on over a page of one line: the wrap of the whole line, best of a few.
double WrapOneLine(TSrcEdit& edit, const AnsiString& line, int tabWidth, int rounds, int* rows) {
  edit.SetWordWrap(false);
  edit.SetTabWidth(tabWidth);
  edit.Lines()->SetText(line);
  double best = 1e30;
  for (int round = 0; round < rounds; ++round) {
    edit.SetWordWrap(false);
    double a = Now();
    edit.SetWordWrap(true);
    best = std::min(best, Now() - a);
  }
  *rows = edit.DisplayLineCount();
  edit.SetWordWrap(false);
  edit.Lines()->Clear();
  edit.SetTabWidth(8);
  return best;
}

void LongRuns(TSrcEdit& edit, long long longest) {
  const int rounds = bench_quick::Pick(3, 1);
  for (long long columns = std::max(longest / 8, 1LL); columns <= longest; columns *= 2) {
    const auto n = static_cast<size_t>(columns);
    AnsiString words;
    while (words.size() < n) words += "abcdefg ";
    words.resize(n);
    int rowsWords = 0, rowsBlanks = 0, rowsTabs = 0;
    double w = WrapOneLine(edit, words, 8, rounds, &rowsWords);
    double b = WrapOneLine(edit, AnsiString(n, ' '), 8, rounds, &rowsBlanks);
    double t = WrapOneLine(edit, AnsiString(n / 256, '\t'), 256, rounds, &rowsTabs);
    std::printf(
        "one line of %9lld columns: words %8.1f ms (%d rows), blanks %8.1f ms (%d rows), "
        "tabs %8.1f ms (%d rows)\n",
        columns, w * 1e3, rowsWords, b * 1e3, rowsBlanks, t * 1e3, rowsTabs);
    bench_quick::Check(rowsWords > 1 && rowsBlanks > 1 && rowsTabs > 1, "every long line wrapped");
  }
}

}  // namespace

int main(int argc, char** argv) {
  EnsureGuiApplication();
  int largest = argc > 1 ? std::max(1000, std::atoi(argv[1])) : bench_quick::Pick(100000, 1000);
  TSrcEdit edit(nullptr);
  ShowForTest(&edit, 800, 600);
  std::printf("window: %d columns; %s\n", edit.CharsInWindow(), bench_load::LoadAverage().c_str());
  for (const char* kind : {"short lines", "dense lines"}) {
    bool dense = kind[0] == 'd';
    for (int lines = largest / 4; lines <= largest; lines *= 2) {
      AnsiString page = dense ? bench_doc::DensePage(lines) : bench_doc::MakeDocument(lines);
      Figures off = Measure(edit, page, false);
      Figures on = Measure(edit, page, true);
      std::printf(
          "%s, %6d lines (%d rows wrapped):\n"
          "  cut all, paste back:        wrap on %8.1f ms, wrap off %7.1f ms, ratio %5.1f\n"
          "  pasted into the middle:     wrap on %8.1f ms, wrap off %7.1f ms, ratio %5.1f\n",
          kind, lines, on.rows, on.cutAndPaste * 1e3, off.cutAndPaste * 1e3, on.cutAndPaste / off.cutAndPaste,
          on.pasteMiddle * 1e3, off.pasteMiddle * 1e3, on.pasteMiddle / off.pasteMiddle);
      bench_quick::Check(on.rows >= lines && off.rows >= lines, "every pasted line shown");
    }
  }
  long long runs = argc > 2 ? std::atoll(argv[2]) : bench_quick::Pick(3200000LL, 4000LL);
  if (runs > 0) LongRuns(edit, runs);
  if (runs > 0 && !bench_quick::On()) {
    const int tabs = 8388607;
    int rows = 0;
    double t = WrapOneLine(edit, AnsiString(static_cast<size_t>(tabs), '\t'), 256, 1, &rows);
    std::printf("one line of %d tabs at tab width 256 (%lld columns): %8.1f ms (%d rows)\n", tabs,
                tabs * 256LL, t * 1e3, rows);
    bench_quick::Check(rows > 1, "the widest line wrapped");
  }
  std::printf("%s\n", bench_load::LoadAverage().c_str());
  return bench_quick::Status();
}

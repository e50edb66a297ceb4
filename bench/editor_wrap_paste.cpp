// Pasting many lines with word wrap on, beside the same paste with word wrap off in the same
// run: all of a page cut and pasted back, and a page pasted into the middle of a page as long.
// Two pages: short lines that fit the window (one row each) and dense lines that wrap into
// several rows. Sizes double so that the growth shows; the first argument sets the largest
// size (100,000 lines by default), a small one makes a quick run.
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
  std::printf("%s\n", bench_load::LoadAverage().c_str());
  return bench_quick::Status();
}

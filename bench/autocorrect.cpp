// Autocorrect with a 10,000-item list in an editor with the HTML highlighter: the cost of a word
// end that corrects nothing and of one correction, each beside the same character typed in the
// same editor without autocorrect, and beside a walk of the whole list per word end (what the
// list's index spares every keystroke).
#include <cstdio>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/quick.h"
#include "editor-services/autocorrect/auto_correct.h"
#include "highlighters/html.h"
#include "platform/graphics.h"

namespace {

using bench_doc::MakeDocument;
using bench_doc::Median;
using bench_doc::Now;

const int kItems = bench_quick::Pick(10000, 6000);
const int kReps = bench_quick::Pick(20000, 200);

}  // namespace

int main() {
  EnsureGuiApplication();
  TSrcHTMLSrc html(nullptr);
  TSrcEdit edit(nullptr);
  edit.SetHighlighter(&html);
  edit.SetMaxUndo(64);
  edit.SetOptions(edit.Options().Without(eoTrimTrailingSpaces));
  edit.Lines()->SetText(MakeDocument(1000));
  TSrcAutoCorrect ac(nullptr);
  ac.SetItemSepChar('=');
  for (int i = 0; i < kItems; ++i)
    ac.Items()->Add(W1251("слово") + std::to_string(i) + "=" + W1251("исправление ") + std::to_string(i));
  const int line = 500;
  const AnsiString plainLine = W1251("  <p>текст и слово</p> незнакомое");
  const AnsiString wrongLine = W1251("  <p>текст и слово</p> слово5000");
  const int end = static_cast<int>(plainLine.size()) + 1, wrongEnd = static_cast<int>(wrongLine.size()) + 1;

  // A typed character and a word end that corrects nothing, each undone untimed.
  auto typeAndTakeBack = [&](char c, std::vector<double>& out) {
    edit.Lines()->Put(line - 1, plainLine);
    for (int i = 0; i < kReps; ++i) {
      edit.SetCaretXY(BufferCoord(end, line));
      double a = Now();
      edit.CommandProcessor(ecChar, c, nullptr);
      out.push_back(Now() - a);
      edit.CommandProcessor(ecDeleteLastChar, 0, nullptr);
    }
  };
  // A correction (the line put back untimed), and the same blank typed without autocorrect.
  auto correct = [&](std::vector<double>& out) {
    for (int i = 0; i < kReps / 10; ++i) {
      edit.Lines()->Put(line - 1, wrongLine);
      edit.SetCaretXY(BufferCoord(wrongEnd, line));
      double a = Now();
      edit.CommandProcessor(ecChar, ' ', nullptr);
      out.push_back(Now() - a);
    }
  };

  std::vector<double> plainChar, plainBlank, plainBlankAfterWord, wordEnd, letter, correction;
  typeAndTakeBack('x', plainChar);
  typeAndTakeBack(' ', plainBlank);
  correct(plainBlankAfterWord);
  ac.SetEditor(&edit);
  ac.SetEnabled(true);
  typeAndTakeBack(' ', wordEnd);
  typeAndTakeBack('x', letter);
  correct(correction);
  bool corrected = edit.Lines()->Get(line - 1).find(W1251("исправление 5000")) != AnsiString::npos;

  // The whole list walked for one word, as a lookup without the index would.
  std::vector<double> walk;
  AnsiString word = W1251("незнакомое");
  for (int i = 0; i < bench_quick::Pick(200, 5); ++i) {
    double a = Now();
    int hits = 0;
    for (int k = 0; k < ac.Items()->Count(); ++k)
      hits += TSrcAutoCorrect::FindWord(word, ac.SplitItem(ac.Items()->Get(k), true), true, false, 0) >= 0;
    walk.push_back(Now() - a);
    bench_quick::Check(hits == 0, "no list item for an unlisted word");
  }

  std::printf("list: %d items; correction made: %s\n", kItems, corrected ? "yes" : "NO");
  std::printf("typed letter, no autocorrect (reference):     median %8.2f us\n", Median(plainChar) * 1e6);
  std::printf("typed blank, no autocorrect (reference):      median %8.2f us\n", Median(plainBlank) * 1e6);
  std::printf("word end, nothing to correct:                 median %8.2f us  (%.2fx the typed letter)\n",
              Median(wordEnd) * 1e6, Median(wordEnd) / Median(plainChar));
  std::printf("typed letter with autocorrect on:             median %8.2f us\n", Median(letter) * 1e6);
  std::printf("blank after a listed word, no autocorrect:    median %8.2f us\n", Median(plainBlankAfterWord) * 1e6);
  std::printf("blank after a listed word, corrected:         median %8.2f us  (%.2fx)\n", Median(correction) * 1e6,
              Median(correction) / Median(plainBlankAfterWord));
  std::printf("walk of the whole list for one word:          median %8.2f us\n", Median(walk) * 1e6);
  bench_quick::Check(corrected, "the listed word corrected");
  return bench_quick::Status();
}

// The completion list with 10,000 items: narrowing on each typed character, through the editor
// as the user types with the list open and through the prefix alone, beside a bare scan of the
// same 10,000 texts for the same prefixes.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/quick.h"
#include "editor-services/completion/completion_proposal.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::Median;
using bench_doc::Now;

const int kItems = bench_quick::Pick(10000, 2000);
const char* const kTyped = "item0123";

}  // namespace

int main() {
  EnsureGuiApplication();
  TSrcEdit edit(nullptr);
  edit.Lines()->SetText("x ");
  ShowForTest(&edit, 600, 300);
  TSrcCompletionProposal inns(nullptr);
  inns.SetEditor(&edit);
  inns.SetShortCut(::ShortCut('J', {ssCtrl}));
  TStringList items;
  std::vector<std::string> bare;
  for (int i = 0; i < kItems; ++i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%05d", i % 2 ? "Item" : "item", i);
    items.Add(buf);
    bare.push_back(buf);
  }
  inns.SetItemList(&items);

  std::vector<double> typed, prefixOnly, reference;
  size_t shown = 0, matched = 0;
  for (int round = 0; round < bench_quick::Pick(30, 2); ++round) {
    edit.Lines()->SetText("x ");
    edit.SetCaretXY(BufferCoord(3, 1));
    SimulateKeyStroke(&edit, 'J', {ssCtrl});
    for (const char* c = kTyped; *c; ++c) {
      double a = Now();
      SimulateTyping(&edit, std::string(1, *c));
      typed.push_back(Now() - a);
    }
    shown = static_cast<size_t>(inns.Form()->VisibleList()->Count());
    SimulateKeyStroke(&edit, VK_ESCAPE);

    AnsiString prefix;
    for (const char* c = kTyped; *c; ++c) {
      prefix += *c;
      double a = Now();
      inns.Form()->SetTypedPrefix(prefix);
      prefixOnly.push_back(Now() - a);
      a = Now();
      size_t n = 0;
      for (const std::string& s : bare) n += CompareText(std::string_view(s).substr(0, prefix.size()), prefix) == 0;
      reference.push_back(Now() - a);
      matched = n;
    }
  }
  std::printf("items: %d; shown after typing \"%s\": %zu (reference count %zu)\n", kItems, kTyped, shown, matched);
  std::printf("typed character with the list open:   median %8.1f us, worst %8.1f us\n", Median(typed) * 1e6,
              *std::max_element(typed.begin(), typed.end()) * 1e6);
  std::printf("narrowing by the prefix alone:        median %8.1f us, worst %8.1f us\n", Median(prefixOnly) * 1e6,
              *std::max_element(prefixOnly.begin(), prefixOnly.end()) * 1e6);
  std::printf("reference, bare prefix scan:          median %8.1f us\n", Median(reference) * 1e6);
  bench_quick::Check(shown == matched && shown > 0, "the list shows the items the prefix scan counts");
  return bench_quick::Status();
}

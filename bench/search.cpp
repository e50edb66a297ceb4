// Search and replace in a 100 MB generated HTML document held by the editor (HTML highlighter
// attached, window shown offscreen): find next through the editor's driver with the plain
// engine (case-sensitive and not) and the regular-expression engine (a literal and a class
// pattern), the only hit on the last line, each beside its reference over the same bytes
// (memmem, the PCRE2 interpreter over the whole text and line by line as the driver searches),
// the pairs interleaved over several rounds, min and median with the machine's load; then
// replace-all of 100,000 hits spread over the document, and its undo and redo from the menu and
// from the keys.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/load_average.h"
#include "bench/quick.h"
#include "editor-services/search/plain_search.h"
#include "editor-services/search/regex_search.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::Median;
using bench_doc::Now;

constexpr int kHitEvery = 13;  // one replace-all hit every 13 lines: about 100,000

// The benchmark document: editor-benchmark lines, every 13th with the word "hitword", and
// last a line with the only "Zqxneedle".
AnsiString Line(int i) {
  AnsiString s = bench_doc::MakeLine(i);
  if (i % kHitEvery == 0) s.insert(s.size() - 6, " hitword");
  return s;
}

double MBps(size_t bytes, double seconds) { return bytes / seconds / 1e6; }

// A compiled PCRE2 pattern (interpreter) and its match data.
struct Pcre {
  pcre2_code* code;
  pcre2_match_data* md;
  Pcre(const char* pattern, bool caseless) {
    int err = 0;
    PCRE2_SIZE off = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                         caseless ? PCRE2_CASELESS : 0, &err, &off, nullptr);
    md = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  ~Pcre() {
    pcre2_match_data_free(md);
    pcre2_code_free(code);
  }
  bool Match(std::string_view s) {
    return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, md, nullptr) > 0;
  }
};

// Seconds of each round of one measurement.
struct Times {
  std::vector<double> t;
  double Min() const { return *std::min_element(t.begin(), t.end()); }
  double Med() const { return Median(t); }
};

}  // namespace

int main() {
  EnsureGuiApplication();
  AnsiString doc;
  int lines = 0;
  while (doc.size() < bench_quick::Pick(100u, 1u) * 1000 * 1000) {
    doc += Line(lines++);
    doc += "\r\n";
  }
  doc += "the last line holds the Zqxneedle once\r\n";
  ++lines;
  TSrcEdit edit(nullptr);
  TSrcHTMLSrc html(nullptr);
  TSrcEditSearch plain(nullptr);
  TSrcEditRegexSearch regex(nullptr);
  edit.Lines()->SetText(doc);
  edit.SetHighlighter(&html);
  ShowForTest(&edit, 800, 600);
  edit.SetMaxUndo(1024);
  std::printf("document: %d lines, %.1f MB\n", edit.Lines()->Count(), doc.size() / 1e6);

  // Find next from the top to the one hit on the last line.
  auto find = [&](TSrcEditSearchCustom* engine, const AnsiString& what, TSrcSearchOptions o) {
    edit.SetSearchEngine(engine);
    edit.SetCaretXY(BufferCoord(1, 1));
    double a = Now();
    int n = edit.SearchReplace(what, "", o);
    double t = Now() - a;
    if (n != 1 || edit.CaretY() != lines) std::printf("  (not found where expected: %d, line %d)\n", n, edit.CaretY());
    bench_quick::Check(n == 1 && edit.CaretY() == lines, "the editor finds the one hit on the last line");
    return t;
  };
  auto whole = [&](Pcre& p) {
    double a = Now();
    bool found = p.Match(doc);
    double t = Now() - a;
    bench_quick::Check(found, "PCRE2 finds the hit");
    return t;
  };
  // PCRE2 the way the driver searches: one match call per line of the editor's line store.
  auto perLine = [&](Pcre& p) {
    TSrcEditStringList* store = edit.Lines();
    int found = 0;
    double a = Now();
    for (int i = 0; i < store->Count(); ++i) found += p.Match(store->Line(i));
    double t = Now() - a;
    if (found != 1) std::printf("  (PCRE2 line by line found %d)\n", found);
    bench_quick::Check(found == 1, "PCRE2 line by line finds the one hit");
    return t;
  };
  Pcre lit("Zqxneedle", false), litCI("zqxneedle", true), cls("Z[p-r]xneedle", false);
  enum { kPlain, kMemmem, kPcreLit, kPlainCI, kPcreLitCI, kRegexLit, kPcreLineLit, kRegexClass,
         kPcreClass, kPcreLineClass, kCount };
  Times t[kCount];
  const std::string loadBefore = bench_load::LoadAverage();
  const int kRounds = bench_quick::Pick(5, 2);
  for (int r = 0; r < kRounds; ++r) {
    // Each figure right after its reference, round after round.
    t[kMemmem].t.push_back([&] {
      double a = Now();
      const void* p = memmem(doc.data(), doc.size(), "Zqxneedle", 9);
      double s = Now() - a;
      bench_quick::Check(p != nullptr, "memmem finds the hit");
      return s;
    }());
    t[kPlain].t.push_back(find(&plain, "Zqxneedle", {soMatchCase}));
    t[kPcreLit].t.push_back(whole(lit));
    t[kPcreLitCI].t.push_back(whole(litCI));
    t[kPlainCI].t.push_back(find(&plain, "zqxneedle", {}));
    t[kPcreLineLit].t.push_back(perLine(lit));
    t[kRegexLit].t.push_back(find(&regex, "Zqxneedle", {soMatchCase}));
    t[kPcreClass].t.push_back(whole(cls));
    t[kPcreLineClass].t.push_back(perLine(cls));
    t[kRegexClass].t.push_back(find(&regex, "Z[p-r]xneedle", {soMatchCase}));
  }
  size_t n = doc.size();
  auto fig = [&](int i) {
    static char buf[64];
    std::snprintf(buf, sizeof buf, "%6.0f / %6.0f", MBps(n, t[i].Min()), MBps(n, t[i].Med()));
    return std::string(buf);
  };
  std::printf("find next, hit on the last line: MB/s (1 MB = 10^6 bytes), best / median of %d interleaved rounds\n",
              kRounds);
  std::printf("(%s before, %s after)\n", loadBefore.c_str(), bench_load::LoadAverage().c_str());
  std::printf("  plain, case-sensitive    %s    memmem %s   PCRE2 literal, whole text %s\n", fig(kPlain).c_str(),
              fig(kMemmem).c_str(), fig(kPcreLit).c_str());
  std::printf("  plain, case-insensitive  %s    PCRE2 caseless literal, whole text %s\n", fig(kPlainCI).c_str(),
              fig(kPcreLitCI).c_str());
  std::printf("  regex, literal           %s    PCRE2 line by line %s (x%.2f best, x%.2f median); whole text %s\n",
              fig(kRegexLit).c_str(), fig(kPcreLineLit).c_str(), t[kPcreLineLit].Min() / t[kRegexLit].Min(),
              t[kPcreLineLit].Med() / t[kRegexLit].Med(), fig(kPcreLit).c_str());
  std::printf("  regex, class pattern     %s    PCRE2 line by line %s (x%.2f best, x%.2f median); whole text %s\n",
              fig(kRegexClass).c_str(), fig(kPcreLineClass).c_str(), t[kPcreLineClass].Min() / t[kRegexClass].Min(),
              t[kPcreLineClass].Med() / t[kRegexClass].Med(), fig(kPcreClass).c_str());

  // Replace-all of every "hitword" (one every 13 lines) and its undo, through the driver.
  edit.SetSearchEngine(&plain);
  edit.SetCaretXY(BufferCoord(1, 1));
  double a = Now();
  int hits = edit.SearchReplace("hitword", "replaced", {soReplace, soReplaceAll, soEntireScope, soMatchCase});
  double tReplace = Now() - a;
  // Its undo and redo as the menu calls them, then as the keys do (through the command
  // processor), on the same state; each with the number of status reports it caused.
  struct Counter {
    int n = 0;
    void Changed(TObject*, TSrcStatusChanges) { ++n; }
  } reports;
  edit.OnStatusChange = TStatusChangeEvent(&reports, &Counter::Changed);
  auto timed = [&](auto&& step, int& count) {
    reports.n = 0;
    double from = Now();
    step();
    double t = Now() - from;
    count = reports.n;
    return t;
  };
  int nUndo = 0, nRedo = 0, nKeyUndo = 0, nKeyRedo = 0;
  double tUndo = timed([&] { edit.Undo(); }, nUndo);
  double tRedo = timed([&] { edit.Redo(); }, nRedo);
  double tKeyUndo = timed([&] { edit.CommandProcessor(ecUndo, 0, nullptr); }, nKeyUndo);
  double tKeyRedo = timed([&] { edit.CommandProcessor(ecRedo, 0, nullptr); }, nKeyRedo);
  edit.OnStatusChange = nullptr;
  bench_quick::Check(edit.Lines()->Text().find("hitword") == AnsiString::npos, "redo replaces every hit again");
  // Reference: the same replacements as a plain std::string find/replace loop over the bytes.
  a = Now();
  AnsiString copy;
  copy.reserve(doc.size() + 100000);
  size_t from = 0, at;
  int refHits = 0;
  while ((at = doc.find("hitword", from)) != AnsiString::npos) {
    copy.append(doc, from, at - from);
    copy += "replaced";
    from = at + 7;
    ++refHits;
  }
  copy.append(doc, from, AnsiString::npos);
  double tRef = Now() - a;
  std::printf("replace-all of %d hits: %.3f s; std::string loop (%d hits) %.3f s (%s)\n", hits, tReplace,
              refHits, tRef, bench_load::LoadAverage().c_str());
  std::printf("  its undo / redo from the menu:   %.3f s / %.3f s (%d / %d status reports)\n", tUndo, tRedo, nUndo,
              nRedo);
  std::printf("  its undo / redo from the keys:   %.3f s / %.3f s (%d / %d status reports)\n", tKeyUndo, tKeyRedo,
              nKeyUndo, nKeyRedo);
  bench_quick::Check(hits == refHits, "replace-all replaces every hit");
  return bench_quick::Status();
}

// Search and replace in a 100 MB generated HTML document held by the editor (HTML highlighter
// attached, window shown offscreen): find next through the editor's driver with the plain
// engine (case-sensitive and not) and the regular-expression engine (a literal and a class
// pattern), the only hit on the last line, each beside memmem and the PCRE2 interpreter over
// the same bytes; then replace-all of 100,000 hits spread over the document, and its undo.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/editor_document.h"
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

// The benchmark document: editor-benchmark lines, every 16th with the word "hitword", and
// last a line with the only "Zqxneedle".
AnsiString Line(int i) {
  AnsiString s = bench_doc::MakeLine(i);
  if (i % kHitEvery == 0) s.insert(s.size() - 6, " hitword");
  return s;
}

double MBps(size_t bytes, double seconds) { return bytes / seconds / 1e6; }

double PcreSeconds(const AnsiString& text, const char* pattern, bool caseless, bool& found) {
  int err = 0;
  PCRE2_SIZE off = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                                   caseless ? PCRE2_CASELESS : 0, &err, &off, nullptr);
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  std::vector<double> t;
  for (int r = 0; r < 3; ++r) {
    double a = Now();
    int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0, md, nullptr);
    t.push_back(Now() - a);
    found = rc > 0;
  }
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  return Median(t);
}

// PCRE2 the way the driver searches: one match call per line of the editor's line store.
double PcrePerLineSeconds(TSrcEditStringList* lines, const char* pattern) {
  int err = 0;
  PCRE2_SIZE off = 0;
  pcre2_code* code =
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED, 0, &err, &off, nullptr);
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  std::vector<double> t;
  for (int r = 0; r < 3; ++r) {
    double a = Now();
    for (int i = 0; i < lines->Count(); ++i) {
      std::string_view s = lines->Line(i);
      pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(s.data()), s.size(), 0, 0, md, nullptr);
    }
    t.push_back(Now() - a);
  }
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  return Median(t);
}

}  // namespace

int main() {
  EnsureGuiApplication();
  AnsiString doc;
  int lines = 0;
  while (doc.size() < 100u * 1000 * 1000) {
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
    std::vector<double> t;
    for (int r = 0; r < 3; ++r) {
      edit.SetCaretXY(BufferCoord(1, 1));
      double a = Now();
      int n = edit.SearchReplace(what, "", o);
      t.push_back(Now() - a);
      if (n != 1 || edit.CaretY() != lines) std::printf("  (not found where expected: %d, line %d)\n", n, edit.CaretY());
    }
    return Median(t);
  };
  std::vector<double> mm;
  for (int r = 0; r < 3; ++r) {
    double a = Now();
    const void* p = memmem(doc.data(), doc.size(), "Zqxneedle", 9);
    mm.push_back(Now() - a);
    if (!p) std::printf("  memmem found nothing\n");
  }
  double tMemmem = Median(mm);
  bool found = false;
  double tPcreLit = PcreSeconds(doc, "Zqxneedle", false, found);
  double tPcreLitCI = PcreSeconds(doc, "zqxneedle", true, found);
  double tPcreClass = PcreSeconds(doc, "Z[p-r]xneedle", false, found);

  double tPcreLineLit = PcrePerLineSeconds(edit.Lines(), "Zqxneedle");
  double tPcreLineClass = PcrePerLineSeconds(edit.Lines(), "Z[p-r]xneedle");
  double tPlain = find(&plain, "Zqxneedle", {soMatchCase});
  double tPlainCI = find(&plain, "zqxneedle", {});
  double tRegexLit = find(&regex, "Zqxneedle", {soMatchCase});
  double tRegexClass = find(&regex, "Z[p-r]xneedle", {soMatchCase});
  size_t n = doc.size();
  std::printf("find next, hit on the last line (MB/s; reference in the same run):\n");
  std::printf("  plain, case-sensitive        %8.0f    memmem %8.0f   PCRE2 literal %8.0f\n", MBps(n, tPlain),
              MBps(n, tMemmem), MBps(n, tPcreLit));
  std::printf("  plain, case-insensitive      %8.0f    PCRE2 caseless literal %8.0f\n", MBps(n, tPlainCI),
              MBps(n, tPcreLitCI));
  std::printf("  regex, literal               %8.0f    PCRE2 whole text %8.0f, line by line %8.0f (ratio %.2f)\n",
              MBps(n, tRegexLit), MBps(n, tPcreLit), MBps(n, tPcreLineLit), tPcreLineLit / tRegexLit);
  std::printf("  regex, class pattern         %8.0f    PCRE2 whole text %8.0f, line by line %8.0f (ratio %.2f)\n",
              MBps(n, tRegexClass), MBps(n, tPcreClass), MBps(n, tPcreLineClass), tPcreLineClass / tRegexClass);

  // Replace-all of every "hitword" (one every 16 lines) and its undo, through the driver.
  edit.SetSearchEngine(&plain);
  edit.SetCaretXY(BufferCoord(1, 1));
  double a = Now();
  int hits = edit.SearchReplace("hitword", "replaced", {soReplace, soReplaceAll, soEntireScope, soMatchCase});
  double tReplace = Now() - a;
  a = Now();
  edit.Undo();
  double tUndo = Now() - a;
  a = Now();
  edit.Redo();
  double tRedo = Now() - a;
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
  std::printf("replace-all of %d hits: %.3f s, undo %.3f s, redo %.3f s; std::string loop (%d hits) %.3f s\n", hits,
              tReplace, tUndo, tRedo, refHits, tRef);
  return 0;
}

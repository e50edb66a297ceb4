// Throughput of the Pascal, JavaScript, Java and style-sheet highlighters, each over about 50 MB
// of generated source of its language, scanned line by line with the range carried from line to
// line as the editor's range rescan does it; beside the HTML highlighter over the generated HTML
// document of the same size (the one the HTML highlighter's own benchmark scans) in the same
// run. The passes of all five are interleaved over several rounds: best and median, with the
// machine's load.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/editor_document.h"
#include "bench/generated_html.h"
#include "bench/load_average.h"
#include "bench/quick.h"
#include "highlighters/css.h"
#include "highlighters/html.h"
#include "highlighters/java.h"
#include "highlighters/jscript.h"
#include "highlighters/pascal.h"

namespace {

using Lines = std::vector<AnsiString>;

// Lines built from a language's statement templates until Bytes are reached; '#' in a template
// becomes a number, '@' an identifier.
Lines Generate(size_t Bytes, const std::vector<const char*>& templates, unsigned seed) {
  static const char* const names[] = {"count", "total", "index", "buffer", "document", "value", "result", "item",
                                      "width", "Height", "left", "node", "fValue", "tmp"};
  std::mt19937 rng(seed);
  Lines lines;
  size_t total = 0;
  while (total < Bytes) {
    std::string l(static_cast<size_t>(rng() % 4) * 2, ' ');
    for (const char* t = templates[rng() % templates.size()]; *t; ++t) {
      if (*t == '#') l += std::to_string(rng() % 100000);
      else if (*t == '@') l += names[rng() % std::size(names)];
      else l += *t;
    }
    total += l.size();
    lines.push_back(std::move(l));
  }
  return lines;
}

// One pass: seconds, and the tokens made.
double Scan(TSrcCustomHighlighter& h, const Lines& lines, size_t& tokens) {
  double t0 = bench_doc::Now();
  size_t n = 0;
  h.ResetRange();
  TSrcRange range = h.GetRange();
  for (size_t i = 0; i < lines.size(); ++i) {
    h.SetRange(range);
    h.SetLine(lines[i], static_cast<int>(i));
    while (!h.GetEol()) {
      ++n;
      h.Next();
    }
    range = h.GetRange();
  }
  tokens = n;
  return bench_doc::Now() - t0;
}

double Megabytes(const Lines& lines) {
  size_t b = 0;
  for (const auto& l : lines) b += l.size();
  return static_cast<double>(b) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mb = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : bench_quick::Pick(50, 1);
  const size_t bytes = mb * 1000 * 1000;
  struct Case {
    const char* name;
    std::function<TSrcCustomHighlighter*()> make;
    Lines lines;
  };
  std::vector<Case> cases;
  cases.push_back({"HTML", [] { return new TSrcHTMLSrc(nullptr); }, bench_html::MakeDocument(bytes)});
  cases.push_back({"Pascal", [] { return new TSrcPasSrc(nullptr); },
                   Generate(bytes,
                            {"@ := @ + #;", "if @ > # then", "begin", "end;", "for @ := # to @ do", "{ comment @ }",
                             "@(@, '@ text', #$0A);", "// a note about @", "procedure @.@(const @: Integer);",
                             "var @: array[0..#] of string;", "@ := @ * 1.5e-3 + $FF;", "(* block", "   of text *)",
                             "asm", "  MOV EAX,@", "end;", "property @: Integer read @ write @;", "{$R+}"},
                            1)});
  cases.push_back({"JavaScript", [] { return new TSrcJScriptSrc(nullptr); },
                   Generate(bytes,
                            {"var @ = #;", "function @(@, @) {", "}", "if (@ >= #) { @++; }", "// note on @",
                             "document.write(\"@ is \" + @);", "@ += Math.round(@ * 1.5);", "/* block", " of text */",
                             "for (var @ = 0; @ < @.length; @++)", "window.onLoad = @;", "return '@' + @;"},
                            2)});
  cases.push_back({"Java", [] { return new TSrcJavaSrc(nullptr); },
                   Generate(bytes,
                            {"int @ = #;", "public static void @(String[] @) {", "}", "if (@ >>= #) { @++; }",
                             "// note on @", "System.out.println(\"@ is \" + @);", "@ += 0x1F + @ * 1.5e3;",
                             "/** doc", " * of @ */", "for (int @ = 0; @ < @.length; @++)", "return '@';",
                             "private final long @ = #L;"},
                            3)});
  cases.push_back({"CSS", [] { return new TSrcCssSrc(nullptr); },
                   Generate(bytes,
                            {"h1, div.@ {", "  color: #00ff99;", "  font-size: #pt;", "  margin-left: #px;",
                             "  font-family: Tahoma, Verdana, sans-serif;", "}", "/* @ */", "  made-up-@: #;",
                             "  background: url(\"@.png\") no-repeat;", "p.@ { padding: # # # #; border: 1px solid; }"},
                            4)});
  const int kRounds = bench_quick::Pick(5, 2);
  std::vector<std::vector<double>> seconds(cases.size());
  std::vector<size_t> tokens(cases.size());
  const std::string loadBefore = bench_load::LoadAverage();
  for (int round = 0; round < kRounds; ++round)
    for (size_t i = 0; i < cases.size(); ++i) {
      std::unique_ptr<TSrcCustomHighlighter> h(cases[i].make());
      seconds[i].push_back(Scan(*h, cases[i].lines, tokens[i]));
    }
  printf("MB/s (1 MB = 10^6 bytes), best / median of %d interleaved rounds (%s before, %s after)\n", kRounds,
         loadBefore.c_str(), bench_load::LoadAverage().c_str());
  const double htmlBest = Megabytes(cases[0].lines) / *std::min_element(seconds[0].begin(), seconds[0].end());
  const double htmlMedian = Megabytes(cases[0].lines) / bench_doc::Median(seconds[0]);
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const double size = Megabytes(c.lines);
    const double best = *std::min_element(seconds[i].begin(), seconds[i].end());
    const double median = bench_doc::Median(seconds[i]);
    printf("%-11s %6.1f MB  %7.1f / %7.1f MB/s  (HTML x%.2f / x%.2f)  %7.2f M tokens/s  (%zu lines, %zu tokens)\n",
           c.name, size, size / best, size / median, size / best / htmlBest, size / median / htmlMedian,
           static_cast<double>(tokens[i]) / best / 1e6, c.lines.size(), tokens[i]);
  }
  return 0;
}

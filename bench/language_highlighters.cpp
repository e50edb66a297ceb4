// Throughput of the Pascal, JavaScript, Java and style-sheet highlighters, each over about 50 MB
// of generated source of its language, scanned line by line with the range carried from line to
// line as the editor's range rescan does it; beside the HTML highlighter over a generated HTML
// document of the same size in the same run.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/editor_document.h"
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

// Best of three passes: seconds per pass and tokens.
double Scan(TSrcCustomHighlighter& h, const Lines& lines, size_t& tokens) {
  double best = 1e9;
  for (int round = 0; round < 3; ++round) {
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
    best = std::min(best, bench_doc::Now() - t0);
    tokens = n;
  }
  return best;
}

double Megabytes(const Lines& lines) {
  size_t b = 0;
  for (const auto& l : lines) b += l.size();
  return static_cast<double>(b) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mb = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : 50;
  const size_t bytes = mb * 1000 * 1000;
  struct Case {
    const char* name;
    std::function<TSrcCustomHighlighter*()> make;
    Lines lines;
  };
  std::vector<Case> cases;
  cases.push_back({"HTML", [] { return new TSrcHTMLSrc(nullptr); }, {}});
  for (size_t i = 0, total = 0; total < bytes; ++i) {
    cases[0].lines.push_back(bench_doc::MakeLine(static_cast<int>(i)));
    total += cases[0].lines.back().size();
  }
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
  for (Case& c : cases) {
    std::unique_ptr<TSrcCustomHighlighter> h(c.make());
    size_t tokens = 0;
    const double s = Scan(*h, c.lines, tokens);
    const double size = Megabytes(c.lines);
    printf("%-11s %6.1f MB  %8.1f MB/s  %7.2f M tokens/s  (%zu lines, %.3f s)\n", c.name, size, size / s,
           static_cast<double>(tokens) / s / 1e6, c.lines.size(), s);
  }
  return 0;
}

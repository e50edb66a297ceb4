// Throughput of the HTML highlighter: a generated 100 MB document tokenised line by line with the
// range carried from line to line, as the editor's range rescan does it, beside two reference
// passes over the same lines measured in the same run (memchr for '<', and a byte sum).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/generated_html.h"
#include "bench/quick.h"
#include "highlighters/html.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  size_t mb = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : bench_quick::Pick(100, 1);
  std::vector<std::string> lines = bench_html::MakeDocument(mb * 1000 * 1000);
  size_t bytes = 0;
  for (const auto& l : lines) bytes += l.size();
  const double mbytes = static_cast<double>(bytes) / 1e6;
  printf("document: %zu lines, %.1f MB\n", lines.size(), mbytes);

  TSrcHTMLSrc hl(nullptr);
  std::vector<TSrcRange> ranges(lines.size());  // one per line, as the line store keeps them
  const int rounds = bench_quick::Pick(3, 2);
  double best = 1e9, bestMemchr = 1e9, bestSum = 1e9;
  size_t tokens = 0, lt = 0;
  unsigned sum = 0;
  uintptr_t finalRange = 0;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = std::chrono::steady_clock::now();
    size_t n = 0;
    hl.ResetRange();
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i) hl.SetRange(ranges[i - 1]);
      hl.SetLine(lines[i], static_cast<int>(i));
      while (!hl.GetEol()) {
        ++n;
        hl.Next();
      }
      ranges[i] = hl.GetRange();
    }
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, Seconds(t0, t1));
    tokens = n;
    finalRange = reinterpret_cast<uintptr_t>(hl.GetRange());

    t0 = std::chrono::steady_clock::now();
    size_t c = 0;
    for (const auto& l : lines) {
      const char* p = l.data();
      const char* e = p + l.size();
      while ((p = static_cast<const char*>(memchr(p, '<', static_cast<size_t>(e - p))))) {
        ++c;
        ++p;
      }
    }
    t1 = std::chrono::steady_clock::now();
    bestMemchr = std::min(bestMemchr, Seconds(t0, t1));
    lt = c;

    t0 = std::chrono::steady_clock::now();
    unsigned s = 0;
    for (const auto& l : lines)
      for (unsigned char ch : l) s = s * 31 + ch;  // a dependent chain: one step per byte
    t1 = std::chrono::steady_clock::now();
    bestSum = std::min(bestSum, Seconds(t0, t1));
    sum = s;
  }
  printf("HTML highlighter:  %8.1f MB/s  %8.2f M tokens/s  (%zu tokens, %.3f s, end range %u)\n",
         mbytes / best, static_cast<double>(tokens) / best / 1e6, tokens, best, unsigned(finalRange));
  printf("reference memchr:  %8.1f MB/s  (%zu '<' found, %.3f s)\n", mbytes / bestMemchr, lt, bestMemchr);
  printf("reference bytes:   %8.1f MB/s  (hash %08x, %.3f s)\n", mbytes / bestSum, sum, bestSum);
  return 0;
}

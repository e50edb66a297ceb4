// Throughput of the URI highlighter on generated text with links (http, ftp, www and mail
// addresses among words and punctuation), line by line as the editor scans, beside two
// reference passes over the same lines measured in the same run (memchr for ':' and a byte hash).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/quick.h"
#include "highlighters/uri.h"

namespace {

std::vector<std::string> MakeText(size_t bytes) {
  static const char* const words[] = {"the", "links", "page", "see", "mail", "or", "write", "to", "site",
                                      "\xF1\xE0\xE9\xF2", "\xEF\xE8\xF1\xFC\xEC\xEE", "2024,", "(note)", "end."};
  static const char* const links[] = {"http://www.example.com/index.html", "https://example.org/a/b?c=1&d=2",
                                      "ftp://ftp.example.net/pub/file.zip", "www.example.ru",
                                      "user.name@mail.example.com", "mailto:info@example.org",
                                      "(http://example.com/x).", "news:comp.lang.c"};
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<std::string> lines;
  size_t total = 0;
  while (total < bytes) {
    std::string l;
    for (int k = 6 + pick(10); k > 0; --k) {
      l += pick(5) == 0 ? links[pick(8)] : words[pick(14)];
      l += ' ';
    }
    total += l.size();
    lines.push_back(std::move(l));
  }
  return lines;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv) {
  size_t mb = argc > 1 ? static_cast<size_t>(atoi(argv[1])) : bench_quick::Pick(50, 1);
  std::vector<std::string> lines = MakeText(mb * 1000 * 1000);
  size_t bytes = 0;
  for (const auto& l : lines) bytes += l.size();
  const double mbytes = static_cast<double>(bytes) / 1e6;
  std::printf("text: %zu lines, %.1f MB\n", lines.size(), mbytes);

  TSrcURISrc hl(nullptr);
  double best = 1e9, bestMemchr = 1e9, bestSum = 1e9;
  size_t tokens = 0, links = 0, colons = 0;
  unsigned sum = 0;
  for (int r = 0; r < bench_quick::Pick(3, 2); ++r) {
    auto t0 = std::chrono::steady_clock::now();
    size_t n = 0, l = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      hl.SetLine(lines[i], static_cast<int>(i));
      while (!hl.GetEol()) {
        ++n;
        int k = hl.GetTokenKind();
        l += k >= utFtpLink && k <= utWebLink;
        hl.Next();
      }
    }
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, Seconds(t0, t1));
    tokens = n;
    links = l;

    t0 = std::chrono::steady_clock::now();
    size_t c = 0;
    for (const auto& s : lines) {
      const char* p = s.data();
      const char* e = p + s.size();
      while ((p = static_cast<const char*>(memchr(p, ':', static_cast<size_t>(e - p))))) {
        ++c;
        ++p;
      }
    }
    t1 = std::chrono::steady_clock::now();
    bestMemchr = std::min(bestMemchr, Seconds(t0, t1));
    colons = c;

    t0 = std::chrono::steady_clock::now();
    unsigned h = 0;
    for (const auto& s : lines)
      for (unsigned char ch : s) h = h * 31 + ch;  // a dependent chain: one step per byte
    t1 = std::chrono::steady_clock::now();
    bestSum = std::min(bestSum, Seconds(t0, t1));
    sum = h;
  }
  std::printf("URI highlighter:   %8.1f MB/s  %8.2f M tokens/s  (%zu tokens, %zu links, %.3f s)\n", mbytes / best,
              static_cast<double>(tokens) / best / 1e6, tokens, links, best);
  std::printf("reference memchr:  %8.1f MB/s  (%zu ':' found, %.3f s)\n", mbytes / bestMemchr, colons, bestMemchr);
  std::printf("reference bytes:   %8.1f MB/s  (hash %08x, %.3f s)\n", mbytes / bestSum, sum, bestSum);
  return 0;
}

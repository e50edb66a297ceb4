// Throughput of the regular-expression engine on a 50 MB (10^6 bytes) Windows-1251 text of
// Russian and English words, beside PCRE2 (interpreter, no JIT) and std::regex in the same run,
// the engine and PCRE2 interleaved over several rounds (best and median), with the machine's
// load. Every pattern is searched for all its matches; the match counts of the three must agree.
// Then single long lines (10 KiB, 100 KiB, 1 MiB) with patterns that backtrack deeply or without
// end, beside PCRE2: the time of one full search and its outcome (matches, or the work bound).
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "bench/load_average.h"
#include "bench/quick.h"
#include "editor-services/regex/regex_engine.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string MakeText(size_t size) {
  const std::vector<std::string> english = {
      "the", "window", "editor", "stone", "river", "apple", "cloud", "forest", "markup", "page",
      "search", "engine", "text", "line", "of", "and", "to", "running", "quickly", "table"};
  std::vector<std::string> russian;
  for (const char* w : {"привет", "Привет", "ПРИВЕТ", "окно", "редактор", "страница", "поиск",
                        "текст", "строка", "и", "в", "ёлка", "Ёж", "быстро", "таблица", "слово"})
    russian.push_back(W1251(w));
  std::mt19937 rng(2026);
  std::string text;
  text.reserve(size + 64);
  size_t lineLen = 0;
  while (text.size() < size) {
    const auto& pool = (rng() % 2) ? english : russian;
    const std::string& w = pool[rng() % pool.size()];
    text += w;
    lineLen += w.size();
    unsigned r = rng() % 20;
    if (r == 0) text += ", ";
    else if (r == 1) text += std::to_string(rng() % 10000) + " ";
    else if (lineLen > 70) { text += "\r\n"; lineLen = 0; }
    else text += ' ';
  }
  text.resize(size);
  return text;
}

struct Result {
  double seconds = 0;
  size_t matches = 0;
  int error = 0;  // the engine's error code, or PCRE2's (negative)
};

Result RunEngine(const std::string& text, const std::string& expr, bool ci) {
  TRegexEngine re;
  re.SetModifier(rmI, ci);
  re.SetExpression(expr);
  Result r;
  auto t0 = Clock::now();
  try {
    if (re.Exec(text)) {
      do ++r.matches;
      while (re.ExecNext());
    }
  } catch (const ERegexEngine& e) {
    r.error = e.ErrorId;
  }
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  return r;
}

// options: 0 for the 50 MB set; PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY for the engine's default
// meaning of '.' and '$' on the long lines.
Result RunPcre(const std::string& text, const std::string& expr, uint32_t options = 0) {
  int err;
  PCRE2_SIZE off;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expr.data()), expr.size(), options,
                                   &err, &off, nullptr);
  if (!code) {
    std::fprintf(stderr, "PCRE2 rejects %s\n", expr.c_str());
    return {};
  }
  pcre2_match_data* md = pcre2_match_data_create_from_pattern(code, nullptr);
  Result r;
  auto t0 = Clock::now();
  PCRE2_SIZE start = 0;
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
  while (start <= text.size()) {
    int rc = pcre2_match(code, subject, text.size(), start, 0, md, nullptr);
    if (rc < 0 && rc != PCRE2_ERROR_NOMATCH) r.error = rc;
    if (rc <= 0) break;
    ++r.matches;
    PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
    start = ov[1] > ov[0] ? ov[1] : ov[1] + 1;
  }
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  pcre2_match_data_free(md);
  pcre2_code_free(code);
  return r;
}

Result RunStd(const std::string& text, const std::string& expr) {
  std::regex rx(expr);
  Result r;
  auto t0 = Clock::now();
  for (auto it = std::sregex_iterator(text.begin(), text.end(), rx); it != std::sregex_iterator();
       ++it)
    ++r.matches;
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  return r;
}

// A case-insensitive pattern spelled out as classes of both cases, for the libraries whose
// case tables do not know Windows-1251.
std::string BothCases(const std::string& word) {
  std::string out;
  for (char c : word) {
    char u = AnsiUpperChar(c), l = AnsiLowerChar(c);
    if (u == l) out += c;
    else out += std::string("[") + l + u + "]";
  }
  return out;
}

// One line of the words of the text (its line breaks made blanks) of `size` bytes.
std::string WordLine(const std::string& text, size_t size) {
  std::string line = text.substr(0, size);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

// A line of simple mark-up: paragraphs with a link and emphasis now and then.
std::string MarkupLine(const std::string& text, size_t size) {
  std::string line;
  size_t pos = 0;
  for (int i = 0; line.size() < size; ++i) {
    std::string words = WordLine(text.substr(pos, 60), 60);
    pos += 60;
    if (i % 3 == 0) line += "<p>" + words + "</p>";
    else if (i % 3 == 1) line += "<a href=\"page.html\">" + words + "</a>";
    else line += "<em>" + words + "</em> ";
  }
  line.resize(size);
  return line;
}

// Runs a search on a thread with a 256 KB stack: the matcher's depth must not depend on it.
Result OnSmallStack(const std::function<Result()>& search) {
  struct Job {
    const std::function<Result()>* search;
    Result result;
  } job{&search, {}};
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, 256 << 10);
  pthread_t thread;
  pthread_create(&thread, &attr, [](void* arg) -> void* {
    auto* j = static_cast<Job*>(arg);
    j->result = (*j->search)();
    return nullptr;
  }, &job);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
  return job.result;
}

std::string Outcome(const Result& r) {
  if (r.error > 0) return "error " + std::to_string(r.error);
  if (r.error < 0) return "PCRE2 error " + std::to_string(r.error);
  return std::to_string(r.matches) + (r.matches == 1 ? " match" : " matches");
}

void LongLines(const std::string& text) {
  struct LineCase {
    const char* expr;
    const char* line;  // words, markup, or ab (a run of "ab" ended by "c")
  };
  const LineCase cases[] = {{"(.)*", "words"},        {"(a|b)*c", "ab"},
                            {"(.*)x$", "words + x"},  {"<(.|\\n)*?>", "markup"},
                            {"(\\w+\\s*)*$", "words"}};
  std::printf("\nsingle lines, every match of one line (the engine on a thread with a 256 KB "
              "stack);\nPCRE2 interpreter with DOTALL and DOLLAR_ENDONLY (%s)\n",
              bench_load::LoadAverage().c_str());
  std::printf("%-14s %-10s %10s %10s %10s  %-22s %s\n", "pattern", "line", "size", "engine",
              "PCRE2", "engine outcome", "PCRE2 outcome");
  for (const LineCase& c : cases) {
    for (size_t size : {size_t{10} << 10, size_t{100} << 10, size_t{1} << 20}) {
      if (bench_quick::On() && size > (size_t{10} << 10)) break;
      std::string line;
      const std::string kind = c.line;
      if (kind == "ab") {
        for (size_t i = 0; i + 1 < size; ++i) line += "ab"[i % 2];
        line += 'c';
      } else if (kind == "markup") {
        line = MarkupLine(text, size);
      } else {
        line = WordLine(text, size);
        if (kind == "words + x") line[size / 2] = 'x';
      }
      Result e = OnSmallStack([&] { return RunEngine(line, c.expr, false); });
      Result p = RunPcre(line, c.expr, PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY);
      std::printf("%-14s %-10s %6zu KiB %8.3f s %8.3f s  %-22s %s\n", c.expr, c.line, size >> 10,
                  e.seconds, p.seconds, Outcome(e).c_str(), Outcome(p).c_str());
    }
  }
  // Ten megabytes, the engine alone (PCRE2's interpreter takes minutes here).
  const size_t longest = bench_quick::Pick(size_t{10} << 20, size_t{100} << 10);
  std::string ab;
  for (size_t i = 0; i + 1 < longest; ++i) ab += "ab"[i % 2];
  ab += 'c';
  const std::string words = WordLine(text, longest);
  for (const auto& [expr, line] : {std::pair<const char*, const std::string*>{"(.)*", &words},
                                   {"(a|b)*c", &ab}}) {
    Result e = OnSmallStack([&] { return RunEngine(*line, expr, false); });
    std::printf("%-14s %-10s %6zu KiB %8.3f s %10s  %s\n", expr, line == &ab ? "ab" : "words",
                line->size() >> 10, e.seconds, "-", Outcome(e).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  size_t mb = argc > 1 ? std::stoul(argv[1]) : bench_quick::Pick<size_t>(50, 1);
  size_t stdMb = argc > 2 ? std::stoul(argv[2]) : bench_quick::Pick<size_t>(2, 1);
  // Optional third argument: run only the case of that index (for profiling).
  int only = argc > 3 ? std::stoi(argv[3]) : -1;
  const std::string text = MakeText(mb * 1000 * 1000);
  const std::string slice = text.substr(0, stdMb * 1000 * 1000);
  const double size = static_cast<double>(text.size()) / 1e6;
  const double sliceSize = static_cast<double>(slice.size()) / 1e6;

  struct Case {
    const char* name;
    std::string engine;
    bool ci;
    std::string other;  // PCRE2 and std::regex spelling
  };
  const std::string privet = W1251("привет");
  const std::vector<Case> cases = {
      {"literal \"window\"", "window", false, "window"},
      {"literal \"document\" (absent)", "document", false, "document"},
      {"literal \"buffer\" (absent)", "buffer", false, "buffer"},
      {"Cyrillic literal, case folded", privet, true, BothCases(privet)},
      {"\\b\\w+\\b", "\\b\\w+\\b", false, "\\b\\w+\\b"},
      {"\\b\\w{4,6}\\b", "\\b\\w{4,6}\\b", false, "\\b\\w{4,6}\\b"},
      {"class run [a-z]{6,}", "[a-z]{6,}", false, "[a-z]{6,}"},
      {"five-word alternation", "apple|river|stone|cloud|forest", false,
       "apple|river|stone|cloud|forest"},
      {"[a-z]+ing", "[a-z]+ing", false, "[a-z]+ing"},
  };

  const int kRounds = bench_quick::Pick(3, 2);
  std::printf("text: %.1f MB Windows-1251 (1 MB = 10^6 bytes); std::regex on the first %.1f MB, "
              "once;\nthe engine and PCRE2 interleaved, best / median of %d rounds (%s)\n",
              size, sliceSize, kRounds, bench_load::LoadAverage().c_str());
  std::printf("%-32s %17s %17s %10s %13s %9s  %s\n", "pattern", "engine MB/s", "PCRE2 MB/s",
              "std::regex", "vs PCRE2", "vs std", "matches (engine / PCRE2 / std slice vs engine slice)");
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    if (only >= 0 && static_cast<size_t>(only) != i) continue;
    std::vector<double> te, tp;
    Result e, p;
    for (int r = 0; r < kRounds; ++r) {
      e = RunEngine(text, c.engine, c.ci);
      p = RunPcre(text, c.other);
      te.push_back(e.seconds);
      tp.push_back(p.seconds);
    }
    Result s = RunStd(slice, c.other);
    Result es = RunEngine(slice, c.engine, c.ci);
    auto median = [](std::vector<double> v) {
      std::sort(v.begin(), v.end());
      return v[v.size() / 2];
    };
    const double eb = size / *std::min_element(te.begin(), te.end()), em = size / median(te);
    const double pb = size / *std::min_element(tp.begin(), tp.end()), pm = size / median(tp);
    const double sm = sliceSize / s.seconds;
    std::printf("%-32s %7.0f / %7.0f %7.0f / %7.0f %10.1f %5.2fx/%5.2fx %8.1fx  %zu / %zu / %zu vs %zu\n",
                c.name, eb, em, pb, pm, sm, eb / pb, em / pm, em / sm, e.matches, p.matches, s.matches,
                es.matches);
    bench_quick::Check(e.error == 0 && e.matches == p.matches && s.matches == es.matches, "match counts agree");
  }
  if (only < 0) LongLines(text);
  return bench_quick::Status();
}

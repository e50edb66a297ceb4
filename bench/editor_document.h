#pragma once
// What the editor benchmarks share: a clock, a generated HTML-like document and the median.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "platform/ansi.h"

namespace bench_doc {

inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline AnsiString MakeLine(int i) {
  static const char* tags[] = {"p", "div", "span", "td", "li"};
  std::string t = tags[i % 5];
  return "  <" + t + " class=\"c" + std::to_string(i % 7) + "\">Line " + std::to_string(i) +
         " of the document, some text &amp; words</" + t + ">";
}

inline AnsiString MakeDocument(int lines) {
  AnsiString s;
  s.reserve(static_cast<size_t>(lines) * 64);
  for (int i = 0; i < lines; ++i) {
    s += MakeLine(i);
    s += "\r\n";
  }
  return s;
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace bench_doc

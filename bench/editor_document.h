#pragma once
// What the editor benchmarks share: a clock, a generated HTML-like document and the median.
#include <algorithm>
#include <chrono>
#include <cstdio>
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

// A page of dense mark-up: every line is wider than a window of 143 cells and holds ~40 tokens
// of many kinds (tags, attribute names and values, entities, text, comments).
inline AnsiString DensePage(int lines) {
  AnsiString page;
  for (int i = 0; i < lines; ++i)
    page += "<tr><td class=\"c" + std::to_string(i % 7) + "\" id=r" + std::to_string(i) +
            "><a href=\"p.html#" + std::to_string(i) +
            "\">&lt;x&gt;</a> <b>bold</b> <i>it</i> &amp; <span style=\"color:red\">red</span> <!-- n" +
            std::to_string(i) + " --> <em>end</em> <img src=a.png alt=\"\"></td></tr>\r\n";
  return page;
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

inline double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace bench_doc

#pragma once
// The generated HTML document of the benchmarks: lines of nested tags, attributes, entities and
// text (Cyrillic words included), with comments and quoted values running over two lines.
#include <random>
#include <string>
#include <vector>

namespace bench_html {

inline std::vector<std::string> MakeDocument(size_t bytes) {
  static const char* const words[] = {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog",
                                      "Lorem", "ipsum", "dolor", "sit", "amet", "\xCF\xF0\xE8\xE2\xE5\xF2"};
  static const char* const tags[] = {"p", "div", "span", "a", "b", "i", "td", "tr", "li", "font", "custom", "h2"};
  std::mt19937 rng(42);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::vector<std::string> lines;
  size_t total = 0;
  lines.push_back("<!DOCTYPE html>");
  lines.push_back("<html><head><title>Generated</title></head><body>");
  while (total < bytes) {
    std::string l(static_cast<size_t>(pick(3) * 2), ' ');
    switch (pick(10)) {
      case 0:  // a comment over two lines
        lines.push_back(l + "<!-- section " + std::to_string(lines.size()) + " starts here");
        total += lines.back().size();
        l += "     and ends here -->";
        break;
      case 1: {  // a tag whose quoted value goes on to the next line
        const char* t = tags[pick(12)];
        lines.push_back(l + "<" + t + " class=\"first second");
        total += lines.back().size();
        l += std::string("   third\" id=x") + std::to_string(pick(1000)) + ">text</" + t + ">";
        break;
      }
      default:
        for (int k = 3 + pick(6); k > 0; --k) {
          const char* t = tags[pick(12)];
          l += "<";
          l += t;
          if (pick(2)) l += " href=\"page" + std::to_string(pick(100)) + ".html\" width=100";
          l += ">";
          for (int w = 1 + pick(6); w > 0; --w) {
            l += words[pick(14)];
            l += ' ';
          }
          if (pick(4) == 0) l += pick(2) ? "&amp; " : "&#169; ";
          l += "</";
          l += t;
          l += ">";
        }
        break;
    }
    total += l.size();
    lines.push_back(std::move(l));
  }
  lines.push_back("</body></html>");
  return lines;
}

}  // namespace bench_html

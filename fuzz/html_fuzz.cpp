// libFuzzer target for the HTML highlighter: the first byte is the range to start from, the rest
// is split into lines at LF; every line is scanned to its end with the range carried on, and the
// tokens must cover each line exactly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "highlighters/html.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TSrcHTMLSrc* hl = new TSrcHTMLSrc(nullptr);
  if (size == 0) return 0;
  uintptr_t range = data[0];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    hl->SetRange(reinterpret_cast<TSrcRange>(range));
    hl->SetLine(line, 0);
    size_t pos = 0, steps = 0;
    while (!hl->GetEol()) {
      if (static_cast<size_t>(hl->GetTokenPos()) != pos) abort();
      pos += hl->GetToken().size();
      if (++steps > 2 * line.size() + 2) abort();
      hl->Next();
    }
    if (pos != line.size()) abort();
    range = reinterpret_cast<uintptr_t>(hl->GetRange());
    start = end + 1;
  }
  return 0;
}

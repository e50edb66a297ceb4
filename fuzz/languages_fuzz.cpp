// libFuzzer target for the Pascal, JavaScript, Java and style-sheet highlighters: the first byte
// picks the highlighter (its value modulo 4) and, with its high half, the second byte of the range
// to start from (where the style-sheet scanner keeps the state a comment goes back to); the second
// byte is the range's low byte; the rest is split into lines at LF. Every line is
// scanned to its end with the range carried on, and the tokens must cover each line exactly,
// none of them empty.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "highlighters/css.h"
#include "highlighters/java.h"
#include "highlighters/jscript.h"
#include "highlighters/pascal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TSrcCustomHighlighter* const scanners[] = {new TSrcPasSrc(nullptr), new TSrcJScriptSrc(nullptr),
                                                   new TSrcJavaSrc(nullptr), new TSrcCssSrc(nullptr)};
  if (size < 2) return 0;
  TSrcCustomHighlighter* h = scanners[data[0] % 4];
  uintptr_t range = data[1] | (uintptr_t(data[0] >> 4) << 8);
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    h->SetRange(reinterpret_cast<TSrcRange>(range));
    h->SetLine(line, 0);
    size_t pos = 0;
    while (!h->GetEol()) {
      if (static_cast<size_t>(h->GetTokenPos()) != pos) abort();
      size_t len = h->GetToken().size();
      if (len == 0) abort();
      pos += len;
      h->Next();
    }
    if (pos != line.size()) abort();
    range = reinterpret_cast<uintptr_t>(h->GetRange());
    start = end + 1;
  }
  return 0;
}

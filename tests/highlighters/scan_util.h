#pragma once
// Scanning helpers shared by the highlighter tests.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "highlighters/html.h"

struct Tok {
  std::string text;
  int kind;
  int pos;
  bool operator==(const Tok&) const = default;
};

inline const char* KindName(int k) {
  static const char* const names[] = {"htAmpersand", "htComment", "htIdentifier", "htKey",  "htNull",
                                      "htSpace",     "htSymbol",  "htText",       "htUndefKey", "htValue"};
  return k >= 0 && k < 10 ? names[k] : "?";
}

inline std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{\"" << t.text << "\", " << KindName(t.kind) << ", " << t.pos << "}";
}

inline TSrcRange R(uintptr_t v) { return reinterpret_cast<TSrcRange>(v); }
inline uintptr_t U(TSrcRange r) { return reinterpret_cast<uintptr_t>(r); }

// Every token of one line, scanned from the given range; EndRange is the range at its end.
inline std::vector<Tok> ScanLine(TSrcCustomHighlighter& h, const std::string& line, uintptr_t range,
                                 uintptr_t* endRange = nullptr) {
  h.SetRange(R(range));
  h.SetLine(line, 0);
  std::vector<Tok> out;
  while (!h.GetEol()) {
    out.push_back({h.GetToken(), h.GetTokenKind(), h.GetTokenPos()});
    h.Next();
  }
  if (endRange) *endRange = U(h.GetRange());
  return out;
}

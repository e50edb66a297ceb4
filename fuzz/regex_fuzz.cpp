// libFuzzer target for the regular-expression engine: the first input byte picks modifiers, the
// rest is "expression NUL input NUL template". Every outcome must be a result or ERegexEngine,
// and every search must end well inside the run's -timeout: the match limit bounds its work,
// set here to a hundredth of the default as this build runs many times slower than a release.
// Run as: build/fuzz/fuzz/regex_fuzz -max_len=256 -timeout=2 -max_total_time=600 fuzz/corpus/regex
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "editor-services/regex/regex_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mods = data[0];
  std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t a = rest.find('\0');
  std::string expr = rest.substr(0, a);
  std::string input, templ;
  if (a != std::string::npos) {
    size_t b = rest.find('\0', a + 1);
    input = rest.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
    if (b != std::string::npos) templ = rest.substr(b + 1);
  }
  TRegexEngine re;
  re.SetMatchLimit(kRegexDefaultMatchLimit / 100);
  try {
    for (int n = 1; n <= 6; ++n) re.SetModifier(n, (mods >> (n - 1)) & 1);
    if (mods & 0x40) re.SetLinePairedSeparator("");
    re.SetExpression(expr);
    // Every match, with its groups; the search in place of a longer text whose #0 ends the
    // input at the same place must find the same ones.
    auto matches = [&re](bool found) {
      std::vector<int> m;
      for (int guard = 0; found && guard < 64; ++guard, found = re.ExecNext())
        for (int n = 0; n < kRegexSubExprs; ++n) {
          m.push_back(re.MatchPos(n));
          m.push_back(re.MatchLen(n));
        }
      return m;
    };
    std::vector<int> copied = matches(re.Exec(input));
    for (size_t i = 0; i < copied.size(); i += 2 * kRegexSubExprs)
      if (copied[i] < 1 || copied[i] + copied[i + 1] > static_cast<int>(input.size()) + 1) __builtin_trap();
    const std::string longer = input + '\0' + templ;
    if (matches(re.ExecInPlace(longer)) != copied) __builtin_trap();
    if (matches(re.ExecInPlace(input)) != copied) __builtin_trap();
    re.ReplaceAll(input, templ, (mods & 0x80) != 0);
  } catch (const ERegexEngine&) {
  }
  return 0;
}

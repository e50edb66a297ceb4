#include "editor-services/regex/regex_engine.h"

#include <cstring>
#include <string_view>

AnsiString TRegexEngine::Substitute(const AnsiString& templ) {
  PrepareProgram();
  if (!inputBase_) RaiseError(reeNoInputStringSpecified);
  std::string_view groups[kRegexSubExprs];
  for (int n = 0; n < kRegexSubExprs; ++n)
    if (startp_[n] && endp_[n] && endp_[n] >= startp_[n])
      groups[n] = std::string_view(startp_[n], static_cast<size_t>(endp_[n] - startp_[n]));
  return ExpandTemplate(templ, groups);
}

AnsiString TRegexEngine::ExpandTemplate(const AnsiString& templ,
                                        const std::string_view (&groups)[kRegexSubExprs]) {
  if (templ.empty()) return AnsiString();

  // Runs over the template, either summing the length (out == nullptr) or writing.
  auto expand = [&](char* out) -> size_t {
    size_t len = 0;
    auto put = [&](const char* p, size_t n) {
      if (out && n) std::memcpy(out + len, p, n);
      len += n;
    };
    const char* t = templ.data();
    const char* tend = t + templ.size();
    while (t < tend) {
      char ch = *t++;
      if (ch == '$') {
        const char* p = t;
        bool brace = false;
        if (p < tend && *p == '{') {
          brace = true;
          ++p;
        }
        long n = -1;
        bool taken = brace;
        if (p < tend && *p == '&') {
          n = 0;
          ++p;
          taken = true;
        } else {
          n = 0;
          while (p < tend && *p >= '0' && *p <= '9') {
            if (n < 1000) n = n * 10 + (*p - '0');
            ++p;
            taken = true;
          }
        }
        bool cancelled = false;
        if (brace) {
          if (p < tend && *p == '}')
            ++p;
          else
            cancelled = true;
        }
        if (!taken || cancelled) {
          put(&ch, 1);
          continue;
        }
        t = p;
        if (n >= 0 && n < kRegexSubExprs) put(groups[n].data(), groups[n].size());
        continue;
      }
      if (ch == '\\' && t < tend) {
        put(t, 1);
        ++t;
        continue;
      }
      put(&ch, 1);
    }
    return len;
  };

  AnsiString result(expand(nullptr), '\0');
  expand(result.data());
  return result;
}

AnsiString TRegexEngine::ReplaceAll(const AnsiString& input, const AnsiString& templ,
                                    bool useSubstitution) {
  AnsiString result;
  size_t copyPos = 1;
  if (Exec(input)) {
    do {
      const size_t pos = static_cast<size_t>(MatchPos(0));
      result.append(input, copyPos - 1, pos - copyPos);
      if (useSubstitution)
        result += Substitute(templ);
      else
        result += templ;
      copyPos = pos + static_cast<size_t>(MatchLen(0));
    } while (ExecNext());
  }
  if (copyPos - 1 < input.size()) result.append(input, copyPos - 1, AnsiString::npos);
  return result;
}


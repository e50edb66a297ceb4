#pragma once
// Shared helpers of the regular-expression tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor-services/regex/regex_engine.h"

// Exposes the protected compiler results and the offset search.
class TRegexProbe : public TRegexEngine {
public:
  using TRegexEngine::Anchored;
  using TRegexEngine::ExecPrim;
  using TRegexEngine::FirstLiteral;
  using TRegexEngine::InFirstCharSet;
  using TRegexEngine::PossessiveAt;
  using TRegexEngine::Program;
  using TRegexEngine::ProgramSize;
  using TRegexEngine::RequiredLiteral;
};

// The error code a compile of `expr` raises, 0 when it compiles.
inline int CompileError(const std::string& expr, int* pos = nullptr, std::string* msg = nullptr) {
  TRegexEngine re;
  re.SetExpression(expr);
  try {
    re.Compile();
  } catch (const ERegexEngine& e) {
    if (pos) *pos = e.ErrorPos;
    if (msg) *msg = e.Message();
    return e.ErrorId;
  }
  return 0;
}

// "pos:len" of the first match, "none" without one.
inline std::string FirstMatch(TRegexEngine& re, const std::string& expr, const std::string& input) {
  re.SetExpression(expr);
  if (!re.Exec(input)) return "none";
  return std::to_string(re.MatchPos(0)) + ":" + std::to_string(re.MatchLen(0));
}
inline std::string FirstMatch(const std::string& expr, const std::string& input) {
  TRegexEngine re;
  return FirstMatch(re, expr, input);
}

// Every match as "pos:len", through Exec and ExecNext.
inline std::vector<std::string> AllMatches(TRegexEngine& re, const std::string& expr,
                                           const std::string& input) {
  std::vector<std::string> out;
  re.SetExpression(expr);
  if (re.Exec(input)) {
    do out.push_back(std::to_string(re.MatchPos(0)) + ":" + std::to_string(re.MatchLen(0)));
    while (re.ExecNext());
  }
  return out;
}

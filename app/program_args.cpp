#include "app/program_args.h"

#include <utility>


namespace {
std::vector<AnsiString>& Args() {
  static std::vector<AnsiString> args;
  return args;
}
}  // namespace

void SetProgramArguments(std::vector<AnsiString> Args_) { Args() = std::move(Args_); }
int ParamCount() { return static_cast<int>(Args().size()); }
AnsiString ParamStr(int Index) {
  if (Index < 1 || Index > ParamCount()) return AnsiString();
  return Args()[static_cast<size_t>(Index - 1)];
}

#include "app/program_args.h"

#include <utility>

#include "platform/sysutils.h"

namespace {
std::vector<AnsiString>& Args() {
  static std::vector<AnsiString> args;
  return args;
}
AnsiString& ArgsError() {
  static AnsiString error;
  return error;
}
}  // namespace

void SetProgramArguments(std::vector<AnsiString> Args_) {
  Args() = std::move(Args_);
  ArgsError().clear();
}

void SetSystemProgramArguments(const std::vector<std::string>& Args_) {
  std::vector<AnsiString> args;
  try {
    for (const std::string& a : Args_) args.push_back(SystemNameToAnsi(a));
  } catch (const Exception& e) {
    SetProgramArguments({});
    ArgsError() = e.Message();
    return;
  }
  SetProgramArguments(std::move(args));
}

const AnsiString& ProgramArgumentsError() { return ArgsError(); }

int ParamCount() { return static_cast<int>(Args().size()); }
AnsiString ParamStr(int Index) {
  if (Index < 1 || Index > ParamCount()) return AnsiString();
  return Args()[static_cast<size_t>(Index - 1)];
}

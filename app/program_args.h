#pragma once
// The program's command-line arguments (without the program's own name), as the main window
// reads them at creation.
#include <vector>

#include "platform/ansi.h"

#include <string>

void SetProgramArguments(std::vector<AnsiString> Args);
// The arguments as the system gives them (UTF-8). When one holds a character Windows-1251
// cannot, there are no arguments and the conversion error waits for the main window to show.
void SetSystemProgramArguments(const std::vector<std::string>& Args);
// That error's message; empty when the arguments were taken.
const AnsiString& ProgramArgumentsError();
int ParamCount();
// Argument i, 1-based; empty outside 1..ParamCount().
AnsiString ParamStr(int Index);

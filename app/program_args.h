#pragma once
// The program's command-line arguments (without the program's own name), as the main window
// reads them at creation.
#include <vector>

#include "platform/ansi.h"

void SetProgramArguments(std::vector<AnsiString> Args);
int ParamCount();
// Argument i, 1-based; empty outside 1..ParamCount().
AnsiString ParamStr(int Index);

#pragma once
// The desktop's print server (CUPS), as the printer object asks it.
#include <memory>

#include "platform/printer/printer.h"

std::unique_ptr<TPrintServer> NewCupsPrintServer();

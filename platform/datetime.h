#pragma once
// Dates and times as the desktop's locale writes them.
#include <ctime>

#include "platform/ansi.h"

// The short date text (as "09.12.2026" in a Russian locale) and the long time text
// ("14:05:31") of a moment.
AnsiString DateToStr(std::time_t Moment);
AnsiString TimeToStr(std::time_t Moment);

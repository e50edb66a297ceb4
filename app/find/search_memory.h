#pragma once
// What the find and replace dialogs remember between uses, for the whole run.
#include "platform/ansi.h"

struct TSearchMemory {
  bool Backwards = false;
  bool MatchCase = false;
  bool FromCaret = false;
  bool SelectedOnly = false;
  bool WholeWords = false;
  bool RegularExpression = false;
  AnsiString SearchText, SearchTextHistory;    // histories: lines separated by CR LF
  AnsiString ReplaceText, ReplaceTextHistory;
};

TSearchMemory& SearchMemory();

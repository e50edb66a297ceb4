#pragma once
// Replacing a piece of one line of an editor as one undoable change, whatever selection mode
// the user has chosen: the services that rewrite a typed word use it.
#include "editor/src_edit.h"

// Replaces characters FromChar up to (not including) ToChar of Line (1-based) by Text as
// normal text, records it as one undo step and leaves the caret after the new text with the
// selection collapsed there. The selection mode is kept.
void ReplaceLineRange(TCustomSrcEdit* Editor, int Line, int FromChar, int ToChar, const AnsiString& Text);

#include "editor-services/line_replace.h"

void ReplaceLineRange(TCustomSrcEdit* Editor, int Line, int FromChar, int ToChar, const AnsiString& Text) {
  TSrcSelectionMode mode = Editor->SelectionMode();
  Editor->BeginUpdate();
  try {
    // A line or column selection would widen the replaced range to whole lines or a block.
    if (mode != smNormal) Editor->SetSelectionMode(smNormal);
    Editor->SetBlockBegin(BufferCoord(FromChar, Line));
    Editor->SetBlockEnd(BufferCoord(ToChar, Line));
    Editor->SetSelText(Text);
    if (mode != smNormal) Editor->SetSelectionMode(mode);
  } catch (...) {
    Editor->EndUpdate();
    throw;
  }
  Editor->EndUpdate();
}

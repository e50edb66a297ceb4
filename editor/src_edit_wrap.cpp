// Word wrap on the control's side: switching the wrap map on and off, what the map reads of
// the control, and placing the caret at a display position.
#include <algorithm>

#include "editor/src_edit.h"

bool TCustomSrcEdit::WrapIdentChars(TSysCharSet& Chars) const {
  if (!fHighlighter) return false;
  Chars = fHighlighter->GetIdentChars();
  return true;
}

void TCustomSrcEdit::SetWordWrap(bool Value) {
  if (Value == WordWrap()) return;
  Invalidate();
  fCaretAtRowEnd = false;
  if (Value) {
    fWordWrapPlugin = std::make_unique<TSrcWordWrapPlugin>(this);
    SetLeftChar(1);
  } else {
    fWordWrapPlugin.reset();
  }
  UpdateScrollBars();
  if (fOptions.Contains(eoScrollPastEol)) {
    // Positions past the line end are clamped again under the new rules.
    TBufferCoord anchor = fBlockBegin, end = fBlockEnd;
    InternalSetCaretXY(CaretXY());
    SetBlockBegin(anchor);
    SetBlockEnd(end);
  }
  EnsureCursorPosVisible();
}

void TCustomSrcEdit::SetInternalDisplayXY(const TDisplayCoord& P) {
  IncPaintLock();
  try {
    InternalSetCaretXY(DisplayToBufferPos(P));
    fCaretAtRowEnd = fWordWrapPlugin && P.Row <= fWordWrapPlugin->RowCount() && P.Row >= 1 &&
                     fWordWrapPlugin->GetRowLength(P.Row) < P.Column &&
                     BufferToDisplayPos(CaretXY()).Row != P.Row;
    IncludeState(sfCaretUpdatePending);
  } catch (...) {
    DecPaintLock();
    throw;
  }
  DecPaintLock();
  fKeptCaretX = DisplayX();
  fTrailByteShift = false;
}

// The control's input side: keys, characters, the mouse, scrolling and the window messages it
// answers itself.
#include <algorithm>

#include "editor/src_edit.h"

void TCustomSrcEdit::SelectWordAt(const TBufferCoord& P) {
  TBufferCoord p = P;
  p.Line = std::clamp(p.Line, 1, std::max(1, fLines->Count()));
  p.Char = std::max(1, p.Char);
  TBufferCoord b = WordStartEx(p), e = WordEndEx(p);
  PlaceCaretAndSelection(e, b, e);
  InvalidateLine(p.Line);
  StatusChanged(scSelection);
}

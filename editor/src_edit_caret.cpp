// Caret motion with and without selection, Home, Tab and Shift+Tab, block indentation, case
// changes, bookmarks and the word positions the caret and delete commands use.
#include <algorithm>
#include <climits>
#include <memory>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int Len(std::string_view s) { return static_cast<int>(s.size()); }

// Whether the 1-based character Index of S is the second byte of a double-byte character.
bool IsTrailByteAt(std::string_view S, int Index) {
  if (!MultiByteSupport() || Index < 1 || Index > Len(S)) return false;
  return ByteType(S, static_cast<size_t>(Index - 1)) == mbTrailByte;
}

bool IsLeadByteAt(std::string_view S, int Index) {
  if (!MultiByteSupport() || Index < 1 || Index > Len(S)) return false;
  return ByteType(S, static_cast<size_t>(Index - 1)) == mbLeadByte;
}

// The word-break characters that count as white without a highlighter.
TSysCharSet DefaultWordBreakChars() {
  TSysCharSet s{33, 34, 58, 59, 61, 63, 123, 124, 125};
  s.AddRange(39, 47).AddRange(91, 94);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------- word positions

void TCustomSrcEdit::GetWordCharSets(TSysCharSet& Ident, TSysCharSet& White) const {
  if (fHighlighter) {
    Ident = fHighlighter->GetIdentChars() - fHighlighter->WordBreakChars;
  } else {
    Ident = TSysCharSet::Range('0', '9');
    Ident.AddRange('A', 'Z').Add('_').AddRange('a', 'z');
    Ident = (Ident + CyrillicLetters()) - DefaultWordBreakChars();
  }
  White = TSysCharSet::Range(1, 255) - Ident;
}

TSysCharSet TCustomSrcEdit::WordIdentChars() const {
  TSysCharSet ident, white;
  GetWordCharSets(ident, white);
  return ident;
}

TBufferCoord TCustomSrcEdit::NextWordPosEx(const TBufferCoord& XY) {
  if (XY.Line < 1 || XY.Line > fLines->Count()) return XY;
  TSysCharSet ident, white;
  GetWordCharSets(ident, white);
  std::string_view s = fLines->Line(XY.Line - 1);
  int len = Len(s);
  int x = std::max(XY.Char, 1);
  // A caret on the line's last character still has that character's word to finish: only
  // from the line's end does the move go on to the next line.
  if (x <= len) {
    if (ident.Contains(s[static_cast<size_t>(x - 1)]) && !IsLeadByteAt(s, x)) x = ScanForCharInSet(s, x, white);
    if (x > 0) x = ScanForCharInSet(s, x, ident);
    int multi = ScanForLeadByte(s, std::max(XY.Char, 1) + 1);
    if (multi > 0 && (x == 0 || multi < x)) x = multi;
    if (x == 0) x = len + 1;
    return BufferCoord(x, XY.Line);
  }
  if (XY.Line < fLines->Count()) {
    std::string_view next = fLines->Line(XY.Line);
    x = ScanForCharInSet(next, 1, ident);
    int multi = ScanForLeadByte(next, 1);
    if (multi > 0 && (x == 0 || multi < x)) x = multi;
    if (x == 0) x = 1;
    return BufferCoord(x, XY.Line + 1);
  }
  return XY;
}

TBufferCoord TCustomSrcEdit::WordStartEx(const TBufferCoord& XY) {
  if (XY.Line < 1 || XY.Line > fLines->Count()) return XY;
  TSysCharSet ident, white;
  GetWordCharSets(ident, white);
  std::string_view s = fLines->Line(XY.Line - 1);
  int x = std::clamp(XY.Char, 1, Len(s) + 1);
  if (x > 1 && !white.Contains(s[static_cast<size_t>(x - 2)])) x = ReverseScanForCharInSet(s, x - 1, white) + 1;
  return BufferCoord(x, XY.Line);
}

TBufferCoord TCustomSrcEdit::WordEndEx(const TBufferCoord& XY) {
  if (XY.Line < 1 || XY.Line > fLines->Count()) return XY;
  TSysCharSet ident, white;
  GetWordCharSets(ident, white);
  std::string_view s = fLines->Line(XY.Line - 1);
  int x = ScanForCharInSet(s, std::max(XY.Char, 1), white);
  if (x == 0) x = Len(s) + 1;
  return BufferCoord(x, XY.Line);
}

TBufferCoord TCustomSrcEdit::PrevWordPosEx(const TBufferCoord& XY) {
  if (XY.Line < 1 || XY.Line > fLines->Count()) return XY;
  TSysCharSet ident, white;
  GetWordCharSets(ident, white);
  std::string_view s = fLines->Line(XY.Line - 1);
  int x = std::clamp(XY.Char, 1, Len(s) + 1);
  auto endOfPrevious = [&]() {
    if (XY.Line > 1) return BufferCoord(Len(fLines->Line(XY.Line - 2)) + 1, XY.Line - 1);
    return BufferCoord(1, XY.Line);
  };
  if (x == 1) return XY.Line > 1 ? endOfPrevious() : BufferCoord(1, XY.Line);
  int from = x;
  if (white.Contains(s[static_cast<size_t>(x - 2)]) && !IsTrailByteAt(s, x - 1)) x = ReverseScanForCharInSet(s, x - 1, ident);
  if (x > 0) x = ReverseScanForCharInSet(s, x - 1, white) + 1;
  int multi = ReverseScanForLeadByte(s, from - 1);
  if (multi > 0 && (x == 0 || multi > x)) x = multi;
  if (x == 0) return endOfPrevious();
  return BufferCoord(x, XY.Line);
}

// ---------------------------------------------------------------------------- caret motion

void TCustomSrcEdit::MoveCaretAndSelect(const TBufferCoord& Anchor, const TBufferCoord& Target,
                                        bool SelectionCommand) {
  // A caret move ends the typing group: what is typed next is undone on its own.
  if (fOptions.Contains(eoGroupUndo) && fUndoList->CanUndo()) fUndoList->AddGroupBreak();
  PaintLockScope lock(this);
  if (SelectionCommand) {
    if (!SelAvail()) SetBlockBegin(Anchor);
    TBufferCoord end = Target;
    // A column selection is never empty: on the anchor's column it takes one character.
    if (fSelectionMode == smColumn && end.Char == fBlockBegin.Char) ++end.Char;
    SetBlockEnd(end);
  } else {
    SetBlockBegin(Target);
  }
  InternalSetCaretXY(Target);
}

void TCustomSrcEdit::MoveCaretHorizontally(int DX, bool SelectionCommand) {
  if (fWordWrapPlugin) {
    if (DX <= 0) {
      if (!fCaretAtRowEnd && fCaretX > 1 && BufferToDisplayPos(CaretXY()).Column == 1) {
        // The start of a continuation row: first the caret shows at the end of the row above.
        fCaretAtRowEnd = true;
        TDisplayCoord d = DisplayXY();
        fKeptCaretX = d.Column;
        fTrailByteShift = false;
        if (d.Column > fCharsInWindow + 1 && fCharsInWindow > 0)
          SetInternalDisplayXY(DisplayCoord(fCharsInWindow + 1, d.Row));
        else
          IncludeState(sfCaretUpdatePending);
        return;
      }
    } else if (fCaretAtRowEnd) {
      fCaretAtRowEnd = false;
      fKeptCaretX = DisplayX();
      fTrailByteShift = false;
      IncludeState(sfCaretUpdatePending);
      return;
    }
  }
  TBufferCoord p = CaretXY();
  AnsiString s = LineText();
  int n = Len(s);
  bool wrapLines = !fOptions.Contains(eoScrollPastEol);
  TBufferCoord target = p;
  if (wrapLines && DX == -1 && p.Char == 1 && p.Line > 1) {
    target = BufferCoord(Len(fLines->Line(p.Line - 2)) + 1, p.Line - 1);
  } else if (wrapLines && DX == 1 && p.Char > n && p.Line < fLines->Count()) {
    target = BufferCoord(1, p.Line + 1);
  } else {
    long long c = std::max<long long>(1, static_cast<long long>(p.Char) + DX);
    if (DX > 0 && wrapLines) c = std::min<long long>(c, n + 1);
    target.Char = static_cast<int>(std::min<long long>(c, INT_MAX - 1));
    if (IsTrailByteAt(s, target.Char)) target.Char += DX > 0 ? 1 : -1;
  }
  MoveCaretAndSelect(fBlockBegin, target, SelectionCommand);
  if (fWordWrapPlugin && DX > 0 && fCaretX < n) {
    TDisplayCoord d = BufferToDisplayPos(CaretXY());
    if (d.Column == 1 && d.Row != LineToRow(fCaretY)) {
      // Stepping onto the start of a continuation row shows the caret at the end of the row
      // above first; the next step right shows it at the start of this row.
      fCaretAtRowEnd = true;
      fKeptCaretX = DisplayX();
      fTrailByteShift = false;
      IncludeState(sfCaretUpdatePending);
    } else if (fCharsInWindow > 0 && d.Column > fCharsInWindow + 1) {
      SetInternalDisplayXY(DisplayCoord(1, d.Row + 1));
    }
  }
}

void TCustomSrcEdit::MoveCaretVertically(int DY, bool SelectionCommand) {
  TDisplayCoord o = DisplayXY();
  int rows = std::max(1, DisplayLineCount());
  long long r = static_cast<long long>(o.Row) + DY;
  int row = static_cast<int>(std::clamp<long long>(r, 1, rows));
  int col = o.Column;
  bool rowChanged = row != o.Row;
  if (rowChanged && fOptions.Contains(eoKeepCaretX)) col = fKeptCaretX;
  TBufferCoord t = DisplayToBufferPos(DisplayCoord(col, row));
  bool shift = fTrailByteShift;
  if (rowChanged) {
    if (fTrailByteShift && !fOptions.Contains(eoKeepCaretX)) ++t.Char;
    shift = false;
    if (t.Line >= 1 && t.Line <= fLines->Count() && IsTrailByteAt(fLines->Line(t.Line - 1), t.Char)) {
      --t.Char;
      shift = true;
    }
  }
  int kept = fKeptCaretX;
  {
    PaintLockScope lock(this);
    MoveCaretAndSelect(fBlockBegin, t, SelectionCommand);
    if (fWordWrapPlugin) {
      // A position that shows at the start of the next row belongs to the end of this one.
      TDisplayCoord d = BufferToDisplayPos(CaretXY());
      fCaretAtRowEnd = d.Column == 1 && d.Row != row;
    }
  }
  fTrailByteShift = shift;
  fKeptCaretX = kept;
}

void TCustomSrcEdit::MoveToLineHome(bool SelectionCommand) {
  int target = 1;
  if (fOptions.Contains(eoEnhanceHomeKey) && (!fWordWrapPlugin || LineToRow(fCaretY) == DisplayY())) {
    AnsiString s = LineText();
    int first = 1;
    while (first <= Len(s) && IsBlank(s[static_cast<size_t>(first - 1)])) ++first;
    target = first;
    if (target >= fCaretX && fCaretX != 1) target = 1;
  }
  if (!fWordWrapPlugin) {
    MoveCaretAndSelect(CaretXY(), BufferCoord(target, fCaretY), SelectionCommand);
    return;
  }
  int row = DisplayY();
  int col = target == 1 ? 1 : BufferToDisplayPos(BufferCoord(target, fCaretY)).Column;
  MoveCaretAndSelect(CaretXY(), DisplayToBufferPos(DisplayCoord(col, row)), SelectionCommand);
}

// ---------------------------------------------------------------------------- tabs

void TCustomSrcEdit::InsertTab() {
  if (ReadOnly()) return;
  if (fOptions.Contains(eoTabIndent) && (SelectionSpansLines() || SelectionIsWholeLine())) {
    bool wholeLine = SelectionIsWholeLine();
    IndentBlock();
    if (wholeLine) {
      // The line stays wholly selected: the earlier end goes back to its first character.
      if (fBlockBegin.Char < fBlockEnd.Char)
        fBlockBegin.Char = 1;
      else
        fBlockEnd.Char = 1;
      InvalidateSelection();
    }
    return;
  }
  int tw = std::max(fTabWidth, 1);
  // Smart tab: the next word start of the nearest line above that reaches the caret's column.
  int w = 0;
  bool found = false;
  if (fOptions.Contains(eoSmartTabs) && fCaretY > 1) {
    int col = BufferToDisplayPos(CaretXY()).Column;
    for (int l = fCaretY - 1; l >= 1; --l) {
      std::string_view s = fLines->Line(l - 1);
      TBufferCoord p = DisplayToBufferPos(DisplayCoord(col, LineToRow(l)));
      if (p.Line != l || p.Char > Len(s) || p.Char < 1) continue;
      int j = p.Char;
      while (j <= Len(s) && !IsBlank(s[static_cast<size_t>(j - 1)])) ++j;
      while (j <= Len(s) && IsBlank(s[static_cast<size_t>(j - 1)])) ++j;
      w = BufferToDisplayPos(BufferCoord(j, l)).Column - BufferToDisplayPos(p).Column;
      found = w > 0;
      break;
    }
  }
  bool pastEolForced = !fOptions.Contains(eoScrollPastEol);
  BeginUndoBlock();
  try {
    if (SelAvail()) DeleteSelectionRecorded(rcDelete);
    TBufferCoord start = CaretXY();
    AnsiString line = LineText();
    int displayCol = BufferToDisplayPos(start).Column;
    int toStop = tw - (displayCol - 1) % tw;
    if (!found) w = fOptions.Contains(eoTabsToSpaces) ? toStop : tw;
    AnsiString text;
    int newX;
    if (fOptions.Contains(eoTabsToSpaces)) {
      text.assign(static_cast<size_t>(w), ' ');
      newX = start.Char + w;
    } else if (fOptions.Contains(eoTrimTrailingSpaces) && start.Char > Len(line)) {
      // A tab at the end of the line would be trimmed at once: only the caret advances.
      newX = start.Char + (found ? w : toStop);
    } else if (found) {
      AnsiString before;
      for (int i = 0; i < std::min(start.Char - 1, Len(line)); ++i)
        if (line[static_cast<size_t>(i)] != '\t') before += line[static_cast<size_t>(i)];
      if (before.find_first_not_of(' ') != AnsiString::npos) {
        text = "\t";
      } else {
        int d = w;
        if (d >= toStop) {
          text += '\t';
          d -= toStop;
          while (d >= tw) {
            text += '\t';
            d -= tw;
          }
        }
        text.append(static_cast<size_t>(d), ' ');
      }
      newX = start.Char + Len(text);
    } else {
      text = "\t";
      newX = start.Char + 1;
    }
    if (!text.empty()) {
      TSrcSelectionMode mode = fSelectionMode == smColumn ? smColumn : smNormal;
      ReplaceSelection(mode, text, true);
      if (fSelectionMode != smColumn) fUndoList->AddChange(rcInsert, start, CaretXY(), AnsiString(), smNormal);
    }
    if (pastEolForced) fOptions.Include(eoScrollPastEol);
    try {
      InternalSetCaretXY(BufferCoord(newX, start.Line));
    } catch (...) {
      if (pastEolForced) fOptions.Exclude(eoScrollPastEol);
      throw;
    }
    if (pastEolForced) fOptions.Exclude(eoScrollPastEol);
    fBlockBegin = fBlockEnd = CaretXY();
  } catch (...) {
    EndUndoBlock();
    throw;
  }
  EndUndoBlock();
  EnsureCursorPosVisible();
}

void TCustomSrcEdit::RemoveTabBack() {
  if (ReadOnly()) return;
  if (fOptions.Contains(eoTabIndent) && (SelectionSpansLines() || SelectionIsWholeLine())) {
    UnindentBlock();
    return;
  }
  if (fCaretY < 1 || fCaretY > fLines->Count()) return;
  int tw = std::max(fTabWidth, 1);
  AnsiString line = LineText();
  int len = Len(line);
  int x = fCaretX;
  if (fOptions.Contains(eoSmartTabs) && x != 1 && fCaretY > 1) {
    for (int l = fCaretY - 1; l >= 1; --l) {
      std::string_view s = fLines->Line(l - 1);
      if (Len(s) < fCaretX - 1) continue;
      int i = fCaretX - 1;
      while (i > 1 && s[static_cast<size_t>(i - 1)] == ' ') --i;
      while (i > 1 && s[static_cast<size_t>(i - 2)] != ' ') --i;
      x = i;
      break;
    }
  }
  // Only blanks (or the room beyond the line end) are taken back, never text of the line.
  auto blanksOnly = [&](int target) {
    int j = fCaretX;
    while (j > target && (j - 1 > len || IsBlank(line[static_cast<size_t>(j - 2)]))) --j;
    return j;
  };
  x = blanksOnly(x);
  if (x == fCaretX && fCaretX > 1) {
    int n = tw * ((fCaretX - 2) / tw) + 1;
    if (fCaretX > len + 1) {
      x = n;
    } else if (n < x && line[static_cast<size_t>(fCaretX - 2)] == '\t') {
      x = fCaretX - 1;
    } else {
      while (x > n && line[static_cast<size_t>(x - 2)] == ' ') --x;
    }
    x = blanksOnly(x);
  }
  if (x == fCaretX) return;
  if (x > len) {
    // Beyond the line end there is nothing to take back: only the caret moves.
    PaintLockScope lock(this);
    bool forced = !fOptions.Contains(eoScrollPastEol);
    if (forced) fOptions.Include(eoScrollPastEol);
    InternalSetCaretXY(BufferCoord(x, fCaretY));
    if (forced) fOptions.Exclude(eoScrollPastEol);
    fBlockBegin = fBlockEnd = CaretXY();
    return;
  }
  TBufferCoord caret = CaretXY();
  TSrcSelectionMode mode = fSelectionMode;
  fSelectionMode = smNormal;
  try {
    BeginUndoBlock();
    try {
      TBufferCoord delEnd{std::min(caret.Char, len + 1), caret.Line};
      fBlockBegin = BufferCoord(x, fCaretY);
      fBlockEnd = delEnd;
      AnsiString removed = UndoText();
      ReplaceSelection(smNormal, AnsiString(), false);
      if (!removed.empty())
        fUndoList->AddChange(rcDeleteBackward, BufferCoord(x, caret.Line), delEnd, removed, smNormal);
      bool forced = !fOptions.Contains(eoScrollPastEol);
      if (forced) fOptions.Include(eoScrollPastEol);
      InternalSetCaretXY(BufferCoord(x, caret.Line));
      if (forced) fOptions.Exclude(eoScrollPastEol);
      fBlockBegin = fBlockEnd = CaretXY();
    } catch (...) {
      EndUndoBlock();
      throw;
    }
    EndUndoBlock();
  } catch (...) {
    fSelectionMode = mode;
    throw;
  }
  fSelectionMode = mode;
}

// ---------------------------------------------------------------------------- block indentation

void TCustomSrcEdit::IndentBlock() {
  if (ReadOnly() || !SelAvail()) return;
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  int lastLine = e.Char == 1 && e.Line > b.Line ? e.Line - 1 : e.Line;
  bool spaces = fOptions.Contains(eoTabsToSpaces);
  int tw = std::max(fTabWidth, 1);
  AnsiString unit = spaces ? AnsiString(static_cast<size_t>(tw), ' ') : AnsiString("\t");
  int u = Len(unit);
  int caretLine = fCaretY;
  int newCaretX = e.Char == 1 ? 1 : fCaretX + u;
  AnsiString text = unit;
  for (int l = b.Line; l < lastLine; ++l) {
    text += "\r\n";
    text += unit;
  }
  TSrcSelectionMode mode = fSelectionMode;
  int col = mode == smColumn ? std::min(fBlockBegin.Char, fBlockEnd.Char) : 1;
  auto finish = [&]() {
    fSelectionMode = mode;
    StatusChanged(scSelection);
    TBufferCoord nb{b.Char + u, b.Line};
    TBufferCoord ne = e.Char > 1 ? BufferCoord(e.Char + u, e.Line) : e;
    PlaceCaretAndSelection(BufferCoord(newCaretX, caretLine), nb, ne);
  };
  BeginUndoBlock();
  try {
    InsertBlock(BufferCoord(col, b.Line), BufferCoord(col, lastLine), text, true);
    fUndoList->AddChange(rcIndent, b, e, AnsiString(), smColumn);
    fUndoList->AddChange(rcIndent, BufferCoord(b.Char + u, b.Line), BufferCoord(e.Char + u, e.Line), AnsiString(),
                         smColumn);
  } catch (...) {
    EndUndoBlock();
    finish();
    throw;
  }
  EndUndoBlock();
  finish();
}

void TCustomSrcEdit::UnindentBlock() {
  if (ReadOnly() || !SelAvail()) return;
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  int lastLine = std::min(e.Char == 1 && e.Line > b.Line ? e.Line - 1 : e.Line, fLines->Count());
  int tw = std::max(fTabWidth, 1);
  int col = fSelectionMode == smColumn ? std::min(fBlockBegin.Char, fBlockEnd.Char) : 1;
  std::vector<int> widths;
  AnsiString removed;
  bool changed = false;
  int caretX = fCaretX;
  for (int l = b.Line; l <= lastLine; ++l) {
    std::string_view s = fLines->Line(l - 1);
    int len = Len(s);
    int w = 0;
    if (col <= len && s[static_cast<size_t>(col - 1)] == '\t') {
      w = 1;
    } else {
      while (w < tw && col + w <= len && s[static_cast<size_t>(col + w - 1)] == ' ') ++w;
      if (w < tw && col + w <= len && s[static_cast<size_t>(col + w - 1)] == '\t') ++w;
    }
    if (w > 0) changed = true;
    if (l > b.Line) removed += "\r\n";
    if (w > 0) removed += s.substr(static_cast<size_t>(col - 1), static_cast<size_t>(w));
    widths.push_back(w);
    if (l == fCaretY && fCaretX != 1) caretX = std::max(1, fCaretX - w);
  }
  if (!changed) return;
  {
    PaintLockScope lock(this);
    fLines->BeginUpdate();
    try {
      for (int l = b.Line; l <= lastLine; ++l) {
        int w = widths[static_cast<size_t>(l - b.Line)];
        if (w == 0) continue;
        AnsiString s = fLines->Get(l - 1);
        s.erase(static_cast<size_t>(col - 1), static_cast<size_t>(w));
        fLines->Put(l - 1, s);
      }
    } catch (...) {
      fLines->EndUpdate();
      throw;
    }
    fLines->EndUpdate();
    fUndoList->AddChange(rcUnindent, b, e, removed, fSelectionMode);
    TBufferCoord caret = CaretXY();
    if (fSelectionMode != smColumn) {
      caret.Char = caretX;
      b.Char = std::max(1, b.Char - widths.front());
      if (e.Line == lastLine) e.Char = std::max(1, e.Char - widths.back());
    }
    PlaceCaretAndSelection(caret, b, e);
  }
}

// ---------------------------------------------------------------------------- case

AnsiString TCustomSrcEdit::SwapCase(const AnsiString& S) {
  AnsiString up = AnsiUpperCase(S), low = AnsiLowerCase(S);
  AnsiString r = S;
  for (size_t i = 0; i < r.size() && i < up.size() && i < low.size(); ++i) r[i] = up[i] == S[i] ? low[i] : up[i];
  return r;
}

void TCustomSrcEdit::ChangeCase(TSrcEditorCommand Command) {
  if (Command < ecUpperCase || Command > ecToggleCaseBlock)
    throw EAssertionFailed(Format("Case change with command %d", {static_cast<int>(Command)}));
  if (ReadOnly()) return;
  // The number between the word and the block commands has no conversion of its own.
  constexpr TSrcEditorCommand kNoConversion = ecTitleCase + 1;
  bool wordCommand = Command < ecUpperCaseBlock;
  bool hadSelection = SelAvail();
  TBufferCoord oldBegin = fBlockBegin, oldEnd = fBlockEnd, oldCaret = CaretXY();
  TSrcSelectionMode oldMode = fSelectionMode;
  PaintLockScope lock(this);
  auto restore = [&]() {
    fSelectionMode = oldMode;
    if (!wordCommand && hadSelection) {
      fBlockBegin = oldBegin;
      fBlockEnd = oldEnd;
      InvalidateSelection();
      StatusChanged(scSelection);
    }
    if (hadSelection || wordCommand) {
      InternalSetCaretXY(oldCaret);
      if (wordCommand) fBlockBegin = fBlockEnd = CaretXY();
    }
  };
  try {
    if (wordCommand) {
      // A word is a run of characters on one line, whatever the selection mode.
      fSelectionMode = smNormal;
      SelectWordAt(CaretXY());
      for (int i = 0; i < 2 && !SelAvail(); ++i) {
        InternalSetCaretXY(PrevWordPos());
        SelectWordAt(CaretXY());
      }
    } else if (!hadSelection) {
      if (fCaretX > Len(LineText())) {
        if (fCaretY < fLines->Count()) InternalSetCaretXY(BufferCoord(1, fCaretY + 1));
        fBlockBegin = fBlockEnd = CaretXY();
      } else {
        MoveCaretHorizontally(1, true);
      }
    }
    AnsiString text = SelTextEx(false);
    if (!text.empty() && Command != kNoConversion) {
      AnsiString converted;
      switch (Command) {
        case ecUpperCase: case ecUpperCaseBlock: converted = AnsiUpperCase(text); break;
        case ecLowerCase: case ecLowerCaseBlock: converted = AnsiLowerCase(text); break;
        case ecToggleCase: case ecToggleCaseBlock: converted = SwapCase(text); break;
        default: converted = AnsiUpperCase(text.substr(0, 1)) + AnsiLowerCase(text.substr(1)); break;
      }
      BeginUndoBlock();
      try {
        SetSelText(converted);
        fUndoList->AddChange(rcCaret, oldCaret, oldCaret, AnsiString(), smNormal);
        if (hadSelection)
          fUndoList->AddChange(rcSelection, oldBegin, oldEnd, AnsiString(), oldMode);
        else
          fUndoList->AddChange(rcSelection, oldCaret, oldCaret, AnsiString(), oldMode);
      } catch (...) {
        EndUndoBlock();
        throw;
      }
      EndUndoBlock();
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

// ---------------------------------------------------------------------------- indentation strings

int TCustomSrcEdit::LeadingBlankWidth(std::string_view S, bool CountTabs) const {
  if (!fOptions.Contains(eoAutoIndent) || S.empty()) return 0;
  int w = 0;
  for (char c : S) {
    auto u = static_cast<unsigned char>(c);
    if (u < 1 || u > 32) break;
    w += CountTabs && c == '\t' ? fTabWidth : 1;
  }
  return w;
}

AnsiString TCustomSrcEdit::IndentString(int Columns, bool UseTabs) const {
  Columns = std::max(Columns, 0);
  int tw = std::max(fTabWidth, 1);
  if (!UseTabs || fOptions.Contains(eoTabsToSpaces) || Columns < tw) return AnsiString(static_cast<size_t>(Columns), ' ');
  return AnsiString(static_cast<size_t>(Columns / tw), '\t') + AnsiString(static_cast<size_t>(Columns % tw), ' ');
}

// ---------------------------------------------------------------------------- bookmarks

TSrcEditMark* TCustomSrcEdit::Bookmark(int Number) const {
  if (Number < 0 || Number > 9) return nullptr;
  for (int i = 0; i < fMarkList->Count(); ++i) {
    TSrcEditMark* m = fMarkList->Items(i);
    if (m->BookmarkNumber() == Number) return m;
  }
  return nullptr;
}

bool TCustomSrcEdit::GetBookMark(int Number, int& X, int& Y) const {
  TSrcEditMark* m = Bookmark(Number);
  if (!m) return false;
  X = m->Char();
  Y = m->Line();
  return true;
}

void TCustomSrcEdit::PutBookmark(int Number, int Char, int Line) {
  if (Number < 0 || Number > 9) return;
  if (Line < 1 || Line > std::max(1, fLines->Count())) return;
  auto created = std::make_unique<TSrcEditMark>(this);
  created->SetLine(Line);
  created->SetChar(Char);
  created->SetImageIndex(Number);
  created->SetBookmarkNumber(Number);
  created->SetVisible(true);
  created->SetInternalImage(fBookMarkOpt->BookmarkImages() == nullptr);
  TSrcEditMark* mark = created.get();
  DoOnPlaceBookmark(mark);
  if (!mark) return;  // refused: the old bookmark stays
  // A handler that put a mark of its own in place keeps the one it was given to itself.
  if (mark == created.get()) created.release();
  if (Bookmark(Number) != mark) RemoveBookmark(Number);
  mark->SetBookmarkNumber(Number);
  if (fMarkList->IndexOf(mark) < 0) fMarkList->Add(mark);
}

void TCustomSrcEdit::RemoveBookmark(int Number) {
  TSrcEditMark* m = Bookmark(Number);
  if (!m) return;
  TSrcEditMark* told = m;
  DoOnClearBookmark(told);
  fMarkList->Remove(m);
  delete m;
}

void TCustomSrcEdit::JumpToBookmark(int Number) {
  TSrcEditMark* m = Bookmark(Number);
  if (!m || m->Line() < 1 || m->Line() > fLines->Count()) return;
  PaintLockScope lock(this);
  bool hadSelection = SelAvail();
  SetCaretXYEx(false, BufferCoord(m->Char(), m->Line()));
  EnsureCursorPosVisibleEx(true);
  if (hadSelection) InvalidateSelection();
  fBlockBegin = fBlockEnd = CaretXY();
  StatusChanged(scSelection);
}

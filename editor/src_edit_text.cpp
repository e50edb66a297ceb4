// The editing core of the control: caret and block clamping, the selected text in three modes,
// replacing the selection, the clipboard, and undo and redo.
#include <algorithm>
#include <climits>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"

namespace {

// Lines of a text that ends its lines with CR, LF or CR LF; a text of n breaks has n+1 pieces.
std::vector<AnsiString> SplitLines(const AnsiString& S) {
  std::vector<AnsiString> out;
  size_t start = 0, i = 0, n = S.size();
  while (i < n) {
    char c = S[i];
    if (c == '\r' || c == '\n') {
      out.push_back(S.substr(start, i - start));
      if (c == '\r' && i + 1 < n && S[i + 1] == '\n') ++i;
      start = i + 1;
    }
    ++i;
  }
  out.push_back(S.substr(start));
  return out;
}

bool IsBracketEnd(TSrcChangeReason r) {
  return r == rcBlock1End || r == rcPasteEnd || r == rcBlock2End || r == rcBlock3End;
}
bool IsBracketBegin(TSrcChangeReason r) {
  return r == rcBlock1Begin || r == rcPasteBegin || r == rcBlock2Begin || r == rcBlock3Begin;
}


}  // namespace

// ---------------------------------------------------------------------------- conversions

TDisplayCoord TCustomSrcEdit::BufferToDisplayPos(const TBufferCoord& P) const {
  TDisplayCoord d{P.Char, P.Line};
  if (P.Line >= 1 && P.Line <= fLines->Count())
    d.Column = CharIndexToColumn(P.Char, fTabWidth, fLines->Line(P.Line - 1));
  // The wrap map works on columns of the expanded line.
  if (fWordWrapPlugin) return fWordWrapPlugin->BufferToDisplayPos(TBufferCoord{std::max(d.Column, 1), P.Line});
  return d;
}

TBufferCoord TCustomSrcEdit::DisplayToBufferPos(const TDisplayCoord& P) const {
  TBufferCoord b{P.Column, P.Row};
  if (fWordWrapPlugin) {
    TBufferCoord w = fWordWrapPlugin->DisplayToBufferPos(
        TDisplayCoord{std::max(P.Column, 1), std::max(P.Row, 1)});
    b = w;
  }
  // b.Char is a column of the expanded line b.Line now.
  if (b.Line >= 1 && b.Line <= fLines->Count()) {
    std::string_view s = fLines->Line(b.Line - 1);
    // Without a tab up to the column the column is the character; the rest of a long line is
    // not looked at.
    std::string_view upTo = b.Char >= 1 ? s.substr(0, static_cast<size_t>(b.Char)) : s;
    if (upTo.find('\t') == AnsiString::npos) return b;
    int col = 0, i = 0, len = static_cast<int>(s.size());
    while (i < len) {
      int w = s[static_cast<size_t>(i)] == '\t' ? fTabWidth - col % fTabWidth : 1;
      if (col + w >= b.Char) return BufferCoord(i + 1, b.Line);
      col += w;
      ++i;
    }
    b.Char = len + 1 + (b.Char - 1 - col);
  }
  return b;
}

int TCustomSrcEdit::LineToRow(int Line) const {
  return fWordWrapPlugin ? fWordWrapPlugin->LineToRow(Line) : Line;
}

int TCustomSrcEdit::RowToLine(int Row) const {
  return fWordWrapPlugin ? fWordWrapPlugin->RowToLine(Row) : Row;
}

int TCustomSrcEdit::DisplayLineCount() const {
  return fWordWrapPlugin ? fWordWrapPlugin->RowCount() : fLines->Count();
}

TDisplayCoord TCustomSrcEdit::DisplayXY() const {
  TDisplayCoord d = BufferToDisplayPos(CaretXY());
  if (fWordWrapPlugin && fCaretAtRowEnd && d.Row > 1) {
    d.Row -= 1;
    d.Column = fWordWrapPlugin->GetRowLength(d.Row) + 1;
  }
  return d;
}

int TCustomSrcEdit::DisplayY() const { return fWordWrapPlugin ? DisplayXY().Row : fCaretY; }

// ---------------------------------------------------------------------------- caret

void TCustomSrcEdit::SetCaretXY(const TBufferCoord& Value) {
  PaintLockScope lock(this);
  bool hadSelection = SelAvail();
  SetCaretXYEx(true, Value);
  if (hadSelection) InvalidateSelection();
  fBlockBegin = fBlockEnd = CaretXY();
  StatusChanged(scSelection);
}

void TCustomSrcEdit::SetCaretXYEx(bool CallEnsureCursorPos, TBufferCoord Value) {
  fCaretAtRowEnd = false;
  DoOnPaintTransient(ttBefore);
  int maxX = fWordWrapPlugin ? INT_MAX : fMaxScrollWidth + 1;
  bool pastEol = fOptions.Contains(eoScrollPastEol);
  if (Value.Line > fLines->Count()) Value.Line = fLines->Count();
  if (Value.Line < 1) {
    Value.Line = 1;
    if (!pastEol) maxX = 1;
  } else if (!pastEol) {
    maxX = static_cast<int>(fLines->Line(Value.Line - 1).size()) + 1;
  } else if (!fWordWrapPlugin) {
    maxX = PastEolLimit(Value.Line);
  }
  if (Value.Char > maxX && !(pastEol && fOptions.Contains(eoAutoSizeMaxScrollWidth))) Value.Char = maxX;
  if (Value.Char < 1) Value.Char = 1;
  if (Value.Char == fCaretX && Value.Line == fCaretY) {
    fKeptCaretX = DisplayX();
  } else {
    PaintLockScope lock(this);
    if (Value.Char != fCaretX) {
      fCaretX = Value.Char;
      StatusChanged(scCaretX);
    }
    if (Value.Line != fCaretY) {
      if (fActiveLineColor != clNone) {
        InvalidateLine(Value.Line);
        InvalidateLine(fCaretY);
      }
      fCaretY = Value.Line;
      StatusChanged(scCaretY);
    }
    fKeptCaretX = DisplayX();
    if (CallEnsureCursorPos) EnsureCursorPosVisible();
    IncludeState(sfCaretUpdatePending | sfScrollBarsUpdatePending);
  }
  DoOnPaintTransient(ttAfter);
}

// ---------------------------------------------------------------------------- block

TBufferCoord TCustomSrcEdit::BlockBegin() const { return MinPoint(fBlockBegin, fBlockEnd); }
TBufferCoord TCustomSrcEdit::BlockEnd() const { return MaxPoint(fBlockBegin, fBlockEnd); }

int TCustomSrcEdit::PastEolLimit(int Line) const {
  int length = Line >= 1 && Line <= fLines->Count() ? static_cast<int>(fLines->Line(Line - 1).size()) : 0;
  return std::max(fMaxScrollWidth, length) + 1;
}

TBufferCoord TCustomSrcEdit::ClampBlockPoint(TBufferCoord v) const {
  v.Line = std::clamp(v.Line, 1, std::max(1, fLines->Count()));
  // A column block's ends keep their columns on any line the block crosses.
  int maxX = INT_MAX;
  if (fOptions.Contains(eoScrollPastEol) && !WordWrap())
    maxX = fSelectionMode == smColumn ? ScrollWidth() + 1 : PastEolLimit(v.Line);
  v.Char = std::clamp(v.Char, 1, maxX);
  if (fSelectionMode == smNormal) {
    int limit = v.Line <= fLines->Count() ? static_cast<int>(fLines->Line(v.Line - 1).size()) + 1 : 1;
    v.Char = std::min(v.Char, limit);
  }
  return v;
}

void TCustomSrcEdit::SetBlockBegin(TBufferCoord Value) {
  Value = ClampBlockPoint(Value);
  if (SelAvail()) {
    int first = std::min({Value.Line, fBlockBegin.Line, fBlockEnd.Line});
    int last = std::max({Value.Line, fBlockBegin.Line, fBlockEnd.Line});
    InvalidateLines(first, last);
    fBlockBegin = fBlockEnd = Value;
    StatusChanged(scSelection);
  } else {
    bool changed = Value != fBlockBegin || Value != fBlockEnd;
    fBlockBegin = fBlockEnd = Value;
    if (changed) StatusChanged(scSelection);
  }
}

void TCustomSrcEdit::SetBlockEnd(TBufferCoord Value) {
  if (fOptions.Contains(eoNoSelection)) return;
  Value = ClampBlockPoint(Value);
  if (Value == fBlockEnd) return;
  if (Value.Line <= fLines->Count()) {
    std::string_view s = fLines->Line(Value.Line - 1);
    if (Value.Char >= 2 && Value.Char - 2 < static_cast<int>(s.size()) &&
        IsLeadByte(s[static_cast<size_t>(Value.Char - 2)]))
      --Value.Char;  // never between the two bytes of one character
  }
  if (fSelectionMode == smColumn && Value.Char != fBlockEnd.Char) {
    InvalidateLines(std::min({fBlockBegin.Line, fBlockEnd.Line, Value.Line}),
                    std::max({fBlockBegin.Line, fBlockEnd.Line, Value.Line}));
  } else if (fSelectionMode != smColumn || fBlockBegin.Char != Value.Char) {
    InvalidateLines(fBlockEnd.Line, Value.Line);
  }
  fBlockEnd = Value;
  StatusChanged(scSelection);
}

bool TCustomSrcEdit::SelAvail() const {
  return fBlockBegin.Char != fBlockEnd.Char || (fBlockBegin.Line != fBlockEnd.Line && fSelectionMode != smColumn);
}

bool TCustomSrcEdit::SelectionSpansLines() const {
  return fSelectionMode != smColumn && fBlockBegin.Line != fBlockEnd.Line;
}

bool TCustomSrcEdit::SelectionIsWholeLine() const {
  return BlockBegin().Char <= 1 && static_cast<int>(LineText().size()) < BlockEnd().Char && SelAvail();
}

void TCustomSrcEdit::PlaceCaretAndSelection(const TBufferCoord& Caret, const TBufferCoord& ABlockBegin,
                                            const TBufferCoord& ABlockEnd) {
  PaintLockScope lock(this);
  InternalSetCaretXY(Caret);
  SetBlockBegin(ABlockBegin);
  SetBlockEnd(ABlockEnd);
}

void TCustomSrcEdit::SetSelectionMode(TSrcSelectionMode Value) {
  if (fSelectionMode == Value) return;
  fSelectionMode = Value;
  if (Value == smNormal) {
    // A normal selection ends within its lines; the ends a column or line selection had
    // beyond a line end come back to it, so that deleting never pads a line unrecorded.
    auto clamp = [this](TBufferCoord& p) {
      if (p.Line >= 1 && p.Line <= fLines->Count())
        p.Char = std::min(p.Char, static_cast<int>(fLines->Line(p.Line - 1).size()) + 1);
      else if (fLines->Count() == 0)
        p.Char = 1;
    };
    clamp(fBlockBegin);
    clamp(fBlockEnd);
  }
  if (SelAvail()) InvalidateSelection();
  StatusChanged(scSelection);
}

void TCustomSrcEdit::SelectAll() {
  PaintLockScope lock(this);
  TBufferCoord last{1, 1};
  if (fLines->Count() > 0)
    last = BufferCoord(static_cast<int>(fLines->Line(fLines->Count() - 1).size()) + 1, fLines->Count());
  InternalSetCaretXY(last);
  SetBlockBegin(BufferCoord(1, 1));
  SetBlockEnd(last);
  StatusChanged(scSelection);
}

AnsiString TCustomSrcEdit::LineText() const {
  if (fCaretY >= 1 && fCaretY <= fLines->Count()) return fLines->Get(fCaretY - 1);
  return AnsiString();
}

void TCustomSrcEdit::SetLineText(const AnsiString& Value) {
  if (fCaretY >= 1 && fCaretY <= std::max(1, fLines->Count())) {
    if (fLines->Count() == 0)
      fLines->Add(Value);
    else
      fLines->Put(fCaretY - 1, Value);
  }
}

size_t TCustomSrcEdit::TrimmedLength(std::string_view S) {
  size_t n = S.size();
  while (n > 0 && (S[n - 1] == ' ' || S[n - 1] == '\t')) --n;
  return n;
}

AnsiString TCustomSrcEdit::TrimTrailingSpaces(const AnsiString& S) { return S.substr(0, TrimmedLength(S)); }

AnsiString TCustomSrcEdit::SelText() const { return SelTextEx(!fOptions.Contains(eoTrimTrailingSpaces)); }

AnsiString TCustomSrcEdit::SelTextEx(bool PadColumns) const {
  if (!SelAvail()) return AnsiString();
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  int count = fLines->Count();
  auto line = [&](int l) { return fLines->Line(l - 1); };
  AnsiString r;
  switch (fSelectionMode) {
    case smNormal: {
      if (b.Line == e.Line) {
        std::string_view s = line(b.Line);
        int from = std::min(b.Char - 1, static_cast<int>(s.size()));
        int to = std::min(e.Char - 1, static_cast<int>(s.size()));
        if (to > from) r = s.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
        return r;
      }
      std::string_view first = line(b.Line);
      if (b.Char - 1 < static_cast<int>(first.size())) r = first.substr(static_cast<size_t>(b.Char - 1));
      r += "\r\n";
      for (int l = b.Line + 1; l < e.Line; ++l) {
        r += line(l);
        r += "\r\n";
      }
      std::string_view last = line(e.Line);
      r += last.substr(0, static_cast<size_t>(std::min(e.Char - 1, static_cast<int>(last.size()))));
      return r;
    }
    case smLine: {
      for (int l = b.Line; l <= e.Line; ++l) {
        r += line(l);
        if (l < e.Line || l < count) r += "\r\n";
      }
      return r;
    }
    case smColumn: {
      int c1 = std::min(b.Char, e.Char), c2 = std::max(b.Char, e.Char);
      for (int l = b.Line; l <= e.Line; ++l) {
        std::string_view s = line(l);
        int a = c1, z = c2;
        int len = static_cast<int>(s.size());
        if (a >= 2 && a - 2 < len && IsLeadByte(s[static_cast<size_t>(a - 2)])) ++a;
        if (z >= 2 && z - 2 < len && IsLeadByte(s[static_cast<size_t>(z - 2)])) ++z;
        AnsiString piece;
        if (a - 1 < len) piece = s.substr(static_cast<size_t>(a - 1), static_cast<size_t>(std::min(z, len + 1) - a));
        if (PadColumns && static_cast<int>(piece.size()) < c2 - c1) piece.append(static_cast<size_t>(c2 - c1) - piece.size(), ' ');
        r += piece;
        if (l < e.Line) r += "\r\n";
      }
      return r;
    }
  }
  return r;
}

AnsiString TCustomSrcEdit::WordAtCursor() {
  TBufferCoord oldBegin = fBlockBegin, oldEnd = fBlockEnd;
  TSrcSelectionMode oldMode = fSelectionMode;
  fSelectionMode = smNormal;
  fBlockBegin = WordStartEx(CaretXY());
  fBlockEnd = WordEndEx(CaretXY());
  AnsiString r = SelText();
  fBlockBegin = oldBegin;
  fBlockEnd = oldEnd;
  fSelectionMode = oldMode;
  return r;
}

// ---------------------------------------------------------------------------- replacing text

void TCustomSrcEdit::StoreLineTrimmed(int Index, const AnsiString& S) {
  AnsiString v = TrimForStore(Index, S);
  while (Index >= fLines->Count()) fLines->Add(AnsiString());
  if (fLines->Line(Index) != v) fLines->Put(Index, v);
}

// The line without its trailing blanks and tabs when trimming is on. What trimming takes is
// kept for a record of its own, so that undo can give it back exactly (a tab taken from in
// front of a deleted block would otherwise come back as blanks).
AnsiString TCustomSrcEdit::TrimForStore(int Index, const AnsiString& S) {
  if (!TrimsOnStore()) return S;
  AnsiString v = TrimTrailingSpaces(S);
  if (v.size() < S.size()) NoteTrimmed(BufferCoord(static_cast<int>(v.size()) + 1, Index + 1), S.substr(v.size()));
  return v;
}

void TCustomSrcEdit::NoteTrimmed(const TBufferCoord& At, const AnsiString& Text) {
  if (!fUndoList->IsLocked()) fTrimmed.push_back(TTrimmedTail{At, Text});
}

// What trimming took goes onto the undo list right after the record of the change that left
// the blanks (the next record pushed, or at the end of the edit when it pushes none after the
// store), under the same change number, one deletion record per piece: undo first gives the
// taken blanks back, then undoes the change on the text exactly as the change left it; redo
// deletes them again after the change. So an edit that stores a line pushes its records
// before the store, or exactly one record describing the store after it; and every edit
// (a command, a replaced selection, a paste, a drop) flushes what is left when it ends, not
// when the paint lock ends: a caller may hold that lock around many edits.
void TCustomSrcEdit::FlushTrimmed() {
  // A locked list would drop the records: they wait for the list to take them.
  if (fTrimmed.empty() || fFlushingTrimmed || fUndoList->IsLocked()) return;
  std::vector<TTrimmedTail> pieces;
  pieces.swap(fTrimmed);
  // A group break pushed since (a caret move) stays on top, above the change it follows.
  std::unique_ptr<TSrcEditUndoItem> groupBreak;
  if (fUndoList->PeekItem() && fUndoList->PeekItem()->fChangeReason == rcGroupBreak)
    groupBreak.reset(fUndoList->PopItem());
  TSrcEditUndoItem* top = fUndoList->PeekItem();
  if (top) {
    fFlushingTrimmed = true;
    uint32_t saved = fUndoList->BlockChangeNumber();
    fUndoList->SetBlockChangeNumber(top->fChangeNumber);
    try {
      for (const TTrimmedTail& t : pieces)
        fUndoList->AddChange(rcDeleteAfterCaret, t.At,
                             BufferCoord(t.At.Char + static_cast<int>(t.Text.size()), t.At.Line), t.Text, smNormal);
    } catch (...) {
      fUndoList->SetBlockChangeNumber(saved);
      fFlushingTrimmed = false;
      if (groupBreak) fUndoList->PushItem(groupBreak.release());
      throw;
    }
    fUndoList->SetBlockChangeNumber(saved);
    fFlushingTrimmed = false;
  }
  if (groupBreak) fUndoList->PushItem(groupBreak.release());
}

void TCustomSrcEdit::DeleteSelectionText(bool Trim) {
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  switch (fSelectionMode) {
    case smNormal: {
      if (fLines->Count() == 0) break;
      e.Line = std::min(e.Line, fLines->Count());
      if (b.Line == e.Line && b.Char >= 1 && b.Char <= e.Char) {
        // Within one line, where trimming would take nothing: the line is shortened where it
        // is stored, without a copy.
        std::string_view s = fLines->Line(b.Line - 1);
        int len = static_cast<int>(s.size());
        int from = b.Char - 1, to = std::min(e.Char - 1, len);
        char last = to < len ? s.back() : from > 0 && from <= len ? s[static_cast<size_t>(from - 1)] : 0;
        if (from <= len && !(Trim && fOptions.Contains(eoScrollPastEol) && TrimsOnStore() &&
                             (last == ' ' || last == '\t'))) {
          if (to > from) fLines->DeleteText(b.Line - 1, static_cast<size_t>(from), static_cast<size_t>(to - from));
          InternalSetCaretXY(b);
          break;
        }
      }
      AnsiString first = fLines->Get(b.Line - 1);
      AnsiString last = fLines->Get(e.Line - 1);
      AnsiString left = first.substr(0, static_cast<size_t>(std::min(b.Char - 1, static_cast<int>(first.size()))));
      if (static_cast<int>(left.size()) < b.Char - 1) left.append(static_cast<size_t>(b.Char - 1) - left.size(), ' ');
      AnsiString right = e.Char - 1 < static_cast<int>(last.size()) ? last.substr(static_cast<size_t>(e.Char - 1)) : AnsiString();
      AnsiString merged = left + right;
      if (e.Line > b.Line) fLines->DeleteLines(b.Line, e.Line - b.Line);
      if (Trim && fOptions.Contains(eoScrollPastEol)) merged = TrimForStore(b.Line - 1, merged);
      if (fLines->Line(b.Line - 1) != merged) fLines->Put(b.Line - 1, merged);
      InternalSetCaretXY(b);
      if (e.Line > b.Line) DoLinesDeleted(b.Line, e.Line - b.Line);
      break;
    }
    case smLine: {
      if (fLines->Count() == 0) break;
      e.Line = std::min(e.Line, fLines->Count());
      int deleted = e.Line - b.Line + 1;
      if (e.Line == fLines->Count()) {
        fLines->Put(e.Line - 1, AnsiString());
        for (int l = e.Line - 1; l >= b.Line; --l) fLines->Delete(l - 1);
      } else {
        for (int l = e.Line; l >= b.Line; --l) fLines->Delete(l - 1);
      }
      InternalSetCaretXY(BufferCoord(1, b.Line));
      DoLinesDeleted(b.Line, deleted);
      break;
    }
    case smColumn: {
      int c1 = std::min(b.Char, e.Char), c2 = std::max(b.Char, e.Char);
      for (int l = b.Line; l <= std::min(e.Line, fLines->Count()); ++l) {
        AnsiString s = fLines->Get(l - 1);
        int len = static_cast<int>(s.size());
        int a = c1, z = c2;
        if (a >= 2 && a - 2 < len && IsLeadByte(s[static_cast<size_t>(a - 2)])) ++a;
        if (z >= 2 && z - 2 < len && IsLeadByte(s[static_cast<size_t>(z - 2)])) ++z;
        if (a - 1 >= len) continue;
        s.erase(static_cast<size_t>(a - 1), static_cast<size_t>(std::min(z, len + 1) - a));
        if (Trim)
          StoreLineTrimmed(l - 1, s);
        else if (fLines->Line(l - 1) != s)
          fLines->Put(l - 1, s);
      }
      InternalSetCaretXY(BufferCoord(c1, fBlockEnd.Line));
      break;
    }
  }
}

int TCustomSrcEdit::InsertTextNormal(const AnsiString& Value) {
  std::vector<AnsiString> pieces = SplitLines(Value);
  while (fCaretY > fLines->Count()) fLines->Add(AnsiString());
  bool trim = TrimsOnStore();
  if (pieces.size() == 1 && fCaretX >= 1) {
    // One piece within the line, where trimming would take nothing: it goes into the stored
    // line without the line being copied.
    std::string_view cur = fLines->Line(fCaretY - 1);
    const AnsiString& piece = pieces[0];
    int at = fCaretX - 1, len = static_cast<int>(cur.size());
    char last = at < len ? cur.back() : !piece.empty() ? piece.back() : at > 0 && at <= len ? cur[static_cast<size_t>(at - 1)] : 0;
    if (at <= len && !(trim && (last == ' ' || last == '\t'))) {
      if (!piece.empty()) fLines->InsertText(fCaretY - 1, static_cast<size_t>(at), piece);
      fCaretX += static_cast<int>(piece.size());
      StatusChanged(scCaretX);
      return 0;
    }
  }
  AnsiString line = fLines->Get(fCaretY - 1);
  int lenBefore = std::min(fCaretX - 1, static_cast<int>(line.size()));
  AnsiString left = line.substr(0, static_cast<size_t>(lenBefore));
  if (static_cast<int>(left.size()) < fCaretX - 1) left.append(static_cast<size_t>(fCaretX - 1) - left.size(), ' ');
  AnsiString right = line.substr(static_cast<size_t>(lenBefore));
  int added = static_cast<int>(pieces.size()) - 1;
  AnsiString lastUntrimmed;
  if (added == 0) {
    lastUntrimmed = left + pieces[0];
    StoreLineTrimmed(fCaretY - 1, lastUntrimmed + right);
  } else {
    StoreLineTrimmed(fCaretY - 1, left + pieces[0]);
    fLines->InsertLines(fCaretY, added);
    for (int i = 1; i <= added; ++i) {
      ++fCaretY;
      StatusChanged(scCaretY);
      AnsiString s = pieces[static_cast<size_t>(i)];
      if (i == added) {
        lastUntrimmed = s;
        s += right;
      }
      StoreLineTrimmed(fCaretY - 1, s);
    }
  }
  int storedLen = static_cast<int>(fLines->Line(fCaretY - 1).size());
  if (trim && !TrimTrailingSpaces(right).empty())
    fCaretX = storedLen - static_cast<int>(TrimTrailingSpaces(right).size()) + 1;
  else if (trim)
    // After the inserted text as typed, trailing blanks included, so that typing goes on
    // where it stopped; counted in characters, as the caret is.
    fCaretX = static_cast<int>(lastUntrimmed.size()) + 1;
  else
    fCaretX = storedLen - static_cast<int>(right.size()) + 1;
  StatusChanged(scCaretX);
  return added;
}

int TCustomSrcEdit::InsertTextLine(const AnsiString& Value) {
  std::vector<AnsiString> pieces = SplitLines(Value);
  // An empty text holds one empty line: the lines go in before it, so that the caret after
  // them stands on a line that exists.
  if (fLines->Count() == 0) fLines->Add(AnsiString());
  fCaretX = 1;
  int complete = static_cast<int>(pieces.size()) - 1;
  bool trim = TrimsOnStore();
  for (int i = 0; i < complete; ++i) {
    const AnsiString& p = pieces[static_cast<size_t>(i)];
    AnsiString v = trim ? TrimTrailingSpaces(p) : p;
    if (fCaretY > fLines->Count())
      fLines->Add(v);
    else
      fLines->Insert(fCaretY - 1, v);
    ++fCaretY;
  }
  const AnsiString& tail = pieces.back();
  if (fCaretY > fLines->Count()) {
    if (!tail.empty() || fLines->Count() == 0) fLines->Add(trim ? TrimTrailingSpaces(tail) : tail);
  } else if (!tail.empty()) {
    StoreLineTrimmed(fCaretY - 1, tail + fLines->Get(fCaretY - 1));
  }
  fCaretX = static_cast<int>(tail.size()) + 1;
  StatusChanged(scCaretX | scCaretY);
  return complete;
}

int TCustomSrcEdit::InsertTextColumn(const AnsiString& Value, bool AddToUndo) {
  int col = fCaretX;
  int added = 0;
  size_t i = 0, n = Value.size();
  AnsiString piece;
  auto flush = [&]() {
    if (piece.empty()) return;
    while (fCaretY > fLines->Count()) {
      // A new last line (one for each piece that lies further down), recorded as the line
      // break inserted at the end of the text: redone, it gives back an empty line (a
      // line-break command would indent it), which the padding and the piece then fill as
      // on any existing line.
      TBufferCoord prevEnd{1, fLines->Count()};
      if (fLines->Count() > 0) prevEnd.Char = static_cast<int>(fLines->Line(fLines->Count() - 1).size()) + 1;
      fLines->Add(AnsiString());
      ++added;
      if (AddToUndo && fLines->Count() > 1)
        fUndoList->AddChange(rcInsert, prevEnd, BufferCoord(1, fLines->Count()), AnsiString(), smNormal);
    }
    {
      AnsiString s = fLines->Get(fCaretY - 1);
      int at = col;
      if (static_cast<int>(s.size()) < at - 1) {
        // The blanks that reach the column are recorded too, so that undo leaves the line
        // as it was.
        if (AddToUndo)
          fUndoList->AddChange(rcPadding, BufferCoord(col, fCaretY), BufferCoord(static_cast<int>(s.size()) + 1, fCaretY),
                               AnsiString(), smNormal);
        s.append(static_cast<size_t>(at - 1) - s.size(), ' ');
      }
      if (at >= 2 && at - 2 < static_cast<int>(s.size()) && IsLeadByte(s[static_cast<size_t>(at - 2)])) ++at;
      s.insert(static_cast<size_t>(at - 1), piece);
      StoreLineTrimmed(fCaretY - 1, s);
    }
    if (AddToUndo)
      fUndoList->AddChange(rcPaste, BufferCoord(col, fCaretY), BufferCoord(col + static_cast<int>(piece.size()), fCaretY),
                           AnsiString(), fSelectionMode == smLine ? smNormal : fSelectionMode);
  };
  AnsiString last;
  while (i <= n) {
    if (i == n || Value[i] == '\r' || Value[i] == '\n') {
      flush();
      last = piece;
      piece.clear();
      if (i == n) break;
      if (Value[i] == '\r' && i + 1 < n && Value[i + 1] == '\n') ++i;
      ++fCaretY;
      StatusChanged(scCaretY);
    } else {
      piece += Value[i];
    }
    ++i;
  }
  fCaretX = col + static_cast<int>(last.size());
  StatusChanged(scCaretX);
  return added;
}

void TCustomSrcEdit::CheckReplacementFits(TSrcSelectionMode Mode, const AnsiString& Value) const {
  constexpr int64_t kMax = TSrcEditStringList::kMaxLineLength;
  auto lineLength = [this](int64_t Line) -> int64_t {
    return Line >= 1 && Line <= fLines->Count() ? static_cast<int64_t>(fLines->Line(static_cast<int>(Line - 1)).size())
                                                : 0;
  };
  // The pieces of Value between its line breaks: the first, the last and the longest.
  int64_t first = -1, last = 0, widest = 0, breaks = 0;
  for (size_t i = 0, start = 0, n = Value.size(); i <= n; ++i) {
    if (i < n && Value[i] != '\r' && Value[i] != '\n') continue;
    auto piece = static_cast<int64_t>(i - start);
    if (first < 0) first = piece;
    last = piece;
    widest = std::max(widest, piece);
    if (i == n) break;
    ++breaks;
    if (Value[i] == '\r' && i + 1 < n && Value[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (int64_t(fLines->Count()) + breaks > TSrcEditStringList::kMaxLineCount) TSrcEditStringList::TooManyLines();
  // Where the text goes and what its line holds once the selection is gone: the characters
  // before the insertion point (padded out to it) and those after it.
  TBufferCoord at = CaretXY();
  int64_t after;
  if (SelAvail()) {
    TBufferCoord b = BlockBegin(), e = BlockEnd();
    at = b;
    if (fSelectionMode == smNormal) {
      after = std::max<int64_t>(lineLength(e.Line) - (e.Char - 1), 0);
    } else if (fSelectionMode == smLine) {
      at.Char = 1;
      after = e.Line < fLines->Count() ? lineLength(e.Line + 1) : 0;
    } else {
      at.Char = std::min(fBlockBegin.Char, fBlockEnd.Char);
      after = std::max<int64_t>(lineLength(at.Line) - (at.Char - 1), 0);
    }
  } else {
    after = std::max<int64_t>(lineLength(at.Line) - (at.Char - 1), 0);
  }
  int64_t before = at.Char - 1;
  int64_t longest;
  if (Mode == smNormal)
    longest = breaks == 0 ? before + widest + after : std::max({before + first, widest, last + after});
  else if (Mode == smLine)
    longest = std::max(widest, last + before + after);
  else {
    longest = 0;
    for (int64_t y = at.Line; y <= at.Line + breaks; ++y)
      longest = std::max(longest, std::max(lineLength(y), before) + widest);
  }
  // Deleting a selection first joins what is left of its first and last lines, which the text
  // may then break again: that line is stored too.
  const bool joins = SelAvail() && fSelectionMode == smNormal;
  if (joins) longest = std::max(longest, before + after);
  if (longest > kMax) TSrcEditStringList::LineTooLong(at.Line);
  // The widths of the lines the text makes, measured only when a line is long enough to be too
  // wide: the same parts as above, in their order.
  if (!fLines->MayBeTooWide(longest)) return;
  auto lineText = [this](int64_t Line) {
    return Line >= 1 && Line <= fLines->Count() ? fLines->Line(static_cast<int>(Line - 1)) : std::string_view();
  };
  auto from = [](std::string_view S, int64_t Char) { return S.substr(std::min(S.size(), static_cast<size_t>(std::max<int64_t>(Char - 1, 0)))); };
  std::vector<std::string_view> pieces;
  for (size_t i = 0, start = 0, n = Value.size(); i <= n; ++i) {
    if (i < n && Value[i] != '\r' && Value[i] != '\n') continue;
    pieces.push_back(std::string_view(Value).substr(start, i - start));
    if (i == n) break;
    if (Value[i] == '\r' && i + 1 < n && Value[i + 1] == '\n') ++i;
    start = i + 1;
  }
  // A part of a line: text followed by blanks.
  struct Part {
    std::string_view Text;
    int64_t Blanks = 0;
  };
  auto check = [this](int64_t Line, std::initializer_list<Part> Parts) {
    int64_t bytes = 0;
    for (const Part& p : Parts) bytes += static_cast<int64_t>(p.Text.size()) + p.Blanks;
    if (!fLines->MayBeTooWide(bytes)) return;
    int64_t col = 0;
    for (const Part& p : Parts) col = fLines->ColumnAfter(p.Text, col) + p.Blanks;
    if (col > kMax) TSrcEditStringList::LineTooLong(Line);
  };
  // The characters before the insertion point, brought out to it, and those after it.
  before = std::max<int64_t>(before, 0);
  std::string_view head = lineText(at.Line).substr(0, std::min(lineText(at.Line).size(), static_cast<size_t>(before)));
  Part lead{head, before - static_cast<int64_t>(head.size())};
  std::string_view tail;
  if (SelAvail() && fSelectionMode == smNormal)
    tail = from(lineText(BlockEnd().Line), BlockEnd().Char);
  else if (SelAvail() && fSelectionMode == smLine)
    tail = BlockEnd().Line < fLines->Count() ? lineText(BlockEnd().Line + 1) : std::string_view();
  else
    tail = from(lineText(at.Line), at.Char);
  const int64_t lastLine = at.Line + breaks;
  if (joins) check(at.Line, {lead, {tail}});
  if (Mode == smNormal) {
    if (breaks == 0) {
      check(at.Line, {lead, {pieces[0]}, {tail}});
    } else {
      check(at.Line, {lead, {pieces[0]}});
      for (size_t i = 1; i + 1 < pieces.size(); ++i) check(at.Line + static_cast<int64_t>(i), {{pieces[i]}});
      check(lastLine, {{pieces.back()}, {tail}});
    }
  } else if (Mode == smLine) {
    for (size_t i = 0; i + 1 < pieces.size(); ++i) check(at.Line + static_cast<int64_t>(i), {{pieces[i]}});
    check(lastLine, {{pieces.back()}, lead, {tail}});
  } else {
    // A column selection leaves its lines first: what followed it stays after the piece.
    const bool column = SelAvail() && fSelectionMode == smColumn;
    const int64_t selEnd = std::max(fBlockBegin.Char, fBlockEnd.Char) - 1;
    for (size_t i = 0; i < pieces.size(); ++i) {
      const int64_t y = at.Line + static_cast<int64_t>(i);
      std::string_view s = lineText(y);
      std::string_view left = s.substr(0, std::min(s.size(), static_cast<size_t>(before)));
      std::string_view rest = s.substr(left.size());
      if (column && y <= BlockEnd().Line) rest = from(s, std::max<int64_t>(selEnd, before) + 1);
      check(y, {{left, before - static_cast<int64_t>(left.size())}, {pieces[i]}, {rest}});
    }
  }
}

void TCustomSrcEdit::CheckTypingFits(std::string_view Typed) const {
  std::string_view line = fCaretY >= 1 && fCaretY <= fLines->Count() ? fLines->Line(fCaretY - 1) : std::string_view();
  auto length = static_cast<int64_t>(line.size());
  auto n = static_cast<int64_t>(Typed.size());
  // Overwriting takes the characters under the caret: only what goes beyond the line end adds.
  int64_t after = fInserting ? std::max<int64_t>(length, fCaretX - 1) + n : std::max<int64_t>(length, fCaretX - 1 + n);
  if (after > TSrcEditStringList::kMaxLineLength)
    TSrcEditStringList::LineTooLong(std::max(fCaretY, 1));
  // Its width, measured only when the line is long enough to be too wide: the characters before
  // the caret brought out to it, the typed ones, and those that stay after them.
  if (!fLines->MayBeTooWide(after)) return;
  const size_t at = std::min(line.size(), static_cast<size_t>(std::max(fCaretX - 1, 0)));
  const size_t rest = fInserting ? at : std::min(line.size(), at + Typed.size());
  int64_t col = fLines->ColumnAfter(line.substr(0, at)) + (std::max(fCaretX - 1, 0) - static_cast<int64_t>(at));
  if (fLines->ColumnAfter(line.substr(rest), fLines->ColumnAfter(Typed, col)) > TSrcEditStringList::kMaxLineLength)
    TSrcEditStringList::LineTooLong(std::max(fCaretY, 1));
}

void TCustomSrcEdit::CheckJoinFits(int64_t Line, std::string_view Left, int64_t Blanks, std::string_view Right) const {
  constexpr int64_t kMax = TSrcEditStringList::kMaxLineLength;
  const int64_t bytes = static_cast<int64_t>(Left.size() + Right.size()) + Blanks;
  if (bytes > kMax || (fLines->MayBeTooWide(bytes) && fLines->ColumnAfter(Right, fLines->ColumnAfter(Left) + Blanks) > kMax))
    TSrcEditStringList::LineTooLong(std::max<int64_t>(Line, 1));
}

void TCustomSrcEdit::ReplaceSelection(TSrcSelectionMode Mode, const AnsiString& Value, bool AddToUndo) {
  CheckReplacementFits(Mode, Value);
  PaintLockScope lock(this);
  fLines->BeginUpdate();
  try {
    if (SelAvail()) {
      TBufferCoord b = BlockBegin();
      // A column block starts at its smaller character index, whichever end holds it.
      if (fSelectionMode == smColumn) b.Char = std::min(fBlockBegin.Char, fBlockEnd.Char);
      // Whole lines go: what takes their place starts the line that follows them.
      if (fSelectionMode == smLine) b.Char = 1;
      // Text that takes the selection's place goes in front of what the deletion leaves, so
      // each line is trimmed once, after the insertion: trimming between the two would take
      // the tabs and blanks before the selection and pad the gap back with blanks.
      DeleteSelectionText(Value.empty());
      InternalSetCaretXY(b);
    }
    if (!Value.empty()) {
      int startLine = fCaretY;
      int startX = fCaretX;
      bool atStart = fCaretX == 1;
      int added = 0;
      fCaretY = std::max(fCaretY, 1);
      // Blanks that bring the line out to a caret beyond its end are recorded, so that undo
      // takes them back with the text.
      if (Mode == smNormal && AddToUndo) RecordPaddingTo(CaretXY());
      switch (Mode) {
        case smNormal: added = InsertTextNormal(Value); break;
        case smLine: added = InsertTextLine(Value); break;
        case smColumn: added = InsertTextColumn(Value, AddToUndo); break;
      }
      if (added > 0) DoLinesInserted(Mode == smNormal && !atStart ? startLine + 1 : startLine, added);
      // The insertion moved the caret fields directly; placing it through the setter from
      // where it started scrolls the view to it and schedules the caret and scroll bars.
      TBufferCoord target = CaretXY();
      fCaretX = startX;
      fCaretY = startLine;
      InternalSetCaretXY(target);
    }
    if (fCaretY < 1) fCaretY = 1;
  } catch (...) {
    fLines->EndUpdate();
    throw;
  }
  fLines->EndUpdate();
  // The block always ends collapsed on the caret, with a window or without one.
  fBlockBegin = fBlockEnd = CaretXY();
}

void TCustomSrcEdit::SetSelText(const AnsiString& Value) {
  CheckReplacementFits(fSelectionMode, Value);
  PaintLockScope lock(this);
  // What trimming took in an earlier edit goes on record before this one's records, and what
  // it takes here right after them: with a paint lock held around several edits (replace-all)
  // the lock's end comes too late for either.
  FlushTrimmed();
  BeginUndoBlock();
  try {
    TBufferCoord startOfBlock = BlockBegin();
    if (SelAvail()) fUndoList->AddChange(rcDelete, fBlockBegin, fBlockEnd, UndoText(), fSelectionMode);
    TBufferCoord b = BlockBegin(), e = BlockEnd();
    fBlockBegin = b;
    fBlockEnd = e;
    ReplaceSelection(fSelectionMode, Value, true);
    if (fSelectionMode == smLine && !Value.empty()) {
      // Whole lines went in before the caret line and a last piece in front of its text:
      // recorded as the plain range they fill, so that undo takes out exactly that.
      startOfBlock.Char = 1;
      fUndoList->AddChange(rcInsert, startOfBlock, BlockEnd(), SelText(), smNormal);
    } else if (fSelectionMode != smColumn && !Value.empty()) {
      fUndoList->AddChange(rcInsert, startOfBlock, BlockEnd(), SelText(), fSelectionMode);
    }
    FlushTrimmed();
  } catch (...) {
    EndUndoBlock();
    throw;
  }
  EndUndoBlock();
}

void TCustomSrcEdit::ClearSelection() {
  if (SelAvail()) SetSelText(AnsiString());
}

void TCustomSrcEdit::InsertBlock(const TBufferCoord& ABlockBegin, const TBufferCoord& ABlockEnd,
                                 const AnsiString& Value, bool AddToUndo) {
  PaintLockScope lock(this);
  PlaceCaretAndSelection(ABlockBegin, ABlockBegin, ABlockEnd);
  fSelectionMode = smColumn;
  ReplaceSelection(smColumn, Value, AddToUndo);
  StatusChanged(scSelection);
}

void TCustomSrcEdit::ClearAll() {
  PaintLockScope lock(this);
  fLines->Clear();
  for (int i = fMarkList->Count() - 1; i >= 0; --i) {
    TSrcEditMark* m = fMarkList->Items(i);
    fMarkList->Remove(m);
    delete m;
  }
  ClearUndo();
  SetModified(false);
}

// ---------------------------------------------------------------------------- clipboard

void TCustomSrcEdit::SetClipboardText(const AnsiString& Text) {
  if (Text.empty()) return;
  TClipboard* cb = Clipboard();
  cb->Open();
  try {
    cb->Clear();
    cb->SetAsText(Text);
    std::string block;
    block.reserve(Text.size() + 2);
    block += static_cast<char>(fSelectionMode);
    block += Text;
    block += '\0';
    cb->SetBuffer(SrcEditClipboardFormat(), block);
  } catch (...) {
    cb->Close();
    throw ESrcEditError("Clipboard copy operation failed");
  }
  cb->Close();
}

void TCustomSrcEdit::OfferSelection() {
  if (SelAvail()) OfferPrimarySelection(this, [this] { return SelText(); });
  else WithdrawPrimarySelection(this);
}

void TCustomSrcEdit::CopyToClipboard() {
  if (!SelAvail()) return;
  bool switchTrim = fSelectionMode == smColumn && fOptions.Contains(eoTrimTrailingSpaces);
  if (switchTrim) fOptions.Exclude(eoTrimTrailingSpaces);
  AnsiString text;
  try {
    text = SelText();
  } catch (...) {
    if (switchTrim) fOptions.Include(eoTrimTrailingSpaces);
    throw;
  }
  if (switchTrim) fOptions.Include(eoTrimTrailingSpaces);
  SetClipboardText(text);
}

void TCustomSrcEdit::CutToClipboard() {
  if (ReadOnly() || !SelAvail()) return;
  SetClipboardText(SelText());
  // The deletion is recorded as one block with the selection's raw ends and its text.
  SetSelText(AnsiString());
}

bool TCustomSrcEdit::CanPaste() const {
  if (ReadOnly()) return false;
  TClipboard* cb = Clipboard();
  return cb->HasFormat(CF_TEXT) || cb->HasFormat(SrcEditClipboardFormat());
}

void TCustomSrcEdit::PasteFromClipboard() {
  if (ReadOnly()) return;
  TClipboard* cb = Clipboard();
  Paste([&](bool& BracketPushed) {
    // A private block is a mode byte, the text and a NUL; one that is too short or has a mode
    // this editor does not know is left alone and the plain text is used instead.
    std::string block;
    if (cb->HasFormat(SrcEditClipboardFormat())) {
      block = cb->GetBuffer(SrcEditClipboardFormat());
      // Announced but not delivered: the block cannot be had.
      if (block.empty()) throw ESrcEditError("Clipboard paste operation failed.");
    }
    size_t nul = block.size() >= 2 ? block.find('\0', 1) : std::string::npos;
    bool blockValid = nul != std::string::npos && static_cast<unsigned char>(block[0]) <= smColumn && nul > 1;
    if (blockValid) {
      auto mode = static_cast<TSrcSelectionMode>(block[0]);
      AnsiString text = block.substr(1, nul - 1);
      TBufferCoord start = BeginPasteRecords(BracketPushed);
      ReplaceSelection(mode, text, true);
      if (mode == smNormal) {
        fUndoList->AddChange(rcPaste, start, BlockEnd(), SelText(), smNormal);
      } else if (mode == smLine) {
        if (fCaretX == 1)
          fUndoList->AddChange(rcPaste, BufferCoord(1, start.Line),
                               BufferCoord(std::max(fCharsInWindow, 2), BlockEnd().Line - 1), SelText(), smLine);
        else
          fUndoList->AddChange(rcPaste, BufferCoord(1, start.Line), BlockEnd(), SelText(), smNormal);
      }
    } else if (cb->HasFormat(CF_TEXT)) {
      PasteText(cb->AsText(), BracketPushed);
    }
  });
}

TBufferCoord TCustomSrcEdit::BeginPasteRecords(bool& BracketPushed) {
  fUndoList->AddChange(rcPasteBegin, BlockBegin(), BlockEnd(), AnsiString(), smNormal);
  BracketPushed = true;
  TBufferCoord start = CaretXY();
  if (SelAvail()) {
    fUndoList->AddChange(rcDelete, fBlockBegin, fBlockEnd, UndoText(), fSelectionMode);
    start = BlockBegin();
    TBufferCoord e = BlockEnd();
    fBlockBegin = start;
    fBlockEnd = e;
    if (fSelectionMode == smLine) start.Char = 1;
    if (fSelectionMode == smColumn) start.Char = std::min(fBlockBegin.Char, fBlockEnd.Char);
  }
  return start;
}

void TCustomSrcEdit::PasteText(const AnsiString& Text, bool& BracketPushed) {
  if (Text.empty()) return;
  TBufferCoord start = BeginPasteRecords(BracketPushed);
  ReplaceSelection(fSelectionMode, Text, true);
  if (fSelectionMode == smLine)
    fUndoList->AddChange(rcPaste, BufferCoord(1, start.Line), BlockEnd(), SelText(), smNormal);
  else if (fSelectionMode != smColumn)
    fUndoList->AddChange(rcPaste, start, BlockEnd(), SelText(), fSelectionMode);
}

void TCustomSrcEdit::Paste(const std::function<void(bool& BracketPushed)>& Insert) {
  DoOnPaintTransient(ttBefore);
  // One paint lock over the whole paste, so that what trimming takes is recorded after all of
  // the paste's own records.
  PaintLockScope lock(this);
  FlushTrimmed();
  BeginUndoBlock();
  bool bracketPushed = false;
  try {
    Insert(bracketPushed);
  } catch (...) {
    if (bracketPushed) fUndoList->AddChange(rcPasteEnd, BlockBegin(), BlockEnd(), AnsiString(), smNormal);
    EndUndoBlock();
    throw;
  }
  // What trimming took belongs inside the bracket, with the rest of the paste.
  FlushTrimmed();
  if (bracketPushed) fUndoList->AddChange(rcPasteEnd, BlockBegin(), BlockEnd(), AnsiString(), smNormal);
  EndUndoBlock();
  if (fOptions.Contains(eoHideShowScrollbars)) {
    int saved = fPaintLock;
    fPaintLock = 0;
    UpdateScrollBars();
    fPaintLock = saved;
  }
  EnsureCursorPosVisible();
  StatusChanged(scSelection);
  DoOnPaintTransient(ttAfter);
}

void TCustomSrcEdit::PastePrimarySelectionAt(int X, int Y) {
  TClipboard* primary = PrimarySelection();
  // The text is taken before anything moves: it may be this editor's own selection, which
  // the click is about to collapse.
  AnsiString text = primary->HasFormat(CF_TEXT) ? primary->AsText() : AnsiString();
  ComputeCaret(X, Y);
  SetBlockBegin(CaretXY());
  Paste([&](bool& BracketPushed) { PasteText(text, BracketPushed); });
}

// ---------------------------------------------------------------------------- undo and redo

void TCustomSrcEdit::BreakUndoGroup() {
  if (fOptions.Contains(eoGroupUndo)) fUndoList->AddGroupBreak();
}

void TCustomSrcEdit::BeginUndoBlock() {
  if (fUndoList->BlockCount() == 0 && fCommandDepth == 0) BreakUndoGroup();
  fUndoList->BeginBlock();
}

void TCustomSrcEdit::EndUndoBlock() {
  fUndoList->EndBlock();
  if (fUndoList->BlockCount() == 0 && fCommandDepth == 0) {
    BreakUndoGroup();
    fTypingCaret = CaretXY();
  }
}

// Moves a group break from the top of one list onto the other, under its own change number.
void TCustomSrcEdit::MoveGroupBreak(TSrcEditUndoList* From, TSrcEditUndoList* To) {
  TSrcEditUndoItem* top = From->PeekItem();
  if (!top || top->fChangeReason != rcGroupBreak) return;
  uint32_t saved = To->BlockChangeNumber();
  To->SetBlockChangeNumber(top->fChangeNumber);
  try {
    To->PushItem(From->PopItem());
  } catch (...) {
    To->SetBlockChangeNumber(saved);
    throw;
  }
  To->SetBlockChangeNumber(saved);
}

// One step back (undo) or forward (redo): the top record of From with every record of the
// same change number, a whole paste bracket, or with eoGroupUndo the following records of
// the same reason, each change among them whole. What the steps record lands on To under the first record's number.
void TCustomSrcEdit::WalkChange(TSrcEditUndoList* From, TSrcEditUndoList* To, bool Undoing) {
  TSrcEditUndoItem* top = From->PeekItem();
  if (!top) return;
  TSrcChangeReason first = top->fChangeReason;
  uint32_t number = top->fChangeNumber;
  bool bracket = Undoing ? IsBracketEnd(first) : IsBracketBegin(first);
  auto matching = static_cast<TSrcChangeReason>(Undoing ? first - 1 : first + 1);
  bool group = fOptions.Contains(eoGroupUndo);
  auto step = [&]() { Undoing ? UndoItem() : RedoItem(); };
  uint32_t saved = To->BlockChangeNumber();
  To->SetBlockChangeNumber(number);
  try {
    for (;;) {
      TSrcChangeReason last = From->PeekItem()->fChangeReason;
      const uint32_t lastNumber = From->PeekItem()->fChangeNumber;
      step();
      top = From->PeekItem();
      if (!top) break;
      if (bracket) {
        if (top->fChangeReason == matching) break;
        continue;
      }
      // A change entered by grouping is taken back whole: its other records follow.
      bool more = top->fChangeNumber == number || top->fChangeNumber == lastNumber ||
                  (group && top->fChangeReason == last && last != rcIndent && last != rcUnindent);
      if (!more) break;
    }
    if (bracket && top && top->fChangeReason == matching) step();
  } catch (...) {
    To->SetBlockChangeNumber(saved);
    throw;
  }
  To->SetBlockChangeNumber(saved);
}

void TCustomSrcEdit::Undo() {
  if (ReadOnly()) return;
  // Every record taken back is painted and reported once, at the end, whoever calls.
  PaintLockScope lock(this);
  FlushTrimmed();
  MoveGroupBreak(fUndoList.get(), fRedoList.get());
  WalkChange(fUndoList.get(), fRedoList.get(), true);
  KeepCaretInLine();
  UpdateModifiedStatus();
}

// The steps of an undo or redo may leave the caret beyond a line end; without eoScrollPastEol
// it goes back to the end of its line.
void TCustomSrcEdit::KeepCaretInLine() {
  if (fOptions.Contains(eoScrollPastEol) || fLines->Count() == 0 || fCaretY > fLines->Count()) return;
  int end = static_cast<int>(fLines->Line(fCaretY - 1).size()) + 1;
  if (fCaretX <= end) return;
  bool collapsed = fBlockBegin == fBlockEnd;
  InternalSetCaretX(end);
  if (collapsed) fBlockBegin = fBlockEnd = CaretXY();
}

void TCustomSrcEdit::Redo() {
  if (ReadOnly()) return;
  PaintLockScope lock(this);
  FlushTrimmed();
  if (!fRedoList->PeekItem()) return;
  WalkChange(fRedoList.get(), fUndoList.get(), false);
  // A group break left on top goes back with the change before it; pushing it onto the undo
  // list while a redo runs keeps the redo list.
  IncludeState(sfRedoRunning);
  try {
    MoveGroupBreak(fRedoList.get(), fUndoList.get());
  } catch (...) {
    ExcludeState(sfRedoRunning);
    throw;
  }
  ExcludeState(sfRedoRunning);
  KeepCaretInLine();
  UpdateModifiedStatus();
}

namespace {
// Restores the selection mode and the past-end option of the editor around one undo step.
// Taking a change back also keeps trimming off: the text before the change is brought back as
// it was, blanks at line ends included; redoing replays the change as it was made, trimming
// included.
struct UndoStepScope {
  UndoStepScope(TSrcSelectionMode& mode, TSrcEditorOptions& options, TSrcSelectionMode recordMode)
      : mode_(mode), options_(options), savedMode_(mode), forced_(!options.Contains(eoScrollPastEol)),
        untrimmed_(options.Contains(eoTrimTrailingSpaces)) {
    mode_ = recordMode;
    if (forced_) options_.Include(eoScrollPastEol);
    if (untrimmed_) options_.Exclude(eoTrimTrailingSpaces);
  }
  ~UndoStepScope() {
    mode_ = savedMode_;
    if (forced_) options_.Exclude(eoScrollPastEol);
    if (untrimmed_) options_.Include(eoTrimTrailingSpaces);
  }
  TSrcSelectionMode& mode_;
  TSrcEditorOptions& options_;
  TSrcSelectionMode savedMode_;
  bool forced_, untrimmed_;
};
}  // namespace

// A change that began beyond the end of its line had brought the line out with blanks first;
// trimming may have taken them again since. Undo and redo bring them back before they select
// from there, so that the text to the right keeps its place.
void TCustomSrcEdit::PadLineTo(const TBufferCoord& P) {
  if (P.Line < 1 || P.Line > fLines->Count()) return;
  if (static_cast<int>(fLines->Line(P.Line - 1).size()) >= P.Char - 1) return;
  AnsiString s = fLines->Get(P.Line - 1);
  s.append(static_cast<size_t>(P.Char - 1) - s.size(), ' ');
  fLines->Put(P.Line - 1, s);
}

void TCustomSrcEdit::RecordPaddingTo(const TBufferCoord& P) {
  // An empty text gets its line first, so that the padding is recorded with it.
  if (fLines->Count() == 0) fLines->Add(AnsiString());
  if (P.Line < 1 || P.Line > fLines->Count()) return;
  int len = static_cast<int>(fLines->Line(P.Line - 1).size());
  if (P.Char > len + 1) fUndoList->AddChange(rcPadding, P, BufferCoord(len + 1, P.Line), AnsiString(), smNormal);
}

void TCustomSrcEdit::UndoItem() {
  std::unique_ptr<TSrcEditUndoItem> item(fUndoList->PopItem());
  if (!item) return;
  UndoStepScope scope(fSelectionMode, fOptions, item->fChangeSelMode);
  PaintLockScope lock(this);
  const TBufferCoord start = item->fChangeStartPos, end = item->fChangeEndPos;
  const TSrcSelectionMode mode = item->fChangeSelMode;
  const TSrcChangeReason reason = item->fChangeReason;
  switch (reason) {
    case rcInsert:
    case rcPaste:
    case rcDropInsert: {
      if (mode == smNormal) PadLineTo(MinPoint(start, end));
      PlaceCaretAndSelection(start, start, end);
      fRedoList->AddChange(reason, start, end, UndoText(), mode);
      ReplaceSelection(mode, item->fChangeStr, false);
      InternalSetCaretXY(start);
      fBlockBegin = fBlockEnd = CaretXY();
      break;
    }
    case rcDeleteBackward:
    case rcDelete:
    case rcDeleteBeforeCaret:
    case rcDeleteAfterCaret:
    case rcDeleteAll: {
      TBufferCoord at = mode == smColumn ? BufferCoord(std::min(start.Char, end.Char), std::min(start.Line, end.Line))
                                         : MinPoint(start, end);
      if ((reason == rcDeleteBackward || reason == rcDeleteAfterCaret) && at.Line > fLines->Count()) {
        InternalSetCaretXY(BufferCoord(1, fLines->Count()));
        fLines->Add(AnsiString());
      }
      InternalSetCaretXY(at);
      fBlockBegin = fBlockEnd = CaretXY();
      ReplaceSelection(mode, item->fChangeStr, false);
      if (reason == rcDeleteAfterCaret) {
        InternalSetCaretXY(start);
        fBlockBegin = fBlockEnd = CaretXY();
      } else if (reason == rcDeleteBeforeCaret) {
        InternalSetCaretXY(end);
        fBlockBegin = fBlockEnd = CaretXY();
      } else {
        PlaceCaretAndSelection(reason == rcDeleteBackward ? start : end, start, end);
      }
      fRedoList->AddChange(reason, start, end, AnsiString(), mode);
      if (reason == rcDeleteAll) {
        InternalSetCaretXY(BufferCoord(1, 1));
        fBlockEnd = BufferCoord(1, 1);
      }
      EnsureCursorPosVisible();
      break;
    }
    case rcLineBreak: {
      InternalSetCaretXY(start);
      fRedoList->AddChange(reason, start, end, AnsiString(), mode);
      if (fCaretY >= 1 && fCaretY <= fLines->Count()) {
        AnsiString line = fLines->Get(fCaretY - 1);
        // The left part lost its trailing blanks to trimming when the line was broken: they
        // come back in front of the joined text (nothing to join needs no blanks).
        if (static_cast<int>(line.size()) < fCaretX - 1 && !item->fChangeStr.empty())
          line.append(static_cast<size_t>(fCaretX - 1) - line.size(), ' ');
        line += item->fChangeStr;
        fLines->BeginUpdate();
        try {
          StoreLineTrimmed(fCaretY - 1, line);
          if (fCaretY < fLines->Count()) fLines->Delete(fCaretY);
        } catch (...) {
          fLines->EndUpdate();
          throw;
        }
        fLines->EndUpdate();
        DoLinesDeleted(fCaretY, 1);
      }
      fBlockBegin = fBlockEnd = CaretXY();
      break;
    }
    case rcIndent:
      fRedoList->AddChange(reason, start, end, item->fChangeStr, mode);
      PlaceCaretAndSelection(end, start, end);
      break;
    case rcUnindent: {
      fRedoList->AddChange(reason, start, end, item->fChangeStr, mode);
      int ch = mode == smColumn ? std::min(start.Char, end.Char) : 1;
      InsertBlock(BufferCoord(ch, start.Line), BufferCoord(ch, end.Line), item->fChangeStr, false);
      fSelectionMode = mode;
      PlaceCaretAndSelection(start, start, end);
      break;
    }
    case rcCaret:
      fRedoList->AddChange(reason, CaretXY(), CaretXY(), AnsiString(), mode);
      InternalSetCaretXY(start);
      break;
    case rcSelection:
      fRedoList->AddChange(reason, BlockBegin(), BlockEnd(), AnsiString(), mode);
      SetBlockBegin(start);
      SetBlockEnd(end);
      break;
    case rcExchangeText:
      // The text as it was comes back line for line, and the record takes the text it replaces,
      // for redo: exchanged, not copied. The whole text is selected, the caret at its end.
      fLines->ExchangeText(item->fChangeStr);
      fRedoList->AddChange(reason, start, end, std::move(item->fChangeStr), mode);
      PlaceCaretAndSelection(end, start, end);
      EnsureCursorPosVisible();
      break;
    case rcPadding: {
      // The padding goes without a record of its own: recording here would land on the undo
      // list while it is being undone and throw away the redo list.
      PlaceCaretAndSelection(start, start, end);
      fRedoList->AddChange(reason, start, end, SelText(), mode);
      ReplaceSelection(mode, item->fChangeStr, false);
      InternalSetCaretXY(start);
      fBlockBegin = fBlockEnd = CaretXY();
      break;
    }
    default:
      break;
  }
}

void TCustomSrcEdit::RedoItem() {
  std::unique_ptr<TSrcEditUndoItem> item(fRedoList->PopItem());
  if (!item) return;
  UndoStepScope scope(fSelectionMode, fOptions, item->fChangeSelMode);
  struct RedoFlag {
    TCustomSrcEdit* e;
    explicit RedoFlag(TCustomSrcEdit* ed) : e(ed) { e->IncludeState(sfRedoRunning); }
    ~RedoFlag() { e->ExcludeState(sfRedoRunning); }
  } flag(this);
  PaintLockScope lock(this);
  const TBufferCoord start = item->fChangeStartPos, end = item->fChangeEndPos;
  const TSrcSelectionMode mode = item->fChangeSelMode;
  const TSrcChangeReason reason = item->fChangeReason;
  switch (reason) {
    case rcInsert:
    case rcPaste:
    case rcDropInsert: {
      InternalSetCaretXY(start);
      fBlockBegin = fBlockEnd = CaretXY();
      ReplaceSelection(mode, item->fChangeStr, false);
      InternalSetCaretXY(end);
      fBlockBegin = fBlockEnd = CaretXY();
      fUndoList->AddChange(reason, start, end, SelText(), mode);
      if (reason == rcDropInsert) PlaceCaretAndSelection(CaretXY(), start, end);
      break;
    }
    case rcDeleteBackward:
    case rcDelete:
    case rcDeleteBeforeCaret:
    case rcDeleteAfterCaret: {
      if (mode == smNormal) PadLineTo(MinPoint(start, end));
      PlaceCaretAndSelection(start, start, end);
      fUndoList->AddChange(reason, start, end, UndoText(), mode);
      ReplaceSelection(mode, AnsiString(), false);
      // The caret stays where the deletion left it, at the earlier end, as after the
      // original change (the raw start of a backward selection lies after its end).
      if (mode != smColumn) InternalSetCaretXY(MinPoint(start, end));
      fBlockBegin = fBlockEnd = CaretXY();
      break;
    }
    case rcLineBreak:
      InternalSetCaretXY(start);
      fBlockBegin = fBlockEnd = CaretXY();
      CommandProcessor(ecLineBreak, 0, nullptr);
      break;
    case rcIndent:
      fUndoList->AddChange(reason, start, end, item->fChangeStr, mode);
      PlaceCaretAndSelection(end, start, end);
      break;
    case rcUnindent: {
      fUndoList->AddChange(reason, start, end, item->fChangeStr, mode);
      int ch = mode == smColumn ? std::min(start.Char, end.Char) : 1;
      std::vector<AnsiString> pieces = SplitLines(item->fChangeStr);
      int lastRemoved = 0;
      for (size_t i = 0; i < pieces.size(); ++i) {
        int l = start.Line + static_cast<int>(i);
        if (l > fLines->Count()) break;
        AnsiString s = fLines->Get(l - 1);
        if (ch - 1 < static_cast<int>(s.size())) s.erase(static_cast<size_t>(ch - 1), pieces[i].size());
        StoreLineTrimmed(l - 1, s);
        lastRemoved = static_cast<int>(pieces[i].size());
      }
      if (mode == smColumn)
        PlaceCaretAndSelection(start, start, end);
      else
        PlaceCaretAndSelection(BufferCoord(start.Char - fTabWidth, start.Line),
                               BufferCoord(start.Char - fTabWidth, start.Line),
                               BufferCoord(end.Char - lastRemoved, end.Line));
      break;
    }
    case rcCaret:
      fUndoList->AddChange(reason, CaretXY(), CaretXY(), AnsiString(), mode);
      InternalSetCaretXY(start);
      break;
    case rcSelection:
      fUndoList->AddChange(reason, BlockBegin(), BlockEnd(), AnsiString(), mode);
      SetBlockBegin(start);
      SetBlockEnd(end);
      break;
    case rcExchangeText:
      // Exchanged once more; the caret at the end of the text, nothing selected.
      fLines->ExchangeText(item->fChangeStr);
      fUndoList->AddChange(reason, start, end, std::move(item->fChangeStr), mode);
      InternalSetCaretXY(end);
      fBlockBegin = fBlockEnd = CaretXY();
      EnsureCursorPosVisible();
      break;
    case rcPadding: {
      fUndoList->AddChange(reason, start, end, AnsiString(), mode);
      TBufferCoord at = MinPoint(start, end);
      InternalSetCaretXY(at);
      fBlockBegin = fBlockEnd = CaretXY();
      ReplaceSelection(mode, item->fChangeStr, false);
      InternalSetCaretXY(start);
      fBlockBegin = fBlockEnd = CaretXY();
      break;
    }
    default:
      break;
  }
}

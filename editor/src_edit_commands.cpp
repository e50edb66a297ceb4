// The command processor and the executor of the control's own commands.
#include <algorithm>
#include <climits>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"

namespace {
struct PaintLockScope {
  explicit PaintLockScope(TCustomSrcEdit* e) : e_(e) { e_->BeginUpdate(); }
  ~PaintLockScope() { e_->EndUpdate(); }
  TCustomSrcEdit* e_;
};

int LeadingWhite(const AnsiString& S) {
  int i = 0;
  while (i < static_cast<int>(S.size()) && (S[static_cast<size_t>(i)] == ' ' || S[static_cast<size_t>(i)] == '\t')) ++i;
  return i;
}

// Display width of the leading blanks, tabs counting TabWidth.
int LeadingWidth(const AnsiString& S, int TabWidth) {
  int w = 0;
  for (char c : S) {
    if (c == ' ') ++w;
    else if (c == '\t') w += TabWidth;
    else break;
  }
  return w;
}
}  // namespace

void TCustomSrcEdit::CommandProcessor(TSrcEditorCommand Command, char AChar, void* Data) {
  DoOnProcessCommand(Command, AChar, Data);
  if (Command != ecNone) {
    NotifyHookedCommandHandlers(false, Command, AChar, Data);
    if (Command >= 1 && Command <= 1000) ExecuteCommand(Command, AChar, Data);
    if (Command != ecNone) NotifyHookedCommandHandlers(true, Command, AChar, Data);
  }
  DoOnCommandProcessed(Command, AChar, Data);
}

void TCustomSrcEdit::MoveCaretAndSelect(const TBufferCoord& ptBefore, const TBufferCoord& ptAfter,
                                        bool SelectionCommand) {
  PaintLockScope lock(this);
  if (SelectionCommand) {
    if (!SelAvail()) SetBlockBegin(ptBefore);
    InternalSetCaretXY(ptAfter);
    SetBlockEnd(CaretXY());
  } else {
    InternalSetCaretXY(ptAfter);
    SetBlockBegin(CaretXY());
  }
}

void TCustomSrcEdit::MoveCaretHorz(int DX, bool SelectionCommand) {
  TBufferCoord before = CaretXY();
  TBufferCoord p = before;
  int len = static_cast<int>(LineText().size());
  p.Char += DX;
  if (p.Char < 1) {
    if (p.Line > 1) {
      --p.Line;
      p.Char = static_cast<int>(fLines->Get(p.Line - 1).size()) + 1;
    } else {
      p.Char = 1;
    }
  } else if (!fOptions.Contains(eoScrollPastEol) && p.Char > len + 1) {
    if (p.Line < fLines->Count()) {
      ++p.Line;
      p.Char = 1;
    } else {
      p.Char = len + 1;
    }
  }
  MoveCaretAndSelect(before, p, SelectionCommand);
}

void TCustomSrcEdit::MoveCaretVert(int DY, bool SelectionCommand) {
  TBufferCoord before = CaretXY();
  TDisplayCoord d = DisplayXY();
  int col = fOptions.Contains(eoKeepCaretX) ? fKeptCaretX : d.Column;
  int row = std::clamp(d.Row + DY, 1, std::max(1, DisplayLineCount()));
  int kept = fKeptCaretX;
  MoveCaretAndSelect(before, DisplayToBufferPos(DisplayCoord(col, row)), SelectionCommand);
  if (fOptions.Contains(eoKeepCaretX)) fKeptCaretX = kept;
}

void TCustomSrcEdit::ExecuteCommand(TSrcEditorCommand Command, char AChar, void* Data) {
  PaintLockScope lock(this);
  bool sel = Command >= ecSelLeft && Command <= ecSelGotoXY;
  switch (Command) {
    case ecLeft: case ecSelLeft: MoveCaretHorz(-1, sel); break;
    case ecRight: case ecSelRight: MoveCaretHorz(1, sel); break;
    case ecUp: case ecSelUp: MoveCaretVert(-1, sel); break;
    case ecDown: case ecSelDown: MoveCaretVert(1, sel); break;
    case ecPageUp: case ecSelPageUp:
    case ecPageDown: case ecSelPageDown: {
      int delta = fLinesInWindow;
      if (fOptions.Contains(eoHalfPageScroll)) delta >>= 1;
      if (fOptions.Contains(eoScrollByOneLess)) --delta;
      delta = std::max(delta, 1);
      if (Command == ecPageUp || Command == ecSelPageUp) delta = -delta;
      SetTopLine(fTopLine + delta);
      MoveCaretVert(delta, sel);
      break;
    }
    case ecLineStart: case ecSelLineStart:
      MoveCaretAndSelect(CaretXY(), BufferCoord(1, fCaretY), sel);
      break;
    case ecLineEnd: case ecSelLineEnd:
      MoveCaretAndSelect(CaretXY(), BufferCoord(static_cast<int>(LineText().size()) + 1, fCaretY), sel);
      break;
    case ecEditorTop: case ecSelEditorTop:
      MoveCaretAndSelect(CaretXY(), BufferCoord(1, 1), sel);
      break;
    case ecEditorBottom: case ecSelEditorBottom: {
      TBufferCoord p{1, std::max(1, fLines->Count())};
      if (fLines->Count() > 0) p.Char = static_cast<int>(fLines->Get(fLines->Count() - 1).size()) + 1;
      MoveCaretAndSelect(CaretXY(), p, sel);
      break;
    }
    case ecGotoXY: case ecSelGotoXY:
      if (Data) MoveCaretAndSelect(CaretXY(), *static_cast<TBufferCoord*>(Data), sel);
      break;
    case ecSelectAll: SelectAll(); break;
    case ecCopy: CopyToClipboard(); break;
    case ecCut: if (SelAvail()) CutToClipboard(); break;
    case ecPaste: PasteFromClipboard(); break;
    case ecUndo: Undo(); break;
    case ecRedo: Redo(); break;
    case ecInsertMode: SetInsertMode(true); break;
    case ecOverwriteMode: SetInsertMode(false); break;
    case ecToggleMode: SetInsertMode(!fInserting); break;
    case ecNormalSelect: SetSelectionMode(smNormal); break;
    case ecColumnSelect: SetSelectionMode(smColumn); break;
    case ecLineSelect: SetSelectionMode(smLine); break;
    case ecMatchBracket: FindMatchingBracket(); break;
    case ecClearAll: if (!ReadOnly()) ClearAll(); break;
    case ecLineBreak: case ecInsertLine: if (!ReadOnly()) DoLineBreak(Command == ecLineBreak); break;
    case ecChar: if (!ReadOnly()) DoTypeChar(AChar); break;
    case ecDeleteLastChar: if (!ReadOnly()) DoDeleteLastChar(); break;
    case ecDeleteChar: if (!ReadOnly()) DoDeleteChar(); break;
    case ecContextHelp: if (OnContextHelp.Assigned()) OnContextHelp(this, WordAtCursor()); break;
    default: break;
  }
}

// A selection removed by one record of its own: forward when the anchor lies before the end.
void TCustomSrcEdit::DeleteSelectionRecorded() {
  TSrcChangeReason reason = MinPoint(fBlockBegin, fBlockEnd) == fBlockBegin ? rcDelete : rcDeleteBackward;
  fUndoList->AddChange(reason, fBlockBegin, fBlockEnd, UndoText(), fSelectionMode);
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  fBlockBegin = b;
  fBlockEnd = e;
  ReplaceSelection(fSelectionMode, AnsiString(), false);
}

void TCustomSrcEdit::DoLineBreak(bool MoveCaret) {
  // While a redo runs, the undo list already numbers what this records.
  bool ownBlock = !IsRedoRunning();
  if (ownBlock) BeginUndoBlock();
  try {
    if (SelAvail()) {
      fUndoList->AddChange(rcDelete, fBlockBegin, fBlockEnd, UndoText(), fSelectionMode);
      TBufferCoord b = BlockBegin(), e = BlockEnd();
      fBlockBegin = b;
      fBlockEnd = e;
      ReplaceSelection(fSelectionMode, AnsiString(), false);
    }
    if (fLines->Count() == 0) fLines->Add(AnsiString());
    TBufferCoord caret = CaretXY();
    AnsiString line = fLines->Get(fCaretY - 1);
    int len = static_cast<int>(line.size());
    bool autoIndent = fOptions.Contains(eoAutoIndent);
    fLines->BeginUpdate();
    try {
      if (line.empty()) {
        int indent = 0;
        if (autoIndent)
          for (int l = fCaretY - 1; l >= 1; --l) {
            const AnsiString& s = fLines->Record(l - 1).fString;
            if (!s.empty()) {
              indent = LeadingWidth(s, fTabWidth);
              break;
            }
          }
        fLines->Insert(fCaretY - 1, AnsiString());
        fUndoList->AddChange(rcLineBreak, caret, caret, AnsiString(), smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(indent + 1, fCaretY + 1));
      } else if (fCaretX > len) {
        int indent = 0;
        const AnsiString* src = nullptr;
        if (autoIndent)
          for (int l = fCaretY; l >= 1; --l) {
            const AnsiString& s = fLines->Record(l - 1).fString;
            if (!s.empty()) {
              indent = LeadingWhite(s);
              src = &s;
              break;
            }
          }
        AnsiString prefix = src ? src->substr(0, static_cast<size_t>(indent)) : AnsiString();
        fLines->Insert(fCaretY, MoveCaret ? prefix : AnsiString());
        fUndoList->AddChange(rcLineBreak, caret, caret, AnsiString(), smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(static_cast<int>(prefix.size()) + 1, fCaretY + 1));
      } else if (fCaretX == 1) {
        fLines->Insert(fCaretY - 1, AnsiString());
        fUndoList->AddChange(rcLineBreak, caret, caret, line, smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(1, fCaretY + 1));
      } else {
        AnsiString left = line.substr(0, static_cast<size_t>(fCaretX - 1));
        AnsiString right = line.substr(static_cast<size_t>(fCaretX - 1));
        AnsiString prefix;
        if (autoIndent) {
          int w = LeadingWidth(left, fTabWidth);
          if (fOptions.Contains(eoTabsToSpaces) || w < fTabWidth)
            prefix.assign(static_cast<size_t>(w), ' ');
          else
            prefix = AnsiString(static_cast<size_t>(w / fTabWidth), '\t') + AnsiString(static_cast<size_t>(w % fTabWidth), ' ');
        }
        StoreLineTrimmed(fCaretY - 1, left);
        fLines->Insert(fCaretY, prefix + right);
        fUndoList->AddChange(rcLineBreak, caret, caret, right, smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(static_cast<int>(prefix.size()) + 1, fCaretY + 1));
      }
    } catch (...) {
      fLines->EndUpdate();
      throw;
    }
    fLines->EndUpdate();
    DoLinesInserted(caret.Line + 1, 1);
    fBlockBegin = fBlockEnd = CaretXY();
    EnsureCursorPosVisible();
    fKeptCaretX = DisplayX();
  } catch (...) {
    if (ownBlock) EndUndoBlock();
    throw;
  }
  if (ownBlock) EndUndoBlock();
}

void TCustomSrcEdit::DoTypeChar(char AChar) {
  auto uc = static_cast<unsigned char>(AChar);
  if (uc < 32 || uc == 127) return;
  if (SelAvail()) {
    BeginUndoBlock();
    try {
      fUndoList->AddChange(rcDelete, fBlockBegin, fBlockEnd, UndoText(), fSelectionMode);
      TBufferCoord start = BlockBegin();
      if (fSelectionMode == smLine) start.Char = 1;
      TBufferCoord e = BlockEnd();
      fBlockBegin = BlockBegin();
      fBlockEnd = e;
      ReplaceSelection(fSelectionMode, AnsiString(1, AChar), true);
      if (fSelectionMode == smLine)
        fUndoList->AddChange(rcInsert, start, BlockEnd(), AnsiString(), smNormal);
      else if (fSelectionMode != smColumn)
        fUndoList->AddChange(rcInsert, start, BlockEnd(), AnsiString(), fSelectionMode);
    } catch (...) {
      EndUndoBlock();
      throw;
    }
    EndUndoBlock();
    return;
  }
  bool forcedPastEol = !fOptions.Contains(eoScrollPastEol);
  if (forcedPastEol) fOptions.Include(eoScrollPastEol);
  struct Restore {
    TSrcEditorOptions& o;
    bool f;
    ~Restore() {
      if (f) o.Exclude(eoScrollPastEol);
    }
  } restore{fOptions, forcedPastEol};
  if (fLines->Count() == 0) fLines->Add(AnsiString());
  if (!fWordWrapPlugin && !fOptions.Contains(eoAutoSizeMaxScrollWidth) && fInserting && fCaretX > fMaxScrollWidth)
    return;
  AnsiString line = fLines->Get(fCaretY - 1);
  int len = static_cast<int>(line.size());
  TBufferCoord oldCaret = CaretXY();
  int padding = 0;
  if (fCaretX > len + 1) {
    padding = fInserting ? fCaretX - len - 1 : fCaretX - len;
    line.append(static_cast<size_t>(padding), ' ');
  }
  if (fInserting) {
    line.insert(static_cast<size_t>(fCaretX - 1), 1, AChar);
    bool block = padding > 0;
    if (block) BeginUndoBlock();
    try {
      // The records go first: what trimming takes when the line is stored is recorded after
      // them.
      if (block)
        fUndoList->AddChange(rcPadding, oldCaret, BufferCoord(len + 1, oldCaret.Line), AnsiString(), smNormal);
      fUndoList->AddChange(rcInsert, oldCaret, BufferCoord(oldCaret.Char + 1, oldCaret.Line), AnsiString(), smNormal);
      StoreLineTrimmed(fCaretY - 1, line);
      InternalSetCaretX(fCaretX + 1);
    } catch (...) {
      if (block) EndUndoBlock();
      throw;
    }
    if (block) EndUndoBlock();
  } else {
    // With padding the typed character takes the place of the last padding blank, which
    // stands at the caret.
    int at = fCaretX;
    AnsiString replaced;
    if (padding > 0) {
      line[static_cast<size_t>(at - 1)] = AChar;
    } else if (at <= len) {
      replaced = line.substr(static_cast<size_t>(at - 1), 1);
      line[static_cast<size_t>(at - 1)] = AChar;
    } else {
      line += AChar;
    }
    bool block = padding > 0 || !replaced.empty();
    if (block) BeginUndoBlock();
    try {
      TBufferCoord from{at, fCaretY}, to{at + 1, fCaretY};
      if (padding > 0)
        fUndoList->AddChange(rcPadding, from, BufferCoord(len + 1, from.Line), AnsiString(), smNormal);
      // The overwritten character is recorded as deleted and the typed one as inserted: a
      // single insert record would be redone as an insertion that keeps the old character.
      if (!replaced.empty())
        fUndoList->AddChange(rcDeleteAfterCaret, from, to, replaced, smNormal);
      fUndoList->AddChange(rcInsert, from, to, AnsiString(), smNormal);
      StoreLineTrimmed(fCaretY - 1, line);
      InternalSetCaretXY(to);
    } catch (...) {
      if (block) EndUndoBlock();
      throw;
    }
    if (block) EndUndoBlock();
  }
  fBlockBegin = fBlockEnd = CaretXY();
  if (fCharsInWindow > 0 && DisplayX() >= fLeftChar + fCharsInWindow)
    SetLeftChar(fLeftChar + std::min(25, fCharsInWindow - 1));
}

void TCustomSrcEdit::DoDeleteLastChar() {
  if (SelAvail()) {
    DeleteSelectionRecorded();
    return;
  }
  if (fLines->Count() == 0) return;
  AnsiString line = LineText();
  int len = static_cast<int>(line.size());
  TBufferCoord oldCaret = CaretXY();
  AnsiString removed;
  if (fCaretX > len + 1) {
    int x;
    if (fOptions.Contains(eoSmartTabDelete)) {
      if (len == 0) {
        x = 1;
        if (fOptions.Contains(eoAutoIndent))
          for (int l = fCaretY - 1; l >= 1; --l) {
            int w = LeadingWhite(fLines->Record(l - 1).fString);
            if (w < fCaretX - 1) {
              x = w + 1;
              break;
            }
          }
      } else {
        x = len + 1;
      }
    } else {
      x = fCaretX - 1;
    }
    InternalSetCaretX(x);
  } else if (fCaretX == 1) {
    if (fCaretY == 1) return;
    AnsiString prev = fLines->Get(fCaretY - 2);
    // The joined line comes trimmed; what trimming takes is recorded where it stood in the
    // joined line.
    AnsiString cur = line;
    if (fOptions.Contains(eoTrimTrailingSpaces)) {
      cur = TrimTrailingSpaces(line);
      if (cur.size() < line.size())
        NoteTrimmed(BufferCoord(static_cast<int>(prev.size() + cur.size()) + 1, fCaretY - 1), line.substr(cur.size()));
    }
    fLines->BeginUpdate();
    try {
      fLines->Put(fCaretY - 2, prev + cur);
      fLines->Delete(fCaretY - 1);
    } catch (...) {
      fLines->EndUpdate();
      throw;
    }
    fLines->EndUpdate();
    DoLinesDeleted(fCaretY - 1, 1);
    InternalSetCaretXY(BufferCoord(static_cast<int>(prev.size()) + 1, fCaretY - 1));
    removed = "\r\n";
  } else {
    int lw = LeadingWhite(line);
    int n = 1;
    if (fCaretX - 1 == lw && lw > 0) {
      if (fOptions.Contains(eoSmartTabDelete)) {
        int target = 0;
        for (int l = fCaretY - 1; l >= 1; --l) {
          const AnsiString& s = fLines->Record(l - 1).fString;
          int w = LeadingWhite(s);
          if (w < lw && !s.empty()) {
            target = w;
            break;
          }
        }
        n = lw - target;
      } else {
        int col = DisplayX();
        int b = (col - 1) % fTabWidth;
        if (b == 0) b = fTabWidth;
        n = 0;
        while (n < b && n < lw) {
          ++n;
          if (line[static_cast<size_t>(fCaretX - 1 - n)] == '\t') break;
        }
      }
    }
    removed = line.substr(static_cast<size_t>(fCaretX - 1 - n), static_cast<size_t>(n));
    line.erase(static_cast<size_t>(fCaretX - 1 - n), static_cast<size_t>(n));
    int x = fCaretX - n;
    StoreLineTrimmed(fCaretY - 1, line);
    InternalSetCaretX(x);
  }
  if (!removed.empty())
    fUndoList->AddChange(rcDeleteBeforeCaret, CaretXY(), oldCaret, removed, smNormal);
  fBlockBegin = fBlockEnd = CaretXY();
  EnsureCursorPosVisible();
}

void TCustomSrcEdit::DoDeleteChar() {
  if (SelAvail()) {
    DeleteSelectionRecorded();
    return;
  }
  if (fLines->Count() == 0) return;
  AnsiString line = LineText();
  int len = static_cast<int>(line.size());
  if (fCaretX > len) {
    if (fCaretY >= fLines->Count()) return;
    BeginUndoBlock();
    struct EndBlock {
      TCustomSrcEdit* e;
      ~EndBlock() { e->EndUndoBlock(); }
    } endBlock{this};
    if (static_cast<int>(line.size()) < fCaretX - 1) {
      fUndoList->AddChange(rcPadding, CaretXY(), BufferCoord(len + 1, fCaretY), AnsiString(), smNormal);
      line.append(static_cast<size_t>(fCaretX - 1) - line.size(), ' ');
    }
    AnsiString next = fLines->Get(fCaretY);
    fLines->BeginUpdate();
    try {
      StoreLineTrimmed(fCaretY - 1, line + next);
      fLines->Delete(fCaretY);
    } catch (...) {
      fLines->EndUpdate();
      throw;
    }
    fLines->EndUpdate();
    DoLinesDeleted(fCaretY, 1);
    fUndoList->AddChange(rcDeleteAfterCaret, CaretXY(), BufferCoord(1, fCaretY + 1), "\r\n", smNormal);
  } else {
    AnsiString removed = line.substr(static_cast<size_t>(fCaretX - 1), 1);
    line.erase(static_cast<size_t>(fCaretX - 1), 1);
    StoreLineTrimmed(fCaretY - 1, line);
    fUndoList->AddChange(rcDeleteAfterCaret, CaretXY(), BufferCoord(fCaretX + 1, fCaretY), removed, smNormal);
  }
  fBlockBegin = fBlockEnd = CaretXY();
}

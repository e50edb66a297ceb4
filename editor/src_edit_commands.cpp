// The command processor and the executor of the control's own commands.
#include <algorithm>
#include <climits>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"
#include "editor/undo_block_scope.h"

void TCustomSrcEdit::CommandProcessor(TSrcEditorCommand Command, char AChar, void* Data) {
  DoOnProcessCommand(Command, AChar, Data);
  if (Command != ecNone) {
    NotifyHookedCommandHandlers(false, Command, AChar, Data);
    if (Command >= 1 && Command <= 1000) ExecuteCommand(Command, AChar, Data);
    if (Command != ecNone) NotifyHookedCommandHandlers(true, Command, AChar, Data);
  }
  DoOnCommandProcessed(Command, AChar, Data);
}

namespace {
// Commands that change the text: a read-only editor ignores them.
bool ChangesText(TSrcEditorCommand Command) {
  switch (Command) {
    case ecDeleteLastChar: case ecDeleteChar: case ecDeleteWord: case ecDeleteLastWord: case ecDeleteBOL:
    case ecDeleteEOL: case ecDeleteLine: case ecClearAll: case ecLineBreak: case ecInsertLine: case ecChar:
    case ecImeStr: case ecUndo: case ecRedo: case ecCut: case ecPaste: case ecBlockIndent: case ecBlockUnindent:
    case ecTab: case ecShiftTab: case ecUpperCase: case ecLowerCase: case ecToggleCase: case ecTitleCase:
    case ecUpperCaseBlock: case ecLowerCaseBlock: case ecToggleCaseBlock:
      return true;
    default:
      return false;
  }
}

int LineLength(TSrcEditStringList* Lines, int Line) {
  if (Line < 1 || Line > Lines->Count()) return 0;
  return static_cast<int>(Lines->Line(Line - 1).size());
}
}  // namespace

void TCustomSrcEdit::ExecuteCommand(TSrcEditorCommand Command, char AChar, void* Data) {
  const bool changes = ChangesText(Command);
  if (changes && ReadOnly()) return;
  // A typing run ends wherever the caret went since the last text command, whatever moved it.
  const bool edits = changes && Command != ecUndo && Command != ecRedo;
  // A command a redo replays, or one run inside another, continues the step it is part of.
  if (edits && fCommandDepth == 0 && !IsRedoRunning() && CaretXY() != fTypingCaret) BreakUndoGroup();
  struct Depth {
    int& d;
    explicit Depth(int& v) : d(v) { ++d; }
    ~Depth() { --d; }
  } depth(fCommandDepth);
  ExecuteCommandBody(Command, AChar, Data);
  // Read once the command's paint lock is gone: its end may still place the caret.
  if (changes) fTypingCaret = CaretXY();
}

void TCustomSrcEdit::ExecuteCommandBody(TSrcEditorCommand Command, char AChar, void* Data) {
  PaintLockScope lock(this);
  // What trimming takes is recorded with the command that took it, before the next command's
  // records, whatever paint lock the caller holds around several commands.
  FlushTrimmed();
  bool sel = Command >= ecSelLeft && Command <= ecSelGotoXY;
  switch (Command) {
    case ecLeft: case ecSelLeft: MoveCaretHorizontally(-1, sel); break;
    case ecRight: case ecSelRight: MoveCaretHorizontally(1, sel); break;
    case ecUp: case ecSelUp:
      MoveCaretVertically(-1, sel);
      if (HandleAllocated()) Update();
      break;
    case ecDown: case ecSelDown:
      MoveCaretVertically(1, sel);
      if (HandleAllocated()) Update();
      break;
    case ecWordLeft: case ecSelWordLeft: MoveCaretAndSelect(CaretXY(), PrevWordPos(), sel); break;
    case ecWordRight: case ecSelWordRight: MoveCaretAndSelect(CaretXY(), NextWordPos(), sel); break;
    case ecLineStart: case ecSelLineStart: MoveToLineHome(sel); break;
    case ecLineEnd: case ecSelLineEnd: DoLineEnd(sel); break;
    case ecPageUp: case ecSelPageUp: case ecPageDown: case ecSelPageDown:
    case ecPageTop: case ecSelPageTop: case ecPageBottom: case ecSelPageBottom:
      DoPageMove(static_cast<TSrcEditorCommand>(sel ? Command - 100 : Command), sel);
      break;
    case ecPageLeft: case ecSelPageLeft: MoveCaretHorizontally(-fCharsInWindow, sel); break;
    case ecPageRight: case ecSelPageRight: MoveCaretHorizontally(fCharsInWindow, sel); break;
    case ecEditorTop: case ecSelEditorTop: MoveCaretAndSelect(CaretXY(), BufferCoord(1, 1), sel); break;
    case ecEditorBottom: case ecSelEditorBottom: {
      int last = std::max(1, fLines->Count());
      MoveCaretAndSelect(CaretXY(), BufferCoord(LineLength(fLines.get(), last) + 1, last), sel);
      break;
    }
    case ecGotoXY: case ecSelGotoXY:
      if (Data) MoveCaretAndSelect(CaretXY(), *static_cast<const TBufferCoord*>(Data), sel);
      break;
    case ecSelectAll: SelectAll(); break;
    case ecCopy: CopyToClipboard(); break;
    case ecScrollUp: DoScrollVertically(-1); break;
    case ecScrollDown: DoScrollVertically(1); break;
    case ecScrollLeft:
      SetLeftChar(fLeftChar - 1);
      if (HandleAllocated()) Update();
      break;
    case ecScrollRight:
      SetLeftChar(fLeftChar + 1);
      if (HandleAllocated()) Update();
      break;
    case ecInsertMode: SetInsertMode(true); break;
    case ecOverwriteMode: SetInsertMode(false); break;
    case ecToggleMode: SetInsertMode(!fInserting); break;
    case ecNormalSelect: SetSelectionMode(smNormal); break;
    case ecColumnSelect: SetSelectionMode(smColumn); break;
    case ecLineSelect: SetSelectionMode(smLine); break;
    case ecMatchBracket: FindMatchingBracket(); break;
    case ecGotoMarker0: case ecGotoMarker1: case ecGotoMarker2: case ecGotoMarker3: case ecGotoMarker4:
    case ecGotoMarker5: case ecGotoMarker6: case ecGotoMarker7: case ecGotoMarker8: case ecGotoMarker9:
      if (fBookMarkOpt->EnableKeys()) JumpToBookmark(Command - ecGotoMarker0);
      break;
    case ecSetMarker0: case ecSetMarker1: case ecSetMarker2: case ecSetMarker3: case ecSetMarker4:
    case ecSetMarker5: case ecSetMarker6: case ecSetMarker7: case ecSetMarker8: case ecSetMarker9:
      if (fBookMarkOpt->EnableKeys()) DoSetMarker(Command - ecSetMarker0, Data);
      break;
    case ecContextHelp:
      if (OnContextHelp.Assigned()) OnContextHelp(this, WordAtCursor());
      break;
    case ecDeleteLastChar: DoDeleteLastChar(); break;
    case ecDeleteChar: DoDeleteChar(); break;
    case ecDeleteWord: case ecDeleteEOL: case ecDeleteLastWord: case ecDeleteBOL: DoDeleteRange(Command); break;
    case ecDeleteLine: DoDeleteLine(); break;
    case ecClearAll: ClearAll(); break;
    case ecLineBreak: case ecInsertLine: DoLineBreak(Command == ecLineBreak); break;
    case ecChar: DoTypeChar(AChar); break;
    case ecImeStr: DoImeStr(static_cast<const char*>(Data)); break;
    case ecUndo: Undo(); break;
    case ecRedo: Redo(); break;
    case ecCut: if (SelAvail()) CutToClipboard(); break;
    case ecPaste: PasteFromClipboard(); break;
    case ecBlockIndent: IndentBlock(); break;
    case ecBlockUnindent: UnindentBlock(); break;
    case ecTab: InsertTab(); break;
    case ecShiftTab: RemoveTabBack(); break;
    case ecUpperCase: case ecLowerCase: case ecToggleCase: case ecTitleCase:
    case ecUpperCaseBlock: case ecLowerCaseBlock: case ecToggleCaseBlock:
      ChangeCase(Command);
      break;
    default: break;  // ecCommentBlock, ecString, ecAutoCompletion and numbers without a meaning
  }
  FlushTrimmed();
}

void TCustomSrcEdit::DoLineEnd(bool SelectionCommand) {
  if (fWordWrapPlugin && fLines->Count() > 0) {
    int row = DisplayY();
    int col = std::min(fCharsInWindow > 0 ? fCharsInWindow : INT_MAX - 1, fWordWrapPlugin->GetRowLength(row)) + 1;
    TBufferCoord p = DisplayToBufferPos(DisplayCoord(col, row));
    MoveCaretAndSelect(CaretXY(), p, SelectionCommand);
    // The end of a wrapped row is the start of the next one in the buffer: the caret stays
    // shown on this row.
    fCaretAtRowEnd = BufferToDisplayPos(CaretXY()).Row != row;
    fKeptCaretX = DisplayX();
    IncludeState(sfCaretUpdatePending);
    return;
  }
  MoveCaretAndSelect(CaretXY(), BufferCoord(static_cast<int>(LineText().size()) + 1, fCaretY), SelectionCommand);
}

void TCustomSrcEdit::DoPageMove(TSrcEditorCommand Command, bool SelectionCommand) {
  if (Command == ecPageUp || Command == ecPageDown) {
    int delta = fLinesInWindow;
    if (fOptions.Contains(eoHalfPageScroll)) delta >>= 1;
    if (fOptions.Contains(eoScrollByOneLess)) --delta;
    delta = std::max(delta, 1);
    if (Command == ecPageUp) delta = -delta;
    SetTopLine(fTopLine + delta);
    MoveCaretVertically(delta, SelectionCommand);
    if (HandleAllocated()) Update();
    return;
  }
  int row = Command == ecPageTop ? fTopLine : fTopLine + std::max(fLinesInWindow, 1) - 1;
  row = std::clamp(row, 1, std::max(1, DisplayLineCount()));
  TBufferCoord p = DisplayToBufferPos(DisplayCoord(DisplayX(), row));
  MoveCaretAndSelect(CaretXY(), p, SelectionCommand);
}

void TCustomSrcEdit::DoScrollVertically(int Delta) {
  int row = DisplayY();
  if (row < fTopLine || row >= fTopLine + std::max(fLinesInWindow, 1)) {
    EnsureCursorPosVisible();
  } else {
    SetTopLine(fTopLine + Delta);
    int bottom = fTopLine + std::max(fLinesInWindow, 1) - 1;
    if (row > bottom)
      MoveCaretVertically(bottom - row, false);
    else if (row < fTopLine)
      MoveCaretVertically(fTopLine - row, false);
    EnsureCursorPosVisible();
  }
  if (HandleAllocated()) Update();
}

void TCustomSrcEdit::DoSetMarker(int Number, void* Data) {
  TBufferCoord p = Data ? *static_cast<const TBufferCoord*>(Data) : CaretXY();
  TSrcEditMark* m = Bookmark(Number);
  // The key toggles a bookmark on its own line and moves it from any other line; a refused
  // move keeps the old one.
  if (m && m->Line() == p.Line)
    RemoveBookmark(Number);
  else
    PutBookmark(Number, p.Char, p.Line);
}


// A selection removed by one record of its own: forward when the anchor lies before the end.
void TCustomSrcEdit::DeleteSelectionRecorded() {
  DeleteSelectionRecorded(MinPoint(fBlockBegin, fBlockEnd) == fBlockBegin ? rcDelete : rcDeleteBackward);
}

// The selection removed with one record of the given reason and its raw ends. What trimming
// takes goes on record at once, before the edit that follows changes the same line again.
void TCustomSrcEdit::DeleteSelectionRecorded(TSrcChangeReason Reason) {
  fUndoList->AddChange(Reason, fBlockBegin, fBlockEnd, UndoText(), fSelectionMode);
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  fBlockBegin = b;
  fBlockEnd = e;
  ReplaceSelection(fSelectionMode, AnsiString(), false);
  FlushTrimmed();
}

// Removes the characters From..To-1 of a line and records it. When trimming takes trailing
// blanks along, the record covers them too, so that undo brings back tabs as tabs.
// Orig is usually a view of the stored line itself: the line is then shortened where it is,
// without copying it, and all that is taken from Orig is taken before.
void TCustomSrcEdit::DeleteInLineRecorded(int Line, std::string_view Orig, int From, int To,
                                          TSrcChangeReason Reason) {
  std::string_view head = Orig.substr(0, static_cast<size_t>(From - 1));
  std::string_view tail = Orig.substr(static_cast<size_t>(To - 1));
  size_t restLen = head.size() + tail.size();
  size_t keep = restLen;
  if (fOptions.Contains(eoTrimTrailingSpaces)) {
    size_t t = TrimmedLength(tail);
    keep = t > 0 ? head.size() + t : TrimmedLength(head);
  }
  int from = From, to = To;
  if (keep < restLen && keep <= head.size()) {
    // Trimming takes everything after the head's text: one range, from there to the end.
    from = std::min(From, static_cast<int>(keep) + 1);
    to = static_cast<int>(Orig.size()) + 1;
  } else if (keep < restLen) {
    // Text after the deletion stays, and trimming takes the blanks behind it: a range apart,
    // recorded right after the deletion's record.
    NoteTrimmed(BufferCoord(static_cast<int>(keep) + 1, Line), AnsiString(tail.substr(keep - head.size())));
  }
  AnsiString removed(Orig.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from)));
  std::string_view stored = fLines->Line(Line - 1);
  if (stored.data() == Orig.data() && stored.size() == Orig.size()) {
    if (To > From || keep < restLen)
      fLines->DeleteText(Line - 1, head.size(), static_cast<size_t>(To - From), keep);
  } else {
    AnsiString rest;
    rest.reserve(restLen);
    rest.append(head).append(tail);
    rest.resize(keep);
    if (stored != rest) fLines->Put(Line - 1, rest);
  }
  fUndoList->AddChange(Reason, BufferCoord(from, Line), BufferCoord(to, Line), removed, smNormal);
}

void TCustomSrcEdit::ScrollRightAfterTyping() {
  if (fCharsInWindow > 0 && DisplayX() >= fLeftChar + fCharsInWindow)
    SetLeftChar(fLeftChar + std::min(25, fCharsInWindow - 1));
}

void TCustomSrcEdit::DoLineBreak(bool MoveCaret) {
  // While a redo runs, the undo list already numbers what this records.
  bool ownBlock = !IsRedoRunning();
  if (ownBlock) BeginUndoBlock();
  try {
    if (SelAvail()) DeleteSelectionRecorded(rcDelete);
    if (fLines->Count() == 0) fLines->Add(AnsiString());
    TBufferCoord caret = CaretXY();
    AnsiString line = fLines->Get(fCaretY - 1);
    int len = static_cast<int>(line.size());
    int insertedAt = caret.Line + 1;
    fLines->BeginUpdate();
    try {
      if (line.empty()) {
        int indent = 0;
        for (int l = fCaretY; l >= 1; --l) {
          std::string_view s = fLines->Line(l - 1);
          if (!s.empty()) {
            indent = LeadingBlankWidth(s, true);
            break;
          }
        }
        fLines->Insert(fCaretY - 1, AnsiString());
        insertedAt = caret.Line;
        fUndoList->AddChange(rcLineBreak, caret, caret, AnsiString(), smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(indent + 1, fCaretY + 1));
      } else if (fCaretX > len) {
        AnsiString prefix;
        for (int l = fCaretY; l >= 1; --l) {
          std::string_view s = fLines->Line(l - 1);
          if (!s.empty()) {
            prefix = s.substr(0, static_cast<size_t>(LeadingBlankWidth(s, false)));
            break;
          }
        }
        // The new line gets the indentation for both commands: a redo replays a line break,
        // and must give back the same text.
        fLines->Insert(fCaretY, prefix);
        fUndoList->AddChange(rcLineBreak, caret, caret, AnsiString(), smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(static_cast<int>(prefix.size()) + 1, fCaretY + 1));
      } else if (fCaretX == 1) {
        fLines->Insert(fCaretY - 1, AnsiString());
        insertedAt = caret.Line;
        fUndoList->AddChange(rcLineBreak, caret, caret, line, smNormal);
        if (MoveCaret) InternalSetCaretXY(BufferCoord(1, fCaretY + 1));
      } else {
        AnsiString left = line.substr(0, static_cast<size_t>(fCaretX - 1));
        AnsiString right = line.substr(static_cast<size_t>(fCaretX - 1));
        AnsiString prefix = IndentString(LeadingBlankWidth(left, true), true);
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
    DoLinesInserted(insertedAt, 1);
    fBlockBegin = fBlockEnd = CaretXY();
    EnsureCursorPosVisible();
    fKeptCaretX = DisplayX();
  } catch (...) {
    if (ownBlock) EndUndoBlock();
    throw;
  }
  if (ownBlock) EndUndoBlock();
}

namespace {
// Switches eoScrollPastEol on for the rest of a command.
struct PastEolScope {
  explicit PastEolScope(TSrcEditorOptions& o) : o_(o), forced_(!o.Contains(eoScrollPastEol)) {
    if (forced_) o_.Include(eoScrollPastEol);
  }
  ~PastEolScope() {
    if (forced_) o_.Exclude(eoScrollPastEol);
  }
  TSrcEditorOptions& o_;
  bool forced_;
};
}  // namespace

void TCustomSrcEdit::DoTypeChar(char AChar) {
  auto uc = static_cast<unsigned char>(AChar);
  if (uc < 32 || uc == 127) return;
  if (SelAvail()) {
    SetSelText(AnsiString(1, AChar));
    return;
  }
  CheckTypingFits(std::string_view(&AChar, 1));
  PastEolScope pastEol(fOptions);
  if (fLines->Count() == 0) fLines->Add(AnsiString());
  // Wherever the caret stands a typed character goes in: the scroll width only bounds how far
  // the caret goes past the end of a shorter line, never how long a line may grow by typing.
  // What no line may exceed is checked above.
  {
    // Inserting within the line, where trimming would take nothing: the character goes into
    // the stored line without the line being copied.
    std::string_view cur = fLines->Line(fCaretY - 1);
    int curLen = static_cast<int>(cur.size());
    char last = fCaretX <= curLen ? cur.back() : AChar;
    if (fInserting && fCaretY <= fLines->Count() && fCaretX <= curLen + 1 &&
        !(fOptions.Contains(eoTrimTrailingSpaces) && (last == ' ' || last == '\t'))) {
      int at = fCaretX, y = fCaretY;
      fUndoList->AddChange(rcInsert, BufferCoord(at, y), BufferCoord(at + 1, y), AnsiString(), smNormal);
      fLines->InsertText(y - 1, static_cast<size_t>(at - 1), std::string_view(&AChar, 1));
      InternalSetCaretXY(BufferCoord(at + 1, y));
      fBlockBegin = fBlockEnd = CaretXY();
      ScrollRightAfterTyping();
      return;
    }
  }
  AnsiString line = fLines->Get(fCaretY - 1);
  int len = static_cast<int>(line.size());
  // A caret beyond the line end brings the line out to it first: blanks, or on an empty line
  // the indentation as tabs and blanks.
  AnsiString pad;
  if (fCaretX > len + 1)
    pad = len == 0 ? IndentString(fCaretX - 1, true) : AnsiString(static_cast<size_t>(fCaretX - 1 - len), ' ');
  line += pad;
  bool padded = !pad.empty();
  int at = padded ? static_cast<int>(line.size()) + 1 : fCaretX;
  int y = fCaretY;
  if (fInserting) {
    line.insert(static_cast<size_t>(at - 1), 1, AChar);
    UndoBlockScope block(this, padded);
    // The records go before the line is stored: what trimming takes then is recorded after
    // them.
    if (padded) fUndoList->AddChange(rcPadding, BufferCoord(at, y), BufferCoord(len + 1, y), AnsiString(), smNormal);
    fUndoList->AddChange(rcInsert, BufferCoord(at, y), BufferCoord(at + 1, y), AnsiString(), smNormal);
    StoreLineTrimmed(y - 1, line);
    int newX = at + 1;
    // A blank typed on an empty line is trimmed with the padding: the caret stays where the
    // user typed, in columns.
    if (padded && len == 0 && AChar == ' ' && fOptions.Contains(eoTrimTrailingSpaces))
      newX = static_cast<int>(ExpandedLength(pad + ' ', fTabWidth)) + 1;
    InternalSetCaretXY(BufferCoord(newX, y));
  } else {
    AnsiString replaced;
    if (!padded && at <= len) {
      int n = IsLeadByte(line[static_cast<size_t>(at - 1)]) && at < len ? 2 : 1;
      replaced = line.substr(static_cast<size_t>(at - 1), static_cast<size_t>(n));
      line[static_cast<size_t>(at - 1)] = AChar;
      if (n == 2) line[static_cast<size_t>(at)] = ' ';  // the second byte becomes a blank
    } else {
      line.insert(static_cast<size_t>(at - 1), 1, AChar);
    }
    int inserted = replaced.empty() ? 1 : static_cast<int>(replaced.size());
    UndoBlockScope block(this, padded || !replaced.empty());
    if (padded) fUndoList->AddChange(rcPadding, BufferCoord(at, y), BufferCoord(len + 1, y), AnsiString(), smNormal);
    // The overwritten character is recorded as deleted and the typed one as inserted: a
    // single insert record would be redone as an insertion that keeps the old character.
    if (!replaced.empty())
      fUndoList->AddChange(rcDeleteAfterCaret, BufferCoord(at, y), BufferCoord(at + inserted, y), replaced, smNormal);
    fUndoList->AddChange(rcInsert, BufferCoord(at, y), BufferCoord(at + inserted, y), AnsiString(), smNormal);
    StoreLineTrimmed(y - 1, line);
    InternalSetCaretXY(BufferCoord(at + 1, y));
  }
  fBlockBegin = fBlockEnd = CaretXY();
  ScrollRightAfterTyping();
}

void TCustomSrcEdit::DoImeStr(const char* S) {
  if (!S) return;
  AnsiString str;
  for (const char* p = S; *p; ++p)
    if (*p != '\r' && *p != '\n') str += *p;  // a composition is one piece of a line
  if (str.empty()) return;
  if (SelAvail()) {
    SetSelText(str);
    InvalidateGutter();
    return;
  }
  CheckTypingFits(str);
  PastEolScope pastEol(fOptions);
  if (fLines->Count() == 0) fLines->Add(AnsiString());
  AnsiString line = fLines->Get(fCaretY - 1);
  int len = static_cast<int>(line.size());
  int at = fCaretX, y = fCaretY;
  UndoBlockScope block(this, true);
  if (at > len + 1) {
    fUndoList->AddChange(rcPadding, BufferCoord(at, y), BufferCoord(len + 1, y), AnsiString(), smNormal);
    line.append(static_cast<size_t>(at - 1 - len), ' ');
  }
  AnsiString replaced;
  if (!fInserting) {
    int n = std::min(static_cast<int>(str.size()), static_cast<int>(line.size()) - (at - 1));
    // A double-byte character is never split: its second byte goes with the first.
    if (n > 0 && at - 1 + n < static_cast<int>(line.size()) && ByteType(line, static_cast<size_t>(at - 1 + n)) == mbTrailByte)
      ++n;
    if (n > 0) {
      replaced = line.substr(static_cast<size_t>(at - 1), static_cast<size_t>(n));
      line.erase(static_cast<size_t>(at - 1), static_cast<size_t>(n));
    }
  }
  line.insert(static_cast<size_t>(at - 1), str);
  int end = at + static_cast<int>(str.size());
  // The records go before the line is stored: what trimming takes then is recorded after them.
  if (!replaced.empty())
    fUndoList->AddChange(rcDeleteAfterCaret, BufferCoord(at, y), BufferCoord(at + static_cast<int>(replaced.size()), y),
                         replaced, smNormal);
  fUndoList->AddChange(rcInsert, BufferCoord(at, y), BufferCoord(end, y), AnsiString(), smNormal);
  StoreLineTrimmed(y - 1, line);
  InternalSetCaretXY(BufferCoord(end, y));
  fBlockBegin = fBlockEnd = CaretXY();
  ScrollRightAfterTyping();
}

void TCustomSrcEdit::DoDeleteLastChar() {
  if (SelAvail()) {
    DeleteSelectionRecorded();
    return;
  }
  if (fLines->Count() == 0 || fCaretY > fLines->Count()) return;
  // A view of the stored line: a long line is not copied before it is changed.
  std::string_view line = fLines->Line(fCaretY - 1);
  int len = static_cast<int>(line.size());
  int y = fCaretY;
  if (fCaretX > len + 1) {
    // Beyond the line end only the caret moves back.
    int x;
    if (fOptions.Contains(eoSmartTabDelete)) {
      if (len == 0) {
        x = 1;
        for (int l = y - 1; l >= 1; --l) {
          int w = LeadingBlankWidth(fLines->Line(l - 1), false);
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
    if (y == 1) return;
    CheckJoinFits(y - 1, fLines->Line(y - 2), 0,
                  fOptions.Contains(eoTrimTrailingSpaces) ? line.substr(0, TrimmedLength(line)) : line);
    AnsiString prev = fLines->Get(y - 2);
    // The joined line comes trimmed; what trimming takes is recorded where it stood in the
    // joined line.
    AnsiString cur(line);
    if (fOptions.Contains(eoTrimTrailingSpaces)) {
      cur.resize(TrimmedLength(cur));
      if (cur.size() < line.size())
        NoteTrimmed(BufferCoord(static_cast<int>(prev.size() + cur.size()) + 1, y - 1), AnsiString(line.substr(cur.size())));
    }
    fLines->BeginUpdate();
    try {
      fLines->Put(y - 2, prev + cur);
      fLines->Delete(y - 1);
    } catch (...) {
      fLines->EndUpdate();
      throw;
    }
    fLines->EndUpdate();
    DoLinesDeleted(y - 1, 1);
    InternalSetCaretXY(BufferCoord(static_cast<int>(prev.size()) + 1, y - 1));
    fUndoList->AddChange(rcDeleteBeforeCaret, CaretXY(), BufferCoord(1, y), "\r\n", smNormal);
  } else {
    int lw = 0;
    while (lw < len && (line[static_cast<size_t>(lw)] == ' ' || line[static_cast<size_t>(lw)] == '\t')) ++lw;
    int n = 1;
    if (fCaretX - 1 == lw) {
      if (fOptions.Contains(eoSmartTabDelete)) {
        // Back to the indentation of the nearest line above that is indented less (an empty
        // line is indented by nothing).
        int target = 0;
        for (int l = y - 1; l >= 1; --l) {
          std::string_view s = fLines->Line(l - 1);
          int w = 0;
          while (w < static_cast<int>(s.size()) && (s[static_cast<size_t>(w)] == ' ' || s[static_cast<size_t>(w)] == '\t')) ++w;
          if (w < lw) {
            target = w;
            break;
          }
        }
        n = lw - target;
      } else {
        int col = DisplayX();
        int tw = std::max(fTabWidth, 1);
        int b = (col - 1) % tw;
        if (b == 0) b = tw;
        n = 0;
        while (n < b && n < lw) {
          ++n;
          if (line[static_cast<size_t>(fCaretX - 1 - n)] == '\t') break;
        }
      }
    } else if (fCaretX >= 3 && MultiByteSupport() && ByteType(line, static_cast<size_t>(fCaretX - 2)) == mbTrailByte) {
      n = 2;
    }
    int from = fCaretX - n;
    int oldX = fCaretX;
    // The line as the deletion leaves it, before trimming: needed only when trimming may take
    // something (it ends in a blank or tab), and copied only then.
    AnsiString rest;
    size_t restLen = static_cast<size_t>(len - n);
    if (fOptions.Contains(eoTrimTrailingSpaces) && restLen > 0) {
      char last = oldX - 1 < len ? line.back() : line[static_cast<size_t>(from - 2)];
      if (last == ' ' || last == '\t') {
        rest = line;
        rest.erase(static_cast<size_t>(from - 1), static_cast<size_t>(n));
      }
    }
    DeleteInLineRecorded(y, line, from, oldX, rcDeleteBeforeCaret);
    int x = from;
    std::string_view stored = fLines->Line(y - 1);
    if (stored.size() < restLen && rest.find('\t') != AnsiString::npos) {
      // Trimming took tabs along: the caret keeps its column.
      PastEolScope pastEol(fOptions);
      x += CharIndexToColumn(from, fTabWidth, rest) - CharIndexToColumn(from, fTabWidth, stored);
      InternalSetCaretX(x);
    } else {
      PastEolScope pastEol(fOptions);
      InternalSetCaretX(x);
    }
  }
  fBlockBegin = fBlockEnd = CaretXY();
  EnsureCursorPosVisible();
}

void TCustomSrcEdit::DoDeleteChar() {
  if (SelAvail()) {
    DeleteSelectionRecorded();
    return;
  }
  if (fLines->Count() == 0 || fCaretY > fLines->Count()) return;
  std::string_view stored = fLines->Line(fCaretY - 1);
  int len = static_cast<int>(stored.size());
  if (fCaretX > len) {
    if (fCaretY >= fLines->Count()) return;
    CheckJoinFits(fCaretY, stored, std::max(fCaretX - 1 - len, 0), fLines->Line(fCaretY));
    AnsiString line(stored);
    UndoBlockScope block(this, true);
    if (len < fCaretX - 1) {
      fUndoList->AddChange(rcPadding, CaretXY(), BufferCoord(len + 1, fCaretY), AnsiString(), smNormal);
      line.append(static_cast<size_t>(fCaretX - 1 - len), ' ');
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
    int n = IsLeadByte(stored[static_cast<size_t>(fCaretX - 1)]) && fCaretX < len ? 2 : 1;
    DeleteInLineRecorded(fCaretY, stored, fCaretX, fCaretX + n, rcDeleteAfterCaret);
  }
  fBlockBegin = fBlockEnd = CaretXY();
}

void TCustomSrcEdit::DoDeleteRange(TSrcEditorCommand Command) {
  if (fLines->Count() == 0 || fCaretY > fLines->Count()) return;
  TBufferCoord caret = CaretXY();
  AnsiString line = LineText();
  int len = static_cast<int>(line.size());
  bool forward = Command == ecDeleteWord || Command == ecDeleteEOL;
  TBufferCoord from = caret, to = caret;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  switch (Command) {
    case ecDeleteWord: {
      to = WordEnd();
      if (caret.Char >= to.Char) {
        if (to.Char > len) {
          if (caret.Line < fLines->Count()) to = BufferCoord(1, caret.Line + 1);
        } else if (!blank(line[static_cast<size_t>(to.Char - 1)])) {
          ++to.Char;
        }
      }
      std::string_view tl = fLines->Line(to.Line - 1);
      while (to.Char <= static_cast<int>(tl.size()) && blank(tl[static_cast<size_t>(to.Char - 1)])) ++to.Char;
      break;
    }
    case ecDeleteEOL: to = BufferCoord(len + 1, caret.Line); break;
    case ecDeleteLastWord: from = PrevWordPos(); break;
    default: from = BufferCoord(1, caret.Line); break;
  }
  if (!forward) to.Char = std::min(to.Char, len + 1);
  if (!(MinPoint(from, to) == from) || from == to) return;
  {
    // What the deletion leaves of the two ends' lines is joined (after blanks that bring the
    // first out to a caret beyond its end): refused before the blanks go in.
    std::string_view a = fLines->Line(from.Line - 1), z = fLines->Line(to.Line - 1);
    size_t left = std::min(a.size(), static_cast<size_t>(from.Char - 1));
    CheckJoinFits(from.Line, a.substr(0, left), from.Char - 1 - static_cast<int64_t>(left),
                  z.substr(std::min(z.size(), static_cast<size_t>(std::max(to.Char - 1, 0)))));
  }
  TSrcSelectionMode mode = fSelectionMode;
  fSelectionMode = smNormal;
  try {
    UndoBlockScope block(this, true);
    if (forward && caret.Char > len + 1) {
      // Joining the next line to a caret beyond the end: the line is brought out to it.
      fUndoList->AddChange(rcPadding, caret, BufferCoord(len + 1, caret.Line), AnsiString(), smNormal);
      fLines->Put(caret.Line - 1, line + AnsiString(static_cast<size_t>(caret.Char - 1 - len), ' '));
    }
    fBlockBegin = from;
    fBlockEnd = to;
    AnsiString text = UndoText();
    ReplaceSelection(smNormal, AnsiString(), false);
    fUndoList->AddChange(forward ? rcDeleteAfterCaret : rcDeleteBeforeCaret, from, to, text, smNormal);
    InternalSetCaretXY(from);
    fBlockBegin = fBlockEnd = CaretXY();
  } catch (...) {
    fSelectionMode = mode;
    throw;
  }
  fSelectionMode = mode;
}

void TCustomSrcEdit::DoDeleteLine() {
  int count = fLines->Count();
  if (count == 0 || (count == 1 && fLines->Line(0).empty())) return;
  if (SelAvail()) {
    InvalidateSelection();
    fBlockBegin = fBlockEnd = CaretXY();
    StatusChanged(scSelection);
  }
  int y = std::clamp(fCaretY, 1, count);
  AnsiString text = fLines->Get(y - 1);
  int len = static_cast<int>(text.size());
  TBufferCoord start{1, y}, end{len + 1, y};
  if (count == 1) {
    fLines->Put(0, AnsiString());
  } else if (y < count) {
    text += "\r\n";
    end = BufferCoord(1, y + 1);
    fLines->Delete(y - 1);
    DoLinesDeleted(y, 1);
  } else {
    // The last line goes with the line break before it.
    start = BufferCoord(static_cast<int>(fLines->Line(y - 2).size()) + 1, y - 1);
    text = "\r\n" + text;
    fLines->Delete(y - 1);
    DoLinesDeleted(y - 1, 1);
  }
  fUndoList->AddChange(rcDeleteAfterCaret, start, end, text, smNormal);
  InternalSetCaretXY(BufferCoord(1, std::min(y, fLines->Count())));
  fBlockBegin = fBlockEnd = CaretXY();
}

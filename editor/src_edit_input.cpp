// The control's input side: keys, characters, the mouse, the auto-scroll timer, scroll bars, the
// wheel and the scroll hint, dragging text, dropped files, the input method and the window
// messages the control answers itself.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"
#include "editor/undo_block_scope.h"
#include "platform/application.h"
#include "platform/drag.h"
#include "platform/system_metrics.h"

namespace {

// Texts of the scroll hint.
constexpr const char* kScrollHintTopToBottom = "%d - %d";
constexpr const char* kScrollHintTopLine = "Top Line: %d";
constexpr int kScrollHintMaxWidth = 200;
constexpr int kMaxScrollPos = 32767;

bool KeyHeld(int vk) { return GetKeyState(vk) < 0; }

THintWindow* gScrollHint = nullptr;

}  // namespace

// ---------------------------------------------------------------------------- window messages

void TCustomSrcEdit::WndProc(TMessage& Message) {
  // While the control is being destroyed its window still reports (losing the focus, say);
  // nothing of that may reach the commands and events any more.
  if (Destroying()) {
    TCustomControl::WndProc(Message);
    return;
  }
  switch (Message.Msg) {
    case WM_SIZE:
      TCustomControl::WndProc(Message);
      SizeOrFontChanged(false);
      return;
    case WM_SETFOCUS:
      TCustomControl::WndProc(Message);
      CommandProcessor(ecFocusGained, 0, nullptr);
      InitializeCaret();
      if (fHideSelection && SelAvail()) InvalidateSelection();
      return;
    case WM_KILLFOCUS:
      TCustomControl::WndProc(Message);
      CommandProcessor(ecFocusLost, 0, nullptr);
      if (!fAlwaysShowCaret && !Focused()) {
        HideCaret();
        DestroyCaret();
        if (fHideSelection && SelAvail()) InvalidateSelection();
      }
      return;
    case WM_GETDLGCODE:
      TCustomControl::WndProc(Message);
      Message.Result |= DLGC_WANTARROWS | DLGC_WANTCHARS;
      if (fWantTabs) Message.Result |= DLGC_WANTTAB;
      if (fWantReturns) Message.Result |= DLGC_WANTALLKEYS;
      return;
    case WM_SYSCHAR:
      // Alt+Backspace comes as a key and may be bound; its character would only beep.
      if (Message.WParam == 8 && (Message.LParam & KF_ALTDOWN_BIT)) return;
      TCustomControl::WndProc(Message);
      return;
    case WM_SETCURSOR:
      if (LoWord(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT &&
          Message.WParam == reinterpret_cast<uintptr_t>(this) && !(ComponentState() & csDesigning)) {
        UpdateMouseCursor();
        Message.Result = 1;
        return;
      }
      TCustomControl::WndProc(Message);
      return;
    case WM_MOUSEWHEEL:
      if (ComponentState() & csDesigning) {
        TCustomControl::WndProc(Message);
        return;
      }
      WMMouseWheel(Message);
      return;
    case WM_HSCROLL:
      WMHScroll(Message);
      return;
    case WM_VSCROLL:
      WMVScroll(Message);
      return;
    case WM_CUT:
      if (!ReadOnly()) CutToClipboard();
      Message.Result = 1;
      return;
    case WM_COPY:
      CopyToClipboard();
      Message.Result = 1;
      return;
    case WM_PASTE:
      if (!ReadOnly()) PasteFromClipboard();
      Message.Result = 1;
      return;
    case WM_CLEAR:
      if (!ReadOnly()) SetSelText(AnsiString());
      return;
    case WM_UNDO:
      Undo();
      return;
    case WM_GETTEXT:
      WMGetText(Message);
      return;
    case WM_GETTEXTLENGTH:
      Message.Result = static_cast<intptr_t>(fLines->Text().size());
      return;
    case WM_SETTEXT:
      WMSetText(Message);
      return;
    case WM_ERASEBKGND:
      // Painting covers every pixel.
      Message.Result = 1;
      return;
    case WM_CANCELMODE:
      return;
    case WM_CAPTURECHANGED:
      fScrollTimer->SetEnabled(false);
      TCustomControl::WndProc(Message);
      return;
    case WM_DROPFILES:
      WMDropFiles(Message);
      return;
    case WM_IME_COMPOSITION:
      WMImeComposition(Message);
      return;
    default:
      TCustomControl::WndProc(Message);
  }
}

void TCustomSrcEdit::WMGetText(TMessage& Message) {
  auto* buffer = reinterpret_cast<char*>(Message.LParam);
  size_t size = Message.WParam;
  if (!buffer || size == 0) {
    Message.Result = 0;
    return;
  }
  AnsiString text = fLines->Text();
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  Message.Result = static_cast<intptr_t>(n);
}

void TCustomSrcEdit::WMSetText(TMessage& Message) {
  const auto* text = reinterpret_cast<const char*>(Message.LParam);
  Message.Result = 0;
  fLines->SetText(text ? AnsiString(text) : AnsiString());
  Message.Result = -1;
}

void TCustomSrcEdit::WMDropFiles(TMessage& Message) {
  if (OnDropFiles.Assigned()) {
    TPoint at = DragQueryPoint(Message.WParam);
    TStringList files;
    for (const AnsiString& name : DragQueryFiles(Message.WParam)) files.Add(name);
    OnDropFiles(this, at.X, at.Y, &files);
  }
  Message.Result = 0;
}

void TCustomSrcEdit::WMImeComposition(TMessage& Message) {
  if (static_cast<uintptr_t>(Message.LParam) & GCS_RESULTSTR) {
    AnsiString result = ImmGetCompositionResult(this);
    // The same number of character messages follows the composition: they are dropped.
    fImeCount = static_cast<int>(result.size());
    // A composition of nothing this code page can hold inserts nothing (and so replaces no
    // selection).
    if (!result.empty()) {
      std::vector<char> buffer(result.size() + 1, '\0');
      std::memcpy(buffer.data(), result.data(), result.size());
      CommandProcessor(ecImeStr, 0, buffer.data());
    }
  }
  TCustomControl::WndProc(Message);
}

// ---------------------------------------------------------------------------- keys

void TCustomSrcEdit::KeyDown(Word& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  fKbdHandler->ExecuteKeyDown(this, Key, Shift);
  // The bindings carry no data block: the command gets none.
  TSrcEditorCommand cmd = TranslateKeyCode(*fKeyStrokes, fKeySequence, Key, Shift);
  if (cmd != ecNone) {
    Key = 0;
    IncludeState(sfIgnoreNextChar);
    CommandProcessor(cmd, 0, nullptr);
  } else {
    ExcludeState(sfIgnoreNextChar);
  }
}

void TCustomSrcEdit::KeyUp(Word& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  fKbdHandler->ExecuteKeyUp(this, Key, Shift);
}

void TCustomSrcEdit::KeyPress(char& Key) {
  if (fImeCount > 0) {
    --fImeCount;
    return;
  }
  if (fStateFlags & sfIgnoreNextChar) {
    ExcludeState(sfIgnoreNextChar);
    return;
  }
  TCustomControl::KeyPress(Key);
  fKbdHandler->ExecuteKeyPress(this, Key);
  CommandProcessor(ecChar, Key, nullptr);
}

// ---------------------------------------------------------------------------- mouse

void TCustomSrcEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TBufferCoord keptBegin = fBlockBegin, keptEnd = fBlockEnd;
  bool wasSelected = false;
  if (Button == mbLeft && SelAvail()) {
    wasSelected = true;
    fMouseDownX = X;
    fMouseDownY = Y;
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
  // The press of a double click belongs to DblClick.
  if (Button == mbLeft && Shift.Contains(ssDouble)) return;
  fKbdHandler->ExecuteMouseDown(this, Button, Shift, X, Y);

  // On a desktop with a primary selection the middle button pastes it where it clicks in the
  // text; elsewhere (and in a read-only editor) the press is a plain one.
  if (Button == mbMiddle && X >= fGutterWidth && !ReadOnly() && PrimarySelection()) {
    PastePrimarySelectionAt(X, Y);
    if (HandleAllocated()) TCustomControl::SetFocus();
    return;
  }
  if (Button == mbRight) {
    if (!fOptions.Contains(eoRightMouseMovesCursor)) return;
    if (IsPointInSelection(DisplayToBufferPos(PixelsToRowColumn(X, Y)))) return;
    InvalidateSelection();
    fBlockEnd = fBlockBegin;
    ComputeCaret(X, Y);
  } else if (Button == mbLeft) {
    ComputeCaret(X, Y);
  }

  bool dragPending = false;
  if (Button == mbLeft) {
    SetBlockBegin(keptBegin);
    SetBlockEnd(keptEnd);
    SetMouseCapture(true);
    ExcludeState(sfWaitingForDrag);
    if (wasSelected && fOptions.Contains(eoDragDropEditing) && X >= fGutterWidth + 2 &&
        fSelectionMode == smNormal && IsPointInSelection(CaretXY())) {
      // A press inside the selection may become a drag of the text: the selection stays.
      IncludeState(sfWaitingForDrag);
      dragPending = true;
    }
  }
  if (!dragPending && !(fStateFlags & sfDoubleClicked)) {
    if (Shift.Contains(ssShift)) {
      // The selection extends from its anchor to the click.
      SetBlockBegin(keptBegin);
      SetBlockEnd(CaretXY());
    } else {
      SetBlockBegin(CaretXY());
      if (fOptions.Contains(eoAltSetsColumnMode) && fSelectionMode != smLine)
        SetSelectionMode(Shift.Contains(ssAlt) ? smColumn : smNormal);
    }
  }
  if (X < fGutterWidth) IncludeState(sfGutterPressed);
  if (Button == mbRight && (fStateFlags & sfGutterPressed)) DoOnGutterClick(Button, X, Y);
  // The window itself takes the focus, whatever focus controls the editor lists.
  if (HandleAllocated()) TCustomControl::SetFocus();
}

void TCustomSrcEdit::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (MouseCapture() && (fStateFlags & sfWaitingForDrag)) {
    if (std::abs(fMouseDownX - X) >= GetSystemMetrics(SM_CXDRAG) ||
        std::abs(fMouseDownY - Y) >= GetSystemMetrics(SM_CYDRAG)) {
      ExcludeState(sfWaitingForDrag);
      BeginDrag(false);
    }
  } else if (Shift.Contains(ssLeft) && MouseCapture()) {
    ComputeScroll(X, Y);
    TDisplayCoord p = PixelsToNearestRowColumn(X, Y);
    p.Row = std::clamp(p.Row, 1, std::max(1, DisplayLineCount()));
    // While the timer scrolls one way, the caret keeps to the edge it scrolls along.
    if (fScrollDeltaX != 0) p.Column = DisplayX();
    if (fScrollDeltaY != 0) p.Row = DisplayY();
    InternalSetCaretXY(DisplayToBufferPos(p));
    SetBlockEnd(CaretXY());
    if ((fStateFlags & sfGutterPressed) && fCaretY != fBlockBegin.Line) IncludeState(sfGutterDragged);
  }
}

void TCustomSrcEdit::ScrollTimerHandler(TObject*) {
  TPoint c = ScreenToClient(GetCursorPos());
  TDisplayCoord p = PixelsToRowColumn(c.X, c.Y);
  int rows = std::max(1, DisplayLineCount());
  p.Row = std::clamp(p.Row, 1, rows);
  if (fScrollDeltaX != 0) {
    // Reckoned wide: the view may stand next to the largest column.
    SetLeftChar(static_cast<int>(std::clamp<int64_t>(static_cast<int64_t>(fLeftChar) + fScrollDeltaX, 1, INT_MAX)));
    p.Column = static_cast<int>(
        std::min<int64_t>(static_cast<int64_t>(fLeftChar) + (fScrollDeltaX > 0 ? fCharsInWindow : 0), INT_MAX));
  }
  if (fScrollDeltaY != 0) {
    if (KeyHeld(VK_SHIFT))
      SetTopLine(fTopLine + fScrollDeltaY * fLinesInWindow);
    else
      SetTopLine(fTopLine + fScrollDeltaY);
    p.Row = fTopLine;
    if (fScrollDeltaY > 0) p.Row += fLinesInWindow - 1;
    p.Row = std::clamp(p.Row, 1, rows);
  }
  TBufferCoord target = DisplayToBufferPos(p);
  if (target != CaretXY()) {
    PaintLockScope lock(this);
    InternalSetCaretXY(target);
    if (MouseCapture()) SetBlockEnd(CaretXY());
  }
  ComputeScroll(c.X, c.Y);
}

void TCustomSrcEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  fKbdHandler->ExecuteMouseUp(this, Button, Shift, X, Y);
  fScrollTimer->SetEnabled(false);
  // A plain right click over a popup menu: the menu takes over.
  if (Button == mbRight && (Shift + TShiftState{ssRight}) == TShiftState{ssRight} && PopupMenu()) return;
  SetMouseCapture(false);
  if ((fStateFlags & sfGutterPressed) && X < fGutterWidth && Button != mbRight) {
    DoOnGutterClick(Button, X, Y);
  } else if ((fStateFlags & sfWaitingForDrag) && !(fStateFlags & sfDoubleClicked)) {
    // A press inside the selection that did not become a drag: a plain click.
    ComputeCaret(X, Y);
    if (!Shift.Contains(ssShift)) SetBlockBegin(CaretXY());
    SetBlockEnd(CaretXY());
    ExcludeState(sfWaitingForDrag);
  }
  ExcludeState(sfDoubleClicked | sfGutterPressed | sfGutterDragged);
}

void TCustomSrcEdit::DoOnGutterClick(TMouseButton Button, int X, int Y) {
  if (!OnGutterClick.Assigned()) return;
  // With word wrap a row is a piece of a line: the line is the one the row belongs to.
  int line = RowToLine(PixelsToRowColumn(X, Y).Row);
  if (line > fLines->Count()) return;
  TSrcEditMarks marks{};
  fMarkList->GetMarksForLine(line, marks);
  TSrcEditMark* clicked = nullptr;
  int offset = 0;
  for (TSrcEditMark* m : marks) {
    if (!m) continue;
    offset += fBookMarkOpt->Xoffset();
    if (X < offset) {
      clicked = m;
      break;
    }
  }
  OnGutterClick(this, Button, X, Y, line, clicked);
}

void TCustomSrcEdit::DblClick() {
  TPoint c = ScreenToClient(GetCursorPos());
  if (c.X >= fGutterWidth + 2) {
    if (!fOptions.Contains(eoNoSelection)) SelectWordAt(CaretXY());
    TCustomControl::DblClick();
    IncludeState(sfDoubleClicked);
    SetMouseCapture(false);
  } else {
    TCustomControl::DblClick();
  }
}

void TCustomSrcEdit::SelectWordAt(const TBufferCoord& P) {
  TBufferCoord p = P;
  p.Line = std::clamp(p.Line, 1, std::max(1, fLines->Count()));
  if (fOptions.Contains(eoScrollPastEol) && !WordWrap())
    p.Char = std::clamp(p.Char, 1, PastEolLimit(p.Line));
  else
    p.Char = std::max(p.Char, 1);
  AnsiString text = p.Line <= fLines->Count() ? fLines->Get(p.Line - 1) : AnsiString();
  int lineLength = static_cast<int>(text.size());
  text.push_back('\0');
  int len = static_cast<int>(text.size());
  if (p.Char > len) {
    TBufferCoord end = BufferCoord(len, p.Line);
    PlaceCaretAndSelection(end, end, end);
    return;
  }
  TSysCharSet word = WordIdentChars();
  std::vector<uint16_t> types(static_cast<size_t>(len));
  GetStringType3(text, types.data());
  int at = p.Char - 1;
  uint16_t base = types[static_cast<size_t>(at)];
  if (base == C3_SYMBOL && at > 0) base = types[static_cast<size_t>(at - 1)];
  auto boundary = [&](int k) {
    uint16_t type = types[static_cast<size_t>(k)];
    switch (CharTypeClass(type)) {
      case 1: case 2: return !word.Contains(static_cast<unsigned char>(text[static_cast<size_t>(k)]));
      case 5: case 9: return true;
      default: return type != base;
    }
  };
  int end = len - 1;  // the terminating NUL: the end of the text
  for (int k = at; k < len; ++k)
    if (boundary(k)) {
      end = k;
      break;
    }
  int start = 0;
  for (int k = at - 1; k >= 0; --k)
    if (boundary(k)) {
      start = k + 1;
      break;
    }
  TBufferCoord wordStart = BufferCoord(start + 1, p.Line);
  TBufferCoord wordEnd = BufferCoord(std::min(end, lineLength) + 1, p.Line);
  PlaceCaretAndSelection(wordEnd, wordStart, wordEnd);
  InvalidateLine(p.Line);
  StatusChanged(scSelection);
}

void TCustomSrcEdit::UpdateMouseCursor() {
  TPoint c = ScreenToClient(GetCursorPos());
  TCursor cursor;
  if (c.X < fGutterWidth) {
    cursor = fGutter->Cursor();
  } else {
    TBufferCoord p = DisplayToBufferPos(PixelsToRowColumn(c.X, c.Y));
    if (fOptions.Contains(eoDragDropEditing) && !MouseCapture() && IsPointInSelection(p))
      cursor = crArrow;
    else
      cursor = Cursor();
    if (OnMouseCursor.Assigned()) OnMouseCursor(this, p, cursor);
    fKbdHandler->ExecuteMouseCursor(this, p, cursor);
  }
  SetShownCursor(this, cursor);
}

// ---------------------------------------------------------------------------- wheel and scroll bars

void TCustomSrcEdit::WMMouseWheel(TMessage& Message) {
  TShiftState shift = MouseKeysToShiftState(LoWord(Message.WParam));
  int rowsPerNotch;
  if (shift.Contains(ssCtrl))
    rowsPerNotch = fOptions.Contains(eoHalfPageScroll) ? fLinesInWindow / 2 : fLinesInWindow;
  else
    rowsPerNotch = WheelScrollLines();
  int delta = static_cast<int16_t>(HiWord(Message.WParam));
  fWheelAccumulator += delta;
  int notches = fWheelAccumulator / WHEEL_DELTA;
  fWheelAccumulator %= WHEEL_DELTA;
  if (rowsPerNotch == WHEEL_PAGESCROLL || rowsPerNotch > fLinesInWindow) rowsPerNotch = fLinesInWindow;
  SetTopLine(fTopLine - notches * rowsPerNotch);
  Update();
  CallEvent(OnScroll, this, sbVertical);
}

void TCustomSrcEdit::WMHScroll(TMessage& Message) {
  Message.Result = 0;
  int oneLess = fOptions.Contains(eoScrollByOneLess) ? 1 : 0;
  bool pastEol = fOptions.Contains(eoScrollPastEol);
  switch (LoWord(Message.WParam)) {
    case SB_TOP: SetLeftChar(1); break;
    case SB_BOTTOM:
      SetLeftChar(pastEol ? ScrollWidth() - fCharsInWindow + 1 : fLines->LengthOfLongestLine());
      break;
    case SB_LINEDOWN: SetLeftChar(fLeftChar + 1); break;
    case SB_LINEUP: SetLeftChar(fLeftChar - 1); break;
    case SB_PAGEDOWN: SetLeftChar(fLeftChar + fCharsInWindow - oneLess); break;
    case SB_PAGEUP: SetLeftChar(fLeftChar - fCharsInWindow + oneLess); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      fIsScrolling = true;
      int pos = static_cast<int>(HiWord(Message.WParam));
      int range = ScrollWidth();
      SetLeftChar(range <= kMaxScrollPos ? pos : MulDiv(range, pos, kMaxScrollPos));
      break;
    }
    case SB_ENDSCROLL: fIsScrolling = false; break;
    default: break;
  }
  CallEvent(OnScroll, this, sbHorizontal);
}

void TCustomSrcEdit::WMVScroll(TMessage& Message) {
  Message.Result = 0;
  int oneLess = fOptions.Contains(eoScrollByOneLess) ? 1 : 0;
  switch (LoWord(Message.WParam)) {
    case SB_TOP: SetTopLine(1); break;
    case SB_BOTTOM: SetTopLine(DisplayLineCount()); break;
    case SB_LINEDOWN: SetTopLine(fTopLine + 1); break;
    case SB_LINEUP: SetTopLine(fTopLine - 1); break;
    case SB_PAGEDOWN: SetTopLine(fTopLine + fLinesInWindow - oneLess); break;
    case SB_PAGEUP: SetTopLine(fTopLine - fLinesInWindow + oneLess); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      fIsScrolling = true;
      int pos = static_cast<int>(HiWord(Message.WParam));
      int rows = DisplayLineCount();
      SetTopLine(rows <= kMaxScrollPos ? pos : MulDiv(rows + fLinesInWindow - 1, pos, kMaxScrollPos));
      if (fOptions.Contains(eoShowScrollHint)) ShowScrollHint();
      break;
    }
    case SB_ENDSCROLL:
      fIsScrolling = false;
      if (fOptions.Contains(eoShowScrollHint) && gScrollHint) gScrollHint->ReleaseHandle();
      break;
    default: break;
  }
  Update();
  CallEvent(OnScroll, this, sbVertical);
}

THintWindow* TCustomSrcEdit::ScrollHint() {
  // Shared by every editor of the program and kept until the program ends.
  if (!gScrollHint) gScrollHint = new THintWindow(Application);
  return gScrollHint;
}

void TCustomSrcEdit::ShowScrollHint() {
  THintWindow* hint = ScrollHint();
  hint->SetColor(fScrollHintColor);
  AnsiString text;
  if (fScrollHintFormat == shfTopToBottom) {
    int rows = DisplayLineCount();
    text = Format(kScrollHintTopToBottom,
                  {RowToLine(fTopLine), RowToLine(fTopLine + std::min(fLinesInWindow, rows - fTopLine))});
  } else {
    text = Format(kScrollHintTopLine, {RowToLine(fTopLine)});
  }
  if (text.size() > 255) text.resize(255);
  TRect r = hint->CalcHintRect(kScrollHintMaxWidth, text);
  int w = r.Width(), h = r.Height();
  TPoint at{ClientWidth() - w - 4, 10};
  if (fOptions.Contains(eoScrollHintFollows)) {
    TScrollInfo si = GetScrollInfo(SB_VERT);
    int arrow = GetSystemMetrics(SM_CYVSCROLL);
    double part = si.nMax > 0 ? static_cast<double>(si.nTrackPos) / si.nMax : 0.0;
    at.Y = arrow + static_cast<int>(std::lround((ClientHeight() - 2 * arrow) * part)) + h / 2;
  }
  at = ClientToScreen(at);
  hint->ActivateHint(TRect{at.X, at.Y, at.X + w, at.Y + h}, text);
  hint->Update();
}

// ---------------------------------------------------------------------------- dragging text

void TCustomSrcEdit::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
  TCustomControl::DragOver(Source, X, Y, State, Accept);
  auto* source = dynamic_cast<TCustomSrcEdit*>(Source);
  if (!source || ReadOnly()) return;
  Accept = true;
  SetDragCursor(KeyHeld(VK_CONTROL) ? crMultiDrag : crDrag);
  if (!Dragging()) {
    // Text from another editor: the caret shows where it would land.
    ComputeCaret(X, Y);
  } else if (State == dsDragLeave) {
    fDragRunning = false;
    fScrollTimer->SetEnabled(false);
    ComputeCaret(fMouseDownX, fMouseDownY);
  } else {
    fDragRunning = true;
    TDisplayCoord p = PixelsToRowColumn(X, Y);
    p.Column = std::clamp(p.Column, fLeftChar, std::max(fLeftChar, fLeftChar + fCharsInWindow - 1));
    p.Row = std::clamp(p.Row, fTopLine, std::max(fTopLine, fTopLine + fLinesInWindow - 1));
    InternalSetCaretXY(DisplayToBufferPos(p));
    ComputeScroll(X, Y);
  }
}

void TCustomSrcEdit::DragCanceled() {
  fDragRunning = false;
  fScrollTimer->SetEnabled(false);
  TCustomControl::DragCanceled();
}

void TCustomSrcEdit::DragDrop(TObject* Source, int X, int Y) {
  auto* source = dynamic_cast<TCustomSrcEdit*>(Source);
  if (ReadOnly() || !source || !source->SelAvail()) {
    TCustomControl::DragDrop(Source, X, Y);
    return;
  }
  fDragRunning = false;
  source->fDragRunning = false;
  fScrollTimer->SetEnabled(false);
  source->fScrollTimer->SetEnabled(false);
  PaintLockScope lock(this);
  TCustomControl::DragDrop(Source, X, Y);
  ComputeCaret(X, Y);
  TBufferCoord d = CaretXY();
  bool same = source == this;
  bool move, dropAfter = false, drop;
  if (same) {
    move = !KeyHeld(VK_CONTROL);
    TBufferCoord b = BlockBegin(), e = BlockEnd();
    dropAfter = d.Line > e.Line || (d.Line == e.Line && (d.Char > e.Char || (!move && d.Char == e.Char)));
    drop = dropAfter || d.Line < b.Line || (d.Line == b.Line && (d.Char < b.Char || (!move && d.Char == b.Char)));
  } else {
    move = KeyHeld(VK_SHIFT);
    drop = true;
  }
  if (!drop) return;  // inside the dragged selection

  bool forcedPastEol = false;
  try {
    TBufferCoord after;
    {
      UndoBlockScope block(this);
      AnsiString text = source->SelText();
      if (move) {
        if (same) {
          TBufferCoord b = BlockBegin(), e = BlockEnd();
          // The removal is recorded before it is made, so that what trimming takes from the
          // line it leaves is recorded after it, tabs as tabs.
          fUndoList->AddChange(rcDelete, b, e, text, smNormal);
          fBlockBegin = b;
          fBlockEnd = e;
          ReplaceSelection(fSelectionMode, AnsiString(), false);
          FlushTrimmed();
          if (dropAfter) {
            // The text after the removed block moved to its start.
            if (d.Line == e.Line) d.Char -= e.Char - b.Char;
            d.Line -= e.Line - b.Line;
          }
        } else {
          source->SetSelText(AnsiString());
        }
      }
      forcedPastEol = !fOptions.Contains(eoScrollPastEol);
      if (forcedPastEol) fOptions.Include(eoScrollPastEol);
      InternalSetCaretXY(d);
      SetBlockBegin(d);
      // A drop point beyond the line end brings the line out to it: the blanks are undone and
      // redone with the text.
      RecordPaddingTo(d);
      ReplaceSelection(smNormal, text, false);
      after = CaretXY();
      // What trimming took from the line the text went into follows this record.
      fUndoList->AddChange(same ? rcDropInsert : rcInsert, d, after, AnsiString(), smNormal);
    }
    // The dropped text ends selected with the caret at the drop point: anchored at its end,
    // the selecting move to the drop point keeps it selected. The move comes after the drop's
    // undo block, so the group break it leaves is not part of the drop's records: undo and
    // redo keep it on top of them, and the next change of the same kind stays a step apart.
    SetBlockBegin(after);
    CommandProcessor(ecSelGotoXY, 0, &d);
  } catch (...) {
    if (forcedPastEol) fOptions.Exclude(eoScrollPastEol);
    throw;
  }
  if (forcedPastEol) fOptions.Exclude(eoScrollPastEol);
}

// The control: construction, metrics, options, status reporting, invalidation, the reaction to
// the line store, caret shapes, focus, brackets and token queries.
#include "editor/src_edit.h"

#include <chrono>

#include <algorithm>
#include <climits>
#include <cmath>

#include "editor/core/text_utils.h"
#include "platform/clipboard.h"
#include "platform/dc.h"

int MulDiv(int Number, int Numerator, int Denominator) {
  if (Denominator == 0) return -1;
  long long p = static_cast<long long>(Number) * Numerator;
  long long d = Denominator;
  // Rounded half away from zero.
  long long q = (p >= 0) == (d > 0) ? (std::llabs(p) + std::llabs(d) / 2) / std::llabs(d)
                                    : -((std::llabs(p) + std::llabs(d) / 2) / std::llabs(d));
  return static_cast<int>(q);
}

TClipboardFormat SrcEditClipboardFormat() {
  static const TClipboardFormat format = RegisterClipboardFormat(SRCEDIT_CLIPBOARD_FORMAT_NAME);
  return format;
}

namespace {
// Registered when the module starts, so every editor of the program shares the number.
const TClipboardFormat kRegisteredAtStart = SrcEditClipboardFormat();

TRect UnionOf(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}
}  // namespace

// ---------------------------------------------------------------------------- construction

TCustomSrcEdit::TCustomSrcEdit(TComponent* AOwner) : TCustomControl(AOwner) {
  (void)kRegisteredAtStart;
  fLines = std::make_unique<TSrcEditStringList>();
  fLines->OnChanging = TNotifyEvent(this, &TCustomSrcEdit::LinesChanging);
  fLines->OnChange = TNotifyEvent(this, &TCustomSrcEdit::LinesChanged);
  fLines->OnCleared = TNotifyEvent(this, &TCustomSrcEdit::ListCleared);
  fLines->OnDeleted = TStringListChangeEvent(this, &TCustomSrcEdit::ListDeleted);
  fLines->OnInserted = TStringListChangeEvent(this, &TCustomSrcEdit::ListInserted);
  fLines->OnPutted = TStringListChangeEvent(this, &TCustomSrcEdit::ListPutted);
  fFontDummy = std::make_unique<TFont>();
  fUndoList = std::make_unique<TSrcEditUndoList>();
  fUndoList->OnAddedUndo = TNotifyEvent(this, &TCustomSrcEdit::UndoRedoAdded);
  fRedoList = std::make_unique<TSrcEditUndoList>();
  fRedoList->OnAddedUndo = TNotifyEvent(this, &TCustomSrcEdit::UndoRedoAdded);
  fUndoList->SetGroupUndo(fOptions.Contains(eoGroupUndo));
  fRedoList->SetGroupUndo(fOptions.Contains(eoGroupUndo));
  fActiveLineColor = clNone;
  fSelectedColor = std::make_unique<TSrcSelectedColor>();
  fSelectedColor->OnChange = TNotifyEvent(this, &TCustomSrcEdit::SelectedColorsChanged);
  fBookMarkOpt = std::make_unique<TSrcBookMarkOpt>(this);
  fBookMarkOpt->OnChange = TNotifyEvent(this, &TCustomSrcEdit::BookMarkOptionsChanged);
  fRightEdge = 80;
  fGutter = std::make_unique<TSrcGutter>();
  fGutter->OnChange = TNotifyEvent(this, &TCustomSrcEdit::GutterChanged);
  fGutterWidth = fGutter->Width();
  fWordWrapGlyph = std::make_unique<TSrcGlyph>(HInstance, "SrcEditWrapped", clLime);
  fWordWrapGlyph->OnChange = TNotifyEvent(this, &TCustomSrcEdit::WordWrapGlyphChanged);
  fTextOffset = fGutterWidth + 2;
  SetBounds(Left(), Top(), 200, 150);
  SetCursor(crIBeam);
  SetColor(clWindow);
  fFontDummy->SetName("Courier New");
  fFontDummy->SetSize(10);
  fFontDummy->SetCharset(1);
  fTextDrawer = std::make_unique<TheTextDrawer>(TFontStyles{fsBold}, fFontDummy.get());
  fFont = std::make_unique<TFont>();
  fFont->Assign(fFontDummy.get());
  fFont->OnChange = TNotifyEvent(this, &TCustomSrcEdit::FontChanged);
  fInserting = true;
  fMaxScrollWidth = 1024;
  fScrollBars = ssBoth;
  SetBorderStyle(bsSingle);
  fInsertCaret = ctVerticalLine;
  fOverwriteCaret = ctBlock;
  fSelectionMode = smNormal;
  fKbdHandler = std::make_unique<TSrcEditKbdHandler>();
  fKeyStrokes = std::make_unique<TSrcEditKeyStrokes>(this);
  fMarkList = std::make_unique<TSrcEditMarkList>(this);
  fMarkList->OnChange = TNotifyEvent(this, &TCustomSrcEdit::MarkListChanged);
  SetDefaultKeystrokes();
  fRightEdgeColor = clSilver;
  fImeCount = 0;
  fTrailByteShift = false;
  fWantReturns = true;
  fWantTabs = false;
  fTabWidth = 8;
  fLines->SetTabWidth(8);
  fLeftChar = fTopLine = fCaretX = fKeptCaretX = fCaretY = 1;
  fBlockBegin = fBlockEnd = BufferCoord(1, 1);
  fOptions = TSrcEditorOptions::FromBits(SRCEDIT_DEFAULT_OPTIONS);
  fScrollTimer = std::make_unique<TTimer>(nullptr);
  fScrollTimer->SetEnabled(false);
  fScrollTimer->SetInterval(100);
  fScrollTimer->OnTimer = TNotifyEvent(this, &TCustomSrcEdit::ScrollTimerHandler);
  fRangeTimer = std::make_unique<TTimer>(nullptr);
  fRangeTimer->SetEnabled(false);
  fRangeTimer->SetInterval(1);
  fRangeTimer->OnTimer = TNotifyEvent(this, &TCustomSrcEdit::RangeTimerHandler);
  fLines->OnRangeNeeded = TMethod<void(int)>(this, &TCustomSrcEdit::RangeNeeded);
  fScrollHintColor = clInfoBk;
  fScrollHintFormat = shfTopLineOnly;
  FontChanged(nullptr);
}

TCustomSrcEdit::~TCustomSrcEdit() {
  BeginDestroy();
  WithdrawPrimarySelection(this);
  SetHighlighter(nullptr);
  // The window goes first: its messages must not reach half-destroyed members.
  if (HandleAllocated()) DestroyHandle();
  fLines->OnChanging = nullptr;
  fLines->OnChange = nullptr;
  fLines->OnCleared = nullptr;
  fLines->OnDeleted = nullptr;
  fLines->OnInserted = nullptr;
  fLines->OnPutted = nullptr;
  fLines->OnRangeNeeded = nullptr;
  fRangeTimer->SetEnabled(false);
  fUndoList->OnAddedUndo = nullptr;
  fRedoList->OnAddedUndo = nullptr;
  fFont->OnChange = nullptr;
  fHookedCommandHandlers.reset();
  fMarkList.reset();
  fBookMarkOpt.reset();
  fKeyStrokes.reset();
  fKbdHandler.reset();
  fSelectedColor.reset();
  fUndoList.reset();
  fRedoList.reset();
  fGutter.reset();
  fWordWrapGlyph.reset();
  fTextDrawer.reset();
  fFontDummy.reset();
  fLines.reset();
}

void TCustomSrcEdit::SetDefaultKeystrokes() { fKeyStrokes->ResetDefaults(); }

// ---------------------------------------------------------------------------- window

void TCustomSrcEdit::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  Params.WindowClassStyle &= ~(CS_HREDRAW | CS_VREDRAW);
  Params.Style |= WS_CLIPCHILDREN;
  if (BorderStyle() == bsSingle) {
    // New-style controls draw a sunken client edge instead of a plain border.
    Params.ExStyle |= WS_EX_CLIENTEDGE;
  }
}

void TCustomSrcEdit::CreateWnd() {
  TCustomControl::CreateWnd();
  if (fOptions.Contains(eoDropFiles)) DragAcceptFiles(true);
  SizeOrFontChanged(false);
  UpdateScrollBars();
}

void TCustomSrcEdit::DestroyWnd() {
  if (fOptions.Contains(eoDropFiles) && HandleAllocated()) DragAcceptFiles(false);
  if (fStateFlags & sfCaretShown) ExcludeState(sfCaretShown);
  TCustomControl::DestroyWnd();
}

void TCustomSrcEdit::Loaded() {
  TCustomControl::Loaded();
  GutterChanged(this);
  UpdateScrollBars();
}

void TCustomSrcEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove || AComponent == nullptr) return;
  if (AComponent == fHighlighter) SetHighlighter(nullptr);
  if (AComponent == fBookMarkOpt->BookmarkImages()) fBookMarkOpt->SetBookmarkImages(nullptr);
  if (AComponent == fSearchEngine) fSearchEngine = nullptr;
}

void TCustomSrcEdit::SetEditBorderStyle(TBorderStyle Value) {
  if (BorderStyle() == Value) return;
  SetBorderStyle(Value);
  if (HandleAllocated()) RecreateWnd();
}

// ---------------------------------------------------------------------------- metrics

void TCustomSrcEdit::RecalcCharExtent() {
  bool used[4] = {false, false, false, false};  // none, italic, bold, bold+italic
  auto mark = [&](TFontStyles s) {
    int i = (s.Contains(fsItalic) ? 1 : 0) + (s.Contains(fsBold) ? 2 : 0);
    used[i] = true;
  };
  if (fHighlighter && fHighlighter->GetAttribCount() > 0) {
    for (int i = 0; i < fHighlighter->GetAttribCount(); ++i) mark(fHighlighter->GetAttribute(i)->Style());
  } else {
    mark(fFont->Style());
  }
  fTextHeight = 0;
  fCharWidth = 0;
  fTextDrawer->SetBaseFont(fFont.get());
  static const TFontStyles styles[4] = {TFontStyles{}, TFontStyles{fsItalic}, TFontStyles{fsBold},
                                        TFontStyles{fsBold, fsItalic}};
  for (int i = 0; i < 4; ++i) {
    if (!used[i]) continue;
    fTextDrawer->SetMeasureStyle(styles[i]);
    fTextHeight = std::max(fTextHeight, fTextDrawer->CellHeight());
    fCharWidth = std::max(fCharWidth, fTextDrawer->CellWidth());
  }
  fTextHeight += fExtraLineSpacing;
  if (fTextHeight <= 0) fTextHeight = 1;
}

void TCustomSrcEdit::FontChanged(TObject*) {
  RecalcCharExtent();
  SizeOrFontChanged(true);
}

void TCustomSrcEdit::SizeOrFontChanged(bool bFont) {
  if (!HandleAllocated() || fCharWidth == 0) return;
  fCharsInWindow = std::max(ClientWidth() - fGutterWidth - 2, 0) / fCharWidth;
  fLinesInWindow = ClientHeight() / fTextHeight;
  if (fWordWrapPlugin) {
    fWordWrapPlugin->DisplayChanged();
    Invalidate();
  }
  if (bFont) {
    if (fGutter->ShowLineNumbers())
      GutterChanged(this);
    else
      UpdateScrollBars();
    InitializeCaret();
    ExcludeState(sfCaretUpdatePending);
    Invalidate();
  } else {
    UpdateScrollBars();
  }
  ExcludeState(sfScrollBarsUpdatePending);
  if (!fOptions.Contains(eoScrollPastEol)) SetLeftChar(fLeftChar);
  if (!fOptions.Contains(eoScrollPastEof)) SetTopLine(fTopLine);
}

void TCustomSrcEdit::SetFont(TFont* Value) {
  if (!Value) return;
  HDC dc = GetDC(nullptr);
  HFONT old = SelectObject(dc, Value->Handle());
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  if (tm.tmAveCharWidth != tm.tmMaxCharWidth) {
    // A proportional font becomes the fixed-pitch font of the same name, size and style.
    fFontDummy->SetColor(Value->Color());
    fFontDummy->SetPitch(fpFixed);
    fFontDummy->SetSize(Value->Size());
    fFontDummy->SetStyle(Value->Style());
    fFontDummy->SetName(Value->Name());
    fFont->Assign(fFontDummy.get());
  } else {
    fFont->Assign(Value);
  }
  if (fGutter->ShowLineNumbers()) GutterChanged(this);
}

void TCustomSrcEdit::SetExtraLineSpacing(int Value) {
  fExtraLineSpacing = Value;
  FontChanged(this);
}

void TCustomSrcEdit::GutterChanged(TObject*) {
  if (ComponentState() & csLoading) return;
  if (fGutter->ShowLineNumbers() && fGutter->AutoSize()) fGutter->AutoSizeDigitCount(fLines->Count());
  int w = fGutter->RealGutterWidth(fCharWidth);
  if (w == fGutterWidth)
    InvalidateGutter();
  else
    SetGutterWidth(w);
}

void TCustomSrcEdit::SetGutterWidth(int Value) {
  Value = std::max(Value, 0);
  if (fGutterWidth == Value) return;
  fGutterWidth = Value;
  fTextOffset = fGutterWidth + 2 - static_cast<int64_t>(fLeftChar - 1) * fCharWidth;
  if (HandleAllocated()) {
    if (fCharWidth > 0) fCharsInWindow = std::max(ClientWidth() - fGutterWidth - 2, 0) / fCharWidth;
    if (fWordWrapPlugin) fWordWrapPlugin->DisplayChanged();
    UpdateScrollBars();
    Invalidate();
  }
}

void TCustomSrcEdit::SetGutter(TSrcGutter* Value) {
  if (Value) fGutter->Assign(Value);
}

void TCustomSrcEdit::SetLines(TStrings* Value) {
  if (Value) fLines->Assign(Value);
}

void TCustomSrcEdit::SetKeystrokes(TSrcEditKeyStrokes* Value) {
  if (Value)
    fKeyStrokes->Assign(Value);
  else
    fKeyStrokes->Clear();
}

void TCustomSrcEdit::SetWordWrapGlyph(TSrcGlyph* Value) {
  if (Value) fWordWrapGlyph->Assign(Value);
}

void TCustomSrcEdit::WordWrapGlyphChanged(TObject*) {
  if (!(ComponentState() & csLoading)) InvalidateGutter();
}

// ---------------------------------------------------------------------------- options, properties

void TCustomSrcEdit::SetOptions(TSrcEditorOptions Value) {
  if (Value == fOptions) return;
  // Re-clamped under the old set before the new one takes effect.
  if (!fOptions.Contains(eoScrollPastEol)) SetLeftChar(fLeftChar);
  if (!fOptions.Contains(eoScrollPastEof)) SetTopLine(fTopLine);
  constexpr uint32_t kScrollMask = 0x30208;
  bool bUpdateScroll = ((fOptions.Bits() ^ Value.Bits()) & kScrollMask) != 0;
  bool dropChanged = fOptions.Contains(eoDropFiles) != Value.Contains(eoDropFiles);
  fOptions = Value;
  // The undo lists count their steps as Undo takes them.
  fUndoList->SetGroupUndo(fOptions.Contains(eoGroupUndo));
  fRedoList->SetGroupUndo(fOptions.Contains(eoGroupUndo));
  InternalSetCaretXY(CaretXY());
  if (fOptions.Contains(eoScrollPastEol)) {
    TBufferCoord anchor = fBlockBegin, end = fBlockEnd;
    SetBlockBegin(anchor);
    SetBlockEnd(end);
  }
  if (dropChanged && HandleAllocated()) DragAcceptFiles(fOptions.Contains(eoDropFiles));
  if (fOptions.Contains(eoShowSpecialChars) != fSpecialCharsShown) {
    fSpecialCharsShown = fOptions.Contains(eoShowSpecialChars);
    Invalidate();
  }
  if (bUpdateScroll) UpdateScrollBars();
}

void TCustomSrcEdit::SetReadOnly(bool Value) {
  if (fReadOnly == Value) return;
  fReadOnly = Value;
  StatusChanged(scReadOnly);
}

void TCustomSrcEdit::SetInsertMode(bool Value) {
  if (fInserting == Value) return;
  fInserting = Value;
  if (!(ComponentState() & csDesigning)) InitializeCaret();
  StatusChanged(scInsertMode);
}

void TCustomSrcEdit::SetInsertCaret(TSrcEditCaretType Value) {
  if (fInsertCaret == Value) return;
  fInsertCaret = Value;
  InitializeCaret();
}

void TCustomSrcEdit::SetOverwriteCaret(TSrcEditCaretType Value) {
  if (fOverwriteCaret == Value) return;
  fOverwriteCaret = Value;
  InitializeCaret();
}

void TCustomSrcEdit::SetMaxScrollWidth(int Value) {
  Value = ClampValue(Value, 1, INT_MAX - 1);
  if (fMaxScrollWidth == Value) return;
  fMaxScrollWidth = Value;
  if (fOptions.Contains(eoScrollPastEol)) UpdateScrollBars();
}

void TCustomSrcEdit::SetTabWidth(int Value) {
  Value = ClampValue(Value, 1, 256);
  if (fTabWidth == Value) return;
  // The store refuses a tab width that would make a line too wide, before anything changes.
  fLines->SetTabWidth(Value);
  fTabWidth = Value;
  Invalidate();
  if (fWordWrapPlugin) {
    fWordWrapPlugin->Reset();
    InvalidateGutter();
  }
}

void TCustomSrcEdit::SetRightEdge(int Value) {
  if (fRightEdge == Value) return;
  fRightEdge = Value;
  Invalidate();
}

void TCustomSrcEdit::SetRightEdgeColor(TColor Value) {
  if (fRightEdgeColor == Value) return;
  fRightEdgeColor = Value;
  if (HandleAllocated()) {
    int x = ColumnToPixelX(static_cast<int64_t>(fRightEdge) + 1);
    InvalidateRect(TRect{x - 1, 0, x + 1, Height()}, false);
  }
}

void TCustomSrcEdit::SetActiveLineColor(TColor Value) {
  if (fActiveLineColor == Value) return;
  fActiveLineColor = Value;
  InvalidateLine(fCaretY);
}

void TCustomSrcEdit::SetScrollBars(TScrollStyle Value) {
  if (fScrollBars == Value) return;
  fScrollBars = Value;
  UpdateScrollBars();
  Invalidate();
}

void TCustomSrcEdit::SetHideSelection(bool Value) {
  if (fHideSelection == Value) return;
  fHideSelection = Value;
  InvalidateSelection();
}

void TCustomSrcEdit::SetMaxUndo(int Value) {
  if (Value < 0) return;
  fUndoList->SetMaxUndoActions(Value);
  fRedoList->SetMaxUndoActions(Value);
}

void TCustomSrcEdit::SetModified(bool Value) {
  if (Value == fModified) return;
  fModified = Value;
  if (fOptions.Contains(eoGroupUndo) && !Value && fUndoList->CanUndo()) fUndoList->AddGroupBreak();
  fUndoList->SetInitialState(!Value);
  StatusChanged(scModified);
}

void TCustomSrcEdit::UpdateModifiedStatus() { SetModified(!fUndoList->InitialState()); }

void TCustomSrcEdit::ClearUndo() {
  fTrimmed.clear();
  fUndoList->Clear();
  fRedoList->Clear();
  // The emptied list stands for the text as it is now: the saved state only when unmodified, so a
  // later undo with nothing to take back cannot mark changed text as saved.
  fUndoList->SetInitialState(!fModified);
}

void TCustomSrcEdit::LockUndo() {
  fUndoList->Lock();
  fRedoList->Lock();
}

void TCustomSrcEdit::UnlockUndo() {
  fUndoList->Unlock();
  fRedoList->Unlock();
}

// ---------------------------------------------------------------------------- highlighter

void TCustomSrcEdit::SetHighlighter(TSrcCustomHighlighter* Value) {
  if (Value == fHighlighter) return;
  if (fHighlighter) {
    fHighlighter->RemoveChangeHook(TNotifyEvent(this, &TCustomSrcEdit::HighlighterAttrChanged));
    fHighlighter->RemoveFreeNotification(this);
  }
  if (Value) {
    Value->AddChangeHook(TNotifyEvent(this, &TCustomSrcEdit::HighlighterAttrChanged));
    Value->FreeNotification(this);
  }
  fHighlighter = Value;
  if (!Destroying()) HighlighterAttrChanged(fHighlighter);
}

void TCustomSrcEdit::HighlighterAttrChanged(TObject* Sender) {
  RecalcCharExtent();
  if (Sender != nullptr && Sender == fHighlighter) {
    fLines->BeginUpdate();
    try {
      ScanRanges();
    } catch (...) {
      fLines->EndUpdate();
      throw;
    }
    fLines->EndUpdate();
  } else {
    Invalidate();
  }
  SizeOrFontChanged(true);
}

void TCustomSrcEdit::ScanRanges() {
  if (!fHighlighter || fLines->Count() == 0) {
    fLines->MarkRangesValid();
    return;
  }
  // Every line is scanned again: the visible ones now, the rest in idle time.
  fLines->SetRangesStale(0, fLines->Count() - 1);
  ScanFrom(0, LastScanLine(), true);
}

// A last line longer than this is scanned in idle time after a change (a 50 MB line takes a
// quarter of a second): the keystroke shows at once.
constexpr size_t kLongLastLine = size_t(1) << 20;

int TCustomSrcEdit::LastScanLine() const {
  int lastRow = fTopLine + std::max(fLinesInWindow, 0);
  int line = fWordWrapPlugin ? RowToLine(lastRow) : lastRow;
  return std::max(line, 0);
}

int TCustomSrcEdit::ScanFrom(int Index, int Limit, bool Visible) {
  int count = fLines->Count();
  if (Index >= count) return Index;
  if (!fHighlighter) {
    fLines->MarkRangesValid();
    return Index;
  }
  if (Index > Limit) {
    // Out of sight: left for idle time (and for whoever reads the ranges first).
    fLines->MarkRangesStale(Index, Index);
    ScheduleRangeScan();
    return Index;
  }
  // The range the scan starts from must be up to date itself.
  if (Index == 0)
    fHighlighter->ResetRange();
  else
    fHighlighter->SetRange(reinterpret_cast<TSrcRange>(fLines->GetRange(Index - 1)));
  int staleFrom = fLines->RangesStaleFrom(), staleTo = fLines->RangesStaleTo();
  for (;;) {
    if (Visible && Index + 1 >= count && fLines->Line(Index).size() > kLongLastLine) {
      fLines->MarkRangesStale(Index, Index);
      ScheduleRangeScan();
      return Index;
    }
    intptr_t r = reinterpret_cast<intptr_t>(fHighlighter->ScanLineRange(fLines->Line(Index), Index));
    bool inStale = Index >= staleFrom;
    // An unchanged range ends the scan, except inside the part known to be out of date.
    if (fLines->RawRange(Index) == r && !(inStale && Index < staleTo)) {
      if (inStale) fLines->MarkRangesValid();
      return Index;
    }
    fLines->SetRawRange(Index, r);
    if (Index + 1 >= count) {
      if (inStale) fLines->MarkRangesValid();
      return Index;
    }
    if (Index >= Limit) {
      // The rest of the part already out of date stays so; the next line joins it.
      if (inStale) fLines->SetRangesStale(Index + 1, std::max(staleTo, Index + 1));
      else fLines->MarkRangesStale(Index + 1, Index + 1);
      ScheduleRangeScan();
      return Index;
    }
    ++Index;
  }
}

void TCustomSrcEdit::RangeNeeded(int Index) {
  // Scans from the first out-of-date line as far as Index (or until the ranges agree again).
  while (fHighlighter && Index >= fLines->RangesStaleFrom()) {
    int from = fLines->RangesStaleFrom();
    if (from >= fLines->Count()) break;
    ScanFrom(from, Index);
  }
  if (!fHighlighter) fLines->MarkRangesValid();
}

void TCustomSrcEdit::ScheduleRangeScan() {
  if (!fRangeTimer->Enabled()) fRangeTimer->SetEnabled(true);
}

void TCustomSrcEdit::RangeTimerHandler(TObject*) {
  // Slices of a few milliseconds, so that typing and painting go on meanwhile.
  auto start = std::chrono::steady_clock::now();
  int first = fLines->RangesStaleFrom(), last = first;
  while (fHighlighter && fLines->RangesStaleFrom() < fLines->Count()) {
    int from = fLines->RangesStaleFrom();
    last = ScanFrom(from, from + 1000);
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(4)) break;
  }
  if (!fHighlighter || fLines->RangesStaleFrom() >= fLines->Count()) {
    fLines->MarkRangesValid();
    fRangeTimer->SetEnabled(false);
  }
  // Lines in sight are kept up to date at once; this only matters when the view moved meanwhile.
  if (first != TSrcEditStringList::kNoStaleRange && HandleAllocated()) InvalidateLines(first + 1, last + 1);
}

// ---------------------------------------------------------------------------- line-store events

void TCustomSrcEdit::LinesChanging(TObject*) { IncludeState(sfLinesChanging); }

void TCustomSrcEdit::LinesChanged(TObject*) {
  ExcludeState(sfLinesChanging);
  if (HandleAllocated()) {
    UpdateScrollBars();
    SetBlockBegin(CaretXY());
    if (!fInvalidateRect.IsEmpty()) InvalidateRect(fInvalidateRect, false);
    fInvalidateRect = TRect{0, 0, 0, 0};
    if (!fOptions.Contains(eoScrollPastEof)) SetTopLine(fTopLine);
  }
  // Also before the window exists: a document loaded before the control is shown must not
  // keep the gutter of the empty one.
  if (fGutter->ShowLineNumbers() && fGutter->AutoSize()) fGutter->AutoSizeDigitCount(fLines->Count());
}

void TCustomSrcEdit::ListCleared(TObject*) {
  if (fWordWrapPlugin) fWordWrapPlugin->Reset();
  ClearUndo();
  fInvalidateRect = TRect{0, 0, 0, 0};
  Invalidate();
  fCaretX = fCaretY = fKeptCaretX = 1;
  fBlockBegin = fBlockEnd = BufferCoord(1, 1);
  SetTopLine(1);
  SetLeftChar(1);
  fTopLine = 1;
  fLeftChar = 1;
  fTextOffset = fGutterWidth + 2;
  IncludeState(sfCaretUpdatePending | sfScrollBarsUpdatePending);
  fStatusChanges |= scAll;
}

void TCustomSrcEdit::ListDeleted(TObject*, int Index, int Count) {
  if (fHighlighter && fLines->Count() > 0) ScanFrom(Index, LastScanLine(), true);
  if (fWordWrapPlugin) fWordWrapPlugin->LinesDeleted(Index, Count);
  InvalidateLines(Index + 1, INT_MAX);
  InvalidateGutterLines(Index + 1, INT_MAX);
}

void TCustomSrcEdit::ListInserted(TObject*, int Index, int Count) {
  if (fHighlighter && fLines->Count() > 0) {
    // The new lines are scanned whatever their stored ranges hold.
    fLines->MarkRangesStale(Index, Index + Count - 1);
    ScanFrom(Index, LastScanLine(), true);
  }
  if (fWordWrapPlugin) fWordWrapPlugin->LinesInserted(Index, Count);
  InvalidateLines(Index + 1, INT_MAX);
  InvalidateGutterLines(Index + 1, INT_MAX);
  if (fOptions.Contains(eoAutoSizeMaxScrollWidth) && Index < fLines->Count()) {
    int l = fLines->ExpandedStringLengths(Index);
    if (l > fMaxScrollWidth) SetMaxScrollWidth(l);
  }
}

void TCustomSrcEdit::ListPutted(TObject*, int Index, int Count) {
  int vEndLine = Index + std::max(Count, 1);
  if (fWordWrapPlugin) {
    if (fWordWrapPlugin->LinesPutted(Index, Count) != 0) vEndLine = INT_MAX;
    InvalidateGutterLines(Index + 1, vEndLine);
  }
  if (fHighlighter) {
    // Lines stored together are scanned whatever their stored ranges hold: a range that agrees
    // early must not end the scan before the last of them.
    if (Count > 1) fLines->MarkRangesStale(Index, Index + Count - 1);
    vEndLine = std::max(vEndLine, ScanFrom(Index, LastScanLine(), true) + 1);
  }
  InvalidateLines(Index + 1, vEndLine);
  if (fOptions.Contains(eoAutoSizeMaxScrollWidth) && Index < fLines->Count()) {
    int l = Count > 1 ? fLines->LengthOfLongestLine() : fLines->ExpandedStringLengths(Index);
    if (l > fMaxScrollWidth) SetMaxScrollWidth(l);
  }
}

void TCustomSrcEdit::UndoRedoAdded(TObject* Sender) {
  if (Sender == fUndoList.get()) FlushTrimmed();
  UpdateModifiedStatus();
  if (Sender == fUndoList.get() && !IsRedoRunning()) {
    TSrcEditUndoItem* item = fUndoList->PeekItem();
    if (item && item->fChangeReason != rcGroupBreak) fRedoList->Clear();
  }
  auto* list = static_cast<TSrcEditUndoList*>(Sender);
  if (list->BlockCount() == 0) DoChange();
}

void TCustomSrcEdit::DoChange() { CallEvent(OnChange, this); }

// Count lines after FirstLine went away (their text, if any, joined to FirstLine): marks
// below them move up, marks on them go to FirstLine, marks on FirstLine and above stay.
void TCustomSrcEdit::DoLinesDeleted(int FirstLine, int Count) {
  for (int i = 0; i < fMarkList->Count(); ++i) {
    TSrcEditMark* m = fMarkList->Items(i);
    if (m->Line() >= FirstLine + Count)
      m->SetLine(m->Line() - Count);
    else if (m->Line() > FirstLine)
      m->SetLine(FirstLine);
  }
}

void TCustomSrcEdit::DoLinesInserted(int FirstLine, int Count) {
  for (int i = 0; i < fMarkList->Count(); ++i) {
    TSrcEditMark* m = fMarkList->Items(i);
    if (m->Line() >= FirstLine) m->SetLine(m->Line() + Count);
  }
}

// ---------------------------------------------------------------------------- paint lock, status

void TCustomSrcEdit::DecPaintLock() {
  if (fPaintLock > 0) --fPaintLock;
  if (fPaintLock == 0) FlushTrimmed();
  if (fPaintLock == 0 && HandleAllocated()) {
    if (fStateFlags & sfScrollBarsUpdatePending) UpdateScrollBars();
    if (fWordWrapPlugin && (fStatusChanges & (scCaretX | scCaretY)) && fCharsInWindow > 0) {
      TDisplayCoord d = DisplayXY();
      if (d.Column > fCharsInWindow + 1) {
        if (fCaretAtRowEnd) {
          fCaretAtRowEnd = false;
        } else {
          TBufferCoord b = DisplayToBufferPos(DisplayCoord(fCharsInWindow + 1, d.Row));
          fCaretX = b.Char;
          fStatusChanges |= scCaretX;
        }
        fKeptCaretX = DisplayXY().Column;
        fTrailByteShift = false;
        IncludeState(sfCaretUpdatePending);
      }
    }
    if (fStateFlags & sfCaretUpdatePending) UpdateCaret();
  }
  if (fPaintLock == 0 && fStatusChanges != 0) DoOnStatusChange(fStatusChanges);
}

void TCustomSrcEdit::StatusChanged(TSrcStatusChanges Changes) {
  fStatusChanges |= Changes;
  if (fPaintLock == 0) DoOnStatusChange(fStatusChanges);
}

void TCustomSrcEdit::DoOnStatusChange(TSrcStatusChanges Changes) {
  if (Changes & scSelection) OfferSelection();
  if (OnStatusChange.Assigned()) {
    OnStatusChange(this, Changes);
    fStatusChanges = 0;
  }
}

// ---------------------------------------------------------------------------- invalidation

void TCustomSrcEdit::InvalidateRect(const TRect& R, bool) {
  if (!HandleAllocated() || !Visible()) return;
  TWinControl::InvalidateRect(R);
}

void TCustomSrcEdit::InvalidateOrPend(const TRect& R) {
  if (R.IsEmpty()) return;
  if (fStateFlags & sfLinesChanging)
    fInvalidateRect = UnionOf(fInvalidateRect, R);
  else
    InvalidateRect(R, false);
}

void TCustomSrcEdit::InvalidateGutterLines(int FirstLine, int LastLine) {
  if (!HandleAllocated() || !Visible()) return;
  if (FirstLine == -1 && LastLine == -1) {
    InvalidateOrPend(TRect{0, 0, fGutterWidth, ClientHeight()});
    return;
  }
  if (LastLine < FirstLine) std::swap(FirstLine, LastLine);
  if (fWordWrapPlugin) {
    FirstLine = LineToRow(FirstLine);
    LastLine = LastLine > fLines->Count() ? INT_MAX : LineToRow(LastLine);
  }
  FirstLine = std::max(FirstLine, fTopLine);
  LastLine = std::min(LastLine, fTopLine + fLinesInWindow);
  if (LastLine < FirstLine) return;
  InvalidateOrPend(TRect{0, (FirstLine - fTopLine) * fTextHeight, fGutterWidth,
                         (LastLine - fTopLine + 1) * fTextHeight});
}

void TCustomSrcEdit::InvalidateLines(int FirstLine, int LastLine) {
  if (!HandleAllocated() || !Visible()) return;
  if (FirstLine == -1 && LastLine == -1) {
    InvalidateOrPend(TRect{fGutterWidth, 0, ClientWidth(), ClientHeight()});
    return;
  }
  FirstLine = std::max(FirstLine, 1);
  LastLine = std::max(LastLine, 1);
  if (LastLine < FirstLine) std::swap(FirstLine, LastLine);
  if (LastLine >= fLines->Count()) LastLine = INT_MAX;
  if (fWordWrapPlugin) {
    FirstLine = LineToRow(FirstLine);
    if (LastLine < fLines->Count()) LastLine = LineToRow(LastLine + 1) - 1;
  }
  FirstLine = std::max(FirstLine, fTopLine);
  LastLine = std::min(LastLine, fTopLine + fLinesInWindow);
  if (LastLine < FirstLine) return;
  InvalidateOrPend(TRect{fGutterWidth, (FirstLine - fTopLine) * fTextHeight, ClientWidth(),
                         (LastLine - fTopLine + 1) * fTextHeight});
}

void TCustomSrcEdit::InvalidateLine(int Line) {
  if (!HandleAllocated() || !Visible()) return;
  if (Line < 1 || Line > fLines->Count()) return;
  if (fWordWrapPlugin) {
    InvalidateLines(Line, Line);
    return;
  }
  if (Line < fTopLine || Line > fTopLine + fLinesInWindow) return;
  int y = (Line - fTopLine) * fTextHeight;
  InvalidateOrPend(TRect{fGutterWidth, y, ClientWidth(), y + fTextHeight});
}

void TCustomSrcEdit::InvalidateSelection() { InvalidateLines(BlockBegin().Line, BlockEnd().Line); }

// ---------------------------------------------------------------------------- caret display

void TCustomSrcEdit::InitializeCaret() {
  TSrcEditCaretType ct = fInserting ? fInsertCaret : fOverwriteCaret;
  int cw = 0, ch = 0;
  switch (ct) {
    case ctHorizontalLine:
      cw = fCharWidth; ch = 2; fCaretOffset = TPoint{0, fTextHeight - 2};
      break;
    case ctHalfBlock:
      cw = fCharWidth; ch = (fTextHeight - 2) / 2; fCaretOffset = TPoint{0, ch};
      break;
    case ctBlock:
      cw = fCharWidth; ch = fTextHeight - 2; fCaretOffset = TPoint{0, 0};
      break;
    default:
      cw = 2; ch = fTextHeight - 2; fCaretOffset = TPoint{-1, 0};
      break;
  }
  ExcludeState(sfCaretShown);
  if (HandleAllocated() && (Focused() || fAlwaysShowCaret)) {
    CreateCaret(this, cw, ch);
    UpdateCaret();
  }
}

void TCustomSrcEdit::UpdateCaret() {
  if (fPaintLock != 0 || !HandleAllocated() || !(Focused() || fAlwaysShowCaret)) {
    IncludeState(sfCaretUpdatePending);
    return;
  }
  ExcludeState(sfCaretUpdatePending);
  TPoint p = RowColumnToPixels(DisplayXY());
  p.X += fCaretOffset.X;
  p.Y += fCaretOffset.Y + 1;
  SetCaretPos(p.X, p.Y);
  TRect cr = ClientRect();
  cr.Left = fGutterWidth;
  if (cr.Contains(p))
    ShowCaret();
  else
    HideCaret();
}

void TCustomSrcEdit::ShowCaret() {
  if (fOptions.Contains(eoNoCaret) || (fStateFlags & sfCaretShown)) return;
  ShowSystemCaret(this);
  IncludeState(sfCaretShown);
}

void TCustomSrcEdit::HideCaret() {
  if (!(fStateFlags & sfCaretShown)) return;
  HideSystemCaret(this);
  ExcludeState(sfCaretShown);
}

void TCustomSrcEdit::SetAlwaysShowCaret(bool Value) {
  if (fAlwaysShowCaret == Value) return;
  fAlwaysShowCaret = Value;
  if (Destroying() || Focused()) return;
  if (Value) {
    InitializeCaret();
  } else {
    HideCaret();
    DestroyCaret();
  }
}

// ---------------------------------------------------------------------------- focus

void TCustomSrcEdit::AddFocusControl(TWinControl* AControl) { fFocusList.push_back(AControl); }

void TCustomSrcEdit::RemoveFocusControl(TWinControl* AControl) {
  auto it = std::find(fFocusList.begin(), fFocusList.end(), AControl);
  if (it != fFocusList.end()) fFocusList.erase(it);
}

void TCustomSrcEdit::SetFocus() {
  if (!fFocusList.empty())
    fFocusList.back()->SetFocus();
  else
    TCustomControl::SetFocus();
}

bool TCustomSrcEdit::CanFocus() const { return TCustomControl::CanFocus(); }

// ---------------------------------------------------------------------------- paint events

void TCustomSrcEdit::DoOnPaint(TCanvas* ACanvas) {
  if (!OnPaint.Assigned()) return;
  ACanvas->Font()->Assign(fFont.get());
  ACanvas->Brush()->SetColor(Color());
  OnPaint(this, ACanvas);
}

void TCustomSrcEdit::DoOnPaintTransientEx(TTransientType TransientType, bool Lock) {
  bool fire = fTransientLock.Enter(TransientType, Lock);
  if (!fire || !OnPaintTransient.Assigned() || !HandleAllocated()) return;
  // Within a paint the handler draws with the paint; otherwise straight on the window.
  std::unique_ptr<TCanvas> own;
  TCanvas* canvas = fPaintCanvas;
  if (!canvas) {
    own = CreateControlCanvas(this);
    canvas = own.get();
  }
  canvas->Font()->Assign(fFont.get());
  canvas->Brush()->SetColor(Color());
  HideCaret();
  try {
    OnPaintTransient(this, canvas, TransientType);
  } catch (...) {
    ShowCaret();
    throw;
  }
  ShowCaret();
}

// ---------------------------------------------------------------------------- dispatchers

void TCustomSrcEdit::DoOnClearBookmark(TSrcEditMark*& Mark) { CallEvent(OnClearBookmark, this, Mark); }
void TCustomSrcEdit::DoOnPlaceBookmark(TSrcEditMark*& Mark) { CallEvent(OnPlaceBookmark, this, Mark); }

void TCustomSrcEdit::DoOnCommandProcessed(TSrcEditorCommand Command, char AChar, void* Data) {
  CallEvent(OnCommandProcessed, this, Command, AChar, Data);
}

void TCustomSrcEdit::DoOnProcessCommand(TSrcEditorCommand& Command, char& AChar, void* Data) {
  if (Command < ecUserFirst)
    CallEvent(OnProcessCommand, this, Command, AChar, Data);
  else
    CallEvent(OnProcessUserCommand, this, Command, AChar, Data);
}

TSrcReplaceAction TCustomSrcEdit::DoOnReplaceText(const AnsiString& ASearch, const AnsiString& AReplace, int Line,
                                                  int Column) {
  TSrcReplaceAction action = raCancel;
  CallEvent(OnReplaceText, this, ASearch, AReplace, Line, Column, action);
  return action;
}

bool TCustomSrcEdit::DoOnSpecialLineColors(int Line, TColor& Foreground, TColor& Background) {
  bool special = false;
  CallEvent(OnSpecialLineColors, this, Line, special, Foreground, Background);
  return special;
}

void TCustomSrcEdit::RegisterCommandHandler(const THookedCommandEvent& AHandler, void* AHandlerData) {
  if (!AHandler.Assigned()) return;
  if (!fHookedCommandHandlers) fHookedCommandHandlers = std::make_unique<THookedCommandHandlers>();
  fHookedCommandHandlers->Register(AHandler, AHandlerData);
}

void TCustomSrcEdit::UnregisterCommandHandler(const THookedCommandEvent& AHandler) {
  if (!AHandler.Assigned() || !fHookedCommandHandlers) return;
  fHookedCommandHandlers->Unregister(AHandler);
}

int TCustomSrcEdit::FindHookedCommandHandler(const THookedCommandEvent& AHandler) const {
  return fHookedCommandHandlers ? fHookedCommandHandlers->Find(AHandler) : -1;
}

void TCustomSrcEdit::NotifyHookedCommandHandlers(bool AfterProcessing, TSrcEditorCommand& Command, char& AChar,
                                                 void* Data) {
  if (fHookedCommandHandlers) fHookedCommandHandlers->Notify(this, AfterProcessing, Command, AChar, Data);
}

// ---------------------------------------------------------------------------- brackets, tokens, words

TBufferCoord TCustomSrcEdit::GetMatchingBracketEx(const TBufferCoord& APoint) {
  static const char kBrackets[8] = {'(', ')', '[', ']', '{', '}', '<', '>'};
  TBufferCoord none{0, 0};
  if (APoint.Line < 1 || APoint.Line > fLines->Count()) return none;
  std::string_view line = fLines->Line(APoint.Line - 1);
  if (APoint.Char < 1 || APoint.Char > static_cast<int>(line.size())) return none;
  char test = line[static_cast<size_t>(APoint.Char - 1)];
  int idx = -1;
  for (int i = 0; i < 8; ++i)
    if (kBrackets[i] == test) idx = i;
  if (idx < 0) return none;
  char bracketInc = kBrackets[idx];
  char bracketDec = kBrackets[idx ^ 1];
  TSrcHighlighterAttributes* strAttr = fHighlighter ? fHighlighter->GetDefaultAttribute(SRC_ATTR_DEFAULT_STRING) : nullptr;
  TSrcHighlighterAttributes* comAttr = fHighlighter ? fHighlighter->GetDefaultAttribute(SRC_ATTR_DEFAULT_COMMENT) : nullptr;
  auto counts = [&](int ch, int ln) {
    if (!fHighlighter) return true;
    AnsiString tok;
    TSrcHighlighterAttributes* a = nullptr;
    if (!GetTokenAttributeAt(BufferCoord(ch, ln), tok, a)) return true;
    return !(a != nullptr && (a == strAttr || a == comAttr));
  };
  int level = 1;
  int y = APoint.Line;
  if ((idx & 1) == 0) {
    int x = APoint.Char;  // 1-based; search from the next character
    for (;;) {
      std::string_view s = fLines->Line(y - 1);
      int len = static_cast<int>(s.size());
      for (int i = x + 1; i <= len; ++i) {
        char c = s[static_cast<size_t>(i - 1)];
        if (IsLeadByte(c)) {
          ++i;
          continue;
        }
        if ((c == bracketInc || c == bracketDec) && counts(i, y)) {
          level += c == bracketInc ? 1 : -1;
          if (level == 0) return BufferCoord(i, y);
        }
      }
      if (++y > fLines->Count()) return none;
      x = 0;
    }
  } else {
    int x = APoint.Char;
    for (;;) {
      std::string_view s = fLines->Line(y - 1);
      for (int i = x - 1; i >= 1; --i) {
        if (i >= 2 && IsLeadByte(s[static_cast<size_t>(i - 2)])) {
          --i;
          continue;
        }
        char c = s[static_cast<size_t>(i - 1)];
        if ((c == bracketInc || c == bracketDec) && counts(i, y)) {
          level += c == bracketInc ? 1 : -1;
          if (level == 0) return BufferCoord(i, y);
        }
      }
      if (--y < 1) return none;
      x = static_cast<int>(fLines->Line(y - 1).size()) + 1;
    }
  }
}

TBufferCoord TCustomSrcEdit::GetMatchingBracket() { return GetMatchingBracketEx(CaretXY()); }

void TCustomSrcEdit::FindMatchingBracket() { InternalSetCaretXY(GetMatchingBracket()); }

bool TCustomSrcEdit::GetTokenInfoAt(const TBufferCoord& P, AnsiString& Token, int& TokenType, int& Start,
                                    TSrcHighlighterAttributes*& Attri) {
  Token.clear();
  Attri = nullptr;
  if (!fHighlighter || P.Line < 1 || P.Line > fLines->Count()) return false;
  std::string_view line = fLines->Line(P.Line - 1);
  if (P.Char < 1 || P.Char > static_cast<int>(line.size())) return false;
  if (P.Line == 1)
    fHighlighter->ResetRange();
  else
    fHighlighter->SetRange(reinterpret_cast<TSrcRange>(fLines->GetRange(P.Line - 2)));
  fHighlighter->SetLineText(line, P.Line - 1);
  while (!fHighlighter->GetEol()) {
    Start = fHighlighter->GetTokenPos() + 1;
    AnsiString tok = fHighlighter->GetToken();
    if (P.Char >= Start && P.Char < Start + static_cast<int>(tok.size())) {
      Token = tok;
      Attri = fHighlighter->GetTokenAttribute();
      TokenType = fHighlighter->GetTokenKind();
      return true;
    }
    fHighlighter->Next();
  }
  return false;
}

bool TCustomSrcEdit::GetTokenAttributeAt(const TBufferCoord& P, AnsiString& Token,
                                         TSrcHighlighterAttributes*& Attri) {
  int kind = 0, start = 0;
  return GetTokenInfoAt(P, Token, kind, start, Attri);
}

TSysCharSet TCustomSrcEdit::IdentChars() const {
  if (fHighlighter) return fHighlighter->GetIdentChars();
  TSysCharSet s = TSysCharSet::Range('0', '9');
  s.AddRange('A', 'Z').AddRange('a', 'z').Add('_');
  return s + CyrillicLetters();
}

AnsiString TCustomSrcEdit::GetWordAtRowCol(const TBufferCoord& P) {
  if (P.Line < 1 || P.Line > fLines->Count()) return AnsiString();
  std::string_view line = fLines->Line(P.Line - 1);
  int len = static_cast<int>(line.size());
  if (P.Char < 1 || P.Char > len + 1) return AnsiString();
  TSysCharSet ident = IdentChars();
  int stop = P.Char;
  while (stop <= len && ident.Contains(line[static_cast<size_t>(stop - 1)])) ++stop;
  int start = P.Char;
  while (start > 1 && ident.Contains(line[static_cast<size_t>(start - 2)])) --start;
  if (stop <= start) return AnsiString();
  return AnsiString(line.substr(static_cast<size_t>(start - 1), static_cast<size_t>(stop - start)));
}

bool TCustomSrcEdit::IsPointInSelection(const TBufferCoord& P) const {
  TBufferCoord b = BlockBegin(), e = BlockEnd();
  if (!SelAvail() || P.Line < b.Line || P.Line > e.Line) return false;
  switch (fSelectionMode) {
    case smLine:
      return true;
    case smColumn: {
      int c1 = std::min(b.Char, e.Char), c2 = std::max(b.Char, e.Char);
      return P.Char >= c1 && P.Char < c2;
    }
    default:
      if (P.Line == b.Line && P.Char < b.Char) return false;
      if (P.Line == e.Line && P.Char >= e.Char) return false;
      return true;
  }
}

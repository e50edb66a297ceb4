#pragma once
// The source-editing control: a custom-drawn window that shows a line store through a syntax
// highlighter, with a gutter, a caret, three selection modes, undo and redo, the clipboard and
// numbered editor commands.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "editor/buffer_plugin.h"
#include "editor/core/commands.h"
#include "editor/core/edit_options.h"
#include "editor/core/handler_chains.h"
#include "editor/core/keystrokes.h"
#include "editor/core/line_store.h"
#include "editor/core/text_drawer.h"
#include "editor/core/types.h"
#include "editor/core/undo.h"
#include "editor/src_edit_search.h"
#include "editor/word_wrap.h"
#include "highlighters/highlighter.h"
#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/hint_window.h"
#include "platform/stdctrls.h"

enum TSrcEditorOption : uint8_t {
  eoAltSetsColumnMode = 0, eoAutoIndent = 1, eoAutoSizeMaxScrollWidth = 2, eoDisableScrollArrows = 3,
  eoDragDropEditing = 4, eoDropFiles = 5, eoEnhanceHomeKey = 6, eoGroupUndo = 7, eoHalfPageScroll = 8,
  eoHideShowScrollbars = 9, eoKeepCaretX = 10, eoNoCaret = 11, eoNoSelection = 12,
  eoRightMouseMovesCursor = 13, eoScrollByOneLess = 14, eoScrollHintFollows = 15, eoScrollPastEof = 16,
  eoScrollPastEol = 17, eoShowScrollHint = 18, eoShowSpecialChars = 19, eoSmartTabDelete = 20,
  eoSmartTabs = 21, eoSpecialLineDefaultFg = 22, eoTabIndent = 23, eoTabsToSpaces = 24,
  eoTrimTrailingSpaces = 25,
};

// A set of editor options, one bit per option.
class TSrcEditorOptions {
public:
  constexpr TSrcEditorOptions() = default;
  constexpr TSrcEditorOptions(std::initializer_list<TSrcEditorOption> s) {
    for (auto o : s) bits_ |= 1u << o;
  }
  static constexpr TSrcEditorOptions FromBits(uint32_t b) { TSrcEditorOptions o; o.bits_ = b; return o; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool Contains(TSrcEditorOption o) const { return bits_ & (1u << o); }
  constexpr void Include(TSrcEditorOption o) { bits_ |= 1u << o; }
  constexpr void Exclude(TSrcEditorOption o) { bits_ &= ~(1u << o); }
  constexpr TSrcEditorOptions With(TSrcEditorOption o) const { return FromBits(bits_ | (1u << o)); }
  constexpr TSrcEditorOptions Without(TSrcEditorOption o) const { return FromBits(bits_ & ~(1u << o)); }
  constexpr bool operator==(const TSrcEditorOptions&) const = default;

private:
  uint32_t bits_ = 0;
};

constexpr uint32_t SRCEDIT_DEFAULT_OPTIONS = 53870738;

// Status-change kinds (bit values) reported through OnStatusChange.
using TSrcStatusChanges = uint16_t;
enum : TSrcStatusChanges {
  scAll = 1, scCaretX = 2, scCaretY = 4, scLeftChar = 8, scTopLine = 16, scInsertMode = 32,
  scModified = 64, scSelection = 128, scReadOnly = 256,
};

// Bits of the control's state flags.
enum : uint16_t {
  sfCaretUpdatePending = 1, sfScrollBarsUpdatePending = 2, sfLinesChanging = 4, sfIgnoreNextChar = 8,
  sfCaretShown = 16, sfDoubleClicked = 32, sfGutterPressed = 64, sfWaitingForDrag = 128,
  sfRedoRunning = 256, sfGutterDragged = 512,
};

enum TSrcEditCaretType : uint8_t { ctVerticalLine, ctHorizontalLine, ctHalfBlock, ctBlock };
// TScrollStyle (ssNone, ssHorizontal, ssVertical, ssBoth) is the class library's, shared with memos.
enum TScrollHintFormat : uint8_t { shfTopLineOnly, shfTopToBottom };
enum TScrollBarKind : uint8_t { sbHorizontal, sbVertical };
enum TSrcReplaceAction : uint8_t { raCancel, raSkip, raReplace, raReplaceAll };

// The private clipboard format of editor blocks: a selection-mode byte, the text, a NUL.
inline constexpr const char* SRCEDIT_CLIPBOARD_FORMAT_NAME = "SrcEdit Control Block Type";
TClipboardFormat SrcEditClipboardFormat();

class TCustomSrcEdit;

// Commands the control sends itself when it gains and loses the focus; no key is bound to them
// and the executor ignores them: only the command events and hooked handlers see them.
constexpr TSrcEditorCommand ecFocusGained = 480;
constexpr TSrcEditorCommand ecFocusLost = 481;

// What word wrap plugs into: every conversion between lines and rows and between buffer and
// display positions asks it first while it is attached (editor/buffer_plugin.h).

using TPlaceMarkEvent = TMethod<void(TObject* Sender, TSrcEditMark*& Mark)>;
using TProcessCommandEvent = TMethod<void(TObject* Sender, TSrcEditorCommand& Command, char& AChar, void* Data)>;
using TDropFilesEvent = TMethod<void(TObject* Sender, int X, int Y, TStrings* AFiles)>;
using TGutterClickEvent = TMethod<void(TObject* Sender, TMouseButton Button, int X, int Y, int Line, TSrcEditMark* Mark)>;
using TPaintEvent = TMethod<void(TObject* Sender, TCanvas* ACanvas)>;
using TReplaceTextEvent = TMethod<void(TObject* Sender, const AnsiString& ASearch, const AnsiString& AReplace,
                                       int Line, int Column, TSrcReplaceAction& Action)>;
using TSpecialLineColorsEvent = TMethod<void(TObject* Sender, int Line, bool& Special, TColor& FG, TColor& BG)>;
using TContextHelpEvent = TMethod<void(TObject* Sender, const AnsiString& Word)>;
using TPaintTransient = TMethod<void(TObject* Sender, TCanvas* Canvas, TTransientType TransientType)>;
using TScrollEvent = TMethod<void(TObject* Sender, TScrollBarKind ScrollBar)>;
using TGutterGetTextEvent = TMethod<void(TObject* Sender, int aLine, AnsiString& aText)>;
using TGutterPaintEvent = TMethod<void(TObject* Sender, int aLine, int X, int Y)>;
using TStatusChangeEvent = TMethod<void(TObject* Sender, TSrcStatusChanges Changes)>;

int MulDiv(int Number, int Numerator, int Denominator);

class TCustomSrcEdit : public TCustomControl, public TSrcMarkOwner, public TSrcWordWrapHost {
public:
  explicit TCustomSrcEdit(TComponent* AOwner);
  ~TCustomSrcEdit() override;

  // ---- text and undo
  TSrcEditStringList* Lines() const { return fLines.get(); }
  void SetLines(TStrings* Value);
  AnsiString Text() const { return fLines->Text(); }
  void SetText(const AnsiString& Value) { fLines->SetText(Value); }
  TSrcEditUndoList* UndoList() const { return fUndoList.get(); }
  TSrcEditUndoList* RedoList() const { return fRedoList.get(); }
  void Undo();
  void Redo();
  bool CanUndo() const { return !ReadOnly() && fUndoList->CanUndo(); }
  bool CanRedo() const { return !ReadOnly() && fRedoList->CanUndo(); }
  void ClearUndo();
  int MaxUndo() const { return fUndoList->MaxUndoActions(); }
  void SetMaxUndo(int Value);
  // The changes made between the outermost Begin and End are one undo step. Outside the
  // editor's own commands (a menu action, a dialog, a service, a drop) that step is also parted
  // by group breaks from the edits before and after it, so that grouped undo never joins it
  // with typing.
  void BeginUndoBlock();
  void EndUndoBlock();
  void LockUndo();
  void UnlockUndo();
  bool Modified() const { return fModified; }
  void SetModified(bool Value);
  void ClearAll();

  // ---- caret and selection
  int CaretX() const { return fCaretX; }
  int CaretY() const { return fCaretY; }
  TBufferCoord CaretXY() const { return BufferCoord(fCaretX, fCaretY); }
  void SetCaretX(int Value) { SetCaretXY(BufferCoord(Value, fCaretY)); }
  void SetCaretY(int Value) { SetCaretXY(BufferCoord(fCaretX, Value)); }
  virtual void SetCaretXY(const TBufferCoord& Value);
  virtual void InternalSetCaretXY(const TBufferCoord& Value) { SetCaretXYEx(true, Value); }
  void InternalSetCaretX(int Value) { InternalSetCaretXY(BufferCoord(Value, fCaretY)); }
  void InternalSetCaretY(int Value) { InternalSetCaretXY(BufferCoord(fCaretX, Value)); }
  virtual void SetCaretXYEx(bool CallEnsureCursorPos, TBufferCoord Value);
  TDisplayCoord DisplayXY() const;
  int DisplayX() const { return DisplayXY().Column; }
  int DisplayY() const;
  int KeptCaretX() const { return fKeptCaretX; }
  TBufferCoord BlockBegin() const;
  TBufferCoord BlockEnd() const;
  // The selection ends as they were set: the anchor and the moving end.
  TBufferCoord RawBlockBegin() const { return fBlockBegin; }
  TBufferCoord RawBlockEnd() const { return fBlockEnd; }
  void SetBlockBegin(TBufferCoord Value);
  void SetBlockEnd(TBufferCoord Value);
  bool SelAvail() const;
  bool SelectionSpansLines() const;
  bool SelectionIsWholeLine() const;
  AnsiString SelText() const;
  void SetSelText(const AnsiString& Value);
  void ClearSelection();
  void SelectAll();
  TSrcSelectionMode SelectionMode() const { return fSelectionMode; }
  void SetSelectionMode(TSrcSelectionMode Value);
  void PlaceCaretAndSelection(const TBufferCoord& Caret, const TBufferCoord& ABlockBegin,
                              const TBufferCoord& ABlockEnd);
  AnsiString LineText() const;
  void SetLineText(const AnsiString& Value);
  AnsiString WordAtCursor();
  static AnsiString TrimTrailingSpaces(const AnsiString& S);
  // The length of S without its trailing blanks and tabs.
  static size_t TrimmedLength(std::string_view S);
  void ReplaceSelection(TSrcSelectionMode Mode, const AnsiString& Value, bool AddToUndo);
  void ReplaceSelection(const AnsiString& Value) { ReplaceSelection(fSelectionMode, Value, true); }
  void InsertBlock(const TBufferCoord& ABlockBegin, const TBufferCoord& ABlockEnd, const AnsiString& Value,
                   bool AddToUndo = true);
  bool IsPointInSelection(const TBufferCoord& P) const;
  bool CaretAtRowEnd() const { return fCaretAtRowEnd; }

  // ---- clipboard
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  bool CanPaste() const;

  // ---- updates, status and invalidation
  void BeginUpdate() { IncPaintLock(); }
  void EndUpdate() { DecPaintLock(); }
  int PaintLock() const { return fPaintLock; }
  void StatusChanged(TSrcStatusChanges Changes);
  TSrcStatusChanges PendingStatusChanges() const { return fStatusChanges; }
  uint16_t StateFlags() const { return fStateFlags; }
  virtual void InvalidateRect(const TRect& R, bool Erase);
  void InvalidateLine(int Line);
  void InvalidateLines(int FirstLine, int LastLine);
  void InvalidateGutterLines(int FirstLine, int LastLine) override;
  void InvalidateGutter() { InvalidateGutterLines(-1, -1); }
  void InvalidateSelection();
  void EnsureCursorPosVisible() { EnsureCursorPosVisibleEx(false); }
  void EnsureCursorPosVisibleEx(bool ForceToMiddle);
  void DoLinesDeleted(int FirstLine, int Count);
  void DoLinesInserted(int FirstLine, int Count);
  // The area gathered for one repaint while the line store is changing.
  const TRect& PendingInvalidRect() const { return fInvalidateRect; }

  // ---- view (positions, scroll bars, caret display)
  int LeftChar() const { return fLeftChar; }
  void SetLeftChar(int Value);
  int TopLine() const { return fTopLine; }
  void SetTopLine(int Value);
  int CharsInWindow() const { return fCharsInWindow; }
  int LinesInWindow() const { return fLinesInWindow; }
  int CharWidth() const { return fCharWidth; }
  int LineHeight() const { return fTextHeight; }
  int GutterWidth() const { return fGutterWidth; }
  void SetGutterWidth(int Value);
  // The x pixel of display column 1: far to the left of the window when it shows far columns.
  int64_t TextOffset() const { return fTextOffset; }
  int DisplayLineCount() const;
  TDisplayCoord PixelsToRowColumn(int X, int Y) const;
  TDisplayCoord PixelsToNearestRowColumn(int X, int Y) const;
  TPoint RowColumnToPixels(const TDisplayCoord& P) const;
  // The client x pixel of a display column's left side and the y pixel of a display row's top,
  // reckoned in 64 bits; a pixel more than kFarPixel away from the window is given as kFarPixel
  // (or its negative), so that sums and differences of a few of them stay within an int.
  static constexpr int kFarPixel = 1 << 29;
  int ColumnToPixelX(int64_t Column) const;
  int RowToPixelY(int64_t Row) const;
  void ComputeCaret(int X, int Y);
  // Auto-scroll steps for a mouse selection outside the text; the scroll timer runs exactly
  // while one of them is not 0.
  void ComputeScroll(int X, int Y);
  int ScrollDeltaX() const { return fScrollDeltaX; }
  int ScrollDeltaY() const { return fScrollDeltaY; }
  TTimer* ScrollTimer() const { return fScrollTimer.get(); }
  // Set by the drag-and-drop code while a text drag runs over the control.
  bool DragRunning() const { return fDragRunning; }
  void UpdateScrollBars();
  void UpdateCaret();
  void ShowCaret();
  void HideCaret();
  bool AlwaysShowCaret() const { return fAlwaysShowCaret; }
  void SetAlwaysShowCaret(bool Value);
  // Buffer/display and line/row conversions; word wrap plugs in here.
  TDisplayCoord BufferToDisplayPos(const TBufferCoord& P) const;
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& P) const;
  int LineToRow(int Line) const;
  int RowToLine(int Row) const;
  ISrcEditBufferPlugin* WordWrapPlugin() const { return fWordWrapPlugin.get(); }
  bool WordWrap() const { return fWordWrapPlugin != nullptr; }
  void SetWordWrap(bool Value);
  TDisplayCoord GetDisplayXY() const { return DisplayXY(); }
  // Places the caret at a display position without touching the selection.
  void SetInternalDisplayXY(const TDisplayCoord& P);
  // What the word-wrap map reads of the control.
  int WrapCharsInWindow() const override { return fCharsInWindow; }
  TSrcEditStringList* WrapLines() const override { return fLines.get(); }
  int WrapTabWidth() const override { return fTabWidth; }
  bool WrapIdentChars(TSysCharSet& Chars) const override;

  // ---- properties
  TFont* Font() const { return fFont.get(); }
  void SetFont(TFont* Value);
  TSrcEditorOptions Options() const { return fOptions; }
  void SetOptions(TSrcEditorOptions Value);
  TSrcCustomHighlighter* Highlighter() const { return fHighlighter; }
  void SetHighlighter(TSrcCustomHighlighter* Value);
  bool ReadOnly() const { return GetReadOnly(); }
  virtual void SetReadOnly(bool Value);
  bool InsertMode() const { return fInserting; }
  void SetInsertMode(bool Value);
  TSrcEditCaretType InsertCaret() const { return fInsertCaret; }
  void SetInsertCaret(TSrcEditCaretType Value);
  TSrcEditCaretType OverwriteCaret() const { return fOverwriteCaret; }
  void SetOverwriteCaret(TSrcEditCaretType Value);
  TPoint CaretOffset() const { return fCaretOffset; }
  int MaxScrollWidth() const { return fMaxScrollWidth; }
  void SetMaxScrollWidth(int Value);
  int TabWidth() const { return fTabWidth; }
  void SetTabWidth(int Value);
  int RightEdge() const { return fRightEdge; }
  void SetRightEdge(int Value);
  TColor RightEdgeColor() const { return fRightEdgeColor; }
  void SetRightEdgeColor(TColor Value);
  TColor ActiveLineColor() const { return fActiveLineColor; }
  void SetActiveLineColor(TColor Value);
  TScrollStyle ScrollBars() const { return fScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  int ExtraLineSpacing() const { return fExtraLineSpacing; }
  void SetExtraLineSpacing(int Value);
  bool HideSelection() const { return fHideSelection; }
  void SetHideSelection(bool Value);
  bool WantReturns() const { return fWantReturns; }
  void SetWantReturns(bool Value) { fWantReturns = Value; }
  bool WantTabs() const { return fWantTabs; }
  void SetWantTabs(bool Value) { fWantTabs = Value; }
  void SetEditBorderStyle(TBorderStyle Value);
  TColor ScrollHintColor() const { return fScrollHintColor; }
  void SetScrollHintColor(TColor Value) { fScrollHintColor = Value; }
  TScrollHintFormat ScrollHintFormat() const { return fScrollHintFormat; }
  void SetScrollHintFormat(TScrollHintFormat Value) { fScrollHintFormat = Value; }
  TSrcSelectedColor* SelectedColor() const { return fSelectedColor.get(); }
  TSrcGutter* Gutter() const { return fGutter.get(); }
  void SetGutter(TSrcGutter* Value);
  TSrcBookMarkOpt* BookMarkOptions() const { return fBookMarkOpt.get(); }
  TSrcGlyph* WordWrapGlyph() const { return fWordWrapGlyph.get(); }
  void SetWordWrapGlyph(TSrcGlyph* Value);
  TSrcEditKeyStrokes* Keystrokes() const { return fKeyStrokes.get(); }
  void SetKeystrokes(TSrcEditKeyStrokes* Value);
  TSrcEditMarkList* Marks() const { return fMarkList.get(); }
  TSrcEditMarkList* MarkList() override { return fMarkList.get(); }
  TheTextDrawer* TextDrawer() const { return fTextDrawer.get(); }
  bool SpecialCharsShown() const { return fSpecialCharsShown; }
  int ImeSkipCount() const { return fImeCount; }

  // ---- commands
  virtual void CommandProcessor(TSrcEditorCommand Command, char AChar, void* Data);
  virtual void ExecuteCommand(TSrcEditorCommand Command, char AChar, void* Data);
  virtual void SetDefaultKeystrokes();

  // ---- brackets, tokens and words
  virtual void FindMatchingBracket();
  virtual TBufferCoord GetMatchingBracket();
  virtual TBufferCoord GetMatchingBracketEx(const TBufferCoord& APoint);
  bool GetTokenInfoAt(const TBufferCoord& P, AnsiString& Token, int& TokenType, int& Start,
                      TSrcHighlighterAttributes*& Attri);
  bool GetTokenAttributeAt(const TBufferCoord& P, AnsiString& Token, TSrcHighlighterAttributes*& Attri);
  AnsiString GetWordAtRowCol(const TBufferCoord& P);
  TSysCharSet IdentChars() const;
  // Word characters of the caret and word commands: identifier characters minus word breaks.
  TSysCharSet WordIdentChars() const;
  virtual TBufferCoord WordStartEx(const TBufferCoord& XY);
  virtual TBufferCoord WordEndEx(const TBufferCoord& XY);
  virtual TBufferCoord WordStart() { return WordStartEx(CaretXY()); }
  virtual TBufferCoord WordEnd() { return WordEndEx(CaretXY()); }
  // Selects the word at P (the caret goes to its end) and reports the selection change.
  void SelectWordAt(const TBufferCoord& P);

  // ---- caret motion, indentation, case change, bookmarks
  // Word positions: identifier characters and white characters as the word commands see them.
  void GetWordCharSets(TSysCharSet& Ident, TSysCharSet& White) const;
  virtual TBufferCoord NextWordPosEx(const TBufferCoord& XY);
  virtual TBufferCoord PrevWordPosEx(const TBufferCoord& XY);
  virtual TBufferCoord NextWordPos() { return NextWordPosEx(CaretXY()); }
  virtual TBufferCoord PrevWordPos() { return PrevWordPosEx(CaretXY()); }
  void MoveCaretHorizontally(int DX, bool SelectionCommand);
  void MoveCaretVertically(int DY, bool SelectionCommand);
  void MoveCaretAndSelect(const TBufferCoord& Anchor, const TBufferCoord& Target, bool SelectionCommand);
  void MoveToLineHome(bool SelectionCommand);
  void InsertTab();
  void RemoveTabBack();
  void IndentBlock();
  void UnindentBlock();
  // Commands ecUpperCase..ecToggleCaseBlock; any other number throws EAssertionFailed.
  void ChangeCase(TSrcEditorCommand Command);
  static AnsiString SwapCase(const AnsiString& S);
  void PutBookmark(int Number, int Char, int Line);
  void JumpToBookmark(int Number);
  void RemoveBookmark(int Number);
  // The mark of bookmark Number (0..9), nil when it is not set.
  TSrcEditMark* Bookmark(int Number) const;
  bool GetBookMark(int Number, int& X, int& Y) const;
  bool IsBookmark(int Number) const { return Bookmark(Number) != nullptr; }
  // Width of the leading blanks of S (0 without eoAutoIndent); a tab counts TabWidth when
  // CountTabs is set.
  int LeadingBlankWidth(std::string_view S, bool CountTabs) const;
  // Columns of indentation as blanks, or as tabs and blanks when UseTabs allows it.
  AnsiString IndentString(int Columns, bool UseTabs) const;

  // ---- handler chains, hooked commands, focus controls
  void AddKeyDownHandler(const TKeyEvent& h) { fKbdHandler->AddKeyDownHandler(h); }
  void RemoveKeyDownHandler(const TKeyEvent& h) { fKbdHandler->RemoveKeyDownHandler(h); }
  void AddKeyUpHandler(const TKeyEvent& h) { fKbdHandler->AddKeyUpHandler(h); }
  void RemoveKeyUpHandler(const TKeyEvent& h) { fKbdHandler->RemoveKeyUpHandler(h); }
  void AddKeyPressHandler(const TKeyPressEvent& h) { fKbdHandler->AddKeyPressHandler(h); }
  void RemoveKeyPressHandler(const TKeyPressEvent& h) { fKbdHandler->RemoveKeyPressHandler(h); }
  void AddMouseDownHandler(const TMouseEvent& h) { fKbdHandler->AddMouseDownHandler(h); }
  void RemoveMouseDownHandler(const TMouseEvent& h) { fKbdHandler->RemoveMouseDownHandler(h); }
  void AddMouseUpHandler(const TMouseEvent& h) { fKbdHandler->AddMouseUpHandler(h); }
  void RemoveMouseUpHandler(const TMouseEvent& h) { fKbdHandler->RemoveMouseUpHandler(h); }
  void AddMouseCursorHandler(const TMouseCursorEvent& h) { fKbdHandler->AddMouseCursorHandler(h); }
  void RemoveMouseCursorHandler(const TMouseCursorEvent& h) { fKbdHandler->RemoveMouseCursorHandler(h); }
  TSrcEditKbdHandler* KbdHandler() const { return fKbdHandler.get(); }
  void RegisterCommandHandler(const THookedCommandEvent& AHandler, void* AHandlerData);
  void UnregisterCommandHandler(const THookedCommandEvent& AHandler);
  int FindHookedCommandHandler(const THookedCommandEvent& AHandler) const;
  int HookedCommandHandlerCount() const { return fHookedCommandHandlers ? fHookedCommandHandlers->Count() : 0; }
  virtual void NotifyHookedCommandHandlers(bool AfterProcessing, TSrcEditorCommand& Command, char& AChar,
                                           void* Data);
  void AddFocusControl(TWinControl* AControl);
  void RemoveFocusControl(TWinControl* AControl);
  void SetFocus() override;
  bool CanFocus() const override;
  // Its caret blinks over the text and transient marks are drawn between paints: the window
  // keeps its pixels, so neither has the text painted again.
  bool KeepsPixels() const override { return true; }

  // ---- search and replace (src_edit_search.cpp)
  // The engine is only referenced; the editor forgets it when it is freed.
  TSrcEditSearchCustom* SearchEngine() const { return fSearchEngine; }
  void SetSearchEngine(TSrcEditSearchCustom* Value);
  // Finds, or replaces, the hits of ASearch in the scope the options give; returns the number
  // of hits reached (replaced, skipped or only selected).
  int SearchReplace(const AnsiString& ASearch, const AnsiString& AReplace, TSrcSearchOptions AOptions);

  // ---- event dispatchers
  virtual void DoOnClearBookmark(TSrcEditMark*& Mark);
  virtual void DoOnPlaceBookmark(TSrcEditMark*& Mark);
  virtual void DoOnCommandProcessed(TSrcEditorCommand Command, char AChar, void* Data);
  virtual void DoOnProcessCommand(TSrcEditorCommand& Command, char& AChar, void* Data);
  virtual void DoOnPaint(TCanvas* ACanvas);
  virtual void DoOnPaintTransientEx(TTransientType TransientType, bool Lock);
  virtual void DoOnPaintTransient(TTransientType TransientType) { DoOnPaintTransientEx(TransientType, false); }
  virtual TSrcReplaceAction DoOnReplaceText(const AnsiString& ASearch, const AnsiString& AReplace, int Line,
                                            int Column);
  virtual bool DoOnSpecialLineColors(int Line, TColor& Foreground, TColor& Background);
  virtual void DoOnStatusChange(TSrcStatusChanges Changes);
  void UpdateModifiedStatus();

  void WndProc(TMessage& Message) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

  // Events.
  TNotifyEvent OnChange;
  TPlaceMarkEvent OnClearBookmark;
  TProcessCommandEvent OnCommandProcessed;
  TDropFilesEvent OnDropFiles;
  TGutterClickEvent OnGutterClick;
  TMouseCursorEvent OnMouseCursor;
  TPaintEvent OnPaint;
  TPlaceMarkEvent OnPlaceBookmark;
  TProcessCommandEvent OnProcessCommand;
  TProcessCommandEvent OnProcessUserCommand;
  TReplaceTextEvent OnReplaceText;
  TSpecialLineColorsEvent OnSpecialLineColors;
  TContextHelpEvent OnContextHelp;
  TPaintTransient OnPaintTransient;
  TScrollEvent OnScroll;
  TGutterGetTextEvent OnGutterGetText;
  TGutterPaintEvent OnGutterPaint;
  TStatusChangeEvent OnStatusChange;

protected:
  virtual void DoChange();
  virtual bool GetReadOnly() const { return fReadOnly; }
  virtual void LinesChanged(TObject* Sender);
  virtual void PaintGutter(TCanvas* Canvas, const TRect& AClip, int FirstLine, int LastLine);
  virtual void PaintTextLines(TCanvas* Canvas, const TRect& AClip, int FirstRow, int LastRow, int FirstCol,
                              int LastCol);

  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void Paint(TCanvas* Canvas, const TRect& ClipRect) override;
  void KeyDown(Word& Key, TShiftState Shift) override;
  void KeyUp(Word& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

  // Painting helpers: the colour behind text without a background of its own on a line.
  TColor LineBackground(bool CurrentLine) const;
  friend class TSrcEditPainter;

  void IncPaintLock() { ++fPaintLock; }
  void DecPaintLock();
  void InitializeCaret();
  void RecalcCharExtent();
  void FontChanged(TObject* Sender);
  void SizeOrFontChanged(bool bFont);
  void GutterChanged(TObject* Sender);
  void HighlighterAttrChanged(TObject* Sender);
  // Brings ranges up to date from line Index (0-based) until a stored range is unchanged, at
  // most as far as Limit; what lies beyond is left for idle time. Returns the last line scanned.
  // Visible: a change to show, which leaves the range of a very long last line to idle time
  // too (no line below needs it to be painted).
  int ScanFrom(int Index, int Limit = INT_MAX, bool Visible = false);
  void ScanRanges();
  // The last line (0-based) whose range a change brings up to date at once: the visible ones.
  int LastScanLine() const;
  void RangeNeeded(int Index);
  void ScheduleRangeScan();
  void RangeTimerHandler(TObject* Sender);

  bool IsRedoRunning() const { return fStateFlags & sfRedoRunning; }
  void IncludeState(uint16_t f) { fStateFlags |= f; }
  void ExcludeState(uint16_t f) { fStateFlags &= static_cast<uint16_t>(~f); }

private:
  // Line-store reactions.
  void LinesChanging(TObject* Sender);
  void ListCleared(TObject* Sender);
  void ListDeleted(TObject* Sender, int Index, int Count);
  void ListInserted(TObject* Sender, int Index, int Count);
  void ListPutted(TObject* Sender, int Index, int Count);
  void UndoRedoAdded(TObject* Sender);
  void SelectedColorsChanged(TObject*) { InvalidateSelection(); }
  void BookMarkOptionsChanged(TObject*) { InvalidateGutter(); }
  void MarkListChanged(TObject*) { InvalidateGutter(); }
  void WordWrapGlyphChanged(TObject* Sender);

  void InvalidateOrPend(const TRect& R);
  // The selected text; column pieces padded to the block width when asked. Undo records
  // take it unpadded, so that putting it back adds no blanks the lines never had.
  AnsiString SelTextEx(bool PadColumns) const;
  AnsiString UndoText() const { return SelTextEx(false); }
  // ---- command executor helpers
  void DoLineBreak(bool MoveCaret);
  void DoTypeChar(char AChar);
  void DoImeStr(const char* S);
  void DoDeleteLastChar();
  void DoDeleteChar();
  void DoDeleteRange(TSrcEditorCommand Command);
  void DoDeleteLine();
  void DoPageMove(TSrcEditorCommand Command, bool SelectionCommand);
  void DoLineEnd(bool SelectionCommand);
  void DoScrollVertically(int Delta);
  void DoSetMarker(int Number, void* Data);
  void DeleteSelectionRecorded();
  void DeleteSelectionRecorded(TSrcChangeReason Reason);
  void DeleteInLineRecorded(int Line, std::string_view Orig, int From, int To, TSrcChangeReason Reason);
  void ScrollRightAfterTyping();
  void SetClipboardText(const AnsiString& Text);
  // One paste: Insert puts the text in and pushes the opening bracket (setting BracketPushed),
  // inside one undo block closed, with the bracket, also when Insert fails.
  void Paste(const std::function<void(bool& BracketPushed)>& Insert);
  // Opens a paste's undo bracket (setting BracketPushed) and records the deletion of the
  // selection the paste replaces; gives the point where the pasted text starts.
  TBufferCoord BeginPasteRecords(bool& BracketPushed);
  // Plain text pasted over the selection, or at the caret, in the current selection mode.
  void PasteText(const AnsiString& Text, bool& BracketPushed);
  // A middle click on a desktop with a primary selection: the caret goes to the point and the
  // primary selection's text is pasted there.
  void PastePrimarySelectionAt(int X, int Y);
  // Offers the selected text as the desktop's primary selection, or withdraws it when nothing is
  // selected.
  void OfferSelection();
  void UndoItem();
  void MoveGroupBreak(TSrcEditUndoList* From, TSrcEditUndoList* To);
  void WalkChange(TSrcEditUndoList* From, TSrcEditUndoList* To, bool Undoing);
  void KeepCaretInLine();
  void PadLineTo(const TBufferCoord& P);
  // Records the blanks an insertion at P, beyond the end of its line, brings the line out
  // with; records nothing when P lies within the line. An empty text gets its first line.
  void RecordPaddingTo(const TBufferCoord& P);
  void RedoItem();
  // Stores a line, without its trailing blanks when trimming is on.
  void StoreLineTrimmed(int Index, const AnsiString& S);
  AnsiString TrimForStore(int Index, const AnsiString& S);
  // Whether an edit stores its lines trimmed: trimming is on and not put off by the edit's
  // caller (replace-all trims the lines it touched once their hits are done).
  bool TrimsOnStore() const { return fOptions.Contains(eoTrimTrailingSpaces) && !fDeferTrim; }
  // Blanks trimming took from a line end, waiting to be recorded after the change's record.
  void NoteTrimmed(const TBufferCoord& At, const AnsiString& Text);
  void FlushTrimmed();
  int InsertTextNormal(const AnsiString& Value);
  int InsertTextLine(const AnsiString& Value);
  int InsertTextColumn(const AnsiString& Value, bool AddToUndo);
  void DeleteSelectionText(bool Trim);
  // Refuses, before anything changes, a replacement of the selection by Value inserted in Mode
  // that would make a line or a number of lines beyond what the line store holds.
  void CheckReplacementFits(TSrcSelectionMode Mode, const AnsiString& Value) const;
  // The same for the characters Typed at the caret.
  void CheckTypingFits(std::string_view Typed) const;
  // The same for line Line made of Left, Blanks blanks and Right, as a deletion that joins two
  // lines, or brings a line out to the caret, makes it.
  void CheckJoinFits(int64_t Line, std::string_view Left, int64_t Blanks, std::string_view Right) const;
  int ClampLeftChar(int Value) const;
  // The columns the view scrolls over horizontally: with eoScrollPastEol MaxScrollWidth, or the
  // longest line when that is longer; without it the longest line.
  int ScrollWidth() const;
  // The last character index a caret or block end may take on line Line (1-based, within the
  // text) with eoScrollPastEol and without word wrap: MaxScrollWidth + 1, but never short of
  // the line's own end, so that every character of a long line can be reached.
  int PastEolLimit(int Line) const;
  // A block end as it may be set: within the text's lines, and within the line in smNormal.
  TBufferCoord ClampBlockPoint(TBufferCoord P) const;

  std::unique_ptr<TSrcEditStringList> fLines;
  std::unique_ptr<TFont> fFontDummy;  // the template font: initial font and fixed-pitch copies
  std::unique_ptr<TSrcEditUndoList> fUndoList, fRedoList;
  std::unique_ptr<TSrcSelectedColor> fSelectedColor;
  std::unique_ptr<TSrcBookMarkOpt> fBookMarkOpt;
  std::unique_ptr<TSrcGutter> fGutter;
  std::unique_ptr<TSrcGlyph> fWordWrapGlyph;
  std::unique_ptr<TFont> fFont;
  std::unique_ptr<TheTextDrawer> fTextDrawer;
  std::unique_ptr<TSrcEditKeyStrokes> fKeyStrokes;
  std::unique_ptr<TSrcEditMarkList> fMarkList;
  std::unique_ptr<TSrcEditKbdHandler> fKbdHandler;
  std::unique_ptr<THookedCommandHandlers> fHookedCommandHandlers;
  std::vector<TWinControl*> fFocusList;
  std::unique_ptr<TTimer> fScrollTimer;
  std::unique_ptr<TTimer> fRangeTimer;  // scans out-of-date ranges in idle time

  bool fAlwaysShowCaret = false;
  TBufferCoord fBlockBegin, fBlockEnd;
  int fCaretX = 1, fKeptCaretX = 1, fCaretY = 1;
  int fCharsInWindow = 0, fCharWidth = 0;
  int fImeCount = 0;
  bool fTrailByteShift = false;
  bool fInserting = true;
  int fLinesInWindow = 0;
  int fLeftChar = 1;
  int fMaxScrollWidth = 1024;
  int fPaintLock = 0;
  bool fReadOnly = false;
  int fRightEdge = 80;
  TColor fRightEdgeColor = clSilver;
  TColor fScrollHintColor = clInfoBk;
  TScrollHintFormat fScrollHintFormat = shfTopLineOnly;
  TScrollStyle fScrollBars = ssBoth;
  int fTextHeight = 0;
  int64_t fTextOffset = 2;
  int fTopLine = 1;
  TSrcCustomHighlighter* fHighlighter = nullptr;
  TSrcEditSearchCustom* fSearchEngine = nullptr;
  TColor fActiveLineColor = clNone;
  bool fHideSelection = false;
  TSrcEditCaretType fOverwriteCaret = ctBlock, fInsertCaret = ctVerticalLine;
  TPoint fCaretOffset{0, 0};
  bool fModified = false;
  int fExtraLineSpacing = 0;
  TSrcSelectionMode fSelectionMode = smNormal;
  bool fWantReturns = true, fWantTabs = false;
  std::unique_ptr<ISrcEditBufferPlugin> fWordWrapPlugin;
  std::unique_ptr<TSrcInternalImage> fInternalBookmarkImage;
  bool fCaretAtRowEnd = false;
  int fTabWidth = 8;
  TRect fInvalidateRect{0, 0, 0, 0};
  uint16_t fStateFlags = 0;
  TSrcEditorOptions fOptions = TSrcEditorOptions::FromBits(SRCEDIT_DEFAULT_OPTIONS);
  TSrcStatusChanges fStatusChanges = 0;
  TSrcKeyTranslationState fKeySequence;
  int fScrollDeltaX = 0, fScrollDeltaY = 0;
  bool fSpecialCharsShown = false;
  int fGutterWidth = 0;
  TSrcTransientPaintLock fTransientLock;
  TCanvas* fPaintCanvas = nullptr;  // the canvas of the paint in progress
  bool fDragRunning = false;
  // What trimming took from line ends during the edit under way, waiting for its records.
  struct TTrimmedTail {
    TBufferCoord At;
    AnsiString Text;
  };
  std::vector<TTrimmedTail> fTrimmed;
  bool fFlushingTrimmed = false;
  // Edits leave their lines untrimmed for now, whatever the options say.
  bool fDeferTrim = false;
  // Commands being executed (nested through handlers): edits made meanwhile are the command's.
  int fCommandDepth = 0;
  // Where the caret stood when the last text command ended: a text command that finds it
  // elsewhere (moved by a click, a bookmark jump or the program) begins a new typing run.
  TBufferCoord fTypingCaret{0, 0};
  // Ends the group of like records on the undo list, so that the next change is undone alone.
  void BreakUndoGroup();
  void ExecuteCommandBody(TSrcEditorCommand Command, char AChar, void* Data);

  // ---- mouse, keyboard, scrolling, window messages
public:
  // Dragging of text between editors: the control is its own drag source and a drop target
  // for any editor.
  void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) override;
  void DragDrop(TObject* Source, int X, int Y) override;
  void DragCanceled() override;
  // Fires OnGutterClick with the line under the point and the mark clicked there, if any.
  virtual void DoOnGutterClick(TMouseButton Button, int X, int Y);
  // True while a scroll-bar thumb is being dragged.
  bool IsScrolling() const { return fIsScrolling; }
  // Wheel movement not yet scrolled (below one notch).
  int WheelAccumulator() const { return fWheelAccumulator; }
  int MouseDownX() const { return fMouseDownX; }
  int MouseDownY() const { return fMouseDownY; }
  // The scroll hint window shared by all editors, created on first use.
  static THintWindow* ScrollHint();

  // Chooses the mouse cursor for the pointer's place again (the handlers may change it).
  virtual void UpdateMouseCursor();

protected:
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void DblClick() override;

private:
  void ScrollTimerHandler(TObject* Sender);
  void WMMouseWheel(TMessage& Message);
  void WMHScroll(TMessage& Message);
  void WMVScroll(TMessage& Message);
  void ShowScrollHint();
  void WMDropFiles(TMessage& Message);
  void WMImeComposition(TMessage& Message);
  void WMGetText(TMessage& Message);
  void WMSetText(TMessage& Message);

  // Mouse and scrolling state.
  int fMouseDownX = 0, fMouseDownY = 0;
  int fWheelAccumulator = 0;
  bool fIsScrolling = false;
};

// The control as forms use it: publishes the properties, adds no behaviour.
// Holds an editor's paint lock for the rest of a scope: the screen and the status reports
// catch up once, when the scope ends.
struct PaintLockScope {
  explicit PaintLockScope(TCustomSrcEdit* e) : e_(e) { e_->BeginUpdate(); }
  ~PaintLockScope() { e_->EndUpdate(); }
  PaintLockScope(const PaintLockScope&) = delete;
  PaintLockScope& operator=(const PaintLockScope&) = delete;
  TCustomSrcEdit* e_;
};

class TSrcEdit : public TCustomSrcEdit {
public:
  using TCustomSrcEdit::TCustomSrcEdit;
};

#pragma once
// The completion list: a borderless popup window beside an editor that shows the items, narrows
// them to those that begin with the text typed since it opened, and answers the keys, the mouse
// and the wheel. It never takes the focus: the editor keeps it and hands the popup its keys
// while the list is open. Shown as a hint or a parameter hint it only displays its items.
#include <cstdint>
#include <memory>

#include "editor-services/completion/format_chunks.h"
#include "editor/src_edit.h"
#include "platform/forms.h"

enum SrcCompletionType : uint8_t { ctCode, ctHint, ctParams };

// The completion options, one bit each.
using TSrcCompletionOptions = uint16_t;
enum : TSrcCompletionOptions {
  scoAnsiStrings = 1, scoCaseSensitive = 2, scoLimitToMatchedText = 4, scoTitleIsCentered = 8,
  scoUseInsertList = 16, scoUsePrettyText = 32, scoUseBuiltInTimer = 64, scoEndCharCompletion = 128,
  scoConsiderWordBreakChars = 256, scoCompleteWithTab = 512, scoCompleteWithEnter = 1024,
};
constexpr TSrcCompletionOptions SRC_DEFAULT_COMPLETION_OPTIONS = 1668;

using TCompletionChange = TMethod<void(TObject* Sender, int AIndex)>;
using TCompletionKeyPress = TMethod<void(TObject* Sender, char& Key)>;
using TCompletionComplete = TMethod<void(TObject* Sender, TShiftState Shift, char EndToken)>;
using TSrcBaseCompletionProposalPaintItem =
    TMethod<void(TObject* Sender, int Index, TCanvas* TargetCanvas, const TRect& ItemRect, bool& CustomDraw)>;
using TSrcBaseCompletionProposalMeasureItem =
    TMethod<void(TObject* Sender, int Index, TCanvas* TargetCanvas, int& ItemWidth)>;
using TCompletionParameter = TMethod<void(TObject* Sender, int CurrentIndex, int& Level, int& IndexToDisplay,
                                          char& Key, AnsiString& DisplayString)>;

class TSrcBaseCompletionProposalForm : public TCustomForm {
public:
  // Proposal: the component the popup serves (the sender of OnChange).
  TSrcBaseCompletionProposalForm(TComponent* AOwner, TComponent* Proposal);
  ~TSrcBaseCompletionProposalForm() override;
  AnsiString ClassName() const override { return "TSrcBaseCompletionProposalForm"; }

  // ---- the lists
  const AnsiString& TypedPrefix() const { return typedPrefix_; }
  // Narrows the list to the items that begin with Value (in ctCode).
  void SetTypedPrefix(const AnsiString& Value);
  TStringList* ItemList() const { return itemList_.get(); }
  // Takes the items as the list and the visible list, then narrows again.
  void SetItemList(TStrings* Value);
  TStringList* InsertList() const { return insertList_.get(); }
  void SetInsertList(TStrings* Value) { insertList_->Assign(Value); }
  TStringList* VisibleList() const { return visibleList_.get(); }
  // With scoLimitToMatchedText, the item-list index of a visible entry; else Index itself.
  int LogicalToPhysicalIndex(int Index) const;

  // ---- selection and scrolling
  int SelectedIndex() const { return selectedIndex_; }
  void SetSelectedIndex(int Value);
  void MoveSelection(int Delta);
  int LinesInWindow() const { return linesInWindow_; }
  int ScrollPosition() const { return scrollPos_; }
  // Sets the scroll bar's range for the visible entries and the lines in the window.
  void AdjustScrollBar();
  void ScrollTo(int Position);

  // ---- look
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value);
  TFont* TitleFont() const { return titleFont_.get(); }
  void SetTitleFont(TFont* Value);
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& Value);
  int FontHeight() const { return MeasureFontHeights(), fontHeight_; }
  int TitleFontHeight() const { return MeasureFontHeights(), titleFontHeight_; }
  int TitleHeight() const { return title_.empty() ? 0 : TitleFontHeight() + 4; }
  int ItemHeight() const { return itemHeight_; }
  void SetItemHeight(int Value) { itemHeight_ = Value; }
  int RowHeight() const { return itemHeight_ > 0 ? itemHeight_ : FontHeight(); }
  int Margin() const { return margin_; }
  void SetMargin(int Value) { margin_ = Value; }
  bool Resizeable() const { return resizeable_; }
  void SetResizeable(bool Value);
  TImageList* Images() const { return images_; }
  void SetImages(TImageList* Value);
  TProposalColumns* Columns() const { return columns_.get(); }
  void SetColumns(TProposalColumns* Value) { columns_->Assign(Value); }
  TColor ClSelect = clHighlight, ClSelectedText = clHighlightText, ClTitleBackground = clBtnFace,
         ClBackground = clWindow;

  // ---- behaviour
  TSrcCompletionOptions Options = 0;  // the component's options
  SrcCompletionType ShownKind = ctCode, DefaultType = ctCode;
  TSysCharSet EndCharSet;
  AnsiString EndOfTokenChr, TriggerChars;
  int ParameterIndex = 0;
  TCustomSrcEdit* TargetEditor() const { return targetEditor_; }
  void SetTargetEditor(TCustomSrcEdit* Value);
  // Drops the target without calling into it (it is being destroyed).
  void ForgetTargetEditor() { targetEditor_ = nullptr; }

  // Shows the popup at its place: in ctCode as the list that receives the keys, else without
  // taking anything from the editor. HidePopup hides it.
  void ShowPopup();
  void HidePopup();
  // The editor hands the popup its keys while the list is open.
  void ListKeyDown(Word& Key, TShiftState Shift);
  void ListKeyPress(char& Key);
  // The popup keeps no focus of its own: focusing it focuses the editor it serves.
  void SetFocus() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
  // The height of the window frame around the rows.
  static int FrameHeight() { return 1; }

  TCompletionKeyPress OnListKeyPress;
  TSrcBaseCompletionProposalPaintItem OnPaintItem;
  TSrcBaseCompletionProposalMeasureItem OnMeasureItem;
  TCompletionChange OnChange;
  TCompletionComplete OnComplete;
  TNotifyEvent OnDismiss;
  TCompletionParameter OnParameterToken;
  // The component's share of showing and hiding (its OnShow; Width, lines and OnClose).
  TNotifyEvent OnPopupShow, OnPopupHide;

protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint(TCanvas* Canvas, const TRect& ClipRect) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void DblClick() override;
  void WndProc(TMessage& Message) override;
  void DoShow() override;
  void DoHide() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void PaintList(TCanvas* Canvas);
  void PaintHint(TCanvas* Canvas);
  void PaintTitle(TCanvas* Canvas);
  // The heights of the fonts are measured when first needed (not when the list is made at the
  // editor's start) and again after a font changes.
  void RecalcFontHeights() { heightsKnown_ = false; }
  void MeasureFontHeights() const;
  bool Matches(const AnsiString& Item) const;
  void Narrow();
  void ScrollBarMoved();
  void DeleteOrMoveBack(TSrcEditorCommand Command);
  // The sizing edge of a resizeable list: its bottom rows of pixels and its right end (a
  // frameless window has no frame the window manager could size).
  bool OnSizingEdge(int X, int Y) const;
  void SendToEditor(TSrcEditorCommand Command, char AChar);

  TComponent* proposal_;
  AnsiString typedPrefix_;
  std::unique_ptr<TStringList> itemList_, insertList_, visibleList_;
  int selectedIndex_ = 0;
  int linesInWindow_ = 0;
  int scrollPos_ = 0;
  int wheelRemainder_ = 0;
  std::unique_ptr<TFont> font_, titleFont_;
  std::unique_ptr<TBitmap> measure_;
  mutable int fontHeight_ = 0, titleFontHeight_ = 0;
  mutable bool heightsKnown_ = false;
  AnsiString title_;
  bool resizeable_ = true;
  int itemHeight_ = 0;
  int margin_ = 2;
  TImageList* images_ = nullptr;
  std::unique_ptr<TProposalColumns> columns_;
  TCustomSrcEdit* targetEditor_ = nullptr;
  bool savedAlwaysShowCaret_ = false;
  bool sizing_ = false;
  TPoint sizingFrom_{0, 0};
  TSize sizingStart_{0, 0};
};

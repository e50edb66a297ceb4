#include "editor-services/completion/proposal_form.h"

#include <algorithm>

#include "platform/system_metrics.h"

namespace {

// Whether Item begins with Prefix: byte for byte, or folding the letters A to Z only.
bool StartsWith(const AnsiString& Item, const AnsiString& Prefix, bool FoldAscii) {
  if (Item.size() < Prefix.size()) return false;
  for (size_t i = 0; i < Prefix.size(); ++i) {
    unsigned char a = static_cast<unsigned char>(Item[i]), b = static_cast<unsigned char>(Prefix[i]);
    if (FoldAscii) {
      if (a >= 'a' && a <= 'z') a = static_cast<unsigned char>(a - 32);
      if (b >= 'a' && b <= 'z') b = static_cast<unsigned char>(b - 32);
    }
    if (a != b) return false;
  }
  return true;
}

// A scroll bar position travels in 16 bits of its message: a list with more rows to scroll
// than that has its bar scaled to this range, as the editor's bars are.
constexpr int kMaxScrollPos = 0x7FFF;

// The bar position of a scroll position and back, for a list that scrolls Range rows.
int BarOfScroll(int Position, int Range) {
  return Range <= kMaxScrollPos ? Position
                                : static_cast<int>(static_cast<long long>(Position) * kMaxScrollPos / Range);
}
int ScrollOfBar(int Bar, int Range) {
  return Range <= kMaxScrollPos ? Bar : static_cast<int>(static_cast<long long>(Bar) * Range / kMaxScrollPos);
}

}  // namespace

TSrcBaseCompletionProposalForm::TSrcBaseCompletionProposalForm(TComponent* AOwner, TComponent* Proposal)
    : TCustomForm(AOwner),
      proposal_(Proposal),
      itemList_(std::make_unique<TStringList>()),
      insertList_(std::make_unique<TStringList>()),
      visibleList_(std::make_unique<TStringList>()),
      font_(std::make_unique<TFont>()),
      titleFont_(std::make_unique<TFont>()),
      measure_(std::make_unique<TBitmap>(1, 1)),
      columns_(std::make_unique<TProposalColumns>(Proposal)) {
  SetFormBorderStyle(fbsNone);
  font_->SetName("MS Sans Serif");
  font_->SetSize(8);
  titleFont_->SetName("MS Sans Serif");
  titleFont_->SetSize(8);
  titleFont_->SetStyle({fsBold});
  titleFont_->SetColor(clBtnText);
  RecalcFontHeights();
  HandleNeeded();
  ShowScrollBar(SB_VERT, true);
}

TSrcBaseCompletionProposalForm::~TSrcBaseCompletionProposalForm() { SetTargetEditor(nullptr); }

void TSrcBaseCompletionProposalForm::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  Params.Style |= WS_BORDER;
  Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
}

void TSrcBaseCompletionProposalForm::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomForm::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == images_) images_ = nullptr;
  if (AComponent == targetEditor_) targetEditor_ = nullptr;
}

void TSrcBaseCompletionProposalForm::SetTargetEditor(TCustomSrcEdit* Value) {
  if (Value == targetEditor_) return;
  if (targetEditor_) {
    targetEditor_->RemoveFocusControl(this);
    targetEditor_->RemoveFreeNotification(this);
  }
  targetEditor_ = Value;
  if (targetEditor_) targetEditor_->FreeNotification(this);
}

void TSrcBaseCompletionProposalForm::SetImages(TImageList* Value) {
  if (Value == images_) return;
  if (images_) images_->RemoveFreeNotification(this);
  images_ = Value;
  if (images_) images_->FreeNotification(this);
}

void TSrcBaseCompletionProposalForm::MeasureFontHeights() const {
  if (heightsKnown_) return;
  heightsKnown_ = true;
  TCanvas* c = measure_->Canvas();
  c->Font()->Assign(font_.get());
  fontHeight_ = c->TextHeight("CompletionProposal");
  c->Font()->Assign(titleFont_.get());
  titleFontHeight_ = c->TextHeight("CompletionProposal");
}

void TSrcBaseCompletionProposalForm::SetFont(TFont* Value) {
  font_->Assign(Value);
  RecalcFontHeights();
  Invalidate();
}

void TSrcBaseCompletionProposalForm::SetTitleFont(TFont* Value) {
  titleFont_->Assign(Value);
  RecalcFontHeights();
  Invalidate();
}

void TSrcBaseCompletionProposalForm::SetTitle(const AnsiString& Value) {
  title_ = Value;
  Invalidate();
}

void TSrcBaseCompletionProposalForm::SetResizeable(bool Value) {
  if (Value == resizeable_) return;
  resizeable_ = Value;
  RecreateWnd();
}

// ------------------------------------------------------------------------------ lists

bool TSrcBaseCompletionProposalForm::Matches(const AnsiString& Item) const {
  const bool ansi = Options & scoAnsiStrings, caseSensitive = Options & scoCaseSensitive;
  if (ansi && !caseSensitive) {
    if (Item.size() < typedPrefix_.size()) return false;
    return AnsiCompareText(std::string_view(Item).substr(0, typedPrefix_.size()), typedPrefix_) == 0;
  }
  return StartsWith(Item, typedPrefix_, !ansi && !caseSensitive);
}

void TSrcBaseCompletionProposalForm::Narrow() {
  if (ShownKind != ctCode) return;
  auto compared = [this](int i) -> AnsiString {
    if (Options & scoUseInsertList) return i < insertList_->Count() ? insertList_->Get(i) : AnsiString();
    return Options & scoUsePrettyText ? FormattedTextToString(itemList_->Get(i)) : itemList_->Get(i);
  };
  if (Options & scoLimitToMatchedText) {
    visibleList_->BeginUpdate();
    visibleList_->Clear();
    visibleList_->SetCapacity(itemList_->Count());
    for (int i = 0; i < itemList_->Count(); ++i)
      if (Matches(compared(i)))
        visibleList_->AddObject(itemList_->Get(i), reinterpret_cast<TObject*>(static_cast<intptr_t>(i)));
    visibleList_->EndUpdate();
    AdjustScrollBar();
    selectedIndex_ = -1;  // so that the selection below takes
    SetSelectedIndex(0);
    selectedIndex_ = 0;
  } else {
    int found = 0;
    for (int i = 0; i < itemList_->Count(); ++i)
      if (Matches(compared(i))) {
        found = i;
        break;
      }
    SetSelectedIndex(found);
  }
  Invalidate();
}

void TSrcBaseCompletionProposalForm::SetTypedPrefix(const AnsiString& Value) {
  typedPrefix_ = Value;
  Narrow();
}

void TSrcBaseCompletionProposalForm::SetItemList(TStrings* Value) {
  itemList_->Assign(Value);
  visibleList_->Assign(Value);
  Narrow();
  AdjustScrollBar();
}

int TSrcBaseCompletionProposalForm::LogicalToPhysicalIndex(int Index) const {
  if ((Options & scoLimitToMatchedText) && Index >= 0 && Index < visibleList_->Count())
    return static_cast<int>(reinterpret_cast<intptr_t>(visibleList_->GetObject(Index)));
  return Index;
}

// ------------------------------------------------------------------------------ selection

void TSrcBaseCompletionProposalForm::SetSelectedIndex(int Value) {
  if (Value == selectedIndex_ || (Value <= 0 && selectedIndex_ == 0) || Value >= visibleList_->Count()) return;
  Value = std::max(Value, 0);
  selectedIndex_ = Value;
  if (Value < scrollPos_) ScrollTo(Value);
  else if (linesInWindow_ > 0 && Value >= scrollPos_ + linesInWindow_) ScrollTo(Value - linesInWindow_ + 1);
  if (Visible() && ShownKind == ctCode) CallEvent(OnChange, proposal_, LogicalToPhysicalIndex(selectedIndex_));
  Invalidate();
}

void TSrcBaseCompletionProposalForm::MoveSelection(int Delta) {
  int last = visibleList_->Count() - 1;
  SetSelectedIndex(std::clamp(selectedIndex_ + Delta, 0, std::max(last, 0)));
}

void TSrcBaseCompletionProposalForm::AdjustScrollBar() {
  const int count = visibleList_->Count();
  TScrollInfo info;
  info.fMask = SIF_ALL;
  if (count <= linesInWindow_) {
    scrollPos_ = 0;
    SetScrollInfo(SB_VERT, info);
    EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
  } else {
    const int range = count - linesInWindow_;
    scrollPos_ = std::clamp(scrollPos_, 0, range);
    info.nMax = BarOfScroll(range, range);
    info.nPage = 1;
    info.nPos = BarOfScroll(scrollPos_, range);
    EnableScrollBar(SB_VERT, ESB_ENABLE_BOTH);
    SetScrollInfo(SB_VERT, info);
  }
}

void TSrcBaseCompletionProposalForm::ScrollTo(int Position) {
  int top = std::max(0, visibleList_->Count() - linesInWindow_);
  scrollPos_ = std::clamp(Position, 0, top);
  TScrollInfo info = GetScrollInfo(SB_VERT);
  info.fMask = SIF_POS;
  info.nPos = BarOfScroll(scrollPos_, top);
  SetScrollInfo(SB_VERT, info);
  Invalidate();
}

void TSrcBaseCompletionProposalForm::ScrollBarMoved() {
  if (selectedIndex_ < scrollPos_) SetSelectedIndex(scrollPos_);
  else if (selectedIndex_ >= scrollPos_ + linesInWindow_) SetSelectedIndex(scrollPos_ + linesInWindow_ - 1);
  else Invalidate();
  // The scroll bar keeps no focus: the keys stay with the editor, whose caret shows again.
  if (targetEditor_) {
    targetEditor_->SetFocus();
    targetEditor_->SetAlwaysShowCaret(false);
    targetEditor_->SetAlwaysShowCaret(true);
  }
}

// ------------------------------------------------------------------------------ keys and mouse

void TSrcBaseCompletionProposalForm::SendToEditor(TSrcEditorCommand Command, char AChar) {
  if (targetEditor_) targetEditor_->CommandProcessor(Command, AChar, nullptr);
}

void TSrcBaseCompletionProposalForm::DeleteOrMoveBack(TSrcEditorCommand Command) {
  if (typedPrefix_.empty()) {
    SendToEditor(Command, 0);
    CallEvent(OnDismiss, this);
  } else {
    SetTypedPrefix(typedPrefix_.substr(0, typedPrefix_.size() - 1));
    SendToEditor(Command, 0);
  }
}

void TSrcBaseCompletionProposalForm::ListKeyDown(Word& Key, TShiftState Shift) {
  if (ShownKind != ctCode) return;
  const bool ctrl = Shift.Contains(ssCtrl);
  switch (Key) {
    case VK_BACK:
      if (!Shift.Contains(ssShift) && !ctrl && !Shift.Contains(ssAlt)) DeleteOrMoveBack(ecDeleteLastChar);
      break;
    case VK_TAB:
      if (Options & scoCompleteWithTab) CallEvent(OnComplete, this, Shift, '\0');
      break;
    case VK_RETURN:
      if (Options & scoCompleteWithEnter) CallEvent(OnComplete, this, Shift, '\0');
      break;
    case VK_ESCAPE: CallEvent(OnDismiss, this); break;
    case VK_PRIOR: MoveSelection(-linesInWindow_); break;
    case VK_NEXT: MoveSelection(linesInWindow_); break;
    case VK_END: SetSelectedIndex(visibleList_->Count() - 1); break;
    case VK_HOME: SetSelectedIndex(0); break;
    case VK_LEFT: DeleteOrMoveBack(ecLeft); break;
    case VK_RIGHT:
      if (targetEditor_) {
        AnsiString line = targetEditor_->LineText();
        int x = targetEditor_->CaretX();
        char c = x >= 1 && x <= static_cast<int>(line.size()) ? line[static_cast<size_t>(x - 1)] : ' ';
        if (c == '\t' || c == ' ' || EndCharSet.Contains(c)) CallEvent(OnDismiss, this);
        else SetTypedPrefix(typedPrefix_ + c);
        SendToEditor(ecRight, 0);
      }
      break;
    case VK_UP:
      if (ctrl) SetSelectedIndex(0);
      else MoveSelection(-1);
      break;
    case VK_DOWN:
      if (ctrl) SetSelectedIndex(visibleList_->Count() - 1);
      else MoveSelection(1);
      break;
    case VK_DELETE: SendToEditor(ecDeleteChar, 0); break;
    default: break;
  }
  Invalidate();
}

void TSrcBaseCompletionProposalForm::ListKeyPress(char& Key) {
  if (ShownKind != ctCode) return;
  const unsigned char c = static_cast<unsigned char>(Key);
  if (c == 8) {
    CallEvent(OnListKeyPress, this, Key);
  } else if (c == 13 || c == 27) {
    // Enter and Escape did their work as keys.
  } else if (c >= 32 && c <= 'z') {
    if (EndCharSet.Contains(c)) CallEvent(OnComplete, this, TShiftState{}, c == ' ' ? '\0' : Key);
    SetTypedPrefix(typedPrefix_ + Key);
    CallEvent(OnListKeyPress, this, Key);
  } else {
    SendToEditor(ecChar, Key);
    CallEvent(OnDismiss, this);
  }
  Invalidate();
}

namespace {
constexpr int kSizingEdge = 4;
}  // namespace

bool TSrcBaseCompletionProposalForm::OnSizingEdge(int X, int Y) const {
  return ShownKind == ctCode && resizeable_ && (Y >= ClientHeight() - kSizingEdge || X >= ClientWidth() - kSizingEdge);
}

void TSrcBaseCompletionProposalForm::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomForm::MouseDown(Button, Shift, X, Y);
  if (Button == mbLeft && !Shift.Contains(ssDouble) && OnSizingEdge(X, Y)) {
    sizing_ = true;
    sizingFrom_ = ClientToScreen(TPoint{X, Y});
    sizingStart_ = TSize{Width(), Height()};
    SetMouseCapture(true);
    return;
  }
  if (ShownKind != ctCode || RowHeight() <= 0 || Y < TitleHeight()) return;
  SetSelectedIndex((Y - TitleHeight()) / RowHeight() + scrollPos_);
}

void TSrcBaseCompletionProposalForm::MouseMove(TShiftState Shift, int X, int Y) {
  TCustomForm::MouseMove(Shift, X, Y);
  if (sizing_) {
    TPoint p = ClientToScreen(TPoint{X, Y});
    SetBounds(Left(), Top(), sizingStart_.cx + p.X - sizingFrom_.X, sizingStart_.cy + p.Y - sizingFrom_.Y);
    Invalidate();
    return;
  }
  SetShownCursor(this, OnSizingEdge(X, Y) ? crSizeNWSE : crDefault);
}

void TSrcBaseCompletionProposalForm::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomForm::MouseUp(Button, Shift, X, Y);
  if (!sizing_) return;
  sizing_ = false;
  SetMouseCapture(false);
}

void TSrcBaseCompletionProposalForm::DblClick() {
  TCustomForm::DblClick();
  CallEvent(OnComplete, this, TShiftState{}, '\0');
}

void TSrcBaseCompletionProposalForm::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_ERASEBKGND:
      Message.Result = 1;
      return;
    case WM_GETDLGCODE:
      Message.Result = DLGC_WANTTAB;
      return;
    case WM_MOUSEWHEEL: {
      if (ComponentState() & csDesigning) break;
      TShiftState shift = MouseKeysToShiftState(LoWord(Message.WParam));
      wheelRemainder_ += static_cast<int16_t>(HiWord(Message.WParam));
      int rows = shift.Contains(ssCtrl) ? linesInWindow_ : WheelScrollLines();
      if (rows == WHEEL_PAGESCROLL || rows > linesInWindow_) rows = linesInWindow_;
      int notches = wheelRemainder_ / WHEEL_DELTA;
      wheelRemainder_ %= WHEEL_DELTA;
      if (notches) MoveSelection(-notches * rows);
      return;
    }
    case WM_VSCROLL: {
      int pos = scrollPos_;
      switch (LoWord(Message.WParam)) {
        case SB_LINEUP: --pos; break;
        case SB_LINEDOWN: ++pos; break;
        case SB_PAGEUP: pos -= linesInWindow_; break;
        case SB_PAGEDOWN: pos += linesInWindow_; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = visibleList_->Count(); break;
        case SB_THUMBTRACK: case SB_THUMBPOSITION:
          pos = ScrollOfBar(static_cast<int>(HiWord(Message.WParam)),
                            std::max(0, visibleList_->Count() - linesInWindow_));
          break;
        default: return;
      }
      ScrollTo(pos);
      ScrollBarMoved();
      return;
    }
    default:
      break;
  }
  TCustomForm::WndProc(Message);
}

void TSrcBaseCompletionProposalForm::SetFocus() {
  if (targetEditor_) targetEditor_->TWinControl::SetFocus();
}

// ------------------------------------------------------------------------------ window

void TSrcBaseCompletionProposalForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const int frame = FrameHeight();
  if (ShownKind == ctCode) {
    // Whole rows only.
    int rows = RowHeight() > 0 ? std::max((AHeight - 2 * frame - TitleHeight()) / RowHeight(), 1) : 0;
    AHeight = rows * RowHeight() + TitleHeight() + 2 * frame;
    AWidth = std::max(AWidth, GetSystemMetrics(SM_CXVSCROLL) + 2 * frame);
    linesInWindow_ = rows;
  } else {
    linesInWindow_ = visibleList_->Count();
  }
  TCustomForm::SetBounds(ALeft, ATop, AWidth, AHeight);
  AdjustScrollBar();
}

void TSrcBaseCompletionProposalForm::ShowPopup() {
  ShowScrollBar(SB_VERT, ShownKind == ctCode);
  Show();
  if (ShownKind == ctCode && targetEditor_) targetEditor_->AddFocusControl(this);
  Invalidate();
}

void TSrcBaseCompletionProposalForm::HidePopup() {
  if (targetEditor_) targetEditor_->RemoveFocusControl(this);
  Hide();
}

void TSrcBaseCompletionProposalForm::DoShow() {
  if (targetEditor_) {
    savedAlwaysShowCaret_ = targetEditor_->AlwaysShowCaret();
    targetEditor_->SetAlwaysShowCaret(targetEditor_->Focused());
  }
  CallEvent(OnPopupShow, this);
  TCustomForm::DoShow();
}

void TSrcBaseCompletionProposalForm::DoHide() {
  if (targetEditor_) targetEditor_->SetAlwaysShowCaret(savedAlwaysShowCaret_);
  CallEvent(OnPopupHide, this);
  TCustomForm::DoHide();
}

// ------------------------------------------------------------------------------ painting

void TSrcBaseCompletionProposalForm::Paint(TCanvas* Canvas, const TRect&) {
  if (ShownKind == ctCode) {
    PaintList(Canvas);
    PaintTitle(Canvas);
  } else {
    PaintHint(Canvas);
  }
}

void TSrcBaseCompletionProposalForm::PaintTitle(TCanvas* Canvas) {
  if (title_.empty()) return;
  const int w = ClientWidth(), h = TitleHeight();
  Canvas->Brush()->SetColor(ClTitleBackground);
  Canvas->FillRect(TRect{0, 0, w, h});
  Canvas->Pen()->SetColor(clBtnShadow);
  Canvas->MoveTo(0, h - 1);
  Canvas->LineTo(w, h - 1);
  Canvas->Font()->Assign(titleFont_.get());
  int x = 2;
  if (Options & scoTitleIsCentered) x = std::max(2, (w - Canvas->TextWidth(title_)) / 2);
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->TextOut(x, (h - TitleFontHeight()) / 2, title_);
  Canvas->Brush()->SetStyle(bsSolid);
}

void TSrcBaseCompletionProposalForm::PaintList(TCanvas* Canvas) {
  const int w = ClientWidth(), top = TitleHeight(), rowHeight = RowHeight();
  Canvas->Font()->Assign(font_.get());
  Canvas->Brush()->SetColor(ClBackground);
  Canvas->Pen()->SetColor(clBtnFace);
  Canvas->Rectangle(0, top, w, ClientHeight());
  const int rows = std::min(linesInWindow_, visibleList_->Count() - scrollPos_);
  for (int r = 0; r < rows; ++r) {
    const int i = r + scrollPos_;
    const TRect row{0, top + r * rowHeight, w, top + (r + 1) * rowHeight};
    const bool selected = i == selectedIndex_;
    if (selected) {
      Canvas->Brush()->SetColor(ClSelect);
      Canvas->FillRect(row);
      Canvas->Font()->SetColor(ClSelectedText);
    }
    bool custom = false;
    if (OnPaintItem.Assigned()) OnPaintItem(proposal_, LogicalToPhysicalIndex(i), Canvas, row, custom);
    if (!custom) {
      const AnsiString& item = visibleList_->Get(i);
      if (Options & scoUsePrettyText)
        FormattedTextOut(Canvas, TRect{margin_, row.Top + (rowHeight - FontHeight()) / 2, w, row.Bottom}, item,
                         selected, images_, columns_.get());
      else
        Canvas->TextOut(margin_, row.Top, item);
    }
    if (custom || selected) {
      Canvas->Brush()->SetColor(ClBackground);
      Canvas->Font()->Assign(font_.get());
    }
  }
}

void TSrcBaseCompletionProposalForm::PaintHint(TCanvas* Canvas) {
  const int w = ClientWidth(), h = ClientHeight();
  Canvas->Brush()->SetColor(ClBackground);
  Canvas->FillRect(TRect{0, 0, w, h});
  Canvas->Pen()->SetColor(cl3DLight);
  Canvas->MoveTo(0, h - 1);
  Canvas->LineTo(0, 0);
  Canvas->LineTo(w - 1, 0);
  Canvas->Pen()->SetColor(cl3DDkShadow);
  Canvas->LineTo(w - 1, h - 1);
  Canvas->LineTo(0, h - 1);
  Canvas->Font()->Assign(font_.get());
  for (int i = 0; i < visibleList_->Count(); ++i) {
    const TRect row{margin_ + 1, margin_ + 1 + i * RowHeight(), w - margin_ - 1, margin_ + 1 + (i + 1) * RowHeight()};
    bool custom = false;
    if (OnPaintItem.Assigned()) OnPaintItem(proposal_, i, Canvas, row, custom);
    if (custom) continue;
    AnsiString item = visibleList_->Get(i);
    if (ShownKind == ctParams) item = FormatParamList(item, ParameterIndex);
    FormattedTextOut(Canvas, row, item, false, images_, columns_.get());
  }
}

#include "editor-services/completion/completion_proposal.h"

#include <algorithm>

#include "editor-services/line_replace.h"
#include "platform/application.h"
#include "platform/system_metrics.h"

namespace {

// Word breaks of an editor without a highlighter.
const TSysCharSet kDefaultWordBreaks{'!', '"', '\'', '(', ')', '*', '+', ',', '-', '.', '/', ':',
                                     ';', '=', '?', '[', '\\', ']', '^', '{', '|', '}'};

}  // namespace

// ------------------------------------------------------------------------------ base

TSrcBaseCompletionProposal::TSrcBaseCompletionProposal(TComponent* AOwner) : TComponent(AOwner) {
  form_ = new TSrcBaseCompletionProposalForm(this, this);
  form_->OnPopupShow = TNotifyEvent(this, &TSrcBaseCompletionProposal::PopupShown);
  form_->OnPopupHide = TNotifyEvent(this, &TSrcBaseCompletionProposal::PopupHidden);
  form_->EndOfTokenChr = "()[]. ";
  form_->DefaultType = form_->ShownKind = ctCode;
  SetOptions(SRC_DEFAULT_COMPLETION_OPTIONS);
}

TSrcBaseCompletionProposal::~TSrcBaseCompletionProposal() {
  form_->OnPopupShow = nullptr;
  form_->OnPopupHide = nullptr;
}

void TSrcBaseCompletionProposal::SetOptions(TSrcCompletionOptions Value) {
  if (Value == options_) return;
  options_ = Value;
  form_->Options = Value;
}

void TSrcBaseCompletionProposal::SetDefaultType(SrcCompletionType Value) {
  form_->DefaultType = form_->ShownKind = Value;
  form_->RecreateWnd();
}

void TSrcBaseCompletionProposal::PopupHidden(TObject*) {
  if (form_->ShownKind == ctCode) {
    width_ = form_->Width();
    nbLinesInWindow_ = form_->LinesInWindow();
  }
  CallEvent(OnClose, this);
}

void TSrcBaseCompletionProposal::Place(int x, int y) {
  int w = 0, h = 0;
  const int frame = TSrcBaseCompletionProposalForm::FrameHeight();
  if (form_->ShownKind == ctCode) {
    w = width_;
    h = form_->RowHeight() * nbLinesInWindow_ + form_->TitleHeight() + 2 * frame;
  } else {
    TBitmap measure(1, 1);
    TCanvas* c = measure.Canvas();
    c->Font()->Assign(form_->Font());
    TStringList* items = form_->VisibleList();
    for (int i = 0; i < items->Count(); ++i) {
      int iw = 0;
      if (form_->ShownKind == ctHint) {
        iw = FormattedTextWidth(c, items->Get(i), form_->Columns(), form_->Images());
      } else {
        TStringList params;
        params.SetCommaText(items->Get(i));
        for (int k = -1; k < params.Count(); ++k)
          iw = std::max(iw, FormattedTextWidth(c, FormatParamList(items->Get(i), k), form_->Columns(), form_->Images()));
        if (OnMeasureItem.Assigned()) OnMeasureItem(this, i, c, iw);
      }
      // No wider than the screen: an item may ask for any width.
      w = std::max(w, std::min(iw, Screen->Width()));
    }
    w = std::min(w + 2 * form_->Margin() + 2 + 2 * frame, Screen->Width());
    h = items->Count() * form_->RowHeight() + 2 + 2 * form_->Margin() + 2 * frame;
  }
  // Kept on the screen: left of the right edge, or above the caret line when below is no room.
  const int sw = Screen->Width(), sh = Screen->Height();
  if (x + w > sw) x = std::max(sw - w - 5, 0);
  if (y + h > sh) y = std::max(y - h - CaretLineHeight() - 2, 0);
  form_->SetBounds(x, y, w, h);
}

void TSrcBaseCompletionProposal::Execute(const AnsiString& S, int x, int y, SrcCompletionType Kind) {
  form_->ShownKind = Kind;
  AnsiString input = S;
  bool can = true;
  if (OnExecute.Assigned()) OnExecute(Kind, this, input, x, y, can);
  executeAllowed_ = can;
  if (can && form_->ItemList()->Count() > 0) {
    form_->VisibleList()->Assign(form_->ItemList());
    if (Kind == ctCode) {
      form_->SetTypedPrefix(input);
      Place(x, y);
      if (!(options_ & scoLimitToMatchedText)) {
        form_->AdjustScrollBar();
        form_->ScrollTo(form_->SelectedIndex());
      }
    } else {
      Place(x, y);
    }
    form_->ShowPopup();
  } else if (form_->Visible() && Kind == ctParams) {
    form_->HidePopup();
  }
}

// ------------------------------------------------------------------------------ editor binding

TSrcCompletionProposal::TSrcCompletionProposal(TComponent* AOwner) : TSrcBaseCompletionProposal(AOwner) {
  form_->OnListKeyPress = TCompletionKeyPress(this, &TSrcCompletionProposal::TypeInEditor);
  form_->OnComplete = TCompletionComplete(this, &TSrcCompletionProposal::DoCodeCompletion);
  form_->OnDismiss = TNotifyEvent(this, &TSrcCompletionProposal::DoCancel);
  SetEndOfTokenChr("()[]. ");
  SetTriggerChars(".");
  shortCut_ = ::ShortCut(VK_SPACE, {ssCtrl});
  SetOptions(SRC_DEFAULT_COMPLETION_OPTIONS);
}

TSrcCompletionProposal::~TSrcCompletionProposal() {
  if (form_->Visible()) CancelCompletion();
  SetEditor(nullptr);
  while (!editors_.empty()) RemoveEditor(editors_.back());
  form_->OnListKeyPress = nullptr;
  form_->OnComplete = nullptr;
  form_->OnDismiss = nullptr;
}

void TSrcCompletionProposal::SetOptions(TSrcCompletionOptions Value) {
  TSrcBaseCompletionProposal::SetOptions(Value);
  if ((Value & scoUseBuiltInTimer) && !timer_) {
    timer_ = new TTimer(this);
    timer_->SetEnabled(false);
    timer_->SetInterval(timerInterval_);
    timer_->OnTimer = TNotifyEvent(this, &TSrcCompletionProposal::TimerTick);
  } else if (!(Value & scoUseBuiltInTimer) && timer_) {
    delete timer_;
    timer_ = nullptr;
  }
}

void TSrcCompletionProposal::SetTimerInterval(unsigned Value) {
  timerInterval_ = Value;
  if (timer_) timer_->SetInterval(Value);
}

void TSrcCompletionProposal::SetEditor(TCustomSrcEdit* Value) {
  if (editor_) RemoveEditor(editor_);
  editor_ = Value;
  if (Value) AddEditor(Value);
}

void TSrcCompletionProposal::AddEditor(TCustomSrcEdit* AEditor) {
  if (!AEditor || std::find(editors_.begin(), editors_.end(), AEditor) != editors_.end()) return;
  AEditor->FreeNotification(this);
  editors_.push_back(AEditor);
  AEditor->AddKeyDownHandler(TKeyEvent(this, &TSrcCompletionProposal::EditorKeyDown));
  AEditor->AddKeyPressHandler(TKeyPressEvent(this, &TSrcCompletionProposal::EditorKeyPress));
  AEditor->AddMouseDownHandler(TMouseEvent(this, &TSrcCompletionProposal::EditorMouseDown));
  AEditor->RegisterCommandHandler(THookedCommandEvent(this, &TSrcCompletionProposal::ProcessEditorCommand), nullptr);
}

bool TSrcCompletionProposal::RemoveEditor(TCustomSrcEdit* AEditor) {
  auto it = std::find(editors_.begin(), editors_.end(), AEditor);
  if (it == editors_.end()) return false;
  const bool target = AEditor == form_->TargetEditor();
  // An editor being destroyed is let go of without being called (its members are gone).
  if (target && AEditor->Destroying()) form_->ForgetTargetEditor();
  // The list of an editor that goes away closes (its target may have been let go of already).
  if ((target || !form_->TargetEditor()) && form_->Visible()) CancelCompletion();
  if (target) form_->SetTargetEditor(nullptr);
  if (AEditor == editor_) editor_ = nullptr;
  editors_.erase(it);
  // An editor being destroyed takes its handler chains with it.
  if (!AEditor->Destroying()) {
    AEditor->RemoveFreeNotification(this);
    AEditor->RemoveKeyDownHandler(TKeyEvent(this, &TSrcCompletionProposal::EditorKeyDown));
    AEditor->RemoveKeyPressHandler(TKeyPressEvent(this, &TSrcCompletionProposal::EditorKeyPress));
    AEditor->RemoveMouseDownHandler(TMouseEvent(this, &TSrcCompletionProposal::EditorMouseDown));
    AEditor->UnregisterCommandHandler(THookedCommandEvent(this, &TSrcCompletionProposal::ProcessEditorCommand));
  }
  return true;
}

void TSrcCompletionProposal::Notification(TComponent* AComponent, TOperation Operation) {
  TSrcBaseCompletionProposal::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  for (TCustomSrcEdit* e : editors_)
    if (e == AComponent) {
      RemoveEditor(e);
      break;
    }
}

int TSrcCompletionProposal::CaretLineHeight() const {
  return form_->TargetEditor() ? form_->TargetEditor()->LineHeight() : 0;
}

bool TSrcCompletionProposal::ListOpenFor(TObject* Sender) const {
  return form_->Visible() && form_->ShownKind == ctCode && Sender == form_->TargetEditor();
}

void TSrcCompletionProposal::EditorKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  // The open list holds the keys: the editor only passes them on.
  if (ListOpenFor(Sender)) {
    form_->ListKeyDown(Key, Shift);
    Key = 0;
    return;
  }
  auto* editor = dynamic_cast<TCustomSrcEdit*>(Sender);
  if (!editor) return;
  Word key;
  TShiftState shift;
  ShortCutToKey(shortCut_, key, shift);
  if (DefaultType() == ctCode && editor->ReadOnly()) return;
  TShiftState pressed = Shift * TShiftState{ssShift, ssCtrl, ssAlt};
  if (pressed != shift || Key != key) return;
  form_->SetTargetEditor(editor);
  Key = 0;
  ExecuteEx(editor);
}

void TSrcCompletionProposal::EditorKeyPress(TObject* Sender, char& Key) {
  if (swallowNextKey_) {
    swallowNextKey_ = false;
    Key = '\0';
    return;
  }
  if (ListOpenFor(Sender)) {
    form_->ListKeyPress(Key);
    Key = '\0';
    return;
  }
  if (!timer_) return;
  if (TriggerChars().find(Key) != AnsiString::npos) {
    form_->SetTargetEditor(dynamic_cast<TCustomSrcEdit*>(Sender));
    timer_->SetEnabled(false);
    timer_->SetEnabled(true);
  } else {
    timer_->SetEnabled(false);
  }
}

// A click in the editor makes it the window the user works in again: the open list closes, as
// a deactivated window does.
void TSrcCompletionProposal::EditorMouseDown(TObject* Sender, TMouseButton, TShiftState, int, int) {
  if (ListOpenFor(Sender)) HidePopup();
}

void TSrcCompletionProposal::TimerTick(TObject*) {
  timer_->SetEnabled(false);
  if (Screen->ActiveForm() && form_->TargetEditor()) {
    ExecuteEx(form_->TargetEditor());
    swallowNextKey_ = false;
  } else if (form_->Visible()) {
    HidePopup();
  }
}

void TSrcCompletionProposal::ExecuteEx(TCustomSrcEdit* AEditor) {
  if (!AEditor || std::find(editors_.begin(), editors_.end(), AEditor) == editors_.end()) return;
  if (DefaultType() == ctCode && AEditor->ReadOnly()) return;
  TPoint p;
  if (DefaultType() == ctHint) {
    p = GetCursorPos();
  } else {
    p = AEditor->ClientToScreen(AEditor->RowColumnToPixels(AEditor->DisplayXY()));
    p.Y += AEditor->LineHeight();
  }
  form_->SetTargetEditor(AEditor);
  form_->EndCharSet = TSysCharSet();
  if (Options() & scoConsiderWordBreakChars)
    form_->EndCharSet = AEditor->Highlighter() ? AEditor->Highlighter()->WordBreakChars : kDefaultWordBreaks;
  form_->EndCharSet.AddChars(EndOfTokenChr());

  // The word before the caret: back to a blank, a control character or an end character.
  const AnsiString line = AEditor->LineText();
  int c = AEditor->CaretX() - 1;
  AnsiString word;
  if (static_cast<int>(line.size()) < c) {
    tokenStart_ = AEditor->CaretX();
  } else {
    auto stops = [&](int i) {
      unsigned char ch = static_cast<unsigned char>(line[static_cast<size_t>(i - 1)]);
      return ch <= 32 || form_->EndCharSet.Contains(ch);
    };
    while (c > 0 && !stops(c)) --c;
    tokenStart_ = c + 1;
    word = line.substr(static_cast<size_t>(c), static_cast<size_t>(AEditor->CaretX() - 1 - c));
  }
  Execute(word, p.X, p.Y, DefaultType());
  // Whether OnExecute let it run decides whether the shortcut's character is eaten.
  swallowNextKey_ = DefaultType() == ctCode && executeAllowed_;
}

void TSrcCompletionProposal::Execute(const AnsiString& S, int x, int y, SrcCompletionType Kind) {
  TSrcBaseCompletionProposal::Execute(S, x, y, Kind);
  if (timer_) timer_->SetEnabled(false);
}

void TSrcCompletionProposal::DoCodeCompletion(TObject*, TShiftState Shift, char EndToken) {
  TCustomSrcEdit* editor = form_->TargetEditor();
  if (!editor) return;
  editor->BeginUpdate();
  editor->BeginUndoBlock();
  AnsiString value;
  int index = form_->LogicalToPhysicalIndex(form_->SelectedIndex());
  try {
    const int line = editor->CaretY();
    const TBufferCoord start = BufferCoord(tokenStart_, line);
    const TBufferCoord end = EndToken != '\0' ? editor->CaretXY() : BufferCoord(editor->WordEnd().Char, line);
    const AnsiString lineText = editor->LineText();
    auto textBetween = [&](int from, int to) {
      from = std::clamp(from, 1, static_cast<int>(lineText.size()) + 1);
      to = std::clamp(to, from, static_cast<int>(lineText.size()) + 1);
      return lineText.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from));
    };
    const AnsiString selected = textBetween(start.Char, end.Char);
    const TSrcCompletionOptions o = Options();
    const int sel = form_->SelectedIndex();
    bool exists = false;
    if (!(o & scoUseInsertList)) {
      exists = sel >= 0 && sel < form_->VisibleList()->Count();
      if (exists) value = form_->VisibleList()->Get(sel);
    } else {
      int i = (o & scoLimitToMatchedText) ? form_->LogicalToPhysicalIndex(sel) : sel;
      exists = sel >= 0 && sel < form_->VisibleList()->Count() && i >= 0 && i < InsertList()->Count();
      if (exists) value = InsertList()->Get(i);
    }
    if (!exists || (EndToken != '\0' && !(o & scoEndCharCompletion))) value = selected;
    if (OnCodeCompletion.Assigned()) OnCodeCompletion(this, value, Shift, index, EndToken);
    TBufferCoord caret = end;
    if (selected != value) {
      ReplaceLineRange(editor, line, start.Char, std::max(end.Char, start.Char), value);
      caret = editor->CaretXY();
    }
    HidePopup();
    editor->SetFocus();
    editor->EnsureCursorPosVisible();
    editor->SetCaretXY(caret);
    editor->SetBlockBegin(caret);
  } catch (...) {
    editor->EndUndoBlock();
    editor->EndUpdate();
    throw;
  }
  editor->EndUndoBlock();
  editor->EndUpdate();
  CallEvent(OnAfterCodeCompletion, this, value, Shift, index, EndToken);
}

void TSrcCompletionProposal::HidePopup() {
  if (timer_) timer_->SetEnabled(false);
  swallowNextKey_ = false;
  if (form_->Visible()) form_->HidePopup();
}

void TSrcCompletionProposal::CancelCompletion() {
  HidePopup();
  CallEvent(OnCancelled, this);
}

void TSrcCompletionProposal::CancelParamsHint() {
  if (form_->ShownKind == ctParams) CancelCompletion();
}

void TSrcCompletionProposal::DoCancel(TObject*) {
  swallowNextKey_ = false;
  TCustomSrcEdit* editor = form_->TargetEditor();
  if (!editor) return;
  if (timer_) timer_->SetEnabled(false);
  if (form_->Visible()) form_->HidePopup();
  if (auto* owner = dynamic_cast<TWinControl*>(editor->Owner()); owner && owner->Visible() && owner->HandleAllocated())
    owner->SetFocus();
  editor->SetFocus();
  CallEvent(OnCancelled, this);
}

void TSrcCompletionProposal::TypeInEditor(TObject*, char& Key) {
  TCustomSrcEdit* editor = form_->TargetEditor();
  if (!editor) return;
  editor->CommandProcessor(ecChar, Key, nullptr);
  ProcessMessages();
  if (TriggerChars().find(Key) != AnsiString::npos && !form_->Visible()) ExecuteEx(editor);
}

void TSrcCompletionProposal::ProcessEditorCommand(TObject* Sender, bool AfterProcessing, bool&,
                                                  TSrcEditorCommand& Command, char& AChar, void*, void*) {
  if (!AfterProcessing) return;
  if (form_->Visible()) {
    // The open list is the window the user works in: when its editor loses the focus to
    // another window, the list closes as a deactivated window does.
    if (form_->ShownKind == ctCode) {
      if (Command == ecFocusLost && Sender == form_->TargetEditor() && !form_->TargetEditor()->Focused())
        HidePopup();
      return;
    }
    if (form_->ShownKind == ctHint) {
      CancelCompletion();
    } else if (Command == ecFocusGained || Command == ecFocusLost || (Command == ecChar && AChar == 27)) {
      CancelCompletion();
    } else if (auto* editor = dynamic_cast<TCustomSrcEdit*>(Sender)) {
      ExecuteEx(editor);
    }
  } else if (timer_ && !(Command == ecChar && TriggerChars().find(AChar) != AnsiString::npos)) {
    timer_->SetEnabled(false);
  }
}

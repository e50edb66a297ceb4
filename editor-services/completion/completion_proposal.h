#pragma once
// The completion proposal: a keyboard shortcut (or, with the built-in timer, a trigger
// character and a pause) opens the completion list at the caret of an editor, with the word
// before the caret as the typed prefix; accepting an item replaces that word (up to the word's
// end when completed by a key of its own) as one undoable change.
#include <memory>
#include <vector>

#include "editor-services/completion/proposal_form.h"
#include "platform/shortcuts.h"

using TCompletionExecute = TMethod<void(SrcCompletionType Kind, TObject* Sender, AnsiString& CurrentInput, int& x,
                                        int& y, bool& CanExecute)>;
using TCodeCompletionEvent =
    TMethod<void(TObject* Sender, AnsiString& Value, TShiftState Shift, int Index, char EndToken)>;
using TAfterCodeCompletionEvent =
    TMethod<void(TObject* Sender, const AnsiString& Value, TShiftState Shift, int Index, char EndToken)>;

// The settings of the popup and the showing of it at a screen point.
class TSrcBaseCompletionProposal : public TComponent {
public:
  explicit TSrcBaseCompletionProposal(TComponent* AOwner);
  ~TSrcBaseCompletionProposal() override;

  TSrcBaseCompletionProposalForm* Form() const { return form_; }
  SrcCompletionType DefaultType() const { return form_->DefaultType; }
  void SetDefaultType(SrcCompletionType Value);
  TSrcCompletionOptions Options() const { return options_; }
  virtual void SetOptions(TSrcCompletionOptions Value);
  TStringList* ItemList() const { return form_->ItemList(); }
  void SetItemList(TStrings* Value) { form_->SetItemList(Value); }
  TStringList* InsertList() const { return form_->InsertList(); }
  void SetInsertList(TStrings* Value) { form_->SetInsertList(Value); }
  int NbLinesInWindow() const { return nbLinesInWindow_; }
  void SetNbLinesInWindow(int Value) { nbLinesInWindow_ = Value; }
  int Width() const { return width_; }
  void SetWidth(int Value) { width_ = Value; }
  const AnsiString& EndOfTokenChr() const { return form_->EndOfTokenChr; }
  void SetEndOfTokenChr(const AnsiString& Value) { if (Value != form_->EndOfTokenChr) form_->EndOfTokenChr = Value; }
  const AnsiString& TriggerChars() const { return form_->TriggerChars; }
  void SetTriggerChars(const AnsiString& Value) { form_->TriggerChars = Value; }
  const AnsiString& Title() const { return form_->Title(); }
  void SetTitle(const AnsiString& Value) { form_->SetTitle(Value); }
  TFont* Font() const { return form_->Font(); }
  void SetFont(TFont* Value) { form_->SetFont(Value); }
  TFont* TitleFont() const { return form_->TitleFont(); }
  void SetTitleFont(TFont* Value) { form_->SetTitleFont(Value); }
  TProposalColumns* Columns() const { return form_->Columns(); }
  bool Resizeable() const { return form_->Resizeable(); }
  void SetResizeable(bool Value) { form_->SetResizeable(Value); }
  int ItemHeight() const { return form_->ItemHeight(); }
  void SetItemHeight(int Value) { form_->SetItemHeight(Value); }
  TImageList* Images() const { return form_->Images(); }
  void SetImages(TImageList* Value) { form_->SetImages(Value); }
  int Margin() const { return form_->Margin(); }
  void SetMargin(int Value) { form_->SetMargin(Value); }
  int SelectedIndex() const { return form_->SelectedIndex(); }
  // Hides the popup.
  void Deactivate() { form_->HidePopup(); }

  // Shows the popup at the screen point (x, y) with S as the typed prefix.
  virtual void Execute(const AnsiString& S, int x, int y, SrcCompletionType Kind);
  virtual void CancelParamsHint() {}
  virtual void ProcessEditorCommand(TObject*, bool, bool&, TSrcEditorCommand&, char&, void*, void*) {}

  TCompletionChange OnChange;
  TNotifyEvent OnClose, OnShow;
  TCompletionExecute OnExecute;
  TSrcBaseCompletionProposalMeasureItem OnMeasureItem;
  TSrcBaseCompletionProposalPaintItem OnPaintItem;
  TCompletionParameter OnParameterToken;

protected:
  // The line height of the editor the popup opens for (the room it leaves above the caret).
  virtual int CaretLineHeight() const { return 0; }
  TSrcBaseCompletionProposalForm* form_;
  // Whether the last Execute was let run by OnExecute.
  bool executeAllowed_ = false;

private:
  void PopupShown(TObject*) { CallEvent(OnShow, this); }
  void PopupHidden(TObject*);
  void Place(int x, int y);
  TSrcCompletionOptions options_ = 0;
  int nbLinesInWindow_ = 8;
  int width_ = 260;
};

// The proposal bound to editors through their key and command handlers.
class TSrcCompletionProposal : public TSrcBaseCompletionProposal {
public:
  explicit TSrcCompletionProposal(TComponent* AOwner);
  ~TSrcCompletionProposal() override;

  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value) { shortCut_ = Value; }
  TCustomSrcEdit* Editor() const { return editor_; }
  void SetEditor(TCustomSrcEdit* Value);
  unsigned TimerInterval() const { return timerInterval_; }
  void SetTimerInterval(unsigned Value);
  void SetOptions(TSrcCompletionOptions Value) override;
  TTimer* Timer() const { return timer_; }

  void AddEditor(TCustomSrcEdit* AEditor);
  bool RemoveEditor(TCustomSrcEdit* AEditor);
  int EditorCount() const { return static_cast<int>(editors_.size()); }

  // Opens the list at the editor's caret with the word before the caret.
  virtual void ExecuteEx(TCustomSrcEdit* AEditor);
  void Execute(const AnsiString& S, int x, int y, SrcCompletionType Kind) override;
  void CancelParamsHint() override;
  void ProcessEditorCommand(TObject* Sender, bool AfterProcessing, bool& Handled, TSrcEditorCommand& Command,
                            char& AChar, void* Data, void* HandlerData) override;
  // Hides the popup without accepting; OnCancelled follows.
  void CancelCompletion();

  // Where the completed word begins in the caret line (1-based).
  int TokenStart() const { return tokenStart_; }
  bool SwallowNextKey() const { return swallowNextKey_; }

  TAfterCodeCompletionEvent OnAfterCodeCompletion;
  TNotifyEvent OnCancelled;
  TCodeCompletionEvent OnCodeCompletion;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  int CaretLineHeight() const override;

private:
  void EditorKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void EditorKeyPress(TObject* Sender, char& Key);
  void EditorMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void DoCodeCompletion(TObject* Sender, TShiftState Shift, char EndToken);
  void DoCancel(TObject* Sender);
  void TypeInEditor(TObject* Sender, char& Key);
  void TimerTick(TObject* Sender);
  void HidePopup();
  bool ListOpenFor(TObject* Sender) const;

  TShortCut shortCut_ = 0;
  TCustomSrcEdit* editor_ = nullptr;
  std::vector<TCustomSrcEdit*> editors_;
  unsigned timerInterval_ = 1000;
  TTimer* timer_ = nullptr;
  bool swallowNextKey_ = false;
  int tokenStart_ = 0;
};

#include "editor-services/autocorrect/auto_correct.h"

#include "editor-services/line_replace.h"

namespace {

bool IsDelimiter(unsigned char c) { return c <= 32; }

// The text with its first character up-cased and the rest down-cased.
AnsiString Capitalised(const AnsiString& S) {
  if (S.empty()) return S;
  return AnsiString(1, AnsiUpperChar(S[0])) + AnsiLowerCase(std::string_view(S).substr(1));
}

}  // namespace

TCustomSrcAutoCorrect::TCustomSrcAutoCorrect(TComponent* AOwner)
    : TComponent(AOwner), items_(std::make_unique<TStringList>()) {
  items_->OnChange = TNotifyEvent(this, &TCustomSrcAutoCorrect::ItemsChanged);
  for (int c = 33; c <= 255; ++c)
    if (IsCharAlphaNumeric(static_cast<unsigned char>(c))) wordChars_.Add(static_cast<unsigned char>(c));
}

TCustomSrcAutoCorrect::~TCustomSrcAutoCorrect() {
  SetEditor(nullptr);
  items_->OnChange = nullptr;
}

void TCustomSrcAutoCorrect::SetEditor(TCustomSrcEdit* Value) {
  if (Value == editor_) return;
  if (editor_) {
    editor_->RemoveMouseDownHandler(TMouseEvent(this, &TCustomSrcAutoCorrect::AutoCorrectMouseDown));
    editor_->UnregisterCommandHandler(THookedCommandEvent(this, &TCustomSrcAutoCorrect::EditorCommand));
    editor_->RemoveFreeNotification(this);
  }
  editor_ = Value;
  if (editor_) {
    editor_->FreeNotification(this);
    editor_->RegisterCommandHandler(THookedCommandEvent(this, &TCustomSrcAutoCorrect::EditorCommand), nullptr);
    editor_->AddMouseDownHandler(TMouseEvent(this, &TCustomSrcAutoCorrect::AutoCorrectMouseDown));
  }
}

void TCustomSrcAutoCorrect::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  // The editor is being destroyed: its handler chains go with it.
  if (Operation == opRemove && AComponent == editor_) editor_ = nullptr;
}

void TCustomSrcAutoCorrect::SetItemSepChar(char Value) {
  if (Value == itemSepChar_) return;
  itemSepChar_ = Value;
  indexValid_ = false;
}

void TCustomSrcAutoCorrect::SetOptions(TAsSrcAutoCorrectOptions Value) {
  if (Value == options_) return;
  options_ = Value;
  indexValid_ = false;
}

AnsiString TCustomSrcAutoCorrect::SplitItem(const AnsiString& Item, bool Original) const {
  size_t sep = Item.rfind(itemSepChar_);
  if (sep == AnsiString::npos) return Original ? Item : AnsiString();
  return Original ? Item.substr(0, sep) : Item.substr(sep + 1);
}

int TCustomSrcAutoCorrect::FindWord(const AnsiString& Text, const AnsiString& Word, bool Whole, bool CaseSensitive,
                                    int Start) {
  const int n = static_cast<int>(Text.size()), m = static_cast<int>(Word.size());
  // An empty word would match the empty space at the text's end over and over.
  if (n == 0 || m == 0 || Start < 0 || n - Start - m + 1 < 0) return -1;
  unsigned char table[256];
  for (int c = 0; c < 256; ++c) table[c] = CaseSensitive ? static_cast<unsigned char>(c) : AnsiUpperChar(static_cast<unsigned char>(c));
  AnsiString word = Word;
  if (!CaseSensitive) CharUpperBuff(word.data(), word.size());
  auto at = [&](int i) { return static_cast<unsigned char>(Text[static_cast<size_t>(i)]); };
  int p = Start;
  while (p <= n - m) {
    if (Whole) {
      while (p < n && IsDelimiter(at(p))) ++p;
      if (p > n - m) break;
    }
    int k = 0;
    while (k < m && table[at(p + k)] == static_cast<unsigned char>(word[static_cast<size_t>(k)])) ++k;
    if (k == m && (!Whole || p + m >= n || IsDelimiter(at(p + m)))) return p;
    if (Whole) {
      while (p < n && !IsDelimiter(at(p))) ++p;
    } else {
      ++p;
    }
  }
  return -1;
}

AnsiString TCustomSrcAutoCorrect::CaseAdjusted(const AnsiString& Found, const AnsiString& Correction) const {
  if (!options_.Contains(ascoMaintainCase)) return Correction;
  if (Found == AnsiUpperCase(Found)) return AnsiUpperCase(Correction);
  if (Found == AnsiLowerCase(Found)) return AnsiLowerCase(Correction);
  // Capitalised by the code page's case tables, so that Cyrillic words keep their capital too.
  if (Found == Capitalised(Found)) return Capitalised(Correction);
  return Correction;
}

bool TCustomSrcAutoCorrect::CorrectItemStart(AnsiString& Text, const AnsiString& Original, int& CaretColumn,
                                             const AnsiString& Correction) {
  if (!editor_ || editor_->ReadOnly()) return false;
  const bool caseSensitive = !options_.Contains(ascoIgnoreCase);
  bool corrected = false;
  int pos = FindWord(Text, Original, true, caseSensitive, 0);
  while (pos >= 0) {
    AnsiString found = Text.substr(static_cast<size_t>(pos), Original.size());
    AnsiString correction = CaseAdjusted(found, Correction);
    if (CaretColumn >= 0) {
      TBufferCoord caret = editor_->CaretXY();
      if (OnAutoCorrect.Assigned()) {
        TAutoCorrectAction action = aaCorrect;
        OnAutoCorrect(this, Original, correction, caret.Line, caret.Char, action);
        if (action == aaAbort) return false;
      }
      int from = CaretColumn - static_cast<int>(Original.size());
      ReplaceLineRange(editor_, caret.Line, from, CaretColumn, correction);
      return true;
    }
    Text.replace(static_cast<size_t>(pos), Original.size(), correction);
    corrected = true;
    pos = FindWord(Text, Original, true, caseSensitive, pos + static_cast<int>(correction.size()));
  }
  return corrected;
}

AnsiString TCustomSrcAutoCorrect::PrevWord() const {
  if (!editor_) return AnsiString();
  AnsiString line = editor_->LineText();
  int end = editor_->CaretX() - 1;
  if (end < 0 || end > static_cast<int>(line.size())) return AnsiString();
  int start = end;
  while (start > 0 && !IsDelimiter(static_cast<unsigned char>(line[static_cast<size_t>(start - 1)]))) --start;
  return line.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

AnsiString TCustomSrcAutoCorrect::Key(const AnsiString& S) const {
  return options_.Contains(ascoIgnoreCase) ? AnsiUpperCase(S) : S;
}

void TCustomSrcAutoCorrect::BuildIndex() {
  index_.clear();
  for (int i = 0; i < items_->Count(); ++i) {
    AnsiString original = SplitItem(items_->Get(i), true);
    // The word before the caret holds no blank or control character, so an original with one
    // (or an empty one) can never be it.
    bool single = !original.empty();
    for (char c : original)
      if (IsDelimiter(static_cast<unsigned char>(c))) single = false;
    if (single) index_[Key(original)].push_back(i);
  }
  indexValid_ = true;
}

void TCustomSrcAutoCorrect::EditorCommand(TObject*, bool AfterProcessing, bool& Handled, TSrcEditorCommand& Command,
                                          char& AChar, void*, void*) {
  if (!enabled_ || !editor_ || AfterProcessing || Handled) return;
  prevLine_ = editor_->CaretY();
  // A character a key handler swallowed arrives as #0: nothing was typed, so no word ended.
  bool wordEnd = Command == ecLineBreak || Command == ecTab ||
                 (Command == ecChar && AChar != 0 && !wordChars_.Contains(static_cast<unsigned char>(AChar)));
  if (!wordEnd) return;
  AnsiString word = PrevWord();
  if (word.empty()) return;
  if (!indexValid_) BuildIndex();
  // The items whose original can be this word, in list order: the first that corrects wins,
  // exactly as walking the whole list would decide.
  auto it = index_.find(Key(word));
  if (it != index_.end()) {
    int caretColumn = editor_->CaretX();
    for (int i : it->second) {
      AnsiString item = items_->Get(i);
      if (CorrectItemStart(word, SplitItem(item, true), caretColumn, SplitItem(item, false))) break;
    }
  }
  CallEvent(OnCorrected, this);
}

void TCustomSrcAutoCorrect::AutoCorrectMouseDown(TObject*, TMouseButton, TShiftState, int, int) {
  if (!options_.Contains(ascoCorrectOnMouseDown) || !editor_ || !enabled_ || prevLine_ < 1) return;
  if (prevLine_ > editor_->Lines()->Count()) return;
  const AnsiString original = editor_->Lines()->Get(prevLine_ - 1);
  AnsiString line = original;
  bool corrected = false;
  for (int i = 0; i < items_->Count() && !corrected; ++i) {
    AnsiString item = items_->Get(i);
    int noCaret = -1;
    corrected = CorrectItemStart(line, SplitItem(item, true), noCaret, SplitItem(item, false));
  }
  if (!corrected) return;
  if (OnAutoCorrect.Assigned()) {
    TAutoCorrectAction action = aaCorrect;
    OnAutoCorrect(this, original, line, editor_->CaretY(), 0, action);
    if (action == aaAbort) return;
  }
  // Through the undo list, so that the correction can be taken back and the records of earlier
  // edits of the line stay true to its text.
  TBufferCoord caret = editor_->CaretXY();
  ReplaceLineRange(editor_, prevLine_, 1, static_cast<int>(original.size()) + 1, line);
  editor_->SetCaretXY(caret);
  CallEvent(OnCorrected, this);
}

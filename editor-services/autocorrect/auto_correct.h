#pragma once
// Autocorrect: when the user ends a word in an editor (a line break, a tab or a character that
// is no letter or digit), the word before the caret is looked up in a list of items, each an
// original and its correction joined by a separator, and replaced by the first correction
// whose original it is, keeping its letter case if wished. Optionally a mouse click corrects
// the whole line the caret was on.
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "editor/src_edit.h"

enum TAsSrcAutoCorrectOption : uint8_t { ascoCorrectOnMouseDown = 0, ascoIgnoreCase = 1, ascoMaintainCase = 2 };

// A set of autocorrect options, one bit per option.
class TAsSrcAutoCorrectOptions {
public:
  constexpr TAsSrcAutoCorrectOptions() = default;
  constexpr TAsSrcAutoCorrectOptions(std::initializer_list<TAsSrcAutoCorrectOption> s) {
    for (auto o : s) bits_ |= uint8_t(1u << o);
  }
  constexpr bool Contains(TAsSrcAutoCorrectOption o) const { return bits_ & (1u << o); }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TAsSrcAutoCorrectOptions&) const = default;

private:
  uint8_t bits_ = 0;
};

enum TAutoCorrectAction : uint8_t { aaCorrect, aaAbort };
using TAutoCorrectEvent = TMethod<void(TObject* Sender, const AnsiString& AOriginal, const AnsiString& ACorrection,
                                       int Line, int Column, TAutoCorrectAction& Action)>;

class TCustomSrcAutoCorrect : public TComponent {
public:
  explicit TCustomSrcAutoCorrect(TComponent* AOwner);
  ~TCustomSrcAutoCorrect() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value) { enabled_ = Value; }
  TCustomSrcEdit* Editor() const { return editor_; }
  void SetEditor(TCustomSrcEdit* Value);
  // The items, "original<separator>correction" each; a change of the list is seen by the next
  // lookup.
  TStringList* Items() const { return items_.get(); }
  void SetItems(TStrings* Value) { items_->Assign(Value); }
  char ItemSepChar() const { return itemSepChar_; }
  void SetItemSepChar(char Value);
  TAsSrcAutoCorrectOptions Options() const { return options_; }
  void SetOptions(TAsSrcAutoCorrectOptions Value);

  TAutoCorrectEvent OnAutoCorrect;
  TNotifyEvent OnCorrected;

  // The original (Original set) or the correction of an item: the text before or after its last
  // separator. An item without the separator is all original.
  AnsiString SplitItem(const AnsiString& Item, bool Original) const;
  // The 0-based position of Word in Text from Start, or -1. Whole words are delimited by the
  // characters 0 to 32; without CaseSensitive both sides are compared upper-cased.
  static int FindWord(const AnsiString& Text, const AnsiString& Word, bool Whole, bool CaseSensitive, int Start);
  // Corrects Original in Text by Correction. With a caret column of 0 or more, the word just
  // typed in the editor (Text) is replaced there; with -1 every whole-word occurrence in Text
  // itself is. True when something was corrected.
  bool CorrectItemStart(AnsiString& Text, const AnsiString& Original, int& CaretColumn, const AnsiString& Correction);
  // The caret line's characters before the caret back to the last blank or control character;
  // empty when the caret stands beyond the line's end.
  AnsiString PrevWord() const;
  // The line recorded at the last editor command, -1 before the first.
  int PreviousLine() const { return prevLine_; }

  virtual void EditorCommand(TObject* Sender, bool AfterProcessing, bool& Handled, TSrcEditorCommand& Command,
                             char& AChar, void* Data, void* HandlerData);
  virtual void AutoCorrectMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void ItemsChanged(TObject*) { indexValid_ = false; }
  void BuildIndex();
  // The letter case of Found carried over to Correction.
  AnsiString CaseAdjusted(const AnsiString& Found, const AnsiString& Correction) const;
  AnsiString Key(const AnsiString& S) const;

  bool enabled_ = true;
  TCustomSrcEdit* editor_ = nullptr;
  std::unique_ptr<TStringList> items_;
  char itemSepChar_ = '\t';
  TAsSrcAutoCorrectOptions options_{ascoIgnoreCase, ascoMaintainCase};
  int prevLine_ = -1;
  TSysCharSet wordChars_;
  // Item indexes by original (upper-cased with ascoIgnoreCase), in list order; built on
  // the first lookup after the items, the separator or the options changed.
  std::unordered_map<std::string, std::vector<int>> index_;
  bool indexValid_ = false;
};

class TSrcAutoCorrect : public TCustomSrcAutoCorrect {
public:
  using TCustomSrcAutoCorrect::TCustomSrcAutoCorrect;
};

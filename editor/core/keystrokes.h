#pragma once
// Key bindings of the editor: one- and two-key shortcuts mapped to editor commands, the default
// set, key translation with two-key sequences and form storage of the differences from a base
// set ("RemovedKeystrokes", "AddedKeystrokes").
#include <vector>

#include "editor/core/commands.h"
#include "platform/classes.h"
#include "platform/form_storage.h"
#include "platform/keys.h"
#include "platform/shortcuts.h"

VT_DECLARE_EXCEPTION(ESrcKeyError, Exception);

class TSrcEditKeyStrokes;

class TSrcEditKeyStroke : public TCollectionItem {
public:
  explicit TSrcEditKeyStroke(TCollection* Collection) : TCollectionItem(Collection) {}

  Word Key() const { return key_; }
  TShiftState Shift() const { return shift_; }
  Word Key2() const { return key2_; }
  TShiftState Shift2() const { return shift2_; }
  TSrcEditorCommand Command() const { return command_; }

  // Direct setters, without the duplicate check.
  void SetKey(Word v) { key_ = v; }
  void SetShift(TShiftState v) { shift_ = v; }
  void SetKey2(Word v) { key2_ = v; }
  void SetShift2(TShiftState v) { shift2_ = v; }
  void SetCommand(TSrcEditorCommand v) { command_ = v; }

  TShortCut ShortCut() const;
  TShortCut ShortCut2() const;
  // ESrcKeyError "Shortcut already exists" when another item of the collection has the pair
  // (SC, ShortCut2) (resp. (ShortCut, SC)); the item then keeps its keys.
  void SetShortCut(TShortCut SC);
  void SetShortCut2(TShortCut SC);

  void Assign(TPersistent* Source) override;
  // "ecCopy - Ctrl+C", with " " and the second shortcut's text when there is one.
  AnsiString DisplayName() const override;

private:
  TSrcEditKeyStrokes* Strokes() const;

  Word key_ = 0;
  TShiftState shift_;
  Word key2_ = 0;
  TShiftState shift2_;
  TSrcEditorCommand command_ = ecNone;
};

class TSrcEditKeyStrokes : public TCollection {
public:
  // AOwner is the editor (the persistent owner), nil for temporary collections.
  explicit TSrcEditKeyStrokes(TPersistent* AOwner);

  TPersistent* GetOwner() const override { return owner_; }
  TSrcEditKeyStroke* Items(int Index) const { return static_cast<TSrcEditKeyStroke*>(TCollection::Items(Index)); }
  TSrcEditKeyStroke* Add() { return static_cast<TSrcEditKeyStroke*>(TCollection::Add()); }
  TSrcEditKeyStroke* AddKey(TSrcEditorCommand Command, Word Key, TShiftState Shift);

  // Index of the first one-key binding of Code and Shift; -1 when none.
  int FindKeycode(Word Code, TShiftState Shift) const;
  // Index of the first binding of both keys and shift states; -1 when none.
  int FindKeycode2(Word Code1, TShiftState Shift1, Word Code2, TShiftState Shift2) const;
  // Index of the first binding with both shortcuts; -1 when none.
  int FindShortcut2(TShortCut SC1, TShortCut SC2) const;

  void Assign(TPersistent* Source) override;
  // Clears the collection and adds the default bindings.
  void ResetDefaults();

private:
  TPersistent* owner_;
};

// The key remembered as the possible first key of a two-key binding; the control owns one.
struct TSrcKeyTranslationState {
  Word LastKey = 0;
  TShiftState LastShift;
};

// Translates a key press into a command (ecNone when nothing is bound), first as the second key
// of a two-key binding after the remembered key, then as a one-key binding. A key without a
// command whose code lies in 30..145 is remembered for the next call; otherwise the remembered
// key is forgotten.
TSrcEditorCommand TranslateKeyCode(const TSrcEditKeyStrokes& Keystrokes, TSrcKeyTranslationState& State,
                                   Word Code, TShiftState Shift);

// Form storage. Names of the two stored properties, written in this order.
inline constexpr const char* kRemovedKeystrokes = "RemovedKeystrokes";
inline constexpr const char* kAddedKeystrokes = "AddedKeystrokes";

// A collection value with one item per binding: Command (identifier or number), ShortCut and,
// when not 0, ShortCut2.
TFormValue KeystrokesToFormValue(const TSrcEditKeyStrokes& Keystrokes);
// Appends the items of a collection value to Keystrokes (keys set without the duplicate check).
// EReadError for an unknown command identifier, a malformed shortcut or an unknown property.
void FormValueToKeystrokes(const TFormValue& Value, TSrcEditKeyStrokes& Keystrokes);
// Whether two binding sets store the same (same items with the same stored values in order).
bool KeystrokesEqual(const TSrcEditKeyStrokes& A, const TSrcEditKeyStrokes& B);

// Appends "RemovedKeystrokes" and "AddedKeystrokes" to Properties when Current differs from
// the base: Ancestor when given, else a freshly built default set.
void WriteKeystrokeProperties(const TSrcEditKeyStrokes& Current, const TSrcEditKeyStrokes* Ancestor,
                              std::vector<TFormProperty>& Properties);
// Applies one stored property to Current. Returns false when the property is not one of the
// two; a value that is not a collection is ignored (true is returned).
bool ReadKeystrokeProperty(const TFormProperty& Property, TSrcEditKeyStrokes& Current);

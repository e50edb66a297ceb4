#include "editor/core/keystrokes.h"

#include <memory>

#include "platform/constants_registry.h"

// ---- TSrcEditKeyStroke ----

TSrcEditKeyStrokes* TSrcEditKeyStroke::Strokes() const { return dynamic_cast<TSrcEditKeyStrokes*>(Collection()); }

TShortCut TSrcEditKeyStroke::ShortCut() const { return ::ShortCut(key_, shift_); }
TShortCut TSrcEditKeyStroke::ShortCut2() const { return ::ShortCut(key2_, shift2_); }

namespace {

// Whether an item other than Self has the pair (SC1, SC2).
bool OtherHasPair(const TSrcEditKeyStrokes* strokes, const TSrcEditKeyStroke* self, TShortCut sc1, TShortCut sc2) {
  if (!strokes) return false;
  for (int i = 0; i < strokes->Count(); ++i) {
    TSrcEditKeyStroke* k = strokes->Items(i);
    if (k != self && k->ShortCut() == sc1 && k->ShortCut2() == sc2) return true;
  }
  return false;
}

}  // namespace

void TSrcEditKeyStroke::SetShortCut(TShortCut SC) {
  if (SC != 0 && OtherHasPair(Strokes(), this, SC, ShortCut2())) throw ESrcKeyError("Shortcut already exists");
  Word key;
  TShiftState shift;
  ShortCutToKey(SC, key, shift);
  if (key != key_ || shift != shift_) {
    key_ = key;
    shift_ = shift;
  }
}

void TSrcEditKeyStroke::SetShortCut2(TShortCut SC) {
  if (SC != 0 && OtherHasPair(Strokes(), this, ShortCut(), SC)) throw ESrcKeyError("Shortcut already exists");
  Word key;
  TShiftState shift;
  ShortCutToKey(SC, key, shift);
  if (key != key2_ || shift != shift2_) {
    key2_ = key;
    shift2_ = shift;
  }
}

void TSrcEditKeyStroke::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSrcEditKeyStroke*>(Source)) {
    command_ = src->command_;
    key_ = src->key_;
    key2_ = src->key2_;
    shift_ = src->shift_;
    shift2_ = src->shift2_;
    return;
  }
  TCollectionItem::Assign(Source);
}

AnsiString TSrcEditKeyStroke::DisplayName() const {
  AnsiString r = EditorCommandToCodeString(command_) + " - " + ShortCutToText(ShortCut());
  if (ShortCut2() != 0) {
    r += ' ';
    r += ShortCutToText(ShortCut2());
  }
  if (r.empty()) r = TCollectionItem::DisplayName();
  return r;
}

// ---- TSrcEditKeyStrokes ----

TSrcEditKeyStrokes::TSrcEditKeyStrokes(TPersistent* AOwner)
    : TCollection([](TCollection* c) { return new TSrcEditKeyStroke(c); }), owner_(AOwner) {}

TSrcEditKeyStroke* TSrcEditKeyStrokes::AddKey(TSrcEditorCommand Command, Word Key, TShiftState Shift) {
  TSrcEditKeyStroke* k = Add();
  try {
    k->SetKey(Key);
    k->SetShift(Shift);
    k->SetCommand(Command);
  } catch (...) {
    delete k;
    throw;
  }
  return k;
}

int TSrcEditKeyStrokes::FindKeycode(Word Code, TShiftState Shift) const {
  for (int i = 0; i < Count(); ++i) {
    TSrcEditKeyStroke* k = Items(i);
    if (k->Key() == Code && k->Shift() == Shift && k->Key2() == 0) return i;
  }
  return -1;
}

int TSrcEditKeyStrokes::FindKeycode2(Word Code1, TShiftState Shift1, Word Code2, TShiftState Shift2) const {
  for (int i = 0; i < Count(); ++i) {
    TSrcEditKeyStroke* k = Items(i);
    if (k->Key() == Code1 && k->Shift() == Shift1 && k->Key2() == Code2 && k->Shift2() == Shift2) return i;
  }
  return -1;
}

int TSrcEditKeyStrokes::FindShortcut2(TShortCut SC1, TShortCut SC2) const {
  for (int i = 0; i < Count(); ++i) {
    TSrcEditKeyStroke* k = Items(i);
    if (k->ShortCut() == SC1 && k->ShortCut2() == SC2) return i;
  }
  return -1;
}

void TSrcEditKeyStrokes::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSrcEditKeyStrokes*>(Source)) {
    if (src == this) return;
    BeginUpdate();
    try {
      Clear();
      for (int i = 0; i < src->Count(); ++i) Add()->Assign(src->Items(i));
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TCollection::Assign(Source);
}

void TSrcEditKeyStrokes::ResetDefaults() {
  const TShiftState none, sh{ssShift}, ct{ssCtrl}, cs{ssCtrl, ssShift}, al{ssAlt}, sa{ssShift, ssAlt};
  struct Default {
    TSrcEditorCommand cmd;
    Word key;
    TShiftState shift;
  };
  const Default defaults[] = {
      {ecUp, VK_UP, none}, {ecSelUp, VK_UP, sh}, {ecScrollUp, VK_UP, ct},
      {ecDown, VK_DOWN, none}, {ecSelDown, VK_DOWN, sh}, {ecScrollDown, VK_DOWN, ct},
      {ecLeft, VK_LEFT, none}, {ecSelLeft, VK_LEFT, sh}, {ecWordLeft, VK_LEFT, ct}, {ecSelWordLeft, VK_LEFT, cs},
      {ecRight, VK_RIGHT, none}, {ecSelRight, VK_RIGHT, sh}, {ecWordRight, VK_RIGHT, ct},
      {ecSelWordRight, VK_RIGHT, cs},
      {ecPageDown, VK_NEXT, none}, {ecSelPageDown, VK_NEXT, sh}, {ecPageBottom, VK_NEXT, ct},
      {ecSelPageBottom, VK_NEXT, cs},
      {ecPageUp, VK_PRIOR, none}, {ecSelPageUp, VK_PRIOR, sh}, {ecPageTop, VK_PRIOR, ct},
      {ecSelPageTop, VK_PRIOR, cs},
      {ecLineStart, VK_HOME, none}, {ecSelLineStart, VK_HOME, sh}, {ecEditorTop, VK_HOME, ct},
      {ecSelEditorTop, VK_HOME, cs},
      {ecLineEnd, VK_END, none}, {ecSelLineEnd, VK_END, sh}, {ecEditorBottom, VK_END, ct},
      {ecSelEditorBottom, VK_END, cs},
      {ecToggleMode, VK_INSERT, none}, {ecCopy, VK_INSERT, ct}, {ecCut, VK_DELETE, sh}, {ecPaste, VK_INSERT, sh},
      {ecDeleteChar, VK_DELETE, none},
      {ecDeleteLastChar, VK_BACK, none}, {ecDeleteLastChar, VK_BACK, sh}, {ecDeleteLastWord, VK_BACK, ct},
      {ecUndo, VK_BACK, al}, {ecRedo, VK_BACK, sa},
      {ecLineBreak, VK_RETURN, none}, {ecLineBreak, VK_RETURN, sh},
      {ecTab, VK_TAB, none}, {ecShiftTab, VK_TAB, sh},
      {ecContextHelp, VK_F1, none},
      {ecSelectAll, 'A', ct}, {ecCopy, 'C', ct}, {ecPaste, 'V', ct}, {ecCut, 'X', ct},
      {ecBlockIndent, 'I', cs}, {ecBlockUnindent, 'U', cs},
      {ecLineBreak, 'M', ct}, {ecInsertLine, 'N', ct}, {ecDeleteWord, 'T', ct},
      {ecDeleteLine, 'Y', ct}, {ecDeleteEOL, 'Y', cs},
      {ecUndo, 'Z', ct}, {ecRedo, 'Z', cs},
      {ecGotoMarker0, '0', ct}, {ecGotoMarker1, '1', ct}, {ecGotoMarker2, '2', ct}, {ecGotoMarker3, '3', ct},
      {ecGotoMarker4, '4', ct}, {ecGotoMarker5, '5', ct}, {ecGotoMarker6, '6', ct}, {ecGotoMarker7, '7', ct},
      {ecGotoMarker8, '8', ct}, {ecGotoMarker9, '9', ct},
      {ecSetMarker0, '0', cs}, {ecSetMarker1, '1', cs}, {ecSetMarker2, '2', cs}, {ecSetMarker3, '3', cs},
      {ecSetMarker4, '4', cs}, {ecSetMarker5, '5', cs}, {ecSetMarker6, '6', cs}, {ecSetMarker7, '7', cs},
      {ecSetMarker8, '8', cs}, {ecSetMarker9, '9', cs},
      {ecNormalSelect, 'N', cs}, {ecColumnSelect, 'C', cs}, {ecLineSelect, 'L', cs},
      {ecMatchBracket, 'B', cs},
  };
  BeginUpdate();
  try {
    Clear();
    for (const auto& d : defaults) AddKey(d.cmd, d.key, d.shift);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- Key translation ----

TSrcEditorCommand TranslateKeyCode(const TSrcEditKeyStrokes& Keystrokes, TSrcKeyTranslationState& State,
                                   Word Code, TShiftState Shift) {
  int i = Keystrokes.FindKeycode2(State.LastKey, State.LastShift, Code, Shift);
  if (i < 0) i = Keystrokes.FindKeycode(Code, Shift);
  TSrcEditorCommand result = i >= 0 ? Keystrokes.Items(i)->Command() : ecNone;
  if (result == ecNone && Code >= 0x1E && Code <= 0x91) {
    State.LastKey = Code;
    State.LastShift = Shift;
  } else {
    State.LastKey = 0;
    State.LastShift = TShiftState();
  }
  return result;
}

// ---- Form storage ----

namespace {

[[noreturn]] void BadValue(const AnsiString& prop, const AnsiString& value) {
  throw EReadError(Format("Invalid property value: %s = %s", {prop, value}));
}

AnsiString ValueText(const TFormValue& v) {
  switch (v.Kind) {
    case TFormValue::vkInteger: return IntToStr(v.Int);
    case TFormValue::vkIdent: return v.Text;
    case TFormValue::vkString: return "'" + v.Text + "'";
    case TFormValue::vkCollection: return "<...>";
  }
  return AnsiString();
}

TSrcEditorCommand ReadCommand(const TFormValue& v) {
  int n = 0;
  if (v.Kind == TFormValue::vkInteger) {
    if (v.Int < 0 || v.Int > 0xFFFF) BadValue("Command", ValueText(v));
    return static_cast<TSrcEditorCommand>(v.Int);
  }
  if (v.Kind == TFormValue::vkIdent && TextToIntegerConst(kEditorCommandTypeName, v.Text, n) && n >= 0 && n <= 0xFFFF)
    return static_cast<TSrcEditorCommand>(n);
  BadValue("Command", ValueText(v));
}

// A shortcut is stored as its number; its text form ('Ctrl+Z') is accepted too.
TShortCut ReadShortCut(const char* prop, const TFormValue& v) {
  if (v.Kind == TFormValue::vkInteger) {
    if (v.Int < 0 || v.Int > 0xFFFF) BadValue(prop, ValueText(v));
    return static_cast<TShortCut>(v.Int);
  }
  if (v.Kind == TFormValue::vkString) {
    if (v.Text.empty()) return 0;
    if (TShortCut sc = TextToShortCut(v.Text)) return sc;
  }
  BadValue(prop, ValueText(v));
}

// Whether two items store the same values.
bool SameBinding(const TSrcEditKeyStroke* a, const TSrcEditKeyStroke* b) {
  return a->ShortCut() == b->ShortCut() && a->ShortCut2() == b->ShortCut2() && a->Command() == b->Command();
}

int FindBinding(const TSrcEditKeyStrokes& set, const TSrcEditKeyStroke* k) {
  for (int i = 0; i < set.Count(); ++i)
    if (SameBinding(set.Items(i), k)) return i;
  return -1;
}

}  // namespace

TFormValue KeystrokesToFormValue(const TSrcEditKeyStrokes& Keystrokes) {
  TFormValue v = TFormValue::Collection();
  for (int i = 0; i < Keystrokes.Count(); ++i) {
    TSrcEditKeyStroke* k = Keystrokes.Items(i);
    TFormItem item;
    // The command's identifier from the registry; a number without one is written as a number.
    AnsiString ident;
    TIntToIdent toIdent = FindIntToIdent(kEditorCommandTypeName);
    if (toIdent && toIdent(k->Command(), ident))
      item.Properties.push_back({"Command", TFormValue::Ident(ident)});
    else
      item.Properties.push_back({"Command", TFormValue::Integer(k->Command())});
    item.Properties.push_back({"ShortCut", TFormValue::Integer(k->ShortCut())});
    if (k->ShortCut2() != 0) item.Properties.push_back({"ShortCut2", TFormValue::Integer(k->ShortCut2())});
    v.Items.push_back(std::move(item));
  }
  return v;
}

void FormValueToKeystrokes(const TFormValue& Value, TSrcEditKeyStrokes& Keystrokes) {
  if (!Value.IsCollection()) throw EReadError("Collection expected");
  for (const auto& item : Value.Items) {
    TSrcEditorCommand cmd = ecNone;
    TShortCut sc1 = 0, sc2 = 0;
    for (const auto& p : item.Properties) {
      if (AnsiCompareText(p.Name, "Command") == 0)
        cmd = ReadCommand(p.Value);
      else if (AnsiCompareText(p.Name, "ShortCut") == 0)
        sc1 = ReadShortCut("ShortCut", p.Value);
      else if (AnsiCompareText(p.Name, "ShortCut2") == 0)
        sc2 = ReadShortCut("ShortCut2", p.Value);
      else
        throw EReadError(Format("Error reading %s: Property %s does not exist", {"TSrcEditKeyStroke", p.Name}));
    }
    TSrcEditKeyStroke* k = Keystrokes.Add();
    Word key;
    TShiftState shift;
    ShortCutToKey(sc1, key, shift);
    k->SetKey(key);
    k->SetShift(shift);
    ShortCutToKey(sc2, key, shift);
    k->SetKey2(key);
    k->SetShift2(shift);
    k->SetCommand(cmd);
  }
}

bool KeystrokesEqual(const TSrcEditKeyStrokes& A, const TSrcEditKeyStrokes& B) {
  return KeystrokesToFormValue(A) == KeystrokesToFormValue(B);
}

void WriteKeystrokeProperties(const TSrcEditKeyStrokes& Current, const TSrcEditKeyStrokes* Ancestor,
                              std::vector<TFormProperty>& Properties) {
  TSrcEditKeyStrokes defaults(nullptr);
  const TSrcEditKeyStrokes* base = Ancestor;
  if (!base) {
    defaults.ResetDefaults();
    base = &defaults;
  }
  if (KeystrokesEqual(Current, *base)) return;

  // Removed: the base without every binding the current set also has.
  TSrcEditKeyStrokes removed(nullptr);
  removed.Assign(const_cast<TSrcEditKeyStrokes*>(base));
  for (int i = 0; i < Current.Count(); ++i) {
    int j = FindBinding(removed, Current.Items(i));
    if (j >= 0) removed.Delete(j);
  }
  // Added: every current binding the base does not have.
  TSrcEditKeyStrokes added(nullptr);
  for (int i = 0; i < Current.Count(); ++i)
    if (FindBinding(*base, Current.Items(i)) < 0) added.Add()->Assign(Current.Items(i));

  Properties.push_back({kRemovedKeystrokes, KeystrokesToFormValue(removed)});
  Properties.push_back({kAddedKeystrokes, KeystrokesToFormValue(added)});
}

bool ReadKeystrokeProperty(const TFormProperty& Property, TSrcEditKeyStrokes& Current) {
  bool isRemoved = AnsiCompareText(Property.Name, kRemovedKeystrokes) == 0;
  bool isAdded = AnsiCompareText(Property.Name, kAddedKeystrokes) == 0;
  if (!isRemoved && !isAdded) return false;
  if (!Property.Value.IsCollection()) return true;  // not a collection: ignored

  // Read completely first, so that a bad item leaves the bindings as they were.
  TSrcEditKeyStrokes temp(isAdded ? Current.GetOwner() : nullptr);
  FormValueToKeystrokes(Property.Value, temp);
  if (isRemoved) {
    for (int i = 0; i < temp.Count(); ++i) {
      TSrcEditKeyStroke* r = temp.Items(i);
      int j = Current.FindShortcut2(r->ShortCut(), r->ShortCut2());
      if (j >= 0 && Current.Items(j)->Command() == r->Command()) Current.Delete(j);
    }
  } else {
    for (int i = 0; i < temp.Count(); ++i) Current.Add()->Assign(temp.Items(i));
  }
  return true;
}

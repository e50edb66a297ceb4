#pragma once
// The highlighter framework: named colour and style sets for token classes, the abstract
// one-line-at-a-time token scanner every highlighter implements, and the list of highlighter
// classes that each highlighter kind registers itself in at start-up.
//
// Scanning a text, as every caller does it:
//   line 0: ResetRange(); later lines: SetRange(range that GetRange gave after the line before);
//   SetLine(text, index);                // the text must stay alive and unchanged meanwhile
//   while (!GetEol()) { GetTokenPos(), GetToken(), GetTokenAttribute(), GetTokenKind(); Next(); }
//   GetRange()                           // the state at the start of the next line
// A caller that needs only the state after a line calls ScanLineRange(text, index) instead of
// the last three steps.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/ansi.h"
#include "platform/classes.h"
#include "platform/colors.h"
#include "platform/events.h"
#include "platform/registry.h"

// The opaque per-line state of a highlighter; equal states give equal values.
using TSrcRange = void*;

// Notify methods called in the order they were added, all with one Sender. The highlighters
// use it for the editors that want to hear about attribute changes.
class TSrcNotifyHooks {
public:
  explicit TSrcNotifyHooks(TObject* Sender) : sender_(Sender) {}
  void Add(const TNotifyEvent& Event) { items_.push_back(Event); }
  // Removes every copy of Event.
  void Remove(const TNotifyEvent& Event);
  int Count() const { return static_cast<int>(items_.size()); }
  TObject* Sender() const { return sender_; }
  void SetSender(TObject* Sender) { sender_ = Sender; }
  // Calls every method with Sender; a method may add or remove methods while it runs.
  void Fire();

private:
  TObject* sender_;
  std::vector<TNotifyEvent> items_;
};

// Colours and font style of one class of tokens.
class TSrcHighlighterAttributes : public TPersistent {
public:
  explicit TSrcHighlighterAttributes(const AnsiString& Name);

  const AnsiString& Name() const { return name_; }
  TColor Background() const { return background_; }
  TColor Foreground() const { return foreground_; }
  TFontStyles Style() const { return style_; }
  void SetBackground(TColor Value);
  void SetForeground(TColor Value);
  void SetStyle(TFontStyles Value);
  TColor BackgroundDefault() const { return backgroundDefault_; }
  TColor ForegroundDefault() const { return foregroundDefault_; }
  TFontStyles StyleDefault() const { return styleDefault_; }
  // A form description holds a property only when it differs from its remembered default.
  bool IsBackgroundStored() const { return background_ != backgroundDefault_; }
  bool IsForegroundStored() const { return foreground_ != foregroundDefault_; }
  bool IsStyleStored() const { return style_ != styleDefault_; }

  // The style as bits: 1 bold, 2 italic, 4 underline, 8 strikeout; higher bits are ignored.
  int GetStyleBits() const { return style_.Bits(); }
  void SetStyleBits(int Value) { SetStyle(TFontStyles::FromBits(static_cast<uint8_t>(Value & 0xF))); }

  // Remembers the current colours and style as the defaults.
  void SaveDefaults();

  // From another attributes object: its name, then colours and style.
  void Assign(TPersistent* Source) override;
  // Copies colours and style; one change event at the end when anything differed.
  void AssignColorAndStyle(TSrcHighlighterAttributes* Source);
  virtual void Changed();

  // Values "Background", "Foreground", "Style" in the sub-key named like the attribute, below
  // the key that Reg has open; Reg's key is reopened afterwards. Loading answers false when the
  // sub-key is missing and leaves properties whose value is missing unchanged.
  bool LoadFromRegistry(TRegistry& Reg);
  bool SaveToRegistry(TRegistry& Reg);
  // Colours stored by another programming tool: with OldFormat one comma-separated value
  // ValueName of Key, otherwise the values of the sub-key Key\ValueName. Never raises: any
  // error answers false (what was set before it stays set).
  virtual bool LoadFromLegacyRegistry(HKEY RootKey, const AnsiString& Key, const AnsiString& ValueName,
                                      bool OldFormat);

  TNotifyEvent OnChange;

private:
  bool LoadOldFormat(HKEY RootKey, const AnsiString& Key, const AnsiString& ValueName);
  bool LoadNewFormat(HKEY RootKey, const AnsiString& Key, const AnsiString& ValueName);

  TColor background_ = clNone;
  TColor backgroundDefault_ = clNone;
  TColor foreground_ = clNone;
  TColor foregroundDefault_ = clNone;
  AnsiString name_;
  TFontStyles style_;
  TFontStyles styleDefault_;
};

enum TSrcHighlighterCapability : uint8_t { hcUserSettingSets = 0, hcRegistryStorage = 1 };

// A set of capabilities, one bit per value.
class TSrcHighlighterCapabilities {
public:
  constexpr TSrcHighlighterCapabilities() = default;
  constexpr TSrcHighlighterCapabilities(std::initializer_list<TSrcHighlighterCapability> s) {
    for (auto c : s) bits_ |= uint8_t(1u << c);
  }
  constexpr bool Contains(TSrcHighlighterCapability c) const { return bits_ & (1u << c); }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TSrcHighlighterCapabilities&) const = default;

private:
  uint8_t bits_ = 0;
};

class TSrcCustomHighlighter;

// What the program knows of a highlighter class without an instance: its name, its parent
// class, the class-level operations and a constructor (empty for an abstract class).
struct TSrcHighlighterClassInfo {
  const char* ClassName;
  const TSrcHighlighterClassInfo* Parent;
  AnsiString (*GetLanguageName)();
  TSrcHighlighterCapabilities (*GetCapabilities)();
  TSrcCustomHighlighter* (*Create)(TComponent* Owner);

  bool InheritsFrom(const TSrcHighlighterClassInfo* Other) const {
    for (auto* c = this; c; c = c->Parent)
      if (c == Other) return true;
    return false;
  }
};
using TSrcCustomHighlighterClass = const TSrcHighlighterClassInfo*;

// The indexes of GetDefaultAttribute, the same for every highlighter.
enum : int {
  SRC_ATTR_DEFAULT_COMMENT = 0,
  SRC_ATTR_DEFAULT_IDENTIFIER = 1,
  SRC_ATTR_DEFAULT_KEYWORD = 2,
  SRC_ATTR_DEFAULT_STRING = 3,
  SRC_ATTR_DEFAULT_WHITESPACE = 4,
  SRC_ATTR_DEFAULT_SYMBOL = 5,
};

// One token of a scanned line: its first character (0-based), its length and its attribute (nil:
// the drawer's own look).
struct TSrcTokenSpan {
  int Pos;
  int Len;
  TSrcHighlighterAttributes* Attr;
};

// The letters of the Cyrillic alphabets in Windows-1251: А to я, Ё and ё, and the letters of
// the other languages written in Cyrillic (Ђ Ѓ Љ Њ Ќ Ћ Џ Ў Ј Ґ Є Ї І Ѕ, capital and small).
// Every one is a word character of every highlighter's word operations, as of an editor without
// one: the documents are Windows-1251 throughout.
TSysCharSet CyrillicLetters();

// The abstract base of every highlighter: owns its attributes, scans one line at a time into
// tokens and carries its state from one line to the next as the range.
class TSrcCustomHighlighter : public TComponent {
public:
  explicit TSrcCustomHighlighter(TComponent* AOwner);
  ~TSrcCustomHighlighter() override;

  // Copies matching attributes, word-break characters, filter and Enabled from another
  // highlighter; the sample source only from one of this class or a class derived from it.
  void Assign(TPersistent* Source) override;

  static const TSrcHighlighterClassInfo ClassInfo;
  virtual TSrcCustomHighlighterClass ClassType() const { return &ClassInfo; }

  // Attributes, in name order.
  virtual int GetAttribCount() const;
  virtual TSrcHighlighterAttributes* GetAttribute(int Index) const;
  // 0 comment, 1 identifier, 2 keyword, 3 string, 4 white space, 5 symbol; nil for a class the
  // language lacks. Index 4 always gives an attribute.
  virtual TSrcHighlighterAttributes* GetDefaultAttribute(int Index) const = 0;
  virtual AnsiString GetDefaultFilter() const { return defaultFilter_; }
  virtual void SetDefaultFilter(const AnsiString& Value) { defaultFilter_ = Value; }
  virtual bool IsFilterStored() const { return true; }
  // Characters of words; the base answers #33 to #255.
  virtual TSysCharSet GetIdentChars() const;
  virtual AnsiString GetSampleSource() const { return AnsiString(); }
  virtual void SetSampleSource(const AnsiString&) {}
  virtual void SetWordBreakChars(const TSysCharSet& Value) { WordBreakChars = Value; }

  // Class-level operations, through the instance.
  TSrcHighlighterCapabilities GetCapabilities() const { return ClassType()->GetCapabilities(); }
  AnsiString GetLanguageName() const { return ClassType()->GetLanguageName(); }
  static TSrcHighlighterCapabilities ClassCapabilities() { return {hcRegistryStorage}; }
  static AnsiString ClassLanguageName() { return "<Unknown>"; }

  // The scanner.
  virtual bool GetEol() const = 0;
  virtual TSrcRange GetRange() const { return nullptr; }
  virtual AnsiString GetToken() const = 0;
  virtual TSrcHighlighterAttributes* GetTokenAttribute() const = 0;
  virtual int GetTokenKind() const = 0;
  virtual int GetTokenPos() const = 0;
  virtual bool IsKeyword(const AnsiString&) const { return false; }
  virtual void Next() = 0;
  // Takes the line and scans its first token. The scanner keeps a reference to the caller's
  // text, which must stay alive and unchanged meanwhile and be followed by a #0 (as an
  // AnsiString's text and the line store's views are): a temporary would be gone at once.
  void SetLine(const AnsiString& NewValue, int LineNumber) { SetLineText(NewValue, LineNumber); }
  void SetLine(AnsiString&&, int) = delete;
  virtual void SetLineText(std::string_view NewValue, int LineNumber) = 0;
  virtual void SetRange(TSrcRange) {}
  virtual void ResetRange() {}
  void SkipToLineEnd();
  // The current token and those after it, at most Max of them, as GetTokenPos, the length of
  // GetToken and GetTokenAttribute give them; the scan moves past them, as Next does. Answers
  // how many were given: 0 at the end of the line. The highlighters of this program scan such a
  // batch without a virtual call per token (see ScanTokenBatch).
  virtual int NextTokens(TSrcTokenSpan* Out, int Max);
  // The range at the end of Line, scanned from the range that SetRange or ResetRange set: what
  // SetLineText, SkipToLineEnd and GetRange give, and the scanner is left at the line's end as
  // they leave it. The base runs exactly that token loop; a highlighter may answer it from the
  // line's bytes without making the tokens (the editor's range scans of whole documents).
  virtual TSrcRange ScanLineRange(std::string_view Line, int LineNumber);

  virtual bool UseUserSettings(int) { return false; }
  virtual void EnumUserSettings(TStrings* Settings) { Settings->Clear(); }
  // Attribute colours below RootKey\Key, one sub-key per attribute.
  virtual bool LoadFromRegistry(HKEY RootKey, const AnsiString& Key);
  virtual bool SaveToRegistry(HKEY RootKey, const AnsiString& Key);

  void AddAttribute(TSrcHighlighterAttributes* Attri);
  // Hands every attribute's change events to Event and remembers its look as its default.
  void BindAttributeChanges(const TNotifyEvent& Event);
  // Tells the hooked editors that Sender (an attribute, or nil for the whole highlighter)
  // changed; only remembered while updates are held, nothing while loading.
  void AttributeChanged(TObject* Sender);
  void AddChangeHook(const TNotifyEvent& Event) { attrChangeHooks_.Add(Event); }
  void RemoveChangeHook(const TNotifyEvent& Event) { attrChangeHooks_.Remove(Event); }
  void FreeAttributes();

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);

  // Characters that end a word: ! " ' ( ) * + , - . / : ; = ? [ \ ] ^ { | }
  TSysCharSet WordBreakChars;

protected:
  void Loaded() override;
  const TStringList& Attributes() const { return attributes_; }

private:
  TStringList attributes_;
  TSrcNotifyHooks attrChangeHooks_;
  int updateCount_ = 0;
  bool enabled_ = true;
  AnsiString defaultFilter_;
  bool updateChange_ = false;
};

// NextTokens of the highlighter class T, its scanning operations called directly: T supplies
// GetEol, Next, GetTokenPos, TokenLength and TokenAttribute, none of them virtual in T.
template <class T>
int ScanTokenBatch(T& h, TSrcTokenSpan* Out, int Max) {
  int n = 0;
  for (; n < Max && !h.T::GetEol(); ++n, h.T::Next())
    Out[n] = TSrcTokenSpan{h.T::GetTokenPos(), h.T::TokenLength(), h.T::TokenAttribute()};
  return n;
}

// ScanLineRange of the highlighter class T by its own token loop: SetLineText, GetEol, Next and
// GetRange of T called directly, so no virtual call is made per token.
template <class T>
TSrcRange ScanRangeByTokens(T& h, std::string_view Line, int LineNumber) {
  h.T::SetLineText(Line, LineNumber);
  while (!h.T::GetEol()) h.T::Next();
  return h.T::GetRange();
}

// The registered highlighter classes, in the order of registration.
class TSrcHighlighterList : public TObject {
public:
  int Count() const { return static_cast<int>(list_.size()); }
  TSrcCustomHighlighterClass Items(int Index) const;
  int IndexOf(TSrcCustomHighlighterClass Class) const;
  void Add(TSrcCustomHighlighterClass Class) { list_.push_back(Class); }

private:
  std::vector<TSrcCustomHighlighterClass> list_;
};

// The program's list of highlighter classes; it exists before the first registration and is
// freed when the program ends.
TSrcHighlighterList& HighlighterClassList();
// Appends Class unless it is already registered.
void RegisterHighlighterClass(TSrcCustomHighlighterClass Class);

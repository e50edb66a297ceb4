#include "highlighters/highlighter.h"

#include <algorithm>
#include <memory>

// ---------------------------------------------------------------------------- hooks

void TSrcNotifyHooks::Remove(const TNotifyEvent& Event) {
  for (size_t i = items_.size(); i-- > 0;)
    if (items_[i] == Event) items_.erase(items_.begin() + static_cast<long>(i));
}

void TSrcNotifyHooks::Fire() {
  // By index, re-reading the count: a method may change the list while it runs.
  for (size_t i = 0; i < items_.size(); ++i) {
    TNotifyEvent e = items_[i];
    e(sender_);
  }
}

// ---------------------------------------------------------------------------- attributes

namespace {

// The 16 colours of the legacy formats, by index.
constexpr TColor kLegacyPalette[16] = {clBlack, clMaroon, clGreen,  clOlive, clNavy, clPurple,
                                       clTeal,  clSilver, clGray,   clRed,   clLime, clYellow,
                                       clBlue,  clFuchsia, clAqua,  clWhite};

TColor LegacyPaletteColor(int index) {
  if (index < 0 || index > 15)
    throw EConvertError(Format("Colour index %d out of range", {index}));
  return kLegacyPalette[index];
}

// A colour written as an identifier ("clNavy") or as a number ("$FF0000", "255").
TColor ColorFromText(const AnsiString& text) {
  static const struct {
    const char* name;
    TColor color;
  } kNames[] = {
      {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
      {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
      {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
      {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
      {"clMoneyGreen", clMoneyGreen}, {"clSkyBlue", clSkyBlue}, {"clCream", clCream},
      {"clMedGray", clMedGray}, {"clNone", clNone}, {"clDefault", clDefault},
      {"clScrollBar", clScrollBar}, {"clBackground", clBackground},
      {"clActiveCaption", clActiveCaption}, {"clInactiveCaption", clInactiveCaption},
      {"clMenu", clMenu}, {"clWindow", clWindow}, {"clWindowFrame", clWindowFrame},
      {"clMenuText", clMenuText}, {"clWindowText", clWindowText}, {"clCaptionText", clCaptionText},
      {"clActiveBorder", clActiveBorder}, {"clInactiveBorder", clInactiveBorder},
      {"clAppWorkSpace", clAppWorkSpace}, {"clHighlight", clHighlight},
      {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace}, {"clBtnShadow", clBtnShadow},
      {"clGrayText", clGrayText}, {"clBtnText", clBtnText},
      {"clInactiveCaptionText", clInactiveCaptionText}, {"clBtnHighlight", clBtnHighlight},
      {"cl3DDkShadow", cl3DDkShadow}, {"cl3DLight", cl3DLight}, {"clInfoText", clInfoText},
      {"clInfoBk", clInfoBk},
  };
  for (const auto& n : kNames)
    if (SameText(text, n.name)) return n.color;
  return StrToInt(text);
}

// A flag text of the legacy format: false for "FALSE" in any case and for "0".
bool LegacyFlag(const AnsiString& text) { return !(SameText(text, "FALSE") || text == "0"); }

}  // namespace

TSrcHighlighterAttributes::TSrcHighlighterAttributes(const AnsiString& Name) : name_(Name) {}

void TSrcHighlighterAttributes::SetBackground(TColor Value) {
  if (background_ == Value) return;
  background_ = Value;
  Changed();
}

void TSrcHighlighterAttributes::SetForeground(TColor Value) {
  if (foreground_ == Value) return;
  foreground_ = Value;
  Changed();
}

void TSrcHighlighterAttributes::SetStyle(TFontStyles Value) {
  if (style_ == Value) return;
  style_ = Value;
  Changed();
}

void TSrcHighlighterAttributes::SaveDefaults() {
  backgroundDefault_ = background_;
  foregroundDefault_ = foreground_;
  styleDefault_ = style_;
}

void TSrcHighlighterAttributes::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TSrcHighlighterAttributes*>(Source)) {
    name_ = src->name_;
    AssignColorAndStyle(src);
  } else {
    TPersistent::Assign(Source);
  }
}

void TSrcHighlighterAttributes::AssignColorAndStyle(TSrcHighlighterAttributes* Source) {
  bool changed = false;
  if (background_ != Source->background_) {
    background_ = Source->background_;
    changed = true;
  }
  if (foreground_ != Source->foreground_) {
    foreground_ = Source->foreground_;
    changed = true;
  }
  if (style_ != Source->style_) {
    style_ = Source->style_;
    changed = true;
  }
  if (changed) Changed();
}

void TSrcHighlighterAttributes::Changed() { CallEvent(OnChange, this); }

bool TSrcHighlighterAttributes::LoadFromRegistry(TRegistry& Reg) {
  AnsiString key = Reg.CurrentPath();
  if (!Reg.OpenKeyReadOnly(name_)) return false;
  if (Reg.ValueExists("Background")) SetBackground(Reg.ReadInteger("Background"));
  if (Reg.ValueExists("Foreground")) SetForeground(Reg.ReadInteger("Foreground"));
  if (Reg.ValueExists("Style")) SetStyleBits(Reg.ReadInteger("Style"));
  Reg.OpenKeyReadOnly("\\" + key);
  return true;
}

bool TSrcHighlighterAttributes::SaveToRegistry(TRegistry& Reg) {
  AnsiString key = Reg.CurrentPath();
  if (!Reg.OpenKey(name_, true)) return false;
  Reg.WriteInteger("Background", background_);
  Reg.WriteInteger("Foreground", foreground_);
  Reg.WriteInteger("Style", GetStyleBits());
  Reg.OpenKey("\\" + key, false);
  return true;
}

bool TSrcHighlighterAttributes::LoadFromLegacyRegistry(HKEY RootKey, const AnsiString& Key,
                                                       const AnsiString& ValueName, bool OldFormat) {
  try {
    return OldFormat ? LoadOldFormat(RootKey, Key, ValueName) : LoadNewFormat(RootKey, Key, ValueName);
  } catch (const std::exception&) {
    return false;
  }
}

bool TSrcHighlighterAttributes::LoadOldFormat(HKEY RootKey, const AnsiString& Key,
                                              const AnsiString& ValueName) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  if (!reg.OpenKeyReadOnly(Key) || !reg.ValueExists(ValueName)) return false;
  AnsiString text = reg.ReadString(ValueName);
  // Seven fields, each ending at the next comma; missing ones are empty.
  AnsiString field[8];
  size_t pos = 0;
  for (int i = 1; i <= 7; ++i) {
    size_t comma = pos <= text.size() ? text.find(',', pos) : AnsiString::npos;
    if (pos < text.size()) field[i] = text.substr(pos, comma == AnsiString::npos ? AnsiString::npos : comma - pos);
    pos = comma == AnsiString::npos ? text.size() + 1 : comma + 1;
  }
  SetBackground(field[5] == "1" ? clWindow : LegacyPaletteColor(StrToInt(field[7])));
  SetForeground(field[4] == "1" ? clWindowText : LegacyPaletteColor(StrToInt(field[6])));
  TFontStyles style;
  if (field[3].find('B') != AnsiString::npos) style.Include(fsBold);
  if (field[3].find('I') != AnsiString::npos) style.Include(fsItalic);
  if (field[3].find('U') != AnsiString::npos) style.Include(fsUnderline);
  SetStyle(style);
  return true;
}

bool TSrcHighlighterAttributes::LoadNewFormat(HKEY RootKey, const AnsiString& Key,
                                              const AnsiString& ValueName) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  if (!reg.OpenKeyReadOnly(Key + "\\" + ValueName)) return false;
  auto color = [&](const char* indexName, const char* textName) {
    if (reg.ValueExists(indexName)) return LegacyPaletteColor(reg.ReadInteger(indexName));
    return ColorFromText(reg.ReadString(textName));
  };
  TColor fore = color("Foreground Color", "Foreground Color New");
  TColor back = color("Background Color", "Background Color New");
  static const char* const kFlags[] = {"Bold", "Italic", "Underline", "Default Foreground",
                                       "Default Background"};
  bool flag[5];
  for (int i = 0; i < 5; ++i) {
    if (reg.GetDataType(kFlags[i]) != rdString) return false;
    flag[i] = LegacyFlag(reg.ReadString(kFlags[i]));
  }
  SetBackground(flag[4] ? clWindow : back);
  SetForeground(flag[3] ? clWindowText : fore);
  TFontStyles style;
  if (flag[0]) style.Include(fsBold);
  if (flag[1]) style.Include(fsItalic);
  if (flag[2]) style.Include(fsUnderline);
  SetStyle(style);
  return true;
}

// ---------------------------------------------------------------------------- highlighter

namespace {
AnsiString BaseLanguageName() { return TSrcCustomHighlighter::ClassLanguageName(); }
TSrcHighlighterCapabilities BaseCapabilities() { return TSrcCustomHighlighter::ClassCapabilities(); }
}  // namespace

const TSrcHighlighterClassInfo TSrcCustomHighlighter::ClassInfo = {
    "TSrcCustomHighlighter", nullptr, &BaseLanguageName, &BaseCapabilities, nullptr};

TSrcCustomHighlighter::TSrcCustomHighlighter(TComponent* AOwner)
    : TComponent(AOwner), attrChangeHooks_(this) {
  WordBreakChars.AddChars("!\"'()*+,-./:;=?[\\]^{|}");
  attributes_.SetSorted(true);
  attributes_.SetDuplicates(dupError);
}

TSrcCustomHighlighter::~TSrcCustomHighlighter() {
  // Editors and print jobs that reference this highlighter drop it (and may unhook themselves)
  // while its attributes and hooks still exist.
  BeginDestroy();
  NotifyFreeing();
  FreeAttributes();
}

void TSrcCustomHighlighter::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TSrcCustomHighlighter*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  for (int i = 0; i < GetAttribCount(); ++i) {
    TSrcHighlighterAttributes* attr = GetAttribute(i);
    for (int j = 0; j < src->GetAttribCount(); ++j) {
      TSrcHighlighterAttributes* other = src->GetAttribute(j);
      if (other->Name() == attr->Name()) {
        attr->Assign(other);
        break;
      }
    }
  }
  if (src->ClassType()->InheritsFrom(ClassType())) SetSampleSource(src->GetSampleSource());
  WordBreakChars = src->WordBreakChars;
  SetDefaultFilter(src->GetDefaultFilter());
  SetEnabled(src->Enabled());
}

int TSrcCustomHighlighter::GetAttribCount() const { return attributes_.Count(); }

TSrcHighlighterAttributes* TSrcCustomHighlighter::GetAttribute(int Index) const {
  if (Index < 0 || Index >= attributes_.Count()) return nullptr;
  return static_cast<TSrcHighlighterAttributes*>(attributes_.GetObject(Index));
}

TSysCharSet TSrcCustomHighlighter::GetIdentChars() const { return TSysCharSet::Range(33, 255); }

TSysCharSet CyrillicLetters() {
  // 0xC0..0xFF is А..я in order; Ё, ё and the other alphabets' letters lie among the signs
  // of 0x80..0xBF.
  static constexpr unsigned char kAmongSigns[] = {0x80, 0x81, 0x83, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x9A,
                                                  0x9C, 0x9D, 0x9E, 0x9F, 0xA1, 0xA2, 0xA3, 0xA5, 0xA8, 0xAA,
                                                  0xAF, 0xB2, 0xB3, 0xB4, 0xB8, 0xBA, 0xBC, 0xBD, 0xBE, 0xBF};
  TSysCharSet s = TSysCharSet::Range(0xC0, 0xFF);
  for (unsigned char c : kAmongSigns) s.Add(c);
  return s;
}

void TSrcCustomHighlighter::SkipToLineEnd() {
  while (!GetEol()) Next();
}

TSrcRange TSrcCustomHighlighter::ScanLineRange(std::string_view Line, int LineNumber) {
  SetLineText(Line, LineNumber);
  SkipToLineEnd();
  return GetRange();
}

int TSrcCustomHighlighter::NextTokens(TSrcTokenSpan* Out, int Max) {
  int n = 0;
  for (; n < Max && !GetEol(); ++n, Next())
    Out[n] = TSrcTokenSpan{GetTokenPos(), static_cast<int>(GetToken().size()), GetTokenAttribute()};
  return n;
}

bool TSrcCustomHighlighter::LoadFromRegistry(HKEY RootKey, const AnsiString& Key) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  if (!reg.OpenKeyReadOnly(Key)) return false;
  bool all = true;
  for (int i = 0; i < GetAttribCount(); ++i)
    if (!GetAttribute(i)->LoadFromRegistry(reg)) all = false;
  return all;
}

bool TSrcCustomHighlighter::SaveToRegistry(HKEY RootKey, const AnsiString& Key) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  if (!reg.OpenKey(Key, true)) return false;
  bool all = true;
  for (int i = 0; i < GetAttribCount(); ++i)
    if (!GetAttribute(i)->SaveToRegistry(reg)) all = false;
  return all;
}

void TSrcCustomHighlighter::AddAttribute(TSrcHighlighterAttributes* Attri) {
  try {
    attributes_.AddObject(Attri->Name(), Attri);
  } catch (...) {
    delete Attri;  // the highlighter took it over: it must not leak when it cannot be kept
    throw;
  }
}

void TSrcCustomHighlighter::BindAttributeChanges(const TNotifyEvent& Event) {
  for (int i = 0; i < GetAttribCount(); ++i) {
    TSrcHighlighterAttributes* attr = GetAttribute(i);
    attr->OnChange = Event;
    attr->SaveDefaults();
  }
}

void TSrcCustomHighlighter::AttributeChanged(TObject* Sender) {
  if (updateCount_ > 0) {
    updateChange_ = true;
    return;
  }
  if (ComponentState() & csLoading) return;
  attrChangeHooks_.SetSender(Sender);
  attrChangeHooks_.Fire();
}

void TSrcCustomHighlighter::FreeAttributes() {
  for (int i = attributes_.Count() - 1; i >= 0; --i) delete attributes_.GetObject(i);
  attributes_.Clear();
}

void TSrcCustomHighlighter::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  AttributeChanged(nullptr);
}

void TSrcCustomHighlighter::Loaded() {
  TComponent::Loaded();
  AttributeChanged(nullptr);
}

// ---------------------------------------------------------------------------- class list

TSrcCustomHighlighterClass TSrcHighlighterList::Items(int Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format("List index out of bounds (%d)", {Index}));
  return list_[static_cast<size_t>(Index)];
}

int TSrcHighlighterList::IndexOf(TSrcCustomHighlighterClass Class) const {
  auto it = std::find(list_.begin(), list_.end(), Class);
  return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

TSrcHighlighterList& HighlighterClassList() {
  // Created on first use, so that it exists before any highlighter registers itself at start-up
  // whatever the order in which the program's parts are initialised.
  static TSrcHighlighterList list;
  return list;
}

void RegisterHighlighterClass(TSrcCustomHighlighterClass Class) {
  TSrcHighlighterList& list = HighlighterClassList();
  if (list.IndexOf(Class) < 0) list.Add(Class);
}

#include "platform/inifiles.h"

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/safe_file.h"

// The parsed form of each settings file is kept, shared by every TIniFile object on it, for as
// long as the file on disk is unchanged (same identity, size and times); a read then costs one
// stat. A write changes the parsed form and writes the file once, safely.

namespace {

struct Line {
  std::string text;
  enum Kind { kOther, kSection, kKey } kind = kOther;
  AnsiString name;   // section name or key
  AnsiString value;  // key's value
};

// The lines before the first section header (block 0), or one section: its header and lines.
struct Block {
  Line header;
  std::vector<Line> lines;
  std::unordered_map<AnsiString, size_t> keys;  // lower-case key -> first line holding it

  void IndexKeys() {
    keys.clear();
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].kind == Line::kKey) keys.emplace(AnsiLowerCase(lines[i].name), i);
  }
  const Line* Find(const AnsiString& key) const {
    auto it = keys.find(AnsiLowerCase(key));
    return it == keys.end() ? nullptr : &lines[it->second];
  }
};

struct Parsed {
  TFileIdentity id;
  std::vector<Block> blocks{1};                       // blocks[0]: lines before any section
  std::unordered_map<AnsiString, size_t> sections;   // lower-case name -> first block

  void IndexSections() {
    sections.clear();
    for (size_t i = 1; i < blocks.size(); ++i) sections.emplace(AnsiLowerCase(blocks[i].header.name), i);
  }
  Block* FindSection(const AnsiString& section) {
    auto it = sections.find(AnsiLowerCase(section));
    return it == sections.end() ? nullptr : &blocks[it->second];
  }
  const Line* FindKey(const AnsiString& section, const AnsiString& key) {
    Block* b = FindSection(section);
    return b ? b->Find(key) : nullptr;
  }
};

AnsiString Unquote(const AnsiString& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

void Parse(const std::string& data, Parsed& p) {
  size_t i = 0;
  while (i < data.size()) {
    size_t e = data.find_first_of("\r\n", i);
    Line l;
    l.text = data.substr(i, e == std::string::npos ? std::string::npos : e - i);
    if (e == std::string::npos) i = data.size();
    else i = (data[e] == '\r' && e + 1 < data.size() && data[e + 1] == '\n') ? e + 2 : e + 1;
    AnsiString s = Trim(l.text);
    if (!s.empty() && s[0] == '[') {
      size_t close = s.find(']');
      if (close != std::string::npos) {
        l.kind = Line::kSection;
        l.name = Trim(s.substr(1, close - 1));
        p.blocks.push_back(Block{std::move(l), {}, {}});
        continue;
      }
    } else if (!s.empty() && s[0] != ';') {
      size_t eq = s.find('=');
      if (eq != std::string::npos && eq > 0) {
        l.kind = Line::kKey;
        l.name = Trim(s.substr(0, eq));
        l.value = Unquote(Trim(s.substr(eq + 1)));
      }
    }
    p.blocks.back().lines.push_back(std::move(l));
  }
  for (auto& b : p.blocks) b.IndexKeys();
  p.IndexSections();
}

std::map<std::string, std::shared_ptr<Parsed>>& Cache() {
  static std::map<std::string, std::shared_ptr<Parsed>> cache;
  return cache;
}

}  // namespace

TIniFile::TIniFile(const AnsiString& FileName) : fileName_(FileName) {
  if (fileName_.find('/') == std::string::npos) fileName_ = SettingsDir() + fileName_;
}

namespace {

// The parsed file, read again only when the file on disk changed. A missing or unreadable
// file is an empty one.
Parsed& Load(const AnsiString& name) {
  std::string path = ResolveSystemName(name);
  auto& slot = Cache()[path];
  TFileIdentity id;
  if (!GetFileIdentity(path, id)) {
    if (!slot || slot->id.size != -1) slot = std::make_shared<Parsed>();
    return *slot;
  }
  if (slot && slot->id == id) return *slot;
  slot = std::make_shared<Parsed>();
  std::string data;
  ReadRegularFile(path, data);  // a pipe or a device in its place is an empty file
  Parse(data, *slot);
  slot->id = id;
  return *slot;
}

void Store(const AnsiString& name, Parsed& p) {
  std::string path = ResolveSystemName(name);
  std::string out;
  for (const Block& b : p.blocks) {
    if (&b != &p.blocks.front()) out.append(b.header.text).append("\r\n");
    for (const Line& l : b.lines) out.append(l.text).append("\r\n");
  }
  try {
    SafeWriteFile(name, out);
  } catch (const Exception& e) {
    Cache().erase(path);  // the parsed form no longer matches the file
    throw EIniFileException(Format(W1251("Не удаётся записать файл настроек \"%s\". %s"), {name, e.Message()}));
  }
  if (!GetFileIdentity(ResolveSystemName(name), p.id)) Cache().erase(path);
}

bool ParseInt(const AnsiString& s, int& out) {
  AnsiString t = Trim(s);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = "$" + t.substr(2);
  return TryStrToInt(t, out);
}

}  // namespace

AnsiString TIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident,
                                const AnsiString& Default) const {
  const Line* l = Load(fileName_).FindKey(Section, Ident);
  return l ? l->value : Default;
}

int TIniFile::ReadInteger(const AnsiString& Section, const AnsiString& Ident, int Default) const {
  AnsiString s = ReadString(Section, Ident, AnsiString());
  int v;
  return ParseInt(s, v) ? v : Default;
}

bool TIniFile::ReadBool(const AnsiString& Section, const AnsiString& Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(const AnsiString& Section, const AnsiString& Ident, const AnsiString& Value) {
  Parsed& p = Load(fileName_);
  Line nl;
  nl.kind = Line::kKey;
  nl.name = Ident;
  nl.value = Value;
  nl.text = Ident + "=" + Value;
  Block* b = p.FindSection(Section);
  if (!b) {
    Block& last = p.blocks.back();
    const std::string& lastText = last.lines.empty() ? last.header.text : last.lines.back().text;
    if (!(p.blocks.size() == 1 && last.lines.empty()) && !Trim(lastText).empty()) last.lines.push_back(Line{});
    Block nb;
    nb.header.kind = Line::kSection;
    nb.header.name = Section;
    nb.header.text = "[" + Section + "]";
    nb.lines.push_back(nl);
    nb.IndexKeys();
    p.blocks.push_back(std::move(nb));
    p.sections.emplace(AnsiLowerCase(Section), p.blocks.size() - 1);
  } else {
    auto it = b->keys.find(AnsiLowerCase(Ident));
    if (it != b->keys.end()) {
      Line& l = b->lines[it->second];
      if (l.value == Value) return;  // unchanged: nothing to write
      l.value = Value;
      l.text = l.name + "=" + Value;
    } else {
      // After the section's last non-blank line; only blank lines follow it, so no key moves.
      size_t at = b->lines.size();
      while (at > 0 && Trim(b->lines[at - 1].text).empty()) --at;
      b->lines.insert(b->lines.begin() + static_cast<std::ptrdiff_t>(at), nl);
      b->keys.emplace(AnsiLowerCase(Ident), at);
    }
  }
  Store(fileName_, p);
}

void TIniFile::WriteInteger(const AnsiString& Section, const AnsiString& Ident, int Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

void TIniFile::WriteBool(const AnsiString& Section, const AnsiString& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::ReadSection(const AnsiString& Section, TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  if (const Block* b = Load(fileName_).FindSection(Section))
    for (const Line& l : b->lines)
      if (l.kind == Line::kKey) Strings->Add(l.name);
  Strings->EndUpdate();
}

void TIniFile::ReadSections(TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  const Parsed& p = Load(fileName_);
  for (size_t i = 1; i < p.blocks.size(); ++i) Strings->Add(p.blocks[i].header.name);
  Strings->EndUpdate();
}

void TIniFile::ReadSectionValues(const AnsiString& Section, TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  if (const Block* b = Load(fileName_).FindSection(Section))
    for (const Line& l : b->lines)
      if (l.kind == Line::kKey) Strings->Add(l.name + "=" + l.value);
  Strings->EndUpdate();
}

bool TIniFile::SectionExists(const AnsiString& Section) const {
  return Load(fileName_).FindSection(Section) != nullptr;
}

bool TIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) const {
  return Load(fileName_).FindKey(Section, Ident) != nullptr;
}

void TIniFile::EraseSection(const AnsiString& Section) {
  Parsed& p = Load(fileName_);
  auto it = p.sections.find(AnsiLowerCase(Section));
  if (it == p.sections.end()) return;
  p.blocks.erase(p.blocks.begin() + static_cast<std::ptrdiff_t>(it->second));
  p.IndexSections();
  Store(fileName_, p);
}

void TIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
  Parsed& p = Load(fileName_);
  Block* b = p.FindSection(Section);
  if (!b) return;
  auto it = b->keys.find(AnsiLowerCase(Ident));
  if (it == b->keys.end()) return;
  b->lines.erase(b->lines.begin() + static_cast<std::ptrdiff_t>(it->second));
  b->IndexKeys();
  Store(fileName_, p);
}

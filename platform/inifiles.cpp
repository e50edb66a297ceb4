#include "platform/inifiles.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

struct Line {
  std::string text;
  enum Kind { kOther, kSection, kKey } kind = kOther;
  AnsiString name;   // section name or key
  AnsiString value;  // key's value
};

AnsiString Unquote(const AnsiString& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

std::vector<Line> Parse(const std::string& data) {
  std::vector<Line> lines;
  size_t i = 0;
  while (i < data.size()) {
    size_t e = data.find_first_of("\r\n", i);
    std::string t = data.substr(i, e == std::string::npos ? std::string::npos : e - i);
    if (e == std::string::npos) i = data.size();
    else i = (data[e] == '\r' && e + 1 < data.size() && data[e + 1] == '\n') ? e + 2 : e + 1;
    Line l;
    l.text = t;
    AnsiString s = Trim(t);
    if (!s.empty() && s[0] == '[') {
      size_t close = s.find(']');
      if (close != std::string::npos) {
        l.kind = Line::kSection;
        l.name = Trim(s.substr(1, close - 1));
      }
    } else if (!s.empty() && s[0] != ';') {
      size_t eq = s.find('=');
      if (eq != std::string::npos && eq > 0) {
        l.kind = Line::kKey;
        l.name = Trim(s.substr(0, eq));
        l.value = Unquote(Trim(s.substr(eq + 1)));
      }
    }
    lines.push_back(std::move(l));
  }
  return lines;
}

bool Same(const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) == 0; }

}  // namespace

TIniFile::TIniFile(const AnsiString& FileName) : fileName_(FileName) {
  if (fileName_.find('/') == std::string::npos) fileName_ = SettingsDir() + fileName_;
}

namespace {

std::vector<Line> Load(const AnsiString& name) {
  std::ifstream in(ResolveSystemName(name), std::ios::binary);
  if (!in) return {};
  std::stringstream ss;
  ss << in.rdbuf();
  return Parse(ss.str());
}

void Store(const AnsiString& name, const std::vector<Line>& lines) {
  std::string path = ResolveSystemName(name);
  std::string tmp = path + ".tmp" + std::to_string(getpid());
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) throw EIniFileException(Format("Unable to write to %s", {name}));
    for (const Line& l : lines) out << l.text << "\r\n";
    out.flush();
    if (!out) {
      std::remove(tmp.c_str());
      throw EIniFileException(Format("Unable to write to %s", {name}));
    }
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    throw EIniFileException(Format("Unable to write to %s", {name}));
  }
}

// Index range [begin, end) of a section's lines after its header; begin = -1 when absent.
std::pair<int, int> FindSection(const std::vector<Line>& lines, const AnsiString& section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == Line::kSection && Same(lines[i].name, section)) {
      size_t j = i + 1;
      while (j < lines.size() && lines[j].kind != Line::kSection) ++j;
      return {static_cast<int>(i) + 1, static_cast<int>(j)};
    }
  }
  return {-1, -1};
}

const Line* FindKey(const std::vector<Line>& lines, const AnsiString& section, const AnsiString& key) {
  auto [b, e] = FindSection(lines, section);
  if (b < 0) return nullptr;
  for (int i = b; i < e; ++i)
    if (lines[size_t(i)].kind == Line::kKey && Same(lines[size_t(i)].name, key)) return &lines[size_t(i)];
  return nullptr;
}

bool ParseInt(const AnsiString& s, int& out) {
  AnsiString t = Trim(s);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = "$" + t.substr(2);
  return TryStrToInt(t, out);
}

}  // namespace

AnsiString TIniFile::ReadString(const AnsiString& Section, const AnsiString& Ident,
                                const AnsiString& Default) const {
  auto lines = Load(fileName_);
  const Line* l = FindKey(lines, Section, Ident);
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
  auto lines = Load(fileName_);
  Line nl;
  nl.kind = Line::kKey;
  nl.name = Ident;
  nl.value = Value;
  nl.text = Ident + "=" + Value;
  auto [b, e] = FindSection(lines, Section);
  if (b < 0) {
    if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back(Line{});
    Line h;
    h.kind = Line::kSection;
    h.name = Section;
    h.text = "[" + Section + "]";
    lines.push_back(h);
    lines.push_back(nl);
  } else {
    bool done = false;
    for (int i = b; i < e && !done; ++i) {
      Line& l = lines[size_t(i)];
      if (l.kind == Line::kKey && Same(l.name, Ident)) {
        l.value = Value;
        l.text = l.name + "=" + Value;
        done = true;
      }
    }
    if (!done) {
      // After the section's last non-blank line.
      int at = e;
      while (at > b && Trim(lines[size_t(at - 1)].text).empty()) --at;
      lines.insert(lines.begin() + at, nl);
    }
  }
  Store(fileName_, lines);
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
  auto lines = Load(fileName_);
  auto [b, e] = FindSection(lines, Section);
  for (int i = b; b >= 0 && i < e; ++i)
    if (lines[size_t(i)].kind == Line::kKey) Strings->Add(lines[size_t(i)].name);
  Strings->EndUpdate();
}

void TIniFile::ReadSections(TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  for (const Line& l : Load(fileName_))
    if (l.kind == Line::kSection) Strings->Add(l.name);
  Strings->EndUpdate();
}

void TIniFile::ReadSectionValues(const AnsiString& Section, TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  auto lines = Load(fileName_);
  auto [b, e] = FindSection(lines, Section);
  for (int i = b; b >= 0 && i < e; ++i)
    if (lines[size_t(i)].kind == Line::kKey) Strings->Add(lines[size_t(i)].name + "=" + lines[size_t(i)].value);
  Strings->EndUpdate();
}

bool TIniFile::SectionExists(const AnsiString& Section) const {
  return FindSection(Load(fileName_), Section).first >= 0;
}

bool TIniFile::ValueExists(const AnsiString& Section, const AnsiString& Ident) const {
  auto lines = Load(fileName_);
  return FindKey(lines, Section, Ident) != nullptr;
}

void TIniFile::EraseSection(const AnsiString& Section) {
  auto lines = Load(fileName_);
  auto [b, e] = FindSection(lines, Section);
  if (b < 0) return;
  lines.erase(lines.begin() + (b - 1), lines.begin() + e);
  Store(fileName_, lines);
}

void TIniFile::DeleteKey(const AnsiString& Section, const AnsiString& Ident) {
  auto lines = Load(fileName_);
  auto [b, e] = FindSection(lines, Section);
  for (int i = b; b >= 0 && i < e; ++i) {
    if (lines[size_t(i)].kind == Line::kKey && Same(lines[size_t(i)].name, Ident)) {
      lines.erase(lines.begin() + i);
      Store(fileName_, lines);
      return;
    }
  }
}

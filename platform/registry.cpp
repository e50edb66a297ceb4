#include "platform/registry.h"
#include "platform/shell.h"

#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/safe_file.h"

// The store file is read again whenever it changed on disk (identity, size or times differ from
// what was read last) and rewritten, safely, after every change, so that several registry
// objects (and several processes) never hold diverging copies. The file looks like this:
//
//   [HKEY_CURRENT_USER\Software\Vantry Tarn\Highlighters\Comment]
//   "Foreground"=dword:00808080
//   "Caption"="Text with \"quotes\" and a back\\slash"
//
// Text is written as UTF-8; control characters, '"', '\' and the one Windows-1251 byte that has
// no Unicode character are escaped, so every byte comes back as it was written.

namespace {

struct StoreValue {
  AnsiString name;
  TRegDataType type = rdUnknown;
  int32_t integer = 0;
  AnsiString text;
};

struct StoreKey {
  AnsiString path;  // root name and the key names, joined with '\'
  std::vector<StoreValue> values;
};

struct Store {
  TFileIdentity id;             // of the file this was read from or written to
  std::vector<StoreKey> keys;  // in the order of creation
  std::unordered_map<AnsiString, size_t> index;  // lower-case path -> position in keys

  StoreKey* Find(const AnsiString& path) {
    auto it = index.find(AnsiLowerCase(path));
    return it == index.end() ? nullptr : &keys[it->second];
  }
  void Reindex() {
    index.clear();
    for (size_t i = 0; i < keys.size(); ++i) index.emplace(AnsiLowerCase(keys[i].path), i);
  }
  // Creates the key and every missing key above it (below the root).
  void Create(const AnsiString& path) {
    size_t pos = path.find('\\');
    while (pos != AnsiString::npos) {
      pos = path.find('\\', pos + 1);
      AnsiString part = path.substr(0, pos);
      if (!Find(part)) {
        keys.push_back(StoreKey{part, {}});
        index.emplace(AnsiLowerCase(part), keys.size() - 1);
      }
    }
  }
};

// The parsed store of each store file, shared by every registry object.
std::map<std::string, std::unique_ptr<Store>>& StoreCache() {
  static std::map<std::string, std::unique_ptr<Store>> cache;
  return cache;
}

AnsiString RootName(HKEY root) {
  switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    default: return "HKEY_" + IntToHex(root, 8);
  }
}

AnsiString FullPath(HKEY root, const AnsiString& path) {
  return path.empty() ? RootName(root) : RootName(root) + "\\" + path;
}

bool IsRootPath(const AnsiString& full) { return full.find('\\') == AnsiString::npos; }

AnsiString Escape(const AnsiString& s) {
  std::string out;
  AnsiString run;
  auto flush = [&] {
    out += AnsiToUtf8(run);
    run.clear();
  };
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    const char* esc = nullptr;
    switch (c) {
      case '\\': esc = "\\\\"; break;
      case '"': esc = "\\\""; break;
      case '\n': esc = "\\n"; break;
      case '\r': esc = "\\r"; break;
      case '\t': esc = "\\t"; break;
      default: break;
    }
    if (esc) {
      flush();
      out += esc;
    } else if (c < 0x20 || c == 0x7F || c == 0x98) {
      flush();
      char buf[8];
      snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      run += ch;
    }
  }
  flush();
  return out;
}

int HexDigit(char c);

// Key paths in section headers: '\' separates the names, so it stays as it is; control
// characters, '%' and the byte without a Unicode character are written as %XX.
std::string EscapePath(const AnsiString& s) {
  AnsiString plain;
  for (char ch : s) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == 0x98 || c == '%') {
      char buf[8];
      snprintf(buf, sizeof buf, "%%%02X", c);
      plain += buf;
    } else {
      plain += ch;
    }
  }
  return AnsiToUtf8(plain);
}

AnsiString UnescapePath(const std::string& s) {
  AnsiString a = Utf8ToAnsi(s), out;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == '%' && i + 2 < a.size() && HexDigit(a[i + 1]) >= 0 && HexDigit(a[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(a[i + 1]) * 16 + HexDigit(a[i + 2]));
      i += 2;
    } else {
      out += a[i];
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes escaped text up to `stop` (or the end); `pos` ends on the stop character.
AnsiString Unescape(const std::string& s, size_t& pos, char stop) {
  AnsiString out;
  std::string run;
  auto flush = [&] {
    out += Utf8ToAnsi(run);
    run.clear();
  };
  while (pos < s.size() && s[pos] != stop) {
    char c = s[pos++];
    if (c != '\\' || pos >= s.size()) {
      run += c;
      continue;
    }
    char e = s[pos++];
    flush();
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        int hi = pos < s.size() ? HexDigit(s[pos]) : -1;
        int lo = pos + 1 < s.size() ? HexDigit(s[pos + 1]) : -1;
        if (hi >= 0 && lo >= 0) {
          out += static_cast<char>(hi * 16 + lo);
          pos += 2;
        } else {
          out += 'x';
        }
        break;
      }
      default: out += e; break;
    }
  }
  flush();
  return out;
}

AnsiString NormalizePath(const AnsiString& path);

// Reads the store, unless it is unchanged since it was read or written last; a missing file is
// an empty store and lines that cannot be understood are skipped, so a hand-edited file never
// keeps the program from starting.
Store& LoadStore() {
  std::string name = AnsiToSystemName(TRegistry::StoreFileName());
  auto& slot = StoreCache()[name];
  TFileIdentity id;
  if (!GetFileIdentity(name, id)) {
    if (!slot || slot->id.size != -1) slot = std::make_unique<Store>();
    return *slot;
  }
  if (slot && slot->id == id) return *slot;
  slot = std::make_unique<Store>();
  Store& st = *slot;
  st.id = id;
  std::string data;
  if (!ReadRegularFile(name, data)) return st;  // a pipe or a device in its place holds nothing

  StoreKey* cur = nullptr;
  size_t lineStart = 0;
  while (lineStart < data.size()) {
    size_t lineEnd = data.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = data.size();
    std::string line = data.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[' && line.size() >= 2 && line.back() == ']') {
      AnsiString path = NormalizePath(UnescapePath(line.substr(1, line.size() - 2)));
      if (path.empty()) { cur = nullptr; continue; }
      st.Create(path);
      cur = IsRootPath(path) ? nullptr : st.Find(path);
      continue;
    }
    if (!cur || line[0] != '"') continue;
    size_t p = 1;
    AnsiString vname = Unescape(line, p, '"');
    if (p >= line.size() || line.compare(p, 2, "\"=") != 0) continue;
    p += 2;
    StoreValue v;
    v.name = vname;
    if (line.compare(p, 6, "dword:") == 0) {
      std::string hex = line.substr(p + 6);
      if (hex.empty() || hex.size() > 8) continue;
      uint32_t u = 0;
      bool ok = true;
      for (char c : hex) {
        int d = HexDigit(c);
        if (d < 0) { ok = false; break; }
        u = u * 16 + static_cast<uint32_t>(d);
      }
      if (!ok) continue;
      v.type = rdInteger;
      v.integer = static_cast<int32_t>(u);
    } else if (p < line.size() && line[p] == '"') {
      ++p;
      v.text = Unescape(line, p, '"');
      if (p >= line.size()) continue;
      v.type = rdString;
    } else {
      continue;
    }
    bool replaced = false;
    for (auto& old : cur->values)
      if (AnsiCompareText(old.name, v.name) == 0) { old = v; replaced = true; }
    if (!replaced) cur->values.push_back(v);
  }
  return st;
}

// Writes the whole store safely (see TSafeFileStream): readers see either the old or the new
// store, never a part. On failure the parsed store is dropped, so the next access reads the
// file as it is.
void SaveStore(Store& st, const AnsiString& failedName) {
  std::string out = "; Vantry Tarn registry\n";
  for (const auto& k : st.keys) {
    out.append("\n[").append(EscapePath(k.path)).append("]\n");
    for (const auto& v : k.values) {
      out.append("\"").append(Escape(v.name)).append("\"=");
      if (v.type == rdInteger) {
        char buf[16];
        snprintf(buf, sizeof buf, "dword:%08X", static_cast<uint32_t>(v.integer));
        out += buf;
      } else {
        out.append("\"").append(Escape(v.text)).append("\"");
      }
      out += "\n";
    }
  }
  std::string file = AnsiToSystemName(TRegistry::StoreFileName());
  try {
    SafeWriteFile(TRegistry::StoreFileName(), out, 0600);
  } catch (const Exception&) {
    StoreCache().erase(file);
    throw ERegistryException(Format(W1251("Не удаётся записать значение \"%s\" в реестр программы."), {failedName}));
  }
  if (!GetFileIdentity(file, st.id)) StoreCache().erase(file);
}

// Splits a key path at '\' and joins its names again, dropping empty names.
AnsiString NormalizePath(const AnsiString& path) {
  AnsiString out, part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      if (!part.empty()) {
        if (!out.empty()) out += '\\';
        out += part;
      }
      part.clear();
    } else {
      part += path[i];
    }
  }
  return out;
}

}  // namespace

TRegistry::TRegistry() = default;
TRegistry::~TRegistry() = default;

AnsiString TRegistry::StoreFileName() { return SettingsDir() + "registry.txt"; }

void TRegistry::SetRootKey(HKEY v) {
  CloseKey();
  rootKey_ = v;
}

AnsiString TRegistry::Resolve(const AnsiString& Key) const {
  if (!Key.empty() && Key[0] == '\\') return NormalizePath(Key);
  if (open_ && !currentPath_.empty()) return NormalizePath(currentPath_ + "\\" + Key);
  return NormalizePath(Key);
}

namespace {
// The shell's folders key always exists: its "SendTo" value is the desktop's applications
// folder unless the store says otherwise.
bool IsShellFoldersKey(HKEY root, const AnsiString& path) {
  return root == HKEY_CURRENT_USER &&
         AnsiCompareText(path, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders") == 0;
}
bool IsSendToValue(HKEY root, const AnsiString& path, const AnsiString& name) {
  return IsShellFoldersKey(root, path) && AnsiCompareText(name, "SendTo") == 0;
}
}  // namespace

bool TRegistry::OpenKey(const AnsiString& Key, bool CanCreate) {
  AnsiString path = Resolve(Key);
  if (!path.empty()) {
    Store& st = LoadStore();
    AnsiString full = FullPath(rootKey_, path);
    if (StoreKey* k = st.Find(full)) {
      path = k->path.substr(RootName(rootKey_).size() + 1);
    } else {
      if (!CanCreate && !IsShellFoldersKey(rootKey_, path)) return false;
      if (CanCreate) st.Create(full);
      SaveStore(st, Key);
    }
  }
  currentPath_ = path;
  open_ = true;
  readOnly_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const AnsiString& Key) {
  AnsiString path = Resolve(Key);
  if (!path.empty()) {
    Store& st = LoadStore();
    StoreKey* k = st.Find(FullPath(rootKey_, path));
    if (!k && !IsShellFoldersKey(rootKey_, path)) return false;
    if (k) path = k->path.substr(RootName(rootKey_).size() + 1);
  }
  currentPath_ = path;
  open_ = true;
  readOnly_ = true;
  return true;
}

void TRegistry::CloseKey() {
  open_ = false;
  readOnly_ = false;
  currentPath_.clear();
}

bool TRegistry::CreateKey(const AnsiString& Key) {
  AnsiString path = Resolve(Key);
  if (path.empty()) return true;
  Store& st = LoadStore();
  AnsiString full = FullPath(rootKey_, path);
  if (st.Find(full)) return true;
  st.Create(full);
  SaveStore(st, Key);
  return true;
}

bool TRegistry::DeleteKey(const AnsiString& Key) {
  AnsiString path = Resolve(Key);
  if (path.empty()) return false;
  Store& st = LoadStore();
  AnsiString full = FullPath(rootKey_, path);
  if (!st.Find(full)) return false;
  AnsiString prefix = AnsiUpperCase(full + "\\");
  std::vector<StoreKey> kept;
  for (auto& k : st.keys) {
    if (AnsiCompareText(k.path, full) == 0) continue;
    if (AnsiUpperCase(k.path).compare(0, prefix.size(), prefix) == 0) continue;
    kept.push_back(std::move(k));
  }
  st.keys.swap(kept);
  st.Reindex();
  SaveStore(st, Key);
  return true;
}

bool TRegistry::KeyExists(const AnsiString& Key) const {
  AnsiString path = Resolve(Key);
  if (path.empty()) return true;
  Store& st = LoadStore();
  return st.Find(FullPath(rootKey_, path)) != nullptr;
}

namespace {
const StoreValue* FindValue(Store& st, HKEY root, const AnsiString& path, const AnsiString& name) {
  if (const StoreKey* k = st.Find(FullPath(root, path)))
    for (const auto& v : k->values)
      if (AnsiCompareText(v.name, name) == 0) return &v;
  return nullptr;
}
}  // namespace

bool TRegistry::ValueExists(const AnsiString& Name) const { return GetDataType(Name) != rdUnknown; }

TRegDataType TRegistry::GetDataType(const AnsiString& Name) const {
  if (!open_) return rdUnknown;
  Store& st = LoadStore();
  const StoreValue* v = FindValue(st, rootKey_, currentPath_, Name);
  return v ? v->type : rdUnknown;
}

int TRegistry::ReadInteger(const AnsiString& Name) const {
  Store& st = LoadStore();
  const StoreValue* v = open_ ? FindValue(st, rootKey_, currentPath_, Name) : nullptr;
  if (!v) throw ERegistryException(Format(W1251("Значения \"%s\" нет в реестре программы."), {Name}));
  if (v->type != rdInteger) throw ERegistryException(Format(W1251("Значение \"%s\" в реестре программы другого типа."), {Name}));
  return v->integer;
}

AnsiString TRegistry::ReadString(const AnsiString& Name) const {
  Store& st = LoadStore();
  const StoreValue* v = open_ ? FindValue(st, rootKey_, currentPath_, Name) : nullptr;
  if (!v) return open_ && IsSendToValue(rootKey_, currentPath_, Name) ? SendToFolder() : AnsiString();
  if (v->type != rdString) throw ERegistryException(Format(W1251("Значение \"%s\" в реестре программы другого типа."), {Name}));
  return v->text;
}

void TRegistry::RequireWritable(const AnsiString& Name) const {
  if (!open_ || readOnly_ || currentPath_.empty())
    throw ERegistryException(Format(W1251("Не удаётся записать значение \"%s\" в реестр программы."), {Name}));
}

namespace {
void PutValue(HKEY root, const AnsiString& path, const StoreValue& nv) {
  Store& st = LoadStore();
  AnsiString full = FullPath(root, path);
  StoreKey* k = st.Find(full);
  if (!k) {  // deleted by another registry object meanwhile: recreate it
    st.Create(full);
    k = st.Find(full);
  }
  bool replaced = false;
  for (auto& v : k->values)
    if (AnsiCompareText(v.name, nv.name) == 0) {
      AnsiString keepName = v.name;
      v = nv;
      v.name = keepName;
      replaced = true;
    }
  if (!replaced) k->values.push_back(nv);
  SaveStore(st, nv.name);
}
}  // namespace

void TRegistry::WriteInteger(const AnsiString& Name, int Value) {
  RequireWritable(Name);
  StoreValue v;
  v.name = Name;
  v.type = rdInteger;
  v.integer = Value;
  PutValue(rootKey_, currentPath_, v);
}

void TRegistry::WriteString(const AnsiString& Name, const AnsiString& Value) {
  RequireWritable(Name);
  StoreValue v;
  v.name = Name;
  v.type = rdString;
  v.text = Value;
  PutValue(rootKey_, currentPath_, v);
}

bool TRegistry::DeleteValue(const AnsiString& Name) {
  if (!open_ || readOnly_ || currentPath_.empty()) return false;
  Store& st = LoadStore();
  StoreKey* k = st.Find(FullPath(rootKey_, currentPath_));
  if (!k) return false;
  for (size_t i = 0; i < k->values.size(); ++i)
    if (AnsiCompareText(k->values[i].name, Name) == 0) {
      k->values.erase(k->values.begin() + static_cast<long>(i));
      SaveStore(st, Name);
      return true;
    }
  return false;
}

void TRegistry::GetKeyNames(TStrings* Strings) const {
  Strings->Clear();
  if (!open_) return;
  Store& st = LoadStore();
  AnsiString prefix = AnsiUpperCase(FullPath(rootKey_, currentPath_) + "\\");
  for (const auto& k : st.keys) {
    if (k.path.size() <= prefix.size()) continue;
    if (AnsiUpperCase(k.path.substr(0, prefix.size())) != prefix) continue;
    AnsiString rest = k.path.substr(prefix.size());
    if (rest.find('\\') == AnsiString::npos) Strings->Add(rest);
  }
}

void TRegistry::GetValueNames(TStrings* Strings) const {
  Strings->Clear();
  if (!open_) return;
  Store& st = LoadStore();
  if (StoreKey* k = st.Find(FullPath(rootKey_, currentPath_)))
    for (const auto& v : k->values) Strings->Add(v.name);
}

#include "zip/component/zip_sfx.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "zip/component/zip_keeper.h"

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }
void Set32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void Put16(std::string& s, uint32_t v) { s += static_cast<char>(v & 0xFF); s += static_cast<char>(v >> 8 & 0xFF); }
void Put32(std::string& s, uint32_t v) { Put16(s, v & 0xFFFF); Put16(s, v >> 16); }

constexpr uint32_t kEndSig = 0x06054B50, kCentralSig = 0x02014B50;

std::string ReadFileBytes(const AnsiString& name) {
  std::string s;
  FILE* f = OpenZipFileForReading(name);
  if (!f) return s;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

// A file on the system's search path ($PATH), or empty.
AnsiString SearchPath(const AnsiString& name) {
  const char* path = getenv("PATH");
  std::string p = path ? path : "";
  size_t a = 0;
  while (a <= p.size()) {
    size_t b = p.find(':', a);
    if (b == std::string::npos) b = p.size();
    std::string dir = p.substr(a, b - a);
    if (!dir.empty()) {
      AnsiString candidate = SystemNameToAnsi(dir) + PathDelim + name;
      if (FileExists(candidate)) return candidate;
    }
    a = b + 1;
  }
  return AnsiString();
}

void Write(FILE* f, const void* p, size_t n, int id) {
  if (n && fwrite(p, 1, n, f) != n) throw EZipLibError(id);
}

}  // namespace

EZipLibError::EZipLibError(int Id_)
    : Exception(ZipMessageText(Id_).empty() ? TZipKeeper::MissingText(Id_) : ZipMessageText(Id_)), Id(Id_) {
  AnsiString m = Message();
  while (!m.empty() && m.back() == ' ') m.pop_back();
  SetMessage(m);
}

TCustomZipSFX::TCustomZipSFX(TComponent* AOwner) : TComponent(AOwner), icon_(std::make_unique<TIcon>()) {}

TCustomZipSFX::~TCustomZipSFX() = default;

void TCustomZipSFX::SetSFXLanguage(const AnsiString& v) {
  // The program carries no stub languages: the code is taken as it is.
  language_ = AnsiUpperCase(v);
  SFXPath = "KVSFX" + language_ + ".BIN";
}

std::string TCustomZipSFX::HeaderBytes() const {
  const AnsiString* strings[] = {&DialogTitle, &DefaultExtractPath, &CommandLine, &FallbackExtractPath, &Message};
  size_t total = 0;
  for (auto* s : strings) {
    if (s->size() > 255) throw EZipLibError(10801);
    total += s->size();
  }
  uint32_t L = static_cast<uint32_t>((18 + total + 3) / 4 * 4);
  std::string h = std::string("KV\0\x01", 4);
  Put16(h, L);
  Put16(h, Options.Bits() & 0xFFFF);
  h += static_cast<char>(OverwriteMode);
  for (auto* s : strings) h += static_cast<char>(s->size());
  Put32(h, MessageFlags);
  for (auto* s : strings) h += *s;
  h.resize(L, '\0');
  h += std::string("KV\x0A\x01", 4);
  Put32(h, L);
  return h;
}

bool TCustomZipSFX::ReadHeader(const std::string& Bytes, size_t End) {
  if (End < 8 || End > Bytes.size()) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(Bytes.data());
  if (std::memcmp(p + End - 8, "KV\x0A\x01", 4) != 0) return false;
  size_t L = Le32(p + End - 4);
  if (L < 18 || L + 8 > End) return false;
  const uint8_t* h = p + End - 8 - L;
  if (std::memcmp(h, "KV\0\x01", 4) != 0 || Le16(h + 4) != L) return false;
  size_t pos = 18;
  AnsiString* strings[] = {&DialogTitle, &DefaultExtractPath, &CommandLine, &FallbackExtractPath, &Message};
  for (int i = 0; i < 5; ++i) {
    size_t n = h[9 + i];
    if (pos + n > L) return false;
    strings[i]->assign(reinterpret_cast<const char*>(h + pos), n);
    pos += n;
  }
  Options = TSFXOptions();
  for (int b = 0; b < 16; ++b)
    if (Le16(h + 6) >> b & 1) Options.Include(static_cast<TSFXOption>(b));
  OverwriteMode = static_cast<TSFXOverwriteMode>(h[8] <= 2 ? h[8] : 2);
  MessageFlags = Le32(h + 14);
  return true;
}

bool TCustomZipSFX::ReadOldHeader(const std::string& Bytes, size_t End) {
  if (End > Bytes.size()) return false;
  size_t from = End > 1032 ? End - 1032 : 0;
  const auto* b = reinterpret_cast<const uint8_t*>(Bytes.data());
  for (size_t p = from; p + 4 <= End; ++p) {
    if (b[p] != 'M' || b[p + 1] != 'P' || (b[p + 2] != 'U' && b[p + 2] != 'V')) continue;
    bool v = b[p + 2] == 'V';
    uint8_t flags = b[p + 3];
    auto at = [&](size_t off) -> int { return p + off < End ? b[p + off] : -1; };
    auto text = [&](size_t off, size_t n, AnsiString& out) {
      if (p + off + n > End) return false;
      out.assign(reinterpret_cast<const char*>(b + p + off), n);
      return true;
    };
    AnsiString title, path, cmd, msg;
    if (!v) {
      int a = at(4), c = at(5), d = at(6);
      if (a < 0 || c < 0 || d < 0 || !text(7, a, title) || !text(7 + a, c, path) || !text(7 + a + c, d, cmd)) return false;
    } else {
      size_t off = 8;
      AnsiString* outs[] = {&title, &path, &cmd, &msg};
      for (auto* o : outs) {
        int n = at(off);
        if (n < 0 || !text(off + 1, n, *o)) return false;
        off += 1 + n;
      }
    }
    Options = TSFXOptions{soCheckAutoRunFileName};
    if (flags & 1) Options.Include(soAskCmdLine);
    if (flags & 2) Options.Include(soAskFiles);
    if (flags & 4) Options.Include(soHideOverWriteBox);
    if (flags & 64) Options.Include(soAutoRun);
    if (v && (flags & 128)) Options.Include(soNoSuccessMsg);
    OverwriteMode = flags & 8 ? somOverwrite : flags & 16 ? somSkip : somAsk;
    DialogTitle = title;
    DefaultExtractPath = path;
    CommandLine = cmd;
    FallbackExtractPath.clear();
    MessageFlags = 0;
    if (!msg.empty() && (msg[0] == 1 || msg[0] == 2)) {
      MessageFlags = msg[0] == 1 ? 65 : 36;
      msg.erase(0, 1);
    }
    Message = msg;
    return true;
  }
  return false;
}

std::string TCustomZipSFX::LoadStub() {
  // No stub resources in this program: the file named by SFXPath, else the language's stub and
  // the US stub on the search path.
  AnsiString path = FileExists(SFXPath) ? SFXPath : AnsiString();
  if (path.empty()) path = SearchPath("KVSFX" + language_ + ".BIN");
  if (path.empty()) path = SearchPath("KVSFXus.BIN");
  if (path.empty()) throw EZipLibError(10802);
  SFXPath = path;
  return ReadFileBytes(path);
}

void TCustomZipSFX::Build() { WriteTarget(false); }
void TCustomZipSFX::BuildEmpty() { WriteTarget(true); }

void TCustomZipSFX::WriteTarget(bool Empty) {
  if (!Empty && !FileExists(SourceFile)) throw EZipLibError(10102);
  std::string stub = LoadStub();
  std::string header = HeaderBytes();
  // A target named through a symbolic link is replaced where the link leads: the link stays.
  std::string target = ZipFileTarget(TargetFile);
  if (unlink(target.c_str()) != 0 && errno != ENOENT) throw Exception(SysErrorMessage(errno));
  FILE* f = fopen(target.c_str(), "wb");
  if (!f) throw Exception(SysErrorMessage(errno));
  try {
    Write(f, stub.data(), stub.size(), 11029);
    Write(f, header.data(), header.size(), 11029);
    AppendArchive(f, Empty ? AnsiString() : SourceFile);
  } catch (...) {
    fclose(f);
    unlink(target.c_str());
    throw;
  }
  if (fclose(f) != 0) {
    unlink(target.c_str());
    throw EZipLibError(11029);
  }
  if (!icon_->IconData().empty()) ReplaceIcon(TargetFile, icon_->IconData());
}

void TCustomZipSFX::AppendArchive(FILE* Target, const AnsiString& Source) {
  if (fseeko(Target, 0, SEEK_END) != 0) throw EZipLibError(11029);
  uint64_t S = static_cast<uint64_t>(ftello(Target));
  if (Source.empty()) {
    uint8_t end[22] = {};
    Set32(end, kEndSig);
    Set32(end + 16, static_cast<uint32_t>(S));
    Write(Target, end, 22, 11030);
    return;
  }
  FILE* src = OpenZipFileForReading(Source);
  if (!src) throw EZipLibError(11011);
  struct Closer {
    FILE* f;
    ~Closer() { fclose(f); }
  } closer{src};
  fseeko(src, 0, SEEK_END);
  uint64_t size = static_cast<uint64_t>(ftello(src));
  uint64_t window = std::min<uint64_t>(size, 65558);
  std::vector<uint8_t> tail(window);
  if (fseeko(src, static_cast<off_t>(size - window), SEEK_SET) != 0 || fread(tail.data(), 1, window, src) != window)
    throw EZipLibError(11011);
  int64_t hit = -1;
  if (window >= 22 && Le32(&tail[window - 22]) == kEndSig) {
    hit = static_cast<int64_t>(window - 22);
  } else {
    for (uint64_t i = 0; i + 22 <= window; ++i)
      if (Le32(&tail[i]) == kEndSig && i + 22 + Le16(&tail[i + 20]) <= window) {
        hit = static_cast<int64_t>(i);
        break;
      }
  }
  if (hit < 0) throw EZipLibError(11011);
  uint8_t end[22];
  std::memcpy(end, &tail[static_cast<size_t>(hit)], 22);
  uint64_t eocPos = size - window + static_cast<uint64_t>(hit);
  uint32_t dirSize = Le32(end + 12), stored = Le32(end + 16);
  uint16_t disk = Le16(end + 4), count = Le16(end + 8), commentLen = Le16(end + 20);
  if (dirSize > eocPos) throw EZipLibError(11013);
  uint64_t dirPos = eocPos - dirSize;
  // Everything before the directory goes over unchanged.
  std::vector<uint8_t> buf(196608);
  if (fseeko(src, 0, SEEK_SET) != 0) throw EZipLibError(11019);
  for (uint64_t left = dirPos; left > 0;) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
    if (fread(buf.data(), 1, n, src) != n) throw EZipLibError(11019);
    Write(Target, buf.data(), n, 11029);
    left -= n;
  }
  int64_t shift = static_cast<int64_t>(S) + static_cast<int64_t>(dirPos) - static_cast<int64_t>(stored);
  for (uint16_t k = 0; k < count; ++k) {
    uint8_t h[46];
    if (fread(h, 1, 46, src) != 46 || Le32(h) != kCentralSig) throw EZipLibError(11013);
    size_t var = static_cast<size_t>(Le16(h + 28)) + Le16(h + 30) + Le16(h + 32);
    if (fread(buf.data(), 1, var, src) != var) throw EZipLibError(11019);
    if (Le16(h + 34) == disk) Set32(h + 42, static_cast<uint32_t>(Le32(h + 42) + shift));
    Write(Target, h, 46, 11029);
    Write(Target, buf.data(), var, 11029);
  }
  if (fseeko(src, static_cast<off_t>(eocPos), SEEK_SET) != 0 || fread(end, 1, 22, src) != 22 || Le32(end) != kEndSig)
    throw EZipLibError(11011);
  Set32(end + 16, static_cast<uint32_t>(stored + shift));
  Write(Target, end, 22, 11030);
  std::vector<uint8_t> comment(commentLen);
  if (commentLen && fread(comment.data(), 1, commentLen, src) != commentLen) throw EZipLibError(11023);
  Write(Target, comment.data(), commentLen, 11044);
}

void TCustomZipSFX::ReplaceIcon(const AnsiString& File, const std::string& Ico) {
  std::string sys = AnsiToSystemName(File);
  std::string img = ReadFileBytes(File);
  const auto* p = reinterpret_cast<const uint8_t*>(img.data());
  size_t n = img.size();
  if (n < 64 || p[0] != 'M' || p[1] != 'Z') throw EZipLibError(10902);
  size_t pe = Le32(p + 60);
  if (pe + 248 > n || p[pe] != 'P' || p[pe + 1] != 'E') throw EZipLibError(10902);
  uint32_t resRva = Le32(p + pe + 136), resSize = Le32(p + pe + 140);
  if (resRva == 0 || resSize == 0) throw EZipLibError("No resources found in executable.");
  size_t sections = Le16(p + pe + 6), table = pe + 248;
  if (table + 40 * sections > n) throw EZipLibError("Error while reading executable sections.");
  size_t resPos = 0;
  uint32_t sectionVa = 0;
  bool found = false;
  for (size_t s = 0; s < sections && !found; ++s) {
    const uint8_t* sh = p + table + 40 * s;
    if (Le32(sh + 12) == resRva) {
      sectionVa = Le32(sh + 12);
      resPos = Le32(sh + 20);
      found = true;
    }
  }
  if (!found) throw EZipLibError("No resources found in executable.");
  // Directory at an offset within the resource section; returns the offset of the chosen entry's
  // target (a sub-directory or a data entry), or 0 when none fits.
  auto entry = [&](size_t dir, int wantId, bool wantDir) -> size_t {
    if (resPos + dir + 16 > n) throw EZipLibError("Error while browsing resources.");
    const uint8_t* d = p + resPos + dir;
    size_t named = Le16(d + 12), ids = Le16(d + 14);
    if (resPos + dir + 16 + 8 * (named + ids) > n) throw EZipLibError("Error while browsing resources.");
    for (size_t i = 0; i < named + ids; ++i) {
      const uint8_t* e = d + 16 + 8 * i;
      uint32_t name = Le32(e), off = Le32(e + 4);
      bool isDir = off & 0x80000000u;
      if (wantId >= 0 && (name & 0x80000000u || name != static_cast<uint32_t>(wantId))) continue;
      if (isDir != wantDir) continue;
      return off & 0x7FFFFFFFu;
    }
    return 0;
  };
  size_t types = entry(0, 3, true);
  size_t names = types ? entry(types, 1, true) : 0;
  size_t data = names ? entry(names, -1, false) : 0;
  if (!data) throw EZipLibError("No icon resources found in executable.");
  if (resPos + data + 16 > n) throw EZipLibError("Error while browsing resources.");
  uint32_t imageRva = Le32(p + resPos + data), imageSize = Le32(p + resPos + data + 4);
  const auto* q = reinterpret_cast<const uint8_t*>(Ico.data());
  if (Ico.size() < 6 || Le16(q) != 0 || Le16(q + 2) != 1 || Le16(q + 4) == 0) throw EZipLibError("No icon found.");
  size_t count = Le16(q + 4);
  for (size_t i = 0; i < count; ++i) {
    if (6 + 16 * (i + 1) > Ico.size()) break;
    const uint8_t* e = q + 6 + 16 * i;
    uint32_t bytes = Le32(e + 8), offset = Le32(e + 12);
    if (bytes != imageSize || e[3] != 0) continue;
    size_t at = resPos + (imageRva - sectionVa);
    if (static_cast<uint64_t>(offset) + bytes > Ico.size() || at + bytes > n) throw EZipLibError("Cannot copy icon.");
    FILE* f = fopen(sys.c_str(), "r+b");
    bool ok = f && fseeko(f, static_cast<off_t>(at), SEEK_SET) == 0 && fwrite(q + offset, 1, bytes, f) == bytes;
    if (f) ok = fclose(f) == 0 && ok;
    if (!ok) throw EZipLibError("Cannot copy icon.");
    return;
  }
  throw EZipLibError("No matching icon found.");
}

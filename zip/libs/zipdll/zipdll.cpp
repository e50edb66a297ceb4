// The zip library: creates and updates archives from the file specifications of a parameter
// record. New entries are read, checksummed, compressed and encrypted by worker threads; the
// calling thread writes them in entry order and sends every callback, so the component sees one
// thread and the entries' order. Entries kept from an existing archive are copied unchanged. The
// archive is written to a temporary file beside it and renamed over it only when complete, so
// a failed or cancelled run leaves the old archive (or none) and no partial file.
#include <dirent.h>
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <string>
#include <vector>

#include "zip/libs/common/ordered_pool.h"
#include "zip/libs/common/zip_format.h"

using namespace zipfmt;

namespace {

constexpr uint64_t kBufferLimit = 32ull << 20;   // larger entries are streamed by the caller
constexpr uint64_t kPoolCap = 256ull << 20;      // bytes held by finished, unwritten entries
constexpr size_t kChunk = 1 << 20;
constexpr uint32_t kSat32 = 0xFFFFFFFF;

struct TNewEntry {
  std::string Path, Name;
  struct stat St {};
  bool Dir = false, Store = false;
  std::string Password;  // empty: not encrypted
  bool Encrypt = false;
  bool Stored = false;   // its data is in the new archive (only such files may be moved)
  size_t Old = SIZE_MAX; // the entry of the same name in the old archive, replaced by this one
};

struct TPacked {
  int Error = 0;         // kze... when the file could not be read
  std::string Reason;    // and why
  std::string Data;      // what follows the local header (encryption header included)
  uint32_t Crc = 0;
  uint64_t Size = 0;
  uint16_t Method = kMethodStore;
};

struct TWritten {
  TCentralEntry E;
  bool Zip64Local = false;
  bool Copied = false;  // kept from the old archive: E.Needed is what its local header says
};

// "Version needed to extract", the same in the local header and the central directory: 4.5 for
// Zip64 values (in either), 2.0 for deflated or encrypted data, 1.0 for the rest.
uint16_t NeededVersion(const TCentralEntry& e, bool zip64) {
  if (zip64 || e.LocalOffset >= kSat32) return 45;
  return e.Method == kMethodDeflate || (e.Flags & kFlagEncrypted) ? 20 : 10;
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

bool HasWild(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

std::string BaseName(const std::string& p) {
  size_t k = p.find_last_of('/');
  return k == std::string::npos ? p : p.substr(k + 1);
}

class TZipRun {
public:
  explicit TZipRun(TZipParams* p) : p_(p), cb_(p->Callback, p->Caller, true) {}
  // Whatever path leads out, an unfinished temporary archive goes.
  ~TZipRun() {
    if (out_) fclose(out_);
    if (!temp_.empty()) unlink(temp_.c_str());
  }
  int32_t Run();

private:
  void Collect();
  void CollectSpec(const TZipFileSpec& s);
  void Walk(const std::string& folder, const std::string& pattern, bool recurse, const std::string& root,
            const TZipFileSpec& s, int depth);
  void AddFile(const std::string& path, const struct stat& st, const std::string& root, const TZipFileSpec& s);
  std::string StoredName(const std::string& path, const std::string& root) const;
  bool Excluded(const std::string& name) const;
  bool StoreSuffix(const std::string& name) const;
  bool ReadOld();
  bool EnsurePasswords();
  TPacked Pack(size_t i) const;
  // The same, a failure to get memory for the entry given as the entry's error.
  TPacked PackGuarded(size_t i) const;
  bool WriteNew(size_t i, TPacked* packed);
  enum class TStream { Written, Unreadable, Failed };
  TStream StreamEntry(TNewEntry& n, TWritten& w);
  bool CopyOld(size_t i);
  // A new entry whose file could not be read whole: the entry it was to replace stays.
  bool KeepOld(const TNewEntry& n);
  bool Out(const void* data, size_t n);
  // Progress of the file in hand: it starts with the file's size and reaches it exactly, whatever
  // the file turns out to hold or whether it could be read.
  bool ItemProgress(uint64_t bytes);
  bool ItemRest() { return ItemProgress(itemSize_); }
  bool WriteCentral();
  bool Fail(int code, const std::string& text);
  void Verbose(const std::string& text) { if (p_->Verbose || p_->Trace) cb_.Message(0, text); }

  TZipParams* p_;
  TCaller cb_;
  std::string archive_, temp_;
  std::vector<TNewEntry> entries_;
  std::set<std::string> names_;
  std::map<std::string, size_t> oldIndex_;  // names of the old archive's entries
  TCentralDirectory old_;
  bool haveOld_ = false;
  std::vector<bool> keepOld_;
  std::vector<uint64_t> oldEnds_;  // where each old entry's data ends (the next one starts)
  std::vector<TWritten> written_;
  FILE* out_ = nullptr;
  uint64_t offset_ = 0;
  int64_t fromDate_ = 0;
  std::string askedPassword_;
  std::vector<std::string> suffixes_;
  // Files never taken, whatever name reaches them: the archive being written, when it exists,
  // and the files an exclusion names by their full path.
  std::set<std::pair<dev_t, ino_t>> leftOut_;
  int32_t added_ = 0;
  bool failed_ = false;
  uint64_t itemSize_ = 0, itemSent_ = 0;
  size_t found_ = 0;  // files and folders the specifications reached, left out or not
};

bool TZipRun::ItemProgress(uint64_t bytes) {
  bytes = std::min(bytes, itemSize_ - itemSent_);
  if (bytes == 0) return !cb_.Cancelled();
  itemSent_ += bytes;
  return cb_.Send(kcbProgress, 0, static_cast<int64_t>(bytes), "");
}

bool TZipRun::Fail(int code, const std::string& text) {
  cb_.Message(code, text);
  failed_ = true;
  return false;
}

std::string TZipRun::StoredName(const std::string& path, const std::string& root) const {
  if (p_->JunkDirs) return BaseName(path);
  std::string n = path;
  if (!root.empty() && n.compare(0, root.size() + 1, root + "/") == 0) n = n.substr(root.size() + 1);
  while (n.compare(0, 2, "./") == 0) n = n.substr(2);
  while (!n.empty() && n[0] == '/') n = n.substr(1);
  if (p_->ForceDos) for (auto& c : n) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return n;
}

bool TZipRun::Excluded(const std::string& name) const {
  for (int i = 0; i < p_->ExcludeCount; ++i) {
    const char* x = p_->Excludes ? p_->Excludes[i] : nullptr;
    if (!x || !*x) continue;
    std::string pat = x;
    if (pat == "*.*") pat = "*";
    if (WildMatch(pat, name) || WildMatch(pat, BaseName(name))) return true;
  }
  return false;
}

bool TZipRun::StoreSuffix(const std::string& name) const {
  std::string b = Lower(BaseName(name));
  size_t dot = b.find_last_of('.');
  if (dot == std::string::npos) return false;
  std::string ext = b.substr(dot);
  return std::find(suffixes_.begin(), suffixes_.end(), ext) != suffixes_.end();
}

void TZipRun::AddFile(const std::string& path, const struct stat& st, const std::string& root, const TZipFileSpec& s) {
  ++found_;
  std::string base = BaseName(path);
  if (!p_->HiddenFiles && !base.empty() && base[0] == '.') return;
  if (p_->FromDate && st.st_mtime < fromDate_) return;
  if (leftOut_.count({st.st_dev, st.st_ino})) return;
  TNewEntry e;
  e.Path = path;
  e.St = st;
  e.Dir = S_ISDIR(st.st_mode);
  e.Name = StoredName(path, root);
  if (e.Name.empty() || Excluded(e.Name)) return;
  if (e.Dir) e.Name += '/';
  if (!names_.insert(e.Name).second) return;
  e.Store = e.Dir || p_->Level <= 0 || StoreSuffix(e.Name);
  e.Encrypt = !e.Dir && s.Encrypt != 0;
  if (e.Encrypt) e.Password = s.Password && *s.Password ? s.Password : (p_->Password ? p_->Password : "");
  entries_.push_back(std::move(e));
}

void TZipRun::Walk(const std::string& folder, const std::string& pattern, bool recurse, const std::string& root,
                   const TZipFileSpec& s, int depth) {
  DIR* d = opendir(folder.empty() ? "." : folder.c_str());
  if (!d) {
    // A folder that cannot be read is left out and reported, as a file that cannot be read is.
    cb_.Message(kzeOpen, "cannot open folder " + (folder.empty() ? std::string(".") : folder) + ": " + strerror(errno));
    return;
  }
  std::vector<std::string> names;
  while (dirent* de = readdir(d)) {
    std::string n = de->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  for (auto& n : names) {
    std::string path = folder.empty() ? n : folder == "/" ? "/" + n : folder + "/" + n;
    struct stat lst, st;
    if (lstat(path.c_str(), &lst) != 0 || stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (!p_->HiddenFiles && n[0] == '.') continue;
      // Linked folders are not followed: they may loop back.
      if (recurse && !S_ISLNK(lst.st_mode) && depth < 256) {
        if (!p_->NoDirEntries && !p_->JunkDirs) AddFile(path, st, root, s);
        Walk(path, pattern, recurse, root, s, depth + 1);
      }
    } else if (S_ISREG(st.st_mode) && WildMatch(pattern, n)) {
      AddFile(path, st, root, s);
    }
  }
}

void TZipRun::CollectSpec(const TZipFileSpec& s) {
  std::string spec = s.Spec ? s.Spec : "";
  std::replace(spec.begin(), spec.end(), '\\', '/');
  if (spec.empty()) return;
  std::string root = s.RootDir ? s.RootDir : "";
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  std::string full = spec[0] == '/' || root.empty() ? spec : root + "/" + spec;
  bool recurse = s.Recurse != 0;
  size_t before = entries_.size(), foundBefore = found_;
  std::string last = BaseName(full);
  if (!HasWild(last)) {
    struct stat st;
    if (stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      Walk(full, "*", recurse, root, s, 0);
    } else if (stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      AddFile(full, st, root, s);
    }
  } else {
    std::string folder = full.size() > last.size() ? full.substr(0, full.size() - last.size()) : "";
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    Walk(folder, last == "*.*" ? "*" : last, recurse, root, s, 0);
  }
  // A name that matches no file is an error; one whose files are all left out (the archive
  // itself, exclusions, hidden or older files) is only said.
  if (entries_.size() == before) cb_.Message(found_ == foundBefore ? kzeNothing : 0, "name not matched: " + spec);
}

void TZipRun::Collect() {
  if (p_->Date[0] && p_->FromDate) {
    int mm = 0, dd = 0, yy = 0;
    std::string d(p_->Date, 8);
    if (sscanf(d.c_str(), "%2d %2d %2d", &mm, &dd, &yy) == 3) {
      struct tm t {};
      t.tm_year = (yy < 80 ? 100 + yy : yy);
      t.tm_mon = mm - 1;
      t.tm_mday = dd;
      t.tm_isdst = -1;
      fromDate_ = mktime(&t);
    }
  }
  if (p_->StoreSuffixes) {
    std::string s = p_->StoreSuffixes;
    size_t a = 0;
    while (a <= s.size()) {
      size_t b = s.find(':', a);
      if (b == std::string::npos) b = s.size();
      if (b > a) suffixes_.push_back(Lower(s.substr(a, b - a)));
      a = b + 1;
    }
  }
  struct stat st;
  if (stat(archive_.c_str(), &st) == 0) leftOut_.insert({st.st_dev, st.st_ino});
  for (int i = 0; i < p_->ExcludeCount && p_->Excludes; ++i) {
    const char* x = p_->Excludes[i];
    if (x && x[0] == '/' && stat(x, &st) == 0 && S_ISREG(st.st_mode)) leftOut_.insert({st.st_dev, st.st_ino});
  }
  for (int i = 0; i < p_->SpecCount && p_->Specs; ++i) CollectSpec(p_->Specs[i]);
}

bool TZipRun::ReadOld() {
  std::string err;
  FILE* f = OpenRegularFile(archive_, err);
  if (!f) return errno == ENOENT ? true : Fail(kzeOpen, "cannot open " + archive_ + ": " + err);
  bool ok = ReadCentralDirectory(f, old_, err);
  fclose(f);
  if (!ok) return Fail(kzeFormat, "damaged archive " + archive_ + ": " + err);
  haveOld_ = true;
  for (size_t i = 0; i < old_.Entries.size(); ++i) oldIndex_.emplace(old_.Entries[i].Name, i);
  keepOld_.assign(old_.Entries.size(), true);
  // Update and freshen leave out files that are not newer; freshen also new ones.
  std::vector<TNewEntry> chosen;
  for (auto& e : entries_) {
    auto it = oldIndex_.find(e.Name);
    bool inOld = it != oldIndex_.end();
    if ((p_->Update || p_->Freshen) && inOld && UnixToDos(e.St.st_mtime) <= old_.Entries[it->second].DosTime) continue;
    if (p_->Freshen && !p_->Update && !inOld) continue;
    if (inOld) {
      keepOld_[it->second] = false;
      e.Old = it->second;
    }
    chosen.push_back(std::move(e));
  }
  entries_ = std::move(chosen);
  std::vector<uint64_t> starts;
  for (auto& e : old_.Entries) starts.push_back(e.LocalOffset);
  starts.push_back(old_.DirOffset);
  std::sort(starts.begin(), starts.end());
  for (auto& e : old_.Entries) oldEnds_.push_back(*std::upper_bound(starts.begin(), starts.end(), e.LocalOffset));
  return true;
}

bool TZipRun::EnsurePasswords() {
  for (auto& e : entries_) {
    if (!e.Encrypt || !e.Password.empty()) continue;
    if (askedPassword_.empty()) {
      TZipCallbackRecord rec;
      if (!cb_.Ask(rec, kcbPassword, 1, 1, e.Name)) return false;
      if (rec.Value1 != 1) return Fail(kzePassword, "no password given for " + e.Name);
      askedPassword_ = RecordText(rec, 0, 81);
      if (askedPassword_.empty()) return Fail(kzePassword, "no password given for " + e.Name);
    }
    e.Password = askedPassword_;
  }
  return true;
}

TPacked TZipRun::Pack(size_t i) const {
  const TNewEntry& n = entries_[i];
  TPacked r;
  TFd fd(OpenRegular(n.Path, r.Reason));
  if (!fd.Open()) {
    r.Error = kzeOpen;
    return r;
  }
  std::string data(static_cast<size_t>(n.St.st_size), '\0');
  size_t got = 0;
  while (got < data.size()) {
    ssize_t k = read(fd.Get(), data.data() + got, data.size() - got);
    if (k < 0) {
      r.Reason = strerror(errno);
      r.Error = kzeRead;
      return r;
    }
    if (k == 0) break;
    got += static_cast<size_t>(k);
  }
  fd.Close();
  data.resize(got);  // a file that shrank meanwhile is taken as it is now
  r.Size = got;
  r.Crc = libdeflate_crc32(0, data.data(), got);
  if (!n.Store && got > 0) {
    thread_local std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(nullptr, libdeflate_free_compressor);
    thread_local int level = -1;
    int want = std::clamp(p_->Level, 1, 12);
    if (!c || level != want) {
      c.reset(libdeflate_alloc_compressor(want));
      level = want;
    }
    if (!c) { r.Error = kzeMemory; return r; }
    std::string out(libdeflate_deflate_compress_bound(c.get(), got), '\0');
    size_t k = libdeflate_deflate_compress(c.get(), data.data(), got, out.data(), out.size());
    if (k > 0 && k < got) {
      out.resize(k);
      r.Data = std::move(out);
      r.Method = kMethodDeflate;
    }
  }
  if (r.Method == kMethodStore) r.Data = std::move(data);
  if (n.Encrypt) {
    TZipCrypt z(n.Password);
    std::string h = z.Header(static_cast<uint8_t>(r.Crc >> 24));
    z.Encrypt(reinterpret_cast<uint8_t*>(r.Data.data()), r.Data.size());
    r.Data.insert(0, h);
  }
  return r;
}

TPacked TZipRun::PackGuarded(size_t i) const {
  try {
    return Pack(i);
  } catch (const std::bad_alloc&) {
    TPacked r;
    r.Error = kzeMemory;
    r.Reason = "out of memory";
    return r;
  }
}

bool TZipRun::Out(const void* data, size_t n) {
  if (n && fwrite(data, 1, n, out_) != n) return Fail(kzeWrite, "cannot write " + archive_ + ": " + strerror(errno));
  offset_ += n;
  return true;
}

std::string LocalHeader(const TCentralEntry& e, bool zip64) {
  std::string h;
  Put32(h, kLocalSig);
  Put16(h, NeededVersion(e, zip64));
  Put16(h, e.Flags);
  Put16(h, e.Method);
  Put32(h, e.DosTime);
  Put32(h, e.Crc);
  Put32(h, zip64 ? kSat32 : static_cast<uint32_t>(e.CompressedSize));
  Put32(h, zip64 ? kSat32 : static_cast<uint32_t>(e.Size));
  Put16(h, static_cast<uint32_t>(e.Name.size()));
  Put16(h, static_cast<uint32_t>(e.Extra.size() + (zip64 ? 20 : 0)));
  h += e.Name;
  if (zip64) {
    Put16(h, kZip64ExtraId);
    Put16(h, 16);
    Put64(h, e.Size);
    Put64(h, e.CompressedSize);
  }
  h += e.Extra;
  return h;
}

// The entry's header fields before its data is known.
TCentralEntry StartEntry(const TNewEntry& n) {
  TCentralEntry e;
  e.Name = n.Name;
  e.MadeBy = 3 << 8 | 30;
  e.Flags = n.Encrypt ? kFlagEncrypted : 0;
  // Names that are not valid UTF-8 are stored as their bytes, without the flag.
  bool high = false;
  for (unsigned char c : n.Name) high |= c >= 0x80;
  if (high && IsValidUtf8(n.Name)) e.Flags |= kFlagUtf8;
  e.DosTime = UnixToDos(n.St.st_mtime);
  e.ExternalAttr = static_cast<uint32_t>(n.St.st_mode & 0xFFFF) << 16 | (n.Dir ? 0x10 : 0);
  return e;
}

bool TZipRun::WriteNew(size_t i, TPacked* packed) {
  TNewEntry& n = entries_[i];
  // The component may rename the entry, give it a comment and extra data.
  TZipCallbackRecord rec;
  if (!cb_.Ask(rec, kcbNewName, 0, 0, n.Name)) return false;
  if (rec.Value1 == 1) {
    std::string nn = RecordText(rec);
    std::replace(nn.begin(), nn.end(), '\\', '/');
    while (!nn.empty() && nn[0] == '/') nn.erase(0, 1);
    if (!nn.empty()) n.Name = nn;
  }
  TWritten w;
  w.E = StartEntry(n);
  if (!cb_.Ask(rec, kcbComment, 0, 0, n.Name)) return false;
  if (rec.Value1) w.E.Comment = RecordText(rec, 0, static_cast<int>(std::min<int64_t>(rec.Value2, 511)));
  if (!cb_.Ask(rec, kcbExtraData, 0, 0, n.Name)) return false;
  if (rec.Value1 != 0 && rec.Value2 > 0) {
    // Up to 511 bytes travel in the text area, more through the pointer in its last bytes.
    size_t len = static_cast<size_t>(std::min<int64_t>(rec.Value2, 65000));
    const char* src = rec.Text;
    if (len > 511) std::memcpy(&src, rec.Text + kCallbackPointerOffset, sizeof src);
    if (src) w.E.Extra.assign(src, len);
  }
  itemSize_ = n.Dir ? 0 : static_cast<uint64_t>(n.St.st_size);
  itemSent_ = 0;
  if (!cb_.Send(kcbNewItem, 0, static_cast<int64_t>(itemSize_), n.Path)) return false;
  w.E.LocalOffset = offset_;
  if (n.Dir) {
    w.E.Method = kMethodStore;
    std::string h = LocalHeader(w.E, false);
    if (!Out(h.data(), h.size())) return false;
  } else if (!packed) {
    TStream r = StreamEntry(n, w);
    if (r == TStream::Failed) return false;
    // A file that cannot be read whole gets no new entry: the run goes on without it.
    if (r == TStream::Unreadable) return KeepOld(n) && ItemRest();
  } else {
    if (packed->Error) {
      cb_.Message(packed->Error, "cannot read " + n.Path + ": " + packed->Reason);
      return KeepOld(n) && ItemRest();
    }
    w.E.Method = packed->Method;
    w.E.Crc = packed->Crc;
    w.E.Size = packed->Size;
    w.E.CompressedSize = packed->Data.size();
    w.Zip64Local = w.E.Size >= kSat32 || w.E.CompressedSize >= kSat32;
    std::string h = LocalHeader(w.E, w.Zip64Local);
    if (!Out(h.data(), h.size()) || !Out(packed->Data.data(), packed->Data.size())) return false;
  }
  if (!ItemRest()) return false;
  if (p_->Verbose || p_->Trace)
    Verbose("  adding: " + n.Name + (w.E.Method == kMethodDeflate ? " (deflated)" : " (stored)"));
  written_.push_back(std::move(w));
  n.Stored = !n.Dir;
  ++added_;
  return true;
}

// An entry too large for one buffer: compressed here in chunks and its header patched after.
TZipRun::TStream TZipRun::StreamEntry(TNewEntry& n, TWritten& w) {
  std::string why;
  TFd fd(OpenRegular(n.Path, why));
  if (!fd.Open()) {
    cb_.Message(kzeOpen, "cannot open " + n.Path + ": " + why);
    return TStream::Unreadable;
  }
  std::vector<uint8_t> in(kChunk), out(kChunk + 1024);
  // A read that fails is reported and leaves the file out (unreadable); the archive is cut back
  // to where the entry began.
  bool unreadable = false;
  auto readAll = [&](auto&& each) -> bool {
    lseek(fd.Get(), 0, SEEK_SET);
    for (;;) {
      ssize_t k = read(fd.Get(), in.data(), in.size());
      if (k < 0) {
        cb_.Message(kzeRead, "cannot read " + n.Path + ": " + strerror(errno));
        unreadable = true;
        return false;
      }
      if (!each(static_cast<size_t>(k))) return false;
      if (k == 0) return true;
    }
  };
  std::unique_ptr<TZipCrypt> crypt;
  if (n.Encrypt) {
    // The encryption header carries the checksum's high byte: one pass to compute it first.
    uint32_t crc = 0;
    if (!readAll([&](size_t k) { crc = Crc32(crc, in.data(), k); return cb_.Send(kcbTick, 0, 0, ""); })) {
      return unreadable ? TStream::Unreadable : TStream::Failed;
    }
    w.E.Crc = crc;
    crypt = std::make_unique<TZipCrypt>(n.Password);
  }
  w.E.Method = n.Store ? kMethodStore : kMethodDeflate;
  w.Zip64Local = static_cast<uint64_t>(n.St.st_size) >= kZip64FileSize;
  uint64_t headerPos = offset_;
  std::string h = LocalHeader(w.E, w.Zip64Local);
  if (!Out(h.data(), h.size())) return TStream::Failed;
  uint64_t dataStart = offset_;
  if (crypt) {
    std::string eh = crypt->Header(static_cast<uint8_t>(w.E.Crc >> 24));
    if (!Out(eh.data(), eh.size())) return TStream::Failed;
  }
  z_stream zs {};
  if (w.E.Method == kMethodDeflate && deflateInit2(&zs, std::clamp(p_->Level, 1, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    Fail(kzeMemory, "out of memory");
    return TStream::Failed;
  }
  uint32_t crc = 0;
  uint64_t size = 0;
  auto emit = [&](uint8_t* p, size_t k) {
    if (crypt) crypt->Encrypt(p, k);
    return Out(p, k);
  };
  bool ok = readAll([&](size_t k) {
    crc = Crc32(crc, in.data(), k);
    size += k;
    if (w.E.Method == kMethodStore) {
      if (!emit(in.data(), k)) return false;
    } else {
      zs.next_in = in.data();
      zs.avail_in = static_cast<uInt>(k);
      int flush = k == 0 ? Z_FINISH : Z_NO_FLUSH;
      int rc;
      do {
        zs.next_out = out.data();
        zs.avail_out = static_cast<uInt>(out.size());
        rc = deflate(&zs, flush);
        if (!emit(out.data(), out.size() - zs.avail_out)) return false;
      } while (zs.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
    }
    return k == 0 || ItemProgress(k);
  });
  if (w.E.Method == kMethodDeflate) deflateEnd(&zs);
  fd.Close();
  if (!ok && !unreadable) return TStream::Failed;
  if (crypt && crc != w.E.Crc && !unreadable) {
    cb_.Message(kzeRead, n.Path + " changed while it was added");
    unreadable = true;
  }
  if (unreadable) {
    if (fflush(out_) != 0 || ftruncate(fileno(out_), static_cast<off_t>(headerPos)) != 0 ||
        fseeko(out_, static_cast<off_t>(headerPos), SEEK_SET) != 0) {
      Fail(kzeWrite, "cannot write " + archive_ + ": " + strerror(errno));
      return TStream::Failed;
    }
    offset_ = headerPos;
    return TStream::Unreadable;
  }
  w.E.Crc = crc;
  w.E.Size = size;
  w.E.CompressedSize = offset_ - dataStart;
  if (!w.Zip64Local && (w.E.Size >= kSat32 || w.E.CompressedSize >= kSat32)) {
    Fail(kzeWrite, n.Path + " grew beyond 4 GB while it was added");
    return TStream::Failed;
  }
  std::string fixed = LocalHeader(w.E, w.Zip64Local);
  if (fflush(out_) != 0 || fseeko(out_, static_cast<off_t>(headerPos), SEEK_SET) != 0 ||
      fwrite(fixed.data(), 1, fixed.size(), out_) != fixed.size() || fseeko(out_, 0, SEEK_END) != 0) {
    Fail(kzeWrite, "cannot write " + archive_ + ": " + strerror(errno));
    return TStream::Failed;
  }
  return TStream::Written;
}

bool TZipRun::KeepOld(const TNewEntry& n) {
  return n.Old == SIZE_MAX || CopyOld(n.Old);
}

bool TZipRun::CopyOld(size_t i) {
  const TCentralEntry& e = old_.Entries[i];
  uint64_t end = oldEnds_[i];
  std::string why;
  FILE* f = OpenRegularFile(archive_, why);
  if (!f) return Fail(kzeOpen, "cannot open " + archive_ + ": " + why);
  TWritten w;
  w.E = e;
  w.E.LocalOffset = offset_;
  w.Copied = true;
  std::vector<char> buf(kChunk);
  bool ok = fseeko(f, static_cast<off_t>(e.LocalOffset), SEEK_SET) == 0;
  uint64_t left = end - e.LocalOffset;
  bool first = true;
  while (ok && left > 0) {
    size_t k = fread(buf.data(), 1, static_cast<size_t>(std::min<uint64_t>(left, buf.size())), f);
    if (k == 0) { ok = false; break; }
    if (first && k >= 30) {
      // The central directory repeats the local header's version; Zip64 values it now needs
      // (an offset beyond 4 GB) raise both.
      auto* p = reinterpret_cast<uint8_t*>(buf.data());
      w.E.Needed = Get16(p + 4);
      bool zip64 = w.E.Size >= kSat32 || w.E.CompressedSize >= kSat32 || w.E.LocalOffset >= kSat32;
      if (zip64 && w.E.Needed < 45) {
        w.E.Needed = 45;
        p[4] = 45;
        p[5] = 0;
      }
    }
    first = false;
    ok = Out(buf.data(), k);
    left -= k;
  }
  fclose(f);
  if (!ok) return failed_ ? false : Fail(kzeRead, "cannot copy " + e.Name + " from " + archive_);
  // The old extra field may hold a Zip64 block; it is written afresh.
  std::string extra;
  const auto* p = reinterpret_cast<const uint8_t*>(e.Extra.data());
  for (size_t i = 0; i + 4 <= e.Extra.size();) {
    size_t len = Get16(p + i + 2);
    if (Get16(p + i) != kZip64ExtraId) extra.append(e.Extra, i, 4 + len);
    i += 4 + len;
  }
  w.E.Extra = extra;
  written_.push_back(std::move(w));
  return true;
}

bool TZipRun::WriteCentral() {
  uint64_t dirStart = offset_;
  std::string cd;
  for (auto& w : written_) {
    const TCentralEntry& e = w.E;
    bool zs = e.Size >= kSat32, zc = e.CompressedSize >= kSat32, zo = e.LocalOffset >= kSat32;
    std::string z64;
    if (zs || zc || zo) {
      Put16(z64, kZip64ExtraId);
      Put16(z64, (zs + zc + zo) * 8);
      if (zs) Put64(z64, e.Size);
      if (zc) Put64(z64, e.CompressedSize);
      if (zo) Put64(z64, e.LocalOffset);
    }
    Put32(cd, kCentralSig);
    Put16(cd, e.MadeBy);
    Put16(cd, w.Copied ? e.Needed : NeededVersion(e, w.Zip64Local));
    Put16(cd, e.Flags);
    Put16(cd, e.Method);
    Put32(cd, e.DosTime);
    Put32(cd, e.Crc);
    Put32(cd, zc ? kSat32 : static_cast<uint32_t>(e.CompressedSize));
    Put32(cd, zs ? kSat32 : static_cast<uint32_t>(e.Size));
    Put16(cd, static_cast<uint32_t>(e.Name.size()));
    Put16(cd, static_cast<uint32_t>(z64.size() + e.Extra.size()));
    Put16(cd, static_cast<uint32_t>(e.Comment.size()));
    Put16(cd, 0);
    Put16(cd, e.InternalAttr);
    Put32(cd, e.ExternalAttr);
    Put32(cd, zo ? kSat32 : static_cast<uint32_t>(e.LocalOffset));
    cd += e.Name;
    cd += z64;
    cd += e.Extra;
    cd += e.Comment;
    if (cd.size() >= kChunk) {
      if (!Out(cd.data(), cd.size())) return false;
      cd.clear();
    }
  }
  if (!Out(cd.data(), cd.size())) return false;
  uint64_t dirSize = offset_ - dirStart, count = written_.size();
  std::string end;
  bool z64 = count >= 0xFFFF || dirSize >= kSat32 || dirStart >= kSat32;
  if (z64) {
    uint64_t pos64 = offset_;
    Put32(end, kEnd64Sig);
    Put64(end, 44);
    Put16(end, 45);
    Put16(end, 45);
    Put32(end, 0);
    Put32(end, 0);
    Put64(end, count);
    Put64(end, count);
    Put64(end, dirSize);
    Put64(end, dirStart);
    Put32(end, kEnd64LocatorSig);
    Put32(end, 0);
    Put64(end, pos64);
    Put32(end, 1);
  }
  std::string comment = p_->ArchiveComment ? p_->ArchiveComment : "";
  if (comment.size() > 0xFFFF) comment.resize(0xFFFF);
  Put32(end, kEndSig);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, z64 ? 0xFFFF : static_cast<uint32_t>(count));
  Put16(end, z64 ? 0xFFFF : static_cast<uint32_t>(count));
  Put32(end, z64 ? kSat32 : static_cast<uint32_t>(dirSize));
  Put32(end, z64 ? kSat32 : static_cast<uint32_t>(dirStart));
  Put16(end, static_cast<uint32_t>(comment.size()));
  end += comment;
  return Out(end.data(), end.size());
}

int32_t TZipRun::Run() {
  if (p_->Check != kParamsCheck || !p_->ArchiveName || !*p_->ArchiveName) {
    Fail(kzeFormat, "bad parameter record");
    return -1;
  }
  archive_ = LinkTarget(p_->ArchiveName);
  Collect();
  if (!ReadOld()) return -1;
  if (entries_.empty()) {
    cb_.Message(kzeNothing, "nothing to do: " + archive_);
    return 0;
  }
  // An archive to be cut into volumes holds no Zip64 values: a file that would need them is
  // refused before anything is asked, read or written.
  if (p_->Spanned)
    for (auto& e : entries_)
      if (!e.Dir && static_cast<uint64_t>(e.St.st_size) >= kZip64FileSize) {
        cb_.Message(kzeSpanSize, e.Path);
        return 0;
      }
  if (!EnsurePasswords()) return 0;  // no password: nothing is written
  // A temporary archive beside the real one, renamed over it at the end.
  std::string folder = archive_.find('/') == std::string::npos ? "." : archive_.substr(0, archive_.find_last_of('/'));
  if (folder.empty()) folder = "/";
  temp_ = folder + "/.zip-XXXXXX";
  int fd = mkstemp(temp_.data());
  if (fd < 0) {
    Fail(kzeWrite, "cannot create the archive in " + folder + ": " + strerror(errno));
    return -1;
  }
  out_ = fdopen(fd, "w+b");
  if (!out_) {
    close(fd);
    Fail(kzeMemory, "cannot write " + archive_ + ": " + strerror(errno));
    return -1;
  }
  static thread_local std::vector<char> obuf(1 << 20);
  setvbuf(out_, obuf.data(), _IOFBF, obuf.size());
  uint64_t total = 0;
  for (auto& e : entries_) total += e.Dir ? 0 : static_cast<uint64_t>(e.St.st_size);
  bool ok = cb_.Send(kcbTotalFiles, 0, static_cast<int64_t>(entries_.size()), "") &&
            cb_.Send(kcbTotalSize, 0, static_cast<int64_t>(total), "");
  // Entries kept from the old archive first (a stub in front of it too), in their order.
  if (ok && haveOld_) {
    if (old_.DataStart > 0) {
      // The stub is copied in blocks, whatever length the old archive gives it.
      std::string why;
      FILE* f = OpenRegularFile(archive_, why);
      std::vector<char> buf(kChunk);
      ok = f != nullptr;
      for (uint64_t left = old_.DataStart; ok && left > 0;) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(left, buf.size()));
        ok = fread(buf.data(), 1, want, f) == want && Out(buf.data(), want);
        left -= want;
      }
      if (f) fclose(f);
      if (!ok && !failed_) Fail(kzeRead, "cannot read " + archive_);
    }
    for (size_t i = 0; ok && i < old_.Entries.size(); ++i) {
      if (!keepOld_[i]) continue;
      ok = CopyOld(i) && cb_.Send(kcbTick, 0, 0, "");
    }
  }
  if (ok) {
    auto eligible = [this](size_t i) {
      const auto& e = entries_[i];
      return !e.Dir && static_cast<uint64_t>(e.St.st_size) <= kBufferLimit;
    };
    std::unique_ptr<TOrderedPool<TPacked>> pool;
    unsigned threads = WorkerCount(entries_.size());
    if (threads > 0)
      pool = std::make_unique<TOrderedPool<TPacked>>(
          entries_.size(), threads, kPoolCap,
          TOrderedPool<TPacked>::TJobs{eligible,
                                       [this](size_t i) { return static_cast<uint64_t>(entries_[i].St.st_size) * 2 + 4096; },
                                       [this](size_t i) { return PackGuarded(i); }});
    for (size_t i = 0; ok && i < entries_.size(); ++i) {
      if (!eligible(i)) {
        ok = WriteNew(i, nullptr);
        continue;
      }
      std::optional<TPacked> r;
      if (pool) r = pool->Take(i, [this] { return cb_.Send(kcbTick, 0, 0, ""); });
      else r = PackGuarded(i);
      ok = r && WriteNew(i, &*r);
    }
    if (pool) pool->Stop();
  }
  ok = ok && WriteCentral();
  ok = ok && fflush(out_) == 0 && fsync(fileno(out_)) == 0;
  if (!ok && !failed_ && !cb_.Cancelled()) Fail(kzeWrite, "cannot write " + archive_ + ": " + strerror(errno));
  fclose(out_);
  out_ = nullptr;
  if (ok) {
    // The new archive keeps the old one's permissions, or the user's default ones.
    struct stat st;
    if (stat(archive_.c_str(), &st) == 0) {
      chmod(temp_.c_str(), st.st_mode & 07777);
    } else {
      mode_t um = umask(0);
      umask(um);
      chmod(temp_.c_str(), 0666 & ~um);
    }
    if (rename(temp_.c_str(), archive_.c_str()) != 0) {
      Fail(kzeWrite, "cannot write " + archive_ + ": " + strerror(errno));
      ok = false;
    } else {
      temp_.clear();
    }
  }
  if (!ok) {
    if (cb_.Cancelled()) {
      // The component has been told; nothing was changed.
      return 0;
    }
    return -1;
  }
  if (p_->ZipTime) {
    int64_t newest = 0;
    for (auto& w : written_) newest = std::max(newest, DosToUnix(w.E.DosTime));
    struct timespec ts[2] = {{newest, 0}, {newest, 0}};
    utimensat(AT_FDCWD, archive_.c_str(), ts, 0);
  }
  // Only files whose data is in the finished archive are moved: one that could not be read stays.
  if (p_->Move)
    for (auto& e : entries_)
      if (e.Stored) unlink(e.Path.c_str());
  cb_.Send(kcbEndOfBatch, 0, 0, "");
  return added_;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t ZipDllExec(TZipParams* p) {
  if (!p) return -1;
  try {
    TZipRun run(p);
    return run.Run();
  } catch (const std::bad_alloc&) {
    TCaller(p->Callback, p->Caller, true).Message(kzeMemory, "out of memory");
  } catch (const std::exception& e) {
    TCaller(p->Callback, p->Caller, true).Message(kzeFormat, e.what());
  }
  return -1;
}

__attribute__((visibility("default"))) int32_t GetZipDllVersion() { return 180; }
__attribute__((visibility("default"))) int32_t GetZipDllPrivVersion() { return 18000; }

}  // extern "C"

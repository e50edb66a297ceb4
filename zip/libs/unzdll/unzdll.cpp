// The unzip library: extracts (or only tests) the entries of an archive that match the
// specifications of a parameter record. Entries are inflated and checked by worker threads
// while the calling thread decides and sends every callback in entry order. A new file that no
// other entry touches (no other entry of the same name, none in a folder of its name) is also
// created and written by the worker; whatever the worker cannot do simply (the file exists, an
// error) it leaves to the calling thread, which then writes the entry as it writes every other.
// So the callbacks, messages, counts and files are those of an extraction on one thread: a
// file a worker wrote ahead is removed again when its entry is refused or the run stops first.
// What the workers hold in memory is capped, whatever the target folder holds.
//
// Nothing is written outside the base folder: names that climb out ("..", absolute names,
// drive letters) and entries that are symbolic links are skipped and reported, backslashes count
// as folder separators, and links already in the target path are never followed. Sizes are
// taken from the central directory and enforced while inflating, so an entry that inflates
// beyond its declared size stops there; entries that overlap each other or the directory are
// refused. Files are written under a temporary name and renamed into place when complete.
#include <fcntl.h>
#include <libdeflate.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "zip/libs/common/ordered_pool.h"
#include "zip/libs/common/zip_format.h"

using namespace zipfmt;

namespace {

constexpr uint64_t kBufferLimit = 64ull << 20;
constexpr uint64_t kPoolCap = 256ull << 20;
constexpr size_t kChunk = 1 << 20;
constexpr size_t kKeepBuffer = 4 << 20;  // a worker's buffers kept from one entry to the next

// Skip types as the component numbers them, plus one.
enum { kSkipFreshen = 1, kSkipNoOverwrite = 2, kSkipExists = 3, kSkipPassword = 4, kSkipMethod = 6,
       kSkipFormat = 8, kSkipGeneral = 9 };

// A buffer that grows as needed and is never cleared (what it holds is always overwritten).
// Large ones are mapped from the system and given back to it whole when released, so that the
// memory an extraction holds is what its buffers hold, whatever the allocator would keep.
class TBuffer {
public:
  TBuffer() = default;
  ~TBuffer() { Release(); }
  // Moved, the buffer goes whole to its new owner and this one starts empty.
  TBuffer(TBuffer&& o) noexcept
      : data_(std::exchange(o.data_, nullptr)), size_(std::exchange(o.size_, 0)), mapped_(std::exchange(o.mapped_, false)) {}
  TBuffer& operator=(TBuffer&& o) noexcept {
    if (this != &o) {
      Release();
      data_ = std::exchange(o.data_, nullptr);
      size_ = std::exchange(o.size_, 0);
      mapped_ = std::exchange(o.mapped_, false);
    }
    return *this;
  }
  char* Get(size_t n) {
    if (n > size_) {
      Release();
      if (n >= kMapped) {
        void* p = mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<char*>(p);
        mapped_ = true;
      } else {
        data_ = new char[n];
      }
      size_ = n;
    }
    return data_;
  }
  // Gives back a buffer grown beyond `keep` bytes.
  void Trim(size_t keep) {
    if (size_ > keep) Release();
  }

private:
  static constexpr size_t kMapped = 1 << 20;
  void Release() {
    if (mapped_) munmap(data_, size_);
    else delete[] data_;
    data_ = nullptr;
    size_ = 0;
    mapped_ = false;
  }
  char* data_ = nullptr;
  size_t size_ = 0;
  bool mapped_ = false;
};

struct TInflated {
  int Error = 0;
  std::string_view Data;  // the entry's bytes, in Bytes
  TBuffer Bytes;
  uint32_t Crc = 0;
  bool Written = false;  // a worker created the file and wrote the bytes into it (they are then gone)

  // Takes the entry's bytes from the buffer that holds them: a buffer grown for this entry alone
  // is taken over, the bytes of a small entry are copied, so that a result holds no more than
  // its entry's size.
  void Keep(std::string_view data, TBuffer& from) {
    if (data.size() > kKeepBuffer) {
      Bytes = std::move(from);
    } else if (!data.empty()) {
      std::memcpy(Bytes.Get(data.size()), data.data(), data.size());
    }
    Data = std::string_view(Bytes.Get(0), data.size());
  }
};

// The entry's path below the base folder, or empty when the name is not safe to write.
std::string SafeRelative(std::string name, bool keepDirs) {
  if (name.find('\0') != std::string::npos) return {};
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.empty() || name[0] == '/') return {};
  if (name.size() >= 2 && name[1] == ':' && isalpha(static_cast<unsigned char>(name[0]))) return {};
  std::vector<std::string> parts;
  size_t a = 0;
  while (a <= name.size()) {
    size_t b = name.find('/', a);
    if (b == std::string::npos) b = name.size();
    std::string part = name.substr(a, b - a);
    if (part == "..") return {};
    if (!part.empty() && part != ".") parts.push_back(part);
    a = b + 1;
  }
  if (parts.empty()) return {};
  if (!keepDirs) return parts.back();
  std::string r;
  for (auto& p : parts) r += (r.empty() ? "" : "/") + p;
  return r;
}

class TUnzRun {
public:
  explicit TUnzRun(TUnzParams* p) : p_(p), cb_(p->Callback, p->Caller, false) {}
  ~TUnzRun() {
    if (fd_ >= 0) close(fd_);
  }
  int32_t Run();

private:
  struct TPrep {
    bool Chosen = false, Bad = false;
    bool Ahead = false;  // a worker may create the entry's file
    uint64_t Data = 0;   // offset of the entry's data
    int64_t Time = 0;    // the entry's time as a Unix time, in the zone the run began in
    std::string Rel;     // path below the base folder
    std::string Shown;   // the name in the file system's form, for callbacks
    std::string Alias;   // another name that matches the entry (see EntryDiskName)
  };
  bool Matches(const std::string& entryName) const;
  void Prepare();
  bool Eligible(size_t i) const;
  void MarkAhead();
  // Reads and inflates an entry into the given buffers: its bytes (in one of them), its checksum
  // in r, or r's error.
  std::string_view InflateInto(size_t i, TBuffer& in, TBuffer& out, TInflated& r) const;
  // The entry's bytes in the result (the calling thread's way).
  TInflated Inflate(size_t i) const;
  // A worker's job: the entry inflated in the thread's own buffers and, when it may, written
  // ahead; otherwise its bytes in the result. A failure to get memory is the entry's error.
  TInflated Work(size_t i);
  // The same as Inflate, a failure to get memory given as the entry's error.
  TInflated InflateGuarded(size_t i) const;
  bool WriteAhead(size_t i, std::string_view data);
  bool Written(size_t i, TInflated& ready);
  void Unwrite(size_t i);
  bool Extract(size_t i, TInflated* ready);
  bool Skip(size_t i, int32_t error, int type, const std::string& why);
  // Progress of the entry in hand: it starts with its size and reaches it exactly, whatever
  // becomes of the entry (extracted, skipped, failed).
  bool StartItem(size_t i);
  bool Progress(size_t i, uint64_t bytes);
  bool FinishItem(size_t i);
  bool MakeParents(const std::string& rel, std::string& error);
  void Unmake(const std::string& rel);
  void KeepParents(const std::string& rel);
  bool Password(size_t i, std::string& pw, bool& skip);
  bool Stream(size_t i, const std::string& pw, int out, uint32_t& crc, std::string& error);
  // Writes an inflated entry whole: false with errno set when a write fails.
  static bool WriteData(int out, std::string_view data);
  // The mode an extracted file gets (before the umask); a file created with it needs no change.
  static mode_t EntryMode(const TCentralEntry& e);
  // Gives an extracted file the entry's mode (unless it was created with it) and time; a file
  // system that refuses them keeps the file as written.
  void SetModeAndTime(int out, size_t i, bool modeSet = false) const;

  TUnzParams* p_;
  TCaller cb_;
  int fd_ = -1;
  TCentralDirectory dir_;
  std::vector<TPrep> prep_;
  std::string base_, password_;
  bool noMorePasswords_ = false;
  // Files are created (and renamed into place) in one folder by one thread at a time: the kernel
  // holds a folder's lock while a file is made in it, and threads waiting there spin, which
  // costs CPU time and gains nothing. The workers rather take entries of other folders side by
  // side (an entry's folder is its lane in the pool). Folders share a few locks.
  static size_t Folder(const std::string& rel) {
    return std::hash<std::string_view>()(std::string_view(rel).substr(0, rel.rfind('/') + 1));
  }
  std::mutex& CreateLock(const std::string& rel) { return createLocks_[Folder(rel) % 64]; }
  std::mutex createLocks_[64];
  // Folders checked or made in this run, those made, and those an extracted entry needs (never
  // removed); shared with the workers under dirsMutex_.
  std::mutex dirsMutex_;
  std::unordered_set<std::string> dirsOk_, made_, kept_;
  mode_t umask_ = 022;
  int32_t done_ = 0;
  uint64_t itemSent_ = 0;
};

bool TUnzRun::StartItem(size_t i) {
  itemSent_ = 0;
  return cb_.Send(kcbNewItem, 0, static_cast<int64_t>(dir_.Entries[i].Size), prep_[i].Shown);
}

bool TUnzRun::Progress(size_t i, uint64_t bytes) {
  bytes = std::min(bytes, dir_.Entries[i].Size - itemSent_);
  if (bytes == 0) return !cb_.Cancelled();
  itemSent_ += bytes;
  return cb_.Send(kcbProgress, 0, static_cast<int64_t>(bytes), "");
}

bool TUnzRun::FinishItem(size_t i) {
  return dir_.Entries[i].IsDirectory() || Progress(i, dir_.Entries[i].Size);
}

// Whether a specification names an entry: its whole name, or a bare pattern its last part.
bool MatchesSpec(std::string pat, std::string name) {
  if (pat == "*.*") pat = "*";
  std::replace(name.begin(), name.end(), '\\', '/');
  size_t slash = name.find_last_of('/');
  bool bare = pat.find_first_of("/\\") == std::string::npos;
  return WildMatch(pat, name) || (bare && slash != std::string::npos && WildMatch(pat, name.substr(slash + 1)));
}

bool TUnzRun::Matches(const std::string& entryName) const {
  if (p_->SpecCount <= 0 || !p_->Specs) return true;
  for (int i = 0; i < p_->SpecCount; ++i) {
    const char* s = p_->Specs[i].Spec;
    if (s && *s && MatchesSpec(s, entryName)) return true;
  }
  return false;
}

// Finds each entry's data and refuses entries that overlap another one or the directory. The
// chosen entries' times are worked out here, on the calling thread before any worker starts:
// the time zone is read once per run, and never by the workers (reading it sets the C
// library's zone for the whole process).
void TUnzRun::Prepare() {
  size_t n = dir_.Entries.size();
  prep_.assign(n, TPrep());
  std::vector<size_t> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return dir_.Entries[a].LocalOffset < dir_.Entries[b].LocalOffset; });
  for (size_t k = 0; k < n; ++k) {
    size_t i = order[k];
    const auto& e = dir_.Entries[i];
    TPrep& pr = prep_[i];
    pr.Shown = EntryDiskName(e, static_cast<TNameCodePage>(p_->CodePage), &pr.Alias);
    pr.Chosen = Matches(pr.Shown) || (!pr.Alias.empty() && Matches(pr.Alias));
    if (pr.Chosen) pr.Time = DosToUnix(e.DosTime);
    uint8_t h[30];
    if (pread(fd_, h, 30, static_cast<off_t>(e.LocalOffset)) != 30 || Get32(h) != kLocalSig) {
      pr.Bad = true;
      continue;
    }
    pr.Data = e.LocalOffset + 30 + Get16(h + 26) + Get16(h + 28);
    uint64_t limit = k + 1 < n ? dir_.Entries[order[k + 1]].LocalOffset : dir_.DirOffset;
    if (pr.Data > limit || e.CompressedSize > limit - pr.Data) pr.Bad = true;
    pr.Rel = SafeRelative(pr.Shown, p_->DirNames != 0);
  }
}

bool TUnzRun::Eligible(size_t i) const {
  const auto& e = dir_.Entries[i];
  const TPrep& pr = prep_[i];
  return pr.Chosen && !pr.Bad && !pr.Rel.empty() && !e.IsDirectory() && !e.IsSymlink() && !e.Encrypted() &&
         (e.Method == kMethodStore || e.Method == kMethodDeflate) && e.Size <= kBufferLimit &&
         e.CompressedSize <= kBufferLimit && e.Size <= MaxInflated(e.CompressedSize);
}

// Which entries a worker may create: new files (no freshen or update asks about the old one)
// that no other chosen entry touches, so that writing them early changes nothing for the others.
void TUnzRun::MarkAhead() {
  if (p_->Test || p_->Freshen || p_->Update) return;
  std::unordered_map<std::string, int> uses;
  std::unordered_set<std::string> folders, files;
  for (size_t i = 0; i < prep_.size(); ++i) {
    const TPrep& pr = prep_[i];
    if (!pr.Chosen || pr.Rel.empty()) continue;
    ++uses[pr.Rel];
    if (!dir_.Entries[i].IsDirectory()) files.insert(pr.Rel);
    for (size_t b = pr.Rel.find('/'); b != std::string::npos; b = pr.Rel.find('/', b + 1)) folders.insert(pr.Rel.substr(0, b));
  }
  for (size_t i = 0; i < prep_.size(); ++i) {
    TPrep& pr = prep_[i];
    if (!Eligible(i) || uses[pr.Rel] != 1 || folders.count(pr.Rel)) continue;
    bool clash = false;
    for (size_t b = pr.Rel.find('/'); !clash && b != std::string::npos; b = pr.Rel.find('/', b + 1))
      clash = files.count(pr.Rel.substr(0, b)) != 0;
    pr.Ahead = !clash;
  }
}

std::string_view TUnzRun::InflateInto(size_t i, TBuffer& in, TBuffer& out, TInflated& r) const {
  const auto& e = dir_.Entries[i];
  size_t csize = static_cast<size_t>(e.CompressedSize), size = static_cast<size_t>(e.Size);
  char* src = in.Get(csize);
  if (csize > 0 && pread(fd_, src, csize, static_cast<off_t>(prep_[i].Data)) != static_cast<ssize_t>(csize)) {
    r.Error = kzeRead;
    return {};
  }
  std::string_view data;
  if (e.Method == kMethodStore) {
    if (e.CompressedSize != e.Size) { r.Error = kzeSize; return {}; }
    data = std::string_view(src, csize);
  } else {
    thread_local std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> d(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    if (!d) { r.Error = kzeMemory; return {}; }
    char* dst = out.Get(size);
    size_t got = 0;
    auto rc = libdeflate_deflate_decompress(d.get(), src, csize, dst, size, &got);
    if (rc == LIBDEFLATE_INSUFFICIENT_SPACE || (rc == LIBDEFLATE_SUCCESS && got != e.Size)) { r.Error = kzeSize; return {}; }
    if (rc != LIBDEFLATE_SUCCESS) { r.Error = kzeFormat; return {}; }
    data = std::string_view(dst, size);
  }
  r.Crc = libdeflate_crc32(0, data.data(), data.size());
  return data;
}

TInflated TUnzRun::Inflate(size_t i) const {
  TBuffer in, out;
  TInflated r;
  std::string_view data = InflateInto(i, in, out, r);
  if (!r.Error) r.Keep(data, dir_.Entries[i].Method == kMethodStore ? in : out);
  return r;
}

TInflated TUnzRun::Work(size_t i) {
  // The thread's buffers are used again for every entry: no memory is taken from and given back
  // to the system per entry. Those a large entry grew are given back after it, so that what the
  // workers hold stays within the pool's bound.
  thread_local TBuffer in, out;
  struct TTrim {
    ~TTrim() {
      in.Trim(kKeepBuffer);
      out.Trim(kKeepBuffer);
    }
  } trim;
  TInflated r;
  try {
    std::string_view data = InflateInto(i, in, out, r);
    // A test needs only the checksum.
    if (r.Error || p_->Test) return r;
    if (prep_[i].Ahead && WriteAhead(i, data)) {
      r.Written = true;
      return r;
    }
    r.Keep(data, dir_.Entries[i].Method == kMethodStore ? in : out);
  } catch (const std::bad_alloc&) {
    r = TInflated();
    r.Error = kzeMemory;
  }
  return r;
}

TInflated TUnzRun::InflateGuarded(size_t i) const {
  try {
    return Inflate(i);
  } catch (const std::bad_alloc&) {
    TInflated r;
    r.Error = kzeMemory;
    return r;
  }
}

bool TUnzRun::WriteData(int out, std::string_view data) {
  for (size_t w = 0; w < data.size();) {
    ssize_t k = write(out, data.data() + w, data.size() - w);
    if (k < 0) return false;
    w += static_cast<size_t>(k);
  }
  return true;
}

mode_t TUnzRun::EntryMode(const TCentralEntry& e) {
  return e.HostSystem() == 3 && (e.ExternalAttr >> 16) != 0 ? (e.ExternalAttr >> 16) & 0777 : 0666;
}

void TUnzRun::SetModeAndTime(int out, size_t i, bool modeSet) const {
  if (!modeSet) (void)fchmod(out, EntryMode(dir_.Entries[i]) & ~umask_);
  int64_t t = prep_[i].Time;
  struct timespec ts[2] = {{t, 0}, {t, 0}};
  (void)futimens(out, ts);
}

// A worker creates a new file for the entry and writes it whole, with its mode and time. Any
// trouble (the file exists, a folder is in the way, an error) undoes what it did and leaves the
// entry to the calling thread.
bool TUnzRun::WriteAhead(size_t i, std::string_view data) {
  const auto& e = dir_.Entries[i];
  const TPrep& pr = prep_[i];
  std::string dest = base_ + "/" + pr.Rel, error;
  TFd out;
  // A folder that the calling thread removed meanwhile (for an entry that failed) is made again.
  for (int tries = 0; !out.Open() && tries < 4; ++tries) {
    if (!MakeParents(pr.Rel, error)) return false;
    {
      std::lock_guard<std::mutex> lock(CreateLock(pr.Rel));
      out.Reset(open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, EntryMode(e)));
      if (!out.Open() && errno != ENOENT) return false;
    }
  }
  if (!out.Open()) return false;
  bool ok = WriteData(out.Get(), data);
  if (ok) SetModeAndTime(out.Get(), i, true);
  if (out.Close() != 0 || !ok) {
    unlink(dest.c_str());
    return false;
  }
  return true;
}

// The entry a worker wrote ahead, taken in its turn: the same callbacks and messages as for an
// entry written here; refused, its file goes again.
bool TUnzRun::Written(size_t i, TInflated& ready) {
  const auto& e = dir_.Entries[i];
  const TPrep& pr = prep_[i];
  auto refuse = [&] {
    Unwrite(i);
    return false;
  };
  if (!Progress(i, e.Size)) return refuse();
  if (ready.Crc != e.Crc) {
    TZipCallbackRecord rec;
    if (!cb_.Ask(rec, kcbCrcError, static_cast<int32_t>(ready.Crc), e.Crc, pr.Shown)) return refuse();
    if (rec.Value1 != 1) {
      Unwrite(i);
      cb_.Message(kzeCrc, pr.Shown + ": checksum error");
      return true;
    }
  }
  KeepParents(pr.Rel);
  if (p_->Verbose || p_->Trace) cb_.Message(0, "inflating: " + base_ + "/" + pr.Rel);
  ++done_;
  return true;
}

// Removes a file written ahead and the folders made for it.
void TUnzRun::Unwrite(size_t i) {
  unlink((base_ + "/" + prep_[i].Rel).c_str());
  Unmake(prep_[i].Rel);
}

bool TUnzRun::Skip(size_t i, int32_t error, int type, const std::string& why) {
  if (!why.empty() && (error != 0 || p_->Verbose || p_->Trace)) cb_.Message(0, prep_[i].Shown + ": " + why);
  return cb_.Send(kcbSkipped, error, type, prep_[i].Shown);
}

// Creates the folders of a path below the base; a link or a file in the way refuses it.
bool TUnzRun::MakeParents(const std::string& rel, std::string& error) {
  std::lock_guard<std::mutex> lock(dirsMutex_);
  std::string path = base_;
  size_t a = 0;
  for (;;) {
    size_t b = rel.find('/', a);
    if (b == std::string::npos) return true;
    path += "/" + rel.substr(a, b - a);
    a = b + 1;
    if (dirsOk_.count(path)) continue;
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
      if (S_ISLNK(st.st_mode)) { error = "a symbolic link is in the way: " + path; return false; }
      if (!S_ISDIR(st.st_mode)) { error = "not a folder: " + path; return false; }
    } else if (mkdir(path.c_str(), 0777) != 0) {
      error = "cannot create " + path + ": " + strerror(errno);
      return false;
    } else {
      made_.insert(path);
    }
    dirsOk_.insert(path);
  }
}

// Removes the folders of a path that this run made for an entry that failed, deepest first, as
// long as they are empty and no extracted entry needs them.
void TUnzRun::Unmake(const std::string& rel) {
  std::lock_guard<std::mutex> lock(dirsMutex_);
  std::vector<std::string> folders;
  std::string path = base_;
  size_t a = 0;
  for (size_t b; (b = rel.find('/', a)) != std::string::npos; a = b + 1) {
    path += "/" + rel.substr(a, b - a);
    folders.push_back(path);
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    if (!made_.count(*it)) continue;  // below the folder that could not be made, or older
    if (kept_.count(*it) || rmdir(it->c_str()) != 0) break;
    made_.erase(*it);
    dirsOk_.erase(*it);
  }
}

void TUnzRun::KeepParents(const std::string& rel) {
  std::lock_guard<std::mutex> lock(dirsMutex_);
  std::string path = base_;
  size_t a = 0;
  for (size_t b; (b = rel.find('/', a)) != std::string::npos; a = b + 1) {
    path += "/" + rel.substr(a, b - a);
    kept_.insert(path);
  }
}

bool TUnzRun::Password(size_t i, std::string& pw, bool& skip) {
  const auto& e = dir_.Entries[i];
  uint8_t head[12];
  skip = false;
  if (e.CompressedSize < 12 || pread(fd_, head, 12, static_cast<off_t>(prep_[i].Data)) != 12) {
    skip = true;
    return Skip(i, kzeFormat, kSkipFormat, "damaged encryption header");
  }
  uint8_t check = e.Flags & kFlagDescriptor ? static_cast<uint8_t>(e.DosTime >> 8) : static_cast<uint8_t>(e.Crc >> 24);
  auto fits = [&](const std::string& candidate) {
    TZipCrypt z(candidate);
    uint8_t h[12];
    std::memcpy(h, head, 12);
    z.Decrypt(h, 12);
    return h[11] == check;
  };
  if (!password_.empty() && fits(password_)) { pw = password_; return true; }
  // The tries left come back with every answer; they may drop, never rise: an entry is asked
  // for at most the repeat count of the parameter record (at most 15), whatever the answers.
  int repeats = std::clamp(p_->PasswordRepeat, 0, 15);
  while (!noMorePasswords_ && repeats > 0) {
    TZipCallbackRecord rec;
    if (!cb_.Ask(rec, kcbPassword, 0, repeats, prep_[i].Shown)) return false;
    if (rec.ActionCode == 0) noMorePasswords_ = true;
    if (rec.Value1 != 1) break;
    std::string answer = RecordText(rec, 0, 81);
    repeats = static_cast<int>(std::clamp<int64_t>(rec.Value2, 0, repeats));
    if (fits(answer)) {
      password_ = pw = answer;
      return true;
    }
    --repeats;
  }
  skip = true;
  return Skip(i, kzePassword, kSkipPassword, "wrong or missing password");
}

// Decrypts and inflates an entry in chunks, writing to out (nothing when testing).
bool TUnzRun::Stream(size_t i, const std::string& pw, int out, uint32_t& crc, std::string& error) {
  const auto& e = dir_.Entries[i];
  uint64_t pos = prep_[i].Data, left = e.CompressedSize, produced = 0;
  std::unique_ptr<TZipCrypt> z;
  if (e.Encrypted()) {
    z = std::make_unique<TZipCrypt>(pw);
    uint8_t h[12];
    if (left < 12 || pread(fd_, h, 12, static_cast<off_t>(pos)) != 12) { error = "damaged entry"; return true; }
    z->Decrypt(h, 12);
    pos += 12;
    left -= 12;
  }
  z_stream zs {};
  bool deflated = e.Method == kMethodDeflate;
  if (deflated && inflateInit2(&zs, -15) != Z_OK) { error = "out of memory"; return true; }
  std::vector<uint8_t> in(kChunk), outBuf(kChunk);
  crc = 0;
  bool ended = !deflated;
  auto put = [&](const uint8_t* p, size_t k) {
    produced += k;
    if (produced > e.Size) { error = "entry larger than its declared size"; return false; }
    crc = Crc32(crc, p, k);
    size_t w = 0;
    while (out >= 0 && w < k) {
      ssize_t r = write(out, p + w, k - w);
      if (r < 0) { error = std::string("cannot write: ") + strerror(errno); return false; }
      w += static_cast<size_t>(r);
    }
    return Progress(i, k);
  };
  bool ok = true;
  while (ok && left > 0 && error.empty()) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(left, in.size()));
    ssize_t got = pread(fd_, in.data(), want, static_cast<off_t>(pos));
    if (got <= 0) { error = "archive truncated"; break; }
    pos += static_cast<uint64_t>(got);
    left -= static_cast<uint64_t>(got);
    if (z) z->Decrypt(in.data(), static_cast<size_t>(got));
    if (!deflated) {
      ok = put(in.data(), static_cast<size_t>(got));
    } else {
      zs.next_in = in.data();
      zs.avail_in = static_cast<uInt>(got);
      while (ok && zs.avail_in > 0 && !ended) {
        zs.next_out = outBuf.data();
        zs.avail_out = static_cast<uInt>(outBuf.size());
        int rc = inflate(&zs, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END) { error = "damaged compressed data"; ok = false; break; }
        ok = put(outBuf.data(), outBuf.size() - zs.avail_out);
        if (rc == Z_STREAM_END) ended = true;
      }
    }
    if (ok && !cb_.Send(kcbTick, 0, 0, "")) ok = false;
  }
  if (deflated) inflateEnd(&zs);
  if (cb_.Cancelled()) return false;
  if (error.empty() && (!ended || produced != e.Size)) error = "entry shorter than its declared size";
  return true;
}

bool TUnzRun::Extract(size_t i, TInflated* ready) {
  const auto& e = dir_.Entries[i];
  const TPrep& pr = prep_[i];
  bool test = p_->Test != 0;
  if (ready && ready->Written) return Written(i, *ready);
  // Folders made for this entry stay only when the entry is extracted.
  struct TMade {
    TUnzRun* run;
    std::string rel;
    bool keep = false;
    ~TMade() {
      if (!keep && !rel.empty()) run->Unmake(rel);
    }
  } made{this, e.IsDirectory() && !pr.Rel.empty() ? pr.Rel + "/" : pr.Rel};
  if (e.IsDirectory()) {
    if (test || !p_->DirNames || pr.Rel.empty()) return true;
    std::string error;
    if (!MakeParents(pr.Rel + "/", error)) return Skip(i, kzeUnsafeName, kSkipGeneral, error);
    made.keep = true;
    KeepParents(pr.Rel + "/");
    return true;
  }
  if (pr.Bad) return Skip(i, kzeFormat, kSkipFormat, "damaged or overlapping entry");
  if (e.IsSymlink()) return Skip(i, kzeUnsafeName, kSkipGeneral, "symbolic links are not extracted");
  if (pr.Rel.empty()) return Skip(i, kzeUnsafeName, kSkipGeneral, "name leads outside the base folder");
  if (e.Method != kMethodStore && e.Method != kMethodDeflate) return Skip(i, kzeMethod, kSkipMethod, "unknown compression method");
  if (e.Size > MaxInflated(e.CompressedSize)) return Skip(i, kzeSize, kSkipFormat, "declared size impossible for its data");
  std::string dest = base_ + "/" + pr.Rel, error;
  bool exists = false;
  if (!test) {
    if (!MakeParents(pr.Rel, error)) return Skip(i, kzeUnsafeName, kSkipGeneral, error);
    struct stat st;
    exists = lstat(dest.c_str(), &st) == 0;
    bool newer = !exists || pr.Time > st.st_mtime;
    if ((p_->Freshen && !p_->Update && !exists) || ((p_->Freshen || p_->Update) && !newer))
      return Skip(i, 0, kSkipFreshen, "");
    if (exists && !p_->OverWrite && !p_->Update && !p_->Freshen) {
      TZipCallbackRecord rec;
      int32_t v1 = (st.st_mtime < pr.Time ? 1 << 16 : 0) | static_cast<int32_t>(i & 0xFFFF);
      if (!cb_.Ask(rec, kcbOverwrite, v1, 0, pr.Shown)) return false;
      if ((rec.Value2 & 0xFF) == 0) return Skip(i, 0, kSkipNoOverwrite, "");
    }
  }
  std::string pw;
  if (e.Encrypted()) {
    bool skip;
    if (!Password(i, pw, skip)) return false;
    if (skip) return true;
  }
  // A new file is made in place (never through a link); one that exists is replaced by a
  // finished temporary file, so a failure leaves the old one. The file written goes again unless
  // the entry is finished, also when an exception passes.
  struct TWritten {
    std::string name;
    ~TWritten() {
      if (!name.empty()) unlink(name.c_str());
    }
  } partial;
  std::string& written = partial.name;
  bool direct = false;
  TFd out;
  if (!test) {
    std::unique_lock<std::mutex> lock(CreateLock(pr.Rel));
    if (!exists) {
      out.Reset(open(dest.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (out.Open()) written = dest, direct = true;
    }
    if (!out.Open()) {
      written = dest.substr(0, dest.find_last_of('/') + 1) + ".unz-XXXXXX";
      out.Reset(mkstemp(written.data()));
      if (!out.Open()) written.clear();
    }
    int why = errno;
    lock.unlock();
    if (!out.Open()) {
      cb_.Message(kzeWrite, "cannot create " + dest + ": " + strerror(why));
      return true;
    }
  }
  auto discard = [&] {
    out.Close();
    if (!written.empty()) unlink(written.c_str());
    written.clear();
  };
  uint32_t crc = 0;
  bool go = true;
  if (ready) {
    if (ready->Error) {
      error = ready->Error == kzeSize     ? "entry larger than its declared size"
              : ready->Error == kzeMemory ? "out of memory"
                                          : "damaged compressed data";
    } else {
      crc = ready->Crc;
      if (out.Open() && !WriteData(out.Get(), ready->Data)) error = std::string("cannot write: ") + strerror(errno);
    }
    go = Progress(i, e.Size);
  } else {
    go = Stream(i, pw, out.Get(), crc, error);
  }
  if (!go) {
    discard();
    return false;
  }
  if (!error.empty()) {
    discard();
    int code = error.find("write") != std::string::npos ? kzeWrite : error == "out of memory" ? kzeMemory : kzeFormat;
    cb_.Message(code, pr.Shown + ": " + error);
    return true;
  }
  if (crc != e.Crc) {
    TZipCallbackRecord rec;
    if (!cb_.Ask(rec, kcbCrcError, static_cast<int32_t>(crc), e.Crc, pr.Shown)) {
      discard();
      return false;
    }
    if (rec.Value1 != 1) {
      discard();
      cb_.Message(kzeCrc, pr.Shown + ": checksum error");
      return true;
    }
  }
  if (test) {
    if (p_->Verbose || p_->Trace) cb_.Message(0, "testing: " + pr.Shown + "  OK");
    ++done_;
    return true;
  }
  SetModeAndTime(out.Get(), i);
  int closed = out.Close();
  auto moved = [&] {
    std::lock_guard<std::mutex> lock(CreateLock(pr.Rel));
    return rename(written.c_str(), dest.c_str()) == 0;
  };
  if (closed != 0 || (!direct && !moved())) {
    cb_.Message(kzeWrite, pr.Shown + ": cannot write " + dest + ": " + strerror(errno));
    return true;
  }
  written.clear();
  if (p_->Verbose || p_->Trace) cb_.Message(0, "inflating: " + dest);
  made.keep = true;
  KeepParents(pr.Rel);
  ++done_;
  return true;
}

int32_t TUnzRun::Run() {
  if (p_->Check != kParamsCheck || !p_->ArchiveName || !*p_->ArchiveName) {
    cb_.Message(kzeFormat, "bad parameter record");
    return -1;
  }
  std::string archive = p_->ArchiveName;
  std::string err;
  FILE* f = OpenRegularFile(archive, err);
  if (!f) {
    cb_.Message(kzeOpen, "cannot open " + archive + ": " + err);
    return -1;
  }
  bool ok = ReadCentralDirectory(f, dir_, err);
  fd_ = dup(fileno(f));
  fclose(f);
  if (!ok) {
    cb_.Message(kzeFormat, "damaged archive " + archive + ": " + err);
    return -1;
  }
  base_ = p_->BaseDir && *p_->BaseDir ? p_->BaseDir : ".";
  while (base_.size() > 1 && base_.back() == '/') base_.pop_back();
  password_ = p_->Password ? p_->Password : "";
  umask_ = umask(0);
  umask(umask_);
  Prepare();
  MarkAhead();
  size_t count = 0;
  uint64_t total = 0;
  for (size_t i = 0; i < prep_.size(); ++i)
    if (prep_[i].Chosen && !dir_.Entries[i].IsDirectory()) ++count, total += dir_.Entries[i].Size;
  bool go = cb_.Send(kcbTotalFiles, 0, static_cast<int64_t>(count), "") && cb_.Send(kcbTotalSize, 0, static_cast<int64_t>(total), "");
  std::unique_ptr<TOrderedPool<TInflated>> pool;
  unsigned threads = WorkerCount(count);
  if (go && threads > 0)
    pool = std::make_unique<TOrderedPool<TInflated>>(
        prep_.size(), threads, kPoolCap,
        TOrderedPool<TInflated>::TJobs{[this](size_t i) { return Eligible(i); },
                                       [this](size_t i) { return dir_.Entries[i].Size + dir_.Entries[i].CompressedSize; },
                                       [this](size_t i) { return Work(i); },
                                       [this](size_t i) { return Folder(prep_[i].Rel); }});
  // Files written ahead for entries the run does not finish go again, however it ends: stopped,
  // refused, or by an exception (a worker's, which Take throws here, or the calling thread's). So
  // does the file of the entry in hand when its turn did not come to an end.
  size_t inHand = prep_.size();
  auto unwriteLeft = [&] {
    if (inHand < prep_.size()) Unwrite(inHand);
    inHand = prep_.size();
    if (!pool) return;
    pool->Stop();
    pool->ForEachLeft([this](size_t i, const TInflated& r) {
      if (r.Written) Unwrite(i);
    });
  };
  try {
    for (size_t i = 0; go && i < prep_.size(); ++i) {
      if (!prep_[i].Chosen) continue;
      // An entry refused on the calling thread is taken from the pool all the same, to free it.
      std::optional<TInflated> r;
      if (Eligible(i)) {
        if (pool) r = pool->Take(i, [this] { return cb_.Send(kcbTick, 0, 0, ""); });
        else r = InflateGuarded(i);
        if (!r) break;
        if (r->Written) inHand = i;
      }
      // Every file's item starts before anything is decided about it.
      if (!dir_.Entries[i].IsDirectory() && !StartItem(i)) break;
      bool decided = Extract(i, r ? &*r : nullptr);
      inHand = prep_.size();  // kept or removed in its turn
      go = decided && FinishItem(i);
    }
  } catch (...) {
    unwriteLeft();
    throw;
  }
  unwriteLeft();
  if (cb_.Cancelled()) return done_;
  // A name that matched no entry is reported, as the zip library reports one that matched no file.
  for (int k = 0; go && p_->Specs && k < p_->SpecCount; ++k) {
    const char* spec = p_->Specs[k].Spec;
    if (!spec || !*spec) continue;
    bool matched = false;
    for (size_t i = 0; !matched && i < prep_.size(); ++i)
      matched = MatchesSpec(spec, prep_[i].Shown) || (!prep_[i].Alias.empty() && MatchesSpec(spec, prep_[i].Alias));
    if (!matched) go = cb_.Message(kzeNothing, "name not matched: " + std::string(spec));
  }
  if (cb_.Cancelled()) return done_;
  cb_.Send(kcbEndOfBatch, 0, 0, "");
  return done_;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int32_t UnzDllExec(TUnzParams* p) {
  if (!p) return -1;
  try {
    TUnzRun run(p);
    return run.Run();
  } catch (const std::bad_alloc&) {
    TCaller(p->Callback, p->Caller, false).Message(kzeMemory, "out of memory");
  } catch (const std::exception& e) {
    TCaller(p->Callback, p->Caller, false).Message(kzeFormat, e.what());
  }
  return -1;
}

__attribute__((visibility("default"))) int32_t GetUnzDllVersion() { return 180; }
__attribute__((visibility("default"))) int32_t GetUnzDllPrivVersion() { return 18000; }

}  // extern "C"

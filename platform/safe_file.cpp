#include "platform/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

std::function<int(TSafeSaveStep)>& FaultHook() {
  static std::function<int(TSafeSaveStep)> hook;
  return hook;
}

int Fault(TSafeSaveStep step) {
  auto& hook = FaultHook();
  return hook ? hook(step) : 0;
}

// Writes are cut into pieces of at most this size.
constexpr size_t kChunk = size_t(256) << 10;

std::string FolderOf(const std::string& path) {
  size_t k = path.rfind('/');
  if (k == std::string::npos) return ".";
  return k == 0 ? "/" : path.substr(0, k);
}

// Follows symbolic links to the file they finally name, which need not exist yet.
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
    if (n <= 0) return path;
    std::string link(buf.data(), static_cast<size_t>(n));
    path = link[0] == '/' ? link : FolderOf(path) + "/" + link;
  }
  return path;  // a loop of links: opening it reports ELOOP
}

mode_t CurrentUmask() {
  mode_t m = ::umask(0);
  ::umask(m);
  return m;
}

std::string RandomSuffix() {
  static std::mt19937 gen{std::random_device{}()};
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s;
  for (int i = 0; i < 6; ++i) s += kChars[gen() % (sizeof kChars - 1)];
  return s;
}

// Writes all of [p, p+n) at offset (or at the file position when offset < 0); 0 or errno.
int WriteAll(int fd, const char* p, size_t n, int64_t offset) {
  while (n > 0) {
    size_t piece = std::min(n, kChunk);
    if (int err = Fault(TSafeSaveStep::Write)) return err;
    ssize_t w = offset < 0 ? ::write(fd, p, piece) : ::pwrite(fd, p, piece, static_cast<off_t>(offset));
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (w == 0) return ENOSPC;
    p += w;
    n -= static_cast<size_t>(w);
    if (offset >= 0) offset += w;
  }
  return 0;
}

// Copies the whole of `from` to `to` from offset 0 at the write position of `to`; 0 or errno.
// The fault hook is asked for `step` before each piece.
int CopyContents(int from, int to, bool positioned, TSafeSaveStep step) {
  std::vector<char> buf(kChunk);
  int64_t at = 0;
  for (;;) {
    if (int err = Fault(step)) return err;
    ssize_t r = ::pread(from, buf.data(), buf.size(), static_cast<off_t>(at));
    if (r < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (r == 0) return 0;
    ssize_t done = 0;
    while (done < r) {
      ssize_t w = positioned ? ::pwrite(to, buf.data() + done, static_cast<size_t>(r - done), static_cast<off_t>(at + done))
                             : ::write(to, buf.data() + done, static_cast<size_t>(r - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += w;
    }
    at += r;
  }
}

void FlushFolder(const std::string& folder) {
  int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

// Gives the unnamed file fd the name path; 0 or errno.
int LinkUnnamed(int fd, const std::string& path) {
  if (::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
  std::string proc = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return errno;
}

// Names in the recovery folder. A copy of an in-place save is named after the document, with
// kCopyMark and a unique suffix; its record (the copy's name + kRecordSuffix) holds the
// document's full name. A new file that a save names beside its document has a record of its
// own (named with kNewMark), holding the document's full name and the new file's, a line each.
// A record is made before the file it describes and removed after it, and is held locked while
// its save runs: a file a save makes is always described by a record, and a record nobody holds
// belongs to a save that never finished.
constexpr const char* kCopyMark = ".vt-copy-";
constexpr const char* kNewMark = ".vt-new-";
constexpr const char* kRecordSuffix = ".document";
// The mark of a new file beside its document, before its unique suffix.
constexpr const char* kBesideMark = ".vt-";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The longest file name the file system takes in folder.
size_t NameMax(const std::string& folder) {
  long n = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<size_t>(n) : 255;
}

// Name, made to leave room for `room` more bytes in a name of at most `most` bytes: cut at a
// character boundary of UTF-8 and marked with a digest of the whole name, so that two long
// names that begin alike still give different names. Short enough names stay as they are.
std::string FitName(const std::string& name, size_t room, size_t most) {
  if (name.size() + room <= most) return name;
  uint32_t hash = 2166136261u;
  for (unsigned char c : name) hash = (hash ^ c) * 16777619u;
  char digest[16];
  std::snprintf(digest, sizeof digest, "~%08x", hash);
  const size_t mark = std::strlen(digest);
  size_t n = most > room + mark ? most - room - mark : 0;
  n = std::min(n, name.size());
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return name.substr(0, n) + digest;
}

std::string BaseOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Writes text as the whole contents of fd, flushed to disk when asked; 0 or errno.
int SetFileText(int fd, const std::string& text, bool flush) {
  if (::ftruncate(fd, 0) != 0) return errno;
  for (size_t done = 0; done < text.size();) {
    ssize_t w = ::pwrite(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return w < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(w);
  }
  return !flush || ::fsync(fd) == 0 ? 0 : errno;
}

// Makes a record in folder named stem + a unique suffix + kRecordSuffix, holding text (flushed to
// disk when asked) and locked by the descriptor returned; its full name goes to name. Where the
// file system allows, it is written unnamed and named only once whole and locked. -1 with errno
// on failure.
int MakeRecord(const std::string& folder, const std::string& stem, const std::string& text, bool flush,
               std::string& name) {
  if (int err = Fault(TSafeSaveStep::Record)) {
    errno = err;
    return -1;
  }
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) {
    ::flock(fd, LOCK_EX);
    int err = SetFileText(fd, text, flush);
    for (int tries = 0; err == 0 && tries < 100; ++tries) {
      name = folder + "/" + stem + RandomSuffix() + kRecordSuffix;
      err = LinkUnnamed(fd, name);
      if (err == 0) return fd;
      if (err == EEXIST) err = 0;
    }
    ::close(fd);
    errno = err ? err : EEXIST;
    return -1;
  }
  // Named from the start: locked and written right after it is made.
  for (int tries = 0; tries < 100; ++tries) {
    name = folder + "/" + stem + RandomSuffix() + kRecordSuffix;
    fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) break;
    if (errno != EEXIST) return -1;
  }
  if (fd < 0) return -1;
  ::flock(fd, LOCK_EX);
  if (int err = SetFileText(fd, text, flush)) {
    ::unlink(name.c_str());
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

// Whether the file at path begins with every byte of the file at part (or equals it): then
// part holds nothing path lacks.
bool BeginsWith(const std::string& path, const std::string& part) {
  int p = ::open(part.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (p < 0) return false;
  struct stat ps;
  if (::fstat(p, &ps) != 0 || !S_ISREG(ps.st_mode)) {
    ::close(p);
    return false;
  }
  if (ps.st_size == 0) {
    ::close(p);
    return true;
  }
  int f = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat fs;
  bool same = f >= 0 && ::fstat(f, &fs) == 0 && S_ISREG(fs.st_mode) && fs.st_size >= ps.st_size;
  std::vector<char> a(kChunk), b(kChunk);
  for (off_t at = 0; same && at < ps.st_size;) {
    size_t want = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(kChunk), ps.st_size - at));
    ssize_t ra = ::pread(p, a.data(), want, at), rb = ::pread(f, b.data(), want, at);
    if (ra <= 0 || ra != rb || std::memcmp(a.data(), b.data(), static_cast<size_t>(ra)) != 0) same = false;
    else at += ra;
  }
  if (f >= 0) ::close(f);
  ::close(p);
  return same;
}

AnsiString ShownName(const std::string& systemName) {
  try {
    return SystemNameToAnsi(systemName);
  } catch (...) {
    return AnsiString(systemName);
  }
}

AnsiString CannotCreate(const AnsiString& name, const AnsiString& reason) {
  return Format(W1251("Не удаётся создать файл \"%s\". %s"), {name, reason});
}
AnsiString CannotCreate(const AnsiString& name, int err) { return CannotCreate(name, SysErrorMessage(err)); }

// The recovery folder as the file system names it, created when missing; empty when it cannot be.
std::string RecoverySystemFolder() {
  std::string folder;
  try {
    folder = AnsiToSystemName(RecoveryFolder());
  } catch (...) {
    errno = EINVAL;
    return std::string();
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return std::string();
  return folder;
}

}  // namespace

void SetSafeSaveFault(std::function<int(TSafeSaveStep)> Hook) { FaultHook() = std::move(Hook); }

AnsiString RecoveryFolder() { return SettingsDir() + "recovery"; }

AnsiString FittedFileName(const AnsiString& Folder, const AnsiString& Name, const AnsiString& Suffix) {
  std::string folder = AnsiToSystemName(Folder);
  std::string suffix = AnsiToSystemName(Suffix);
  std::string name = FitName(AnsiToSystemName(Name), suffix.size(), NameMax(folder.empty() ? "." : folder));
  // No folder: a name relative to the current folder, as the file's own name was.
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return SystemNameToAnsi(folder + name + suffix);
}

std::vector<TInterruptedSave> InterruptedSaves() {
  std::vector<TInterruptedSave> found;
  std::string folder;
  try {
    folder = AnsiToSystemName(RecoveryFolder());
  } catch (...) {
    return found;
  }
  DIR* d = ::opendir(folder.c_str());
  if (!d) return found;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) names.push_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    bool copyRecord = n.find(kCopyMark) != std::string::npos, newRecord = n.find(kNewMark) != std::string::npos;
    // A copy without a record is left alone: saves make the record first, so it is none of
    // theirs, and nothing is deleted that the user has not seen.
    if (!(copyRecord || newRecord) || !EndsWith(n, kRecordSuffix)) continue;
    std::string record = folder + "/" + n;
    int fd = ::open(record.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    // A save still running (in this program or another) holds its record; held here while it is
    // looked at, no save takes it over meanwhile.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
      ::close(fd);
      continue;
    }
    std::string text;
    std::vector<char> buf(4096);
    for (ssize_t r; (r = ::read(fd, buf.data(), buf.size())) > 0;) text.append(buf.data(), static_cast<size_t>(r));
    std::string document = text.substr(0, text.find('\n'));
    std::string file;
    if (copyRecord) {
      file = record.substr(0, record.size() - std::strlen(kRecordSuffix));
    } else {
      size_t eol = text.find('\n');
      if (eol != std::string::npos) file = text.substr(eol + 1, text.find('\n', eol + 1) - eol - 1);
    }
    bool running = false;
    if (copyRecord) {
      // Saves of an earlier make held only the copy.
      int c = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
      if (c >= 0) {
        running = ::flock(c, LOCK_SH | LOCK_NB) != 0;
        ::close(c);
      }
    }
    struct stat st;
    bool there = !file.empty() && ::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    if (running) {
      // Taken up again at the next start.
    } else if (!there || BeginsWith(document, file)) {
      // Gone, or holding nothing the document lacks: the save's leftovers go.
      if (there) ::unlink(file.c_str());
      ::unlink(record.c_str());
    } else {
      TInterruptedSave s;
      s.Document = ShownName(document);
      s.Copy = ShownName(file);
      s.NewText = newRecord;
      found.push_back(s);
    }
    ::close(fd);
  }
  return found;
}

TSafeFileStream::TSafeFileStream(const AnsiString& FileName, int64_t ExpectedSize, unsigned NewFileMode)
    : fileName_(FileName), expected_(ExpectedSize), newFileMode_(NewFileMode) {
  target_ = FollowLinks(ResolveSystemName(FileName));
  existed_ = ::stat(target_.c_str(), &old_) == 0;
  if (!existed_) {
    if (!OpenNewFile()) throw EFCreateError(CannotCreate(fileName_, errno));
    return;
  }
  // Whether the user may write the file is the system's answer to opening it for writing; a
  // folder, a pipe or a socket is refused without waiting for a reader.
  AnsiString reason;
  int fd = OpenFileDescriptor(target_, O_WRONLY, 0, reason);
  if (fd < 0) throw EFCreateError(CannotCreate(fileName_, reason));
  if (!S_ISREG(old_.st_mode)) {  // a character device takes the data as it comes
    fd_ = fd;
    way_ = wyDevice;
    return;
  }
  bool keepIdentity = old_.st_nlink > 1 || old_.st_uid != ::geteuid();
  if (!keepIdentity && OpenNewFile()) {
    ::close(fd);
    return;
  }
  OpenInPlace(fd);
}

TSafeFileStream::~TSafeFileStream() {
  if (!committed_ && !failed_ && way_ != wyNone) Fail(ECANCELED);
  CloseFd();
  ReleaseCopy();
  ReleaseRecord();
}

void TSafeFileStream::CloseFd() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string TSafeFileStream::BesideName() const {
  std::string folder = FolderOf(target_);
  return folder + "/" + FitName(BaseOf(target_), std::strlen(kBesideMark) + 6, NameMax(folder)) + kBesideMark +
         RandomSuffix();
}

int TSafeFileStream::DescribeNewFile(const std::string& Name) {
  // Only a killed program leaves the new file behind while the save runs: a machine that stops
  // loses the name it has not flushed, so the record is not flushed either.
  std::string text = target_ + "\n" + Name + "\n";
  if (recordFd_ >= 0) return SetFileText(recordFd_, text, false);
  std::string folder = RecoverySystemFolder();
  if (folder.empty()) return errno;
  recordFd_ = MakeRecord(folder, FitName(BaseOf(target_), std::strlen(kNewMark) + 6 + std::strlen(kRecordSuffix),
                                         NameMax(folder)) + kNewMark,
                         text, false, recordName_);
  return recordFd_ >= 0 ? 0 : errno;
}

bool TSafeFileStream::OpenNewFile() {
  if (int err = Fault(TSafeSaveStep::NewFile)) {
    errno = err;
    return false;
  }
  std::string folder = FolderOf(target_);
  int fd = -1;
  if (int err = Fault(TSafeSaveStep::Unnamed)) errno = err;
  else fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    unnamed_ = true;
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    // Named from the start: the record naming it comes first. Without one (no recovery folder)
    // the save goes on; only a save killed midway would then leave the file unreported.
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
      std::string name = BesideName();
      DescribeNewFile(name);
      fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) tempName_ = name;
      else if (errno != EEXIST) break;
    }
    if (fd < 0) {
      int err = errno;
      RemoveRecord();
      errno = err;
    }
  }
  if (fd < 0) return false;
  fd_ = fd;
  way_ = wyNewFile;
  mode_t mode = existed_ ? (old_.st_mode & 07777) : (newFileMode_ & 0777 & ~CurrentUmask());
  struct stat st;
  auto drop = [&](int err) {
    if (!tempName_.empty()) ::unlink(tempName_.c_str());
    tempName_.clear();
    RemoveRecord();
    unnamed_ = false;
    CloseFd();
    way_ = wyNone;
    errno = err;
    return false;
  };
  if (existed_ && ::fstat(fd, &st) == 0 && st.st_gid != old_.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old_.st_gid) != 0) {
    // The new file cannot take the old one's group: keep the old file and write it in place.
    return drop(errno);
  }
  ::fchmod(fd, mode);
  // Room for the whole new file, where the file system can reserve it: a disk that cannot hold
  // the old and the new file side by side may still take the file written in place.
  if (existed_ && expected_ > 0 && ::fallocate(fd, 0, 0, expected_) != 0 && (errno == ENOSPC || errno == EDQUOT))
    return drop(ENOSPC);
  return true;
}

void TSafeFileStream::OpenInPlace(int fd) {
  fd_ = fd;
  way_ = wyInPlace;
  KeepCopy();
  // Reserve the room the new contents need before changing anything, where the file system
  // can: a full disk then fails the save while the file is still whole.
  if (expected_ > old_.st_size) {
    int r = ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, old_.st_size, expected_ - old_.st_size);
    if (r != 0 && (errno == ENOSPC || errno == EDQUOT)) {
      Fail(errno);
      throw EWriteError(message_);
    }
  }
}

void TSafeFileStream::KeepCopy() {
  int err = 0;
  std::string folder = RecoverySystemFolder();
  if (folder.empty()) err = errno;
  int from = -1;
  if (err == 0) {
    from = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) err = errno;
  }
  if (from >= 0) {
    // The record first, then the copy it names: a copy is never without its record.
    std::string stem = FitName(BaseOf(target_), std::strlen(kCopyMark) + 6 + std::strlen(kRecordSuffix),
                               NameMax(folder)) + kCopyMark;
    recordFd_ = MakeRecord(folder, stem, target_ + "\n", true, recordName_);
    if (recordFd_ < 0) err = errno;
    int to = -1;
    if (err == 0) {
      std::string name = recordName_.substr(0, recordName_.size() - std::strlen(kRecordSuffix));
      to = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (to < 0) {
        err = errno;
      } else {
        copyName_ = name;
        copyFd_ = to;
        // Locked too, as saves of an earlier make locked only their copy.
        ::flock(to, LOCK_EX);
        err = Fault(TSafeSaveStep::KeepCopy);
        if (err == 0) err = CopyContents(from, to, false, TSafeSaveStep::Copy);
        if (err == 0 && ::fsync(to) != 0) err = errno;
      }
    }
    if (err == 0) FlushFolder(folder);
    else RemoveCopy();
    ::close(from);
  }
  if (copyName_.empty()) {
    CloseFd();
    way_ = wyNone;
    throw EFCreateError(Format(W1251("Не удаётся сохранить файл \"%s\": копию его прежнего содержимого, без "
                                     "которой его нельзя записать на месте, сохранить не удалось. %s"),
                               {fileName_, SysErrorMessage(err)}));
  }
}

int64_t TSafeFileStream::Read(void*, int64_t) { return 0; }

int64_t TSafeFileStream::Seek(int64_t, TSeekOrigin) { return written_; }

int64_t TSafeFileStream::Write(const void* Buffer, int64_t Count) {
  if (failed_ || committed_ || Count <= 0) return 0;
  if (way_ == wyInPlace) touched_ = true;
  int err = WriteAll(fd_, static_cast<const char*>(Buffer), static_cast<size_t>(Count),
                     way_ == wyInPlace ? written_ : -1);
  if (err != 0) {
    Fail(err);
    return 0;
  }
  written_ += Count;
  return Count;
}

void TSafeFileStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (failed_) throw EWriteError(message_);
  if (Count > 0 && Write(Buffer, Count) != Count) throw EWriteError(message_);
}

void TSafeFileStream::Commit() {
  if (failed_) throw EWriteError(message_);
  if (committed_) return;
  int err = 0;
  switch (way_) {
    case wyDevice:
      if (::close(fd_) != 0) err = errno;
      fd_ = -1;
      break;
    case wyInPlace:
      touched_ = true;
      err = Fault(TSafeSaveStep::Flush);
      if (err == 0 && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) err = errno;
      if (err == 0 && ::fsync(fd_) != 0) err = errno;
      break;
    case wyNewFile: {
      err = Fault(TSafeSaveStep::Flush);
      if (err == 0 && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) err = errno;  // less than reserved
      if (err == 0 && ::fsync(fd_) != 0) err = errno;
      if (err == 0) err = Fault(TSafeSaveStep::Replace);
      if (err == 0 && unnamed_) {
        // Named only once complete. An unnamed file cannot replace a name, so it gets a
        // name of its own beside the file first (described by a record before it is given),
        // then the rename below.
        if (!existed_) {
          err = LinkUnnamed(fd_, target_);
          if (err == 0) unnamed_ = false;
        }
        for (int tries = 0; unnamed_ && tries < 100; ++tries) {
          std::string name = BesideName();
          DescribeNewFile(name);
          err = LinkUnnamed(fd_, name);
          if (err == 0) {
            tempName_ = name;
            unnamed_ = false;
          } else if (err != EEXIST) {
            break;
          }
        }
      }
      if (err == 0 && !tempName_.empty()) err = Fault(TSafeSaveStep::Rename);
      if (err == 0 && !tempName_.empty()) {
        if (::rename(tempName_.c_str(), target_.c_str()) != 0) err = errno;
        else tempName_.clear();
      }
      if (err == 0) FlushFolder(FolderOf(target_));
      break;
    }
    case wyNone:
      break;
  }
  if (err != 0) {
    Fail(err);
    throw EWriteError(message_);
  }
  CloseFd();
  RemoveCopy();
  RemoveRecord();
  committed_ = true;
}

void TSafeFileStream::RemoveCopy() {
  // The copy goes before its record: a record alone holds nothing.
  if (!copyName_.empty()) {
    Fault(TSafeSaveStep::Remove);
    ::unlink(copyName_.c_str());
  }
  copyName_.clear();
  ReleaseCopy();
  RemoveRecord();
}

void TSafeFileStream::ReleaseCopy() {
  if (copyFd_ >= 0) ::close(copyFd_);
  copyFd_ = -1;
}

void TSafeFileStream::RemoveRecord() {
  if (!recordName_.empty()) {
    Fault(TSafeSaveStep::Remove);
    ::unlink(recordName_.c_str());
  }
  recordName_.clear();
  ReleaseRecord();
}

void TSafeFileStream::ReleaseRecord() {
  if (recordFd_ >= 0) ::close(recordFd_);
  recordFd_ = -1;
}

bool TSafeFileStream::PutBack() {
  if (Fault(TSafeSaveStep::PutBack) != 0) return false;
  // Read from the copy kept open since it was made, not reopened by name: the name may be gone
  // (removed by someone else) while the contents are still there. CopyContents reads by position
  // from the start, whatever the descriptor's offset.
  if (copyFd_ < 0) return false;
  int err = CopyContents(copyFd_, fd_, true, TSafeSaveStep::PutBack);
  if (err == 0 && ::ftruncate(fd_, old_.st_size) != 0) err = errno;
  if (err == 0 && ::fsync(fd_) != 0) err = errno;
  return err == 0;
}

void TSafeFileStream::Fail(int err) {
  failed_ = true;
  message_ = Format(W1251("Ошибка записи в файл \"%s\". %s"), {fileName_, SysErrorMessage(err)});
  switch (way_) {
    case wyNewFile:
      if (!tempName_.empty()) ::unlink(tempName_.c_str());
      tempName_.clear();
      RemoveRecord();
      if (existed_) message_ += W1251(" Файл сохранил прежнее содержимое.");
      break;
    case wyInPlace:
      if (!touched_ || PutBack()) {
        // Gives back the room reserved beyond the old end, too.
        if (!touched_) (void)::ftruncate(fd_, old_.st_size);
        RemoveCopy();
        message_ += W1251(touched_ ? " Его прежнее содержимое возвращено." : " Файл сохранил прежнее содержимое.");
      } else {
        message_ += Format(W1251(" Его прежнее содержимое вернуть не удалось; копия прежнего содержимого лежит "
                                 "в \"%s\"."),
                           {ShownName(copyName_)});
      }
      break;
    case wyDevice:
    case wyNone:
      break;
  }
  CloseFd();
}

void SafeWriteFile(const AnsiString& FileName, std::string_view Data, unsigned NewFileMode) {
  TSafeFileStream f(FileName, static_cast<int64_t>(Data.size()), NewFileMode);
  f.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
  f.Commit();
}

bool GetFileIdentity(const std::string& Path, TFileIdentity& Id) {
  struct stat st;
  if (::stat(Path.c_str(), &st) != 0) return false;
  Id.dev = st.st_dev;
  Id.ino = st.st_ino;
  Id.size = st.st_size;
  Id.mtime = st.st_mtim;
  Id.ctime = st.st_ctim;
  return true;
}

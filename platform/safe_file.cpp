#include "platform/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
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
int CopyContents(int from, int to, bool positioned) {
  std::vector<char> buf(kChunk);
  int64_t at = 0;
  for (;;) {
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

// Copies of in-place saves are named after the document, with this mark and a unique suffix;
// beside each, a record (the copy's name + kRecordSuffix) holds the document's full name.
constexpr const char* kCopyMark = ".vt-copy-";
constexpr const char* kRecordSuffix = ".document";

// The document's file name, cut so that the copy's and the record's names stay within the
// file system's limit (at a character boundary of UTF-8).
std::string CopyBaseName(const std::string& target) {
  std::string base = target.substr(target.rfind('/') + 1);
  constexpr size_t kMost = 200;
  if (base.size() > kMost) {
    size_t n = kMost;
    while (n > 0 && (static_cast<unsigned char>(base[n]) & 0xC0) == 0x80) --n;
    base.resize(n);
  }
  return base;
}

int WriteRecord(const std::string& record, const std::string& document) {
  int fd = ::open(record.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  std::string text = document + "\n";
  int err = WriteAll(fd, text.data(), text.size(), -1);
  if (err == 0 && ::fsync(fd) != 0) err = errno;
  if (::close(fd) != 0 && err == 0) err = errno;
  return err;
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

}  // namespace

void SetSafeSaveFault(std::function<int(TSafeSaveStep)> Hook) { FaultHook() = std::move(Hook); }

AnsiString RecoveryFolder() { return SettingsDir() + "recovery"; }

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
  const std::string suffix = kRecordSuffix;
  for (const std::string& n : names) {
    if (n.find(kCopyMark) == std::string::npos) continue;
    // Only copies with a record are listed. A copy without one is left alone: it may belong to a
    // save in another program that has made it but not yet locked it or written its record, and
    // nothing is deleted that the user has not seen.
    bool isRecord = n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0;
    if (!isRecord) continue;
    std::string copy = folder + "/" + n.substr(0, n.size() - suffix.size());
    int fd = ::open(copy.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;  // a record whose copy is gone tells nothing
    // A save still running (in this program or another) holds its copy.
    bool running = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    if (running) continue;
    std::string document;
    std::string recordText;
    if (ReadRegularFile(copy + kRecordSuffix, recordText)) document = recordText.substr(0, recordText.find('\n'));
    TInterruptedSave s;
    s.Document = ShownName(document);
    s.Copy = ShownName(copy);
    found.push_back(s);
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
}

void TSafeFileStream::CloseFd() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool TSafeFileStream::OpenNewFile() {
  if (int err = Fault(TSafeSaveStep::NewFile)) {
    errno = err;
    return false;
  }
  std::string folder = FolderOf(target_);
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd >= 0) {
    unnamed_ = true;
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    std::string tmpl = target_ + ".vt-XXXXXX";
    fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd >= 0) tempName_ = tmpl;
  }
  if (fd < 0) return false;
  fd_ = fd;
  way_ = wyNewFile;
  mode_t mode = existed_ ? (old_.st_mode & 07777) : (newFileMode_ & 0777 & ~CurrentUmask());
  struct stat st;
  if (existed_ && ::fstat(fd, &st) == 0 && st.st_gid != old_.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old_.st_gid) != 0) {
    // The new file cannot take the old one's group: keep the old file and write it in place.
    int err = errno;
    if (!tempName_.empty()) ::unlink(tempName_.c_str());
    tempName_.clear();
    unnamed_ = false;
    CloseFd();
    way_ = wyNone;
    errno = err;
    return false;
  }
  ::fchmod(fd, mode);
  // Room for the whole new file, where the file system can reserve it: a disk that cannot hold
  // the old and the new file side by side may still take the file written in place.
  if (existed_ && expected_ > 0 && ::fallocate(fd, 0, 0, expected_) != 0 && (errno == ENOSPC || errno == EDQUOT)) {
    if (!tempName_.empty()) ::unlink(tempName_.c_str());
    tempName_.clear();
    unnamed_ = false;
    CloseFd();
    way_ = wyNone;
    errno = ENOSPC;
    return false;
  }
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
  std::string folder;
  int err = 0;
  try {
    folder = AnsiToSystemName(RecoveryFolder());
  } catch (...) {
    err = EINVAL;
  }
  if (err == 0 && ::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) err = errno;
  int from = -1;
  if (err == 0) {
    from = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) err = errno;
  }
  if (from >= 0) {
    std::string name = folder + "/" + CopyBaseName(target_) + kCopyMark + "XXXXXX";
    int to = ::mkostemp(name.data(), O_CLOEXEC);
    if (to < 0) {
      err = errno;
    } else {
      // Locked while the save runs: a copy that nobody holds belongs to a save that never
      // finished, which the next start reports.
      ::flock(to, LOCK_EX);
      err = Fault(TSafeSaveStep::KeepCopy);
      if (err == 0) err = CopyContents(from, to, false);
      if (err == 0 && ::fsync(to) != 0) err = errno;
      // The record naming the document is written last, before the document is touched: a
      // copy without one was never needed.
      if (err == 0) err = WriteRecord(name + kRecordSuffix, target_);
      if (err == 0) {
        FlushFolder(folder);
        copyName_ = name;
        copyFd_ = to;
      } else {
        ::unlink((name + kRecordSuffix).c_str());
        ::unlink(name.c_str());
        ::close(to);
      }
    }
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
        // name of its own beside the file first, then the rename below.
        if (!existed_) {
          err = LinkUnnamed(fd_, target_);
          if (err == 0) unnamed_ = false;
        }
        for (int tries = 0; unnamed_ && tries < 100; ++tries) {
          std::string name = target_ + ".vt-" + RandomSuffix();
          err = LinkUnnamed(fd_, name);
          if (err == 0) {
            tempName_ = name;
            unnamed_ = false;
          } else if (err != EEXIST) {
            break;
          }
        }
      }
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
  committed_ = true;
}

void TSafeFileStream::RemoveCopy() {
  if (!copyName_.empty()) {
    ::unlink((copyName_ + kRecordSuffix).c_str());
    ::unlink(copyName_.c_str());
  }
  copyName_.clear();
  ReleaseCopy();
}

void TSafeFileStream::ReleaseCopy() {
  if (copyFd_ >= 0) ::close(copyFd_);
  copyFd_ = -1;
}

bool TSafeFileStream::PutBack() {
  if (Fault(TSafeSaveStep::PutBack) != 0) return false;
  // Read from the copy kept open since it was made, not reopened by name: the name may be gone
  // (removed by someone else) while the contents are still there. CopyContents reads by position
  // from the start, whatever the descriptor's offset.
  if (copyFd_ < 0) return false;
  int err = CopyContents(copyFd_, fd_, true);
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

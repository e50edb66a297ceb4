#include "platform/safe_file.h"

#include <fcntl.h>
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
  std::vector<std::string> folders;
  const char* tmp = std::getenv("TMPDIR");
  folders.push_back(tmp && *tmp ? tmp : "/tmp");
  try {
    folders.push_back(AnsiToSystemName(ExcludeTrailingPathDelimiter(SettingsDir())));
  } catch (...) {
  }
  std::string base = target_.substr(target_.rfind('/') + 1);
  int from = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
  int err = from < 0 ? errno : 0;
  for (const auto& folder : folders) {
    if (from < 0) break;
    std::string name = folder + "/" + base + ".vt-copy-XXXXXX";
    int to = ::mkostemp(name.data(), O_CLOEXEC);
    if (to < 0) {
      err = errno;
      continue;
    }
    err = Fault(TSafeSaveStep::KeepCopy);
    if (err == 0) err = CopyContents(from, to, false);
    if (err == 0 && ::fsync(to) != 0) err = errno;
    if (::close(to) != 0 && err == 0) err = errno;
    if (err == 0) {
      copyName_ = name;
      break;
    }
    ::unlink(name.c_str());
  }
  if (from >= 0) ::close(from);
  if (copyName_.empty()) {
    CloseFd();
    way_ = wyNone;
    throw EFCreateError(Format("Cannot save file \"%s\": no copy of its contents could be kept to write it in place. %s",
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
  if (!copyName_.empty()) ::unlink(copyName_.c_str());
  copyName_.clear();
  committed_ = true;
}

bool TSafeFileStream::PutBack() {
  if (Fault(TSafeSaveStep::PutBack) != 0) return false;
  int from = ::open(copyName_.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return false;
  int err = CopyContents(from, fd_, true);
  ::close(from);
  if (err == 0 && ::ftruncate(fd_, old_.st_size) != 0) err = errno;
  if (err == 0 && ::fsync(fd_) != 0) err = errno;
  return err == 0;
}

void TSafeFileStream::Fail(int err) {
  failed_ = true;
  message_ = Format("Stream write error on file \"%s\". %s", {fileName_, SysErrorMessage(err)});
  switch (way_) {
    case wyNewFile:
      if (!tempName_.empty()) ::unlink(tempName_.c_str());
      tempName_.clear();
      if (existed_) message_ += ". The file keeps its previous contents.";
      break;
    case wyInPlace:
      if (!touched_ || PutBack()) {
        // Gives back the room reserved beyond the old end, too.
        if (!touched_) (void)::ftruncate(fd_, old_.st_size);
        ::unlink(copyName_.c_str());
        copyName_.clear();
        message_ += touched_ ? ". Its previous contents were put back." : ". The file keeps its previous contents.";
      } else {
        message_ += Format(". Its previous contents could not be put back; a copy of them is kept in \"%s\".",
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

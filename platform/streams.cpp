#include "platform/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count != 0 && Read(Buffer, Count) != Count) throw EReadError(W1251("Ошибка чтения из потока."));
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count != 0 && Write(Buffer, Count) != Count) throw EWriteError(W1251("Ошибка записи в поток."));
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  int64_t result = Count;
  std::vector<char> buf(static_cast<size_t>(std::min<int64_t>(Count, 1 << 20)) + 1);
  while (Count > 0) {
    int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(buf.size()));
    Source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return result;
}

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  char* p = static_cast<char*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    ssize_t n = ::read(handle_, p + done, static_cast<size_t>(Count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  const char* p = static_cast<const char*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    ssize_t n = ::write(handle_, p + done, static_cast<size_t>(Count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      lastError_ = errno;
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(handle_, static_cast<off_t>(Offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t NewSize) {
  if (::ftruncate(handle_, static_cast<off_t>(NewSize)) != 0)
    throw EWriteError(W1251("Ошибка записи в поток. ") + SysErrorMessage(errno));
  if (Position() > NewSize) Seek(NewSize, soBeginning);
}

AnsiString FileTypeRefusal(unsigned Mode) {
  if (S_ISREG(Mode) || S_ISCHR(Mode)) return AnsiString();
  if (S_ISDIR(Mode)) return SysErrorMessage(EISDIR);
  if (S_ISFIFO(Mode)) return W1251("Это именованный канал, а не обычный файл.");
  if (S_ISSOCK(Mode)) return W1251("Это сокет, а не обычный файл.");
  if (S_ISBLK(Mode)) return W1251("Это блочное устройство (диск), а не обычный файл.");
  return W1251("Это не обычный файл.");
}

int OpenFileDescriptor(const std::string& Sys, int Flags, unsigned Perm, AnsiString& Reason) {
  // O_NONBLOCK: opening a named pipe would otherwise wait for a writer (or a reader) that may
  // never come. O_NOCTTY: a terminal never becomes the program's controlling terminal.
  int fd = ::open(Sys.c_str(), Flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, static_cast<mode_t>(Perm));
  struct stat st;
  if (fd < 0) {
    int err = errno;
    // A pipe without a reader, or a socket, refuses a non-blocking open with ENXIO: say what
    // the file is rather than the system's puzzling reason.
    if (err == ENXIO && ::stat(Sys.c_str(), &st) == 0 && !FileTypeRefusal(st.st_mode).empty())
      Reason = FileTypeRefusal(st.st_mode);
    else
      Reason = SysErrorMessage(err);
    errno = err;
    return -1;
  }
  if (::fstat(fd, &st) != 0) {
    int err = errno;
    ::close(fd);
    Reason = SysErrorMessage(err);
    errno = err;
    return -1;
  }
  Reason = FileTypeRefusal(st.st_mode);
  if (!Reason.empty()) {
    ::close(fd);
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  int fl = ::fcntl(fd, F_GETFL);
  if (fl >= 0) ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

bool ReadRegularFile(const std::string& Sys, std::string& Data) {
  Data.clear();
  int fd = ::open(Sys.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  char buf[65536];
  while (ok) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    Data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) Data.clear();
  return ok;
}

TFileStream::TFileStream(const AnsiString& FileName, unsigned Mode)
    : THandleStream(-1), fileName_(FileName) {
  std::string sys = ResolveSystemName(FileName);
  AnsiString reason;
  if (Mode == fmCreate) {
    handle_ = OpenFileDescriptor(sys, O_RDWR | O_CREAT | O_TRUNC, 0666, reason);
    if (handle_ < 0) throw EFCreateError(Format(W1251("Не удаётся создать файл \"%s\". %s"), {FileName, reason}));
    return;
  }
  int flags = (Mode & 3) == fmOpenWrite ? O_WRONLY : (Mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  handle_ = OpenFileDescriptor(sys, flags, 0, reason);
  if (handle_ < 0) throw EFOpenError(Format(W1251("Не удаётся открыть файл \"%s\". %s"), {FileName, reason}));
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

void TFileStream::ReadBuffer(void* Buffer, int64_t Count) {
  lastError_ = 0;
  if (Count != 0 && Read(Buffer, Count) != Count)
    throw EReadError(Format(W1251("Ошибка чтения файла \"%s\". %s"),
                            {fileName_, lastError_ ? SysErrorMessage(lastError_)
                                                   : W1251("Файл кончился раньше, чем ожидалось.")}));
}

void TFileStream::WriteBuffer(const void* Buffer, int64_t Count) {
  lastError_ = 0;
  if (Count != 0 && Write(Buffer, Count) != Count)
    throw EWriteError(Format(W1251("Ошибка записи в файл \"%s\". %s"),
                             {fileName_, SysErrorMessage(lastError_ ? lastError_ : EIO)}));
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  int64_t n = std::max<int64_t>(0, std::min<int64_t>(Count, Size() - pos_));
  if (n > 0) std::memcpy(Buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  if (pos_ + Count > Size()) data_.resize(static_cast<size_t>(pos_ + Count));
  std::memcpy(data_.data() + pos_, Buffer, static_cast<size_t>(Count));
  pos_ += Count;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? pos_ : Size();
  int64_t p = base + Offset;
  if (p < 0) return -1;
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, NewSize)));
  if (pos_ > NewSize) pos_ = NewSize;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  int64_t n = Stream->Size();
  data_.resize(static_cast<size_t>(n));
  if (n) Stream->ReadBuffer(data_.data(), n);
  pos_ = 0;
}

void TMemoryStream::LoadFromFile(const AnsiString& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&f);
}

void TMemoryStream::SaveToStream(TStream* Stream) {
  if (!data_.empty()) Stream->WriteBuffer(data_.data(), Size());
}

void TMemoryStream::SaveToFile(const AnsiString& FileName) {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f);
}

TStringStream::TStringStream(const AnsiString& s) {
  if (!s.empty()) {
    Write(s.data(), static_cast<int64_t>(s.size()));
    Seek(0, soBeginning);
  }
}

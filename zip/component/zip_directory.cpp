// The directory reader: finds the end-of-central-directory record and lists the archive's
// entries from the central directory, without the libraries.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "platform/kernel.h"
#include "platform/streams.h"
#include "zip/component/zip_keeper.h"
#include "zip/libs/common/zip_format.h"

namespace {

constexpr uint32_t kCentralSig = 0x02014B50, kEndSig = 0x06054B50, kSpanSig = 0x08074B50, kLocalSig = 0x04034B50;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16; }

// Whether a name holds UTF-8 beyond ASCII (the form Unix hosts store their names in), by the
// libraries' rule, so that the listing and the libraries read every name alike.
bool IsUtf8(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }) &&
         zipfmt::IsValidUtf8(s);
}

// The values the header saturates, from the Zip64 extra field (in its order: size, compressed
// size, offset, disk); a field that is missing or short leaves them as they are.
void ApplyZip64Extra(ZipDirEntry& e) {
  const auto* p = reinterpret_cast<const uint8_t*>(e.ExtraData.data());
  size_t n = e.ExtraData.size();
  for (size_t i = 0; i + 4 <= n;) {
    size_t len = Le16(p + i + 2), j = i + 4, end = std::min(n, j + len);
    if (Le16(p + i) == 0x0001) {
      auto take = [&](auto& field, uint64_t saturated, size_t width) {
        if (field != saturated || j + width > end) return;
        field = width == 8 ? Le32(p + j) | static_cast<uint64_t>(Le32(p + j + 4)) << 32 : Le32(p + j);
        j += width;
      };
      take(e.UncompressedSize, 0xFFFFFFFF, 8);
      take(e.CompressedSize, 0xFFFFFFFF, 8);
      take(e.LocalHeaderOffset, 0xFFFFFFFF, 8);
      take(e.DiskStart, 0xFFFF, 4);
      return;
    }
    i = j + len;
  }
}

bool ReadAt(int fd, int64_t pos, void* buf, size_t n) {
  return pread(fd, buf, n, static_cast<off_t>(pos)) == static_cast<ssize_t>(n);
}

}  // namespace

AnsiString ZipTextToAnsi(const std::string& Text, bool Cut) {
  bool utf8 = zipfmt::IsValidUtf8(Text);
  for (size_t k = 1; Cut && !utf8 && k <= 3 && k < Text.size(); ++k) utf8 = zipfmt::IsValidUtf8(Text.substr(0, Text.size() - k));
  return utf8 ? Utf8ToAnsi(Text) : AnsiString(Text);
}

int OpenZipFile(const AnsiString& FileName, int Flags, unsigned Perm) {
  AnsiString refusal;
  int fd = OpenFileDescriptor(AnsiToSystemName(FileName), Flags, Perm, refusal);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    errno = EINVAL;
    fd = -1;
  }
  return fd;
}

std::string ZipFileTarget(const AnsiString& FileName) { return zipfmt::LinkTarget(ResolveSystemName(FileName)); }

FILE* OpenZipFileForReading(const AnsiString& FileName) {
  int fd = OpenZipFile(FileName, O_RDONLY);
  FILE* f = fd < 0 ? nullptr : fdopen(fd, "rb");
  if (!f && fd >= 0) close(fd);
  return f;
}

AnsiString TZipKeeper::SetSlash(const AnsiString& Text, bool ToForward) {
  AnsiString r = Text;
  for (auto& c : r) {
    if (ToForward && c == '\\') c = '/';
    else if (!ToForward && c == '/') c = '\\';
  }
  return r;
}

AnsiString TZipKeeper::DelimitPath(const AnsiString& Path, bool Separator) {
  if (Path.empty()) return Separator ? AnsiString("\\") : AnsiString();
  size_t last = Path.find_last_of("/\\");
  char sep = last == AnsiString::npos ? '\\' : Path[last];
  bool has = Path.back() == '/' || Path.back() == '\\';
  if (Separator && !has) return Path + sep;
  if (!Separator && has) return Path.substr(0, Path.size() - 1);
  return Path;
}

AnsiString TZipKeeper::ConvertOEM(const AnsiString& Text, bool ToOEM) const {
  bool convert = (CodePage == cpAuto && readHost_ == 0) || readHost_ == 6 || (readHost_ == 11 && readMadeBy_ == 50) ||
                 CodePage == cpOEM;
  if (!convert) return Text;
  return ToOEM ? CharToOem(Text) : OemToChar(Text);
}

void TZipKeeper::ClearDirectory() {
  dir_.clear();
  zipComment_.clear();
  fileSize_ = archiveEnd_ = eocPosition_ = centralOffset_ = dataStart_ = 0;
  lastDisk_ = dirOnlyCount_ = 0;
  spanned_ = offsetMismatch_ = false;
  CloseVolumes();
}

bool TZipKeeper::OpenEOC(const AnsiString& FileName, bool RaiseErrors) {
  zipComment_.clear();
  eocPosition_ = 0;
  if (eocFile_ >= 0) close(eocFile_);
  // Never waits on a named pipe: only a regular file is read as an archive.
  eocFile_ = OpenZipFile(FileName, O_RDONLY);
  if (eocFile_ < 0) {
    if (RaiseErrors) throw EZipKeeper(11001, FileName);
    ShowZipMessage(11002, AnsiString());
    return false;
  }
  uint8_t head[8];
  bool firstVolume = ReadAt(eocFile_, 0, head, 8) && Le32(head) == kSpanSig && Le32(head + 4) == kLocalSig;
  firstVolume_ = firstVolume;
  if (firstVolume) spanned_ = true;
  try {
    off_t size = lseek(eocFile_, 0, SEEK_END);
    if (size >= 22) {
      fileSize_ = archiveEnd_ = size;
      if (ReadAt(eocFile_, size - 22, eoc_, 22) && Le32(eoc_) == kEndSig && Le16(eoc_ + 20) == 0) {
        eocPosition_ = size - 22;
        return true;
      }
      int64_t window = std::min<int64_t>(size, 65557);
      std::vector<uint8_t> buf(static_cast<size_t>(window));
      if (lseek(eocFile_, size - window, SEEK_SET) < 0) throw EZipKeeper(11008, true);
      if (!ReadAt(eocFile_, size - window, buf.data(), buf.size())) throw EZipKeeper(11011, true);
      // From the last 22 bytes on: an end record there may give a comment that the file cut off.
      for (int64_t i = window - 22; i >= 0; --i) {
        if (Le32(&buf[static_cast<size_t>(i)]) != kEndSig) continue;
        eocPosition_ = size - window + i;
        std::memcpy(eoc_, &buf[static_cast<size_t>(i)], 22);
        int64_t commentLen = Le16(eoc_ + 20);
        int64_t expectedEnd = i + 22 + commentLen;
        // A comment that runs past the end is taken as far as it goes; the archive ends with the
        // file. Only data after the comment moves the archive's end.
        if (expectedEnd < window) {
          archiveEnd_ += expectedEnd - window;
          bool padding = size % 512 == 0 && size - archiveEnd_ < 512 && size > archiveEnd_;
          for (int64_t k = std::max<int64_t>(expectedEnd, 0); padding && k < window; ++k) padding = buf[static_cast<size_t>(k)] == 0;
          if (!padding) ShowZipMessage(10204, AnsiString());
        }
        int64_t avail = std::min<int64_t>(commentLen, window - i - 22);
        if (avail > 0) zipComment_.assign(reinterpret_cast<const char*>(&buf[static_cast<size_t>(i + 22)]), static_cast<size_t>(avail));
        return true;
      }
    }
  } catch (const EZipKeeper&) {
    if (RaiseErrors) {
      close(eocFile_);
      eocFile_ = -1;
      throw;
    }
  }
  close(eocFile_);
  eocFile_ = -1;
  if (!RaiseErrors) return false;
  // Which volume of a spanned set this might be, from its extension (".Z01") or the three
  // characters before the extension ("ARCH002.ZIP").
  AnsiString ext = AnsiUpperCase(ExtractFileExt(FileName));
  AnsiString stem = ChangeFileExt(ExtractFileName(FileName), "");
  int d = 0;
  if (ext.size() >= 2 && ext.compare(0, 2, ".Z") == 0) d = StrToIntDef(ext.substr(2), 0);
  else if (stem.size() >= 3) d = StrToIntDef(stem.substr(stem.size() - 3), 0);
  if (!firstVolume && d > 0) throw EZipKeeper(11038, d);
  if (!firstVolume) throw EZipKeeper(11036, true);
  if (d == 1) throw EZipKeeper(11037, true);
  throw EZipKeeper(11045, true);
}

void TZipKeeper::ReadDirectory() {
  if (ComponentState() & (csDesigning | csLoading)) return;
  ClearDirectory();
  errCode_ = 0;
  if (zipFileName_.empty() || !FileExists(zipFileName_)) {
    CallEvent(OnDirUpdate, this);
    return;
  }
  try {
    CheckDrive(zipFileName_);
    OpenEOC(zipFileName_, true);
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
  }
  if (eocFile_ >= 0) {
    try {
      lastDisk_ = Le16(eoc_ + 4);
      if (lastDisk_ != 0) spanned_ = true;
      uint64_t count = Le16(eoc_ + 10), dirSize = Le32(eoc_ + 12), stored = Le32(eoc_ + 16);
      // Between the directory and the archive's end: the end record and the comment as far as
      // the file holds it.
      int64_t before = 22 + static_cast<int64_t>(zipComment_.size());
      // Archives beyond the 16- and 32-bit fields keep the true values in a Zip64 end record,
      // and Info-ZIP writes one beside real values too (piped input): whenever the locator
      // before the end record points at one that agrees with the values the end record holds in
      // full, its values hold. A stub in front moves the record from where the locator says;
      // then it is looked for right before the locator.
      uint64_t pos64 = 0;
      uint32_t dirDisk64 = Le16(eoc_ + 6);
      auto read = [this](uint64_t pos, void* buf, size_t n) { return ReadAt(eocFile_, static_cast<int64_t>(pos), buf, n); };
      if (eocPosition_ >= 0 && zipfmt::FindZip64End(read, static_cast<uint64_t>(eocPosition_), count, dirSize, stored,
                                                    pos64, &dirDisk64) == zipfmt::TZip64End::Taken)
        before += eocPosition_ - static_cast<int64_t>(pos64);
      // The directory is read from the volume it starts on, across the following ones.
      spanName_ = zipFileName_;
      totalDisks_ = diskNr_ = lastDisk_;
      inFile_ = eocFile_;
      eocFile_ = -1;
      readingSet_ = true;
      int dirDisk = static_cast<int>(std::min<uint32_t>(dirDisk64, 0xFFFF));
      dataStart_ = archiveEnd_ == 22 ? 0 : archiveEnd_;
      if (dirDisk == lastDisk_) {
        centralOffset_ = archiveEnd_ - static_cast<int64_t>(dirSize) - before;
        if (static_cast<int64_t>(stored) != centralOffset_) {
          offsetMismatch_ = true;
          ShowZipMessage(10203, AnsiString());
        }
      } else {
        if (dirDisk > lastDisk_) throw EZipKeeper(11013, true);
        GetNewDisk(dirDisk);
        struct stat st {};
        if (fstat(inFile_, &st) == 0) fileSize_ = st.st_size;
        centralOffset_ = static_cast<int64_t>(stored);
      }
      if (centralOffset_ < 0) throw EZipKeeper(10201, true);
      SeekInput(centralOffset_, 10201);
      for (uint64_t k = 0; k < count; ++k) {
        uint8_t h[46];
        ReadInput(h, 46, 11013);
        if (Le32(h) != kCentralSig) throw EZipKeeper(11015, true);
        auto e = std::make_unique<ZipDirEntry>();
        e->VersionMadeBy = h[4];
        e->HostSystem = h[5];
        e->VersionNeeded = Le16(h + 6);
        e->Flags = Le16(h + 8);
        e->Method = Le16(h + 10);
        e->DosDateTime = Le32(h + 12);
        e->Crc32 = Le32(h + 16);
        e->CompressedSize = Le32(h + 20);
        e->UncompressedSize = Le32(h + 24);
        e->NameLength = Le16(h + 28);
        e->ExtraLength = Le16(h + 30);
        e->CommentLength = Le16(h + 32);
        e->DiskStart = Le16(h + 34);
        e->InternalAttributes = Le16(h + 36);
        e->ExternalAttributes = Le32(h + 38);
        e->LocalHeaderOffset = Le32(h + 42);
        std::string name(e->NameLength, '\0'), extra(e->ExtraLength, '\0'), comment(e->CommentLength, '\0');
        ReadInput(name.data(), name.size(), 11017);
        readHost_ = e->HostSystem;
        readMadeBy_ = e->VersionMadeBy;
        // Names marked as UTF-8 come in the program's code page; others by their host.
        bool utf8 = (e->Flags & 0x800) || (e->HostSystem == 3 && IsUtf8(name));
        e->FileName = SetSlash(utf8 ? Utf8ToAnsi(name) : ConvertOEM(name, false), PathDelim == '/');
        e->Encrypted = e->Flags & 1;
        ReadInput(extra.data(), extra.size(), 10201);
        e->ExtraData = extra;
        ApplyZip64Extra(*e);
        ReadInput(comment.data(), comment.size(), 11022);
        e->FileComment = utf8 ? Utf8ToAnsi(comment) : ConvertOEM(comment, false);
        int64_t local = e->LocalHeaderOffset;
        bool dirOnly = !e->FileName.empty() && (e->FileName.back() == '/' || e->FileName.back() == '\\');
        if (UseDirOnlyEntries || !dirOnly) {
          dir_.push_back(std::move(e));
          CallEvent(OnNewName, this, static_cast<int>(dir_.size()), *dir_.back());
        } else {
          ++dirOnlyCount_;
        }
        if (local < dataStart_) dataStart_ = local;
      }
    } catch (const EZipKeeper& e) {
      ShowExceptionError(e);
    } catch (const std::bad_alloc&) {
      ShowZipMessage(10103, AnsiString());
    } catch (const std::exception& e) {
      ShowZipMessage(10202, e.what());
    }
  }
  CloseVolumes();
  CallEvent(OnDirUpdate, this);
}

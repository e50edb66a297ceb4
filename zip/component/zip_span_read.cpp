// Reading a volume set: the last volume is found by its end record, then every volume is read
// in turn and joined into one ordinary archive that the unzip library can read, every header
// pointing at disk 0 and its offset in the joined file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "platform/kernel.h"
#include "platform/streams.h"
#include "zip/component/zip_keeper.h"
#include "zip/component/zip_volume_list.h"
#include "zip/libs/common/zip_format.h"

using zipfmt::Get16;
using zipfmt::Get32;

namespace {

constexpr uint32_t kSpanSig = 0x08074B50;
constexpr size_t kInputBlock = 1 << 20;
constexpr size_t kCopyBlock = 1 << 20;

void Set16(uint8_t* p, uint32_t v) { p[0] = v & 0xFF, p[1] = v >> 8 & 0xFF; }
void Set32(uint8_t* p, uint32_t v) { Set16(p, v & 0xFFFF), Set16(p + 2, v >> 16); }

// The joined archive: written in order, its position known.
class TJoinedFile {
public:
  explicit TJoinedFile(int fd) : fd_(fd) {}
  void Write(const void* data, size_t n, int id) {
    auto* p = static_cast<const char*>(data);
    while (n > 0) {
      ssize_t k = write(fd_, p, n);
      if (k < 0 && errno == EINTR) continue;
      if (k <= 0) throw EZipKeeper(id, true);
      p += k, n -= static_cast<size_t>(k), pos_ += k;
    }
  }
  int64_t Position() const { return pos_; }

private:
  int fd_;
  int64_t pos_ = 0;
};

}  // namespace

// ------------------------------------------------------------------------------ input volumes

void TZipKeeper::ReadInput(void* Buffer, size_t Length, int Id) {
  auto* dst = static_cast<char*>(Buffer);
  while (Length > 0) {
    if (inAt_ == inLen_) {
      if (inBuf_.size() < kInputBlock) inBuf_.resize(kInputBlock);
      // Large reads (entry data) go straight to the caller, small ones (headers) through the buffer.
      bool direct = Length >= inBuf_.size();
      ssize_t k = inFile_ < 0 ? -1 : read(inFile_, direct ? dst : inBuf_.data(), direct ? Length : inBuf_.size());
      if (k < 0 && errno == EINTR) continue;
      inAt_ = 0;
      inLen_ = k > 0 && !direct ? static_cast<size_t>(k) : 0;
      if (k > 0 && direct) {
        dst += k, Length -= static_cast<size_t>(k);
        continue;
      }
      if (k <= 0) {
        // A volume ends: what is left comes from the next one, up to the last.
        if (readingSet_ && diskNr_ < totalDisks_) {
          GetNewDisk(diskNr_ + 1);
          continue;
        }
        throw EZipKeeper(Id, true);
      }
    }
    size_t take = std::min(Length, inLen_ - inAt_);
    std::memcpy(dst, inBuf_.data() + inAt_, take);
    inAt_ += take, dst += take, Length -= take;
  }
}

void TZipKeeper::SeekInput(int64_t Position, int Id) {
  inAt_ = inLen_ = 0;
  if (inFile_ < 0 || lseek(inFile_, static_cast<off_t>(Position), SEEK_SET) < 0) throw EZipKeeper(Id, true);
}

void TZipKeeper::GetNewDisk(int Disk) {
  if (inFile_ >= 0) close(inFile_);
  inFile_ = -1;
  inAt_ = inLen_ = 0;
  diskNr_ = Disk;
  // On a fixed disk the volumes are numbered files beside the last one.
  AnsiString name = VolumeName(spanName_, Disk, totalDisks_, true);
  if (Verbose) CallEvent(OnMessage, this, 0, "Trace : GetNewDisk Opening " + name);
  inFile_ = OpenZipFile(name, O_RDONLY);
  if (inFile_ < 0) throw EZipKeeper(11001, name);
}

int TZipKeeper::GetLastVolume(const AnsiString& FileName, bool MayBeMissing, AnsiString& Found) {
  Found = FileName;
  int number = 0;
  try {
    CheckDrive(FileName);
    if (!FileExists(FileName)) {
      // The numbered volumes of the name: the last one that exists holds the end record.
      AnsiString stem = ChangeFileExt(FileName, "");
      char num[16];
      for (int k = 1; k <= 999; ++k) {
        snprintf(num, sizeof num, "%.3d", k);
        if (!FileExists(stem + num + ".zip")) break;
        Found = stem + num + ".zip";
        number = k;
      }
      // A first volume named as Info-ZIP names them: the last one, the name itself, is missing.
      if (number == 0 && FileExists(stem + ".z01")) throw EZipKeeper(11002, true);
      if (number == 0) {
        if (MayBeMissing) return 1;
        throw EZipKeeper(11002, true);
      }
    }
    if (OpenEOC(Found, false)) {
      int disk = Get16(eoc_ + 4);
      if (number > 0 && !firstVolume_ && disk == 0) throw EZipKeeper(11002, true);
      if (number > 0 && driveFixed_ && disk != number - 1) throw EZipKeeper(11036, true);
      return 0;
    }
    throw EZipKeeper(number > 0 ? 11002 : 11036, true);
  } catch (const EZipKeeper& e) {
    if (!MayBeMissing) ShowExceptionError(e);
  }
  if (eocFile_ >= 0) close(eocFile_);
  eocFile_ = -1;
  return -1;
}

// ------------------------------------------------------------------------------ joining

int TZipKeeper::ReadSpan(const AnsiString& InFileName, AnsiString& OutFilePath) {
  errCode_ = 0;
  bool wasBusy = busyUnzip_;
  busyUnzip_ = true;
  diskNr_ = -1;
  int result = 0;
  int joinedFd = -1;
  bool created = false;
  try {
    if (!ExtractFileName(OutFilePath).empty()) {
      // A name given through a symbolic link: the file it leads to goes, the link stays.
      unlink(ZipFileTarget(OutFilePath).c_str());
      OutFilePath = ChangeFileExt(OutFilePath, ".zip");
    } else {
      OutFilePath = MakeTempFileName("zip", ".zip");
      if (OutFilePath.empty()) throw EZipKeeper(11027, true);
    }
    AnsiString last;
    int r = GetLastVolume(InFileName, false, last);
    if (r == 1) throw EZipKeeper(11007, false);
    if (r < 0) {
      result = -9;
    } else {
      struct stat st {};
      fstat(eocFile_, &st);
      setDate_ = st.st_mtim;
      uint8_t eoc[22];
      std::memcpy(eoc, eoc_, 22);
      std::string comment = zipComment_;
      // Sets beyond the end record's 16- and 32-bit fields carry a Zip64 end record beside it.
      uint64_t count = Get16(eoc + 10), dirSize = Get32(eoc + 12), dirOffset = Get32(eoc + 16), pos64 = 0;
      uint32_t dirDisk64 = Get16(eoc + 6);
      int fd = eocFile_;
      auto read = [fd](uint64_t pos, void* buf, size_t n) {
        return pread(fd, buf, n, static_cast<off_t>(pos)) == static_cast<ssize_t>(n);
      };
      if (zipfmt::FindZip64End(read, static_cast<uint64_t>(eocPosition_), count, dirSize, dirOffset, pos64, &dirDisk64) ==
          zipfmt::TZip64End::Refused)
        throw EZipKeeper(11013, true);
      spanName_ = last;
      totalDisks_ = diskNr_ = Get16(eoc + 4);
      inFile_ = eocFile_;
      eocFile_ = -1;
      readingSet_ = true;
      int dirDisk = static_cast<int>(std::min<uint32_t>(dirDisk64, 0xFFFF));
      if (dirDisk > totalDisks_) throw EZipKeeper(11013, true);
      if (dirDisk != diskNr_) GetNewDisk(dirDisk);
      SeekInput(dirOffset, 11008);

      // The directory first: names and sizes of the entries. The joined archive holds no Zip64
      // values: an entry that needs them, or entries that would take it to 4 GB, are refused
      // before anything is copied or made.
      TMZipDataList list(static_cast<size_t>(count));
      uint64_t total = 0, joinedSize = 0;
      std::string var;
      for (uint64_t k = 0; k < count; ++k) {
        uint8_t h[46];
        ReadInput(h, 46, 11013);
        if (Get32(h) != zipfmt::kCentralSig) throw EZipKeeper(11015, true);
        var.resize(static_cast<size_t>(Get16(h + 28)) + Get16(h + 30) + Get16(h + 32));
        ReadInput(var.data(), var.size(), 11017);
        std::string name = var.substr(0, Get16(h + 28));
        if (zipfmt::CentralNeedsZip64(h)) throw EZipKeeper(11048, SetSlash(ZipTextToAnsi(name), false));
        MZipData& d = list.Add(name);
        d.ComprSize = Get32(h + 20);
        total += var.size() + d.ComprSize;
        // Its local header (with a data descriptor at most), data and central header.
        joinedSize += 30 + name.size() + d.ComprSize + 16 + 46 + var.size();
      }
      if (joinedSize >= 0xFFFFFFFF) throw EZipKeeper(11048, last);

      joinedFd = OpenZipFile(OutFilePath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (joinedFd < 0) throw EZipKeeper(11009, OutFilePath);
      created = true;
      TJoinedFile joined(joinedFd);

      GetNewDisk(0);
      showProgress_ = true;
      Dispatch(kcbTotalFiles, 0, static_cast<int64_t>(count), AnsiString());
      Dispatch(kcbTotalSize, 0, static_cast<int64_t>(total), AnsiString());
      uint8_t marker[4];
      ReadInput(marker, 4, 11031);
      if (Get32(marker) != kSpanSig) throw EZipKeeper(11031, true);
      const AnsiString copying = DiskText(10105, "Copying: ");
      std::vector<char> block(kCopyBlock);
      std::string header;
      for (uint64_t k = 0; k < count; ++k) {
        header.resize(30);
        ReadInput(header.data(), 30, 11012);
        if (Get32(reinterpret_cast<const uint8_t*>(header.data())) != zipfmt::kLocalSig) throw EZipKeeper(11014, true);
        auto* h = reinterpret_cast<const uint8_t*>(header.data());
        size_t nameLen = Get16(h + 26), extraLen = Get16(h + 28);
        uint16_t flags = Get16(h + 6);
        uint32_t compressed = Get32(h + 18);
        header.resize(30 + nameLen);
        ReadInput(header.data() + 30, nameLen, 11016);
        std::string name = header.substr(30);
        MZipData& d = list.Items(list.IndexOf(name));
        d.DiskNo = 0;
        // Offsets and sizes kept in Zip64 fields are beyond what the joined headers can point at.
        if (static_cast<uint64_t>(joined.Position()) >= 0xFFFFFFFF || compressed == 0xFFFFFFFF) throw EZipKeeper(11028, true);
        d.RelOffLocal = static_cast<uint32_t>(joined.Position());
        uint64_t data = compressed != 0 ? compressed : d.ComprSize;
        AnsiString shown = SetSlash(ZipTextToAnsi(name), false);
        SpanMessage(copying + shown);
        Dispatch(kcbNewItem, 0, static_cast<int64_t>(30 + nameLen + extraLen + data), shown);
        joined.Write(header.data(), header.size(), 11028);
        header.resize(extraLen);
        ReadInput(header.data(), extraLen, 11018);
        joined.Write(header.data(), extraLen, 11028);
        while (data > 0) {
          size_t n = static_cast<size_t>(std::min<uint64_t>(data, block.size()));
          ReadInput(block.data(), n, 11021);
          joined.Write(block.data(), n, 11028);
          if (showProgress_) Dispatch(kcbProgress, 0, static_cast<int64_t>(n), AnsiString());
          data -= n;
        }
        if (flags & zipfmt::kFlagDescriptor) {
          // The descriptor's signature is optional: 16 bytes with it, 12 without.
          uint8_t desc[16];
          ReadInput(desc, 12, 11020);
          size_t n = 12;
          if (Get32(desc) == zipfmt::kDescriptorSig) ReadInput(desc + 12, 4, 11020), n = 16;
          joined.Write(desc, n, 11028);
        }
      }
      Dispatch(kcbEndOfBatch, 0, 0, AnsiString());
      showProgress_ = false;
      Dispatch(kcbTotalFiles, 0, 1, AnsiString());
      Dispatch(kcbTotalSize, 0, static_cast<int64_t>(count), AnsiString());

      if (diskNr_ != dirDisk) GetNewDisk(dirDisk);
      SeekInput(static_cast<int64_t>(dirOffset), 11008);
      uint64_t newDirOffset = static_cast<uint64_t>(joined.Position());
      if (newDirOffset >= 0xFFFFFFFF) throw EZipKeeper(11029, true);
      for (uint64_t k = 0; k < count; ++k) {
        uint8_t h[46];
        ReadInput(h, 46, 11013);
        if (Get32(h) != zipfmt::kCentralSig) throw EZipKeeper(11015, true);
        const MZipData& d = list.Items(static_cast<int>(k));
        Set16(h + 34, 0);
        Set32(h + 42, d.RelOffLocal);
        size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
        header.resize(nameLen);
        ReadInput(header.data(), nameLen, 11013);
        joined.Write(h, 46, 11029);
        joined.Write(header.data(), nameLen, 11029);
        header.resize(extraLen);
        ReadInput(header.data(), extraLen, 11019);
        joined.Write(header.data(), extraLen, 11029);
        header.resize(commentLen);
        ReadInput(header.data(), commentLen, 11022);
        joined.Write(header.data(), commentLen, 11029);
      }
      // One disk now, holding every entry; more than the end record counts go to a Zip64 record.
      uint64_t newDirEnd = static_cast<uint64_t>(joined.Position());
      bool zip64 = count >= 0xFFFF;
      if (zip64) {
        std::string records = zipfmt::Zip64EndRecords(0, 0, count, count, newDirEnd - newDirOffset, newDirOffset, newDirEnd, 1);
        joined.Write(records.data(), records.size(), 11030);
      }
      Set16(eoc + 4, 0);
      Set16(eoc + 6, 0);
      Set16(eoc + 8, zip64 ? 0xFFFF : static_cast<uint32_t>(count));
      Set16(eoc + 10, zip64 ? 0xFFFF : static_cast<uint32_t>(count));
      Set32(eoc + 12, static_cast<uint32_t>(std::min<uint64_t>(newDirEnd - newDirOffset, 0xFFFFFFFF)));
      Set32(eoc + 16, static_cast<uint32_t>(newDirOffset));
      joined.Write(eoc, 22, 11030);
      if (comment.size() != Get16(eoc + 20)) throw EZipKeeper(11023, true);
      joined.Write(comment.data(), comment.size(), 11023);
    }
  } catch (const std::exception&) {
    result = SpanFailure();
  }
  EndSpanBatch();
  CloseVolumes();
  if (joinedFd >= 0) {
    struct timespec times[2] = {setDate_, setDate_};
    futimens(joinedFd, times);
    close(joinedFd);
  }
  if (result != 0) {
    if (created) unlink(ZipFileTarget(OutFilePath).c_str());
    OutFilePath.clear();
  }
  busyUnzip_ = wasBusy;
  return result;
}

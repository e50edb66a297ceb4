// Writing a volume set: the archive the zip library built is copied out volume by volume; every
// local header stays whole on one volume, and the central directory and the end record are
// rewritten with the disk and offset where each part went.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "platform/application.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/kernel.h"
#include "zip/component/zip_keeper.h"
#include "zip/component/zip_volume_list.h"
#include "zip/libs/common/zip_format.h"

using zipfmt::Get16;
using zipfmt::Get32;

namespace {

constexpr uint32_t kSpanSig = 0x08074B50;
// Entry data is copied in blocks of this size.
constexpr size_t kCopyBlock = 1 << 20;

void Set16(uint8_t* p, uint32_t v) { p[0] = v & 0xFF, p[1] = v >> 8 & 0xFF; }
void Set32(uint8_t* p, uint32_t v) { Set16(p, v & 0xFFFF), Set16(p + 2, v >> 16); }

// The name the writer gives volume Disk (0-based) of the set FileName names, save the last one
// of Info-ZIP's naming; StripDigits first removes the three characters before the extension.
AnsiString NumberedVolume(const AnsiString& FileName, int Disk, bool Compat, bool StripDigits) {
  char num[16];
  if (Compat) {
    snprintf(num, sizeof num, ".z%.2d", Disk + 1);
    return ChangeFileExt(FileName, num);
  }
  AnsiString ext = ExtractFileExt(FileName);
  AnsiString stem = FileName.substr(0, FileName.size() - ext.size());
  if (StripDigits) stem.resize(stem.size() >= 3 ? stem.size() - 3 : 0);
  snprintf(num, sizeof num, "%.3d", Disk + 1);
  return stem + num + ext;
}

// Whether Name is one the writer gives a volume of the set FileName names, in either naming.
bool IsNumberedVolume(const AnsiString& FileName, const AnsiString& Name) {
  size_t extLength = ExtractFileExt(FileName).size();
  for (bool compat : {false, true}) {
    if (!compat && Name.size() < extLength) continue;
    size_t end = Name.size() - (compat ? 0 : extLength);
    // Volume numbers run from 1 to 65535: five digits at most.
    for (size_t digits = 1; digits <= 5 && digits <= end; ++digits) {
      if (!isdigit(static_cast<unsigned char>(Name[end - digits]))) break;
      int disk = std::stoi(Name.substr(end - digits, digits)) - 1;
      if (disk >= 0 && disk <= 0xFFFE && NumberedVolume(FileName, disk, compat, false) == Name) return true;
    }
  }
  return false;
}

bool WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t k = write(fd, p, n);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return false;
    p += k, n -= static_cast<size_t>(k);
  }
  return true;
}

// Puts a finished volume in place of the file To: renamed onto it, or, when To lies on another
// file system, copied beside it and that copy renamed onto it; the volume goes once To holds it.
bool MoveVolume(const std::string& From, const std::string& To, const struct timespec& Date) {
  if (rename(From.c_str(), To.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  size_t slash = To.find_last_of('/');
  std::string copy = (slash == std::string::npos ? std::string() : To.substr(0, slash + 1)) + ".zip-XXXXXX";
  int out = mkstemp(copy.data());
  if (out < 0) return false;
  int in = open(From.c_str(), O_RDONLY | O_CLOEXEC);
  bool ok = in >= 0;
  std::vector<char> block(kCopyBlock);
  for (ssize_t n = 1; ok && n > 0;) {
    n = read(in, block.data(), block.size());
    ok = n >= 0 && WriteAll(out, block.data(), static_cast<size_t>(std::max<ssize_t>(n, 0)));
  }
  if (in >= 0) close(in);
  struct timespec times[2] = {Date, Date};
  mode_t um = umask(0);
  umask(um);
  ok = ok && fchmod(out, 0666 & ~um) == 0 && futimens(out, times) == 0 && fsync(out) == 0;
  ok = close(out) == 0 && ok && rename(copy.c_str(), To.c_str()) == 0;
  if (!ok) {
    unlink(copy.c_str());
    return false;
  }
  unlink(From.c_str());
  return true;
}

}  // namespace

// ------------------------------------------------------------------------------ shared

AnsiString TZipKeeper::DiskText(int Id, const char* Fallback) {
  AnsiString s = ZipLoadStr(Id);
  return s.empty() ? AnsiString(Fallback) : s;
}

void TZipKeeper::SpanMessage(const AnsiString& Text) { Dispatch(kcbMessage, 0, 0, Text); }

AnsiString TZipKeeper::VolumeName(const AnsiString& FileName, int Disk, int LastDisk, bool StripDigits) const {
  bool compat = SpanOptions.Contains(spCompatName);
  if (compat && Disk == LastDisk) return ChangeFileExt(FileName, ".zip");
  return NumberedVolume(FileName, Disk, compat, StripDigits);
}

std::vector<std::string> TZipKeeper::OwnVolumes(const AnsiString& FileName) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  AnsiString folder = ExtractFilePath(FileName);
  std::error_code ec;
  fs::directory_iterator it(AnsiToSystemName(folder.empty() ? AnsiString(".") : folder), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    AnsiString name;
    try {
      name = folder + SystemNameToAnsi(it->path().filename().string());
    } catch (const EConvertError&) {
      continue;
    }
    if (name != FileName && !IsNumberedVolume(FileName, name)) continue;
    fs::path full = fs::absolute(it->path(), ec);
    if (!ec) found.push_back(full.string());
  }
  return found;
}

void TZipKeeper::CheckDrive(const AnsiString& FileName) {
  diskFree_ = diskSize_ = -1;
  std::error_code ec;
  auto full = std::filesystem::absolute(AnsiToSystemName(FileName), ec);
  driveRoot_ = ec ? ExtractFileDir(FileName) : SystemNameToAnsi(full.parent_path().string());
  unsigned type = GetDriveType(driveRoot_);
  if (type == DRIVE_NO_ROOT_DIR) throw EZipKeeper(11004, driveRoot_);
  driveFixed_ = type != DRIVE_REMOVABLE;
  GetDiskFreeSpaceEx(driveRoot_, diskFree_, diskSize_);
}

int64_t TZipKeeper::GetFreeSpace() {
  GetDiskFreeSpaceEx(driveRoot_, diskFree_, diskSize_);
  return diskFree_;
}

void TZipKeeper::CloseVolumes() {
  if (outFile_ >= 0) close(outFile_);
  if (inFile_ >= 0) close(inFile_);
  if (eocFile_ >= 0) close(eocFile_);
  outFile_ = inFile_ = eocFile_ = -1;
  inBuf_.clear();
  inAt_ = inLen_ = 0;
  showProgress_ = readingSet_ = false;
}

// ------------------------------------------------------------------------------ writing

TZipDiskAction TZipKeeper::AskStatus(int Number, const AnsiString& Name, TZipDiskStatus Status) {
  TZipDiskAction a = zdaOk;
  OnStatusDisk(this, Number, Name, Status, a);
  return a;
}

void TZipKeeper::OpenVolume() {
  for (;;) {
    // Every volume here lies on a fixed disk: no disk is asked for, erased or labelled.
    if (diskNr_ > 0xFFFE) throw EZipKeeper(11010, outFileName_);
    outFileName_ = VolumeName(spanName_, diskNr_, -1, false);
    int number = diskNr_ + 1;
    TZipDiskStatus status;
    bool exists = FileExists(outFileName_);
    if (exists) {
      if (Unattended) throw EZipKeeper(11025, true);
      status.Include(zdsSameFileName);
    }
    if (OnStatusDisk.Assigned()) {
      TZipDiskAction a = AskStatus(number, outFileName_, status);
      if (a == zdaReject || a == zdaCancel) throw EZipKeeper(11007, false);
    } else if (exists) {
      AnsiString text = Format(DiskText(11039, "Overwrite previous file %s"), {outFileName_});
      int r = MessageBox(Application->MainForm(), text, DiskText(11102, "Confirm"), MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2);
      if (r != IDYES) throw EZipKeeper(11007, false);
    }
    outFile_ = OpenZipFile(outFileName_, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (outFile_ < 0) throw EZipKeeper(11009, outFileName_);
    volumePos_ = 0;
    int64_t free = GetFreeSpace();
    if (free >= 0) {
      free -= KeepFreeOnAllDisks;
      if (diskNr_ == 0) free -= KeepFreeOnDisk1;
    }
    if (MaxVolumeSize > 0 && free > MaxVolumeSize) free = MaxVolumeSize;
    // A volume that could take no byte at all would start an endless row of empty volumes.
    if (free < std::max<int64_t>(MinFreeVolumeSize, 1)) {
      close(outFile_);
      outFile_ = -1;
      unlink(ZipFileTarget(outFileName_).c_str());
      if (Unattended) throw EZipKeeper(11025, true);
      bool retry;
      if (OnStatusDisk.Assigned()) {
        retry = AskStatus(number, outFileName_, {zdsNotEnoughSpace}) != zdaCancel;
      } else {
        retry = MessageBox(Application->MainForm(), DiskText(11032, "This disk has not enough free space available"),
                           Application->Title(), MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY;
      }
      if (!retry) throw EZipKeeper(11007, false);
      continue;
    }
    volumeFree_ = free;
    return;
  }
}

void TZipKeeper::PrepareVolume(int64_t KeepTogether) {
  for (;;) {
    if (outFile_ < 0) OpenVolume();
    // What must stay together goes to a fresh volume when it does not fit; on a fresh volume it
    // is written all the same, across the volume's end.
    if (KeepTogether <= volumeFree_ || volumePos_ == 0) return;
    FinishVolume();
    ++diskNr_;
  }
}

void TZipKeeper::FinishVolume() {
  if (outFile_ < 0) return;
  struct timespec times[2] = {setDate_, setDate_};
  futimens(outFile_, times);
  close(outFile_);
  outFile_ = -1;
}

void TZipKeeper::WriteSplit(const void* Data, int64_t Length, int64_t KeepTogether) {
  ProcessMessages();
  if (Cancel) throw EZipKeeper(11007, false);
  const char* p = static_cast<const char*>(Data);
  PrepareVolume(KeepTogether);
  for (;;) {
    int64_t n = std::min(volumeFree_, Length);
    if (!WriteAll(outFile_, p, static_cast<size_t>(n))) throw EZipKeeper(11010, outFileName_);
    volumePos_ += n, volumeFree_ -= n, p += n, Length -= n;
    if (showProgress_ && n > 0) Dispatch(kcbProgress, 0, n, AnsiString());
    if (Length == 0) return;
    FinishVolume();
    ++diskNr_;
    PrepareVolume(0);
  }
}

// The last volume of a set written with Info-ZIP's names takes the target's own name; a target
// named through a symbolic link is replaced where the link leads, and the link stays.
void TZipKeeper::MoveLastVolume() {
  bool replace = true;
  if (FileExists(spanName_)) {
    if (OnStatusDisk.Assigned()) {
      replace = AskStatus(diskNr_ + 1, spanName_, {zdsSameFileName}) == zdaOk;
    } else if (Unattended) {
      replace = false;
    } else {
      AnsiString text = Format(DiskText(11039, "Overwrite previous file %s"), {spanName_});
      replace = MessageBox(Application->MainForm(), text, DiskText(11102, "Confirm"), MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
    }
  }
  if (replace && MoveVolume(AnsiToSystemName(outFileName_), ZipFileTarget(spanName_), setDate_)) {
    outFileName_ = spanName_;
    return;
  }
  AnsiString text = "Last part left as : " + outFileName_;
  message_ = text;
  CallEvent(OnMessage, this, 11010, text);
}

int TZipKeeper::SpanFailure() {
  try {
    throw;
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
    return -7;
  } catch (const std::bad_alloc&) {
    ShowZipMessage(10103, AnsiString());
    return -8;
  } catch (const std::exception& e) {
    ShowZipMessage(11024, e.what());
    return -9;
  }
}

void TZipKeeper::EndSpanBatch() {
  showProgress_ = false;
  try {
    Dispatch(kcbEndOfBatch, 0, 0, AnsiString());
  } catch (const EZipKeeper&) {
  }
}

int TZipKeeper::WriteSpan(const AnsiString& InFileName, const AnsiString& OutFileName) {
  errCode_ = 0;
  message_.clear();
  bool wasBusy = busyZip_;
  busyZip_ = true;
  diskNr_ = 0;
  volumeFree_ = volumePos_ = 0;
  totalDisks_ = -1;
  if (ExtractFileName(OutFileName).empty()) {
    busyZip_ = wasBusy;
    throw EZipKeeper(11009, true);
  }
  if (!FileExists(InFileName)) {
    busyZip_ = wasBusy;
    throw EZipKeeper(11001, InFileName);
  }
  spanName_ = OutFileName;
  int result = 0;
  try {
    CheckDrive(OutFileName);
    OpenEOC(InFileName, true);
    struct stat st {};
    fstat(eocFile_, &st);
    setDate_ = st.st_mtim;
    uint8_t eoc[22];
    std::memcpy(eoc, eoc_, 22);
    std::string comment = zipComment_;
    // An archive beyond the end record's 16- and 32-bit fields has a Zip64 end record beside it.
    uint64_t count = Get16(eoc + 10), dirSize = Get32(eoc + 12), dirStart = Get32(eoc + 16), pos64 = 0;
    int fd = eocFile_;
    auto read = [fd](uint64_t pos, void* buf, size_t n) {
      return pread(fd, buf, n, static_cast<off_t>(pos)) == static_cast<ssize_t>(n);
    };
    if (zipfmt::FindZip64End(read, static_cast<uint64_t>(eocPosition_), count, dirSize, dirStart, pos64) ==
        zipfmt::TZip64End::Refused)
      throw EZipKeeper(11013, true);
    inFile_ = eocFile_;
    eocFile_ = -1;
    readingSet_ = false;
    // Volumes hold no Zip64 values: an entry or an archive that needs them is refused before
    // the first volume is made.
    if (dirStart >= 0xFFFFFFFF) throw EZipKeeper(11048, spanName_);
    SeekInput(static_cast<int64_t>(dirStart), 11008);
    std::string central;
    for (uint64_t k = 0; k < count; ++k) {
      central.resize(46);
      ReadInput(central.data(), 46, 11013);
      auto* h = reinterpret_cast<const uint8_t*>(central.data());
      if (Get32(h) != zipfmt::kCentralSig) throw EZipKeeper(11015, true);
      size_t nameLen = Get16(h + 28), rest = static_cast<size_t>(Get16(h + 30)) + Get16(h + 32);
      bool zip64 = zipfmt::CentralNeedsZip64(h);
      central.resize(46 + nameLen + rest);
      ReadInput(central.data() + 46, nameLen + rest, 11013);
      if (zip64) throw EZipKeeper(11048, SetSlash(ZipTextToAnsi(central.substr(46, nameLen)), false));
    }
    SeekInput(0, 11008);
    TMZipDataList list(static_cast<size_t>(count));

    uint8_t marker[4];
    Set32(marker, kSpanSig);
    WriteSplit(marker, 4, 0);
    showProgress_ = true;
    Dispatch(kcbTotalFiles, 0, static_cast<int64_t>(count), AnsiString());
    Dispatch(kcbTotalSize, 0, st.st_size, AnsiString());
    const AnsiString copying = DiskText(10105, "Copying: ");
    std::vector<char> block(kCopyBlock);
    for (uint64_t k = 0; k < count; ++k) {
      std::string header(30, '\0');
      ReadInput(header.data(), 30, 11012);
      auto* h = reinterpret_cast<const uint8_t*>(header.data());
      if (Get32(h) != zipfmt::kLocalSig) throw EZipKeeper(11014, true);
      size_t nameLen = Get16(h + 26), extraLen = Get16(h + 28);
      uint16_t flags = Get16(h + 6);
      uint32_t compressed = Get32(h + 18);
      // Sizes kept in a Zip64 field are beyond what a volume's headers can point at.
      if (compressed == 0xFFFFFFFF) throw EZipKeeper(11021, true);
      header.resize(30 + nameLen + extraLen);
      ReadInput(header.data() + 30, nameLen + extraLen, 11012);
      std::string name = header.substr(30, nameLen);
      uint64_t data = compressed + (flags & zipfmt::kFlagDescriptor ? 16 : 0);
      AnsiString shown = SetSlash(ZipTextToAnsi(name), false);
      SpanMessage(copying + shown);
      Dispatch(kcbNewItem, 0, static_cast<int64_t>(header.size() + data), shown);
      PrepareVolume(static_cast<int64_t>(header.size()));
      MZipData& d = list.Add(name);
      d.DiskNo = static_cast<uint16_t>(diskNr_);
      d.RelOffLocal = static_cast<uint32_t>(volumePos_);
      d.ComprSize = compressed;
      WriteSplit(header.data(), static_cast<int64_t>(header.size()), static_cast<int64_t>(header.size()));
      while (data > 0) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(data, block.size()));
        ReadInput(block.data(), n, 11021);
        WriteSplit(block.data(), static_cast<int64_t>(n), 0);
        data -= n;
      }
    }

    AnsiString dirText = DiskText(11047, "central directory");
    SpanMessage(copying + dirText);
    Dispatch(kcbNewItem, 0, static_cast<int64_t>(dirSize) + 22 + static_cast<int64_t>(comment.size()), dirText);
    SeekInput(static_cast<int64_t>(dirStart), 11008);
    int dirDisk = -1;
    uint32_t dirOffset = 0;
    uint64_t onLastDisk = 0;  // headers that begin on the disk the last one began on
    int lastDisk = -1;
    for (uint64_t k = 0; k < count; ++k) {
      std::string header(46, '\0');
      ReadInput(header.data(), 46, 11013);
      auto* h = reinterpret_cast<uint8_t*>(header.data());
      if (Get32(h) != zipfmt::kCentralSig) throw EZipKeeper(11015, true);
      size_t var = static_cast<size_t>(Get16(h + 28)) + Get16(h + 30) + Get16(h + 32);
      header.resize(46 + var);
      h = reinterpret_cast<uint8_t*>(header.data());
      ReadInput(header.data() + 46, var, 11013);
      MZipData& d = list.Items(list.IndexOf(header.substr(46, Get16(h + 28))));
      Set16(h + 34, d.DiskNo);
      Set32(h + 42, d.RelOffLocal);
      PrepareVolume(static_cast<int64_t>(header.size()));
      if (dirDisk < 0) dirDisk = diskNr_, dirOffset = static_cast<uint32_t>(volumePos_);
      // The header begins on the volume it was prepared on (one larger than a volume runs on).
      onLastDisk = diskNr_ == lastDisk ? onLastDisk + 1 : 1;
      lastDisk = diskNr_;
      WriteSplit(header.data(), static_cast<int64_t>(header.size()), static_cast<int64_t>(header.size()));
    }
    if (comment.size() != Get16(eoc + 20)) throw EZipKeeper(11023, true);
    // A set of 65,535 entries or more carries the Zip64 end record and its locator, kept on the
    // last volume together with the end record.
    bool zip64 = count >= 0xFFFF;
    int64_t endSize = 22 + static_cast<int64_t>(comment.size()) + (zip64 ? 76 : 0);
    PrepareVolume(endSize);
    if (diskNr_ != lastDisk) onLastDisk = 0;
    if (dirDisk < 0) dirDisk = diskNr_, dirOffset = static_cast<uint32_t>(volumePos_);
    if (zip64) {
      std::string records = zipfmt::Zip64EndRecords(static_cast<uint32_t>(diskNr_), static_cast<uint32_t>(dirDisk),
                                                    onLastDisk, count, dirSize, dirOffset,
                                                    static_cast<uint64_t>(volumePos_), static_cast<uint32_t>(diskNr_ + 1));
      WriteSplit(records.data(), static_cast<int64_t>(records.size()), endSize);
    }
    Set16(eoc + 4, static_cast<uint32_t>(diskNr_));
    Set16(eoc + 6, static_cast<uint32_t>(dirDisk));
    // Entries on this disk: the headers the end record's volume holds, Zip64 or not.
    Set16(eoc + 8, static_cast<uint32_t>(std::min<uint64_t>(onLastDisk, 0xFFFF)));
    Set32(eoc + 12, static_cast<uint32_t>(std::min<uint64_t>(dirSize, 0xFFFFFFFF)));
    Set32(eoc + 16, dirOffset);
    WriteSplit(eoc, 22, zip64 ? 0 : endSize);
    WriteSplit(comment.data(), static_cast<int64_t>(comment.size()), 0);
  } catch (const std::exception&) {
    result = SpanFailure();
  }
  EndSpanBatch();
  FinishVolume();
  CloseVolumes();
  if (result == 0 && driveFixed_ && SpanOptions.Contains(spCompatName)) MoveLastVolume();
  totalDisks_ = diskNr_;
  busyZip_ = wasBusy;
  return result;
}

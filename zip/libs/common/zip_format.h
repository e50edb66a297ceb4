#pragma once
// What the zip and unzip libraries share: little-endian fields, CRC-32, the zip format's own
// (traditional) encryption, MS-DOS times, the central directory with its Zip64 extensions,
// wildcard matching, and the callback link to the component.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "zip/libs/zip_records.h"

namespace zipfmt {

constexpr uint32_t kLocalSig = 0x04034B50, kCentralSig = 0x02014B50, kEndSig = 0x06054B50;
constexpr uint32_t kEnd64Sig = 0x06064B50, kEnd64LocatorSig = 0x07064B50;
constexpr uint32_t kDescriptorSig = 0x08074B50;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kFlagEncrypted = 1, kFlagDescriptor = 8, kFlagUtf8 = 0x800;
constexpr uint16_t kMethodStore = 0, kMethodDeflate = 8;

// Files of this size or more get Zip64 sizes in their local header: their data is compressed
// before its size is known, and deflate may make it a little larger than the file.
constexpr uint64_t kZip64FileSize = 0xFFFFFFFFull - (0xFFFFFFFFull >> 6);

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t Get64(const uint8_t* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }
// Whether a central header (46 bytes and more) holds a value saturated for Zip64: a size, the
// local header's offset or the disk beyond the 32- and 16-bit fields. Volume sets hold none.
inline bool CentralNeedsZip64(const uint8_t* h) {
  return Get32(h + 20) == 0xFFFFFFFF || Get32(h + 24) == 0xFFFFFFFF || Get32(h + 42) == 0xFFFFFFFF ||
         Get16(h + 34) == 0xFFFF;
}
inline void Put16(std::string& s, uint32_t v) { s += static_cast<char>(v & 0xFF); s += static_cast<char>(v >> 8 & 0xFF); }
inline void Put32(std::string& s, uint32_t v) { Put16(s, v & 0xFFFF); Put16(s, v >> 16); }
inline void Put64(std::string& s, uint64_t v) { Put32(s, static_cast<uint32_t>(v)); Put32(s, static_cast<uint32_t>(v >> 32)); }

uint32_t Crc32(uint32_t crc, const void* data, size_t n);

// A file descriptor, closed when its owner goes.
class TFd {
public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() { Close(); }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }
  bool Open() const { return fd_ >= 0; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  // Closes it now: the result of close (0 when there was nothing to close).
  int Close() {
    int fd = fd_;
    fd_ = -1;
    return fd >= 0 ? close(fd) : 0;
  }

private:
  int fd_;
};

// The zip format's traditional encryption: three keys updated with every plain byte.
class TZipCrypt {
public:
  explicit TZipCrypt(const std::string& password);
  uint8_t EncryptByte(uint8_t plain);
  uint8_t DecryptByte(uint8_t cipher);
  void Encrypt(uint8_t* p, size_t n) { for (size_t i = 0; i < n; ++i) p[i] = EncryptByte(p[i]); }
  void Decrypt(uint8_t* p, size_t n) { for (size_t i = 0; i < n; ++i) p[i] = DecryptByte(p[i]); }
  // The 12-byte header in front of encrypted data; its last byte is Check.
  std::string Header(uint8_t check);

private:
  uint8_t StreamByte() const;
  void Update(uint8_t plain);
  uint32_t k0_, k1_, k2_;
};

// MS-DOS date and time (date in the high word) of a Unix time, and back.
uint32_t UnixToDos(int64_t t);
int64_t DosToUnix(uint32_t dos);

// One entry of the central directory.
struct TCentralEntry {
  std::string Name;         // as stored
  uint16_t MadeBy = 0, Needed = 0, Flags = 0, Method = 0;
  uint32_t DosTime = 0, Crc = 0;
  uint64_t CompressedSize = 0, Size = 0, LocalOffset = 0;
  uint32_t DiskStart = 0;
  uint16_t InternalAttr = 0;
  uint32_t ExternalAttr = 0;
  std::string Extra, Comment;
  bool Encrypted() const { return Flags & kFlagEncrypted; }
  int HostSystem() const { return MadeBy >> 8; }
  // A symbolic link stored by a Unix host.
  bool IsSymlink() const { return HostSystem() == 3 && ((ExternalAttr >> 16) & 0170000) == 0120000; }
  bool IsDirectory() const { return !Name.empty() && (Name.back() == '/' || Name.back() == '\\'); }
};

struct TCentralDirectory {
  std::vector<TCentralEntry> Entries;
  uint64_t DirOffset = 0, DirSize = 0, FileSize = 0;
  uint64_t DataStart = 0;   // bytes in front of the archive (a stub); 0 for a plain archive
  std::string Comment;
};

// The Zip64 end record of an archive whose end record starts at EndPos, read through
// Read(pos, buffer, size) -> bool. The locator stands right before the end record and points at
// the Zip64 end record; a stub in front moves the record from where the locator says, then it is
// looked for right before the locator. Its values hold only when those the end record holds in
// full (not saturated) agree with them: then Count, DirSize and DirOffset take them, Pos is
// where the record starts and DirDisk (when given) the disk the directory starts on.
enum class TZip64End { None, Taken, Refused };  // no locator; values taken; record missing or disagreeing
template <class TRead>
TZip64End FindZip64End(TRead&& Read, uint64_t EndPos, uint64_t& Count, uint64_t& DirSize, uint64_t& DirOffset,
                       uint64_t& Pos, uint32_t* DirDisk = nullptr) {
  uint8_t loc[20];
  if (EndPos < 20 + 56 || !Read(EndPos - 20, loc, 20) || Get32(loc) != kEnd64LocatorSig) return TZip64End::None;
  uint64_t locPos = EndPos - 20;
  uint8_t e64[56];
  auto recordAt = [&](uint64_t pos) { return pos <= locPos - 56 && Read(pos, e64, 56) && Get32(e64) == kEnd64Sig; };
  uint64_t pos64 = Get64(loc + 8);
  if (!recordAt(pos64)) {
    if (!recordAt(locPos - 56)) return TZip64End::Refused;
    pos64 = locPos - 56;
  }
  if ((Count != 0xFFFF && Count != Get64(e64 + 32)) || (DirSize != 0xFFFFFFFF && DirSize != Get64(e64 + 40)) ||
      (DirOffset != 0xFFFFFFFF && DirOffset != Get64(e64 + 48)))
    return TZip64End::Refused;
  Count = Get64(e64 + 32);
  DirSize = Get64(e64 + 40);
  DirOffset = Get64(e64 + 48);
  Pos = pos64;
  if (DirDisk) *DirDisk = Get32(e64 + 20);
  return TZip64End::Taken;
}

// The Zip64 end record and its locator, written right before the end record: the disk they are
// on, the disk the directory starts on, the directory's entries on this disk and in all, its
// size and offset (on its disk), where the record starts (on this disk) and the number of disks.
inline std::string Zip64EndRecords(uint32_t ThisDisk, uint32_t DirDisk, uint64_t OnDisk, uint64_t Total, uint64_t DirSize,
                            uint64_t DirOffset, uint64_t RecordPos, uint32_t Disks) {
  std::string r;
  Put32(r, kEnd64Sig);
  Put64(r, 44);
  Put16(r, 45);
  Put16(r, 45);
  Put32(r, ThisDisk);
  Put32(r, DirDisk);
  Put64(r, OnDisk);
  Put64(r, Total);
  Put64(r, DirSize);
  Put64(r, DirOffset);
  Put32(r, kEnd64LocatorSig);
  Put32(r, ThisDisk);
  Put64(r, RecordPos);
  Put32(r, Disks);
  return r;
}


// Reads the central directory of an open archive. False with Error set when the archive is
// damaged: no end record, a directory outside the file, short or malformed headers. A stub in
// front of the archive is allowed (offsets are then shifted).
bool ReadCentralDirectory(FILE* f, TCentralDirectory& dir, std::string& Error);

// Opens a file for reading without ever waiting (a named pipe would wait for a writer): -1 when
// it cannot be opened or is not a regular file, with Reason set and errno kept (ENOENT when
// there is no such file). OpenRegularFile gives it as a stream.
int OpenRegular(const std::string& path, std::string& Reason);
FILE* OpenRegularFile(const std::string& path, std::string& Reason);

// The file a name leads to through symbolic links (also a link's missing target). An archive
// is replaced there, never at the link's own name, so that a link stays a link. Inline: the
// component uses it too, without the libraries' code.
inline std::string LinkTarget(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string target(4096, '\0');
    ssize_t k = readlink(path.c_str(), target.data(), target.size());
    if (k <= 0 || static_cast<size_t>(k) >= target.size()) return path;
    target.resize(static_cast<size_t>(k));
    size_t slash = path.find_last_of('/');
    path = target[0] == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
  }
  return path;
}

// How names without the UTF-8 flag are read, as the component's code-page option says: by their
// host (MS-DOS, OS/2 and some NTFS hosts write the OEM code page), as ANSI, or all as OEM.
enum TNameCodePage : int16_t { kNamesAuto = 0, kNamesAnsi = 1, kNamesOem = 2 };

// The entry's name as the file system holds names (UTF-8), the same name the component lists:
// names flagged UTF-8, and names of Unix hosts that are valid UTF-8, as stored; names in the
// OEM code page (866) and in the ANSI code page (1251) converted. A Unix name that is not UTF-8
// stays as its bytes, as Unix tools write it; Alias then gets the name the component lists for it
// (its bytes read as ANSI), which names the entry as well.
std::string EntryDiskName(const TCentralEntry& e, TNameCodePage codePage, std::string* Alias = nullptr);
// Whether a name is valid UTF-8 (plain ASCII is). Inline: the component judges names by the
// same rule, without the libraries' code.
inline bool IsValidUtf8(const std::string& s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  size_t n = s.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The shortest form only: C0, C1 and F5..FF lead nothing; after E0 and F0 the second byte
    // must rule out a shorter form, after ED the surrogates, after F4 what lies beyond U+10FFFF.
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (n - i < len || p[i + 1] < lo || p[i + 1] > hi) return false;
    for (size_t k = 2; k < len; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += len;
  }
  return true;
}

// Wildcard match of '*' and '?' without regard to ASCII case; '/' and '\' count as one.
bool WildMatch(const std::string& pattern, const std::string& name);

// The link to the component: fills callback records and remembers a cancel answer.
class TCaller {
public:
  TCaller(TZipCallbackFn fn, void* caller, bool zipAction) : fn_(fn), caller_(caller), zip_(zipAction) {}
  // Sends an action; false when the component answered cancel (then every later call is
  // answered false at once).
  bool Send(int32_t action, int32_t value1, int64_t value2, const std::string& text);
  // Sends an action and hands back the record for the answers.
  bool Ask(TZipCallbackRecord& rec, int32_t action, int32_t value1, int64_t value2, const std::string& text);
  bool Message(int32_t error, const std::string& text) { return Send(kcbMessage, error, 0, text); }
  bool Cancelled() const { return cancelled_; }
  void SetCancelled() { cancelled_ = true; }

private:
  TZipCallbackFn fn_;
  void* caller_;
  bool zip_;
  bool cancelled_ = false;
};

// The text a callback record carries back (zero-terminated within the text area).
std::string RecordText(const TZipCallbackRecord& rec, int offset = 0, int max = kCallbackTextSize);

// Upper bound of the bytes one deflate stream of n bytes can expand to, used to refuse entries
// whose declared size no real stream could reach.
inline uint64_t MaxInflated(uint64_t compressed) { return compressed * 1032 + 1024; }

}  // namespace zipfmt

#include "zip/libs/common/zip_format.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zipfmt {

uint32_t Crc32(uint32_t crc, const void* data, size_t n) {
  const auto* p = static_cast<const Bytef*>(data);
  while (n > 0) {
    uInt chunk = static_cast<uInt>(std::min<size_t>(n, 1u << 30));
    crc = static_cast<uint32_t>(crc32(crc, p, chunk));
    p += chunk;
    n -= chunk;
  }
  return crc;
}

static uint32_t CrcByte(uint32_t crc, uint8_t b) { return ~Crc32(~crc, &b, 1); }

TZipCrypt::TZipCrypt(const std::string& password) : k0_(0x12345678), k1_(0x23456789), k2_(0x34567890) {
  for (unsigned char c : password) Update(c);
}

void TZipCrypt::Update(uint8_t plain) {
  k0_ = CrcByte(k0_, plain);
  k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
  k2_ = CrcByte(k2_, static_cast<uint8_t>(k1_ >> 24));
}

uint8_t TZipCrypt::StreamByte() const {
  uint16_t t = static_cast<uint16_t>(k2_ | 2);
  return static_cast<uint8_t>((static_cast<uint32_t>(t) * (t ^ 1u)) >> 8);
}

uint8_t TZipCrypt::EncryptByte(uint8_t plain) {
  uint8_t c = plain ^ StreamByte();
  Update(plain);
  return c;
}

uint8_t TZipCrypt::DecryptByte(uint8_t cipher) {
  uint8_t p = cipher ^ StreamByte();
  Update(p);
  return p;
}

std::string TZipCrypt::Header(uint8_t check) {
  std::string h(12, '\0');
  // Random bytes from the clock and the address space: the header only needs to differ.
  uint64_t seed = static_cast<uint64_t>(time(nullptr)) ^ reinterpret_cast<uintptr_t>(this) ^ clock();
  for (int i = 0; i < 11; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    h[i] = static_cast<char>(seed >> 33);
  }
  h[11] = static_cast<char>(check);
  Encrypt(reinterpret_cast<uint8_t*>(h.data()), h.size());
  return h;
}

uint32_t UnixToDos(int64_t t) {
  // The fields hold 1980-01-01 to 2107-12-31 (seven bits of years): a time before is stored
  // as the first day, a time after as the last time they hold, as is one too far off for a
  // calendar at all.
  constexpr uint32_t kFirst = (1 << 21) | (1 << 16);                                     // 1980-01-01 00:00:00
  constexpr uint32_t kLast = (127u << 9 | 12 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29);  // 2107-12-31 23:59:58
  time_t tt = static_cast<time_t>(t);
  struct tm tmv;
  if (!localtime_r(&tt, &tmv)) return t < 0 ? kFirst : kLast;
  if (tmv.tm_year < 80) return kFirst;
  if (tmv.tm_year > 80 + 127) return kLast;
  uint32_t date = static_cast<uint32_t>((tmv.tm_year - 80) << 9 | (tmv.tm_mon + 1) << 5 | tmv.tm_mday);
  uint32_t tim = static_cast<uint32_t>(tmv.tm_hour << 11 | tmv.tm_min << 5 | tmv.tm_sec / 2);
  return date << 16 | tim;
}

namespace {

struct tm LocalAt(int64_t t) {
  time_t tt = static_cast<time_t>(t);
  struct tm l {};
  localtime_r(&tt, &l);
  return l;
}

int64_t OffsetAt(int64_t t) { return static_cast<int64_t>(LocalAt(t).tm_gmtoff); }

// The zone's offset changes lie days apart (since 1980 the nearest two are a week apart), and no
// zone lies 15 hours or more from UTC; so within 15 hours either side of a moment the offset
// changes at most once, and every instant a local time can stand for lies in that stretch.
constexpr int64_t kReach = 15 * 3600;

// The instant of a local time (its fields counted as if they were UTC), as mktime finds it: the
// one instant the clocks show it. A time shown twice, which mktime settles by whatever offset it
// met last, is taken with the offset in force before the change (its first showing). A time the
// change skips is moved by the size of the jump, to the side of daylight saving time when only one
// side keeps it (as mktime does), else with the offset in force before the change.
int64_t LocalToUnix(int64_t local) {
  int64_t before = OffsetAt(local - kReach), after = OffsetAt(local + kReach);
  int64_t byBefore = local - before;
  if (before == after) return byBefore;
  struct tm b = LocalAt(byBefore);
  if (b.tm_gmtoff == before) return byBefore;
  int64_t byAfter = local - after;
  struct tm a = LocalAt(byAfter);
  if (a.tm_gmtoff == after) return byAfter;
  return a.tm_isdst > 0 && b.tm_isdst <= 0 ? byAfter : byBefore;
}

// Per thread, the offsets of recently met local days whose times all have one offset; cleared
// when the zone (TZ) changes, which is read afresh as mktime would.
struct TZoneDays {
  bool Known = false, HasTz = false;
  std::string Tz;
  struct TDay {
    int64_t Day = INT64_MIN, Offset = 0;
    bool Steady = false;
  };
  std::array<TDay, 256> Days;
};

}  // namespace

// Local time to Unix time with the answer of mktime (daylight saving left to the zone), without
// calling mktime for every entry: mktime reads the time zone afresh on every call (a file-system
// check under a process-wide lock), and settles a time shown twice by whatever offset it met last.
// A local day whose every time has one offset is looked up once per thread and zone; the days
// around a change of offset are worked out time by time.
int64_t DosToUnix(uint32_t dos) {
  int64_t year = static_cast<int64_t>((dos >> 25) & 0x7F) + 1980;
  int64_t month = static_cast<int64_t>((dos >> 21) & 0xF) - 1;  // 0-based; out-of-range values carry over
  year += month >= 0 ? month / 12 : -((11 - month) / 12);
  month = ((month % 12) + 12) % 12;
  // Days from 1970-01-01 to the first of the month (proleptic Gregorian calendar).
  int64_t y = year - (month < 2);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = (month + 10) % 12;  // months from March
  int64_t doy = (153 * mp + 2) / 5;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days = era * 146097 + doe - 719468 + static_cast<int64_t>((dos >> 16) & 0x1F) - 1;
  int64_t local = days * 86400 + static_cast<int64_t>((dos >> 11) & 0x1F) * 3600 +
                  static_cast<int64_t>((dos >> 5) & 0x3F) * 60 + static_cast<int64_t>(dos & 0x1F) * 2;

  thread_local TZoneDays zone;
  const char* tz = getenv("TZ");
  if (!zone.Known || zone.HasTz != (tz != nullptr) || (tz && zone.Tz != tz)) {
    tzset();
    zone.Known = true;
    zone.HasTz = tz != nullptr;
    zone.Tz = tz ? tz : "";
    zone.Days.fill({});
  }
  int64_t day = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  auto& d = zone.Days[static_cast<size_t>(day) % zone.Days.size()];
  if (d.Day != day) {
    // One offset from 15 hours before the day to 15 hours after it: every time of the day is
    // shown once, at that offset.
    int64_t start = day * 86400;
    int64_t before = OffsetAt(start - kReach);
    d = {day, before, before == OffsetAt(start + 86400 + kReach)};
  }
  return d.Steady ? local - d.Offset : LocalToUnix(local);
}

namespace {

bool ReadAt(FILE* f, uint64_t pos, void* buf, size_t n) {
  if (fseeko(f, static_cast<off_t>(pos), SEEK_SET) != 0) return false;
  return fread(buf, 1, n, f) == n;
}

// Applies a Zip64 extra field to the values that are saturated in the fixed header.
bool ApplyZip64(TCentralEntry& e, bool sizeSat, bool csizeSat, bool offsetSat, bool diskSat) {
  const auto* p = reinterpret_cast<const uint8_t*>(e.Extra.data());
  size_t n = e.Extra.size(), i = 0;
  while (i + 4 <= n) {
    uint16_t id = Get16(p + i), len = Get16(p + i + 2);
    if (i + 4 + len > n) return false;
    if (id == kZip64ExtraId) {
      size_t j = i + 4, end = j + len;
      auto take = [&](uint64_t& v, int width) {
        if (j + width > end) return false;
        v = width == 8 ? Get64(p + j) : Get32(p + j);
        j += width;
        return true;
      };
      uint64_t disk = 0;
      if (sizeSat && !take(e.Size, 8)) return false;
      if (csizeSat && !take(e.CompressedSize, 8)) return false;
      if (offsetSat && !take(e.LocalOffset, 8)) return false;
      if (diskSat) {
        if (!take(disk, 4)) return false;
        e.DiskStart = static_cast<uint32_t>(disk);
      }
      return true;
    }
    i += 4 + len;
  }
  return !(sizeSat || csizeSat || offsetSat || diskSat);
}

// Reads a stretch of the file front to back through one block of bounded size, so that reading a
// directory costs the same memory whatever length the archive declares for it.
class TBlockReader {
public:
  TBlockReader(FILE* f, uint64_t pos, uint64_t end) : f_(f), pos_(pos), end_(end) {}
  bool Read(void* out, size_t n) {
    auto* o = static_cast<uint8_t*>(out);
    while (n > 0) {
      if (at_ == buf_.size()) {
        uint64_t left = end_ - pos_;
        if (left == 0) return false;
        buf_.resize(static_cast<size_t>(std::min<uint64_t>(left, kBlock)));
        if (!ReadAt(f_, pos_, buf_.data(), buf_.size())) return false;
        pos_ += buf_.size();
        at_ = 0;
      }
      size_t k = std::min(n, buf_.size() - at_);
      std::memcpy(o, buf_.data() + at_, k);
      o += k;
      at_ += k;
      n -= k;
    }
    return true;
  }
  bool Read(std::string& out, size_t n) {
    out.resize(n);
    return Read(out.data(), n);
  }

private:
  static constexpr uint64_t kBlock = 256 * 1024;
  FILE* f_;
  uint64_t pos_, end_;
  std::vector<uint8_t> buf_;
  size_t at_ = 0;
};

}  // namespace

int OpenRegular(const std::string& path, std::string& Reason) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    int err = errno;
    if (fd >= 0) close(fd);
    Reason = strerror(err);
    errno = err;
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    Reason = S_ISDIR(st.st_mode) ? strerror(EISDIR) : "not a regular file";
    errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    return -1;
  }
  int fl = fcntl(fd, F_GETFL);
  if (fl >= 0) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  return fd;
}

FILE* OpenRegularFile(const std::string& path, std::string& Reason) {
  int fd = OpenRegular(path, Reason);
  if (fd < 0) return nullptr;
  FILE* f = fdopen(fd, "rb");
  if (!f) {
    int err = errno;
    close(fd);
    Reason = strerror(err);
    errno = err;
  }
  return f;
}

bool ReadCentralDirectory(FILE* f, TCentralDirectory& dir, std::string& Error) {
  dir = TCentralDirectory();
  if (fseeko(f, 0, SEEK_END) != 0) { Error = "cannot seek"; return false; }
  off_t size = ftello(f);
  if (size < 22) { Error = "not a zip archive"; return false; }
  dir.FileSize = static_cast<uint64_t>(size);
  uint64_t window = std::min<uint64_t>(dir.FileSize, 65557);
  std::vector<uint8_t> tail(window);
  if (!ReadAt(f, dir.FileSize - window, tail.data(), window)) { Error = "cannot read"; return false; }
  int64_t hit = -1;
  for (int64_t i = static_cast<int64_t>(window) - 22; i >= 0; --i)
    if (Get32(&tail[static_cast<size_t>(i)]) == kEndSig) { hit = i; break; }
  if (hit < 0) { Error = "no end of central directory"; return false; }
  const uint8_t* e = &tail[static_cast<size_t>(hit)];
  uint64_t endPos = dir.FileSize - window + static_cast<uint64_t>(hit);
  uint64_t count = Get16(e + 10), dirSize = Get32(e + 12), dirOffset = Get32(e + 16);
  uint16_t commentLen = Get16(e + 20);
  size_t commentAvail = std::min<size_t>(commentLen, window - static_cast<size_t>(hit) - 22);
  dir.Comment.assign(reinterpret_cast<const char*>(e + 22), commentAvail);
  uint64_t dirEnd = endPos;
  // Zip64: the locator stands right before the end record and points at the Zip64 end record,
  // whose values hold whenever it is there, also beside real values in the end record (Info-ZIP
  // writes both for piped input). A stub in front moves the record from where the locator says;
  // then it is looked for right before the locator.
  bool saturated = count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF;
  auto read = [f](uint64_t pos, void* buf, size_t n) { return ReadAt(f, pos, buf, n); };
  switch (FindZip64End(read, endPos, count, dirSize, dirOffset, dirEnd)) {
    case TZip64End::Refused:
      if (saturated) { Error = "damaged Zip64 end record"; return false; }
      break;
    case TZip64End::None:
    case TZip64End::Taken:
      break;
  }
  if (dirSize > dirEnd) { Error = "central directory outside the file"; return false; }
  uint64_t actualOffset = dirEnd - dirSize;
  // A stub in front of the archive shifts every offset by its length.
  if (actualOffset < dirOffset) { Error = "central directory outside the file"; return false; }
  uint64_t shift = actualOffset - dirOffset;
  dir.DirOffset = actualOffset;
  dir.DirSize = dirSize;
  if (count > dirSize / 46) { Error = "entry count larger than the central directory"; return false; }
  TBlockReader cd(f, actualOffset, dirEnd);
  uint64_t used = 0;
  // The list grows with the entries read, not with the count the archive declares.
  dir.Entries.reserve(static_cast<size_t>(std::min<uint64_t>(count, 4096)));
  dir.DataStart = actualOffset;
  for (uint64_t k = 0; k < count; ++k) {
    uint8_t h[46];
    if (!cd.Read(h, 46) || Get32(h) != kCentralSig) { Error = "damaged central directory"; return false; }
    TCentralEntry en;
    en.MadeBy = Get16(h + 4);
    en.Needed = Get16(h + 6);
    en.Flags = Get16(h + 8);
    en.Method = Get16(h + 10);
    en.DosTime = Get32(h + 12);
    en.Crc = Get32(h + 16);
    en.CompressedSize = Get32(h + 20);
    en.Size = Get32(h + 24);
    size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen2 = Get16(h + 32);
    en.DiskStart = Get16(h + 34);
    en.InternalAttr = Get16(h + 36);
    en.ExternalAttr = Get32(h + 38);
    en.LocalOffset = Get32(h + 42);
    used += 46 + nameLen + extraLen + commentLen2;
    if (used > dirSize || !cd.Read(en.Name, nameLen) || !cd.Read(en.Extra, extraLen) || !cd.Read(en.Comment, commentLen2)) {
      Error = "damaged central directory";
      return false;
    }
    if (!ApplyZip64(en, en.Size == 0xFFFFFFFF, en.CompressedSize == 0xFFFFFFFF,
                    en.LocalOffset == 0xFFFFFFFF, en.DiskStart == 0xFFFF)) {
      Error = "damaged Zip64 extra field";
      return false;
    }
    en.LocalOffset += shift;
    if (en.LocalOffset >= actualOffset) { Error = "entry outside the archive"; return false; }
    dir.DataStart = std::min(dir.DataStart, en.LocalOffset);
    dir.Entries.push_back(std::move(en));
  }
  if (count == 0) dir.DataStart = actualOffset;
  return true;
}

namespace {

std::string Convert(const std::string& in, const char* from) {
  iconv_t cd = iconv_open("UTF-8", from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string src = in, out(in.size() * 3 + 4, '\0');
  char* ip = src.data();
  char* op = out.data();
  size_t il = src.size(), ol = out.size();
  bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1);
  iconv_close(cd);
  if (!ok) return in;
  out.resize(out.size() - ol);
  return out;
}

}  // namespace

std::string EntryDiskName(const TCentralEntry& e, TNameCodePage codePage, std::string* Alias) {
  if (Alias) Alias->clear();
  bool high = false;
  for (unsigned char c : e.Name) high |= c >= 0x80;
  if (!high || (e.Flags & kFlagUtf8)) return e.Name;
  int host = e.HostSystem();
  bool utf8 = IsValidUtf8(e.Name);
  if (host == 3 && utf8) return e.Name;
  bool oem = (codePage == kNamesAuto && host == 0) || host == 6 || (host == 11 && (e.MadeBy & 0xFF) == 50) ||
             codePage == kNamesOem;
  if (oem) return Convert(e.Name, "CP866");
  if (host == 3) {
    if (Alias) *Alias = Convert(e.Name, "CP1251");
    return e.Name;
  }
  return Convert(e.Name, "CP1251");
}

bool WildMatch(const std::string& pattern, const std::string& name) {
  auto norm = [](char c) { return c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  size_t p = 0, n = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || norm(pattern[p]) == norm(name[n]))) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool TCaller::Send(int32_t action, int32_t value1, int64_t value2, const std::string& text) {
  TZipCallbackRecord rec;
  return Ask(rec, action, value1, value2, text);
}

bool TCaller::Ask(TZipCallbackRecord& rec, int32_t action, int32_t value1, int64_t value2, const std::string& text) {
  if (cancelled_) return false;
  std::memset(&rec, 0, sizeof rec);
  rec.Caller = caller_;
  rec.IsZipAction = zip_ ? 1 : 0;
  rec.ActionCode = action;
  rec.Value1 = value1;
  rec.Value2 = value2;
  std::memcpy(rec.Text, text.data(), std::min<size_t>(text.size(), kCallbackTextSize - 1));
  if (!fn_) return true;
  if (fn_(&rec) == -1) cancelled_ = true;
  return !cancelled_;
}

std::string RecordText(const TZipCallbackRecord& rec, int offset, int max) {
  const char* p = rec.Text + offset;
  size_t limit = static_cast<size_t>(std::min(max, kCallbackTextSize - offset));
  return std::string(p, strnlen(p, limit));
}

}  // namespace zipfmt

// Entry times: MS-DOS local times turned into Unix times and back, and the zone an extraction
// takes them in.
#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/zip/zip_fixture.h"
#include "zip/libs/common/zip_format.h"

namespace {

struct tm Fields(int64_t local) {
  time_t t = static_cast<time_t>(local);
  struct tm f {};
  gmtime_r(&t, &f);
  return f;
}

// The MS-DOS date and time of local fields counted as if they were UTC.
uint32_t DosOf(int64_t local) {
  struct tm f = Fields(local);
  return static_cast<uint32_t>((f.tm_year - 80) << 25 | (f.tm_mon + 1) << 21 | f.tm_mday << 16 | f.tm_hour << 11 |
                               f.tm_min << 5 | f.tm_sec / 2);
}

int64_t MkTime(int64_t local) {
  struct tm f = Fields(local);
  f.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&f));
}

// Sets TZ for the rest of a test; the old zone comes back with it.
class TZone {
public:
  explicit TZone(const char* zone) {
    const char* was = getenv("TZ");
    if (was) saved_ = was;
    Set(zone);
  }
  ~TZone() {
    if (saved_) setenv("TZ", saved_->c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }
  static void Set(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

private:
  std::optional<std::string> saved_;
};

int64_t OffsetAt(int64_t t) {
  time_t tt = static_cast<time_t>(t);
  struct tm l {};
  localtime_r(&tt, &l);
  return static_cast<int64_t>(l.tm_gmtoff);
}

}  // namespace

// Zones whose offset changes inside a local hour, by half an hour, or a minute after midnight:
// every time of three hours around each change, met in both orders, is what mktime makes of it.
// mktime settles a time shown twice by the offset it met last; met after the day before, that is
// the offset in force before the change.
TEST(ZipTimes, EntryTimesAreThoseOfMktimeWhateverTimeCameFirst) {
  const char* was = getenv("TZ");
  std::optional<std::string> saved = was ? std::optional<std::string>(was) : std::nullopt;
  for (const char* zone : {"Pacific/Chatham", "Australia/Lord_Howe", "America/St_Johns"}) {
    ASSERT_TRUE(std::filesystem::exists(std::string("/usr/share/zoneinfo/") + zone)) << zone;
    setenv("TZ", zone, 1);
    tzset();
    int changes = 0;
    for (int year : {1990, 2005, 2024}) {
      struct tm jan {};
      jan.tm_year = year - 1900;
      jan.tm_mday = 1;
      int64_t start = static_cast<int64_t>(timegm(&jan));
      for (int64_t u = start; u < start + 366 * 86400; u += 3600) {
        if (OffsetAt(u) == OffsetAt(u + 3600)) continue;
        ++changes;
        std::vector<int64_t> locals, want;
        for (int64_t l = u + OffsetAt(u) - 5400; l < u + OffsetAt(u) + 9000; l += 2) {
          locals.push_back(l);
          MkTime(l - 86400);
          want.push_back(MkTime(l));
        }
        for (bool forward : {true, false}) {
          int wrong = 0;
          std::string first;
          for (size_t k = 0; k < locals.size(); ++k) {
            size_t i = forward ? k : locals.size() - 1 - k;
            int64_t got = zipfmt::DosToUnix(DosOf(locals[i]));
            if (got != want[i] && wrong++ == 0) {
              char text[64];
              struct tm f = Fields(locals[i]);
              strftime(text, sizeof text, "%F %T", &f);
              first = std::string(text) + " off by " + std::to_string(got - want[i]) + " s";
            }
          }
          EXPECT_EQ(wrong, 0) << zone << (forward ? " forward" : " backward") << ", first " << first;
        }
      }
    }
    EXPECT_EQ(changes, 6) << zone;
  }
  if (saved) {
    setenv("TZ", saved->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

// A time after the last one an entry holds (2107-12-31 23:59:58) is stored as that one, as a
// time before 1980 is stored as 1980-01-01.
TEST(ZipTimes, TimesBeyondTheFieldsAreHeldAtTheirEnds) {
  TZone zone("UTC");
  auto dosAt = [](int year, int month, int day, int hour, int minute, int second) {
    struct tm f {};
    f.tm_year = year - 1900, f.tm_mon = month - 1, f.tm_mday = day, f.tm_hour = hour, f.tm_min = minute, f.tm_sec = second;
    return zipfmt::UnixToDos(static_cast<int64_t>(timegm(&f)));
  };
  const uint32_t last = DosOf(static_cast<int64_t>(4354819198));  // 2107-12-31 23:59:58
  const uint32_t first = DosOf(315532800);                        // 1980-01-01 00:00:00
  EXPECT_EQ(dosAt(2107, 12, 31, 23, 59, 59), last);
  EXPECT_EQ(dosAt(2108, 1, 1, 0, 0, 0), last);
  EXPECT_EQ(dosAt(2150, 6, 15, 12, 0, 0), last);
  EXPECT_EQ(zipfmt::UnixToDos(INT64_MAX / 2), last);
  EXPECT_EQ(dosAt(1979, 12, 31, 23, 59, 59), first);
  EXPECT_EQ(zipfmt::UnixToDos(INT64_MIN / 2), first);
  EXPECT_EQ(zipfmt::DosToUnix(last), 4354819198);
}

// Every file of an extraction on many workers gets its entry's time in the zone the run began
// in, whatever an event handler does to the zone meanwhile; the next run reads the zone afresh.
TEST_F(ZipTest, AnExtractionTakesItsTimesInTheZoneItBeganIn) {
  TZone zone("UTC");
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) {
    names.push_back("f" + std::to_string(i) + ".txt");
    WriteAll(dir / "in" / names.back(), std::string(static_cast<size_t>(100 + i), static_cast<char>('a' + i % 26)));
    // Local times (UTC here) from 1985 on, days and hours apart; even seconds, as entries hold.
    int64_t t = 473385600 + static_cast<int64_t>(i) * (86400 * 47 + 3600 * 5 + 62);
    struct timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "in" / names.back()).c_str(), times, 0), 0);
  }
  zip->RootDir = P("in");
  ASSERT_EQ(AddFiles(P("t.zip"), {"*.*"}), 200);
  struct TSwitch {
    const char* to = nullptr;
    void Progress(TObject*, ProgressType type, const AnsiString&, uint64_t) {
      if (type == TotalFiles2Process && to) TZone::Set(to);
    }
  } change;
  zip->OnProgress = TZipProgressEvent(&change, &TSwitch::Progress);
  // Tokyo and Kolkata have kept one offset all these years: +9 and +5:30.
  auto extractedIn = [&](const char* began, const char* changed, int64_t offset) {
    TZone::Set(began);
    change.to = changed;
    fs::remove_all(dir / "x");
    ASSERT_EQ(ExtractTo(P("t.zip"), P("x")), 200);
    int wrong = 0;
    for (size_t i = 0; i < names.size(); ++i) {
      int64_t local = 473385600 + static_cast<int64_t>(i) * (86400 * 47 + 3600 * 5 + 62);
      struct stat st {};
      ASSERT_EQ(stat((dir / "x" / names[i]).c_str(), &st), 0);
      wrong += st.st_mtime != local - offset;
    }
    EXPECT_EQ(wrong, 0) << began;
  };
  extractedIn("Asia/Tokyo", "Asia/Kolkata", 9 * 3600);
  extractedIn("Asia/Kolkata", "Asia/Tokyo", 5 * 3600 + 1800);
}

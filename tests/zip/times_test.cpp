// Entry times: MS-DOS local times turned into Unix times.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

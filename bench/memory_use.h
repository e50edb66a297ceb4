#pragma once
// Memory figures of the benchmark process itself.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

namespace bench_mem {

// Resident memory now, in KB.
inline long ResidentKb() {
  long pages = 0, rss = 0;
  if (FILE* f = fopen("/proc/self/statm", "r")) {
    if (fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
    fclose(f);
  }
  return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

// The highest resident memory so far, in KB.
inline long PeakKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// The highest resident memory since the last ResetPeak (or since the start), in KB; -1 where the
// system does not tell.
inline long PeakSinceResetKb() {
  long kb = -1;
  if (FILE* f = fopen("/proc/self/status", "r")) {
    char line[256];
    while (fgets(line, sizeof line, f))
      if (sscanf(line, "VmHWM: %ld", &kb) == 1) break;
    fclose(f);
  }
  return kb;
}

// Starts the peak of PeakSinceResetKb again from the resident memory now; false where the
// system cannot.
inline bool ResetPeak() {
  FILE* f = fopen("/proc/self/clear_refs", "w");
  if (!f) return false;
  bool ok = fputs("5", f) >= 0;
  return fclose(f) == 0 && ok;
}

}  // namespace bench_mem

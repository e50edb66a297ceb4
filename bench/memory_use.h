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

}  // namespace bench_mem

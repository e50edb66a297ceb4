#pragma once
// The machine's load (what uptime prints), for benchmarks to print beside their figures.
#include <cstdio>
#include <string>

namespace bench_load {

inline std::string LoadAverage() {
  char buf[128] = {};
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    double a = 0, b = 0, c = 0;
    if (std::fscanf(f, "%lf %lf %lf", &a, &b, &c) == 3)
      std::snprintf(buf, sizeof buf, "load average %.2f, %.2f, %.2f", a, b, c);
    std::fclose(f);
  }
  return buf[0] ? buf : "load average unknown";
}

}  // namespace bench_load

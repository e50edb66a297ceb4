#pragma once
// Quick mode and the benchmarks' own checks. With VT_BENCH_QUICK set (to anything but "0") a
// benchmark runs once on small generated data and a few rounds, so that ./test.sh can keep every
// benchmark building and its checks passing; its figures then mean nothing. In either mode a
// failed check is printed and makes the program's exit status non-zero.
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench_quick {

inline bool On() {
  const char* v = std::getenv("VT_BENCH_QUICK");
  return v && *v && std::strcmp(v, "0") != 0;
}

// The full figure, or the quick one in quick mode.
template <class T>
T Pick(T full, T quick) {
  return On() ? quick : full;
}

inline bool& Failed() {
  static bool failed = false;
  return failed;
}

// A check of the benchmark's own results: a failure is reported and remembered for Status().
inline bool Check(bool ok, const char* what) {
  if (!ok) {
    std::fflush(stdout);
    std::fprintf(stderr, "check failed: %s\n", what);
    Failed() = true;
  }
  return ok;
}

// The exit status: non-zero when a check failed.
inline int Status() { return Failed() ? 1 : 0; }

}  // namespace bench_quick

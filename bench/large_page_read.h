#pragma once
// A reference for the benchmarks that load documents: one read of a whole file into memory
// taken the way the line store takes it (large pages where the system offers them), so that a
// comparison shows what the page size accounts for.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "editor/core/line_store.h"

namespace bench_read {

// Seconds taken to read the file at Path whole.
inline double LargePageRead(const std::string& path) {
  auto t0 = std::chrono::steady_clock::now();
  auto size = static_cast<size_t>(FileSize(path));
  char* data = static_cast<char*>(AllocateLargeBlock(nullptr, size + 1));
  int fd = open(path.c_str(), O_RDONLY);
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, data + got, size - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  std::free(data);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace bench_read

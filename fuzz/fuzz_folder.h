#pragma once
// A scratch folder for targets that work on files: made once per process under $TMPDIR (or /tmp)
// and removed, with all it holds, when the process exits.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fuzz_folder_detail {
// Plain storage, not a std::string: the removal runs at exit, after static objects may be gone.
inline char path[4096];
inline void Remove() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}
}  // namespace fuzz_folder_detail

inline const char* FuzzFolder() {
  using fuzz_folder_detail::path;
  if (!path[0]) {
    const char* tmp = std::getenv("TMPDIR");
    std::snprintf(path, sizeof path, "%s/vt-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(path)) std::abort();
    std::atexit(fuzz_folder_detail::Remove);
  }
  return path;
}

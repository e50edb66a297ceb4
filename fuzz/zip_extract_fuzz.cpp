// libFuzzer target for the zip component's extract: the first byte picks the extract options
// and a password, the rest is an archive, extracted into an empty folder. Nothing may be
// written outside that folder: beside it, in the component's temporary folder, or at any name
// an entry gives (absolute, or climbing out with ".."); no link is made in it; and the folder
// with all that was extracted into it can be removed afterwards.
// Run as: build/fuzz/fuzz/zip_extract_fuzz -max_len=4096 -timeout=10 -max_total_time=300 <corpus>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "platform/ansi.h"
#include "zip/component/zip_keeper.h"

namespace fs = std::filesystem;

namespace {

// What lies at a path now: missing, a folder (others may add to a folder such as /tmp at any
// time, and what an entry adds is named by an entry of its own), or a file's inode, size and
// change time.
std::string Look(const fs::path& p) {
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) return "missing";
  if (S_ISDIR(st.st_mode)) return "folder " + std::to_string(st.st_ino);
  return std::to_string(st.st_ino) + "/" + std::to_string(st.st_size) + "/" + std::to_string(st.st_ctim.tv_sec) +
         "." + std::to_string(st.st_ctim.tv_nsec);
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool Inside(const fs::path& p, const fs::path& folder) {
  auto rel = p.lexically_normal().lexically_relative(folder);
  return !rel.empty() && *rel.begin() != "..";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path scratch = FuzzFolder();
  static const fs::path archive = scratch / "archive.zip", base = scratch / "base", out = base / "out",
                        temp = scratch / "temp";
  static TZipKeeper* zip = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The unzip library stays loaded however often the component unloads it: libFuzzer keeps
    // reading the coverage counters of every library it has seen.
    dlopen(VT_ZIP_LIB_DIR "/libunzdll.so", RTLD_NOW | RTLD_NODELETE);
    auto* k = new TZipKeeper(nullptr);
    k->Unattended = true;
    k->SetDLLDirectory(VT_ZIP_LIB_DIR);
    k->TempDir = temp.string();
    return k;
  }();
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::ofstream(archive, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  fs::create_directories(out);
  fs::create_directories(temp);

  zip->SetZipFileName(AnsiString());
  zip->SetZipFileName(archive.string());
  // Every place outside the folder that an entry's name could reach, as it is now.
  std::vector<std::pair<fs::path, std::string>> outside;
  for (int i = 0; i < zip->Count(); ++i) {
    // A name is a C string to the file system: it ends at its first NUL.
    std::string name = zip->DirEntry(i).FileName;
    name = name.substr(0, name.find('\0'));
    for (std::string n : {name, std::string(AnsiToUtf8(name))}) {
      for (char& c : n)
        if (c == '\\') c = '/';
      fs::path p = (out / n).lexically_normal();
      if (!Inside(p, out)) outside.emplace_back(p, Look(p));
    }
  }

  ExtrOpts options;
  if (flags & 1) options.Include(ExtrDirNames);
  if (flags & 2) options.Include(ExtrOverWrite);
  if (flags & 4) options.Include(ExtrTest);
  if (flags & 8) options.Include(ExtrFreshen);
  if (flags & 16) options.Include(ExtrUpdate);
  zip->ExtrOptions = options;
  zip->Password = (flags & 32) ? "secret" : "";
  zip->ExtrBaseDir = out.string();
  zip->FSpecArgs()->Clear();
  if (flags & 64) zip->FSpecArgs()->Add("*.txt");
  zip->Extract();

  if (Names(scratch) != std::vector<std::string>{"archive.zip", "base", "temp"}) abort();
  if (Names(base) != std::vector<std::string>{"out"}) abort();
  if (!Names(temp).empty()) abort();
  for (const auto& [p, before] : outside)
    if (Look(p) != before) abort();
  for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_symlink()) abort();
    // Folders extracted with modes that shut their owner out are opened again, so that the
    // removal below judges only what was written, not the modes it was given.
    if (it->is_directory()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add);
  }
  std::error_code ec;
  fs::remove_all(out, ec);
  if (ec || fs::exists(out)) abort();
  return 0;
}

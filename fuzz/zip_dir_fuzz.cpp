// libFuzzer target for the zip component's directory reader and volume joiner: the input is an
// archive file, also taken as the only volume of a set. Reading must end with a listing or a
// reported error: no crash, no read past a buffer, no allocation sized by counts the records
// claim; joining leaves nothing but its result in the folder. Run as
//   build/fuzz/fuzz/zip_dir_fuzz -max_total_time=60 -max_len=4096 fuzz/corpus/zip_dir
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_folder.h"
#include "zip/component/zip_keeper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A numbered name: the file is volume 1 of a set of its own.
  static const std::string folder = FuzzFolder();
  static std::string path = folder + "/set001.zip";
  static TZipKeeper* zip = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto* k = new TZipKeeper(nullptr);
    k->Unattended = true;
    k->TempDir = folder;
    return k;
  }();
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
  for (CodePageOpts cp : {cpAuto, cpOEM}) {
    zip->CodePage = cp;
    zip->UseDirOnlyEntries = cp == cpOEM;
    zip->SetZipFileName(path);
    if (zip->Count() > 0 && size < 46u * static_cast<size_t>(zip->Count())) abort();
    for (int i = 0; i < zip->Count(); ++i)
      if (zip->DirEntry(i).FileName.size() > 65535) abort();
  }
  AnsiString joined;
  if (zip->ReadSpan(path, joined) == 0) unlink(joined.c_str());
  else if (!joined.empty()) abort();
  DIR* d = opendir(folder.c_str());
  int files = 0;
  while (dirent* e = readdir(d)) files += e->d_name[0] != '.';
  closedir(d);
  if (files != 1) abort();
  return 0;
}

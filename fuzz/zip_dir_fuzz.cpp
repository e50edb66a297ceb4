// libFuzzer target for the zip component's directory reader: the input is an archive file.
// Reading must end with a listing or a reported error: no crash, no read past a buffer, no
// allocation sized by counts the records claim. Built by fuzz/zip_dir_build.sh; run as
//   build/fuzz/zip_dir_fuzz -max_total_time=60 -max_len=4096
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zip/component/zip_keeper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string path = [] {
    char tmpl[] = "/tmp/vt-zip-fuzz-XXXXXX";
    int fd = mkstemp(tmpl);
    close(fd);
    return std::string(tmpl);
  }();
  static TZipKeeper* zip = [] {
    auto* k = new TZipKeeper(nullptr);
    k->Unattended = true;
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
  return 0;
}

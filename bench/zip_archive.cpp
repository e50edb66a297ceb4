// Adding, testing and extracting a corpus of about 300 MB in some 15,000 files (copies of
// /usr/share/doc and /usr/include) through the zip component, beside Info-ZIP's zip -r -6,
// unzip -t and unzip on the same files in the same run; then listing the directory of an
// archive of 100,000 entries beside unzip -l.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "zip/component/zip_keeper.h"

namespace fs = std::filesystem;

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

uint64_t TreeBytes(const fs::path& p, size_t* files = nullptr) {
  uint64_t n = 0;
  for (auto& e : fs::recursive_directory_iterator(p))
    if (e.is_regular_file()) n += e.file_size(), files && ++*files;
  return n;
}

double Run(const std::string& cmd) {
  double t = Now();
  if (std::system(cmd.c_str()) != 0) fprintf(stderr, "failed: %s\n", cmd.c_str());
  return Now() - t;
}

void Row(const char* what, double ours, double ref, uint64_t bytes) {
  double mb = bytes / 1e6;
  printf("%-10s ours %7.2f s %8.1f MB/s   Info-ZIP %7.2f s %8.1f MB/s   ratio %5.2fx\n", what, ours, mb / ours, ref,
         mb / ref, ref / ours);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vt-zip-bench";
  fs::remove_all(work);
  fs::create_directories(work / "corpus");
  // The corpus: real files, links resolved, so that both tools see the same regular files.
  Run("cp -rL /usr/share/doc " + (work / "corpus/doc").string() + " 2>/dev/null");
  Run("cp -rL /usr/include " + (work / "corpus/include").string() + " 2>/dev/null");
  Run("find " + (work / "corpus").string() + " ! -type f ! -type d -delete");
  size_t files = 0;
  uint64_t bytes = TreeBytes(work / "corpus", &files);
  printf("corpus: %zu files, %.1f MB\n", files, bytes / 1e6);

  std::string ours = (work / "ours.zip").string(), ref = (work / "ref.zip").string();
  TZipKeeper zip(nullptr);
  zip.Unattended = true;
  zip.SetDLLDirectory(VT_PROGRAM_DIR);
  zip.AddCompLevel = 6;
  zip.AddOptions = {AddDirNames, AddRecurseDirs, AddHiddenFiles};
  zip.RootDir = (work / "corpus").string();
  zip.SetZipFileName(ours);
  zip.FSpecArgs()->Add("*.*");
  double t = Now();
  zip.Add();
  double addOurs = Now() - t;
  double addRef = Run("cd " + (work / "corpus").string() + " && zip -q -r -6 " + ref + " .");
  printf("entries: ours %d (errors %d), compressed ours %.2f MB, Info-ZIP %.2f MB (%+.2f %%)\n", zip.SuccessCnt(),
         zip.ErrCode(), fs::file_size(ours) / 1e6, fs::file_size(ref) / 1e6,
         (double(fs::file_size(ours)) / double(fs::file_size(ref)) - 1) * 100);
  Row("add", addOurs, addRef, bytes);

  zip.ExtrOptions = {ExtrTest};
  t = Now();
  zip.Extract();
  double testOurs = Now() - t;
  double testRef = Run("unzip -tq " + ref + " >/dev/null");
  Row("test", testOurs, testRef, bytes);

  fs::create_directories(work / "x-ours");
  zip.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
  zip.ExtrBaseDir = (work / "x-ours").string();
  t = Now();
  zip.Extract();
  double extractOurs = Now() - t;
  printf("extracted: ours %d entries\n", zip.SuccessCnt());
  double extractRef = Run("unzip -qo " + ref + " -d " + (work / "x-ref").string());
  Row("extract", extractOurs, extractRef, bytes);

  std::string many = (work / "many.zip").string();
  Run("python3 -c \"import zipfile; z = zipfile.ZipFile('" + many +
      "', 'w'); [z.writestr('folder/file%06d.txt' % i, b'') for i in range(100000)]; z.close()\"");
  TZipKeeper lister(nullptr);
  lister.Unattended = true;
  t = Now();
  lister.SetZipFileName(many);
  double listOurs = Now() - t;
  double listRef = Run("unzip -l " + many + " >/dev/null");
  printf("list       ours %7.0f ms (%d entries)   unzip -l %7.0f ms   ratio %5.2fx\n", listOurs * 1000, lister.Count(),
         listRef * 1000, listRef / listOurs);
  fs::remove_all(work);
  return 0;
}

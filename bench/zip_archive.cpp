// Adding, testing and extracting a corpus of about 300 MB in some 15,000 files (copies of
// /usr/share/doc and /usr/include) through the zip component, beside Info-ZIP's zip -r -6,
// unzip -t and unzip on the same files in the same run; then listing the directory of an
// archive of 100,000 entries beside unzip -l; then writing a 200 MB archive out as a set of
// 10 MB volumes and joining the set back, each beside copying the same bytes (read + write) in
// the same run. "zip_archive [folder] span" runs the volume part alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

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

// Appends the files to one target with read and write in 128 KB blocks, as cp does without
// in-kernel copying.
void CopyFiles(const std::vector<fs::path>& from, const fs::path& to) {
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char> buf(128 * 1024);
  for (auto& f : from) {
    int in = open(f.c_str(), O_RDONLY);
    for (ssize_t n; (n = read(in, buf.data(), buf.size())) > 0;)
      if (write(out, buf.data(), static_cast<size_t>(n)) != n) fprintf(stderr, "copy: write failed\n");
    close(in);
  }
  close(out);
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  return std::system(("cmp -s '" + a.string() + "' '" + b.string() + "'").c_str()) == 0;
}

void SpanRow(const char* what, double ours, double copy, uint64_t bytes) {
  double mb = bytes / 1e6;
  printf("%-10s ours %7.3f s %8.1f MB/s   copy %7.3f s %8.1f MB/s   ours/copy %5.2fx\n", what, ours, mb / ours, copy,
         mb / copy, copy / ours);
}

// A stored archive of 200 MB in 20 files, written out as volumes of 10 MB and joined back; the
// best of five runs of each, the copies of the same bytes taken in turn with ours.
void BenchVolumes(const fs::path& work) {
  fs::create_directories(work / "files");
  std::mt19937_64 rng(7);
  std::vector<uint64_t> block(1 << 17);
  for (int i = 0; i < 20; ++i) {
    FILE* f = fopen((work / "files" / ("part" + std::to_string(i) + ".bin")).c_str(), "wb");
    for (int k = 0; k < 10; ++k) {
      for (auto& w : block) w = rng();
      fwrite(block.data(), sizeof(uint64_t), block.size(), f);
    }
    fclose(f);
  }
  fs::path archive = work / "big.zip";
  TZipKeeper zip(nullptr);
  zip.Unattended = true;
  zip.SetDLLDirectory(VT_PROGRAM_DIR);
  zip.AddCompLevel = 0;
  zip.RootDir = (work / "files").string();
  zip.SetZipFileName(archive.string());
  zip.FSpecArgs()->Add("*.*");
  zip.Add();
  uint64_t bytes = fs::file_size(archive);
  printf("volumes: archive of %d stored entries, %.1f MB, volumes of 10 MB\n", zip.SuccessCnt(), bytes / 1e6);
  zip.MaxVolumeSize = 10000000;
  zip.MinFreeVolumeSize = 65536;
  zip.TempDir = work.string();

  double bestWrite = 1e9, bestCopyWrite = 1e9, bestJoin = 1e9, bestCopyJoin = 1e9;
  size_t volumes = 0;
  bool same = true;
  for (int run = 0; run < 5; ++run) {
    fs::remove_all(work / "set");
    fs::create_directories(work / "set");
    fs::remove(work / "copy.zip");
    double t = Now();
    CopyFiles({archive}, work / "copy.zip");
    bestCopyWrite = std::min(bestCopyWrite, Now() - t);
    t = Now();
    int r = zip.WriteSpan(archive.string(), (work / "set/set.zip").string());
    bestWrite = std::min(bestWrite, Now() - t);
    if (r != 0) fprintf(stderr, "write failed: %d %s\n", zip.ErrCode(), zip.Message().c_str());

    std::vector<fs::path> parts;
    for (auto& e : fs::directory_iterator(work / "set")) parts.push_back(e.path());
    std::sort(parts.begin(), parts.end());
    volumes = parts.size();
    fs::remove(work / "copy.zip");
    t = Now();
    CopyFiles(parts, work / "copy.zip");
    bestCopyJoin = std::min(bestCopyJoin, Now() - t);
    AnsiString joined = (work / "joined").string();
    t = Now();
    r = zip.ReadSpan((work / "set/set.zip").string(), joined);
    bestJoin = std::min(bestJoin, Now() - t);
    if (r != 0) fprintf(stderr, "join failed: %d %s\n", zip.ErrCode(), zip.Message().c_str());
    // The joined archive is the archive the set was written from, byte for byte.
    same = same && SameBytes(archive, joined);
    fs::remove(joined);
  }
  printf("volumes: %zu written, joined archive identical to the original: %s\n", volumes, same ? "yes" : "NO");
  SpanRow("write set", bestWrite, bestCopyWrite, bytes);
  SpanRow("join set", bestJoin, bestCopyJoin, bytes);
  double both = bestWrite + bestJoin, bothCopy = bestCopyWrite + bestCopyJoin;
  SpanRow("both", both, bothCopy, 2 * bytes);

  // The whole operations: an add that spans (the zip library stores the files in a temporary
  // archive, which is then written out as volumes) and an extract from the set (joined, then
  // unpacked with CRC checks), beside one copy of the same bytes.
  std::vector<fs::path> inputs;
  for (auto& e : fs::directory_iterator(work / "files")) inputs.push_back(e.path());
  std::sort(inputs.begin(), inputs.end());
  fs::remove(work / "copy.zip");
  double t = Now();
  CopyFiles(inputs, work / "copy.zip");
  double copyFiles = Now() - t;
  fs::remove_all(work / "set");
  fs::create_directories(work / "set");
  fs::create_directories(work / "iz");
  zip.AddOptions = {AddDiskSpan};
  zip.SetZipFileName((work / "set/set.zip").string());
  zip.FSpecArgs()->Add("*.*");
  t = Now();
  zip.Add();
  double add = Now() - t;
  double addRef = Run("cd " + (work / "files").string() + " && zip -q -r -0 -s 10m " + (work / "iz/set.zip").string() + " .");
  printf("add: %d entries (error %d); Info-ZIP zip -0 -s 10m %.3f s\n", zip.SuccessCnt(), zip.ErrCode(), addRef);
  SpanRow("add set", add, copyFiles, bytes);
  std::vector<fs::path> parts;
  for (auto& e : fs::directory_iterator(work / "set")) parts.push_back(e.path());
  std::sort(parts.begin(), parts.end());
  fs::remove(work / "copy.zip");
  t = Now();
  CopyFiles(parts, work / "copy.zip");
  double copyParts = Now() - t;
  fs::create_directories(work / "x");
  zip.SetZipFileName(parts.back().string());
  zip.ExtrBaseDir = (work / "x").string();
  t = Now();
  zip.Extract();
  double extract = Now() - t;
  printf("extract: %d entries (error %d)\n", zip.SuccessCnt(), zip.ErrCode());
  SpanRow("extract", extract, copyParts, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vt-zip-bench";
  fs::remove_all(work);
  if (argc > 2 && std::string(argv[2]) == "span") {
    BenchVolumes(work);
    fs::remove_all(work);
    return 0;
  }
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
  BenchVolumes(work / "volumes");
  fs::remove_all(work);
  return 0;
}

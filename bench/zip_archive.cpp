// Adding, testing and extracting two trees through the zip component, beside Info-ZIP's
// zip -r -6, unzip -t and unzip on the same files in the same run: a corpus of about 300 MB in
// some 15,000 files (copies of /usr/share/doc and /usr/include), and a made tree of 10,000 files
// of mixed sizes. Each pair runs several times, ours and Info-ZIP's in turn; the rows give the
// least and the median wall-clock time, and CPU seconds (user + system; the libraries work on
// several threads), with the machine's load; extraction runs with 1, 3 and every core given to
// the process, each run into a new folder. Then the peak memory of extracting large entries into
// an empty folder, over the files they made and under one name, beside unzip's; listing the
// directory of an archive of 100,000 entries beside unzip -l; then writing a 200 MB archive out
// as a set of 10 MB volumes and joining the set back, each beside copying the same bytes (read +
// write), and the spanned add beside Info-ZIP's zip -s. "zip_archive [folder] span" runs the
// volume part alone, "zip_archive [folder] tree" the made tree alone, "zip_archive [folder]
// memory" the memory part.
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/load_average.h"
#include "bench/quick.h"
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

double CpuSeconds(int who) {
  struct rusage u {};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The machine's load, as uptime shows it.
void PrintLoad(const char* when) { printf("%s: %s\n", when, bench_load::LoadAverage().c_str()); }

// Wall-clock and CPU seconds of repeated runs.
struct TSeries {
  std::vector<double> wall, cpu;
  static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
  }
  static double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
};

// One run of our operation in this process, and one of an Info-ZIP command (a child).
void Ours(TSeries& s, const std::function<void()>& op) {
  double c = CpuSeconds(RUSAGE_SELF), t = Now();
  op();
  s.wall.push_back(Now() - t);
  s.cpu.push_back(CpuSeconds(RUSAGE_SELF) - c);
}
void Theirs(TSeries& s, const std::string& cmd) {
  double c = CpuSeconds(RUSAGE_CHILDREN);
  s.wall.push_back(Run(cmd));
  s.cpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - c);
}

// Runs the pair `rounds` times, ours first in even rounds and Info-ZIP first in odd ones; before
// runs the untimed preparation of each round (a fresh target), between (if given) the untimed
// step between the two runs of a round.
void Pairs(int rounds, TSeries& ours, TSeries& ref, const std::function<void()>& before,
           const std::function<void()>& op, const std::function<std::string()>& cmd,
           const std::function<void()>& between = nullptr) {
  for (int r = 0; r < rounds; ++r) {
    before();
    bool oursFirst = r % 2 == 0;
    if (oursFirst) Ours(ours, op);
    else Theirs(ref, cmd());
    if (between) between();
    if (oursFirst) Theirs(ref, cmd());
    else Ours(ours, op);
  }
}
void Pairs(int rounds, TSeries& ours, TSeries& ref, const std::function<void()>& before,
           const std::function<void()>& op, const std::string& cmd) {
  Pairs(rounds, ours, ref, before, op, [&cmd] { return cmd; });
}

// Writes back what the runs so far wrote to the file system of a folder, so that no run shares
// the machine with the write-back of another's files.
void WriteBack(const fs::path& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  if (syncfs(fd) != 0) fprintf(stderr, "cannot write back %s\n", folder.c_str());
  close(fd);
}

void PairRow(const char* what, const TSeries& ours, const TSeries& ref, uint64_t bytes) {
  double mb = bytes / 1e6, o = TSeries::Min(ours.wall), r = TSeries::Min(ref.wall);
  double oc = TSeries::Median(ours.cpu), rc = TSeries::Median(ref.cpu);
  printf("%-12s wall ours min %6.2f s med %6.2f s %7.1f MB/s | Info-ZIP min %6.2f s med %6.2f s | ratio min %5.2fx med %5.2fx\n",
         what, o, TSeries::Median(ours.wall), mb / o, r, TSeries::Median(ref.wall), r / o,
         TSeries::Median(ref.wall) / TSeries::Median(ours.wall));
  printf("%-12s cpu  ours med %6.2f s | Info-ZIP med %6.2f s | per CPU-second %5.2fx\n", "", oc, rc, oc > 0 ? rc / oc : 0);
}

// Lets this thread, and the threads and programs it starts, run on the first n cores only.
void UseCores(unsigned n) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (unsigned c = 0; c < n; ++c) CPU_SET(c, &set);
  if (sched_setaffinity(0, sizeof set, &set) != 0) fprintf(stderr, "cannot limit the cores to %u\n", n);
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
  for (int i = 0; i < bench_quick::Pick(20, 4); ++i) {
    FILE* f = fopen((work / "files" / ("part" + std::to_string(i) + ".bin")).c_str(), "wb");
    for (int k = 0; k < bench_quick::Pick(10, 1); ++k) {
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
  zip.MaxVolumeSize = bench_quick::Pick(10000000, 1000000);
  zip.MinFreeVolumeSize = 65536;
  zip.TempDir = work.string();

  double bestWrite = 1e9, bestCopyWrite = 1e9, bestJoin = 1e9, bestCopyJoin = 1e9;
  size_t volumes = 0;
  bool same = true;
  for (int run = 0; run < bench_quick::Pick(5, 1); ++run) {
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
  bench_quick::Check(same && volumes > 1, "the joined set identical to the archive it was written from");
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
  TSeries spanOurs, spanRef;
  PrintLoad("before the spanned adds");
  Pairs(
      bench_quick::Pick(5, 1), spanOurs, spanRef,
      [&] {
        fs::remove_all(work / "set");
        fs::remove_all(work / "iz");
        fs::create_directories(work / "set");
        fs::create_directories(work / "iz");
        zip.SetZipFileName((work / "set/set.zip").string());
      },
      [&] {
        zip.FSpecArgs()->Add("*.*");
        zip.Add();
      },
      "cd " + (work / "files").string() + " && zip -q -r -0 -s " + bench_quick::Pick<std::string>("10m", "1m") + " " +
          (work / "iz/set.zip").string() + " .");
  printf("add: %d entries (error %d), volumes of 10 MB\n", zip.SuccessCnt(), zip.ErrCode());
  PairRow("add -s", spanOurs, spanRef, bytes);
  SpanRow("add set", TSeries::Min(spanOurs.wall), copyFiles, bytes);
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
  bench_quick::Check(zip.SuccessCnt() == static_cast<int>(inputs.size()), "every file extracted from the set");
  SpanRow("extract", extract, copyParts, bytes);
}

// Add, test and extract of one tree, each beside Info-ZIP in the same run.
void BenchTree(const fs::path& work, const fs::path& tree, const char* name, int rounds = 3) {
  rounds = bench_quick::Pick(rounds, 1);
  size_t files = 0;
  uint64_t bytes = TreeBytes(tree, &files);
  printf("%s: %zu files, %.1f MB, %d runs of each\n", name, files, bytes / 1e6, rounds);
  PrintLoad("before");
  std::string ours = (work / "ours.zip").string(), ref = (work / "ref.zip").string();
  TZipKeeper zip(nullptr);
  zip.Unattended = true;
  zip.SetDLLDirectory(VT_PROGRAM_DIR);
  zip.AddCompLevel = 6;
  TSeries addOurs, addRef;
  Pairs(
      rounds, addOurs, addRef,
      [&] {
        fs::remove(ours);
        fs::remove(ref);
        zip.SetZipFileName(ours);
      },
      [&] {
        zip.AddOptions = {AddDirNames, AddRecurseDirs, AddHiddenFiles};
        zip.RootDir = tree.string();
        zip.FSpecArgs()->Add("*.*");
        zip.Add();
      },
      "cd " + tree.string() + " && zip -q -r -6 " + ref + " .");
  printf("entries: ours %d (errors %d), compressed ours %.2f MB, Info-ZIP %.2f MB (%+.2f %%)\n", zip.SuccessCnt(),
         zip.ErrCode(), fs::file_size(ours) / 1e6, fs::file_size(ref) / 1e6,
         (double(fs::file_size(ours)) / double(fs::file_size(ref)) - 1) * 100);
  PairRow("add", addOurs, addRef, bytes);

  TSeries testOurs, testRef;
  Pairs(
      rounds, testOurs, testRef, [] {},
      [&] {
        zip.ExtrOptions = {ExtrTest};
        zip.Extract();
      },
      "unzip -tq " + ref + " >/dev/null");
  PairRow("test", testOurs, testRef, bytes);

  // Extraction with 1, 3 and every core given to the process (the workers follow the cores it
  // may use); unzip works on one thread whatever it is given. Every run extracts into a folder of
  // its own, made after what the runs before it wrote has gone to disk, and the folders stay until
  // the benchmark ends: an ext4 without a journal makes each new file step past every inode of its
  // group freed in the last five minutes (when its table block is unwritten, as it is again as soon
  // as a file is made beside it), one look-up each, so a run after a removal pays for it, and the
  // more was removed the later it runs. Removing the trees
  // between runs made the figures depend on the order of the runs (the CPU time of one extraction
  // rose ninefold over seven rounds); this takes some GB of disk until the end. For the same
  // reason a benchmark started within five minutes of another one's end pays for its removal.
  fs::path xo, xr;
  int serial = 0;
  unsigned all = std::thread::hardware_concurrency();
  std::vector<unsigned> coreCounts = {1, 3, all};
  coreCounts.erase(std::remove_if(coreCounts.begin(), coreCounts.end(), [&](unsigned c) { return c > all; }),
                   coreCounts.end());
  coreCounts.erase(std::unique(coreCounts.begin(), coreCounts.end()), coreCounts.end());
  for (unsigned cores : coreCounts) {
    UseCores(cores);
    TSeries extractOurs, extractRef;
    int extracted = 0;
    Pairs(
        rounds, extractOurs, extractRef,
        [&] {
          ++serial;
          xo = work / "x" / (std::string(name) + "-ours" + std::to_string(serial));
          xr = work / "x" / (std::string(name) + "-ref" + std::to_string(serial));
          fs::create_directories(xo);
          WriteBack(work);
        },
        [&] {
          zip.ExtrOptions = {ExtrDirNames, ExtrOverWrite};
          zip.ExtrBaseDir = xo.string();
          zip.Extract();
          extracted = zip.SuccessCnt();
        },
        [&] { return "unzip -qo " + ref + " -d " + xr.string(); }, [&] { WriteBack(work); });
    UseCores(all);
    printf("extracted: ours %d entries, %u cores\n", extracted, cores);
    bench_quick::Check(extracted >= static_cast<int>(files), "every file of the tree extracted");
    std::string label = "extract " + std::to_string(cores) + "c";
    PairRow(label.c_str(), extractOurs, extractRef, bytes);
  }
  PrintLoad("after");
  fs::remove(ours);
  fs::remove(ref);
}

// 10,000 files of mixed sizes in 280 folders: most small, some tens of KB, a few of some
// hundred KB; text that compresses about as source code does.
void MakeMixedTree(const fs::path& root) {
  std::mt19937_64 rng(11);
  const char* words[] = {"int ", "return ", "value", "(", ")", ";\n", "{\n", "}\n", "const ", "std::string ",
                         "for ", "if ", "else ", " = ", " + ", "count", "name", "index", "// note\n", "0x1F"};
  std::string text;
  while (text.size() < (1 << 20)) text += words[rng() % 20];
  for (int i = 0; i < bench_quick::Pick(10000, 200); ++i) {
    uint64_t r = rng() % 100, size = r < 70 ? 200 + rng() % 8000 : r < 95 ? 8000 + rng() % 56000 : 64000 + rng() % 400000;
    fs::path p = root / ("d" + std::to_string(i % 280)) / ("f" + std::to_string(i) + ".txt");
    fs::create_directories(p.parent_path());
    FILE* f = fopen(p.c_str(), "wb");
    size_t at = static_cast<size_t>(rng() % (text.size() - size));
    fwrite(text.data() + at, 1, static_cast<size_t>(size), f);
    fclose(f);
  }
}

// The process's peak resident memory since the last reset, in MB; the reset starts a new peak.
double PeakMb() {
  double kb = 0;
  if (FILE* f = fopen("/proc/self/status", "r")) {
    char line[256];
    while (fgets(line, sizeof line, f))
      if (sscanf(line, "VmHWM: %lf", &kb) == 1) break;
    fclose(f);
  }
  return kb / 1024;
}
void ResetPeak() {
  if (FILE* f = fopen("/proc/self/clear_refs", "w")) {
    fputs("5", f);
    fclose(f);
  }
}

// Peak memory of a command (the reference), in MB. A child forked from this process would count
// this process's pages as its own, so a small program starts it and reports its peak: time(1)
// where it is installed, else Python (whose own 14 MB or so then set a floor).
double ChildPeakMb(const std::string& cmd) {
  std::string run = access("/usr/bin/time", X_OK) == 0
                        ? "/usr/bin/time -f %M " + cmd + " 2>&1 >/dev/null | tail -1"
                        : "python3 -c \"import resource, subprocess, sys; subprocess.run(sys.argv[1], shell=True); "
                          "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\" '" + cmd + "'";
  double kb = 0;
  if (FILE* f = popen(run.c_str(), "r")) {
    if (fscanf(f, "%lf", &kb) != 1) kb = 0;
    pclose(f);
  }
  return kb / 1024;
}

// Whole-process peak memory of extracting large entries into an empty folder and again over the
// files they made, beside unzip doing the same; then many entries of one name.
void BenchMemory(const fs::path& work) {
  fs::create_directories(work);
  const int entries = bench_quick::Pick(40, 6), mb = bench_quick::Pick(31, 4), same = bench_quick::Pick(200, 12);
  std::string big = (work / "zeros.zip").string(), one = (work / "one-name.zip").string();
  Run("python3 -c \"import zipfile; z = zipfile.ZipFile('" + big + "', 'w', zipfile.ZIP_DEFLATED); "
      "[z.writestr('zero%02d.bin' % i, bytes(" + std::to_string(mb) + " << 20)) for i in range(" +
      std::to_string(entries) + ")]; z.close()\"");
  Run("python3 -W ignore -c \"import zipfile; z = zipfile.ZipFile('" + one + "', 'w', zipfile.ZIP_DEFLATED); "
      "[z.writestr('same.bin', bytes([i % 256]) * (" + std::to_string(mb) + " << 20)) for i in range(" +
      std::to_string(same) + ")]; z.close()\"");
  printf("memory: %d entries of %d MB of zeros (%.1f MB archive); %d entries of one name\n", entries, mb,
         fs::file_size(big) / 1e6, same);
  PrintLoad("before");
  TZipKeeper zip(nullptr);
  zip.Unattended = true;
  zip.SetDLLDirectory(VT_PROGRAM_DIR);
  zip.LoadUnzipLibrary();
  auto extract = [&](const std::string& archive, const fs::path& to) {
    zip.SetZipFileName(archive);
    zip.ExtrOptions = {ExtrOverWrite};
    zip.ExtrBaseDir = to.string();
    ResetPeak();
    zip.Extract();
    return PeakMb();
  };
  auto row = [](const char* what, double ours, double ref, int count) {
    printf("%-22s peak ours %7.0f MB | unzip %7.0f MB | %d entries\n", what, ours, ref, count);
  };
  fs::path xo = work / "x-ours", xr = work / "x-ref";
  fs::create_directories(xo);
  fs::create_directories(xr);
  double empty = extract(big, xo);
  int count = zip.SuccessCnt();
  double emptyRef = ChildPeakMb("unzip -qo " + big + " -d " + xr.string());
  row("into an empty folder", empty, emptyRef, count);
  double over = extract(big, xo);
  count = zip.SuccessCnt();
  double overRef = ChildPeakMb("unzip -qo " + big + " -d " + xr.string());
  row("over its own files", over, overRef, count);
  fs::remove_all(xo);
  fs::remove_all(xr);
  fs::create_directories(xo);
  fs::create_directories(xr);
  double oneName = extract(one, xo);
  count = zip.SuccessCnt();
  double oneRef = ChildPeakMb("unzip -qo " + one + " -d " + xr.string());
  row("one name, many entries", oneName, oneRef, count);
  bench_quick::Check(count == same, "every entry of one name extracted");
  PrintLoad("after");
  zip.UnloadUnzipLibrary();
  fs::remove_all(work);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  fs::path work = argc > 1 ? fs::path(argv[1])
                           : fs::temp_directory_path() / ("vt-zip-bench-" + std::to_string(getpid()));
  fs::remove_all(work);
  if (argc > 2 && std::string(argv[2]) == "span") {
    BenchVolumes(work);
    fs::remove_all(work);
    return bench_quick::Status();
  }
  if (argc > 2 && std::string(argv[2]) == "memory") {
    BenchMemory(work);
    return bench_quick::Status();
  }
  printf("cores: %u\n", std::thread::hardware_concurrency());
  if (argc > 2 && std::string(argv[2]) == "tree") {
    MakeMixedTree(work / "tree");
    BenchTree(work, work / "tree", "tree", 7);
    fs::remove_all(work);
    return bench_quick::Status();
  }
  if (!bench_quick::On()) {
    fs::create_directories(work / "corpus");
    // The corpus: real files, links resolved, so that both tools see the same regular files.
    Run("cp -rL /usr/share/doc " + (work / "corpus/doc").string() + " 2>/dev/null");
    Run("cp -rL /usr/include " + (work / "corpus/include").string() + " 2>/dev/null");
    Run("find " + (work / "corpus").string() + " ! -type f ! -type d -delete");
    BenchTree(work, work / "corpus", "corpus");
  }
  MakeMixedTree(work / "tree");
  BenchTree(work, work / "tree", "tree");
  BenchMemory(work / "memory");

  std::string many = (work / "many.zip").string();
  const int entries = bench_quick::Pick(100000, 1000);
  Run("python3 -c \"import zipfile; z = zipfile.ZipFile('" + many +
      "', 'w'); [z.writestr('folder/file%06d.txt' % i, b'') for i in range(" +
      std::to_string(entries) + ")]; z.close()\"");
  TZipKeeper lister(nullptr);
  lister.Unattended = true;
  double t = Now();
  lister.SetZipFileName(many);
  double listOurs = Now() - t;
  double listRef = Run("unzip -l " + many + " >/dev/null");
  printf("list       ours %7.0f ms (%d entries)   unzip -l %7.0f ms   ratio %5.2fx\n", listOurs * 1000, lister.Count(),
         listRef * 1000, listRef / listOurs);
  bench_quick::Check(lister.Count() == entries, "every entry of the directory listed");
  BenchVolumes(work / "volumes");
  fs::remove_all(work);
  return bench_quick::Status();
}

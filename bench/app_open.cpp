// Opening a 100 MB document in the main window (File Open's load into the editor, the title
// and the status bar), beside a plain read of the same file into memory. First, in the fresh
// process: the whole process's resident memory after the document is opened, selected whole,
// deleted and the deletion undone, and then replaced by File New's page, beside the memory of
// the window as it started.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "bench/load_average.h"
#include "bench/memory_use.h"
#include "bench/program_folder.h"
#include "bench/quick.h"
#include "platform/application.h"
#include "platform/graphics.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double PlainRead(const std::string& path) {
  double t = Now();
  int fd = ::open(path.c_str(), O_RDONLY);
  std::vector<char> buf(static_cast<size_t>(std::filesystem::file_size(path)));
  size_t got = 0;
  while (got < buf.size()) {
    ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  return Now() - t;
}

}  // namespace

int main(int argc, char** argv) {
  long long bytes = argc > 1 ? std::atoll(argv[1]) : bench_quick::Pick(100LL * 1000 * 1000, 30LL * 1000 * 1000);
  int lines = 0;
  char tmpl[] = "/tmp/vt-bench-open-XXXXXX";
  std::filesystem::path dir = mkdtemp(tmpl);
  bench_program::Prepare(dir);
  std::string doc = (dir / "big.html").string();
  {
    std::ofstream f(doc, std::ios::binary);
    std::string line;
    long long written = 0;
    for (int& i = lines; written < bytes; ++i) {
      line = "  <p class=\"c" + std::to_string(i % 7) + "\">Line " + std::to_string(i) +
             " of the document, some text &amp; words</p>\r\n";
      f << line;
      written += static_cast<long long>(line.size());
    }
  }

  EnsureGuiApplication();
  Application->Initialize();
  TMain* form = nullptr;
  Application->CreateForm(form);
  bench_program::Started();
  form->Show();
  ProcessMessages();

  // Memory given back when a document and its undo history are replaced.
  {
    const long fresh = bench_mem::ResidentKb();
    form->opennn(doc);
    form->SrcEdit1->Update();
    const long opened = bench_mem::ResidentKb();
    form->SrcEdit1->CommandProcessor(ecSelectAll, 0, nullptr);
    form->SrcEdit1->CommandProcessor(ecDeleteChar, 0, nullptr);
    form->SrcEdit1->CommandProcessor(ecUndo, 0, nullptr);
    const long edited = bench_mem::ResidentKb();
    bench_quick::Check(form->SrcEdit1->Lines()->Count() == lines && !form->SrcEdit1->Modified(),
                       "the deletion of the whole document undone");
    form->FileNewActinExecute(nullptr);
    ProcessMessages();
    const long renewed = bench_mem::ResidentKb();
    const double bound = 1.5 * fresh / 1024.0 + 20;
    std::printf("resident memory: window started %.0f MB, document opened %.0f MB, after select all, delete, undo "
                "%.0f MB; after File New %.0f MB (bound 1.5x the start + 20 MB = %.0f MB)\n",
                fresh / 1024.0, opened / 1024.0, edited / 1024.0, renewed / 1024.0, bound);
    bench_quick::Check(renewed / 1024.0 <= bound, "File New gives a replaced document's memory back");
  }

  std::vector<double> reads, opens;
  const int rounds = bench_quick::Pick(5, 2);
  for (int r = 0; r < rounds; ++r) {
    reads.push_back(PlainRead(doc));
    double t = Now();
    form->opennn(doc);
    form->SrcEdit1->Update();
    opens.push_back(Now() - t);
    bench_quick::Check(form->SrcEdit1->Lines()->Count() == lines, "every line of the document opened");
    form->SrcEdit1->Lines()->Clear();
  }
  double mb = static_cast<double>(std::filesystem::file_size(doc)) / 1e6;
  double openMin = *std::min_element(opens.begin(), opens.end());
  double readMin = *std::min_element(reads.begin(), reads.end());
  std::printf("document: %.1f MB, %d lines, %d interleaved pairs, %s\n", mb, lines, rounds,
              bench_load::LoadAverage().c_str());
  std::printf("open in the main window: min %.3f s, median %.3f s (%.0f MB/s at the median)\n", openMin,
              Median(opens), mb / Median(opens));
  std::printf("reference plain read:    min %.3f s, median %.3f s (%.0f MB/s at the median)\n", readMin,
              Median(reads), mb / Median(reads));
  std::fflush(stdout);
  std::filesystem::remove_all(dir);
  _exit(bench_quick::Status());
}

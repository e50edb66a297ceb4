// Loading and saving a 100 MB, 1 M-line HTML-like document through the editor's line store,
// beside a plain read and a plain write of the same bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "bench/large_page_read.h"
#include "bench/memory_use.h"
#include "bench/quick.h"
#include "editor/core/line_store.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

using bench_mem::PeakKb;
using bench_mem::ResidentKb;

std::string MakeLine(int i) {
  static const char* tags[] = {"p", "div", "span", "a href=\"page.html\"", "td", "li"};
  const char* t = tags[i % 6];
  std::string s = "  <" + std::string(t) + ">Line " + std::to_string(i) +
                  " of the document, some text &amp; words</" + std::string(t).substr(0, std::string(t).find(' ')) + ">";
  while (s.size() < 98) s += " x";
  s.resize(98);
  return s;
}

}  // namespace

int main() {
  char tmpl[] = "/tmp/vt-bench-lines-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string path = dir + "/big.html";
  const int lines = bench_quick::Pick(1000000, 10000);
  {
    FILE* f = fopen(path.c_str(), "wb");
    for (int i = 0; i < lines; ++i) {
      std::string l = MakeLine(i);
      fwrite(l.data(), 1, l.size(), f);
      fwrite("\r\n", 1, 2, f);
    }
    fclose(f);
  }
  double mb = static_cast<double>(FileSize(path)) / (1024.0 * 1024.0);
  long before = ResidentKb();

  // Each figure is the best of three runs, as the machine may be busy.
  auto* store = new TSrcEditStringList;
  double t0 = Now();
  store->LoadFromFile(path);
  double tLoad = Now() - t0;
  long afterLoad = ResidentKb(), peak = PeakKb();
  bench_quick::Check(store->Count() == lines, "every line loaded");
  for (int k = 0; k < 2; ++k) {
    t0 = Now();
    store->LoadFromFile(path);
    tLoad = std::min(tLoad, Now() - t0);
  }
  double tSave = 1e9;
  for (int k = 0; k < 3; ++k) {
    t0 = Now();
    store->SaveToFile(dir + "/saved.html");
    tSave = std::min(tSave, Now() - t0);
  }
  delete store;
  bench_quick::Check(FileSize(dir + "/saved.html") == FileSize(path), "the saved file as long as the loaded one");

  // The plain references: one read of the whole file, one write of the same bytes.
  double tRead = 1e9, tWrite = 1e9;
  std::string buf;
  for (int k = 0; k < 3; ++k) {
    t0 = Now();
    std::string fresh(static_cast<size_t>(FileSize(path)), '\0');
    int fd = open(path.c_str(), O_RDONLY);
    size_t got = 0;
    while (got < fresh.size()) {
      ssize_t n = read(fd, fresh.data() + got, fresh.size() - got);
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    close(fd);
    tRead = std::min(tRead, Now() - t0);
    buf.swap(fresh);
  }
  // The same read into memory taken the way the store takes it (large pages where offered).
  double tReadLarge = 1e9;
  for (int k = 0; k < 3; ++k) tReadLarge = std::min(tReadLarge, bench_read::LargePageRead(path));
  auto plainWrite = [&](const std::string& name, bool flush) {
    double best = 1e9;
    for (int k = 0; k < 3; ++k) {
      double a = Now();
      int fd = open((dir + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      size_t put = 0;
      while (put < buf.size()) {
        ssize_t n = write(fd, buf.data() + put, buf.size() - put);
        if (n <= 0) break;
        put += static_cast<size_t>(n);
      }
      if (flush) fsync(fd);  // the save flushes the file to disk before it replaces the old one
      close(fd);
      best = std::min(best, Now() - a);
    }
    return best;
  };
  tWrite = plainWrite("/plain.html", false);
  double tWriteSync = plainWrite("/plain-synced.html", true);

  printf("document: %.1f MB, %d lines\n", mb, lines);
  printf("LoadFromFile   %7.1f ms  %7.1f MB/s   plain read  %7.1f ms  %7.1f MB/s   ratio %.2fx\n",
         tLoad * 1e3, mb / tLoad, tRead * 1e3, mb / tRead, tLoad / tRead);
  printf("LoadFromFile   %7.1f ms                plain read into large pages %7.1f ms       ratio %.2fx\n",
         tLoad * 1e3, tReadLarge * 1e3, tLoad / tReadLarge);
  printf("SaveToFile     %7.1f ms  %7.1f MB/s   plain write %7.1f ms  %7.1f MB/s   ratio %.2fx\n",
         tSave * 1e3, mb / tSave, tWrite * 1e3, mb / tWrite, tSave / tWrite);
  printf("SaveToFile     %7.1f ms                plain write + fsync %7.1f ms               ratio %.2fx\n",
         tSave * 1e3, tWriteSync * 1e3, tSave / tWriteSync);
  printf("resident after loading: %.1f MB (%.2fx the file); peak during loading %.1f MB (%.2fx)\n",
         (afterLoad - before) / 1024.0, (afterLoad - before) / 1024.0 / mb, (peak - before) / 1024.0,
         (peak - before) / 1024.0 / mb);
  std::system(("rm -rf " + dir).c_str());
  return bench_quick::Status();
}

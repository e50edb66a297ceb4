// Opening large documents in the control with the HTML highlighter attached, as the program
// does, each beside references measured in the same run: a plain read of the file, a plain
// write of the same bytes, and vim opening the same file (when installed).
//
//   editor_open          a 100 MB document (load, every range, peak memory), then a 50 MB single
//                        line (open, Backspace near its start, the deferred range scan, save)
//   editor_open 400      a 400 MB document (peak memory)
//   editor_open empty    a document of 10 million empty lines
//
// The peak memory is the whole process's highest resident size, ours as vim's, so each mode
// measures one document in a process of its own; our figures are taken before the plain read's.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/editor_document.h"
#include "bench/large_page_read.h"
#include "bench/memory_use.h"
#include "bench/quick.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::MakeLine;
using bench_doc::Now;

using bench_mem::PeakKb;
using bench_mem::ResidentKb;
using bench_read::LargePageRead;

double PlainRead(const std::string& path) {
  double t0 = Now();
  std::string data(static_cast<size_t>(FileSize(path)), '\0');
  int fd = open(path.c_str(), O_RDONLY);
  size_t got = 0;
  while (got < data.size()) {
    ssize_t n = read(fd, data.data() + got, data.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  return Now() - t0;
}

// Writes the bytes of the file From to the file To, 1 MB per write, then fsync, as a save
// that puts the data on disk must.
double PlainWrite(const std::string& from, const std::string& to) {
  std::string data(static_cast<size_t>(FileSize(from)), '\0');
  int in = open(from.c_str(), O_RDONLY);
  if (read(in, data.data(), data.size()) < 0) data.clear();
  close(in);
  double t0 = Now();
  int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (size_t done = 0; done < data.size();) {
    ssize_t n = write(fd, data.data() + done, std::min<size_t>(data.size() - done, 1 << 20));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  fsync(fd);
  close(fd);
  return Now() - t0;
}

// vim opening and leaving the file, in a process of its own: wall time and peak memory.
void Vim(const std::string& path, double mb) {
  if (bench_quick::On()) return;
  if (access("/usr/bin/vim", X_OK) != 0 || access("/usr/bin/time", X_OK) != 0) {
    std::printf("  vim: not installed\n");
    return;
  }
  std::string cmd = "/usr/bin/time -v /usr/bin/vim -u NONE -es -c q! '" + path + "' 2>&1 </dev/null";
  double t0 = Now();
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return;
  char line[512];
  long rssKb = 0;
  while (fgets(line, sizeof line, p)) {
    const char* key = "Maximum resident set size (kbytes):";
    if (const char* at = std::strstr(line, key)) rssKb = std::atol(at + std::strlen(key));
  }
  pclose(p);
  double t = Now() - t0;
  std::printf("  vim -u NONE -es -c q!: %.0f ms, peak memory %.0f MB (%.2fx the file, whole process)\n", t * 1e3, rssKb / 1024.0,
              rssKb / 1024.0 / (mb / 1.048576));
}

std::string WriteDocument(const std::string& path, long bytes, bool empty, int& lines) {
  FILE* f = fopen(path.c_str(), "wb");
  lines = 0;
  for (long size = 0; size < bytes; ++lines) {
    std::string l = empty ? std::string("\r\n") : MakeLine(lines) + "\r\n";
    fwrite(l.data(), 1, l.size(), f);
    size += static_cast<long>(l.size());
  }
  fclose(f);
  sync();
  return path;
}

// Load, then every line's range, with the peak memory of the process beside the file's size.
void OpenDocument(const std::string& path, int lines) {
  double mb = static_cast<double>(FileSize(path)) / 1e6;
  double fileMiB = mb / 1.048576;
  long before = ResidentKb();
  {
    TSrcEdit edit(nullptr);
    TSrcHTMLSrc html(nullptr);
    edit.SetHighlighter(&html);
    ShowForTest(&edit, 800, 600);
    double t0 = Now();
    edit.Lines()->LoadFromFile(path);
    double tLoad = Now() - t0;
    edit.Lines()->GetRange(edit.Lines()->Count() - 1);
    double tAll = Now() - t0;
    long peak = PeakKb();
    bench_quick::Check(edit.Lines()->Count() == lines, "every line of the document loaded");
    std::printf("document: %.1f MB, %d lines\n", mb, lines);
    // The whole process's peak, as /usr/bin/time reports vim's below; what the process held
    // before the load is shown for reference only.
    std::printf("  ours: load %.0f ms, load + every range %.0f ms, peak memory %.0f MB (%.2fx the file; "
                "%.0f MB of it held before the load)\n",
                tLoad * 1e3, tAll * 1e3, peak / 1024.0, peak / 1024.0 / fileMiB, before / 1024.0);
    // The ranges alone over the loaded lines: asked for at each line's end as the editor does,
    // beside running every token of every line to its end, as the range scan did before.
    TSrcEditStringList* lines = edit.Lines();
    double tRanges = 0, tTokens = 0;
    uintptr_t sum[2] = {0, 0};
    for (int pass = 0; pass < 2; ++pass) {
      html.ResetRange();
      double t1 = Now();
      for (int i = 0; i < lines->Count(); ++i) {
        TSrcRange r = pass ? html.TSrcCustomHighlighter::ScanLineRange(lines->Line(i), i)
                           : html.ScanLineRange(lines->Line(i), i);
        sum[pass] = sum[pass] * 31 + reinterpret_cast<uintptr_t>(r);
      }
      (pass ? tTokens : tRanges) = Now() - t1;
    }
    std::printf("  every range alone: %.0f ms; the same by every token %.0f ms (%s)\n", tRanges * 1e3, tTokens * 1e3,
                sum[0] == sum[1] ? "same ranges" : "RANGES DIFFER");
    bench_quick::Check(sum[0] == sum[1], "the same ranges by either scan");
    edit.SetHighlighter(nullptr);
  }
  std::printf("  plain read of the file: %.0f ms; into large pages %.0f ms\n", PlainRead(path) * 1e3,
              LargePageRead(path) * 1e3);
  Vim(path, mb);
}

void SingleLine(const std::string& dir) {
  std::string one = dir + "/one.html";
  {
    std::string l = MakeLine(1);
    FILE* f = fopen(one.c_str(), "wb");
    for (long size = 0; size < bench_quick::Pick(50000000L, 1000000L); size += static_cast<long>(l.size()))
      fwrite(l.data(), 1, l.size(), f);
    fclose(f);
  }
  sync();
  TSrcEdit edit(nullptr);
  TSrcHTMLSrc html(nullptr);
  edit.SetHighlighter(&html);
  ShowForTest(&edit, 800, 600);
  double t0 = Now();
  edit.Lines()->LoadFromFile(one);
  edit.Update();
  double tOpen = Now() - t0;
  bench_quick::Check(edit.Lines()->Count() == 1, "the single line loaded as one line");
  // The range at the end of the line, which no other line needs, is left to idle time.
  t0 = Now();
  edit.Lines()->GetRange(0);
  double tOpenScan = Now() - t0;
  edit.SetCaretXY(BufferCoord(2, 1));
  t0 = Now();
  edit.CommandProcessor(ecDeleteLastChar, 0, nullptr);
  edit.Update();
  double tBack = Now() - t0;
  t0 = Now();
  edit.Lines()->GetRange(0);
  double tScan = Now() - t0;
  t0 = Now();
  edit.CommandProcessor(ecChar, 'x', nullptr);
  edit.Update();
  double tType = Now() - t0;
  edit.Lines()->GetRange(0);
  t0 = Now();
  edit.Undo();
  edit.Update();
  double tUndo = Now() - t0;
  edit.Lines()->GetRange(0);
  t0 = Now();
  edit.Lines()->SaveToFile(one);
  double tSave = Now() - t0;
  const double mb = static_cast<double>(FileSize(one)) / 1e6;
  std::printf("%.0f MB single line:\n  ours: open %.0f ms (then %.0f ms of idle range scanning), Backspace near its start "
              "%.0f ms (then %.0f ms of idle range scanning), a character typed there %.0f ms, its undo %.0f ms, save %.0f ms\n",
              mb, tOpen * 1e3, tOpenScan * 1e3, tBack * 1e3, tScan * 1e3, tType * 1e3, tUndo * 1e3, tSave * 1e3);
  std::printf("  plain read %.0f ms (into large pages %.0f ms), plain write + fsync %.0f ms\n", PlainRead(one) * 1e3,
              LargePageRead(one) * 1e3, PlainWrite(one, dir + "/copy.html") * 1e3);
  edit.SetHighlighter(nullptr);
  Vim(one, mb);
}

}  // namespace

int main(int argc, char** argv) {
  EnsureGuiApplication();
  std::string mode = argc > 1 ? argv[1] : "";
  char tmpl[] = "/tmp/vt-bench-open-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  int lines = 0;
  if (mode == "400") {
    std::string path = WriteDocument(dir + "/big.html", 400000000, false, lines);
    OpenDocument(path, lines);
  } else if (mode == "empty") {
    std::string path = WriteDocument(dir + "/empty.html", bench_quick::Pick(20000000L, 200000L), true, lines);
    OpenDocument(path, lines);
  } else {
    std::string path = WriteDocument(dir + "/big.html", bench_quick::Pick(100000000L, 1000000L), false, lines);
    OpenDocument(path, lines);
    SingleLine(dir);
  }
  std::system(("rm -rf " + dir).c_str());
  return bench_quick::Status();
}

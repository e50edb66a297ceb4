// Opening a 100 MB HTML document in the control with the HTML highlighter attached, as the
// program does: load, then every line's range, with the peak memory beside a plain read of the
// file; and a 50 MB single line: open, Backspace near its start, save.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/editor_document.h"
#include "bench/memory_use.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/input_simulation.h"

namespace {

using bench_doc::MakeLine;
using bench_doc::Now;

using bench_mem::PeakKb;
using bench_mem::ResidentKb;

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

}  // namespace

int main() {
  EnsureGuiApplication();
  char tmpl[] = "/tmp/vt-bench-open-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::string path = dir + "/big.html";
  int lines = 0;
  {
    FILE* f = fopen(path.c_str(), "wb");
    for (long size = 0; size < 100000000; ++lines) {
      std::string l = MakeLine(lines) + "\r\n";
      fwrite(l.data(), 1, l.size(), f);
      size += static_cast<long>(l.size());
    }
    fclose(f);
  }
  sync();
  double mb = static_cast<double>(FileSize(path)) / 1e6;
  double tRead = PlainRead(path);

  long before = ResidentKb();
  {
    TSrcEdit edit(nullptr);
    TSrcHTMLSrc html(nullptr);
    edit.SetHighlighter(&html);
    double t0 = Now();
    edit.Lines()->LoadFromFile(path);
    double tLoad = Now() - t0;
    edit.Lines()->GetRange(edit.Lines()->Count() - 1);
    double tAll = Now() - t0;
    long peak = PeakKb() - before;
    std::printf("document: %.1f MB, %d lines\n", mb, lines);
    std::printf("open: load %.0f ms, load + every range %.0f ms   plain read %.0f ms   peak memory %.0f MB (%.2fx the file)\n",
                tLoad * 1e3, tAll * 1e3, tRead * 1e3, peak / 1024.0, peak / 1024.0 / (mb / 1.048576));
    edit.SetHighlighter(nullptr);
  }

  // One line of 50 MB.
  std::string one = dir + "/one.html";
  {
    std::string l = MakeLine(1);
    FILE* f = fopen(one.c_str(), "wb");
    for (long size = 0; size < 50000000; size += static_cast<long>(l.size())) fwrite(l.data(), 1, l.size(), f);
    fclose(f);
  }
  {
    TSrcEdit edit(nullptr);
    TSrcHTMLSrc html(nullptr);
    edit.SetHighlighter(&html);
    ShowForTest(&edit, 800, 600);
    double t0 = Now();
    edit.Lines()->LoadFromFile(one);
    edit.Update();
    double tOpen = Now() - t0;
    edit.SetCaretXY(BufferCoord(2, 1));
    t0 = Now();
    edit.CommandProcessor(ecDeleteLastChar, 0, nullptr);
    edit.Update();
    double tBack = Now() - t0;
    t0 = Now();
    edit.Lines()->SaveToFile(one);
    double tSave = Now() - t0;
    std::printf("50 MB single line: open %.0f ms, Backspace near its start %.0f ms, save %.0f ms   plain read %.0f ms\n",
                tOpen * 1e3, tBack * 1e3, tSave * 1e3, PlainRead(one) * 1e3);
    edit.SetHighlighter(nullptr);
  }
  std::system(("rm -rf " + dir).c_str());
  return 0;
}

// Converting a 100 MB generated document from Windows-1251 to KOI8-R through the main window's
// document conversion (every line of the editor through the converter and back into its place,
// the HTML highlighter attached), beside glibc's iconv over the same bytes in the same run. The
// editor brings the highlighter's ranges beyond the visible lines up to date in idle time; a
// second figure includes that scan, forced by reading the last line's range. Each conversion is
// one undo step holding the text as it was: its Undo and Redo are timed in every round, and the
// peak memory of one conversion with its Undo and Redo is given beyond what the process held
// with the page loaded, beside iconv's peak over the same bytes.
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "bench/editor_document.h"
#include "bench/load_average.h"
#include "bench/memory_use.h"
#include "bench/program_folder.h"
#include "bench/quick.h"
#include "platform/application.h"
#include "platform/graphics.h"

namespace {

// The generated document's line with Russian words, so that a third of the bytes are letters
// the conversion changes.
AnsiString MakeRussianLine(int i) {
  static const AnsiString words = W1251(" Привет, это строка документа");
  return bench_doc::MakeLine(i) + words;
}

double IconvPass(const std::string& text, std::string& out) {
  iconv_t cd = iconv_open("KOI8-R", "CP1251");
  out.assign(text.size(), '\0');
  double t = bench_doc::Now();
  char* ip = const_cast<char*>(text.data());
  char* op = out.data();
  size_t il = text.size(), ol = out.size();
  if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) std::perror("iconv");
  double d = bench_doc::Now() - t;
  iconv_close(cd);
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  long long bytes = argc > 1 ? std::atoll(argv[1]) : bench_quick::Pick(100LL * 1000 * 1000, 1000LL * 1000);
  char tmpl[] = "/tmp/vt-bench-coding-XXXXXX";
  std::filesystem::path dir = mkdtemp(tmpl);
  bench_program::Prepare(dir);
  std::filesystem::create_directories(dir / "program");
  std::filesystem::create_directories(dir / "settings");
  std::ofstream(dir / "program" / "Template.html") << "<html>\r\n<body>\r\n</body>\r\n</html>\r\n";
  std::ofstream(dir / "program" / "notes.not");
  std::ofstream(dir / "settings" / "quorbex.ini") << "[General]\nMyPath=" << (dir / "program").string() << "\n";

  AnsiString text;
  text.reserve(static_cast<size_t>(bytes) + 200);
  int lines = 0;
  while (static_cast<long long>(text.size()) < bytes) {
    text += MakeRussianLine(lines++);
    text += "\r\n";
  }
  text.resize(text.size() - 2);
  double mb = static_cast<double>(text.size()) / 1e6;

  EnsureGuiApplication();
  Application->Initialize();
  TMain* form = nullptr;
  Application->CreateForm(form);
  bench_program::Started();
  form->Show();
  ProcessMessages();
  TSrcEditStringList* store = form->SrcEdit1->Lines();
  const long empty = bench_mem::ResidentKb();
  form->SrcEdit1->SetText(text);
  store->GetRange(store->Count() - 1);
  AnsiString first = store->Get(1);
  const long loaded = bench_mem::ResidentKb();

  // Memory first, before anything the timed rounds free could be reused: the peak of iconv
  // beyond the loaded page, then the peak of one conversion with its undo and
  // redo beyond what the process held with the page loaded.
  long iconvPeak = -1;
  bool peaks = bench_mem::ResetPeak();
  {
    std::string out;
    IconvPass(text, out);
    iconvPeak = bench_mem::PeakSinceResetKb();
  }
  const long beforeStep = bench_mem::ResidentKb();
  peaks = bench_mem::ResetPeak() && peaks;
  form->Koding(cpWIN, cpKOI);
  form->SrcEdit1->Undo();
  form->SrcEdit1->Redo();
  const long stepPeak = bench_mem::PeakSinceResetKb();
  AnsiString koi = store->Get(1);
  form->SrcEdit1->ClearUndo();
  form->Koding(cpKOI, cpWIN);
  form->SrcEdit1->ClearUndo();
  store->GetRange(store->Count() - 1);

  // Rounds of conversion, undo and redo, each beside iconv; the text goes back to Windows-1251
  // between rounds (untimed) so that every round converts the same letters.
  std::vector<double> koding, scanned, iconvs, undos, redos;
  std::string converted;
  bool undone = true, redone = true;
  const int rounds = bench_quick::Pick(5, 2);
  for (int r = 0; r < rounds; ++r) {
    form->SrcEdit1->ClearUndo();
    double t = bench_doc::Now();
    form->Koding(cpWIN, cpKOI);
    koding.push_back(bench_doc::Now() - t);
    store->GetRange(store->Count() - 1);
    scanned.push_back(bench_doc::Now() - t);
    iconvs.push_back(IconvPass(text, converted));
    t = bench_doc::Now();
    form->SrcEdit1->Undo();
    undos.push_back(bench_doc::Now() - t);
    undone = undone && store->Get(1) == first && store->Count() == lines;
    t = bench_doc::Now();
    form->SrcEdit1->Redo();
    redos.push_back(bench_doc::Now() - t);
    redone = redone && store->Get(1) == koi && store->Count() == lines;
    form->SrcEdit1->ClearUndo();
    form->Koding(cpKOI, cpWIN);
    store->GetRange(store->Count() - 1);
  }
  // The conversion did what iconv does.
  form->SrcEdit1->ClearUndo();
  form->Koding(cpWIN, cpKOI);
  AnsiString got = store->Get(1);
  size_t eol = converted.find("\r\n");
  size_t eol2 = converted.find("\r\n", eol + 2);
  bool same = got == converted.substr(eol + 2, eol2 - eol - 2) && first != got && koi == got;

  double k = bench_doc::Median(koding), ks = bench_doc::Median(scanned), i = bench_doc::Median(iconvs);
  double u = bench_doc::Median(undos), re = bench_doc::Median(redos);
  std::printf("document: %.1f MB, %d lines (medians of %d interleaved rounds; min %.1f ms Koding, %.1f ms iconv), "
              "%s\n",
              mb, lines, rounds, bench_doc::Min(koding) * 1e3, bench_doc::Min(iconvs) * 1e3, bench_load::LoadAverage().c_str());
  std::printf("Koding 1251 -> KOI8-R  %8.1f ms  %8.1f MB/s  (speed to iconv's %.2fx)\n", k * 1e3, mb / k, i / k);
  std::printf("  with every range     %8.1f ms  %8.1f MB/s  (speed to iconv's %.2fx)\n", ks * 1e3, mb / ks, i / ks);
  std::printf("Undo of the conversion %8.1f ms  %8.1f MB/s  (speed to iconv's %.2fx, time to Koding's %.2fx)\n",
              u * 1e3, mb / u, i / u, u / k);
  std::printf("Redo of the conversion %8.1f ms  %8.1f MB/s  (speed to iconv's %.2fx, time to Koding's %.2fx)\n",
              re * 1e3, mb / re, i / re, re / k);
  std::printf("iconv  1251 -> KOI8-R  %8.1f ms  %8.1f MB/s\n", i * 1e3, mb / i);
  std::printf("results agree: %s; undo gives the text back: %s; redo converts again: %s\n", same ? "yes" : "NO",
              undone ? "yes" : "NO", redone ? "yes" : "NO");
  // The memory figures are KiB; megabytes here are 10^6 bytes, as the document's size.
  auto megabytes = [](long kb) { return static_cast<double>(kb) * 1024 / 1e6; };
  auto toDocument = [&](long kb) { return static_cast<double>(kb) * 1024 / static_cast<double>(text.size()); };
  std::printf("memory (whole process, resident): loaded page %.1f MB (process %.1f MB)\n", megabytes(loaded - empty),
              megabytes(loaded));
  if (peaks) {
    std::printf("  conversion + Undo + Redo: peak %.1f MB, %.1f MB beyond the loaded page = %.2fx the document\n",
                megabytes(stepPeak), megabytes(stepPeak - beforeStep), toDocument(stepPeak - beforeStep));
    std::printf("  iconv:                    peak %.1f MB, %.1f MB beyond the loaded page = %.2fx the document\n",
                megabytes(iconvPeak), megabytes(iconvPeak - loaded), toDocument(iconvPeak - loaded));
  } else {
    std::printf("  peaks unknown: the system cannot reset the peak resident memory; process peak %.1f MB\n",
                megabytes(bench_mem::PeakKb()));
  }
  delete form;
  std::filesystem::remove_all(dir);
  bench_quick::Check(same, "results agree");
  bench_quick::Check(undone, "undo gives the text back");
  bench_quick::Check(redone, "redo converts again");
  return bench_quick::Status();
}

// Printing: the layout routines, then whole jobs printed to PDF files and read back with the
// poppler tools (pdftotext for the text, pdftoppm for the pixels).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "editor-services/print/header_footer.h"
#include "editor-services/print/print_text.h"
#include "editor-services/print/src_edit_print.h"
#include "highlighters/html.h"
#include "platform/printer/printer.h"
#include "platform/sysutils.h"
#include "tests/platform/test_print_server.h"

namespace fs = std::filesystem;

namespace {

TPrinterEntry Entry(const char* name, bool isDefault, double width = 210, double height = 297) {
  TPrinterEntry e;
  e.Name = name;
  e.IsDefault = isDefault;
  e.PaperWidth = width;
  e.PaperHeight = height;
  return e;
}

// ------------------------------------------------------------------------------ layout routines

TEST(PrintText, RomanNumerals) {
  EXPECT_EQ(PrintIntToRoman(1994), "MCMXCIV");
  EXPECT_EQ(PrintIntToRoman(3888), "MMMDCCCLXXXVIII");
  EXPECT_EQ(PrintIntToRoman(4), "IV");
  EXPECT_EQ(PrintIntToRoman(0), "");
  EXPECT_EQ(PrintIntToRoman(-5), "");
}

TEST(PrintText, WrapBreaksAfterTheLastBreakCharacterOfEachRow) {
  TSysCharSet blank{' '};
  std::vector<TWrapPos> list;
  EXPECT_TRUE(WrapTextEx("aaaa bbbb cccc", blank, 10, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Index, 10);
  // Several rows; a line that fits adds nothing.
  list.clear();
  EXPECT_TRUE(WrapTextEx("aa bb cc dd ee ff gg", blank, 6, list));
  std::vector<int> at;
  for (auto& p : list) at.push_back(p.Index);
  EXPECT_EQ(at, (std::vector<int>{6, 12, 18}));
  EXPECT_TRUE(WrapTextEx("short", blank, 10, list));
  EXPECT_EQ(list.size(), 3u);
  // A stretch without a break character undoes what this call added, and only that.
  list = {TWrapPos{99}};
  EXPECT_FALSE(WrapTextEx("aaaaaaaaaaaaaaaaaaaaaaaaa", blank, 10, list));
  EXPECT_FALSE(WrapTextEx("aaaa bbbbbbbbbbbbbbbbbbbbbbbb", blank, 10, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Index, 99);
}

TEST(PrintText, HeaderMacrosExpand) {
  THeaderFooterItem item;
  THeaderFooterValues v{4, 12, false, "T", "09.12.2026", "14:05:31"};
  item.Text = "Page $PAGENUM$ of $pagecount$";
  EXPECT_EQ(item.ExpandText(v), "Page 4 of 12");
  v.Roman = true;
  EXPECT_EQ(item.ExpandText(v), "Page IV of XII");
  v.Roman = false;
  item.Text = "$FOO$PAGENUM$ $5 $TITLE$ $DateTime$|$TIMEDATE$ $unclosed";
  EXPECT_EQ(item.ExpandText(v), "$FOO4 $5 T 09.12.2026 14:05:31|14:05:31 09.12.2026 $unclosed");
  item.Text = "   ";
  EXPECT_EQ(item.ExpandText(v), "");
}

TEST(PrintLayout, MarginsConvertUnitsAndLayOutPagesInPrinterPixels) {
  TSrcEditPrintMargins m;
  EXPECT_EQ(m.Left(), 25);
  m.SetUnitSystem(usInch);
  m.SetGutter(1);
  m.SetUnitSystem(usCM);
  EXPECT_DOUBLE_EQ(m.Gutter(), 2.54);
  m.SetUnitSystem(muThousandthsOfInches);
  EXPECT_NEAR(m.Gutter(), 1000, 1e-9);
  m.SetGutter(0);
  m.SetUnitSystem(usMM);

  TSrcEditPrinterInfo pi;
  pi.UseA4Defaults();
  TBitmap bmp(10, 10);
  m.InitPage(bmp.Canvas(), 1, false, false, 0, pi);
  EXPECT_EQ(m.PLeft, 230);
  EXPECT_EQ(m.PRight, 2358 - (177 - 58));
  EXPECT_EQ(m.PTop, 295 - 50);
  EXPECT_EQ(m.PBottom, 3407 - (295 - 50));
  EXPECT_EQ(m.PHFInternalMargin, 6);
  EXPECT_EQ(m.PLeftHFTextIndent, 230 + 24);
  // Mirrored: the even page has the right margin on the left and left + gutter on the right.
  m.SetMirrorMargins(true);
  m.SetGutter(10);
  m.InitPage(bmp.Canvas(), 2, false, false, 0, pi);
  EXPECT_EQ(m.PLeft, pi.LeftPixels(15));
  EXPECT_EQ(m.PRight, 2358 - pi.RightPixels(35));
  m.InitPage(bmp.Canvas(), 3, true, false, 1234, pi);
  EXPECT_EQ(m.PLeft, pi.LeftPixels(35) + bmp.Canvas()->TextWidth("1234: "));
  // Distances beyond the paper, below zero or not numbers keep every position on the paper.
  m.SetMirrorMargins(false);
  m.SetLeft(1e12);
  m.SetRight(-1e12);
  m.SetTop(std::nan(""));
  m.SetBottom(1e300);
  m.SetHeader(-1e10);
  m.SetFooter(1e15);
  m.SetLeftHFTextIndent(1e20);
  m.SetHFInternalMargin(1e30);
  m.InitPage(bmp.Canvas(), 1, false, false, 0, pi);
  for (int x : {m.PLeft, m.PRight, m.PLeftHFTextIndent, m.PRightHFTextIndent}) {
    EXPECT_GE(x, -pi.LeftGutter());
    EXPECT_LE(x, pi.PhysicalWidth() - pi.LeftGutter());
  }
  for (int y : {m.PTop, m.PBottom, m.PHeader, m.PFooter, m.PHFInternalMargin}) {
    EXPECT_GE(y, -pi.TopGutter());
    EXPECT_LE(y, pi.PhysicalHeight());
  }
  EXPECT_EQ(m.PLeft, pi.PhysicalWidth() - pi.LeftGutter());
  EXPECT_EQ(m.PTop, -pi.TopGutter());
}

TEST(PrintLayout, HeaderLinesCloseTheirGapsAndMeasureTheFrame) {
  THeader h;
  TSrcEditPrintMargins m;
  TSrcEditPrinterInfo pi;
  pi.UseA4Defaults();
  TBitmap bmp(10, 10);
  m.InitPage(bmp.Canvas(), 1, false, false, 0, pi);
  h.InitPrint(bmp.Canvas(), 1, &m, "");
  EXPECT_EQ(h.FrameHeight(), -1);
  h.Add("third", nullptr, taRightJustify, 3);
  h.Add("first", nullptr, taLeftJustify, 1);
  h.InitPrint(bmp.Canvas(), 1, &m, "");
  EXPECT_EQ(h.Items(0)->Text, "first");
  EXPECT_EQ(h.Items(1)->LineNumber, 2);
  bmp.Canvas()->Font()->Assign(h.DefaultFont());
  int w = bmp.Canvas()->TextHeight("W");
  EXPECT_EQ(h.FrameHeight(), 2 * w + 2 * m.PHFInternalMargin);
  // A copy is independent of its source.
  THeader copy;
  copy.Assign(&h);
  h.Clear();
  EXPECT_EQ(copy.Count(), 2);
}

// ------------------------------------------------------------------------------ jobs to PDF

std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

int CountOf(const std::string& s, const std::string& what) {
  int n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

struct StatusLog {
  std::vector<std::pair<int, int>> events;  // (status, page)
  std::vector<std::pair<int, int>> lines;   // (line, page)
  int abortAtPage = 0;
  void Status(TObject*, TSrcPrintStatus s, int page, bool& abort) {
    events.emplace_back(s, page);
    if (s == psNewPage && page == abortAtPage) abort = true;
  }
  void Line(TObject*, int line, int page) { lines.emplace_back(line, page); }
};

class PrintJob : public ::testing::Test {
protected:
  TestPrintServer server;
  fs::path dir;
  TSrcHTMLSrc html{nullptr};
  TSrcEditPrint print{nullptr};
  TStringList text;
  StatusLog log;

  void SetUp() override {
    char tmpl[] = "/tmp/vt-print-XXXXXX";
    dir = mkdtemp(tmpl);
    SetPrintServer(&server);
    print.SetHighlighter(&html);
    TFont f;
    f.SetName("Courier New");
    f.SetHeight(-13);
    print.SetFont(&f);
    print.OnPrintStatus = TPrintStatusEvent(&log, &StatusLog::Status);
    print.OnPrintLine = TPrintLineEvent(&log, &StatusLog::Line);
  }
  void TearDown() override {
    Printer()->SetOutputFileName("");
    Printer()->SetPrinterIndex(-1);
    SetPrintServer(nullptr);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  fs::path PrintTo(const std::string& name) {
    fs::path pdf = dir / name;
    Printer()->SetOutputFileName(pdf.string());
    print.SetLines(&text);
    print.Print();
    return pdf;
  }
  static int PdfPages(const fs::path& pdf) {
    std::string info = Shell("pdfinfo '" + pdf.string() + "' 2>/dev/null");
    size_t p = info.find("Pages:");
    return p == std::string::npos ? -1 : std::atoi(info.c_str() + p + 6);
  }
  // The text of the PDF, in UTF-8, pages separated by form feeds.
  static std::string PdfText(const fs::path& pdf) {
    return Shell("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
  }
  // Keeps a page (the first unless told) as a picture among the test artifacts.
  static void KeepPage(const fs::path& pdf, const std::string& name, int page = 1) {
    fs::create_directories(VT_TEST_OUTPUT_DIR);
    std::string n = std::to_string(page);
    Shell("pdftoppm -r 60 -f " + n + " -l " + n + " -png -singlefile '" + pdf.string() + "' '" + VT_TEST_OUTPUT_DIR + "/" + name + "'");
  }
  struct Picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb;
    const unsigned char* At(int x, int y) const { return &rgb[(static_cast<size_t>(y) * w + x) * 3]; }
  };
  // A page rendered at 40 dots per inch.
  static Picture Page(const fs::path& pdf, int page) {
    fs::path base = pdf.parent_path() / "page";
    std::string n = std::to_string(page);
    Shell("pdftoppm -r 40 -singlefile -f " + n + " -l " + n + " '" + pdf.string() + "' '" + base.string() + "'");
    fs::path ppm = base;
    ppm += ".ppm";
    std::ifstream f(ppm, std::ios::binary);
    std::string magic;
    Picture pic;
    int max = 0;
    f >> magic >> pic.w >> pic.h >> max;
    f.get();
    if (magic != "P6" || pic.w <= 0 || pic.h <= 0) return Picture{};
    pic.rgb.resize(static_cast<size_t>(pic.w) * pic.h * 3);
    f.read(reinterpret_cast<char*>(pic.rgb.data()), static_cast<std::streamsize>(pic.rgb.size()));
    fs::remove(ppm);
    return pic;
  }
  // Pixels of page 1 whose colour is not a shade of grey.
  static int ColouredPixels(const fs::path& pdf) {
    Picture pic = Page(pdf, 1);
    if (pic.rgb.empty()) return -1;
    int n = 0;
    for (size_t i = 0; i < pic.rgb.size(); i += 3) {
      auto* px = &pic.rgb[i];
      int lo = std::min({px[0], px[1], px[2]}), hi = std::max({px[0], px[1], px[2]});
      n += hi - lo > 60;
    }
    return n;
  }
};

TEST_F(PrintJob, HighlightedDocumentWithLineNumbersHeaderAndFooter) {
  for (int i = 1; i <= 150; ++i)
    text.Add("<p class=\"c" + std::to_string(i) + "\">" + W1251("Строка ") + std::to_string(i) + "</p>");
  AnsiString longLine = "<p>";
  for (int i = 0; i < 40; ++i) longLine += "word" + std::to_string(i) + " ";
  text.Put(9, longLine + "</p>");
  text.Put(20, "\t<b>tabbed</b>");
  print.SetLineNumbers(true);
  print.SetTitle(W1251("Проба - [a.htm]"));
  print.Header()->Add(W1251("Страница $PAGENUM$ из $PAGECOUNT$"), nullptr, taRightJustify, 1);
  print.Footer()->Add("$TITLE$", nullptr, taCenter, 1);
  fs::path pdf = PrintTo("doc.pdf");

  ASSERT_TRUE(fs::exists(pdf));
  KeepPage(pdf, "print-highlighted");
  int pages = print.PageCount();
  EXPECT_GE(pages, 3);
  EXPECT_EQ(PdfPages(pdf), pages);
  std::string t = PdfText(pdf);
  EXPECT_EQ(CountOf(t, "Проба - [a.htm]"), pages);
  for (int p = 1; p <= pages; ++p)
    EXPECT_EQ(CountOf(t, "Страница " + std::to_string(p) + " из " + std::to_string(pages)), 1) << p;
  EXPECT_NE(t.find("1: <p class=\"c1\">Строка 1</p>"), std::string::npos);
  EXPECT_NE(t.find("150: <p class=\"c150\">Строка 150</p>"), std::string::npos);
  // The tab is expanded to the next stop.
  EXPECT_NE(t.find("21:         <b>tabbed</b>"), std::string::npos);
  // The long line breaks after a blank: its second row starts with a whole word, unnumbered.
  size_t at = t.find("10: <p>word0 word1");
  ASSERT_NE(at, std::string::npos);
  size_t next = t.find('\n', at);
  std::string row2 = t.substr(next + 1, t.find('\n', next + 1) - next - 1);
  EXPECT_EQ(row2.find(": "), std::string::npos) << row2;
  EXPECT_NE(row2.find(" word"), std::string::npos) << row2;
  EXPECT_EQ(log.lines.size(), 150u);
  EXPECT_EQ(log.lines.back(), std::make_pair(150, pages));
}

TEST_F(PrintJob, ColoursOnlyWhenAsked) {
  for (int i = 0; i < 30; ++i) text.Add("<a href=\"x.htm\">link</a> &amp; <unknowntag>");
  print.SetColors(true);
  fs::path colour = PrintTo("colour.pdf");
  KeepPage(colour, "print-colours");
  EXPECT_GT(ColouredPixels(colour), 50);
  print.SetColors(false);
  EXPECT_EQ(ColouredPixels(PrintTo("plain.pdf")), 0);
  // Without the highlighter the same text prints in the font's colour, also wrapped at blanks.
  print.SetColors(true);
  print.SetHighlight(false);
  AnsiString longLine;
  for (int i = 0; i < 30; ++i) longLine += "plain" + std::to_string(i) + " ";
  text.Add(longLine);
  fs::path pdf = PrintTo("nosyntax.pdf");
  EXPECT_EQ(ColouredPixels(pdf), 0);
  std::string t = PdfText(pdf);
  size_t at = t.find("plain0 plain1");
  ASSERT_NE(at, std::string::npos);
  size_t next = t.find('\n', at);
  EXPECT_EQ(t.compare(next + 1, 5, "plain"), 0) << t.substr(at, 200);
}

TEST_F(PrintJob, SelectionOnlyInEachSelectionMode) {
  for (const char* l : {"first line here", "second line here", "third line here", "fourth line"})
    text.Add(l);
  print.SetSelectedOnly(true);
  // No selection: nothing at all, not even a status.
  print.SetSelection(false, smNormal, BufferCoord(1, 1), BufferCoord(1, 1));
  fs::path none = PrintTo("none.pdf");
  EXPECT_FALSE(fs::exists(none));
  EXPECT_TRUE(log.events.empty());

  auto printed = [&](TSrcSelectionMode mode, TBufferCoord b, TBufferCoord e) {
    print.SetSelection(true, mode, b, e);
    std::string t = PdfText(PrintTo("sel.pdf"));
    std::string out;
    std::istringstream in(t);
    for (std::string l; std::getline(in, l);) {
      size_t s = l.find_first_not_of(" \f");
      if (s != std::string::npos) out += l.substr(s) + "|";
    }
    return out;
  };
  EXPECT_EQ(printed(smNormal, BufferCoord(7, 1), BufferCoord(7, 3)), "line here|second line here|third|");
  EXPECT_EQ(printed(smColumn, BufferCoord(8, 2), BufferCoord(1, 3)), "second|third l|");
  EXPECT_EQ(printed(smLine, BufferCoord(7, 2), BufferCoord(2, 3)), "second line here|third line here|");
}

TEST_F(PrintJob, CopiesRangesPageOffsetAndEvents) {
  for (int i = 1; i <= 200; ++i) text.Add("line " + std::to_string(i));
  print.SetPageOffset(10);
  print.Header()->Add("[$PAGENUM$]", nullptr, taLeftJustify, 1);
  print.SetCopies(2);
  Printer()->SetOutputFileName((dir / "copies.pdf").string());
  print.SetLines(&text);
  print.PrintRange(1, 3);
  ASSERT_GE(print.PageCount(), 3);
  EXPECT_EQ(PdfPages(dir / "copies.pdf"), 6);
  std::string t = PdfText(dir / "copies.pdf");
  EXPECT_EQ(CountOf(t, "[11]"), 2);
  EXPECT_EQ(CountOf(t, "[13]"), 2);
  EXPECT_EQ(CountOf(t, "[14]"), 0);
  EXPECT_EQ(CountOf(t, "\f"), 6);
  std::vector<std::pair<int, int>> expect{{psBegin, 1}};
  for (int c = 0; c < 2; ++c)
    for (int p = 1; p <= 3; ++p) expect.emplace_back(psNewPage, p);
  expect.emplace_back(psEnd, 3);
  EXPECT_EQ(log.events, expect);
}

TEST_F(PrintJob, NothingToPrintIsRefusedAndNoFileWritten) {
  for (int i = 1; i <= 200; ++i) text.Add("line " + std::to_string(i));
  print.SetLines(&text);
  fs::path pdf = dir / "none.pdf";
  Printer()->SetOutputFileName(pdf.string());
  auto refused = [&](int first, int last, const char* says) {
    log.events.clear();
    try {
      print.PrintRange(first, last);
      ADD_FAILURE() << first << ".." << last << " printed";
    } catch (const EPrinter& e) {
      EXPECT_NE(e.Message().find(W1251(says)), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(Printer()->Printing());
    EXPECT_FALSE(fs::exists(pdf));
    EXPECT_EQ(print.PagesPrinted(), 0);
    for (auto& [status, page] : log.events) EXPECT_NE(status, psEnd);
  };
  print.SetCopies(0);
  refused(1, -1, "Число копий");
  print.SetCopies(-3);
  refused(1, -1, "Число копий");
  EXPECT_TRUE(log.events.empty());
  print.SetCopies(1);
  refused(3, 1, "последняя страница раньше первой");
  refused(1, -5, "последняя страница раньше первой");
  EXPECT_TRUE(log.events.empty());
  refused(50, 60, "страницы 50 нет");
  // A range reaching beyond the document prints what exists; the end reports the page asked.
  // (The refused job took the file chosen for it: it is chosen again for this one.)
  Printer()->SetOutputFileName(pdf.string());
  log.events.clear();
  print.PrintRange(2, 99);
  const int pages = print.PageCount();
  EXPECT_EQ(PdfPages(pdf), pages - 1);
  EXPECT_EQ(print.PagesPrinted(), pages - 1);
  EXPECT_EQ(log.events.back(), std::make_pair(int(psEnd), 99));
}

TEST_F(PrintJob, JobsGoToThePrinterTheServerNamesAtTheTimeOrFailClearly) {
  for (int i = 1; i <= 150; ++i) text.Add("line " + std::to_string(i));
  print.SetTitle(W1251("Проба"));
  server.printers = {Entry("A", true), Entry("B", false, 215.9, 279.4)};
  // The same text paginates alike in a file and on a printer of the same paper.
  fs::path file = PrintTo("file.pdf");
  const int pages = PdfPages(file);
  ASSERT_GE(pages, 2);
  Printer()->SetOutputFileName("");
  server.asked = 0;
  print.Print();
  // The printers are asked for once a job, and the job goes to the default one.
  EXPECT_EQ(server.asked, 1);
  ASSERT_EQ(server.jobs.size(), 1u);
  EXPECT_EQ(server.jobs[0].printer, "A");
  EXPECT_EQ(server.jobs[0].title, W1251("Проба"));
  auto sent = [&](size_t i) {
    fs::path pdf = dir / ("sent" + std::to_string(i) + ".pdf");
    std::ofstream(pdf, std::ios::binary) << server.jobs.at(i).pdf;
    return pdf;
  };
  EXPECT_EQ(PdfPages(sent(0)), pages);
  EXPECT_EQ(PdfText(sent(0)), PdfText(file));
  EXPECT_EQ(print.PagesPrinted(), pages);
  // Another printer becomes the default: the next job goes there, on its paper.
  server.printers = {Entry("A", false), Entry("B", true, 215.9, 279.4)};
  print.Print();
  ASSERT_EQ(server.jobs.size(), 2u);
  EXPECT_EQ(server.jobs[1].printer, "B");
  EXPECT_NE(Shell("pdfinfo '" + sent(1).string() + "'").find("612 x 792"), std::string::npos);
  auto fails = [&](const char* says) {
    size_t before = server.jobs.size();
    try {
      print.Print();
      ADD_FAILURE() << "printed";
    } catch (const EPrinter& e) {
      EXPECT_NE(e.Message().find(W1251(says)), std::string::npos) << e.Message();
    }
    EXPECT_EQ(server.jobs.size(), before);
    EXPECT_EQ(print.PagesPrinted(), 0);
    EXPECT_FALSE(Printer()->Printing());
  };
  // The default printer deleted, another left: nothing is sent anywhere.
  server.printers = {Entry("A", false)};
  fails("Принтер по умолчанию не задан");
  // A chosen printer that refuses jobs: the server's reason; one deleted since it was chosen.
  Printer()->SetPrinterIndex(0);
  server.printers[0].Accepting = false;
  server.printers[0].StateMessage = W1251("Бумага кончилась");
  fails("Принтер «A» не принимает задания: Бумага кончилась");
  server.printers = {Entry("B", true)};
  fails("Принтер «A» не найден");
  // A job the server refuses when it is sent is an error, not a job done.
  Printer()->SetPrinterIndex(-1);
  server.refuse = "server-error-not-accepting-jobs";
  fails("server-error-not-accepting-jobs");
}

TEST_F(PrintJob, AbortAndFailuresLeaveNoHalfWrittenFile) {
  for (int i = 1; i <= 200; ++i) text.Add("line " + std::to_string(i));
  // An earlier file of the name stays as it was when the job is aborted.
  std::ofstream(dir / "job.pdf") << "earlier";
  log.abortAtPage = 2;
  PrintTo("job.pdf");
  EXPECT_FALSE(Printer()->Printing());
  std::vector<std::pair<int, int>> expect{{psBegin, 1}, {psNewPage, 1}, {psNewPage, 2}};
  EXPECT_EQ(log.events, expect);
  std::ifstream in(dir / "job.pdf");
  std::string kept;
  in >> kept;
  EXPECT_EQ(kept, "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  // A folder that cannot be written (its parent is a file): a clear error, no job left open.
  std::ofstream(dir / "file") << "x";
  log.abortAtPage = 0;
  try {
    PrintTo("file/x.pdf");
    FAIL() << "no error";
  } catch (const EPrinter& e) {
    EXPECT_NE(e.Message().find("x.pdf"), std::string::npos) << e.Message();
  }
  EXPECT_FALSE(Printer()->Printing());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST_F(PrintJob, MarginsWiderThanThePageAndPagesOutOfRangeStillPrint) {
  for (int i = 1; i <= 3; ++i) text.Add("ab " + std::to_string(i));
  print.Margins()->SetLeft(150);
  print.Margins()->SetRight(150);
  print.Margins()->SetTop(200);
  print.Margins()->SetBottom(200);
  Printer()->SetOutputFileName((dir / "narrow.pdf").string());
  print.SetLines(&text);
  print.PrintRange(0, 99);
  // One column a row, one row a page: every row of the three lines printed once.
  EXPECT_EQ(print.PageCount(), 12);
  EXPECT_EQ(PdfPages(dir / "narrow.pdf"), 12);
  EXPECT_EQ(log.events.back(), std::make_pair(int(psEnd), 99));
  EXPECT_EQ(CountOf(PdfText(dir / "narrow.pdf"), "b"), 3);
}

TEST_F(PrintJob, MirroredPagesFillTheirOwnTextArea) {
  for (int i = 0; i < 100; ++i) text.Add("x");
  print.SetColor(clYellow);
  print.SetHighlight(false);
  print.Margins()->SetMirrorMargins(true);
  print.Margins()->SetGutter(20);
  fs::path pdf = PrintTo("mirror.pdf");
  ASSERT_EQ(PdfPages(pdf), 2);
  // 30 mm from the paper's left edge, half way down: inside page 2's text area (its left margin
  // is the right one, 15 mm), outside page 1's (25 + 20 mm).
  auto yellow = [](const unsigned char* p) { return p[0] > 200 && p[1] > 200 && p[2] < 80; };
  for (int page : {1, 2}) {
    Picture pic = Page(pdf, page);
    ASSERT_FALSE(pic.rgb.empty());
    int x = static_cast<int>(30 / 25.4 * 40), y = pic.h / 2;
    EXPECT_EQ(yellow(pic.At(x, y)), page == 2) << page;
  }
}

TEST_F(PrintJob, MegabyteLineWrapsIntoRowsOfTheColumnCount) {
  AnsiString huge(1 << 20, 'x');
  text.Add("<p>");
  text.Add(huge);
  text.Add("</p>");
  print.SetLines(&text);
  TBitmap bmp(10, 10);
  print.InitPrint(bmp.Canvas());
  int cols = 0;
  {
    // The rows of a line without break characters hold exactly the column count.
    TStringList one;
    one.Add(AnsiString(300, 'y'));
    print.SetLines(&one);
    fs::path pdf = dir / "cols.pdf";
    Printer()->SetOutputFileName(pdf.string());
    print.Print();
    std::istringstream in(PdfText(pdf));
    std::string row;
    std::getline(in, row);
    while (row.find('y') == std::string::npos && std::getline(in, row)) {
    }
    cols = static_cast<int>(row.size() - row.find('y'));
    EXPECT_GT(cols, 50);
    std::getline(in, row);
    EXPECT_EQ(static_cast<int>(row.size() - row.find('y')), cols);
  }
  // One megabyte wraps onto as many pages as its rows need, every character printed once.
  fs::path pdf = PrintTo("megabyte.pdf");
  const int rows = ((1 << 20) + cols - 1) / cols;
  EXPECT_GT(print.PageCount(), 2 + rows / 200);
  EXPECT_EQ(print.PageFirstLine(2), 1);
  EXPECT_GT(print.PageFirstRow(2), 0);
  EXPECT_EQ(PdfPages(pdf), print.PageCount());
  std::string t = PdfText(pdf);
  EXPECT_EQ(CountOf(t, "x"), 1 << 20);
  EXPECT_EQ(CountOf(t, "\f"), print.PageCount());
  // The line after it is on the last page.
  EXPECT_GT(t.find("</p>"), t.rfind('\f', t.size() - 2));
  // Unwrapped, highlighted or not, its row holds the columns of the text area and no more.
  print.SetWrap(false);
  for (TSrcCustomHighlighter* h : {static_cast<TSrcCustomHighlighter*>(nullptr), print.Highlighter()}) {
    print.SetHighlighter(h);
    EXPECT_EQ(CountOf(PdfText(PrintTo(h ? "cut-syntax.pdf" : "cut.pdf")), "x"), cols);
  }
}

TEST_F(PrintJob, AWrappedLineContinuesOnTheNextPage) {
  // How many lines a page holds.
  for (int i = 0; i < 500; ++i) text.Add("short");
  print.SetLines(&text);
  TBitmap bmp(10, 10);
  print.InitPrint(bmp.Canvas());
  const int perPage = print.PageFirstLine(2);
  ASSERT_GT(perPage, 10);
  // A page of short lines but one, then a line of 200 words: its rows that do not fit go on.
  text.Clear();
  for (int i = 1; i < perPage; ++i) text.Add("line " + std::to_string(i));
  AnsiString words;
  for (int i = 1; i <= 200; ++i) words += "w" + std::to_string(1000 + i) + " ";
  text.Add(words);
  text.Add("after");
  print.SetLineNumbers(true);
  print.Header()->Add("[$PAGENUM$/$PAGECOUNT$]", nullptr, taLeftJustify, 1);
  fs::path pdf = PrintTo("wrapped.pdf");
  KeepPage(pdf, "print-wrapped-line-1");
  KeepPage(pdf, "print-wrapped-line-2", 2);
  const int pages = print.PageCount();
  ASSERT_GE(pages, 2);
  EXPECT_EQ(print.PageFirstLine(2), perPage - 1);
  EXPECT_EQ(print.PageFirstRow(2), 1);
  EXPECT_EQ(PdfPages(pdf), pages);
  std::string t = PdfText(pdf);
  for (int p = 1; p <= pages; ++p)
    EXPECT_EQ(CountOf(t, "[" + std::to_string(p) + "/" + std::to_string(pages) + "]"), 1) << p;
  // Every word once, in order; the line's number only once, before its first row.
  size_t at = 0;
  for (int i = 1; i <= 200; ++i) {
    std::string w = "w" + std::to_string(1000 + i);
    EXPECT_EQ(CountOf(t, w), 1) << w;
    size_t next = t.find(w, at);
    ASSERT_NE(next, std::string::npos) << w;
    at = next;
  }
  EXPECT_GT(t.find("after"), at);
  EXPECT_EQ(CountOf(t, std::to_string(perPage) + ": "), 1);
  // The line is reported once, on the page that ends it.
  int reported = 0;
  for (auto& [line, page] : log.lines)
    if (line == perPage) {
      ++reported;
      EXPECT_EQ(page, 2);
    }
  EXPECT_EQ(reported, 1);
  // A range of the second page alone starts with the rows that continue there.
  log.lines.clear();
  Printer()->SetOutputFileName((dir / "second.pdf").string());
  print.PrintRange(2, 2);
  std::string second = PdfText(dir / "second.pdf");
  EXPECT_EQ(CountOf(second, "w1001"), 0);
  EXPECT_EQ(CountOf(second, "w1200"), 1);
  EXPECT_EQ(CountOf(second, "[2/" + std::to_string(pages) + "]"), 1);
}

}  // namespace

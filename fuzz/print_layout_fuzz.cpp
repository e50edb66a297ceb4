// libFuzzer target for the print layout with random options: the first 32 bytes are the options
// (flags, unit, frame, font size, ten margins as a signed byte scaled by a power of two, line
// and page offsets, tab width, a selection), the rest is "header NUL footer NUL document", the
// document split into lines at LF. The layout is computed for a bitmap canvas at the resolution
// of a page with no printer installed: at least one page, pages beginning in line order inside
// the text; every page's margins, header and footer are laid out and drawn; with the last flag
// the document is printed to a PDF file too.
// Run as: build/fuzz/fuzz/print_layout_fuzz -max_len=2048 -timeout=10 -max_total_time=300 <corpus>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor-services/print/src_edit_print.h"
#include "fuzz/fuzz_folder.h"
#include "highlighters/html.h"
#include "platform/graphics.h"
#include "platform/printer/printer.h"

namespace {

constexpr size_t kOptions = 32;
constexpr int kMaxPages = 8;

// No printer of the machine's: the A4 page at 300 dots per inch, and jobs go to a PDF file.
struct NoPrinters : TPrintServer {
  std::vector<TPrinterEntry> Printers() override { return {}; }
  void Submit(const AnsiString&, const AnsiString&, const AnsiString&, int) override {}
};

double Distance(const uint8_t* o) { return std::ldexp(static_cast<int8_t>(o[0]), (o[1] % 48) - 8); }

void AddItems(THeaderFooter& hf, const AnsiString& text, uint8_t bits) {
  size_t start = 0;
  for (int line = 1; start <= text.size() && line <= 4; ++line) {
    size_t end = text.find('\n', start);
    if (end == AnsiString::npos) end = text.size();
    hf.Add(text.substr(start, end - start), nullptr, static_cast<TAlignment>((bits + line) % 3), line);
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TBitmap* bitmap = [] {
    EnsureGuiApplication();
    static NoPrinters none;
    SetPrintServer(&none);
    return new TBitmap(16, 16);
  }();
  static TSrcHTMLSrc* html = new TSrcHTMLSrc(nullptr);
  static const std::string pdf = std::string(FuzzFolder()) + "/layout.pdf";
  if (size < kOptions) return 0;
  const uint8_t* o = data;
  std::string rest(reinterpret_cast<const char*>(data + kOptions), size - kOptions);
  size_t a = rest.find('\0');
  size_t b = a == std::string::npos ? a : rest.find('\0', a + 1);
  AnsiString headerText = rest.substr(0, a);
  AnsiString footerText = a == std::string::npos ? AnsiString() : rest.substr(a + 1, b == std::string::npos ? b : b - a - 1);
  AnsiString document = b == std::string::npos ? AnsiString() : rest.substr(b + 1);

  TSrcEditPrint print(nullptr);
  print.SetWrap(o[0] & 1);
  print.SetHighlighter((o[0] & 2) ? html : nullptr);
  print.SetLineNumbers(o[0] & 4);
  print.SetLineNumbersInMargin(o[0] & 8);
  print.SetColors(o[0] & 16);
  print.SetSelectedOnly(o[0] & 32);
  print.Header()->SetRomanNumbers(o[0] & 64);
  TSrcEditPrintMargins* m = print.Margins();
  m->SetUnitSystem(static_cast<TUnitSystem>(o[1] & 3));
  m->SetMirrorMargins(o[1] & 4);
  print.Header()->SetMirrorPosition(o[1] & 8);
  print.Footer()->SetFrameTypes(TFrameTypes{static_cast<TFrameType>(o[1] >> 5 & 7)});
  print.Header()->SetFrameTypes(TFrameTypes{static_cast<TFrameType>(o[1] >> 4 & 7)});
  TFont font;
  font.SetName("Courier New");
  font.SetSize(o[2] % 96 + 1);
  print.SetFont(&font);
  m->SetLeft(Distance(o + 3));
  m->SetRight(Distance(o + 5));
  m->SetTop(Distance(o + 7));
  m->SetBottom(Distance(o + 9));
  m->SetHeader(Distance(o + 11));
  m->SetFooter(Distance(o + 13));
  m->SetLeftHFTextIndent(Distance(o + 15));
  m->SetRightHFTextIndent(Distance(o + 17));
  m->SetHFInternalMargin(Distance(o + 19));
  m->SetGutter(Distance(o + 21));
  print.SetLineOffset(static_cast<int8_t>(o[23]) * 1000);
  print.SetPageOffset(static_cast<int8_t>(o[24]));
  print.SetTabWidth(o[25] % 17);
  print.SetSelection(o[26] & 1, static_cast<TSrcSelectionMode>(((o[26] >> 1) & 3) % 3),
                     BufferCoord(o[27] - 8, o[28] - 8), BufferCoord(o[29] - 8, o[30] - 8));
  AddItems(*print.Header(), headerText, o[31]);
  AddItems(*print.Footer(), footerText, o[31] >> 2);
  TStringList lines;
  lines.SetText(document);
  print.SetLines(&lines);
  print.SetTitle("Fuzz");

  TCanvas* canvas = bitmap->Canvas();
  print.InitPrint(canvas);
  const int pages = print.PageCount();
  if (pages < 1) abort();
  int last = 0;
  for (int p = 1; p <= pages; ++p) {
    int first = print.PageFirstLine(p);
    if (first < last || (first > 0 && first >= static_cast<int>(print.Lines().size()))) abort();
    last = first;
  }
  for (int p = 1; p <= pages && p <= kMaxPages; ++p) {
    m->InitPage(canvas, p, print.LineNumbers(), print.LineNumbersInMargin(),
                static_cast<int>(print.Lines().size()) + print.LineOffset(), print.PrinterInfo());
    print.Header()->Print(canvas, p);
    print.Footer()->Print(canvas, p);
  }
  if ((o[31] & 0x80) && pages <= kMaxPages) {
    print.SetCopies(1 + (o[26] >> 4 & 1));
    Printer()->SetOutputFileName(pdf);
    const int first = 1 + (o[26] >> 5 & 1);
    try {
      print.PrintRange(first, -1);
    } catch (const EPrinter&) {
      // Refused only when the range begins beyond the document.
      if (first <= pages) abort();
    }
  }
  return 0;
}

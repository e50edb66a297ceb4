#include "editor-services/print/src_edit_print.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "editor/core/text_utils.h"
#include "editor/src_edit.h"
#include "platform/printer/printer.h"
#include "platform/sysutils.h"

namespace {

// No single output call passes more characters than the advance array holds.
constexpr int kMaxRun = 1024;

const TSysCharSet& WordBreaks() {
  static const TSysCharSet s{' ', '\t', ',', '-'};
  return s;
}
const TSysCharSet& SentenceBreaks() {
  static const TSysCharSet s{')', '.', ';'};
  return s;
}

}  // namespace

TSrcEditPrint::TSrcEditPrint(TComponent* AOwner) : TComponent(AOwner) {}

TSrcEditPrint::~TSrcEditPrint() = default;

void TSrcEditPrint::SetLines(TStrings* Value) {
  lines_.clear();
  ranges_.clear();
  int n = Value ? Value->Count() : 0;
  lines_.reserve(static_cast<size_t>(n));
  TConvertTabsProc convert = PickTabConverter(tabWidth_);
  for (int i = 0; i < n; ++i) {
    AnsiString s = Value->Get(i);
    if (std::memchr(s.data(), '\t', s.size())) {
      s = convert(s, tabWidth_);
      std::replace(s.begin(), s.end(), '\t', ' ');
    }
    lines_.push_back(std::move(s));
  }
  rangesScanned_ = false;
  pagesCounted_ = false;
}

void TSrcEditPrint::SetFont(TFont* Value) {
  font_.Assign(Value);
  pagesCounted_ = false;
}

void TSrcEditPrint::SetHighlighter(TSrcCustomHighlighter* Value) {
  if (highlighter_) highlighter_->RemoveFreeNotification(this);
  highlighter_ = Value;
  if (highlighter_) highlighter_->FreeNotification(this);
  rangesScanned_ = false;
  pagesCounted_ = false;
}

void TSrcEditPrint::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == highlighter_) {
    highlighter_ = nullptr;
    rangesScanned_ = false;
  }
}

void TSrcEditPrint::SetSrcEdit(TCustomSrcEdit* Editor) {
  SetHighlighter(Editor->Highlighter());
  SetFont(Editor->Font());
  tabWidth_ = Editor->TabWidth();
  SetLines(Editor->Lines());
  SetSelection(Editor->SelAvail(), Editor->SelectionMode(), Editor->BlockBegin(), Editor->BlockEnd());
}

void TSrcEditPrint::SetSelection(bool Avail, TSrcSelectionMode Mode, TBufferCoord Begin,
                                 TBufferCoord End) {
  hasSelection_ = Avail;
  selMode_ = Mode;
  blockBegin_ = Begin;
  blockEnd_ = End;
}

// ------------------------------------------------------------------------------ layout

void TSrcEditPrint::PreScanRanges() {
  if (rangesScanned_) return;
  rangesScanned_ = true;
  ranges_.clear();
  if (!highlighter_ || lines_.empty()) return;
  ranges_.resize(lines_.size());
  highlighter_->ResetRange();
  ranges_[0] = highlighter_->GetRange();
  for (size_t i = 1; i < lines_.size(); ++i) {
    ranges_[i] = highlighter_->ScanLineRange(lines_[i - 1], static_cast<int>(i - 1));
  }
}

const AnsiString* TSrcEditPrint::PrintedText(int Index, AnsiString& Buffer) const {
  const AnsiString& line = lines_[static_cast<size_t>(Index)];
  if (!selectedOnly_) return &line;
  int first = blockBegin_.Line - 1, last = blockEnd_.Line - 1;
  if (Index < first || Index > last) return nullptr;
  if (selMode_ == smLine) return &line;
  int from = 1, to = static_cast<int>(line.size()) + 1;  // characters from..to-1
  if (selMode_ == smColumn) {
    // A block dragged leftwards has its columns the other way round.
    from = std::min(blockBegin_.Char, blockEnd_.Char);
    to = std::max(blockBegin_.Char, blockEnd_.Char);
  } else {
    if (Index == first) from = blockBegin_.Char;
    if (Index == last) to = blockEnd_.Char;
  }
  from = std::clamp(from, 1, static_cast<int>(line.size()) + 1);
  to = std::clamp(to, from, static_cast<int>(line.size()) + 1);
  Buffer.assign(line, static_cast<size_t>(from - 1), static_cast<size_t>(to - from));
  return &Buffer;
}

void TSrcEditPrint::BreakPositions(const AnsiString& Text, std::vector<TWrapPos>& Breaks) const {
  Breaks.clear();
  if (WrapTextEx(Text, WordBreaks(), maxCol_, Breaks)) return;
  if (WrapTextEx(Text, SentenceBreaks(), maxCol_, Breaks)) return;
  for (int p = maxCol_; p < static_cast<int>(Text.size()); p += maxCol_) Breaks.push_back(TWrapPos{p});
}

int TSrcEditPrint::RowsOf(const AnsiString& Text) const {
  int len = static_cast<int>(Text.size());
  if (!wrap_ || len <= maxCol_) return 1;
  std::vector<TWrapPos> breaks;
  if (WrapTextEx(Text, WordBreaks(), maxCol_, breaks) ||
      WrapTextEx(Text, SentenceBreaks(), maxCol_, breaks))
    return static_cast<int>(breaks.size()) + 1;
  return (len + maxCol_ - 1) / maxCol_;
}

int TSrcEditPrint::ColumnsWithin(int Width) const {
  // The most "W"s whose row is narrower than Width: a row of n of them is no narrower than a
  // row of fewer, so the count is found by halving (at most one column a pixel).
  auto fits = [&](int n) { return canvas_->TextWidth(AnsiString(static_cast<size_t>(n), 'W')) < Width; };
  if (!fits(1)) return 0;
  int lo = 1, hi = Width;
  if (fits(hi)) return hi;
  while (hi - lo > 1) {
    int mid = lo + (hi - lo) / 2;
    (fits(mid) ? lo : hi) = mid;
  }
  return lo;
}

void TSrcEditPrint::CalcPages() {
  PreScanRanges();
  pages_.clear();
  maxWidth_ = margins_.PRight - margins_.PLeft;
  // At least one column, however narrow the margins leave the text area.
  maxCol_ = std::max(1, ColumnsWithin(maxWidth_));
  maxWidth_ = canvas_->TextWidth(AnsiString(static_cast<size_t>(maxCol_), 'W'));
  pageCount_ = 1;
  pages_.push_back({0, 0});
  int y = margins_.PTop;
  int first = 0, last = static_cast<int>(lines_.size()) - 1;
  if (selectedOnly_) {
    first = std::max(first, blockBegin_.Line - 1);
    last = std::min(last, blockEnd_.Line - 1);
  }
  AnsiString buffer;
  for (int i = first; i <= last; ++i) {
    const AnsiString* text = PrintedText(i, buffer);
    if (!text) continue;
    // The rows of a wrapped line go on while they fit and continue on the next page; a page
    // that holds nothing yet takes a row whatever its height.
    const int rows = RowsOf(*text);
    for (int row = 0; row < rows;) {
      int fit = (margins_.PBottom - y) / lineHeight_;
      if (fit <= 0) {
        if (y > margins_.PTop) {
          pages_.push_back({i, row});
          ++pageCount_;
          y = margins_.PTop;
          continue;
        }
        fit = 1;
      }
      const int take = std::min(fit, rows - row);
      y += take * lineHeight_;
      row += take;
    }
  }
  pagesCounted_ = true;
}

void TSrcEditPrint::InitPrint(TCanvas* ACanvas) {
  canvas_ = ACanvas;
  printerInfo_.UpdatePrinter();
  fontColor_ = font_.Color();
  TFont* cf = canvas_->Font();
  cf->Assign(&font_);
  if (!printing_) {
    // Measuring on another canvas: sizes as the printer's resolution makes them.
    int dpi = printerInfo_.DpiY();
    header_.SetItemFontsPPI(dpi);
    footer_.SetItemFontsPPI(dpi);
    int size = font_.Size();
    font_.SetPixelsPerInch(dpi);
    font_.SetSize(size);
    size = cf->Size();
    cf->SetPixelsPerInch(font_.PixelsPerInch());
    cf->SetSize(size);
  }
  cf->SetStyle({fsBold, fsItalic, fsUnderline, fsStrikeOut});
  canvas_->TextHeight("W");
  TEXTMETRICA tm;
  GetTextMetricsA(canvas_->Handle(), &tm);
  charWidth_ = tm.tmAveCharWidth;
  lineHeight_ = std::max(1, tm.tmHeight + tm.tmExternalLeading);
  if (advances_.empty() || advances_[0] != charWidth_) advances_.assign(kMaxRun, charWidth_);
  cf->SetStyle(font_.Style());
  for (int s = 0; s < 16; ++s) styleFonts_[s].reset();
  breaksLine_ = tokensLine_ = 0;
  margins_.InitPage(canvas_, 1, lineNumbers_, lineNumbersInMargin_,
                    static_cast<int>(lines_.size()) + lineOffset_, printerInfo_);
  CalcPages();
  header_.InitPrint(canvas_, pageCount_, &margins_, title_);
  footer_.InitPrint(canvas_, pageCount_, &margins_, title_);
  hasSyntax_ = highlight_ && highlighter_ && !lines_.empty();
}

// ------------------------------------------------------------------------------ printing

void TSrcEditPrint::DoPrintStatus(TSrcPrintStatus Status, int PageNumber) {
  bool abort = false;
  if (OnPrintStatus.Assigned()) OnPrintStatus(this, Status, PageNumber, abort);
  if (abort && printing_) {
    abort_ = true;
    Printer()->Abort();
  }
}

void TSrcEditPrint::DoPrintLine(int LineNumber, int PageNumber) {
  CallEvent(OnPrintLine, this, LineNumber, PageNumber);
}

void TSrcEditPrint::PrintRange(int StartPage, int EndPage) {
  pagesPrinted_ = 0;
  if (selectedOnly_ && !hasSelection_) return;
  // What cannot print anything is refused before a job is begun: no empty job is reported done.
  if (copies_ < 1)
    throw EPrinter(Format(W1251("Число копий должно быть не меньше 1, а задано %s."), {IntToStr(copies_)}));
  const int first = std::max(1, StartPage);
  if (EndPage != -1 && EndPage < first)
    throw EPrinter(Format(W1251("Страницы с %s по %s: последняя страница раньше первой."),
                          {IntToStr(StartPage), IntToStr(EndPage)}));
  TPrinter* printer = Printer();
  printing_ = true;
  abort_ = false;
  try {
    printer->SetTitle(docTitle_.empty() ? title_ : docTitle_);
    printer->BeginDoc();
    DoPrintStatus(psBegin, StartPage);
    InitPrint(printer->Canvas());
    // Pages beyond the document are left out; a range wholly beyond it prints nothing.
    if (first > pageCount_)
      throw EPrinter(Format(W1251("В документе %s стр.: страницы %s нет, печатать нечего."),
                            {IntToStr(pageCount_), IntToStr(first)}));
    const int last = EndPage == -1 ? pageCount_ : std::min(EndPage, pageCount_);
    for (int copy = 1; copy <= copies_; ++copy) {
      for (int page = first; page <= last && !abort_; ++page) {
        PrintPage(page);
        if (!abort_) ++pagesPrinted_;
        if (!abort_ && (page != last || copy != copies_)) printer->NewPage();
      }
    }
    if (!abort_) DoPrintStatus(psEnd, EndPage == -1 ? pageCount_ : EndPage);
    printer->EndDoc();
  } catch (...) {
    // A failed job leaves nothing half done behind.
    pagesPrinted_ = 0;
    if (printer->Printing()) printer->Abort();
    printing_ = false;
    throw;
  }
  if (abort_) pagesPrinted_ = 0;
  printing_ = false;
}

void TSrcEditPrint::PrintPage(int Num) {
  DoPrintStatus(psNewPage, Num);
  if (abort_) return;
  margins_.InitPage(canvas_, Num, lineNumbers_, lineNumbersInMargin_,
                    static_cast<int>(lines_.size()) + lineOffset_, printerInfo_);
  canvas_->Brush()->SetColor(color_);
  canvas_->Brush()->SetStyle(bsSolid);
  canvas_->FillRect(Rect(margins_.PLeft, margins_.PTop, margins_.PRight, margins_.PBottom));
  header_.Print(canvas_, Num + pageOffset_);
  yPos_ = margins_.PTop;
  // From the page's first row to the next page's first row.
  const TPageStart from = pages_[static_cast<size_t>(Num - 1)];
  const TPageStart to = Num < pageCount_ ? pages_[static_cast<size_t>(Num)]
                                         : TPageStart{static_cast<int>(lines_.size()), 0};
  AnsiString buffer;
  for (int i = from.Line; i < to.Line || (i == to.Line && to.Row > 0); ++i) {
    lineNumber_ = i + 1;
    const AnsiString* text = PrintedText(i, buffer);
    if (!text) continue;
    const bool continues = i == to.Line;
    PrintOneLine(*text, i == from.Line ? from.Row : 0, continues ? to.Row : INT_MAX);
    // A line is reported on the page where its last row is printed.
    if (!continues) DoPrintLine(i + 1, Num);
  }
  footer_.Print(canvas_, Num + pageOffset_);
}

void TSrcEditPrint::WriteLineNumber() {
  TFont saved;
  saved.SetPixelsPerInch(canvas_->Font()->PixelsPerInch());
  saved.Assign(canvas_->Font());
  canvas_->Font()->SetStyle({});
  canvas_->Font()->SetColor(clBlack);
  canvas_->Brush()->SetColor(color_);
  canvas_->Brush()->SetStyle(bsSolid);
  AnsiString s = IntToStr(lineNumber_ + lineOffset_) + ": ";
  canvas_->TextOut(margins_.PLeft - canvas_->TextWidth(s), yPos_, s);
  canvas_->Font()->Assign(&saved);
}

void TSrcEditPrint::PrintOneLine(const AnsiString& Text, int FromRow, int ToRow) {
  row_ = 0;
  rowFrom_ = FromRow;
  rowTo_ = ToRow;
  if (lineNumbers_ && FromRow == 0) WriteLineNumber();
  // A line that continues over pages is broken (and scanned) once, not once a page.
  if (breaksLine_ != lineNumber_) {
    breaksLine_ = lineNumber_;
    breaks_.clear();
    if (wrap_ && static_cast<int>(Text.size()) > maxCol_) BreakPositions(Text, breaks_);
  }
  TextOutHighlighted(Text, breaks_);
  NewRow();
}

void TSrcEditPrint::SelectStyle(TFontStyles Style, TColor Fore, TColor Back) {
  std::unique_ptr<TFont>& f = styleFonts_[Style.Bits() & 15];
  if (!f) {
    f = std::make_unique<TFont>();
    f->SetPixelsPerInch(canvas_->Font()->PixelsPerInch());
    f->Assign(canvas_->Font());
    f->SetStyle(Style);
  }
  HDC dc = canvas_->Handle();
  SelectObject(dc, f->Handle());
  SetTextColor(dc, ColorToColorRef(Fore));
  SetBkColor(dc, ColorToColorRef(Back));
  // Text on the page colour needs no box of its own where the text area is already filled
  // with it (white is the paper's own colour everywhere).
  bool filled = Back == color_ && (color_ == clWhite || yPos_ + lineHeight_ <= margins_.PBottom);
  SetBkMode(dc, filled ? TRANSPARENT : OPAQUE);
}

void TSrcEditPrint::WriteRun(const char* Text, int Count, int Column) {
  if (!RowShown()) return;
  // A row holds the text area's columns: what an unwrapped line has beyond them is not printed
  // (nor placed at pixels a far column would overflow).
  if (Column >= maxCol_) return;
  Count = std::min(Count, maxCol_ - Column);
  HDC dc = canvas_->Handle();
  while (Count > 0) {
    int n = std::min(Count, kMaxRun);
    ExtTextOutA(dc, margins_.PLeft + Column * charWidth_, yPos_, 0, nullptr, Text, n, advances_.data());
    Text += n, Count -= n, Column += n;
  }
}

void TSrcEditPrint::TextOutHighlighted(const AnsiString& Text, const std::vector<TWrapPos>& Breaks) {
  const size_t nb = Breaks.size();
  size_t bi = 0;
  if (!hasSyntax_) {
    // The rows break where the wrapped line breaks, as the page count reckoned them.
    SelectStyle(font_.Style(), fontColor_, color_);
    int len = static_cast<int>(Text.size());
    if (!wrap_) len = std::min(len, maxCol_);
    int pos = 0;
    for (; bi < nb; ++bi) {
      WriteRun(Text.data() + pos, Breaks[bi].Index - pos, 0);
      NewRow();
      pos = Breaks[bi].Index;
    }
    WriteRun(Text.data() + pos, len - pos, 0);
    return;
  }
  if (tokensLine_ != lineNumber_) {
    tokensLine_ = lineNumber_;
    tokens_.clear();
    TSrcCustomHighlighter* hl = highlighter_;
    hl->SetRange(ranges_[static_cast<size_t>(lineNumber_ - 1)]);
    hl->SetLine(Text, lineNumber_);
    TSrcTokenSpan batch[256];
    for (int n; (n = hl->NextTokens(batch, 256)) > 0;) tokens_.insert(tokens_.end(), batch, batch + n);
  }
  int rowOffset = 0;
  for (const TSrcTokenSpan& t : tokens_) {
    const int start = t.Pos;
    const char* token = Text.data() + start;
    TSrcHighlighterAttributes* attr = t.Attr;
    TFontStyles style = font_.Style();
    TColor fore = fontColor_, back = color_;
    if (attr) {
      style = attr->Style();
      if (colors_) {
        if (attr->Foreground() != clNone) fore = attr->Foreground();
        if (attr->Background() != clNone) back = attr->Background();
      }
    }
    SelectStyle(style, fore, back);
    int end = start + t.Len;
    int pos = start;
    if (bi < nb && start >= Breaks[bi].Index) {
      NewRow();
      while (bi < nb && Breaks[bi].Index <= start) ++bi;
      rowOffset = start;
    }
    while (bi < nb && Breaks[bi].Index < end) {
      int b = Breaks[bi++].Index;
      WriteRun(token + (pos - start), b - pos, pos - rowOffset);
      NewRow();
      rowOffset = pos = b;
    }
    WriteRun(token + (pos - start), end - pos, pos - rowOffset);
  }
}

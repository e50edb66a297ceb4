#pragma once
// The print job: a copy of an editor's text (tabs expanded) laid out on printer pages, wrapped
// at break characters, printed token by token in the highlighter's styles and optionally its
// colours, with line numbers, a header and a footer, for a number of copies, a page range or
// only the selection, reporting its progress through events that may abort it.
#include <memory>
#include <vector>

#include "editor-services/print/header_footer.h"
#include "editor-services/print/print_margins.h"
#include "editor-services/print/print_text.h"
#include "editor-services/print/printer_info.h"
#include "editor/core/types.h"
#include "highlighters/highlighter.h"
#include "platform/classes.h"
#include "platform/graphics.h"

class TCustomSrcEdit;

enum TSrcPrintStatus { psBegin = 0, psNewPage = 1, psEnd = 2 };

using TPrintLineEvent = TMethod<void(TObject* Sender, int LineNumber, int PageNumber)>;
using TPrintStatusEvent =
    TMethod<void(TObject* Sender, TSrcPrintStatus Status, int PageNumber, bool& Abort)>;

class TSrcEditPrint : public TComponent {
public:
  explicit TSrcEditPrint(TComponent* AOwner);
  ~TSrcEditPrint() override;

  int Copies() const { return copies_; }
  void SetCopies(int v) { copies_ = v; }
  THeader* Header() { return &header_; }
  void SetHeader(THeader* v) { header_.Assign(v); }
  TFooter* Footer() { return &footer_; }
  void SetFooter(TFooter* v) { footer_.Assign(v); }
  TSrcEditPrintMargins* Margins() { return &margins_; }
  void SetMargins(TSrcEditPrintMargins* v) { margins_.Assign(v); }
  // The text to print, one entry per line, tabs expanded.
  const std::vector<AnsiString>& Lines() const { return lines_; }
  // Copies the lines, expanding tabs for the current TabWidth.
  void SetLines(TStrings* Value);
  TFont* Font() { return &font_; }
  void SetFont(TFont* Value);
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& v) { title_ = v; }
  const AnsiString& DocTitle() const { return docTitle_; }
  void SetDocTitle(const AnsiString& v) { docTitle_ = v; }
  bool Wrap() const { return wrap_; }
  void SetWrap(bool v) { wrap_ = v; }
  bool Highlight() const { return highlight_; }
  void SetHighlight(bool v) { highlight_ = v; }
  bool SelectedOnly() const { return selectedOnly_; }
  void SetSelectedOnly(bool v) { selectedOnly_ = v; }
  bool Colors() const { return colors_; }
  void SetColors(bool v) { colors_ = v; }
  bool LineNumbers() const { return lineNumbers_; }
  void SetLineNumbers(bool v) { lineNumbers_ = v; }
  int LineOffset() const { return lineOffset_; }
  void SetLineOffset(int v) { lineOffset_ = v; }
  int PageOffset() const { return pageOffset_; }
  void SetPageOffset(int v) { pageOffset_ = v; }
  TSrcCustomHighlighter* Highlighter() const { return highlighter_; }
  void SetHighlighter(TSrcCustomHighlighter* Value);
  bool LineNumbersInMargin() const { return lineNumbersInMargin_; }
  void SetLineNumbersInMargin(bool v) { lineNumbersInMargin_ = v; }
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int v) { tabWidth_ = v; }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { color_ = v; }
  TPrintLineEvent OnPrintLine;
  TPrintStatusEvent OnPrintStatus;

  // Takes the highlighter, font, tab width, lines and selection of an editor.
  void SetSrcEdit(TCustomSrcEdit* Editor);
  // The selection as taken from the editor (or set by the caller).
  void SetSelection(bool Avail, TSrcSelectionMode Mode, TBufferCoord Begin, TBufferCoord End);

  void Print() { PrintRange(1, -1); }
  // Pages First to Last (-1: the last one) of every copy; pages beyond the document are left
  // out. No copies, a reversed range or one wholly beyond the document raise EPrinter and
  // print nothing.
  void PrintRange(int StartPage, int EndPage);
  // The pages the last PrintRange printed and ended well (0: nothing printed, or aborted).
  int PagesPrinted() const { return pagesPrinted_; }
  // Prepares a canvas for printing or measuring; PageCount is valid after it.
  void InitPrint(TCanvas* ACanvas);
  int PageCount() const { return pageCount_; }
  // The first line (0-based) of each page after InitPrint.
  int PageFirstLine(int Page) const { return pages_.at(static_cast<size_t>(Page - 1)).Line; }
  // The row of that line the page starts with (0 unless a wrapped line continues from the page
  // before).
  int PageFirstRow(int Page) const { return pages_.at(static_cast<size_t>(Page - 1)).Row; }
  // The printer geometry in use.
  TSrcEditPrinterInfo& PrinterInfo() { return printerInfo_; }

protected:
  // Reports a status; an answer to abort ends the printer's job at once.
  virtual void DoPrintStatus(TSrcPrintStatus Status, int PageNumber);
  virtual void DoPrintLine(int LineNumber, int PageNumber);
  void Notification(TComponent* AComponent, TOperation Operation) override;

private:
  void PreScanRanges();
  void CalcPages();
  // The number of "W"s of the print font whose row is narrower than Width.
  int ColumnsWithin(int Width) const;
  void PrintPage(int Num);
  // Rows FromRow to ToRow - 1 of a line (all of them from 0 to INT_MAX); its number only with
  // its first row.
  void PrintOneLine(const AnsiString& Text, int FromRow, int ToRow);
  void WriteLineNumber();
  void TextOutHighlighted(const AnsiString& Text, const std::vector<TWrapPos>& Breaks);
  void WriteRun(const char* Text, int Count, int Column);
  // Rows of the line outside the page's share of it take no room and are not written.
  bool RowShown() const { return row_ >= rowFrom_ && row_ < rowTo_; }
  void NewRow() {
    if (RowShown()) yPos_ += lineHeight_;
    ++row_;
  }
  // The part of line Index that is printed (the line itself, or a cut of it kept in Buffer);
  // nullptr for a line outside the selection.
  const AnsiString* PrintedText(int Index, AnsiString& Buffer) const;
  void BreakPositions(const AnsiString& Text, std::vector<TWrapPos>& Breaks) const;
  int RowsOf(const AnsiString& Text) const;
  void SelectStyle(TFontStyles Style, TColor Fore, TColor Back);

  int copies_ = 1;
  THeader header_;
  TFooter footer_;
  TSrcEditPrintMargins margins_;
  std::vector<AnsiString> lines_;
  std::vector<TSrcRange> ranges_;  // the highlighter's state at the start of each line
  TFont font_;
  AnsiString title_, docTitle_;
  bool wrap_ = true, highlight_ = true, selectedOnly_ = false, colors_ = false;
  bool lineNumbers_ = false, lineNumbersInMargin_ = false;
  int lineOffset_ = 0, pageOffset_ = 0, tabWidth_ = 8;
  TSrcCustomHighlighter* highlighter_ = nullptr;
  TColor color_ = clWhite;

  TSrcEditPrinterInfo printerInfo_;
  TCanvas* canvas_ = nullptr;
  // Where each page starts: a line and the row of it (a wrapped line continues on the next
  // page with the rows that did not fit).
  struct TPageStart {
    int Line = 0, Row = 0;
  };
  std::vector<TPageStart> pages_;
  int pageCount_ = 0, pagesPrinted_ = 0;
  int charWidth_ = 0, lineHeight_ = 0;
  std::vector<int> advances_;
  int maxWidth_ = 0, maxCol_ = 0;
  int yPos_ = 0, lineNumber_ = 0;
  int row_ = 0, rowFrom_ = 0, rowTo_ = 0;  // the row being written and the rows shown
  // The break positions and the tokens of the line last printed (its number; 0: none).
  int breaksLine_ = 0, tokensLine_ = 0;
  std::vector<TWrapPos> breaks_;
  std::vector<TSrcTokenSpan> tokens_;
  TColor fontColor_ = clBlack;
  bool printing_ = false, abort_ = false, hasSyntax_ = false;
  bool rangesScanned_ = false, pagesCounted_ = false;
  bool hasSelection_ = false;
  TSrcSelectionMode selMode_ = smNormal;
  TBufferCoord blockBegin_, blockEnd_;
  // The print font in each of the 16 styles, at the canvas's resolution.
  std::unique_ptr<TFont> styleFonts_[16];
};

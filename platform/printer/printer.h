#pragma once
// The printer object: the desktop's printers (through CUPS) or, when none is installed or a
// file is asked for, a PDF file; a job of pages drawn on the printer's canvas in device pixels,
// and the desktop's print dialog to choose and set up the printer.
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/graphics.h"

VT_DECLARE_EXCEPTION(EPrinter, Exception);

// One printer as the print server describes it.
struct TPrinterEntry {
  AnsiString Name;
  bool IsDefault = false;
};

// The print server the printer object asks for its printers. The desktop's own is used unless
// another is put in place (tests choose the printers they print on that way).
class TPrintServer {
public:
  virtual ~TPrintServer() = default;
  // The installed printers; none when there is no print server.
  virtual std::vector<TPrinterEntry> Printers() = 0;
};
// Puts a print server in place (not owned); nullptr returns to the desktop's.
void SetPrintServer(TPrintServer* Server);

// Device capabilities of GetDeviceCaps.
enum : int {
  HORZRES = 8, VERTRES = 10, LOGPIXELSX = 88, LOGPIXELSY = 90,
  PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113,
};

class TPrinter : public TObject {
public:
  TPrinter();
  ~TPrinter() override;

  // Names of the installed printers; empty when there are none.
  TStrings* Printers();
  // The printer a job goes to: an index into Printers (-1 for the desktop's default printer).
  int PrinterIndex() const { return printerIndex_; }
  void SetPrinterIndex(int Index);
  // A job writes this PDF file instead of printing. Empty: the chosen printer or, with none
  // installed, DefaultOutputFileName.
  const AnsiString& OutputFileName() const { return outputFileName_; }
  void SetOutputFileName(const AnsiString& Name) { outputFileName_ = Name; }
  // Where a job without a printer goes: the job title (the characters a file name cannot
  // hold replaced) + ".pdf" in the user's documents folder.
  AnsiString DefaultOutputFileName() const;
  // Whether a job goes to a PDF file, and which one (after BeginDoc: the file being written).
  bool PrintsToFile();
  AnsiString FileOfJob() const { return jobFile_; }

  // The job's name in the print queue (and the PDF's title).
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& v) { title_ = v; }

  // A job: BeginDoc opens the first page, NewPage the next, EndDoc finishes the job and Abort
  // ends it unfinished (a PDF file is then not written at all). Errors raise EPrinter.
  void BeginDoc();
  void NewPage();
  void EndDoc();
  void Abort();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  int PageNumber() const { return pageNumber_; }
  // The canvas of the page being printed, in device pixels with the origin at the top left of
  // the printable area; a measuring canvas of the printer's resolution outside a job.
  TCanvas* Canvas();

  // The printable area in device pixels, and GetDeviceCaps for the values above.
  int PageWidth() { return GetDeviceCaps(HORZRES); }
  int PageHeight() { return GetDeviceCaps(VERTRES); }
  int GetDeviceCaps(int Index);

  // The desktop's print dialog for this printer (printer, file output, paper); false when the
  // user cancels. Asks the dialog hook first.
  bool ExecuteSetupDialog();

  struct Impl;

private:
  void FinishFile(bool keep);
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<TStringList> printers_;
  int printerIndex_ = -1;
  AnsiString outputFileName_, title_, jobFile_;
  bool printing_ = false, aborted_ = false;
  int pageNumber_ = 0;
};

// The program's printer object.
TPrinter* Printer();

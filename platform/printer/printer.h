#pragma once
// The printer object: the desktop's printers (through CUPS) or, when none is installed or a
// file is asked for, a PDF file; a job of pages drawn on the printer's canvas in device pixels
// (written as PDF and sent to the printer when it ends), and the desktop's print dialog to
// choose and set up the printer.
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/graphics.h"

VT_DECLARE_EXCEPTION(EPrinter, Exception);

// The print server took the connection but did not answer in time.
VT_DECLARE_EXCEPTION(EPrintServerSilent, EPrinter);

// One printer as the print server describes it.
struct TPrinterEntry {
  AnsiString Name;
  bool IsDefault = false;
  bool Accepting = true;    // the queue takes jobs
  AnsiString StateMessage;  // why it does not, as the server words it
  double PaperWidth = 210, PaperHeight = 297;  // its default paper, in millimetres
};

// The print server the printer object asks for its printers and sends its jobs to. The desktop's
// own (CUPS) is used unless another is put in place (tests choose their printers that way).
class TPrintServer {
public:
  virtual ~TPrintServer() = default;
  // The installed printers; none when there is no print server. EPrintServerSilent when the
  // server does not answer in time, EPrinter for other refusals.
  virtual std::vector<TPrinterEntry> Printers() = 0;
  // Sends a PDF file to a printer as one job, to be printed Copies times; EPrinter with the
  // server's reason when refused.
  virtual void Submit(const AnsiString& Printer, const AnsiString& PdfFile, const AnsiString& Title,
                      int Copies) = 0;
};
// Puts a print server in place (not owned); nullptr returns to the desktop's.
void SetPrintServer(TPrintServer* Server);
// How long the desktop's print server may stay silent before a request is given up.
void SetPrintServerTimeout(int Milliseconds);

// Device capabilities of GetDeviceCaps.
enum : int {
  HORZRES = 8, VERTRES = 10, LOGPIXELSX = 88, LOGPIXELSY = 90,
  PHYSICALWIDTH = 110, PHYSICALHEIGHT = 111, PHYSICALOFFSETX = 112, PHYSICALOFFSETY = 113,
};

class TPrinter : public TObject {
public:
  TPrinter();
  ~TPrinter() override;

  // Names of the installed printers (empty when there are none, or the print server does not
  // answer), as the server gave them at the last job, set-up or Refresh.
  TStrings* Printers();
  // Asks the print server for its printers now.
  void Refresh();
  // Why there is no printer to print on when the print server was there but did not answer
  // (empty otherwise).
  const AnsiString& ServerProblem() const { return serverProblem_; }
  // The printer a job goes to: an index into Printers (-1 for the desktop's default printer).
  // It is kept by name, so that it is found again when the list changes.
  int PrinterIndex() const;
  void SetPrinterIndex(int Index);
  // The chosen printer by name (empty: the desktop's default), as SetPrinterIndex keeps it.
  const AnsiString& PrinterName() const { return printerName_; }
  void SetPrinterName(const AnsiString& Name) { printerName_ = Name; }
  // The next job writes this PDF file instead of printing (replacing a file of the name); the
  // job takes it, so that a later one goes to the printer again. Empty: the chosen printer or,
  // with none installed, DefaultOutputFileName.
  const AnsiString& OutputFileName() const { return outputFileName_; }
  void SetOutputFileName(const AnsiString& Name) { outputFileName_ = Name; }
  // Where a job without a printer goes: the job title (the characters a file name cannot
  // hold replaced) + ".pdf" in the user's documents folder; when something bears that name,
  // the first free one of "<title> (2).pdf", "<title> (3).pdf" and on. Such a job never
  // replaces a file: FileOfJob tells the name it took.
  AnsiString DefaultOutputFileName() const;
  // Whether a job goes to a PDF file, and which one (after BeginDoc: the file being written,
  // after EndDoc the file written; empty for a job sent to a printer).
  bool PrintsToFile();
  AnsiString FileOfJob() const { return jobFile_; }
  // After a job that went to a file nobody named (there is no printer, or the print server does
  // not answer): why and where, as the user is told; empty after any other job.
  AnsiString UnnamedFileNotice() const;

  // How many times the printer prints each job, as chosen in the print dialog (1 at first). A
  // PDF file holds the job once; copies the program lays out itself are pages of the job.
  int Copies() const { return copies_; }
  void SetCopies(int v) { copies_ = v < 1 ? 1 : v; }

  // The job's name in the print queue (and the PDF's title).
  const AnsiString& Title() const { return title_; }
  void SetTitle(const AnsiString& v) { title_ = v; }

  // A job: BeginDoc asks the print server for its printers once, checks that the printer is
  // there and takes jobs, and opens the first page; NewPage the next; EndDoc finishes the job
  // (a printer's job is sent to it then) and Abort ends it unfinished (nothing is written or
  // sent). Errors raise EPrinter.
  void BeginDoc();
  void NewPage();
  void EndDoc();
  void Abort();
  // A job whose PDF another writer makes (the browser engine lays out its pages itself): checked
  // and placed as BeginDoc does, without a canvas; the PDF is to be written into the file
  // returned, on the job's paper (GetDeviceCaps). EndDoc then moves it into place or sends it to
  // the printer, as for any job; Abort discards it.
  AnsiString BeginPdfDoc();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  int PageNumber() const { return pageNumber_; }
  // The canvas of the page being printed, in device pixels with the origin at the top left of
  // the printable area; a measuring canvas of the same resolution outside a job.
  TCanvas* Canvas();

  // The printable area in device pixels, and GetDeviceCaps for the values above. Every job is
  // laid out at 300 pixels an inch, whatever the printer's own resolution, so that a page
  // holds the same text on paper as in a PDF file.
  int PageWidth() { return GetDeviceCaps(HORZRES); }
  int PageHeight() { return GetDeviceCaps(VERTRES); }
  int GetDeviceCaps(int Index);

  // The desktop's print dialog for this printer (printer, file output, paper, copies); false
  // when the user cancels. Asks the dialog hook first.
  bool ExecuteSetupDialog();

  struct Impl;

private:
  // The checks and the files of a job's start, common to BeginDoc and BeginPdfDoc.
  void PlaceJob();
  void FinishFile(bool keep);
  // The entry of the printer a job goes to (the chosen one or the default); nullptr for none.
  const TPrinterEntry* JobPrinter();
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<TStringList> printers_;
  std::vector<TPrinterEntry> entries_;
  bool queried_ = false;
  int generation_ = 0;  // of the server the printers were asked of
  AnsiString serverProblem_;
  AnsiString printerName_;  // empty: the default printer
  AnsiString jobPrinter_;   // the printer of the job being printed (empty: a file)
  AnsiString outputFileName_, title_, jobFile_;
  bool printing_ = false, aborted_ = false;
  bool unnamedFile_ = false;  // the job goes to a file of its own choosing
  int pageNumber_ = 0;
  int copies_ = 1;
};

// The program's printer object.
TPrinter* Printer();

// The printer object: every job is written as a PDF file (with Qt's PDF writer, which asks no
// print server), laid out at one resolution whatever the printer's; a file job's PDF is moved
// into place when the job ends well, a printer job's is sent to the print server then. Qt's
// print support serves only the print dialog.
#include "platform/printer/printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/printer/cups_print_server.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"
#include "platform/safe_file.h"
#include "platform/sysutils.h"

namespace {

// Every job is laid out at 300 dots per inch, on paper with the margins a typical printer
// cannot print on; an A4 page is 2481 x 3507 dots.
constexpr int kDpi = 300;
constexpr int kA4W = 2481, kA4H = 3507, kEdgeLeft = 65, kEdgeTop = 50, kEdgeRight = 58, kEdgeBottom = 50;

QString SystemPath(const AnsiString& name) { return QString::fromStdString(AnsiToSystemName(name)); }

// Dots of a paper side in millimetres (A4's own figures for A4).
int PaperDots(double mm, double a4mm, int a4dots) {
  if (std::fabs(mm - a4mm) < 0.5) return a4dots;
  return static_cast<int>(std::lround(mm / 25.4 * kDpi));
}

// Whether anything bears the name: a file, a folder or a link, even one leading nowhere.
bool NameTaken(const AnsiString& name) {
  struct stat st;
  return ::lstat(AnsiToSystemName(name).c_str(), &st) == 0;
}

// Gives a finished file its name without replacing anything of that name: 0, EEXIST when the
// name is taken, or the system's error.
int RenameNoReplace(const QString& from, const QString& to) {
  const QByteArray f = from.toLocal8Bit(), t = to.toLocal8Bit();
  if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0) return 0;
  int err = errno;
  if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) return err;
  // A file system without that kind of rename: a hard link is refused on a taken name too.
  if (::link(f.constData(), t.constData()) == 0) {
    ::unlink(f.constData());
    return 0;
  }
  err = errno;
  if (err == EEXIST) return err;
  // Neither: the name is looked at just before.
  struct stat st;
  if (::lstat(t.constData(), &st) == 0) return EEXIST;
  return std::rename(f.constData(), t.constData()) == 0 ? 0 : errno;
}

TPrintServer* printServer = nullptr;
int serverGeneration = 0;  // counts the servers put in place

TPrintServer& Server() {
  static std::unique_ptr<TPrintServer> desktop = NewCupsPrintServer();
  return printServer ? *printServer : *desktop;
}

}  // namespace

void SetPrintServer(TPrintServer* Server) {
  printServer = Server;
  ++serverGeneration;
}

struct TPrinter::Impl {
  std::unique_ptr<QPrinter> setup;    // the printer as chosen and set up in the print dialog
  std::unique_ptr<QPdfWriter> pdf;    // the PDF of the job
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<TCanvas> canvas;    // on the page while printing
  std::unique_ptr<TCanvas> measure;   // outside a job
  QString partFile;                   // the job's PDF while written
  QString targetFile;                 // a file job's final name (empty for a printer's job)
  double paperW = 210, paperH = 297;  // the job's paper, in millimetres

  QPrinter& Setup() {
    if (!setup) {
      EnsureGuiApplication();
      setup = std::make_unique<QPrinter>(QPrinter::HighResolution);
    }
    return *setup;
  }
};

TPrinter::TPrinter() : impl_(std::make_unique<Impl>()), printers_(std::make_unique<TStringList>()) {}

TPrinter::~TPrinter() {
  if (printing_) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

void TPrinter::Refresh() {
  queried_ = true;
  generation_ = serverGeneration;
  serverProblem_.clear();
  // Both lists are emptied before asking, so that a failed query leaves no names of an earlier one.
  entries_.clear();
  printers_->Clear();
  try {
    entries_ = Server().Printers();
  } catch (const EPrintServerSilent& e) {
    serverProblem_ = e.Message();
  }
  for (const TPrinterEntry& e : entries_) printers_->Add(e.Name);
}

TStrings* TPrinter::Printers() {
  // Asked again only for a job or the set-up, or when another server was put in place.
  if (!queried_ || generation_ != serverGeneration) Refresh();
  return printers_.get();
}

int TPrinter::PrinterIndex() const { return printerName_.empty() ? -1 : printers_->IndexOf(printerName_); }

void TPrinter::SetPrinterIndex(int Index) {
  if (Index < -1 || Index >= Printers()->Count()) throw EPrinter(W1251("Номер принтера вне списка принтеров."));
  printerName_ = Index < 0 ? AnsiString() : printers_->Get(Index);
  outputFileName_.clear();
}

const TPrinterEntry* TPrinter::JobPrinter() {
  Printers();
  for (const TPrinterEntry& e : entries_)
    if (printerName_.empty() ? e.IsDefault : e.Name == printerName_) return &e;
  return nullptr;
}

bool TPrinter::PrintsToFile() {
  if (!outputFileName_.empty()) return true;
  return Printers()->Count() == 0;
}

AnsiString TPrinter::DefaultOutputFileName() const {
  EnsureGuiApplication();
  QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::homePath();
  AnsiString name;
  for (char c : title_) name += (static_cast<unsigned char>(c) < 32 || c == '/') ? '_' : c;
  name = Trim(name);
  if (name.empty() || name == "." || name == "..") name = "document";
  // A long title is cut so that the name fits the folder's file system. A name something
  // already bears is left to it: the next free one, "<title> (2).pdf" and on, is taken.
  const AnsiString folder = FromQStr(dir);
  AnsiString file = FittedFileName(folder, name, ".pdf");
  for (int n = 2; NameTaken(file) && n < 100000; ++n)
    file = FittedFileName(folder, name, " (" + IntToStr(n) + ").pdf");
  return file;
}

AnsiString TPrinter::UnnamedFileNotice() const {
  if (!unnamedFile_ || jobFile_.empty()) return AnsiString();
  AnsiString why = serverProblem_.empty() ? W1251("Принтер не установлен.") : serverProblem_;
  return Format(W1251("%s Документ сохранён в файл\r%s"), {why, jobFile_});
}

int TPrinter::GetDeviceCaps(int Index) {
  // A job's own paper while it prints; outside a job, the paper it would print on.
  double w = impl_->paperW, h = impl_->paperH;
  if (!printing_) {
    w = 210, h = 297;
    if (!PrintsToFile())
      if (const TPrinterEntry* e = JobPrinter()) w = e->PaperWidth, h = e->PaperHeight;
  }
  const int physW = PaperDots(w, 210, kA4W), physH = PaperDots(h, 297, kA4H);
  switch (Index) {
    case HORZRES: return std::max(1, physW - kEdgeLeft - kEdgeRight);
    case VERTRES: return std::max(1, physH - kEdgeTop - kEdgeBottom);
    case LOGPIXELSX:
    case LOGPIXELSY: return kDpi;
    case PHYSICALWIDTH: return physW;
    case PHYSICALHEIGHT: return physH;
    case PHYSICALOFFSETX: return kEdgeLeft;
    case PHYSICALOFFSETY: return kEdgeTop;
    default: return 0;
  }
}

TCanvas* TPrinter::Canvas() {
  if (printing_ && impl_->canvas) return impl_->canvas.get();
  if (!impl_->measure) impl_->measure = std::make_unique<TCanvas>(GetDC(nullptr), true);
  impl_->measure->Font()->SetPixelsPerInch(kDpi);
  return impl_->measure.get();
}

void TPrinter::PlaceJob() {
  if (printing_) throw EPrinter(W1251("Печать уже идёт."));
  EnsureGuiApplication();
  aborted_ = false;
  unnamedFile_ = false;
  jobFile_.clear();
  jobPrinter_.clear();
  // A file chosen in the print dialog is this job's alone: the next job goes to the printer, or
  // to a default file, unless a file is chosen for it again.
  const AnsiString chosen = outputFileName_;
  outputFileName_.clear();
  // The printers as they are now: once a job.
  if (chosen.empty()) Refresh();
  double paperW = 210, paperH = 297;
  QString part;
  if (!chosen.empty() || Printers()->Count() == 0) {
    AnsiString target = chosen.empty() ? DefaultOutputFileName() : chosen;
    QString path = QFileInfo(SystemPath(target)).absoluteFilePath();
    // Written under another name in the same folder, so that an aborted or failed job leaves
    // no half-written file and an earlier file of that name stays until the new one is whole.
    QTemporaryFile file(QFileInfo(path).absolutePath() + "/.print-XXXXXX.pdf");
    file.setAutoRemove(false);
    if (!file.open())
      throw EPrinter(Format(W1251("Не удаётся создать файл \"%s\". %s"), {target, FromQStr(file.errorString())}));
    file.close();
    part = file.fileName();
    impl_->targetFile = path;
    jobFile_ = target;
    unnamedFile_ = chosen.empty();
  } else {
    // The printer must be there and take jobs before anything is printed for it.
    const TPrinterEntry* e = JobPrinter();
    if (!e) {
      if (printerName_.empty())
        throw EPrinter(W1251("Принтер по умолчанию не задан. Выберите принтер кнопкой «Принтер...»."));
      throw EPrinter(Format(W1251("Принтер «%s» не найден на сервере печати."), {printerName_}));
    }
    if (!e->Accepting)
      throw EPrinter(Format(W1251("Принтер «%s» не принимает задания: %s"),
                            {e->Name, e->StateMessage.empty() ? W1251("причина не указана") : e->StateMessage}));
    paperW = e->PaperWidth, paperH = e->PaperHeight;
    QTemporaryFile file(QDir::tempPath() + "/vantry-tarn-print-XXXXXX.pdf");
    file.setAutoRemove(false);
    if (!file.open())
      throw EPrinter(Format(W1251("Не удаётся создать файл \"%s\". %s"), {FromQStr(file.fileName()), FromQStr(file.errorString())}));
    file.close();
    part = file.fileName();
    impl_->targetFile.clear();
    jobPrinter_ = e->Name;
  }
  impl_->partFile = part;
  impl_->paperW = paperW, impl_->paperH = paperH;
}

AnsiString TPrinter::BeginPdfDoc() {
  PlaceJob();
  printing_ = true;
  pageNumber_ = 1;
  return SystemNameToAnsi(impl_->partFile.toStdString());
}

void TPrinter::BeginDoc() {
  PlaceJob();
  const double paperW = impl_->paperW, paperH = impl_->paperH;
  const QString part = impl_->partFile;
  impl_->pdf = std::make_unique<QPdfWriter>(part);
  QPdfWriter& p = *impl_->pdf;
  p.setResolution(kDpi);
  p.setPageLayout(QPageLayout(std::fabs(paperW - 210) < 0.5 && std::fabs(paperH - 297) < 0.5
                                  ? QPageSize(QPageSize::A4)
                                  : QPageSize(QSizeF(paperW, paperH), QPageSize::Millimeter),
                              QPageLayout::Portrait, QMarginsF()));
  p.setTitle(QStr(title_));
  p.setCreator(QStringLiteral("Vantry Tarn"));
  impl_->painter = std::make_unique<QPainter>();
  if (!impl_->painter->begin(&p)) {
    impl_->painter.reset();
    AnsiString file = jobFile_;
    FinishFile(false);
    jobFile_.clear();
    throw EPrinter(file.empty() ? W1251("Принтер недоступен.") : Format(W1251("Не удаётся создать файл \"%s\"."), {file}));
  }
  impl_->painter->translate(kEdgeLeft, kEdgeTop);
  printing_ = true;
  QRect clip(0, 0, GetDeviceCaps(HORZRES), GetDeviceCaps(VERTRES));
  impl_->canvas = CreateCanvasOnPainter(impl_->painter.get(), clip);
  impl_->canvas->Font()->SetPixelsPerInch(kDpi);
  pageNumber_ = 1;
}

void TPrinter::NewPage() {
  if (!printing_ || !impl_->painter) throw EPrinter(W1251("Печать не начата."));
  ReleasePainter(impl_->painter.get());
  if (!impl_->pdf->newPage()) throw EPrinter(W1251("Не удаётся начать новую страницу."));
  impl_->painter->resetTransform();
  impl_->painter->translate(kEdgeLeft, kEdgeTop);
  ++pageNumber_;
}

void TPrinter::FinishFile(bool keep) {
  if (impl_->partFile.isEmpty()) return;
  QString part = impl_->partFile, target = impl_->targetFile;
  impl_->partFile.clear();
  impl_->pdf.reset();
  if (!keep || target.isEmpty()) {
    QFile::remove(part);
    return;
  }
  // The file gets the mode a new file of the user's would get.
  mode_t mask = umask(0);
  umask(mask);
  chmod(part.toLocal8Bit().constData(), 0666 & ~mask);
  // A file chosen by the user replaces one of its name (the print dialog asked); a default file
  // never does: a name taken while the job printed gives way to the next free one.
  int err = 0;
  if (!unnamedFile_) {
    err = std::rename(part.toLocal8Bit().constData(), target.toLocal8Bit().constData()) == 0 ? 0 : errno;
  } else {
    for (int tries = 0; (err = RenameNoReplace(part, target)) == EEXIST && tries < 100; ++tries) {
      jobFile_ = DefaultOutputFileName();
      target = QFileInfo(SystemPath(jobFile_)).absoluteFilePath();
    }
  }
  if (err != 0) {
    QFile::remove(part);
    throw EPrinter(Format(W1251("Не удаётся создать файл \"%s\". %s"), {jobFile_, SysErrorMessage(err)}));
  }
}

void TPrinter::EndDoc() {
  // A job already aborted has nothing left to end.
  if (!printing_) {
    if (aborted_) return;
    throw EPrinter(W1251("Печать не начата."));
  }
  printing_ = false;
  impl_->canvas.reset();
  // A PDF written by another has no painter here.
  bool ok = true;
  if (impl_->painter) {
    ReleasePainter(impl_->painter.get());
    ok = impl_->painter->end();
    impl_->painter.reset();
  }
  if (!ok) {
    FinishFile(false);
    throw EPrinter(W1251("Печать не удалась."));
  }
  if (jobPrinter_.empty()) {
    FinishFile(true);
    return;
  }
  // The printer's job: its PDF goes to the print server, and is not kept whatever the answer.
  impl_->pdf.reset();
  try {
    Server().Submit(jobPrinter_, SystemNameToAnsi(impl_->partFile.toStdString()), title_, copies_);
  } catch (...) {
    FinishFile(false);
    throw;
  }
  FinishFile(false);
}

void TPrinter::Abort() {
  if (!printing_) return;
  printing_ = false;
  aborted_ = true;
  impl_->canvas.reset();
  if (impl_->painter) {
    ReleasePainter(impl_->painter.get());
    impl_->painter->end();
    impl_->painter.reset();
  }
  FinishFile(false);
}

bool TPrinter::ExecuteSetupDialog() {
  if (const TDialogHook& hook = DialogHook()) {
    TDialogRequest r;
    r.Kind = dkPrinterSetup;
    r.FileName = outputFileName_;
    if (auto a = hook(r)) {
      if (a->Result != IDOK) return false;
      outputFileName_ = a->FileName;
      if (a->Copies > 0) SetCopies(a->Copies);
      return true;
    }
  }
  if (!DialogsCanShow()) return false;
  // The desktop's dialog asks the print server without a bound of its own: it is shown only
  // when the server has just answered.
  Refresh();
  if (!serverProblem_.empty()) throw EPrinter(serverProblem_ + W1251(" Выбрать принтер сейчас нельзя."));
  QPrinter& p = impl_->Setup();
  if (!outputFileName_.empty() || Printers()->Count() == 0) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(SystemPath(outputFileName_.empty() ? DefaultOutputFileName() : outputFileName_));
  } else {
    // A file chosen for an earlier job is not offered again.
    p.setOutputFileName(QString());
    p.setOutputFormat(QPrinter::NativeFormat);
    if (const TPrinterEntry* e = JobPrinter()) p.setPrinterName(QStr(e->Name));
  }
  p.setCopyCount(copies_);
  QPrintDialog dlg(&p, DialogOwnerWidget(nullptr));
  // Page ranges are the program's own business; the copies asked here are the printer's.
  dlg.setOption(QAbstractPrintDialog::PrintToFile, true);
  dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
  if (dlg.exec() != QDialog::Accepted) return false;
  if (p.outputFormat() == QPrinter::PdfFormat && !p.outputFileName().isEmpty()) {
    outputFileName_ = SystemNameToAnsi(p.outputFileName().toStdString());
  } else {
    outputFileName_.clear();
    printerName_ = FromQStr(p.printerName());
  }
  SetCopies(p.copyCount());
  return true;
}

TPrinter* Printer() {
  // Kept for the whole run, as the desktop's print services may be gone at program end.
  static TPrinter* p = new TPrinter;
  return p;
}

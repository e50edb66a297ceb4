// The printer object over QPrinter: CUPS printers, or a PDF file written beside its final name
// and moved into place only when the job ends well.
#include "platform/printer/printer.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "platform/dialogs.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/qt/widgets_qt.h"
#include "platform/sysutils.h"

namespace {

// The page of a PDF job: A4 at 300 dots per inch, with the margins a typical printer cannot
// print on, so that a file looks like the same job on paper.
constexpr int kPdfDpi = 300;
constexpr int kPdfPhysW = 2481, kPdfPhysH = 3507, kPdfLeft = 65, kPdfTop = 50, kPdfRight = 58,
              kPdfBottom = 50;

QString SystemPath(const AnsiString& name) { return QString::fromStdString(AnsiToSystemName(name)); }

// The desktop's printers, as Qt's print support finds them.
class TDesktopPrintServer : public TPrintServer {
public:
  std::vector<TPrinterEntry> Printers() override {
    EnsureGuiApplication();
    std::vector<TPrinterEntry> list;
    QString def = QPrinterInfo::defaultPrinterName();
    for (const QString& n : QPrinterInfo::availablePrinterNames()) list.push_back({FromQStr(n), n == def});
    return list;
  }
};

TPrintServer* printServer = nullptr;

TPrintServer& Server() {
  static TDesktopPrintServer desktop;
  return printServer ? *printServer : desktop;
}

}  // namespace

void SetPrintServer(TPrintServer* Server) { printServer = Server; }

struct TPrinter::Impl {
  std::unique_ptr<QPrinter> setup;    // the printer as chosen and set up by the user
  std::unique_ptr<QPrinter> pdf;      // the printer of a PDF job
  QPrinter* job = nullptr;            // the one printing
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<TCanvas> canvas;    // on the page while printing
  std::unique_ptr<TCanvas> measure;   // outside a job
  QString partFile, targetFile;       // a PDF job's file while written, and its final name

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

TStrings* TPrinter::Printers() {
  printers_->Clear();
  for (const TPrinterEntry& e : Server().Printers()) printers_->Add(e.Name);
  return printers_.get();
}

void TPrinter::SetPrinterIndex(int Index) {
  if (Index < -1 || Index >= Printers()->Count()) throw EPrinter("Printer index out of range");
  printerIndex_ = Index;
  outputFileName_.clear();
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
  return IncludeTrailingPathDelimiter(FromQStr(dir)) + name + ".pdf";
}

int TPrinter::GetDeviceCaps(int Index) {
  int physW, physH, offX, offY, pageW, pageH, dpiX, dpiY;
  if (PrintsToFile()) {
    physW = kPdfPhysW, physH = kPdfPhysH, offX = kPdfLeft, offY = kPdfTop;
    pageW = kPdfPhysW - kPdfLeft - kPdfRight, pageH = kPdfPhysH - kPdfTop - kPdfBottom;
    dpiX = dpiY = kPdfDpi;
  } else {
    QPrinter& p = impl_->Setup();
    if (printerIndex_ >= 0) p.setPrinterName(QStr(Printers()->Get(printerIndex_)));
    QRectF paper = p.paperRect(QPrinter::DevicePixel), page = p.pageRect(QPrinter::DevicePixel);
    physW = int(paper.width()), physH = int(paper.height());
    offX = int(page.left()), offY = int(page.top());
    pageW = int(page.width()), pageH = int(page.height());
    dpiX = p.logicalDpiX(), dpiY = p.logicalDpiY();
  }
  switch (Index) {
    case HORZRES: return pageW;
    case VERTRES: return pageH;
    case LOGPIXELSX: return dpiX;
    case LOGPIXELSY: return dpiY;
    case PHYSICALWIDTH: return physW;
    case PHYSICALHEIGHT: return physH;
    case PHYSICALOFFSETX: return offX;
    case PHYSICALOFFSETY: return offY;
    default: return 0;
  }
}

TCanvas* TPrinter::Canvas() {
  if (printing_ && impl_->canvas) return impl_->canvas.get();
  if (!impl_->measure) impl_->measure = std::make_unique<TCanvas>(GetDC(nullptr), true);
  impl_->measure->Font()->SetPixelsPerInch(GetDeviceCaps(LOGPIXELSY));
  return impl_->measure.get();
}

void TPrinter::BeginDoc() {
  if (printing_) throw EPrinter("Printing in progress");
  EnsureGuiApplication();
  aborted_ = false;
  jobFile_.clear();
  int offX = 0, offY = 0, dpi = 0;
  if (PrintsToFile()) {
    AnsiString target = outputFileName_.empty() ? DefaultOutputFileName() : outputFileName_;
    QString path = QFileInfo(SystemPath(target)).absoluteFilePath();
    // Written under another name in the same folder, so that an aborted or failed job leaves
    // no half-written file and an earlier file of that name stays until the new one is whole.
    QTemporaryFile part(QFileInfo(path).absolutePath() + "/.print-XXXXXX.pdf");
    part.setAutoRemove(false);
    if (!part.open())
      throw EPrinter(Format("Cannot create file \"%s\". %s", {target, FromQStr(part.errorString())}));
    part.close();
    impl_->partFile = part.fileName();
    impl_->targetFile = path;
    impl_->pdf = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrinter& p = *impl_->pdf;
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setResolution(kPdfDpi);
    p.setPageSize(QPageSize(QPageSize::A4));
    p.setFullPage(true);
    p.setOutputFileName(impl_->partFile);
    impl_->job = &p;
    offX = kPdfLeft, offY = kPdfTop, dpi = kPdfDpi;
    jobFile_ = target;
  } else {
    QPrinter& p = impl_->Setup();
    if (printerIndex_ >= 0) p.setPrinterName(QStr(Printers()->Get(printerIndex_)));
    p.setOutputFormat(QPrinter::NativeFormat);
    p.setFullPage(false);
    impl_->job = &p;
    dpi = p.logicalDpiY();
  }
  impl_->job->setDocName(QStr(title_));
  impl_->job->setCreator(QStringLiteral("Vantry Tarn"));
  impl_->painter = std::make_unique<QPainter>();
  if (!impl_->painter->begin(impl_->job)) {
    impl_->painter.reset();
    FinishFile(false);
    impl_->job = nullptr;
    throw EPrinter(jobFile_.empty() ? AnsiString("Printer is not available")
                                    : Format("Cannot create file \"%s\"", {jobFile_}));
  }
  impl_->painter->translate(offX, offY);
  QRect clip(0, 0, GetDeviceCaps(HORZRES), GetDeviceCaps(VERTRES));
  impl_->canvas = CreateCanvasOnPainter(impl_->painter.get(), clip);
  impl_->canvas->Font()->SetPixelsPerInch(dpi);
  printing_ = true;
  pageNumber_ = 1;
}

void TPrinter::NewPage() {
  if (!printing_) throw EPrinter("Printing not in progress");
  ReleasePainter(impl_->painter.get());
  if (!impl_->job->newPage()) throw EPrinter("Cannot start a new page");
  impl_->painter->resetTransform();
  if (!impl_->partFile.isEmpty()) impl_->painter->translate(kPdfLeft, kPdfTop);
  ++pageNumber_;
}

void TPrinter::FinishFile(bool keep) {
  if (impl_->partFile.isEmpty()) return;
  QString part = impl_->partFile, target = impl_->targetFile;
  impl_->partFile.clear();
  impl_->pdf.reset();
  if (!keep) {
    QFile::remove(part);
    return;
  }
  // The file gets the mode a new file of the user's would get.
  mode_t mask = umask(0);
  umask(mask);
  chmod(part.toLocal8Bit().constData(), 0666 & ~mask);
  if (std::rename(part.toLocal8Bit().constData(), target.toLocal8Bit().constData()) != 0) {
    int err = errno;
    QFile::remove(part);
    throw EPrinter(Format("Cannot create file \"%s\". %s", {jobFile_, SysErrorMessage(err)}));
  }
}

void TPrinter::EndDoc() {
  // A job already aborted has nothing left to end.
  if (!printing_) {
    if (aborted_) return;
    throw EPrinter("Printing not in progress");
  }
  printing_ = false;
  impl_->canvas.reset();
  ReleasePainter(impl_->painter.get());
  bool ok = impl_->painter->end();
  impl_->painter.reset();
  impl_->job = nullptr;
  if (!ok) {
    FinishFile(false);
    throw EPrinter("Printing failed");
  }
  FinishFile(true);
}

void TPrinter::Abort() {
  if (!printing_) return;
  printing_ = false;
  aborted_ = true;
  impl_->canvas.reset();
  if (impl_->partFile.isEmpty()) impl_->job->abort();
  ReleasePainter(impl_->painter.get());
  impl_->painter->end();
  impl_->painter.reset();
  impl_->job = nullptr;
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
      return true;
    }
  }
  if (!DialogsCanShow()) return false;
  QPrinter& p = impl_->Setup();
  if (!outputFileName_.empty() || Printers()->Count() == 0) {
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(SystemPath(outputFileName_.empty() ? DefaultOutputFileName() : outputFileName_));
  } else if (printerIndex_ >= 0) {
    p.setPrinterName(QStr(Printers()->Get(printerIndex_)));
  }
  QPrintDialog dlg(&p, DialogOwnerWidget(nullptr));
  // Copies and page ranges are the program's own business.
  dlg.setOption(QAbstractPrintDialog::PrintToFile, true);
  dlg.setOption(QAbstractPrintDialog::PrintPageRange, false);
  if (dlg.exec() != QDialog::Accepted) return false;
  if (p.outputFormat() == QPrinter::PdfFormat && !p.outputFileName().isEmpty()) {
    outputFileName_ = SystemNameToAnsi(p.outputFileName().toStdString());
  } else {
    outputFileName_.clear();
    printerIndex_ = Printers()->IndexOf(FromQStr(p.printerName()));
  }
  p.setCopyCount(1);
  return true;
}

TPrinter* Printer() {
  // Kept for the whole run, as the desktop's print services may be gone at program end.
  static TPrinter* p = new TPrinter;
  return p;
}

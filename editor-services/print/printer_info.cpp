#include "editor-services/print/printer_info.h"

#include <climits>
#include <cmath>

#include "platform/printer/printer.h"

int RoundPixels(double Pixels) {
  if (std::isnan(Pixels)) return 0;
  double v = std::nearbyint(Pixels);
  if (v <= INT_MIN) return INT_MIN;
  if (v >= INT_MAX) return INT_MAX;
  return static_cast<int>(v);
}

void TSrcEditPrinterInfo::UpdatePrinter() {
  isUpdated_ = true;
  TPrinter* p = Printer();
  if (p->Printers()->Count() == 0) {
    UseA4Defaults();
    return;
  }
  physicalWidth_ = p->GetDeviceCaps(PHYSICALWIDTH);
  physicalHeight_ = p->GetDeviceCaps(PHYSICALHEIGHT);
  printableWidth_ = p->PageWidth();
  printableHeight_ = p->PageHeight();
  leftGutter_ = p->GetDeviceCaps(PHYSICALOFFSETX);
  topGutter_ = p->GetDeviceCaps(PHYSICALOFFSETY);
  rightGutter_ = physicalWidth_ - printableWidth_ - leftGutter_;
  bottomGutter_ = physicalHeight_ - printableHeight_ - topGutter_;
  xPixPerInch_ = p->GetDeviceCaps(LOGPIXELSX);
  yPixPerInch_ = p->GetDeviceCaps(LOGPIXELSY);
  xPixPerMM_ = static_cast<float>(xPixPerInch_ / 25.4);
  yPixPerMM_ = static_cast<float>(yPixPerInch_ / 25.4);
}

void TSrcEditPrinterInfo::UseA4Defaults() {
  isUpdated_ = true;
  physicalWidth_ = 2481;
  physicalHeight_ = 3507;
  printableWidth_ = 2358;
  printableHeight_ = 3407;
  leftGutter_ = 65;
  rightGutter_ = 58;
  topGutter_ = 50;
  bottomGutter_ = 50;
  xPixPerInch_ = yPixPerInch_ = 300;
  xPixPerMM_ = yPixPerMM_ = static_cast<float>(300 / 25.4);
}

int TSrcEditPrinterInfo::PhysicalWidth() { Ensure(); return physicalWidth_; }
int TSrcEditPrinterInfo::PhysicalHeight() { Ensure(); return physicalHeight_; }
int TSrcEditPrinterInfo::PrintableWidth() { Ensure(); return printableWidth_; }
int TSrcEditPrinterInfo::PrintableHeight() { Ensure(); return printableHeight_; }
int TSrcEditPrinterInfo::LeftGutter() { Ensure(); return leftGutter_; }
int TSrcEditPrinterInfo::RightGutter() { Ensure(); return rightGutter_; }
int TSrcEditPrinterInfo::TopGutter() { Ensure(); return topGutter_; }
int TSrcEditPrinterInfo::BottomGutter() { Ensure(); return bottomGutter_; }
int TSrcEditPrinterInfo::DpiX() { Ensure(); return xPixPerInch_; }
int TSrcEditPrinterInfo::DpiY() { Ensure(); return yPixPerInch_; }
float TSrcEditPrinterInfo::PixelsPerMmX() { Ensure(); return xPixPerMM_; }
float TSrcEditPrinterInfo::PixelsPerMmY() { Ensure(); return yPixPerMM_; }

int TSrcEditPrinterInfo::LeftPixels(double MM) { return RoundPixels(MM * PixelsPerMmX() - LeftGutter()); }
int TSrcEditPrinterInfo::RightPixels(double MM) { return RoundPixels(MM * PixelsPerMmX() - RightGutter()); }
int TSrcEditPrinterInfo::TopPixels(double MM) { return RoundPixels(MM * PixelsPerMmY() - TopGutter()); }
int TSrcEditPrinterInfo::BottomPixels(double MM) { return RoundPixels(MM * PixelsPerMmY() - BottomGutter()); }

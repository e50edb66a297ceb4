#include "editor-services/print/print_margins.h"

#include <cmath>

#include "platform/graphics.h"
#include "platform/sysutils.h"

namespace {
int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }
}  // namespace

double TSrcEditPrintMargins::From(double mm) const {
  switch (unitSystem_) {
    case usCM: return mm / 10;
    case usInch: return mm / 25.4;
    case muThousandthsOfInches: return mm * 1000 / 25.4;
    default: return mm;
  }
}

double TSrcEditPrintMargins::To(double v) const {
  switch (unitSystem_) {
    case usCM: return v * 10;
    case usInch: return v * 25.4;
    case muThousandthsOfInches: return v * 25.4 / 1000;
    default: return v;
  }
}

void TSrcEditPrintMargins::Set(double& field, double v) {
  double mm = To(v);
  if (mm == field) return;
  field = mm;
  CallEvent(OnChange, this);
}

void TSrcEditPrintMargins::SetMirrorMargins(bool v) {
  if (v == mirrorMargins_) return;
  mirrorMargins_ = v;
  CallEvent(OnChange, this);
}

void TSrcEditPrintMargins::InitPage(TCanvas* ACanvas, int PageNum, bool LineNumbers,
                                    bool LineNumbersInMargin, int MaxLineNum,
                                    TSrcEditPrinterInfo& PrinterInfo) {
  TSrcEditPrinterInfo& pi = PrinterInfo;
  if (!mirrorMargins_ || PageNum % 2 == 1) {
    PLeft = pi.LeftPixels(left_ + gutter_);
    PRight = pi.PrintableWidth() - pi.RightPixels(right_);
  } else {
    PLeft = pi.LeftPixels(right_);
    PRight = pi.PrintableWidth() - pi.RightPixels(left_ + gutter_);
  }
  if (LineNumbers && !LineNumbersInMargin)
    PLeft += ACanvas->TextWidth(IntToStr(MaxLineNum) + ": ");
  PTop = pi.TopPixels(top_);
  PBottom = pi.PrintableHeight() - pi.BottomPixels(bottom_);
  PHeader = pi.TopPixels(header_);
  PFooter = pi.PrintableHeight() - pi.BottomPixels(footer_);
  PHFInternalMargin = RoundEven(pi.PixelsPerMmY() * hfInternalMargin_);
  PGutter = RoundEven(pi.PixelsPerMmX() * gutter_);
  PRightHFTextIndent = PRight - RoundEven(pi.PixelsPerMmX() * rightHFTextIndent_);
  PLeftHFTextIndent = PLeft + RoundEven(pi.PixelsPerMmX() * leftHFTextIndent_);
}

void TSrcEditPrintMargins::Assign(TPersistent* Source) {
  auto* m = dynamic_cast<TSrcEditPrintMargins*>(Source);
  if (!m) {
    TPersistent::Assign(Source);
    return;
  }
  bool changed = left_ != m->left_ || right_ != m->right_ || top_ != m->top_ ||
                 bottom_ != m->bottom_ || header_ != m->header_ || footer_ != m->footer_ ||
                 leftHFTextIndent_ != m->leftHFTextIndent_ ||
                 rightHFTextIndent_ != m->rightHFTextIndent_ ||
                 hfInternalMargin_ != m->hfInternalMargin_ || gutter_ != m->gutter_ ||
                 mirrorMargins_ != m->mirrorMargins_ || unitSystem_ != m->unitSystem_;
  left_ = m->left_, right_ = m->right_, top_ = m->top_, bottom_ = m->bottom_;
  header_ = m->header_, footer_ = m->footer_;
  leftHFTextIndent_ = m->leftHFTextIndent_, rightHFTextIndent_ = m->rightHFTextIndent_;
  hfInternalMargin_ = m->hfInternalMargin_, gutter_ = m->gutter_;
  mirrorMargins_ = m->mirrorMargins_, unitSystem_ = m->unitSystem_;
  if (changed) CallEvent(OnChange, this);
}

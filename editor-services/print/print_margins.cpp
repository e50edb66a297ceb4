#include "editor-services/print/print_margins.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics.h"
#include "platform/sysutils.h"


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
  // Every distance is kept within the paper, so that no position leaves the page (or the range
  // of the pixel arithmetic), whatever was set.
  const double paperW = pi.PhysicalWidth() / pi.PixelsPerMmX(), paperH = pi.PhysicalHeight() / pi.PixelsPerMmY();
  auto across = [&](double mm) { return std::isnan(mm) ? 0.0 : std::clamp(mm, 0.0, paperW); };
  auto down = [&](double mm) { return std::isnan(mm) ? 0.0 : std::clamp(mm, 0.0, paperH); };
  const double left = across(left_ + gutter_), right = across(right_), gutter = across(gutter_);
  if (!mirrorMargins_ || PageNum % 2 == 1) {
    PLeft = pi.LeftPixels(left);
    PRight = pi.PrintableWidth() - pi.RightPixels(right);
  } else {
    PLeft = pi.LeftPixels(right);
    PRight = pi.PrintableWidth() - pi.RightPixels(left);
  }
  if (LineNumbers && !LineNumbersInMargin)
    PLeft += std::min(ACanvas->TextWidth(IntToStr(MaxLineNum) + ": "), pi.PhysicalWidth());
  PTop = pi.TopPixels(down(top_));
  PBottom = pi.PrintableHeight() - pi.BottomPixels(down(bottom_));
  PHeader = pi.TopPixels(down(header_));
  PFooter = pi.PrintableHeight() - pi.BottomPixels(down(footer_));
  PHFInternalMargin = RoundPixels(pi.PixelsPerMmY() * down(hfInternalMargin_));
  PGutter = RoundPixels(pi.PixelsPerMmX() * gutter);
  auto onPaper = [&](int x) { return std::clamp(x, -pi.LeftGutter(), pi.PhysicalWidth() - pi.LeftGutter()); };
  PRightHFTextIndent = onPaper(PRight - RoundPixels(pi.PixelsPerMmX() * across(rightHFTextIndent_)));
  PLeftHFTextIndent = onPaper(PLeft + RoundPixels(pi.PixelsPerMmX() * across(leftHFTextIndent_)));
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

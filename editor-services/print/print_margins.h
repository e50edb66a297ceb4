#pragma once
// Page margins of printing, kept in millimetres and read and written in a chosen unit, and their
// layout in printer pixels for one page.
#include "editor-services/print/printer_info.h"
#include "platform/classes.h"
#include "platform/events.h"

class TCanvas;

enum TUnitSystem { usMM = 0, usCM = 1, usInch = 2, muThousandthsOfInches = 3 };

class TSrcEditPrintMargins : public TPersistent {
public:
  // Distances in the unit of UnitSystem.
  double Left() const { return From(left_); }
  double Right() const { return From(right_); }
  double Top() const { return From(top_); }
  double Bottom() const { return From(bottom_); }
  double Header() const { return From(header_); }
  double Footer() const { return From(footer_); }
  double LeftHFTextIndent() const { return From(leftHFTextIndent_); }
  double RightHFTextIndent() const { return From(rightHFTextIndent_); }
  double HFInternalMargin() const { return From(hfInternalMargin_); }
  double Gutter() const { return From(gutter_); }
  void SetLeft(double v) { Set(left_, v); }
  void SetRight(double v) { Set(right_, v); }
  void SetTop(double v) { Set(top_, v); }
  void SetBottom(double v) { Set(bottom_, v); }
  void SetHeader(double v) { Set(header_, v); }
  void SetFooter(double v) { Set(footer_, v); }
  void SetLeftHFTextIndent(double v) { Set(leftHFTextIndent_, v); }
  void SetRightHFTextIndent(double v) { Set(rightHFTextIndent_, v); }
  void SetHFInternalMargin(double v) { Set(hfInternalMargin_, v); }
  void SetGutter(double v) { Set(gutter_, v); }
  bool MirrorMargins() const { return mirrorMargins_; }
  void SetMirrorMargins(bool v);
  TUnitSystem UnitSystem() const { return unitSystem_; }
  // Changes only how the stored distances are read and written.
  void SetUnitSystem(TUnitSystem v) { unitSystem_ = v; }

  // The layout of a page, in pixels of the printable area; a left-hand (even) page swaps the
  // margins when mirrored, and line numbers outside the margin narrow the text area by the
  // width of the largest one followed by ": ".
  void InitPage(TCanvas* ACanvas, int PageNum, bool LineNumbers, bool LineNumbersInMargin,
                int MaxLineNum, TSrcEditPrinterInfo& PrinterInfo);
  int PLeft = 0, PRight = 0, PTop = 0, PBottom = 0, PHeader = 0, PFooter = 0;
  int PLeftHFTextIndent = 0, PRightHFTextIndent = 0, PHFInternalMargin = 0, PGutter = 0;

  void Assign(TPersistent* Source) override;
  TNotifyEvent OnChange;

private:
  double From(double mm) const;
  double To(double v) const;
  void Set(double& field, double v);
  double left_ = 25, right_ = 15, top_ = 25, bottom_ = 25, header_ = 15, footer_ = 15;
  double leftHFTextIndent_ = 2, rightHFTextIndent_ = 2, hfInternalMargin_ = 0.5, gutter_ = 0;
  bool mirrorMargins_ = false;
  TUnitSystem unitSystem_ = usMM;
};

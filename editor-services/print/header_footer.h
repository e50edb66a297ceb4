#pragma once
// The page header and footer of printing: lines of left, right or centred texts with macros
// (page number, page count, title, date, time), each in its own font, in an optional frame.
#include <memory>
#include <vector>

#include "editor-services/print/print_margins.h"
#include "platform/graphics.h"
#include "platform/stdctrls.h"

enum TFrameType : uint8_t { ftLine = 1, ftBox = 2, ftShaded = 4 };

// A set of TFrameType bits.
class TFrameTypes {
public:
  constexpr TFrameTypes() = default;
  constexpr TFrameTypes(std::initializer_list<TFrameType> s) {
    for (auto t : s) bits_ |= t;
  }
  constexpr bool Contains(TFrameType t) const { return bits_ & t; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TFrameTypes&) const = default;

private:
  uint8_t bits_ = 0;
};

// What a header or footer text shows for its macros.
struct THeaderFooterValues {
  int PageNum = 0, PageCount = 0;
  bool Roman = false;
  AnsiString Title, Date, Time;
};

class THeaderFooterItem {
public:
  AnsiString Text;
  TFont* Font() { return &font_; }
  int LineNumber = 0;
  TAlignment Alignment = taLeftJustify;
  int Index = 0;
  // The text with its macros replaced ("$PAGENUM$", "$PAGECOUNT$", "$TITLE$", "$DATE$",
  // "$TIME$", "$DATETIME$", "$TIMEDATE$", in any case); blank text gives nothing.
  AnsiString ExpandText(const THeaderFooterValues& Values) const;

private:
  TFont font_;
};

enum THeaderFooterType { hftHeader, hftFooter };

// One line of a header or footer while printing.
struct TLineInfo {
  int Height = 0;
  int BaseDistance = 0;
};

class THeaderFooter : public TPersistent {
public:
  explicit THeaderFooter(THeaderFooterType Type);
  ~THeaderFooter() override;

  THeaderFooterType Type() const { return type_; }
  // A new item with a copy of Font (DefaultFont when nullptr); returns its index.
  int Add(const AnsiString& Text, TFont* Font, TAlignment Alignment, int LineNumber);
  void Delete(int Index);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }
  THeaderFooterItem* Items(int Index) const { return items_.at(static_cast<size_t>(Index)).get(); }
  // Every item's font gets this resolution, keeping its point size.
  void SetItemFontsPPI(int DPI);

  TFrameTypes FrameTypes() const { return frameTypes_; }
  void SetFrameTypes(TFrameTypes v) { frameTypes_ = v; }
  TColor ShadedColor() const { return shadedColor_; }
  void SetShadedColor(TColor v) { shadedColor_ = v; }
  TColor LineColor() const { return lineColor_; }
  void SetLineColor(TColor v) { lineColor_ = v; }
  TFont* DefaultFont() { return &defaultFont_; }
  bool RomanNumbers() const { return romanNumbers_; }
  void SetRomanNumbers(bool v) { romanNumbers_ = v; }
  bool MirrorPosition() const { return mirrorPosition_; }
  void SetMirrorPosition(bool v) { mirrorPosition_ = v; }

  // Before the pages: takes the date and time, sorts the items by line and numbers the lines
  // 1, 2, ... without gaps, and measures the lines and the frame on the canvas.
  void InitPrint(TCanvas* ACanvas, int NumPages, const TSrcEditPrintMargins* Margins,
                 const AnsiString& Title);
  // Prints the frame and the texts of one page.
  void Print(TCanvas* ACanvas, int PageNum);
  // The frame's height in pixels after InitPrint; -1 when there is nothing to print.
  int FrameHeight() const { return frameHeight_; }

  void Assign(TPersistent* Source) override;

private:
  struct SavedCanvas;
  void SaveCanvas(TCanvas* c);
  void RestoreCanvas(TCanvas* c);
  void DrawFrame(TCanvas* c);

  THeaderFooterType type_;
  std::vector<std::unique_ptr<THeaderFooterItem>> items_;
  TFrameTypes frameTypes_{ftLine};
  TColor shadedColor_ = clSilver;
  TColor lineColor_ = clBlack;
  TFont defaultFont_;
  bool romanNumbers_ = false, mirrorPosition_ = false;
  // While printing.
  AnsiString date_, time_, title_;
  int numPages_ = 0;
  const TSrcEditPrintMargins* margins_ = nullptr;
  int frameHeight_ = -1;
  std::vector<TLineInfo> lineInfo_;
  std::unique_ptr<SavedCanvas> saved_;
};

class THeader : public THeaderFooter {
public:
  THeader() : THeaderFooter(hftHeader) {}
};

class TFooter : public THeaderFooter {
public:
  TFooter() : THeaderFooter(hftFooter) {}
};

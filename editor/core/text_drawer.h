#pragma once
// Fixed-cell text output: every character of a row is drawn in a cell of the same width,
// whatever its glyph's own width, so that proportional fonts line up in columns too. Style
// fonts (bold, italic, underline, strike-out and their combinations) are made and measured once
// per base font and shared by every drawer whose base font is equal.
#include <array>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/dc.h"
#include "platform/graphics.h"
#include "platform/sysutils.h"

VT_DECLARE_EXCEPTION(EheFontStockException, Exception);
VT_DECLARE_EXCEPTION(EheTextDrawerException, Exception);
// An internal consistency check failed (a programming error, not a user error).
VT_DECLARE_EXCEPTION(EheAssertionFailed, Exception);

struct TFontStyleSlot {
  TFontStyles Style;
  HFONT Handle = nullptr;
  int CharAdvance = 0;
  int DBCharAdvance = 0;
  int CharHeight = 0;
};

struct TFontsInfo {
  int RefCount = 0;
  int LockCount = 0;
  std::unique_ptr<TFont> BaseFont;
  LOGFONTA BaseLF{};
  bool IsTrueType = false;
  bool IsDBCSFont = false;
  std::array<TFontStyleSlot, 16> FontsData;
};

// The process-wide list of shared font infos.
class TheFontsInfoManager {
public:
  static TheFontsInfoManager& Instance();
  ~TheFontsInfoManager();

  TFontsInfo* AcquireFontsInfo(TFont* Font);
  void DropFontsInfo(TFontsInfo* Info);
  void LockFontHandles(TFontsInfo* Info);
  void UnlockFontHandles(TFontsInfo* Info);

  // The font's LOGFONT with italic, underline and strike-out cleared and the face name padded
  // with zeros, so that two of them compare byte for byte.
  static LOGFONTA NormalizedLogFont(TFont* Font);
  int Count() const { return static_cast<int>(infos_.size()); }
  TFontsInfo* Items(int i) const { return infos_.at(static_cast<size_t>(i)); }

protected:
  TheFontsInfoManager() = default;
  TFontsInfo* LookUpFontsInfo(const LOGFONTA& LF) const;
  TFontsInfo* NewFontsInfo(TFont* Font, const LOGFONTA& LF);
  void FreeFontHandles(TFontsInfo* Info);

private:
  std::vector<TFontsInfo*> infos_;
};

// One drawer's view of a shared fonts info.
class TheFontStock : public TObject {
public:
  explicit TheFontStock(TFont* InitialFont);
  ~TheFontStock() override;

  virtual void SetBaseFont(TFont* Value);
  virtual void SelectStyle(TFontStyles Style);
  virtual int CharAdvance() const;
  virtual int CharHeight() const;
  virtual int DBCharAdvance() const;
  virtual void GiveBackFontHandles();

  HFONT FontHandle() const { return curHandle_; }
  TFontStyles Style() const { return curStyle_; }
  TFontsInfo* FontsInfo() const { return info_; }
  bool HoldsHandleLock() const { return owner_; }
  int DCUseCount() const { return dcRefCount_; }

protected:
  virtual HDC AcquireDC();
  virtual void ReleaseStockDC();
  virtual HFONT MakeStyleFont(TFontStyles Style);
  // Measures the font selected into DC: returns the advance; sets *Height and *DBAdvance when
  // given.
  virtual int MeasureFont(HDC DC, int* Height, int* DBAdvance);
  virtual TFontStyleSlot* StyleData(TFontStyles Style);
  void HoldFontHandles();
  void ReleaseFontsInfo();

private:
  HDC dc_ = nullptr;
  int dcRefCount_ = 0;
  TFontsInfo* info_ = nullptr;
  bool owner_ = false;
  TFontStyleSlot* curSlot_ = nullptr;
  LOGFONTA baseLF_{};
  HFONT curHandle_ = nullptr;
  TFontStyles curStyle_;
};

class TheTextDrawer : public TObject {
public:
  TheTextDrawer(TFontStyles CalcExtentBaseStyle, TFont* BaseFont);
  ~TheTextDrawer() override;

  virtual int CellWidth() const { return charWidth_ + charExtra_; }
  virtual int CellHeight() const { return charHeight_; }
  virtual void BeginDraw(HDC DC);
  virtual void EndDraw();
  virtual void TextOutPlain(int X, int Y, const char* Text, int Length);
  virtual void TextOutCells(int X, int Y, unsigned Options, const TRect* Rect, const char* Text,
                            int Length);
  virtual void SetBaseFont(TFont* Value);
  virtual void SetMeasureStyle(TFontStyles Value);
  virtual void SelectStyle(TFontStyles Value);
  virtual void SetForeground(TColor Value);
  virtual void SetBackground(TColor Value);
  virtual void SetExtraSpacing(int Value);
  virtual void GiveBackResources();

  TFontStyles MeasureStyle() const { return calcExtentBaseStyle_; }
  TColor Foreground() const { return color_; }
  TColor Background() const { return bkColor_; }
  int ExtraSpacing() const { return charExtra_; }
  HDC AttachedDC() const { return dc_; }
  int DrawingCount() const { return drawingCount_; }
  HFONT CurrentFont() const { return curFont_; }
  TheFontStock* FontStock() const { return fontStock_.get(); }
  int AdvanceArrayLength() const { return static_cast<int>(etoDist_.size()); }
  const int* AdvanceArray() const { return etoDist_.data(); }

protected:
  virtual void FreeAdvanceArray();
  virtual void ReselectFont();
  virtual void ApplyExtraSpacing();

private:
  HDC dc_ = nullptr;
  int saveDC_ = 0;
  std::unique_ptr<TheFontStock> fontStock_;
  TFontStyles calcExtentBaseStyle_;
  int charWidth_ = 0, charHeight_ = 0;
  HFONT curFont_ = nullptr;
  std::vector<int> etoDist_;
  TColor color_ = clWindowText;
  TColor bkColor_ = clWindow;
  int charExtra_ = 0;
  int drawingCount_ = 0;
};

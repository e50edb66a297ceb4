// Fixed-cell text output with shared style fonts.
#include "editor/core/text_drawer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

const char* const kNilFont = "SetBaseFont: 'Value' must be specified.";

void Check(bool ok, const char* what) {
  if (!ok) throw EheAssertionFailed(AnsiString("Assertion failed: ") + what);
}

}  // namespace

// ------------------------------------------------------------------------------ manager

TheFontsInfoManager& TheFontsInfoManager::Instance() {
  struct Manager : TheFontsInfoManager {};
  static Manager instance;
  return instance;
}

TheFontsInfoManager::~TheFontsInfoManager() {
  // Whatever is still listed at program end belongs to drawers that were never freed.
  while (!infos_.empty()) {
    TFontsInfo* info = infos_.back();
    infos_.pop_back();
    FreeFontHandles(info);
    delete info;
  }
}

LOGFONTA TheFontsInfoManager::NormalizedLogFont(TFont* Font) {
  LOGFONTA lf{};
  GetObjectA(Font->Handle(), sizeof(lf), &lf);
  lf.lfItalic = 0;
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 0;
  size_t n = strnlen(lf.lfFaceName, LF_FACESIZE);
  std::memset(lf.lfFaceName + n, 0, LF_FACESIZE - n);
  return lf;
}

TFontsInfo* TheFontsInfoManager::LookUpFontsInfo(const LOGFONTA& LF) const {
  for (TFontsInfo* info : infos_)
    if (std::memcmp(&info->BaseLF, &LF, sizeof(LOGFONTA)) == 0) return info;
  return nullptr;
}

TFontsInfo* TheFontsInfoManager::NewFontsInfo(TFont* Font, const LOGFONTA& LF) {
  auto* info = new TFontsInfo;
  info->BaseFont = std::make_unique<TFont>();
  info->BaseFont->Assign(Font);
  info->BaseLF = LF;
  info->IsTrueType = (LF.lfPitchAndFamily & 4) != 0;
  HDC dc = GetDC(nullptr);
  HFONT probe = CreateFontIndirectA(LF);
  HFONT old = SelectObject(dc, probe);
  info->IsDBCSFont = (GetFontLanguageInfo(dc) & GCP_DBCS) != 0;
  SelectObject(dc, old);
  DeleteObject(probe);
  ReleaseDC(nullptr, dc);
  for (int i = 0; i < 16; ++i) info->FontsData[size_t(i)].Style = TFontStyles::FromBits(uint8_t(i));
  infos_.push_back(info);
  return info;
}

TFontsInfo* TheFontsInfoManager::AcquireFontsInfo(TFont* Font) {
  LOGFONTA lf = NormalizedLogFont(Font);
  TFontsInfo* info = LookUpFontsInfo(lf);
  if (!info) info = NewFontsInfo(Font, lf);
  ++info->RefCount;
  return info;
}

void TheFontsInfoManager::DropFontsInfo(TFontsInfo* Info) {
  Check(Info != nullptr, "fonts info");
  if (Info->LockCount >= Info->RefCount)
    throw EheAssertionFailed("Call DeactivateFontsInfo before calling this.");
  if (Info->RefCount <= 1) {
    infos_.erase(std::remove(infos_.begin(), infos_.end(), Info), infos_.end());
    FreeFontHandles(Info);
    delete Info;
  } else {
    --Info->RefCount;
  }
}

void TheFontsInfoManager::LockFontHandles(TFontsInfo* Info) {
  Check(Info != nullptr, "fonts info");
  ++Info->LockCount;
}

void TheFontsInfoManager::UnlockFontHandles(TFontsInfo* Info) {
  Check(Info != nullptr && Info->LockCount > 0, "lock count");
  if (--Info->LockCount == 0) FreeFontHandles(Info);
}

void TheFontsInfoManager::FreeFontHandles(TFontsInfo* Info) {
  for (auto& slot : Info->FontsData)
    if (slot.Handle) {
      DeleteObject(slot.Handle);
      slot.Handle = nullptr;
    }
}

// ------------------------------------------------------------------------------ font stock

TheFontStock::TheFontStock(TFont* InitialFont) { SetBaseFont(InitialFont); }

TheFontStock::~TheFontStock() {
  ReleaseFontsInfo();
  if (dc_) ReleaseDC(nullptr, dc_);  // only after a failure inside a measurement
}

HDC TheFontStock::AcquireDC() {
  if (dcRefCount_ == 0) dc_ = GetDC(nullptr);
  ++dcRefCount_;
  return dc_;
}

void TheFontStock::ReleaseStockDC() {
  Check(dcRefCount_ > 0, "DC use count");
  if (--dcRefCount_ == 0) {
    ReleaseDC(nullptr, dc_);
    dc_ = nullptr;
  }
}

void TheFontStock::ReleaseFontsInfo() {
  if (!info_) return;
  if (owner_) {
    owner_ = false;
    TheFontsInfoManager::Instance().UnlockFontHandles(info_);
  }
  TheFontsInfoManager::Instance().DropFontsInfo(info_);
  info_ = nullptr;
  curSlot_ = nullptr;
  curHandle_ = nullptr;
}

void TheFontStock::SetBaseFont(TFont* Value) {
  if (!Value) throw EheFontStockException(kNilFont);
  auto& manager = TheFontsInfoManager::Instance();
  TFontsInfo* info = manager.AcquireFontsInfo(Value);
  if (info == info_) {
    manager.DropFontsInfo(info);
    return;
  }
  ReleaseFontsInfo();
  info_ = info;
  baseLF_ = info->BaseLF;
  SelectStyle(Value->Style());
}

void TheFontStock::HoldFontHandles() {
  if (owner_) return;
  TheFontsInfoManager::Instance().LockFontHandles(info_);
  owner_ = true;
}

TFontStyleSlot* TheFontStock::StyleData(TFontStyles Style) {
  Check(info_ != nullptr, "fonts info");
  Check(Style.Bits() <= 15, "style index");
  return &info_->FontsData[Style.Bits()];
}

HFONT TheFontStock::MakeStyleFont(TFontStyles Style) {
  LOGFONTA lf = baseLF_;
  lf.lfWeight = Style.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = Style.Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = Style.Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = Style.Contains(fsStrikeOut) ? 1 : 0;
  return CreateFontIndirectA(lf);
}

int TheFontStock::MeasureFont(HDC DC, int* Height, int* DBAdvance) {
  TEXTMETRICA tm{};
  GetTextMetricsA(DC, &tm);
  ABC abc{};
  bool hasABC = GetCharABCWidthsA(DC, 77, 77, &abc);
  if (!hasABC) {
    abc.abcA = 0;
    abc.abcB = uint32_t(tm.tmAveCharWidth);
    abc.abcC = 0;
    tm.tmOverhang = 0;
  }
  int advance = abc.abcA + int(abc.abcB) + abc.abcC + tm.tmOverhang;
  if (Height) *Height = std::abs(tm.tmHeight);
  if (DBAdvance) {
    *DBAdvance = INT_MAX;
    if (info_ && info_->IsDBCSFont && tm.tmCharSet == SHIFTJIS_CHARSET && hasABC) {
      ABC wide{}, kana{};
      if (GetCharABCWidthsA(DC, 0x8201, 0x8201, &wide) &&
          GetCharABCWidthsA(DC, 0x82A0, 0x82A0, &kana)) {
        int w = wide.abcA + int(wide.abcB) + wide.abcC;
        int k = kana.abcA + int(kana.abcB) + kana.abcC;
        if (w > advance * 3 / 2 && w == k) *DBAdvance = w;
      }
    }
  }
  return advance;
}

void TheFontStock::SelectStyle(TFontStyles Style) {
  HoldFontHandles();
  TFontStyleSlot* slot = StyleData(Style);
  if (slot == curSlot_ && slot->Handle && slot->Handle == curHandle_) return;
  curSlot_ = slot;
  if (slot->Handle) {
    curHandle_ = slot->Handle;
    curStyle_ = slot->Style;
    return;
  }
  HFONT font = MakeStyleFont(Style);
  HDC dc = AcquireDC();
  HFONT old = SelectObject(dc, font);
  slot->Handle = font;
  slot->Style = Style;
  slot->CharAdvance = MeasureFont(dc, &slot->CharHeight, info_->IsDBCSFont ? &slot->DBCharAdvance : nullptr);
  if (!info_->IsDBCSFont) slot->DBCharAdvance = INT_MAX;
  SelectObject(dc, old);
  ReleaseStockDC();
  curHandle_ = font;
  curStyle_ = Style;
}

int TheFontStock::CharAdvance() const { return curSlot_ ? curSlot_->CharAdvance : 0; }
int TheFontStock::CharHeight() const { return curSlot_ ? curSlot_->CharHeight : 0; }
int TheFontStock::DBCharAdvance() const { return curSlot_ ? curSlot_->DBCharAdvance : 0; }

void TheFontStock::GiveBackFontHandles() {
  if (!owner_) return;
  owner_ = false;
  TheFontsInfoManager::Instance().UnlockFontHandles(info_);
  // The handles may be gone now: the next selection must make them again, not reuse them.
  curSlot_ = nullptr;
  curHandle_ = nullptr;
}

// ------------------------------------------------------------------------------ text drawer

TheTextDrawer::TheTextDrawer(TFontStyles CalcExtentBaseStyle, TFont* BaseFont)
    : fontStock_(std::make_unique<TheFontStock>(BaseFont)),
      calcExtentBaseStyle_(CalcExtentBaseStyle) {
  SetBaseFont(BaseFont);
  color_ = clWindowText;
  bkColor_ = clWindow;
}

TheTextDrawer::~TheTextDrawer() { FreeAdvanceArray(); }

void TheTextDrawer::FreeAdvanceArray() {
  etoDist_.clear();
  etoDist_.shrink_to_fit();
}

void TheTextDrawer::ReselectFont() {
  if (dc_) SelectObject(dc_, curFont_);
}

void TheTextDrawer::ApplyExtraSpacing() { SetTextCharacterExtra(dc_, charExtra_); }

void TheTextDrawer::BeginDraw(HDC DC) {
  Check(DC != nullptr, "DC");
  if (dc_) {
    Check(DC == dc_, "same DC");
  } else {
    dc_ = DC;
    saveDC_ = SaveDC(DC);
    SelectObject(DC, curFont_);
    SetTextColor(DC, ColorToColorRef(color_));
    SetBkColor(DC, ColorToColorRef(bkColor_));
    ApplyExtraSpacing();
  }
  ++drawingCount_;
}

void TheTextDrawer::EndDraw() {
  Check(drawingCount_ >= 1, "draw nesting");
  if (--drawingCount_ == 0) {
    GdiFlush();
    if (saveDC_) RestoreDC(dc_, saveDC_);
    saveDC_ = 0;
    dc_ = nullptr;
  }
}

void TheTextDrawer::TextOutPlain(int X, int Y, const char* Text, int Length) {
  if (dc_) TextOutA(dc_, X, Y, Text, Length);
}

void TheTextDrawer::TextOutCells(int X, int Y, unsigned Options, const TRect* Rect,
                                 const char* Text, int Length) {
  if (Length > int(etoDist_.size())) {
    // Grown in blocks of 64; entries already there keep their widths.
    size_t n = size_t(Length / 64 * 64 + 64);
    etoDist_.resize(n, CellWidth());
  }
  if (dc_) ExtTextOutA(dc_, X, Y, Options, Rect, Text, Length, etoDist_.data());
}

void TheTextDrawer::SetBaseFont(TFont* Value) {
  if (!Value) throw EheTextDrawerException(kNilFont);
  FreeAdvanceArray();
  fontStock_->SetBaseFont(Value);
  fontStock_->SelectStyle(calcExtentBaseStyle_);
  charWidth_ = fontStock_->CharAdvance();
  charHeight_ = fontStock_->CharHeight();
  SelectStyle(Value->Style());
}

void TheTextDrawer::SetMeasureStyle(TFontStyles Value) {
  if (Value == calcExtentBaseStyle_) return;
  calcExtentBaseStyle_ = Value;
  FreeAdvanceArray();
  fontStock_->SelectStyle(Value);
  charWidth_ = fontStock_->CharAdvance();
  charHeight_ = fontStock_->CharHeight();
}

void TheTextDrawer::SelectStyle(TFontStyles Value) {
  fontStock_->SelectStyle(Value);
  curFont_ = fontStock_->FontHandle();
  ReselectFont();
}

void TheTextDrawer::SetForeground(TColor Value) {
  if (Value == color_) return;
  color_ = Value;
  if (dc_) SetTextColor(dc_, ColorToColorRef(Value));
}

void TheTextDrawer::SetBackground(TColor Value) {
  if (Value == bkColor_) return;
  bkColor_ = Value;
  if (dc_) SetBkColor(dc_, ColorToColorRef(Value));
}

void TheTextDrawer::SetExtraSpacing(int Value) {
  if (Value == charExtra_) return;
  charExtra_ = Value;
  if (dc_) ApplyExtraSpacing();
}

void TheTextDrawer::GiveBackResources() { fontStock_->GiveBackFontHandles(); }

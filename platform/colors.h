#pragma once
// Colours and font styles: 32-bit colour values ($00BBGGRR for a colour, $FF0000nn for system
// colour nn, $1FFFFFFF for none) and the style set of a font.
#include <cstdint>
#include <initializer_list>

using TColor = int32_t;

constexpr TColor RGB(int r, int g, int b) { return TColor(r | (g << 8) | (b << 16)); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF,
                 clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// System colours: resolved from the desktop palette by ColorToRGB (platform/graphics).
constexpr TColor SystemColor(int index) { return TColor(0xFF000000u | unsigned(index)); }
constexpr TColor clScrollBar = SystemColor(0), clBackground = SystemColor(1),
                 clActiveCaption = SystemColor(2), clInactiveCaption = SystemColor(3),
                 clMenu = SystemColor(4), clWindow = SystemColor(5), clWindowFrame = SystemColor(6),
                 clMenuText = SystemColor(7), clWindowText = SystemColor(8),
                 clCaptionText = SystemColor(9), clActiveBorder = SystemColor(10),
                 clInactiveBorder = SystemColor(11), clAppWorkSpace = SystemColor(12),
                 clHighlight = SystemColor(13), clHighlightText = SystemColor(14),
                 clBtnFace = SystemColor(15), clBtnShadow = SystemColor(16),
                 clGrayText = SystemColor(17), clBtnText = SystemColor(18),
                 clInactiveCaptionText = SystemColor(19), clBtnHighlight = SystemColor(20),
                 cl3DDkShadow = SystemColor(21), cl3DLight = SystemColor(22),
                 clInfoText = SystemColor(23), clInfoBk = SystemColor(24);

enum TFontStyle : uint8_t { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };

// A set of font styles, one bit each, stored as one byte.
class TFontStyles {
public:
  constexpr TFontStyles() = default;
  constexpr TFontStyles(std::initializer_list<TFontStyle> s) {
    for (auto f : s) bits_ |= uint8_t(1u << f);
  }
  static constexpr TFontStyles FromBits(uint8_t b) { TFontStyles s; s.bits_ = b & 0xF; return s; }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool Contains(TFontStyle f) const { return bits_ & (1u << f); }
  constexpr TFontStyles& Include(TFontStyle f) { bits_ |= uint8_t(1u << f); return *this; }
  constexpr TFontStyles& Exclude(TFontStyle f) { bits_ &= uint8_t(~(1u << f)); return *this; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr bool operator==(const TFontStyles& o) const { return bits_ == o.bits_; }
  constexpr bool operator!=(const TFontStyles& o) const { return bits_ != o.bits_; }
  constexpr TFontStyles operator+(TFontStyles o) const { return FromBits(bits_ | o.bits_); }
  constexpr TFontStyles operator-(TFontStyles o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TFontStyles operator*(TFontStyles o) const { return FromBits(bits_ & o.bits_); }

private:
  uint8_t bits_ = 0;
};

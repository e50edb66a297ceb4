#pragma once
// Device contexts and font objects in the shape of the Windows GDI text calls: a DC paints
// into a widget, an image or a printer page; a font object is made from a LOGFONT record and
// read back from it. Text is Windows-1251; each byte is decoded and drawn in its own cell.
#include <cstdint>

#include "platform/colors.h"
#include "platform/graphics_types.h"

struct TDeviceContext;
struct TFontObject;
using HDC = TDeviceContext*;
using HFONT = TFontObject*;
using COLORREF = uint32_t;  // $00BBGGRR

constexpr int LF_FACESIZE = 32;

// The font description record: 60 bytes, compared byte for byte by the font manager.
struct LOGFONTA {
  int32_t lfHeight;  // < 0: character height in pixels; > 0: cell height; 0: default
  int32_t lfWidth;
  int32_t lfEscapement;
  int32_t lfOrientation;
  int32_t lfWeight;  // 400 normal, 700 bold
  uint8_t lfItalic;
  uint8_t lfUnderline;
  uint8_t lfStrikeOut;
  uint8_t lfCharSet;
  uint8_t lfOutPrecision;
  uint8_t lfClipPrecision;
  uint8_t lfQuality;
  uint8_t lfPitchAndFamily;
  char lfFaceName[LF_FACESIZE];  // Windows-1251, zero-terminated
};
static_assert(sizeof(LOGFONTA) == 60);

constexpr uint8_t DEFAULT_PITCH = 0, FIXED_PITCH = 1, VARIABLE_PITCH = 2;
constexpr uint8_t FF_DONTCARE = 0x00, FF_ROMAN = 0x10, FF_SWISS = 0x20, FF_MODERN = 0x30;
constexpr uint8_t ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, SHIFTJIS_CHARSET = 128,
                  RUSSIAN_CHARSET = 204;
constexpr int FW_NORMAL = 400, FW_BOLD = 700;

// Bits of tmPitchAndFamily. TMPF_FIXED_PITCH set means the font is NOT fixed pitch.
constexpr uint8_t TMPF_FIXED_PITCH = 1, TMPF_VECTOR = 2, TMPF_TRUETYPE = 4, TMPF_DEVICE = 8;

struct TEXTMETRICA {
  int32_t tmHeight, tmAscent, tmDescent, tmInternalLeading, tmExternalLeading;
  int32_t tmAveCharWidth, tmMaxCharWidth, tmWeight, tmOverhang;
  int32_t tmDigitizedAspectX, tmDigitizedAspectY;
  uint8_t tmFirstChar, tmLastChar, tmDefaultChar, tmBreakChar;
  uint8_t tmItalic, tmUnderlined, tmStruckOut, tmPitchAndFamily, tmCharSet;
};

struct ABC {
  int32_t abcA;
  uint32_t abcB;
  int32_t abcC;
};

constexpr unsigned ETO_OPAQUE = 2, ETO_CLIPPED = 4;
constexpr int TRANSPARENT = 1, OPAQUE = 2;
constexpr uint32_t GCP_DBCS = 1;

// Font objects.
HFONT CreateFontIndirectA(const LOGFONTA& lf);
// Copies the LOGFONT of a font into *out (size bytes at most); returns the bytes copied, 0
// for a handle that is not a live font.
int GetObjectA(HFONT font, int size, void* out);
bool DeleteObject(HFONT font);
bool IsFontHandle(HFONT font);

// Device contexts. The screen DC measures only; drawing on it does nothing.
HDC GetDC(void* window);  // window must be nullptr: the screen
int ReleaseDC(void* window, HDC dc);
HDC CreateCompatibleDC(HDC dc);  // a measuring DC like the screen
bool DeleteDC(HDC dc);

int SaveDC(HDC dc);                 // returns the new save level (1, 2, ...)
bool RestoreDC(HDC dc, int saved);  // a level, or -1 for the last one saved
HFONT SelectObject(HDC dc, HFONT font);  // returns the font selected before
HFONT GetCurrentObjectFont(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF c);  // returns the previous colour
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF c);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);  // TRANSPARENT or OPAQUE (the default)
int GetBkMode(HDC dc);
int SetTextCharacterExtra(HDC dc, int extra);  // returns the previous extra spacing
int GetTextCharacterExtra(HDC dc);

// Clipping: the DC's clip rectangle (its device bounds, or the rectangle being painted).
TRect GetClipBox(HDC dc);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
void SelectClipRect(HDC dc, const TRect* r);  // nullptr: back to the device clip

bool GetTextMetricsA(HDC dc, TEXTMETRICA* tm);
// ABC widths of the character codes first..last of the selected font. Fails on a device that
// does not report them (see SetDCCharABCWidthsAvailable) and for codes above 255.
bool GetCharABCWidthsA(HDC dc, unsigned first, unsigned last, ABC* out);
bool GetCharWidth32A(HDC dc, unsigned first, unsigned last, int* out);
uint32_t GetFontLanguageInfo(HDC dc);  // no double-byte fonts here: never GCP_DBCS
bool GetTextExtentPoint32A(HDC dc, const char* text, int count, TSize* size);

// Output, top-left aligned: y is the top of the character cell. With OPAQUE background mode the
// text box is filled with the background colour first.
bool TextOutA(HDC dc, int x, int y, const char* text, int count);
// With dx, character i is drawn dx[0] + ... + dx[i-1] pixels right of x (the extra spacing is
// not added then). ETO_OPAQUE fills *rect with the background colour; ETO_CLIPPED clips to it.
bool ExtTextOutA(HDC dc, int x, int y, unsigned options, const TRect* rect, const char* text,
                 int count, const int* dx);

// Text output is batched: glyphs whose ink lies inside their clip may be drawn later, together
// with others of their face and colour, but always before anything else touches their pixels
// and before the painter is given back. GdiFlush draws them now. GdiSetBatchLimit(1) turns
// batching off (every run drawn at once, clipped exactly as asked); any other limit turns it
// on. Returns the previous limit (0: batching).
bool GdiFlush();
unsigned GdiSetBatchLimit(unsigned limit);

// Some devices (printer drivers, raster fonts) report no ABC widths; a DC can be set to behave
// so, which lets callers exercise their fallback.
void SetDCCharABCWidthsAvailable(HDC dc, bool available);

// The desktop's colour value of a colour ($00BBGGRR; system colours resolved).
COLORREF ColorToColorRef(TColor c);

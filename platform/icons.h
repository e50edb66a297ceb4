#pragma once
// Pictures for image lists: icons of the desktop's icon theme, looked up by their standard
// (freedesktop) names, and pictures the program draws itself on a small vector canvas. Both
// come as square bitmaps that keep their transparency.
#include <functional>
#include <initializer_list>

#include "platform/ansi.h"
#include "platform/colors.h"

class TBitmap;

// The icon theme's picture of Name at Size x Size pixels into Bitmap (transparent around the
// icon, centred when the theme only has a smaller one); false, Bitmap unchanged, when the
// theme has no icon of that name. Where the desktop's own theme lacks a name (or no desktop
// theme is set, as offscreen), an installed classic theme with colour action icons is asked.
bool LoadThemeIcon(const AnsiString& Name, int Size, TBitmap& Bitmap);
// Theme lookups are on by default; switched off, every lookup finds nothing, so that only the
// drawn pictures show.
void SetThemeIconsEnabled(bool On);
bool ThemeIconsEnabled();

// Drawing on a grid of 16 x 16 units, scaled to the picture's size, with smoothed edges. A
// one-unit outline through half units (x = 2.5) lies on whole pixels at 16 pixels.
class TIconCanvas {
public:
  virtual ~TIconCanvas() = default;
  // Outline colour and width of the figures that follow; clNone: no outline.
  virtual void SetPen(TColor Color, double Width = 1) = 0;
  // Fill colour of closed figures; clNone: not filled.
  virtual void SetFill(TColor Color) = 0;
  virtual void Rect(double X, double Y, double W, double H, double Radius = 0) = 0;
  virtual void Ellipse(double X, double Y, double W, double H) = 0;
  virtual void Line(double X1, double Y1, double X2, double Y2) = 0;
  // Points as x, y pairs; a polygon is closed and filled, a polyline open.
  virtual void Polygon(std::initializer_list<double> XY) = 0;
  virtual void Polyline(std::initializer_list<double> XY) = 0;
  // Part of the ellipse's outline: angles in degrees, counter-clockwise from three o'clock.
  virtual void Arc(double X, double Y, double W, double H, double StartDeg, double SpanDeg) = 0;
  // Text (Windows-1251) centred in the box in the pen's colour; Height is the font's pixel
  // height in units; Serif picks a serif face instead of the sans one.
  virtual void Text(double X, double Y, double W, double H, const AnsiString& Text, double Height,
                    TFontStyles Style = {}, bool Serif = false) = 0;
};

// A transparent Size x Size picture drawn by Paint into Bitmap.
void DrawIcon(int Size, TBitmap& Bitmap, const std::function<void(TIconCanvas&)>& Paint);
// The number of pixels of Bitmap that are not fully transparent.
int OpaquePixelCount(const TBitmap& Bitmap);

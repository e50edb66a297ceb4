#pragma once
// Graphics objects of the class library: colours as text and as RGB, fonts, pens, brushes,
// canvases, bitmaps, image lists and the program's own bitmap resources.
#include <functional>
#include <memory>
#include <vector>

#include "platform/ansi.h"
#include "platform/classes.h"
#include "platform/colors.h"
#include "platform/dc.h"
#include "platform/graphics_types.h"

// Creates the application object of the desktop toolkit when none exists yet; everything that
// draws or measures calls it first, and the GUI code later reuses the same object.
void EnsureGuiApplication();
// Whether windows can be shown: a toolkit platform named by QT_QPA_PLATFORM (offscreen, for
// tests and benchmarks) or a desktop session (DISPLAY or WAYLAND_DISPLAY). Without either the
// toolkit would stop the program with an abort.
bool DesktopSessionAvailable();
// Shows the toolkit's own texts (standard dialogs, the buttons it supplies) in the language of a
// locale ("ru_RU"), as the start of the application does for the user's locale; false when no
// translation for it is installed (the texts stay English).
bool LoadToolkitTranslations(const std::string& Locale);

// A colour's RGB value: system colours come from the desktop palette, other values unchanged.
TColor ColorToRGB(TColor c);
// "clNavy" for a named colour, otherwise "$00BBGGRR".
AnsiString ColorToString(TColor c);
// A colour name ("clNavy", any case) or a number ("$FF", "255"); EConvertError otherwise.
TColor StringToColor(const AnsiString& s);
bool IdentToColor(const AnsiString& ident, TColor& c);
bool ColorToIdent(TColor c, AnsiString& ident);

using HINSTANCE = void*;
inline HINSTANCE HInstance = nullptr;  // the program's own module

enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

// A graphics object reports each change of its state through OnChange.
class TGraphicsObject : public TPersistent {
public:
  TNotifyEvent OnChange;

protected:
  virtual void Changed();
};

class TFont : public TGraphicsObject {
public:
  TFont();
  ~TFont() override;

  const AnsiString& Name() const { return name_; }
  void SetName(const AnsiString& v);
  int Size() const;  // points
  void SetSize(int points);
  int Height() const { return height_; }  // pixels; negative: character height without leading
  void SetHeight(int v);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles v);
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset v);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch v);
  // The resolution the point size refers to (a printer's canvas font has the printer's).
  // Setting it keeps the height in pixels; Assign from a font of another resolution keeps the
  // point size instead.
  int PixelsPerInch() const { return ppi_; }
  void SetPixelsPerInch(int v);

  // The font object for the current properties, made on first use and owned by the font.
  HFONT Handle();
  void Assign(TPersistent* Source) override;  // fires OnChange only when something differs
  bool SameAs(const TFont& o) const;

private:
  void FreeHandle();
  AnsiString name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int ppi_ = 96;
  HFONT handle_ = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
enum TBrushStyle { bsSolid, bsClear };

class TPen : public TGraphicsObject {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  int Width() const { return width_; }
  void SetWidth(int v);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle v);
  void Assign(TPersistent* Source) override;

private:
  TColor color_ = clBlack;
  int width_ = 1;
  TPenStyle style_ = psSolid;
};

class TBrush : public TGraphicsObject {
public:
  TColor Color() const { return color_; }
  void SetColor(TColor v);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle v);
  void Assign(TPersistent* Source) override;

private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

class TBitmap;

// Drawing on a device context with the canvas's own font, pen and brush.
class TCanvas : public TPersistent {
public:
  // A canvas over a DC; owns it when Owns.
  TCanvas(HDC dc, bool Owns);
  ~TCanvas() override;

  HDC Handle() const { return dc_; }
  TFont* Font() { return &font_; }
  TPen* Pen() { return &pen_; }
  TBrush* Brush() { return &brush_; }
  TPoint PenPos() const { return penPos_; }
  void SetPenPos(TPoint p) { penPos_ = p; }
  TRect ClipRect() const;

  void FillRect(const TRect& r);  // with the brush
  void FrameRect(const TRect& r);  // one-pixel frame in the brush colour
  void MoveTo(int x, int y);
  void LineTo(int x, int y);  // the end point itself is not drawn
  void Rectangle(int left, int top, int right, int bottom);  // pen outline, brush inside
  void Rectangle(const TRect& r) { Rectangle(r.Left, r.Top, r.Right, r.Bottom); }
  void TextOut(int x, int y, const AnsiString& text);
  void TextRect(const TRect& r, int x, int y, const AnsiString& text);
  TSize TextExtent(const AnsiString& text);
  int TextWidth(const AnsiString& text) { return TextExtent(text).cx; }
  int TextHeight(const AnsiString& text) { return TextExtent(text).cy; }
  void Draw(int x, int y, TBitmap* bitmap);
  // Copies Source of another canvas's bitmap into Dest (scaled when the sizes differ).
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  // Copies Source of a bitmap into Dest; pixels of colour Transparent are left out (clNone:
  // a plain copy).
  void BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Transparent);
  TColor Pixel(int x, int y) const;  // only on a bitmap's canvas; clNone elsewhere
  void SetPixel(int x, int y, TColor c);

  TBitmap* OwnerBitmap() const { return bitmap_; }

private:
  friend class TBitmap;
  void SelectFont();
  HDC dc_;
  bool owns_;
  TBitmap* bitmap_ = nullptr;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  TPoint penPos_;
};

struct TBitmapData;

// A picture in memory (32-bit RGB). New pixels are white.
class TBitmap : public TGraphicsObject {
public:
  TBitmap();
  TBitmap(int width, int height);
  ~TBitmap() override;

  int Width() const;
  int Height() const;
  void SetWidth(int w) { SetSize(w, Height()); }
  void SetHeight(int h) { SetSize(Width(), h); }
  void SetSize(int w, int h);
  bool Empty() const { return Width() == 0 || Height() == 0; }
  TCanvas* Canvas();
  TColor Pixel(int x, int y) const;  // $00BBGGRR, clNone outside
  void Assign(TPersistent* Source) override;  // copies the picture
  // Loads a bitmap resource of the program (see RegisterBitmapResource); false when unknown.
  bool LoadFromResourceName(HINSTANCE module, const AnsiString& name);
  void SaveToFile(const AnsiString& fileName) const;  // PNG
  // Fires OnChange after drawing on the canvas changed the picture.
  void Modified() { Changed(); }

  TBitmapData* Data() const { return data_.get(); }  // platform use

private:
  std::unique_ptr<TBitmapData> data_;
  std::unique_ptr<TCanvas> canvas_;
};

// An icon: a picture that keeps its transparency; empty until one is drawn or assigned.
class TIcon : public TBitmap {
public:
  using TBitmap::TBitmap;
  // The icon in the icon-file form as loaded (reserved 0, type 1, image entries, images);
  // empty when the icon was only drawn.
  const std::string& IconData() const { return iconData_; }
  void SetIconData(std::string Data) { iconData_ = std::move(Data); }
  bool Empty() const { return iconData_.empty() && TBitmap::Empty(); }
  void Assign(TPersistent* Source) override {
    TBitmap::Assign(Source);
    if (auto* i = dynamic_cast<TIcon*>(Source)) iconData_ = i->iconData_;
  }

private:
  std::string iconData_;
};

// Bitmap resources of the program: drawn by code registered under a name (looked up without
// regard to case) and made when first loaded.
void RegisterBitmapResource(const AnsiString& name, std::function<void(TBitmap&)> painter);
bool HasBitmapResource(const AnsiString& name);

// A list of equal-sized images.
class TImageList : public TComponent {
public:
  explicit TImageList(TComponent* AOwner, int width = 16, int height = 16);
  ~TImageList() override;
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(images_.size()); }
  // Adds the bitmap cut into images of the list's width; returns the index of the first.
  int Add(TBitmap* image, TColor MaskColor = clNone);
  // Adds one image that Make paints into the bitmap (at the list's size) when the image is first
  // drawn: pictures that cost to make and may never show (those of menu entries) cost nothing
  // until they do. Returns its index.
  int AddDeferred(std::function<void(TBitmap& Image)> Make);
  void Clear();
  void Draw(TCanvas* canvas, int x, int y, int index);
  // One image of a list, as Image hands it out.
  struct TEntry;
  // The image at index, for drawing later (null when there is none): it stays what the list
  // holds there now (a deferred one made when first drawn), whatever becomes of the list.
  std::shared_ptr<TEntry> Image(int index) const;
  static void Draw(TCanvas* canvas, int x, int y, TEntry& image);

private:
  int width_, height_;
  std::vector<std::shared_ptr<TEntry>> images_;
};

struct TImageList::TEntry {
  int Width, Height;
  std::unique_ptr<TBitmap> Bitmap;
  TColor Mask;
  std::function<void(TBitmap&)> Make;  // a deferred image, until it is made
};

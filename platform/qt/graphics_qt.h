#pragma once
#include <array>
// Platform-internal: the Qt side of device contexts, fonts and bitmaps. Only platform/ code
// includes this header.
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QRect>
#include <functional>
#include <memory>

#include "platform/dc.h"
#include "platform/graphics.h"

// A font made from a LOGFONT. Equal LOGFONTs share one (see CreateFontIndirectA), so that its
// face and glyph tables are made once however often the font is selected, made and deleted.
struct TFontData {
  LOGFONTA lf{};
  QFont font;
  QFontMetrics metrics{QFont()};
  QRawFont raw;  // the face's glyphs, for drawing a row in one run
  int ascent = 0, descent = 0;
  // Per byte of the code page: its glyph in `raw` (0 when the face has none), its advance and
  // the box of its pixels from its origin on the baseline (empty for a blank); each byte's
  // filled when text first uses it (a face's glyphs cost to load, and a window shows few of
  // them), so that drawing a run looks nothing up.
  mutable std::array<quint32, 256> glyphOf{};
  mutable std::array<int, 256> advanceOf{};
  mutable std::array<int16_t, 256> inkLeft{}, inkRight{}, inkTop{}, inkBottom{};
  mutable std::array<bool, 256> known{};
  void EnsureChar(unsigned char c) const {
    if (!known[c]) MakeChar(c);
  }
  void EnsureChars(const char* text, int count) const {
    for (int i = 0; i < count; ++i) EnsureChar(static_cast<unsigned char>(text[i]));
  }
  void MakeChar(unsigned char c) const;
  explicit TFontData(const LOGFONTA& l);
};

struct TFontObject {
  std::shared_ptr<const TFontData> data;
};

struct TBitmapData {
  QImage image;
  std::unique_ptr<QPainter> painter;  // open while the canvas draws
  QPainter* BeginPaint();
  void EndPaint();  // before the image is read, copied or resized
};

// A DC over an existing painter (a widget's paint event, a printer page); the painter is not
// owned. Clip is the rectangle being painted, in device coordinates.
HDC CreateDCOnPainter(QPainter* painter, const QRect& clip);
// A DC whose painter is asked for on each drawing call (a bitmap opens its painter lazily);
// its clip is the surface's current rectangle. Release runs when the DC is deleted.
HDC CreateDCOnSurface(std::function<QPainter*()> surface, std::function<QRect()> bounds,
                      std::function<void()> release = {});
// The DC's painter for drawing of one's own: the clip, font and pen that text and canvas steps
// left on it are taken back first.
QPainter* DCPainter(HDC dc);
// A painter is about to end or change its transform: whatever this layer set on it is taken
// back, and nothing it remembers of it is trusted again.
void ReleasePainter(QPainter* painter);
// The DC's painter, clipped to the DC's clip rectangle, for one drawing step of a canvas that
// touches no pixel outside extent (nullptr: not known). The step may change the pen only, and
// then calls DCPenChanged.
QPainter* DCClippedPainter(HDC dc, const QRect* extent);
void DCPenChanged(HDC dc);
// A canvas over a painter that owns its DC.
std::unique_ptr<TCanvas> CreateCanvasOnPainter(QPainter* painter, const QRect& clip);

QColor ToQColor(TColor c);  // system colours resolved
TColor FromQColor(const QColor& c);
QString DecodeAnsi(const char* text, int count);
QChar DecodeAnsiChar(unsigned char c);
const TFontData* FontData(HFONT font);
const TFontData& DCFontData(HDC dc);
QImage& BitmapImage(TBitmap* bitmap);  // ends any painting on the bitmap first

// Device contexts and font objects over QPainter and QFont.
#include "platform/dc.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "platform/qt/graphics_qt.h"

namespace {

std::unordered_set<const TFontObject*>& LiveFonts() {
  // Kept for the whole run: font objects are still deleted during program end.
  static auto* s = new std::unordered_set<const TFontObject*>;
  return *s;
}

// The Windows-1251 table, built once from the text layer's conversion.
const QChar* AnsiTable() {
  static QChar table[256];
  static bool built = false;
  if (!built) {
    for (int i = 0; i < 256; ++i) {
      char c = char(i);
      QString s = QString::fromUtf8(AnsiToUtf8(std::string_view(&c, 1)).c_str());
      table[i] = s.isEmpty() ? QChar(0xFFFD) : s.at(0);
    }
    table[0] = QChar(0);
    built = true;
  }
  return table;
}

QString FixedPitchFamily() {
  static QString family;
  if (!family.isEmpty()) return family;
  family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  if (QFontInfo(QFont(family)).fixedPitch()) return family;
  const QStringList all = QFontDatabase::families();
  for (const QString& name : all)
    if (QFontDatabase::isFixedPitch(name) && QFontInfo(QFont(name)).fixedPitch()) return family = name;
  return family;
}

QFont MakeQFont(const LOGFONTA& lf) {
  EnsureGuiApplication();
  char face[LF_FACESIZE + 1] = {};
  std::memcpy(face, lf.lfFaceName, LF_FACESIZE);
  QFont f(QString::fromUtf8(AnsiToUtf8(face).c_str()));
  uint8_t pitch = lf.lfPitchAndFamily & 3;
  uint8_t family = lf.lfPitchAndFamily & 0xF0;
  if (pitch == FIXED_PITCH || family == FF_MODERN) {
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
  } else if (family == FF_ROMAN) {
    f.setStyleHint(QFont::Serif);
  } else if (family == FF_SWISS) {
    f.setStyleHint(QFont::SansSerif);
  }
  int weight = lf.lfWeight <= 0 ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 1, 1000);
  f.setWeight(QFont::Weight(weight));
  f.setItalic(lf.lfItalic != 0);
  f.setUnderline(lf.lfUnderline != 0);
  f.setStrikeOut(lf.lfStrikeOut != 0);
  f.setKerning(false);
  // A fixed pitch asked of a proportional face gets the desktop's fixed-pitch face instead, or,
  // when that face is not truly fixed (a wide-glyph "Mono" face), the first installed one that is.
  if (pitch == FIXED_PITCH && !QFontInfo(f).fixedPitch()) f.setFamily(FixedPitchFamily());
  int h = lf.lfHeight;
  if (h == 0) h = -13;
  if (h < 0) {
    f.setPixelSize(std::max(1, -h));
  } else {
    // A positive height is the cell height (ascent + descent): scale the em size to it.
    f.setPixelSize(h);
    QFontMetrics m(f);
    if (m.height() > 0)
      f.setPixelSize(std::max(1, int(std::lround(double(h) * h / m.height()))));
  }
  return f;
}

struct DCState {
  HFONT font = nullptr;
  std::shared_ptr<const TFontData> fontData;
  COLORREF text = 0x000000, bk = 0xFFFFFF;
  int bkMode = OPAQUE;
  int charExtra = 0;
  bool hasClip = false;
  QRect clip;
};

// The font of a DC nothing was selected into; kept for the whole run, as the toolkit's font
// caches may be gone when static objects are destroyed.
std::shared_ptr<const TFontData> DefaultFontData() {
  static auto* d = [] {
    LOGFONTA lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strcpy(lf.lfFaceName, "MS Sans Serif");
    return new std::shared_ptr<const TFontData>(std::make_shared<const TFontData>(lf));
  }();
  return *d;
}

QColor RefToQColor(COLORREF c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

TFontData::TFontData(const LOGFONTA& l)
    : lf(l), font(MakeQFont(l)), metrics(font), raw(QRawFont::fromFont(font)) {}

void TFontData::EnsureTables() const {
  if (tablesReady) return;
  for (int c = 0; c < 256; ++c) {
    QChar ch = DecodeAnsiChar(static_cast<unsigned char>(c));
    advanceOf[size_t(c)] = metrics.horizontalAdvance(ch);
    QList<quint32> g = raw.isValid() ? raw.glyphIndexesForString(QString(ch)) : QList<quint32>();
    glyphOf[size_t(c)] = g.size() == 1 ? g[0] : 0;
  }
  tablesReady = true;
}

struct TDeviceContext {
  QPainter* painter = nullptr;           // fixed painter, or
  std::function<QPainter*()> surface;    // one asked for on each drawing call
  QRect bounds;                          // device clip (the painted rectangle), or
  std::function<QRect()> boundsOf;       // the current size of the surface
  std::function<void()> release;         // run when the DC goes (a window shows what was drawn)
  bool screen = false;
  bool abcWidths = true;
  DCState state;
  std::vector<DCState> saved;

  QPainter* Painter() {
    if (painter) return painter;
    if (surface) return surface();
    return nullptr;
  }
  const TFontData& Font() {
    if (!state.fontData) state.fontData = DefaultFontData();
    return *state.fontData;
  }
  QRect Bounds() const { return boundsOf ? boundsOf() : bounds; }
  QRect Clip() const { return state.hasClip ? state.clip.intersected(Bounds()) : Bounds(); }
};

// ------------------------------------------------------------------------------ fonts

HFONT CreateFontIndirectA(const LOGFONTA& lf) {
  auto* f = new TFontObject{std::make_shared<const TFontData>(lf)};
  LiveFonts().insert(f);
  return f;
}

bool IsFontHandle(HFONT font) { return font && LiveFonts().count(font); }

int GetObjectA(HFONT font, int size, void* out) {
  if (!IsFontHandle(font) || !out || size <= 0) return 0;
  int n = std::min<int>(size, sizeof(LOGFONTA));
  std::memcpy(out, &font->data->lf, size_t(n));
  return n;
}

bool DeleteObject(HFONT font) {
  if (!IsFontHandle(font)) return false;
  LiveFonts().erase(font);
  delete font;
  return true;
}

const TFontData* FontData(HFONT font) { return IsFontHandle(font) ? font->data.get() : nullptr; }
const TFontData& DCFontData(HDC dc) { return dc->Font(); }

// ------------------------------------------------------------------------------ DCs

HDC GetDC(void* window) {
  (void)window;
  EnsureGuiApplication();
  auto* dc = new TDeviceContext;
  dc->screen = true;
  dc->bounds = QRect(0, 0, 1 << 14, 1 << 14);
  return dc;
}

int ReleaseDC(void*, HDC dc) {
  DeleteDC(dc);
  return 1;
}

HDC CreateCompatibleDC(HDC) { return GetDC(nullptr); }

bool DeleteDC(HDC dc) {
  if (dc && dc->release) dc->release();
  delete dc;
  return true;
}

HDC CreateDCOnPainter(QPainter* painter, const QRect& clip) {
  EnsureGuiApplication();
  auto* dc = new TDeviceContext;
  dc->painter = painter;
  dc->bounds = clip;
  return dc;
}

HDC CreateDCOnSurface(std::function<QPainter*()> surface, std::function<QRect()> bounds,
                      std::function<void()> release) {
  EnsureGuiApplication();
  auto* dc = new TDeviceContext;
  dc->surface = std::move(surface);
  dc->boundsOf = std::move(bounds);
  dc->release = std::move(release);
  return dc;
}

QPainter* DCPainter(HDC dc) { return dc ? dc->Painter() : nullptr; }

int SaveDC(HDC dc) {
  dc->saved.push_back(dc->state);
  return int(dc->saved.size());
}

bool RestoreDC(HDC dc, int saved) {
  int n = int(dc->saved.size());
  if (saved < 0) saved = n + 1 + saved;
  if (saved < 1 || saved > n) return false;
  dc->state = dc->saved[size_t(saved - 1)];
  dc->saved.resize(size_t(saved - 1));
  return true;
}

HFONT SelectObject(HDC dc, HFONT font) {
  HFONT old = dc->state.font;
  if (IsFontHandle(font)) {
    dc->state.font = font;
    dc->state.fontData = font->data;
  }
  return old;
}

HFONT GetCurrentObjectFont(HDC dc) { return dc->state.font; }

COLORREF SetTextColor(HDC dc, COLORREF c) { return std::exchange(dc->state.text, c & 0xFFFFFF); }
COLORREF GetTextColor(HDC dc) { return dc->state.text; }
COLORREF SetBkColor(HDC dc, COLORREF c) { return std::exchange(dc->state.bk, c & 0xFFFFFF); }
COLORREF GetBkColor(HDC dc) { return dc->state.bk; }
int SetBkMode(HDC dc, int mode) { return std::exchange(dc->state.bkMode, mode); }
int GetBkMode(HDC dc) { return dc->state.bkMode; }
int SetTextCharacterExtra(HDC dc, int extra) { return std::exchange(dc->state.charExtra, extra); }
int GetTextCharacterExtra(HDC dc) { return dc->state.charExtra; }

TRect GetClipBox(HDC dc) {
  QRect r = dc->Clip();
  return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  QRect r(left, top, std::max(0, right - left), std::max(0, bottom - top));
  dc->state.clip = dc->state.hasClip ? dc->state.clip.intersected(r) : r;
  dc->state.hasClip = true;
  return dc->Clip().isEmpty() ? 1 : 2;
}

void SelectClipRect(HDC dc, const TRect* r) {
  if (!r) {
    dc->state.hasClip = false;
    return;
  }
  dc->state.hasClip = true;
  dc->state.clip = QRect(r->Left, r->Top, std::max(0, r->Width()), std::max(0, r->Height()));
}

void SetDCCharABCWidthsAvailable(HDC dc, bool available) { dc->abcWidths = available; }

// ------------------------------------------------------------------------------ metrics

bool GetTextMetricsA(HDC dc, TEXTMETRICA* tm) {
  if (!tm) return false;
  const TFontData& fd = dc->Font();
  const QFontMetrics& m = fd.metrics;
  QFontInfo info(fd.font);
  *tm = TEXTMETRICA{};
  tm->tmAscent = m.ascent();
  tm->tmDescent = m.descent();
  tm->tmHeight = m.ascent() + m.descent();
  tm->tmInternalLeading = std::max(0, tm->tmHeight - fd.font.pixelSize());
  tm->tmExternalLeading = std::max(0, m.leading());
  tm->tmAveCharWidth = m.averageCharWidth();
  tm->tmMaxCharWidth = m.maxWidth();
  tm->tmWeight = fd.lf.lfWeight <= 0 ? FW_NORMAL : fd.lf.lfWeight;
  tm->tmOverhang = 0;
  tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 32;
  tm->tmLastChar = 255;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  tm->tmItalic = fd.lf.lfItalic;
  tm->tmUnderlined = fd.lf.lfUnderline;
  tm->tmStruckOut = fd.lf.lfStrikeOut;
  tm->tmPitchAndFamily = uint8_t((fd.lf.lfPitchAndFamily & 0xF0) | TMPF_VECTOR | TMPF_TRUETYPE |
                                 (info.fixedPitch() ? 0 : TMPF_FIXED_PITCH));
  tm->tmCharSet = fd.lf.lfCharSet;
  return true;
}

bool GetCharABCWidthsA(HDC dc, unsigned first, unsigned last, ABC* out) {
  if (!dc->abcWidths || !out || first > last || last > 255) return false;
  const QFontMetrics& m = dc->Font().metrics;
  for (unsigned c = first; c <= last; ++c) {
    QChar ch = DecodeAnsiChar((unsigned char)c);
    int a = m.leftBearing(ch), cc = m.rightBearing(ch), adv = m.horizontalAdvance(ch);
    int b = adv - a - cc;
    if (b < 0) b = 0;
    out[c - first] = ABC{a, uint32_t(b), cc};
  }
  return true;
}

bool GetCharWidth32A(HDC dc, unsigned first, unsigned last, int* out) {
  if (!out || first > last || last > 255) return false;
  const QFontMetrics& m = dc->Font().metrics;
  for (unsigned c = first; c <= last; ++c)
    out[c - first] = m.horizontalAdvance(DecodeAnsiChar((unsigned char)c));
  return true;
}

uint32_t GetFontLanguageInfo(HDC) { return 0; }

bool GetTextExtentPoint32A(HDC dc, const char* text, int count, TSize* size) {
  if (!size) return false;
  const QFontMetrics& m = dc->Font().metrics;
  int w = 0;
  for (int i = 0; i < count; ++i)
    w += m.horizontalAdvance(DecodeAnsiChar((unsigned char)text[i])) + dc->state.charExtra;
  *size = TSize{w, m.ascent() + m.descent()};
  return true;
}

// ------------------------------------------------------------------------------ output

QChar DecodeAnsiChar(unsigned char c) { return AnsiTable()[c]; }

QString DecodeAnsi(const char* text, int count) {
  QString s;
  s.reserve(count);
  for (int i = 0; i < count; ++i) s.append(DecodeAnsiChar((unsigned char)text[i]));
  return s;
}

namespace {

void DrawChars(HDC dc, QPainter* p, int x, int y, const char* text, int count, const int* dx,
               unsigned options, const TRect* rect) {
  const TFontData& fd = dc->Font();
  fd.EnsureTables();
  const QFontMetrics& m = fd.metrics;
  // Reused between runs, so that drawing allocates nothing once they have grown.
  static thread_local std::vector<int> xs;
  static thread_local QList<quint32> glyphs;
  static thread_local QList<QPointF> positions;
  // Character positions first: the opaque box spans them all.
  int total = 0;
  xs.resize(size_t(std::max(count, 0)));
  for (int i = 0; i < count; ++i) {
    xs[size_t(i)] = x + total;
    total += dx ? dx[i] : fd.advanceOf[(unsigned char)text[i]] + dc->state.charExtra;
  }
  p->save();
  // The painter already keeps to the device (the widget's painted region, the image, the
  // page); only a clip set on the DC itself narrows it further. A printer's document then gets
  // no clip path for each piece of text.
  if (dc->state.hasClip) p->setClipRect(dc->Clip(), Qt::IntersectClip);
  QRect r;
  if (rect) r = QRect(rect->Left, rect->Top, std::max(0, rect->Width()), std::max(0, rect->Height()));
  if (rect && (options & ETO_CLIPPED)) p->setClipRect(r, Qt::IntersectClip);
  QColor bk = RefToQColor(dc->state.bk);
  if (rect && (options & ETO_OPAQUE)) p->fillRect(r, bk);
  if (dc->state.bkMode == OPAQUE && count > 0)
    p->fillRect(QRect(x, y, total, m.ascent() + m.descent()), bk);
  p->setFont(fd.font);
  p->setPen(RefToQColor(dc->state.text));
  int baseline = y + m.ascent();
  // One glyph run for the whole text when the face has every glyph; otherwise each character
  // goes through the text engine, which finds a face that has it.
  bool complete = fd.raw.isValid() && count > 0;
  for (int i = 0; complete && i < count; ++i)
    if (fd.glyphOf[(unsigned char)text[i]] == 0) complete = false;
  if (complete) {
    glyphs.resize(count);
    positions.resize(count);
    for (int i = 0; i < count; ++i) {
      glyphs[i] = fd.glyphOf[(unsigned char)text[i]];
      positions[i] = QPointF(xs[size_t(i)] - x, 0);
    }
    QGlyphRun run;
    run.setRawFont(fd.raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(fd.font.underline());
    run.setStrikeOut(fd.font.strikeOut());
    p->drawGlyphRun(QPointF(x, baseline), run);
  } else {
    for (int i = 0; i < count; ++i) {
      unsigned char c = (unsigned char)text[i];
      if (c == 0) continue;
      p->drawText(QPoint(xs[size_t(i)], baseline), QString(DecodeAnsiChar(c)));
    }
  }
  p->restore();
}

}  // namespace

bool TextOutA(HDC dc, int x, int y, const char* text, int count) {
  count = std::max(count, 0);
  QPainter* p = dc->Painter();
  if (!p) return true;
  DrawChars(dc, p, x, y, text, count, nullptr, 0, nullptr);
  return true;
}

bool ExtTextOutA(HDC dc, int x, int y, unsigned options, const TRect* rect, const char* text,
                 int count, const int* dx) {
  count = std::max(count, 0);
  QPainter* p = dc->Painter();
  if (!p) return true;
  DrawChars(dc, p, x, y, text, count, dx, options, rect);
  return true;
}

COLORREF ColorToColorRef(TColor c) { return COLORREF(ColorToRGB(c)) & 0xFFFFFF; }

// Device contexts and font objects over QPainter and QFont.
#include "platform/dc.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPalette>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>
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
    : lf(l), font(MakeQFont(l)), metrics(font), raw(QRawFont::fromFont(font)),
      ascent(metrics.ascent()), descent(metrics.descent()) {}

void TFontData::MakeChar(unsigned char c) const {
  known[c] = true;
  QChar ch = DecodeAnsiChar(c);
  QList<quint32> g = raw.isValid() ? raw.glyphIndexesForString(QString(ch)) : QList<quint32>();
  glyphOf[c] = g.size() == 1 ? g[0] : 0;
  if (glyphOf[c] == 0) {
    // Drawn from another face (see DrawChars): its advance is that face's.
    advanceOf[c] = metrics.horizontalAdvance(ch);
    return;
  }
  // The face's own advance, as the font's metrics give it for a character of the face: asking the
  // metrics would set the font up anew for the character's script (Cyrillic, say), with a search
  // of the desktop's fonts for each.
  advanceOf[c] = qRound(raw.advancesForGlyphIndexes(QList<quint32>{glyphOf[c]}).value(0).x());
  // The box of the glyph's pixels: the face's box of the glyph as drawn, out to whole pixels.
  QRectF b = raw.boundingRect(glyphOf[c]);
  if (b.isEmpty()) return;
  inkLeft[c] = int16_t(std::floor(b.left()));
  inkRight[c] = int16_t(std::ceil(b.right()));
  inkTop[c] = int16_t(std::floor(b.top()));
  inkBottom[c] = int16_t(std::ceil(b.bottom()));
}

namespace {

// Glyphs of text runs whose drawing is put off (see DrawChars), by face and colour, in the
// order they came.
struct GlyphGroup {
  std::shared_ptr<const TFontData> font;
  QRgb color = 0;
  std::vector<quint32> glyphs;
  std::vector<QPointF> positions;  // of the glyph origins, on the baseline
};

// What this layer has set on the painter it drew on last, and what that painter had of its own.
// A text run or a canvas step sets only the clip, font and pen that differ from the step before,
// instead of saving and restoring the painter around every step; the painter gets its own state
// back when its DC goes, when it is handed out for other drawing, or before it ends. All drawing
// runs on the user-interface thread: there is one such record.
struct PainterUse {
  QPainter* painter = nullptr;
  const QPaintDevice* device = nullptr;
  // The painter draws in whole device pixels, unscaled: only then are the pixels of a glyph
  // known (the ink boxes of the font tables), and steps may keep the clip. Text is batched only
  // into pixels (not into a printer's document, whose text stays in reading order).
  bool unscaled = false;
  bool raster = false;
  bool ownClipping = false;  // the painter's own clip
  QRegion ownRegion;
  QRect ownRect;             // ... when it is one rectangle
  bool ownIsRect = false;
  bool clipped = false;      // ours is set: the painter's own clip cut to `clip`
  QRect clip;
  const TFontData* font = nullptr;  // the font set, nullptr: the painter's own
  QFont ownFont;
  bool penChanged = false;  // since taken: `ownPen` is the painter's own
  bool penKnown = false;    // the pen is `pen`
  QRgb pen = 0;
  QPen ownPen;
  // Glyphs not drawn yet, and the boxes of their ink, one per text run: they are drawn before
  // anything else touches those boxes, and before the painter is given back. Runs come row by
  // row, so their boxes are kept in bands of runs whose boxes share rows; the bands usually
  // come from the top down (`bandsDown`), and a look-up then stops at the first band above.
  std::vector<GlyphGroup> groups;
  size_t groupsUsed = 0;
  struct Band {
    QRect box;         // of its runs' boxes
    size_t firstRun;   // in pendingInk
  };
  std::vector<QRect> pendingInk;
  std::vector<Band> bands;
  bool bandsDown = true;
  // A fill not drawn yet: the backgrounds of the put-off runs of one row that follow each other
  // in one colour, drawn as one rectangle before anything else is drawn.
  bool fillPending = false;
  QRect pendingFill;
  QRgb fillColor = 0;
};

// Whether text runs may be put off and clips kept (GdiSetBatchLimit).
bool gBatching = true;

PainterUse& Use() {
  static auto* use = new PainterUse;
  return *use;
}

void SetOwnClip(PainterUse& u) {
  if (!u.clipped) return;
  if (u.ownClipping) u.painter->setClipRegion(u.ownRegion);
  else u.painter->setClipping(false);
  u.clipped = false;
}

// Clips a drawing step whose pixels all lie in `extent` to `want` (nullptr: the painter's own
// clip only). The clip already set does as well when it and `want` both hold the extent: the
// step draws the same pixels either way, and the painter's clip stays as it is.
void ClipFor(PainterUse& u, const QRect* want, const QRect* extent) {
  if (!gBatching || !u.unscaled) extent = nullptr;
  if (extent && (!want || want->contains(*extent)) && (!u.clipped || u.clip.contains(*extent))) return;
  if (!want) {
    SetOwnClip(u);
    return;
  }
  if (u.clipped && u.clip == *want) return;
  if (!u.ownClipping) u.painter->setClipRect(*want);
  else if (u.ownIsRect) u.painter->setClipRect(u.ownRect & *want);
  else u.painter->setClipRegion(u.ownRegion & *want);
  u.clipped = true;
  u.clip = *want;
}

void KeepOwnPen(PainterUse& u) {
  if (u.penChanged) return;
  u.ownPen = u.painter->pen();
  u.penChanged = true;
}

void PenFor(PainterUse& u, QRgb rgb) {
  if (u.penKnown && u.pen == rgb) return;
  KeepOwnPen(u);
  u.painter->setPen(QColor(rgb));
  u.penKnown = true;
  u.pen = rgb;
}

void FontFor(PainterUse& u, const TFontData& fd) {
  if (u.font == &fd) return;
  if (!u.font) u.ownFont = u.painter->font();
  u.painter->setFont(fd.font);
  u.font = &fd;
}

QGlyphRun& SharedGlyphRun() {
  static auto* run = new QGlyphRun;  // kept to the end: it holds a face
  return *run;
}

void DrawPendingFill(PainterUse& u) {
  if (!u.fillPending) return;
  u.fillPending = false;
  ClipFor(u, nullptr, &u.pendingFill);
  u.painter->fillRect(u.pendingFill, QColor(u.fillColor));
}

// Fills r, which lies inside the clip its step asks for: now, or together with the fills of the
// same colour that continue it on the same rows.
void FillSoon(PainterUse& u, const QRect& r, QRgb color) {
  if (r.isEmpty()) return;
  const QRect& f = u.pendingFill;
  if (u.fillPending && u.fillColor == color && f.top() == r.top() && f.height() == r.height() &&
      f.right() + 1 == r.left()) {
    u.pendingFill.setRight(r.right());
    return;
  }
  DrawPendingFill(u);
  u.fillPending = true;
  u.pendingFill = r;
  u.fillColor = color;
}

// Draws the fill and the glyphs put off: each group of glyphs in one glyph run. The fill comes
// first (it is the background of runs put off); the ink boxes of the glyphs do not overlap, so
// the order of the groups does not change a pixel.
void Flush(PainterUse& u) {
  DrawPendingFill(u);
  if (u.pendingInk.empty()) return;
  QRect all;
  for (const PainterUse::Band& b : u.bands) all |= b.box;
  ClipFor(u, nullptr, &all);
  QGlyphRun& run = SharedGlyphRun();
  for (size_t i = 0; i < u.groupsUsed; ++i) {
    GlyphGroup& g = u.groups[i];
    PenFor(u, g.color);
    run.setRawFont(g.font->raw);
    run.setRawData(g.glyphs.data(), g.positions.data(), int(g.glyphs.size()));
    run.setUnderline(false);
    run.setStrikeOut(false);
    u.painter->drawGlyphRun(QPointF(0, 0), run);
    g.glyphs.clear();
    g.positions.clear();
    g.font.reset();
  }
  u.groupsUsed = 0;
  u.pendingInk.clear();
  u.bands.clear();
  u.bandsDown = true;
}

bool TouchesPendingInk(const PainterUse& u, const QRect& extent) {
  for (size_t b = u.bands.size(); b-- > 0;) {
    const PainterUse::Band& band = u.bands[b];
    if (band.box.intersects(extent)) {
      size_t end = b + 1 < u.bands.size() ? u.bands[b + 1].firstRun : u.pendingInk.size();
      for (size_t i = band.firstRun; i < end; ++i)
        if (u.pendingInk[i].intersects(extent)) return true;
    }
    if (u.bandsDown && band.box.bottom() < extent.top()) break;
  }
  return false;
}

// Before a step that touches `extent` (nullptr: anything): the glyphs put off there first.
void FlushFor(PainterUse& u, const QRect* extent) {
  if (u.pendingInk.empty()) return;
  if (extent && (extent->isEmpty() || !TouchesPendingInk(u, *extent))) return;
  Flush(u);
}

GlyphGroup& GroupFor(PainterUse& u, const std::shared_ptr<const TFontData>& font, QRgb color) {
  for (size_t i = 0; i < u.groupsUsed; ++i)
    if (u.groups[i].font == font && u.groups[i].color == color) return u.groups[i];
  if (u.groupsUsed == u.groups.size()) u.groups.emplace_back();
  GlyphGroup& g = u.groups[u.groupsUsed++];
  g.font = font;
  g.color = color;
  return g;
}

void AddPendingInk(PainterUse& u, const QRect& ink) {
  if (!u.bands.empty() && ink.top() <= u.bands.back().box.bottom() && ink.bottom() >= u.bands.back().box.top()) {
    u.bands.back().box |= ink;
  } else {
    if (!u.bands.empty() && ink.top() <= u.bands.back().box.bottom()) u.bandsDown = false;
    u.bands.push_back(PainterUse::Band{ink, u.pendingInk.size()});
  }
  u.pendingInk.push_back(ink);
}

void GiveBack(PainterUse& u) {
  if (u.painter && u.painter->isActive() && u.painter->device() == u.device) {
    Flush(u);
    SetOwnClip(u);
    if (u.font) u.painter->setFont(u.ownFont);
    if (u.penChanged) u.painter->setPen(u.ownPen);
  }
  for (size_t i = 0; i < u.groupsUsed; ++i) {
    u.groups[i].glyphs.clear();
    u.groups[i].positions.clear();
    u.groups[i].font.reset();
  }
  u.groupsUsed = 0;
  u.pendingInk.clear();
  u.bands.clear();
  u.bandsDown = true;
  u.fillPending = false;
  u.painter = nullptr;
  u.device = nullptr;
  u.unscaled = u.raster = u.ownClipping = u.ownIsRect = u.clipped = false;
  u.ownRegion = QRegion();
  u.font = nullptr;
  u.penChanged = u.penKnown = false;
}

PainterUse& Take(QPainter* p) {
  PainterUse& u = Use();
  if (u.painter == p && u.device == p->device()) return u;
  GiveBack(u);
  u.painter = p;
  u.device = p->device();
  u.unscaled = p->combinedTransform().type() <= QTransform::TxTranslate && p->device()->devicePixelRatioF() == 1.0;
  u.raster = p->paintEngine() && p->paintEngine()->type() == QPaintEngine::Raster;
  u.ownClipping = p->hasClipping();
  if (u.ownClipping) {
    u.ownRegion = p->clipRegion();
    u.ownIsRect = u.ownRegion.rectCount() <= 1;
    u.ownRect = u.ownRegion.boundingRect();
  }
  return u;
}

}  // namespace

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
  QPainter* lastPainter = nullptr;  // the painter drawn on last, given back when the DC goes

  QPainter* Painter() {
    if (painter) return lastPainter = painter;
    if (surface) return lastPainter = surface();
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

namespace {

// Equal LOGFONTs (byte for byte) share their font data: making a face and its glyph tables
// costs far more than a look-up, and the text drawer makes its style fonts anew whenever its
// base font changes (the gutter's font and the editor's, on every paint). The most recently
// used fonts are kept, also after their last handle is deleted; kept for the whole run, as the
// toolkit's font caches may be gone when static objects are destroyed.
std::shared_ptr<const TFontData> SharedFontData(const LOGFONTA& lf) {
  constexpr size_t kKept = 64;
  static auto* kept = new std::vector<std::shared_ptr<const TFontData>>;
  for (size_t i = kept->size(); i-- > 0;) {
    if (std::memcmp(&(*kept)[i]->lf, &lf, sizeof(LOGFONTA)) != 0) continue;
    std::shared_ptr<const TFontData> d = (*kept)[i];
    kept->erase(kept->begin() + std::ptrdiff_t(i));
    kept->push_back(d);
    return d;
  }
  auto d = std::make_shared<const TFontData>(lf);
  if (kept->size() >= kKept) kept->erase(kept->begin());
  kept->push_back(d);
  return d;
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA& lf) {
  auto* f = new TFontObject{SharedFontData(lf)};
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
  if (dc && dc->lastPainter) ReleasePainter(dc->lastPainter);
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

QPainter* DCPainter(HDC dc) {
  QPainter* p = dc ? dc->Painter() : nullptr;
  if (p) ReleasePainter(p);
  return p;
}

void ReleasePainter(QPainter* painter) {
  if (Use().painter == painter) GiveBack(Use());
}

QPainter* DCClippedPainter(HDC dc, const QRect* extent) {
  QPainter* p = dc ? dc->Painter() : nullptr;
  if (!p) return nullptr;
  PainterUse& u = Take(p);
  DrawPendingFill(u);
  FlushFor(u, extent);
  QRect clip = dc->Clip();
  ClipFor(u, &clip, extent);
  KeepOwnPen(u);
  return p;
}

bool GdiFlush() {
  PainterUse& u = Use();
  if (u.painter && u.painter->isActive() && u.painter->device() == u.device) Flush(u);
  return true;
}

unsigned GdiSetBatchLimit(unsigned limit) {
  GdiFlush();
  unsigned old = gBatching ? 0 : 1;
  gBatching = limit != 1;
  return old;
}

void DCPenChanged(HDC dc) {
  PainterUse& u = Use();
  if (dc && u.painter == dc->lastPainter) u.penKnown = false;
}

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
  const TFontData& fd = dc->Font();
  for (unsigned c = first; c <= last; ++c) {
    fd.EnsureChar(static_cast<unsigned char>(c));
    out[c - first] = fd.advanceOf[c];
  }
  return true;
}

uint32_t GetFontLanguageInfo(HDC) { return 0; }

bool GetTextExtentPoint32A(HDC dc, const char* text, int count, TSize* size) {
  if (!size) return false;
  const TFontData& fd = dc->Font();
  fd.EnsureChars(text, count);
  int w = 0;
  for (int i = 0; i < count; ++i) w += fd.advanceOf[(unsigned char)text[i]] + dc->state.charExtra;
  *size = TSize{w, fd.ascent + fd.descent};
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
  fd.EnsureChars(text, count);
  // Reused between runs, so that drawing allocates nothing once they have grown; the glyph run
  // reads them in place.
  static thread_local std::vector<int> xs;
  static thread_local std::vector<quint32> glyphs;
  static thread_local std::vector<QPointF> positions;
  // Every device is far smaller than the range of int: text whose positions reach beyond
  // kFar lies off any of them, and adding its glyphs' extents would overflow. None of it is drawn;
  // an opaque rectangle given is still filled, and the run's own place matters to nothing.
  constexpr long long kFar = 1 << 29;
  bool far = std::llabs(x) > kFar || std::llabs(y) > kFar;
  // Character positions first: the opaque box spans them all. One glyph run for the whole text
  // when the face has every glyph; otherwise each character goes through the text engine,
  // which finds a face that has it. Each next position is summed wide and checked against kFar
  // before it is kept, so no int sum overflows; the first one beyond it leaves the whole text
  // undrawn, as if it had been seen before the loop.
  int total = 0;
  int inkLeft = INT_MAX, inkRight = INT_MIN, inkTop = INT_MAX, inkBottom = INT_MIN;
  bool complete = fd.raw.isValid() && count > 0;
  xs.resize(size_t(std::max(count, 0)));
  for (int i = 0; i < count && !far; ++i) {
    unsigned char c = (unsigned char)text[i];
    xs[size_t(i)] = x + total;
    const long long next = (long long)x + total + (dx ? dx[i] : fd.advanceOf[c] + dc->state.charExtra);
    if (std::llabs(next) > kFar) {
      far = true;
      break;
    }
    total = int(next - x);
    if (fd.glyphOf[c] == 0) {
      complete = false;
    } else if (fd.inkRight[c] > fd.inkLeft[c]) {
      inkLeft = std::min(inkLeft, xs[size_t(i)] + fd.inkLeft[c]);
      inkRight = std::max(inkRight, xs[size_t(i)] + fd.inkRight[c]);
      inkTop = std::min<int>(inkTop, fd.inkTop[c]);
      inkBottom = std::max<int>(inkBottom, fd.inkBottom[c]);
    }
  }
  if (far) {
    count = 0, y = 0, total = 0;
    inkLeft = INT_MAX, inkRight = INT_MIN, inkTop = INT_MAX, inkBottom = INT_MIN;
    complete = false;
  }
  const int height = fd.ascent + fd.descent, baseline = y + fd.ascent;
  QRect r;
  if (rect) r = QRect(rect->Left, rect->Top, std::max(0, rect->Width()), std::max(0, rect->Height()));
  // The painter already keeps to the device (the widget's painted region, the image, the
  // page); only a clip set on the DC itself narrows it further. A printer's document then gets
  // no clip path for each piece of text.
  std::optional<QRect> want;
  if (dc->state.hasClip) want = dc->Clip();
  if (rect && (options & ETO_CLIPPED)) want = want ? (*want & r) : r;
  if (want && want->isEmpty()) return;
  const bool fillRect = rect && (options & ETO_OPAQUE);
  // In opaque mode the text's box is filled too; inside the opaque rectangle it is clipped to,
  // that adds nothing.
  const bool fillBox = dc->state.bkMode == OPAQUE && count > 0 && !(fillRect && (options & ETO_CLIPPED));
  // Every pixel the run may touch, when that is known: then a clip already set that holds them
  // all serves as well as the run's own.
  QRect fills, ink;
  if (fillRect) fills |= r;
  if (fillBox) fills |= QRect(x, y, total, height);
  if (inkRight > inkLeft) ink = QRect(inkLeft, baseline + inkTop, inkRight - inkLeft, inkBottom - inkTop);
  const bool inkKnown = (complete || count == 0) && !fd.font.underline() && !fd.font.strikeOut();
  const QRect extent = fills | ink;
  const QRgb color = RefToQColor(dc->state.text).rgb();
  PainterUse& u = Take(p);
  // Glyphs whose ink lies inside the run's clip need no clip: they are put off and drawn later
  // together with every other run of their face and colour, as one glyph run. What the run
  // fills is filled now; whatever touches their ink before they are drawn draws them first.
  // A run of blanks draws no glyph at all.
  const bool batch = gBatching && u.unscaled && u.raster;
  const bool blank = batch && inkKnown && ink.isEmpty();
  const bool putOff = batch && complete && inkKnown && !ink.isEmpty() && (!want || want->contains(ink));
  FlushFor(u, inkKnown ? (putOff || blank ? &fills : &extent) : nullptr);
  if ((putOff || blank) && fillRect && !fillBox && (!want || want->contains(r))) {
    FillSoon(u, r, RefToQColor(dc->state.bk).rgb());
  } else {
    DrawPendingFill(u);
    if (!fills.isEmpty() || !putOff) ClipFor(u, want ? &*want : nullptr, inkKnown ? (putOff ? &fills : &extent) : nullptr);
    QColor bk = RefToQColor(dc->state.bk);
    if (fillRect) p->fillRect(r, bk);
    if (fillBox) p->fillRect(QRect(x, y, total, height), bk);
  }
  if (count <= 0 || blank) return;
  if (putOff) {
    GlyphGroup& g = GroupFor(u, dc->state.fontData, color);  // set by dc->Font()
    size_t at = g.glyphs.size();
    g.glyphs.resize(at + size_t(count));
    g.positions.resize(at + size_t(count));
    for (int i = 0; i < count; ++i) {
      g.glyphs[at + size_t(i)] = fd.glyphOf[(unsigned char)text[i]];
      g.positions[at + size_t(i)] = QPointF(xs[size_t(i)], baseline);
    }
    AddPendingInk(u, ink);
    // However long a batch is left alone, it stays small.
    if (u.pendingInk.size() >= 8192) Flush(u);
    return;
  }
  PenFor(u, color);
  if (complete) {
    glyphs.resize(size_t(count));
    positions.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
      glyphs[size_t(i)] = fd.glyphOf[(unsigned char)text[i]];
      positions[size_t(i)] = QPointF(xs[size_t(i)] - x, 0);
    }
    QGlyphRun& run = SharedGlyphRun();
    run.setRawFont(fd.raw);
    run.setRawData(glyphs.data(), positions.data(), count);
    run.setUnderline(fd.font.underline());
    run.setStrikeOut(fd.font.strikeOut());
    p->drawGlyphRun(QPointF(x, baseline), run);
  } else {
    FontFor(u, fd);
    for (int i = 0; i < count; ++i) {
      unsigned char c = (unsigned char)text[i];
      if (c == 0) continue;
      p->drawText(QPoint(xs[size_t(i)], baseline), QString(DecodeAnsiChar(c)));
    }
  }
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

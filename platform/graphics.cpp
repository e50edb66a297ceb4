// Colours, fonts, canvases, bitmaps and image lists over Qt.
#include "platform/graphics.h"

#include <cstdlib>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPalette>
#include <QThreadPool>
#include <QTranslator>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "platform/qt/bar_style.h"
#include "platform/qt/control_host.h"
#include "platform/qt/graphics_qt.h"
#include "platform/sysutils.h"

// ------------------------------------------------------------------------------ application

namespace {
// Every event passes here before any filter or receiver sees it: an input event's modifier keys
// become the key state for as long as it is handled.
class TApplicationQt : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* e) override {
    NoteInputEvent(e);
    return QApplication::notify(receiver, e);
  }
};
}  // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "vantry-tarn";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new TApplicationQt(argc, argv);
  (void)app;
  InstallActionBarStyle();
  // Qt's raster engine hands a fill of many short spans (the long edge of a scroll bar is one
  // span per pixel row) to the global thread pool in pieces, and the pool starts as many threads
  // as there are cores the first time: all made, and waited for, to draw a few hundred pixels of
  // the first paint. Nothing else here uses that pool; one worker does such fills as fast.
  QThreadPool::globalInstance()->setMaxThreadCount(1);
  LoadToolkitTranslations(QLocale::system().name().toStdString());
}

bool DesktopSessionAvailable() {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (const char* v = std::getenv(name); v && *v) return true;
  return false;
}

bool LoadToolkitTranslations(const std::string& Locale) {
  static QTranslator* installed = nullptr;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  auto tr = std::make_unique<QTranslator>();
  if (!tr->load(QLocale(QString::fromStdString(Locale)), QStringLiteral("qt"), QStringLiteral("_"),
                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  installed = tr.release();
  QCoreApplication::installTranslator(installed);
  return true;
}

// ------------------------------------------------------------------------------ colours

namespace {

struct ColorName {
  TColor color;
  const char* name;
};

constexpr ColorName kColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"}, {clSkyBlue, "clSkyBlue"}, {clCream, "clCream"},
    {clMedGray, "clMedGray"}, {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"}, {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"}, {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"}, {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"}, {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"}, {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"}, {clGrayText, "clGrayText"}, {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"}, {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"}, {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"}, {clNone, "clNone"}, {clDefault, "clDefault"},
};

QColor SystemQColor(int index) {
  EnsureGuiApplication();
  QPalette pal = QGuiApplication::palette();
  using P = QPalette;
  switch (index) {
    case 0: return pal.color(P::Active, P::Button);                 // scroll bar
    case 1: return pal.color(P::Active, P::Window);                 // desktop
    case 2: return pal.color(P::Active, P::Highlight);              // active caption
    case 3: return pal.color(P::Inactive, P::Mid);                  // inactive caption
    case 4: return pal.color(P::Active, P::Window);                 // menu
    case 5: return pal.color(P::Active, P::Base);                   // window
    case 6: return pal.color(P::Active, P::Shadow);                 // window frame
    case 7: return pal.color(P::Active, P::WindowText);             // menu text
    case 8: return pal.color(P::Active, P::Text);                   // window text
    case 9: return pal.color(P::Active, P::HighlightedText);        // caption text
    case 10: return pal.color(P::Active, P::Window);                // active border
    case 11: return pal.color(P::Inactive, P::Window);              // inactive border
    case 12: return pal.color(P::Active, P::Mid);                   // application workspace
    case 13: return pal.color(P::Active, P::Highlight);
    case 14: return pal.color(P::Active, P::HighlightedText);
    case 15: return pal.color(P::Active, P::Button);                // button face
    case 16: return pal.color(P::Active, P::Dark);                  // button shadow
    case 17: return pal.color(P::Disabled, P::Text);                // grey text
    case 18: return pal.color(P::Active, P::ButtonText);
    case 19: return pal.color(P::Inactive, P::HighlightedText);
    case 20: return pal.color(P::Active, P::Light);                 // button highlight
    case 21: return pal.color(P::Active, P::Shadow);                // 3D dark shadow
    case 22: return pal.color(P::Active, P::Midlight);              // 3D light
    case 23: return pal.color(P::Active, P::ToolTipText);
    case 24: return pal.color(P::Active, P::ToolTipBase);
    default: return QColor(0, 0, 0);
  }
}

}  // namespace

TColor FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

TColor ColorToRGB(TColor c) {
  if (c < 0) return FromQColor(SystemQColor(c & 0xFF));
  return c;
}

QColor ToQColor(TColor c) {
  TColor v = ColorToRGB(c);
  return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

bool ColorToIdent(TColor c, AnsiString& ident) {
  for (const auto& n : kColorNames)
    if (n.color == c) {
      ident = n.name;
      return true;
    }
  return false;
}

bool IdentToColor(const AnsiString& ident, TColor& c) {
  for (const auto& n : kColorNames)
    if (SameText(ident, n.name)) {
      c = n.color;
      return true;
    }
  return false;
}

AnsiString ColorToString(TColor c) {
  AnsiString s;
  if (ColorToIdent(c, s)) return s;
  AnsiString hex = IntToHex(int64_t(uint32_t(c)), 8);
  hex.insert(hex.begin(), '$');
  return hex;
}

TColor StringToColor(const AnsiString& s) {
  TColor c;
  if (IdentToColor(s, c)) return c;
  return TColor(StrToInt(s));
}

// ------------------------------------------------------------------------------ graphics objects

void TGraphicsObject::Changed() { CallEvent(OnChange, this); }

TFont::TFont() = default;
TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
}

void TFont::SetName(const AnsiString& v) {
  if (v.empty() || v == name_) return;
  name_ = v;
  FreeHandle();
  Changed();
}

int TFont::Size() const { return int(std::lround(-double(height_) * 72.0 / ppi_)); }

void TFont::SetSize(int points) { SetHeight(-int(std::lround(double(points) * ppi_ / 72.0))); }

void TFont::SetHeight(int v) {
  if (v == height_) return;
  height_ = v;
  FreeHandle();
  Changed();
}

void TFont::SetStyle(TFontStyles v) {
  if (v == style_) return;
  style_ = v;
  FreeHandle();
  Changed();
}

void TFont::SetColor(TColor v) {
  if (v == color_) return;
  color_ = v;
  Changed();
}

void TFont::SetPixelsPerInch(int v) {
  if (v > 0) ppi_ = v;
}

void TFont::SetCharset(TFontCharset v) {
  if (v == charset_) return;
  charset_ = v;
  FreeHandle();
  Changed();
}

void TFont::SetPitch(TFontPitch v) {
  if (v == pitch_) return;
  pitch_ = v;
  FreeHandle();
  Changed();
}

HFONT TFont::Handle() {
  if (!handle_) {
    LOGFONTA lf{};
    lf.lfHeight = height_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic);
    lf.lfUnderline = style_.Contains(fsUnderline);
    lf.lfStrikeOut = style_.Contains(fsStrikeOut);
    lf.lfCharSet = charset_;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH
                                                                                : DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    handle_ = CreateFontIndirectA(lf);
  }
  return handle_;
}

bool TFont::SameAs(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_;
}

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (f->ppi_ != ppi_) {
      // Another resolution: the same point size, in this font's pixels.
      TFont scaled;
      scaled.name_ = f->name_, scaled.style_ = f->style_, scaled.color_ = f->color_;
      scaled.charset_ = f->charset_, scaled.pitch_ = f->pitch_, scaled.ppi_ = ppi_;
      scaled.height_ = f->height_ < 0 ? -int(std::lround(double(f->Size()) * ppi_ / 72.0))
                                      : int(std::lround(double(f->height_) * ppi_ / f->ppi_));
      Assign(&scaled);
      return;
    }
    if (SameAs(*f)) return;
    bool handleChanges = name_ != f->name_ || height_ != f->height_ || style_ != f->style_ ||
                         charset_ != f->charset_ || pitch_ != f->pitch_;
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    if (handleChanges) FreeHandle();
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TPen::SetColor(TColor v) {
  if (v != color_) { color_ = v; Changed(); }
}
void TPen::SetWidth(int v) {
  if (v != width_) { width_ = v; Changed(); }
}
void TPen::SetStyle(TPenStyle v) {
  if (v != style_) { style_ = v; Changed(); }
}
void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    if (p->color_ == color_ && p->width_ == width_ && p->style_ == style_) return;
    color_ = p->color_, width_ = p->width_, style_ = p->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TBrush::SetColor(TColor v) {
  if (v != color_) { color_ = v; Changed(); }
}
void TBrush::SetStyle(TBrushStyle v) {
  if (v != style_) { style_ = v; Changed(); }
}
void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    if (b->color_ == color_ && b->style_ == style_) return;
    color_ = b->color_, style_ = b->style_;
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

// ------------------------------------------------------------------------------ canvas

namespace {
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, std::max(0, r.Width()), std::max(0, r.Height())); }

// Runs a drawing step on the DC's painter, clipped to the DC's clip rectangle. Extent holds
// every pixel the step may touch (nullptr: not known).
template <class F>
void WithPainter(HDC dc, const QRect* extent, F&& f) {
  if (QPainter* p = DCClippedPainter(dc, extent)) f(*p);
}
}  // namespace

TCanvas::TCanvas(HDC dc, bool Owns) : dc_(dc), owns_(Owns) {}

TCanvas::~TCanvas() {
  if (owns_) DeleteDC(dc_);
}

TRect TCanvas::ClipRect() const { return GetClipBox(dc_); }

void TCanvas::FillRect(const TRect& r) {
  if (brush_.Style() == bsClear) return;
  QColor c = ToQColor(brush_.Color());
  QRect e = ToQRect(r);
  WithPainter(dc_, &e, [&](QPainter& p) { p.fillRect(e, c); });
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::FrameRect(const TRect& r) {
  QColor c = ToQColor(brush_.Color());
  QRect e = ToQRect(r);
  WithPainter(dc_, &e, [&](QPainter& p) {
    p.fillRect(QRect(r.Left, r.Top, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Bottom - 1, r.Width(), 1), c);
    p.fillRect(QRect(r.Left, r.Top, 1, r.Height()), c);
    p.fillRect(QRect(r.Right - 1, r.Top, 1, r.Height()), c);
  });
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }

void TCanvas::LineTo(int x, int y) {
  TPoint from = penPos_;
  penPos_ = TPoint{x, y};
  if (pen_.Style() == psClear) return;
  QColor c = ToQColor(pen_.Color());
  int w = std::max(1, pen_.Width());
  // Horizontal and vertical lines are filled exactly; the end point is left out.
  if (from.X == x || from.Y == y) {
    QRect line;
    if (from.X == x) {
      int y0 = std::min(from.Y, y), y1 = std::max(from.Y, y);
      if (from.Y > y) ++y0, ++y1;
      line = QRect(x - (w - 1) / 2, y0, w, y1 - y0);
    } else {
      int x0 = std::min(from.X, x), x1 = std::max(from.X, x);
      if (from.X > x) ++x0, ++x1;
      line = QRect(x0, y - (w - 1) / 2, x1 - x0, w);
    }
    WithPainter(dc_, &line, [&](QPainter& p) { p.fillRect(line, c); });
  } else {
    WithPainter(dc_, nullptr, [&](QPainter& p) {
      QPen pen(c);
      pen.setWidth(w);
      p.setPen(pen);
      p.drawLine(QPointF(from.X + 0.5, from.Y + 0.5), QPointF(x + 0.5, y + 0.5));
      DCPenChanged(dc_);
    });
  }
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  TRect r{left, top, right, bottom};
  if (brush_.Style() != bsClear) {
    QColor c = ToQColor(brush_.Color());
    QRect e = ToQRect(r);
    WithPainter(dc_, &e, [&](QPainter& p) { p.fillRect(e, c); });
  }
  if (pen_.Style() != psClear) {
    QColor c = ToQColor(pen_.Color());
    QRect e = ToQRect(r);
    WithPainter(dc_, &e, [&](QPainter& p) {
      p.fillRect(QRect(left, top, r.Width(), 1), c);
      p.fillRect(QRect(left, bottom - 1, r.Width(), 1), c);
      p.fillRect(QRect(left, top, 1, r.Height()), c);
      p.fillRect(QRect(right - 1, top, 1, r.Height()), c);
    });
  }
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::SelectFont() {
  SelectObject(dc_, font_.Handle());
  SetTextColor(dc_, ColorToColorRef(font_.Color()));
  SetBkColor(dc_, ColorToColorRef(brush_.Color()));
  SetBkMode(dc_, brush_.Style() == bsClear ? TRANSPARENT : OPAQUE);
}

void TCanvas::TextOut(int x, int y, const AnsiString& text) {
  SelectFont();
  TextOutA(dc_, x, y, text.data(), int(text.size()));
  TSize s;
  GetTextExtentPoint32A(dc_, text.data(), int(text.size()), &s);
  penPos_ = TPoint{x + s.cx, y};
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const AnsiString& text) {
  SelectFont();
  ExtTextOutA(dc_, x, y, ETO_CLIPPED | (brush_.Style() == bsClear ? 0u : ETO_OPAQUE), &r,
              text.data(), int(text.size()), nullptr);
  if (bitmap_) bitmap_->Modified();
}

TSize TCanvas::TextExtent(const AnsiString& text) {
  SelectFont();
  TSize s;
  GetTextExtentPoint32A(dc_, text.data(), int(text.size()), &s);
  return s;
}

void TCanvas::Draw(int x, int y, TBitmap* bitmap) {
  if (!bitmap || bitmap->Empty()) return;
  QImage img = BitmapImage(bitmap);  // a copy: the source may be this canvas's own bitmap
  QRect e(QPoint(x, y), img.size());
  WithPainter(dc_, &e, [&](QPainter& p) { p.drawImage(QPoint(x, y), img); });
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  if (!Canvas || !Canvas->bitmap_) return;
  QImage img = BitmapImage(Canvas->bitmap_).copy(ToQRect(Source));
  QRect e = ToQRect(Dest);
  WithPainter(dc_, &e, [&](QPainter& p) { p.drawImage(e, img); });
  if (bitmap_) bitmap_->Modified();
}

void TCanvas::BrushCopy(const TRect& Dest, TBitmap* Bitmap, const TRect& Source, TColor Transparent) {
  if (!Bitmap || Bitmap->Empty()) return;
  QImage img = BitmapImage(Bitmap).copy(ToQRect(Source)).convertToFormat(QImage::Format_ARGB32);
  if (Transparent != clNone) {
    QRgb key = ToQColor(Transparent).rgb() & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x)
        if ((line[x] & 0xFFFFFF) == key) line[x] = 0;
    }
  }
  QRect e = ToQRect(Dest);
  WithPainter(dc_, &e, [&](QPainter& p) { p.drawImage(e, img); });
  if (bitmap_) bitmap_->Modified();
}

TColor TCanvas::Pixel(int x, int y) const { return bitmap_ ? bitmap_->Pixel(x, y) : clNone; }

void TCanvas::SetPixel(int x, int y, TColor c) {
  QColor q = ToQColor(c);
  QRect e(x, y, 1, 1);
  WithPainter(dc_, &e, [&](QPainter& p) { p.fillRect(e, q); });
  if (bitmap_) bitmap_->Modified();
}

std::unique_ptr<TCanvas> CreateCanvasOnPainter(QPainter* painter, const QRect& clip) {
  return std::make_unique<TCanvas>(CreateDCOnPainter(painter, clip), true);
}

// ------------------------------------------------------------------------------ bitmaps

QPainter* TBitmapData::BeginPaint() {
  if (image.isNull()) return nullptr;
  if (!painter) painter = std::make_unique<QPainter>(&image);
  return painter.get();
}

void TBitmapData::EndPaint() {
  if (painter) {
    ReleasePainter(painter.get());
    painter->end();
    painter.reset();
  }
}

QImage& BitmapImage(TBitmap* bitmap) {
  bitmap->Data()->EndPaint();
  return bitmap->Data()->image;
}

TBitmap::TBitmap() : data_(std::make_unique<TBitmapData>()) { EnsureGuiApplication(); }

TBitmap::TBitmap(int width, int height) : TBitmap() { SetSize(width, height); }

TBitmap::~TBitmap() {
  canvas_.reset();
  data_->EndPaint();
}

int TBitmap::Width() const { return data_->image.width(); }
int TBitmap::Height() const { return data_->image.height(); }

void TBitmap::SetSize(int w, int h) {
  w = std::max(0, w), h = std::max(0, h);
  if (w == Width() && h == Height()) return;
  data_->EndPaint();
  QImage img;
  if (w > 0 && h > 0) {
    img = QImage(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    if (!data_->image.isNull()) {
      QPainter p(&img);
      p.drawImage(0, 0, data_->image);
    }
  }
  data_->image = img;
  Changed();
}

TCanvas* TBitmap::Canvas() {
  if (!canvas_) {
    TBitmapData* d = data_.get();
    HDC dc = CreateDCOnSurface([d] { return d->BeginPaint(); }, [d] { return d->image.rect(); });
    canvas_ = std::make_unique<TCanvas>(dc, true);
    canvas_->bitmap_ = this;
  }
  return canvas_.get();
}

TColor TBitmap::Pixel(int x, int y) const {
  data_->EndPaint();
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return clNone;
  QRgb c = data_->image.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

void TBitmap::Assign(TPersistent* Source) {
  if (!Source) {
    data_->EndPaint();
    if (!data_->image.isNull()) {
      data_->image = QImage();
      Changed();
    }
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    if (b == this) return;
    data_->EndPaint();
    data_->image = BitmapImage(b).copy();
    Changed();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TBitmap::SaveToFile(const AnsiString& fileName) const {
  data_->EndPaint();
  if (!data_->image.save(QString::fromUtf8(AnsiToUtf8(fileName).c_str()), "PNG"))
    throw EFCreateError(Format(W1251("Не удаётся создать файл \"%s\"."), {fileName}));
}

namespace {
std::map<AnsiString, std::function<void(TBitmap&)>>& Resources() {
  static std::map<AnsiString, std::function<void(TBitmap&)>> r;
  return r;
}
}  // namespace

void RegisterBitmapResource(const AnsiString& name, std::function<void(TBitmap&)> painter) {
  Resources()[UpperCase(name)] = std::move(painter);
}

bool HasBitmapResource(const AnsiString& name) { return Resources().count(UpperCase(name)) > 0; }

bool TBitmap::LoadFromResourceName(HINSTANCE, const AnsiString& name) {
  auto it = Resources().find(UpperCase(name));
  if (it == Resources().end()) return false;
  TBitmap tmp;
  it->second(tmp);
  Assign(&tmp);
  return true;
}

// ------------------------------------------------------------------------------ image lists

TImageList::TImageList(TComponent* AOwner, int width, int height)
    : TComponent(AOwner), width_(width), height_(height) {}

TImageList::~TImageList() = default;

namespace {

std::unique_ptr<TBitmap> CutImage(TBitmap* image, int x, int width, int height, TColor MaskColor) {
  auto bmp = std::make_unique<TBitmap>(width, height);
  QImage part = BitmapImage(image).copy(x, 0, width, height);
  // A picture with transparency keeps it (its edges blend with what it is drawn on).
  bool alpha = MaskColor == clNone && part.hasAlphaChannel();
  BitmapImage(bmp.get()) = part.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  return bmp;
}

}  // namespace

int TImageList::Add(TBitmap* image, TColor MaskColor) {
  if (!image || image->Empty()) return -1;
  int first = Count();
  int width = BitmapImage(image).width();
  for (int x = 0; x + width_ <= width || x == 0; x += width_) {
    images_.push_back(std::make_shared<TEntry>(
        TEntry{width_, height_, CutImage(image, x, width_, height_, MaskColor), MaskColor, nullptr}));
    if (x + width_ >= width) break;
  }
  return first;
}

int TImageList::AddDeferred(std::function<void(TBitmap& Image)> Make) {
  images_.push_back(std::make_shared<TEntry>(TEntry{width_, height_, nullptr, clNone, std::move(Make)}));
  return Count() - 1;
}

void TImageList::Clear() { images_.clear(); }

std::shared_ptr<TImageList::TEntry> TImageList::Image(int index) const {
  return index >= 0 && index < Count() ? images_[size_t(index)] : nullptr;
}

void TImageList::Draw(TCanvas* canvas, int x, int y, int index) {
  if (canvas && index >= 0 && index < Count()) Draw(canvas, x, y, *images_[size_t(index)]);
}

void TImageList::Draw(TCanvas* canvas, int x, int y, TEntry& im) {
  if (!canvas) return;
  if (!im.Bitmap) {
    // Made once; an image that cannot be made stays empty (transparent).
    TBitmap made;
    if (im.Make) std::exchange(im.Make, nullptr)(made);
    if (made.Empty()) {
      QImage clear(im.Width, im.Height, QImage::Format_ARGB32);
      clear.fill(Qt::transparent);
      BitmapImage(&made) = clear;
    }
    im.Bitmap = CutImage(&made, 0, im.Width, im.Height, clNone);
  }
  canvas->BrushCopy(Bounds(x, y, im.Width, im.Height), im.Bitmap.get(), Rect(0, 0, im.Width, im.Height),
                    im.Mask);
}

#include <algorithm>
#include <QDir>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>
#include <QStandardPaths>
#include <vector>

#include "platform/icons.h"
#include "platform/qt/graphics_qt.h"

namespace {

bool themeIconsOn = true;

// A classic theme with colour action icons. The desktop's own theme comes first; this one
// answers for names it lacks (GNOME's current theme has only single-colour symbolic action
// icons, and offscreen there is no desktop theme at all).
constexpr const char* kClassicTheme = "Tango";

void PrepareThemeSearch() {
  static bool done = false;
  if (done) return;
  done = true;
  EnsureGuiApplication();
  // Without a desktop (offscreen) Qt looks for themes only in its own resources: the standard
  // folders of the freedesktop icon themes are added where they are missing.
  QStringList paths = QIcon::themeSearchPaths();
  QStringList wanted{QDir::homePath() + QLatin1String("/.icons")};
  for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
    wanted << d + QLatin1String("/icons");
  wanted << QStringLiteral("/usr/share/icons");
  bool added = false;
  for (const QString& w : wanted)
    if (!paths.contains(w) && QDir(w).exists()) {
      paths << w;
      added = true;
    }
  if (added) QIcon::setThemeSearchPaths(paths);
  QString fallback = QIcon::fallbackThemeName();
  if (fallback.isEmpty() || fallback == QLatin1String("hicolor"))
    QIcon::setFallbackThemeName(QString::fromLatin1(kClassicTheme));
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    QIcon::setThemeName(QString::fromLatin1(kClassicTheme));
}

QImage ToSquare(const QPixmap& pm, int size) {
  QImage out(size, size, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QImage src = pm.toImage();
  if (src.width() > size || src.height() > size)
    src = src.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QPainter p(&out);
  p.drawImage((size - src.width()) / 2, (size - src.height()) / 2, src);
  p.end();
  return out.convertToFormat(QImage::Format_ARGB32);
}

class TQtIconCanvas : public TIconCanvas {
public:
  TQtIconCanvas(QPainter& p, int size) : p_(p) {
    p_.setRenderHint(QPainter::Antialiasing);
    p_.setRenderHint(QPainter::TextAntialiasing);
    p_.scale(size / 16.0, size / 16.0);
    SetPen(clBlack, 1);
    SetFill(clNone);
  }
  void SetPen(TColor Color, double Width) override {
    if (Color == clNone) {
      p_.setPen(Qt::NoPen);
      penColor_ = QColor(Qt::black);
      return;
    }
    penColor_ = ToQColor(Color);
    QPen pen(penColor_, Width);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    p_.setPen(pen);
  }
  void SetFill(TColor Color) override {
    if (Color == clNone) p_.setBrush(Qt::NoBrush);
    else p_.setBrush(ToQColor(Color));
  }
  void Rect(double X, double Y, double W, double H, double Radius) override {
    if (Radius > 0) p_.drawRoundedRect(QRectF(X, Y, W, H), Radius, Radius);
    else p_.drawRect(QRectF(X, Y, W, H));
  }
  void Ellipse(double X, double Y, double W, double H) override { p_.drawEllipse(QRectF(X, Y, W, H)); }
  void Line(double X1, double Y1, double X2, double Y2) override {
    p_.drawLine(QPointF(X1, Y1), QPointF(X2, Y2));
  }
  void Polygon(std::initializer_list<double> XY) override {
    auto pts = Points(XY);
    p_.drawPolygon(pts.data(), int(pts.size()));
  }
  void Polyline(std::initializer_list<double> XY) override {
    auto pts = Points(XY);
    p_.drawPolyline(pts.data(), int(pts.size()));
  }
  void Arc(double X, double Y, double W, double H, double StartDeg, double SpanDeg) override {
    QPainterPath path;
    path.arcMoveTo(QRectF(X, Y, W, H), StartDeg);
    path.arcTo(QRectF(X, Y, W, H), StartDeg, SpanDeg);
    p_.save();
    p_.setBrush(Qt::NoBrush);
    p_.drawPath(path);
    p_.restore();
  }
  void Text(double X, double Y, double W, double H, const AnsiString& Text, double Height,
            TFontStyles Style, bool Serif) override {
    QFont f(QString::fromLatin1(Serif ? "Liberation Serif" : "Liberation Sans"));
    f.setStyleHint(Serif ? QFont::Serif : QFont::SansSerif);
    // The painter is scaled: a font of Height units is a font of Height pixels before scaling.
    f.setPixelSize(std::max(1, int(Height * 4 + 0.5)));
    f.setBold(Style.Contains(fsBold));
    f.setItalic(Style.Contains(fsItalic));
    f.setUnderline(Style.Contains(fsUnderline));
    f.setStrikeOut(Style.Contains(fsStrikeOut));
    p_.save();
    p_.scale(0.25, 0.25);
    p_.setFont(f);
    p_.setPen(penColor_);
    p_.drawText(QRectF(X * 4, Y * 4, W * 4, H * 4), Qt::AlignCenter,
                DecodeAnsi(Text.data(), int(Text.size())));
    p_.restore();
  }

private:
  static std::vector<QPointF> Points(std::initializer_list<double> XY) {
    std::vector<QPointF> v;
    for (auto it = XY.begin(); it != XY.end() && it + 1 != XY.end(); it += 2) v.emplace_back(*it, *(it + 1));
    return v;
  }
  QPainter& p_;
  QColor penColor_;
};

}  // namespace

void SetThemeIconsEnabled(bool On) { themeIconsOn = On; }
bool ThemeIconsEnabled() { return themeIconsOn; }

bool LoadThemeIcon(const AnsiString& Name, int Size, TBitmap& Bitmap) {
  if (!themeIconsOn || Name.empty() || Size <= 0) return false;
  PrepareThemeSearch();
  QString name = QString::fromStdString(AnsiToUtf8(Name));
  if (!QIcon::hasThemeIcon(name)) return false;
  QIcon icon = QIcon::fromTheme(name);
  QPixmap pm = icon.pixmap(QSize(Size, Size));
  if (pm.isNull()) return false;
  QImage img = ToSquare(pm, Size);
  BitmapImage(&Bitmap) = img;
  Bitmap.Modified();
  return true;
}

void DrawIcon(int Size, TBitmap& Bitmap, const std::function<void(TIconCanvas&)>& Paint) {
  QImage img(std::max(Size, 1), std::max(Size, 1), QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  {
    QPainter p(&img);
    TQtIconCanvas canvas(p, Size);
    if (Paint) Paint(canvas);
  }
  BitmapImage(&Bitmap) = img.convertToFormat(QImage::Format_ARGB32);
  Bitmap.Modified();
}

int OpaquePixelCount(const TBitmap& Bitmap) {
  const QImage& img = BitmapImage(const_cast<TBitmap*>(&Bitmap));
  if (img.isNull()) return 0;
  if (!img.hasAlphaChannel()) return img.width() * img.height();
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) n += qAlpha(img.pixel(x, y)) != 0;
  return n;
}

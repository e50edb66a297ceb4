#include "platform/clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <map>
#include <memory>

#include "platform/graphics.h"

namespace {

std::map<AnsiString, TClipboardFormat>& Formats() {
  static std::map<AnsiString, TClipboardFormat> f;
  return f;
}

QString MimeOf(TClipboardFormat format) {
  for (auto& [name, id] : Formats())
    if (id == format) {
      QString n = QString::fromStdString(AnsiToUtf8(name)).toLower().replace(' ', '-');
      return "application/x-vantry-tarn-" + n;
    }
  return QString();
}

// The content being built between Open and Close.
std::unique_ptr<QMimeData>& Pending() {
  static std::unique_ptr<QMimeData> p;
  return p;
}

const QMimeData* Current() {
  EnsureGuiApplication();
  return QApplication::clipboard()->mimeData();
}

}  // namespace

TClipboardFormat RegisterClipboardFormat(const AnsiString& Name) {
  auto& f = Formats();
  auto it = f.find(Name);
  if (it != f.end()) return it->second;
  TClipboardFormat id = 0xC000 + static_cast<TClipboardFormat>(f.size());
  f[Name] = id;
  return id;
}

bool TClipboard::HasFormat(TClipboardFormat Format) const {
  const QMimeData* d = Current();
  if (!d) return false;
  if (Format == CF_TEXT) return d->hasText();
  QString mime = MimeOf(Format);
  return !mime.isEmpty() && d->hasFormat(mime);
}

AnsiString TClipboard::AsText() const {
  const QMimeData* d = Current();
  if (!d || !d->hasText()) return AnsiString();
  return Utf8ToAnsi(d->text().toStdString());
}

void TClipboard::Open() {
  if (openCount_++ == 0) Pending() = std::make_unique<QMimeData>();
}

void TClipboard::Close() {
  if (openCount_ == 0) return;
  if (--openCount_ == 0) {
    EnsureGuiApplication();
    QApplication::clipboard()->setMimeData(Pending().release());
  }
}

void TClipboard::SetAsText(const AnsiString& Text) {
  Open();
  Pending()->setText(QString::fromStdString(AnsiToUtf8(Text)));
  Close();
}

std::string TClipboard::GetBuffer(TClipboardFormat Format) const {
  const QMimeData* d = Current();
  QString mime = MimeOf(Format);
  if (!d || mime.isEmpty() || !d->hasFormat(mime)) return std::string();
  QByteArray b = d->data(mime);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

void TClipboard::SetBuffer(TClipboardFormat Format, const std::string& Data) {
  QString mime = MimeOf(Format);
  if (mime.isEmpty()) return;
  Open();
  Pending()->setData(mime, QByteArray(Data.data(), static_cast<qsizetype>(Data.size())));
  Close();
}

void TClipboard::Clear() {
  EnsureGuiApplication();
  QApplication::clipboard()->clear();
}

TClipboard* Clipboard() {
  static TClipboard c;
  return &c;
}

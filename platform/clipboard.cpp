#include "platform/clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <functional>
#include <map>
#include <memory>

#include "platform/graphics.h"
#include "platform/input_simulation.h"

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

QClipboard::Mode ModeOf(bool Primary) { return Primary ? QClipboard::Selection : QClipboard::Clipboard; }

// The content being built between Open and Close, one for each of the two.
std::unique_ptr<QMimeData>& Pending(bool Primary) {
  static std::unique_ptr<QMimeData> clipboard, selection;
  return Primary ? selection : clipboard;
}

// A primary selection that tests put in place of the desktop's, where it has none.
std::unique_ptr<QMimeData>& SimulatedSelection() {
  static std::unique_ptr<QMimeData> s;
  return s;
}

const QMimeData* Current(bool Primary) {
  EnsureGuiApplication();
  if (Primary && SimulatedSelection()) return SimulatedSelection().get();
  return QApplication::clipboard()->mimeData(ModeOf(Primary));
}

void Put(bool Primary, QMimeData* Data) {
  EnsureGuiApplication();
  if (Primary && SimulatedSelection()) SimulatedSelection().reset(Data);
  else QApplication::clipboard()->setMimeData(Data, ModeOf(Primary));
}

// The desktop's text has LF line breaks; the code page's text (and the editor) has CR LF.
QString DesktopText(const AnsiString& Text) {
  return QString::fromStdString(AnsiToUtf8(Text)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
}
AnsiString CodePageText(QString Text) {
  Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
  return Utf8ToAnsi(Text.replace(QChar('\n'), QStringLiteral("\r\n")).toStdString());
}

// The primary selection of an owner that has text selected: the text is asked for only when
// another program pastes it, and is what the owner has selected then.
class TOfferedSelection : public QMimeData {
public:
  TOfferedSelection(const void* owner, std::function<AnsiString()> text) : owner_(owner), text_(std::move(text)) {}
  const void* Owner() const { return owner_; }
  void Withdraw() { text_ = nullptr; }
  QStringList formats() const override { return {QStringLiteral("text/plain")}; }
  bool hasFormat(const QString& mime) const override { return text_ && mime == QLatin1String("text/plain"); }

protected:
  QVariant retrieveData(const QString& mime, QMetaType) const override {
    if (!text_ || mime != QLatin1String("text/plain")) return QVariant();
    AnsiString text;
    try {
      text = text_();
    } catch (...) {
      return QVariant();
    }
    return DesktopText(text);
  }

private:
  const void* owner_;
  std::function<AnsiString()> text_;
};

TOfferedSelection* OfferedSelection() {
  QClipboard* c = QApplication::clipboard();
  if (!c->supportsSelection() || !c->ownsSelection()) return nullptr;
  return const_cast<TOfferedSelection*>(dynamic_cast<const TOfferedSelection*>(c->mimeData(QClipboard::Selection)));
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
  const QMimeData* d = Current(primary_);
  if (!d) return false;
  if (Format == CF_TEXT) return d->hasText();
  QString mime = MimeOf(Format);
  return !mime.isEmpty() && d->hasFormat(mime);
}

AnsiString TClipboard::AsText() const {
  const QMimeData* d = Current(primary_);
  if (!d || !d->hasText()) return AnsiString();
  return CodePageText(d->text());
}

void TClipboard::Open() {
  if (openCount_++ == 0) Pending(primary_) = std::make_unique<QMimeData>();
}

void TClipboard::Close() {
  if (openCount_ == 0) return;
  if (--openCount_ == 0) Put(primary_, Pending(primary_).release());
}

void TClipboard::SetAsText(const AnsiString& Text) {
  Open();
  Pending(primary_)->setText(DesktopText(Text));
  Close();
}

std::string TClipboard::GetBuffer(TClipboardFormat Format) const {
  const QMimeData* d = Current(primary_);
  QString mime = MimeOf(Format);
  if (!d || mime.isEmpty() || !d->hasFormat(mime)) return std::string();
  QByteArray b = d->data(mime);
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

void TClipboard::SetBuffer(TClipboardFormat Format, const std::string& Data) {
  QString mime = MimeOf(Format);
  if (mime.isEmpty()) return;
  Open();
  Pending(primary_)->setData(mime, QByteArray(Data.data(), static_cast<qsizetype>(Data.size())));
  Close();
}

void TClipboard::Clear() {
  EnsureGuiApplication();
  if (primary_ && SimulatedSelection()) SimulatedSelection() = std::make_unique<QMimeData>();
  else QApplication::clipboard()->clear(ModeOf(primary_));
}

void OfferPrimarySelection(const void* Owner, std::function<AnsiString()> Text) {
  EnsureGuiApplication();
  QClipboard* c = QApplication::clipboard();
  if (!c->supportsSelection()) return;
  // Claimed once: while the owner keeps it, a growing selection costs nothing.
  if (TOfferedSelection* s = OfferedSelection(); s && s->Owner() == Owner && s->hasFormat(QStringLiteral("text/plain")))
    return;
  c->setMimeData(new TOfferedSelection(Owner, std::move(Text)), QClipboard::Selection);
}

void WithdrawPrimarySelection(const void* Owner) {
  if (!QCoreApplication::instance()) return;
  TOfferedSelection* s = OfferedSelection();
  if (!s || s->Owner() != Owner) return;
  s->Withdraw();
  QApplication::clipboard()->clear(QClipboard::Selection);
}

TClipboard* Clipboard() {
  static TClipboard c;
  return &c;
}

TClipboard* PrimarySelection() {
  EnsureGuiApplication();
  if (!SimulatedSelection() && !QApplication::clipboard()->supportsSelection()) return nullptr;
  static TClipboard c(true);
  return &c;
}

void SimulatePrimarySelection(const std::string& Utf8) {
  auto d = std::make_unique<QMimeData>();
  d->setText(QString::fromStdString(Utf8));
  SimulatedSelection() = std::move(d);
}

void EndSimulatedPrimarySelection() { SimulatedSelection().reset(); }

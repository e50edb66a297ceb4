#include "platform/datetime.h"

#include <QDateTime>
#include <QLocale>

#include "platform/graphics.h"

namespace {
QDateTime Local(std::time_t moment) { return QDateTime::fromSecsSinceEpoch(qint64(moment)); }
AnsiString Program(const QString& s) { return Utf8ToAnsi(s.toStdString()); }
}  // namespace

AnsiString DateToStr(std::time_t Moment) {
  EnsureGuiApplication();
  return Program(QLocale::system().toString(Local(Moment).date(), QLocale::ShortFormat));
}

AnsiString TimeToStr(std::time_t Moment) {
  EnsureGuiApplication();
  // The long form without the zone name, which the locale's long format may add.
  QString f = QLocale::system().timeFormat(QLocale::LongFormat);
  f.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
  return Program(QLocale::system().toString(Local(Moment).time(), f.trimmed()));
}

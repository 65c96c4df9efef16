#include "ui/clock_text.h"

#include "config/settings.h"

namespace qz {

namespace {

// The locale's full time format without its time-zone field: the zone says nothing to an
// installer reading the clock, and some locales put it in brackets of its own.
QString formatWithoutZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (const QChar c : format) {
    if (c == QLatin1Char('\'')) quoted = !quoted;
    if (!quoted && c == QLatin1Char('t')) continue;
    out.append(c);
  }
  out.replace(QStringLiteral("()"), QString());
  out.replace(QStringLiteral("[]"), QString());
  return out.simplified();
}

}  // namespace

QString timeOfDayText(const QTime& time, const QLocale& locale) {
  return locale.toString(time, formatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString clockText(const QDateTime& now, const QLocale& locale) {
  const QDate date = now.date();
  // QDate counts Monday = 1 .. Sunday = 7; the clock counts Sunday = 1 .. Saturday = 7.
  const int weekday = date.dayOfWeek() % 7 + 1;
  return QString::fromStdString(clockCaption(date.year(), date.month(), date.day(), weekday,
                                             timeOfDayText(now.time(), locale).toStdString()));
}

QString uploadHeaderText(const QDateTime& now, const QLocale& locale) {
  const QDate date = now.date();
  return QString::fromStdString(uploadHeader(date.year(), date.month(), date.day(),
                                             timeOfDayText(now.time(), locale).toStdString()));
}

}  // namespace qz

#include "ui/clock_text.h"

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

QString twoDigits(int n) {
  return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString timeOfDayText(const QTime& time, const QLocale& locale) {
  return locale.toString(time, formatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
}

QString clockText(const QDateTime& now, const QLocale& locale) {
  // Weekday names from Sunday; QDate counts Monday = 1 .. Sunday = 7.
  static const QString kWeekdays = QStringLiteral("日一二三四五六");
  const QDate date = now.date();
  return QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + QStringLiteral("年") +
         twoDigits(date.month()) + QStringLiteral("月") + twoDigits(date.day()) +
         QStringLiteral("日 ") + timeOfDayText(now.time(), locale) + QStringLiteral(" 星期") +
         kWeekdays.at(date.dayOfWeek() % 7);
}

QString uploadHeaderText(const QDateTime& now, const QLocale& locale) {
  const QDate date = now.date();
  return QStringLiteral("上传参数 %1").arg(date.year(), 4, 10, QLatin1Char('0')) +
         QLatin1Char('-') + twoDigits(date.month()) + QLatin1Char('-') + twoDigits(date.day()) +
         QLatin1Char(' ') + timeOfDayText(now.time(), locale);
}

}  // namespace qz

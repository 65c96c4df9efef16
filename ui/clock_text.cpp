#include "ui/clock_text.h"

#include <array>

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

// Weekday names from Sunday.
constexpr std::array<std::string_view, 7> kWeekdays = {"日", "一", "二", "三", "四", "五", "六"};

// n in decimal with leading zeros to `width` digits.
std::string padded(int n, std::size_t width) {
  std::string digits = std::to_string(n);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return digits;
}

}  // namespace

std::string clockCaption(int year, int month, int day, int weekday, std::string_view timeOfDay) {
  std::string caption = padded(year, 4) + "年" + padded(month, 2) + "月" + padded(day, 2) + "日 ";
  caption.append(timeOfDay);
  caption.append(" 星期");
  if (weekday >= 1 && weekday <= 7)
    caption.append(kWeekdays[static_cast<std::size_t>(weekday - 1)]);
  return caption;
}

std::string uploadHeader(int year, int month, int day, std::string_view timeOfDay) {
  std::string header =
      "上传参数 " + padded(year, 4) + "-" + padded(month, 2) + "-" + padded(day, 2) + " ";
  header.append(timeOfDay);
  return header;
}

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

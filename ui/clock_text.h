#pragma once
// The date and time texts of the clock line and the history list. The time of day follows the
// desktop's locale, as the user sees it elsewhere on the desktop.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <string>
#include <string_view>

namespace qz {

// The clock line for a date (weekday 1 = Sunday .. 7 = Saturday) and the time of day as the
// desktop writes it: "2019年07月01日 14:05:09 星期一".
[[nodiscard]] std::string clockCaption(int year, int month, int day, int weekday,
                                       std::string_view timeOfDay);
// The history's header line of an upload: "上传参数 2019-07-01 14:05:09".
[[nodiscard]] std::string uploadHeader(int year, int month, int day, std::string_view timeOfDay);

// The time of day in the locale's full time format, without the time zone: "14:05:09" in most
// locales, "2:05:09 PM" in en_US.
[[nodiscard]] QString timeOfDayText(const QTime& time, const QLocale& locale = QLocale());

// The clock line: "2019年07月01日 14:05:09 星期一".
[[nodiscard]] QString clockText(const QDateTime& now, const QLocale& locale = QLocale());

// The header line an upload writes into the history: "上传参数 2019-07-01 14:05:09".
[[nodiscard]] QString uploadHeaderText(const QDateTime& now, const QLocale& locale = QLocale());

}  // namespace qz

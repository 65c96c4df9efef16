#pragma once
// The date and time texts of the clock line and the history list. The time of day follows the
// desktop's locale, as the user sees it elsewhere on the desktop.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace qz {

// The time of day in the locale's full time format, without the time zone: "14:05:09" in most
// locales, "2:05:09 PM" in en_US.
[[nodiscard]] QString timeOfDayText(const QTime& time, const QLocale& locale = QLocale());

// The clock line: "2019年07月01日 14:05:09 星期一".
[[nodiscard]] QString clockText(const QDateTime& now, const QLocale& locale = QLocale());

// The header line an upload writes into the history: "上传参数 2019-07-01 14:05:09".
[[nodiscard]] QString uploadHeaderText(const QDateTime& now, const QLocale& locale = QLocale());

}  // namespace qz

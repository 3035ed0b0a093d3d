#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace velmora::coversheet {

// The English ordinal of a day number given as text ("1" → "1st", " 7 " → "7th", "11" →
// "11th"); empty for anything that is not a day number 1 to 31 written without leading zero.
QString fnDay(const QString& strDay);

// " " + ordinal day + " ", the day text the generation run works with.
QString DayText(const QDate& date);

// " Monday, December 6th, 2026 ": one space, weekday, month, ordinal day, year, one space,
// with names in proper case in any locale.
QString DateText(const QDate& date, const QLocale& locale = QLocale());

// Every word with an upper-case first letter and lower-case other letters.
QString ProperCase(const QString& text);

// How a date is kept in the settings store: ISO 8601, which reads back exactly.
QString DateToSetting(const QDate& date);
// Reads a stored date: ISO 8601, or the short forms "M/d/yy" and "M/d/yyyy" that earlier
// versions stored (a two-digit year lies in 2000 to 2099). Nothing for other text.
std::optional<QDate> DateFromSetting(const QString& text);

}  // namespace velmora::coversheet

#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

namespace velmora::coversheet {

// The English ordinal of a day number given as text ("1" → "1st", " 7 " → "7th", "11" →
// "11th"); empty for anything that is not a day number 1 to 31 written without leading zero.
QString fnDay(const QString& strDay);

// " " + ordinal day + " ", the day text the generation run works with.
QString DayText(const QDate& date);

// " Monday, December 6th, 2026 ": one space, weekday, month, ordinal day, year, one space,
// with names in proper case in any locale.
QString DateText(const QDate& date, const QLocale& locale = QLocale());

// All letters lower case but the first character of every word, which is upper case. Words
// are parted by white space only: "segunda-feira" becomes "Segunda-feira", "l'été" "L'été".
QString ProperCase(const QString& text);

}  // namespace velmora::coversheet

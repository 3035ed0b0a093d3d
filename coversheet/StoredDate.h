#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

namespace velmora::coversheet {

// How the cover sheet's date is kept in the settings store. This version writes ISO 8601,
// which reads back exactly; older stores hold the date in the short date form of the
// desktop they were written on, which is read too.
class StoredDate {
public:
    // Reads short dates in `locale`'s short date format.
    explicit StoredDate(QLocale locale = QLocale::system());

    static QString write(const QDate& date);

    // ISO 8601, then the locale's short date format, then the US month/day/year form. The
    // short forms are read leniently: one or two digits for day and month, two or four for
    // the year, names in any case; a two-digit year lies in 1930 to 2029. Nothing for other
    // text and for dates that do not exist.
    std::optional<QDate> read(const QString& text) const;

    // The dates a date picker takes.
    static QDate earliest() { return {1601, 1, 1}; }
    static QDate latest() { return {9999, 12, 31}; }

private:
    std::optional<QDate> readShortForm(const QString& text, const QString& format) const;
    std::optional<int> monthOfName(const QString& name) const;

    QLocale locale_;
};

}  // namespace velmora::coversheet

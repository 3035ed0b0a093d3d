#include "DateWording.h"

#include <QRegularExpression>

namespace velmora::coversheet {

QString fnDay(const QString& strDay) {
    const QString day = strDay.trimmed();
    static const QRegularExpression dayNumber(QStringLiteral("^([1-9]|[12][0-9]|3[01])$"));
    if (!dayNumber.match(day).hasMatch()) return {};
    const int n = day.toInt();
    if (n >= 11 && n <= 13) return day + QStringLiteral("th");
    switch (n % 10) {
        case 1:
            return day + QStringLiteral("st");
        case 2:
            return day + QStringLiteral("nd");
        case 3:
            return day + QStringLiteral("rd");
        default:
            return day + QStringLiteral("th");
    }
}

QString DayText(const QDate& date) {
    return QLatin1Char(' ') + fnDay(QString::number(date.day())) + QLatin1Char(' ');
}

QString ProperCase(const QString& text) {
    QString result = text.toLower();
    bool wordStart = true;
    for (QChar& c : result) {
        if (c.isLetter()) {
            if (wordStart) c = c.toUpper();
            wordStart = false;
        } else {
            wordStart = c.isSpace() || c.isPunct();
        }
    }
    return result;
}

QString DateText(const QDate& date, const QLocale& locale) {
    const QString partA = ProperCase(locale.toString(date, QStringLiteral("dddd, MMMM ")));
    const QString partB = ProperCase(locale.toString(date, QStringLiteral(", yyyy")));
    return QLatin1Char(' ') + partA + DayText(date).trimmed() + partB + QLatin1Char(' ');
}

QString DateToSetting(const QDate& date) {
    return date.toString(Qt::ISODate);
}

std::optional<QDate> DateFromSetting(const QString& text) {
    const QString trimmed = text.trimmed();
    if (const QDate iso = QDate::fromString(trimmed, Qt::ISODate); iso.isValid()) return iso;
    static const QRegularExpression shortForm(
        QStringLiteral("^(\\d{1,2})/(\\d{1,2})/(\\d{2}|\\d{4})$"));
    if (const auto match = shortForm.match(trimmed); match.hasMatch()) {
        int year = match.captured(3).toInt();
        if (match.captured(3).size() == 2) year += 2000;
        const QDate date(year, match.captured(1).toInt(), match.captured(2).toInt());
        if (date.isValid()) return date;
    }
    return std::nullopt;
}

}  // namespace velmora::coversheet

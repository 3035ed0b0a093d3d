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
        if (wordStart) c = c.toUpper();
        wordStart = c.isSpace() || c.isNull();
    }
    return result;
}

QString DateText(const QDate& date, const QLocale& locale) {
    const QString partA = ProperCase(locale.toString(date, QStringLiteral("dddd, MMMM ")));
    const QString partB = ProperCase(locale.toString(date, QStringLiteral(", yyyy")));
    return QLatin1Char(' ') + partA + DayText(date).trimmed() + partB + QLatin1Char(' ');
}

}  // namespace velmora::coversheet

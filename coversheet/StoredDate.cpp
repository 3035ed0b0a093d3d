#include "StoredDate.h"

#include <QRegularExpression>
#include <algorithm>

namespace velmora::coversheet {
namespace {

// 00 to 29 are this century's years, 30 to 99 the last one's.
int fullYear(const QString& digits) {
    const int year = digits.toInt();
    if (digits.size() != 2) return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

// Digits of any script as ASCII digits.
QString asciiDigits(QString text) {
    for (QChar& c : text)
        if (c.unicode() >= 0x80 && c.isDigit()) c = QChar(u'0' + c.digitValue());
    return text;
}

QString alternatives(QStringList names) {
    names.removeAll(QString());
    // The longest first, so that "June" is not taken for "Jun" followed by "e".
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (QString& name : names) name = QRegularExpression::escape(name);
    return names.join(QLatin1Char('|'));
}

}  // namespace

StoredDate::StoredDate(QLocale locale) : locale_(std::move(locale)) {}

QString StoredDate::write(const QDate& date) {
    return date.toString(Qt::ISODate);
}

std::optional<QDate> StoredDate::read(const QString& text) const {
    const QString trimmed = asciiDigits(text.trimmed());
    if (const QDate iso = QDate::fromString(trimmed, Qt::ISODate); iso.isValid()) return iso;
    if (auto date = readShortForm(trimmed, locale_.dateFormat(QLocale::ShortFormat))) return date;
    return readShortForm(trimmed, QStringLiteral("M/d/yyyy"));
}

std::optional<int> StoredDate::monthOfName(const QString& name) const {
    for (int month = 1; month <= 12; ++month)
        for (const auto format : {QLocale::LongFormat, QLocale::ShortFormat})
            for (const QString& candidate :
                 {locale_.monthName(month, format), locale_.standaloneMonthName(month, format)})
                if (!candidate.isEmpty() && name.compare(candidate, Qt::CaseInsensitive) == 0)
                    return month;
    return std::nullopt;
}

// The format's letters as QLocale writes them: d, dd day; ddd, dddd weekday; M, MM month;
// MMM, MMMM month name; yy, yyyy year; text in single quotes is literal. A format with
// other letters (eras, for one) is not read.
std::optional<QDate> StoredDate::readShortForm(const QString& text, const QString& format) const {
    QString pattern = QStringLiteral("^");
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            qsizetype end = format.indexOf(u'\'', i + 1);
            if (end < 0) end = format.size();
            // '' is a quote of its own
            const QString literal =
                end == i + 1 ? QStringLiteral("'") : format.mid(i + 1, end - i - 1);
            pattern += QRegularExpression::escape(literal);
            i = end + 1;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c) ++run;
        i += run;
        if (c == u'd' && run <= 2) {
            pattern += QStringLiteral("(?<day>\\d{1,2})");
        } else if (c == u'd') {
            QStringList names;
            for (int day = 1; day <= 7; ++day)
                names << locale_.dayName(day, QLocale::LongFormat)
                      << locale_.dayName(day, QLocale::ShortFormat);
            pattern += QStringLiteral("(?:%1)").arg(alternatives(names));
        } else if (c == u'M' && run <= 2) {
            pattern += QStringLiteral("(?<month>\\d{1,2})");
        } else if (c == u'M') {
            QStringList names;
            for (int month = 1; month <= 12; ++month)
                for (const auto form : {QLocale::LongFormat, QLocale::ShortFormat})
                    names << locale_.monthName(month, form)
                          << locale_.standaloneMonthName(month, form);
            pattern += QStringLiteral("(?<monthName>%1)").arg(alternatives(names));
        } else if (c == u'y') {
            pattern += QStringLiteral("(?<year>\\d{4}|\\d{2})");
        } else if (c.isLetter()) {
            return std::nullopt;
        } else if (c.isSpace()) {
            pattern += QStringLiteral("\\s+");
        } else {
            pattern += QRegularExpression::escape(QString(run, c));
        }
    }
    pattern += QLatin1Char('$');

    const QRegularExpression expression(
        pattern,
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    const auto match = expression.match(text);
    if (!match.hasMatch() || match.captured(u"year").isEmpty() || match.captured(u"day").isEmpty())
        return std::nullopt;
    std::optional<int> month;
    if (const QString digits = match.captured(u"month"); !digits.isEmpty())
        month = digits.toInt();
    else if (const QString name = match.captured(u"monthName"); !name.isEmpty())
        month = monthOfName(name);
    if (!month) return std::nullopt;
    const QDate date(fullYear(match.captured(u"year")), *month, match.captured(u"day").toInt());
    if (!date.isValid()) return std::nullopt;
    return date;
}

}  // namespace velmora::coversheet

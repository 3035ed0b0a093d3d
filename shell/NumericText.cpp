#include "NumericText.h"

#include "Failure.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace velmora {
namespace {

std::optional<double> radixNumber(const QString& digits, int base) {
    bool ok = false;
    const qulonglong bits = digits.toULongLong(&ok, base);
    if (!ok || bits > 0xFFFFFFFFull) return std::nullopt;
    if (bits <= 0xFFFFull) return double(std::int16_t(std::uint16_t(bits)));
    return double(std::int32_t(std::uint32_t(bits)));
}

}  // namespace

NumericText::NumericText(const QString& text, const QLocale& locale) : text_(text) {
    const QString trimmed = text.trimmed();
    static const QRegularExpression hex(QStringLiteral("^&[Hh]([0-9A-Fa-f]{1,8})$"));
    static const QRegularExpression octal(QStringLiteral("^&[Oo]([0-7]{1,11})$"));
    if (const auto match = hex.match(trimmed); match.hasMatch()) {
        value_ = radixNumber(match.captured(1), 16);
        return;
    }
    if (const auto match = octal.match(trimmed); match.hasMatch()) {
        value_ = radixNumber(match.captured(1), 8);
        return;
    }
    // Plain digits only: no "nan", "inf", hexadecimal floats or group separators.
    QString decimal = trimmed;
    const QString point = locale.decimalPoint();
    if (point != QLatin1String(".") && decimal.count(point) == 1 && !decimal.contains('.'))
        decimal.replace(point, QStringLiteral("."));
    static const QRegularExpression number(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([Ee][+-]?[0-9]+)?$"));
    if (!number.match(decimal).hasMatch()) return;
    bool ok = false;
    const double parsed = QLocale::c().toDouble(decimal, &ok);
    if (ok && std::isfinite(parsed)) value_ = parsed;
}

double NumericText::value() const {
    if (!value_) throw Failure(QStringLiteral("Type mismatch: '%1' is not a number").arg(text_));
    return *value_;
}

std::int16_t NumericText::toInteger() const {
    const double whole = std::nearbyint(value());  // the default rounding: ties to even
    if (!(whole >= std::numeric_limits<std::int16_t>::min() &&
          whole <= std::numeric_limits<std::int16_t>::max()))
        throw Failure(QStringLiteral("Overflow"));
    return static_cast<std::int16_t>(whole);
}

}  // namespace velmora

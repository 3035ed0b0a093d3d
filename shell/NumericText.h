#pragma once

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

namespace velmora {

// A stored text read as a number, the way values from the settings store have always been
// read. Numeric are a decimal number with an optional sign, fraction and exponent (the
// decimal point is "." or the locale's own) and the hexadecimal and octal forms "&H1F" and
// "&O17" of up to 32 bits, which read as two's complement in the narrower of 16 and 32 bits
// that holds them ("&HFFFF" is -1); white space around the number is ignored. "nan", "inf",
// "0x1F", "" and all other text are no number.
class NumericText {
public:
    explicit NumericText(const QString& text, const QLocale& locale = QLocale::system());

    bool isNumeric() const { return value_.has_value(); }

    // The number; throws Failure ("Type mismatch") for text that is no number.
    double value() const;

    // The whole number nearest to the value, an exact half going to the even one (0.5 → 0,
    // 1.5 → 2, 2.5 → 2, -0.5 → 0). Throws Failure: "Type mismatch" for text that is no
    // number, "Overflow" outside -32768 to 32767.
    std::int16_t toInteger() const;

private:
    QString text_;
    std::optional<double> value_;
};

}  // namespace velmora

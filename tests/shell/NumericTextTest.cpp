#include "TestSupport.h"
#include "shell/Failure.h"
#include "shell/NumericText.h"

#include <gtest/gtest.h>
#include <QLocale>
#include <cstdint>

namespace velmora {
namespace {

TEST(NumericText, ReadsNumbersAsTheStoreAlwaysDidAndRoundsTiesToEven) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    struct Row {
        const char* text;
        const QLocale& locale;
        std::optional<std::int16_t> whole;  // nothing: no number
    };
    const Row rows[] = {
        {"0.5", english, 0},        {"1.5", english, 2},        {"2.5", english, 2},
        {"-0.5", english, 0},       {"-1.5", english, -2},      {" 2.0 ", english, 2},
        {".5", english, 0},         {"+1.", english, 1},        {"25E-1", english, 2},
        {"2,5", german, 2},         {"3.5", german, 4},         {"&H1", english, 1},
        {"&hFFFF", english, -1},    {"&H7fff", english, 32767}, {"&O17", english, 15},
        {"&o177777", english, -1},  {"nan", english, {}},       {"inf", english, {}},
        {"-Infinity", english, {}}, {"0x1F", english, {}},      {"&H", english, {}},
        {"&O8", english, {}},       {"1,5", english, {}},       {"1e", english, {}},
        {"", english, {}},          {"abc", english, {}},       {"1 2", english, {}},
    };
    for (const Row& row : rows) {
        const NumericText number(QLatin1String(row.text), row.locale);
        ASSERT_EQ(number.isNumeric(), row.whole.has_value()) << row.text;
        if (row.whole)
            EXPECT_EQ(number.toInteger(), *row.whole) << row.text;
        else
            EXPECT_THROW(number.toInteger(), Failure) << row.text;
    }
    // Numbers that are too large for a whole number, and 32-bit hexadecimal ones.
    EXPECT_EQ(NumericText(QStringLiteral("&H10000")).value(), 65536.0);
    EXPECT_EQ(NumericText(QStringLiteral("&HFFFFFFFF")).value(), -1.0);
    EXPECT_FALSE(NumericText(QStringLiteral("&H100000000")).isNumeric());
    EXPECT_FALSE(NumericText(QStringLiteral("1e400")).isNumeric());
    for (const char* big : {"32767.5", "-32769", "1e10", "&H10000"}) {
        try {
            NumericText(QLatin1String(big)).toInteger();
            ADD_FAILURE() << big;
        } catch (const Failure& failure) {
            EXPECT_STREQ(failure.what(), "Overflow");
        }
    }
}

}  // namespace
}  // namespace velmora

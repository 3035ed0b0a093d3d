#include "TestSupport.h"
#include "coversheet/DateWording.h"

#include <gtest/gtest.h>

namespace velmora::coversheet {
namespace {

TEST(fnDay, GivesEveryDayItsEnglishOrdinal) {
    const std::map<int, QString> special = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},   {11, "11th"},
                                            {12, "12th"}, {13, "13th"}, {21, "21st"}, {22, "22nd"},
                                            {23, "23rd"}, {31, "31st"}};
    for (int day = 1; day <= 31; ++day) {
        const auto it = special.find(day);
        const QString expected =
            it != special.end() ? it->second : QString::number(day) + QStringLiteral("th");
        EXPECT_EQ(fnDay(QString::number(day)), expected) << day;
    }
}

TEST(fnDay, TrimsSpacesAndRefusesEverythingElse) {
    EXPECT_EQ(fnDay(QStringLiteral(" 7 ")), QStringLiteral("7th"));
    for (const char* other : {"07", "0", "32", "", " ", "1st", "abc", "-1", "3.0", "+3"})
        EXPECT_EQ(fnDay(QLatin1String(other)), QString()) << other;
}

TEST(DateText, WordsTheChosenDateWithOneSpaceEachSide) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(DateText(QDate(2026, 12, 6), english),
              QStringLiteral(" Sunday, December 6th, 2026 "));
    EXPECT_EQ(DateText(QDate(2026, 12, 7), english),
              QStringLiteral(" Monday, December 7th, 2026 "));
    EXPECT_EQ(DateText(QDate(2027, 2, 22), english),
              QStringLiteral(" Monday, February 22nd, 2027 "));
    EXPECT_EQ(DateText(QDate(1999, 1, 1), english), QStringLiteral(" Friday, January 1st, 1999 "));
    EXPECT_EQ(DayText(QDate(2026, 12, 13)), QStringLiteral(" 13th "));
}

TEST(DateText, NamesAreInProperCaseWhereTheLocaleWritesThemLowerCase) {
    const QLocale french(QLocale::French, QLocale::France);
    EXPECT_EQ(DateText(QDate(2026, 12, 7), french), QStringLiteral(" Lundi, Décembre 7th, 2026 "));
}

TEST(DateSetting, RoundTripsExactlyAndStillReadsTheShortForm) {
    for (const QDate date : {QDate(2026, 12, 6), QDate(1926, 12, 6), QDate(2000, 2, 29)})
        EXPECT_EQ(DateFromSetting(DateToSetting(date)), date);
    EXPECT_EQ(DateToSetting(QDate(2026, 12, 6)), QStringLiteral("2026-12-06"));
    EXPECT_EQ(DateFromSetting(QStringLiteral("12/6/26")), QDate(2026, 12, 6));
    EXPECT_EQ(DateFromSetting(QStringLiteral("1/31/2027")), QDate(2027, 1, 31));
    for (const char* bad : {"", "abc", "13/45/26", "2026-02-30"})
        EXPECT_FALSE(DateFromSetting(QLatin1String(bad)).has_value()) << bad;
}

}  // namespace
}  // namespace velmora::coversheet

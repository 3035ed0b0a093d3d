#include "TestSupport.h"
#include "coversheet/DateWording.h"
#include "coversheet/StoredDate.h"

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

TEST(DateText, ProperCaseStartsAWordOnlyAfterWhiteSpace) {
    EXPECT_EQ(ProperCase(QStringLiteral("segunda-feira, DEZEMBRO ")),
              QStringLiteral("Segunda-feira, Dezembro "));
    EXPECT_EQ(ProperCase(QStringLiteral("l'été\tvendredi\n(mai) 1er")),
              QStringLiteral("L'été\tVendredi\n(mai) 1er"));
    const QLocale portuguese(QLocale::Portuguese, QLocale::Brazil);
    EXPECT_EQ(DateText(QDate(2026, 12, 7), portuguese),
              QStringLiteral(" Segunda-feira, Dezembro 7th, 2026 "));
}

TEST(StoredDate, WritesIsoAndReadsTheShortFormsOfOlderStores) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const QLocale british(QLocale::English, QLocale::UnitedKingdom);
    const QLocale bulgarian(QLocale::Bulgarian, QLocale::Bulgaria);
    const QLocale arabic(QLocale::Arabic, QLocale::SaudiArabia);
    const QLocale c = QLocale::c();
    struct Row {
        const QLocale& locale;
        QString text;
        QDate date;  // invalid: not read
    };
    const Row rows[] = {
        {c, "2026-12-06", {2026, 12, 6}},
        {c, "0001-01-01", {1, 1, 1}},  // read; the date pickers refuse it
        {c, " 7 Dec 2026 ", {2026, 12, 7}},
        {c, "7 december 26", {2026, 12, 7}},
        {c, "12/6/26", {2026, 12, 6}},  // the US form
        {c, "1/31/2027", {2027, 1, 31}},
        {german, "07.12.26", {2026, 12, 7}},
        {german, "7.12.1926", {1926, 12, 7}},
        {german, "12/31/26", {2026, 12, 31}},
        {british, "12/6/26", {2026, 6, 12}},  // the locale's own form first
        {british, "12/31/2026", {2026, 12, 31}},
        {bulgarian, bulgarian.toString(QDate(2026, 12, 7), QLocale::ShortFormat), {2026, 12, 7}},
        {arabic, arabic.toString(QDate(2026, 12, 7), QLocale::ShortFormat), {2026, 12, 7}},
        // Two-digit years lie in 1930 to 2029.
        {c, "1/1/00", {2000, 1, 1}},
        {c, "2/29/00", {2000, 2, 29}},
        {c, "12/31/29", {2029, 12, 31}},
        {c, "1/1/30", {1930, 1, 1}},
        {c, "1/1/99", {1999, 1, 1}},
        {c, "", {}},
        {c, "abc", {}},
        {c, "13/45/26", {}},
        {c, "2026-02-30", {}},
        {c, "2/29/2100", {}},
        {c, "1/1/123", {}},
        {german, "07.12", {}},
    };
    for (const Row& row : rows) {
        const auto read = StoredDate(row.locale).read(row.text);
        EXPECT_EQ(read.value_or(QDate()), row.date) << row.locale.name() << " " << row.text;
    }
    for (const QDate date : {QDate(2026, 12, 6), QDate(1601, 1, 1), QDate(9999, 12, 31)})
        EXPECT_EQ(StoredDate(german).read(StoredDate::write(date)), date);
    EXPECT_EQ(StoredDate::write(QDate(2026, 12, 6)), QStringLiteral("2026-12-06"));
}

}  // namespace
}  // namespace velmora::coversheet

// Fax numbers as typed, checked from a region: what libphonenumber says of them, what goes to the
// server, several numbers in one field, and the same number written differently.
#include "recipients/numbers/FaxNumbers.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(FaxNumbers, ValidAndInvalidNumbersForTheRegionAreToldInPlainWords) {
    const CheckedNumber us = CheckFaxNumber(QStringLiteral("(201) 555-0142"), QStringLiteral("US"));
    EXPECT_TRUE(us.valid);
    EXPECT_EQ(us.international, QStringLiteral("+1 201-555-0142"));
    EXPECT_EQ(us.dialled, QStringLiteral("2015550142"));
    EXPECT_TRUE(us.warning.isEmpty()) << us.warning;

    const CheckedNumber de = CheckFaxNumber(QStringLiteral("030 1234567"), QStringLiteral("de"));
    EXPECT_TRUE(de.valid);
    EXPECT_EQ(de.international, QStringLiteral("+49 30 1234567"));
    EXPECT_TRUE(de.warning.isEmpty()) << de.warning;

    // A number with its country code is the same from anywhere.
    const CheckedNumber abroad =
        CheckFaxNumber(QStringLiteral("+1 201 555 0142"), QStringLiteral("DE"));
    EXPECT_TRUE(abroad.valid);
    EXPECT_EQ(abroad.international, QStringLiteral("+1 201-555-0142"));
    EXPECT_EQ(abroad.dialled, QStringLiteral("+12015550142"));

    // The fictional 555 area code is no area code libphonenumber knows.
    const CheckedNumber fictional =
        CheckFaxNumber(QStringLiteral("555-014-2278"), QStringLiteral("US"));
    EXPECT_FALSE(fictional.valid);
    EXPECT_EQ(fictional.international, QStringLiteral("+1 555-014-2278"));
    EXPECT_EQ(fictional.warning, QStringLiteral("not a valid number for US"));

    EXPECT_EQ(CheckFaxNumber(QStringLiteral("12"), QStringLiteral("US")).warning,
              QStringLiteral("too short"));
    EXPECT_EQ(CheckFaxNumber(QStringLiteral("555-0100"), QStringLiteral("US")).warning,
              QStringLiteral("a local number: add the area code"));
    // A German mobile number is valid, but seldom a fax.
    const CheckedNumber mobile =
        CheckFaxNumber(QStringLiteral("0151 23456789"), QStringLiteral("DE"));
    EXPECT_TRUE(mobile.valid);
    EXPECT_TRUE(mobile.warning.contains(QStringLiteral("mobile"))) << mobile.warning;
    // Without a region only the country code tells where a number is.
    const CheckedNumber nowhere = CheckFaxNumber(QStringLiteral("2015550142"), QString());
    EXPECT_FALSE(nowhere.valid);
    EXPECT_TRUE(nowhere.warning.contains(QStringLiteral("country code"))) << nowhere.warning;
    EXPECT_FALSE(CheckFaxNumber(QStringLiteral("fax them"), QStringLiteral("US")).valid);
}

TEST(FaxNumbers, WhatIsDialledKeepsPausesAndPrefixesAndDropsExtensions) {
    // A prefix for an outside line before pauses: the number after it is checked.
    const CheckedNumber outside =
        CheckFaxNumber(QStringLiteral("9,,(201) 555-0142"), QStringLiteral("US"));
    EXPECT_EQ(outside.dialled, QStringLiteral("9,,2015550142"));
    EXPECT_TRUE(outside.valid) << outside.warning;
    EXPECT_EQ(outside.international, QStringLiteral("+1 201-555-0142"));

    // Digits after pauses (a fax that answers on an extension).
    const CheckedNumber after =
        CheckFaxNumber(QStringLiteral("+49 (30) 123-4567,,22"), QStringLiteral("DE"));
    EXPECT_EQ(after.dialled, QStringLiteral("+49301234567,,22"));
    EXPECT_TRUE(after.valid) << after.warning;

    // Keypad letters are digits; an extension written out is not dialled, and said so.
    EXPECT_EQ(CheckFaxNumber(QStringLiteral("1-800-FLOWERS"), QStringLiteral("US")).dialled,
              QStringLiteral("18003569377"));
    const CheckedNumber extension =
        CheckFaxNumber(QStringLiteral("201 555 0142 ext. 22"), QStringLiteral("US"));
    EXPECT_EQ(extension.dialled, QStringLiteral("2015550142"));
    EXPECT_TRUE(extension.warning.contains(QStringLiteral("22"))) << extension.warning;
}

TEST(FaxNumbers, SeveralNumbersAreSplitAtSemicolonsAndLineBreaksNotCommas) {
    const std::vector<QString> numbers =
        SplitNumbers(QStringLiteral(" 201 555 0142; 9,2015550143\n\n+49 30 1234567\r\n;  ;"));
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers[0], QStringLiteral("201 555 0142"));
    EXPECT_EQ(numbers[1], QStringLiteral("9,2015550143"));
    EXPECT_EQ(numbers[2], QStringLiteral("+49 30 1234567"));
    EXPECT_TRUE(SplitNumbers(QStringLiteral(" ;\n")).empty());
}

TEST(FaxNumbers, TwoNumbersTypedAsOneAreToldFromOneNumberWithSpacesOrPauses) {
    const QString us = QStringLiteral("US");
    EXPECT_TRUE(LooksLikeTwoNumbers(QStringLiteral("555-0100, 555-0200"), us));
    EXPECT_TRUE(LooksLikeTwoNumbers(QStringLiteral("5550100 5550200"), us));
    EXPECT_TRUE(LooksLikeTwoNumbers(QStringLiteral("201 555 0142, 201 555 0143"), us));
    EXPECT_TRUE(LooksLikeTwoNumbers(QStringLiteral("(201) 555-0142 (201) 555-0143"), us));

    EXPECT_FALSE(LooksLikeTwoNumbers(QStringLiteral("(201) 555-0142"), us));
    EXPECT_FALSE(LooksLikeTwoNumbers(QStringLiteral("555 0100"), us));
    EXPECT_FALSE(LooksLikeTwoNumbers(QStringLiteral("9,2015550142"), us));
    EXPECT_FALSE(LooksLikeTwoNumbers(QStringLiteral("2015550142,,22"), us));
    EXPECT_FALSE(LooksLikeTwoNumbers(QStringLiteral("030 123 4567"), QStringLiteral("DE")));
    EXPECT_FALSE(LooksLikeTwoNumbers(QStringLiteral("123 4567"), QStringLiteral("DE")));
}

TEST(FaxNumbers, TheSameNumberIsKnownInItsDifferentForms) {
    const QString us = QStringLiteral("US");
    const QString de = QStringLiteral("DE");
    EXPECT_TRUE(
        SameNumber(QStringLiteral("(201) 555-0142"), QStringLiteral("+1 201 555 0142"), us));
    EXPECT_TRUE(SameNumber(QStringLiteral("9,2015550142"), QStringLiteral("201.555.0142"), us));
    EXPECT_TRUE(SameNumber(QStringLiteral("030 1234567"), QStringLiteral("+49 30 1234567"), de));
    EXPECT_TRUE(SameNumber(QStringLiteral("0049 30 1234567"), QStringLiteral("030/123 45 67"), de));

    EXPECT_FALSE(SameNumber(QStringLiteral("2015550142"), QStringLiteral("2015550143"), us));
    // Without the area code it might be another number.
    EXPECT_FALSE(SameNumber(QStringLiteral("555-0142"), QStringLiteral("201 555 0142"), us));
    // The same digits dialled from elsewhere are another country's.
    EXPECT_FALSE(SameNumber(QStringLiteral("030 1234567"), QStringLiteral("+1 030 1234567"), de));
}

TEST(FaxNumbers, TheRegionSetFollowsTheLocaleUntilChosen) {
    SetFaxRegion(QStringLiteral(" de "));
    EXPECT_EQ(FaxRegion(), QStringLiteral("DE"));
    SetFaxRegion(QString());
    EXPECT_EQ(FaxRegion(), DefaultRegion());
    EXPECT_EQ(DefaultRegion().size(), 2);
}

}  // namespace
}  // namespace velmora

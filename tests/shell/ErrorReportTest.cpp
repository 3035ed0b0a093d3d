#include "TestSupport.h"
#include "shell/ErrorReport.h"
#include "shell/Failure.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/ui/ErrorBox.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(ErrorReport, ComposesTheTextCharacterForCharacter) {
    EXPECT_EQ(ComposeErrorReport(QLatin1String(location::Form1_PushButton6_Click), 130,
                                 QStringLiteral("Bookmark 'bkFor' not found")),
              QStringLiteral("Bookmark 'bkFor' not found\r\n"
                             "in Velmora2021/08/31.Form1.PushButton6_Click at line 130\r\r"
                             "Please email screenshot of this message to "
                             "support@velmora.example"));
}

TEST(ErrorReport, ShowsAWarningBoxTitledApplicationError) {
    test::MessageRecorder boxes;
    ShowErrorReport(QLatin1String(location::Form2_RedrawImage), 104, QStringLiteral("x"));
    ASSERT_EQ(boxes.all().size(), 1u);
    EXPECT_EQ(boxes.all()[0].title, QStringLiteral("Application Error"));
    EXPECT_EQ(boxes.all()[0].icon, MessageIcon::Warning);
    EXPECT_EQ(boxes.all()[0].buttons, MessageButtons::Ok);
}

TEST(ErrorReport, LocationTextsEndInOneSpaceAndKeepTheirCase) {
    for (const char* text : {location::Form1_Form_Load, location::Form1_PushButton2_Click,
                             location::Form1_PushButton3_Click, location::Form1_PushButton6_Click,
                             location::Form1_SaveDocAsJPG, location::Form2_Form_Activate,
                             location::Form2_Form_Load, location::Form2_Form_QueryUnload,
                             location::Form2_PushButton1_Click, location::Form2_PushButton2_Click,
                             location::Form2_PushButton6_Click, location::Form2_PushButton8_Click,
                             location::Form2_picture1_MouseDown, location::Form2_picture1_MouseMove,
                             location::Form2_Picture1_MouseUp, location::Form2_RedrawImage}) {
        const QString location = QLatin1String(text);
        EXPECT_TRUE(location.startsWith(QStringLiteral("in Velmora2021/08/31.Form")));
        EXPECT_TRUE(location.endsWith(QLatin1Char(' ')) && !location.endsWith(QStringLiteral("  ")))
            << text;
    }
    EXPECT_STREQ(location::Form2_picture1_MouseMove,
                 "in Velmora2021/08/31.Form2.picture1_MouseMove ");
    EXPECT_STREQ(location::Form2_Picture1_MouseUp, "in Velmora2021/08/31.Form2.Picture1_MouseUp ");
}

TEST(Procedure, ReportsAFailedStepWithItsNumberAndCarriesOn) {
    test::MessageRecorder boxes;
    std::vector<int> ran;
    Procedure proc(location::Form1_PushButton2_Click);
    EXPECT_TRUE(proc.step(100, [&] { ran.push_back(100); }));
    EXPECT_FALSE(proc.step(102, [&] { throw Failure(QStringLiteral("Disk full")); }));
    EXPECT_FALSE(proc.step(104, [&] { throw std::runtime_error("second"); }));
    EXPECT_FALSE(proc.step(106, [&] { throw 42; }));
    proc.step(108, [&] { ran.push_back(108); });

    EXPECT_EQ(ran, (std::vector<int>{100, 108}));
    const auto reports = boxes.errorReports();
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].location, QLatin1String(location::Form1_PushButton2_Click));
    EXPECT_EQ(reports[0].step, 102);
    EXPECT_EQ(reports[0].description, QStringLiteral("Disk full"));
    EXPECT_EQ(reports[1].step, 104);
    EXPECT_EQ(reports[2].description, QStringLiteral("Unknown error"));
    EXPECT_EQ(proc.marker(), 108);
}

TEST(Procedure, AFailedTestTakesTheAnswerItsCallerChose) {
    test::MessageRecorder boxes;
    Procedure proc(location::Form1_PushButton6_Click);
    const auto failing = []() -> bool { throw Failure(QStringLiteral("no")); };
    EXPECT_TRUE(proc.test(124, failing, true));
    EXPECT_FALSE(proc.test(202, failing, false));
    EXPECT_TRUE(proc.test(
        148, [] { return true; }, false));
    ASSERT_EQ(boxes.errorReports().size(), 2u);
    EXPECT_EQ(boxes.errorReports()[1].step, 202);
}

TEST(Procedure, NonAsciiDescriptionsSurvive) {
    test::MessageRecorder boxes;
    Procedure(location::Form1_Form_Load).step(130, [] {
        throw Failure(QStringLiteral("Größe €"));
    });
    EXPECT_EQ(boxes.errorReports().at(0).description, QStringLiteral("Größe €"));
}

}  // namespace
}  // namespace velmora

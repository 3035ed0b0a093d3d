// Start-up, focus and pointer behaviour of the editor window.
#include "EditorFixture.h"
#include "shell/Locations.h"
#include "shell/SettingsStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace velmora::test {
namespace {

using StartUpTest = EditorTest;

TEST_F(StartUpTest, UnreadableDateIsReportedOncePerPickerAndTheLoadGoesOn) {
    SaveSetting("dtpDate", "xyz");
    SaveSetting("txtFor", "Martin Hale");
    SaveSetting("TabControl1", "3");
    Form1& editor = openEditor();

    const auto reports = messages_.errorReports();
    ASSERT_EQ(reports.size(), 4u);
    for (const auto& report : reports) {
        EXPECT_EQ(report.location, QLatin1String(location::Form1_Form_Load));
        EXPECT_EQ(report.step, 130);
        EXPECT_EQ(report.description, QStringLiteral("Type mismatch: 'xyz' is not a date"));
    }
    EXPECT_EQ(control<QLineEdit>("txtFor_3")->text(), QStringLiteral("Martin Hale"));
    EXPECT_EQ(editor.tabControl()->currentIndex(), 3);
    EXPECT_TRUE(loaded_);
}

TEST_F(StartUpTest, StoredTickThatIsNoNumberIsIgnoredSilently) {
    SaveSetting("CheckRecycle", "abc");
    SaveSetting("CheckReply", "1");
    openEditor();
    EXPECT_TRUE(messages_.all().empty());
    EXPECT_FALSE(control<QCheckBox>("CheckRecycle_0")->isChecked());
    EXPECT_TRUE(control<QCheckBox>("CheckReply_1")->isChecked());
}

TEST_F(StartUpTest, UnreadableTabAndTickAreReportedAtTheirSteps) {
    SaveSetting("CheckUrgent", "7");
    SaveSetting("TabControl1", "Standard");
    Form1& editor = openEditor();
    std::vector<int> steps;
    for (const auto& report : messages_.errorReports()) steps.push_back(report.step);
    EXPECT_EQ(steps, (std::vector<int>{224, 224, 228}));
    EXPECT_EQ(editor.tabControl()->currentIndex(), 0);
}

TEST_F(StartUpTest, WithoutTheOfficeTheEditorStaysClosed) {
    officeThere_ = false;
    Form1 editor(environment());
    EXPECT_FALSE(editor.Form_Load());
    EXPECT_FALSE(editor.isVisible());
}

TEST_F(StartUpTest, CaptionIconAndOneStartInAHundredVisitsTheWebSite) {
    Form1& editor = openEditor();
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Velmora"));
    const QList<QSize> sizes = editor.windowIcon().availableSizes();
    for (const QSize size : {QSize(32, 32), QSize(48, 48), QSize(128, 128), QSize(256, 256)})
        EXPECT_TRUE(sizes.contains(size)) << size.width();
    EXPECT_TRUE(opened_.empty());

    visitNumber_ = 7;
    openEditor();
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], QUrl(QStringLiteral("https://velmora.example/")));
}

TEST_F(StartUpTest, SkinInTheProgramFolderIsLaidOverTheWindow) {
    QDir(programFolder_).mkpath("x");
    QFile skin(programFolder_ + "/x/o.cjs");
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: #123456; }");
    skin.close();
    Form1& editor = openEditor();
    qApp->setStyleSheet({});
    EXPECT_EQ(editor.styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    EXPECT_EQ(control("Frame6_0")->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::Button));
    EXPECT_TRUE(messages_.all().empty());
}

TEST_F(StartUpTest, FocusMovesThroughEachTabInItsOwnOrder) {
    Form1& editor = openEditor();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    const std::vector<std::vector<QString>> orders = {
        {"txtFor_0", "txtFaxFor_0", "txtFrom_0", "txtSubj_0", "txtMsg_0", "txtFaxFrom_0"},
        {"txtFor_1", "txtFaxFor_1", "txtFrom_1", "txtSubj_1", "txtMsg_1", "txtCC_0", "txtAddress",
         "CheckUrgent_0", "CheckReview_0", "CheckComm_0", "CheckReply_0", "CheckRecycle_0"},
        {"txtFor_2", "txtFaxFor_2", "txtFrom_2", "txtSubj_2", "txtMsg_2", "txtFaxFrom_1", "txtCC_1",
         "txtPhoneFor_0", "txtOrgName", "txtLocation", "txtCity", "txtPhone_0", "txtWWW",
         "CheckUrgent_1", "CheckReview_1", "CheckComm_1", "CheckReply_1", "CheckRecycle_1"},
        {"txtFor_3", "txtFaxFor_3", "txtFrom_3", "txtSubj_3", "txtMsg_3", "txtFaxFrom_2",
         "txtPhone_1", "txtPhoneFor_1"},
    };
    // The tab strip is part of the tab control.
    const auto focusName = [] {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->objectName().startsWith("qt_")) focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    };
    for (int tab = 0; tab < 4; ++tab) {
        SCOPED_TRACE(tab);
        editor.tabControl()->setCurrentIndex(tab);
        control(QStringLiteral("dtpDate_%1").arg(tab))->setFocus(Qt::TabFocusReason);
        std::vector<QString> visited;
        for (size_t i = 0; i < orders[tab].size() + 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(focusName());
        }
        std::vector<QString> expected = orders[tab];
        expected.insert(expected.end(),
                        {"PushButton6", "TabControl1", "PushButton2", "PushButton3"});
        EXPECT_EQ(visited, expected);
    }
}

TEST_F(StartUpTest, TextFieldSelectsItsWholeTextOnFocus) {
    Form1& editor = openEditor();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    editor.PushButton3_Click();
    auto* line = control<QLineEdit>("txtFor_0");
    line->setFocus(Qt::TabFocusReason);
    QTest::qWait(10);
    EXPECT_EQ(line->selectedText(), QStringLiteral("Martin Hale"));

    auto* message = control<QPlainTextEdit>("txtMsg_0");
    QTest::mouseClick(message->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::qWait(10);
    EXPECT_EQ(message->textCursor().selectedText(),
              QStringLiteral("Did you eat that cheeseburger yet?"));
}

TEST_F(StartUpTest, PointerFollowsTheRulesAndNeverReplacesTheHourglass) {
    QImage hand(32, 32, QImage::Format_ARGB32);
    hand.fill(Qt::red);
    ASSERT_TRUE(hand.save(programFolder_ + "/HAND-M.CUR", "PNG"));
    Form1& editor = openEditor();
    EXPECT_TRUE(messages_.all().empty());
    const auto moveOver = [](QWidget* widget) {
        QTest::mouseMove(widget, QPoint(widget->width() / 2, widget->height() / 2));
    };

    moveOver(control("PushButton6"));
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Custom);
    EXPECT_EQ(editor.cursor().pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
    moveOver(control("Frame2")->findChild<QLabel*>());  // labels leave it as is
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Custom);
    moveOver(control("txtSubj_0"));
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Default);
    moveOver(control("PushButton3"));
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Custom);
    QTest::mouseMove(control("Frame2"), QPoint(5, 440));  // the frame's own background
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Default);
    moveOver(editor.tabControl()->tabBar());
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Default);
    moveOver(control("PushButton2"));
    moveOver(editor.tabControl()->tabBar());
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Custom);

    editor.setBusyPointer(true);
    moveOver(control("dtpDate_0"));
    moveOver(control("PushButton6"));
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Hourglass);
    EXPECT_EQ(editor.cursor().shape(), Qt::WaitCursor);
    editor.setBusyPointer(false);
    moveOver(control("dtpDate_0"));
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Default);
    moveOver(control("PushButton6"));
    EXPECT_EQ(editor.pointer().pointer(), WindowPointer::Custom);
}

TEST_F(StartUpTest, ClosingTheEditorEndsTheProgramWhileOtherWindowsAreOpen) {
    Form1& editor = openEditor();
    QWidget other;  // would keep the program running on its own
    other.show();
    QTimer::singleShot(0, &editor, [&] { editor.close(); });
    QTimer::singleShot(3000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

}  // namespace
}  // namespace velmora::test

// Start-up, focus and pointer behaviour of the editor window.
#include "EditorFixture.h"
#include "editor/FieldGroup.h"
#include "shell/Locations.h"
#include "shell/SettingsStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

namespace velmora::test {
namespace {

using StartUpTest = EditorTest;

TEST_F(StartUpTest, UnreadableOrUnshowableDateIsReportedOncePerPickerAndTheLoadGoesOn) {
    SaveSetting("txtFor", "Martin Hale");
    SaveSetting("TabControl1", "3");
    const std::pair<const char*, const char*> dates[] = {
        {"xyz", "Type mismatch: 'xyz' is not a date"},
        {"0001-01-01",
         "Invalid property value: 0001-01-01 is not between 1601-01-01 and "
         "9999-12-31"},
        {"1600-12-31",
         "Invalid property value: 1600-12-31 is not between 1601-01-01 and "
         "9999-12-31"},
    };
    for (const auto& [stored, description] : dates) {
        SaveSetting("dtpDate", stored);
        messages_.clear();
        Form1& editor = openEditor();
        const auto reports = messages_.errorReports();
        ASSERT_EQ(reports.size(), 4u) << stored;
        for (const auto& report : reports) {
            EXPECT_EQ(report.location, QLatin1String(location::Form1_Form_Load));
            EXPECT_EQ(report.step, 130);
            EXPECT_EQ(report.description, QLatin1String(description));
        }
        // The picker is left at today and the stored text stays as it was.
        EXPECT_EQ(control<QDateEdit>("dtpDate_2")->date(), QDate::currentDate()) << stored;
        EXPECT_EQ(GetSetting("dtpDate"), QLatin1String(stored));
        EXPECT_EQ(control<QLineEdit>("txtFor_3")->text(), QStringLiteral("Martin Hale"));
        EXPECT_EQ(editor.tabControl()->currentIndex(), 3);
        EXPECT_TRUE(loaded_);
    }
    // The whole range the pickers take.
    for (const QDate date : {QDate(1601, 1, 1), QDate(9999, 12, 31)}) {
        SaveSetting("dtpDate", date.toString(Qt::ISODate));
        messages_.clear();
        openEditor();
        EXPECT_TRUE(messages_.all().empty());
        EXPECT_EQ(control<QDateEdit>("dtpDate_0")->date(), date);
        EXPECT_EQ(control<QDateEdit>("dtpDate_3")->date(), date);
    }
}

// The same stored text under a tick key and under "TabControl1": numbers are rounded to a
// whole number, ties to even; text that is no number leaves a tick box alone silently and
// is reported for the tab strip.
TEST_F(StartUpTest, StoredTicksAndTabAreReadAsRoundedNumbers) {
    struct Row {
        const char* stored;
        Qt::CheckState tick;
        int tab;
        std::vector<int> reportedSteps;
    };
    const Row rows[] = {
        {"1", Qt::Checked, 1, {}},
        {"0.5", Qt::Unchecked, 0, {}},
        {"1.5", Qt::PartiallyChecked, 2, {}},
        {"2.5", Qt::PartiallyChecked, 2, {}},
        {"-0.5", Qt::Unchecked, 0, {}},
        {"2.0", Qt::PartiallyChecked, 2, {}},
        {" 1E0 ", Qt::Checked, 1, {}},
        {"&H1", Qt::Checked, 1, {}},
        {"&O2", Qt::PartiallyChecked, 2, {}},
        {"3", Qt::Unchecked, 3, {224, 224}},
        {"nan", Qt::Unchecked, 0, {228}},
        {"inf", Qt::Unchecked, 0, {228}},
        {"abc", Qt::Unchecked, 0, {228}},
        {"7", Qt::Unchecked, 0, {224, 224, 228}},
        {"1e9", Qt::Unchecked, 0, {224, 224, 228}},
    };
    for (const Row& row : rows) {
        SaveSetting("CheckUrgent", row.stored);
        SaveSetting("TabControl1", row.stored);
        messages_.clear();
        Form1& editor = openEditor();
        std::vector<int> steps;
        for (const auto& report : messages_.errorReports()) steps.push_back(report.step);
        EXPECT_EQ(steps, row.reportedSteps) << row.stored;
        EXPECT_EQ(messages_.all().size(), steps.size()) << row.stored;
        EXPECT_EQ(control<QCheckBox>("CheckUrgent_0")->checkState(), row.tick) << row.stored;
        EXPECT_EQ(control<QCheckBox>("CheckUrgent_1")->checkState(), row.tick) << row.stored;
        EXPECT_EQ(editor.tabControl()->currentIndex(), row.tab) << row.stored;
    }
}

TEST_F(StartUpTest, GreyedBoxIsTickedAndClearedByTheUsersClicks) {
    SaveSetting("CheckReview", "2");
    SaveSetting("TabControl1", "2");
    openEditor();
    auto* professional = control<QCheckBox>("CheckReview_1");
    auto* contemporary = control<QCheckBox>("CheckReview_0");
    ASSERT_EQ(professional->checkState(), Qt::PartiallyChecked);
    for (const char* expected : {"1", "0", "1", "0"}) {
        QTest::mouseClick(professional, Qt::LeftButton);
        EXPECT_EQ(GetSetting("CheckReview"), QLatin1String(expected));
        EXPECT_EQ(TickValue(contemporary->checkState()), QString(expected).toInt());
    }
    editor_->tabControl()->setCurrentIndex(1);
    QTest::mouseClick(contemporary, Qt::LeftButton);
    QTest::mouseClick(contemporary, Qt::LeftButton);
    EXPECT_EQ(GetSetting("CheckReview"), QStringLiteral("0"));
    EXPECT_EQ(professional->checkState(), Qt::Unchecked);
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
    // A folder of the skin file's name is no skin file.
    QDir(programFolder_).mkpath("x/o.cjs");
    Form1& plain = openEditor();
    EXPECT_TRUE(messages_.all().empty());
    EXPECT_TRUE(plain.styleSheet().isEmpty() && qApp->styleSheet().isEmpty());
    EXPECT_EQ(control("Frame6_0")->palette().color(QPalette::Window), QColor(Qt::white));

    QDir(programFolder_ + "/x/o.cjs").removeRecursively();
    QFile skin(programFolder_ + "/x/o.cjs");
    ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
    skin.write("QPushButton { color: #123456; }");
    skin.close();
    Form1& editor = openEditor();
    // The captions keep their font, so none is cut off.
    for (const QLabel* label : editor.findChild<QWidget*>("ClientArea")->findChildren<QLabel*>()) {
        EXPECT_TRUE(label->font().bold()) << label->text().toStdString();
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    EXPECT_EQ(qApp->styleSheet(), QStringLiteral("QPushButton { color: #123456; }"));
    EXPECT_EQ(control<QPushButton>("PushButton6")->palette().color(QPalette::ButtonText),
              QColor(0x12, 0x34, 0x56));
    qApp->setStyleSheet({});
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(control("Frame6_0")->palette().color(QPalette::Window), buttonFace);
    EXPECT_TRUE(messages_.all().empty());
    // No white is left on a page around its frame.
    QTabWidget* tabs = editor.tabControl();
    for (int tab = 0; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        QWidget* page = tabs->currentWidget();
        const QRect frame = page->findChild<QFrame*>()->geometry();
        const QImage picture = page->grab().toImage();
        int white = 0;
        for (int y = 0; y < page->height(); ++y)
            for (int x = 0; x < page->width(); ++x)
                if (!frame.contains(x, y) && picture.pixelColor(x, y) == Qt::white) ++white;
        EXPECT_EQ(white, 0) << tab;
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

    // Typing, away to another program and back: the next key goes on where the caret was.
    message->moveCursor(QTextCursor::End);
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(message, &away);
    QApplication::sendEvent(message, &back);
    QTest::qWait(10);
    EXPECT_FALSE(message->textCursor().hasSelection());
    QTest::keyClicks(message, QStringLiteral(" X"));
    EXPECT_EQ(message->toPlainText(), QStringLiteral("Did you eat that cheeseburger yet? X"));
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

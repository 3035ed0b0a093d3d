// The editor from the keyboard, for a screen reader and under any desktop theme.
#include "EditorFixture.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/WordEngine.h"
#include "shell/Locations.h"
#include "shell/SettingsStore.h"

#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <cmath>
#include <map>

namespace velmora::test {
namespace {

class EditorKeyboardTest : public EditorTest {
protected:
    Form1& openActiveEditor() {
        Form1& editor = openEditor();
        editor.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
        return editor;
    }

    // The control that has the focus, by its designed name (a date picker's inner line and
    // the tab control's strip count as the control they belong to).
    static QString focusName() {
        QWidget* focus = QApplication::focusWidget();
        while (focus && (focus->objectName().startsWith("qt_") || focus->objectName().isEmpty()))
            focus = focus->parentWidget();
        return focus ? focus->objectName() : QString();
    }

    static void press(int key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
};

TEST_F(EditorKeyboardTest, TabWalksTheVisibleTabAndTheCommandsRoundInBothDirections) {
    Form1& editor = openActiveEditor();
    const std::vector<std::vector<QString>> fields = {
        {"dtpDate_0", "txtFor_0", "txtFaxFor_0", "txtFrom_0", "txtSubj_0", "txtMsg_0",
         "txtFaxFrom_0"},
        {"dtpDate_1", "txtFor_1", "txtFaxFor_1", "txtFrom_1", "txtSubj_1", "txtMsg_1", "txtCC_0",
         "txtAddress", "CheckUrgent_0", "CheckReview_0", "CheckComm_0", "CheckReply_0",
         "CheckRecycle_0"},
        {"dtpDate_2", "txtFor_2", "txtFaxFor_2", "txtFrom_2", "txtSubj_2", "txtMsg_2",
         "txtFaxFrom_1", "txtCC_1", "txtPhoneFor_0", "txtOrgName", "txtLocation", "txtCity",
         "txtPhone_0", "txtWWW", "CheckUrgent_1", "CheckReview_1", "CheckComm_1", "CheckReply_1",
         "CheckRecycle_1"},
        {"dtpDate_3", "txtFor_3", "txtFaxFor_3", "txtFrom_3", "txtSubj_3", "txtMsg_3",
         "txtFaxFrom_2", "txtPhone_1", "txtPhoneFor_1"},
    };
    for (int tab = 0; tab < 4; ++tab) {
        SCOPED_TRACE(tab);
        editor.tabControl()->setCurrentIndex(tab);
        std::vector<QString> round = fields[tab];
        round.insert(round.end(), {"PushButton6", "TabControl1", "PushButton2", "PushButton3"});

        control(round.front())->setFocus(Qt::OtherFocusReason);
        std::vector<QString> forwards;
        for (size_t i = 0; i < round.size(); ++i) {
            press(Qt::Key_Tab);
            forwards.push_back(focusName());
        }
        std::ranges::rotate(round, round.begin() + 1);  // ends where it started
        EXPECT_EQ(forwards, round);

        std::vector<QString> backwards;
        for (size_t i = 0; i < round.size(); ++i) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            backwards.push_back(focusName());
        }
        std::ranges::reverse(round);
        std::ranges::rotate(round, round.begin() + 1);
        EXPECT_EQ(backwards, round);
    }
}

TEST_F(EditorKeyboardTest, FocusStartsOnTheSelectedTabsDateAndComesBackAfterThePreview) {
    SaveSetting("TabControl1", "2");
    openActiveEditor();
    EXPECT_EQ(focusName(), QStringLiteral("dtpDate_2"));

    control("txtCity")->setFocus(Qt::TabFocusReason);
    editor_->hideEditor();
    QWidget preview;  // takes the activation, as the preview window does
    preview.show();
    preview.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&preview));
    preview.hide();
    editor_->showEditor();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor_.get()));
    EXPECT_EQ(focusName(), QStringLiteral("txtCity"));
}

TEST_F(EditorKeyboardTest, EnterOrReturnPressesTheFocusedButtonAndCtrlReturnStartsFromAnywhere) {
    ScopedWordApplicationFactory noEngine([]() -> std::unique_ptr<WordConnection> {
        throw WordError("The office engine could not be started.");
    });
    Form1& editor = openActiveEditor();
    editor.tabControl()->setCurrentIndex(3);
    control("PushButton3")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return);
    EXPECT_EQ(editor.group("txtFor").value(3), QStringLiteral("Martin Hale"));
    EXPECT_EQ(editor.tabControl()->currentIndex(), 0);
    control("PushButton2")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(editor.group("txtFor").value(3), QString());
    EXPECT_TRUE(messages_.all().empty());

    // "Start Creating Template": by Enter on the button, and by Ctrl+Return (or the keypad's
    // Ctrl+Enter) in a field, a multi-line one included; each time the run starts, finds
    // no office and ends in the preview.
    const auto started = [&](const char* from, int key, Qt::KeyboardModifiers modifiers) {
        SCOPED_TRACE(from);
        messages_.clear();
        editor.showEditor();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&editor));
        control(from)->setFocus(Qt::TabFocusReason);
        press(key, modifiers);
        ASSERT_TRUE(QTest::qWaitFor([] { return !OfficeJobs::shared().busy(); }, 60'000));
        const auto reports = messages_.errorReports();
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.front().location, QLatin1String(location::Form1_PushButton6_Click));
        EXPECT_FALSE(editor.isVisible());
    };
    started("PushButton6", Qt::Key_Return, {});
    started("txtFor_0", Qt::Key_Return, Qt::ControlModifier);
    started("txtMsg_0", Qt::Key_Return, Qt::ControlModifier);
    started("dtpDate_0", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    started("PushButton2", Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(control("txtMsg_0")->property("plainText").toString(), QString())
        << "Ctrl+Return adds no line";
}

TEST_F(EditorKeyboardTest, CtrlTabAndCtrlPageKeysChangeTheStyle) {
    Form1& editor = openActiveEditor();
    control("txtSubj_0")->setFocus(Qt::TabFocusReason);
    const std::vector<std::tuple<int, Qt::KeyboardModifiers, int>> steps = {
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_PageDown, Qt::ControlModifier, 2},
        {Qt::Key_PageDown, Qt::ControlModifier, 3},
        {Qt::Key_Tab, Qt::ControlModifier, 0},  // round again
        {Qt::Key_PageUp, Qt::ControlModifier, 3},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
    };
    for (const auto& [key, modifiers, tab] : steps) {
        press(key, modifiers);
        EXPECT_EQ(editor.tabControl()->currentIndex(), tab);
        EXPECT_EQ(GetSetting("TabControl1"), QString::number(tab));
        // The focus moves to the new tab's first field.
        EXPECT_EQ(focusName(), QStringLiteral("dtpDate_%1").arg(tab));
    }
    control("PushButton2")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(editor.tabControl()->currentIndex(), 3);
    EXPECT_EQ(focusName(), QStringLiteral("PushButton2")) << "the buttons keep the focus";
}

TEST_F(EditorKeyboardTest, AltDownAndF4OpenTheCalendarWhoseDayReachesEveryPicker) {
    openActiveEditor();
    auto* picker = control<QDateEdit>("dtpDate_0");
    picker->setDate(QDate(2026, 12, 6));
    picker->setFocus(Qt::TabFocusReason);
    const std::tuple<int, Qt::KeyboardModifiers, int, QDate> openings[] = {
        {Qt::Key_Down, Qt::AltModifier, Qt::Key_Right, QDate(2026, 12, 7)},
        {Qt::Key_F4, Qt::NoModifier, Qt::Key_Down, QDate(2026, 12, 14)},  // a week on
    };
    for (const auto& [key, modifiers, move, chosen] : openings) {
        SCOPED_TRACE(key);
        press(key, modifiers);
        QCalendarWidget* calendar = picker->calendarWidget();
        ASSERT_NE(calendar, nullptr);
        ASSERT_TRUE(calendar->isVisible());
        EXPECT_EQ(QApplication::activePopupWidget(), calendar->window());
        EXPECT_EQ(calendar->selectedDate(), picker->date());
        press(move);
        press(Qt::Key_Return);
        EXPECT_FALSE(calendar->isVisible());
        for (int member = 0; member < 4; ++member)
            EXPECT_EQ(control<QDateEdit>(QStringLiteral("dtpDate_%1").arg(member))->date(), chosen);
        EXPECT_EQ(GetSetting("dtpDate"), chosen.toString(Qt::ISODate));
    }
    // Escape closes it and puts the date back, however far the arrows went.
    press(Qt::Key_F4);
    press(Qt::Key_Left);
    press(Qt::Key_Up);
    EXPECT_EQ(control<QDateEdit>("dtpDate_3")->date(), QDate(2026, 12, 6));
    press(Qt::Key_Escape);
    EXPECT_FALSE(picker->calendarWidget()->isVisible());
    EXPECT_EQ(focusName(), QStringLiteral("dtpDate_0"));
    for (int member = 0; member < 4; ++member)
        EXPECT_EQ(control<QDateEdit>(QStringLiteral("dtpDate_%1").arg(member))->date(),
                  QDate(2026, 12, 14));
    EXPECT_EQ(GetSetting("dtpDate"), QStringLiteral("2026-12-14"));
}

TEST_F(EditorKeyboardTest, ScreenReadersHearEveryControlByItsCaption) {
    Form1& editor = openEditor();
    const auto name = [](QObject* object) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
        return accessible ? accessible->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    const std::vector<std::map<QString, QString>> tabs = {
        {{"dtpDate_0", "Date"},
         {"txtFor_0", "For"},
         {"txtFaxFor_0", "Fax number (recipient)"},
         {"txtFrom_0", "From"},
         {"txtFaxFrom_0", "Fax number (sender)"},
         {"txtSubj_0", "Subject"},
         {"txtMsg_0", "Message"}},
        {{"dtpDate_1", "Date"},
         {"txtFaxFor_1", "Fax For"},
         {"txtMsg_1", "Message"},
         {"txtCC_0", "CC"},
         {"txtAddress", "Address"},
         {"CheckComm_0", "Comment"}},
        {{"txtFaxFrom_1", "Fax From"},
         {"txtPhoneFor_0", "Phone For"},
         {"txtOrgName", "Company Name"},
         {"txtLocation", "Street Address"},
         {"txtCity", "City"},
         {"txtWWW", "WWW"},
         {"CheckRecycle_1", "Recycle"}},
        {{"txtPhone_1", "Phone"}, {"txtPhoneFor_1", "Phone For"}},
    };
    for (int tab = 0; tab < 4; ++tab) {
        editor.tabControl()->setCurrentIndex(tab);
        for (const auto& [control, spoken] : tabs[tab])
            EXPECT_EQ(name(this->control(control)), spoken) << control;
        // No two fields of a tab sound alike.
        std::set<QString> heard;
        for (QWidget* field : editor.tabControl()->currentWidget()->findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(field) && field->objectName().startsWith("qt_")) continue;
            if (qobject_cast<QLineEdit*>(field) || qobject_cast<QPlainTextEdit*>(field) ||
                qobject_cast<QDateEdit*>(field) || qobject_cast<QCheckBox*>(field)) {
                EXPECT_TRUE(heard.insert(name(field)).second) << name(field);
            }
        }
    }
    EXPECT_EQ(name(control("PushButton6")), QStringLiteral("Start Creating Template"));
    EXPECT_EQ(name(control("PushButton3")), QStringLiteral("Load Sample/Example Data"));
    QAccessibleInterface* strip =
        QAccessible::queryAccessibleInterface(editor.tabControl()->tabBar());
    ASSERT_EQ(strip->childCount(), 4 + 2) << "four tabs and the strip's scroll buttons";
    EXPECT_EQ(strip->child(2)->text(QAccessible::Name), QStringLiteral("Professional"));
    EXPECT_EQ(strip->text(QAccessible::Name), QStringLiteral("Style"));
    EXPECT_EQ(name(editor.tabControl()), QStringLiteral("Styles"));
    // The current tab says it has the focus while its strip has it, and only then.
    QAccessibleInterface* current = strip->child(editor.tabControl()->currentIndex());
    EXPECT_TRUE(current->state().selected);
    control("txtPhone_1")->setFocus();
    ASSERT_TRUE(control("txtPhone_1")->hasFocus());
    EXPECT_FALSE(current->state().focused);
    editor.tabControl()->tabBar()->setFocus();
    EXPECT_TRUE(current->state().focused);
    EXPECT_EQ(strip->focusChild(), current);
    editor.hide();
    EXPECT_FALSE(current->state().focused);
    EXPECT_EQ(control("PushButton6")->toolTip(),
              QStringLiteral("Start Creating Template (Ctrl+Return, Ctrl+Enter)"));
    EXPECT_TRUE(control("dtpDate_0")->toolTip().contains("F4"));
}

}  // namespace
}  // namespace velmora::test

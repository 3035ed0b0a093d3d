// A field group on its own, with real controls but no window around them.
#include "TestSupport.h"
#include "coversheet/DateWording.h"
#include "editor/FieldGroup.h"
#include "shell/Failure.h"
#include "shell/SettingsStore.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <functional>

namespace velmora {
namespace {

using coversheet::Field;

class FieldGroupTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brindlework"))
            .clear();
    }

    template <class W>
    std::vector<W*> fill(FieldGroup& group) {
        std::vector<W*> members;
        for (int i = 0; i < group.field().memberCount; ++i) {
            members.push_back(new W(&owner_));
            group.addMember(members.back());
        }
        return members;
    }

    QWidget owner_;
};

TEST_F(FieldGroupTest, MessageLineBreaksAreStoredAndHandedOutAsCrLf) {
    FieldGroup group(Field("txtMsg"));
    const auto members = fill<QPlainTextEdit>(group);
    QTest::keyClicks(members[0], QStringLiteral("Hello"));
    QTest::keyClick(members[0], Qt::Key_Return);
    QTest::keyClicks(members[0], QStringLiteral("World"));
    EXPECT_EQ(GetSetting(QStringLiteral("txtMsg")), QStringLiteral("Hello\r\nWorld"));
    EXPECT_EQ(members[3]->toPlainText(), QStringLiteral("Hello\nWorld"));
    EXPECT_EQ(group.value(3), QStringLiteral("Hello\r\nWorld"));

    SaveSetting(QStringLiteral("txtMsg"), QStringLiteral("One\r\nTwo\r\n\r\nFour"));
    FieldGroup restored(Field("txtMsg"));
    const auto again = fill<QPlainTextEdit>(restored);
    restored.restoreMember(0);
    EXPECT_EQ(again[0]->document()->blockCount(), 4);
    EXPECT_EQ(again[2]->toPlainText(), QStringLiteral("One\nTwo\n\nFour"));
    EXPECT_EQ(GetSetting(QStringLiteral("txtMsg")), QStringLiteral("One\r\nTwo\r\n\r\nFour"));
}

TEST_F(FieldGroupTest, FieldsOfAnyLengthAreRestoredWholeAndNeverShortenTheStore) {
    const QString name = QString(40000, QLatin1Char('n')) + QStringLiteral("END");
    const QString message = QStringLiteral("lone\rcarriage return\r\nand a line");
    SaveSetting(QStringLiteral("txtFor"), name);
    SaveSetting(QStringLiteral("txtMsg"), message);

    FieldGroup names(Field("txtFor"));
    const auto lines = fill<QLineEdit>(names);
    names.restoreMember(0);
    EXPECT_EQ(names.value(names.memberCount() - 1), name);
    EXPECT_EQ(GetSetting(QStringLiteral("txtFor")), name);
    QTest::keyClick(lines[1], Qt::Key_End);
    QTest::keyClicks(lines[1], QStringLiteral("!"));
    EXPECT_EQ(GetSetting(QStringLiteral("txtFor")), name + QLatin1Char('!'));

    // The message box cannot hold a lone CR as it is; the store keeps it as it was typed.
    FieldGroup messages(Field("txtMsg"));
    fill<QPlainTextEdit>(messages);
    messages.restoreMember(0);
    EXPECT_EQ(GetSetting(QStringLiteral("txtMsg")), message);
}

// A keystroke in a message is repeated on the other members rather than handing them the
// whole text; whatever the edit (typing, deleting, pasting lines, undoing, typing into a
// member whose text was just replaced), every member and the store end with the same text.
TEST_F(FieldGroupTest, EditsOfAMessageReachEveryMemberAndTheStore) {
    FieldGroup group(Field("txtMsg"));
    const auto members = fill<QPlainTextEdit>(group);
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog.\r\n");
    group.setValue(0, line.repeated(500));
    const auto at = [&](int member, int position) {
        QTextCursor cursor = members[size_t(member)]->textCursor();
        cursor.setPosition(position);
        members[size_t(member)]->setTextCursor(cursor);
        members[size_t(member)]->setFocus();
    };
    const std::vector<std::function<void()>> edits = {
        [&] { at(0, 0), QTest::keyClicks(members[0], QStringLiteral("Dear Zoe, ")); },
        [&] { at(2, 100), QTest::keyClick(members[2], Qt::Key_Return); },
        [&] { at(3, 5), QTest::keyClick(members[3], Qt::Key_Delete); },
        [&] { at(1, 300), QTest::keyClick(members[1], Qt::Key_Backspace); },
        [&] {
            QTextCursor all = members[1]->textCursor();
            all.setPosition(40);
            all.setPosition(4000, QTextCursor::KeepAnchor);
            members[1]->setTextCursor(all);
            members[1]->insertPlainText(QStringLiteral("pasted\nover\n\nlines"));
        },
        [&] { members[1]->undo(); },
        [&] { group.setValue(2, QStringLiteral("short")); },
        [&] {
            at(0, 5), QTest::keyClicks(members[0], QStringLiteral("er")),
                QTest::keyClick(members[0], Qt::Key_Return),
                members[0]->insertPlainText(QStringLiteral("€"));
        },
    };
    for (size_t i = 0; i < edits.size(); ++i) {
        edits[i]();
        const QString text = members[0]->toPlainText();
        for (auto* member : members) EXPECT_EQ(member->toPlainText(), text) << "edit " << i;
        EXPECT_EQ(GetSetting(QStringLiteral("txtMsg")), group.value(0)) << "edit " << i;
    }
    EXPECT_EQ(group.value(3), QStringLiteral("shorter\r\n€"));
}

// A member on a tab not shown takes every edit into its text at once, but lays it out only
// when it is shown; it then looks as the member typed into does.
TEST_F(FieldGroupTest, AHiddenMessageMemberIsLaidOutWhenShown) {
    FieldGroup group(Field("txtMsg"));
    const auto members = fill<QPlainTextEdit>(group);
    for (auto* member : members) member->setGeometry(0, 0, 300, 200);
    owner_.show();
    for (size_t i = 1; i < members.size(); ++i) members[i]->hide();
    members[0]->setFocus();
    QTest::keyClicks(members[0], QStringLiteral("A long paragraph of a message. ").repeated(20));
    const QTextBlock typed = members[0]->document()->firstBlock();
    const QTextBlock hidden = members[1]->document()->firstBlock();
    EXPECT_EQ(hidden.text(), typed.text());
    EXPECT_LT(hidden.layout()->lineCount(), typed.layout()->lineCount());

    members[1]->show();
    EXPECT_GT(hidden.layout()->lineCount(), 1);
    EXPECT_EQ(hidden.layout()->lineCount(), typed.layout()->lineCount());
    EXPECT_EQ(members[1]->document()->documentLayout()->documentSize(),
              members[0]->document()->documentLayout()->documentSize());
    EXPECT_EQ(members[1]->verticalScrollBar()->maximum(),
              members[0]->verticalScrollBar()->maximum());
}

TEST_F(FieldGroupTest, TickValuesFromTheStore) {
    FieldGroup group(Field("CheckUrgent"));
    const auto members = fill<QCheckBox>(group);

    group.setValue(0, QStringLiteral("abc"));  // not a number: left as it is
    EXPECT_EQ(members[0]->checkState(), Qt::Unchecked);
    group.setValue(0, QStringLiteral(" 1 "));
    EXPECT_EQ(members[1]->checkState(), Qt::Checked);
    EXPECT_EQ(GetSetting(QStringLiteral("CheckUrgent")), QStringLiteral("1"));
    group.setValue(1, QStringLiteral("2"));
    EXPECT_EQ(members[0]->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(group.value(0), QStringLiteral("2"));
    EXPECT_THROW(group.setValue(0, QStringLiteral("5")), Failure);

    QTest::keyClick(members[1], Qt::Key_Space);  // greyed → ticked
    EXPECT_EQ(members[0]->checkState(), Qt::Checked);
    EXPECT_EQ(GetSetting(QStringLiteral("CheckUrgent")), QStringLiteral("1"));
    QTest::keyClick(members[0], Qt::Key_Space);
    QTest::keyClick(members[0], Qt::Key_Space);  // never greyed again by the user
    EXPECT_EQ(members[1]->checkState(), Qt::Checked);
    EXPECT_EQ(GetSetting(QStringLiteral("CheckUrgent")), QStringLiteral("1"));
}

TEST_F(FieldGroupTest, DatesFromTheStore) {
    FieldGroup group(Field("dtpDate"));
    const auto members = fill<QDateEdit>(group);

    group.restoreMember(2);  // nothing stored: today
    EXPECT_EQ(members[0]->date(), QDate::currentDate());

    group.setValue(0, QStringLiteral("12/6/26"));  // the US short form of earlier versions
    for (auto* member : members) EXPECT_EQ(member->date(), QDate(2026, 12, 6));
    EXPECT_EQ(GetSetting(QStringLiteral("dtpDate")), QStringLiteral("2026-12-06"));

    try {
        group.setValue(1, QStringLiteral("xyz"));
        FAIL() << "an unreadable date was taken";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "Type mismatch: 'xyz' is not a date");
    }
    EXPECT_EQ(members[1]->date(), QDate(2026, 12, 6));
}

}  // namespace
}  // namespace velmora

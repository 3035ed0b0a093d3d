// The editor window: its tabs, its field mirroring and what it keeps in the store.
#include "EditorFixture.h"
#include "PdfReaders.h"
#include "coversheet/CoverSheet.h"
#include "coversheet/OfficeJobs.h"
#include "fax/server/SentFaxes.h"
#include "preview/Form2.h"
#include "shell/SettingsStore.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QDateEdit>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QUrl>
#include <set>

namespace velmora::test {
namespace {

using coversheet::Field;
using coversheet::FieldKind;
using coversheet::Fields;

QString memberName(const coversheet::CoverSheetField& field, int member) {
    return field.single ? QLatin1String(field.name)
                        : QStringLiteral("%1_%2").arg(QLatin1String(field.name)).arg(member);
}

std::set<QString> visibleNames(const QWidget& window) {
    std::set<QString> names;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const bool field = qobject_cast<QLineEdit*>(widget) ||
                           qobject_cast<QPlainTextEdit*>(widget) ||
                           qobject_cast<QDateEdit*>(widget) || qobject_cast<QCheckBox*>(widget);
        if (field && widget->isVisible() && !widget->objectName().startsWith("qt_"))
            names.insert(widget->objectName());
    }
    return names;
}

std::vector<QString> visibleLabels(const QWidget& window) {
    std::vector<QString> captions;
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->isVisible()) captions.push_back(label->text());
    return captions;
}

using EditorWindowTest = EditorTest;

TEST_F(EditorWindowTest, EachTabShowsExactlyItsLabelsAndFields) {
    Form1& editor = openEditor();
    const std::vector<std::vector<const char*>> labels = {
        {"Date", "For:", "Fax number:", "From:", "Subject:", "Message:", "Fax Number:"},
        {"Date", "For", "Fax For", "From", "Subject", "Message", "CC", "Address"},
        {"Date", "For", "Fax For", "From", "Subject", "Message", "Fax From", "CC", "Phone For",
         "Company Name", "Street Address", "City", "Phone", "WWW"},
        {"Date", "For", "Fax For", "From", "Subject", "Message", "Fax From", "Phone", "Phone For"},
    };
    const char* frames[] = {"Frame2", "Frame5", "Frame3", "Frame4"};
    const char* captions[] = {"Casual", "Contemporary", "Professional", "Standard"};
    for (int tab = 0; tab < coversheet::kTabCount; ++tab) {
        SCOPED_TRACE(tab);
        editor.tabControl()->setCurrentIndex(tab);
        EXPECT_EQ(editor.tabControl()->tabText(tab), QLatin1String(captions[tab]));

        std::set<QString> expected;
        for (const auto& field : Fields())
            if (const int member = field.memberOnTab(tab); member >= 0)
                expected.insert(memberName(field, member));
        EXPECT_EQ(visibleNames(editor), expected);

        std::vector<QString> expectedLabels(labels[tab].begin(), labels[tab].end());
        std::vector<QString> shown = visibleLabels(*control("ClientArea"));
        std::ranges::sort(expectedLabels);
        std::ranges::sort(shown);
        EXPECT_EQ(shown, expectedLabels);

        for (int other = 0; other < coversheet::kTabCount; ++other)
            EXPECT_EQ(control(QLatin1String(frames[other]))->isVisible(), other == tab);
        EXPECT_EQ(control("Frame6_0")->isVisible(), tab == 1);
        EXPECT_EQ(control("Frame6_1")->isVisible(), tab == 2);
    }
}

TEST_F(EditorWindowTest, PlacesControlsAsDrawn) {
    Form1& editor = openEditor();
    // 9480 × 8505 twips between the menu bar and the status bar.
    EXPECT_EQ(control("ClientArea")->size(), QSize(632, 567));
    EXPECT_EQ(control("PushButton6")->geometry(), QRect(8, 8, 616, 27));
    EXPECT_EQ(control("TabControl1")->geometry(), QRect(8, 74, 616, 485));
    // Frames lie where they were drawn relative to the tab control, wherever its pages
    // are, but never reach up under the tab strip.
    QWidget* tabs = editor.tabControl();
    const auto frameAt = [&](const char* frame, QPoint drawn) {
        QWidget* shown = control(frame);
        const QPoint at = shown->mapTo(tabs, QPoint());
        EXPECT_EQ(at.x(), drawn.x()) << frame;
        EXPECT_GE(shown->y(), 0) << frame;
        EXPECT_EQ(at.y(), std::max(drawn.y(), shown->parentWidget()->mapTo(tabs, QPoint()).y()));
    };
    frameAt("Frame2", QPoint(8, 26));
    EXPECT_EQ(control("Frame2")->size(), QSize(601, 453));
    editor.tabControl()->setCurrentIndex(2);
    frameAt("Frame3", QPoint(8, 24));
    EXPECT_EQ(control("txtWWW")->geometry(), QRect(136, 384, 451, 23));
    EXPECT_EQ(control("txtMsg_2")->height(), 48);
    EXPECT_EQ(control("dtpDate_0")->geometry(), QRect(136, 22, 105, 23));
    EXPECT_EQ(control("dtpDate_2")->geometry(), QRect(136, 22, 105, 24));
    EXPECT_EQ(control("CheckReply_1")->geometry(), QRect(256, 0, 57, 25));
    EXPECT_EQ(control<QDateEdit>("dtpDate_1")->calendarPopup(), true);
    control<QDateEdit>("dtpDate_1")->setDate(QDate(2026, 12, 6));
    EXPECT_EQ(control<QDateEdit>("dtpDate_1")->text(), QStringLiteral("06-Dec-2026"));
    EXPECT_EQ(control("txtFor_1")->font().family(), QStringLiteral("Arial"));
    EXPECT_TRUE(control("txtFor_1")->font().bold());
    EXPECT_EQ(control("txtFor_1")->font().pointSizeF(), 9.0);
    EXPECT_EQ(control("PushButton2")->font().pointSizeF(), 11.25);
    // The message takes the window's font too; it only skips shaping where none is needed.
    const QFont message = control("txtMsg_1")->font();
    EXPECT_EQ(message.family(), QStringLiteral("Arial"));
    EXPECT_TRUE(message.bold());
    EXPECT_EQ(message.pointSizeF(), 9.0);
    EXPECT_EQ(message.styleStrategy(), QFont::PreferNoShaping);
}

TEST_F(EditorWindowTest, TypingIntoAnyMemberReachesEveryMemberAndTheStore) {
    Form1& editor = openEditor();
    for (const auto& field : Fields()) {
        if (field.kind != FieldKind::Text && field.kind != FieldKind::MultiLineText) continue;
        FieldGroup& group = editor.group(field.name);
        for (int typed = 0; typed < field.memberCount; ++typed) {
            SCOPED_TRACE(memberName(field, typed).toStdString());
            const QString text =
                QStringLiteral("%1 from tab %2").arg(field.name).arg(field.memberTabs[typed]);
            QWidget* member = group.member(typed);
            QTest::keyClick(member, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(member, text);
            for (int shown = 0; shown < field.memberCount; ++shown)
                EXPECT_EQ(group.value(shown), text);
            EXPECT_EQ(GetSetting(QLatin1String(field.name)), text);
        }
    }
}

// A recipient faxed before is offered as "For:" is typed; choosing it fills the name and the
// number on every tab and in the store, as if typed.
TEST_F(EditorWindowTest, ARecentRecipientChosenWhileTypingFillsTheNameAndTheNumber) {
    const QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("fax.pdf"));
    WriteTextPdf(pdf, {"Cover"});
    SentFaxes record;  // the user's own, which the program's outbox reads
    SentFax fax;
    fax.server = QStringLiteral("127.0.0.1:1");
    fax.jobId = QStringLiteral("7");
    fax.recipient = QStringLiteral("Martin Hale");
    fax.number = QStringLiteral("555-0100");
    fax.submitted = QDateTime::currentDateTimeUtc();
    fax.state = FaxJobState::Done;
    record.add(fax, pdf);

    Form1& editor = openEditor();
    FieldGroup& name = editor.group("txtFor");
    auto* typed = qobject_cast<QLineEdit*>(name.member(2));
    ASSERT_TRUE(typed && typed->completer());
    ASSERT_TRUE(QTest::qWaitFor([&] { return typed->completer()->model()->rowCount() == 1; }));
    typed->setFocus();
    QTest::keyClicks(typed, QStringLiteral("mar"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return typed->completer()->popup()->isVisible(); }));
    QTest::keyClick(typed->completer()->popup(), Qt::Key_Down);
    QTest::keyClick(typed->completer()->popup(), Qt::Key_Return);
    for (int member = 0; member < name.memberCount(); ++member) {
        EXPECT_EQ(name.value(member), QStringLiteral("Martin Hale"));
        EXPECT_EQ(editor.group("txtFaxFor").value(member), QStringLiteral("555-0100"));
    }
    EXPECT_EQ(GetSetting("txtFor"), QStringLiteral("Martin Hale"));
    EXPECT_EQ(GetSetting("txtFaxFor"), QStringLiteral("555-0100"));
}

TEST_F(EditorWindowTest, TickOnOneTabTicksTheOther) {
    openEditor();
    editor_->tabControl()->setCurrentIndex(1);
    QTest::mouseClick(control("CheckComm_0"), Qt::LeftButton);
    EXPECT_TRUE(control<QCheckBox>("CheckComm_1")->isChecked());
    EXPECT_EQ(GetSetting("CheckComm"), QStringLiteral("1"));
    EXPECT_EQ(editor_->fieldTick(Field("CheckComm")), 1);

    editor_->tabControl()->setCurrentIndex(2);
    QTest::mouseClick(control("CheckComm_1"), Qt::LeftButton);
    EXPECT_FALSE(control<QCheckBox>("CheckComm_0")->isChecked());
    EXPECT_EQ(GetSetting("CheckComm"), QStringLiteral("0"));
    EXPECT_FALSE(control<QCheckBox>("CheckUrgent_0")->isChecked());
}

TEST_F(EditorWindowTest, DateOnOneTabChangesAllFour) {
    openEditor();
    auto* picker = control<QDateEdit>("dtpDate_2");
    picker->setDate(QDate(2026, 12, 6));
    QTest::keyClick(picker, Qt::Key_Up);  // the day: 7th
    for (int member = 0; member < 4; ++member)
        EXPECT_EQ(control<QDateEdit>(QStringLiteral("dtpDate_%1").arg(member))->date(),
                  QDate(2026, 12, 7));
    EXPECT_EQ(GetSetting("dtpDate"), QStringLiteral("2026-12-07"));
    EXPECT_EQ(editor_->fieldDate(Field("dtpDate")), QDate(2026, 12, 7));
}

TEST_F(EditorWindowTest, NewWindowShowsEverythingAsItWasLeft) {
    openEditor();
    for (const auto& field : Fields()) {
        FieldGroup& group = editor_->group(field.name);
        switch (field.kind) {
            case FieldKind::Text:
                group.setValue(0, QLatin1String(field.name) + "!");
                break;
            case FieldKind::MultiLineText:
                group.setValue(0, QStringLiteral("A\r\nB"));
                break;
            case FieldKind::Date:
                group.setValue(0, QStringLiteral("2025-02-28"));
                break;
            case FieldKind::Tick:
                group.setValue(0, QStringLiteral("1"));
                break;
        }
    }
    editor_->tabControl()->setCurrentIndex(2);

    Form1& again = openEditor();
    EXPECT_TRUE(messages_.all().empty());
    EXPECT_EQ(again.tabControl()->currentIndex(), 2);
    EXPECT_EQ(again.tabControl()->tabText(2), QStringLiteral("Professional"));
    for (const auto& field : Fields()) {
        FieldGroup& group = again.group(field.name);
        for (int member = 0; member < field.memberCount; ++member) {
            SCOPED_TRACE(memberName(field, member).toStdString());
            switch (field.kind) {
                case FieldKind::Text:
                    EXPECT_EQ(group.value(member), QLatin1String(field.name) + "!");
                    break;
                case FieldKind::MultiLineText:
                    EXPECT_EQ(group.value(member), "A\r\nB");
                    break;
                case FieldKind::Date:
                    EXPECT_EQ(again.fieldDate(field), QDate(2025, 2, 28));
                    break;
                case FieldKind::Tick:
                    EXPECT_EQ(group.value(member), "1");
                    break;
            }
        }
    }
}

TEST_F(EditorWindowTest, ClearEmptiesTheSenderAndMessageFieldsForGood) {
    openEditor();
    editor_->group("txtCC").setValue(1, QStringLiteral("Accounts"));
    editor_->group("txtPhone").setValue(0, QStringLiteral("555-0100"));
    editor_->group("CheckUrgent").setValue(0, QStringLiteral("1"));
    editor_->PushButton3_Click();
    editor_->tabControl()->setCurrentIndex(3);
    QTest::mouseClick(control("PushButton2"), Qt::LeftButton);
    EXPECT_EQ(editor_->tabControl()->currentIndex(), 0);

    Form1& again = openEditor();
    for (const char* cleared :
         {"txtFor", "txtFaxFor", "txtFrom", "txtSubj", "txtMsg", "txtFaxFrom"}) {
        for (int member = 0; member < Field(cleared).memberCount; ++member)
            EXPECT_EQ(again.group(cleared).value(member), QString()) << cleared << member;
    }
    EXPECT_EQ(again.group("txtCC").value(0), QStringLiteral("Accounts"));
    EXPECT_EQ(control<QLineEdit>("txtPhone_1")->text(), QStringLiteral("555-0100"));
    EXPECT_TRUE(control<QCheckBox>("CheckUrgent_1")->isChecked());
    EXPECT_TRUE(messages_.all().empty());
}

TEST_F(EditorWindowTest, SampleDataShowsOnEveryTab) {
    openEditor();
    editor_->group("txtCC").setValue(0, QStringLiteral("kept"));
    editor_->tabControl()->setCurrentIndex(2);
    QTest::mouseClick(control("PushButton3"), Qt::LeftButton);
    EXPECT_EQ(editor_->tabControl()->currentIndex(), 0);
    const std::pair<const char*, const char*> sample[] = {
        {"txtFor", "Martin Hale"},    {"txtFaxFor", "555-014-2278"},
        {"txtFrom", "Nora Quist"},    {"txtFaxFrom", "555-016-3391"},
        {"txtSubj", "What's up man"}, {"txtMsg", "Did you eat that cheeseburger yet?"}};
    for (const auto& [name, text] : sample) {
        for (int member = 0; member < Field(name).memberCount; ++member)
            EXPECT_EQ(editor_->group(name).value(member), QLatin1String(text)) << name << member;
        EXPECT_EQ(GetSetting(QLatin1String(name)), QLatin1String(text));
    }
    EXPECT_EQ(control<QLineEdit>("txtCC_1")->text(), QStringLiteral("kept"));
    EXPECT_TRUE(messages_.all().empty());
}

TEST_F(EditorWindowTest, GenerationReadsTheHighestMember) {
    Form1& editor = openEditor();
    editor.group("txtMsg").setValue(0, QStringLiteral("a\r\nb"));
    EXPECT_EQ(editor.fieldText(Field("txtMsg")), QStringLiteral("a\r\nb"));
    editor.tabControl()->setCurrentIndex(3);
    EXPECT_EQ(editor.selectedTab(), 3);

    EXPECT_EQ(editor.previewWindow(), nullptr);
    editor.packet().setCoverDocument(QStringLiteral("/tmp/quillon12345678.doc"));
    editor.packet().setCoverDocument(QStringLiteral("/tmp/quillon87654321.doc"));
    editor.showPreview();
    Form2* preview = editor.previewWindow();
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(preview->mWordFile(), QStringLiteral("/tmp/quillon87654321.doc"));

    editor.hideEditor();
    EXPECT_FALSE(editor.isVisible());
    editor.showEditor();
    EXPECT_TRUE(editor.isVisible());
    EXPECT_EQ(editor.selectedTab(), 3);
    EXPECT_EQ(editor.fieldText(Field("txtMsg")), QStringLiteral("a\r\nb"));
}

// A file dropped on a text box is attached, never pasted as its name; the status bar tells
// what is attached, and "Start Creating Template" waits while documents are made ready.
TEST_F(EditorWindowTest, FilesDroppedAnywhereAreAttached) {
    Form1& editor = openEditor();
    QTemporaryDir folder(TestFolder() + QStringLiteral("/drop-XXXXXX"));
    const QString picture = folder.filePath(QStringLiteral("scan.png"));
    QImage page(200, 100, QImage::Format_RGB32);
    page.fill(Qt::gray);
    ASSERT_TRUE(page.save(picture));

    auto* field = control<QLineEdit>(QStringLiteral("txtFor_0"));
    field->setText(QStringLiteral("Ann"));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(picture)});
    files.setText(picture);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(field, &drop);
    EXPECT_FALSE(control(QStringLiteral("PushButton6"))->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([] { return !OfficeJobs::shared().busy(); }, 30'000));

    EXPECT_EQ(field->text(), QStringLiteral("Ann"));
    EXPECT_EQ(editor.packet().count(), 1);
    EXPECT_TRUE(control(QStringLiteral("PushButton6"))->isEnabled());
    EXPECT_EQ(control<QLabel>(QStringLiteral("PacketStatus"))->text(),
              QStringLiteral("1 document attached behind the cover (1 page)"));
}

}  // namespace
}  // namespace velmora::test

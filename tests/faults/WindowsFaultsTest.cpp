// The windows as a screen reader meets them (AT-SPI reads Qt's accessibility interfaces): which
// window is which under their one caption, which page of which document the preview shows, the
// date picker's calendar, and where Tab stops. Read through the real widgets' interfaces; each
// case is a row of the fault campaign's table.
#include "PdfReaders.h"
#include "TestSupport.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/office/PictureText.h"
#include "preview/AttachedDocuments.h"
#include "preview/Form2.h"
#include "tests/editor/EditorFixture.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <set>

namespace velmora {
namespace {

QAccessibleInterface* Spoken(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

// The first object under `root` (itself included) that `found` accepts, walked as a screen
// reader walks the tree: child by child.
QAccessibleInterface* FindInTree(QAccessibleInterface* root,
                                 const std::function<bool(QAccessibleInterface*)>& found,
                                 int depth = 0) {
    if (!root || depth > 40) return nullptr;
    if (found(root)) return root;
    for (int i = 0; i < root->childCount(); ++i)
        if (QAccessibleInterface* hit = FindInTree(root->child(i), found, depth + 1)) return hit;
    return nullptr;
}

class WindowsFaults : public test::EditorTest {
protected:
    // The preview of a one-page cover with `files` attached behind it, shown and active.
    void showPreview(const QStringList& files = {}) {
        if (!files.isEmpty()) {
            documents.attach(files);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return !packet.attaching() && !OfficeJobs::shared().busy(); }, 60'000));
            ASSERT_EQ(packet.count(), files.size());
        }
        QImage cover(816, 1056, QImage::Format_RGB32);  // Letter at 96 dots to the inch
        cover.fill(Qt::white);
        cover.setDotsPerMeterX(3780);
        cover.setDotsPerMeterY(3780);
        cover.setText(QLatin1String(kPictureTextKey), QStringLiteral("FAX\nFor: Ann"));
        cover.setText(QLatin1String(kPicturePagesKey), QStringLiteral("1"));
        packet.setCoverPicture(cover);
        preview.show();
        preview.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&preview));
    }

    QString path(const char* name) const { return folder.filePath(QLatin1String(name)); }

    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/windows-XXXXXX")};
    FaxPacket packet;
    AttachedDocuments documents{packet};
    Form2 preview{documents, [] {}};
};

// Editor and preview share their caption; a screen reader meets them as frames (not as
// "filler") and hears which is the editor and which the preview.
TEST_F(WindowsFaults, TheEditorAndThePreviewAreFramesToldApartUnderOneCaption) {
    Form1& editor = openEditor();
    showPreview();
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Velmora"));
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Velmora"));

    const auto heard = [](QWidget& window) {
        QAccessibleInterface* spoken = Spoken(&window);
        return spoken->text(QAccessible::Name) + QLatin1Char('|') +
               spoken->text(QAccessible::Description);
    };
    EXPECT_EQ(Spoken(&editor)->role(), QAccessible::Window);
    EXPECT_EQ(Spoken(&preview)->role(), QAccessible::Window);
    EXPECT_TRUE(heard(editor).contains(QLatin1String("editor"), Qt::CaseInsensitive))
        << heard(editor).toStdString();
    EXPECT_TRUE(heard(preview).contains(QLatin1String("preview"), Qt::CaseInsensitive))
        << heard(preview).toStdString();
    EXPECT_NE(Spoken(&editor)->text(QAccessible::Name), Spoken(&preview)->text(QAccessible::Name));
    // As the application's children, where a screen reader finds them.
    QAccessibleInterface* application = Spoken(qApp);
    for (QWidget* window : {static_cast<QWidget*>(&editor), static_cast<QWidget*>(&preview)})
        EXPECT_GE(application->indexOfChild(Spoken(window)), 0);
}

// Every page is named by the document it is of and its page there, and by its page of the fax;
// the cover's page says it is the cover sheet's.
TEST_F(WindowsFaults, EveryPageIsNamedByItsDocumentAndItsPageOfTheFax) {
    test::WriteTextPdf(path("contract.pdf"), {"Contract one", "Contract two", "Contract three"});
    test::WriteTextPdf(path("notes.pdf"), {"Notes one", "Notes two"});
    ASSERT_EQ(test::PdfPages(path("contract.pdf")), 3);
    ASSERT_EQ(test::PdfPages(path("notes.pdf")), 2);
    showPreview({path("contract.pdf"), path("notes.pdf")});
    QAccessibleInterface* page = Spoken(preview.findChild<QWidget*>(QStringLiteral("Picture1")));
    ASSERT_NE(page, nullptr);

    struct Expected {
        const char* name;
        const char* text;  // pdftotext's, for the attached pages
        const char* pdf;
        int pdfPage;
    };
    const Expected expected[] = {
        {"Cover sheet, page 1 of 1; page 1 of 6 of the fax; zoom 100%", nullptr, nullptr, 0},
        {"contract.pdf, page 1 of 3; page 2 of 6 of the fax; zoom 100%", "Contract one",
         "contract.pdf", 1},
        {"contract.pdf, page 2 of 3; page 3 of 6 of the fax; zoom 100%", "Contract two",
         "contract.pdf", 2},
        {"contract.pdf, page 3 of 3; page 4 of 6 of the fax; zoom 100%", "Contract three",
         "contract.pdf", 3},
        {"notes.pdf, page 1 of 2; page 5 of 6 of the fax; zoom 100%", "Notes one", "notes.pdf", 1},
        {"notes.pdf, page 2 of 2; page 6 of 6 of the fax; zoom 100%", "Notes two", "notes.pdf", 2},
    };
    for (const auto& [name, text, pdf, pdfPage] : expected) {
        SCOPED_TRACE(name);
        // The page is drawn on the worker; its text comes with its picture.
        ASSERT_TRUE(QTest::qWaitFor([] { return !OfficeJobs::shared().busy(); }, 60'000));
        EXPECT_EQ(page->text(QAccessible::Name), QLatin1String(name));
        if (pdf) {
            // The page shown is the one named: its text is that page's of that document.
            EXPECT_EQ(test::PdfPageText(path(pdf), pdfPage), QLatin1String(text));
            EXPECT_EQ(page->textInterface()->text(0, -1).simplified(), QLatin1String(text));
            EXPECT_FALSE(page->text(QAccessible::Description).contains(QLatin1String("Cover")));
        } else {
            EXPECT_EQ(page->text(QAccessible::Description), QStringLiteral("Cover sheet page"));
        }
        QTest::keyClick(&preview, Qt::Key_PageDown, Qt::ControlModifier);
    }
    EXPECT_TRUE(messages_.all().empty());
}

// The date picker's "show menu" action opens its calendar, which is then in the tree under the
// picker (a pop-up window is nobody's child in Qt's own reading); closed, it is out of the tree,
// where its current day would go on saying it has the focus.
TEST_F(WindowsFaults, TheDatePickersCalendarOpensFromThePickerAndIsInTheTreeUnderIt) {
    Form1& editor = openEditor();
    auto* picker = control<QDateEdit>(QStringLiteral("dtpDate_0"));
    ASSERT_NE(picker, nullptr);
    picker->setFocus();
    QAccessibleInterface* spoken = Spoken(picker);
    ASSERT_NE(spoken->actionInterface(), nullptr);
    ASSERT_TRUE(spoken->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::showMenuAction()));
    spoken->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker->calendarWidget()->isVisible(); }, 5'000));

    const auto inTree = [&] {
        return FindInTree(Spoken(&editor), [](QAccessibleInterface* node) {
            return qobject_cast<QCalendarWidget*>(node->object()) != nullptr;
        });
    };
    QAccessibleInterface* calendar = inTree();
    ASSERT_NE(calendar, nullptr) << "no calendar under the editor";
    EXPECT_EQ(calendar->object(), picker->calendarWidget());
    EXPECT_FALSE(calendar->state().invisible);
    // And back up: the calendar's ancestors lead through the picker to the window.
    std::set<QObject*> ancestors;
    for (QAccessibleInterface* up = calendar->parent(); up && ancestors.size() < 40;
         up = up->parent()) {
        ancestors.insert(up->object());
        if (up->object() == &editor) break;
    }
    EXPECT_TRUE(ancestors.count(picker));
    EXPECT_TRUE(ancestors.count(&editor));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(picker->calendarWidget()->isVisible());
    EXPECT_EQ(inTree(), nullptr);
    // The picker's text is still read as its field's.
    ASSERT_NE(spoken->textInterface(), nullptr);
    EXPECT_EQ(spoken->textInterface()->text(0, -1), picker->text());
}

// Tab walks the preview's commands and never stops on a scroll bar: the keys that move the
// page work wherever the focus is.
TEST_F(WindowsFaults, TabInThePreviewNeverStopsOnAScrollBar) {
    showPreview();
    for (const char* bar : {"HScroll1", "VScroll1"}) {
        auto* widget = preview.findChild<QScrollBar*>(QLatin1String(bar));
        ASSERT_NE(widget, nullptr) << bar;
        EXPECT_FALSE(Spoken(widget)->state().focusable) << bar;
    }
    preview.findChild<QPushButton*>(QStringLiteral("PushButton1"))->setFocus(Qt::TabFocusReason);
    std::set<QString> stops;
    for (int press = 0; press < 12; ++press) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        stops.insert(focus->objectName());
        EXPECT_EQ(qobject_cast<QScrollBar*>(focus), nullptr) << focus->objectName().toStdString();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    for (const char* button : {"PushButton1", "PushButton2", "PushButton6", "PushButton8"})
        EXPECT_TRUE(stops.count(QLatin1String(button))) << button;
}

// What a new user trips on with documents attached: a Word file holds the cover alone, so
// saving one asks first, naming what it leaves out (No writes nothing); a file attached
// already is attached again only when the user says so; a status message too long for the bar
// shows whole on hover.
TEST_F(WindowsFaults, ANewUserIsAskedBeforeAWordFileLeavesTheDocumentsOutOrAFileIsTakenTwice) {
    test::WriteTextPdf(path("contract.pdf"), {QStringLiteral("Contract one")});
    QFile cover(path("velmora.doc"));
    ASSERT_TRUE(cover.open(QIODevice::WriteOnly));
    cover.write(QByteArray(64 * 1024, 'A'));
    cover.close();
    packet.setCoverDocument(path("velmora.doc"));
    showPreview({path("contract.pdf")});
    preview.setSaveDialog([&](QWidget*, const SaveDialogRequest&) {
        return SaveDialogChoice{path("cover.doc"), QStringLiteral("Word Files (*.doc)")};
    });
    const auto settle = [] {
        ASSERT_TRUE(QTest::qWaitFor([] { return !OfficeJobs::shared().busy(); }, 60'000));
    };
    settle();

    messages_.clear();
    messages_.setAnswer(MessageAnswer::No);
    QTest::keyClick(&preview, Qt::Key_S, Qt::ControlModifier);
    settle();
    ASSERT_EQ(messages_.all().size(), 1u);
    EXPECT_TRUE(messages_.all()[0].text.contains(QLatin1String("would not be in cover.doc")))
        << messages_.all()[0].text;
    EXPECT_FALSE(QFile::exists(path("cover.doc")));

    messages_.clear();
    documents.attach({path("./contract.pdf")});
    settle();
    ASSERT_EQ(messages_.all().size(), 1u);
    EXPECT_TRUE(
        messages_.all()[0].text.contains(QLatin1String("\"contract.pdf\" is attached already")));
    EXPECT_EQ(packet.count(), 1);
    messages_.setAnswer(MessageAnswer::Yes);
    documents.attach({path("contract.pdf")});
    settle();
    EXPECT_EQ(packet.count(), 2);

    auto* bar = preview.findChild<QStatusBar*>(QStringLiteral("StatusBar"));
    ASSERT_NE(bar, nullptr);
    const QString longMessage = QStringLiteral("Saved the packet, 3 pages, as %1")
                                    .arg(path("a/very/long/folder/name/that/does/not/fit/the/"
                                              "status/bar/of/the/preview/window.pdf"));
    bar->showMessage(longMessage);
    EXPECT_GT(bar->fontMetrics().horizontalAdvance(longMessage), bar->width());
    EXPECT_EQ(bar->toolTip(), longMessage);
}

}  // namespace
}  // namespace velmora

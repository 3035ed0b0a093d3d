// The preview window with real widgets and real files in a private folder.
#include "PdfReaders.h"
#include "PreviewTestPages.h"
#include "TestSupport.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/office/PictureText.h"
#include "preview/AttachedDocuments.h"
#include "preview/Form2.h"
#include "preview/PageImage.h"
#include "preview/PictureBox.h"
#include "preview/SendFaxDialog.h"
#include "recipients/PhoneBook.h"
#include "recipients/numbers/FaxNumbers.h"
#include "shell/Failure.h"
#include "shell/Locations.h"
#include "shell/TempFolder.h"
#include "tests/coversheet/FakeWord.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <csignal>

namespace velmora {
namespace {

using test::ReadBytes;
using test::SampleDocument;
using test::WriteBytes;

// Shows a window of its own, as the editor does, so that the preview loses activation.
struct FakeEditor {
    void showEditor() {
        ++shown;
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    int shown = 0;
    QWidget window;
};

class PreviewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        pagePicture = folder.filePath(QStringLiteral("temp.bmp"));
        test::WritePagePicture(pagePicture);
        WriteBytes(folder.filePath(QStringLiteral("velmora.doc")), document);
        packet.setCoverDocument(folder.filePath(QStringLiteral("velmora.doc")));
        form.setSaveDialog([this](QWidget*, const SaveDialogRequest& request) {
            dialogRequests.push_back(request);
            return SaveDialogChoice{chosenName, chosenFilter};
        });
    }

    void showPage(const QString& picture) {
        packet.setCoverPicture(QImage(picture));
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    }

    template <class Widget>
    Widget* control(const char* name) {
        auto* widget = form.findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // A click, and the office work it started (a save) done and reported.
    void click(const char* name) {
        QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
        settle();
    }
    static void settle() {
        ASSERT_TRUE(QTest::qWaitFor([] { return !OfficeJobs::shared().busy(); }, 60'000));
    }

    QString path(const char* name) const { return folder.filePath(QLatin1String(name)); }

    QTemporaryDir folder{test::TestFolder() + QStringLiteral("/preview-XXXXXX")};
    QString pagePicture;
    const QByteArray document = SampleDocument('A');
    QString chosenName;
    QString chosenFilter = QStringLiteral("Word Files (*.doc)");
    std::vector<SaveDialogRequest> dialogRequests;
    test::MessageRecorder messages;
    FakeEditor editor;
    FaxPacket packet;
    AttachedDocuments documents{packet};
    Form2 form{documents, [this] { editor.showEditor(); }};
};

TEST_F(PreviewWindow, ShowsThePageAtItsOwnSizeAndZoomsWithTheButtons) {
    showPage(pagePicture);
    EXPECT_EQ(control<QWidget>("ClientArea")->size(), QSize(656, 626));
    auto* view = control<PictureBox>("Picture1");
    EXPECT_EQ(view->geometry(), QRect(0, 0, 340, 440));
    EXPECT_EQ(view->drawnImage().deviceIndependentSize(), QSizeF(340, 440));
    const QImage drawn = view->drawnImage().toImage();
    EXPECT_LT(qGray(drawn.pixel(0, 0)), 240) << "the page's frame line, at the very corner";
    EXPECT_EQ(drawn.pixelColor(5, 5), QColor(Qt::white));
    auto* vertical = control<QScrollBar>("VScroll1");
    EXPECT_FALSE(vertical->isEnabled());
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_LE(std::abs(form.frameGeometry().center().x() - screen.center().x()), 2);

    click("PushButton1");
    EXPECT_FLOAT_EQ(form.viewport().zoom(), 1.25f);
    EXPECT_EQ(view->size(), QSize(425, 550));
    EXPECT_TRUE(vertical->isEnabled());
    EXPECT_EQ(vertical->maximum(), 82);

    vertical->setValue(30);
    EXPECT_EQ(view->pos(), QPoint(0, -20)) << "300 twips up";
    click("PushButton2");
    click("PushButton2");
    EXPECT_EQ(view->geometry(), QRect(0, 0, 255, 330)) << "zoom 0.75";
    EXPECT_TRUE(messages.all().empty());
}

TEST_F(PreviewWindow, AnyMouseButtonDragsThePage) {
    showPage(pagePicture);
    for (int i = 0; i < 4; ++i) click("PushButton1");  // zoom 2: wider and taller than the viewport
    auto* view = control<PictureBox>("Picture1");
    auto* vertical = control<QScrollBar>("VScroll1");
    for (const auto button : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
        SCOPED_TRACE(int(button));
        QTest::mousePress(view, button, {}, QPoint(100, 100));
        QTest::mouseMove(view, QPoint(100, 80));
        EXPECT_EQ(view->pos(), QPoint(0, -20));
        QTest::mouseRelease(view, button, {}, QPoint(100, 80));
        // 300 of 5771 twips is 5 %, 28.85 of 577 steps of 10 twips: 29.
        EXPECT_EQ(vertical->value(), 29);
        EXPECT_EQ(view->pos(), QPoint(0, -19));
        vertical->setValue(0);
        EXPECT_EQ(view->pos(), QPoint(0, 0));
    }
}

TEST_F(PreviewWindow, AnUnreadablePictureIsRefused) {
    EXPECT_THROW(packet.setCoverPicture(QImage(path("missing.bmp"))), Failure);
}

TEST_F(PreviewWindow, SavesToANewNameWithItsFormatsExtensionAndNothingWhenCancelled) {
    showPage(pagePicture);
    chosenName = path("results");  // the Word filter's extension is added
    WriteBytes(chosenName, "not this one");
    click("PushButton6");

    ASSERT_EQ(dialogRequests.size(), 1u);
    EXPECT_EQ(dialogRequests[0].title, QStringLiteral("Save File"));
    EXPECT_EQ(dialogRequests[0].filter,
              QStringLiteral("Word Files (*.doc);;PDF Files (*.pdf);;Word 2007-365 Files "
                             "(*.docx);;Fax TIFF (*.tif *.tiff)"));
    EXPECT_EQ(dialogRequests[0].selectedFilter, QStringLiteral("Word Files (*.doc)"));
    EXPECT_TRUE(dialogRequests[0].fileName.isEmpty());
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(dialogRequests[0].folder,
              QFileInfo(documents).isDir() ? documents : QDir::homePath());
    EXPECT_EQ(ReadBytes(chosenName + QStringLiteral(".doc")), document);
    EXPECT_EQ(ReadBytes(chosenName), QByteArray("not this one"));
    const auto shown = messages.all();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("Done."));
    EXPECT_TRUE(shown[0].title.isEmpty());
    EXPECT_EQ(shown[0].icon, MessageIcon::None);

    messages.clear();
    chosenName.clear();  // cancelled
    click("PushButton6");
    EXPECT_EQ(dialogRequests.size(), 2u);
    EXPECT_TRUE(messages.all().empty());
    EXPECT_EQ(dialogRequests[1].folder, folder.path()) << "where this run saved last";
}

// The document shown is removed on "< Back": a save onto it would be lost with it.
TEST_F(PreviewWindow, RefusesToSaveOntoTheDocumentItShows) {
    for (const QString& name :
         {form.mWordFile(), path("./") + QFileInfo(form.mWordFile()).fileName()}) {
        messages.clear();
        chosenName = name;
        click("PushButton6");
        ASSERT_EQ(messages.all().size(), 1u);
        EXPECT_TRUE(messages.all()[0].text.contains(QLatin1String("Please choose another name")))
            << messages.all()[0].text;
        EXPECT_EQ(ReadBytes(form.mWordFile()), document);
    }
}

TEST_F(PreviewWindow, OverwritesAnExistingFileOnlyWhenTheUserAgrees) {
    chosenName = path("old results.doc");
    WriteBytes(chosenName, "the old results");

    messages.setAnswer(MessageAnswer::No);
    click("PushButton6");
    EXPECT_EQ(ReadBytes(chosenName), QByteArray("the old results"));
    ASSERT_EQ(messages.all().size(), 1u) << "the question, and no \"Done.\"";
    const MessageRequest question = messages.all()[0];
    EXPECT_EQ(question.text, QStringLiteral("Are you sure you wish to overwrite ") + chosenName +
                                 QStringLiteral(" ?"));
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(question.icon, MessageIcon::None);
    EXPECT_TRUE(question.title.isEmpty());

    messages.clear();
    messages.setAnswer(MessageAnswer::Yes);
    click("PushButton6");
    EXPECT_EQ(ReadBytes(chosenName), document);
    ASSERT_EQ(messages.all().size(), 2u);
    EXPECT_EQ(messages.all()[1].text, QStringLiteral("Done."));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 3) << "no temporary file left";
}

// Root ignores permission bits, so the failures are of kinds that stop root too.
TEST_F(PreviewWindow, AFailedCopyIsReportedAtItsStepKeepsTheOldFileAndLeavesNoPart) {
    // A folder that is a file.
    WriteBytes(path("plain"), "a file, not a folder");
    chosenName = path("plain") + QStringLiteral("/results.doc");
    click("PushButton6");
    ASSERT_EQ(messages.errorReports().size(), 1u);
    EXPECT_EQ(messages.errorReports()[0].location,
              QLatin1String(location::Form2_PushButton6_Click));
    EXPECT_EQ(messages.errorReports()[0].step, 130);
    EXPECT_TRUE(messages.otherMessages().empty()) << "no \"Done.\"";

    // A copy cut short by the file size limit, over an existing file.
    messages.clear();
    messages.setAnswer(MessageAnswer::Yes);
    chosenName = path("results.doc");
    WriteBytes(chosenName, "the old results");
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = 64 * 1024;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &limited);
    click("PushButton6");
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(ReadBytes(chosenName), QByteArray("the old results"));
    ASSERT_EQ(messages.errorReports().size(), 1u);
    EXPECT_EQ(messages.errorReports()[0].step, 130);
    EXPECT_EQ(messages.otherMessages().size(), 1u) << "the question, and no \"Done.\"";
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"plain", "results.doc", "temp.bmp", "velmora.doc"}));

    // A document that is empty was never saved completely: nothing is copied. One that is
    // missing (removed from TEMP meanwhile) is told plainly, with how to make it again.
    for (const QByteArray& source : {QByteArray(""), QByteArray()}) {
        messages.clear();
        source.isNull() ? void(QFile::remove(form.mWordFile()))
                        : WriteBytes(form.mWordFile(), source);
        click("PushButton6");
        EXPECT_EQ(ReadBytes(chosenName), QByteArray("the old results"));
        if (source.isNull()) {
            EXPECT_TRUE(messages.errorReports().empty());
            ASSERT_EQ(messages.otherMessages().size(), 2u) << "the question, then why not";
            EXPECT_TRUE(messages.otherMessages()[1].text.contains("Start Creating Template"));
            continue;
        }
        ASSERT_EQ(messages.errorReports().size(), 1u);
        EXPECT_EQ(messages.errorReports()[0].step, 130);
        EXPECT_EQ(messages.otherMessages().size(), 1u) << "the question, and no \"Done.\"";
    }
}

TEST_F(PreviewWindow, BackDeletesTheDocumentAndTheNextPageStartsAfresh) {
    showPage(pagePicture);
    click("PushButton1");
    click("PushButton1");
    const QString shown = form.mWordFile();
    click("PushButton8");
    EXPECT_FALSE(QFile::exists(shown));
    EXPECT_TRUE(form.mWordFile().isEmpty());
    EXPECT_EQ(editor.shown, 1);
    EXPECT_FALSE(form.isVisible());

    // The editor makes a second page: a wide one, 700 × 600 pixels at 96 dpi.
    const QString secondPicture = path("second.bmp");
    test::WritePagePicture(secondPicture, {700, 600}, 96, QStringLiteral("SECOND"));
    const QByteArray secondDocument = SampleDocument('B');
    WriteBytes(path("second.doc"), secondDocument);
    packet.setCoverDocument(path("second.doc"));
    showPage(secondPicture);

    EXPECT_FLOAT_EQ(form.viewport().zoom(), 1.0f);
    EXPECT_EQ(control<PictureBox>("Picture1")->drawnImage().deviceIndependentSize(),
              QSizeF(700, 600));
    // 10498 - 9330 over: 116.8 steps of ten; 8998 - 7425: 157.3.
    EXPECT_EQ(control<QScrollBar>("HScroll1")->maximum(), 117);
    EXPECT_EQ(control<QScrollBar>("VScroll1")->maximum(), 157);
    EXPECT_TRUE(control<QScrollBar>("HScroll1")->isEnabled());
    EXPECT_EQ(control<QScrollBar>("VScroll1")->value(), 0);

    chosenName = path("second results.doc");
    click("PushButton6");
    EXPECT_EQ(ReadBytes(chosenName), secondDocument);
    EXPECT_TRUE(messages.errorReports().empty());
}

TEST_F(PreviewWindow, ClosingDeletesTheDocument) {
    showPage(pagePicture);
    const QString shown = form.mWordFile();
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(QFile::exists(shown));
    EXPECT_TRUE(messages.all().empty());
}

TEST_F(PreviewWindow, ThePointerIsAHandOverTheButtonsAndAnArrowOverTheRest) {
    showPage(pagePicture);
    QTest::mouseMove(control<QPushButton>("PushButton6"));
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&form, QPoint(650, 620));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(control<QPushButton>("PushButton1"));
    EXPECT_EQ(form.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(control<QGroupBox>("Frame1"), QPoint(630, 5));
    EXPECT_EQ(form.cursor().shape(), Qt::ArrowCursor);
}

// Zoomed to 2.0, the page is 10196 × 13196 twips: 866 and 5771 twips more than the viewport,
// so both bars take steps of ten twips, up to 87 across and 577 down.
class PreviewKeysAndWheel : public PreviewWindow {
protected:
    void SetUp() override {
        PreviewWindow::SetUp();
        showPage(pagePicture);
        for (int i = 0; i < 4; ++i) click("PushButton1");
        ASSERT_EQ(form.viewport().vScroll().max, 577);
        ASSERT_EQ(form.viewport().hScroll().max, 87);
    }

    // Where the page is, as the viewport has it and as the widgets show it; the view always
    // sits where the bars' values put it.
    struct Place {
        float zoom;
        int across, down;
        bool operator==(const Place&) const = default;
    };
    Place place() {
        const ViewportModel& viewport = form.viewport();
        const TwipsRect& view = viewport.view();
        EXPECT_EQ(view.left, -viewport.hStep() * viewport.hScroll().value);
        EXPECT_EQ(view.top, -viewport.vStep() * viewport.vScroll().value);
        EXPECT_EQ(control<QScrollBar>("HScroll1")->value(), viewport.hScroll().value);
        EXPECT_EQ(control<QScrollBar>("VScroll1")->value(), viewport.vScroll().value);
        EXPECT_EQ(control<PictureBox>("Picture1")->pos(),
                  QPoint(TwipsToPixels(view.left), TwipsToPixels(view.top)));
        return {viewport.zoom(), viewport.hScroll().value, viewport.vScroll().value};
    }

    // A turn of the wheel over a control. (A turn over a control that has no use for it,
    // such as a button, reaches the window itself.)
    void turnWheel(QWidget* over, QPoint angleDelta, Qt::KeyboardModifiers modifiers = {}) {
        const QPointF at(over->rect().center());
        QWheelEvent turn(at, over->mapToGlobal(at), QPoint(), angleDelta, Qt::NoButton, modifiers,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &turn);
        EXPECT_TRUE(turn.isAccepted());
    }
};

TEST_F(PreviewKeysAndWheel, KeysScrollAndZoomWhereverTheFocusIs) {
    struct Press {
        const char* focus;
        int key;
        Qt::KeyboardModifiers modifiers;
        Place after;
    };
    const Press presses[] = {
        {"Picture2", Qt::Key_Down, {}, {2, 0, 30}},  // 300 twips
        {"VScroll1", Qt::Key_Down, {}, {2, 0, 60}},  // not the bar's own step of one
        {"PushButton6", Qt::Key_Up, {}, {2, 0, 30}},
        {"HScroll1", Qt::Key_PageDown, {}, {2, 0, 577}},  // 7365 twips, as far as it goes
        {"Picture2", Qt::Key_PageUp, {}, {2, 0, 0}},
        {"Picture2", Qt::Key_End, {}, {2, 0, 577}},
        {"Picture2", Qt::Key_Home, {}, {2, 0, 0}},
        {"PushButton1", Qt::Key_Right, {}, {2, 30, 0}},
        {"Picture2", Qt::Key_Right, {}, {2, 60, 0}},
        {"Picture2", Qt::Key_Right, {}, {2, 87, 0}},
        {"Picture2", Qt::Key_Left, {}, {2, 57, 0}},
        // Every zoom step starts again at the top left corner.
        {"Picture2", Qt::Key_Minus, {}, {1.75f, 0, 0}},
        {"Picture2", Qt::Key_Minus, Qt::ControlModifier, {1.5f, 0, 0}},
        {"VScroll1", Qt::Key_Plus, {}, {1.75f, 0, 0}},
        {"Picture2", Qt::Key_Equal, Qt::ControlModifier, {2, 0, 0}},
        {"Picture2", Qt::Key_Minus, Qt::KeypadModifier, {1.75f, 0, 0}},
        {"PushButton1", Qt::Key_Return, {}, {2, 0, 0}},  // presses Zoom In
        {"PushButton2", Qt::Key_Enter, Qt::KeypadModifier, {1.75f, 0, 0}},
    };
    for (const auto& [focus, key, modifiers, after] : presses) {
        SCOPED_TRACE(QStringLiteral("%1 on %2").arg(key, 0, 16).arg(focus).toStdString());
        control<QWidget>(focus)->setFocus(Qt::TabFocusReason);
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &form,
                        Qt::Key(key), modifiers);
        EXPECT_EQ(place(), after);
    }
    EXPECT_TRUE(messages.all().empty());

    control<QWidget>("PushButton6")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // the save dialog, cancelled
    EXPECT_EQ(dialogRequests.size(), 1u);
    const QString shown = form.mWordFile();
    QTest::keyClick(&form, Qt::Key_Left, Qt::AltModifier);  // "< Back"
    EXPECT_EQ(editor.shown, 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(QFile::exists(shown));

    WriteBytes(shown, document);
    packet.setCoverDocument(shown);
    showPage(pagePicture);
    QTest::keyClick(&form, Qt::Key_W, Qt::ControlModifier);  // closes, as the close box does
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(QFile::exists(shown));
}

TEST_F(PreviewKeysAndWheel, TheWheelScrollsShiftedSidewaysAndWithCtrlZoomsOneStepANotch) {
    auto* page = control<QWidget>("Picture1");
    struct Turn {
        const char* over;
        QPoint delta;
        Qt::KeyboardModifiers modifiers;
        Place after;
    };
    const Turn turns[] = {
        {"Picture1", {0, -120}, {}, {2, 0, 90}},   // three lines down
        {"Picture1", {0, -60}, {}, {2, 0, 90}},    // half a notch: nothing yet
        {"Picture1", {0, -60}, {}, {2, 0, 180}},   // and the other half
        {"VScroll1", {0, -120}, {}, {2, 0, 270}},  // over a bar, as over the page
        {"Picture1", {0, 120}, {}, {2, 0, 180}},
        {"Picture1", {0, -120}, Qt::ShiftModifier, {2, 87, 180}},
        {"HScroll1", {0, 120}, Qt::ShiftModifier, {2, 0, 180}},
        {"Picture1", {-120, 0}, {}, {2, 87, 180}},  // a sideways wheel
        {"Picture1", {0, -120}, Qt::ControlModifier, {1.75f, 0, 0}},
        {"Form2", {0, 120}, Qt::ControlModifier, {2, 0, 0}},
        {"Picture1", {0, -240}, Qt::ControlModifier, {1.5f, 0, 0}},
    };
    for (const auto& [over, delta, modifiers, after] : turns) {
        SCOPED_TRACE(
            QStringLiteral("%1,%2 over %3").arg(delta.x()).arg(delta.y()).arg(over).toStdString());
        turnWheel(over == QLatin1String("Form2") ? &form : control<QWidget>(over), delta,
                  modifiers);
        EXPECT_EQ(place(), after);
    }
    for (int i = 0; i < 2; ++i) click("PushButton2");  // 1.0: the page fits, the bars are off
    turnWheel(page, {0, -120});
    turnWheel(page, {0, -120}, Qt::ShiftModifier);
    EXPECT_EQ(place(), (Place{1, 0, 0}));
    EXPECT_TRUE(messages.all().empty());
}

// What the page says reaches assistive technology with the picture, and the page's name says
// which page at what zoom; a picture that carries neither is still named by its zoom.
TEST_F(PreviewWindow, ScreenReadersHearThePageItsTextAndItsZoomAndTooltipsNameTheKeys) {
    QImage page(pagePicture);
    page.setText(QLatin1String(kPictureTextKey), QStringLiteral("FAX\nFor: Ann\nComments: hi"));
    page.setText(QLatin1String(kPicturePagesKey), QStringLiteral("3"));
    packet.setCoverPicture(page);
    QAccessibleInterface* view =
        QAccessible::queryAccessibleInterface(control<QWidget>("Picture1"));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->textInterface(), nullptr);
    EXPECT_EQ(view->role(), QAccessible::Document);
    EXPECT_EQ(view->text(QAccessible::Name),
              QStringLiteral("Cover sheet, page 1 of 3; page 1 of 3 of the fax; zoom 100%"));
    EXPECT_EQ(view->text(QAccessible::Description), QStringLiteral("Cover sheet page"));
    EXPECT_EQ(view->textInterface()->characterCount(), 25);
    EXPECT_EQ(view->textInterface()->text(4, -1), QStringLiteral("For: Ann\nComments: hi"));
    click("PushButton1");
    EXPECT_EQ(view->text(QAccessible::Name),
              QStringLiteral("Cover sheet, page 1 of 3; page 1 of 3 of the fax; zoom 125%"));

    packet.setCoverPicture(QImage(pagePicture));
    EXPECT_EQ(view->text(QAccessible::Name),
              QStringLiteral("Cover sheet, page 1 of 1; page 1 of 1 of the fax; zoom 125%"));
    EXPECT_EQ(view->textInterface()->characterCount(), 0);

    EXPECT_EQ(QAccessible::queryAccessibleInterface(control<QWidget>("PushButton8"))
                  ->text(QAccessible::Name),
              QStringLiteral("Back"));
    EXPECT_EQ(control<QPushButton>("PushButton8")->text(), QStringLiteral("< Back"));
    EXPECT_TRUE(control<QWidget>("PushButton1")->toolTip().startsWith("Zoom In (+, Ctrl+="));
    EXPECT_TRUE(control<QWidget>("PushButton2")->toolTip().startsWith("Zoom Out (-, Ctrl+-"));
    EXPECT_EQ(control<QWidget>("PushButton8")->toolTip(), QStringLiteral("< Back (Alt+Left)"));
}

// The packet page by page: the cover, then the attached documents in their order, each drawn
// at the zoom of the page before; the PDF saved holds them all, the Word file the cover alone;
// a change to the packet under the window has the cover made again for the new count.
TEST_F(PreviewWindow, ShowsAndSavesThePacketPageByPage) {
    test::WriteTextPdf(path("contract.pdf"), {"Contract one", "Contract two", "Contract three"});
    test::WriteTextPdf(path("form.pdf"), {"Form on A4"}, QPageSize::A4);
    QImage photo(300, 200, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    ASSERT_TRUE(photo.save(path("photo.jpg")));
    ASSERT_TRUE(photo.save(path("photo.png")));
    packet.attach({path("contract.pdf"), path("photo.png"), path("form.pdf"), path("photo.jpg")});
    settle();
    ASSERT_EQ(packet.attachedPages(), 6);

    QImage cover(pagePicture);
    cover.setText(QLatin1String(kPicturePagesKey), QStringLiteral("1"));
    packet.setCoverPicture(cover);
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    auto* view = control<PictureBox>("Picture1");
    QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(view);
    const auto status = [&] { return control<QWidget>("PageStatus")->property("text").toString(); };
    EXPECT_EQ(status(), QStringLiteral("Page 1 of 7"));

    click("PushButton1");  // 125 %
    const QSize coverAt125 = view->size();
    QTest::keyClick(&form, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(status(), QStringLiteral("Page 3 of 7"));
    EXPECT_EQ(spoken->text(QAccessible::Name),
              QStringLiteral("contract.pdf, page 2 of 3; page 3 of 7 of the fax; zoom 125%"));
    settle();  // the page is drawn on the worker
    EXPECT_EQ(spoken->textInterface()->text(0, -1).simplified(), QStringLiteral("Contract two"));
    EXPECT_EQ(view->size(), coverAt125) << "a Letter page at the same zoom";
    QTest::keyClick(&form, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(status(), QStringLiteral("Page 7 of 7"));
    QTest::keyClick(&form, Qt::Key_PageUp, Qt::ControlModifier);
    settle();
    EXPECT_EQ(spoken->textInterface()->text(0, -1).simplified(), QStringLiteral("Form on A4"));
    EXPECT_LT(view->width(), coverAt125.width()) << "A4 is narrower than Letter";

    test::FakeWordLog log;
    const test::FakeWordEngine engine(log);
    chosenName = path("packet.pdf");
    chosenFilter = QStringLiteral("PDF Files (*.pdf)");
    click("PushButton6");
    const QString joined = path("packet.pdf");
    ASSERT_EQ(test::PdfPages(joined), 7);
    const char* pages[] = {
        "Fake page", "Contract one", "Contract two", "Contract three", "", "Form on A4", ""};
    for (int page = 1; page <= 7; ++page)
        EXPECT_EQ(test::PdfPageText(joined, page), QLatin1String(pages[page - 1])) << page;
    EXPECT_EQ(test::PdfPageSize(joined, 6), QStringLiteral("595 x 842"));

    // Fax view draws the page as the fax prints it and says so; a fax TIFF holds every page.
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(control<QLabel>("ViewStatus")->text(), QStringLiteral("Fax view, fine"));
    EXPECT_EQ(status(), QStringLiteral("Page 6 of 7"));
    settle();
    EXPECT_EQ(spoken->textInterface()->text(0, -1).simplified(), QStringLiteral("Form on A4"));
    chosenName = path("packet.tif");
    chosenFilter = QStringLiteral("Fax TIFF (*.tif *.tiff)");
    click("PushButton6");
    EXPECT_EQ(test::ToolOutput(QStringLiteral("tiffinfo"), {path("packet.tif")})
                  .count(QStringLiteral("Image Width: 1728")),
              7);
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(control<QLabel>("ViewStatus")->text().isEmpty());
    settle();

    // A Word file would leave the documents out: asked first, and nothing written on No.
    chosenName = path("cover.doc");
    chosenFilter = QStringLiteral("Word Files (*.doc)");
    messages.clear();
    messages.setAnswer(MessageAnswer::No);
    click("PushButton6");
    ASSERT_EQ(messages.all().size(), 1u);
    EXPECT_TRUE(
        messages.all()[0].text.contains("the 4 documents attached behind it (6 pages) "
                                        "would not be in cover.doc"))
        << messages.all()[0].text;
    EXPECT_FALSE(QFile::exists(path("cover.doc")));
    messages.setAnswer(MessageAnswer::Yes);
    click("PushButton6");
    EXPECT_EQ(ReadBytes(path("cover.doc")), document);
    EXPECT_TRUE(control<QStatusBar>("StatusBar")->currentMessage().contains("cover sheet alone"));

    packet.remove(0);
    EXPECT_EQ(status(), QStringLiteral("Page 4 of 4")) << "still on the last page there is";
}

// Send Fax starts from the sheet's number; a number a fax cannot dial, a server that is none or
// a time to send that is past is told in the dialog, which stays open with what was typed.
TEST_F(PreviewWindow, SendFaxTakesOnlyANumberAFaxCanDial) {
    FaxCall proposed;
    proposed.number = QStringLiteral("555-014-2278 ext. 12");
    SendFaxDialog dialog(proposed, 3, QString(), &form);
    dialog.show();
    auto* number = dialog.findChild<QLineEdit*>(QStringLiteral("FaxNumber"));
    auto* problem = dialog.findChild<QLabel*>(QStringLiteral("FaxProblem"));
    auto* send = dialog.findChild<QPushButton*>(QStringLiteral("SendButton"));
    ASSERT_TRUE(number && problem && send);
    EXPECT_TRUE(send->isDefault());
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(problem->isVisible());
    EXPECT_FALSE(problem->text().isEmpty());

    // Two numbers typed as one: asked about, never sent as one at the first Send.
    SetFaxRegion(QStringLiteral("US"));
    number->setText(QStringLiteral("201-555-0142, 201-555-0143"));
    auto* dialled = dialog.findChild<QLabel*>(QStringLiteral("FaxDialled"));
    ASSERT_TRUE(dialled);
    EXPECT_TRUE(dialled->text().contains(QLatin1String("two numbers")))
        << dialled->text().toStdString();
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(problem->text().contains(QLatin1String("looks like two fax numbers")));
    // Separated by ";" or lines: several recipients, a cover each, each number dialled alone.
    number->setText(QStringLiteral("201-555-0142;\n201-555-0143"));
    EXPECT_TRUE(dialled->text().startsWith(QLatin1String("2 recipients, a cover each")))
        << dialled->text().toStdString();
    ASSERT_EQ(dialog.recipients().size(), 2u);
    EXPECT_EQ(dialog.recipients()[1].number, QStringLiteral("201-555-0143"));
    EXPECT_EQ(dialog.recipients()[1].dialled, QStringLiteral("2015550143"));

    number->setText(QStringLiteral(" +1 (555) 014-2278,,12 "));
    EXPECT_TRUE(dialled->text().startsWith(QLatin1String("Dialled as +15550142278,,12")))
        << dialled->text().toStdString();
    auto* server = dialog.findChild<QLineEdit*>(QStringLiteral("FaxServer"));
    server->setText(QStringLiteral("fax.example.org:port"));
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "sent to a server that is none";
    EXPECT_TRUE(problem->text().contains(QLatin1String("is not a fax server")));
    server->setText(QStringLiteral("fax.example.org:14571"));
    dialog.findChild<QRadioButton*>(QStringLiteral("SendLater"))->setChecked(true);
    auto* at = dialog.findChild<QDateTimeEdit*>(QStringLiteral("SendAt"));
    at->setDateTime(QDateTime::currentDateTime().addSecs(-120));
    QTest::keyClick(number, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible()) << "sent at a time past";
    const QDateTime tonight(QDate::currentDate().addDays(1), QTime(21, 30));
    at->setDateTime(tonight);
    dialog.findChild<QComboBox*>(QStringLiteral("FaxResolution"))->setCurrentIndex(1);
    QTest::keyClick(number, Qt::Key_Return);  // Enter sends, as the default button
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.call().number, QStringLiteral("+15550142278,,12")) << "as dialled";
    EXPECT_EQ(dialog.call().resolution, FaxResolution::Standard);
    EXPECT_EQ(dialog.call().server.text(), QStringLiteral("fax.example.org:14571"))
        << "the port typed is the port used";
    EXPECT_EQ(dialog.call().sendAt, tonight.toUTC());

    // Before dialling: asked about a number known nowhere, and one other than the phone book's
    // for the name on the cover; not about one in the book or faxed before, in any form.
    PhoneBook book(path("book"));
    Recipient martin;
    martin.name = QStringLiteral("Martin Hale");
    martin.fax = QStringLiteral("201-555-0142");
    book.add(martin);
    SentFax faxed;
    faxed.id = 1;
    faxed.number = QStringLiteral("2015550177");
    const std::vector<SentFax> faxes{faxed};
    const QString us = QStringLiteral("US");
    EXPECT_EQ(NumberToAskAbout(book, faxes, martin.name, QStringLiteral("+1 201 555 0142"), us),
              QString());
    EXPECT_EQ(NumberToAskAbout(book, faxes, QString(), QStringLiteral("(201) 555-0177"), us),
              QString());
    const QString asked =
        NumberToAskAbout(book, faxes, martin.name, QStringLiteral("201-555-0199"), us);
    EXPECT_TRUE(asked.contains(QLatin1String("phone book has 201-555-0142 for Martin Hale")))
        << asked.toStdString();
    EXPECT_TRUE(asked.contains(QLatin1String("in no phone book and was never faxed")))
        << asked.toStdString();
}

// The format follows the name's extension, in any letter case, else the selected filter,
// whose extension a name without one of a format gets. PDF and DOCX come from an office
// instance opened on the generated document, which it leaves as it was.
TEST_F(PreviewWindow, SavesInTheFormatOfTheExtensionElseOfTheFilter) {
    const QString word = QStringLiteral("Word Files (*.doc)");
    const QString pdf = QStringLiteral("PDF Files (*.pdf)");
    const QString docx = QStringLiteral("Word 2007-365 Files (*.docx)");
    const struct {
        const char* name;
        QString filter;
        QByteArray startsWith;
        const char* written;
    } cases[] = {
        {"a.PDF", word, "%PDF", "a.PDF"},          {"b", pdf, "%PDF", "b.pdf"},
        {"c.docx", pdf, "PK fake", "c.docx"},      {"d.Doc", docx, document, "d.Doc"},
        {"e", docx, "PK fake", "e.docx"},          {"Fax 12.09", word, document, "Fax 12.09.doc"},
        {"g.pdf.doc", pdf, document, "g.pdf.doc"}, {"h.DOCX", word, "PK fake", "h.DOCX"},
    };
    test::FakeWordLog log;
    const test::FakeWordEngine engine(log);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.calls.clear();
        messages.clear();
        chosenName = path(c.name);
        chosenFilter = c.filter;
        click("PushButton6");
        EXPECT_TRUE(ReadBytes(path(c.written)).startsWith(c.startsWith));
        ASSERT_EQ(messages.all().size(), 1u);
        EXPECT_EQ(messages.all()[0].text, QStringLiteral("Done."));
        if (c.startsWith == document) {
            EXPECT_TRUE(log.calls.isEmpty()) << log.calls.join(", ");
            continue;
        }
        ASSERT_EQ(log.calls.size(), 5) << log.calls.join(", ");
        EXPECT_EQ(log.calls[1], QStringLiteral("open ") + form.mWordFile() + QStringLiteral(" ro"));
        EXPECT_TRUE(log.calls[2].startsWith(c.startsWith == "%PDF" ? "exportAsPdf " + path(".")
                                                                   : "saveAsDocx " + path(".")));
        EXPECT_EQ(log.calls.mid(3), QStringList({"closeWithoutSaving", "quit"}));
    }
    EXPECT_EQ(ReadBytes(form.mWordFile()), document);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 10)
        << "the eight files, the picture and the document";
}

TEST_F(PreviewWindow, AFailedExportKeepsTheOldFileAndSaysNoDone) {
    test::FakeWordLog log;
    const test::FakeWordEngine engine(log);
    log.onCall = [](const QString& call) {
        if (call.startsWith("exportAsPdf"))
            throw WordError(QStringLiteral("Could not export the document (disk full)."));
    };
    chosenName = path("results.pdf");
    WriteBytes(chosenName, "the old results");
    messages.setAnswer(MessageAnswer::Yes);
    click("PushButton6");

    EXPECT_EQ(ReadBytes(chosenName), QByteArray("the old results"));
    ASSERT_EQ(messages.errorReports().size(), 1u);
    EXPECT_EQ(messages.errorReports()[0].location,
              QLatin1String(location::Form2_PushButton6_Click));
    EXPECT_EQ(messages.errorReports()[0].step, 130);
    EXPECT_TRUE(messages.errorReports()[0].description.contains("(disk full)"))
        << messages.errorReports()[0].description;
    EXPECT_EQ(messages.otherMessages().size(), 1u) << "the question, and no \"Done.\"";
    EXPECT_EQ(log.calls.mid(3), QStringList({"closeWithoutSaving", "quit"}));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({"results.pdf", "temp.bmp", "velmora.doc"}));

    // An office that cannot open the document is ended all the same.
    messages.clear();
    log.calls.clear();
    log.onCall = [](const QString& call) {
        if (call.startsWith("open")) throw WordError(QStringLiteral("cannot open"));
    };
    click("PushButton6");
    ASSERT_EQ(messages.errorReports().size(), 1u);
    EXPECT_EQ(messages.errorReports()[0].step, 130);
    EXPECT_EQ(log.calls.size(), 3) << log.calls.join(", ");
    EXPECT_EQ(log.calls.value(2), QStringLiteral("quit"));

    // An empty generated document is refused, not exported as a blank page.
    messages.clear();
    log.calls.clear();
    WriteBytes(form.mWordFile(), "");
    click("PushButton6");
    ASSERT_EQ(messages.errorReports().size(), 1u);
    EXPECT_EQ(messages.errorReports()[0].step, 130);
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_EQ(ReadBytes(chosenName), QByteArray("the old results"));
}

TEST_F(PreviewWindow, ShortcutsSaveWithTheWordOrThePdfFilterAndPrint) {
    showPage(pagePicture);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(dialogRequests.size(), 2u);
    EXPECT_EQ(dialogRequests[0].selectedFilter, QStringLiteral("Word Files (*.doc)"));
    EXPECT_EQ(dialogRequests[1].selectedFilter, QStringLiteral("PDF Files (*.pdf)"));
    EXPECT_EQ(dialogRequests[1].title, QStringLiteral("Save File"));
    EXPECT_TRUE(control<QPushButton>("PushButton6")->toolTip().contains("Ctrl+S"));

    // Ctrl+P, cancelled: nothing printed, no office asked.
    test::FakeWordLog log;
    const test::FakeWordEngine engine(log);
    int printDialogs = 0;
    form.setPrintDialog([&](QWidget*, QPrinter&) { return ++printDialogs, false; });
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(printDialogs, 1);
    EXPECT_TRUE(log.calls.isEmpty());
    EXPECT_TRUE(messages.all().empty());
}

QString PdfText(const QString& pdf) {
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

TEST_F(PreviewWindow, PrintsThePagesToThePrinterAndReportsAFailure) {
    test::FakeWordLog log;
    const test::FakeWordEngine engine(log);
    showPage(pagePicture);
    const QString printed = path("printed.pdf");
    form.setPrintDialog([&](QWidget*, QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    });
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(messages.all().empty());
    EXPECT_TRUE(PdfText(printed).contains("Fake page")) << PdfText(printed);
    EXPECT_TRUE(QDir(TempFolder()).entryList({"velmora-print-*"}, QDir::AllEntries).isEmpty())
        << "the pages' folder is gone";

    // The office fails (on a cover made afresh, whose PDF is not made yet): reported at its own
    // location, nothing printed.
    QFile::remove(printed);
    packet.setCoverDocument(form.mWordFile());
    log.onCall = [](const QString& call) {
        if (call.startsWith("exportAsPdf")) throw WordError(QStringLiteral("The office is gone."));
    };
    form.activateWindow();  // back from the progress box, where it showed
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    settle();
    ASSERT_EQ(messages.errorReports().size(), 1u);
    EXPECT_EQ(messages.errorReports()[0].location,
              QStringLiteral("in Velmora2021/08/31.Form2.PrintDocument "));
    EXPECT_EQ(messages.errorReports()[0].description, QStringLiteral("The office is gone."));
    EXPECT_FALSE(QFile::exists(printed));
    EXPECT_EQ(ReadBytes(form.mWordFile()), document);
}

TEST_F(PreviewWindow, AStillRightClickOpensThePageMenuAndADragDoesNot) {
    showPage(pagePicture);
    for (int i = 0; i < 4; ++i) click("PushButton1");
    auto* view = control<PictureBox>("Picture1");
    auto* menu = control<QMenu>("PageMenu");
    QStringList entries;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator()) entries << action->text() + "|" + action->shortcut().toString();
    EXPECT_EQ(
        entries,
        QStringList({"Zoom In|+", "Zoom Out|-", "Previous Page|Ctrl+PgUp", "Next Page|Ctrl+PgDown",
                     "Fax View|Ctrl+Shift+F", "Save Results To Word File…|Ctrl+S",
                     "Save as PDF…|Ctrl+Shift+S", "Print…|Ctrl+P", "Send Fax…|Ctrl+Shift+Return",
                     "Attach Documents…|Ctrl+Shift+A", "Documents…|Ctrl+Shift+D",
                     "Scan Pages…|Ctrl+Shift+N", "< Back|Alt+Left"}));

    // A drag with the right button pans and opens nothing.
    QTest::mousePress(view, Qt::RightButton, {}, QPoint(100, 100));
    QTest::mouseMove(view, QPoint(100, 80));
    QTest::mouseRelease(view, Qt::RightButton, {}, QPoint(100, 80));
    EXPECT_EQ(control<QScrollBar>("VScroll1")->value(), 29);
    EXPECT_FALSE(menu->isVisible());

    // A still click opens it where the pointer is; the release's steps ran as well.
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(50, 60));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    EXPECT_EQ(menu->pos(), view->mapToGlobal(QPoint(50, 60)));
    EXPECT_EQ(view->pos(), QPoint(0, -19));
    menu->hide();
    EXPECT_TRUE(messages.all().empty());
}

// Not a check: with VELMORA_PREVIEW_SHOTS naming a folder, grabs the window at zoom 1 and
// zoomed in, for a person to look at.
TEST_F(PreviewWindow, Screenshots) {
    const QString shots = qEnvironmentVariable("VELMORA_PREVIEW_SHOTS");
    if (shots.isEmpty()) GTEST_SKIP() << "VELMORA_PREVIEW_SHOTS is not set";
    showPage(pagePicture);
    QTest::qWait(200);
    form.grab().save(shots + QStringLiteral("/preview-zoom-1.png"));
    for (int i = 0; i < 4; ++i) click("PushButton1");
    control<QScrollBar>("VScroll1")->setValue(40);
    QTest::qWait(200);
    form.grab().save(shots + QStringLiteral("/preview-zoom-2.png"));
}

}  // namespace
}  // namespace velmora

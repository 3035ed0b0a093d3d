#include "Form2.h"

#include "AttachedDocuments.h"
#include "DocumentsDialog.h"
#include "PageImage.h"
#include "PageView.h"
#include "PictureBox.h"
#include "SendFaxDialog.h"
#include "coversheet/GenerationRun.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/PageSnapshot.h"
#include "coversheet/office/PictureText.h"
#include "coversheet/office/SnapshotResolution.h"
#include "fax/FaxSending.h"
#include "fax/FaxTiff.h"
#include "fax/PageRender.h"
#include "fax/PdfFiles.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/FileProcedures.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/TempFolder.h"
#include "shell/ui/FileDrops.h"
#include "shell/ui/MessageBox.h"
#include "shell/ui/ShortcutToolTip.h"
#include "shell/ui/WindowChrome.h"
#include "shell/ui/WindowCommand.h"
#include "shell/ui/WindowLook.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <utility>

namespace velmora {
namespace {

// The save dialog's filters in Qt's form, one per format.
QStringList saveFilters() {
    return QtNameFilter(SaveFormatFilter()).split(QStringLiteral(";;"));
}

// Where the save dialog opens when nothing was saved yet in this run: the user's documents
// folder, or the home folder where there is none (never the working folder).
QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

// The PDF of the pages to print, in the print command's folder.
QString pages(const QTemporaryDir& folder) {
    return folder.filePath(QStringLiteral("pages.pdf"));
}

// Whether `name` is one of the run's own files in the temporary folder, which the program
// removes (the document shown, its page picture, the template, the packet's PDFs): a save
// there would be lost.
bool IsWorkingFile(const QString& name, QStringList working) {
    const QString chosen = QFileInfo(name).canonicalFilePath();
    if (chosen.isEmpty()) return false;  // not there yet
    working << SnapshotPath() << GenerationRun::TemplatePath();
    for (const QString& file : working)
        if (!file.isEmpty() && QFileInfo(file).canonicalFilePath() == chosen) return true;
    return false;
}

// The failure of a job the window posted, told in a box of its own.
void ShowFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        ShowMessage(
            {.title = {}, .text = QString::fromUtf8(error.what()), .icon = MessageIcon::Warning});
    }
}

// Calls `use` with one PDF of the packet's pages: the only one there is, or the pages joined
// into a working PDF that goes when `use` returns. On the worker.
void WithPacketPdf(const QStringList& pages, const std::function<void(const QString&)>& use) {
    if (pages.size() == 1) return use(pages.front());
    const TempPdf joined(QStringLiteral("velmora-packet"));
    JoinPdfs(pages, joined.path());
    use(joined.path());
}

// How long the status bar tells what a command did.
constexpr int kStatusMessageTime = 30'000;

// A right-button press and release count as a click when the pointer moved less than this
// (in pixels, either way) in between; more is a drag.
constexpr qreal kStillClickSlack = 2;

void mirrorBar(QScrollBar& widget, const ScrollBarState& state) {
    const QSignalBlocker quiet(widget);
    widget.setMaximum(state.max);
    widget.setValue(state.value);
    widget.setEnabled(state.enabled);
}

}  // namespace

Form2::Form2(EditorLink& editor, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      editor_(editor),
      pointer_(*this),
      viewport_(*this),
      documents_(editor.attachedDocuments()) {
    createControls();
    createActions();
    createMenus();
    drops_ = new FileDrops(*this, [this](const QStringList& files) { documents_.attach(files); });
    connect(&OfficeJobs::shared(), &OfficeJobs::busyChanged, this, &Form2::updateActions);
    connect(&documents_, &AttachedDocuments::changed, this, &Form2::packetChanged);
    updateActions();
    Form_Load();
}

Form2::~Form2() = default;

void Form2::createControls() {
    chrome_ = AddWindowChrome(*this, RectFromTwips(0, 0, 9840, 9390).size());
    pageStatus_ = new QLabel(chrome_.statusBar);
    pageStatus_->setObjectName(QStringLiteral("PageStatus"));
    zoomStatus_ = new QLabel(chrome_.statusBar);
    zoomStatus_->setObjectName(QStringLiteral("ZoomStatus"));
    viewStatus_ = new QLabel(chrome_.statusBar);
    viewStatus_->setObjectName(QStringLiteral("ViewStatus"));
    chrome_.statusBar->addPermanentWidget(viewStatus_);
    chrome_.statusBar->addPermanentWidget(pageStatus_);
    chrome_.statusBar->addPermanentWidget(zoomStatus_);
    chrome_.client->setFont(ArialBold(9));
    chrome_.client->setMouseTracking(true);
    setMouseTracking(true);

    const auto scrollBar = [this](Qt::Orientation orientation, const char* name, QRect where) {
        auto* bar = new QScrollBar(orientation, chrome_.client);
        bar->setObjectName(QLatin1String(name));
        bar->setGeometry(where);
        bar->setRange(0, 32767);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        bar->setFocusPolicy(Qt::StrongFocus);
        bar->installEventFilter(this);  // the wheel over a bar moves the page as over the page
        return bar;
    };
    hScroll1_ = scrollBar(Qt::Horizontal, "HScroll1", RectFromTwips(120, 7545, 9330, 255));
    vScroll1_ = scrollBar(Qt::Vertical, "VScroll1", RectFromTwips(9450, 120, 255, 7425));
    hScroll1_->setAccessibleName(QStringLiteral("Page across"));
    vScroll1_->setAccessibleName(QStringLiteral("Page up and down"));

    auto* viewport = new PictureBox(chrome_.client);
    viewport->setObjectName(QStringLiteral("Picture2"));
    viewport->setGeometry(RectFromTwips(120, 120, 9330, 7425));
    viewport->setSunkenBorder(true);
    picture2_ = viewport;
    picture2_->installEventFilter(this);
    // The view moves inside the border and is clipped by it.
    auto* inside = new QWidget(picture2_);
    inside->setObjectName(QStringLiteral("Picture2Inside"));
    inside->setGeometry(picture2_->contentsRect());

    picture1_ = new PageView(inside);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setMouseTracking(true);
    picture1_->installEventFilter(this);
    // Its name, which page at what zoom, follows the view (mirrorViewport).
    picture1_->setAccessibleDescription(QStringLiteral("Cover sheet page"));
    connect(picture1_, &PictureBox::painted, this, [this] {
        if (!picture1_->drawnImage().isNull()) firstPaintTrace_.reset();
    });

    frame1_ = new QGroupBox(QStringLiteral("Zoom:"), chrome_.client);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    frame1_->setGeometry(RectFromTwips(120, 7860, 9600, 855));
    frame1_->setMouseTracking(true);
    frame1_->installEventFilter(this);

    zoomOri_ = new PictureBox(chrome_.client);
    zoomOri_->setObjectName(QStringLiteral("Zoom_Ori"));
    zoomOri_->setGeometry(RectFromTwips(10320, 480, 735, 375));
    zoomOri_->hide();

    const auto pushButton = [this](QWidget* parent, const char* name, const QString& caption,
                                   QRect where, auto click) {
        auto* button = new QPushButton(caption, parent);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(where);
        button->setFont(ArialBold(11.25));
        button->setMouseTracking(true);
        button->setAutoDefault(true);  // Enter presses the button that has the focus
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, click);
        return button;
    };
    pushButton1_ = pushButton(frame1_, "PushButton1", QStringLiteral("Zoom In"),
                              RectFromTwips(240, 300, 4440, 405), &Form2::PushButton1_Click);
    pushButton2_ = pushButton(frame1_, "PushButton2", QStringLiteral("Zoom Out"),
                              RectFromTwips(4800, 300, 4560, 405), &Form2::PushButton2_Click);
    pushButton6_ =
        pushButton(chrome_.client, "PushButton6", QStringLiteral("Save Results To Word File"),
                   RectFromTwips(4920, 8850, 4800, 405), [this] { PushButton6_Click(); });
    pushButton8_ = pushButton(chrome_.client, "PushButton8", QStringLiteral("< Back"),
                              RectFromTwips(120, 8850, 4680, 405), &Form2::PushButton8_Click);
    pushButton8_->setAccessibleName(QStringLiteral("Back"));  // not "less than Back"

    picture1_->setContextMenuPolicy(Qt::PreventContextMenu);  // opened at a still release

    setTabOrder(hScroll1_, vScroll1_);
    setTabOrder(vScroll1_, pushButton1_);
    setTabOrder(pushButton1_, pushButton2_);
    setTabOrder(pushButton2_, pushButton6_);
    setTabOrder(pushButton6_, pushButton8_);

    // The bars report the user's scrolling; the window sets them only with signals blocked.
    connect(hScroll1_, &QScrollBar::valueChanged, this, [this](int value) {
        viewport_.setHScrollValue(static_cast<std::int16_t>(value));
        mirrorViewport();
    });
    connect(vScroll1_, &QScrollBar::valueChanged, this, [this](int value) {
        viewport_.setVScrollValue(static_cast<std::int16_t>(value));
        mirrorViewport();
    });
    mirrorViewport();
}

void Form2::createActions() {
    zoomInAction_ =
        AddWindowCommand(*this, QStringLiteral("Zoom In"),
                         {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal),
                          QKeySequence(QKeySequence::ZoomIn)},
                         [this] { PushButton1_Click(); });
    zoomOutAction_ =
        AddWindowCommand(*this, QStringLiteral("Zoom Out"),
                         {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::CTRL | Qt::Key_Minus),
                          QKeySequence(QKeySequence::ZoomOut)},
                         [this] { PushButton2_Click(); });
    backAction_ =
        AddWindowCommand(*this, QStringLiteral("< Back"), {QKeySequence(Qt::ALT | Qt::Key_Left)},
                         [this] { PushButton8_Click(); });
    stopAction_ = AddWindowCommand(*this, QStringLiteral("Stop"), {QKeySequence::Cancel},
                                   [] { OfficeJobs::shared().giveUpWork(); });
    closeAction_ = AddWindowCommand(*this, QStringLiteral("Close"),
                                    {QKeySequence(Qt::CTRL | Qt::Key_W)}, [this] { close(); });
    pushButton1_->setToolTip(ShortcutToolTip(*zoomInAction_));
    pushButton2_->setToolTip(ShortcutToolTip(*zoomOutAction_));
    pushButton8_->setToolTip(ShortcutToolTip(*backAction_));

    saveAction_ =
        AddWindowCommand(*this, QStringLiteral("Save Results To Word File\u2026"),
                         {QKeySequence(QKeySequence::Save)}, [this] { PushButton6_Click(); });
    savePdfAction_ = AddWindowCommand(*this, QStringLiteral("Save as PDF\u2026"),
                                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
                                      [this] { PushButton6_Click(DocumentFormat::Pdf); });
    printAction_ =
        AddWindowCommand(*this, QStringLiteral("Print\u2026"), {QKeySequence(QKeySequence::Print)},
                         [this] { PrintDocument(); });
    pushButton6_->setToolTip(
        QStringLiteral(
            "Save as a Word document (.doc or .docx), as PDF (.pdf) or as a fax TIFF (.tif) (%1)")
            .arg(saveAction_->shortcut().toString(QKeySequence::NativeText)));
    attachAction_ = AddWindowCommand(*this, QStringLiteral("Attach Documents\u2026"),
                                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)},
                                     [this] { documents_.chooseAndAttach(this); });
    documentsAction_ = AddWindowCommand(*this, QStringLiteral("Documents\u2026"),
                                        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)}, [this] {
                                            DocumentsDialog dialog(documents_, this);
                                            dialog.exec();
                                        });
    nextPageAction_ = AddWindowCommand(*this, QStringLiteral("Next Page"),
                                       {QKeySequence(Qt::CTRL | Qt::Key_PageDown)},
                                       [this] { goToPage(pageIndex_ + 1); });
    previousPageAction_ = AddWindowCommand(*this, QStringLiteral("Previous Page"),
                                           {QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
                                           [this] { goToPage(pageIndex_ - 1); });
    firstPageAction_ =
        AddWindowCommand(*this, QStringLiteral("First Page"),
                         {QKeySequence(Qt::CTRL | Qt::Key_Home)}, [this] { goToPage(0); });
    lastPageAction_ =
        AddWindowCommand(*this, QStringLiteral("Last Page"), {QKeySequence(Qt::CTRL | Qt::Key_End)},
                         [this] { goToPage(pageTotal() - 1); });

    faxViewAction_ = AddWindowCommand(*this, QStringLiteral("Fax View"),
                                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
                                      [this] { setFaxView(!faxView_); });
    faxViewAction_->setCheckable(true);
    auto* resolutions = new QActionGroup(this);
    const auto resolution = [&](const QString& text, FaxResolution value) {
        QAction* action = resolutions->addAction(text);
        action->setCheckable(true);
        action->setChecked(value == faxResolution_);
        connect(action, &QAction::triggered, this, [this, value] {
            faxResolution_ = value;
            if (faxView_) showPacketPage(pageIndex_);
            mirrorViewport();
        });
        return action;
    };
    fineAction_ =
        resolution(QStringLiteral("Fine Resolution (204 \u00d7 196)"), FaxResolution::Fine);
    standardAction_ =
        resolution(QStringLiteral("Standard Resolution (204 \u00d7 98)"), FaxResolution::Standard);
    sendFaxAction_ = AddWindowCommand(*this, QStringLiteral("Send Fax\u2026"),
                                      {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return),
                                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter)},
                                      [this] { SendFax(); });
    // Offered where HylaFAX's client is installed.
    sendFaxAction_->setVisible(FaxSendingAvailable());

    // The page's context menu: the window's commands with their keys.
    pageMenu_ = new QMenu(this);
    pageMenu_->setObjectName(QStringLiteral("PageMenu"));
    pageMenu_->addActions(QList<QAction*>{zoomInAction_, zoomOutAction_});
    pageMenu_->addSeparator();
    pageMenu_->addActions(QList<QAction*>{previousPageAction_, nextPageAction_});
    pageMenu_->addSeparator();
    pageMenu_->addAction(faxViewAction_);
    pageMenu_->addSeparator();
    pageMenu_->addActions(
        QList<QAction*>{saveAction_, savePdfAction_, printAction_, sendFaxAction_});
    pageMenu_->addSeparator();
    pageMenu_->addActions(QList<QAction*>{attachAction_, documentsAction_});
    pageMenu_->addSeparator();
    pageMenu_->addAction(backAction_);

    // The keys that move the page, wherever the focus is in the window.
    using Axis = ViewportNavigation::Axis;
    const auto key = [this](QKeySequence keys, auto move) {
        AddWindowCommand(*this, QString(), {keys}, [this, move] {
            move(navigation_);
            mirrorViewport();
        });
    };
    key(QKeySequence(Qt::Key_Up), [](auto& to) { to.scrollLines(Axis::Vertical, -1); });
    key(QKeySequence(Qt::Key_Down), [](auto& to) { to.scrollLines(Axis::Vertical, 1); });
    key(QKeySequence(Qt::Key_Left), [](auto& to) { to.scrollLines(Axis::Horizontal, -1); });
    key(QKeySequence(Qt::Key_Right), [](auto& to) { to.scrollLines(Axis::Horizontal, 1); });
    key(QKeySequence(Qt::Key_PageUp), [](auto& to) { to.scrollPages(Axis::Vertical, -1); });
    key(QKeySequence(Qt::Key_PageDown), [](auto& to) { to.scrollPages(Axis::Vertical, 1); });
    key(QKeySequence(Qt::Key_Home), [](auto& to) { to.scrollToStart(Axis::Vertical); });
    key(QKeySequence(Qt::Key_End), [](auto& to) { to.scrollToEnd(Axis::Vertical); });
}

void Form2::createMenus() {
    QMenu* file = chrome_.menuBar->addMenu(QStringLiteral("&File"));
    file->addActions({attachAction_, documentsAction_});
    file->addSeparator();
    file->addActions({saveAction_, savePdfAction_, printAction_, sendFaxAction_});
    file->addSeparator();
    file->addActions({backAction_, stopAction_, closeAction_});
    QMenu* view = chrome_.menuBar->addMenu(QStringLiteral("&View"));
    view->addActions({zoomInAction_, zoomOutAction_});
    view->addSeparator();
    view->addActions({firstPageAction_, previousPageAction_, nextPageAction_, lastPageAction_});
    view->addSeparator();
    view->addActions({faxViewAction_, fineAction_, standardAction_});
    QMenu* help = chrome_.menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About %1").arg(QLatin1String(kProductName)), this,
                    [this] { ShowAbout(this); });
    chrome_.menusAdded();
}

// While the office works for this window (a save, an export for printing) or for the editor,
// the commands that would start more office work, change the packet or remove the document it
// reads wait.
void Form2::updateActions() {
    const bool idle = !OfficeJobs::shared().busy();
    for (QAction* command :
         {saveAction_, savePdfAction_, printAction_, backAction_, attachAction_, documentsAction_,
          sendFaxAction_, faxViewAction_, fineAction_, standardAction_})
        command->setEnabled(idle);
    pushButton6_->setEnabled(idle);
    pushButton8_->setEnabled(idle);
    drops_->setEnabled(idle);
    stopAction_->setEnabled(!idle);
    chrome_.showBusy(!idle);
    const int total = pageTotal();
    previousPageAction_->setEnabled(idle && pageIndex_ > 0);
    firstPageAction_->setEnabled(idle && pageIndex_ > 0);
    nextPageAction_->setEnabled(idle && pageIndex_ + 1 < total);
    lastPageAction_->setEnabled(idle && pageIndex_ + 1 < total);
}

void Form2::busyPointer(bool busy) {
    if (busy) {
        pointerBeforeWork_ = pointer_.pointer();
        pointer_.set(WindowPointer::Hourglass);
    } else {
        pointer_.set(pointerBeforeWork_);
    }
}

void Form2::wheelEvent(QWheelEvent* event) {
    turnWheel(*event);
}

void Form2::turnWheel(QWheelEvent& event) {
    event.accept();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const int zoomSteps =
        navigation_.wheel(event.angleDelta(), modifiers & Qt::ControlModifier,
                          modifiers & Qt::ShiftModifier, QApplication::wheelScrollLines());
    // One zoom step per notch, through the zoom commands themselves.
    for (int step = 0; step < std::abs(zoomSteps); ++step)
        zoomSteps > 0 ? PushButton1_Click() : PushButton2_Click();
    mirrorViewport();
}

void Form2::Form_Load() {
    Procedure proc(location::Form2_Form_Load);
    proc.step(100, [&] { viewport_.rearmCapture(); });
    proc.step(102, [&] { SetButtonFaceColors(this); });
    proc.step(104, [&] {
        setWindowTitle(QLatin1String(kProductName));
        setWindowIcon(ProgramIcon());
    });
    if (proc.test(
            108, [&] { return WindowPointer::customCursorExists(ProgramFolder()); }, false))
        proc.step(110, [&] { pointer_.loadCustomCursor(ProgramFolder()); });
}

void Form2::setPicture(QImage page) {
    if (page.isNull()) throw Failure(QStringLiteral("Invalid picture"));
    forgetCover();
    // A new cover shows as the office pictured it; fax view is asked for again.
    faxView_ = false;
    faxViewAction_->setChecked(false);
    coverPages_ = std::max(1, page.text(QLatin1String(kPicturePagesKey)).toInt());
    coverCounted_ = documents_.attachedPages();
    coverPicture_ = page;
    pageIndex_ = 0;
    const QSizeF naturalSize = PictureSizeTwips(page);
    picture1_->setPageText(page.text(QLatin1String(kPictureTextKey)));
    picture1_->setPicture(std::move(page));
    viewport_.assignViewPicture(naturalSize);
    // A cover made afresh while the window is shown is captured now; no activation comes.
    if (isVisible() && !viewport_.firstActivate()) {
        viewport_.rearmCapture();
        viewport_.Form_Activate();
    }
    mirrorViewport();
    updateActions();
}

int Form2::pageTotal() const {
    return coverPages_ + documents_.attachedPages();
}

void Form2::goToPage(int index) {
    index = std::clamp(index, 0, pageTotal() - 1);
    if (index == pageIndex_ || OfficeJobs::shared().busy()) return;
    showPacketPage(index);
}

void Form2::showPacketPage(int index) {
    if (index == 0 && !faxView_) {
        pageIndex_ = 0;
        picture1_->setPageText(coverPicture_.text(QLatin1String(kPictureTextKey)));
        showPageImage(coverPicture_);
        return;
    }
    if (index >= coverPages_) {
        const PdfPage page = documents_.packet().attachedPage(index - coverPages_);
        showPdfPage(page.pdf, page.index, index);
        return;
    }
    // The cover's later pages, and every page of it in fax view: from the cover's PDF, which
    // the office makes first.
    const QString pdf = coverPdf();
    if (coverPdfMade_) {
        showPdfPage(pdf, index, index);
        return;
    }
    busyPointer(true);
    OfficeJobs::shared().post(this, coverPdfWork(), [this, pdf, index](std::exception_ptr failure) {
        busyPointer(false);
        if (failure) {
            ShowFailure(failure);
            return;
        }
        coverPdfMade(pdf);
        if (coverPdf_ && pdf == coverPdf_->path()) showPdfPage(pdf, index, index);
    });
}

void Form2::showPdfPage(const QString& pdf, int index, int pageIndex) {
    QString text;
    QImage page;
    try {
        if (faxView_) {
            // As the fax prints it, on the scale of the office's pictures: its dots are drawn
            // as many to the inch as the fax's, times the pictures' own ratio.
            const QImage fax = FaxPage(pdf, index, faxResolution_);
            page = fax.convertToFormat(QImage::Format_RGB32);
            constexpr double kScale = double(kSnapshotPictureDpi) / kSnapshotRenderDpi;
            page.setDotsPerMeterX(int(std::lround(fax.dotsPerMeterX() * kScale)));
            page.setDotsPerMeterY(int(std::lround(fax.dotsPerMeterY() * kScale)));
            text = PageTextOf(pdf, index);
        } else {
            page = RenderPdfPage(pdf, index, kSnapshotRenderDpi, kSnapshotPictureDpi, &text);
        }
    } catch (const Failure& failure) {
        ShowMessage(
            {.title = {}, .text = QString::fromUtf8(failure.what()), .icon = MessageIcon::Warning});
        return;
    }
    pageIndex_ = pageIndex;
    picture1_->setPageText(text);
    showPageImage(std::move(page));
}

void Form2::setFaxView(bool on) {
    faxView_ = on;
    faxViewAction_->setChecked(on);
    showPacketPage(pageIndex_);
    mirrorViewport();
}

void Form2::showPageImage(QImage page) {
    const float zoom = viewport_.zoom();
    const QSizeF naturalSize = PictureSizeTwips(page);
    picture1_->setPicture(std::move(page));
    viewport_.assignViewPicture(naturalSize);
    viewport_.rearmCapture();
    viewport_.Form_Activate();
    if (zoom != 1.0f) viewport_.SetZoom(zoom);
    mirrorViewport();
    updateActions();
}

const QString& Form2::coverPdf() {
    if (!coverPdf_) {
        coverPdf_ = std::make_unique<TempPdf>(QStringLiteral("velmora-cover"));
        coverPdfMade_ = false;
    }
    return coverPdf_->path();
}

std::function<void()> Form2::coverPdfWork() {
    const QString& pdf = coverPdf();
    if (coverPdfMade_) return [] {};
    return [document = mWordFile, pdf] { ExportDocument(document, pdf, DocumentFormat::Pdf); };
}

void Form2::coverPdfMade(const QString& pdf) {
    if (coverPdf_ && coverPdf_->path() == pdf) coverPdfMade_ = true;
}

void Form2::forgetCover() {
    coverPdf_.reset();
    coverPdfMade_ = false;
}

void Form2::packetChanged() {
    if (!isVisible()) return;
    if (pageIndex_ >= pageTotal()) goToPage(pageTotal() - 1);
    // The cover counts the packet's pages: it is made again for the new count.
    if (documents_.attachedPages() != coverCounted_ && !mWordFile.isEmpty()) editor_.renewCover();
    mirrorViewport();
    updateActions();
}

bool Form2::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) Form_Activate();
    return QWidget::event(event);
}

void Form2::Form_Activate() {
    viewport_.Form_Activate();
    mirrorViewport();
}

void Form2::showEvent(QShowEvent* event) {
    if (viewport_.firstActivate()) firstPaintTrace_.emplace("Form2 shown to page painted");
    if (!centred_ && !event->spontaneous()) {
        centred_ = true;
        if (const QScreen* onScreen = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(onScreen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
    // The window replaces the editor on screen; it takes the focus the editor had, also
    // where no window manager hands it over (its first activation captures the page).
    raise();
    activateWindow();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::Wheel && (watched == hScroll1_ || watched == vScroll1_ ||
                                  watched == picture1_ || watched == picture2_)) {
        turnWheel(static_cast<QWheelEvent&>(*event));
        return true;
    }
    if (watched == picture1_ && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                                 type == QEvent::MouseButtonRelease)) {
        pictureMouse(static_cast<const QMouseEvent&>(*event));
        return true;
    }
    if (type == QEvent::MouseMove) {
        const auto& move = static_cast<const QMouseEvent&>(*event);
        if (watched == frame1_ && !frame1_->childAt(move.position().toPoint())) {
            pointer_.arrowRule();
        } else if (watched == pushButton1_ || watched == pushButton2_ || watched == pushButton6_ ||
                   watched == pushButton8_) {
            pointer_.handRule();
            // Hovering ends here; a button left to itself would pass the move on to Frame1.
            if (move.buttons() == Qt::NoButton) return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    const QWidget* under = childAt(event->position().toPoint());
    if (!under || under == chrome_.client) pointer_.arrowRule();
    QWidget::mouseMoveEvent(event);
}

void Form2::pictureMouse(const QMouseEvent& event) {
    const auto x = static_cast<float>(event.position().x() * kTwipsPerPixel);
    const auto y = static_cast<float>(event.position().y() * kTwipsPerPixel);
    // The view moves with a drag, so movement is measured on the screen.
    const QPointF onScreen = event.globalPosition();
    switch (event.type()) {
        case QEvent::MouseButtonPress:
            if (event.button() == Qt::RightButton) {
                rightPressed_ = true;
                rightMoved_ = false;
                rightPressAt_ = onScreen;
            }
            viewport_.picture1_MouseDown(x, y);
            break;
        case QEvent::MouseMove:
            if (rightPressed_ && (onScreen - rightPressAt_).manhattanLength() > kStillClickSlack)
                rightMoved_ = true;
            viewport_.picture1_MouseMove(event.buttons() != Qt::NoButton, x, y);
            break;
        default:
            viewport_.Picture1_MouseUp();
            break;
    }
    mirrorViewport();
    if (event.type() == QEvent::MouseButtonRelease && event.button() == Qt::RightButton &&
        std::exchange(rightPressed_, false) && !rightMoved_)
        pageMenu_->popup(onScreen.toPoint());
}

void Form2::contextMenuEvent(QContextMenuEvent* event) {
    // The menu key: the menu opens over the middle of the page's frame.
    if (event->reason() == QContextMenuEvent::Keyboard)
        pageMenu_->popup(picture2_->mapToGlobal(picture2_->rect().center()));
    event->accept();
}

void Form2::PushButton1_Click() {
    Procedure proc(location::Form2_PushButton1_Click);
    proc.step(100, [&] { viewport_.StepZoom(ViewportModel::ZoomDirection::In); });
    mirrorViewport();
}

void Form2::PushButton2_Click() {
    Procedure proc(location::Form2_PushButton2_Click);
    proc.step(100, [&] { viewport_.StepZoom(ViewportModel::ZoomDirection::Out); });
    mirrorViewport();
}

void Form2::PushButton6_Click(DocumentFormat filter) {
    Procedure proc(location::Form2_PushButton6_Click);
    SaveDialogRequest request;
    SaveDialogChoice chosen;
    QString name;
    auto answer = MessageAnswer::No;
    proc.step(106, [&] { request.fileName.clear(); });
    proc.step(108, [&] { request.title = QStringLiteral("Save File"); });
    proc.step(110, [&] {
        request.filter = QtNameFilter(SaveFormatFilter());
        request.selectedFilter = saveFilters().value(int(filter));
        request.folder = lastSaveFolder_.isEmpty() ? documentsFolder() : lastSaveFolder_;
    });
    proc.step(112, [&] { chosen = saveDialog_(this, request); });
    // A name without an extension of a format gets the chosen filter's.
    DocumentFormat chosenFilter = filter;
    proc.step(114, [&] {
        const qsizetype selected = saveFilters().indexOf(chosen.filter);
        if (selected >= 0) chosenFilter = DocumentFormat(selected);
        name = NameWithFormatExtension(chosen.fileName, chosenFilter);
    });
    if (!proc.test(
            116, [&] { return !name.isEmpty(); }, false))
        return;
    QStringList working = documents_.packet().pdfs(coverPdf_ ? coverPdf_->path() : QString());
    working << mWordFile;
    if (IsWorkingFile(name, working)) {
        ShowMessage(
            {.title = {},
             .text = QStringLiteral("%1 is the document this window shows, which is removed "
                                    "when you go back or close. Please choose another name.")
                         .arg(name),
             .icon = MessageIcon::Warning});
        return;
    }
    if (proc.test(
            118, [&] { return FileExists(name); }, true)) {
        proc.step(120, [&] {
            answer = ShowMessage({.title = {},
                                  .text = QStringLiteral("Are you sure you wish to overwrite ") +
                                          name + QStringLiteral(" ?"),
                                  .buttons = MessageButtons::YesNo});
        });
    } else {
        proc.step(126, [&] { answer = MessageAnswer::Yes; });
    }
    if (!proc.test(
            128, [&] { return answer == MessageAnswer::Yes; }, false))
        return;
    // The format the name's extension names, else the selected filter's. The old file is
    // replaced only by a complete new one; the office works on its worker meanwhile.
    DocumentFormat format = filter;
    if (!proc.step(130, [&] { format = FormatForName(name, chosenFilter); })) return;
    // A PDF holds the whole packet: the cover's pages, then the attached documents' in their
    // order; so does a fax TIFF, drawn from it. A Word file holds the cover alone.
    const bool packet = (format == DocumentFormat::Pdf && documents_.count() > 0) ||
                        format == DocumentFormat::FaxTiff;
    QStringList pages;
    std::function<void()> coverWork;
    if (packet) {
        PacketParts parts = packetParts();
        pages = parts.pdfs;
        coverWork = std::move(parts.coverWork);
    }
    busyPointer(true);
    OfficeJobs::shared().post(
        this,
        [document = mWordFile, name, format, pages, coverWork, resolution = faxResolution_] {
            if (format == DocumentFormat::FaxTiff) {
                coverWork();
                WithPacketPdf(pages,
                              [&](const QString& pdf) { WriteFaxTiff(pdf, name, resolution); });
            } else if (!pages.isEmpty()) {
                coverWork();
                JoinPdfs(pages, name);
            } else if (format == DocumentFormat::Word97) {
                AtomicFile::Copy(document, name);
            } else {
                ExportDocument(document, name, format);
            }
        },
        [this, name, pages, format](std::exception_ptr failure) {
            busyPointer(false);
            Procedure done(location::Form2_PushButton6_Click);
            if (!done.step(130, [&] {
                    if (failure) std::rethrow_exception(failure);
                }))
                return;
            if (!pages.isEmpty()) coverPdfMade(pages.front());
            lastSaveFolder_ = QFileInfo(name).absolutePath();
            if (format == DocumentFormat::FaxTiff)
                chrome_.statusBar->showMessage(
                    QStringLiteral("Saved the packet, %1, as a fax TIFF (%2): %3")
                        .arg(PagesText(pageTotal()),
                             faxResolution_ == FaxResolution::Fine ? QStringLiteral("fine")
                                                                   : QStringLiteral("standard"),
                             name),
                    kStatusMessageTime);
            else if (!pages.isEmpty())
                chrome_.statusBar->showMessage(
                    QStringLiteral("Saved the packet, %1, as %2").arg(PagesText(pageTotal()), name),
                    kStatusMessageTime);
            else if (format != DocumentFormat::Pdf && documents_.count() > 0)
                chrome_.statusBar->showMessage(
                    QStringLiteral("The Word file holds the cover sheet alone; save as PDF for the "
                                   "whole packet of %1.")
                        .arg(PagesText(pageTotal())),
                    kStatusMessageTime);
            done.step(132, [&] { ShowMessage({.title = {}, .text = QStringLiteral("Done.")}); });
        });
}

// Print: the desktop's print dialog, then every chosen page of the packet as the office lays
// it out. Cancelling prints nothing. The pages are drawn for the printer on the worker, with
// their progress in a box whose Cancel stops the job.
void Form2::PrintDocument() {
    Procedure proc(location::Form2_PrintDocument);
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    proc.step(100, [&] { printer->setDocName(QLatin1String(kProductName)); });
    if (!proc.test(
            102, [&] { return printDialog_(this, *printer); }, false))
        return;
    // The document's pages, exported by the office on its worker into a folder of their own
    // that goes with the command; behind them, the attached documents' pages, joined into one
    // file to print.
    QStringList attached;
    for (const Attachment& attachment : documents_.packet().attachments())
        attached << attachment.pdf;
    struct Job {
        std::optional<QTemporaryDir> folder;
        std::exception_ptr printFailure;
        std::atomic<bool> cancelled{false};
        std::atomic<int> printed{0}, sheets{0};  // told by the worker
    };
    auto job = std::make_shared<Job>();
    auto* progress = new QProgressDialog(QStringLiteral("Preparing the pages\u2026"),
                                         QStringLiteral("Cancel"), 0, 0, this);
    progress->setObjectName(QStringLiteral("PrintProgress"));
    progress->setWindowTitle(QStringLiteral("Print"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    connect(progress, &QProgressDialog::canceled, this, [job] { job->cancelled = true; });
    // The box follows the worker's count; it goes with the box.
    auto* poll = new QTimer(progress);
    connect(poll, &QTimer::timeout, progress, [progress, job] {
        const int sheets = job->sheets;
        if (sheets == 0) return;
        progress->setMaximum(sheets);
        progress->setValue(std::min(int(job->printed), sheets));
        progress->setLabelText(QStringLiteral("Printing page %1 of %2\u2026")
                                   .arg(std::min(job->printed + 1, sheets))
                                   .arg(sheets));
    });
    poll->start(100);
    busyPointer(true);
    OfficeJobs::shared().post(
        this,
        [document = mWordFile, job, attached, printer] {
            job->folder.emplace(TempFolder() + QStringLiteral("/velmora-print-XXXXXX"));
            if (!job->folder->isValid())
                throw Failure(QStringLiteral("Cannot create a folder for the pages to print: %1")
                                  .arg(job->folder->errorString()));
            const QString cover = job->folder->filePath(QStringLiteral("cover.pdf"));
            ExportDocument(document, attached.isEmpty() ? pages(*job->folder) : cover,
                           DocumentFormat::Pdf);
            if (!attached.isEmpty()) JoinPdfs(QStringList{cover} + attached, pages(*job->folder));
            try {
                PagePrinter(pages(*job->folder)).print(*printer, [&](int printed, int sheets) {
                    job->sheets = sheets;
                    job->printed = printed;
                    return !job->cancelled;
                });
            } catch (...) {
                job->printFailure = std::current_exception();
            }
        },
        [this, job, progress](std::exception_ptr failure) {
            delete progress;  // at once: a box left until later would keep the window modal
            Procedure done(location::Form2_PrintDocument);
            if (done.step(104, [&] {
                    if (failure) std::rethrow_exception(failure);
                }))
                done.step(106, [&] {
                    if (job->printFailure) std::rethrow_exception(job->printFailure);
                });
            if (job->cancelled && !failure && !job->printFailure)
                chrome_.statusBar->showMessage(QStringLiteral("Printing cancelled"),
                                               kStatusMessageTime);
            busyPointer(false);
        });
}

Form2::PacketParts Form2::packetParts() {
    PacketParts parts;
    parts.pdfs = documents_.packet().pdfs(coverPdf());
    parts.coverWork = coverPdfWork();
    return parts;
}

// Send Fax: the packet as a fax TIFF, handed to a HylaFAX server as one job. The server's
// job id, or its own words when it cannot be reached or refuses; nothing is lost either way,
// and the command can be given again.
void Form2::SendFax() {
    if (!FaxSendingAvailable()) return;
    SendFaxDialog dialog({.number = editor_.recipientFaxNumber(),
                          .server = faxServer_,
                          .resolution = faxResolution_},
                         pageTotal(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const FaxCall call = dialog.call();
    faxServer_ = call.server;
    PacketParts parts = packetParts();
    auto jobId = std::make_shared<QString>();
    busyPointer(true);
    chrome_.statusBar->showMessage(QStringLiteral("Sending the fax to %1\u2026").arg(call.number));
    OfficeJobs::shared().post(
        this,
        [pages = parts.pdfs, coverWork = parts.coverWork, call, jobId] {
            coverWork();
            WithPacketPdf(pages, [&](const QString& pdf) { *jobId = SendPdfAsFax(pdf, call); });
        },
        [this, pdf = parts.pdfs.front(), call, jobId](std::exception_ptr failure) {
            busyPointer(false);
            const QString server = call.server.isEmpty() ? DefaultFaxServer() : call.server;
            if (failure) {
                chrome_.statusBar->showMessage(QStringLiteral("The fax was not sent"),
                                               kStatusMessageTime);
                QString reason;
                try {
                    std::rethrow_exception(failure);
                } catch (const std::exception& error) {
                    reason = QString::fromUtf8(error.what());
                }
                ShowMessage({.title = {},
                             .text = reason + QStringLiteral("\n\nNothing was lost: give Send Fax "
                                                             "again when the server can take it."),
                             .icon = MessageIcon::Warning});
                return;
            }
            coverPdfMade(pdf);
            const QString sent =
                QStringLiteral("The fax to %1 is with the fax server %2 as job %3.")
                    .arg(call.number, server, *jobId);
            chrome_.statusBar->showMessage(sent, kStatusMessageTime);
            ShowMessage({.title = {}, .text = sent});
        });
}

void Form2::PushButton8_Click() {
    Procedure proc(location::Form2_PushButton8_Click);
    forgetCover();
    proc.step(102, [&] { RemoveFileQuietly(mWordFile); });
    proc.step(104, [&] {
        // Re-armed first: the next page is captured even if the editor fails to show.
        viewport_.rearmCapture();
        editor_.showEditor();
    });
    proc.step(106, [&] { hide(); });
}

void Form2::closeEvent(QCloseEvent* event) {
    // Office work under way for the document is ended first: its files are removed as it
    // fails, and the document can then go.
    if (OfficeJobs::shared().busy()) OfficeJobs::shared().abortWork();
    Form_QueryUnload();
    event->accept();
    QCoreApplication::quit();
}

void Form2::Form_QueryUnload() {
    Procedure proc(location::Form2_Form_QueryUnload);
    forgetCover();
    proc.step(100, [&] { RemoveFileQuietly(mWordFile); });
    // Pending window events run; the user's input has nothing left to act on.
    proc.step(102, [&] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    proc.step(104, [&] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

void Form2::mirrorViewport() {
    const TwipsRect& view = viewport_.view();
    picture1_->setGeometry(TwipsToPixels(view.left), TwipsToPixels(view.top),
                           TwipsToPixels(view.width), TwipsToPixels(view.height));
    zoomOri_->resize(TwipsToPixels(viewport_.holderSize().width()),
                     TwipsToPixels(viewport_.holderSize().height()));
    mirrorBar(*hScroll1_, viewport_.hScroll());
    mirrorBar(*vScroll1_, viewport_.vScroll());
    const long zoom = std::lround(viewport_.zoom() * 100);
    const QString page = QStringLiteral("Page %1 of %2").arg(pageIndex_ + 1).arg(pageTotal());
    const QString name = QStringLiteral("%1, %2%").arg(page).arg(zoom);
    if (picture1_->accessibleName() != name) picture1_->setAccessibleName(name);
    pageStatus_->setText(page);
    viewStatus_->setText(!faxView_ ? QString()
                         : faxResolution_ == FaxResolution::Fine
                             ? QStringLiteral("Fax view, fine")
                             : QStringLiteral("Fax view, standard"));
    zoomStatus_->setText(QStringLiteral("Zoom %1%").arg(zoom));
}

void Form2::prepareView() {
    QPalette white = picture1_->palette();
    white.setColor(QPalette::Window, Qt::white);
    picture1_->setPalette(white);
}

void Form2::holdViewPicture() {
    zoomOri_->setPicture(picture1_->picture());
}

void Form2::clearViewPicture() {
    picture1_->clearPicture();
}

void Form2::paintPage(QSize imageSize, QSize sourceSize) {
    picture1_->setDrawnImage(
        RenderPage(zoomOri_->picture(), sourceSize, imageSize, picture1_->devicePixelRatioF()));
}

void Form2::defaultPointer() {
    pointer_.set(WindowPointer::Default);
}

}  // namespace velmora

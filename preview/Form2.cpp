#include "Form2.h"

#include "AttachedDocuments.h"
#include "DocumentsDialog.h"
#include "PageImage.h"
#include "PageView.h"
#include "PictureBox.h"
#include "PrintJob.h"
#include "SendFaxDialog.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/PageSnapshot.h"
#include "coversheet/office/PictureText.h"
#include "coversheet/office/SnapshotResolution.h"
#include "fax/PageRender.h"
#include "fax/SendJob.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
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
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

namespace velmora {
namespace {

// The reason a job failed, in words.
QString Reason(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
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

Form2::Form2(AttachedDocuments& documents, std::function<void()> backToEditor, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      documents_(documents),
      packet_(documents.packet()),
      backToEditor_(std::move(backToEditor)),
      pointer_(*this),
      viewport_(*this) {
    createControls();
    createActions();
    createMenus();
    drops_ = new FileDrops(*this, [this](const QStringList& files) { packet_.attach(files); });
    connect(&OfficeJobs::shared(), &OfficeJobs::busyChanged, this, &Form2::updateActions);
    connect(&packet_, &FaxPacket::documentsChanged, this, &Form2::packetChanged);
    connect(&packet_, &FaxPacket::coverChanged, this, [this] {
        if (packet_.hasCover()) showCover();
    });
    updateActions();
    Form_Load();
    if (packet_.hasCover()) showCover();
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

    // Each button is the view of its command (createActions).
    const auto pushButton = [this](QWidget* parent, const char* name, const QString& caption,
                                   QRect where) {
        auto* button = new QPushButton(caption, parent);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(where);
        button->setFont(ArialBold(11.25));
        button->setMouseTracking(true);
        button->setAutoDefault(true);  // Enter presses the button that has the focus
        button->installEventFilter(this);
        return button;
    };
    pushButton1_ = pushButton(frame1_, "PushButton1", QStringLiteral("Zoom In"),
                              RectFromTwips(240, 300, 4440, 405));
    pushButton2_ = pushButton(frame1_, "PushButton2", QStringLiteral("Zoom Out"),
                              RectFromTwips(4800, 300, 4560, 405));
    pushButton6_ =
        pushButton(chrome_.client, "PushButton6", QStringLiteral("Save Results To Word File"),
                   RectFromTwips(4920, 8850, 4800, 405));
    pushButton8_ = pushButton(chrome_.client, "PushButton8", QStringLiteral("< Back"),
                              RectFromTwips(120, 8850, 4680, 405));
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
    const auto ctrl = [](auto key) { return QKeySequence(Qt::CTRL | key); };
    const auto ctrlShift = [](auto key) { return QKeySequence(Qt::CTRL | Qt::SHIFT | key); };
    AddWindowCommands(
        *this,
        {{&zoomInAction_,
          QStringLiteral("Zoom In"),
          {QKeySequence(Qt::Key_Plus), ctrl(Qt::Key_Equal), QKeySequence(QKeySequence::ZoomIn)},
          [this] { PushButton1_Click(); },
          pushButton1_},
         {&zoomOutAction_,
          QStringLiteral("Zoom Out"),
          {QKeySequence(Qt::Key_Minus), ctrl(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)},
          [this] { PushButton2_Click(); },
          pushButton2_},
         {&backAction_,
          QStringLiteral("< Back"),
          {QKeySequence(Qt::ALT | Qt::Key_Left)},
          [this] { PushButton8_Click(); },
          pushButton8_},
         {&stopAction_, QStringLiteral("Stop"), {QKeySequence::Cancel}, [this] { stop(); }},
         {&closeAction_, QStringLiteral("Close"), {ctrl(Qt::Key_W)}, [this] { close(); }},
         {&saveAction_,
          QStringLiteral("Save Results To Word File\u2026"),
          {QKeySequence(QKeySequence::Save)},
          [this] { PushButton6_Click(); },
          pushButton6_},
         {&savePdfAction_,
          QStringLiteral("Save as PDF\u2026"),
          {ctrlShift(Qt::Key_S)},
          [this] { PushButton6_Click(DocumentFormat::Pdf); }},
         {&printAction_,
          QStringLiteral("Print\u2026"),
          {QKeySequence(QKeySequence::Print)},
          [this] { PrintDocument(); }},
         {&attachAction_,
          QStringLiteral("Attach Documents\u2026"),
          {ctrlShift(Qt::Key_A)},
          [this] { documents_.chooseAndAttach(this); }},
         {&documentsAction_,
          QStringLiteral("Documents\u2026"),
          {ctrlShift(Qt::Key_D)},
          [this] {
              DocumentsDialog dialog(documents_, this);
              dialog.exec();
          }},
         {&nextPageAction_,
          QStringLiteral("Next Page"),
          {ctrl(Qt::Key_PageDown)},
          [this] { goToPage(pageIndex_ + 1); }},
         {&previousPageAction_,
          QStringLiteral("Previous Page"),
          {ctrl(Qt::Key_PageUp)},
          [this] { goToPage(pageIndex_ - 1); }},
         {&firstPageAction_,
          QStringLiteral("First Page"),
          {ctrl(Qt::Key_Home)},
          [this] { goToPage(0); }},
         {&lastPageAction_,
          QStringLiteral("Last Page"),
          {ctrl(Qt::Key_End)},
          [this] { goToPage(pageTotal() - 1); }},
         {&faxViewAction_,
          QStringLiteral("Fax View"),
          {ctrlShift(Qt::Key_F)},
          [this] { setFaxView(!faxView_); }},
         {&sendFaxAction_,
          QStringLiteral("Send Fax\u2026"),
          {ctrlShift(Qt::Key_Return), ctrlShift(Qt::Key_Enter)},
          [this] { SendFax(); }}});
    pushButton1_->setToolTip(ShortcutToolTip(*zoomInAction_));
    pushButton2_->setToolTip(ShortcutToolTip(*zoomOutAction_));
    pushButton8_->setToolTip(ShortcutToolTip(*backAction_));
    pushButton6_->setToolTip(
        QStringLiteral(
            "Save as a Word document (.doc or .docx), as PDF (.pdf) or as a fax TIFF (.tif) (%1)")
            .arg(saveAction_->shortcut().toString(QKeySequence::NativeText)));
    faxViewAction_->setCheckable(true);
    // Offered where HylaFAX's client is installed.
    sendFaxAction_->setVisible(FaxSendingAvailable());

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

// While work runs for this window (a save, a print, a send, a page of the cover) or for the
// editor, the commands that would start more work, change the packet or remove the document
// it reads wait; Stop gives it up.
void Form2::updateActions() {
    const bool idle = !OfficeJobs::shared().busy();
    for (QAction* command :
         {saveAction_, savePdfAction_, printAction_, backAction_, attachAction_, documentsAction_,
          sendFaxAction_, faxViewAction_, fineAction_, standardAction_})
        command->setEnabled(idle);
    drops_->setEnabled(idle);
    stopAction_->setEnabled(!idle);
    chrome_.showBusy(!idle);
    const int total = pageTotal();
    previousPageAction_->setEnabled(idle && pageIndex_ > 0);
    firstPageAction_->setEnabled(idle && pageIndex_ > 0);
    nextPageAction_->setEnabled(idle && pageIndex_ + 1 < total);
    lastPageAction_->setEnabled(idle && pageIndex_ + 1 < total);
}

void Form2::startJob(Job* job) {
    job_ = job;
    busyPointer(true);
}

void Form2::jobEnded() {
    busyPointer(false);
}

bool Form2::jobCancelled() const {
    return job_ && job_->cancelled();
}

void Form2::stop() {
    if (job_) job_->cancel();
    packet_.stop();
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

void Form2::showCover() {
    // A new cover shows as the office pictured it; fax view is asked for again.
    faxView_ = false;
    faxViewAction_->setChecked(false);
    pageIndex_ = 0;
    QImage page = packet_.coverPicture();
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

void Form2::goToPage(int index) {
    index = std::clamp(index, 0, pageTotal() - 1);
    if (index == pageIndex_ || OfficeJobs::shared().busy()) return;
    showPacketPage(index);
}

void Form2::showPacketPage(int index) {
    if (index == 0 && !faxView_) {
        pageIndex_ = 0;
        picture1_->setPageText(packet_.coverPicture().text(QLatin1String(kPictureTextKey)));
        showPageImage(packet_.coverPicture());
        return;
    }
    // The cover's later pages, and every page of it in fax view, come from the cover's PDF,
    // which the office makes first.
    if (index >= packet_.coverPages() || packet_.coverPdfMade()) {
        const PdfPage page = packet_.page(index);
        showPdfPage(page.pdf, page.index, index);
        return;
    }
    busyPointer(true);
    packet_.makeCoverPdf(this, [this, index](std::exception_ptr failure) {
        busyPointer(false);
        if (failure) {
            ShowMessage({.title = {}, .text = Reason(failure), .icon = MessageIcon::Warning});
            return;
        }
        const PdfPage page = packet_.page(index);
        if (packet_.coverPdfMade() && !page.pdf.isEmpty()) showPdfPage(page.pdf, index, index);
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

void Form2::packetChanged() {
    if (!isVisible()) return;
    if (pageIndex_ >= pageTotal()) goToPage(pageTotal() - 1);
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

// "Save Results To Word File": the save dialog's questions (SaveCommand), then the save as a
// job (fax/SaveJob). The old file is replaced only by a complete new one; the window keeps
// painting meanwhile, and Stop gives the save up.
void Form2::PushButton6_Click(DocumentFormat filter) {
    const std::optional<SaveOrder> order = save_.ask(this, packet_, filter, faxResolution_);
    if (!order) return;
    startJob(SavePacket(packet_, *order, this, [this, order = *order](std::exception_ptr failure) {
        saved(order, failure);
    }));
}

void Form2::saved(const SaveOrder& order, std::exception_ptr failure) {
    jobEnded();
    if (jobCancelled()) {
        chrome_.statusBar->showMessage(tr("Saving stopped: %1 was not written.").arg(order.target),
                                       kStatusMessageTime);
        return;
    }
    Procedure done(location::Form2_PushButton6_Click);
    if (!done.step(130, [&] {
            if (failure) std::rethrow_exception(failure);
        }))
        return;
    save_.savedIn(order.target);
    const bool whole = SaveHoldsPacket(order.format, packet_);
    if (order.format == DocumentFormat::FaxTiff)
        chrome_.statusBar->showMessage(
            QStringLiteral("Saved the packet, %1, as a fax TIFF (%2): %3")
                .arg(PagesText(pageTotal()),
                     order.resolution == FaxResolution::Fine ? QStringLiteral("fine")
                                                             : QStringLiteral("standard"),
                     order.target),
            kStatusMessageTime);
    else if (whole)
        chrome_.statusBar->showMessage(
            QStringLiteral("Saved the packet, %1, as %2").arg(PagesText(pageTotal()), order.target),
            kStatusMessageTime);
    else if (order.format != DocumentFormat::Pdf && packet_.count() > 0)
        chrome_.statusBar->showMessage(
            QStringLiteral("The Word file holds the cover sheet alone; save as PDF for the "
                           "whole packet of %1.")
                .arg(PagesText(pageTotal())),
            kStatusMessageTime);
    done.step(132, [&] { ShowMessage({.title = {}, .text = QStringLiteral("Done.")}); });
}

// Print: the desktop's print dialog, then every chosen page of the packet as the office lays
// it out (PrintJob). Cancelling the dialog prints nothing. The pages are drawn for the printer
// on the worker, with their progress in a box whose Cancel gives the job up.
void Form2::PrintDocument() {
    Procedure proc(location::Form2_PrintDocument);
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    proc.step(100, [&] { printer->setDocName(QLatin1String(kProductName)); });
    if (!proc.test(
            102, [&] { return printDialog_(this, *printer); }, false))
        return;
    auto* progress = new QProgressDialog(QStringLiteral("Preparing the pages\u2026"),
                                         QStringLiteral("Cancel"), 0, 0, this);
    progress->setObjectName(QStringLiteral("PrintProgress"));
    progress->setWindowTitle(QStringLiteral("Print"));
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(500);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    Job* job = PrintPacket(packet_, printer, this, [this, progress](std::exception_ptr failure) {
        delete progress;  // at once: a box left until later would keep the window modal
        jobEnded();
        if (jobCancelled()) {
            chrome_.statusBar->showMessage(QStringLiteral("Printing cancelled"),
                                           kStatusMessageTime);
            return;
        }
        Procedure done(location::Form2_PrintDocument);
        done.step(104, [&] {
            if (failure) std::rethrow_exception(failure);
        });
    });
    connect(progress, &QProgressDialog::canceled, job, &Job::cancel);
    connect(job, &Job::progress, progress, [progress](int printed, int sheets) {
        progress->setMaximum(sheets);
        progress->setValue(std::min(printed, sheets));
        progress->setLabelText(QStringLiteral("Printing page %1 of %2\u2026")
                                   .arg(std::min(printed + 1, sheets))
                                   .arg(sheets));
    });
    startJob(job);
}

// Send Fax: the packet as a fax TIFF, handed to a HylaFAX server as one job (fax/SendJob). The
// server's job id, or its own words when it cannot be reached or refuses; nothing is lost
// either way, and the command can be given again.
void Form2::SendFax() {
    if (!FaxSendingAvailable()) return;
    SendFaxDialog dialog(
        {.number = packet_.recipientNumber(), .server = faxServer_, .resolution = faxResolution_},
        pageTotal(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    const FaxCall call = dialog.call();
    faxServer_ = call.server;
    chrome_.statusBar->showMessage(QStringLiteral("Sending the fax to %1\u2026").arg(call.number));
    startJob(SendPacket(packet_, call, this,
                        [this, call](std::exception_ptr failure, const QString& jobId) {
                            sent(call, failure, jobId);
                        }));
}

void Form2::sent(const FaxCall& call, std::exception_ptr failure, const QString& jobId) {
    jobEnded();
    if (jobCancelled()) {
        chrome_.statusBar->showMessage(
            tr("Sending stopped: the fax to %1 was not handed over.").arg(call.number),
            kStatusMessageTime);
        return;
    }
    const QString server = call.server.isEmpty() ? DefaultFaxServer() : call.server;
    if (failure) {
        chrome_.statusBar->showMessage(QStringLiteral("The fax was not sent"), kStatusMessageTime);
        ShowMessage({.title = {},
                     .text = Reason(failure) +
                             QStringLiteral("\n\nNothing was lost: give Send Fax again when the "
                                            "server can take it."),
                     .icon = MessageIcon::Warning});
        return;
    }
    const QString sentText = QStringLiteral("The fax to %1 is with the fax server %2 as job %3.")
                                 .arg(call.number, server, jobId);
    chrome_.statusBar->showMessage(sentText, kStatusMessageTime);
    ShowMessage({.title = {}, .text = sentText});
}

void Form2::PushButton8_Click() {
    Procedure proc(location::Form2_PushButton8_Click);
    proc.step(102, [&] { packet_.discardCover(); });
    proc.step(104, [&] {
        // Re-armed first: the next page is captured even if the editor fails to show.
        viewport_.rearmCapture();
        backToEditor_();
    });
    proc.step(106, [&] { hide(); });
}

void Form2::closeEvent(QCloseEvent* event) {
    // Work under way for the packet is ended first: its files are removed as it fails, and the
    // document can then go.
    if (OfficeJobs::shared().busy()) OfficeJobs::shared().abortWork();
    Form_QueryUnload();
    event->accept();
    QCoreApplication::quit();
}

void Form2::Form_QueryUnload() {
    Procedure proc(location::Form2_Form_QueryUnload);
    proc.step(100, [&] { packet_.discardCover(); });
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

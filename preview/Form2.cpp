#include "Form2.h"

#include "AttachedDocuments.h"
#include "OutboxWindow.h"
#include "PacketCommands.h"
#include "PageImage.h"
#include "PageInput.h"
#include "PageView.h"
#include "PictureBox.h"
#include "PreviewLayout.h"
#include "ReceivedWindow.h"
#include "RecipientsWindow.h"
#include "coversheet/OfficeJobs.h"
#include "coversheet/office/PictureText.h"
#include "coversheet/office/SnapshotResolution.h"
#include "fax/PageRender.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/AtomicFile.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/ui/FileDrops.h"
#include "shell/ui/MessageBox.h"
#include "shell/ui/WindowAccessibility.h"
#include "shell/ui/WindowChrome.h"
#include "shell/ui/WindowCommand.h"
#include "shell/ui/WindowLook.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

namespace velmora {
namespace {

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
    // The editor has the same caption; a screen reader tells the two apart by these.
    SetWindowAccessibility(
        *this, tr("%1 preview").arg(QLatin1String(kProductName)),
        tr("The fax page by page: the cover sheet, then the attached documents"));
    createControls();
    createActions();
    createMenus();
    drops_ = new FileDrops(*this, [this](const QStringList& files) { documents_.attach(files); });
    connect(&OfficeJobs::shared(), &OfficeJobs::busyChanged, this, &Form2::updateActions);
    connect(&packet_, &FaxPacket::documentsChanged, this, &Form2::packetChanged);
    connect(&commands_, &PacketCommands::busyChanged, this, &Form2::busyPointer);
    connect(&commands_, &PacketCommands::status, this, [this](const QString& text, int time) {
        ui_.chrome.statusBar->showMessage(text, time);
    });
    connect(&packet_, &FaxPacket::coverChanged, this, [this] {
        if (packet_.hasCover()) showCover();
    });
    updateActions();
    Form_Load();
    if (packet_.hasCover()) showCover();
}

Form2::~Form2() = default;

void Form2::createControls() {
    input_ = new PageInput(
        {.viewport = viewport_,
         .navigation = navigation_,
         .pointer = pointer_,
         .controls = ui_,
         .viewMoved = [this] { mirrorViewport(); },
         .zoomStep = [this](bool in) { in ? PushButton1_Click() : PushButton2_Click(); },
         .pageMenu = [this] { return pageMenu_; }},
        this);
    ui_ = AddPreviewControls(*this, *input_);
    installEventFilter(input_);  // the pointer over the client area
    setMouseTracking(true);
    connect(ui_.picture1, &PictureBox::painted, this, [this] {
        if (!ui_.picture1->drawnImage().isNull()) firstPaintTrace_.reset();
    });
    // The bars report the user's scrolling; the window sets them only with signals blocked.
    connect(ui_.hScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        viewport_.setHScrollValue(static_cast<std::int16_t>(value));
        mirrorViewport();
    });
    connect(ui_.vScroll1, &QScrollBar::valueChanged, this, [this](int value) {
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
          ui_.pushButton1},
         {&zoomOutAction_,
          QStringLiteral("Zoom Out"),
          {QKeySequence(Qt::Key_Minus), ctrl(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)},
          [this] { PushButton2_Click(); },
          ui_.pushButton2},
         {&backAction_,
          QStringLiteral("< Back"),
          {QKeySequence(Qt::ALT | Qt::Key_Left)},
          [this] { PushButton8_Click(); },
          ui_.pushButton8},
         {&stopAction_, QStringLiteral("Stop"), {QKeySequence::Cancel}, [this] { stop(); }},
         {&closeAction_, QStringLiteral("Close"), {ctrl(Qt::Key_W)}, [this] { close(); }},
         {&saveAction_,
          QStringLiteral("Save Results To Word File\u2026"),
          {QKeySequence(QKeySequence::Save)},
          [this] { PushButton6_Click(); },
          ui_.pushButton6},
         {&savePdfAction_,
          QStringLiteral("Save as PDF\u2026"),
          {ctrlShift(Qt::Key_S)},
          [this] { PushButton6_Click(DocumentFormat::Pdf); }},
         {&saveForEachAction_,
          tr("Save a PDF for Each Recipient\u2026"),
          {},
          [this] { commands_.saveForEach(); }},
         {&printAction_,
          QStringLiteral("Print\u2026"),
          {QKeySequence(QKeySequence::Print)},
          [this] { commands_.print(); }},
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
          [this] { commands_.send(faxResolution_); }},
         {&outboxAction_, tr("Outbox\u2026"), {ctrlShift(Qt::Key_O)}, [this] { ShowOutbox(this); }},
         {&receivedAction_,
          tr("Received Faxes\u2026"),
          {ctrlShift(Qt::Key_V)},
          [this] { ShowReceivedFaxes(this, documents_); }},
         {&recipientsAction_, tr("Recipients\u2026"), {ctrlShift(Qt::Key_R)}, [this] {
              ShowRecipients(this);
          }}});
    AddWindowCommands(
        *this, documents_.commandRows(*this, &attachAction_, &documentsAction_, &scanAction_));
    ui_.pushButton6->setToolTip(
        QStringLiteral(
            "Save as a Word document (.doc or .docx), as PDF (.pdf) or as a fax TIFF (.tif) (%1)")
            .arg(saveAction_->shortcut().toString(QKeySequence::NativeText)));
    faxViewAction_->setCheckable(true);

    const QList<QAction*> resolutions =
        AddChoiceCommands(*this,
                          {QStringLiteral("Fine Resolution (204 \u00d7 196)"),
                           QStringLiteral("Standard Resolution (204 \u00d7 98)")},
                          int(faxResolution_), [this](int chosen) {
                              faxResolution_ = FaxResolution(chosen);
                              if (faxView_) showPacketPage(pageIndex_);
                              mirrorViewport();
                          });
    fineAction_ = resolutions[0];
    standardAction_ = resolutions[1];

    // The page's context menu: the window's commands with their keys.
    pageMenu_ = new QMenu(this);
    pageMenu_->setObjectName(QStringLiteral("PageMenu"));
    AddCommandGroups(*pageMenu_, {{zoomInAction_, zoomOutAction_},
                                  {previousPageAction_, nextPageAction_},
                                  {faxViewAction_},
                                  {saveAction_, savePdfAction_, printAction_, sendFaxAction_},
                                  {attachAction_, documentsAction_, scanAction_},
                                  {backAction_}});

    // The keys that move the page, wherever the focus is in the window.
    for (const ViewportNavigation::Key& key : ViewportNavigation::Keys())
        AddWindowCommand(*this, QString(), {key.keys}, [this, move = key.move] {
            move(navigation_);
            mirrorViewport();
        });
}

void Form2::createMenus() {
    QMenuBar& bar = *ui_.chrome.menuBar;
    AddCommandGroups(
        *bar.addMenu(QStringLiteral("&File")),
        {{attachAction_, documentsAction_, scanAction_},
         {saveAction_, savePdfAction_, saveForEachAction_, printAction_, sendFaxAction_},
         {recipientsAction_, outboxAction_, receivedAction_},
         {backAction_, stopAction_, closeAction_}});
    AddCommandGroups(*bar.addMenu(QStringLiteral("&View")),
                     {{zoomInAction_, zoomOutAction_},
                      {firstPageAction_, previousPageAction_, nextPageAction_, lastPageAction_},
                      {faxViewAction_, fineAction_, standardAction_}});
    QMenu* help = ui_.chrome.menuBar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About %1").arg(QLatin1String(kProductName)), this,
                    [this] { ShowAbout(this); });
    ui_.chrome.menusAdded();
}

// While work runs for this window (a save, a print, a send, the cover's PDF) or for the
// editor, the commands that would start more work, change the packet or remove the document
// it reads wait; Stop gives it up. A page being drawn for the view holds nothing up: the
// commands that replace the page give its drawing up, and the others queue behind it.
void Form2::updateActions() {
    const bool idle = onlyDrawing();
    for (QAction* command : {saveAction_, savePdfAction_, saveForEachAction_, printAction_,
                             backAction_, attachAction_, documentsAction_, scanAction_,
                             sendFaxAction_, faxViewAction_, fineAction_, standardAction_})
        command->setEnabled(idle);
    drops_->setEnabled(idle);
    stopAction_->setEnabled(OfficeJobs::shared().busy());
    ui_.chrome.showBusy(OfficeJobs::shared().busy());
    const int total = pageTotal();
    previousPageAction_->setEnabled(idle && pageIndex_ > 0);
    firstPageAction_->setEnabled(idle && pageIndex_ > 0);
    nextPageAction_->setEnabled(idle && pageIndex_ + 1 < total);
    lastPageAction_->setEnabled(idle && pageIndex_ + 1 < total);
}

void Form2::stop() {
    commands_.stop();
    if (pageJob_) pageJob_->cancel();
    if (drawJob_) drawJob_->cancel();
    packet_.stop();
}

void Form2::busyPointer(bool busy) {
    if (busy) {
        if (busyCount_++ > 0) return;
        pointerBeforeWork_ = pointer_.pointer();
        pointer_.set(WindowPointer::Hourglass);
    } else if (busyCount_ > 0 && --busyCount_ == 0) {
        pointer_.set(pointerBeforeWork_);
    }
}

bool Form2::onlyDrawing() const {
    return OfficeJobs::shared().pending() == drawsPending_;
}

int Form2::giveUpPageDraw() {
    if (drawJob_) drawJob_->cancel();
    drawJob_.clear();
    return ++pageRequest_;
}

void Form2::wheelEvent(QWheelEvent* event) {
    input_->turnWheel(*event);
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
    giveUpPageDraw();
    pageIndex_ = shownIndex_ = 0;
    QImage page = packet_.coverPicture();
    const QSizeF naturalSize = PictureSizeTwips(page);
    ui_.picture1->setPageText(page.text(QLatin1String(kPictureTextKey)));
    ui_.picture1->setPicture(std::move(page));
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
    if (index == pageIndex_ || !onlyDrawing()) return;
    showPacketPage(index);
}

void Form2::showPacketPage(int index) {
    if (index == 0 && !faxView_) {
        giveUpPageDraw();
        pageIndex_ = shownIndex_ = 0;
        ui_.picture1->setPageText(packet_.coverPicture().text(QLatin1String(kPictureTextKey)));
        showPageImage(packet_.coverPicture());
        return;
    }
    // The cover's later pages, and every page of it in fax view, come from the cover's PDF,
    // which the office makes first.
    if (index >= packet_.coverPages() || packet_.coverPdfMade()) {
        showPdfPage(packet_.page(index), index);
        return;
    }
    const int request = giveUpPageDraw();
    busyPointer(true);
    pageJob_ = packet_.makeCoverPdf(this, [this, index, request](std::exception_ptr failure) {
        busyPointer(false);
        if (pageJob_ && pageJob_->cancelled()) return;  // stopped: the page shown stays
        if (request != pageRequest_) return;            // another page was asked for
        if (failure) {
            ShowMessage(
                {.title = {}, .text = DescribeFailure(failure), .icon = MessageIcon::Warning});
            return;
        }
        const PdfPage page = packet_.page(index);
        if (packet_.coverPdfMade() && !page.pdf.isEmpty()) showPdfPage(page, index);
    });
}

void Form2::showPdfPage(const PdfPage& shown, int pageIndex) {
    struct Drawn {
        QImage picture;
        QString text;
    };
    const int request = giveUpPageDraw();
    pageIndex_ = pageIndex;
    auto drawn = std::make_shared<Drawn>();
    // Counted before it is posted: the worker is never seen busy with it as other work.
    if (drawsPending_++ == 0) busyPointer(true);
    drawJob_ = OfficeJobs::shared().post(
        this,
        [drawn, shown, fax = faxView_, resolution = faxResolution_] {
            drawn->picture =
                fax ? FaxViewPicture(shown.pdf, shown.index, resolution, &drawn->text, shown.kind)
                    : RenderPdfPage(shown.pdf, shown.index, kSnapshotRenderDpi, kSnapshotPictureDpi,
                                    &drawn->text);
        },
        [this, drawn, request, pageIndex](std::exception_ptr failure) {
            if (--drawsPending_ == 0) busyPointer(false);
            updateActions();
            if (request != pageRequest_) return;  // a later page shows instead
            const bool stopped = !drawJob_ || drawJob_->cancelled();
            drawJob_.clear();
            if (stopped || failure) {
                // The page shown stays, and the status says so.
                pageIndex_ = shownIndex_;
                mirrorViewport();
                updateActions();
                if (!stopped)
                    ShowMessage({.title = {},
                                 .text = DescribeFailure(failure),
                                 .icon = MessageIcon::Warning});
                return;
            }
            shownIndex_ = pageIndex;
            ui_.picture1->setPageText(drawn->text);
            showPageImage(std::move(drawn->picture));
        });
    mirrorViewport();
    updateActions();
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
    ui_.picture1->setPicture(std::move(page));
    viewport_.assignViewPicture(naturalSize);
    viewport_.rearmCapture();
    viewport_.Form_Activate();
    if (zoom != 1.0f) viewport_.SetZoom(zoom);
    mirrorViewport();
    updateActions();
}

void Form2::packetChanged() {
    if (!isVisible()) return;
    if (pageIndex_ >= pageTotal())
        goToPage(pageTotal() - 1);
    else if (drawJob_)
        showPacketPage(pageIndex_);  // the page asked for may be of another document now
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
    if (!centred_ && !event->spontaneous()) centred_ = CentreOnScreen(*this);
    QWidget::showEvent(event);
    // The window replaces the editor on screen; it takes the focus the editor had, also
    // where no window manager hands it over (its first activation captures the page).
    raise();
    activateWindow();
}

void Form2::contextMenuEvent(QContextMenuEvent* event) {
    // The menu key: the menu opens over the middle of the page's frame.
    if (event->reason() == QContextMenuEvent::Keyboard)
        pageMenu_->popup(ui_.picture2->mapToGlobal(ui_.picture2->rect().center()));
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
    commands_.save(filter, faxResolution_);
}

void Form2::PushButton8_Click() {
    Procedure proc(location::Form2_PushButton8_Click);
    giveUpPageDraw();  // it may be drawing a page of the cover's PDF
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
    ui_.picture1->setGeometry(TwipsToPixels(view.left), TwipsToPixels(view.top),
                              TwipsToPixels(view.width), TwipsToPixels(view.height));
    ui_.zoomOri->resize(TwipsToPixels(viewport_.holderSize().width()),
                        TwipsToPixels(viewport_.holderSize().height()));
    mirrorBar(*ui_.hScroll1, viewport_.hScroll());
    mirrorBar(*ui_.vScroll1, viewport_.vScroll());
    const long zoom = std::lround(viewport_.zoom() * 100);
    const QString page = QStringLiteral("Page %1 of %2").arg(pageIndex_ + 1).arg(pageTotal());
    // Spoken: the document the page is of and its page there, the page of the fax, the zoom.
    const FaxPacket::PageOrigin origin = packet_.pageOrigin(pageIndex_);
    const bool cover = origin.source.isEmpty();
    const QString name =
        tr("%1, page %2 of %3; page %4 of %5 of the fax; zoom %6%")
            .arg(cover ? tr("Cover sheet") : QFileInfo(origin.source).fileName(),
                 QString::number(origin.page + 1), QString::number(std::max(origin.pages, 1)),
                 QString::number(pageIndex_ + 1), QString::number(pageTotal()),
                 QString::number(zoom));
    if (ui_.picture1->accessibleName() != name) ui_.picture1->setAccessibleName(name);
    const QString kind = cover ? tr("Cover sheet page") : tr("Page of an attached document");
    if (ui_.picture1->accessibleDescription() != kind) ui_.picture1->setAccessibleDescription(kind);
    ui_.pageStatus->setText(page);
    ui_.viewStatus->setText(!faxView_ ? QString()
                            : faxResolution_ == FaxResolution::Fine
                                ? QStringLiteral("Fax view, fine")
                                : QStringLiteral("Fax view, standard"));
    ui_.zoomStatus->setText(QStringLiteral("Zoom %1%").arg(zoom));
}

void Form2::prepareView() {
    QPalette white = ui_.picture1->palette();
    white.setColor(QPalette::Window, Qt::white);
    ui_.picture1->setPalette(white);
}

void Form2::holdViewPicture() {
    ui_.zoomOri->setPicture(ui_.picture1->picture());
}

void Form2::clearViewPicture() {
    ui_.picture1->clearPicture();
}

void Form2::paintPage(QSize imageSize, QSize sourceSize) {
    ui_.picture1->setDrawnImage(RenderPage(ui_.zoomOri->picture(), sourceSize, imageSize,
                                           ui_.picture1->devicePixelRatioF()));
}

void Form2::defaultPointer() {
    pointer_.set(WindowPointer::Default);
}

}  // namespace velmora

#include "FaxViewer.h"

#include "PageImage.h"
#include "PageView.h"
#include "fax/FaxPages.h"
#include "fax/PageRender.h"
#include "fax/PdfFiles.h"
#include "resources/ProgramIcon.h"
#include "shell/AppTitle.h"
#include "shell/Failure.h"
#include "shell/Job.h"
#include "shell/ui/WindowAccessibility.h"
#include "shell/ui/WindowCommand.h"
#include "shell/ui/WindowLook.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace velmora {
namespace {

constexpr std::array kViewerZooms{50, 75, 100, 125, 150, 200, 300};
constexpr QSize kViewerClientSize(840, 660);

}  // namespace

FaxViewer::FaxViewer(const SentFax& fax, QWidget* parent)
    : QWidget(parent, Qt::Window), pdf_(fax.document), worker_(QStringLiteral("fax viewer")) {
    const QString to = fax.recipient.isEmpty() ? fax.number : fax.recipient;
    pageWords_ = tr("of the fax as sent");
    build(tr("%1 fax as sent").arg(QLatin1String(kProductName)),
          tr("The fax to %1 as it was sent, page by page").arg(to),
          tr("%1 \u2014 Fax as sent").arg(to));
}

FaxViewer::FaxViewer(const QString& pdf, const QString& title, const QString& description,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), pdf_(pdf), worker_(QStringLiteral("fax viewer")) {
    pageWords_ = tr("of the fax");
    build(tr("%1 fax").arg(QLatin1String(kProductName)),
          description.isEmpty() ? tr("The fax, page by page") : description, title);
}

void FaxViewer::build(const QString& accessibleName, const QString& description,
                      const QString& title) {
    SetWindowAccessibility(*this, accessibleName, description);
    setWindowTitle(tr("%1 \u2014 %2").arg(title, QLatin1String(kProductName)));
    setWindowIcon(ProgramIcon());
    chrome_ = AddWindowChrome(*this, kViewerClientSize);

    auto* layout = new QVBoxLayout(chrome_.client);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(chrome_.client);
    scroll_->setObjectName(QStringLiteral("FaxPages"));
    scroll_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll_->setBackgroundRole(QPalette::Dark);
    page_ = new PageView(scroll_);
    page_->setObjectName(QStringLiteral("FaxPage"));
    scroll_->setWidget(page_);
    layout->addWidget(scroll_);
    pageStatus_ = new QLabel(chrome_.statusBar);
    chrome_.statusBar->addPermanentWidget(pageStatus_);

    const auto ctrl = [](auto key) { return QKeySequence(Qt::CTRL | key); };
    QAction* close = nullptr;
    AddWindowCommands(
        *this,
        {{&zoomIn_,
          tr("Zoom In"),
          {QKeySequence(Qt::Key_Plus), ctrl(Qt::Key_Equal), QKeySequence(QKeySequence::ZoomIn)},
          [this] {
              const auto larger = std::ranges::upper_bound(kViewerZooms, zoom_);
              if (larger != kViewerZooms.end()) setZoom(*larger);
          }},
         {&zoomOut_,
          tr("Zoom Out"),
          {QKeySequence(Qt::Key_Minus), ctrl(Qt::Key_Minus), QKeySequence(QKeySequence::ZoomOut)},
          [this] {
              const auto smaller = std::ranges::lower_bound(kViewerZooms, zoom_);
              if (smaller != kViewerZooms.begin()) setZoom(*std::prev(smaller));
          }},
         {&next_,
          tr("Next Page"),
          {ctrl(Qt::Key_PageDown), QKeySequence(Qt::Key_PageDown)},
          [this] { goToPage(pageIndex_ + 1); }},
         {&previous_,
          tr("Previous Page"),
          {ctrl(Qt::Key_PageUp), QKeySequence(Qt::Key_PageUp)},
          [this] { goToPage(pageIndex_ - 1); }},
         {&first_, tr("First Page"), {ctrl(Qt::Key_Home)}, [this] { goToPage(0); }},
         {&last_, tr("Last Page"), {ctrl(Qt::Key_End)}, [this] { goToPage(pageCount_ - 1); }},
         {&faxViewAction_,
          tr("Fax View"),
          {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
          [this] { setFaxView(faxViewAction_->isChecked()); }},
         {&close, tr("Close"), {ctrl(Qt::Key_W), QKeySequence(QKeySequence::Cancel)}, [this] {
              this->close();
          }}});
    AddCommandGroups(*chrome_.menuBar->addMenu(tr("&File")), {{close}});
    faxViewAction_->setCheckable(true);
    AddCommandGroups(*chrome_.menuBar->addMenu(tr("&View")),
                     {{faxViewAction_}, {zoomIn_, zoomOut_}, {first_, previous_, next_, last_}});
    chrome_.menusAdded();
    updateActions();
    draw();
}

FaxViewer::~FaxViewer() {
    worker_.abortWork();
}

void FaxViewer::goToPage(int index) {
    index = std::clamp(index, 0, std::max(pageCount_ - 1, 0));
    if (index == pageIndex_) return;
    pageIndex_ = index;
    draw();
}

void FaxViewer::setZoom(int percent) {
    if (percent == zoom_) return;
    zoom_ = percent;
    draw();
}

void FaxViewer::setFaxView(bool on) {
    faxViewAction_->setChecked(on);
    if (on == faxView_) return;
    faxView_ = on;
    draw();
}

void FaxViewer::draw() {
    struct Drawn {
        QImage picture;
        QString text;
        int pages = 0;
    };
    if (drawJob_) drawJob_->cancel();
    const int request = ++request_;
    const qreal ratio = devicePixelRatioF();
    // Drawn at the screen's pixels for the zoom; the picture's own resolution says how large
    // it shows.
    const int pictureDpi = int(std::lround(96 * ratio));
    const int dpi = int(std::lround(96 * ratio * zoom_ / 100.0));
    auto drawn = std::make_shared<Drawn>();
    updateActions();
    pageStatus_->setText(tr("Page %1 of %2 \u2014 drawing\u2026")
                             .arg(pageIndex_ + 1)
                             .arg(pageCount_ > 0 ? QString::number(pageCount_) : tr("?")));
    drawJob_ = worker_.post(
        this,
        [drawn, pdf = pdf_, index = pageIndex_, dpi, pictureDpi, faxView = faxView_, zoom = zoom_] {
            drawn->pages = PdfPageCount(pdf);
            const int page = std::min(index, drawn->pages - 1);
            if (faxView) {
                // The fax's dots, 1728 across, shown at the zoom's size on paper.
                drawn->picture = FaxPage(pdf, page, FaxResolution::Fine);
                drawn->picture.setDotsPerMeterX(
                    int(std::lround(drawn->picture.dotsPerMeterX() * 100.0 / zoom)));
                drawn->picture.setDotsPerMeterY(
                    int(std::lround(drawn->picture.dotsPerMeterY() * 100.0 / zoom)));
            } else {
                drawn->picture = RenderPdfPage(pdf, page, dpi, pictureDpi, &drawn->text);
            }
        },
        [this, drawn, request](std::exception_ptr failure) {
            if (request != request_) return;  // a later page or zoom shows instead
            drawJob_.clear();
            if (drawn->pages > 0) pageCount_ = drawn->pages;
            pageIndex_ = std::clamp(pageIndex_, 0, std::max(pageCount_ - 1, 0));
            if (failure) {
                chrome_.statusBar->showMessage(DescribeFailure(failure));
            } else {
                page_->setPicture(std::move(drawn->picture));
                page_->setPageText(drawn->text);
                page_->resize((PictureSizeTwips(page_->picture()) / kTwipsPerPixel).toSize());
                chrome_.statusBar->clearMessage();
            }
            updateActions();
            emit pageShown();
        });
}

void FaxViewer::updateActions() {
    const bool drawn = pageCount_ > 0;
    previous_->setEnabled(drawn && pageIndex_ > 0);
    first_->setEnabled(drawn && pageIndex_ > 0);
    next_->setEnabled(drawn && pageIndex_ + 1 < pageCount_);
    last_->setEnabled(drawn && pageIndex_ + 1 < pageCount_);
    zoomIn_->setEnabled(zoom_ < kViewerZooms.back());
    zoomOut_->setEnabled(zoom_ > kViewerZooms.front());
    const QString where = tr("Page %1 of %2").arg(pageIndex_ + 1).arg(std::max(pageCount_, 1));
    const QString view = faxView_ ? tr("fax view") : tr("normal view");
    pageStatus_->setText(tr("%1 \u2014 %2 \u2014 zoom %3%").arg(where, view).arg(zoom_));
    page_->setAccessibleName(tr("%1 %2; %3, zoom %4%").arg(where, pageWords_, view).arg(zoom_));
}

}  // namespace velmora

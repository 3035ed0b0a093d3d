#pragma once

#include "PacketCommands.h"
#include "PagePrinter.h"
#include "PreviewLayout.h"
#include "ViewportModel.h"
#include "ViewportNavigation.h"
#include "coversheet/DocumentExport.h"
#include "fax/FaxPacket.h"
#include "fax/FaxPages.h"
#include "fax/SaveJob.h"
#include "fax/server/SendJob.h"
#include "shell/Trace.h"
#include "shell/ui/WindowChrome.h"
#include "shell/ui/WindowPointer.h"

#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;

namespace velmora {

class AttachedDocuments;
class FileDrops;
class Job;
class PageInput;
class PageView;
class PictureBox;

// The preview window: the packet (fax/FaxPacket: the generated cover sheet, then the documents
// attached behind it) page by page in a zoomable, scrollable, draggable view, with commands to
// attach documents, save, print or send the packet, or go back to the editor. It shows the
// packet and commands it; the ways out run as jobs whose handles it holds (Stop cancels them).
class Form2 : public QWidget, private PreviewCanvas {
    Q_OBJECT
public:
    // Creating the window runs its load steps. `documents` are the program's (their packet is
    // the one shown); `backToEditor` shows the editor again ("< Back").
    Form2(AttachedDocuments& documents, std::function<void()> backToEditor,
          QWidget* parent = nullptr);
    ~Form2() override;

    // The page shown, from 0, and how many the packet has: the cover's, then the attached.
    int pageIndex() const { return pageIndex_; }
    int pageTotal() const { return packet_.pageTotal(); }
    // Shows page `index` of the packet (clamped to the packet), at the zoom of the page
    // shown. A later page of the cover is drawn from its PDF, which the office makes on its
    // worker the first time one is needed.
    void goToPage(int index);
    // Fax view: every page as the receiving machine prints it (1-bit, 204 dots to the inch
    // across, 196 or 98 lines down), at the zoom of the page shown.
    void setFaxView(bool on);
    bool faxView() const { return faxView_; }

    // The generated document the window saves; the packet removes it on "< Back" and on close.
    const QString& mWordFile() const { return packet_.coverDocument(); }
    // The way out under way (a save, a print, a send), or null.
    Job* job() const { return commands_.job(); }

    // Replaces the modal save dialog, so that tests can choose a name or cancel.
    void setSaveDialog(SaveDialog dialog) { commands_.setSaveDialog(std::move(dialog)); }
    // Replaces the print dialog, so that tests can choose a printer or cancel.
    void setPrintDialog(PrintDialog dialog) { commands_.setPrintDialog(std::move(dialog)); }

    const ViewportModel& viewport() const { return viewport_; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void createControls();
    // The window's commands, each one QAction that its button, its keys and any menu share.
    void createActions();
    void createMenus();
    // Enables the commands the window's state allows now (office work under way or not).
    void updateActions();
    // Picture1 = the packet's cover: its first page, which the next activation captures (at
    // once when the window is shown already: a cover made afresh). The page's text and the
    // document's page count, where the picture carries them (coversheet/office/PictureText.h),
    // go to assistive technology with it.
    void showCover();
    // Stop: the way out at hand, and the packet's own work (documents being attached, a
    // cover being made again), are given up.
    void stop();
    // The hourglass while work runs for the window (calls nest: the pointer is as it was once
    // each busy call has its end).
    void busyPointer(bool busy);
    // Whether the work under way, if any, is the view's own page drawing alone: the commands
    // stay at hand meanwhile, and a page asked for gives that drawing up.
    bool onlyDrawing() const;
    // The page drawn on the worker for the view, if any, is given up: it will not show. Returns
    // the number of the request that replaces it.
    int giveUpPageDraw();
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void PushButton1_Click();
    void PushButton2_Click();
    // The save command; `filter` is the format whose filter the dialog starts with.
    void PushButton6_Click(DocumentFormat filter = DocumentFormat::Word97);
    void PushButton8_Click();
    void mirrorViewport();
    // The view shows `page` in place of the page it showed, keeping the zoom.
    void showPageImage(QImage page);
    // Page `pageIndex` of the packet, `shown` (a page of a PDF, of its kind), is drawn on the
    // worker as the view's mode draws it (within fax/PageRender.h's pixel budget) and shown once
    // drawn, unless another page was asked for meanwhile; a failure is told and the page shown
    // stays.
    void showPdfPage(const PdfPage& shown, int pageIndex);
    // Shows page `index` of the packet afresh, as the view's mode draws it.
    void showPacketPage(int index);
    // The attached documents changed: the page shown stays within the packet.
    void packetChanged();

    // PreviewCanvas
    void prepareView() override;
    void holdViewPicture() override;
    void clearViewPicture() override;
    void paintPage(QSize imageSize, QSize sourceSize) override;
    void defaultPointer() override;

    AttachedDocuments& documents_;
    FaxPacket& packet_;
    std::function<void()> backToEditor_;
    PacketCommands commands_{packet_, *this};  // the ways out and their jobs
    WindowPointer pointer_;
    ViewportModel viewport_;
    ViewportNavigation navigation_{viewport_};
    bool centred_ = false;
    WindowPointer::Pointer pointerBeforeWork_ = WindowPointer::Default;
    std::optional<TraceScope> firstPaintTrace_;  // from showing a new page to its first paint
    int pageIndex_ = 0;                          // of the packet, from 0: the page asked for
    int shownIndex_ = 0;                         // the page the view's picture is of
    bool faxView_ = false;
    FaxResolution faxResolution_ = FaxResolution::Fine;

    PreviewControls ui_;  // owned by the window through their parents
    FileDrops* drops_ = nullptr;
    QPointer<Job> pageJob_;       // the cover's PDF being made for a page to show
    QPointer<Job> drawJob_;       // the page being drawn for the view
    int drawsPending_ = 0;        // page drawings posted and not ended (given up ones too)
    int pageRequest_ = 0;         // counts the pages asked for; an older one never shows
    int busyCount_ = 0;           // busyPointer(true) calls without their end yet
    PageInput* input_ = nullptr;  // the mouse over the page and the controls

    QAction* zoomInAction_ = nullptr;   // PushButton1
    QAction* zoomOutAction_ = nullptr;  // PushButton2
    QAction* backAction_ = nullptr;     // PushButton8
    QAction* closeAction_ = nullptr;
    QAction* saveAction_ = nullptr;  // PushButton6
    QAction* savePdfAction_ = nullptr;
    QAction* saveForEachAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* attachAction_ = nullptr;
    QAction* documentsAction_ = nullptr;
    QAction* scanAction_ = nullptr;
    QAction* nextPageAction_ = nullptr;
    QAction* previousPageAction_ = nullptr;
    QAction* firstPageAction_ = nullptr;
    QAction* lastPageAction_ = nullptr;
    QAction* faxViewAction_ = nullptr;
    QAction* fineAction_ = nullptr;
    QAction* standardAction_ = nullptr;
    QAction* sendFaxAction_ = nullptr;
    QAction* outboxAction_ = nullptr;
    QAction* receivedAction_ = nullptr;
    QAction* recipientsAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QMenu* pageMenu_ = nullptr;  // the page's context menu
};

}  // namespace velmora

#pragma once

#include "PagePrinter.h"
#include "SaveCommand.h"
#include "ViewportModel.h"
#include "ViewportNavigation.h"
#include "coversheet/DocumentExport.h"
#include "fax/FaxPacket.h"
#include "fax/FaxPages.h"
#include "fax/FaxSending.h"
#include "fax/SaveJob.h"
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
    Job* job() const { return job_; }

    // Replaces the modal save dialog, so that tests can choose a name or cancel.
    void setSaveDialog(SaveDialog dialog) { save_.setDialog(std::move(dialog)); }
    // Replaces the print dialog, so that tests can choose a printer or cancel.
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }

    const ViewportModel& viewport() const { return viewport_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
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
    // A way out started: the window holds its handle until its end (`ended`) is told.
    void startJob(Job* job);
    void jobEnded();
    // Stop: the way out at hand, and the packet's own work (documents being attached, a
    // cover being made again), are given up.
    void stop();
    // Whether the job that just told its end was given up.
    bool jobCancelled() const;
    // The hourglass while the office works for the window, then the pointer as it was.
    void busyPointer(bool busy);
    void turnWheel(QWheelEvent& event);
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void PushButton1_Click();
    void PushButton2_Click();
    // The save command; `filter` is the format whose filter the dialog starts with.
    void PushButton6_Click(DocumentFormat filter = DocumentFormat::Word97);
    void saved(const SaveOrder& order, std::exception_ptr failure);
    void PrintDocument();
    void PushButton8_Click();
    void pictureMouse(const QMouseEvent& event);
    void mirrorViewport();
    // The view shows `page` in place of the page it showed, keeping the zoom.
    void showPageImage(QImage page);
    void showPdfPage(const QString& pdf, int index, int pageIndex);
    // Shows page `index` of the packet afresh, as the view's mode draws it.
    void showPacketPage(int index);
    void SendFax();
    void sent(const FaxCall& call, std::exception_ptr failure, const QString& jobId);
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
    QPointer<Job> job_;  // the way out under way
    WindowPointer pointer_;
    ViewportModel viewport_;
    ViewportNavigation navigation_{viewport_};
    SaveCommand save_;
    PrintDialog printDialog_ = RunPrintDialog;
    bool centred_ = false;
    WindowPointer::Pointer pointerBeforeWork_ = WindowPointer::Default;
    // A right-button press on the page opens the context menu at its release, unless the
    // mouse moved in between (a drag that pans the page).
    bool rightPressed_ = false;
    bool rightMoved_ = false;
    QPointF rightPressAt_;
    std::optional<TraceScope> firstPaintTrace_;  // from showing a new page to its first paint
    int pageIndex_ = 0;                          // of the packet, from 0
    bool faxView_ = false;
    FaxResolution faxResolution_ = FaxResolution::Fine;
    QString faxServer_;  // as last chosen in Send Fax; empty: sendfax's own choice

    // Owned by the window through their parents.
    WindowChrome chrome_;  // the bars and the designed client area between them
    QLabel* pageStatus_ = nullptr;
    QLabel* zoomStatus_ = nullptr;
    QLabel* viewStatus_ = nullptr;
    FileDrops* drops_ = nullptr;
    QScrollBar* hScroll1_ = nullptr;
    QScrollBar* vScroll1_ = nullptr;
    QWidget* picture2_ = nullptr;
    PageView* picture1_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    PictureBox* zoomOri_ = nullptr;
    QPushButton* pushButton1_ = nullptr;
    QPushButton* pushButton2_ = nullptr;
    QPushButton* pushButton6_ = nullptr;
    QPushButton* pushButton8_ = nullptr;

    QAction* zoomInAction_ = nullptr;   // PushButton1
    QAction* zoomOutAction_ = nullptr;  // PushButton2
    QAction* backAction_ = nullptr;     // PushButton8
    QAction* closeAction_ = nullptr;
    QAction* saveAction_ = nullptr;  // PushButton6
    QAction* savePdfAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* attachAction_ = nullptr;
    QAction* documentsAction_ = nullptr;
    QAction* nextPageAction_ = nullptr;
    QAction* previousPageAction_ = nullptr;
    QAction* firstPageAction_ = nullptr;
    QAction* lastPageAction_ = nullptr;
    QAction* faxViewAction_ = nullptr;
    QAction* fineAction_ = nullptr;
    QAction* standardAction_ = nullptr;
    QAction* sendFaxAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QMenu* pageMenu_ = nullptr;  // the page's context menu
};

}  // namespace velmora

#pragma once

#include "EditorLink.h"
#include "PagePrinter.h"
#include "SaveDialog.h"
#include "ViewportModel.h"
#include "ViewportNavigation.h"
#include "coversheet/DocumentExport.h"
#include "shell/Trace.h"
#include "shell/ui/WindowPointer.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QWidget>
#include <optional>

class QAction;
class QGroupBox;
class QMenu;
class QPushButton;
class QScrollBar;

namespace velmora {

class PageView;
class PictureBox;

// The preview window: the generated page in a zoomable, scrollable, draggable view, with
// commands to save the document or go back to the editor.
class Form2 : public QWidget, private PreviewCanvas {
    Q_OBJECT
public:
    // Creating the window runs its load steps.
    explicit Form2(EditorLink& editor, QWidget* parent = nullptr);
    ~Form2() override;

    // Picture1 = LoadPicture(file): the page the next activation captures. Throws Failure
    // when the file cannot be read as a picture.
    // Picture1 = page: the same for a picture already in memory. Throws Failure for a null one.
    // The page's text and the document's page count, where the picture carries them
    // (coversheet/office/PictureText.h), go to assistive technology with it.
    void setPicture(QImage page);

    // The generated document the window saves, and deletes on "< Back" and on close.
    QString mWordFile;

    // Replaces the modal save dialog, so that tests can choose a name or cancel.
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
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
    // Enables the commands the window's state allows now (office work under way or not).
    void updateActions();
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
    void PrintDocument();
    void PushButton8_Click();
    void pictureMouse(const QMouseEvent& event);
    void mirrorViewport();

    // PreviewCanvas
    void prepareView() override;
    void holdViewPicture() override;
    void clearViewPicture() override;
    void paintPage(QSize imageSize, QSize sourceSize) override;
    void defaultPointer() override;

    EditorLink& editor_;
    WindowPointer pointer_;
    ViewportModel viewport_;
    ViewportNavigation navigation_{viewport_};
    SaveDialog saveDialog_ = RunSaveDialog;
    PrintDialog printDialog_ = RunPrintDialog;
    bool centred_ = false;
    WindowPointer::Pointer pointerBeforeWork_ = WindowPointer::Default;
    QString lastSaveFolder_;  // where this run last saved; the save dialog opens there
    // A right-button press on the page opens the context menu at its release, unless the
    // mouse moved in between (a drag that pans the page).
    bool rightPressed_ = false;
    bool rightMoved_ = false;
    QPointF rightPressAt_;
    std::optional<TraceScope> firstPaintTrace_;  // from showing a new page to its first paint
    int pageCount_ = 0;  // of the document whose first page is shown; 0 when not known

    // Owned by the window through their parents.
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
    QMenu* pageMenu_ = nullptr;  // the page's context menu
};

}  // namespace velmora

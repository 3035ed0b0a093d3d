#pragma once

#include "EditorLink.h"
#include "SaveDialog.h"
#include "ViewportModel.h"
#include "shell/WindowPointer.h"

#include <QString>
#include <QWidget>

class QGroupBox;
class QPushButton;
class QScrollBar;

namespace velmora {

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
    void loadPicture(const QString& pictureFile);

    // The generated document the window saves, and deletes on "< Back" and on close.
    QString mWordFile;

    // Replaces the modal save dialog, so that tests can choose a name or cancel.
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }

    const ViewportModel& viewport() const { return viewport_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void createControls();
    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton6_Click();
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
    SaveDialog saveDialog_ = RunSaveDialog;
    bool centred_ = false;

    // Owned by the window through their parents.
    QScrollBar* hScroll1_ = nullptr;
    QScrollBar* vScroll1_ = nullptr;
    QWidget* picture2_ = nullptr;
    PictureBox* picture1_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    PictureBox* zoomOri_ = nullptr;
    QPushButton* pushButton1_ = nullptr;
    QPushButton* pushButton2_ = nullptr;
    QPushButton* pushButton6_ = nullptr;
    QPushButton* pushButton8_ = nullptr;
};

}  // namespace velmora

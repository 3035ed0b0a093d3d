#pragma once

#include "shell/ui/WindowChrome.h"

class QGroupBox;
class QLabel;
class QObject;
class QPushButton;
class QScrollBar;
class QWidget;

namespace velmora {

class PageView;
class PictureBox;

// The preview's controls, each named as it was designed and placed where it was drawn (in
// twips, shell/Twips.h) in the client area between the menu bar and the status bar.
struct PreviewControls {
    WindowChrome chrome;  // the bars and the designed client area between them
    QLabel* pageStatus = nullptr;
    QLabel* zoomStatus = nullptr;
    QLabel* viewStatus = nullptr;
    QScrollBar* hScroll1 = nullptr;
    QScrollBar* vScroll1 = nullptr;
    QWidget* picture2 = nullptr;   // the view's frame
    PageView* picture1 = nullptr;  // the page
    QGroupBox* frame1 = nullptr;
    PictureBox* zoomOri = nullptr;       // the page as it was captured, hidden
    QPushButton* pushButton1 = nullptr;  // Zoom In
    QPushButton* pushButton2 = nullptr;  // Zoom Out
    QPushButton* pushButton6 = nullptr;  // Save Results To Word File
    QPushButton* pushButton8 = nullptr;  // < Back
};

// Makes the controls on `window`, in their tab order. `filter` sees the events of the bars, the
// page, its frame, Frame1 and the buttons (the wheel and the pointer are the window's).
PreviewControls AddPreviewControls(QWidget& window, QObject& filter);

}  // namespace velmora

#include "PreviewLayout.h"

#include "PageView.h"
#include "PictureBox.h"
#include "shell/Twips.h"
#include "shell/ui/WindowLook.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>

namespace velmora {

PreviewControls AddPreviewControls(QWidget& window, QObject& filter) {
    PreviewControls c;

    c.chrome = AddWindowChrome(window, RectFromTwips(0, 0, 9840, 9390).size());
    c.pageStatus = new QLabel(c.chrome.statusBar);
    c.pageStatus->setObjectName(QStringLiteral("PageStatus"));
    c.zoomStatus = new QLabel(c.chrome.statusBar);
    c.zoomStatus->setObjectName(QStringLiteral("ZoomStatus"));
    c.viewStatus = new QLabel(c.chrome.statusBar);
    c.viewStatus->setObjectName(QStringLiteral("ViewStatus"));
    c.chrome.statusBar->addPermanentWidget(c.viewStatus);
    c.chrome.statusBar->addPermanentWidget(c.pageStatus);
    c.chrome.statusBar->addPermanentWidget(c.zoomStatus);
    c.chrome.client->setFont(ArialBold(9));
    c.chrome.client->setMouseTracking(true);
    window.setMouseTracking(true);

    const auto scrollBar = [&](Qt::Orientation orientation, const char* name, QRect where) {
        auto* bar = new QScrollBar(orientation, c.chrome.client);
        bar->setObjectName(QLatin1String(name));
        bar->setGeometry(where);
        bar->setRange(0, 32767);
        bar->setSingleStep(1);
        bar->setPageStep(1);
        // No stop for Tab: the keys that move the page work wherever the focus is.
        bar->setFocusPolicy(Qt::NoFocus);
        bar->installEventFilter(&filter);  // the wheel over a bar moves the page as over the page
        return bar;
    };
    c.hScroll1 = scrollBar(Qt::Horizontal, "HScroll1", RectFromTwips(120, 7545, 9330, 255));
    c.vScroll1 = scrollBar(Qt::Vertical, "VScroll1", RectFromTwips(9450, 120, 255, 7425));
    c.hScroll1->setAccessibleName(QStringLiteral("Page across"));
    c.vScroll1->setAccessibleName(QStringLiteral("Page up and down"));

    auto* viewport = new PictureBox(c.chrome.client);
    viewport->setObjectName(QStringLiteral("Picture2"));
    viewport->setGeometry(RectFromTwips(120, 120, 9330, 7425));
    viewport->setSunkenBorder(true);
    c.picture2 = viewport;
    c.picture2->installEventFilter(&filter);
    // The view moves inside the border and is clipped by it.
    auto* inside = new QWidget(c.picture2);
    inside->setObjectName(QStringLiteral("Picture2Inside"));
    inside->setGeometry(c.picture2->contentsRect());

    c.picture1 = new PageView(inside);
    c.picture1->setObjectName(QStringLiteral("Picture1"));
    c.picture1->setMouseTracking(true);
    c.picture1->installEventFilter(&filter);
    // Its name (which page of which document, at what zoom) and its description (a page of
    // the cover or of a document attached) follow the view (mirrorViewport).

    c.frame1 = new QGroupBox(QStringLiteral("Zoom:"), c.chrome.client);
    c.frame1->setObjectName(QStringLiteral("Frame1"));
    c.frame1->setGeometry(RectFromTwips(120, 7860, 9600, 855));
    c.frame1->setMouseTracking(true);
    c.frame1->installEventFilter(&filter);

    c.zoomOri = new PictureBox(c.chrome.client);
    c.zoomOri->setObjectName(QStringLiteral("Zoom_Ori"));
    c.zoomOri->setGeometry(RectFromTwips(10320, 480, 735, 375));
    c.zoomOri->hide();

    // Each button is the view of its command (createActions).
    const auto pushButton = [&](QWidget* parent, const char* name, const QString& caption,
                                QRect where) {
        auto* button = new QPushButton(caption, parent);
        button->setObjectName(QLatin1String(name));
        button->setGeometry(where);
        button->setFont(ArialBold(11.25));
        button->setMouseTracking(true);
        button->setAutoDefault(true);  // Enter presses the button that has the focus
        button->installEventFilter(&filter);
        return button;
    };
    c.pushButton1 = pushButton(c.frame1, "PushButton1", QStringLiteral("Zoom In"),
                               RectFromTwips(240, 300, 4440, 405));
    c.pushButton2 = pushButton(c.frame1, "PushButton2", QStringLiteral("Zoom Out"),
                               RectFromTwips(4800, 300, 4560, 405));
    c.pushButton6 =
        pushButton(c.chrome.client, "PushButton6", QStringLiteral("Save Results To Word File"),
                   RectFromTwips(4920, 8850, 4800, 405));
    c.pushButton8 = pushButton(c.chrome.client, "PushButton8", QStringLiteral("< Back"),
                               RectFromTwips(120, 8850, 4680, 405));
    c.pushButton8->setAccessibleName(QStringLiteral("Back"));  // not "less than Back"

    c.picture1->setContextMenuPolicy(Qt::PreventContextMenu);  // opened at a still release

    QWidget::setTabOrder(c.pushButton1, c.pushButton2);
    QWidget::setTabOrder(c.pushButton2, c.pushButton6);
    QWidget::setTabOrder(c.pushButton6, c.pushButton8);

    return c;
}

}  // namespace velmora

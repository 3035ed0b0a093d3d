#include "WindowChrome.h"

#include "shell/AppTitle.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QVBoxLayout>

namespace velmora {

WindowChrome AddWindowChrome(QWidget& window, QSize clientSize) {
    WindowChrome chrome;
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    chrome.menuBar = new QMenuBar(&window);
    chrome.menuBar->setObjectName(QStringLiteral("MenuBar"));
    layout->setMenuBar(chrome.menuBar);

    chrome.client = new QWidget(&window);
    chrome.client->setObjectName(QStringLiteral("ClientArea"));
    chrome.client->setFixedSize(clientSize);
    layout->addWidget(chrome.client);

    chrome.statusBar = new QStatusBar(&window);
    chrome.statusBar->setObjectName(QStringLiteral("StatusBar"));
    chrome.statusBar->setSizeGripEnabled(false);  // the window keeps its size
    // A message longer than the bar shows whole on hover.
    QObject::connect(chrome.statusBar, &QStatusBar::messageChanged, chrome.statusBar,
                     &QWidget::setToolTip);
    layout->addWidget(chrome.statusBar);
    return chrome;
}

void WindowChrome::menusAdded() const {
    // As tall as the menu bar: the client area sits in the middle of the window's height, where
    // tools that see only the window (xdotool) find it.
    statusBar->setFixedHeight(menuBar->sizeHint().height());
}

namespace {
const QString& BusyText() {
    static const QString text =
        QStringLiteral("The office is working\u2026 (Esc or File > Stop gives it up)");
    return text;
}
}  // namespace

void WindowChrome::showBusy(bool busy) const {
    if (busy)
        statusBar->showMessage(BusyText());
    else if (statusBar->currentMessage() == BusyText())
        statusBar->clearMessage();
}

void ShowAbout(QWidget* parent) {
    QMessageBox::about(
        parent, QStringLiteral("About %1").arg(QLatin1String(kProductName)),
        QStringLiteral("<p><b>%1 %2</b></p><p>Fills in a fax cover sheet, puts it in front of the "
                       "documents it covers, and sends the packet out as a Word document, a PDF, "
                       "on paper or as a fax.</p>")
            .arg(QLatin1String(kProductName), QCoreApplication::applicationVersion()));
}

}  // namespace velmora

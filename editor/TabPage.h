#pragma once

#include <QRect>
#include <QWidget>

class QTabWidget;

namespace velmora::editor {

// A tab's page. The tab control lays its pages out below its tab strip; the frame on a page
// is placed relative to the tab control itself, as it was drawn, wherever the page lies.
class TabPage : public QWidget {
public:
    TabPage(QTabWidget* tabControl, const QRect& frameRect)
        : tabControl_(tabControl), frameRect_(frameRect) {}

    void setFrame(QWidget* frame);

protected:
    void resizeEvent(QResizeEvent*) override { place(); }
    void showEvent(QShowEvent*) override { place(); }

private:
    void place();

    QTabWidget* tabControl_;
    QRect frameRect_;
    QWidget* frame_ = nullptr;
};

}  // namespace velmora::editor

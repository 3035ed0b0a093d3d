#include "TabPage.h"

#include <QTabWidget>
#include <algorithm>

namespace velmora::editor {

void TabPage::setFrame(QWidget* frame) {
    frame_ = frame;
    frame_->resize(frameRect_.size());
    place();
}

void TabPage::place() {
    if (!frame_ || !tabControl_->isAncestorOf(this)) return;
    QPoint at = frameRect_.topLeft() - mapTo(tabControl_, QPoint());
    // Our tab strip can be a few pixels taller than the one the frames were drawn under; the
    // frame then starts right below it rather than losing its top edge.
    at.setY(std::max(at.y(), 0));
    frame_->move(at);
}

}  // namespace velmora::editor

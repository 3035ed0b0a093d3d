#include "FileDrops.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace velmora {
namespace {

QStringList LocalFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        files << url.toLocalFile();
    }
    return files;
}

}  // namespace

FileDrops::FileDrops(QWidget& window, std::function<void(const QStringList&)> dropped)
    : QObject(&window), dropped_(std::move(dropped)) {
    window.setAcceptDrops(true);
    window.installEventFilter(this);
    // The controls that take drops of their own (text boxes) see files first.
    for (QWidget* child : window.findChildren<QWidget*>())
        if (child->acceptDrops()) child->installEventFilter(this);
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (LocalFiles(drag->mimeData()).isEmpty()) break;
            if (enabled_)
                drag->acceptProposedAction();
            else
                drag->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = LocalFiles(drop->mimeData());
            if (files.isEmpty()) break;
            if (enabled_) {
                drop->acceptProposedAction();
                dropped_(files);
            }
            return true;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velmora

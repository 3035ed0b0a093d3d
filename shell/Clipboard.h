#pragma once

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QThread>

namespace velmora {

// Puts the picture on the system clipboard. From any thread: the clipboard belongs to the
// application's thread, so from another one the picture is handed there and put on the
// clipboard once that thread gets to it. (Header-only: the office module uses it too.)
inline void PutPictureOnClipboard(const QImage& picture) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    if (QThread::currentThread() == app->thread()) {
        QGuiApplication::clipboard()->setImage(picture);
        return;
    }
    QMetaObject::invokeMethod(
        app, [picture] { QGuiApplication::clipboard()->setImage(picture); }, Qt::QueuedConnection);
}

}  // namespace velmora

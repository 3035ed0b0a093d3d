#include "WindowPointer.h"

#include "shell/Failure.h"
#include "shell/FileProcedures.h"

#include <QPixmap>

namespace velmora {

namespace {

QString customCursorFile(const QString& programFolder) {
    return programFolder + QStringLiteral("/HAND-M.CUR");
}

}  // namespace

bool WindowPointer::customCursorExists(const QString& programFolder) {
    return FileExists(customCursorFile(programFolder));
}

bool WindowPointer::loadCustomCursor(const QString& programFolder) {
    const QString path = customCursorFile(programFolder);
    if (!FileExists(path)) return false;
    const QPixmap picture(path);
    if (picture.isNull()) throw Failure(QStringLiteral("Invalid picture: ") + path);
    custom_ = QCursor(picture, 0, 0);
    return true;
}

void WindowPointer::set(Pointer pointer) {
    pointer_ = pointer;
    if (!window_) return;
    switch (pointer) {
        case Default:
            window_->unsetCursor();
            break;
        case Hourglass:
            window_->setCursor(Qt::WaitCursor);
            break;
        case Custom:
            window_->setCursor(custom_);
            break;
    }
}

}  // namespace velmora

#include "SkinFramework.h"

#include "shell/Failure.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

namespace velmora {

void SkinFramework::loadSkin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(QStringLiteral("Cannot load skin '%1': %2").arg(path, file.errorString()));
    styleSheet_ = QString::fromUtf8(file.readAll());
}

void SkinFramework::applyWindow(QWidget& window) const {
    if (applyOptions_ & ApplyColors) window.setAttribute(Qt::WA_StyledBackground);
    // Laid over every window, the skin covers this one too; laying it over this one as well
    // would make Qt drop the fonts its labels inherit.
    if (autoApplyNewWindows_)
        qApp->setStyleSheet(styleSheet_);
    else
        window.setStyleSheet(styleSheet_);
}

}  // namespace velmora

#include "AppTitle.h"

#include <QCoreApplication>
#include <QGuiApplication>

namespace velmora {

QString ShortenAppTitle(QString name) {
    do {
        const qsizetype lastSpace = name.lastIndexOf(QLatin1Char(' '));
        if (lastSpace < 0) break;
        name.truncate(lastSpace);
    } while (name.size() > 40);
    return name;
}

void SetAppTitle() {
    QGuiApplication::setApplicationDisplayName(ShortenAppTitle(QLatin1String(kProductName)));
}

QString ProgramFolder() {
    return QCoreApplication::applicationDirPath();
}

}  // namespace velmora

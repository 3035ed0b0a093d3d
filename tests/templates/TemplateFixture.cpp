#include "TemplateFixture.h"

#include <QDir>
#include <QFile>

namespace velmora::test {

QString WriteEmbeddedTemplate(int tab, const QString& folder) {
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + TemplateName(tab) + QStringLiteral(".dot");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
    file.write(coversheet::LoadResData(coversheet::StyleOfTab(tab).resourceId));
    return path;
}

QStringList FilledBookmarks(int tab) {
    QStringList names;
    for (const auto& bookmark : coversheet::Bookmarks())
        if (bookmark.filledOnTab[tab]) names << QLatin1String(bookmark.name);
    return names;
}

}  // namespace velmora::test

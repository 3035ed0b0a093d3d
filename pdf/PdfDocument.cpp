#include "PdfDocument.h"

#include "shell/Failure.h"

#include <QFile>
#include <QFileInfo>

namespace velmora {

std::unique_ptr<Poppler::Document> LoadPdf(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) throw Failure(QStringLiteral("'%1' does not exist.").arg(path));
    if (!info.isFile()) throw Failure(QStringLiteral("'%1' is not a file.").arg(path));
    // Poppler says nothing of why a file did not load: one that cannot be opened is told so.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("'%1' cannot be read: %2").arg(path, file.errorString()));
    file.close();
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path);
    if (!document)
        throw Failure(QStringLiteral("'%1' is not a PDF file that can be read.").arg(path));
    if (document->isLocked())
        throw Failure(QStringLiteral("'%1' is protected by a password.").arg(path));
    return document;
}

}  // namespace velmora

#include "PageSnapshot.h"

#include "WordConnection.h"
#include "shell/FileProcedures.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/TempFolder.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <memory>

namespace velmora {
namespace {

ClipboardPictureRequest& requestOverride() {
    static ClipboardPictureRequest request;
    return request;
}

QImage requestClipboardPicture() {
    if (requestOverride()) return requestOverride()();
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return {};
    return QGuiApplication::clipboard()->image();
}

QByteArray windowsBitmap(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "BMP"))
        throw Failure(QStringLiteral("The page picture could not be converted to a bitmap."));
    return bytes;
}

}  // namespace

QString SnapshotPath() {
    return TempPath(QStringLiteral("temp.bmp"));
}

ScopedClipboardPictureRequest::ScopedClipboardPictureRequest(ClipboardPictureRequest request)
    : ScopedOverride(requestOverride(), std::move(request)) {}

QImage GetClipboardPicture(int /*format*/) {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        QImage picture = requestClipboardPicture();
        if (!picture.isNull()) return picture;
    }
    return {};
}

QImage SaveDocAsJPG(const QString& inFile) {
    Procedure proc(location::Form1_SaveDocAsJPG);
    std::unique_ptr<WordConnection> word;
    QImage picture;
    proc.step(116, [&] { word = CreateWordApplication(); });
    proc.step(118, [&] { Use(word).documentsOpen(inFile, false); });
    proc.step(120, [&] { picture = Use(word).copyAsPicture(); });
    // The picture the office handed over, not the clipboard's: another program may have
    // put its own there since. Written afresh: a link planted at the picture's name must
    // not redirect the write.
    proc.step(122, [&] {
        if (picture.isNull())
            throw Failure(QStringLiteral("The office made no picture of the page."));
        WriteNewFile(SnapshotPath(), windowsBitmap(picture));
    });
    proc.step(124, [&] { Use(word).closeWithoutSaving(); });
    proc.step(126, [&] { Use(word).quit(); });
    return picture;
}

}  // namespace velmora

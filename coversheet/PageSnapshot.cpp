#include "PageSnapshot.h"

#include "WordEngine.h"
#include "shell/AtomicFile.h"
#include "shell/FileProcedures.h"
#include "shell/Locations.h"
#include "shell/Procedure.h"
#include "shell/TempFolder.h"

#include <QClipboard>
#include <QGuiApplication>
#include <cstring>
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

void putLittleEndian(char*& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i, value >>= 8) *out++ = char(value & 0xff);
}

// A Windows bitmap of 32 bits per pixel, the rows as the picture holds them in memory (blue,
// green, red, unused), bottom row first: a copy of the rows, where a 24-bit bitmap would
// convert every pixel. Its resolution is the picture's own.
QByteArray windowsBitmap(const QImage& page) {
    const QImage picture =
        page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    if (picture.isNull())
        throw Failure(QStringLiteral("The page picture could not be converted to a bitmap."));
    constexpr quint32 kHeaders = 14 + 40;
    const quint32 rowBytes = quint32(picture.width()) * 4;
    const quint32 pixelBytes = rowBytes * quint32(picture.height());
    QByteArray bytes(qsizetype(kHeaders + pixelBytes), Qt::Uninitialized);
    char* out = bytes.data();
    *out++ = 'B';
    *out++ = 'M';
    putLittleEndian(out, kHeaders + pixelBytes, 4);
    putLittleEndian(out, 0, 4);
    putLittleEndian(out, kHeaders, 4);
    putLittleEndian(out, 40, 4);  // BITMAPINFOHEADER
    putLittleEndian(out, quint32(picture.width()), 4);
    putLittleEndian(out, quint32(picture.height()), 4);
    putLittleEndian(out, 1, 2);   // planes
    putLittleEndian(out, 32, 2);  // bits per pixel
    putLittleEndian(out, 0, 4);   // BI_RGB
    putLittleEndian(out, pixelBytes, 4);
    putLittleEndian(out, quint32(picture.dotsPerMeterX()), 4);
    putLittleEndian(out, quint32(picture.dotsPerMeterY()), 4);
    putLittleEndian(out, 0, 4);
    putLittleEndian(out, 0, 4);
    for (int y = picture.height() - 1; y >= 0; --y, out += rowBytes)
        std::memcpy(out, picture.constScanLine(y), rowBytes);
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
    // Office work: what is left of it is not done once the program is ending.
    proc.endWithTheProgram();
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
        NewFile::Write(SnapshotPath(), windowsBitmap(picture));
    });
    proc.step(124, [&] { Use(word).closeWithoutSaving(); });
    proc.step(126, [&] { Use(word).quit(); });
    return picture;
}

}  // namespace velmora

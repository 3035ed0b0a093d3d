#pragma once

#include <QImage>
#include <QString>

namespace velmora::office {

// The first page of a PDF file as the snapshot picture: rendered at kSnapshotRenderDpi on
// white, opaque, marked with kSnapshotPictureDpi. With `text`, the page's text goes there, in
// the order it is read. Throws WordError when the file cannot be read.
QImage RenderFirstPage(const QString& pdfFile, QString* text = nullptr);

}  // namespace velmora::office

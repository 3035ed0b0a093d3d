#pragma once

#include "coversheet/office/SnapshotResolution.h"
#include "shell/ScopedOverride.h"

#include <QImage>
#include <QString>
#include <functional>

namespace velmora {

// Makes the preview's picture of a saved document: opens it in an office instance of its
// own, copies its page to the clipboard as a picture and saves that picture as temp.bmp in
// the temporary folder. Returns the picture as the office made it (null when it could not),
// which is what the caller shows: the clipboard and temp.bmp are shared with whatever else
// runs on the desktop and in the folder, so neither is read back. Reports its own failures
// and never throws.
QImage SaveDocAsJPG(const QString& inFile);

// The clipboard's picture, asking up to 1000 times; a null image when every request failed.
// `format` 0 takes whatever picture the clipboard holds (the only kind there is).
QImage GetClipboardPicture(int format = 0);

// temp.bmp in the temporary folder.
QString SnapshotPath();

// One request for the clipboard's picture; a null image when it failed.
using ClipboardPictureRequest = std::function<QImage()>;

// Makes GetClipboardPicture ask `request` instead of the clipboard while the object lives.
class ScopedClipboardPictureRequest : public ScopedOverride<ClipboardPictureRequest> {
public:
    explicit ScopedClipboardPictureRequest(ClipboardPictureRequest request);
};

}  // namespace velmora

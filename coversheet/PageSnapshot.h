#pragma once

#include <QImage>
#include <QString>

namespace velmora {

// Makes the preview's picture of a saved document: opens it in an office instance of its
// own, copies its page to the clipboard as a picture and saves that picture as temp.bmp in
// the temporary folder. Reports its own failures and never throws.
void SaveDocAsJPG(const QString& inFile);

// The clipboard's picture, asking up to 1000 times; a null image when every request failed.
// `format` 0 takes whatever picture the clipboard holds.
QImage GetClipboardPicture(int format = 0);

// temp.bmp in the temporary folder.
QString SnapshotPath();

}  // namespace velmora

#include "PageSnapshot.h"

#include "shell/TempFolder.h"

namespace velmora {

QString SnapshotPath() { return TempPath(QStringLiteral("temp.bmp")); }

void SaveDocAsJPG(const QString&) {}

QImage GetClipboardPicture(int) { return {}; }

}  // namespace velmora

#include "TestScanners.h"

#include <QDir>
#include <QFile>

namespace velmora::test {

void UseTestScanners(const QString& in, const QStringList& options) {
    const QString folder = in + QStringLiteral("/sane");
    QDir().mkpath(folder);
    const auto write = [&](const char* name, const QStringList& lines) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    };
    write("dll.conf", {QStringLiteral("test")});
    write("test.conf", options);
    qputenv("SANE_CONFIG_DIR", folder.toLocal8Bit());
}

}  // namespace velmora::test

#pragma once

// The names of the files the office makes for itself, known here once, in the engine's
// contract: the engine notes and removes them, the program tells its run record that a
// document's lock file goes with it (shell/RunRecord.h), and the tests look for them.

#include <QCryptographicHash>
#include <QFileInfo>
#include <QString>

#include <unistd.h>

namespace velmora::office {

// The lock file the office puts beside a document it opens for editing: ".~lock.<name>#".
inline QString LockFileName(const QString& documentName) {
    return QStringLiteral(".~lock.") + documentName + QLatin1Char('#');
}

inline QString LockFileOf(const QString& document) {
    const QFileInfo file(document);
    return file.absolutePath() + QLatin1Char('/') + LockFileName(file.fileName());
}

inline bool IsLockFileName(const QString& fileName) {
    return fileName.startsWith(QLatin1String(".~lock.")) && fileName.endsWith(QLatin1Char('#'));
}

// The office's pipe sockets, always in /tmp whatever TMPDIR says: "OSL_PIPE_<uid>_<name>".
// The plain prefix is for code that runs where nothing may allocate (a forked keeper).
inline constexpr char kPipePrefix[] = "/tmp/OSL_PIPE_";

inline QString PipePrefix() {
    return QLatin1String(kPipePrefix) + QString::number(::getuid()) + QLatin1Char('_');
}

inline QString PipePath(const QString& pipeName) {
    return PipePrefix() + pipeName;
}

// The pipe through which a second office started on the same profile hands its arguments to
// the first: "SingleOfficeIPC_" and the MD5 of the profile's URL (as UTF-16), in hexadecimal
// digits without leading zeros, as the office names it. Known before the office runs, so
// that it is noted, and removed, however the office ends.
inline QString SingleInstancePipePath(const QString& profileUrl) {
    QByteArray utf16;
    for (const QChar c : profileUrl)
        utf16.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    QString digits;
    for (const char byte : QCryptographicHash::hash(utf16, QCryptographicHash::Md5))
        digits += QString::number(uchar(byte), 16);
    return PipePath(QStringLiteral("SingleOfficeIPC_") + digits);
}

// The office's working files in its temporary folder, "lu<letters and digits>.tmp", left
// there when it dies.
inline bool IsWorkingFileName(const QString& fileName) {
    return fileName.startsWith(QLatin1String("lu")) && fileName.endsWith(QLatin1String(".tmp"));
}

}  // namespace velmora::office

#include "IniStore.h"

#include "AtomicFile.h"
#include "Failure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <cerrno>

namespace velmora {
namespace {

bool isHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Names written bare: QSettings would escape anything else in a key.
bool isPlainName(QStringView name) {
    if (name.isEmpty()) return false;
    for (const QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('_')) return false;
    return true;
}

// Writes `bytes` as the whole of `file`, which a reader sees old or new, never in part. A file
// its owner made read-only stays as it is, as it would for QSettings. It is not flushed to the
// disk on the way: the new file survives the program's end in any way, and waiting for the
// disk on every keystroke would cost more than the rest of the keystroke (here mostly under a
// millisecond, but now and then 20-90 ms while the disk is busy).
bool replaceFile(const QString& file, const QByteArray& bytes) {
    struct stat old {};
    const bool hadOld = ::stat(QFile::encodeName(file).constData(), &old) == 0;
    try {
        AtomicFile fresh(file, AtomicFile::Flush::NotToDisk, AtomicFile::Access::OwnerOnly);
        fresh.write(bytes);
        // Readers that cache the file (QSettings does, in this process too) look for a change
        // of size or modification time to the millisecond; a rewrite of the same size within
        // one tick of the file system's clock would go unseen. Each new file is therefore at
        // least a millisecond younger than the one it replaces.
        const QByteArray native = QFile::encodeName(fresh.path());
        struct stat written {};
        if (hadOld && ::lstat(native.constData(), &written) == 0) {
            const long long oldNs = old.st_mtim.tv_sec * 1000000000LL + old.st_mtim.tv_nsec;
            const long long newNs = written.st_mtim.tv_sec * 1000000000LL + written.st_mtim.tv_nsec;
            if (newNs < oldNs + 1000000) {
                const long long ns = oldNs + 1000000;
                const timespec times[2] = {{0, UTIME_OMIT},
                                           {time_t(ns / 1000000000), long(ns % 1000000000)}};
                if (::utimensat(AT_FDCWD, native.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
                    return false;
            }
        }
        fresh.commit();
        return true;
    } catch (const Failure&) {
        return false;
    }
}

}  // namespace

IniStore::IniStore(QString file) : file_(std::move(file)) {}

void IniStore::AppendValue(QByteArray& out, const QString& value) {
    out += '"';
    // A text that begins with '@' would read as a typed value; QSettings doubles the '@'.
    if (value.startsWith(QLatin1Char('@'))) out += '@';
    bool afterHexEscape = false;  // a hex digit right after \x.. would extend that escape
    for (const QChar ch : value) {
        const char16_t u = ch.unicode();
        const bool named = u == '\n' || u == '\r' || u == '\t' || u == '"' || u == '\\';
        const bool hex = !named && (u < 0x20 || u == 0x7f || ch.isSurrogate() ||
                                    (afterHexEscape && isHexDigit(u)));
        afterHexEscape = hex;
        if (named) {
            out += '\\';
            out += u == '\n' ? 'n' : u == '\r' ? 'r' : u == '\t' ? 't' : char(u);
        } else if (hex) {
            out += "\\x";
            out += QByteArray::number(uint(u), 16);
        } else if (u < 0x80) {
            out += char(u);
        } else {
            out += QStringView(&ch, 1).toUtf8();
        }
    }
    out += '"';
}

std::optional<IniStore::Stamp> IniStore::currentStamp() const {
    struct stat info {};
    if (::stat(QFile::encodeName(file_).constData(), &info) != 0) return std::nullopt;
    return Stamp{info.st_dev, info.st_ino, info.st_size,
                 info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec};
}

bool IniStore::load() {
    values_.clear();
    stamp_.reset();
    const auto before = currentStamp();
    const QSettings settings(file_, QSettings::IniFormat);
    for (const QString& key : settings.allKeys()) {
        const QVariant value = settings.value(key);
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        const bool plainKey = slash < 0 ? isPlainName(key)
                                        : isPlainName(QStringView(key).left(slash)) &&
                                              isPlainName(QStringView(key).mid(slash + 1));
        if (value.typeId() != QMetaType::QString || !plainKey) return false;
        values_.insert(key, value.toString());
    }
    if (before != currentStamp()) return false;  // changed while it was read
    stamp_ = before.value_or(Stamp{});
    return true;
}

QByteArray IniStore::compose() const {
    QByteArray out;
    qsizetype size = 64;
    for (auto it = values_.begin(); it != values_.end(); ++it)
        size += it.key().size() + it.value().size() * 3 / 2 + 8;
    out.reserve(size);
    QString section;
    bool first = true;
    for (auto it = values_.begin(); it != values_.end(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString keySection = slash < 0 ? QStringLiteral("General") : it.key().left(slash);
        if (first || keySection != section) {
            if (!first) out += '\n';
            out += '[' + keySection.toLatin1() + "]\n";
            section = keySection;
            first = false;
        }
        out += it.key().mid(slash + 1).toLatin1();
        out += '=';
        AppendValue(out, it.value());
        out += '\n';
    }
    return out;
}

bool IniStore::write(const QString& key, const QString& value) {
    const qsizetype slash = key.indexOf(QLatin1Char('/'));
    if (slash < 0 || !isPlainName(QStringView(key).left(slash)) ||
        !isPlainName(QStringView(key).mid(slash + 1)))
        return false;
    QDir().mkpath(QFileInfo(file_).path());
    QLockFile lock(file_ + QStringLiteral(".lock"));
    if (!lock.tryLock(1000)) return false;
    const auto now = currentStamp();
    // Unknown or changed by someone else: read in again. A file not there yet is empty.
    if (!stamp_ || (now ? *now != *stamp_ : stamp_->size >= 0)) {
        if (now && !load()) return false;
        if (!now) {
            values_.clear();
            stamp_ = Stamp{};
        }
    }
    values_.insert(key, value);
    if (!replaceFile(file_, compose())) {
        stamp_.reset();
        return false;
    }
    stamp_ = currentStamp();
    return stamp_.has_value();
}

std::optional<QString> IniStore::read(const QString& key, const QString& defaultValue) const {
    if (!stamp_) return std::nullopt;
    const auto now = currentStamp();
    if (now ? *now != *stamp_ : stamp_->size >= 0) return std::nullopt;
    return values_.value(key, defaultValue);
}

}  // namespace velmora

#pragma once

#include <sys/types.h>
#include <QMap>
#include <QString>
#include <optional>

namespace velmora {

// A settings file in the format QSettings reads ("[Section]" and "key=value" lines), written
// by the program itself. QSettings escapes and writes a value character by character and
// parses the whole file again before each write, which for a message of a megabyte costs a
// few hundred milliseconds per keystroke; this writer keeps what the file holds and writes it
// afresh in a few, still on disk before write() returns.
//
// The file stays the one QSettings reads and writes: a change made by anyone else (another
// process, QSettings itself) is noticed from the file's identity, size and time, and read in
// again first. The same lock file serialises the writers.
class IniStore {
public:
    explicit IniStore(QString file);

    // Sets `key` ("Section/name") and writes the file. False when the file holds what this
    // writer does not reproduce (values that are not plain text, nested groups) or cannot be
    // written; the caller then writes through QSettings, which also tells why.
    bool write(const QString& key, const QString& value);

    // The value under `key` (`defaultValue` when there is none) while the file is as this
    // store last wrote or read it; nothing when it may have changed since (the caller then
    // asks QSettings).
    std::optional<QString> read(const QString& key, const QString& defaultValue) const;

    // The text QSettings reads back as exactly `value`, quotes included.
    static void AppendValue(QByteArray& out, const QString& value);

private:
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = -1;
        long long modifiedNs = 0;
        bool operator==(const Stamp&) const = default;
    };
    std::optional<Stamp> currentStamp() const;
    bool load();
    QByteArray compose() const;

    QString file_;
    QMap<QString, QString> values_;  // by "Section/name"; keys of the General section bare
    std::optional<Stamp> stamp_;     // of the file as values_ knows it
};

}  // namespace velmora

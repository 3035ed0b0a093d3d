#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

// The one way the program writes a file whole: a reader of the target sees the old file or the
// new one, never part of either, and a failure at any point leaves the old one as it was.
//
// The new file is made beside the target, in the same folder, under a hidden name of its own
// (".<name>.new-<digits>", created exclusively, readable by the user alone while it is made),
// and noted in the run's record until it is in place, so that a run that ends while it is
// made leaves nothing beside the user's file after the next start. The caller fills it, with
// write() or by handing path() to another program (the office exports into it), or puts a
// complete file there with moveIn(). commit() flushes it to the disk, gives it the target's
// permissions (or those a new file gets), and renames it over the target in one step. Without
// a commit, or when it fails, the new file is removed. A writer that replaces its file many
// times a second, and can lose the last write to a crash of the whole system, may leave the
// flush out (Flush::NotToDisk): the new file still replaces the old one whole.
//
// A target that is a symbolic link is followed to the file it finally names, as QSaveFile
// does, and that file is replaced; the link stays. Only links of the user's own (or root's) are
// followed: one that another user put in a shared folder is refused. A target the user may not
// write (made read-only) is refused too and stays as it is, and a file is never replaced by an
// empty one. Every refusal and failure throws Failure with the reason.
class AtomicFile {
public:
    enum class Flush { ToDisk, NotToDisk };
    // Who may read the file once in place: what the target had (a new file: what the umask
    // allows), or its owner alone (0600) whatever it had, for the user's settings and the
    // program's working files, which are nobody else's business whatever the umask.
    enum class Access { AsBefore, OwnerOnly };

    explicit AtomicFile(const QString& target, Flush flush = Flush::ToDisk,
                        Access access = Access::AsBefore);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // The file that will be replaced, links followed.
    const QString& target() const { return target_; }
    // The new file, while it is being made.
    const QString& path() const { return path_; }

    // Adds `bytes` to the new file.
    void write(const QByteArray& bytes);
    // Makes the complete file `file` the new file: renamed when it lies on the target's file
    // system, else copied. `file` is gone afterwards.
    void moveIn(const QString& file);
    // Puts the new file in place of the target.
    void commit();

private:
    [[noreturn]] void fail(const QString& reason) const;
    // The system's reason for `error`, or a full disk named as such.
    QString because(int error) const;
    void closeWriter();
    void discard() noexcept;

    QString name_;  // as the caller named the target, for the messages
    QString target_;
    QString path_;
    Flush flush_;
    unsigned mode_ = 0600;  // what the file gets once in place
    int fd_ = -1;           // the new file, open for write() until the commit
};

}  // namespace velmora

#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace velmora {

// The file module: every file the program writes whole, and every file of its own it makes
// (temporary files included), goes through one of these two, which share one way of making a
// file and one write loop. Only files kept open and written in place (the run's record, the
// office slots' lock files, logs) are written otherwise, and the settings store's probe of its
// folder, made and removed at once.
//
// NewFile: a file of the program's own (a temporary file, the page picture), made afresh:
// created exclusively, never at a name where anything already stands and never through a
// link, readable and writable by the user alone (0600, whatever the umask), and noted in the
// run's record (RunRecord) from the moment it exists, so that a run that ends however leaves
// it to the next start's tidying. It is removed with the object unless kept. Every failure
// throws Failure with the reason.
class NewFile {
public:
    // Exactly `path`; an entry that already stands there, a link included, is refused.
    explicit NewFile(const QString& path);
    // A name of its own in `folder`: "<stem>-<8 random letters and digits><suffix>", another
    // one while a name is taken.
    NewFile(const QString& folder, const QString& stem, const QString& suffix);
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // The file; empty once kept.
    const QString& path() const { return path_; }

    // Adds `bytes` to the file.
    void write(const QByteArray& bytes);
    // Done writing through this object: what happens to the file from now on (another program
    // writes it, AtomicFile replaces it) does not matter, the run's record removes whatever
    // it has become.
    void close();
    // Closes the file, which stays when the object goes (noted in the record until it is
    // removed), and returns its path.
    QString keep();

    // Writes `bytes` to a new file at `path`, where whatever entry stood before is removed
    // first (never followed), and keeps it. The record removes only this very file later, not
    // one another run put at the same name.
    static void Write(const QString& path, const QByteArray& bytes);
    // Writes `bytes` to a new file of a name of its own in `folder` (see above), keeps it as
    // Write() does, and returns its path.
    static QString WriteOfItsOwn(const QString& folder, const QString& stem, const QString& suffix,
                                 const QByteArray& bytes);

private:
    friend class AtomicFile;
    // The first of the names `nameFor(attempt)` gives that is free (an empty name: no more to
    // try). Failures name `shown` when it is given, as "Cannot write" (the file a new file is
    // made for), else the file itself, as "Cannot create" while it is being made.
    NewFile(const std::function<QString(int attempt)>& nameFor, const QString& shown);

    [[noreturn]] void fail(bool creating, int error) const;

    QString shown_;
    QString path_;
    int fd_ = -1;
};

// The one way the program replaces a file whole: a reader of the target sees the old file or
// the new one, never part of either, and a failure at any point leaves the old one as it was.
//
// The new file is a NewFile beside the target, in the same folder, under a hidden name of its
// own (".<name>.new-<digits>"), and noted in the run's record until it is in place, so that a
// run that ends while it is made leaves nothing beside the user's file after the next start.
// The caller fills it, with write() or copyFrom(), or by handing path() to another program
// (the office exports into it), or puts a complete file there with moveIn(). commit()
// flushes it to the disk, gives it the target's permissions (or those a new file gets),
// renames it over the target in one step and flushes the folder, so that the rename too
// survives a crash of the system. Without a commit, or when it fails, the new file is
// removed. A writer that replaces its file many times a second, and can lose the last write
// to a crash of the whole system, may leave both flushes out (Flush::NotToDisk): the new file
// still replaces the old one whole.
//
// A target that is a symbolic link is followed to the file it finally names, as QSaveFile
// does, and that file is replaced; the link stays. Only links of the user's own (or root's) are
// followed: one that another user put in a shared folder is refused. A target the user may not
// write (made read-only) is refused too and stays as it is, and a file is never replaced by an
// empty one. Every refusal and failure throws Failure with the reason. (A failure to flush the
// folder, the one step after the rename, is told too, though the new file is then in place.)
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
    const QString& path() const { return file_.path(); }

    // Adds `bytes` to the new file.
    void write(const QByteArray& bytes);
    // Adds the whole of the file `source` to the new file.
    void copyFrom(const QString& source);
    // Makes the complete file `file` the new file: renamed when it lies on the target's file
    // system, else copied. `file` is gone afterwards.
    void moveIn(const QString& file);
    // Puts the new file in place of the target.
    void commit();

    // Replaces `target` with a copy of `source`, byte for byte; an empty `source` is refused
    // before anything is made.
    static void Copy(const QString& source, const QString& target);

private:
    struct Target {
        QString path;
        unsigned mode;
    };
    // The file `name` finally names and the permissions its replacement gets.
    static Target Resolve(const QString& name, Access access);
    AtomicFile(const QString& name, Flush flush, Target target);

    [[noreturn]] void fail(const QString& reason) const;

    QString name_;  // as the caller named the target, for the messages
    QString target_;
    Flush flush_;
    unsigned mode_;  // what the file gets once in place
    NewFile file_;
};

}  // namespace velmora

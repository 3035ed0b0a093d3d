#pragma once

#include <QString>
#include <functional>
#include <map>

namespace velmora {

// How a file is noted in the run's record (NoteCreatedFile and the others below).
enum class FileNote { Created, InTheMaking, Removed };

// The temporary files this run of the program made, noted in a record file of its own in the
// temporary folder (".velmora-run-<process id>"), which the run keeps locked while it lives.
// The lock goes with the process however it ends, so a record that nobody holds belongs to a
// run that ended without tidying: the next start removes what that run left (its
// template, temp.bmp and document, with the files that go with them), and never a
// file of a run that still lives. A file is removed only while it is the very file that was
// noted (same file, same modification time), a regular file of this user's. The run also
// notes the new files it is filling beside the files it replaces, so that a crash while one is
// written leaves nothing beside the user's file after the next start.
class RunRecord {
public:
    // The file that goes with a noted one and is removed with it, whatever it holds, as long
    // as it is a regular file of this user's: the office's lock file beside a document it
    // opened, whose name the program knows and the shell does not. None when empty.
    using CompanionOf = std::function<QString(const QString& file)>;

    // Tidies after the dead runs recorded in `folder`, then starts this run's record there.
    // Without a usable folder the record stays empty and nothing is noted.
    explicit RunRecord(const QString& folder, CompanionOf companionOf = {});
    // Removes every file still noted, then the record.
    ~RunRecord();
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    const QString& file() const { return file_; }

    // Tidies after the runs recorded in `folder` that no longer live; returns how many.
    static int TidyAfterEndedRuns(const QString& folder, const CompanionOf& companionOf = {});

    // Notes `path` in this run's record, when there is one, even while SendFileNotesTo sends
    // the notes of this copy of the shell elsewhere.
    static void Note(FileNote note, const QString& path);

private:
    struct Identity {
        quint64 device = 0, inode = 0;
        qint64 modifiedNs = 0;
    };
    void write();

    const CompanionOf companionOf_;
    QString file_;
    int fd_ = -1;
    std::map<QString, Identity> files_;
    RunRecord* previous_ = nullptr;
};

// A file the program has just created in the temporary folder; noted in the run's record,
// when there is one.
void NoteCreatedFile(const QString& path);
// A new file the program is filling to put in place of another (see AtomicFile), wherever it
// is. It changes while it is made, so a run that ends before it is in place leaves it to be
// removed whatever it then holds, as long as it is a regular file of this user's.
void NoteFileInTheMaking(const QString& path);
// A file that is gone, or was renamed; no longer noted.
void NoteRemovedFile(const QString& path);
// Any of the three.
void NoteFile(FileNote note, const QString& path);

// Where the notes of this copy of the shell go instead of its run's record; back to the record
// when empty. The office module links a copy of the shell of its own, which has no record: it
// sends its notes to the program's, through the service the program lends it. Safe from any
// thread; `sink` takes each note on the thread that makes it.
using FileNoteSink = std::function<void(FileNote note, const QString& path)>;
void SendFileNotesTo(FileNoteSink sink);

}  // namespace velmora

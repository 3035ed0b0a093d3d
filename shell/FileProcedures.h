#pragma once

#include <QString>

namespace velmora {

// True for an existing file or folder; false, silently, for anything else.
bool FileExists(const QString& path);

// True for an existing file that a listing of its folder shows: not for a folder, a device
// or a link to nothing. False, silently, for anything else.
bool FileListed(const QString& path);

// Deletes the file, falling back to ForceDeleteFile, and lets no events run meanwhile (from
// any thread, inside any step). Never reports anything; a file that cannot be deleted stays.
void RemoveFileQuietly(const QString& path);

// "the disk that holds "<folder>" is full" when the file system that holds `path` (or the
// nearest folder of it that exists) has less than a megabyte left for the user; empty
// otherwise. What a failed write is told as, rather than the system's or the office's words.
QString FullDiskReason(const QString& path);

// Whether `path` names (links followed) a file made read-only: one the user may not write, or
// one without any write permission, which not even root replaces. The one rule for every
// file the program writes whole (AtomicFile) and the settings file.
bool IsReadOnlyFile(const QString& path);

// Deletes a regular file of this user's, also one without write permission, looking at the
// name itself and never through a link; changes nothing else. Throws Failure when it cannot.
void ForceDeleteFile(const QString& path);

}  // namespace velmora

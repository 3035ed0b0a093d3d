#pragma once

#include <QString>
#include <QStringList>
#include <chrono>

namespace velmora::office {

// One of a few private office profiles. Two office instances on one profile hand their work
// to each other, so each instance takes a slot of its own under an exclusive lock. The office
// process inherits the lock, so a slot stays taken for as long as its office runs, even one
// that outlived the connection that started it.
class ProfileSlot {
public:
    static constexpr int kSlotCount = 8;

    // Takes the first free slot under `baseFolder`, creating it on first use, and clears what
    // the previous offices of this and every other free slot left behind. While every slot is taken
    // it waits for one up to `deadline`, then throws WordError.
    static ProfileSlot acquire(const QString& baseFolder,
                               std::chrono::steady_clock::time_point deadline);

    ProfileSlot(ProfileSlot&& other) noexcept;
    ProfileSlot& operator=(ProfileSlot&&) = delete;
    ProfileSlot(const ProfileSlot&) = delete;
    ~ProfileSlot();  // frees the slot (once the office has ended too)

    int number() const { return number_; }
    const QString& folder() const { return folder_; }
    // The UserInstallation URL of the slot's profile.
    QString profileUrl() const;
    // The office's temporary folder (TMPDIR), emptied whenever the slot is taken.
    QString tempFolder() const;
    // The office's console output.
    QString logFile() const;
    // The lock's descriptor, for the office process to inherit.
    int lockDescriptor() const { return lockFd_; }

    // Notes files the office creates outside the slot (its pipes in /tmp, the lock files
    // beside documents it opens for editing), to remove them once it has ended, by this
    // connection or, after a crash, by the next one.
    void recordLeftovers(const QStringList& paths) const;
    void removeLeftovers() const;
    // Removes what the slot's last office left: those files and its temporary folder's
    // contents (the working files of an office that died). Only once that office has ended.
    void tidy() const;

private:
    ProfileSlot(int number, QString folder, int lockFd);
    static void tidyFreeSlots(const QString& baseFolder, int taken);

    int number_;
    QString folder_;
    int lockFd_;
};

}  // namespace velmora::office

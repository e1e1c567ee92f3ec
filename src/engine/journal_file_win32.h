// The open journal file of one transaction, and the names of the backups that belong to it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "platform/handles_win32.h"

namespace nebcm {

class Journal {
public:
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    // Makes a new journal; fails (13014) when one is already there or the folder cannot be written.
    static std::unique_ptr<Journal> Create(ErrorList& errors);
    // Opens the existing journal to go on writing after its last whole entry, which ends at
    // `length` (the recovery's own entries).
    static std::unique_ptr<Journal> Reopen(std::uint32_t stamp, std::size_t length);

    // Appends the entry; with `flush` it is on the disk before this returns, otherwise it goes
    // with the next flush (creations are flushed in batches). False, with 13014 when `errors` is
    // given, when it could not be written.
    bool Append(const std::vector<std::uint8_t>& entry, bool flush, ErrorList* errors);
    std::string NewBackupPath();
    // Flushes the backup copy's content to the disk.
    static void SecureBackup(const std::string& backup);
    // Writes and flushes the commit entry; false when it could not be written.
    bool MarkCommitted();
    // Closes and deletes the journal file; false when it could not be deleted.
    bool Remove();
    const std::string& Path() const { return path_; }

private:
    Journal(FileHandle file, std::string path, std::uint32_t stamp)
        : file_(std::move(file)), path_(std::move(path)), stamp_(stamp) {}

    FileHandle file_;
    std::string path_;
    std::uint32_t stamp_;
    unsigned sequence_ = 0;
    unsigned unflushed_ = 0;
    bool madeFolder_ = false; // a backup folder of this journal exists
};

// A test seam: while set, every write of a journal fails as a full disk would.
void RefuseJournalWrites(bool refuse);

// The exit code of a process ended by the tests' kill seam.
inline constexpr unsigned KilledByJournalExitCode = 197;

// The backups of the journal with this stamp are "<stamp>-<g>\<n>.bak" in the journal's folder:
// backup n in folder g, a hundred to a folder.
std::string BackupPrefix(std::uint32_t stamp);

} // namespace nebcm

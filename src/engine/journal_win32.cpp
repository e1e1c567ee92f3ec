// The journal file: where it lives, how entries reach the disk, and the recovery of an interrupted
// procedure from it at the next start.
#include "engine/journal.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#include "common/messages.h"
#include "engine/file_actions.h"
#include "engine/journal_file_win32.h"
#include "engine/registry.h"
#include "engine/system_calls_win32.h"
#include "engine/transaction.h"
#include "model/path_rules.h"

namespace nebcm {

namespace {

const char JournalFolderName[] = "NEB Rollback";
const char JournalFileName[] = "Changes.jnl";
// Creations are flushed at the latest after this many entries.
const unsigned FlushBatch = 64;

bool refuseWrites = false;

bool JournalWritesRefused() {
    return refuseWrites;
}

std::string& DirectoryOverride() {
    static std::string directory;
    return directory;
}

// The kill seam of the tests: the process ends, without any clean-up, right after the n-th entry
// of its journals reached the disk (NEBCM_KILL_AFTER_RECORD=n; read once).
void EndProcessIfAsked() {
    static const long killAfter = [] {
        char value[32] = {};
        DWORD length = ::GetEnvironmentVariableA("NEBCM_KILL_AFTER_RECORD", value, sizeof value);
        return length > 0 && length < sizeof value ? std::strtol(value, nullptr, 10) : 0L;
    }();
    static long written = 0;
    if (killAfter > 0 && ++written == killAfter) {
        ::TerminateProcess(::GetCurrentProcess(), KilledByJournalExitCode);
    }
}

bool WriteAll(HANDLE file, const std::vector<std::uint8_t>& bytes) {
    DWORD written = 0;
    return ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// A record that has nothing to undo.
class NothingToUndo : public UndoAction {
public:
    bool Undo(ErrorList&) override { return true; }
};

// Backups go into numbered folders of this many, "<stamp>-<g>\<n>.bak": a folder that grows
// with the procedure would make every new name slower to create than the last, as the system
// looks through the whole folder for a name that is not there yet.
const unsigned BackupsPerFolder = 100;

// One spelling for every spelling of a path as the file system compares them.
std::string Folded(const std::string& path) {
    return PathIdentity(path);
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Deletes the backups of the journal with this stamp that no record names (copies that were made
// just before the process ended, when their record never reached the journal), and the backup
// folders left empty. `named` holds folded paths.
void DeleteOrphanBackups(std::uint32_t stamp, const std::set<std::string>& named) {
    const std::string directory = JournalDirectory();
    auto sweep = [&](const std::string& folder, const std::string& pattern) {
        WIN32_FIND_DATAA found;
        FindHandle find(::FindFirstFileA((folder + "\\" + pattern).c_str(), &found));
        if (!find) {
            return;
        }
        do {
            std::string path = folder + "\\" + found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                named.count(Folded(path)) == 0) {
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(find.get(), &found));
    };
    // The flat names that earlier versions of the program gave their backups.
    sweep(directory, BackupPrefix(stamp) + "*.bak");
    WIN32_FIND_DATAA found;
    FindHandle find(
        ::FindFirstFileA((directory + "\\" + BackupPrefix(stamp) + "*").c_str(), &found));
    if (!find) {
        return;
    }
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            const std::string folder = directory + "\\" + found.cFileName;
            sweep(folder, "*.bak");
            ::RemoveDirectoryA(folder.c_str()); // stays when it holds a kept backup
        }
    } while (::FindNextFileA(find.get(), &found));
}

bool ReadWholeFile(HANDLE file, std::vector<std::uint8_t>& bytes) {
    DWORD high = 0;
    DWORD size = ::GetFileSize(file, &high);
    if (size == INVALID_FILE_SIZE || high != 0 || size > (256u << 20)) {
        return false;
    }
    bytes.resize(size);
    DWORD read = 0;
    return size == 0 || (::ReadFile(file, bytes.data(), size, &read, nullptr) && read == size);
}

// The backup a record names must be one of its journal's, "<stamp>-<g>\<n>.bak" (or, from an
// earlier version, "<stamp>-<n>.bak") in the journal's folder: anything else would let a damaged
// journal delete an arbitrary file.
bool IsJournalBackup(const std::string& path, std::uint32_t stamp) {
    const std::string prefix = JournalDirectory() + "\\" + BackupPrefix(stamp);
    if (path.size() <= prefix.size() + 4 ||
        !EqualIgnoringCase(path.substr(0, prefix.size()), prefix) ||
        !EqualIgnoringCase(path.substr(path.size() - 4), ".bak")) {
        return false;
    }
    const std::string rest = path.substr(prefix.size(), path.size() - prefix.size() - 4);
    const std::size_t slash = rest.find('\\');
    return slash == std::string::npos
               ? AllDigits(rest)
               : AllDigits(rest.substr(0, slash)) && AllDigits(rest.substr(slash + 1));
}

} // namespace

void RefuseJournalWrites(bool refuse) {
    refuseWrites = refuse;
}

void SetJournalDirectory(const std::string& directory) {
    DirectoryOverride() = directory;
}

std::string JournalDirectory() {
    if (!DirectoryOverride().empty()) {
        return DirectoryOverride();
    }
    char windows[MAX_PATH + 1] = {};
    UINT length = ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length > MAX_PATH) {
        return std::string("C:\\") + JournalFolderName;
    }
    std::string directory(windows, length);
    if (directory.back() != '\\') {
        directory += '\\';
    }
    return directory + JournalFolderName;
}

std::string JournalPath() {
    return JournalDirectory() + "\\" + JournalFileName;
}

std::string BackupPrefix(std::uint32_t stamp) {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%08lX-", static_cast<unsigned long>(stamp));
    return prefix;
}

std::unique_ptr<Journal> Journal::Create(ErrorList& errors) {
    const std::string directory = JournalDirectory();
    const std::string path = JournalPath();
    if (::CreateDirectoryA(directory.c_str(), nullptr)) {
        ::SetFileAttributesA(directory.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    // A journal already there belongs to another procedure, running or interrupted: creating the
    // file only if it is new keeps the two apart.
    FileHandle file;
    if (!JournalWritesRefused()) {
        // Others may read it (the tests do), but a recovery, which asks for the file alone,
        // cannot take it from a procedure that is still running.
        file.reset(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    if (!file) {
        errors.Add(Message(13014, path));
        return nullptr;
    }
    // A stamp that no backup left behind by an earlier journal carries.
    std::uint32_t stamp = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    for (int tries = 0; tries < 1000; ++tries, ++stamp) {
        WIN32_FIND_DATAA found;
        FindHandle find(
            ::FindFirstFileA((directory + "\\" + BackupPrefix(stamp) + "*").c_str(), &found));
        if (!find) {
            break;
        }
    }
    std::unique_ptr<Journal> journal(new Journal(std::move(file), path, stamp));
    if (!WriteAll(journal->file_.get(), EncodeJournalHeader(stamp)) ||
        !::FlushFileBuffers(journal->file_.get())) {
        journal->Remove();
        errors.Add(Message(13014, path));
        return nullptr;
    }
    return journal;
}

std::unique_ptr<Journal> Journal::Reopen(std::uint32_t stamp, std::size_t length) {
    const std::string path = JournalPath();
    FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Whatever follows the last whole entry was cut off; new entries replace it.
    if (!file ||
        ::SetFilePointer(file.get(), static_cast<LONG>(length), nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER ||
        !::SetEndOfFile(file.get())) {
        return nullptr;
    }
    std::unique_ptr<Journal> journal(new Journal(std::move(file), path, stamp));
    // The recovery names no new backups, but its journal's numbers must not be reused.
    journal->sequence_ = 0xFFFF0000u;
    return journal;
}

bool Journal::Append(const std::vector<std::uint8_t>& entry, bool flush, ErrorList* errors) {
    if (!file_ || JournalWritesRefused() || !WriteAll(file_.get(), entry) ||
        ((flush || ++unflushed_ >= FlushBatch) && !::FlushFileBuffers(file_.get()))) {
        if (errors != nullptr) {
            errors->Add(Message(13014, path_));
        }
        return false;
    }
    if (flush || unflushed_ >= FlushBatch) {
        unflushed_ = 0;
    }
    EndProcessIfAsked();
    return true;
}

std::string Journal::NewBackupPath() {
    const unsigned n = ++sequence_;
    const std::string folder = JournalDirectory() + "\\" + BackupPrefix(stamp_) +
                               std::to_string((n - 1) / BackupsPerFolder);
    if (!madeFolder_ || (n - 1) % BackupsPerFolder == 0) {
        if (!::CreateDirectoryA(folder.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return std::string();
        }
        madeFolder_ = true;
    }
    return folder + "\\" + std::to_string(n) + ".bak";
}

void Journal::SecureBackup(const std::string& backup) {
    FileHandle file(::CreateFileA(backup.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        ::FlushFileBuffers(file.get());
    }
}

bool Journal::MarkCommitted() {
    return Append(EncodeJournalCommit(), true, nullptr);
}

bool Journal::Remove() {
    file_.reset();
    const bool removed = ::DeleteFileA(path_.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    // The backup folders, once their backups are gone; one that holds a kept backup stays.
    if (madeFolder_) {
        for (unsigned g = 0; g <= (sequence_ - 1) / BackupsPerFolder; ++g) {
            ::RemoveDirectoryA(
                (JournalDirectory() + "\\" + BackupPrefix(stamp_) + std::to_string(g)).c_str());
        }
    }
    return removed;
}

std::unique_ptr<UndoAction> UndoActionFromRecord(const JournalRecord& record) {
    const std::size_t texts = record.texts.size();
    const std::size_t numbers = record.numbers.size();
    auto shaped = [&](std::size_t t, std::size_t n) {
        for (const std::string& text : record.texts) {
            if (text.empty() || text.find('\0') != std::string::npos) {
                return false;
            }
        }
        return texts == t && numbers == n;
    };
    auto backup = [&]() {
        FileBackup saved;
        saved.path = record.texts[0];
        saved.backup = record.texts[1];
        saved.times.creation = record.numbers[0];
        saved.times.lastAccess = record.numbers[1];
        saved.times.lastWrite = record.numbers[2];
        saved.attributes = static_cast<std::uint32_t>(record.numbers[3]);
        return saved;
    };
    switch (static_cast<UndoKind>(record.kind)) {
    case UndoKind::Nothing:
        if (texts == 0 && numbers == 0) {
            return std::make_unique<NothingToUndo>();
        }
        break;
    case UndoKind::DirectoryMade:
        if (shaped(1, 0)) {
            return std::make_unique<UndoCreateDirectory>(record.texts[0]);
        }
        break;
    case UndoKind::DirectoryRemoved:
        if (shaped(1, 0)) {
            return std::make_unique<UndoDeleteDirectory>(record.texts[0]);
        }
        break;
    case UndoKind::LinkRemoved:
        if (shaped(1, 0)) {
            return std::make_unique<UndoDeleteLink>(record.texts[0]);
        }
        break;
    case UndoKind::FileMade:
        if (shaped(1, 0)) {
            return std::make_unique<UndoCreateFile>(record.texts[0]);
        }
        break;
    case UndoKind::FileDeleted:
        if (shaped(2, 4)) {
            return std::make_unique<UndoDeleteFile>(backup());
        }
        break;
    case UndoKind::FileReplaced:
        if (shaped(2, 4)) {
            return std::make_unique<UndoReplaceFile>(backup());
        }
        break;
    case UndoKind::AttributesSet:
        if (shaped(1, 1)) {
            return std::make_unique<UndoSetAttributes>(
                record.texts[0], static_cast<std::uint32_t>(record.numbers[0]));
        }
        break;
    case UndoKind::TimesSet:
        if (shaped(1, 3)) {
            FileTimes times;
            times.creation = record.numbers[0];
            times.lastAccess = record.numbers[1];
            times.lastWrite = record.numbers[2];
            return std::make_unique<UndoSetTimeStamp>(record.texts[0], times);
        }
        break;
    case UndoKind::KeyMade:
        if (shaped(1, 0)) {
            return std::make_unique<UndoCreateRegistryKey>(record.texts[0]);
        }
        break;
    case UndoKind::KeyDeleted:
        if (shaped(1, 0)) {
            return std::make_unique<UndoDeleteRegistryKey>(record.texts[0]);
        }
        break;
    case UndoKind::ValueDeleted:
        // A value name may be empty only as the default value, which has a kind of its own.
        if (shaped(2, 1)) {
            return std::make_unique<UndoDeleteRegistryValue>(
                record.texts[0], record.texts[1], static_cast<std::uint32_t>(record.numbers[0]),
                record.bytes);
        }
        break;
    case UndoKind::DefaultValueDeleted:
        if (shaped(1, 1)) {
            return std::make_unique<UndoDeleteRegistryDefaultValue>(
                record.texts[0], static_cast<std::uint32_t>(record.numbers[0]), record.bytes);
        }
        break;
    case UndoKind::ValueSet:
        if (shaped(2, 0)) {
            return std::make_unique<UndoSetRegistryValue>(record.texts[0], record.texts[1]);
        }
        break;
    case UndoKind::DefaultValueSet:
        if (shaped(1, 0)) {
            return std::make_unique<UndoSetRegistryDefaultValue>(record.texts[0]);
        }
        break;
    }
    return nullptr;
}

RecoveryOutcome RecoverInterruptedProcedure(ErrorList& errors) {
    const std::string path = JournalPath();
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return RecoveryOutcome::NothingToRecover;
    }
    JournalContents contents;
    {
        FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && ::GetLastError() == ERROR_SHARING_VIOLATION) {
            // A procedure of another process is writing it: it is not interrupted.
            return RecoveryOutcome::NothingToRecover;
        }
        std::vector<std::uint8_t> bytes;
        if (!file || !ReadWholeFile(file.get(), bytes)) {
            errors.Add(Message(13012, path));
            return RecoveryOutcome::LeftAlone;
        }
        switch (DecodeJournal(bytes.data(), bytes.size(), contents)) {
        case JournalReadStatus::Read:
            break;
        case JournalReadStatus::Newer:
            errors.Add(Message(13013, path));
            return RecoveryOutcome::LeftAlone;
        case JournalReadStatus::Unreadable:
            errors.Add(Message(13012, path));
            return RecoveryOutcome::LeftAlone;
        }
    }
    // Every record must make sense before the first is undone.
    std::vector<std::unique_ptr<UndoAction>> records;
    std::set<std::string> backups;
    for (const JournalRecord& record : contents.records) {
        std::unique_ptr<UndoAction> undo = UndoActionFromRecord(record);
        UndoKind kind = static_cast<UndoKind>(record.kind);
        bool backedUp = kind == UndoKind::FileDeleted || kind == UndoKind::FileReplaced;
        if (!undo || (backedUp && !IsJournalBackup(record.texts[1], contents.stamp))) {
            // Left alone means the backups too: destroying the records must not delete them.
            if (undo) {
                undo->KeepBackup();
            }
            for (auto& made : records) {
                made->KeepBackup();
            }
            errors.Add(Message(13012, path));
            return RecoveryOutcome::LeftAlone;
        }
        if (backedUp) {
            backups.insert(Folded(record.texts[1]));
        }
        records.push_back(std::move(undo));
    }
    if (contents.committed) {
        // The procedure had succeeded: only the backups and the journal are still to go.
        records.clear();
        DeleteOrphanBackups(contents.stamp, backups);
        ::DeleteFileA(path.c_str());
        return RecoveryOutcome::CommitCompleted;
    }
    ErrorList undoErrors;
    bool allUndone;
    {
        Transaction transaction;
        transaction.Resume(Journal::Reopen(contents.stamp, contents.length), std::move(records));
        allUndone = transaction.Rollback(undoErrors);
    }
    // Without a journal that could be written again, the transaction could not remove it.
    ::DeleteFileA(path.c_str());
    DeleteOrphanBackups(contents.stamp, backups);
    errors.Append(undoErrors);
    return allUndone ? RecoveryOutcome::RolledBack : RecoveryOutcome::RolledBackWithErrors;
}

} // namespace nebcm

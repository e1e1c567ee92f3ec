// Undoable file and directory actions: backups (in the journal's folder, or the temporary
// directory when there is no journal) and their undo records.
#include "engine/file_actions.h"

#include <windows.h>

#include <cstring>

#include "common/journal_format.h"
#include "common/messages.h"
#include "engine/journal.h"
#include "engine/system_calls_win32.h"
#include "platform/handles_win32.h"

namespace nebcm {

namespace {

FILETIME ToFileTime(std::uint64_t value) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(value);
    time.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return time;
}

std::uint64_t FromFileTime(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool WriteTimes(HANDLE file, const FileTimes& times) {
    FILETIME creation = ToFileTime(times.creation);
    FILETIME access = ToFileTime(times.lastAccess);
    FILETIME write = ToFileTime(times.lastWrite);
    return sys::SetFileTime(file, &creation, &access, &write);
}

// Opens a file, without sharing, so that its times can be set. Reading and writing is what every
// system accepts; a read-only file refuses writing, and a running program refuses it as a sharing
// violation, but the NT family still lets the attributes (the times among them) of both be
// written.
HANDLE OpenForTimes(const std::string& path) {
    HANDLE file = sys::OpenExistingFile(path, GENERIC_READ | GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
            file = sys::OpenExistingFile(path, GENERIC_READ | FILE_WRITE_ATTRIBUTES);
        }
    }
    return file;
}

// Sets times and attributes of a file that was just copied back from its backup, or that stayed
// where it was. The attributes go back even when the times cannot: a file that cannot be opened
// must not lose its read-only or hidden attribute as well.
bool RestoreMetadata(const FileBackup& saved) {
    bool timesSet = false;
    {
        FileHandle file(OpenForTimes(saved.path));
        timesSet = file && WriteTimes(file.get(), saved.times);
    }
    bool attributesSet = sys::SetFileAttributes(saved.path, saved.attributes);
    return timesSet && attributesSet;
}

// The first three steps of removing or backing up a file: read its attributes and times, clear
// its attributes (recorded) and copy it into a new backup file, named from the journal when there
// is one, otherwise made in the temporary directory. On failure the attributes are put back and
// `failureMessage` names the file.
bool SaveCopy(const std::string& path, int failureMessage, Transaction* transaction,
              ErrorList& errors, FileBackup& saved) {
    saved.path = path;
    if (!ReadFileAttributes(path, saved.attributes, errors) ||
        !ReadFileTimes(path, saved.times, errors) ||
        !ChangeFileAttributes(path, FILE_ATTRIBUTE_NORMAL, transaction, errors)) {
        return false;
    }
    if (transaction != nullptr && transaction->Journaled()) {
        saved.backup = transaction->NewBackupPath();
    } else {
        std::string temporary = sys::GetTempPath();
        saved.backup = temporary.empty() ? std::string() : sys::GetTempFileName(temporary, "neb");
    }
    if (saved.backup.empty() || !sys::CopyFile(path, saved.backup, false)) {
        // The name service made an empty file that nothing will ever delete otherwise.
        if (!saved.backup.empty()) {
            sys::DeleteFile(saved.backup);
        }
        sys::SetFileAttributes(path, saved.attributes);
        errors.Add(Message(failureMessage, path));
        return false;
    }
    if (transaction != nullptr) {
        transaction->SecureBackup(saved.backup);
    }
    return true;
}

// True when the file holds exactly what the backup holds.
bool SameContent(const std::string& path, const std::string& backup) {
    FileHandle a(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    FileHandle b(::CreateFileA(backup.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!a || !b || ::GetFileSize(a.get(), nullptr) != ::GetFileSize(b.get(), nullptr)) {
        return false;
    }
    char x[4096], y[4096];
    for (;;) {
        DWORD readA = 0, readB = 0;
        if (!::ReadFile(a.get(), x, sizeof x, &readA, nullptr) ||
            !::ReadFile(b.get(), y, sizeof y, &readB, nullptr) || readA != readB) {
            return false;
        }
        if (readA == 0) {
            return true;
        }
        if (std::memcmp(x, y, readA) != 0) {
            return false;
        }
    }
}

JournalRecord Described(UndoKind kind, std::vector<std::string> texts,
                        std::vector<std::uint64_t> numbers = {}) {
    JournalRecord record;
    record.kind = static_cast<std::uint8_t>(kind);
    record.texts = std::move(texts);
    record.numbers = std::move(numbers);
    return record;
}

JournalRecord DescribedBackup(UndoKind kind, const FileBackup& saved) {
    return Described(
        kind, {saved.path, saved.backup},
        {saved.times.creation, saved.times.lastAccess, saved.times.lastWrite, saved.attributes});
}

} // namespace

bool IsEmptyDirectory(const std::string& path) {
    WIN32_FIND_DATAA found;
    FindHandle find(::FindFirstFileA((path + "\\*.*").c_str(), &found));
    if (!find) {
        return false;
    }
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") {
            return false;
        }
    } while (::FindNextFileA(find.get(), &found));
    return true;
}

bool UndoCreateDirectory::Undo(ErrorList& errors) {
    // A directory that is not there was never made, or is gone already.
    if (!sys::RemoveDirectory(path_) && PathExists(path_)) {
        errors.Add(Message(10000, path_));
        return false;
    }
    return true;
}

bool UndoDeleteDirectory::Undo(ErrorList& errors) {
    // A directory still there was never removed.
    if (!sys::CreateDirectory(path_) && !IsDirectory(path_)) {
        errors.Add(Message(10001, path_));
        return false;
    }
    return true;
}

bool UndoDeleteLink::Undo(ErrorList& errors) {
    // What the link pointed to is not known here; a plain directory in its place would pass for
    // it. The name stays free and the message says that the link is not back.
    if (PathExists(path_)) {
        return true; // never removed
    }
    errors.Add(Message(10001, path_));
    return false;
}

bool UndoCreateFile::Undo(ErrorList& errors) {
    if (sys::DeleteFile(path_) || !PathExists(path_)) {
        return true;
    }
    // A copy takes the source's attributes, so a made file may well be read-only.
    DWORD attributes = ::GetFileAttributesA(path_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        sys::SetFileAttributes(path_, attributes & ~FILE_ATTRIBUTE_READONLY)) {
        if (sys::DeleteFile(path_)) {
            return true;
        }
        sys::SetFileAttributes(path_, attributes);
    }
    errors.Add(Message(10002, path_));
    return false;
}

UndoDeleteFile::~UndoDeleteFile() {
    if (!keepBackup_) {
        sys::DeleteFile(saved_.backup);
    }
}

bool UndoDeleteFile::Undo(ErrorList& errors) {
    if (sys::CopyFile(saved_.backup, saved_.path, true)) {
        if (RestoreMetadata(saved_)) {
            return true;
        }
        // Half restored is not restored: the name stays absent.
        sys::DeleteFile(saved_.path);
    } else if (IsFile(saved_.path) && SameContent(saved_.path, saved_.backup)) {
        // The deletion never happened (the process ended before it): the file is as it was, but
        // the backup copy moved its access time and took away its attributes.
        if (RestoreMetadata(saved_)) {
            return true;
        }
    }
    // The message names the backup, so it stays for the user to recover the file from.
    keepBackup_ = true;
    errors.Add(Message(10003, saved_.path, saved_.backup));
    return false;
}

UndoReplaceFile::~UndoReplaceFile() {
    if (!keepBackup_) {
        sys::DeleteFile(saved_.backup);
    }
}

bool UndoReplaceFile::Undo(ErrorList& errors) {
    if (!sys::CopyFile(saved_.backup, saved_.path, false)) {
        keepBackup_ = true;
        errors.Add(Message(10003, saved_.path, saved_.backup));
        return false;
    }
    // The content is back even if its times or attributes cannot follow. The message names the
    // backup, so it stays.
    if (!RestoreMetadata(saved_)) {
        keepBackup_ = true;
        errors.Add(Message(10003, saved_.path, saved_.backup));
        return false;
    }
    return true;
}

bool UndoSetAttributes::Undo(ErrorList& errors) {
    return ChangeFileAttributes(path_, previous_, nullptr, errors);
}

bool UndoSetTimeStamp::Undo(ErrorList& errors) {
    return ChangeFileTimes(path_, previous_, nullptr, errors);
}

bool UndoCreateDirectory::Describe(JournalRecord& record) const {
    record = Described(UndoKind::DirectoryMade, {path_});
    return true;
}

bool UndoDeleteDirectory::Describe(JournalRecord& record) const {
    record = Described(UndoKind::DirectoryRemoved, {path_});
    return true;
}

bool UndoDeleteLink::Describe(JournalRecord& record) const {
    record = Described(UndoKind::LinkRemoved, {path_});
    return true;
}

bool UndoCreateFile::Describe(JournalRecord& record) const {
    record = Described(UndoKind::FileMade, {path_});
    return true;
}

bool UndoDeleteFile::Describe(JournalRecord& record) const {
    record = DescribedBackup(UndoKind::FileDeleted, saved_);
    return true;
}

bool UndoReplaceFile::Describe(JournalRecord& record) const {
    record = DescribedBackup(UndoKind::FileReplaced, saved_);
    return true;
}

bool UndoSetAttributes::Describe(JournalRecord& record) const {
    record = Described(UndoKind::AttributesSet, {path_}, {previous_});
    return true;
}

bool UndoSetTimeStamp::Describe(JournalRecord& record) const {
    record = Described(UndoKind::TimesSet, {path_},
                       {previous_.creation, previous_.lastAccess, previous_.lastWrite});
    return true;
}

bool MakeDirectory(const std::string& path, Transaction* transaction, ErrorList& errors) {
    std::string full = WithoutTrailingBackslash(FullPath(path));
    if (full.empty()) {
        errors.Add(Message(10001, path));
        return false;
    }
    std::string::size_type first = full.find('\\');
    std::string::size_type last = full.rfind('\\');
    if (last == std::string::npos) {
        return false;
    }
    if (first != last && !EnsureDirectory(full.substr(0, last), transaction, errors)) {
        return false;
    }
    if (!RecordAhead(transaction, std::make_unique<UndoCreateDirectory>(full), errors)) {
        return false;
    }
    if (!sys::CreateDirectory(full)) {
        WithdrawRecord(transaction);
        errors.Add(Message(10001, full));
        return false;
    }
    return true;
}

bool EnsureDirectory(const std::string& path, Transaction* transaction, ErrorList& errors) {
    std::string full = FullPath(path);
    if (!full.empty() && PathExists(full)) {
        return IsDirectory(full);
    }
    return MakeDirectory(full.empty() ? path : full, transaction, errors);
}

bool RemoveDirectoryTree(const std::string& path, bool recursive, Transaction* transaction,
                         ErrorList& errors) {
    std::string full = WithoutTrailingBackslash(FullPath(path));
    // A junction or mount point stands for a directory elsewhere: only the link goes, never what
    // it points to.
    DWORD attributes = full.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesA(full.c_str());
    bool link = attributes != INVALID_FILE_ATTRIBUTES &&
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (recursive && !link && !full.empty()) {
        const std::string pattern = JoinPath(full, "*.*");
        if (pattern.size() >= MAX_PATH) {
            errors.Add(Message(13070, full));
            return false;
        }
        WIN32_FIND_DATAA found;
        FindHandle find(sys::FindFirstFile(pattern, &found));
        if (find) {
            do {
                std::string name = found.cFileName;
                if (name == "." || name == "..") {
                    continue;
                }
                const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                std::string entry;
                if (!ListedEntryPath(full, name, found.cAlternateFileName, entry)) {
                    errors.Add(Message(directory ? 13070 : 13071, JoinPath(full, name)));
                    return false;
                }
                bool removed = directory ? RemoveDirectoryTree(entry, true, transaction, errors)
                                         : RemoveFile(entry, transaction, errors);
                if (!removed) {
                    return false;
                }
            } while (::FindNextFileA(find.get(), &found));
        }
    }
    if (full.empty()) {
        errors.Add(Message(10000, path));
        return false;
    }
    std::unique_ptr<UndoAction> record;
    if (link) {
        record = std::make_unique<UndoDeleteLink>(full);
    } else {
        record = std::make_unique<UndoDeleteDirectory>(full);
    }
    if (!RecordAhead(transaction, std::move(record), errors)) {
        return false;
    }
    if (!sys::RemoveDirectory(full)) {
        WithdrawRecord(transaction);
        errors.Add(Message(10000, full));
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path, Transaction* transaction, ErrorList& errors) {
    std::string full = FullPath(path);
    FileBackup saved;
    if (!SaveCopy(full.empty() ? path : full, 10002, transaction, errors, saved)) {
        return false;
    }
    // The record, with the backup it names, is on the disk before the file goes.
    if (transaction != nullptr &&
        !transaction->AddAhead(std::make_unique<UndoDeleteFile>(saved), errors)) {
        RestoreMetadata(saved);
        sys::DeleteFile(saved.backup);
        return false;
    }
    if (!sys::DeleteFile(saved.path)) {
        errors.Add(Message(10002, saved.path));
        // Making the backup read the file, which moved its access time: the file stays as found.
        RestoreMetadata(saved);
        if (transaction != nullptr) {
            transaction->Withdraw(); // the record deletes its backup
        } else {
            sys::DeleteFile(saved.backup);
        }
        return false;
    }
    if (transaction == nullptr) {
        sys::DeleteFile(saved.backup);
    }
    return true;
}

bool RemoveFileAndEmptyParents(const std::string& path, Transaction* transaction,
                               ErrorList& errors) {
    if (!RemoveFile(path, transaction, errors)) {
        return false;
    }
    std::string directory = DirectoryOf(FullPath(path));
    while (!directory.empty() && IsDirectory(directory) && IsEmptyDirectory(directory)) {
        if (!RecordAhead(transaction, std::make_unique<UndoDeleteDirectory>(directory), errors)) {
            return false;
        }
        if (!sys::RemoveDirectory(directory)) {
            WithdrawRecord(transaction);
            break;
        }
        std::string parent = DirectoryOf(directory);
        if (parent == directory) {
            break;
        }
        directory = parent;
    }
    return true;
}

bool BackupFile(const std::string& path, Transaction* transaction, ErrorList& errors) {
    std::string full = FullPath(path);
    FileBackup saved;
    if (!SaveCopy(full.empty() ? path : full, 10021, transaction, errors, saved)) {
        return false;
    }
    if (transaction != nullptr) {
        // Flushed with the journal: the caller rewrites the file next.
        if (!transaction->AddAhead(std::make_unique<UndoReplaceFile>(saved), errors)) {
            RestoreMetadata(saved);
            sys::DeleteFile(saved.backup);
            return false;
        }
    } else {
        sys::DeleteFile(saved.backup);
    }
    return true;
}

bool CopyFileTo(const std::string& source, const std::string& destination, bool overwrite,
                Transaction* transaction, ErrorList& errors) {
    std::string from = FullPath(source);
    std::string to = FullPath(destination);
    if (from.empty() || to.empty()) {
        errors.Add(Message(10016, from.empty() ? source : from, to.empty() ? destination : to));
        return false;
    }
    if (PathExists(to)) {
        // Onto itself (under any of its names), the removal of the destination would take the
        // source with it.
        if (!IsFile(to) || !overwrite || SameFile(from, to)) {
            errors.Add(Message(10016, from, to));
            return false;
        }
        if (!RemoveFile(to, transaction, errors)) {
            return false;
        }
    }
    if (!RecordAhead(transaction, std::make_unique<UndoCreateFile>(to), errors)) {
        return false;
    }
    if (!sys::CopyFile(from, to, true)) {
        WithdrawRecord(transaction);
        errors.Add(Message(10016, from, to));
        return false;
    }
    return true;
}

bool ReadFileAttributes(const std::string& path, std::uint32_t& attributes, ErrorList& errors) {
    std::string full = FullPath(path);
    DWORD found = full.empty() ? INVALID_FILE_ATTRIBUTES : sys::GetFileAttributes(full);
    if (found == INVALID_FILE_ATTRIBUTES) {
        errors.Add(Message(10014, full.empty() ? path : full));
        return false;
    }
    attributes = found;
    return true;
}

bool ChangeFileAttributes(const std::string& path, std::uint32_t attributes,
                          Transaction* transaction, ErrorList& errors) {
    std::string full = FullPath(path);
    DWORD previous = full.empty() ? INVALID_FILE_ATTRIBUTES : sys::GetFileAttributes(full);
    if (previous == INVALID_FILE_ATTRIBUTES) {
        errors.Add(Message(10015, full.empty() ? path : full));
        return false;
    }
    if (!RecordAhead(transaction, std::make_unique<UndoSetAttributes>(full, previous), errors)) {
        return false;
    }
    if (!sys::SetFileAttributes(full, attributes)) {
        WithdrawRecord(transaction);
        errors.Add(Message(10015, full));
        return false;
    }
    return true;
}

bool ReadFileTimes(const std::string& path, FileTimes& times, ErrorList& errors) {
    std::string full = FullPath(path);
    FileHandle file;
    if (!full.empty()) {
        file.reset(sys::OpenExistingFile(full, GENERIC_READ));
    }
    FILETIME creation, access, write;
    if (!file || !sys::GetFileTime(file.get(), &creation, &access, &write)) {
        errors.Add(Message(10012, full.empty() ? path : full));
        return false;
    }
    times.creation = FromFileTime(creation);
    times.lastAccess = FromFileTime(access);
    times.lastWrite = FromFileTime(write);
    return true;
}

bool ChangeFileTimes(const std::string& path, const FileTimes& times, Transaction* transaction,
                     ErrorList& errors) {
    std::string full = FullPath(path);
    FileHandle file;
    if (!full.empty()) {
        file.reset(OpenForTimes(full));
    }
    if (!file) {
        errors.Add(Message(10013, full.empty() ? path : full));
        return false;
    }
    if (transaction != nullptr) {
        FILETIME creation, access, write;
        if (!sys::GetFileTime(file.get(), &creation, &access, &write)) {
            errors.Add(Message(10013, full));
            return false;
        }
        FileTimes previous;
        previous.creation = FromFileTime(creation);
        previous.lastAccess = FromFileTime(access);
        previous.lastWrite = FromFileTime(write);
        // Recorded before the change: a change that half happened is undone as well.
        if (!transaction->AddAhead(std::make_unique<UndoSetTimeStamp>(full, previous), errors)) {
            return false;
        }
    }
    if (!WriteTimes(file.get(), times)) {
        errors.Add(Message(10013, full));
        return false;
    }
    return true;
}

namespace {

// The common part of the two output-file makers: clear the name, make the directory, open the
// stream, record the new file.
template <class Writer>
std::unique_ptr<Writer> CreateWriter(const std::string& path, Transaction* transaction,
                                     ErrorList& errors) {
    std::string full = FullPath(path);
    if (full.empty()) {
        return nullptr;
    }
    if (PathExists(full) && !RemoveFile(full, transaction, errors)) {
        return nullptr;
    }
    if (!EnsureDirectory(DirectoryOf(full), transaction, errors)) {
        return nullptr;
    }
    if (!RecordAhead(transaction, std::make_unique<UndoCreateFile>(full), errors)) {
        return nullptr;
    }
    std::unique_ptr<Writer> writer;
    try {
        writer = std::make_unique<Writer>(full);
    } catch (const IOException&) {
        WithdrawRecord(transaction);
        return nullptr;
    }
    return writer;
}

} // namespace

std::unique_ptr<FileOutputStream> CreateOutputFile(const std::string& path,
                                                   Transaction* transaction, ErrorList& errors) {
    return CreateWriter<FileOutputStream>(path, transaction, errors);
}

std::unique_ptr<TextFileWriter> CreateTextOutputFile(const std::string& path,
                                                     Transaction* transaction, ErrorList& errors) {
    return CreateWriter<TextFileWriter>(path, transaction, errors);
}

bool DeleteTreeVisitor::Begin() {
    errors_ = ErrorList();
    return true;
}

bool DeleteTreeVisitor::VisitDirectory(const std::string& path) {
    return RemoveDirectoryTree(path, false, transaction_, errors_);
}

bool DeleteTreeVisitor::VisitFile(const std::string& path) {
    return RemoveFile(path, transaction_, errors_);
}

bool DeleteTreeVisitor::VisitUnreachable(const std::string& path, bool directory) {
    errors_.Add(Message(directory ? 13070 : 13071, path));
    return false;
}

bool DeleteTreeVisitor::End() {
    return true;
}

bool DeleteTreeVisitor::TakeErrors(ErrorList& errors) {
    errors.Append(errors_);
    return !errors_.Empty();
}

} // namespace nebcm

// Undoable file and directory actions and the undo records they leave in a transaction.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/error_list.h"
#include "engine/file_system.h"
#include "engine/transaction.h"
#include "io/streams.h"

namespace nebcm {

// The three time stamps of a file, as 64-bit counts of 100 ns since 1601 (the system's file time).
struct FileTimes {
    std::uint64_t creation = 0;
    std::uint64_t lastAccess = 0;
    std::uint64_t lastWrite = 0;
    bool operator==(const FileTimes& o) const {
        return creation == o.creation && lastAccess == o.lastAccess && lastWrite == o.lastWrite;
    }
};

// Every action makes its path absolute first and uses that path in the change, the record and the
// messages. The transaction may be null: then nothing is recorded. A failing action appends one
// message (unless said otherwise), returns false, and leaves what it had already recorded for the
// rollback to undo.

// Creates the directory and, top down, any missing parent, each recorded.
bool MakeDirectory(const std::string& path, Transaction* transaction, ErrorList& errors);
// True if the directory exists or could be made; false without a message if a file has the name.
bool EnsureDirectory(const std::string& path, Transaction* transaction, ErrorList& errors);
// Removes the directory; recursively with its contents (stopping at the first entry that fails).
// A junction or mount point, at the top or inside, is removed as a link: what it points to stays.
bool RemoveDirectoryTree(const std::string& path, bool recursive, Transaction* transaction,
                         ErrorList& errors);
// Deletes the file once a backup copy of it is safe (in the journal's folder when the transaction
// keeps a journal, otherwise in the temporary directory). A failure puts the file's attributes
// back.
bool RemoveFile(const std::string& path, Transaction* transaction, ErrorList& errors);
// RemoveFile, then removes the directories above it for as long as they are empty.
bool RemoveFileAndEmptyParents(const std::string& path, Transaction* transaction,
                               ErrorList& errors);
// Saves a copy of a file that the caller is about to overwrite; the file is left with normal
// attributes.
bool BackupFile(const std::string& path, Transaction* transaction, ErrorList& errors);
// Copies content, attributes and last-write time. An existing destination file is replaced only
// when overwrite is true; an existing directory is never replaced.
bool CopyFileTo(const std::string& source, const std::string& destination, bool overwrite,
                Transaction* transaction, ErrorList& errors);
// True for a directory without entries (neither the directory nor the test is recorded).
bool IsEmptyDirectory(const std::string& path);
bool ReadFileAttributes(const std::string& path, std::uint32_t& attributes, ErrorList& errors);
bool ChangeFileAttributes(const std::string& path, std::uint32_t attributes,
                          Transaction* transaction, ErrorList& errors);
// Opens the file without sharing, so a file that another process holds open fails.
bool ReadFileTimes(const std::string& path, FileTimes& times, ErrorList& errors);
bool ChangeFileTimes(const std::string& path, const FileTimes& times, Transaction* transaction,
                     ErrorList& errors);

// Create (or replace) a file, making its directory if needed, and open it for writing. Null when
// the stream cannot be opened, without a message (the caller reports what it was writing). The
// caller must close the stream before a rollback, which deletes the file.
std::unique_ptr<FileOutputStream> CreateOutputFile(const std::string& path,
                                                   Transaction* transaction, ErrorList& errors);
std::unique_ptr<TextFileWriter> CreateTextOutputFile(const std::string& path,
                                                     Transaction* transaction, ErrorList& errors);

// Removes a made directory (it must be empty).
class UndoCreateDirectory : public UndoAction {
public:
    explicit UndoCreateDirectory(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
};

// Makes a removed directory again.
class UndoDeleteDirectory : public UndoAction {
public:
    explicit UndoDeleteDirectory(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }

private:
    std::string path_;
};

// Stands for a removed junction or mount point. What it pointed to is not kept, so the undo only
// reports that the link is not back, rather than putting a plain directory in its place.
class UndoDeleteLink : public UndoAction {
public:
    explicit UndoDeleteLink(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }

private:
    std::string path_;
};

// Deletes a made file.
class UndoCreateFile : public UndoAction {
public:
    explicit UndoCreateFile(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
};

// What a backed-up file needs to come back as it was. The record owns the backup copy.
struct FileBackup {
    std::string path;
    std::string backup;
    FileTimes times;
    std::uint32_t attributes = 0;
};

// Brings a deleted file back from its backup, with its times and attributes.
class UndoDeleteFile : public UndoAction {
public:
    explicit UndoDeleteFile(FileBackup saved) : saved_(std::move(saved)) {}
    ~UndoDeleteFile() override;
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }
    void KeepBackup() override { keepBackup_ = true; }

private:
    FileBackup saved_;
    bool keepBackup_ = false;
};

// Puts the backed-up content of a rewritten file back over it, with its times and attributes.
class UndoReplaceFile : public UndoAction {
public:
    explicit UndoReplaceFile(FileBackup saved) : saved_(std::move(saved)) {}
    ~UndoReplaceFile() override;
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }
    void KeepBackup() override { keepBackup_ = true; }

private:
    FileBackup saved_;
    bool keepBackup_ = false;
};

class UndoSetAttributes : public UndoAction {
public:
    UndoSetAttributes(std::string path, std::uint32_t previous)
        : path_(std::move(path)), previous_(previous) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
    std::uint32_t previous_;
};

class UndoSetTimeStamp : public UndoAction {
public:
    UndoSetTimeStamp(std::string path, const FileTimes& previous)
        : path_(std::move(path)), previous_(previous) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
    FileTimes previous_;
};

// Deletes what a walk visits, inside a transaction; walk it with DirectoriesLast so that each
// directory is removed after its contents. It keeps its own messages until TakeErrors.
class DeleteTreeVisitor : public DirectoryVisitor {
public:
    explicit DeleteTreeVisitor(Transaction* transaction) : transaction_(transaction) {}
    bool Begin() override;
    bool VisitDirectory(const std::string& path) override;
    bool VisitFile(const std::string& path) override;
    // What cannot be reached cannot be deleted: a message, and the walk stops.
    bool VisitUnreachable(const std::string& path, bool directory) override;
    bool End() override;
    // Appends the collected messages to the list; true if there were any.
    bool TakeErrors(ErrorList& errors);

protected:
    Transaction* transaction_;
    ErrorList errors_;
};

} // namespace nebcm

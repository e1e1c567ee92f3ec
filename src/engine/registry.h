// Registry keys and values addressed by text paths ("HKEY_LOCAL_MACHINE\Software\..."), with undo
// records that put the registry back as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/error_list.h"
#include "engine/transaction.h"

namespace nebcm {

// Value types as the registry stores them.
inline constexpr std::uint32_t RegistryStringType = 1;       // text
inline constexpr std::uint32_t RegistryExpandStringType = 2; // text with %VARIABLES%
inline constexpr std::uint32_t RegistryNumberType = 4;       // 32-bit number

// A key path is a root name (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
// HKEY_CURRENT_CONFIG or HKEY_DYN_DATA, exactly so written) and at least one sub-key, each
// component 1 to 63 characters; a trailing backslash is ignored. Every operation appends one
// message on failure and records its changes when given a transaction.

bool RegistryKeyExists(const std::string& path);
// Creates the missing keys along the path, each recorded, so a rollback removes exactly those.
bool CreateRegistryKey(const std::string& path, Transaction* transaction, ErrorList& errors);
// Deletes the key with all it holds. A missing key is an error: test with RegistryKeyExists first
// where absence is fine.
bool DeleteRegistryKey(const std::string& path, Transaction* transaction, ErrorList& errors);

// A text (plain or expandable, not expanded) of at most 1024 bytes; other types fail.
bool ReadRegistryString(const std::string& path, const std::string& valueName, std::string& text,
                        ErrorList& errors);
bool WriteRegistryString(const std::string& path, const std::string& valueName,
                         const std::string& text, Transaction* transaction, ErrorList& errors);
bool WriteRegistryDefaultString(const std::string& path, const std::string& text,
                                Transaction* transaction, ErrorList& errors);
// Replaces the value; with a transaction the old value is saved first, so overwriting leaves two
// records (the old value's backup, then the new value's removal).
bool WriteRegistryValue(const std::string& path, const std::string& valueName, std::uint32_t type,
                        std::uint32_t size, const void* bytes, Transaction* transaction,
                        ErrorList& errors);
bool WriteRegistryDefaultValue(const std::string& path, std::uint32_t type, std::uint32_t size,
                               const void* bytes, Transaction* transaction, ErrorList& errors);
// A value that does not exist counts as deleted. A value that exists but cannot be deleted fails
// without a message.
bool DeleteRegistryValue(const std::string& path, const std::string& valueName,
                         Transaction* transaction, ErrorList& errors);
bool DeleteRegistryDefaultValue(const std::string& path, Transaction* transaction,
                                ErrorList& errors);

// True when the key exists and holds neither sub-keys nor values.
bool IsRegistryKeyEmpty(const std::string& path);

class UndoCreateRegistryKey : public UndoAction {
public:
    explicit UndoCreateRegistryKey(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
};

class UndoDeleteRegistryKey : public UndoAction {
public:
    explicit UndoDeleteRegistryKey(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }

private:
    std::string path_;
};

// Writes a deleted value back with its saved type and bytes.
class UndoDeleteRegistryValue : public UndoAction {
public:
    UndoDeleteRegistryValue(std::string path, std::string name, std::uint32_t type,
                            std::vector<std::uint8_t> data)
        : path_(std::move(path)), name_(std::move(name)), type_(type), data_(std::move(data)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }

private:
    std::string path_;
    std::string name_;
    std::uint32_t type_;
    std::vector<std::uint8_t> data_;
};

class UndoDeleteRegistryDefaultValue : public UndoAction {
public:
    UndoDeleteRegistryDefaultValue(std::string path, std::uint32_t type,
                                   std::vector<std::uint8_t> data)
        : path_(std::move(path)), type_(type), data_(std::move(data)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;
    bool Destructive() const override { return true; }

private:
    std::string path_;
    std::uint32_t type_;
    std::vector<std::uint8_t> data_;
};

// Removes a value that was set where none was.
class UndoSetRegistryValue : public UndoAction {
public:
    UndoSetRegistryValue(std::string path, std::string name)
        : path_(std::move(path)), name_(std::move(name)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
    std::string name_;
};

class UndoSetRegistryDefaultValue : public UndoAction {
public:
    explicit UndoSetRegistryDefaultValue(std::string path) : path_(std::move(path)) {}
    bool Undo(ErrorList& errors) override;
    bool Describe(JournalRecord& record) const override;

private:
    std::string path_;
};

} // namespace nebcm

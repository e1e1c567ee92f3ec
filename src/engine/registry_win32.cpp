// Registry access by text path on the Win32 registry functions, every change recorded for undo.
#include "engine/registry.h"

#include <windows.h>

#include "common/journal_format.h"
#include "common/messages.h"
#include "engine/journal.h"
#include "engine/system_calls_win32.h"
#include "platform/handles_win32.h"

namespace nebcm {

namespace {

const std::size_t MaxComponentLength = 63;
// Key names are far shorter; value names may be longer than key names.
const DWORD KeyNameBufferSize = 1024;
const DWORD ValueNameBufferSize = 16384;
const DWORD StringBufferSize = 1024;

struct RootName {
    const char* name;
    HKEY key;
};

const RootName Roots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},   {"HKEY_USERS", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG}, {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

// A checked key path: its root key and its components, the root's name first.
struct KeyPath {
    HKEY root = nullptr;
    std::vector<std::string> components;

    // The components up to (not including) `count`, joined with backslashes.
    std::string Prefix(std::size_t count) const {
        std::string text;
        for (std::size_t i = 0; i < count && i < components.size(); ++i) {
            if (i > 0) {
                text += '\\';
            }
            text += components[i];
        }
        return text;
    }
    std::string Text() const { return Prefix(components.size()); }
};

bool ParseKeyPath(const std::string& path, KeyPath& parsed, ErrorList& errors) {
    parsed.components.clear();
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find('\\', start);
        if (slash == std::string::npos) {
            // A trailing backslash adds no component (but an empty path is one empty component).
            if (start < path.size() || parsed.components.empty()) {
                parsed.components.push_back(path.substr(start));
            }
            break;
        }
        parsed.components.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    bool valid = parsed.components.size() >= 2;
    for (const std::string& component : parsed.components) {
        if (component.empty() || component.size() > MaxComponentLength) {
            valid = false;
        }
    }
    if (!valid) {
        errors.Add(Message(10007, path));
        return false;
    }
    for (const RootName& root : Roots) {
        if (parsed.components[0] == root.name) {
            parsed.root = root.key;
            return true;
        }
    }
    errors.Add(Message(10007, "\\" + parsed.components[0]));
    return false;
}

// A key opened along a path, or the root itself (which is never closed).
class OpenKey {
public:
    explicit OpenKey(HKEY root) : root_(root) {}
    HKEY get() const { return owned_ ? owned_.get() : root_; }
    void Take(RegistryKey key) { owned_ = std::move(key); }

private:
    HKEY root_;
    RegistryKey owned_;
};

// Opens the components 1 .. count-1 below the root, the last with `access`, closing every
// intermediate key on the way. Fails with 10005 naming the path up to the component that failed.
bool OpenComponents(const KeyPath& path, std::size_t count, REGSAM access, OpenKey& opened,
                    ErrorList& errors) {
    for (std::size_t i = 1; i < count; ++i) {
        RegistryKey next;
        REGSAM wanted = i + 1 == count ? access : KEY_READ;
        if (sys::RegOpenKey(opened.get(), path.components[i], wanted, next.put()) !=
            ERROR_SUCCESS) {
            errors.Add(Message(10005, path.Prefix(i + 1)));
            return false;
        }
        opened.Take(std::move(next));
    }
    return true;
}

bool OpenPath(const KeyPath& path, REGSAM access, OpenKey& opened, ErrorList& errors) {
    return OpenComponents(path, path.components.size(), access, opened, errors);
}

// Deletes one value (name null: the default value) of an opened key. With a transaction the value
// is read first and recorded so that the rollback writes it back.
bool DeleteValueWithBackup(HKEY key, const std::string& keyPath, const std::string* name,
                           Transaction* transaction, ErrorList& errors) {
    const char* valueName = name != nullptr ? name->c_str() : "";
    if (transaction != nullptr) {
        DWORD type = 0;
        DWORD size = 0;
        LONG result = sys::RegQueryValue(key, valueName, &type, nullptr, &size);
        if (result != ERROR_FILE_NOT_FOUND) {
            std::vector<std::uint8_t> data(size);
            if (result == ERROR_SUCCESS) {
                DWORD read = size;
                result =
                    sys::RegQueryValue(key, valueName, &type, size ? data.data() : nullptr, &read);
                data.resize(read);
            }
            if (result != ERROR_SUCCESS) {
                errors.Add(name != nullptr ? Message(10009, *name, keyPath)
                                           : Message(10008, keyPath));
                return false;
            }
            // On the disk before the value goes; kept even if the deletion then fails.
            std::unique_ptr<UndoAction> record;
            if (name != nullptr) {
                record = std::make_unique<UndoDeleteRegistryValue>(keyPath, *name, type, data);
            } else {
                record = std::make_unique<UndoDeleteRegistryDefaultValue>(keyPath, type, data);
            }
            if (!transaction->AddAhead(std::move(record), errors)) {
                return false;
            }
        }
    }
    LONG result = sys::RegDeleteValue(key, valueName);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool DeleteValue(const std::string& path, const std::string* name, Transaction* transaction,
                 ErrorList& errors) {
    KeyPath parsed;
    if (!ParseKeyPath(path, parsed, errors)) {
        return false;
    }
    OpenKey key(parsed.root);
    if (!OpenPath(parsed, KEY_QUERY_VALUE | KEY_SET_VALUE, key, errors)) {
        return false;
    }
    return DeleteValueWithBackup(key.get(), parsed.Text(), name, transaction, errors);
}

bool WriteValue(const std::string& path, const std::string* name, std::uint32_t type,
                std::uint32_t size, const void* bytes, Transaction* transaction,
                ErrorList& errors) {
    KeyPath parsed;
    if (!ParseKeyPath(path, parsed, errors)) {
        return false;
    }
    std::string keyPath = parsed.Text();
    auto cannotSet = [&] {
        return name != nullptr ? Message(10011, *name, keyPath) : Message(10010, keyPath);
    };
    std::size_t before = errors.Count();
    if (!DeleteValue(path, name, transaction, errors)) {
        // An old value that would not go away still means the new one was not set.
        if (errors.Count() == before) {
            errors.Add(cannotSet());
        }
        return false;
    }
    OpenKey key(parsed.root);
    ErrorList openErrors;
    if (!OpenPath(parsed, KEY_SET_VALUE, key, openErrors)) {
        errors.Add(cannotSet());
        return false;
    }
    std::unique_ptr<UndoAction> record;
    if (name != nullptr) {
        record = std::make_unique<UndoSetRegistryValue>(keyPath, *name);
    } else {
        record = std::make_unique<UndoSetRegistryDefaultValue>(keyPath);
    }
    if (!RecordAhead(transaction, std::move(record), errors)) {
        return false;
    }
    if (sys::RegSetValue(key.get(), name != nullptr ? name->c_str() : "", type,
                         static_cast<const BYTE*>(bytes), size) != ERROR_SUCCESS) {
        WithdrawRecord(transaction);
        errors.Add(cannotSet());
        return false;
    }
    return true;
}

} // namespace

bool RegistryKeyExists(const std::string& path) {
    ErrorList scratch;
    KeyPath parsed;
    if (!ParseKeyPath(path, parsed, scratch)) {
        return false;
    }
    OpenKey key(parsed.root);
    return OpenPath(parsed, KEY_READ, key, scratch);
}

bool CreateRegistryKey(const std::string& path, Transaction* transaction, ErrorList& errors) {
    KeyPath parsed;
    if (!ParseKeyPath(path, parsed, errors)) {
        return false;
    }
    OpenKey current(parsed.root);
    for (std::size_t i = 1; i < parsed.components.size(); ++i) {
        const std::string& name = parsed.components[i];
        RegistryKey next;
        // Creating below a key needs the right to; a key that may only be read can still be
        // passed through when what lies below it exists.
        if (sys::RegOpenKey(current.get(), name, KEY_READ | KEY_CREATE_SUB_KEY, next.put()) !=
                ERROR_SUCCESS &&
            sys::RegOpenKey(current.get(), name, KEY_READ, next.put()) != ERROR_SUCCESS) {
            if (!RecordAhead(transaction,
                             std::make_unique<UndoCreateRegistryKey>(parsed.Prefix(i + 1)),
                             errors)) {
                return false;
            }
            bool created = false;
            if (sys::RegCreateKey(current.get(), name, next.put(), &created) != ERROR_SUCCESS) {
                WithdrawRecord(transaction);
                errors.Add(Message(10004, parsed.Prefix(i + 1)));
                return false;
            }
            // A key that was there after all (one that could not be opened, or that appeared
            // meanwhile) is not this action's to remove, nor is anything it holds.
            if (!created) {
                WithdrawRecord(transaction);
            }
        }
        current.Take(std::move(next));
    }
    return true;
}

bool DeleteRegistryKey(const std::string& path, Transaction* transaction, ErrorList& errors) {
    KeyPath parsed;
    if (!ParseKeyPath(path, parsed, errors)) {
        return false;
    }
    std::string keyPath = parsed.Text();
    std::size_t count = parsed.components.size();
    OpenKey parent(parsed.root);
    if (!OpenComponents(parsed, count - 1, KEY_READ, parent, errors)) {
        return false;
    }
    {
        RegistryKey key;
        if (sys::RegOpenKey(parent.get(), parsed.components[count - 1], KEY_ALL_ACCESS,
                            key.put()) != ERROR_SUCCESS) {
            errors.Add(Message(10005, keyPath));
            return false;
        }
        // Children first, then the values: the records then rebuild the key before its contents.
        for (;;) {
            char name[KeyNameBufferSize];
            DWORD size = KeyNameBufferSize;
            LONG result = sys::RegEnumKey(key.get(), 0, name, &size);
            if (result == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (result != ERROR_SUCCESS) {
                errors.Add(Message(10006, keyPath));
                return false;
            }
            if (!DeleteRegistryKey(keyPath + "\\" + std::string(name, size), transaction, errors)) {
                return false;
            }
        }
        std::vector<char> name(ValueNameBufferSize);
        for (;;) {
            DWORD size = ValueNameBufferSize;
            LONG result = sys::RegEnumValue(key.get(), 0, name.data(), &size);
            if (result == ERROR_NO_MORE_ITEMS) {
                break;
            }
            std::size_t before = errors.Count();
            // A value that stays where it is would be found at index 0 for ever.
            if (result != ERROR_SUCCESS ||
                !DeleteRegistryValue(keyPath, std::string(name.data(), size), transaction,
                                     errors)) {
                if (errors.Count() == before) {
                    errors.Add(Message(10006, keyPath));
                }
                return false;
            }
        }
    }
    if (!DeleteRegistryDefaultValue(keyPath, transaction, errors)) {
        return false;
    }
    if (!RecordAhead(transaction, std::make_unique<UndoDeleteRegistryKey>(keyPath), errors)) {
        return false;
    }
    if (sys::RegDeleteKey(parent.get(), parsed.components[count - 1]) != ERROR_SUCCESS) {
        WithdrawRecord(transaction);
        errors.Add(Message(10006, keyPath));
        return false;
    }
    return true;
}

bool ReadRegistryString(const std::string& path, const std::string& valueName, std::string& text,
                        ErrorList& errors) {
    KeyPath parsed;
    if (!ParseKeyPath(path, parsed, errors)) {
        return false;
    }
    OpenKey key(parsed.root);
    if (!OpenPath(parsed, KEY_QUERY_VALUE, key, errors)) {
        return false;
    }
    char buffer[StringBufferSize];
    DWORD size = StringBufferSize;
    DWORD type = REG_NONE;
    LONG result = sys::RegQueryValue(key.get(), valueName.c_str(), &type,
                                     reinterpret_cast<BYTE*>(buffer), &size);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        errors.Add(Message(10009, valueName, parsed.Text()));
        return false;
    }
    // The text ends at its terminating zero; a value stored without one loses nothing.
    std::string value(buffer, size);
    std::size_t zero = value.find('\0');
    if (zero != std::string::npos) {
        value.resize(zero);
    }
    text = value;
    return true;
}

bool WriteRegistryString(const std::string& path, const std::string& valueName,
                         const std::string& text, Transaction* transaction, ErrorList& errors) {
    return WriteRegistryValue(path, valueName, REG_SZ, static_cast<std::uint32_t>(text.size() + 1),
                              text.c_str(), transaction, errors);
}

bool WriteRegistryDefaultString(const std::string& path, const std::string& text,
                                Transaction* transaction, ErrorList& errors) {
    return WriteRegistryDefaultValue(path, REG_SZ, static_cast<std::uint32_t>(text.size() + 1),
                                     text.c_str(), transaction, errors);
}

bool WriteRegistryValue(const std::string& path, const std::string& valueName, std::uint32_t type,
                        std::uint32_t size, const void* bytes, Transaction* transaction,
                        ErrorList& errors) {
    return WriteValue(path, &valueName, type, size, bytes, transaction, errors);
}

bool WriteRegistryDefaultValue(const std::string& path, std::uint32_t type, std::uint32_t size,
                               const void* bytes, Transaction* transaction, ErrorList& errors) {
    return WriteValue(path, nullptr, type, size, bytes, transaction, errors);
}

bool DeleteRegistryValue(const std::string& path, const std::string& valueName,
                         Transaction* transaction, ErrorList& errors) {
    return DeleteValue(path, &valueName, transaction, errors);
}

bool DeleteRegistryDefaultValue(const std::string& path, Transaction* transaction,
                                ErrorList& errors) {
    return DeleteValue(path, nullptr, transaction, errors);
}

bool UndoCreateRegistryKey::Undo(ErrorList& errors) {
    // A key that is not there was never made, or is gone already.
    return !RegistryKeyExists(path_) || DeleteRegistryKey(path_, nullptr, errors);
}

bool UndoDeleteRegistryKey::Undo(ErrorList& errors) {
    return CreateRegistryKey(path_, nullptr, errors);
}

bool UndoDeleteRegistryValue::Undo(ErrorList& errors) {
    return WriteRegistryValue(path_, name_, type_, static_cast<std::uint32_t>(data_.size()),
                              data_.empty() ? nullptr : data_.data(), nullptr, errors);
}

bool UndoDeleteRegistryDefaultValue::Undo(ErrorList& errors) {
    return WriteRegistryDefaultValue(path_, type_, static_cast<std::uint32_t>(data_.size()),
                                     data_.empty() ? nullptr : data_.data(), nullptr, errors);
}

bool UndoSetRegistryValue::Undo(ErrorList& errors) {
    std::size_t before = errors.Count();
    if (DeleteRegistryValue(path_, name_, nullptr, errors)) {
        return true;
    }
    if (errors.Count() == before) {
        errors.Add(Message(10011, name_, path_));
    }
    return false;
}

bool UndoSetRegistryDefaultValue::Undo(ErrorList& errors) {
    std::size_t before = errors.Count();
    if (DeleteRegistryDefaultValue(path_, nullptr, errors)) {
        return true;
    }
    if (errors.Count() == before) {
        errors.Add(Message(10010, path_));
    }
    return false;
}

namespace {

JournalRecord Described(UndoKind kind, std::vector<std::string> texts,
                        std::vector<std::uint64_t> numbers = {},
                        std::vector<std::uint8_t> bytes = {}) {
    JournalRecord record;
    record.kind = static_cast<std::uint8_t>(kind);
    record.texts = std::move(texts);
    record.numbers = std::move(numbers);
    record.bytes = std::move(bytes);
    return record;
}

} // namespace

bool UndoCreateRegistryKey::Describe(JournalRecord& record) const {
    record = Described(UndoKind::KeyMade, {path_});
    return true;
}

bool UndoDeleteRegistryKey::Describe(JournalRecord& record) const {
    record = Described(UndoKind::KeyDeleted, {path_});
    return true;
}

bool UndoDeleteRegistryValue::Describe(JournalRecord& record) const {
    // A value with an empty name is the default value.
    if (name_.empty()) {
        record = Described(UndoKind::DefaultValueDeleted, {path_}, {type_}, data_);
        return true;
    }
    record = Described(UndoKind::ValueDeleted, {path_, name_}, {type_}, data_);
    return true;
}

bool UndoDeleteRegistryDefaultValue::Describe(JournalRecord& record) const {
    record = Described(UndoKind::DefaultValueDeleted, {path_}, {type_}, data_);
    return true;
}

bool UndoSetRegistryValue::Describe(JournalRecord& record) const {
    if (name_.empty()) {
        record = Described(UndoKind::DefaultValueSet, {path_});
        return true;
    }
    record = Described(UndoKind::ValueSet, {path_, name_});
    return true;
}

bool UndoSetRegistryDefaultValue::Describe(JournalRecord& record) const {
    record = Described(UndoKind::DefaultValueSet, {path_});
    return true;
}

} // namespace nebcm

// Keeping what the class-file registration replaces, and giving it back at the uninstallation.
#include "engine/class_file_registration.h"

#include <windows.h>

#include "common/messages.h"
#include "engine/file_system.h"
#include "engine/machine_environment.h"
#include "engine/procedure_steps.h"
#include "engine/registry.h"
#include "engine/registry_open_win32.h"
#include "model/validator.h"

namespace nebcm {

namespace {

enum class Found { Nothing, Text, OtherType, Unreadable };

// What a value holds: nothing (no key or no value), a text, something of another type (which
// only another program can have written), or what cannot be told.
Found ReadValue(const std::string& path, const char* name, std::string& text) {
    RegistryKey key;
    LONG opened = OpenRegistryKeyForReading(path, key);
    if (opened != ERROR_SUCCESS) {
        return opened == ERROR_FILE_NOT_FOUND ? Found::Nothing : Found::Unreadable;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG result = sys::RegQueryValue(key.get(), name, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND) {
        return Found::Nothing;
    }
    if (result != ERROR_SUCCESS) {
        return Found::Unreadable;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return Found::OtherType;
    }
    std::string data(size, '\0');
    if (size > 0 && sys::RegQueryValue(key.get(), name, &type, reinterpret_cast<BYTE*>(&data[0]),
                                       &size) != ERROR_SUCCESS) {
        return Found::Unreadable;
    }
    data.resize(size);
    std::size_t zero = data.find('\0');
    if (zero != std::string::npos) {
        data.resize(zero);
    }
    text = data;
    return Found::Text;
}

std::string PlatformKey() {
    return Machine().RegistryKey(Platform20Key);
}

bool Write(const std::string& path, const char* name, const std::string& text,
           Transaction* transaction, ErrorList& errors) {
    std::size_t before = errors.Count();
    if (*name == '\0') {
        return Explained(WriteRegistryDefaultString(path, text, transaction, errors), errors,
                         before, Message(10010, path));
    }
    return Explained(WriteRegistryString(path, name, text, transaction, errors), errors, before,
                     Message(10011, name, path));
}

bool Delete(const std::string& path, const char* name, Transaction* transaction,
            ErrorList& errors) {
    std::size_t before = errors.Count();
    if (*name == '\0') {
        return Explained(DeleteRegistryDefaultValue(path, transaction, errors), errors, before,
                         Message(10010, path));
    }
    return Explained(DeleteRegistryValue(path, name, transaction, errors), errors, before,
                     Message(10011, name, path));
}

ReplacedClassFileValues::Kept ReadKept(const ClassFileValue& value) {
    ReplacedClassFileValues::Kept kept;
    const Found found = ReadValue(PlatformKey(), value.record, kept.text);
    kept.had = found == Found::Text;
    kept.unknown = found == Found::Unreadable;
    return kept;
}

// A value that cannot be read is neither taken as missing nor overwritten.
bool Unreadable(const std::string& path, const char* name, ErrorList& errors) {
    errors.Add(Message(10009, name, path));
    return false;
}

bool RemoveKeyIfEmpty(const std::string& path, Transaction* transaction, ErrorList& errors) {
    if (!IsRegistryKeyEmpty(path)) {
        return true;
    }
    std::size_t before = errors.Count();
    return Explained(DeleteRegistryKey(path, transaction, errors), errors, before,
                     Message(10006, path));
}

} // namespace

bool KeepReplacedClassFileValue(const ClassFileValue& value, const std::string& written,
                                Transaction* transaction, ErrorList& errors) {
    const std::string path = Machine().RegistryKey(value.key);
    std::string old;
    const Found found = ReadValue(path, value.name, old);
    if (found == Found::Unreadable) {
        return Unreadable(path, value.name, errors);
    }
    if (found != Found::Text || old == written) {
        return true;
    }
    return Write(PlatformKey(), value.record, old, transaction, errors);
}

ReplacedClassFileValues ReadReplacedClassFileValues() {
    ReplacedClassFileValues replaced;
    replaced.type = ReadKept(ClassTypeValue);
    replaced.contentType = ReadKept(ClassContentTypeValue);
    replaced.description = ReadKept(ClassDescriptionValue);
    replaced.openCommand = ReadKept(ClassOpenCommandValue);
    return replaced;
}

bool IsPlatformClassOpenCommand(const std::string& command, const std::string& directory) {
    if (!directory.empty()) {
        return EqualIgnoringCase(command,
                                 "\"" + JoinPath(directory, JavaLauncherExe) + "\" -gui \"%1\"");
    }
    const std::string tail = std::string("\\") + JavaLauncherExe + "\" -gui \"%1\"";
    return command.size() > tail.size() + 1 && command[0] == '"' &&
           EqualIgnoringCase(command.substr(command.size() - tail.size()), tail);
}

bool RemoveClassOpenCommand(const std::string& directory, const ReplacedClassFileValues& replaced,
                            Transaction* transaction, ErrorList& errors) {
    const std::string path = Machine().RegistryKey(ClassOpenCommandValue.key);
    std::string current;
    const Found found = ReadValue(path, ClassOpenCommandValue.name, current);
    if (found == Found::Unreadable) {
        return Unreadable(path, ClassOpenCommandValue.name, errors);
    }
    if (found != Found::Text || !IsPlatformClassOpenCommand(current, directory) ||
        replaced.openCommand.unknown) {
        return true;
    }
    if (replaced.openCommand.had) {
        return Write(path, ClassOpenCommandValue.name, replaced.openCommand.text, transaction,
                     errors);
    }
    return Delete(path, ClassOpenCommandValue.name, transaction, errors);
}

bool RemoveEmptyClassOpenCommandKeys(Transaction* transaction, ErrorList& errors) {
    const std::string type = Machine().RegistryKey(ClassFileTypeKey);
    for (const char* below : {"\\shell\\open\\command", "\\shell\\open", "\\shell"}) {
        if (!RemoveKeyIfEmpty(type + below, transaction, errors)) {
            return false;
        }
    }
    return true;
}

bool RestoreClassFileValue(const ClassFileValue& value, const char* platformText,
                           const ReplacedClassFileValues::Kept& kept, bool keepPlain,
                           Transaction* transaction, ErrorList& errors) {
    const std::string path = Machine().RegistryKey(value.key);
    std::string current;
    const Found found = ReadValue(path, value.name, current);
    if (found == Found::Unreadable) {
        return Unreadable(path, value.name, errors);
    }
    if (found == Found::OtherType || (found == Found::Text && current != platformText)) {
        return true; // written by another program after the installation
    }
    if (kept.unknown) {
        return true; // what it replaced cannot be told: the platform's text stays
    }
    if (kept.had) {
        if (found == Found::Text && current == kept.text) {
            return true;
        }
        return (RegistryKeyExists(path) || CreateRegistryKey(path, transaction, errors)) &&
               Write(path, value.name, kept.text, transaction, errors);
    }
    if (keepPlain) {
        return found == Found::Text || Write(path, value.name, platformText, transaction, errors);
    }
    return found == Found::Nothing || Delete(path, value.name, transaction, errors);
}

bool UnregisterClassFiles(const std::string& directory, const ReplacedClassFileValues& replaced,
                          Transaction* transaction, ErrorList& errors) {
    bool done = RemoveClassOpenCommand(directory, replaced, transaction, errors);
    done = RemoveEmptyClassOpenCommandKeys(transaction, errors) && done;
    const std::pair<const ClassFileValue*, const ReplacedClassFileValues::Kept*> values[] = {
        {&ClassTypeValue, &replaced.type},
        {&ClassContentTypeValue, &replaced.contentType},
        {&ClassDescriptionValue, &replaced.description},
    };
    const char* const platformTexts[] = {ClassFileProgId, ClassFileContentType,
                                         ClassFileDescription};
    for (std::size_t i = 0; i < 3; ++i) {
        done = RestoreClassFileValue(*values[i].first, platformTexts[i], *values[i].second, false,
                                     transaction, errors) &&
               done;
    }
    for (const char* key : {ClassFileTypeKey, ClassFileExtensionKey}) {
        done = RemoveKeyIfEmpty(Machine().RegistryKey(key), transaction, errors) && done;
    }
    return done;
}

} // namespace nebcm

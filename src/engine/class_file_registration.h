// The registration of Java class files is shared with other software: the ".class" key and the
// "JavaClassFile" type may exist before the platform comes and may hold entries of other programs
// (an OpenWithProgids list, other verbs). The installation keeps every value it overwrites, and the
// uninstallation takes away only what the platform wrote and puts back what it replaced.
//
// What was replaced is kept under the platform's own key (Platform20Key), one string value per
// overwritten value, so that it survives until the uninstallation, however many restarts later:
//   "ReplacedClassType"         the old default of ".class" (the type name)
//   "ReplacedClassContentType"  the old "Content Type" of ".class"
//   "ReplacedClassDescription"  the old default of "JavaClassFile"
//   "ReplacedClassOpenCommand"  the old default of "JavaClassFile\shell\open\command"
// A missing value means that there was none (or none of text type) before the installation.
#pragma once

#include <string>

#include "common/constants.h"
#include "common/error_list.h"
#include "engine/transaction.h"

namespace nebcm {

// One value of the class-file registration that the installation writes.
struct ClassFileValue {
    const char* key;    // as the layout names it
    const char* name;   // empty: the key's default value
    const char* record; // the value under Platform20Key that keeps what it replaced
};

inline constexpr ClassFileValue ClassTypeValue = {ClassFileExtensionKey, "", "ReplacedClassType"};
inline constexpr ClassFileValue ClassContentTypeValue = {ClassFileExtensionKey, ContentTypeValue,
                                                         "ReplacedClassContentType"};
inline constexpr ClassFileValue ClassDescriptionValue = {ClassFileTypeKey, "",
                                                         "ReplacedClassDescription"};
inline constexpr ClassFileValue ClassOpenCommandValue = {ClassFileOpenCommandKey, "",
                                                         "ReplacedClassOpenCommand"};

// Before the installation overwrites the value: keeps its present text under Platform20Key (which
// must exist). Nothing is kept when the value is missing or not a text; a value that cannot be
// read fails with its message rather than being overwritten unkept. A value that already holds
// `written` (the registration a platform before this one left) replaces nothing.
bool KeepReplacedClassFileValue(const ClassFileValue& value, const std::string& written,
                                Transaction* transaction, ErrorList& errors);

// What the installation found, read before Platform20Key goes.
struct ReplacedClassFileValues {
    struct Kept {
        bool had = false;     // the value held text before the installation
        bool unknown = false; // the record cannot be read: the value is left as it is
        std::string text;
    };
    Kept type, contentType, description, openCommand;
};
ReplacedClassFileValues ReadReplacedClassFileValues();

// The platform's open command for class files in the installation directory; with an empty
// directory, any command of the platform's form matches.
bool IsPlatformClassOpenCommand(const std::string& command, const std::string& directory);

// Takes the platform's open command away, or puts back the one it replaced. A command that no
// longer is the platform's belongs to whoever wrote it and stays.
bool RemoveClassOpenCommand(const std::string& directory, const ReplacedClassFileValues& replaced,
                            Transaction* transaction, ErrorList& errors);
// Removes the "command", "open" and "shell" keys below the type key as far as they are empty.
bool RemoveEmptyClassOpenCommandKeys(Transaction* transaction, ErrorList& errors);

// Gives the value back what it held before the installation. Where it held nothing, the plain
// registration (type name, content type, description) stays when keepPlain is set and goes
// otherwise. A value that another program changed after the installation stays as it is.
bool RestoreClassFileValue(const ClassFileValue& value, const char* platformText,
                           const ReplacedClassFileValues::Kept& kept, bool keepPlain,
                           Transaction* transaction, ErrorList& errors);

// The whole clean-up for an uninstallation that has no installation directory to go by: the
// platform's values go or get their old texts back, and the two keys go only when left empty.
// Every step is tried; false when one of them failed (its message is in the list).
bool UnregisterClassFiles(const std::string& directory, const ReplacedClassFileValues& replaced,
                          Transaction* transaction, ErrorList& errors);

} // namespace nebcm
